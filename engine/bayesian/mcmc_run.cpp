// The Markov chain command: its questions, the reference point and the
// proposal, the chains with their progress and Interrupt, then the
// diagnostics, the report, the plots and the draws file.

#include "engine/bayesian/mcmc_run.h"

#include <chrono>
#include <cmath>
#include <memory>
#include <optional>
#include <vector>

#include "engine/base/format.h"
#include "engine/bayesian/aligned_grid.h"
#include "engine/bayesian/evaluation_run.h"
#include "engine/bayesian/mcmc.h"
#include "engine/bayesian/mcmc_report.h"
#include "engine/bayesian/posterior.h"
#include "engine/objective/evaluation_batch.h"
#include "engine/objective/objective.h"
#include "engine/state/report_file.h"
#include "engine/state/workbench.h"
#include "platform/desktop.h"
#include "platform/text_file.h"

namespace estimetrix {

namespace {

constexpr long long kMostDraws = 100000000;
constexpr int kMostChains = 64;
constexpr int kMostThinning = 1000;
// Values kept in memory at most (draws x chains x (free + 1)): 2 GB of doubles.
constexpr double kMostValues = 2.5E+8;

const char* const kMcmcExplanation =
    "Markov chain Monte Carlo draws from the posterior of every free parameter at once: "
    "exp(-(objective / likelihood scale + prior term)), the posterior that the grid integrates.\n"
    "\n"
    "Each chain starts near the estimates and takes random-walk Metropolis steps with a Gaussian "
    "proposal from a covariance matrix (or the step sizes). During the warm-up the proposal "
    "adapts to the chain (its covariance and a scale aiming at an acceptance of 0.234); then it "
    "is frozen and the kept draws follow.\n"
    "\n"
    "The report gives each parameter's posterior mean, SD, quantiles, R-hat and effective sample "
    "sizes; the plots show the traces, the marginal densities and a pairs density.\n"
    "\n"
    "Do you want to continue?";

class McmcRun : public EvaluationRun {
 public:
  explicit McmcRun(CommandContext& ctx)
      : EvaluationRun(ctx, &EstimationState::BayesEvaluationActive,
                      &EstimationState::BayesInterruptRequested) {}

 private:
  CommandOutcome Dialogue() override;
  CommandOutcome Prepare() override;
  CommandOutcome Loop() override;

  std::optional<long long> AskCount(const std::string& prompt, long long lo, long long hi,
                                    const std::string& fallback);
  bool AskProposal();
  bool AskSeed();
  bool Reference();
  void MakeProposal();
  bool PollInterrupt();
  void ShowProgress();
  void Finish(bool interrupted);
  void AskPairsPlot(const std::vector<std::string>& descriptions);

  McmcSettings settings_;
  int proposalGrid_ = 0;  // 0: from the steps
  bool seedFromClock_ = false;
  double V0_ = 0.0;
  Matrix proposal_;
  std::string proposalText_;
  std::vector<std::unique_ptr<Chain>> chains_;
  long long required_ = 0;
  double start_ = 0.0;
};

CommandOutcome McmcRun::Dialogue() {
  if (desktop_.Ask(kMcmcTitle, kMcmcExplanation, Buttons::YesNo, Icon::Question) != Answer::Yes) {
    if (!wb_.chainReport.empty())
      ctx_.views.Reports().ShowReport(ReportKind::Chains, wb_.chainReport);
    return CommandOutcome::Cancelled;
  }
  const CommandOutcome free = CheckFreeParameters();
  if (free != CommandOutcome::Done) return free;

  std::optional<long long> draws =
      AskCount(std::string(kMcmcDrawsPrompt) + "\n10 <= # draws <= " + IntText(kMostDraws), 10,
               kMostDraws, "5000");
  if (!draws) return CommandOutcome::Cancelled;
  std::optional<long long> chains =
      AskCount(std::string(kMcmcChainsPrompt) + "\n1 <= # chains <= " + IntText(kMostChains), 1,
               kMostChains, "4");
  if (!chains) return CommandOutcome::Cancelled;
  std::optional<long long> warmUp =
      AskCount(std::string(kMcmcWarmUpPrompt) + "\n0 <= # draws <= " + IntText(kMostDraws), 0,
               kMostDraws, IntText(*draws));
  if (!warmUp) return CommandOutcome::Cancelled;
  std::optional<long long> thin =
      AskCount(std::string(kMcmcThinPrompt) + "\n1 <= # draws <= " + IntText(kMostThinning), 1,
               kMostThinning, "1");
  if (!thin) return CommandOutcome::Cancelled;
  settings_.draws = static_cast<int>(*draws);
  settings_.chains = static_cast<int>(*chains);
  settings_.warmUp = static_cast<int>(*warmUp);
  settings_.thin = static_cast<int>(*thin);
  if (!AskProposal() || !AskSeed()) return CommandOutcome::Cancelled;

  const double values =
      static_cast<double>(settings_.draws) * settings_.chains * (wb_.free.FreeCount + 1.0);
  if (values > kMostValues) {
    desktop_.Inform(kMcmcTitle,
                    "Keeping " + IntText(settings_.draws) + " draws of " +
                        IntText(settings_.chains) +
                        " chains needs more memory than this run may "
                        "take; keep fewer draws (thinning helps) or run fewer chains.",
                    Icon::Exclamation);
    return CommandOutcome::Refused;
  }
  return CommandOutcome::Done;
}

// A whole number in lo..hi: anything else is asked again; Cancel or an
// empty answer ends the command.
std::optional<long long> McmcRun::AskCount(const std::string& prompt, long long lo, long long hi,
                                           const std::string& fallback) {
  InputRequest request{kMcmcTitle, prompt, fallback};
  for (;;) {
    std::optional<std::string> answer = desktop_.Input(request);
    if (!answer || answer->empty()) return std::nullopt;
    std::optional<long long> number = WholeNumber(*answer);
    if (number && *number >= lo && *number <= hi) return number;
  }
}

bool McmcRun::AskProposal() {
  proposalGrid_ = 0;
  if (!wb_.state.CovarianceCurrent) return true;
  InputRequest request{
      kMcmcTitle, std::string(kMcmcProposalPrompt) + " 1, 2, 3, No (the step sizes) or Quit?", "2"};
  for (;;) {
    std::optional<std::string> answer = desktop_.Input(request);
    if (!answer || answer->empty()) return false;
    int grid = 0;
    switch (ReadGridAnswer(*answer, grid)) {
      case GridAnswer::Quit: return false;
      case GridAnswer::No: return true;
      case GridAnswer::Grid: proposalGrid_ = grid; return true;
      case GridAnswer::Other: break;
    }
  }
}

bool McmcRun::AskSeed() {
  InputRequest request{kMcmcTitle,
                       std::string(kMcmcSeedPrompt) + " (a whole number; blank: from the clock):",
                       wb_.SummarySeed ? std::to_string(*wb_.SummarySeed) : std::string()};
  for (;;) {
    std::optional<std::string> answer = desktop_.Input(request);
    if (!answer) return false;
    std::string text = *answer;
    text.erase(0, text.find_first_not_of(' '));
    text.erase(text.find_last_not_of(' ') + 1);
    if (text.empty()) {
      seedFromClock_ = true;
      const DateTime now = desktop_.Now();
      const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
      settings_.seed = static_cast<std::uint64_t>(ticks) ^
                       (static_cast<std::uint64_t>(now.year) << 40) ^
                       static_cast<std::uint64_t>(desktop_.SecondsSinceMidnight() * 1000.0);
      return true;
    }
    long long seed = 0;
    if (StrictInteger(text, 0, 9007199254740991LL, seed)) {
      seedFromClock_ = false;
      settings_.seed = static_cast<std::uint64_t>(seed);
      return true;
    }
  }
}

CommandOutcome McmcRun::Prepare() {
  NormalizeFuseGroups(wb_.alg, wb_.fuse);
  BuildFreeParameterList(wb_.alg, wb_.free);
  if (!Reference()) return CommandOutcome::Failed;
  MakeProposal();
  const int d = wb_.free.FreeCount;
  Vector start(d, 0.0);
  for (int j = 1; j <= d; ++j) start[j] = wb_.alg.Values[wb_.free.FreeIndex[j]];
  chains_.clear();
  for (int c = 1; c <= settings_.chains; ++c)
    chains_.push_back(std::make_unique<Chain>(c, settings_, start, proposal_, V0_));
  required_ = static_cast<long long>(settings_.chains) *
              (settings_.warmUp + static_cast<long long>(settings_.draws) * settings_.thin);
  return CommandOutcome::Done;
}

bool McmcRun::Reference() {
  Vector work = wb_.alg.Values;
  double objective = EvaluateObjective(wb_, work, 1);
  if (!std::isfinite(objective)) {
    desktop_.Inform(kMcmcTitle,
                    "The objective function is not a finite number at the current parameter "
                    "values, so no chain can start from there.",
                    Icon::Exclamation);
    return false;
  }
  if (!AdoptLikelihoodScale(objective)) return false;
  if (wb_.state.ObservationCount > 0 && wb_.state.PriorsActive)
    objective = ModelPart(objective) + ComputePriorTerm(wb_, work);
  V0_ = MinusLnValue(wb_, objective);
  return true;
}

// 2.38^2 / d times the covariance of the chosen grid, or of the steps taken
// as standard deviations when there is none (or it is no covariance).
void McmcRun::MakeProposal() {
  const int d = wb_.free.FreeCount;
  const double optimal = 2.38 * 2.38 / d;
  const std::string factorText = " x 2.38^2/" + IntText(d) + ", adapted during the warm-up";
  if (proposalGrid_ > 0) {
    Matrix covariance, factor;
    std::string problem =
        CovarianceOfParameters(wb_, proposalGrid_, wb_.free.FreeIndex, covariance);
    if (problem.empty() && !CholeskyFactor(covariance, d, factor))
      problem = "the covariance matrix is not positive definite";
    if (problem.empty()) {
      proposal_ = covariance;
      for (int i = 1; i <= d; ++i)
        for (int j = 1; j <= d; ++j) proposal_(i, j) *= optimal;
      proposalText_ = "covariance matrix of grid " + IntText(proposalGrid_) + factorText;
      return;
    }
    desktop_.Inform(kMcmcTitle,
                    "The proposal cannot come from covariance grid " + IntText(proposalGrid_) +
                        ": " + problem + ".\n\nThe step sizes are used instead.",
                    Icon::Exclamation);
  }
  proposal_.Resize(1, d, 1, d, 0.0);
  for (int j = 1; j <= d; ++j) {
    const double step = wb_.free.FreeSteps[j];
    proposal_(j, j) = optimal * step * step;
  }
  proposalText_ = "step sizes as standard deviations" + factorText;
}

CommandOutcome McmcRun::Loop() {
  desktop_.SetStatus(StatusBar::Progress, 1, IntText(required_) + " draws required");
  desktop_.SetStatus(StatusBar::Progress, 2, "Started at " + ClockText(desktop_));
  desktop_.SetStatus(StatusBar::Progress, 3,
                     "Markov chains over " + IntText(wb_.free.FreeCount) + " free parameters");
  ctx_.views.SetInterruptItemVisible(true, true);
  start_ = desktop_.SecondsSinceMidnight();

  const bool evaluators = wb_.model->NewEvaluator() != nullptr;
  const int threads = ParallelEvaluation(wb_) ? EvaluationThreadCount(wb_) : 1;
  bool serialGiven = false;
  auto targets = [&]() -> std::unique_ptr<ChainTarget> {
    if (evaluators) return EvaluatorTarget(wb_, wb_.model->NewEvaluator());
    if (serialGiven) return nullptr;  // MODEL itself serves one thread only
    serialGiven = true;
    return SerialTarget(wb_);
  };
  bool quit = false;
  const bool finished = RunChains(chains_, threads, targets, desktop_, [&] {
    ShowProgress();
    if (PollInterrupt()) quit = true;
    return !quit;
  });
  ctx_.views.SetInterruptItemVisible(true, false);
  // Values as they were: evaluations through MODEL leave the model's state
  // where the last chain was.
  Vector work = wb_.alg.Values;
  EvaluateObjective(wb_, work, 1);
  Finish(!finished);
  return CommandOutcome::Done;
}

bool McmcRun::PollInterrupt() {
  return QuitAfterInterrupt(kBayesInterruptTitle);
}

void McmcRun::ShowProgress() {
  long long done = 0, accepted = 0;
  for (const std::unique_ptr<Chain>& chain : chains_) {
    done += chain->iterationsDone.load(std::memory_order_relaxed);
    accepted += chain->acceptedDone.load(std::memory_order_relaxed);
  }
  desktop_.SetStatus(StatusBar::Progress, 1,
                     "Draws done: " + IntText(done) + " of " + IntText(required_));
  if (done <= 0) return;
  desktop_.SetStatus(StatusBar::Progress, 2,
                     TimeRemainingText(desktop_, start_, static_cast<double>(done),
                                       static_cast<double>(required_ - done)));
  desktop_.SetStatus(StatusBar::Progress, 3,
                     "Acceptance: " + FormatNumber(static_cast<double>(accepted) / done, "0.000"));
}

void McmcRun::Finish(bool interrupted) {
  desktop_.ClearProgressPanels();
  const int d = wb_.free.FreeCount;
  int kept = settings_.draws;
  for (const std::unique_ptr<Chain>& chain : chains_) kept = std::min(kept, chain->Kept());
  if (kept < 4) {
    desktop_.Inform(kMcmcTitle,
                    "The chains were stopped before each had kept 4 draws, so there is nothing "
                    "to report.",
                    Icon::Information);
    return;
  }
  desktop_.SetStatus(StatusBar::Progress, 1, "Markov chains completed at " + ClockText(desktop_));

  ChainDrawTable& table = wb_.chainDraws;
  table = ChainDrawTable{};
  table.parameters = wb_.free.FreeIndex;
  table.chains = settings_.chains;
  table.draws = kept;
  table.values.reserve(static_cast<size_t>(kept) * table.chains * (d + 1));
  for (const std::unique_ptr<Chain>& chain : chains_)
    for (int i = 0; i < kept; ++i)
      for (int j = 0; j <= d; ++j) table.values.push_back(chain->Draw(i, j));

  McmcReportData data;
  data.settings = settings_;
  data.seedFromClock = seedFromClock_;
  data.proposal = proposalText_;
  data.priorsActive = wb_.state.PriorsActive;
  data.likelihoodScale = wb_.covariance.LikelihoodScale;
  data.interrupted = interrupted;
  data.draws = &table;
  for (int j = 1; j <= d; ++j) {
    const int p = wb_.free.FreeIndex[j];
    data.descriptions.push_back(p <= wb_.alg.Descriptions.Hi() ? wb_.alg.Descriptions[p] : "");
    data.estimates.push_back(wb_.alg.Values[p]);
    data.diagnostics.push_back(Diagnose(DrawsOf(table, j - 1)));
  }
  for (const std::unique_ptr<Chain>& chain : chains_)
    data.acceptance.push_back(chain->Acceptance());
  wb_.chainReport = McmcReport(data);

  PlotView& plots = ctx_.views.Plots();
  for (const XYPlot& trace : TracePlots(table, data.descriptions)) plots.ShowXY(trace);
  for (int j = 0; j < d; ++j)
    plots.ShowDistribution(MarginalDensity(table, j, data.descriptions[static_cast<size_t>(j)],
                                           data.estimates[static_cast<size_t>(j)],
                                           data.diagnostics[static_cast<size_t>(j)].mean));
  ctx_.views.Reports().ShowReport(ReportKind::Chains, wb_.chainReport);
  if (d >= 2) AskPairsPlot(data.descriptions);
  const Answer save =
      desktop_.Ask(kMcmcSaveQuestionTitle, "Do you want to save the draws as a CSV file?",
                   Buttons::YesNo, Icon::Question);
  if (save == Answer::Yes) SaveChainDraws(desktop_, table);
}

// Two free parameters' numbers, "1,2" or "1 2"; blank: no pairs plot.
void McmcRun::AskPairsPlot(const std::vector<std::string>& descriptions) {
  const IntArray& index = wb_.free.FreeIndex;
  InputRequest request{kMcmcPairsTitle,
                       "Parameters of the pairs density plot (two free parameter numbers such as " +
                           IntText(index[1]) + "," + IntText(index[2]) + "; blank: none):",
                       IntText(index[1]) + "," + IntText(index[2])};
  for (;;) {
    std::optional<std::string> answer = desktop_.Input(request);
    if (!answer) return;
    std::string text = *answer;
    for (char& c : text)
      if (c == ',') c = ' ';
    if (text.find_first_not_of(' ') == std::string::npos) return;
    long long a = 0, b = 0;
    const size_t cut = text.find(' ', text.find_first_not_of(' '));
    if (cut == std::string::npos || !StrictInteger(text.substr(0, cut), 1, 1000000, a) ||
        !StrictInteger(text.substr(cut), 1, 1000000, b) || a == b)
      continue;
    int ja = -1, jb = -1;
    for (int j = 1; j <= index.Size(); ++j) {
      if (index[j] == a) ja = j - 1;
      if (index[j] == b) jb = j - 1;
    }
    if (ja < 0 || jb < 0) continue;
    ctx_.views.Plots().ShowBivariate(PairsDensity(wb_.chainDraws, ja, jb, descriptions));
    return;
  }
}

}  // namespace

CommandOutcome MarkovChainSampling(CommandContext& ctx) {
  if (!ctx.wb.model) return CommandOutcome::Refused;
  McmcRun run(ctx);
  return run.Run();
}

bool SaveChainDraws(Desktop& desktop, const ChainDrawTable& table) {
  FileDialogRequest request;
  request.title = kMcmcSaveTitle;
  request.filter = "All files (*.*)|*.*|Comma-separated values (*.csv)|*.csv";
  request.filterIndex = 2;
  request.proposedName = DateTimeName(desktop.Now()) + ".csv";
  request.confirmOverwrite = true;
  std::optional<std::string> path = desktop.SaveFileName(request);
  if (!path) return false;
  std::string error;
  if (WriteChainDraws(*path, table, error)) return true;
  desktop.Inform("Draws not saved", "The draws could not be saved in " + *path + ":\n" + error,
                 Icon::Exclamation);
  return false;
}

}  // namespace estimetrix
