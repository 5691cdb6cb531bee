// Predicted size frequencies: instar size distributions integrated over the
// cells, mixed by the series' instar proportions, shaped by selectivity and
// normalised; then the floors and the G statistic.

#include <algorithm>
#include <cmath>
#include <limits>

#include "model/distributions.h"
#include "model/likelihood.h"
#include "model/parameter_layout.h"

namespace estimetrix {

namespace {

constexpr double kWindowBelow = 5.0;        // SDs below the mean
constexpr double kNormalWindowAbove = 5.0;  // SDs above the mean, Gaussian instars
constexpr double kGammaWindowAbove = 8.0;   // gamma instars have a long right tail
constexpr double kLowPrediction = 1e-6;
constexpr double kZeroPrediction = 1e-20;
constexpr double kNoInstarDistance = 2.0107646833859e13;

// Cells whose midpoint lies strictly between lo and hi, as [first, last].
// Midpoints rise evenly when the cell width is positive, so a binary search
// finds them; otherwise every cell is looked at.
void CellWindow(const ModelData& data, double lo, double hi, int& first, int& last) {
  const double* begin = data.Midpoints.Data();
  const double* end = begin + data.CellCount;
  if (data.CellWidth > 0.0) {
    first = static_cast<int>(std::upper_bound(begin, end, lo) - begin) + 1;
    last = static_cast<int>(std::lower_bound(begin, end, hi) - begin);
    return;
  }
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

// Gaussian instar: normal probability of each cell. Neighbouring cells share
// a boundary, so the distribution function at it is worked out once.
void NormalCells(const ModelData& data, int k, double mean, double sigma, ModelWork& work) {
  const double half = data.CellWidth / 2.0;
  double sharedZ = std::numeric_limits<double>::quiet_NaN();
  double sharedPhi = 0.0;
  for (int c = work.WindowFirst[k]; c <= work.WindowLast[k]; ++c) {
    const double x = data.Midpoints[c];
    const double z1 = (x - half - mean) / sigma;
    const double z2 = (x + half - mean) / sigma;
    const double phi1 = z1 == sharedZ ? sharedPhi : NormalDistribution(z1);
    const double phi2 = NormalDistribution(z2);
    work.CellProbability(k, c) = phi2 - phi1;
    sharedZ = z2;
    sharedPhi = phi2;
  }
}

// Gamma instar: three-point Simpson probability of each cell, with the
// density's constants worked out once per instar.
void GammaCells(const ModelData& data, int k, double mean, double sigma, ModelWork& work) {
  const GammaDensity density(mean, sigma);
  const double half = data.CellWidth / 2.0;
  double sharedY = std::numeric_limits<double>::quiet_NaN();
  double sharedF = 0.0;
  for (int c = work.WindowFirst[k]; c <= work.WindowLast[k]; ++c) {
    const double x = data.Midpoints[c];
    double lower = x - half;
    const double upper = x + half;
    const double width = upper - lower;
    if (lower <= 0.0) lower = 1e-6;
    const double fLower = lower == sharedY ? sharedF : density(lower);
    const double fUpper = density(upper);
    work.CellProbability(k, c) = (fLower + 4.0 * density(x) + fUpper) * width / 6.0;
    sharedY = upper;
    sharedF = fUpper;
  }
}

void ComputeCellProbabilities(const Vector& values, const ModelData& data, const ModelState& state,
                              ModelWork& work) {
  const bool gaussian = data.InstarDistribution == "N";
  const bool gamma = data.InstarDistribution == "G";
  const double errorFraction = 0.01 * std::fabs(values[param::kPercentSE]);
  for (int k = 1; k <= data.InstarCount; ++k) {
    // Clear what the last evaluation left so the table is 0 outside the window.
    for (int c = work.WindowFirst[k]; c <= work.WindowLast[k]; ++c)
      work.CellProbability(k, c) = 0.0;
    work.WindowFirst[k] = 1;
    work.WindowLast[k] = 0;
    if (!gaussian && !gamma) continue;
    const double mean = state.InstarMean[k];
    const double sigma =
        std::sqrt(Squared(state.InstarSD[k]) + Squared(errorFraction * state.InstarMean[k]));
    const double above = gaussian ? kNormalWindowAbove : kGammaWindowAbove;
    if (std::isnan(mean) || std::isnan(sigma)) {
      // No window can be placed: every cell gets the NaN, so the objective shows it.
      work.WindowFirst[k] = 1;
      work.WindowLast[k] = data.CellCount;
    } else {
      CellWindow(data, mean - kWindowBelow * sigma, mean + above * sigma, work.WindowFirst[k],
                 work.WindowLast[k]);
    }
    if (gaussian) {
      NormalCells(data, k, mean, sigma, work);
    } else {
      GammaCells(data, k, mean, sigma, work);
    }
  }
}

// A cumulative Gaussian selectivity curve, applied when its mean and SD are
// both positive.
void ComputeSelectivity(const ModelData& data, const ModelState& state, ModelWork& work) {
  // NaN coefficients take the curve's branch so that the NaN is not lost.
  const bool curve = !(state.SelectivityMean <= 0.0) && !(state.SelectivityVariance <= 0.0);
  const double sd = std::sqrt(state.SelectivityVariance);
  for (int c = 1; c <= data.CellCount; ++c) {
    work.Selectivity[c] =
        curve ? NormalIntervalProbability(-10.0, (data.Midpoints[c] - state.SelectivityMean) / sd)
              : 1.0;
  }
}

// Blended instar j is Weibull age j - 1: the same weights serve every series.
double ComputeWeibullWeights(const ModelData& data, const ModelState& state, ModelWork& work) {
  double sum = 0.0;
  for (int j = 1; j <= data.BlendedInstarCount; ++j) {
    work.WeibullWeight[j] = std::exp(-state.WeibullScale * std::pow(j - 1.0, state.WeibullPower));
    sum += work.WeibullWeight[j];
  }
  return sum;
}

// Fills work.InstarProportion for series s.
void SeriesProportions(Vector& values, int s, double weibullSum, const ModelData& data,
                       ModelState& state, ModelWork& work) {
  const int identified = data.IdentifiedInstarCount;
  double sum = 0.0;
  for (int i = 1; i <= identified; ++i) {
    const int index = data.SeriesProportionIndex(s, i);
    const bool marker = data.BlendedInstarCount == 0 && values[index] == -1.0;
    if (marker) continue;
    state.SeriesProportion(s, i) = CorrectProportion(values, index, state.Penalty);
    sum += state.SeriesProportion(s, i);
  }
  if (data.BlendedInstarCount == 0) {
    for (int i = 1; i <= identified; ++i) {
      if (values[data.SeriesProportionIndex(s, i)] != -1.0) continue;
      const double rest = 1.0 - sum;
      if (rest < 0.0) state.Penalty += Squared(rest) * kPenaltyScale;
      state.SeriesProportion(s, i) = rest;
    }
  }
  for (int i = 1; i <= identified; ++i) work.InstarProportion[i] = state.SeriesProportion(s, i);
  for (int j = 1; j <= data.BlendedInstarCount; ++j) {
    const double share = work.WeibullWeight[j] * (1.0 - sum) / weibullSum;
    if (share < 0.0) state.Penalty += Squared(share) * kPenaltyScale;
    state.BlendedProportion(s, j) = share;
    work.InstarProportion[identified + j] = share;
  }
}

// Proportion-weighted sum of the instars' cell probabilities, per cell.
void MixInstars(const ModelData& data, ModelWork& work) {
  for (int c = 1; c <= data.CellCount; ++c) work.Mixture[c] = 0.0;
  for (int k = 1; k <= data.InstarCount; ++k) {
    const double proportion = work.InstarProportion[k];
    for (int c = work.WindowFirst[k]; c <= work.WindowLast[k]; ++c) {
      work.Mixture[c] += proportion * work.CellProbability(k, c);
    }
  }
}

double SeriesNormalizer(const ModelData& data, const ModelState& state, const ModelWork& work) {
  const bool renormalise = data.TruncationMode == "M" || state.SelectivityInUse;
  if (!renormalise) return data.TruncationMode == "0" ? 1.0 : 0.0;
  double sum = 0.0;
  for (int c = 1; c <= data.CellCount; ++c) sum += work.Selectivity[c] * work.Mixture[c];
  return sum;
}

}  // namespace

void PredictFrequencies(Vector& values, const ModelData& data, ModelState& state, ModelWork& work) {
  ComputeCellProbabilities(values, data, state, work);
  ComputeSelectivity(data, state, work);
  const double weibullSum = ComputeWeibullWeights(data, state, work);
  for (int s = 1; s <= data.SeriesCount; ++s) {
    SeriesProportions(values, s, weibullSum, data, state, work);
    MixInstars(data, work);
    const double normalizer = SeriesNormalizer(data, state, work);
    work.SeriesNormalizer[s] = normalizer;
    const double total = data.SeriesTotal[s];
    for (int c = 1; c <= data.CellCount; ++c) {
      // A NaN normaliser passes on rather than reading as "no normaliser".
      state.PredictedFrequency(s, c) =
          !(normalizer <= 0.0) ? total * (work.Selectivity[c] * work.Mixture[c]) / normalizer : 0.0;
    }
  }
}

void FloorLowPredictions(const ModelData& data, ModelState& state) {
  for (int s = 1; s <= data.SeriesCount; ++s) {
    for (int c = 1; c <= data.CellCount; ++c) {
      double& predicted = state.PredictedFrequency(s, c);
      if (data.ObservedFrequency(s, c) != 0.0 && predicted < kLowPrediction) {
        const double x = data.Midpoints[c];
        bool near = false;
        double nearest = kNoInstarDistance;
        for (int k = 1; k <= data.InstarCount && !near; ++k) {
          const double sd = state.InstarSD[k];
          if (!(sd > 0.0)) continue;
          const double distance = std::fabs(x - state.InstarMean[k]) / sd;
          near = distance < kWindowBelow;
          nearest = std::min(nearest, distance);
        }
        if (!near) {
          state.Penalty += Squared(nearest - kWindowBelow) * kPenaltyScale;
          predicted = kLowPrediction;
        }
      }
      if (predicted == 0.0) predicted = kZeroPrediction;
    }
  }
}

void AddFrequencyTerms(const ModelData& data, ModelState& state) {
  for (int s = 1; s <= data.SeriesCount; ++s) {
    double g = 0.0;
    for (int c = data.FirstCell; c <= data.CellCount; ++c) {
      const double observed = data.ObservedFrequency(s, c);
      const double predicted = state.PredictedFrequency(s, c);
      // Cells predicted at or below 0 take no part; a NaN prediction does.
      if (observed != 0.0 && !(predicted <= 0.0)) g += observed * std::log(observed / predicted);
    }
    state.SeriesG[s] = g;
    state.FrequencyTerm += g;
  }
}

}  // namespace estimetrix
