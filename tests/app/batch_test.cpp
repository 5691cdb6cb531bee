// The headless runner driven in-process: reading the command line, the set-up
// from options and set-up files, the order of steps, what goes to standard
// error, and questions with and without an answer.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/batch_runner.h"
#include "engine/objective/objective.h"
#include "engine/state/algorithm_file.h"
#include "model/initialize.h"
#include "platform/text_file.h"
#include "tests/support/batch_run.h"
#include "tests/support/temporary_folder.h"

namespace estimetrix {
namespace {

namespace fs = std::filesystem;

using testing::BatchRun;

class BatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = folder_.Path();
    sizes_ = Write("sizes.dat", SizeFrequencies());
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Write(const std::string& name, const std::string& text) {
    std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

  // Two instar peaks near 10 and 16 in 1-unit cells.
  static std::string SizeFrequencies() {
    std::string text = "Midpoint,Count\r\n";
    const int counts[] = {0, 1, 3, 8, 15, 22, 15, 8, 3, 2, 4, 9, 14, 9, 4, 1, 0, 0, 0, 0};
    for (int c = 0; c < 20; ++c) {
      char line[32];
      std::snprintf(line, sizeof line, "%7.1f,%5d\r\n", c + 5.5, counts[c]);
      text += line;
    }
    return text;
  }

  BatchRun Batch(const std::vector<std::string>& words) {
    return testing::RunBatchWords(areas_, words);
  }

  // A test area whose commands leave a trace, and which asks a question.
  BatchArea TraceArea() {
    BatchArea area;
    area.options = {{"--colour", "C", "A colour."}, {"--yes", "", "Answer Yes."}};
    area.commands.push_back(
        {"mark", "WHAT", "Leaves a mark.", [this](BatchSession& s, const std::string& what) {
           trace_.push_back("mark " + what + " " + s.Option("--colour"));
           return 0;
         }});
    area.commands.push_back(
        {"count", "", "Notes the parameter count.", [this](BatchSession& s, const std::string&) {
           trace_.push_back("count " + std::to_string(s.wb.alg.ParameterCount));
           return 0;
         }});
    area.commands.push_back(
        {"ask", "", "Asks whether to go on.", [this](BatchSession& s, const std::string&) {
           s.desktop.Inform("Note", "about to ask");
           Answer a = s.desktop.Ask("Continue?", "Go on?", Buttons::YesNo);
           trace_.push_back(a == Answer::Yes ? "ask yes" : "ask not yes");
           return 0;
         }});
    area.prepare = [this](BatchSession& s) {
      trace_.push_back("prepare " + std::to_string(s.wb.alg.Values.Size()));
      return 0;
    };
    area.answerers.push_back([](const DialogRecord& r, BatchSession& s) {
      std::optional<DialogReply> reply;
      if (r.title == "Continue?" && s.Has("--yes")) reply = DialogReply{Answer::Yes, {}};
      return reply;
    });
    return area;
  }

  // An algorithm file for the model of Sizes(): default data with a start
  // near the two peaks.
  std::string WriteStart(const std::string& name) {
    Workbench wb;
    ScriptedDesktop desktop;
    desktop.SetResponder(ScriptedDesktop::DeclineEverything);
    CarapexSetup setup;
    setup.frequencyPath = sizes_;
    setup.identifiedText = "2";
    if (!InitializeCarapex(wb, desktop, setup)) return {};
    SetDefaultAlgorithmData(wb.alg);
    const double values[] = {8.0, 2.0, 1.0, 0.0, 0, 0, 0, 0, 0, 0, 0.6, 0.05};
    for (int i = 1; i <= 12; ++i) wb.alg.Values[i] = values[i - 1];
    wb.alg.Values[22] = 0.6;
    wb.alg.Values[23] = -1;
    std::string path = (dir_ / name).string(), error;
    if (!WriteAlgorithmFile(wb, path, error)) return {};
    return path;
  }

  // A copy of `path` whose value of parameter 2 (line 3) is not a number:
  // a read that fails after parameter 1 has been taken.
  std::string WriteBroken(const std::string& path, const std::string& name) {
    std::string error;
    std::optional<std::vector<std::string>> lines = ReadTextLines(path, error);
    if (!lines || lines->size() < 3) return {};
    (*lines)[2].replace(0, 14, "          1.2x");
    std::string text;
    for (const std::string& line : *lines) text += line + "\r\n";
    return Write(name, text);
  }

  std::vector<std::string> Sizes(std::vector<std::string> rest) {
    std::vector<std::string> words = {"--frequencies", sizes_, "--identified", "2"};
    words.insert(words.end(), rest.begin(), rest.end());
    return words;
  }

  testing::TemporaryFolder folder_{"estimetrix_batch"};
  fs::path dir_;
  std::string sizes_;
  std::vector<std::string> trace_;
  std::vector<BatchArea> areas_ = {ModelBatchArea(), TraceArea()};
};

TEST(ObjectiveLine, HasSeventeenSignificantDigits) {
  EXPECT_EQ(ObjectiveLine(0.1), "objective 0.10000000000000001");
  EXPECT_EQ(ObjectiveLine(2.9e24), "objective 2.8999999999999998e+24");
}

TEST_F(BatchTest, HelpListsEveryAreasOptionsAndCommands) {
  BatchRun run = Batch({"evaluate", "--help", "nonsense"});
  EXPECT_EQ(run.status, 0);
  for (const char* entry : {"--setup FILE", "--increment-errors gaussian|gamma", "--alg FILE",
                            "--colour C", "--yes", "--help", "evaluate", "mark WHAT"})
    EXPECT_NE(run.out.find(std::string("\n  ") + entry), std::string::npos) << entry;
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 79u) << line;
  EXPECT_TRUE(trace_.empty());
}

TEST_F(BatchTest, CommandLineMistakesStopBeforeAnythingRuns) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {Sizes({"--flavour", "x", "count"}), "unknown option --flavour"},
      {Sizes({"count", "paint"}), "unknown command paint"},
      {Sizes({"count", "mark"}), "mark needs an argument WHAT"},
  };
  for (const auto& [words, message] : cases) {
    BatchRun run = Batch(words);
    EXPECT_EQ(run.status, 1) << message;
    EXPECT_EQ(run.err, "estimetrix-batch: " + message + "\nTry 'estimetrix-batch --help'.\n");
    EXPECT_TRUE(run.out.empty());
  }
  EXPECT_TRUE(trace_.empty());
}

TEST_F(BatchTest, PrepareRunsThenCommandsInTheOrderGiven) {
  BatchRun run = Batch(Sizes({"mark", "one", "count", "--colour=red", "mark", "--two", "count"}));
  EXPECT_EQ(run.status, 0) << run.err;
  // Options may follow commands; a command's argument is the next word,
  // whatever it looks like. Default algorithm data is sized to N = 21 + 2.
  EXPECT_EQ(trace_, (std::vector<std::string>{"prepare 23", "mark one red", "count 23",
                                              "mark --two red", "count 23"}));
  EXPECT_TRUE(run.err.empty()) << run.err;
}

TEST_F(BatchTest, OptionsOverrideTheSetupFile) {
  fs::create_directories(dir_ / "ex");
  fs::copy_file(sizes_, dir_ / "ex" / "crab.dat");
  std::string setup = Write("ex/crab.setup", "frequencies=crab.dat\nidentified=2\nseries=1\n");
  BatchRun run = Batch({"--setup", setup, "count", "--identified", "3", "count"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(trace_, (std::vector<std::string>{"prepare 24", "count 24", "count 24"}));

  trace_.clear();
  run = Batch({"--setup", setup, "--instars", "lognormal", "count"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "estimetrix-batch: --instars must be gaussian or gamma, not \"lognormal\"\n");
  EXPECT_TRUE(trace_.empty());
}

TEST_F(BatchTest, RefusedSetupGoesToStandardErrorAndFails) {
  BatchRun run = Batch({"--frequencies", sizes_, "--identified", "5000", "count"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "Initialize: Number of smaller identifiable instars must be a whole number from 0 "
            "to 99 (not \"5000\")\n");
  run = Batch(Sizes({"--alg", (dir_ / "absent.alg").string(), "count"}));
  EXPECT_EQ(run.status, 1);
  EXPECT_FALSE(run.err.empty());
  EXPECT_TRUE(trace_.empty());
}

// The runner must print what the window's one function call would show, and
// an objective that reads back to the very double the workbench computes.
TEST_F(BatchTest, EvaluatePrintsTheReportThenTheObjective) {
  Workbench wb;
  ScriptedDesktop desktop;
  desktop.SetResponder([](const DialogRecord&) { return DialogReply{}; });
  CarapexSetup setup;
  setup.frequencyPath = sizes_;
  setup.identifiedText = "2";
  ASSERT_TRUE(InitializeCarapex(wb, desktop, setup));
  SetDefaultAlgorithmData(wb.alg);
  const double values[] = {8.0, 2.0, 1.0, 0.0, 0, 0, 0, 0, 0, 0, 0.6, 0.05};
  for (int i = 1; i <= 12; ++i) wb.alg.Values[i] = values[i - 1];
  wb.alg.Values[22] = 0.6;
  wb.alg.Values[23] = -1;
  std::string alg = (dir_ / "start.alg").string(), error;
  ASSERT_TRUE(WriteAlgorithmFile(wb, alg, error)) << error;
  ASSERT_TRUE(LoadAlgorithmFile(wb, desktop, alg));
  NormalizeFuseGroups(wb.alg, wb.fuse);
  BuildFreeParameterList(wb.alg, wb.free);
  const double expected = EvaluateObjective(wb, wb.alg.Values, 1);
  ASSERT_TRUE(std::isfinite(expected));

  BatchRun run = Batch(Sizes({"--alg", alg, "evaluate"}));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.rfind("\nCurrent minimum of ", 0), 0u) << run.out;
  EXPECT_NE(run.out.find("    023) "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\nNote: One function call requires about "), std::string::npos);
  std::string last = run.out.substr(run.out.rfind('\n', run.out.size() - 2) + 1);
  EXPECT_EQ(last, ObjectiveLine(expected) + "\n");
  EXPECT_EQ(std::strtod(last.c_str() + 10, nullptr), expected);
}

TEST_F(BatchTest, UnansweredQuestionEndsTheRunWithStatusTwo) {
  BatchRun run = Batch(Sizes({"ask", "count"}));
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err,
            "Note: about to ask\nContinue?: Go on?\n"
            "estimetrix-batch: no option answers this question\n");
  EXPECT_EQ(trace_, (std::vector<std::string>{"prepare 23", "ask not yes"}));

  trace_.clear();
  run = Batch(Sizes({"--yes", "ask", "count"}));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "Note: about to ask\n");
  EXPECT_EQ(trace_, (std::vector<std::string>{"prepare 23", "ask yes", "count 23"}));
}

// After a read that fails part way no command may touch the half-read data:
// the run stops at once, and a session that goes on refuses every command but
// a new load until a whole file is in.
TEST_F(BatchTest, APartlyReadFileIsUsedByNoCommandUntilAWholeLoad) {
  const std::string good = WriteStart("start.alg");
  ASSERT_FALSE(good.empty());
  const std::string bad = WriteBroken(good, "broken.alg");
  ASSERT_FALSE(bad.empty());
  const std::string saved = (dir_ / "saved.alg").string();
  areas_ = AllBatchAreas();

  BatchRun run = Batch(Sizes({"--alg", good, "load-alg", bad, "evaluate", "save-alg", saved}));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err.rfind("Algorithm file - information input failed: Algorithm file seems to "
                          "have inappropriate, badly formatted, or missing, information - better "
                          "check it!\n\nLine 3, columns 1-14 (value of parameter 2): \"1.2x\" is "
                          "not a number.\n",
                          0),
            0u)
      << run.err;
  EXPECT_TRUE(run.out.empty()) << run.out;
  EXPECT_FALSE(fs::exists(saved));

  // The same steps in one session that carries on past the failed load.
  Workbench wb;
  ScriptedDesktop desktop;
  std::ostringstream out, err;
  desktop.SetResponder([&err](const DialogRecord& record) -> std::optional<DialogReply> {
    if (record.kind != DialogKind::Message || record.buttons != Buttons::Ok) return std::nullopt;
    err << record.title << ": " << record.text << "\n";
    return DialogReply{};
  });
  MenuState menu(wb);
  BatchViews views(err);
  BatchSession session{wb, desktop, {}, out, err, menu, views};
  CarapexSetup setup;
  setup.frequencyPath = sizes_;
  setup.identifiedText = "2";
  ASSERT_TRUE(InitializeCarapex(wb, desktop, setup));
  menu.ShowMenu();
  ASSERT_EQ(LoadAlgorithmThroughMenu(session, good), 0) << err.str();
  EXPECT_EQ(LoadAlgorithmThroughMenu(session, bad), 1);
  EXPECT_TRUE(wb.alg.PartlyRead);

  err.str("");
  const size_t shown = desktop.Transcript().size();
  EXPECT_EQ(session.Run(MenuButton::Simplex, "simplex"), CommandOutcome::Refused);
  EXPECT_EQ(err.str(),
            "estimetrix-batch: simplex: not available now: the algorithm data are missing or "
            "were only partly read (load a whole algorithm file first)\n");
  EXPECT_EQ(session.Run(MenuButton::SaveAlg, "save-alg"), CommandOutcome::Refused);
  EXPECT_EQ(desktop.Transcript().size(), shown);  // nothing was asked or run
  EXPECT_TRUE(desktop.Failures().empty());

  ASSERT_EQ(LoadAlgorithmThroughMenu(session, good), 0) << err.str();
  EXPECT_FALSE(wb.alg.PartlyRead);
  EXPECT_EQ(session.Run(MenuButton::OneFunction, "evaluate"), CommandOutcome::Done);
  EXPECT_TRUE(std::isfinite(views.Objective()));
  EXPECT_TRUE(desktop.Failures().empty());
}

// The objective printed after a save is the one at the values the file holds,
// which a later load of that file starts from.
TEST_F(BatchTest, SaveAlgPrintsTheObjectiveAtTheValuesAsWritten) {
  const std::string start = WriteStart("start.alg");
  ASSERT_FALSE(start.empty());
  const std::string saved = (dir_ / "saved.alg").string();
  areas_ = AllBatchAreas();
  BatchRun run = Batch(Sizes({"--alg", start, "save-alg", saved}));
  EXPECT_EQ(run.status, 0) << run.err;
  ASSERT_TRUE(fs::exists(saved));

  Workbench wb;
  ScriptedDesktop desktop;
  CarapexSetup setup;
  setup.frequencyPath = sizes_;
  setup.identifiedText = "2";
  ASSERT_TRUE(InitializeCarapex(wb, desktop, setup));
  ASSERT_TRUE(LoadAlgorithmFile(wb, desktop, saved));
  NormalizeFuseGroups(wb.alg, wb.fuse);
  BuildFreeParameterList(wb.alg, wb.free);
  const double expected = EvaluateObjective(wb, wb.alg.Values, 1);
  ASSERT_TRUE(std::isfinite(expected));
  EXPECT_EQ(run.out,
            "saved " + saved + ": " + ObjectiveLine(expected) + " at the values as written\n");
}

// The example a new user runs first, from set-up file to saved results.
TEST_F(BatchTest, TheDungenessExampleRunsFromEvaluationToSavedResults) {
  const std::string cov = (dir_ / "dungeness.cov").string();
  const std::string alg = (dir_ / "dungeness.alg").string();
  areas_ = AllBatchAreas();
  BatchRun run =
      Batch({"--setup", std::string(ESTIMETRIX_EXAMPLES) + "/dungeness/dungeness.setup", "evaluate",
             "simplex", "marquardt", "covariance", "save-cov", cov, "save-alg", alg});
  ASSERT_EQ(run.status, 0) << run.err;

  // evaluate, simplex and marquardt each end with their objective line.
  std::vector<double> objectives;
  std::string savedLine;
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("objective ", 0) == 0)
      objectives.push_back(std::strtod(line.c_str() + 10, nullptr));
    if (line.rfind("saved ", 0) == 0) savedLine = line;
  }
  ASSERT_EQ(objectives.size(), 3u) << run.out;
  EXPECT_LT(objectives[1], objectives[0]);
  EXPECT_LE(objectives[2], objectives[1]);
  EXPECT_NEAR(objectives[2], 1916.746, 0.01);
  EXPECT_NE(run.out.find("Parameter values, step sizes"), std::string::npos);

  EXPECT_TRUE(fs::exists(cov));
  ASSERT_TRUE(fs::exists(alg));
  EXPECT_EQ(savedLine.rfind("saved " + alg + ": objective ", 0), 0u) << savedLine;
  EXPECT_NE(savedLine.find(" at the values as written"), std::string::npos) << savedLine;
  const double asSaved =
      std::strtod(savedLine.c_str() + savedLine.find("objective ") + 10, nullptr);
  EXPECT_NEAR(asSaved, objectives[2], 1E-3);
}

// Every standard error -1 is no result: a script must not take it for one.
TEST_F(BatchTest, CovariancesWithoutAnInvertibleGridFail) {
  areas_ = AllBatchAreas();
  BatchRun run = Batch({"--setup",
                        std::string(ESTIMETRIX_EXAMPLES) +
                            "/snowcrab-sgsl-sizefreq/snowcrab-sgsl-sizefreq.setup",
                        "covariance", "evaluate"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("estimetrix-batch: covariance: no grid gave a positive-definite "
                         "Hessian, so every standard error is -1 (not reliable)"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.out.find("Standard errors of the estimates"), std::string::npos);
  EXPECT_EQ(run.out.find("objective "), std::string::npos);  // the run stopped there
}

}  // namespace
}  // namespace estimetrix
