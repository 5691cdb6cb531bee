// The Bayesian posterior as a user meets it: how many points and calls a
// choice costs, the question before a long run, the posterior a known case
// must give, reports that do not depend on the step's sign or the thread
// count, the interrupt, and the files.

#include "engine/bayesian/posterior.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "engine/bayesian/bivariate_density.h"
#include "engine/objective/objective.h"
#include "engine/state/distribution_summary.h"
#include "engine/state/report_file.h"
#include "platform/text_file.h"
#include "tests/support/evaluation_session.h"
#include "tests/support/file_bytes.h"
#include "tests/support/nist_model.h"
#include "tests/support/temporary_folder.h"

namespace estimetrix {
namespace {

using testing::EvaluationSession;
using testing::FileBytes;

// Only the first `free` parameters move; the evaluated one (1) sits at its
// likelihood's centre with steps that span +-4 SD over P points, the others
// have grids over +-3.5 SD.
void SetUpGrid(EvaluationSession& s, int free, int points, int grid) {
  for (int i = 1; i <= s.wb.alg.ParameterCount; ++i) {
    s.wb.alg.Values[i] = i;
    s.wb.alg.Steps[i] = i <= free ? 7.0 / (grid - 1) : 0.0;
  }
  s.wb.alg.Steps[1] = 8.0 / (points - 1);
  s.answers.points = std::to_string(points);
  s.answers.gridPoints = std::to_string(grid);
}

size_t Evaluations(EvaluationSession& s) { return s.Model().vectorsSeen.size(); }

int ReportPoints(const std::string& report) {
  std::istringstream lines(report);
  std::string line;
  int count = 0;
  while (std::getline(lines, line))
    if (line.size() > 9 && line.compare(5, 4, "    ") == 0 && line[4] != ' ') ++count;
  return count;
}

TEST(Posterior, PointCountsAreRaisedToOddNumbersAndSetTheCalls) {
  // One free parameter: P points without integration, after one reference call.
  for (auto [asked, points] : {std::pair{"2", 3}, std::pair{"24", 25}}) {
    EvaluationSession s(3);
    SetUpGrid(s, 1, 25, 25);
    s.answers.points = asked;
    EXPECT_EQ(s.Posterior(), CommandOutcome::Done);
    EXPECT_EQ(s.wb.evaluation.Count(), points);
    EXPECT_EQ(Evaluations(s), static_cast<size_t>(points) + 1);
    EXPECT_EQ(ReportPoints(s.views.Report(ReportKind::Posterior)), points);
    EXPECT_FALSE(s.Asked(kCallCountTitle));
  }
  // A grid of 2 becomes 3: 3 points x 3 grid values.
  {
    EvaluationSession s(3);
    SetUpGrid(s, 2, 3, 3);
    s.answers.gridPoints = "2";
    EXPECT_EQ(s.Posterior(), CommandOutcome::Done);
    EXPECT_EQ(Evaluations(s), 9u + 1u);
  }
  // Three free parameters, P = G = 25: 25 x 25 x 25 calls, asked about by nobody.
  {
    EvaluationSession s(3);
    SetUpGrid(s, 3, 25, 25);
    EXPECT_EQ(s.Posterior(), CommandOutcome::Done);
    EXPECT_EQ(Evaluations(s), 15625u + 1u);
    EXPECT_FALSE(s.Asked(kCallCountTitle));
  }
}

TEST(Posterior, ALongRunIsAskedAboutAndNoLeavesTheDataAsTheyWere) {
  EvaluationSession s(4);
  SetUpGrid(s, 4, 25, 25);
  const Vector values = s.wb.alg.Values, steps = s.wb.alg.Steps;
  s.answers.manyCalls = false;
  EXPECT_EQ(s.Posterior(), CommandOutcome::Cancelled);
  ASSERT_TRUE(s.Asked(kCallCountTitle));
  std::string question;
  for (const DialogRecord& record : s.desktop.Transcript())
    if (record.title == kCallCountTitle) question = record.text;
  EXPECT_NE(question.find("requires 390625 function calls"), std::string::npos) << question;
  EXPECT_NE(question.find("Do you want to go on?"), std::string::npos);
  EXPECT_EQ(Evaluations(s), 1u);  // the reference alone
  EXPECT_EQ(s.wb.alg.Values, values);
  EXPECT_EQ(s.wb.alg.Steps, steps);
  EXPECT_TRUE(s.views.Report(ReportKind::Posterior).empty());
  EXPECT_FALSE(s.wb.state.BayesEvaluationActive);
}

TEST(Posterior, CancelledQuestionsKeepValuesAndStepsAndNonNumbersAreAskedAgain) {
  EvaluationSession s(2);
  SetUpGrid(s, 2, 5, 5);
  s.wb.state.CovarianceCurrent = true;
  s.wb.covariance.Resize(2);
  s.wb.covariance.CovarianceCount = 2;
  s.wb.covariance.CovariancePosition[1] = 1;
  s.wb.covariance.CovariancePosition[2] = 2;
  s.wb.covariance.GridResults[1](0, 1) = 1.0;
  s.wb.covariance.GridResults[1](0, 2) = 1.0;
  const Vector steps = s.wb.alg.Steps;
  s.answers.covarianceSteps = "q";
  int pointQuestions = 0;
  s.answers.first = [&](const DialogRecord& record) -> std::optional<DialogReply> {
    if (record.text.find("profile parameter") == std::string::npos) return std::nullopt;
    // "five" is no number: the question comes again.
    return DialogReply{Answer::Ok, ++pointQuestions == 1 ? "five" : "5"};
  };
  EXPECT_EQ(s.Posterior(), CommandOutcome::Cancelled);
  EXPECT_EQ(pointQuestions, 2);
  EXPECT_EQ(s.wb.alg.Steps, steps);
  EXPECT_EQ(s.views.editorOpened, 0);

  // Steps from covariance grid 1: +-3.5 SE over the grid, +-4 SE over the points.
  EvaluationSession t(2);
  SetUpGrid(t, 2, 5, 5);
  t.wb.state.CovarianceCurrent = true;
  t.wb.covariance = s.wb.covariance;
  t.answers.covarianceSteps = "1";
  t.answers.points = "5";
  t.answers.gridPoints = "8";  // raised to 9
  Vector seen;
  t.views.onEditor = [&] { seen = t.wb.alg.Steps; };
  EXPECT_EQ(t.Posterior(), CommandOutcome::Done);
  EXPECT_DOUBLE_EQ(seen[2], 7.0 / 8.0);
  EXPECT_DOUBLE_EQ(seen[1], 24.0 / (3.0 * 4.0));
  EXPECT_TRUE(t.Asked(kReminderTitle));
}

TEST(Posterior, NegativeStepGivesTheSameAscendingReport) {
  std::string reports[2];
  for (int sign = 0; sign < 2; ++sign) {
    EvaluationSession s(2);
    SetUpGrid(s, 2, 11, 7);
    s.wb.alg.Values[1] = 1.3;  // off centre, so the curve is not symmetric
    if (sign == 1) s.wb.alg.Steps[1] = -s.wb.alg.Steps[1];
    ASSERT_EQ(s.Posterior(), CommandOutcome::Done);
    reports[sign] = s.views.Report(ReportKind::Posterior);
    EXPECT_LT(s.wb.evaluation.ProfileValues[1], s.wb.evaluation.ProfileValues[11]);
  }
  EXPECT_EQ(reports[0], reports[1]);
}

// Gaussian likelihood N(1, 1) times a Gaussian prior N(2, 0.5^2): the
// posterior is N(1.8, 1/5), whatever the likelihood constant.
TEST(Posterior, GaussianLikelihoodTimesGaussianPriorGivesTheClosedFormPosterior) {
  EvaluationSession s(1);
  s.wb.priors.Type[1] = PriorType::N;
  s.wb.priors.Term1[1] = 2.0;
  s.wb.priors.Term2[1] = 0.5;
  s.wb.state.PriorsActive = true;
  s.wb.covariance.LikelihoodScale = 2.0;
  Vector probe(1, 0.0);
  if (ComputePriorTerm(s.wb, probe) == 0.0) GTEST_SKIP() << "the prior arithmetic is not built in";
  const double sd = 1.0 / std::sqrt(5.0);
  s.wb.alg.Values[1] = 1.8;
  s.wb.alg.Steps[1] = 8.0 * sd / 100.0;
  s.answers.points = "101";
  ASSERT_EQ(s.Posterior(), CommandOutcome::Done);
  EXPECT_NEAR(s.wb.evaluation.ExpectedValue, 1.8, 1E-4);
  EXPECT_NEAR(s.wb.evaluation.StandardError, sd, 1E-3 * sd);
  EXPECT_NEAR(s.wb.evaluation.MaxLikelihoodValue, 1.8, 1E-12);
}

// Misra1a at its certified estimates: the likelihood scale follows from the
// residual sum of squares and the 14 observations, and the posterior SE of
// b1, integrated over b2 with flat priors, comes out near NIST's certified SD.
TEST(Posterior, NistPosteriorStandardErrorIsNearTheCertifiedDeviation) {
  auto problem =
      testing::LoadNistProblem(std::string(ESTIMETRIX_TEST_DATA) + "/nist/Misra1a.dat");
  ASSERT_TRUE(problem);
  EvaluationSession s(2);
  s.wb.model = std::make_unique<testing::NistModel>(*problem);
  s.wb.state.ObservationCount = problem->ObservationCount();
  const double sd1 = problem->certifiedSd[0], sd2 = problem->certifiedSd[1];
  for (int i = 1; i <= 2; ++i) s.wb.alg.Values[i] = problem->certified[static_cast<size_t>(i - 1)];
  const int P = 51, G = 401;
  s.wb.alg.Steps[1] = 10.0 * sd1 / (P - 1);  // +-5 SD
  s.wb.alg.Steps[2] = 20.0 * sd2 / (G - 1);  // +-10 SD: b2 follows b1 closely
  s.answers.points = std::to_string(P);
  s.answers.gridPoints = std::to_string(G);
  s.wb.ThreadCount = 1;
  ASSERT_EQ(s.Posterior(), CommandOutcome::Done);
  EXPECT_FALSE(s.Asked("Enter constant"));
  EXPECT_NEAR(s.wb.evaluation.StandardError, sd1, 0.01 * sd1);
  EXPECT_NEAR(s.wb.evaluation.ExpectedValue, problem->certified[0], 0.05 * sd1);
}

// A reference point far from the likelihood's peak: exp(-(V - V0)) would
// overflow on most of the grid. The -ln values stay finite and equal those
// of a reference at the peak, up to rounding.
TEST(Posterior, FarReferenceDoesNotOverflowTheIntegral) {
  Vector relative[2];
  for (int far = 0; far < 2; ++far) {
    EvaluationSession s(2);
    s.wb.alg.Values[1] = 1.0;
    s.wb.alg.Steps[1] = 0.25;
    s.wb.alg.Values[2] = far ? 62.0 : 2.0;  // the peak of parameter 2 is at 2
    s.wb.alg.Steps[2] = 0.6;
    s.answers.points = "9";
    s.answers.gridPoints = "201";
    ASSERT_EQ(s.Posterior(), CommandOutcome::Done);
    relative[far] = s.wb.evaluation.ProfileObjectives;
    for (double v : relative[far]) EXPECT_TRUE(std::isfinite(v));
  }
  for (int k = 1; k <= 9; ++k) EXPECT_NEAR(relative[1][k], relative[0][k], 1E-9) << k;
}

// The same far reference with the bivariate plot: the densities would pass
// the largest double, so the grid is scaled by its largest value. The peak
// reads 1 and lies at the likelihood's peak, and every cell keeps its ratio
// to the peak, the ratio a reference at the peak gives at the same place
// (the far grid's first 101 values of parameter 2 are the near grid's last;
// beyond them the density is below any double).
TEST(Posterior, FarReferenceScalesTheBivariateGridByItsLargestDensity) {
  BivariatePlot grids[2];
  std::string reports[2];
  for (int far = 0; far < 2; ++far) {
    EvaluationSession s(2);
    s.wb.alg.Values[1] = 1.0;
    s.wb.alg.Steps[1] = 0.25;
    s.wb.alg.Values[2] = far ? 62.0 : 2.0;
    s.wb.alg.Steps[2] = 0.6;
    s.answers.points = "9";
    s.answers.gridPoints = "201";
    s.answers.bivariate = true;
    ASSERT_EQ(s.Posterior(), CommandOutcome::Done);
    ASSERT_EQ(s.views.Bivariates().size(), 1u);
    grids[far] = s.views.Bivariates().front();
    reports[far] = s.views.Report(ReportKind::Posterior);
  }
  const BivariatePlot& near = grids[0];
  const BivariatePlot& far = grids[1];
  ASSERT_EQ(far.density.size(), near.density.size());
  EXPECT_EQ(far.largest, 1.0);
  EXPECT_NEAR(far.largestX, 1.0, 1e-12);
  EXPECT_NEAR(far.largestY, 2.0, 1e-9);
  int atPeak = 0;
  const size_t G = 201;
  for (size_t c = 0; c < far.density.size(); ++c) {
    const size_t i = c / G, j = c % G;
    const double expected = j <= 100 ? near.density[i * G + j + 100] / near.largest : 0.0;
    EXPECT_NEAR(far.density[c], expected, 1e-12) << i << " " << j;
    if (far.density[c] == 1.0) ++atPeak;
  }
  EXPECT_EQ(atPeak, 1);  // a single largest cell, not a plateau of clipped values
  EXPECT_NE(reports[1].find(kScaledDensityNote), std::string::npos);
  EXPECT_EQ(reports[0].find(kScaledDensityNote), std::string::npos);
  // Densities that fit a double are not scaled: exp(0) = 1 at the reference.
  EXPECT_EQ(near.largest, 1.0);
  const std::string file = BivariateGridText(far);
  EXPECT_NE(file.find("    2.0000E+000    1.0000E+000\n"), std::string::npos);
  EXPECT_EQ(file.find("1.7977E+308"), std::string::npos);
}

// An exponential prior of mean 1 on a parameter whose likelihood is N(1, 1):
// where the prior's density is zero (x <= 0) so is the posterior, and what
// remains is N(0, 1) cut at 0, a half-normal of mean sqrt(2/pi) and SD
// sqrt(1 - 2/pi).
TEST(Posterior, APriorOfZeroDensityLeavesNoPosteriorThere) {
  EvaluationSession s(1);
  s.wb.priors.Type[1] = PriorType::E;
  s.wb.priors.Term1[1] = 1.0;
  s.wb.priors.Term2[1] = 1.0;
  s.wb.state.PriorsActive = true;
  s.wb.covariance.LikelihoodScale = 2.0;
  s.wb.alg.Values[1] = 0.0;
  s.wb.alg.Steps[1] = 0.01;
  s.answers.points = "801";  // -4 to 4
  ASSERT_EQ(s.Posterior(), CommandOutcome::Done);
  const double pi = std::acos(-1.0);
  EXPECT_NEAR(s.wb.evaluation.ExpectedValue, std::sqrt(2.0 / pi), 5e-3);
  EXPECT_NEAR(s.wb.evaluation.StandardError, std::sqrt(1.0 - 2.0 / pi), 5e-3);
  for (int k = 1; k <= 400; ++k) EXPECT_EQ(s.wb.evaluation.PointPdf[k], 0.0) << k;
}

TEST(Posterior, InterruptAtAPointReportsTheEarlierPoints) {
  EvaluationSession s(2);
  SetUpGrid(s, 2, 9, 3);
  // Point 5's last grid value is call 1 + 5 x 3.
  s.desktop.SetYieldHook([&s] {
    if (s.Model().vectorsSeen.size() == 16) s.wb.state.BayesInterruptRequested = true;
  });
  ASSERT_EQ(s.Posterior(), CommandOutcome::Done);
  EXPECT_TRUE(s.Asked(kBayesInterruptTitle));
  EXPECT_EQ(Evaluations(s), 16u);
  EXPECT_EQ(ReportPoints(s.views.Report(ReportKind::Posterior)), 3);
  EXPECT_EQ(s.views.interruptItems,
            (std::vector<std::string>{"bayes shown", "bayes hidden"}));
  EXPECT_FALSE(s.wb.state.BayesInterruptRequested);

  // Quitting at point 4 leaves two points: nothing is reported.
  EvaluationSession t(2);
  SetUpGrid(t, 2, 9, 3);
  t.desktop.SetYieldHook([&t] {
    if (t.Model().vectorsSeen.size() == 13) t.wb.state.BayesInterruptRequested = true;
  });
  EXPECT_EQ(t.Posterior(), CommandOutcome::Done);
  EXPECT_TRUE(t.views.Report(ReportKind::Posterior).empty());
}

// The grid of two free parameters evaluated on one and on two threads (and
// by the serial path of a model without evaluators): the same report and
// grid file, byte for byte.
TEST(Posterior, ReportAndGridAreTheSameForAnyThreadCount) {
  std::string reports[3], grids[3];
  for (int run = 0; run < 3; ++run) {
    EvaluationSession s(2);
    SetUpGrid(s, 2, 7, 9);
    s.Model().parallel = run > 0;
    s.wb.ThreadCount = run == 2 ? 2 : 1;
    s.answers.bivariate = true;
    ASSERT_EQ(s.Posterior(), CommandOutcome::Done);
    reports[run] = s.views.Report(ReportKind::Posterior);
    ASSERT_EQ(s.views.Bivariates().size(), 1u);
    grids[run] = BivariateGridText(s.views.Bivariates().front());
  }
  EXPECT_EQ(reports[1], reports[0]);
  EXPECT_EQ(reports[2], reports[0]);
  EXPECT_EQ(grids[1], grids[0]);
  EXPECT_EQ(grids[2], grids[0]);
}

// A small case saved as .pos and .grd, compared byte for byte with files
// checked by hand against the layout.
TEST(Posterior, SavedPosteriorAndGridFilesAreByteExact) {
  testing::TemporaryFolder folder;
  EvaluationSession s(2);
  SetUpGrid(s, 2, 5, 3);
  s.wb.alg.Values[1] = 1.3;
  s.answers.bivariate = true;
  s.answers.gridFile = folder.File("small.grd");
  ASSERT_EQ(s.Posterior(), CommandOutcome::Done);
  const std::string data = std::string(ESTIMETRIX_TEST_DATA) + "/evaluation/";
  EXPECT_EQ(FileBytes(folder.File("small.grd")), FileBytes(data + "small.grd"));
  std::string text = s.views.Report(ReportKind::Posterior), error;
  const std::string path = folder.File("small.pos");
  ASSERT_TRUE(WriteReportFile(path, text, error)) << error;
  EXPECT_EQ(FileBytes(path), ToCrLf(SavedReportHeader(path)) + FileBytes(data + "small.pos"));
  // The grid file's save dialogue.
  for (const DialogRecord& record : s.desktop.Transcript()) {
    if (record.kind != DialogKind::SaveFile) continue;
    EXPECT_EQ(record.title, kGridSaveTitle);
    EXPECT_EQ(record.text, "All files (*.*)|*.*|Grid files (*.grd)|*.grd");
    EXPECT_EQ(record.defaultText, "12081435.grd");
  }
}

}  // namespace
}  // namespace estimetrix
