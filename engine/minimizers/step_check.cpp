#include "engine/minimizers/step_check.h"

#include "engine/base/format.h"
#include "engine/state/workbench.h"
#include "platform/desktop.h"

namespace estimetrix {
namespace {

bool Moves(double value, double step) {
  return value + step != value && value - step != value;
}

std::string Description(const AlgorithmData& alg, int index) {
  const StringArray& descriptions = alg.Descriptions;
  if (index < descriptions.Lo() || index > descriptions.Hi()) return "";
  return descriptions[index];
}

}  // namespace

bool StepsCanMoveParameters(const Workbench& wb, Desktop& desktop, const std::string& title) {
  const AlgorithmData& alg = wb.alg;
  const FreeParameterList& free = wb.free;
  std::string problems;
  for (int j = 1; j <= free.FreeCount; ++j) {
    const int index = free.FreeIndex[j];
    const double value = free.FreeValues[j];
    const double step = free.FreeSteps[j];
    // A fraction of 0 is the user's choice of an axial search that moves
    // nothing; only a non-zero reduced step that rounds away is a fault.
    const double reduced = alg.StepReductionFraction * step;
    const bool stepMoves = Moves(value, step);
    const bool reducedMoves = alg.StepReductionFraction == 0.0 || Moves(value, reduced);
    if (stepMoves && reducedMoves) continue;

    std::string line = "Parameter # " + IntText(index);
    const std::string description = Description(alg, index);
    if (!description.empty()) line += " (" + description + ")";
    line += ": the step size " + GeneralNumber(step) + " is too small for its value " +
            GeneralNumber(value);
    if (stepMoves) {
      line += " once reduced for the convergence check (step size reduction fraction " +
              GeneralNumber(alg.StepReductionFraction) + " x step = " + GeneralNumber(reduced) +
              ")";
    }
    line += ": adding or subtracting it leaves the value unchanged.";
    problems += line + "\n";
  }
  if (problems.empty()) return true;
  desktop.Inform(title,
                 problems +
                     "\nGive such a parameter a larger step size (or a step of 0 to hold it "
                     "fixed) before minimizing.",
                 Icon::Exclamation);
  return false;
}

}  // namespace estimetrix
