#pragma once
// Carapex: the built-in multi-series size-frequency and moult-increment model
// of crustacean growth by instar. Returns -2 ln[likelihood] plus penalties.

#include <string>

#include "engine/model.h"
#include "model/carapex_setup.h"

namespace estimetrix {

class Desktop;

class CarapexModel : public Model {
 public:
  explicit CarapexModel(Desktop& desktop);
  ~CarapexModel() override;

  // The set-up form's choices, read by the next NF = 0 call.
  void SetSetup(const CarapexSetup& setup);

  void MODEL(double& objective, Vector& parameters, Vector& steps, StringArray& descriptions,
             StringArray& fuseCodes, int& parameterCount, int NF, int& observationCount,
             Vector& gradient, Matrix& secondDerivatives, int& sampleSize) override;
  std::string Name() const override { return "Carapex"; }
  double SuggestedLikelihoodConstant() const override;
  std::string DataFileName() const override;
  bool InitializationSucceeded() const override;
};

}  // namespace estimetrix
