#pragma once
// The working arrays of the dense-matrix routines: the Hessian they work on in
// place, the factors and the flags through which they report failure.

#include "engine/base/array.h"

namespace estimetrix {

struct MatrixWork {
  Matrix HessianMatrix;  // 1..N x 1..N
  Matrix InverseWork;
  IntArray PivotIndex;
  Vector RowScale;
  double DeterminantValue = 1.0;
  bool DecompositionFailed = false;
  Matrix CholeskyWork;
  Vector CholeskyDiagonal;
  bool NotPositiveDefinite = false;
  int FailingParameter = 0;

  // Sizes every array to N (the model's parameter count), filled with zeros.
  void Resize(int n);
};

}  // namespace estimetrix
