#pragma once
// The model tests' harness, their data files and their usual set-ups.

#include <gtest/gtest.h>

#include <string>

#include "tests/support/carapex_harness.h"

namespace estimetrix::testing {

inline std::string ModelDataFile(const std::string& name) {
  return std::string(ESTIMETRIX_TEST_DATA) + "/model/" + name;
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

}  // namespace estimetrix::testing
