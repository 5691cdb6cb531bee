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

#include <atomic>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "engine/base/log_gamma.h"
#include "model/distributions.h"
#include "model/lane_math.h"
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
  double p0 = z0 > -5.0 ? NormalDistribution(z0) - set.lowerTailStart : 0.0;
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
  double g =
      std::log(std::sqrt(kTwoPi * c.variance)) + Squared(delta - c.predicted) / c.twoVariance;
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
  if (set.gaussianInstars) return NormalDistribution(z2) - NormalDistribution(z1);
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
// arrays (sizes, then instar by size, then records) so that the window tails,
// exponentials and logarithms go two or four at a time (lane_math.h). The
// arithmetic is the general path's, except that the window ends, the instar
// shifts and the exponents multiply by reciprocals (never one that could
// overflow), the factor is multiplied by the instar weight before the
// exponential is, window ends beyond 37 SDs go in at 37 SDs, and the
// logarithm is LogLanes (within an ulp of the library's): results agree to a
// few ulps. Each lane is worked out alike at either width, so two lanes and
// four give the same bits.

using namespace lane_math;

// How an instar's prediction moves from the size's: not at all (no SD), by
// the SD's reciprocal, or divided by an SD whose reciprocal overflows.
enum class Shift { None, Reciprocal, Divided };

// Lanes whose window [lower, upper] (in SDs) reaches within 5 SDs of the
// mean: upper >= -5 and lower <= 5, never for a NaN.
[[gnu::always_inline]] inline Bits2 WithinFiveSds(Double2 lower, Double2 upper) {
#ifdef __SSE2__
  return Cast<Bits2>(_mm_and_pd(_mm_cmpge_pd(upper, Splat(-5.0)), _mm_cmple_pd(lower, Splat(5.0))));
#else
  return (upper >= Splat(-5.0)) & (lower <= Splat(5.0));
#endif
}
[[gnu::always_inline]] inline Bits4 WithinFiveSds(Double4 lower, Double4 upper) {
  return (upper >= Splat<Double4>(-5.0)) & (lower <= Splat<Double4>(5.0));
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

template <class V>
[[gnu::always_inline]] inline double GaussianWithoutErrorLanes(const IncrementSettings& set,
                                                               const ModelData& data,
                                                               ModelState& state, ModelWork& work) {
  using Bits = BitsOf<V>;
  constexpr int kWidth = kLanes<V>;
  constexpr int kAllLanes = (1 << kWidth) - 1;
  const V kZero = Splat<V>(0.0), kOne = Splat<V>(1.0), kTwo = Splat<V>(2.0);
  const int count = work.InstarWeight.Size();
  const int records = data.IncrementRecordCount;
  const double* recordX = &data.InitialSize[1];
  const double* recordDelta = &data.Increment[1];
  const double* means = &state.InstarMean[1];
  const double* sds = &state.InstarSD[1];
  const double* proportions = &state.IncrementProportion[1];

  LaneConstants<V> constants = kLaneConstants<V>;
  KeepInMemory(constants);

  // The scratch block: arrays of `stride` (a multiple of 4, above the record
  // count) per size u and per record, and `count` of them per (instar k,
  // size u), the weights at [k * stride + u], the predictions and weighted
  // factors size by size at [u * count + k] so that a record copies its row.
  const int stride = IncrementScratchStride(records);
  double* next = work.IncrementScratch.Data();
  auto take = [&](int arrays) {
    double* block = next;
    next += arrays * stride;
    return block;
  };
  double* sizeX = take(1);
  double* sizeP = take(1);
  double* sizeV = take(1);
  double* sizePenalty = take(1);
  double* sizeTruncationBound = take(1);     // 5.000001 SD
  double* sizeInverseTwoVariance = take(1);  // 1 / 2V, used where no 2V is tiny
  double* sizeFactor = take(1);              // 1 / normaliser, the factor without truncation
  double* sizeVariance = take(1);            // V: v, or kZeroVariance for v = 0
  double* sizeTwoVariance = take(1);
  double* recordSize = take(1);  // the record's u
  double* weightSum = take(1);
  double* weight = take(count);
  double* conditional = take(count);
  double* weightedFactor = take(count);

  // Distinct initial sizes in record order (sorted data repeat them), with
  // the last repeated up to a whole number of lanes so that every pass goes
  // a lane width at a time.
  int sizes = 1;
  sizeX[0] = recordX[0];
  recordSize[0] = 0;
  std::uint64_t lastBits = std::bit_cast<std::uint64_t>(recordX[0]);
  for (int i = 1; i < records; ++i) {
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(recordX[i]);
    if (bits != lastBits) {
      sizeX[sizes++] = recordX[i];
      lastBits = bits;
    }
    recordSize[i] = sizes - 1;
  }
  const int padded = (sizes + kWidth - 1) / kWidth * kWidth;
  for (int u = sizes; u < padded; ++u) sizeX[u] = sizeX[sizes - 1];
  // Dividing by a number above 2^-1000 and multiplying by its reciprocal
  // agree to an ulp or two; below, the reciprocal could overflow.
  const V kSmallestScaled = Splat<V>(0x1p-1000);
  // Truncation where z0 = -p_k / SD lies above -5; p_k above 5.000001 SD
  // (within an ulp or two) settles it without the division.
  const V kClearlyBeyond = Splat<V>(5.000001);
  Bits smallVariance = SplatBits<V>(0);
  {
    const V tau0 = Splat<V>(state.Tau[0]), tau1 = Splat<V>(state.Tau[1]);
    const V tau2 = Splat<V>(state.Tau[2]);
    const V kSafeSize = Splat<V>(kLargestSafeSize), kScale = Splat<V>(kPenaltyScale);
    const V kZeroV = Splat<V>(kZeroVariance);
    const Bits kMagnitudeBits = SplatBits<V>(~0ULL >> 1);
    const V twoPi = Splat<V>(kTwoPi);
    const double* beta = &state.Beta[0];
    for (int u = 0; u < padded; u += kWidth) {
      const V x = Load<V>(sizeX + u);
      const V magnitude = Cast<V>(Cast<Bits>(x) & kMagnitudeBits);
      if (!AllLanes(magnitude <= kSafeSize)) {
        // A size whose powers may overflow: every Beta term, as PredictSize does it.
        for (int v = u; v < u + kWidth; ++v) {
          PredictSize(set, sizeX[v], state, sizeP[v], sizeV[v], sizePenalty[v]);
        }
      } else {
        V p = kZero, power = kOne;
        for (int j = 0; j < set.betaTerms; ++j, power *= x) p += Splat<V>(beta[j]) * power;
        V penalty = Select<V>(p < kZero, kZero + p * p * kScale, kZero);
        const V s = tau0 + tau1 * p + tau2 * p * p;
        penalty = Select<V>(s < kZero, penalty + s * s * kScale, penalty);
        Store(sizeP + u, p);
        Store(sizeV + u, s * s);
        Store(sizePenalty + u, penalty);
      }
      const V v = Load<V>(sizeV + u);
      const V variance = Select<V>(v == kZero, kZeroV, v);
      Store(sizeVariance + u, variance);
      const V twoVariance = kTwo * variance;
      Store(sizeTwoVariance + u, twoVariance);
      Store(sizeInverseTwoVariance + u, kOne / twoVariance);
      smallVariance = smallVariance | (twoVariance < kSmallestScaled);
      Store(sizeTruncationBound + u, kClearlyBeyond * SqrtLanes(variance));
      const V normaliser = SqrtLanes(twoPi * variance);
      Store(sizeFactor + u, kOne / normaliser);
    }
  }

  // Instar weights, the window of +-1% around the size under each instar,
  // and their sum over the instars in order, a lane width of sizes at a
  // time: the lower ends of the windows through the normal tail together,
  // then the upper ends. Windows beyond 5 SDs need neither, and sizes with
  // every window beyond skip the tails.
  const V inverseSqrtTwoPi = Splat<V>(1.0 / kSqrtTwoPi);
  const V kLowerEnd = Splat<V>(0.99), kUpperEnd = Splat<V>(1.01);
  const V kFloorWeight = Splat<V>(kWeightFloor);
  const V kMinusEnd = Splat<V>(-37.0), kPlusEnd = Splat<V>(37.0);
  const V kNaN = Splat<V>(std::numeric_limits<double>::quiet_NaN());
  for (int u = 0; u < padded; ++u) weightSum[u] = 0.0;
  for (int k = 0; k < count; ++k) {
    double* weightK = weight + k * stride;
    const double proportion = proportions[k];
    if (set.gaussianInstars) {
      // Times 1/SD, unless that overflows (a subnormal SD), where 0 times
      // infinity would make a NaN of a window end at the mean.
      const V mean = Splat<V>(means[k]), sd = Splat<V>(sds[k]);
      const V inverseSd = Splat<V>(1.0 / sds[k]);
      const bool reciprocal = std::fabs(1.0 / sds[k]) < std::numeric_limits<double>::infinity() ||
                              !(std::fabs(sds[k]) > 0.0);
      const V proportionK = Splat<V>(proportion);
      // Within, upper >= -5 and lower <= 5; an end beyond 37 SDs the other
      // way has a tail below 1e-298, which makes no difference to a window
      // of at least the tail at -5, and goes in at 37 SDs.
      auto tails = [&](V from, V to) __attribute__((always_inline)) {
        return NormalCdfLanes<true>(Clamped(to, kMinusEnd, kPlusEnd), inverseSqrtTwoPi, constants) -
               NormalCdfLanes<true>(Clamped(from, kMinusEnd, kPlusEnd), inverseSqrtTwoPi,
                                    constants);
      };
      for (int u = 0; u < padded; u += kWidth) {
        const V x = Load<V>(sizeX + u);
        const V lowerEnd = kLowerEnd * x - mean, upperEnd = kUpperEnd * x - mean;
        const V lower = reciprocal ? lowerEnd * inverseSd : lowerEnd / sd;
        const V upper = reciprocal ? upperEnd * inverseSd : upperEnd / sd;
        const Bits within = WithinFiveSds(lower, upper);
        const int inside = LaneBits(within);
        V window = kFloorWeight;
        if (inside == kAllLanes) {
          // All within, so none a NaN.
          window = tails(lower, upper);
        } else {
          // A size beyond 5 SDs takes the tails at 0 and keeps the floor.
          if (inside != 0) {
            window = Select<V>(within, tails(Masked<V>(within, lower), Masked<V>(within, upper)),
                               kFloorWeight);
          }
          const Bits missing = EitherNaN(lower, upper);
          if (AnyLane(missing)) [[unlikely]] {
            window = Select<V>(missing, kNaN, window);
          }
        }
        const V w = window * proportionK;
        Store(weightK + u, w);
        Store(weightSum + u, Load<V>(weightSum + u) + w);
      }
    } else {
      for (int u = 0; u < padded; ++u) {
        weightK[u] = InstarWindowProbability(set, state, k + 1, sizeX[u]) * proportion;
        weightSum[u] += weightK[u];
      }
    }
  }

  // Each instar's prediction, and its density factor (truncated at zero
  // unless the truncation is negligible) times its normalised weight, both
  // stored size by size, an instar after the other.
  const V omega = Splat<V>(state.Omega);
  const V lowerTailStart = Splat<V>(set.lowerTailStart);
  const V kMaxTail = Splat<V>(kMaxLowerTail), kMinusFive = Splat<V>(-5.0);
  for (int k = 0; k < count; ++k) {
    const int at = k * stride;
    const V mean = Splat<V>(means[k]), sd = Splat<V>(sds[k]), inverseSd = Splat<V>(1.0 / sds[k]);
    const bool scaled = sds[k] > 0.0;
    // Times 1/SD unless that overflows.
    const bool reciprocal = std::fabs(1.0 / sds[k]) < std::numeric_limits<double>::infinity();
    // One loop for each way of shifting the prediction.
    auto eachSize = [&](auto shifting) __attribute__((always_inline)) {
      for (int u = 0; u < padded; u += kWidth) {
        const V sum = Load<V>(weightSum + u);
        const V w = Select<V>(sum != kZero, Load<V>(weight + at + u) / sum, kZero);
        const V p = Load<V>(sizeP + u);
        V pk = p;
        if constexpr (shifting != Shift::None) {
          const V shift = omega * p * (Load<V>(sizeX + u) - mean);
          pk = p + (shifting == Shift::Reciprocal ? shift * inverseSd : shift / sd);
        }
#pragma GCC unroll 4
        for (int j = 0; j < kWidth; ++j) conditional[(u + j) * count + k] = pk[j];
        V f = Load<V>(sizeFactor + u);
        if (!AllLanes(pk > Load<V>(sizeTruncationBound + u))) {
          const V z0 = -pk / SqrtLanes(Load<V>(sizeVariance + u));
          const Bits truncated = z0 > kMinusFive;
          if (AnyLane(truncated)) {
            const V p0 = NormalCdfLanes(z0, inverseSqrtTwoPi, constants) - lowerTailStart;
            const V kept = Select<V>(p0 >= kOne, kMaxTail, p0);
            f = Select<V>(truncated, f / (kOne - kept), f);
          }
        }
        const V weighted = f * w;
#pragma GCC unroll 4
        for (int j = 0; j < kWidth; ++j) weightedFactor[(u + j) * count + k] = weighted[j];
      }
    };
    if (!scaled) {
      eachSize(std::integral_constant<Shift, Shift::None>{});
    } else if (reciprocal) {
      eachSize(std::integral_constant<Shift, Shift::Reciprocal>{});
    } else {
      eachSize(std::integral_constant<Shift, Shift::Divided>{});
    }
  }

  // Records a lane width at a time (then a pair, then one): what they
  // report, their densities under every instar in order (the first instar
  // sets the likelihood, the others add to it), and -ln of the likelihood.
  // The floor is for likelihoods that underflow, not for NaN. Terms and
  // penalties add up in record order.
  double* predicted = &work.PredictedIncrement[1];
  double* postMoult = &work.PredictedPostMoultSize[1];
  double* variances = &work.IncrementVariance[1];
  double* terms = &work.RecordTerm[1];
  double* penalties = &work.RecordPenalty[1];
  double* conditionalOut = &work.ConditionalIncrement(1, 1);
  double* conditionalVarianceOut = &work.ConditionalVariance(1, 1);
  double total = 0.0, penalty = state.Penalty;
  auto term = [](double l) {
    return std::isnan(l) ? l : l > kLikelihoodFloor ? -std::log(l) : kFlooredTerm;
  };
  // The constants for lanes of type L: the loop's own copy, or for the one
  // pair left over from four-lane blocks the shared table.
  auto constantsFor = [&]<class L>(std::type_identity<L>) -> const LaneConstants<L>& {
    if constexpr (std::is_same_v<L, V>) {
      return constants;
    } else {
      return kLaneConstants<L>;
    }
  };
  // With the instar count a constant for the usual few instars.
  auto recordPasses = [&](auto instars, auto reciprocalVariances) __attribute__((always_inline)) {
    const int n = instars;
    auto report = [&](int i, int u) __attribute__((always_inline)) {
      const double p = sizeP[u], variance = sizeVariance[u];
      predicted[i] = p;
      postMoult[i] = recordX[i] + p;
      variances[i] = sizeV[u];
      penalties[i] = sizePenalty[u];
      penalty += sizePenalty[u];
      const double* row = conditional + u * n;
      double* out = conditionalOut + i * n;
      double* varianceOut = conditionalVarianceOut + i * n;
      int k = 0;
#pragma GCC unroll 4
      for (; k + 1 < n; k += 2) {
        Store(out + k, Load<Double2>(row + k));
        Store(varianceOut + k, Splat<Double2>(variance));
      }
      if (k < n) {
        out[k] = row[k];
        varianceOut[k] = variance;
      }
    };
    // -ln of the likelihoods; a lane that underflows, overflows or is NaN
    // takes the single form.
    auto finish = [&]<class L>(int i, L likelihood) __attribute__((always_inline)) {
      const BitsOf<L> usual = Between(likelihood, Splat<L>(kLikelihoodFloor),
                                      Splat<L>(std::numeric_limits<double>::infinity()));
      L recordTerms;
      if (AllLanes(usual)) [[likely]] {
        recordTerms = -LogLanes(likelihood, constantsFor(std::type_identity<L>{}));
      } else {
        recordTerms = -LogLanes(Select<L>(usual, likelihood, Splat<L>(1.0)),
                                constantsFor(std::type_identity<L>{}));
        for (int j = 0; j < kLanes<L>; ++j) {
          if (usual[j] == 0) recordTerms[j] = term(likelihood[j]);
        }
      }
      Store(terms + i, recordTerms);
#pragma GCC unroll 4
      for (int j = 0; j < kLanes<L>; ++j) total += recordTerms[j];
    };
    // The exponents, at most 0 (or NaN): one range check for them all.
    constexpr int kExponents = std::is_same_v<decltype(instars), int> ? 1 : int{instars};
    auto block = [&]<class L>(int i, std::type_identity<L>) __attribute__((always_inline)) {
      constexpr int lanes = kLanes<L>;
      const LaneConstants<L>& c = constantsFor(std::type_identity<L>{});
      int u[lanes];
      const double* rows[lanes];
      const double* weighted[lanes];
#pragma GCC unroll 4
      for (int j = 0; j < lanes; ++j) {
        u[j] = static_cast<int>(recordSize[i + j]);
        report(i + j, u[j]);
        rows[j] = conditional + u[j] * n;
        weighted[j] = weightedFactor + u[j] * n;
      }
      const L delta = Load<L>(recordDelta + i);
      const L twoVariance =
          Gather<L>(reciprocalVariances ? sizeInverseTwoVariance : sizeTwoVariance, u);
      if (kExponents < n) {
        // Many instars: each exponential checks its own.
        L likelihood = Splat<L>(0.0);
        for (int k = 0; k < n; ++k) {
          const L deviation = delta - GatherColumn<L>(rows, k);
          const L square = deviation * deviation;
          const L q = reciprocalVariances ? square * twoVariance : square / twoVariance;
          const L density = FastExpLanes(-q, c) * GatherColumn<L>(weighted, k);
          likelihood = k == 0 ? density : likelihood + density;
        }
        finish(i, likelihood);
        return;
      }
      L exponent[kExponents];
      BitsOf<L> inRange = SplatBits<L>(~0ULL);
#pragma GCC unroll 4
      for (int k = 0; k < n; ++k) {
        const L deviation = delta - GatherColumn<L>(rows, k);
        const L square = deviation * deviation;
        exponent[k] = -(reciprocalVariances ? square * twoVariance : square / twoVariance);
        inRange &= Above(exponent[k], c.expLow);
      }
      const bool plain = AllLanes(inRange);
      L likelihood = Splat<L>(0.0);
#pragma GCC unroll 4
      for (int k = 0; k < n; ++k) {
        const L e = plain ? FastExpLanesInRange(exponent[k], c) : FastExpLanes(exponent[k], c);
        const L density = e * GatherColumn<L>(weighted, k);
        likelihood = k == 0 ? density : likelihood + density;
      }
      finish(i, likelihood);
    };
    int i = 0;
    for (; i + kWidth <= records; i += kWidth) block(i, std::type_identity<V>{});
    if constexpr (kWidth != 2) {
      if (i + 2 <= records) {
        block(i, std::type_identity<Double2>{});
        i += 2;
      }
    }
    if (i < records) {
      const int u = static_cast<int>(recordSize[i]);
      report(i, u);
      double likelihood = 0.0;
      for (int k = 0; k < n; ++k) {
        const double density =
            FastExp(-(Squared(recordDelta[i] - conditional[u * n + k]) / sizeTwoVariance[u])) *
            weightedFactor[u * n + k];
        likelihood = k == 0 ? density : likelihood + density;
      }
      terms[i] = term(likelihood);
      total += terms[i];
    }
  };
  // The exponents times 1/2V unless a 2V is tiny.
  auto instarPasses = [&](auto reciprocalVariances) __attribute__((always_inline)) {
    switch (count) {
      case 1: recordPasses(std::integral_constant<int, 1>{}, reciprocalVariances); break;
      case 2: recordPasses(std::integral_constant<int, 2>{}, reciprocalVariances); break;
      case 3: recordPasses(std::integral_constant<int, 3>{}, reciprocalVariances); break;
      case 4: recordPasses(std::integral_constant<int, 4>{}, reciprocalVariances); break;
      default: recordPasses(count, reciprocalVariances); break;
    }
  };
  if (AnyLane(smallVariance)) {
    instarPasses(std::false_type{});
  } else {
    instarPasses(std::true_type{});
  }
  state.Penalty = penalty;
  state.IncrementTerm = total;
  return total;
}

double GaussianWithoutErrorPairs(const IncrementSettings& set, const ModelData& data,
                                 ModelState& state, ModelWork& work) {
  return GaussianWithoutErrorLanes<Double2>(set, data, state, work);
}

#if defined(__GNUC__) && defined(__x86_64__)
// The same passes four lanes at a time, for processors with AVX2 (no fused
// multiply-add, so each lane rounds as it does two at a time).
[[gnu::target("avx2")]] double GaussianWithoutErrorQuads(const IncrementSettings& set,
                                                         const ModelData& data, ModelState& state,
                                                         ModelWork& work) {
  return GaussianWithoutErrorLanes<Double4>(set, data, state, work);
}

bool FourLanesAvailable() {
  static const bool available = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return available;
}
#else
double GaussianWithoutErrorQuads(const IncrementSettings& set, const ModelData& data,
                                 ModelState& state, ModelWork& work) {
  return GaussianWithoutErrorPairs(set, data, state, work);
}

bool FourLanesAvailable() {
  return false;
}
#endif

std::atomic<int> gLaneLimit{4};

double GaussianWithoutError(const IncrementSettings& set, const ModelData& data, ModelState& state,
                            ModelWork& work) {
  if (IncrementLanes() == 4) return GaussianWithoutErrorQuads(set, data, state, work);
  return GaussianWithoutErrorPairs(set, data, state, work);
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

int IncrementLanes() {
  return gLaneLimit.load(std::memory_order_relaxed) == 4 && FourLanesAvailable() ? 4 : 2;
}

void LimitIncrementLanes(int lanes) {
  gLaneLimit.store(lanes >= 4 ? 4 : 2, std::memory_order_relaxed);
}

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
