// The likelihood-profile command: its dialogue, one minimization per point,
// the summary, the plot and the report.

#include "engine/likelihood_profile.h"

#include <cmath>
#include <new>
#include <optional>
#include <string>

#include "engine/covariance.h"
#include "engine/distribution_summary.h"
#include "engine/format.h"
#include "engine/marquardt.h"
#include "engine/objective.h"
#include "engine/posterior.h"
#include "engine/simplex.h"
#include "engine/workbench.h"
#include "platform/desktop.h"

namespace estimetrix {

namespace {

const char* const kExplanation =
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

class ProfileRun {
 public:
  explicit ProfileRun(CommandContext& ctx) : ctx_(ctx), wb_(ctx.wb), desktop_(ctx.desktop) {}
  CommandOutcome Run();

 private:
  CommandOutcome Dialogue();
  bool AskParameter();
  bool AskPoints();
  bool AskCovarianceSteps();
  CommandOutcome Prepare();
  CommandOutcome Loop();
  enum class PointEnd { Next, Quit, Failed };
  PointEnd Minimize(int k);
  bool EvaluatePoint(int k, double& value);
  void ShowRemaining(int k, double start);
  void Report(int count);

  CommandContext& ctx_;
  Workbench& wb_;
  Desktop& desktop_;

  int parameter_ = 0;
  int P_ = 0;
  Minimizer minimizer_ = Minimizer::Simplex;
  Vector valuesBefore_, stepsBefore_;
  Vector stepsRun_;
  bool editorOpened_ = false;
  bool scaleChanged_ = false;
  double scaleBefore_ = 1.0;
  double x0_ = 0.0, h_ = 0.0;
  int others_ = 0;
  DistributionPoints points_;
  int best_ = 0;
};

CommandOutcome ProfileRun::Run() {
  wb_.state.ProfileActive = true;
  wb_.state.ProfileInterruptRequested = false;
  valuesBefore_ = wb_.alg.Values;
  stepsBefore_ = wb_.alg.Steps;
  CommandOutcome outcome = Dialogue();
  if (outcome == CommandOutcome::Done) outcome = Prepare();
  if (outcome == CommandOutcome::Done) outcome = Loop();
  if (outcome == CommandOutcome::Cancelled) {
    wb_.alg.Values = valuesBefore_;
    wb_.alg.Steps = stepsBefore_;
  }
  if (scaleChanged_) wb_.covariance.LikelihoodScale = scaleBefore_;
  ctx_.views.SetInterruptItemVisible(false, false);
  wb_.state.ProfileActive = false;
  wb_.state.ProfileInterruptRequested = false;
  wb_.state.SimplexRetained = false;
  NormalizeFuseGroups(wb_.alg, wb_.fuse);
  BuildFreeParameterList(wb_.alg, wb_.free);
  if (editorOpened_) desktop_.Inform(kReminderTitle, kReminderText, Icon::Exclamation);
  return outcome;
}

CommandOutcome ProfileRun::Dialogue() {
  desktop_.Inform(kProfileTitle, kExplanation);
  const Answer go = desktop_.Ask(
      kProfileTitle,
      "Do you want to perform minimizations now?\n\nChoosing 'NO' will give you the previous ML "
      "plots",
      Buttons::YesNo);
  if (go != Answer::Yes) {
    if (!wb_.evaluationPlot.values.empty() &&
        wb_.evaluationPlot.kind == DistributionKind::Confidence)
      ctx_.views.Plots().ShowDistribution(wb_.evaluationPlot);
    return CommandOutcome::Cancelled;
  }
  NormalizeFuseGroups(wb_.alg, wb_.fuse);
  BuildFreeParameterList(wb_.alg, wb_.free);
  if (wb_.free.FreeCount == 0) {
    desktop_.Inform("There is nothing to do!", "All step sizes are zero", Icon::Exclamation);
    return CommandOutcome::NothingToDo;
  }
  if (wb_.state.ObservationCount == 0) {
    std::optional<double> q =
        LikelihoodConstantPrompt(desktop_, *wb_.model, 0, wb_.free.FreeCount, 0.0);
    if (!q) return CommandOutcome::Cancelled;
    wb_.covariance.LikelihoodScale = 1.0 / *q;
  }
  if (!AskParameter() || !AskPoints()) return CommandOutcome::Cancelled;
  minimizer_ = desktop_.Ask(kProfileTitle,
                            "Choose 'Yes' to minimize with SIMPLEX\n"
                            "Choose 'No' to minimize with MARQUARDT",
                            Buttons::YesNo) == Answer::Yes
                   ? Minimizer::Simplex
                   : Minimizer::Marquardt;
  if (!AskCovarianceSteps()) return CommandOutcome::Cancelled;
  ctx_.views.EditAlgorithmDataAndWait();
  editorOpened_ = true;
  if (wb_.alg.Steps[parameter_] == 0.0) {
    desktop_.Inform(kSetupProblemTitle, kZeroStepText, Icon::Exclamation);
    return CommandOutcome::Refused;
  }
  return CommandOutcome::Done;
}

bool ProfileRun::AskParameter() {
  const int n = wb_.alg.ParameterCount;
  InputRequest request{
      kProfileTitle, "Choose the parameter number to be profiled:\n0 < parameter # <= " + IntText(n),
      ""};
  for (;;) {
    std::optional<std::string> answer = desktop_.Input(request);
    if (!answer || answer->empty()) return false;
    std::optional<long long> number = WholeNumber(*answer);
    if (number && *number >= 1 && *number <= n) {
      parameter_ = static_cast<int>(*number);
      return true;
    }
  }
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
    std::string text = *answer;
    text.erase(0, text.find_first_not_of(' '));
    text.erase(text.find_last_not_of(' ') + 1);
    if (text == "Q" || text == "q") return false;
    if (text == "N" || text == "n") return true;
    if (text == "1" || text == "2" || text == "3") {
      StepsFromCovarianceGrid(wb_, text[0] - '0', 24.0 / (3.0 * (P_ - 1)));
      return true;
    }
  }
}

CommandOutcome ProfileRun::Prepare() {
  AlgorithmData& alg = wb_.alg;
  const int e = parameter_;
  NormalizeFuseGroups(alg, wb_.fuse);
  stepsRun_ = alg.Steps;
  points_.Resize(P_);
  points_.EvaluatedParameter = e;
  x0_ = alg.Values[e];
  h_ = alg.Steps[e];
  alg.Steps[e] = 0.0;
  wb_.state.EvaluatedParameter = e;
  NormalizeFuseGroups(alg, wb_.fuse);
  BuildFreeParameterList(alg, wb_.free);
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
  if (wb_.state.ObservationCount > 0) {
    Vector work = alg.Values;
    const double objective = EvaluateObjective(wb_, work, 1);
    const double model = objective - (wb_.state.PriorsActive ? wb_.state.PriorTerm : 0.0);
    if (!std::isfinite(model)) {
      undo();
      desktop_.Inform(kProfileInterruptTitle,
                      "The objective function is not a finite number at the current parameter "
                      "values, so no profile can be calculated from there.",
                      Icon::Exclamation);
      return CommandOutcome::Failed;
    }
    scaleBefore_ = wb_.covariance.LikelihoodScale;
    if (!ScaleFromObservations(wb_, desktop_, model)) {
      undo();
      return CommandOutcome::Failed;
    }
    scaleChanged_ = true;
  }
  if (!(wb_.covariance.LikelihoodScale > 0.0)) {
    undo();
    ShowConstantProblem(desktop_);
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
    desktop_.Yield();
    if (wb_.state.ProfileInterruptRequested) {
      wb_.state.ProfileInterruptRequested = false;
      if (desktop_.Ask(kProfileInterruptTitle, kInterruptQuestion, Buttons::YesNo,
                       Icon::Question) == Answer::Yes)
        end = PointEnd::Quit;
    }
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
    desktop_.SetStatus(StatusBar::Progress, 1,
                       "Calculating profile point " + FormatNumber(k, "###0") + " of " +
                           IntText(P_) + "," + " Value of parameter # " + IntText(parameter_) +
                           " which is being profiled is: " +
                           FormatNumber(wb_.alg.Values[parameter_], "0.0000E+00"));
  }
  return true;
}

void ProfileRun::ShowRemaining(int k, double start) {
  const int remaining = P_ - k;
  desktop_.SetStatus(StatusBar::Progress, 2, "Minimizations remaining: " + IntText(remaining));
  const double seconds = SecondsSince(desktop_, start) / k * remaining;
  desktop_.SetStatus(StatusBar::Progress, 3,
                     "Estimated time remaining (m:s): " + MinutesSeconds(seconds));
}

void ProfileRun::Report(int count) {
  if (count < P_) TruncatePoints(points_, count);
  best_ = BestPointOf(points_, count);
  if (h_ < 0.0) ReversePoints(points_, best_);
  DistributionSummary(points_, best_, std::fabs(h_));
  wb_.evaluation = points_;
  wb_.evaluationPlot = DistributionPlotOf(points_, DistributionKind::Confidence,
                                          wb_.alg.Descriptions[parameter_]);
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
