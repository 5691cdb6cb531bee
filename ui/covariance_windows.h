#pragma once
// The covariance windows: the progress window frmCovData (the running log,
// later the report, and its Interrupt button) and the display window
// frmCovDisplay that shows and saves the results.

#include <QString>
#include <QWidget>
#include <string>

#include "engine/covariance/covariance.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace estimetrix {

struct AppContext;
class frmCovDisplay;

inline constexpr const char* kInterruptCaption = "&Interrupt these calculations";

class frmCovData : public QWidget {
  Q_OBJECT
 public:
  explicit frmCovData(AppContext& ctx);

  void SetDisplay(frmCovDisplay* display) { display_ = display; }
  // Clears the log and arms the Interrupt button for a new calculation.
  void StartLog();
  void AppendLog(const std::string& text);
  void SetText(const std::string& text);
  const std::string& Text() const { return text_; }
  void EnableInterrupt();
  void SetStopCaption(const QString& caption);
  void ShowInFront();

  QPushButton* stopButton() const { return cmdStop_; }
  QPlainTextEdit* log() const { return rtbCovData_; }

  // cmdStop: Interrupt while the calculation runs; afterwards it brings the
  // display window to the front.
  void Stop();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  AppContext& ctx_;
  frmCovDisplay* display_ = nullptr;
  std::string text_;  // the log or report exactly as it will be saved
  QPlainTextEdit* rtbCovData_ = nullptr;
  QPushButton* cmdStop_ = nullptr;
};

class frmCovDisplay : public QWidget {
  Q_OBJECT
 public:
  frmCovDisplay(AppContext& ctx, frmCovData* data);

  // Opens in front with the label for CovarianceDisplayMode; closes the menu form.
  void ShowResults();
  // cmdScreen: builds the report into the progress window.
  void DisplayOnScreen();
  // cmdFile: saves the progress window's text as a covariance file.
  void SaveResults();
  // cmdFinish: closes both windows and brings the menu form back.
  void Finish();
  void SetSaveEnabled(bool enabled);
  void ShowInFront();

  QLabel* label() const { return lblCovDisplay_; }
  QPlainTextEdit* explanation() const { return txtCovDisplay_; }
  QPushButton* screenButton() const { return cmdScreen_; }
  QPushButton* fileButton() const { return cmdFile_; }
  QPushButton* finishButton() const { return cmdFinish_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  AppContext& ctx_;
  frmCovData* data_;
  bool finishing_ = false;
  QLabel* lblCovDisplay_ = nullptr;
  QPlainTextEdit* txtCovDisplay_ = nullptr;
  QPushButton* cmdScreen_ = nullptr;
  QPushButton* cmdFile_ = nullptr;
  QPushButton* cmdFinish_ = nullptr;
};

struct CovarianceWindows {
  frmCovData* data = nullptr;
  frmCovDisplay* display = nullptr;
};

// The two windows of the session, created on first use. They live as long as
// the main window; closing them only hides them.
CovarianceWindows FindOrCreateCovarianceWindows(AppContext& ctx);

// The calculation's view of the windows.
class WindowCovarianceViews : public CovarianceViews {
 public:
  WindowCovarianceViews(AppContext& ctx, CovarianceWindows windows)
      : ctx_(ctx), windows_(windows) {}
  void EditAlgorithmDataAndWait() override;
  void ShowProgress() override;
  void AppendLog(const std::string& text) override;
  void EnableInterrupt() override;
  void ShowDisplay() override;

 private:
  AppContext& ctx_;
  CovarianceWindows windows_;
};

}  // namespace estimetrix
