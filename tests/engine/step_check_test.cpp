#include "engine/minimizers/step_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/state/workbench.h"
#include "platform/scripted_desktop.h"

namespace estimetrix {
namespace {

class StepCheckTest : public ::testing::Test {
 protected:
  void Use(const std::vector<double>& values, const std::vector<double>& steps) {
    const int n = static_cast<int>(values.size());
    wb.alg.ParameterCount = n;
    SetDefaultAlgorithmData(wb.alg);
    wb.alg.Descriptions.Resize(1, n, "");
    for (int i = 1; i <= n; ++i) {
      wb.alg.Values[i] = values[static_cast<size_t>(i - 1)];
      wb.alg.Steps[i] = steps[static_cast<size_t>(i - 1)];
      wb.alg.Descriptions[i] = "Term " + std::to_string(i);
    }
    NormalizeFuseGroups(wb.alg, wb.fuse);
    BuildFreeParameterList(wb.alg, wb.free);
  }
  bool Check() { return StepsCanMoveParameters(wb, desktop, "Simplex minimization"); }

  Workbench wb;
  ScriptedDesktop desktop;
};

TEST_F(StepCheckTest, UsableStepsPassSilently) {
  // Tiny steps on tiny values move; a fixed parameter (step 0) is not checked.
  Use({0.0, 1E-300, 1E20, 5.0}, {1E-300, 1E-310, 1E6, 0.0});
  wb.alg.StepReductionFraction = 0.1;
  EXPECT_TRUE(Check());
  EXPECT_TRUE(desktop.Transcript().empty());

  // A reduction fraction of 0 is a chosen axial search that moves nothing.
  Use({1.0}, {1E-15});
  wb.alg.StepReductionFraction = 0.0;
  EXPECT_TRUE(Check());
  EXPECT_TRUE(desktop.Transcript().empty());
}

TEST_F(StepCheckTest, AStepThatCannotMoveItsValueIsRefusedByName) {
  // 1E20 + 1 == 1E20; 1 + 2E-16 moves, but the reduced 1E-16 does not.
  Use({2.0, 1E20, 1.0}, {0.5, 1.0, 2E-16});
  wb.alg.StepReductionFraction = 0.5;
  desktop.ExpectMessage("Simplex minimization");
  EXPECT_FALSE(Check());
  EXPECT_TRUE(desktop.Failures().empty()) << desktop.Failures().front();
  ASSERT_EQ(desktop.Transcript().size(), 1u);
  const DialogRecord& record = desktop.Transcript()[0];
  EXPECT_EQ(record.icon, Icon::Exclamation);
  EXPECT_EQ(record.text,
            "Parameter # 2 (Term 2): the step size 1 is too small for its value 1E+20: adding "
            "or subtracting it leaves the value unchanged.\n"
            "Parameter # 3 (Term 3): the step size 2E-16 is too small for its value 1 once "
            "reduced for the convergence check (step size reduction fraction 0.5 x step = "
            "1E-16): adding or subtracting it leaves the value unchanged.\n"
            "\nGive such a parameter a larger step size (or a step of 0 to hold it fixed) "
            "before minimizing.");
}

}  // namespace
}  // namespace estimetrix
