#pragma once
// The model's numerical helpers: interval probabilities of the instar size
// distributions and the -ln densities of an increment measured with error.
// They are the program's own approximations (a five-term normal tail, a
// three-point Simpson gamma interval, a 101-step Simpson integral), not
// library-exact functions: fitted results depend on them.

#include <bit>
#include <cmath>
#include <cstdint>

namespace estimetrix {

// exp(x) to within one unit in the last place, written to be inlined into
// the increment loops, where the library call and its error handling cost
// more than the arithmetic. Arguments beyond +-700 (overflow, underflow to
// subnormals, infinities, NaN) go to std::exp, so every non-finite and
// borderline case is the library's.
namespace fast_exp {
// 2^(j/64), j = 0..63, correctly rounded.
inline constexpr double kPowers[64] = {
    0x1.0000000000000p+0, 0x1.02c9a3e778061p+0, 0x1.059b0d3158574p+0, 0x1.0874518759bc8p+0,
    0x1.0b5586cf9890fp+0, 0x1.0e3ec32d3d1a2p+0, 0x1.11301d0125b51p+0, 0x1.1429aaea92de0p+0,
    0x1.172b83c7d517bp+0, 0x1.1a35beb6fcb75p+0, 0x1.1d4873168b9aap+0, 0x1.2063b88628cd6p+0,
    0x1.2387a6e756238p+0, 0x1.26b4565e27cddp+0, 0x1.29e9df51fdee1p+0, 0x1.2d285a6e4030bp+0,
    0x1.306fe0a31b715p+0, 0x1.33c08b26416ffp+0, 0x1.371a7373aa9cbp+0, 0x1.3a7db34e59ff7p+0,
    0x1.3dea64c123422p+0, 0x1.4160a21f72e2ap+0, 0x1.44e086061892dp+0, 0x1.486a2b5c13cd0p+0,
    0x1.4bfdad5362a27p+0, 0x1.4f9b2769d2ca7p+0, 0x1.5342b569d4f82p+0, 0x1.56f4736b527dap+0,
    0x1.5ab07dd485429p+0, 0x1.5e76f15ad2148p+0, 0x1.6247eb03a5585p+0, 0x1.6623882552225p+0,
    0x1.6a09e667f3bcdp+0, 0x1.6dfb23c651a2fp+0, 0x1.71f75e8ec5f74p+0, 0x1.75feb564267c9p+0,
    0x1.7a11473eb0187p+0, 0x1.7e2f336cf4e62p+0, 0x1.82589994cce13p+0, 0x1.868d99b4492edp+0,
    0x1.8ace5422aa0dbp+0, 0x1.8f1ae99157736p+0, 0x1.93737b0cdc5e5p+0, 0x1.97d829fde4e50p+0,
    0x1.9c49182a3f090p+0, 0x1.a0c667b5de565p+0, 0x1.a5503b23e255dp+0, 0x1.a9e6b5579fdbfp+0,
    0x1.ae89f995ad3adp+0, 0x1.b33a2b84f15fbp+0, 0x1.b7f76f2fb5e47p+0, 0x1.bcc1e904bc1d2p+0,
    0x1.c199bdd85529cp+0, 0x1.c67f12e57d14bp+0, 0x1.cb720dcef9069p+0, 0x1.d072d4a07897cp+0,
    0x1.d5818dcfba487p+0, 0x1.da9e603db3285p+0, 0x1.dfc97337b9b5fp+0, 0x1.e502ee78b3ff6p+0,
    0x1.ea4afa2a490dap+0, 0x1.efa1bee615a27p+0, 0x1.f50765b6e4540p+0, 0x1.fa7c1819e90d8p+0,
};
}  // namespace fast_exp

inline double FastExp(double x) {
  if (!(x > -700.0 && x < 700.0)) return std::exp(x);
  // x = n ln2/64 + r with n whole and |r| <= ln2/128; ln2/64 is split in two
  // so that n times the first part is exact.
  constexpr double kInverseStep = 0x1.71547652b82fep+6;  // 64 / ln 2
  constexpr double kStepHigh = 0x1.62e42fee00000p-7;
  constexpr double kStepLow = 0x1.a39ef35793c76p-39;
  constexpr double kRound = 0x1.8p52;  // adding it rounds to a whole number
  const double n = (x * kInverseStep + kRound) - kRound;
  const double r = (x - n * kStepHigh) - n * kStepLow;
  const auto i = static_cast<std::int64_t>(n);
  // 2^(n/64) = 2^(n div 64) 2^((n mod 64)/64); the first factor goes into the exponent bits.
  const double scale =
      std::bit_cast<double>(std::bit_cast<std::uint64_t>(fast_exp::kPowers[i & 63]) +
                            (static_cast<std::uint64_t>(i >> 6) << 52));
  // exp(r) - 1 by its Taylor series; the first term left out is below 4e-17.
  const double tail =
      r * (1.0 + r * (0.5 + r * (1.0 / 6.0 + r * (1.0 / 24.0 + r * (1.0 / 120.0)))));
  return scale + scale * tail;
}

// Standard normal probability between z1 and z2.
double NormalIntervalProbability(double z1, double z2);

// The normal distribution function behind NormalIntervalProbability, the
// frequency cells and the instar windows of the increment records: the
// five-term tail approximation, inlined into those loops.
inline double NormalDistribution(double z) {
  const double sqrtTwoPi = 0x1.40d931ff62705p+1;  // sqrt(2 pi)
  const double t = 1.0 / (1.0 + 0.2316419 * std::fabs(z));
  const double density = FastExp(-z * z / 2.0) / sqrtTwoPi;
  const double tail =
      density * t *
      (0.31938153 + t * (-0.356563782 + t * (1.781477937 + t * (-1.821255978 + t * 1.330274429))));
  return z >= 0.0 ? 1.0 - tail : tail;
}

// Gamma probability of [lower, upper] for a gamma of the given mean and SD,
// by Simpson's rule on lower, middle, upper.
double GammaIntervalProbability(double lower, double middle, double upper, double mean, double sd);

// A gamma density with its shape, scale and log normalising constant worked
// out once, for loops that evaluate the same instar at many points.
struct GammaDensity {
  GammaDensity() = default;
  GammaDensity(double mean, double sd);
  double operator()(double y) const;
  // Same result as GammaIntervalProbability(lower, middle, upper, mean, sd).
  double Interval(double lower, double middle, double upper) const;

  double alpha = 1.0;
  double beta = 1.0;
  double logNormaliser = 0.0;  // alpha ln beta + ln Gamma(alpha)
};

// -ln of the density of an observed increment `delta` when the true increment
// is normal (mean `predicted`, variance `v`, truncated at zero with lower tail
// `p0`) and is measured with normal error of variance `e`.
double GaussianIncrementWithError(double p0, double delta, double predicted, double v, double e);

// The same for a gamma true increment of shape `alpha` and scale `beta`.
double GammaIncrementWithError(double delta, double predicted, double v, double alpha, double beta,
                               double e);

}  // namespace estimetrix
