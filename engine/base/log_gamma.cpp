#include "engine/base/log_gamma.h"

#include <cmath>

namespace estimetrix {

namespace {

// The six-term series for x >= 1, written around y = x - 1.
double SeriesLogGamma(double x) {
  const double y = x - 1.0;
  const double series = 1.0 + 76.18009173 / (y + 1.0) - 86.50532033 / (y + 2.0) +
                        24.01409822 / (y + 3.0) - 1.231739516 / (y + 4.0) +
                        0.00120858003 / (y + 5.0) - 5.36382e-6 / (y + 6.0);
  return (y + 0.5) * std::log(y + 5.5) - (y + 5.5) + std::log(2.50662827465 * series);
}

}  // namespace

double LogGamma(double x) {
  if (x >= 1.0) return SeriesLogGamma(x);
  // Below 1 the series is poor: evaluate it at 2 - x and reflect.
  const double pi = 4.0 * std::atan(1.0);
  const double z = 1.0 - x;
  const double gammaTwoMinusX = std::exp(SeriesLogGamma(2.0 - x));
  return std::log(pi * z / (gammaTwoMinusX * std::sin(pi * z)));
}

}  // namespace estimetrix
