#include "ui/algorithm_editor.h"

#include <QAction>
#include <QCloseEvent>
#include <QEventLoop>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "engine/base/format.h"
#include "ui/app_context.h"
#include "ui/window_tools.h"

namespace estimetrix {

namespace {

const QColor kValueColour(0, 0, 255);          // non-zero numbers and fuse codes
const QColor kZeroColour(0, 0, 0);             // zeros and unfused codes
const QColor kHighlightColour(255, 240, 140);  // the row a sequential edit is on

// Rows above this one are visible without scrolling; from it on a sequential
// edit scrolls the grid one row per parameter.
constexpr int kFirstScrolledRow = 11;

QString NumberCellText(double value) {
  return value != 0.0 ? Q(FormatNumber(value, "0.0000E+00")) : QStringLiteral("0");
}

QTableWidgetItem* EnsureItem(QTableWidget* grid, int row, int column) {
  QTableWidgetItem* item = grid->item(row, column);
  if (item == nullptr) {
    item = new QTableWidgetItem;
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    grid->setItem(row, column, item);
  }
  return item;
}

}  // namespace

AlgorithmEditor::AlgorithmEditor(AppContext& ctx, Mode mode, QWidget* parent)
    : QWidget(parent), ctx_(ctx), mode_(mode) {
  setObjectName("frmAlgo");
  setWindowTitle("Algorithm data");
  BuildWindow();
  RunOpeningActions();
  // The main window's quit sequence offers to save the algorithm data; an
  // entry still open in a cell must be in them by then.
  if (ctx_.mainWindow != nullptr) ctx_.mainWindow->installEventFilter(this);
}

// ---------------------------------------------------------------- building

void AlgorithmEditor::BuildWindow() {
  auto* layout = new QVBoxLayout(this);
  BuildMenuBar(layout);

  caption_ = new QLabel(this);
  caption_->setObjectName("lblCaption");
  caption_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(caption_);

  grid_ = new QTableWidget(0, 5, this);
  grid_->setObjectName("grdVS");
  grid_->setHorizontalHeaderLabels(
      {"Parameter", "Value", "Step", "Fuse", "Parameter description [null value; valid values]"});
  grid_->verticalHeader()->hide();
  grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 6);
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->setColumnWidth(kParameterColumn, 70);
  grid_->setColumnWidth(kValueColumn, 100);
  grid_->setColumnWidth(kStepColumn, 100);
  grid_->setColumnWidth(kFuseColumn, 50);
  grid_->horizontalHeader()->setStretchLastSection(true);
  grid_->horizontalHeader()->setSectionsClickable(true);
  grid_->horizontalHeaderItem(kValueColumn)->setToolTip("Double-click to edit all values");
  grid_->horizontalHeaderItem(kStepColumn)->setToolTip("Double-click to edit all step sizes");
  grid_->horizontalHeaderItem(kFuseColumn)->setToolTip("Double-click to edit all fuse codes");
  connect(grid_->horizontalHeader(), &QHeaderView::sectionDoubleClicked, this,
          &AlgorithmEditor::OnHeaderDoubleClicked);
  connect(grid_, &QTableWidget::cellDoubleClicked, this, &AlgorithmEditor::OnCellDoubleClicked);
  layout->addWidget(grid_, 1);

  cellEditor_ = new QLineEdit(grid_->viewport());
  cellEditor_->setObjectName("txtNewValue");
  cellEditor_->setPlaceholderText("New value");
  cellEditor_->setToolTip("New value");
  cellEditor_->hide();
  cellEditor_->installEventFilter(this);
  connect(cellEditor_, &QLineEdit::editingFinished, this, &AlgorithmEditor::CommitCellEdit);

  auto* lower = new QHBoxLayout;
  lower->addWidget(BuildOptionsFrame(), 1);
  lower->addWidget(BuildCommandButtons());
  layout->addLayout(lower);
  resize(820, 600);
}

QWidget* AlgorithmEditor::BuildCommandButtons() {
  auto* box = new QWidget(this);
  auto* column = new QVBoxLayout(box);
  auto addButton = [&](const char* name, const char* caption, void (AlgorithmEditor::*slot)()) {
    auto* button = new QPushButton(caption, box);
    button->setObjectName(name);
    connect(button, &QPushButton::clicked, this, slot);
    column->addWidget(button);
    return button;
  };
  finishButton_ = addButton("cmdFinish", "&Finish editing", &AlgorithmEditor::FinishEditing);
  addButton("cmdUpdate", "&Update edits", &AlgorithmEditor::UpdateEdits);
  addButton("cmdUnfuse", "&Unfuse all values", &AlgorithmEditor::UnfuseAll);
  auto* proportion = new QPushButton("Change step size &proportion", box);
  proportion->setObjectName("cmdProportion");
  connect(proportion, &QPushButton::clicked, this, [this] { ChangeStepProportion(); });
  column->addWidget(proportion);
  column->addStretch();
  return box;
}

void AlgorithmEditor::BuildMenuBar(QVBoxLayout* layout) {
  auto* bar = new QMenuBar(this);
  bar->setObjectName("mnuAlgo");
  auto addItem = [&](QMenu* menu, const char* caption, auto slot) {
    QAction* action = menu != nullptr ? menu->addAction(caption) : bar->addAction(caption);
    connect(action, &QAction::triggered, this, slot);
    return action;
  };
  addItem(nullptr, "&Finish editing", [this] { FinishEditing(); });
  addItem(nullptr, "&Values", [this] { EditValues(); });
  addItem(nullptr, "&Step sizes", [this] { EditAllSteps(); });
  QMenu* window = bar->addMenu("&Window");
  AddWindowArrangementItems(window, this, ctx_);
  // Exit is the main window's quit sequence; closing the main window runs it.
  addItem(nullptr, "E&xit", [this] {
    if (ctx_.mainWindow != nullptr) ctx_.mainWindow->close();
  });
  layout->setMenuBar(bar);
}

// ------------------------------------------------------- opening and closing

void AlgorithmEditor::RunOpeningActions() {
  Workbench& wb = ctx_.wb;
  NormalizeFuseGroups(wb.alg, wb.fuse);
  BuildFreeParameterList(wb.alg, wb.free);
  ctx_.menu.HideMenu();
  if (wb.editor.StepProportion == 0.0) wb.editor.StepProportion = 0.1;
  wb.state.EditorOpen = true;
  FillCaption();
  FillGrid();
  FillOptions();
  ApplyMode();
}

void AlgorithmEditor::RunClosingActions() {
  CommitCellEdit();
  Workbench& wb = ctx_.wb;
  NormalizeFuseGroups(wb.alg, wb.fuse);
  BuildFreeParameterList(wb.alg, wb.free);
  ctx_.desktop.Inform("Just so you know", "Algorithm data, if changed, have been updated");
  wb.state.EditorOpen = false;
  if (ctx_.editor == this) ctx_.editor = nullptr;
  // Opened from the menu form, the editor hands control back to it; the
  // ranking window and the covariance calculation take it back themselves.
  if (mode_ == Mode::Full && !wb.state.RankingOpen) ctx_.menu.ShowMenu();
  emit closed();
}

void AlgorithmEditor::closeEvent(QCloseEvent* event) {
  // Never refuse: the main window's quit sequence must be able to close us.
  if (!closing_) {
    closing_ = true;
    RunClosingActions();
  }
  event->accept();
}

void AlgorithmEditor::FinishEditing() {
  if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget())) {
    frame->close();  // closes this widget first, which runs the closing actions
  } else {
    close();
  }
}

void AlgorithmEditor::UpdateEdits() {
  CommitCellEdit();
  Workbench& wb = ctx_.wb;
  NormalizeFuseGroups(wb.alg, wb.fuse);
  BuildFreeParameterList(wb.alg, wb.free);
  FillCaption();
  FillGrid();
  FillOptions();
}

void AlgorithmEditor::SetMode(Mode mode) {
  mode_ = mode;
  ApplyMode();
}

void AlgorithmEditor::ApplyMode() {
  SetLogControls();
}

// ------------------------------------------------------------------ the grid

int AlgorithmEditor::ParameterCount() const {
  const AlgorithmData& alg = ctx_.wb.alg;
  int n = std::min({alg.ParameterCount, alg.Values.Hi(), alg.Steps.Hi(), alg.FuseCodes.Hi()});
  return std::max(n, 0);
}

void AlgorithmEditor::FillCaption() {
  caption_->setText(Q("Algorithm data file name is:  " + ctx_.wb.alg.AlgorithmFilePath));
}

void AlgorithmEditor::FillGrid() {
  const int n = ParameterCount();
  edited_.resize(static_cast<size_t>(n) + 1, {false, false, false});
  grid_->setUpdatesEnabled(false);
  grid_->setRowCount(n);
  for (int i = 1; i <= n; ++i) {
    EnsureItem(grid_, i - 1, kParameterColumn)->setText(QString::number(i));
    RefreshRow(i);
  }
  grid_->setUpdatesEnabled(true);
}

void AlgorithmEditor::RefreshRow(int parameter) {
  for (int column : {kParameterColumn, kValueColumn, kStepColumn, kFuseColumn, kDescriptionColumn})
    RefreshCell(parameter, column);
}

void AlgorithmEditor::RefreshCell(int parameter, int column) {
  const AlgorithmData& alg = ctx_.wb.alg;
  QTableWidgetItem* item = EnsureItem(grid_, parameter - 1, column);
  switch (column) {
    case kValueColumn:
    case kStepColumn: {
      double number = column == kValueColumn ? alg.Values[parameter] : alg.Steps[parameter];
      item->setText(NumberCellText(number));
      item->setForeground(number != 0.0 ? kValueColour : kZeroColour);
      break;
    }
    case kFuseColumn: {
      const std::string& code = alg.FuseCodes[parameter];
      item->setText(Q(code));
      item->setForeground(code != kUnfused ? kValueColour : kZeroColour);
      break;
    }
    case kDescriptionColumn: {
      bool described = parameter >= alg.Descriptions.Lo() && parameter <= alg.Descriptions.Hi();
      item->setText(described ? Q(alg.Descriptions[parameter]) : QString());
      break;
    }
    default: break;
  }
  if (parameter - 1 == highlightedRow_) {
    item->setBackground(kHighlightColour);
  } else if (column != kDescriptionColumn && IsEdited(parameter, column)) {
    item->setBackground(kEditedColour);
  } else {
    item->setBackground(QBrush());
  }
}

void AlgorithmEditor::ShowAndHighlightRow(int parameter) {
  ClearHighlight();
  highlightedRow_ = parameter - 1;
  RefreshRow(parameter);
  // From row 11 on the grid moves one row per parameter, keeping the row in view.
  grid_->verticalScrollBar()->setValue(std::max(0, parameter - kFirstScrolledRow));
  grid_->scrollToItem(grid_->item(parameter - 1, kValueColumn), QAbstractItemView::EnsureVisible);
}

void AlgorithmEditor::ClearHighlight() {
  if (highlightedRow_ < 0) return;
  int parameter = highlightedRow_ + 1;
  highlightedRow_ = -1;
  if (parameter <= grid_->rowCount()) RefreshRow(parameter);
}

bool AlgorithmEditor::IsEdited(int parameter, int column) const {
  if (column < kValueColumn || column > kFuseColumn) return false;
  if (parameter < 1 || parameter >= static_cast<int>(edited_.size())) return false;
  return edited_[static_cast<size_t>(parameter)][static_cast<size_t>(column - kValueColumn)];
}

void AlgorithmEditor::OnHeaderDoubleClicked(int column) {
  switch (column) {
    case kValueColumn: EditValues(); break;
    case kStepColumn: EditAllSteps(); break;
    case kFuseColumn: EditAllFuseCodes(); break;
    default: break;
  }
}

void AlgorithmEditor::OnCellDoubleClicked(int row, int column) {
  if (column >= kValueColumn && column <= kFuseColumn) BeginCellEdit(row + 1, column);
}

bool AlgorithmEditor::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ctx_.mainWindow && event->type() == QEvent::Close) {
    CommitCellEdit();
    return false;  // the main window decides whether it closes
  }
  if (watched == cellEditor_ && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    CancelCellEdit();
    return true;
  }
  if (watched == toleranceText_ && toleranceText_->isEnabled()) {
    bool clicked = event->type() == QEvent::MouseButtonRelease;
    bool keyed = event->type() == QEvent::KeyPress &&
                 (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Return ||
                  static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space);
    if (clicked || keyed) {
      ChangeTolerance();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

// ------------------------------------------------------- opening the window

AlgorithmEditor* OpenAlgorithmEditor(AppContext& ctx, AlgorithmEditor::Mode mode) {
  AlgorithmEditor* editor = ctx.editor;
  if (editor == nullptr) {
    editor = new AlgorithmEditor(ctx, mode);
    editor->setAttribute(Qt::WA_DeleteOnClose);
    ctx.editor = editor;
    if (ctx.mdi != nullptr) {
      QMdiSubWindow* frame = ctx.mdi->addSubWindow(editor);
      frame->setAttribute(Qt::WA_DeleteOnClose);
      frame->show();
    } else {
      editor->show();
    }
  } else {
    editor->SetMode(mode);
  }
  if (auto* frame = qobject_cast<QMdiSubWindow*>(editor->parentWidget())) {
    ctx.mdi->setActiveSubWindow(frame);
  } else {
    editor->raise();
    editor->activateWindow();
  }
  if (auto* finish = editor->findChild<QPushButton*>("cmdFinish")) finish->setFocus();
  return editor;
}

void OpenAlgorithmEditorAndWait(AppContext& ctx, AlgorithmEditor::Mode mode) {
  QPointer<AlgorithmEditor> editor = OpenAlgorithmEditor(ctx, mode);
  if (editor.isNull()) return;
  QEventLoop loop;
  QObject::connect(editor, &AlgorithmEditor::closed, &loop, &QEventLoop::quit);
  QObject::connect(editor, &QObject::destroyed, &loop, &QEventLoop::quit);
  if (ctx.editor == editor) loop.exec();
}

}  // namespace estimetrix
