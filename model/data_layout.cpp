#include "model/data_layout.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "engine/base/format.h"

namespace estimetrix {

namespace {

bool IsSeparator(char c) {
  return c == ' ' || c == '\t' || c == ',' || c == ';';
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// A word that a lenient field reading would take a number from.
bool StartsNumber(std::string_view word) {
  size_t at = 0;
  if (at < word.size() && (word[at] == '+' || word[at] == '-')) ++at;
  if (at < word.size() && word[at] == '.') ++at;
  return at < word.size() && IsDigit(word[at]);
}

std::string Quoted(std::string_view text) {
  return "\"" + std::string(text) + "\"";
}

std::string ColumnText(const ColumnField& field) {
  return field.width == 1
             ? "column " + IntText(field.first)
             : "columns " + IntText(field.first) + "-" + IntText(field.first + field.width - 1);
}

// Where the fixed layout wants the numbers, for messages.
std::string FixedExpectation(const RecordShape& shape) {
  std::string text = shape.contents + " in columns ";
  const size_t shown = shape.columns.size() <= 4 ? shape.columns.size() : 3;
  for (size_t i = 0; i < shown; ++i) {
    if (i > 0) text += (i + 1 == shape.columns.size()) ? " and " : ", ";
    text += ColumnText(shape.columns[i]).substr(std::string("columns ").size());
  }
  if (shown < shape.columns.size()) {
    text += ", ... (6 columns further for each further count)";
  }
  return text;
}

std::string SeparatorWord(DataLayout layout) {
  switch (layout) {
    case DataLayout::Comma: return "commas";
    case DataLayout::Semicolon: return "semicolons";
    case DataLayout::Tab: return "tabs";
    case DataLayout::Blank: return "blanks";
    case DataLayout::FixedColumns: break;
  }
  return "fixed columns";
}

std::string SeparatedExpectation(const RecordShape& shape, DataLayout layout) {
  return shape.contents + ", separated by " + SeparatorWord(layout);
}

// Why a line does not fit the fixed columns, or "" when it does: every
// number must stand inside one field, at most one to a field, or after the
// last field (text there is not read). Words that hold no number are read
// as 0, as they always were.
std::string ColumnsProblem(const std::string& line, const std::vector<ColumnField>& fields) {
  const size_t end = static_cast<size_t>(fields.back().first + fields.back().width - 1);
  std::vector<int> numbers(fields.size(), 0);
  size_t at = 0;
  while (at < line.size()) {
    if (IsSeparator(line[at])) {
      ++at;
      continue;
    }
    size_t stop = at;
    while (stop < line.size() && !IsSeparator(line[stop])) ++stop;
    const std::string_view word = std::string_view(line).substr(at, stop - at);
    const size_t first = at + 1;  // 1-based columns
    const size_t last = stop;
    at = stop;
    if (!StartsNumber(word) || first > end) continue;
    bool inside = false;
    for (size_t f = 0; f < fields.size(); ++f) {
      const size_t lo = static_cast<size_t>(fields[f].first);
      const size_t hi = lo + static_cast<size_t>(fields[f].width) - 1;
      if (first < lo || last > hi) continue;
      inside = true;
      if (++numbers[f] > 1) {
        return "its " + ColumnText(fields[f]) + " hold more than one number";
      }
    }
    if (!inside) {
      return "the number " + Quoted(word) + " stands in columns " + IntText(first) + "-" +
             IntText(last) + ", across the edge of its field";
    }
  }
  return {};
}

// The separator a separated line uses: a tab, then a semicolon, then a comma
// wins; otherwise blanks, when there are at least two words.
std::optional<DataLayout> SeparatorOf(const std::string& line) {
  if (line.find('\t') != std::string::npos) return DataLayout::Tab;
  if (line.find(';') != std::string::npos) return DataLayout::Semicolon;
  if (line.find(',') != std::string::npos) return DataLayout::Comma;
  if (SeparatedFields(line, DataLayout::Blank).size() >= 2) return DataLayout::Blank;
  return std::nullopt;
}

// Why a line is not a separated record of this layout, or "" when it is.
std::string SeparatedProblem(const std::string& line, const RecordShape& shape, DataLayout layout) {
  const std::vector<std::string> fields = SeparatedFields(line, layout);
  const int count = static_cast<int>(fields.size());
  if (line.find_first_not_of(" \t") == std::string::npos) return "it is blank";
  if (count < shape.minFields || (shape.maxFields > 0 && count > shape.maxFields)) {
    return "it has " + IntText(count) + (count == 1 ? " field" : " fields");
  }
  for (int i = 0; i < count; ++i) {
    double value = 0.0;
    if (!StrictReal(fields[static_cast<size_t>(i)], value)) {
      return "its field " + IntText(i + 1) + ", " + Quoted(fields[static_cast<size_t>(i)]) +
             ", is not a number";
    }
  }
  return {};
}

// A record that fits both layouts must give the same numbers either way.
bool SameNumbers(const std::string& line, const RecordShape& shape, DataLayout layout) {
  const std::vector<std::string> fields = SeparatedFields(line, layout);
  for (size_t k = 0; k < shape.columns.size() && k < fields.size(); ++k) {
    const std::string text(line.size() >= static_cast<size_t>(shape.columns[k].first)
                               ? line.substr(static_cast<size_t>(shape.columns[k].first - 1),
                                             static_cast<size_t>(shape.columns[k].width))
                               : std::string());
    if (LenientNumber(text) != LenientNumber(fields[k])) return false;
  }
  return true;
}

std::string Capitalised(std::string text) {
  if (!text.empty()) text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
  return text;
}

}  // namespace

std::string LayoutName(DataLayout layout) {
  switch (layout) {
    case DataLayout::FixedColumns: return "fixed columns";
    case DataLayout::Comma: return "comma-separated values";
    case DataLayout::Semicolon: return "semicolon-separated values";
    case DataLayout::Tab: return "tab-separated values";
    case DataLayout::Blank: return "blank-separated values";
  }
  return {};
}

std::vector<std::string> SeparatedFields(const std::string& line, DataLayout layout) {
  std::vector<std::string> fields;
  auto trimmed = [](std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return std::string();
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
  };
  if (layout == DataLayout::Blank) {
    size_t at = 0;
    while (at < line.size()) {
      at = line.find_first_not_of(" \t", at);
      if (at == std::string::npos) break;
      size_t stop = line.find_first_of(" \t", at);
      if (stop == std::string::npos) stop = line.size();
      fields.push_back(line.substr(at, stop - at));
      at = stop;
    }
    return fields;
  }
  const char separator = layout == DataLayout::Tab         ? '\t'
                         : layout == DataLayout::Semicolon ? ';'
                                                           : ',';
  size_t at = 0;
  while (true) {
    const size_t stop = line.find(separator, at);
    fields.push_back(trimmed(std::string_view(line).substr(at, stop - at)));
    if (stop == std::string::npos) break;
    at = stop + 1;
  }
  return fields;
}

LayoutChoice ChooseLayout(const std::vector<std::string>& records, const RecordShape& shape,
                          std::string (*place)(int record)) {
  LayoutChoice choice;
  auto named = [&](size_t i) {
    return place(static_cast<int>(i)) + ", " + Quoted(records[i]) + ",";
  };
  // The described fixed columns, when every record keeps to them.
  size_t a = 0;
  while (a < records.size() && ColumnsProblem(records[a], shape.columns).empty()) ++a;
  if (a == records.size()) return choice;

  // Otherwise separated values, with the separator of the first record that
  // leaves the columns. A record may fit both layouts ("100.25,18.75" does)
  // when both read the same numbers from it.
  const std::optional<DataLayout> layout = SeparatorOf(records[a]);
  const std::string either = FixedExpectation(shape) + ", or " + shape.contents +
                             " separated by commas, semicolons, tabs or blanks";
  if (!layout || !SeparatedProblem(records[a], shape, *layout).empty()) {
    std::string why = "read by columns " + ColumnsProblem(records[a], shape.columns);
    if (layout) {
      why +=
          "; read as " + LayoutName(*layout) + " " + SeparatedProblem(records[a], shape, *layout);
    }
    choice.problem = Capitalised(named(a)) + " fits no layout this program reads: " + why +
                     ". Expected " + either + ".";
    return choice;
  }
  choice.layout = *layout;
  for (size_t b = 0; b < records.size(); ++b) {
    const std::string& line = records[b];
    const std::string separated = SeparatedProblem(line, shape, *layout);
    const bool columns = ColumnsProblem(line, shape.columns).empty();
    if (separated.empty() && (!columns || SameNumbers(line, shape, *layout))) continue;
    const bool otherSeparator = SeparatorOf(line) != layout && separated != "it is blank";
    if (columns && (separated.empty() || otherSeparator)) {
      // Read one way here and the other way there: which is meant is anyone's guess.
      const size_t first = std::min(a, b);
      const size_t second = std::max(a, b);
      auto kind = [&](size_t i) {
        return i == a ? "is " + LayoutName(*layout) : std::string("is in fixed columns");
      };
      choice.problem = Capitalised(named(first)) + " " + kind(first) + ", but " + named(second) +
                       " " + kind(second) + "; a data file must keep to one layout. Expected " +
                       either + ".";
    } else {
      choice.problem = Capitalised(named(b)) + " is not a record of " + LayoutName(*layout) + ": " +
                       separated + ". Expected " + SeparatedExpectation(shape, *layout) + ".";
    }
    return choice;
  }
  return choice;
}

}  // namespace estimetrix
