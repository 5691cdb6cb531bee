#pragma once
// The joint posterior density of two free parameters, from the log values
// the grid integration leaves.

#include <vector>

namespace estimetrix {

// The report's note when the densities had to be scaled.
inline constexpr const char* kScaledDensityNote =
    "Note: some bivariate densities would exceed the largest number a double can hold, so every "
    "density of the bivariate plot and grid file is divided by the largest (which reads 1).";

// Turns each log density t = -(V - V0) into the density exp(t). When any of
// them would overflow a double (a reference point far from the mode), every
// one becomes exp(t - largest t) instead, so the largest reads 1 and the
// ratios between cells stay exact, and the result is true. -infinity gives 0.
bool DensitiesFromLogs(std::vector<double>& grid);

}  // namespace estimetrix
