#include "engine/distribution_summary.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace estimetrix {
namespace {

// P points from `first` with spacing h and -ln values from `minusLn`.
template <class F>
DistributionPoints Curve(int count, double first, double h, F minusLn) {
  DistributionPoints points;
  points.Resize(count);
  for (int k = 1; k <= count; ++k) {
    points.ProfileValues[k] = first + (k - 1) * h;
    points.ProfileObjectives[k] = minusLn(points.ProfileValues[k]);
  }
  return points;
}

TEST(DistributionSummary, FivePointGaussianMatchesSimpsonByHand) {
  // -ln of a standard Gaussian plus a constant, at -2..2: the constant goes,
  // the area is Simpson's over two pairs, the mean is 0 by symmetry.
  DistributionPoints points = Curve(5, -2.0, 1.0, [](double x) { return 3.0 + x * x / 2; });
  DistributionSummary(points, 3, 1.0);

  const double e2 = std::exp(-2.0), e05 = std::exp(-0.5);
  const double area = 2.0 * (e2 + 4 * e05 + 1) / 3.0;
  const double variance = (2.0 * (4 * e2 + 4 * e05) / 3.0) / area;
  const double se = std::sqrt(variance);

  EXPECT_DOUBLE_EQ(points.ProfileObjectives[3], 0.0);
  EXPECT_DOUBLE_EQ(points.ProfileObjectives[1], 2.0);
  EXPECT_DOUBLE_EQ(points.PointPdf[3], 1.0 / area);
  EXPECT_DOUBLE_EQ(points.PointPdf[1], e2 / area);
  EXPECT_NEAR(points.ExpectedValue, 0.0, 1e-15);
  EXPECT_DOUBLE_EQ(points.StandardError, se);
  EXPECT_DOUBLE_EQ(points.MaxLikelihoodValue, 0.0);
  EXPECT_EQ(points.BestPoint, 3);
  EXPECT_NEAR(points.Difference, 0.0, 1e-15);
  EXPECT_DOUBLE_EQ(points.NormalReference[5],
                   std::exp(-4.0 / (2 * variance)) / (std::sqrt(2 * std::numbers::pi) * se));

  // Odd points by Simpson's pairs, even ones from a rectangle under the
  // second point; the coarse grid overshoots 1 at points 4 and 5: capped.
  const double c1 = e2 / area, c2 = c1 + e05 / area, c3 = c1 + 0.5;
  ASSERT_GT(c2 + (2 * e05 + 4) / 3.0 / area, 1.0);
  EXPECT_DOUBLE_EQ(points.PointCumulative[1], c1);
  EXPECT_DOUBLE_EQ(points.PointCumulative[2], c2);
  EXPECT_DOUBLE_EQ(points.PointCumulative[3], c3);
  EXPECT_DOUBLE_EQ(points.PointCumulative[4], 1.0);
  EXPECT_DOUBLE_EQ(points.PointCumulative[5], 1.0);

  // Confidence columns centred on the mode (and on the mean, the same point).
  EXPECT_DOUBLE_EQ(points.ModeCI[1], (c3 - c1) / c3);
  EXPECT_DOUBLE_EQ(points.ModeCI[3], 0.0);
  EXPECT_DOUBLE_EQ(points.ModeCI[4], 1.0);
  EXPECT_DOUBLE_EQ(points.ModeCI[5], 1.0);
  for (int k = 1; k <= 5; ++k) EXPECT_DOUBLE_EQ(points.MeanCI[k], points.ModeCI[k]) << k;
}

TEST(DistributionSummary, FlatCurveIsUniformDensity) {
  const double h = 0.25;
  DistributionPoints points = Curve(9, 1.0, h, [](double) { return 4.0; });
  DistributionSummary(points, 1, h);
  for (int k = 1; k <= 9; ++k) EXPECT_DOUBLE_EQ(points.PointPdf[k], 1.0 / (h * 8)) << k;
  EXPECT_DOUBLE_EQ(points.ExpectedValue, 2.0);
  EXPECT_NEAR(points.StandardError, 2.0 / std::sqrt(12.0), 1e-12);
  EXPECT_DOUBLE_EQ(points.Difference, 1.0 - 2.0);
  EXPECT_DOUBLE_EQ(points.PointCumulative[9], 1.0);
  // The mean lies on point 5: its confidence column is 0 there and 1 at the ends.
  EXPECT_DOUBLE_EQ(points.MeanCI[5], 0.0);
  EXPECT_DOUBLE_EQ(points.MeanCI[9], 1.0);
}

TEST(DistributionSummary, FineSkewedGridRecoversMomentsAwayFromTheMode) {
  // A Gaussian of mean 3 and SD 0.5 with the best point off the grid's centre.
  DistributionPoints points =
      Curve(401, 0.5, 0.0125, [](double x) { return 10.0 + 2.0 * (x - 3.0) * (x - 3.0); });
  DistributionSummary(points, 201, 0.0125);
  EXPECT_NEAR(points.ExpectedValue, 3.0, 1e-9);
  EXPECT_NEAR(points.StandardError, 0.5, 1e-5);
  EXPECT_NEAR(points.PointCumulative[201], 0.5, 1e-2);
  EXPECT_NEAR(points.PointPdf[201], 1.0 / (std::sqrt(2 * std::numbers::pi) * 0.5), 1e-6);
}

TEST(DistributionSummary, CurveWithoutAreaKeepsFiniteColumns) {
  // Every point but the best one underflows; then even the best is -inf
  // relative: no crash, no NaN in the moments.
  DistributionPoints points = Curve(3, 0.0, 1.0, [](double x) { return x == 1.0 ? 0.0 : 1e6; });
  DistributionSummary(points, 2, 1.0);
  EXPECT_DOUBLE_EQ(points.ExpectedValue, 1.0);
  EXPECT_DOUBLE_EQ(points.StandardError, 0.0);
  EXPECT_DOUBLE_EQ(points.NormalReference[2], 0.0);
}

TEST(PointTableReport, LaysOutBothColumnSets) {
  DistributionPoints points = Curve(3, -1.0, 1.0, [](double x) { return x * x; });
  DistributionSummary(points, 2, 1.0);
  const std::string confidence =
      PointTableReport("Bayesian posterior distribution data", points, PointTableColumns::Confidence);
  const std::string prior = PointTableReport("Bayesian prior distribution data", points,
                                             PointTableColumns::Prior);
  EXPECT_EQ(confidence.substr(0, confidence.find('\n', 40) + 1),
            "Bayesian posterior distribution data\n\n"
            "  Point       Value         -ln[L]           PDF        CI on mode     CI on mean     "
            "Normal PDF\n");
  // Area A = (2/e + 4)/3 = 1.578586; PDF 1/A and (1/e)/A; second moment
  // (2/e)/3 gives SE 0.394160; C1 = (1/e)/A, C2 = C1 + 1/A, C3 = 1. A mean
  // of 0 has no percentage: -1.
  const std::string expectedTail =
      "    2     0.0000E+000    0.0000E+000    6.3348E-001    8.6652E-001    1.3348E-001"
      "    1.0121E+000   \n"
      "    3     1.0000E+000    1.0000E+000    2.3304E-001    1.0000E+000    0.0000E+000"
      "    4.0509E-002   \n"
      "\n"
      "Max Likelihood:  0.0000E+000   \n"
      "Expected Value:  0.0000E+000   \n"
      "Estimated Diff:  0.0000E+000   \n"
      "Percent Diff:   -1.0000E+000   \n"
      "Estimated SE:    3.9416E-001   \n";
  EXPECT_EQ(prior.substr(prior.size() - expectedTail.size()), expectedTail);
  EXPECT_NE(prior.find("Cumulative     Attenuated"), std::string::npos);
}

TEST(DistributionPlotOf, CarriesEveryColumnAndTheEstimates) {
  DistributionPoints points = Curve(5, 0.0, 0.5, [](double x) { return (x - 1) * (x - 1); });
  points.EvaluatedParameter = 4;
  DistributionSummary(points, 3, 0.5);
  DistributionPlot plot = DistributionPlotOf(points, DistributionKind::Prior, "Mean size");
  EXPECT_EQ(plot.kind, DistributionKind::Prior);
  EXPECT_EQ(plot.parameter, 4);
  EXPECT_EQ(plot.description, "Mean size");
  ASSERT_EQ(plot.values.size(), 5u);
  EXPECT_EQ(plot.values[4], 2.0);
  EXPECT_EQ(plot.pdf[2], points.PointPdf[3]);
  EXPECT_EQ(plot.cumulative[4], points.PointCumulative[5]);
  EXPECT_EQ(plot.normalReference[0], points.NormalReference[1]);
  EXPECT_EQ(plot.maxLikelihoodValue, 1.0);
  EXPECT_EQ(plot.expectedValue, points.ExpectedValue);
}

}  // namespace
}  // namespace estimetrix
