#pragma once
// The headless runner's commands and options. Each area of the program adds
// its own in its own file; batch_main.cpp gathers them, so adding a command is
// one entry in one list.

#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/batch_views.h"
#include "engine/commands/commands.h"
#include "engine/state/workbench.h"
#include "platform/scripted_desktop.h"

namespace estimetrix {

struct BatchSession {
  Workbench& wb;
  ScriptedDesktop& desktop;
  std::map<std::string, std::string> options;  // "--max-calls" -> "500"; flags -> ""
  std::ostream& out;
  std::ostream& err;
  MenuState& menu;  // the menu form's buttons, kept as the workbench keeps them
  BatchViews& views;
  // Set when a question arose that no option answers: the run ends after the
  // step that asked it, with exit status 2. An answerer that prints its own
  // account of the question sets it and answers Cancel or No.
  bool unanswered = false;

  // Runs the menu command behind `button` as the workbench runs it. A command
  // whose button the menu has disabled (no usable algorithm data, say) is
  // refused with a message naming `name`.
  // `answers` queues the answers to the command's questions once it may run.
  CommandOutcome Run(MenuButton button, const std::string& name,
                     const std::function<void()>& answers = {});

  bool Has(const std::string& option) const { return options.count(option) != 0; }
  std::string Option(const std::string& option, const std::string& fallback = {}) const {
    auto it = options.find(option);
    return it == options.end() ? fallback : it->second;
  }
};

struct BatchOption {
  std::string name;  // "--max-calls"
  std::string valueName;  // "N"; empty for a flag
  std::string help;
};

struct BatchCommand {
  std::string name;  // "simplex"
  // "FILE" when the command takes one argument, "PARAM POINTS GRID" when it
  // takes several (the run gets them joined by commas, and a user may give
  // them so too: "3,25,25"); empty when it takes none. A last name in
  // brackets ("PARAM POINTS [GRID]") may be left out: the next word is taken
  // for it unless it is an option or a command. A FILE (or DIR) given as
  // an empty word is refused before anything runs.
  std::string argumentName;
  std::string help;
  // Returns the exit status: 0 to go on with the next command.
  std::function<int(BatchSession&, const std::string& argument)> run;
};

// Answers a question a command asks (anything but an OK-only message, which
// the runner prints to standard error as "title: text"), usually from the
// area's options: e.g. the Simplex's continue question from
// "--continue-past-max". nullopt = not this area's question. A question that
// no area answers ends the run with exit status 2.
using BatchAnswerer =
    std::function<std::optional<DialogReply>(const DialogRecord&, BatchSession&)>;

struct BatchArea {
  std::vector<BatchOption> options;
  std::vector<BatchCommand> commands;
  // Runs once after the model is initialised and the algorithm data loaded,
  // before the first command (for options that override algorithm data).
  std::function<int(BatchSession&)> prepare;
  // Asked in order, area by area, before a question counts as unanswered.
  std::vector<BatchAnswerer> answerers;
  // Commands that need no model: when they lead the command line they run
  // before the set-up is read, and a run of only these reads none.
  std::vector<std::string> standalone;
};

BatchArea ModelBatchArea();       // batch_model.cpp: set-up options, evaluate
BatchArea SimplexBatchArea();     // batch_simplex.cpp: simplex, save-alg, log options
BatchArea MarquardtBatchArea();   // batch_marquardt.cpp: marquardt
BatchArea CovarianceBatchArea();  // batch_covariance.cpp: covariance, save-cov
BatchArea RankBatchArea();        // batch_rank.cpp: rank-add, rank, save-mms
BatchArea SummaryBatchArea();     // batch_summary.cpp: summary and its answers
BatchArea PriorsBatchArea();      // batch_priors.cpp: --priors, save-priors, review-priors, prior-profile
BatchArea EvaluationBatchArea();  // batch_evaluation.cpp: posterior, profile and their files
BatchArea McmcBatchArea();        // batch_mcmc.cpp: mcmc, save-mcmc, save-mcmc-report
BatchArea DerivativesBatchArea();  // batch_derivatives.cpp: --derivatives, --gradient
BatchArea MakeDataBatchArea();    // batch_make_data.cpp: make-frequencies, make-increments

// batch_derivatives.cpp: whether --derivatives analytical was given; a
// failure (status) when it was and priors are on; the gradient lines of
// evaluate --gradient.
bool AnalyticalDerivativesChosen(const BatchSession& session);
int RefuseAnalyticalWithPriors(BatchSession& session, const std::string& command);
int PrintGradient(BatchSession& session);

// "objective <value>" with 17 significant digits.
std::string ObjectiveLine(double objective);

}  // namespace estimetrix
