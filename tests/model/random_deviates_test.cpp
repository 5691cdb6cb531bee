// The deviates by their moments and by a Kolmogorov-Smirnov distance from
// the exact distribution function, with a fixed seed.

#include "model/random_deviates.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "tests/support/normal_cdf.h"

namespace estimetrix {
namespace {

using testing::NormalCdf;

constexpr int kDraws = 20000;
// The 1% critical KS distance for 20000 draws is 1.63 / sqrt(20000) = 0.0115.
constexpr double kCriticalDistance = 0.0115;

struct Moments {
  double mean = 0.0, variance = 0.0;
};

Moments MomentsOf(const std::vector<double>& x) {
  Moments m;
  for (double v : x) m.mean += v;
  m.mean /= static_cast<double>(x.size());
  for (double v : x) m.variance += (v - m.mean) * (v - m.mean);
  m.variance /= static_cast<double>(x.size() - 1);
  return m;
}

double KolmogorovDistance(std::vector<double> x, const std::function<double(double)>& cdf) {
  std::sort(x.begin(), x.end());
  const double n = static_cast<double>(x.size());
  double d = 0.0;
  for (size_t i = 0; i < x.size(); ++i) {
    const double f = cdf(x[i]);
    d = std::max({d, f - static_cast<double>(i) / n, static_cast<double>(i + 1) / n - f});
  }
  return d;
}

// Regularised lower incomplete gamma P(a, x) by its power series.
double GammaCdf(double a, double x) {
  if (x <= 0.0) return 0.0;
  double term = 1.0 / a, sum = term;
  for (int n = 1; n < 2000 && term > sum * 1e-16; ++n) {
    term *= x / (a + n);
    sum += term;
  }
  return std::exp(a * std::log(x) - x - std::lgamma(a)) * sum;
}

TEST(RandomDeviates, NormalPairsAreIndependentStandardNormals) {
  UniformGenerator uniform(20261208);
  std::vector<double> first, second;
  double product = 0.0;
  for (int i = 0; i < kDraws; ++i) {
    const auto [u, v] = NormalDeviatePair(uniform);
    first.push_back(u);
    second.push_back(v);
    product += u * v;
  }
  for (const auto* x : {&first, &second}) {
    const Moments m = MomentsOf(*x);
    EXPECT_NEAR(m.mean, 0.0, 0.03);
    EXPECT_NEAR(m.variance, 1.0, 0.04);
    EXPECT_LT(KolmogorovDistance(*x, NormalCdf), kCriticalDistance);
  }
  EXPECT_NEAR(product / kDraws, 0.0, 0.03);  // uncorrelated

  std::vector<double> single;
  for (int i = 0; i < kDraws; ++i) single.push_back(NormalDeviate(uniform));
  EXPECT_LT(KolmogorovDistance(single, NormalCdf), kCriticalDistance);
}

TEST(RandomDeviates, ExponentialHasUnitMeanAndVariance) {
  UniformGenerator uniform(7);
  std::vector<double> x;
  for (int i = 0; i < kDraws; ++i) x.push_back(ExponentialDeviate(uniform));
  const Moments m = MomentsOf(x);
  EXPECT_NEAR(m.mean, 1.0, 0.03);
  EXPECT_NEAR(m.variance, 1.0, 0.06);
  EXPECT_GT(*std::min_element(x.begin(), x.end()), 0.0);
  EXPECT_LT(KolmogorovDistance(x, [](double t) { return 1.0 - std::exp(-t); }), kCriticalDistance);
}

TEST(RandomDeviates, GammaFollowsItsDistributionForSmallAndLargeShapes) {
  // Shapes below 1 (GS), at and above 1 in each GD coefficient range, and
  // large ones, where a normal of the same moments is measurably off (its KS
  // distance from the gamma of shape 30 is about 0.024).
  for (double shape : {0.3, 1.0, 2.5, 10.0, 20.0, 30.0, 45.0, 400.0}) {
    SCOPED_TRACE(shape);
    const double scale = 2.0;
    const double mean = shape * scale, variance = shape * scale * scale;
    UniformGenerator uniform(1000 + static_cast<std::uint64_t>(shape * 10));
    std::vector<double> x;
    for (int i = 0; i < kDraws; ++i) x.push_back(GammaDeviate(uniform, mean, variance));
    const Moments m = MomentsOf(x);
    EXPECT_NEAR(m.mean / mean, 1.0, 0.03);
    EXPECT_NEAR(m.variance / variance, 1.0, 0.08);
    EXPECT_GT(*std::min_element(x.begin(), x.end()), 0.0);
    EXPECT_LT(KolmogorovDistance(x, [&](double t) { return GammaCdf(shape, t / scale); }),
              kCriticalDistance);
  }
}

TEST(RandomDeviates, GammaAboveShape25IsAGammaAndNoMeanAtOrBelowZeroIsDrawn) {
  UniformGenerator uniform(99);
  std::vector<double> x;
  // Shape 30 around a small mean: skewed like the gamma, never at or below 0.
  for (int i = 0; i < kDraws; ++i) x.push_back(GammaDeviate(uniform, 3.0, 0.3));
  const Moments m = MomentsOf(x);
  EXPECT_NEAR(m.mean, 3.0, 0.02);
  EXPECT_NEAR(m.variance, 0.3, 0.02);
  EXPECT_GT(*std::min_element(x.begin(), x.end()), 0.0);
  EXPECT_LT(KolmogorovDistance(x, [](double t) { return GammaCdf(30.0, t / 0.1); }),
            kCriticalDistance);
  double third = 0.0;  // skewness 2 / sqrt(30) = 0.365
  for (double v : x) third += std::pow(v - m.mean, 3.0);
  EXPECT_NEAR(third / kDraws / std::pow(m.variance, 1.5), 2.0 / std::sqrt(30.0), 0.06);

  EXPECT_EQ(GammaDeviate(uniform, 4.5, 0.0), 4.5);
  // No gamma to draw from: the mean comes back at once instead of a draw
  // (far below zero, a positive value could never be found).
  EXPECT_EQ(GammaDeviate(uniform, 0.0, 1.0), 0.0);
  EXPECT_EQ(GammaDeviate(uniform, -50.0, 1.0), -50.0);
  EXPECT_EQ(GammaDeviate(uniform, -1.0, 0.5), -1.0);
  EXPECT_EQ(GammaDeviate(uniform, 2.0, -1.0), 2.0);
  EXPECT_TRUE(std::isnan(GammaDeviate(uniform, std::nan(""), 1.0)));
}

TEST(RandomDeviates, GammaKeepsItsMeanAndVarianceOnBothSidesOfShape25) {
  for (double shape : {0.5, 2.0, 10.0, 40.0}) {
    SCOPED_TRACE(shape);
    const double mean = 6.0, variance = mean * mean / shape;
    UniformGenerator uniform(77);
    std::vector<double> x;
    for (int i = 0; i < kDraws; ++i) x.push_back(GammaDeviate(uniform, mean, variance));
    const Moments m = MomentsOf(x);
    EXPECT_NEAR(m.mean / mean, 1.0, 0.03);
    EXPECT_NEAR(m.variance / variance, 1.0, 0.08);
    EXPECT_GT(*std::min_element(x.begin(), x.end()), 0.0);
    EXPECT_EQ(GammaDeviate(uniform, mean, 0.0), mean);
  }
}

TEST(RandomDeviates, TheSameSeedRepeatsTheSequence) {
  UniformGenerator a(42), b(42);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(GammaDeviate(a, 2.0, 3.0), GammaDeviate(b, 2.0, 3.0));
  a.Reseed(5);
  b.Reseed(5);
  EXPECT_EQ(a.Next(), b.Next());
  EXPECT_EQ(a.Seed(), 5u);
  EXPECT_NE(ClockSeed(43200.25), ClockSeed(43200.5));
}

}  // namespace
}  // namespace estimetrix
