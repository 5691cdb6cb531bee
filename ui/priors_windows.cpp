#include "ui/priors_windows.h"

#include <QAction>
#include <QCloseEvent>
#include <QFont>
#include <QHeaderView>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include "engine/bayesian/prior_editor.h"
#include "engine/bayesian/prior_profile.h"
#include "engine/bayesian/priors_file.h"
#include "engine/state/report_views.h"
#include "ui/app_context.h"
#include "ui/ranking_window.h"
#include "ui/report_window.h"
#include "ui/window_tools.h"

namespace estimetrix {

namespace {

const QColor kSelectedColour(144, 238, 144);  // green: the selected row
const QColor kHeaderColour(224, 224, 224);

constexpr const char* kPriorsNote =
    "Note that a priors file applies to all algorithm files associated with the analysis.";
constexpr const char* kUnsetNote =
    "Note: Unset parameters in your Bayesian Priors file have the value '*'";

QTableWidgetItem* Item(QTableWidget* grid, int row, int column) {
  QTableWidgetItem* item = grid->item(row, column);
  if (!item) {
    item = new QTableWidgetItem;
    item->setFlags(Qt::ItemIsEnabled);
    grid->setItem(row, column, item);
  }
  return item;
}

// Control goes back to the ranking window, with the focus where the next
// model is added.
void ReturnToRanking(AppContext& ctx) {
  if (frmRank* rank = FindWindow<frmRank>(ctx)) {
    rank->SetWindowVisible(true);
    BringToFront(ctx, rank);
    rank->FocusButton(RankButton::AddModel);
  }
}

void CloseFrame(QWidget* window) {
  Frame(window)->close();  // an MDI frame closes its window first
}

template <class Window>
Window* FindOrPlace(AppContext& ctx, int leftTwips, int topTwips) {
  if (Window* window = FindWindow<Window>(ctx)) return window;
  if (!ctx.mdi && !ctx.mainWindow) return nullptr;
  auto* window = new Window(ctx);
  Place(ctx, window, leftTwips, topTwips);
  return window;
}

}  // namespace

// ------------------------------------------------------------ the chooser

frmLoadPriors::frmLoadPriors(AppContext& ctx, QWidget* parent) : QWidget(parent), ctx_(ctx) {
  setObjectName("frmLoadPriors");
  setWindowTitle("Load Bayesian priors");
  auto* layout = new QVBoxLayout(this);
  auto addButton = [&](const char* name, const char* caption, void (frmLoadPriors::*slot)()) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(name);
    connect(button, &QPushButton::clicked, this, slot);
    layout->addWidget(button);
    return button;
  };
  open_ = addButton("cmdOpenPriors", "&Open an existing Bayesian Priors file",
                    &frmLoadPriors::OpenFile);
  set_ = addButton("cmdSetPriors", "&Set or reset prior distributions", &frmLoadPriors::SetOrReset);
  uniform_ = addButton("cmdUniformPriors", "Set &uniform-unbounded prior distributions",
                       &frmLoadPriors::UniformUnbounded);
  cancel_ = addButton("cmdCancel", "&Cancel", &frmLoadPriors::Cancel);
  auto* note = new QLabel(kPriorsNote, this);
  note->setObjectName("lblNote");
  note->setWordWrap(true);
  layout->addWidget(note);
  resize(TwipsToPixels(6000), TwipsToPixels(3600));
}

void frmLoadPriors::Open(PriorsOrigin origin) {
  origin_ = origin;
  handingOver_ = false;
  BeginPriorsChooser(ctx_.wb);
}

void frmLoadPriors::OpenFile() {
  const std::optional<std::string> path = ChoosePriorsFile(ctx_.wb, ctx_.desktop);
  if (!path) return;
  // The chooser closes before the file is read, so a file the model cannot
  // take leaves priors off.
  CloseWindow();
  LoadPriorsFile(ctx_.wb, ctx_.desktop, *path);
}

void frmLoadPriors::SetOrReset() {
  if (SetOrResetPriors(ctx_.wb, ctx_.desktop) == ChooserStep::OpenEditor)
    HandOverToEditor();
  else
    CloseWindow();
}

void frmLoadPriors::UniformUnbounded() {
  ResetPriorsToUniform(ctx_.wb, ctx_.desktop);
  CloseWindow();
}

void frmLoadPriors::Cancel() {
  CloseWindow();
}

void frmLoadPriors::CloseWindow() {
  CloseFrame(this);
}

void frmLoadPriors::HandOverToEditor() {
  handingOver_ = true;
  CloseFrame(this);
  handingOver_ = false;
  OpenPriorsEditorFrom(ctx_, origin_);
}

void frmLoadPriors::closeEvent(QCloseEvent* event) {
  event->accept();
  if (handingOver_ || !isVisible()) return;
  ClosePriorsChooser(ctx_.wb, ctx_.menu, origin_);
  if (origin_ == PriorsOrigin::Ranking) ReturnToRanking(ctx_);
}

// ------------------------------------------------------------- the editor

frmSetPriors::frmSetPriors(AppContext& ctx, QWidget* parent) : QWidget(parent), ctx_(ctx) {
  setObjectName("frmSetPriors");
  setWindowTitle(kPriorsEditorTitle);
  auto* layout = new QVBoxLayout(this);
  BuildMenuBar(layout);

  grdSetPriors_ = new QTableWidget(kHeaderRows, kColumns, this);
  grdSetPriors_->setObjectName("grdSetPriors");
  grdSetPriors_->horizontalHeader()->hide();
  grdSetPriors_->verticalHeader()->hide();
  grdSetPriors_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // The window colours the selected row itself.
  grdSetPriors_->setSelectionMode(QAbstractItemView::NoSelection);
  grdSetPriors_->setColumnWidth(0, 85);
  grdSetPriors_->setColumnWidth(1, 150);
  for (int column = 2; column <= 5; ++column) grdSetPriors_->setColumnWidth(column, 105);
  grdSetPriors_->horizontalHeader()->setStretchLastSection(true);
  connect(grdSetPriors_, &QTableWidget::cellClicked, this,
          [this](int row, int) { SelectRow(row); });
  layout->addWidget(grdSetPriors_, 1);

  auto* bar = new QStatusBar(this);
  bar->setObjectName("stbSetPriors");
  bar->setSizeGripEnabled(false);
  status_ = new QLabel(kUnsetNote, bar);
  status_->setObjectName("lblStatus");
  bar->addWidget(status_, 1);
  layout->addWidget(bar);
  resize(TwipsToPixels(13500), TwipsToPixels(6000));
}

void frmSetPriors::BuildMenuBar(QVBoxLayout* layout) {
  auto* bar = new QMenuBar(this);
  bar->setObjectName("mnuSetPriors");
  auto addItem = [&](QMenu* menu, const char* caption, auto slot) {
    QAction* action = menu ? menu->addAction(caption) : bar->addAction(caption);
    connect(action, &QAction::triggered, this, slot);
    return action;
  };
  QMenu* families = bar->addMenu("&Distributions");
  for (PriorType type : kPriorFamilies)
    addItem(families, PriorFamilyCaption(type), [this, type] { SetFamily(type); });
  addItem(nullptr, "&Help with prior distributions", [this] { ShowHelp(); });
  addItem(nullptr, "&Save prior distributions", [this] { SavePriors(); });
  addItem(nullptr, "&Profile prior distributions", [this] { ProfilePriors(); });
  addItem(nullptr, "&Finished", [this] { Finished(); });
  addItem(nullptr, "Main &menu", [this] { ctx_.menu.ShowMenu(); });
  QMenu* window = bar->addMenu("&Window");
  AddWindowArrangementItems(window, this, ctx_);
  // Exit is the main window's quit sequence; closing the main window runs it.
  addItem(nullptr, "E&xit", [this] {
    if (ctx_.mainWindow) ctx_.mainWindow->close();
  });
  layout->setMenuBar(bar);
}

QAction* frmSetPriors::MenuItem(const QString& caption) const {
  for (QAction* action : findChildren<QAction*>())
    if (action->text() == caption) return action;
  return nullptr;
}

void frmSetPriors::Open(PriorsOrigin origin) {
  origin_ = origin;
  closing_ = false;
  selectedRow_ = -1;
  edited_.clear();
  FillGrid();
  if (!ctx_.wb.priors.PriorsFilePath.empty()) ShowPriorsFileName(ctx_.wb, ctx_.desktop);
}

void frmSetPriors::FillGrid() {
  static const char* const kHeaders[kHeaderRows][kColumns] = {
      {"", "Distribution", "First term", "First term", "Second term", "Second term", ""},
      {"Parameter", "Type", "Mean", "SD", "Mean", "SD", "Parameter description [null value]"}};
  const int n = ctx_.wb.priors.Count();
  grdSetPriors_->clearContents();
  grdSetPriors_->setRowCount(n + kHeaderRows);
  QFont bold = grdSetPriors_->font();
  bold.setBold(true);
  for (int row = 0; row < kHeaderRows; ++row) {
    for (int column = 0; column < kColumns; ++column) {
      QTableWidgetItem* item = Item(grdSetPriors_, row, column);
      item->setText(kHeaders[row][column]);
      item->setFont(bold);
      item->setBackground(kHeaderColour);
    }
  }
  for (int i = 1; i <= n; ++i) {
    Item(grdSetPriors_, i + 1, 0)->setText(QString::number(i));
    const StringArray& descriptions = ctx_.wb.alg.Descriptions;
    const bool described = i >= descriptions.Lo() && i <= descriptions.Hi();
    Item(grdSetPriors_, i + 1, 6)->setText(described ? Q(descriptions[i]) : QString());
    RefreshRow(i);
  }
}

void frmSetPriors::RefreshRow(int parameter) {
  const PriorRowText row = PriorRow(ctx_.wb.priors, parameter);
  const int r = parameter + 1;
  Item(grdSetPriors_, r, 1)->setText(Q(row.name));
  for (int k = 0; k < 4; ++k) Item(grdSetPriors_, r, 2 + k)->setText(Q(row.terms[k]));
  PaintRow(parameter);
}

// Light red for a changed row; over that, green on the selected row's family
// and first term (on both feet of a uniform-bounded row).
void frmSetPriors::PaintRow(int parameter) {
  const int r = parameter + 1;
  const bool edited = edited_.count(parameter) != 0;
  const int lastGreen = ctx_.wb.priors.Type[parameter] == PriorType::T ? 5 : 3;
  for (int column = 1; column <= 5; ++column) {
    QTableWidgetItem* item = Item(grdSetPriors_, r, column);
    if (r == selectedRow_ && column <= lastGreen)
      item->setBackground(kSelectedColour);
    else if (edited)
      item->setBackground(kEditedColour);
    else
      item->setBackground(QBrush());
  }
}

void frmSetPriors::SelectRow(int row) {
  if (row < kHeaderRows || row >= grdSetPriors_->rowCount()) return;
  const int previous = selectedRow_;
  selectedRow_ = row;
  if (previous >= kHeaderRows && previous < grdSetPriors_->rowCount()) PaintRow(previous - 1);
  PaintRow(row - 1);
}

int frmSetPriors::SelectedParameter() const {
  return selectedRow_ >= kHeaderRows ? selectedRow_ - 1 : 0;
}

void frmSetPriors::SetFamily(PriorType type) {
  const int parameter = SelectedParameter();
  if (parameter < 1 || parameter > ctx_.wb.priors.Count()) {
    ctx_.desktop.Inform(kPriorsEditorTitle,
                        "First click the row of the parameter whose prior distribution you want "
                        "to set.");
    return;
  }
  if (!SetPriorFamily(ctx_.wb, ctx_.desktop, parameter, type)) return;
  edited_.insert(parameter);
  // The new terms show in light red until the row is selected again.
  selectedRow_ = -1;
  RefreshRow(parameter);
}

void frmSetPriors::ShowHelp() {
  ctx_.desktop.Inform("Help with prior distributions", PriorsHelpText());
}

void frmSetPriors::SavePriors() {
  Save_Priors(ctx_.wb, ctx_.desktop);
}

void frmSetPriors::ProfilePriors() {
  WindowReportView reports(ctx_);
  NullPlotView noPlots;
  PlotView& plots = ctx_.plots ? *ctx_.plots : noPlots;
  const int parameter = SelectedParameter();
  ProfilePriorDistribution(ctx_.wb, ctx_.desktop, parameter > 0 ? parameter : 1, reports, plots);
}

void frmSetPriors::Finished() {
  CloseFrame(this);
}

void frmSetPriors::closeEvent(QCloseEvent* event) {
  // Never refuse: the main window's quit sequence must be able to close us.
  event->accept();
  if (closing_ || !isVisible()) return;
  closing_ = true;
  ClosePriorsEditor(ctx_.wb, ctx_.desktop, ctx_.menu, origin_);
  if (origin_ == PriorsOrigin::Ranking) ReturnToRanking(ctx_);
}

// ------------------------------------------------------------ opening them

frmLoadPriors* OpenPriorsChooserFrom(AppContext& ctx, PriorsOrigin origin) {
  auto* window = FindOrPlace<frmLoadPriors>(ctx, 3000, 2000);
  if (!window) return nullptr;
  window->Open(origin);
  BringToFront(ctx, window);
  return window;
}

void OpenPriorsChooser(AppContext& ctx) {
  OpenPriorsChooserFrom(ctx, PriorsOrigin::MainMenu);
}

frmSetPriors* OpenPriorsEditorFrom(AppContext& ctx, PriorsOrigin origin) {
  auto* window = FindOrPlace<frmSetPriors>(ctx, 0, 0);
  if (!window) return nullptr;
  window->Open(origin);
  BringToFront(ctx, window);
  return window;
}

void OpenPriorsEditor(AppContext& ctx) {
  OpenPriorsEditorFrom(ctx, PriorsOrigin::MainMenu);
}

}  // namespace estimetrix
