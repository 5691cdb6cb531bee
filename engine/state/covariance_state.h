#pragma once
// What the covariance calculation keeps between runs and commands: the base
// point it was computed at, the covariance rows, the grid factors and, per
// grid, the objective summary and the covariance results. The results stay
// available after a calculation so the report can be shown again, the file
// saved, and the standard errors used to seed later evaluations.

#include <algorithm>
#include <array>
#include <string>

#include "engine/base/array.h"

namespace estimetrix {

inline constexpr int kCovarianceGrids = 3;

struct CovarianceState {
  // True while a calculation runs; the algorithm editor opens restricted then
  // and clears it when it closes.
  bool CovarianceActive = false;

  Vector BaseValues;           // 1..N: Values after the user's last chance to edit them
  Vector BaseSteps;            // 1..N
  double BaseObjective = 0.0;  // F0, prior included

  int CovarianceCount = 0;      // n: parameters with a non-zero base step
  IntArray CovarianceIndex;     // 1..n: covariance row -> parameter index (increasing)
  IntArray CovariancePosition;  // 1..N: parameter index -> covariance row (0 when fixed)

  Vector GridFactors;  // 1..3; 0 on every grid in analytical mode
  Vector GridMeans;    // 1..3: mean objective over the grid; -1 when the grid failed
  Vector GridSDs;      // 1..3: signed standard deviation; -1 when the grid failed
  // 1..3: the grid's objective summary was computed (not quit, not failed).
  std::array<bool, kCovarianceGrids + 1> GridSummaryValid{};

  double LikelihoodScale = 1.0;          // 1 / q; q turns the objective into -ln[likelihood]
  bool OptimisticSEs = false;                 // optimistic conditional SEs only
  bool CovarianceInterruptRequested = false;  // Interrupt was pressed
  bool GridCancelled = false;                 // the user quit the current grid

  // DerivativeValues[pass](r, s): objective at the (+) and (-) points of rows
  // r <= s on the current grid (pass 1 = +, pass 2 = -).
  Array1<Matrix> DerivativeValues;
  Vector FreeGradient;  // 1..n, analytical mode only

  // GridResults[k](r, s), k = 1..3, r and s = 0..N:
  //   (0, 0) determinant of the covariance matrix, (1, 0) product of the variances,
  //   (0, r) signed standard error of row r, (r, s) covariance of rows r and s.
  // Every entry of a grid is -1 until that grid has been inverted.
  Array1<Matrix> GridResults;

  enum class DisplayMode { Fresh, ViewedAgain };
  DisplayMode CovarianceDisplayMode = DisplayMode::Fresh;
  std::string CovarianceReport;             // the last report text built

  // Sizes the arrays for a model of n parameters with `rows` covariance rows
  // (model initialisation, and when a calculation starts). Earlier results
  // are discarded.
  void Resize(int n) { Resize(n, n); }
  void Resize(int n, int rows) {
    BaseValues.Resize(1, n, 0.0);
    BaseSteps.Resize(1, n, 0.0);
    BaseObjective = 0.0;
    CovarianceCount = 0;
    CovarianceIndex.Resize(1, 0, 0);
    CovariancePosition.Resize(1, n, 0);
    GridFactors.Resize(1, kCovarianceGrids, 0.0);
    GridFactors[1] = 1.0;
    GridFactors[2] = 0.1;
    GridFactors[3] = 0.01;
    GridMeans.Resize(1, kCovarianceGrids, -1.0);
    GridSDs.Resize(1, kCovarianceGrids, -1.0);
    GridSummaryValid.fill(false);
    DerivativeValues.Resize(1, 2);
    FreeGradient.Resize(1, 0, 0.0);
    GridResults.Resize(1, kCovarianceGrids);
    const int last = std::max(rows, 1);  // (1, 0) holds the product of the variances
    for (int k = 1; k <= kCovarianceGrids; ++k) GridResults[k].Resize(0, last, 0, last, -1.0);
    CovarianceReport.clear();
  }

  // The standard error of covariance row r on grid k (-1: no reliable value).
  double StandardError(int k, int r) const { return GridResults[k](0, r); }

  // q, the constant that turns the objective into -ln[likelihood].
  double LikelihoodConstant() const { return 1.0 / LikelihoodScale; }
  // Grid k's mean and standard deviation on the -ln[likelihood] scale. A zero
  // variance (every grid value equal to F0) has no signed standard deviation
  // and shows -1, the mark of a figure that could not be computed.
  double ScaledGridMean(int k) const { return GridMeans[k] * LikelihoodConstant(); }
  double ScaledGridSD(int k) const {
    if (GridSummaryValid[k] && GridSDs[k] == 0.0) return -1.0;
    return GridSDs[k] * LikelihoodConstant();
  }
};

}  // namespace estimetrix
