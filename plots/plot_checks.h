#pragma once
// Whether plot data can be drawn at all. A window keeps what it shows and the
// file writer writes nothing when these name a problem.

#include <string>

#include "engine/state/plot_data.h"

namespace estimetrix {

// Empty when the distribution can be drawn, else why not.
std::string DistributionProblem(const DistributionPlot& plot);

// Empty when the density grid can be drawn, else why not.
std::string BivariateProblem(const BivariatePlot& plot);

}  // namespace estimetrix
