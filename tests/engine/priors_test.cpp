#include "engine/objective/priors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "engine/state/workbench.h"

namespace estimetrix {
namespace {

PriorTable Table(PriorType type, double term1, double term2, const std::string& term3 = kUnusedTerm,
                 const std::string& term4 = kUnusedTerm) {
  PriorTable priors;
  priors.Resize(1);
  priors.Type[1] = type;
  priors.Term1[1] = term1;
  priors.Term2[1] = term2;
  priors.Term3[1] = term3;
  priors.Term4[1] = term4;
  return priors;
}

double Term(const PriorTable& priors, double x) { return PriorParameterTerm(priors, 1, x); }

TEST(NormalCdf, MatchesKnownValuesAndIsSymmetric) {
  EXPECT_NEAR(NormalCdf(0.0), 0.5, 1e-7);  // the fit is 1.5E-8 off at 0
  EXPECT_NEAR(NormalCdf(1.96), 0.975002, 1e-6);
  for (double x : {0.1, 1.5, 4.0, 8.0}) EXPECT_NEAR(NormalCdf(-x), 1.0 - NormalCdf(x), 1.2e-7);
}

TEST(PriorParameterTerm, WorkedValuesOfEachFamily) {
  EXPECT_DOUBLE_EQ(Term(Table(PriorType::N, 2.0, 0.5), 3.0), 2.0);
  EXPECT_DOUBLE_EQ(Term(Table(PriorType::E, 4.0, 4.0), 2.0), 0.5);
  // Leaving the exponential's support: the penalty.
  EXPECT_DOUBLE_EQ(Term(Table(PriorType::E, 4.0, 4.0), -1.0), 1e20);
  // A hard wall; soft cliffs give half the probability at the foot.
  EXPECT_DOUBLE_EQ(Term(Table(PriorType::S, 0.0, 0.0), -0.1), 1e18);
  EXPECT_EQ(Term(Table(PriorType::S, 0.0, 0.0), 0.1), 0.0);
  EXPECT_NEAR(Term(Table(PriorType::S, 0.0, 1.0), 0.0), std::log(2.0), 1e-6);
  EXPECT_NEAR(Term(Table(PriorType::D, 0.0, 1.0), 0.0), std::log(2.0), 1e-6);
  // Far beyond a soft cliff the probability underflows: a penalty, not infinity.
  EXPECT_DOUBLE_EQ(Term(Table(PriorType::S, 0.0, 1.0), -50.0), 2500e20);
  // Uniform-bounded, with the right foot and SD held as text.
  const PriorTable bounded = Table(PriorType::T, 0.0, 1.0, "1.000E+001", "1");
  EXPECT_DOUBLE_EQ(Term(bounded, 5.0), -std::log(NormalCdf(5.0)) - std::log(1 - NormalCdf(-5.0)));
  EXPECT_NEAR(Term(bounded, 5.0), 5.7e-7, 2.5e-7);
  EXPECT_DOUBLE_EQ(Term(Table(PriorType::T, 0.0, 1.0, "10", "0"), 12.0), 4e20);
  EXPECT_TRUE(std::isnan(Term(Table(PriorType::T, 0.0, 1.0, "Unused", "1"), 5.0)));
  // Beta (a = b = 12) outside (1E-6, 0.999999): a penalty.
  EXPECT_NEAR(Term(Table(PriorType::B, 0.5, 0.1), 0.6), -11 * std::log(0.96), 1e-12);
  EXPECT_NEAR(Term(Table(PriorType::B, 0.5, 0.1), 1.5), 0.25e20, 1e15);
}

TEST(PriorParameterTerm, EveryFamilyIsZeroAtItsMode) {
  EXPECT_EQ(Term(Table(PriorType::U, kUnsetValue, kUnsetValue), 123.0), 0.0);
  EXPECT_EQ(Term(Table(PriorType::N, -2.5, 0.3), -2.5), 0.0);
  EXPECT_EQ(Term(Table(PriorType::E, 4.0, 4.0), 0.0), 0.0);
  EXPECT_NEAR(Term(Table(PriorType::G, 3.0, 1.0), 8.0 / 3.0), 0.0, 1e-12);  // (k - 1) theta
  const double sigma2 = std::log(5.0) - 2 * std::log(2.0), mu = std::log(2.0) - sigma2 / 2;
  EXPECT_NEAR(Term(Table(PriorType::L, 2.0, 1.0), std::exp(mu - sigma2)), 0.0, 1e-12);
  EXPECT_NEAR(Term(Table(PriorType::B, 0.5, 0.1), 0.5), 0.0, 1e-12);
  // Modes below the support are held at its edge: a skewed beta, and a
  // gamma whose SD exceeds its mean (whose mode formula would be negative).
  EXPECT_NEAR(Term(Table(PriorType::B, 0.05, 0.1), 1e-6), 0.0, 1e-12);
  EXPECT_NEAR(Term(Table(PriorType::G, 1.0, 2.0), 1e-6), 0.0, 1e-12);
  EXPECT_GT(Term(Table(PriorType::G, 1.0, 2.0), 1.0), 0.0);
}

// A value where a family's density is zero is as unlikely in the objective
// as in the review: the support penalty is part of the scaled total.
TEST(ComputePriorTerm, ScalesTheSumWithSupportPenaltiesAndFillsEveryTerm) {
  Workbench wb;
  wb.priors.Resize(3);
  wb.priors.Type[1] = PriorType::N;
  wb.priors.Term1[1] = 2.0;
  wb.priors.Term2[1] = 0.5;
  wb.priors.Type[3] = PriorType::E;
  wb.priors.Term1[3] = 4.0;
  Vector x(3);
  x[1] = 3.0;
  x[2] = 77.0;
  x[3] = -1.0;
  wb.covariance.LikelihoodScale = 2.0;
  Vector terms;
  EXPECT_DOUBLE_EQ(ComputePriorTerm(wb, x, terms), 2.0 * (2.0 + 1e20));
  EXPECT_DOUBLE_EQ(ComputePriorTerm(wb, x), 2.0 * (2.0 + 1e20));
  EXPECT_EQ(terms[2], 0.0);
  EXPECT_DOUBLE_EQ(terms[3], 1e20);
  // Every family's support: gamma and ln-normal from 1E-6, beta inside (0, 1).
  for (auto [type, m, s, value] :
       {std::tuple{PriorType::G, 0.02, 0.01, -0.09}, std::tuple{PriorType::L, 2.0, 1.0, -0.09},
        std::tuple{PriorType::B, 0.5, 0.1, 1.09}}) {
    wb.priors.Type[3] = type;
    wb.priors.Term1[3] = m;
    wb.priors.Term2[3] = s;
    x[3] = value;
    const double edge = type == PriorType::B ? 0.999999 : 1e-6;
    EXPECT_NEAR(ComputePriorTerm(wb, x), 2.0 * (2.0 + (value - edge) * (value - edge) * 1e20),
                1e6)
        << value;
  }
  x[3] = -1.0;
  wb.priors.Type[3] = PriorType::E;
  wb.priors.Term1[3] = 4.0;
  wb.covariance.LikelihoodScale = 0.0;
  EXPECT_EQ(ComputePriorTerm(wb, x, terms), 0.0);
  EXPECT_DOUBLE_EQ(terms[1], 2.0);
}

TEST(PriorProblem, NamesTheParameterAndWhatStopsTheArithmetic) {
  EXPECT_EQ(PriorProblem(Table(PriorType::N, 1.0, 0.5), 1), "");
  EXPECT_EQ(PriorProblem(Table(PriorType::N, 1.0, 0.0), 1),
            "The Gaussian or Normal prior of parameter 1 has an SD of 0.");
  EXPECT_EQ(PriorProblem(Table(PriorType::E, 0.0, 0.0), 1),
            "The Exponential prior of parameter 1 has a mean of 0.");
  EXPECT_EQ(PriorProblem(Table(PriorType::S, kUnsetValue, 1.0), 1),
            "The Left-side cliff prior of parameter 1 has a term that is not set (*).");
  EXPECT_EQ(PriorProblem(Table(PriorType::T, 0.0, 1.0, "Unused", "1"), 1),
            "The Uniform - bounded prior of parameter 1 has a right foot that is no number "
            "(\"Unused\").");
  EXPECT_EQ(PriorTypeFromLetter('g'), PriorType::G);
  EXPECT_EQ(PriorTypeFromLetter('x'), std::nullopt);
  EXPECT_EQ(PriorTermText(kUnsetValue), "*");
  EXPECT_EQ(PriorTermText(-2500.0), "-2.500E+003");
}

}  // namespace
}  // namespace estimetrix
