#pragma once
// Carapex configurations with data and a usable point, one per family of
// the likelihood (frequencies with Gaussian or gamma instars, blended
// instars with selectivity and Weibull proportions, increments with Gaussian
// or gamma errors, with and without measurement error and increment instars,
// both kinds of data together), plus the shipped examples. The derivative
// tests and benchmarks share them. Synthetic data files go to a temporary
// folder of the case's own.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "model/parameter_layout.h"
#include "tests/support/carapex_harness.h"
#include "tests/support/temporary_folder.h"

namespace estimetrix::testing {

// Cells of width 1 from 0.5; each series a row of `bumps` peaks, `spacing`
// mm apart from `first` on, sized differently per series and empty beyond
// the last peak so that every occupied cell lies near an instar.
inline std::string SyntheticFrequencies(int cells, int series, double first, double spacing,
                                        int bumps) {
  std::string text = "Midpoint";
  for (int s = 1; s <= series; ++s) text += ",S" + std::to_string(s);
  text += "\r\n";
  char field[32];
  const double last = first + spacing * (bumps - 1);
  for (int c = 1; c <= cells; ++c) {
    const double x = c - 0.5;
    std::snprintf(field, sizeof field, "%7.1f", x);
    text += field;
    for (int s = 1; s <= series; ++s) {
      const double nearest = std::clamp(std::round((x - first) / spacing), 0.0, bumps - 1.0);
      const double offset = x - (first + nearest * spacing);
      const bool inside = x > first - spacing / 2.0 && x < last + spacing / 2.0;
      const double count = inside
                               ? std::round((40.0 + 10.0 * s) * std::exp(-offset * offset / 4.0) *
                                            std::exp(-x / (cells * 0.7)))
                               : 0.0;
      std::snprintf(field, sizeof field, ",%5d", static_cast<int>(count));
      text += field;
    }
    text += "\r\n";
  }
  return text;
}

// Initial sizes from `smallest` to `largest` mm, increments about
// intercept + slope x with the given SD, sorted.
inline std::string SyntheticIncrements(int records, double smallest, double largest, double slope,
                                       unsigned seed = 12345, double intercept = 2.0,
                                       double sd = 1.5) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> size(smallest, largest);
  std::normal_distribution<double> noise(0.0, sd);
  std::vector<std::pair<double, double>> data;
  for (int r = 0; r < records; ++r) {
    const double x = std::round(size(random) * 10.0) / 10.0;
    const double d =
        std::max(0.5, std::round((intercept + slope * x + noise(random)) * 10.0) / 10.0);
    data.push_back({x, d});
  }
  std::sort(data.begin(), data.end());
  std::string text = "Initial,Increment\r\n";
  char line[32];
  for (const auto& [x, d] : data) {
    std::snprintf(line, sizeof line, "%6.1f,%6.1f\r\n", x, d);
    text += line;
  }
  return text;
}

// An initialised model with its values and steps set.
struct CarapexCase {
  std::unique_ptr<TemporaryFolder> folder = std::make_unique<TemporaryFolder>("carapex_case");
  std::unique_ptr<CarapexModelHarness> h = std::make_unique<CarapexModelHarness>();
  CarapexSetup setup;  // as the model was initialised
  bool ready = false;

  bool Initialize(const CarapexSetup& chosen) {
    setup = chosen;
    return h->Initialize(chosen);
  }
  std::string Write(const std::string& name, const std::string& text) {
    const std::string path = folder->File(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  void Set(int index, double value, double step) {
    h->values[index] = value;
    h->steps[index] = step;
  }
  int N() const { return h->parameterCount; }
};

// Values and steps from the first N lines after the count of an algorithm file.
inline bool ReadAlgorithmValues(const std::string& path, CarapexCase& c) {
  std::ifstream in(path);
  std::string line;
  if (!std::getline(in, line)) return false;
  for (int i = 1; i <= c.N(); ++i) {
    if (!std::getline(in, line) || line.size() < 30) return false;
    c.h->values[i] = std::stod(line.substr(0, 14));
    c.h->steps[i] = std::stod(line.substr(14, 16));
  }
  return true;
}

inline std::string ExampleFile(const std::string& folder, const std::string& name) {
  return std::string(ESTIMETRIX_EXAMPLES) + "/" + folder + "/" + name;
}

// The snow crab example: 3 series, 7 Gaussian instars, zero beyond the
// extremes, first cell 13; 26 free parameters of 42.
inline CarapexCase SnowCrabCase() {
  CarapexCase c;
  CarapexSetup setup;
  setup.frequencyPath =
      ExampleFile("snowcrab-sgsl-sizefreq", "snowcrab_sgsl_females_2022-2024.dat");
  setup.seriesText = "3";
  setup.firstCellText = "13";
  setup.identifiedText = "7";
  setup.blendedText = "0";
  setup.instars = InstarShape::Gaussian;
  setup.truncation = FrequencyTruncation::ZeroBeyond;
  c.ready =
      c.Initialize(setup) &&
      ReadAlgorithmValues(ExampleFile("snowcrab-sgsl-sizefreq", "snowcrab-sgsl-sizefreq.alg"), c);
  return c;
}

// The Dungeness example: 472 increments, a straight line, Gaussian errors.
inline CarapexCase DungenessCase() {
  CarapexCase c;
  CarapexSetup setup;
  setup.incrementPath = ExampleFile("dungeness", "dungeness_females.dat");
  setup.incrementInstarsText = "0";
  setup.incrementErrors = IncrementErrors::Gaussian;
  c.ready =
      c.Initialize(setup) && ReadAlgorithmValues(ExampleFile("dungeness", "dungeness.alg"), c);
  return c;
}

// Increments of `records` animals from three increment instars (means about
// 23.6, 33.9 and 47.7), Gaussian or gamma errors, %SE as given.
inline CarapexCase ThreeInstarIncrementCase(bool gammaErrors, double percentSE = 0.0,
                                            int records = 200) {
  CarapexCase c;
  CarapexSetup setup;
  setup.incrementPath = c.Write("increments.dat", SyntheticIncrements(records, 18.0, 55.0, 0.35));
  setup.incrementInstarsText = "3";
  setup.incrementErrors = gammaErrors ? IncrementErrors::Gamma : IncrementErrors::Gaussian;
  c.setup = setup;
  c.ready = c.Initialize(setup);
  if (!c.ready) return c;
  c.Set(param::kMu0, 16.0, 0.5);
  c.Set(param::kBeta0, 2.0, 0.1);
  c.Set(param::kBeta0 + 1, 0.35, 0.01);
  c.Set(param::kSigma1, 2.0, 0.1);
  c.Set(param::kTau0, 0.5, 0.05);
  c.Set(param::kTau0 + 1, 0.1, 0.01);
  c.Set(param::kOmega, 0.1, 0.01);
  c.Set(param::kPercentSE, percentSE, percentSE != 0.0 ? 0.2 : 0.0);
  c.Set(22, 0.3, 0.02);
  c.Set(23, 0.4, 0.02);
  c.Set(24, -1.0, 0.0);
  return c;
}

// One series of 60 cells with five instars 10 mm apart, Gaussian or gamma
// instars, zero beyond the extremes ("0") or truncated ("M").
inline CarapexCase IdentifiedFrequencyCase(bool gammaInstars, bool truncated, int firstCell = 1) {
  CarapexCase c;
  CarapexSetup setup;
  setup.frequencyPath = c.Write("frequencies.dat", SyntheticFrequencies(60, 1, 12.0, 10.0, 5));
  setup.seriesText = "1";
  setup.identifiedText = "5";
  setup.firstCellText = std::to_string(firstCell);
  setup.instars = gammaInstars ? InstarShape::Gamma : InstarShape::Gaussian;
  setup.truncation = truncated ? FrequencyTruncation::Truncated : FrequencyTruncation::ZeroBeyond;
  c.setup = setup;
  c.ready = c.Initialize(setup);
  if (!c.ready) return c;
  c.Set(param::kMu0, 2.1, 0.1);
  c.Set(param::kBeta0, 9.8, 0.1);
  c.Set(param::kBeta0 + 1, 0.01, 0.001);
  c.Set(param::kSigma1, 1.45, 0.05);
  c.Set(param::kTau0, 0.52, 0.05);
  c.Set(param::kTau0 + 1, 0.02, 0.005);
  c.Set(param::kR, 0.2, 0.02);
  for (int i = 1; i <= 4; ++i) c.Set(21 + i, 0.19 + 0.01 * i, 0.01);
  c.Set(26, -1.0, 0.0);
  return c;
}

// Two series with 2 identified and 6 blended instars whose shares follow the
// Weibull mortality curve, a Gaussian selectivity curve and measurement error.
inline CarapexCase BlendedFrequencyCase() {
  CarapexCase c;
  CarapexSetup setup;
  setup.frequencyPath = c.Write("frequencies.dat", SyntheticFrequencies(90, 2, 11.1, 9.7, 8));
  setup.seriesText = "2";
  setup.identifiedText = "2";
  setup.blendedText = "6";
  setup.instars = InstarShape::Gaussian;
  setup.truncation = FrequencyTruncation::ZeroBeyond;
  c.setup = setup;
  c.ready = c.Initialize(setup);
  if (!c.ready) return c;
  c.Set(param::kMu0, -1.4, 0.1);    // read as its absolute value
  c.Set(param::kBeta0, 9.71, 0.1);  // no instar mean on a cell boundary
  c.Set(param::kSigma1, 1.3, 0.05);
  c.Set(param::kTau0, 0.45, 0.05);
  c.Set(param::kTau0 + 1, 0.03, 0.005);
  c.Set(param::kPercentSE, 1.5, 0.1);
  c.Set(param::kSelectivityMean, 15.2, 0.5);
  c.Set(param::kSelectivitySD, 4.1, 0.2);
  c.Set(param::kPsi, 0.22, 0.02);
  c.Set(param::kPhi, 1.3, 0.05);
  c.Set(22, 0.12, 0.01);
  c.Set(23, 0.14, 0.01);
  c.Set(24, 0.1, 0.01);
  c.Set(25, 0.15, 0.01);
  return c;
}

// Size frequencies and increments together: one series of 60 cells with
// five instars (three of them giving increments), Gaussian or gamma errors.
inline CarapexCase CombinedCase(bool gamma) {
  CarapexCase c;
  CarapexSetup setup;
  setup.frequencyPath = c.Write("frequencies.dat", SyntheticFrequencies(60, 1, 12.0, 10.0, 5));
  setup.seriesText = "1";
  setup.identifiedText = "5";
  setup.instars = InstarShape::Gaussian;
  setup.truncation = FrequencyTruncation::ZeroBeyond;
  setup.incrementPath =
      c.Write("increments.dat", SyntheticIncrements(120, 11.0, 33.0, 0.01, 7, 9.8, 0.6));
  setup.incrementInstarsText = "3";
  setup.incrementErrors = gamma ? IncrementErrors::Gamma : IncrementErrors::Gaussian;
  c.setup = setup;
  c.ready = c.Initialize(setup);
  if (!c.ready) return c;
  c.Set(param::kMu0, 2.1, 0.1);
  c.Set(param::kBeta0, 9.8, 0.1);
  c.Set(param::kBeta0 + 1, 0.01, 0.001);
  c.Set(param::kSigma1, 1.45, 0.05);
  c.Set(param::kTau0, 1.2, 0.05);
  c.Set(param::kTau0 + 1, 0.02, 0.005);
  c.Set(param::kOmega, 0.05, 0.01);
  c.Set(22, 0.35, 0.02);
  c.Set(23, 0.35, 0.02);
  c.Set(24, -1.0, 0.0);
  for (int i = 1; i <= 4; ++i) c.Set(24 + i, 0.19 + 0.01 * i, 0.01);
  c.Set(29, -1.0, 0.0);
  return c;
}

}  // namespace estimetrix::testing
