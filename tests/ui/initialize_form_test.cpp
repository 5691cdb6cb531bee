// The set-up form as a user meets it: defaults and lists, controls that come
// alive once a file is chosen, the first-cell checks, the "Missing input"
// messages in order, and the initialise command around the form.

#include "ui/initialize_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include "tests/support/qtest_entry.h"
#include <cstdio>
#include <fstream>
#include <memory>

#include "engine/state/workbench.h"
#include "platform/scripted_desktop.h"
#include "tests/support/fake_menu_view.h"
#include "ui/app_context.h"
#include "ui/commands.h"

using namespace estimetrix;

namespace {

QStringList Items(const QComboBox* box) {
  QStringList items;
  for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
  return items;
}

QStringList Range(int first, int last) {
  QStringList items;
  for (int i = first; i <= last; ++i) items << QString::number(i);
  return items;
}

}  // namespace

class InitializeFormTest : public QObject {
  Q_OBJECT

 private:
  struct Session {
    Workbench wb;
    ScriptedDesktop desktop;
    testing::FakeMenuView menu;
    AppContext ctx{wb, desktop, menu};
    QTemporaryDir folder;  // this test's own files
  };

  std::unique_ptr<Session> s_;
  std::unique_ptr<frmInitialize> form_;

  template <class T>
  T* Find(const char* name) {
    T* child = form_->findChild<T*>(name);
    if (!child) qFatal("no control %s", name);
    return child;
  }
  QComboBox* Box(const char* name) { return Find<QComboBox>(name); }

  void ChooseFrequencies(const std::string& path) {
    s_->desktop.ExpectOpenFile("Load frequency data file", path);
    QTest::mouseClick(Find<QPushButton>("cmdFrequency"), Qt::LeftButton);
  }
  void ChooseIncrements(const std::string& path) {
    s_->desktop.ExpectOpenFile("Load increment data file", path);
    QTest::mouseClick(Find<QPushButton>("cmdIncrement"), Qt::LeftButton);
  }
  std::string LastMessage() const {
    const auto& shown = s_->desktop.Transcript();
    return shown.empty() ? std::string() : shown.back().title + "|" + shown.back().text;
  }

  std::string SizeFile() const {
    std::string path = s_->folder.filePath("estimetrix_form_sizes.dat").toStdString();
    std::ofstream file(path, std::ios::binary);
    file << "Midpoint,Count\r\n";
    for (int c = 1; c <= 20; ++c) {
      char line[32];
      std::snprintf(line, sizeof line, "%7.1f,%5d\r\n", c - 0.5, (c * 5) % 17);
      file << line;
    }
    return path;
  }

 private slots:
  void init() {
    s_ = std::make_unique<Session>();
    form_ = std::make_unique<frmInitialize>(s_->ctx);
  }
  void cleanup() {
    form_.reset();
    std::string failures;
    for (const std::string& f : s_->desktop.Failures()) failures += f + "\n";
    QVERIFY2(failures.empty(), failures.c_str());
    QCOMPARE(s_->desktop.PendingSteps(), size_t{0});
  }

  void freshFormOffersTheListsAndDefaults() {
    QCOMPARE(form_->windowTitle(), QString("Initialize Carapex"));
    QCOMPARE(Items(Box("cboSeries")), Range(1, 8));
    QCOMPARE(Items(Box("cboFirst")), Range(1, 10));
    QCOMPARE(Items(Box("cboIDInstars")), Range(0, 20));
    QCOMPARE(Items(Box("cboIncInstars")), Range(1, 16) + Range(0, 20));
    QCOMPARE(Items(Box("cboBlendedInstars")), QStringList({"0", "5", "10", "20", "50", "99"}));
    CarapexSetup shown = form_->Setup();
    QCOMPARE(shown.seriesText + shown.firstCellText + shown.identifiedText +
                 shown.incrementInstarsText + shown.blendedText,
             std::string("11000"));
    QVERIFY(shown.instars == InstarShape::Gaussian && shown.truncation == FrequencyTruncation::ZeroBeyond);
    QVERIFY(shown.incrementErrors == IncrementErrors::NotChosen);
    QCOMPARE(Find<QLabel>("LabelLike")->text(), QString("Note: objective function is -2 ln[L]"));
    QVERIFY(Find<QPlainTextEdit>("txtIncs")->toPlainText().startsWith(
        "Increment records:\nThe record input format for initial size, then molt increment is: "
        "'######,######'.  Maximum number of increments is 800.  For efficient performance, "
        "increment records SHOULD be sorted by initial size, then increment.\nWhen "));
    for (const char* name : {"cboSeries", "cboFirst", "cboIDInstars", "cboBlendedInstars",
                             "cboIncInstars", "fraFreqInfo", "fraIncInfo", "OptZero", "OptMissing",
                             "OptNormal", "OptGamma", "chkForceNormal"})
      QVERIFY2(!Find<QWidget>(name)->isEnabled(), name);
  }

  // A table of raw measurements becomes a data file that the form then uses
  // as if it had been loaded, with the series count filled in.
  void makeFromMeasurementsLoadsTheMadeFile() {
    const std::string raw = s_->folder.filePath("raw.csv").toStdString();
    std::ofstream(raw, std::ios::binary) << "year,cw\n2022,10.2\n2023,11.7\n2023,12.1\n";
    const std::string made = s_->folder.filePath("made.dat").toStdString();
    s_->desktop.ExpectOpenFile("Raw measurements for a frequency file", raw);
    s_->desktop.ExpectInput("Make from measurements", "cw");
    s_->desktop.ExpectInput("Make from measurements", "year");
    s_->desktop.ExpectInput("Make from measurements", "1");
    s_->desktop.ExpectInput("Make from measurements", "0.5");
    s_->desktop.ExpectSaveFile("Save frequency data file", made);
    s_->desktop.ExpectMessage("Make from measurements");
    QTest::mouseClick(Find<QPushButton>("cmdMakeFrequency"), Qt::LeftButton);
    QCOMPARE(Find<QLabel>("lblFrequencyPath")->text(), QString::fromStdString(made));
    QCOMPARE(Box("cboSeries")->currentText(), QString("2"));
    QVERIFY(Box("cboSeries")->isEnabled());
    QCOMPARE(Find<QPushButton>("cmdMakeIncrement")->text(), QString("Make from measurements..."));

    // Cancelled half way: nothing is written and the form keeps its file.
    s_->desktop.ExpectOpenFile("Raw measurements for an increment file", raw);
    s_->desktop.ExpectInput("Make from measurements", std::nullopt);
    QTest::mouseClick(Find<QPushButton>("cmdMakeIncrement"), Qt::LeftButton);
    QVERIFY(Find<QLabel>("lblIncrementPath")->text().isEmpty());
  }

  void choosingFilesEnablesTheirControls() {
    s_->desktop.ExpectOpenFile("Load frequency data file", std::nullopt);
    QTest::mouseClick(Find<QPushButton>("cmdFrequency"), Qt::LeftButton);
    QVERIFY(!Box("cboSeries")->isEnabled());
    const DialogRecord& dialog = s_->desktop.Transcript().back();
    QCOMPARE(dialog.text, std::string("All files (*.*)|*.*|Data files (*.dat)|*.dat"));
    QCOMPARE(dialog.filterIndex, 2);

    ChooseFrequencies("/data/sizes.dat");
    QCOMPARE(Find<QLabel>("lblFrequencyPath")->text(), QString("/data/sizes.dat"));
    for (const char* name :
         {"cboSeries", "cboFirst", "cboIDInstars", "cboBlendedInstars", "fraFreqInfo", "OptZero",
          "OptMissing", "chkForceNormal", "chkForceGamma"})
      QVERIFY2(Find<QWidget>(name)->isEnabled(), name);
    QCOMPARE(Box("cboSeries")->currentText(), QString("0"));
    QVERIFY(!Box("cboIncInstars")->isEnabled());

    // Ticking one instar distribution clears the other; both may be clear.
    auto* normal = Find<QCheckBox>("chkForceNormal");
    auto* gamma = Find<QCheckBox>("chkForceGamma");
    QTest::mouseClick(gamma, Qt::LeftButton);
    QVERIFY(gamma->isChecked() && !normal->isChecked());
    QTest::mouseClick(normal, Qt::LeftButton);
    QVERIFY(normal->isChecked() && !gamma->isChecked());
    QTest::mouseClick(normal, Qt::LeftButton);
    QVERIFY(!normal->isChecked() && !gamma->isChecked());

    ChooseIncrements("/data/growth.dat");
    QCOMPARE(Find<QLabel>("lblIncrementPath")->text(), QString("/data/growth.dat"));
    QVERIFY(Box("cboIncInstars")->isEnabled());
    QVERIFY(Find<QRadioButton>("OptNormal")->isChecked());
    // The increment instars follow identified + blended from now on.
    Box("cboIDInstars")->setEditText("3");
    Box("cboBlendedInstars")->setEditText("5");
    QCOMPARE(Box("cboIncInstars")->currentText(), QString("8"));
    QCOMPARE(Items(Box("cboIncInstars")), QStringList({"0", "8"}));
    // With no instars at all the only choice left is 0.
    Box("cboIDInstars")->setEditText("0");
    Box("cboBlendedInstars")->setEditText("0");
    QCOMPARE(Items(Box("cboIncInstars")), QStringList({"0"}));
  }

  void leavingTheFirstCellChecksIt() {
    ChooseFrequencies("/data/sizes.dat");
    form_->show();
    form_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    QComboBox* first = Box("cboFirst");
    const std::pair<const char*, const char*> cases[] = {
        {"abc", "Initialize|First frequency cell must be an integer"},
        {"0", "Initialize|First frequency cell must be positive"}};
    for (const auto& [typed, message] : cases) {
      first->setFocus(Qt::TabFocusReason);
      first->setEditText(typed);
      s_->desktop.ExpectMessage("Initialize");
      Box("cboSeries")->setFocus(Qt::TabFocusReason);
      QTRY_COMPARE(LastMessage(), std::string(message));
      QCOMPARE(s_->desktop.Transcript().back().icon, Icon::Exclamation);
      QCOMPARE(first->currentText(), QString("1"));
      QTRY_VERIFY(first->hasFocus());
    }
    first->setEditText("3");
    Box("cboSeries")->setFocus(Qt::TabFocusReason);
    QTest::qWait(20);
    QCOMPARE(s_->desktop.Transcript().size(), size_t{3});  // two dialogs and one message each
  }

  void missingInputIsReportedInOrder() {
    auto pressOk = [this] {
      s_->desktop.ExpectMessage("Missing input");
      QTest::mouseClick(Find<QPushButton>("cmdOK"), Qt::LeftButton);
      return LastMessage().substr(std::string("Missing input|Please ").size());
    };
    QCOMPARE(pressOk(), std::string("specify the frequency file and/or increment file"));
    QCOMPARE(s_->desktop.Transcript().back().icon, Icon::Information);
    ChooseFrequencies("/data/sizes.dat");
    Box("cboFirst")->setEditText("");
    QCOMPARE(pressOk(), std::string("specify the 1st frequency cell to be evaluated"));
    Box("cboFirst")->setEditText("1");
    Box("cboSeries")->setEditText("");
    QCOMPARE(pressOk(), std::string("enter a non-zero value for the number of series"));
    QCOMPARE(Box("cboSeries")->currentText(), QString("0"));  // empty boxes become 0
    Box("cboSeries")->setEditText("2");
    Box("cboBlendedInstars")->setEditText("");
    QCOMPARE(pressOk(), std::string("enter a non-zero value for either or both of the "
                                    "identified or blended instars"));
    QCOMPARE(Box("cboBlendedInstars")->currentText(), QString("0"));
    QVERIFY(!s_->wb.initialized);
  }

  void okInitialisesAndOffersLoad() {
    ChooseFrequencies(SizeFile());
    Box("cboSeries")->setEditText("1");
    Box("cboIDInstars")->setEditText("2");
    form_->show();
    QTest::mouseClick(Find<QPushButton>("cmdOK"), Qt::LeftButton);
    QVERIFY(s_->wb.initialized);
    QCOMPARE(s_->wb.alg.ParameterCount, 23);
    QVERIFY(!form_->isVisible());
    QCOMPARE(s_->menu.events.back(), std::string("show"));
    QVERIFY(s_->menu.ButtonEnabled(MenuButton::LoadAlg));
    QVERIFY(s_->menu.focused == MenuButton::LoadAlg);
  }

  void initializeCommandAsksBeforeDroppingAlgorithmData() {
    Workbench& wb = s_->wb;
    testing::FakeMenuView& menu = s_->menu;
    auto openForms = [] {
      int n = 0;
      for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "frmInitialize" && w->isVisible()) ++n;
      return n;
    };
    wb.alg.AlgorithmFilePath = "start.alg";
    s_->desktop.ExpectMessage("Initialize", Answer::Cancel);
    RunCommand(s_->ctx, MenuButton::Initialize);
    const DialogRecord& question = s_->desktop.Transcript().back();
    QCOMPARE(question.text, std::string("Algorithm data will be lost during this "
                                        "initialization.\n\n  Do you need to save current "
                                        "algorithm data?"));
    QVERIFY(question.buttons == Buttons::YesNoCancel && question.icon == Icon::Exclamation);
    QCOMPARE(wb.alg.AlgorithmFilePath, std::string("start.alg"));
    QCOMPARE(openForms(), 0);
    QVERIFY(menu.events.empty());

    // Yes saves first (here the save dialogue is cancelled), then the data goes.
    menu.SetTwelveEnabled(true);
    s_->desktop.ExpectMessage("Initialize", Answer::Yes);
    s_->desktop.ExpectSaveFile("", std::nullopt);
    RunCommand(s_->ctx, MenuButton::Initialize);
    QVERIFY(wb.alg.AlgorithmFilePath.empty());
    QCOMPARE(menu.Enabled(),
             (std::vector<MenuButton>{MenuButton::Initialize, MenuButton::LoadAlg}));
    QCOMPARE(menu.events, std::vector<std::string>{"hide"});
    QCOMPARE(openForms(), 1);
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->objectName() == "frmInitialize") w->close();
    QCOMPARE(menu.events.back(), std::string("show"));
  }

  // In the workbench the form lives in a child window; closing it must close
  // that window too and bring the menu back.
  void formOpensAsAChildWindowAndClosesWithIt() {
    QMdiArea mdi;
    mdi.resize(1200, 800);
    mdi.show();
    s_->ctx.mdi = &mdi;
    RunCommand(s_->ctx, MenuButton::Initialize);
    QCOMPARE(mdi.subWindowList().size(), 1);
    QMdiSubWindow* frame = mdi.subWindowList().front();
    auto* form = qobject_cast<frmInitialize*>(frame->widget());
    QVERIFY(form && frame->isVisible());
    QCOMPARE(frame->pos(), QPoint(100, 66));
    QPointer<QMdiSubWindow> alive(frame);
    QTest::mouseClick(form->findChild<QPushButton*>("cmdCancel"), Qt::LeftButton);
    QTRY_VERIFY(alive.isNull());
    QCOMPARE(s_->menu.events, (std::vector<std::string>{"hide", "show"}));
  }
};

ESTIMETRIX_QTEST_MAIN(InitializeFormTest)
#include "initialize_form_test.moc"
