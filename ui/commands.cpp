#include "ui/commands.h"

#include <memory>

#include "ui/algorithm_editor.h"
#include "ui/app_context.h"
#include "ui/covariance_windows.h"
#include "ui/evaluation_windows.h"
#include "ui/initialize_form.h"
#include "ui/main_window.h"
#include "ui/marquardt_window.h"
#include "ui/one_function_window.h"
#include "ui/priors_windows.h"
#include "ui/ranking_window.h"
#include "ui/report_window.h"
#include "ui/simplex_window.h"

namespace estimetrix {

namespace {

// The commands' views: the session's windows, found or created on demand.
class WindowCommandViews : public CommandViews {
 public:
  explicit WindowCommandViews(AppContext& ctx) : ctx_(ctx), reports_(ctx) {}

  OneFunctionView& OneFunction() override { return *OneFunctionWindowFor(ctx_); }
  SimplexView& Simplex() override { return *SimplexWindow(ctx_); }
  MarquardtView& Marquardt() override { return *MarquardtWindow(ctx_); }
  CovarianceViews& Covariance() override {
    if (!covariance_)
      covariance_ =
          std::make_unique<WindowCovarianceViews>(ctx_, FindOrCreateCovarianceWindows(ctx_));
    return *covariance_;
  }
  void OpenModelSetup() override { OpenInitializeForm(ctx_); }
  void OpenAlgorithmEditor() override {
    estimetrix::OpenAlgorithmEditor(ctx_, AlgorithmEditor::Mode::Full);
  }
  void OpenRankingWindow() override { estimetrix::OpenRankingWindow(ctx_); }
  ReportView& Reports() override { return reports_; }
  void OpenPriorsChooser() override { estimetrix::OpenPriorsChooser(ctx_); }
  void OpenPriorsEditor() override { estimetrix::OpenPriorsEditor(ctx_); }
  void OpenEvaluationChooser() override { estimetrix::OpenEvaluationChooser(ctx_); }
  void SetInterruptItemVisible(bool bayes, bool visible) override {
    if (auto* window = qobject_cast<MainWindow*>(ctx_.mainWindow)) {
      if (bayes)
        window->SetBayesInterruptMenuVisible(visible);
      else
        window->SetProfileInterruptMenuVisible(visible);
    }
  }
  void EditAlgorithmDataAndWait() override {
    OpenAlgorithmEditorAndWait(ctx_, AlgorithmEditor::Mode::Restricted);
  }
  PlotView& Plots() override { return ctx_.plots ? *ctx_.plots : nullPlots_; }
  void ComputationRunning(MenuButton command, bool running) override {
    if (command == MenuButton::Simplex) SimplexWindow(ctx_)->SetRunning(running);
    if (command == MenuButton::Marquardt) MarquardtWindow(ctx_)->SetRunning(running);
  }

 private:
  AppContext& ctx_;
  WindowReportView reports_;
  NullPlotView nullPlots_;
  std::unique_ptr<WindowCovarianceViews> covariance_;
};

}  // namespace

CommandOutcome RunCommand(AppContext& ctx, MenuButton button) {
  WindowCommandViews views(ctx);
  CommandContext command{ctx.wb, ctx.desktop, ctx.menu, views};
  return RunMenuCommand(button, command);
}

CommandOutcome RunWithWindows(AppContext& ctx,
                              const std::function<CommandOutcome(CommandContext&)>& command) {
  WindowCommandViews views(ctx);
  CommandContext context{ctx.wb, ctx.desktop, ctx.menu, views};
  return command(context);
}

}  // namespace estimetrix
