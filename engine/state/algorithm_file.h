#pragma once
// The algorithm file (.alg): the parameter count, one fixed-column line per
// parameter (value, step, fuse code, description) and six minimizer settings.
// Readers take the fields by column; labels and descriptions are for people.

#include <string>
#include <vector>

#include "engine/state/algorithm_data.h"

namespace estimetrix {

class Desktop;
class MenuView;
struct Workbench;
enum class CommandOutcome;

// The main menu labels parameter lines "Value, step then link for ", the
// ranking window "Value, step then link for: ". Files from either read alike.
enum class AlgorithmFileWriter { MainMenu, Ranking };

// The file's whole text with CR LF line ends. OutputFileName is written in
// its shortened form (ShortenedOutputFileName); a value or step too long for
// its 14 columns is written with fewer mantissa decimals so it reads back as
// the same number.
std::string AlgorithmFileText(const AlgorithmData& alg, AlgorithmFileWriter writer);

// The log name as the file keeps it: a name of 15 characters or more becomes
// the text after the last "\" or "/" within its last 14 characters, or those
// 14 characters when there is no separator there.
std::string ShortenedOutputFileName(const std::string& name);

// AlgorithmFileName for a path: its bare file name less the last four
// characters (the extension).
std::string AlgorithmFileNameOf(const std::string& path);

// Reads the lines of an opened algorithm file into wb.alg, checking them
// against the model's parameter count, and sets LoadFailed. Each failure is
// shown as an information message titled "Algorithm file - information input
// failed" (the menu form hidden meanwhile) and enables Load and Initialize;
// after a blank line it names what to mend: the line, columns and field of a
// badly formatted value, the missing line, or the first extra line.
// A parameter-count mismatch leaves the data untouched; any other failure
// keeps what was read before it. `menu` may be null (no menu form to manage).
// A UTF-8 byte-order mark at the start of the first line is skipped.
void ReadAlgorithmFile(Workbench& wb, Desktop& desktop, MenuView* menu,
                       const std::vector<std::string>& lines);

// ReadAlgorithmFile for the file at `path`, which becomes AlgorithmFilePath
// (and AlgorithmFileName). A file refused before any of it was taken (an
// unreadable or mismatched parameter count) gives the previous path and name
// back before its message, so the menu never takes the refused file for
// loaded data.
void ReadAlgorithmFileAt(Workbench& wb, Desktop& desktop, MenuView* menu,
                         const std::vector<std::string>& lines, const std::string& path);

// Raises a SimplexLimit below 1E-06 in magnitude to 1E-06 with its sign
// (0 stays 0): the limits a file may carry that no minimizer can meet.
void ApplySimplexLimitFloor(AlgorithmData& alg);

// The main menu's "&Load algorithm data" command: a file chosen by the user,
// or the default values under a date-time name.
// The load dialogue and the read of the chosen file, shared by the main menu
// and the ranking window: Done when the file was read whole; Cancelled at the
// dialogue (Load and Initialize are then enabled); Refused when the file was
// refused before anything was taken from it (the data are as they were);
// Failed when a read failed part way (PartlyRead is then set). `menu` may be
// null (no menu form to manage).
CommandOutcome ChooseAndReadAlgorithmFile(Workbench& wb, Desktop& desktop, MenuView* menu);

// Done when a file or the defaults were loaded; Refused when the chosen file
// was refused before anything was taken from it; Failed when a read failed
// part way (PartlyRead is then set); Cancelled at the question or the dialogue.
CommandOutcome LoadAlgorithmData(Workbench& wb, Desktop& desktop, MenuView& menu);

// Loads a named file without asking which file (headless runs, examples).
// False on failure, with the message already shown.
bool LoadAlgorithmFile(Workbench& wb, Desktop& desktop, const std::string& path);

// The save command of the main menu or the ranking window: asks for a file
// name, writes the file atomically and names it in status panel 1. True when
// a file was written; a failed write says why and leaves the old file.
bool Save_Alg(Workbench& wb, Desktop& desktop, AlgorithmFileWriter writer);

// Writes the file at `path` (main menu labels) without dialogues and makes it
// the current algorithm file. False with the reason in `error`.
bool WriteAlgorithmFile(Workbench& wb, const std::string& path, std::string& error);

}  // namespace estimetrix
