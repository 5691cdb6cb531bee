// The algorithm data editor: what the grid shows, the edits a user makes in
// cells and in turn, the option fields, the tolerance, the log, the restricted
// mode, and opening and closing.

#include "ui/algorithm_editor.h"

#include <QApplication>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTimer>
#include "tests/support/qtest_entry.h"
#include <filesystem>
#include <memory>

#include "engine/state/workbench.h"
#include "platform/scripted_desktop.h"
#include "tests/support/fake_menu_view.h"
#include "tests/support/quadratic_model.h"
#include "ui/app_context.h"
#include "ui/commands.h"
#include "ui/main_window.h"

using namespace estimetrix;
using Editor = AlgorithmEditor;

namespace {

// A session with three parameters: a free one, a zero fixed one and a fixed
// one with a value, all unfused.
struct EditorSession {
  Workbench wb;
  ScriptedDesktop desktop;
  testing::FakeMenuView menu;
  AppContext ctx{wb, desktop, menu};

  explicit EditorSession(int n = 3) {
    AlgorithmData& alg = wb.alg;
    SetDefaultAlgorithmData(alg);
    alg.ParameterCount = n;
    alg.Values.Resize(1, n, 0.0);
    alg.Steps.Resize(1, n, 0.0);
    alg.FuseCodes.Resize(1, n, kUnfused);
    alg.Descriptions.Resize(1, n, "");
    for (int i = 1; i <= n; ++i) alg.Descriptions[i] = "Parameter " + std::to_string(i);
    alg.Values[1] = 1.5;
    alg.Steps[1] = 0.15;
    if (n >= 3) alg.Values[3] = 4.0;
    alg.AlgorithmFilePath = "/data/crab.alg";
    wb.state.SimplexRetained = true;
    wb.state.CovarianceCurrent = true;
  }

  Editor* Open(Editor::Mode mode = Editor::Mode::Full) { return OpenAlgorithmEditor(ctx, mode); }

  QString Failures() const {
    QStringList lines;
    for (const std::string& failure : desktop.Failures()) lines << QString::fromStdString(failure);
    return lines.join('\n');
  }
  const DialogRecord& Last() const { return desktop.Transcript().back(); }
};

QString Cell(Editor* editor, int parameter, int column) {
  return editor->grid()->item(parameter - 1, column)->text();
}
QColor Ink(Editor* editor, int parameter, int column) {
  return editor->grid()->item(parameter - 1, column)->foreground().color();
}
bool Shaded(Editor* editor, int parameter, int column) {
  return editor->grid()->item(parameter - 1, column)->background().style() != Qt::NoBrush;
}

// Types into the in-cell text box and presses Enter.
void EditCell(Editor* editor, int parameter, int column, const QString& text) {
  editor->BeginCellEdit(parameter, column);
  auto* box = editor->findChild<QLineEdit*>("txtNewValue");
  QVERIFY(box != nullptr && box->isVisible());
  box->setText(text);
  QTest::keyClick(box, Qt::Key_Return);
  QVERIFY(!box->isVisible());
}

// Types into an option field and leaves it with Enter.
void EnterField(Editor* editor, const char* name, const QString& text) {
  auto* field = editor->findChild<QLineEdit*>(name);
  QVERIFY(field != nullptr);
  field->setText(text);
  QTest::keyClick(field, Qt::Key_Return);
}

template <class T>
T* Child(Editor* editor, const char* name) {
  return editor->findChild<T*>(name);
}

}  // namespace

class AlgorithmEditorTest : public QObject {
  Q_OBJECT

 private slots:
  void openingShowsTheDataWithItsFormatsAndColours();
  void cellValueEditFreesAFixedParameterInProportion();
  void badCellEntriesLeaveTheDataAlone();
  void fuseCodesInCellsAndInTurn();
  void valuesInTurnWithProportionalSteps();
  void valueDialogOffersFiveChoices();
  void stepsInTurnScrollToAndHighlightTheRow();
  void toleranceSwitchesTypeAndKeepsItsFloor();
  void optionFieldsRestoreBadEntries();
  void logOpensAndCloses();
  void restrictedModeLocksOptionsAndLog();
  void editCommandAndClosingActions();
  void openAndWaitReturnsWhenTheEditorCloses();
  void quittingWithAnEntryOpenInACellSavesIt();
};

void AlgorithmEditorTest::openingShowsTheDataWithItsFormatsAndColours() {
  EditorSession s;
  s.wb.alg.FuseCodes[1] = "A";  // a code on one parameter only is dropped on opening
  Editor* editor = s.Open();
  QVERIFY(editor != nullptr);
  QCOMPARE(s.ctx.editor, editor);
  QVERIFY(s.wb.state.EditorOpen);
  QVERIFY(!s.menu.visible);
  QCOMPARE(s.wb.editor.StepProportion, 0.1);
  QCOMPARE(s.wb.alg.FuseCodes[1], std::string(kUnfused));

  QCOMPARE(Child<QLabel>(editor, "lblCaption")->text(),
           QString("Algorithm data file name is:  /data/crab.alg"));
  QTableWidget* grid = editor->grid();
  QCOMPARE(grid->rowCount(), 3);
  QCOMPARE(Cell(editor, 1, Editor::kValueColumn), QString("1.5000E+00"));
  QCOMPARE(Cell(editor, 1, Editor::kStepColumn), QString("1.5000E-01"));
  QCOMPARE(Cell(editor, 2, Editor::kValueColumn), QString("0"));
  QCOMPARE(Ink(editor, 1, Editor::kValueColumn), QColor(Qt::blue));
  QCOMPARE(Ink(editor, 2, Editor::kValueColumn), QColor(Qt::black));
  QVERIFY(!Shaded(editor, 1, Editor::kValueColumn));

  QCOMPARE(Child<QLabel>(editor, "lblTolerance")->text(),
           QString("Absolute tolerance for convergence (TC):"));
  QCOMPARE(Child<QLineEdit>(editor, "txtTolerance")->text(), QString("1.000E-06"));
  QCOMPARE(Child<QLineEdit>(editor, "txtMaxFunctions")->text(), QString("9999"));
  QVERIFY(!Child<QLineEdit>(editor, "txtFileFrequency")->isEnabled());
  QVERIFY(Child<QPushButton>(editor, "cmdOpen")->isEnabled());
  QVERIFY(!Child<QPushButton>(editor, "cmdClose")->isEnabled());
  QVERIFY2(s.desktop.Failures().empty(), qPrintable(s.Failures()));
  delete editor;
}

void AlgorithmEditorTest::cellValueEditFreesAFixedParameterInProportion() {
  EditorSession s;
  std::unique_ptr<Editor> editor(s.Open());
  EditCell(editor.get(), 2, Editor::kValueColumn, "-20");
  QCOMPARE(s.wb.alg.Values[2], -20.0);
  QCOMPARE(s.wb.alg.Steps[2], 2.0);
  QCOMPARE(Cell(editor.get(), 2, Editor::kValueColumn), QString("-2.0000E+01"));
  QCOMPARE(Cell(editor.get(), 2, Editor::kStepColumn), QString("2.0000E+00"));
  QVERIFY(editor->IsEdited(2, Editor::kValueColumn) &&
          Shaded(editor.get(), 2, Editor::kValueColumn));
  QVERIFY(editor->IsEdited(2, Editor::kStepColumn));
  QVERIFY(!s.wb.state.SimplexRetained);
  QVERIFY(!s.wb.state.CovarianceCurrent);

  // The same value typed again still sets the step, but is not marked as changed.
  s.wb.editor.StepProportion = 0.5;
  EditCell(editor.get(), 3, Editor::kValueColumn, "4");
  QCOMPARE(s.wb.alg.Steps[3], 2.0);
  QVERIFY(!editor->IsEdited(3, Editor::kValueColumn));
  QVERIFY(editor->IsEdited(3, Editor::kStepColumn));

  // A step cell stores the step only.
  EditCell(editor.get(), 1, Editor::kStepColumn, "0");
  QCOMPARE(s.wb.alg.Steps[1], 0.0);
  QCOMPARE(s.wb.alg.Values[1], 1.5);
  QCOMPARE(Ink(editor.get(), 1, Editor::kStepColumn), QColor(Qt::black));
}

void AlgorithmEditorTest::badCellEntriesLeaveTheDataAlone() {
  EditorSession s;
  std::unique_ptr<Editor> editor(s.Open());
  for (const char* bad : {"abc", "", "1,5", "nan"}) {
    EditCell(editor.get(), 1, Editor::kValueColumn, bad);
    EditCell(editor.get(), 1, Editor::kStepColumn, bad);
  }
  EditCell(editor.get(), 1, Editor::kFuseColumn, "1A");
  QCOMPARE(s.wb.alg.Values[1], 1.5);
  QCOMPARE(s.wb.alg.Steps[1], 0.15);
  QCOMPARE(s.wb.alg.FuseCodes[1], std::string(kUnfused));
  QCOMPARE(Cell(editor.get(), 1, Editor::kValueColumn), QString("1.5000E+00"));
  QVERIFY(!editor->IsEdited(1, Editor::kValueColumn));
  QVERIFY(s.wb.state.SimplexRetained);
  QVERIFY(s.wb.state.CovarianceCurrent);

  // Escape abandons the edit.
  editor->BeginCellEdit(1, Editor::kValueColumn);
  auto* box = Child<QLineEdit>(editor.get(), "txtNewValue");
  box->setText("7");
  QTest::keyClick(box, Qt::Key_Escape);
  QCOMPARE(s.wb.alg.Values[1], 1.5);
}

void AlgorithmEditorTest::fuseCodesInCellsAndInTurn() {
  EditorSession s;
  std::unique_ptr<Editor> editor(s.Open());
  EditCell(editor.get(), 1, Editor::kFuseColumn, "ab");
  QCOMPARE(s.wb.alg.FuseCodes[1], std::string("AB"));
  QCOMPARE(Ink(editor.get(), 1, Editor::kFuseColumn), QColor(Qt::blue));
  QVERIFY(!s.wb.state.SimplexRetained);
  for (const char* refused : {"1A", "A1", "ABC", "~x"}) {
    EditCell(editor.get(), 1, Editor::kFuseColumn, refused);
    QCOMPARE(s.wb.alg.FuseCodes[1], std::string("AB"));
    QCOMPARE(Cell(editor.get(), 1, Editor::kFuseColumn), QString("AB"));
  }
  EditCell(editor.get(), 1, Editor::kFuseColumn, "~");
  QCOMPARE(s.wb.alg.FuseCodes[1], std::string("~~"));

  // In turn: refused entries are asked again; an empty one ends the sequence.
  const char* title = "Edit all parameter fuse characters";
  for (const char* reply : {"1A", "A1", "ABC", "~x", "~", "ab"})
    s.desktop.ExpectInput(title, reply);
  s.desktop.ExpectInput(title, "c");
  s.desktop.ExpectInput(title, "");
  editor->EditAllFuseCodes();
  QVERIFY2(s.desktop.Failures().empty(), qPrintable(s.Failures()));
  QCOMPARE(s.desktop.PendingSteps(), size_t{0});
  QCOMPARE(s.wb.alg.FuseCodes[1], std::string("AB"));
  QCOMPARE(s.wb.alg.FuseCodes[2], std::string("C"));
  QCOMPARE(s.wb.alg.FuseCodes[3], std::string("~~"));
  QCOMPARE(s.Last().text,
           std::string("Enter new alphabetical fuse character(s) (e.g., A,B,AA,AB,...) or the "
                       "null character [~~, unfused] for parameter #3"));
  QCOMPARE(s.Last().defaultText, std::string("~~"));

  editor->UnfuseAll();
  for (int i = 1; i <= 3; ++i) QCOMPARE(s.wb.alg.FuseCodes[i], std::string("~~"));
}

void AlgorithmEditorTest::valuesInTurnWithProportionalSteps() {
  EditorSession s;
  std::unique_ptr<Editor> editor(s.Open());
  s.desktop.ExpectInput("Change proportionality constant", "oops");
  s.desktop.ExpectInput("Change proportionality constant", "0");
  s.desktop.ExpectInput("Edit all parameter values", "x");
  s.desktop.ExpectInput("Edit all parameter values", "10");
  s.desktop.ExpectInput("Edit all parameter values", "0.00000000001");  // within 1E-10 of 0
  s.desktop.ExpectInput("Edit all parameter values", std::nullopt);
  editor->ApplyValueChoice(Editor::ValueChoice::AllValuesAndSteps);
  QVERIFY2(s.desktop.Failures().empty(), qPrintable(s.Failures()));
  QCOMPARE(s.desktop.Transcript()[0].text,
           std::string("Enter step size as a fraction of parameter values.\nA proportion of 0 "
                       "will default to 0.1"));
  QCOMPARE(s.desktop.Transcript()[2].text, std::string("Enter the new value of parameter #1"));
  QCOMPARE(s.wb.editor.StepProportion, 0.1);
  QCOMPARE(s.wb.alg.Values[1], 10.0);
  QCOMPARE(s.wb.alg.Steps[1], 1.0);
  QCOMPARE(s.wb.alg.Values[2], 0.0);  // unchanged, yet freed
  QCOMPARE(s.wb.alg.Steps[2], 0.1);
  QCOMPARE(s.wb.alg.Steps[3], 0.0);  // not reached

  // Free values only: parameters 1 and 2 are free now, 3 is not visited.
  s.desktop.ExpectInput("Change proportionality constant", "0.5");
  s.desktop.ExpectInput("Edit free parameter values", "2");
  s.desktop.ExpectInput("Edit free parameter values", "-4");
  editor->ApplyValueChoice(Editor::ValueChoice::FreeValuesAndSteps);
  QCOMPARE(s.desktop.PendingSteps(), size_t{0});
  QCOMPARE(s.wb.alg.Steps[1], 1.0);
  QCOMPARE(s.wb.alg.Values[2], -4.0);
  QCOMPARE(s.wb.alg.Steps[2], 2.0);
  QCOMPARE(s.wb.alg.Steps[3], 0.0);

  // Values only leave the steps alone.
  s.desktop.ExpectInput("Edit a parameter value", "3");
  s.desktop.ExpectInput("Edit a parameter value", "");
  editor->ApplyValueChoice(Editor::ValueChoice::ValuesOnly);
  QCOMPARE(s.wb.alg.Values[1], 3.0);
  QCOMPARE(s.wb.alg.Steps[1], 1.0);
  QVERIFY2(s.desktop.Failures().empty(), qPrintable(s.Failures()));
}

void AlgorithmEditorTest::valueDialogOffersFiveChoices() {
  EditorSession s;
  s.wb.alg.FuseCodes[2] = s.wb.alg.FuseCodes[3] = "B";
  std::unique_ptr<Editor> editor(s.Open());
  QStringList captions;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    QPushButton* unfuse = nullptr;
    for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
      captions << button->text();
      if (button->text() == "Unfuse all values") unfuse = button;
    }
    if (unfuse != nullptr)
      unfuse->click();
    else
      dialog->reject();
  });
  editor->EditValues();
  QCOMPARE(captions,
           QStringList({"Change &free values and step sizes (proportionately)",
                        "Change all values but &not their step sizes",
                        "Change &all values and step sizes (proportionately)", "Unfuse all values",
                        "Change only the step size &proportionality constant"}));
  QCOMPARE(s.wb.alg.FuseCodes[2], std::string("~~"));
  QCOMPARE(s.wb.alg.FuseCodes[3], std::string("~~"));
}

void AlgorithmEditorTest::stepsInTurnScrollToAndHighlightTheRow() {
  EditorSession s(15);
  std::unique_ptr<Editor> editor(s.Open());
  editor->resize(700, 420);
  QTableWidget* grid = editor->grid();
  QTableWidgetItem* twelfth = grid->item(11, Editor::kStepColumn);
  auto inView = [&] { return grid->viewport()->rect().contains(grid->visualItemRect(twelfth)); };
  QVERIFY(!inView());

  for (int i = 1; i <= 11; ++i) s.desktop.ExpectInput("Edit all step sizes", i == 1 ? "0.25" : "0");
  bool shown = false;
  s.desktop.SetResponder([&](const DialogRecord& record) -> std::optional<DialogReply> {
    if (record.text != "Enter new step size for parameter #12") return std::nullopt;
    shown = inView() && twelfth->background().style() != Qt::NoBrush;
    return DialogReply{Answer::Cancel, std::nullopt};
  });
  editor->EditAllSteps();
  QVERIFY(shown);
  QCOMPARE(s.desktop.Transcript().size(), size_t{12});
  QCOMPARE(s.wb.alg.Steps[1], 0.25);
  QCOMPARE(s.wb.alg.Steps[12], 0.0);
  QVERIFY(!Shaded(editor.get(), 12, Editor::kStepColumn));  // the highlight goes with the question
  QVERIFY2(s.desktop.Failures().empty(), qPrintable(s.Failures()));
}

void AlgorithmEditorTest::toleranceSwitchesTypeAndKeepsItsFloor() {
  EditorSession s;
  s.wb.alg.SimplexLimit = 1E-04;
  std::unique_ptr<Editor> editor(s.Open());
  const char* title = "Change the tolerance for convergence";
  s.desktop.ExpectMessage(title, Answer::Yes);
  s.desktop.ExpectInput(title, "5E-07");
  editor->ChangeTolerance();
  QVERIFY2(s.desktop.Failures().empty(), qPrintable(s.Failures()));
  QCOMPARE(
      s.desktop.Transcript()[0].text,
      std::string("Current tolerance type is ABSOLUTE.\n\nDo you want to change to RELATIVE?"));
  QCOMPARE(s.desktop.Transcript()[1].text,
           std::string("Current tolerance is 1.0E-04  (Minimum allowed is 1E-06)"));
  QCOMPARE(s.wb.alg.SimplexLimit, -1E-06);
  QCOMPARE(Child<QLabel>(editor.get(), "lblTolerance")->text(),
           QString("Relative tolerance for convergence (TC):"));
  QCOMPARE(Child<QLineEdit>(editor.get(), "txtTolerance")->text(), QString("1.000E-06"));

  // Switching back but giving no tolerance changes nothing, not even the type.
  s.desktop.ExpectMessage(title, Answer::Yes);
  s.desktop.ExpectInput(title, std::nullopt);
  editor->ChangeTolerance();
  QVERIFY(s.desktop.Transcript()[2].text.find("RELATIVE.") != std::string::npos);
  QCOMPARE(s.wb.alg.SimplexLimit, -1E-06);

  // A click on the tolerance runs the dialog.
  s.desktop.ExpectMessage(title, Answer::No);
  s.desktop.ExpectInput(title, "0.002");
  QTest::mouseClick(Child<QLineEdit>(editor.get(), "txtTolerance"), Qt::LeftButton);
  QCOMPARE(s.wb.alg.SimplexLimit, -0.002);
  QVERIFY2(s.desktop.Failures().empty(), qPrintable(s.Failures()));
}

void AlgorithmEditorTest::optionFieldsRestoreBadEntries() {
  EditorSession s;
  std::unique_ptr<Editor> editor(s.Open());
  s.desktop.ExpectMessage("Change the maximum # of function calls");
  EnterField(editor.get(), "txtMaxFunctions", "-5");
  QCOMPARE(s.Last().text, std::string("Maximum number of functions must be positive"));
  QCOMPARE(s.Last().icon, Icon::Information);
  QCOMPARE(s.wb.alg.MaxFunctionCalls, 9999);
  QCOMPARE(Child<QLineEdit>(editor.get(), "txtMaxFunctions")->text(), QString("9999"));
  EnterField(editor.get(), "txtMaxFunctions", "0");
  QCOMPARE(s.wb.alg.MaxFunctionCalls, 0);
  EnterField(editor.get(), "txtMaxFunctions", "lots");
  QCOMPARE(s.wb.alg.MaxFunctionCalls, 0);
  QCOMPARE(Child<QLineEdit>(editor.get(), "txtMaxFunctions")->text(), QString("0"));
  // A fraction is kept rounded, and the field shows what was kept.
  EnterField(editor.get(), "txtMaxFunctions", "12.7");
  QCOMPARE(s.wb.alg.MaxFunctionCalls, 13);
  QCOMPARE(Child<QLineEdit>(editor.get(), "txtMaxFunctions")->text(), QString("13"));

  s.desktop.ExpectMessage("Change the terminal display frequency");
  EnterField(editor.get(), "txtTerminalFrequency", "-1");
  QCOMPARE(s.Last().text, std::string("Frequency must be positive"));
  EnterField(editor.get(), "txtTerminalFrequency", "2.4");
  QCOMPARE(s.wb.alg.TerminalOutputFrequency, 2);
  QCOMPARE(Child<QLineEdit>(editor.get(), "txtTerminalFrequency")->text(), QString("2"));
  s.desktop.ExpectMessage("Change the terminal display frequency");
  EnterField(editor.get(), "txtTerminalFrequency", "99999");  // too large for the setting
  QCOMPARE(s.Last().text, std::string("Frequency can be at most 32767"));
  QCOMPARE(s.wb.alg.TerminalOutputFrequency, 2);

  s.desktop.ExpectMessage("Change the step size reduction fraction");
  EnterField(editor.get(), "txtStepReduction", "-0.5");
  QCOMPARE(s.Last().text, std::string("Fraction must be positive"));
  QCOMPARE(s.wb.alg.StepReductionFraction, 0.1);
  EnterField(editor.get(), "txtStepReduction", "0.25");
  QCOMPARE(s.wb.alg.StepReductionFraction, 0.25);
  QCOMPARE(s.desktop.Transcript().size(), size_t{4});
  QVERIFY2(s.desktop.Failures().empty(), qPrintable(s.Failures()));
}

void AlgorithmEditorTest::logOpensAndCloses() {
  EditorSession s;
  QTemporaryDir dir;
  const std::string chosen = (std::filesystem::path(dir.path().toStdString()) / "run").string();
  std::unique_ptr<Editor> editor(s.Open());
  auto* open = Child<QPushButton>(editor.get(), "cmdOpen");
  auto* close = Child<QPushButton>(editor.get(), "cmdClose");
  auto* frequency = Child<QLineEdit>(editor.get(), "txtFileFrequency");
  auto* name = Child<QLineEdit>(editor.get(), "txtLogFileName");

  // The name as an algorithm file keeps it, right-justified in 14 columns:
  // proposed without the blanks, and kept as read when the dialog is cancelled.
  s.wb.alg.OutputFileName = "  minimize.exl";
  s.desktop.ExpectSaveFile("Save minimization progress in...", std::nullopt);
  open->click();
  QVERIFY(!s.wb.log.IsOpen());
  QCOMPARE(s.Last().text, std::string("All files (*.*)|*.*|Estimetrix log files (*.exl)|*.exl"));
  QCOMPARE(s.Last().filterIndex, 2);
  QCOMPARE(s.Last().defaultText, std::string("minimize.exl"));
  QCOMPARE(s.wb.alg.OutputFileName, std::string("  minimize.exl"));

  s.desktop.ExpectSaveFile("Save minimization progress in...", chosen);
  s.desktop.ExpectMessage("Log file management");
  open->click();
  const std::string file = chosen + ".exl";
  QCOMPARE(s.Last().text, "The log file " + file + " is now open for output");
  QVERIFY(s.wb.log.IsOpen());
  QVERIFY(std::filesystem::exists(file));
  QCOMPARE(s.wb.alg.OutputFileName, file);
  QCOMPARE(s.wb.alg.FileOutputFrequency, 10);
  QCOMPARE(frequency->text(), QString("10"));
  QVERIFY(frequency->isEnabled() && close->isEnabled() && !open->isEnabled());
  QCOMPARE(name->text(), QString::fromStdString(file));

  s.desktop.ExpectMessage("Log file management");
  close->click();
  QCOMPARE(s.Last().text, "The old log file " + file + " is now closed for input");
  QVERIFY(!s.wb.log.IsOpen());
  QCOMPARE(s.wb.alg.FileOutputFrequency, 0);
  QVERIFY(!frequency->isEnabled() && !close->isEnabled() && open->isEnabled());
  QVERIFY(name->text().isEmpty());

  // A log that cannot be created is reported and leaves everything as it was.
  s.desktop.ExpectSaveFile("Save minimization progress in...", dir.path().toStdString() + "/no/x");
  s.desktop.ExpectMessage("Log file management");
  open->click();
  QVERIFY(!s.wb.log.IsOpen());
  QCOMPARE(s.wb.alg.OutputFileName, file);
  QVERIFY(open->isEnabled());
  QVERIFY2(s.desktop.Failures().empty(), qPrintable(s.Failures()));
}

void AlgorithmEditorTest::restrictedModeLocksOptionsAndLog() {
  EditorSession s;
  std::unique_ptr<Editor> editor(s.Open(Editor::Mode::Restricted));
  QVERIFY(!Child<QGroupBox>(editor.get(), "fraOptions")->isEnabled());
  QVERIFY(!Child<QPushButton>(editor.get(), "cmdOpen")->isEnabled());
  QVERIFY(!Child<QPushButton>(editor.get(), "cmdClose")->isEnabled());
  editor->ChangeTolerance();
  editor->OpenLog();
  QVERIFY(s.desktop.Transcript().empty());
  // The parameters themselves stay editable.
  EditCell(editor.get(), 2, Editor::kValueColumn, "3");
  QCOMPARE(s.wb.alg.Values[2], 3.0);
  editor->SetMode(Editor::Mode::Full);
  QVERIFY(Child<QGroupBox>(editor.get(), "fraOptions")->isEnabled());
  QVERIFY(Child<QPushButton>(editor.get(), "cmdOpen")->isEnabled());
}

void AlgorithmEditorTest::editCommandAndClosingActions() {
  EditorSession s;
  s.menu.SetTwelveEnabled(true);
  RunCommand(s.ctx, MenuButton::EditAlg);
  QPointer<Editor> editor = s.ctx.editor;
  QVERIFY(!editor.isNull());
  QCOMPARE(s.menu.events.front(), std::string("close windows"));
  QVERIFY(!s.menu.visible);
  QVERIFY(!s.menu.ButtonEnabled(MenuButton::Initialize));
  QVERIFY(!s.menu.ButtonEnabled(MenuButton::LoadAlg));
  QVERIFY(s.menu.ButtonEnabled(MenuButton::EditAlg) && s.menu.ButtonEnabled(MenuButton::Rank));
  QVERIFY(s.wb.state.EditorOpen);

  // Fuse two parameters; the edit still pending in its cell is applied on closing,
  // and the group is normalised then.
  EditCell(editor, 1, Editor::kFuseColumn, "d");
  editor->BeginCellEdit(3, Editor::kFuseColumn);
  Child<QLineEdit>(editor, "txtNewValue")->setText("D");
  QSignalSpy closed(editor.data(), &Editor::closed);
  s.desktop.ExpectMessage("Just so you know");
  QTest::mouseClick(Child<QPushButton>(editor, "cmdFinish"), Qt::LeftButton);
  QCOMPARE(closed.count(), 1);
  QCOMPARE(s.Last().text, std::string("Algorithm data, if changed, have been updated"));
  QCOMPARE(s.wb.alg.FuseCodes[3], std::string("D"));
  QCOMPARE(s.wb.alg.Values[3], 1.5);
  QCOMPARE(s.wb.alg.Steps[3], 0.0);
  QCOMPARE(s.wb.free.FreeCount, 1);
  QVERIFY(!s.wb.state.EditorOpen);
  QVERIFY(s.ctx.editor == nullptr);
  QVERIFY(s.menu.visible);
  QTRY_VERIFY(editor.isNull());  // the window goes away
  QVERIFY2(s.desktop.Failures().empty(), qPrintable(s.Failures()));
}

void AlgorithmEditorTest::openAndWaitReturnsWhenTheEditorCloses() {
  EditorSession s;
  s.desktop.ExpectMessage("Just so you know");
  QTimer::singleShot(0, [&] {
    QVERIFY(s.ctx.editor != nullptr);
    QCOMPARE(s.ctx.editor->mode(), Editor::Mode::Restricted);
    s.ctx.editor->FinishEditing();
  });
  OpenAlgorithmEditorAndWait(s.ctx, Editor::Mode::Restricted);
  QVERIFY(!s.wb.state.EditorOpen);
  QVERIFY(s.ctx.editor == nullptr);
  QVERIFY(!s.menu.visible);  // the waiting caller decides what comes next
  QVERIFY2(s.desktop.Failures().empty(), qPrintable(s.Failures()));
}

void AlgorithmEditorTest::quittingWithAnEntryOpenInACellSavesIt() {
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/crab.alg";
  Workbench wb;
  ScriptedDesktop desktop;
  wb.model = std::make_unique<testing::QuadraticModel>(2);
  wb.alg.ParameterCount = 2;
  wb.ResizeForModel(2);
  SetDefaultAlgorithmData(wb.alg);
  wb.alg.Descriptions.Resize(1, 2, "");
  MainWindow window(wb, desktop);
  wb.alg.AlgorithmFilePath = path;  // as a load leaves it
  window.show();
  RunCommand(window.Context(), MenuButton::EditAlg);
  Editor* editor = window.Context().editor;
  QVERIFY(editor != nullptr);
  editor->BeginCellEdit(2, Editor::kValueColumn);
  Child<QLineEdit>(editor, "txtNewValue")->setText("-20");

  desktop.ExpectMessage("Exit Estimetrix", Answer::Yes);
  desktop.ExpectMessage("What about algorithm data?", Answer::Yes);
  desktop.ExpectSaveFile("Save algorithm data in...", path);
  QSignalSpy quit(&window, &MainWindow::quitConfirmed);
  QVERIFY(window.close());  // the editor does not stand in the way
  QCOMPARE(quit.count(), 1);
  QStringList transcript;
  for (const DialogRecord& record : desktop.Transcript())
    transcript << QString::fromStdString(record.title + ": " + record.text);
  QVERIFY2(desktop.Failures().empty() && desktop.PendingSteps() == 0,
           qPrintable(transcript.join('\n')));
  QFile saved(QString::fromStdString(path));
  QVERIFY(saved.open(QIODevice::ReadOnly));
  QList<QByteArray> lines = saved.readAll().split('\n');
  QVERIFY(lines.size() > 3);
  QVERIFY2(lines[2].startsWith("-2.0000000E+01   2.0000000E+00"), lines[2].constData());
}

ESTIMETRIX_QTEST_MAIN(AlgorithmEditorTest)
#include "algorithm_editor_test.moc"
