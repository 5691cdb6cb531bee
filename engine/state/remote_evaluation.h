#pragma once
// Model evaluations on other processes (the MPI runner's ranks). The engine
// hands out fully expanded parameter vectors and takes back the model's
// objective for each, in the same order; how they travel is the
// implementation's business. A workbench without one evaluates everything
// in this process.

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

namespace estimetrix {

// Another process failed or stopped answering. Nothing about the batch can
// be trusted after this: the run ends with the message.
class RemoteFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class RemoteEvaluation {
 public:
  virtual ~RemoteEvaluation() = default;

  // Evaluation threads of the other processes together.
  virtual int Threads() const = 0;

  // True when `count` independent points are worth the messages; smaller
  // batches stay in this process.
  virtual bool Spreads(long long count) const = 0;

  // Starts the evaluation of `count` vectors, each with indices lo..hi,
  // stored one after another in `vectors`. Returns at once or after handing
  // the blocks out; one batch is out at a time.
  virtual void Send(const std::vector<double>& vectors, int lo, int hi, int count) = 0;

  // Waits at most `wait` for results and keeps the model values that have
  // arrived in `models` (sized `count` by the first call, each at its point's
  // place). Returns how many points have arrived; the batch is over when
  // that is `count`. Throws RemoteFailure.
  virtual int Receive(std::vector<double>& models, std::chrono::milliseconds wait) = 0;

  // Where the engine packs the vectors it sends: kept between batches, so a
  // long grid does not allocate and clear a large block for every batch.
  std::vector<double> packed;
};

}  // namespace estimetrix
