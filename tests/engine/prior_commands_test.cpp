// The priors editor's family commands, its closing sequence and the chooser's
// buttons, as a user meets them through their dialogues.

#include "engine/commands/prior_commands.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "engine/bayesian/prior_editor.h"
#include "engine/bayesian/priors_file.h"
#include "engine/objective/objective.h"
#include "engine/state/workbench.h"
#include "platform/scripted_desktop.h"
#include "platform/text_file.h"
#include "tests/support/fake_menu_view.h"
#include "tests/support/quadratic_model.h"
#include "tests/support/temporary_folder.h"

namespace estimetrix {
namespace {

class PriorCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::InitializeQuadratic(wb, 3);
    testing::LoadQuadraticStart(wb);
  }

  std::string Failures() const {
    std::string text;
    for (const std::string& failure : desktop.Failures()) text += failure + "\n";
    return text;
  }
  // Every dialogue so far was scripted and every scripted one was reached.
  void ExpectScriptDone() {
    EXPECT_TRUE(desktop.Failures().empty()) << Failures();
    EXPECT_EQ(desktop.PendingSteps(), 0u);
  }
  const DialogRecord& Shown(size_t k) const { return desktop.Transcript().at(k); }
  const DialogRecord& Last() const { return desktop.Transcript().back(); }

  bool Set(int parameter, PriorType type, const std::vector<std::string>& answers,
           const std::string& title) {
    for (const std::string& answer : answers) desktop.ExpectInput(title, answer);
    return SetPriorFamily(wb, desktop, parameter, type);
  }

  Workbench wb;
  ScriptedDesktop desktop;
  testing::FakeMenuView menu;
};

TEST_F(PriorCommandsTest, EachFamilyAsksForItsTermsAndStoresThem) {
  const PriorTable& p = wb.priors;
  ASSERT_TRUE(Set(2, PriorType::N, {"2.5", "-0.5"}, "Gaussian (i.e., Normal)"));
  EXPECT_EQ(Shown(0).text, "Choose mean of parameter #2");
  EXPECT_EQ(Shown(1).text, "Choose SD of parameter #2");
  EXPECT_EQ(p.Type[2], PriorType::N);
  EXPECT_EQ(p.Term1[2], 2.5);
  EXPECT_EQ(p.Term2[2], 0.5);  // the SD is made positive
  EXPECT_EQ(p.Term3[2], "Unused");
  const PriorRowText row = PriorRow(p, 2);
  EXPECT_EQ(row.name, "Gaussian or Normal");
  EXPECT_EQ(row.terms[0], "2.500E+000");
  EXPECT_EQ(row.terms[1], "5.000E-001");
  EXPECT_EQ(row.terms[3], "Unused");

  ASSERT_TRUE(Set(1, PriorType::E, {"-4"}, "Exponential"));
  EXPECT_EQ(Last().text,
            "For the exponential distribution the instantaneous decay rate is equal to the "
            "reciprocal of both the mean and the SD\n\nChoose the mean (and thus SD) of "
            "parameter #1");
  EXPECT_EQ(p.Term1[1], 4.0);
  EXPECT_EQ(p.Term2[1], 4.0);

  ASSERT_TRUE(Set(3, PriorType::S, {"-2500", "-3"}, "Left-side cliff"));
  EXPECT_EQ(p.Term1[3], -2500.0);  // a foot is kept as typed
  EXPECT_EQ(p.Term2[3], 3.0);
  ASSERT_TRUE(Set(3, PriorType::D, {"7", "0"}, "Right-side cliff"));
  EXPECT_EQ(desktop.Transcript()[desktop.Transcript().size() - 2].text,
            "Choose right foot of parameter #3");
  EXPECT_EQ(p.Type[3], PriorType::D);
  EXPECT_EQ(p.Term2[3], 0.0);  // a sheer cliff

  ASSERT_TRUE(Set(3, PriorType::G, {"4", "2"}, "Gamma"));
  EXPECT_EQ(Last().text, "Choose SD (0 < SD < Mean) of parameter #3");
  ASSERT_TRUE(Set(3, PriorType::L, {"-3", "-1"}, "Ln-normal"));
  EXPECT_EQ(p.Term1[3], 3.0);
  EXPECT_EQ(p.Term2[3], 1.0);

  // Uniform-unbounded asks nothing and unsets the terms.
  const size_t shown = desktop.Transcript().size();
  ASSERT_TRUE(SetPriorFamily(wb, desktop, 3, PriorType::U));
  EXPECT_EQ(desktop.Transcript().size(), shown);
  EXPECT_EQ(PriorRow(p, 3).terms[0], "*");
  EXPECT_EQ(PriorRow(p, 3).terms[2], "Unused");
  ExpectScriptDone();
}

TEST_F(PriorCommandsTest, BoundedFamilyAsksAgainUntilTheRightFootExceedsTheLeft) {
  const std::string title = "Uniform-bounded";
  ASSERT_TRUE(Set(1, PriorType::T, {"10", "1", "5", "1", "0", "-1", "10", "-2"}, title));
  EXPECT_EQ(Shown(0).text, "Choose left foot of parameter #1");
  EXPECT_EQ(Shown(1).text, "Choose SD @ the left foot of parameter #1");
  EXPECT_EQ(Shown(2).text, "Choose right foot of parameter #1, it must exceed left foot.");
  EXPECT_EQ(Shown(3).text, "Choose SD @ the right foot of parameter #1");
  EXPECT_EQ(Shown(4).text, Shown(0).text);  // started again
  const PriorTable& p = wb.priors;
  EXPECT_EQ(p.Type[1], PriorType::T);
  EXPECT_EQ(p.Term1[1], 0.0);
  EXPECT_EQ(p.Term2[1], 1.0);
  const PriorRowText row = PriorRow(p, 1);
  EXPECT_EQ(row.terms[2], "1.000E+001");
  EXPECT_EQ(row.terms[3], "2.000E+000");
  // The right foot and its SD go to the file as numbers.
  EXPECT_NE(PriorsFileText(p).find("  1   T 0.000E+000 1.000E+000 1.000E+001 2.000E+000   "),
            std::string::npos)
      << PriorsFileText(p);
  ExpectScriptDone();
}

TEST_F(PriorCommandsTest, BetaBoxShowsItsShapesOrRefusesThem) {
  desktop.ExpectInput("Beta", "0.5");
  desktop.ExpectInput("Beta", "0.1");
  desktop.ExpectMessage("Beta");
  ASSERT_TRUE(SetPriorFamily(wb, desktop, 2, PriorType::B));
  EXPECT_EQ(Shown(0).text, "Choose mean (0 < mean < 1) of parameter #2");
  EXPECT_EQ(Last().text, "The corresponding values for 'a' & 'b' of \xC3\x9F (a,b) are: 12. & 12.");
  EXPECT_EQ(wb.priors.Type[2], PriorType::B);

  // An SD too wide for the mean gives a negative a: refused, nothing stored.
  desktop.ExpectInput("Beta", "0.3");
  desktop.ExpectInput("Beta", "0.6");
  desktop.ExpectMessage("Beta");
  EXPECT_FALSE(SetPriorFamily(wb, desktop, 1, PriorType::B));
  EXPECT_EQ(Last().text, "An unacceptable (< 0) value for 'a' of \xC3\x9F (a,b) is: -0.125");
  EXPECT_EQ(Last().icon, Icon::Exclamation);
  EXPECT_EQ(wb.priors.Type[1], PriorType::U);

  // A mean outside (0, 1) is refused with the rule.
  desktop.ExpectInput("Beta", "1.5");
  desktop.ExpectInput("Beta", "0.1");
  desktop.ExpectMessage("Beta");
  EXPECT_FALSE(SetPriorFamily(wb, desktop, 1, PriorType::B));
  EXPECT_NE(Last().text.find("mean between 0 and 1"), std::string::npos) << Last().text;
  EXPECT_EQ(wb.priors.Type[1], PriorType::U);
  ExpectScriptDone();
}

TEST_F(PriorCommandsTest, BadAnswersAreAskedAgainOrRefusedAndLeaveThePriorAlone) {
  ASSERT_TRUE(Set(2, PriorType::N, {"1", "0.5"}, "Gaussian (i.e., Normal)"));
  const PriorTable before = wb.priors;

  // A text that is no number is asked again; an empty answer ends the command.
  desktop.ExpectInput("Gaussian (i.e., Normal)", "two");
  desktop.ExpectMessage("Gaussian (i.e., Normal)");
  desktop.ExpectInput("Gaussian (i.e., Normal)", "2");
  desktop.ExpectInput("Gaussian (i.e., Normal)", "");
  EXPECT_FALSE(SetPriorFamily(wb, desktop, 2, PriorType::N));
  EXPECT_EQ(Shown(3).text, "\"two\" is not a number.\n\nPlease type a number.");
  EXPECT_EQ(Shown(4).text, "Choose mean of parameter #2");
  EXPECT_EQ(wb.priors.Term1, before.Term1);

  // Cancel on the second prompt of a bounded prior.
  desktop.ExpectInput("Uniform-bounded", "0");
  desktop.ExpectInput("Uniform-bounded", std::nullopt);
  EXPECT_FALSE(SetPriorFamily(wb, desktop, 2, PriorType::T));

  // Terms the arithmetic cannot take are refused with the rule, not kept.
  for (auto [type, title, answers] :
       std::vector<std::tuple<PriorType, std::string, std::vector<std::string>>>{
           {PriorType::N, "Gaussian (i.e., Normal)", {"1", "0"}},
           {PriorType::E, "Exponential", {"0"}},
           {PriorType::G, "Gamma", {"2", "3"}},
           {PriorType::G, "Gamma", {"-5", "-6"}},
           {PriorType::L, "Ln-normal", {"0", "1"}}}) {
    for (const std::string& answer : answers) desktop.ExpectInput(title, answer);
    desktop.ExpectMessage(title);
    EXPECT_FALSE(SetPriorFamily(wb, desktop, 2, type)) << title;
    EXPECT_EQ(Last().icon, Icon::Exclamation);
    EXPECT_NE(Last().text.find("The prior distribution was not changed."), std::string::npos);
    EXPECT_EQ(wb.priors.Type, before.Type) << title;
    EXPECT_EQ(wb.priors.Term1, before.Term1) << title;
    EXPECT_EQ(wb.priors.Term2, before.Term2) << title;
  }
  ExpectScriptDone();
}

TEST_F(PriorCommandsTest, ClosingTheEditorSetsTheScaleOfThePriorTerm) {
  // Every prior uniform: only the note, and priors off.
  wb.state.PriorsActive = true;
  menu.visible = false;
  desktop.ExpectMessage("Just so you know");
  ClosePriorsEditor(wb, desktop, menu, PriorsOrigin::MainMenu);
  EXPECT_FALSE(wb.state.PriorsActive);
  EXPECT_EQ(Last().text, "Bayesian priors data, if changed, have been updated");
  EXPECT_TRUE(menu.visible);

  // A prior and no observation count: the likelihood constant gives the scale.
  wb.priors.Type[1] = PriorType::N;
  wb.priors.Term1[1] = 0.0;
  wb.priors.Term2[1] = 1.0;
  menu.visible = false;
  desktop.ExpectMessage("Just so you know");
  desktop.ExpectMessage("Save Bayesian priors", Answer::No);
  desktop.ExpectInput("Enter constant", "0.5");
  ClosePriorsEditor(wb, desktop, menu, PriorsOrigin::Ranking);
  EXPECT_TRUE(wb.state.PriorsActive);
  EXPECT_DOUBLE_EQ(wb.covariance.LikelihoodScale, 2.0);
  EXPECT_FALSE(menu.visible);  // the ranking window takes control back itself
  ExpectScriptDone();

  // With an observation count: 2 x objective / (n - free - 1), from the
  // objective without the prior.
  auto& model = static_cast<testing::QuadraticModel&>(*wb.model);
  model.offset = 3.0;
  Vector values = wb.alg.Values;
  wb.state.PriorsActive = false;
  const double objective = EvaluateObjective(wb, values, 1);
  wb.state.ObservationCount = 20;
  desktop.ExpectMessage("Just so you know");
  desktop.ExpectMessage("Save Bayesian priors", Answer::No);
  ClosePriorsEditor(wb, desktop, menu, PriorsOrigin::MainMenu);
  EXPECT_DOUBLE_EQ(wb.covariance.LikelihoodScale, 2.0 * objective / (20 - 3 - 1));
  EXPECT_TRUE(wb.state.PriorsActive);

  // Too few observations: the message, and the scale as it was.
  wb.state.ObservationCount = 4;
  const double scale = wb.covariance.LikelihoodScale;
  desktop.ExpectMessage("Just so you know");
  desktop.ExpectMessage("Save Bayesian priors", Answer::No);
  desktop.ExpectMessage("Insufficient degrees of freedom");
  ClosePriorsEditor(wb, desktop, menu, PriorsOrigin::MainMenu);
  EXPECT_EQ(wb.covariance.LikelihoodScale, scale);
  ExpectScriptDone();
}

class RecordingPriorViews : public CommandViews {
 public:
  OneFunctionView& OneFunction() override { std::abort(); }
  SimplexView& Simplex() override { std::abort(); }
  MarquardtView& Marquardt() override { std::abort(); }
  CovarianceViews& Covariance() override { std::abort(); }
  ReportView& Reports() override { return reports; }
  void OpenPriorsChooser() override { ++choosersOpened; }

  struct Reports : ReportView {
    void ShowReport(ReportKind kind, const std::string& text) override {
      shown.emplace_back(kind, text);
    }
    std::vector<std::pair<ReportKind, std::string>> shown;
  } reports;
  int choosersOpened = 0;
};

TEST_F(PriorCommandsTest, TheChooserSetsResetsAndLoadsPriors) {
  RecordingPriorViews views;
  CommandContext ctx{wb, desktop, menu, views};
  wb.state.SimplexRetained = true;
  EXPECT_EQ(BayesianPriorsCommand(ctx), CommandOutcome::Done);
  EXPECT_EQ(views.choosersOpened, 1);
  EXPECT_TRUE(wb.state.PriorsActive);
  EXPECT_FALSE(wb.state.SimplexRetained);
  EXPECT_FALSE(menu.visible);  // back when the chooser closes

  // All uniform: the question; No keeps (and resets to) uniform priors.
  wb.priors.Term1[2] = 5.0;
  desktop.ExpectMessage("Setting Bayesian Priors", Answer::No);
  desktop.ExpectMessage("Default prior probabilities");
  EXPECT_EQ(SetOrResetPriors(wb, desktop), ChooserStep::Close);
  EXPECT_NE(Shown(0).text.find("uniform-unbounded is the default prior distribution when no "
                               "priors are specified."),
            std::string::npos);
  EXPECT_NE(Shown(0).text.find("Note that a priors file applies to all algorithm files "
                               "associated with the analysis."),
            std::string::npos);
  EXPECT_EQ(Last().text, "Prior probabilities have been set to default (uniform-unbounded) values");
  EXPECT_EQ(wb.priors.Term1[2], kUnsetValue);
  EXPECT_FALSE(wb.state.PriorsActive);

  // Yes opens the editor and names the priors file by the date and time.
  desktop.ExpectMessage("Setting Bayesian Priors", Answer::Yes);
  EXPECT_EQ(SetOrResetPriors(wb, desktop), ChooserStep::OpenEditor);
  EXPECT_EQ(wb.priors.PriorsFilePath, "12081435.pri");
  EXPECT_EQ(desktop.Status(StatusBar::Files, 2), "Bayesian priors file: 12081435");

  // With a prior set the editor opens at once; closing the chooser keeps priors on.
  wb.priors.Type[3] = PriorType::S;
  wb.priors.Term1[3] = 0.0;
  wb.priors.Term2[3] = 0.0;
  EXPECT_EQ(SetOrResetPriors(wb, desktop), ChooserStep::OpenEditor);
  ClosePriorsChooser(wb, menu, PriorsOrigin::MainMenu);
  EXPECT_TRUE(wb.state.PriorsActive);
  EXPECT_TRUE(menu.visible);

  // A saved table loads back, in force and weighted by the constant.
  testing::TemporaryFolder folder("prior_commands");
  const std::string path = folder.File("cliff.pri");
  std::string error;
  ASSERT_TRUE(SaveTextFileAtomically(path, ToCrLf(PriorsFileText(wb.priors)), error)) << error;
  desktop.ExpectMessage("Default prior probabilities");
  ResetPriorsToUniform(wb, desktop);
  EXPECT_FALSE(wb.state.PriorsActive);
  desktop.ExpectOpenFile("Load Bayesian Priors file", path);
  const std::optional<std::string> chosen = ChoosePriorsFile(wb, desktop);
  EXPECT_EQ(Last().text, "All files (*.*)|*.*|Bayesian priors files (*.pri)|*.pri");
  EXPECT_EQ(Last().filterIndex, 2);
  ASSERT_EQ(chosen, path);
  desktop.ExpectMessage("Bayes information");
  desktop.ExpectInput("Enter constant", "0.25");
  ASSERT_TRUE(LoadPriorsFile(wb, desktop, path));
  EXPECT_EQ(wb.priors.Type[3], PriorType::S);
  EXPECT_TRUE(wb.state.PriorsActive);
  EXPECT_DOUBLE_EQ(wb.covariance.LikelihoodScale, 4.0);

  // After a fit with priors in force the review opens; with priors off, nothing.
  ReviewPriorsAfterFit(ctx);
  ASSERT_EQ(views.reports.shown.size(), 1u);
  EXPECT_EQ(views.reports.shown[0].first, ReportKind::PriorReview);
  EXPECT_NE(views.reports.shown[0].second.find("Parameter   3 at"), std::string::npos)
      << views.reports.shown[0].second;
  wb.state.PriorsActive = false;
  ReviewPriorsAfterFit(ctx);
  EXPECT_EQ(views.reports.shown.size(), 1u);
  ExpectScriptDone();
}

}  // namespace
}  // namespace estimetrix
