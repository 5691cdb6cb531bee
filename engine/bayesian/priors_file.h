#pragma once
// The priors file (.pri): the parameter count on line 1, then one
// fixed-column record per parameter (type letter in column 7, four
// eleven-column terms from column 8, the family's name from column 55).

#include <string>

#include "engine/state/prior_table.h"

namespace estimetrix {

class Desktop;
struct Workbench;

// The whole file text with "\n" line ends (saving turns them into CR LF).
std::string PriorsFileText(const PriorTable& priors);

// The bare name shown in the status bar: the text after the last "/" or "\"
// without its last four characters (the extension).
std::string PriorsFileName(const std::string& path);

// Reads `path` into a fresh table. True when it loaded: the table replaces
// wb.priors (PriorsFilePath set, status panel updated, "Bayes information"
// message; a prior that cannot be evaluated loads with a warning naming its
// parameter) and priors are in force unless every prior is uniform-unbounded. A count that differs from the model's: the mismatch message,
// priors off, table unchanged, false. A file that cannot be read, a count
// line that is no fitting number, a missing or unreadable record: a message
// naming the line, table and PriorsActive unchanged, false.
bool ReadPriorsFile(Workbench& wb, Desktop& desktop, const std::string& path);

// Asks where to save the priors (proposing PriorsFilePath or "mmddhhmm.pri")
// and writes them safely. False when cancelled or the write failed (reported);
// nothing changes then.
bool Save_Priors(Workbench& wb, Desktop& desktop);

}  // namespace estimetrix
