#pragma once
// A Carapex model on a scripted desktop, initialised from a set-up, with the
// MODEL arguments it fills kept together (the model's tests and benchmark).

#include "model/carapex_model.h"
#include "platform/scripted_desktop.h"

namespace estimetrix::testing {

struct CarapexModelHarness {
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
};

}  // namespace estimetrix::testing
