#pragma once
// The plotted arrays as a CSV table, and file names made from plot titles.
// No Qt here: the windows and the plot file writer share these.

#include <map>
#include <string>
#include <vector>

namespace estimetrix {

struct DataColumn {
  std::string name;
  std::vector<double> values;
};

// A header row with the column names, then one row per index; a column
// shorter than the longest leaves its fields empty. Numbers in the general
// number format, names quoted when they hold a comma, a quote or a line
// break; CR LF line ends.
std::string CsvText(const std::vector<DataColumn>& columns);

// A file name stem from a title: lowercase letters and digits, every run of
// other characters one '-', no '-' at either end; "plot" for a title with
// nothing else.
std::string PlotFileStem(const std::string& title);

// Hands out file name stems, giving a stem asked for again "-2", "-3", ...
class UniqueStems {
 public:
  std::string Take(const std::string& stem);

 private:
  std::map<std::string, int> taken_;
};

}  // namespace estimetrix
