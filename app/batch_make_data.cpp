// The runner's data-file makers: make-frequencies and make-increments turn a
// table of raw measurements (one row per animal) into a data file. They need
// no model, so they may run before the set-up is read.

#include "app/batch_runner.h"
#include "engine/base/format.h"
#include "model/raw_measurements.h"
#include "platform/text_file.h"

namespace estimetrix {

namespace {

constexpr const char* kSizeColumn = "--size-column";
constexpr const char* kSeriesColumn = "--series-column";
constexpr const char* kCellWidth = "--cell-width";
constexpr const char* kFirstMidpoint = "--first-midpoint";
constexpr const char* kInitialColumn = "--initial-column";
constexpr const char* kIncrementColumn = "--increment-column";
constexpr const char* kPostmoultColumn = "--postmoult-column";

// "RAW,OUT" (the runner joins a command's two words with a comma).
bool SplitPaths(const std::string& argument, std::string& raw, std::string& out) {
  const size_t comma = argument.find(',');
  if (comma == std::string::npos) return false;
  raw = argument.substr(0, comma);
  out = argument.substr(comma + 1);
  return !raw.empty() && !out.empty();
}

bool Number(BatchSession& session, const char* option, double& value) {
  return StrictReal(session.Option(option), value);
}

int Save(BatchSession& session, const std::string& command, const std::string& path,
         const MadeDataFile& made) {
  session.out << made.report;
  std::string error;
  if (!SaveTextFileAtomically(path, made.text, error))
    return BatchFail(session, command + ": " + path + " was not written: " + error);
  session.out << "Wrote " << path << "\n";
  return kBatchSucceeded;
}

int MakeFrequencies(BatchSession& session, const std::string& argument) {
  const std::string command = "make-frequencies";
  std::string raw, out;
  if (!SplitPaths(argument, raw, out)) return BatchFail(session, command + " needs RAW OUT");
  FrequencyBinning binning;
  binning.sizeColumn = session.Option(kSizeColumn);
  binning.seriesColumn = session.Option(kSeriesColumn);
  if (binning.sizeColumn.empty())
    return BatchFail(session, command + " needs " + kSizeColumn + " NAME");
  if (!session.Has(kCellWidth) || !Number(session, kCellWidth, binning.cellWidth) ||
      !(binning.cellWidth > 0.0))
    return BatchFail(session, command + " needs " + kCellWidth + " W, a number above 0 (not \"" +
                                  session.Option(kCellWidth) + "\")");
  if (session.Has(kFirstMidpoint)) {
    double first = 0.0;
    if (!Number(session, kFirstMidpoint, first))
      return BatchFail(session, std::string(kFirstMidpoint) + " needs a number, not \"" +
                                    session.Option(kFirstMidpoint) + "\"");
    binning.firstMidpoint = first;
  }
  std::string error;
  std::optional<MadeDataFile> made = MakeFrequencyFile(raw, binning, error);
  if (!made) return BatchFail(session, command + ": " + error);
  return Save(session, command, out, *made);
}

int MakeIncrements(BatchSession& session, const std::string& argument) {
  const std::string command = "make-increments";
  std::string raw, out;
  if (!SplitPaths(argument, raw, out)) return BatchFail(session, command + " needs RAW OUT");
  IncrementColumns columns;
  columns.initialColumn = session.Option(kInitialColumn);
  columns.incrementColumn = session.Option(kIncrementColumn);
  columns.postmoultColumn = session.Option(kPostmoultColumn);
  if (columns.initialColumn.empty())
    return BatchFail(session, command + " needs " + kInitialColumn + " NAME");
  if (columns.incrementColumn.empty() == columns.postmoultColumn.empty())
    return BatchFail(session, command + " needs either " + kIncrementColumn + " NAME or " +
                                  kPostmoultColumn + " NAME");
  std::string error;
  std::optional<MadeDataFile> made = MakeIncrementFile(raw, columns, error);
  if (!made) return BatchFail(session, command + ": " + error);
  return Save(session, command, out, *made);
}

}  // namespace

BatchArea MakeDataBatchArea() {
  BatchArea area;
  area.options = {
      {kSizeColumn, "NAME", "make-frequencies: the column of RAW that holds the sizes."},
      {kSeriesColumn, "NAME",
       "make-frequencies: the column whose values name the series (one series per distinct "
       "value, in sorted order); without it every row is one series."},
      {kCellWidth, "W", "make-frequencies: the width of a size cell."},
      {kFirstMidpoint, "M", "make-frequencies: the midpoint of the first cell (default W/2)."},
      {kInitialColumn, "NAME", "make-increments: the column of RAW with the pre-moult sizes."},
      {kIncrementColumn, "NAME", "make-increments: the column with the moult increments."},
      {kPostmoultColumn, "NAME",
       "make-increments: the column with the post-moult sizes (increment = post-moult - "
       "pre-moult), instead of --increment-column."},
  };
  area.commands = {
      {"make-frequencies", "RAW OUT",
       "Bin the sizes of a table with one row per animal (CSV with a header line) into the "
       "size-frequency file OUT in fixed columns: cell k holds sizes from its midpoint - W/2 up "
       "to, not including, its midpoint + W/2. Reports rows used and skipped. Needs no set-up.",
       MakeFrequencies},
      {"make-increments", "RAW OUT",
       "Write the increment file OUT in fixed columns from a table with one row per animal, in "
       "the table's order. Reports rows used and skipped. Needs no set-up.",
       MakeIncrements},
  };
  area.standalone = {"make-frequencies", "make-increments"};
  return area;
}

}  // namespace estimetrix
