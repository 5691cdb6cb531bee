#pragma once
// The priors editor (frmSetPriors) without its window: the family commands
// with their prompts and checks, the text of each grid row, the help text and
// the closing sequence. The window only shows what these leave in the table.

#include <string>

#include "engine/state/prior_table.h"

namespace estimetrix {

class Desktop;
struct Workbench;

// The window's caption, also the title of its own messages.
inline constexpr const char* kPriorsEditorTitle = "Set prior distributions";

// A family menu item on parameter `parameter` (1..N): asks for the family's
// terms and stores them. An empty answer or Cancel ends it with nothing
// changed; a text that is no number is asked again; terms that fail the
// family's test, or that the arithmetic could not evaluate, are refused with
// a message naming the rule. True when the parameter's prior changed.
bool SetPriorFamily(Workbench& wb, Desktop& desktop, int parameter, PriorType type);

// The menu caption of a family ("Gaussian (i.e., &Normal)", ...).
const char* PriorFamilyCaption(PriorType type);

// The nine families in the order of the editor's menu.
inline constexpr PriorType kPriorFamilies[] = {PriorType::U, PriorType::T, PriorType::N,
                                               PriorType::E, PriorType::G, PriorType::B,
                                               PriorType::S, PriorType::D, PriorType::L};

// One grid row's texts: the family's display name and the four terms
// ("0.000E+000", "*" when unset, or "Unused").
struct PriorRowText {
  std::string name;
  std::string terms[4];
};
PriorRowText PriorRow(const PriorTable& priors, int parameter);

// "&Help with prior distributions".
std::string PriorsHelpText();

// Closing the editor: the "Just so you know" note; priors off when every
// family is uniform-unbounded; otherwise priors on, the offer to save them and
// the likelihood scale of the prior term.
void ClosePriorsEditor(Workbench& wb, Desktop& desktop);

// Sets the scale that puts the prior's -ln terms on the objective's scale:
// the user's likelihood constant q (scale 1/q) when the model reports no
// observation count, else 2 x objective / (observations - free - 1) from one
// evaluation of the current values without the prior. False when nothing was
// set (cancelled, too few degrees of freedom, or no usable objective; the
// reason has been shown) and the scale is as it was.
bool SetPriorLikelihoodScale(Workbench& wb, Desktop& desktop);

}  // namespace estimetrix
