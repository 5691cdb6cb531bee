#include "ui/main_window.h"

#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPainter>
#include <QStatusBar>
#include <QVBoxLayout>
#include <algorithm>

#include "plots/plot_windows.h"
#include "ui/info_windows.h"
#include "ui/menu_form.h"
#include "ui/quit_sequence.h"
#include "ui/window_tools.h"

namespace estimetrix {

namespace {

const char* const kFilePanelTexts[] = {
    "Algorithm file: ", "Bayesian priors file: ", "Frequency file: ", "Increment file: "};

// A status panel that shortens a long text in the middle, so the end of a
// long path (the file's own name) stays readable; the tool tip has it whole.
class StatusPanel : public QLabel {
 public:
  using QLabel::QLabel;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    drawFrame(&painter);
    QRect area = contentsRect().adjusted(3, 0, -3, 0);
    QString shown = fontMetrics().elidedText(text(), Qt::ElideMiddle, area.width());
    painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter, shown);
  }
};

QAction* AddItem(QMenu* menu, const char* objectName, const char* text) {
  QAction* action = menu->addAction(QString::fromUtf8(text));
  action->setObjectName(objectName);
  return action;
}

QMenu* AddMenu(QMenuBar* bar, const char* objectName, const char* title) {
  QMenu* menu = bar->addMenu(QString::fromUtf8(title));
  menu->setObjectName(objectName);
  menu->menuAction()->setObjectName(objectName);
  return menu;
}

}  // namespace

MainWindow::MainWindow(Workbench& wb, Desktop& desktop, QWidget* parent)
    : QMainWindow(parent), wb_(wb), desktop_(desktop) {
  setObjectName("frmMain");
  setWindowTitle("Estimetrix");
  resize(1100, 760);

  // The child-window area with the files bar beneath it; the progress bar is
  // the window's own status bar at the very bottom.
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  mdi_ = new QMdiArea(central);
  mdi_->setObjectName("mdiArea");
  layout->addWidget(mdi_, 1);
  QStatusBar* filesBar = BuildStatusBar(filePanels_);
  filesBar->setObjectName("sbrFiles");
  layout->addWidget(filesBar);
  setCentralWidget(central);
  QStatusBar* progressBar = BuildStatusBar(progressPanels_);
  progressBar->setObjectName("sbrProgress");
  setStatusBar(progressBar);

  // The menu form keeps its frame when closed so "Main &menu" can bring it back.
  menuForm_ = new frmMenu(*this);
  auto* frame = new QMdiSubWindow;
  frame->setWidget(menuForm_);
  mdi_->addSubWindow(frame);
  context_ = std::make_unique<AppContext>(AppContext{wb_, desktop_, *menuForm_, mdi_, this});
  plots_ = NewWindowPlotView(mdi_, this);
  context_->plots = plots_.get();

  BuildMenus();

  // Program start: the shared arrays hold one element and every flag is off
  // until the model has been initialised.
  if (!wb_.initialized) {
    wb_.ResizeForModel(1);
    wb_.state.PriorsActive = false;
    wb_.state.CovarianceCurrent = false;
    wb_.state.ProfileActive = false;
    wb_.state.BayesEvaluationActive = false;
    wb_.alg.AlgorithmFilePath.clear();
  }
  for (int panel = 1; panel <= kPanels; ++panel) {
    desktop_.SetStatus(StatusBar::Files, panel, kFilePanelTexts[panel - 1]);
    desktop_.SetStatus(StatusBar::Progress, panel, "");
  }
  menuForm_->ShowMenu();
}

// The child windows go first: they hold the context, which must outlive them.
MainWindow::~MainWindow() {
  delete takeCentralWidget();
}

QStatusBar* MainWindow::BuildStatusBar(Panels& panels) {
  auto* bar = new QStatusBar(this);
  bar->setSizeGripEnabled(false);
  for (QLabel*& panel : panels) {
    panel = new StatusPanel(bar);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setTextFormat(Qt::PlainText);
    // Long paths are shortened rather than widening the window.
    panel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    panel->setMinimumWidth(40);
    bar->addWidget(panel, 1);
  }
  return bar;
}

void MainWindow::BuildMenus() {
  QMenuBar* bar = menuBar();

  applicationMenu_ = AddMenu(bar, "mnuApplication", "&Application");
  connect(AddItem(applicationMenu_, "mnuMainMenu", "Main &menu"), &QAction::triggered, this,
          [this] { menuForm_->ShowMenu(); });
  connect(AddItem(applicationMenu_, "mnuExit", "E&xit"), &QAction::triggered, this,
          &QWidget::close);

  // Two menus of the same name: the first interrupts the Bayesian evaluation,
  // the second the likelihood profiles (the trailing blank tells them apart).
  bayesInterruptMenu_ = AddMenu(bar, "mnuInterruptBayes", "&Interrupt ");
  connect(AddItem(bayesInterruptMenu_, "mnuInterruptBayesCalc", "I&nterrupt calculations"),
          &QAction::triggered, this, [this] { wb_.state.BayesInterruptRequested = true; });
  profileInterruptMenu_ = AddMenu(bar, "mnuInterruptProfile", "&Interrupt");
  connect(AddItem(profileInterruptMenu_, "mnuInterruptProfileCalc", "&Interrupt calculations"),
          &QAction::triggered, this, [this] { wb_.state.ProfileInterruptRequested = true; });
  SetBayesInterruptMenuVisible(false);
  SetProfileInterruptMenuVisible(false);

  AddWindowArrangementItems(AddMenu(bar, "mnuWindow", "&Window"), this, *context_);

  // Menu-bar items without a drop-down open their window at once.
  QAction* defaults = bar->addAction("&Defaults etc.");
  defaults->setObjectName("mnuDefaults");
  // Results do not depend on the thread count, so it may change at any time.
  connect(defaults, &QAction::triggered, this, [this] { ShowDefaultsWindow(this, wb_); });
  QAction* wisdom = bar->addAction("&Wisdom");
  wisdom->setObjectName("mnuWisdom");
  connect(wisdom, &QAction::triggered, this, [this] { ShowInfoWindow(ShowWisdomWindow); });

  QMenu* about = AddMenu(bar, "mnuAbout", "&About");
  connect(AddItem(about, "mnuCredits", "&Credits"), &QAction::triggered, this,
          [this] { ShowInfoWindow(ShowCreditsWindow); });
}

void MainWindow::ShowInfoWindow(void (*show)(QWidget*)) {
  show(this);
}

void MainWindow::SetBayesInterruptMenuVisible(bool visible) {
  bayesInterruptMenu_->menuAction()->setVisible(visible);
}

void MainWindow::SetProfileInterruptMenuVisible(bool visible) {
  profileInterruptMenu_->menuAction()->setVisible(visible);
}

void MainWindow::SetApplicationMenuEnabled(bool enabled) {
  applicationMenu_->menuAction()->setEnabled(enabled);
}

bool MainWindow::ApplicationMenuEnabled() const {
  return applicationMenu_->menuAction()->isEnabled();
}

void MainWindow::ShowStatus(StatusBar bar, int panel, const QString& text) {
  if (panel < 1 || panel > kPanels) return;
  QLabel* label = (bar == StatusBar::Files ? filePanels_ : progressPanels_)[panel - 1];
  label->setText(text);
  label->setToolTip(text);
}

QString MainWindow::StatusText(StatusBar bar, int panel) const {
  if (panel < 1 || panel > kPanels) return {};
  return (bar == StatusBar::Files ? filePanels_ : progressPanels_)[panel - 1]->text();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (quitting_) {
    event->ignore();
    return;
  }
  // A running computation is still on the stack below the event loop; ending
  // the program under it would lose its results without a word.
  if (!ApplicationMenuEnabled()) {
    desktop_.Inform("Exit Estimetrix",
                    "A calculation is still running. Stop or interrupt it before quitting.",
                    Icon::Exclamation);
    event->ignore();
    return;
  }
  quitting_ = true;
  bool quit = RunQuitSequence(wb_, desktop_);
  quitting_ = false;
  if (!quit) {
    event->ignore();
    return;
  }
  event->accept();
  emit quitConfirmed();
}

}  // namespace estimetrix
