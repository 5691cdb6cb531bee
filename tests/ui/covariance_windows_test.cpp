// The covariance windows: the progress window's Interrupt button, the
// display window's buttons, and the covariance command around them.

#include "ui/covariance_windows.h"

#include <QLabel>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include "tests/support/qtest_entry.h"
#include <filesystem>
#include <memory>

#include "platform/scripted_desktop.h"
#include "tests/support/fake_menu_view.h"
#include "tests/support/quadratic_model.h"
#include "tests/ui/workbench_fixture.h"
#include "ui/algorithm_editor.h"
#include "ui/app_context.h"
#include "ui/commands.h"

using namespace estimetrix;

namespace {

struct CovarianceSession {
  CovarianceSession() {
    wb.model = std::make_unique<testing::QuadraticModel>(2);
    wb.alg.ParameterCount = 2;
    wb.ResizeForModel(2);
    SetDefaultAlgorithmData(wb.alg);
    wb.alg.Descriptions.Resize(1, 2, "term");
    for (int i = 1; i <= 2; ++i) {
      wb.alg.Values[i] = 0.5 * i;
      wb.alg.Steps[i] = 0.1;
    }
    wb.alg.AlgorithmFilePath = "12081435.alg";
    wb.alg.AlgorithmFileName = "12081435";
    wb.initialized = true;
    windows = FindOrCreateCovarianceWindows(ctx);
  }
  Workbench wb;
  ScriptedDesktop desktop;
  testing::FakeMenuView menu;
  QWidget mainWindow;
  AppContext ctx{wb, desktop, menu, nullptr, &mainWindow};
  CovarianceWindows windows;
};

// The numerical dialogue; the restricted editor is closed as soon as it opens.
void ScriptCalculation(CovarianceSession& s) {
  s.desktop.ExpectMessage(kCovarianceTitle, Answer::No);
  s.desktop.ExpectMessage(kCovarianceTitle, Answer::Ok);
  s.desktop.ExpectMessage("Just so you know");
  for (const char* factor : {"1", "0.1", "0.01"}) s.desktop.ExpectInput(kCovarianceTitle, factor);
  s.desktop.ExpectMessage(kCovarianceTitle, Answer::Yes);
  s.desktop.ExpectInput("Enter constant", "0.5");
  s.desktop.ExpectMessage("Calculate optimistic SEs only?", Answer::No);
  QTimer::singleShot(0, [&s] {
    if (s.ctx.editor) s.ctx.editor->FinishEditing();
  });
}

QString Failures(const ScriptedDesktop& desktop) {
  QStringList lines;
  for (const std::string& failure : desktop.Failures()) lines << QString::fromStdString(failure);
  return lines.join("\n");
}

}  // namespace

class CovarianceWindowsTest : public QObject {
  Q_OBJECT
 private slots:
  void interruptButtonRequestsOnlyWhileCalculating() {
    CovarianceSession s;
    frmCovData& data = *s.windows.data;
    data.StartLog();
    QCOMPARE(data.stopButton()->text(), QString("&Interrupt these calculations"));
    QTest::mouseClick(data.stopButton(), Qt::LeftButton);
    QVERIFY(s.wb.covariance.CovarianceInterruptRequested);
    QVERIFY(!data.stopButton()->isEnabled());

    // After the report was shown the same button only brings the display forward.
    s.wb.covariance.CovarianceInterruptRequested = false;
    data.SetStopCaption("something else");
    data.EnableInterrupt();
    QTest::mouseClick(data.stopButton(), Qt::LeftButton);
    QVERIFY(!s.wb.covariance.CovarianceInterruptRequested);
    QVERIFY(s.windows.display->isVisible());
  }

  void closingTheProgressWindowDisablesSaving() {
    CovarianceSession s;
    s.windows.data->ShowInFront();
    s.windows.display->SetSaveEnabled(true);
    s.windows.data->SetStopCaption("To save these results");
    s.windows.data->close();
    QVERIFY(!s.windows.display->fileButton()->isEnabled());
    QCOMPARE(s.windows.data->stopButton()->text(), QString("&Interrupt these calculations"));
  }

  void commandCalculatesThenTheDisplayShowsSavesAndFinishes() {
    CovarianceSession s;
    ScriptCalculation(s);
    RunCommand(s.ctx, MenuButton::Covariance);
    QVERIFY2(s.desktop.Failures().empty(), qPrintable(Failures(s.desktop)));
    QCOMPARE(s.desktop.PendingSteps(), size_t{0});
    QVERIFY(s.wb.state.CovarianceCurrent);
    QVERIFY(!s.menu.visible);

    frmCovDisplay& display = *s.windows.display;
    frmCovData& data = *s.windows.data;
    QVERIFY(display.isVisible());
    QCOMPARE(display.label()->text(), QString("Calculation completed. Do you wish to:"));
    QVERIFY(display.explanation()->toPlainText().startsWith(
        "If the results for numerically calculated SEs etc. are similar for all three grids, "
        "then"));
    QVERIFY(!display.fileButton()->isEnabled());
    QVERIFY(data.log()->toPlainText().contains("Now calculating -ln[likelihood] on grid #3"));

    QTest::mouseClick(display.screenButton(), Qt::LeftButton);
    QVERIFY(data.Text().rfind("Parameter values, step sizes", 0) == 0);
    QCOMPARE(data.log()->toPlainText().toStdString(), data.Text());
    QCOMPARE(data.stopButton()->text(),
             QString("To save these results [restore or minimize this form then] choose 'Save "
                     "covariance results as...'"));
    QVERIFY(display.fileButton()->isEnabled());
    QVERIFY(display.screenButton()->isEnabled());
    QCOMPARE(s.desktop.Status(StatusBar::Progress, 1), std::string());

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const std::filesystem::path path = folder.filePath("covariance_windows_test.cov").toStdString();
    s.desktop.ExpectSaveFile("Save covariance data in...", path.string());
    QTest::mouseClick(display.fileButton(), Qt::LeftButton);
    QVERIFY(std::filesystem::exists(path));
    QVERIFY(data.Text().rfind("Originally saved with the file name: " + path.string() + "\n\n",
                              0) == 0);

    QTest::mouseClick(display.finishButton(), Qt::LeftButton);
    QVERIFY(!display.isVisible());
    QVERIFY(!data.isVisible());
    QVERIFY(s.menu.visible);
    QVERIFY(s.menu.applicationMenuEnabled);
    QVERIFY2(s.desktop.Failures().empty(), qPrintable(Failures(s.desktop)));
  }

  void commandOffersTheLastResultsWhileTheyAreCurrent() {
    CovarianceSession s;
    s.wb.state.CovarianceCurrent = true;
    s.desktop.ExpectMessage("Covariance", Answer::Yes);
    RunCommand(s.ctx, MenuButton::Covariance);
    QVERIFY2(s.desktop.Failures().empty(), qPrintable(Failures(s.desktop)));
    QCOMPARE(s.desktop.Transcript().front().text,
             std::string("View the last set of calculated covariance results?"));
    QVERIFY(s.wb.covariance.CovarianceDisplayMode == CovarianceState::DisplayMode::ViewedAgain);
    QVERIFY(s.windows.display->isVisible());
    QCOMPARE(s.windows.display->label()->text(), QString("Do you wish to:"));
  }

  // In the workbench window: the menu's button, MDI children, and the menu
  // form back with its buttons after "&Finish display".
  void menuButtonRunsTheCommandInTheWorkbenchWindow() {
    testing::Session s(testing::Stage::Loaded);
    AppContext& ctx = s.window.Context();
    s.desktop.ExpectMessage(kCovarianceTitle, Answer::No);
    s.desktop.ExpectMessage(kCovarianceTitle, Answer::Ok);
    s.desktop.ExpectMessage("Just so you know");
    for (const char* factor : {"1", "0.1", "0.01"}) s.desktop.ExpectInput(kCovarianceTitle, factor);
    s.desktop.ExpectMessage(kCovarianceTitle, Answer::Yes);
    s.desktop.ExpectInput("Enter constant", "0.5");
    s.desktop.ExpectMessage("Calculate optimistic SEs only?", Answer::No);
    QTimer::singleShot(0, [&ctx] {
      if (ctx.editor) ctx.editor->FinishEditing();
    });
    QTest::mouseClick(s.window.MenuForm().Button(MenuButton::Covariance), Qt::LeftButton);
    QVERIFY2(s.desktop.Failures().empty(), qPrintable(s.Transcript()));

    CovarianceWindows windows = FindOrCreateCovarianceWindows(ctx);
    QVERIFY(qobject_cast<QMdiSubWindow*>(windows.display->parentWidget()));
    QVERIFY(windows.display->isVisible());
    QVERIFY(!s.window.MenuForm().Button(MenuButton::Covariance)->isEnabled());
    QTest::mouseClick(windows.display->finishButton(), Qt::LeftButton);
    QVERIFY(!windows.display->parentWidget()->isVisible());
    QVERIFY(s.window.MenuForm().Button(MenuButton::Covariance)->isEnabled());
    QVERIFY(s.wb.state.CovarianceCurrent);
  }

  void cancelledCommandLeavesNothingToView() {
    CovarianceSession s;
    s.desktop.ExpectMessage(kCovarianceTitle, Answer::Cancel);
    RunCommand(s.ctx, MenuButton::Covariance);
    QVERIFY(!s.wb.state.CovarianceCurrent);
    QVERIFY(s.menu.visible);
    QVERIFY(s.menu.applicationMenuEnabled);
    QVERIFY(!s.windows.display->isVisible());
  }
};

ESTIMETRIX_QTEST_MAIN(CovarianceWindowsTest)
#include "covariance_windows_test.moc"
