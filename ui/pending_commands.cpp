// Menu commands whose stages this version does not have yet: they say so
// plainly and leave everything as it was.

#include "ui/app_context.h"
#include "ui/commands.h"

namespace estimetrix {

namespace {

void NotYetAvailable(AppContext& ctx, const std::string& title, const std::string& what) {
  ctx.desktop.Inform(title, what + " is not available in this version of Estimetrix yet.");
  ctx.menu.ShowMenu();
}

}  // namespace

void BayesianCommand(AppContext& ctx) {
  NotYetAvailable(ctx, "Set Bayesian priors", "Setting Bayesian priors");
}

void ParEstimateCommand(AppContext& ctx) {
  NotYetAvailable(ctx, "Evaluate single model parameter estimates",
                  "Evaluating parameter estimates (posteriors and likelihood profiles)");
}

void RankCommand(AppContext& ctx) {
  NotYetAvailable(ctx, "Multi-model statistics", "Ranking and averaging competing models");
}

}  // namespace estimetrix
