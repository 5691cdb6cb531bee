#pragma once
// The standard normal distribution function from the standard library's erfc,
// a reference that shares nothing with the program's own approximation.

#include <cmath>

namespace estimetrix::testing {

inline double NormalCdf(double z) {
  return 0.5 * std::erfc(-z / std::sqrt(2.0));
}

}  // namespace estimetrix::testing
