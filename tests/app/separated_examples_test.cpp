// The example data files saved as a spreadsheet or R would save them give the
// objective of the fixed-column files, and the runner says how it read them.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/text_file.h"
#include "tests/support/batch_run.h"
#include "tests/support/temporary_folder.h"

namespace estimetrix {
namespace {

using testing::BatchRun;
using testing::LastObjective;
using testing::RunBatchWords;

struct Example {
  std::string folder, setup, option, file;
};

const std::vector<Example>& Examples() {
  static const std::vector<Example> examples = {
      {"dungeness", "dungeness.setup", "--increments", "dungeness_females.dat"},
      {"snowcrab-sgsl-sizefreq", "snowcrab-sgsl-sizefreq.setup", "--frequencies",
       "snowcrab_sgsl_females_2022-2024.dat"},
      {"tannercrab-ebs-increments", "tannercrab-ebs-increments.setup", "--increments",
       "tannercrab_ebs_males.dat"},
  };
  return examples;
}

std::string ExamplePath(const Example& example, const std::string& name) {
  return std::string(ESTIMETRIX_EXAMPLES) + "/" + example.folder + "/" + name;
}

// The numbers of a fixed-column record, as text without blanks.
std::vector<std::string> Numbers(const std::string& line) {
  std::vector<std::string> numbers;
  std::istringstream fields(line);
  std::string field;
  while (std::getline(fields, field, ',')) {
    field.erase(0, field.find_first_not_of(' '));
    field.erase(field.find_last_not_of(" \r") + 1);
    numbers.push_back(field);
  }
  return numbers;
}

// The example's file with its records joined by `separator` and a quoted
// label line, as spreadsheets and R write them.
std::string Rewritten(const std::string& path, const std::string& separator) {
  std::string error;
  auto lines = ReadTextLines(path, error);
  EXPECT_TRUE(lines) << error;
  if (!lines) return {};
  std::string text = "\"size\"" + separator + "\"value\"\n";
  for (size_t i = 1; i < lines->size(); ++i) {
    const std::vector<std::string> numbers = Numbers((*lines)[i]);
    for (size_t k = 0; k < numbers.size(); ++k) text += (k ? separator : "") + numbers[k];
    text += "\n";
  }
  return text;
}

TEST(SeparatedExamples, EverySeparatorGivesTheFixedColumnObjective) {
  const testing::TemporaryFolder folder("estimetrix_separated_examples");
  for (const Example& example : Examples()) {
    const std::string setup = ExamplePath(example, example.setup);
    const BatchRun fixed = RunBatchWords({"--setup", setup, "evaluate"});
    ASSERT_EQ(fixed.status, 0) << fixed.err;
    EXPECT_EQ(fixed.err.find("read as"), std::string::npos) << fixed.err;
    const double expected = LastObjective(fixed);
    ASSERT_GT(expected, 0.0);
    for (const auto& [separator, name] : {std::pair<std::string, std::string>{",", "comma"},
                                          {";", "semicolon"},
                                          {"\t", "tab"},
                                          {" ", "blank"}}) {
      const std::string path = folder.File(example.folder + "_" + name + ".txt");
      std::ofstream(path, std::ios::binary)
          << Rewritten(ExamplePath(example, example.file), separator);
      const BatchRun run = RunBatchWords({"--setup", setup, example.option, path, "evaluate"});
      ASSERT_EQ(run.status, 0) << run.err;
      EXPECT_NEAR(LastObjective(run), expected, 1e-12 * expected) << example.folder << " " << name;
      const std::string kind = example.option == "--increments" ? "Increment" : "Frequency";
      EXPECT_EQ(run.err, kind + " file read as " + name + "-separated values: " + path + "\n");
    }
  }
}

TEST(SeparatedExamples, AMixedFileStopsTheRunWithTheLineNamed) {
  const testing::TemporaryFolder folder("estimetrix_separated_examples");
  const Example& dungeness = Examples().front();
  std::string error;
  auto lines = ReadTextLines(ExamplePath(dungeness, dungeness.file), error);
  ASSERT_TRUE(lines);
  (*lines)[7] = "45.4\t9.2";  // one record pasted in from a spreadsheet
  std::string text;
  for (const std::string& line : *lines) text += line + "\n";
  const std::string path = folder.File("mixed.dat");
  std::ofstream(path, std::ios::binary) << text;
  const BatchRun run = RunBatchWords(
      {"--setup", ExamplePath(dungeness, dungeness.setup), "--increments", path, "evaluate"});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.out.empty()) << run.out;
  EXPECT_EQ(run.err,
            "Error in increment data file: Record 1 (line 2), \"  31.1,   7.7\", is in fixed "
            "columns, but record 7 (line 8), \"45.4\t9.2\", is tab-separated values; a data file "
            "must keep to one layout. Expected an initial size then an increment in columns 1-6 "
            "and 8-13, or an initial size then an increment separated by commas, semicolons, tabs "
            "or blanks.\nFile: " +
                path + "\n");
}

}  // namespace
}  // namespace estimetrix
