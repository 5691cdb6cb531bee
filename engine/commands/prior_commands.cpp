// The priors commands: the main menu's Bayesian command, the chooser's
// buttons, closing the chooser and the editor, and the review after a fit.

#include "engine/commands/prior_commands.h"

#include "engine/bayesian/prior_editor.h"
#include "engine/bayesian/prior_review.h"
#include "engine/bayesian/priors_file.h"
#include "engine/state/workbench.h"
#include "platform/desktop.h"

namespace estimetrix {

namespace {

constexpr const char* kOpenTitle = "Load Bayesian Priors file";
constexpr const char* kPriorsFilter = "All files (*.*)|*.*|Bayesian priors files (*.pri)|*.pri";

void SetPriorsActiveFromTable(Workbench& wb) {
  wb.state.PriorsActive = !wb.priors.AllUniform();
}

void ResetAllToUniform(Workbench& wb, Desktop& desktop) {
  for (int i = 1; i <= wb.priors.Count(); ++i) wb.priors.ResetToUniform(i);
  wb.state.PriorsActive = false;
  desktop.Inform("Default prior probabilities",
                 "Prior probabilities have been set to default (uniform-unbounded) values");
}

}  // namespace

CommandOutcome BayesianPriorsCommand(CommandContext& ctx) {
  // The chooser brings the menu form back when it closes.
  ctx.menu.BeginComputation();
  BeginPriorsChooser(ctx.wb);
  ctx.views.OpenPriorsChooser();
  ctx.menu.EndComputation();
  return CommandOutcome::Done;
}

void ReviewPriorsAfterFit(CommandContext& ctx) {
  if (!ctx.wb.state.PriorsActive) return;
  ctx.views.Reports().ShowReport(ReportKind::PriorReview, ReviewPriors(ctx.wb));
}

void BeginPriorsChooser(Workbench& wb) {
  wb.state.PriorsActive = true;
  wb.state.SimplexRetained = false;
}

std::optional<std::string> ChoosePriorsFile(Workbench& wb, Desktop& desktop) {
  FileDialogRequest request;
  request.title = kOpenTitle;
  request.filter = kPriorsFilter;
  request.filterIndex = 2;
  request.proposedName = wb.priors.PriorsFilePath;
  std::optional<std::string> path = desktop.OpenFileName(request);
  if (path && path->empty()) return std::nullopt;
  return path;
}

bool LoadPriorsFile(Workbench& wb, Desktop& desktop, const std::string& path) {
  if (!ReadPriorsFile(wb, desktop, path)) return false;
  SetPriorsActiveFromTable(wb);
  // A prior loaded from a file weighs in the objective as one set in the editor.
  if (wb.state.PriorsActive) SetPriorLikelihoodScale(wb, desktop);
  return true;
}

ChooserStep SetOrResetPriors(Workbench& wb, Desktop& desktop) {
  if (!wb.priors.AllUniform()) return ChooserStep::OpenEditor;
  const Answer answer = desktop.Ask(
      "Setting Bayesian Priors",
      "You may now set prior distributions for any or all of the parameters; uniform-unbounded "
      "is the default prior distribution when no priors are specified.\n\n"
      "Penalty functions written into the model routine amount to the same thing as a cliff "
      "prior distribution.\n\n"
      "Note that a priors file applies to all algorithm files associated with the analysis.\n\n"
      "Choose 'No' to keep uniform-unbounded priors for all parameters, or 'Yes' to set priors "
      "for selected parameters.",
      Buttons::YesNo, Icon::Question);
  if (answer != Answer::Yes) {
    ResetAllToUniform(wb, desktop);
    return ChooserStep::Close;
  }
  ShowPriorsFileName(wb, desktop);
  return ChooserStep::OpenEditor;
}

ChooserStep ResetPriorsToUniform(Workbench& wb, Desktop& desktop) {
  ResetAllToUniform(wb, desktop);
  return ChooserStep::Close;
}

void ClosePriorsChooser(Workbench& wb, MenuView& menu, PriorsOrigin origin) {
  SetPriorsActiveFromTable(wb);
  if (origin == PriorsOrigin::MainMenu) menu.ShowMenu();
}

void ClosePriorsEditor(Workbench& wb, Desktop& desktop, MenuView& menu, PriorsOrigin origin) {
  ClosePriorsEditor(wb, desktop);
  if (origin == PriorsOrigin::MainMenu) menu.ShowMenu();
}

void ShowPriorsFileName(Workbench& wb, Desktop& desktop) {
  // With the extension, so that the bare name in the status bar is the whole
  // date-time name and the save dialogue proposes a priors file.
  if (wb.priors.PriorsFilePath.empty())
    wb.priors.PriorsFilePath = DateTimeName(desktop.Now()) + ".pri";
  desktop.SetStatus(StatusBar::Files, 2,
                    "Bayesian priors file: " + PriorsFileName(wb.priors.PriorsFilePath));
}

}  // namespace estimetrix
