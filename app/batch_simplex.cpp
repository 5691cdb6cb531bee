// The Simplex's part of the runner: the simplex command, saving the algorithm
// data, the function-call limit, the continue question and the log options.

#include <climits>
#include <cmath>
#include <limits>

#include "app/batch_runner.h"
#include "engine/base/format.h"
#include "engine/minimizers/simplex.h"
#include "engine/objective/objective.h"
#include "engine/state/algorithm_data.h"
#include "engine/state/algorithm_file.h"
#include "platform/text_file.h"

namespace estimetrix {

namespace {

constexpr const char* kMaxCalls = "--max-calls";
constexpr const char* kContinuePastMax = "--continue-past-max";
constexpr const char* kLog = "--log";
constexpr const char* kLogFrequency = "--log-frequency";

int Simplex(BatchSession& session, const std::string&) {
  const int status = BatchStatus(session.Run(MenuButton::Simplex, "simplex"));
  if (status != kBatchSucceeded) return status;  // the message is on standard error
  session.out << session.wb.simplex.ProgressText << ObjectiveLine(session.views.Objective())
              << "\n";
  return kBatchSucceeded;
}

// The objective at the values as the file now holds them (8 significant
// digits): a fit that leans on a penalty wall shows a jump here at once.
// NaN with the reason in `why` when the file cannot be read back.
double ObjectiveAsSaved(BatchSession& session, const std::string& path, std::string& why) {
  Workbench& wb = session.wb;
  std::optional<std::vector<std::string>> lines = ReadTextLines(path, why);
  if (!lines) return std::numeric_limits<double>::quiet_NaN();
  const AlgorithmData kept = wb.alg;
  ScriptedDesktop quiet;
  quiet.SetResponder(ScriptedDesktop::DeclineEverything);
  ReadAlgorithmFile(wb, quiet, nullptr, *lines);
  double objective = std::numeric_limits<double>::quiet_NaN();
  if (wb.alg.LoadFailed) {
    why = "the file as written could not be read back";
  } else {
    Vector values = wb.alg.Values;
    objective = EvaluateObjective(wb, values, 1);
  }
  wb.alg = kept;
  return objective;
}

int SaveAlgorithm(BatchSession& session, const std::string& path) {
  const int status = BatchStatus(session.Run(MenuButton::SaveAlg, "save-alg", [&session, &path] {
    session.desktop.ExpectSaveFile("Save algorithm data in...", path);
  }));
  if (status != kBatchSucceeded) return status;
  std::string why;
  const double objective = ObjectiveAsSaved(session, path, why);
  session.out << "saved " << path << ": " << ObjectiveLine(objective)
              << " at the values as written\n";
  if (std::isfinite(objective)) return kBatchSucceeded;
  // The file is there, but a later load-alg would start from values the
  // model cannot evaluate: a script must not carry on as if all were well.
  if (why.empty())
    why =
        "the model gives no finite objective at the values as the file holds them (8 "
        "significant digits)";
  return BatchFail(session, "save-alg: " + path + ": " + why);
}

bool ReadCount(BatchSession& session, const char* option, long long& out) {
  if (!StrictInteger(session.Option(option), 0, INT_MAX, out)) {
    BatchFail(session, std::string(option) + " needs a whole number from 0 up, not \"" +
                      session.Option(option) + "\"");
    return false;
  }
  return true;
}

// Options that override the loaded algorithm data.
int Prepare(BatchSession& session) {
  AlgorithmData& alg = session.wb.alg;
  if (session.Has(kMaxCalls)) {
    long long calls = 0;
    if (!ReadCount(session, kMaxCalls, calls)) return kBatchFailed;
    alg.MaxFunctionCalls = static_cast<int>(calls);
  }
  if (session.Has(kLogFrequency) && !session.Has(kLog))
    return BatchFail(session, std::string(kLogFrequency) + " needs " + kLog + " FILE");
  if (session.Has(kLog)) {
    long long frequency = 10;
    if (session.Has(kLogFrequency) && !ReadCount(session, kLogFrequency, frequency))
      return kBatchFailed;
    const std::string path = session.Option(kLog);
    if (!session.wb.log.Open(path))
      return BatchFail(session,
                       "cannot create the log file " + path + ": " + session.wb.log.Error());
    alg.OutputFileName = path;
    alg.FileOutputFrequency = static_cast<int>(frequency);
  }
  return kBatchSucceeded;
}

std::optional<DialogReply> AnswerContinueQuestion(const DialogRecord& record,
                                                  BatchSession& session) {
  if (record.kind != DialogKind::Message || record.title != "Simplex minimization")
    return std::nullopt;
  return DialogReply{session.Has(kContinuePastMax) ? Answer::Yes : Answer::No, std::nullopt};
}

}  // namespace

BatchArea SimplexBatchArea() {
  BatchArea area;
  area.options.push_back({kMaxCalls, "N",
                          "Maximum number of function calls (Simplex) or iterations "
                          "(Marquardt), overriding the algorithm file."});
  area.options.push_back({kContinuePastMax, "",
                          "Answer Yes when the Simplex asks to continue past the maximum "
                          "(otherwise No). With a tolerance of 0 the search then never ends."});
  area.options.push_back({kLog, "FILE", "Write the minimization log (.exl) to FILE."});
  area.options.push_back(
      {kLogFrequency, "N", "With --log: a progress record every N iterations (default 10)."});
  area.commands.push_back({"simplex", "",
                           "Simplex minimization from the current values (continuing a simplex "
                           "kept from an earlier simplex command): the final result text, then "
                           "\"objective <value>\" at the minimum.",
                           Simplex});
  area.commands.push_back(
      {"save-alg", "FILE",
       "Save the algorithm data (current values) to FILE, then print \"saved FILE: objective "
       "<value> at the values as written\": the objective at the file's rounded values.",
       SaveAlgorithm});
  area.prepare = Prepare;
  area.answerers.push_back(AnswerContinueQuestion);
  return area;
}

}  // namespace estimetrix
