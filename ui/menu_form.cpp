#include "ui/menu_form.h"

#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSet>
#include <QVBoxLayout>

#include "ui/app_context.h"
#include "ui/commands.h"
#include "ui/main_window.h"

namespace estimetrix {

namespace {

// The windows a computation closes before it starts, by object name.
const QSet<QString> kComputationWindows = {"frmOneFunction", "frmSimplex", "frmMarquardt"};

}  // namespace

frmMenu::frmMenu(MainWindow& main) : main_(main) {
  setObjectName("frmMenu");
  setWindowTitle("Main menu");
  auto* layout = new QVBoxLayout(this);
  layout->setSpacing(4);

  lblModelName_ = new QLabel(this);
  lblModelName_->setObjectName("lblModelName");
  lblModelName_->setAlignment(Qt::AlignCenter);
  QFont font = lblModelName_->font();
  font.setBold(true);
  font.setPointSizeF(font.pointSizeF() * 1.25);
  lblModelName_->setFont(font);
  layout->addWidget(lblModelName_);

  AddButton(MenuButton::Initialize, "cmdInitialize", "&Initialize model");
  AddButton(MenuButton::LoadAlg, "cmdLoadAlg", "&Load algorithm data");
  AddButton(MenuButton::EditAlg, "cmdEditAlg", "&Edit  algorithm data");
  AddButton(MenuButton::SaveAlg, "cmdSaveAlg", "&Save algorithm data");
  AddButton(MenuButton::OneFunction, "cmdOneFunction", "&1 Function call");
  AddButton(MenuButton::Simplex, "cmdSimplex", "Simple&x");
  AddButton(MenuButton::Marquardt, "cmdMarquardt", "&Marquardt");
  AddButton(MenuButton::UserSummary, "cmdUserSummary", "&Single model results");
  AddButton(MenuButton::Covariance, "cmdCovariance", "&Single model covariances");
  AddButton(MenuButton::Bayesian, "cmdBayesian", "Set &Bayesian priors");
  AddButton(MenuButton::ParEstimate, "cmdParEstimate", "E&valuate single model parameter estimates");
  AddButton(MenuButton::Rank, "cmdRank", "&Multi-model statistics");
  AddButton(MenuButton::Quit, "cmdQuit", "&Quit");
  connect(buttons_[MenuButton::Quit], &QPushButton::clicked, &main_, &QWidget::close);

  // Before the model exists only initialising it (and quitting) makes sense.
  SetTwelveEnabled(false);
  SetButtonEnabled(MenuButton::Initialize, true);
  SetButtonEnabled(MenuButton::Quit, true);
}

void frmMenu::AddButton(MenuButton button, const char* objectName, const char* caption) {
  auto* push = new QPushButton(QString::fromUtf8(caption), this);
  push->setObjectName(objectName);
  push->setMinimumWidth(300);
  push->setMinimumHeight(28);
  layout()->addWidget(push);
  buttons_[button] = push;
  if (button != MenuButton::Quit)
    connect(push, &QPushButton::clicked, this, [this, button] { RunCommand(main_.Context(), button); });
}

QMdiSubWindow* frmMenu::Frame() const {
  return qobject_cast<QMdiSubWindow*>(parentWidget());
}

void frmMenu::SetButtonEnabled(MenuButton button, bool enabled) {
  buttons_.at(button)->setEnabled(enabled);
}

bool frmMenu::ButtonEnabled(MenuButton button) const {
  return buttons_.at(button)->isEnabled();
}

void frmMenu::FocusButton(MenuButton button) {
  buttons_.at(button)->setFocus();
}

void frmMenu::SetResultsCaption(const std::string& caption, const std::string& toolTip) {
  QPushButton* results = buttons_.at(MenuButton::UserSummary);
  results->setText(QString::fromStdString(caption));
  results->setToolTip(QString::fromStdString(toolTip));
}

void frmMenu::ApplyLoadRules() {
  const Workbench& wb = main_.Context().wb;
  ApplyMenuLoadRules(*this, wb);
  QString name = wb.model ? QString::fromStdString(wb.model->Name()) : QString();
  lblModelName_->setText(name);
  lblModelName_->setVisible(!name.isEmpty());
}

void frmMenu::ShowMenu() {
  ApplyLoadRules();
  QMdiSubWindow* frame = Frame();
  show();
  if (!frame) return;
  frame->adjustSize();
  frame->move(TwipsToPixels(3000), TwipsToPixels(2000));
  frame->showNormal();
  frame->raise();
  main_.MdiArea()->setActiveSubWindow(frame);
}

void frmMenu::HideMenu() {
  if (QMdiSubWindow* frame = Frame()) frame->hide();
  hide();
}

void frmMenu::SetApplicationMenuEnabled(bool enabled) {
  main_.SetApplicationMenuEnabled(enabled);
}

void frmMenu::CloseComputationWindows() {
  for (QMdiSubWindow* child : main_.MdiArea()->subWindowList()) {
    QWidget* content = child->widget();
    if (content && kComputationWindows.contains(content->objectName()) && child->isVisible())
      child->close();
  }
}

}  // namespace estimetrix
