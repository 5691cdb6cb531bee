#pragma once
// What the plot windows draw: arrays computed by the engine and the model,
// with the titles and axis texts they are shown under. The plot windows
// (plots/) draw these and nothing else; the runner writes them to files.

#include <string>
#include <vector>

namespace estimetrix {

// What a curve stands for, so that a plot can draw observations, the model's
// prediction, its parts and simulations each in their own way.
enum class SeriesRole {
  Plain,      // drawn in the window's chosen style
  Observed,   // counts as observed: points, or bars as drop lines
  Predicted,  // the prediction in total: a line
  Component,  // one part of the prediction (an instar): a thin line
  Simulated,  // simulated counts: open symbols
};

// One named curve of an X-Y plot; x and y have the same length.
struct XYSeries {
  std::string label;
  std::vector<double> x;
  std::vector<double> y;
  SeriesRole role = SeriesRole::Plain;
};

// An X-Y plot of model series (the results summary's increment, growth-curve
// and frequency plots): a title, the x axis text and the series a user
// chooses among.
struct XYPlot {
  std::string title;
  std::string xLabel;
  std::string yLabel;  // may be empty: the series' labels say what y is
  std::vector<XYSeries> series;
};

// Which one-parameter distribution the point arrays describe.
enum class DistributionKind {
  Posterior,   // Bayesian posterior (marginal) distribution
  Confidence,  // likelihood profile's confidence distribution
  Prior,       // a prior distribution's profile
};

// The point arrays of a posterior, a likelihood profile or a prior profile,
// all of one length P, with the values ascending.
struct DistributionPlot {
  DistributionKind kind = DistributionKind::Posterior;
  int parameter = 0;        // 1-based parameter number
  std::string description;  // the parameter's description (its units, if it names them)
  std::vector<double> values;           // the parameter's value at each point
  std::vector<double> minusLn;          // -ln values relative to the best point
  std::vector<double> pdf;              // normalised density
  std::vector<double> cumulative;       // ascending cumulative probability
  std::vector<double> modeCI;           // mode-centred confidence
  std::vector<double> meanCI;           // mean-centred confidence
  std::vector<double> normalReference;  // Gaussian density with the same mean and SE
  double maxLikelihoodValue = 0.0;      // the value at the best point (the mode for a prior)
  double expectedValue = 0.0;
};

// The joint density of two free parameters on a P x G grid.
struct BivariatePlot {
  int xParameter = 0;  // the evaluated parameter (P points)
  int yParameter = 0;  // the other free parameter (G points)
  std::string xDescription;
  std::string yDescription;
  std::vector<double> x;        // P values
  std::vector<double> y;        // G values
  std::vector<double> density;  // P x G, point i (0-based) and grid point j at i * G + j
  double largest = 0.0;         // the largest density and where it lies
  double largestX = 0.0;
  double largestY = 0.0;
};

}  // namespace estimetrix
