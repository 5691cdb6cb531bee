// Evaluation speed of the Carapex model (MODEL with NF >= 2) on synthetic
// data sets written to the temporary folder:
//   (a) 1 series, 60 cells, 5 Gaussian instars;
//   (b) 8 series, 250 cells, 99 instars (20 identified, 79 blended), selectivity;
//   (c) 1200 increment records, 16 instars, Gaussian errors, %SE 5;
//   (d) as (c) with gamma errors;
//   (e) 200 increment records, 3 instars, Gaussian errors, no measurement error;
//   (f) as (e) with gamma errors.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "model/carapex_model.h"
#include "model/likelihood.h"
#include "model/parameter_layout.h"
#include "tests/support/carapex_cases.h"
#include "tests/support/carapex_harness.h"

namespace estimetrix {
namespace {

std::string TemporaryFile(const std::string& name, const std::string& text) {
  const auto path = std::filesystem::temp_directory_path() / ("estimetrix_bench_" + name);
  std::ofstream(path, std::ios::binary) << text;
  return path.string();
}

// The synthetic data files the derivative tests use too.
std::string FrequencyFile(int cells, int series, double first, double spacing, int bumps) {
  return testing::SyntheticFrequencies(cells, series, first, spacing, bumps);
}

std::string IncrementFile(int records, double smallest = 10.0, double largest = 100.0,
                          double slope = 0.2) {
  return testing::SyntheticIncrements(records, smallest, largest, slope);
}

// The model initialised from a set-up; a set-up the model refuses stops the benchmark.
struct Fixture : testing::CarapexModelHarness {
  explicit Fixture(const CarapexSetup& setup) { Initialize(setup); }
};

void Run(benchmark::State& state, Fixture& f) {
  double objective = f.Evaluate(1);
  if (!std::isfinite(objective)) state.SkipWithError("objective is not finite");
  int call = 2;
  for (auto _ : state) {
    objective = f.Evaluate(call++);
    benchmark::DoNotOptimize(objective);
  }
  state.counters["objective"] = objective;
}

void BM_FrequenciesSmall(benchmark::State& state) {
  CarapexSetup setup;
  setup.frequencyPath = TemporaryFile("a.dat", FrequencyFile(60, 1, 12.0, 10.0, 5));
  setup.seriesText = "1";
  setup.identifiedText = "5";
  Fixture f(setup);
  f.values[param::kMu0] = 2.0;  // instars at 12, 22, ..., 52
  f.values[param::kBeta0] = 10.0;
  f.values[param::kSigma1] = 1.5;
  f.values[param::kTau0] = 0.5;
  for (int i = 1; i <= 4; ++i) f.values[21 + i] = 0.2;
  f.values[26] = -1.0;
  Run(state, f);
}
BENCHMARK(BM_FrequenciesSmall);

void BM_FrequenciesLarge(benchmark::State& state) {
  CarapexSetup setup;
  setup.frequencyPath = TemporaryFile("b.dat", FrequencyFile(250, 8, 5.4, 2.4, 99));
  setup.seriesText = "8";
  setup.identifiedText = "20";
  setup.blendedText = "79";
  Fixture f(setup);
  f.values[param::kMu0] = 3.0;  // instars at 5.4, 7.8, ..., 240.6
  f.values[param::kBeta0] = 2.4;
  f.values[param::kSigma1] = 0.8;
  f.values[param::kTau0] = 0.3;
  f.values[param::kR] = 0.2;
  f.values[param::kPercentSE] = 1.0;
  f.values[param::kSelectivityMean] = 20.0;
  f.values[param::kSelectivitySD] = 5.0;
  f.values[param::kPsi] = 0.02;
  f.values[param::kPhi] = 1.0;
  for (int i = 22; i <= f.parameterCount; ++i) f.values[i] = 0.01;
  Run(state, f);
}
BENCHMARK(BM_FrequenciesLarge);

void Increments(benchmark::State& state, bool gammaErrors) {
  CarapexSetup setup;
  setup.incrementPath = TemporaryFile("c.dat", IncrementFile(1200));
  setup.incrementInstarsText = "16";
  setup.incrementErrors = gammaErrors ? IncrementErrors::Gamma : IncrementErrors::Gaussian;
  Fixture f(setup);
  f.values[param::kMu0] = 5.0;
  f.values[param::kBeta0] = 2.0;
  f.values[param::kBeta0 + 1] = 0.2;
  f.values[param::kSigma1] = 1.0;
  f.values[param::kTau0] = 0.5;
  f.values[param::kTau0 + 1] = 0.1;
  f.values[param::kOmega] = 0.1;
  f.values[param::kPercentSE] = 5.0;
  for (int i = 1; i <= 15; ++i) f.values[21 + i] = 1.0 / 16.0;
  f.values[37] = -1.0;
  Run(state, f);
}

void BM_IncrementsGaussian(benchmark::State& state) {
  Increments(state, false);
}
BENCHMARK(BM_IncrementsGaussian)->Unit(benchmark::kMillisecond);

void BM_IncrementsGamma(benchmark::State& state) {
  Increments(state, true);
}
BENCHMARK(BM_IncrementsGamma)->Unit(benchmark::kMillisecond);

// A typical fit of increments alone: every record lies within 5 SDs of at
// least one instar (means about 23.6, 33.9 and 47.7), so every record works
// out all three components.
void FewIncrements(benchmark::State& state, bool gammaErrors) {
  CarapexSetup setup;
  setup.incrementPath = TemporaryFile("e.dat", IncrementFile(200, 18.0, 55.0, 0.35));
  setup.incrementInstarsText = "3";
  setup.incrementErrors = gammaErrors ? IncrementErrors::Gamma : IncrementErrors::Gaussian;
  Fixture f(setup);
  f.values[param::kMu0] = 16.0;
  f.values[param::kBeta0] = 2.0;
  f.values[param::kBeta0 + 1] = 0.35;
  f.values[param::kSigma1] = 2.0;
  f.values[param::kTau0] = 0.5;
  f.values[param::kTau0 + 1] = 0.1;
  f.values[param::kOmega] = 0.1;
  f.values[22] = 0.3;
  f.values[23] = 0.4;
  f.values[24] = -1.0;
  Run(state, f);
}

void BM_FewIncrementsGaussian(benchmark::State& state) {
  FewIncrements(state, false);
}
BENCHMARK(BM_FewIncrementsGaussian);

// The same two lanes at a time, as on processors without AVX2.
void BM_FewIncrementsGaussianTwoLanes(benchmark::State& state) {
  LimitIncrementLanes(2);
  FewIncrements(state, false);
  LimitIncrementLanes(4);
}
BENCHMARK(BM_FewIncrementsGaussianTwoLanes);

void BM_FewIncrementsGamma(benchmark::State& state) {
  FewIncrements(state, true);
}
BENCHMARK(BM_FewIncrementsGamma);

}  // namespace
}  // namespace estimetrix

BENCHMARK_MAIN();
