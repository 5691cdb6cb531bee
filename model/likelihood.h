#pragma once
// The steps of one evaluation of the Carapex likelihood. Each reads the
// configuration and data, writes the evaluation state and scratch arrays it
// is given, and may correct entries of the caller's vector (absolute values of
// negative proportions). None allocates.
//
// The floors and penalties below keep ordinary numbers usable. A NaN is never
// floored or read as "nothing": it reaches the objective, where the engine
// refuses it.

#include <cmath>

#include "engine/base/array.h"
#include "model/model_data.h"

namespace estimetrix {

// Every penalty is (excess)^2 times this.
constexpr double kPenaltyScale = 1e20;
inline double Squared(double x) {
  return x * x;
}

// Copies the growth, SD, correlation, measurement-error, selectivity and
// Weibull coefficients from the vector, then works out the mean and SD of
// instars 0..count. r is limited to [-1, 1], at a penalty, only when there
// are instars to grow (count > 0): without them nothing reads it.
void ComputeInstarGrowth(const Vector& values, int count, ModelState& state);

// A proportion that is not the by-difference marker: a negative one is
// penalised and made positive in the vector, one above 1 is penalised.
// Returns the value to use.
double CorrectProportion(Vector& values, int index, double& penalty);

// The Zeta proportions of the increment instars 1..count after the -1 rule.
void ComputeIncrementProportions(Vector& values, int count, ModelState& state);

// Cell probabilities, series proportions, normalisers and predicted frequencies.
void PredictFrequencies(Vector& values, const ModelData& data, ModelState& state, ModelWork& work);

// Occupied cells with (nearly) no prediction: penalised unless an instar
// lies within 5 SDs, then floored so that the G statistic stays finite.
void FloorLowPredictions(const ModelData& data, ModelState& state);

// The G statistic terms o ln(o/e) from FirstCell on, per series and in total.
void AddFrequencyTerms(const ModelData& data, ModelState& state);

// -ln L of the increment records under the instar mixture; adds the records'
// penalties to state.Penalty. Returns (and stores) the increment term.
double IncrementNegLogLikelihood(const Vector& values, const ModelData& data, ModelState& state,
                                 ModelWork& work);

// How many records and sizes the Gaussian increment loop works out at once:
// 4 where the processor has AVX2 and no limit is set, else 2. Either way the
// results are the same bit for bit; tests and benchmarks set the limit to
// compare the two.
int IncrementLanes();
void LimitIncrementLanes(int lanes);

}  // namespace estimetrix
