#include "engine/priors.h"

#include <gtest/gtest.h>

#include <cmath>

#include "engine/objective.h"
#include "engine/workbench.h"

namespace estimetrix {
namespace {

// A table of n uniform priors with parameter i set to `type` and its terms.
PriorTable Table(int n, int i, PriorType type, double term1, double term2,
                 const std::string& term3 = kUnusedTerm, const std::string& term4 = kUnusedTerm) {
  PriorTable priors;
  priors.Resize(n);
  priors.Type[i] = type;
  priors.Term1[i] = term1;
  priors.Term2[i] = term2;
  priors.Term3[i] = term3;
  priors.Term4[i] = term4;
  return priors;
}

double Term(const PriorTable& priors, double x, bool* countedOut = nullptr) {
  bool counted = false;
  const double entry = PriorParameterTerm(priors, 1, x, counted);
  if (countedOut) *countedOut = counted;
  return entry;
}

TEST(NormalCdf, MatchesKnownValuesAndIsSymmetric) {
  EXPECT_NEAR(NormalCdf(0.0), 0.5, 1e-7);  // the fit is 1.5E-8 off at 0
  EXPECT_NEAR(NormalCdf(1.96), 0.975002, 1e-6);
  EXPECT_NEAR(NormalCdf(-1.0), 0.158655, 1e-6);
  for (double x : {0.1, 0.7, 1.5, 2.5, 4.0, 8.0})
    EXPECT_NEAR(NormalCdf(-x), 1.0 - NormalCdf(x), 1.2e-7) << x;
  EXPECT_EQ(NormalCdf(-40.0), 0.0);
  EXPECT_EQ(NormalCdf(40.0), 1.0);
}

TEST(PriorParameterTerm, WorkedValuesOfEachFamily) {
  EXPECT_DOUBLE_EQ(Term(Table(1, 1, PriorType::N, 2.0, 0.5), 3.0), 2.0);

  bool counted = false;
  const PriorTable exponential = Table(1, 1, PriorType::E, 4.0, 4.0);
  EXPECT_DOUBLE_EQ(Term(exponential, 2.0, &counted), 0.5);
  EXPECT_TRUE(counted);
  EXPECT_DOUBLE_EQ(Term(exponential, -1.0, &counted), 1e20);
  EXPECT_FALSE(counted);

  // A hard left wall (SD 0) and soft cliffs: half the probability at the foot.
  const PriorTable wall = Table(1, 1, PriorType::S, 0.0, 0.0);
  EXPECT_DOUBLE_EQ(Term(wall, -0.1, &counted), 1e18);
  EXPECT_TRUE(counted);
  EXPECT_EQ(Term(wall, 0.1), 0.0);
  EXPECT_NEAR(Term(Table(1, 1, PriorType::S, 0.0, 1.0), 0.0), std::log(2.0), 1e-6);
  EXPECT_NEAR(Term(Table(1, 1, PriorType::D, 0.0, 1.0), 0.0), std::log(2.0), 1e-6);
  EXPECT_DOUBLE_EQ(Term(Table(1, 1, PriorType::D, 0.0, 0.0), 0.5), 0.25e20);
  // Far beyond a soft cliff the probability underflows: a penalty, not infinity.
  EXPECT_DOUBLE_EQ(Term(Table(1, 1, PriorType::S, 0.0, 1.0), -50.0), 2500e20);

  // Uniform-bounded: both soft feet far away at the middle.
  const PriorTable bounded = Table(1, 1, PriorType::T, 0.0, 1.0, "1.000E+001", "1.000E+000");
  EXPECT_DOUBLE_EQ(Term(bounded, 5.0), -std::log(NormalCdf(5.0)) - std::log(1 - NormalCdf(-5.0)));
  EXPECT_NEAR(Term(bounded, 5.0), 5.7e-7, 2.5e-7);
  // A hard right foot replaces the left side's entry.
  const PriorTable hardRight = Table(1, 1, PriorType::T, 0.0, 1.0, "10", "0");
  EXPECT_DOUBLE_EQ(Term(hardRight, 12.0), 4e20);
  EXPECT_DOUBLE_EQ(Term(hardRight, 9.0), -std::log(NormalCdf(9.0)));
  EXPECT_TRUE(std::isnan(Term(Table(1, 1, PriorType::T, 0.0, 1.0, "Unused", "1"), 5.0)));

  // Beta with mean 0.5 and SD 0.1 is a = b = 12: 0 at its mode 0.5.
  EXPECT_NEAR(Term(Table(1, 1, PriorType::B, 0.5, 0.1), 0.5), 0.0, 1e-12);
  EXPECT_NEAR(Term(Table(1, 1, PriorType::B, 0.5, 0.1), 0.6), -11 * std::log(0.6 * 0.4 / 0.25),
              1e-12);
  const PriorTable beta = Table(1, 1, PriorType::B, 0.5, 0.1);
  EXPECT_DOUBLE_EQ(Term(beta, 1.5, &counted), Term(beta, 1.5));
  EXPECT_FALSE(counted);
  EXPECT_NEAR(Term(beta, 1.5), std::pow(1.5 - 0.999999, 2) * 1e20, 1e8);
  EXPECT_NEAR(Term(beta, -1.0), std::pow(-1.0 - 1e-6, 2) * 1e20, 1e8);
  Term(Table(1, 1, PriorType::G, 3.0, 1.0), 0.0, &counted);
  EXPECT_FALSE(counted);
  Term(Table(1, 1, PriorType::L, 3.0, 1.0), -2.0, &counted);
  EXPECT_FALSE(counted);
}

TEST(PriorParameterTerm, EveryFamilyIsZeroAtItsMode) {
  EXPECT_EQ(Term(Table(1, 1, PriorType::U, kUnsetValue, kUnsetValue), 123.0), 0.0);
  EXPECT_EQ(Term(Table(1, 1, PriorType::N, -2.5, 0.3), -2.5), 0.0);
  EXPECT_EQ(Term(Table(1, 1, PriorType::E, 4.0, 4.0), 0.0), 0.0);
  // Gamma of mean 3, SD 1: shape 9, scale 1/3, mode 8/3.
  const PriorTable gamma = Table(1, 1, PriorType::G, 3.0, 1.0);
  EXPECT_NEAR(Term(gamma, 8.0 / 3.0), 0.0, 1e-12);
  EXPECT_GT(Term(gamma, 2.5), 0.0);
  EXPECT_GT(Term(gamma, 2.9), 0.0);
  // Ln-normal of mean 2, SD 1: mode exp(mu - sigma^2).
  const double sigma2 = std::log(5.0) - 2 * std::log(2.0);
  const double mu = std::log(2.0) - sigma2 / 2;
  const PriorTable lnNormal = Table(1, 1, PriorType::L, 2.0, 1.0);
  EXPECT_NEAR(Term(lnNormal, std::exp(mu - sigma2)), 0.0, 1e-12);
  EXPECT_GT(Term(lnNormal, 1.0), 0.0);
  // A skewed beta whose mode leaves the open interval is held at its edge.
  const PriorTable skewedBeta = Table(1, 1, PriorType::B, 0.05, 0.1);
  EXPECT_NEAR(Term(skewedBeta, 1e-6), 0.0, 1e-12);
  EXPECT_GT(Term(skewedBeta, 0.2), 0.0);
  // A gamma whose SD exceeds its mean has its highest density at the support's edge.
  const PriorTable wideGamma = Table(1, 1, PriorType::G, 1.0, 2.0);
  EXPECT_NEAR(Term(wideGamma, 1e-6), 0.0, 1e-12);
  EXPECT_TRUE(std::isfinite(Term(wideGamma, 1.0)));
  EXPECT_GT(Term(wideGamma, 1.0), 0.0);
}

TEST(ComputePriorTerm, ScalesTheCountedSumAndFillsEveryTerm) {
  Workbench wb;
  wb.priors.Resize(3);
  wb.priors = Table(3, 1, PriorType::N, 2.0, 0.5);
  wb.priors.Type[3] = PriorType::E;
  wb.priors.Term1[3] = 4.0;
  wb.priors.Term2[3] = 4.0;
  Vector x(3);
  x[1] = 3.0;
  x[2] = 77.0;
  x[3] = 2.0;

  wb.covariance.LikelihoodScale = 2.0;
  Vector terms;
  EXPECT_DOUBLE_EQ(ComputePriorTerm(wb, x, terms), 2.0 * 2.5);
  EXPECT_DOUBLE_EQ(ComputePriorTerm(wb, x), 5.0);
  ASSERT_EQ(terms.Size(), 3);
  EXPECT_EQ(terms[2], 0.0);

  // A value outside the exponential's support shows in its term only.
  x[3] = -1.0;
  EXPECT_DOUBLE_EQ(ComputePriorTerm(wb, x, terms), 4.0);
  EXPECT_DOUBLE_EQ(terms[3], 1e20);

  wb.covariance.LikelihoodScale = 0.0;
  EXPECT_EQ(ComputePriorTerm(wb, x, terms), 0.0);
  EXPECT_DOUBLE_EQ(terms[1], 2.0);

  // All uniform: nothing at all.
  Workbench uniform;
  uniform.priors.Resize(3);
  EXPECT_EQ(ComputePriorTerm(uniform, x, terms), 0.0);
  for (double term : terms) EXPECT_EQ(term, 0.0);
}

TEST(PriorNames, LettersNamesAndGridTexts) {
  EXPECT_EQ(PriorTypeFromLetter('g'), PriorType::G);
  EXPECT_EQ(PriorTypeFromLetter('T'), PriorType::T);
  EXPECT_EQ(PriorTypeFromLetter('x'), std::nullopt);
  EXPECT_EQ(PriorTypeFromLetter(' '), std::nullopt);
  EXPECT_STREQ(DistributionName(PriorType::U), "Uniform - unbounded");
  EXPECT_STREQ(DistributionName(PriorType::D), "Right-side cliff");
  EXPECT_STREQ(DistributionName(PriorType::L), "Ln-normal");
  EXPECT_EQ(PriorTermText(kUnsetValue), "*");
  EXPECT_EQ(PriorTermText(-2500.0), "-2.500E+003");
  EXPECT_EQ(PriorTermText(0.5), "5.000E-001");
}

TEST(PriorProblem, NamesTheParameterAndWhatStopsTheArithmetic) {
  EXPECT_EQ(PriorProblem(Table(2, 2, PriorType::N, 1.0, 0.5), 2), "");
  EXPECT_EQ(PriorProblem(Table(2, 2, PriorType::U, kUnsetValue, kUnsetValue), 2), "");
  EXPECT_EQ(PriorProblem(Table(2, 2, PriorType::N, 1.0, 0.0), 2),
            "The Gaussian or Normal prior of parameter 2 has an SD of 0.");
  EXPECT_EQ(PriorProblem(Table(2, 2, PriorType::E, 0.0, 0.0), 2),
            "The Exponential prior of parameter 2 has a mean of 0.");
  EXPECT_NE(PriorProblem(Table(1, 1, PriorType::G, 0.0, 1.0), 1), "");
  EXPECT_NE(PriorProblem(Table(1, 1, PriorType::G, 1.0, 0.0), 1), "");
  EXPECT_NE(PriorProblem(Table(1, 1, PriorType::B, 0.5, 0.0), 1), "");
  EXPECT_NE(PriorProblem(Table(1, 1, PriorType::L, 0.0, 1.0), 1), "");
  EXPECT_EQ(PriorProblem(Table(1, 1, PriorType::S, 0.0, 0.0), 1), "");
  EXPECT_EQ(PriorProblem(Table(3, 3, PriorType::S, kUnsetValue, 1.0), 3),
            "The Left-side cliff prior of parameter 3 has a term that is not set (*).");
  EXPECT_EQ(PriorProblem(Table(1, 1, PriorType::T, 0.0, 1.0, "10", "1"), 1), "");
  EXPECT_EQ(PriorProblem(Table(1, 1, PriorType::T, 0.0, 1.0, "Unused", "1"), 1),
            "The Uniform - bounded prior of parameter 1 has a right foot that is no number "
            "(\"Unused\").");
  EXPECT_NE(PriorProblem(Table(1, 1, PriorType::T, 0.0, 1.0, "10", ""), 1), "");
}

}  // namespace
}  // namespace estimetrix
