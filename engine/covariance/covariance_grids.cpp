// The three grids of the covariance calculator: the objective on a grid of
// points around the base point, the Hessian by central differences, and its
// test and inversion into a covariance matrix.

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/base/format.h"
#include "engine/covariance/covariance.h"
#include "engine/minimizers/matrix.h"
#include "engine/objective/evaluation_batch.h"
#include "engine/objective/objective.h"
#include "engine/state/workbench.h"
#include "platform/desktop.h"

namespace estimetrix {

namespace {

const char* const kLogNumber = "0.0000000E+00";

std::string NotPositiveDefiniteText(int failingParameter) {
  return "Sorry, this Hessian matrix is not positive-definite; a valid covariance matrix "
         "cannot be created.\n"
         "\n"
         "Possible reasons: (1) you're not at a tight enough global minimum, or you're at a "
         "local minimum\n"
         "                  (2) your model contains statistically dead parameters, i.e., the "
         "-ln[L] versus a parameter is flat\n"
         "                  (3) there is at least one parameter pair that is very highly "
         "correlated (e.g., ABS(rho) > 0.99)\n"
         "                  (4) the likelihood profile is dramatically asymmetrical, perhaps "
         "due to a penalty function\n"
         "It might help you to know that the test for positive-definitiveness failed at "
         "parameter # " +
         IntText(failingParameter) + "\n\n";
}

// Asks whether to quit the grid after an Interrupt; true when the user quits.
bool QuitRequested(CovarianceState& cov, Desktop& desktop, CovarianceViews& views) {
  if (!cov.CovarianceInterruptRequested) return false;
  cov.CovarianceInterruptRequested = false;
  views.EnableInterrupt();
  Answer answer = desktop.Ask("Covariance calculations",
                              "Interrupt received. Do you want to quit calculating this grid?",
                              Buttons::YesNo, Icon::Question);
  return answer == Answer::Yes;
}

// Seconds since `start` on the seconds-since-midnight clock, across midnight.
double Elapsed(Desktop& desktop, double start) {
  double elapsed = desktop.SecondsSinceMidnight() - start;
  return elapsed < 0.0 ? elapsed + 86400.0 : elapsed;
}

// The running summary of the grid's objective values as deviations from F0.
// The base point itself is one of the values, with deviation 0.
struct GridSummary {
  int count = 1;
  double sum = 0.0;
  double sumOfSquares = 0.0;

  void Add(double deviation) {
    ++count;
    sum += deviation;
    sumOfSquares += deviation * deviation;
  }
};

void StoreSummary(CovarianceState& cov, int k, const GridSummary& summary) {
  double mean = summary.sum / summary.count;
  double variance = summary.sumOfSquares / summary.count - mean * mean;
  cov.GridMeans[k] = cov.BaseObjective + mean;
  // A negative variance (rounding) keeps its sign so it shows; zero stays 0.
  cov.GridSDs[k] = variance == 0.0 ? 0.0 : std::copysign(std::sqrt(std::fabs(variance)), variance);
  cov.GridSummaryValid[k] = true;
}

void FinishGrid(CovarianceState& cov, CovarianceViews& views, int k, const GridSummary& summary) {
  StoreSummary(cov, k, summary);
  views.AppendLog("Average: " + FormatNumber(cov.ScaledGridMean(k), kLogNumber) +
                  "; Standard deviation: " + FormatNumber(cov.ScaledGridSD(k), kLogNumber) + "\n" +
                  "Now calculating Hessian matrix #" + IntText(k) + "\n");
}

void LogNonFinitePoint(CovarianceViews& views, int k, int i, int j) {
  views.AppendLog("The -ln[likelihood] is not a finite number at a point of grid #" + IntText(k) +
                  " (parameters # " + IntText(i) + " and # " + IntText(j) +
                  "); the results of this grid are set to -1.\n");
}

// What both ways of evaluating grid k count with: the parameter count, the
// grid's evaluations, those still planned for this and the later grids, and
// the objective at the base point.
struct GridSize {
  int N;
  int perGrid;
  int planned;
  double f0;
};

GridSize GridSizes(const CovarianceState& cov, int k) {
  const int n = cov.CovarianceCount;
  const int perGrid = n * (n + 1);
  return {cov.BaseSteps.Size(), perGrid, (kCovarianceGrids - k + 1) * perGrid,
          cov.BaseObjective};
}

// GridEvaluation with the grid's points evaluated side by side. The points
// are listed in the serial order; afterwards they are walked in that order
// for the summary, the first point without a finite value and
// DerivativeValues, so everything matches the serial loop. The progress
// texts and the interrupt question come from the poll, on this thread.
bool ParallelGridEvaluation(Workbench& wb, Desktop& desktop, CovarianceViews& views, int k,
                            double start) {
  CovarianceState& cov = wb.covariance;
  const auto [N, perGrid, planned, f0] = GridSizes(cov, k);

  struct GridPoint {
    int i, j, pass;
    int point;  // index in the batch; -1 in optimistic mode off the diagonal (value F0)
  };
  std::vector<GridPoint> order;
  std::vector<BatchPoint> points;
  std::vector<int> callNumber;  // per batch point: its call number in the serial loop
  double phi = cov.GridFactors[k];  // the sign alternates between the two passes
  for (int i = 1; i <= N; ++i) {
    if (cov.BaseSteps[i] == 0.0) continue;
    for (int j = i; j <= N; ++j) {
      if (cov.BaseSteps[j] == 0.0) continue;
      for (int pass = 1; pass <= 2; ++pass) {
        int point = -1;
        if (!cov.OptimisticSEs || i == j) {
          BatchPoint grid{cov.BaseValues, 1};
          grid.vector[i] += cov.BaseSteps[i] * phi;
          if (j != i) grid.vector[j] += cov.BaseSteps[j] * phi;
          point = static_cast<int>(points.size());
          points.push_back(std::move(grid));
          callNumber.push_back(static_cast<int>(order.size()) + 1);
        }
        order.push_back({i, j, pass, point});
        phi = -phi;
      }
    }
  }

  const std::string total = FormatNumber(perGrid, "###0");
  auto poll = [&](int finished) {
    const int calls = finished > 0 ? callNumber[static_cast<size_t>(finished - 1)] : 0;
    if (calls > 0) {
      desktop.SetStatus(StatusBar::Progress, 1,
                        "Hessian function call " + FormatNumber(calls, "###0") + " of " + total);
      const double remaining = Elapsed(desktop, start) / calls * (planned - calls);
      desktop.SetStatus(StatusBar::Progress, 2, RemainingTimeText(remaining));
    }
    return !QuitRequested(cov, desktop, views);
  };
  const BatchResult result = EvaluateBatch(wb, desktop, points, poll);
  if (result.stopped) {
    cov.GridCancelled = true;
    MarkGridFailed(wb, k);
    return false;
  }

  GridSummary summary;
  for (const GridPoint& at : order) {
    const double value = at.point < 0 ? f0 : result.objectives[static_cast<size_t>(at.point)];
    if (!std::isfinite(value)) {
      LogNonFinitePoint(views, k, at.i, at.j);
      MarkGridFailed(wb, k);
      return false;
    }
    summary.Add(value - f0);
    cov.DerivativeValues[at.pass](cov.CovariancePosition[at.i], cov.CovariancePosition[at.j]) =
        value;
  }
  FinishGrid(cov, views, k, summary);
  return true;
}

bool AllFinite(const Matrix& m, int n) {
  for (int r = 1; r <= n; ++r)
    for (int s = 1; s <= n; ++s)
      if (!std::isfinite(m(r, s))) return false;
  return true;
}

}  // namespace

std::string RemainingTimeText(double seconds) {
  long long total = static_cast<long long>(std::floor(std::max(seconds, 0.0) + 0.5));
  long long minutes = total / 60;
  long long rest = total % 60;
  return "Estimated time remaining for all three grids (m:s): " + IntText(minutes) + ":" +
         (rest < 10 ? "0" : "") + IntText(rest);
}

void MarkGridFailed(Workbench& wb, int k) {
  CovarianceState& cov = wb.covariance;
  cov.GridMeans[k] = -1.0;
  cov.GridSDs[k] = -1.0;
  cov.GridSummaryValid[k] = false;
  cov.GridResults[k].Fill(-1.0);
}

bool GridEvaluation(Workbench& wb, Desktop& desktop, CovarianceViews& views, int k) {
  CovarianceState& cov = wb.covariance;
  const int n = cov.CovarianceCount;
  const auto [N, perGrid, planned, f0] = GridSizes(cov, k);
  const double start = desktop.SecondsSinceMidnight();
  views.AppendLog("\nNow calculating -ln[likelihood] on grid #" + IntText(k) + "\n");
  for (int pass = 1; pass <= 2; ++pass) cov.DerivativeValues[pass].Resize(1, n, 1, n, 0.0);
  if (ParallelEvaluation(wb)) return ParallelGridEvaluation(wb, desktop, views, k, start);

  GridSummary summary;
  int calls = 0;
  double phi = cov.GridFactors[k];  // the sign alternates between the two passes
  for (int i = 1; i <= N; ++i) {
    if (cov.BaseSteps[i] == 0.0) continue;
    for (int j = i; j <= N; ++j) {
      if (cov.BaseSteps[j] == 0.0) continue;
      const int r = cov.CovariancePosition[i];
      const int s = cov.CovariancePosition[j];
      for (int pass = 1; pass <= 2; ++pass) {
        ++calls;
        if (calls <= perGrid) {
          desktop.SetStatus(StatusBar::Progress, 1,
                            "Hessian function call " + FormatNumber(calls, "###0") + " of " +
                                FormatNumber(perGrid, "###0"));
          desktop.Yield();
        }
        double value = f0;  // optimistic mode: the off-diagonal points are not evaluated
        if (!cov.OptimisticSEs || r == s) {
          Vector work = cov.BaseValues;
          work[i] += cov.BaseSteps[i] * phi;
          if (j != i) work[j] += cov.BaseSteps[j] * phi;
          value = EvaluateObjective(wb, work, 1);
        }
        if (QuitRequested(cov, desktop, views)) {
          cov.GridCancelled = true;
          MarkGridFailed(wb, k);
          return false;
        }
        if (!std::isfinite(value)) {
          LogNonFinitePoint(views, k, i, j);
          MarkGridFailed(wb, k);
          return false;
        }
        summary.Add(value - f0);
        cov.DerivativeValues[pass](r, s) = value;
        phi = -phi;
        double remaining = Elapsed(desktop, start) / calls * (planned - calls);
        desktop.SetStatus(StatusBar::Progress, 2, RemainingTimeText(remaining));
        desktop.Yield();
      }
    }
  }

  FinishGrid(cov, views, k, summary);
  return true;
}

void ResetHessian(Workbench& wb) {
  const int n = wb.covariance.CovarianceCount;
  MatrixWork& m = wb.matrix;
  if (m.HessianMatrix.Rows() < n || m.InverseWork.Rows() < n || m.CholeskyWork.Rows() < n ||
      m.PivotIndex.Size() < n || m.RowScale.Size() < n || m.CholeskyDiagonal.Size() < n) {
    m.Resize(n);
  }
  m.HessianMatrix.Fill(0.0);
}

void GridHessian(Workbench& wb, int k) {
  CovarianceState& cov = wb.covariance;
  const int N = cov.BaseSteps.Size();
  const double g = cov.GridFactors[k];
  const double f0 = cov.BaseObjective;
  const Matrix& plus = cov.DerivativeValues[1];
  const Matrix& minus = cov.DerivativeValues[2];
  // The sum of the two deviations of the (r, s) point pair.
  auto D = [&](int r, int s) { return (plus(r, s) - f0) + (minus(r, s) - f0); };

  ResetHessian(wb);
  Matrix& H = wb.matrix.HessianMatrix;
  for (int i = 1; i <= N; ++i) {
    if (cov.BaseSteps[i] == 0.0) continue;
    for (int j = i; j <= N; ++j) {
      if (cov.BaseSteps[j] == 0.0) continue;
      const int r = cov.CovariancePosition[i];
      const int s = cov.CovariancePosition[j];
      if (r == s) {
        const double h = cov.BaseSteps[i] * g;
        H(r, r) = D(r, r) / (h * h);
      } else if (!cov.OptimisticSEs) {
        H(r, s) =
            (D(r, s) - D(r, r) - D(s, s)) / (2.0 * g * g * cov.BaseSteps[i] * cov.BaseSteps[j]);
      }
      H(s, r) = H(r, s);
    }
  }
}

void GridInversion(Workbench& wb, Desktop& desktop, CovarianceViews& views, int k) {
  CovarianceState& cov = wb.covariance;
  MatrixWork& m = wb.matrix;
  const int n = cov.CovarianceCount;
  Matrix& results = cov.GridResults[k];
  results.Fill(-1.0);

  if (!AllFinite(m.HessianMatrix, n)) {
    views.AppendLog("Hessian matrix #" + IntText(k) +
                    " holds values that are not finite numbers; a valid covariance matrix "
                    "cannot be created.\n\n");
    return;
  }
  CholeskyTest(wb, n, cov.CovarianceIndex);
  if (m.NotPositiveDefinite) {
    views.AppendLog(NotPositiveDefiniteText(m.FailingParameter));
    return;
  }

  views.AppendLog("Now inverting Hessian matrix #" + IntText(k) + "\n");
  m.DecompositionFailed = false;
  InvertMatrix(wb, desktop, n);
  Matrix& V = m.HessianMatrix;
  for (int r = 1; r <= n; ++r)
    for (int s = 1; s <= n; ++s) V(r, s) *= cov.LikelihoodScale;
  if (m.DecompositionFailed || !AllFinite(V, n)) {
    views.AppendLog("Hessian matrix #" + IntText(k) +
                    " could not be inverted into finite numbers; a valid covariance matrix "
                    "cannot be created.\n\n");
    return;
  }

  double determinant = std::pow(cov.LikelihoodScale, n) * m.DeterminantValue;
  if (!std::isfinite(determinant)) determinant = -1.0;  // no reliable value
  views.AppendLog("Determinant of covariance matrix: " + FormatNumber(determinant, kLogNumber) + "\n\n");

  double varianceProduct = 1.0;
  for (int r = 1; r <= n; ++r) {
    const double v = V(r, r);
    if (v != 0.0) results(0, r) = std::sqrt(std::fabs(v)) * (v / std::fabs(v));
    varianceProduct *= v;
  }
  results(0, 0) = determinant;
  results(1, 0) = std::isfinite(varianceProduct) ? varianceProduct : -1.0;
  for (int r = 1; r <= n; ++r)
    for (int s = 1; s <= n; ++s) results(r, s) = V(r, s);
}

}  // namespace estimetrix
