// The engine's analytical road with the model's exact derivatives: Marquardt
// and the covariance calculator answered "analytical".

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "engine/covariance/covariance.h"
#include "engine/minimizers/marquardt.h"
#include "engine/state/workbench.h"
#include "model/carapex_model.h"
#include "model/likelihood.h"
#include "model/parameter_layout.h"
#include "platform/scripted_desktop.h"
#include "tests/support/carapex_cases.h"
#include "tests/support/carapex_workbench.h"
#include "tests/support/recording_marquardt_view.h"

namespace estimetrix::testing {
namespace {

struct QuietCovarianceViews : CovarianceViews {
  void EditAlgorithmDataAndWait() override {}
  void ShowProgress() override {}
  void AppendLog(const std::string& text) override { log += text; }
  void EnableInterrupt() override {}
  void ShowDisplay() override {}
  std::string log;
};

// A workbench whose model is initialised as the case's, with its values and steps.
struct AnalyticalRun {
  Workbench wb;
  ScriptedDesktop desktop;
  CarapexModel* model = nullptr;

  explicit AnalyticalRun(const CarapexCase& c) : model(LoadCaseIntoWorkbench(c, wb, desktop)) {}

  // The model's gradient at Values.
  Vector Gradient(double& objective) {
    Vector gradient, steps = wb.alg.Steps;
    Matrix second;
    int observations = 0, sampleSize = 0;
    wb.model->MODEL(objective, wb.alg.Values, steps, wb.alg.Descriptions, wb.alg.FuseCodes,
                    wb.alg.ParameterCount, -2, observations, gradient, second, sampleSize);
    return gradient;
  }

  MarquardtResult Marquardt() {
    wb.alg.SimplexLimit = 1e-12;
    wb.alg.MaxFunctionCalls = 500;
    wb.state.MarquardtDerivatives = DerivativeChoice::Analytical;
    wb.marquardt.ShowDerivatives = false;
    SizeMarquardtDerivatives(wb);
    desktop.ExpectMessage("");  // how the run ended
    RecordingMarquardtView view;
    return MarquardtMinimize(wb, desktop, view);
  }
};

// Marquardt with exact derivatives stops where the gradient vanishes.
void ExpectMarquardtReachesAStationaryPoint(const CarapexCase& c) {
  ASSERT_TRUE(c.ready);
  AnalyticalRun run(c);
  const MarquardtResult result = run.Marquardt();
  EXPECT_TRUE(run.desktop.Failures().empty()) << run.desktop.Failures().front();
  ASSERT_FALSE(run.desktop.Transcript().empty());
  double objective = 0.0;
  const Vector gradient = run.Gradient(objective);
  EXPECT_NEAR(objective, result.objective, 1e-9 * std::fabs(objective));
  for (int i = 1; i <= run.wb.alg.ParameterCount; ++i) {
    if (run.wb.alg.Steps[i] == 0.0) continue;
    EXPECT_LT(std::fabs(gradient[i]), 1e-4 * std::max(1.0, std::fabs(objective)))
        << "parameter " << i << " (" << run.wb.alg.Descriptions[i] << "), run ended with \""
        << run.desktop.Transcript().back().title << "\"";
  }
}

TEST(AnalyticalMarquardt, ReachesAStationaryPointOnThreeIncrementInstars) {
  ExpectMarquardtReachesAStationaryPoint(ThreeInstarIncrementCase(false));
}

TEST(AnalyticalMarquardt, ReachesAStationaryPointOnFrequenciesWithIncrements) {
  CarapexCase c = CombinedCase(false);
  c.h->steps[param::kOmega] = 0.0;  // these data say next to nothing about it
  ExpectMarquardtReachesAStationaryPoint(c);
}

// Exact standard errors: on the Dungeness increments with a constant SD the
// likelihood is the normal linear model's, whose maximum and covariance are
// closed forms: the least-squares line, sigma^2 = RSS / n, and the inverse
// of -ln L's Hessian, sigma^2 (X'X)^-1 for the line and sigma^2 / 2n for sigma.
// (No record's predicted increment comes within 6 SDs of zero, so the
// truncation at zero does not count.)
TEST(AnalyticalCovariance, DungenessStraightLineIsTheLeastSquaresCovariance) {
  CarapexCase c = DungenessCase();
  ASSERT_TRUE(c.ready);
  const ModelData& data = c.h->model.Data();
  const int n = data.IncrementRecordCount;
  double sx = 0.0, sy = 0.0;
  for (int r = 1; r <= n; ++r) {
    sx += data.InitialSize[r];
    sy += data.Increment[r];
  }
  const double mx = sx / n, my = sy / n;
  double sxx = 0.0, sxy = 0.0;
  for (int r = 1; r <= n; ++r) {
    sxx += Squared(data.InitialSize[r] - mx);
    sxy += (data.InitialSize[r] - mx) * (data.Increment[r] - my);
  }
  const double b1 = sxy / sxx, b0 = my - b1 * mx;
  double rss = 0.0;
  for (int r = 1; r <= n; ++r) rss += Squared(data.Increment[r] - b0 - b1 * data.InitialSize[r]);
  const double s2 = rss / n;
  c.h->values[param::kBeta0] = b0;
  c.h->values[param::kBeta0 + 1] = b1;
  c.h->values[param::kTau0] = std::sqrt(s2);
  c.h->values[param::kTau0 + 1] = 0.0;
  c.h->steps[param::kTau0 + 1] = 0.0;

  AnalyticalRun run(c);
  QuietCovarianceViews views;
  run.desktop.ExpectMessage(kCovarianceTitle, Answer::Yes);  // analytical
  run.desktop.ExpectInput("Enter constant", "0.5");
  run.desktop.ExpectMessage("Calculate optimistic SEs only?", Answer::No);
  ASSERT_TRUE(CovarianceCalculator(run.wb, run.desktop, views));
  EXPECT_TRUE(run.desktop.Failures().empty()) << run.desktop.Failures().front();

  // (X'X)^-1 for the line Beta 0 + Beta 1 x.
  const double det = n * sxx;
  const double sumSquares = sxx + n * mx * mx;
  const double expected[3][3] = {{s2 * sumSquares / det, -s2 * sx / det, 0.0},
                                 {-s2 * sx / det, s2 * n / det, 0.0},
                                 {0.0, 0.0, s2 / (2.0 * n)}};
  const CovarianceState& cov = run.wb.covariance;
  ASSERT_EQ(cov.CovarianceCount, 3);
  for (int k = 1; k <= kCovarianceGrids; ++k) {
    for (int r = 1; r <= 3; ++r) {
      EXPECT_NEAR(cov.StandardError(k, r), std::sqrt(expected[r - 1][r - 1]),
                  1e-6 * std::sqrt(expected[r - 1][r - 1]));
      for (int s = 1; s <= 3; ++s) {
        const double scale = std::sqrt(expected[r - 1][r - 1] * expected[s - 1][s - 1]);
        EXPECT_NEAR(cov.GridResults[k](r, s), expected[r - 1][s - 1], 1e-6 * scale)
            << "grid " << k << ", covariance (" << r << ", " << s << ")";
      }
    }
  }
}

}  // namespace
}  // namespace estimetrix::testing
