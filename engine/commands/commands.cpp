// The main menu's commands and the menu's enabling rules around them.

#include "engine/commands/commands.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "engine/base/format.h"
#include "engine/commands/evaluation_commands.h"
#include "engine/commands/prior_commands.h"
#include "engine/covariance/covariance.h"
#include "engine/minimizers/marquardt.h"
#include "engine/minimizers/simplex.h"
#include "engine/minimizers/step_check.h"
#include "engine/objective/objective.h"
#include "engine/state/algorithm_file.h"
#include "engine/state/workbench.h"
#include "platform/desktop.h"

namespace estimetrix {

namespace {

constexpr const char* kResultsCaption = "Res&ults Summary";
constexpr const char* kResultsToolTip =
    "Produces a saveable summary (and perhaps plots) of model results for the current parameter "
    "estimates";

// Fuse groups and the free-parameter list, as every minimizer needs them;
// false (with the message shown) when no parameter is free.
bool PrepareFreeParameters(CommandContext& ctx) {
  NormalizeFuseGroups(ctx.wb.alg, ctx.wb.fuse);
  BuildFreeParameterList(ctx.wb.alg, ctx.wb.free);
  if (ctx.wb.free.FreeCount > 0) return true;
  ctx.desktop.Inform("There is nothing to do!", "All step sizes are zero", Icon::Exclamation);
  return false;
}

// Work arrays are sized when a command needs them. A model with thousands of
// parameters can ask for more memory than there is: the command then says so
// and the state stays as it was.
void ReportNoMemory(CommandContext& ctx, const char* command) {
  ctx.desktop.Inform(command,
                     "There is not enough memory for the work arrays of this command (" +
                         std::to_string(ctx.wb.free.FreeCount) +
                         " free parameters).\n\nFix some parameters (step 0) and try again.",
                     Icon::Exclamation);
}

template <class Sizing>
bool SizeWorkArrays(CommandContext& ctx, const char* command, Sizing sizing) {
  try {
    sizing();
    return true;
  } catch (const std::bad_alloc&) {
    ReportNoMemory(ctx, command);
    return false;
  }
}

// One evaluation with NF = 1 and without the prior term: the summary
// describes the model's own fit, whatever priors are in force.
double EvaluateWithoutPrior(Workbench& wb) {
  const bool priors = wb.state.PriorsActive;
  wb.state.PriorsActive = false;
  const double objective = EvaluateObjective(wb, wb.alg.Values, 1);
  wb.state.PriorsActive = priors;
  return objective;
}

}  // namespace

bool AlgorithmDataUsable(const Workbench& wb) {
  return !wb.alg.AlgorithmFilePath.empty() && !wb.alg.PartlyRead;
}

void ApplyMenuLoadRules(MenuView& menu, const Workbench& wb) {
  if (!wb.initialized) return;
  if (AlgorithmDataUsable(wb)) {
    menu.SetTwelveEnabled(true);
  } else {
    menu.SetTwelveEnabled(false);
    menu.SetEnabled({MenuButton::Initialize, MenuButton::LoadAlg}, true);
  }
}

void ApplyCommandOutcome(MenuButton button, CommandOutcome outcome, MenuView& menu,
                         const Workbench& wb) {
  switch (button) {
    case MenuButton::Initialize:
      break;  // the set-up form brings the menu back when it closes
    case MenuButton::LoadAlg:
      if (outcome == CommandOutcome::Done) {
        menu.SetTwelveEnabled(true);
        menu.FocusButton(MenuButton::EditAlg);
        menu.SetResultsCaption(kResultsCaption, kResultsToolTip);
      } else if (outcome != CommandOutcome::Cancelled) {
        // A read that failed part way leaves nothing a command may use.
        if (!AlgorithmDataUsable(wb)) menu.SetTwelveEnabled(false);
        menu.SetEnabled({MenuButton::Initialize, MenuButton::LoadAlg}, true);
      }
      break;
    case MenuButton::EditAlg:
      menu.SetTwelveEnabled(true);
      menu.SetEnabled({MenuButton::Initialize, MenuButton::LoadAlg}, false);
      menu.HideMenu();
      break;
    case MenuButton::SaveAlg:
      menu.SetTwelveEnabled(true);
      break;
    case MenuButton::OneFunction:
      menu.EndComputation();  // the menu comes back when the report window closes
      break;
    case MenuButton::Simplex:
    case MenuButton::Marquardt:
      menu.ShowMenu();
      menu.EndComputation();
      menu.SetTwelveEnabled(true);
      break;
    case MenuButton::UserSummary:
      // The summary window brings the menu back when it closes; the command
      // shows it at once when there was no summary to show.
      menu.EndComputation();
      menu.SetTwelveEnabled(true);
      break;
    case MenuButton::Covariance:
      // Fresh or earlier results: the display window brings the menu back.
      if (outcome != CommandOutcome::Done) menu.ShowMenu();
      menu.EndComputation();
      break;
    case MenuButton::Bayesian:
    case MenuButton::ParEstimate:
      // The chooser that opened brings the menu back when it closes.
      if (outcome != CommandOutcome::Done) menu.ShowMenu();
      break;
    case MenuButton::Rank:
      break;  // the ranking window brings the menu back when it closes
    case MenuButton::Quit:
      break;
  }
}

CommandOutcome RunMenuCommand(MenuButton button, CommandContext& ctx) {
  CommandOutcome outcome = CommandOutcome::Refused;
  switch (button) {
    case MenuButton::Initialize: outcome = InitializeCommand(ctx); break;
    case MenuButton::LoadAlg: outcome = LoadAlgorithmCommand(ctx); break;
    case MenuButton::EditAlg: outcome = EditAlgorithmCommand(ctx); break;
    case MenuButton::SaveAlg: outcome = SaveAlgorithmCommand(ctx); break;
    case MenuButton::OneFunction: outcome = OneFunctionCommand(ctx); break;
    case MenuButton::Simplex: outcome = SimplexCommand(ctx); break;
    case MenuButton::Marquardt: outcome = MarquardtCommand(ctx); break;
    case MenuButton::UserSummary: outcome = ResultsCommand(ctx); break;
    case MenuButton::Covariance: outcome = CovarianceCommand(ctx); break;
    case MenuButton::Bayesian: outcome = BayesianPriorsCommand(ctx); break;
    case MenuButton::ParEstimate: outcome = ParameterEvaluationCommand(ctx); break;
    case MenuButton::Rank:
      // Close the menu form, disable the Application menu, open frmRank.
      ctx.menu.HideMenu();
      ctx.menu.SetApplicationMenuEnabled(false);
      ctx.wb.state.RankingOpen = true;
      ctx.views.OpenRankingWindow();
      outcome = CommandOutcome::Done;
      break;
    case MenuButton::Quit: return CommandOutcome::Refused;
  }
  ApplyCommandOutcome(button, outcome, ctx.menu, ctx.wb);
  return outcome;
}

CommandOutcome InitializeCommand(CommandContext& ctx) {
  Workbench& wb = ctx.wb;
  for (int panel = 1; panel <= 4; ++panel) ctx.desktop.SetStatus(StatusBar::Files, panel, "");
  ctx.desktop.ClearProgressPanels();
  if (!wb.alg.AlgorithmFilePath.empty()) {
    // Data that a failed read left half filled are not offered for saving.
    if (!wb.alg.PartlyRead) {
      const Answer answer = ctx.desktop.Ask(
          "Initialize",
          "Algorithm data will be lost during this initialization.\n\n  Do you need to save "
          "current algorithm data?",
          Buttons::YesNoCancel, Icon::Exclamation);
      if (answer == Answer::Cancel) return CommandOutcome::Cancelled;
      if (answer == Answer::Yes) Save_Alg(wb, ctx.desktop, AlgorithmFileWriter::MainMenu);
    }
    wb.alg.AlgorithmFilePath.clear();
    for (MenuButton button : kTwelveButtons)
      if (button != MenuButton::Initialize)
        ctx.menu.SetButtonEnabled(button, button == MenuButton::LoadAlg);
  }
  ctx.views.OpenModelSetup();
  ctx.menu.HideMenu();
  return CommandOutcome::Done;
}

CommandOutcome LoadAlgorithmCommand(CommandContext& ctx) {
  return LoadAlgorithmData(ctx.wb, ctx.desktop, ctx.menu);
}

CommandOutcome EditAlgorithmCommand(CommandContext& ctx) {
  ctx.menu.CloseComputationWindows();
  ctx.menu.SetTwelveEnabled(false);
  ctx.wb.state.EditorOpen = true;
  ctx.views.OpenAlgorithmEditor();
  return CommandOutcome::Done;
}

CommandOutcome SaveAlgorithmCommand(CommandContext& ctx) {
  // No second command may start while the save dialogue is open.
  ctx.menu.SetTwelveEnabled(false);
  return Save_Alg(ctx.wb, ctx.desktop, AlgorithmFileWriter::MainMenu) ? CommandOutcome::Done
                                                                       : CommandOutcome::Cancelled;
}

CommandOutcome OneFunctionCommand(CommandContext& ctx) {
  Workbench& wb = ctx.wb;
  ctx.menu.BeginComputation();
  NormalizeFuseGroups(wb.alg, wb.fuse);
  BuildFreeParameterList(wb.alg, wb.free);
  // A non-finite objective is reported by the call itself.
  const double objective = OneFunctionCall(wb, ctx.desktop, ctx.views.OneFunction());
  ctx.views.Finished(MenuButton::OneFunction, objective);
  if (std::isfinite(objective)) ReviewPriorsAfterFit(ctx);
  return std::isfinite(objective) ? CommandOutcome::Done : CommandOutcome::Failed;
}

CommandOutcome SimplexCommand(CommandContext& ctx) {
  Workbench& wb = ctx.wb;
  ctx.menu.BeginComputation();
  if (!PrepareFreeParameters(ctx)) return CommandOutcome::NothingToDo;
  if (!StepsCanMoveParameters(wb, ctx.desktop, "Simplex minimization")) {
    return CommandOutcome::Refused;
  }
  if (!wb.state.SimplexRetained) {
    const bool sized = SizeWorkArrays(ctx, "Simplex minimization", [&wb] {
      wb.marquardt.Resize(0);
      wb.simplex.Resize(wb.free.FreeCount);
    });
    if (!sized) return CommandOutcome::Failed;
  }
  wb.state.CovarianceCurrent = false;
  ctx.views.ComputationRunning(MenuButton::Simplex, true);
  const SimplexResult result = RunSimplex(wb, ctx.desktop, ctx.views.Simplex());
  ctx.views.ComputationRunning(MenuButton::Simplex, false);
  ctx.views.Finished(MenuButton::Simplex, result.minimum);
  if (std::isfinite(result.minimum)) ReviewPriorsAfterFit(ctx);
  switch (result.outcome) {
    case SimplexOutcome::ZeroValueError:
    case SimplexOutcome::NonFinite: return CommandOutcome::Failed;
    default: return CommandOutcome::Done;
  }
}

CommandOutcome MarquardtCommand(CommandContext& ctx) {
  Workbench& wb = ctx.wb;
  ctx.menu.BeginComputation();
  MarquardtSetup(wb, ctx.desktop);
  if (wb.state.MarquardtDerivatives == DerivativeChoice::None) return CommandOutcome::Cancelled;
  if (!PrepareFreeParameters(ctx)) return CommandOutcome::NothingToDo;
  if (!StepsCanMoveParameters(wb, ctx.desktop, "Marquardt minimization")) {
    return CommandOutcome::Refused;
  }
  const bool sized = SizeWorkArrays(ctx, "Marquardt minimization", [&wb] {
    SizeMarquardtDerivatives(wb);
    wb.matrix.Resize(wb.free.FreeCount);
  });
  if (!sized) {
    return CommandOutcome::Failed;
  }
  const int terminalOutputFrequency = wb.alg.TerminalOutputFrequency;
  wb.state.CovarianceCurrent = false;
  ctx.views.ComputationRunning(MenuButton::Marquardt, true);
  const MarquardtResult result = MarquardtMinimize(wb, ctx.desktop, ctx.views.Marquardt());
  ctx.views.ComputationRunning(MenuButton::Marquardt, false);
  ctx.views.Finished(MenuButton::Marquardt, result.objective);
  if (std::isfinite(result.objective)) ReviewPriorsAfterFit(ctx);
  wb.alg.TerminalOutputFrequency = terminalOutputFrequency;
  wb.state.SimplexRetained = false;
  switch (result.outcome) {
    case MarquardtOutcome::Converged:
    case MarquardtOutcome::Stopped:
    case MarquardtOutcome::Frustrated:
    case MarquardtOutcome::Interrupted: return CommandOutcome::Done;
    default: return CommandOutcome::Failed;
  }
}

CommandOutcome ResultsCommand(CommandContext& ctx) {
  Workbench& wb = ctx.wb;
  if (!wb.model) return CommandOutcome::Refused;
  ctx.menu.BeginComputation();
  const bool anyValue = std::any_of(wb.alg.Values.begin(), wb.alg.Values.end(),
                                    [](double value) { return value != 0.0; });
  if (anyValue) {
    ctx.desktop.SetStatus(StatusBar::Progress, 1,
                          "One moment please while one function call is executed...");
    ctx.desktop.Yield();
    const double objective = EvaluateWithoutPrior(wb);
    ctx.desktop.SetStatus(StatusBar::Progress, 1, "");
    // A summary of a fit the model cannot evaluate would be a table of
    // infinities: refused as the one function call refuses it.
    if (!std::isfinite(objective)) {
      ctx.desktop.Inform("Model results",
                         "The model gave no finite objective (" + FormatNumber(objective, "0") +
                             ") at the current parameter values, so no results summary is "
                             "made.\n\nCheck the values and the data first.",
                         Icon::Exclamation);
      ctx.menu.ShowMenu();
      return CommandOutcome::Failed;
    }
  }
  // Notes whether the model showed its summary window.
  struct SummaryWatch : ReportView {
    explicit SummaryWatch(ReportView& inner) : inner(inner) {}
    void ShowReport(ReportKind kind, const std::string& text) override {
      shown = shown || kind == ReportKind::Summary;
      inner.ShowReport(kind, text);
    }
    ReportView& inner;
    bool shown = false;
  } reports(ctx.views.Reports());
  SummaryContext summary;
  summary.reports = &reports;
  summary.plots = &ctx.views.Plots();
  summary.algorithmFilePath = wb.alg.AlgorithmFilePath;
  summary.priorsFilePath = wb.priors.PriorsFilePath;
  summary.priorsActive = wb.state.PriorsActive;
  summary.seed = wb.SummarySeed;
  wb.model->SetSummaryContext(summary);
  CallModel(wb, wb.alg.Values, -1);
  wb.model->SetSummaryContext(SummaryContext{});
  if (!reports.shown) ctx.menu.ShowMenu();
  return CommandOutcome::Done;
}

CommandOutcome CovarianceCommand(CommandContext& ctx) {
  Workbench& wb = ctx.wb;
  CovarianceViews& views = ctx.views.Covariance();
  if (wb.state.CovarianceCurrent &&
      ctx.desktop.Ask("Covariance", "View the last set of calculated covariance results?",
                      Buttons::YesNo, Icon::Question) == Answer::Yes) {
    wb.covariance.CovarianceDisplayMode = CovarianceState::DisplayMode::ViewedAgain;
    views.ShowDisplay();
    return CommandOutcome::Done;
  }
  ctx.menu.BeginComputation();
  // The grids' arrays are sized once the user has fixed the steps; the
  // results of an earlier calculation may be gone when they cannot be had.
  bool calculated = false;
  try {
    calculated = CovarianceCalculator(wb, ctx.desktop, views);
  } catch (const std::bad_alloc&) {
    wb.covariance.CovarianceActive = false;
    wb.state.CovarianceCurrent = false;
    ReportNoMemory(ctx, kCovarianceTitle);
  }
  if (!calculated) return CommandOutcome::Failed;
  // Only a finished calculation has results to view again.
  wb.state.CovarianceCurrent = true;
  return CommandOutcome::Done;
}

// ---------------------------------------------------------------------------

void MenuState::SetButtonEnabled(MenuButton button, bool enabled) {
  enabled_[static_cast<int>(button)] = enabled;
}

bool MenuState::ButtonEnabled(MenuButton button) const {
  return enabled_[static_cast<int>(button)];
}

}  // namespace estimetrix
