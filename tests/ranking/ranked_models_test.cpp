// The ranking table, its grid texts, the .mms file, and averaging from
// covariance files.

#include "ranking/ranked_models.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "platform/text_file.h"
#include "ranking/model_averaging.h"
#include "tests/support/temporary_folder.h"

namespace estimetrix {
namespace {

RankedModel Model(int entry, double negLnL, int K, const std::string& name, int n = 0) {
  RankedModel model;
  model.entry = entry;
  model.negLnL = negLnL;
  model.K = K;
  model.n = n;
  model.algorithmFile = name + ".alg";
  model.covarianceFile = name + ".cov";
  model.priorsFile = kNoPriorsLoaded;
  return model;
}

std::vector<std::string> CovarianceLines(const std::string& name) {
  std::string error;
  auto lines = ReadTextLines(std::string(ESTIMETRIX_TEST_DATA) + "/ranking/" + name, error);
  EXPECT_TRUE(lines) << error;
  return lines.value_or(std::vector<std::string>{});
}

TEST(RankedModels, OrderDifferencesAndWeights) {
  RankedModelTable table;
  table.models = {Model(1, 10.0, 2, "a"), Model(2, 9.0, 2, "b"), Model(3, 10.0, 2, "c")};
  RankingSummary summary = RankTable(table);
  EXPECT_TRUE(summary.leftOut.empty());
  EXPECT_FALSE(summary.nonPositive);
  ASSERT_EQ(table.order.size(), 3u);
  // Equal criteria keep their entry order.
  EXPECT_EQ(table.order[0].model, 1);
  EXPECT_EQ(table.order[1].model, 0);
  EXPECT_EQ(table.order[2].model, 2);
  EXPECT_DOUBLE_EQ(*table.order[0].delta, 0.0);
  EXPECT_DOUBLE_EQ(*table.order[1].delta, 2.0);
  const double total = 1.0 + 2.0 * std::exp(-1.0);
  EXPECT_DOUBLE_EQ(*table.order[0].weight, 1.0 / total);
  EXPECT_DOUBLE_EQ(*table.order[2].weight, std::exp(-1.0) / total);

  // One model alone: difference 0 and weight 1.
  RankedModelTable one;
  one.models = {Model(1, 5.0, 1, "only")};
  RankTable(one);
  EXPECT_DOUBLE_EQ(*one.order[0].delta, 0.0);
  EXPECT_DOUBLE_EQ(*one.order[0].weight, 1.0);
}

TEST(RankedModels, UndefinedAndNonPositiveCriteria) {
  RankedModelTable table;
  // n - K - 1 = 0 for the second model.
  table.models = {Model(1, -3.0, 2, "a", 100), Model(2, 1.0, 2, "b", 3), Model(3, -4.0, 2, "c", 100)};
  EXPECT_FALSE(table.Criterion(table.models[1]));
  RankingSummary summary = RankTable(table);
  EXPECT_EQ(summary.leftOut, std::vector<int>{2});
  EXPECT_TRUE(summary.nonPositive);
  // Plain ascending order, the undefined model last without difference or weight.
  ASSERT_EQ(table.order.size(), 3u);
  EXPECT_EQ(table.order[0].model, 2);
  EXPECT_EQ(table.order[1].model, 0);
  EXPECT_EQ(table.order[2].model, 1);
  EXPECT_FALSE(table.order[2].weight);
  EXPECT_NEAR(*table.order[0].weight + *table.order[1].weight, 1.0, 1e-15);
  std::vector<RankGridRow> rows = RankGridRows(table);
  EXPECT_EQ(rows[2].cells[kCriterionColumn], "undefined");
  EXPECT_EQ(rows[2].cells[kWeightColumn], "undefined");
}

TEST(RankedModels, QuasiCriterionAndHeadersFollowCHat) {
  RankedModelTable table;
  table.models = {Model(1, 10.0, 2, "a", 50)};
  const double aicc = 2.0 * 2 * 50 / 47.0 + 20.0;
  EXPECT_DOUBLE_EQ(*table.Criterion(table.models[0]), aicc);
  EXPECT_EQ(RankGridHeaders(table)[kCriterionColumn], "AICc");
  table.cHat = 2.0;
  EXPECT_DOUBLE_EQ(*table.Criterion(table.models[0]), 2.0 * 2 * 50 / 47.0 + 10.0);
  std::vector<std::string> headers = RankGridHeaders(table);
  EXPECT_EQ(headers[kCriterionColumn], "QAICc");
  EXPECT_EQ(headers[kDeltaColumn], "dQAICc");
  EXPECT_EQ(headers[kWeightColumn], "QAIC Wt");
  table.cHat = 1.0;
  EXPECT_EQ(RankGridHeaders(table)[kWeightColumn], "AIC Wt");
  EXPECT_EQ(RankGridRows(table)[0].cells[kCriterionColumn], "2.4255E+01");
  EXPECT_EQ(CHatText(1.25), "C-hat: 1.250");
}

TEST(RankedModels, RowLabelsAndDeletion) {
  EXPECT_EQ(RowLabel(3, 7), "   3)    7");
  EXPECT_EQ(RowLabel(12, 7), " 12)    7");
  EXPECT_EQ(RowLabel(3, 15), "   3)  15");
  EXPECT_EQ(RowLabel(10, 10), " 10)  10");

  RankedModelTable table;
  table.models = {Model(1, 3.0, 1, "a"), Model(2, 1.0, 1, "b"), Model(3, 2.0, 1, "c")};
  RankTable(table);
  std::vector<RankGridRow> rows = RankGridRows(table);
  EXPECT_EQ(rows[0].cells[kLabelColumn], "   1)    2");
  EXPECT_EQ(rows[0].cells[kAlgorithmColumn], "b.alg");
  EXPECT_EQ(RankGridHeaders(table)[0], "Ranked");
  // Row 0 of a ranked grid is the best model: deleting it removes "b".
  ASSERT_TRUE(DeleteModelAtRow(table, 0));
  EXPECT_FALSE(table.ranked);
  EXPECT_EQ(RankGridHeaders(table)[0], "Random");
  rows = RankGridRows(table);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1].cells[kLabelColumn], "   2)    2");
  EXPECT_EQ(rows[1].cells[kAlgorithmColumn], "c.alg");
  EXPECT_EQ(rows[1].cells[kDeltaColumn], "undefined");
  EXPECT_FALSE(DeleteModelAtRow(table, 2));
  ASSERT_TRUE(DeleteModelAtRow(table, 0));
  ASSERT_TRUE(DeleteModelAtRow(table, 0));
  EXPECT_EQ(table.Count(), 0);
  EXPECT_TRUE(RankGridRows(table).empty());
}

TEST(RankedModels, MultiModelStatisticsFileBothHeaders) {
  RankedModelTable table;
  table.models = {Model(1, 12.5, 2, "first"), Model(2, 11.0, 3, "second")};
  table.models[0].notes = "the simpler one";
  table.models[1].covarianceFile = kNoCovarianceFound;
  RankTable(table);
  const std::string pad(28, ' ');
  const std::string expected =
      "     2 < Number of models ranked\r\n"
      " Model     -nln[L] #Prms        AICc       dAICc      AIC Wt" + pad +
      "Algorithm file                           Covariance file  Notes>\r\n"
      "     1  1.1000E+01     3  2.2000E+01  0.0000E+00     0.81757  " + std::string(30, ' ') +
      "second.alg  " + std::string(16, ' ') + "No covariance file found  \r\n"
      "     2  1.2500E+01     2  2.5000E+01  3.0000E+00     0.18243  " + std::string(31, ' ') +
      "first.alg  " + std::string(31, ' ') + "first.cov  the simpler one\r\n";
  // n = 0: the criterion is 2(-ln L), so "second" leads with weight 1/(1 + e^-1.5).
  EXPECT_EQ(MultiModelStatisticsText(table, ""), expected);

  table.cHat = 2.0;
  RankTable(table);
  const std::string quasi = MultiModelStatisticsText(table, "AVERAGES\r\n");
  EXPECT_EQ(quasi.substr(0, quasi.find("\r\n") + 2),
            "     2 < Number of models ranked; C-hat for QAICc calculation: 2.000\r\n");
  EXPECT_NE(quasi.find(" Model     -nln[L] #Prms       QAICc      dQAICc     QAIC Wt" + pad +
                       "Algorithm file"),
            std::string::npos);
  EXPECT_NE(quasi.find("     1  1.1000E+01     3  1.1000E+01  0.0000E+00"), std::string::npos);
  EXPECT_EQ(quasi.substr(quasi.size() - 14), "\r\n\r\nAVERAGES\r\n");
}

TEST(ModelAveraging, HandComputedAveragesAndMissingGrid) {
  std::string reason;
  auto a = ReadCovarianceEstimates(CovarianceLines("model_a.cov"), 2, 2, reason);
  ASSERT_TRUE(a) << reason;
  auto b = ReadCovarianceEstimates(CovarianceLines("model_b.cov"), 2, 1, reason);
  ASSERT_TRUE(b) << reason;
  EXPECT_DOUBLE_EQ(a->values[1], 2.0);
  EXPECT_DOUBLE_EQ(a->se(2, 2), 0.02);
  EXPECT_DOUBLE_EQ(b->se(1, 2), 0.0);  // fixed in model b
  EXPECT_TRUE(b->gridMissing[3]);
  EXPECT_FALSE(a->gridMissing[3]);

  AveragedEstimates averaged = AverageEstimates({*a, *b}, {0.75, 0.25}, 1.0, 2);
  EXPECT_DOUBLE_EQ(averaged.values[1], 2.25);
  EXPECT_DOUBLE_EQ(averaged.values[2], 0.5);
  // 0.75 sqrt(0.1^2 + 0.25^2) + 0.25 sqrt(0.2^2 + 0.75^2)
  EXPECT_NEAR(averaged.se(1, 1), 0.3959958639707942, 1e-15);
  EXPECT_NEAR(averaged.se(1, 2), 0.015, 1e-15);
  // Grid 3 is missing in model b: -1 for every parameter.
  EXPECT_EQ(averaged.se(3, 1), -1.0);
  EXPECT_EQ(averaged.se(3, 2), -1.0);
  EXPECT_EQ(AveragingText(averaged),
            "Parameter estimates and their SEs resulting from averaging across all ranked models.\r\n"
            "Each model contributes to the reported averages according to its AIC Weight.\r\n"
            "SEs will report a value of -1 if any model is missing an estimate for SE.\r\n"
            "\r\n"
            "Parameter_#  Parameter_Value     SEs_Grid_#1     SEs_Grid_#2     SEs_Grid_#3\r\n"
            "          1       2.2500E+00      3.9600E-01      3.9600E-01     -1.0000E+00\r\n"
            "          2       5.0000E-01      1.5000E-02      1.5000E-02     -1.0000E+00\r\n");

  // C-hat inflates the conditional part: sqrt(2 * 0.02^2) for parameter 2.
  AveragedEstimates inflated = AverageEstimates({*a}, {1.0}, 2.0, 2);
  EXPECT_NEAR(inflated.se(1, 2), std::sqrt(2.0) * 0.02, 1e-15);
}

// Standard errors near the largest double: their squares would overflow,
// the averaged SE must not. Two models of equal estimates, weights 0.75 and
// 0.25: the average is 0.75 sqrt(cHat) SE_1 + 0.25 sqrt(cHat) SE_2. One
// beyond any double is reported as -1 (no reliable value), never "Infinity".
TEST(ModelAveraging, HugeStandardErrorsAverageWithoutOverflow) {
  CovarianceEstimates a, b;
  for (CovarianceEstimates* m : {&a, &b}) {
    m->values.Resize(1, 1, 3.0);
    m->se.Resize(1, kAveragingGrids, 1, 1, 0.1);
  }
  a.se(1, 1) = 1e200;
  b.se(1, 1) = 3e200;
  a.se(2, 1) = 1.5e308;
  b.se(2, 1) = 1.7e308;
  AveragedEstimates averaged = AverageEstimates({a, b}, {0.75, 0.25}, 2.0, 1);
  EXPECT_NEAR(averaged.se(1, 1) / (std::sqrt(2.0) * 1.5e200), 1.0, 1e-14);
  EXPECT_EQ(averaged.se(2, 1), -1.0);  // sqrt(2) x 1.5E+308 is no double
  EXPECT_NEAR(averaged.se(3, 1), std::sqrt(2.0) * 0.1, 1e-15);
  AveragedEstimates plain = AverageEstimates({a, b}, {0.75, 0.25}, 1.0, 1);
  EXPECT_NEAR(plain.se(2, 1) / (0.75 * 1.5e308 + 0.25 * 1.7e308), 1.0, 1e-14);
  const std::string text = AveragingText(averaged);
  EXPECT_NE(text.find("          1       3.0000E+00     2.1213E+200     -1.0000E+00      "
                      "1.4142E-01\r\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("Infinity"), std::string::npos);
}

TEST(ModelAveraging, BrokenFilesAreRefusedWhole) {
  std::string reason;
  EXPECT_FALSE(ReadCovarianceEstimates(CovarianceLines("truncated.cov"), 2, 2, reason));
  EXPECT_EQ(reason, "the file ends before line 23");
  EXPECT_FALSE(ReadCovarianceEstimates(CovarianceLines("not_a_number.cov"), 2, 2, reason));
  EXPECT_EQ(reason, "line 23 holds no standard error of grid 1 in columns 25-38");
  // A file for another parameter count has no value where one must stand.
  EXPECT_FALSE(ReadCovarianceEstimates(CovarianceLines("model_a.cov"), 3, 2, reason));

  // A file saved twice carries two header lines; the positions follow them.
  std::vector<std::string> twice = CovarianceLines("model_a.cov");
  twice.insert(twice.begin(), {"Originally saved with the file name: /tmp/again.cov", ""});
  auto again = ReadCovarianceEstimates(twice, 2, 2, reason);
  ASSERT_TRUE(again) << reason;
  EXPECT_DOUBLE_EQ(again->se(1, 1), 0.1);
}

TEST(ModelAveraging, CovarianceFileNamesAreCheckedBesideTheAlgorithmFile) {
  testing::TemporaryFolder folder("ranking_names");
  std::ofstream(folder.File("m.cov")) << "x\n";
  const std::string dir = folder.Path().string() + "/";
  std::string name = "m.cov";
  EXPECT_EQ(CheckCovFileName(name, CovarianceCheck::OnAdding, dir), dir + "m.cov");
  EXPECT_EQ(name, "m.cov");
  name = dir + "m.cov";  // a full path shows as its bare name
  EXPECT_TRUE(CheckCovFileName(name, CovarianceCheck::OnChange, ""));
  EXPECT_EQ(name, "m.cov");
  name = "other.cov";
  EXPECT_FALSE(CheckCovFileName(name, CovarianceCheck::OnAdding, dir));
  EXPECT_EQ(name, "No covariance file found");
  name = "other.cov";
  EXPECT_FALSE(CheckCovFileName(name, CovarianceCheck::OnChange, dir));
  EXPECT_EQ(name, "No such file exists");
  name = ".";  // a folder is no file
  EXPECT_FALSE(CheckCovFileName(name, CovarianceCheck::OnChange, dir));
  EXPECT_EQ(FolderOf("a/b\\c.alg"), "a/b\\");
  EXPECT_EQ(FolderOf("c.alg"), "");
}

}  // namespace
}  // namespace estimetrix
