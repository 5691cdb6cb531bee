#include "engine/minimizers/marquardt_report.h"

#include <cmath>

#include "engine/base/format.h"
#include "engine/minimizers/marquardt.h"
#include "engine/state/workbench.h"
#include "platform/desktop.h"

namespace estimetrix {

namespace {

std::string Minimum(double value) {
  return FormatNumber(value, "####0.#####     ");
}

std::string CallsText(const Workbench& wb) {
  return IntText(wb.marquardt.IterationCount) + " iterations and " +
         IntText(wb.state.FunctionCallCount) + " function calls";
}

std::string IndexedValue(const Workbench& wb, int j) {
  return FormatNumber(wb.free.FreeIndex[j], "    000) ") +
         RightJustify(FormatNumber(wb.free.FreeValues[j], "0.0000000E+00"), 14);
}

std::string DerivativeKind(const Workbench& wb) {
  return wb.state.MarquardtDerivatives == DerivativeChoice::Analytical ? "Analytical" : "Numerical";
}

std::string DerivativeValue(double value) {
  return RightJustify(FormatNumber(value, "0.00000E+00"), 13);
}

}  // namespace

std::string MarquardtCurrentMinLine(const Workbench& wb, double fNew, double fOld) {
  std::string line = "Current Min> " + Minimum(fNew) + " Last Min> " + Minimum(fOld);
  if (wb.alg.SimplexLimit >= 0)
    return line + " Abs TC> " + FormatNumber(std::fabs(fNew - fOld), "0.0000E+00");
  // A zero last minimum has no relative change; say so rather than print a
  // meaningless number.
  if (fOld == 0.0) return line + " Rel TC> undefined";
  return line + " Rel TC> " + FormatNumber(std::fabs((fNew - fOld) / fOld), "0.0000E+00");
}

std::string MarquardtParameterLines(const Workbench& wb) {
  std::string text;
  for (int j = 1; j <= wb.free.FreeCount; ++j) {
    const int i = wb.free.FreeIndex[j];
    text += IndexedValue(wb, j) + " " + RightJustify(wb.alg.FuseCodes[i], 3) + "  " +
            wb.alg.Descriptions[i] + "\n";
  }
  return text;
}

std::string MarquardtProgressText(const Workbench& wb, double fNew, double fOld) {
  return "\nNote: " + CallsText(wb) + "\n\n" + MarquardtCurrentMinLine(wb, fNew, fOld) +
         "\n\nCurrent minimum found at these " + IntText(wb.free.FreeCount) +
         " adjusted parameter values: \n\n" + MarquardtParameterLines(wb) + "\n";
}

std::vector<std::string> MarquardtDerivativeLines(const Workbench& wb) {
  const std::string kind = DerivativeKind(wb);
  const auto& m = wb.marquardt;
  std::vector<std::string> lines;
  lines.push_back(
      "\n1st & 2nd partial derivatives of the objective function wrt to the previous parameter "
      "estimates:\n\n");
  for (int i = 1; i <= wb.free.FreeCount; ++i) {
    const int pi = wb.free.FreeIndex[i];
    lines.push_back(kind + " 1st derivative wrt Parameter      " + FormatNumber(pi, "000)") +
                    DerivativeValue(m.DisplayGradient[i]) + "\n");
    for (int j = i; j <= wb.free.FreeCount; ++j) {
      const int pj = wb.free.FreeIndex[j];
      lines.push_back(kind + " 2nd derivative wrt Parameters " + FormatNumber(pi, "000") + "," +
                      FormatNumber(pj, "000)") + DerivativeValue(m.DisplayHessian(i, j)) + "\n");
    }
  }
  return lines;
}

bool DerivativeDisplayWanted(const Workbench& wb) {
  return wb.marquardt.ShowDerivatives && !wb.state.ProfileActive &&
         !wb.state.MarquardtInterruptRequested;
}

namespace {

// Appends the derivative block to MarquardtText, yielding after each line.
void AppendDerivatives(Workbench& wb, Desktop& desktop) {
  for (const std::string& line : MarquardtDerivativeLines(wb)) {
    wb.marquardt.MarquardtText += line;
    desktop.Yield();
  }
}

}  // namespace

void MarquardtProgressReport(Workbench& wb, Desktop& desktop, MarquardtView& view, double fNew,
                             double fOld) {
  auto& m = wb.marquardt;
  desktop.SetStatus(StatusBar::Progress, 1, "");
  desktop.SetStatus(StatusBar::Progress, 3, "");
  m.MarquardtText = MarquardtProgressText(wb, fNew, fOld);
  if (!DerivativeDisplayWanted(wb)) {
    view.SetDerivativeButtonsVisible(false);
    view.SetText(m.MarquardtText);
    return;
  }
  desktop.SetStatus(StatusBar::Progress, 1,
                    "Please be patient while derivative output is collated");
  m.DerivativeWaitReleased = false;
  view.SetDerivativeButtonsVisible(true);
  AppendDerivatives(wb, desktop);
  view.SetText(m.MarquardtText);
  desktop.SetStatus(StatusBar::Progress, 1, "");
  while (!m.DerivativeWaitReleased) {
    desktop.Yield();
    if (!m.DerivativeWaitReleased) view.Idle();
  }
}

std::string MarquardtResultText(const Workbench& wb, double f) {
  return "\nMinimum of " + FormatNumber(f, "####0.#####") + " found at these " + IntText(wb.free.FreeCount) +
         " adjusted parameter values:\n\n" + MarquardtParameterLines(wb) +
         "\nThis result required " + CallsText(wb) + "\n";
}

void MarquardtResultReport(Workbench& wb, Desktop& desktop, MarquardtView& view, double f) {
  auto& m = wb.marquardt;
  desktop.SetStatus(StatusBar::Progress, 1, "");
  desktop.SetStatus(StatusBar::Progress, 3, "");
  m.MarquardtText = MarquardtResultText(wb, f);
  if (DerivativeDisplayWanted(wb)) AppendDerivatives(wb, desktop);
  view.SetText(m.MarquardtText);
  desktop.SetStatus(StatusBar::Progress, 1, "");
  m.DerivativeWaitReleased = true;
  m.ShowDerivatives = false;
  view.SetDerivativeButtonsVisible(false);
  desktop.Inform("Marquardt minimum", "Minimum found using Marquardt!");
  wb.state.MarquardtInterruptRequested = false;
  desktop.SetStatus(StatusBar::Progress, 2, "");
}

std::string MarquardtLogEntries(const Workbench& wb) {
  std::string text;
  for (int j = 1; j <= wb.free.FreeCount; ++j) {
    text += IndexedValue(wb, j);
    if (j % 4 == 0) text += "\n";
  }
  return text;
}

std::string MarquardtProgressRecord(const Workbench& wb, double fNew, double fOld) {
  return "\nNote: " + CallsText(wb) + "\n\nCurrent minimum found at these " + IntText(wb.free.FreeCount) +
         " adjusted parameter values: \n\n" + MarquardtLogEntries(wb) + "\n\n" +
         MarquardtCurrentMinLine(wb, fNew, fOld) + "\n\n";
}

std::string MarquardtResultRecord(const Workbench& wb, double f) {
  return "Minimum of " + FormatNumber(f, "####0.#####") + " found at these " + IntText(wb.free.FreeCount) +
         " adjusted parameter values:\n\n" + MarquardtLogEntries(wb) + "\n\nafter " +
         CallsText(wb) + "\n\n";
}

void MarquardtProgressLog(Workbench& wb, double fNew, double fOld) {
  wb.log.Write(MarquardtProgressRecord(wb, fNew, fOld));
}

void MarquardtResultLog(Workbench& wb, double f) {
  wb.log.Write(MarquardtResultRecord(wb, f));
}

}  // namespace estimetrix
