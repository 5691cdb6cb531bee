// The results summary of the snow crab example (three frequency series of
// 12 000 to 16 000 crabs, seven instars) with 1000 Pearson-deviates
// randomisations per series from a fixed seed, run as the runner runs it:
//   estimetrix-batch --setup snowcrab-sgsl-sizefreq.setup --seed 42
//       --randomizations 1000 --frequency-gof summary FILE.exo
// Reading the set-up and data and loading the algorithm file are part of the
// time but small beside the 3000 randomisations.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/batch_runner.h"

namespace estimetrix {
namespace {

namespace fs = std::filesystem;

void SnowCrabSummary(benchmark::State& state) {
  const std::string setup = (fs::path(ESTIMETRIX_EXAMPLES) / "snowcrab-sgsl-sizefreq" /
                             "snowcrab-sgsl-sizefreq.setup")
                                .string();
  const std::string exo = (fs::temp_directory_path() / "estimetrix_bench_summary.exo").string();
  const std::vector<std::string> words = {"--setup",          setup,  "--seed", "42",
                                          "--randomizations", std::to_string(state.range(0)),
                                          "--frequency-gof",  "summary", exo};
  const std::vector<BatchArea> areas = AllBatchAreas();
  for (auto _ : state) {
    std::ostringstream out, err;
    const int status = RunBatch(areas, words, out, err);
    if (status != 0) {
      state.SkipWithError(err.str().c_str());
      break;
    }
    benchmark::DoNotOptimize(out.str().size());
  }
  fs::remove(exo);
}
BENCHMARK(SnowCrabSummary)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace estimetrix

BENCHMARK_MAIN();
