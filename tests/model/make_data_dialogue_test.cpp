// The set-up form's "Make from measurements..." dialogues on a scripted
// desktop: the questions in order, the report shown, and refusals that write
// nothing.

#include "model/make_data_dialogue.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/scripted_desktop.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temporary_folder.h"

namespace estimetrix {
namespace {

class MakeDataDialogueTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const std::string& failure : desktop_.Failures()) ADD_FAILURE() << failure;
    EXPECT_EQ(desktop_.PendingSteps(), 0u);
  }
  std::string Write(const std::string& name, const std::string& text) {
    const std::string path = folder_.File(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  std::string LastText() const { return desktop_.Transcript().back().text; }

  testing::TemporaryFolder folder_{"estimetrix_make_dialogue_test"};
  ScriptedDesktop desktop_;
};

TEST_F(MakeDataDialogueTest, PostMoultSizesWhenNoIncrementColumnIsGiven) {
  const std::string raw = Write("tags.csv", "tag,pre,post\nA,31.1,38.8\nB,,50\nC,40.5,51.8\n");
  const std::string out = folder_.File("tags.dat");
  desktop_.ExpectOpenFile("Raw measurements for an increment file", raw);
  desktop_.ExpectInput(kMakeDataTitle, "pre");
  desktop_.ExpectInput(kMakeDataTitle, "");
  desktop_.ExpectInput(kMakeDataTitle, "post");
  desktop_.ExpectSaveFile("Save increment data file", out);
  desktop_.ExpectMessage(kMakeDataTitle);
  std::optional<SavedDataFile> saved = MakeIncrementFileDialogue(desktop_);
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->path, out);
  EXPECT_EQ(testing::FileBytes(out), "Initial,Increment\r\n31.100,7.7000\r\n40.500,11.300\r\n");
  EXPECT_NE(LastText().find("Rows read: 3; used: 2; skipped: 1\n"
                            "  1 skipped: empty initial size (line 3)\n"),
            std::string::npos)
      << LastText();
  EXPECT_NE(LastText().find("Saved as " + out), std::string::npos);
  // The defaults offered came from the column names.
  const auto& transcript = desktop_.Transcript();
  EXPECT_EQ(transcript[1].defaultText, "pre");
  EXPECT_EQ(transcript[3].defaultText, "post");
}

TEST_F(MakeDataDialogueTest, RefusalsAndCancelsWriteNothing) {
  const std::string raw = Write("sizes.csv", "cw\n10\n11\n");
  const std::string out = folder_.File("never.dat");
  desktop_.ExpectOpenFile("Raw measurements for a frequency file", raw);
  desktop_.ExpectInput(kMakeDataTitle, "cw");
  desktop_.ExpectInput(kMakeDataTitle, "");
  desktop_.ExpectInput(kMakeDataTitle, "wide");
  desktop_.ExpectMessage(kMakeDataTitle);
  EXPECT_FALSE(MakeFrequencyFileDialogue(desktop_));
  EXPECT_EQ(LastText(), "The cell width must be a number above 0, not \"wide\".");

  desktop_.ExpectOpenFile("Raw measurements for a frequency file", raw);
  desktop_.ExpectInput(kMakeDataTitle, "length");
  desktop_.ExpectInput(kMakeDataTitle, "");
  desktop_.ExpectInput(kMakeDataTitle, "1");
  desktop_.ExpectInput(kMakeDataTitle, "0.5");
  desktop_.ExpectMessage(kMakeDataTitle);
  EXPECT_FALSE(MakeFrequencyFileDialogue(desktop_));
  EXPECT_EQ(LastText(), raw +
                            " has no column named \"length\" (size column); its header line "
                            "names: cw.");

  desktop_.ExpectOpenFile("Raw measurements for a frequency file", raw);
  desktop_.ExpectInput(kMakeDataTitle, "cw");
  desktop_.ExpectInput(kMakeDataTitle, "");
  desktop_.ExpectInput(kMakeDataTitle, "1");
  desktop_.ExpectInput(kMakeDataTitle, "0.5");
  desktop_.ExpectSaveFile("Save frequency data file", std::nullopt);
  EXPECT_FALSE(MakeFrequencyFileDialogue(desktop_));
  EXPECT_FALSE(std::filesystem::exists(out));
}

}  // namespace
}  // namespace estimetrix
