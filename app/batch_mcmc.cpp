// The Markov chain part of the runner: `mcmc DRAWS` through the chooser's
// command with the options that answer its questions, the report on
// standard output, and the draws (CSV) and report files.

#include <memory>
#include <string>

#include "app/batch_runner.h"
#include "engine/base/format.h"
#include "engine/bayesian/mcmc_report.h"
#include "engine/bayesian/mcmc_run.h"
#include "engine/bayesian/posterior.h"
#include "engine/commands/evaluation_commands.h"
#include "engine/state/report_file.h"

namespace estimetrix {

namespace {

constexpr const char* kChains = "--chains";
constexpr const char* kWarmUp = "--warm-up";
constexpr const char* kThin = "--thin";
constexpr const char* kProposal = "--proposal-from-covariance";

struct McmcAnswers {
  bool running = false;
  std::string draws;
  int constantAsked = 0;
};

std::optional<DialogReply> AnswerMcmcQuestion(const DialogRecord& record, BatchSession& session,
                                              McmcAnswers& answers) {
  if (!answers.running) return {};
  auto has = [&record](const char* part) { return record.text.find(part) != std::string::npos; };
  if (record.kind == DialogKind::SaveFile && record.title == kMcmcSaveTitle)
    return Reply(Answer::Cancel);  // save-mcmc writes it
  if (record.kind == DialogKind::Input) {
    if (record.title == "Enter constant") {
      if (++answers.constantAsked > 1) return {};
      if (session.Has(kLikelihoodConstantOption))
        return Reply(session.Option(kLikelihoodConstantOption));
      const double suggested =
          session.wb.model ? session.wb.model->SuggestedLikelihoodConstant() : 0.0;
      if (suggested > 0.0) return Reply(GeneralNumber(suggested));
      if (!record.defaultText.empty()) return Reply(record.defaultText);
      return {};
    }
    if (record.title == kMcmcPairsTitle) return Reply(record.defaultText);
    if (record.title != kMcmcTitle) return {};
    if (has(kMcmcDrawsPrompt)) return Reply(answers.draws);
    if (has(kMcmcChainsPrompt)) return Reply(session.Option(kChains, "4"));
    if (has(kMcmcWarmUpPrompt)) return Reply(session.Option(kWarmUp, record.defaultText));
    if (has(kMcmcThinPrompt)) return Reply(session.Option(kThin, "1"));
    if (has(kMcmcProposalPrompt)) return Reply(session.Option(kProposal, "N"));
    if (has(kMcmcSeedPrompt)) return Reply(session.Option(kSeedOption, ""));
    return {};
  }
  if (record.kind != DialogKind::Message) return {};
  if (record.title == kMcmcTitle) return Reply(Answer::Yes);  // go on
  if (record.title == kMcmcSaveQuestionTitle) return Reply(Answer::No);
  return {};
}

bool WholeOption(BatchSession& session, const char* name, long long lo, long long hi) {
  if (!session.Has(name)) return true;
  long long value = 0;
  if (StrictInteger(session.Option(name), lo, hi, value)) return true;
  BatchFail(session, std::string(name) + " needs a whole number from " + IntText(lo) + " to " +
                         IntText(hi) + ", not \"" + session.Option(name) + "\"");
  return false;
}

int Mcmc(BatchSession& session, McmcAnswers& answers, const std::string& argument) {
  long long draws = 0;
  if (!StrictInteger(argument, 10, 100000000, draws))
    return BatchFail(
        session, "mcmc needs DRAWS, a whole number from 10 to 100000000, not \"" + argument + "\"");
  if (!WholeOption(session, kChains, 1, 64) || !WholeOption(session, kWarmUp, 0, 100000000) ||
      !WholeOption(session, kThin, 1, 1000) || !WholeOption(session, kProposal, 1, 3))
    return kBatchFailed;
  if (session.Has(kProposal) && !session.wb.state.CovarianceCurrent)
    return BatchFail(session, std::string("mcmc: ") + kProposal +
                                  " needs covariances of the current values (run covariance "
                                  "first)");
  session.views.SetReportText(ReportKind::Chains, "");
  answers.running = true;
  answers.constantAsked = 0;
  answers.draws = IntText(draws);
  CommandOutcome outcome = session.Run(MenuButton::ParEstimate, "mcmc");
  if (outcome == CommandOutcome::Done) {
    CommandContext context{session.wb, session.desktop, session.menu, session.views};
    outcome = RunEvaluationChoice(context, EvaluationChoice::Chains);
    session.menu.ShowMenu();
  }
  answers.running = false;
  if (outcome != CommandOutcome::Done) return kBatchFailed;
  const std::string report = session.views.ReportText(ReportKind::Chains);
  if (report.empty()) return BatchFail(session, "mcmc: too few draws kept, no report");
  session.out << report;
  return kBatchSucceeded;
}

int SaveDraws(BatchSession& session, const std::string& path) {
  if (session.wb.chainDraws.Empty())
    return BatchFail(session, "save-mcmc: no Markov chain draws (run mcmc first)");
  std::string error;
  if (!WriteChainDraws(path, session.wb.chainDraws, error))
    return BatchFail(session, "save-mcmc: " + error);
  return kBatchSucceeded;
}

int SaveMcmcReport(BatchSession& session, const std::string& path) {
  std::string text = session.views.ReportText(ReportKind::Chains);
  if (text.empty())
    return BatchFail(session, "save-mcmc-report: no report to save (run mcmc first)");
  std::string error;
  if (!WriteReportFile(path, text, error)) return BatchFail(session, "save-mcmc-report: " + error);
  session.views.SetReportText(ReportKind::Chains, text);
  return kBatchSucceeded;
}

}  // namespace

BatchArea McmcBatchArea() {
  auto answers = std::make_shared<McmcAnswers>();
  BatchArea area;
  area.options.push_back({kChains, "K", "mcmc: run K chains side by side (default 4)."});
  area.options.push_back(
      {kWarmUp, "W", "mcmc: W adaptive warm-up draws per chain (default: as many as kept)."});
  area.options.push_back({kThin, "T", "mcmc: keep one draw in T (default 1)."});
  area.options.push_back({kProposal, "K",
                          "mcmc: the proposal from the covariance matrix of grid K (1, 2 or 3) "
                          "instead of the step sizes."});
  area.commands.push_back(
      {"mcmc", "DRAWS",
       "Markov chain sampling of the posterior of every free parameter, DRAWS kept draws per "
       "chain (seeded by --seed, else the clock): the report on standard output.",
       [answers](BatchSession& session, const std::string& argument) {
         return Mcmc(session, *answers, argument);
       }});
  area.commands.push_back(
      {"save-mcmc", "FILE", "Save the last Markov chain draws (CSV).", SaveDraws});
  area.commands.push_back({"save-mcmc-report", "FILE",
                           "Save the last Markov chain posterior report (.mcp).", SaveMcmcReport});
  area.answerers.push_back([answers](const DialogRecord& record, BatchSession& session) {
    return AnswerMcmcQuestion(record, session, *answers);
  });
  return area;
}

}  // namespace estimetrix
