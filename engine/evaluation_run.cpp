// The run and the steps the posterior and the likelihood profile share.

#include "engine/evaluation_run.h"

#include <cmath>

#include "engine/covariance.h"
#include "engine/format.h"
#include "engine/posterior.h"
#include "engine/workbench.h"
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

std::string ProfilePointText(int point, int count) {
  return "Calculating profile point " + FormatNumber(point, "##0") + " of " +
         FormatNumber(count, "##0") + ",";
}

std::string ProfilePointText(int point, int count, int parameter, double value,
                             const char* valuePattern) {
  return ProfilePointText(point, count) + " Value of parameter # " + IntText(parameter) +
         " which is being profiled is: " + FormatNumber(value, valuePattern);
}

std::string ProfileMinimizerText(const Workbench& wb, int point, int count, bool withValue,
                                 const char* valuePattern) {
  if (!withValue) return ProfilePointText(point, count);
  const int pinned = wb.state.EvaluatedParameter;
  const Vector& values = wb.alg.Values;
  const double value = pinned >= values.Lo() && pinned <= values.Hi() ? values[pinned] : 0.0;
  return ProfilePointText(point, count, pinned, value, valuePattern);
}

std::string TimeRemainingText(Desktop& desktop, double start, double done, double remaining) {
  const double seconds = SecondsSince(desktop, start) / done * remaining;
  return "Estimated time remaining (m:s): " + MinutesSeconds(seconds);
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

}  // namespace estimetrix
