#pragma once
// The priors commands of the main menu and of the ranking window, and the
// buttons of the priors chooser (frmLoadPriors).

#include <optional>
#include <string>

#include "engine/state/command_context.h"

namespace estimetrix {

// Where the chooser was opened from: control goes back there when the chooser
// (or the editor opened from it) closes.
enum class PriorsOrigin { MainMenu, Ranking };

// "Set &Bayesian priors": the computation shell around opening the chooser.
CommandOutcome BayesianPriorsCommand(CommandContext& ctx);

// After a one-function call, or the final result of a Simplex or Marquardt
// run, while priors are in force: the prior review of the current values in
// its window. Nothing when priors are off.
void ReviewPriorsAfterFit(CommandContext& ctx);

// Opening the chooser: priors on, and the kept simplex dropped (the surface
// it was built on may change).
void BeginPriorsChooser(Workbench& wb);

// What the chooser does after one of its buttons.
enum class ChooserStep {
  StayOpen,    // nothing happened (a dialogue was cancelled)
  Close,       // the chooser closes and control goes back to where it came from
  OpenEditor,  // the chooser gives way to the editor, which hands control back later
};

// "&Open an existing Bayesian Priors file": the open dialogue. nullopt when
// cancelled. The caller closes the chooser, then runs LoadPriorsFile.
std::optional<std::string> ChoosePriorsFile(Workbench& wb, Desktop& desktop);

// Reads a priors file into the table. When it loaded: priors on when some
// family is not uniform-unbounded, and then the likelihood scale of the prior
// term is set as closing the editor sets it. False when it did not load (the
// reason shown; the table as it was).
bool LoadPriorsFile(Workbench& wb, Desktop& desktop, const std::string& path);

// "&Set or reset prior distributions".
ChooserStep SetOrResetPriors(Workbench& wb, Desktop& desktop);

// "Set &uniform-unbounded prior distributions": every parameter back to the
// default family, priors off.
ChooserStep ResetPriorsToUniform(Workbench& wb, Desktop& desktop);

// Closing the chooser ("&Cancel", or after a button): priors on when some
// family is not uniform-unbounded, else off; the menu form comes back when
// it was opened from the menu (the ranking window is the window's to show).
void ClosePriorsChooser(Workbench& wb, MenuView& menu, PriorsOrigin origin);

// Closing the editor: its closing sequence, then back to the menu form when
// the chooser was opened from the menu.
void ClosePriorsEditor(Workbench& wb, Desktop& desktop, MenuView& menu, PriorsOrigin origin);

// The default priors path given when the editor opens with none
// ("mmddhhmm.pri"), and the status panel that shows the priors file.
void ShowPriorsFileName(Workbench& wb, Desktop& desktop);

}  // namespace estimetrix
