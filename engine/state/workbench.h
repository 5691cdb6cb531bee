#pragma once
// The one state object of a session: algorithm data, estimation state, the
// derived tables, the engine's work arrays, the model and what each
// computation keeps between commands. No globals: a test builds a fresh
// Workbench in one line.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/state/algorithm_data.h"
#include "engine/state/chain_draws.h"
#include "engine/state/covariance_state.h"
#include "engine/state/distribution_summary.h"
#include "engine/state/editor_state.h"
#include "engine/state/long_run.h"
#include "engine/state/marquardt_state.h"
#include "engine/state/matrix_work.h"
#include "engine/state/minimization_log.h"
#include "engine/state/model.h"
#include "engine/state/prior_table.h"
#include "engine/state/remote_evaluation.h"
#include "engine/state/simplex_state.h"

namespace estimetrix {

struct Workbench {
  AlgorithmData alg;
  EstimationState state;
  FuseGroupTable fuse;
  FreeParameterList free;
  PriorTable priors;
  MatrixWork matrix;
  MinimizationLog log;
  SimplexState simplex;
  MarquardtState marquardt;
  CovarianceState covariance;
  EditorState editor;

  // The last posterior or likelihood profile, and the last prior profile:
  // kept so that their plots can be shown again.
  DistributionPoints evaluation;
  DistributionPlot evaluationPlot;
  BivariatePlot bivariatePlot;  // empty unless the last posterior had two free parameters
  DistributionPoints priorProfile;
  // The last Markov chain run's draws and its report (empty before one).
  ChainDrawTable chainDraws;
  std::string chainReport;

  // Analytical derivatives from MODEL with NF = -2 (sized before a run that uses them).
  Vector gradient;
  Matrix secondDerivatives;

  std::unique_ptr<Model> model;
  bool initialized = false;  // the model has been initialised (InitializeAlready)

  // Threads that evaluate independent points (covariance grids, Marquardt's
  // numerical derivatives) side by side: 0 = every hardware thread, 1 = the
  // serial path alone. Results are the same for any count.
  int ThreadCount = 0;

  // The estimate of the last question about a long posterior or profile.
  LongRunEstimate longRun;

  // Other processes that take a share of large batches of independent points
  // (the MPI runner sets it; not owned). Results are the same with or without.
  RemoteEvaluation* remote = nullptr;

  // The seed of the results summary's random draws; nullopt: from the clock.
  std::optional<std::uint64_t> SummarySeed;

  // Sizes the engine's per-parameter arrays after MODEL(NF = 0) fixed N and
  // drops the square work arrays: each command sizes those when it runs, to
  // the number of parameters it works on, so a model with thousands of
  // parameters costs nothing until a command needs the memory.
  void ResizeForModel(int n) {
    matrix.Resize(0);
    priors.Resize(n);
    simplex.Resize(0);
    marquardt.Resize(n, 0);
    covariance.Resize(n, 0);
    gradient.Resize(1, 0, 0.0);
    secondDerivatives.Resize(1, 0, 1, 0, 0.0);
  }
};

}  // namespace estimetrix
