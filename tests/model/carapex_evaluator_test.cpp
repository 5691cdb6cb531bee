// Carapex evaluators: several evaluate different vectors at once and agree
// with the model's own serial evaluation, and a batch leaves the best-state
// snapshot that serial evaluation leaves.

#include "model/carapex_evaluator.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "carapex_fixture.h"
#include "engine/objective/evaluation_batch.h"
#include "engine/objective/objective.h"
#include "engine/state/workbench.h"
#include "model/initialize.h"
#include "model/parameter_layout.h"

namespace estimetrix {
namespace {

using testing::CarapexHarness;
using testing::ModelDataFile;

using testing::BothSetup;

// The evaluator rewrites a negative Sigma_1 to its magnitude, as the model does.
void SetStart(Vector& values) {
  testing::SetBothStart(values);
  values[param::kSigma1] = -0.6;
}

// Vector k moves Beta 0 and Mu_0 a little: some better, some worse.
Vector Varied(const Vector& start, int k) {
  Vector v = start;
  v[param::kBeta0] += 0.013 * ((k * 7) % 11 - 5);
  v[param::kMu0] += 0.021 * ((k * 3) % 5 - 2);
  return v;
}

TEST(CarapexEvaluator, TwoEvaluatorsAtOnceAgreeWithTheSerialModel) {
  for (bool gamma : {false, true}) {
    CarapexHarness h;
    ASSERT_TRUE(h.Initialize(BothSetup(gamma)));
    SetStart(h.values);
    const Vector start = h.values;
    constexpr int kCount = 60;
    std::vector<double> serial(kCount);
    std::vector<Vector> serialVectors(kCount);
    for (int k = 0; k < kCount; ++k) {
      h.values = Varied(start, k);
      serial[k] = h.Evaluate(k + 2);
      serialVectors[k] = h.values;
    }

    // Each thread evaluates its half many times over, interleaved with the other.
    std::vector<double> parallel(kCount);
    std::vector<Vector> parallelVectors(kCount);
    auto run = [&](int first, int last) {
      auto evaluator = h.model.NewEvaluator();
      for (int round = 0; round < 5; ++round) {
        for (int k = first; k < last; ++k) {
          Vector v = Varied(start, k);
          parallel[k] = evaluator->Evaluate(v);
          parallelVectors[k] = v;
        }
      }
    };
    std::thread a(run, 0, kCount / 2), b(run, kCount / 2, kCount);
    a.join();
    b.join();
    for (int k = 0; k < kCount; ++k) {
      EXPECT_EQ(parallel[k], serial[k]) << (gamma ? "gamma " : "gaussian ") << k;
      EXPECT_EQ(parallelVectors[k], serialVectors[k]) << k;
    }
    h.ExpectNoDialogues();
  }
}

TEST(CarapexEvaluator, NoEvaluatorBeforeInitialisation) {
  ScriptedDesktop desktop;
  CarapexModel model(desktop);
  EXPECT_EQ(model.NewEvaluator(), nullptr);
}

TEST(CarapexEvaluator, SnapshotIndexFollowsTheSerialRule) {
  CarapexHarness h;
  ASSERT_TRUE(h.Initialize(BothSetup(false)));
  SetStart(h.values);
  const double b = h.Evaluate(1);
  ASSERT_EQ(h.model.BestObjective(), b);
  const CarapexModel& m = h.model;
  EXPECT_EQ(m.SnapshotIndex({b + 1, b + 2}, {2, 3}), -1);
  // Improvements only; on a tie the earlier evaluation keeps the snapshot.
  EXPECT_EQ(m.SnapshotIndex({b + 1, b - 1, b - 1, b - 0.5}, {2, 3, 4, 5}), 1);
  // NF = 1 takes it whatever the value, and later calls compare with that.
  EXPECT_EQ(m.SnapshotIndex({b - 1, b - 2, b + 5, b + 1}, {2, 3, 1, 4}), 3);
  EXPECT_EQ(m.SnapshotIndex({b - 1, b + 5, b + 6}, {1, 1, 1}), 2);
}

// What the snapshot holds, for comparing two models.
struct Snapshot {
  double objective;
  Vector values;
  ModelState best;
};
Snapshot TakeSnapshot(const Workbench& wb) {
  const auto& model = static_cast<const CarapexModel&>(*wb.model);
  return {model.BestObjective(), model.BestValues(), model.Best()};
}
void ExpectSameSnapshot(const Snapshot& a, const Snapshot& b) {
  EXPECT_EQ(a.objective, b.objective);
  EXPECT_EQ(a.values, b.values);
  EXPECT_EQ(a.best.FrequencyTerm, b.best.FrequencyTerm);
  EXPECT_EQ(a.best.IncrementTerm, b.best.IncrementTerm);
  EXPECT_EQ(a.best.InstarMean, b.best.InstarMean);
  EXPECT_EQ(a.best.InstarSD, b.best.InstarSD);
  EXPECT_EQ(a.best.PredictedFrequency, b.best.PredictedFrequency);
  EXPECT_EQ(a.best.IncrementProportion, b.best.IncrementProportion);
}

TEST(CarapexEvaluator, BatchLeavesTheSnapshotOfSerialEvaluation) {
  for (bool allFirstCalls : {false, true}) {
    Workbench serial, parallel;
    ScriptedDesktop desktop;
    desktop.SetResponder(ScriptedDesktop::DeclineEverything);
    for (Workbench* wb : {&serial, &parallel}) {
      ASSERT_TRUE(InitializeCarapex(*wb, desktop, BothSetup(false)));
      SetStart(wb->alg.Values);
      NormalizeFuseGroups(wb->alg, wb->fuse);
      EvaluateObjective(*wb, wb->alg.Values, 1);  // a run's first call
    }
    serial.ThreadCount = 1;
    parallel.ThreadCount = 2;
    ASSERT_TRUE(ParallelEvaluation(parallel));

    // Covariance grids pass NF = 1 throughout; Marquardt its running count.
    std::vector<BatchPoint> points;
    for (int k = 0; k < 40; ++k)
      points.push_back({Varied(serial.alg.Values, k), allFirstCalls ? 1 : k + 2});
    std::vector<double> expected;
    for (const BatchPoint& point : points) {
      Vector v = point.vector;
      expected.push_back(EvaluateObjective(serial, v, point.NF));
    }
    const BatchResult result = EvaluateBatch(parallel, desktop, points, nullptr);

    EXPECT_EQ(result.objectives, expected);
    ExpectSameSnapshot(TakeSnapshot(parallel), TakeSnapshot(serial));
  }
}

}  // namespace
}  // namespace estimetrix
