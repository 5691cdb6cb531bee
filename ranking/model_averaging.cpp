#include "ranking/model_averaging.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "engine/base/format.h"
#include "platform/text_file.h"
#include "ranking/ranked_models.h"

namespace estimetrix {

namespace {

constexpr std::string_view kSavedHeader = "Originally saved with the file name: ";

// The field of `width` characters from 1-based column `column`, or nullopt
// when the line ends before the field begins.
std::optional<std::string_view> Field(const std::string& line, size_t column, size_t width) {
  if (line.size() < column) return std::nullopt;
  return std::string_view(line).substr(column - 1, width);
}

std::optional<double> NumberIn(const std::string& line, size_t column, size_t width) {
  std::optional<std::string_view> field = Field(line, column, width);
  double value = 0.0;
  if (!field || !StrictReal(*field, value) || !std::isfinite(value)) return std::nullopt;
  return value;
}

// File line of report line 1: after every "Originally saved" line and the
// empty line that follows it.
size_t ReportStart(const std::vector<std::string>& lines) {
  size_t at = 0;
  while (at + 1 < lines.size() && lines[at].rfind(kSavedHeader, 0) == 0 && lines[at + 1].empty())
    at += 2;
  return at;
}

bool OpensForReading(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return false;
  std::ifstream file(path, std::ios::binary);
  return file.is_open();
}

std::string Estimate(double value) {
  return RightJustify(FormatNumber(value, "0.0000E+00"), 16);
}

}  // namespace

std::optional<CovarianceEstimates> ReadCovarianceEstimates(const std::vector<std::string>& lines,
                                                           int N, int K, std::string& reason) {
  CovarianceEstimates estimates;
  estimates.values.Resize(1, N, 0.0);
  estimates.se.Resize(1, kAveragingGrids, 1, N, 0.0);
  // Positions count as in a file saved once: file line L is report line L - 2.
  const size_t first = ReportStart(lines);
  auto line = [&](size_t fileLine) -> const std::string* {
    const size_t index = first + fileLine - 3;
    return index < lines.size() ? &lines[index] : nullptr;
  };
  auto tooShort = [&](size_t fileLine) {
    reason = "the file ends before line " + IntText(static_cast<long long>(fileLine));
    return std::nullopt;
  };

  for (int i = 1; i <= N; ++i) {
    const size_t at = 4 + static_cast<size_t>(i);
    const std::string* text = line(at);
    if (!text) return tooShort(at);
    std::optional<double> value = NumberIn(*text, 7, 14);
    if (!value) {
      reason = "line " + IntText(static_cast<long long>(at)) + " holds no value of parameter " +
               IntText(i) + " in columns 7-20";
      return std::nullopt;
    }
    estimates.values[i] = *value;
  }
  for (int r = 1; r <= K; ++r) {
    const size_t at = static_cast<size_t>(N) + 19 + static_cast<size_t>(r);
    const std::string* text = line(at);
    if (!text) return tooShort(at);
    long long parameter = 0;
    std::optional<std::string_view> number = Field(*text, 1, 3);
    if (!number || !StrictInteger(*number, 1, N, parameter)) {
      reason = "line " + IntText(static_cast<long long>(at)) +
               " holds no parameter number from 1 to " + IntText(N) + " in columns 1-3";
      return std::nullopt;
    }
    for (int g = 1; g <= kAveragingGrids; ++g) {
      const size_t column = 25 + 18 * static_cast<size_t>(g - 1);
      std::optional<double> se = NumberIn(*text, column, 14);
      if (!se) {
        reason = "line " + IntText(static_cast<long long>(at)) + " holds no standard error of grid " +
                 IntText(g) + " in columns " + IntText(static_cast<long long>(column)) + "-" +
                 IntText(static_cast<long long>(column + 13));
        return std::nullopt;
      }
      if (*se == -1.0) estimates.gridMissing[g] = true;
      estimates.se(g, static_cast<int>(parameter)) = *se;
    }
  }
  return estimates;
}

AveragedEstimates AverageEstimates(const std::vector<CovarianceEstimates>& models,
                                   const std::vector<double>& weights, double cHat, int N) {
  AveragedEstimates averaged;
  averaged.values.Resize(1, N, 0.0);
  averaged.se.Resize(1, kAveragingGrids, 1, N, 0.0);
  for (size_t m = 0; m < models.size(); ++m)
    for (int i = 1; i <= N; ++i) averaged.values[i] += weights[m] * models[m].values[i];
  for (int g = 1; g <= kAveragingGrids; ++g) {
    bool missing = false;
    for (const CovarianceEstimates& model : models) missing = missing || model.gridMissing[g];
    for (int i = 1; i <= N; ++i) {
      if (missing) {
        averaged.se(g, i) = -1.0;
        continue;
      }
      // sqrt(cHat SE^2 + spread^2) as a hypotenuse, so that large standard
      // errors are not squared beyond the largest double; an average that
      // still does not fit one has no reliable value.
      double sum = 0.0;
      for (size_t m = 0; m < models.size(); ++m) {
        const double se = std::sqrt(cHat) * models[m].se(g, i);
        const double spread = models[m].values[i] - averaged.values[i];
        sum += weights[m] * std::hypot(se, spread);
      }
      averaged.se(g, i) = std::isfinite(sum) ? sum : -1.0;
    }
  }
  return averaged;
}

std::string AveragingText(const AveragedEstimates& averaged) {
  std::string text =
      "Parameter estimates and their SEs resulting from averaging across all ranked models.\r\n"
      "Each model contributes to the reported averages according to its AIC Weight.\r\n"
      "SEs will report a value of -1 if any model is missing an estimate for SE.\r\n"
      "\r\n"
      "Parameter_#  Parameter_Value     SEs_Grid_#1     SEs_Grid_#2     SEs_Grid_#3\r\n";
  for (int i = 1; i <= averaged.values.Size(); ++i) {
    text += RightJustify(FormatNumber(i, "##0"), 11) + " " + Estimate(averaged.values[i]);
    for (int g = 1; g <= kAveragingGrids; ++g) text += Estimate(averaged.se(g, i));
    text += "\r\n";
  }
  return text;
}

std::optional<std::string> CheckCovFileName(std::string& name, CovarianceCheck mode,
                                            const std::string& directory) {
  const bool bare = name.find_first_of("/\\") == std::string::npos;
  const std::string path = bare ? directory + name : name;
  if (!name.empty() && OpensForReading(path)) {
    name = BareFileName(name);
    return path;
  }
  name = mode == CovarianceCheck::OnAdding ? kNoCovarianceFound : kNoSuchFile;
  return std::nullopt;
}

std::string FolderOf(const std::string& path) {
  const size_t at = path.find_last_of("/\\");
  return at == std::string::npos ? std::string() : path.substr(0, at + 1);
}

}  // namespace estimetrix
