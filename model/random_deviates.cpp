// Normal deviates by the polar method; gamma deviates by Ahrens and Dieter's
// rejection method GS (shape below 1) and their normal-squeeze method GD
// (every shape from 1: it is exact however large the shape).

#include "model/random_deviates.h"

#include <cmath>

namespace estimetrix {

namespace {

// GS: standard gamma of shape 0 < a < 1.
double SmallShapeGamma(UniformGenerator& uniform, double a) {
  const double b = 1.0 + 0.3678794 * a;  // 1 + a/e
  for (;;) {
    const double p = b * uniform.Next();
    if (p <= 1.0) {
      // Left part: density proportional to x^(a-1), accepted with exp(-x).
      const double x = std::exp(std::log(p) / a);
      if (ExponentialDeviate(uniform) >= x) return x;
    } else {
      // Right part: density proportional to exp(-x), accepted with x^(a-1).
      const double x = -std::log((b - p) / a);
      if (ExponentialDeviate(uniform) >= (1.0 - a) * std::log(x)) return x;
    }
  }
}

// GD's constants: q0 = sum q_k a^-k approximates the log of the ratio of the
// gamma density's normalising constants; the a_k series approximates
// ln(1 + v) - v + v^2/2 for small v.
constexpr double kQ[] = {0.04166669,  0.02083148, 0.00801191, 0.00144121,
                         -0.00007388, 0.00024511, 0.0002424};
constexpr double kA[] = {0.3333333, -0.250003,  0.2000062, -0.1662921,
                         0.1423657, -0.1367177, 0.1233795};

double Polynomial(const double (&c)[7], double x) {
  double sum = 0.0;
  for (int k = 6; k >= 0; --k) sum = (sum + c[k]) * x;
  return sum;
}

struct GdSetup {
  double s2, s, d, q0, b, si, c;
  explicit GdSetup(double a) {
    s2 = a - 0.5;
    s = std::sqrt(s2);
    d = std::sqrt(32.0) - 12.0 * s;
    q0 = Polynomial(kQ, 1.0 / a);
    // The double-exponential hat, by range of the shape.
    if (a <= 3.686) {
      b = 0.463 + s + 0.178 * s2;
      si = 1.235;
      c = 0.195 / s - 0.079 + 0.16 * s;
    } else if (a <= 13.022) {
      b = 1.654 + 0.0076 * s2;
      si = 1.68 / s + 0.275;
      c = 0.062 / s + 0.024;
    } else {
      b = 1.77;
      si = 0.75;
      c = 0.1515 / s;
    }
  }
  // ln of the gamma density at x = (s + t/2)^2 relative to the normal, plus q0.
  double Q(double t) const {
    const double v = t / (s + s);
    if (std::fabs(v) <= 0.25) return q0 + 0.5 * t * t * Polynomial(kA, v);
    return q0 - s * t + 0.25 * t * t + (s2 + s2) * std::log(1.0 + v);
  }
};

// GD: standard gamma of shape a >= 1.
double LargeShapeGamma(UniformGenerator& uniform, double a) {
  const GdSetup g(a);
  // Normal deviate t, candidate x = (s + t/2)^2.
  const double t = NormalDeviate(uniform);
  const double x = g.s + 0.5 * t;
  if (t >= 0.0) return x * x;  // immediate acceptance
  const double u = uniform.Next();
  if (g.d * u <= t * t * t) return x * x;  // squeeze
  if (x > 0.0 && std::log(1.0 - u) <= g.Q(t)) return x * x;
  // Double-exponential rejection.
  for (;;) {
    const double e = ExponentialDeviate(uniform);
    const double signedU = 2.0 * uniform.Next() - 1.0;
    const double tt = signedU < 0.0 ? g.b - g.si * e : g.b + g.si * e;
    if (tt < -0.7187449) continue;
    const double q = g.Q(tt);
    if (q <= 0.0) continue;
    const double exponent = e - 0.5 * tt * tt;
    bool accept;
    if (q >= 15.0) {
      // exp(q) - 1 is exp(q) here; test with one exponential.
      accept = q + exponent > 87.49823 || g.c * std::fabs(signedU) <= std::exp(q + exponent);
    } else {
      accept = g.c * std::fabs(signedU) <= std::expm1(q) * std::exp(exponent);
    }
    if (accept) {
      const double xx = g.s + 0.5 * tt;
      return xx * xx;
    }
  }
}

}  // namespace

std::uint64_t ClockSeed(double secondsSinceMidnight) {
  return static_cast<std::uint64_t>(std::llround(std::fabs(secondsSinceMidnight) * 1000.0));
}

std::pair<double, double> NormalDeviatePair(UniformGenerator& uniform) {
  double u, v, s;
  do {
    u = 2.0 * uniform.Next() - 1.0;
    v = 2.0 * uniform.Next() - 1.0;
    s = u * u + v * v;
  } while (s > 1.0 || s == 0.0);  // s = 0 would divide by zero
  const double f = std::sqrt(-2.0 * std::log(s) / s);
  return {u * f, v * f};
}

double NormalDeviate(UniformGenerator& uniform) {
  return NormalDeviatePair(uniform).first;
}

double ExponentialDeviate(UniformGenerator& uniform) {
  double u;
  do u = uniform.Next();
  while (u == 0.0);
  return -std::log(u);
}

double GammaDeviate(UniformGenerator& uniform, double mean, double variance) {
  if (variance == 0.0) return mean;
  // A gamma variable is positive: a mean of zero or less (or NaN) has no
  // gamma to draw from, and callers report it as invalid data.
  if (!(mean > 0.0)) return mean;
  const double a = mean * mean / variance;
  const double b = variance / mean;
  // Non-finite or negative moments: nothing to draw either (and the
  // rejection loops would never end on NaN).
  if (!std::isfinite(a) || !std::isfinite(b) || !(a > 0.0)) return mean;
  if (a < 1.0) return SmallShapeGamma(uniform, a) * b;
  return LargeShapeGamma(uniform, a) * b;
}

}  // namespace estimetrix
