// The Pearson-deviates tests and the increment simulation on tiny hand-made
// cases with a seeded generator: exact report blocks where the draws cannot
// change them, distributions where they can.

#include "model/goodness_of_fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "model/parameter_layout.h"
#include "platform/scripted_desktop.h"

namespace estimetrix {
namespace {

// The block's head names the seed of the generator the test drew from.
std::string BlockHead(int seed) {
  return "\nReference: the Pearson deviates test is a parametric bootstrap of Pearson's chi-square "
         "statistic (Efron, B. and Tibshirani, R.J. 1993. An Introduction to the Bootstrap. "
         "Chapman & Hall, New York).\n"
         "Random seed for the randomizations and simulations: " +
         std::to_string(seed) +
         "\n"
         "You can reject the above fit if the cumulative p[Pearson deviates] is outside your "
         "acceptance range (e.g., 0.025 < p < 0.975)\n";
}
const std::string kBlockTail =
    "A very small value for cumulative p[Pearson-deviates] (e.g., < 0.025) when n is large "
    "suggests the model under-fits the data (fits too poorly)\n"
    "A very large value for cumulative p[Pearson-deviates] (e.g., > 0.975) when n is large "
    "suggests the model over-fits  the data (fits too well)";

Vector Cells(std::initializer_list<double> values) {
  Vector v(1, static_cast<int>(values.size()), 0.0);
  int i = 1;
  for (double x : values) v[i++] = x;
  return v;
}

TEST(FrequencyGoodnessOfFit, WithoutRandomizationsEveryStatisticIsUndefined) {
  ScriptedDesktop desktop;
  UniformGenerator uniform(1);
  std::string report = "Before";
  const auto test = FrequencyGoodnessOfFit(3, 1, Cells({2, 5, 3}), Cells({2.5, 4.5, 3}), 10.0, 0,
                                           uniform, desktop, report);
  // X = 0.25/2.5 + 0.25/4.5 = 0.1556
  EXPECT_EQ(report, "Before" + BlockHead(1) +
                        "Simulated Pearson deviates> n: 0; Mean: Undefined; SD: Undefined; "
                        "Minimum: Undefined; Maximum: Undefined\n"
                        "Observed Pearson deviates> 0.156; Cumulative p[Pearson deviates]: "
                        "Undefined; SE cumulative p[Pearson deviates]: Undefined\n" +
                        kBlockTail);
  EXPECT_EQ(desktop.YieldCount(), 0);
  EXPECT_TRUE(desktop.Transcript().empty());
  EXPECT_EQ(test.randomizations, 0);
}

TEST(FrequencyGoodnessOfFit, ASeriesWithOneOccupiedCellAlwaysSimulatesItsObservation) {
  ScriptedDesktop desktop;
  std::string status;
  desktop.SetYieldHook([&] {
    if (status.empty()) status = desktop.Status(StatusBar::Progress, 1);
  });
  UniformGenerator uniform(3);
  std::string report;
  // Cells before FirstCell take no part.
  FrequencyGoodnessOfFit(4, 2, Cells({7, 0, 10, 0}), Cells({9, 0, 10, 0}), 10.0, 4, uniform,
                         desktop, report);
  EXPECT_EQ(report, BlockHead(3) +
                        "Simulated Pearson deviates> n: 4; Mean: 0.000; SD: Undefined; "
                        "Minimum: 0.000; Maximum: 0.000\n"
                        "Observed Pearson deviates> 0.000; Cumulative p[Pearson deviates]: "
                        "0.000; SE cumulative p[Pearson deviates]: 0.000\n" +
                        kBlockTail);
  EXPECT_EQ(status, "Pearson deviates: Calculating randomization # 1 of 4");
  EXPECT_EQ(desktop.Status(StatusBar::Progress, 1), "");
  EXPECT_EQ(desktop.YieldCount(), 4);
}

TEST(FrequencyGoodnessOfFit, AnObservationInAnEmptyCellIsLeftOutAndWarned) {
  ScriptedDesktop desktop;
  desktop.ExpectMessage("Very unlikely observation(s)");
  UniformGenerator uniform(5);
  std::string report;
  const auto test = FrequencyGoodnessOfFit(3, 1, Cells({1, 9, 0}), Cells({0, 10, 0}), 10.0, 1,
                                           uniform, desktop, report);
  EXPECT_TRUE(desktop.Failures().empty());
  ASSERT_EQ(desktop.Transcript().size(), 1u);
  EXPECT_EQ(desktop.Transcript()[0].text,
            "At least one frequency cell with an observed value > 0 has a predicted value of 0.\n"
            "Therefore the Pearson deviates probability is seriously overestimated. Don't trust "
            "it!");
  EXPECT_EQ(desktop.Transcript()[0].icon, Icon::Information);
  EXPECT_NEAR(test.observed, 0.1, 1e-12);  // (9 - 10)^2 / 10 only
  // R = 1: p is 0 or 1 and its SE 0.
  EXPECT_NE(report.find("Observed Pearson deviates> 0.100; Cumulative p[Pearson deviates]: "
                        "0.000; SE cumulative p[Pearson deviates]: 0.000\n"),
            std::string::npos);
}

TEST(FrequencyGoodnessOfFit, AGoodFitGivesChiSquareLikeDeviatesAndAMiddlingP) {
  ScriptedDesktop desktop;
  UniformGenerator uniform(11);
  std::string report;
  const auto test = FrequencyGoodnessOfFit(3, 1, Cells({22, 29, 49}), Cells({20, 30, 50}), 100.0,
                                           400, uniform, desktop, report);
  // Two degrees of freedom: mean 2, SD 2.
  const double mean = test.sum / test.randomizations;
  EXPECT_NEAR(mean, 2.0, 0.3);
  EXPECT_NEAR(std::sqrt(test.sumOfSquares / test.randomizations - mean * mean), 2.0, 0.4);
  const double p = static_cast<double>(test.exceedCount) / test.randomizations;
  EXPECT_GT(p, 0.7);  // X = 0.25 sits low in the chi-square(2) distribution
  EXPECT_LT(p, 0.95);
  EXPECT_LE(test.minimum, test.maximum);
}

TEST(SimulateFrequencySample, DrawsTheSeriesTotalInProportionToTheTestedCellsExpectations) {
  UniformGenerator uniform(2);
  IntArray counts;
  // Cells 2..4 are tested; their expected values add to 9 of 9000 crabs (the
  // rest of the model's mass lies elsewhere): each cell gets its share of
  // 9000, binomial SDs about 40. Cell 3, expected at 0, gets nobody.
  SimulateFrequencySample(5, 2, 9000.0, Cells({5, 2, 0, 3, 4}), uniform, counts);
  ASSERT_EQ(counts.Hi(), 5);
  EXPECT_EQ(counts[1], 0);
  EXPECT_EQ(counts[3], 0);
  EXPECT_EQ(counts[2] + counts[4] + counts[5], 9000);
  EXPECT_NEAR(counts[2], 2000, 160);
  EXPECT_NEAR(counts[4], 3000, 180);
  EXPECT_NEAR(counts[5], 4000, 190);

  // Nothing expected anywhere: nobody can be drawn.
  SimulateFrequencySample(3, 1, 50.0, Cells({0, 0, 0}), uniform, counts);
  EXPECT_EQ(counts[1] + counts[2] + counts[3], 0);
}

// One increment record set with Gaussian errors: increment 5 + error of SD 1
// at every size (Beta 0 = 5, Tau 0 = 1), no measurement error.
struct IncrementCase {
  ModelData data;
  ModelState best;
  Vector values;

  IncrementCase(int records, int instars) {
    data.AnalysisType = "I";
    data.InstarDistribution = "N";
    data.IncrementErrorDistribution = "N";
    data.IncrementInstarCount = instars;
    data.InitialSize.Resize(1, kMaxIncrementRecords, 0.0);
    data.Increment.Resize(1, kMaxIncrementRecords, 0.0);
    data.IncrementRecordCount = records;
    for (int r = 1; r <= records; ++r) {
      data.InitialSize[r] = 11.0;
      data.Increment[r] = 5.0;
    }
    best.Resize(data);
    best.Beta[0] = 5.0;
    best.Tau[0] = 1.0;
    values.Resize(1, kStructuralParameterCount + instars, 0.0);
  }
};

TEST(IncrementGoodnessOfFit, ObservedStatisticIsTheTwoCellPearsonFormOfHalfTheDensity) {
  IncrementCase c(3, 0);
  c.data.Increment[3] = 6.0;
  ScriptedDesktop desktop;
  UniformGenerator uniform(4);
  std::string report;
  const auto test = IncrementGoodnessOfFit(c.data, c.best, c.values, 0, uniform, desktop, report);
  // q = phi(0)/2 twice and phi(1)/2 once.
  EXPECT_NEAR(test.observed, 15.291975806768988, 1e-9);
  EXPECT_EQ(report, BlockHead(4) +
                        "Simulated Pearson deviates> n: 0; Mean: Undefined; SD: Undefined; "
                        "Minimum: Undefined; Maximum: Undefined\n"
                        "Observed Pearson deviates> 15.292; Cumulative p[Pearson deviates]: "
                        "Undefined; SE cumulative p[Pearson deviates]: Undefined\n" +
                        kBlockTail);
}

TEST(IncrementGoodnessOfFit, DrawsFromTheRecordsInstarAtItsConditionalPrediction) {
  // Instar 1 (mean 10, SD 1) holds the records at size 11; instar 2 (mean 20)
  // is out of reach. Omega 0.5 makes the conditional prediction 5 x 1.5.
  IncrementCase c(400, 2);
  c.best.InstarMean[1] = 10.0;
  c.best.InstarSD[1] = 1.0;
  c.best.InstarMean[2] = 20.0;
  c.best.InstarSD[2] = 1.0;
  c.best.IncrementProportion[1] = 0.5;
  c.best.IncrementProportion[2] = 0.5;
  c.best.Omega = 0.5;
  ScriptedDesktop desktop;
  UniformGenerator uniform(8);
  std::string report;
  Vector simulated;
  const auto test =
      IncrementGoodnessOfFit(c.data, c.best, c.values, 3, uniform, desktop, report, &simulated);
  ASSERT_EQ(simulated.Hi(), 400);
  double mean = 0.0;
  for (double x : simulated) mean += x / 400.0;
  EXPECT_NEAR(mean, 7.5, 0.15);
  EXPECT_EQ(desktop.YieldCount(), 3);
  EXPECT_EQ(desktop.Status(StatusBar::Progress, 1), "");
  EXPECT_EQ(test.randomizations, 3);
  EXPECT_NE(report.find("Simulated Pearson deviates> n: 3; Mean:"), std::string::npos);
}

TEST(SimulateIncrements, WritesTheTableOfASureInstarSizeAndIncrement) {
  // Instar 1 of size exactly 10, increment 2 + 0.1 x = 3 with no spread.
  IncrementCase c(0, 1);
  c.best.Beta[0] = 2.0;
  c.best.Beta[1] = 0.1;
  c.best.Tau[0] = 0.0;
  c.best.InstarMean[1] = 10.0;
  c.best.InstarSD[1] = 0.0;
  c.best.IncrementProportion[1] = 1.0;
  ScriptedDesktop desktop;
  UniformGenerator uniform(6);
  std::string report = "Top";
  SimulateIncrements(c.data, c.best, c.values, 2, uniform, desktop, report);
  EXPECT_EQ(report,
            "Top\n\nSimulated increment data :\n"
            "      ,     Initial, Measurement,     Initial, Unconditional, Measurement, Simulated\n"
            "      , (Pre-moult),       Error,        size,     Simulated,       Error, Increment\n"
            "Number,        Size,     with ME,     with ME,     Increment,        (ME),   with ME\n"
            "     1,       10.00,        0.00,       10.00,          3.00,        0.00,      3.00\n"
            "     2,       10.00,        0.00,       10.00,          3.00,        0.00,      3.00");
  EXPECT_TRUE(desktop.Transcript().empty());
  EXPECT_EQ(desktop.Status(StatusBar::Progress, 1), "");

  // Nothing to simulate: nothing is written.
  std::string untouched;
  SimulateIncrements(c.data, c.best, c.values, 0, uniform, desktop, untouched);
  EXPECT_EQ(untouched, "");
}

TEST(SimulateIncrements, WarnsOfNegativeGaussianSizesAndIncrementsButNotGammaOnes) {
  IncrementCase c(0, 1);
  c.best.Beta[0] = 0.5;
  c.best.Tau[0] = 2.0;
  c.best.InstarMean[1] = 1.0;
  c.best.InstarSD[1] = 5.0;
  c.best.IncrementProportion[1] = 1.0;
  c.values[param::kPercentSE] = 5.0;
  ScriptedDesktop desktop;
  desktop.ExpectMessage("Warning: invalid data");
  desktop.ExpectMessage("Warning: invalid data");
  UniformGenerator uniform(12);
  std::string report;
  SimulateIncrements(c.data, c.best, c.values, 200, uniform, desktop, report);
  EXPECT_TRUE(desktop.Failures().empty());
  ASSERT_EQ(desktop.Transcript().size(), 2u);
  EXPECT_EQ(desktop.Transcript()[0].text,
            "At least one simulated pre-moult size (without measurement error) is less than "
            "zero; consider using a gamma error distribution!");
  EXPECT_EQ(desktop.Transcript()[1].text,
            "At least one simulated increment (without measurement error) is less than zero; "
            "consider using a gamma error distribution!");

  c.data.IncrementErrorDistribution = "G";
  ScriptedDesktop quiet;
  std::string gammaReport;
  SimulateIncrements(c.data, c.best, c.values, 200, uniform, quiet, gammaReport);
  EXPECT_TRUE(quiet.Transcript().empty());
  EXPECT_NE(gammaReport.find("\n   200,"), std::string::npos);
}

}  // namespace
}  // namespace estimetrix

namespace estimetrix {
namespace {

// Gamma increments need a positive mean. Before, a mean far below zero was
// redrawn "until positive" for ever; now it is invalid data, said at once.
TEST(IncrementGoodnessOfFit, AGammaMeanAtOrBelowZeroIsReportedAsInvalidDataNotDrawn) {
  IncrementCase c(4, 0);
  c.data.IncrementErrorDistribution = "G";
  // Increments 10 - 5 x at sizes 1..4: records 2, 3 and 4 predict 0 or less.
  for (int r = 1; r <= 4; ++r) c.data.InitialSize[r] = r;
  c.best.Beta[0] = 10.0;
  c.best.Beta[1] = -5.0;
  c.best.Tau[0] = 1.0;
  ScriptedDesktop desktop;
  desktop.ExpectMessage("Warning: invalid data");
  UniformGenerator uniform(9);
  std::string report;
  Vector simulated;
  const auto test =
      IncrementGoodnessOfFit(c.data, c.best, c.values, 50, uniform, desktop, report, &simulated);
  EXPECT_TRUE(desktop.Failures().empty());
  ASSERT_EQ(desktop.Transcript().size(), 1u);
  EXPECT_EQ(desktop.Transcript()[0].icon, Icon::Exclamation);
  EXPECT_EQ(desktop.Transcript()[0].text,
            "The predicted increment of record 2 is zero or less, so no gamma increment can be "
            "drawn for it.\nThe increment goodness-of-fit randomizations were not run; reassess "
            "the parameter values.");
  EXPECT_EQ(report.rfind("\nInvalid data: The predicted increment of record 2 is zero or less, so "
                         "no gamma increment can be drawn for it; no randomizations were run.\n",
                         0),
            0u);
  EXPECT_NE(report.find("Simulated Pearson deviates> n: 0; Mean: Undefined;"), std::string::npos);
  EXPECT_NE(report.find("Cumulative p[Pearson deviates]: Undefined"), std::string::npos);
  EXPECT_EQ(test.randomizations, 0);
  EXPECT_EQ(desktop.YieldCount(), 0);
  EXPECT_EQ(simulated.Hi(), 0);

  // Far below zero everywhere (the case that never ended): the same, at once.
  c.best.Beta[0] = -50.0;
  c.best.Beta[1] = 0.0;
  ScriptedDesktop far;
  far.ExpectMessage("Warning: invalid data");
  std::string farReport;
  IncrementGoodnessOfFit(c.data, c.best, c.values, 50, uniform, far, farReport);
  EXPECT_TRUE(far.Failures().empty());
  EXPECT_NE(farReport.find("record 1 is zero or less"), std::string::npos);

  // Gaussian increments may be negative: the test runs.
  c.data.IncrementErrorDistribution = "N";
  ScriptedDesktop gaussian;
  std::string gaussianReport;
  EXPECT_EQ(IncrementGoodnessOfFit(c.data, c.best, c.values, 5, uniform, gaussian, gaussianReport)
                .randomizations,
            5);
  EXPECT_TRUE(gaussian.Transcript().empty());
}

TEST(SimulateIncrements, GammaIncrementsThatCannotBeDrawnStopTheSimulationWithInvalidData) {
  // Instar 1 of size 10 (SD 1): an increment of 2 - 0.5 x is below zero there.
  IncrementCase c(0, 1);
  c.data.IncrementErrorDistribution = "G";
  c.best.Beta[0] = 2.0;
  c.best.Beta[1] = -0.5;
  c.best.Tau[0] = 1.0;
  c.best.InstarMean[1] = 10.0;
  c.best.InstarSD[1] = 1.0;
  c.best.IncrementProportion[1] = 1.0;
  ScriptedDesktop desktop;
  desktop.ExpectMessage("Warning: invalid data");
  UniformGenerator uniform(13);
  std::string report;
  SimulateIncrements(c.data, c.best, c.values, 10000, uniform, desktop, report);
  EXPECT_TRUE(desktop.Failures().empty());
  ASSERT_EQ(desktop.Transcript().size(), 1u);
  EXPECT_EQ(desktop.YieldCount(), 1);  // stopped at the first simulated increment
  EXPECT_EQ(report.rfind("\n\nInvalid data: The predicted increment at a simulated pre-moult size "
                         "of ",
                         0),
            0u);
  EXPECT_NE(report.find(" is zero or less, so no gamma increment can be drawn for it; no "
                        "increments were simulated."),
            std::string::npos);
  EXPECT_EQ(report.find("Simulated increment data :"), std::string::npos);
  EXPECT_EQ(desktop.Status(StatusBar::Progress, 1), "");

  // An instar whose mean size is not positive has no gamma size either.
  c.best.InstarMean[1] = -3.0;
  ScriptedDesktop sizes;
  sizes.ExpectMessage("Warning: invalid data");
  std::string sizeReport;
  SimulateIncrements(c.data, c.best, c.values, 10, uniform, sizes, sizeReport);
  ASSERT_EQ(sizes.Transcript().size(), 1u);
  EXPECT_EQ(sizes.Transcript()[0].text,
            "The mean size of instar 1 is zero or less, so no gamma pre-moult size can be drawn "
            "for it.\nNo increments were simulated; reassess the parameter values.");
}

}  // namespace
}  // namespace estimetrix
