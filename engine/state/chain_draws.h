#pragma once
// The draws of the last Markov chain run, kept so that they can be saved
// and plotted after the command: every kept draw of every chain, the free
// parameters' values and the objective there.

#include <cstddef>
#include <string>
#include <vector>

#include "engine/base/array.h"

namespace estimetrix {

struct ChainDrawTable {
  IntArray parameters;  // 1..d: the free parameters' indices, in free-list order
  int chains = 0;
  int draws = 0;  // kept draws per chain
  // Chain-major; each draw holds d parameter values, then the objective.
  std::vector<double> values;

  int Dimension() const { return parameters.Size(); }
  bool Empty() const { return chains == 0 || draws == 0; }
  // Chain c (0-based), draw i (0-based), column j: 0..d-1 a parameter, d the objective.
  double At(int c, int i, int j) const {
    const size_t width = static_cast<size_t>(Dimension()) + 1;
    return values[(static_cast<size_t>(c) * static_cast<size_t>(draws) + static_cast<size_t>(i)) *
                      width +
                  static_cast<size_t>(j)];
  }
};

}  // namespace estimetrix
