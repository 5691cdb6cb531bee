#pragma once
// A small model for the engine's tests: the objective is
//   sum_i weight_i * (x_i - centre_i)^2 + offset
// over N parameters, with counters for every mode flag it is called with.

#include <memory>
#include <string>
#include <vector>

#include "engine/state/model.h"
#include "engine/state/workbench.h"

namespace estimetrix::testing {

class QuadraticModel : public SimpleModel {
 public:
  explicit QuadraticModel(int n, double offset = 0.0);

  // Records the flag, then dispatches.
  void MODEL(double& objective, Vector& parameters, Vector& steps, StringArray& descriptions,
             StringArray& fuseCodes, int& parameterCount, int NF, int& observationCount,
             Vector& gradient, Matrix& secondDerivatives, int& sampleSize) override;
  std::string Name() const override { return "Quadratic"; }
  double SuggestedLikelihoodConstant() const override { return 0.5; }
  // Evaluators only when `parallel` is set: the engine's serial tests count
  // every call the model sees.
  std::unique_ptr<ModelEvaluator> NewEvaluator() const override;

  std::vector<double> centre;
  std::vector<double> weight;
  // When set (N x N, row-major): the objective is (x - centre)' A (x - centre)
  // + offset with this A instead of the weighted sum of squares.
  std::vector<double> precision;
  double offset;
  std::vector<int> flagsSeen;                    // every NF, in order
  std::vector<std::vector<double>> vectorsSeen;  // every evaluated vector (NF >= 1)
  int observations = 0;  // reported through the observation-count argument when > 0
  bool parallel = false;
  bool recordVectors = true;  // off for long runs that would fill vectorsSeen

 protected:
  bool Initialize(StringArray& descriptions, Vector& values) override;
  double Evaluate(Vector& parameters, int NF) override;
  int ObservationCount() const override { return observations; }
};

// sum_i weight_i * (x_i - centre_i)^2 + offset.
double QuadraticObjective(const std::vector<double>& centre, const std::vector<double>& weight,
                          double offset, const Vector& parameters);
// (x - centre)' A (x - centre) + offset, A row-major N x N.
double QuadraticFormObjective(const std::vector<double>& centre,
                              const std::vector<double>& precision, double offset,
                              const Vector& parameters);

// As "Initialize model" leaves a workbench, with a quadratic model of n parameters.
void InitializeQuadratic(Workbench& wb, int n);
// As a successful load then leaves it: values 0.5 i, steps 0.1, a file name.
void LoadQuadraticStart(Workbench& wb);
// Both, one after the other.
void InitializeAndLoadQuadratic(Workbench& wb, int n);

}  // namespace estimetrix::testing
