#include "tests/support/nist_fit.h"

#include <algorithm>
#include <memory>

#include "engine/minimizers/marquardt.h"
#include "engine/minimizers/simplex.h"
#include "engine/state/algorithm_data.h"
#include "engine/state/workbench.h"
#include "platform/scripted_desktop.h"
#include "tests/support/recording_marquardt_view.h"
#include "tests/support/timed_model.h"

namespace estimetrix::testing {

namespace {

}  // namespace

std::string SimplexOutcomeText(SimplexOutcome outcome) {
  switch (outcome) {
    case SimplexOutcome::Converged: return "converged";
    case SimplexOutcome::Stopped: return "stopped";
    case SimplexOutcome::ZeroValueError: return "zero value";
    case SimplexOutcome::NonFinite: return "non-finite";
    default: return "other";
  }
}

std::string MarquardtOutcomeText(MarquardtOutcome outcome) {
  switch (outcome) {
    case MarquardtOutcome::Converged: return "converged";
    case MarquardtOutcome::Frustrated: return "frustrated";
    case MarquardtOutcome::Stopped: return "stopped";
    case MarquardtOutcome::Interrupted: return "interrupted";
    case MarquardtOutcome::DerivativesMissing: return "no derivatives";
    case MarquardtOutcome::DecompositionFailed: return "singular";
    case MarquardtOutcome::NonFiniteObjective: return "non-finite";
  }
  return "other";
}

NistFit FitNistProblem(const NistProblem& problem, int start, const NistFitSettings& settings) {
  const double began = TimedModel::ThreadSeconds();
  Workbench wb;
  ScriptedDesktop desktop;
  desktop.SetResponder(ScriptedDesktop::DeclineEverything);
  auto timed = std::make_unique<TimedModel>(std::make_unique<NistModel>(problem));
  TimedModel& model = *timed;
  wb.model = std::move(timed);

  const int p = problem.parameterCount;
  const std::vector<double>& values = start == 1 ? problem.start1 : problem.start2;
  wb.alg.ParameterCount = p;
  SetDefaultAlgorithmData(wb.alg);
  wb.alg.Descriptions.Resize(1, p, "");
  for (int i = 1; i <= p; ++i) {
    wb.alg.Values[i] = values[static_cast<size_t>(i - 1)];
    wb.alg.Steps[i] = values[static_cast<size_t>(i - 1)] / 10.0;
    wb.alg.Descriptions[i] = "b" + std::to_string(i);
  }
  wb.alg.SimplexLimit = settings.tolerance;
  wb.alg.MaxFunctionCalls = settings.maxFunctionCalls;
  wb.ResizeForModel(p);

  NistFit fit;
  NormalizeFuseGroups(wb.alg, wb.fuse);
  BuildFreeParameterList(wb.alg, wb.free);
  SilentSimplexView simplexView;
  fit.simplexOutcome = SimplexOutcomeText(RunSimplex(wb, desktop, simplexView).outcome);

  NormalizeFuseGroups(wb.alg, wb.fuse);
  BuildFreeParameterList(wb.alg, wb.free);
  wb.state.MarquardtDerivatives = DerivativeChoice::Numerical;
  wb.marquardt.ShowDerivatives = false;
  SizeMarquardtDerivatives(wb);
  RecordingMarquardtView marquardtView;
  fit.marquardtOutcome =
      MarquardtOutcomeText(MarquardtMinimize(wb, desktop, marquardtView).outcome);

  fit.digits = 11.0;
  for (int i = 1; i <= p; ++i)
    fit.digits = std::min(
        fit.digits, CorrectDigits(wb.alg.Values[i], problem.certified[static_cast<size_t>(i - 1)]));
  fit.objective = static_cast<NistModel&>(model.Inner()).ResidualSumOfSquares(wb.alg.Values.Data());
  fit.evaluations = model.Evaluations();
  fit.secondsTotal = TimedModel::ThreadSeconds() - began;
  fit.secondsInModel = static_cast<double>(fit.evaluations) * model.SecondsPerCall();
  return fit;
}

}  // namespace estimetrix::testing
