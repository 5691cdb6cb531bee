#pragma once
// The Bayesian posterior of one parameter: at each of P points along the
// evaluated parameter, the posterior integrated over a regular grid of G
// points in each other free parameter (five at most), as -ln values that
// DistributionSummary turns into a density, confidence columns and moments.
// With one other free parameter the joint density can be plotted and saved
// as a grid file.

#include <optional>
#include <string>

#include "engine/bayesian/evaluation_run.h"
#include "engine/state/command_context.h"
#include "engine/state/plot_data.h"

namespace estimetrix {

class Desktop;
struct DistributionPoints;
struct Workbench;

inline constexpr const char* kPosteriorTitle = "Bayesian parameter estimate evaluation";
inline constexpr const char* kPosteriorReportTitle = "Bayesian posterior distribution data";
inline constexpr const char* kBayesInterruptTitle = "Bayesian calculations";
inline constexpr const char* kCallCountTitle = "Function calls required";
inline constexpr const char* kBivariateTitle = "Bivariate plot";
inline constexpr const char* kGridSaveTitle = "Save grid values in...";
inline constexpr const char* kAlignedGridTitle = "Grid along the covariance";

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

}  // namespace estimetrix
