#include "model/raw_measurements.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <utility>

#include "engine/base/format.h"
#include "model/model_data.h"
#include "platform/text_file.h"

namespace estimetrix {

namespace {

constexpr int kCountWidth = 5;
constexpr int kMidpointWidth = 7;
constexpr int kIncrementFieldWidth = 6;
constexpr long long kLargestCount = 99999;
constexpr int kMostDecimals = 9;

struct RawTable {
  std::string path;
  char separator = ',';
  std::vector<std::string> names;
  std::vector<std::vector<std::string>> rows;
  std::vector<int> lines;  // the file line of each row
};

// Splits at the separator (' ': runs of blanks), keeping separators inside
// double quotes; a doubled quote inside quotes is one quote.
std::vector<std::string> SplitRow(const std::string& line, char separator) {
  std::vector<std::string> fields;
  std::string field;
  bool quoted = false;
  bool pending = false;  // a field has begun
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
      continue;
    }
    const bool blankSeparated = separator == ' ';
    if (c == '"') {
      quoted = true;
      pending = true;
    } else if (blankSeparated && (c == ' ' || c == '\t')) {
      if (pending) fields.push_back(field);
      field.clear();
      pending = false;
    } else if (!blankSeparated && c == separator) {
      fields.push_back(Trimmed(field));
      field.clear();
    } else {
      field += c;
      pending = true;
    }
  }
  if (!(separator == ' ') || pending) fields.push_back(separator == ' ' ? field : Trimmed(field));
  return fields;
}

std::string SeparatorName(char separator) {
  switch (separator) {
    case '\t': return "tab-separated";
    case ';': return "semicolon-separated";
    case ',': return "comma-separated";
    default: return "blank-separated";
  }
}

std::optional<RawTable> ReadRaw(const std::string& path, std::string& error) {
  std::string reason;
  auto lines = ReadTextLines(path, reason);
  if (!lines) {
    error = "The raw measurements file could not be read: " + reason;
    return std::nullopt;
  }
  if (ContainsNulBytes(*lines)) {
    error = path + " holds NUL bytes; raw measurements must be a plain-text table.";
    return std::nullopt;
  }
  RawTable table;
  table.path = path;
  size_t header = 0;
  while (header < lines->size() && Trimmed((*lines)[header]).empty()) ++header;
  if (header == lines->size()) {
    error = path + " is empty; it needs a header line naming its columns.";
    return std::nullopt;
  }
  const std::string& names = (*lines)[header];
  table.separator = names.find('\t') != std::string::npos  ? '\t'
                    : names.find(';') != std::string::npos ? ';'
                    : names.find(',') != std::string::npos ? ','
                                                           : ' ';
  table.names = SplitRow(names, table.separator);
  for (std::string& name : table.names) name = Trimmed(name);
  for (size_t i = header + 1; i < lines->size(); ++i) {
    if (Trimmed((*lines)[i]).empty()) continue;
    table.rows.push_back(SplitRow((*lines)[i], table.separator));
    table.lines.push_back(static_cast<int>(i + 1));
  }
  return table;
}

// The column's index, matched exactly or else regardless of case.
std::optional<size_t> ColumnIndex(const RawTable& table, const std::string& name,
                                  const std::string& option, std::string& error) {
  for (size_t i = 0; i < table.names.size(); ++i)
    if (table.names[i] == name) return i;
  for (size_t i = 0; i < table.names.size(); ++i)
    if (Lowered(table.names[i]) == Lowered(name)) return i;
  std::string known;
  for (const std::string& column : table.names) known += (known.empty() ? "" : ", ") + column;
  error = table.path + " has no column named \"" + name + "\" (" + option +
          "); its header line names: " + known + ".";
  return std::nullopt;
}

std::string Field(const std::vector<std::string>& row, size_t index) {
  return index < row.size() ? Trimmed(row[index]) : std::string();
}

// A measured number: a plain decimal number (with a decimal comma in a
// semicolon-separated table, as spreadsheets in such locales write it).
std::optional<double> Measured(std::string text, char separator) {
  if (separator == ';' && text.find('.') == std::string::npos &&
      std::count(text.begin(), text.end(), ',') == 1) {
    std::replace(text.begin(), text.end(), ',', '.');
  }
  double value = 0.0;
  if (!StrictReal(text, value) || !std::isfinite(value)) return std::nullopt;
  return value;
}

// Rows left out, by reason, in the order the reasons were first met.
class Skips {
 public:
  void Add(const std::string& reason, int line) {
    auto it = std::find_if(reasons_.begin(), reasons_.end(),
                           [&](const auto& entry) { return entry.first == reason; });
    if (it == reasons_.end()) {
      reasons_.push_back({reason, {}});
      it = reasons_.end() - 1;
    }
    it->second.push_back(line);
    ++total_;
  }
  int Total() const { return total_; }

  std::string Report() const {
    std::string text;
    for (const auto& [reason, lines] : reasons_) {
      text += "  " + IntText(static_cast<long long>(lines.size())) + " skipped: " + reason +
              " (line" + (lines.size() == 1 ? " " : "s ");
      const size_t shown = std::min<size_t>(lines.size(), 5);
      for (size_t i = 0; i < shown; ++i) text += (i ? ", " : "") + IntText(lines[i]);
      text += lines.size() > shown ? ", ...)\n" : ")\n";
    }
    return text;
  }

 private:
  std::vector<std::pair<std::string, std::vector<int>>> reasons_;
  int total_ = 0;
};

std::string RowsReport(const RawTable& table, int used, const Skips& skips) {
  return "Raw measurements: " + table.path + " (" + SeparatorName(table.separator) +
         ", header line naming " + IntText(static_cast<long long>(table.names.size())) +
         " columns)\nRows read: " + IntText(static_cast<long long>(table.rows.size())) +
         "; used: " + IntText(used) + "; skipped: " + IntText(skips.Total()) + "\n" +
         skips.Report();
}

// The fewest decimals (up to 9) that write the value to within rounding noise.
int DecimalsOf(double value) {
  const double scale = std::max(1.0, std::fabs(value));
  double power = 1.0;
  for (int d = 0; d < kMostDecimals; ++d, power *= 10.0) {
    if (std::fabs(std::round(value * power) / power - value) <= 1e-9 * scale) return d;
  }
  return kMostDecimals;
}

std::string Fixed(double value, int decimals) {
  return FormatNumber(value, decimals == 0 ? "0" : "0." + std::string(decimals, '0'));
}

// Series names in sorted order: as numbers when all are numbers (years),
// otherwise as text.
std::vector<std::string> SortedSeries(std::map<std::string, int> names, char separator) {
  std::vector<std::string> sorted;
  for (const auto& entry : names) sorted.push_back(entry.first);
  const bool numbers = std::all_of(sorted.begin(), sorted.end(), [&](const std::string& name) {
    return Measured(name, separator).has_value();
  });
  if (numbers) {
    std::stable_sort(sorted.begin(), sorted.end(), [&](const std::string& a, const std::string& b) {
      return *Measured(a, separator) < *Measured(b, separator);
    });
  }
  return sorted;
}

}  // namespace

std::optional<std::vector<std::string>> RawColumnNames(const std::string& rawPath,
                                                       std::string& error) {
  std::optional<RawTable> table = ReadRaw(rawPath, error);
  if (!table) return std::nullopt;
  return table->names;
}

std::optional<MadeDataFile> MakeFrequencyFile(const std::string& rawPath,
                                              const FrequencyBinning& binning, std::string& error) {
  const double width = binning.cellWidth;
  if (!(width > 0.0) || !std::isfinite(width)) {
    error = "The cell width must be a number above 0, not " + GeneralNumber(width) + ".";
    return std::nullopt;
  }
  const double first = binning.firstMidpoint.value_or(width / 2.0);
  if (!std::isfinite(first)) {
    error = "The first midpoint must be a number.";
    return std::nullopt;
  }
  std::optional<RawTable> table = ReadRaw(rawPath, error);
  if (!table) return std::nullopt;
  const auto sizeIndex = ColumnIndex(*table, binning.sizeColumn, "size column", error);
  if (!sizeIndex) return std::nullopt;
  std::optional<size_t> seriesIndex;
  if (!binning.seriesColumn.empty()) {
    seriesIndex = ColumnIndex(*table, binning.seriesColumn, "series column", error);
    if (!seriesIndex) return std::nullopt;
  }

  // Cell k (from 0) holds sizes from its midpoint - W/2 up to, not
  // including, its midpoint + W/2. The small allowance keeps a size that
  // lies on an edge (0.3 with cells of 0.1) out of the cell below it.
  const double lowest = first - width / 2.0;
  Skips skips;
  std::map<std::string, int> seriesNames;
  std::vector<std::pair<std::string, long long>> binned;  // series, cell
  long long lastCell = -1;
  int lastLine = 0;
  double largest = 0.0;
  for (size_t r = 0; r < table->rows.size(); ++r) {
    const std::vector<std::string>& row = table->rows[r];
    const int line = table->lines[r];
    const std::string text = Field(row, *sizeIndex);
    if (text.empty()) {
      skips.Add("empty size", line);
      continue;
    }
    const std::optional<double> size = Measured(text, table->separator);
    if (!size) {
      skips.Add("size is not a number", line);
      continue;
    }
    if (*size < 0.0) {
      skips.Add("negative size", line);
      continue;
    }
    const double position = (*size - lowest) / width + 1e-9;
    if (position < 0.0) {
      skips.Add("size below the first cell (under " + GeneralNumber(lowest) + ")", line);
      continue;
    }
    std::string series = table->names[*sizeIndex];
    if (seriesIndex) {
      series = Field(row, *seriesIndex);
      if (series.empty()) {
        skips.Add("empty series value", line);
        continue;
      }
    }
    // Far beyond 250 cells: kept as a number only to say how many.
    const long long cell = static_cast<long long>(std::min(std::floor(position), 1e15));
    if (cell > lastCell) {
      lastCell = cell;
      lastLine = line;
      largest = *size;
    }
    ++seriesNames[series];
    binned.push_back({series, cell});
  }
  const int used = static_cast<int>(binned.size());
  if (used == 0) {
    error = "No row of " + rawPath + " holds a usable size.\n" + RowsReport(*table, 0, skips);
    return std::nullopt;
  }
  const long long cells = lastCell + 1;
  const std::string cellWords =
      "cells of width " + GeneralNumber(width) + " from midpoint " + GeneralNumber(first);
  if (cells > kMaxCells) {
    error = "The sizes need " + IntText(cells) + " " + cellWords + " to reach the largest size, " +
            GeneralNumber(largest) + " (line " + IntText(lastLine) +
            "); a frequency file holds at most " + IntText(kMaxCells) +
            " cells. Choose wider cells or a larger first midpoint.";
    return std::nullopt;
  }
  if (cells < 2) {
    error = "Every size falls into the first cell (midpoint " + GeneralNumber(first) +
            "); a frequency file needs at least 2 cells. Choose narrower cells.";
    return std::nullopt;
  }

  const std::vector<std::string> series = SortedSeries(seriesNames, table->separator);
  std::map<std::string, size_t> column;
  for (size_t s = 0; s < series.size(); ++s) column[series[s]] = s;
  std::vector<std::vector<long long>> counts(series.size(),
                                             std::vector<long long>(static_cast<size_t>(cells), 0));
  for (const auto& [name, cell] : binned) ++counts[column[name]][static_cast<size_t>(cell)];

  const int decimals = std::max(DecimalsOf(first), DecimalsOf(width));
  std::string text = "Midpoint";
  for (const std::string& name : series) text += "," + name;
  text += "\r\n";
  for (long long k = 0; k < cells; ++k) {
    const double midpoint = first + static_cast<double>(k) * width;
    const std::string mid = Fixed(midpoint, decimals);
    if (mid.size() > static_cast<size_t>(kMidpointWidth)) {
      error = "Midpoint " + mid + " of cell " + IntText(k + 1) + " needs " +
              IntText(static_cast<long long>(mid.size())) + " characters; its field holds " +
              IntText(kMidpointWidth) + ".";
      return std::nullopt;
    }
    text += RightJustify(mid, kMidpointWidth);
    for (size_t s = 0; s < series.size(); ++s) {
      const long long count = counts[s][static_cast<size_t>(k)];
      if (count > kLargestCount) {
        error = "The cell with midpoint " + mid + " holds " + IntText(count) +
                " animals of series " + series[s] + "; a count field holds 5 digits (at most " +
                IntText(kLargestCount) + "). Choose narrower cells or split the series.";
        return std::nullopt;
      }
      text += "," + RightJustify(IntText(count), kCountWidth);
    }
    text += "\r\n";
  }
  std::string names;
  for (const std::string& name : series) names += (names.empty() ? "" : ", ") + name;
  MadeDataFile made;
  made.text = std::move(text);
  made.seriesCount = static_cast<int>(series.size());
  made.report = RowsReport(*table, used, skips) + "Cells: " + IntText(cells) + " " + cellWords +
                " to " + Fixed(first + static_cast<double>(cells - 1) * width, decimals) + "\n" +
                "Series: " + IntText(static_cast<long long>(series.size())) + " (" + names + ")\n";
  return made;
}

std::optional<MadeDataFile> MakeIncrementFile(const std::string& rawPath,
                                              const IncrementColumns& columns, std::string& error) {
  const bool post = columns.incrementColumn.empty();
  if (post == columns.postmoultColumn.empty()) {
    error = "Name either the increment column or the post-moult column, not both or neither.";
    return std::nullopt;
  }
  std::optional<RawTable> table = ReadRaw(rawPath, error);
  if (!table) return std::nullopt;
  const auto initialIndex =
      ColumnIndex(*table, columns.initialColumn, "initial size column", error);
  if (!initialIndex) return std::nullopt;
  const auto secondIndex =
      post ? ColumnIndex(*table, columns.postmoultColumn, "post-moult column", error)
           : ColumnIndex(*table, columns.incrementColumn, "increment column", error);
  if (!secondIndex) return std::nullopt;
  const std::string second = post ? "post-moult size" : "increment";

  Skips skips;
  std::vector<std::pair<double, double>> records;
  std::vector<int> recordLines;
  for (size_t r = 0; r < table->rows.size(); ++r) {
    const std::vector<std::string>& row = table->rows[r];
    const int line = table->lines[r];
    const std::string a = Field(row, *initialIndex);
    const std::string b = Field(row, *secondIndex);
    const std::optional<double> initial = Measured(a, table->separator);
    const std::optional<double> other = Measured(b, table->separator);
    if (a.empty()) {
      skips.Add("empty initial size", line);
    } else if (!initial) {
      skips.Add("initial size is not a number", line);
    } else if (*initial < 0.0) {
      skips.Add("negative initial size", line);
    } else if (b.empty()) {
      skips.Add("empty " + second, line);
    } else if (!other) {
      skips.Add(second + " is not a number", line);
    } else if (post && *other < 0.0) {
      skips.Add("negative post-moult size", line);
    } else {
      records.push_back({*initial, post ? *other - *initial : *other});
      recordLines.push_back(line);
    }
  }
  const int used = static_cast<int>(records.size());
  if (used == 0) {
    error = "No row of " + rawPath + " holds a usable record.\n" + RowsReport(*table, 0, skips);
    return std::nullopt;
  }
  if (used > kMaxIncrementRecords) {
    error = IntText(used) + " rows of " + rawPath +
            " are usable; an increment file holds at most " + IntText(kMaxIncrementRecords) +
            " records.";
    return std::nullopt;
  }

  // Each value with as many decimals as its 6 columns allow, and never fewer
  // than it was measured with.
  auto field = [&](double value, const std::string& what, int line, std::string& out) {
    for (int d = kIncrementFieldWidth - 1; d >= 0; --d) {
      const std::string text = Fixed(value, d);
      if (text.size() > static_cast<size_t>(kIncrementFieldWidth)) continue;
      const int needed = DecimalsOf(value);
      if (needed > d) {
        error = "The " + what + " " + GeneralNumber(value) + " (line " + IntText(line) + ") has " +
                IntText(needed) + " decimals; at this size the " + IntText(kIncrementFieldWidth) +
                " columns of its field hold " + IntText(d) + ".";
        return false;
      }
      out = text;
      return true;
    }
    error = "The " + what + " " + GeneralNumber(value) + " (line " + IntText(line) +
            ") needs more than the " + IntText(kIncrementFieldWidth) + " columns of its field.";
    return false;
  };
  std::string text = "Initial,Increment\r\n";
  for (size_t i = 0; i < records.size(); ++i) {
    std::string a, b;
    if (!field(records[i].first, "initial size", recordLines[i], a) ||
        !field(records[i].second, "increment", recordLines[i], b))
      return std::nullopt;
    text += RightJustify(a, kIncrementFieldWidth) + "," + RightJustify(b, kIncrementFieldWidth) +
            "\r\n";
  }
  MadeDataFile made;
  made.text = std::move(text);
  made.report = RowsReport(*table, used, skips) + "Records: " + IntText(used) +
                (post ? " (increment = post-moult size - initial size)" : "") + "\n";
  return made;
}

}  // namespace estimetrix
