#pragma once
// Calibration of the Pearson-deviates tests under their own null: data sets
// drawn from a known model, each tested against that same model, and the
// spread of the p-values they give. A test that can do its job gives p-values
// near uniform on (0, 1); one whose randomisations come from the wrong
// distribution bunches them.
//
// The null data are drawn with the standard library's own distributions
// (std::discrete_distribution, std::gamma_distribution,
// std::normal_distribution) on a seeded std::mt19937_64, never with the
// routines under test, so that a fault in those routines cannot hide itself.
// Shared by tests/model/goodness_of_fit_calibration_test.cpp and
// bench/calibration_bench.cpp.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "model/goodness_of_fit.h"
#include "model/parameter_layout.h"
#include "platform/scripted_desktop.h"

namespace estimetrix::testing {

// The p-values of one calibration (one per simulated data set).
struct Calibration {
  std::vector<double> p;

  double ShareBelow(double level) const {
    if (p.empty()) return 0.0;
    const auto below = std::count_if(p.begin(), p.end(), [&](double v) { return v < level; });
    return static_cast<double>(below) / static_cast<double>(p.size());
  }
  // The Kolmogorov-Smirnov distance sup |F_n(t) - t| from the uniform
  // distribution on (0, 1).
  double UniformDistance() const {
    std::vector<double> x = p;
    std::sort(x.begin(), x.end());
    const double n = static_cast<double>(x.size());
    double d = 0.0;
    for (size_t i = 0; i < x.size(); ++i) {
      d = std::max({d, x[i] - static_cast<double>(i) / n, static_cast<double>(i + 1) / n - x[i]});
    }
    return d;
  }
};

// A series of round(total) individuals drawn over cells firstCell..lastCell
// with probabilities proportional to the expected values (cells expected at
// 0 or less get none): the observed counts of a series when the model is
// right. Returned over cells 1..lastCell.
inline Vector NullFrequencySample(int lastCell, int firstCell, const Vector& expected, double total,
                                  std::mt19937_64& engine) {
  std::vector<double> weights;
  for (int i = firstCell; i <= lastCell; ++i) weights.push_back(std::max(expected[i], 0.0));
  std::discrete_distribution<int> cell(weights.begin(), weights.end());
  Vector counts(1, lastCell, 0.0);
  const long long n = std::llround(total);
  for (long long k = 0; k < n; ++k) counts[firstCell + cell(engine)] += 1.0;
  return counts;
}

// Increments drawn at every record's initial size from a model without
// increment instars: mean p = sum Beta j x^j, variance the square of
// Tau 0 + Tau 1 p + Tau 2 p^2 plus the measurement-error variance of the
// pre- and post-moult sizes; gamma or Gaussian as the data say.
inline void NullIncrements(const ModelData& data, const ModelState& best, const Vector& values,
                           std::mt19937_64& engine, Vector& increments) {
  const double f = 0.01 * std::fabs(values[param::kPercentSE]);
  const bool gamma = data.IncrementErrorDistribution == "G";
  for (int r = 1; r <= data.IncrementRecordCount; ++r) {
    const double x = data.InitialSize[r];
    double p = 0.0, power = 1.0;
    for (int j = 0; j < kBetaCount; ++j, power *= x) p += best.Beta[j] * power;
    const double sd = best.Tau[0] + best.Tau[1] * p + best.Tau[2] * p * p;
    const double variance =
        sd * sd + (f == 0.0 ? 0.0 : (f * (x + p)) * (f * (x + p)) + (f * x) * (f * x));
    if (gamma) {
      std::gamma_distribution<double> draw(p * p / variance, variance / p);
      increments[r] = draw(engine);
    } else {
      std::normal_distribution<double> draw(p, std::sqrt(variance));
      increments[r] = draw(engine);
    }
  }
}

// The test's cumulative p (NaN when no randomisation ran).
inline double PValue(const PearsonDeviates& test) {
  if (test.randomizations <= 0) return std::nan("");
  return static_cast<double>(test.exceedCount) / test.randomizations;
}

// `sets` null series of one frequency series, each tested with
// `randomizations` randomisations against `expected`.
inline Calibration CalibrateFrequencyTest(int lastCell, int firstCell, const Vector& expected,
                                          double seriesTotal, int sets, int randomizations,
                                          std::uint64_t seed) {
  std::mt19937_64 engine(seed);
  UniformGenerator uniform(seed + 1);
  ScriptedDesktop desktop;
  Calibration calibration;
  for (int k = 0; k < sets; ++k) {
    const Vector observed = NullFrequencySample(lastCell, firstCell, expected, seriesTotal, engine);
    std::string report;
    calibration.p.push_back(
        PValue(FrequencyGoodnessOfFit(lastCell, firstCell, observed, expected, seriesTotal,
                                      randomizations, uniform, desktop, report)));
  }
  return calibration;
}

// `sets` null increment data sets at the records' initial sizes, each tested
// with `randomizations` randomisations against the model (no increment
// instars).
inline Calibration CalibrateIncrementTest(const ModelData& data, const ModelState& best,
                                          const Vector& values, int sets, int randomizations,
                                          std::uint64_t seed) {
  std::mt19937_64 engine(seed);
  UniformGenerator uniform(seed + 1);
  ScriptedDesktop desktop;
  ModelData simulated = data;
  Calibration calibration;
  for (int k = 0; k < sets; ++k) {
    NullIncrements(data, best, values, engine, simulated.Increment);
    std::string report;
    calibration.p.push_back(PValue(
        IncrementGoodnessOfFit(simulated, best, values, randomizations, uniform, desktop, report)));
  }
  return calibration;
}

}  // namespace estimetrix::testing
