#include "engine/bayesian/prior_profile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/state/report_views.h"
#include "engine/state/workbench.h"
#include "platform/scripted_desktop.h"

namespace estimetrix {
namespace {

const char* const kTitle = "Evaluation of prior distributions";

struct RecordingReports : ReportView {
  void ShowReport(ReportKind kind, const std::string& text) override {
    kinds.push_back(kind);
    texts.push_back(text);
  }
  std::vector<ReportKind> kinds;
  std::vector<std::string> texts;
};

struct RecordingPlots : NullPlotView {
  void ShowDistribution(const DistributionPlot& plot) override { shown.push_back(plot); }
  std::vector<DistributionPlot> shown;
};

Workbench ProfileBench(int n) {
  Workbench wb;
  wb.alg.ParameterCount = n;
  wb.alg.Values.Resize(1, n, 0.0);
  wb.alg.Descriptions.Resize(1, n, "");
  for (int i = 1; i <= n; ++i) wb.alg.Descriptions[i] = "Parameter " + std::to_string(i);
  wb.priors.Resize(n);
  return wb;
}

void SetProfilePrior(Workbench& wb, int i, PriorType type, double term1, double term2) {
  wb.priors.Type[i] = type;
  wb.priors.Term1[i] = term1;
  wb.priors.Term2[i] = term2;
}

// The explanation and the plot menu, then the parameter and point answers.
void ExpectRun(ScriptedDesktop& desktop, std::optional<std::string> parameter,
               std::optional<std::string> points) {
  desktop.ExpectMessage(kTitle, Answer::Ok);
  desktop.ExpectMessage(kTitle, Answer::Ok);
  desktop.ExpectInput(kTitle, std::move(parameter));
  if (points) desktop.ExpectInput(kTitle, std::move(points));
}

struct Views {
  RecordingReports reports;
  RecordingPlots plots;
};

TEST(ProfilePriorDistribution, GaussianDialogueGridPlotAndTable) {
  Workbench wb = ProfileBench(3);
  SetProfilePrior(wb, 2, PriorType::N, 2.0, 0.5);
  ScriptedDesktop desktop;
  ExpectRun(desktop, "2", "0");
  Views run;
  ASSERT_TRUE(ProfilePriorDistribution(wb, desktop, 2, run.reports, run.plots));
  EXPECT_TRUE(desktop.Failures().empty());
  EXPECT_EQ(desktop.PendingSteps(), 0u);

  const auto& t = desktop.Transcript();
  ASSERT_EQ(t.size(), 4u);
  EXPECT_EQ(t[0].buttons, Buttons::OkCancel);
  EXPECT_EQ(t[2].text, "Choose the parameter number to be profiled.\n(0 < parameter # <= 3)");
  EXPECT_EQ(t[2].defaultText, "2");
  EXPECT_EQ(t[3].defaultText, "101");

  // 0 points ask for 101, spanning the mean +- 5 SD with the mode in the middle.
  const DistributionPoints& p = wb.priorProfile;
  ASSERT_EQ(p.Count(), 101);
  EXPECT_DOUBLE_EQ(p.ProfileValues[1], -0.5);
  EXPECT_DOUBLE_EQ(p.ProfileValues[101], 4.5);
  EXPECT_EQ(p.BestPoint, 51);
  EXPECT_DOUBLE_EQ(p.MaxLikelihoodValue, 2.0);
  EXPECT_NEAR(p.ExpectedValue, 2.0, 1e-12);
  EXPECT_NEAR(p.StandardError, 0.5, 1e-4);
  ASSERT_EQ(run.plots.shown.size(), 1u);
  EXPECT_EQ(run.plots.shown[0].kind, DistributionKind::Prior);
  EXPECT_EQ(run.plots.shown[0].description, "Parameter 2");
  ASSERT_EQ(run.reports.kinds.size(), 1u);
  EXPECT_EQ(run.reports.kinds[0], ReportKind::PriorDistributions);
}

TEST(ProfilePriorDistribution, PointCountsAndAnswersThatAreAskedAgain) {
  for (const auto& [asked, points] : {std::pair{"100", 101}, {"1", 3}, {"2", 3}, {"7", 7}}) {
    Workbench wb = ProfileBench(1);
    SetProfilePrior(wb, 1, PriorType::S, 1.0, 0.2);
    ScriptedDesktop desktop;
    ExpectRun(desktop, "1", asked);
    Views run;
    ASSERT_TRUE(ProfilePriorDistribution(wb, desktop, 1, run.reports, run.plots)) << asked;
    EXPECT_EQ(wb.priorProfile.Count(), points) << asked;
    // A cliff's grid is centred on its foot and spans 3 SD each way.
    EXPECT_DOUBLE_EQ(wb.priorProfile.ProfileValues[1], 0.4) << asked;
    EXPECT_DOUBLE_EQ(wb.priorProfile.ProfileValues[points], 1.6) << asked;
  }

  // Text, out-of-range numbers and fractions are asked again with the same prompt.
  Workbench wb = ProfileBench(2);
  SetProfilePrior(wb, 2, PriorType::D, 0.0, 1.0);
  ScriptedDesktop desktop;
  desktop.ExpectMessage(kTitle, Answer::Ok);
  desktop.ExpectMessage(kTitle, Answer::Ok);
  for (const char* answer : {"two", "0", "3", "1.5", "2"}) desktop.ExpectInput(kTitle, answer);
  for (const char* answer : {"x", "1002", "-1", "5"}) desktop.ExpectInput(kTitle, answer);
  Views run;
  ASSERT_TRUE(ProfilePriorDistribution(wb, desktop, 9, run.reports, run.plots));
  EXPECT_EQ(desktop.Transcript()[2].defaultText, "1");  // no such row: parameter 1 offered
  EXPECT_EQ(desktop.PendingSteps(), 0u);
  EXPECT_EQ(wb.priorProfile.Count(), 5);
  EXPECT_EQ(wb.priorProfile.EvaluatedParameter, 2);
}

TEST(ProfilePriorDistribution, UniformPriorsEmptyAnswersAndCancelGoBack) {
  Workbench wb = ProfileBench(2);
  SetProfilePrior(wb, 2, PriorType::N, 0.0, 0.0);  // an SD of 0 cannot be profiled
  ScriptedDesktop desktop;
  ExpectRun(desktop, "1", std::nullopt);
  desktop.ExpectMessage(kTitle);  // nothing to plot for a uniform prior
  ExpectRun(desktop, "2", std::nullopt);
  desktop.ExpectMessage(kTitle);  // the problem, named
  ExpectRun(desktop, "", std::nullopt);
  desktop.ExpectMessage(kTitle, Answer::Cancel);
  Views run;
  EXPECT_FALSE(ProfilePriorDistribution(wb, desktop, 1, run.reports, run.plots));
  EXPECT_TRUE(desktop.Failures().empty());
  EXPECT_EQ(desktop.PendingSteps(), 0u);
  const auto& t = desktop.Transcript();
  EXPECT_EQ(t[3].text, "There is nothing to plot when the prior distribution is uniform-unbounded");
  EXPECT_EQ(t[3].icon, Icon::Exclamation);
  EXPECT_NE(t[7].text.find("parameter 2 has an SD of 0."), std::string::npos);
  EXPECT_TRUE(run.reports.kinds.empty());
  EXPECT_TRUE(run.plots.shown.empty());
  EXPECT_EQ(wb.priorProfile.Count(), 0);
}

TEST(ProfilePriorDistribution, DomainsOfTheBoundedFamilies) {
  // Beta: from 1E-6 to 0.999999.
  Workbench wb = ProfileBench(1);
  SetProfilePrior(wb, 1, PriorType::B, 0.3, 0.1);
  ScriptedDesktop desktop;
  ExpectRun(desktop, "1", "11");
  Views run;
  ASSERT_TRUE(ProfilePriorDistribution(wb, desktop, 1, run.reports, run.plots));
  EXPECT_EQ(wb.priorProfile.ProfileValues[1], 1e-6);
  EXPECT_EQ(wb.priorProfile.ProfileValues[11], 0.999999);
  EXPECT_DOUBLE_EQ(wb.priorProfile.ProfileValues[6], 0.5);

  // Gamma near 0: spread from 1E-6 to the mean + 5 SD, and the density over
  // that spread integrates to about 1 (the spacing used is the spread one).
  SetProfilePrior(wb, 1, PriorType::G, 1.0, 0.5);
  ExpectRun(desktop, "1", "201");
  ASSERT_TRUE(ProfilePriorDistribution(wb, desktop, 1, run.reports, run.plots));
  const DistributionPoints& g = wb.priorProfile;
  EXPECT_EQ(g.ProfileValues[1], 1e-6);
  EXPECT_NEAR(g.ProfileValues[201], 3.5 + 1e-6, 1e-12);
  EXPECT_NEAR(g.PointCumulative[201], 1.0, 1e-3);
  EXPECT_NEAR(g.ExpectedValue, 1.0, 1e-2);
  EXPECT_NEAR(g.MaxLikelihoodValue, 0.75, 0.02);  // mode (k - 1) theta = 3 x 0.25

  EXPECT_TRUE(desktop.Failures().empty());
}

TEST(PriorDistributionsText, ThreePointTableByteForByte) {
  // A Gaussian of mean 0 and SD 1 on three points: -5, 0 and 5 (h = 5).
  Workbench wb = ProfileBench(1);
  SetProfilePrior(wb, 1, PriorType::N, 0.0, 1.0);
  ScriptedDesktop desktop;
  ExpectRun(desktop, "1", "3");
  Views run;
  ASSERT_TRUE(ProfilePriorDistribution(wb, desktop, 1, run.reports, run.plots));
  // f = e^-12.5, 1, e^-12.5; area (4 + 2 e^-12.5) x 5/3; C1 = 5 f1 / area;
  // C2 = C1 + 5 / area; mean 0; SE sqrt((250/3) e^-12.5 / area) = 6.8252E-3,
  // so the reference density at 0 is 1 / (sqrt(2 pi) SE) = 58.452.
  EXPECT_EQ(run.reports.texts.at(0),
            "Bayesian prior distribution data\n"
            "\n"
            "  Point       Value         -ln[L]           PDF        Cumulative     Attenuated"
            "     Normal PDF\n"
            "    1    -5.0000E+000    1.2500E+001    5.5900E-007    2.7950E-006    1.0000E+000"
            "    0.0000E+000   \n"
            "    2     0.0000E+000    0.0000E+000    1.5000E-001    7.5000E-001    2.5000E-001"
            "    5.8452E+001   \n"
            "    3     5.0000E+000    1.2500E+001    5.5900E-007    1.0000E+000    0.0000E+000"
            "    0.0000E+000   \n"
            "\n"
            "Max Likelihood:  0.0000E+000   \n"
            "Expected Value:  0.0000E+000   \n"
            "Estimated Diff:  0.0000E+000   \n"
            "Percent Diff:   -1.0000E+000   \n"
            "Estimated SE:    6.8252E-003   \n");
}

}  // namespace
}  // namespace estimetrix
