#include "model/make_data_dialogue.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "engine/base/format.h"
#include "model/raw_measurements.h"
#include "platform/desktop.h"
#include "platform/text_file.h"

namespace estimetrix {

namespace {

constexpr const char* kRawFilter =
    "All files (*.*)|*.*|Tables (*.csv;*.tsv;*.txt)|*.csv;*.tsv;*.txt";
constexpr const char* kDataFilter = "All files (*.*)|*.*|Data files (*.dat)|*.dat";

void RefuseMaking(Desktop& desktop, const std::string& text) {
  desktop.Inform(kMakeDataTitle, text, Icon::Exclamation);
}

// The first column whose name holds one of the words, else `fallback`.
std::string Likely(const std::vector<std::string>& names, std::initializer_list<const char*> words,
                   const std::string& fallback) {
  for (const char* word : words)
    for (const std::string& name : names)
      if (Lowered(name).find(word) != std::string::npos) return name;
  return fallback;
}

std::string Listed(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

struct RawChoice {
  std::string path;
  std::vector<std::string> names;
};

std::optional<RawChoice> ChooseRaw(Desktop& desktop, const std::string& title) {
  std::optional<std::string> path = desktop.OpenFileName({title, kRawFilter, 2, {}, false});
  if (!path) return std::nullopt;
  std::string error;
  std::optional<std::vector<std::string>> names = RawColumnNames(*path, error);
  if (!names) {
    RefuseMaking(desktop, error);
    return std::nullopt;
  }
  return RawChoice{*path, *names};
}

std::optional<std::string> Ask(Desktop& desktop, const std::string& prompt,
                               const std::string& proposed) {
  std::optional<std::string> text = desktop.Input({kMakeDataTitle, prompt, proposed});
  if (!text) return std::nullopt;
  const size_t first = text->find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return text->substr(first, text->find_last_not_of(" \t") - first + 1);
}

std::optional<SavedDataFile> SaveMade(Desktop& desktop, const std::string& title,
                                      const MadeDataFile& made) {
  std::optional<std::string> path = desktop.SaveFileName({title, kDataFilter, 2, {}, true});
  if (!path) return std::nullopt;
  std::string error;
  if (!SaveTextFileAtomically(*path, made.text, error)) {
    RefuseMaking(desktop, *path + " was not written: " + error);
    return std::nullopt;
  }
  desktop.Inform(kMakeDataTitle, made.report + "Saved as " + *path);
  return SavedDataFile{*path, made.seriesCount};
}

}  // namespace

std::optional<SavedDataFile> MakeFrequencyFileDialogue(Desktop& desktop) {
  std::optional<RawChoice> raw = ChooseRaw(desktop, "Raw measurements for a frequency file");
  if (!raw) return std::nullopt;
  const std::string columns = " (columns: " + Listed(raw->names) + ")";
  FrequencyBinning binning;
  std::optional<std::string> size =
      Ask(desktop, "Column with the sizes" + columns + ":",
          Likely(raw->names, {"width", "length", "size", "cw", "cl"}, raw->names.front()));
  if (!size) return std::nullopt;
  binning.sizeColumn = *size;
  std::optional<std::string> series =
      Ask(desktop, "Column whose values name the series (empty: one series)" + columns + ":",
          Likely(raw->names, {"year", "series"}, ""));
  if (!series) return std::nullopt;
  binning.seriesColumn = *series;
  std::optional<std::string> width = Ask(desktop, "Cell width:", "1");
  if (!width) return std::nullopt;
  if (!StrictReal(*width, binning.cellWidth) || !(binning.cellWidth > 0.0)) {
    RefuseMaking(desktop, "The cell width must be a number above 0, not \"" + *width + "\".");
    return std::nullopt;
  }
  std::optional<std::string> first =
      Ask(desktop, "Midpoint of the first cell:", GeneralNumber(binning.cellWidth / 2.0));
  if (!first) return std::nullopt;
  double midpoint = 0.0;
  if (!StrictReal(*first, midpoint)) {
    RefuseMaking(desktop, "The first midpoint must be a number, not \"" + *first + "\".");
    return std::nullopt;
  }
  binning.firstMidpoint = midpoint;
  std::string error;
  std::optional<MadeDataFile> made = MakeFrequencyFile(raw->path, binning, error);
  if (!made) {
    RefuseMaking(desktop, error);
    return std::nullopt;
  }
  return SaveMade(desktop, "Save frequency data file", *made);
}

std::optional<SavedDataFile> MakeIncrementFileDialogue(Desktop& desktop) {
  std::optional<RawChoice> raw = ChooseRaw(desktop, "Raw measurements for an increment file");
  if (!raw) return std::nullopt;
  const std::string columns = " (columns: " + Listed(raw->names) + ")";
  IncrementColumns chosen;
  std::optional<std::string> initial =
      Ask(desktop, "Column with the initial (pre-moult) sizes" + columns + ":",
          Likely(raw->names, {"pre", "initial", "size"}, raw->names.front()));
  if (!initial) return std::nullopt;
  chosen.initialColumn = *initial;
  std::optional<std::string> increment =
      Ask(desktop,
          "Column with the increments (empty: give a column of post-moult sizes)" + columns + ":",
          Likely(raw->names, {"incr", "growth"}, ""));
  if (!increment) return std::nullopt;
  chosen.incrementColumn = *increment;
  if (increment->empty()) {
    std::optional<std::string> post =
        Ask(desktop, "Column with the post-moult sizes" + columns + ":",
            Likely(raw->names, {"post"}, ""));
    if (!post) return std::nullopt;
    chosen.postmoultColumn = *post;
    if (post->empty()) {
      RefuseMaking(desktop, "An increment file needs a column of increments or of post-moult sizes.");
      return std::nullopt;
    }
  }
  std::string error;
  std::optional<MadeDataFile> made = MakeIncrementFile(raw->path, chosen, error);
  if (!made) {
    RefuseMaking(desktop, error);
    return std::nullopt;
  }
  return SaveMade(desktop, "Save increment data file", *made);
}

}  // namespace estimetrix
