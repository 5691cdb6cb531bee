#include "engine/objective/objective.h"

#include <cmath>
#include <limits>

#include "engine/base/format.h"
#include "engine/state/workbench.h"
#include "platform/desktop.h"

namespace estimetrix {

namespace {

double CallModelFor(Workbench& wb, Vector& vector, int NF) {
  double objective = std::numeric_limits<double>::quiet_NaN();
  if (!wb.model) return objective;
  wb.model->MODEL(objective, vector, wb.alg.Steps, wb.alg.Descriptions, wb.alg.FuseCodes,
                  wb.alg.ParameterCount, NF, wb.state.ObservationCount, wb.gradient,
                  wb.secondDerivatives, wb.state.AICcSampleSize);
  return objective;
}

// The clock counts seconds since midnight; a call that runs over midnight
// would otherwise report a negative time.
double ElapsedSeconds(double start, double stop) {
  double elapsed = stop - start;
  if (elapsed < 0.0) elapsed += 86400.0;
  return elapsed;
}

// Two decimals, halves up, so that 0.254 s reads 0.25 and 0.257 s reads 0.26.
double RoundToHundredths(double seconds) {
  return std::floor(seconds * 100.0 + 0.5) / 100.0;
}

}  // namespace

double EvaluateObjective(Workbench& wb, Vector& vector, int NF) {
  ExpandFusedParameters(vector, wb.alg, wb.fuse, wb.state);
  double objective = CallModelFor(wb, vector, NF);
  if (wb.state.PriorsActive && NF >= 1) {
    wb.state.PriorTerm = ComputePriorTerm(wb, vector);
    objective += wb.state.PriorTerm;
  }
  return objective;
}

void CallModel(Workbench& wb, Vector& vector, int NF) {
  CallModelFor(wb, vector, NF);
}

double OneFunctionCall(Workbench& wb, Desktop& desktop, OneFunctionView& view) {
  view.Show();
  desktop.SetStatus(StatusBar::Progress, 1, "One moment please...");
  desktop.Yield();

  const double start = desktop.SecondsSinceMidnight();
  const double objective = EvaluateObjective(wb, wb.alg.Values, 1);
  const double stop = desktop.SecondsSinceMidnight();
  const double seconds = RoundToHundredths(ElapsedSeconds(start, stop));
  desktop.Yield();

  view.SetText(OneFunctionReport(wb, objective, seconds));
  if (!std::isfinite(objective)) {
    desktop.Inform("One function call",
                   "The model gave no finite objective (" + FormatNumber(objective, "0") +
                       ") at the current parameter values.\n\nCheck the values and the data "
                       "before minimizing.",
                   Icon::Exclamation);
  }
  desktop.SetStatus(StatusBar::Progress, 1, "");
  return objective;
}

std::string OneFunctionReport(const Workbench& wb, double objective, double seconds) {
  const AlgorithmData& alg = wb.alg;
  std::string text = "\nCurrent minimum of " + FormatNumber(objective, "####0.#####") +
                     " found at the following parameter values: \n\n";
  for (int i = 1; i <= alg.ParameterCount && i <= alg.Values.Size(); ++i) {
    const std::string code = i <= alg.FuseCodes.Size() ? alg.FuseCodes[i] : kUnfused;
    const std::string description = i <= alg.Descriptions.Size() ? alg.Descriptions[i] : "";
    text += FormatNumber(i, "    000) ") +
            RightJustify(FormatNumber(alg.Values[i], "0.0000000E+00"), 14) + " " +
            RightJustify(code, 3) + "  " + description + "\n";
  }
  text += "\nNote: One function call requires about " + GeneralNumber(seconds) + " seconds\n";
  return text;
}

}  // namespace estimetrix
