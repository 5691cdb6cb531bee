#pragma once
// Two or four doubles at a time, for the increment loops. FastExpLanes gives
// FastExp's bits lane for lane; NormalCdfLanes and LogLanes agree with
// NormalDistribution and std::log to an ulp or two. Every function works each
// lane out with the same operations whatever the width, so results do not
// depend on how many lanes a machine runs at once.
//
// The code is GCC's vector extensions and SSE2 (every x86-64), lane by lane
// elsewhere. A four-lane function inlined into one compiled for AVX2 runs
// four lanes per instruction; anywhere else the compiler splits it in pairs.

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "model/distributions.h"

// Four-lane values are passed in registers only within AVX2 code, where
// every caller of these inline functions lives; the ABI note does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace estimetrix::lane_math {

using Double2 = double __attribute__((vector_size(16)));
// Comparisons give lanes of all ones or zeros, as signed 64-bit integers.
using Bits2 = std::int64_t __attribute__((vector_size(16)));
using Double4 = double __attribute__((vector_size(32)));
using Bits4 = std::int64_t __attribute__((vector_size(32)));

template <class V>
inline constexpr int kLanes = sizeof(V) / sizeof(double);

// std::bit_cast, always inlined: without optimisation a call returning four
// lanes would cross between AVX2 code and code without it, which pass them
// differently.
template <class To, class From>
[[gnu::always_inline]] inline To Cast(From from) {
  return __builtin_bit_cast(To, from);
}
template <class V>
using BitsOf = std::conditional_t<kLanes<V> == 2, Bits2, Bits4>;
// The same bits for arithmetic that wraps.
template <class V>
using WordsOf = std::conditional_t<kLanes<V> == 2, std::uint64_t __attribute__((vector_size(16))),
                                   std::uint64_t __attribute__((vector_size(32)))>;

template <class V = Double2>
[[gnu::always_inline]] constexpr V Splat(double a) {
  if constexpr (kLanes<V> == 2) {
    return V{a, a};
  } else {
    return V{a, a, a, a};
  }
}
template <class V = Double2>
[[gnu::always_inline]] constexpr BitsOf<V> SplatBits(std::uint64_t bits) {
  const auto a = static_cast<std::int64_t>(bits);
  if constexpr (kLanes<V> == 2) {
    return BitsOf<V>{a, a};
  } else {
    return BitsOf<V>{a, a, a, a};
  }
}
template <class V = Double2>
[[gnu::always_inline]] inline V Load(const double* p) {
  V v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
template <class V>
[[gnu::always_inline]] inline void Store(double* p, V v) {
  std::memcpy(p, &v, sizeof v);
}
// p[at[0]], p[at[1]], ...
template <class V>
[[gnu::always_inline]] inline V Gather(const double* p, const int* at) {
  if constexpr (kLanes<V> == 2) {
    return V{p[at[0]], p[at[1]]};
  } else {
    return V{p[at[0]], p[at[1]], p[at[2]], p[at[3]]};
  }
}
// rows[0][k], rows[1][k], ...
template <class V>
[[gnu::always_inline]] inline V GatherColumn(const double* const* rows, int k) {
  if constexpr (kLanes<V> == 2) {
    return V{rows[0][k], rows[1][k]};
  } else {
    return V{rows[0][k], rows[1][k], rows[2][k], rows[3][k]};
  }
}
template <class V>
[[gnu::always_inline]] inline V Select(BitsOf<V> mask, V yes, V no) {
  return Cast<V>((mask & Cast<BitsOf<V>>(yes)) | (~mask & Cast<BitsOf<V>>(no)));
}
// x where the mask holds, 0 elsewhere.
template <class V>
[[gnu::always_inline]] inline V Masked(BitsOf<V> mask, V x) {
  return Cast<V>(mask & Cast<BitsOf<V>>(x));
}

// A comparison's lanes as bits 0, 1, ...
[[gnu::always_inline]] inline int LaneBits(Bits2 mask) {
#ifdef __SSE2__
  return _mm_movemask_pd(Cast<__m128d>(mask));
#else
  return static_cast<int>((mask[0] & 1) | ((mask[1] & 1) << 1));
#endif
}
[[gnu::always_inline]] inline Bits2 LowHalf(Bits4 mask) {
  return __builtin_shufflevector(mask, mask, 0, 1);
}
[[gnu::always_inline]] inline Bits2 HighHalf(Bits4 mask) {
  return __builtin_shufflevector(mask, mask, 2, 3);
}
[[gnu::always_inline]] inline int LaneBits(Bits4 mask) {
  return LaneBits(LowHalf(mask)) | (LaneBits(HighHalf(mask)) << 2);
}
[[gnu::always_inline]] inline bool AllLanes(Bits2 mask) {
  return LaneBits(mask) == 3;
}
[[gnu::always_inline]] inline bool AllLanes(Bits4 mask) {
  return LaneBits(LowHalf(mask) & HighHalf(mask)) == 3;
}
[[gnu::always_inline]] inline bool AnyLane(Bits2 mask) {
  return LaneBits(mask) != 0;
}
[[gnu::always_inline]] inline bool AnyLane(Bits4 mask) {
  return LaneBits(LowHalf(mask) | HighHalf(mask)) != 0;
}

// Two comparisons joined lane by lane are written with SSE2 for two lanes,
// where GCC would otherwise rebuild the joined mask lane by lane.

// Lanes strictly between `low` and `high` (so not NaN).
[[gnu::always_inline]] inline Bits2 Between(Double2 x, Double2 low, Double2 high) {
#ifdef __SSE2__
  return Cast<Bits2>(_mm_and_pd(_mm_cmpgt_pd(x, low), _mm_cmplt_pd(x, high)));
#else
  return (x > low) & (x < high);
#endif
}
[[gnu::always_inline]] inline Bits4 Between(Double4 x, Double4 low, Double4 high) {
  return (x > low) & (x < high);
}
// Lanes above `low` (so not NaN).
[[gnu::always_inline]] inline Bits2 Above(Double2 x, Double2 low) {
#ifdef __SSE2__
  return Cast<Bits2>(_mm_cmpgt_pd(x, low));
#else
  return x > low;
#endif
}
[[gnu::always_inline]] inline Bits4 Above(Double4 x, Double4 low) {
  return x > low;
}
template <class V>
[[gnu::always_inline]] inline bool AllBetween(V x, V low, V high) {
  return AllLanes(Between(x, low, high));
}

// x limited to [low, high], lane by lane, for x that are numbers.
[[gnu::always_inline]] inline Double2 Clamped(Double2 x, Double2 low, Double2 high) {
#ifdef __SSE2__
  return _mm_min_pd(_mm_max_pd(x, low), high);
#else
  return Select<Double2>(x < low, low, Select<Double2>(x > high, high, x));
#endif
}
[[gnu::always_inline]] inline Double4 Clamped(Double4 x, Double4 low, Double4 high) {
  x = x < low ? low : x;
  return x > high ? high : x;
}

// Lanes where either value is a NaN.
[[gnu::always_inline]] inline Bits2 EitherNaN(Double2 a, Double2 b) {
#ifdef __SSE2__
  return Cast<Bits2>(_mm_cmpunord_pd(a, b));
#else
  return (a != a) | (b != b);
#endif
}
[[gnu::always_inline]] inline Bits4 EitherNaN(Double4 a, Double4 b) {
  return (a != a) | (b != b);
}

[[gnu::always_inline]] inline Double2 SqrtLanes(Double2 x) {
#ifdef __SSE2__
  return _mm_sqrt_pd(x);
#else
  return Double2{std::sqrt(x[0]), std::sqrt(x[1])};
#endif
}
[[gnu::always_inline]] inline Double4 SqrtLanes(Double4 x) {
  const Double2 low = SqrtLanes(Double2{x[0], x[1]}), high = SqrtLanes(Double2{x[2], x[3]});
  return __builtin_shufflevector(low, high, 0, 1, 2, 3);
}

// The constants of FastExpLanes, NormalCdfLanes and LogLanes. The compiler
// rebuilds a constant vector from its scalar wherever it is used (two
// instructions with SSE2 alone); a loop that passes its own copy, made
// opaque by KeepInMemory, reads each from memory as an operand instead.
template <class V>
struct LaneConstants {
  using Bits = BitsOf<V>;
  // FastExpLanes
  V expLow, expHigh, inverseStep, stepHigh, stepLow, round;
  Bits lowBits;
  V one, half, sixth, twentyFourth, hundredTwentieth;
  // NormalCdfLanes
  Bits magnitudeBits;
  V zero, tailScale, a1, a2, a3, a4, a5;
  // LogLanes
  Bits fractionBits, oneBits, twoTo52Bits;
  V two, twoTo52, bias, sqrtTwo, ln2High, ln2Low, lg1, lg2, lg3, lg4, lg5, lg6, lg7;
};

template <class V>
inline constexpr LaneConstants<V> kLaneConstants = {
    Splat<V>(-700.0),
    Splat<V>(700.0),
    Splat<V>(0x1.71547652b82fep+6),  // 64 / ln 2
    Splat<V>(0x1.62e42fee00000p-7),
    Splat<V>(0x1.a39ef35793c76p-39),
    Splat<V>(0x1.8p52),
    SplatBits<V>(63),
    Splat<V>(1.0),
    Splat<V>(0.5),
    Splat<V>(1.0 / 6.0),
    Splat<V>(1.0 / 24.0),
    Splat<V>(1.0 / 120.0),
    SplatBits<V>(~0ULL >> 1),
    Splat<V>(0.0),
    Splat<V>(0.2316419),
    Splat<V>(0.31938153),
    Splat<V>(-0.356563782),
    Splat<V>(1.781477937),
    Splat<V>(-1.821255978),
    Splat<V>(1.330274429),
    SplatBits<V>((1ULL << 52) - 1),
    SplatBits<V>(0x3ff0000000000000ULL),
    SplatBits<V>(0x4330000000000000ULL),
    Splat<V>(2.0),
    Splat<V>(0x1p52),
    Splat<V>(1023.0),
    Splat<V>(0x1.6a09e667f3bcdp+0),
    Splat<V>(6.93147180369123816490e-01),
    Splat<V>(1.90821492927058770002e-10),
    Splat<V>(6.666666666666735130e-01),
    Splat<V>(3.999999999940941908e-01),
    Splat<V>(2.857142874366239149e-01),
    Splat<V>(2.222219843214978396e-01),
    Splat<V>(1.818357216161805012e-01),
    Splat<V>(1.531383769920937332e-01),
    Splat<V>(1.479819860511658591e-01),
};

// Hides `c`'s values from the optimiser, which then reads them where they are
// used. They do not change.
template <class V>
inline void KeepInMemory(LaneConstants<V>& c) {
#if defined(__GNUC__)
  asm("" : "+m"(c));
#endif
}

// FastExp lane by lane, out of the way of the loops. The lanes go through
// memory: a call never passes a four-lane value, whose registers differ
// between code built for AVX2 and code that is not.
[[gnu::noinline, gnu::cold]] inline void FastExpEach(double* lanes, int count) {
  for (int j = 0; j < count; ++j) lanes[j] = FastExp(lanes[j]);
}
template <class V>
[[gnu::always_inline]] inline V FastExpEach(V x) {
  double lanes[kLanes<V>];
  Store(lanes, x);
  FastExpEach(lanes, kLanes<V>);
  return Load<V>(lanes);
}

// FastExp of every lane, which the caller knows to lie in (-700, 700).
template <class V>
[[gnu::always_inline]] inline V FastExpLanesInRange(V x,
                                                    const LaneConstants<V>& c = kLaneConstants<V>) {
  using Words = WordsOf<V>;
  const V shifted = x * c.inverseStep + c.round;
  const V n = shifted - c.round;
  const V r = (x - n * c.stepHigh) - n * c.stepLow;
  // shifted lies in [2^52, 2^53), where its low bits are n itself.
  const Words i = Cast<Words>(shifted) - Cast<Words>(c.round);
  const Words lowBits = Cast<Words>(c.lowBits);
  const Words j = i & lowBits;
  V power;
  if constexpr (kLanes<V> == 2) {
    power = V{fast_exp::kPowers[j[0]], fast_exp::kPowers[j[1]]};
  } else {
    power = V{fast_exp::kPowers[j[0]], fast_exp::kPowers[j[1]], fast_exp::kPowers[j[2]],
              fast_exp::kPowers[j[3]]};
  }
  // (i div 64) << 52, for negative i too.
  const V scale = Cast<V>(Cast<Words>(power) + ((i & ~lowBits) << 46));
  const V tail =
      r * (c.one + r * (c.half + r * (c.sixth + r * (c.twentyFourth + r * c.hundredTwentieth))));
  return scale + scale * tail;
}

// FastExp of every lane; a lane outside (-700, 700) sends them all to FastExp.
template <class V>
[[gnu::always_inline]] inline V FastExpLanes(V x, const LaneConstants<V>& c = kLaneConstants<V>) {
  if (!AllBetween(x, c.expLow, c.expHigh)) [[unlikely]] {
    return FastExpEach(x);
  }
  return FastExpLanesInRange(x, c);
}

// The normal distribution function of every lane by the five-term tail
// approximation of NormalDistribution; `inverseSqrtTwoPi` is 1 / sqrt(2 pi)
// in every lane.
// `inRange`: the caller knows every lane to lie within +-37 (or to be NaN-free
// and checked otherwise), where z^2 / 2 stays below 700.
template <bool inRange = false, class V>
[[gnu::always_inline]] inline V NormalCdfLanes(V z, V inverseSqrtTwoPi,
                                               const LaneConstants<V>& c = kLaneConstants<V>) {
  using Bits = BitsOf<V>;
  const V magnitude = Cast<V>(Cast<Bits>(z) & c.magnitudeBits);
  const V t = c.one / (c.one + c.tailScale * magnitude);
  // Halving is exact, as the division by 2 of the single form.
  const V exponent = -z * z * c.half;
  const V density =
      (inRange ? FastExpLanesInRange(exponent, c) : FastExpLanes(exponent, c)) * inverseSqrtTwoPi;
  const V tail = density * t * (c.a1 + t * (c.a2 + t * (c.a3 + t * (c.a4 + t * c.a5))));
  return Select<V>(z >= c.zero, c.one - tail, tail);
}

// ln x of every lane, positive and normal (they lie above 1e-20), to within
// an ulp: x = 2^e m with m in [sqrt(1/2), sqrt(2)), f = m - 1, s = f / (2 + f),
// ln m = f - f^2/2 + s (f^2/2 + R(s^2)).
template <class V>
[[gnu::always_inline]] inline V LogLanes(V x, const LaneConstants<V>& c = kLaneConstants<V>) {
  using Bits = BitsOf<V>;
  const Bits bits = Cast<Bits>(x);
  V m = Cast<V>((bits & c.fractionBits) | c.oneBits);
  // The biased exponent as a double: 2^52 + e's bits, less 2^52.
  const Bits exponentBits = Cast<Bits>(Cast<WordsOf<V>>(x) >> 52);
  V e = (Cast<V>(exponentBits | c.twoTo52Bits) - c.twoTo52) - c.bias;
  const Bits high = m > c.sqrtTwo;
  m = Select<V>(high, m * c.half, m);
  e = e + Select<V>(high, c.one, c.zero);
  const V f = m - c.one;
  const V s = f / (c.two + f);
  const V z = s * s, w = z * z;
  const V r =
      z * (c.lg1 + w * (c.lg3 + w * (c.lg5 + w * c.lg7))) + w * (c.lg2 + w * (c.lg4 + w * c.lg6));
  const V halfSquare = c.half * f * f;
  return e * c.ln2High - ((halfSquare - (s * (halfSquare + r) + e * c.ln2Low)) - f);
}

}  // namespace estimetrix::lane_math
