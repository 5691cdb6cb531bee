#include "engine/minimizers/simplex.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine/minimizers/simplex_text.h"
#include "engine/state/algorithm_data.h"
#include "engine/state/workbench.h"
#include "platform/scripted_desktop.h"
#include "tests/support/quadratic_model.h"
#include "tests/support/temporary_folder.h"

namespace estimetrix {
namespace {

using testing::QuadraticModel;

// A model whose objective is any function of the parameter vector.
class SimplexFunctionModel : public Model {
 public:
  explicit SimplexFunctionModel(std::function<double(const Vector&)> f) : f_(std::move(f)) {}
  void MODEL(double& objective, Vector& parameters, Vector&, StringArray&, StringArray&, int&,
             int NF, int&, Vector&, Matrix&, int&) override {
    flagsSeen.push_back(NF);
    if (NF < 1) return;
    objective = f_(parameters);
    points.push_back(parameters[1]);
    values.push_back(objective);
  }
  std::string Name() const override { return "Function"; }

  std::vector<int> flagsSeen;
  std::vector<double> points;  // first coordinate of every evaluated vector
  std::vector<double> values;

 private:
  std::function<double(const Vector&)> f_;
};

class RecordingSimplexView : public SimplexView {
 public:
  void Open() override { ++opened; }
  void SetUpperText(const std::string& text) override {
    if (!text.empty()) upper.push_back(text);
  }
  void SetLowerText(const std::string& text) override {
    if (!text.empty()) lower.push_back(text);
  }
  void SetInterruptCaption(const std::string& text) override { caption = text; }
  void SetInterruptEnabled(bool enabled) override { interruptEnabled = enabled; }

  int opened = 0;
  std::vector<std::string> upper, lower;
  std::string caption;
  bool interruptEnabled = false;
};

// Keeps every status text shown, not only the last.
class StatusRecordingDesktop : public ScriptedDesktop {
 public:
  void SetStatus(StatusBar bar, int panel, const std::string& text) override {
    ScriptedDesktop::SetStatus(bar, panel, text);
    if (!text.empty()) shown.push_back(std::to_string(panel) + ":" + text);
  }
  bool Showed(const std::string& entry) const {
    for (const std::string& s : shown)
      if (s == entry) return true;
    return false;
  }
  std::vector<std::string> shown;
};

class SimplexTest : public ::testing::Test {
 protected:
  void Setup(std::unique_ptr<Model> model, std::vector<double> values, std::vector<double> steps) {
    wb.model = std::move(model);
    const int n = static_cast<int>(values.size());
    wb.alg.ParameterCount = n;
    wb.alg.Values.Resize(1, n, 0.0);
    wb.alg.Steps.Resize(1, n, 0.0);
    wb.alg.FuseCodes.Resize(1, n, kUnfused);
    wb.alg.Descriptions.Resize(1, n, "");
    for (int i = 1; i <= n; ++i) {
      wb.alg.Values[i] = values[i - 1];
      wb.alg.Steps[i] = steps[i - 1];
      wb.alg.Descriptions[i] = "Term " + std::to_string(i);
    }
    wb.ResizeForModel(n);
  }
  void UseQuadratic(int n, double start = 0.0, double step = 1.0) {
    auto model = std::make_unique<QuadraticModel>(n);
    quadratic = model.get();
    Setup(std::move(model), std::vector<double>(n, start), std::vector<double>(n, step));
  }
  void UseFunction(std::function<double(const Vector&)> f, std::vector<double> values,
                   std::vector<double> steps) {
    auto model = std::make_unique<SimplexFunctionModel>(std::move(f));
    function = model.get();
    Setup(std::move(model), std::move(values), std::move(steps));
  }
  SimplexResult Run() {
    NormalizeFuseGroups(wb.alg, wb.fuse);
    BuildFreeParameterList(wb.alg, wb.free);
    return RunSimplex(wb, desktop, view);
  }
  void ExpectScriptDone() {
    EXPECT_TRUE(desktop.Failures().empty()) << desktop.Failures().front();
    EXPECT_EQ(desktop.PendingSteps(), 0u);
  }
  const DialogRecord& LastDialog() { return desktop.Transcript().back(); }

  Workbench wb;
  StatusRecordingDesktop desktop;
  RecordingSimplexView view;
  QuadraticModel* quadratic = nullptr;
  SimplexFunctionModel* function = nullptr;
};

// "Note: 7 iterations, ..." -> 7
long IterationsOf(const std::string& text) {
  return std::stol(text.substr(text.find("Note: ") + 6));
}

TEST_F(SimplexTest, FindsTheMinimumOfAQuadraticAndReportsIt) {
  UseQuadratic(3);
  desktop.ExpectMessage("Simplex minimum");
  SimplexResult result = Run();
  ExpectScriptDone();
  EXPECT_EQ(LastDialog().text, "Minimum found using Simplex!");
  EXPECT_EQ(LastDialog().icon, Icon::Information);
  ASSERT_EQ(result.outcome, SimplexOutcome::Converged);
  for (int i = 1; i <= 3; ++i) EXPECT_NEAR(wb.alg.Values[i], i, 2E-3);
  EXPECT_LT(result.minimum, 1E-5);
  EXPECT_EQ(result.finalText.rfind("\nMinimum of ", 0), 0u);
  EXPECT_NE(result.finalText.find(" found at these 3 adjusted parameter values:\n\n    001) "),
            std::string::npos);
  EXPECT_NE(result.finalText.find("~~  Term 3\n\nThis result required "), std::string::npos);
  // Evaluations are numbered from 1 and the count is what the report says.
  for (size_t i = 0; i < quadratic->flagsSeen.size(); ++i)
    EXPECT_EQ(quadratic->flagsSeen[i], static_cast<int>(i) + 1);
  EXPECT_NE(result.finalText.find(std::to_string(quadratic->flagsSeen.size()) +
                                  " function calls, and 0 restarts"),
            std::string::npos);
  EXPECT_EQ(view.caption, "&Interrupt this minimization");
  EXPECT_TRUE(desktop.Showed("1:Building initial simplex..."));
  for (int panel = 1; panel <= 4; ++panel)
    EXPECT_EQ(desktop.Status(StatusBar::Progress, panel), "");
  ASSERT_EQ(view.upper.size(), 1u);
  EXPECT_EQ(
      view.upper[0].rfind("\nInitial Simplex: Starting function value> 14. Max> 14. Min> ", 0), 0u);
}

// p = 1 with a bump at the contraction point: the reduction moves the
// higher vertex halfway to the lower one.
TEST_F(SimplexTest, OneParameterReductionAndTheMaximumQuestion) {
  UseFunction(
      [](const Vector& x) {
        const double d = x[1] - 0.9;
        return d * d + (std::fabs(x[1] - 0.5) < 0.01 ? 10.0 : 0.0);
      },
      {0.0}, {1.0});
  wb.alg.TerminalOutputFrequency = 1;
  wb.alg.MaxFunctionCalls = 2;
  desktop.ExpectMessage("Simplex minimization", Answer::No);
  SimplexResult result = Run();
  ExpectScriptDone();
  EXPECT_EQ(LastDialog().text,
            "Maximum number of function calls reached, do you want to continue?");
  EXPECT_EQ(LastDialog().buttons, Buttons::YesNo);
  EXPECT_EQ(result.outcome, SimplexOutcome::Stopped);
  // Calls: two vertices, reflection, contraction, the reduced vertex.
  EXPECT_EQ(function->points, (std::vector<double>{0.0, 1.0, 2.0, 0.5, 0.5}));
  EXPECT_EQ(wb.simplex.ActionText, "Reduction             ");
  EXPECT_DOUBLE_EQ(wb.simplex.SimplexMatrix(1, 1), 0.5);
  EXPECT_EQ(wb.simplex.LowVertex, 2);
  EXPECT_DOUBLE_EQ(wb.simplex.SimplexMatrix(1, 3), 1.0);  // centroid = the lower vertex
  EXPECT_DOUBLE_EQ(wb.alg.Values[1], 1.0);
  ASSERT_EQ(view.lower.size(), 1u);
  EXPECT_NE(view.lower[0].find("improved: 0; Action accepted: Reduction             \n\n"),
            std::string::npos);
}

// The reflection's value equals vertex 1's: that is no improvement, so the
// step contracts instead of accepting the reflection.
TEST_F(SimplexTest, ReflectionEqualToAVertexDoesNotCount) {
  UseQuadratic(1);  // (x - 1)^2 from 0 with step 1: values 1 and 0, reflection at 2 gives 1
  wb.alg.MaxFunctionCalls = 3;
  desktop.ExpectMessage("Simplex minimization", Answer::No);
  Run();
  ExpectScriptDone();
  EXPECT_EQ(wb.simplex.ImprovedCount, 0);
  EXPECT_EQ(wb.simplex.ActionText, "Contraction           ");
}

TEST_F(SimplexTest, TerminalFrequencyPacesTheReportsAndZeroLimitNeverConverges) {
  UseQuadratic(2);
  wb.alg.SimplexLimit = 0;
  wb.alg.TerminalOutputFrequency = 3;
  wb.alg.MaxFunctionCalls = 60;
  desktop.ExpectMessage("Simplex minimization", Answer::No);
  SimplexResult result = Run();
  ExpectScriptDone();  // no "Minimum found" however close the vertices came
  EXPECT_EQ(result.outcome, SimplexOutcome::Stopped);
  ASSERT_GE(view.lower.size(), 4u);
  for (size_t i = 0; i + 1 < view.lower.size(); ++i)
    EXPECT_EQ(IterationsOf(view.lower[i]), static_cast<long>(3 * i + 1));
  // The stop adds one report of the last iteration unless it was just shown.
  EXPECT_EQ(IterationsOf(view.lower.back()), wb.simplex.IterationCount);

  // Frequency 0: no pane text at all, not even when the run stops.
  Workbench fresh;
  std::swap(wb, fresh);
  view = RecordingSimplexView();
  UseQuadratic(2);
  wb.alg.SimplexLimit = 0;
  wb.alg.TerminalOutputFrequency = 0;
  wb.alg.MaxFunctionCalls = 30;
  desktop.ExpectMessage("Simplex minimization", Answer::No);
  Run();
  ExpectScriptDone();
  EXPECT_TRUE(view.lower.empty());
  EXPECT_TRUE(view.upper.empty());
}

TEST_F(SimplexTest, ContinuingPastTheMaximumRestartsTheCallNumbers) {
  UseQuadratic(2);
  wb.alg.MaxFunctionCalls = 3;
  wb.alg.SimplexLimit = 0;
  desktop.ExpectMessage("Simplex minimization", Answer::Yes);
  desktop.ExpectMessage("Simplex minimization", Answer::No);
  Run();
  ExpectScriptDone();
  const std::vector<int>& flags = quadratic->flagsSeen;
  int firstCalls = 0;
  for (int nf : flags) firstCalls += nf == 1;
  EXPECT_EQ(firstCalls, 2);
  EXPECT_EQ(flags.front(), 1);
  // The best vertex is in Values even though no minimum was confirmed.
  const int low = wb.simplex.LowVertex;
  EXPECT_EQ(wb.alg.Values[1], wb.simplex.SimplexMatrix(1, low));
  EXPECT_EQ(wb.alg.Values[2], wb.simplex.SimplexMatrix(2, low));
}

// A staircase: each plateau fools the simplex until the axial search steps
// onto the next, lower stair.
TEST_F(SimplexTest, FailedVerificationsRestartAndWarnAboutTuning) {
  UseFunction([](const Vector& x) { return -std::min(std::floor(x[1] / 3.0), 2.0); }, {0.0}, {0.5});
  wb.alg.StepReductionFraction = 10;
  desktop.ExpectMessage("Simplex minimum");
  SimplexResult result = Run();
  ExpectScriptDone();
  EXPECT_EQ(result.outcome, SimplexOutcome::Converged);
  EXPECT_EQ(wb.simplex.RestartCount, 2);
  EXPECT_DOUBLE_EQ(wb.alg.Values[1], 10.0);
  EXPECT_DOUBLE_EQ(result.minimum, -2.0);
  EXPECT_TRUE(desktop.Showed("3:Last failure of convergence verification caused by parameter # 1"));
  EXPECT_TRUE(desktop.Showed("4:Multiple restarts indicate a tuning problem!"));
  EXPECT_TRUE(desktop.Showed("1:Verifying convergence by performing an axial search"));
  EXPECT_TRUE(desktop.Showed("2:Axial function call 1 of 2"));
  EXPECT_NE(result.finalText.find(" function calls, and 2 restarts\n"), std::string::npos);
}

TEST_F(SimplexTest, SecondRunContinuesFromTheRetainedSimplex) {
  UseQuadratic(2);
  wb.alg.MaxFunctionCalls = 10;
  desktop.ExpectMessage("Simplex minimization", Answer::No);
  Run();
  const Matrix simplex = wb.simplex.SimplexMatrix;
  const int high = wb.simplex.HighVertex;
  const size_t callsBefore = quadratic->flagsSeen.size();
  desktop.shown.clear();
  desktop.ExpectMessage("Simplex minimization", Answer::No);
  Run();
  ExpectScriptDone();
  EXPECT_FALSE(desktop.Showed("1:Building initial simplex..."));
  // The first call of the second run is the reflection of the old simplex's
  // highest vertex through its centroid (column p+2).
  EXPECT_EQ(quadratic->flagsSeen[callsBefore], 1);
  const std::vector<double>& first = quadratic->vectorsSeen[callsBefore];
  for (int j = 1; j <= 2; ++j)
    EXPECT_DOUBLE_EQ(first[j - 1], 2.0 * simplex(j, 4) - simplex(j, high));
}

TEST_F(SimplexTest, NonFiniteObjectiveStopsWithTheBestFinitePoint) {
  UseFunction(
      [](const Vector& x) {
        const double d = x[1] - 5.0;
        return x[1] < 2.2 ? d * d : std::numeric_limits<double>::quiet_NaN();
      },
      {0.0}, {0.5});
  desktop.ExpectMessage("Simplex error");
  SimplexResult result = Run();
  ExpectScriptDone();
  EXPECT_EQ(result.outcome, SimplexOutcome::NonFinite);
  EXPECT_NE(LastDialog().text.find("Simplex minimization stops"), std::string::npos);
  EXPECT_NE(LastDialog().text.find("not a finite number"), std::string::npos);
  double best = std::numeric_limits<double>::infinity(), bestPoint = 0;
  for (size_t i = 0; i < function->values.size(); ++i)
    if (function->values[i] < best) {
      best = function->values[i];
      bestPoint = function->points[i];
    }
  EXPECT_DOUBLE_EQ(wb.alg.Values[1], bestPoint);
  EXPECT_DOUBLE_EQ(result.minimum, best);
  for (int k = 1; k <= 2; ++k) EXPECT_TRUE(std::isfinite(wb.simplex.VertexValues[k]));
  EXPECT_FALSE(wb.state.SimplexRetained);  // the next run starts afresh

  // NaN at the very first call: nothing finite was seen, Values stay.
  desktop.ExpectMessage("Simplex error");
  wb.alg.Values[1] = 3.0;
  result = Run();
  ExpectScriptDone();
  EXPECT_NE(LastDialog().text.find("the parameter values are unchanged"), std::string::npos);
  EXPECT_DOUBLE_EQ(wb.alg.Values[1], 3.0);
  EXPECT_TRUE(std::isfinite(wb.simplex.VertexValues[1]));
}

// A continued run that meets a non-finite value keeps the kept simplex's
// lowest vertex when nothing it evaluated itself came lower.
TEST_F(SimplexTest, ContinuedRunMeetingNonFiniteKeepsTheKeptMinimum) {
  int callsLeftBeforeNaN = -1;  // -1: the plain quadratic
  UseFunction(
      [&](const Vector& x) {
        if (callsLeftBeforeNaN < 0) return (x[1] - 1.0) * (x[1] - 1.0);
        return callsLeftBeforeNaN-- > 0 ? 100.0 : std::numeric_limits<double>::quiet_NaN();
      },
      {0.0}, {1.0});
  wb.alg.MaxFunctionCalls = 6;
  desktop.ExpectMessage("Simplex minimization", Answer::No);
  Run();
  ASSERT_TRUE(wb.state.SimplexRetained);
  const int low = wb.simplex.LowVertex;
  const double keptPoint = wb.simplex.SimplexMatrix(1, low);
  const double keptValue = wb.simplex.VertexValues[low];

  // The continued run finds only worse points (100) before a NaN.
  callsLeftBeforeNaN = 2;
  desktop.ExpectMessage("Simplex error");
  SimplexResult result = Run();
  ExpectScriptDone();
  EXPECT_EQ(result.outcome, SimplexOutcome::NonFinite);
  EXPECT_NE(LastDialog().text.find("best finite point found"), std::string::npos);
  EXPECT_DOUBLE_EQ(wb.alg.Values[1], keptPoint);
  EXPECT_DOUBLE_EQ(result.minimum, keptValue);
  EXPECT_FALSE(wb.state.SimplexRetained);
}

TEST_F(SimplexTest, RelativeTestWithALowestValueOfZero) {
  UseFunction([](const Vector& x) { return std::max(0.0, x[1] - 1.0); }, {3.0}, {-2.5});
  wb.alg.SimplexLimit = -1E-6;
  wb.alg.TerminalOutputFrequency = 1;
  desktop.ExpectMessage("Simplex error");
  SimplexResult result = Run();
  ExpectScriptDone();
  EXPECT_EQ(result.outcome, SimplexOutcome::ZeroValueError);
  EXPECT_EQ(LastDialog().text,
            "A function value of zero has caused a division by zero error.\n"
            "Reset the tolerance to ABSolute or otherwise correct model");
  EXPECT_DOUBLE_EQ(wb.alg.Values[1], 3.0);  // not updated
  ASSERT_EQ(view.lower.size(), 1u);
  EXPECT_NE(view.lower[0].find(" Rel TC> undefined\n"), std::string::npos);
}

TEST_F(SimplexTest, InterruptAsksAtTheNextPoll) {
  UseQuadratic(2);
  wb.alg.SimplexLimit = 0;
  int yields = 0;
  desktop.SetYieldHook([&] {
    if (++yields == 5) wb.state.InterruptRequested = true;
  });
  desktop.ExpectMessage("Simplex interrupt", Answer::Yes);
  SimplexResult result = Run();
  ExpectScriptDone();
  EXPECT_EQ(LastDialog().text, "Interrupt received. Do you want to quit minimizing?");
  EXPECT_EQ(result.outcome, SimplexOutcome::Stopped);
  EXPECT_FALSE(wb.state.InterruptRequested);
  EXPECT_TRUE(view.interruptEnabled);
  EXPECT_TRUE(desktop.Showed("1:One moment please..."));
}

// Inside the likelihood-profile procedure a verified point ends quietly, and
// an interrupt offers to end the procedure or go on with the next point.
TEST_F(SimplexTest, ProfilePointsEndWithoutMessagesAndOfferTheNextPoint) {
  UseQuadratic(2);
  wb.alg.Steps[2] = 0.0;
  wb.alg.Values[2] = 4.0;
  wb.alg.TerminalOutputFrequency = 1;
  wb.state.ProfileActive = true;
  wb.state.EvaluatedParameter = 2;
  const SimplexProfilePoint point{3, 9};
  NormalizeFuseGroups(wb.alg, wb.fuse);
  BuildFreeParameterList(wb.alg, wb.free);
  SimplexResult result = RunSimplex(wb, desktop, view, &point);
  EXPECT_TRUE(desktop.Transcript().empty());
  EXPECT_EQ(result.outcome, SimplexOutcome::ProfilePointDone);
  EXPECT_DOUBLE_EQ(result.profileAbscissa, 4.0);
  EXPECT_NEAR(result.minimum, 4.0, 1E-5);  // (x1 - 1)^2 + (4 - 2)^2
  EXPECT_TRUE(desktop.Showed("1:Calculating profile point 3 of 9, Value of parameter # 2 which "
                             "is being profiled is: 4.00000E+00"));

  wb.state.SimplexRetained = false;
  wb.alg.SimplexLimit = 0;
  desktop.SetYieldHook([&] { wb.state.InterruptRequested = true; });
  desktop.ExpectMessage("Simplex interrupt", Answer::No);
  desktop.ExpectMessage("Simplex interrupt", Answer::Yes);
  result = RunSimplex(wb, desktop, view, &point);
  ExpectScriptDone();
  EXPECT_EQ(desktop.Transcript()[0].text,
            "Interrupt received. Do you want to quit the ML procedure?");
  EXPECT_EQ(desktop.Transcript()[1].text, "Do you want to continue starting with the NEXT point?");
  EXPECT_EQ(desktop.Transcript()[1].defaultButton, 2);
  EXPECT_EQ(result.outcome, SimplexOutcome::ProfileNextPoint);
}

// ---------------------------------------------------------------------------
// The log blocks, on a hand-made simplex.

class SimplexLogTest : public ::testing::Test {
 protected:
  void MakeSimplex(int p) {
    wb.alg.ParameterCount = p;
    wb.alg.FuseCodes.Resize(1, p, kUnfused);
    wb.alg.Descriptions.Resize(1, p, "d");
    wb.free.FreeCount = p;
    wb.free.FreeIndex.Resize(1, p, 0);
    wb.simplex.Resize(p);
    for (int j = 1; j <= p; ++j) {
      wb.free.FreeIndex[j] = j;
      for (int k = 1; k <= p + 1; ++k) wb.simplex.SimplexMatrix(j, k) = k == 2 ? -2500 : 1.5;
    }
    for (int k = 1; k <= p + 1; ++k) wb.simplex.VertexValues[k] = 10.0 + k;
    wb.simplex.LowVertex = 2;
    wb.simplex.HighVertex = p + 1;
    wb.simplex.IterationCount = 12;
    wb.simplex.RestartCount = 1;
    wb.simplex.ImprovedCount = 3;
    wb.simplex.ActionText = "Extension             ";
    wb.state.FunctionCallCount = 40;
    wb.alg.FileOutputFrequency = 1;
  }
  static std::string Records(int first, int last, const char* value) {
    std::string text;
    for (int j = first; j <= last; ++j) {
      char index[16];
      std::snprintf(index, sizeof index, "    %03d) ", j);
      text += std::string(index) + value;
    }
    return text;
  }
  Workbench wb;
};

TEST_F(SimplexLogTest, SixParametersLeaveALineOpenForTheNextBlank) {
  MakeSimplex(6);
  const char* low = "-2.5000000E+03";
  EXPECT_EQ(SimplexProgressLogBlock(wb, 12.0, 17.0),
            "\nNote: 12 iterations, 40 function calls, and 1 restarts\n"
            "Number of function values (parameter vectors) improved: 3; Action accepted: "
            "Extension             \n"
            "\nCurrent minimum found at these 6 adjusted parameter values: \n\n" +
                Records(1, 4, low) + "\n" + Records(5, 6, low) +
                "\n\nCurrent: Min> 12.      Max> 17.      Abs TC> 5.0000E+00\n\n");
  EXPECT_EQ(SimplexFinalLogBlock(wb),
            "\n\nMinimum of 12. found at these 6 adjusted parameter "
            "values:\n\n" +
                Records(1, 4, low) + "\n" + Records(5, 6, low) +
                "\n\nThis result required 12 iterations, 40 function "
                "calls, and 1 restarts\n\n");
}

TEST_F(SimplexLogTest, EightParametersFillTwoLines) {
  MakeSimplex(8);
  const char* first = " 1.5000000E+00";
  EXPECT_EQ(SimplexInitialLogBlock(wb), "\n\nInitial parameter values:\n\n" + Records(1, 4, first) +
                                            "\n" + Records(5, 8, first) +
                                            "\n\n\nInitial Simplex: Starting function value> "
                                            "11. Max> 19. Min> 12.\n");
  wb.alg.FileOutputFrequency = 10;
  wb.alg.SimplexLimit = -1E-6;
  const std::string block = SimplexProgressLogBlock(wb, 0.0, 19.0);
  EXPECT_EQ(block.find("Number of function values"), std::string::npos);
  EXPECT_NE(block.find(" Rel TC> undefined\n\n"), std::string::npos);
}

// The log written during a run reaches the file with CR LF line ends.
TEST_F(SimplexTest, RunWritesItsBlocksToTheOpenLog) {
  const testing::TemporaryFolder folder;
  const std::string path = folder.File("simplex_run.exl");
  ASSERT_TRUE(wb.log.Open(path));
  UseQuadratic(2);
  wb.alg.FileOutputFrequency = 5;
  desktop.ExpectMessage("Simplex minimum");
  Run();
  wb.log.Close();
  std::ifstream in(path, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text.rfind("\r\n\r\nInitial parameter values:\r\n\r\n    001)  0.0000000E+00", 0), 0u);
  EXPECT_NE(text.find("\r\nNote: 1 iterations, "), std::string::npos);
  EXPECT_NE(text.find("\r\nNote: 6 iterations, "), std::string::npos);
  EXPECT_EQ(text.find("\r\nNote: 2 iterations, "), std::string::npos);
  EXPECT_NE(text.find("\r\n\r\nMinimum of "), std::string::npos);
}

}  // namespace
}  // namespace estimetrix
