// The Pearson-deviates tests and the frequency-sample draw.

#include "model/goodness_of_fit.h"

#include <algorithm>
#include <cmath>

#include "engine/base/format.h"
#include "model/distributions.h"
#include "model/likelihood.h"
#include "model/parameter_layout.h"
#include "platform/desktop.h"

namespace estimetrix {

namespace {

std::string RandomizationStatus(int j, int count) {
  return "Pearson deviates: Calculating randomization # " + IntText(j) + " of " + IntText(count);
}

// Running sums of the expected values over firstCell-1..lastCell; a cell
// expected at 0 or less (or NaN) takes no share of the draws.
Vector Cumulative(int lastCell, int firstCell, const Vector& expected) {
  Vector cum(firstCell - 1, lastCell, 0.0);
  for (int i = firstCell; i <= lastCell; ++i)
    cum[i] = cum[i - 1] + (expected[i] > 0.0 ? expected[i] : 0.0);
  return cum;
}

// The cell i with cum(i-1) <= v < cum(i); rounding at the top end falls to
// the last cell that has a share.
int DrawCell(const Vector& cum, int lastCell, int firstCell, double v) {
  const double* begin = &cum[firstCell];
  const double* end = begin + (lastCell - firstCell + 1);
  const double* at = std::upper_bound(begin, end, v);
  if (at == end) at = std::lower_bound(begin, end, cum[lastCell]);
  return firstCell + static_cast<int>(at - begin);
}

// A multinomial sample of round(seriesTotal) individuals over the tested
// cells, each cell with the probability expected(i) / sum of expected: the
// distribution of the observed counts of a series of that total when the
// model is right. The expected values need not add to the series total
// (mass the model puts outside the tested cells is simply not drawn).
void DrawSample(const Vector& cum, int lastCell, int firstCell, double seriesTotal,
                UniformGenerator& uniform, Vector& counts) {
  counts.Fill(0.0);
  if (lastCell < firstCell) return;
  const double total = cum[lastCell];
  if (!(total > 0.0) || !std::isfinite(total)) return;  // nothing to draw from
  const long long n = std::llround(std::nearbyint(seriesTotal));
  for (long long d = 0; d < n; ++d) {
    counts[DrawCell(cum, lastCell, firstCell, uniform.Next() * total)] += 1.0;
  }
}

double PearsonStatistic(int lastCell, int firstCell, const Vector& counts, const Vector& expected) {
  double x = 0.0;
  for (int i = firstCell; i <= lastCell; ++i) {
    if (expected[i] > 0.0) x += Squared(counts[i] - expected[i]) / expected[i];
  }
  return x;
}

std::string Fixed(double value, const std::string& pattern, bool defined) {
  return defined ? FormatNumber(value, pattern) : " Undefined";
}

}  // namespace

std::string PearsonDeviatesBlock(const PearsonDeviates& test) {
  const int r = test.randomizations;
  const bool any = r > 0;
  const double mean = any ? test.sum / r : 0.0;
  const double variance = any ? test.sumOfSquares / r - mean * mean : 0.0;
  const double p = any ? static_cast<double>(test.exceedCount) / r : 0.0;
  const double se = r > 1 ? std::sqrt(p * (1.0 - p) / (r - 1)) : 0.0;
  std::string block = "\n";
  block +=
      "Reference: the Pearson deviates test is a parametric bootstrap of Pearson's chi-square "
      "statistic (Efron, B. and Tibshirani, R.J. 1993. An Introduction to the Bootstrap. "
      "Chapman & Hall, New York).\n";
  block += "Random seed for the randomizations and simulations: " + std::to_string(test.seed) + "\n";
  block +=
      "You can reject the above fit if the cumulative p[Pearson deviates] is outside your "
      "acceptance range (e.g., 0.025 < p < 0.975)\n";
  block += "Simulated Pearson deviates> n:" + FormatNumber(r, " ###0") +
           "; Mean:" + Fixed(mean, " ###0.000", any) +
           "; SD:" + Fixed(std::sqrt(std::max(variance, 0.0)), " ###0.000", any && variance > 0.0) +
           "; Minimum:" + Fixed(test.minimum, " ###0.000", any) +
           "; Maximum:" + Fixed(test.maximum, " ###0.000", any) + "\n";
  block += "Observed Pearson deviates>" + FormatNumber(test.observed, " ###0.000") +
           "; Cumulative p[Pearson deviates]:" + Fixed(p, " #0.000", any) +
           "; SE cumulative p[Pearson deviates]:" + Fixed(se, " #0.000", any) + "\n";
  block +=
      "A very small value for cumulative p[Pearson-deviates] (e.g., < 0.025) when n is large "
      "suggests the model under-fits the data (fits too poorly)\n";
  block +=
      "A very large value for cumulative p[Pearson-deviates] (e.g., > 0.975) when n is large "
      "suggests the model over-fits  the data (fits too well)";
  return block;
}

Vector SeriesRow(const Matrix& bySeriesAndCell, int series, int lastCell) {
  Vector row(1, lastCell, 0.0);
  for (int i = 1; i <= lastCell; ++i) row[i] = bySeriesAndCell(series, i);
  return row;
}

void SimulateFrequencySample(int lastCell, int firstCell, double seriesTotal,
                             const Vector& expected, UniformGenerator& uniform, IntArray& counts) {
  counts.Resize(1, lastCell, 0);
  if (lastCell < firstCell) return;
  const Vector cum = Cumulative(lastCell, firstCell, expected);
  Vector drawn(1, lastCell, 0.0);
  DrawSample(cum, lastCell, firstCell, seriesTotal, uniform, drawn);
  for (int i = 1; i <= lastCell; ++i) counts[i] = static_cast<int>(drawn[i]);
}

PearsonDeviates FrequencyGoodnessOfFit(int lastCell, int firstCell, const Vector& observed,
                                       const Vector& expected, double seriesTotal,
                                       int randomizations, UniformGenerator& uniform,
                                       Desktop& desktop, std::string& report) {
  PearsonDeviates test;
  test.randomizations = std::max(randomizations, 0);
  test.seed = uniform.Seed();
  const Vector cum = Cumulative(lastCell, firstCell, expected);
  test.observed = PearsonStatistic(lastCell, firstCell, observed, expected);
  for (int i = firstCell; i <= lastCell; ++i) {
    if (observed[i] > 0.0 && expected[i] <= 0.0) test.veryUnlikely = true;
  }
  Vector counts(1, std::max(lastCell, 0), 0.0);
  for (int j = 1; j <= test.randomizations; ++j) {
    desktop.SetStatus(StatusBar::Progress, 1, RandomizationStatus(j, test.randomizations));
    desktop.Yield();
    DrawSample(cum, lastCell, firstCell, seriesTotal, uniform, counts);
    test.Add(PearsonStatistic(lastCell, firstCell, counts, expected));
  }
  desktop.SetStatus(StatusBar::Progress, 1, "");
  if (test.veryUnlikely) {
    desktop.Inform("Very unlikely observation(s)",
                   "At least one frequency cell with an observed value > 0 has a predicted value "
                   "of 0.\nTherefore the Pearson deviates probability is seriously overestimated. "
                   "Don't trust it!");
  }
  report += PearsonDeviatesBlock(test);
  return test;
}

Matrix UnflooredPredictions(const ModelData& data, const ModelState& best,
                            const Vector& bestValues) {
  ModelState state = best;
  ModelWork work;
  work.Resize(data);
  Vector values = bestValues;
  PredictFrequencies(values, data, state, work);
  return state.PredictedFrequency;
}

PearsonDeviates FrequencyGoodnessOfFit(const ModelData& data, const Matrix& predicted, int series,
                                       int randomizations, UniformGenerator& uniform,
                                       Desktop& desktop, std::string& report) {
  return FrequencyGoodnessOfFit(data.CellCount, data.FirstCell,
                                SeriesRow(data.ObservedFrequency, series, data.CellCount),
                                SeriesRow(predicted, series, data.CellCount),
                                data.SeriesTotal[series], randomizations, uniform, desktop, report);
}

}  // namespace estimetrix
