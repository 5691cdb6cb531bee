// An evaluation (NF >= 1) must not allocate: the working arrays are sized
// when the model is initialised, so evaluators can work side by side without
// contending for the heap, and a batch allocates per batch, never per point.
// This program counts every allocation.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "carapex_fixture.h"
#include "engine/objective/evaluation_batch.h"
#include "engine/state/workbench.h"
#include "model/initialize.h"
#include "model/parameter_layout.h"

namespace {
std::atomic<long> allocations{0};
}

void* operator new(std::size_t size) {
  ++allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

namespace estimetrix {
namespace {

using testing::CarapexHarness;
using testing::ModelDataFile;
using testing::SetBothStart;

CarapexSetup GammaSetup() { return testing::BothSetup(true); }

TEST(EvaluatorAllocation, AnEvaluatorAllocatesNothingPerEvaluation) {
  CarapexHarness h;
  ASSERT_TRUE(h.Initialize(GammaSetup()));
  SetBothStart(h.values);
  auto evaluator = h.model.NewEvaluator();
  ASSERT_TRUE(evaluator);
  Vector v = h.values;
  evaluator->Evaluate(v);
  const long before = allocations.load();
  for (int k = 0; k < 5; ++k) {
    v[param::kBeta0] = 1.5 - 0.1 * k;
    evaluator->Evaluate(v);
  }
  EXPECT_EQ(allocations.load() - before, 0);
}

// A batch allocates per batch (threads, evaluators, results), never per
// point: twice the points cost no more allocations.
TEST(EvaluatorAllocation, ABatchAllocatesTheSameForAnyNumberOfPoints) {
  Workbench wb;
  ScriptedDesktop desktop;
  desktop.SetResponder(ScriptedDesktop::DeclineEverything);
  ASSERT_TRUE(InitializeCarapex(wb, desktop, GammaSetup()));
  SetBothStart(wb.alg.Values);
  wb.ThreadCount = 2;
  std::vector<BatchPoint> points;
  for (int k = 0; k < 400; ++k) {
    points.push_back({wb.alg.Values, k + 2});
    points.back().vector[param::kBeta0] += 0.001 * (k % 7);
  }
  const std::vector<BatchPoint> half(points.begin(), points.begin() + 200);
  EvaluateBatch(wb, desktop, half, nullptr);  // first-time sizes of the model's own arrays

  long before = allocations.load();
  EvaluateBatch(wb, desktop, half, nullptr);
  const long forHalf = allocations.load() - before;
  before = allocations.load();
  EvaluateBatch(wb, desktop, points, nullptr);
  const long forAll = allocations.load() - before;
  EXPECT_EQ(forAll, forHalf);
}

TEST(CarapexEvaluation, AllocatesNothing) {
  for (bool gamma : {false, true}) {
    CarapexHarness h;
    CarapexSetup setup = GammaSetup();
    setup.incrementErrors = gamma ? IncrementErrors::Gamma : IncrementErrors::Gaussian;
    setup.instars = gamma ? InstarShape::Gamma : InstarShape::Gaussian;
    ASSERT_TRUE(h.Initialize(setup));
    SetBothStart(h.values);
    h.Evaluate(1);  // the first call may show a message; later ones must be silent
    const long before = allocations.load();
    for (int call = 2; call <= 5; ++call) {
      h.values[param::kBeta0] = 1.5 - 0.1 * call;  // better and worse: snapshots both ways
      h.Evaluate(call);
    }
    EXPECT_EQ(allocations.load() - before, 0) << (gamma ? "gamma" : "gaussian");
  }
}

}  // namespace
}  // namespace estimetrix
