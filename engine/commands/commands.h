#pragma once
// The main menu's commands. Each holds its whole sequence once: its checks,
// its dialogue through the Desktop, its run through the views the windows
// (or the headless runner) provide, and an outcome. The menu form and the
// runner both go through RunMenuCommand, which applies the menu's enabling
// rules from the outcome, so neither repeats a command's steps.

#include <string>

#include "engine/state/command_context.h"
#include "engine/state/menu_view.h"

namespace estimetrix {

// Runs the command behind a menu button and applies the menu's enabling
// rules from its outcome. cmdQuit is not a command here: the quit sequence
// belongs to the main window.
CommandOutcome RunMenuCommand(MenuButton button, CommandContext& ctx);

// The menu form's rules after a command, from its outcome.
void ApplyCommandOutcome(MenuButton button, CommandOutcome outcome, MenuView& menu,
                         const Workbench& wb);

// The menu form's load rule, each time it is shown anew: once the model is
// initialised, all twelve buttons when whole algorithm data exist, else only
// Initialize and Load. Before initialisation no button changes.
void ApplyMenuLoadRules(MenuView& menu, const Workbench& wb);

// Whole algorithm data exist: a file was loaded or saved, or defaults were
// set, and no failed read has left part of a file in them since.
bool AlgorithmDataUsable(const Workbench& wb);

// The commands one by one (RunMenuCommand dispatches to these).
CommandOutcome InitializeCommand(CommandContext& ctx);
CommandOutcome LoadAlgorithmCommand(CommandContext& ctx);
CommandOutcome EditAlgorithmCommand(CommandContext& ctx);
CommandOutcome SaveAlgorithmCommand(CommandContext& ctx);
CommandOutcome OneFunctionCommand(CommandContext& ctx);
CommandOutcome SimplexCommand(CommandContext& ctx);
CommandOutcome MarquardtCommand(CommandContext& ctx);
CommandOutcome ResultsCommand(CommandContext& ctx);
CommandOutcome CovarianceCommand(CommandContext& ctx);

// A menu that keeps only which buttons are enabled: the runner's menu form.
// Showing it applies the load rules, as the form does.
class MenuState : public MenuView {
 public:
  explicit MenuState(const Workbench& wb) : wb_(wb) {}
  void SetButtonEnabled(MenuButton button, bool enabled) override;
  bool ButtonEnabled(MenuButton button) const override;
  void FocusButton(MenuButton) override {}
  void SetResultsCaption(const std::string&, const std::string&) override {}
  void ShowMenu() override { ApplyMenuLoadRules(*this, wb_); }
  void HideMenu() override {}
  void SetApplicationMenuEnabled(bool) override {}
  void CloseComputationWindows() override {}

 private:
  const Workbench& wb_;
  bool enabled_[static_cast<int>(MenuButton::Quit) + 1] = {};
};

}  // namespace estimetrix
