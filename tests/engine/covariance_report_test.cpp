#include "engine/covariance/covariance_report.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "engine/state/workbench.h"
#include "platform/scripted_desktop.h"
#include "tests/support/file_bytes.h"

namespace estimetrix {
namespace {

namespace fs = std::filesystem;

using testing::FileBytes;

std::string Sp(int n) {
  return std::string(static_cast<size_t>(n), ' ');
}

std::vector<std::string> SplitLines(const std::string& text, const std::string& end = "\n") {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t at = text.find(end); at != std::string::npos; at = text.find(end, start)) {
    lines.push_back(text.substr(start, at - start));
    start = at + end.size();
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

// A workbench holding covariance results as a calculation leaves them.
class CovarianceReportTest : public ::testing::Test {
 protected:
  // N parameters, all fixed (value i, step 0) except the listed free ones.
  void Results(int N, std::vector<int> free) {
    wb.alg.ParameterCount = N;
    wb.alg.FuseCodes.Resize(1, N, "~~");
    wb.alg.Descriptions.Resize(1, N, "");
    CovarianceState& cov = wb.covariance;
    cov.Resize(N);
    for (int i = 1; i <= N; ++i) cov.BaseValues[i] = i;
    for (int i : free) cov.BaseSteps[i] = 0.1;
    cov.CovarianceCount = static_cast<int>(free.size());
    cov.CovarianceIndex.Resize(1, cov.CovarianceCount, 0);
    for (int r = 1; r <= cov.CovarianceCount; ++r) cov.CovarianceIndex[r] = free[r - 1];
    cov.LikelihoodScale = 2.0;
    wb.state.CovarianceDerivatives = DerivativeChoice::Numerical;
    for (int k = 1; k <= 3; ++k) {
      cov.GridMeans[k] = 4.0;
      cov.GridSDs[k] = 2.0;
      cov.GridSummaryValid[k] = true;
    }
  }

  void Grid(int k, double se, double covariance = 0.0) {
    Matrix& g = wb.covariance.GridResults[k];
    const int n = wb.covariance.CovarianceCount;
    for (int r = 1; r <= n; ++r) {
      g(0, r) = se;
      for (int s = 1; s <= n; ++s) g(r, s) = r == s ? se * se : covariance;
    }
    g(0, 0) = std::pow(se * se, n);
    g(1, 0) = std::pow(se * se, n);
  }

  void FailGrid(int k) {
    wb.covariance.GridResults[k].Fill(-1.0);
    wb.covariance.GridMeans[k] = wb.covariance.GridSDs[k] = -1.0;
    wb.covariance.GridSummaryValid[k] = false;
  }

  std::vector<std::string> Report() { return SplitLines(BuildCovarianceReport(wb, desktop)); }

  Workbench wb;
  ScriptedDesktop desktop;
};

// One free parameter of two, a quit grid, and a grid whose values all equal F0
// with a zero mean: the report's whole layout, line by line.
TEST_F(CovarianceReportTest, ReportLayoutLineByLine) {
  Results(2, {1});
  wb.covariance.BaseValues[1] = 0.5;
  wb.alg.Descriptions[1] = "Alpha";
  wb.alg.Descriptions[2] = "Beta";
  Grid(1, 0.25);
  FailGrid(2);
  Grid(3, 0.25);
  wb.covariance.GridMeans[3] = 0.0;
  wb.covariance.GridSDs[3] = 0.0;

  const std::vector<std::string> expected = {
      "Parameter values, step sizes, link codes, and definitions for numerically calculated "
      "covariances:",
      "",
      " 001)  5.0000000E-01   1.0000000E-01  ~~  Alpha",
      " 002)  2.0000000E+00   0.0000000E+00  ~~  Beta",
      "",
      "Reliable numerical covariance results should be similar among three grids with quite "
      "different grid factors",
      "",
      "Covariance constant: 0.5",
      "",
      Sp(31) + "Grid #1" + Sp(11) + "Grid #2" + Sp(11) + "Grid #3",
      "",
      "Factors:" + Sp(14) + "1) 1.0000000E+00  2) 1.0000000E-01  3) 1.0000000E-02",
      "",
      "Likelihood function value summary:",
      "   Mean:" + Sp(12) + Sp(5) + "2.0000000E+00" + Sp(4) + "-5.0000000E-01" + Sp(5) +
          "0.0000000E+00",
      "   Std Dev:" + Sp(9) + Sp(5) + "1.0000000E+00" + Sp(4) + "-5.0000000E-01" + Sp(4) +
          "-1.0000000E+00",
      "   Coef of Var:" + Sp(5) + Sp(9) + "0.5000000" + Sp(8) + "-1.0000000" + Sp(8) + "-1.0000000",
      "",
      "Par#" + Sp(31) + "Standard errors of the estimates",
      "  1" + Sp(22) + "2.5000000E-01" + Sp(4) + "-1.0000000E+00" + Sp(5) + "2.5000000E-01",
      "",
      "Par#" + Sp(15) + "Probabilities that the estimates do not differ from 0, then 1",
      "  1" + Sp(17) + Sp(4) + "0.0458" + Sp(2) + "0.0458" + Sp(3) + "-1.0000" + Sp(1) + "-1.0000" +
          Sp(4) + "0.0458" + Sp(2) + "0.0458",
      "",
      "Par#,Par#" + Sp(35) + "Correlations",
      "",
      "Par#,Par#" + Sp(35) + "Covariances",
      "  1    1" + Sp(17) + "6.2500000E-02" + Sp(4) + "-1.0000000E+00" + Sp(5) + "6.2500000E-02",
      "",
      Sp(44) + "Determinants",
      "Covariance Matrix:  " + Sp(5) + "6.2500000E-02" + Sp(4) + "-1.0000000E+00" + Sp(5) +
          "6.2500000E-02",
      "Correlation Matrix: " + Sp(5) + "1.0000000E+00" + Sp(4) + "-1.0000000E+00" + Sp(5) +
          "1.0000000E+00",
  };
  std::vector<std::string> report = Report();
  ASSERT_EQ(report.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(report[i], expected[i]) << "line " << i + 1;
  EXPECT_EQ(wb.covariance.CovarianceReport.back(), '\n');
}

TEST_F(CovarianceReportTest, OptimisticReportHasItsNoteAndZeroCorrelations) {
  Results(3, {1, 3});
  wb.covariance.OptimisticSEs = true;
  for (int k = 1; k <= 3; ++k) Grid(k, 0.5, 0.0);
  std::vector<std::string> report = Report();
  auto at = std::find(report.begin(), report.end(),
                      "Note: The above SE estimates are optimistic (under-estimated) conditional "
                      "estimates");
  ASSERT_NE(at, report.end());
  EXPECT_EQ(*(at - 1), "");
  // Parameter 1 (value 1, SE 0.5) against 0 and against 1; parameter 3 far from both.
  std::string one = "  1" + Sp(17), three = "  3" + Sp(17);
  for (int k = 1; k <= 3; ++k) {
    one += Sp(4) + "0.0458" + Sp(2) + "1.0000";
    three += Sp(3) + "<0.0001" + Sp(1) + "<0.0001";
  }
  EXPECT_EQ(*(at - 3), one);
  EXPECT_EQ(*(at - 2), three);
  EXPECT_EQ(*(at + 2), "Par#,Par#" + Sp(35) + "Correlations");
  EXPECT_EQ(*(at + 3),
            "  1    3" + Sp(21) + "0.0000000" + Sp(9) + "0.0000000" + Sp(9) + "0.0000000");
  EXPECT_EQ(*(at + 6), "  1    1" + Sp(17) + "2.5000000E-01" + Sp(5) + "2.5000000E-01" + Sp(5) +
                           "2.5000000E-01");
  EXPECT_EQ(*(at + 7), "  1    3" + Sp(17) + "0.0000000E+00" + Sp(5) + "0.0000000E+00" + Sp(5) +
                           "0.0000000E+00");
}

TEST_F(CovarianceReportTest, AnalyticalReportSummarisesTheBaseObjectiveOnly) {
  Results(1, {1});
  wb.state.CovarianceDerivatives = DerivativeChoice::Analytical;
  wb.covariance.BaseObjective = 6.0;
  for (int k = 1; k <= 3; ++k) Grid(k, 1.0);
  std::vector<std::string> report = Report();
  EXPECT_EQ(report[0],
            "Parameter values, step sizes, link codes, and definitions for analytically "
            "calculated covariances:");
  EXPECT_EQ(report[4],
            "Analytical covariance results are redundant for all grids; likelihood function "
            "value summary is meaningless");
  EXPECT_EQ(report[13], "   Mean:" + Sp(12) + (Sp(5) + "3.0000000E+00") +
                            (Sp(5) + "3.0000000E+00") + (Sp(5) + "3.0000000E+00"));
  EXPECT_EQ(report[14], "   Std Dev:" + Sp(9) + (Sp(4) + "-1.0000000E+00") +
                            (Sp(4) + "-1.0000000E+00") + (Sp(4) + "-1.0000000E+00"));
}

TEST(TwoSidedTProbability, IntegratesTheTailOfStudentsT) {
  EXPECT_EQ(TwoSidedTProbability(2.0f), 0.0458);  // estimate 0.5, SE 0.25
  EXPECT_EQ(TwoSidedTProbability(0.0f), 1.0);     // estimate 1 tested against 1
  EXPECT_EQ(TwoSidedTProbability(3.0f), 0.0028);
  EXPECT_EQ(TwoSidedTProbability(4.0f), std::nullopt);  // the tail rounds to 0
  EXPECT_EQ(TwoSidedTProbability(19.9f), std::nullopt);
  EXPECT_EQ(TwoSidedTProbability(20.0f), std::nullopt);
  EXPECT_EQ(TwoSidedTProbability(1E6f), std::nullopt);
  EXPECT_EQ(ProbabilityText(std::nullopt), "<0.0001");
  EXPECT_EQ(ProbabilityText(1.0), "1.0000");
}

class CovarianceFileTest : public CovarianceReportTest {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("covariance_file_test_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    wb.alg.AlgorithmFileName = "crab";
  }
  void TearDown() override { fs::remove_all(dir); }

  std::optional<std::string> Save(std::string& text, std::optional<std::string> path) {
    desktop.ExpectSaveFile("Save covariance data in...", std::move(path));
    return SaveCovarianceFile(wb, desktop, text);
  }

  fs::path dir;
};

// The ranking window reads these positions back: values on lines 5 to N+4,
// standard errors from line N+20 on, by column.
TEST_F(CovarianceFileTest, FilePositionsAreAContract) {
  Results(12, {12});
  wb.covariance.BaseValues[1] = -0.000123;
  Grid(1, 1.2345678E-01);
  FailGrid(2);
  Grid(3, 3.0E-02);
  std::string text = BuildCovarianceReport(wb, desktop);
  const std::string path = (dir / "a.cov").string();
  ASSERT_EQ(Save(text, path), path);

  const std::string bytes = FileBytes(path);
  EXPECT_EQ(SplitLines(bytes, "\r\n").size(), SplitLines(bytes, "\n").size()) << "CR LF line ends";
  std::vector<std::string> file = SplitLines(bytes, "\r\n");
  EXPECT_EQ(file[0], "Originally saved with the file name: " + path);
  EXPECT_EQ(file[1], "");
  const int N = 12;
  EXPECT_EQ(file[4].substr(0, 20), " 001) -1.2300000E-04");      // line 5, value in columns 7-20
  EXPECT_EQ(file[N + 3].substr(0, 20), " 012)  1.2000000E+01");  // line N+4
  const std::string se = file[N + 19];                           // line N+20
  EXPECT_EQ(se,
            " 12" + Sp(22) + "1.2345678E-01" + Sp(4) + "-1.0000000E+00" + Sp(5) + "3.0000000E-02");
  EXPECT_EQ(se.substr(1, 2), "12");                // columns 2-3
  EXPECT_EQ(se.substr(24, 14), " 1.2345678E-01");  // grid 1: columns 25-38
  EXPECT_EQ(se.substr(42, 14), "-1.0000000E+00");  // grid 2: columns 43-56
  EXPECT_EQ(se.substr(60, 14), " 3.0000000E-02");  // grid 3: columns 61-74
  EXPECT_EQ(se.size(), 74u);
  EXPECT_EQ(file[N + 18], "Par#" + Sp(31) + "Standard errors of the estimates");  // line N+19
}

TEST_F(CovarianceFileTest, SaveDialogueAndRepeatedSaves) {
  Results(1, {1});
  Grid(1, 1.0);
  Grid(2, 1.0);
  Grid(3, 1.0);
  std::string text = BuildCovarianceReport(wb, desktop);
  const std::string report = text;

  // Cancel writes nothing and changes nothing.
  EXPECT_EQ(Save(text, std::nullopt), std::nullopt);
  EXPECT_EQ(text, report);
  const DialogRecord& dialog = desktop.Transcript().back();
  EXPECT_EQ(dialog.text,
            "All files (*.*)|*.*|Covariance files (*.cov)|*.cov|Named for algorithm file "
            "(crab.*)|crab.*|");
  EXPECT_EQ(dialog.filterIndex, 3);
  EXPECT_EQ(dialog.defaultText, "12081435.cov");
  EXPECT_TRUE(dialog.confirmOverwrite);

  // A write that fails is reported and leaves the window text as it was.
  desktop.ExpectSaveFile("Save covariance data in...", (dir / "missing" / "b.cov").string());
  desktop.ExpectMessage("Covariance file not saved");
  EXPECT_EQ(SaveCovarianceFile(wb, desktop, text), std::nullopt);
  EXPECT_EQ(desktop.PendingSteps(), 0u);
  EXPECT_EQ(text, report);

  // A second save from the same window carries both header lines.
  const std::string first = (dir / "first.cov").string();
  const std::string second = (dir / "second.cov").string();
  ASSERT_TRUE(Save(text, first));
  ASSERT_TRUE(Save(text, second));
  std::vector<std::string> lines = SplitLines(FileBytes(second), "\r\n");
  EXPECT_EQ(lines[0], "Originally saved with the file name: " + second);
  EXPECT_EQ(lines[1], "");
  EXPECT_EQ(lines[2], "Originally saved with the file name: " + first);
  EXPECT_EQ(lines[3], "");
  EXPECT_EQ(lines[4], SplitLines(report)[0]);
  EXPECT_TRUE(desktop.Failures().empty());
}

}  // namespace
}  // namespace estimetrix
