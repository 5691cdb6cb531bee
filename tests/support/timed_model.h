#pragma once
// Wraps a model so that a benchmark can tell the model's own work from the
// minimizer's bookkeeping around it. Clocks around every call would cost as
// much as a small model's evaluation, and recording every vector costs memory
// traffic of its own, so the wrapper only counts the evaluations and keeps the
// last vector; SecondsPerCall then times repeated evaluations of that vector in
// a tight loop. Model time = calls x seconds per call. Times are processor
// time of the thread: on a busy machine wall time mostly measures the other
// programs.

#include <time.h>

#include <memory>
#include <utility>

#include "engine/state/model.h"

namespace estimetrix::testing {

class TimedModel : public Model {
 public:
  explicit TimedModel(std::unique_ptr<Model> inner) : inner_(std::move(inner)) {}

  void MODEL(double& objective, Vector& parameters, Vector& steps, StringArray& descriptions,
             StringArray& fuseCodes, int& parameterCount, int NF, int& observationCount,
             Vector& gradient, Matrix& secondDerivatives, int& sampleSize) override {
    if (NF >= 1) ++evaluations_;
    inner_->MODEL(objective, parameters, steps, descriptions, fuseCodes, parameterCount, NF,
                  observationCount, gradient, secondDerivatives, sampleSize);
    if (NF >= 1) {
      last_ = parameters;  // reuses its storage: no allocation once sized
      // The engine passes the algorithm data's own arrays, which outlive the run.
      steps_ = &steps;
      descriptions_ = &descriptions;
      fuseCodes_ = &fuseCodes;
    }
  }
  std::string Name() const override { return inner_->Name(); }
  double SuggestedLikelihoodConstant() const override {
    return inner_->SuggestedLikelihoodConstant();
  }
  std::string DataFileName() const override { return inner_->DataFileName(); }
  bool InitializationSucceeded() const override { return inner_->InitializationSucceeded(); }

  // Processor time of the calling thread, in seconds.
  static double ThreadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1E-9 * static_cast<double>(now.tv_nsec);
  }

  Model& Inner() { return *inner_; }
  long long Evaluations() const { return evaluations_; }

  // Processor seconds of one evaluation of the last vector, averaged over at
  // least `repeats` evaluations and at least 20 ms. Call it while the
  // workbench whose arrays the last evaluation used still exists.
  double SecondsPerCall(int repeats = 100) {
    if (!steps_) return 0.0;
    Vector gradient;
    Matrix second;
    int observations = 0, sampleSize = 0, n = last_.Size();
    double objective = 0.0;
    long long done = 0;
    Vector parameters = last_;
    const double start = ThreadSeconds();
    double elapsed = 0.0;
    // The clock is read once per batch: reading it costs about as much as a
    // small model's evaluation.
    while (done < repeats || elapsed < 0.02) {
      for (int batch = 0; batch < 64; ++batch, ++done) {
        parameters = last_;  // the model may rewrite entries
        inner_->MODEL(objective, parameters, *steps_, *descriptions_, *fuseCodes_, n, 2,
                      observations, gradient, second, sampleSize);
      }
      elapsed = ThreadSeconds() - start;
    }
    return elapsed / static_cast<double>(done);
  }

 private:
  std::unique_ptr<Model> inner_;
  long long evaluations_ = 0;
  Vector last_;
  Vector* steps_ = nullptr;
  StringArray* descriptions_ = nullptr;
  StringArray* fuseCodes_ = nullptr;
};

}  // namespace estimetrix::testing
