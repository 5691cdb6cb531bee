// Markov chain sampling of the posterior as a user meets it: the posterior
// of a known Gaussian recovered, draws that do not depend on the thread
// count, the warning on chains that have not mixed, the draws file and the
// report, an interrupted run and a run with priors.

#include "engine/bayesian/mcmc.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/bayesian/mcmc_diagnostics.h"
#include "engine/bayesian/mcmc_report.h"
#include "engine/bayesian/mcmc_run.h"
#include "tests/support/evaluation_session.h"
#include "tests/support/gaussian_posterior.h"

namespace estimetrix {
namespace {

using testing::EvaluationSession;
using testing::kGaussianSD;

struct ChainAnswers {
  std::string draws = "2000";
  std::string chains = "4";
  std::string warmUp = "";  // empty: the proposed default
  std::string thin = "1";
  std::string proposal = "2";
  std::string seed = "20261209";
  std::string pairs = "";  // empty: the proposed default
  bool saveDraws = false;
};

// A session with the Gaussian posterior whose questions are answered from `answers`.
struct ChainSession {
  EvaluationSession s{testing::kGaussianParameters};
  ChainAnswers answers;
  explicit ChainSession(bool parallel = true, int threads = 2) {
    testing::MakeGaussianPosterior(s);
    s.Model().parallel = parallel;
    s.wb.ThreadCount = threads;
    s.answers.first = [this](const DialogRecord& record) -> std::optional<DialogReply> {
      auto text = [](const std::string& t) { return DialogReply{Answer::Ok, t}; };
      auto has = [&record](const char* part) {
        return record.text.find(part) != std::string::npos;
      };
      if (record.title == kMcmcPairsTitle)
        return text(answers.pairs.empty() ? record.defaultText : answers.pairs);
      if (record.title == kMcmcSaveQuestionTitle)
        return DialogReply{answers.saveDraws ? Answer::Yes : Answer::No, std::nullopt};
      if (record.title != kMcmcTitle) return std::nullopt;
      if (record.kind == DialogKind::Message)
        return DialogReply{record.buttons == Buttons::Ok ? Answer::Ok : Answer::Yes, std::nullopt};
      if (has(kMcmcDrawsPrompt)) return text(answers.draws);
      if (has(kMcmcChainsPrompt)) return text(answers.chains);
      if (has(kMcmcWarmUpPrompt))
        return text(answers.warmUp.empty() ? record.defaultText : answers.warmUp);
      if (has(kMcmcThinPrompt)) return text(answers.thin);
      if (has(kMcmcProposalPrompt)) return text(answers.proposal);
      if (has(kMcmcSeedPrompt)) return text(answers.seed);
      return std::nullopt;
    };
  }
  CommandOutcome Run() { return RunEvaluationChoice(s.ctx, EvaluationChoice::Chains); }
  const ChainDrawTable& Draws() const { return s.wb.chainDraws; }
  std::string Report() const { return s.views.Report(ReportKind::Chains); }
  std::string Csv() const { return ChainDrawsCsv(s.wb.chainDraws); }
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(MarkovChains, TheCorrelatedGaussianPosteriorIsRecovered) {
  ChainSession run;
  run.answers.draws = "20000";
  run.answers.warmUp = "5000";
  ASSERT_EQ(run.Run(), CommandOutcome::Done);
  const ChainDrawTable& table = run.Draws();
  ASSERT_EQ(table.chains, 4);
  ASSERT_EQ(table.draws, 20000);
  for (int j = 0; j < testing::kGaussianParameters; ++j) {
    const ParameterDiagnostics d = Diagnose(DrawsOf(table, j));
    const double sd = kGaussianSD[static_cast<size_t>(j)];
    EXPECT_NEAR(d.mean, testing::GaussianMean(j + 1), 4.0 * d.mcse) << "parameter " << j + 1;
    EXPECT_NEAR(d.sd, sd, 0.03 * sd) << "parameter " << j + 1;
    EXPECT_LT(d.rhat, 1.01);
    // The closed-form quantiles of the marginal normal, within a few MC errors.
    EXPECT_NEAR(d.q975, testing::GaussianMean(j + 1) + 1.959964 * sd, 0.1 * sd);
  }
  EXPECT_EQ(run.Report().find("Warning:"), std::string::npos) << run.Report();
  // The adaptation brings the acceptance near 0.234 for every chain.
  for (const std::string& line : Lines(run.Report()))
    if (line.rfind("  Chain ", 0) == 0) {
      const double rate = std::stod(line.substr(line.find(':') + 1));
      EXPECT_GT(rate, 0.15) << line;
      EXPECT_LT(rate, 0.35) << line;
    }
}

TEST(MarkovChains, DrawsDependOnTheSeedAloneNotOnThreadsOrTheEvaluationPath) {
  auto csv = [](bool parallel, int threads, const std::string& seed) {
    ChainSession run(parallel, threads);
    run.answers.draws = "300";
    run.answers.chains = "3";
    run.answers.seed = seed;
    EXPECT_EQ(run.Run(), CommandOutcome::Done);
    return run.Csv();
  };
  const std::string one = csv(true, 1, "42");
  EXPECT_EQ(csv(true, 2, "42"), one);
  EXPECT_EQ(csv(true, 2, "42"), one);
  EXPECT_EQ(csv(false, 2, "42"), one);  // a model without evaluators: MODEL on one thread
  EXPECT_NE(csv(true, 2, "43"), one);
}

TEST(MarkovChains, ChainsStartedFarApartWithTooFewDrawsEarnTheWarning) {
  ChainSession run;
  // Steps of 40 SDs for the proposal and no warm-up: the chains start far
  // apart and hardly move in 30 draws.
  for (int i = 1; i <= testing::kGaussianParameters; ++i)
    run.s.wb.alg.Steps[i] = 40.0 * kGaussianSD[static_cast<size_t>(i - 1)];
  run.answers.proposal = "N";
  run.answers.draws = "30";
  run.answers.warmUp = "0";
  ASSERT_EQ(run.Run(), CommandOutcome::Done);
  bool high = false;
  for (int j = 0; j < testing::kGaussianParameters; ++j)
    high = high || Diagnose(DrawsOf(run.Draws(), j)).rhat > 1.01;
  EXPECT_TRUE(high);
  EXPECT_NE(run.Report().find("\nWarning: R-hat above 1.01 or effective sample size below 400 "
                              "for parameter"),
            std::string::npos)
      << run.Report();
}

TEST(MarkovChains, TheDrawsFileHasOneColumnPerFreeParameterAndTheObjective) {
  ChainSession run;
  run.s.wb.alg.Steps[3] = 0.0;  // parameter 3 stays at its value
  run.answers.draws = "50";
  run.answers.chains = "2";
  run.answers.proposal = "N";
  ASSERT_EQ(run.Run(), CommandOutcome::Done);
  const std::vector<std::string> lines = Lines(run.Csv());
  ASSERT_EQ(lines.size(), 1u + 2u * 50u);
  EXPECT_EQ(lines[0], "chain,draw,p1,p2,p4,objective");
  EXPECT_EQ(lines[1].rfind("1,1,", 0), 0u);
  EXPECT_EQ(lines[50].rfind("1,50,", 0), 0u);
  EXPECT_EQ(lines[51].rfind("2,1,", 0), 0u);
  // Each draw's objective is the model's at that draw (parameter 3 at 3).
  const testing::QuadraticModel& model = run.s.Model();
  for (size_t k : {size_t{1}, size_t{77}, lines.size() - 1}) {
    std::vector<double> fields;
    std::stringstream row(lines[k]);
    for (std::string field; std::getline(row, field, ',');) fields.push_back(std::stod(field));
    ASSERT_EQ(fields.size(), 6u);
    Vector x(4, 0.0);
    x[1] = fields[2];
    x[2] = fields[3];
    x[3] = 3.0;
    x[4] = fields[4];
    EXPECT_DOUBLE_EQ(
        fields[5], testing::QuadraticFormObjective(model.centre, model.precision, model.offset, x));
  }
  // Saved through the dialogue: CR LF line ends, the same text.
  ChainSession saved;
  saved.answers.draws = "20";
  saved.answers.saveDraws = true;
  saved.s.answers.gridFile = ::testing::TempDir() + "/chains_draws.csv";
  ASSERT_EQ(saved.Run(), CommandOutcome::Done);
  std::ifstream in(*saved.s.answers.gridFile, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  std::string expected = saved.Csv(), crlf;
  for (char c : expected) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(bytes.str(), crlf);
}

TEST(MarkovChains, TheReportCitesItsMethodsAndHasOneRowPerFreeParameter) {
  ChainSession run;
  run.answers.draws = "500";
  run.answers.chains = "3";
  run.answers.thin = "2";
  ASSERT_EQ(run.Run(), CommandOutcome::Done);
  const std::string report = run.Report();
  const std::vector<std::string> lines = Lines(report);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "Markov chain posterior");
  for (const char* citation : {"Haario, Saksman and Tamminen 2001", "Roberts and Rosenthal",
                               "2009, J. Comput. Graph. Stat. 18:349-367", "Vehtari, Gelman,",
                               "Bayesian Analysis 16:667-718"})
    EXPECT_NE(report.find(citation), std::string::npos) << citation;
  EXPECT_NE(report.find("Kept draws:     500 per chain (1500 in all)"), std::string::npos);
  EXPECT_NE(report.find("Thinning:       one draw kept in 2"), std::string::npos);
  EXPECT_NE(report.find("Seed:           20261209\n"), std::string::npos);
  EXPECT_NE(report.find("Proposal:       covariance matrix of grid 2 x 2.38^2/4"),
            std::string::npos);
  size_t header = 0;
  for (; header < lines.size(); ++header)
    if (lines[header].rfind("  Param      Estimate", 0) == 0) break;
  ASSERT_LT(header + 4, lines.size());
  for (int j = 1; j <= 4; ++j) {
    const std::string& row = lines[header + static_cast<size_t>(j)];
    EXPECT_EQ(row.substr(0, 7), "      " + std::to_string(j));
    EXPECT_EQ(row.size(), 7u + 7u * 14u + 8u + 10u + 10u) << row;
  }
  int chainLines = 0;
  for (const std::string& line : lines) chainLines += line.rfind("  Chain ", 0) == 0;
  EXPECT_EQ(chainLines, 3);
  // The plots: a trace per parameter, a density per parameter, one pairs plot.
  EXPECT_EQ(run.s.views.Distributions().size(), 4u);
  ASSERT_EQ(run.s.views.Bivariates().size(), 1u);
  EXPECT_EQ(run.s.views.Bivariates()[0].xParameter, 1);
  EXPECT_EQ(run.s.views.Bivariates()[0].yParameter, 2);
  // Thinning by 2 keeps every second of 1000 draws after the warm-up.
  EXPECT_EQ(run.Draws().draws, 500);
}

TEST(MarkovChains, AnInterruptedRunReportsTheDrawsItHas) {
  ChainSession run(false, 1);
  run.answers.draws = "10000000";
  run.answers.warmUp = "0";
  run.answers.chains = "3";
  run.answers.proposal = "N";
  run.s.desktop.SetYieldHook([&] { run.s.wb.state.BayesInterruptRequested = true; });
  ASSERT_EQ(run.Run(), CommandOutcome::Done);
  EXPECT_TRUE(run.s.Asked(kBayesInterruptTitle));
  const ChainDrawTable& table = run.Draws();
  ASSERT_GT(table.draws, 3);
  EXPECT_LT(table.draws, 10000000);
  EXPECT_NE(run.Report().find("Interrupted: the figures use the first " +
                              std::to_string(table.draws) + " kept draws of each chain."),
            std::string::npos);
  EXPECT_EQ(Lines(run.Csv()).size(), 1u + 3u * static_cast<size_t>(table.draws));
  EXPECT_FALSE(run.s.wb.state.BayesEvaluationActive);
}

// A Gaussian prior N(2, 0.5^2) on parameter 1 of the Gaussian posterior:
// its marginal becomes N(1.8, 1/5).
TEST(MarkovChains, APriorShiftsTheMarginalToTheClosedFormPosterior) {
  ChainSession run;
  run.s.wb.priors.Type[1] = PriorType::N;
  run.s.wb.priors.Term1[1] = 2.0;
  run.s.wb.priors.Term2[1] = 0.5;
  run.s.wb.state.PriorsActive = true;
  run.answers.draws = "20000";
  run.answers.warmUp = "5000";
  run.answers.proposal = "N";
  ASSERT_EQ(run.Run(), CommandOutcome::Done);
  const ParameterDiagnostics d = Diagnose(DrawsOf(run.Draws(), 0));
  const double sd = 1.0 / std::sqrt(5.0);
  EXPECT_NEAR(d.mean, 1.8, 4.0 * d.mcse);
  EXPECT_NEAR(d.sd, sd, 0.03 * sd);
  EXPECT_NE(run.Report().find("+ PriorTerm)), LikelihoodScale 2.0000E+000, priors on"),
            std::string::npos)
      << run.Report();
}

TEST(MarkovChains, CancellingAQuestionChangesNothing) {
  ChainSession run;
  const Vector values = run.s.wb.alg.Values, steps = run.s.wb.alg.Steps;
  run.answers.seed = "";
  run.s.answers.first =
      [first = run.s.answers.first](const DialogRecord& record) -> std::optional<DialogReply> {
    if (record.kind == DialogKind::Input && record.text.find(kMcmcSeedPrompt) != std::string::npos)
      return DialogReply{Answer::Cancel, std::nullopt};
    return first(record);
  };
  EXPECT_EQ(run.Run(), CommandOutcome::Cancelled);
  EXPECT_EQ(run.s.wb.alg.Values, values);
  EXPECT_EQ(run.s.wb.alg.Steps, steps);
  EXPECT_TRUE(run.Draws().Empty());
}

}  // namespace
}  // namespace estimetrix
