// The priors editor's commands: a family's prompts and checks, the grid's row
// texts, the help text and what closing the editor does.

#include "engine/bayesian/prior_editor.h"

#include <cmath>
#include <optional>

#include "engine/base/format.h"
#include "engine/bayesian/priors_file.h"
#include "engine/covariance/covariance.h"
#include "engine/objective/objective.h"
#include "engine/objective/priors.h"
#include "engine/state/workbench.h"
#include "platform/desktop.h"

namespace estimetrix {

namespace {

// The UTF-8 letter the beta distribution's box names it by.
constexpr const char* kBeta = "\xC3\x9F";

// The title of the family's input boxes and messages.
const char* FamilyTitle(PriorType type) {
  switch (type) {
    case PriorType::U: return "Uniform-unbounded";
    case PriorType::T: return "Uniform-bounded";
    case PriorType::N: return "Gaussian (i.e., Normal)";
    case PriorType::E: return "Exponential";
    case PriorType::G: return "Gamma";
    case PriorType::B: return "Beta";
    case PriorType::S: return "Left-side cliff";
    case PriorType::D: return "Right-side cliff";
    case PriorType::L: return "Ln-normal";
  }
  return "";
}

// Asks for one term until a number is typed. nullopt when the user ended the
// command (an empty answer or Cancel).
std::optional<double> AskTerm(Desktop& desktop, const std::string& title,
                              const std::string& prompt) {
  for (;;) {
    const std::optional<std::string> answer = desktop.Input({title, prompt, ""});
    if (!answer) return std::nullopt;
    const std::string text = Trimmed(*answer);
    if (text.empty()) return std::nullopt;
    double value = 0.0;
    if (StrictReal(text, value) && std::isfinite(value)) return value;
    desktop.Inform(title, "\"" + text + "\" is not a number.\n\nPlease type a number.",
                   Icon::Exclamation);
  }
}

// The terms a family's prompts gave, before they are stored.
struct Terms {
  double term1 = kUnsetValue;
  double term2 = kUnsetValue;
  std::string term3 = kUnusedTerm;
  std::string term4 = kUnusedTerm;
};

void Refuse(Desktop& desktop, PriorType type, const std::string& rule) {
  desktop.Inform(FamilyTitle(type), rule + "\n\nThe prior distribution was not changed.",
                 Icon::Exclamation);
}

// The uniform-bounded family: both feet with their SDs, asked again from the
// start until the right foot exceeds the left.
std::optional<Terms> AskBounded(Desktop& desktop, const std::string& number) {
  const std::string title = FamilyTitle(PriorType::T);
  for (;;) {
    auto left = AskTerm(desktop, title, "Choose left foot of parameter #" + number);
    if (!left) return std::nullopt;
    auto leftSD = AskTerm(desktop, title, "Choose SD @ the left foot of parameter #" + number);
    if (!leftSD) return std::nullopt;
    auto right =
        AskTerm(desktop, title,
                "Choose right foot of parameter #" + number + ", it must exceed left foot.");
    if (!right) return std::nullopt;
    auto rightSD = AskTerm(desktop, title, "Choose SD @ the right foot of parameter #" + number);
    if (!rightSD) return std::nullopt;
    if (*right > *left)
      return Terms{*left, std::fabs(*leftSD), GeneralNumber(*right),
                   GeneralNumber(std::fabs(*rightSD))};
  }
}

// A family of a first and a second term (mean and SD, or a foot and its SD).
struct TwoPrompts {
  const char* first;
  const char* second;
};

TwoPrompts PromptsOf(PriorType type) {
  switch (type) {
    case PriorType::N: return {"Choose mean of parameter #", "Choose SD of parameter #"};
    case PriorType::G:
      return {"Choose mean (> 0) of parameter #", "Choose SD (0 < SD < Mean) of parameter #"};
    case PriorType::B:
      return {"Choose mean (0 < mean < 1) of parameter #", "Choose SD (> 0) of parameter #"};
    case PriorType::S:
      return {"Choose left foot of parameter #", "Choose SD @ the left foot of parameter #"};
    case PriorType::D:
      return {"Choose right foot of parameter #", "Choose SD @ the right foot of parameter #"};
    case PriorType::L:
      return {"Choose mean (> 0) of parameter #", "Choose SD (> 0) of parameter #"};
    default: return {"", ""};
  }
}

// The beta family's a and b for the mean and SD; both must be positive. The
// box says which (and shows them when they are).
bool BetaShapesAcceptable(Desktop& desktop, double m, double s) {
  const double common = (m * (1.0 - m) - s * s) / (s * s);
  const double a = m * common;
  const double b = (1.0 - m) * common;
  const std::string beta = std::string(" of ") + kBeta + " (a,b) ";
  if (a > 0.0 && b > 0.0) {
    desktop.Inform("Beta", "The corresponding values for 'a' & 'b'" + beta +
                               "are: " + FormatNumber(a, "####0.####") + " & " +
                               FormatNumber(b, "####0.####"));
    return true;
  }
  if (a <= 0.0)
    desktop.Inform(
        "Beta",
        "An unacceptable (< 0) value for 'a'" + beta + "is: " + FormatNumber(a, "####0.####"),
        Icon::Exclamation);
  else
    desktop.Inform(
        "Beta",
        "An unacceptable (< 0) value for 'b'" + beta + "is: " + FormatNumber(b, "####0.####"),
        Icon::Exclamation);
  return false;
}

// The families with two terms: their prompts, then their own test.
std::optional<Terms> AskTwoTerms(Desktop& desktop, PriorType type, const std::string& number) {
  const std::string title = FamilyTitle(type);
  const TwoPrompts prompts = PromptsOf(type);
  auto first = AskTerm(desktop, title, prompts.first + number);
  if (!first) return std::nullopt;
  auto second = AskTerm(desktop, title, prompts.second + number);
  if (!second) return std::nullopt;
  const double m = *first, s = *second;
  switch (type) {
    case PriorType::G:
      // As typed the SD must lie below the mean; stored as absolute values,
      // the SD must still lie below the mean or the family has no mode.
      if (m == 0.0 || s == 0.0 || !(s < m) || !(std::fabs(s) < std::fabs(m))) {
        Refuse(desktop, type,
               "A gamma prior needs a mean above 0 and an SD between 0 and the mean.");
        return std::nullopt;
      }
      return Terms{std::fabs(m), std::fabs(s)};
    case PriorType::L:
      if (m == 0.0 || s == 0.0) {
        Refuse(desktop, type, "A ln-normal prior needs a mean and an SD that are not 0.");
        return std::nullopt;
      }
      return Terms{std::fabs(m), std::fabs(s)};
    case PriorType::B:
      if (!(m > 0.0 && m < 1.0) || s == 0.0) {
        Refuse(desktop, type, "A beta prior needs a mean between 0 and 1 and an SD that is not 0.");
        return std::nullopt;
      }
      if (!BetaShapesAcceptable(desktop, std::fabs(m), std::fabs(s))) return std::nullopt;
      return Terms{std::fabs(m), std::fabs(s)};
    default:  // N, S, D: the first term as typed, the SD made positive
      return Terms{m, std::fabs(s)};
  }
}

std::optional<Terms> AskTerms(Desktop& desktop, PriorType type, int parameter) {
  const std::string number = IntText(parameter);
  switch (type) {
    case PriorType::U: return Terms{};
    case PriorType::T: return AskBounded(desktop, number);
    case PriorType::E: {
      auto mean = AskTerm(desktop, FamilyTitle(type),
                          "For the exponential distribution the instantaneous decay rate is equal "
                          "to the reciprocal of both the mean and the SD\n\nChoose the mean (and "
                          "thus SD) of parameter #" +
                              number);
      if (!mean) return std::nullopt;
      return Terms{std::fabs(*mean), std::fabs(*mean)};
    }
    default: return AskTwoTerms(desktop, type, number);
  }
}

struct PriorRowValues {
  PriorType type;
  double term1, term2;
  std::string term3, term4;
};

PriorRowValues Take(const PriorTable& priors, int i) {
  return {priors.Type[i], priors.Term1[i], priors.Term2[i], priors.Term3[i], priors.Term4[i]};
}

void Put(PriorTable& priors, int i, const PriorRowValues& row) {
  priors.Type[i] = row.type;
  priors.Term1[i] = row.term1;
  priors.Term2[i] = row.term2;
  priors.Term3[i] = row.term3;
  priors.Term4[i] = row.term4;
}

std::string TextTerm(const std::string& text) {
  if (text == kUnusedTerm) return text;
  double value = 0.0;
  if (StrictReal(text, value)) return PriorTermText(value);
  return text;
}

}  // namespace

bool SetPriorFamily(Workbench& wb, Desktop& desktop, int parameter, PriorType type) {
  PriorTable& priors = wb.priors;
  if (parameter < 1 || parameter > priors.Count()) return false;
  const std::optional<Terms> terms = AskTerms(desktop, type, parameter);
  if (!terms) return false;
  const PriorRowValues before = Take(priors, parameter);
  Put(priors, parameter, {type, terms->term1, terms->term2, terms->term3, terms->term4});
  // A prior the arithmetic cannot evaluate would spoil every objective.
  const std::string problem = PriorProblem(priors, parameter);
  if (!problem.empty()) {
    Put(priors, parameter, before);
    Refuse(desktop, type, problem);
    return false;
  }
  return true;
}

const char* PriorFamilyCaption(PriorType type) {
  switch (type) {
    case PriorType::U: return "Default (&Uniform-unbounded)";
    case PriorType::T: return "Feet of a uniform-b&ounded";
    case PriorType::N: return "Gaussian (i.e., &Normal)";
    case PriorType::E: return "&Exponential";
    case PriorType::G: return "&Gamma";
    case PriorType::B: return "&Beta";
    case PriorType::S: return "Left-&side cliff";
    case PriorType::D: return "Right-si&de cliff";
    case PriorType::L: return "&Ln-normal";
  }
  return "";
}

PriorRowText PriorRow(const PriorTable& priors, int parameter) {
  PriorRowText row;
  row.name = DistributionName(priors.Type[parameter]);
  row.terms[0] = PriorTermText(priors.Term1[parameter]);
  row.terms[1] = PriorTermText(priors.Term2[parameter]);
  row.terms[2] = TextTerm(priors.Term3[parameter]);
  row.terms[3] = TextTerm(priors.Term4[parameter]);
  return row;
}

std::string PriorsHelpText() {
  return "Prior distributions are set for each parameter by its moments or its feet:\n"
         "\n"
         "  Gaussian (i.e., Normal)      the mean and the SD\n"
         "  Exponential                  the mean (the SD equals the mean; the decay rate is "
         "1/mean)\n"
         "  Ln-normal                    the mean and the SD (both > 0)\n"
         "  Gamma                        the mean and the SD (0 < SD < mean)\n"
         "  Beta                         the mean (0 < mean < 1) and the SD\n"
         "  Left-side cliff              the foot and the SD at the foot\n"
         "  Right-side cliff             the foot and the SD at the foot\n"
         "  Uniform-bounded              the left and right feet, each with the SD at that foot\n"
         "  Uniform-unbounded            nothing: this is the default prior distribution\n"
         "\n"
         "To set a prior, click the parameter's row in the grid, choose the distribution from "
         "the menu, and enter its terms in the boxes that follow. The uniform-bounded "
         "distribution needs a mean (the foot) and an SD for both its left and its right foot; "
         "the right foot must exceed the left. An SD of 0 at a foot makes a sheer cliff.\n"
         "\n"
         "Choose '&Save prior distributions' to save the priors in a Bayesian priors file "
         "(*.pri), and '&Profile prior distributions' to preview (plot and table) the prior "
         "distribution of a parameter. '&Finished' closes this window.\n"
         "\n"
         "Note that unrequired values are labelled 'Unused' whereas unset values are assigned "
         "an asterisk (*).";
}

void ClosePriorsEditor(Workbench& wb, Desktop& desktop) {
  desktop.Inform("Just so you know", "Bayesian priors data, if changed, have been updated");
  if (wb.priors.AllUniform()) {
    wb.state.PriorsActive = false;
    return;
  }
  wb.state.PriorsActive = true;
  if (desktop.Ask("Save Bayesian priors", "Save Bayesian priors now?", Buttons::YesNo,
                  Icon::Question) == Answer::Yes)
    Save_Priors(wb, desktop);
  SetPriorLikelihoodScale(wb, desktop);
}

bool SetPriorLikelihoodScale(Workbench& wb, Desktop& desktop) {
  if (!wb.model) return false;
  NormalizeFuseGroups(wb.alg, wb.fuse);
  BuildFreeParameterList(wb.alg, wb.free);
  const int observations = wb.state.ObservationCount;
  if (observations <= 0) {
    const std::optional<double> q =
        LikelihoodConstantPrompt(desktop, *wb.model, observations, wb.free.FreeCount, 0.0);
    if (!q) return false;
    wb.covariance.LikelihoodScale = 1.0 / *q;
    return true;
  }
  const int degrees = observations - wb.free.FreeCount - 1;
  if (degrees <= 0) {
    desktop.Inform("Insufficient degrees of freedom",
                   "Cannot accept a negative or zero constant; perhaps the degrees of freedom are "
                   "zero or fewer",
                   Icon::Exclamation);
    return false;
  }
  desktop.SetStatus(StatusBar::Progress, 1, "One moment please...");
  desktop.Yield();
  const bool priors = wb.state.PriorsActive;
  wb.state.PriorsActive = false;
  Vector values = wb.alg.Values;
  const double objective = EvaluateObjective(wb, values, 1);
  wb.state.PriorsActive = priors;
  desktop.SetStatus(StatusBar::Progress, 1, "");
  // The scale is the reciprocal of the constant (n - p - 1) / (2 x objective).
  if (!std::isfinite(objective) || objective <= 0.0) {
    desktop.Inform(kPriorsEditorTitle,
                   "The objective at the current values is " + GeneralNumber(objective) +
                       ", so the priors' likelihood scale cannot be set from it; it stays " +
                       GeneralNumber(wb.covariance.LikelihoodScale) + ".",
                   Icon::Exclamation);
    return false;
  }
  wb.covariance.LikelihoodScale = 2.0 * objective / degrees;
  return true;
}

}  // namespace estimetrix
