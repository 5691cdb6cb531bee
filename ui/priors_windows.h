#pragma once
// The priors windows: the chooser frmLoadPriors and the editor frmSetPriors.

namespace estimetrix {

struct AppContext;

// Opens the chooser (frmLoadPriors) without blocking.
void OpenPriorsChooser(AppContext& ctx);
// Opens the editor (frmSetPriors) without blocking.
void OpenPriorsEditor(AppContext& ctx);

}  // namespace estimetrix
