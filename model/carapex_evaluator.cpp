#include "model/carapex_evaluator.h"

#include <cmath>
#include <limits>

#include "model/likelihood.h"
#include "model/parameter_layout.h"

namespace estimetrix {

namespace {

// Parameters that only make sense as magnitudes: Mu_0, Sigma_1, %SE,
// selectivity mean and SD, Psi, Phi.
constexpr int kAbsoluteParameters[] = {
    param::kMu0,           param::kSigma1, param::kPercentSE, param::kSelectivityMean,
    param::kSelectivitySD, param::kPsi,    param::kPhi};

}  // namespace

double EvaluateCarapex(const ModelData& data, Vector& values, ModelState& state, ModelWork& work) {
  if (values.Lo() != 1 || values.Size() < data.ParameterCount ||
      values.Size() < kStructuralParameterCount) {
    // Not a vector this model can read: never a usable objective.
    return std::numeric_limits<double>::quiet_NaN();
  }
  state.Penalty = 0.0;
  state.SelectivityInUse = false;
  for (int index : kAbsoluteParameters) values[index] = std::fabs(values[index]);
  state.FrequencyTerm = 0.0;
  state.IncrementTerm = 0.0;

  // Increment-only: the coefficients are needed even without instars.
  ComputeInstarGrowth(values, data.HasFrequencies() ? data.InstarCount : data.IncrementInstarCount,
                      state);
  if (data.HasFrequencies()) {
    PredictFrequencies(values, data, state, work);
    FloorLowPredictions(data, state);
    AddFrequencyTerms(data, state);
  }
  if (data.HasIncrements()) {
    ComputeIncrementProportions(values, data.IncrementInstarCount, state);
    IncrementNegLogLikelihood(values, data, state, work);
  }
  return 2.0 * (state.IncrementTerm + state.FrequencyTerm) + state.Penalty;
}

CarapexEvaluator::CarapexEvaluator(const ModelData& data) : data_(data) {
  state_.Resize(data_);
  work_.Resize(data_);
}

double CarapexEvaluator::Evaluate(Vector& parameters) {
  return EvaluateCarapex(data_, parameters, state_, work_);
}

}  // namespace estimetrix
