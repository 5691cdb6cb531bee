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
#include "engine/state/remote_evaluation.h"
#include "engine/state/workbench.h"
#include "platform/desktop.h"

namespace estimetrix {

namespace {

constexpr auto kBatchPollInterval = std::chrono::milliseconds(20);
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
  // The first `local` points are evaluated here; any after them elsewhere.
  BatchWork(const Workbench& wb_, const std::vector<BatchPoint>& points_, int threads, int local)
      : wb(wb_),
        points(points_),
        count(local),
        chunk(std::max(1, std::min(16, count / (threads * 16)))),
        slots(points_.size()),
        limit(count) {}

  const Workbench& wb;
  const std::vector<BatchPoint>& points;
  const int count;  // points evaluated in this process
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
      if (Clock::now() - lastYield < kBatchPollInterval) return;
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
    if (work.workerEnded.wait_for(lock, kBatchPollInterval, [&] { return work.running == 0; })) break;
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

// How many of a spread batch's leading points this process keeps: its share
// of all threads. It also packs the others' vectors and adds the results,
// so it takes no more than that.
int LocalShare(int count, int threads, int remoteThreads) {
  if (remoteThreads <= 0) return count;
  const long long share =
      static_cast<long long>(count) * threads / (static_cast<long long>(threads) + remoteThreads);
  return static_cast<int>(share);
}

// The points from `first` on, evaluated by other processes: their vectors are
// expanded and their prior terms computed here (both cheap beside the model),
// so the other processes need nothing but the model.
struct RemoteShare {
  RemoteShare(Workbench& wb_, int first_, int count_)
      : wb(wb_), first(first_), count(count_ - first_) {}

  Workbench& wb;
  const int first;
  const int count;
  int arrived = 0;
  std::vector<double> models;

  void Send(BatchWork& work) {
    if (count == 0) return;
    const Vector& front = work.points[static_cast<size_t>(first)].vector;
    const int lo = front.Lo();
    const int hi = front.Hi();
    const size_t width = static_cast<size_t>(front.Size());
    std::vector<double>& vectors = wb.remote->packed;
    vectors.resize(width * static_cast<size_t>(count));
    Vector vector = front;
    FuseScratch scratch;
    for (int j = 0; j < count; ++j) {
      const BatchPoint& point = work.points[static_cast<size_t>(first + j)];
      vector = point.vector;
      ExpandFusedParameters(vector, wb.alg, wb.fuse, wb.state, scratch);
      std::copy(vector.begin(), vector.end(),
                vectors.begin() + static_cast<std::ptrdiff_t>(j * width));
      Slot& slot = work.slots[static_cast<size_t>(first + j)];
      slot.prior = wb.state.PriorsActive && point.NF >= 1 ? ComputePriorTerm(wb, vector) : 0.0;
    }
    wb.remote->Send(vectors, lo, hi, count);
  }

  void Check(std::chrono::milliseconds wait) {
    if (arrived < count) arrived = wb.remote->Receive(models, wait);
  }

  // Yields and polls while the last results come in, then fills their slots.
  void Wait(BatchWork& work, Desktop& desktop, const BatchPoll& progress, bool& stopped) {
    while (arrived < count) {
      Check(kBatchPollInterval);
      desktop.Yield();
      if (!stopped && !progress(work.finished.load())) stopped = true;
    }
    for (int j = 0; j < count; ++j) {
      Slot& slot = work.slots[static_cast<size_t>(first + j)];
      slot.model = models[static_cast<size_t>(j)];
      slot.objective = slot.model + slot.prior;
      slot.done = true;
    }
  }
};

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

int AllEvaluationThreads(const Workbench& wb) {
  return EvaluationThreadCount(wb) + (wb.remote ? wb.remote->Threads() : 0);
}

bool ParallelEvaluation(const Workbench& wb) {
  return (EvaluationThreadCount(wb) > 1 || wb.remote) && wb.model &&
         wb.model->NewEvaluator() != nullptr;
}

long long BatchSizeFor(const Workbench& wb, long long local) {
  if (!wb.remote) return local;
  constexpr long long kPointsPerThread = 512;
  // The batch's vectors, here and in the messages, stay within 16 million values.
  const long long largest = (1LL << 24) / std::max(1, wb.alg.ParameterCount);
  return std::max(local, std::min(largest, kPointsPerThread * AllEvaluationThreads(wb)));
}

BatchResult EvaluateBatch(Workbench& wb, Desktop& desktop, const std::vector<BatchPoint>& points,
                          const BatchPoll& poll) {
  const bool spread =
      wb.remote && !points.empty() && wb.remote->Spreads(static_cast<long long>(points.size()));
  const int threads = spread ? EvaluationThreadCount(wb)
                             : std::min(EvaluationThreadCount(wb), static_cast<int>(points.size()));
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

  const int count = static_cast<int>(points.size());
  const int local = spread ? LocalShare(count, threads, wb.remote->Threads()) : count;
  BatchWork work(wb, points, threads, local);
  RemoteShare remote(wb, local, count);
  if (spread) remote.Send(work);
  // Progress counts the points done here and those that came back.
  const BatchPoll progress = [&](int finished) {
    if (spread) remote.Check(std::chrono::milliseconds(0));
    return !poll || poll(finished + remote.arrived);
  };

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
  CallerEvaluates(work, *evaluators[0], desktop, progress, result.stopped);
  WaitForWorkers(work, desktop, progress, result.stopped);
  for (std::thread& worker : workers) worker.join();
  if (work.error) std::rethrow_exception(work.error);
  if (spread) remote.Wait(work, desktop, progress, result.stopped);
  if (!result.stopped && !progress(work.finished.load())) result.stopped = true;

  int evaluated = 0;
  while (evaluated < count && work.slots[static_cast<size_t>(evaluated)].done) ++evaluated;
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

bool EvaluateModelValues(const Model& model, int threads, const std::vector<double>& vectors,
                         int lo, int hi, int count, std::vector<double>& models) {
  threads = std::max(1, std::min(threads, count));
  std::vector<std::unique_ptr<ModelEvaluator>> evaluators;
  for (int t = 0; t < threads; ++t) {
    auto evaluator = model.NewEvaluator();
    if (!evaluator) return false;
    evaluators.push_back(std::move(evaluator));
  }
  models.assign(static_cast<size_t>(count), kNotEvaluated);
  const size_t width = static_cast<size_t>(hi - lo + 1);
  const int chunk = std::max(1, std::min(16, count / (threads * 16)));
  std::atomic<int> next{0};
  std::mutex mutex;
  std::exception_ptr error;
  auto evaluate = [&](ModelEvaluator& evaluator) {
    try {
      Vector vector(lo, hi, 0.0);
      for (int first = next.fetch_add(chunk); first < count; first = next.fetch_add(chunk)) {
        for (int i = first; i < std::min(count, first + chunk); ++i) {
          std::copy_n(vectors.begin() + static_cast<std::ptrdiff_t>(i * width), width,
                      vector.begin());
          models[static_cast<size_t>(i)] = evaluator.Evaluate(vector);
        }
      }
    } catch (...) {
      std::lock_guard<std::mutex> lock(mutex);
      if (!error) error = std::current_exception();
      next.store(count);
    }
  };
  std::vector<std::thread> workers;
  for (int t = 1; t < threads; ++t) {
    try {
      workers.emplace_back(evaluate, std::ref(*evaluators[static_cast<size_t>(t)]));
    } catch (const std::system_error&) {
      break;  // the threads running and this one do the work
    }
  }
  evaluate(*evaluators[0]);
  for (std::thread& worker : workers) worker.join();
  if (error) std::rethrow_exception(error);
  return true;
}

}  // namespace estimetrix
