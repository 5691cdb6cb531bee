#pragma once
// How a data file's records are laid out. The model's own layout puts each
// number in fixed columns; spreadsheets and R write the same numbers as
// separated values (comma, semicolon, tab or blanks). Read by columns, such a
// line gives wrong numbers without a word, so every record is checked
// against both layouts, one layout is chosen for the whole file, and a record
// that does not keep to it is refused.

#include <optional>
#include <string>
#include <vector>

namespace estimetrix {

enum class DataLayout { FixedColumns, Comma, Semicolon, Tab, Blank };

// "fixed columns", "comma-separated values", ...
std::string LayoutName(DataLayout layout);

// The columns of one number of a fixed-column record (1-based).
struct ColumnField {
  int first = 1;
  int width = 1;
};

// What a file's records hold, in order, for the messages: e.g. "an initial
// size then an increment" and the fixed fields that hold them.
struct RecordShape {
  std::vector<ColumnField> columns;  // the fields read in the fixed layout
  std::string contents;              // "a midpoint then 2 counts (one per series)"
  // Separated records hold at least this many fields, and at most
  // maxFields (0: no upper limit; further fields are not read).
  int minFields = 2;
  int maxFields = 0;
};

// The layout of a file's records (the label line not included), or the
// reason the file cannot be read: a record that fits neither layout, or a
// record in another layout than the records before it. `place(i)` names
// record i (0-based) for the message.
struct LayoutChoice {
  DataLayout layout = DataLayout::FixedColumns;
  std::string problem;  // empty when the file keeps to one layout
};
LayoutChoice ChooseLayout(const std::vector<std::string>& records, const RecordShape& shape,
                          std::string (*place)(int record));

// The fields of a separated record, blanks around each field removed.
std::vector<std::string> SeparatedFields(const std::string& line, DataLayout layout);

}  // namespace estimetrix
