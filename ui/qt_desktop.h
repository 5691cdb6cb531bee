#pragma once
// The desktop of the workbench window: Qt message boxes, input boxes and file
// dialogs, the main window's status panels, a cheap yield and the clock.

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <map>
#include <utility>

#include "platform/desktop.h"

class QWidget;

namespace estimetrix {

// Where the status texts are shown (the main window's two status bars).
class StatusPanelView {
 public:
  virtual ~StatusPanelView() = default;
  virtual void ShowStatus(StatusBar bar, int panel, const QString& text) = 0;
};

// A '|'-separated filter ("All files (*.*)|*.*|Algorithm files (*.alg)|*.alg|")
// as Qt's name filters, one per entry, each naming its patterns in brackets.
QStringList QtNameFilters(const std::string& filter);

class QtDesktop : public Desktop {
 public:
  // Dialogs are parented to `window` and status texts go to `panels`; both may
  // be attached later (the main window is built after the desktop).
  void Attach(QWidget* window, StatusPanelView* panels);

  Answer Message(const MessageRequest& request) override;
  std::optional<std::string> Input(const InputRequest& request) override;
  std::optional<std::string> OpenFileName(const FileDialogRequest& request) override;
  std::optional<std::string> SaveFileName(const FileDialogRequest& request) override;

  void SetStatus(StatusBar bar, int panel, const std::string& text) override;
  std::string Status(StatusBar bar, int panel) const override;

  void Yield() override;
  double SecondsSinceMidnight() override;
  DateTime Now() override;

 private:
  std::optional<std::string> FileName(const FileDialogRequest& request, bool save);

  QWidget* window_ = nullptr;
  StatusPanelView* panels_ = nullptr;
  std::map<std::pair<int, int>, std::string> texts_;
  QElapsedTimer sinceLastYield_;
};

}  // namespace estimetrix
