#pragma once
// What the covariance computation keeps between runs and commands.

#include "engine/array.h"

namespace estimetrix {

struct CovarianceState {
  // Sizes the arrays for a model of n parameters (called at model initialisation).
  void Resize(int n) { (void)n; }
};

}  // namespace estimetrix
