// The algorithm data editor's "Minimization options" frame: the convergence
// tolerance, the option fields checked when the user leaves them, and the
// minimization log's "&Open" and "&Close".

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cmath>

#include "engine/base/format.h"
#include "engine/state/editor_rules.h"
#include "ui/algorithm_editor.h"
#include "ui/app_context.h"
#include "ui/window_tools.h"

namespace estimetrix {

namespace {

const char* const kLogTitle = "Log file management";
const char* const kToleranceTitle = "Change the tolerance for convergence";

// What each option field is called in its messages, what it tells a user who
// enters a negative number, and how it names itself when an entry is too large.
struct FieldMessages {
  const char* title;
  const char* negative;
  const char* subject;
};

FieldMessages MessagesFor(AlgorithmEditor::OptionField field) {
  using F = AlgorithmEditor::OptionField;
  switch (field) {
    case F::MaxFunctionCalls:
      return {"Change the maximum # of function calls",
              "Maximum number of functions must be positive", "Maximum number of functions"};
    case F::TerminalFrequency:
      return {"Change the terminal display frequency", "Frequency must be positive", "Frequency"};
    case F::FileFrequency:
      return {"Change the file write frequency", "Frequency must be positive", "Frequency"};
    case F::StepReduction:
      return {"Change the step size reduction fraction", "Fraction must be positive", "Fraction"};
  }
  return {"", "", ""};
}

}  // namespace

QWidget* AlgorithmEditor::BuildOptionsFrame() {
  optionsFrame_ = new QGroupBox("Minimization options", this);
  optionsFrame_->setObjectName("fraOptions");
  auto* layout = new QGridLayout(optionsFrame_);
  auto addField = [&](int row, const char* name, OptionField field) {
    auto* edit = new QLineEdit(optionsFrame_);
    edit->setObjectName(name);
    edit->setMaximumWidth(120);
    connect(edit, &QLineEdit::editingFinished, this, [this, field] { ApplyOptionField(field); });
    layout->addWidget(edit, row, 1);
    return edit;
  };
  auto addLabel = [&](int row, const char* text) {
    auto* label = new QLabel(text, optionsFrame_);
    layout->addWidget(label, row, 0);
    return label;
  };

  toleranceLabel_ = addLabel(0, "Absolute tolerance for convergence (TC):");
  toleranceLabel_->setObjectName("lblTolerance");
  toleranceText_ = new QLineEdit(optionsFrame_);
  toleranceText_->setObjectName("txtTolerance");
  toleranceText_->setReadOnly(true);
  toleranceText_->setMaximumWidth(120);
  toleranceText_->setToolTip("Click to change the tolerance");
  toleranceText_->installEventFilter(this);
  layout->addWidget(toleranceText_, 0, 1);

  addLabel(1, "Simplex (maximum # function calls):\nMarquardt (maximum # iterations):");
  maxCallsText_ = addField(1, "txtMaxFunctions", OptionField::MaxFunctionCalls);
  addLabel(2, "Terminal display frequency:");
  terminalText_ = addField(2, "txtTerminalFrequency", OptionField::TerminalFrequency);
  fileFrequencyLabel_ = addLabel(3, "Output frequency:");
  fileFrequencyText_ = addField(3, "txtFileFrequency", OptionField::FileFrequency);

  openLogButton_ = new QPushButton("&Open", optionsFrame_);
  openLogButton_->setObjectName("cmdOpen");
  connect(openLogButton_, &QPushButton::clicked, this, &AlgorithmEditor::OpenLog);
  closeLogButton_ = new QPushButton("&Close", optionsFrame_);
  closeLogButton_->setObjectName("cmdClose");
  connect(closeLogButton_, &QPushButton::clicked, this, &AlgorithmEditor::CloseLog);
  layout->addWidget(openLogButton_, 3, 2);
  layout->addWidget(closeLogButton_, 3, 3);

  addLabel(4, "Log file name (maximum of 10.3 characters):");
  logNameText_ = new QLineEdit(optionsFrame_);
  logNameText_->setObjectName("txtLogFileName");
  logNameText_->setReadOnly(true);
  layout->addWidget(logNameText_, 4, 1, 1, 3);

  addLabel(5, "Step size reduction fraction:");
  reductionText_ = addField(5, "txtStepReduction", OptionField::StepReduction);
  layout->setColumnStretch(4, 1);
  return optionsFrame_;
}

// ------------------------------------------------------------------ filling

void AlgorithmEditor::FillOptions() {
  FillTolerance();
  for (OptionField field : {OptionField::MaxFunctionCalls, OptionField::TerminalFrequency,
                            OptionField::FileFrequency, OptionField::StepReduction})
    RestoreOptionField(field);
  SetLogControls();
}

void AlgorithmEditor::FillTolerance() {
  const double limit = ctx_.wb.alg.SimplexLimit;
  toleranceLabel_->setText(IsRelativeTolerance(limit) ? "Relative tolerance for convergence (TC):"
                                                      : "Absolute tolerance for convergence (TC):");
  toleranceText_->setText(Q(FormatNumber(std::fabs(limit), "0.000E+00")));
}

void AlgorithmEditor::SetLogControls() {
  const bool full = mode_ == Mode::Full;
  const bool open = ctx_.wb.log.IsOpen();
  optionsFrame_->setEnabled(full);
  openLogButton_->setEnabled(full && !open);
  closeLogButton_->setEnabled(full && open);
  fileFrequencyLabel_->setEnabled(open);
  fileFrequencyText_->setEnabled(open);
  logNameText_->setText(open ? Q(ctx_.wb.alg.OutputFileName) : QString());
}

QLineEdit* AlgorithmEditor::FieldEditor(OptionField field) const {
  switch (field) {
    case OptionField::MaxFunctionCalls: return maxCallsText_;
    case OptionField::TerminalFrequency: return terminalText_;
    case OptionField::FileFrequency: return fileFrequencyText_;
    case OptionField::StepReduction: return reductionText_;
  }
  return maxCallsText_;
}

// Shows the field's stored setting.
void AlgorithmEditor::RestoreOptionField(OptionField field) {
  const AlgorithmData& alg = ctx_.wb.alg;
  std::string text;
  switch (field) {
    case OptionField::MaxFunctionCalls: text = IntText(alg.MaxFunctionCalls); break;
    case OptionField::TerminalFrequency: text = IntText(alg.TerminalOutputFrequency); break;
    case OptionField::FileFrequency: text = IntText(alg.FileOutputFrequency); break;
    case OptionField::StepReduction:
      text = FormatNumber(alg.StepReductionFraction, "0.####");
      break;
  }
  FieldEditor(field)->setText(Q(text));
}

// ----------------------------------------------------- leaving a field

void AlgorithmEditor::ApplyOptionField(OptionField field) {
  // A message box takes the focus away from the field, which would run the
  // rule a second time.
  if (applyingField_) return;
  applyingField_ = true;
  AlgorithmData& alg = ctx_.wb.alg;
  const std::string text = FieldEditor(field)->text().toStdString();
  FieldVerdict verdict = FieldVerdict::Restore;
  const long long largest = field == OptionField::MaxFunctionCalls ? kMaxLongField : kMaxShortField;
  if (field == OptionField::StepReduction) {
    RealFieldCheck check = CheckFractionField(text);
    verdict = check.verdict;
    if (verdict == FieldVerdict::Store) alg.StepReductionFraction = check.value;
  } else {
    // A fraction is stored rounded; the field then shows the number kept.
    IntegerFieldCheck check = CheckIntegerField(text, largest);
    verdict = check.verdict;
    if (verdict == FieldVerdict::Store) {
      if (field == OptionField::MaxFunctionCalls) alg.MaxFunctionCalls = check.value;
      if (field == OptionField::TerminalFrequency) alg.TerminalOutputFrequency = check.value;
      if (field == OptionField::FileFrequency) alg.FileOutputFrequency = check.value;
    }
  }
  RestoreOptionField(field);
  const FieldMessages messages = MessagesFor(field);
  if (verdict == FieldVerdict::Negative) ctx_.desktop.Inform(messages.title, messages.negative);
  if (verdict == FieldVerdict::TooLarge) {
    ctx_.desktop.Inform(messages.title,
                        std::string(messages.subject) + " can be at most " + IntText(largest));
  }
  applyingField_ = false;
}

// --------------------------------------------------------------- tolerance

void AlgorithmEditor::ChangeTolerance() {
  if (mode_ != Mode::Full) return;
  CommitCellEdit();
  AlgorithmData& alg = ctx_.wb.alg;
  bool relative = IsRelativeTolerance(alg.SimplexLimit);
  const char* question = relative
                             ? "Current tolerance type is RELATIVE.\n\nDo you want to change to "
                               "ABSOLUTE?"
                             : "Current tolerance type is ABSOLUTE.\n\nDo you want to change to "
                               "RELATIVE?";
  if (ctx_.desktop.Ask(kToleranceTitle, question, Buttons::YesNo) == Answer::Yes)
    relative = !relative;
  const double magnitude = std::fabs(alg.SimplexLimit);
  for (;;) {
    std::optional<std::string> reply =
        ctx_.desktop.Input({kToleranceTitle,
                            "Current tolerance is " + FormatNumber(magnitude, "0.0E+00") +
                                "  (Minimum allowed is 1E-06)",
                            GeneralNumber(magnitude)});
    if (!reply || IsBlank(*reply)) return;  // no change, not even of the type
    if (std::optional<double> entered = ParseNumber(*reply)) {
      alg.SimplexLimit = ToleranceFromEntry(*entered, relative);
      FillTolerance();
      return;
    }
  }
}

// --------------------------------------------------------- minimization log

void AlgorithmEditor::OpenLog() {
  Workbench& wb = ctx_.wb;
  if (mode_ != Mode::Full || wb.log.IsOpen()) return;
  // The algorithm file keeps the name right-justified in its field; the
  // proposal drops those blanks (the stored name stays as read).
  const std::string proposal = Q(wb.alg.OutputFileName).trimmed().toStdString();
  std::optional<std::string> chosen = ctx_.desktop.SaveFileName(
      {"Save minimization progress in...", "All files (*.*)|*.*|Estimetrix log files (*.exl)|*.exl",
       2, proposal, false});
  if (!chosen || IsBlank(*chosen)) return;
  const std::string name = LogFileName(*chosen);
  if (!wb.log.Open(name)) {
    const std::string reason = wb.log.Error().empty() ? "" : "\n\n" + wb.log.Error();
    ctx_.desktop.Inform(kLogTitle,
                        "The log file " + name + " could not be opened for output" + reason,
                        Icon::Exclamation);
    return;
  }
  wb.alg.OutputFileName = name;
  wb.alg.FileOutputFrequency = 10;
  RestoreOptionField(OptionField::FileFrequency);
  SetLogControls();
  ctx_.desktop.Inform(kLogTitle, "The log file " + name + " is now open for output");
}

void AlgorithmEditor::CloseLog() {
  Workbench& wb = ctx_.wb;
  if (!wb.log.IsOpen()) return;
  wb.log.Close();
  ctx_.desktop.Inform(kLogTitle,
                      "The old log file " + wb.alg.OutputFileName + " is now closed for input");
  wb.alg.FileOutputFrequency = 0;
  RestoreOptionField(OptionField::FileFrequency);
  SetLogControls();
}

}  // namespace estimetrix
