// The runner's evaluation commands on the Tanner crab increments example:
// the reports on standard output, the saved files, and arguments it refuses.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/batch_runner.h"
#include "tests/support/batch_run.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temporary_folder.h"

namespace estimetrix {
namespace {

using testing::BatchRun;
using testing::RunTannerCrabIncrements;

using testing::FileBytes;

TEST(BatchEvaluation, PosteriorAndProfileReportsArePrintedAndSaved) {
  testing::TemporaryFolder folder;
  const std::string pos = folder.File("run.pos"), mlc = folder.File("run.mlc");
  BatchRun run = RunTannerCrabIncrements({"posterior", "3", "5", "5", "save-pos", pos, "profile",
                                          "3", "4", "simplex", "save-mlc", mlc, "--threads", "2"});
  ASSERT_EQ(run.status, 0) << run.err;
  const size_t posterior = run.out.find("Bayesian posterior distribution data\n");
  const size_t profile = run.out.find("Maximum-likelihood confidence distribution data\n");
  ASSERT_NE(posterior, std::string::npos) << run.out;
  ASSERT_NE(profile, std::string::npos) << run.out;
  EXPECT_LT(posterior, profile);
  EXPECT_NE(run.out.find("    5    "), std::string::npos);  // P = 4 became 5 points
  EXPECT_EQ(FileBytes(pos).rfind("Originally saved with the file name: " + pos + "\r\n\r\n"
                                 "Bayesian posterior distribution data\r\n",
                                 0),
            0u);
  EXPECT_EQ(FileBytes(mlc).rfind("Originally saved with the file name: " + mlc + "\r\n\r\n"
                                 "Maximum-likelihood confidence distribution data\r\n",
                                 0),
            0u);
}

TEST(BatchEvaluation, BadArgumentsAndMissingResultsAreRefused) {
  testing::TemporaryFolder folder;
  BatchRun bad = RunTannerCrabIncrements({"posterior", "3,five,5"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.err.find("posterior needs PARAM POINTS GRID"), std::string::npos) << bad.err;
  BatchRun method = RunTannerCrabIncrements({"profile", "3,5,newton"});
  EXPECT_EQ(method.status, 1);
  BatchRun noGrid =
      RunTannerCrabIncrements({"posterior", "3,5,5", "save-grd", folder.File("run.grd")});
  EXPECT_EQ(noGrid.status, 1);
  EXPECT_NE(noGrid.err.find("save-grd: no bivariate grid"), std::string::npos) << noGrid.err;
  BatchRun noReport = RunTannerCrabIncrements({"save-mlc", folder.File("run.mlc")});
  EXPECT_EQ(noReport.status, 1);
  EXPECT_NE(noReport.err.find("run profile first"), std::string::npos) << noReport.err;
  BatchRun steps = RunTannerCrabIncrements({"--steps-from-covariance", "2", "posterior", "3,5,5"});
  EXPECT_EQ(steps.status, 1);
  EXPECT_NE(steps.err.find("run covariance first"), std::string::npos) << steps.err;
}

}  // namespace
}  // namespace estimetrix
