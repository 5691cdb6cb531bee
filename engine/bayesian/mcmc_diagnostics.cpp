// Split R-hat, effective sample sizes and summaries of Markov chain draws.

#include "engine/bayesian/mcmc_diagnostics.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <numeric>

namespace estimetrix {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kPi = 3.14159265358979323846;

double Mean(const std::vector<double>& x) {
  return std::accumulate(x.begin(), x.end(), 0.0) / static_cast<double>(x.size());
}

// Sample variance (divisor n - 1).
double Variance(const std::vector<double>& x) {
  const double m = Mean(x);
  double sum = 0.0;
  for (double v : x) sum += (v - m) * (v - m);
  return sum / static_cast<double>(x.size() - 1);
}

bool Usable(const ChainDraws& chains) {
  if (chains.empty() || chains.front().size() < 4) return false;
  for (const std::vector<double>& chain : chains)
    if (chain.size() != chains.front().size()) return false;
  return true;
}

// In-place iterative radix-2 FFT; the size is a power of two.
void Fft(std::vector<std::complex<double>>& a, bool inverse) {
  const size_t n = a.size();
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (size_t length = 2; length <= n; length <<= 1) {
    const double angle = 2.0 * kPi / static_cast<double>(length) * (inverse ? 1.0 : -1.0);
    const std::complex<double> unit(std::cos(angle), std::sin(angle));
    for (size_t i = 0; i < n; i += length) {
      std::complex<double> w(1.0, 0.0);
      for (size_t k = 0; k < length / 2; ++k) {
        const std::complex<double> u = a[i + k], v = a[i + k + length / 2] * w;
        a[i + k] = u + v;
        a[i + k + length / 2] = u - v;
        w *= unit;
      }
    }
  }
  if (inverse)
    for (std::complex<double>& x : a) x /= static_cast<double>(n);
}

// Autocovariances at lags 0..n-1 with divisor n, by FFT of the zero-padded series.
std::vector<double> Autocovariance(const std::vector<double>& x) {
  const size_t n = x.size();
  size_t size = 1;
  while (size < 2 * n) size <<= 1;
  const double m = Mean(x);
  std::vector<std::complex<double>> a(size);
  for (size_t i = 0; i < n; ++i) a[i] = x[i] - m;
  Fft(a, false);
  for (std::complex<double>& v : a) v = std::norm(v);
  Fft(a, true);
  std::vector<double> acov(n);
  for (size_t i = 0; i < n; ++i) acov[i] = a[i].real() / static_cast<double>(n);
  return acov;
}

double Erfc(double x) {
  return std::erfc(x);
}

}  // namespace

double NormalQuantile(double p) {
  if (!(p > 0.0 && p < 1.0)) {
    if (p == 0.0) return -std::numeric_limits<double>::infinity();
    if (p == 1.0) return std::numeric_limits<double>::infinity();
    return kNaN;
  }
  static const double a[] = {-3.969683028665376e+01, 2.209460984245205e+02,  -2.759285104469687e+02,
                             1.383577518672690e+02,  -3.066479806614716e+01, 2.506628277459239e+00};
  static const double b[] = {-5.447609879822406e+01, 1.615858368580409e+02, -1.556989798598866e+02,
                             6.680131188771972e+01, -1.328068155288572e+01};
  static const double c[] = {-7.784894002430293e-03, -3.223964580411365e-01, -2.400758277161838e+00,
                             -2.549732539343734e+00, 4.374664141464968e+00,  2.938163982698783e+00};
  static const double d[] = {7.784695709041462e-03, 3.224671290700398e-01, 2.445134137142996e+00,
                             3.754408661907416e+00};
  const double low = 0.02425;
  double x = 0.0;
  if (p < low) {
    const double q = std::sqrt(-2.0 * std::log(p));
    x = (((((c[0] * q + c[1]) * q + c[2]) * q + c[3]) * q + c[4]) * q + c[5]) /
        ((((d[0] * q + d[1]) * q + d[2]) * q + d[3]) * q + 1.0);
  } else if (p <= 1.0 - low) {
    const double q = p - 0.5, r = q * q;
    x = (((((a[0] * r + a[1]) * r + a[2]) * r + a[3]) * r + a[4]) * r + a[5]) * q /
        (((((b[0] * r + b[1]) * r + b[2]) * r + b[3]) * r + b[4]) * r + 1.0);
  } else {
    const double q = std::sqrt(-2.0 * std::log(1.0 - p));
    x = -(((((c[0] * q + c[1]) * q + c[2]) * q + c[3]) * q + c[4]) * q + c[5]) /
        ((((d[0] * q + d[1]) * q + d[2]) * q + d[3]) * q + 1.0);
  }
  // One Halley step on the exact distribution function.
  const double e = 0.5 * Erfc(-x / std::sqrt(2.0)) - p;
  const double u = e * std::sqrt(2.0 * kPi) * std::exp(x * x / 2.0);
  return x - u / (1.0 + x * u / 2.0);
}

ChainDraws SplitChains(const ChainDraws& chains) {
  ChainDraws split;
  for (const std::vector<double>& chain : chains) {
    const size_t half = chain.size() / 2;
    split.emplace_back(chain.begin(), chain.begin() + static_cast<long>(half));
    split.emplace_back(chain.end() - static_cast<long>(half), chain.end());
  }
  return split;
}

ChainDraws RankNormalize(const ChainDraws& chains) {
  std::vector<std::pair<double, size_t>> pooled;
  for (size_t c = 0; c < chains.size(); ++c)
    for (size_t i = 0; i < chains[c].size(); ++i)
      pooled.emplace_back(chains[c][i], c * chains.front().size() + i);
  std::sort(pooled.begin(), pooled.end());
  const double S = static_cast<double>(pooled.size());
  std::vector<double> score(pooled.size());
  for (size_t i = 0; i < pooled.size();) {
    size_t j = i;
    while (j + 1 < pooled.size() && pooled[j + 1].first == pooled[i].first) ++j;
    const double rank = (static_cast<double>(i + j) / 2.0) + 1.0;  // average of ties
    const double z = NormalQuantile((rank - 0.375) / (S + 0.25));
    for (size_t k = i; k <= j; ++k) score[pooled[k].second] = z;
    i = j + 1;
  }
  ChainDraws normalized = chains;
  for (size_t c = 0; c < chains.size(); ++c)
    for (size_t i = 0; i < chains[c].size(); ++i)
      normalized[c][i] = score[c * chains.front().size() + i];
  return normalized;
}

double Rhat(const ChainDraws& chains) {
  if (chains.empty() || chains.front().size() < 2) return kNaN;
  const double n = static_cast<double>(chains.front().size());
  std::vector<double> means, variances;
  for (const std::vector<double>& chain : chains) {
    means.push_back(Mean(chain));
    variances.push_back(Variance(chain));
  }
  const double W = Mean(variances);
  const double B = chains.size() > 1 ? n * Variance(means) : 0.0;
  if (!(W > 0.0)) return kNaN;
  const double varPlus = (n - 1.0) / n * W + B / n;
  return std::sqrt(varPlus / W);
}

double EffectiveSampleSize(const ChainDraws& chains) {
  if (!Usable(chains)) return kNaN;
  const size_t m = chains.size();
  const size_t n = chains.front().size();
  const double nd = static_cast<double>(n);
  std::vector<std::vector<double>> acov;
  std::vector<double> means, variances;
  for (const std::vector<double>& chain : chains) {
    acov.push_back(Autocovariance(chain));
    means.push_back(Mean(chain));
    variances.push_back(acov.back()[0] * nd / (nd - 1.0));
  }
  const double meanVariance = Mean(variances);
  double varPlus = meanVariance * (nd - 1.0) / nd;
  if (m > 1) varPlus += Variance(means);
  if (!(varPlus > 0.0)) return kNaN;
  auto meanAcov = [&](size_t t) {
    double sum = 0.0;
    for (size_t c = 0; c < m; ++c) sum += acov[c][t];
    return sum / static_cast<double>(m);
  };
  // Geyer's initial positive sequence over pairs of lags, made monotone.
  std::vector<double> rho(n + 2, 0.0);
  double even = 1.0;
  double odd = 1.0 - (meanVariance - meanAcov(1)) / varPlus;
  rho[0] = even;
  rho[1] = odd;
  size_t s = 1;
  while (s < n - 4 && even + odd > 0.0) {
    even = 1.0 - (meanVariance - meanAcov(s + 1)) / varPlus;
    odd = 1.0 - (meanVariance - meanAcov(s + 2)) / varPlus;
    if (even + odd >= 0.0) {
      rho[s + 1] = even;
      rho[s + 2] = odd;
    }
    s += 2;
  }
  const size_t last = s;
  // Used by the improved estimate, which has less variance for antithetic chains.
  if (even > 0.0) rho[last + 1] = even;
  for (size_t k = 1; k + 3 <= last; k += 2) {
    if (rho[k + 1] + rho[k + 2] > rho[k - 1] + rho[k]) {
      rho[k + 1] = (rho[k - 1] + rho[k]) / 2.0;
      rho[k + 2] = rho[k + 1];
    }
  }
  const double total = static_cast<double>(m) * nd;
  const double tau =
      -1.0 + 2.0 * std::accumulate(rho.begin(), rho.begin() + static_cast<long>(last), 0.0) +
      rho[last + 1];
  return std::min(total / tau, total * std::log10(total));
}

double PooledQuantile(const ChainDraws& chains, double p) {
  std::vector<double> pooled;
  for (const std::vector<double>& chain : chains)
    pooled.insert(pooled.end(), chain.begin(), chain.end());
  if (pooled.empty()) return kNaN;
  std::sort(pooled.begin(), pooled.end());
  const double h = (static_cast<double>(pooled.size()) - 1.0) * p;
  const size_t lo = static_cast<size_t>(std::floor(h));
  const size_t hi = std::min(lo + 1, pooled.size() - 1);
  return pooled[lo] + (h - static_cast<double>(lo)) * (pooled[hi] - pooled[lo]);
}

ParameterDiagnostics Diagnose(const ChainDraws& chains) {
  ParameterDiagnostics d;
  std::vector<double> pooled;
  for (const std::vector<double>& chain : chains)
    pooled.insert(pooled.end(), chain.begin(), chain.end());
  if (pooled.empty()) {
    d.mean = d.sd = d.mcse = d.q025 = d.q50 = d.q975 = d.rhat = d.essBulk = d.essTail = kNaN;
    return d;
  }
  d.mean = Mean(pooled);
  d.sd = pooled.size() > 1 ? std::sqrt(Variance(pooled)) : 0.0;
  d.q025 = PooledQuantile(chains, 0.025);
  d.q50 = PooledQuantile(chains, 0.5);
  d.q975 = PooledQuantile(chains, 0.975);
  d.rhat = d.essBulk = d.essTail = d.mcse = kNaN;
  if (!Usable(chains)) return d;

  const ChainDraws split = SplitChains(chains);
  const ChainDraws z = RankNormalize(split);
  // Folded: distances from the median, rank-normalised, show a difference in spread.
  ChainDraws folded = split;
  for (std::vector<double>& chain : folded)
    for (double& v : chain) v = std::fabs(v - d.q50);
  const double bulkRhat = Rhat(z);
  const double tailRhat = Rhat(RankNormalize(folded));
  d.rhat = std::isnan(tailRhat) ? bulkRhat : std::max(bulkRhat, tailRhat);
  d.essBulk = EffectiveSampleSize(z);

  // Tail: the indicators of the 5 % and 95 % quantiles.
  double tail = std::numeric_limits<double>::infinity();
  for (double p : {0.05, 0.95}) {
    const double q = PooledQuantile(chains, p);
    ChainDraws indicator = split;
    for (std::vector<double>& chain : indicator)
      for (double& v : chain) v = v <= q ? 1.0 : 0.0;
    const double ess = EffectiveSampleSize(indicator);
    if (!std::isnan(ess)) tail = std::min(tail, ess);
  }
  d.essTail = std::isinf(tail) ? kNaN : tail;

  const double essMean = EffectiveSampleSize(split);
  if (essMean > 0.0) d.mcse = d.sd / std::sqrt(essMean);
  return d;
}

}  // namespace estimetrix
