// The ranking window: opened from the menu, its enabling rules as models are
// added and ranked, the C-hat box, grid double-clicks and finishing.

#include "ui/ranking_window.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include "tests/support/qtest_entry.h"

#include "platform/scripted_desktop.h"
#include "tests/support/fake_menu_view.h"
#include "tests/support/quadratic_model.h"
#include "tests/support/temporary_folder.h"
#include "ui/app_context.h"
#include "ui/commands.h"

using namespace estimetrix;

namespace {

struct RankWindowSession {
  RankWindowSession() {
    testing::InitializeQuadratic(wb, 2);
    testing::LoadQuadraticStart(wb);
    menu.SetTwelveEnabled(true);
  }
  // Names the algorithm file and clicks "Calculate model AICc".
  void Add(frmRank& window, const std::string& name, double x1) {
    wb.alg.Values[1] = x1;
    wb.alg.AlgorithmFilePath = folder.File(name);
    if (window.session().table.Count() == 0) desktop.ExpectInput("Enter constant", "0.5");
    QTest::mouseClick(window.Button(RankButton::AddModel), Qt::LeftButton);
  }
  QString Failures() const {
    QStringList lines;
    for (const std::string& failure : desktop.Failures()) lines << QString::fromStdString(failure);
    return lines.join("\n");
  }

  testing::TemporaryFolder folder{"ranking_window"};
  Workbench wb;
  ScriptedDesktop desktop;
  testing::FakeMenuView menu;
  QWidget mainWindow;
  AppContext ctx{wb, desktop, menu, nullptr, &mainWindow};
};

bool RankButtonEnabled(frmRank& window, RankButton button) {
  return window.Button(button)->isEnabled();
}

}  // namespace

class RankingWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void menuOpensTheWindowAndFinishHandsBack() {
    RankWindowSession s;
    QCOMPARE(RunCommand(s.ctx, MenuButton::Rank), CommandOutcome::Done);
    auto* window = s.mainWindow.findChild<frmRank*>();
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), QString("Model selection, ranking and averaging"));
    QVERIFY(!s.menu.visible);
    QVERIFY(!s.menu.applicationMenuEnabled);
    QVERIFY(s.wb.state.RankingOpen);
    QCOMPARE(window->grid()->horizontalHeaderItem(0)->text(), QString("Random"));
    QCOMPARE(window->cHatBox()->text(), QString("C-hat: 1.000"));
    QVERIFY(window->cHatBox()->styleSheet().contains("green"));
    QVERIFY(RankButtonEnabled(*window, RankButton::AddModel));
    QVERIFY(!RankButtonEnabled(*window, RankButton::Rank));
    QVERIFY(!RankButtonEnabled(*window, RankButton::Average));
    QVERIFY(!RankButtonEnabled(*window, RankButton::Save));
    QCOMPARE(window->Button(RankButton::Rank)->toolTip(), QString(kRankTip));

    // Nothing ranked: finishing asks nothing.
    QPointer<frmRank> guard(window);
    QTest::mouseClick(window->Button(RankButton::Finish), Qt::LeftButton);
    QVERIFY(!s.wb.state.RankingOpen);
    QVERIFY(s.menu.visible);
    QVERIFY(s.menu.applicationMenuEnabled);
    QTRY_VERIFY(guard.isNull());
    QVERIFY2(s.desktop.Failures().empty(), qPrintable(s.Failures()));
  }

  void addingRankingAndCHatFollowTheRules() {
    RankWindowSession s;
    frmRank* window = OpenRankingWindow(s.ctx);
    s.Add(*window, "first.alg", 2.0);
    QCOMPARE(window->grid()->rowCount(), 1);
    QCOMPARE(window->grid()->item(0, 0)->text(), QString("   1)    1"));
    QCOMPARE(window->grid()->item(0, 0)->foreground().color(), QColor(Qt::red));
    QCOMPARE(window->grid()->item(0, kDeltaColumn)->text(), QString("undefined"));
    QVERIFY(!RankButtonEnabled(*window, RankButton::Rank));
    s.Add(*window, "second.alg", 1.0);
    QVERIFY(RankButtonEnabled(*window, RankButton::Rank));
    QVERIFY(!RankButtonEnabled(*window, RankButton::Save));

    QTest::mouseClick(window->Button(RankButton::Rank), Qt::LeftButton);
    QCOMPARE(window->grid()->horizontalHeaderItem(0)->text(), QString("Ranked"));
    QCOMPARE(window->grid()->item(0, kAlgorithmColumn)->text(), QString("second.alg"));
    QCOMPARE(window->grid()->item(0, 0)->text(), QString("   1)    2"));
    QVERIFY(window->grid()->item(0, 0)->foreground().color() != QColor(Qt::red));
    QVERIFY(RankButtonEnabled(*window, RankButton::Save));
    QVERIFY(!RankButtonEnabled(*window, RankButton::Average));  // no covariance files
    QVERIFY(!window->averageLabel()->isEnabled());

    s.desktop.ExpectInput("Overdispersion correction", "2");
    QTest::mouseClick(window->Button(RankButton::SetOverdispersion), Qt::LeftButton);
    QCOMPARE(window->cHatBox()->text(), QString("C-hat: 2.000"));
    QVERIFY(window->cHatBox()->styleSheet().contains("blue"));
    QCOMPARE(window->grid()->horizontalHeaderItem(kCriterionColumn)->text(), QString("QAICc"));
    QCOMPARE(window->grid()->horizontalHeaderItem(0)->text(), QString("Random"));
    QVERIFY(!RankButtonEnabled(*window, RankButton::Save));
    s.desktop.ExpectInput("Overdispersion correction", "1");
    QTest::mouseClick(window->Button(RankButton::SetOverdispersion), Qt::LeftButton);
    QCOMPARE(window->grid()->horizontalHeaderItem(kWeightColumn)->text(), QString("AIC Wt"));

    // Rank again, then delete the first row by double-click: back to unranked.
    QTest::mouseClick(window->Button(RankButton::Rank), Qt::LeftButton);
    emit window->grid()->cellDoubleClicked(0, 0);
    QCOMPARE(window->grid()->rowCount(), 1);
    QCOMPARE(window->grid()->item(0, kAlgorithmColumn)->text(), QString("first.alg"));
    QCOMPARE(window->grid()->horizontalHeaderItem(0)->text(), QString("Random"));
    QVERIFY(!RankButtonEnabled(*window, RankButton::Rank));

    // Notes by double-click.
    s.desktop.ExpectInput("Model notes", "baseline");
    emit window->grid()->cellDoubleClicked(0, kNotesColumn);
    QCOMPARE(window->grid()->item(0, kNotesColumn)->text(), QString("baseline"));

    QVERIFY2(s.desktop.Failures().empty(), qPrintable(s.Failures()));
    QCOMPARE(s.desktop.PendingSteps(), size_t{0});
  }

  void closingARankedTableOffersToSave() {
    RankWindowSession s;
    frmRank* window = OpenRankingWindow(s.ctx);
    s.Add(*window, "a.alg", 2.0);
    s.Add(*window, "b.alg", 1.0);
    QTest::mouseClick(window->Button(RankButton::Rank), Qt::LeftButton);
    s.desktop.ExpectMessage("What about ranking results!", Answer::Yes);
    s.desktop.ExpectSaveFile("Save model ranking results in...", s.folder.File("closing.mms"));
    window->close();
    QVERIFY(std::filesystem::exists(s.folder.File("closing.mms")));
    QVERIFY(!s.wb.state.RankingOpen);
    QVERIFY2(s.desktop.Failures().empty(), qPrintable(s.Failures()));
  }
};

ESTIMETRIX_QTEST_MAIN(RankingWindowTest)
#include "ranking_window_test.moc"
