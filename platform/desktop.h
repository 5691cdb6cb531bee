#pragma once
// The desktop as the numerical core sees it: modal dialogues, status-bar
// panels, yielding to the event loop, the clock. The Qt implementation lives
// in ui/; platform/scripted_desktop.h answers from a script for tests and the
// headless runner. Nothing here knows about Qt.

#include <optional>
#include <string>

namespace estimetrix {

enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Icon { None, Information, Question, Exclamation, Critical };
enum class Answer { Ok, Cancel, Yes, No };

struct MessageRequest {
  std::string title;
  std::string text;  // line breaks as "\n"
  Buttons buttons = Buttons::Ok;
  Icon icon = Icon::None;
  int defaultButton = 1;  // 1-based position among the buttons
};

struct InputRequest {
  std::string title;
  std::string prompt;
  std::string defaultText;  // shown selected so typing replaces it
};

struct FileDialogRequest {
  std::string title;
  // Entries separated by '|', description then pattern, e.g.
  // "All files (*.*)|*.*|Algorithm files (*.alg)|*.alg"; a trailing '|' is allowed.
  std::string filter;
  int filterIndex = 1;       // 1-based entry preselected
  std::string proposedName;  // path or bare name offered to the user
  bool confirmOverwrite = false;  // save dialogs: ask before replacing a file
};

// The main window's status bars: the algorithm/priors file bar (panel 1 the
// algorithm file, panel 2 the priors file) and the progress bar (panels 1-4).
enum class StatusBar { Files, Progress };

struct DateTime {
  int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

class Desktop {
 public:
  virtual ~Desktop() = default;

  virtual Answer Message(const MessageRequest& request) = 0;
  // nullopt when the user cancels.
  virtual std::optional<std::string> Input(const InputRequest& request) = 0;
  virtual std::optional<std::string> OpenFileName(const FileDialogRequest& request) = 0;
  virtual std::optional<std::string> SaveFileName(const FileDialogRequest& request) = 0;

  virtual void SetStatus(StatusBar bar, int panel, const std::string& text) = 0;
  virtual std::string Status(StatusBar bar, int panel) const = 0;

  // Lets windows repaint and buttons set their request flags.
  virtual void Yield() = 0;
  // Seconds since midnight, with fractions.
  virtual double SecondsSinceMidnight() = 0;
  virtual DateTime Now() = 0;

  // Conveniences over Message.
  void Inform(const std::string& title, const std::string& text,
              Icon icon = Icon::Information) {
    Message({title, text, Buttons::Ok, icon, 1});
  }
  Answer Ask(const std::string& title, const std::string& text, Buttons buttons,
             Icon icon = Icon::Question, int defaultButton = 1) {
    return Message({title, text, buttons, icon, defaultButton});
  }
  void ClearProgressPanels() {
    for (int panel = 1; panel <= 4; ++panel) SetStatus(StatusBar::Progress, panel, "");
  }
};

// "mmddhhmm": the eight-digit name given to an unnamed file about to be saved.
std::string DateTimeName(const DateTime& now);

}  // namespace estimetrix
