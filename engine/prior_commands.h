#pragma once
// The priors commands of the main menu and of the ranking window.

#include "engine/commands.h"

namespace estimetrix {

// "Set &Bayesian priors": opens the priors chooser (frmLoadPriors).
CommandOutcome BayesianPriorsCommand(CommandContext& ctx);

// After a one-function call, or the final result of a Simplex or Marquardt
// run, while priors are in force: the prior review of the current values in
// its window. Nothing when priors are off.
void ReviewPriorsAfterFit(CommandContext& ctx);

}  // namespace estimetrix
