// Markov chain sampling of the posterior through the runner, from fitted
// estimates (Simplex then Marquardt, run once and untimed): draws per second
// per chain on 1 and 2 threads for the Dungeness and snow crab examples (the
// 2-thread draws are compared byte for byte with the 1-thread ones, and a
// difference ends the benchmark with an error), and the time the snow crab
// chains take to an effective sample size of 1,000 for every parameter.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/batch_runner.h"
#include "tests/support/batch_run.h"
#include "tests/support/file_bytes.h"

namespace estimetrix {
namespace {

namespace fs = std::filesystem;

constexpr int kChains = 4;

struct Example {
  std::string name;
  bool covarianceProposal;  // the covariance is positive definite at the fit
};

const Example kDungeness{"dungeness", true};
const Example kSnowCrab{"snowcrab-sgsl-sizefreq", false};

fs::path Folder() {
  static const fs::path folder = fs::temp_directory_path() / "estimetrix_mcmc_bench";
  fs::create_directories(folder);
  return folder;
}

std::vector<std::string> Setup(const Example& example, const std::string& alg) {
  const fs::path folder = fs::path(ESTIMETRIX_EXAMPLES) / example.name;
  return {"--setup", (folder / (example.name + ".setup")).string(), "--alg", alg};
}

// The example fitted once: its .alg at the estimates.
std::string FittedAlgorithm(const Example& example) {
  static std::map<std::string, std::string> fitted;
  auto it = fitted.find(example.name);
  if (it != fitted.end()) return it->second;
  const fs::path folder = fs::path(ESTIMETRIX_EXAMPLES) / example.name;
  const std::string alg = (Folder() / (example.name + "-fitted.alg")).string();
  std::vector<std::string> words = Setup(example, (folder / (example.name + ".alg")).string());
  for (const char* word : {"--threads", "2", "simplex", "marquardt", "save-alg"})
    words.push_back(word);
  words.push_back(alg);
  const testing::BatchRun run = testing::RunBatchWords(words);
  fitted[example.name] = run.status == 0 ? alg : std::string();
  return fitted[example.name];
}

struct ChainRun {
  bool ok = false;
  double seconds = 0.0;
  std::string report, csv, error;
};

ChainRun RunChains(const Example& example, int threads, int draws) {
  ChainRun result;
  const std::string alg = FittedAlgorithm(example);
  if (alg.empty()) {
    result.error = "the example could not be fitted";
    return result;
  }
  const std::string csv =
      (Folder() / (example.name + "-" + std::to_string(threads) + ".csv")).string();
  std::vector<std::string> words = Setup(example, alg);
  for (const std::string& word :
       {std::string("--threads"), std::to_string(threads), std::string("--seed"),
        std::string("20261209"), std::string("--chains"), std::to_string(kChains)})
    words.push_back(word);
  if (example.covarianceProposal)
    for (const char* word : {"--proposal-from-covariance", "2", "covariance"})
      words.push_back(word);
  for (const std::string& word :
       {std::string("mcmc"), std::to_string(draws), std::string("save-mcmc"), csv})
    words.push_back(word);
  const auto start = std::chrono::steady_clock::now();
  const testing::BatchRun run = testing::RunBatchWords(words);
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  result.ok = run.status == 0;
  result.error = run.err;
  result.report = run.out;
  if (result.ok) result.csv = testing::FileBytes(csv);
  return result;
}

// The smallest bulk or tail effective size in the report's table.
double SmallestEss(const std::string& report) {
  std::istringstream lines(report);
  double smallest = -1.0;
  bool table = false;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("  Param      Estimate", 0) == 0) {
      table = true;
      continue;
    }
    if (!table) continue;
    if (line.empty()) break;
    const double bulk = std::stod(line.substr(line.size() - 20, 10));
    const double tail = std::stod(line.substr(line.size() - 10, 10));
    const double least = std::min(bulk, tail);
    if (smallest < 0.0 || least < smallest) smallest = least;
  }
  return smallest;
}

void BM_ChainDraws(benchmark::State& state, const Example& example) {
  const int threads = static_cast<int>(state.range(0));
  const int draws = static_cast<int>(state.range(1));
  static std::map<std::string, std::string> reference;  // the 1-thread draws
  for (auto _ : state) {
    const ChainRun run = RunChains(example, threads, draws);
    if (!run.ok) {
      state.SkipWithError(run.error.c_str());
      return;
    }
    state.SetIterationTime(run.seconds);
    const std::string key = example.name + "/" + std::to_string(draws);
    if (threads == 1)
      reference[key] = run.csv;
    else if (reference.count(key) && reference[key] != run.csv) {
      state.SkipWithError("the draws differ from the 1-thread draws");
      return;
    }
    state.counters["min_ess"] = SmallestEss(run.report);
  }
  // Warm-up and kept draws of every chain.
  const double perChain = 2.0 * draws;
  state.counters["draws_per_s_per_chain"] = benchmark::Counter(
      perChain * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// Chains of doubling length until every parameter's bulk and tail
// effective size reaches 1,000: the time of that run.
void BM_SnowCrabTimeToEss1000(benchmark::State& state) {
  const int threads = static_cast<int>(state.range(0));
  for (auto _ : state) {
    int draws = 20000;
    for (;;) {
      const ChainRun run = RunChains(kSnowCrab, threads, draws);
      if (!run.ok) {
        state.SkipWithError(run.error.c_str());
        return;
      }
      const double ess = SmallestEss(run.report);
      if (ess >= 1000.0 || draws >= 256000) {
        state.SetIterationTime(run.seconds);
        state.counters["draws_per_chain"] = draws;
        state.counters["min_ess"] = ess;
        break;
      }
      draws *= 2;
    }
  }
}

BENCHMARK_CAPTURE(BM_ChainDraws, dungeness, kDungeness)
    ->Args({1, 5000})
    ->Args({2, 5000})
    ->UseManualTime()
    ->Unit(benchmark::kSecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_ChainDraws, snowcrab, kSnowCrab)
    ->Args({1, 1000})
    ->Args({2, 1000})
    ->UseManualTime()
    ->Unit(benchmark::kSecond)
    ->Iterations(1);
BENCHMARK(BM_SnowCrabTimeToEss1000)
    ->Arg(2)
    ->UseManualTime()
    ->Unit(benchmark::kSecond)
    ->Iterations(1);

}  // namespace
}  // namespace estimetrix

BENCHMARK_MAIN();
