// The Simplex progress window and the Simplex command: Interrupt during a run,
// the menu coming back, and what closing the window clears.

#include "ui/simplex_window.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include "tests/support/qtest_entry.h"
#include <cmath>
#include <memory>
#include <string>

#include "platform/scripted_desktop.h"
#include "tests/support/quadratic_model.h"
#include "ui/commands.h"
#include "ui/main_window.h"
#include "ui/menu_form.h"

using namespace estimetrix;
using testing::InitializeAndLoadQuadratic;

namespace {

frmSimplex* FindSimplexWindow(MainWindow& window) {
  for (QMdiSubWindow* child : window.MdiArea()->subWindowList())
    if (auto* simplex = qobject_cast<frmSimplex*>(child->widget())) return simplex;
  return nullptr;
}

bool MenuBack(MainWindow& window) {
  frmMenu& menu = window.MenuForm();
  for (MenuButton button : kTwelveButtons)
    if (!menu.ButtonEnabled(button)) return false;
  return menu.Frame() && menu.Frame()->isVisible() && window.ApplicationMenuEnabled();
}

}  // namespace

class SimplexWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void interruptIsAskedAtTheNextPollAndTheMenuComesBack();
  void closingAfterTheRunClearsThePanesAndShowsTheMenu();
  void nothingToDoLeavesTheMenuUsable();
};

void SimplexWindowTest::interruptIsAskedAtTheNextPollAndTheMenuComesBack() {
  Workbench wb;
  ScriptedDesktop desktop;
  MainWindow window(wb, desktop);
  window.show();
  InitializeAndLoadQuadratic(wb, 3);
  wb.alg.SimplexLimit = 0;  // never converges on its own
  wb.alg.MaxFunctionCalls = 100000;

  int yields = 0;
  bool pressed = false, flagSet = false, buttonDisabled = false;
  QString pending;
  desktop.SetYieldHook([&] {
    if (++yields != 20) return;
    frmSimplex* simplex = FindSimplexWindow(window);
    if (!simplex || !simplex->InterruptButton()->isEnabled()) return;
    QCOMPARE(simplex->InterruptButton()->text(), QString("&Interrupt this minimization"));
    simplex->InterruptButton()->click();
    pressed = true;
    flagSet = wb.state.InterruptRequested;
    buttonDisabled = !simplex->InterruptButton()->isEnabled();
    pending = QString::fromStdString(desktop.Status(StatusBar::Progress, 1));
  });
  desktop.ExpectMessage("Simplex interrupt", Answer::Yes);
  RunCommand(window.Context(), MenuButton::Simplex);

  QVERIFY(pressed);
  QVERIFY(flagSet);
  QVERIFY(buttonDisabled);
  QCOMPARE(pending, QString("Interrupt pending..."));
  QVERIFY(desktop.Failures().empty());
  QCOMPARE(desktop.PendingSteps(), size_t{0});
  QCOMPARE(QString::fromStdString(desktop.Transcript().back().text),
           QString("Interrupt received. Do you want to quit minimizing?"));
  QVERIFY(!wb.state.InterruptRequested);
  QVERIFY(MenuBack(window));
  frmSimplex* simplex = FindSimplexWindow(window);
  QVERIFY(simplex);
  QVERIFY(simplex->LowerText().contains("Current minimum found at these 3 adjusted"));
  QVERIFY(!simplex->InterruptButton()->isEnabled());  // no press can linger into the next run
  QVERIFY(!wb.state.CovarianceCurrent);
}

void SimplexWindowTest::closingAfterTheRunClearsThePanesAndShowsTheMenu() {
  Workbench wb;
  ScriptedDesktop desktop;
  MainWindow window(wb, desktop);
  window.show();
  InitializeAndLoadQuadratic(wb, 2);
  desktop.ExpectMessage("Simplex minimum");
  RunCommand(window.Context(), MenuButton::Simplex);
  QVERIFY(desktop.Failures().empty());
  QVERIFY(MenuBack(window));
  frmSimplex* simplex = FindSimplexWindow(window);
  QVERIFY(simplex);
  QCOMPARE(simplex->windowTitle(), QString(kSimplexWindowCaption));
  QVERIFY(simplex->UpperText().startsWith("\nInitial Simplex: Starting function value> "));
  QVERIFY(simplex->LowerText().startsWith("\nMinimum of "));
  QVERIFY(std::fabs(wb.alg.Values[1] - 1.0) < 1E-2);  // the quadratic's centre

  window.MenuForm().HideMenu();
  desktop.SetStatus(StatusBar::Progress, 3, "left over");
  QVERIFY(simplex->parentWidget()->close());
  QVERIFY(simplex->UpperText().isEmpty());
  QVERIFY(simplex->LowerText().isEmpty());
  QCOMPARE(desktop.Status(StatusBar::Progress, 3), std::string());
  QVERIFY(window.MenuForm().Frame()->isVisible());

  // Pressing Simplex again continues from the kept simplex in the same window.
  desktop.ExpectMessage("Simplex minimum");
  RunCommand(window.Context(), MenuButton::Simplex);
  QCOMPARE(FindSimplexWindow(window), simplex);
  QVERIFY(simplex->isVisible());
}

void SimplexWindowTest::nothingToDoLeavesTheMenuUsable() {
  Workbench wb;
  ScriptedDesktop desktop;
  MainWindow window(wb, desktop);
  window.show();
  InitializeAndLoadQuadratic(wb, 2);
  wb.alg.Steps.Fill(0.0);
  desktop.ExpectMessage("There is nothing to do!");
  RunCommand(window.Context(), MenuButton::Simplex);
  QVERIFY(desktop.Failures().empty());
  QCOMPARE(QString::fromStdString(desktop.Transcript().back().text),
           QString("All step sizes are zero"));
  QVERIFY(MenuBack(window));
  QCOMPARE(wb.alg.Values[2], 1.0);  // untouched
}

ESTIMETRIX_QTEST_MAIN(SimplexWindowTest)
#include "simplex_window_test.moc"
