#pragma once
// The one path by which every computation evaluates the objective.

#include <string>

#include "engine/base/array.h"
#include "engine/objective/priors.h"  // ComputePriorTerm, added to the objective

namespace estimetrix {

class Desktop;
struct Workbench;

// Expands fused parameters in `vector`, calls MODEL with NF and, when priors
// are in force and NF >= 1, adds the prior term (stored in state.PriorTerm).
double EvaluateObjective(Workbench& wb, Vector& vector, int NF);

// Calls MODEL on wb.alg.Values with NF (0 to initialise, -1 for the summary),
// without fuse expansion or prior.
void CallModel(Workbench& wb, Vector& vector, int NF);

// The view of the one-function-call window.
class OneFunctionView {
 public:
  virtual ~OneFunctionView() = default;
  virtual void Show() = 0;
  virtual void SetText(const std::string& text) = 0;
};

// The "&1 Function call" routine: evaluates Values with NF = 1, times it and
// fills the view with the report. Returns the objective.
double OneFunctionCall(Workbench& wb, Desktop& desktop, OneFunctionView& view);

// The report text of one function call (also used by the headless runner).
std::string OneFunctionReport(const Workbench& wb, double objective, double seconds);

}  // namespace estimetrix
