#pragma once
// The contract between the engine and a model. The engine sees a model only
// through MODEL and its mode flag NF:
//   NF = 0   initialise (fix N, describe the parameters, read the data)
//   NF >= 1  evaluate the objective (the running call number; 1 = first call of a run)
//   NF = -1  produce the results summary for the given vector
//   NF = -2  fill gradient and second derivatives analytically (if supported)
// The objective is a multiple of -ln[likelihood]; SuggestedLikelihoodConstant
// is the factor that turns it into -ln[likelihood] (0 when the model has none).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/base/array.h"

namespace estimetrix {

// One evaluation context of a model: its own working arrays over the model's
// configuration and data, which it only reads. Several evaluators on
// different threads evaluate different vectors at once. An evaluator shows no
// messages, touches no window and leaves the model's best-state snapshot
// alone; the engine keeps the model's data unchanged while evaluators exist.
class ModelEvaluator {
 public:
  virtual ~ModelEvaluator() = default;
  // The objective at `parameters`, exactly as MODEL with NF >= 1 computes it
  // (the vector may be rewritten as MODEL rewrites it). Must not allocate.
  virtual double Evaluate(Vector& parameters) = 0;
};

class PlotView;
class ReportView;

// What a results summary (NF = -1) needs beyond MODEL's arguments: where its
// report and plots go, the files the session uses, and the random seed.
struct SummaryContext {
  ReportView* reports = nullptr;  // the summary's report window (ReportKind::Summary)
  PlotView* plots = nullptr;      // the X-Y plot window
  std::string algorithmFilePath;
  std::string priorsFilePath;
  bool priorsActive = false;
  // The goodness-of-fit and simulation draws start from this seed; nullopt:
  // from the clock.
  std::optional<std::uint64_t> seed;
};

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
  // Called before each NF = -1 call; the pointers stay valid during that call.
  virtual void SetSummaryContext(const SummaryContext& /*context*/) {}

  // A new evaluator over the current configuration and data, or nullptr when
  // this model evaluates only through MODEL (the engine then stays serial).
  virtual std::unique_ptr<ModelEvaluator> NewEvaluator() const { return nullptr; }
  // After evaluators computed `objectives` (in the order MODEL would have
  // been called, with the call numbers `NFs`): the index of the evaluation at
  // which MODEL would have taken its last best-state snapshot, or -1 when it
  // would have taken none. The engine then evaluates that one vector through
  // MODEL again, so the snapshot is the one serial evaluation leaves.
  virtual int SnapshotIndex(const std::vector<double>& /*objectives*/,
                            const std::vector<int>& /*NFs*/) const {
    return -1;
  }
};

// A model written against a narrow face: MODEL dispatches on NF to the
// functions below, so a model only says what it computes.
class SimpleModel : public Model {
 public:
  void MODEL(double& objective, Vector& parameters, Vector& steps, StringArray& descriptions,
             StringArray& fuseCodes, int& parameterCount, int NF, int& observationCount,
             Vector& gradient, Matrix& secondDerivatives, int& sampleSize) override;

 protected:
  // NF = 0: fills `descriptions` 1..N and, if the model proposes starting
  // values, `values` 1..N (left empty, the values start at 0). False when the
  // model cannot start (its message shown); the caller's arrays are then left
  // as they were. On success the engine's steps are sized to N, all zero.
  virtual bool Initialize(StringArray& descriptions, Vector& values) = 0;
  // NF >= 1: the objective. May rewrite entries of the vector.
  virtual double Evaluate(Vector& parameters, int NF) = 0;
  // NF = -1: the results summary at the vector.
  virtual void ResultsSummary(Vector& /*parameters*/) {}
  // NF = -2: analytical first and second derivatives; the arrays arrive
  // sized N and N x N and zero-filled. Leaving them zero means "none".
  virtual void Derivatives(Vector& /*parameters*/, Vector& /*gradient*/, Matrix& /*second*/) {}
  // Reported through MODEL's arguments after every call when positive.
  virtual int ObservationCount() const { return 0; }
  virtual int SampleSize() const { return 0; }
};

}  // namespace estimetrix
