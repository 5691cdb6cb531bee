#include "ui/marquardt_window.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "engine/state/algorithm_data.h"
#include "engine/state/workbench.h"
#include "ui/app_context.h"
#include "ui/child_window.h"
#include "ui/menu_form.h"

namespace estimetrix {
namespace {

constexpr int kMarquardtTextIntervalMs = 33;  // about 30 repaints a second
constexpr int kSmallFontFromFreeCount = 26;
constexpr int kHeightTwips = 8400;

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  return button;
}

}  // namespace

frmMarquardt::frmMarquardt(AppContext& ctx, QWidget* parent) : QWidget(parent), ctx_(ctx) {
  setObjectName("frmMarquardt");
  setWindowTitle(kMarquardtWindowCaption);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  rtbMarquardt_ = new QPlainTextEdit(this);
  rtbMarquardt_->setObjectName("rtbMarquardt");
  rtbMarquardt_->setReadOnly(true);
  rtbMarquardt_->setLineWrapMode(QPlainTextEdit::NoWrap);
  rtbMarquardt_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  layout->addWidget(rtbMarquardt_, 1);

  auto* buttons = new QHBoxLayout;
  cmdStop_ = MakeButton(this, "cmdStop", "&Interrupt");
  cmdIteration_ = MakeButton(this, "cmdIteration", "&Next iteration");
  cmdContinue_ = MakeButton(this, "cmdContinue", "&Continue");
  buttons->addStretch(1);
  buttons->addWidget(cmdStop_);
  buttons->addWidget(cmdIteration_);
  buttons->addWidget(cmdContinue_);
  buttons->addStretch(1);
  layout->addLayout(buttons);
  connect(cmdStop_, &QPushButton::clicked, this, [this] { RequestInterrupt(); });
  connect(cmdIteration_, &QPushButton::clicked, this, [this] { NextIteration(); });
  connect(cmdContinue_, &QPushButton::clicked, this, [this] { ContinueWithoutDerivatives(); });

  repaint_ = new QTimer(this);
  repaint_->setSingleShot(true);
  connect(repaint_, &QTimer::timeout, this, [this] { ShowPendingText(); });

  SetDerivativeButtonsVisible(false);
  resize(TwipsToPixels(14000), TwipsToPixels(kHeightTwips));
}

void frmMarquardt::Show(int freeCount) {
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setPointSize(freeCount < kSmallFontFromFreeCount ? 10 : 8);
  rtbMarquardt_->setFont(font);
  SetDerivativeButtonsVisible(false);
  show();
  if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget())) {
    frame->move(TwipsToPixels(500), TwipsToPixels(500));
    frame->resize(TwipsToPixels(14000), std::max(frame->height(), TwipsToPixels(kHeightTwips)));
    frame->show();
    frame->raise();
    if (ctx_.mdi) ctx_.mdi->setActiveSubWindow(frame);
  } else {
    move(TwipsToPixels(500), TwipsToPixels(500));
    raise();
  }
}

void frmMarquardt::Close() {
  closingByRun_ = true;
  if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget()))
    frame->close();
  else
    close();
  closingByRun_ = false;
}

void frmMarquardt::SetText(const std::string& text) {
  pendingText_ = QString::fromStdString(text);
  textPending_ = true;
  const qint64 since = sinceText_.isValid() ? sinceText_.elapsed() : kMarquardtTextIntervalMs;
  if (since >= kMarquardtTextIntervalMs) {
    ShowPendingText();
  } else if (!repaint_->isActive()) {
    repaint_->start(static_cast<int>(kMarquardtTextIntervalMs - since));
  }
}

void frmMarquardt::ShowPendingText() {
  if (!textPending_) return;
  repaint_->stop();
  rtbMarquardt_->setPlainText(pendingText_);
  textPending_ = false;
  sinceText_.start();
}

QString frmMarquardt::Text() const {
  return textPending_ ? pendingText_ : rtbMarquardt_->toPlainText();
}

void frmMarquardt::SetInterruptEnabled(bool enabled) {
  cmdStop_->setEnabled(enabled);
}

void frmMarquardt::SetInterruptCaption(const std::string& caption) {
  cmdStop_->setText(QString::fromStdString(caption));
}

void frmMarquardt::SetDerivativeButtonsVisible(bool visible) {
  for (QPushButton* button : {cmdIteration_, cmdContinue_}) {
    button->setVisible(visible);
    button->setEnabled(visible);
  }
  // The display waits for one of these buttons: show its text at once.
  if (visible) ShowPendingText();
}

void frmMarquardt::Idle() {
  QThread::msleep(10);
}

void frmMarquardt::SetRunning(bool running) {
  ctx_.wb.marquardt.CommandInProgress = running;
  // The last report of a run is shown whatever the repaint timer says.
  if (!running) ShowPendingText();
}

void frmMarquardt::ReleaseDerivativeDisplay(bool switchOff) {
  ctx_.wb.marquardt.DerivativeWaitReleased = true;
  if (switchOff) ctx_.wb.marquardt.ShowDerivatives = false;
  SetDerivativeButtonsVisible(false);
}

void frmMarquardt::RequestInterrupt() {
  ctx_.wb.state.MarquardtInterruptRequested = true;
  cmdStop_->setEnabled(false);
  ctx_.desktop.SetStatus(StatusBar::Progress, 2, "Interrupt pending...");
  ReleaseDerivativeDisplay(true);
}

void frmMarquardt::NextIteration() {
  ReleaseDerivativeDisplay(false);
}

void frmMarquardt::ContinueWithoutDerivatives() {
  ReleaseDerivativeDisplay(true);
}

void frmMarquardt::closeEvent(QCloseEvent* event) {
  repaint_->stop();
  textPending_ = false;
  rtbMarquardt_->clear();
  ReleaseDerivativeDisplay(true);
  for (int panel = 1; panel <= 3; ++panel) ctx_.desktop.SetStatus(StatusBar::Progress, panel, "");
  if (ctx_.wb.marquardt.CommandInProgress && !closingByRun_) {
    // The run still owns the window; it goes on without the derivative display.
    event->ignore();
    return;
  }
  event->accept();
  if (!ctx_.wb.marquardt.CommandInProgress) ctx_.menu.ShowMenu();
}

// The window lives for the whole session; closing hides its frame.
frmMarquardt* MarquardtWindow(AppContext& ctx) { return FindOrCreateChildWindow<frmMarquardt>(ctx); }

}  // namespace estimetrix
