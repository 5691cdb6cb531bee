// The model's exact derivatives (MODEL with NF = -2) against Richardson-
// extrapolated central differences of the NF = 1 objective (Ridders 1982,
// Adv. Eng. Software 4:75-76), one configuration family at a time, at points
// away from window edges; and the objective that comes with them against the
// NF = 1 objective.

#include "model/carapex_derivatives.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "model/parameter_layout.h"
#include "tests/support/carapex_cases.h"

namespace estimetrix::testing {
namespace {

// Ridders' extrapolation to h = 0 of estimates whose error is a series in
// h^2, from h down by 1.4 at each level; `error` gets the estimated error.
double Extrapolate(const std::function<double(double)>& estimate, double h, double& error) {
  constexpr int kLevels = 10;
  constexpr double kShrink = 1.4, kShrink2 = kShrink * kShrink, kSafe = 2.0;
  double table[kLevels][kLevels];
  table[0][0] = estimate(h);
  error = 1e300;
  double best = table[0][0];
  for (int i = 1; i < kLevels; ++i) {
    h /= kShrink;
    table[0][i] = estimate(h);
    double factor = kShrink2;
    for (int j = 1; j <= i; ++j) {
      table[j][i] = (table[j - 1][i] * factor - table[j - 1][i - 1]) / (factor - 1.0);
      factor *= kShrink2;
      const double e = std::max(std::fabs(table[j][i] - table[j - 1][i]),
                                std::fabs(table[j][i] - table[j - 1][i - 1]));
      if (e <= error) {
        error = e;
        best = table[j][i];
      }
    }
    if (std::fabs(table[i][i] - table[i - 1][i - 1]) >= kSafe * error) break;
  }
  return best;
}

struct Derivatives {
  double objective = 0.0;
  Vector gradient;
  Matrix second;
};

Derivatives Exact(CarapexCase& c) {
  Derivatives d;
  CarapexModelHarness& h = *c.h;
  d.objective = -1.0;
  h.model.MODEL(d.objective, h.values, h.steps, h.descriptions, h.fuseCodes, h.parameterCount, -2,
                h.observations, h.gradient, h.second, h.sampleSize);
  d.gradient = h.gradient;
  d.second = h.second;
  return d;
}

// Which piece of the objective the last evaluation was on: each instar's
// window of cells, and per increment record and increment instar whether
// the instar's window reaches the record's size and whether the truncation
// at zero counts.
std::vector<int> Piece(const CarapexModelHarness& h) {
  const ModelData& data = h.model.Data();
  const ModelState& state = h.model.State();
  const ModelWork& work = h.model.Work();
  std::vector<int> piece;
  // The five-term normal tail is not continuous at z = 0 (it leaves
  // 1 - 2 Q(0), about 5e-8, between its two sides), so an instar mean that
  // passes a cell boundary, or a selectivity mean a midpoint, changes the
  // piece too.
  auto below = [&](double mean, double offset) {
    int count = 0;
    for (int c = 1; c <= data.CellCount; ++c) count += data.Midpoints[c] + offset < mean;
    return count;
  };
  if (data.HasFrequencies()) {
    const double half = data.CellWidth / 2.0;
    for (int k = 1; k <= data.InstarCount; ++k) {
      piece.push_back(work.WindowFirst[k]);
      piece.push_back(work.WindowLast[k]);
      if (data.InstarDistribution == "N")
        piece.push_back(below(state.InstarMean[k], -half) + below(state.InstarMean[k], half));
    }
    piece.push_back(below(state.SelectivityMean, 0.0));
    // Occupied cells whose prediction is floored.
    for (int s = 1; s <= data.SeriesCount; ++s)
      for (int c = 1; c <= data.CellCount; ++c)
        piece.push_back(data.ObservedFrequency(s, c) != 0.0 &&
                        state.PredictedFrequency(s, c) <= 1e-6);
  }
  piece.push_back(state.Penalty != 0.0);
  if (data.HasIncrements()) {
    for (int r = 1; r <= data.IncrementRecordCount; ++r) {
      const double x = data.InitialSize[r];
      for (int k = 1; k <= data.IncrementInstarCount; ++k) {
        const double z1 = (0.99 * x - state.InstarMean[k]) / state.InstarSD[k];
        const double z2 = (1.01 * x - state.InstarMean[k]) / state.InstarSD[k];
        piece.push_back(z2 >= -5.0 && z1 <= 5.0);
        piece.push_back((z1 < 0.0) + (z2 < 0.0));
        const double z0 =
            -work.ConditionalIncrement(r, k) / std::sqrt(work.ConditionalVariance(r, k));
        piece.push_back(z0 > -5.0);
      }
      if (data.IncrementInstarCount == 0) {
        piece.push_back(-work.PredictedIncrement[r] / std::sqrt(work.IncrementVariance[r]) > -5.0);
      }
    }
  }
  return piece;
}

// The NF = 1 objective with parameter i moved by di and j by dj; fuse
// followers move with their leader. Counts the evaluations that left the
// piece of the objective the point lies on.
struct Objective {
  CarapexCase& c;
  std::vector<std::vector<int>> movesWith;  // per parameter: itself and its followers
  std::vector<int> center;
  int otherPieces = 0;

  explicit Objective(CarapexCase& cc) : c(cc), movesWith(cc.N() + 1) {
    for (int i = 1; i <= c.N(); ++i) movesWith[i] = {i};
  }
  double operator()(int i, double di, int j = 0, double dj = 0.0) {
    bool same = true;
    const double f = At(i, di, j, dj, same);
    if (!same) ++otherPieces;
    return f;
  }
  double At(int i, double di, int j, double dj, bool& same) {
    Vector saved = c.h->values;
    for (int k : movesWith[i]) c.h->values[k] += di;
    if (j != 0)
      for (int k : movesWith[j]) c.h->values[k] += dj;
    const double f = c.h->Evaluate(2);
    same = Piece(*c.h) == center;

    c.h->values = saved;
    return f;
  }
  // The largest step from `t` down by halves whose corners (i moved by
  // +-t, j by +-r t) all lie on the point's piece; the windows move
  // steadily, so the smaller steps of the extrapolation do too.
  double StayOnPiece(int i, double t, int j = 0, double r = 0.0) {
    for (int halvings = 0; halvings < 40; ++halvings, t /= 2.0) {
      bool all = true, same = true;
      for (double a : {1.0, -1.0}) {
        for (double b : {1.0, -1.0}) {
          At(i, a * t, j, b * r * t, same);
          all = all && same;
        }
      }
      if (all) return t;
    }
    return t;
  }
};

std::vector<int> FreeParameters(const CarapexCase& c) {
  std::vector<int> free;
  for (int i = 1; i <= c.N(); ++i)
    if (c.h->steps[i] != 0.0) free.push_back(i);
  return free;
}

// Every free gradient and Hessian entry agrees with the extrapolated
// differences to 1e-6 relative: relative to the entry, or for an entry small
// beside its row and column (which differences cannot resolve), to the
// geometric mean of their diagonal entries (the square root of the diagonal
// for the gradient). The differences start from a tenth of each parameter's
// step, or less where that would reach another piece of the objective.
void ExpectDerivativesMatch(CarapexCase& c, bool penalised = false, double stepFraction = 0.1) {
  ASSERT_TRUE(c.ready);
  if (c.h->fuseCodes.Size() < c.N()) c.h->fuseCodes.Resize(1, c.N(), "~~");
  Objective f(c);
  for (int i = 1; i <= c.N(); ++i) {
    const std::string code = c.h->fuseCodes[i];
    if (code == "~~") continue;
    for (int j = 1; j < i; ++j) {
      if (c.h->fuseCodes[j] != code) continue;
      f.movesWith[j].push_back(i);
      f.movesWith[i].clear();
      break;
    }
  }
  const double f0 = c.h->Evaluate(1);
  ASSERT_TRUE(std::isfinite(f0));
  if (!penalised) {
    EXPECT_EQ(c.h->model.State().Penalty, 0.0);
  }
  f.center = Piece(*c.h);
  const Derivatives d = Exact(c);
  EXPECT_NEAR(d.objective, f0, 1e-12 * std::fabs(f0));

  const std::vector<int> free = FreeParameters(c);
  std::vector<double> step(c.N() + 1, 0.0);
  for (int i : free) step[i] = stepFraction * std::fabs(c.h->steps[i]);
  double error = 0.0;
  for (int i : free) {
    const double hii = d.second(i, i);
    const double start = f.StayOnPiece(i, step[i]);
    const double numeric =
        Extrapolate([&](double t) { return (f(i, t) - f(i, -t)) / (2.0 * t); }, start, error);
    const double scale = std::max(std::fabs(d.gradient[i]), std::sqrt(std::fabs(hii)));
    EXPECT_NEAR(d.gradient[i], numeric, std::max(1e-6 * scale, 2.0 * error))
        << "gradient of parameter " << i << " (" << c.h->descriptions[i] << ")";
    EXPECT_LT(error, 1e-5 * scale) << "differences too rough for parameter " << i;
    for (int j : free) {
      if (j < i) continue;
      double estimate = 0.0;
      if (i == j) {
        estimate = Extrapolate([&](double t) { return (f(i, t) - 2.0 * f0 + f(i, -t)) / (t * t); },
                               start, error);
      } else {
        const double r = step[j] / step[i];
        estimate = Extrapolate(
            [&](double t) {
              return (f(i, t, j, r * t) - f(i, t, j, -r * t) - f(i, -t, j, r * t) +
                      f(i, -t, j, -r * t)) /
                     (4.0 * t * t * r);
            },
            f.StayOnPiece(i, step[i], j, r), error);
      }
      const double exact = d.second(i, j);
      const double scale = std::max(std::fabs(exact), std::sqrt(std::fabs(hii * d.second(j, j))));
      // Where rounding limits the differences, their own error estimate.
      EXPECT_NEAR(exact, estimate, std::max(1e-6 * scale, 2.0 * error))
          << "second derivative (" << i << ", " << j << ") of " << c.h->descriptions[i] << " and "
          << c.h->descriptions[j];
      EXPECT_LT(error, 1e-5 * scale) << "differences too rough for (" << i << ", " << j << ")";
      EXPECT_EQ(exact, d.second(j, i));
    }
  }
  EXPECT_EQ(f.otherPieces, 0) << "the differences reach another piece of the objective: move "
                                 "the point away from the window edges";
  // Only free parameters carry derivatives.
  for (int i = 1; i <= c.N(); ++i) {
    if (c.h->steps[i] != 0.0) continue;
    EXPECT_EQ(d.gradient[i], 0.0) << i;
  }
}

TEST(CarapexDerivatives, GaussianInstarsZeroBeyondTheExtremes) {
  CarapexCase c = IdentifiedFrequencyCase(false, false);
  ExpectDerivativesMatch(c);
}

TEST(CarapexDerivatives, GammaInstarsTruncatedFromALaterFirstCell) {
  CarapexCase c = IdentifiedFrequencyCase(true, true, 9);
  ExpectDerivativesMatch(c);
}

TEST(CarapexDerivatives, BlendedInstarsWeibullSelectivityAndMeasurementError) {
  CarapexCase c = BlendedFrequencyCase();
  ExpectDerivativesMatch(c);
}

TEST(CarapexDerivatives, SnowCrabExample) {
  CarapexCase c = SnowCrabCase();
  ExpectDerivativesMatch(c);
}

TEST(CarapexDerivatives, IncrementInstarsGaussianAndGammaErrors) {
  for (bool gamma : {false, true}) {
    SCOPED_TRACE(gamma ? "gamma" : "Gaussian");
    CarapexCase c = ThreeInstarIncrementCase(gamma);
    ExpectDerivativesMatch(c);
  }
}

TEST(CarapexDerivatives, IncrementsMeasuredWithError) {
  for (bool gamma : {false, true}) {
    SCOPED_TRACE(gamma ? "gamma" : "Gaussian");
    CarapexCase c = ThreeInstarIncrementCase(gamma, 4.0, 40);
    ExpectDerivativesMatch(c);
  }
}

TEST(CarapexDerivatives, IncrementsWithoutInstars) {
  CarapexCase c = DungenessCase();
  c.h->values[param::kTau0 + 1] = 0.01;  // an SD that changes with the increment
  ExpectDerivativesMatch(c);
}

TEST(CarapexDerivatives, FrequenciesAndIncrementsTogether) {
  for (bool gamma : {false, true}) {
    SCOPED_TRACE(gamma ? "gamma" : "Gaussian");
    CarapexCase c = CombinedCase(gamma);
    ExpectDerivativesMatch(c);
  }
}

// Penalties count where they are active: r beyond 1 adds (|r| - 1)^2 1e20
// to the objective (and r = 1 to the SDs).
TEST(CarapexDerivatives, ActivePenalties) {
  CarapexCase c = IdentifiedFrequencyCase(false, false);
  c.h->values[param::kR] = 1.0 + 2e-9;  // penalty 400
  c.h->steps[param::kR] = 1e-8;
  ExpectDerivativesMatch(c, true);
}

// A fuse group moves as one: the derivatives at its leader are those of the
// objective when leader and follower move together.
TEST(CarapexDerivatives, FusedParametersReportTheGroupAtTheLeader) {
  CarapexCase c = IdentifiedFrequencyCase(false, false);
  c.h->fuseCodes.Resize(1, c.N(), "~~");
  c.h->fuseCodes[23] = "AA";
  c.h->fuseCodes[24] = "AA";
  c.h->values[24] = c.h->values[23];
  c.h->steps[24] = 0.0;
  ExpectDerivativesMatch(c);
}

// Without steps (nothing marked free) every parameter is differentiated.
TEST(CarapexDerivatives, WithoutFreeParametersEveryParameterIsDifferentiated) {
  CarapexCase c = ThreeInstarIncrementCase(false);
  Vector steps = c.h->steps;
  const Derivatives withSteps = Exact(c);
  c.h->steps.Fill(0.0);
  const Derivatives all = Exact(c);
  for (int i = 1; i <= c.N(); ++i) {
    if (steps[i] == 0.0) continue;
    EXPECT_NEAR(all.gradient[i], withSteps.gradient[i], 1e-12 * std::fabs(withSteps.gradient[i]));
    for (int j = 1; j <= c.N(); ++j) {
      if (steps[j] == 0.0) continue;
      EXPECT_NEAR(all.second(i, j), withSteps.second(i, j),
                  1e-12 * std::fabs(withSteps.second(i, j)) + 1e-300);
    }
  }
  // Mu_0 is fixed in the run but not here: it moves every instar mean.
  EXPECT_NE(all.gradient[param::kMu0], 0.0);
}

// The templated objective with plain numbers is the fast NF = 1 objective.
TEST(CarapexDerivatives, TemplatedObjectiveEqualsTheFastPath) {
  std::vector<CarapexCase> cases;
  cases.push_back(SnowCrabCase());
  cases.push_back(DungenessCase());
  cases.push_back(IdentifiedFrequencyCase(false, false));
  cases.push_back(IdentifiedFrequencyCase(true, true, 9));
  cases.push_back(BlendedFrequencyCase());
  cases.push_back(ThreeInstarIncrementCase(false));
  cases.push_back(ThreeInstarIncrementCase(true));
  cases.push_back(ThreeInstarIncrementCase(false, 4.0, 40));
  cases.push_back(ThreeInstarIncrementCase(true, 4.0, 40));
  cases.push_back(CombinedCase(false));
  cases.push_back(CombinedCase(true));
  for (CarapexCase& c : cases) {
    ASSERT_TRUE(c.ready);
    // Also away from the fit: every instar moved and widened.
    for (double shift : {0.0, 0.37}) {
      c.h->values[param::kMu0] += shift;
      c.h->values[param::kSigma1] *= 1.0 + shift;
      const double fast = c.h->Evaluate(1);
      const double templated = TemplatedObjective(c.h->model.Data(), c.h->values);
      EXPECT_NEAR(templated, fast, 1e-12 * std::fabs(fast)) << c.h->model.Data().AnalysisType;
    }
  }
}

}  // namespace
}  // namespace estimetrix::testing
