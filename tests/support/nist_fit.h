#pragma once
// One fit of a NIST reference problem as a user would make it: start from one
// of NIST's two starting points with step sizes a tenth of the starting
// values, run the Simplex, then Marquardt from where the Simplex stopped.

#include <string>

#include "engine/minimizers/marquardt.h"
#include "engine/minimizers/simplex.h"
#include "tests/support/nist_model.h"

namespace estimetrix::testing {

struct NistFitSettings {
  double tolerance = -1E-10;  // SimplexLimit: relative test
  int maxFunctionCalls = 20000;
};

struct NistFit {
  std::string simplexOutcome;
  std::string marquardtOutcome;
  double digits = 0.0;        // fewest correct significant digits over the parameters
  double objective = 0.0;     // residual sum of squares at the end
  long long evaluations = 0;  // every objective evaluation, counted or not
  double secondsInModel = 0.0;
  double secondsTotal = 0.0;
};

// Short names of how a run ended, for tables.
std::string SimplexOutcomeText(SimplexOutcome outcome);
std::string MarquardtOutcomeText(MarquardtOutcome outcome);

NistFit FitNistProblem(const NistProblem& problem, int start, const NistFitSettings& settings = {});

}  // namespace estimetrix::testing
