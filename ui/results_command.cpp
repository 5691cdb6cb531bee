// "&Single model results" / "Res&ults Summary": brings the model's state up
// to date with one evaluation, then asks the model for its results summary.

#include <algorithm>

#include "engine/objective.h"
#include "ui/app_context.h"
#include "ui/commands.h"

namespace estimetrix {

namespace {

// One evaluation with NF = 1 and without the prior term: the summary
// describes the model's own fit, whatever priors are in force.
void EvaluateWithoutPrior(Workbench& wb) {
  const bool priors = wb.state.PriorsActive;
  wb.state.PriorsActive = false;
  EvaluateObjective(wb, wb.alg.Values, 1);
  wb.state.PriorsActive = priors;
}

}  // namespace

void ResultsCommand(AppContext& ctx) {
  Workbench& wb = ctx.wb;
  if (!wb.model) return;
  ctx.menu.BeginComputation();
  bool anyValue = std::any_of(wb.alg.Values.begin(), wb.alg.Values.end(),
                              [](double value) { return value != 0.0; });
  if (anyValue) {
    ctx.desktop.SetStatus(StatusBar::Progress, 1,
                          "One moment please while one function call is executed...");
    ctx.desktop.Yield();
    EvaluateWithoutPrior(wb);
    ctx.desktop.SetStatus(StatusBar::Progress, 1, "");
  }
  CallModel(wb, wb.alg.Values, -1);
  ctx.menu.EndComputation();
  // The summary has no window of its own yet, so the menu comes straight back.
  ctx.menu.ShowMenu();
}

}  // namespace estimetrix
