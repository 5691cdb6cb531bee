#pragma once
// The Carapex objective written once as a template over its scalar type.
// With double it is the plain evaluation: record by record, cell by cell,
// every quantity worked out where it is used (the fast path in
// likelihood_*.cpp gives the same objective to far better than 1e-12
// relative; a test checks it). With SecondOrder it gives the exact gradient
// and Hessian of the objective.
//
// Branches, windows, floors and penalties are decided on values, so the
// derivatives are those of the piece of the objective the vector lies on.
// The special functions (the five-term normal tail, the Simpson gamma
// interval, ln Gamma's six-term series and the Simpson integrals of the
// increments measured with error) are the model's own approximations, so
// they are differentiated as the model evaluates them.
//
// Unlike the fast path, a coefficient that is zero but carries derivatives
// (a free Beta at 0) is not skipped: its term is zero, its derivative is not.

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <type_traits>
#include <vector>

#include "model/model_data.h"
#include "model/parameter_layout.h"
#include "model/second_order.h"

namespace estimetrix::templated {

using std::exp;
using std::fabs;
using std::log;
using std::pow;
using std::sin;
using std::sqrt;

constexpr double kPenalty = 1e20;

template <class T>
T Sq(const T& x) {
  return x * x;
}

// True when x carries derivatives (so a zero value is still a variable).
inline bool HasDerivatives(double) {
  return false;
}
template <int C>
bool HasDerivatives(const SecondOrder<C>& x) {
  return !x.constant();
}

// f(x) for a function of one variable. With SecondOrder numbers, f is
// differentiated by itself in one variable and its first two derivatives are
// chained to x's: the same arithmetic, but one operation on x's long
// derivative vectors instead of one per step of f.
template <class T, class F>
T OneVariable(const T& x, const F& f) {
  if constexpr (std::is_same_v<T, double>) {
    return f(x);
  } else if constexpr (T::kCapacity == 1) {
    return f(x);
  } else {
    if (x.constant()) return T(f(x.value()));
    const SecondOrder<1> y = f(SecondOrder<1>::Variable(x.value(), 0, 1));
    return Chain(x, y.value(), y.First(0), y.Second(0, 0));
  }
}

// ---------------------------------------------------------------------------
// The special functions.

inline constexpr double kSqrtTwoPi = 0x1.40d931ff62705p+1;

// The normal distribution function by the five-term tail approximation.
template <class T>
T NormalCdfSeries(const T& z) {
  const T t = 1.0 / (1.0 + 0.2316419 * fabs(z));
  const T density = exp(-z * z / 2.0) / kSqrtTwoPi;
  const T tail =
      density * t *
      (0.31938153 + t * (-0.356563782 + t * (1.781477937 + t * (-1.821255978 + t * 1.330274429))));
  return Value(z) >= 0.0 ? 1.0 - tail : tail;
}

template <class T>
T SeriesLogGamma(const T& x) {
  const T y = x - 1.0;
  const T series = 1.0 + 76.18009173 / (y + 1.0) - 86.50532033 / (y + 2.0) +
                   24.01409822 / (y + 3.0) - 1.231739516 / (y + 4.0) + 0.00120858003 / (y + 5.0) -
                   5.36382e-6 / (y + 6.0);
  return (y + 0.5) * log(y + 5.5) - (y + 5.5) + log(2.50662827465 * series);
}

template <class T>
T LogGammaSeries(const T& x) {
  if (Value(x) >= 1.0) return SeriesLogGamma(x);
  const double pi = 4.0 * std::atan(1.0);
  const T z = 1.0 - x;
  const T gammaTwoMinusX = exp(SeriesLogGamma(2.0 - x));
  return log(pi * z / (gammaTwoMinusX * sin(pi * z)));
}

template <class T>
T NormalCdf(const T& z) {
  return OneVariable(z, [](const auto& u) { return NormalCdfSeries(u); });
}

template <class T>
T LogGammaOf(const T& x) {
  return OneVariable(x, [](const auto& u) { return LogGammaSeries(u); });
}

template <class T>
struct Gamma {
  Gamma(const T& mean, const T& sd) : alpha(mean * mean / (sd * sd)), beta(sd * sd / mean) {
    logNormaliser = alpha * log(beta) + LogGammaOf(alpha);
  }
  template <class Y>
  T operator()(const Y& y) const {
    return exp((alpha - 1.0) * log(y) - y / beta - logNormaliser);
  }
  T Interval(double lower, double middle, double upper) const {
    const double width = upper - lower;
    if (lower <= 0.0) lower = 1e-6;
    return ((*this)(lower) + 4.0 * (*this)(middle) + (*this)(upper)) * width / 6.0;
  }
  T alpha, beta, logNormaliser;
};

constexpr int kSimpsonSteps = 101;

template <class T, class F>
T SimpsonSum(double start, const T& h, const F& f) {
  T sum = 0.0;
  T left = f(T(start));
  for (int i = 0; i < kSimpsonSteps; ++i) {
    const T t = start + i * h;
    const T right = f(t + h);
    sum += left + 4.0 * f(t + h / 2.0) + right;
    left = right;
  }
  return sum * h / 6.0;
}

template <class T>
T GaussianWithError(T p0, double delta, const T& predicted, const T& v, const T& e) {
  const double pi = 4.0 * std::atan(1.0);
  const T h = (9.0 * sqrt(v) + predicted) * 0.01;
  if (Value(h) <= 0.0) return h * h * kPenalty;
  const T halfInverseE = 0.5 / e, halfInverseV = 0.5 / v;
  T sum = SimpsonSum(0.0, h, [&](const T& t) {
    const T error = delta - t, deviation = t - predicted;
    return exp(-error * error * halfInverseE - deviation * deviation * halfInverseV);
  });
  if (Value(sum) == 0.0) sum = 1e-20;
  if (Value(p0) > 0.999999) p0 = 0.999999;
  return log(2.0 * pi * sqrt(e) * sqrt(v)) - log(sum) + log(1.0 - p0);
}

template <class T>
T GammaWithError(double delta, const T& predicted, const T& v, const T& alpha, const T& beta,
                 const T& e) {
  const double pi = 4.0 * std::atan(1.0);
  const T h = (9.0 * sqrt(v) + predicted) * 0.01;
  if (Value(h) <= 0.0) return h * h * kPenalty;
  const T halfInverseE = 0.5 / e, inverseBeta = 1.0 / beta;
  const T logNormaliser = alpha * log(beta) + LogGammaOf(alpha);
  T sum = SimpsonSum(0.0001, h, [&](const T& t) {
    const T error = delta - t;
    return exp(-error * error * halfInverseE + (alpha - 1.0) * log(t) - t * inverseBeta -
               logNormaliser);
  });
  sum /= sqrt(2.0 * pi * e);
  if (Value(sum) == 0.0) sum = 1e-20;
  return -log(sum);
}

// ---------------------------------------------------------------------------
// The growth model.

template <class T>
struct Growth {
  std::vector<T> mean, sd;  // instars 0..count
  T beta[kBetaCount], tau[kTauCount];
  T omega, r, selectivityMean, selectivityVariance, psi, phi;
  bool selectivityInUse = false;
  std::vector<T> incrementProportion;  // 1..K
  T penalty = 0.0;
};

template <class T>
T IncrementSDInto(int k, Growth<T>& g) {
  const T step = g.mean[k] - g.mean[k - 1];
  T sd = g.tau[0] + g.tau[1] * step + g.tau[2] * step * step;
  if (Value(sd) < 0.0) {
    g.penalty += Sq(sd) * kPenalty;
    sd = -sd;
  } else if (Value(sd) == 0.0) {
    sd = 1.0;
  }
  return sd;
}

template <class T>
void Grow(const std::vector<T>& values, int count, Growth<T>& g) {
  for (int j = 0; j < kBetaCount; ++j) g.beta[j] = values[param::kBeta0 + j];
  for (int l = 0; l < kTauCount; ++l) g.tau[l] = values[param::kTau0 + l];
  g.omega = values[param::kOmega];
  g.r = values[param::kR];
  g.selectivityMean = values[param::kSelectivityMean];
  g.selectivityVariance = Sq(values[param::kSelectivitySD]);
  g.psi = values[param::kPsi];
  g.phi = values[param::kPhi];
  g.selectivityInUse = Value(g.selectivityMean) != 0.0 || Value(g.selectivityVariance) != 0.0;
  g.mean.assign(count + 1, T(0.0));
  g.sd.assign(count + 1, T(0.0));
  g.mean[0] = values[param::kMu0];
  if (count > 0 && std::fabs(Value(g.r)) > 1.0) {
    g.penalty += Sq(fabs(g.r) - 1.0) * kPenalty;
    g.r = Value(g.r) > 0.0 ? 1.0 : -1.0;
  }
  for (int k = 1; k <= count; ++k) {
    T m = g.mean[k - 1];
    T increment = 0.0;
    for (int j = 0; j < kBetaCount; ++j) {
      if (Value(g.beta[j]) == 0.0 && !HasDerivatives(g.beta[j])) continue;
      if (std::fabs(Value(m)) > 1e6) {
        g.penalty += Sq(m - 1e6) * kPenalty;
        g.mean[k - 1] = m = 1e6;
      }
      increment += g.beta[j] * pow(m, j);
    }
    g.mean[k] = m + increment;
    if (Value(g.mean[k]) < Value(g.mean[k - 1]))
      g.penalty += Sq(g.mean[k] - g.mean[k - 1]) * kPenalty;
  }
  for (int k = 1; k <= count; ++k) {
    if (k == 1) {
      g.sd[1] = values[param::kSigma1];
    } else {
      const T previousStep = g.mean[k - 1] - g.mean[k - 2];
      const T rho = Value(previousStep) > 0.0 ? (g.mean[k] - g.mean[k - 1]) / previousStep : T(1.0);
      const T incrementSD = IncrementSDInto(k, g);
      const T covariance = g.r * g.sd[k - 1] * incrementSD;
      const T variance = Sq(incrementSD) + Sq(rho) * Sq(g.sd[k - 1]) + 2.0 * rho * covariance;
      g.sd[k] = Value(variance) < 0.0 ? T(0.0) : sqrt(variance);
    }
    if (Value(g.sd[k]) < 0.0) {
      g.penalty += Sq(g.sd[k]) * kPenalty;
      g.sd[k] = -g.sd[k];
    } else if (Value(g.sd[k]) == 0.0) {
      g.penalty += kPenalty;
      g.sd[k] = 1.0;
    }
  }
}

template <class T>
T Correct(std::vector<T>& values, int index, T& penalty) {
  T value = values[index];
  if (Value(value) < 0.0) {
    penalty += Sq(value) * kPenalty;
    value = -value;
    values[index] = value;
  }
  if (Value(value) > 1.0) penalty += Sq(1.0 - value) * kPenalty;
  return value;
}

template <class T>
void IncrementProportions(std::vector<T>& values, int count, Growth<T>& g) {
  g.incrementProportion.assign(count + 1, T(0.0));
  T sum = 0.0;
  for (int i = 1; i <= count; ++i) {
    const int index = kStructuralParameterCount + i;
    if (Value(values[index]) == -1.0) continue;
    g.incrementProportion[i] = Correct(values, index, g.penalty);
    sum += g.incrementProportion[i];
  }
  bool filled = false;
  for (int i = 1; i <= count; ++i) {
    if (Value(values[kStructuralParameterCount + i]) != -1.0) continue;
    g.incrementProportion[i] = filled ? T(0.0) : 1.0 - sum;
    if (!filled && Value(g.incrementProportion[i]) < 0.0)
      g.penalty += Sq(g.incrementProportion[i]) * kPenalty;
    filled = true;
  }
  T total = 0.0;
  for (int i = 1; i <= count; ++i) total += g.incrementProportion[i];
  if (Value(total) > 1.0) g.penalty += Sq(total - 1.0) * kPenalty;
}

// ---------------------------------------------------------------------------
// Size frequencies.

// Cells whose midpoint lies strictly between lo and hi.
inline void Window(const ModelData& data, double lo, double hi, int& first, int& last) {
  first = data.CellCount + 1;
  last = 0;
  for (int c = 1; c <= data.CellCount; ++c) {
    const double x = data.Midpoints[c];
    if (x > lo && x < hi) {
      first = std::min(first, c);
      last = c;
    }
  }
}

struct InstarCells {
  int first = 1, last = 0;  // the window
  int offset = 0;           // cell c's probability is entry offset + c of the table
};

template <class T>
T FrequencyTerm(std::vector<T>& values, const ModelData& data, Growth<T>& g) {
  const int n = data.InstarCount;
  const bool gaussian = data.InstarDistribution == "N";
  const bool gamma = data.InstarDistribution == "G";
  const T errorFraction = 0.01 * fabs(values[param::kPercentSE]);
  const double half = data.CellWidth / 2.0;

  // Each instar's window, then one table of all windows' cell
  // probabilities (one allocation: numbers with derivatives are large).
  std::vector<InstarCells> cells(n + 1);
  std::vector<T> sigmas(n + 1);
  int cellCount = 0;
  for (int k = 1; k <= n; ++k) {
    if (!gaussian && !gamma) continue;
    const T& mean = g.mean[k];
    sigmas[k] = sqrt(Sq(g.sd[k]) + Sq(errorFraction * g.mean[k]));
    const double sigma = Value(sigmas[k]);
    InstarCells& in = cells[k];
    const double above = gaussian ? 5.0 : 8.0;
    if (std::isnan(Value(mean)) || std::isnan(sigma)) {
      in.first = 1;
      in.last = data.CellCount;
    } else {
      Window(data, Value(mean) - 5.0 * sigma, Value(mean) + above * sigma, in.first, in.last);
    }
    in.offset = cellCount - in.first;
    if (in.last >= in.first) cellCount += in.last - in.first + 1;
  }
  std::vector<T> probability(cellCount);
  for (int k = 1; k <= n; ++k) {
    const InstarCells& in = cells[k];
    if (in.last < in.first) continue;
    const T& mean = g.mean[k];
    const T& sigma = sigmas[k];
    if (gaussian) {
      // Neighbouring cells share a boundary: its distribution function is
      // worked out once.
      double sharedZ = std::numeric_limits<double>::quiet_NaN();
      T sharedPhi = 0.0;
      for (int c = in.first; c <= in.last; ++c) {
        const double x = data.Midpoints[c];
        const T z2 = (x + half - mean) / sigma;
        const double z1 = (x - half - Value(mean)) / Value(sigma);
        const T phi1 = z1 == sharedZ ? sharedPhi : NormalCdf((x - half - mean) / sigma);
        const T phi2 = NormalCdf(z2);
        probability[in.offset + c] = phi2 - phi1;
        sharedZ = Value(z2);
        sharedPhi = phi2;
      }
    } else {
      const Gamma<T> density(mean, sigma);
      for (int c = in.first; c <= in.last; ++c) {
        const double x = data.Midpoints[c];
        probability[in.offset + c] = density.Interval(x - half, x, x + half);
      }
    }
  }

  // The selectivity curve, when it is in use (otherwise every cell's is 1).
  const bool curve = !(Value(g.selectivityMean) <= 0.0) && !(Value(g.selectivityVariance) <= 0.0);
  std::vector<T> selectivity;
  if (curve) {
    selectivity.resize(data.CellCount + 1);
    const T sd = sqrt(g.selectivityVariance);
    const double start = NormalCdf(-10.0);
    for (int c = 1; c <= data.CellCount; ++c)
      selectivity[c] = NormalCdf((data.Midpoints[c] - g.selectivityMean) / sd) - start;
  }

  std::vector<T> weibull(data.BlendedInstarCount + 1, T(0.0));
  T weibullSum = 0.0;
  for (int j = 1; j <= data.BlendedInstarCount; ++j) {
    weibull[j] = exp(-g.psi * pow(j - 1.0, g.phi));
    weibullSum += weibull[j];
  }

  const int identified = data.IdentifiedInstarCount;
  T total = 0.0;
  std::vector<T> proportion(n + 1);
  // Selectivity times the proportion-weighted sum of the instars' cell
  // probabilities, cell by cell (no table of them: numbers with derivatives
  // are large).
  auto weightedMixture = [&](int c) {
    T mixture = 0.0;
    for (int k = 1; k <= n; ++k) {
      const InstarCells& in = cells[k];
      if (c >= in.first && c <= in.last) mixture += proportion[k] * probability[in.offset + c];
    }
    return curve ? selectivity[c] * mixture : mixture;
  };
  for (int s = 1; s <= data.SeriesCount; ++s) {
    T sum = 0.0;
    for (int i = 1; i <= identified; ++i) {
      const int index = data.SeriesProportionIndex(s, i);
      if (data.BlendedInstarCount == 0 && Value(values[index]) == -1.0) continue;
      proportion[i] = Correct(values, index, g.penalty);
      sum += proportion[i];
    }
    if (data.BlendedInstarCount == 0) {
      for (int i = 1; i <= identified; ++i) {
        if (Value(values[data.SeriesProportionIndex(s, i)]) != -1.0) continue;
        const T rest = 1.0 - sum;
        if (Value(rest) < 0.0) g.penalty += Sq(rest) * kPenalty;
        proportion[i] = rest;
      }
    }
    for (int j = 1; j <= data.BlendedInstarCount; ++j) {
      const T share = weibull[j] * (1.0 - sum) / weibullSum;
      if (Value(share) < 0.0) g.penalty += Sq(share) * kPenalty;
      proportion[identified + j] = share;
    }

    const bool renormalise = data.TruncationMode == "M" || g.selectivityInUse;
    T normalizer = renormalise ? T(0.0) : T(data.TruncationMode == "0" ? 1.0 : 0.0);
    if (renormalise) {
      for (int c = 1; c <= data.CellCount; ++c) normalizer += weightedMixture(c);
    }
    const double seriesTotal = data.SeriesTotal[s];
    // Only occupied cells count: their floors and their G statistic terms.
    for (int c = 1; c <= data.CellCount; ++c) {
      const double observed = data.ObservedFrequency(s, c);
      if (observed == 0.0) continue;
      T predicted =
          !(Value(normalizer) <= 0.0) ? seriesTotal * weightedMixture(c) / normalizer : T(0.0);
      // An occupied cell with (nearly) no prediction and no instar within
      // 5 SDs is penalised by its distance to the nearest instar.
      if (Value(predicted) < 1e-6) {
        const double x = data.Midpoints[c];
        bool near = false;
        T nearest = 2.0107646833859e13;
        for (int k = 1; k <= n && !near; ++k) {
          if (!(Value(g.sd[k]) > 0.0)) continue;
          const T distance = fabs(x - g.mean[k]) / g.sd[k];
          near = Value(distance) < 5.0;
          if (Value(distance) < Value(nearest)) nearest = distance;
        }
        if (!near) {
          g.penalty += Sq(nearest - 5.0) * kPenalty;
          predicted = 1e-6;
        }
      }
      if (Value(predicted) == 0.0) predicted = 1e-20;
      if (c >= data.FirstCell && !(Value(predicted) <= 0.0))
        total += observed * log(observed / predicted);
    }
  }
  return total;
}

// ---------------------------------------------------------------------------
// Moult increments.

template <class T>
struct Component {
  T predicted, variance, error, lowerTail, twoVariance, densityFactor;
  bool closedForm = true, truncated = false;
  T alpha, beta, alphaLogBeta, logGammaAlpha;
};

template <class T>
struct IncrementSetup {
  bool gammaErrors = false, gaussianInstars = false, gammaInstars = false;
  T errorFraction;
  double lowerTailStart = 0.0;
  std::vector<Gamma<T>> instarDensity;  // 0..K-1
};

template <class T>
T MeasurementVariance(const IncrementSetup<T>& set, double x, const T& predicted) {
  if (Value(set.errorFraction) == 0.0) return T(0.0);
  return Sq(set.errorFraction * (x + predicted)) + Sq(set.errorFraction * x);
}

template <class T>
void PrepareComponent(const IncrementSetup<T>& set, double x, const T& v, Component<T>& c,
                      T& penalty) {
  const T& p = c.predicted;
  if (set.gammaErrors) {
    c.alpha = p * p / v;
    c.beta = v / p;
    if (Value(c.beta) < 0.0) {
      penalty += Sq(c.beta) * kPenalty;
      c.beta = -c.beta;
    }
    c.error = MeasurementVariance(set, x, p);
    c.variance = v + c.error;
    if (Value(set.errorFraction) == 0.0) {
      c.alphaLogBeta = c.alpha * log(c.beta);
      c.logGammaAlpha = LogGammaOf(c.alpha);
    }
    return;
  }
  c.error = MeasurementVariance(set, x, p);
  T variance = v + c.error;
  if (Value(variance) == 0.0) variance = 1e-6;
  const T sd = sqrt(variance);
  const T z0 = -p / sd;
  T p0 = Value(z0) > -5.0 ? NormalCdf(z0) - set.lowerTailStart : T(0.0);
  if (Value(p0) >= 1.0) p0 = 0.999999;
  c.variance = variance;
  c.lowerTail = p0;
  c.closedForm = Value(z0) <= -5.0 || Value(c.error) == 0.0;
  c.truncated = Value(z0) > -5.0;
  if (c.closedForm) {
    const double twoPi = 8.0 * std::atan(1.0);
    c.twoVariance = 2.0 * variance;
    const T normaliser = sqrt(twoPi * variance);
    c.densityFactor = c.truncated ? 1.0 / (normaliser * (1.0 - p0)) : 1.0 / normaliser;
  }
}

// -ln of the density of increment delta under component c.
template <class T>
T ComponentG(const IncrementSetup<T>& set, const Component<T>& c, double delta, const T& v) {
  if (set.gammaErrors) {
    if (Value(set.errorFraction) != 0.0)
      return GammaWithError(delta, c.predicted, v, c.alpha, c.beta, c.error);
    return -(c.alpha - 1.0) * std::log(delta) + delta / c.beta + c.alphaLogBeta + c.logGammaAlpha;
  }
  if (!c.closedForm) return GaussianWithError(c.lowerTail, delta, c.predicted, v, c.error);
  const double twoPi = 8.0 * std::atan(1.0);
  T g = log(sqrt(twoPi * c.variance)) + Sq(delta - c.predicted) / c.twoVariance;
  if (c.truncated) g += log(1.0 - c.lowerTail);
  return g;
}

template <class T>
T ComponentDensity(const IncrementSetup<T>& set, const Component<T>& c, double delta, const T& v) {
  if (set.gammaErrors || !c.closedForm) return exp(-ComponentG(set, c, delta, v));
  return exp(-(Sq(delta - c.predicted) / c.twoVariance)) * c.densityFactor;
}

template <class T>
T WindowProbability(const IncrementSetup<T>& set, const Growth<T>& g, int k, double x) {
  const T& mean = g.mean[k];
  const T& sd = g.sd[k];
  const T z1 = (0.99 * x - mean) / sd;
  const T z2 = (1.01 * x - mean) / sd;
  if (std::isnan(Value(z1)) || std::isnan(Value(z2)))
    return T(std::numeric_limits<double>::quiet_NaN());
  if (!(Value(z2) >= -5.0 && Value(z1) <= 5.0)) return T(1e-8);
  if (set.gaussianInstars) return NormalCdf(z2) - NormalCdf(z1);
  if (set.gammaInstars) return set.instarDensity[k - 1].Interval(0.99 * x, x, 1.01 * x);
  return T(1e-8);
}

template <class T>
T IncrementTerm(const std::vector<T>& values, const ModelData& data, Growth<T>& g) {
  IncrementSetup<T> set;
  set.gammaErrors = data.IncrementErrorDistribution == "G";
  set.gaussianInstars = data.InstarDistribution == "N";
  set.gammaInstars = data.InstarDistribution == "G";
  set.errorFraction = 0.01 * fabs(values[param::kPercentSE]);
  set.lowerTailStart = NormalCdf(-10.0);
  const int count = data.IncrementInstarCount;
  if (set.gammaInstars) {
    for (int k = 1; k <= count; ++k) set.instarDensity.emplace_back(g.mean[k], g.sd[k]);
  }
  const double floorTerm = -std::log(1e-20);

  std::vector<Component<T>> components(std::max(count, 1));
  std::vector<T> weights(count);
  T p, v, sizePenalty;
  T total = 0.0, term;
  for (int r = 1; r <= data.IncrementRecordCount; ++r) {
    const double x = data.InitialSize[r], delta = data.Increment[r];
    if (r > 1 && x == data.InitialSize[r - 1] && delta == data.Increment[r - 1]) {
      total += term;
      g.penalty += sizePenalty;
      continue;
    }
    if (r == 1 || x != data.InitialSize[r - 1]) {
      // What every record of this initial size shares.
      sizePenalty = 0.0;
      p = 0.0;
      double power = 1.0;
      for (int j = 0; j < kBetaCount; ++j, power *= x) p += g.beta[j] * power;
      if (Value(p) < 0.0) sizePenalty += Sq(p) * kPenalty;
      const T s = g.tau[0] + g.tau[1] * p + g.tau[2] * p * p;
      v = s * s;
      if (Value(s) < 0.0) sizePenalty += Sq(s) * kPenalty;
      if (count == 0) {
        components[0].predicted = p;
        PrepareComponent(set, x, v, components[0], sizePenalty);
      } else {
        T weightSum = 0.0;
        for (int k = 1; k <= count; ++k) {
          weights[k - 1] = WindowProbability(set, g, k, x) * g.incrementProportion[k];
          weightSum += weights[k - 1];
        }
        for (int k = 1; k <= count; ++k) {
          Component<T>& c = components[k - 1];
          weights[k - 1] = Value(weightSum) != 0.0 ? weights[k - 1] / weightSum : T(0.0);
          c.predicted = Value(g.sd[k]) > 0.0 ? p + g.omega * p * (x - g.mean[k]) / g.sd[k] : p;
          PrepareComponent(set, x, v, c, sizePenalty);
        }
      }
    }
    if (count == 0) {
      term = ComponentG(set, components[0], delta, v);
    } else {
      T likelihood = 0.0;
      for (int k = 0; k < count; ++k)
        likelihood += ComponentDensity(set, components[k], delta, v) * weights[k];
      if (std::isnan(Value(likelihood))) {
        term = likelihood;
      } else {
        term = Value(likelihood) > 1e-20 ? -log(likelihood) : T(floorTerm);
      }
    }
    total += term;
    g.penalty += sizePenalty;
  }
  return total;
}

// ---------------------------------------------------------------------------
// The objective: 2 (frequency term + increment term) + penalties. `values`
// is indexed 1..N (entry 0 unused) and is corrected as the model corrects the
// caller's vector.
template <class T>
T Objective(const ModelData& data, std::vector<T>& values) {
  for (int index : {param::kMu0, param::kSigma1, param::kPercentSE, param::kSelectivityMean,
                    param::kSelectivitySD, param::kPsi, param::kPhi})
    values[index] = fabs(values[index]);
  Growth<T> g;
  Grow(values, data.HasFrequencies() ? data.InstarCount : data.IncrementInstarCount, g);
  T frequencies = 0.0, increments = 0.0;
  if (data.HasFrequencies()) frequencies = FrequencyTerm(values, data, g);
  if (data.HasIncrements()) {
    IncrementProportions(values, data.IncrementInstarCount, g);
    increments = IncrementTerm(values, data, g);
  }
  return 2.0 * (increments + frequencies) + g.penalty;
}

}  // namespace estimetrix::templated
