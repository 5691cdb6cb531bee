#include "engine/state/matrix_work.h"

namespace estimetrix {

void MatrixWork::Resize(int n) {
  HessianMatrix.Resize(1, n, 1, n, 0.0);
  InverseWork.Resize(1, n, 1, n, 0.0);
  PivotIndex.Resize(1, n, 0);
  RowScale.Resize(1, n, 0.0);
  CholeskyWork.Resize(1, n, 1, n, 0.0);
  CholeskyDiagonal.Resize(1, n, 0.0);
  DeterminantValue = 1.0;
  DecompositionFailed = false;
  NotPositiveDefinite = false;
  FailingParameter = 0;
}

}  // namespace estimetrix
