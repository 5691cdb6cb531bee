// The covariance part of the runner: the covariance command (numerical grids,
// the report on standard output) and saving the covariance file.

#include <cmath>
#include <memory>
#include <sstream>

#include "app/batch_runner.h"
#include "engine/base/format.h"
#include "engine/covariance/covariance.h"
#include "engine/covariance/covariance_report.h"

namespace estimetrix {

namespace {

constexpr const char* kGridFactors = "--grid-factors";
constexpr const char* kOptimistic = "--optimistic";
constexpr const char* kSaveTitle = "Save covariance data in...";

// The answers of one covariance command, read from the options before it runs.
struct CovarianceAnswers {
  double factors[4] = {0.0, 1.0, 0.1, 0.01};
  std::string constant;  // empty: the model's suggestion
  int constantAsked = 0;
  bool running = false;  // the constant question is this command's only while it runs
};

bool ReadFactors(BatchSession& session, CovarianceAnswers& answers) {
  std::stringstream list(session.Option(kGridFactors, "1,0.1,0.01"));
  std::string item;
  int k = 0;
  while (std::getline(list, item, ',')) {
    double value = 0.0;
    if (++k > kCovarianceGrids || !StrictReal(item, value) || !std::isfinite(value) || value <= 0.0)
      return false;
    answers.factors[k] = value;
  }
  return k == kCovarianceGrids;
}

bool ReadConstant(BatchSession& session, CovarianceAnswers& answers) {
  answers.constant.clear();
  if (!session.Has(kLikelihoodConstantOption)) return true;
  double q = 0.0;
  const std::string text = session.Option(kLikelihoodConstantOption);
  if (!StrictReal(text, q) || !std::isfinite(q) || q <= 0.0) return false;
  answers.constant = text;
  return true;
}

// The covariance calculator's questions, answered from the options.
std::optional<DialogReply> AnswerCovarianceQuestion(const DialogRecord& record,
                                                    BatchSession& session,
                                                    CovarianceAnswers& answers) {
  if (record.title == kCovarianceTitle) {
    if (record.kind == DialogKind::Input) {
      const std::string lead = "Default grid factor for Grid ";
      if (record.text.rfind(lead, 0) != 0 || record.text.size() <= lead.size()) return {};
      int k = record.text[lead.size()] - '0';
      if (k < 1 || k > kCovarianceGrids) return {};
      return Reply(GeneralNumber(answers.factors[k]));
    }
    if (record.buttons == Buttons::YesNoCancel)  // analytical or numerical
      return Reply(AnalyticalDerivativesChosen(session) ? Answer::Yes : Answer::No);
    if (record.buttons == Buttons::OkCancel) return Reply(Answer::Ok);     // the explanation
    if (record.buttons == Buttons::YesNo) return Reply(Answer::Yes);       // factors accepted
    return {};
  }
  if (record.title == "Enter constant" && record.kind == DialogKind::Input && answers.running) {
    // A second request means the first answer was refused: stop rather than loop.
    if (++answers.constantAsked > 1) return {};
    if (!answers.constant.empty()) return Reply(answers.constant);
    const double suggested = session.wb.model ? session.wb.model->SuggestedLikelihoodConstant() : 0;
    if (suggested > 0.0) return Reply(GeneralNumber(suggested));
    if (!record.defaultText.empty()) return Reply(record.defaultText);
    return {};
  }
  // The runner always calculates afresh.
  if (record.title == "Covariance" && record.buttons == Buttons::YesNo) return Reply(Answer::No);
  if (record.title == "Calculate optimistic SEs only?")
    return Reply(session.Has(kOptimistic) ? Answer::Yes : Answer::No);
  return {};
}

// True when at least one grid's Hessian was inverted into standard errors.
bool AnyGridInverted(const CovarianceState& cov) {
  for (int k = 1; k <= kCovarianceGrids; ++k)
    for (int r = 1; r <= cov.CovarianceCount; ++r)
      if (cov.StandardError(k, r) != -1.0) return true;
  return false;
}

int Covariance(BatchSession& session, CovarianceAnswers& answers) {
  if (!ReadFactors(session, answers))
    return BatchFail(session, std::string(kGridFactors) +
                             " needs three positive numbers separated by commas, not \"" +
                             session.Option(kGridFactors) + "\"");
  if (!ReadConstant(session, answers))
    return BatchFail(session, std::string(kLikelihoodConstantOption) + " needs a positive number, not \"" +
                             session.Option(kLikelihoodConstantOption) + "\"");
  answers.constantAsked = 0;
  if (const int refused = RefuseAnalyticalWithPriors(session, "covariance")) return refused;
  answers.running = true;
  const int status = BatchStatus(session.Run(MenuButton::Covariance, "covariance"));
  answers.running = false;
  if (status != kBatchSucceeded) return status;
  session.out << BuildCovarianceReport(session.wb, session.desktop);
  if (!AnyGridInverted(session.wb.covariance))
    return BatchFail(session, "covariance: no grid gave a positive-definite Hessian, so every "
                              "standard error is -1 (not reliable)");
  return kBatchSucceeded;
}

int SaveCovariance(BatchSession& session, const std::string& path) {
  Workbench& wb = session.wb;
  if (!wb.state.CovarianceCurrent || wb.covariance.CovarianceReport.empty())
    return BatchFail(session, "save-cov: no covariance results to save (run covariance first)");
  std::string text = wb.covariance.CovarianceReport;
  session.desktop.ExpectSaveFile(kSaveTitle, path);
  if (!SaveCovarianceFile(wb, session.desktop, text)) return kBatchFailed;
  return kBatchSucceeded;
}

}  // namespace

BatchArea CovarianceBatchArea() {
  auto answers = std::make_shared<CovarianceAnswers>();
  BatchArea area;
  area.options.push_back(
      {kGridFactors, "A,B,C", "Grid factors of the covariance command (default 1,0.1,0.01)."});
  area.options.push_back({kLikelihoodConstantOption, "Q",
                          "The constant that turns the objective into -ln[likelihood] "
                          "(default: the model's suggestion)."});
  area.options.push_back(
      {kOptimistic, "", "Covariances: optimistic conditional SEs only (diagonal Hessian)."});
  area.commands.push_back({"covariance", "",
                           "Covariances on three grids at the current values (numerical unless "
                           "--derivatives analytical): the "
                           "covariance report (the progress log goes to standard error).",
                           [answers](BatchSession& session, const std::string&) {
                             return Covariance(session, *answers);
                           }});
  area.commands.push_back({"save-cov", "FILE",
                           "Save the last covariance report as a covariance file (.cov).",
                           SaveCovariance});
  area.answerers.push_back([answers](const DialogRecord& record, BatchSession& session) {
    return AnswerCovarianceQuestion(record, session, *answers);
  });
  return area;
}

}  // namespace estimetrix
