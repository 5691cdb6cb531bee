// The Bayesian posterior command: its dialogue, the nested grid integration
// (side by side on worker threads when the model allows it), the summary,
// the plots and the report.

#include "engine/bayesian/posterior.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "engine/base/format.h"
#include "engine/bayesian/aligned_grid.h"
#include "engine/bayesian/bivariate_density.h"
#include "engine/bayesian/evaluation_run.h"
#include "engine/covariance/covariance.h"
#include "engine/objective/evaluation_batch.h"
#include "engine/objective/objective.h"
#include "engine/state/distribution_summary.h"
#include "engine/state/workbench.h"
#include "platform/desktop.h"
#include "platform/text_file.h"

namespace estimetrix {

namespace {

// A term exp(t) with t above this would overflow a double.
constexpr double kLargestExponent = 700.0;
// The -ln value of a point whose integrated posterior underflows to 0.
constexpr double kNoProbability = 1E+20;
// Grid points handed to the evaluation threads at a time: enough to keep
// them busy, few enough to keep the vectors small and the Interrupt prompt.
constexpr long long kBatchChunk = 32768;

const char* const kBatchExplanation =
    "The marginal posterior distribution of a parameter is calculated by integrating the "
    "posterior probability numerically over a grid of the other free parameters.\n"
    "\n"
    "Plot 1 shows the -ln[posterior] profile of the evaluated parameter, plot 2 its posterior "
    "distribution, and plots 3 and 4 the mode- and mean-centred credibility regions.\n"
    "With exactly two free parameters, a bivariate plot of their joint posterior density can be "
    "shown as well.";

const char* const kGridExplanation =
    "The grid is centred on the current parameter values and spaced by their step sizes: with "
    "101 grid points, point 1 lies at the value - 50 steps, point 51 at the value and point 101 "
    "at the value + 50 steps.\n"
    "Parameters with a step size of zero are not integrated, and at most 6 parameters (the "
    "evaluated one and 5 others) can be integrated.\n"
    "The step sizes can be based on the standard errors of a covariance matrix, if one has been "
    "calculated.\n"
    "\n"
    "Do you want to continue?";

// The sum S of exp(t) over a point's grid, t = -(V - V0). Terms that fit a
// double are added as they are; once a term would overflow, the sum is kept
// as sum x exp(shift), so -ln S stays finite and exact to rounding.
class ProbabilitySum {
 public:
  void Add(double t) {
    if (t - shift_ > kLargestExponent) {
      sum_ *= std::exp(shift_ - t);
      shift_ = t;
    }
    sum_ += std::exp(t - shift_);
  }
  double MinusLn() const {
    if (sum_ == 0.0) return kNoProbability;
    return -(std::log(sum_) + shift_);
  }

 private:
  double sum_ = 0.0;
  double shift_ = 0.0;
};

// The other free parameters and where their grids lie.
struct Grid {
  int m = 0;  // other free parameters
  int G = 0;
  int centre = 0;  // cG
  IntArray index;  // 1..m: parameter index, in free-list order
  Vector origin;   // 1..m: Values
  Vector step;     // 1..m: Steps
  long long perPoint = 1;  // G^m
  // Set when the grid follows the covariance; `offset` is then the evaluated
  // parameter's distance from its centre at the current point.
  const AlignedGrid* aligned = nullptr;
  double offset = 0.0;

  // Grid combination c (0-based, the last parameter varying fastest) into `vector`.
  void Place(long long c, Vector& vector) const {
    if (aligned) return aligned->Place(c, offset, origin, vector);
    for (int i = m; i >= 1; --i) {
      const int j = static_cast<int>(c % G) + 1;
      c /= G;
      vector[index[i]] = origin[i] + (j - centre) * step[i];
    }
  }
  int LastIndex(long long c) const { return static_cast<int>(c % G) + 1; }
};

class PosteriorRun : public EvaluationRun {
 public:
  explicit PosteriorRun(CommandContext& ctx)
      : EvaluationRun(ctx, &EstimationState::BayesEvaluationActive,
                      &EstimationState::BayesInterruptRequested) {}

 private:
  CommandOutcome Dialogue() override;
  bool AskParameter();
  enum class Ask { Ok, Again, End };
  Ask AskPointCount(const char* what, int& count);
  Ask AskPoints();
  Ask AskGridPoints();
  bool AskCovarianceSteps();
  void AskAlignedGrid(int covarianceGrid);
  void LayAlignedGrid();
  void AlignBivariateGrid();
  CommandOutcome Prepare() override;
  bool Reference();
  bool ConfirmCallCount();
  CommandOutcome Loop() override;
  bool IntegratePoint(int k, double& minusLn);
  bool IntegrateSerially(int k, ProbabilitySum& sum);
  bool IntegrateInBatches(int k, ProbabilitySum& sum);
  bool AddValue(int k, long long c, double objective, ProbabilitySum& sum);
  bool PollInterrupt();
  void ShowCallStatus();
  bool ContinueAfterCall(int k);
  void ShowPointStatus(int k, double value);
  bool NonFinite(int k);
  void Finish();
  void RestoreAlgorithmData();

  int gridPoints_ = 0;  // G; 0 when no other parameter is free
  Grid grid_;
  double V0_ = 0.0;
  double secondsPerCall_ = 0.0;
  long long required_ = 0;
  long long done_ = 0;
  double start_ = 0.0;
  bool quit_ = false;
  int quitPoint_ = 0;

  BivariatePlot bivariate_;
  bool densityScaled_ = false;  // the bivariate grid is relative to its largest density
  Vector work_;
  int alignWith_ = 0;  // the covariance grid the grid is to follow; 0: along the axes
  AlignedGrid aligned_;
};

CommandOutcome PosteriorRun::Dialogue() {
  desktop_.Inform(kPosteriorTitle, kBatchExplanation);
  if (desktop_.Ask(kPosteriorTitle, kGridExplanation, Buttons::YesNo) != Answer::Yes) {
    if (ShowPreviousPlot(DistributionKind::Posterior) && !wb_.bivariatePlot.x.empty())
      ctx_.views.Plots().ShowBivariate(wb_.bivariatePlot);
    return CommandOutcome::Cancelled;
  }
  const CommandOutcome free = CheckFreeParameters();
  if (free != CommandOutcome::Done) return free;
  for (;;) {
    if (!AskParameter()) return CommandOutcome::Cancelled;
    const Ask points = AskPoints();
    if (points == Ask::End) return CommandOutcome::Cancelled;
    if (points == Ask::Again) continue;
    const Ask grid = AskGridPoints();
    if (grid == Ask::End) return CommandOutcome::Cancelled;
    if (grid == Ask::Again) continue;
    break;
  }
  if (!AskCovarianceSteps()) return CommandOutcome::Cancelled;
  return EditAndCheckStep();
}

bool PosteriorRun::AskParameter() {
  const int n = wb_.alg.ParameterCount;
  return AskParameterNumber(InputRequest{kPosteriorTitle,
                                         "Choose the parameter number to be evaluated or Quit: \n"
                                         "0 < parameter # <= " +
                                             IntText(n),
                                         ""});
}

// A point count for the `what` parameter: a non-number is asked again, a
// number out of range starts the dialogue's questions again.
PosteriorRun::Ask PosteriorRun::AskPointCount(const char* what, int& count) {
  InputRequest request{kPosteriorTitle,
                       std::string("Choose the number of data points for ") + what +
                           " parameter:\n0 <= # points <= 1001",
                       "25"};
  for (;;) {
    std::optional<std::string> answer = desktop_.Input(request);
    if (!answer || answer->empty()) return Ask::End;
    std::optional<long long> number = WholeNumber(*answer);
    if (!number) continue;  // no number: asked again
    if (*number < 1 || *number > 1001) return Ask::Again;
    count = OddPointCount(*number);
    return Ask::Ok;
  }
}

PosteriorRun::Ask PosteriorRun::AskPoints() {
  return AskPointCount("profile", P_);
}

PosteriorRun::Ask PosteriorRun::AskGridPoints() {
  if (wb_.free.FreeCount < 2) {
    gridPoints_ = 0;
    return Ask::Ok;
  }
  return AskPointCount("grid", gridPoints_);
}

bool PosteriorRun::AskCovarianceSteps() {
  if (!wb_.state.CovarianceCurrent) return true;
  InputRequest request{kPosteriorTitle,
                       "Base step sizes on SD's from covariance grid 1, 2, 3, No or Quit?", "N"};
  std::optional<std::string> answer = desktop_.Input(request);
  if (!answer || answer->empty()) return false;
  int k = 0;
  const GridAnswer grid = ReadGridAnswer(*answer, k);
  if (grid == GridAnswer::Quit) return false;
  if (grid == GridAnswer::Grid) {
    if (gridPoints_ >= 3) StepsFromCovarianceGrid(wb_, k, 7.0 / (gridPoints_ - 1));
    EvaluatedStepFromCovarianceGrid(wb_, k, parameter_, P_);
    if (gridPoints_ >= 3) AskAlignedGrid(k);
  }
  return true;
}

void PosteriorRun::AskAlignedGrid(int covarianceGrid) {
  const std::string text =
      "Do you want each point's grid to follow the covariance matrix of grid " +
      IntText(covarianceGrid) +
      "?\n\n"
      "The grid of the other free parameters is then centred, at each value of the evaluated "
      "parameter, on their conditional mean, and laid along their conditional covariance over "
      "+-3.5 conditional SDs. Correlated parameters are integrated far more accurately so.\n\n"
      "Choose 'No' for the grid along the parameter axes.";
  alignWith_ = desktop_.Ask(kAlignedGridTitle, text, Buttons::YesNo, Icon::Question) == Answer::Yes
                   ? covarianceGrid
                   : 0;
}

// The grid along the covariance, or, when the covariance cannot give one,
// the message and the grid along the axes.
void PosteriorRun::LayAlignedGrid() {
  grid_.aligned = nullptr;
  if (alignWith_ == 0 || grid_.m == 0) return;
  const std::string problem = aligned_.Lay(wb_, alignWith_, parameter_, grid_.index, grid_.G);
  if (!problem.empty()) {
    desktop_.Inform(kAlignedGridTitle,
                    "The grid cannot follow the covariance of grid " + IntText(alignWith_) + ": " +
                        problem + ".\n\nThe grid along the parameter axes is used.",
                    Icon::Exclamation);
    alignWith_ = 0;
    return;
  }
  grid_.aligned = &aligned_;
}

// Steps 9 and 10: the evaluated parameter leaves the free list, the grid of
// the others is laid out and the reference value computed.
CommandOutcome PosteriorRun::Prepare() {
  AlgorithmData& alg = wb_.alg;
  FixEvaluatedParameter();
  if (wb_.free.FreeCount > kMaxPosteriorFree - 1) {
    RestoreAlgorithmData();
    desktop_.Inform(kSetupProblemTitle, "Too many free parameters - maximum is 6",
                    Icon::Exclamation);
    return CommandOutcome::Refused;
  }

  grid_.m = wb_.free.FreeCount;
  // The editor may have freed a parameter after the grid question was skipped.
  if (grid_.m > 0 && gridPoints_ < 3) gridPoints_ = 3;
  if (grid_.m == 0) gridPoints_ = 0;
  grid_.G = gridPoints_;
  grid_.centre = (grid_.G - 1) / 2 + 1;
  grid_.index.Resize(1, grid_.m, 0);
  grid_.origin.Resize(1, grid_.m, 0.0);
  grid_.step.Resize(1, grid_.m, 0.0);
  grid_.perPoint = 1;
  for (int i = 1; i <= grid_.m; ++i) {
    grid_.index[i] = wb_.free.FreeIndex[i];
    grid_.origin[i] = alg.Values[grid_.index[i]];
    grid_.step[i] = alg.Steps[grid_.index[i]];
    grid_.perPoint *= grid_.G;
  }
  required_ = P_ * grid_.perPoint;
  LayAlignedGrid();

  if (grid_.m == 1) {
    try {
      bivariate_ = BivariatePlot{};
      bivariate_.density.assign(static_cast<size_t>(P_) * grid_.G, -HUGE_VAL);
    } catch (const std::bad_alloc&) {
      RestoreAlgorithmData();
      desktop_.Inform("Error message", "Bivariate array is probably too large; reduce grid size");
      return CommandOutcome::Refused;
    }
  }
  if (!Reference()) {
    RestoreAlgorithmData();
    return CommandOutcome::Failed;
  }
  if (!ConfirmCallCount()) {
    RestoreAlgorithmData();
    return CommandOutcome::Cancelled;
  }
  return CommandOutcome::Done;
}

// V0 at Values, timed: the time per call feeds the estimate of the question
// about many calls.
bool PosteriorRun::Reference() {
  work_ = wb_.alg.Values;
  const double start = desktop_.SecondsSinceMidnight();
  double objective = EvaluateObjective(wb_, work_, 1);
  secondsPerCall_ = SecondsSince(desktop_, start);
  if (!std::isfinite(objective)) {
    desktop_.Inform(kBayesInterruptTitle,
                    "The objective function is not a finite number at the current parameter "
                    "values, so no posterior can be calculated from there.",
                    Icon::Exclamation);
    return false;
  }
  if (!AdoptLikelihoodScale(objective)) return false;
  if (wb_.state.ObservationCount > 0 && wb_.state.PriorsActive) {
    // The prior term is on the objective's scale, which has just been set.
    const double model = ModelPart(objective);
    objective = model + ComputePriorTerm(wb_, work_);
  }
  V0_ = MinusLnValue(wb_, objective);
  return true;
}

bool PosteriorRun::ConfirmCallCount() {
  if (required_ <= kCallsWithoutQuestion) return true;
  const int threads = ParallelEvaluation(wb_) ? AllEvaluationThreads(wb_) : 1;
  const double seconds = secondsPerCall_ * static_cast<double>(required_) / threads;
  wb_.longRun = LongRunEstimate{required_, secondsPerCall_, threads, seconds};
  const std::string text =
      "This evaluation requires " + IntText(required_) + " function calls, more than the " +
      IntText(kCallsWithoutQuestion) + " that run without this question.\n" +
      "At about " + FormatNumber(secondsPerCall_, "0.0000E+00") + " seconds per call on " +
      IntText(threads) + (threads == 1 ? " thread" : " threads") + " it will take about " +
      MinutesSeconds(seconds) + " (m:s).\n" +
      "Reducing the number of free parameters or the grid resolution shortens it.\n\n"
      "Do you want to go on?";
  return desktop_.Ask(kCallCountTitle, text, Buttons::YesNo, Icon::Question) == Answer::Yes;
}

CommandOutcome PosteriorRun::Loop() {
  const int P = P_;
  const int e = parameter_;
  const int c = (P - 1) / 2 + 1;
  desktop_.SetStatus(StatusBar::Progress, 1, IntText(required_) + " function calls required");
  desktop_.SetStatus(StatusBar::Progress, 2, "Started at " + ClockText(desktop_));
  desktop_.SetStatus(StatusBar::Progress, 3,
                     "Integrating probabilities for profile parameter #" + IntText(e));
  ctx_.views.SetInterruptItemVisible(true, true);
  start_ = desktop_.SecondsSinceMidnight();
  done_ = 0;
  int last = P;
  best_ = 0;
  for (int k = 1; k <= P; ++k) {
    const double value = x0_ - (c - k) * h_;
    points_.ProfileValues[k] = value;
    double minusLn = 0.0;
    if (!IntegratePoint(k, minusLn)) {
      if (!quit_) {
        ctx_.views.SetInterruptItemVisible(true, false);
        RestoreAlgorithmData();
        desktop_.ClearProgressPanels();
        return CommandOutcome::Failed;
      }
      last = quitPoint_ - 2;
      break;
    }
    points_.ProfileObjectives[k] = minusLn;
    if (best_ == 0 || minusLn < points_.ProfileObjectives[best_]) best_ = k;
  }
  ctx_.views.SetInterruptItemVisible(true, false);
  RestoreAlgorithmData();
  if (last < 3) {
    desktop_.ClearProgressPanels();
    return CommandOutcome::Done;  // the user stopped before three points were done
  }
  if (last < P) {
    TruncatePoints(points_, last);
    best_ = BestPointOf(points_, last);
    if (!bivariate_.density.empty())
      bivariate_.density.resize(static_cast<size_t>(last) * grid_.G);
  }
  Finish();
  return CommandOutcome::Done;
}

bool PosteriorRun::IntegratePoint(int k, double& minusLn) {
  work_ = wb_.alg.Values;
  work_[parameter_] = points_.ProfileValues[k];
  grid_.offset = points_.ProfileValues[k] - x0_;
  if (grid_.m == 0) {
    const double objective = EvaluateObjective(wb_, work_, 1);
    ++done_;
    if (!std::isfinite(objective)) return NonFinite(k);
    minusLn = MinusLnValue(wb_, objective);
    ShowPointStatus(k, points_.ProfileValues[k]);
    return ContinueAfterCall(k);
  }
  ProbabilitySum sum;
  const bool finished =
      ParallelEvaluation(wb_) ? IntegrateInBatches(k, sum) : IntegrateSerially(k, sum);
  if (!finished) return false;
  minusLn = sum.MinusLn();
  return true;
}

bool PosteriorRun::IntegrateSerially(int k, ProbabilitySum& sum) {
  Vector& vector = work_;
  Vector point = vector;
  for (long long c = 0; c < grid_.perPoint; ++c) {
    grid_.Place(c, vector);
    point = vector;
    const double objective = EvaluateObjective(wb_, point, 1);
    ++done_;
    if (!AddValue(k, c, objective, sum)) return NonFinite(k);
    if (!ContinueAfterCall(k)) return false;
  }
  return true;
}

bool PosteriorRun::IntegrateInBatches(int k, ProbabilitySum& sum) {
  std::vector<BatchPoint> batch;
  const long long chunk = BatchSizeFor(wb_, kBatchChunk);
  for (long long first = 0; first < grid_.perPoint; first += chunk) {
    const long long count = std::min(chunk, grid_.perPoint - first);
    batch.resize(static_cast<size_t>(count));
    for (long long i = 0; i < count; ++i) {
      BatchPoint& point = batch[static_cast<size_t>(i)];
      point.vector = work_;
      grid_.Place(first + i, point.vector);
      point.NF = 1;
    }
    const long long before = done_;
    const BatchResult result = EvaluateBatch(wb_, desktop_, batch, [&](int finished) {
      done_ = before + finished;
      ShowCallStatus();
      return !PollInterrupt();
    });
    done_ = before + result.evaluated;
    for (int i = 0; i < result.evaluated; ++i)
      if (!AddValue(k, first + i, result.objectives[static_cast<size_t>(i)], sum))
        return NonFinite(k);
    if (result.stopped) {
      quitPoint_ = k;
      return false;
    }
  }
  return true;
}

// One grid value into the point's sum (and the bivariate grid, as its log
// density until Finish).
bool PosteriorRun::AddValue(int k, long long c, double objective, ProbabilitySum& sum) {
  if (!std::isfinite(objective)) return false;
  const double t = -(MinusLnValue(wb_, objective) - V0_);
  sum.Add(t);
  if (grid_.m == 1) {
    bivariate_.density[static_cast<size_t>(k - 1) * grid_.G +
                       static_cast<size_t>(grid_.LastIndex(c) - 1)] = t;
  }
  return true;
}

// True when the user chose to quit after an Interrupt.
bool PosteriorRun::PollInterrupt() {
  if (!QuitAfterInterrupt(kBayesInterruptTitle)) return false;
  quit_ = true;
  return true;
}

// After a serial call at point k: the status, the event loop and the
// interrupt question; false when the user quits.
bool PosteriorRun::ContinueAfterCall(int k) {
  ShowCallStatus();
  desktop_.Yield();
  if (!PollInterrupt()) return true;
  quitPoint_ = k;
  return false;
}

void PosteriorRun::ShowCallStatus() {
  const long long remaining = required_ - done_;
  desktop_.SetStatus(StatusBar::Progress, 1, "Function calls remaining: " + IntText(remaining));
  if (done_ <= 0) return;
  desktop_.SetStatus(StatusBar::Progress, 2,
                     TimeRemainingText(desktop_, start_, static_cast<double>(done_),
                                       static_cast<double>(remaining)));
}

void PosteriorRun::ShowPointStatus(int k, double value) {
  desktop_.SetStatus(StatusBar::Progress, 4, PointText(k, value));
}

bool PosteriorRun::NonFinite(int k) {
  desktop_.Inform(kBayesInterruptTitle,
                  "The objective function is not a finite number at a grid point of profile "
                  "point " +
                      IntText(k) +
                      ", so the posterior cannot be integrated there.\n\nThe evaluation stops; "
                      "the parameter values are unchanged.",
                  Icon::Exclamation);
  return false;
}

void PosteriorRun::RestoreAlgorithmData() {
  if (valuesRun_.Empty()) return;
  wb_.alg.Values = valuesRun_;
  wb_.alg.Steps = stepsRun_;
}

void PosteriorRun::Finish() {
  const int e = parameter_;
  const int count = points_.Count();
  // The grid keeps the order of the calculation; the plot and report ascend.
  if (grid_.m == 1) {
    bivariate_.xParameter = e;
    bivariate_.yParameter = grid_.index[1];
    bivariate_.xDescription = wb_.alg.Descriptions[e];
    bivariate_.yDescription = wb_.alg.Descriptions[grid_.index[1]];
    bivariate_.x.assign(points_.ProfileValues.begin(), points_.ProfileValues.end());
    bivariate_.y.resize(static_cast<size_t>(grid_.G));
    for (int j = 1; j <= grid_.G; ++j)
      bivariate_.y[static_cast<size_t>(j - 1)] =
          grid_.origin[1] + (j - grid_.centre) * grid_.step[1];
    densityScaled_ = DensitiesFromLogs(bivariate_.density);
    if (grid_.aligned) AlignBivariateGrid();
    bivariate_.largest = -1.0;
    for (int i = 0; i < count; ++i)
      for (int j = 0; j < grid_.G; ++j) {
        const double d = bivariate_.density[static_cast<size_t>(i) * grid_.G + j];
        if (d > bivariate_.largest) {
          bivariate_.largest = d;
          bivariate_.largestX = bivariate_.x[static_cast<size_t>(i)];
          bivariate_.largestY = bivariate_.y[static_cast<size_t>(j)];
        }
      }
  }
  desktop_.ClearProgressPanels();
  desktop_.SetStatus(StatusBar::Progress, 1, "Integrations completed at " + ClockText(desktop_));
  Summarize(DistributionKind::Posterior);
  ctx_.views.Plots().ShowDistribution(wb_.evaluationPlot);
  wb_.bivariatePlot = BivariatePlot{};
  if (grid_.m == 1) {
    const Answer answer =
        desktop_.Ask(kBivariateTitle,
                     "Do you want to view a bivariate plot of parameters " + IntText(e) +
                         " and " + IntText(grid_.index[1]) + "?",
                     Buttons::YesNo, Icon::Question);
    if (answer == Answer::Yes) {
      wb_.bivariatePlot = bivariate_;
      ctx_.views.Plots().ShowBivariate(bivariate_);
      SaveBivariateGrid(desktop_, bivariate_);
    }
  }
  std::string report =
      PointTableReport(kPosteriorReportTitle, points_, PointTableColumns::Confidence);
  if (grid_.aligned)
    report += "\nGrid: along the covariance of grid " + IntText(alignWith_) +
              " (conditional means, Cholesky factor of the conditional covariance, +-3.5 "
              "conditional SDs)\n";
  if (densityScaled_) report += std::string(kScaledDensityNote) + "\n";
  ctx_.views.Reports().ShowReport(ReportKind::Posterior, report);
}

// The aligned columns read back on a regular grid of the other parameter
// over +-3.5 of its marginal SDs, so the plot and the grid file keep their form.
void PosteriorRun::AlignBivariateGrid() {
  const size_t G = static_cast<size_t>(grid_.G);
  const double sd = aligned_.MarginalSD(1);
  for (size_t j = 0; j < G; ++j)
    bivariate_.y[j] = grid_.origin[1] + (static_cast<double>(j) - (grid_.centre - 1)) * 7.0 * sd /
                                            static_cast<double>(G - 1);
  std::vector<double> column(G);
  for (size_t i = 0; i < bivariate_.x.size(); ++i) {
    double* row = &bivariate_.density[i * G];
    std::copy(row, row + G, column.begin());
    aligned_.ColumnOnRegularGrid(bivariate_.x[i] - x0_, grid_.origin[1], column.data(),
                                 bivariate_.y, row);
  }
}

}  // namespace

CommandOutcome BayesianEvaluation(CommandContext& ctx) {
  if (!ctx.wb.model) return CommandOutcome::Refused;
  PosteriorRun run(ctx);
  return run.Run();
}

// ---------------------------------------------------------------------------
// The grid file

std::string BivariateGridText(const BivariatePlot& plot) {
  std::string text = "Bivariate plot data for parameters " + IntText(plot.xParameter) + " and " +
                     IntText(plot.yParameter) + "\n";
  text += "        X_Coord,        Y_Coord,  Prob_Density\n";
  const size_t G = plot.y.size();
  for (size_t i = 0; i < plot.x.size(); ++i) {
    const std::string x = FormatNumber(plot.x[i], "    0.0000E+000");
    for (size_t j = 0; j < G; ++j) {
      text += x + FormatNumber(plot.y[j], "     0.0000E+000") +
              FormatNumber(plot.density[i * G + j], "    0.0000E+000") + "\n";
    }
  }
  return text;
}

bool WriteBivariateGrid(const std::string& path, const BivariatePlot& plot, std::string& error) {
  return SaveTextFileAtomically(path, ToCrLf(BivariateGridText(plot)), error);
}

bool SaveBivariateGrid(Desktop& desktop, const BivariatePlot& plot) {
  FileDialogRequest request;
  request.title = kGridSaveTitle;
  request.filter = "All files (*.*)|*.*|Grid files (*.grd)|*.grd";
  request.filterIndex = 2;
  request.proposedName = DateTimeName(desktop.Now()) + ".grd";
  request.confirmOverwrite = true;
  std::optional<std::string> path = desktop.SaveFileName(request);
  if (!path) return false;
  std::string error;
  if (WriteBivariateGrid(*path, plot, error)) return true;
  desktop.Inform("Grid file not saved", "The grid values could not be saved in " + *path +
                                            ":\n" + error, Icon::Exclamation);
  return false;
}

}  // namespace estimetrix
