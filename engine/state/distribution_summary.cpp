#include "engine/state/distribution_summary.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "engine/base/format.h"

namespace estimetrix {

namespace {

// Simpson's weight of one pair of intervals of width h.
double PairArea(double left, double middle, double right, double h) {
  return (left + 4.0 * middle + right) * 2.0 * h / 6.0;
}

// The confidence column centred on point c: the probability between point k
// and the centre, as a share of the side k lies on.
void CentredConfidence(const Vector& cumulative, int c, Vector& column) {
  const double below = cumulative[c];
  const double above = 1.0 - below;
  for (int k = column.Lo(); k <= column.Hi(); ++k) {
    double value = 0.0;
    if (k < c && below > 0.0) value = (below - cumulative[k]) / below;
    if (k > c && above > 0.0) value = (cumulative[k] - below) / above;
    column[k] = value;
  }
}

const char* const kValueFormat = "0.0000E+000   ";

std::string ValueField(double value) { return RightJustify(FormatNumber(value, kValueFormat), 15); }

std::vector<double> ToStd(const Vector& v) { return std::vector<double>(v.begin(), v.end()); }

}  // namespace

void DistributionSummary(DistributionPoints& points, int referencePoint, double step) {
  const int count = points.Count();
  if (count < 1 || referencePoint < 1 || referencePoint > count) return;
  const int r = referencePoint;
  const double h = step;
  const Vector& x = points.ProfileValues;
  Vector& v = points.ProfileObjectives;
  for (Vector* column : {&points.PointPdf, &points.PointCumulative, &points.ModeCI,
                         &points.MeanCI, &points.NormalReference})
    column->Resize(1, count, 0.0);

  // Values relative to the best point, and their likelihoods.
  const double best = v[r];
  for (int k = 1; k <= count; ++k) v[k] = (k == r) ? 0.0 : v[k] - best;
  Vector& f = points.PointPdf;
  for (int k = 1; k <= count; ++k) f[k] = std::exp(-v[k]);

  // Area and first two moments by Simpson's rule over pairs of intervals.
  double area = 0.0, moment1 = 0.0, moment2 = 0.0;
  for (int k = 1; k + 2 <= count; k += 2) {
    area += PairArea(f[k], f[k + 1], f[k + 2], h);
    moment1 += PairArea(x[k] * f[k], x[k + 1] * f[k + 1], x[k + 2] * f[k + 2], h);
    moment2 += PairArea(x[k] * x[k] * f[k], x[k + 1] * x[k + 1] * f[k + 1],
                        x[k + 2] * x[k + 2] * f[k + 2], h);
  }
  // A curve without area (every point underflowed, or a single point) has
  // no moments: its mean is the best point and its SE 0.
  const bool hasArea = area > 0.0 && std::isfinite(area);
  const double mean = hasArea ? moment1 / area : x[r];
  const double variance = hasArea ? moment2 / area - mean * mean : 0.0;
  const double se = variance >= 0.0 ? std::sqrt(variance) : 0.0;

  int nearest = 1;
  for (int k = 2; k <= count; ++k)
    if (std::fabs(x[k] - mean) < std::fabs(x[nearest] - mean)) nearest = k;

  if (hasArea)
    for (int k = 1; k <= count; ++k) f[k] /= area;
  if (se > 0.0) {
    const double scale = std::sqrt(2.0 * std::numbers::pi) * se;
    for (int k = 1; k <= count; ++k) {
      const double z = x[k] - mean;
      points.NormalReference[k] = std::exp(-z * z / (2.0 * se * se)) / scale;
    }
  }

  // Cumulative probability: the odd points by Simpson's rule from the first,
  // the even ones likewise from a rectangle under the second. Both are capped
  // at 1: on a coarse grid the rectangle overshoots, and a cumulative above 1
  // would print a negative attenuated probability.
  Vector& c = points.PointCumulative;
  c[1] = f[1] * h;
  for (int k = 3; k <= count; k += 2)
    c[k] = std::min(1.0, c[k - 2] + PairArea(f[k - 2], f[k - 1], f[k], h));
  if (count >= 2) c[2] = std::min(1.0, c[1] + f[2] * h);
  for (int k = 4; k <= count; k += 2)
    c[k] = std::min(1.0, c[k - 2] + PairArea(f[k - 2], f[k - 1], f[k], h));

  CentredConfidence(c, r, points.ModeCI);
  CentredConfidence(c, nearest, points.MeanCI);

  points.BestPoint = r;
  points.MaxLikelihoodValue = x[r];
  points.ExpectedValue = mean;
  points.Difference = points.MaxLikelihoodValue - mean;
  points.StandardError = se;
}

std::string PointTableReport(const std::string& title, const DistributionPoints& points,
                             PointTableColumns columns) {
  const bool prior = columns == PointTableColumns::Prior;
  std::string text = title + "\n\n";
  text += prior ? "  Point       Value         -ln[L]           PDF        Cumulative     "
                  "Attenuated     Normal PDF\n"
                : "  Point       Value         -ln[L]           PDF        CI on mode     "
                  "CI on mean     Normal PDF\n";
  auto at = [](const Vector& column, int k) {
    return k >= column.Lo() && k <= column.Hi() ? column[k] : 0.0;
  };
  for (int k = 1; k <= points.Count(); ++k) {
    const double fifth = prior ? at(points.PointCumulative, k) : at(points.ModeCI, k);
    const double sixth = prior ? 1.0 - at(points.PointCumulative, k) : at(points.MeanCI, k);
    text += RightJustify(FormatNumber(k, "##0"), 5) + "    " +
            ValueField(points.ProfileValues[k]) + ValueField(at(points.ProfileObjectives, k)) +
            ValueField(at(points.PointPdf, k)) + ValueField(fifth) + ValueField(sixth) +
            ValueField(at(points.NormalReference, k)) + "\n";
  }
  const double mean = points.ExpectedValue;
  text += "\n";
  text += "Max Likelihood: " + ValueField(points.MaxLikelihoodValue) + "\n";
  text += "Expected Value: " + ValueField(mean) + "\n";
  text += "Estimated Diff: " + ValueField(points.Difference) + "\n";
  // -1: no reliable value, as every report marks one (a mean of 0).
  const double percent = mean != 0.0 ? 100.0 * points.Difference / mean : -1.0;
  text += "Percent Diff:   " + ValueField(percent) + "\n";
  text += "Estimated SE:   " + ValueField(points.StandardError) + "\n";
  return text;
}

DistributionPlot DistributionPlotOf(const DistributionPoints& points, DistributionKind kind,
                                    const std::string& description) {
  DistributionPlot plot;
  plot.kind = kind;
  plot.parameter = points.EvaluatedParameter;
  plot.description = description;
  plot.values = ToStd(points.ProfileValues);
  plot.minusLn = ToStd(points.ProfileObjectives);
  plot.pdf = ToStd(points.PointPdf);
  plot.cumulative = ToStd(points.PointCumulative);
  plot.modeCI = ToStd(points.ModeCI);
  plot.meanCI = ToStd(points.MeanCI);
  plot.normalReference = ToStd(points.NormalReference);
  plot.maxLikelihoodValue = points.MaxLikelihoodValue;
  plot.expectedValue = points.ExpectedValue;
  return plot;
}

}  // namespace estimetrix
