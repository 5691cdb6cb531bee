#pragma once
// A posterior grid that follows the covariance of the estimates. At each
// point of the evaluated parameter the grid of the other free parameters is
// centred on their conditional mean given that point (the regression on the
// evaluated parameter) and laid along their conditional covariance: the
// Cholesky factor L of that covariance maps a regular grid of G points per
// axis over +-3.5 standard units to parameter space. The conditional
// covariance does not depend on the point, so every cell has the same volume
// and the sums of different points stay comparable.

#include <string>
#include <vector>

#include "engine/base/array.h"

namespace estimetrix {

struct Workbench;

class AlignedGrid {
 public:
  // Most grid parameters an aligned grid takes.
  static constexpr int kMostParameters = 16;

  // Lays the grid of `others` (parameter indices 1..m) from covariance grid
  // `grid` (1..3) around the evaluated parameter. Returns an empty text when
  // it is laid, otherwise why it cannot be (a parameter without a covariance
  // row or a reliable standard error, a conditional covariance that is not
  // positive definite); the grid is then unusable.
  std::string Lay(const Workbench& wb, int grid, int evaluated, const IntArray& others, int G);

  // Grid combination c (0-based, the last parameter varying fastest) with
  // the evaluated parameter `offset` from its centre: every grid parameter's
  // value written into `vector`, from the centres `origin` (1..m).
  void Place(long long c, double offset, const Vector& origin, Vector& vector) const;

  // With one grid parameter: the column of densities laid along the
  // conditional line at `offset` (G values), put on the regular coordinates
  // `y` (equally spaced) as cell means: each value's mass shared between its
  // two nearest regular points.
  void ColumnOnRegularGrid(double offset, double origin, const double* column,
                           const std::vector<double>& y, double* out) const;

  // The marginal standard deviation of grid parameter i (1..m).
  double MarginalSD(int i) const { return marginalSD_[i]; }
  int CovarianceGrid() const { return grid_; }

 private:
  double StandardUnit(int j) const { return (j - centre_) * unit_; }

  int grid_ = 0;
  int m_ = 0;
  int G_ = 0;
  int centre_ = 0;
  double unit_ = 0.0;  // 7 / (G - 1): the spacing in standard units
  IntArray index_;     // 1..m: parameter index of each grid parameter
  Vector slope_;       // 1..m: regression on the evaluated parameter
  Matrix factor_;      // 1..m x 1..m: lower Cholesky factor of the conditional covariance
  Vector marginalSD_;  // 1..m
};

// The covariance matrix of `parameters` (indices 1..n) from covariance grid
// `grid` (1..3) into `covariance` (1..n x 1..n). Returns an empty text, or
// why it cannot be had (a parameter without a covariance row or without a
// reliable standard error).
std::string CovarianceOfParameters(const Workbench& wb, int grid, const IntArray& parameters,
                                   Matrix& covariance);

// The lower Cholesky factor of the symmetric n x n matrix `a` (1-based) into
// `factor`. False when `a` is not positive definite.
bool CholeskyFactor(const Matrix& a, int n, Matrix& factor);

}  // namespace estimetrix
