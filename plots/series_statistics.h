#pragma once
// Descriptive statistics of one plotted series, shown under the X-Y plot.
// Points where x or y is not finite are left out; a statistic that cannot be
// computed from what is left is NaN.

#include <limits>
#include <vector>

namespace estimetrix {

struct SeriesStatistics {
  static constexpr double kNotComputed = std::numeric_limits<double>::quiet_NaN();
  int count = 0;                      // the finite (x, y) pairs used
  double correlation = kNotComputed;  // Pearson correlation of x and y
  double mean = kNotComputed;         // mean of y
  double sd = kNotComputed;           // standard deviation of y (n - 1 divisor)
  double skewness = kNotComputed;     // m3 / m2^1.5 of y (moments about the mean, n divisor)
  double kurtosis = kNotComputed;     // excess kurtosis of y: m4 / m2^2 - 3 (0 for a Gaussian)
};

SeriesStatistics DescribeSeries(const std::vector<double>& x, const std::vector<double>& y);

}  // namespace estimetrix
