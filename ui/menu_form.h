#pragma once
// The "Main menu" form: thirteen command buttons that sequence the work, and
// the model's name. It is the MenuView the commands drive.

#include <QWidget>
#include <map>

#include "engine/state/menu_view.h"
#include "ui/window_tools.h"

class QLabel;
class QMdiSubWindow;
class QPushButton;

namespace estimetrix {

class MainWindow;
struct AppContext;

class frmMenu : public QWidget, public MenuView {
  Q_OBJECT
 public:
  explicit frmMenu(MainWindow& main);

  // The frame that hosts the form in the child-window area.
  QMdiSubWindow* Frame() const;
  QPushButton* Button(MenuButton button) const { return buttons_.at(button); }
  QLabel* ModelNameLabel() const { return lblModelName_; }

  void SetButtonEnabled(MenuButton button, bool enabled) override;
  bool ButtonEnabled(MenuButton button) const override;
  void FocusButton(MenuButton button) override;
  void SetResultsCaption(const std::string& caption, const std::string& toolTip) override;
  void ShowMenu() override;
  void HideMenu() override;
  void SetApplicationMenuEnabled(bool enabled) override;
  void CloseComputationWindows() override;

 private:
  void AddButton(MenuButton button, const char* objectName, const char* caption);
  // What showing the form anew does to the buttons and the model's name.
  void ApplyLoadRules();

  MainWindow& main_;
  QLabel* lblModelName_ = nullptr;
  std::map<MenuButton, QPushButton*> buttons_;
};

}  // namespace estimetrix
