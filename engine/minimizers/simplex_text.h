#pragma once
// The texts of the simplex search: the progress window's panes and the
// blocks it appends to the minimization log. All read the current simplex
// from the workbench; `column` names a vertex of SimplexMatrix.

#include <string>

namespace estimetrix {

struct Workbench;

// "    007)  1.2345678E+00  ~~  description" lines, one per free parameter.
std::string SimplexParameterLines(const Workbench& wb, int column);

// Log records, four to a line; an incomplete last line is left open so that
// the next line end written closes it.
std::string SimplexLogRecords(const Workbench& wb, int column);

// " Abs TC> 1.0000E-03" or " Rel TC> ..."; the relative gap of a lowest value
// of 0 prints as "undefined".
std::string SimplexGapText(const Workbench& wb, double lowest, double highest);

std::string SimplexInitialPaneText(const Workbench& wb);
std::string SimplexProgressPaneText(const Workbench& wb, double lowest, double highest);
std::string SimplexResultText(const Workbench& wb);

std::string SimplexInitialLogBlock(const Workbench& wb);
std::string SimplexProgressLogBlock(const Workbench& wb, double lowest, double highest);
std::string SimplexFinalLogBlock(const Workbench& wb);

}  // namespace estimetrix
