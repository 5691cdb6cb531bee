// Evaluating independent points on worker threads: the same objectives, in
// the same order, with the same stops as the serial loop through
// EvaluateObjective.

#include "engine/objective/evaluation_batch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "engine/objective/objective.h"
#include "engine/state/workbench.h"
#include "platform/scripted_desktop.h"
#include "tests/support/quadratic_model.h"

namespace estimetrix {
namespace {

using testing::InitializeQuadratic;
using testing::QuadraticModel;

class EvaluationBatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeQuadratic(wb, 4);
    model().parallel = true;
    wb.ThreadCount = 2;
    for (int i = 1; i <= 4; ++i) wb.alg.Values[i] = 0.25 * i;
  }
  QuadraticModel& model() { return static_cast<QuadraticModel&>(*wb.model); }

  // Points spread around Values, NF running from 2.
  std::vector<BatchPoint> Points(int count) {
    std::vector<BatchPoint> points;
    for (int p = 0; p < count; ++p) {
      BatchPoint point{wb.alg.Values, p + 2};
      point.vector[1 + p % 4] += 0.01 * (p + 1) * (p % 2 == 0 ? 1 : -1);
      points.push_back(point);
    }
    return points;
  }

  Workbench wb;
  ScriptedDesktop desktop;
};

TEST_F(EvaluationBatchTest, GivesTheSerialObjectivesWithFusedFollowersAndLeavesThePointsAlone) {
  // Parameters 2 and 4 are fused: the follower takes its leader's moved value.
  wb.alg.FuseCodes[2] = wb.alg.FuseCodes[4] = "AA";
  wb.alg.Steps[2] = wb.alg.Steps[4] = 0.1;
  NormalizeFuseGroups(wb.alg, wb.fuse);
  std::vector<BatchPoint> points = Points(40);
  const std::vector<BatchPoint> given = points;

  ASSERT_TRUE(ParallelEvaluation(wb));
  const BatchResult result = EvaluateBatch(wb, desktop, points, nullptr);

  ASSERT_EQ(result.evaluated, 40);
  EXPECT_EQ(result.firstNonFinite, -1);
  EXPECT_FALSE(result.stopped);
  Workbench serial;
  InitializeQuadratic(serial, 4);
  serial.alg = wb.alg;
  NormalizeFuseGroups(serial.alg, serial.fuse);
  for (size_t p = 0; p < points.size(); ++p) {
    Vector vector = points[p].vector;
    EXPECT_EQ(result.objectives[p], EvaluateObjective(serial, vector, points[p].NF)) << p;
    EXPECT_EQ(points[p].vector, given[p].vector);
  }
  // The follower's step was zeroed by the expansion, as the serial path does.
  EXPECT_EQ(wb.alg.Steps[4], 0.0);
  EXPECT_EQ(wb.fuse.FuseGroupValues, serial.fuse.FuseGroupValues);
  // The workers never called MODEL: only the serial path records vectors.
  EXPECT_TRUE(model().vectorsSeen.empty());
}

TEST_F(EvaluationBatchTest, StopsAfterTheFirstPointWithoutAFiniteValueInTheSerialOrder) {
  std::vector<BatchPoint> points = Points(200);
  points[57].vector[3] = std::numeric_limits<double>::quiet_NaN();
  points[120].vector[1] = std::numeric_limits<double>::infinity();

  const BatchResult result = EvaluateBatch(wb, desktop, points, nullptr);

  EXPECT_EQ(result.firstNonFinite, 57);
  EXPECT_EQ(result.evaluated, 58);
  EXPECT_FALSE(result.stopped);
  for (int p = 0; p < 57; ++p) EXPECT_TRUE(std::isfinite(result.objectives[p])) << p;
  for (size_t p = 57; p < points.size(); ++p) EXPECT_TRUE(std::isnan(result.objectives[p])) << p;
}

// A model slow enough that the user-interface thread polls while it runs.
class SlowQuadratic : public QuadraticModel {
 public:
  using QuadraticModel::QuadraticModel;
  std::unique_ptr<ModelEvaluator> NewEvaluator() const override {
    struct Slow : ModelEvaluator {
      double Evaluate(Vector& parameters) override {
        double sum = 0.0;
        for (int k = 0; k < 200000; ++k) sum += std::sin(parameters[1] + k);
        return sum * 0.0 + parameters[1] * parameters[1];
      }
    };
    return std::make_unique<Slow>();
  }
};

TEST_F(EvaluationBatchTest, PollKeepsTheDesktopYieldingAndCanStopHandingOutPoints) {
  wb.model = std::make_unique<SlowQuadratic>(4);
  const std::vector<BatchPoint> points = Points(400);
  std::vector<int> progress;
  const BatchResult result = EvaluateBatch(wb, desktop, points, [&](int finished) {
    progress.push_back(finished);
    return finished < 20;
  });

  // The points handed out finish; the serial order's unbroken run of them counts.
  EXPECT_TRUE(result.stopped);
  EXPECT_GE(result.evaluated, 1);
  EXPECT_LT(result.evaluated, 400);
  for (int p = 0; p < 400; ++p)
    EXPECT_EQ(std::isfinite(result.objectives[p]), p < result.evaluated) << p;
  ASSERT_FALSE(progress.empty());
  EXPECT_GT(desktop.YieldCount(), 0);
  for (size_t k = 1; k < progress.size(); ++k) EXPECT_GE(progress[k], progress[k - 1]);
}

TEST_F(EvaluationBatchTest, OneThreadOrAModelWithoutEvaluatorsKeepsTheSerialPath) {
  EXPECT_TRUE(ParallelEvaluation(wb));
  wb.ThreadCount = 1;
  EXPECT_FALSE(ParallelEvaluation(wb));
  EXPECT_EQ(EvaluationThreadCount(wb), 1);
  wb.ThreadCount = 0;  // every hardware thread
  EXPECT_GE(EvaluationThreadCount(wb), 1);
  wb.ThreadCount = 2;
  model().parallel = false;
  EXPECT_FALSE(ParallelEvaluation(wb));

  // Without evaluators a batch still gives its results, through MODEL.
  const std::vector<BatchPoint> points = Points(5);
  const BatchResult result = EvaluateBatch(wb, desktop, points, nullptr);
  EXPECT_EQ(result.evaluated, 5);
  EXPECT_EQ(model().flagsSeen, (std::vector<int>{2, 3, 4, 5, 6}));
}

}  // namespace
}  // namespace estimetrix
