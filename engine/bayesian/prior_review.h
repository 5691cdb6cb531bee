#pragma once
// The prior review: how likely the current parameter values are under each
// parameter's prior and under all priors together.

#include <string>

namespace estimetrix {

struct Workbench;

// Evaluates every parameter's -ln prior at wb.alg.Values (leaving them in
// wb.priors.PriorParameterTerms) and returns the review text: the
// explanation, one line per parameter with a prior (its -ln prior and
// exp(-that), or why it cannot be evaluated), and the model total.
std::string ReviewPriors(Workbench& wb);

}  // namespace estimetrix
