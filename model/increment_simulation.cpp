// Unconditional increments simulated from the best model: an instar drawn by
// its increment proportion, a pre-moult size within it, an increment at that
// size, and measurement errors on both sizes.

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "engine/base/format.h"
#include "model/goodness_of_fit.h"
#include "model/likelihood.h"
#include "model/parameter_layout.h"
#include "platform/desktop.h"

namespace estimetrix {

namespace {

struct SimulatedRecord {
  double size = 0.0;  // pre-moult, without measurement error
  double sizeError = 0.0;
  double measuredSize = 0.0;
  double increment = 0.0;  // unconditional, without measurement error
  double postMoultError = 0.0;
  double measuredIncrement = 0.0;
  std::string undrawable;  // why a gamma value could not be drawn (empty: drawn)
};

// A measured value of `value` whose error has SD `sd`: Gaussian errors use
// `normal`, gamma errors a gamma deviate around the value.
double Measured(bool gamma, double value, double sd, double normal, UniformGenerator& uniform) {
  if (gamma) return GammaDeviate(uniform, value, sd * sd);
  return value + normal * sd;
}

SimulatedRecord SimulateRecord(const ModelState& best, const Vector& cumulative, bool gamma,
                               double errorFraction, UniformGenerator& uniform) {
  int l = cumulative.Lo();
  const double u = uniform.Next();
  while (l < cumulative.Hi() && u > cumulative[l]) ++l;
  SimulatedRecord rec;
  const double mean = best.InstarMean[l], sd = best.InstarSD[l];
  // Gamma values are positive: a mean of 0 or less has none to draw.
  if (gamma && !(mean > 0.0)) {
    rec.undrawable = "The mean size of instar " + IntText(l) +
                     " is zero or less, so no gamma pre-moult size can be drawn for it";
    return rec;
  }
  const auto pair = NormalDeviatePair(uniform);
  rec.size = gamma ? GammaDeviate(uniform, mean, sd * sd) : mean + sd * pair.first;
  rec.measuredSize = Measured(gamma, rec.size, errorFraction * rec.size, pair.second, uniform);
  rec.sizeError = rec.measuredSize - rec.size;

  double p = 0.0, power = 1.0;
  for (int j = 0; j < kBetaCount; ++j, power *= rec.size) p += best.Beta[j] * power;
  const double s = best.Tau[0] + best.Tau[1] * p + best.Tau[2] * p * p;
  if (gamma && !(p > 0.0)) {
    rec.undrawable = "The predicted increment at a simulated pre-moult size of " +
                     GeneralNumber(rec.size) +
                     " is zero or less, so no gamma increment can be drawn for it";
    return rec;
  }
  rec.increment = gamma ? GammaDeviate(uniform, p, s * s) : p + s * NormalDeviate(uniform);

  const double postMoult = rec.size + rec.increment;
  const double normal = gamma ? 0.0 : NormalDeviate(uniform);
  const double measuredPost =
      Measured(gamma, postMoult, errorFraction * postMoult, normal, uniform);
  rec.postMoultError = measuredPost - postMoult;
  rec.measuredIncrement = measuredPost - rec.measuredSize;
  return rec;
}

std::string TableRow(int number, const SimulatedRecord& rec) {
  std::string row = RightJustify(FormatNumber(number, "#0"), 6);
  const double values[] = {rec.size,      rec.sizeError,      rec.measuredSize,
                           rec.increment, rec.postMoultError, rec.measuredIncrement};
  const int widths[] = {12, 12, 12, 14, 12, 10};
  for (int c = 0; c < 6; ++c)
    row += "," + RightJustify(FormatNumber(values[c], "###0.00"), widths[c]);
  return row;
}

}  // namespace

void SimulateIncrements(const ModelData& data, const ModelState& best, const Vector& bestValues,
                        int count, UniformGenerator& uniform, Desktop& desktop,
                        std::string& report) {
  const int instars = data.IncrementInstarCount;
  if (instars <= 0 || count <= 0) return;
  count = std::min(count, kMaxSimulatedIncrements);
  const bool gamma = data.IncrementErrorDistribution == "G";
  const double errorFraction = 0.01 * std::fabs(bestValues[param::kPercentSE]);
  Vector cumulative(1, instars, 0.0);
  double sum = 0.0;
  for (int l = 1; l <= instars; ++l) cumulative[l] = sum += best.IncrementProportion[l];

  std::vector<SimulatedRecord> records;
  records.reserve(static_cast<size_t>(count));
  bool negativeSize = false, negativeIncrement = false;
  for (int n = 1; n <= count; ++n) {
    desktop.SetStatus(StatusBar::Progress, 1,
                      "Simulating increment # " + IntText(n) + " of " + IntText(count));
    desktop.Yield();
    records.push_back(SimulateRecord(best, cumulative, gamma, errorFraction, uniform));
    if (!records.back().undrawable.empty()) {
      desktop.SetStatus(StatusBar::Progress, 1, "");
      desktop.Inform("Warning: invalid data",
                     records.back().undrawable +
                         ".\nNo increments were simulated; reassess the parameter values.",
                     Icon::Exclamation);
      report +=
          "\n\nInvalid data: " + records.back().undrawable + "; no increments were simulated.";
      return;
    }
    negativeSize = negativeSize || records.back().size < 0.0;
    negativeIncrement = negativeIncrement || records.back().increment < 0.0;
  }
  if (negativeSize) {
    desktop.Inform("Warning: invalid data",
                   "At least one simulated pre-moult size (without measurement error) is less "
                   "than zero; consider using a gamma error distribution!",
                   Icon::Exclamation);
  }
  if (negativeIncrement) {
    desktop.Inform("Warning: invalid data",
                   "At least one simulated increment (without measurement error) is less than "
                   "zero; consider using a gamma error distribution!",
                   Icon::Exclamation);
  }
  desktop.SetStatus(StatusBar::Progress, 1, "One moment please...");
  report += "\n\nSimulated increment data :";
  report +=
      "\n      ,     Initial, Measurement,     Initial, Unconditional, Measurement, Simulated";
  report +=
      "\n      , (Pre-moult),       Error,        size,     Simulated,       Error, Increment";
  report +=
      "\nNumber,        Size,     with ME,     with ME,     Increment,        (ME),   with ME";
  for (int n = 1; n <= count; ++n)
    report += "\n" + TableRow(n, records[static_cast<size_t>(n - 1)]);
  desktop.SetStatus(StatusBar::Progress, 1, "");
}

}  // namespace estimetrix
