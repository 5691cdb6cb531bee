#pragma once
// The algorithm data editor's rules for what a user may type, kept apart from
// the window so they can be checked without one: how entries are read, when a
// number counts as unchanged, how steps follow values, which fuse codes are
// accepted, how the convergence tolerance is stored, and the checks of the
// minimization option fields.

#include <optional>
#include <string>
#include <string_view>

namespace estimetrix {

// An entry closer than this to the current number leaves the number alone.
inline constexpr double kUnchangedBelow = 1E-10;
// The step proportion used when none (0) is given.
inline constexpr double kDefaultStepProportion = 0.1;
// The smallest tolerance magnitude a user may set (0 is allowed and absolute).
inline constexpr double kMinimumTolerance = 1E-06;

// Largest values the integer option fields can hold.
inline constexpr long long kMaxShortField = 32767;      // frequencies
inline constexpr long long kMaxLongField = 2147483647;  // maximum calls

// A finite number in plain or scientific notation, blanks around it allowed.
// Reads the same whatever the user's locale. Anything else gives nullopt.
std::optional<double> ParseNumber(std::string_view text);

// True when `text` holds nothing but blanks (an input box left empty ends a
// sequence of questions just like Cancel does).
bool IsBlank(std::string_view text);

// True when `entered` differs from `current` by less than 1E-10.
bool IsUnchanged(double entered, double current);

// The step that follows a value: |value * proportion|, or |proportion| for a
// zero value, so the parameter is always left free.
double ProportionalStep(double value, double proportion);

// A proportion entered by the user: 0 stands for the default 0.1.
double EffectiveProportion(double entered);

// Fuse codes. The entry is trimmed and upper-cased; it is accepted when it is
// "~~" or one or two characters whose first and last are letters A-Z. In a
// grid cell a lone "~" is short for "~~". nullopt means refused.
enum class FuseEntry { Sequential, InCell };
std::optional<std::string> AcceptFuseCode(std::string_view text, FuseEntry where);

// The stored tolerance for an entry: its magnitude, negative for the relative
// test, raised to 1E-06 when smaller (0 stays 0, which is absolute).
double ToleranceFromEntry(double entered, bool relative);
inline bool IsRelativeTolerance(double simplexLimit) {
  return simplexLimit < 0;
}

// The minimization log's file name for the name chosen in the file dialog:
// ".exl" is added unless the name already ends with it.
std::string LogFileName(std::string_view chosen);

// The minimization option fields, checked when the user leaves them.
enum class FieldVerdict {
  Store,     // the entry is kept (an integer field keeps it rounded)
  Negative,  // the user is told and the old value comes back
  TooLarge,  // the user is told the field's largest value and the old value comes back
  Restore,   // not a number: the old value comes back
};

struct IntegerFieldCheck {
  FieldVerdict verdict = FieldVerdict::Restore;
  int value = 0;  // meaningful for Store
};
struct RealFieldCheck {
  FieldVerdict verdict = FieldVerdict::Restore;
  double value = 0.0;
};

// A number from 0 up, stored rounded to the nearest whole number (halves away
// from zero), which must not pass `largest`. The field then shows the stored
// number, so a fraction typed is visibly rounded.
IntegerFieldCheck CheckIntegerField(std::string_view text, long long largest);
// A number of at least 0.
RealFieldCheck CheckFractionField(std::string_view text);

}  // namespace estimetrix
