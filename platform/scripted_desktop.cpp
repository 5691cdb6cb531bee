#include "platform/scripted_desktop.h"

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <ctime>

namespace estimetrix {

namespace {

const char* KindName(DialogKind kind) {
  switch (kind) {
    case DialogKind::Message: return "message";
    case DialogKind::Input: return "input box";
    case DialogKind::OpenFile: return "open dialog";
    case DialogKind::SaveFile: return "save dialog";
  }
  return "dialogue";
}

}  // namespace

std::string DateTimeName(const DateTime& now) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d%02d%02d%02d", now.month % 100, now.day % 100,
                now.hour % 100, now.minute % 100);
  return text;
}

void ScriptedDesktop::ExpectMessage(const std::string& title, Answer answer) {
  script_.push_back({DialogKind::Message, title, {answer, std::nullopt}});
}

void ScriptedDesktop::ExpectInput(const std::string& title, std::optional<std::string> reply) {
  script_.push_back(
      {DialogKind::Input, title, {reply ? Answer::Ok : Answer::Cancel, std::move(reply)}});
}

void ScriptedDesktop::ExpectOpenFile(const std::string& title, std::optional<std::string> path) {
  script_.push_back(
      {DialogKind::OpenFile, title, {path ? Answer::Ok : Answer::Cancel, std::move(path)}});
}

void ScriptedDesktop::ExpectSaveFile(const std::string& title, std::optional<std::string> path) {
  script_.push_back(
      {DialogKind::SaveFile, title, {path ? Answer::Ok : Answer::Cancel, std::move(path)}});
}

DialogReply ScriptedDesktop::Reply(const DialogRecord& record) {
  if (transcriptLimit_ > 0 && transcript_.size() >= transcriptLimit_)
    transcript_.erase(transcript_.begin(),
                      transcript_.begin() +
                          static_cast<std::ptrdiff_t>(transcript_.size() - transcriptLimit_ + 1));
  transcript_.push_back(record);
  if (!script_.empty()) {
    const Step& step = script_.front();
    if (step.kind == record.kind && (step.title.empty() || step.title == record.title)) {
      DialogReply reply = step.reply;
      script_.pop_front();
      return reply;
    }
  }
  if (responder_) {
    if (auto reply = responder_(record)) return *reply;
  }
  std::string expected = script_.empty()
                             ? std::string("nothing")
                             : std::string(KindName(script_.front().kind)) + " \"" +
                                   script_.front().title + "\"";
  failures_.push_back(std::string("unexpected ") + KindName(record.kind) + " \"" +
                      record.title + "\": \"" + record.text + "\" (expected " + expected +
                      ")");
  return {Answer::Cancel, std::nullopt};
}

std::optional<DialogReply> ScriptedDesktop::DeclineEverything(const DialogRecord& record) {
  if (record.kind != DialogKind::Message) return DialogReply{Answer::Cancel, std::nullopt};
  return DialogReply{record.buttons == Buttons::Ok ? Answer::Ok : Answer::No, std::nullopt};
}

Answer ScriptedDesktop::Message(const MessageRequest& request) {
  DialogRecord record;
  record.kind = DialogKind::Message;
  record.title = request.title;
  record.text = request.text;
  record.buttons = request.buttons;
  record.icon = request.icon;
  record.defaultButton = request.defaultButton;
  return Reply(record).answer;
}

std::optional<std::string> ScriptedDesktop::Input(const InputRequest& request) {
  DialogRecord record;
  record.kind = DialogKind::Input;
  record.title = request.title;
  record.text = request.prompt;
  record.defaultText = request.defaultText;
  return Reply(record).text;
}

std::optional<std::string> ScriptedDesktop::OpenFileName(const FileDialogRequest& request) {
  DialogRecord record;
  record.kind = DialogKind::OpenFile;
  record.title = request.title;
  record.text = request.filter;
  record.filterIndex = request.filterIndex;
  record.defaultText = request.proposedName;
  return Reply(record).text;
}

std::optional<std::string> ScriptedDesktop::SaveFileName(const FileDialogRequest& request) {
  DialogRecord record;
  record.kind = DialogKind::SaveFile;
  record.title = request.title;
  record.text = request.filter;
  record.filterIndex = request.filterIndex;
  record.defaultText = request.proposedName;
  record.confirmOverwrite = request.confirmOverwrite;
  return Reply(record).text;
}

void ScriptedDesktop::SetStatus(StatusBar bar, int panel, const std::string& text) {
  panels_[{static_cast<int>(bar), panel}] = text;
}

std::string ScriptedDesktop::Status(StatusBar bar, int panel) const {
  auto it = panels_.find({static_cast<int>(bar), panel});
  return it == panels_.end() ? std::string() : it->second;
}

void ScriptedDesktop::Yield() {
  ++yields_;
  if (yieldHook_) yieldHook_();
}

double ScriptedDesktop::SecondsSinceMidnight() {
  if (systemClock_) {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    const double fraction =
        std::chrono::duration<double>(now - std::chrono::system_clock::from_time_t(seconds))
            .count();
    return local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + fraction;
  }
  double now = clock_;
  clock_ += tick_;
  return now;
}

DateTime ScriptedDesktop::Now() {
  if (!systemClock_) return now_;
  const std::time_t seconds = std::time(nullptr);
  std::tm local{};
  localtime_r(&seconds, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
          local.tm_hour,        local.tm_min,     local.tm_sec};
}

}  // namespace estimetrix
