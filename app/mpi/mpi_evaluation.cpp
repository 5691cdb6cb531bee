#include "app/mpi/mpi_evaluation.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>
#include <thread>

#include "engine/objective/evaluation_batch.h"

namespace estimetrix {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kEchoes = 20;
constexpr int kEchoBytes = 1 << 20;
// Spreading must save at least this many times what its messages cost.
constexpr double kGainOverCost = 2.0;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string ErrorText(int code) {
  char text[MPI_MAX_ERROR_STRING];
  int length = 0;
  MPI_Error_string(code, text, &length);
  return std::string(text, static_cast<size_t>(length));
}

// An idle rank checks for messages often at first, then less often, so that
// ranks waiting through a serial stretch of rank 0 (a Simplex run, say) leave
// the processors to it.
class Backoff {
 public:
  void Wait() {
    std::this_thread::sleep_for(pause_);
    pause_ = std::min(pause_ * 2, std::chrono::microseconds(2000));
  }
  void Reset() { pause_ = std::chrono::microseconds(20); }

 private:
  std::chrono::microseconds pause_{20};
};

void SendText(MPI_Comm comm, int rank, int tag, const std::string& text) {
  MPI_Send(text.data(), static_cast<int>(text.size()), MPI_CHAR, rank, tag, comm);
}

std::string ReceiveText(MPI_Comm comm, int rank, int tag, int& code) {
  MPI_Status status;
  code = MPI_Probe(rank, tag, comm, &status);
  if (code != MPI_SUCCESS) return {};
  int length = 0;
  MPI_Get_count(&status, MPI_CHAR, &length);
  std::string text(static_cast<size_t>(std::max(0, length)), '\0');
  code = MPI_Recv(text.data(), length, MPI_CHAR, status.MPI_SOURCE, tag, comm, MPI_STATUS_IGNORE);
  return text;
}

}  // namespace

MpiEvaluation::MpiEvaluation(MPI_Comm comm) : comm_(comm) {
  MPI_Comm_size(comm_, &ranks_);
  threads_.assign(static_cast<size_t>(ranks_), 0);
}

bool MpiEvaluation::Greet(std::string& error) {
  greeted_ = true;
  for (int rank = 1; rank < ranks_; ++rank) {
    int code = MPI_SUCCESS;
    const std::string hello = ReceiveText(comm_, rank, kTagHello, code);
    if (code != MPI_SUCCESS) {
      if (error.empty())
        error = "rank " + std::to_string(rank) + " did not start: " + ErrorText(code);
      continue;
    }
    if (hello.rfind("ok ", 0) == 0) {
      threads_[static_cast<size_t>(rank)] = std::max(0, std::atoi(hello.c_str() + 3));
      remoteThreads_ += threads_[static_cast<size_t>(rank)];
    } else if (error.empty()) {
      error = "rank " + std::to_string(rank) + " could not set up the model: " +
              (hello.size() > 5 ? hello.substr(5) : std::string("no reason given"));
    }
  }
  return error.empty();
}

bool MpiEvaluation::Connect(Workbench& wb, std::string& error) {
  if (!Greet(error)) return false;
  Measure(wb);
  return true;
}

void MpiEvaluation::Measure(Workbench& wb) {
  if (ranks_ < 2) return;
  // An empty message there and back, the best of a few.
  double best = 1E+30;
  for (int i = 0; i < kEchoes; ++i) {
    const Clock::time_point start = Clock::now();
    MPI_Send(nullptr, 0, MPI_DOUBLE, 1, kTagEcho, comm_);
    MPI_Recv(nullptr, 0, MPI_DOUBLE, 1, kTagEcho, comm_, MPI_STATUS_IGNORE);
    best = std::min(best, SecondsSince(start));
  }
  measures_.roundTripSeconds = best;
  // A large block there and back, the best of a few.
  std::vector<double> block(kEchoBytes / sizeof(double), 1.0);
  double blockBest = 1E+30;
  for (int i = 0; i < 3; ++i) {
    const Clock::time_point start = Clock::now();
    MPI_Send(block.data(), static_cast<int>(block.size()), MPI_DOUBLE, 1, kTagEcho, comm_);
    MPI_Recv(block.data(), static_cast<int>(block.size()), MPI_DOUBLE, 1, kTagEcho, comm_,
             MPI_STATUS_IGNORE);
    blockBest = std::min(blockBest, SecondsSince(start));
  }
  measures_.secondsPerByte = std::max(0.0, blockBest - best) / (2.0 * kEchoBytes);

  // The model's time per call at the loaded values.
  if (wb.model) {
    if (std::unique_ptr<ModelEvaluator> evaluator = wb.model->NewEvaluator()) {
      Vector vector = wb.alg.Values;
      int calls = 0;
      const Clock::time_point begin = Clock::now();
      do {
        vector = wb.alg.Values;
        evaluator->Evaluate(vector);
        ++calls;
      } while (calls < 200 && SecondsSince(begin) < 0.03);
      measures_.secondsPerPoint = SecondsSince(begin) / calls;
    }
  }
  if (smallestSpread_ > 0) return;
  // Spread when the time saved on rank 0 is well above the messages' cost:
  // a block and its results for each rank, and the bytes of every point.
  const double localThreads = std::max(1, EvaluationThreadCount(wb));
  const double allThreads = localThreads + remoteThreads_;
  const double bytesPerPoint = 8.0 * (wb.alg.Values.Size() + 1);
  const double savedPerPoint = measures_.secondsPerPoint * (1.0 / localThreads - 1.0 / allThreads);
  const double costPerPoint = kGainOverCost * bytesPerPoint * measures_.secondsPerByte;
  const double costPerBatch = kGainOverCost * 3.0 * (ranks_ - 1) * measures_.roundTripSeconds;
  if (remoteThreads_ == 0 || savedPerPoint <= costPerPoint) {
    smallestSpread_ = LLONG_MAX;
    return;
  }
  smallestSpread_ = std::max(
      1LL, static_cast<long long>(std::ceil(costPerBatch / (savedPerPoint - costPerPoint))));
}

bool MpiEvaluation::Spreads(long long count) const {
  return ranks_ > 1 && remoteThreads_ > 0 && smallestSpread_ > 0 && count >= smallestSpread_;
}

void MpiEvaluation::Check(int code, int rank, const char* what) const {
  if (code == MPI_SUCCESS) return;
  throw RemoteFailure("rank " + std::to_string(rank) + " stopped answering (" + what + ": " +
                      ErrorText(code) + ")");
}

void MpiEvaluation::Send(const std::vector<double>& vectors, int lo, int hi, int count) {
  const size_t width = static_cast<size_t>(hi - lo + 1);
  blocks_.clear();
  batchCount_ = count;
  arrived_ = 0;
  results_.assign(static_cast<size_t>(count), 0.0);
  // Each rank gets a block in proportion to its threads.
  long long threadsBefore = 0;
  for (int rank = 1; rank < ranks_; ++rank) {
    const int threads = threads_[static_cast<size_t>(rank)];
    const int first = static_cast<int>(count * threadsBefore / remoteThreads_);
    threadsBefore += threads;
    const int last = static_cast<int>(count * threadsBefore / remoteThreads_);
    if (last > first) blocks_.push_back(Block{rank, first, last - first});
  }
  for (Block& block : blocks_) {
    if (static_cast<double>(block.count) * static_cast<double>(width) > INT_MAX)
      throw RemoteFailure("a block of " + std::to_string(block.count) + " points of " +
                          std::to_string(width) + " values is too large for one message");
    const double header[3] = {static_cast<double>(lo), static_cast<double>(hi),
                              static_cast<double>(block.count)};
    Check(MPI_Send(header, 3, MPI_DOUBLE, block.rank, kTagBlock, comm_), block.rank, "sending");
    Check(MPI_Send(vectors.data() + block.first * width, static_cast<int>(block.count * width),
                   MPI_DOUBLE, block.rank, kTagVectors, comm_),
          block.rank, "sending");
    Check(MPI_Irecv(results_.data() + block.first, block.count, MPI_DOUBLE, block.rank, kTagModels,
                    comm_, &block.request),
          block.rank, "receiving");
  }
}

// A rank that could not evaluate its block says why instead of answering.
void MpiEvaluation::ThrowReportedFailure() {
  int flag = 0;
  MPI_Status status;
  MPI_Iprobe(MPI_ANY_SOURCE, kTagFailure, comm_, &flag, &status);
  if (!flag) return;
  int code = MPI_SUCCESS;
  const std::string text = ReceiveText(comm_, status.MPI_SOURCE, kTagFailure, code);
  throw RemoteFailure("rank " + std::to_string(status.MPI_SOURCE) + " failed: " + text);
}

int MpiEvaluation::Receive(std::vector<double>& models, std::chrono::milliseconds wait) {
  if (models.size() != static_cast<size_t>(batchCount_))
    models.assign(static_cast<size_t>(batchCount_), 0.0);
  const Clock::time_point deadline = Clock::now() + wait;
  for (;;) {
    ThrowReportedFailure();
    for (Block& block : blocks_) {
      if (block.arrived) continue;
      int flag = 0;
      MPI_Status status;
      Check(MPI_Test(&block.request, &flag, &status), block.rank, "receiving");
      if (!flag) continue;
      block.arrived = true;
      arrived_ += block.count;
      std::copy_n(results_.begin() + block.first, block.count, models.begin() + block.first);
    }
    if (arrived_ == batchCount_ || Clock::now() >= deadline) return arrived_;
    std::this_thread::sleep_for(std::chrono::microseconds(50));
  }
}

void MpiEvaluation::Stop() {
  if (stopped_) return;
  stopped_ = true;
  if (!greeted_) {
    std::string ignored;
    Greet(ignored);
  }
  for (int rank = 1; rank < ranks_; ++rank) MPI_Send(nullptr, 0, MPI_CHAR, rank, kTagStop, comm_);
}

// ---------------------------------------------------------------------------
// The other ranks.

namespace {

void Echo(MPI_Comm comm, const MPI_Status& probed) {
  int count = 0;
  MPI_Get_count(&probed, MPI_DOUBLE, &count);
  std::vector<double> block(static_cast<size_t>(count));
  MPI_Recv(block.data(), count, MPI_DOUBLE, 0, kTagEcho, comm, MPI_STATUS_IGNORE);
  MPI_Send(block.data(), count, MPI_DOUBLE, 0, kTagEcho, comm);
}

// Evaluates one block; false with `failure` set when it could not.
bool EvaluateBlock(MPI_Comm comm, const Workbench* wb, std::vector<double>& vectors,
                   std::vector<double>& models, bool exitAtFirstBlock, std::string& failure) {
  double header[3] = {0.0, 0.0, 0.0};
  MPI_Recv(header, 3, MPI_DOUBLE, 0, kTagBlock, comm, MPI_STATUS_IGNORE);
  const int lo = static_cast<int>(header[0]);
  const int hi = static_cast<int>(header[1]);
  const int count = static_cast<int>(header[2]);
  const size_t width = static_cast<size_t>(std::max(0, hi - lo + 1));
  try {
    vectors.resize(width * static_cast<size_t>(count));
  } catch (const std::bad_alloc&) {
    // Rank 0 ends the run on this answer; the vectors need not be taken.
    failure = "out of memory for a block of " + std::to_string(count) + " points";
    return false;
  }
  MPI_Recv(vectors.data(), static_cast<int>(vectors.size()), MPI_DOUBLE, 0, kTagVectors, comm,
           MPI_STATUS_IGNORE);
  if (exitAtFirstBlock) std::_Exit(3);
  if (!wb || !wb->model) {
    failure = "this rank has no model";
    return false;
  }
  try {
    if (!EvaluateModelValues(*wb->model, EvaluationThreadCount(*wb), vectors, lo, hi, count,
                             models)) {
      failure = "the model gives no evaluators";
      return false;
    }
  } catch (const std::bad_alloc&) {
    failure = "out of memory while evaluating";
    return false;
  } catch (const std::exception& e) {
    failure = e.what();
    return false;
  }
  return true;
}

}  // namespace

int ServeRank(MPI_Comm comm, const Workbench* wb, const std::string& failure,
              bool exitAtFirstBlock) {
  const std::string hello = failure.empty() && wb
                                ? "ok " + std::to_string(EvaluationThreadCount(*wb))
                                : "fail " + (failure.empty() ? std::string("no model") : failure);
  SendText(comm, 0, kTagHello, hello);
  std::vector<double> vectors, models;
  Backoff backoff;
  for (;;) {
    int flag = 0;
    MPI_Status status;
    if (MPI_Iprobe(0, MPI_ANY_TAG, comm, &flag, &status) != MPI_SUCCESS) return 1;
    if (!flag) {
      backoff.Wait();
      continue;
    }
    backoff.Reset();
    switch (status.MPI_TAG) {
      case kTagStop: MPI_Recv(nullptr, 0, MPI_CHAR, 0, kTagStop, comm, MPI_STATUS_IGNORE); return 0;
      case kTagEcho: Echo(comm, status); break;
      case kTagBlock: {
        std::string why;
        if (EvaluateBlock(comm, wb, vectors, models, exitAtFirstBlock, why))
          MPI_Send(models.data(), static_cast<int>(models.size()), MPI_DOUBLE, 0, kTagModels, comm);
        else
          SendText(comm, 0, kTagFailure, why);
        break;
      }
      default: {  // not ours: take it and go on
        int length = 0;
        MPI_Get_count(&status, MPI_BYTE, &length);
        std::vector<char> ignored(static_cast<size_t>(std::max(0, length)));
        MPI_Recv(ignored.data(), length, MPI_BYTE, 0, status.MPI_TAG, comm, MPI_STATUS_IGNORE);
      }
    }
  }
}

}  // namespace estimetrix
