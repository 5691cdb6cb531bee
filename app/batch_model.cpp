// The model's part of the runner: the set-up options (the set-up form's
// choices), initialisation and loading, and the evaluate command.

#include "app/batch_runner.h"
#include "engine/base/format.h"
#include "engine/objective/objective.h"
#include "engine/state/algorithm_data.h"
#include "engine/state/algorithm_file.h"
#include "model/initialize.h"

namespace estimetrix {

namespace {

constexpr const char* kThreads = "--threads";

struct SetupOption {
  const char* key;  // the set-up file key; the option is "--" + key
  const char* valueName;
  const char* help;
};

// In the order they are applied and listed.
constexpr SetupOption kSetupOptions[] = {
    {"frequencies", "FILE", "Size-frequency data file."},
    {"series", "N", "Number of frequency series (default 1)."},
    {"first-cell", "N", "First frequency cell evaluated (default 1)."},
    {"identified", "N", "Number of smaller identifiable instars (default 0)."},
    {"blended", "N", "Number of blended, larger instars (default 0)."},
    {"instars", "gaussian|gamma", "Instar size distributions (default gaussian)."},
    {"truncation", "zero|missing",
     "zero: frequencies are zero beyond the sampled extremes (default); missing: the "
     "distribution was truncated at its extremes."},
    {"increments", "FILE", "Growth-increment data file."},
    {"increment-instars", "N", "Instars providing increment data (default identified + blended)."},
    {"increment-errors", "gaussian|gamma", "Increment error distribution (default gaussian)."},
    {"alg", "FILE", "Algorithm file to load (default values when absent)."},
};

// One function call on the current values, as "&1 Function call" does it.
int Evaluate(BatchSession& session, const std::string&) {
  const int status = BatchStatus(session.Run(MenuButton::OneFunction, "evaluate"));
  if (status != kBatchSucceeded) return status;
  session.out << session.views.OneFunctionText() << ObjectiveLine(session.views.Objective())
              << "\n";
  if (session.Has("--gradient")) return PrintGradient(session);
  return kBatchSucceeded;
}

int LoadAlgorithm(BatchSession& session, const std::string& path) {
  return LoadAlgorithmThroughMenu(session, path);
}

}  // namespace

BatchArea ModelBatchArea() {
  BatchArea area;
  area.options.push_back({"--setup", "FILE",
                          "Read the set-up from FILE (key=value lines with the option names "
                          "below); the options given override it."});
  for (const SetupOption& option : kSetupOptions)
    area.options.push_back({std::string("--") + option.key, option.valueName, option.help});
  area.options.push_back({kThreads, "N",
                          "Threads that evaluate independent points (covariance grids, "
                          "Marquardt's numerical derivatives) side by side; default every "
                          "hardware thread. Results are the same for any number."});
  area.options.push_back({kPlotsOption, "DIR",
                          "Write every plot a command would show as SVG and PNG files, named "
                          "after the plot, into the folder DIR (no display needed)."});
  area.commands.push_back(
      {"evaluate", "",
       "One function call at the loaded values: the report, then \"objective <value>\" "
       "with 17 significant digits.",
       Evaluate});
  area.commands.push_back({"load-alg", "FILE",
                           "Load the algorithm file FILE, as \"Load algorithm data\" does. After "
                           "a read that fails part way no command but load-alg may run.",
                           LoadAlgorithm});
  return area;
}

int InitializeFromOptions(BatchSession& session) {
  if (session.Has(kThreads)) {
    long long threads = 0;
    if (!StrictInteger(session.Option(kThreads), 1, 1024, threads))
      return BatchFail(session, std::string(kThreads) + " needs a whole number from 1 to 1024, not \"" +
                                    session.Option(kThreads) + "\"");
    session.wb.ThreadCount = static_cast<int>(threads);
  }
  CarapexSetup setup;
  std::string algorithmPath;
  std::string error;
  bool incrementInstarsGiven = false;
  auto apply = [&](const SetupEntry& entry) {
    incrementInstarsGiven = incrementInstarsGiven || entry.first == "increment-instars";
    return ApplySetupEntry(setup, algorithmPath, entry, error);
  };

  if (session.Has("--setup")) {
    std::string path = session.Option("--setup");
    std::optional<std::vector<SetupEntry>> entries = ReadSetupEntries(path, error);
    if (!entries) return BatchFail(session, error);
    for (const SetupEntry& entry : *entries)
      if (!apply(entry)) return BatchFail(session, path + ": " + error);
  }
  for (const SetupOption& option : kSetupOptions) {
    std::string name = std::string("--") + option.key;
    if (session.Has(name) && !apply({option.key, session.Option(name)}))
      return BatchFail(session, "--" + error);
  }
  if (!incrementInstarsGiven && !setup.incrementPath.empty())
    setup.incrementInstarsText = DefaultIncrementInstars(setup);

  // Messages of a refused set-up or file have gone to standard error.
  if (!InitializeCarapex(session.wb, session.desktop, setup)) return kBatchFailed;
  for (const std::string& note : DataLayoutNotes(session.wb, false)) session.err << note << "\n";
  session.menu.ShowMenu();
  return LoadAlgorithmThroughMenu(session, algorithmPath);
}

int LoadAlgorithmThroughMenu(BatchSession& session, const std::string& path) {
  return BatchStatus(session.Run(MenuButton::LoadAlg, "load-alg", [&session, &path] {
    if (path.empty()) {
      session.desktop.ExpectMessage("Load algorithm data", Answer::No);
      // The runner does not announce the default values the way the window does.
      session.desktop.ExpectMessage("Default Algorithm Values");
    } else {
      session.desktop.ExpectMessage("Load algorithm data", Answer::Yes);
      session.desktop.ExpectOpenFile("Open algorithm data file", path);
    }
  }));
}

}  // namespace estimetrix
