#pragma once
// The Marquardt progress window (frmMarquardt): the report rebuilt after every
// accepted iteration, "&Interrupt", and the two buttons that release the
// optional derivative display.

#include <QElapsedTimer>
#include <QString>
#include <QWidget>

#include "engine/minimizers/marquardt.h"

class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace estimetrix {

struct AppContext;

inline constexpr const char* kMarquardtWindowCaption =
    "Marquardt minimization (uses derivatives; works best when model behaviour is "
    "close-to-linear; progress is insensitive to (non-zero) step sizes)";

class frmMarquardt : public QWidget, public MarquardtView {
  Q_OBJECT
 public:
  explicit frmMarquardt(AppContext& ctx, QWidget* parent = nullptr);

  void Show(int freeCount) override;
  void Close() override;
  // At most about 30 repaints a second: a text that comes sooner waits for a
  // timer, and only the newest waiting text is shown.
  void SetText(const std::string& text) override;
  void SetInterruptEnabled(bool enabled) override;
  void SetInterruptCaption(const std::string& caption) override;
  void SetDerivativeButtonsVisible(bool visible) override;
  void Idle() override;

  // While a command runs, closing the window only releases the derivative
  // display; afterwards it also closes the window and brings the menu back.
  void SetRunning(bool running);

  QString Text() const;  // the text shown, after any waiting text is shown
  QPushButton* InterruptButton() const { return cmdStop_; }
  QPushButton* NextIterationButton() const { return cmdIteration_; }
  QPushButton* ContinueButton() const { return cmdContinue_; }
  QPlainTextEdit* TextBox() const { return rtbMarquardt_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void RequestInterrupt();
  void NextIteration();
  void ContinueWithoutDerivatives();
  void ShowPendingText();
  void ReleaseDerivativeDisplay(bool switchOff);

  AppContext& ctx_;
  QPlainTextEdit* rtbMarquardt_ = nullptr;
  QPushButton* cmdStop_ = nullptr;
  QPushButton* cmdIteration_ = nullptr;
  QPushButton* cmdContinue_ = nullptr;
  QTimer* repaint_ = nullptr;
  QElapsedTimer sinceText_;
  QString pendingText_;
  bool textPending_ = false;
  bool closingByRun_ = false;
};

// The window of the session, created on first use.
frmMarquardt* MarquardtWindow(AppContext& ctx);

}  // namespace estimetrix
