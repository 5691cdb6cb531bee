#pragma once
// Initialising the built-in model: the set-up form's OK sequence, shared by
// the form and the headless runner, and the example set-up files.

#include <optional>
#include <string>

#include "model/carapex_setup.h"

namespace estimetrix {

class Desktop;
struct Workbench;

// Runs the OK sequence: checks the choices ("Missing input" messages and the
// counts the model cannot take), calls MODEL with NF = 0 and resets the engine
// for the new model. On any failure the message has been shown and the
// workbench (model, data, algorithm data) is exactly as before: returns false.
bool InitializeCarapex(Workbench& wb, Desktop& desktop, const CarapexSetup& setup);

// A set-up file: "key=value" lines with the headless runner's option names
// (frequencies, series, first-cell, identified, blended, instars, truncation,
// increments, increment-instars, increment-errors, alg); '#' starts a comment;
// relative paths are relative to the file. `algorithmPath` receives the alg
// entry (empty when absent).
std::optional<CarapexSetup> ReadSetupFile(const std::string& path, std::string& algorithmPath,
                                          std::string& error);

}  // namespace estimetrix
