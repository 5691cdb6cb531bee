#include "ui/marquardt_window.h"

#include <QMdiArea>
#include <QPlainTextEdit>
#include <QPushButton>
#include "tests/support/qtest_entry.h"

#include "engine/state/algorithm_data.h"
#include "engine/state/workbench.h"
#include "platform/scripted_desktop.h"
#include "tests/support/fake_menu_view.h"
#include "tests/support/quadratic_model.h"
#include "ui/app_context.h"
#include "ui/commands.h"

using namespace estimetrix;
using estimetrix::testing::FakeMenuView;
using estimetrix::testing::InitializeAndLoadQuadratic;

class MarquardtWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    wb = std::make_unique<Workbench>();
    desktop = std::make_unique<ScriptedDesktop>();
    menu = std::make_unique<FakeMenuView>();
    mdi = std::make_unique<QMdiArea>();
    ctx = std::make_unique<AppContext>(AppContext{*wb, *desktop, *menu, mdi.get()});
    InitializeAndLoadQuadratic(*wb, 3);
  }
  void cleanup() {
    ctx.reset();
    mdi.reset();
  }

  void interruptSetsTheFlagAndReleasesTheDerivativeDisplay() {
    frmMarquardt* window = MarquardtWindow(*ctx);
    QVERIFY(window);
    QCOMPARE(window->objectName(), QString("frmMarquardt"));
    window->Show(3);
    window->SetInterruptEnabled(true);
    wb->marquardt.ShowDerivatives = true;
    wb->marquardt.DerivativeWaitReleased = false;
    window->SetDerivativeButtonsVisible(true);

    QTest::mouseClick(window->InterruptButton(), Qt::LeftButton);

    QVERIFY(wb->state.MarquardtInterruptRequested);
    QVERIFY(!window->InterruptButton()->isEnabled());
    QCOMPARE(desktop->Status(StatusBar::Progress, 2), std::string("Interrupt pending..."));
    QVERIFY(wb->marquardt.DerivativeWaitReleased);
    QVERIFY(!wb->marquardt.ShowDerivatives);
    QVERIFY(window->NextIterationButton()->isHidden());
    QVERIFY(!window->ContinueButton()->isEnabled());
  }

  void nextIterationKeepsTheDisplayAndContinueSwitchesItOff() {
    frmMarquardt* window = MarquardtWindow(*ctx);
    window->Show(3);
    QVERIFY(window->NextIterationButton()->isHidden());
    wb->marquardt.ShowDerivatives = true;

    wb->marquardt.DerivativeWaitReleased = false;
    window->SetDerivativeButtonsVisible(true);
    QVERIFY(!window->NextIterationButton()->isHidden());
    QTest::mouseClick(window->NextIterationButton(), Qt::LeftButton);
    QVERIFY(wb->marquardt.DerivativeWaitReleased);
    QVERIFY(wb->marquardt.ShowDerivatives);
    QVERIFY(window->NextIterationButton()->isHidden());

    wb->marquardt.DerivativeWaitReleased = false;
    window->SetDerivativeButtonsVisible(true);
    QTest::mouseClick(window->ContinueButton(), Qt::LeftButton);
    QVERIFY(wb->marquardt.DerivativeWaitReleased);
    QVERIFY(!wb->marquardt.ShowDerivatives);
    QVERIFY(window->ContinueButton()->isHidden());
  }

  void smallFontFromTwentySixFreeParameters() {
    frmMarquardt* window = MarquardtWindow(*ctx);
    window->Show(25);
    QCOMPARE(window->TextBox()->font().pointSize(), 10);
    window->Show(26);
    QCOMPARE(window->TextBox()->font().pointSize(), 8);
  }

  void textUpdatesAreThrottledButTheNewestIsShown() {
    frmMarquardt* window = MarquardtWindow(*ctx);
    window->Show(3);
    window->SetText("first");
    for (int i = 0; i < 1000; ++i) window->SetText("text " + std::to_string(i));
    QCOMPARE(window->TextBox()->toPlainText(), QString("first"));
    QTRY_COMPARE_WITH_TIMEOUT(window->TextBox()->toPlainText(), QString("text 999"), 1000);
  }

  void commandRunsToTheMinimumAndBringsTheMenuBack() {
    wb->alg.TerminalOutputFrequency = 7;
    wb->state.SimplexRetained = true;
    desktop->ExpectMessage("Marquardt minimization", Answer::No);
    desktop->ExpectMessage("Marquardt minimization");
    desktop->ExpectMessage("Marquardt minimization", Answer::No);
    desktop->ExpectMessage("Marquardt minimum");

    RunCommand(*ctx, MenuButton::Marquardt);

    QVERIFY(desktop->Failures().empty());
    QCOMPARE(desktop->PendingSteps(), size_t{0});
    for (int i = 1; i <= 3; ++i) QVERIFY(std::abs(wb->alg.Values[i] - i) < 1E-3);
    QVERIFY(!wb->state.SimplexRetained);
    QCOMPARE(wb->alg.TerminalOutputFrequency, 7);
    QVERIFY(!wb->state.CovarianceCurrent);
    QVERIFY(menu->visible);
    QVERIFY(menu->applicationMenuEnabled);
    QVERIFY(menu->ButtonEnabled(MenuButton::Marquardt));
    QVERIFY(!wb->marquardt.CommandInProgress);
    QVERIFY(MarquardtWindow(*ctx)->Text().contains("Minimum of 0"));
  }

  void interruptDuringARunStopsItCleanly() {
    wb->alg.SimplexLimit = 0;  // would run to the iteration limit
    desktop->ExpectMessage("Marquardt minimization", Answer::No);
    desktop->ExpectMessage("Marquardt minimization");
    desktop->ExpectMessage("Marquardt minimization", Answer::No);
    desktop->ExpectMessage("Marquardt interrupt", Answer::Yes);
    desktop->ExpectMessage("Marquart minimization stopped");
    bool pressed = false;
    desktop->SetYieldHook([&] {
      frmMarquardt* window = MarquardtWindow(*ctx);
      if (!pressed && wb->state.FunctionCallCount > 5 && window->InterruptButton()->isEnabled()) {
        pressed = true;
        QTest::mouseClick(window->InterruptButton(), Qt::LeftButton);
      }
    });

    RunCommand(*ctx, MenuButton::Marquardt);

    QVERIFY(pressed);
    QVERIFY(desktop->Failures().empty());
    QCOMPARE(wb->marquardt.IterationCount, 1);
    QVERIFY(menu->visible);
    QVERIFY(menu->ButtonEnabled(MenuButton::Simplex));
  }

  void derivativeDisplayWaitsForNextIteration() {
    wb->alg.MaxFunctionCalls = 2;
    wb->alg.SimplexLimit = 0;
    desktop->ExpectMessage("Marquardt minimization", Answer::No);
    desktop->ExpectMessage("Marquardt minimization");
    desktop->ExpectMessage("Marquardt minimization", Answer::Yes);
    desktop->ExpectMessage("Marquart minimization stopped");
    int presses = 0;
    desktop->SetYieldHook([&] {
      frmMarquardt* window = MarquardtWindow(*ctx);
      // The buttons show while the lines are still being collated; press once
      // the derivatives are on screen.
      if (!wb->marquardt.DerivativeWaitReleased && !window->NextIterationButton()->isHidden() &&
          window->Text().contains("Numerical 2nd derivative wrt Parameters 003,003)")) {
        ++presses;
        QTest::mouseClick(window->NextIterationButton(), Qt::LeftButton);
      }
    });

    RunCommand(*ctx, MenuButton::Marquardt);

    QCOMPARE(presses, 2);
    QVERIFY(desktop->Failures().empty());
  }

  void nothingToDoWhenEveryStepIsZero() {
    for (int i = 1; i <= 3; ++i) wb->alg.Steps[i] = 0;
    desktop->ExpectMessage("Marquardt minimization", Answer::No);
    desktop->ExpectMessage("Marquardt minimization");
    desktop->ExpectMessage("Marquardt minimization", Answer::No);
    desktop->ExpectMessage("There is nothing to do!");

    RunCommand(*ctx, MenuButton::Marquardt);

    QVERIFY(desktop->Failures().empty());
    QCOMPARE(desktop->Transcript().back().text, std::string("All step sizes are zero"));
    QCOMPARE(wb->alg.Values[1], 0.5);
    QVERIFY(menu->visible);
    QVERIFY(menu->ButtonEnabled(MenuButton::Marquardt));
  }

  void cancellingTheDerivativeQuestionRunsNothing() {
    desktop->ExpectMessage("Marquardt minimization", Answer::Cancel);
    RunCommand(*ctx, MenuButton::Marquardt);
    QCOMPARE(desktop->Transcript().size(), size_t{1});
    QCOMPARE(wb->state.FunctionCallCount, 0);
    QVERIFY(menu->visible);
    QVERIFY(menu->ButtonEnabled(MenuButton::LoadAlg));
  }

 private:
  std::unique_ptr<Workbench> wb;
  std::unique_ptr<ScriptedDesktop> desktop;
  std::unique_ptr<FakeMenuView> menu;
  std::unique_ptr<QMdiArea> mdi;
  std::unique_ptr<AppContext> ctx;
};

ESTIMETRIX_QTEST_MAIN(MarquardtWindowTest)
#include "marquardt_window_test.moc"
