// The increment Pearson-deviates test and the unconditional increment
// simulation: both draw increments from the best model at each record's (or
// a simulated) initial size.

#include <algorithm>
#include <cmath>

#include "engine/base/format.h"
#include "model/distributions.h"
#include "model/goodness_of_fit.h"
#include "model/likelihood.h"
#include "model/parameter_layout.h"
#include "platform/desktop.h"

namespace estimetrix {

namespace {

constexpr double kFitWeightFloor = 1e-8;
constexpr double kQuotaFloor = 0.5e-20;  // half the record likelihood floor

double PredictedIncrement(const ModelState& state, double x) {
  double p = 0.0, power = 1.0;
  for (int j = 0; j < kBetaCount; ++j, power *= x) p += state.Beta[j] * power;
  return p;
}

double IncrementSDAt(const ModelState& state, double p) {
  return state.Tau[0] + state.Tau[1] * p + state.Tau[2] * p * p;
}

// The probability that an animal of size x (within 1%) is in instar k, as the
// likelihood weighs it.
double InstarWindowProbability(const ModelData& data, const ModelState& state, int k, double x) {
  const double mean = state.InstarMean[k], sd = state.InstarSD[k];
  const double z1 = (0.99 * x - mean) / sd;
  const double z2 = (1.01 * x - mean) / sd;
  if (!(z2 >= -5.0 && z1 <= 5.0)) return kFitWeightFloor;
  if (data.InstarDistribution == "N") return NormalIntervalProbability(z1, z2);
  if (data.InstarDistribution == "G")
    return GammaIntervalProbability(0.99 * x, x, 1.01 * x, mean, sd);
  return kFitWeightFloor;
}

}  // namespace

IncrementRecordModel BuildIncrementRecordModel(const ModelData& data, const ModelState& best,
                                               const Vector& bestValues) {
  const int records = data.IncrementRecordCount;
  const int instars = data.IncrementInstarCount;
  const int columns = std::max(instars, 1);
  const double errorFraction = 0.01 * std::fabs(bestValues[param::kPercentSE]);
  IncrementRecordModel model;
  model.cumulativeWeight.Resize(1, records, 1, columns, 1.0);
  model.mean.Resize(1, records, 1, columns, 0.0);
  model.variance.Resize(1, records, 1, columns, 0.0);
  for (int r = 1; r <= records; ++r) {
    const double x = data.InitialSize[r];
    const double p = PredictedIncrement(best, x);
    const double v = Squared(IncrementSDAt(best, p));
    double weightSum = 0.0;
    for (int k = 1; k <= columns; ++k) {
      double pk = p;
      if (instars > 0) {
        const double sd = best.InstarSD[k];
        if (sd > 0.0) pk = p + best.Omega * p * (x - best.InstarMean[k]) / sd;
        const double weight =
            InstarWindowProbability(data, best, k, x) * best.IncrementProportion[k];
        weightSum += weight;
        model.cumulativeWeight(r, k) = weightSum;
      }
      const double e = errorFraction == 0.0
                           ? 0.0
                           : Squared(errorFraction * (x + pk)) + Squared(errorFraction * x);
      model.mean(r, k) = pk;
      model.variance(r, k) = v + e;
    }
    if (instars > 0 && weightSum != 0.0) {
      for (int k = 1; k <= instars; ++k) model.cumulativeWeight(r, k) /= weightSum;
    }
  }
  return model;
}

int FirstUndrawableRecord(const ModelData& data, const IncrementRecordModel& model) {
  if (data.IncrementErrorDistribution != "G") return 0;
  const int instars = data.IncrementInstarCount;
  for (int r = 1; r <= data.IncrementRecordCount; ++r) {
    double below = 0.0;
    for (int k = 1; k <= std::max(instars, 1); ++k) {
      // Without increment instars column 1 is always drawn; with them an
      // instar of no weight at this size never is.
      const double weight = instars > 0 ? model.cumulativeWeight(r, k) - below : 1.0;
      if (instars > 0) below = model.cumulativeWeight(r, k);
      if (weight != 0.0 && !(model.mean(r, k) > 0.0)) return r;
    }
    // No instar with weight: the draw falls through to the last one.
    if (instars > 0 && below == 0.0 && !(model.mean(r, instars) > 0.0)) return r;
  }
  return 0;
}

std::string UndrawableIncrementText(int record) {
  return "The predicted increment of record " + IntText(record) +
         " is zero or less, so no gamma increment can be drawn for it";
}

double RecordPearsonDeviate(double recordTerm) {
  const double q = std::max(0.5 * std::exp(-recordTerm), kQuotaFloor);
  return Squared(1.0 - q) / q + (1.0 - q);
}

namespace {

// One simulated increment for record r.
double DrawIncrement(const ModelData& data, const IncrementRecordModel& model, int r,
                     UniformGenerator& uniform) {
  int k = 1;
  if (data.IncrementInstarCount > 0) {
    const double u = uniform.Next();
    while (k < data.IncrementInstarCount && u > model.cumulativeWeight(r, k)) ++k;
  }
  const double mean = model.mean(r, k), variance = model.variance(r, k);
  if (data.IncrementErrorDistribution == "G") return GammaDeviate(uniform, mean, variance);
  return mean + std::sqrt(variance) * NormalDeviatePair(uniform).first;
}

// Halved record likelihoods of the increments in `data` under the best state.
void RecordQuotas(const ModelData& data, const ModelState& best, const Vector& bestValues,
                  ModelWork& work, Vector& q) {
  ModelState state = best;
  IncrementNegLogLikelihood(bestValues, data, state, work);
  for (int r = 1; r <= data.IncrementRecordCount; ++r) {
    q[r] = std::max(0.5 * std::exp(-work.RecordTerm[r]), kQuotaFloor);
  }
}

double TwoCellStatistic(const Vector& q) {
  double x = 0.0;
  for (double value : q) x += Squared(1.0 - value) / value + (1.0 - value);
  return x;
}

}  // namespace

PearsonDeviates IncrementGoodnessOfFit(const ModelData& data, const ModelState& best,
                                       const Vector& bestValues, int randomizations,
                                       UniformGenerator& uniform, Desktop& desktop,
                                       std::string& report, Vector* lastSimulated) {
  PearsonDeviates test;
  test.randomizations = std::max(randomizations, 0);
  test.seed = uniform.Seed();
  const int records = data.IncrementRecordCount;
  ModelData simulated = data;  // its increments are replaced by each draw
  ModelWork work;
  work.Resize(data);
  Vector q(1, records, 0.0);
  RecordQuotas(data, best, bestValues, work, q);
  test.observed = TwoCellStatistic(q);
  const IncrementRecordModel model = BuildIncrementRecordModel(data, best, bestValues);
  if (const int undrawable = FirstUndrawableRecord(data, model); undrawable > 0) {
    // Gamma increments need a positive mean: report the data as invalid
    // rather than draw something else in their place.
    const std::string why = UndrawableIncrementText(undrawable);
    desktop.Inform("Warning: invalid data",
                   why +
                       ".\nThe increment goodness-of-fit randomizations were not run; "
                       "reassess the parameter values.",
                   Icon::Exclamation);
    report += "\nInvalid data: " + why + "; no randomizations were run.";
    test.randomizations = 0;
  }
  for (int j = 1; j <= test.randomizations; ++j) {
    desktop.SetStatus(StatusBar::Progress, 1,
                      "Pearson deviates: Calculating randomization # " + IntText(j) + " of " +
                          IntText(test.randomizations));
    desktop.Yield();
    for (int r = 1; r <= records; ++r)
      simulated.Increment[r] = DrawIncrement(data, model, r, uniform);
    RecordQuotas(simulated, best, bestValues, work, q);
    test.Add(TwoCellStatistic(q));
  }
  desktop.SetStatus(StatusBar::Progress, 1, "");
  if (lastSimulated != nullptr) {
    lastSimulated->Resize(1, test.randomizations > 0 ? records : 0, 0.0);
    for (int r = 1; r <= lastSimulated->Hi(); ++r) (*lastSimulated)[r] = simulated.Increment[r];
  }
  report += PearsonDeviatesBlock(test);
  return test;
}

}  // namespace estimetrix
