// The results summary driven through MODEL with NF = -1 on the small combined
// data set: which questions are asked in which order, what refused answers
// do, the default summary of an all-zero vector, and the AICc rules.

#include "model/results_summary.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "engine/base/format.h"
#include "engine/state/report_views.h"
#include "tests/model/carapex_fixture.h"

namespace estimetrix {
namespace {

using testing::BothSetup;
using testing::CarapexHarness;

struct RecordedReports : ReportView {
  void ShowReport(ReportKind kind, const std::string& text) override {
    EXPECT_EQ(kind, ReportKind::Summary);
    last = text;
    ++shown;
  }
  std::string last;
  int shown = 0;
};

struct RecordedPlots : NullPlotView {
  void ShowXY(const XYPlot& plot) override { titles.push_back(plot.title); }
  std::vector<std::string> titles;
};

class ResultsSummaryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(h_.Initialize(BothSetup(false)));
    h_.steps.Fill(0.0);
    h_.steps[param::kMu0] = 0.1;
    h_.steps[param::kBeta0] = 0.1;
    h_.fuseCodes.Resize(1, h_.parameterCount, "~~");
  }
  void Fitted() {
    testing::SetBothStart(h_.values);
    h_.Evaluate(1);
  }
  std::string Summary() {
    SummaryContext context;
    context.reports = &reports_;
    context.plots = &plots_;
    context.algorithmFilePath = "small.alg";
    context.seed = 17;
    h_.model.SetSummaryContext(context);
    h_.Evaluate(-1);
    EXPECT_TRUE(h_.desktop.Failures().empty()) << h_.desktop.Failures().front();
    EXPECT_EQ(h_.desktop.PendingSteps(), 0u);
    return reports_.last;
  }
  static bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
  }

  CarapexHarness h_;
  RecordedReports reports_;
  RecordedPlots plots_;
};

TEST_F(ResultsSummaryTest, AnAllZeroVectorGivesTheWrittenAdviceWithoutAnyQuestion) {
  h_.desktop.ExpectMessage("Summary", Answer::Ok);
  const std::string text = Summary();
  ASSERT_EQ(h_.desktop.Transcript().size(), 1u);
  EXPECT_EQ(h_.desktop.Transcript()[0].text, "Summary complete");
  EXPECT_TRUE(Has(text, "This is a combined analysis of moult increment data and size frequency "
                        "data. The error distribution for the moult increments is Gaussian\n"));
  EXPECT_TRUE(Has(text, "The number of free (estimated) parameters is:    2\n"));
  EXPECT_TRUE(Has(text, "Note that not necessarily all 25 parameters are active"));
  for (int i = 1; i <= 25; ++i)
    EXPECT_TRUE(Has(text, "Parameter #" + FormatNumber(i, "00") + " estimate, step and link:"));
  EXPECT_FALSE(Has(text, "Summary statistics on proportions"));
  EXPECT_FALSE(Has(text, "Pearson deviates"));
  EXPECT_TRUE(plots_.titles.empty());
}

TEST_F(ResultsSummaryTest, WithoutRandomizationsNoFitQuestionIsAskedAndBadCountsAreAskedAgain) {
  Fitted();
  ScriptedDesktop& d = h_.desktop;
  d.ExpectMessage("Model results", Answer::No);
  d.ExpectInput("More randomizations improve the goodness-of-fit estimate", "-4");
  d.ExpectInput("More randomizations improve the goodness-of-fit estimate", "3000000000");
  d.ExpectInput("More randomizations improve the goodness-of-fit estimate", "");
  d.ExpectInput("Instar details", "1");
  d.ExpectMessage("Frequency Summary", Answer::Yes);
  d.ExpectMessage("Increment Summary", Answer::Yes);
  d.ExpectMessage("Predicted increments by instar", Answer::Yes);
  d.ExpectInput("Simulate random growth increments", "10001");
  d.ExpectInput("Simulate random growth increments", "-2");
  d.ExpectInput("Simulate random growth increments", "2");
  d.ExpectMessage("Summary", Answer::Ok);
  const std::string text = Summary();
  EXPECT_TRUE(Has(text, "As requested, frequency statistics are reported up to instar 1, then the "
                        "largest instar (7).\n"));
  EXPECT_TRUE(Has(text, "for instar 7 in series 1,"));
  EXPECT_FALSE(Has(text, "for instar 2 in series 1,"));
  EXPECT_TRUE(Has(text, "Size frequency results for series: 1\n"));
  EXPECT_TRUE(Has(text, "   Instar_7   Expd Freq\n"));
  // Per-instar increment columns: ", Predicted" / ", Increment" / ", Instar#" and
  // the number, each comma above the comma of the column below it.
  EXPECT_TRUE(Has(text, ", Instar#1 , Instar#2\n"));
  EXPECT_FALSE(Has(text, ",  Instar#"));
  const size_t third = text.find("Record,     Size,");
  ASSERT_NE(third, std::string::npos);
  const size_t second = text.rfind('\n', third - 2) + 1;
  const std::string h2 = text.substr(second, third - 1 - second);
  const std::string h3 = text.substr(third, text.find('\n', third) - third);
  const std::string row = text.substr(text.find('\n', third) + 1, h2.size());
  EXPECT_TRUE(h2.ends_with(", Increment, Increment")) << h2;
  for (size_t c = 0; c < h3.size(); ++c) {
    if (h3[c] != ',') continue;
    EXPECT_TRUE(h2[c] == ',' && row[c] == ',') << c;
  }
  EXPECT_TRUE(Has(text, "Simulated increment data :"));
  EXPECT_FALSE(Has(text, "Pearson deviates"));
  // The report was shown before the questions that followed its first part.
  EXPECT_GE(reports_.shown, 5);
}

TEST_F(ResultsSummaryTest, OneRandomizationGivesAnExactPAndTheSeedIsStated) {
  Fitted();
  ScriptedDesktop& d = h_.desktop;
  d.ExpectMessage("Model results", Answer::Yes);
  d.ExpectMessage("View plots?", Answer::Yes);
  d.ExpectMessage("View plots?", Answer::Yes);
  d.ExpectInput("More randomizations improve the goodness-of-fit estimate", "1");
  d.ExpectInput("Instar details", std::nullopt);
  d.ExpectMessage("Frequency Summary", Answer::No);
  d.ExpectMessage("Frequency goodness-of-fit", Answer::Yes);
  d.ExpectMessage("Increment Summary", Answer::No);
  d.ExpectMessage("Increment goodness-of-fit", Answer::Yes);
  d.ExpectInput("Simulate random growth increments", "0");
  d.ExpectMessage("Summary", Answer::Ok);
  const std::string text = Summary();
  EXPECT_EQ(plots_.titles, (std::vector<std::string>{"Increment data", "Increment data",
                                                      "Instar growth curve",
                                                      "Frequency data series # 1"}));
  EXPECT_TRUE(Has(text, "No frequency statistics by instar requested to be reported.\n"));
  EXPECT_TRUE(Has(text, "Goodness-of-fit diagnostic for frequency series 1\n"));
  size_t blocks = 0;
  for (size_t at = text.find("Simulated Pearson deviates> n: 1; "); at != std::string::npos;
       at = text.find("Simulated Pearson deviates> n: 1; ", at + 1))
    ++blocks;
  EXPECT_EQ(blocks, 2u);
  EXPECT_TRUE(Has(text, "Random seed for the randomizations and simulations: 17\n"));
  EXPECT_TRUE(Has(text, "; SE cumulative p[Pearson deviates]: 0.000"));
  EXPECT_FALSE(Has(text, "Simulated increment data :"));
}

// One crab at 20.5 mm, far beyond both instars (2.5 and 4.0 mm, SDs 0.6 and
// 0.78): the model predicts nobody in its cell, although the evaluation
// floors that prediction to 1E-6 (with a penalty). The frequency test must see
// the zero: warn, and leave the cell out rather than add a million to X.
TEST(ResultsSummaryFrequencyTest, ACrabWhereTheModelPredictsNobodyIsWarnedOfAndLeftOut) {
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / "estimetrix_far_crab_frequencies.dat";
  {
    std::ofstream out(file, std::ios::binary);
    out << "Midpoint,S1\r\n";
    const int counts[] = {1, 6, 16, 14, 9, 3, 1};
    for (int c = 1; c <= 21; ++c) {
      const int n = c <= 7 ? counts[c - 1] : c == 21 ? 1 : 0;
      out << RightJustify(FormatNumber(c - 0.5, "0.0"), 7) << ","
          << RightJustify(std::to_string(n), 5) << "\r\n";
    }
  }
  CarapexHarness h;
  CarapexSetup setup;
  setup.frequencyPath = file.string();
  setup.identifiedText = "2";
  ASSERT_TRUE(h.Initialize(setup));
  h.steps.Fill(0.0);
  h.steps[param::kMu0] = 0.1;
  h.fuseCodes.Resize(1, h.parameterCount, "~~");
  h.values[param::kMu0] = 1.0;
  h.values[param::kBeta0] = 1.5;
  h.values[param::kSigma1] = 0.6;
  h.values[param::kTau0] = 0.5;
  h.values[22] = 0.4;
  h.values[23] = -1.0;
  h.Evaluate(1);
  ASSERT_EQ(h.model.Best().PredictedFrequency(1, 21), 1e-6);  // the evaluation's floor

  ScriptedDesktop& d = h.desktop;
  d.ExpectMessage("Model results", Answer::No);
  d.ExpectInput("More randomizations improve the goodness-of-fit estimate", "30");
  d.ExpectInput("Instar details", std::nullopt);
  d.ExpectMessage("Frequency Summary", Answer::No);
  d.ExpectMessage("Frequency goodness-of-fit", Answer::Yes);
  d.ExpectMessage("Very unlikely observation(s)");
  d.ExpectMessage("Summary", Answer::Ok);
  RecordedReports reports;
  SummaryContext context;
  context.reports = &reports;
  context.seed = 5;
  h.model.SetSummaryContext(context);
  h.Evaluate(-1);
  std::filesystem::remove(file);
  EXPECT_TRUE(d.Failures().empty()) << d.Failures().front();
  EXPECT_EQ(d.PendingSteps(), 0u);
  const std::string& text = reports.last;
  const size_t at = text.find("Observed Pearson deviates>");
  ASSERT_NE(at, std::string::npos);
  // The other 50 crabs fit roughly: X is a few units, not 1,000,000.
  const double x = std::stod(text.substr(at + 26, 10));
  EXPECT_LT(x, 100.0);
  // The report's own table keeps the floored prediction.
  EXPECT_EQ(h.model.Best().PredictedFrequency(1, 21), 1e-6);
}

TEST(ResultsSummaryAicc, NeedsDegreesOfFreedomAndCountsBeyondSixteenBits) {
  EXPECT_EQ(AiccText(100.0, 5, 6), "Undefined (too few degrees of freedom)");
  EXPECT_EQ(AiccText(100.0, 5, 5), "Undefined (too few degrees of freedom)");
  EXPECT_EQ(AiccText(100.0, 2, 10), "1.0571E+02");  // 100 + 2*2*10/7
  ModelData data;
  data.TotalCount = 40000.0;
  data.IncrementRecordCount = 1200;
  EXPECT_EQ(SummarySampleSize(data), 41200);
}

}  // namespace
}  // namespace estimetrix
