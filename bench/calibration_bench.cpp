// Calibration of the goodness-of-fit tests on the examples' fits: each
// example is fitted (Simplex, then Marquardt, from its algorithm file), data
// sets are simulated from the fitted model with a fixed seed, and each set is
// tested against that model as the results summary tests the real data.
// Under their own null the p-values should be near uniform: about 5% below
// 0.05 and a small Kolmogorov-Smirnov distance from the uniform distribution.
// The null data are drawn with the standard library's distributions (see
// tests/model/null_calibration.h), the randomisations with ours.
//
// Prints one table row per test (frequency test per snow crab series,
// increment test for the Dungeness and Tanner crab fits) after the
// benchmarks, which time each calibration once. Figures in bench/README.md.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/minimizers/marquardt.h"
#include "engine/minimizers/simplex.h"
#include "engine/objective/objective.h"
#include "engine/state/algorithm_data.h"
#include "engine/state/algorithm_file.h"
#include "engine/state/workbench.h"
#include "model/carapex_model.h"
#include "model/initialize.h"
#include "platform/scripted_desktop.h"
#include "tests/model/null_calibration.h"
#include "tests/support/recording_marquardt_view.h"

namespace estimetrix {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kSeed = 20261209;
// Frequency sets are costly (each randomisation draws the whole series total,
// 12,000 to 16,000 crabs); increment sets are cheap.
constexpr int kFrequencySets = 400;
constexpr int kFrequencyRandomizations = 100;
constexpr int kIncrementSets = 1000;
constexpr int kIncrementRandomizations = 200;

// A fitted example: the workbench holds the best values and the model's
// best-state snapshot of them.
struct Fit {
  std::unique_ptr<Workbench> wb;
  ScriptedDesktop desktop;
  const CarapexModel* model = nullptr;
  double objective = 0.0;
  std::string problem;
};

std::unique_ptr<Fit> FitExample(const std::string& name) {
  auto fit = std::make_unique<Fit>();
  fit->wb = std::make_unique<Workbench>();
  Workbench& wb = *fit->wb;
  fit->desktop.SetResponder(ScriptedDesktop::DeclineEverything);
  const fs::path folder = fs::path(ESTIMETRIX_EXAMPLES) / name;
  std::string algorithm, error;
  const auto setup = ReadSetupFile((folder / (name + ".setup")).string(), algorithm, error);
  if (!setup || !InitializeCarapex(wb, fit->desktop, *setup) ||
      !LoadAlgorithmFile(wb, fit->desktop, (folder / (name + ".alg")).string())) {
    fit->problem = "could not load the example " + error;
    return fit;
  }
  NormalizeFuseGroups(wb.alg, wb.fuse);
  BuildFreeParameterList(wb.alg, wb.free);
  SilentSimplexView simplexView;
  RunSimplex(wb, fit->desktop, simplexView);
  NormalizeFuseGroups(wb.alg, wb.fuse);
  BuildFreeParameterList(wb.alg, wb.free);
  wb.state.MarquardtDerivatives = DerivativeChoice::Numerical;
  wb.marquardt.ShowDerivatives = false;
  SizeMarquardtDerivatives(wb);
  testing::RecordingMarquardtView marquardtView;
  MarquardtMinimize(wb, fit->desktop, marquardtView);
  // One evaluation at the fitted values takes the model's best-state snapshot.
  wb.state.PriorsActive = false;
  fit->objective = EvaluateObjective(wb, wb.alg.Values, 1);
  fit->model = dynamic_cast<const CarapexModel*>(wb.model.get());
  if (fit->model == nullptr) fit->problem = "not the Carapex model";
  return fit;
}

struct Row {
  std::string example, test;
  int sets = 0, randomizations = 0;
  double dataP = 0.0;  // the real data's p with the same number of randomisations
  testing::Calibration calibration;
  std::string note;
};

std::vector<Row> rows;

// The fits are made once and shared by the benchmarks.
Fit& FittedExample(const std::string& name) {
  static std::map<std::string, std::unique_ptr<Fit>> fits;
  auto& fit = fits[name];
  if (!fit) fit = FitExample(name);
  return *fit;
}

double DataP(const PearsonDeviates& test) {
  return testing::PValue(test);
}

void FrequencyCalibration(benchmark::State& state, int series) {
  const std::string name = "snowcrab-sgsl-sizefreq";
  Fit& fit = FittedExample(name);
  if (!fit.problem.empty()) {
    state.SkipWithError(fit.problem.c_str());
    return;
  }
  const ModelData& data = fit.model->Data();
  const Matrix predicted = UnflooredPredictions(data, fit.model->Best(), fit.model->BestValues());
  const Vector expected = SeriesRow(predicted, series, data.CellCount);
  Row row;
  for (auto _ : state) {
    row.calibration = testing::CalibrateFrequencyTest(
        data.CellCount, data.FirstCell, expected, data.SeriesTotal[series], kFrequencySets,
        kFrequencyRandomizations, kSeed + static_cast<std::uint64_t>(series));
  }
  UniformGenerator uniform(kSeed);
  ScriptedDesktop desktop;
  desktop.SetResponder(ScriptedDesktop::DeclineEverything);
  std::string report;
  row.dataP = DataP(FrequencyGoodnessOfFit(data, predicted, series, kFrequencyRandomizations,
                                           uniform, desktop, report));
  row.example = name + " (-2lnL " + std::to_string(fit.objective).substr(0, 10) + ")";
  row.test = "frequency, series " + std::to_string(series);
  row.sets = kFrequencySets;
  row.randomizations = kFrequencyRandomizations;
  row.note = "N = " + std::to_string(std::llround(data.SeriesTotal[series]));
  state.counters["below_0.05"] = row.calibration.ShareBelow(0.05);
  state.counters["KS"] = row.calibration.UniformDistance();
  rows.push_back(row);
}

void IncrementCalibration(benchmark::State& state, const std::string& name) {
  Fit& fit = FittedExample(name);
  if (!fit.problem.empty()) {
    state.SkipWithError(fit.problem.c_str());
    return;
  }
  const ModelData& data = fit.model->Data();
  if (data.IncrementInstarCount != 0) {
    state.SkipWithError("the null draws need a model without increment instars");
    return;
  }
  const ModelState& best = fit.model->Best();
  const Vector& values = fit.model->BestValues();
  Row row;
  for (auto _ : state) {
    row.calibration = testing::CalibrateIncrementTest(data, best, values, kIncrementSets,
                                                      kIncrementRandomizations, kSeed);
  }
  UniformGenerator uniform(kSeed);
  ScriptedDesktop desktop;
  desktop.SetResponder(ScriptedDesktop::DeclineEverything);
  std::string report;
  row.dataP = DataP(IncrementGoodnessOfFit(data, best, values, kIncrementRandomizations, uniform,
                                           desktop, report));
  row.example = name + " (-2lnL " + std::to_string(fit.objective).substr(0, 10) + ")";
  row.test = "increment";
  row.sets = kIncrementSets;
  row.randomizations = kIncrementRandomizations;
  row.note = std::to_string(data.IncrementRecordCount) + " records, " +
             (data.IncrementErrorDistribution == "G" ? "gamma" : "Gaussian");
  if (data.IncrementErrorDistribution == "G") {
    // The range of the records' gamma shapes p^2 / variance.
    double low = 1e300, high = 0.0;
    const IncrementRecordModel model = BuildIncrementRecordModel(data, best, values);
    for (int r = 1; r <= data.IncrementRecordCount; ++r) {
      const double shape = model.mean(r, 1) * model.mean(r, 1) / model.variance(r, 1);
      low = std::min(low, shape);
      high = std::max(high, shape);
    }
    char text[64];
    std::snprintf(text, sizeof text, ", shapes %.0f-%.0f", low, high);
    row.note += text;
  }
  state.counters["below_0.05"] = row.calibration.ShareBelow(0.05);
  state.counters["KS"] = row.calibration.UniformDistance();
  rows.push_back(row);
}

void PrintTable() {
  std::printf(
      "\n| example | test | sets | R | share p < 0.05 | share p < 0.10 | share p < 0.5 | "
      "KS distance | 5%% critical | data's own p | notes |\n"
      "|---|---|---|---|---|---|---|---|---|---|---|\n");
  for (const Row& row : rows) {
    const double critical = 1.358 / std::sqrt(static_cast<double>(row.sets));
    std::printf("| %s | %s | %d | %d | %.3f | %.3f | %.3f | %.3f | %.3f | %.3f | %s |\n",
                row.example.c_str(), row.test.c_str(), row.sets, row.randomizations,
                row.calibration.ShareBelow(0.05), row.calibration.ShareBelow(0.10),
                row.calibration.ShareBelow(0.5), row.calibration.UniformDistance(), critical,
                row.dataP, row.note.c_str());
  }
}

}  // namespace
}  // namespace estimetrix

int main(int argc, char** argv) {
  using namespace estimetrix;
  for (int series = 1; series <= 3; ++series) {
    benchmark::RegisterBenchmark(
        ("FrequencyCalibration/snowcrab/series" + std::to_string(series)).c_str(),
        [series](benchmark::State& state) { FrequencyCalibration(state, series); })
        ->Unit(benchmark::kSecond)
        ->Iterations(1);
  }
  for (const char* name : {"dungeness", "tannercrab-ebs-increments"}) {
    benchmark::RegisterBenchmark(
        (std::string("IncrementCalibration/") + name).c_str(),
        [name](benchmark::State& state) { IncrementCalibration(state, name); })
        ->Unit(benchmark::kSecond)
        ->Iterations(1);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintTable();
  return 0;
}
