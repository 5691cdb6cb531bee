#pragma once
// The menu form as the engine's commands see it: which buttons are enabled,
// showing and hiding the form, the Application menu, and the computation
// windows a command closes before it starts. Implemented by ui/ and by tests.

#include <initializer_list>
#include <string>

namespace estimetrix {

enum class MenuButton {
  Initialize,   // cmdInitialize
  LoadAlg,      // cmdLoadAlg
  EditAlg,      // cmdEditAlg
  SaveAlg,      // cmdSaveAlg
  OneFunction,  // cmdOneFunction
  Simplex,      // cmdSimplex
  Marquardt,    // cmdMarquardt
  UserSummary,  // cmdUserSummary
  Covariance,   // cmdCovariance
  Bayesian,     // cmdBayesian
  ParEstimate,  // cmdParEstimate
  Rank,         // cmdRank
  Quit,         // cmdQuit
};

inline constexpr MenuButton kTwelveButtons[] = {
    MenuButton::Initialize, MenuButton::LoadAlg,     MenuButton::EditAlg,
    MenuButton::SaveAlg,    MenuButton::OneFunction, MenuButton::Simplex,
    MenuButton::Marquardt,  MenuButton::UserSummary, MenuButton::Covariance,
    MenuButton::Bayesian,   MenuButton::ParEstimate, MenuButton::Rank};

class MenuView {
 public:
  virtual ~MenuView() = default;
  virtual void SetButtonEnabled(MenuButton button, bool enabled) = 0;
  virtual bool ButtonEnabled(MenuButton button) const = 0;
  virtual void FocusButton(MenuButton button) = 0;
  virtual void SetResultsCaption(const std::string& caption, const std::string& toolTip) = 0;
  // Shows the menu form anew (its load rules run) or hides it.
  virtual void ShowMenu() = 0;
  virtual void HideMenu() = 0;
  virtual void SetApplicationMenuEnabled(bool enabled) = 0;
  // Closes the one-function-call, Simplex and Marquardt windows if open.
  virtual void CloseComputationWindows() = 0;

  void SetTwelveEnabled(bool enabled) {
    for (MenuButton button : kTwelveButtons) SetButtonEnabled(button, enabled);
  }
  void SetEnabled(std::initializer_list<MenuButton> buttons, bool enabled) {
    for (MenuButton button : buttons) SetButtonEnabled(button, enabled);
  }

  // The computation shell around every long command: close the computation
  // windows, disable the twelve buttons, close the menu form and disable the
  // Application menu. EndComputation re-enables the Application menu; the
  // command decides when the menu form comes back.
  void BeginComputation() {
    CloseComputationWindows();
    SetTwelveEnabled(false);
    HideMenu();
    SetApplicationMenuEnabled(false);
  }
  void EndComputation() { SetApplicationMenuEnabled(true); }
};

}  // namespace estimetrix
