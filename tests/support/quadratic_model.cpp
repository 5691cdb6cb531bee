#include "quadratic_model.h"

#include <memory>

#include "engine/algorithm_data.h"

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

void InitializeQuadratic(Workbench& wb, int n) {
  wb.model = std::make_unique<QuadraticModel>(n);
  wb.alg.ParameterCount = n;
  wb.ResizeForModel(n);
  SetDefaultAlgorithmData(wb.alg);
  wb.alg.Descriptions.Resize(1, n, "");
  for (int i = 1; i <= n; ++i) wb.alg.Descriptions[i] = "Quadratic term " + std::to_string(i);
  wb.initialized = true;
}

void LoadQuadraticStart(Workbench& wb) {
  for (int i = 1; i <= wb.alg.ParameterCount; ++i) {
    wb.alg.Values[i] = 0.5 * i;
    wb.alg.Steps[i] = 0.1;
  }
  wb.alg.AlgorithmFilePath = "12081435.alg";
  wb.alg.AlgorithmFileName = "12081435";
}

}  // namespace estimetrix::testing
