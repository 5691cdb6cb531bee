#include "app/mpi/mpi_runner.h"

#include <mpi.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <csignal>
#include <exception>
#include <iostream>
#include <new>
#include <sstream>

#include "app/mpi/mpi_evaluation.h"
#include "engine/base/format.h"
#include "engine/objective/evaluation_batch.h"
#include "engine/state/report_views.h"

namespace estimetrix {

namespace {

constexpr const char* kProgram = "estimetrix-mpi";
constexpr const char* kSpreadMin = "--spread-min";
constexpr const char* kProgress = "--progress";

// mpirun ends the other ranks with SIGTERM when one of them dies or the run
// is interrupted; rank 0 says so before it goes. Saves replace their files
// only when complete, so nothing half-written is left.
void StoppedFromOutside(int) {
  static const char text[] =
      "\nestimetrix-mpi: the run was stopped before its end (a rank ended or the run was "
      "interrupted; mpirun names which). Files saved before this are complete; nothing "
      "more was written.\n";
  const ssize_t ignored = write(STDERR_FILENO, text, sizeof text - 1);
  (void)ignored;
  _exit(1);
}

void CatchStops() {
  struct sigaction action {};
  action.sa_handler = StoppedFromOutside;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

std::string Microseconds(double seconds) {
  return FormatNumber(seconds * 1E+6, "0.000") + " us";
}

// One line on standard error: what the ranks are and what will be spread.
void ReportRanks(const MpiEvaluation& remote, const Workbench& wb, std::ostream& err) {
  const MpiMeasures& m = remote.Measures();
  err << kProgram << ": " << remote.Ranks() << " ranks, " << AllEvaluationThreads(wb)
      << " evaluation threads";
  if (remote.Ranks() > 1) {
    const double bytesPerPoint = 8.0 * (wb.alg.Values.Size() + 1);
    err << "; message round trip " << Microseconds(m.roundTripSeconds) << ", transfer "
        << Microseconds(bytesPerPoint * m.secondsPerByte) << " a point, model call "
        << Microseconds(m.secondsPerPoint) << "; ";
    if (!remote.Spreads(LLONG_MAX))
      err << "nothing is spread";
    else
      err << "batches of " << remote.SmallestSpread() << " points or more are spread";
  }
  err << "\n";
}

// The progress panels on standard error every few seconds while rank 0 yields.
void PrintProgress(ScriptedDesktop& desktop, std::ostream& err) {
  using Clock = std::chrono::steady_clock;
  auto last = std::make_shared<Clock::time_point>(Clock::now());
  auto shown = std::make_shared<std::string>();
  desktop.SetYieldHook([&desktop, &err, last, shown] {
    if (Clock::now() - *last < std::chrono::seconds(2)) return;
    *last = Clock::now();
    const std::string calls = desktop.Status(StatusBar::Progress, 1);
    const std::string time = desktop.Status(StatusBar::Progress, 2);
    const std::string line = calls + (time.empty() ? "" : "; " + time);
    if (line.empty() || line == *shown) return;
    *shown = line;
    err << kProgram << ": " << line << "\n" << std::flush;
  });
}

std::optional<int> StartRankZero(BatchSession& session, MpiEvaluation& remote) {
  if (session.Has(kSpreadMin)) {
    long long points = 0;
    if (!StrictInteger(session.Option(kSpreadMin), 1, 1LL << 40, points))
      return BatchFail(session, std::string(kSpreadMin) +
                                    " needs a whole number of points, not \"" +
                                    session.Option(kSpreadMin) + "\"");
    remote.SetSmallestSpread(points);
  }
  std::string error;
  if (!remote.Connect(session.wb, error)) return BatchFail(session, error);
  if (remote.Ranks() > 1) session.wb.remote = &remote;
  ReportRanks(remote, session.wb, session.err);
  if (session.Has(kProgress)) PrintProgress(session.desktop, session.err);
  return std::nullopt;
}

std::vector<BatchArea> MpiAreas() {
  std::vector<BatchArea> areas = AllBatchAreas();
  areas.push_back(MpiBatchArea());
  return areas;
}

int RunRankZero(MPI_Comm comm, const std::vector<std::string>& words,
                const MpiRunSettings& settings) {
  CatchStops();
  MpiEvaluation remote(comm);
  int status = kBatchFailed;
  std::string failure;
  try {
    BatchRunHooks hooks;
    hooks.plotWriter = settings.plotWriter;
    hooks.initialized = [&remote](BatchSession& session) { return StartRankZero(session, remote); };
    status = RunBatchWith(MpiAreas(), words, std::cout, std::cerr, hooks);
  } catch (const RemoteFailure& e) {
    failure = e.what();
  } catch (const std::bad_alloc&) {
    failure = "out of memory on rank 0";
  } catch (const std::exception& e) {
    failure = std::string("rank 0 failed: ") + e.what();
  }
  if (!failure.empty()) {
    // The other ranks may be anywhere in a block: end them all.
    std::cout.flush();
    std::cerr << kProgram << ": " << failure << "; the run ends here." << std::endl;
    MPI_Abort(comm, kBatchFailed);
    return kBatchFailed;
  }
  remote.Stop();
  return status;
}

int RunOtherRank(MPI_Comm comm, int rank, const std::vector<std::string>& words,
                 const MpiRunSettings& settings) {
  const bool exitEarly = rank == settings.rankExitingAtFirstBlock;
  std::ostringstream out, err;
  bool served = false;
  int status = 0;
  BatchRunHooks hooks;
  // Plots are rank 0's: the others draw nothing.
  hooks.plotWriter = [](const std::string&, std::ostream&) -> std::unique_ptr<PlotView> {
    return std::make_unique<NullPlotView>();
  };
  hooks.initialized = [&](BatchSession& session) -> std::optional<int> {
    served = true;
    status = ServeRank(comm, &session.wb, "", exitEarly);
    return status;
  };
  try {
    RunBatchWith(MpiAreas(), words, out, err, hooks);
  } catch (const std::bad_alloc&) {
    err << "out of memory while setting up";
  }
  if (!served) {
    std::string why = err.str();
    while (!why.empty() && why.back() == '\n') why.pop_back();
    status = ServeRank(comm, nullptr, why.empty() ? "the set-up failed" : why, exitEarly);
  }
  return status;
}

}  // namespace

BatchArea MpiBatchArea() {
  BatchArea area;
  area.options.push_back(
      {kSpreadMin, "N",
       "Hand batches of N or more independent points (posterior grid blocks, covariance "
       "grids, Marquardt's numerical derivatives) to the other ranks; smaller ones stay on "
       "rank 0. Default: from the message cost and the model's time per call, measured "
       "at the start."});
  area.options.push_back({kProgress, "",
                          "Print the function calls and the time remaining, over all ranks, "
                          "to standard error every few seconds."});
  return area;
}

int RunMpi(int argc, char** argv, const MpiRunSettings& settings) {
  int provided = 0;
  MPI_Init_thread(&argc, &argv, MPI_THREAD_FUNNELED, &provided);
  MPI_Comm comm;
  MPI_Comm_dup(MPI_COMM_WORLD, &comm);
  // Failures come back as codes, so rank 0 can say which rank failed.
  MPI_Comm_set_errhandler(comm, MPI_ERRORS_RETURN);
  int rank = 0;
  MPI_Comm_rank(comm, &rank);
  const std::vector<std::string> words(argv + 1, argv + argc);
  const int status =
      rank == 0 ? RunRankZero(comm, words, settings) : RunOtherRank(comm, rank, words, settings);
  MPI_Comm_free(&comm);
  MPI_Finalize();
  return status;
}

}  // namespace estimetrix
