// The priors windows: the chooser opened from the menu and from the ranking
// window, the editor's grid, selecting a row and setting its family, closing
// back to where the user came from, and the review after a fit.

#include "ui/priors_windows.h"

#include <QAction>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include "tests/support/qtest_entry.h"

#include "tests/ui/workbench_fixture.h"
#include "ui/commands.h"
#include "ui/ranking_window.h"
#include "ui/report_window.h"
#include "ui/window_tools.h"

using namespace estimetrix;
using testing::Session;
using testing::Stage;

namespace {

const QColor kGreen(144, 238, 144);
const QColor kLightRed(255, 200, 200);

QString PriorCell(frmSetPriors& editor, int row, int column) {
  QTableWidgetItem* item = editor.grid()->item(row, column);
  return item ? item->text() : QString();
}

QColor Background(frmSetPriors& editor, int row, int column) {
  return editor.grid()->item(row, column)->background().color();
}

bool Shown(QWidget* window) {
  return window && Frame(window)->isVisible();
}

ReportWindow* ReviewWindow(Session& s) {
  for (QMdiSubWindow* child : s.window.findChild<QMdiArea*>()->subWindowList())
    if (auto* report = qobject_cast<ReportWindow*>(child->widget()))
      if (report->Kind() == ReportKind::PriorReview) return report;
  return nullptr;
}

}  // namespace

class PriorsWindowsTest : public QObject {
  Q_OBJECT
 private slots:
  void menuChooserOpensTheEditorWhichSetsAFamilyAndHandsBack() {
    Session s(Stage::Loaded, 3);
    AppContext& ctx = s.window.Context();
    s.wb.state.SimplexRetained = true;
    QTest::mouseClick(s.window.MenuForm().Button(MenuButton::Bayesian), Qt::LeftButton);
    auto* chooser = FindWindow<frmLoadPriors>(ctx);
    QVERIFY(Shown(chooser));
    QCOMPARE(chooser->windowTitle(), QString("Load Bayesian priors"));
    QCOMPARE(chooser->findChild<QLabel*>("lblNote")->text(),
             QString("Note that a priors file applies to all algorithm files associated with the "
                     "analysis."));
    QCOMPARE(chooser->uniformButton()->text(),
             QString("Set &uniform-unbounded prior distributions"));
    QVERIFY(s.wb.state.PriorsActive);
    QVERIFY(!s.wb.state.SimplexRetained);

    s.desktop.ExpectMessage("Setting Bayesian Priors", Answer::Yes);
    QTest::mouseClick(chooser->setButton(), Qt::LeftButton);
    QVERIFY(!Shown(chooser));
    auto* editor = FindWindow<frmSetPriors>(ctx);
    QVERIFY(Shown(editor));
    QCOMPARE(editor->windowTitle(), QString("Set prior distributions"));
    QCOMPARE(editor->statusLine()->text(),
             QString("Note: Unset parameters in your Bayesian Priors file have the value '*'"));

    // Two header rows, then one row per parameter.
    QCOMPARE(editor->grid()->rowCount(), 5);
    QCOMPARE(editor->grid()->columnCount(), 7);
    QCOMPARE(PriorCell(*editor, 0, 2), QString("First term"));
    QCOMPARE(PriorCell(*editor, 0, 4), QString("Second term"));
    QCOMPARE(PriorCell(*editor, 1, 0), QString("Parameter"));
    QCOMPARE(PriorCell(*editor, 1, 6), QString("Parameter description [null value]"));
    QCOMPARE(PriorCell(*editor, 3, 0), QString("2"));
    QCOMPARE(PriorCell(*editor, 3, 1), QString("Uniform - unbounded"));
    QCOMPARE(PriorCell(*editor, 3, 2), QString("*"));
    QCOMPARE(PriorCell(*editor, 3, 5), QString("Unused"));
    QCOMPARE(PriorCell(*editor, 3, 6), QString("Quadratic term 2"));

    // Header rows cannot be selected; a data row turns green in its first columns.
    editor->SelectRow(1);
    QCOMPARE(editor->SelectedParameter(), 0);
    s.desktop.ExpectMessage("Set prior distributions");  // no parameter chosen yet
    editor->MenuItem("Gaussian (i.e., &Normal)")->trigger();
    emit editor->grid()->cellClicked(2, 4);
    emit editor->grid()->cellClicked(3, 1);
    QCOMPARE(editor->SelectedParameter(), 2);
    QCOMPARE(Background(*editor, 3, 3), kGreen);
    QVERIFY(Background(*editor, 3, 4) != kGreen);
    QVERIFY(Background(*editor, 2, 1) != kGreen);  // the previous selection cleared

    s.desktop.ExpectInput("Gaussian (i.e., Normal)", "1");
    s.desktop.ExpectInput("Gaussian (i.e., Normal)", "0.5");
    editor->MenuItem("Gaussian (i.e., &Normal)")->trigger();
    QCOMPARE(PriorCell(*editor, 3, 1), QString("Gaussian or Normal"));
    QCOMPARE(PriorCell(*editor, 3, 2), QString("1.000E+000"));
    QCOMPARE(PriorCell(*editor, 3, 3), QString("5.000E-001"));
    for (int column = 1; column <= 5; ++column) QCOMPARE(Background(*editor, 3, column), kLightRed);

    // Closing: the note, no save, the constant; priors on and the menu back.
    s.desktop.ExpectMessage("Just so you know");
    s.desktop.ExpectMessage("Save Bayesian priors", Answer::No);
    s.desktop.ExpectInput("Enter constant", "0.5");
    editor->MenuItem("&Finished")->trigger();
    QVERIFY(!Shown(editor));
    QVERIFY(s.wb.state.PriorsActive);
    QCOMPARE(s.wb.covariance.LikelihoodScale, 2.0);
    QVERIFY(s.window.MenuForm().Frame()->isVisible());
    QVERIFY2(s.desktop.Failures().empty(), qPrintable(s.Transcript()));
    QCOMPARE(s.desktop.PendingSteps(), size_t{0});

    // Opened again, the editor goes straight to the table as it now is.
    QTest::mouseClick(s.window.MenuForm().Button(MenuButton::Bayesian), Qt::LeftButton);
    QTest::mouseClick(chooser->setButton(), Qt::LeftButton);
    QCOMPARE(PriorCell(*editor, 3, 1), QString("Gaussian or Normal"));
    QVERIFY(Background(*editor, 3, 1) != kLightRed);
  }

  void rankingWindowGetsControlBackFromTheChooser() {
    Session s(Stage::Loaded, 2);
    AppContext& ctx = s.window.Context();
    frmRank* rank = OpenRankingWindow(ctx);
    QTest::mouseClick(rank->Button(RankButton::Bayesian), Qt::LeftButton);
    auto* chooser = FindWindow<frmLoadPriors>(ctx);
    QVERIFY(Shown(chooser));
    QVERIFY(!Frame(rank)->isVisible());
    QTest::mouseClick(chooser->cancelButton(), Qt::LeftButton);
    QVERIFY(!Shown(chooser));
    QVERIFY(Frame(rank)->isVisible());
    QVERIFY(!s.wb.state.PriorsActive);  // every prior still uniform
    QVERIFY2(s.desktop.Failures().empty(), qPrintable(s.Transcript()));
  }

  void reviewOpensAfterAFitWithPriorsOn() {
    Session s(Stage::Loaded, 2);
    s.wb.priors.Type[1] = PriorType::N;
    s.wb.priors.Term1[1] = 0.0;
    s.wb.priors.Term2[1] = 1.0;
    s.wb.state.PriorsActive = true;
    RunCommand(s.window.Context(), MenuButton::OneFunction);
    ReportWindow* review = ReviewWindow(s);
    QVERIFY(Shown(review));
    QCOMPARE(Frame(review)->windowTitle().trimmed(), QString("Review priors"));
    QVERIFY(review->textArea()->toPlainText().contains("Parameter   1 at  5.000E-01"));
    QVERIFY2(s.desktop.Failures().empty(), qPrintable(s.Transcript()));
  }
};

ESTIMETRIX_QTEST_MAIN(PriorsWindowsTest)
#include "priors_windows_test.moc"
