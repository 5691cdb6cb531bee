#pragma once
// An array's elements, first to last, as a vector that EXPECT_EQ can compare
// and print.

#include <vector>

#include "engine/base/array.h"

namespace estimetrix::testing {

template <class T>
std::vector<T> List(const Array1<T>& a) {
  return {a.begin(), a.end()};
}

}  // namespace estimetrix::testing
