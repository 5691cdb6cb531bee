// make-frequencies and make-increments: raw measurements with one row per
// animal become data files that evaluate as the hand-made example files do;
// unusable rows are counted, and data that would not fit are refused with
// the old output file left as it was.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/text_file.h"
#include "tests/support/batch_run.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temporary_folder.h"

namespace estimetrix {
namespace {

using testing::BatchRun;
using testing::LastObjective;
using testing::RunBatchWords;

const std::string kSnowCrab = std::string(ESTIMETRIX_EXAMPLES) + "/snowcrab-sgsl-sizefreq/";
const std::string kDungeness = std::string(ESTIMETRIX_EXAMPLES) + "/dungeness/";

class MakeDataTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& text) {
    const std::string path = folder_.File(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  std::string Path(const std::string& name) { return folder_.File(name); }

  static std::vector<std::string> Lines(const std::string& path) {
    std::string error;
    return ReadTextLines(path, error).value_or(std::vector<std::string>{});
  }

  static std::vector<std::string> Numbers(const std::string& line) {
    std::vector<std::string> numbers;
    std::istringstream fields(line);
    std::string field;
    while (std::getline(fields, field, ',')) {
      field.erase(0, field.find_first_not_of(' '));
      numbers.push_back(field);
    }
    return numbers;
  }

  testing::TemporaryFolder folder_{"estimetrix_make_data_test"};
};

// One row per crab of the snow crab example (size = its cell's midpoint,
// series = year), with a text column and four rows that cannot be used.
TEST_F(MakeDataTest, SnowCrabRowsBinBackIntoTheExampleFile) {
  const std::vector<std::string> example = Lines(kSnowCrab + "snowcrab_sgsl_females_2022-2024.dat");
  ASSERT_GT(example.size(), 80u);
  std::string raw = "\"station\",\"year\",\"width\"\n";
  for (size_t i = 1; i < example.size(); ++i) {
    const std::vector<std::string> numbers = Numbers(example[i]);
    for (int s = 1; s <= 3; ++s) {
      const int count = std::atoi(numbers[static_cast<size_t>(s)].c_str());
      for (int k = 0; k < count; ++k)
        raw += "\"S, " + std::to_string(k) + "\"," + std::to_string(2021 + s) + "," + numbers[0] +
               "\n";
    }
  }
  raw += "\"A\",2023,\n\"B\",2023,NA\n\"C\",2024,-3\n\"D\",,12.5\n";
  const std::string rawPath = Write("snowcrab_raw.csv", raw);
  const std::string made = Path("made.dat");

  // Made and used in one run: the leading make command runs before the set-up is read.
  const BatchRun run = RunBatchWords({"make-frequencies", rawPath, made, "--size-column", "width",
                                      "--series-column", "year", "--cell-width", "1", "--setup",
                                      kSnowCrab + "snowcrab-sgsl-sizefreq.setup", "--frequencies",
                                      made, "evaluate"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Rows read: 42788; used: 42784; skipped: 4\n"
                         "  1 skipped: empty size (line 42786)\n"
                         "  1 skipped: size is not a number (line 42787)\n"
                         "  1 skipped: negative size (line 42788)\n"
                         "  1 skipped: empty series value (line 42789)\n"
                         "Cells: 86 cells of width 1 from midpoint 0.5 to 85.5\n"
                         "Series: 3 (2022, 2023, 2024)\n"),
            std::string::npos)
      << run.out;
  const std::vector<std::string> lines = Lines(made);
  ASSERT_EQ(lines.size(), example.size());
  EXPECT_EQ(lines[0], "Midpoint,2022,2023,2024");
  for (size_t i = 1; i < lines.size(); ++i) EXPECT_EQ(lines[i], example[i]) << "line " << i + 1;

  const BatchRun original =
      RunBatchWords({"--setup", kSnowCrab + "snowcrab-sgsl-sizefreq.setup", "evaluate"});
  ASSERT_EQ(original.status, 0) << original.err;
  EXPECT_NEAR(LastObjective(run), LastObjective(original), 1e-12 * LastObjective(original));
}

TEST_F(MakeDataTest, CellsHoldTheirLowerEdgeButNotTheirUpper) {
  const std::string raw = Write("edges.csv", "size\n0\n0.1\n0.29999\n0.3\n0.35\n0.4\n");
  const std::string made = Path("edges.dat");
  const BatchRun run = RunBatchWords(
      {"make-frequencies", raw, made, "--size-column", "SIZE", "--cell-width", "0.1"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Lines(made),
            (std::vector<std::string>{"Midpoint,size", "   0.05,    1", "   0.15,    1",
                                      "   0.25,    1", "   0.35,    2", "   0.45,    1"}));
  EXPECT_EQ(testing::FileBytes(made).find("\r\n"), 13u);  // CR LF line ends
}

TEST_F(MakeDataTest, PreAndPostMoultSizesGiveTheDungenessObjective) {
  // Semicolons and decimal commas, as a spreadsheet in such a locale saves them.
  const std::vector<std::string> example = Lines(kDungeness + "dungeness_females.dat");
  std::string raw = "crab;pre;post\n";
  for (size_t i = 1; i < example.size(); ++i) {
    const std::vector<std::string> numbers = Numbers(example[i]);
    char line[64];
    std::snprintf(line, sizeof line, "%zu;%.1f;%.1f\n", i, std::atof(numbers[0].c_str()),
                  std::atof(numbers[0].c_str()) + std::atof(numbers[1].c_str()));
    std::string text = line;
    for (char& c : text)
      if (c == '.') c = ',';
    raw += text;
  }
  raw += "x;;40,0\ny;41,0;\n";
  const std::string made = Path("dungeness.dat");
  BatchRun run = RunBatchWords({"make-increments", Write("pre_post.csv", raw), made,
                                "--initial-column", "pre", "--postmoult-column", "post"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Rows read: 474; used: 472; skipped: 2\n"
                         "  1 skipped: empty initial size (line 474)\n"
                         "  1 skipped: empty post-moult size (line 475)\n"
                         "Records: 472 (increment = post-moult size - initial size)\n"),
            std::string::npos)
      << run.out;
  const std::vector<std::string> lines = Lines(made);
  ASSERT_EQ(lines.size(), 473u);
  EXPECT_EQ(lines[1], "31.100,7.7000");  // in raw-file order, every decimal the field holds

  run =
      RunBatchWords({"--setup", kDungeness + "dungeness.setup", "--increments", made, "evaluate"});
  ASSERT_EQ(run.status, 0) << run.err;
  const BatchRun original = RunBatchWords({"--setup", kDungeness + "dungeness.setup", "evaluate"});
  EXPECT_NEAR(LastObjective(run), LastObjective(original), 1e-12 * LastObjective(original));
}

TEST_F(MakeDataTest, DataThatWouldNotFitAreRefusedAndTheOldFileKept) {
  const std::string out = Write("kept.dat", "old text\n");
  std::string many = "size\n";
  for (int i = 0; i < 100000; ++i) many += "3\n";
  many += "4\n";
  std::string records = "a\tb\n";
  for (int i = 0; i < 1201; ++i) records += "10\t2\n";
  struct Case {
    std::vector<std::string> words;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"make-frequencies", Write("wide.csv", "size\n1\n300\n"), out, "--size-column", "size",
        "--cell-width", "1"},
       "The sizes need 301 cells of width 1 from midpoint 0.5 to reach the largest size, 300 "
       "(line 3); a frequency file holds at most 250 cells."},
      {{"make-frequencies", Write("many.csv", many), out, "--size-column", "size", "--cell-width",
        "1"},
       "The cell with midpoint 3.5 holds 100000 animals of series size; a count field holds 5 "
       "digits (at most 99999)."},
      {{"make-increments", Write("records.tsv", records), out, "--initial-column", "a",
        "--increment-column", "b"},
       "1201 rows of "},
      {{"make-increments", Write("fine.csv", "a,b\n10,2\n123.456,2\n"), out, "--initial-column",
        "a", "--increment-column", "b"},
       "The initial size 123.456 (line 3) has 3 decimals; at this size the 6 columns of its "
       "field hold 2."},
      {{"make-increments", Write("big.csv", "a,b\n1234567,2\n"), out, "--initial-column", "a",
        "--increment-column", "b"},
       "needs more than the 6 columns of its field"},
      {{"make-increments", Write("none.csv", "a,b\nx,2\n"), out, "--initial-column", "a",
        "--increment-column", "b"},
       "No row of"},
      {{"make-frequencies", Write("cols.csv", "size\n1\n"), out, "--size-column", "width",
        "--cell-width", "1"},
       "has no column named \"width\" (size column); its header line names: size."},
      {{"make-frequencies", Write("cols2.csv", "size\n1\n"), out, "--size-column", "size",
        "--cell-width", "-1"},
       "make-frequencies needs --cell-width W, a number above 0"},
      {{"make-increments", Write("cols3.csv", "a,b\n1,2\n"), out, "--initial-column", "a"},
       "make-increments needs either --increment-column NAME or --postmoult-column NAME"},
  };
  for (const Case& c : cases) {
    const BatchRun run = RunBatchWords(c.words);
    EXPECT_EQ(run.status, 1) << c.message;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(testing::FileBytes(out), "old text\n") << c.message;
  }
}

}  // namespace
}  // namespace estimetrix
