// The "Main menu" form: its buttons, which of them are enabled when, and what
// pressing them does to the form and the windows around it.

#include "ui/menu_form.h"

#include <QAction>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <limits>
#include <string>
#include <vector>

#include "tests/support/qtest_entry.h"
#include "tests/support/test_data.h"
#include "tests/ui/workbench_fixture.h"
#include "ui/one_function_window.h"

using namespace estimetrix;
using testing::Session;
using testing::Stage;
using testing::TestDataFile;

namespace {

const QStringList kNames = {"cmdInitialize",  "cmdLoadAlg",  "cmdEditAlg",     "cmdSaveAlg",
                            "cmdOneFunction", "cmdSimplex",  "cmdMarquardt",   "cmdUserSummary",
                            "cmdCovariance",  "cmdBayesian", "cmdParEstimate", "cmdRank",
                            "cmdQuit"};

// The object names of the enabled buttons, in the form's order.
QStringList Enabled(frmMenu& menu) {
  QStringList names;
  for (const QString& name : kNames)
    if (menu.findChild<QPushButton*>(name)->isEnabled()) names << name;
  return names;
}

void Click(Session& s, MenuButton button) {
  QTest::mouseClick(s.window.MenuForm().Button(button), Qt::LeftButton);
}

// "&Load algorithm data", Yes, then the file `name`.
void LoadThroughTheButton(Session& s, const std::string& name) {
  s.desktop.ExpectMessage("Load algorithm data", Answer::Yes);
  s.desktop.ExpectOpenFile("Open algorithm data file", TestDataFile("alg", name));
  Click(s, MenuButton::LoadAlg);
}

}  // namespace

class MenuFormTest : public QObject {
  Q_OBJECT

 private slots:
  void buttonsCarryTheirCaptionsAndNames();
  void enablingFollowsTheModelAndItsData();
  void loadingDefaultValuesEnablesEverything();
  void aFilePartlyReadLeavesOnlyLoadAndInitializeUntilAWholeLoad();
  void savingLocksTheButtonsWhileTheDialogIsOpen();
  void oneFunctionCallShowsItsReportAndClosingBringsTheMenuBack();
  void resultsEvaluateOnceWithoutPriorThenAskForTheSummary();
  void choosersOpenInPlaceOfTheMenu();
};

void MenuFormTest::buttonsCarryTheirCaptionsAndNames() {
  Session s;
  frmMenu& menu = s.window.MenuForm();
  QCOMPARE(menu.windowTitle(), QString("Main menu"));
  QStringList captions;
  for (const QString& name : kNames) captions << menu.findChild<QPushButton*>(name)->text();
  QCOMPARE(captions,
           QStringList({"&Initialize model", "&Load algorithm data", "&Edit  algorithm data",
                        "&Save algorithm data", "&1 Function call", "Simple&x", "&Marquardt",
                        "&Single model results", "&Single model covariances",
                        "Set &Bayesian priors", "E&valuate single model parameter estimates",
                        "&Multi-model statistics", "&Quit"}));
  // 3000 and 2000 twips at 15 twips a pixel, in front.
  QCOMPARE(menu.Frame()->pos(), QPoint(200, 133));
  QCOMPARE(s.window.MdiArea()->activeSubWindow(), menu.Frame());
}

void MenuFormTest::enablingFollowsTheModelAndItsData() {
  Session s;
  frmMenu& menu = s.window.MenuForm();
  QCOMPARE(Enabled(menu), QStringList({"cmdInitialize", "cmdQuit"}));
  QCOMPARE(menu.ModelNameLabel()->text(), QString());
  QVERIFY(!s.window.InitializeAlready());

  s.Initialize(3);
  menu.SetTwelveEnabled(true);  // whatever a command left behind
  menu.ShowMenu();
  QVERIFY(s.window.InitializeAlready());
  QCOMPARE(Enabled(menu), QStringList({"cmdInitialize", "cmdLoadAlg", "cmdQuit"}));
  QCOMPARE(menu.ModelNameLabel()->text(), QString("Quadratic"));

  s.LoadData();
  menu.ShowMenu();
  QCOMPARE(Enabled(menu), kNames);
}

void MenuFormTest::loadingDefaultValuesEnablesEverything() {
  Session s(Stage::Initialized, 3);
  s.desktop.ExpectMessage("Load algorithm data", Answer::No);
  s.desktop.ExpectMessage("Default Algorithm Values", Answer::Ok);
  Click(s, MenuButton::LoadAlg);
  QVERIFY2(s.desktop.Failures().empty(), qPrintable(s.Transcript()));
  QCOMPARE(Enabled(s.window.MenuForm()), kNames);
  QCOMPARE(s.window.MenuForm().Button(MenuButton::UserSummary)->text(),
           QString("Res&ults Summary"));
  QCOMPARE(s.desktop.Status(StatusBar::Files, 1), "Algorithm file: " + s.wb.alg.AlgorithmFilePath);
}

void MenuFormTest::aFilePartlyReadLeavesOnlyLoadAndInitializeUntilAWholeLoad() {
  Session s(Stage::Loaded, 3);
  frmMenu& menu = s.window.MenuForm();
  QCOMPARE(Enabled(menu), kNames);
  const QStringList loadAndInitialize = {"cmdInitialize", "cmdLoadAlg", "cmdQuit"};

  // Line 3 holds "abc" for a value: parameter 1 was read before it.
  bool menuShownDuringMessage = true;
  s.desktop.SetResponder([&](const DialogRecord& record) -> std::optional<DialogReply> {
    if (record.title != "Algorithm file - information input failed") return std::nullopt;
    menuShownDuringMessage = menu.Frame()->isVisible();
    return DialogReply{Answer::Ok, std::nullopt};
  });
  LoadThroughTheButton(s, "bad_value.alg");
  QVERIFY2(s.desktop.Failures().empty(), qPrintable(s.Transcript()));
  QCOMPARE(s.desktop.Transcript().size(), size_t(3));
  QVERIFY(!menuShownDuringMessage);
  QVERIFY(menu.Frame()->isVisible());
  QCOMPARE(Enabled(menu), loadAndInitialize);

  // Shown again from the Application menu, the form keeps the rule.
  s.window.findChild<QAction*>("mnuMainMenu")->trigger();
  QCOMPARE(Enabled(menu), loadAndInitialize);

  LoadThroughTheButton(s, "hand_written.alg");
  QVERIFY2(s.desktop.Failures().empty(), qPrintable(s.Transcript()));
  QCOMPARE(Enabled(menu), kNames);
  QCOMPARE(s.wb.alg.Values[2], -2500.0);
  menu.ShowMenu();
  QCOMPARE(Enabled(menu), kNames);
}

void MenuFormTest::savingLocksTheButtonsWhileTheDialogIsOpen() {
  Session s(Stage::Loaded);
  QStringList enabledDuringDialog;
  s.desktop.SetResponder([&](const DialogRecord& record) -> std::optional<DialogReply> {
    if (record.kind != DialogKind::SaveFile) return std::nullopt;
    enabledDuringDialog = Enabled(s.window.MenuForm());
    return DialogReply{Answer::Cancel, std::nullopt};
  });
  Click(s, MenuButton::SaveAlg);
  QVERIFY2(s.desktop.Failures().empty(), qPrintable(s.Transcript()));
  QCOMPARE(enabledDuringDialog, QStringList({"cmdQuit"}));
  QCOMPARE(Enabled(s.window.MenuForm()), kNames);
}

void MenuFormTest::oneFunctionCallShowsItsReportAndClosingBringsTheMenuBack() {
  Session s(Stage::Loaded);
  frmMenu& menu = s.window.MenuForm();
  Click(s, MenuButton::OneFunction);
  QVERIFY2(s.desktop.Failures().empty(), qPrintable(s.Transcript()));
  auto* report = s.window.findChild<OneFunctionWindow*>("frmOneFunction");
  QVERIFY(report && report->isVisible());
  QVERIFY(report->Text().contains("Current minimum of "));
  QVERIFY(report->Text().contains("Quadratic term 2"));
  QVERIFY(report->findChild<QPlainTextEdit*>()->isReadOnly());
  QVERIFY(!menu.Frame()->isVisible());
  QVERIFY(s.window.ApplicationMenuEnabled());

  qobject_cast<QMdiSubWindow*>(report->parentWidget())->close();
  QCOMPARE(report->Text(), QString());
  QVERIFY(menu.Frame()->isVisible());
  QCOMPARE(Enabled(menu), kNames);

  // The next call reuses the window; the next computation closes it first.
  Click(s, MenuButton::OneFunction);
  QCOMPARE(s.window.findChildren<OneFunctionWindow*>().size(), qsizetype(1));
  QVERIFY(report->isVisible());
  menu.BeginComputation();
  QVERIFY(!report->isVisible());
  QVERIFY(!menu.Frame()->isVisible());
  QVERIFY(!s.window.ApplicationMenuEnabled());
  menu.EndComputation();

  // A value the model cannot evaluate is reported once, and the shell unwinds.
  s.wb.alg.Values[1] = std::numeric_limits<double>::infinity();
  menu.ShowMenu();
  s.desktop.ExpectMessage("", Answer::Ok);
  Click(s, MenuButton::OneFunction);
  QCOMPARE(s.desktop.Transcript().size(), size_t(1));
  QVERIFY(s.window.ApplicationMenuEnabled());
}

void MenuFormTest::resultsEvaluateOnceWithoutPriorThenAskForTheSummary() {
  Session s(Stage::Loaded);
  s.wb.state.PriorsActive = true;
  std::string progressDuringCall;
  s.desktop.SetYieldHook([&] { progressDuringCall = s.desktop.Status(StatusBar::Progress, 1); });
  Click(s, MenuButton::UserSummary);
  QCOMPARE(s.Model().flagsSeen, std::vector<int>({1, -1}));
  QCOMPARE(progressDuringCall,
           std::string("One moment please while one function call is executed..."));
  QCOMPARE(s.desktop.Status(StatusBar::Progress, 1), std::string());
  QVERIFY(s.wb.state.PriorsActive);
  QCOMPARE(s.wb.state.PriorTerm, 0.0);
  QVERIFY(s.window.ApplicationMenuEnabled());
  QCOMPARE(Enabled(s.window.MenuForm()), kNames);

  // With every value zero only the summary is asked for.
  s.Model().flagsSeen.clear();
  s.wb.alg.Values.Fill(0.0);
  Click(s, MenuButton::UserSummary);
  QCOMPARE(s.Model().flagsSeen, std::vector<int>({-1}));
  QVERIFY(s.desktop.Failures().empty());
}

void MenuFormTest::choosersOpenInPlaceOfTheMenu() {
  Session s(Stage::Loaded);
  const std::pair<MenuButton, const char*> choosers[] = {
      {MenuButton::Bayesian, "frmLoadPriors"}, {MenuButton::ParEstimate, "frmParEvals"}};
  for (const auto& [button, name] : choosers) {
    s.window.MenuForm().ShowMenu();
    Click(s, button);
    auto* chooser = s.window.findChild<QWidget*>(name);
    QVERIFY2(chooser && chooser->isVisible(), name);
    QVERIFY(!s.window.MenuForm().Frame()->isVisible());
    chooser->close();
  }
  QVERIFY2(s.desktop.Failures().empty(), qPrintable(s.Transcript()));
}

ESTIMETRIX_QTEST_MAIN(MenuFormTest)
#include "menu_form_test.moc"
