// The instar growth model (means and SDs by instar) and the increment-instar
// proportions.

#include <cmath>

#include "model/likelihood.h"
#include "model/parameter_layout.h"

namespace estimetrix {

namespace {

constexpr double kMeanLimit = 1e6;

void CopyCoefficients(const Vector& values, ModelState& state) {
  for (int j = 0; j < kBetaCount; ++j) state.Beta[j] = values[param::kBeta0 + j];
  for (int l = 0; l < kTauCount; ++l) state.Tau[l] = values[param::kTau0 + l];
  state.Omega = values[param::kOmega];
  state.FrequencyCorrelation = values[param::kR];
  state.MeasurementVariance = Squared(values[param::kPercentSE]);
  state.SelectivityMean = values[param::kSelectivityMean];
  state.SelectivityVariance = Squared(values[param::kSelectivitySD]);
  state.WeibullScale = values[param::kPsi];
  state.WeibullPower = values[param::kPhi];
  state.SelectivityInUse = state.SelectivityMean != 0.0 || state.SelectivityVariance != 0.0;
}

void LimitCorrelation(ModelState& state) {
  double& r = state.FrequencyCorrelation;
  if (std::fabs(r) > 1.0) {
    state.Penalty += Squared(std::fabs(r) - 1.0) * kPenaltyScale;
    r = r > 0.0 ? 1.0 : -1.0;
  }
}

// Each moult adds the polynomial sum of Beta j times the pre-moult size^j.
void GrowMeans(int count, ModelState& state) {
  Vector& mean = state.InstarMean;
  for (int k = 1; k <= count; ++k) {
    double m = mean[k - 1];
    double increment = 0.0;
    for (int j = 0; j < kBetaCount; ++j) {
      if (state.Beta[j] == 0.0) continue;
      if (std::fabs(m) > kMeanLimit) {
        state.Penalty += Squared(m - kMeanLimit) * kPenaltyScale;
        mean[k - 1] = m = kMeanLimit;
      }
      increment += state.Beta[j] * std::pow(m, j);
    }
    mean[k] = m + increment;
    if (mean[k] < mean[k - 1]) state.Penalty += Squared(mean[k] - mean[k - 1]) * kPenaltyScale;
  }
}

// SD of the moult increment into instar k: Tau polynomial in the mean increment.
double IncrementSDInto(int k, ModelState& state) {
  const double step = state.InstarMean[k] - state.InstarMean[k - 1];
  double sd = state.Tau[0] + state.Tau[1] * step + state.Tau[2] * step * step;
  if (sd < 0.0) {
    state.Penalty += Squared(sd) * kPenaltyScale;
    sd = -sd;
  } else if (sd == 0.0) {
    sd = 1.0;
  }
  return sd;
}

// The size in instar k is the size in instar k-1 scaled by the growth ratio
// plus a correlated increment.
void GrowSDs(int count, double sigma1, ModelState& state) {
  const Vector& mean = state.InstarMean;
  Vector& sd = state.InstarSD;
  for (int k = 1; k <= count; ++k) {
    if (k == 1) {
      sd[1] = sigma1;
    } else {
      const double previousStep = mean[k - 1] - mean[k - 2];
      const double rho = previousStep > 0.0 ? (mean[k] - mean[k - 1]) / previousStep : 1.0;
      const double incrementSD = IncrementSDInto(k, state);
      const double covariance = state.FrequencyCorrelation * sd[k - 1] * incrementSD;
      state.IncrementSD[k - 1] = incrementSD;
      state.SizeIncrementCovariance[k - 1] = covariance;
      const double variance =
          Squared(incrementSD) + Squared(rho) * Squared(sd[k - 1]) + 2.0 * rho * covariance;
      // Never negative while |r| <= 1; rounding alone can take it below 0.
      // A NaN passes on so that the objective shows it.
      sd[k] = std::sqrt(variance < 0.0 ? 0.0 : variance);
    }
    if (sd[k] < 0.0) {
      state.Penalty += Squared(sd[k]) * kPenaltyScale;
      sd[k] = -sd[k];
    } else if (sd[k] == 0.0) {
      state.Penalty += kPenaltyScale;
      sd[k] = 1.0;
    }
  }
}

}  // namespace

void ComputeInstarGrowth(const Vector& values, int count, ModelState& state) {
  CopyCoefficients(values, state);
  state.InstarMean[0] = values[param::kMu0];
  // r enters only the instar SDs. With no instars to grow (an increments-only
  // analysis without increment instars) nothing uses it, so it is left as it
  // stands and costs nothing.
  if (count > 0) LimitCorrelation(state);
  GrowMeans(count, state);
  GrowSDs(count, values[param::kSigma1], state);
}

double CorrectProportion(Vector& values, int index, double& penalty) {
  double value = values[index];
  if (value < 0.0) {
    penalty += Squared(value) * kPenaltyScale;
    value = -value;
    values[index] = value;
  }
  if (value > 1.0) penalty += Squared(1.0 - value) * kPenaltyScale;
  return value;
}

void ComputeIncrementProportions(Vector& values, int count, ModelState& state) {
  Vector& proportion = state.IncrementProportion;
  double sum = 0.0;
  for (int i = 1; i <= count; ++i) {
    const int index = kStructuralParameterCount + i;
    if (values[index] == -1.0) continue;
    proportion[i] = CorrectProportion(values, index, state.Penalty);
    sum += proportion[i];
  }
  // Only the first marker is estimated by difference; any further one counts 0.
  bool filled = false;
  for (int i = 1; i <= count; ++i) {
    if (values[kStructuralParameterCount + i] != -1.0) continue;
    proportion[i] = filled ? 0.0 : 1.0 - sum;
    if (!filled && proportion[i] < 0.0) state.Penalty += Squared(proportion[i]) * kPenaltyScale;
    filled = true;
  }
  double total = 0.0;
  for (int i = 1; i <= count; ++i) total += proportion[i];
  if (total > 1.0) state.Penalty += Squared(total - 1.0) * kPenaltyScale;
}

}  // namespace estimetrix
