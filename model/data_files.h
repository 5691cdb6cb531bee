#pragma once
// Readers of the model's two data files. Both skip the first line (field
// labels); blank lines at the end of a file are not records.
//
// Fixed columns (the model's own layout): size-frequency file: midpoint in
// columns 1-7, then for series s a 5-column count starting at column 6s + 3.
// Increment file: initial size in columns 1-6, increment in columns 8-13. A
// field that holds no number reads as 0 and short lines give what they have.
//
// Separated values (as spreadsheets and R write them): the same numbers in
// the same order, separated by commas, semicolons, tabs or blanks; every
// field must be a number. A file keeps to one layout (data_layout.h); a
// record that leaves it, or fits neither, refuses the file with its record
// named. The layout found is left in FrequencyLayout / IncrementLayout.

#include <optional>
#include <string>
#include <string_view>

#include "model/model_data.h"

namespace estimetrix {

// A failure the user must be told about; the data read so far are to be
// thrown away.
struct DataFileError {
  std::string title;
  std::string text;
};

// Sizes the loaded-data arrays for `data`'s configuration and clears them.
void SizeDataArrays(ModelData& data);

// Either reader refuses a file that holds NUL bytes (binary, or UTF-16 text)
// or no record after the label line; every such message names the file.

// Reads at most MaxIncrementRecords records into InitialSize and Increment
// (the rest of the file is ignored) and sets IncrementRecordCount.
std::optional<DataFileError> ReadIncrementFile(const std::string& path, ModelData& data);

// Reads the cells into Midpoints and ObservedFrequency (cells before
// FirstCell store 0 whatever they hold), sets CellCount, CellWidth,
// SeriesTotal and TotalCount. More than MaxCells cells or unevenly spaced
// midpoints are fatal. Also refused: fewer than 2 cells, midpoints that do
// not rise, a FirstCell beyond the last cell, a series with no count column
// on any record or no count above 0 from FirstCell on, and a count from
// FirstCell on that is negative or above 1E+9.
std::optional<DataFileError> ReadFrequencyFile(const std::string& path, ModelData& data);

// The text in `width` columns starting at column `first` (1-based), or what
// there is of it on a short line.
std::string_view Columns(const std::string& line, int first, int width);

}  // namespace estimetrix
