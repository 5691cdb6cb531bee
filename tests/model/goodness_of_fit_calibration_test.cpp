// The Pearson-deviates tests under their own null: data sets drawn from the
// very model they are tested against (with the standard library's
// distributions, not ours) must give p-values spread over (0, 1), some of
// them small, rather than bunched high. Small and seeded: 40 data sets.

#include <gtest/gtest.h>

#include <cmath>

#include "tests/model/null_calibration.h"
#include "tests/support/normal_cdf.h"

namespace estimetrix {
namespace {

using testing::Calibration;
using testing::NormalCdf;

constexpr int kSets = 40;
// Near uniform: the 1% critical Kolmogorov-Smirnov distance for 40 values is
// 0.258; the p-values' steps of 1/R add a little.
constexpr double kLooseDistance = 0.3;

void ExpectSpreadOverTheUnitInterval(const Calibration& c) {
  ASSERT_EQ(c.p.size(), static_cast<size_t>(kSets));
  EXPECT_GT(c.ShareBelow(0.1), 0.0);
  EXPECT_LT(c.ShareBelow(0.1), 0.3);
  EXPECT_GT(c.ShareBelow(0.5), 0.25);
  EXPECT_LT(c.ShareBelow(0.5), 0.75);
  EXPECT_LT(c.UniformDistance(), kLooseDistance);
}

// A series of 600 crabs in 1 mm cells 1..30 from two Gaussian instars
// (6 +- 2 mm, 40%; 16 +- 3 mm, 60%), tested from cell 5: the cells below hold
// about 6% of the predicted crabs, and the last cell next to none. The
// expected values are the model's, adding to the tested share of 600.
TEST(GoodnessOfFitCalibration, FrequencyTestGivesUniformPValuesWhenMassLiesOutsideTheTestedCells) {
  const int cells = 30, firstCell = 5;
  const double total = 600.0;
  Vector expected(1, cells, 0.0);
  auto mixture = [](double x) {
    return 0.4 * NormalCdf((x - 6.0) / 2.0) + 0.6 * NormalCdf((x - 16.0) / 3.0);
  };
  double tested = 0.0;
  for (int c = 1; c <= cells; ++c) {
    expected[c] = total * (mixture(c) - mixture(c - 1.0));
    if (c >= firstCell) tested += expected[c];
  }
  ASSERT_LT(tested, 0.95 * total);
  ASSERT_LT(expected[cells], 0.01);
  const Calibration c =
      testing::CalibrateFrequencyTest(cells, firstCell, expected, total, kSets, 99, 20261209);
  ExpectSpreadOverTheUnitInterval(c);
}

// 600 increment records at initial sizes 20..80 with gamma errors of shape 30
// (increment 2 + 0.2 x, SD the increment / sqrt(30)): a shape at which a
// normal approximation of the randomised increments is already far enough off
// to push every p-value up.
TEST(GoodnessOfFitCalibration, IncrementTestGivesUniformPValuesForGammaShapesAbove25) {
  ModelData data;
  data.AnalysisType = "I";
  data.InstarDistribution = "N";
  data.IncrementErrorDistribution = "G";
  data.IncrementInstarCount = 0;
  data.InitialSize.Resize(1, kMaxIncrementRecords, 0.0);
  data.Increment.Resize(1, kMaxIncrementRecords, 0.0);
  data.IncrementRecordCount = 600;
  for (int r = 1; r <= 600; ++r) data.InitialSize[r] = 20.0 + 0.1 * (r - 1);
  ModelState best;
  best.Resize(data);
  best.Beta[0] = 2.0;
  best.Beta[1] = 0.2;
  best.Tau[1] = 1.0 / std::sqrt(30.0);
  Vector values(1, kStructuralParameterCount, 0.0);
  const Calibration c = testing::CalibrateIncrementTest(data, best, values, kSets, 99, 20261210);
  ExpectSpreadOverTheUnitInterval(c);
}

}  // namespace
}  // namespace estimetrix
