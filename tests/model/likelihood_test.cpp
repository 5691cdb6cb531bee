// The likelihood: the growth model, penalties and floors, and whole
// objectives on small data sets. The reference objectives were computed
// independently in Python (double precision) straight from the model's
// formulas: the five-term normal tail, Simpson's rules, the G statistic
// 2 sum o ln(o/e) and the instar mixture for increments.

#include "model/likelihood.h"

#include <gtest/gtest.h>

#include <cmath>

#include "carapex_fixture.h"
#include "model/parameter_layout.h"

namespace estimetrix {
namespace {

using testing::CarapexHarness;
using testing::FrequencySetup;
using testing::IncrementSetup;

struct Growth {
  ModelData data;
  ModelState state;
  Vector values{25, 0.0};
  explicit Growth(int instars) {
    data.InstarCount = instars;
    state.Resize(data);
  }
  void Run() { ComputeInstarGrowth(values, data.InstarCount, state); }
};

TEST(InstarGrowth, MeansFollowTheIncrementPolynomial) {
  Growth constant(4);
  constant.values[param::kMu0] = 3.0;
  constant.values[param::kBeta0] = 10.0;
  constant.values[param::kSigma1] = 1.0;
  constant.Run();
  for (int k = 0; k <= 4; ++k) EXPECT_DOUBLE_EQ(constant.state.InstarMean[k], 3.0 + 10.0 * k);

  Growth proportional(3);
  proportional.values[param::kMu0] = 10.0;
  proportional.values[param::kBeta0 + 1] = 0.2;
  proportional.values[param::kSigma1] = 2.0;
  proportional.values[param::kTau0] = 1.0;
  proportional.Run();
  EXPECT_DOUBLE_EQ(proportional.state.InstarMean[1], 12.0);
  EXPECT_DOUBLE_EQ(proportional.state.InstarMean[2], 14.4);
  EXPECT_DOUBLE_EQ(proportional.state.InstarMean[3], 17.28);
  // Growth ratio 1.2 from instar 2 on: SD(2) = sqrt(1 + 1.44 x 4).
  EXPECT_DOUBLE_EQ(proportional.state.InstarSD[1], 2.0);
  EXPECT_NEAR(proportional.state.InstarSD[2], 2.6, 1e-14);
  EXPECT_EQ(proportional.state.Penalty, 0.0);
}

TEST(InstarGrowth, PenaltiesKeepTheModelValid) {
  Growth shrinking(2);
  shrinking.values[param::kMu0] = 10.0;
  shrinking.values[param::kBeta0] = -1.0;  // each instar 1 below the last
  shrinking.values[param::kSigma1] = 1.0;
  shrinking.values[param::kTau0] = 1.0;
  shrinking.values[param::kR] = 1.5;  // limited to 1, excess 0.5
  shrinking.Run();
  EXPECT_EQ(shrinking.state.FrequencyCorrelation, 1.0);
  EXPECT_DOUBLE_EQ(shrinking.state.Penalty, 2e20 + 0.25e20);

  Growth flat(1);  // Sigma_1 of 0 becomes 1 at a cost of 1e20
  flat.values[param::kBeta0] = 1.0;
  flat.Run();
  EXPECT_EQ(flat.state.InstarSD[1], 1.0);
  EXPECT_DOUBLE_EQ(flat.state.Penalty, 1e20);
}

// r enters only the SDs of grown instars. An increments-only analysis without
// increment instars grows none, so an r beyond 1 there must cost nothing.
TEST(InstarGrowth, CorrelationIsLimitedOnlyWhereInstarsUseIt) {
  for (int instars : {0, 2}) {
    Growth growth(instars);
    growth.values[param::kMu0] = 10.0;
    growth.values[param::kBeta0] = 2.0;
    growth.values[param::kSigma1] = 1.0;
    growth.values[param::kTau0] = 0.5;
    growth.values[param::kR] = 1.0065;
    growth.Run();
    EXPECT_DOUBLE_EQ(growth.state.Penalty, instars == 0 ? 0.0 : Squared(1.0065 - 1.0) * 1e20)
        << instars;
    EXPECT_EQ(growth.state.Beta[0], 2.0);  // the coefficients are copied either way
  }
}

// An SD that cannot be worked out (here inf - inf) is NaN, not "SD 0" made 1.
TEST(InstarGrowth, NanStaysNan) {
  Growth growth(2);
  growth.values[param::kMu0] = 10.0;
  growth.values[param::kBeta0] = 2.0;
  growth.values[param::kSigma1] = HUGE_VAL;
  growth.values[param::kTau0] = 1.0;
  growth.values[param::kR] = -1.0;
  growth.Run();
  EXPECT_TRUE(std::isnan(growth.state.InstarSD[2]));
}

// Mu_0 = 1, Beta 0 = 1.5, Sigma_1 = 0.6, Tau 0 = 0.5: instars at 2.5 and 4.0
// with SDs 0.6 and sqrt(0.61); proportions 0.4 and, by difference, 0.6.
void SetTwoInstars(CarapexHarness& h) {
  h.values[param::kMu0] = 1.0;
  h.values[param::kBeta0] = 1.5;
  h.values[param::kSigma1] = 0.6;
  h.values[param::kTau0] = 0.5;
  h.values[22] = 0.4;
  h.values[23] = -1.0;
}

TEST(FrequencyObjective, MatchesIndependentValues) {
  struct Case {
    bool missing;
    bool gamma;
    int firstCell;
    double expected;
  } cases[] = {{false, false, 1, 4.727772620720372},
               {true, false, 1, 4.488300929233512},
               {false, false, 3, 6.2452663731505975},
               {true, true, 1, 7.889468617209222}};
  for (const Case& c : cases) {
    CarapexHarness h;
    CarapexSetup setup = FrequencySetup("small_frequencies.dat", 2);
    setup.truncation = c.missing ? FrequencyTruncation::Truncated : FrequencyTruncation::ZeroBeyond;
    setup.instars = c.gamma ? InstarShape::Gamma : InstarShape::Gaussian;
    setup.firstCellText = std::to_string(c.firstCell);
    ASSERT_TRUE(h.Initialize(setup));
    SetTwoInstars(h);
    EXPECT_NEAR(h.Evaluate(), c.expected, 1e-11) << c.missing << c.gamma << c.firstCell;
    EXPECT_EQ(h.model.State().Penalty, 0.0);
    h.ExpectNoDialogues();
  }
}

// One identified instar (0.3) and five blended ones sharing the rest by
// Weibull weights exp(-0.7 (j - 1)^1.5), seen through a selectivity curve
// of mean 2 and SD 1 (which renormalises over the cells).
TEST(FrequencyObjective, BlendedInstarsAndSelectivity) {
  CarapexHarness h;
  ASSERT_TRUE(h.Initialize(FrequencySetup("small_frequencies.dat", 1, 5)));
  ASSERT_EQ(h.parameterCount, 22);
  h.values[param::kMu0] = 1.0;
  h.values[param::kBeta0] = 1.5;
  h.values[param::kSigma1] = 0.6;
  h.values[param::kTau0] = 0.5;
  h.values[22] = 0.3;
  h.values[param::kSelectivityMean] = 2.0;
  h.values[param::kSelectivitySD] = 1.0;
  h.values[param::kPsi] = 0.7;
  h.values[param::kPhi] = 1.5;
  EXPECT_NEAR(h.Evaluate(), 24.499522957799247, 1e-11);
  EXPECT_EQ(h.model.State().Penalty, 0.0);
  EXPECT_NEAR(h.model.State().BlendedProportion(1, 1),
              0.7 / (1.0 + std::exp(-0.7) + std::exp(-0.7 * std::pow(2.0, 1.5)) +
                     std::exp(-0.7 * std::pow(3.0, 1.5)) + std::exp(-0.7 * 8.0)),
              1e-15);
}

TEST(FrequencyObjective, TruncationModes) {
  // A second instar at 6 lies mostly beyond the last cell (4.5).
  auto predictedSum = [](bool missing) {
    CarapexHarness h;
    CarapexSetup setup = FrequencySetup("five_cells.dat", 2);
    setup.truncation = missing ? FrequencyTruncation::Truncated : FrequencyTruncation::ZeroBeyond;
    EXPECT_TRUE(h.Initialize(setup));
    h.values[param::kMu0] = 0.0;
    h.values[param::kBeta0] = 3.0;
    h.values[param::kSigma1] = 1.0;
    h.values[param::kTau0] = 0.1;
    h.values[22] = 0.5;
    h.values[23] = -1.0;
    h.Evaluate();
    double sum = 0.0;
    for (int c = 1; c <= 5; ++c) sum += h.model.State().PredictedFrequency(1, c);
    return sum;
  };
  EXPECT_NEAR(predictedSum(true), 15.0, 1e-12);  // renormalised over the sampled cells
  EXPECT_LT(predictedSum(false), 12.0);          // the mass beyond 5 is lost
}

TEST(FrequencyObjective, OccupiedCellFarFromEveryInstarIsPenalised) {
  // One instar at 1.0 with SD 0.5: cell 3.5 is exactly 5 SDs away (penalty
  // 0), cell 4.5 is 7 SDs away (penalty (7 - 5)^2 x 1e20).
  CarapexHarness h;
  ASSERT_TRUE(h.Initialize(FrequencySetup("five_cells.dat", 1)));
  h.values[param::kMu0] = 0.5;
  h.values[param::kBeta0] = 0.5;
  h.values[param::kSigma1] = 0.5;
  h.values[22] = -1.0;
  const double objective = h.Evaluate();
  EXPECT_DOUBLE_EQ(h.model.State().Penalty, 4e20);
  EXPECT_DOUBLE_EQ(h.model.State().PredictedFrequency(1, 5), 1e-6);
  EXPECT_TRUE(std::isfinite(objective));
}

// No floor or default may swallow a NaN on the way to the G statistic.
TEST(FrequencyObjective, NanReachesTheObjective) {
  struct Case {
    const char* what;
    bool missing;
    int parameter;
    double value;
  } cases[] = {
      {"instar mean", false, param::kMu0, std::nan("")},
      {"instar mean, renormalised", true, param::kMu0, std::nan("")},
      {"instar SD", false, param::kSigma1, std::nan("")},
      {"selectivity mean", false, param::kSelectivityMean, std::nan("")},
  };
  for (const Case& c : cases) {
    CarapexHarness h;
    CarapexSetup setup = FrequencySetup("small_frequencies.dat", 2);
    setup.truncation = c.missing ? FrequencyTruncation::Truncated : FrequencyTruncation::ZeroBeyond;
    ASSERT_TRUE(h.Initialize(setup));
    SetTwoInstars(h);
    h.values[param::kSelectivitySD] = 1.0;
    h.values[param::kSelectivityMean] = 2.0;
    h.values[c.parameter] = c.value;
    EXPECT_TRUE(std::isnan(h.Evaluate())) << c.what;
  }
}

// Mu_0 = 8, Beta 0 = 1, Beta 1 = 0.2, Sigma_1 = 1, Tau 0 = 0.3, Tau 1 = 0.1,
// Omega = 0.2; Zeta 0.3 and, by difference, 0.7. Records 2 and 3 are equal.
void SetIncrementModel(CarapexHarness& h, double percentSE) {
  h.values[param::kMu0] = 8.0;
  h.values[param::kBeta0] = 1.0;
  h.values[param::kBeta0 + 1] = 0.2;
  h.values[param::kSigma1] = 1.0;
  h.values[param::kTau0] = 0.3;
  h.values[param::kTau0 + 1] = 0.1;
  h.values[param::kOmega] = 0.2;
  h.values[param::kPercentSE] = percentSE;
  if (h.values.Size() >= 23) {
    h.values[22] = 0.3;
    h.values[23] = -1.0;
  }
}

TEST(IncrementObjective, MatchesIndependentValues) {
  struct Case {
    bool gammaErrors;
    double percentSE;
    double expected;
  } cases[] = {{false, 0.0, 24.0347979577924},
               {false, 5.0, 13.86158075414424},
               {true, 0.0, 33.665499379878625},
               {true, 5.0, 14.014462903680986}};
  for (const Case& c : cases) {
    CarapexHarness h;
    CarapexSetup setup = IncrementSetup("small_increments.dat", 2);
    setup.incrementErrors = c.gammaErrors ? IncrementErrors::Gamma : IncrementErrors::Gaussian;
    ASSERT_TRUE(h.Initialize(setup));
    SetIncrementModel(h, c.percentSE);
    EXPECT_NEAR(h.Evaluate(), c.expected, 1e-10) << c.gammaErrors << " " << c.percentSE;
    EXPECT_EQ(h.model.Work().RecordTerm[2], h.model.Work().RecordTerm[3]);
    h.ExpectNoDialogues();
  }
}

// Without increment instars the growth routine has nothing to grow, but the
// increment regression still needs Beta and Tau from the vector.
TEST(IncrementObjective, NoIncrementInstarsStillUsesTheCoefficients) {
  CarapexHarness h;
  ASSERT_TRUE(h.Initialize(IncrementSetup("small_increments.dat", 0)));
  SetIncrementModel(h, 0.0);
  EXPECT_NEAR(h.Evaluate(), 12.043451576626628, 1e-10);
  EXPECT_DOUBLE_EQ(h.model.Work().PredictedIncrement[1], 3.0);
}

TEST(IncrementObjective, CorrelationBeyondOneIsFreeWithoutIncrementInstars) {
  CarapexHarness h;
  ASSERT_TRUE(h.Initialize(IncrementSetup("small_increments.dat", 0)));
  SetIncrementModel(h, 0.0);
  h.values[param::kR] = 1.0065;  // not used by this analysis
  EXPECT_NEAR(h.Evaluate(), 12.043451576626628, 1e-10);
}

// The likelihood floor is for records that underflow. A NaN must reach the
// objective, so that the running command stops instead of fitting to a floor.
TEST(IncrementObjective, NanReachesTheObjective) {
  struct Case {
    const char* what;
    int instars;
    bool gammaErrors;
    int parameter;
    double value;
  } cases[] = {
      {"zero SD polynomial, gamma errors", 0, true, param::kTau0, 0.0},
      {"zero SD polynomial, gamma errors, instars", 2, true, param::kTau0, 0.0},
      {"instar SD not a number", 2, false, param::kSigma1, std::nan("")},
      {"instar mean not a number", 2, false, param::kMu0, std::nan("")},
  };
  for (const Case& c : cases) {
    CarapexHarness h;
    CarapexSetup setup = IncrementSetup("small_increments.dat", c.instars);
    setup.incrementErrors = c.gammaErrors ? IncrementErrors::Gamma : IncrementErrors::Gaussian;
    ASSERT_TRUE(h.Initialize(setup));
    SetIncrementModel(h, 0.0);
    h.values[c.parameter] = c.value;
    if (c.parameter == param::kTau0) h.values[param::kTau0 + 1] = h.values[param::kTau0 + 2] = 0.0;
    EXPECT_TRUE(std::isnan(h.Evaluate())) << c.what;
  }
}

TEST(IncrementObjective, RecordLikelihoodIsFloored) {
  CarapexHarness h;
  ASSERT_TRUE(h.Initialize(IncrementSetup("small_increments.dat", 1)));
  SetIncrementModel(h, 0.0);
  h.values[param::kBeta0] = 100.0;  // predicted increments near 100, observed 2 to 3.5
  h.values[param::kBeta0 + 1] = 0.0;
  h.values[22] = -1.0;
  EXPECT_NEAR(h.Evaluate(), 8.0 * 46.051701859880914, 1e-9);
  EXPECT_NEAR(h.model.Work().RecordTerm[1], 46.0517, 1e-4);
}

}  // namespace
}  // namespace estimetrix
