#pragma once
// One evaluation of the Carapex objective over the model's configuration and
// data, into working arrays the caller owns. The model's own serial path and
// the evaluators that run side by side on worker threads share it.

#include <memory>

#include "engine/state/model.h"
#include "model/model_data.h"

namespace estimetrix {

// -2 ln[likelihood] plus penalties at `values`, computed into `state` and
// `work` (sized for `data`). Rewrites the magnitude parameters and corrected
// proportions in `values` as MODEL does. Shows nothing, allocates nothing,
// and takes no snapshot. NaN when `values` is not a vector of this model.
double EvaluateCarapex(const ModelData& data, Vector& values, ModelState& state, ModelWork& work);

// An evaluator with its own state and scratch arrays over a model's data,
// which must stay unchanged (no re-initialisation) while the evaluator lives.
class CarapexEvaluator : public ModelEvaluator {
 public:
  explicit CarapexEvaluator(const ModelData& data);
  double Evaluate(Vector& parameters) override;

  const ModelState& State() const { return state_; }

 private:
  const ModelData& data_;
  ModelState state_;
  ModelWork work_;
};

}  // namespace estimetrix
