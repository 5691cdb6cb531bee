#include "engine/objective/evaluation_batch.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "engine/objective/objective.h"
#include "engine/state/algorithm_data.h"
#include "engine/state/model.h"
#include "engine/state/workbench.h"
#include "platform/desktop.h"

namespace estimetrix {

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(20);
constexpr double kNotEvaluated = std::numeric_limits<double>::quiet_NaN();

// The result of one point, written only by the worker that evaluated it.
struct Slot {
  double objective = kNotEvaluated;
  double model = kNotEvaluated;  // without the prior term
  double prior = 0.0;
  bool done = false;
};

// What the workers share. Points are handed out in the serial order, a few
// neighbours at a time so that the workers seldom touch the same cache line;
// a point whose objective is not finite lowers `limit` to just past itself,
// so every point before it is still evaluated and none after it is needed.
struct BatchWork {
  BatchWork(const Workbench& wb_, const std::vector<BatchPoint>& points_, int threads)
      : wb(wb_),
        points(points_),
        count(static_cast<int>(points_.size())),
        chunk(std::max(1, std::min(16, count / (threads * 16)))),
        slots(points_.size()),
        limit(count) {}

  const Workbench& wb;
  const std::vector<BatchPoint>& points;
  const int count;
  const int chunk;  // points handed out at a time
  std::vector<Slot> slots;

  alignas(64) std::atomic<int> next{0};
  alignas(64) std::atomic<int> limit;
  alignas(64) std::atomic<int> finished{0};
  alignas(64) std::atomic<bool> stop{false};

  std::mutex mutex;
  std::condition_variable workerEnded;
  int running = 0;
  std::exception_ptr error;

  void LowerLimit(int value) {
    int current = limit.load();
    while (value < current && !limit.compare_exchange_weak(current, value)) {
    }
  }
};

void EvaluatePoint(BatchWork& work, ModelEvaluator& evaluator, int i, Vector& vector,
                   FuseScratch& scratch) {
  const Workbench& wb = work.wb;
  const BatchPoint& point = work.points[static_cast<size_t>(i)];
  vector = point.vector;  // reuses the worker's storage: no allocation once sized
  ExpandFusedParameters(vector, wb.alg, wb.fuse, wb.state, scratch);
  const double model = evaluator.Evaluate(vector);
  double prior = 0.0;
  if (wb.state.PriorsActive && point.NF >= 1) prior = ComputePriorTerm(wb, vector);
  const double objective = model + prior;
  Slot& slot = work.slots[static_cast<size_t>(i)];
  slot.model = model;
  slot.prior = prior;
  slot.objective = objective;
  slot.done = true;
  if (!std::isfinite(objective)) work.LowerLimit(i + 1);
}

// Evaluates handed-out points until none is left; `afterPoint` runs after
// each of them.
template <class AfterPoint>
void EvaluatePoints(BatchWork& work, ModelEvaluator& evaluator, AfterPoint afterPoint) {
  Vector vector = work.points.front().vector;  // sized once, before the first point
  FuseScratch scratch;
  for (bool more = true; more;) {
    const int first = work.next.fetch_add(work.chunk);
    for (int i = first; i < first + work.chunk && more; ++i) {
      more = i < work.limit.load() && !work.stop.load();
      if (more) {
        EvaluatePoint(work, evaluator, i, vector, scratch);
        work.finished.fetch_add(1);
        afterPoint();
      }
    }
  }
}

void RecordFailure(BatchWork& work) {
  std::lock_guard<std::mutex> lock(work.mutex);
  if (!work.error) work.error = std::current_exception();
  work.stop.store(true);
}

void Worker(BatchWork& work, ModelEvaluator& evaluator) {
  try {
    EvaluatePoints(work, evaluator, [] {});
  } catch (...) {
    RecordFailure(work);
  }
  std::lock_guard<std::mutex> lock(work.mutex);
  --work.running;
  work.workerEnded.notify_all();
}

// The calling (user-interface) thread works too: it is running already,
// whereas a new thread may wait for a core on a busy machine. Between its
// points it yields and polls about every 20 ms (after each point when one
// evaluation takes longer, as the serial loop does).
void CallerEvaluates(BatchWork& work, ModelEvaluator& evaluator, Desktop& desktop,
                     const BatchPoll& poll, bool& stopped) {
  using Clock = std::chrono::steady_clock;
  Clock::time_point lastYield = Clock::now();
  try {
    EvaluatePoints(work, evaluator, [&] {
      if (Clock::now() - lastYield < kPollInterval) return;
      desktop.Yield();
      if (!stopped && poll && !poll(work.finished.load())) {
        stopped = true;
        work.stop.store(true);
      }
      lastYield = Clock::now();
    });
  } catch (...) {
    RecordFailure(work);
  }
}

// The user-interface thread while the last workers finish: yield about
// every 20 ms and ask the poll whether to go on.
void WaitForWorkers(BatchWork& work, Desktop& desktop, const BatchPoll& poll, bool& stopped) {
  std::unique_lock<std::mutex> lock(work.mutex);
  while (work.running > 0) {
    if (work.workerEnded.wait_for(lock, kPollInterval, [&] { return work.running == 0; })) break;
    lock.unlock();
    desktop.Yield();
    if (!stopped && poll && !poll(work.finished.load())) {
      stopped = true;
      work.stop.store(true);
    }
    lock.lock();
  }
}

// Without evaluators (or threads): the plain serial loop, polled after each point.
BatchResult EvaluateSerially(Workbench& wb, const std::vector<BatchPoint>& points,
                             const BatchPoll& poll) {
  BatchResult result;
  result.objectives.assign(points.size(), kNotEvaluated);
  Vector vector;
  for (size_t i = 0; i < points.size(); ++i) {
    vector = points[i].vector;
    const double objective = EvaluateObjective(wb, vector, points[i].NF);
    result.objectives[i] = objective;
    result.evaluated = static_cast<int>(i) + 1;
    if (!std::isfinite(objective)) {
      result.firstNonFinite = static_cast<int>(i);
      break;
    }
    if (poll && !poll(result.evaluated)) {
      result.stopped = true;
      break;
    }
  }
  return result;
}

// Leaves the state that evaluating points 0..evaluated-1 one after another
// would have left: the model's snapshot, the fuse-group values and PriorTerm.
void SettleSerialState(Workbench& wb, const std::vector<BatchPoint>& points, const BatchWork& work,
                       int evaluated) {
  if (evaluated == 0) return;
  std::vector<double> objectives;
  std::vector<int> flags;
  objectives.reserve(static_cast<size_t>(evaluated));
  flags.reserve(static_cast<size_t>(evaluated));
  for (int i = 0; i < evaluated; ++i) {
    objectives.push_back(work.slots[static_cast<size_t>(i)].model);
    flags.push_back(points[static_cast<size_t>(i)].NF);
  }
  const int snapshot = wb.model->SnapshotIndex(objectives, flags);
  if (snapshot >= 0 && snapshot < evaluated) {
    Vector vector = points[static_cast<size_t>(snapshot)].vector;
    EvaluateObjective(wb, vector, points[static_cast<size_t>(snapshot)].NF);
  }
  const size_t last = static_cast<size_t>(evaluated - 1);
  Vector vector = points[last].vector;
  ExpandFusedParameters(vector, wb.alg, wb.fuse, wb.state);
  if (wb.state.PriorsActive && points[last].NF >= 1) wb.state.PriorTerm = work.slots[last].prior;
}

}  // namespace

int EvaluationThreadCount(const Workbench& wb) {
  if (wb.ThreadCount > 0) return wb.ThreadCount;
  return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

bool ParallelEvaluation(const Workbench& wb) {
  return EvaluationThreadCount(wb) > 1 && wb.model && wb.model->NewEvaluator() != nullptr;
}

BatchResult EvaluateBatch(Workbench& wb, Desktop& desktop, const std::vector<BatchPoint>& points,
                          const BatchPoll& poll) {
  const int threads = std::min(EvaluationThreadCount(wb), static_cast<int>(points.size()));
  std::vector<std::unique_ptr<ModelEvaluator>> evaluators;
  for (int t = 0; t < threads && wb.model; ++t) {
    auto evaluator = wb.model->NewEvaluator();
    if (!evaluator) break;
    evaluators.push_back(std::move(evaluator));
  }
  if (points.empty() || static_cast<int>(evaluators.size()) < threads || threads < 1)
    return EvaluateSerially(wb, points, poll);

  // The one serial expansion first: it sets the followers' steps as before.
  {
    Vector first = points.front().vector;
    ExpandFusedParameters(first, wb.alg, wb.fuse, wb.state);
  }

  BatchWork work(wb, points, threads);
  work.running = threads - 1;
  std::vector<std::thread> workers;
  workers.reserve(static_cast<size_t>(threads - 1));
  for (size_t t = 1; t < evaluators.size(); ++t) {
    try {
      workers.emplace_back(Worker, std::ref(work), std::ref(*evaluators[t]));
    } catch (const std::system_error&) {
      // No more threads to be had: the ones running and this one do the work.
      std::lock_guard<std::mutex> lock(work.mutex);
      work.running -= static_cast<int>(evaluators.size() - t);
      break;
    }
  }
  BatchResult result;
  CallerEvaluates(work, *evaluators[0], desktop, poll, result.stopped);
  WaitForWorkers(work, desktop, poll, result.stopped);
  for (std::thread& worker : workers) worker.join();
  if (work.error) std::rethrow_exception(work.error);
  if (!result.stopped && poll && !poll(work.finished.load())) result.stopped = true;

  int evaluated = 0;
  while (evaluated < work.count && work.slots[static_cast<size_t>(evaluated)].done) ++evaluated;
  for (int i = 0; i < evaluated; ++i) {
    if (!std::isfinite(work.slots[static_cast<size_t>(i)].objective)) {
      result.firstNonFinite = i;
      evaluated = i + 1;
      break;
    }
  }
  result.evaluated = evaluated;
  result.objectives.assign(points.size(), kNotEvaluated);
  for (int i = 0; i < evaluated; ++i)
    result.objectives[static_cast<size_t>(i)] = work.slots[static_cast<size_t>(i)].objective;
  SettleSerialState(wb, points, work, evaluated);
  return result;
}

}  // namespace estimetrix
