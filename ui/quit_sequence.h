#pragma once
// Quitting the workbench: the "&Quit" button, "E&xit" and closing the main
// window all ask the same questions and offer to save what would be lost.

namespace estimetrix {

class Desktop;
struct Workbench;

// Asks whether to quit, offers to save the algorithm data and (when some prior
// is not uniform) the priors, then closes the minimization log. True when the
// program may end; false leaves everything as it was.
bool RunQuitSequence(Workbench& wb, Desktop& desktop);

}  // namespace estimetrix
