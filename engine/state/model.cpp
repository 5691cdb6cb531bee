#include "engine/state/model.h"

#include <utility>

namespace estimetrix {

void SimpleModel::MODEL(double& objective, Vector& parameters, Vector& steps,
                        StringArray& descriptions, StringArray& /*fuseCodes*/, int& parameterCount,
                        int NF, int& observationCount, Vector& gradient, Matrix& secondDerivatives,
                        int& sampleSize) {
  if (NF == 0) {
    StringArray fresh;
    Vector start;
    if (!Initialize(fresh, start)) return;
    const int n = fresh.Size();
    descriptions = std::move(fresh);
    if (start.Lo() == 1 && start.Size() == n) {
      parameters = std::move(start);
    } else {
      parameters.Resize(1, n, 0.0);
    }
    steps.Resize(1, n, 0.0);
    parameterCount = n;
  } else if (NF >= 1) {
    objective = Evaluate(parameters, NF);
  } else if (NF == -1) {
    ResultsSummary(parameters);
  } else if (NF == -2) {
    Derivatives(parameters, gradient, secondDerivatives);
  }
  if (ObservationCount() > 0) observationCount = ObservationCount();
  if (SampleSize() > 0) sampleSize = SampleSize();
}

}  // namespace estimetrix
