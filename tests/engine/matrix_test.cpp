#include "engine/minimizers/matrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <vector>

#include "engine/state/workbench.h"
#include "platform/scripted_desktop.h"

namespace estimetrix {
namespace {

class MatrixTest : public ::testing::Test {
 protected:
  // Puts rows into the leading block of HessianMatrix (work arrays sized to 4).
  void Load(std::initializer_list<std::vector<double>> rows) {
    wb.matrix.Resize(4);
    int i = 0;
    for (const auto& row : rows) {
      ++i;
      for (size_t j = 0; j < row.size(); ++j) H(i, static_cast<int>(j) + 1) = row[j];
    }
    n = i;
  }
  double& H(int i, int j) { return wb.matrix.HessianMatrix(i, j); }

  Workbench wb;
  ScriptedDesktop desktop;
  int n = 0;
};

TEST_F(MatrixTest, InverseOfDiagonalAndItsDeterminant) {
  Load({{2, 0}, {0, 4}});
  InvertMatrix(wb, desktop, n);
  EXPECT_FALSE(wb.matrix.DecompositionFailed);
  EXPECT_DOUBLE_EQ(H(1, 1), 0.5);
  EXPECT_DOUBLE_EQ(H(2, 2), 0.25);
  EXPECT_DOUBLE_EQ(H(1, 2), 0.0);
  EXPECT_DOUBLE_EQ(wb.matrix.DeterminantValue, 0.125);
  EXPECT_TRUE(desktop.Transcript().empty());
}

TEST_F(MatrixTest, ZeroPivotIsCuredByOneRowInterchange) {
  Load({{0, 1}, {1, 0}});
  InvertMatrix(wb, desktop, n);
  EXPECT_FALSE(wb.matrix.DecompositionFailed);
  EXPECT_DOUBLE_EQ(wb.matrix.DeterminantValue, -1.0);
  EXPECT_EQ(wb.matrix.PivotIndex[1], 2);
  EXPECT_DOUBLE_EQ(H(1, 1), 0.0);
  EXPECT_DOUBLE_EQ(H(1, 2), 1.0);
  EXPECT_DOUBLE_EQ(H(2, 1), 1.0);
  EXPECT_DOUBLE_EQ(H(2, 2), 0.0);
}

TEST_F(MatrixTest, SingularMatrixDecomposesWithATinyPivot) {
  Load({{1, 2}, {2, 4}});
  wb.matrix.DecompositionFailed = false;
  LuDecompose(wb, desktop, n);
  EXPECT_FALSE(wb.matrix.DecompositionFailed);
  EXPECT_DOUBLE_EQ(H(2, 2), 1E-20);
  EXPECT_TRUE(desktop.Transcript().empty());
}

TEST_F(MatrixTest, ZeroRowNamesTheFreeParameterAndTheSuspectedCause) {
  wb.free.FreeIndex = IntArray(1, 2, 0);
  wb.free.FreeIndex[1] = 3;
  wb.free.FreeIndex[2] = 7;
  Load({{1, 2}, {0, 0}});
  desktop.ExpectMessage("Matrix decompositon failure at parameter #7!");
  wb.matrix.DecompositionFailed = false;
  LuDecompose(wb, desktop, n);
  EXPECT_TRUE(wb.matrix.DecompositionFailed);
  ASSERT_EQ(desktop.Transcript().size(), 1u);
  EXPECT_EQ(desktop.Transcript()[0].text, "Look for statistically dead model parameters");
  EXPECT_EQ(desktop.Transcript()[0].icon, Icon::Exclamation);

  wb.state.MarquardtDerivatives = DerivativeChoice::Analytical;
  Load({{0, 0}, {1, 2}});
  desktop.ExpectMessage("Matrix decompositon failure at parameter #3!");
  LuDecompose(wb, desktop, n);
  ASSERT_EQ(desktop.Transcript().size(), 2u);
  EXPECT_EQ(desktop.Transcript()[1].text,
            "Look for statistically dead parameters and/or suspect your analytical derivatives");
  EXPECT_TRUE(desktop.Failures().empty());
}

TEST_F(MatrixTest, InverseOfAGeneralMatrixTimesTheMatrixIsTheIdentity) {
  const std::vector<std::vector<double>> a = {{4, -2, 1}, {3, 6, -4}, {2, 1, 8}};
  Load({a[0], a[1], a[2]});
  InvertMatrix(wb, desktop, n);
  ASSERT_FALSE(wb.matrix.DecompositionFailed);
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) {
      double sum = 0;
      for (int k = 1; k <= 3; ++k) sum += a[i - 1][k - 1] * H(k, j);
      EXPECT_NEAR(sum, i == j ? 1.0 : 0.0, 1E-14);
    }
  // det(a) = 263, so the inverse's determinant is 1/263.
  EXPECT_NEAR(wb.matrix.DeterminantValue, 1.0 / 263.0, 1E-16);
}

TEST_F(MatrixTest, SolveSkipsLeadingZerosOfTheRightHandSide) {
  Load({{2, 1, 0}, {1, 3, 1}, {0, 1, 4}});
  LuDecompose(wb, desktop, n);
  Matrix b(3, 2, 0.0);
  b(3, 2) = 9.0;  // column 2 = (0, 0, 9)
  LuSolve(wb, desktop, n, 2, b);
  // Exact solution of the system for (0, 0, 9).
  const double x1 = 0.5, x2 = -1.0, x3 = 2.5;
  EXPECT_NEAR(b(1, 2), x1, 1E-14);
  EXPECT_NEAR(b(2, 2), x2, 1E-14);
  EXPECT_NEAR(b(3, 2), x3, 1E-14);
  EXPECT_DOUBLE_EQ(b(1, 1), 0.0);  // other columns untouched
}

TEST_F(MatrixTest, CholeskyNamesTheFailingCovarianceRowAndLeavesTheMatrix) {
  IntArray covarianceIndex(1, 2, 0);
  covarianceIndex[1] = 4;
  covarianceIndex[2] = 9;
  Load({{1, 2}, {2, 1}});
  CholeskyTest(wb, n, covarianceIndex);
  EXPECT_TRUE(wb.matrix.NotPositiveDefinite);
  EXPECT_EQ(wb.matrix.FailingParameter, 9);

  Load({{4, 2}, {2, 3}});
  CholeskyTest(wb, n, covarianceIndex);
  EXPECT_FALSE(wb.matrix.NotPositiveDefinite);
  EXPECT_DOUBLE_EQ(H(1, 1), 4);
  EXPECT_DOUBLE_EQ(H(1, 2), 2);
  EXPECT_DOUBLE_EQ(H(2, 1), 2);
  EXPECT_DOUBLE_EQ(H(2, 2), 3);
  EXPECT_DOUBLE_EQ(wb.matrix.CholeskyDiagonal[1], 2.0);
  EXPECT_DOUBLE_EQ(wb.matrix.CholeskyDiagonal[2], std::sqrt(2.0));
}

}  // namespace
}  // namespace estimetrix
