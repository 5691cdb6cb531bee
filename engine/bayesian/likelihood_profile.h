#pragma once
// The likelihood profile of one parameter: fixed at each of P evenly spaced
// values, the objective is minimized over every other free parameter (with
// the Simplex or Marquardt), and the minimized -ln values become a
// confidence distribution through DistributionSummary.

#include "engine/state/command_context.h"

namespace estimetrix {

inline constexpr const char* kProfileTitle = "ML parameter estimate evaluation";
inline constexpr const char* kProfileReportTitle = "Maximum-likelihood confidence distribution data";
inline constexpr const char* kProfileInterruptTitle = "Maximum-likelihood calculations";

// "Maximium likelihood (ML) confidence distributions": the whole command, its
// dialogue, one minimization per point, the plot and the report
// (ReportKind::Profile). Every parameter gets back the value and step it had
// when the points began, so the fit the profile explored stays in place.
CommandOutcome LikelihoodProfile(CommandContext& ctx);

}  // namespace estimetrix
