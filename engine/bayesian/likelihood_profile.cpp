// The likelihood-profile command: its dialogue, one minimization per point,
// the summary, the plot and the report.

#include "engine/bayesian/likelihood_profile.h"

#include <cmath>
#include <new>
#include <optional>
#include <string>

#include "engine/base/format.h"
#include "engine/bayesian/evaluation_run.h"
#include "engine/bayesian/posterior.h"
#include "engine/covariance/covariance.h"
#include "engine/minimizers/marquardt.h"
#include "engine/minimizers/simplex.h"
#include "engine/objective/evaluation_batch.h"
#include "engine/objective/objective.h"
#include "engine/state/distribution_summary.h"
#include "engine/state/workbench.h"
#include "platform/desktop.h"

namespace estimetrix {

namespace {

const char* const kProfileExplanation =
    "The likelihood profile of a parameter fixes it at each of a number of evenly spaced values "
    "and minimizes the objective function over all other free parameters at each value.\n"
    "\n"
    "Plot 1 shows the likelihood profile, plot 2 the confidence distribution at the ML "
    "estimates, and plots 3 and 4 the mode- and mean-centred confidence regions.\n"
    "With 101 profile points, point 1 lies at the value - 50 steps, point 51 at the value and "
    "point 101 at the value + 50 steps.\n"
    "The routine works best when the parameter's value is at the minimum; the step sizes can be "
    "based on the standard errors of a covariance matrix, if one has been calculated.";

enum class Minimizer { Simplex, Marquardt };

class ProfileRun : public EvaluationRun {
 public:
  explicit ProfileRun(CommandContext& ctx)
      : EvaluationRun(ctx, &EstimationState::ProfileActive,
                      &EstimationState::ProfileInterruptRequested) {}

 private:
  CommandOutcome Dialogue() override;
  bool AskParameter();
  bool AskPoints();
  bool AskCovarianceSteps();
  CommandOutcome Prepare() override;
  CommandOutcome Loop() override;
  void Ending() override { ctx_.views.SetInterruptItemVisible(false, false); }
  enum class PointEnd { Next, Quit, Failed };
  PointEnd Minimize(int k);
  bool ConfirmLength(double firstPointSeconds);
  bool EvaluatePoint(int k, double& value);
  void ShowRemaining(int k, double start);
  void Report(int count);

  Minimizer minimizer_ = Minimizer::Simplex;
  int others_ = 0;
};

CommandOutcome ProfileRun::Dialogue() {
  desktop_.Inform(kProfileTitle, kProfileExplanation);
  const Answer go = desktop_.Ask(
      kProfileTitle,
      "Do you want to perform minimizations now?\n\nChoosing 'NO' will give you the previous ML "
      "plots",
      Buttons::YesNo);
  if (go != Answer::Yes) {
    ShowPreviousPlot(DistributionKind::Confidence);
    return CommandOutcome::Cancelled;
  }
  const CommandOutcome free = CheckFreeParameters();
  if (free != CommandOutcome::Done) return free;
  if (!AskParameter() || !AskPoints()) return CommandOutcome::Cancelled;
  minimizer_ = desktop_.Ask(kProfileTitle,
                            "Choose 'Yes' to minimize with SIMPLEX\n"
                            "Choose 'No' to minimize with MARQUARDT",
                            Buttons::YesNo) == Answer::Yes
                   ? Minimizer::Simplex
                   : Minimizer::Marquardt;
  if (!AskCovarianceSteps()) return CommandOutcome::Cancelled;
  return EditAndCheckStep();
}

bool ProfileRun::AskParameter() {
  const int n = wb_.alg.ParameterCount;
  return AskParameterNumber(InputRequest{
      kProfileTitle,
      "Choose the parameter number to be profiled:\n0 < parameter # <= " + IntText(n), ""});
}

bool ProfileRun::AskPoints() {
  InputRequest request{kProfileTitle,
                       "Choose the number of x-y data points per plot:\n0 <= # points <= 1001",
                       "25"};
  for (;;) {
    std::optional<std::string> answer = desktop_.Input(request);
    if (!answer || answer->empty()) return false;
    std::optional<long long> number = WholeNumber(*answer);
    if (number && *number >= 0 && *number <= 1001) {
      P_ = OddPointCount(*number);
      return true;
    }
  }
}

bool ProfileRun::AskCovarianceSteps() {
  if (!wb_.state.CovarianceCurrent) return true;
  InputRequest request{kProfileTitle,
                       "Base step sizes on SD's from covariance grid 1, 2, 3, No or Quit?\n"
                       "Please enter 1, 2, 3, N, or Q",
                       "N"};
  for (;;) {
    std::optional<std::string> answer = desktop_.Input(request);
    if (!answer || answer->empty()) return false;
    int grid = 0;
    switch (ReadGridAnswer(*answer, grid)) {
      case GridAnswer::Quit: return false;
      case GridAnswer::No: return true;
      case GridAnswer::Grid:
        StepsFromCovarianceGrid(wb_, grid, 24.0 / (3.0 * (P_ - 1)));
        return true;
      case GridAnswer::Other: break;
    }
  }
}

CommandOutcome ProfileRun::Prepare() {
  AlgorithmData& alg = wb_.alg;
  const int e = parameter_;
  FixEvaluatedParameter();
  others_ = wb_.free.FreeCount;
  auto undo = [&] {
    alg.Values[e] = x0_;
    alg.Steps = stepsRun_;
  };

  if (others_ > 0 && minimizer_ == Minimizer::Marquardt) {
    MarquardtSetup(wb_, desktop_);
    if (wb_.state.MarquardtDerivatives == DerivativeChoice::None) {
      undo();
      return CommandOutcome::Cancelled;
    }
  }
  try {
    if (others_ > 0 && minimizer_ == Minimizer::Marquardt) {
      SizeMarquardtDerivatives(wb_);
      wb_.matrix.Resize(others_);
    }
  } catch (const std::bad_alloc&) {
    undo();
    desktop_.Inform(kProfileTitle, "There is not enough memory for the minimizer's work arrays.",
                    Icon::Exclamation);
    return CommandOutcome::Failed;
  }

  // The likelihood scale of a model that reports its observations comes from
  // the objective at the starting values, once for every point.
  double objective = 0.0;
  if (wb_.state.ObservationCount > 0) {
    Vector work = alg.Values;
    objective = EvaluateObjective(wb_, work, 1);
    if (!std::isfinite(ModelPart(objective))) {
      undo();
      desktop_.Inform(kProfileInterruptTitle,
                      "The objective function is not a finite number at the current parameter "
                      "values, so no profile can be calculated from there.",
                      Icon::Exclamation);
      return CommandOutcome::Failed;
    }
  }
  if (!AdoptLikelihoodScale(objective)) {
    undo();
    return CommandOutcome::Failed;
  }
  if (others_ == 0) ctx_.views.SetInterruptItemVisible(false, true);
  return CommandOutcome::Done;
}

CommandOutcome ProfileRun::Loop() {
  AlgorithmData& alg = wb_.alg;
  const int e = parameter_;
  const int c = (P_ - 1) / 2 + 1;
  const MenuButton window =
      minimizer_ == Minimizer::Simplex ? MenuButton::Simplex : MenuButton::Marquardt;
  if (others_ > 0) ctx_.views.ComputationRunning(window, true);
  const double start = desktop_.SecondsSinceMidnight();
  int quitPoint = 0;
  bool failed = false;
  bool declined = false;
  for (int k = 1; k <= P_; ++k) {
    alg.Values[e] = x0_ - (c - k) * h_;
    points_.ProfileValues[k] = alg.Values[e];
    PointEnd end = PointEnd::Next;
    if (others_ > 0) end = Minimize(k);
    double value = 0.0;
    if (end == PointEnd::Failed || !EvaluatePoint(k, value)) {
      failed = true;
      break;
    }
    points_.ProfileObjectives[k] = value;
    if (best_ == 0 || value < points_.ProfileObjectives[best_]) best_ = k;
    ShowRemaining(k, start);
    if (k == 1 && others_ > 0 && !ConfirmLength(SecondsSince(desktop_, start))) {
      declined = true;
      break;
    }
    desktop_.Yield();
    if (QuitAfterInterrupt(kProfileInterruptTitle)) end = PointEnd::Quit;
    if (end == PointEnd::Quit) {
      quitPoint = k;
      break;
    }
  }
  if (others_ > 0) ctx_.views.ComputationRunning(window, false);
  alg.Values[e] = x0_;
  alg.Steps = stepsRun_;
  desktop_.ClearProgressPanels();
  if (failed) return CommandOutcome::Failed;
  if (declined) return CommandOutcome::Cancelled;
  const int count = quitPoint > 0 ? quitPoint - 2 : P_;
  if (count < 3) return CommandOutcome::Done;  // stopped before three points were done
  Report(count);
  return CommandOutcome::Done;
}

// One minimization over the other free parameters, from the values the
// previous point left.
ProfileRun::PointEnd ProfileRun::Minimize(int k) {
  wb_.state.CovarianceCurrent = false;
  if (minimizer_ == Minimizer::Simplex) {
    wb_.state.SimplexRetained = false;
    wb_.simplex.Resize(others_);
    const SimplexProfilePoint point{k, P_};
    const SimplexResult result = RunSimplex(wb_, desktop_, ctx_.views.Simplex(), &point);
    switch (result.outcome) {
      case SimplexOutcome::ZeroValueError:
      case SimplexOutcome::NonFinite: return PointEnd::Failed;
      case SimplexOutcome::ProfileQuit: return PointEnd::Quit;
      default: return PointEnd::Next;
    }
  }
  const MarquardtProfilePoint point{k, P_};
  const MarquardtResult result = MarquardtMinimize(wb_, desktop_, ctx_.views.Marquardt(), &point);
  switch (result.outcome) {
    case MarquardtOutcome::DerivativesMissing:
    case MarquardtOutcome::DecompositionFailed:
    case MarquardtOutcome::NonFiniteObjective: return PointEnd::Failed;
    default: break;
  }
  return result.profile == ProfileRequest::Quit ? PointEnd::Quit : PointEnd::Next;
}

// After the first point the length of the whole profile is known: when its
// function calls would pass the number that runs without a question, the
// user sees the estimate and may stop before the long part.
bool ProfileRun::ConfirmLength(double firstPointSeconds) {
  const long long perPoint = static_cast<long long>(wb_.state.FunctionCallCount) + 1;
  if (perPoint * P_ <= kCallsWithoutQuestion) return true;
  const long long calls = perPoint * (P_ - 1);
  const bool parallel = minimizer_ == Minimizer::Marquardt && ParallelEvaluation(wb_);
  const int threads = parallel ? EvaluationThreadCount(wb_) : 1;
  const double perCall = firstPointSeconds / static_cast<double>(perPoint);
  const double seconds = firstPointSeconds * (P_ - 1);
  wb_.longRun = LongRunEstimate{calls, perCall, threads, seconds};
  const std::string text =
      "This profile requires about " + IntText(perPoint * P_) + " function calls (" + IntText(P_) +
      " points of about " + IntText(perPoint) + "), more than the " +
      IntText(kCallsWithoutQuestion) + " that run without this question.\n" +
      "The first point took about " + FormatNumber(perCall, "0.0000E+00") +
      " seconds per call on " + IntText(threads) + (threads == 1 ? " thread" : " threads") +
      "; the other " + IntText(P_ - 1) + " points will take about " + MinutesSeconds(seconds) +
      " (m:s).\n" +
      "Reducing the number of free parameters or of profile points shortens it.\n\n"
      "Do you want to go on?";
  return desktop_.Ask(kCallCountTitle, text, Buttons::YesNo, Icon::Question) == Answer::Yes;
}

// The -ln value at Values (the profiled parameter at this point's value).
bool ProfileRun::EvaluatePoint(int k, double& value) {
  Vector work = wb_.alg.Values;
  const double objective = EvaluateObjective(wb_, work, 1);
  if (!std::isfinite(objective)) {
    desktop_.Inform(kProfileInterruptTitle,
                    "The objective function is not a finite number at profile point " +
                        IntText(k) + ".\n\nThe profile stops and nothing is reported.",
                    Icon::Exclamation);
    return false;
  }
  value = MinusLnValue(wb_, objective);
  if (others_ == 0) {
    desktop_.SetStatus(StatusBar::Progress, 1, PointText(k, wb_.alg.Values[parameter_]));
  }
  return true;
}

void ProfileRun::ShowRemaining(int k, double start) {
  const int remaining = P_ - k;
  desktop_.SetStatus(StatusBar::Progress, 2, "Minimizations remaining: " + IntText(remaining));
  desktop_.SetStatus(StatusBar::Progress, 3, TimeRemainingText(desktop_, start, k, remaining));
}

void ProfileRun::Report(int count) {
  if (count < P_) TruncatePoints(points_, count);
  best_ = BestPointOf(points_, count);
  Summarize(DistributionKind::Confidence);
  wb_.bivariatePlot = BivariatePlot{};
  ctx_.views.Plots().ShowDistribution(wb_.evaluationPlot);
  ctx_.views.Reports().ShowReport(
      ReportKind::Profile,
      PointTableReport(kProfileReportTitle, points_, PointTableColumns::Confidence));
}

}  // namespace

CommandOutcome LikelihoodProfile(CommandContext& ctx) {
  if (!ctx.wb.model) return CommandOutcome::Refused;
  ProfileRun run(ctx);
  return run.Run();
}

}  // namespace estimetrix
