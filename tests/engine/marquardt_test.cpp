#include "engine/minimizers/marquardt.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <memory>
#include <sstream>

#include "engine/minimizers/marquardt_report.h"
#include "engine/state/workbench.h"
#include "platform/scripted_desktop.h"
#include "tests/support/quadratic_model.h"
#include "tests/support/recording_marquardt_view.h"
#include "tests/support/temporary_folder.h"

namespace estimetrix {
namespace {

using testing::QuadraticModel;
using testing::RecordingMarquardtView;

// A model whose objective is any function of the vector and the call number.
class FunctionModel : public Model {
 public:
  using Fn = std::function<double(const Vector&, int NF)>;
  explicit FunctionModel(Fn fn) : fn_(std::move(fn)) {}

  void MODEL(double& objective, Vector& parameters, Vector&, StringArray&, StringArray&, int&,
             int NF, int&, Vector&, Matrix&, int&) override {
    flags.push_back(NF);
    if (NF < 1) return;
    vectors.push_back(parameters);
    objective = fn_(parameters, NF);
  }
  std::string Name() const override { return "Function"; }

  std::vector<int> flags;
  std::vector<Vector> vectors;

 private:
  Fn fn_;
};

class MarquardtTest : public ::testing::Test {
 protected:
  // Installs the model with the given start and steps, numerical derivatives.
  template <class M>
  M& Use(std::unique_ptr<M> model, const std::vector<double>& values,
         const std::vector<double>& steps) {
    M& ref = *model;
    const int n = static_cast<int>(values.size());
    wb.model = std::move(model);
    wb.alg.ParameterCount = n;
    SetDefaultAlgorithmData(wb.alg);
    wb.alg.Descriptions.Resize(1, n, "");
    for (int i = 1; i <= n; ++i) {
      wb.alg.Values[i] = values[static_cast<size_t>(i - 1)];
      wb.alg.Steps[i] = steps[static_cast<size_t>(i - 1)];
      wb.alg.Descriptions[i] = "Parameter " + std::to_string(i);
    }
    wb.ResizeForModel(n);
    wb.state.MarquardtDerivatives = DerivativeChoice::Numerical;
    wb.marquardt.ShowDerivatives = false;
    return ref;
  }

  MarquardtResult Run() {
    NormalizeFuseGroups(wb.alg, wb.fuse);
    BuildFreeParameterList(wb.alg, wb.free);
    SizeMarquardtDerivatives(wb);
    return MarquardtMinimize(wb, desktop, view);
  }

  std::vector<std::string> Titles() const {
    std::vector<std::string> titles;
    for (const auto& record : desktop.Transcript()) titles.push_back(record.title);
    return titles;
  }

  Workbench wb;
  ScriptedDesktop desktop;
  RecordingMarquardtView view;
};

TEST_F(MarquardtTest, ConvergesOnAQuadraticAndReportsTheMinimum) {
  auto& model = Use(std::make_unique<QuadraticModel>(3), {0, 0, 0}, {1, 1, 1});
  desktop.ExpectMessage("Marquardt minimum");

  const MarquardtResult result = Run();

  EXPECT_EQ(result.outcome, MarquardtOutcome::Converged);
  EXPECT_TRUE(desktop.Failures().empty()) << desktop.Failures().front();
  for (int i = 1; i <= 3; ++i) EXPECT_NEAR(wb.alg.Values[i], i, 1E-3);
  EXPECT_NEAR(result.objective, 0.0, 1E-6);
  EXPECT_EQ(desktop.Transcript().back().text, "Minimum found using Marquardt!");
  EXPECT_NE(view.text.find("\nMinimum of 0."), std::string::npos);
  EXPECT_NE(view.text.find("This result required " + std::to_string(wb.marquardt.IterationCount) +
                           " iterations and " + std::to_string(wb.state.FunctionCallCount) +
                           " function calls"),
            std::string::npos);
  EXPECT_TRUE(view.visible);
  EXPECT_FALSE(view.interruptEnabled);
  EXPECT_EQ(view.interruptCaption, "&Interrupt this minimization");
  for (int panel = 1; panel <= 4; ++panel)
    EXPECT_EQ(desktop.Status(StatusBar::Progress, panel), "");

  // Counted calls carry the running count; the six axial calls and the final
  // re-evaluation are not counted and carry NF = 1.
  std::vector<int> counted;
  for (int nf : model.flagsSeen)
    if (nf > 1) counted.push_back(nf);
  for (size_t i = 0; i < counted.size(); ++i) EXPECT_EQ(counted[i], static_cast<int>(i) + 2);
  EXPECT_EQ(wb.state.FunctionCallCount, static_cast<int>(counted.size()) + 1);
  const std::vector<int> tail(model.flagsSeen.end() - 7, model.flagsSeen.end());
  EXPECT_EQ(tail, std::vector<int>(7, 1));
}

TEST_F(MarquardtTest, NumericalDerivativesUseRelativeStepsAndCountPTimesPPlusOneCalls) {
  auto& model = Use(std::make_unique<QuadraticModel>(3), {0, -2, 5}, {1, 1, 1});
  wb.alg.MaxFunctionCalls = 1;
  wb.alg.SimplexLimit = 0;  // never converges
  desktop.ExpectMessage("Marquart minimization stopped");

  Run();

  // Start, then p(p+1) = 12 derivative calls NF = 2..13, then the trial.
  ASSERT_GE(model.flagsSeen.size(), 14u);
  for (int call = 0; call < 14; ++call)
    EXPECT_EQ(model.flagsSeen[static_cast<size_t>(call)], call + 1);
  const auto& seen = model.vectorsSeen;
  // Pair (1,1): a value of 0 gets the absolute step 0.001.
  EXPECT_DOUBLE_EQ(seen[1][0], 0.001);
  EXPECT_DOUBLE_EQ(seen[2][0], -0.001);
  // Pair (1,2): both move together.
  EXPECT_DOUBLE_EQ(seen[3][0], 0.001);
  EXPECT_DOUBLE_EQ(seen[3][1], -2.0 - 0.002);
  // Pair (2,2): a value of -2 gets the step -0.002.
  EXPECT_DOUBLE_EQ(seen[7][1], -2.002);
  EXPECT_DOUBLE_EQ(seen[8][1], -1.998);
  EXPECT_DOUBLE_EQ(seen[7][0], 0.0);
  EXPECT_EQ(wb.state.FunctionCallCount, 14);
  EXPECT_EQ(desktop.Status(StatusBar::Progress, 1), "");
}

TEST_F(MarquardtTest, QuitsInFrustrationWhenDampingPassesTenToTheTwenty) {
  // Every trial is worse than the start: the damping rises from 0.001 by ten
  // per failure. After 23 failures it is exactly 1E20 and one more trial is
  // solved; the 24th failure takes it to 1E21.
  auto& model = Use(std::make_unique<FunctionModel>([](const Vector& x, int nf) {
                      return nf <= 3 ? (x[1] - 1) * (x[1] - 1) : 1E6;
                    }),
                    {3}, {1});
  desktop.ExpectMessage("Marquardt quits in frustration");

  const MarquardtResult result = Run();

  EXPECT_EQ(result.outcome, MarquardtOutcome::Frustrated);
  EXPECT_EQ(wb.state.FunctionCallCount, 3 + 24);
  EXPECT_EQ(model.flags.back(), 27);  // no axial search
  EXPECT_EQ(wb.alg.Values[1], 3.0);
  EXPECT_EQ(view.closeCount, 1);
  EXPECT_EQ(desktop.Transcript().back().text,
            "Consider that:\n"
            "      (1) you're already at an acceptable minimum,\n"
            "      (2) at least one parameter is too near a boundary,\n"
            "      (3) at least one parameter is dead wrt the likelihood function,\n"
            "      (4) a penalty function is affecting performance of the derivatives or "
            "parameter improvements,\n"
            "      (5) there are numerical inaccuracies near the current minimum, or\n"
            "      (6) the model, or its implementation, is flawed");
}

TEST_F(MarquardtTest, StopsRightAfterTheLastAllowedIteration) {
  Use(std::make_unique<QuadraticModel>(2), {0, 0}, {1, 1});
  wb.alg.MaxFunctionCalls = 3;
  wb.alg.SimplexLimit = 0;
  desktop.ExpectMessage("Marquart minimization stopped");

  const MarquardtResult result = Run();

  EXPECT_EQ(result.outcome, MarquardtOutcome::Stopped);
  EXPECT_EQ(wb.marquardt.IterationCount, 3);
  // Start 1, derivatives 6, three trials, derivatives twice more.
  EXPECT_EQ(wb.state.FunctionCallCount, 1 + 6 + 3 + 2 * 6);
  EXPECT_EQ(desktop.Transcript().back().text,
            "Maximum number of iterations reached or an interrupt was received");
  EXPECT_TRUE(view.visible);
  EXPECT_TRUE(view.interruptEnabled);
  EXPECT_NE(view.text.find("Note: 3 iterations and 22 function calls"), std::string::npos);
  EXPECT_NEAR(wb.alg.Values[1], 1.0, 1E-6);
  EXPECT_DOUBLE_EQ(wb.free.FreeValues[2], wb.alg.Values[2]);
}

// A maximum of 0 or less with a tolerance of 0 would otherwise iterate for
// ever: the run stops after its first accepted iteration. (The model turns
// to NaN after many calls, so a run that does not stop ends the test too.)
TEST_F(MarquardtTest, AMaximumOfZeroOrLessStopsAfterTheFirstIteration) {
  for (int maximum : {0, -3}) {
    SCOPED_TRACE(maximum);
    wb = Workbench();
    desktop = ScriptedDesktop();
    int calls = 0;
    Use(std::make_unique<FunctionModel>([&](const Vector& x, int) {
          if (++calls > 2000) return std::numeric_limits<double>::quiet_NaN();
          return (x[1] - 1.0) * (x[1] - 1.0) + (x[2] + 2.0) * (x[2] + 2.0);
        }),
        {0, 0}, {1, 1});
    wb.alg.MaxFunctionCalls = maximum;
    wb.alg.SimplexLimit = 0;
    desktop.ExpectMessage("Marquart minimization stopped");

    const MarquardtResult result = Run();

    EXPECT_EQ(result.outcome, MarquardtOutcome::Stopped);
    EXPECT_EQ(wb.marquardt.IterationCount, 1);
    EXPECT_TRUE(desktop.Failures().empty()) << desktop.Failures().front();
  }
}

TEST_F(MarquardtTest, TheFifthVerificationThatFindsABetterPointEndsInFrustration) {
  // Terraces: a bowl in every unit cell, each cell 10 lower than the one
  // before. The axial step (0.1 x 10) always reaches the next, lower cell.
  auto& model = Use(std::make_unique<FunctionModel>([](const Vector& x, int) {
                      const double cell = std::floor(x[1]);
                      const double r = x[1] - cell - 0.5;
                      return r * r - 10.0 * cell;
                    }),
                    {0.3}, {10});
  wb.alg.SimplexLimit = 1.0;
  desktop.ExpectMessage("Marquardt quits in frustration");

  const MarquardtResult result = Run();

  EXPECT_EQ(result.outcome, MarquardtOutcome::Frustrated);
  int axialCalls = 0;
  for (size_t i = 1; i < model.flags.size(); ++i) axialCalls += model.flags[i] == 1;
  EXPECT_EQ(axialCalls, 5 * 2);
  // The fifth search still moved the point to the better cell it found.
  EXPECT_NEAR(wb.alg.Values[1], 5.5, 1E-6);
  EXPECT_NEAR(result.objective, -50.0, 1E-6);
}

TEST_F(MarquardtTest, AxialSearchNeverMovesAFusedFollower) {
  auto& model = Use(std::make_unique<QuadraticModel>(3), {0, 0, 0}, {1, 1, 1});
  model.centre = {2, 2, 3};
  wb.alg.FuseCodes[1] = "A";
  wb.alg.FuseCodes[2] = "A";
  desktop.ExpectMessage("Marquardt minimum");

  Run();

  EXPECT_EQ(wb.free.FreeCount, 2);
  EXPECT_EQ(wb.alg.Steps[2], 0.0);
  for (const auto& v : model.vectorsSeen) EXPECT_EQ(v[0], v[1]);
  EXPECT_NEAR(wb.alg.Values[1], 2.0, 1E-3);
  EXPECT_EQ(wb.alg.Values[2], wb.alg.Values[1]);
}

TEST_F(MarquardtTest, ANonFiniteObjectiveStopsTheRunAtTheBestFinitePoint) {
  // The first iteration is accepted; the next derivative computation meets NaN.
  auto& model = Use(std::make_unique<FunctionModel>([](const Vector& x, int nf) {
                      if (nf == 6) return std::numeric_limits<double>::quiet_NaN();
                      return (x[1] - 1) * (x[1] - 1);
                    }),
                    {3}, {1});
  desktop.ExpectMessage(kMarquardtNonFiniteTitle);

  const MarquardtResult result = Run();

  EXPECT_EQ(result.outcome, MarquardtOutcome::NonFiniteObjective);
  ASSERT_EQ(model.vectors.size(), 6u);
  EXPECT_EQ(wb.alg.Values[1], model.vectors[3][1]);  // the accepted trial
  EXPECT_TRUE(std::isfinite(result.objective));
  EXPECT_EQ(result.objective, (wb.alg.Values[1] - 1) * (wb.alg.Values[1] - 1));
  const std::string text = desktop.Transcript().back().text;
  EXPECT_NE(text.find("Marquardt stopped"), std::string::npos);
  EXPECT_NE(text.find("NaN"), std::string::npos);
  EXPECT_EQ(desktop.Transcript().back().icon, Icon::Exclamation);
}

TEST_F(MarquardtTest, AnInfiniteTrialIsNeverAccepted) {
  Use(std::make_unique<FunctionModel>([](const Vector& x, int nf) {
        return nf == 4 ? -std::numeric_limits<double>::infinity() : (x[1] - 1) * (x[1] - 1);
      }),
      {3}, {1});
  desktop.ExpectMessage(kMarquardtNonFiniteTitle);

  const MarquardtResult result = Run();

  EXPECT_EQ(result.outcome, MarquardtOutcome::NonFiniteObjective);
  EXPECT_EQ(wb.alg.Values[1], 3.0);
  EXPECT_EQ(result.objective, 4.0);
  EXPECT_NE(desktop.Transcript().back().text.find("infinity"), std::string::npos);
}

TEST_F(MarquardtTest, AnalyticalDerivativesMissingEndTheRunAtTheStart) {
  Use(std::make_unique<QuadraticModel>(2), {0, 0}, {1, 1});
  wb.state.MarquardtDerivatives = DerivativeChoice::Analytical;
  desktop.ExpectMessage("Analytical derivatives missing");

  const MarquardtResult result = Run();

  EXPECT_EQ(result.outcome, MarquardtOutcome::DerivativesMissing);
  EXPECT_EQ(desktop.Transcript().back().text,
            "Sorry, analytical derivatives seem not to have been provided");
  EXPECT_EQ(wb.alg.Values[1], 0.0);
  EXPECT_EQ(wb.state.FunctionCallCount, 1);
}

TEST_F(MarquardtTest, AnInterruptAnsweredYesStopsAtTheNextAcceptedIteration) {
  Use(std::make_unique<QuadraticModel>(2), {0, 0}, {1, 1});
  wb.alg.SimplexLimit = 0;
  bool pressed = false;
  desktop.SetYieldHook([&] {
    if (!pressed && wb.state.FunctionCallCount >= 3) {
      pressed = true;
      wb.state.MarquardtInterruptRequested = true;
    }
  });
  desktop.ExpectMessage("Marquardt interrupt", Answer::Yes);
  desktop.ExpectMessage("Marquart minimization stopped");

  const MarquardtResult result = Run();

  EXPECT_EQ(result.outcome, MarquardtOutcome::Stopped);
  EXPECT_EQ(wb.marquardt.IterationCount, 1);
  EXPECT_FALSE(wb.state.MarquardtInterruptRequested);
  EXPECT_TRUE(desktop.Failures().empty());
  EXPECT_EQ(desktop.Transcript().front().text,
            "Interrupt received. Do you want to quit minimizing?");
}

TEST_F(MarquardtTest, SetupQuestionsChooseDerivativesAndDisplay) {
  desktop.ExpectMessage("Marquardt minimization", Answer::No);
  desktop.ExpectMessage("Marquardt minimization");
  desktop.ExpectMessage("Marquardt minimization", Answer::Yes);
  MarquardtSetup(wb, desktop);
  EXPECT_EQ(wb.state.MarquardtDerivatives, DerivativeChoice::Numerical);
  EXPECT_TRUE(wb.marquardt.ShowDerivatives);
  EXPECT_EQ(desktop.Transcript()[1].text,
            "You have chosen NUMERICAL derivatives - it's like choosing Pepsi");
  EXPECT_EQ(desktop.Transcript()[0].buttons, Buttons::YesNoCancel);

  desktop.ExpectMessage("Marquardt minimization", Answer::Cancel);
  MarquardtSetup(wb, desktop);
  EXPECT_EQ(wb.state.MarquardtDerivatives, DerivativeChoice::None);
  EXPECT_EQ(desktop.Transcript().size(), 4u);
}

TEST_F(MarquardtTest, DerivativeDisplayWaitsUntilReleased) {
  Use(std::make_unique<QuadraticModel>(2), {0, 0}, {1, 1});
  wb.marquardt.ShowDerivatives = true;
  wb.alg.MaxFunctionCalls = 2;
  wb.alg.SimplexLimit = 0;
  int waits = 0;
  desktop.SetYieldHook([&] {
    if (!wb.marquardt.DerivativeWaitReleased && ++waits % 3 == 0)
      wb.marquardt.DerivativeWaitReleased = true;  // "&Next iteration"
  });
  desktop.ExpectMessage("Marquart minimization stopped");

  Run();

  EXPECT_EQ(view.derivativeDisplays, 2);
  EXPECT_NE(view.text.find("1st & 2nd partial derivatives of the objective function wrt to the "
                           "previous parameter estimates:\n\n"
                           "Numerical 1st derivative wrt Parameter      001)"),
            std::string::npos);
  EXPECT_NE(view.text.find("Numerical 2nd derivative wrt Parameters 001,002)"), std::string::npos);
}

// The log blocks, read back from the file as written.
class MarquardtLogTest : public MarquardtTest {
 protected:
  void SetUpFree(const std::vector<double>& values) {
    const int p = static_cast<int>(values.size());
    std::vector<double> steps(values.size(), 1.0);
    Use(std::make_unique<QuadraticModel>(p), values, steps);
    NormalizeFuseGroups(wb.alg, wb.fuse);
    BuildFreeParameterList(wb.alg, wb.free);
    wb.marquardt.IterationCount = 4;
    wb.state.FunctionCallCount = 37;
  }
  std::string Logged(const std::function<void()>& write) {
    const std::string path = folder.File("marquardt.exl");
    EXPECT_TRUE(wb.log.Open(path));
    write();
    wb.log.Close();
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  testing::TemporaryFolder folder;
};

TEST_F(MarquardtLogTest, SixParametersLeaveOnePartialLineAndOneEmptyLine) {
  SetUpFree({1.5, -2, 0, 3.25, 10, 0.001});
  const std::string text = Logged([&] { MarquardtProgressLog(wb, 12.5, 13); });
  EXPECT_EQ(text,
            "\r\nNote: 4 iterations and 37 function calls\r\n\r\n"
            "Current minimum found at these 6 adjusted parameter values: \r\n\r\n"
            "    001)  1.5000000E+00    002) -2.0000000E+00    003)  0.0000000E+00"
            "    004)  3.2500000E+00\r\n"
            "    005)  1.0000000E+01    006)  1.0000000E-03\r\n\r\n"
            "Current Min> 12.5      Last Min> 13.      Abs TC> 5.0000E-01\r\n\r\n");
}

TEST_F(MarquardtLogTest, EightParametersLeaveTwoFullLinesAndTwoEmptyLines) {
  SetUpFree({1, 2, 3, 4, 5, 6, 7, 8});
  const std::string text = Logged([&] { MarquardtResultLog(wb, 0.125); });
  EXPECT_EQ(text,
            "Minimum of 0.125 found at these 8 adjusted parameter values:\r\n\r\n"
            "    001)  1.0000000E+00    002)  2.0000000E+00    003)  3.0000000E+00"
            "    004)  4.0000000E+00\r\n"
            "    005)  5.0000000E+00    006)  6.0000000E+00    007)  7.0000000E+00"
            "    008)  8.0000000E+00\r\n\r\n\r\n"
            "after 4 iterations and 37 function calls\r\n\r\n");
}

TEST_F(MarquardtLogTest, RelativeToleranceShowsTheRelativeChangeOrUndefined) {
  SetUpFree({1});
  wb.alg.SimplexLimit = -1E-6;
  EXPECT_EQ(MarquardtCurrentMinLine(wb, 9, 10),
            "Current Min> 9.      Last Min> 10.      Rel TC> 1.0000E-01");
  EXPECT_EQ(MarquardtCurrentMinLine(wb, -1, 0),
            "Current Min> -1.      Last Min> 0.      Rel TC> undefined");
  wb.alg.SimplexLimit = 0;
  EXPECT_EQ(MarquardtCurrentMinLine(wb, 9, 10),
            "Current Min> 9.      Last Min> 10.      Abs TC> 1.0000E+00");
}

}  // namespace
}  // namespace estimetrix
