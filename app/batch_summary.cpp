// The results-summary part of the runner: the menu's results command with its
// questions answered from options (anything not asked for is declined, so a
// summary never waits), the report on standard output and the .exo file.

#include <limits>
#include <memory>

#include "app/batch_runner.h"
#include "engine/base/format.h"
#include "engine/state/report_file.h"
#include "model/goodness_of_fit.h"
#include "model/results_summary.h"

namespace estimetrix {

namespace {

constexpr const char* kPlots = "--summary-plots";
constexpr const char* kRandomizations = "--randomizations";
constexpr const char* kInstarDetails = "--instar-details";
constexpr const char* kFrequencyTables = "--frequency-tables";
constexpr const char* kFrequencyGof = "--frequency-gof";
constexpr const char* kIncrementTables = "--increment-tables";
constexpr const char* kIncrementsByInstar = "--increments-by-instar";
constexpr const char* kIncrementGof = "--increment-gof";
constexpr const char* kSimulate = "--simulate";

// The answers to the counts the summary asks for, checked before any command.
struct SummaryAnswers {
  std::string randomizations = "0";
  std::string instarDetails = "0";
  std::string simulate = "0";
  int simulationAsked = 0;
};

// A whole number lo..hi from option `name`, as text; false (with the message
// on standard error) when it is not one.
bool CountOption(BatchSession& session, const char* name, long long lo, long long hi,
                 std::string& text) {
  if (!session.Has(name)) return true;
  long long value = 0;
  if (!StrictInteger(session.Option(name), lo, hi, value)) {
    BatchFail(session, std::string(name) + " needs a whole number from " + IntText(lo) + " to " +
                           IntText(hi) + ", not \"" + session.Option(name) + "\"");
    return false;
  }
  text = IntText(value);
  return true;
}

int Prepare(BatchSession& session, SummaryAnswers& answers) {
  if (!CountOption(session, kRandomizations, 0, kMaxRandomizations, answers.randomizations) ||
      !CountOption(session, kInstarDetails, 0, 99, answers.instarDetails) ||
      !CountOption(session, kSimulate, 0, kMaxSimulatedIncrements, answers.simulate))
    return kBatchFailed;
  std::string seed;
  if (!CountOption(session, kSeedOption, 0, std::numeric_limits<long long>::max(), seed))
    return kBatchFailed;
  if (!seed.empty()) session.wb.SummarySeed = static_cast<std::uint64_t>(std::stoll(seed));
  return kBatchSucceeded;
}

std::optional<DialogReply> YesNoReply(bool yes) {
  return Reply(yes ? Answer::Yes : Answer::No);
}

std::optional<DialogReply> AnswerSummaryQuestion(const DialogRecord& record, BatchSession& session,
                                                 SummaryAnswers& answers) {
  const std::string& title = record.title;
  if (record.kind == DialogKind::Input) {
    if (title == "More randomizations improve the goodness-of-fit estimate")
      return Reply(answers.randomizations);
    if (title == "Instar details") return Reply(answers.instarDetails);
    if (title == "Simulate random growth increments") {
      // A refused answer would be asked for again without end.
      if (++answers.simulationAsked > 1) return {};
      return Reply(answers.simulate);
    }
    return {};
  }
  if (record.kind != DialogKind::Message || record.buttons != Buttons::YesNo) return {};
  if (title == "Model results" || title == "View plots?") return YesNoReply(session.Has(kPlots));
  if (title == "Frequency Summary") return YesNoReply(session.Has(kFrequencyTables));
  if (title == "Frequency goodness-of-fit") return YesNoReply(session.Has(kFrequencyGof));
  if (title == "Increment Summary") return YesNoReply(session.Has(kIncrementTables));
  if (title == "Predicted increments by instar") return YesNoReply(session.Has(kIncrementsByInstar));
  if (title == "Increment goodness-of-fit") return YesNoReply(session.Has(kIncrementGof));
  return {};
}

int Summary(BatchSession& session, SummaryAnswers& answers, const std::string& path) {
  answers.simulationAsked = 0;
  const int status = BatchStatus(session.Run(MenuButton::UserSummary, "summary"));
  if (status != kBatchSucceeded) return status;
  std::string text = session.views.ReportText(ReportKind::Summary);
  if (text.empty()) return BatchFail(session, "summary: the model wrote no results summary");
  session.out << text;
  std::string error;
  if (!WriteReportFile(path, text, error)) return BatchFail(session, "summary: " + error);
  session.views.SetReportText(ReportKind::Summary, text);
  return kBatchSucceeded;
}

}  // namespace

BatchArea SummaryBatchArea() {
  auto answers = std::make_shared<SummaryAnswers>();
  BatchArea area;
  area.options = {
      {kPlots, "", "Summary: Yes to the plots question and the later plot questions."},
      {kRandomizations, "R", "Summary: randomizations per goodness-of-fit test (default 0)."},
      {kInstarDetails, "M", "Summary: frequency statistics up to instar M, then the largest."},
      {kFrequencyTables, "", "Summary: the frequency table of every series."},
      {kFrequencyGof, "", "Summary: every series' goodness-of-fit diagnostic (needs R > 0)."},
      {kIncrementTables, "", "Summary: the increment table."},
      {kIncrementsByInstar, "", "Summary: the increment table's per-instar predictions."},
      {kIncrementGof, "", "Summary: the increment goodness-of-fit diagnostic (needs R > 0)."},
      {kSimulate, "COUNT", "Summary: simulate COUNT (0 to 10000) unconditional increments."},
      {kSeedOption, "N", "Summary: start the random draws from seed N (default: the clock)."},
  };
  area.commands.push_back(
      {"summary", "FILE",
       "The results summary at the current values: the report on standard output and saved as "
       "FILE (.exo). Questions not answered by an option are declined.",
       [answers](BatchSession& session, const std::string& path) {
         return Summary(session, *answers, path);
       }});
  area.prepare = [answers](BatchSession& session) { return Prepare(session, *answers); };
  area.answerers.push_back([answers](const DialogRecord& record, BatchSession& session) {
    return AnswerSummaryQuestion(record, session, *answers);
  });
  return area;
}

}  // namespace estimetrix
