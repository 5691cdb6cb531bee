#pragma once
// The texts of a Marquardt run: the progress window's report after each
// accepted iteration, the optional derivative display, the result report, and
// the run's records in the minimization log.

#include <string>
#include <vector>

namespace estimetrix {

class Desktop;
class MarquardtView;
struct Workbench;

// "Current Min> ... Last Min> ... Abs TC> ..." (or " Rel TC> " when the
// tolerance is negative; the relative change of a zero last minimum is
// printed as "undefined").
std::string MarquardtCurrentMinLine(const Workbench& wb, double fNew, double fOld);

// One line per free parameter: index, value, fuse code and description.
std::string MarquardtParameterLines(const Workbench& wb);

// The progress window's text after an accepted iteration (without derivatives).
std::string MarquardtProgressText(const Workbench& wb, double fNew, double fOld);

// The derivative block's lines (each ending in a line break), from the copies
// taken when the previous iteration began.
std::vector<std::string> MarquardtDerivativeLines(const Workbench& wb);

// True when the derivative display follows a report.
bool DerivativeDisplayWanted(const Workbench& wb);

// After each accepted iteration: rebuilds the text and, when wanted, lists
// the derivatives and waits (yielding) until a button releases the wait.
void MarquardtProgressReport(Workbench& wb, Desktop& desktop, MarquardtView& view, double fNew,
                             double fOld);

// Once, after a converged run: the result text, "Minimum found using Marquardt!".
void MarquardtResultReport(Workbench& wb, Desktop& desktop, MarquardtView& view, double f);

// The text of MarquardtResultReport's window (also printed by the headless runner).
std::string MarquardtResultText(const Workbench& wb, double f);

// Log entries: four to a line; a last partial line is left open so the two
// line ends that follow give one empty line after it, two after a full one.
std::string MarquardtLogEntries(const Workbench& wb);
std::string MarquardtProgressRecord(const Workbench& wb, double fNew, double fOld);
std::string MarquardtResultRecord(const Workbench& wb, double f);

// Append the records to the minimization log (nothing when it is closed).
void MarquardtProgressLog(Workbench& wb, double fNew, double fOld);
void MarquardtResultLog(Workbench& wb, double f);

}  // namespace estimetrix
