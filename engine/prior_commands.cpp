#include "engine/prior_commands.h"

#include "engine/workbench.h"
#include "platform/desktop.h"

namespace estimetrix {

CommandOutcome BayesianPriorsCommand(CommandContext& ctx) {
  ctx.desktop.Inform("Set Bayesian priors",
                     "Setting Bayesian priors is not available in this version of Estimetrix yet.");
  return CommandOutcome::Refused;
}

void ReviewPriorsAfterFit(CommandContext&) {}

}  // namespace estimetrix
