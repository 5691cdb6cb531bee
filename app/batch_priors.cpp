// The priors part of the runner: loading a priors file before the commands
// run, saving the table, the prior review and a prior's profile table.

#include <cmath>
#include <memory>

#include "app/batch_runner.h"
#include "engine/base/format.h"
#include "engine/bayesian/prior_editor.h"
#include "engine/bayesian/prior_profile.h"
#include "engine/bayesian/prior_review.h"
#include "engine/bayesian/priors_file.h"
#include "platform/text_file.h"

namespace estimetrix {

namespace {

constexpr const char* kPriorsOption = "--priors";
// Declared by the covariance area; it answers the constant's prompt here too.
constexpr const char* kProfileTitle = "Evaluation of prior distributions";

// The prior profile's questions while prior-profile runs.
struct ProfileAnswers {
  bool running = false;
  std::string parameter, points;
  int explanations = 0;
  int parameterAsked = 0;
  int pointsAsked = 0;
};

// The constant typed at the likelihood-constant prompt: the option's, else
// the model's suggestion. Empty when neither exists.
std::string ConstantAnswer(BatchSession& session) {
  if (session.Has(kLikelihoodConstantOption)) return session.Option(kLikelihoodConstantOption);
  const double suggested = session.wb.model ? session.wb.model->SuggestedLikelihoodConstant() : 0;
  return suggested > 0.0 ? GeneralNumber(suggested) : std::string();
}

// --priors FILE: read as the chooser reads it; priors on when some family
// is not uniform-unbounded, and the prior term put on the objective's scale
// as closing the editor puts it, so a loaded prior always counts.
int LoadPriors(BatchSession& session) {
  if (!session.Has(kPriorsOption)) return kBatchSucceeded;
  Workbench& wb = session.wb;
  const std::string path = session.Option(kPriorsOption);
  if (session.Has(kLikelihoodConstantOption)) {
    double q = 0.0;
    if (!StrictReal(session.Option(kLikelihoodConstantOption), q) || !std::isfinite(q) || q <= 0.0)
      return BatchFail(session, std::string(kLikelihoodConstantOption) +
                                    " needs a positive number, not \"" +
                                    session.Option(kLikelihoodConstantOption) + "\"");
  }
  if (!ReadPriorsFile(wb, session.desktop, path))
    return BatchFail(session, std::string(kPriorsOption) + ": " + path + " was not loaded");
  wb.state.PriorsActive = !wb.priors.AllUniform();
  if (!wb.state.PriorsActive) return kBatchSucceeded;
  // Without an observation count from the model the scale comes from the
  // likelihood constant's prompt.
  if (wb.state.ObservationCount <= 0) {
    const std::string constant = ConstantAnswer(session);
    if (constant.empty())
      return BatchFail(session, std::string(kPriorsOption) +
                                    ": the model suggests no likelihood "
                                    "constant; give one with " +
                                    kLikelihoodConstantOption + " Q");
    session.desktop.ExpectInput("Enter constant", constant);
  }
  if (!SetPriorLikelihoodScale(wb, session.desktop))
    return BatchFail(
        session, std::string(kPriorsOption) + ": the priors' likelihood scale could not be set");
  session.err << "priors: " << path << " in force, likelihood scale "
              << GeneralNumber(wb.covariance.LikelihoodScale) << "\n";
  return kBatchSucceeded;
}

int SavePriors(BatchSession& session, const std::string& path) {
  std::string error;
  if (!SaveTextFileAtomically(path, ToCrLf(PriorsFileText(session.wb.priors)), error))
    return BatchFail(session, "save-priors: " + path + " was not written: " + error);
  session.wb.priors.PriorsFilePath = path;
  session.out << "saved " << path << "\n";
  return kBatchSucceeded;
}

int Review(BatchSession& session) {
  session.out << ReviewPriors(session.wb);
  return kBatchSucceeded;
}

// "PARAM" or "PARAM,POINTS".
int Profile(BatchSession& session, const std::string& argument, ProfileAnswers& answers) {
  const std::string name = "prior-profile";
  const size_t comma = argument.find(',');
  const std::string parameterText = argument.substr(0, comma);
  const std::string pointsText = comma == std::string::npos ? "101" : argument.substr(comma + 1);
  const int n = session.wb.priors.Count();
  long long parameter = 0, points = 0;
  if (!StrictInteger(parameterText, 1, n, parameter) || !StrictInteger(pointsText, 0, 1001, points))
    return BatchFail(session, name + " needs PARAM (1 to " + IntText(n) +
                                  ") and optionally ,POINTS (0 to 1001), not \"" + argument + "\"");
  if (session.wb.priors.Type[static_cast<int>(parameter)] == PriorType::U)
    return BatchFail(session, name + ": parameter " + parameterText +
                                  " has a uniform-unbounded prior: there is nothing to profile");
  answers = ProfileAnswers{true, parameterText, pointsText, 0, 0, 0};
  const bool done =
      ProfilePriorDistribution(session.wb, session.desktop, static_cast<int>(parameter),
                               session.views.Reports(), session.views.Plots());
  answers.running = false;
  if (!done) return BatchFail(session, name + ": the profile did not run");
  session.out << session.views.ReportText(ReportKind::PriorDistributions);
  return kBatchSucceeded;
}

// The profile's explanation is accepted once (a second one means the dialogue
// went back to its start: end it), the parameter and the number of points
// are answered once each (asked again means the answer was refused).
std::optional<DialogReply> AnswerProfileQuestion(const DialogRecord& record,
                                                 ProfileAnswers& answers) {
  if (!answers.running || record.title != kProfileTitle) return {};
  if (record.kind == DialogKind::Message && record.buttons == Buttons::OkCancel)
    return Reply(++answers.explanations == 1 ? Answer::Ok : Answer::Cancel);
  if (record.kind != DialogKind::Input) return {};
  if (record.text.find("parameter number") != std::string::npos)
    return ++answers.parameterAsked == 1 ? Reply(answers.parameter) : std::nullopt;
  if (record.text.find("number of x-y data points") != std::string::npos)
    return ++answers.pointsAsked == 1 ? Reply(answers.points) : std::nullopt;
  return {};
}

}  // namespace

BatchArea PriorsBatchArea() {
  auto answers = std::make_shared<ProfileAnswers>();
  BatchArea area;
  area.options.push_back(
      {kPriorsOption, "FILE",
       "Load a Bayesian priors file (.pri) after the algorithm file; its priors are in force "
       "for every command, weighted by --likelihood-constant (default: the model's "
       "suggestion)."});
  area.prepare = LoadPriors;
  area.commands.push_back({"save-priors", "FILE",
                           "Save the priors table as a Bayesian priors file (.pri).", SavePriors});
  area.commands.push_back(
      {"review-priors", "",
       "The prior review of the current values: each prior's -ln[L] and "
       "likelihood, and the whole model's.",
       [](BatchSession& session, const std::string&) { return Review(session); }});
  area.commands.push_back(
      {"prior-profile", "PARAM POINTS",
       "Profile parameter PARAM's prior over POINTS points (0 gives 101): the prior "
       "distribution table (.pdp text); the plot goes to --plots.",
       [answers](BatchSession& session, const std::string& argument) {
         return Profile(session, argument, *answers);
       }});
  area.answerers.push_back([answers](const DialogRecord& record, BatchSession&) {
    return AnswerProfileQuestion(record, *answers);
  });
  return area;
}

}  // namespace estimetrix
