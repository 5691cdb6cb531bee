#pragma once
// Contours of a density on a rectangular grid: the highest-density levels
// that enclose given shares of the total, and the lines where the density
// crosses a level (marching squares).

#include <vector>

namespace estimetrix {

// For each fraction f in (0, 1], the density level d such that the grid cells
// with density >= d hold at least f of the total density (cells sorted by
// density, largest first, and accumulated). Non-finite and negative cells
// count as 0. A grid without positive density gives NaN levels.
std::vector<double> HighestDensityLevels(const std::vector<double>& density,
                                         const std::vector<double>& fractions);

struct ContourPoint {
  double x = 0.0;
  double y = 0.0;
};
using ContourLine = std::vector<ContourPoint>;

// The lines along which the density crosses `level`, with the density of
// grid point (i, j) at density[i * y.size() + j] (x[i], y[j]). Crossings are
// placed on the cell edges by linear interpolation; the segments are joined
// into polylines (a closed line ends at its first point). Cells with a
// non-finite corner are skipped; a density of the wrong size gives no lines.
std::vector<ContourLine> ContourLines(const std::vector<double>& x, const std::vector<double>& y,
                                      const std::vector<double>& density, double level);

}  // namespace estimetrix
