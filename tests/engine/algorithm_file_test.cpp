#include "engine/state/algorithm_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "engine/commands/commands.h"
#include "engine/objective/objective.h"
#include "engine/state/workbench.h"
#include "platform/scripted_desktop.h"
#include "platform/text_file.h"
#include "tests/support/array_list.h"
#include "tests/support/fake_menu_view.h"
#include "tests/support/file_bytes.h"
#include "tests/support/quadratic_model.h"
#include "tests/support/temporary_folder.h"
#include "tests/support/test_data.h"

namespace estimetrix {
namespace {

using testing::FakeMenuView;
using testing::FileBytes;
using testing::List;
using testing::QuadraticModel;
using testing::TestDataFile;

const char* const kReaderTitle = "Algorithm file - information input failed";
const char* const kBadlyFormatted =
    "Algorithm file seems to have inappropriate, badly formatted, or missing, information - "
    "better check it!";
const char* const kTooFew =
    "Algorithm file seems to have too few lines of information - better check it!";
const char* const kTooMany =
    "Algorithm file seems to have too many lines of information - better check it!";
const std::vector<MenuButton> kLoadAndInitialize = {MenuButton::Initialize, MenuButton::LoadAlg};

struct NamedDataModel : QuadraticModel {
  using QuadraticModel::QuadraticModel;
  std::string DataFileName() const override { return "growth"; }
};

// The lines of a written file; every one must end in CR LF.
std::vector<std::string> CrLfLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    EXPECT_EQ(line.back(), '\r');
    lines.push_back(line.substr(0, line.size() - 1));
  }
  return lines;
}

class AlgorithmFileTest : public ::testing::Test {
 protected:
  void SetUp() override { Initialize(3); }

  // A fresh session whose model has n parameters, holding values 10, 20, ...
  void Initialize(int n) {
    wb = Workbench{};
    desktop = ScriptedDesktop{};
    menu = FakeMenuView{};
    wb.model = std::make_unique<NamedDataModel>(n);
    CallModel(wb, wb.alg.Values, 0);
    SetDefaultAlgorithmData(wb.alg);
    for (int i = 1; i <= n; ++i) wb.alg.Values[i] = 10.0 * i;
    wb.alg.AlgorithmFilePath = "/old/place.alg";
    wb.alg.AlgorithmFileName = "place";
  }

  std::string TempPath(const std::string& name) { return folder.File(name); }

  static std::vector<std::string> ReadLinesOf(const std::string& path) {
    std::string error;
    return ReadTextLines(path, error).value();
  }

  void Read(const std::string& file) {
    std::string error;
    ReadAlgorithmFile(wb, desktop, &menu, ReadTextLines(TestDataFile("alg", file), error).value());
  }

  // The reader's one message; the form is hidden while it shows.
  void ExpectReaderFailure(const std::string& text) {
    EXPECT_TRUE(wb.alg.LoadFailed);
    ASSERT_EQ(desktop.Transcript().size(), 1u);
    const DialogRecord& record = desktop.Transcript()[0];
    EXPECT_EQ(record.title, kReaderTitle);
    EXPECT_EQ(record.text, text);
    EXPECT_EQ(record.icon, Icon::Information);
    EXPECT_EQ(record.buttons, Buttons::Ok);
    EXPECT_EQ(menu.events, (std::vector<std::string>{"hide", "show"}));
    EXPECT_EQ(menu.Enabled(), kLoadAndInitialize);
  }

  Workbench wb;
  ScriptedDesktop desktop;
  FakeMenuView menu;
  testing::TemporaryFolder folder{"alg"};
};

TEST_F(AlgorithmFileTest, AHandWrittenFileReadsAndIsWrittenBackByteForByte) {
  Read("hand_written.alg");
  EXPECT_FALSE(wb.alg.LoadFailed);
  EXPECT_EQ(List(wb.alg.Values), (std::vector<double>{1.5, -2500, 0.12345678}));
  EXPECT_EQ(List(wb.alg.Steps), (std::vector<double>{0.1, 0, -0.05}));
  EXPECT_EQ(List(wb.alg.FuseCodes), (std::vector<std::string>{"AB", "AB", "~~"}));
  EXPECT_EQ(wb.alg.SimplexLimit, -1E-05);
  EXPECT_EQ(wb.alg.MaxFunctionCalls, 5000);
  EXPECT_EQ(wb.alg.OutputFileName, "  minimize.exl");
  EXPECT_EQ(wb.alg.StepReductionFraction, 0.1);
  EXPECT_TRUE(desktop.Transcript().empty());
  EXPECT_EQ(AlgorithmFileText(wb.alg, AlgorithmFileWriter::MainMenu),
            FileBytes(TestDataFile("alg", "hand_written.alg")));

  Read("trailing_empty_line.alg");
  EXPECT_FALSE(wb.alg.LoadFailed);
  Read("odd_codes_lf.alg");  // LF line ends, codes " a", "1A", "~", file output 25
  EXPECT_EQ(List(wb.alg.FuseCodes), (std::vector<std::string>{"A", "~~", "~~"}));
  EXPECT_EQ(wb.alg.FileOutputFrequency, 0);
  EXPECT_TRUE(desktop.Transcript().empty());
}

TEST_F(AlgorithmFileTest, WrittenFilesReadBackToTheSameData) {
  wb.alg.Values[1] = -1.2345678E-100;  // 15 characters as "0.0000000E+00" gives it
  wb.alg.Values[3] = 9.99999996E+07;
  wb.alg.Steps[1] = -3.5E-200;
  wb.alg.Steps[3] = 2.5E+100;
  wb.alg.FuseCodes[1] = "Q";
  wb.alg.FuseCodes[2] = "XY";
  wb.alg.MaxFunctionCalls = 2147483647;
  wb.alg.TerminalOutputFrequency = -32768;
  wb.alg.FileOutputFrequency = 7;
  wb.alg.OutputFileName = "C:\\runs\\minimize.exl";
  for (auto writer : {AlgorithmFileWriter::MainMenu, AlgorithmFileWriter::Ranking}) {
    const std::vector<std::string> lines = CrLfLines(AlgorithmFileText(wb.alg, writer));
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[1].substr(0, 34), "-1.234568E-100  -3.500000E-200   Q");
    EXPECT_EQ(lines[3].substr(0, 34), " 1.0000000E+08  2.5000000E+100  ~~");
    EXPECT_EQ(lines[2].substr(34), writer == AlgorithmFileWriter::Ranking
                                       ? "  Value, step then link for: Quadratic term 2"
                                       : "  Value, step then link for Quadratic term 2");
    Workbench copy;
    copy.alg.ParameterCount = 3;
    ReadAlgorithmFile(copy, desktop, nullptr, lines);
    ASSERT_FALSE(copy.alg.LoadFailed);
    EXPECT_EQ(List(copy.alg.Values), (std::vector<double>{-1.234568E-100, 20, 1E+08}));
    EXPECT_EQ(List(copy.alg.Steps), (std::vector<double>{-3.5E-200, 0, 2.5E+100}));
    EXPECT_EQ(List(copy.alg.FuseCodes), (std::vector<std::string>{"Q", "XY", "~~"}));
    EXPECT_EQ(copy.alg.MaxFunctionCalls, 2147483647);
    EXPECT_EQ(copy.alg.TerminalOutputFrequency, -32768);
    EXPECT_EQ(copy.alg.FileOutputFrequency, 0);
    EXPECT_EQ(copy.alg.OutputFileName, "  minimize.exl");
  }
  // Saved before any data exists (the quit sequence offers it), the file still reads.
  Workbench empty;
  empty.alg.ParameterCount = 2;
  ReadAlgorithmFile(empty, desktop, nullptr,
                    CrLfLines(AlgorithmFileText(empty.alg, AlgorithmFileWriter::MainMenu)));
  EXPECT_FALSE(empty.alg.LoadFailed);
  EXPECT_EQ(List(empty.alg.FuseCodes), (std::vector<std::string>{"~~", "~~"}));
  EXPECT_TRUE(desktop.Transcript().empty());
}

TEST(ShortenedOutputFileName, KeepsWhatFitsInFourteenColumns) {
  EXPECT_EQ(ShortenedOutputFileName("dir/minimize.e"), "dir/minimize.e");
  EXPECT_EQ(ShortenedOutputFileName("/tmp/logs/run/a.exl"), "a.exl");
  EXPECT_EQ(ShortenedOutputFileName("averyverylongname.exl"), "rylongname.exl");
}

TEST_F(AlgorithmFileTest, EachBrokenFileGetsItsMessageAndKeepsWhatWasRead) {
  struct Case {
    const char* file;
    std::string message;
    std::vector<double> values;  // afterwards
  };
  // Each message ends, after a blank line, with the line and field to mend.
  const std::string tooMany = std::string(kTooMany) + "\n\n";
  const std::string tooFew = std::string(kTooFew) + "\n\n";
  const std::string bad = std::string(kBadlyFormatted) + "\n\n";
  const Case cases[] = {
      {"trailing_blank_line.alg",
       tooMany + "Line 11 comes after the last setting line (line 10) and is not empty (a line "
                 "of blanks counts).",
       {1.5, -2500, 0.12345678}},
      {"too_few_lines.alg",
       tooFew + "Line 4 (value, step size and fuse code of parameter 3) is missing: the file "
                "ends after line 3.",
       {1.5, -2500, 0}},
      {"bad_value.alg",
       bad + "Line 3, columns 1-14 (value of parameter 2): \"abc\" is not a number.",
       {1.5, 0, 0}},
      {"blank_fuse_code.alg",
       bad + "Line 2, columns 33-34 (fuse code of parameter 1): the field is blank (an unfused "
             "parameter has ~~ there).",
       {1.5, 0, 0}},
      {"terminal_frequency_70000.alg",
       bad + "Line 7, columns 1-14 (terminal output frequency): \"70000\" is not a whole "
             "number from -32768 to 32767.",
       {1.5, -2500, 0.12345678}},
      {"binary_noise.alg",
       bad + "Line 1, columns 1-14 (number of parameters): the field holds characters that are "
             "not text.",
       {10, 20, 30}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    Initialize(3);
    Read(c.file);
    ExpectReaderFailure(c.message);
    EXPECT_EQ(List(wb.alg.Values), c.values);
  }
  // A count of 70000 is refused, not wrapped to the 4464 a 16-bit field would hold.
  Initialize(3);
  wb.alg.ParameterCount = 70000 - 65536;
  Read("count_70000.alg");
  ExpectReaderFailure(bad +
                      "Line 1, columns 1-14 (number of parameters): \"70000\" is not a whole "
                      "number from -32768 to 32767.");

  // A missing setting line and an empty file name the line they lack.
  Initialize(3);
  std::vector<std::string> lines = ReadLinesOf(TestDataFile("alg", "hand_written.alg"));
  lines.resize(7);
  ReadAlgorithmFile(wb, desktop, &menu, lines);
  ExpectReaderFailure(tooFew +
                      "Line 8 (file output frequency) is missing: the file ends after line 7.");
  Initialize(3);
  ReadAlgorithmFile(wb, desktop, &menu, {});
  ExpectReaderFailure(tooFew + "Line 1 (number of parameters) is missing: the file is empty.");
}

// Editors that save UTF-8 may start the file with a byte-order mark.
TEST_F(AlgorithmFileTest, AByteOrderMarkAtTheStartIsAccepted) {
  std::vector<std::string> lines = ReadLinesOf(TestDataFile("alg", "hand_written.alg"));
  lines.front().insert(0, "\xEF\xBB\xBF");
  ReadAlgorithmFile(wb, desktop, &menu, lines);
  EXPECT_FALSE(wb.alg.LoadFailed);
  EXPECT_TRUE(desktop.Transcript().empty());
  EXPECT_EQ(List(wb.alg.Values), (std::vector<double>{1.5, -2500, 0.12345678}));

  // Only at the very start: elsewhere the mark is not a number.
  Initialize(3);
  lines = ReadLinesOf(TestDataFile("alg", "hand_written.alg"));
  lines[1].replace(0, 3, "\xEF\xBB\xBF");
  ReadAlgorithmFile(wb, desktop, &menu, lines);
  EXPECT_TRUE(wb.alg.LoadFailed);
}

TEST_F(AlgorithmFileTest, ACountMismatchLeavesTheDataAndTheFileNameUntouched) {
  Initialize(13);
  const Vector before = wb.alg.Values;
  Read("twelve_parameters.alg");
  ExpectReaderFailure(
      "Algorithm file  /old/place.alg  has 12 parameters, but your model specifies 13");
  EXPECT_EQ(wb.alg.Values, before);

  // Refused on the first load, the file must not look like loaded data to the menu.
  Initialize(13);
  wb.alg.AlgorithmFilePath.clear();
  const std::string path = TestDataFile("alg", "twelve_parameters.alg");
  desktop.ExpectMessage("Load algorithm data", Answer::Yes);
  desktop.ExpectOpenFile("Open algorithm data file", path);
  desktop.ExpectMessage(kReaderTitle);
  ApplyCommandOutcome(MenuButton::LoadAlg, LoadAlgorithmData(wb, desktop, menu), menu, wb);
  EXPECT_EQ(desktop.Transcript().at(2).text,
            "Algorithm file  " + path + "  has 12 parameters, but your model specifies 13");
  EXPECT_EQ(wb.alg.AlgorithmFilePath, "");
  EXPECT_EQ(wb.alg.AlgorithmFileName, "place");
}

TEST_F(AlgorithmFileTest, LoadingAFileEnablesTheMenuAndNamesTheFile) {
  const std::string path = TestDataFile("alg", "hand_written.alg");
  desktop.ExpectMessage("Load algorithm data", Answer::Yes);
  desktop.ExpectOpenFile("Open algorithm data file", path);
  wb.state.SimplexRetained = true;
  ApplyCommandOutcome(MenuButton::LoadAlg, LoadAlgorithmData(wb, desktop, menu), menu, wb);

  ASSERT_EQ(desktop.Transcript().size(), 2u);
  const DialogRecord& ask = desktop.Transcript()[0];
  EXPECT_EQ(ask.text, "Load an existing algorithm data file?\n\n     Choose NO for default values");
  EXPECT_EQ(ask.buttons, Buttons::YesNoCancel);
  EXPECT_EQ(ask.icon, Icon::Question);
  const DialogRecord& open = desktop.Transcript()[1];
  EXPECT_EQ(open.text, "All files (*.*)|*.*|Algorithm files (*.alg)|*.alg");
  EXPECT_EQ(open.filterIndex, 2);
  EXPECT_EQ(open.defaultText, "/old/place.alg");

  EXPECT_EQ(wb.alg.AlgorithmFileName, "hand_written");
  EXPECT_EQ(wb.alg.Values[2], -2500);
  EXPECT_FALSE(wb.state.SimplexRetained);
  EXPECT_EQ(desktop.Status(StatusBar::Files, 1), "Algorithm file: " + path);
  EXPECT_EQ(menu.Enabled().size(), 12u);
  EXPECT_EQ(menu.focused, MenuButton::EditAlg);
  EXPECT_EQ(menu.resultsCaption, "Res&ults Summary");
  EXPECT_EQ(menu.resultsToolTip,
            "Produces a saveable summary (and perhaps plots) of model results for the current "
            "parameter estimates");
  EXPECT_EQ(menu.events.front(), "close windows");
}

TEST_F(AlgorithmFileTest, ChoosingNoInstallsDefaultsUnderADateTimeName) {
  desktop.ExpectMessage("Load algorithm data", Answer::No);
  desktop.ExpectMessage("Default Algorithm Values");
  desktop.SetNow({2026, 3, 7, 9, 5, 0});
  ApplyCommandOutcome(MenuButton::LoadAlg, LoadAlgorithmData(wb, desktop, menu), menu, wb);
  EXPECT_EQ(desktop.Transcript().at(1).text,
            "                     Algorithm data set to default values.\n\n"
            "Algorithm file given the date-time based name: 03070905.alg");
  EXPECT_EQ(wb.alg.AlgorithmFilePath, "03070905.alg");
  EXPECT_EQ(wb.alg.AlgorithmFileName, "03070905.alg");
  EXPECT_EQ(List(wb.alg.Values), (std::vector<double>{0, 0, 0}));
  EXPECT_EQ(menu.Enabled().size(), 12u);
  EXPECT_TRUE(desktop.Failures().empty());
}

TEST_F(AlgorithmFileTest, CancellingOrAnUnopenableFileChangesNothing) {
  desktop.ExpectMessage("Load algorithm data", Answer::Cancel);
  ApplyCommandOutcome(MenuButton::LoadAlg, LoadAlgorithmData(wb, desktop, menu), menu, wb);
  EXPECT_TRUE(menu.Enabled().empty());

  desktop.ExpectMessage("Load algorithm data", Answer::Yes);
  desktop.ExpectOpenFile("Open algorithm data file", std::nullopt);
  ApplyCommandOutcome(MenuButton::LoadAlg, LoadAlgorithmData(wb, desktop, menu), menu, wb);
  EXPECT_EQ(menu.Enabled(), kLoadAndInitialize);

  // The system's reason follows the described text on a line of its own.
  const std::string missing = TestDataFile("alg", "no_such_file.alg");
  desktop.ExpectMessage("Load algorithm data", Answer::Yes);
  desktop.ExpectOpenFile("Open algorithm data file", missing);
  desktop.ExpectMessage("Problem Reading Algorithm File!");
  ApplyCommandOutcome(MenuButton::LoadAlg, LoadAlgorithmData(wb, desktop, menu), menu, wb);
  const std::string unreadable =
      "Be suspicious that your algorithm file is not properly formatted\n\n";
  EXPECT_EQ(desktop.Transcript().back().text.rfind(unreadable + "Cannot open " + missing + ": ",
                                                   0),
            0u)
      << desktop.Transcript().back().text;
  EXPECT_EQ(desktop.Transcript().back().icon, Icon::Critical);
  const std::string folder = TestDataFile("alg", "");
  desktop.ExpectMessage("Load algorithm data", Answer::Yes);
  desktop.ExpectOpenFile("Open algorithm data file", folder);
  desktop.ExpectMessage("Problem Reading Algorithm File!");
  ApplyCommandOutcome(MenuButton::LoadAlg, LoadAlgorithmData(wb, desktop, menu), menu, wb);
  EXPECT_EQ(desktop.Transcript().back().text, unreadable + folder + " is a folder, not a file.");

  EXPECT_EQ(wb.alg.AlgorithmFilePath, "/old/place.alg");
  EXPECT_EQ(wb.alg.AlgorithmFileName, "place");
  EXPECT_EQ(List(wb.alg.Values), (std::vector<double>{10, 20, 30}));
  EXPECT_EQ(desktop.Status(StatusBar::Files, 1), "");
  EXPECT_TRUE(desktop.Failures().empty());
}

TEST_F(AlgorithmFileTest, TinySimplexLimitsAreRaisedKeepingTheirSign) {
  ASSERT_TRUE(LoadAlgorithmFile(wb, desktop, TestDataFile("alg", "tiny_limit.alg")));  // 5E-07
  EXPECT_EQ(wb.alg.SimplexLimit, 1E-06);
  for (auto [limit, loaded] : {std::pair{-5E-07, -1E-06}, {0.0, 0.0}, {-2E-06, -2E-06}}) {
    wb.alg.SimplexLimit = limit;
    std::string error;
    ASSERT_TRUE(WriteAlgorithmFile(wb, TempPath("limit.alg"), error)) << error;
    ASSERT_TRUE(LoadAlgorithmFile(wb, desktop, TempPath("limit.alg")));
    EXPECT_EQ(wb.alg.SimplexLimit, loaded) << limit;
  }
  EXPECT_TRUE(desktop.Transcript().empty());
}

TEST_F(AlgorithmFileTest, SavingAsksWithTheThreeEntryFilterAndWritesTheFile) {
  const std::string path = TempPath("saved.alg");
  wb.alg.OutputFileName = "/very/long/directory/minimize.exl";
  desktop.ExpectSaveFile("Save algorithm data in...", path);
  ASSERT_TRUE(Save_Alg(wb, desktop, AlgorithmFileWriter::MainMenu));
  const DialogRecord& save = desktop.Transcript()[0];
  EXPECT_EQ(save.text,
            "All files (*.*)|*.*|Algorithm files (*.alg)|*.alg|Named for data file "
            "(growth.*)|growth.*|");
  EXPECT_EQ(save.filterIndex, 3);
  EXPECT_EQ(save.defaultText, "/old/place.alg");
  EXPECT_TRUE(save.confirmOverwrite);
  EXPECT_EQ(FileBytes(path), AlgorithmFileText(wb.alg, AlgorithmFileWriter::MainMenu));
  EXPECT_EQ(wb.alg.OutputFileName, "minimize.exl");
  EXPECT_EQ(wb.alg.AlgorithmFileName, "saved");
  EXPECT_EQ(desktop.Status(StatusBar::Files, 1), "Algorithm file: " + path);

  // The ranking window: second entry, the date-time name when none exists, the bare name.
  wb.alg.AlgorithmFilePath.clear();
  desktop.ExpectSaveFile("Save algorithm data in...", TempPath("ranked.alg"));
  ASSERT_TRUE(Save_Alg(wb, desktop, AlgorithmFileWriter::Ranking));
  EXPECT_EQ(desktop.Transcript()[1].filterIndex, 2);
  EXPECT_EQ(desktop.Transcript()[1].defaultText, "12081435.alg");
  EXPECT_EQ(desktop.Status(StatusBar::Files, 1), "Algorithm file: ranked");
}

TEST_F(AlgorithmFileTest, ACancelledOrFailedSaveKeepsTheOldFile) {
  desktop.ExpectSaveFile("Save algorithm data in...", std::nullopt);
  EXPECT_FALSE(Save_Alg(wb, desktop, AlgorithmFileWriter::MainMenu));

  // A folder where the file should go: the save is refused and nothing changes.
  const std::string path = TempPath("folder.alg");
  std::filesystem::create_directory(path);
  desktop.ExpectSaveFile("Save algorithm data in...", path);
  desktop.ExpectMessage("Algorithm data not saved");
  EXPECT_FALSE(Save_Alg(wb, desktop, AlgorithmFileWriter::MainMenu));
  EXPECT_TRUE(std::filesystem::is_directory(path));
  EXPECT_EQ(desktop.Transcript().at(2).icon, Icon::Exclamation);
  EXPECT_NE(desktop.Transcript().at(2).text.find(path), std::string::npos);
  EXPECT_EQ(wb.alg.AlgorithmFilePath, "/old/place.alg");
  EXPECT_EQ(desktop.Status(StatusBar::Files, 1), "");
  EXPECT_TRUE(desktop.Failures().empty());
}

}  // namespace
}  // namespace estimetrix
