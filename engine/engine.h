#pragma once
// What the engine offers, at a glance. Include the single headers where only
// one part is needed; this one is for orientation and for programs that use
// the whole engine.
//
// State
//   Workbench            the one state object of a session (workbench.h)
//   AlgorithmData, EstimationState, FuseGroupTable, FreeParameterList,
//   DerivativeChoice     (algorithm_data.h)
//   Model, SimpleModel, ModelEvaluator: the model contract (model.h)
// Commands of the main menu
//   RunMenuCommand, ApplyCommandOutcome, ApplyMenuLoadRules, CommandOutcome,
//   CommandViews, CommandContext, MenuState (commands.h); MenuView (menu_view.h)
// Files
//   the algorithm file: ReadAlgorithmFile, LoadAlgorithmData, Save_Alg (algorithm_file.h)
//   the minimization log (minimization_log.h)
// Computations
//   EvaluateObjective, OneFunctionCall (objective.h)
//   EvaluateBatch: independent points side by side (evaluation_batch.h)
//   RunSimplex (simplex.h), MarquardtSetup / MarquardtMinimize (marquardt.h)
//   LuDecompose, LuSolve, InvertMatrix, CholeskyTest (matrix.h)
//   CovarianceCalculator (covariance.h), BuildCovarianceReport, SaveCovarianceFile
//   (covariance_report.h)
//   StepsCanMoveParameters: the check before a minimizer runs (step_check.h)
// Text
//   RightJustify, FormatNumber, GeneralNumber, StrictReal, StrictInteger (format.h)

#include "engine/algorithm_data.h"
#include "engine/algorithm_file.h"
#include "engine/commands.h"
#include "engine/covariance.h"
#include "engine/covariance_report.h"
#include "engine/evaluation_batch.h"
#include "engine/format.h"
#include "engine/marquardt.h"
#include "engine/matrix.h"
#include "engine/menu_view.h"
#include "engine/model.h"
#include "engine/objective.h"
#include "engine/simplex.h"
#include "engine/step_check.h"
#include "engine/workbench.h"
