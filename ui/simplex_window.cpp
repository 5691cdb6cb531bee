#include "ui/simplex_window.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

#include "engine/state/algorithm_data.h"
#include "engine/state/workbench.h"
#include "ui/app_context.h"
#include "ui/child_window.h"
#include "ui/menu_form.h"

namespace estimetrix {
namespace {

// About 30 repaints a second.
constexpr qint64 kSimplexTextIntervalMs = 33;

QPlainTextEdit* MakePane(QWidget* parent, const char* name) {
  auto* pane = new QPlainTextEdit(parent);
  pane->setObjectName(name);
  pane->setReadOnly(true);
  pane->setLineWrapMode(QPlainTextEdit::NoWrap);
  pane->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  pane->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  return pane;
}

}  // namespace

frmSimplex::frmSimplex(AppContext& ctx, QWidget* parent) : QWidget(parent), ctx_(ctx) {
  setObjectName("frmSimplex");
  setWindowTitle(kSimplexWindowCaption);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  auto* splitter = new QSplitter(Qt::Vertical, this);
  upper_ = MakePane(splitter, "rtbUpper");
  lower_ = MakePane(splitter, "rtbLower");
  splitter->addWidget(upper_);
  splitter->addWidget(lower_);
  splitter->setSizes({TwipsToPixels(3000), TwipsToPixels(4500)});
  layout->addWidget(splitter, 1);
  interrupt_ = new QPushButton("&Interrupt", this);
  interrupt_->setObjectName("cmdInterrupt");
  layout->addWidget(interrupt_, 0, Qt::AlignHCenter);
  connect(interrupt_, &QPushButton::clicked, this, [this] { RequestInterrupt(); });
  resize(TwipsToPixels(14000), TwipsToPixels(8400));
}

void frmSimplex::Open() {
  upper_->clear();
  lower_->clear();
  // The caption stays as the last run left it: a run that continues from the
  // retained simplex does not set it again.
  interrupt_->setEnabled(true);
  sinceLowerText_.invalidate();
  show();
  if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget())) {
    frame->move(TwipsToPixels(500), TwipsToPixels(500));
    // The frame was sized before this widget asked for its size; give the
    // panes their full width so report lines are not cut off.
    QSize wanted(TwipsToPixels(14000), TwipsToPixels(8400));
    if (ctx_.mdi) wanted = wanted.boundedTo(ctx_.mdi->viewport()->size());
    frame->resize(wanted.expandedTo(frame->size()));
    frame->show();
    frame->raise();
    if (ctx_.mdi) ctx_.mdi->setActiveSubWindow(frame);
  } else {
    raise();
  }
}

void frmSimplex::SetUpperText(const std::string& text) {
  upper_->setPlainText(QString::fromStdString(text));
}

void frmSimplex::SetLowerText(const std::string& text) {
  lower_->setPlainText(QString::fromStdString(text));
  if (!text.empty()) sinceLowerText_.start();
}

void frmSimplex::SetInterruptCaption(const std::string& caption) {
  interrupt_->setText(QString::fromStdString(caption));
}

void frmSimplex::SetInterruptEnabled(bool enabled) {
  interrupt_->setEnabled(enabled);
}

bool frmSimplex::ReadyForText() {
  return !sinceLowerText_.isValid() || sinceLowerText_.elapsed() >= kSimplexTextIntervalMs;
}

void frmSimplex::SetRunning(bool running) {
  running_ = running;
  // A press after the run would be taken up by the next run's first poll.
  if (!running) interrupt_->setEnabled(false);
}

QString frmSimplex::UpperText() const {
  return upper_->toPlainText();
}
QString frmSimplex::LowerText() const {
  return lower_->toPlainText();
}

void frmSimplex::RequestInterrupt() {
  ctx_.wb.state.InterruptRequested = true;
  interrupt_->setEnabled(false);
  ctx_.desktop.SetStatus(StatusBar::Progress, 1, "Interrupt pending...");
}

void frmSimplex::closeEvent(QCloseEvent* event) {
  if (running_) {
    // Closing mid-run would bring back the menu while the search still
    // owns the state; take it as a press of Interrupt instead.
    event->ignore();
    if (interrupt_->isEnabled()) RequestInterrupt();
    return;
  }
  upper_->clear();
  lower_->clear();
  for (int panel = 1; panel <= 3; ++panel) ctx_.desktop.SetStatus(StatusBar::Progress, panel, "");
  event->accept();
  ctx_.menu.ShowMenu();
}

// The window lives for the whole session; closing hides its frame, so the
// retained simplex's window can be shown again by the next run.
frmSimplex* SimplexWindow(AppContext& ctx) { return FindOrCreateChildWindow<frmSimplex>(ctx); }

}  // namespace estimetrix
