// The Qt desktop's dialogues as a user meets them: default buttons, a default
// text ready to be typed over, file dialogs that open on the right filter.

#include "ui/qt_desktop.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include "tests/support/qtest_entry.h"
#include <chrono>
#include <functional>
#include <thread>

using namespace estimetrix;

namespace {

// Runs `check` on the modal dialog once it is open.
template <class Dialog>
void WhenOpen(std::function<void(Dialog*)> check) {
  QTimer::singleShot(0, [check] {
    auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
    QVERIFY(dialog);
    check(dialog);
  });
}

}  // namespace

class QtDesktopTest : public QObject {
  Q_OBJECT

 private slots:
  void messageBoxCarriesItsDefaultButton();
  void inputDefaultIsSelectedSoTypingReplacesIt();
  void saveDialogOpensOnTheChosenFilterAndName();
  void yieldIsCheapWhenCalledAgainAtOnce();
};

void QtDesktopTest::messageBoxCarriesItsDefaultButton() {
  QtDesktop desktop;
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  WhenOpen<QMessageBox>([&](QMessageBox* box) {
    title = box->windowTitle();
    text = box->text();
    icon = box->icon();
    QCOMPARE(box->defaultButton(), box->button(QMessageBox::No));
    box->defaultButton()->click();
  });
  Answer answer = desktop.Ask("Exit Estimetrix", "Do you want to quit Estimetrix?", Buttons::YesNo,
                              Icon::Question, 2);
  QVERIFY(answer == Answer::No);
  QCOMPARE(title, QString("Exit Estimetrix"));
  QCOMPARE(text, QString("Do you want to quit Estimetrix?"));
  QCOMPARE(icon, QMessageBox::Question);

  // Escape answers with the cancelling button.
  WhenOpen<QMessageBox>([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
  QVERIFY(desktop.Ask("t", "x", Buttons::YesNoCancel) == Answer::Cancel);
  WhenOpen<QMessageBox>([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
  QVERIFY(desktop.Ask("t", "x", Buttons::YesNo) == Answer::No);
}

void QtDesktopTest::inputDefaultIsSelectedSoTypingReplacesIt() {
  QtDesktop desktop;
  QString selected;
  WhenOpen<QDialog>([&](QDialog* dialog) {
    auto* edit = dialog->findChild<QLineEdit*>();
    selected = edit->selectedText();
    QTest::keyClicks(edit, "0.25");
    QTest::keyClick(edit, Qt::Key_Return);
  });
  auto reply = desktop.Input({"Likelihood constant", "Enter the constant", "0.5"});
  QCOMPARE(selected, QString("0.5"));
  QVERIFY(reply.has_value());
  QCOMPARE(*reply, std::string("0.25"));
}

void QtDesktopTest::saveDialogOpensOnTheChosenFilterAndName() {
  QtDesktop desktop;
  QTemporaryDir dir;
  QString filter, file;
  bool confirms = false;
  WhenOpen<QFileDialog>([&](QFileDialog* dialog) {
    filter = dialog->selectedNameFilter();
    file = dialog->selectedFiles().value(0);
    confirms = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
    QCOMPARE(dialog->windowTitle(), QString("Save algorithm data in..."));
    QCOMPARE(dialog->directory().absolutePath(), QDir(dir.path()).absolutePath());
    dialog->reject();
  });
  FileDialogRequest request;
  request.title = "Save algorithm data in...";
  request.filter =
      "All files (*.*)|*.*|Algorithm files (*.alg)|*.alg|Named for data file (crabs.*)|crabs.*|";
  request.filterIndex = 3;
  request.proposedName = dir.filePath("12081435.alg").toStdString();
  request.confirmOverwrite = true;
  QVERIFY(!desktop.SaveFileName(request).has_value());
  QCOMPARE(filter, QString("Named for data file (crabs.*)"));
  QVERIFY(file.endsWith("12081435.alg"));
  QVERIFY(confirms);
}

void QtDesktopTest::yieldIsCheapWhenCalledAgainAtOnce() {
  QtDesktop desktop;
  int delivered = 0;
  desktop.Yield();
  QTimer::singleShot(0, [&] { ++delivered; });
  desktop.Yield();  // within the quiet interval: events wait
  QCOMPARE(delivered, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  desktop.Yield();
  QCOMPARE(delivered, 1);
}

ESTIMETRIX_QTEST_MAIN(QtDesktopTest)
#include "qt_desktop_test.moc"
