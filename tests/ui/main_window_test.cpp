// The workbench window: its menus, its status bars, and the questions asked
// before the program ends.

#include "ui/main_window.h"

#include <QApplication>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QSpinBox>
#include <QTextBrowser>
#include <QTimer>
#include "tests/support/qtest_entry.h"
#include <filesystem>

#include "estimetrix_version.h"
#include "tests/ui/workbench_fixture.h"

using namespace estimetrix;
using testing::Session;
using testing::Stage;

namespace {

QStringList Texts(const QList<QAction*>& actions) {
  QStringList texts;
  for (QAction* action : actions) texts << action->text();
  return texts;
}

QAction* Action(MainWindow& window, const char* name) {
  return window.findChild<QAction*>(name);
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void menusAndTheirItems();
  void interruptMenusStayHiddenUntilShownAndSetTheirFlags();
  void statusBarsShowTheFilePanelsAndProgress();
  void infoWindowsAreModalWithOk();
  void quitRefusedUnlessYes();
  void quitWithUniformPriorsAsksAboutAlgorithmDataOnly();
  void quitWithPriorsAsksAboutBothAndClosesTheLog();
  void quitAfterFailedSaveAsksAgain();
  void closeRefusedWhileAComputationRuns();
};

void MainWindowTest::menusAndTheirItems() {
  Session s;
  MainWindow& window = s.window;
  QCOMPARE(window.windowTitle(), QString("Estimetrix"));
  QCOMPARE(Texts(window.menuBar()->actions()),
           QStringList({"&Application", "&Interrupt ", "&Interrupt", "&Window", "&Defaults etc.",
                        "&Wisdom", "&About"}));
  auto items = [&](const char* name) { return Texts(window.findChild<QMenu*>(name)->actions()); };
  QCOMPARE(items("mnuApplication"), QStringList({"Main &menu", "E&xit"}));
  QCOMPARE(items("mnuWindow"),
           QStringList({"&Cascade", "Tile &Horizontal", "Tile &Vertical", "&Arrange Icons"}));
  QCOMPARE(items("mnuAbout"), QStringList({"&Credits"}));
  QCOMPARE(items("mnuInterruptBayes"), QStringList({"I&nterrupt calculations"}));
  QCOMPARE(items("mnuInterruptProfile"), QStringList({"&Interrupt calculations"}));

  // "Main menu" brings a closed menu form back.
  window.MenuForm().Frame()->close();
  QVERIFY(!window.MenuForm().Frame()->isVisible());
  Action(window, "mnuMainMenu")->trigger();
  QVERIFY(window.MenuForm().Frame()->isVisible() && window.MenuForm().isVisible());
  QVERIFY(s.desktop.Failures().empty());
}

void MainWindowTest::interruptMenusStayHiddenUntilShownAndSetTheirFlags() {
  Session s;
  QAction* bayes = s.window.findChild<QMenu*>("mnuInterruptBayes")->menuAction();
  QAction* profile = s.window.findChild<QMenu*>("mnuInterruptProfile")->menuAction();
  QVERIFY(!bayes->isVisible() && !profile->isVisible());

  s.window.SetBayesInterruptMenuVisible(true);
  QVERIFY(bayes->isVisible() && !profile->isVisible());
  Action(s.window, "mnuInterruptBayesCalc")->trigger();
  QVERIFY(s.wb.state.BayesInterruptRequested);
  QVERIFY(!s.wb.state.ProfileInterruptRequested);

  s.window.SetProfileInterruptMenuVisible(true);
  Action(s.window, "mnuInterruptProfileCalc")->trigger();
  QVERIFY(s.wb.state.ProfileInterruptRequested);
}

void MainWindowTest::statusBarsShowTheFilePanelsAndProgress() {
  Workbench wb;
  QtDesktop desktop;
  MainWindow window(wb, desktop);
  desktop.Attach(&window, &window);
  QCOMPARE(window.StatusText(StatusBar::Files, 1), QString("Algorithm file: "));
  QCOMPARE(window.StatusText(StatusBar::Files, 2), QString("Bayesian priors file: "));
  QCOMPARE(window.StatusText(StatusBar::Files, 3), QString("Frequency file: "));
  QCOMPARE(window.StatusText(StatusBar::Files, 4), QString("Increment file: "));

  desktop.SetStatus(StatusBar::Progress, 3, "Trial 12");
  desktop.SetStatus(StatusBar::Files, 1, "Algorithm file: /data/run.alg");
  QCOMPARE(window.StatusText(StatusBar::Progress, 3), QString("Trial 12"));
  desktop.ClearProgressPanels();
  QCOMPARE(window.StatusText(StatusBar::Progress, 3), QString());
  QCOMPARE(window.StatusText(StatusBar::Files, 1), QString("Algorithm file: /data/run.alg"));
  desktop.SetStatus(StatusBar::Progress, 7, "nowhere");  // no such panel: ignored
}

void MainWindowTest::infoWindowsAreModalWithOk() {
  Session s;
  const char* const cases[][3] = {{"mnuDefaults", "frmDefaults", "mmddhhmm.alg"},
                                  {"mnuWisdom", "frmWisdom", "instar"},
                                  {"mnuCredits", "frmCredits", "Nelder, J.A. and Mead, R. (1965)"},
                                  {"mnuCredits", "frmCredits", "Estimetrix " ESTIMETRIX_VERSION}};
  for (const auto& c : cases) {
    QString seenName, seenText;
    QTimer::singleShot(0, [&] {
      QWidget* open = QApplication::activeModalWidget();
      QVERIFY(open);
      seenName = open->objectName();
      seenText = open->findChild<QTextBrowser*>()->toPlainText();
      // The Defaults window also sets how many threads evaluate side by side.
      if (auto* threads = open->findChild<QSpinBox*>("spnThreads")) threads->setValue(1);
      open->findChild<QPushButton*>("cmdOK")->click();
    });
    Action(s.window, c[0])->trigger();  // returns once OK closed it
    QCOMPARE(seenName, QString(c[1]));
    QVERIFY2(seenText.contains(c[2]), c[1]);
  }
  QVERIFY(!QApplication::activeModalWidget());
  QCOMPARE(s.wb.ThreadCount, 1);
}

void MainWindowTest::quitRefusedUnlessYes() {
  Session s(Stage::Loaded);
  s.desktop.ExpectMessage("Exit Estimetrix", Answer::No);
  QSignalSpy quit(&s.window, &MainWindow::quitConfirmed);
  QVERIFY(!s.window.close());
  QVERIFY(s.window.isVisible());
  QCOMPARE(quit.count(), 0);
  QCOMPARE(s.desktop.Transcript().size(), size_t(1));
  const DialogRecord& ask = s.desktop.Transcript()[0];
  QCOMPARE(ask.text, std::string("Do you want to quit Estimetrix?"));
  QVERIFY(ask.buttons == Buttons::YesNo && ask.icon == Icon::Question);
  QCOMPARE(ask.defaultButton, 2);  // No

  // Without algorithm data there is nothing to offer to save, and data a
  // failed read left half filled are not offered either: saving them would
  // overwrite the file the user has to mend.
  Session fresh;
  fresh.desktop.ExpectMessage("Exit Estimetrix", Answer::Yes);
  QVERIFY(fresh.window.close());
  QCOMPARE(fresh.desktop.Transcript().size(), size_t(1));
  Session halfRead(Stage::Loaded);
  halfRead.wb.alg.PartlyRead = true;
  halfRead.desktop.ExpectMessage("Exit Estimetrix", Answer::Yes);
  QVERIFY(halfRead.window.close());
  QCOMPARE(halfRead.desktop.Transcript().size(), size_t(1));
}

void MainWindowTest::quitWithUniformPriorsAsksAboutAlgorithmDataOnly() {
  Session s(Stage::Loaded);
  s.desktop.SetStatus(StatusBar::Files, 2, "Bayesian priors file: old.pri");
  s.desktop.ExpectMessage("Exit Estimetrix", Answer::Yes);
  s.desktop.ExpectMessage("What about algorithm data?", Answer::No);
  QSignalSpy quit(&s.window, &MainWindow::quitConfirmed);
  // The "Quit" button runs the same sequence as closing the window.
  QTest::mouseClick(s.window.MenuForm().Button(MenuButton::Quit), Qt::LeftButton);
  QVERIFY2(s.desktop.Failures().empty(), qPrintable(s.Transcript()));
  QCOMPARE(quit.count(), 1);
  QCOMPARE(s.desktop.Transcript().size(), size_t(2));
  QCOMPARE(s.desktop.Transcript()[1].text, std::string("Save algorithm data?"));
  QCOMPARE(s.desktop.Status(StatusBar::Files, 2), std::string("Bayesian priors file: "));
}

void MainWindowTest::quitWithPriorsAsksAboutBothAndClosesTheLog() {
  Session s(Stage::Loaded);
  s.wb.priors.Type[2] = PriorType::N;
  QTemporaryDir dir;
  const auto logPath = std::filesystem::path(dir.path().toStdString()) / "quit.exl";
  QVERIFY(s.wb.log.Open(logPath.string()));
  s.desktop.ExpectMessage("Exit Estimetrix", Answer::Yes);
  s.desktop.ExpectMessage("What about algorithm data?", Answer::Yes);
  s.desktop.ExpectSaveFile("Save algorithm data in...", std::nullopt);  // cancelled: go on
  s.desktop.ExpectMessage("What about Bayesian priors?", Answer::Yes);
  s.desktop.ExpectSaveFile("Save Bayesian priors file in...", std::nullopt);
  Action(s.window, "mnuExit")->trigger();
  QVERIFY2(s.desktop.Failures().empty(), qPrintable(s.Transcript()));
  QCOMPARE(s.desktop.PendingSteps(), size_t(0));
  QCOMPARE(s.desktop.Transcript()[3].text, std::string("Save Bayesian priors?"));
  QVERIFY(!s.wb.log.IsOpen());
  QVERIFY(!s.window.isVisible());
}

void MainWindowTest::quitAfterFailedSaveAsksAgain() {
  Session s(Stage::Loaded);
  s.desktop.ExpectMessage("Exit Estimetrix", Answer::Yes);
  s.desktop.ExpectMessage("What about algorithm data?", Answer::Yes);
  s.desktop.ExpectSaveFile("Save algorithm data in...",
                           std::string("/nonexistent-directory/for/sure/run.alg"));
  s.desktop.ExpectMessage("", Answer::Ok);  // why the save failed
  s.desktop.ExpectMessage("Exit Estimetrix", Answer::No);
  QVERIFY(!s.window.close());
  QVERIFY2(s.desktop.Failures().empty(), qPrintable(s.Transcript()));
  QCOMPARE(s.desktop.PendingSteps(), size_t(0));
  QCOMPARE(s.desktop.Transcript().back().defaultButton, 2);
  QVERIFY(s.window.isVisible());
}

void MainWindowTest::closeRefusedWhileAComputationRuns() {
  Session s(Stage::Loaded);
  s.window.MenuForm().BeginComputation();
  s.desktop.ExpectMessage("Exit Estimetrix", Answer::Ok);
  QVERIFY(!s.window.close());
  QVERIFY2(s.desktop.Failures().empty(), qPrintable(s.Transcript()));
  QVERIFY(s.desktop.Transcript()[0].buttons == Buttons::Ok);
}

ESTIMETRIX_QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
