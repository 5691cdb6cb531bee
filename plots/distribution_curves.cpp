#include "plots/distribution_curves.h"

#include <algorithm>

#include "engine/base/format.h"

namespace estimetrix {

std::string DistributionName(DistributionKind kind) {
  switch (kind) {
    case DistributionKind::Posterior: return "Bayesian posterior distribution";
    case DistributionKind::Confidence: return "Confidence distribution";
    case DistributionKind::Prior: return "Bayesian prior distribution";
  }
  return "Distribution";
}

std::string CurveName(DistributionKind kind, DistributionCurve curve) {
  switch (curve) {
    case DistributionCurve::LikelihoodProfile: return "Likelihood profile";
    case DistributionCurve::Density: return DistributionName(kind);
    case DistributionCurve::ModeConfidence: return "Mode-centered confidence region";
    case DistributionCurve::MeanConfidence: return "Mean-centered confidence region";
    case DistributionCurve::AscendingCumulative: return "Ascending cumulative probability";
    case DistributionCurve::DescendingCumulative: return "Descending cumulative probability";
    case DistributionCurve::GaussianReference: return "Mode-centered Gaussian distribution";
  }
  return "Plot";
}

std::string CurveStem(DistributionCurve curve) {
  switch (curve) {
    case DistributionCurve::LikelihoodProfile: return "likelihood-profile";
    case DistributionCurve::Density: return "density";
    case DistributionCurve::ModeConfidence: return "mode-confidence";
    case DistributionCurve::MeanConfidence: return "mean-confidence";
    case DistributionCurve::AscendingCumulative: return "ascending-cumulative";
    case DistributionCurve::DescendingCumulative: return "descending-cumulative";
    case DistributionCurve::GaussianReference: return "gaussian-reference";
  }
  return "plot";
}

std::string DistributionFileStem(const DistributionPlot& plot, DistributionCurve curve) {
  const char* kind = "posterior";
  if (plot.kind == DistributionKind::Confidence) kind = "confidence";
  if (plot.kind == DistributionKind::Prior) kind = "prior";
  return std::string(kind) + "-parameter-" + IntText(plot.parameter) + "-" + CurveStem(curve);
}

std::string ParameterAxisText(int parameter, const std::string& description) {
  std::string text = "Parameter " + IntText(parameter);
  return description.empty() ? text : text + ": " + description;
}

namespace {

XYSeries Curve(const std::string& label, const std::vector<double>& x,
               const std::vector<double>& y) {
  size_t n = std::min(x.size(), y.size());
  return {label, std::vector<double>(x.begin(), x.begin() + n),
          std::vector<double>(y.begin(), y.begin() + n)};
}

}  // namespace

XYPlot DistributionCurves(const DistributionPlot& plot, DistributionCurve curve) {
  XYPlot xy;
  xy.title = CurveName(plot.kind, curve);
  xy.xLabel = ParameterAxisText(plot.parameter, plot.description);
  const std::vector<double>& x = plot.values;
  switch (curve) {
    case DistributionCurve::LikelihoodProfile:
      xy.yLabel = "-ln[L] relative to the best point";
      xy.series.push_back(Curve("-ln[L]", x, plot.minusLn));
      break;
    case DistributionCurve::Density:
      xy.yLabel = "Probability density";
      xy.series.push_back(Curve("PDF", x, plot.pdf));
      break;
    case DistributionCurve::ModeConfidence:
      xy.yLabel = "Confidence";
      xy.series.push_back(Curve("CI on mode", x, plot.modeCI));
      break;
    case DistributionCurve::MeanConfidence:
      xy.yLabel = "Confidence";
      xy.series.push_back(Curve("CI on mean", x, plot.meanCI));
      break;
    case DistributionCurve::AscendingCumulative:
      xy.yLabel = "Cumulative probability";
      xy.series.push_back(Curve("Cumulative", x, plot.cumulative));
      break;
    case DistributionCurve::DescendingCumulative: {
      xy.yLabel = "1 - cumulative probability";
      std::vector<double> attenuated;
      for (double c : plot.cumulative) attenuated.push_back(1.0 - c);
      xy.series.push_back(Curve("Attenuated (1 - cumulative)", x, attenuated));
      break;
    }
    case DistributionCurve::GaussianReference:
      xy.yLabel = "Probability density";
      xy.series.push_back(Curve("Gaussian with the same mean and SE", x, plot.normalReference));
      xy.series.push_back(Curve("PDF", x, plot.pdf));
      break;
  }
  return xy;
}

namespace {

std::string MarkValue(double value) {
  return FormatNumber(value, "0.0000E+00");
}

}  // namespace

std::string MaxLikelihoodMarkText(const DistributionPlot& plot) {
  // A prior profile's best point is the prior's mode.
  std::string name = plot.kind == DistributionKind::Prior ? "Mode" : "Maximum likelihood";
  return name + ": " + MarkValue(plot.maxLikelihoodValue);
}

std::string ExpectedValueMarkText(const DistributionPlot& plot) {
  return "Expected value: " + MarkValue(plot.expectedValue);
}

}  // namespace estimetrix
