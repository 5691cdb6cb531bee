#pragma once
// Dense-matrix routines shared by the Marquardt minimizer and the covariance
// calculator. They work in place on HessianMatrix and report failure through
// the flags of MatrixWork (matrix_work.h), not through return values.

#include "engine/base/array.h"

namespace estimetrix {

class Desktop;
struct Workbench;

// Crout LU decomposition with implicit partial pivoting of the leading n x n
// block of wb.matrix.HessianMatrix. An all-zero row fails with a message naming
// the free parameter (wb.free.FreeIndex) and sets DecompositionFailed = 1.
void LuDecompose(Workbench& wb, Desktop& desktop, int n);

// Solves A x = b for column k of b, with A's factors from the last LuDecompose(n).
void LuSolve(Workbench& wb, Desktop& desktop, int n, int k, Matrix& b);

// Inverts the leading n x n block in place; DeterminantValue becomes the
// determinant of the inverse. Returns at once when the decomposition fails.
void InvertMatrix(Workbench& wb, Desktop& desktop, int n);

// Positive-definiteness test of the leading n x n block by Cholesky
// decomposition of a copy. On failure NotPositiveDefinite = 1 and
// FailingParameter = covarianceIndex[row].
void CholeskyTest(Workbench& wb, int n, const IntArray& covarianceIndex);

}  // namespace estimetrix
