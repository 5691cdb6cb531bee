#include "engine/base/format.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <system_error>

namespace estimetrix {

namespace {

bool IsPlaceholder(char c) {
  return c == '0' || c == '#';
}

// A numeric pattern taken apart: literal text around a numeric part of
// integer placeholders, an optional fraction and an optional exponent.
struct Pattern {
  std::string lead, trail;
  int minIntegerDigits = 0;  // '0' placeholders before the point
  bool hasPoint = false;
  int fractionDigits = 0;     // placeholders after the point
  int minFractionDigits = 0;  // '0' placeholders after the point
  bool scientific = false;
  bool exponentSignAlways = false;  // "E+" rather than "E-"
  int minExponentDigits = 0;
};

Pattern ParsePattern(const std::string& text) {
  Pattern p;
  size_t at = 0;
  // The numeric part starts at the first placeholder, or at a point that
  // is directly followed by one (".00").
  while (at < text.size() && !IsPlaceholder(text[at]) &&
         !(text[at] == '.' && at + 1 < text.size() && IsPlaceholder(text[at + 1]))) {
    ++at;
  }
  p.lead = text.substr(0, at);
  while (at < text.size() && IsPlaceholder(text[at])) {
    if (text[at] == '0') ++p.minIntegerDigits;
    ++at;
  }
  if (at < text.size() && text[at] == '.') {
    p.hasPoint = true;
    ++at;
    while (at < text.size() && IsPlaceholder(text[at])) {
      if (text[at] == '0') ++p.minFractionDigits;
      ++p.fractionDigits;
      ++at;
    }
  }
  if (at + 2 < text.size() && text[at] == 'E' && (text[at + 1] == '+' || text[at + 1] == '-') &&
      text[at + 2] == '0') {
    p.scientific = true;
    p.exponentSignAlways = text[at + 1] == '+';
    at += 2;
    while (at < text.size() && text[at] == '0') {
      ++p.minExponentDigits;
      ++at;
    }
  }
  p.trail = text.substr(at);
  return p;
}

// A finite non-negative number as decimal digits: value = 0.d1d2d3... x 10^pointPos,
// i.e. the first pointPos digits stand before the decimal point. The digits
// are the shortest that read back to the same double, so that a value such as
// 2.675 rounds as the decimal number it was written as.
struct Decimal {
  std::string digits;  // no leading zeros; empty for zero
  int pointPos = 0;
};

Decimal ToDecimal(double magnitude) {
  Decimal d;
  if (magnitude == 0.0) return d;
  char buffer[64];
  auto result =
      std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific);
  std::string text(buffer, result.ptr);
  size_t e = text.find('e');
  for (size_t i = 0; i < e; ++i)
    if (text[i] != '.') d.digits += text[i];
  d.pointPos = std::atoi(text.c_str() + e + 1) + 1;
  while (d.digits.size() > 1 && d.digits.back() == '0') d.digits.pop_back();
  return d;
}

// Keeps the first `keep` digits, rounding half away from zero (the digits
// hold a magnitude, so rounding up is always away from zero).
void RoundDigits(Decimal& d, int keep) {
  if (d.digits.empty() || keep >= static_cast<int>(d.digits.size())) return;
  if (keep < 0) {
    d.digits.clear();
    return;
  }
  bool up = d.digits[static_cast<size_t>(keep)] >= '5';
  d.digits.resize(static_cast<size_t>(keep));
  if (up) {
    int i = keep - 1;
    while (i >= 0 && d.digits[static_cast<size_t>(i)] == '9') {
      d.digits[static_cast<size_t>(i)] = '0';
      --i;
    }
    if (i >= 0) {
      ++d.digits[static_cast<size_t>(i)];
    } else {
      d.digits.insert(d.digits.begin(), '1');
      ++d.pointPos;
    }
  }
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
  if (d.digits.empty()) d.pointPos = 0;
}

// Digit at position k (0 = first significant digit), zero outside the digits.
char DigitAt(const Decimal& d, int k) {
  return k >= 0 && k < static_cast<int>(d.digits.size()) ? d.digits[static_cast<size_t>(k)] : '0';
}

// Fraction text: `count` digits starting at position `first`, trailing zeros
// dropped down to `keepAtLeast`.
std::string FractionText(const Decimal& d, int first, const Pattern& p) {
  std::string fraction;
  for (int j = 0; j < p.fractionDigits; ++j) fraction += DigitAt(d, first + j);
  while (static_cast<int>(fraction.size()) > p.minFractionDigits && fraction.back() == '0')
    fraction.pop_back();
  return p.hasPoint ? "." + fraction : fraction;
}

std::string FixedText(Decimal d, const Pattern& p) {
  RoundDigits(d, d.pointPos + p.fractionDigits);
  std::string integer;
  for (int k = 0; k < d.pointPos; ++k) integer += DigitAt(d, k);
  if (static_cast<int>(integer.size()) < p.minIntegerDigits)
    integer.insert(0, static_cast<size_t>(p.minIntegerDigits) - integer.size(), '0');
  return integer + FractionText(d, d.pointPos, p);
}

std::string ScientificText(Decimal d, const Pattern& p) {
  RoundDigits(d, 1 + p.fractionDigits);
  int exponent = d.digits.empty() ? 0 : d.pointPos - 1;
  std::string text(1, DigitAt(d, 0));
  text += FractionText(d, 1, p);
  std::string digits = std::to_string(exponent < 0 ? -exponent : exponent);
  if (static_cast<int>(digits.size()) < p.minExponentDigits)
    digits.insert(0, static_cast<size_t>(p.minExponentDigits) - digits.size(), '0');
  text += 'E';
  if (exponent < 0)
    text += '-';
  else if (p.exponentSignAlways)
    text += '+';
  return text + digits;
}

bool AllZeroDigits(const std::string& text) {
  for (char c : text)
    if (c >= '1' && c <= '9') return false;
  return true;
}

// Significand digits of a printed number (the exponent does not count).
std::string Significand(const std::string& text) {
  return text.substr(0, text.find('E'));
}

std::string NonFiniteText(double value) {
  if (std::isnan(value)) return "NaN";
  return value < 0 ? "-Infinity" : "Infinity";
}

std::string_view Trim(std::string_view field) {
  size_t first = field.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  size_t last = field.find_last_not_of(" \t");
  return field.substr(first, last - first + 1);
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Length of the decimal number at the start of `text` (sign, digits, point,
// digits, exponent); 0 when there is none. A dangling exponent marker is
// not part of the number.
size_t NumberLength(std::string_view text, bool allowFortranExponent) {
  size_t at = 0;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
  size_t digits = 0;
  while (at < text.size() && IsDigit(text[at])) ++at, ++digits;
  if (at < text.size() && text[at] == '.') {
    ++at;
    while (at < text.size() && IsDigit(text[at])) ++at, ++digits;
  }
  if (digits == 0) return 0;
  if (at < text.size()) {
    char e = text[at];
    bool marker = e == 'E' || e == 'e' || (allowFortranExponent && (e == 'D' || e == 'd'));
    if (marker) {
      size_t probe = at + 1;
      if (probe < text.size() && (text[probe] == '+' || text[probe] == '-')) ++probe;
      if (probe < text.size() && IsDigit(text[probe])) {
        while (probe < text.size() && IsDigit(text[probe])) ++probe;
        at = probe;
      }
    }
  }
  return at;
}

// Converts a syntactically checked decimal number; false when out of range.
bool ConvertReal(std::string text, double& out) {
  for (char& c : text)
    if (c == 'D' || c == 'd') c = 'E';
  const char* begin = text.c_str();
  if (*begin == '+') ++begin;
  const char* end = text.c_str() + text.size();
  double value = 0.0;
  auto result = std::from_chars(begin, end, value);
  if (result.ec == std::errc::result_out_of_range) {
    // Underflow reads as zero; overflow is an error.
    double approx = std::strtod(begin, nullptr);
    if (std::isinf(approx)) return false;
    value = approx;
  } else if (result.ec != std::errc() || result.ptr != end) {
    return false;
  }
  if (!std::isfinite(value)) return false;
  out = value;
  return true;
}

}  // namespace

std::string RightJustify(const std::string& text, double width) {
  long w = std::isfinite(width) ? std::lround(width) : 0;
  if (w <= 0) return {};
  size_t size = static_cast<size_t>(w);
  if (text.size() >= size) return text.substr(0, size);
  return std::string(size - text.size(), ' ') + text;
}

std::string FormatNumber(double value, const std::string& pattern) {
  Pattern p = ParsePattern(pattern);
  if (!std::isfinite(value)) return p.lead + NonFiniteText(value) + p.trail;
  Decimal d = ToDecimal(std::fabs(value));
  std::string number = p.scientific ? ScientificText(d, p) : FixedText(d, p);
  // Negative zero, and negatives that round to zero, print without a sign.
  bool negative = std::signbit(value) && !AllZeroDigits(Significand(number));
  return p.lead + (negative ? "-" : "") + number + p.trail;
}

std::string GeneralNumber(double value) {
  if (!std::isfinite(value)) return NonFiniteText(value);
  if (value == 0.0) return "0";
  double magnitude = std::fabs(value);
  char buffer[64];
  std::to_chars_result result;
  bool plain = magnitude >= 1E-4 && magnitude < 1E15;
  if (plain) {
    result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    return std::string(buffer, result.ptr);
  }
  result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
  // "1.5e+16" -> "1.5E+16"; "1e-05" -> "1E-05".
  std::string text(buffer, result.ptr);
  for (char& c : text)
    if (c == 'e') c = 'E';
  return text;
}

double LenientNumber(std::string_view field) {
  // Blanks anywhere in the field are skipped, so "1 234" reads as 1234.
  std::string compact;
  for (char c : field)
    if (c != ' ' && c != '\t') compact += c;
  size_t length = NumberLength(compact, true);
  if (length == 0) return 0.0;
  double value = 0.0;
  if (!ConvertReal(compact.substr(0, length), value)) {
    // Too large for a double: the nearest representable magnitude, signed.
    return compact[0] == '-' ? -1.7976931348623157E308 : 1.7976931348623157E308;
  }
  return value;
}

bool StrictInteger(std::string_view field, long long lo, long long hi, long long& out) {
  std::string_view text = Trim(field);
  size_t at = 0;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
  if (at == text.size()) return false;
  for (size_t i = at; i < text.size(); ++i)
    if (!IsDigit(text[i])) return false;
  const char* begin = text.data() + (text[0] == '+' ? 1 : 0);
  long long value = 0;
  auto result = std::from_chars(begin, text.data() + text.size(), value);
  if (result.ec != std::errc() || value < lo || value > hi) return false;
  out = value;
  return true;
}

bool StrictReal(std::string_view field, double& out) {
  std::string_view text = Trim(field);
  if (text.empty() || NumberLength(text, false) != text.size()) return false;
  return ConvertReal(std::string(text), out);
}

std::string Trimmed(std::string_view text) {
  return std::string(Trim(text));
}

std::string Lowered(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace estimetrix
