// The chooser of evaluations: its four buttons, and the Markov chain choice
// run from it to its report window and back to the menu.

#include <QPlainTextEdit>
#include <QPushButton>
#include "tests/support/qtest_entry.h"

#include "engine/bayesian/mcmc_run.h"
#include "tests/ui/workbench_fixture.h"
#include "ui/evaluation_windows.h"

using namespace estimetrix;
using testing::Session;
using testing::Stage;

class EvaluationChooserTest : public QObject {
  Q_OBJECT

 private slots:
  void chainsAreTheFourthChoiceAndRunToTheirReport();
};

void EvaluationChooserTest::chainsAreTheFourthChoiceAndRunToTheirReport() {
  Session s(Stage::Loaded, 2);
  QTest::mouseClick(s.window.MenuForm().Button(MenuButton::ParEstimate), Qt::LeftButton);
  auto* chooser = s.window.findChild<frmParEvals*>("frmParEvals");
  QVERIFY(chooser);
  const QList<QPushButton*> buttons = chooser->findChildren<QPushButton*>();
  QCOMPARE(buttons.size(), 4);
  QCOMPARE(buttons[2]->objectName(), QString("cmdMarkovChains"));
  QCOMPARE(buttons[2]->text(), QString("Markov chain sampling of the posterior"));
  QCOMPARE(buttons[3]->objectName(), QString("cmdCancel"));

  s.desktop.ExpectMessage(kMcmcTitle, Answer::Yes);
  s.desktop.ExpectInput("Enter constant", "0.5");
  s.desktop.ExpectInput(kMcmcTitle, "200");  // kept draws
  s.desktop.ExpectInput(kMcmcTitle, "2");    // chains
  s.desktop.ExpectInput(kMcmcTitle, "200");  // warm-up
  s.desktop.ExpectInput(kMcmcTitle, "1");    // thinning
  s.desktop.ExpectInput(kMcmcTitle, "5");    // seed
  s.desktop.ExpectInput(kMcmcPairsTitle, "1,2");
  s.desktop.ExpectMessage(kMcmcSaveQuestionTitle, Answer::No);
  QTest::mouseClick(s.window.findChild<QPushButton*>("cmdMarkovChains"), Qt::LeftButton);
  QVERIFY2(s.desktop.Failures().empty(), qPrintable(s.Transcript()));
  auto* report = s.window.findChild<QWidget*>("frmMarkovChains");
  QVERIFY(report);
  auto* text = report->findChild<QPlainTextEdit*>("rtbMarkovChains");
  QVERIFY(text);
  QVERIFY(text->toPlainText().startsWith("Markov chain posterior\n"));
  QCOMPARE(s.wb.chainDraws.chains, 2);
  QCOMPARE(s.wb.chainDraws.draws, 200);
}

ESTIMETRIX_QTEST_MAIN(EvaluationChooserTest)
#include "evaluation_chooser_test.moc"
