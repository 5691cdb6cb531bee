#pragma once
// The Simplex progress window (frmSimplex): the initial simplex in the upper
// pane, progress and the result in the lower one, and the Interrupt button.

#include <QElapsedTimer>
#include <QWidget>

#include "engine/minimizers/simplex.h"

class QPlainTextEdit;
class QPushButton;

namespace estimetrix {

struct AppContext;

class frmSimplex : public QWidget, public SimplexView {
  Q_OBJECT
 public:
  explicit frmSimplex(AppContext& ctx, QWidget* parent = nullptr);

  void Open() override;
  void SetUpperText(const std::string& text) override;
  void SetLowerText(const std::string& text) override;
  void SetInterruptCaption(const std::string& caption) override;
  void SetInterruptEnabled(bool enabled) override;
  // At most about 30 pane updates a second, however fast the model is.
  bool ReadyForText() override;

  // While a run is in progress closing the window only asks for an interrupt.
  void SetRunning(bool running);

  QString UpperText() const;
  QString LowerText() const;
  QPushButton* InterruptButton() const { return interrupt_; }

 protected:
  // After a run: clears the panes and status panels 1-3 and shows the menu.
  void closeEvent(QCloseEvent* event) override;

 private:
  void RequestInterrupt();

  AppContext& ctx_;
  QPlainTextEdit* upper_ = nullptr;
  QPlainTextEdit* lower_ = nullptr;
  QPushButton* interrupt_ = nullptr;
  QElapsedTimer sinceLowerText_;
  bool running_ = false;
};

// The window of the session, created on first use.
frmSimplex* SimplexWindow(AppContext& ctx);

}  // namespace estimetrix
