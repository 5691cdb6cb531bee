#pragma once
// The one place where numbers become report and file text.

#include <string>
#include <string_view>

namespace estimetrix {

// The text right-aligned in `width` characters (width rounded to an integer);
// a longer text keeps its leftmost `width` characters.
std::string RightJustify(const std::string& text, double width);

// Formats a number with a pattern such as "0.0000000E+00", "####0.#####",
// "    000) ", "0.0000E+000   " or " ###0.000": optional leading literal
// text, a numeric part of 0/# placeholders with optional "." and fraction
// placeholders and optional "E+"/"E-" exponent, optional trailing literal.
// Halves round away from zero.
std::string FormatNumber(double value, const std::string& pattern);

// The shortest plain text that reads back to the same double (plain
// notation from 1E-4 to 1E15, scientific outside).
std::string GeneralNumber(double value);

// Lenient field reading (data files, priors file): blanks are skipped, the
// longest leading decimal number is taken, and a field without one reads as 0.
double LenientNumber(std::string_view field);

// Strict field reading (algorithm file): the trimmed field must be a number of
// the given kind within [lo, hi]; false otherwise (nothing is written then).
bool StrictInteger(std::string_view field, long long lo, long long hi, long long& out);
bool StrictReal(std::string_view field, double& out);

// The text without the spaces and tabs at either end.
std::string Trimmed(std::string_view text);

// The text with A-Z as a-z.
std::string Lowered(std::string text);

// Integers joined into texts are plain decimal.
inline std::string IntText(long long value) { return std::to_string(value); }

}  // namespace estimetrix
