#pragma once
// The headless runner itself: gathers the areas, reads the words of the
// command line, initialises the model, loads the algorithm data and runs the
// commands. Kept apart from main() so tests can drive it in-process.

#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/batch.h"

namespace estimetrix {

// Exit statuses of estimetrix-batch.
inline constexpr int kBatchSucceeded = 0;
inline constexpr int kBatchFailed = 1;      // usage, set-up, loading or a command failed
inline constexpr int kBatchUnanswered = 2;  // a question that no option answers

// Every area of the program, in the order their options and commands are listed.
std::vector<BatchArea> AllBatchAreas();

// The option that sends plots to files.
inline constexpr const char* kPlotsOption = "--plots";
// The options more than one area reads: the likelihood constant Q (covariance,
// priors, ranking) and the seed of the random draws (summary, chains).
inline constexpr const char* kLikelihoodConstantOption = "--likelihood-constant";
inline constexpr const char* kSeedOption = "--seed";

// A scripted answer to a question: a button, or a text confirmed with OK.
inline std::optional<DialogReply> Reply(Answer answer) {
  return DialogReply{answer, std::nullopt};
}
inline std::optional<DialogReply> Reply(const std::string& text) {
  return DialogReply{Answer::Ok, text};
}

// Makes the plot files' writer for --plots DIR (errors go to the stream);
// the runner built without windows has none.
using PlotWriterFactory =
    std::function<std::unique_ptr<PlotView>(const std::string& folder, std::ostream& errors)>;

// Runs the runner on the words after the program name.
int RunBatch(const std::vector<BatchArea>& areas, const std::vector<std::string>& words,
             std::ostream& out, std::ostream& err, const PlotWriterFactory& plotWriter = {});

// What a program built around the runner adds to it (the MPI runner).
struct BatchRunHooks {
  PlotWriterFactory plotWriter;
  // Runs once the model is initialised and the algorithm file loaded, before
  // the areas' preparations and the first command. A value ends the run there
  // with that exit status.
  std::function<std::optional<int>(BatchSession&)> initialized;
};

// RunBatch with the hooks.
int RunBatchWith(const std::vector<BatchArea>& areas, const std::vector<std::string>& words,
                 std::ostream& out, std::ostream& err, const BatchRunHooks& hooks);

// The text of --help.
std::string BatchUsage(const std::vector<BatchArea>& areas);

// Writes "estimetrix-batch: text" to standard error and returns kBatchFailed.
int BatchFail(BatchSession& session, const std::string& text);

// The exit status for a command's outcome: 0 only when it ran to its end.
int BatchStatus(CommandOutcome outcome);

// Loads the algorithm file at `path` through the menu's load command (an empty
// path: the default values), answering its questions. Returns the exit status.
int LoadAlgorithmThroughMenu(BatchSession& session, const std::string& path);

// batch_model.cpp: builds the set-up from --setup and the set-up options,
// initialises the model and loads --alg (or default values). Returns the exit
// status; messages have gone to the session's standard error.
int InitializeFromOptions(BatchSession& session);

}  // namespace estimetrix
