#pragma once
// The contract between the engine and a model. The engine sees a model only
// through MODEL and its mode flag NF:
//   NF = 0   initialise (fix N, describe the parameters, read the data)
//   NF >= 1  evaluate the objective (the running call number; 1 = first call of a run)
//   NF = -1  produce the results summary for the given vector
//   NF = -2  fill gradient and second derivatives analytically (if supported)
// The objective is a multiple of -ln[likelihood]; SuggestedLikelihoodConstant
// is the factor that turns it into -ln[likelihood] (0 when the model has none).

#include <string>

#include "engine/array.h"

namespace estimetrix {

class Model {
 public:
  virtual ~Model() = default;

  virtual void MODEL(double& objective, Vector& parameters, Vector& steps,
                     StringArray& descriptions, StringArray& fuseCodes, int& parameterCount,
                     int NF, int& observationCount, Vector& gradient,
                     Matrix& secondDerivatives, int& sampleSize) = 0;

  // The model's name as shown on the menu form.
  virtual std::string Name() const = 0;
  // Set by the model at NF = 0; offered to the user by the covariance calculator.
  virtual double SuggestedLikelihoodConstant() const { return 0.0; }
  // The bare data file name used to pre-fill file-dialog filters.
  virtual std::string DataFileName() const { return {}; }
  // False when the last NF = 0 call failed (its message already shown); the
  // model then keeps its previous configuration and data, and the caller must
  // keep its previous parameter count, values and descriptions.
  virtual bool InitializationSucceeded() const { return true; }
};

}  // namespace estimetrix
