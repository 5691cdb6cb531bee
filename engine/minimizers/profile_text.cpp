#include "engine/minimizers/profile_text.h"

#include "engine/base/format.h"
#include "engine/state/workbench.h"

namespace estimetrix {

std::string ProfilePointText(int point, int count) {
  return "Calculating profile point " + FormatNumber(point, "##0") + " of " +
         FormatNumber(count, "##0") + ",";
}

std::string ProfilePointText(int point, int count, int parameter, double value,
                             const char* valuePattern) {
  return ProfilePointText(point, count) + " Value of parameter # " + IntText(parameter) +
         " which is being profiled is: " + FormatNumber(value, valuePattern);
}

std::string ProfileMinimizerText(const Workbench& wb, int point, int count, bool withValue,
                                 const char* valuePattern) {
  if (!withValue) return ProfilePointText(point, count);
  const int pinned = wb.state.EvaluatedParameter;
  const Vector& values = wb.alg.Values;
  const double value = pinned >= values.Lo() && pinned <= values.Hi() ? values[pinned] : 0.0;
  return ProfilePointText(point, count, pinned, value, valuePattern);
}

}  // namespace estimetrix
