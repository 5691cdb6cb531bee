// The increment likelihood is written for speed: per-record quantities are
// worked out once per record instead of once per instar, records that share
// an initial size share their instar weights, and instars that predict the
// same increment share one density. None of that may change a fit. This
// program keeps the plain evaluation (one record, one instar at a time, every
// quantity worked out where it is used) and checks that the fast one gives
// the same record terms, penalties, predictions and objective to 1e-12
// relative, and the same kind of non-finite result where the inputs are not
// numbers.

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "engine/base/log_gamma.h"
#include "model/carapex_evaluator.h"
#include "model/distributions.h"
#include "model/lane_math.h"
#include "model/likelihood.h"
#include "model/parameter_layout.h"

namespace estimetrix {
namespace {

// ---------------------------------------------------------------------------
// The plain evaluation.

namespace plain {

constexpr double kWeightFloor = 1e-8;
constexpr double kLikelihoodFloor = 1e-20;
constexpr double kZeroVariance = 1e-6;
constexpr double kMaxLowerTail = 0.999999;
const double kTwoPi = 8.0 * std::atan(1.0);

struct Component {
  double g = 0.0;
  double variance = 0.0;
  double penalty = 0.0;
};

double MeasurementVariance(double fraction, double x, double predicted) {
  if (fraction == 0.0) return 0.0;
  return Squared(fraction * (x + predicted)) + Squared(fraction * x);
}

Component Gaussian(double fraction, double x, double delta, double p, double v) {
  const double e = MeasurementVariance(fraction, x, p);
  double variance = v + e;
  if (variance == 0.0) variance = kZeroVariance;
  const double z0 = -p / std::sqrt(variance);
  double p0 = z0 > -5.0 ? NormalDistribution(z0) - NormalDistribution(-10.0) : 0.0;
  if (p0 >= 1.0) p0 = kMaxLowerTail;
  Component out;
  out.variance = variance;
  if (z0 <= -5.0 || e == 0.0) {
    out.g = std::log(std::sqrt(kTwoPi * variance)) + Squared(delta - p) / (2.0 * variance);
    if (z0 > -5.0) out.g += std::log(1.0 - p0);
  } else {
    out.g = GaussianIncrementWithError(p0, delta, p, v, e);
  }
  return out;
}

Component Gamma(double fraction, double x, double delta, double p, double v) {
  Component out;
  const double alpha = p * p / v;
  double beta = v / p;
  if (beta < 0.0) {
    out.penalty += Squared(beta) * kPenaltyScale;
    beta = -beta;
  }
  const double e = MeasurementVariance(fraction, x, p);
  out.variance = v + e;
  if (fraction == 0.0) {
    out.g =
        -(alpha - 1.0) * std::log(delta) + delta / beta + alpha * std::log(beta) + LogGamma(alpha);
  } else {
    out.g = GammaIncrementWithError(delta, p, v, alpha, beta, e);
  }
  return out;
}

double InstarWindow(const ModelData& data, const ModelState& state, int k, double x) {
  const double mean = state.InstarMean[k], sd = state.InstarSD[k];
  const double z1 = (0.99 * x - mean) / sd;
  const double z2 = (1.01 * x - mean) / sd;
  if (std::isnan(z1) || std::isnan(z2)) return std::numeric_limits<double>::quiet_NaN();
  if (!(z2 >= -5.0 && z1 <= 5.0)) return kWeightFloor;
  if (data.InstarDistribution == "N") return NormalIntervalProbability(z1, z2);
  if (data.InstarDistribution == "G") {
    return GammaIntervalProbability(0.99 * x, x, 1.01 * x, mean, sd);
  }
  return kWeightFloor;
}

double IncrementTerm(const Vector& values, const ModelData& data, ModelState& state,
                     ModelWork& work) {
  const bool gamma = data.IncrementErrorDistribution == "G";
  const double fraction = 0.01 * std::fabs(values[param::kPercentSE]);
  const int count = data.IncrementInstarCount;
  double total = 0.0;
  for (int r = 1; r <= data.IncrementRecordCount; ++r) {
    const double x = data.InitialSize[r], delta = data.Increment[r];
    double penalty = 0.0;
    double p = 0.0, power = 1.0;
    for (int j = 0; j < kBetaCount; ++j, power *= x) p += state.Beta[j] * power;
    if (p < 0.0) penalty += Squared(p) * kPenaltyScale;
    double s = state.Tau[0] + state.Tau[1] * p + state.Tau[2] * p * p;
    const double v = s * s;
    if (s < 0.0) penalty += Squared(s) * kPenaltyScale;
    double term;
    if (count > 0) {
      Vector weight(count, 0.0);
      double weightSum = 0.0;
      for (int k = 1; k <= count; ++k) {
        weight[k] = InstarWindow(data, state, k, x) * state.IncrementProportion[k];
        weightSum += weight[k];
      }
      double likelihood = 0.0;
      for (int k = 1; k <= count; ++k) {
        const double w = weightSum != 0.0 ? weight[k] / weightSum : 0.0;
        const double sd = state.InstarSD[k];
        const double pk = sd > 0.0 ? p + state.Omega * p * (x - state.InstarMean[k]) / sd : p;
        const Component c =
            gamma ? Gamma(fraction, x, delta, pk, v) : Gaussian(fraction, x, delta, pk, v);
        penalty += c.penalty;
        work.ConditionalIncrement(r, k) = pk;
        work.ConditionalVariance(r, k) = c.variance;
        likelihood += std::exp(-c.g) * w;
      }
      if (std::isnan(likelihood)) {
        term = likelihood;
      } else {
        term = likelihood > kLikelihoodFloor ? -std::log(likelihood) : -std::log(kLikelihoodFloor);
      }
    } else {
      const Component c =
          gamma ? Gamma(fraction, x, delta, p, v) : Gaussian(fraction, x, delta, p, v);
      penalty += c.penalty;
      term = c.g;
    }
    work.PredictedIncrement[r] = p;
    work.PredictedPostMoultSize[r] = x + p;
    work.IncrementVariance[r] = v;
    work.RecordTerm[r] = term;
    work.RecordPenalty[r] = penalty;
    total += term;
    state.Penalty += penalty;
  }
  state.IncrementTerm = total;
  return total;
}

// The increments-only objective with the plain increment term.
double Objective(const ModelData& data, Vector& values, ModelState& state, ModelWork& work) {
  for (int index : {param::kMu0, param::kSigma1, param::kPercentSE, param::kSelectivityMean,
                    param::kSelectivitySD, param::kPsi, param::kPhi}) {
    values[index] = std::fabs(values[index]);
  }
  state.Penalty = 0.0;
  state.IncrementTerm = 0.0;
  state.FrequencyTerm = 0.0;
  ComputeInstarGrowth(values, data.IncrementInstarCount, state);
  ComputeIncrementProportions(values, data.IncrementInstarCount, state);
  IncrementTerm(values, data, state, work);
  return 2.0 * state.IncrementTerm + state.Penalty;
}

}  // namespace plain

// ---------------------------------------------------------------------------

// Sizes from 3 to 140 mm, some beyond every instar, sorted by size and then
// increment as users are asked to sort them, so that runs of equal sizes
// (with equal or different increments) occur; a few zero and negative
// increments as a lenient reader may produce them.
ModelData IncrementData(int instars, bool gammaInstars, bool gammaErrors) {
  ModelData data;
  data.AnalysisType = "I";
  data.InstarDistribution = gammaInstars ? "G" : "N";
  data.IncrementErrorDistribution = gammaErrors ? "G" : "N";
  data.IncrementInstarCount = instars;
  data.FixedParameterCount = kStructuralParameterCount + instars;
  data.ParameterCount = kStructuralParameterCount + instars;
  data.InitialSize.Resize(1, kMaxIncrementRecords, 0.0);
  data.Increment.Resize(1, kMaxIncrementRecords, 0.0);
  std::mt19937 random(2024);
  std::vector<std::pair<double, double>> records;
  for (int i = 0; i < 90; ++i) {
    const double x = 3.0 + static_cast<double>(random() % 1370) / 10.0;
    const double d = 1.0 + 0.25 * x + static_cast<double>(random() % 40) / 10.0 - 2.0;
    records.push_back({x, std::round(d * 10.0) / 10.0});
    if (i % 7 == 0) records.push_back({x, records.back().second});        // repeated record
    if (i % 5 == 0) records.push_back({x, records.back().second + 0.7});  // same size
  }
  records.push_back({20.0, 0.0});
  records.push_back({35.0, -0.5});
  std::sort(records.begin(), records.end());
  for (const auto& [x, d] : records) {
    const int r = ++data.IncrementRecordCount;
    data.InitialSize[r] = x;
    data.Increment[r] = d;
  }
  return data;
}

// Instars near 16, 22, 30, 41, ... with SDs from 1.5 up; proportions with the
// by-difference marker last.
Vector BaseVector(const ModelData& data, double omega, double percentSE) {
  Vector values(data.ParameterCount, 0.0);
  values[param::kMu0] = 12.0;
  values[param::kBeta0] = 1.5;
  values[param::kBeta0 + 1] = 0.3;
  values[param::kSigma1] = 1.5;
  values[param::kTau0] = 0.4;
  values[param::kTau0 + 1] = 0.08;
  values[param::kOmega] = omega;
  values[param::kPercentSE] = percentSE;
  const int instars = data.IncrementInstarCount;
  for (int i = 1; i < instars; ++i) values[kStructuralParameterCount + i] = 0.8 / instars;
  if (instars > 0) values[kStructuralParameterCount + instars] = -1.0;
  return values;
}

// Nearby vectors, as a minimizer would try them.
Vector Perturbed(const Vector& base, std::mt19937& random) {
  std::uniform_real_distribution<double> factor(0.8, 1.2);
  Vector values = base;
  for (int i : {param::kMu0, param::kBeta0, param::kBeta0 + 1, param::kSigma1, param::kTau0,
                param::kTau0 + 1, param::kOmega, param::kPercentSE}) {
    values[i] *= factor(random);
  }
  return values;
}

enum class Outcome { Finite, NotANumber, PlusInfinity, MinusInfinity };

Outcome Kind(double x) {
  if (std::isnan(x)) return Outcome::NotANumber;
  if (std::isinf(x)) return x > 0.0 ? Outcome::PlusInfinity : Outcome::MinusInfinity;
  return Outcome::Finite;
}

// Equal to 1e-12 relative, or the same kind of non-finite value.
::testing::AssertionResult Same(double fast, double reference) {
  if (Kind(fast) != Kind(reference)) {
    return ::testing::AssertionFailure()
           << fast << " where the plain evaluation gives " << reference;
  }
  if (Kind(fast) != Outcome::Finite) return ::testing::AssertionSuccess();
  const double scale = std::max(std::fabs(fast), std::fabs(reference));
  if (std::fabs(fast - reference) <= 1e-12 * scale) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << fast << " where the plain evaluation gives " << reference << " (relative difference "
         << std::fabs(fast - reference) / scale << ")";
}

// Evaluates `values` both ways and compares everything the report and the
// goodness-of-fit test read back.
void ExpectSameEvaluation(const ModelData& data, const Vector& values, const std::string& what) {
  ModelState fastState, plainState;
  ModelWork fastWork, plainWork;
  fastState.Resize(data);
  plainState.Resize(data);
  fastWork.Resize(data);
  plainWork.Resize(data);
  Vector fastValues = values, plainValues = values;
  const double fast = EvaluateCarapex(data, fastValues, fastState, fastWork);
  const double reference = plain::Objective(data, plainValues, plainState, plainWork);
  EXPECT_TRUE(Same(fast, reference)) << what << ": objective";
  EXPECT_TRUE(Same(fastState.IncrementTerm, plainState.IncrementTerm)) << what;
  EXPECT_TRUE(Same(fastState.Penalty, plainState.Penalty)) << what;
  int differences = 0;
  for (int r = 1; r <= data.IncrementRecordCount && differences < 3; ++r) {
    const std::string record = what + ", record " + std::to_string(r);
    const bool same =
        Same(fastWork.RecordTerm[r], plainWork.RecordTerm[r]) &&
        Same(fastWork.RecordPenalty[r], plainWork.RecordPenalty[r]) &&
        Same(fastWork.PredictedIncrement[r], plainWork.PredictedIncrement[r]) &&
        Same(fastWork.PredictedPostMoultSize[r], plainWork.PredictedPostMoultSize[r]) &&
        Same(fastWork.IncrementVariance[r], plainWork.IncrementVariance[r]);
    EXPECT_TRUE(same) << record << ": term " << fastWork.RecordTerm[r] << " / "
                      << plainWork.RecordTerm[r] << ", penalty " << fastWork.RecordPenalty[r]
                      << " / " << plainWork.RecordPenalty[r];
    differences += same ? 0 : 1;
    for (int k = 1; k <= data.IncrementInstarCount; ++k) {
      EXPECT_TRUE(Same(fastWork.ConditionalIncrement(r, k), plainWork.ConditionalIncrement(r, k)))
          << record << ", instar " << k;
      EXPECT_TRUE(Same(fastWork.ConditionalVariance(r, k), plainWork.ConditionalVariance(r, k)))
          << record << ", instar " << k;
    }
  }
}

std::string Describe(int instars, bool gammaInstars, bool gammaErrors, double omega, double se) {
  return std::to_string(instars) + (gammaInstars ? " gamma" : " Gaussian") + " instars, " +
         (gammaErrors ? "gamma" : "Gaussian") + " errors, Omega " + std::to_string(omega) +
         ", %SE " + std::to_string(se);
}

TEST(FastIncrementLikelihood, AgreesWithThePlainEvaluationNearUsualFits) {
  std::mt19937 random(7);
  for (int instars : {0, 1, 3, 6}) {
    for (bool gammaInstars : {false, true}) {
      for (bool gammaErrors : {false, true}) {
        const ModelData data = IncrementData(instars, gammaInstars, gammaErrors);
        for (double omega : {0.0, 0.15}) {
          for (double se : {0.0, 4.0}) {
            const std::string what = Describe(instars, gammaInstars, gammaErrors, omega, se);
            const Vector base = BaseVector(data, omega, se);
            ExpectSameEvaluation(data, base, what);
            for (int trial = 1; trial <= 3; ++trial) {
              ExpectSameEvaluation(data, Perturbed(base, random),
                                   what + ", trial " + std::to_string(trial));
            }
          }
        }
      }
    }
  }
}

// Vectors a minimizer wanders into: negative predicted increments and SD
// polynomials, conditional predictions of either sign, no instar weight at
// all, records far outside every instar, Beta terms of higher degree.
TEST(FastIncrementLikelihood, AgreesWhereFloorsAndPenaltiesTakeOver) {
  struct Case {
    const char* what;
    int parameter;
    double value;
  } cases[] = {
      {"negative predicted increments", param::kBeta0, -6.0},
      {"negative SD polynomial", param::kTau0, -3.0},
      {"zero SD polynomial", param::kTau0, 0.0},
      {"strong size effect", param::kOmega, 3.0},
      {"negative size effect", param::kOmega, -2.0},
      {"no weight in any instar", 22, 0.0},
      {"cubic increments", param::kBeta0 + 3, 1e-4},
      {"eighth-degree increments", param::kBeta0 + 8, -1e-15},
      {"instars far above the data", param::kMu0, 400.0},
      {"tiny instar SD", param::kSigma1, 1e-9},
      {"large measurement error", param::kPercentSE, 60.0},
  };
  for (bool gammaInstars : {false, true}) {
    for (bool gammaErrors : {false, true}) {
      const ModelData data = IncrementData(3, gammaInstars, gammaErrors);
      for (double se : {0.0, 4.0}) {
        for (const Case& c : cases) {
          Vector values = BaseVector(data, 0.15, se);
          values[c.parameter] = c.value;
          if (c.parameter == param::kTau0) values[param::kTau0 + 1] = 0.0;
          if (c.parameter == 22) values[23] = values[24] = 0.0;
          ExpectSameEvaluation(
              data, values,
              std::string(c.what) + ", " + Describe(3, gammaInstars, gammaErrors, 0.15, se));
        }
      }
    }
  }
}

// Parameters that are not numbers, or numbers too large to use, must give the
// same NaN or infinity as before, never a floor or a finite objective.
TEST(FastIncrementLikelihood, NonFiniteInputsGiveTheSameOutcome) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    const char* what;
    int parameter;
    double value;
  } cases[] = {
      {"Mu_0 not a number", param::kMu0, nan},
      {"Sigma_1 not a number", param::kSigma1, nan},
      {"Beta 0 not a number", param::kBeta0, nan},
      {"Beta 1 infinite", param::kBeta0 + 1, inf},
      {"Beta 8 overflowing", param::kBeta0 + 8, 1e300},
      {"Tau 0 not a number", param::kTau0, nan},
      {"Tau 2 overflowing", param::kTau0 + 2, 1e300},
      {"Omega not a number", param::kOmega, nan},
      {"Omega infinite", param::kOmega, -inf},
      {"%SE not a number", param::kPercentSE, nan},
      {"%SE infinite", param::kPercentSE, inf},
      {"a proportion not a number", 22, nan},
  };
  for (int instars : {0, 3}) {
    for (bool gammaInstars : {false, true}) {
      for (bool gammaErrors : {false, true}) {
        const ModelData data = IncrementData(instars, gammaInstars, gammaErrors);
        for (double se : {0.0, 4.0}) {
          for (const Case& c : cases) {
            if (c.parameter > data.ParameterCount) continue;
            Vector values = BaseVector(data, 0.15, se);
            values[c.parameter] = c.value;
            ExpectSameEvaluation(data, values,
                                 std::string(c.what) + ", " +
                                     Describe(instars, gammaInstars, gammaErrors, 0.15, se));
          }
        }
      }
    }
  }
}

// The fast evaluation keeps scratch arrays between evaluations: a vector
// evaluated again after others must give the same bits, record by record.
TEST(FastIncrementLikelihood, RepeatedEvaluationsGiveTheSameBits) {
  for (int instars : {1, 3, 6}) {
    const ModelData data = IncrementData(instars, false, false);
    ModelState state;
    ModelWork work;
    state.Resize(data);
    work.Resize(data);
    const Vector base = BaseVector(data, 0.15, 0.0);
    Vector values = base;
    const double first = EvaluateCarapex(data, values, state, work);
    const Vector firstTerms = work.RecordTerm;
    std::mt19937 random(5);
    for (int trial = 0; trial < 3; ++trial) {
      Vector other = Perturbed(base, random);
      other[param::kPercentSE] = 0.0;
      EvaluateCarapex(data, other, state, work);
    }
    values = base;
    EXPECT_EQ(EvaluateCarapex(data, values, state, work), first) << instars << " instars";
    for (int r = 1; r <= data.IncrementRecordCount; ++r) {
      ASSERT_EQ(work.RecordTerm[r], firstTerms[r]) << instars << " instars, record " << r;
    }
  }
}

// The inlined exponential behind the fast evaluation: within an ulp of the
// library's where it computes, and the library's own result at the edges.
TEST(FastIncrementLikelihood, InlinedExponentialMatchesTheLibrary) {
  std::mt19937_64 random(11);
  std::uniform_real_distribution<double> wide(-699.0, 699.0), narrow(-40.0, 1.0);
  double worst = 0.0;
  for (int i = 0; i < 200000; ++i) {
    const double x = i % 2 ? wide(random) : narrow(random);
    worst = std::max(worst, std::fabs(FastExp(x) - std::exp(x)) / std::exp(x));
  }
  EXPECT_LE(worst, 2.3e-16);
  const double inf = std::numeric_limits<double>::infinity();
  for (double x : {-inf, inf, -745.5, -720.0, -700.0, 700.0, 709.0, 710.0, 0.0, -0.0}) {
    EXPECT_EQ(FastExp(x), std::exp(x)) << x;
  }
  EXPECT_TRUE(std::isnan(FastExp(std::numeric_limits<double>::quiet_NaN())));
}

// The increment loops take exponentials, normal tails and logarithms two or
// four at a time: the exponential must give FastExp's bits lane for lane
// (edges and NaN included), the tails the five-term approximation's value,
// and the logarithm the library's to within an ulp over the likelihoods a
// record can have.
TEST(FastIncrementLikelihood, LaneFunctionsMatchTheirSingleForms) {
  using namespace lane_math;
  std::mt19937_64 random(17);
  std::uniform_real_distribution<double> wide(-720.0, 720.0), narrow(-40.0, 1.0);
  auto same_bits = [](double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b) ||
           (std::isnan(a) && std::isnan(b));
  };
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> arguments = {-inf, inf, nan, -745.5, -700.0, 700.0, 699.9, -699.9, 0.0, -0.0};
  for (int i = 0; i < 100000; ++i) arguments.push_back(i % 2 ? wide(random) : narrow(random));
  for (std::size_t i = 0; i + 3 < arguments.size(); ++i) {
    const Double2 e = FastExpLanes(Double2{arguments[i], arguments[i + 1]});
    const Double4 four =
        FastExpLanes(Double4{arguments[i], arguments[i + 1], arguments[i + 2], arguments[i + 3]});
    for (int j = 0; j < 4; ++j) {
      ASSERT_TRUE(same_bits(four[j], FastExp(arguments[i + j]))) << arguments[i + j];
      if (j < 2) {
        ASSERT_TRUE(same_bits(e[j], FastExp(arguments[i + j]))) << arguments[i + j];
      }
    }
  }

  std::uniform_real_distribution<double> z(-9.0, 9.0);
  const Double2 inverse = Splat(1.0 / std::sqrt(8.0 * std::atan(1.0)));
  for (int i = 0; i < 20000; ++i) {
    const double a = i == 0 ? 0.0 : z(random), b = i == 0 ? -60.0 : z(random);
    const Double2 p = NormalCdfLanes(Double2{a, b}, inverse);
    EXPECT_NEAR(p[0], NormalDistribution(a), 1e-15) << a;
    EXPECT_NEAR(p[1], NormalDistribution(b), 1e-15) << b;
    const Double4 four = NormalCdfLanes(Double4{b, a, a, b}, Splat<Double4>(inverse[0]));
    EXPECT_TRUE(same_bits(four[0], p[1]) && same_bits(four[1], p[0])) << a << ", " << b;
  }

  std::uniform_real_distribution<double> exponent(-46.0, 30.0), near_one(0.9, 1.1);
  double worst = 0.0;
  for (int i = 0; i < 100000; ++i) {
    const double a = i % 3 ? std::exp(exponent(random)) : near_one(random);
    const double b = i == 0 ? 1.0 : std::exp(exponent(random));
    const Double2 l = LogLanes(Double2{a, b});
    for (const auto& [x, fast] : {std::pair{a, l[0]}, std::pair{b, l[1]}}) {
      const double exact = std::log(x);
      const double ulp = std::nextafter(std::fabs(exact), inf) - std::fabs(exact);
      worst = std::max(worst, std::fabs(fast - exact) / ulp);
    }
    const Double4 four = LogLanes(Double4{b, a, b, a});
    EXPECT_TRUE(same_bits(four[0], l[1]) && same_bits(four[1], l[0])) << a << ", " << b;
  }
  EXPECT_LE(worst, 1.0);
  EXPECT_EQ(LogLanes(Splat(1.0))[0], 0.0);
}

// Where the processor has AVX2 the Gaussian loop works four records and sizes
// at a time, with pairs and single records for what is left over. A fit must
// not depend on the machine: two lanes and four give the same bits for every
// record count, instar count and the vectors that take the loop's side roads
// (floors, penalties, overflowing sizes, tiny variances, NaN).
TEST(FastIncrementLikelihood, TwoAndFourLanesGiveTheSameBits) {
  LimitIncrementLanes(4);
  if (IncrementLanes() != 4) GTEST_SKIP() << "this processor runs two lanes only";
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Change {
    int parameter;
    double value;
  } changes[] = {{0, 0.0},
                 {param::kBeta0, -6.0},
                 {param::kTau0, 0.0},
                 {param::kOmega, 3.0},
                 {param::kSigma1, 1e-9},
                 {param::kMu0, 400.0},
                 {param::kBeta0 + 8, 1e300},
                 {param::kMu0, nan}};
  // NaN payloads follow the order of operands, which the compiler chooses.
  auto same = [](double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b) ||
           (std::isnan(a) && std::isnan(b));
  };
  struct Run {
    double objective = 0.0;
    ModelState state;
    ModelWork work;
  };
  auto evaluate = [](const ModelData& data, const Vector& values, int lanes) {
    LimitIncrementLanes(lanes);
    Run run;
    run.state.Resize(data);
    run.work.Resize(data);
    Vector copy = values;
    run.objective = EvaluateCarapex(data, copy, run.state, run.work);
    return run;
  };
  std::mt19937 random(3);
  for (int instars : {1, 3, 5, 6}) {
    const ModelData all = IncrementData(instars, false, false);
    for (int records : {1, 2, 3, 5, 6, 7, all.IncrementRecordCount}) {
      ModelData data = all;
      data.IncrementRecordCount = records;
      for (const Change& change : changes) {
        Vector values = change.parameter == 0 ? Perturbed(BaseVector(data, 0.15, 0.0), random)
                                              : BaseVector(data, 0.15, 0.0);
        if (change.parameter != 0) values[change.parameter] = change.value;
        if (change.parameter == param::kTau0) values[param::kTau0 + 1] = 0.0;
        const std::string what = std::to_string(instars) + " instars, " + std::to_string(records) +
                                 " records, parameter " + std::to_string(change.parameter);
        const Run two = evaluate(data, values, 2), four = evaluate(data, values, 4);
        ASSERT_TRUE(same(two.objective, four.objective)) << what;
        ASSERT_TRUE(same(two.state.Penalty, four.state.Penalty)) << what;
        for (int r = 1; r <= records; ++r) {
          bool equal = same(two.work.RecordTerm[r], four.work.RecordTerm[r]) &&
                       same(two.work.RecordPenalty[r], four.work.RecordPenalty[r]) &&
                       same(two.work.PredictedIncrement[r], four.work.PredictedIncrement[r]) &&
                       same(two.work.IncrementVariance[r], four.work.IncrementVariance[r]);
          for (int k = 1; k <= instars; ++k) {
            equal = equal &&
                    same(two.work.ConditionalIncrement(r, k), four.work.ConditionalIncrement(r, k));
          }
          ASSERT_TRUE(equal) << what << ", record " << r << ": " << two.work.RecordTerm[r] << " / "
                             << four.work.RecordTerm[r];
        }
      }
    }
  }
  LimitIncrementLanes(4);
}

}  // namespace
}  // namespace estimetrix
