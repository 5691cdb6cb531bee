// The likelihood profile as a user meets it: the points a choice gives, the
// profile each minimizer finds, the interrupt, what the data hold afterwards,
// and the saved file.

#include "engine/bayesian/likelihood_profile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

#include "engine/state/distribution_summary.h"
#include "engine/state/report_file.h"
#include "platform/text_file.h"
#include "tests/support/evaluation_session.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temporary_folder.h"

namespace estimetrix {
namespace {

using testing::EvaluationSession;
using testing::FileBytes;

TEST(LikelihoodProfile, FourPointsBecomeFiveAroundTheValueWithOneEvaluationEach) {
  EvaluationSession s(2);
  s.wb.alg.Values[1] = 1.5;
  s.wb.alg.Steps[1] = 0.25;
  s.wb.alg.Steps[2] = 0.0;
  s.answers.points = "4";
  ASSERT_EQ(s.Profile(), CommandOutcome::Done);
  const Vector& x = s.wb.evaluation.ProfileValues;
  ASSERT_EQ(x.Size(), 5);
  const double expected[] = {1.0, 1.25, 1.5, 1.75, 2.0};
  for (int k = 1; k <= 5; ++k) EXPECT_DOUBLE_EQ(x[k], expected[k - 1]);
  // No other parameter is free: five evaluations and no minimization.
  EXPECT_EQ(s.Model().vectorsSeen.size(), 5u);
  EXPECT_EQ(s.views.marquardt.showCount, 0);
  EXPECT_EQ(s.views.interruptItems,
            (std::vector<std::string>{"profile shown", "profile hidden"}));
  EXPECT_NE(s.views.Report(ReportKind::Profile).find(kProfileReportTitle), std::string::npos);
  EXPECT_EQ(s.wb.alg.Values[1], 1.5);
  EXPECT_EQ(s.wb.alg.Steps[1], 0.25);
  EXPECT_TRUE(s.Asked(kReminderTitle));
  EXPECT_FALSE(s.wb.state.ProfileActive);
}

// Two independent Gaussian terms: re-minimizing the second at each point of
// the first leaves the first's own curve, a Gaussian of SD 1 (q = 0.5).
TEST(LikelihoodProfile, SimplexAndMarquardtProfilesGiveTheLikelihoodCurve) {
  for (bool simplex : {true, false}) {
    EvaluationSession s(2);
    s.wb.alg.Values[1] = 1.0;
    s.wb.alg.Steps[1] = 8.0 / 24.0;
    s.wb.alg.Values[2] = 2.5;
    s.wb.alg.Steps[2] = 0.1;
    s.wb.alg.SimplexLimit = 1E-10;
    s.answers.simplex = simplex;
    s.answers.first = [](const DialogRecord& record) -> std::optional<DialogReply> {
      if (record.title != "Marquardt minimization" || record.buttons == Buttons::Ok)
        return std::nullopt;
      // Numerical derivatives, and no derivative display.
      return DialogReply{Answer::No, std::nullopt};
    };
    ASSERT_EQ(s.Profile(), CommandOutcome::Done) << simplex;
    EXPECT_NEAR(s.wb.evaluation.ExpectedValue, 1.0, 1E-6) << simplex;
    EXPECT_NEAR(s.wb.evaluation.StandardError, 1.0, 2E-3) << simplex;
    // Every parameter gets back the value and step it had before the
    // points, not the last point's minimization.
    EXPECT_EQ(s.wb.alg.Values[2], 2.5) << simplex;
    EXPECT_EQ(s.wb.alg.Values[1], 1.0);
    EXPECT_EQ(s.wb.alg.Steps[1], 8.0 / 24.0);
    EXPECT_EQ(s.wb.alg.Steps[2], 0.1);
    EXPECT_FALSE(s.wb.state.SimplexRetained);
  }
}

TEST(LikelihoodProfile, InterruptAfterAPointReportsTheEarlierPoints) {
  EvaluationSession s(1);
  s.wb.alg.Values[1] = 1.0;
  s.wb.alg.Steps[1] = 0.5;
  s.answers.points = "9";
  s.desktop.SetYieldHook([&s] {
    if (s.Model().vectorsSeen.size() == 6) s.wb.state.ProfileInterruptRequested = true;
  });
  ASSERT_EQ(s.Profile(), CommandOutcome::Done);
  EXPECT_TRUE(s.Asked(kProfileInterruptTitle));
  EXPECT_EQ(s.Model().vectorsSeen.size(), 6u);
  EXPECT_EQ(s.wb.evaluation.Count(), 4);
  EXPECT_EQ(s.wb.alg.Values[1], 1.0);
}

TEST(LikelihoodProfile, QuitAtTheFirstQuestionsChangesNothing) {
  EvaluationSession s(2);
  const Vector values = s.wb.alg.Values, steps = s.wb.alg.Steps;
  s.answers.points = "";
  EXPECT_EQ(s.Profile(), CommandOutcome::Cancelled);
  EXPECT_EQ(s.wb.alg.Values, values);
  EXPECT_EQ(s.wb.alg.Steps, steps);
  EXPECT_EQ(s.views.editorOpened, 0);
  EXPECT_FALSE(s.Asked(kReminderTitle));

  // A zero step after the editor: the message, and no profile.
  EvaluationSession t(2);
  t.views.onEditor = [&t] { t.wb.alg.Steps[1] = 0.0; };
  EXPECT_EQ(t.Profile(), CommandOutcome::Refused);
  EXPECT_TRUE(t.Asked(kSetupProblemTitle));
  EXPECT_TRUE(t.Model().vectorsSeen.empty());
}

TEST(LikelihoodProfile, SavedProfileFileIsByteExact) {
  testing::TemporaryFolder folder;
  EvaluationSession s(1);
  s.wb.alg.Values[1] = 1.2;
  s.wb.alg.Steps[1] = 0.5;
  s.answers.points = "5";
  ASSERT_EQ(s.Profile(), CommandOutcome::Done);
  std::string text = s.views.Report(ReportKind::Profile), error;
  const std::string path = folder.File("small.mlc");
  ASSERT_TRUE(WriteReportFile(path, text, error)) << error;
  EXPECT_EQ(FileBytes(path),
            ToCrLf(SavedReportHeader(path)) +
                FileBytes(std::string(ESTIMETRIX_TEST_DATA) + "/evaluation/small.mlc"));
}

}  // namespace
}  // namespace estimetrix
