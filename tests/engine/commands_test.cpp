// The main menu's commands as the menu form and the runner run them: what
// each outcome a user can reach leaves in the data, in the dialogue and on the
// menu's buttons.

#include "engine/commands/commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/base/format.h"
#include "engine/covariance/covariance.h"
#include "engine/minimizers/marquardt.h"
#include "engine/minimizers/simplex.h"
#include "engine/objective/objective.h"
#include "engine/state/workbench.h"
#include "platform/scripted_desktop.h"
#include "platform/text_file.h"
#include "tests/support/fake_menu_view.h"
#include "tests/support/quadratic_model.h"
#include "tests/support/recording_marquardt_view.h"
#include "tests/support/silent_views.h"
#include "tests/support/temporary_folder.h"
#include "tests/support/test_data.h"

namespace estimetrix {
namespace {

using testing::TestDataFile;

const std::string kAlgReaderTitle = "Algorithm file - information input failed";

// Windowless views that note what a command asked of its windows.
class NotingViews : public CommandViews {
 public:
  OneFunctionView& OneFunction() override { return oneFunction_; }
  SimplexView& Simplex() override { return simplex_; }
  MarquardtView& Marquardt() override { return marquardt; }
  CovarianceViews& Covariance() override { return covariance_; }
  void OpenModelSetup() override { events.push_back("set-up form"); }
  void OpenAlgorithmEditor() override { events.push_back("editor"); }
  void ComputationRunning(MenuButton, bool running) override {
    events.push_back(running ? "running" : "ended");
  }
  void Finished(MenuButton, double objective) override { finished.push_back(objective); }

  std::vector<std::string> events;
  std::vector<double> finished;
  testing::RecordingMarquardtView marquardt;

 private:
  testing::SilentOneFunctionView oneFunction_;
  SilentSimplexView simplex_;
  testing::SilentCovarianceViews covariance_;
};

const std::vector<MenuButton> kTwelve(std::begin(kTwelveButtons), std::end(kTwelveButtons));
const std::vector<MenuButton> kInitializeAndLoadAlg = {MenuButton::Initialize, MenuButton::LoadAlg};

// Buttons enabled on any menu, in the menu's order (Quit left out).
std::vector<MenuButton> EnabledOn(const MenuView& menu) {
  std::vector<MenuButton> enabled;
  for (MenuButton button : kTwelveButtons)
    if (menu.ButtonEnabled(button)) enabled.push_back(button);
  return enabled;
}

std::string Failures(const ScriptedDesktop& desktop) {
  std::string text;
  for (const std::string& failure : desktop.Failures()) text += failure + "\n";
  return text;
}

// A quadratic model of three parameters (centres 1, 2, 3) with whole
// algorithm data: values 0.5, 1, 1.5 and steps 0.1, the menu fully enabled.
class CommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::InitializeQuadratic(wb, 3);
    testing::LoadQuadraticStart(wb);
    menu.SetTwelveEnabled(true);
  }

  CommandOutcome Run(MenuButton button, MenuView& on) {
    CommandContext ctx{wb, desktop, on, views};
    return RunMenuCommand(button, ctx);
  }
  CommandOutcome Run(MenuButton button) { return Run(button, menu); }

  testing::QuadraticModel& Model() { return static_cast<testing::QuadraticModel&>(*wb.model); }
  double ObjectiveAt(const Vector& values) {
    return testing::QuadraticObjective(Model().centre, Model().weight, Model().offset, values);
  }

  // The menu is back after a minimizer: shown, the Application menu usable
  // and every one of the twelve buttons enabled.
  void ExpectMenuBack() {
    EXPECT_TRUE(menu.visible);
    EXPECT_TRUE(menu.applicationMenuEnabled);
    EXPECT_EQ(menu.Enabled(), kTwelve);
  }

  void ExpectLoad(const std::string& path) {
    desktop.ExpectMessage("Load algorithm data", Answer::Yes);
    desktop.ExpectOpenFile("Open algorithm data file", path);
  }

  Workbench wb;
  ScriptedDesktop desktop;
  testing::FakeMenuView menu;
  NotingViews views;
};

TEST_F(CommandsTest, ALoadedFileIsMinimizedAndTheMenuComesBackWhole) {
  menu.SetTwelveEnabled(false);
  menu.SetEnabled({MenuButton::Initialize, MenuButton::LoadAlg}, true);
  const std::string path = TestDataFile("alg", "hand_written.alg");
  ExpectLoad(path);
  EXPECT_EQ(Run(MenuButton::LoadAlg), CommandOutcome::Done);
  EXPECT_EQ(menu.Enabled(), kTwelve);
  EXPECT_EQ(wb.alg.AlgorithmFilePath, path);
  EXPECT_EQ(desktop.Status(StatusBar::Files, 1), "Algorithm file: " + path);
  EXPECT_EQ(wb.alg.Values[1], 1.5);

  // Parameter 2 follows parameter 1 (fuse code AB), and the model sees it
  // so; 1 and 3 are free.
  auto followed = [](Vector values) {
    values[2] = values[1];
    return values;
  };
  const double start = ObjectiveAt(followed(wb.alg.Values));
  desktop.ExpectMessage("Simplex minimum");
  EXPECT_EQ(Run(MenuButton::Simplex), CommandOutcome::Done);
  ASSERT_TRUE(desktop.Failures().empty()) << Failures(desktop);
  ExpectMenuBack();
  EXPECT_EQ(views.events, (std::vector<std::string>{"running", "ended"}));
  ASSERT_EQ(views.finished.size(), 1u);
  EXPECT_LT(views.finished[0], start);
  EXPECT_EQ(views.finished[0], ObjectiveAt(followed(wb.alg.Values)));
  EXPECT_NEAR(wb.alg.Values[1], 1.5, 1E-2);  // halfway between the centres 1 and 2
  EXPECT_NEAR(wb.alg.Values[3], 3.0, 1E-2);
  EXPECT_FALSE(wb.state.CovarianceCurrent);
}

TEST_F(CommandsTest, NoFreeParameterIsNothingToDoForEitherMinimizer) {
  wb.alg.Steps.Fill(0.0);
  const Vector before = wb.alg.Values;
  for (MenuButton minimizer : {MenuButton::Simplex, MenuButton::Marquardt}) {
    if (minimizer == MenuButton::Marquardt) {
      // Numerical derivatives, acknowledged, no derivative display.
      desktop.ExpectMessage("Marquardt minimization", Answer::No);
      desktop.ExpectMessage("Marquardt minimization", Answer::Ok);
      desktop.ExpectMessage("Marquardt minimization", Answer::No);
    }
    desktop.ExpectMessage("There is nothing to do!");
    menu.SetTwelveEnabled(false);
    EXPECT_EQ(Run(minimizer), CommandOutcome::NothingToDo);
    ASSERT_TRUE(desktop.Failures().empty()) << Failures(desktop);
    EXPECT_EQ(desktop.Transcript().back().text, "All step sizes are zero");
    EXPECT_EQ(desktop.Transcript().back().icon, Icon::Exclamation);
    ExpectMenuBack();
  }
  EXPECT_EQ(wb.alg.Values, before);
  EXPECT_TRUE(Model().flagsSeen.empty());
  EXPECT_TRUE(views.events.empty());
}

TEST_F(CommandsTest, RefusedCommandsSaySoAndRunNothing) {
  // 1E20 + 1 is 1E20: no vertex of the simplex would differ from the start.
  wb.alg.Values[1] = 1E20;
  wb.alg.Steps[1] = 1.0;
  const Vector before = wb.alg.Values;
  desktop.ExpectMessage("Simplex minimization");
  EXPECT_EQ(Run(MenuButton::Simplex), CommandOutcome::Refused);
  ASSERT_TRUE(desktop.Failures().empty()) << Failures(desktop);
  const std::string& text = desktop.Transcript().back().text;
  EXPECT_EQ(text.rfind("Parameter # 1 (Quadratic term 1): the step size 1 is too small for its "
                       "value 1E+20",
                       0),
            0u)
      << text;
  EXPECT_EQ(text.find("Parameter # 2"), std::string::npos) << text;
  EXPECT_NE(text.find("before minimizing."), std::string::npos) << text;
  EXPECT_EQ(wb.alg.Values, before);
  EXPECT_TRUE(Model().flagsSeen.empty());
  EXPECT_TRUE(views.events.empty());
  ExpectMenuBack();

  // The priors chooser opens in place of the menu, with priors in force.
  const size_t dialogues = desktop.Transcript().size();
  EXPECT_EQ(Run(MenuButton::Bayesian), CommandOutcome::Done);
  EXPECT_TRUE(wb.state.PriorsActive);
  EXPECT_EQ(desktop.Transcript().size(), dialogues);
  ASSERT_TRUE(desktop.Failures().empty()) << Failures(desktop);
}

TEST_F(CommandsTest, CancellingAQuestionChangesNothing) {
  const AlgorithmData before = wb.alg;
  desktop.ExpectMessage("Load algorithm data", Answer::Cancel);
  EXPECT_EQ(Run(MenuButton::LoadAlg), CommandOutcome::Cancelled);
  desktop.ExpectMessage("Load algorithm data", Answer::Yes);
  desktop.ExpectOpenFile("Open algorithm data file", std::nullopt);
  EXPECT_EQ(Run(MenuButton::LoadAlg), CommandOutcome::Cancelled);
  EXPECT_EQ(wb.alg.Values, before.Values);
  EXPECT_EQ(wb.alg.AlgorithmFilePath, before.AlgorithmFilePath);
  EXPECT_EQ(menu.Enabled(), kTwelve);

  desktop.ExpectMessage("Marquardt minimization", Answer::Cancel);
  EXPECT_EQ(Run(MenuButton::Marquardt), CommandOutcome::Cancelled);
  ASSERT_TRUE(desktop.Failures().empty()) << Failures(desktop);
  EXPECT_EQ(desktop.PendingSteps(), 0u);
  EXPECT_EQ(wb.state.MarquardtDerivatives, DerivativeChoice::None);
  EXPECT_TRUE(Model().flagsSeen.empty());
  EXPECT_EQ(views.marquardt.showCount, 0);
  EXPECT_TRUE(views.events.empty());
  EXPECT_EQ(wb.alg.Values, before.Values);
  ExpectMenuBack();
}

// A read that fails after the count has put part of the file into the data:
// nothing may use them, whatever shows the menu again, until a whole load,
// the default values or a new initialisation replaces them.
TEST_F(CommandsTest, APartlyReadFileLeavesOnlyLoadAndInitializeUntilReplaced) {
  MenuState state(wb);
  state.ShowMenu();
  ASSERT_EQ(EnabledOn(state), kTwelve);

  auto loadBroken = [&](const std::string& name, const std::string& detail) {
    ExpectLoad(TestDataFile("alg", name));
    desktop.ExpectMessage(kAlgReaderTitle);
    EXPECT_EQ(Run(MenuButton::LoadAlg, state), CommandOutcome::Failed) << name;
    EXPECT_NE(desktop.Transcript().back().text.find(detail), std::string::npos)
        << desktop.Transcript().back().text;
    EXPECT_TRUE(wb.alg.PartlyRead) << name;
    EXPECT_EQ(EnabledOn(state), kInitializeAndLoadAlg) << name;
    state.ShowMenu();
    EXPECT_EQ(EnabledOn(state), kInitializeAndLoadAlg) << name;
  };

  loadBroken("bad_value.alg",
             "Line 3, columns 1-14 (value of parameter 2): \"abc\" is not a number.");
  EXPECT_EQ(wb.alg.Values[1], 1.5);  // what came before the bad line stays

  // A file refused before anything was taken from it keeps the data as broken as they were.
  ExpectLoad(TestDataFile("alg", "twelve_parameters.alg"));
  desktop.ExpectMessage(kAlgReaderTitle);
  EXPECT_EQ(Run(MenuButton::LoadAlg, state), CommandOutcome::Refused);
  EXPECT_EQ(EnabledOn(state), kInitializeAndLoadAlg);
  state.ShowMenu();
  EXPECT_EQ(EnabledOn(state), kInitializeAndLoadAlg);

  ExpectLoad(TestDataFile("alg", "hand_written.alg"));
  EXPECT_EQ(Run(MenuButton::LoadAlg, state), CommandOutcome::Done);
  EXPECT_FALSE(wb.alg.PartlyRead);
  EXPECT_EQ(EnabledOn(state), kTwelve);
  state.ShowMenu();
  EXPECT_EQ(EnabledOn(state), kTwelve);

  loadBroken("too_few_lines.alg",
             "Line 4 (value, step size and fuse code of parameter 3) is missing");
  desktop.ExpectMessage("Load algorithm data", Answer::No);
  desktop.ExpectMessage("Default Algorithm Values");
  EXPECT_EQ(Run(MenuButton::LoadAlg, state), CommandOutcome::Done);
  EXPECT_EQ(EnabledOn(state), kTwelve);

  // Half-read data are not worth saving: initialising does not offer it.
  loadBroken("bad_value.alg", "Line 3");
  EXPECT_EQ(Run(MenuButton::Initialize, state), CommandOutcome::Done);
  EXPECT_EQ(views.events, std::vector<std::string>{"set-up form"});
  EXPECT_EQ(wb.alg.AlgorithmFilePath, "");
  EXPECT_EQ(EnabledOn(state), kInitializeAndLoadAlg);
  EXPECT_TRUE(desktop.Failures().empty()) << Failures(desktop);
  EXPECT_EQ(desktop.PendingSteps(), 0u);
}

// Reading the same file again after the user broke a setting line: the
// values are the same as before, but the settings read before the bad line
// are new, so the data are half read all the same.
TEST_F(CommandsTest, ARereadThatChangesOnlySettingsBeforeFailingIsHalfRead) {
  MenuState state(wb);
  testing::TemporaryFolder folder;
  const std::string path = folder.File("edited.alg");
  std::string error;
  std::vector<std::string> lines = *ReadTextLines(TestDataFile("alg", "hand_written.alg"), error);
  auto Join = [](const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& part : parts) text += part + "\n";
    return text;
  };
  ASSERT_TRUE(SaveTextFileAtomically(path, ToCrLf(Join(lines)), error)) << error;
  ExpectLoad(path);
  ASSERT_EQ(Run(MenuButton::LoadAlg, state), CommandOutcome::Done);

  lines[4].replace(0, 14, RightJustify("5.0000000E-02", 14));  // the simplex limit
  lines[5].replace(0, 14, RightJustify("many", 14));           // the maximum of calls
  ASSERT_TRUE(SaveTextFileAtomically(path, ToCrLf(Join(lines)), error)) << error;
  ExpectLoad(path);
  desktop.ExpectMessage(kAlgReaderTitle);
  EXPECT_EQ(Run(MenuButton::LoadAlg, state), CommandOutcome::Failed);
  EXPECT_TRUE(wb.alg.PartlyRead);
  EXPECT_EQ(EnabledOn(state), kInitializeAndLoadAlg);
  EXPECT_TRUE(desktop.Failures().empty()) << Failures(desktop);
}

}  // namespace
}  // namespace estimetrix
