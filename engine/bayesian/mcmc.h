#pragma once
// Markov chain Monte Carlo over every free parameter: random-walk
// Metropolis with a Gaussian proposal that adapts during the warm-up
// (adaptive Metropolis: Haario, Saksman and Tamminen 2001, Bernoulli
// 7:223-242; a scale steered towards an acceptance of 0.234 as in Roberts
// and Rosenthal 2009, J. Comput. Graph. Stat. 18:349-367) and is frozen
// afterwards, so that the kept draws form a valid Markov chain.
//
// Each chain has its own generator, seeded from the user's seed and the
// chain's number, and its own evaluations: the chains run side by side on
// worker threads and their draws are the same for any thread count.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "engine/base/array.h"

namespace estimetrix {

class Desktop;
class ModelEvaluator;
struct Workbench;

// xoshiro256** seeded through splitmix64 from (seed, chain): independent
// streams whose values do not depend on the platform's library.
class ChainRandom {
 public:
  ChainRandom(std::uint64_t seed, int chain);
  std::uint64_t Next();
  double Uniform();  // in (0, 1)
  double Normal();   // standard normal (Box-Muller, one value per two uniforms)

 private:
  std::uint64_t s_[4];
};

struct McmcSettings {
  int draws = 1000;  // kept draws per chain
  int chains = 4;
  int warmUp = 1000;  // adaptive draws per chain before the kept ones
  int thin = 1;       // one draw kept in `thin`
  std::uint64_t seed = 1;
};

// The -ln posterior on the free coordinates (1..d): objective /
// LikelihoodScale, prior term included. `objective` receives the objective
// itself. One target per thread.
class ChainTarget {
 public:
  virtual ~ChainTarget() = default;
  virtual double MinusLn(const Vector& coordinates, double& objective) = 0;
};

// Targets over the workbench's free list: through a model evaluator (any
// thread), or through EvaluateObjective (the user-interface thread only).
std::unique_ptr<ChainTarget> EvaluatorTarget(const Workbench& wb,
                                             std::unique_ptr<ModelEvaluator> evaluator);
std::unique_ptr<ChainTarget> SerialTarget(Workbench& wb);

// A -ln value more than this above the estimates' is a penalty (or no
// better than one): such a point is never a state of a chain.
inline constexpr double kPenaltyGap = 1E+6;

// One chain: its state, its proposal and its kept draws.
class Chain {
 public:
  // `start`: the estimates (1..d); `proposal`: the proposal covariance before
  // adaptation, already scaled; `reference`: the -ln value at the estimates.
  Chain(int number, const McmcSettings& settings, const Vector& start, const Matrix& proposal,
        double reference);

  // Draws the starting point: the estimates plus twice a proposal draw,
  // drawn again while it is not finite or penalised.
  void Start(ChainTarget& target);
  // One Metropolis step (adapting while in the warm-up); keeps the draw
  // when it is one of the kept ones.
  void Step(ChainTarget& target);

  bool Finished() const { return iteration_ >= total_; }
  long long Iterations() const { return iterationsDone.load(); }
  int Kept() const { return kept_; }
  // Acceptance among the draws after the warm-up (all draws while warming up).
  double Acceptance() const;
  double Scale() const { return scale_; }
  // Kept draw i (0-based), column j: 0..d-1 parameter, d objective.
  double Draw(int i, int j) const { return draws_[static_cast<size_t>(i) * (d_ + 1) + j]; }

  std::atomic<long long> iterationsDone{0};
  std::atomic<long long> acceptedDone{0};

 private:
  void Propose(Vector& y);
  void Adapt(double acceptance);
  void RefreshFactor();

  int number_;
  size_t d_;
  McmcSettings settings_;
  long long total_;
  long long iteration_ = 0;
  ChainRandom random_;
  Vector x_, y_, z_;
  double minusLn_ = 0.0, objective_ = 0.0;
  double reference_;
  Matrix initial_;  // the proposal covariance before adaptation
  Matrix factor_;   // lower Cholesky factor of the current proposal covariance
  double scale_ = 1.0;
  // Running mean and sums of cross-products of the warm-up states.
  Vector mean_;
  Matrix crossProducts_;
  long long adaptCount_ = 0;
  long long warmAccepted_ = 0, keptAccepted_ = 0, keptTried_ = 0;
  int kept_ = 0;
  std::vector<double> draws_;
};

// Runs the chains to their ends on `threads` threads (thread t takes
// chains t, t + threads, ..., in turns of a few hundred steps so that all
// advance together). The calling thread runs its share and, about every
// 20 ms, yields to the desktop and asks `poll` whether to go on; false
// stops every chain where it is. `targets` gives each thread its target
// (called on the calling thread before the workers start). True when every
// chain finished.
bool RunChains(std::vector<std::unique_ptr<Chain>>& chains, int threads,
               const std::function<std::unique_ptr<ChainTarget>()>& targets, Desktop& desktop,
               const std::function<bool()>& poll);

}  // namespace estimetrix
