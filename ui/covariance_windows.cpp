#include "ui/covariance_windows.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "engine/covariance/covariance_report.h"
#include "engine/state/workbench.h"
#include "ui/algorithm_editor.h"
#include "ui/app_context.h"
#include "ui/window_tools.h"

namespace estimetrix {

namespace {

const char* const kSaveCaption =
    "To save these results [restore or minimize this form then] choose 'Save covariance "
    "results as...'";

const char* const kDisplayExplanation =
    "If the results for numerically calculated SEs etc. are similar for all three grids,"
    " then the model's behaviour can be considered to be 'close-to-linear' and the"
    " uncertainty around the parameter estimates can be considered to be"
    " represented by a normal distribution.  Else the SEs etc. are probably"
    " inaccurate and parameter uncertainty is more difficult to interpret.  This"
    " problem tends to diminish as sample size increases and the central limit"
    " theorem starts to apply.  Alternatively, you can choose the option 'Evaluate"
    " estimates' from the Main Menu, then use maximum-likelihood or Bayesian"
    " utilities to evaluate parameter uncertainty.";

}  // namespace

// ---------------------------------------------------------------- frmCovData

frmCovData::frmCovData(AppContext& ctx) : ctx_(ctx) {
  setObjectName("frmCovData");
  setWindowTitle("Covariance calculations");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  rtbCovData_ = MonospacedText(this);
  rtbCovData_->setObjectName("rtbCovData");
  layout->addWidget(rtbCovData_);
  cmdStop_ = new QPushButton(kInterruptCaption, this);
  cmdStop_->setObjectName("cmdStop");
  layout->addWidget(cmdStop_);
  connect(cmdStop_, &QPushButton::clicked, this, &frmCovData::Stop);
  QFontMetrics metrics(rtbCovData_->font());
  resize(TwipsToPixels(15000), metrics.lineSpacing() * 30);
}

void frmCovData::StartLog() {
  SetText("");
  SetStopCaption(kInterruptCaption);
  cmdStop_->setEnabled(true);
}

void frmCovData::AppendLog(const std::string& text) {
  text_ += text;
  QTextCursor cursor = rtbCovData_->textCursor();
  cursor.movePosition(QTextCursor::End);
  cursor.insertText(QString::fromStdString(text));
  rtbCovData_->verticalScrollBar()->setValue(rtbCovData_->verticalScrollBar()->maximum());
}

void frmCovData::SetText(const std::string& text) {
  text_ = text;
  rtbCovData_->setPlainText(QString::fromStdString(text));
}

void frmCovData::EnableInterrupt() {
  cmdStop_->setEnabled(true);
}

void frmCovData::SetStopCaption(const QString& caption) {
  cmdStop_->setText(caption);
}

void frmCovData::ShowInFront() {
  BringToFront(ctx_, this);
}

void frmCovData::Stop() {
  if (cmdStop_->text() == kInterruptCaption) {
    ctx_.wb.covariance.CovarianceInterruptRequested = true;
    cmdStop_->setEnabled(false);
  } else if (display_) {
    display_->ShowInFront();
  }
}

void frmCovData::closeEvent(QCloseEvent* event) {
  if (display_) display_->SetSaveEnabled(false);
  SetStopCaption(kInterruptCaption);
  event->accept();
  if (QWidget* frame = Frame(this); frame != this) frame->hide();
}

// ------------------------------------------------------------- frmCovDisplay

frmCovDisplay::frmCovDisplay(AppContext& ctx, frmCovData* data) : ctx_(ctx), data_(data) {
  setObjectName("frmCovDisplay");
  setWindowTitle("Covariance data");
  auto* layout = new QVBoxLayout(this);
  lblCovDisplay_ = new QLabel(this);
  lblCovDisplay_->setObjectName("lblCovDisplay");
  layout->addWidget(lblCovDisplay_);
  txtCovDisplay_ = new QPlainTextEdit(this);
  txtCovDisplay_->setObjectName("txtCovDisplay");
  txtCovDisplay_->setReadOnly(true);
  txtCovDisplay_->setPlainText(kDisplayExplanation);
  layout->addWidget(txtCovDisplay_);
  cmdScreen_ = new QPushButton("Display results on &screen", this);
  cmdScreen_->setObjectName("cmdScreen");
  cmdFile_ = new QPushButton("Save &covariance results as...", this);
  cmdFile_->setObjectName("cmdFile");
  cmdFile_->setEnabled(false);
  cmdFinish_ = new QPushButton("&Finish display", this);
  cmdFinish_->setObjectName("cmdFinish");
  for (QPushButton* button : {cmdScreen_, cmdFile_, cmdFinish_}) layout->addWidget(button);
  connect(cmdScreen_, &QPushButton::clicked, this, &frmCovDisplay::DisplayOnScreen);
  connect(cmdFile_, &QPushButton::clicked, this, &frmCovDisplay::SaveResults);
  connect(cmdFinish_, &QPushButton::clicked, this, &frmCovDisplay::Finish);
  resize(TwipsToPixels(5200), TwipsToPixels(4800));
}

void frmCovDisplay::ShowResults() {
  lblCovDisplay_->setText(ctx_.wb.covariance.CovarianceDisplayMode == CovarianceState::DisplayMode::Fresh
                              ? "Calculation completed. Do you wish to:"
                              : "Do you wish to:");
  cmdScreen_->setEnabled(true);
  ctx_.menu.HideMenu();
  ShowInFront();
}

void frmCovDisplay::DisplayOnScreen() {
  cmdScreen_->setEnabled(false);
  data_->SetStopCaption(kSaveCaption);
  data_->EnableInterrupt();
  ctx_.desktop.SetStatus(StatusBar::Progress, 1,
                         "Please be patient while covariance output is collated...");
  std::string report = BuildCovarianceReport(ctx_.wb, ctx_.desktop);
  data_->SetText(report);
  data_->ShowInFront();
  ctx_.desktop.SetStatus(StatusBar::Progress, 1, "");
  cmdScreen_->setEnabled(true);
  ShowInFront();
  cmdFile_->setEnabled(true);
}

void frmCovDisplay::SaveResults() {
  std::string text = data_->Text();
  if (SaveCovarianceFile(ctx_.wb, ctx_.desktop, text)) data_->SetText(text);
}

void frmCovDisplay::Finish() {
  if (finishing_) return;
  finishing_ = true;
  data_->close();
  close();
  if (QWidget* frame = Frame(this); frame != this) frame->hide();
  ctx_.menu.ShowMenu();
  ctx_.menu.SetApplicationMenuEnabled(true);
  finishing_ = false;
}

void frmCovDisplay::SetSaveEnabled(bool enabled) {
  cmdFile_->setEnabled(enabled);
}

void frmCovDisplay::ShowInFront() {
  BringToFront(ctx_, this);
}

void frmCovDisplay::closeEvent(QCloseEvent* event) {
  event->accept();
  if (!finishing_) Finish();
}

// -------------------------------------------------------------- the command

CovarianceWindows FindOrCreateCovarianceWindows(AppContext& ctx) {
  CovarianceWindows windows{FindWindow<frmCovData>(ctx), FindWindow<frmCovDisplay>(ctx)};
  if (windows.data && windows.display) return windows;
  windows.data = new frmCovData(ctx);
  Place(ctx, windows.data, 100, 500);
  windows.display = new frmCovDisplay(ctx, windows.data);
  Place(ctx, windows.display, 11000, 1200);
  windows.data->SetDisplay(windows.display);
  return windows;
}

void WindowCovarianceViews::EditAlgorithmDataAndWait() {
  OpenAlgorithmEditorAndWait(ctx_, AlgorithmEditor::Mode::Restricted);
}

void WindowCovarianceViews::ShowProgress() {
  windows_.display->SetSaveEnabled(false);
  windows_.data->StartLog();
  windows_.data->ShowInFront();
}

void WindowCovarianceViews::AppendLog(const std::string& text) {
  windows_.data->AppendLog(text);
}

void WindowCovarianceViews::EnableInterrupt() {
  windows_.data->EnableInterrupt();
}

void WindowCovarianceViews::ShowDisplay() {
  windows_.display->ShowResults();
}

}  // namespace estimetrix
