#pragma once
// Carapex: the built-in multi-series size-frequency and moult-increment model
// of crustacean growth by instar. Returns -2 ln[likelihood] plus penalties.

#include <memory>
#include <string>
#include <vector>

#include "engine/state/model.h"
#include "model/carapex_setup.h"
#include "model/model_data.h"

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
  // Kept for the next NF = -1 call (the results summary).
  void SetSummaryContext(const SummaryContext& context) override { summaryContext_ = context; }
  // An evaluator over this model's data; nullptr before a successful
  // initialisation.
  std::unique_ptr<ModelEvaluator> NewEvaluator() const override;
  // A snapshot is taken at NF = 1 or below the best objective so far; on a
  // tie the earlier evaluation keeps it.
  int SnapshotIndex(const std::vector<double>& objectives,
                    const std::vector<int>& NFs) const override;

  // The configuration and data of the last successful initialisation.
  const ModelData& Data() const { return data_; }
  // What the latest evaluation derived from its vector.
  const ModelState& State() const { return state_; }
  const ModelWork& Work() const { return work_; }
  // The best-state snapshot: the state (with its frequency and increment
  // terms doubled), the vector and the objective it was taken at.
  const ModelState& Best() const { return best_; }
  const Vector& BestValues() const { return bestValues_; }
  double BestObjective() const { return bestObjective_; }
  bool Initialized() const { return initialized_; }

 private:
  void Initialize(Vector& parameters, Vector& steps, StringArray& descriptions,
                  int& parameterCount);
  bool ReadConfiguration(ModelData& fresh);
  bool ReadDataFiles(ModelData& fresh);
  void EvaluateModel(double& objective, Vector& values, int NF);
  void CheckProportions(const Vector& values);
  void TakeSnapshot(double objective, const Vector& values);

  Desktop* desktop_;
  CarapexSetup setup_;
  ModelData data_;
  ModelState state_;
  ModelWork work_;
  ModelState best_;
  Vector bestValues_;
  double bestObjective_ = 0.0;
  double likelihoodConstant_ = 0.0;
  bool initialized_ = false;
  bool lastInitializationSucceeded_ = true;
  SummaryContext summaryContext_;
};

}  // namespace estimetrix
