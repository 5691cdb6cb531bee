#include "engine/covariance/covariance.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "engine/state/workbench.h"
#include "platform/scripted_desktop.h"
#include "tests/support/quadratic_model.h"

namespace estimetrix {
namespace {

using testing::QuadraticModel;

// The quadratic model with a cross term between parameters 1 and 2:
// F = sum w_i (x_i - c_i)^2 + cross (x_1 - c_1)(x_2 - c_2), optionally NaN
// beyond a distance from the centre, and with analytical derivatives on request.
class CrossModel : public QuadraticModel {
 public:
  using QuadraticModel::QuadraticModel;
  void MODEL(double& objective, Vector& parameters, Vector& steps, StringArray& descriptions,
             StringArray& fuseCodes, int& parameterCount, int NF, int& observationCount,
             Vector& gradient, Matrix& second, int& sampleSize) override {
    QuadraticModel::MODEL(objective, parameters, steps, descriptions, fuseCodes, parameterCount, NF,
                          observationCount, gradient, second, sampleSize);
    if (NF == -2 && derivatives) {
      for (int i = 1; i <= parameterCount; ++i) second(i, i) = 2.0 * weight[i - 1];
      second(1, 2) = second(2, 1) = cross;
      return;
    }
    if (NF < 1) return;
    const double d1 = parameters[1] - centre[0];
    objective += cross * d1 * (parameters[2] - centre[1]);
    if (std::fabs(d1) > nanBeyond) objective = std::numeric_limits<double>::quiet_NaN();
  }
  double SuggestedLikelihoodConstant() const override { return suggestion; }

  double cross = 1.0;
  double nanBeyond = 1E300;
  bool derivatives = false;
  double suggestion = 0.5;
};

// Records what the calculation did to the windows.
struct RecordingCovarianceViews : CovarianceViews {
  void EditAlgorithmDataAndWait() override { ++editorOpened; }
  void ShowProgress() override { ++progressShown; }
  void AppendLog(const std::string& text) override { log += text; }
  void EnableInterrupt() override { ++interruptEnabled; }
  void ShowDisplay() override { ++displayShown; }
  int editorOpened = 0, progressShown = 0, interruptEnabled = 0, displayShown = 0;
  std::string log;
};

class CovarianceTest : public ::testing::Test {
 protected:
  // Three parameters at the minimum (1, 2, 3) with steps 0.1; parameter 2 is
  // coupled to 1 by the cross term.
  void SetUp() override {
    auto owned = std::make_unique<CrossModel>(3);
    model = owned.get();
    wb.model = std::move(owned);
    wb.alg.ParameterCount = 3;
    wb.ResizeForModel(3);
    SetDefaultAlgorithmData(wb.alg);
    wb.alg.Descriptions.Resize(1, 3, "term");
    for (int i = 1; i <= 3; ++i) {
      wb.alg.Values[i] = i;
      wb.alg.Steps[i] = 0.1;
    }
  }

  // The numerical dialogue with default factors and the model's constant.
  void ScriptNumerical(const std::string& constant = "0.5", Answer optimistic = Answer::No) {
    desktop.ExpectMessage(kCovarianceTitle, Answer::No);
    desktop.ExpectMessage(kCovarianceTitle, Answer::Ok);
    desktop.ExpectInput(kCovarianceTitle, "1");
    desktop.ExpectInput(kCovarianceTitle, "0.1");
    desktop.ExpectInput(kCovarianceTitle, "0.01");
    desktop.ExpectMessage(kCovarianceTitle, Answer::Yes);
    desktop.ExpectInput("Enter constant", constant);
    desktop.ExpectMessage("Calculate optimistic SEs only?", optimistic);
  }

  bool Run() { return CovarianceCalculator(wb, desktop, views); }

  void ExpectNoStrayDialogues() {
    EXPECT_TRUE(desktop.Failures().empty()) << desktop.Failures().front();
    EXPECT_EQ(desktop.PendingSteps(), 0u);
  }

  void ExpectGridFailed(int k) {
    const CovarianceState& cov = wb.covariance;
    EXPECT_EQ(cov.GridMeans[k], -1.0);
    EXPECT_EQ(cov.GridSDs[k], -1.0);
    for (int r = 0; r <= 3; ++r)
      for (int s = 0; s <= 3; ++s) EXPECT_EQ(cov.GridResults[k](r, s), -1.0) << r << "," << s;
  }

  Workbench wb;
  CrossModel* model = nullptr;
  ScriptedDesktop desktop;
  RecordingCovarianceViews views;
};

// With q = 0.5 the -ln[L] Hessian of rows 1-2 is [[1, 0.5], [0.5, 1]], whose
// inverse is [[4/3, -2/3], [-2/3, 4/3]]; parameter 3 is independent with
// variance 1. Central differences are exact for a quadratic on every grid.
TEST_F(CovarianceTest, NumericalGridsReproduceTheCovarianceOfAQuadratic) {
  ScriptNumerical();
  ASSERT_TRUE(Run());
  ExpectNoStrayDialogues();

  const CovarianceState& cov = wb.covariance;
  EXPECT_EQ(cov.CovarianceCount, 3);
  EXPECT_EQ(cov.LikelihoodScale, 2.0);
  for (int k = 1; k <= 3; ++k) {
    const Matrix& g = cov.GridResults[k];
    EXPECT_NEAR(g(0, 1), std::sqrt(4.0 / 3.0), 1E-6) << "grid " << k;
    EXPECT_NEAR(g(0, 3), 1.0, 1E-6);
    EXPECT_NEAR(g(1, 2), -2.0 / 3.0, 1E-6);
    EXPECT_NEAR(g(2, 1), -2.0 / 3.0, 1E-6);
    EXPECT_NEAR(g(1, 3), 0.0, 1E-6);
    EXPECT_NEAR(g(0, 0), 4.0 / 3.0, 1E-6);              // determinant
    EXPECT_NEAR(g(1, 0), 4.0 / 3.0 * 4.0 / 3.0, 1E-6);  // product of the variances
  }
  EXPECT_EQ(views.editorOpened, 1);
  EXPECT_EQ(views.displayShown, 1);
  EXPECT_EQ(cov.CovarianceDisplayMode, CovarianceState::DisplayMode::Fresh);
  EXPECT_FALSE(cov.CovarianceActive);
  EXPECT_EQ(wb.state.CovarianceDerivatives, DerivativeChoice::Numerical);
  EXPECT_NE(views.log.find("\nNow calculating -ln[likelihood] on grid #3\n"), std::string::npos);
  EXPECT_NE(views.log.find("Now inverting Hessian matrix #2\n"), std::string::npos);
  EXPECT_NE(views.log.find("Determinant of covariance matrix: 1.3333333E+00\n\n"),
            std::string::npos);
  EXPECT_EQ(desktop.Status(StatusBar::Progress, 1), "");
  EXPECT_EQ(desktop.Status(StatusBar::Progress, 2), "");
}

TEST_F(CovarianceTest, FactorDialogueKeepsNonPositiveAnswersSilentlyAndRepeatsOnNo) {
  desktop.ExpectMessage(kCovarianceTitle, Answer::No);
  desktop.ExpectMessage(kCovarianceTitle, Answer::Ok);
  desktop.ExpectInput(kCovarianceTitle, "0");
  desktop.ExpectInput(kCovarianceTitle, "-2");
  desktop.ExpectInput(kCovarianceTitle, "0.05");
  desktop.ExpectMessage(kCovarianceTitle, Answer::No);
  desktop.ExpectInput(kCovarianceTitle, "2");
  desktop.ExpectInput(kCovarianceTitle, "abc");
  desktop.ExpectInput(kCovarianceTitle, "0.05");
  desktop.ExpectMessage(kCovarianceTitle, Answer::Yes);
  desktop.ExpectInput("Enter constant", "0.5");
  desktop.ExpectMessage("Calculate optimistic SEs only?", Answer::No);
  ASSERT_TRUE(Run());
  ExpectNoStrayDialogues();

  EXPECT_EQ(wb.covariance.GridFactors[1], 2.0);
  EXPECT_EQ(wb.covariance.GridFactors[2], 0.1);
  EXPECT_EQ(wb.covariance.GridFactors[3], 0.05);
  const auto& t = desktop.Transcript();
  EXPECT_EQ(t[2].text,
            "Default grid factor for Grid 1 :\n\n Currently:   1) 1.000E+00     2) 1.000E-01     "
            "3) 1.000E-02\n\nValue must be positive for all factors");
  EXPECT_EQ(t[2].defaultText, "1");
  EXPECT_EQ(t[5].text,
            "Are these default grid factors OK?\n\n 1) 1.000E+00     2) 1.000E-01     3) "
            "5.000E-02");
  EXPECT_EQ(t[1].buttons, Buttons::OkCancel);
  EXPECT_EQ(t[0].buttons, Buttons::YesNoCancel);
}

TEST_F(CovarianceTest, CancellingTheDialogueCalculatesNothingAndKeepsEarlierResults) {
  wb.covariance.GridResults[1](0, 1) = 0.25;  // results of an earlier calculation
  wb.covariance.CovarianceCount = 1;
  // Cancel at the derivative question, the explanation, a factor and the constant.
  for (int stage = 0; stage < 4; ++stage) {
    ScriptedDesktop script;
    script.ExpectMessage(kCovarianceTitle, stage == 0 ? Answer::Cancel : Answer::No);
    if (stage >= 1)
      script.ExpectMessage(kCovarianceTitle, stage == 1 ? Answer::Cancel : Answer::Ok);
    if (stage == 2) script.ExpectInput(kCovarianceTitle, std::nullopt);
    if (stage == 3) {
      for (const char* g : {"1", "0.1", "0.01"}) script.ExpectInput(kCovarianceTitle, g);
      script.ExpectMessage(kCovarianceTitle, Answer::Yes);
      script.ExpectInput("Enter constant", std::nullopt);
    }
    EXPECT_FALSE(CovarianceCalculator(wb, script, views)) << "stage " << stage;
    EXPECT_TRUE(script.Failures().empty()) << stage;
    EXPECT_EQ(wb.covariance.GridResults[1](0, 1), 0.25);
    EXPECT_FALSE(wb.covariance.CovarianceActive);
  }
  EXPECT_EQ(views.displayShown, 0);
  EXPECT_EQ(views.progressShown, 0);
}

TEST_F(CovarianceTest, LikelihoodConstantPromptOffersTheSuggestionAndRefusesNonPositive) {
  desktop.ExpectInput("Enter constant", "");
  desktop.ExpectInput("Enter constant", "0");
  desktop.ExpectMessage("Insufficient degrees of freedom");
  desktop.ExpectInput("Enter constant", "-3");
  desktop.ExpectMessage("Insufficient degrees of freedom");
  desktop.ExpectInput("Enter constant", "x");
  desktop.ExpectMessage("Insufficient degrees of freedom");
  desktop.ExpectInput("Enter constant", "2.5");
  EXPECT_EQ(LikelihoodConstantPrompt(desktop, *model, 0, 2, 4.0), 2.5);
  ExpectNoStrayDialogues();
  const auto& t = desktop.Transcript();
  EXPECT_EQ(t[0].text,
            "Enter the constant WHICH WILL MAKE the objective function the -ln[likelihood]\n\n"
            "Your model suggests you use this constant: ");
  EXPECT_EQ(t[0].defaultText, "0.500");
  EXPECT_EQ(t[2].text,
            "Cannot accept a negative or zero constant; perhaps the degrees of freedom are zero "
            "or fewer");
  EXPECT_EQ(t[2].icon, Icon::Exclamation);
}

TEST_F(CovarianceTest, LikelihoodConstantFromTheObservationCount) {
  model->suggestion = 0.0;
  // (n_obs - n) / (2 F0) = (10 - 2) / 8.
  desktop.ExpectInput("Enter constant", "1");
  desktop.ExpectInput("Enter constant", "1");
  LikelihoodConstantPrompt(desktop, *model, 10, 2, 4.0);
  LikelihoodConstantPrompt(desktop, *model, 0, 2, 4.0);
  const auto& t = desktop.Transcript();
  EXPECT_EQ(t[0].text,
            "Enter the constant WHICH WILL MAKE the objective function the -ln[likelihood]\n\n"
            "If your objective function is the sum of squares, then use this constant: ");
  EXPECT_EQ(t[0].defaultText, "1.0000000E+00");
  EXPECT_EQ(t[1].text,
            "Enter the constant WHICH WILL MAKE the objective function the -ln[likelihood]\n");
  EXPECT_EQ(t[1].defaultText, "");
}

TEST_F(CovarianceTest, ProgressCountsTheCallsOfEachGridAndTheSummaryCountsTheBasePoint) {
  std::vector<std::string> panel1;
  desktop.SetYieldHook([&] {
    std::string text = desktop.Status(StatusBar::Progress, 1);
    if (text.rfind("Hessian", 0) == 0 && (panel1.empty() || panel1.back() != text))
      panel1.push_back(text);
  });
  ScriptNumerical();
  ASSERT_TRUE(Run());
  ASSERT_EQ(panel1.size(), 36u);  // 12 calls on each of three grids
  EXPECT_EQ(panel1.front(), "Hessian function call 1 of 12");
  EXPECT_EQ(panel1[11], "Hessian function call 12 of 12");
  EXPECT_EQ(panel1[12], "Hessian function call 1 of 12");

  // Grid 3 (factor 0.01, h = 0.001): the diagonal points lie h^2 w above F0,
  // the pair (1, 2) points (2 + cross) h^2 and the other pairs 2 h^2; with
  // the base point that is 13 values, 12 deviations.
  const double h2 = 1E-6;
  const double d[] = {1, 1, 3, 3, 2, 2, 1, 1, 2, 2, 1, 1};
  double sum = 0, sumsq = 0;
  for (double x : d) {
    sum += x * h2;
    sumsq += x * x * h2 * h2;
  }
  const double mean = sum / 13, variance = sumsq / 13 - mean * mean;
  EXPECT_NEAR(wb.covariance.GridMeans[3], mean, 1E-15);
  EXPECT_NEAR(wb.covariance.GridSDs[3], std::sqrt(variance), 1E-12);
  EXPECT_NE(views.log.find("Average: "), std::string::npos);
}

TEST(RemainingTime, SecondsAlwaysShowTwoDigits) {
  EXPECT_EQ(RemainingTimeText(125), "Estimated time remaining for all three grids (m:s): 2:05");
  EXPECT_EQ(RemainingTimeText(59.6), "Estimated time remaining for all three grids (m:s): 1:00");
  EXPECT_EQ(RemainingTimeText(0.2), "Estimated time remaining for all three grids (m:s): 0:00");
  EXPECT_EQ(RemainingTimeText(3671), "Estimated time remaining for all three grids (m:s): 61:11");
}

TEST_F(CovarianceTest, TimeEstimateCoversTheRemainingGrids) {
  desktop.SetClock(1000.0, 1.0);  // every clock reading advances one second
  std::string first;
  desktop.SetYieldHook([&] {
    if (first.empty()) first = desktop.Status(StatusBar::Progress, 2);
  });
  ScriptNumerical();
  ASSERT_TRUE(Run());
  // After the first call of grid 1: 1 s per call, 36 - 1 calls to go.
  EXPECT_EQ(first, "Estimated time remaining for all three grids (m:s): 0:35");
}

TEST_F(CovarianceTest, QuittingAGridLeavesItAtMinusOneAndTheOthersGoOn) {
  bool pressed = false;
  desktop.SetYieldHook([&] {
    if (!pressed && views.log.find("grid #2") != std::string::npos) {
      pressed = true;
      wb.covariance.CovarianceInterruptRequested = true;
    }
  });
  ScriptNumerical();
  // Two messages for one interrupt would mean the flag was not cleared.
  desktop.ExpectMessage("Covariance calculations", Answer::Yes);
  ASSERT_TRUE(Run());
  ExpectNoStrayDialogues();
  ExpectGridFailed(2);
  EXPECT_NEAR(wb.covariance.GridResults[1](0, 3), 1.0, 1E-6);
  EXPECT_NEAR(wb.covariance.GridResults[3](0, 3), 1.0, 1E-6);
  EXPECT_EQ(views.interruptEnabled, 1);
  EXPECT_FALSE(wb.covariance.CovarianceInterruptRequested);
  EXPECT_EQ(desktop.Transcript().back().text,
            "Interrupt received. Do you want to quit calculating this grid?");
}

TEST_F(CovarianceTest, AGridWithNonFiniteValuesFailsAloneWithAReason) {
  model->nanBeyond = 0.05;  // only grid 1 (factor 1, step 0.1) reaches it
  ScriptNumerical();
  ASSERT_TRUE(Run());
  ExpectGridFailed(1);
  EXPECT_NE(views.log.find("is not a finite number at a point of grid #1"), std::string::npos);
  EXPECT_NEAR(wb.covariance.GridResults[2](0, 1), std::sqrt(4.0 / 3.0), 1E-6);
  EXPECT_NEAR(wb.covariance.GridResults[3](0, 1), std::sqrt(4.0 / 3.0), 1E-6);
}

TEST_F(CovarianceTest, HessianNotPositiveDefiniteNamesTheParameter) {
  model->weight[2] = -1.0;  // parameter 3 is a maximum
  wb.alg.Steps[2] = 0.0;    // fixed: covariance rows are parameters 1 and 3
  ScriptNumerical();
  ASSERT_TRUE(Run());
  EXPECT_EQ(wb.covariance.CovarianceIndex[2], 3);
  for (int k = 1; k <= 3; ++k)
    for (int s = 0; s <= 2; ++s) EXPECT_EQ(wb.covariance.GridResults[k](0, s), -1.0);
  EXPECT_NE(views.log.find("Sorry, this Hessian matrix is not positive-definite; a valid "
                           "covariance matrix cannot be created.\n\nPossible reasons: (1)"),
            std::string::npos);
  EXPECT_NE(views.log.find("failed at parameter # 3\n\n"), std::string::npos);
}

TEST_F(CovarianceTest, OptimisticModeEvaluatesOnlyTheDiagonalAndGivesZeroCovariances) {
  ScriptNumerical("0.5", Answer::Yes);
  const size_t before = model->vectorsSeen.size();
  ASSERT_TRUE(Run());
  EXPECT_TRUE(wb.covariance.OptimisticSEs);
  EXPECT_EQ(model->vectorsSeen.size() - before, 1u + 3u * 6u);  // base + 2n per grid
  for (int k = 1; k <= 3; ++k) {
    EXPECT_EQ(wb.covariance.GridResults[k](1, 2), 0.0);
    EXPECT_NEAR(wb.covariance.GridResults[k](0, 1), 1.0, 1E-6);  // conditional SE
  }
  EXPECT_EQ(desktop.Transcript().back().defaultButton, 2);  // No is the default
}

TEST_F(CovarianceTest, AnalyticalPathUsesTheModelsSecondDerivativesThreeTimes) {
  desktop.ExpectMessage(kCovarianceTitle, Answer::Yes);
  desktop.ExpectInput("Enter constant", "0.5");
  desktop.ExpectMessage("Calculate optimistic SEs only?", Answer::No);
  model->derivatives = true;
  ASSERT_TRUE(Run());
  ExpectNoStrayDialogues();
  EXPECT_EQ(views.editorOpened, 0);
  EXPECT_EQ(wb.state.CovarianceDerivatives, DerivativeChoice::Analytical);
  for (int k = 1; k <= 3; ++k) {
    EXPECT_EQ(wb.covariance.GridFactors[k], 0.0);
    EXPECT_NEAR(wb.covariance.GridResults[k](1, 2), -2.0 / 3.0, 1E-12);
  }
}

TEST_F(CovarianceTest, AnalyticalPathWithoutDerivativesFailsOnEveryGrid) {
  desktop.ExpectMessage(kCovarianceTitle, Answer::Yes);
  desktop.ExpectInput("Enter constant", "0.5");
  desktop.ExpectMessage("Calculate optimistic SEs only?", Answer::No);
  ASSERT_TRUE(Run());
  size_t failures = 0;
  for (size_t at = views.log.find("not positive-definite"); at != std::string::npos;
       at = views.log.find("not positive-definite", at + 1))
    ++failures;
  EXPECT_EQ(failures, 3u);
  for (int k = 1; k <= 3; ++k) ExpectGridFailed(k);
}

TEST_F(CovarianceTest, NoFreeParameterOrNoFiniteBaseCalculatesNothing) {
  for (int i = 1; i <= 3; ++i) wb.alg.Steps[i] = 0.0;
  desktop.ExpectMessage(kCovarianceTitle, Answer::Yes);
  desktop.ExpectMessage("There is nothing to do!");
  EXPECT_FALSE(Run());
  ExpectNoStrayDialogues();

  for (int i = 1; i <= 3; ++i) wb.alg.Steps[i] = 0.1;
  model->nanBeyond = -1.0;  // NaN everywhere
  desktop.ExpectMessage(kCovarianceTitle, Answer::Yes);
  desktop.ExpectMessage(kCovarianceTitle);
  EXPECT_FALSE(Run());
  ExpectNoStrayDialogues();
  EXPECT_EQ(views.progressShown, 0);
}

}  // namespace
}  // namespace estimetrix
