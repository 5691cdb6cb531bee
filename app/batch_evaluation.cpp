// The evaluation part of the runner: Bayesian posteriors and likelihood
// profiles of one parameter through the chooser's commands, their reports on
// standard output, and the .pos, .mlc and .grd files.

#include <cmath>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/batch_runner.h"
#include "engine/base/format.h"
#include "engine/base/time_text.h"
#include "engine/bayesian/likelihood_profile.h"
#include "engine/bayesian/posterior.h"
#include "engine/commands/evaluation_commands.h"
#include "engine/state/report_file.h"
#include "engine/state/workbench.h"
#include "platform/text_file.h"

namespace estimetrix {

namespace {

constexpr const char* kStepsOption = "--steps-from-covariance";
constexpr const char* kYesLongRuns = "--yes-long-runs";
constexpr const char* kMaxSeconds = "--max-seconds";
constexpr const char* kAlignedOption = "--aligned-grid";

// The answers of the evaluation running now.
struct EvaluationAnswers {
  bool running = false;
  std::string parameter, points, gridPoints;
  bool simplex = true;
  int constantAsked = 0;
  std::string name;  // "posterior" or "profile"
};

// "1,25,25" or "1,25,simplex": the argument's comma-separated parts.
std::vector<std::string> Parts(const std::string& argument) {
  std::vector<std::string> parts;
  std::stringstream list(argument);
  std::string item;
  while (std::getline(list, item, ',')) parts.push_back(item);
  return parts;
}

bool WholeIn(const std::string& text, long long lo, long long hi) {
  long long value = 0;
  return StrictInteger(text, lo, hi, value);
}

// The question about a long run, answered from --yes-long-runs or the time
// budget of --max-seconds. It is always shown on standard error: a run of
// hours should not start without a word. Declined, it counts as a question
// no option answers.
std::optional<DialogReply> AnswerLongRun(const DialogRecord& record, BatchSession& session) {
  session.err << EscapeControlCharacters(record.title + ": " + record.text) << "\n";
  const double estimate = session.wb.longRun.seconds;
  const std::string about = "about " + MinutesSeconds(estimate) + " (m:s)";
  if (session.Has(kYesLongRuns)) {
    session.err << "estimetrix-batch: going on (" << kYesLongRuns << ")\n";
    return Reply(Answer::Yes);
  }
  if (session.Has(kMaxSeconds)) {
    double budget = 0.0;
    StrictReal(session.Option(kMaxSeconds), budget);  // checked before the first command
    if (estimate <= budget) {
      session.err << "estimetrix-batch: going on: " << about << " fits " << kMaxSeconds << " "
                  << session.Option(kMaxSeconds) << "\n";
      return Reply(Answer::Yes);
    }
    session.err << "estimetrix-batch: " << about << " is more than " << kMaxSeconds << " "
                << session.Option(kMaxSeconds) << "\n";
  }
  session.err << "estimetrix-batch: no option answers this question (" << kYesLongRuns
              << " goes on, as does " << kMaxSeconds << " S with S at least "
              << static_cast<long long>(std::ceil(estimate)) << ")\n";
  session.unanswered = true;
  return Reply(Answer::No);
}

// The grid question comes only when parameters besides the evaluated one
// are free; a run that gave no GRID (or 0) cannot answer it.
std::optional<DialogReply> AnswerGridPoints(BatchSession& session,
                                            const EvaluationAnswers& answers) {
  if (!answers.gridPoints.empty() && answers.gridPoints != "0") return Reply(answers.gridPoints);
  BatchFail(session, answers.name + ": GRID is needed: parameters other than " + answers.parameter +
                         " are free (give PARAM POINTS GRID, GRID 1 to 1001)");
  return Reply(Answer::Cancel);
}

std::optional<DialogReply> AnswerEvaluationQuestion(const DialogRecord& record,
                                                    BatchSession& session,
                                                    EvaluationAnswers& answers) {
  if (!answers.running) return {};
  const std::string& text = record.text;
  auto has = [&text](const char* part) { return text.find(part) != std::string::npos; };
  if (record.kind == DialogKind::SaveFile && record.title == kGridSaveTitle)
    return DialogReply{Answer::Cancel, std::nullopt};  // save-grd writes it
  if (record.kind == DialogKind::Input) {
    if (record.title == "Enter constant") {
      if (++answers.constantAsked > 1) return {};  // refused once: stop rather than loop
      if (session.Has(kLikelihoodConstantOption))
        return Reply(session.Option(kLikelihoodConstantOption));
      const double suggested = session.wb.model ? session.wb.model->SuggestedLikelihoodConstant() : 0;
      if (suggested > 0.0) return Reply(GeneralNumber(suggested));
      if (!record.defaultText.empty()) return Reply(record.defaultText);
      return {};
    }
    if (record.title != kPosteriorTitle && record.title != kProfileTitle) return {};
    if (has("parameter #")) return Reply(answers.parameter);
    if (has("profile parameter") || has("x-y data points")) return Reply(answers.points);
    if (has("grid parameter")) return AnswerGridPoints(session, answers);
    if (has("covariance grid")) return Reply(session.Option(kStepsOption, "N"));
    return {};
  }
  if (record.kind != DialogKind::Message) return {};
  if (record.title == kPosteriorTitle || record.title == kProfileTitle) {
    if (has("SIMPLEX")) return Reply(answers.simplex ? Answer::Yes : Answer::No);
    return Reply(Answer::Yes);  // go on
  }
  // The runner keeps the bivariate grid so that save-grd (and --plots) can use it.
  if (record.title == kBivariateTitle) return Reply(Answer::Yes);
  if (record.title == kAlignedGridTitle && record.buttons != Buttons::Ok)
    return Reply(session.Has(kAlignedOption) ? Answer::Yes : Answer::No);
  if (record.title == kCallCountTitle) return AnswerLongRun(record, session);
  // Marquardt at each profile point: numerical derivatives, no display.
  if (record.title == "Marquardt minimization" && record.buttons != Buttons::Ok)
    return Reply(Answer::No);
  return {};
}

int RunEvaluation(BatchSession& session, EvaluationAnswers& answers, EvaluationChoice choice,
                  const std::string& name) {
  if (session.Has(kStepsOption) && !WholeIn(session.Option(kStepsOption), 1, 3))
    return BatchFail(session, std::string(kStepsOption) + " needs 1, 2 or 3, not \"" +
                                  session.Option(kStepsOption) + "\"");
  if (session.Has(kStepsOption) && !session.wb.state.CovarianceCurrent)
    return BatchFail(session, name + ": " + kStepsOption +
                                  " needs covariances of the current values (run covariance "
                                  "first)");
  if (choice == EvaluationChoice::Posterior && session.Has(kAlignedOption) &&
      !session.Has(kStepsOption))
    return BatchFail(session, name + ": " + kAlignedOption + " needs " + kStepsOption +
                                  " (the grid follows that covariance matrix)");
  const ReportKind kind = choice == EvaluationChoice::Posterior ? ReportKind::Posterior
                                                                : ReportKind::Profile;
  // The engine asks for a parameter number until it gets one in range; the
  // runner's answer does not change, so one out of range is refused here.
  const int n = session.wb.alg.ParameterCount;
  if (!WholeIn(answers.parameter, 1, n))
    return BatchFail(session, name + ": PARAM must be a parameter number from 1 to " + IntText(n) +
                                  ", not " + answers.parameter);
  session.views.SetReportText(kind, "");
  answers.name = name;
  answers.running = true;
  answers.constantAsked = 0;
  CommandOutcome outcome = session.Run(MenuButton::ParEstimate, name);
  if (outcome == CommandOutcome::Done) {
    CommandContext context{session.wb, session.desktop, session.menu, session.views};
    outcome = RunEvaluationChoice(context, choice);
    session.menu.ShowMenu();
  }
  answers.running = false;
  if (outcome != CommandOutcome::Done) return kBatchFailed;  // the message is on standard error
  const std::string report = session.views.ReportText(kind);
  if (report.empty()) return BatchFail(session, name + ": fewer than three points, no report");
  session.out << report;
  return kBatchSucceeded;
}

int Posterior(BatchSession& session, EvaluationAnswers& answers, const std::string& argument) {
  const std::vector<std::string> parts = Parts(argument);
  // GRID may be left out (or 0) when no other parameter is free.
  if ((parts.size() != 2 && parts.size() != 3) || !WholeIn(parts[0], 1, 1000000) ||
      !WholeIn(parts[1], 1, 1001) || (parts.size() == 3 && !WholeIn(parts[2], 0, 1001)))
    return BatchFail(session,
                     "posterior needs PARAM POINTS GRID (whole numbers; POINTS 1 to "
                     "1001, GRID 1 to 1001, or 0 or left out when no other parameter "
                     "is free), not \"" +
                         argument + "\"");
  answers.parameter = parts[0];
  answers.points = parts[1];
  answers.gridPoints = parts.size() == 3 ? parts[2] : std::string();
  return RunEvaluation(session, answers, EvaluationChoice::Posterior, "posterior");
}

int Profile(BatchSession& session, EvaluationAnswers& answers, const std::string& argument) {
  const std::vector<std::string> parts = Parts(argument);
  if (parts.size() != 3 || !WholeIn(parts[0], 1, 1000000) || !WholeIn(parts[1], 0, 1001) ||
      (parts[2] != "simplex" && parts[2] != "marquardt"))
    return BatchFail(session, "profile needs PARAM POINTS simplex or PARAM POINTS marquardt, not \"" +
                                  argument + "\"");
  answers.parameter = parts[0];
  answers.points = parts[1];
  answers.simplex = parts[2] == "simplex";
  return RunEvaluation(session, answers, EvaluationChoice::Profile, "profile");
}

int SaveReport(BatchSession& session, ReportKind kind, const std::string& name,
               const std::string& path) {
  std::string text = session.views.ReportText(kind);
  if (text.empty())
    return BatchFail(session, name + ": no report to save (run " +
                                  (kind == ReportKind::Posterior ? "posterior" : "profile") +
                                  " first)");
  std::string error;
  if (!WriteReportFile(path, text, error)) return BatchFail(session, name + ": " + error);
  session.views.SetReportText(kind, text);
  return kBatchSucceeded;
}

int SaveGrid(BatchSession& session, const std::string& path) {
  const BivariatePlot& plot = session.wb.bivariatePlot;
  if (plot.x.empty())
    return BatchFail(session, "save-grd: no bivariate grid (run a posterior with exactly two "
                              "free parameters first)");
  std::string error;
  if (!WriteBivariateGrid(path, plot, error)) return BatchFail(session, "save-grd: " + error);
  return kBatchSucceeded;
}

}  // namespace

BatchArea EvaluationBatchArea() {
  auto answers = std::make_shared<EvaluationAnswers>();
  BatchArea area;
  area.options.push_back({kStepsOption, "K",
                          "posterior and profile: steps from the standard errors of covariance "
                          "grid K (1, 2 or 3) instead of the steps as they stand."});
  area.options.push_back({kYesLongRuns, "",
                          "posterior and profile: go on when a run needs more function calls "
                          "than run without a question (the estimate is on standard error; "
                          "otherwise the run ends with exit status 2)."});
  area.options.push_back({kMaxSeconds, "S",
                          "posterior and profile: go on with a long run when its estimated "
                          "time is at most S seconds."});
  area.options.push_back({kAlignedOption, "",
                          "posterior with --steps-from-covariance: lay each point's grid along "
                          "the conditional covariance of the other free parameters."});
  area.prepare = [](BatchSession& session) {
    double seconds = 0.0;
    if (session.Has(kMaxSeconds) && (!StrictReal(session.Option(kMaxSeconds), seconds) ||
                                     !std::isfinite(seconds) || seconds < 0.0))
      return BatchFail(session, std::string(kMaxSeconds) + " needs a number of seconds, not \"" +
                                    session.Option(kMaxSeconds) + "\"");
    return kBatchSucceeded;
  };
  area.commands.push_back(
      {"posterior", "PARAM POINTS [GRID]",
       "Bayesian posterior of parameter PARAM on POINTS points, integrated over GRID points of "
       "each other free parameter (GRID left out when no other is free): the report on "
       "standard output.",
       [answers](BatchSession& session, const std::string& argument) {
         return Posterior(session, *answers, argument);
       }});
  area.commands.push_back(
      {"profile", "PARAM POINTS METHOD",
       "Likelihood profile of parameter PARAM on POINTS points, minimizing the others with "
       "METHOD simplex or marquardt at each point: the report on standard output.",
       [answers](BatchSession& session, const std::string& argument) {
         return Profile(session, *answers, argument);
       }});
  area.commands.push_back({"save-pos", "FILE", "Save the last posterior report (.pos).",
                           [](BatchSession& session, const std::string& path) {
                             return SaveReport(session, ReportKind::Posterior, "save-pos", path);
                           }});
  area.commands.push_back({"save-mlc", "FILE", "Save the last likelihood-profile report (.mlc).",
                           [](BatchSession& session, const std::string& path) {
                             return SaveReport(session, ReportKind::Profile, "save-mlc", path);
                           }});
  area.commands.push_back(
      {"save-grd", "FILE",
       "Save the bivariate grid of the last posterior with two free parameters (.grd).",
       SaveGrid});
  area.answerers.push_back([answers](const DialogRecord& record, BatchSession& session) {
    return AnswerEvaluationQuestion(record, session, *answers);
  });
  return area;
}

}  // namespace estimetrix
