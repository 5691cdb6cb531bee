// The runner's frame: reading the command line, the usage text, answering the
// dialogues of a run without a desktop, and running the commands in order.

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <sstream>
#include <streambuf>

#include "app/batch_runner.h"
#include "engine/state/algorithm_data.h"
#include "engine/state/workbench.h"
#include "platform/text_file.h"

namespace estimetrix {

namespace {

constexpr const char* kProgram = "estimetrix-batch";

struct CommandCall {
  const BatchCommand* command = nullptr;
  std::string argument;
};

struct CommandLine {
  std::map<std::string, std::string> options;
  std::vector<CommandCall> calls;
};

// How many words an argument name stands for ("PARAM POINTS GRID": 3), and
// how many of them may be left out (those in brackets, "[GRID]").
struct ArgumentWords {
  size_t wanted = 0;
  size_t optional = 0;
};
ArgumentWords ArgumentCount(const std::string& argumentName) {
  std::istringstream names(argumentName);
  std::string name;
  ArgumentWords count;
  while (names >> name) {
    ++count.wanted;
    if (name.front() == '[') ++count.optional;
  }
  return count;
}

// A value that names a file or a folder ("FILE", "DIR").
bool NamesAFile(const std::string& valueName) {
  return valueName == "FILE" || valueName == "DIR";
}

std::string NoNameGiven(const std::string& name, const std::string& valueName) {
  return name + (valueName == "DIR" ? ": no folder name given" : ": no file name given");
}

class WordReader {
 public:
  explicit WordReader(const std::vector<BatchArea>& areas) {
    for (const BatchArea& area : areas) {
      for (const BatchOption& option : area.options) options_.emplace(option.name, &option);
      for (const BatchCommand& command : area.commands) commands_.emplace(command.name, &command);
    }
  }

  // Options may stand anywhere; each takes its value from "=value" or the
  // next word. Every other word is a command, which takes the next word when
  // it has an argument.
  std::optional<CommandLine> Read(const std::vector<std::string>& words, std::string& error) {
    CommandLine line;
    for (size_t i = 0; i < words.size(); ++i) {
      const std::string& word = words[i];
      bool more = i + 1 < words.size();
      if (word.rfind("--", 0) == 0) {
        size_t equals = word.find('=');
        std::string name = word.substr(0, equals);
        auto it = options_.find(name);
        if (it == options_.end()) return Fail(error, "unknown option " + name);
        const BatchOption& option = *it->second;
        if (option.valueName.empty()) {
          if (equals != std::string::npos) return Fail(error, name + " takes no value");
          line.options[name] = "";
        } else if (equals != std::string::npos) {
          line.options[name] = word.substr(equals + 1);
        } else if (more) {
          line.options[name] = words[++i];
        } else {
          return Fail(error, name + " needs a value " + option.valueName);
        }
        if (NamesAFile(option.valueName) && line.options[name].empty())
          return Fail(error, NoNameGiven(name, option.valueName));
        continue;
      }
      auto it = commands_.find(word);
      if (it == commands_.end()) return Fail(error, "unknown command " + word);
      CommandCall call{it->second, {}};
      const ArgumentWords count = ArgumentCount(call.command->argumentName);
      const size_t wanted = count.wanted;
      if (wanted > 0) {
        const std::string needs = word + (wanted == 1 ? " needs an argument " : " needs ") +
                                  call.command->argumentName;
        if (!more) return Fail(error, needs);
        // Several arguments come as that many words, or as one word with commas.
        call.argument = words[++i];
        if (wanted > 1 && call.argument.find(',') == std::string::npos) {
          for (size_t k = 1; k < wanted; ++k) {
            const bool optional = k >= wanted - count.optional;
            if (optional && !ArgumentFollows(words, i + 1)) break;
            if (i + 1 >= words.size()) return Fail(error, needs);
            call.argument += "," + words[++i];
          }
        }
        if (NamesAFile(call.command->argumentName) && call.argument.empty())
          return Fail(error, NoNameGiven(word, call.command->argumentName));
      }
      line.calls.push_back(call);
    }
    return line;
  }

 private:
  // True when words[at] exists and is neither an option nor a command, so it
  // can stand for an argument that may be left out.
  bool ArgumentFollows(const std::vector<std::string>& words, size_t at) const {
    if (at >= words.size()) return false;
    const std::string& word = words[at];
    return word.rfind("--", 0) != 0 && commands_.count(word) == 0;
  }

  static std::optional<CommandLine> Fail(std::string& error, const std::string& text) {
    error = text;
    return std::nullopt;
  }

  std::map<std::string, const BatchOption*> options_;
  std::map<std::string, const BatchCommand*> commands_;
};

bool AsksForHelp(const std::vector<std::string>& words) {
  for (const std::string& word : words)
    if (word == "--help" || word == "-h") return true;
  return false;
}

std::string QuestionText(const DialogRecord& record) {
  switch (record.kind) {
    case DialogKind::Message:
    case DialogKind::Input: return EscapeControlCharacters(record.title + ": " + record.text);
    case DialogKind::OpenFile:
    case DialogKind::SaveFile: return EscapeControlCharacters(record.title) + ": (file dialogue)";
  }
  return EscapeControlCharacters(record.title);
}

// The dialogues the runner's desktop keeps: it never reads them, and a long
// run asks many questions.
constexpr size_t kKeptDialogues = 64;

// An input question asked again after the runner answered it means the
// answer was refused. Asked a third time within one command, the same answer
// would be refused for ever (and the question asked for ever): the command
// ends instead.
class RefusedAnswers {
 public:
  void NewCommand() { asked_.clear(); }
  bool RefusedTwice(const DialogRecord& record) {
    if (record.kind != DialogKind::Input) return false;
    return ++asked_[record.title + '\n' + record.text] > 2;
  }

 private:
  std::map<std::string, int> asked_;
};

// Passes what is written to `target` on and notes that something was: the
// plot writer reports every plot file it could not write to its stream.
class NotingBuffer : public std::streambuf {
 public:
  explicit NotingBuffer(std::ostream& target) : target_(target) {}
  bool Noted() const { return noted_; }
  void Forget() { noted_ = false; }

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    noted_ = true;
    target_.put(traits_type::to_char_type(c));
    return c;
  }
  std::streamsize xsputn(const char* text, std::streamsize count) override {
    noted_ = noted_ || count > 0;
    target_.write(text, count);
    return count;
  }

 private:
  std::ostream& target_;
  bool noted_ = false;
};

// Why --plots DIR cannot take the plot files, or "" when it can: the folder
// is made when it is missing; a path that is no folder, or a folder without
// write permission (for anyone, or for this process), is refused before any
// command runs rather than after every plot failed.
std::string PlotFolderProblem(const std::string& folder) {
  struct stat info;
  if (::stat(folder.c_str(), &info) != 0) {
    std::error_code failure;
    std::filesystem::create_directories(folder, failure);
    if (failure) return "could not make the folder " + folder + ": " + failure.message();
    if (::stat(folder.c_str(), &info) != 0) return "could not make the folder " + folder;
  }
  if (!S_ISDIR(info.st_mode)) return folder + " is not a folder";
  if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
      ::access(folder.c_str(), W_OK | X_OK) != 0)
    return folder + " is a folder this run may not write into";
  return "";
}

// What a command may have left behind beyond its own result: a log that
// could not be written (a full disk), plot files that were not written.
int CommandAftermath(BatchSession& session, NotingBuffer* plotErrors) {
  MinimizationLog& log = session.wb.log;
  if (log.IsOpen() && log.WriteFailed())
    return BatchFail(session,
                     "the log file " + log.Path() + " could not be written: " + log.Error());
  if (plotErrors && plotErrors->Noted()) {
    plotErrors->Forget();
    return BatchFail(session, std::string(kPlotsOption) + ": not every plot was written");
  }
  return kBatchSucceeded;
}

// "  name VALUE" then the help, wrapped at 79 columns in a column of its own.
void AddUsageLine(std::ostringstream& text, const std::string& left, const std::string& help) {
  constexpr size_t kColumn = 30;
  constexpr size_t kWidth = 79;
  std::string line = "  " + left;
  if (line.size() + 1 >= kColumn) {
    text << line << "\n";
    line.clear();
  }
  line.resize(kColumn, ' ');
  std::istringstream words(help);
  std::string word;
  bool lineHasWord = false;
  while (words >> word) {
    if (lineHasWord && line.size() + 1 + word.size() > kWidth) {
      text << line << "\n";
      line.assign(kColumn, ' ');
      lineHasWord = false;
    }
    if (lineHasWord) line += ' ';
    line += word;
    lineHasWord = true;
  }
  text << line << "\n";
}

}  // namespace

int BatchFail(BatchSession& session, const std::string& text) {
  session.err << kProgram << ": " << EscapeControlCharacters(text) << "\n";
  return kBatchFailed;
}

CommandOutcome BatchSession::Run(MenuButton button, const std::string& name,
                                 const std::function<void()>& answers) {
  if (!menu.ButtonEnabled(button)) {
    BatchFail(*this, name + ": not available now: the algorithm data are missing or were only "
                            "partly read (load a whole algorithm file first)");
    return CommandOutcome::Refused;
  }
  if (answers) answers();
  CommandContext context{wb, desktop, menu, views};
  const CommandOutcome outcome = RunMenuCommand(button, context);
  // The runner's result windows close as soon as their text is printed, and
  // the menu form comes back as it does when a window closes.
  menu.ShowMenu();
  return outcome;
}

int BatchStatus(CommandOutcome outcome) {
  return outcome == CommandOutcome::Done ? kBatchSucceeded : kBatchFailed;
}

std::string ObjectiveLine(double objective) {
  char value[64];
  std::snprintf(value, sizeof value, "%.17g", objective);
  return std::string("objective ") + value;
}

std::vector<BatchArea> AllBatchAreas() {
  return {ModelBatchArea(),      SimplexBatchArea(), MarquardtBatchArea(),
          CovarianceBatchArea(), SummaryBatchArea(), PriorsBatchArea(),
          EvaluationBatchArea(), McmcBatchArea(),    RankBatchArea(),
          DerivativesBatchArea(), MakeDataBatchArea()};
}

std::string BatchUsage(const std::vector<BatchArea>& areas) {
  std::ostringstream text;
  text << "Usage: " << kProgram << " [OPTION]... [COMMAND [ARGUMENT]]...\n\n"
       << "Initialises the Carapex model from a set-up file and/or the set-up options,\n"
       << "loads the algorithm file (default values when none is given), then runs the\n"
       << "commands in the order given.\n\nOptions:\n";
  for (const BatchArea& area : areas)
    for (const BatchOption& option : area.options)
      AddUsageLine(text, option.name + (option.valueName.empty() ? "" : " " + option.valueName),
                   option.help);
  AddUsageLine(text, "--help", "Show this text and stop.");
  text << "\nCommands:\n";
  for (const BatchArea& area : areas)
    for (const BatchCommand& command : area.commands)
      AddUsageLine(text,
                   command.name + (command.argumentName.empty() ? "" : " " + command.argumentName),
                   command.help);
  text << "\nWhat the workbench would show in a message box goes to standard error as\n"
       << "\"title: text\". Exit status: 0 when every step succeeded, 1 when the set-up,\n"
       << "the algorithm file or a command failed, 2 when a question arose that no\n"
       << "option answers (the question is on standard error).\n";
  return text.str();
}

int RunBatch(const std::vector<BatchArea>& areas, const std::vector<std::string>& words,
             std::ostream& out, std::ostream& err, const PlotWriterFactory& plotWriter) {
  return RunBatchWith(areas, words, out, err, BatchRunHooks{plotWriter, {}});
}

int RunBatchWith(const std::vector<BatchArea>& areas, const std::vector<std::string>& words,
                 std::ostream& out, std::ostream& err, const BatchRunHooks& hooks) {
  const PlotWriterFactory& plotWriter = hooks.plotWriter;
  if (AsksForHelp(words)) {
    out << BatchUsage(areas);
    return kBatchSucceeded;
  }
  std::string error;
  std::optional<CommandLine> line = WordReader(areas).Read(words, error);
  if (!line) {
    err << kProgram << ": " << EscapeControlCharacters(error) << "\nTry '" << kProgram
        << " --help'.\n";
    return kBatchFailed;
  }

  Workbench wb;
  ScriptedDesktop desktop;
  desktop.UseSystemClock();
  desktop.SetTranscriptLimit(kKeptDialogues);
  MenuState menu(wb);
  BatchViews views(err);
  BatchSession session{wb, desktop, line->options, out, err, menu, views};
  std::unique_ptr<PlotView> plots;
  NotingBuffer plotErrorBuffer(err);
  std::ostream plotErrors(&plotErrorBuffer);
  if (session.Has(kPlotsOption)) {
    if (!plotWriter) return BatchFail(session, "this runner was built without plots");
    const std::string problem = PlotFolderProblem(session.Option(kPlotsOption));
    if (!problem.empty()) return BatchFail(session, std::string(kPlotsOption) + ": " + problem);
    plots = plotWriter(session.Option(kPlotsOption), plotErrors);
    if (!plots) return kBatchFailed;
    views.SetPlots(plots.get());
  }
  RefusedAnswers refused;
  bool refusedTwice = false;
  desktop.SetResponder([&](const DialogRecord& record) -> std::optional<DialogReply> {
    if (record.kind == DialogKind::Message && record.buttons == Buttons::Ok) {
      err << EscapeControlCharacters(record.title + ": " + record.text) << "\n";
      return DialogReply{Answer::Ok, std::nullopt};
    }
    if (refused.RefusedTwice(record)) {
      err << QuestionText(record) << "\n"
          << kProgram << ": the answer to this question was refused twice; the command ends\n";
      refusedTwice = true;
      return DialogReply{Answer::Cancel, std::nullopt};
    }
    for (const BatchArea& area : areas)
      for (const BatchAnswerer& answerer : area.answerers)
        if (std::optional<DialogReply> reply = answerer(record, session)) return reply;
    err << QuestionText(record) << "\n" << kProgram << ": no option answers this question\n";
    session.unanswered = true;
    return DialogReply{Answer::Cancel, std::nullopt};
  });
  // A question nobody answered was given Cancel; the run ends after the step
  // that asked it, whatever that step made of the Cancel.
  auto stopped = [&](int status) {
    return session.unanswered || refusedTwice || status != kBatchSucceeded;
  };
  auto finish = [&](int status) {
    if (session.unanswered) return kBatchUnanswered;
    return refusedTwice && status == kBatchSucceeded ? kBatchFailed : status;
  };

  // Leading commands that need no model run first; if nothing else follows,
  // no set-up is needed.
  size_t next = 0;
  for (; next < line->calls.size(); ++next) {
    const BatchCommand& command = *line->calls[next].command;
    bool standalone = false;
    for (const BatchArea& area : areas)
      for (const std::string& name : area.standalone)
        standalone = standalone || name == command.name;
    if (!standalone) break;
    const int result = command.run(session, line->calls[next].argument);
    if (stopped(result)) return finish(result);
  }
  if (next > 0 && next == line->calls.size()) return finish(kBatchSucceeded);

  int status = InitializeFromOptions(session);
  if (stopped(status)) return finish(status);
  if (hooks.initialized) {
    if (std::optional<int> end = hooks.initialized(session)) return finish(*end);
  }
  for (const BatchArea& area : areas) {
    if (!area.prepare) continue;
    status = area.prepare(session);
    if (stopped(status)) return finish(status);
  }
  for (size_t i = next; i < line->calls.size(); ++i) {
    const CommandCall& call = line->calls[i];
    refused.NewCommand();
    status = call.command->run(session, call.argument);
    if (status == kBatchSucceeded)
      status = CommandAftermath(session, plots ? &plotErrorBuffer : nullptr);
    if (stopped(status)) return finish(status);
  }
  return finish(kBatchSucceeded);
}

}  // namespace estimetrix
