#include "plots/plot_tables.h"

#include <algorithm>

#include "engine/base/format.h"

namespace estimetrix {

namespace {

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

}  // namespace

std::string CsvText(const std::vector<DataColumn>& columns) {
  std::string text;
  size_t rows = 0;
  for (size_t c = 0; c < columns.size(); ++c) {
    if (c > 0) text += ',';
    text += CsvField(columns[c].name);
    rows = std::max(rows, columns[c].values.size());
  }
  text += "\r\n";
  for (size_t r = 0; r < rows; ++r) {
    for (size_t c = 0; c < columns.size(); ++c) {
      if (c > 0) text += ',';
      if (r < columns[c].values.size()) text += GeneralNumber(columns[c].values[r]);
    }
    text += "\r\n";
  }
  return text;
}

std::string PlotFileStem(const std::string& title) {
  std::string stem;
  bool gap = false;
  for (unsigned char c : title) {
    bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!letter) {
      gap = true;
      continue;
    }
    if (gap && !stem.empty()) stem += '-';
    gap = false;
    stem += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  }
  return stem.empty() ? "plot" : stem;
}

std::string UniqueStems::Take(const std::string& stem) {
  int uses = ++taken_[stem];
  if (uses == 1) return stem;
  // "a" twice gives "a-2"; should a title itself read "a-2", go on counting.
  for (;;) {
    std::string candidate = stem + "-" + IntText(uses);
    if (taken_.find(candidate) == taken_.end()) {
      taken_[candidate] = 1;
      return candidate;
    }
    uses = ++taken_[stem];
  }
}

}  // namespace estimetrix
