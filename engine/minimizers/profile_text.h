#pragma once
// The minimizers' status line while a likelihood profile drives them.

#include <string>

namespace estimetrix {

struct Workbench;

// "Calculating profile point k of P," and, with a parameter, " Value of
// parameter # i which is being profiled is: v" in `valuePattern`.
std::string ProfilePointText(int point, int count);
std::string ProfilePointText(int point, int count, int parameter, double value,
                             const char* valuePattern = "0.0000E+00");

// The minimizers' status line during a profile: the point and, when other
// parameters are free, the profiled parameter (EvaluatedParameter) at its
// value in Values (0 outside them).
std::string ProfileMinimizerText(const Workbench& wb, int point, int count, bool withValue,
                                 const char* valuePattern);

}  // namespace estimetrix
