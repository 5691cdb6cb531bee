// The moult-increment records: each is a mixture over the increment instars
// that an animal of its initial size may belong to, with Gaussian or gamma
// increments, optionally measured with error.

#include <cmath>
#include <limits>

#include "engine/log_gamma.h"
#include "model/distributions.h"
#include "model/likelihood.h"
#include "model/parameter_layout.h"

namespace estimetrix {

namespace {

constexpr double kWeightFloor = 1e-8;
constexpr double kLikelihoodFloor = 1e-20;
constexpr double kZeroVariance = 1e-6;
constexpr double kMaxLowerTail = 0.999999;
const double kTwoPi = 8.0 * std::atan(1.0);

// What stays the same for every record of one evaluation.
struct IncrementSettings {
  bool gammaErrors = false;
  bool gaussianInstars = false;
  bool gammaInstars = false;
  double errorFraction = 0.0;                           // %SE / 100
  double lowerTailStart = 0.0;                          // normal distribution at -10
  const Array1<GammaDensity>* instarDensity = nullptr;  // gamma instars, worked out once
};

// One record's result under one component: its -ln density, the variance it
// used and any penalty it incurred.
struct Component {
  double g = 0.0;
  double variance = 0.0;
  double penalty = 0.0;
};

double MeasurementVariance(const IncrementSettings& set, double x, double predicted) {
  if (set.errorFraction == 0.0) return 0.0;
  return Squared(set.errorFraction * (x + predicted)) + Squared(set.errorFraction * x);
}

// Gaussian increment, truncated at zero unless the truncation is negligible.
Component GaussianComponent(const IncrementSettings& set, double x, double delta, double p,
                            double v) {
  const double e = MeasurementVariance(set, x, p);
  double variance = v + e;
  if (variance == 0.0) variance = kZeroVariance;
  const double z0 = -p / std::sqrt(variance);
  double p0 = z0 > -5.0 ? NormalDistribution(z0) - set.lowerTailStart : 0.0;
  if (p0 >= 1.0) p0 = kMaxLowerTail;
  Component out;
  out.variance = variance;
  if (z0 <= -5.0 || e == 0.0) {
    out.g = std::log(std::sqrt(kTwoPi * variance)) + Squared(delta - p) / (2.0 * variance);
    if (z0 > -5.0) out.g += std::log(1.0 - p0);
  } else {
    out.g = GaussianIncrementWithError(p0, delta, p, v, e);
  }
  return out;
}

Component GammaComponent(const IncrementSettings& set, double x, double delta, double p, double v) {
  Component out;
  const double alpha = p * p / v;
  double beta = v / p;
  if (beta < 0.0) {
    out.penalty += Squared(beta) * kPenaltyScale;
    beta = -beta;
  }
  const double e = MeasurementVariance(set, x, p);
  out.variance = v + e;
  if (set.errorFraction == 0.0) {
    out.g =
        -(alpha - 1.0) * std::log(delta) + delta / beta + alpha * std::log(beta) + LogGamma(alpha);
  } else {
    out.g = GammaIncrementWithError(delta, p, v, alpha, beta, e);
  }
  return out;
}

Component IncrementComponent(const IncrementSettings& set, double x, double delta, double p,
                             double v) {
  return set.gammaErrors ? GammaComponent(set, x, delta, p, v)
                         : GaussianComponent(set, x, delta, p, v);
}

// Probability that an animal of size x (within 1%) belongs to instar k.
double InstarWindowProbability(const IncrementSettings& set, const ModelState& state, int k,
                               double x) {
  const double mean = state.InstarMean[k], sd = state.InstarSD[k];
  const double z1 = (0.99 * x - mean) / sd;
  const double z2 = (1.01 * x - mean) / sd;
  if (std::isnan(z1) || std::isnan(z2)) return std::numeric_limits<double>::quiet_NaN();
  if (!(z2 >= -5.0 && z1 <= 5.0)) return kWeightFloor;
  if (set.gaussianInstars) return NormalIntervalProbability(z1, z2);
  if (set.gammaInstars) return (*set.instarDensity)[k].Interval(0.99 * x, x, 1.01 * x);
  return kWeightFloor;
}

// Mixture over the increment instars: -ln of the weighted record likelihood.
double MixtureTerm(const IncrementSettings& set, int r, double x, double delta, double p, double v,
                   const ModelState& state, ModelWork& work, double& penalty) {
  const int count = work.InstarWeight.Size();
  double weightSum = 0.0;
  for (int k = 1; k <= count; ++k) {
    work.InstarWeight[k] = InstarWindowProbability(set, state, k, x) * state.IncrementProportion[k];
    weightSum += work.InstarWeight[k];
  }
  double likelihood = 0.0;
  for (int k = 1; k <= count; ++k) {
    // No instar holds any weight (all proportions 0): the record gets the floor.
    const double weight = weightSum != 0.0 ? work.InstarWeight[k] / weightSum : 0.0;
    const double sd = state.InstarSD[k];
    const double pk = sd > 0.0 ? p + state.Omega * p * (x - state.InstarMean[k]) / sd : p;
    const Component component = IncrementComponent(set, x, delta, pk, v);
    penalty += component.penalty;
    work.ConditionalIncrement(r, k) = pk;
    work.ConditionalVariance(r, k) = component.variance;
    likelihood += std::exp(-component.g) * weight;
  }
  // The floor is for likelihoods that underflow, not for NaN.
  if (std::isnan(likelihood)) return likelihood;
  return likelihood > kLikelihoodFloor ? -std::log(likelihood) : -std::log(kLikelihoodFloor);
}

void CopyRecord(int from, int to, ModelWork& work) {
  work.PredictedIncrement[to] = work.PredictedIncrement[from];
  work.PredictedPostMoultSize[to] = work.PredictedPostMoultSize[from];
  work.IncrementVariance[to] = work.IncrementVariance[from];
  work.RecordTerm[to] = work.RecordTerm[from];
  work.RecordPenalty[to] = work.RecordPenalty[from];
  for (int k = 1; k <= work.InstarWeight.Size(); ++k) {
    work.ConditionalIncrement(to, k) = work.ConditionalIncrement(from, k);
    work.ConditionalVariance(to, k) = work.ConditionalVariance(from, k);
  }
}

void EvaluateRecord(const IncrementSettings& set, int r, double x, double delta,
                    const ModelState& state, ModelWork& work) {
  double penalty = 0.0;
  double p = 0.0, power = 1.0;
  for (int j = 0; j < kBetaCount; ++j, power *= x) p += state.Beta[j] * power;
  if (p < 0.0) penalty += Squared(p) * kPenaltyScale;
  double s = state.Tau[0] + state.Tau[1] * p + state.Tau[2] * p * p;
  const double v = s * s;
  if (s < 0.0) {
    penalty += Squared(s) * kPenaltyScale;
    s = -s;
  }
  double term;
  if (work.InstarWeight.Size() > 0) {
    term = MixtureTerm(set, r, x, delta, p, v, state, work, penalty);
  } else {
    const Component component = IncrementComponent(set, x, delta, p, v);
    penalty += component.penalty;
    term = component.g;
  }
  work.PredictedIncrement[r] = p;
  work.PredictedPostMoultSize[r] = x + p;
  work.IncrementVariance[r] = v;
  work.RecordTerm[r] = term;
  work.RecordPenalty[r] = penalty;
}

}  // namespace

double IncrementNegLogLikelihood(const Vector& values, const ModelData& data, ModelState& state,
                                 ModelWork& work) {
  IncrementSettings set;
  set.gammaErrors = data.IncrementErrorDistribution == "G";
  set.gaussianInstars = data.InstarDistribution == "N";
  set.gammaInstars = data.InstarDistribution == "G";
  set.errorFraction = 0.01 * std::fabs(values[param::kPercentSE]);
  set.lowerTailStart = NormalDistribution(-10.0);
  if (set.gammaInstars) {
    for (int k = 1; k <= data.IncrementInstarCount; ++k) {
      work.IncrementInstarDensity[k] = GammaDensity(state.InstarMean[k], state.InstarSD[k]);
    }
  }
  set.instarDensity = &work.IncrementInstarDensity;

  double total = 0.0;
  for (int r = 1; r <= data.IncrementRecordCount; ++r) {
    const double x = data.InitialSize[r], delta = data.Increment[r];
    // Sorted data repeat records; the result is the same.
    if (r > 1 && x == data.InitialSize[r - 1] && delta == data.Increment[r - 1]) {
      CopyRecord(r - 1, r, work);
    } else {
      EvaluateRecord(set, r, x, delta, state, work);
    }
    total += work.RecordTerm[r];
    state.Penalty += work.RecordPenalty[r];
  }
  state.IncrementTerm = total;
  return total;
}

}  // namespace estimetrix
