#include "ui/evaluation_windows.h"

#include <QCloseEvent>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/app_context.h"
#include "ui/algorithm_editor.h"
#include "ui/main_window.h"
#include "ui/marquardt_window.h"
#include "ui/one_function_window.h"
#include "ui/covariance_windows.h"
#include "ui/report_window.h"
#include "ui/simplex_window.h"
#include "ui/window_tools.h"

namespace estimetrix {

namespace {

// What the evaluations ask of the windows: the minimizers' progress windows,
// the restricted editor, the report and plot windows, and the main window's
// interrupt items.
class EvaluationViews : public CommandViews {
 public:
  explicit EvaluationViews(AppContext& ctx) : ctx_(ctx), reports_(ctx) {}
  OneFunctionView& OneFunction() override { return *OneFunctionWindowFor(ctx_); }
  SimplexView& Simplex() override { return *SimplexWindow(ctx_); }
  MarquardtView& Marquardt() override { return *MarquardtWindow(ctx_); }
  CovarianceViews& Covariance() override {
    if (!covariance_)
      covariance_ =
          std::make_unique<WindowCovarianceViews>(ctx_, FindOrCreateCovarianceWindows(ctx_));
    return *covariance_;
  }
  ReportView& Reports() override { return reports_; }
  PlotView& Plots() override { return ctx_.plots ? *ctx_.plots : nullPlots_; }
  void EditAlgorithmDataAndWait() override {
    OpenAlgorithmEditorAndWait(ctx_, AlgorithmEditor::Mode::Restricted);
  }
  void SetInterruptItemVisible(bool bayes, bool visible) override {
    if (auto* window = qobject_cast<MainWindow*>(ctx_.mainWindow)) {
      if (bayes)
        window->SetBayesInterruptMenuVisible(visible);
      else
        window->SetProfileInterruptMenuVisible(visible);
    }
  }
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

frmParEvals::frmParEvals(AppContext& ctx, QWidget* parent) : QWidget(parent), ctx_(ctx) {
  setObjectName("frmParEvals");
  setWindowTitle(kEvaluationChooserCaption);
  auto* layout = new QVBoxLayout(this);
  auto addButton = [&](const char* name, const char* caption, EvaluationChoice choice) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(name);
    connect(button, &QPushButton::clicked, this, [this, choice] { Choose(choice); });
    layout->addWidget(button);
    return button;
  };
  posterior_ = addButton("cmdBayesian", kPosteriorButtonCaption, EvaluationChoice::Posterior);
  profile_ = addButton("cmdMaxLike", kProfileButtonCaption, EvaluationChoice::Profile);
  cancel_ = addButton("cmdCancel", kChooserCancelCaption, EvaluationChoice::Cancel);
  resize(TwipsToPixels(6000), TwipsToPixels(2400));
}

void frmParEvals::Choose(EvaluationChoice choice) {
  choosing_ = true;
  Frame(this)->close();
  EvaluationViews views(ctx_);
  CommandContext command{ctx_.wb, ctx_.desktop, ctx_.menu, views};
  RunEvaluationChoice(command, choice);
  choosing_ = false;
}

// Closing the chooser without a choice is its Cancel.
void frmParEvals::closeEvent(QCloseEvent* event) {
  event->accept();
  if (choosing_) return;
  choosing_ = true;
  EvaluationViews views(ctx_);
  CommandContext command{ctx_.wb, ctx_.desktop, ctx_.menu, views};
  RunEvaluationChoice(command, EvaluationChoice::Cancel);
  choosing_ = false;
}

void OpenEvaluationChooser(AppContext& ctx) {
  auto* window = FindWindow<frmParEvals>(ctx);
  if (!window) {
    if (!ctx.mdi && !ctx.mainWindow) return;
    window = new frmParEvals(ctx);
    Place(ctx, window, 3000, 2000);
  }
  BringToFront(ctx, window);
}

}  // namespace estimetrix
