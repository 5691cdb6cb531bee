#pragma once
// The steps of one evaluation of the Carapex likelihood. Each reads the
// configuration and data, writes the evaluation state and scratch arrays it
// is given, and may correct entries of the caller's vector (absolute values of
// negative proportions). None allocates.
//
// The floors and penalties below keep ordinary numbers usable. A NaN is never
// floored or read as "nothing": it reaches the objective, where the engine
// refuses it.

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "engine/array.h"
#include "model/model_data.h"

namespace estimetrix {

// Every penalty is (excess)^2 times this.
constexpr double kPenaltyScale = 1e20;
inline double Squared(double x) {
  return x * x;
}

// Two doubles at a time, for the increment loops: SSE2 where the compiler
// has it (every x86-64), lane by lane elsewhere. FastExp2 gives FastExp's
// bits lane for lane.
namespace pair_math {

using Double2 = double __attribute__((vector_size(16)));
using Bits2 = std::uint64_t __attribute__((vector_size(16)));

constexpr Double2 Splat(double a) {
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

// Whether both lanes lie strictly between `low` and `high` (so are not NaN).
inline bool BothBetween(Double2 x, Double2 low, Double2 high) {
#ifdef __SSE2__
  return _mm_movemask_pd(_mm_and_pd(_mm_cmpgt_pd(x, low), _mm_cmplt_pd(x, high))) == 3;
#else
  return x[0] > low[0] && x[0] < high[0] && x[1] > low[1] && x[1] < high[1];
#endif
}

inline Double2 Sqrt2(Double2 x) {
#ifdef __SSE2__
  return _mm_sqrt_pd(x);
#else
  return Double2{std::sqrt(x[0]), std::sqrt(x[1])};
#endif
}

// The constants of FastExp and NormalCdf, two of each.
namespace pair {
constexpr Double2 kExpLow = Splat(-700.0), kExpHigh = Splat(700.0);
constexpr Double2 kInverseStep = Splat(0x1.71547652b82fep+6);
constexpr Double2 kStepHigh = Splat(0x1.62e42fee00000p-7);
constexpr Double2 kStepLow = Splat(0x1.a39ef35793c76p-39);
constexpr Double2 kRound = Splat(0x1.8p52);
constexpr Bits2 kLowBits = {63, 63};
constexpr Bits2 kMagnitudeBits = {~0ULL >> 1, ~0ULL >> 1};
constexpr Double2 kZero = Splat(0.0), kHalf = Splat(0.5), kOne = Splat(1.0), kTwo = Splat(2.0);
constexpr Double2 kSixth = Splat(1.0 / 6.0), kTwentyFourth = Splat(1.0 / 24.0);
constexpr Double2 kHundredTwentieth = Splat(1.0 / 120.0);
constexpr Double2 kTailScale = Splat(0.2316419);
constexpr Double2 kMinusFive = Splat(-5.0);
constexpr Double2 kA1 = Splat(0.31938153), kA2 = Splat(-0.356563782), kA3 = Splat(1.781477937);
constexpr Double2 kA4 = Splat(-1.821255978), kA5 = Splat(1.330274429);
}  // namespace pair

// The constants of FastExp2, NormalCdf2 and Log2. The compiler rebuilds a
// constant pair from its scalar wherever it is used (two instructions with
// SSE2 alone); a loop that passes its own copy, made opaque by KeepInMemory,
// reads each from memory as an operand instead.
struct PairConstants {
  // FastExp2
  Double2 expLow, expHigh, inverseStep, stepHigh, stepLow, round;
  Bits2 lowBits;
  Double2 one, half, sixth, twentyFourth, hundredTwentieth;
  // NormalCdf2
  Bits2 magnitudeBits;
  Double2 zero, tailScale, a1, a2, a3, a4, a5;
  // Log2
  Bits2 fractionBits, oneBits, twoTo52Bits;
  Double2 two, twoTo52, bias, sqrtTwo, ln2High, ln2Low, lg1, lg2, lg3, lg4, lg5, lg6, lg7;
};

inline constexpr PairConstants kPairConstants = {
    pair::kExpLow,
    pair::kExpHigh,
    pair::kInverseStep,
    pair::kStepHigh,
    pair::kStepLow,
    pair::kRound,
    pair::kLowBits,
    pair::kOne,
    pair::kHalf,
    pair::kSixth,
    pair::kTwentyFourth,
    pair::kHundredTwentieth,
    pair::kMagnitudeBits,
    pair::kZero,
    pair::kTailScale,
    pair::kA1,
    pair::kA2,
    pair::kA3,
    pair::kA4,
    pair::kA5,
    Bits2{(1ULL << 52) - 1, (1ULL << 52) - 1},
    Bits2{0x3ff0000000000000ULL, 0x3ff0000000000000ULL},
    Bits2{0x4330000000000000ULL, 0x4330000000000000ULL},
    pair::kTwo,
    Splat(0x1p52),
    Splat(1023.0),
    Splat(0x1.6a09e667f3bcdp+0),
    Splat(6.93147180369123816490e-01),
    Splat(1.90821492927058770002e-10),
    Splat(6.666666666666735130e-01),
    Splat(3.999999999940941908e-01),
    Splat(2.857142874366239149e-01),
    Splat(2.222219843214978396e-01),
    Splat(1.818357216161805012e-01),
    Splat(1.531383769920937332e-01),
    Splat(1.479819860511658591e-01),
};

// Hides `c`'s values from the optimiser, which then reads them where they are
// used. They do not change.
inline void KeepInMemory(PairConstants& c) {
#if defined(__GNUC__)
  asm("" : "+m"(c));
#endif
}

// FastExp lane by lane, out of the way of the loops.
[[gnu::noinline, gnu::cold]] inline Double2 FastExpEach(Double2 x) {
  return Double2{FastExp(x[0]), FastExp(x[1])};
}

// FastExp of both lanes, which the caller knows to lie in (-700, 700).
[[gnu::always_inline]] inline Double2 FastExp2InRange(Double2 x,
                                                      const PairConstants& c = kPairConstants) {
  const Double2 shifted = x * c.inverseStep + c.round;
  const Double2 n = shifted - c.round;
  const Double2 r = (x - n * c.stepHigh) - n * c.stepLow;
  // shifted lies in [2^52, 2^53), where its low bits are n itself.
  const Bits2 i = std::bit_cast<Bits2>(shifted) - std::bit_cast<Bits2>(c.round);
  const Double2 power{fast_exp::kPowers[i[0] & 63], fast_exp::kPowers[i[1] & 63]};
  // (i div 64) << 52, for negative i too.
  const Double2 scale =
      std::bit_cast<Double2>(std::bit_cast<Bits2>(power) + ((i & ~c.lowBits) << 46));
  const Double2 tail =
      r * (c.one + r * (c.half + r * (c.sixth + r * (c.twentyFourth + r * c.hundredTwentieth))));
  return scale + scale * tail;
}

// FastExp of both lanes; a lane outside (-700, 700) sends the pair to FastExp.
[[gnu::always_inline]] inline Double2 FastExp2(Double2 x, const PairConstants& c = kPairConstants) {
  if (!BothBetween(x, c.expLow, c.expHigh)) [[unlikely]] {
    return FastExpEach(x);
  }
  return FastExp2InRange(x, c);
}

// The normal distribution function of both lanes by the five-term tail
// approximation of NormalDistribution; `inverseSqrtTwoPi` is 1 / sqrt(2 pi)
// twice.
// `inRange`: the caller knows both lanes to lie within +-37 (or to be NaN-free
// and checked otherwise), where z^2 / 2 stays below 700.
template <bool inRange = false>
[[gnu::always_inline]] inline Double2 NormalCdf2(Double2 z, Double2 inverseSqrtTwoPi,
                                                 const PairConstants& c = kPairConstants) {
  const Double2 magnitude = std::bit_cast<Double2>(std::bit_cast<Bits2>(z) & c.magnitudeBits);
  const Double2 t = c.one / (c.one + c.tailScale * magnitude);
  // Halving is exact, as the division by 2 of the single form.
  const Double2 exponent = -z * z * c.half;
  const Double2 density =
      (inRange ? FastExp2InRange(exponent, c) : FastExp2(exponent, c)) * inverseSqrtTwoPi;
  const Double2 tail = density * t * (c.a1 + t * (c.a2 + t * (c.a3 + t * (c.a4 + t * c.a5))));
  return Select(z >= c.zero, c.one - tail, tail);
}

// ln x of both lanes, positive and normal (they lie above 1e-20), to within
// an ulp: x = 2^e m with m in [sqrt(1/2), sqrt(2)), f = m - 1, s = f / (2 + f),
// ln m = f - f^2/2 + s (f^2/2 + R(s^2)).
[[gnu::always_inline]] inline Double2 Log2(Double2 x, const PairConstants& c = kPairConstants) {
  const Bits2 bits = std::bit_cast<Bits2>(x);
  Double2 m = std::bit_cast<Double2>((bits & c.fractionBits) | c.oneBits);
  // The biased exponent as a double: 2^52 + e's bits, less 2^52.
  Double2 e = (std::bit_cast<Double2>((bits >> 52) | c.twoTo52Bits) - c.twoTo52) - c.bias;
  const Bits2 high = m > c.sqrtTwo;
  m = Select(high, m * c.half, m);
  e = e + Select(high, c.one, c.zero);
  const Double2 f = m - c.one;
  const Double2 s = f / (c.two + f);
  const Double2 z = s * s, w = z * z;
  const Double2 r =
      z * (c.lg1 + w * (c.lg3 + w * (c.lg5 + w * c.lg7))) + w * (c.lg2 + w * (c.lg4 + w * c.lg6));
  const Double2 halfSquare = c.half * f * f;
  return e * c.ln2High - ((halfSquare - (s * (halfSquare + r) + e * c.ln2Low)) - f);
}

}  // namespace pair_math

// Copies the growth, SD, correlation, measurement-error, selectivity and
// Weibull coefficients from the vector, then works out the mean and SD of
// instars 0..count. r is limited to [-1, 1], at a penalty, only when there
// are instars to grow (count > 0): without them nothing reads it.
void ComputeInstarGrowth(const Vector& values, int count, ModelState& state);

// A proportion that is not the by-difference marker: a negative one is
// penalised and made positive in the vector, one above 1 is penalised.
// Returns the value to use.
double CorrectProportion(Vector& values, int index, double& penalty);

// The Zeta proportions of the increment instars 1..count after the -1 rule.
void ComputeIncrementProportions(Vector& values, int count, ModelState& state);

// Cell probabilities, series proportions, normalisers and predicted frequencies.
void PredictFrequencies(Vector& values, const ModelData& data, ModelState& state, ModelWork& work);

// Occupied cells with (nearly) no prediction: penalised unless an instar
// lies within 5 SDs, then floored so that the G statistic stays finite.
void FloorLowPredictions(const ModelData& data, ModelState& state);

// The G statistic terms o ln(o/e) from FirstCell on, per series and in total.
void AddFrequencyTerms(const ModelData& data, ModelState& state);

// -ln L of the increment records under the instar mixture; adds the records'
// penalties to state.Penalty. Returns (and stores) the increment term.
double IncrementNegLogLikelihood(const Vector& values, const ModelData& data, ModelState& state,
                                 ModelWork& work);

}  // namespace estimetrix
