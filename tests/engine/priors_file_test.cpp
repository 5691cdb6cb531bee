#include "engine/bayesian/priors_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "engine/bayesian/prior_review.h"
#include "engine/state/workbench.h"
#include "platform/scripted_desktop.h"
#include "tests/support/temporary_folder.h"
#include "tests/support/test_data.h"

namespace estimetrix {
namespace {

using testing::TestDataFile;

Workbench PriorsBench(int n) {
  Workbench wb;
  wb.alg.ParameterCount = n;
  wb.priors.Resize(n);
  return wb;
}

void SetPrior(PriorTable& priors, int i, PriorType type, double term1, double term2,
              const std::string& term3 = kUnusedTerm, const std::string& term4 = kUnusedTerm) {
  priors.Type[i] = type;
  priors.Term1[i] = term1;
  priors.Term2[i] = term2;
  priors.Term3[i] = term3;
  priors.Term4[i] = term4;
}

TEST(PriorsFile, FixedColumnsWithSignPositionAndUnusedWords) {
  PriorTable priors;
  priors.Resize(3);
  SetPrior(priors, 2, PriorType::T, -2500.0, 0.0, "12.5", "1");
  SetPrior(priors, 3, PriorType::N, 2.5, 0.5);
  EXPECT_EQ(PriorsFileText(priors),
            "3\n"
            "  1   U 1.000E-100 1.000E-100     Unused     Unused   Uniform - unbounded\n"
            "  2   T-2.500E+003 0.000E+000 1.250E+001 1.000E+000   Uniform - bounded\n"
            "  3   N 2.500E+000 5.000E-001     Unused     Unused   Gaussian or Normal\n");
  EXPECT_EQ(PriorsFileName("C:\\crab\\moult.pri"), "moult");
  EXPECT_EQ(PriorsFileName("12081435"), "12081435");  // the chooser's name has no extension
}

TEST(PriorsFile, SavedTableReadsBackAtFourSignificantDigits) {
  testing::TemporaryFolder folder;
  Workbench wb = PriorsBench(3);
  SetPrior(wb.priors, 1, PriorType::G, 1.23456, 0.987654);
  SetPrior(wb.priors, 3, PriorType::T, -2500.0, 0.01, "12.34567", "0.1");
  ScriptedDesktop desktop;
  const std::string path = folder.File("crab.pri");
  desktop.ExpectSaveFile("Save Bayesian priors file in...", path);
  ASSERT_TRUE(Save_Priors(wb, desktop));
  EXPECT_EQ(desktop.Transcript().at(0).defaultText, "12081435.pri");
  EXPECT_EQ(desktop.Status(StatusBar::Files, 2), "Bayesian priors file: crab");
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  EXPECT_EQ(bytes.str().substr(0, 3), "3\r\n");

  Workbench loaded = PriorsBench(3);
  desktop.ExpectMessage("Bayes information");
  ASSERT_TRUE(ReadPriorsFile(loaded, desktop, path));
  EXPECT_EQ(desktop.Transcript().at(1).text, "Bayesian Priors file " + path + " has been loaded");
  const PriorTable& p = loaded.priors;
  EXPECT_DOUBLE_EQ(p.Term1[1], 1.235);
  EXPECT_DOUBLE_EQ(p.Term2[1], 0.9877);
  EXPECT_EQ(p.Term1[2], kUnsetValue);
  EXPECT_EQ(p.Term3[2], "Unused");
  EXPECT_EQ(p.Term1[3], -2500.0);
  EXPECT_EQ(p.Term3[3], "1.235E+001");
  EXPECT_EQ(p.PriorsFilePath, path);
  EXPECT_TRUE(loaded.state.PriorsActive);
  EXPECT_TRUE(desktop.Failures().empty());

  // Lower-case letters in a hand-made file read as upper case.
  desktop.ExpectMessage("Bayes information");
  ASSERT_TRUE(ReadPriorsFile(loaded, desktop, TestDataFile("priors", "lower_case.pri")));
  EXPECT_EQ(loaded.priors.Type[2], PriorType::S);
  EXPECT_EQ(loaded.priors.Type[3], PriorType::N);
}

TEST(PriorsFile, CountMismatchSwitchesPriorsOffAndKeepsTheTable) {
  Workbench wb = PriorsBench(13);
  SetPrior(wb.priors, 5, PriorType::N, 1.0, 0.1);
  wb.state.PriorsActive = true;
  ScriptedDesktop desktop;
  desktop.ExpectMessage("Bayes information");
  const std::string path = TestDataFile("priors", "twelve_parameters.pri");
  EXPECT_FALSE(ReadPriorsFile(wb, desktop, path));
  EXPECT_EQ(desktop.Transcript().at(0).text,
            "Bayesian priors file  " + path +
                "  has 12 parameters, but your model specifies 13.\n"
                "Therefore default (uniform-unbounded) priors have been loaded instead.");
  EXPECT_FALSE(wb.state.PriorsActive);
  EXPECT_EQ(wb.priors.Type[5], PriorType::N);
}

TEST(PriorsFile, BrokenFilesLeaveThePriorsInForce) {
  const std::pair<const char*, const char*> cases[] = {
      {"short.pri", "the record of parameter 3 (line 4) is missing."},
      {"bad_type.pri", "cannot be read at line 3 (parameter 2)"},
      {"count_not_a_number.pri", "line 1 reads \"three\""},
      {"count_too_large.pri", "line 1 reads \"70000\""},
      {"binary_noise.pri", "is not a text file"},
      {"no_such_file.pri", "could not be read"},
  };
  for (const auto& [file, says] : cases) {
    Workbench wb = PriorsBench(3);
    SetPrior(wb.priors, 1, PriorType::E, 2.0, 2.0);
    wb.state.PriorsActive = true;
    ScriptedDesktop desktop;
    desktop.ExpectMessage("Bayes information");
    EXPECT_FALSE(ReadPriorsFile(wb, desktop, TestDataFile("priors", file))) << file;
    ASSERT_EQ(desktop.Transcript().size(), 1u) << file;
    EXPECT_NE(desktop.Transcript()[0].text.find(says), std::string::npos) << file;
    EXPECT_TRUE(wb.state.PriorsActive) << file;
    EXPECT_EQ(wb.priors.Type[1], PriorType::E) << file;
  }

  // A prior that cannot be evaluated loads, with a warning naming it.
  Workbench wb = PriorsBench(3);
  ScriptedDesktop desktop;
  desktop.ExpectMessage("Bayes information");
  desktop.ExpectMessage("Bayes information");
  ASSERT_TRUE(ReadPriorsFile(wb, desktop, TestDataFile("priors", "unusable_priors.pri")));
  EXPECT_NE(desktop.Transcript().at(1).text.find("parameter 2 has an SD of 0."), std::string::npos);

  // A save that cannot be written is reported and changes nothing.
  testing::TemporaryFolder folder;
  wb.priors.PriorsFilePath = "kept.pri";
  desktop.ExpectSaveFile("Save Bayesian priors file in...", folder.File("missing/crab.pri"));
  desktop.ExpectMessage("Bayesian priors not saved");
  EXPECT_FALSE(Save_Priors(wb, desktop));
  EXPECT_EQ(wb.priors.PriorsFilePath, "kept.pri");
  EXPECT_TRUE(desktop.Failures().empty());
}

// Priors without a proper density (a beta mean outside (0, 1), a beta SD
// that leaves a and b below 0, a negative exponential mean) give -ln priors
// that fall without bound. They load with the warning that names them, and
// the review neither scores them nor claims a total.
TEST(PriorsFile, ImproperPriorsAreNamedOnLoadingAndLeaveTheReviewWithoutATotal) {
  Workbench wb = PriorsBench(4);
  ScriptedDesktop desktop;
  desktop.ExpectMessage("Bayes information");
  desktop.ExpectMessage("Bayes information");
  ASSERT_TRUE(ReadPriorsFile(wb, desktop, TestDataFile("priors", "improper_priors.pri")));
  ASSERT_EQ(desktop.Transcript().size(), 2u);
  EXPECT_EQ(desktop.Transcript()[1].text,
            "The Beta prior of parameter 1 needs a mean between 0 and 1.\n"
            "The Beta prior of parameter 2 has an SD too large for its mean: its a (-0.1528) and "
            "b (-0.1528) must both be above 0.\n"
            "The Exponential prior of parameter 3 needs a mean above 0.\n"
            "\nCorrect these priors in the editor before a computation uses them.");
  EXPECT_TRUE(wb.state.PriorsActive);

  wb.alg.Values.Resize(1, 4, 0.5);
  wb.alg.Values[3] = 1e6;  // far out where -x/m would be -500000
  const std::string review = ReviewPriors(wb);
  const std::string lines = review.substr(review.find("*.pdp files.\n\n\n") + 15);
  EXPECT_EQ(lines,
            "Parameter   1 at  5.000E-01 cannot be reviewed: The Beta prior of parameter 1 needs a "
            "mean between 0 and 1.\n"
            "Parameter   2 at  5.000E-01 cannot be reviewed: The Beta prior of parameter 2 has an "
            "SD too large for its mean: its a (-0.1528) and b (-0.1528) must both be above 0.\n"
            "Parameter   3 at  1.000E+06 cannot be reviewed: The Exponential prior of parameter 3 "
            "needs a mean above 0.\n"
            "Parameter   4 at  5.000E-01 has a prior -ln[L] of     0.50 and a prior likelihood of "
            "0.606531\n"
            "\n           The entire model's prior -ln[L] and prior likelihood are not available: at "
            "least one prior cannot be reviewed.\n");
}

}  // namespace
}  // namespace estimetrix
