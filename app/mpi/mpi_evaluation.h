#pragma once
// The ranks of an MPI run as the engine's other processes. Rank 0 runs the
// runner and hands blocks of fully expanded parameter vectors to the other
// ranks, which hold the same model (read from the same set-up) and send back
// the model's objective for each vector, in order. Only the main thread of a
// rank calls MPI.

#include <mpi.h>

#include <chrono>
#include <string>
#include <vector>

#include "engine/state/remote_evaluation.h"
#include "engine/state/workbench.h"

namespace estimetrix {

// Message tags between rank 0 and the others.
enum MpiTag : int {
  kTagHello = 1,    // other rank -> 0: "ok THREADS" or "fail TEXT", once
  kTagBlock = 2,    // 0 -> other: lo, hi, count (three doubles)
  kTagVectors = 3,  // 0 -> other: count vectors of hi - lo + 1 doubles
  kTagModels = 4,   // other -> 0: count objectives
  kTagFailure = 5,  // other -> 0: what went wrong (text)
  kTagStop = 6,     // 0 -> other: the run is over
  kTagEcho = 7,     // 0 -> other and back: measures the messages' cost
};

// What rank 0 measured when the ranks met.
struct MpiMeasures {
  double roundTripSeconds = 0.0;  // an empty message there and back
  double secondsPerByte = 0.0;    // a large block's transfer time per byte
  double secondsPerPoint = 0.0;   // one model evaluation here
};

class MpiEvaluation : public RemoteEvaluation {
 public:
  explicit MpiEvaluation(MPI_Comm comm);

  // Waits for every other rank's greeting, measures the messages' cost and
  // the model's evaluation time. False (and `error` says why) when a rank
  // could not start: the run must not go on.
  bool Connect(Workbench& wb, std::string& error);
  // Batches below this size stay on rank 0 (0: measure; see Connect).
  void SetSmallestSpread(long long points) { smallestSpread_ = points; }
  // Ends the other ranks' loops (greeting them first if Connect never ran).
  void Stop();

  int Ranks() const { return ranks_; }
  long long SmallestSpread() const { return smallestSpread_; }
  const MpiMeasures& Measures() const { return measures_; }

  int Threads() const override { return remoteThreads_; }
  bool Spreads(long long count) const override;
  void Send(const std::vector<double>& vectors, int lo, int hi, int count) override;
  int Receive(std::vector<double>& models, std::chrono::milliseconds wait) override;

 private:
  struct Block {
    int rank = 0;
    int first = 0;
    int count = 0;
    MPI_Request request = MPI_REQUEST_NULL;
    bool arrived = false;
  };
  bool Greet(std::string& error);
  void Measure(Workbench& wb);
  void Check(int code, int rank, const char* what) const;
  void ThrowReportedFailure();

  MPI_Comm comm_;
  int ranks_ = 1;
  bool greeted_ = false;
  bool stopped_ = false;
  std::vector<int> threads_;  // per rank (index 0 unused)
  int remoteThreads_ = 0;
  long long smallestSpread_ = 0;
  MpiMeasures measures_;

  std::vector<Block> blocks_;
  std::vector<double> results_;
  int batchCount_ = 0;
  int arrived_ = 0;
};

// The loop of a rank other than 0: greets rank 0 (with `failure` when the
// rank could not set itself up), then evaluates blocks until told to stop.
// `exitAtFirstBlock` makes the rank leave without a word at its first block
// (for the test of a rank that dies). Returns the rank's exit status.
int ServeRank(MPI_Comm comm, const Workbench* wb, const std::string& failure,
              bool exitAtFirstBlock = false);

}  // namespace estimetrix
