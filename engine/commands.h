#pragma once
// The main menu's commands. Each holds its whole sequence once: its checks,
// its dialogue through the Desktop, its run through the views the windows
// (or the headless runner) provide, and an outcome. The menu form and the
// runner both go through RunMenuCommand, which applies the menu's enabling
// rules from the outcome, so neither repeats a command's steps.

#include <string>

#include "engine/menu_view.h"
#include "engine/report_views.h"

namespace estimetrix {

class CovarianceViews;
class Desktop;
class MarquardtView;
class OneFunctionView;
class SimplexView;
struct Workbench;

enum class CommandOutcome {
  Done,         // the command ran to its end (a minimizer may have stopped early)
  NothingToDo,  // no free parameter: "There is nothing to do!"
  Refused,      // a check failed before anything changed (message shown)
  Cancelled,    // the user declined at a question or a file dialogue
  Failed,       // the run or the read failed (message shown; what survives is as described)
};

// What the commands need from the windows. The workbench opens its windows;
// the runner gives windowless views that keep the texts it prints.
class CommandViews {
 public:
  virtual ~CommandViews() = default;
  virtual OneFunctionView& OneFunction() = 0;
  virtual SimplexView& Simplex() = 0;
  virtual MarquardtView& Marquardt() = 0;
  virtual CovarianceViews& Covariance() = 0;
  // Opens the model set-up form (frmInitialize) without blocking.
  virtual void OpenModelSetup() {}
  // Opens the algorithm data editor (frmAlgo) without blocking.
  virtual void OpenAlgorithmEditor() {}
  // Opens the ranking window (frmRank) without blocking.
  virtual void OpenRankingWindow() {}
  // The report windows (summary, prior review and distributions, posterior,
  // profile) and the plot windows.
  virtual ReportView& Reports() { return nullReports_; }
  virtual PlotView& Plots() { return nullPlots_; }
  // Opens the priors chooser (frmLoadPriors) without blocking.
  virtual void OpenPriorsChooser() {}
  // Opens the priors editor (frmSetPriors) without blocking.
  virtual void OpenPriorsEditor() {}
  // Opens the chooser of parameter evaluations (frmParEvals) without blocking.
  virtual void OpenEvaluationChooser() {}
  // Opens the algorithm data editor and returns when the user has closed it.
  virtual void EditAlgorithmDataAndWait() {}
  // Shows or hides the main window's interrupt items: "&Interrupt " for a
  // Bayesian evaluation (bayes = true), "&Interrupt" for profiles.
  virtual void SetInterruptItemVisible(bool /*bayes*/, bool /*visible*/) {}
  // A minimizer starts (true) or has ended (false): its window refuses to
  // close meanwhile.
  virtual void ComputationRunning(MenuButton /*command*/, bool /*running*/) {}
  // The objective a one-function call or a minimizer ended with (the best
  // point's, which Values now holds).
  virtual void Finished(MenuButton /*command*/, double /*objective*/) {}

 private:
  NullReportView nullReports_;
  NullPlotView nullPlots_;
};

struct CommandContext {
  Workbench& wb;
  Desktop& desktop;
  MenuView& menu;
  CommandViews& views;
};

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
