#pragma once
// The Bayesian posterior of one parameter: at each of P points along the
// evaluated parameter, the posterior integrated over a regular grid of G
// points in each other free parameter (five at most), as -ln values that
// DistributionSummary turns into a density, confidence columns and moments.
// With one other free parameter the joint density can be plotted and saved
// as a grid file.
//
// Also the steps the likelihood profile shares with it: the questions for a
// parameter and a point count, steps from a covariance grid, the -ln value
// of a point, and the time texts.

#include <optional>
#include <string>

#include "engine/commands.h"
#include "engine/plot_data.h"

namespace estimetrix {

class Desktop;
struct DistributionPoints;
struct Workbench;

inline constexpr const char* kPosteriorTitle = "Bayesian parameter estimate evaluation";
inline constexpr const char* kPosteriorReportTitle = "Bayesian posterior distribution data";
inline constexpr const char* kBayesInterruptTitle = "Bayesian calculations";
inline constexpr const char* kInterruptQuestion = "Interrupt received.  Quit calculations?";
inline constexpr const char* kSetupProblemTitle = "Problem with setup";
inline constexpr const char* kZeroStepText =
    "The parameter chosen has a step size of zero; please try again";
inline constexpr const char* kReminderTitle = "A friendly reminder";
inline constexpr const char* kReminderText =
    "Your algorithm file may have been automatically edited";
inline constexpr const char* kCallCountTitle = "Function calls required";
inline constexpr const char* kBivariateTitle = "Bivariate plot";
inline constexpr const char* kGridSaveTitle = "Save grid values in...";

// At most this many free parameters take part in a posterior: the evaluated
// one and five integrated over.
inline constexpr int kMaxPosteriorFree = 6;
// Up to this many function calls a posterior runs without asking; beyond it
// the user is shown the count and the estimated time and asked to go on.
inline constexpr long long kCallsWithoutQuestion = 32767;

// "Bayesian posterior (BP) distributions": the whole command, its dialogue,
// the integration, the plots, the report (ReportKind::Posterior) and, with
// two free parameters, the bivariate plot and grid file. Values are left as
// they were; Steps may hold steps derived from a covariance grid or edited.
CommandOutcome BayesianEvaluation(CommandContext& ctx);

// The .grd text: the title line, the column header and one line per point
// (evaluated parameter's point i, then grid point j within it), "\n" line ends.
std::string BivariateGridText(const BivariatePlot& plot);

// The save dialogue of the grid file and the safe save. False when cancelled
// or when the write failed (reported).
bool SaveBivariateGrid(Desktop& desktop, const BivariatePlot& plot);

// Writes the grid file without a dialogue (CR LF line ends, safe save).
bool WriteBivariateGrid(const std::string& path, const BivariatePlot& plot, std::string& error);

// ---------------------------------------------------------------------------
// Steps shared with the likelihood profile.

// "m:ss" from seconds (rounded), for "Estimated time remaining (m:s): ".
std::string MinutesSeconds(double seconds);

// Seconds since `start` on the seconds-since-midnight clock, across midnight.
double SecondsSince(Desktop& desktop, double start);

// An answer read as a whole number: nullopt when it is no number.
std::optional<long long> WholeNumber(const std::string& answer);

// An odd point count of at least 3: 2 becomes 3, 24 becomes 25.
int OddPointCount(long long answer);

// Sets the step of every parameter with a non-zero step from its standard
// error on covariance grid `grid` (1..3): `spread` x SE. Parameters without a
// reliable standard error keep their steps.
void StepsFromCovarianceGrid(Workbench& wb, int grid, double spread);

// The evaluated parameter's step for P points over +-4 SE: 24 SE / (3 (P - 1)).
// False (step kept) when the parameter has no reliable standard error.
bool EvaluatedStepFromCovarianceGrid(Workbench& wb, int grid, int parameter, int points);

// The -ln value of a point for an objective that includes the prior term:
// (objective + PriorTerm) / LikelihoodScale.
double MinusLnValue(const Workbench& wb, double objective);

// When the model reports its observations the likelihood scale follows from
// the objective at the reference point: 2 x objective / (observations -
// free - 1), free counting the parameters still free beside the evaluated
// one. Sets wb.covariance.LikelihoodScale and returns true, or shows the
// constant's message and returns false when the degrees of freedom do not
// allow it. Without observations the scale is left as it is.
bool ScaleFromObservations(Workbench& wb, Desktop& desktop, double modelObjective);

// The message of a non-positive likelihood constant.
void ShowConstantProblem(Desktop& desktop);

// Reverses the point arrays (a negative step) and mirrors the best point.
void ReversePoints(DistributionPoints& points, int& best);

// The index of the smallest -ln value among points 1..count.
int BestPointOf(const DistributionPoints& points, int count);

// Keeps points 1..count of every column.
void TruncatePoints(DistributionPoints& points, int count);

// "hh:mm:ss" of the desktop's clock.
std::string ClockText(Desktop& desktop);

}  // namespace estimetrix
