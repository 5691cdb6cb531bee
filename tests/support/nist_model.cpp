#include "tests/support/nist_model.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <numbers>
#include <regex>
#include <sstream>

namespace estimetrix::testing {

namespace {

using X = std::vector<double>;
constexpr double kPi = std::numbers::pi;

double Misra1a(const double* b, const X& x) {
  return b[0] * (1 - std::exp(-b[1] * x[0]));
}
double Chwirut(const double* b, const X& x) {
  return std::exp(-b[0] * x[0]) / (b[1] + b[2] * x[0]);
}
double DanWood(const double* b, const X& x) {
  return b[0] * std::pow(x[0], b[1]);
}
double Misra1b(const double* b, const X& x) {
  return b[0] * (1 - std::pow(1 + b[1] * x[0] / 2, -2));
}
double Misra1c(const double* b, const X& x) {
  return b[0] * (1 - std::pow(1 + 2 * b[1] * x[0], -0.5));
}
double Misra1d(const double* b, const X& x) {
  return b[0] * b[1] * x[0] / (1 + b[1] * x[0]);
}
double Lanczos(const double* b, const X& x) {
  return b[0] * std::exp(-b[1] * x[0]) + b[2] * std::exp(-b[3] * x[0]) +
         b[4] * std::exp(-b[5] * x[0]);
}
double Gauss(const double* b, const X& x) {
  const double t = x[0];
  return b[0] * std::exp(-b[1] * t) + b[2] * std::exp(-(t - b[3]) * (t - b[3]) / (b[4] * b[4])) +
         b[5] * std::exp(-(t - b[6]) * (t - b[6]) / (b[7] * b[7]));
}
double Kirby2(const double* b, const X& x) {
  const double t = x[0];
  return (b[0] + b[1] * t + b[2] * t * t) / (1 + b[3] * t + b[4] * t * t);
}
double CubicOverCubic(const double* b, const X& x) {
  const double t = x[0];
  return (b[0] + b[1] * t + b[2] * t * t + b[3] * t * t * t) /
         (1 + b[4] * t + b[5] * t * t + b[6] * t * t * t);
}
double Nelson(const double* b, const X& x) {
  return b[0] - b[1] * x[0] * std::exp(-b[2] * x[1]);
}
double MGH17(const double* b, const X& x) {
  return b[0] + b[1] * std::exp(-x[0] * b[3]) + b[2] * std::exp(-x[0] * b[4]);
}
double Roszman1(const double* b, const X& x) {
  return b[0] - b[1] * x[0] - std::atan(b[2] / (x[0] - b[3])) / kPi;
}
double ENSO(const double* b, const X& x) {
  const double w = 2 * kPi * x[0];
  return b[0] + b[1] * std::cos(w / 12) + b[2] * std::sin(w / 12) + b[4] * std::cos(w / b[3]) +
         b[5] * std::sin(w / b[3]) + b[7] * std::cos(w / b[6]) + b[8] * std::sin(w / b[6]);
}
double MGH09(const double* b, const X& x) {
  const double t = x[0];
  return b[0] * (t * t + t * b[1]) / (t * t + t * b[2] + b[3]);
}
double MGH10(const double* b, const X& x) {
  return b[0] * std::exp(b[1] / (x[0] + b[2]));
}
double Rat42(const double* b, const X& x) {
  return b[0] / (1 + std::exp(b[1] - b[2] * x[0]));
}
double Rat43(const double* b, const X& x) {
  return b[0] / std::pow(1 + std::exp(b[1] - b[2] * x[0]), 1 / b[3]);
}
double Eckerle4(const double* b, const X& x) {
  const double z = (x[0] - b[2]) / b[1];
  return b[0] / b[1] * std::exp(-0.5 * z * z);
}
double Bennett5(const double* b, const X& x) {
  return b[0] * std::pow(b[1] + x[0], -1 / b[2]);
}

using Prediction = double (*)(const double*, const X&);

const std::map<std::string, Prediction>& Predictions() {
  static const std::map<std::string, Prediction> predictions = {
      {"Misra1a", Misra1a},
      {"Chwirut1", Chwirut},
      {"Chwirut2", Chwirut},
      {"Lanczos3", Lanczos},
      {"Gauss1", Gauss},
      {"Gauss2", Gauss},
      {"DanWood", DanWood},
      {"Misra1b", Misra1b},
      {"Kirby2", Kirby2},
      {"Hahn1", CubicOverCubic},
      {"Nelson", Nelson},
      {"MGH17", MGH17},
      {"Lanczos1", Lanczos},
      {"Lanczos2", Lanczos},
      {"Gauss3", Gauss},
      {"Misra1c", Misra1c},
      {"Misra1d", Misra1d},
      {"Roszman1", Roszman1},
      {"ENSO", ENSO},
      {"MGH09", MGH09},
      {"Thurber", CubicOverCubic},
      {"BoxBOD", Misra1a},
      {"Rat42", Rat42},
      {"MGH10", MGH10},
      {"Eckerle4", Eckerle4},
      {"Rat43", Rat43},
      {"Bennett5", Bennett5},
  };
  return predictions;
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// "(lines 41 to 42)" on the header line that begins with `what`.
bool LineRange(const std::vector<std::string>& lines, const std::string& what, int& first,
               int& last) {
  static const std::regex range(R"(\(lines\s+(\d+)\s+to\s+(\d+)\))");
  for (size_t i = 0; i < lines.size() && i < 40; ++i) {
    std::smatch match;
    if (lines[i].find(what) != std::string::npos && std::regex_search(lines[i], match, range)) {
      first = std::stoi(match[1]);
      last = std::stoi(match[2]);
      return first >= 1 && last >= first && last <= static_cast<int>(lines.size());
    }
  }
  return false;
}

std::vector<double> Numbers(const std::string& text) {
  std::istringstream in(text);
  std::vector<double> numbers;
  double value = 0.0;
  while (in >> value) numbers.push_back(value);
  return numbers;
}

}  // namespace

const std::vector<std::string>& NistProblemNames() {
  static const std::vector<std::string> names = {
      "Misra1a", "Chwirut2", "Chwirut1", "Lanczos3", "Gauss1", "Gauss2",   "DanWood",
      "Misra1b", "Kirby2",   "Hahn1",    "Nelson",   "MGH17",  "Lanczos1", "Lanczos2",
      "Gauss3",  "Misra1c",  "Misra1d",  "Roszman1", "ENSO",   "MGH09",    "Thurber",
      "BoxBOD",  "Rat42",    "MGH10",    "Eckerle4", "Rat43",  "Bennett5"};
  return names;
}

std::optional<NistProblem> LoadNistProblem(const std::string& path) {
  const std::vector<std::string> lines = ReadLines(path);
  if (lines.size() < 60) return std::nullopt;
  NistProblem problem;
  static const std::regex name(R"(Dataset Name:\s+(\S+))");
  static const std::regex difficulty(R"((Lower|Average|Higher) Level of Difficulty)");
  for (size_t i = 0; i < 60; ++i) {
    std::smatch match;
    if (std::regex_search(lines[i], match, name)) problem.name = match[1];
    if (std::regex_search(lines[i], match, difficulty)) problem.difficulty = match[1];
    if (lines[i].find("Residual Sum of Squares:") != std::string::npos) {
      const auto numbers = Numbers(lines[i].substr(lines[i].find(':') + 1));
      if (numbers.size() == 1) problem.certifiedRss = numbers[0];
    }
  }
  if (!Predictions().count(problem.name) || problem.difficulty.empty()) return std::nullopt;

  int first = 0, last = 0;
  if (!LineRange(lines, "Starting", first, last)) return std::nullopt;
  for (int i = first; i <= last; ++i) {
    const std::string& line = lines[static_cast<size_t>(i - 1)];
    const auto equals = line.find('=');
    const auto numbers = Numbers(equals == std::string::npos ? "" : line.substr(equals + 1));
    if (numbers.size() != 4) return std::nullopt;
    problem.start1.push_back(numbers[0]);
    problem.start2.push_back(numbers[1]);
    problem.certified.push_back(numbers[2]);
    problem.certifiedSd.push_back(numbers[3]);
  }
  problem.parameterCount = static_cast<int>(problem.start1.size());

  if (!LineRange(lines, "Data", first, last)) return std::nullopt;
  for (int i = first; i <= last; ++i) {
    auto numbers = Numbers(lines[static_cast<size_t>(i - 1)]);
    if (numbers.size() < 2) return std::nullopt;
    problem.y.push_back(numbers[0]);
    problem.x.emplace_back(numbers.begin() + 1, numbers.end());
  }
  return problem;
}

double CorrectDigits(double estimate, double certified) {
  if (!std::isfinite(estimate)) return 0.0;
  const double error = std::fabs(estimate - certified);
  if (error == 0.0) return 11.0;
  const double digits =
      certified == 0.0 ? -std::log10(error) : -std::log10(error / std::fabs(certified));
  return std::clamp(digits, 0.0, 11.0);
}

NistModel::NistModel(NistProblem problem)
    : problem_(std::move(problem)),
      prediction_(Predictions().at(problem_.name)),
      logResponse_(problem_.name == "Nelson") {}

double NistModel::ResidualSumOfSquares(const double* b) const {
  double sum = 0.0;
  const size_t n = problem_.y.size();
  for (size_t i = 0; i < n; ++i) {
    const double y = logResponse_ ? std::log(problem_.y[i]) : problem_.y[i];
    const double r = y - prediction_(b, problem_.x[i]);
    sum += r * r;
  }
  return sum;
}

bool NistModel::Initialize(StringArray& descriptions, Vector& values) {
  const int p = problem_.parameterCount;
  descriptions.Resize(1, p, "");
  values.Resize(1, p, 0.0);
  for (int i = 1; i <= p; ++i) {
    values[i] = problem_.start1[static_cast<size_t>(i - 1)];
    descriptions[i] = "b" + std::to_string(i) + " of " + problem_.name;
  }
  return true;
}

double NistModel::Evaluate(Vector& parameters, int) {
  ++evaluations_;
  return ResidualSumOfSquares(parameters.Data());
}

}  // namespace estimetrix::testing
