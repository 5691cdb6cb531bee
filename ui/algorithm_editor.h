#pragma once
// The "Algorithm data" window (frmAlgo): values, steps and fuse codes in a
// grid, the minimization options, and the minimization log's open and close.

#include <QWidget>
#include <array>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QCloseEvent;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QVBoxLayout;

namespace estimetrix {

struct AppContext;

class AlgorithmEditor : public QWidget {
  Q_OBJECT
 public:
  // Restricted: opened by the covariance calculation or the ranking window;
  // the minimization options and the log buttons are disabled.
  enum class Mode { Full, Restricted };

  // Columns of the grid grdVS; grid row r (0-based) shows parameter r + 1.
  enum Column { kParameterColumn = 0, kValueColumn, kStepColumn, kFuseColumn, kDescriptionColumn };

  // The five buttons of the "Edit all parameters" dialog, in their order.
  enum class ValueChoice {
    FreeValuesAndSteps,  // "Change &free values and step sizes (proportionately)"
    ValuesOnly,          // "Change all values but &not their step sizes"
    AllValuesAndSteps,   // "Change &all values and step sizes (proportionately)"
    Unfuse,              // "Unfuse all values"
    ProportionOnly,      // "Change only the step size &proportionality constant"
  };

  // The option fields checked when the user leaves them.
  enum class OptionField { MaxFunctionCalls, TerminalFrequency, FileFrequency, StepReduction };

  // Runs the opening actions: fuse groups normalised, free parameters listed,
  // menu form closed, the step proportion defaulted, grid and options filled.
  AlgorithmEditor(AppContext& ctx, Mode mode, QWidget* parent = nullptr);

  Mode mode() const { return mode_; }
  void SetMode(Mode mode);

  // The editor's commands, as its buttons, menu items and double-clicks run them.
  void FinishEditing();
  void UpdateEdits();
  void EditValues();  // shows the "Edit all parameters" dialog
  void ApplyValueChoice(ValueChoice choice);
  void EditAllSteps();
  void EditAllFuseCodes();
  void UnfuseAll();
  // Asks for the step proportion; false when the user cancelled.
  bool ChangeStepProportion();
  void ChangeTolerance();
  void OpenLog();
  void CloseLog();

  // In-cell edit of parameter `parameter` (1..N) in the value, step or fuse
  // column: a text box over the cell, applied when it loses focus or on Enter.
  void BeginCellEdit(int parameter, int column);
  // Applies a pending in-cell edit (closing the window does this too).
  void CommitCellEdit();
  void CancelCellEdit();

  // The option field's rule, run when the user leaves the field.
  void ApplyOptionField(OptionField field);

  // True when the cell has been changed by the user since the editor opened.
  bool IsEdited(int parameter, int column) const;
  QTableWidget* grid() const { return grid_; }

 signals:
  // Emitted once the editor has run its closing actions.
  void closed();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Building the window (algorithm_editor.cpp).
  void BuildWindow();
  QWidget* BuildOptionsFrame();
  QWidget* BuildCommandButtons();
  void BuildMenuBar(QVBoxLayout* layout);
  void RunOpeningActions();
  void RunClosingActions();
  void ApplyMode();

  // The grid.
  int ParameterCount() const;
  void FillCaption();
  void FillGrid();
  void RefreshCell(int parameter, int column);
  void RefreshRow(int parameter);
  void ShowAndHighlightRow(int parameter);
  void ClearHighlight();
  void OnHeaderDoubleClicked(int column);
  void OnCellDoubleClicked(int row, int column);

  // Edits (algorithm_editor_edits.cpp).
  double& NumberAt(int parameter, int column);
  void StoreNumber(int parameter, int column, double value);
  void StoreFuseCode(int parameter, const std::string& code);
  void SetProportionalStep(int parameter);
  void MarkEdited(int parameter, int column);
  void NoteDataChanged();
  bool EditNumbersInTurn(int column, const std::vector<int>& parameters, const std::string& title,
                         const std::string& prompt, bool proportionalSteps);
  std::optional<ValueChoice> AskValueChoice();
  std::vector<int> AllParameters() const;
  std::vector<int> FreeParameters() const;
  void ApplyCellEdit(int parameter, int column, const std::string& text);

  // Options and log (algorithm_editor_options.cpp).
  void FillOptions();
  void FillTolerance();
  void SetLogControls();
  QLineEdit* FieldEditor(OptionField field) const;
  void RestoreOptionField(OptionField field);

  AppContext& ctx_;
  Mode mode_;
  bool closing_ = false;
  bool applyingField_ = false;

  // Cells changed by the user, per parameter (1..N), for value, step and fuse.
  std::vector<std::array<bool, 3>> edited_;
  int highlightedRow_ = -1;

  // The pending in-cell edit.
  QLineEdit* cellEditor_ = nullptr;
  int editParameter_ = 0;
  int editColumn_ = -1;

  QLabel* caption_ = nullptr;
  QTableWidget* grid_ = nullptr;
  QGroupBox* optionsFrame_ = nullptr;
  QLabel* toleranceLabel_ = nullptr;
  QLineEdit* toleranceText_ = nullptr;
  QLineEdit* maxCallsText_ = nullptr;
  QLineEdit* terminalText_ = nullptr;
  QLabel* fileFrequencyLabel_ = nullptr;
  QLineEdit* fileFrequencyText_ = nullptr;
  QLineEdit* logNameText_ = nullptr;
  QLineEdit* reductionText_ = nullptr;
  QPushButton* openLogButton_ = nullptr;
  QPushButton* closeLogButton_ = nullptr;
  QPushButton* finishButton_ = nullptr;
};

// Opens the editor without blocking (OpenAlgorithmEditor) and puts the focus on
// "&Finish editing"; sets ctx.editor while it is open. When an editor is already
// open it is brought to the front in the requested mode and returned.
AlgorithmEditor* OpenAlgorithmEditor(AppContext& ctx, AlgorithmEditor::Mode mode);

// Opens the editor and yields to the event loop until it has closed (used by
// the covariance calculation, which must wait for the user's edits).
void OpenAlgorithmEditorAndWait(AppContext& ctx, AlgorithmEditor::Mode mode);

}  // namespace estimetrix
