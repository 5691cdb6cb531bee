// The ranking window's commands on a small quadratic model: adding models,
// C-hat, ranking, averaging from covariance files, saving, and the
// double-click edits, with every dialogue scripted.

#include "ranking/ranking_commands.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "engine/base/format.h"
#include "engine/state/workbench.h"
#include "platform/scripted_desktop.h"
#include "platform/text_file.h"
#include "tests/support/fake_menu_view.h"
#include "tests/support/quadratic_model.h"
#include "tests/support/temporary_folder.h"

namespace estimetrix {
namespace {

// A quadratic model that reports a sample size.
class SampledModel : public testing::QuadraticModel {
 public:
  using QuadraticModel::QuadraticModel;
  int sample = 0;

 protected:
  int SampleSize() const override { return sample; }
};

struct CountingView : RankingView {
  void Refresh(const RankingSession&) override { ++refreshes; }
  void FocusButton(RankButton button) override { focused = button; }
  void SetWindowVisible(bool visible) override { visibility.push_back(visible); }
  int refreshes = 0;
  RankButton focused = RankButton::Finish;
  std::vector<bool> visibility;
};

class RankingCommands : public ::testing::Test {
 protected:
  RankingCommands() {
    testing::InitializeQuadratic(wb, 2);
    wb.model = std::make_unique<SampledModel>(2, 1.0);
    testing::LoadQuadraticStart(wb);
  }

  SampledModel& Model() { return static_cast<SampledModel&>(*wb.model); }

  // Sets the values and steps, names the algorithm file and adds the model.
  CommandOutcome Add(const std::string& name, double x1, double x2, double step2 = 0.1) {
    wb.alg.Values[1] = x1;
    wb.alg.Values[2] = x2;
    wb.alg.Steps[1] = 0.1;
    wb.alg.Steps[2] = step2;
    wb.alg.AlgorithmFilePath = folder.File(name + ".alg");
    if (session.table.Count() == 0) desktop.ExpectInput("Enter constant", "0.5");
    return AddModelCommand(ctx);
  }

  void CopyCovariance(const std::string& from, const std::string& to) {
    std::filesystem::copy_file(std::string(ESTIMETRIX_TEST_DATA) + "/ranking/" + from,
                               folder.File(to));
  }

  std::string Failures() const {
    std::string text;
    for (const std::string& failure : desktop.Failures()) text += failure + "\n";
    return text;
  }

  testing::TemporaryFolder folder{"ranking_commands"};
  Workbench wb;
  ScriptedDesktop desktop;
  testing::FakeMenuView menu;
  RankingSession session;
  CountingView view;
  RankingContext ctx{wb, desktop, menu, session, view};
};

TEST_F(RankingCommands, AddingModelsComputesTheirCriteriaAndTheButtonRules) {
  Model().sample = 30;
  // Objective 1 + (x1 - 1)^2 + (x2 - 2)^2 = 2 at (2, 2); -ln L = 1.
  EXPECT_EQ(Add("one", 2.0, 2.0), CommandOutcome::Done);
  EXPECT_EQ(view.visibility, (std::vector<bool>{false, true}));  // hidden for the constant
  const RankedModel& first = session.table.models[0];
  EXPECT_DOUBLE_EQ(first.negLnL, 1.0);
  EXPECT_EQ(first.K, 2);
  EXPECT_EQ(first.n, 30);
  EXPECT_EQ(first.algorithmFile, "one.alg");
  EXPECT_EQ(first.covarianceFile, "No covariance file found");
  EXPECT_EQ(first.priorsFile, "No Priors loaded");
  EXPECT_DOUBLE_EQ(*session.table.Criterion(first), 2.0 * 2 * 30 / 27.0 + 2.0);
  EXPECT_FALSE(session.rankEnabled);
  EXPECT_EQ(view.focused, RankButton::LoadAlg);
  EXPECT_EQ(desktop.Status(StatusBar::Progress, 1), "");

  CopyCovariance("model_a.cov", "two.cov");
  EXPECT_EQ(Add("two", 1.0, 2.0, 0.0), CommandOutcome::Done);  // the constant is asked once
  EXPECT_EQ(session.table.models[1].K, 1);
  EXPECT_EQ(session.table.models[1].covarianceFile, "two.cov");
  EXPECT_TRUE(session.rankEnabled);
  EXPECT_FALSE(session.saveEnabled);
  EXPECT_FALSE(session.averageEnabled);
  EXPECT_TRUE(desktop.Failures().empty()) << Failures();
  EXPECT_EQ(desktop.PendingSteps(), 0u);
}

TEST_F(RankingCommands, RefusalsLeaveTheTableAsItWas) {
  // No file name yet.
  wb.alg.AlgorithmFilePath.clear();
  desktop.ExpectMessage("Calculate model AICc");
  EXPECT_EQ(AddModelCommand(ctx), CommandOutcome::Refused);
  EXPECT_EQ(desktop.Transcript().back().text,
            "Save the algorithm data to a file before adding the model");
  EXPECT_EQ(session.table.Count(), 0);

  // Cancelling the constant adds nothing.
  wb.alg.AlgorithmFilePath = folder.File("m.alg");
  desktop.ExpectInput("Enter constant", std::nullopt);
  EXPECT_EQ(AddModelCommand(ctx), CommandOutcome::Cancelled);
  EXPECT_EQ(session.table.Count(), 0);

  // The 100th model.
  ASSERT_EQ(Add("m", 1.0, 1.0), CommandOutcome::Done);
  for (int i = 2; i <= kMaxRankedModels; ++i) ASSERT_EQ(AddModelCommand(ctx), CommandOutcome::Done);
  desktop.ExpectMessage("Model limit reached");
  EXPECT_EQ(AddModelCommand(ctx), CommandOutcome::Refused);
  EXPECT_EQ(desktop.Transcript().back().text, "Sorry, no more than 99 models can be ranked");
  EXPECT_EQ(session.table.Count(), 99);
  EXPECT_EQ(RankGridRows(session.table).back().cells[kLabelColumn], " 99)  99");
  EXPECT_TRUE(desktop.Failures().empty()) << Failures();
}

TEST_F(RankingCommands, UndefinedCriterionIsListedButNotRanked) {
  Model().sample = 3;  // n - K - 1 = 0 with two free parameters
  ASSERT_EQ(Add("loose", 1.0, 2.0, 0.0), CommandOutcome::Done);
  desktop.ExpectMessage("Calculate model AICc");
  ASSERT_EQ(Add("tight", 1.0, 2.0), CommandOutcome::Done);
  EXPECT_EQ(RankGridRows(session.table)[1].cells[kCriterionColumn], "undefined");
  desktop.ExpectMessage("Rank competing models");
  ASSERT_EQ(RankModelsCommand(ctx), CommandOutcome::Done);
  EXPECT_NE(desktop.Transcript().back().text.find("Model 2 (entry order) has an undefined AICc"),
            std::string::npos);
  EXPECT_EQ(session.table.models[session.table.order[0].model].algorithmFile, "loose.alg");
  EXPECT_DOUBLE_EQ(*session.table.order[0].weight, 1.0);
  EXPECT_TRUE(desktop.Failures().empty()) << Failures();
}

// With every criterion undefined no model has a weight: averaging says so
// instead of blaming a covariance file.
TEST_F(RankingCommands, AveragingWithoutAnyWeightSaysWhy) {
  Model().sample = 3;
  CopyCovariance("model_a.cov", "a.cov");
  CopyCovariance("model_a.cov", "b.cov");
  // The first model: its likelihood constant, then the undefined AICc.
  wb.alg.AlgorithmFilePath = folder.File("a.alg");
  desktop.ExpectInput("Enter constant", "0.5");
  desktop.ExpectMessage("Calculate model AICc");
  ASSERT_EQ(AddModelCommand(ctx), CommandOutcome::Done);
  desktop.ExpectMessage("Calculate model AICc");
  ASSERT_EQ(Add("b", 1.0, 2.0), CommandOutcome::Done);
  desktop.ExpectMessage("Rank competing models");
  ASSERT_EQ(RankModelsCommand(ctx), CommandOutcome::Done);
  EXPECT_FALSE(session.averageEnabled);
  EXPECT_EQ(FindAveragingObstacle(session.table), AveragingObstacle::NoWeights);
  desktop.ExpectMessage("Can't average models");
  EXPECT_EQ(AverageModelsCommand(ctx), CommandOutcome::Refused);
  EXPECT_EQ(desktop.Transcript().back().text,
            "No averages can be made: every AICc is undefined (sample size less free parameters "
            "less 1 is 0), so no model has a weight.");
  EXPECT_TRUE(desktop.Failures().empty()) << Failures();
}

TEST_F(RankingCommands, CHatSwitchesToQuasiCriteriaAndBack) {
  ASSERT_EQ(Add("a", 2.0, 2.0), CommandOutcome::Done);
  ASSERT_EQ(Add("b", 1.0, 2.0), CommandOutcome::Done);
  ASSERT_EQ(RankModelsCommand(ctx), CommandOutcome::Done);
  EXPECT_TRUE(session.saveEnabled);
  const std::string before = RankGridRows(session.table)[0].cells[kCriterionColumn];

  // A value below 1 and a non-number are asked for again.
  desktop.ExpectInput("Overdispersion correction", "0.5");
  desktop.ExpectInput("Overdispersion correction", "abc");
  desktop.ExpectInput("Overdispersion correction", "2");
  ASSERT_EQ(SetOverdispersionCommand(ctx), CommandOutcome::Done);
  EXPECT_EQ(desktop.Transcript().back().defaultText, "1");
  EXPECT_EQ(RankGridHeaders(session.table)[kCriterionColumn], "QAICc");
  EXPECT_FALSE(session.table.ranked);
  EXPECT_FALSE(session.saveEnabled);
  EXPECT_EQ(RankGridRows(session.table)[1].cells[kCriterionColumn], "5.0000E-01");

  // An empty answer counts as 1: the AICc figures come back.
  desktop.ExpectInput("Overdispersion correction", "");
  ASSERT_EQ(SetOverdispersionCommand(ctx), CommandOutcome::Done);
  EXPECT_EQ(RankGridHeaders(session.table)[kCriterionColumn], "AICc");
  ASSERT_EQ(RankModelsCommand(ctx), CommandOutcome::Done);
  EXPECT_EQ(RankGridRows(session.table)[0].cells[kCriterionColumn], before);
  EXPECT_TRUE(desktop.Failures().empty()) << Failures();
}

TEST_F(RankingCommands, AveragingReadsEachCovarianceFileAndSavesTheStatistics) {
  CopyCovariance("model_a.cov", "a.cov");
  CopyCovariance("model_b.cov", "b.cov");
  ASSERT_EQ(Add("a", 2.0, 2.0), CommandOutcome::Done);        // criterion 2
  ASSERT_EQ(Add("b", 1.0, 2.0, 0.0), CommandOutcome::Done);   // criterion 1
  ASSERT_EQ(RankModelsCommand(ctx), CommandOutcome::Done);
  ASSERT_TRUE(session.averageEnabled);
  ASSERT_EQ(AverageModelsCommand(ctx), CommandOutcome::Done);
  EXPECT_EQ(view.focused, RankButton::AddModel);
  const double wb_ = 1.0 / (1.0 + std::exp(-0.5));  // model b leads
  const double mean = wb_ * 3.0 + (1.0 - wb_) * 2.0;
  const std::string text = session.averagingText;
  EXPECT_NE(text.find("          1" + RightJustify(FormatNumber(mean, "0.0000E+00"), 17)),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("     -1.0000E+00\r\n          2       5.0000E-01"), std::string::npos)
      << text;

  // Save: the proposal is the date-time name, then the last file saved.
  desktop.ExpectSaveFile("Save model ranking results in...", folder.File("ranks.mms"));
  ASSERT_EQ(SaveRanksCommand(ctx), CommandOutcome::Done);
  EXPECT_EQ(desktop.Transcript().back().defaultText, "12081435.mms");
  EXPECT_EQ(desktop.Transcript().back().text,
            "Multi-model statistics files (*.mms)|*.mms|All files (*.*)|*.*|");
  std::string error;
  auto lines = ReadTextLines(folder.File("ranks.mms"), error);
  ASSERT_TRUE(lines) << error;
  EXPECT_EQ((*lines)[0], "     2 < Number of models ranked");
  EXPECT_EQ((*lines)[2].substr(0, 6), "     1");
  EXPECT_NE((*lines)[2].find("b.alg"), std::string::npos);
  EXPECT_EQ((*lines)[4], "");
  EXPECT_EQ((*lines)[5].rfind("Parameter estimates and their SEs", 0), 0u);

  // Finishing a ranked exercise offers to save; No leaves for the menu.
  desktop.ExpectMessage("What about ranking results!", Answer::No);
  wb.state.RankingOpen = true;
  menu.visible = false;
  ASSERT_EQ(FinishRanking(ctx), CommandOutcome::Done);
  EXPECT_EQ(desktop.Transcript().back().defaultButton, 2);
  EXPECT_FALSE(wb.state.RankingOpen);
  EXPECT_TRUE(menu.visible);
  EXPECT_TRUE(menu.applicationMenuEnabled);
  EXPECT_TRUE(desktop.Failures().empty()) << Failures();
}

TEST_F(RankingCommands, AveragingRefusesMissingOrBrokenCovarianceFiles) {
  CopyCovariance("model_a.cov", "a.cov");
  CopyCovariance("truncated.cov", "broken.cov");
  ASSERT_EQ(Add("a", 2.0, 2.0), CommandOutcome::Done);
  ASSERT_EQ(Add("c", 1.0, 2.0), CommandOutcome::Done);  // no c.cov
  ASSERT_EQ(RankModelsCommand(ctx), CommandOutcome::Done);
  EXPECT_FALSE(session.averageEnabled);
  desktop.ExpectMessage("Can't average models");
  EXPECT_EQ(AverageModelsCommand(ctx), CommandOutcome::Refused);
  EXPECT_EQ(desktop.Transcript().back().text,
            "Sorry, the covariance file is missing for at least one ranked model");

  // Double-click the covariance cell of c (ranked first) and name the broken file.
  desktop.ExpectInput("Choose an associated covariance file", "nowhere.cov");
  ASSERT_EQ(GridDoubleClick(ctx, 0, kCovarianceColumn), CommandOutcome::Done);
  EXPECT_EQ(session.table.models[1].covarianceFile, "No such file exists");
  desktop.ExpectInput("Choose an associated covariance file", "broken.cov");
  ASSERT_EQ(GridDoubleClick(ctx, 0, kCovarianceColumn), CommandOutcome::Done);
  EXPECT_EQ(desktop.Transcript().back().defaultText, "No such file exists");
  EXPECT_EQ(session.table.models[1].covarianceFile, "broken.cov");
  EXPECT_TRUE(session.averageEnabled);
  desktop.ExpectMessage("Can't average models");
  EXPECT_EQ(AverageModelsCommand(ctx), CommandOutcome::Failed);
  EXPECT_EQ(desktop.Transcript().back().text,
            "The covariance file broken.cov of model 2 (c.alg) cannot be read: the file ends "
            "before line 23.\n\nNo averages were calculated.");
  EXPECT_TRUE(session.averagingText.empty());

  // Notes, then deleting both models leaves an empty table.
  desktop.ExpectInput("Model notes", "nested in a");
  ASSERT_EQ(GridDoubleClick(ctx, 1, kNotesColumn), CommandOutcome::Done);
  EXPECT_EQ(desktop.Transcript().back().defaultText, "Add your notation here");
  EXPECT_EQ(session.table.models[0].notes, "nested in a");
  ASSERT_EQ(GridDoubleClick(ctx, 0, kLabelColumn), CommandOutcome::Done);
  EXPECT_FALSE(session.rankEnabled);
  ASSERT_EQ(GridDoubleClick(ctx, 0, kLabelColumn), CommandOutcome::Done);
  EXPECT_EQ(session.table.Count(), 0);
  EXPECT_EQ(GridDoubleClick(ctx, 0, kLabelColumn), CommandOutcome::NothingToDo);
  // Unranked, closing asks nothing.
  EXPECT_EQ(FinishRanking(ctx), CommandOutcome::Done);
  EXPECT_TRUE(desktop.Failures().empty()) << Failures();
  EXPECT_EQ(desktop.PendingSteps(), 0u);
}

}  // namespace
}  // namespace estimetrix
