#include "plots/plot_checks.h"

#include <cmath>

#include "engine/base/format.h"

namespace estimetrix {

std::string DistributionProblem(const DistributionPlot& plot) {
  if (plot.values.empty()) return "the distribution has no points";
  for (double v : plot.values)
    if (!std::isfinite(v)) return "a parameter value is not a finite number";
  return std::string();
}

std::string BivariateProblem(const BivariatePlot& plot) {
  if (plot.x.size() < 2 || plot.y.size() < 2)
    return "the grid needs at least two points in each direction";
  if (plot.density.size() != plot.x.size() * plot.y.size())
    return "the grid has " + IntText(static_cast<long long>(plot.density.size())) +
           " densities instead of " + IntText(static_cast<long long>(plot.x.size())) + " x " +
           IntText(static_cast<long long>(plot.y.size()));
  for (double v : plot.x)
    if (!std::isfinite(v)) return "a parameter value is not a finite number";
  for (double v : plot.y)
    if (!std::isfinite(v)) return "a parameter value is not a finite number";
  if (plot.x.front() == plot.x.back() || plot.y.front() == plot.y.back())
    return "the grid has no extent";
  return std::string();
}

}  // namespace estimetrix
