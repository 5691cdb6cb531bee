#pragma once
// Independent evaluations side by side: a list of parameter vectors, each
// with the NF the serial code would pass, evaluated on worker threads. Each
// worker has its own model evaluator and its own copy of the vector; every
// result goes to its own slot, and whatever depends on the order (sums, the
// first bad value, the model's best-state snapshot) is taken afterwards in
// the serial order. Results are therefore the same for any thread count.

#include <functional>
#include <vector>

#include "engine/base/array.h"

namespace estimetrix {

class Desktop;
struct Workbench;

// One point of a batch: the full parameter vector as the serial code would
// pass it to EvaluateObjective (fuse expansion still to come), and its NF.
struct BatchPoint {
  Vector vector;
  int NF = 1;
};

// Called on the user-interface thread about every 20 ms while the workers
// run, right after a yield, with the number of points finished so far, and
// once more when they are all done. Returning false stops handing out
// points (the ones being evaluated still finish).
using BatchPoll = std::function<bool(int finished)>;

struct BatchResult {
  // Objective of each point, prior term included; NaN where not evaluated.
  std::vector<double> objectives;
  // Points 0..evaluated-1 hold their objectives: those the serial loop would
  // have evaluated. It stops after the first point whose objective is not a
  // finite number, and where the poll stopped the batch.
  int evaluated = 0;
  int firstNonFinite = -1;  // that point's index, or -1
  bool stopped = false;     // the poll returned false
};

// The number of threads ThreadCount stands for (0 = every hardware thread).
int EvaluationThreadCount(const Workbench& wb);

// The threads of this process and of the other processes that take shares
// of large batches (Workbench::remote), together: for time estimates.
int AllEvaluationThreads(const Workbench& wb);

// True when batches of this workbench run on worker threads or other
// processes: more than one thread or other processes, and a model that gives
// evaluators. Otherwise callers keep their serial loop through
// EvaluateObjective.
bool ParallelEvaluation(const Workbench& wb);

// How many points a long run (a posterior grid) should hand to EvaluateBatch
// at a time: `local` in one process, more when other processes take shares,
// so that every thread gets a few hundred points per message.
long long BatchSizeFor(const Workbench& wb, long long local);

class Model;

// For the other processes of a spread batch: the model's objective at each
// of `count` fully expanded vectors (indices lo..hi, stored one after
// another), on `threads` threads with evaluators of `model`, into `models`.
// False when the model gives no evaluators. Throws what an evaluator throws.
bool EvaluateModelValues(const Model& model, int threads, const std::vector<double>& vectors,
                         int lo, int hi, int count, std::vector<double>& models);

// Evaluates the points on EvaluationThreadCount threads while the calling
// (user-interface) thread yields and polls. Afterwards the fuse-group values,
// PriorTerm and the model's best-state snapshot are those that evaluating
// points 0..evaluated-1 one after another through EvaluateObjective would
// have left: the model names the point of its last snapshot, and that one
// point is evaluated again through MODEL. The points are not changed.
BatchResult EvaluateBatch(Workbench& wb, Desktop& desktop, const std::vector<BatchPoint>& points,
                          const BatchPoll& poll);

}  // namespace estimetrix
