// The runner's choice of derivatives: --derivatives analytical|numerical for
// the marquardt and covariance commands, and evaluate --gradient, which
// prints the model's analytical gradient (MODEL with NF = -2).

#include <cstdio>

#include "app/batch_runner.h"
#include "engine/state/algorithm_data.h"

namespace estimetrix {

namespace {

constexpr const char* kDerivatives = "--derivatives";
constexpr const char* kAnalytical = "analytical";
constexpr const char* kNumerical = "numerical";

int CheckChoice(BatchSession& session) {
  if (!session.Has(kDerivatives)) return kBatchSucceeded;
  const std::string choice = session.Option(kDerivatives);
  if (choice == kAnalytical || choice == kNumerical) return kBatchSucceeded;
  return BatchFail(session, std::string(kDerivatives) +
                                " needs \"analytical\" or \"numerical\", not \"" + choice + "\"");
}

}  // namespace

bool AnalyticalDerivativesChosen(const BatchSession& session) {
  return session.Option(kDerivatives) == kAnalytical;
}

int RefuseAnalyticalWithPriors(BatchSession& session, const std::string& command) {
  if (!AnalyticalDerivativesChosen(session) || !session.wb.state.PriorsActive)
    return kBatchSucceeded;
  return BatchFail(session, command +
                                ": analytical derivatives leave the prior term out, so they cannot "
                                "be combined with priors; use --derivatives numerical");
}

int PrintGradient(BatchSession& session) {
  Workbench& wb = session.wb;
  const int n = wb.alg.ParameterCount;
  if (!wb.model || n < 1) return BatchFail(session, "evaluate --gradient: no model parameters");
  Vector values = wb.alg.Values, steps = wb.alg.Steps, gradient(1, n, 0.0);
  Matrix second(n, n, 0.0);
  StringArray descriptions = wb.alg.Descriptions, codes = wb.alg.FuseCodes;
  FuseScratch scratch;
  ExpandFusedParameters(values, wb.alg, wb.fuse, wb.state, scratch);
  double objective = 0.0;
  int count = n, observations = wb.state.ObservationCount, sampleSize = wb.state.AICcSampleSize;
  wb.model->MODEL(objective, values, steps, descriptions, codes, count, -2, observations, gradient,
                  second, sampleSize);
  bool anyFree = false, supplied = false;
  for (int i = 1; i <= n; ++i) anyFree = anyFree || wb.alg.Steps[i] != 0.0;
  for (int i = 1; i <= n && gradient.Size() >= n; ++i)
    supplied = supplied || gradient[i] != 0.0 || second(i, i) != 0.0;
  if (!supplied || gradient.Size() < n)
    return BatchFail(session, "evaluate --gradient: the model supplied no analytical derivatives");
  // The free parameters (the fuse groups' leaders carry their groups), or
  // every parameter when none is free.
  for (int i = 1; i <= n; ++i) {
    if (anyFree && wb.alg.Steps[i] == 0.0) continue;
    char line[64];
    std::snprintf(line, sizeof line, "gradient %d %.17g\n", i, gradient[i]);
    session.out << line;
  }
  return kBatchSucceeded;
}

BatchArea DerivativesBatchArea() {
  BatchArea area;
  area.options.push_back(
      {kDerivatives, "analytical|numerical",
       "Derivatives of the marquardt and covariance commands: numerical (the default) or the "
       "model's exact analytical ones (never with priors)."});
  area.options.push_back({"--gradient", "",
                          "evaluate also prints the model's analytical gradient (no prior term) "
                          "as \"gradient <parameter> <value>\" lines with 17 significant digits, "
                          "for the free parameters (every parameter when none is free)."});
  area.prepare = CheckChoice;
  return area;
}

}  // namespace estimetrix
