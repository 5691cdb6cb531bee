#pragma once
// The "Algorithm data" window (frmAlgo): values, steps and fuse codes in a
// grid, the minimization options, and the minimization log's open and close.

#include <QWidget>

namespace estimetrix {

struct AppContext;

class AlgorithmEditor : public QWidget {
  Q_OBJECT
 public:
  // Restricted: opened by the covariance calculation or the ranking window;
  // the minimization options and the log buttons are disabled.
  enum class Mode { Full, Restricted };

  AlgorithmEditor(AppContext& ctx, Mode mode, QWidget* parent = nullptr);

 signals:
  // Emitted once the editor has run its closing actions.
  void closed();

 private:
  AppContext& ctx_;
  Mode mode_;
};

// Opens the editor without blocking (OpenAlgorithmEditor) and puts the focus on
// "&Finish editing"; sets ctx.editor while it is open.
AlgorithmEditor* OpenAlgorithmEditor(AppContext& ctx, AlgorithmEditor::Mode mode);

// Opens the editor and yields to the event loop until it has closed (used by
// the covariance calculation, which must wait for the user's edits).
void OpenAlgorithmEditorAndWait(AppContext& ctx, AlgorithmEditor::Mode mode);

}  // namespace estimetrix
