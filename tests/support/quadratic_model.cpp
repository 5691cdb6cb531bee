#include "quadratic_model.h"

#include <memory>

#include "engine/state/algorithm_data.h"

namespace estimetrix::testing {

namespace {

// Evaluates with a copy of the model's terms, so it never touches the model.
class QuadraticEvaluator : public ModelEvaluator {
 public:
  explicit QuadraticEvaluator(const QuadraticModel& model)
      : centre_(model.centre),
        weight_(model.weight),
        precision_(model.precision),
        offset_(model.offset) {}
  double Evaluate(Vector& parameters) override {
    if (!precision_.empty())
      return QuadraticFormObjective(centre_, precision_, offset_, parameters);
    return QuadraticObjective(centre_, weight_, offset_, parameters);
  }

 private:
  const std::vector<double> centre_, weight_, precision_;
  const double offset_;
};

}  // namespace

QuadraticModel::QuadraticModel(int n, double offsetValue)
    : centre(static_cast<size_t>(n), 0.0),
      weight(static_cast<size_t>(n), 1.0),
      offset(offsetValue) {
  for (int i = 0; i < n; ++i) centre[static_cast<size_t>(i)] = i + 1.0;
}

void QuadraticModel::MODEL(double& objective, Vector& parameters, Vector& steps,
                           StringArray& descriptions, StringArray& fuseCodes, int& parameterCount,
                           int NF, int& observationCount, Vector& gradient,
                           Matrix& secondDerivatives, int& sampleSize) {
  flagsSeen.push_back(NF);
  SimpleModel::MODEL(objective, parameters, steps, descriptions, fuseCodes, parameterCount, NF,
                     observationCount, gradient, secondDerivatives, sampleSize);
}

std::unique_ptr<ModelEvaluator> QuadraticModel::NewEvaluator() const {
  if (!parallel) return nullptr;
  return std::make_unique<QuadraticEvaluator>(*this);
}

bool QuadraticModel::Initialize(StringArray& descriptions, Vector&) {
  const int n = static_cast<int>(centre.size());
  descriptions.Resize(1, n, "");
  for (int i = 1; i <= n; ++i) descriptions[i] = "Quadratic term " + std::to_string(i);
  return true;
}

double QuadraticObjective(const std::vector<double>& centre, const std::vector<double>& weight,
                          double offset, const Vector& parameters) {
  double sum = offset;
  for (int i = 1; i <= static_cast<int>(centre.size()); ++i) {
    const double d = parameters[i] - centre[static_cast<size_t>(i - 1)];
    sum += weight[static_cast<size_t>(i - 1)] * d * d;
  }
  return sum;
}

double QuadraticFormObjective(const std::vector<double>& centre,
                              const std::vector<double>& precision, double offset,
                              const Vector& parameters) {
  const int n = static_cast<int>(centre.size());
  double sum = offset;
  for (int i = 1; i <= n; ++i) {
    const double di = parameters[i] - centre[static_cast<size_t>(i - 1)];
    for (int j = 1; j <= n; ++j)
      sum += di * precision[static_cast<size_t>((i - 1) * n + (j - 1))] *
             (parameters[j] - centre[static_cast<size_t>(j - 1)]);
  }
  return sum;
}

double QuadraticModel::Evaluate(Vector& parameters, int) {
  if (recordVectors)
    vectorsSeen.emplace_back(parameters.begin(),
                             parameters.begin() + static_cast<long>(centre.size()));
  if (!precision.empty()) return QuadraticFormObjective(centre, precision, offset, parameters);
  return QuadraticObjective(centre, weight, offset, parameters);
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

void InitializeAndLoadQuadratic(Workbench& wb, int n) {
  InitializeQuadratic(wb, n);
  LoadQuadraticStart(wb);
}

}  // namespace estimetrix::testing
