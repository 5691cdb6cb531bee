#include "engine/state/distribution_summary.h"

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
  // A standard Gaussian's -ln plus a constant at -2..2: the constant goes,
  // the area is Simpson's over two pairs, the mean is 0 by symmetry.
  DistributionPoints points = Curve(5, -2.0, 1.0, [](double x) { return 3.0 + x * x / 2; });
  DistributionSummary(points, 3, 1.0);
  const double e2 = std::exp(-2.0), e05 = std::exp(-0.5);
  const double area = 2.0 * (e2 + 4 * e05 + 1) / 3.0;
  const double se = std::sqrt((2.0 * (4 * e2 + 4 * e05) / 3.0) / area);
  EXPECT_DOUBLE_EQ(points.ProfileObjectives[1], 2.0);
  EXPECT_DOUBLE_EQ(points.PointPdf[3], 1.0 / area);
  EXPECT_NEAR(points.ExpectedValue, 0.0, 1e-15);
  EXPECT_DOUBLE_EQ(points.StandardError, se);
  EXPECT_DOUBLE_EQ(points.NormalReference[5],
                   std::exp(-4.0 / (2 * se * se)) / (std::sqrt(2 * std::numbers::pi) * se));
  // Odd points by Simpson's pairs, even ones from a rectangle under the
  // second; this coarse grid overshoots 1 at point 4, which is capped.
  const double c1 = e2 / area, c3 = c1 + 0.5;
  EXPECT_DOUBLE_EQ(points.PointCumulative[2], c1 + e05 / area);
  EXPECT_DOUBLE_EQ(points.PointCumulative[3], c3);
  EXPECT_DOUBLE_EQ(points.PointCumulative[4], 1.0);
  EXPECT_DOUBLE_EQ(points.ModeCI[1], (c3 - c1) / c3);
  EXPECT_DOUBLE_EQ(points.ModeCI[3], 0.0);
  EXPECT_DOUBLE_EQ(points.MeanCI[5], 1.0);
}

TEST(DistributionSummary, FlatCurveIsUniformDensityAndTablesItsMoments) {
  const double h = 0.25;
  DistributionPoints points = Curve(9, 1.0, h, [](double) { return 4.0; });
  DistributionSummary(points, 1, h);
  for (int k = 1; k <= 9; ++k) EXPECT_DOUBLE_EQ(points.PointPdf[k], 1.0 / (h * 8)) << k;
  EXPECT_DOUBLE_EQ(points.ExpectedValue, 2.0);
  EXPECT_NEAR(points.StandardError, 2.0 / std::sqrt(12.0), 1e-12);
  EXPECT_DOUBLE_EQ(points.MeanCI[5], 0.0);  // the mean lies on point 5

  const std::string table = PointTableReport("Max-like", points, PointTableColumns::Confidence);
  EXPECT_EQ(table.substr(0, 107),
            "Max-like\n\n  Point       Value         -ln[L]           PDF        CI on mode     CI "
            "on mean     Normal PDF\n");
  EXPECT_NE(table.find("\nMax Likelihood:  1.0000E+000   \nExpected Value:  2.0000E+000   \n"
                       "Estimated Diff: -1.0000E+000   \nPercent Diff:   -5.0000E+001   \n"),
            std::string::npos);
}

}  // namespace
}  // namespace estimetrix
