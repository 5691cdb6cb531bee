#include "ui/report_window.h"

#include <QCloseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "engine/state/report_file.h"
#include "engine/state/workbench.h"
#include "ui/app_context.h"
#include "ui/window_tools.h"

namespace estimetrix {

namespace {

struct WindowNames {
  const char* window;
  const char* text;
  const char* button;
};

WindowNames NamesOf(ReportKind kind) {
  switch (kind) {
    case ReportKind::Summary: return {"frmSummary", "rtbOut", "cmdSaveSummary"};
    case ReportKind::PriorReview: return {"frmReviewPriors", "rtbReviewPriors", "cmdSaveReview"};
    case ReportKind::PriorDistributions:
      return {"frmPriorDists", "rtbPriorDists", "cmdSavePriorDists"};
    case ReportKind::Posterior: return {"frmBayesian", "rtbBayesian", "cmdSaveBayesian"};
    case ReportKind::Profile: return {"frmMaxLike", "rtbMaxLike", "cmdSaveMaxLike"};
    case ReportKind::Chains: return {"frmMarkovChains", "rtbMarkovChains", "cmdSaveMarkovChains"};
  }
  return {"frmReport", "rtbReport", "cmdSave"};
}

}  // namespace

ReportWindow::ReportWindow(AppContext& ctx, ReportKind kind) : ctx_(ctx), kind_(kind) {
  const WindowNames names = NamesOf(kind);
  const ReportWindowSettings settings = ReportSettings(kind, ctx.wb, ctx.desktop.Now());
  setObjectName(names.window);
  setWindowTitle(QString::fromStdString(settings.caption));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  text_area_ = MonospacedText(this);
  text_area_->setObjectName(names.text);
  layout->addWidget(text_area_);
  save_ = new QPushButton(QString::fromStdString(settings.saveButton), this);
  save_->setObjectName(names.button);
  layout->addWidget(save_);
  connect(save_, &QPushButton::clicked, this, &ReportWindow::Save);
  QFontMetrics metrics(text_area_->font());
  resize(metrics.horizontalAdvance(QString(112, 'x')), metrics.lineSpacing() * 32);
}

void ReportWindow::SetText(const std::string& text) {
  text_ = text;
  // Keep the reader's place when a growing report is shown again.
  QScrollBar* bar = text_area_->verticalScrollBar();
  const bool atEnd = bar->value() == bar->maximum();
  const int position = bar->value();
  text_area_->setPlainText(QString::fromStdString(text));
  bar->setValue(atEnd ? bar->maximum() : position);
}

void ReportWindow::Save() {
  std::string text = text_;
  if (SaveReport(kind_, ctx_.wb, ctx_.desktop, text)) SetText(text);
}

void ReportWindow::closeEvent(QCloseEvent* event) {
  // The prior review is cleared when its window closes; the other reports
  // stay until the next one replaces them.
  if (kind_ == ReportKind::PriorReview) SetText("");
  // Closing the summary brings the menu back, as the other result windows do.
  if (kind_ == ReportKind::Summary) ctx_.menu.ShowMenu();
  event->accept();
}

ReportWindow* FindOrCreateReportWindow(AppContext& ctx, ReportKind kind) {
  if (ctx.mdi) {
    for (QMdiSubWindow* child : ctx.mdi->subWindowList())
      if (auto* window = qobject_cast<ReportWindow*>(child->widget());
          window && window->Kind() == kind)
        return window;
  } else if (ctx.mainWindow) {
    for (auto* window :
         ctx.mainWindow->findChildren<ReportWindow*>(QString(), Qt::FindDirectChildrenOnly))
      if (window->Kind() == kind) return window;
  }
  auto* window = new ReportWindow(ctx, kind);
  Place(ctx, window, 600 + 300 * static_cast<int>(kind), 300 + 300 * static_cast<int>(kind));
  return window;
}

void WindowReportView::ShowReport(ReportKind kind, const std::string& text) {
  ReportWindow* window = FindOrCreateReportWindow(ctx_, kind);
  window->SetText(text);
  BringToFront(ctx_, window);
}

}  // namespace estimetrix
