// The model's exact derivatives (MODEL with NF = -2) against one evaluation
// (NF >= 2), and Marquardt to convergence with analytical against numerical
// derivatives, on the snow crab example (26 free parameters of 42), the
// Dungeness example (4 of 21) and a size-frequency and increment case
// (one series, five instars, three giving 120 increments; 12 free of 29).
// Marquardt's final objective is the "objective" counter.

#include <benchmark/benchmark.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>

#include "engine/minimizers/marquardt.h"
#include "engine/state/workbench.h"
#include "model/carapex_model.h"
#include "model/parameter_layout.h"
#include "platform/scripted_desktop.h"
#include "tests/support/carapex_cases.h"
#include "tests/support/carapex_workbench.h"
#include "tests/support/recording_marquardt_view.h"

namespace estimetrix {
namespace {

using testing::CarapexCase;

CarapexCase Combined() {
  CarapexCase c = testing::CombinedCase(false);
  c.h->steps[param::kOmega] = 0.0;
  return c;
}

void Evaluation(benchmark::State& state, const std::function<CarapexCase()>& make) {
  CarapexCase c = make();
  if (!c.ready) return state.SkipWithError("the case did not initialise");
  c.h->Evaluate(1);
  int call = 2;
  for (auto _ : state) benchmark::DoNotOptimize(c.h->Evaluate(call++));
}

void Derivatives(benchmark::State& state, const std::function<CarapexCase()>& make) {
  CarapexCase c = make();
  if (!c.ready) return state.SkipWithError("the case did not initialise");
  c.h->Evaluate(1);
  double objective = 0.0;
  for (auto _ : state) {
    c.h->model.MODEL(objective, c.h->values, c.h->steps, c.h->descriptions, c.h->fuseCodes,
                     c.h->parameterCount, -2, c.h->observations, c.h->gradient, c.h->second,
                     c.h->sampleSize);
    benchmark::DoNotOptimize(c.h->second(1, 1));
  }
  state.counters["objective"] = objective;
}

// Marquardt from the case's start to its end (convergence, frustration or
// 500 iterations), with the tolerance 1e-9.
void Marquardt(benchmark::State& state, const std::function<CarapexCase()>& make, bool analytical) {
  double objective = 0.0;
  int calls = 0, iterations = 0;
  for (auto _ : state) {
    state.PauseTiming();
    CarapexCase c = make();
    Workbench wb;
    ScriptedDesktop desktop;
    desktop.SetResponder(ScriptedDesktop::DeclineEverything);
    testing::LoadCaseIntoWorkbench(c, wb, desktop);
    wb.alg.SimplexLimit = 1e-9;
    wb.alg.MaxFunctionCalls = 500;
    wb.ThreadCount = 1;
    wb.state.MarquardtDerivatives =
        analytical ? DerivativeChoice::Analytical : DerivativeChoice::Numerical;
    wb.marquardt.ShowDerivatives = false;
    SizeMarquardtDerivatives(wb);
    testing::RecordingMarquardtView view;
    state.ResumeTiming();
    const MarquardtResult result = MarquardtMinimize(wb, desktop, view);
    objective = result.objective;
    calls = wb.state.FunctionCallCount;
    iterations = wb.marquardt.IterationCount;
  }
  state.counters["objective"] = objective;
  state.counters["calls"] = calls;
  state.counters["iterations"] = iterations;
}

BENCHMARK_CAPTURE(Evaluation, SnowCrab, testing::SnowCrabCase)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Derivatives, SnowCrab, testing::SnowCrabCase)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Evaluation, Dungeness, testing::DungenessCase)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Derivatives, Dungeness, testing::DungenessCase)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Evaluation, Combined, Combined)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Derivatives, Combined, Combined)->Unit(benchmark::kMicrosecond);

BENCHMARK_CAPTURE(Marquardt, SnowCrabAnalytical, testing::SnowCrabCase, true)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(Marquardt, SnowCrabNumerical, testing::SnowCrabCase, false)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(Marquardt, DungenessAnalytical, testing::DungenessCase, true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Marquardt, DungenessNumerical, testing::DungenessCase, false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Marquardt, CombinedAnalytical, Combined, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Marquardt, CombinedNumerical, Combined, false)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace estimetrix

BENCHMARK_MAIN();
