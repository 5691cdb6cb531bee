#pragma once
// The exact gradient and Hessian of the Carapex objective (MODEL with
// NF = -2), by forward-mode automatic differentiation of the templated
// likelihood (likelihood_template.h).

#include <vector>

#include "engine/base/array.h"
#include "model/model_data.h"

namespace estimetrix {

// The parameters the derivatives are taken with respect to. A fuse follower
// moves with its group's first member (the engine's leader), so it shares
// that member's variable: the derivatives reported at the leader are those of
// the whole group.
struct DerivativeVariables {
  std::vector<int> variableOf;  // per parameter 1..N (entry 0 unused): variable 0..m-1, or -1
  std::vector<int> leader;      // per variable: the parameter its derivatives are reported at
  int Count() const { return static_cast<int>(leader.size()); }
};

// The free parameters (non-zero steps) with their fuse followers, or every
// parameter when none has a step. The engine reads derivatives only at free
// parameters, and each further variable costs time in every operation.
DerivativeVariables ChooseDerivativeVariables(int parameterCount, const Vector& steps,
                                              const StringArray& fuseCodes);

// The objective at `values`, as MODEL with NF >= 1 computes it, with its first
// and second derivatives with respect to `variables`, written at the leaders'
// entries of `gradient` (1..N) and `second` (1..N by 1..N); every other
// entry is 0. Both arrays are sized here. `values` is not changed.
double CarapexDerivatives(const ModelData& data, const Vector& values,
                          const DerivativeVariables& variables, Vector& gradient, Matrix& second);

// The templated objective evaluated with plain numbers.
double TemplatedObjective(const ModelData& data, const Vector& values);

}  // namespace estimetrix
