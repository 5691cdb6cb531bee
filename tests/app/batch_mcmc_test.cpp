// The runner's Markov chains and aligned grid on the Tanner crab increments
// example: the report on standard output, the draws and report files, the
// same draws for any thread count, and the arguments it refuses.

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
using testing::FileBytes;
using testing::RunTannerCrabIncrements;

TEST(BatchMarkovChains, TheReportIsPrintedAndTheFilesSavedAlikeForAnyThreadCount) {
  testing::TemporaryFolder folder;
  auto run = [&](const std::string& threads, const std::string& name) {
    return RunTannerCrabIncrements({"--threads", threads, "--seed", "99", "--chains", "2", "mcmc",
                                    "100", "save-mcmc", folder.File(name + ".csv"),
                                    "save-mcmc-report", folder.File(name + ".mcp")});
  };
  const BatchRun one = run("1", "one"), two = run("2", "two");
  ASSERT_EQ(one.status, 0) << one.err;
  ASSERT_EQ(two.status, 0) << two.err;
  EXPECT_EQ(one.out.rfind("Markov chain posterior\n", 0), 0u) << one.out;
  EXPECT_NE(one.out.find("Seed:           99\n"), std::string::npos);
  EXPECT_NE(one.out.find("Chains:         2\n"), std::string::npos);
  EXPECT_NE(one.out.find("Warm-up:        100 draws per chain"), std::string::npos);
  const std::string csv = FileBytes(folder.File("one.csv"));
  EXPECT_EQ(csv.rfind("chain,draw,p", 0), 0u);
  EXPECT_EQ(csv, FileBytes(folder.File("two.csv")));
  size_t lines = 0;
  for (char c : csv) lines += c == '\n';
  EXPECT_EQ(lines, 1u + 2u * 100u);
  const std::string report = folder.File("one.mcp");
  EXPECT_EQ(FileBytes(report).rfind("Originally saved with the file name: " + report +
                                        "\r\n\r\nMarkov chain posterior\r\n",
                                    0),
            0u);
}

TEST(BatchMarkovChains, TheAlignedGridIsChosenByItsOptionAndNamedInTheReport) {
  const std::string example = std::string(ESTIMETRIX_EXAMPLES) + "/dungeness/";
  auto run = [&](bool aligned) {
    std::vector<std::string> words = {"--setup",
                                      example + "dungeness.setup",
                                      "--likelihood-constant",
                                      "0.5",
                                      "--steps-from-covariance",
                                      "2",
                                      "simplex",
                                      "marquardt",
                                      "covariance",
                                      "posterior",
                                      "3,9,9"};
    if (aligned) words.insert(words.begin(), "--aligned-grid");
    return testing::RunBatchWords(words);
  };
  const BatchRun axes = run(false), aligned = run(true);
  ASSERT_EQ(axes.status, 0) << axes.err;
  ASSERT_EQ(aligned.status, 0) << aligned.err;
  EXPECT_EQ(axes.out.find("Grid: along the covariance"), std::string::npos);
  EXPECT_NE(aligned.out.find("\nGrid: along the covariance of grid 2 (conditional means"),
            std::string::npos)
      << aligned.out;
}

TEST(BatchMarkovChains, BadArgumentsAndMissingResultsAreRefused) {
  testing::TemporaryFolder folder;
  BatchRun draws = RunTannerCrabIncrements({"mcmc", "five"});
  EXPECT_EQ(draws.status, 1);
  EXPECT_NE(draws.err.find("mcmc needs DRAWS"), std::string::npos) << draws.err;
  BatchRun chains = RunTannerCrabIncrements({"--chains", "0", "mcmc", "100"});
  EXPECT_EQ(chains.status, 1);
  EXPECT_NE(chains.err.find("--chains needs a whole number from 1 to 64"), std::string::npos);
  BatchRun proposal = RunTannerCrabIncrements({"--proposal-from-covariance", "2", "mcmc", "100"});
  EXPECT_EQ(proposal.status, 1);
  EXPECT_NE(proposal.err.find("run covariance first"), std::string::npos) << proposal.err;
  BatchRun noDraws = RunTannerCrabIncrements({"save-mcmc", folder.File("draws.csv")});
  EXPECT_EQ(noDraws.status, 1);
  EXPECT_NE(noDraws.err.find("save-mcmc: no Markov chain draws"), std::string::npos);
  BatchRun aligned = RunTannerCrabIncrements({"--aligned-grid", "posterior", "3,5,5"});
  EXPECT_EQ(aligned.status, 1);
  EXPECT_NE(aligned.err.find("--aligned-grid needs --steps-from-covariance"), std::string::npos)
      << aligned.err;
}

}  // namespace
}  // namespace estimetrix
