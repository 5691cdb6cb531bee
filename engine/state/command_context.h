#pragma once
// What every command runs in: the workbench, the desktop, the menu form and
// the views the windows (or the headless runner) provide, and the outcome a
// command ends with. Below every command, so that a command's own header and
// the run it is built on need nothing of the dispatcher.

#include "engine/state/menu_view.h"
#include "engine/state/report_views.h"

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

}  // namespace estimetrix
