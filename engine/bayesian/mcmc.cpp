// The adaptive random-walk Metropolis chains and their run side by side.

#include "engine/bayesian/mcmc.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

#include "engine/bayesian/aligned_grid.h"
#include "engine/objective/objective.h"
#include "engine/state/workbench.h"
#include "platform/desktop.h"

namespace estimetrix {

namespace {

constexpr double kTwoPi = 6.28318530717958647692;
constexpr double kTargetAcceptance = 0.234;
// Steps a chain takes before its thread turns to its next chain.
constexpr int kTurn = 200;
// The adapted covariance is factored again after this many warm-up steps.
constexpr int kRefreshEvery = 50;
// Starting points drawn before a chain starts at the estimates themselves.
constexpr int kStartTries = 100;
constexpr auto kChainPollInterval = std::chrono::milliseconds(20);

std::uint64_t SplitMix(std::uint64_t& state) {
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

std::uint64_t Rotate(std::uint64_t x, int k) {
  return (x << k) | (x >> (64 - k));
}

class EvaluatorChainTarget : public ChainTarget {
 public:
  EvaluatorChainTarget(const Workbench& wb, std::unique_ptr<ModelEvaluator> evaluator)
      : wb_(wb), evaluator_(std::move(evaluator)), work_(wb.alg.Values) {}
  double MinusLn(const Vector& coordinates, double& objective) override {
    BuildWorkVector(wb_.alg, wb_.free, coordinates, work_);
    ExpandFusedParameters(work_, wb_.alg, wb_.fuse, wb_.state, scratch_);
    objective = evaluator_->Evaluate(work_);
    if (wb_.state.PriorsActive) objective += ComputePriorTerm(wb_, work_);
    return objective / wb_.covariance.LikelihoodScale;
  }

 private:
  const Workbench& wb_;
  std::unique_ptr<ModelEvaluator> evaluator_;
  Vector work_;
  FuseScratch scratch_;
};

class SerialChainTarget : public ChainTarget {
 public:
  explicit SerialChainTarget(Workbench& wb) : wb_(wb) {}
  double MinusLn(const Vector& coordinates, double& objective) override {
    BuildWorkVector(wb_.alg, wb_.free, coordinates, work_);
    objective = EvaluateObjective(wb_, work_, 1);
    return objective / wb_.covariance.LikelihoodScale;
  }

 private:
  Workbench& wb_;
  Vector work_;
};

}  // namespace

// ---------------------------------------------------------------------------
// Random numbers

ChainRandom::ChainRandom(std::uint64_t seed, int chain) {
  std::uint64_t state = seed ^ (0xD1B54A32D192ED03ULL * static_cast<std::uint64_t>(chain + 1));
  for (std::uint64_t& word : s_) word = SplitMix(state);
}

std::uint64_t ChainRandom::Next() {
  const std::uint64_t result = Rotate(s_[1] * 5, 7) * 9;
  const std::uint64_t t = s_[1] << 17;
  s_[2] ^= s_[0];
  s_[3] ^= s_[1];
  s_[1] ^= s_[2];
  s_[0] ^= s_[3];
  s_[2] ^= t;
  s_[3] = Rotate(s_[3], 45);
  return result;
}

double ChainRandom::Uniform() {
  // 53 random bits, shifted half a unit off zero: never 0, never 1.
  return (static_cast<double>(Next() >> 11) + 0.5) * 0x1.0p-53;
}

double ChainRandom::Normal() {
  const double u1 = Uniform(), u2 = Uniform();
  return std::sqrt(-2.0 * std::log(u1)) * std::cos(kTwoPi * u2);
}

std::unique_ptr<ChainTarget> EvaluatorTarget(const Workbench& wb,
                                             std::unique_ptr<ModelEvaluator> evaluator) {
  return std::make_unique<EvaluatorChainTarget>(wb, std::move(evaluator));
}

std::unique_ptr<ChainTarget> SerialTarget(Workbench& wb) {
  return std::make_unique<SerialChainTarget>(wb);
}

// ---------------------------------------------------------------------------
// One chain

Chain::Chain(int number, const McmcSettings& settings, const Vector& start, const Matrix& proposal,
             double reference)
    : number_(number),
      d_(static_cast<size_t>(start.Size())),
      settings_(settings),
      total_(static_cast<long long>(settings.warmUp) +
             static_cast<long long>(settings.draws) * settings.thin),
      random_(settings.seed, number),
      x_(start),
      y_(start),
      z_(start),
      reference_(reference),
      initial_(proposal) {
  const int d = static_cast<int>(d_);
  if (!CholeskyFactor(initial_, d, factor_)) {
    // A proposal that is not positive definite: its diagonal alone.
    factor_.Resize(1, d, 1, d, 0.0);
    for (int i = 1; i <= d; ++i) factor_(i, i) = std::sqrt(std::fabs(initial_(i, i)));
  }
  mean_.Resize(1, d, 0.0);
  crossProducts_.Resize(1, d, 1, d, 0.0);
  // Room for the first draws; a long run grows as it keeps them.
  draws_.reserve(static_cast<size_t>(std::min(settings.draws, 100000)) * (d_ + 1));
}

void Chain::Propose(Vector& y) {
  const int d = static_cast<int>(d_);
  for (int i = 1; i <= d; ++i) z_[i] = random_.Normal();
  for (int i = 1; i <= d; ++i) {
    double step = 0.0;
    for (int l = 1; l <= i; ++l) step += factor_(i, l) * z_[l];
    y[i] = x_[i] + scale_ * step;
  }
}

void Chain::Start(ChainTarget& target) {
  const Vector estimates = x_;
  for (int attempt = 0; attempt <= kStartTries; ++attempt) {
    if (attempt < kStartTries) {
      const double keep = scale_;
      scale_ = 2.0;
      Propose(y_);
      scale_ = keep;
    } else {
      y_ = estimates;
    }
    double objective = 0.0;
    const double value = target.MinusLn(y_, objective);
    if (std::isfinite(value) && value - reference_ <= kPenaltyGap) {
      x_ = y_;
      minusLn_ = value;
      objective_ = objective;
      return;
    }
  }
  // Even the estimates fail: the chain stays there and rejects every move.
  x_ = estimates;
  minusLn_ = reference_;
  objective_ = std::nan("");
}

void Chain::Step(ChainTarget& target) {
  Propose(y_);
  double objective = 0.0;
  const double value = target.MinusLn(y_, objective);
  double acceptance = 0.0;
  if (std::isfinite(value) && value - reference_ <= kPenaltyGap)
    acceptance = value <= minusLn_ ? 1.0 : std::exp(minusLn_ - value);
  const bool accept = acceptance >= 1.0 || random_.Uniform() < acceptance;
  if (accept) {
    x_ = y_;
    minusLn_ = value;
    objective_ = objective;
  }
  const bool warming = iteration_ < settings_.warmUp;
  if (warming) {
    if (accept) ++warmAccepted_;
    Adapt(acceptance);
  } else {
    ++keptTried_;
    if (accept) ++keptAccepted_;
    const long long k = iteration_ - settings_.warmUp + 1;
    if (k % settings_.thin == 0) {
      for (size_t i = 1; i <= d_; ++i) draws_.push_back(x_[static_cast<int>(i)]);
      draws_.push_back(objective_);
      ++kept_;
    }
  }
  ++iteration_;
  if (warming && iteration_ == settings_.warmUp) RefreshFactor();  // frozen from here on
  iterationsDone.store(iteration_, std::memory_order_relaxed);
  acceptedDone.store(warmAccepted_ + keptAccepted_, std::memory_order_relaxed);
}

// Robbins-Monro on the log scale towards the target acceptance, and the
// running covariance of the states of the later three quarters of the warm-up.
void Chain::Adapt(double acceptance) {
  const double gain = std::pow(static_cast<double>(iteration_) + 1.0, -0.6);
  scale_ *= std::exp(gain * (acceptance - kTargetAcceptance));
  if (iteration_ < settings_.warmUp / 4) return;
  ++adaptCount_;
  const int d = static_cast<int>(d_);
  const double n = static_cast<double>(adaptCount_);
  for (int i = 1; i <= d; ++i) z_[i] = x_[i] - mean_[i];  // deviation from the old mean
  for (int i = 1; i <= d; ++i) mean_[i] += z_[i] / n;
  for (int i = 1; i <= d; ++i)
    for (int j = 1; j <= d; ++j) crossProducts_(i, j) += z_[i] * (x_[j] - mean_[j]);
  if (adaptCount_ % kRefreshEvery == 0) RefreshFactor();
}

// The proposal from the chain's own covariance, 2.38^2 / d times it, with a
// little of the first proposal added so that it stays positive definite.
void Chain::RefreshFactor() {
  const int d = static_cast<int>(d_);
  if (adaptCount_ < std::max<long long>(2 * d + 1, 20)) return;
  const double optimal = 2.38 * 2.38 / d;
  Matrix covariance(d, d, 0.0);
  for (int i = 1; i <= d; ++i)
    for (int j = 1; j <= d; ++j)
      covariance(i, j) = optimal * crossProducts_(i, j) / static_cast<double>(adaptCount_ - 1) +
                         1E-6 * initial_(i, j);
  Matrix factor;
  if (CholeskyFactor(covariance, d, factor)) factor_ = factor;
}

double Chain::Acceptance() const {
  if (keptTried_ > 0) return static_cast<double>(keptAccepted_) / static_cast<double>(keptTried_);
  if (iteration_ > 0) return static_cast<double>(warmAccepted_) / static_cast<double>(iteration_);
  return 0.0;
}

// ---------------------------------------------------------------------------
// Chains side by side

namespace {

struct ChainWork {
  std::vector<std::unique_ptr<Chain>>& chains;
  int threads;
  std::atomic<bool> stop{false};
  std::mutex mutex;
  std::condition_variable ended;
  int running = 0;
  std::exception_ptr error;

  ChainWork(std::vector<std::unique_ptr<Chain>>& c, int t) : chains(c), threads(t) {}

  void Fail() {
    std::lock_guard<std::mutex> lock(mutex);
    if (!error) error = std::current_exception();
    stop.store(true);
  }
};

// Thread t's chains, a turn at a time; `afterStep` runs after every step.
template <class AfterStep>
void RunShare(ChainWork& work, int t, ChainTarget& target, std::vector<bool>& started,
              AfterStep afterStep) {
  for (bool more = true; more && !work.stop.load();) {
    more = false;
    for (size_t c = static_cast<size_t>(t); c < work.chains.size();
         c += static_cast<size_t>(work.threads)) {
      Chain& chain = *work.chains[c];
      if (!started[c]) {
        chain.Start(target);
        started[c] = true;
      }
      for (int k = 0; k < kTurn && !chain.Finished() && !work.stop.load(); ++k) {
        chain.Step(target);
        afterStep();
      }
      if (!chain.Finished()) more = true;
    }
  }
}

}  // namespace

bool RunChains(std::vector<std::unique_ptr<Chain>>& chains, int threads,
               const std::function<std::unique_ptr<ChainTarget>()>& targets, Desktop& desktop,
               const std::function<bool()>& poll) {
  if (chains.empty()) return true;
  threads = std::clamp(threads, 1, static_cast<int>(chains.size()));
  std::vector<std::unique_ptr<ChainTarget>> perThread;
  for (int t = 0; t < threads; ++t) {
    std::unique_ptr<ChainTarget> target = targets();
    if (!target) break;
    perThread.push_back(std::move(target));
  }
  if (perThread.empty()) return false;
  threads = static_cast<int>(perThread.size());

  ChainWork work(chains, threads);
  // std::vector<bool> packs bits: each thread has its own flags.
  std::vector<std::vector<bool>> startedBy(static_cast<size_t>(threads),
                                           std::vector<bool>(chains.size(), false));
  std::vector<std::thread> workers;
  work.running = threads - 1;
  for (int t = 1; t < threads; ++t) {
    try {
      workers.emplace_back([&work, &perThread, &startedBy, t] {
        try {
          RunShare(work, t, *perThread[static_cast<size_t>(t)], startedBy[static_cast<size_t>(t)],
                   [] {});
        } catch (...) {
          work.Fail();
        }
        std::lock_guard<std::mutex> lock(work.mutex);
        --work.running;
        work.ended.notify_all();
      });
    } catch (const std::system_error&) {
      // No thread to be had: this share is run below by the calling thread.
      break;
    }
  }
  if (static_cast<int>(workers.size()) + 1 < threads) {
    // Threads were refused: stop the ones running, then run every chain here.
    work.stop.store(true);
    for (std::thread& worker : workers) worker.join();
    workers.clear();
    work.stop.store(false);
    work.threads = 1;
    work.running = 0;
    for (size_t t = 1; t < startedBy.size(); ++t)
      for (size_t c = 0; c < chains.size(); ++c)
        if (startedBy[t][c]) startedBy[0][c] = true;
  }

  using Clock = std::chrono::steady_clock;
  Clock::time_point lastYield = Clock::now();
  bool stopped = false;
  auto yieldAndPoll = [&] {
    desktop.Yield();
    if (!stopped && poll && !poll()) {
      stopped = true;
      work.stop.store(true);
    }
    lastYield = Clock::now();
  };
  try {
    RunShare(work, 0, *perThread[0], startedBy[0], [&] {
      if (Clock::now() - lastYield >= kChainPollInterval) yieldAndPoll();
    });
  } catch (...) {
    work.Fail();
  }
  {
    std::unique_lock<std::mutex> lock(work.mutex);
    while (work.running > 0) {
      if (work.ended.wait_for(lock, kChainPollInterval, [&] { return work.running == 0; })) break;
      lock.unlock();
      yieldAndPoll();
      lock.lock();
    }
  }
  for (std::thread& worker : workers) worker.join();
  if (work.error) std::rethrow_exception(work.error);
  for (const std::unique_ptr<Chain>& chain : chains)
    if (!chain->Finished()) return false;
  return !stopped;
}

}  // namespace estimetrix
