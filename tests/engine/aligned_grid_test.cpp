// The posterior grid that follows the covariance, as a user meets it: the
// extra question only where steps come from a covariance grid, the right
// marginal mean and SD for strongly correlated parameters, the report naming
// the grid, and the fall-back when the covariance cannot give a grid.

#include "engine/bayesian/aligned_grid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/bayesian/posterior.h"
#include "tests/support/evaluation_session.h"
#include "tests/support/gaussian_posterior.h"

namespace estimetrix {
namespace {

using testing::EvaluationSession;
using testing::kGaussianSD;

constexpr const char* kAlignedLine = "Grid: along the covariance of grid 2";

struct GaussianRun {
  EvaluationSession s{testing::kGaussianParameters};
  explicit GaussianRun(int parameter, bool aligned, int points = 25, int grid = 25) {
    testing::MakeGaussianPosterior(s);
    s.Model().parallel = true;
    s.wb.ThreadCount = 2;
    s.answers.parameter = std::to_string(parameter);
    s.answers.points = std::to_string(points);
    s.answers.gridPoints = std::to_string(grid);
    s.answers.covarianceSteps = "2";
    s.answers.alignedGrid = aligned;
  }
  CommandOutcome Run() { return s.Posterior(); }
  const DistributionPoints& Points() const { return s.wb.evaluation; }
  std::string Report() const { return s.views.Report(ReportKind::Posterior); }
};

TEST(AlignedGrid, CorrelatedGaussianMarginalsMatchTheClosedFormWithinHalfAPercent) {
  for (int parameter : {1, 2, 4}) {
    GaussianRun run(parameter, true);
    ASSERT_EQ(run.Run(), CommandOutcome::Done) << parameter;
    const double mean = testing::GaussianMean(parameter);
    const double sd = kGaussianSD[static_cast<size_t>(parameter - 1)];
    EXPECT_NEAR(run.Points().ExpectedValue, mean, 0.005 * mean) << parameter;
    EXPECT_NEAR(run.Points().StandardError, sd, 0.005 * sd) << parameter;
    EXPECT_NE(run.Report().find(kAlignedLine), std::string::npos);
    EXPECT_TRUE(run.s.Asked(kAlignedGridTitle));
  }
}

TEST(AlignedGrid, TheDescribedGridStaysTheDefaultAndItsReportUnchanged) {
  GaussianRun axes(1, false, 9, 9);
  ASSERT_EQ(axes.Run(), CommandOutcome::Done);
  EXPECT_TRUE(axes.s.Asked(kAlignedGridTitle));
  EXPECT_EQ(axes.Report().find("Grid:"), std::string::npos);
  const std::string report = axes.Report();
  const size_t lastLine = report.rfind('\n', report.size() - 2) + 1;
  EXPECT_EQ(report.compare(lastLine, 16, "Estimated SE:   "), 0) << report;

  // Steps as they stand: no covariance grid, so no question about following it.
  GaussianRun steps(1, true, 9, 9);
  steps.s.answers.covarianceSteps = "N";
  ASSERT_EQ(steps.Run(), CommandOutcome::Done);
  EXPECT_FALSE(steps.s.Asked(kAlignedGridTitle));
  EXPECT_EQ(steps.Report().find("Grid:"), std::string::npos);
}

TEST(AlignedGrid, ACovarianceWithoutReliableErrorsFallsBackToTheAxesWithAMessage) {
  GaussianRun run(1, true, 9, 9);
  run.s.answers.covarianceSteps = "1";  // grid 1 holds no reliable values
  ASSERT_EQ(run.Run(), CommandOutcome::Done);
  int messages = 0;
  for (const DialogRecord& record : run.s.desktop.Transcript())
    if (record.title == kAlignedGridTitle && record.buttons == Buttons::Ok) {
      ++messages;
      EXPECT_NE(record.text.find("no reliable standard error"), std::string::npos);
    }
  EXPECT_EQ(messages, 1);
  EXPECT_EQ(run.Report().find("Grid:"), std::string::npos);
}

TEST(AlignedGrid, TheBivariateDensityFollowsTheRidgeOnARegularGrid) {
  GaussianRun run(1, true, 25, 25);
  for (int i = 3; i <= testing::kGaussianParameters; ++i) run.s.wb.alg.Steps[i] = 0.0;
  // With parameters 3 and 4 fixed, the posterior of 1 and 2 is Gaussian with
  // the inverse of the precision's leading 2 x 2 block as its covariance,
  // the matrix a covariance calculation with these two free would give.
  const std::vector<double> A = testing::GaussianPrecision();
  const int n = testing::kGaussianParameters;
  const double a11 = A[0], a12 = A[1], a22 = A[static_cast<size_t>(n + 1)];
  const double det = a11 * a22 - a12 * a12;
  Matrix& cov = run.s.wb.covariance.GridResults[2];
  cov(1, 1) = a22 / det;
  cov(2, 2) = a11 / det;
  cov(1, 2) = cov(2, 1) = -a12 / det;
  cov(0, 1) = std::sqrt(cov(1, 1));
  cov(0, 2) = std::sqrt(cov(2, 2));
  const double slope = -a12 / a22;  // the regression of 2 on 1
  run.s.answers.bivariate = true;
  ASSERT_EQ(run.Run(), CommandOutcome::Done);
  ASSERT_EQ(run.s.views.Bivariates().size(), 1u);
  const BivariatePlot& plot = run.s.views.Bivariates().front();
  ASSERT_EQ(plot.y.size(), 25u);
  const double spacing = plot.y[1] - plot.y[0];
  for (size_t j = 1; j < plot.y.size(); ++j) EXPECT_NEAR(plot.y[j] - plot.y[j - 1], spacing, 1e-9);
  EXPECT_NEAR(spacing, 7.0 * cov(0, 2) / 24.0, 1e-9);
  // Each row's largest density lies at the conditional mean of parameter 2
  // given parameter 1, and every row holds the same probability (the marginal
  // density of parameter 1 times the row's width) up to the grid's rounding.
  const size_t G = plot.y.size();
  for (size_t i = 4; i + 4 < plot.x.size(); ++i) {
    size_t best = 0;
    for (size_t j = 1; j < G; ++j)
      if (plot.density[i * G + j] > plot.density[i * G + best]) best = j;
    const double ridge = 2.0 + slope * (plot.x[i] - 1.0);
    EXPECT_NEAR(plot.y[best], ridge, spacing) << "row " << i;
  }
  auto rowSum = [&](size_t i) {
    double sum = 0.0;
    for (size_t j = 0; j < G; ++j) sum += plot.density[i * G + j];
    return sum;
  };
  const double sd1 = cov(0, 1);
  const size_t centre = plot.x.size() / 2;
  for (size_t i = centre - 3; i <= centre + 3; ++i) {
    const double z = (plot.x[i] - 1.0) / sd1;
    EXPECT_NEAR(rowSum(i) / rowSum(centre), std::exp(-0.5 * z * z), 0.01) << "row " << i;
  }
  EXPECT_NEAR(plot.largestX, 1.0, 1e-9);
  EXPECT_NEAR(plot.largestY, 2.0, spacing);
}

}  // namespace
}  // namespace estimetrix
