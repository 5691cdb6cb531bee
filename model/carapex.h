#pragma once
// What the built-in model offers, at a glance.
//
//   CarapexModel: the model behind MODEL, with its evaluator (carapex_model.h,
//                 carapex_evaluator.h)
//   CarapexSetup and its choices InstarShape, FrequencyTruncation,
//                 IncrementErrors (carapex_setup.h)
//   InitializeCarapex: the set-up form's OK sequence, shared with the runner;
//                 ReadSetupFile / ApplySetupEntry for set-up files (initialize.h)
//   ModelData, ModelState, ModelWork (model_data.h)
//   the data file readers (data_files.h), the parameter layout
//                 (parameter_layout.h), the likelihood steps (likelihood.h)

#include "model/carapex_evaluator.h"
#include "model/carapex_model.h"
#include "model/carapex_setup.h"
#include "model/initialize.h"
#include "model/model_data.h"
