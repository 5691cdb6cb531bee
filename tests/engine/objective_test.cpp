#include "engine/objective/objective.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "engine/state/workbench.h"
#include "platform/scripted_desktop.h"
#include "tests/support/quadratic_model.h"

namespace estimetrix {
namespace {

using testing::QuadraticModel;

struct RecordingOneFunctionView : OneFunctionView {
  void Show() override { ++shown; }
  void SetText(const std::string& value) override { text = value; }
  int shown = 0;
  std::string text;
};

// A workbench whose quadratic model (offset 0.25) has been initialised.
struct QuadraticBench {
  explicit QuadraticBench(int n) {
    auto owned = std::make_unique<QuadraticModel>(n, 0.25);
    model = owned.get();
    wb.model = std::move(owned);
    CallModel(wb, wb.alg.Values, 0);
    SetDefaultAlgorithmData(wb.alg);
  }
  Workbench wb;
  QuadraticModel* model = nullptr;
};

TEST(EvaluateObjective, WithoutPriorsIsExactlyTheModelsValue) {
  QuadraticBench bench(2);
  Workbench& wb = bench.wb;
  wb.alg.Values[1] = 0.1;
  wb.alg.Values[2] = -4.7;
  double expected = 0.25;
  expected += (0.1 - 1.0) * (0.1 - 1.0);
  expected += (-4.7 - 2.0) * (-4.7 - 2.0);
  EXPECT_EQ(EvaluateObjective(wb, wb.alg.Values, 5), expected);
  EXPECT_EQ(bench.model->flagsSeen.back(), 5);

  // With priors on the term is computed and stored for evaluations only.
  wb.state.PriorsActive = true;
  wb.state.PriorTerm = 99;
  EvaluateObjective(wb, wb.alg.Values, -2);
  EXPECT_EQ(wb.state.PriorTerm, 99.0);
  EXPECT_EQ(EvaluateObjective(wb, wb.alg.Values, 1), expected);
  EXPECT_EQ(wb.state.PriorTerm, 0.0);
}

TEST(EvaluateObjective, TheModelSeesFollowersAlreadyMoved) {
  QuadraticBench bench(3);
  Workbench& wb = bench.wb;
  wb.alg.FuseCodes[1] = "B";
  wb.alg.FuseCodes[3] = "B";
  wb.alg.Steps[1] = 1;
  NormalizeFuseGroups(wb.alg, wb.fuse);
  BuildFreeParameterList(wb.alg, wb.free);
  Vector work;
  BuildWorkVector(wb.alg, wb.free, Vector(1, 6.0), work);
  EvaluateObjective(wb, work, 1);
  EXPECT_EQ(bench.model->vectorsSeen.back(), (std::vector<double>{6, 0, 6}));
}

TEST(OneFunctionCall, ReportsTheValuesAndTheTimeInTheWindow) {
  QuadraticBench bench(2);
  Workbench& wb = bench.wb;
  wb.alg.Values[1] = 1.5;
  wb.alg.Values[2] = -2500;
  wb.alg.FuseCodes[2] = "AB";
  ScriptedDesktop desktop;
  desktop.SetClock(43200.0, 0.254);
  std::string panelWhileRunning;
  desktop.SetYieldHook([&] {
    if (panelWhileRunning.empty()) panelWhileRunning = desktop.Status(StatusBar::Progress, 1);
  });
  RecordingOneFunctionView view;

  EXPECT_EQ(OneFunctionCall(wb, desktop, view), 0.5 + 2502.0 * 2502.0);
  EXPECT_EQ(view.shown, 1);
  EXPECT_EQ(view.text,
            "\nCurrent minimum of 6260004.5 found at the following parameter values: \n\n"
            "    001)  1.5000000E+00  ~~  Quadratic term 1\n"
            "    002) -2.5000000E+03  AB  Quadratic term 2\n"
            "\nNote: One function call requires about 0.25 seconds\n");
  EXPECT_EQ(panelWhileRunning, "One moment please...");
  EXPECT_EQ(desktop.Status(StatusBar::Progress, 1), "");
  EXPECT_EQ(desktop.YieldCount(), 2);
  EXPECT_EQ(bench.model->flagsSeen.back(), 1);
  EXPECT_TRUE(desktop.Transcript().empty());
}

TEST(OneFunctionCall, SecondsAreRoundedToHundredths) {
  struct Case {
    double start, tick;
    const char* seconds;
  };
  // The last case runs over midnight, where the clock starts again at 0.
  for (Case c : {Case{1000, 0.254, "0.25"}, Case{1000, 0.257, "0.26"}, Case{1000, 0, "0"},
                 Case{86399.9, -86399.6, "0.4"}}) {
    QuadraticBench bench(1);
    ScriptedDesktop desktop;
    desktop.SetClock(c.start, c.tick);
    RecordingOneFunctionView view;
    OneFunctionCall(bench.wb, desktop, view);
    EXPECT_NE(view.text.find(std::string("about ") + c.seconds + " seconds\n"), std::string::npos)
        << view.text;
  }
}

TEST(OneFunctionCall, ANonFiniteObjectiveIsReported) {
  QuadraticBench bench(1);
  bench.model->offset = std::nan("");
  ScriptedDesktop desktop;
  desktop.ExpectMessage("One function call");
  RecordingOneFunctionView view;
  EXPECT_TRUE(std::isnan(OneFunctionCall(bench.wb, desktop, view)));
  EXPECT_EQ(desktop.Transcript().at(0).icon, Icon::Exclamation);
  EXPECT_TRUE(desktop.Failures().empty());
}

}  // namespace
}  // namespace estimetrix
