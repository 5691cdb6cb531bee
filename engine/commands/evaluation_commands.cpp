#include "engine/commands/evaluation_commands.h"

#include <new>

#include "engine/bayesian/likelihood_profile.h"
#include "engine/bayesian/mcmc_run.h"
#include "engine/bayesian/posterior.h"
#include "engine/state/workbench.h"
#include "platform/desktop.h"

namespace estimetrix {

CommandOutcome ParameterEvaluationCommand(CommandContext& ctx) {
  if (!ctx.wb.model) return CommandOutcome::Refused;
  ctx.menu.BeginComputation();
  ctx.views.OpenEvaluationChooser();
  return CommandOutcome::Done;
}

CommandOutcome RunEvaluationChoice(CommandContext& ctx, EvaluationChoice choice) {
  CommandOutcome outcome = CommandOutcome::Cancelled;
  if (choice != EvaluationChoice::Cancel) {
    ctx.menu.BeginComputation();
    try {
      switch (choice) {
        case EvaluationChoice::Posterior: outcome = BayesianEvaluation(ctx); break;
        case EvaluationChoice::Profile: outcome = LikelihoodProfile(ctx); break;
        case EvaluationChoice::Chains: outcome = MarkovChainSampling(ctx); break;
        case EvaluationChoice::Cancel: break;
      }
    } catch (const std::bad_alloc&) {
      ctx.wb.state.BayesEvaluationActive = false;
      ctx.wb.state.ProfileActive = false;
      ctx.desktop.ClearProgressPanels();
      ctx.desktop.Inform(kEvaluationChooserCaption,
                         "There is not enough memory for this evaluation; reduce the number of "
                         "points or free parameters and try again.",
                         Icon::Exclamation);
      outcome = CommandOutcome::Failed;
    }
  }
  ctx.menu.EndComputation();
  ctx.menu.ShowMenu();
  return outcome;
}

}  // namespace estimetrix
