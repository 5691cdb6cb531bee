// The report windows: one window per report, shown again with a growing
// text, saved with the header line in front, the review cleared on closing.

#include "ui/report_window.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include "tests/support/qtest_entry.h"
#include <fstream>
#include <sstream>

#include "platform/scripted_desktop.h"
#include "tests/support/fake_menu_view.h"
#include "tests/support/quadratic_model.h"
#include "tests/support/temporary_folder.h"
#include "ui/app_context.h"

using namespace estimetrix;

namespace {

struct ReportSession {
  ReportSession() {
    wb.model = std::make_unique<testing::QuadraticModel>(2);
    wb.alg.AlgorithmFileName = "crabs";
  }
  Workbench wb;
  ScriptedDesktop desktop;
  testing::FakeMenuView menu;
  QWidget mainWindow;
  AppContext ctx{wb, desktop, menu, nullptr, &mainWindow};
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

class ReportWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void OneWindowPerReportShowsTheLatestText() {
    ReportSession s;
    WindowReportView view(s.ctx);
    view.ShowReport(ReportKind::Summary, "Results for\n");
    view.ShowReport(ReportKind::Summary, "Results for\nmore\n");
    view.ShowReport(ReportKind::Posterior, "Bayesian posterior distribution data\n");
    const auto windows = s.mainWindow.findChildren<ReportWindow*>();
    QCOMPARE(windows.size(), 2);
    ReportWindow* summary = FindOrCreateReportWindow(s.ctx, ReportKind::Summary);
    QCOMPARE(summary->objectName(), QString("frmSummary"));
    QCOMPARE(summary->windowTitle(), QString(QString::fromStdString(s.wb.model->Name()) + " output"));
    QCOMPARE(summary->textArea()->toPlainText(), QString("Results for\nmore\n"));
    QCOMPARE(summary->saveButton()->text(), QString("Save summary as..."));
    QCOMPARE(FindOrCreateReportWindow(s.ctx, ReportKind::Posterior)->windowTitle(),
             QString("Bayesian statistics"));
  }

  void SavingPutsTheFileNameInFrontAndCancelWritesNothing() {
    ReportSession s;
    testing::TemporaryFolder folder;
    WindowReportView view(s.ctx);
    view.ShowReport(ReportKind::Profile, "Maximum-likelihood confidence distribution data\n");
    ReportWindow* window = FindOrCreateReportWindow(s.ctx, ReportKind::Profile);

    s.desktop.ExpectSaveFile("Save maximum-likelihood values in...", std::nullopt);
    window->saveButton()->click();
    QCOMPARE(window->Text(), std::string("Maximum-likelihood confidence distribution data\n"));

    const std::string path = folder.File("profile.mlc");
    s.desktop.ExpectSaveFile("Save maximum-likelihood values in...", path);
    window->saveButton()->click();
    const std::string expected = "Originally saved with the file name: " + path +
                                 "\r\n\r\nMaximum-likelihood confidence distribution data\r\n";
    QCOMPARE(ReadAll(path), expected);
    QVERIFY(window->textArea()->toPlainText().startsWith("Originally saved with the file name: "));
    QCOMPARE(s.desktop.PendingSteps(), size_t{0});
  }

  void ClosingTheSummaryBringsTheMenuBack() {
    ReportSession s;
    WindowReportView view(s.ctx);
    view.ShowReport(ReportKind::Summary, "Results for\n");
    s.menu.HideMenu();
    FindOrCreateReportWindow(s.ctx, ReportKind::Summary)->close();
    QVERIFY(s.menu.visible);
  }

  void TheReviewIsClearedWhenItsWindowCloses() {
    ReportSession s;
    WindowReportView view(s.ctx);
    view.ShowReport(ReportKind::PriorReview, "Note: Here is a chance\n");
    ReportWindow* review = FindOrCreateReportWindow(s.ctx, ReportKind::PriorReview);
    QCOMPARE(review->windowTitle(), QString("Review priors "));
    review->close();
    QVERIFY(review->Text().empty());
  }
};

ESTIMETRIX_QTEST_MAIN(ReportWindowTest)
#include "report_window_test.moc"
