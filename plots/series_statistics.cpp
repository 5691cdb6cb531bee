#include "plots/series_statistics.h"

#include <algorithm>
#include <cmath>

namespace estimetrix {

SeriesStatistics DescribeSeries(const std::vector<double>& x, const std::vector<double>& y) {
  SeriesStatistics s;
  std::vector<double> xs, ys;
  size_t n = std::min(x.size(), y.size());
  for (size_t i = 0; i < n; ++i) {
    if (std::isfinite(x[i]) && std::isfinite(y[i])) {
      xs.push_back(x[i]);
      ys.push_back(y[i]);
    }
  }
  s.count = static_cast<int>(ys.size());
  if (s.count == 0) return s;

  // Two passes: means first, then centred sums, which keeps the moments
  // accurate when the values sit far from zero.
  double count = s.count;
  double meanX = 0.0, meanY = 0.0;
  for (int i = 0; i < s.count; ++i) {
    meanX += xs[i];
    meanY += ys[i];
  }
  meanX /= count;
  meanY /= count;
  s.mean = meanY;

  double sxx = 0.0, syy = 0.0, sxy = 0.0, sy3 = 0.0, sy4 = 0.0;
  for (int i = 0; i < s.count; ++i) {
    double dx = xs[i] - meanX, dy = ys[i] - meanY;
    sxx += dx * dx;
    syy += dy * dy;
    sxy += dx * dy;
    sy3 += dy * dy * dy;
    sy4 += dy * dy * dy * dy;
  }
  if (s.count >= 2) s.sd = std::sqrt(syy / (count - 1.0));
  if (sxx > 0.0 && syy > 0.0) s.correlation = sxy / std::sqrt(sxx * syy);
  double m2 = syy / count;
  if (m2 > 0.0) {
    s.skewness = (sy3 / count) / std::pow(m2, 1.5);
    s.kurtosis = (sy4 / count) / (m2 * m2) - 3.0;
  }
  return s;
}

}  // namespace estimetrix
