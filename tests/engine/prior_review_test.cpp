#include "engine/bayesian/prior_review.h"

#include <gtest/gtest.h>

#include "engine/state/workbench.h"

namespace estimetrix {
namespace {

// The text after the fixed explanation, which ends with two empty lines.
std::string AfterExplanation(const std::string& review) {
  const size_t end = review.find("*.pdp files.\n\n\n");
  return end == std::string::npos ? review : review.substr(end + 15);
}

TEST(ReviewPriors, AllUniformListsNoParameterAndACertainModel) {
  Workbench wb;
  wb.alg.Values.Resize(1, 3, 0.0);
  wb.priors.Resize(3);
  const std::string review = ReviewPriors(wb);
  EXPECT_EQ(review.substr(0, 97),
            "Note: Here is a chance to review the likelihood of your current parameter estimates "
            "relative to \n");
  EXPECT_EQ(AfterExplanation(review),
            "\n           The entire model has a prior -ln[L] of     0.00 and a prior likelihood "
            "of 1.000000\n");
}

TEST(ReviewPriors, ShowsEachPriorsOwnTermAtTheCurrentValues) {
  Workbench wb;
  wb.alg.Values.Resize(1, 4, 0.0);
  wb.priors.Resize(4);
  wb.covariance.LikelihoodScale = 3.0;  // not applied: the review shows the priors' own terms
  auto set = [&wb](int i, PriorType type, double term1, double term2, double value) {
    wb.priors.Type[i] = type;
    wb.priors.Term1[i] = term1;
    wb.priors.Term2[i] = term2;
    wb.alg.Values[i] = value;
  };
  set(1, PriorType::N, 2.0, 0.5, 3.0);
  set(2, PriorType::S, 0.0, 1.0, 0.0);
  set(4, PriorType::G, 0.0, 1.0, -12.5);
  EXPECT_EQ(AfterExplanation(ReviewPriors(wb)),
            "Parameter   1 at  3.000E+00 has a prior -ln[L] of     2.00 and a prior likelihood of "
            "0.135335\n"
            "Parameter   2 at  0.000E+00 has a prior -ln[L] of     0.69 and a prior likelihood of "
            "0.500000\n"
            "Parameter   4 at -1.250E+01 cannot be reviewed: The Gamma prior of parameter 4 has a "
            "mean of 0.\n"
            "\n           The entire model's prior -ln[L] and prior likelihood are not available: "
            "at least one prior cannot be reviewed.\n");
  EXPECT_DOUBLE_EQ(wb.priors.PriorParameterTerms[1], 2.0);

  // A support penalty is printed in exponent form, neither cut to its first
  // eight digits nor spelt out in full; the total counts it.
  set(4, PriorType::E, 4.0, 4.0, -1.0);
  EXPECT_EQ(AfterExplanation(ReviewPriors(wb)),
            "Parameter   1 at  3.000E+00 has a prior -ln[L] of     2.00 and a prior likelihood of "
            "0.135335\n"
            "Parameter   2 at  0.000E+00 has a prior -ln[L] of     0.69 and a prior likelihood of "
            "0.500000\n"
            "Parameter   4 at -1.000E+00 has a prior -ln[L] of 1.000E+20 and a prior likelihood of "
            "0.000000\n"
            "\n           The entire model has a prior -ln[L] of 1.000E+20 and a prior likelihood "
            "of 0.000000\n");
  set(4, PriorType::E, 4.0, 4.0, -1e115);
  EXPECT_NE(AfterExplanation(ReviewPriors(wb)).find(" has a prior -ln[L] of 1.000E+250 and"),
            std::string::npos);
}

}  // namespace
}  // namespace estimetrix
