#pragma once
// The seven plots of a one-parameter distribution, as the plot menu names
// them, each made into an X-Y plot of the arrays it draws. No Qt here.

#include <array>
#include <string>

#include "engine/state/plot_data.h"

namespace estimetrix {

enum class DistributionCurve {
  LikelihoodProfile = 1,  // values against -ln[L]
  Density,                // the distribution itself (PDF)
  ModeConfidence,         // mode-centred confidence region
  MeanConfidence,         // mean-centred confidence region
  AscendingCumulative,    // cumulative probability
  DescendingCumulative,   // 1 - cumulative
  GaussianReference,      // Gaussian with the same mean and SE, beside the PDF
};

inline constexpr std::array<DistributionCurve, 7> kDistributionCurves = {
    DistributionCurve::LikelihoodProfile,   DistributionCurve::Density,
    DistributionCurve::ModeConfidence,      DistributionCurve::MeanConfidence,
    DistributionCurve::AscendingCumulative, DistributionCurve::DescendingCumulative,
    DistributionCurve::GaussianReference};

// "Bayesian posterior distribution", "Confidence distribution",
// "Bayesian prior distribution".
std::string DistributionName(DistributionKind kind);

// The plot's name in the chooser and as its title, such as
// "Mode-centered confidence region"; plot 2 is named for the kind.
std::string CurveName(DistributionKind kind, DistributionCurve curve);

// The plot's part of a file name, such as "mode-confidence".
std::string CurveStem(DistributionCurve curve);

// The file name stem of one plot: "<kind>-parameter-<n>-<plot>", the kind
// being "posterior", "confidence" or "prior".
std::string DistributionFileStem(const DistributionPlot& plot, DistributionCurve curve);

// "Parameter 3: <description>" (just "Parameter 3" without a description).
std::string ParameterAxisText(int parameter, const std::string& description);

// The curves of one plot, over the parameter's values. An array shorter
// than the values is drawn as far as it goes.
XYPlot DistributionCurves(const DistributionPlot& plot, DistributionCurve curve);

// The labels of the two marked estimates, with their values.
std::string MaxLikelihoodMarkText(const DistributionPlot& plot);
std::string ExpectedValueMarkText(const DistributionPlot& plot);

}  // namespace estimetrix
