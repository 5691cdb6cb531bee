// An evaluation (NF >= 1) must not allocate: the working arrays are sized
// when the model is initialised, so copies of the model can evaluate side by
// side without contending for the heap. This program counts every allocation.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "carapex_fixture.h"
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

TEST(CarapexEvaluation, AllocatesNothing) {
  for (bool gamma : {false, true}) {
    CarapexHarness h;
    CarapexSetup setup;
    setup.frequencyPath = ModelDataFile("small_frequencies.dat");
    setup.identifiedText = "2";
    setup.blendedText = "5";
    setup.incrementPath = ModelDataFile("small_increments.dat");
    setup.incrementInstarsText = "2";
    setup.incrementErrors = gamma ? IncrementErrors::Gamma : IncrementErrors::Gaussian;
    setup.instars = gamma ? InstarShape::Gamma : InstarShape::Gaussian;
    ASSERT_TRUE(h.Initialize(setup));
    h.values[param::kMu0] = 1.0;
    h.values[param::kBeta0] = 1.5;
    h.values[param::kSigma1] = 0.6;
    h.values[param::kTau0] = 0.5;
    h.values[param::kPercentSE] = 3.0;
    h.values[param::kSelectivityMean] = 2.0;
    h.values[param::kSelectivitySD] = 1.0;
    h.values[param::kPsi] = 0.5;
    h.values[param::kPhi] = 1.0;
    h.values[22] = 0.5;
    h.values[23] = -1.0;
    h.values[24] = 0.3;
    h.values[25] = 0.3;
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
