#include "ui/ranking_window.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "ui/algorithm_editor.h"
#include "ui/app_context.h"
#include "ui/menu_form.h"
#include "ui/priors_windows.h"

namespace estimetrix {

namespace {

QLabel* RuleLabel(const char* text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setWordWrap(true);
  return label;
}

QString WithoutCarriageReturns(const std::string& text) {
  QString shown = QString::fromStdString(text);
  shown.remove('\r');
  return shown;
}

}  // namespace

frmRank::frmRank(AppContext& ctx, QWidget* parent) : QWidget(parent), ctx_(ctx) {
  setObjectName("frmRank");
  setWindowTitle("Model selection, ranking and averaging");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(RuleLabel(
      "Add competing models by sequentially loading or editing their associated algorithm files",
      this));
  layout->addWidget(RuleLabel("(Note: Competitors to be ranked must have mutually associated "
                              "algorithm and covariance files)",
                              this));

  auto* buttons = new QGridLayout;
  buttons->addWidget(AddButton(RankButton::LoadAlg, "cmdLoadAlg", "&Load Algorithm Data"), 0, 0);
  buttons->addWidget(AddButton(RankButton::EditAlg, "cmdEditAlg", "&Edit Algorithm Data"), 0, 1);
  buttons->addWidget(AddButton(RankButton::SaveAlg, "cmdSaveAlg", "&Save Algorithm Data"), 0, 2);
  buttons->addWidget(AddButton(RankButton::Bayesian, "cmdBayesian", "Set &Bayesian priors"), 0, 3);
  buttons->addWidget(
      AddButton(RankButton::AddModel, "cmdAddModel", "Calculate model AICc",
                "Calculates the AICc for the currently open, and perhaps edited, algorithm file"),
      1, 0);
  buttons->addWidget(AddButton(RankButton::SetOverdispersion, "cmdQAICc", "Calculate QAICc"), 1, 1);
  lblCHat_ = new QLabel(this);
  lblCHat_->setObjectName("lblCHat");
  buttons->addWidget(lblCHat_, 1, 2);
  buttons->addWidget(AddButton(RankButton::Rank, "cmdRank", "&Rank competing models", kRankTip),
                     2, 0);
  buttons->addWidget(AddButton(RankButton::Average, "cmdAverage", "&Average across models"), 2, 1);
  buttons->addWidget(
      AddButton(RankButton::Save, "cmdSave", "&Save ranking and averaging results"), 2, 2);
  buttons->addWidget(
      AddButton(RankButton::Finish, "cmdFinish", "&Finish", "Quits the ranking exercise"), 2, 3);
  layout->addLayout(buttons);

  grdRank_ = new QTableWidget(0, kRankColumns, this);
  grdRank_->setObjectName("grdRank");
  grdRank_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grdRank_->setSelectionBehavior(QAbstractItemView::SelectRows);
  grdRank_->setSelectionMode(QAbstractItemView::SingleSelection);
  grdRank_->verticalHeader()->setVisible(false);
  grdRank_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  connect(grdRank_, &QTableWidget::cellDoubleClicked, this, &frmRank::OnCellDoubleClicked);
  layout->addWidget(grdRank_, 1);
  layout->addWidget(
      RuleLabel("Double-click a selected model's 'Ramdom/Ranked' cell to delete that model", this));
  layout->addWidget(RuleLabel(
      "Double-click a selected model's 'Covariance file name' cell to change the covariance file",
      this));
  layout->addWidget(
      RuleLabel("Double-click a selected model's 'Notes' cell to annotate that model", this));

  lblAverage_ = new QLabel("Averaging results >", this);
  lblAverage_->setObjectName("lblAverage");
  layout->addWidget(lblAverage_);
  txtAverage_ = new QPlainTextEdit(this);
  txtAverage_->setObjectName("txtAverage");
  txtAverage_->setReadOnly(true);
  txtAverage_->setLineWrapMode(QPlainTextEdit::NoWrap);
  txtAverage_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  layout->addWidget(txtAverage_, 1);
  resize(TwipsToPixels(15000), TwipsToPixels(9000));
}

QPushButton* frmRank::AddButton(RankButton button, const char* objectName, const char* caption,
                                const char* toolTip) {
  auto* push = new QPushButton(caption, this);
  push->setObjectName(objectName);
  if (toolTip) push->setToolTip(toolTip);
  connect(push, &QPushButton::clicked, this, [this, button] { Run(button); });
  buttons_[button] = push;
  return push;
}

RankingContext frmRank::Context() {
  return RankingContext{ctx_.wb, ctx_.desktop, ctx_.menu, session_, *this};
}

CommandOutcome frmRank::Run(RankButton button) {
  RankingContext ctx = Context();
  switch (button) {
    case RankButton::LoadAlg: return LoadAlgorithmForRanking(ctx);
    case RankButton::EditAlg: return EditAlgorithmForRanking(ctx);
    case RankButton::SaveAlg: return SaveAlgorithmForRanking(ctx);
    case RankButton::Bayesian: {
      const CommandOutcome outcome = BayesianPriorsForRanking(ctx);
      if (outcome == CommandOutcome::Done) OpenPriorsChooserFrom(ctx_, PriorsOrigin::Ranking);
      return outcome;
    }
    case RankButton::AddModel: return AddModelCommand(ctx);
    case RankButton::SetOverdispersion: return SetOverdispersionCommand(ctx);
    case RankButton::Rank: return RankModelsCommand(ctx);
    case RankButton::Average: return AverageModelsCommand(ctx);
    case RankButton::Save: return SaveRanksCommand(ctx);
    case RankButton::Finish:
      Frame(this)->close();
      return CommandOutcome::Done;
  }
  return CommandOutcome::Refused;
}

void frmRank::Open() {
  RankingContext ctx = Context();
  OpenRanking(ctx);
}

void frmRank::OnCellDoubleClicked(int row, int column) {
  RankingContext ctx = Context();
  GridDoubleClick(ctx, row, column);
}

void frmRank::Refresh(const RankingSession& session) {
  const std::vector<std::string> headers = RankGridHeaders(session.table);
  QStringList labels;
  for (const std::string& header : headers) labels << QString::fromStdString(header);
  grdRank_->setHorizontalHeaderLabels(labels);
  const std::vector<RankGridRow> rows = RankGridRows(session.table);
  grdRank_->setRowCount(static_cast<int>(rows.size()));
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    const RankGridRow& row = rows[static_cast<size_t>(r)];
    for (int c = 0; c < kRankColumns; ++c) {
      auto* item = new QTableWidgetItem(QString::fromStdString(row.cells[static_cast<size_t>(c)]));
      if (row.fresh) item->setForeground(Qt::red);
      grdRank_->setItem(r, c, item);
    }
  }
  grdRank_->resizeColumnsToContents();

  const double cHat = session.table.cHat;
  lblCHat_->setText(QString::fromStdString(CHatText(cHat)));
  lblCHat_->setStyleSheet(cHat != 1.0 ? "color: blue;" : "color: green;");

  for (const auto& [button, push] : buttons_) push->setEnabled(session.Enabled(button));
  txtAverage_->setPlainText(WithoutCarriageReturns(session.averagingText));
  lblAverage_->setEnabled(!session.averagingText.empty());
}

void frmRank::FocusButton(RankButton button) {
  buttons_.at(button)->setFocus();
}

void frmRank::SetWindowVisible(bool visible) {
  Frame(this)->setVisible(visible);
  if (visible) show();
}

void frmRank::OpenAlgorithmEditor() {
  AlgorithmEditor* editor = estimetrix::OpenAlgorithmEditor(ctx_, AlgorithmEditor::Mode::Restricted);
  if (!editor) return;
  QPointer<frmRank> self(this);
  connect(editor, &AlgorithmEditor::closed, this, [self] {
    if (self) self->FocusButton(RankButton::AddModel);
  }, Qt::UniqueConnection);
}

void frmRank::closeEvent(QCloseEvent* event) {
  if (!finishing_) {
    finishing_ = true;
    RankingContext ctx = Context();
    FinishRanking(ctx);
  }
  event->accept();
  // An MDI frame deletes itself and the window; a top-level window goes here.
  if (Frame(this) == this) deleteLater();
}

frmRank* OpenRankingWindow(AppContext& ctx) {
  frmRank* window = nullptr;
  if (ctx.mdi) {
    for (QMdiSubWindow* child : ctx.mdi->subWindowList())
      if (auto* open = qobject_cast<frmRank*>(child->widget())) window = open;
  } else if (ctx.mainWindow) {
    window = ctx.mainWindow->findChild<frmRank*>(QString(), Qt::FindDirectChildrenOnly);
  }
  if (!window) {
    window = new frmRank(ctx);
    if (ctx.mdi) {
      auto* frame = new QMdiSubWindow;
      frame->setWidget(window);
      frame->setAttribute(Qt::WA_DeleteOnClose, true);
      ctx.mdi->addSubWindow(frame);
    } else {
      window->setParent(ctx.mainWindow, Qt::Window);
    }
  }
  window->Open();
  QWidget* frame = Frame(window);
  window->show();
  frame->show();
  frame->raise();
  if (auto* child = qobject_cast<QMdiSubWindow*>(frame); child && ctx.mdi)
    ctx.mdi->setActiveSubWindow(child);
  return window;
}

}  // namespace estimetrix
