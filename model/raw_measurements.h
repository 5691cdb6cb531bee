#pragma once
// Data files made from raw measurements: a table with one row per animal
// (a CSV file with a header line naming its columns, as spreadsheets and R
// write it) becomes a size-frequency file or an increment file in the
// model's fixed columns. Rows that cannot be used are skipped and counted by
// reason; what would not fit the file's fields is refused, nothing written.

#include <optional>
#include <string>
#include <vector>

namespace estimetrix {

struct FrequencyBinning {
  std::string sizeColumn;
  std::string seriesColumn;  // empty: one series of every row
  double cellWidth = 0.0;
  std::optional<double> firstMidpoint;  // default: half the cell width
};

struct IncrementColumns {
  std::string initialColumn;
  std::string incrementColumn;  // one of these two
  std::string postmoultColumn;  // increment = post-moult - initial size
};

// A data file's text (CR LF line ends) and the report of how it was made:
// rows read, used and skipped by reason with the first lines of each, the
// cells or records written.
struct MadeDataFile {
  std::string text;
  std::string report;
  int seriesCount = 0;  // frequency files
};

// nullopt with the reason in `error` (naming the file and, where there is
// one, the line) when the raw file cannot be read, a column is missing, no
// row is usable, or the data do not fit the file: more than 250 cells, a
// count above 99999, a midpoint wider than its 7 columns.
std::optional<MadeDataFile> MakeFrequencyFile(const std::string& rawPath,
                                              const FrequencyBinning& binning, std::string& error);

// The same for increments: more than 1200 records, or a value that its 6
// columns cannot hold to the decimals it was measured with.
std::optional<MadeDataFile> MakeIncrementFile(const std::string& rawPath,
                                              const IncrementColumns& columns, std::string& error);

// The header line's column names of a raw file (for choosing them in a
// dialogue); nullopt with the reason when the file cannot be read.
std::optional<std::vector<std::string>> RawColumnNames(const std::string& rawPath,
                                                       std::string& error);

}  // namespace estimetrix
