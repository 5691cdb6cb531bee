// The algorithm data editor's edits of values, steps and fuse codes: one cell
// at a time, all entries in turn, and the "Edit all parameters" dialog.

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "engine/base/format.h"
#include "engine/state/editor_rules.h"
#include "ui/algorithm_editor.h"
#include "ui/app_context.h"

namespace estimetrix {

namespace {

const char* const kValuePrompt = "Enter the new value of parameter #";
const char* const kStepPrompt = "Enter new step size for parameter #";
const char* const kFusePrompt =
    "Enter new alphabetical fuse character(s) (e.g., A,B,AA,AB,...) or the null character "
    "[~~, unfused] for parameter #";

}  // namespace

// ------------------------------------------------------------ storing edits

double& AlgorithmEditor::NumberAt(int parameter, int column) {
  AlgorithmData& alg = ctx_.wb.alg;
  return column == kValueColumn ? alg.Values[parameter] : alg.Steps[parameter];
}

// Any change to a value, step or fuse code makes a retained simplex and the
// last covariances stale.
void AlgorithmEditor::NoteDataChanged() {
  ctx_.wb.state.SimplexRetained = false;
  ctx_.wb.state.CovarianceCurrent = false;
}

void AlgorithmEditor::MarkEdited(int parameter, int column) {
  if (parameter < 1 || parameter >= static_cast<int>(edited_.size())) return;
  edited_[static_cast<size_t>(parameter)][static_cast<size_t>(column - kValueColumn)] = true;
}

void AlgorithmEditor::StoreNumber(int parameter, int column, double value) {
  double& slot = NumberAt(parameter, column);
  const double old = slot;
  slot = value;
  if (value != old) NoteDataChanged();
  if (!IsUnchanged(value, old)) MarkEdited(parameter, column);
  RefreshCell(parameter, column);
}

void AlgorithmEditor::StoreFuseCode(int parameter, const std::string& code) {
  std::string& slot = ctx_.wb.alg.FuseCodes[parameter];
  if (code != slot) {
    slot = code;
    NoteDataChanged();
    MarkEdited(parameter, kFuseColumn);
  }
  RefreshCell(parameter, kFuseColumn);
}

void AlgorithmEditor::SetProportionalStep(int parameter) {
  StoreNumber(parameter, kStepColumn,
              ProportionalStep(ctx_.wb.alg.Values[parameter], ctx_.wb.editor.StepProportion));
}

// ------------------------------------------------------------ in-cell edits

void AlgorithmEditor::BeginCellEdit(int parameter, int column) {
  CommitCellEdit();
  if (parameter < 1 || parameter > ParameterCount()) return;
  if (column < kValueColumn || column > kFuseColumn) return;
  QTableWidgetItem* item = grid_->item(parameter - 1, column);
  if (item == nullptr) return;
  grid_->scrollToItem(item);
  editParameter_ = parameter;
  editColumn_ = column;
  const AlgorithmData& alg = ctx_.wb.alg;
  std::string text =
      column == kFuseColumn ? alg.FuseCodes[parameter] : GeneralNumber(NumberAt(parameter, column));
  cellEditor_->setGeometry(grid_->visualItemRect(item));
  const QString shown = QString::fromStdString(text);
  cellEditor_->setText(shown);
  cellEditor_->show();
  cellEditor_->setFocus();
  // Selected so typing replaces it, with the start of a long number in view.
  cellEditor_->setSelection(static_cast<int>(shown.size()), -static_cast<int>(shown.size()));
}

void AlgorithmEditor::CommitCellEdit() {
  if (editColumn_ < 0) return;
  const int parameter = editParameter_;
  const int column = editColumn_;
  editColumn_ = -1;  // hiding the box moves the focus, which would commit again
  std::string text = cellEditor_->text().toStdString();
  cellEditor_->hide();
  if (parameter <= ParameterCount()) ApplyCellEdit(parameter, column, text);
}

void AlgorithmEditor::CancelCellEdit() {
  if (editColumn_ < 0) return;
  editColumn_ = -1;
  cellEditor_->hide();
  grid_->setFocus();
}

void AlgorithmEditor::ApplyCellEdit(int parameter, int column, const std::string& text) {
  if (column == kFuseColumn) {
    if (std::optional<std::string> code = AcceptFuseCode(text, FuseEntry::InCell)) {
      StoreFuseCode(parameter, *code);
    } else {
      RefreshCell(parameter, column);
    }
    return;
  }
  std::optional<double> number = ParseNumber(text);
  if (!number) {
    RefreshCell(parameter, column);
    return;
  }
  StoreNumber(parameter, column, *number);
  // An edited value always leaves its parameter free, with a step in proportion.
  if (column == kValueColumn) SetProportionalStep(parameter);
}

// -------------------------------------------------------- sequential edits

std::vector<int> AlgorithmEditor::AllParameters() const {
  std::vector<int> parameters;
  for (int i = 1; i <= ParameterCount(); ++i) parameters.push_back(i);
  return parameters;
}

std::vector<int> AlgorithmEditor::FreeParameters() const {
  std::vector<int> parameters;
  for (int i = 1; i <= ParameterCount(); ++i)
    if (ctx_.wb.alg.Steps[i] != 0.0) parameters.push_back(i);
  return parameters;
}

// Asks for each listed parameter's number in turn. Cancel or an empty entry
// ends the whole sequence (false); a non-number asks again; an entry within
// 1E-10 of the current number leaves it alone.
bool AlgorithmEditor::EditNumbersInTurn(int column, const std::vector<int>& parameters,
                                        const std::string& title, const std::string& prompt,
                                        bool proportionalSteps) {
  for (int i : parameters) {
    ShowAndHighlightRow(i);
    for (;;) {
      std::optional<std::string> reply =
          ctx_.desktop.Input({title, prompt + IntText(i), GeneralNumber(NumberAt(i, column))});
      if (!reply || IsBlank(*reply)) {
        ClearHighlight();
        return false;
      }
      std::optional<double> number = ParseNumber(*reply);
      if (!number) continue;
      if (!IsUnchanged(*number, NumberAt(i, column))) StoreNumber(i, column, *number);
      if (proportionalSteps) SetProportionalStep(i);
      break;
    }
  }
  ClearHighlight();
  return true;
}

void AlgorithmEditor::EditAllSteps() {
  CommitCellEdit();
  EditNumbersInTurn(kStepColumn, AllParameters(), "Edit all step sizes", kStepPrompt, false);
}

void AlgorithmEditor::EditAllFuseCodes() {
  CommitCellEdit();
  for (int i : AllParameters()) {
    ShowAndHighlightRow(i);
    for (;;) {
      std::optional<std::string> reply =
          ctx_.desktop.Input({"Edit all parameter fuse characters", kFusePrompt + IntText(i),
                              ctx_.wb.alg.FuseCodes[i]});
      if (!reply || IsBlank(*reply)) {
        ClearHighlight();
        return;
      }
      std::optional<std::string> code = AcceptFuseCode(*reply, FuseEntry::Sequential);
      if (!code) continue;
      StoreFuseCode(i, *code);
      break;
    }
  }
  ClearHighlight();
}

void AlgorithmEditor::UnfuseAll() {
  CommitCellEdit();
  for (int i : AllParameters()) StoreFuseCode(i, kUnfused);
}

bool AlgorithmEditor::ChangeStepProportion() {
  CommitCellEdit();
  double& proportion = ctx_.wb.editor.StepProportion;
  for (;;) {
    std::optional<std::string> reply = ctx_.desktop.Input(
        {"Change proportionality constant",
         "Enter step size as a fraction of parameter values.\nA proportion of 0 will default to "
         "0.1",
         GeneralNumber(proportion)});
    if (!reply || IsBlank(*reply)) return false;
    if (std::optional<double> number = ParseNumber(*reply)) {
      proportion = EffectiveProportion(*number);
      return true;
    }
  }
}

// ------------------------------------------------------------ value dialog

std::optional<AlgorithmEditor::ValueChoice> AlgorithmEditor::AskValueChoice() {
  QDialog dialog(this);
  dialog.setObjectName("frmValues");
  dialog.setWindowTitle("Edit all parameters");
  auto* column = new QVBoxLayout(&dialog);
  const std::pair<const char*, ValueChoice> buttons[] = {
      {"Change &free values and step sizes (proportionately)", ValueChoice::FreeValuesAndSteps},
      {"Change all values but &not their step sizes", ValueChoice::ValuesOnly},
      {"Change &all values and step sizes (proportionately)", ValueChoice::AllValuesAndSteps},
      {"Unfuse all values", ValueChoice::Unfuse},
      {"Change only the step size &proportionality constant", ValueChoice::ProportionOnly},
  };
  std::optional<ValueChoice> choice;
  for (const auto& [caption, meaning] : buttons) {
    auto* button = new QPushButton(caption, &dialog);
    connect(button, &QPushButton::clicked, &dialog, [&dialog, &choice, meaning = meaning] {
      choice = meaning;
      dialog.accept();
    });
    column->addWidget(button);
  }
  dialog.exec();
  return choice;
}

void AlgorithmEditor::EditValues() {
  CommitCellEdit();
  if (std::optional<ValueChoice> choice = AskValueChoice()) ApplyValueChoice(*choice);
}

void AlgorithmEditor::ApplyValueChoice(ValueChoice choice) {
  CommitCellEdit();
  switch (choice) {
    case ValueChoice::FreeValuesAndSteps:
      if (ChangeStepProportion())
        EditNumbersInTurn(kValueColumn, FreeParameters(), "Edit free parameter values",
                          kValuePrompt, true);
      break;
    case ValueChoice::ValuesOnly:
      EditNumbersInTurn(kValueColumn, AllParameters(), "Edit a parameter value", kValuePrompt,
                        false);
      break;
    case ValueChoice::AllValuesAndSteps:
      if (ChangeStepProportion())
        EditNumbersInTurn(kValueColumn, AllParameters(), "Edit all parameter values", kValuePrompt,
                          true);
      break;
    case ValueChoice::Unfuse: UnfuseAll(); break;
    case ValueChoice::ProportionOnly: ChangeStepProportion(); break;
  }
}

}  // namespace estimetrix
