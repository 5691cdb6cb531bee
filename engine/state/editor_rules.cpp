#include "engine/state/editor_rules.h"

#include <charconv>
#include <cmath>

namespace estimetrix {

namespace {

bool IsBlankChar(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view TrimLine(std::string_view text) {
  while (!text.empty() && IsBlankChar(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlankChar(text.back())) text.remove_suffix(1);
  return text;
}

bool IsLetter(char c) {
  return c >= 'A' && c <= 'Z';
}

std::string UpperCase(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

}  // namespace

std::optional<double> ParseNumber(std::string_view text) {
  text = TrimLine(text);
  // from_chars takes no leading plus; a user may well type one.
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && text.front() == '-') return std::nullopt;
  }
  if (text.empty()) return std::nullopt;
  double value = 0.0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value, std::chars_format::general);
  if (ec != std::errc() || ptr != end || !std::isfinite(value)) return std::nullopt;
  return value;
}

bool IsBlank(std::string_view text) {
  return TrimLine(text).empty();
}

bool IsUnchanged(double entered, double current) {
  return std::fabs(entered - current) < kUnchangedBelow;
}

double ProportionalStep(double value, double proportion) {
  return value != 0.0 ? std::fabs(value * proportion) : std::fabs(proportion);
}

double EffectiveProportion(double entered) {
  return entered == 0.0 ? kDefaultStepProportion : entered;
}

std::optional<std::string> AcceptFuseCode(std::string_view text, FuseEntry where) {
  std::string code = UpperCase(TrimLine(text));
  if (where == FuseEntry::InCell && code == "~") code = "~~";
  if (code == "~~") return code;
  if (code.empty() || code.size() > 2) return std::nullopt;
  if (!IsLetter(code.front()) || !IsLetter(code.back())) return std::nullopt;
  return code;
}

double ToleranceFromEntry(double entered, bool relative) {
  double magnitude = std::fabs(entered);
  if (magnitude == 0.0) return 0.0;
  if (magnitude < kMinimumTolerance) magnitude = kMinimumTolerance;
  return relative ? -magnitude : magnitude;
}

std::string LogFileName(std::string_view chosen) {
  constexpr std::string_view kExtension = ".exl";
  std::string name(chosen);
  bool hasExtension = name.size() >= kExtension.size() &&
                      UpperCase(name.substr(name.size() - kExtension.size())) == ".EXL";
  if (!hasExtension) name += kExtension;
  return name;
}

IntegerFieldCheck CheckIntegerField(std::string_view text, long long largest) {
  std::optional<double> number = ParseNumber(text);
  if (!number) return {FieldVerdict::Restore, 0};
  if (*number < 0) return {FieldVerdict::Negative, 0};
  const double whole = std::round(*number);
  if (whole > static_cast<double>(largest)) return {FieldVerdict::TooLarge, 0};
  return {FieldVerdict::Store, static_cast<int>(whole)};
}

RealFieldCheck CheckFractionField(std::string_view text) {
  std::optional<double> number = ParseNumber(text);
  if (!number) return {FieldVerdict::Restore, 0.0};
  if (*number < 0) return {FieldVerdict::Negative, 0.0};
  return {FieldVerdict::Store, *number + 0.0};  // + 0.0 turns -0 into 0
}

}  // namespace estimetrix
