#include "ui/evaluation_windows.h"

#include <QCloseEvent>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/app_context.h"
#include "ui/commands.h"
#include "ui/window_tools.h"

namespace estimetrix {

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
  chains_ = addButton("cmdMarkovChains", kChainsButtonCaption, EvaluationChoice::Chains);
  cancel_ = addButton("cmdCancel", kChooserCancelCaption, EvaluationChoice::Cancel);
  resize(TwipsToPixels(6000), TwipsToPixels(3000));
}

void frmParEvals::Choose(EvaluationChoice choice) {
  choosing_ = true;
  Frame(this)->close();
  RunWithWindows(ctx_, [choice](CommandContext& command) {
    return RunEvaluationChoice(command, choice);
  });
  choosing_ = false;
}

// Closing the chooser without a choice is its Cancel.
void frmParEvals::closeEvent(QCloseEvent* event) {
  event->accept();
  if (choosing_) return;
  choosing_ = true;
  RunWithWindows(ctx_, [](CommandContext& command) {
    return RunEvaluationChoice(command, EvaluationChoice::Cancel);
  });
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
