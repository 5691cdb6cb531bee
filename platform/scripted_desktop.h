#pragma once
// A Desktop that answers from a script. Tests list the dialogues they expect,
// in order, with their answers; anything unexpected is recorded as a failure
// (and answered with Cancel) so the test can assert that none occurred. The
// headless runner installs a responder instead, which answers by rule.

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop.h"

namespace estimetrix {

enum class DialogKind { Message, Input, OpenFile, SaveFile };

// One dialogue as it was shown.
struct DialogRecord {
  DialogKind kind = DialogKind::Message;
  std::string title;
  std::string text;  // message text, input prompt, or file filter
  Buttons buttons = Buttons::Ok;
  Icon icon = Icon::None;
  int defaultButton = 1;
  std::string defaultText;  // input default or proposed file name
  int filterIndex = 0;
  bool confirmOverwrite = false;
};

// The reply to one dialogue: an Answer for messages; for input boxes and file
// dialogs a text, or no text for Cancel.
struct DialogReply {
  Answer answer = Answer::Ok;
  std::optional<std::string> text;
};

class ScriptedDesktop : public Desktop {
 public:
  // Expect a dialogue of this kind and title next (an empty title matches any).
  void ExpectMessage(const std::string& title, Answer answer = Answer::Ok);
  void ExpectInput(const std::string& title, std::optional<std::string> reply);
  void ExpectOpenFile(const std::string& title, std::optional<std::string> path);
  void ExpectSaveFile(const std::string& title, std::optional<std::string> path);

  // Answers dialogues the script does not cover; without one they are failures.
  using Responder = std::function<std::optional<DialogReply>(const DialogRecord&)>;
  void SetResponder(Responder responder) { responder_ = std::move(responder); }
  // A responder for unattended runs: OK to every message, No to every
  // question, Cancel to every input box and file dialogue.
  static std::optional<DialogReply> DeclineEverything(const DialogRecord& record);

  // Called on every Yield(): tests use it to press Interrupt mid-run.
  void SetYieldHook(std::function<void()> hook) { yieldHook_ = std::move(hook); }

  // The clock: starts at the given value and advances by `tick` per reading.
  void SetClock(double secondsSinceMidnight, double tick = 0.0) {
    clock_ = secondsSinceMidnight;
    tick_ = tick;
  }
  void SetNow(const DateTime& now) { now_ = now; }
  // The machine's own clock and date instead of the scripted ones (the
  // headless runner reports real times and names files by the real date).
  void UseSystemClock() { systemClock_ = true; }

  // Keeps only the last `records` dialogues in the transcript (0: all, the
  // default). A runner that never reads the transcript bounds it, so a long
  // unattended run does not hold every question it was ever asked.
  void SetTranscriptLimit(size_t records) { transcriptLimit_ = records; }

  const std::vector<DialogRecord>& Transcript() const { return transcript_; }
  const std::vector<std::string>& Failures() const { return failures_; }
  // Script steps that were never reached.
  size_t PendingSteps() const { return script_.size(); }
  int YieldCount() const { return yields_; }

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
  struct Step {
    DialogKind kind;
    std::string title;
    DialogReply reply;
  };
  DialogReply Reply(const DialogRecord& record);

  std::deque<Step> script_;
  Responder responder_;
  std::function<void()> yieldHook_;
  std::vector<DialogRecord> transcript_;
  size_t transcriptLimit_ = 0;
  std::vector<std::string> failures_;
  std::map<std::pair<int, int>, std::string> panels_;
  double clock_ = 43200.0, tick_ = 0.0;
  DateTime now_{2026, 12, 8, 14, 35, 0};
  int yields_ = 0;
  bool systemClock_ = false;
};

}  // namespace estimetrix
