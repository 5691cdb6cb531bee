#include "model/distributions.h"

#include <cmath>

#include "engine/base/log_gamma.h"

namespace estimetrix {

namespace {

const double kPi = 4.0 * std::atan(1.0);

constexpr double kTiny = 1e-20;
constexpr double kIntegralPenaltyScale = 1e20;
constexpr int kSimpsonSteps = 101;

// Step of the increment integrals: the true increment is followed from 0 to
// about nine SDs above its prediction.
double IntegrationStep(double predicted, double v) {
  return (9.0 * std::sqrt(v) + predicted) * 0.01;
}

}  // namespace

double NormalIntervalProbability(double z1, double z2) {
  return NormalDistribution(z2) - NormalDistribution(z1);
}

GammaDensity::GammaDensity(double mean, double sd)
    : alpha(mean * mean / (sd * sd)), beta(sd * sd / mean) {
  logNormaliser = alpha * std::log(beta) + LogGamma(alpha);
}

double GammaDensity::operator()(double y) const {
  return std::exp((alpha - 1.0) * std::log(y) - y / beta - logNormaliser);
}

double GammaDensity::Interval(double lower, double middle, double upper) const {
  const double width = upper - lower;  // before the lower bound is moved off zero
  if (lower <= 0.0) lower = 1e-6;
  return ((*this)(lower) + 4.0 * (*this)(middle) + (*this)(upper)) * width / 6.0;
}

double GammaIntervalProbability(double lower, double middle, double upper, double mean, double sd) {
  return GammaDensity(mean, sd).Interval(lower, middle, upper);
}

// Simpson's rule over kSimpsonSteps steps of width h from `start`. Each
// step's right end is the next step's left end, so it is evaluated once, and
// the common factor h/6 is applied to the total.
template <class Integrand>
double SimpsonSum(double start, double h, const Integrand& f) {
  double sum = 0.0;
  double left = f(start);
  for (int i = 0; i < kSimpsonSteps; ++i) {
    const double t = start + i * h;
    const double right = f(t + h);
    sum += left + 4.0 * f(t + h / 2.0) + right;
    left = right;
  }
  return sum * h / 6.0;
}

double GaussianIncrementWithError(double p0, double delta, double predicted, double v, double e) {
  const double h = IntegrationStep(predicted, v);
  if (h <= 0.0) return h * h * kIntegralPenaltyScale;
  const double halfInverseE = 0.5 / e, halfInverseV = 0.5 / v;
  double sum = SimpsonSum(0.0, h, [&](double t) {
    const double error = delta - t, deviation = t - predicted;
    return std::exp(-error * error * halfInverseE - deviation * deviation * halfInverseV);
  });
  if (sum == 0.0) sum = kTiny;
  if (p0 > 0.999999) p0 = 0.999999;
  return std::log(2.0 * kPi * std::sqrt(e) * std::sqrt(v)) - std::log(sum) + std::log(1.0 - p0);
}

double GammaIncrementWithError(double delta, double predicted, double v, double alpha, double beta,
                               double e) {
  const double h = IntegrationStep(predicted, v);
  if (h <= 0.0) return h * h * kIntegralPenaltyScale;
  const double halfInverseE = 0.5 / e, inverseBeta = 1.0 / beta;
  const double logNormaliser = alpha * std::log(beta) + LogGamma(alpha);
  // Measurement-error density times gamma density, as one exponential; the
  // error density's constant is applied to the total.
  double sum = SimpsonSum(0.0001, h, [&](double t) {
    const double error = delta - t;
    return std::exp(-error * error * halfInverseE + (alpha - 1.0) * std::log(t) - t * inverseBeta -
                    logNormaliser);
  });
  sum /= std::sqrt(2.0 * kPi * e);
  if (sum == 0.0) sum = kTiny;
  return -std::log(sum);
}

}  // namespace estimetrix
