// The runner's frame: reading the command line, the usage text, answering the
// dialogues of a run without a desktop, and running the commands in order.

#include <cstdio>
#include <map>
#include <optional>
#include <sstream>

#include "app/batch_runner.h"
#include "engine/state/algorithm_data.h"

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

// How many words an argument name stands for ("PARAM POINTS GRID": 3).
size_t ArgumentCount(const std::string& argumentName) {
  std::istringstream names(argumentName);
  std::string name;
  size_t count = 0;
  while (names >> name) ++count;
  return count;
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
        continue;
      }
      auto it = commands_.find(word);
      if (it == commands_.end()) return Fail(error, "unknown command " + word);
      CommandCall call{it->second, {}};
      const size_t wanted = ArgumentCount(call.command->argumentName);
      if (wanted > 0) {
        const std::string needs = word + (wanted == 1 ? " needs an argument " : " needs ") +
                                  call.command->argumentName;
        if (!more) return Fail(error, needs);
        // Several arguments come as that many words, or as one word with commas.
        call.argument = words[++i];
        if (wanted > 1 && call.argument.find(',') == std::string::npos) {
          for (size_t k = 1; k < wanted; ++k) {
            if (i + 1 >= words.size()) return Fail(error, needs);
            call.argument += "," + words[++i];
          }
        }
      }
      line.calls.push_back(call);
    }
    return line;
  }

 private:
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
    case DialogKind::Input: return record.title + ": " + record.text;
    case DialogKind::OpenFile:
    case DialogKind::SaveFile: return record.title + ": (file dialogue)";
  }
  return record.title;
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
  session.err << kProgram << ": " << text << "\n";
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
          EvaluationBatchArea(), RankBatchArea(),    MakeDataBatchArea()};
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
  if (AsksForHelp(words)) {
    out << BatchUsage(areas);
    return kBatchSucceeded;
  }
  std::string error;
  std::optional<CommandLine> line = WordReader(areas).Read(words, error);
  if (!line) {
    err << kProgram << ": " << error << "\nTry '" << kProgram << " --help'.\n";
    return kBatchFailed;
  }

  Workbench wb;
  ScriptedDesktop desktop;
  desktop.UseSystemClock();
  MenuState menu(wb);
  BatchViews views(err);
  BatchSession session{wb, desktop, line->options, out, err, menu, views};
  std::unique_ptr<PlotView> plots;
  if (session.Has(kPlotsOption)) {
    if (!plotWriter) return BatchFail(session, "this runner was built without plots");
    plots = plotWriter(session.Option(kPlotsOption), err);
    if (!plots) return kBatchFailed;
    views.SetPlots(plots.get());
  }
  bool unanswered = false;
  desktop.SetResponder([&](const DialogRecord& record) -> std::optional<DialogReply> {
    if (record.kind == DialogKind::Message && record.buttons == Buttons::Ok) {
      err << record.title << ": " << record.text << "\n";
      return DialogReply{Answer::Ok, std::nullopt};
    }
    for (const BatchArea& area : areas)
      for (const BatchAnswerer& answerer : area.answerers)
        if (std::optional<DialogReply> reply = answerer(record, session)) return reply;
    err << QuestionText(record) << "\n" << kProgram << ": no option answers this question\n";
    unanswered = true;
    return DialogReply{Answer::Cancel, std::nullopt};
  });
  // A question nobody answered was given Cancel; the run ends after the step
  // that asked it, whatever that step made of the Cancel.
  auto stopped = [&](int status) { return unanswered || status != kBatchSucceeded; };
  auto finish = [&](int status) { return unanswered ? kBatchUnanswered : status; };

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
  for (const BatchArea& area : areas) {
    if (!area.prepare) continue;
    status = area.prepare(session);
    if (stopped(status)) return finish(status);
  }
  for (size_t i = next; i < line->calls.size(); ++i) {
    const CommandCall& call = line->calls[i];
    status = call.command->run(session, call.argument);
    if (stopped(status)) return finish(status);
  }
  return finish(kBatchSucceeded);
}

}  // namespace estimetrix
