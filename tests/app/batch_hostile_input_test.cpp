// The runner given what a careless script or a fuzzer gives it: parameter
// numbers the model does not have, answers the program keeps refusing, runs
// of months, folders and logs that cannot be written, values the model cannot
// evaluate, empty file names, byte-order marks and control characters. Each
// ends with a clear message and the exit status a script can rely on.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
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
using testing::TemporaryFolder;

const std::string kDungenessFolder = std::string(ESTIMETRIX_EXAMPLES) + "/dungeness/";
const std::string kDungenessSetup = kDungenessFolder + "dungeness.setup";
const std::string kDungenessAlgorithm = kDungenessFolder + "dungeness.alg";

// The Dungeness fit frees Beta 0 and Beta 1 (parameters 2 and 3) and Tau 0
// and Tau 1 (12 and 13), each line a value in columns 1-14 and a step in
// 15-30.
const std::string kBetaZero = " 2.0000000E+01   1.0000000E-02";
const std::string kBetaOne = "-3.0000000E-02   1.0000000E-04";
const std::string kTauZero = " 2.5000000E+00   1.0000000E-02";
const std::string kTauOne = " 0.0000000E+00   5.0000000E-04";

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The Dungeness algorithm file with whole value-and-step fields replaced.
std::string WriteAlgorithm(const TemporaryFolder& folder, const std::string& name,
                           const std::vector<std::pair<std::string, std::string>>& edits) {
  std::string text = FileBytes(kDungenessAlgorithm);
  for (const auto& [from, to] : edits) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
  }
  const std::string path = folder.File(name);
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

// Only Beta 0 free: a posterior of it has nothing to integrate over.
std::string OneFreeParameter(const TemporaryFolder& folder) {
  return WriteAlgorithm(folder, "one.alg",
                        {{kBetaOne, "-3.0000000E-02   0.0000000E+00"},
                         {kTauZero, " 2.5000000E+00   0.0000000E+00"},
                         {kTauOne, " 0.0000000E+00   0.0000000E+00"}});
}

BatchRun Dungeness(std::vector<std::string> words) {
  words.insert(words.begin(), {"--setup", kDungenessSetup, "--threads", "2"});
  return testing::RunBatchWords(words);
}

// ---- 1. Arguments the engine would ask about for ever --------------------

TEST(BatchHostileInput, ParameterNumbersTheModelDoesNotHaveAreRefusedBeforeAnyQuestion) {
  for (const std::vector<std::string>& command :
       {std::vector<std::string>{"posterior", "22", "5", "5"},
        std::vector<std::string>{"profile", "22", "5", "simplex"},
        std::vector<std::string>{"profile", "1000000,5,marquardt"}}) {
    const BatchRun run = Dungeness(command);
    EXPECT_EQ(run.status, 1) << command[0] << "\n" << run.err;
    EXPECT_TRUE(Has(run.err, command[0] + ": PARAM must be a parameter number from 1 to 21"))
        << run.err;
    EXPECT_FALSE(Has(run.err, "Choose the parameter number")) << run.err;
    EXPECT_TRUE(run.out.empty());
  }
}

// A command that asks for a number until it gets "42", and an answerer that
// always gives the same wrong one: the runner must stop the third time.
TEST(BatchHostileInput, AnAnswerRefusedTwiceEndsTheCommandInsteadOfLooping) {
  auto asked = std::make_shared<int>(0);
  auto ranAfter = std::make_shared<bool>(false);
  BatchArea area;
  area.commands.push_back(
      {"insist", "", "Asks until it likes the answer.",
       [asked](BatchSession& session, const std::string&) {
         while (*asked < 1000) {
           ++*asked;
           std::optional<std::string> answer = session.desktop.Input({"Pick", "Choose 42", ""});
           if (!answer) return kBatchFailed;
           if (*answer == "42") return kBatchSucceeded;
         }
         return kBatchSucceeded;
       }});
  area.commands.push_back(
      {"after", "", "Notes that it ran.", [ranAfter](BatchSession&, const std::string&) {
         *ranAfter = true;
         return kBatchSucceeded;
       }});
  area.answerers.push_back([](const DialogRecord& record, BatchSession&) {
    std::optional<DialogReply> reply;
    if (record.title == "Pick") reply = DialogReply{Answer::Ok, std::string("7")};
    return reply;
  });
  std::ostringstream out, err;
  const int status =
      RunBatch({ModelBatchArea(), area}, {"--setup", kDungenessSetup, "insist", "after"}, out, err);
  EXPECT_EQ(status, kBatchFailed);
  EXPECT_EQ(*asked, 3);
  EXPECT_FALSE(*ranAfter);
  EXPECT_TRUE(Has(err.str(),
                  "Pick: Choose 42\nestimetrix-batch: the answer to this question "
                  "was refused twice; the command ends"))
      << err.str();
}

// ---- 2. Runs of months ---------------------------------------------------

TEST(BatchLongRuns, APosteriorOfATrillionCallsIsShownAndDeclinedUnlessAllowed) {
  const BatchRun plain = Dungeness({"posterior", "2", "1001", "1001"});
  EXPECT_EQ(plain.status, 2) << plain.err;
  EXPECT_TRUE(Has(plain.err,
                  "Function calls required: This evaluation requires 1004006004001 "
                  "function calls"))
      << plain.err;
  EXPECT_TRUE(Has(plain.err, "seconds per call on 2 threads it will take about ")) << plain.err;
  EXPECT_TRUE(Has(plain.err, "(m:s)")) << plain.err;
  EXPECT_TRUE(Has(plain.err, "no option answers this question (--yes-long-runs goes on"))
      << plain.err;
  EXPECT_FALSE(Has(plain.out, "Bayesian posterior distribution data"));

  const BatchRun tight = Dungeness({"--max-seconds", "60", "posterior", "2", "1001", "1001"});
  EXPECT_EQ(tight.status, 2) << tight.err;
  EXPECT_TRUE(Has(tight.err, "is more than --max-seconds 60")) << tight.err;

  const BatchRun bad = Dungeness({"--max-seconds", "soon", "posterior", "2", "1001", "1001"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_TRUE(Has(bad.err, "--max-seconds needs a number of seconds, not \"soon\"")) << bad.err;
}

TEST(BatchLongRuns, ALongPosteriorWithinTheBudgetGoesOnAndSaysSo) {
  TemporaryFolder folder;
  // Beta 0 and Beta 1 free: 1001 points of 33 grid points, just over the
  // calls that run without the question, and a second or so of work.
  const std::string two = WriteAlgorithm(
      folder, "two.alg",
      {{kTauZero, " 2.5000000E+00   0.0000000E+00"}, {kTauOne, " 0.0000000E+00   0.0000000E+00"}});
  const BatchRun run =
      Dungeness({"--alg", two, "--max-seconds", "100000", "posterior", "2", "1001", "33"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(Has(run.err, "This evaluation requires 33033 function calls")) << run.err;
  EXPECT_TRUE(Has(run.err, "going on: about ")) << run.err;
  EXPECT_TRUE(Has(run.err, " fits --max-seconds 100000")) << run.err;
  EXPECT_TRUE(Has(run.out, "Bayesian posterior distribution data")) << run.out;
}

TEST(BatchLongRuns, AProfileOfManyCallsAsksOnceItsFirstPointIsTimed) {
  const BatchRun run = Dungeness({"profile", "3", "1001", "simplex"});
  EXPECT_EQ(run.status, 2) << run.err;
  EXPECT_TRUE(Has(run.err, "Function calls required: This profile requires about ")) << run.err;
  EXPECT_TRUE(Has(run.err, "(1001 points of about ")) << run.err;
  EXPECT_TRUE(Has(run.err, "the other 1000 points will take about ")) << run.err;
  EXPECT_FALSE(Has(run.out, "Maximum-likelihood confidence distribution data"));

  // A short profile runs as before, without the question.
  const BatchRun brief = Dungeness({"profile", "3", "5", "simplex"});
  EXPECT_EQ(brief.status, 0) << brief.err;
  EXPECT_FALSE(Has(brief.err, "Function calls required")) << brief.err;
}

// ---- 3. Failures that used to exit 0 -------------------------------------

// A plot writer that fails every file, as a full disk would.
class FailingPlots : public NullPlotView {
 public:
  explicit FailingPlots(std::ostream& errors) : errors_(errors) {}
  void ShowDistribution(const DistributionPlot&) override {
    errors_ << "Could not write the plot file x.png: no space\n";
  }

 private:
  std::ostream& errors_;
};

BatchRun DungenessWithPlots(const std::string& folder, std::vector<std::string> words) {
  words.insert(words.begin(), {"--setup", kDungenessSetup, "--plots", folder});
  std::ostringstream out, err;
  BatchRun run;
  run.status =
      RunBatch(AllBatchAreas(), words, out, err, [](const std::string&, std::ostream& errors) {
        return std::make_unique<FailingPlots>(errors);
      });
  run.out = out.str();
  run.err = err.str();
  return run;
}

TEST(BatchFailures, PlotsThatCannotBeWrittenEndTheRunWithStatusOne) {
  TemporaryFolder folder;
  const std::string file = folder.File("not-a-folder");
  std::ofstream(file) << "x";
  BatchRun run = DungenessWithPlots(file, {"evaluate"});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Has(run.err, "--plots: " + file + " is not a folder")) << run.err;
  EXPECT_TRUE(run.out.empty());

  // Read-only by its mode: refused whoever runs the test.
  const std::string locked = folder.File("locked");
  std::filesystem::create_directory(locked);
  ASSERT_EQ(::chmod(locked.c_str(), 0555), 0);
  run = DungenessWithPlots(locked, {"evaluate"});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Has(run.err, locked + " is a folder this run may not write into")) << run.err;

  // A folder that is fine, but whose files fail: the command that drew
  // them is the last.
  const std::string plots = folder.File("new/plots");
  run = DungenessWithPlots(plots, {"profile", "3", "5", "simplex", "evaluate"});
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_TRUE(std::filesystem::is_directory(plots));
  EXPECT_TRUE(Has(run.err, "Could not write the plot file x.png")) << run.err;
  EXPECT_TRUE(Has(run.err, "--plots: not every plot was written")) << run.err;
  EXPECT_FALSE(Has(run.out, "objective ")) << run.out;
}

TEST(BatchFailures, ValuesTheModelCannotEvaluateRefuseTheSummaryAndFailTheSave) {
  TemporaryFolder folder;
  const std::string huge =
      WriteAlgorithm(folder, "huge.alg", {{kBetaZero, "1.7976931E+308   1.0000000E-02"}});
  const std::string exo = folder.File("fit.exo");
  const BatchRun summary = Dungeness({"--alg", huge, "summary", exo});
  EXPECT_EQ(summary.status, 1);
  EXPECT_TRUE(Has(summary.err,
                  "The model gave no finite objective (Infinity) at the current "
                  "parameter values, so no results summary is made"))
      << summary.err;
  EXPECT_FALSE(Has(summary.out, "AICc")) << summary.out;
  EXPECT_FALSE(std::filesystem::exists(exo));

  const std::string saved = folder.File("saved.alg");
  const BatchRun save = Dungeness({"--alg", huge, "save-alg", saved, "evaluate"});
  EXPECT_EQ(save.status, 1);
  EXPECT_TRUE(Has(save.out, "objective inf at the values as written")) << save.out;
  EXPECT_TRUE(Has(save.err, "save-alg: " + saved + ": the model gives no finite objective"))
      << save.err;
  EXPECT_TRUE(std::filesystem::exists(saved));  // written, as asked, but not called a success
}

TEST(BatchFailures, ALogThatCannotBeWrittenIsReportedAndAPipeIsRefused) {
  if (std::filesystem::exists("/dev/full")) {
    const BatchRun full = Dungeness({"--log", "/dev/full", "simplex"});
    EXPECT_EQ(full.status, 1);
    EXPECT_TRUE(Has(full.err, "the log file /dev/full could not be written: " +
                                  std::string(std::strerror(ENOSPC))))
        << full.err;
  }
  TemporaryFolder folder;
  const std::string pipe = folder.File("log.exl");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
  ::alarm(30);  // opening a pipe without a reader would wait for ever
  const BatchRun fifo = Dungeness({"--log", pipe, "simplex"});
  ::alarm(0);
  EXPECT_EQ(fifo.status, 1);
  EXPECT_TRUE(Has(fifo.err, "cannot create the log file " + pipe + ": it is a pipe")) << fifo.err;
  EXPECT_TRUE(fifo.out.empty());
}

// ---- 4. Smaller ones -----------------------------------------------------

TEST(BatchSmallerOnes, AnEmptyFileNameIsRefusedBeforeAnythingRuns) {
  for (const std::vector<std::string>& words :
       {std::vector<std::string>{"evaluate", "save-alg", ""},
        std::vector<std::string>{"evaluate", "load-alg", ""},
        std::vector<std::string>{"evaluate", "save-cov", ""},
        std::vector<std::string>{"evaluate", "rank-add", ""},
        std::vector<std::string>{"evaluate", "save-mms", ""},
        std::vector<std::string>{"evaluate", "summary", ""},
        std::vector<std::string>{"--log=", "evaluate"}}) {
    const BatchRun run = Dungeness(words);
    EXPECT_EQ(run.status, 1) << words[1];
    EXPECT_TRUE(Has(run.err, ": no file name given")) << run.err;
    EXPECT_TRUE(run.out.empty()) << run.out;  // not even the evaluate before it
  }
  const BatchRun plots = Dungeness({"--plots", "", "evaluate"});
  EXPECT_EQ(plots.status, 1);
  EXPECT_TRUE(Has(plots.err, "--plots: no folder name given")) << plots.err;
}

TEST(BatchSmallerOnes, ByteOrderMarksAreAcceptedInSetupAndPriorsFiles) {
  TemporaryFolder folder;
  const std::string mark = "\xEF\xBB\xBF";
  const std::string setup = folder.File("marked.setup");
  std::ofstream(setup, std::ios::binary) << mark << "increments=" << kDungenessFolder
                                         << "dungeness_females.dat\r\nincrement-instars=0\r\n"
                                         << "alg=" << kDungenessAlgorithm << "\r\n";
  const std::string priors = folder.File("marked.pri");
  std::ofstream(priors, std::ios::binary)
      << mark << FileBytes(std::string(ESTIMETRIX_TEST_DATA) + "/priors/dungeness_beta1.pri");

  const BatchRun plain = Dungeness({"evaluate"});
  const BatchRun run = testing::RunBatchWords({"--setup", setup, "--priors", priors, "evaluate"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(Has(run.err, "priors: " + priors + " in force")) << run.err;
  // The priors weigh in: the objective is the plain one plus the prior term.
  EXPECT_NE(run.out.substr(run.out.rfind("objective ")),
            plain.out.substr(plain.out.rfind("objective ")));
}

TEST(BatchSmallerOnes, ControlCharactersFromASetupFileAreShownEscaped) {
  TemporaryFolder folder;
  const std::string setup = folder.File("noisy.setup");
  std::ofstream(setup, std::ios::binary) << "instars=\x1B[2Jgamma\r\n\x07key=1\r\n";
  const BatchRun run = testing::RunBatchWords({"--setup", setup, "evaluate"});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Has(run.err, "instars must be gaussian or gamma, not \"\\x1B[2Jgamma\"")) << run.err;
  EXPECT_EQ(run.err.find('\x1B'), std::string::npos) << run.err;

  std::ofstream(setup, std::ios::binary) << "\x07key=1\r\n";
  const BatchRun key = testing::RunBatchWords({"--setup", setup, "evaluate"});
  EXPECT_EQ(key.status, 1);
  EXPECT_TRUE(Has(key.err, "unknown set-up key \"\\x07key\"")) << key.err;
  EXPECT_EQ(key.err.find('\x07'), std::string::npos) << key.err;
}

TEST(BatchSmallerOnes, APosteriorOfTheOnlyFreeParameterNeedsNoGrid) {
  TemporaryFolder folder;
  const std::string one = OneFreeParameter(folder);
  const BatchRun bare = Dungeness({"--alg", one, "posterior", "2", "5", "evaluate"});
  ASSERT_EQ(bare.status, 0) << bare.err;
  EXPECT_TRUE(Has(bare.out, "Bayesian posterior distribution data")) << bare.out;
  EXPECT_TRUE(Has(bare.out, "objective ")) << bare.out;  // evaluate was a command, not GRID

  const BatchRun zero = Dungeness({"--alg", one, "posterior", "2,5,0"});
  EXPECT_EQ(zero.status, 0) << zero.err;
  EXPECT_EQ(bare.out.rfind(zero.out, 0), 0u) << zero.out;  // the same report

  // With other parameters free the grid cannot be left out.
  const BatchRun needs = Dungeness({"posterior", "2", "5"});
  EXPECT_EQ(needs.status, 1);
  EXPECT_TRUE(Has(needs.err, "posterior: GRID is needed: parameters other than 2 are free"))
      << needs.err;
}

}  // namespace
}  // namespace estimetrix
