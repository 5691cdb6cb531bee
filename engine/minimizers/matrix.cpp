#include "engine/minimizers/matrix.h"

#include <cmath>
#include <string>

#include "engine/base/format.h"
#include "engine/state/workbench.h"
#include "platform/desktop.h"

namespace estimetrix {
namespace {

// A pivot that is exactly zero is replaced by this, so a singular matrix
// still decomposes; only an all-zero row is an error.
constexpr double kTinyPivot = 1E-20;

// The parameter index of free parameter `row`; the row itself when the matrix
// is larger than the current free list (it then is not a free-space matrix).
int ParameterOfRow(const Workbench& wb, int row) {
  const IntArray& index = wb.free.FreeIndex;
  if (row >= index.Lo() && row <= index.Hi()) return index[row];
  return row;
}

void ReportZeroRow(Workbench& wb, Desktop& desktop, int row) {
  const std::string title =
      "Matrix decompositon failure at parameter #" + IntText(ParameterOfRow(wb, row)) + "!";
  const std::string text =
      wb.state.MarquardtDerivatives == DerivativeChoice::Analytical
          ? "Look for statistically dead parameters and/or suspect your analytical derivatives"
          : "Look for statistically dead model parameters";
  desktop.Inform(title, text, Icon::Exclamation);
  wb.matrix.DecompositionFailed = true;
}

// Fills RowScale with 1 / (largest absolute element) of each row. False when
// a row is entirely zero (the failure has then been reported).
bool ScaleRows(Workbench& wb, Desktop& desktop, int n) {
  Matrix& a = wb.matrix.HessianMatrix;
  for (int i = 1; i <= n; ++i) {
    desktop.Yield();
    double big = 0.0;
    for (int j = 1; j <= n; ++j) {
      const double magnitude = std::fabs(a(i, j));
      if (magnitude > big) big = magnitude;
    }
    if (big == 0.0) {
      ReportZeroRow(wb, desktop, i);
      return false;
    }
    wb.matrix.RowScale[i] = 1.0 / big;
  }
  return true;
}

void SwapRows(Matrix& a, int r1, int r2, int n) {
  for (int k = 1; k <= n; ++k) std::swap(a(r1, k), a(r2, k));
}

// One column of Crout's method: the upper factor above the diagonal, the
// lower factor below it with the best scaled pivot moved onto the diagonal.
void DecomposeColumn(MatrixWork& m, int j, int n) {
  Matrix& a = m.HessianMatrix;
  for (int i = 1; i < j; ++i) {
    double sum = a(i, j);
    for (int k = 1; k < i; ++k) sum -= a(i, k) * a(k, j);
    a(i, j) = sum;
  }
  double big = 0.0;
  int imax = j;
  for (int i = j; i <= n; ++i) {
    double sum = a(i, j);
    for (int k = 1; k < j; ++k) sum -= a(i, k) * a(k, j);
    a(i, j) = sum;
    const double scaled = m.RowScale[i] * std::fabs(sum);
    if (scaled >= big) {  // ties go to the later row
      big = scaled;
      imax = i;
    }
  }
  if (imax != j) {
    SwapRows(a, imax, j, n);
    m.DeterminantValue = -m.DeterminantValue;
    m.RowScale[imax] = m.RowScale[j];
  }
  m.PivotIndex[j] = imax;
  if (j != n) {
    if (a(j, j) == 0.0) a(j, j) = kTinyPivot;
    const double inverse = 1.0 / a(j, j);
    for (int i = j + 1; i <= n; ++i) a(i, j) *= inverse;
  }
}

}  // namespace

void LuDecompose(Workbench& wb, Desktop& desktop, int n) {
  MatrixWork& m = wb.matrix;
  m.DeterminantValue = 1.0;
  if (!ScaleRows(wb, desktop, n)) return;
  for (int j = 1; j <= n; ++j) {
    desktop.Yield();
    DecomposeColumn(m, j, n);
  }
  if (n >= 1 && m.HessianMatrix(n, n) == 0.0) m.HessianMatrix(n, n) = kTinyPivot;
}

void LuSolve(Workbench& wb, Desktop& desktop, int n, int k, Matrix& b) {
  const Matrix& a = wb.matrix.HessianMatrix;
  const IntArray& pivot = wb.matrix.PivotIndex;
  // Forward pass, undoing the row interchanges; leading zeros of b are skipped.
  int first = 0;
  for (int i = 1; i <= n; ++i) {
    desktop.Yield();
    const int ip = pivot[i];
    double sum = b(ip, k);
    b(ip, k) = b(i, k);
    if (first != 0) {
      for (int j = first; j < i; ++j) sum -= a(i, j) * b(j, k);
    } else if (sum != 0.0) {
      first = i;
    }
    b(i, k) = sum;
  }
  for (int i = n; i >= 1; --i) {
    desktop.Yield();
    double sum = b(i, k);
    for (int j = i + 1; j <= n; ++j) sum -= a(i, j) * b(j, k);
    b(i, k) = sum / a(i, i);
  }
}

void InvertMatrix(Workbench& wb, Desktop& desktop, int n) {
  MatrixWork& m = wb.matrix;
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j) m.InverseWork(i, j) = i == j ? 1.0 : 0.0;
  m.DecompositionFailed = false;
  LuDecompose(wb, desktop, n);
  if (m.DecompositionFailed) return;
  // Starting from the parity, this is the determinant of the inverse.
  for (int i = 1; i <= n; ++i) m.DeterminantValue /= m.HessianMatrix(i, i);
  for (int k = 1; k <= n; ++k) LuSolve(wb, desktop, n, k, m.InverseWork);
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j) m.HessianMatrix(i, j) = m.InverseWork(i, j);
}

void CholeskyTest(Workbench& wb, int n, const IntArray& covarianceIndex) {
  MatrixWork& m = wb.matrix;
  Matrix& w = m.CholeskyWork;
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j) w(i, j) = m.HessianMatrix(i, j);
  m.NotPositiveDefinite = false;
  for (int i = 1; i <= n; ++i) {
    for (int j = i; j <= n; ++j) {
      double sum = w(i, j);
      for (int k = i - 1; k >= 1; --k) sum -= w(i, k) * w(j, k);
      if (i == j) {
        // "Not greater than 0" also catches a NaN sum.
        if (!(sum > 0.0)) {
          m.NotPositiveDefinite = true;
          const bool indexed = i >= covarianceIndex.Lo() && i <= covarianceIndex.Hi();
          m.FailingParameter = indexed ? covarianceIndex[i] : i;
          return;
        }
        m.CholeskyDiagonal[i] = std::sqrt(sum);
      } else {
        w(j, i) = sum / m.CholeskyDiagonal[i];
      }
    }
  }
}

}  // namespace estimetrix
