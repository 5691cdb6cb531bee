#pragma once
// The NIST reference problems for nonlinear least squares as models: each
// objective is a problem's residual sum of squares, so a minimizer's result
// can be compared with the certified estimates.

#include <optional>
#include <string>
#include <vector>

#include "engine/state/model.h"

namespace estimetrix::testing {

struct NistProblem {
  std::string name;        // "Misra1a"
  std::string difficulty;  // "Lower", "Average" or "Higher"
  int parameterCount = 0;
  std::vector<double> start1, start2;
  std::vector<double> certified, certifiedSd;
  double certifiedRss = 0.0;
  std::vector<double> y;
  std::vector<std::vector<double>> x;  // predictors of each observation
  int ObservationCount() const { return static_cast<int>(y.size()); }
};

// Reads a problem file: header, starting values, certified values and data.
// nullopt when the file cannot be read, is not laid out as expected, or names
// a problem whose model is not known here.
std::optional<NistProblem> LoadNistProblem(const std::string& path);

// The names of all 27 problems, in NIST's order of difficulty.
const std::vector<std::string>& NistProblemNames();

// Number of correct significant digits of an estimate (the log relative
// error, capped at 11, the digits certified); 0 when not even the first is right.
double CorrectDigits(double estimate, double certified);

class NistModel : public SimpleModel {
 public:
  explicit NistModel(NistProblem problem);

  std::string Name() const override { return problem_.name; }

  const NistProblem& Problem() const { return problem_; }
  // Objective evaluations made so far (NF >= 1).
  long long Evaluations() const { return evaluations_; }

  // The residual sum of squares at b (b[0] is b1).
  double ResidualSumOfSquares(const double* b) const;

 protected:
  // Starts at the problem's first starting point.
  bool Initialize(StringArray& descriptions, Vector& values) override;
  double Evaluate(Vector& parameters, int NF) override;
  int ObservationCount() const override { return problem_.ObservationCount(); }

 private:
  using Prediction = double (*)(const double* b, const std::vector<double>& x);

  NistProblem problem_;
  Prediction prediction_ = nullptr;
  bool logResponse_ = false;  // Nelson models log[y]
  long long evaluations_ = 0;
};

}  // namespace estimetrix::testing
