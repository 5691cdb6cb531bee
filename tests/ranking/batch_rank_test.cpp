// The runner's ranking commands on the Dungeness ranking example: three
// fitted models ranked by AICc with the model's sample size, averaged over
// their covariance files, and saved.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/batch_runner.h"
#include "platform/text_file.h"
#include "tests/support/batch_run.h"
#include "tests/support/temporary_folder.h"

namespace estimetrix {
namespace {

using testing::BatchRun;
using testing::RunBatchWords;

std::string Example(const std::string& name) {
  return std::string(ESTIMETRIX_EXAMPLES) + "/" + name;
}

TEST(BatchRank, RanksAveragesAndSavesTheDungenessExample) {
  testing::TemporaryFolder folder("batch_rank");
  const std::string mms = folder.File("dungeness.mms");
  BatchRun run =
      RunBatchWords({"--setup", Example("dungeness/dungeness.setup"), "rank-add",
                     Example("dungeness-ranking/linear_sd.alg"), "rank-add",
                     Example("dungeness-ranking/constant_sd.alg"), "rank-add",
                     Example("dungeness-ranking/curved_mean.alg"), "rank", "save-mms", mms});
  ASSERT_EQ(run.status, 0) << run.err;
  // The model reports its 472 increment records as the sample size.
  EXPECT_NE(run.err.find("rank-add: model 1 linear_sd.alg: -ln[L] 958.37"), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find(", K 4, n 472, AICc 1924.83"), std::string::npos) << run.err;
  EXPECT_NE(run.out.find("     1  9.5837E+02     4  1.9248E+03  0.0000E+00     0.55865"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("constant_sd.alg                           constant_sd.cov  \r\n\r\n"
                         "Parameter estimates"),
            std::string::npos);
  // Grid 1 failed for the curved-mean model, so every grid-1 SE is -1.
  EXPECT_NE(run.out.find("          2       2.5664E+01     -1.0000E+00"), std::string::npos)
      << run.out;
  std::string error;
  auto saved = ReadTextLines(mms, error);
  ASSERT_TRUE(saved) << error;
  auto reference = ReadTextLines(Example("dungeness-ranking/dungeness.mms"), error);
  ASSERT_TRUE(reference) << error;
  EXPECT_EQ(*saved, *reference);
}

TEST(BatchRank, CHatAndRefusals) {
  BatchRun run = RunBatchWords({"--setup", Example("dungeness/dungeness.setup"), "--c-hat", "2",
                                "rank-add", Example("dungeness-ranking/linear_sd.alg"), "rank-add",
                                Example("dungeness-ranking/constant_sd.alg"), "rank"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.rfind("     2 < Number of models ranked; C-hat for QAICc calculation: 2.000\r\n"
                          " Model     -nln[L] #Prms       QAICc",
                          0),
            0u)
      << run.out;

  run = RunBatchWords({"--setup", Example("dungeness/dungeness.setup"), "--c-hat", "0.5", "rank"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("--c-hat needs a number of 1 or greater"), std::string::npos);

  run = RunBatchWords({"--setup", Example("dungeness/dungeness.setup"), "rank-add",
                       Example("dungeness-ranking/linear_sd.alg"), "rank"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("rank: add at least two models first"), std::string::npos);
}

// The first model's likelihood constant comes from --likelihood-constant when
// it is given: 0.25 halves the -ln[L] of the suggested 0.5. A constant that
// is no positive number is refused before any model is added.
TEST(BatchRank, LikelihoodConstantOptionIsHonouredAndCheckedByRankAdd) {
  BatchRun run = RunBatchWords({"--setup", Example("dungeness/dungeness.setup"),
                                "--likelihood-constant", "0.25", "rank-add",
                                Example("dungeness-ranking/linear_sd.alg")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("rank-add: model 1 linear_sd.alg: -ln[L] 479.18"), std::string::npos)
      << run.err;

  for (const char* constant : {"-0.5", "0", "abc"}) {
    run = RunBatchWords({"--setup", Example("dungeness/dungeness.setup"), "--likelihood-constant",
                         constant, "rank-add", Example("dungeness-ranking/linear_sd.alg")});
    EXPECT_EQ(run.status, 1) << constant;
    EXPECT_NE(run.err.find(std::string("--likelihood-constant needs a positive number, not \"") +
                           constant + "\""),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("rank-add: model 1"), std::string::npos) << constant;
  }
}

// Four increment records and three free parameters: n - K - 1 = 0, so every
// model's AICc is undefined and none has a weight. The runner says so rather
// than blaming the covariance files.
TEST(BatchRank, NoAveragesWhenEveryCriterionIsUndefinedSaysWhy) {
  testing::TemporaryFolder folder("batch_rank_undefined");
  {
    std::ofstream data(folder.File("four.dat"));
    data << "Initial,Increment\n  31.1,   7.7\n  40.5,  11.3\n  62.7,  19.6\n  71.4,  20.1\n";
    std::ofstream setup(folder.File("four.setup"));
    setup << "increments=" << folder.File("four.dat")
          << "\nincrement-instars=0\nincrement-errors=gaussian\n";
  }
  for (const char* name : {"first.alg", "second.alg"})
    std::filesystem::copy_file(Example("dungeness-ranking/constant_sd.alg"), folder.File(name));
  BatchRun run =
      RunBatchWords({"--setup", folder.File("four.setup"), "rank-add", folder.File("first.alg"),
                     "rank-add", folder.File("second.alg"), "rank"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find(", K 3, n 4, AICc undefined"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("rank: no averages: every AICc is undefined (sample size less free "
                         "parameters less 1 is 0), so no model has a weight"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(run.err.find("covariance file is missing"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace estimetrix
