// The run and the steps the posterior and the likelihood profile share.

#include "engine/bayesian/evaluation_run.h"

#include <cmath>

#include "engine/base/format.h"
#include "engine/covariance/covariance.h"
#include "engine/state/workbench.h"
#include "platform/desktop.h"

namespace estimetrix {

GridAnswer ReadGridAnswer(const std::string& answer, int& grid) {
  std::string text = answer;
  text.erase(0, text.find_first_not_of(' '));
  text.erase(text.find_last_not_of(' ') + 1);
  if (text == "Q" || text == "q") return GridAnswer::Quit;
  if (text == "N" || text == "n") return GridAnswer::No;
  if (text == "1" || text == "2" || text == "3") {
    grid = text[0] - '0';
    return GridAnswer::Grid;
  }
  return GridAnswer::Other;
}

EvaluationRun::EvaluationRun(CommandContext& ctx, StateFlag active, StateFlag interrupt)
    : ctx_(ctx), wb_(ctx.wb), desktop_(ctx.desktop), active_(active), interrupt_(interrupt) {}

CommandOutcome EvaluationRun::Run() {
  wb_.state.*active_ = true;
  wb_.state.*interrupt_ = false;
  valuesBefore_ = wb_.alg.Values;
  stepsBefore_ = wb_.alg.Steps;
  CommandOutcome outcome = Dialogue();
  if (outcome == CommandOutcome::Done) outcome = Prepare();
  if (outcome == CommandOutcome::Done) outcome = Loop();
  if (outcome == CommandOutcome::Cancelled) {
    // Nothing the command changed survives a question left unanswered.
    wb_.alg.Values = valuesBefore_;
    wb_.alg.Steps = stepsBefore_;
  } else if (!valuesRun_.Empty()) {
    // The points moved the values (a profile minimizes the other parameters
    // at each one); the fit the user started from is what stays.
    wb_.alg.Values = valuesRun_;
    wb_.alg.Steps = stepsRun_;
  }
  if (scaleChanged_) wb_.covariance.LikelihoodScale = scaleBefore_;
  Ending();
  wb_.state.*active_ = false;
  wb_.state.*interrupt_ = false;
  wb_.state.SimplexRetained = false;
  NormalizeFuseGroups(wb_.alg, wb_.fuse);
  BuildFreeParameterList(wb_.alg, wb_.free);
  if (editorOpened_) desktop_.Inform(kReminderTitle, kReminderText, Icon::Exclamation);
  return outcome;
}

bool EvaluationRun::ShowPreviousPlot(DistributionKind kind) {
  if (wb_.evaluationPlot.values.empty() || wb_.evaluationPlot.kind != kind) return false;
  ctx_.views.Plots().ShowDistribution(wb_.evaluationPlot);
  return true;
}

CommandOutcome EvaluationRun::CheckFreeParameters() {
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
  return CommandOutcome::Done;
}

bool EvaluationRun::AskParameterNumber(const InputRequest& request) {
  const int n = wb_.alg.ParameterCount;
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

CommandOutcome EvaluationRun::EditAndCheckStep() {
  ctx_.views.EditAlgorithmDataAndWait();
  editorOpened_ = true;
  if (wb_.alg.Steps[parameter_] == 0.0) {
    desktop_.Inform(kSetupProblemTitle, kZeroStepText, Icon::Exclamation);
    return CommandOutcome::Refused;
  }
  return CommandOutcome::Done;
}

void EvaluationRun::FixEvaluatedParameter() {
  AlgorithmData& alg = wb_.alg;
  const int e = parameter_;
  NormalizeFuseGroups(alg, wb_.fuse);
  valuesRun_ = alg.Values;
  stepsRun_ = alg.Steps;
  points_.Resize(P_);
  points_.EvaluatedParameter = e;
  x0_ = alg.Values[e];
  h_ = alg.Steps[e];
  alg.Steps[e] = 0.0;
  wb_.state.EvaluatedParameter = e;
  NormalizeFuseGroups(alg, wb_.fuse);
  BuildFreeParameterList(alg, wb_.free);
}

double EvaluationRun::ModelPart(double objective) const {
  return objective - (wb_.state.PriorsActive ? wb_.state.PriorTerm : 0.0);
}

bool EvaluationRun::AdoptLikelihoodScale(double objective) {
  if (wb_.state.ObservationCount > 0) {
    scaleBefore_ = wb_.covariance.LikelihoodScale;
    if (!ScaleFromObservations(wb_, desktop_, ModelPart(objective))) return false;
    scaleChanged_ = true;
  }
  if (!(wb_.covariance.LikelihoodScale > 0.0)) {
    ShowConstantProblem(desktop_);
    return false;
  }
  return true;
}

bool EvaluationRun::QuitAfterInterrupt(const char* title) {
  if (!(wb_.state.*interrupt_)) return false;
  wb_.state.*interrupt_ = false;
  return desktop_.Ask(title, kInterruptQuestion, Buttons::YesNo, Icon::Question) == Answer::Yes;
}

std::string EvaluationRun::PointText(int k, double value) const {
  return ProfilePointText(k, P_, parameter_, value);
}

void EvaluationRun::Summarize(DistributionKind kind) {
  if (h_ < 0.0) ReversePoints(points_, best_);
  DistributionSummary(points_, best_, std::fabs(h_));
  wb_.evaluation = points_;
  wb_.evaluationPlot = DistributionPlotOf(points_, kind, wb_.alg.Descriptions[parameter_]);
}

std::optional<long long> WholeNumber(const std::string& answer) {
  double value = 0.0;
  if (!StrictReal(answer, value) || !std::isfinite(value) || std::fabs(value) > 1E15)
    return std::nullopt;
  return std::llround(value);
}

int OddPointCount(long long answer) {
  long long points = std::max<long long>(answer, 3);
  if (points % 2 == 0) ++points;
  return static_cast<int>(points);
}

namespace {

// The standard error of parameter i on covariance grid k, or 0 when there is
// no reliable one (no covariance row, or -1).
double ParameterSE(const Workbench& wb, int k, int i) {
  const CovarianceState& cov = wb.covariance;
  if (i < cov.CovariancePosition.Lo() || i > cov.CovariancePosition.Hi()) return 0.0;
  const int r = cov.CovariancePosition[i];
  if (r < 1 || r > cov.CovarianceCount) return 0.0;
  const double se = cov.StandardError(k, r);
  return se > 0.0 && std::isfinite(se) ? se : 0.0;
}

}  // namespace

void StepsFromCovarianceGrid(Workbench& wb, int grid, double spread) {
  AlgorithmData& alg = wb.alg;
  for (int i = 1; i <= alg.ParameterCount; ++i) {
    if (alg.Steps[i] == 0.0) continue;
    const double se = ParameterSE(wb, grid, i);
    if (se > 0.0) alg.Steps[i] = spread * se;
  }
}

bool EvaluatedStepFromCovarianceGrid(Workbench& wb, int grid, int parameter, int points) {
  const double se = ParameterSE(wb, grid, parameter);
  if (se <= 0.0 || wb.alg.Steps[parameter] == 0.0) return false;
  wb.alg.Steps[parameter] = 24.0 * se / (3.0 * (points - 1));
  return true;
}

double MinusLnValue(const Workbench& wb, double objective) {
  return objective / wb.covariance.LikelihoodScale;
}

void ShowConstantProblem(Desktop& desktop) {
  desktop.Inform("Insufficient degrees of freedom",
                 "Cannot accept a negative or zero constant; perhaps the degrees of freedom are "
                 "zero or fewer",
                 Icon::Exclamation);
}

bool ScaleFromObservations(Workbench& wb, Desktop& desktop, double modelObjective) {
  if (wb.state.ObservationCount <= 0) return true;
  const int freedom = wb.state.ObservationCount - wb.free.FreeCount - 1;
  const double scale = freedom > 0 ? 2.0 * modelObjective / freedom : 0.0;
  if (!(scale > 0.0) || !std::isfinite(scale)) {
    ShowConstantProblem(desktop);
    return false;
  }
  wb.covariance.LikelihoodScale = scale;
  return true;
}

void ReversePoints(DistributionPoints& points, int& best) {
  const int P = points.Count();
  for (Vector* column : {&points.ProfileValues, &points.ProfileObjectives})
    std::reverse(column->begin(), column->end());
  if (best >= 1) best = P + 1 - best;
}

int BestPointOf(const DistributionPoints& points, int count) {
  int best = 1;
  for (int k = 2; k <= count; ++k)
    if (points.ProfileObjectives[k] < points.ProfileObjectives[best]) best = k;
  return best;
}

void TruncatePoints(DistributionPoints& points, int count) {
  DistributionPoints kept;
  kept.Resize(count);
  for (int k = 1; k <= count; ++k) {
    kept.ProfileValues[k] = points.ProfileValues[k];
    kept.ProfileObjectives[k] = points.ProfileObjectives[k];
  }
  kept.EvaluatedParameter = points.EvaluatedParameter;
  points = kept;
}

}  // namespace estimetrix
