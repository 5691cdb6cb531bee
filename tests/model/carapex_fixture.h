#pragma once
// A Carapex model on a scripted desktop, initialised from a set-up, with the
// MODEL arguments it fills kept together.

#include <gtest/gtest.h>

#include <string>

#include "model/carapex_model.h"
#include "platform/scripted_desktop.h"

namespace estimetrix::testing {

inline std::string ModelDataFile(const std::string& name) {
  return std::string(ESTIMETRIX_TEST_DATA) + "/model/" + name;
}

struct CarapexHarness {
  ScriptedDesktop desktop;
  CarapexModel model{desktop};
  Vector values, steps, gradient;
  StringArray descriptions, fuseCodes;
  Matrix second;
  int parameterCount = 0;
  int observations = 0, sampleSize = 0;

  bool Initialize(const CarapexSetup& setup) {
    model.SetSetup(setup);
    double unused = 0.0;
    model.MODEL(unused, values, steps, descriptions, fuseCodes, parameterCount, 0, observations,
                gradient, second, sampleSize);
    return model.InitializationSucceeded();
  }

  double Evaluate(int NF = 1) {
    double objective = -12345.0;
    model.MODEL(objective, values, steps, descriptions, fuseCodes, parameterCount, NF, observations,
                gradient, second, sampleSize);
    return objective;
  }

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
  setup.optNormal = true;
  return setup;
}

}  // namespace estimetrix::testing
