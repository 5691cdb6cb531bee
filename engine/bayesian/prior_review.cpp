#include "engine/bayesian/prior_review.h"

#include <algorithm>
#include <cmath>

#include "engine/base/format.h"
#include "engine/objective/priors.h"
#include "engine/state/workbench.h"

namespace estimetrix {

namespace {

const char* const kIntroduction =
    "Note: Here is a chance to review the likelihood of your current parameter estimates relative "
    "to \n"
    "your Bayesian prior distributions.\n"
    "\n"
    "A -ln[likelihood] value of zero applies when your maximum-likelihood estimate for a "
    "parameter \n"
    "occurs at the most likely value of your chosen prior distribution for that parameter.  If "
    "the \n"
    "values shown here are quite large (i.e., parameter estimates are much less likely than the "
    "most \n"
    "likely prior value), then you might wish to reconsider your prior assumptions.  You should "
    "also \n"
    "check, and be suspicious of, estimates lying against a left or right boundary of a \n"
    "steep cliff distribution or the uniform-bounded distribution.\n"
    "\n"
    "You should also formally evaluate the overlap of the prior probability distribution \n"
    "of each parameter with the posterior distribution for that parameter, e.g., the (perhaps) \n"
    "Gaussian confidence region from a covariance analysis.  This overlap is a measure of the \n"
    "probability that the parameter estimate can reasonably be associated with both "
    "distributions. \n"
    "Depending on sample size, and if the distributions are nearly Gaussian, then you can try a \n"
    "t-test or a z-test using the moments of the distributions.  If the distributions do not \n"
    "significantly overlap, then you might want to reconsider your prior distribution.  "
    "Cumulative \n"
    "and attenuated probability plots for prior distributions can be saved in *.pdp files.\n"
    "\n"
    "\n";

// A value right-aligned in its field. A value too wide for the field (a
// support penalty of 1E+20) is printed in exponent form rather than cut to
// its first digits or spelt out in hundreds of them; wider still, it is
// printed whole.
std::string Field(double value, const char* pattern, int width) {
  std::string text = FormatNumber(value, pattern);
  if (static_cast<int>(text.size()) > width) text = FormatNumber(value, "0.000E+00");
  return static_cast<int>(text.size()) > width ? text : RightJustify(text, width);
}

std::string Likelihoods(double minusLn) {
  return " has a prior -ln[L] of " + Field(minusLn, "##0.00", 8) +
         " and a prior likelihood of " + Field(std::exp(-minusLn), "0.000000", 8) + "\n";
}

}  // namespace

std::string ReviewPriors(Workbench& wb) {
  PriorTable& priors = wb.priors;
  ComputePriorTerm(wb, wb.alg.Values, priors.PriorParameterTerms);

  std::string text = kIntroduction;
  const int n = std::min(priors.Count(), wb.alg.Values.Size());
  double total = 0.0;
  bool complete = true;
  for (int i = 1; i <= n; ++i) {
    if (priors.Type[i] == PriorType::U) continue;
    const std::string lead = "Parameter " + RightJustify(FormatNumber(i, "##0"), 3) + " at " +
                             Field(wb.alg.Values[i], "0.000E+00", 10);
    const std::string problem = PriorProblem(priors, i);
    if (!problem.empty()) {
      text += lead + " cannot be reviewed: " + problem + "\n";
      complete = false;
      continue;
    }
    const double minusLn = priors.PriorParameterTerms[i];
    text += lead + Likelihoods(minusLn);
    total += minusLn;
  }
  // A total that leaves out a prior would claim a better agreement than the
  // priors give.
  if (complete)
    text += "\n           The entire model" + Likelihoods(total);
  else
    text +=
        "\n           The entire model's prior -ln[L] and prior likelihood are not available: "
        "at least one prior cannot be reviewed.\n";
  return text;
}

}  // namespace estimetrix
