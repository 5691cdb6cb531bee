// The runner's results summary: the saved .exo of a fitted example against a
// reviewed copy, repeatability with a seed, and options that are refused.

#include <gtest/gtest.h>

#include "app/batch_runner.h"
#include "tests/support/batch_run.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temporary_folder.h"

namespace estimetrix {
namespace {

using testing::BatchRun;
using testing::RunBatchWords;

using testing::FileBytes;

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

const std::string kExamples = ESTIMETRIX_EXAMPLES;

// The fitted Dungeness increment model (linear SD) with its increment table
// and a 20-randomisation goodness-of-fit test from seed 1.
std::vector<std::string> DungenessSummary(const std::string& exo) {
  return {"--setup",          kExamples + "/dungeness/dungeness.setup",
          "--alg",            kExamples + "/dungeness-ranking/linear_sd.alg",
          "--seed",           "1",
          "--randomizations", "20",
          "--increment-tables",
          "--increment-gof",
          "summary",          exo};
}

TEST(BatchSummary, TheDungenessSummaryIsTheReviewedFileByteForByte) {
  testing::TemporaryFolder folder;
  const std::string exo = (folder.Path() / "dungeness.exo").string();
  const BatchRun run = RunBatchWords(DungenessSummary(exo));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "Summary: Summary complete\n");

  std::string expected =
      FileBytes(std::string(ESTIMETRIX_TEST_DATA) + "/model/dungeness_summary.exo");
  ASSERT_FALSE(expected.empty());
  ReplaceAll(expected, "@OUT@", exo);
  ReplaceAll(expected, "@EXAMPLES@", kExamples);
  EXPECT_EQ(FileBytes(exo), expected);

  // Standard output has the report without the saved-file header, with LF ends.
  std::string body = expected.substr(expected.find("\r\n\r\n") + 4);
  ReplaceAll(body, "\r\n", "\n");
  EXPECT_EQ(run.out, body);
}

TEST(BatchSummary, TheSameSeedWritesTheSameFileAndAnotherSeedDoesNot) {
  testing::TemporaryFolder folder;
  auto bodyOf = [&](const std::string& name, const std::string& seed) {
    const std::string exo = (folder.Path() / name).string();
    std::vector<std::string> words = DungenessSummary(exo);
    words[5] = seed;
    const BatchRun run = RunBatchWords(words);
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string text = FileBytes(exo);
    return text.substr(text.find('\n'));  // the header names the file
  };
  const std::string first = bodyOf("a.exo", "1");
  EXPECT_EQ(bodyOf("b.exo", "1"), first);
  const std::string other = bodyOf("c.exo", "2");
  EXPECT_NE(other, first);
  EXPECT_NE(other.find("Random seed for the randomizations and simulations: 2"),
            std::string::npos);
}

TEST(BatchSummary, UnansweredQuestionsAreDeclinedAndBadCountsRefused) {
  testing::TemporaryFolder folder;
  const std::string exo = (folder.Path() / "plain.exo").string();
  const std::string setup = kExamples + "/snowcrab-sgsl-sizefreq/snowcrab-sgsl-sizefreq.setup";
  // Every question declined: no table, no test, and the run does not wait.
  BatchRun run = RunBatchWords({"--setup", setup, "summary", exo});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("No frequency statistics by instar requested to be reported."),
            std::string::npos);
  EXPECT_EQ(run.out.find("Size frequency results for series"), std::string::npos);
  EXPECT_EQ(run.out.find("Pearson deviates"), std::string::npos);
  EXPECT_EQ(run.err, "Summary: Summary complete\n");

  for (const auto& [option, value] :
       std::vector<std::pair<std::string, std::string>>{{"--seed", "-3"},
                                                        {"--seed", "twelve"},
                                                        {"--randomizations", "2000000000"},
                                                        {"--simulate", "10001"}}) {
    SCOPED_TRACE(option + " " + value);
    run = RunBatchWords({"--setup", setup, option, value, "summary", exo});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(option + " needs a whole number"), std::string::npos) << run.err;
  }
}

}  // namespace
}  // namespace estimetrix
