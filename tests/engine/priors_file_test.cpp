#include "engine/priors_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "engine/workbench.h"
#include "platform/scripted_desktop.h"
#include "tests/support/temporary_folder.h"

namespace estimetrix {
namespace {

using testing::TemporaryFolder;

std::string DataFile(const std::string& name) {
  return std::string(ESTIMETRIX_TEST_DATA) + "/priors/" + name;
}

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// A workbench of n parameters, all uniform.
Workbench Bench(int n) {
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

TEST(PriorsFileText, FixedColumnsWithSignPositionAndUnusedWords) {
  PriorTable priors;
  priors.Resize(3);
  SetPrior(priors, 2, PriorType::T, -2500.0, 0.0, "12.5", "1");
  SetPrior(priors, 3, PriorType::N, 2.5, 0.5);
  EXPECT_EQ(PriorsFileText(priors),
            "3\n"
            "  1   U 1.000E-100 1.000E-100     Unused     Unused   Uniform - unbounded\n"
            "  2   T-2.500E+003 0.000E+000 1.250E+001 1.000E+000   Uniform - bounded\n"
            "  3   N 2.500E+000 5.000E-001     Unused     Unused   Gaussian or Normal\n");
}

TEST(PriorsFileName, BareNameWithoutExtension) {
  EXPECT_EQ(PriorsFileName("/data/crab/moult.pri"), "moult");
  EXPECT_EQ(PriorsFileName("C:\\crab\\moult.pri"), "moult");
  EXPECT_EQ(PriorsFileName("12081435"), "12081435");
  EXPECT_EQ(PriorsFileName(""), "");
}

TEST(PriorsFile, SavedTableReadsBackAtFourSignificantDigits) {
  TemporaryFolder folder;
  Workbench wb = Bench(4);
  SetPrior(wb.priors, 1, PriorType::G, 1.23456, 0.987654);
  SetPrior(wb.priors, 2, PriorType::S, -2500.0, 0.0);
  SetPrior(wb.priors, 4, PriorType::T, 0.5, 0.01, "12.34567", "0.1");

  ScriptedDesktop desktop;
  const std::string path = folder.File("crab.pri");
  desktop.ExpectSaveFile("Save Bayesian priors file in...", path);
  ASSERT_TRUE(Save_Priors(wb, desktop));
  const DialogRecord& dialog = desktop.Transcript().at(0);
  EXPECT_EQ(dialog.text, "All files (*.*)|*.*|Bayesian prior files (*.pri)|*.pri");
  EXPECT_EQ(dialog.filterIndex, 2);
  EXPECT_EQ(dialog.defaultText, "12081435.pri");
  EXPECT_TRUE(dialog.confirmOverwrite);
  EXPECT_EQ(wb.priors.PriorsFilePath, path);
  EXPECT_EQ(desktop.Status(StatusBar::Files, 2), "Bayesian priors file: crab");

  const std::string bytes = Bytes(path);
  EXPECT_EQ(bytes.substr(0, 3), "4\r\n");
  EXPECT_NE(bytes.find("  2   S-2.500E+003 0.000E+000     Unused     Unused   Left-side cliff\r\n"),
            std::string::npos);

  Workbench loaded = Bench(4);
  ScriptedDesktop reader;
  reader.ExpectMessage("Bayes information");
  ASSERT_TRUE(ReadPriorsFile(loaded, reader, path));
  EXPECT_TRUE(reader.Failures().empty());
  EXPECT_EQ(reader.Transcript().at(0).text, "Bayesian Priors file " + path + " has been loaded");
  const PriorTable& p = loaded.priors;
  EXPECT_EQ(p.Type[1], PriorType::G);
  EXPECT_DOUBLE_EQ(p.Term1[1], 1.235);
  EXPECT_DOUBLE_EQ(p.Term2[1], 0.9877);
  EXPECT_EQ(p.Type[2], PriorType::S);
  EXPECT_EQ(p.Term1[2], -2500.0);
  EXPECT_EQ(p.Type[3], PriorType::U);
  EXPECT_EQ(p.Term1[3], kUnsetValue);
  EXPECT_EQ(p.Term3[3], "Unused");
  EXPECT_EQ(p.Term3[4], "1.235E+001");
  EXPECT_EQ(p.Term4[4], "1.000E-001");
  EXPECT_EQ(p.PriorsFilePath, path);
  EXPECT_TRUE(loaded.state.PriorsActive);
  EXPECT_EQ(reader.Status(StatusBar::Files, 2), "Bayesian priors file: crab");

  // Saving again proposes the file it came from.
  ScriptedDesktop again;
  again.ExpectSaveFile("Save Bayesian priors file in...", std::nullopt);
  EXPECT_FALSE(Save_Priors(loaded, again));
  EXPECT_EQ(again.Transcript().at(0).defaultText, path);
  EXPECT_EQ(loaded.priors.PriorsFilePath, path);
}

TEST(PriorsFile, HandMadeLowerCaseLettersReadAsUpperCase) {
  Workbench wb = Bench(3);
  ScriptedDesktop desktop;
  desktop.ExpectMessage("Bayes information");
  ASSERT_TRUE(ReadPriorsFile(wb, desktop, DataFile("lower_case.pri")));
  EXPECT_EQ(wb.priors.Type[2], PriorType::S);
  EXPECT_EQ(wb.priors.Term1[2], -2500.0);
  EXPECT_EQ(wb.priors.Type[3], PriorType::N);
  EXPECT_EQ(wb.priors.Term2[3], 0.5);
  EXPECT_TRUE(desktop.Failures().empty());
}

TEST(PriorsFile, CountMismatchSwitchesPriorsOffAndKeepsTheTable) {
  Workbench wb = Bench(13);
  SetPrior(wb.priors, 5, PriorType::N, 1.0, 0.1);
  wb.priors.PriorsFilePath = "old.pri";
  wb.state.PriorsActive = true;
  const PriorTable before = wb.priors;
  ScriptedDesktop desktop;
  desktop.ExpectMessage("Bayes information");
  const std::string path = DataFile("twelve_parameters.pri");
  EXPECT_FALSE(ReadPriorsFile(wb, desktop, path));
  EXPECT_EQ(desktop.Transcript().at(0).text,
            "Bayesian priors file  " + path +
                "  has 12 parameters, but your model specifies 13.\n"
                "Therefore default (uniform-unbounded) priors have been loaded instead.");
  EXPECT_EQ(desktop.Transcript().at(0).icon, Icon::Critical);
  EXPECT_FALSE(wb.state.PriorsActive);
  EXPECT_TRUE(wb.alg.LoadFailed);
  EXPECT_EQ(wb.priors.Type, before.Type);
  EXPECT_EQ(wb.priors.Term1, before.Term1);
  EXPECT_EQ(wb.priors.PriorsFilePath, "old.pri");
}

TEST(PriorsFile, BrokenFilesLeaveThePriorsInForce) {
  struct Case {
    std::string file;
    std::string says;
  };
  const Case cases[] = {
      {"short.pri", "holds 2 of its 3 records: the record of parameter 3 (line 4) is missing."},
      {"bad_type.pri", "cannot be read at line 3 (parameter 2)"},
      {"count_not_a_number.pri", "line 1 reads \"three\""},
      {"count_too_large.pri", "line 1 reads \"70000\""},
      {"binary_noise.pri", "is not a text file"},
      {"no_such_file.pri", "could not be read"},
  };
  for (const Case& c : cases) {
    Workbench wb = Bench(3);
    SetPrior(wb.priors, 1, PriorType::E, 2.0, 2.0);
    wb.priors.PriorsFilePath = "old.pri";
    wb.state.PriorsActive = true;
    ScriptedDesktop desktop;
    desktop.ExpectMessage("Bayes information");
    EXPECT_FALSE(ReadPriorsFile(wb, desktop, DataFile(c.file))) << c.file;
    ASSERT_EQ(desktop.Transcript().size(), 1u) << c.file;
    const std::string& text = desktop.Transcript()[0].text;
    EXPECT_NE(text.find(c.says), std::string::npos) << c.file << ": " << text;
    EXPECT_NE(text.find("The priors in force have not been changed."), std::string::npos);
    EXPECT_TRUE(wb.state.PriorsActive) << c.file;
    EXPECT_EQ(wb.priors.Type[1], PriorType::E) << c.file;
    EXPECT_EQ(wb.priors.Term1[1], 2.0) << c.file;
    EXPECT_EQ(wb.priors.PriorsFilePath, "old.pri") << c.file;
    EXPECT_FALSE(wb.alg.LoadFailed) << c.file;
  }
}

TEST(PriorsFile, PriorsThatCannotBeEvaluatedLoadWithAWarning) {
  Workbench wb = Bench(3);
  ScriptedDesktop desktop;
  desktop.ExpectMessage("Bayes information");
  desktop.ExpectMessage("Bayes information");
  ASSERT_TRUE(ReadPriorsFile(wb, desktop, DataFile("unusable_priors.pri")));
  ASSERT_EQ(desktop.Transcript().size(), 2u);
  const DialogRecord& warning = desktop.Transcript()[1];
  EXPECT_EQ(warning.icon, Icon::Exclamation);
  EXPECT_NE(warning.text.find("The Gaussian or Normal prior of parameter 2 has an SD of 0."),
            std::string::npos);
  EXPECT_NE(warning.text.find("parameter 3 has a right foot that is no number"),
            std::string::npos);
  EXPECT_EQ(wb.priors.Type[3], PriorType::T);
}

TEST(PriorsFile, FailedSaveIsReportedAndChangesNothing) {
  TemporaryFolder folder;
  Workbench wb = Bench(2);
  wb.priors.PriorsFilePath = "kept.pri";
  ScriptedDesktop desktop;
  desktop.ExpectSaveFile("Save Bayesian priors file in...", folder.File("missing/crab.pri"));
  desktop.ExpectMessage("Bayesian priors not saved");
  EXPECT_FALSE(Save_Priors(wb, desktop));
  EXPECT_TRUE(desktop.Failures().empty());
  EXPECT_EQ(desktop.PendingSteps(), 0u);
  EXPECT_EQ(wb.priors.PriorsFilePath, "kept.pri");
  EXPECT_EQ(desktop.Status(StatusBar::Files, 2), "");
}

}  // namespace
}  // namespace estimetrix
