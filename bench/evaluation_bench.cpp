// Independent evaluations on worker threads: the covariance calculation and
// Marquardt runs (whose time goes to the numerical derivatives) on the snow
// crab example, on 1 and 2 threads. Wall time, since the point is to use
// more than one core. Every run's report is compared with the 1-thread run's;
// a difference ends the benchmark with an error.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <optional>
#include <string>

#include "engine/covariance/covariance.h"
#include "engine/covariance/covariance_report.h"
#include "engine/minimizers/marquardt.h"
#include "engine/state/algorithm_file.h"
#include "engine/state/workbench.h"
#include "model/initialize.h"
#include "platform/scripted_desktop.h"
#include "tests/support/recording_marquardt_view.h"

namespace estimetrix {
namespace {

namespace fs = std::filesystem;
const char* const kExample = "snowcrab-sgsl-sizefreq";

struct QuietViews : CovarianceViews {
  void EditAlgorithmDataAndWait() override {}
  void ShowProgress() override {}
  void AppendLog(const std::string& text) override { log += text; }
  void EnableInterrupt() override {}
  void ShowDisplay() override {}
  std::string log;
};

bool LoadExample(Workbench& wb, int threads) {
  const fs::path folder = fs::path(ESTIMETRIX_EXAMPLES) / kExample;
  ScriptedDesktop desktop;
  desktop.SetResponder(ScriptedDesktop::DeclineEverything);
  std::string algorithm, error;
  const auto setup =
      ReadSetupFile((folder / (std::string(kExample) + ".setup")).string(), algorithm, error);
  if (!setup || !InitializeCarapex(wb, desktop, *setup)) return false;
  if (!LoadAlgorithmFile(wb, desktop, (folder / (std::string(kExample) + ".alg")).string()))
    return false;
  wb.ThreadCount = threads;
  return true;
}

// Answers the covariance dialogue: numerical, default factors, q = 0.5, full SEs.
std::optional<DialogReply> CovarianceAnswers(const DialogRecord& record) {
  DialogReply reply;
  if (record.title == "Enter constant") {
    reply.text = "0.5";
  } else if (record.title == "Calculate optimistic SEs only?") {
    reply.answer = Answer::No;
  } else if (record.title == kCovarianceTitle) {
    if (record.kind == DialogKind::Input) {
      reply.text = record.defaultText;
    } else if (record.buttons == Buttons::YesNoCancel) {
      reply.answer = Answer::No;  // numerical
    } else if (record.buttons == Buttons::YesNo) {
      reply.answer = Answer::Yes;  // the factors are fine
    } else if (record.buttons == Buttons::OkCancel) {
      reply.answer = Answer::Ok;
    }
  } else {
    return ScriptedDesktop::DeclineEverything(record);
  }
  return reply;
}

// Loading the example is left out of the timing: only the calculation counts.
std::string RunCovariance(benchmark::State* state, int threads) {
  if (state) state->PauseTiming();
  Workbench wb;
  const bool loaded = LoadExample(wb, threads);
  ScriptedDesktop desktop;
  desktop.SetResponder(CovarianceAnswers);
  QuietViews views;
  if (state) state->ResumeTiming();
  if (!loaded) return "example failed to load";
  if (!CovarianceCalculator(wb, desktop, views)) return "no covariances";
  return views.log + BuildCovarianceReport(wb, desktop);
}

// Three iterations from the starting values: about 2200 evaluations, 2100
// of them for the numerical derivatives.
std::string RunMarquardt(benchmark::State* state, int threads) {
  if (state) state->PauseTiming();
  Workbench wb;
  const bool loaded = LoadExample(wb, threads);
  wb.alg.MaxFunctionCalls = 3;
  wb.state.MarquardtDerivatives = DerivativeChoice::Numerical;
  wb.marquardt.ShowDerivatives = false;
  NormalizeFuseGroups(wb.alg, wb.fuse);
  BuildFreeParameterList(wb.alg, wb.free);
  SizeMarquardtDerivatives(wb);
  ScriptedDesktop desktop;
  desktop.SetResponder(ScriptedDesktop::DeclineEverything);
  testing::RecordingMarquardtView view;
  if (state) state->ResumeTiming();
  if (!loaded) return "example failed to load";
  MarquardtMinimize(wb, desktop, view);
  std::string values;
  for (double v : wb.alg.Values) values += std::to_string(v) + " ";
  return view.text + values + std::to_string(wb.state.FunctionCallCount);
}

void Bench(benchmark::State& state, std::string (*run)(benchmark::State*, int)) {
  const int threads = static_cast<int>(state.range(0));
  const std::string reference = run(nullptr, 1);
  std::string result;
  for (auto _ : state) result = run(&state, threads);
  if (result != reference) state.SkipWithError("results differ from the 1-thread run");
}

void BM_Covariance(benchmark::State& state) {
  Bench(state, RunCovariance);
}
void BM_MarquardtDerivatives(benchmark::State& state) {
  Bench(state, RunMarquardt);
}

BENCHMARK(BM_Covariance)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MarquardtDerivatives)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace estimetrix

BENCHMARK_MAIN();
