#pragma once
// A posterior known in closed form: the quadratic model with a full
// precision matrix, so that with the likelihood constant 0.5 the posterior
// of four parameters is Gaussian with means 1..4, standard deviations
// kGaussianSD and correlations (-0.99)^|i - j| (neighbours -0.99). The
// covariance results of grid 2 hold that exact covariance matrix.

#include <array>
#include <cmath>
#include <vector>

#include "engine/state/workbench.h"
#include "tests/support/evaluation_session.h"

namespace estimetrix::testing {

inline constexpr int kGaussianParameters = 4;
inline constexpr std::array<double, 4> kGaussianSD = {1.0, 2.0, 0.5, 3.0};
inline constexpr double kGaussianCorrelation = -0.99;

inline double GaussianMean(int i) {
  return static_cast<double>(i);
}

inline double GaussianCovariance(int i, int j) {
  return kGaussianSD[static_cast<size_t>(i - 1)] * kGaussianSD[static_cast<size_t>(j - 1)] *
         std::pow(kGaussianCorrelation, std::abs(i - j));
}

// The inverse of the covariance by Gauss-Jordan elimination (row-major).
inline std::vector<double> GaussianPrecision() {
  const int n = kGaussianParameters;
  std::vector<double> a(static_cast<size_t>(n * 2 * n), 0.0);
  auto at = [&](int r, int c) -> double& { return a[static_cast<size_t>(r * 2 * n + c)]; };
  for (int r = 0; r < n; ++r) {
    for (int c = 0; c < n; ++c) at(r, c) = GaussianCovariance(r + 1, c + 1);
    at(r, n + r) = 1.0;
  }
  for (int p = 0; p < n; ++p) {
    const double pivot = at(p, p);
    for (int c = 0; c < 2 * n; ++c) at(p, c) /= pivot;
    for (int r = 0; r < n; ++r) {
      if (r == p) continue;
      const double f = at(r, p);
      for (int c = 0; c < 2 * n; ++c) at(r, c) -= f * at(p, c);
    }
  }
  std::vector<double> inverse(static_cast<size_t>(n * n));
  for (int r = 0; r < n; ++r)
    for (int c = 0; c < n; ++c) inverse[static_cast<size_t>(r * n + c)] = at(r, n + c);
  return inverse;
}

// The session's model becomes the Gaussian one, the values sit at the
// means with every parameter free, and covariance grid 2 holds the exact
// covariance (grids 1 and 3 hold nothing reliable).
inline void MakeGaussianPosterior(EvaluationSession& s) {
  QuadraticModel& model = s.Model();
  model.precision = GaussianPrecision();
  model.recordVectors = false;
  const int n = kGaussianParameters;
  for (int i = 1; i <= n; ++i) {
    model.centre[static_cast<size_t>(i - 1)] = GaussianMean(i);
    s.wb.alg.Values[i] = GaussianMean(i);
    s.wb.alg.Steps[i] = 0.1 * kGaussianSD[static_cast<size_t>(i - 1)];
  }
  CovarianceState& cov = s.wb.covariance;
  cov.Resize(n);
  cov.CovarianceCount = n;
  cov.CovarianceIndex.Resize(1, n, 0);
  for (int i = 1; i <= n; ++i) {
    cov.CovarianceIndex[i] = i;
    cov.CovariancePosition[i] = i;
    cov.GridResults[2](0, i) = kGaussianSD[static_cast<size_t>(i - 1)];
    for (int j = i; j <= n; ++j) cov.GridResults[2](i, j) = GaussianCovariance(i, j);
  }
  s.wb.state.CovarianceCurrent = true;
  s.answers.constant = "0.5";
}

}  // namespace estimetrix::testing
