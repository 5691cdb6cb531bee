// The Bayesian posterior's grid on worker threads: four free parameters
// (one evaluated, three integrated), P points and G grid values each, on the
// snow crab size-frequency example and the Tanner crab increments example,
// on 1 and 2 threads. Wall time, reported per evaluation; every run's report
// is compared with the 1-thread run's, and a difference ends the benchmark
// with an error.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <optional>
#include <string>

#include "engine/bayesian/posterior.h"
#include "engine/commands/evaluation_commands.h"
#include "engine/state/algorithm_file.h"
#include "engine/state/workbench.h"
#include "model/initialize.h"
#include "platform/scripted_desktop.h"
#include "tests/support/evaluation_session.h"

namespace estimetrix {
namespace {

namespace fs = std::filesystem;

bool LoadExample(Workbench& wb, const std::string& name, int threads) {
  const fs::path folder = fs::path(ESTIMETRIX_EXAMPLES) / name;
  ScriptedDesktop desktop;
  desktop.SetResponder(ScriptedDesktop::DeclineEverything);
  std::string algorithm, error;
  const auto setup = ReadSetupFile((folder / (name + ".setup")).string(), algorithm, error);
  if (!setup || !InitializeCarapex(wb, desktop, *setup)) return false;
  if (!LoadAlgorithmFile(wb, desktop, (folder / (name + ".alg")).string())) return false;
  // The first four free parameters stay free, the others are fixed. The
  // example's steps suit a minimizer; a grid of 25 of them would reach values
  // where the model has no finite objective, so the grid uses a twentieth.
  int free = 0;
  for (int i = 1; i <= wb.alg.ParameterCount; ++i) {
    if (wb.alg.Steps[i] == 0.0) continue;
    wb.alg.Steps[i] = ++free > 4 ? 0.0 : wb.alg.Steps[i] / 20.0;
  }
  wb.ThreadCount = threads;
  return free >= 4;
}

std::optional<DialogReply> Answers(const DialogRecord& record, int points, int grid) {
  const std::string& text = record.text;
  auto has = [&text](const char* part) { return text.find(part) != std::string::npos; };
  if (record.kind == DialogKind::Input) {
    if (record.title == "Enter constant") return DialogReply{Answer::Ok, "0.5"};
    if (has("parameter #")) return DialogReply{Answer::Ok, "0"};  // replaced below
    if (has("profile parameter")) return DialogReply{Answer::Ok, std::to_string(points)};
    if (has("grid parameter")) return DialogReply{Answer::Ok, std::to_string(grid)};
    return DialogReply{Answer::Cancel, std::nullopt};
  }
  if (record.kind != DialogKind::Message) return DialogReply{Answer::Cancel, std::nullopt};
  if (record.buttons == Buttons::Ok) return DialogReply{Answer::Ok, std::nullopt};
  return DialogReply{Answer::Yes, std::nullopt};  // go on, also past 32767 calls
}

struct Run {
  std::string report;
  long long evaluations = 0;
};

Run RunPosterior(benchmark::State* state, const std::string& example, int points, int grid,
                 int threads) {
  if (state) state->PauseTiming();
  Workbench wb;
  Run run;
  if (!LoadExample(wb, example, threads)) {
    if (state) state->ResumeTiming();
    run.report = "example failed to load";
    return run;
  }
  int evaluated = 0;
  for (int i = 1; i <= wb.alg.ParameterCount && evaluated == 0; ++i)
    if (wb.alg.Steps[i] != 0.0) evaluated = i;
  ScriptedDesktop desktop;
  desktop.SetResponder([&](const DialogRecord& record) -> std::optional<DialogReply> {
    if (record.kind == DialogKind::Input && record.text.find("parameter #") != std::string::npos)
      return DialogReply{Answer::Ok, std::to_string(evaluated)};
    return Answers(record, points, grid);
  });
  testing::FakeMenuView menu;
  testing::EvaluationViews views;
  CommandContext ctx{wb, desktop, menu, views};
  if (state) state->ResumeTiming();
  RunEvaluationChoice(ctx, EvaluationChoice::Posterior);
  run.report = views.Report(ReportKind::Posterior);
  long long perPoint = 1;
  for (int k = 0; k < 3; ++k) perPoint *= grid;
  run.evaluations = points * perPoint;
  return run;
}

void BM_Posterior(benchmark::State& state, const std::string& example) {
  const int points = static_cast<int>(state.range(0));
  const int grid = static_cast<int>(state.range(1));
  const int threads = static_cast<int>(state.range(2));
  const Run reference = RunPosterior(nullptr, example, points, grid, 1);
  Run run;
  for (auto _ : state) run = RunPosterior(&state, example, points, grid, threads);
  if (run.report.empty() || run.report != reference.report)
    state.SkipWithError("no report, or results differ from the 1-thread run");
  state.counters["evaluations"] = static_cast<double>(run.evaluations);
  state.counters["per_evaluation"] =
      benchmark::Counter(static_cast<double>(run.evaluations),
                         benchmark::Counter::kIsIterationInvariantRate |
                             benchmark::Counter::kInvert);
}

void BM_PosteriorSnowCrab(benchmark::State& state) {
  BM_Posterior(state, "snowcrab-sgsl-sizefreq");
}
void BM_PosteriorIncrements(benchmark::State& state) {
  BM_Posterior(state, "tannercrab-ebs-increments");
}

// P x G^3 evaluations: 25 x 25^3 = 390,625 for the full case.
BENCHMARK(BM_PosteriorSnowCrab)
    ->Args({25, 25, 1})
    ->Args({25, 25, 2})
    ->UseRealTime()
    ->Unit(benchmark::kSecond)
    ->Iterations(1);
BENCHMARK(BM_PosteriorIncrements)
    ->Args({25, 25, 1})
    ->Args({25, 25, 2})
    ->UseRealTime()
    ->Unit(benchmark::kSecond)
    ->Iterations(1);

}  // namespace
}  // namespace estimetrix

BENCHMARK_MAIN();
