#pragma once
// "E&valuate single model parameter estimates": Bayesian posteriors and
// likelihood profiles of one parameter.

#include "engine/commands.h"

namespace estimetrix {

// Opens the chooser of evaluations (frmParEvals).
CommandOutcome ParameterEvaluationCommand(CommandContext& ctx);

}  // namespace estimetrix
