#pragma once
// What the engine offers, at a glance. Include the single headers where only
// one part is needed; this one is for orientation and for programs that use
// the whole engine.
//
// The rooms, lowest first; a room includes only itself and the rooms before it.
//   base/        the array type, number formats and texts, LogGamma, clock texts
//   state/       the Workbench and everything it holds (AlgorithmData,
//                EstimationState, the model contract, the priors table, the
//                minimizers' and covariance state, distribution summaries), its
//                files (the algorithm file, report files, the minimization log),
//                the views the commands talk to and CommandContext / CommandOutcome,
//                RemoteEvaluation (other processes that take shares of batches)
//   objective/   EvaluateObjective, OneFunctionCall, the prior term and
//                EvaluateBatch (independent points side by side, on threads and
//                on other processes)
//   minimizers/  RunSimplex, MarquardtSetup / MarquardtMinimize, LuDecompose,
//                LuSolve, InvertMatrix, CholeskyTest, StepsCanMoveParameters
//   covariance/  CovarianceCalculator, BuildCovarianceReport, SaveCovarianceFile
//   bayesian/    the priors file, editor, review and profile; the posterior and
//                the likelihood profile on their shared EvaluationRun
//   commands/    RunMenuCommand and one function per menu command

#include "engine/base/format.h"
#include "engine/commands/commands.h"
#include "engine/covariance/covariance.h"
#include "engine/covariance/covariance_report.h"
#include "engine/minimizers/marquardt.h"
#include "engine/minimizers/matrix.h"
#include "engine/minimizers/simplex.h"
#include "engine/minimizers/step_check.h"
#include "engine/objective/evaluation_batch.h"
#include "engine/objective/objective.h"
#include "engine/state/algorithm_data.h"
#include "engine/state/algorithm_file.h"
#include "engine/state/menu_view.h"
#include "engine/state/model.h"
#include "engine/state/workbench.h"
