// The runner's ranking commands on the Dungeness ranking example: three
// fitted models ranked by AICc with the model's sample size, averaged over
// their covariance files, and saved.

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace estimetrix
