#pragma once
// The chooser of parameter evaluations (frmParEvals).

namespace estimetrix {

struct AppContext;

// Opens frmParEvals without blocking.
void OpenEvaluationChooser(AppContext& ctx);

}  // namespace estimetrix
