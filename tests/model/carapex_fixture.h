#pragma once
// The model tests' harness, their data files and their usual set-ups.

#include <gtest/gtest.h>

#include <string>

#include "model/data_files.h"
#include "model/parameter_layout.h"
#include "tests/support/carapex_harness.h"

namespace estimetrix::testing {

inline std::string ModelDataFile(const std::string& name) {
  return std::string(ESTIMETRIX_TEST_DATA) + "/model/" + name;
}

// Data arrays sized for `series` size-frequency series, cells counted from
// `firstCell`, and nothing read into them.
inline ModelData SizedModelData(int series, int firstCell = 1) {
  ModelData data;
  data.SeriesCount = series;
  data.FirstCell = firstCell;
  SizeDataArrays(data);
  return data;
}

struct CarapexHarness : CarapexModelHarness {
  void ExpectNoDialogues() {
    EXPECT_TRUE(desktop.Transcript().empty()) << desktop.Transcript().front().text;
  }
};

// Frequencies only: 1 series, Gaussian instars, zero beyond the extremes.
inline CarapexSetup FrequencySetup(const std::string& file, int identified, int blended = 0) {
  CarapexSetup setup;
  setup.frequencyPath = ModelDataFile(file);
  setup.seriesText = "1";
  setup.identifiedText = std::to_string(identified);
  setup.blendedText = std::to_string(blended);
  return setup;
}

// Increments only, Gaussian errors.
inline CarapexSetup IncrementSetup(const std::string& file, int instars) {
  CarapexSetup setup;
  setup.incrementPath = ModelDataFile(file);
  setup.incrementInstarsText = std::to_string(instars);
  setup.incrementErrors = IncrementErrors::Gaussian;
  return setup;
}

// Frequencies and increments together, so every part of the likelihood runs.
inline CarapexSetup BothSetup(bool gamma) {
  CarapexSetup setup;
  setup.frequencyPath = ModelDataFile("small_frequencies.dat");
  setup.identifiedText = "2";
  setup.blendedText = "5";
  setup.incrementPath = ModelDataFile("small_increments.dat");
  setup.incrementInstarsText = "2";
  setup.incrementErrors = gamma ? IncrementErrors::Gamma : IncrementErrors::Gaussian;
  setup.instars = gamma ? InstarShape::Gamma : InstarShape::Gaussian;
  return setup;
}

// A usable start for BothSetup: every structural parameter the likelihood
// reads, the increment proportions with the -1 marker and the series' shares.
inline void SetBothStart(Vector& values) {
  values[param::kMu0] = 1.0;
  values[param::kBeta0] = 1.5;
  values[param::kSigma1] = 0.6;
  values[param::kTau0] = 0.5;
  values[param::kPercentSE] = 3.0;
  values[param::kSelectivityMean] = 2.0;
  values[param::kSelectivitySD] = 1.0;
  values[param::kPsi] = 0.5;
  values[param::kPhi] = 1.0;
  values[22] = 0.5;
  values[23] = -1.0;
  values[24] = 0.3;
  values[25] = 0.3;
}

}  // namespace estimetrix::testing
