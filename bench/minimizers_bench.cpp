// Simplex followed by Marquardt, as a user runs them: from the starting file
// of each example, and on the 27 NIST reference problems from both of their
// starting points. Besides the timings, writes bench/results/minimizers.md
// with function calls, the share of time spent outside MODEL, and the whole
// NIST table (failures included).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "engine/minimizers/marquardt.h"
#include "engine/minimizers/simplex.h"
#include "engine/state/algorithm_data.h"
#include "engine/state/algorithm_file.h"
#include "engine/state/workbench.h"
#include "model/initialize.h"
#include "platform/scripted_desktop.h"
#include "tests/support/nist_fit.h"
#include "tests/support/nist_model.h"
#include "tests/support/recording_marquardt_view.h"
#include "tests/support/timed_model.h"

namespace estimetrix {
namespace {

namespace fs = std::filesystem;
using testing::TimedModel;

const char* const kExamples[] = {"dungeness", "snowcrab-sgsl-sizefreq",
                                 "tannercrab-ebs-increments"};

struct ExampleRun {
  bool ran = false;
  std::string problem;  // why it could not run
  double seconds = 0.0;
  double secondsInModel = 0.0;
  double marquardtSeconds = 0.0, marquardtSecondsInModel = 0.0;
  long long simplexCalls = 0, marquardtCalls = 0;
  double objective = 0.0;
  std::string marquardtOutcome;
  std::vector<std::string> messages;
};

// A fresh workbench on the example's set-up and algorithm file, the model
// wrapped so that its time can be measured.
bool PrepareExample(const std::string& name, Workbench& wb, ScriptedDesktop& desktop,
                    std::string& problem) {
  const fs::path folder = fs::path(ESTIMETRIX_EXAMPLES) / name;
  const fs::path setupPath = folder / (name + ".setup");
  const fs::path algPath = folder / (name + ".alg");
  if (!fs::exists(setupPath) || !fs::exists(algPath)) {
    problem = "starting files missing";
    return false;
  }
  std::string algorithm, error;
  const auto setup = ReadSetupFile(setupPath.string(), algorithm, error);
  if (!setup) {
    problem = "set-up file: " + error;
    return false;
  }
  if (!InitializeCarapex(wb, desktop, *setup)) {
    problem = "initialisation failed";
    return false;
  }
  if (!LoadAlgorithmFile(wb, desktop, algPath.string())) {
    problem = "algorithm file failed to load";
    return false;
  }
  wb.model = std::make_unique<TimedModel>(std::move(wb.model));
  return true;
}

ExampleRun RunExample(const std::string& name) {
  ExampleRun run;
  Workbench wb;
  ScriptedDesktop desktop;
  desktop.SetResponder(ScriptedDesktop::DeclineEverything);
  if (!PrepareExample(name, wb, desktop, run.problem)) return run;
  auto& model = static_cast<TimedModel&>(*wb.model);

  const double began = TimedModel::ThreadSeconds();
  NormalizeFuseGroups(wb.alg, wb.fuse);
  BuildFreeParameterList(wb.alg, wb.free);
  if (wb.free.FreeCount == 0) {
    run.problem = "no free parameters";
    return run;
  }
  SilentSimplexView simplexView;
  RunSimplex(wb, desktop, simplexView);
  run.simplexCalls = model.Evaluations();
  const double simplexEnded = TimedModel::ThreadSeconds();

  NormalizeFuseGroups(wb.alg, wb.fuse);
  BuildFreeParameterList(wb.alg, wb.free);
  wb.state.MarquardtDerivatives = DerivativeChoice::Numerical;
  wb.marquardt.ShowDerivatives = false;
  SizeMarquardtDerivatives(wb);
  testing::RecordingMarquardtView marquardtView;
  const MarquardtResult result = MarquardtMinimize(wb, desktop, marquardtView);
  run.seconds = TimedModel::ThreadSeconds() - began;
  run.marquardtSeconds = TimedModel::ThreadSeconds() - simplexEnded;
  run.marquardtCalls = model.Evaluations() - run.simplexCalls;
  const double perCall = model.SecondsPerCall();
  run.marquardtSecondsInModel = static_cast<double>(run.marquardtCalls) * perCall;
  run.secondsInModel = static_cast<double>(run.simplexCalls + run.marquardtCalls) * perCall;
  run.objective = result.objective;
  run.marquardtOutcome = testing::MarquardtOutcomeText(result.outcome);
  for (const auto& record : desktop.Transcript()) run.messages.push_back(record.title);
  run.ran = true;
  return run;
}

void BenchExample(benchmark::State& state, const std::string& name,
                  std::map<std::string, ExampleRun>& results) {
  ExampleRun last;
  for (auto _ : state) {
    last = RunExample(name);
    if (!last.ran) {
      state.SkipWithError(last.problem.c_str());
      break;
    }
  }
  if (last.ran) {
    state.counters["calls"] = static_cast<double>(last.simplexCalls + last.marquardtCalls);
    state.counters["outside_model_pct"] =
        100.0 * (last.seconds - last.secondsInModel) / last.seconds;
  }
  results[name] = last;
}

void BenchNist(benchmark::State& state, const testing::NistProblem& problem, int start) {
  testing::NistFit fit;
  for (auto _ : state) fit = testing::FitNistProblem(problem, start);
  state.counters["digits"] = fit.digits;
  state.counters["calls"] = static_cast<double>(fit.evaluations);
  state.counters["outside_model_pct"] =
      100.0 * (fit.secondsTotal - fit.secondsInModel) / fit.secondsTotal;
}

std::string Fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string General(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}

std::string ExamplesTable(const std::map<std::string, ExampleRun>& results) {
  std::ostringstream out;
  out << "| example | seconds | Simplex calls | Marquardt calls | Marquardt ended | objective | "
         "time outside MODEL | Marquardt alone |\n|---|---|---|---|---|---|---|---|\n";
  for (const char* name : kExamples) {
    auto it = results.find(name);
    const ExampleRun run = it != results.end() ? it->second : RunExample(name);
    if (!run.ran) {
      out << "| " << name << " | skipped: " << run.problem << " | | | | | | |\n";
      continue;
    }
    out << "| " << name << " | " << Fixed(run.seconds, 3) << " | " << run.simplexCalls << " | "
        << run.marquardtCalls << " | " << run.marquardtOutcome << " | " << General(run.objective)
        << " | " << Fixed(100.0 * (run.seconds - run.secondsInModel) / run.seconds, 2) << " % | "
        << Fixed(
               100.0 * (run.marquardtSeconds - run.marquardtSecondsInModel) / run.marquardtSeconds,
               2)
        << " % |\n";
  }
  return out.str();
}

std::string NistTable(const std::vector<testing::NistProblem>& problems, int& lowerFailures) {
  std::ostringstream out;
  out << "| problem | difficulty | start | digits | function calls | Simplex | Marquardt | "
         "residual sum of squares | certified | time outside MODEL |\n"
         "|---|---|---|---|---|---|---|---|---|---|\n";
  lowerFailures = 0;
  for (const auto& problem : problems) {
    for (int start : {1, 2}) {
      const testing::NistFit fit = testing::FitNistProblem(problem, start);
      if (problem.difficulty == "Lower" && fit.digits < 4.0) ++lowerFailures;
      out << "| " << problem.name << " | " << problem.difficulty << " | " << start << " | "
          << Fixed(fit.digits, 1) << " | " << fit.evaluations << " | " << fit.simplexOutcome
          << " | " << fit.marquardtOutcome << " | " << General(fit.objective) << " | "
          << General(problem.certifiedRss) << " | "
          << Fixed(100.0 * (fit.secondsTotal - fit.secondsInModel) / fit.secondsTotal, 1)
          << " % |\n";
    }
  }
  return out.str();
}

void WriteResults(const std::map<std::string, ExampleRun>& examples,
                  const std::vector<testing::NistProblem>& problems) {
  int lowerFailures = 0;
  const std::string nist = NistTable(problems, lowerFailures);
  const fs::path path = fs::path(ESTIMETRIX_TEST_DATA).parent_path().parent_path() / "bench" /
                        "results" / "minimizers.md";
  fs::create_directories(path.parent_path());
  std::ofstream out(path);
  out << "# Minimizers: Simplex followed by Marquardt\n\n"
         "Written by bench/minimizers_bench. Each run is a Simplex search from the starting "
         "values, then a Marquardt run with numerical derivatives from where the Simplex "
         "stopped, with no window (the progress texts are still built). \"Time outside MODEL\" "
         "is the share of the run's processor time not spent inside the model routine: "
         "bookkeeping, derivative arithmetic, report texts and yields (processor time of the "
         "thread, so that other programs on a busy machine do not count); seconds are "
         "processor seconds. The Marquardt column gives the same share for the Marquardt "
         "run alone.\n\n"
         "## Examples\n\nFrom examples/<name>/<name>.setup and .alg.\n\n"
      << ExamplesTable(examples)
      << "\n## NIST reference problems\n\n"
         "Steps a tenth of the starting values, tolerance (Simplex limit) -1E-10 (relative), "
         "at most 20000 function calls for the Simplex and 20000 Marquardt iterations. Digits "
         "are the fewest correct significant digits over the parameters (log relative error "
         "against the certified values, at most 11). Function calls count every evaluation, "
         "including the uncounted verification calls.\n\n"
      << nist << "\nLower-difficulty runs below 4 digits: " << lowerFailures << "\n";
  std::printf("Results written to %s\n", path.string().c_str());
}

}  // namespace
}  // namespace estimetrix

int main(int argc, char** argv) {
  using namespace estimetrix;
  std::map<std::string, ExampleRun> examples;
  std::vector<testing::NistProblem> problems;
  for (const std::string& name : testing::NistProblemNames()) {
    const auto problem =
        testing::LoadNistProblem(std::string(ESTIMETRIX_TEST_DATA) + "/nist/" + name + ".dat");
    if (problem) problems.push_back(*problem);
  }

  for (const char* name : kExamples) {
    benchmark::RegisterBenchmark(
        (std::string("SimplexThenMarquardt/") + name).c_str(),
        [name, &examples](benchmark::State& state) { BenchExample(state, name, examples); })
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
  }
  for (const auto& problem : problems) {
    for (int start : {1, 2}) {
      benchmark::RegisterBenchmark(
          ("Nist/" + problem.name + "/start" + std::to_string(start)).c_str(),
          [&problem, start](benchmark::State& state) { BenchNist(state, problem, start); })
          ->Unit(benchmark::kMillisecond)
          ->MinTime(0.05);
    }
  }

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  WriteResults(examples, problems);
  return 0;
}
