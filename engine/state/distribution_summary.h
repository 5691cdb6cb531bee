#pragma once
// One parameter's distribution on a line of P points, shared by the Bayesian
// posterior, the likelihood profile and the prior profile: the -ln values
// become a normalised density, a cumulative distribution, mode- and
// mean-centred confidence columns and a Gaussian reference density, with the
// expected value and its standard error. Also the report table all three
// print, and the arrays the distribution plot window draws.

#include <string>

#include "engine/base/array.h"
#include "engine/state/plot_data.h"

namespace estimetrix {

struct DistributionPoints {
  Vector ProfileValues;      // 1..P: the parameter's value at each point, ascending
  Vector ProfileObjectives;  // -ln values; relative to the best point after the summary
  Vector PointPdf;
  Vector PointCumulative;
  Vector ModeCI;
  Vector MeanCI;
  Vector NormalReference;
  int EvaluatedParameter = 0;
  int BestPoint = 0;                // the point with the smallest -ln value
  double MaxLikelihoodValue = 0.0;  // ProfileValues at BestPoint
  double ExpectedValue = 0.0;
  double Difference = 0.0;          // MaxLikelihoodValue - ExpectedValue
  double StandardError = 0.0;

  int Count() const { return ProfileValues.Size(); }
  void Resize(int points) {
    for (Vector* column : {&ProfileValues, &ProfileObjectives, &PointPdf, &PointCumulative,
                           &ModeCI, &MeanCI, &NormalReference})
      column->Resize(1, points, 0.0);
  }
};

// Fills the density, cumulative, confidence and reference columns and the
// moments from ProfileValues and ProfileObjectives, with `referencePoint` the
// best point and `step` (> 0) the spacing of the points.
void DistributionSummary(DistributionPoints& points, int referencePoint, double step);

// The columns after "Value" and "-ln[L]": a posterior or profile shows the
// confidence columns, a prior profile the cumulative and attenuated ones.
enum class PointTableColumns { Confidence, Prior };

// The report: `title`, an empty line, the header, one line per point, an
// empty line and the five summary lines ("Max Likelihood: " ... "Estimated
// SE:   "). Every line ends with "\n".
std::string PointTableReport(const std::string& title, const DistributionPoints& points,
                             PointTableColumns columns);

// The arrays the distribution plot window draws.
DistributionPlot DistributionPlotOf(const DistributionPoints& points, DistributionKind kind,
                                    const std::string& description);

}  // namespace estimetrix
