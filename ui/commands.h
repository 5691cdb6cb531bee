#pragma once
// The menu form's commands. Each lives beside the windows it opens.

namespace estimetrix {

struct AppContext;

void InitializeCommand(AppContext& ctx);     // initialize_form.cpp
void LoadAlgorithmCommand(AppContext& ctx);  // algorithm_commands.cpp
void EditAlgorithmCommand(AppContext& ctx);  // algorithm_editor.cpp
void SaveAlgorithmCommand(AppContext& ctx);  // algorithm_commands.cpp (Save_Alg)
void OneFunctionCommand(AppContext& ctx);    // one_function_window.cpp
void SimplexCommand(AppContext& ctx);        // simplex_window.cpp
void MarquardtCommand(AppContext& ctx);      // marquardt_window.cpp
void ResultsCommand(AppContext& ctx);        // results_command.cpp
void CovarianceCommand(AppContext& ctx);     // covariance_windows.cpp
void BayesianCommand(AppContext& ctx);       // not yet built
void ParEstimateCommand(AppContext& ctx);    // not yet built
void RankCommand(AppContext& ctx);           // not yet built

}  // namespace estimetrix
