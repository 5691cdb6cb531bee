#pragma once
// The set-up form's "Make from measurements..." dialogues: choose a table of
// raw measurements, name its columns (and the cells), make the data file,
// save it where the user says and show how it was made. Every step can be
// cancelled; a refusal is a message and nothing is written.

#include <optional>
#include <string>

namespace estimetrix {

class Desktop;

inline constexpr const char* kMakeDataTitle = "Make from measurements";

struct SavedDataFile {
  std::string path;
  int seriesCount = 0;  // frequency files
};

// The saved frequency file, or nullopt when nothing was saved.
std::optional<SavedDataFile> MakeFrequencyFileDialogue(Desktop& desktop);

// The saved increment file, or nullopt when nothing was saved.
std::optional<SavedDataFile> MakeIncrementFileDialogue(Desktop& desktop);

}  // namespace estimetrix
