// The runner's priors: a priors file loaded with --priors weighs in the
// Simplex exactly as one loaded in the workbench, and the table, the review
// and a prior's profile come out as the workbench gives them.

#include <gtest/gtest.h>

#include <sstream>

#include "app/batch_runner.h"
#include "app/batch_views.h"
#include "engine/commands/prior_commands.h"
#include "engine/state/algorithm_file.h"
#include "model/initialize.h"
#include "platform/text_file.h"
#include "tests/support/batch_run.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temporary_folder.h"

namespace estimetrix {
namespace {

using testing::BatchRun;
using testing::RunBatchWords;

const std::string kPriorsSetup = std::string(ESTIMETRIX_EXAMPLES) + "/dungeness/dungeness.setup";
// A Gaussian prior on Beta 1 (parameter 3), tighter than the data's own
// estimate of -0.105.
const std::string kPriors = std::string(ESTIMETRIX_TEST_DATA) + "/priors/dungeness_beta1.pri";

using testing::FileBytes;

// The same analysis as a user runs it in the workbench: initialise, load the
// algorithm file, load the priors through the chooser (accepting the model's
// constant), then Simplex.
double WorkbenchMinimum(double& betaOne) {
  Workbench wb;
  ScriptedDesktop desktop;
  desktop.SetResponder(ScriptedDesktop::DeclineEverything);
  std::string algorithmPath, error;
  const std::optional<CarapexSetup> setup = ReadSetupFile(kPriorsSetup, algorithmPath, error);
  EXPECT_TRUE(setup) << error;
  if (!setup || !InitializeCarapex(wb, desktop, *setup)) return 0.0;
  EXPECT_TRUE(LoadAlgorithmFile(wb, desktop, algorithmPath));
  desktop.ExpectMessage("Bayes information");
  desktop.ExpectInput("Enter constant", "0.500");
  EXPECT_TRUE(LoadPriorsFile(wb, desktop, kPriors));
  EXPECT_EQ(desktop.PendingSteps(), 0u);
  EXPECT_TRUE(wb.state.PriorsActive);
  MenuState menu(wb);
  menu.ShowMenu();
  std::ostringstream log;
  BatchViews views(log);
  CommandContext ctx{wb, desktop, menu, views};
  EXPECT_EQ(RunMenuCommand(MenuButton::Simplex, ctx), CommandOutcome::Done);
  // The review came up after the fit.
  EXPECT_NE(views.ReportText(ReportKind::PriorReview).find("Parameter   3 at"), std::string::npos);
  betaOne = wb.alg.Values[3];
  return views.Objective();
}

TEST(BatchPriors, ALoadedPriorGivesTheWorkbenchMinimum) {
  double betaOne = 0.0;
  const double minimum = WorkbenchMinimum(betaOne);
  // The prior pulls Beta 1 from the data's -0.105 towards its mean of -0.09.
  EXPECT_GT(betaOne, -0.1);

  BatchRun run =
      RunBatchWords({"--setup", kPriorsSetup, "--priors", kPriors, "simplex", "review-priors"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("Bayes information: Bayesian Priors file " + kPriors + " has been loaded"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("likelihood scale 2\n"), std::string::npos) << run.err;
  EXPECT_NE(run.out.find(ObjectiveLine(minimum) + "\n"), std::string::npos)
      << run.out << "\nworkbench: " << ObjectiveLine(minimum);
  EXPECT_NE(run.out.find("Parameter   3 at"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("The entire model has a prior -ln[L] of"), std::string::npos);

  // Without the priors the minimum is the data's own, and lower.
  BatchRun plain = RunBatchWords({"--setup", kPriorsSetup, "simplex"});
  ASSERT_EQ(plain.status, 0) << plain.err;
  EXPECT_EQ(plain.out.find(ObjectiveLine(minimum)), std::string::npos);
}

TEST(BatchPriors, SavesTheTableByteForByteAndProfilesAPrior) {
  testing::TemporaryFolder folder("batch_priors");
  const std::string saved = folder.File("saved.pri");
  BatchRun run =
      RunBatchWords({"--setup", kPriorsSetup, "--priors", kPriors, "--likelihood-constant", "0.25",
                     "save-priors", saved, "prior-profile", "3", "11"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("likelihood scale 4\n"), std::string::npos) << run.err;
  EXPECT_EQ(FileBytes(saved), FileBytes(kPriors));
  EXPECT_EQ(run.out.find("saved " + saved + "\nBayesian prior distribution data"), 0u) << run.out;
  // Eleven points centred on the mean, the middle one at the mode.
  EXPECT_NE(run.out.find("    6    -9.0000E-002    0.0000E+000"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("   11    "), std::string::npos);
  EXPECT_EQ(run.out.find("   12    "), std::string::npos);

  // A parameter without a prior, or a bad argument, fails with a message.
  BatchRun uniform =
      RunBatchWords({"--setup", kPriorsSetup, "--priors", kPriors, "prior-profile", "2", "0"});
  EXPECT_EQ(uniform.status, 1);
  EXPECT_NE(uniform.err.find("uniform-unbounded prior: there is nothing to profile"),
            std::string::npos)
      << uniform.err;
  BatchRun bad =
      RunBatchWords({"--setup", kPriorsSetup, "--priors", kPriors, "prior-profile", "3,x"});
  EXPECT_EQ(bad.status, 1);
  BatchRun constant =
      RunBatchWords({"--setup", kPriorsSetup, "--priors", kPriors, "--likelihood-constant", "-1"});
  EXPECT_EQ(constant.status, 1);
  EXPECT_NE(constant.err.find("--likelihood-constant needs a positive number"), std::string::npos);
}

}  // namespace
}  // namespace estimetrix
