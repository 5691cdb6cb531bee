// The chain diagnostics against what is known without them: independent
// draws have R-hat 1 and an effective size equal to their number, an AR(1)
// series has the closed-form size N (1 - phi) / (1 + phi), and chains that
// disagree in location, spread or over time are caught.

#include "engine/bayesian/mcmc_diagnostics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace estimetrix {
namespace {

// AR(1) chains x_t = phi x_{t-1} + sqrt(1 - phi^2) e_t, stationary N(0, 1),
// from the standard library's generator.
ChainDraws Ar1Chains(int chains, int n, double phi, unsigned seed) {
  std::mt19937_64 random(seed);
  std::normal_distribution<double> normal;
  ChainDraws draws(static_cast<size_t>(chains));
  for (std::vector<double>& chain : draws) {
    double x = normal(random);
    for (int t = 0; t < n; ++t) {
      x = phi * x + std::sqrt(1.0 - phi * phi) * normal(random);
      chain.push_back(x);
    }
  }
  return draws;
}

TEST(ChainDiagnostics, IndependentDrawsHaveRhatOneAndFullEffectiveSize) {
  const ChainDraws draws = Ar1Chains(4, 5000, 0.0, 11);
  const ParameterDiagnostics d = Diagnose(draws);
  EXPECT_NEAR(d.rhat, 1.0, 0.005);
  EXPECT_NEAR(d.essBulk / 20000.0, 1.0, 0.1);
  EXPECT_NEAR(d.essTail / 20000.0, 1.0, 0.15);
  EXPECT_NEAR(d.mean, 0.0, 4.0 * d.mcse);
  EXPECT_NEAR(d.sd, 1.0, 0.02);
  EXPECT_NEAR(d.mcse, 1.0 / std::sqrt(20000.0), 0.1 / std::sqrt(20000.0));
  EXPECT_NEAR(d.q025, -1.959964, 0.05);
  EXPECT_NEAR(d.q50, 0.0, 0.03);
  EXPECT_NEAR(d.q975, 1.959964, 0.05);
}

TEST(ChainDiagnostics, AutocorrelatedDrawsHaveTheClosedFormEffectiveSize) {
  for (double phi : {0.5, 0.9}) {
    const ChainDraws draws = Ar1Chains(4, 25000, phi, 7);
    const double expected = 100000.0 * (1.0 - phi) / (1.0 + phi);
    EXPECT_NEAR(EffectiveSampleSize(draws) / expected, 1.0, 0.15) << phi;
    const ParameterDiagnostics d = Diagnose(draws);
    EXPECT_NEAR(d.essBulk / expected, 1.0, 0.15) << phi;
    EXPECT_LT(d.rhat, 1.01) << phi;
  }
  // Antithetic draws (phi < 0) are worth more than their number, up to the cap.
  const ChainDraws anti = Ar1Chains(4, 5000, -0.5, 3);
  EXPECT_GT(EffectiveSampleSize(anti), 20000.0 * 2.0);
}

TEST(ChainDiagnostics, ChainsThatDisagreeAreCaught) {
  // One chain shifted by half an SD.
  ChainDraws shifted = Ar1Chains(4, 1000, 0.0, 5);
  for (double& v : shifted[3]) v += 0.5;
  EXPECT_GT(Diagnose(shifted).rhat, 1.01);
  // Same centre, one chain three times as wide: only the folded R-hat sees it.
  ChainDraws wide = Ar1Chains(4, 1000, 0.0, 6);
  for (double& v : wide[0]) v *= 3.0;
  EXPECT_LT(Rhat(RankNormalize(SplitChains(wide))), 1.01);
  EXPECT_GT(Diagnose(wide).rhat, 1.01);
  // A single chain drifting over time: the split halves disagree.
  ChainDraws drift = Ar1Chains(1, 2000, 0.0, 8);
  for (size_t t = 0; t < drift[0].size(); ++t) drift[0][t] += 2.0 * t / 2000.0;
  EXPECT_GT(Diagnose(drift).rhat, 1.05);
}

TEST(ChainDiagnostics, TooFewDrawsGiveNoFiguresRatherThanWrongOnes) {
  const ChainDraws few = {{1.0, 2.0}, {3.0, 4.0}};
  const ParameterDiagnostics d = Diagnose(few);
  EXPECT_DOUBLE_EQ(d.mean, 2.5);
  EXPECT_TRUE(std::isnan(d.rhat));
  EXPECT_TRUE(std::isnan(d.essBulk));
  // Constant draws: no spread, so no R-hat either, and no crash.
  const ChainDraws flat(2, std::vector<double>(10, 1.5));
  EXPECT_TRUE(std::isnan(Diagnose(flat).rhat));
  EXPECT_DOUBLE_EQ(Diagnose(flat).sd, 0.0);
}

TEST(ChainDiagnostics, NormalScoresAndQuantilesMatchTheirTables) {
  EXPECT_NEAR(NormalQuantile(0.975), 1.959963984540054, 1e-12);
  EXPECT_NEAR(NormalQuantile(0.5), 0.0, 1e-15);
  EXPECT_NEAR(NormalQuantile(1e-10), -6.361340902404056, 1e-9);
  EXPECT_NEAR(NormalQuantile(0.9999), 3.719016485455709, 1e-10);
  // Ties share their average rank; ranks become symmetric normal scores.
  const ChainDraws z = RankNormalize({{1.0, 2.0, 2.0, 3.0}});
  EXPECT_DOUBLE_EQ(z[0][1], z[0][2]);
  EXPECT_NEAR(z[0][0], -z[0][3], 1e-12);
  EXPECT_NEAR(z[0][1], 0.0, 1e-12);
  EXPECT_DOUBLE_EQ(PooledQuantile({{0.0, 1.0}, {2.0, 3.0, 4.0}}, 0.5), 2.0);
  EXPECT_DOUBLE_EQ(PooledQuantile({{0.0, 10.0}}, 0.25), 2.5);
}

}  // namespace
}  // namespace estimetrix
