#include "engine/bayesian/bivariate_density.h"

#include <algorithm>
#include <cmath>

namespace estimetrix {

bool DensitiesFromLogs(std::vector<double>& grid) {
  if (grid.empty()) return false;
  const double largest = *std::max_element(grid.begin(), grid.end());
  const bool scale = std::isfinite(largest) && !std::isfinite(std::exp(largest));
  const double shift = scale ? largest : 0.0;
  for (double& t : grid) t = std::exp(t - shift);
  return scale;
}

}  // namespace estimetrix
