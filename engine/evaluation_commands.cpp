#include "engine/evaluation_commands.h"

#include "engine/workbench.h"
#include "platform/desktop.h"

namespace estimetrix {

CommandOutcome ParameterEvaluationCommand(CommandContext& ctx) {
  ctx.desktop.Inform("Evaluate single model parameter estimates",
                     "Evaluating parameter estimates (posteriors and likelihood profiles) is not "
                     "available in this version of Estimetrix yet.");
  return CommandOutcome::Refused;
}

}  // namespace estimetrix
