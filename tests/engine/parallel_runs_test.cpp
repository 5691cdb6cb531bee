// A covariance calculation and a Marquardt run on a worked example give the
// same reports, files, values and model snapshot on one thread and on two.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine/covariance/covariance.h"
#include "engine/covariance/covariance_report.h"
#include "engine/minimizers/marquardt.h"
#include "engine/objective/evaluation_batch.h"
#include "engine/state/algorithm_file.h"
#include "engine/state/workbench.h"
#include "model/carapex_model.h"
#include "model/initialize.h"
#include "platform/scripted_desktop.h"
#include "tests/support/recording_marquardt_view.h"
#include "tests/support/temporary_folder.h"

namespace estimetrix {
namespace {

namespace fs = std::filesystem;

struct LogViews : CovarianceViews {
  void EditAlgorithmDataAndWait() override {}
  void ShowProgress() override {}
  void AppendLog(const std::string& text) override { log += text; }
  void EnableInterrupt() override {}
  void ShowDisplay() override {}
  std::string log;
};

// Everything a user could see or save after a run, and the model's snapshot.
struct RunRecord {
  std::string log, report, file;
  std::vector<std::string> dialogues;
  Vector values;
  int functionCalls = 0, iterations = 0;
  double bestObjective = 0.0;
  Vector bestValues;
  double bestFrequencyTerm = 0.0;
  Matrix bestPredicted;
};

// The example's set-up and starting algorithm file, on `threads` threads.
void LoadExample(const std::string& name, Workbench& wb, int threads) {
  const fs::path folder = fs::path(ESTIMETRIX_EXAMPLES) / name;
  ScriptedDesktop loading;
  loading.SetResponder(ScriptedDesktop::DeclineEverything);
  std::string algorithm, error;
  const auto setup = ReadSetupFile((folder / (name + ".setup")).string(), algorithm, error);
  ASSERT_TRUE(setup) << error;
  ASSERT_TRUE(InitializeCarapex(wb, loading, *setup));
  ASSERT_TRUE(LoadAlgorithmFile(wb, loading, (folder / (name + ".alg")).string()));
  wb.ThreadCount = threads;
}

void RecordSnapshot(const Workbench& wb, RunRecord& record) {
  const auto& model = static_cast<const CarapexModel&>(*wb.model);
  record.values = wb.alg.Values;
  record.bestObjective = model.BestObjective();
  record.bestValues = model.BestValues();
  record.bestFrequencyTerm = model.Best().FrequencyTerm;
  record.bestPredicted = model.Best().PredictedFrequency;
}

std::vector<std::string> Dialogues(const ScriptedDesktop& desktop) {
  std::vector<std::string> texts;
  for (const auto& record : desktop.Transcript())
    texts.push_back(record.title + ": " + record.text);
  return texts;
}

RunRecord Covariance(const std::string& name, int threads, const std::string& factor) {
  RunRecord record;
  Workbench wb;
  LoadExample(name, wb, threads);
  EXPECT_EQ(ParallelEvaluation(wb), threads > 1);
  ScriptedDesktop desktop;
  desktop.ExpectMessage(kCovarianceTitle, Answer::No);
  desktop.ExpectMessage(kCovarianceTitle, Answer::Ok);
  desktop.ExpectInput(kCovarianceTitle, factor);
  desktop.ExpectInput(kCovarianceTitle, "0.1");
  desktop.ExpectInput(kCovarianceTitle, "0.01");
  desktop.ExpectMessage(kCovarianceTitle, Answer::Yes);
  desktop.ExpectInput("Enter constant", "0.5");
  desktop.ExpectMessage("Calculate optimistic SEs only?", Answer::No);
  LogViews views;
  EXPECT_TRUE(CovarianceCalculator(wb, desktop, views));
  EXPECT_TRUE(desktop.Failures().empty()) << desktop.Failures().front();
  record.log = views.log;
  record.report = BuildCovarianceReport(wb, desktop);
  record.file = CovarianceFileHeader("snow.cov") + record.report;
  record.dialogues = Dialogues(desktop);
  RecordSnapshot(wb, record);
  return record;
}

RunRecord Marquardt(const std::string& name, int threads, int iterations) {
  RunRecord record;
  Workbench wb;
  LoadExample(name, wb, threads);
  const testing::TemporaryFolder folder("parallel_runs");
  const std::string logPath = folder.File("run.exl");
  EXPECT_TRUE(wb.log.Open(logPath));
  wb.alg.MaxFunctionCalls = iterations;
  wb.alg.FileOutputFrequency = 1;
  wb.state.MarquardtDerivatives = DerivativeChoice::Numerical;
  wb.marquardt.ShowDerivatives = false;
  NormalizeFuseGroups(wb.alg, wb.fuse);
  BuildFreeParameterList(wb.alg, wb.free);
  SizeMarquardtDerivatives(wb);
  ScriptedDesktop desktop;
  desktop.SetResponder(ScriptedDesktop::DeclineEverything);
  testing::RecordingMarquardtView view;
  MarquardtMinimize(wb, desktop, view);
  wb.log.Close();
  std::ifstream in(logPath, std::ios::binary);
  record.file.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  record.report = view.text;
  record.dialogues = Dialogues(desktop);
  record.functionCalls = wb.state.FunctionCallCount;
  record.iterations = wb.marquardt.IterationCount;
  RecordSnapshot(wb, record);
  return record;
}

void ExpectSame(const RunRecord& one, const RunRecord& two) {
  EXPECT_EQ(one.log, two.log);
  EXPECT_EQ(one.report, two.report);
  EXPECT_EQ(one.file, two.file);
  EXPECT_EQ(one.dialogues, two.dialogues);
  EXPECT_EQ(one.values, two.values);
  EXPECT_EQ(one.functionCalls, two.functionCalls);
  EXPECT_EQ(one.iterations, two.iterations);
  EXPECT_EQ(one.bestObjective, two.bestObjective);
  EXPECT_EQ(one.bestValues, two.bestValues);
  EXPECT_EQ(one.bestFrequencyTerm, two.bestFrequencyTerm);
  EXPECT_EQ(one.bestPredicted, two.bestPredicted);
}

TEST(ParallelRuns, CovarianceGridsAreTheSameOnOneAndTwoThreads) {
  const RunRecord one = Covariance("snowcrab-sgsl-sizefreq", 1, "1");
  const RunRecord two = Covariance("snowcrab-sgsl-sizefreq", 2, "1");
  EXPECT_NE(one.report.find("Standard"), std::string::npos);
  ExpectSame(one, two);

  // A first grid so wide that some points have no finite objective: the same
  // grid fails with the same log line.
  const RunRecord wideOne = Covariance("snowcrab-sgsl-sizefreq", 1, "5E+300");
  const RunRecord wideTwo = Covariance("snowcrab-sgsl-sizefreq", 2, "5E+300");
  EXPECT_NE(wideOne.log.find("is not a finite number at a point of grid #1"), std::string::npos)
      << wideOne.log;
  ExpectSame(wideOne, wideTwo);
}

TEST(ParallelRuns, MarquardtIsTheSameOnOneAndTwoThreads) {
  const RunRecord one = Marquardt("snowcrab-sgsl-sizefreq", 1, 3);
  const RunRecord two = Marquardt("snowcrab-sgsl-sizefreq", 2, 3);
  EXPECT_EQ(one.iterations, 3);
  EXPECT_FALSE(one.file.empty());
  ExpectSame(one, two);

  const RunRecord incrementsOne = Marquardt("dungeness", 1, 50);
  const RunRecord incrementsTwo = Marquardt("dungeness", 2, 50);
  ExpectSame(incrementsOne, incrementsTwo);
}

}  // namespace
}  // namespace estimetrix
