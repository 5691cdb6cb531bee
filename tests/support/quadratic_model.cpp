#include "quadratic_model.h"

namespace estimetrix::testing {

QuadraticModel::QuadraticModel(int n, double offsetValue)
    : centre(static_cast<size_t>(n), 0.0), weight(static_cast<size_t>(n), 1.0),
      offset(offsetValue) {
  for (int i = 0; i < n; ++i) centre[static_cast<size_t>(i)] = i + 1.0;
}

void QuadraticModel::MODEL(double& objective, Vector& parameters, Vector& steps,
                           StringArray& descriptions, StringArray& fuseCodes,
                           int& parameterCount, int NF, int& observationCount, Vector&, Matrix&,
                           int&) {
  (void)fuseCodes;
  flagsSeen.push_back(NF);
  const int n = static_cast<int>(centre.size());
  if (NF == 0) {
    parameterCount = n;
    descriptions.Resize(1, n, "");
    steps.Resize(1, n, 0.0);
    parameters.Resize(1, n, 0.0);
    for (int i = 1; i <= n; ++i) descriptions[i] = "Quadratic term " + std::to_string(i);
    return;
  }
  if (NF < 0) return;
  if (observations > 0) observationCount = observations;
  double sum = offset;
  std::vector<double> seen;
  for (int i = 1; i <= n; ++i) {
    const double d = parameters[i] - centre[static_cast<size_t>(i - 1)];
    sum += weight[static_cast<size_t>(i - 1)] * d * d;
    seen.push_back(parameters[i]);
  }
  vectorsSeen.push_back(std::move(seen));
  objective = sum;
}

}  // namespace estimetrix::testing
