#pragma once
// A MenuView for tests: remembers what the commands did to the menu form.

#include <map>
#include <string>
#include <vector>

#include "engine/state/menu_view.h"

namespace estimetrix::testing {

class FakeMenuView : public MenuView {
 public:
  void SetButtonEnabled(MenuButton button, bool enabled) override { enabled_[button] = enabled; }
  bool ButtonEnabled(MenuButton button) const override {
    auto it = enabled_.find(button);
    return it != enabled_.end() && it->second;
  }
  void FocusButton(MenuButton button) override { focused = button; }
  void SetResultsCaption(const std::string& text, const std::string& tip) override {
    resultsCaption = text;
    resultsToolTip = tip;
  }
  void ShowMenu() override {
    visible = true;
    events.push_back("show");
  }
  void HideMenu() override {
    visible = false;
    events.push_back("hide");
  }
  void SetApplicationMenuEnabled(bool enabled) override {
    applicationMenuEnabled = enabled;
    events.push_back(enabled ? "application on" : "application off");
  }
  void CloseComputationWindows() override { events.push_back("close windows"); }

  // Buttons currently enabled, in the menu's order.
  std::vector<MenuButton> Enabled() const {
    std::vector<MenuButton> out;
    for (MenuButton b : kTwelveButtons)
      if (ButtonEnabled(b)) out.push_back(b);
    if (ButtonEnabled(MenuButton::Quit)) out.push_back(MenuButton::Quit);
    return out;
  }

  std::map<MenuButton, bool> enabled_;
  MenuButton focused = MenuButton::Quit;
  std::string resultsCaption, resultsToolTip;
  bool visible = true;
  bool applicationMenuEnabled = true;
  std::vector<std::string> events;
};

}  // namespace estimetrix::testing
