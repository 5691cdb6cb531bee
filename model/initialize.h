#pragma once
// Initialising the built-in model: the set-up form's OK sequence, shared by
// the form and the headless runner, and the example set-up files.

#include <optional>
#include <string>
#include <utility>
#include <vector>

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

// The pieces ReadSetupFile is made of, shared with the headless runner so that
// its options and a set-up file are read by the same rules.
using SetupEntry = std::pair<std::string, std::string>;  // key, value

// The entries of a set-up file in file order, with relative paths resolved
// against the file's folder. nullopt with a reason when the file cannot be
// read or a line is not "key=value".
std::optional<std::vector<SetupEntry>> ReadSetupEntries(const std::string& path,
                                                        std::string& error);

// Applies one entry (a set-up file key without "--"). Counts are kept as typed
// (InitializeCarapex checks them); the enumerations must be one of their words.
// "alg" goes to `algorithmPath`. False with a reason for an unknown key or word.
bool ApplySetupEntry(CarapexSetup& setup, std::string& algorithmPath, const SetupEntry& entry,
                     std::string& error);

// One line per data file of the initialised model saying which layout it was
// read in ("Frequency file read as comma-separated values: PATH"); none when
// the model is not initialised. Without `includeFixed` only the files read as
// separated values are named (the fixed columns are the model's own layout).
std::vector<std::string> DataLayoutNotes(const Workbench& wb, bool includeFixed);

// What the form puts into cboIncInstars once both the instar counts and an
// increment file are known: identified + blended, as the model caps them.
std::string DefaultIncrementInstars(const CarapexSetup& setup);

// The number of instars the model will fit for these counts (identified
// capped at 99, the total capped at 99); nullopt when either is not a count.
std::optional<int> EffectiveInstarCount(const std::string& identifiedText,
                                        const std::string& blendedText);

}  // namespace estimetrix
