// The numerical helpers against values worked out independently from their
// defining formulas (a short Python script, double precision, following the
// stated series and Simpson rules term by term).

#include "model/distributions.h"

#include <gtest/gtest.h>

#include <cmath>

#include "engine/base/log_gamma.h"

namespace estimetrix {
namespace {

TEST(LogGamma, MatchesTheSeriesAboveAndBelowOne) {
  // ln 4! = 3.17805383034795; the series gives 3.1780538301903123.
  EXPECT_NEAR(LogGamma(5.0), 3.1780538301903123, 1e-13);
  EXPECT_NEAR(LogGamma(5.0), std::log(24.0), 1e-9);
  // Below 1 the reflection: ln Gamma(0.5) = ln sqrt(pi) = 0.5723649429247001.
  EXPECT_NEAR(LogGamma(0.5), 0.5723649429819971, 1e-13);
  EXPECT_NEAR(LogGamma(2.5), 0.2846828703763693, 1e-13);
  EXPECT_NEAR(LogGamma(1.0), 0.0, 1e-9);
}

TEST(NormalIntervalProbability, UsesTheFiveTermTailApproximation) {
  // Exact value 0.9500042097; the approximation's own value is pinned.
  EXPECT_NEAR(NormalIntervalProbability(-1.96, 1.96), 0.9500043496867288, 1e-14);
  EXPECT_NEAR(NormalIntervalProbability(-10.0, 0.3), 0.6179113580156126, 1e-14);
  EXPECT_DOUBLE_EQ(NormalIntervalProbability(0.7, 0.7), 0.0);
  // Symmetric about 0 and monotone in its upper bound.
  EXPECT_NEAR(NormalDistribution(-1.3) + NormalDistribution(1.3), 1.0, 1e-15);
  EXPECT_LT(NormalDistribution(0.1), NormalDistribution(0.2));
}

TEST(GammaIntervalProbability, IsSimpsonsRuleOnTheInterval) {
  // Gamma of mean 12, SD 3: shape 16, scale 0.5875; f at 9.5, 10, 10.5.
  EXPECT_NEAR(GammaIntervalProbability(9.5, 10.0, 10.5, 12.0, 3.0), 0.12295046852878729, 1e-14);
  // A lower bound at or below 0 moves to 1e-6, but the width stays 2.
  EXPECT_NEAR(GammaIntervalProbability(-0.5, 0.5, 1.5, 2.0, 1.0), 0.31286317900085797, 1e-14);
  const GammaDensity density(12.0, 3.0);
  EXPECT_DOUBLE_EQ(density.Interval(9.5, 10.0, 10.5),
                   GammaIntervalProbability(9.5, 10.0, 10.5, 12.0, 3.0));
}

TEST(IncrementWithError, IntegratesOverTheTrueIncrement) {
  // Observed 10, predicted 9, variance 4, measurement variance 1.5.
  EXPECT_NEAR(GaussianIncrementWithError(0.01, 10.0, 9.0, 4.0, 1.5), 1.852171334379475, 1e-11);
  // Gamma of the same mean and variance: shape 81/4, scale 4/9.
  EXPECT_NEAR(GammaIncrementWithError(10.0, 9.0, 4.0, 81.0 / 4.0, 4.0 / 9.0, 1.5),
              1.9141986351746123, 1e-11);
  // A step that is not positive is a penalty, not an integral.
  EXPECT_NEAR(GaussianIncrementWithError(0.0, 1.0, -30.0, 1.0, 1.0), 0.21 * 0.21 * 1e20, 1e6);
}

}  // namespace
}  // namespace estimetrix
