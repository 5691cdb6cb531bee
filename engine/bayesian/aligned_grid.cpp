// The geometry of the posterior grid that follows the covariance.

#include "engine/bayesian/aligned_grid.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "engine/base/format.h"
#include "engine/state/workbench.h"

namespace estimetrix {

bool CholeskyFactor(const Matrix& a, int n, Matrix& factor) {
  factor.Resize(1, n, 1, n, 0.0);
  for (int j = 1; j <= n; ++j) {
    double diagonal = a(j, j);
    for (int k = 1; k < j; ++k) diagonal -= factor(j, k) * factor(j, k);
    if (!(diagonal > 0.0) || !std::isfinite(diagonal)) return false;
    const double root = std::sqrt(diagonal);
    factor(j, j) = root;
    for (int i = j + 1; i <= n; ++i) {
      double sum = a(i, j);
      for (int k = 1; k < j; ++k) sum -= factor(i, k) * factor(j, k);
      factor(i, j) = sum / root;
    }
  }
  return true;
}

std::string CovarianceOfParameters(const Workbench& wb, int grid, const IntArray& parameters,
                                   Matrix& covariance) {
  const CovarianceState& cov = wb.covariance;
  const int n = parameters.Size();
  IntArray rows(n, 0);
  for (int i = 1; i <= n; ++i) {
    const int p = parameters[i];
    const int r = p >= cov.CovariancePosition.Lo() && p <= cov.CovariancePosition.Hi()
                      ? cov.CovariancePosition[p]
                      : 0;
    if (r < 1 || r > cov.CovarianceCount || grid < 1 || grid > kCovarianceGrids ||
        r > cov.GridResults[grid].RowHi())
      return "parameter " + IntText(p) + " has no row in the covariance matrix";
    const double se = cov.StandardError(grid, r);
    if (!(se > 0.0) || !std::isfinite(se))
      return "parameter " + IntText(p) + " has no reliable standard error on covariance grid " +
             IntText(grid);
    rows[i] = r;
  }
  covariance.Resize(1, n, 1, n, 0.0);
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j) {
      // The report keeps each pair once; read whichever triangle holds it.
      const int r = std::min(rows[i], rows[j]), s = std::max(rows[i], rows[j]);
      covariance(i, j) = cov.GridResults[grid](r, s);
    }
  return {};
}

std::string AlignedGrid::Lay(const Workbench& wb, int grid, int evaluated, const IntArray& others,
                             int G) {
  m_ = others.Size();
  if (m_ > kMostParameters) return "too many grid parameters";
  IntArray all(m_ + 1, 0);
  all[1] = evaluated;
  for (int i = 1; i <= m_; ++i) all[i + 1] = others[i];
  Matrix sigma;
  std::string problem = CovarianceOfParameters(wb, grid, all, sigma);
  if (!problem.empty()) return problem;

  // Conditional on the evaluated parameter (row 1): slope = S_oe / S_ee and
  // covariance S_oo - S_oe S_eo / S_ee.
  const double see = sigma(1, 1);
  slope_.Resize(1, m_, 0.0);
  marginalSD_.Resize(1, m_, 0.0);
  Matrix conditional(m_, m_, 0.0);
  for (int i = 1; i <= m_; ++i) {
    slope_[i] = sigma(i + 1, 1) / see;
    marginalSD_[i] = std::sqrt(sigma(i + 1, i + 1));
    for (int j = 1; j <= m_; ++j)
      conditional(i, j) = sigma(i + 1, j + 1) - sigma(i + 1, 1) * sigma(1, j + 1) / see;
  }
  if (!CholeskyFactor(conditional, m_, factor_))
    return "the conditional covariance of the grid parameters is not positive definite";
  grid_ = grid;
  index_ = others;
  G_ = G;
  centre_ = (G - 1) / 2 + 1;
  unit_ = 7.0 / (G - 1);
  return {};
}

void AlignedGrid::Place(long long c, double offset, const Vector& origin, Vector& vector) const {
  std::array<double, kMostParameters + 1> z{};
  for (int i = m_; i >= 1; --i) {
    z[static_cast<size_t>(i)] = StandardUnit(static_cast<int>(c % G_) + 1);
    c /= G_;
  }
  for (int i = 1; i <= m_; ++i) {
    double x = origin[i] + slope_[i] * offset;
    for (int l = 1; l <= i; ++l) x += factor_(i, l) * z[static_cast<size_t>(l)];
    vector[index_[i]] = x;
  }
}

void AlignedGrid::ColumnOnRegularGrid(double offset, double origin, const double* column,
                                      const std::vector<double>& y, double* out) const {
  // One grid parameter: the column lies on a line with spacing L(1,1) x unit,
  // never wider than the regular spacing. Each column value's share of the
  // mass goes to its two nearest regular points, so a ridge narrower than a
  // regular cell still shows, as the cell's mean density.
  const size_t n = y.size();
  for (size_t j = 0; j < n; ++j) out[j] = 0.0;
  if (n < 2) return;
  const double regular = y[1] - y[0];
  const double spacing = factor_(1, 1) * unit_;
  const double centre = origin + slope_[1] * offset;
  for (int j = 1; j <= G_; ++j) {
    const double u = (centre + factor_(1, 1) * StandardUnit(j) - y[0]) / regular;
    const double lo = std::floor(u);
    if (lo < -1.0 || lo > static_cast<double>(n) - 1.0) continue;
    const double w = u - lo;
    const double mass = column[j - 1] * spacing / regular;
    const long k = static_cast<long>(lo);
    if (k >= 0) out[k] += (1.0 - w) * mass;
    if (k + 1 < static_cast<long>(n)) out[k + 1] += w * mass;
  }
}

}  // namespace estimetrix
