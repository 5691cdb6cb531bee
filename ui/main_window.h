#pragma once
// The workbench window "Estimetrix": the child-window area, the menus, the
// files status bar (algorithm, priors, frequency and increment files) and the
// progress status bar, and the quit sequence when it is closed.

#include <QLabel>
#include <QMainWindow>
#include <array>
#include <memory>

#include "engine/state/report_views.h"
#include "ui/app_context.h"
#include "ui/qt_desktop.h"

class QAction;
class QMdiArea;
class QMenu;
class QStatusBar;

namespace estimetrix {

class frmMenu;

class MainWindow : public QMainWindow, public StatusPanelView {
  Q_OBJECT
 public:
  // Every dialogue goes through `desktop`, so tests can pass a scripted one.
  MainWindow(Workbench& wb, Desktop& desktop, QWidget* parent = nullptr);
  ~MainWindow() override;

  AppContext& Context() { return *context_; }
  QMdiArea* MdiArea() const { return mdi_; }
  frmMenu& MenuForm() { return *menuForm_; }
  bool InitializeAlready() const { return wb_.initialized; }

  // The two interrupt menus stay hidden until a computation that polls their
  // flags shows them.
  void SetBayesInterruptMenuVisible(bool visible);
  void SetProfileInterruptMenuVisible(bool visible);

  // Disabled while a computation runs.
  void SetApplicationMenuEnabled(bool enabled);
  bool ApplicationMenuEnabled() const;

  void ShowStatus(StatusBar bar, int panel, const QString& text) override;
  // The text a status panel shows (1-based panel).
  QString StatusText(StatusBar bar, int panel) const;

 signals:
  // The user confirmed the quit sequence; the program ends.
  void quitConfirmed();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  static constexpr int kPanels = 4;
  using Panels = std::array<QLabel*, kPanels>;

  void BuildMenus();
  QStatusBar* BuildStatusBar(Panels& panels);
  void ShowInfoWindow(void (*show)(QWidget*));

  Workbench& wb_;
  Desktop& desktop_;
  QMdiArea* mdi_ = nullptr;
  frmMenu* menuForm_ = nullptr;
  std::unique_ptr<AppContext> context_;
  std::unique_ptr<PlotView> plots_;
  QMenu* applicationMenu_ = nullptr;
  QMenu* bayesInterruptMenu_ = nullptr;
  QMenu* profileInterruptMenu_ = nullptr;
  Panels filePanels_{};
  Panels progressPanels_{};
  bool quitting_ = false;
};

}  // namespace estimetrix
