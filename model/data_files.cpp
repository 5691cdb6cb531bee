#include "model/data_files.h"

#include <cmath>
#include <filesystem>
#include <vector>

#include "engine/format.h"
#include "platform/text_file.h"

namespace estimetrix {

namespace {

const char kFatalTitle[] = "Fatal error - analysis stops";
const char kUnreadableTitle[] = "Data file cannot be read";
const char kNegativeTitle[] = "Error in frequency data file";

bool IsBlank(const std::string& line) {
  return line.find_first_not_of(" \t\r\f\v") == std::string::npos;
}

// The file's lines without the label line and without blank lines at the
// end, or the reason it cannot be read.
std::optional<std::vector<std::string>> RecordLines(const std::string& kind,
                                                    const std::string& path, DataFileError& error) {
  std::error_code ec;
  std::string reason;
  std::optional<std::vector<std::string>> lines;
  if (std::filesystem::is_directory(path, ec)) {
    reason = path + " is a folder, not a file.";
  } else {
    lines = ReadTextLines(path, reason);
  }
  if (!lines) {
    error = {kUnreadableTitle, "The " + kind + " data file could not be read.\n" + reason +
                                   "\nThe model has not been initialised."};
    return std::nullopt;
  }
  while (!lines->empty() && IsBlank(lines->back())) lines->pop_back();
  if (!lines->empty()) lines->erase(lines->begin());
  return lines;
}

}  // namespace

std::string_view Columns(const std::string& line, int first, int width) {
  const size_t start = static_cast<size_t>(first - 1);
  if (start >= line.size()) return {};
  return std::string_view(line).substr(start, static_cast<size_t>(width));
}

void SizeDataArrays(ModelData& data) {
  data.Midpoints.Resize(1, data.MaxCells, 0.0);
  data.ObservedFrequency.Resize(0, data.SeriesCount, 0, data.MaxCells, 0.0);
  data.SeriesTotal.Resize(1, data.SeriesCount, 0.0);
  data.InitialSize.Resize(1, data.MaxIncrementRecords, 0.0);
  data.Increment.Resize(1, data.MaxIncrementRecords, 0.0);
}

std::optional<DataFileError> ReadIncrementFile(const std::string& path, ModelData& data) {
  DataFileError error;
  auto lines = RecordLines("increment", path, error);
  if (!lines) return error;
  data.IncrementRecordCount = 0;
  for (const std::string& line : *lines) {
    if (data.IncrementRecordCount == data.MaxIncrementRecords) break;
    const int r = ++data.IncrementRecordCount;
    data.InitialSize[r] = LenientNumber(Columns(line, 1, 6));
    data.Increment[r] = LenientNumber(Columns(line, 8, 6));
  }
  return std::nullopt;
}

std::optional<DataFileError> ReadFrequencyFile(const std::string& path, ModelData& data) {
  DataFileError error;
  auto lines = RecordLines("frequency", path, error);
  if (!lines) return error;
  data.CellWidth = 0.0;
  data.TotalCount = 0.0;
  int cell = 0;
  for (const std::string& line : *lines) {
    ++cell;
    if (cell > data.MaxCells) {
      return DataFileError{
          kFatalTitle, "Maximum number of " + IntText(data.MaxCells) + " frequency cells exceeded"};
    }
    const double midpoint = LenientNumber(Columns(line, 1, 7));
    data.Midpoints[cell] = midpoint;
    for (int s = 1; s <= data.SeriesCount; ++s) {
      const double count = LenientNumber(Columns(line, 6 * s + 3, 5));
      // A negative count would make the G statistic undefined at every evaluation.
      if (count < 0.0) {
        return DataFileError{kNegativeTitle,
                             "Frequency " + std::string(Columns(line, 6 * s + 3, 5)) +
                                 " in record " + IntText(cell) + ", series " + IntText(s) +
                                 " is negative; frequencies must be counts."};
      }
      data.ObservedFrequency(s, cell) = cell < data.FirstCell ? 0.0 : count;
    }
    if (cell == 2) data.CellWidth = midpoint - data.Midpoints[1];
    if (cell >= 3 &&
        std::fabs(midpoint - data.Midpoints[cell - 1] - data.CellWidth) > 0.001 * data.CellWidth) {
      return DataFileError{
          kFatalTitle, "Inconsistency in frequency midpoint interval near record " + IntText(cell) +
                           ". Tolerance is 0.1%."};
    }
    for (int s = 1; s <= data.SeriesCount; ++s) {
      const double stored = data.ObservedFrequency(s, cell);
      data.SeriesTotal[s] += stored;
      data.TotalCount = std::round(data.TotalCount + stored);
    }
  }
  data.CellCount = cell;
  return std::nullopt;
}

}  // namespace estimetrix
