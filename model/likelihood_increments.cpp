// The moult-increment records: each is a mixture over the increment instars
// that an animal of its initial size may belong to, with Gaussian or gamma
// increments, optionally measured with error.
//
// Almost everything about a record depends on its initial size alone: the
// predicted increment and its variance, the instar weights, each instar's
// conditional prediction, and every term of a component's -ln density that
// does not involve the observed increment. Those are worked out once per
// size (sorted data repeat sizes) and kept in work.SizeComponents; each
// record then adds only what its observed increment changes. Instars that
// predict the same increment (Omega = 0) share one density.
//
// The exponentials are FastExp (within an ulp of the library's), the
// closed-form Gaussian density is exp(-q) times a factor instead of
// exp(-(ln sqrt(2 pi V) + q + ln(1 - P0))), and the zero Beta terms of the
// increment polynomial are skipped where that cannot turn a NaN into a
// number. Results agree with the plain record-by-record evaluation to far
// better than 1e-12 relative; tests/model/increment_speed_equivalence_test.cpp
// keeps that evaluation and checks it.

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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
const double kFlooredTerm = -std::log(kLikelihoodFloor);
constexpr double kLargestSafeSize = 1e38;  // its eighth power is finite

const double kSqrtTwoPi = std::sqrt(2.0 * 4.0 * std::atan(1.0));

// What stays the same for every record of one evaluation.
struct IncrementSettings {
  bool gammaErrors = false;
  bool gaussianInstars = false;
  bool gammaInstars = false;
  double errorFraction = 0.0;                           // %SE / 100
  double lowerTailStart = 0.0;                          // normal distribution at -10
  int betaTerms = kBetaCount;                           // Beta 0..betaTerms-1 can be non-zero
  const Array1<GammaDensity>* instarDensity = nullptr;  // gamma instars, worked out once
};

// NormalDistribution (distributions.cpp) with FastExp, so that the instar
// windows' eight tails per size inline: the same five-term approximation.
[[gnu::always_inline]] inline double NormalCdf(double z) {
  const double t = 1.0 / (1.0 + 0.2316419 * std::fabs(z));
  const double density = FastExp(-z * z / 2.0) / kSqrtTwoPi;
  const double tail =
      density * t *
      (0.31938153 + t * (-0.356563782 + t * (1.781477937 + t * (-1.821255978 + t * 1.330274429))));
  return z >= 0.0 ? 1.0 - tail : tail;
}

// What a record of one initial size predicts, whatever its increment.
struct SizeTerms {
  double predicted = 0.0;  // p
  double variance = 0.0;   // v
  double penalty = 0.0;    // the record penalty: p, s and every component's
};

bool SameBits(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

double MeasurementVariance(const IncrementSettings& set, double x, double predicted) {
  if (set.errorFraction == 0.0) return 0.0;
  return Squared(set.errorFraction * (x + predicted)) + Squared(set.errorFraction * x);
}

// Gaussian increment, truncated at zero unless the truncation is negligible:
// everything but the observed increment's part.
void PrepareGaussian(const IncrementSettings& set, double x, double v, SizeComponent& c) {
  const double p = c.predicted;
  c.error = MeasurementVariance(set, x, p);
  double variance = v + c.error;
  if (variance == 0.0) variance = kZeroVariance;
  const double sd = std::sqrt(variance);
  const double z0 = -p / sd;
  double p0 = z0 > -5.0 ? NormalCdf(z0) - set.lowerTailStart : 0.0;
  if (p0 >= 1.0) p0 = kMaxLowerTail;
  c.variance = variance;
  c.lowerTail = p0;
  c.closedForm = z0 <= -5.0 || c.error == 0.0;
  c.truncated = z0 > -5.0;
  if (c.closedForm) {
    c.twoVariance = 2.0 * variance;
    // exp(-(ln sqrt(2 pi V) + q + ln(1 - P0))) = exp(-q) / (sqrt(2 pi V) (1 - P0)).
    const double normaliser = std::sqrt(kTwoPi * variance);
    c.densityFactor = c.truncated ? 1.0 / (normaliser * (1.0 - p0)) : 1.0 / normaliser;
  }
}

// The density of increment `delta` under a prepared Gaussian component.
double GaussianDensity(const SizeComponent& c, double delta, double v) {
  if (!c.closedForm) {
    return FastExp(-GaussianIncrementWithError(c.lowerTail, delta, c.predicted, v, c.error));
  }
  return FastExp(-(Squared(delta - c.predicted) / c.twoVariance)) * c.densityFactor;
}

// The same as -ln density, for the record without instars.
double GaussianG(const SizeComponent& c, double delta, double v) {
  if (!c.closedForm) return GaussianIncrementWithError(c.lowerTail, delta, c.predicted, v, c.error);
  double g = std::log(std::sqrt(kTwoPi * c.variance)) + Squared(delta - c.predicted) / c.twoVariance;
  if (c.truncated) g += std::log(1.0 - c.lowerTail);
  return g;
}

void PrepareGamma(const IncrementSettings& set, double x, double v, SizeComponent& c) {
  const double p = c.predicted;
  c.penalty = 0.0;
  c.alpha = p * p / v;
  c.beta = v / p;
  if (c.beta < 0.0) {
    c.penalty += Squared(c.beta) * kPenaltyScale;
    c.beta = -c.beta;
  }
  c.error = MeasurementVariance(set, x, p);
  c.variance = v + c.error;
  if (set.errorFraction == 0.0) {
    c.alphaLogBeta = c.alpha * std::log(c.beta);
    c.logGammaAlpha = LogGamma(c.alpha);
  }
}

// `logDelta` is ln(delta), worked out once per record.
double GammaG(const IncrementSettings& set, const SizeComponent& c, double delta, double logDelta,
              double v) {
  if (set.errorFraction != 0.0) {
    return GammaIncrementWithError(delta, c.predicted, v, c.alpha, c.beta, c.error);
  }
  return -(c.alpha - 1.0) * logDelta + delta / c.beta + c.alphaLogBeta + c.logGammaAlpha;
}

void PrepareComponent(const IncrementSettings& set, double x, double v, SizeComponent& c) {
  c.penalty = 0.0;
  c.sameAs = 0;
  if (set.gammaErrors) {
    PrepareGamma(set, x, v, c);
  } else {
    PrepareGaussian(set, x, v, c);
  }
}

// Probability that an animal of size x (within 1%) belongs to instar k.
double InstarWindowProbability(const IncrementSettings& set, const ModelState& state, int k,
                               double x) {
  const double mean = state.InstarMean[k], sd = state.InstarSD[k];
  const double z1 = (0.99 * x - mean) / sd;
  const double z2 = (1.01 * x - mean) / sd;
  if (std::isnan(z1) || std::isnan(z2)) return std::numeric_limits<double>::quiet_NaN();
  if (!(z2 >= -5.0 && z1 <= 5.0)) return kWeightFloor;
  if (set.gaussianInstars) return NormalCdf(z2) - NormalCdf(z1);
  if (set.gammaInstars) return (*set.instarDensity)[k].Interval(0.99 * x, x, 1.01 * x);
  return kWeightFloor;
}

// The instar weights and every component's size-only terms for size x.
void PrepareInstars(const IncrementSettings& set, double x, const SizeTerms& size,
                    const ModelState& state, ModelWork& work, double& penalty) {
  const int count = work.InstarWeight.Size();
  const double p = size.predicted, v = size.variance;
  double weightSum = 0.0;
  for (int k = 1; k <= count; ++k) {
    work.InstarWeight[k] = InstarWindowProbability(set, state, k, x) * state.IncrementProportion[k];
    weightSum += work.InstarWeight[k];
  }
  for (int k = 1; k <= count; ++k) {
    SizeComponent& c = work.SizeComponents[k];
    // No instar holds any weight (all proportions 0): the record gets the floor.
    const double weight = weightSum != 0.0 ? work.InstarWeight[k] / weightSum : 0.0;
    const double sd = state.InstarSD[k];
    const double pk = sd > 0.0 ? p + state.Omega * p * (x - state.InstarMean[k]) / sd : p;
    if (k > 1 && SameBits(pk, work.SizeComponents[k - 1].predicted)) {
      // Same prediction, same component: only the weight differs.
      c = work.SizeComponents[k - 1];
      c.sameAs = work.SizeComponents[k - 1].sameAs != 0 ? work.SizeComponents[k - 1].sameAs : k - 1;
    } else {
      c.predicted = pk;
      PrepareComponent(set, x, v, c);
    }
    c.weight = weight;
    penalty += c.penalty;
  }
}

SizeTerms PrepareSize(const IncrementSettings& set, double x, const ModelState& state,
                      ModelWork& work) {
  SizeTerms size;
  double penalty = 0.0;
  // A zero term adds an exact zero, unless x^j overflows (0 times infinity).
  const int terms = std::fabs(x) <= kLargestSafeSize ? set.betaTerms : kBetaCount;
  double p = 0.0, power = 1.0;
  for (int j = 0; j < terms; ++j, power *= x) p += state.Beta[j] * power;
  if (p < 0.0) penalty += Squared(p) * kPenaltyScale;
  double s = state.Tau[0] + state.Tau[1] * p + state.Tau[2] * p * p;
  const double v = s * s;
  if (s < 0.0) {
    penalty += Squared(s) * kPenaltyScale;
    s = -s;
  }
  size.predicted = p;
  size.variance = v;
  if (work.InstarWeight.Size() > 0) {
    PrepareInstars(set, x, size, state, work, penalty);
  } else {
    // One component with the unconditional prediction and no weight.
    SizeComponent& c = work.SizeComponents[1];
    c.predicted = p;
    PrepareComponent(set, x, v, c);
    penalty += c.penalty;
  }
  size.penalty = penalty;
  return size;
}

// -ln of one record's likelihood: the weighted mixture over the instars, or
// the single component without instars.
double RecordTerm(const IncrementSettings& set, double delta, const SizeTerms& size,
                  ModelWork& work) {
  const double v = size.variance;
  const double logDelta = set.gammaErrors && set.errorFraction == 0.0 ? std::log(delta) : 0.0;
  const int count = work.InstarWeight.Size();
  if (count == 0) {
    const SizeComponent& c = work.SizeComponents[1];
    return set.gammaErrors ? GammaG(set, c, delta, logDelta, v) : GaussianG(c, delta, v);
  }
  double likelihood = 0.0;
  for (int k = 1; k <= count; ++k) {
    SizeComponent& c = work.SizeComponents[k];
    if (c.sameAs != 0) {
      c.density = work.SizeComponents[c.sameAs].density;
    } else if (set.gammaErrors) {
      c.density = FastExp(-GammaG(set, c, delta, logDelta, v));
    } else {
      c.density = GaussianDensity(c, delta, v);
    }
    likelihood += c.density * c.weight;
  }
  // The floor is for likelihoods that underflow, not for NaN.
  if (std::isnan(likelihood)) return likelihood;
  return likelihood > kLikelihoodFloor ? -std::log(likelihood) : kFlooredTerm;
}

// ---------------------------------------------------------------------------
// Gaussian increments without measurement error, the usual fit of increment
// data. Every component of a size then has the size's own variance, so a
// record's density under instar k is exp(-(delta - p_k)^2 / 2V) times a
// factor of its size and instar. The work goes in passes over contiguous
// arrays (sizes, then instar by size, then instar by record) so that the
// window tails and the exponentials go two at a time; the arithmetic is the
// general path's, operation for operation, so the results are the same to
// the bit.

using Double2 = double __attribute__((vector_size(16)));
using Bits2 = std::uint64_t __attribute__((vector_size(16)));

inline Double2 Splat(double a) {
  return Double2{a, a};
}
inline Double2 Load2(const double* p) {
  Double2 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
inline void Store2(double* p, Double2 v) {
  std::memcpy(p, &v, sizeof v);
}
inline Double2 Select(Bits2 mask, Double2 yes, Double2 no) {
  return std::bit_cast<Double2>((mask & std::bit_cast<Bits2>(yes)) |
                                (~mask & std::bit_cast<Bits2>(no)));
}

// Whether both lanes of a comparison are true.
inline bool BothSet(Bits2 mask) {
#ifdef __SSE2__
  return _mm_movemask_pd(std::bit_cast<__m128d>(mask)) == 3;
#else
  return (mask[0] & mask[1]) != 0;
#endif
}

// FastExp of both lanes; a lane outside (-700, 700) sends the pair to FastExp.
[[gnu::always_inline]] inline Double2 FastExp2(Double2 x) {
  if (!BothSet((x > Splat(-700.0)) & (x < Splat(700.0)))) {
    return Double2{FastExp(x[0]), FastExp(x[1])};
  }
  constexpr double kInverseStep = 0x1.71547652b82fep+6;
  constexpr double kStepHigh = 0x1.62e42fee00000p-7;
  constexpr double kStepLow = 0x1.a39ef35793c76p-39;
  constexpr double kRound = 0x1.8p52;
  const Double2 shifted = x * Splat(kInverseStep) + Splat(kRound);
  const Double2 n = shifted - Splat(kRound);
  const Double2 r = (x - n * Splat(kStepHigh)) - n * Splat(kStepLow);
  // shifted lies in [2^52, 2^53), where its low bits are n itself.
  const Bits2 i = std::bit_cast<Bits2>(shifted) - std::bit_cast<Bits2>(Splat(kRound));
  const Double2 power{fast_exp::kPowers[i[0] & 63], fast_exp::kPowers[i[1] & 63]};
  // (i div 64) << 52, for negative i too.
  const Double2 scale =
      std::bit_cast<Double2>(std::bit_cast<Bits2>(power) + ((i & ~Bits2{63, 63}) << 46));
  const Double2 tail =
      r * (Splat(1.0) +
           r * (Splat(0.5) +
                r * (Splat(1.0 / 6.0) + r * (Splat(1.0 / 24.0) + r * Splat(1.0 / 120.0)))));
  return scale + scale * tail;
}

// NormalCdf of both lanes.
[[gnu::always_inline]] inline Double2 NormalCdf2(Double2 z) {
  const Double2 magnitude =
      std::bit_cast<Double2>(std::bit_cast<Bits2>(z) & Bits2{~0ULL >> 1, ~0ULL >> 1});
  const Double2 t = Splat(1.0) / (Splat(1.0) + Splat(0.2316419) * magnitude);
  const Double2 density = FastExp2(-z * z / Splat(2.0)) / Splat(kSqrtTwoPi);
  const Double2 tail =
      density * t *
      (Splat(0.31938153) +
       t * (Splat(-0.356563782) +
            t * (Splat(1.781477937) + t * (Splat(-1.821255978) + t * Splat(1.330274429)))));
  return Select(z >= Splat(0.0), Splat(1.0) - tail, tail);
}

// out[i] = NormalCdf(z[i]), i < count.
void NormalCdfs(const double* z, double* out, int count) {
  int i = 0;
  for (; i + 1 < count; i += 2) Store2(out + i, NormalCdf2(Load2(z + i)));
  if (i < count) out[i] = NormalCdf(z[i]);
}

// out[i] = FastExp(x[i]), i < count.
void FastExps(const double* x, double* out, int count) {
  int i = 0;
  for (; i + 1 < count; i += 2) Store2(out + i, FastExp2(Load2(x + i)));
  if (i < count) out[i] = FastExp(x[i]);
}

// p, v and the record penalty's p and s parts.
void PredictSize(const IncrementSettings& set, double x, const ModelState& state, double& p,
                 double& v, double& penalty) {
  const int terms = std::fabs(x) <= kLargestSafeSize ? set.betaTerms : kBetaCount;
  const double* beta = &state.Beta[0];
  p = 0.0;
  double power = 1.0;
  for (int j = 0; j < terms; ++j, power *= x) p += beta[j] * power;
  penalty = 0.0;
  if (p < 0.0) penalty += Squared(p) * kPenaltyScale;
  double s = state.Tau[0] + state.Tau[1] * p + state.Tau[2] * p * p;
  v = s * s;
  if (s < 0.0) penalty += Squared(s) * kPenaltyScale;
}

double GaussianWithoutError(const IncrementSettings& set, const ModelData& data,
                            ModelState& state, ModelWork& work) {
  const int count = work.InstarWeight.Size();
  const int records = data.IncrementRecordCount;
  const double* recordX = &data.InitialSize[1];
  const double* recordDelta = &data.Increment[1];
  const double* means = &state.InstarMean[1];
  const double* sds = &state.InstarSD[1];
  const double* proportions = &state.IncrementProportion[1];

  // The scratch block: per size u, per (instar k, size u) at [k * records + u],
  // and per (instar k, record i) at [k * records + i].
  double* next = work.IncrementScratch.Data();
  auto take = [&](int length) {
    double* block = next;
    next += length;
    return block;
  };
  double* sizeX = take(records);
  double* sizeP = take(records);
  double* sizeV = take(records);
  double* sizePenalty = take(records);
  double* sizeVariance = take(records);  // V: v, or kZeroVariance for v = 0
  double* sizeSD = take(records);
  double* sizeNormaliser = take(records);
  double* lowerZ = take(count * records);
  double* upperZ = take(count * records);
  double* lowerTail = take(count * records);
  double* upperTail = take(count * records);
  double* weight = take(count * records);
  double* conditional = take(count * records);
  double* factor = take(count * records);
  double* exponent = take(count * records);
  double* recordFactor = take(count * records);
  double* recordWeight = take(count * records);

  // Distinct initial sizes, in record order (sorted data repeat them).
  int sizes = 0;
  for (int i = 0; i < records; ++i) {
    if (sizes == 0 || !SameBits(recordX[i], sizeX[sizes - 1])) sizeX[sizes++] = recordX[i];
  }
  for (int u = 0; u < sizes; ++u) {
    PredictSize(set, sizeX[u], state, sizeP[u], sizeV[u], sizePenalty[u]);
    double variance = sizeV[u];
    if (variance == 0.0) variance = kZeroVariance;
    sizeVariance[u] = variance;
    sizeSD[u] = std::sqrt(variance);
    sizeNormaliser[u] = std::sqrt(kTwoPi * variance);
  }

  // Instar weights: the window of +-1% around the size under each instar.
  for (int k = 0; k < count; ++k) {
    double* weightK = weight + k * records;
    if (set.gaussianInstars) {
      double* lower = lowerZ + k * records;
      double* upper = upperZ + k * records;
      const double mean = means[k], sd = sds[k];
      for (int u = 0; u < sizes; ++u) {
        lower[u] = (0.99 * sizeX[u] - mean) / sd;
        upper[u] = (1.01 * sizeX[u] - mean) / sd;
      }
    } else {
      for (int u = 0; u < sizes; ++u) {
        weightK[u] = InstarWindowProbability(set, state, k + 1, sizeX[u]) * proportions[k];
      }
    }
  }
  if (set.gaussianInstars) {
    for (int k = 0; k < count; ++k) {
      NormalCdfs(lowerZ + k * records, lowerTail + k * records, sizes);
      NormalCdfs(upperZ + k * records, upperTail + k * records, sizes);
    }
    for (int k = 0; k < count; ++k) {
      const double* lower = lowerZ + k * records;
      const double* upper = upperZ + k * records;
      const double* lowerP = lowerTail + k * records;
      const double* upperP = upperTail + k * records;
      double* weightK = weight + k * records;
      for (int u = 0; u < sizes; ++u) {
        double window = upperP[u] - lowerP[u];
        if (!(upper[u] >= -5.0 && lower[u] <= 5.0)) window = kWeightFloor;
        if (std::isnan(lower[u]) || std::isnan(upper[u])) {
          window = std::numeric_limits<double>::quiet_NaN();
        }
        weightK[u] = window * proportions[k];
      }
    }
  }
  // Normalised, summed over the instars in order.
  double* weightSum = lowerZ;  // the z are spent
  for (int u = 0; u < sizes; ++u) weightSum[u] = 0.0;
  for (int k = 0; k < count; ++k) {
    const double* weightK = weight + k * records;
    for (int u = 0; u < sizes; ++u) weightSum[u] += weightK[u];
  }
  for (int k = 0; k < count; ++k) {
    double* weightK = weight + k * records;
    for (int u = 0; u < sizes; ++u) {
      weightK[u] = weightSum[u] != 0.0 ? weightK[u] / weightSum[u] : 0.0;
    }
  }

  // Each instar's prediction and its density factor, truncated at zero
  // unless the truncation is negligible.
  for (int k = 0; k < count; ++k) {
    double* pk = conditional + k * records;
    double* factorK = factor + k * records;
    const double mean = means[k], sd = sds[k];
    for (int u = 0; u < sizes; ++u) {
      const double p = sizeP[u];
      pk[u] = sd > 0.0 ? p + state.Omega * p * (sizeX[u] - mean) / sd : p;
      const double z0 = -pk[u] / sizeSD[u];
      if (z0 > -5.0) {
        double p0 = NormalCdf(z0) - set.lowerTailStart;
        if (p0 >= 1.0) p0 = kMaxLowerTail;
        factorK[u] = 1.0 / (sizeNormaliser[u] * (1.0 - p0));
      } else {
        factorK[u] = 1.0 / sizeNormaliser[u];
      }
    }
  }

  // Records: each instar's exponent, factor and weight, then the densities.
  double* predicted = &work.PredictedIncrement[1];
  double* postMoult = &work.PredictedPostMoultSize[1];
  double* variances = &work.IncrementVariance[1];
  double* terms = &work.RecordTerm[1];
  double* penalties = &work.RecordPenalty[1];
  double* conditionalOut = &work.ConditionalIncrement(1, 1);
  double* conditionalVarianceOut = &work.ConditionalVariance(1, 1);
  for (int i = 0, u = -1; i < records; ++i) {
    const double x = recordX[i], delta = recordDelta[i];
    if (u < 0 || !SameBits(x, sizeX[u])) ++u;
    predicted[i] = sizeP[u];
    postMoult[i] = x + sizeP[u];
    variances[i] = sizeV[u];
    penalties[i] = sizePenalty[u];
    const double twoVariance = 2.0 * sizeVariance[u];
    for (int k = 0; k < count; ++k) {
      const double pk = conditional[k * records + u];
      exponent[k * records + i] = -(Squared(delta - pk) / twoVariance);
      recordFactor[k * records + i] = factor[k * records + u];
      recordWeight[k * records + i] = weight[k * records + u];
      conditionalOut[i * count + k] = pk;
      conditionalVarianceOut[i * count + k] = sizeVariance[u];
    }
  }
  FastExps(exponent, exponent, count * records);
  double* likelihood = lowerTail;  // spent too
  for (int i = 0; i < records; ++i) likelihood[i] = 0.0;
  for (int k = 0; k < count; ++k) {
    const double* density = exponent + k * records;
    const double* factorK = recordFactor + k * records;
    const double* weightK = recordWeight + k * records;
    for (int i = 0; i < records; ++i) likelihood[i] += density[i] * factorK[i] * weightK[i];
  }
  double total = 0.0, penalty = state.Penalty;
  for (int i = 0; i < records; ++i) {
    // The floor is for likelihoods that underflow, not for NaN.
    const double l = likelihood[i];
    terms[i] = std::isnan(l) ? l : l > kLikelihoodFloor ? -std::log(l) : kFlooredTerm;
    total += terms[i];
    penalty += penalties[i];
  }
  state.Penalty = penalty;
  state.IncrementTerm = total;
  return total;
}

void StoreRecord(int r, double x, double term, const SizeTerms& size, ModelWork& work) {
  work.PredictedIncrement[r] = size.predicted;
  work.PredictedPostMoultSize[r] = x + size.predicted;
  work.IncrementVariance[r] = size.variance;
  work.RecordTerm[r] = term;
  work.RecordPenalty[r] = size.penalty;
  for (int k = 1; k <= work.InstarWeight.Size(); ++k) {
    work.ConditionalIncrement(r, k) = work.SizeComponents[k].predicted;
    work.ConditionalVariance(r, k) = work.SizeComponents[k].variance;
  }
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

}  // namespace

double IncrementNegLogLikelihood(const Vector& values, const ModelData& data, ModelState& state,
                                 ModelWork& work) {
  IncrementSettings set;
  set.gammaErrors = data.IncrementErrorDistribution == "G";
  set.gaussianInstars = data.InstarDistribution == "N";
  set.gammaInstars = data.InstarDistribution == "G";
  set.errorFraction = 0.01 * std::fabs(values[param::kPercentSE]);
  set.lowerTailStart = NormalDistribution(-10.0);
  set.betaTerms = kBetaCount;
  while (set.betaTerms > 0 && state.Beta[set.betaTerms - 1] == 0.0) --set.betaTerms;
  if (set.gammaInstars) {
    for (int k = 1; k <= data.IncrementInstarCount; ++k) {
      work.IncrementInstarDensity[k] = GammaDensity(state.InstarMean[k], state.InstarSD[k]);
    }
  }
  set.instarDensity = &work.IncrementInstarDensity;
  const int count = work.InstarWeight.Size();
  if (!set.gammaErrors && set.errorFraction == 0.0 && count > 0 && data.IncrementRecordCount > 0 &&
      work.IncrementScratch.Size() >= IncrementScratchLength(data.IncrementRecordCount, count)) {
    return GaussianWithoutError(set, data, state, work);
  }

  double total = 0.0;
  SizeTerms size;
  double sizeX = 0.0;  // the initial size that `size` and work.SizeComponents describe
  bool prepared = false;
  for (int r = 1; r <= data.IncrementRecordCount; ++r) {
    const double x = data.InitialSize[r], delta = data.Increment[r];
    // Sorted data repeat records; the result is the same.
    if (r > 1 && x == data.InitialSize[r - 1] && delta == data.Increment[r - 1]) {
      CopyRecord(r - 1, r, work);
    } else {
      if (!prepared || !SameBits(x, sizeX)) {
        size = PrepareSize(set, x, state, work);
        sizeX = x;
        prepared = true;
      }
      StoreRecord(r, x, RecordTerm(set, delta, size, work), size, work);
    }
    total += work.RecordTerm[r];
    state.Penalty += work.RecordPenalty[r];
  }
  state.IncrementTerm = total;
  return total;
}

}  // namespace estimetrix
