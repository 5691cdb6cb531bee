#include "model/data_files.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <filesystem>
#include <vector>

#include "engine/base/format.h"
#include "model/data_layout.h"
#include "platform/text_file.h"

namespace estimetrix {

namespace {

const char kFatalTitle[] = "Fatal error - analysis stops";
const char kUnreadableTitle[] = "Data file cannot be read";
const char kFrequencyTitle[] = "Error in frequency data file";
const char kIncrementTitle[] = "Error in increment data file";

// A count beyond this is a typing or export slip, not a count of animals; it
// would also swamp every other term of the objective.
constexpr double kMaxCount = 1e9;

bool IsBlank(std::string_view text) {
  return text.find_first_not_of(" \t\r\f\v") == std::string_view::npos;
}

// Record r is line r + 1: the first line holds the field labels.
std::string RecordPlace(int record) {
  return "record " + IntText(record) + " (line " + IntText(record + 1) + ")";
}

std::string LinePlace(int line) {
  return line == 1 ? "line 1 (the field labels)" : RecordPlace(line - 1);
}

DataFileError FileError(const char* title, const std::string& problem, const std::string& path) {
  return {title, problem + "\nFile: " + path};
}

// The file's lines without the label line and without blank lines at the
// end, or the reason it cannot be used.
std::optional<std::vector<std::string>> RecordLines(const std::string& kind, const char* title,
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
  // Binary files and UTF-16 text hold NUL bytes; read by columns they would
  // pass as records of zeros.
  for (size_t i = 0; i < lines->size(); ++i) {
    if ((*lines)[i].find('\0') == std::string::npos) continue;
    const std::string place = LinePlace(static_cast<int>(i) + 1);
    error = FileError(title,
                      "The " + kind + " data file holds NUL bytes in " + place +
                          "; a data file must be plain text, not a binary file or UTF-16 text.",
                      path);
    return std::nullopt;
  }
  while (!lines->empty() && IsBlank(lines->back())) lines->pop_back();
  if (!lines->empty()) lines->erase(lines->begin());
  if (lines->empty()) {
    error = FileError(title,
                      "The " + kind +
                          " data file holds no records: its first line is taken as field labels "
                          "and no record follows it.",
                      path);
    return std::nullopt;
  }
  return lines;
}

// The records a reader takes in: the increment reader stops at its limit, and
// the frequency reader refuses a file past its own, so the layout is judged
// on those records only.
std::vector<std::string> FirstRecords(const std::vector<std::string>& lines, int count) {
  const size_t n = std::min(lines.size(), static_cast<size_t>(count));
  return std::vector<std::string>(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(n));
}

std::string PlaceOfRecordAt(int index) {
  return RecordPlace(index + 1);
}

RecordShape IncrementShape() {
  RecordShape shape;
  shape.columns = {{1, 6}, {8, 6}};
  shape.contents = "an initial size then an increment";
  shape.minFields = 2;
  shape.maxFields = 2;
  return shape;
}

RecordShape FrequencyShape(int series) {
  RecordShape shape;
  shape.columns = {{1, 7}};
  for (int s = 1; s <= series; ++s) shape.columns.push_back({6 * s + 3, 5});
  shape.contents = series == 1 ? "a midpoint then a count"
                               : "a midpoint then " + IntText(series) + " counts (one per series)";
  shape.minFields = 1 + series;
  return shape;
}

// A count of series s in a record at or after the first cell evaluated.
std::optional<DataFileError> CountFault(std::string_view field, double count, int cell, int s,
                                        const std::string& path) {
  // Negative counts would make the G statistic undefined at every evaluation.
  if (count < 0.0) {
    return DataFileError{kFrequencyTitle, "Frequency " + std::string(field) + " in record " +
                                              IntText(cell) + ", series " + IntText(s) +
                                              " is negative; frequencies must be counts."};
  }
  if (!(count <= kMaxCount)) {
    return FileError(kFrequencyTitle,
                     "Frequency " + Trimmed(field) + " in " + RecordPlace(cell) + ", series " +
                         IntText(s) + " is above " + GeneralNumber(kMaxCount) +
                         "; frequencies must be counts of at most " + GeneralNumber(kMaxCount) +
                         ".",
                     path);
  }
  return std::nullopt;
}

// The whole-file rules, once every cell has been read.
std::optional<DataFileError> FrequencyFileProblem(const ModelData& data, int widestSeries,
                                                  const std::string& path) {
  const int cells = data.CellCount;
  if (data.FirstCell > cells) {
    return FileError(kFrequencyTitle,
                     "The first cell evaluated is " + IntText(data.FirstCell) +
                         ", but the frequency data file holds only " + IntText(cells) +
                         (cells == 1 ? " record" : " records") +
                         "; the first cell evaluated must be one of its records.",
                     path);
  }
  if (cells < 2) {
    return FileError(kFrequencyTitle,
                     "The frequency data file holds only 1 record; the cell width is the "
                     "difference of the first two midpoints, so at least 2 records are needed.",
                     path);
  }
  if (widestSeries < data.SeriesCount) {
    const int s = widestSeries + 1;
    return FileError(kFrequencyTitle,
                     "Series " + IntText(s) +
                         " has no column in the frequency data file: none "
                         "of records 1 to " +
                         IntText(cells) + " reaches columns " + IntText(6 * s + 3) + "-" +
                         IntText(6 * s + 7) + ". The set-up asks for " + IntText(data.SeriesCount) +
                         " series; the file has count columns for " + IntText(widestSeries) + ".",
                     path);
  }
  const std::string evaluated =
      data.FirstCell == cells ? "record " + IntText(cells)
                              : "records " + IntText(data.FirstCell) + " to " + IntText(cells);
  for (int s = 1; s <= data.SeriesCount; ++s) {
    if (data.SeriesTotal[s] > 0.0) continue;
    return FileError(kFrequencyTitle,
                     "Series " + IntText(s) + " has no count above 0 in " + evaluated +
                         " (the cells evaluated); each series needs at least one count there.",
                     path);
  }
  return std::nullopt;
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
  auto lines = RecordLines("increment", kIncrementTitle, path, error);
  if (!lines) return error;
  const std::vector<std::string> records = FirstRecords(*lines, data.MaxIncrementRecords);
  const LayoutChoice choice = ChooseLayout(records, IncrementShape(), PlaceOfRecordAt);
  if (!choice.problem.empty()) return FileError(kIncrementTitle, choice.problem, path);
  data.IncrementLayout = choice.layout;
  data.IncrementRecordCount = 0;
  for (const std::string& line : records) {
    const int r = ++data.IncrementRecordCount;
    if (choice.layout == DataLayout::FixedColumns) {
      data.InitialSize[r] = LenientNumber(Columns(line, 1, 6));
      data.Increment[r] = LenientNumber(Columns(line, 8, 6));
    } else {
      const std::vector<std::string> fields = SeparatedFields(line, choice.layout);
      data.InitialSize[r] = LenientNumber(fields[0]);
      data.Increment[r] = LenientNumber(fields[1]);
    }
  }
  return std::nullopt;
}

std::optional<DataFileError> ReadFrequencyFile(const std::string& path, ModelData& data) {
  DataFileError error;
  auto lines = RecordLines("frequency", kFrequencyTitle, path, error);
  if (!lines) return error;
  const LayoutChoice choice = ChooseLayout(FirstRecords(*lines, data.MaxCells),
                                           FrequencyShape(data.SeriesCount), PlaceOfRecordAt);
  if (!choice.problem.empty()) return FileError(kFrequencyTitle, choice.problem, path);
  const bool fixed = choice.layout == DataLayout::FixedColumns;
  data.FrequencyLayout = choice.layout;
  data.CellWidth = 0.0;
  data.TotalCount = 0.0;
  int cell = 0;
  int widestSeries = 0;  // highest series with a count field on some record
  std::vector<std::string> fields;
  for (const std::string& line : *lines) {
    ++cell;
    if (cell > data.MaxCells) {
      return DataFileError{
          kFatalTitle, "Maximum number of " + IntText(data.MaxCells) + " frequency cells exceeded"};
    }
    if (!fixed) fields = SeparatedFields(line, choice.layout);
    const double midpoint = LenientNumber(fixed ? Columns(line, 1, 7) : fields[0]);
    data.Midpoints[cell] = midpoint;
    for (int s = 1; s <= data.SeriesCount; ++s) {
      const std::string_view field =
          fixed ? Columns(line, 6 * s + 3, 5) : std::string_view(fields[static_cast<size_t>(s)]);
      if (!IsBlank(field) && s > widestSeries) widestSeries = s;
      // Cells before the first cell evaluated take no part: whatever they
      // hold is ignored.
      if (cell < data.FirstCell) {
        data.ObservedFrequency(s, cell) = 0.0;
        continue;
      }
      const double count = LenientNumber(field);
      if (auto problem = CountFault(field, count, cell, s, path)) return problem;
      data.ObservedFrequency(s, cell) = count;
    }
    if (cell == 2) {
      data.CellWidth = midpoint - data.Midpoints[1];
      // Equal or falling midpoints give no cell to integrate over.
      if (!(data.CellWidth > 0.0 && std::isfinite(data.CellWidth))) {
        return FileError(kFrequencyTitle,
                         "Midpoint " + GeneralNumber(midpoint) + " in " + RecordPlace(2) +
                             " is not above midpoint " + GeneralNumber(data.Midpoints[1]) +
                             " in record 1 by a usable width; midpoints must rise evenly.",
                         path);
      }
    }
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
  return FrequencyFileProblem(data, widestSeries, path);
}

}  // namespace estimetrix
