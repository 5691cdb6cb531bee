// The runner's derivative choice: --derivatives for marquardt and covariance,
// and evaluate --gradient.

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/batch_run.h"

namespace estimetrix::testing {
namespace {

std::string DungenessSetup() {
  return std::string(ESTIMETRIX_EXAMPLES) + "/dungeness/dungeness.setup";
}

std::vector<double> NumbersAfter(const std::string& text, const std::string& lead) {
  std::vector<double> numbers;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);)
    if (line.rfind(lead, 0) == 0)
      numbers.push_back(std::strtod(line.c_str() + lead.size(), nullptr));
  return numbers;
}

// The gradient of the free parameters with every digit a double holds;
// at the Marquardt minimum it is (nearly) zero.
TEST(BatchDerivatives, EvaluatePrintsTheGradientOfTheFreeParameters) {
  const BatchRun start = RunBatchWords({"--setup", DungenessSetup(), "--gradient", "evaluate"});
  ASSERT_EQ(start.status, 0) << start.err;
  EXPECT_NE(start.out.find("gradient 2 217.171"), std::string::npos) << start.out;
  std::istringstream lines(start.out);
  int count = 0;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("gradient ", 0) != 0) continue;
    ++count;
    const std::string value = line.substr(line.rfind(' ') + 1);
    int digits = 0;
    for (char ch : value.substr(0, value.find('e'))) digits += ch >= '0' && ch <= '9';
    EXPECT_GE(digits, 16) << line;
  }
  EXPECT_EQ(count, 4);  // Beta 0, Beta 1, Tau 0, Tau 1

  const BatchRun fitted = RunBatchWords({"--setup", DungenessSetup(), "--derivatives", "analytical",
                                         "--gradient", "simplex", "marquardt", "evaluate"});
  ASSERT_EQ(fitted.status, 0) << fitted.err;
  const std::vector<double> objectives = NumbersAfter(fitted.out, "objective ");
  ASSERT_EQ(objectives.size(), 3u);
  EXPECT_NEAR(objectives[1], 1916.746, 0.001);
  for (double g : NumbersAfter(fitted.out, "gradient 2 ")) EXPECT_LT(std::abs(g), 0.01);
}

// Analytical covariances are the exact Hessian three times over.
TEST(BatchDerivatives, AnalyticalCovariancesGiveThreeEqualGrids) {
  const BatchRun run = RunBatchWords(
      {"--setup", DungenessSetup(), "--derivatives", "analytical", "simplex", "covariance"});
  ASSERT_EQ(run.status, 0) << run.err;
  std::istringstream lines(run.out);
  bool seen = false;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("  2    3 ", 0) != 0) continue;  // the Beta 0, Beta 1 correlation, covariance
    std::istringstream fields(line.substr(9));
    double a = 0, b = 0, c = 0;
    fields >> a >> b >> c;
    EXPECT_EQ(a, b) << line;
    EXPECT_EQ(b, c) << line;
    seen = true;
  }
  EXPECT_TRUE(seen) << run.out;
}

// Analytical derivatives leave the prior term out: with priors they would
// send Marquardt and the covariances after the wrong objective.
TEST(BatchDerivatives, AnalyticalDerivativesAreRefusedWithPriors) {
  const std::string priors = std::string(ESTIMETRIX_TEST_DATA) + "/priors/dungeness_beta1.pri";
  for (const char* command : {"marquardt", "covariance"}) {
    const BatchRun run =
        RunBatchWords({"--setup", DungenessSetup(), "--priors", priors, "--likelihood-constant",
                       "0.5", "--derivatives", "analytical", command});
    EXPECT_EQ(run.status, 1) << command;
    EXPECT_NE(
        run.err.find(std::string(command) + ": analytical derivatives leave the prior term out"),
        std::string::npos)
        << run.err;
  }
}

TEST(BatchDerivatives, AWrongChoiceIsRefusedBeforeAnyCommand) {
  const BatchRun run =
      RunBatchWords({"--setup", DungenessSetup(), "--derivatives", "exact", "evaluate"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("--derivatives needs \"analytical\" or \"numerical\", not \"exact\""),
            std::string::npos)
      << run.err;
  EXPECT_EQ(run.out.find("objective "), std::string::npos);
}

}  // namespace
}  // namespace estimetrix::testing
