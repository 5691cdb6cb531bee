// What rank 0 of an MPI run does for each posterior grid point besides
// evaluating its own share: lay the point out, expand it, compute its prior
// term, pack it for the other ranks and add the returned value into the
// profile point's sum in the serial order. The other ranks are replaced by
// an instant stand-in with 1024 threads, so almost every point goes out and
// none costs a model evaluation: the time per point is rank 0's serial share,
// the floor under the run time however many cores evaluate. Processor time,
// not wall time: rank 0 has this work to itself on a cluster node.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <optional>
#include <string>

#include "engine/commands/evaluation_commands.h"
#include "engine/objective/evaluation_batch.h"
#include "engine/state/algorithm_file.h"
#include "engine/state/remote_evaluation.h"
#include "engine/state/workbench.h"
#include "model/initialize.h"
#include "platform/scripted_desktop.h"
#include "tests/support/evaluation_session.h"

namespace estimetrix {
namespace {

namespace fs = std::filesystem;

class InstantRanks : public RemoteEvaluation {
 public:
  int Threads() const override { return 1024; }
  bool Spreads(long long) const override { return true; }
  void Send(const std::vector<double>&, int, int, int count) override {
    count_ = count;
    sent += count;
  }
  int Receive(std::vector<double>& models, std::chrono::milliseconds) override {
    models.assign(static_cast<size_t>(count_), 700.0);
    return count_;
  }
  long long sent = 0;

 private:
  int count_ = 0;
};

bool LoadDungeness(Workbench& wb) {
  const fs::path folder = fs::path(ESTIMETRIX_EXAMPLES) / "dungeness";
  ScriptedDesktop desktop;
  desktop.SetResponder(ScriptedDesktop::DeclineEverything);
  std::string algorithm, error;
  const auto setup = ReadSetupFile((folder / "dungeness.setup").string(), algorithm, error);
  if (!setup || !InitializeCarapex(wb, desktop, *setup)) return false;
  if (!LoadAlgorithmFile(wb, desktop, (folder / "dungeness.alg").string())) return false;
  wb.ThreadCount = 1;
  return true;
}

void BM_RankZeroPerGridPoint(benchmark::State& state) {
  const int points = static_cast<int>(state.range(0));
  const int grid = static_cast<int>(state.range(1));
  long long sent = 0;
  for (auto _ : state) {
    state.PauseTiming();
    Workbench wb;
    if (!LoadDungeness(wb)) {
      state.SkipWithError("the Dungeness example did not load");
      return;
    }
    InstantRanks ranks;
    wb.remote = &ranks;
    ScriptedDesktop desktop;
    desktop.SetResponder([&](const DialogRecord& record) -> std::optional<DialogReply> {
      const std::string& text = record.text;
      auto has = [&text](const char* part) { return text.find(part) != std::string::npos; };
      if (record.kind == DialogKind::Input) {
        if (record.title == "Enter constant") return DialogReply{Answer::Ok, "0.5"};
        if (has("parameter #")) return DialogReply{Answer::Ok, "2"};
        if (has("profile parameter")) return DialogReply{Answer::Ok, std::to_string(points)};
        if (has("grid parameter")) return DialogReply{Answer::Ok, std::to_string(grid)};
        return DialogReply{Answer::Cancel, std::nullopt};
      }
      if (record.kind != DialogKind::Message) return DialogReply{Answer::Cancel, std::nullopt};
      if (record.buttons == Buttons::Ok) return DialogReply{Answer::Ok, std::nullopt};
      return DialogReply{Answer::Yes, std::nullopt};
    });
    testing::FakeMenuView menu;
    testing::EvaluationViews views;
    CommandContext ctx{wb, desktop, menu, views};
    state.ResumeTiming();
    RunEvaluationChoice(ctx, EvaluationChoice::Posterior);
    sent = ranks.sent;
  }
  const long long all = static_cast<long long>(points) * grid * grid * grid;
  state.counters["points"] = static_cast<double>(all);
  state.counters["sent_share"] = static_cast<double>(sent) / static_cast<double>(all);
  state.counters["per_point"] =
      benchmark::Counter(static_cast<double>(all), benchmark::Counter::kIsIterationInvariantRate |
                                                       benchmark::Counter::kInvert);
}

// P x G^3 points of the Dungeness example's four free parameters.
BENCHMARK(BM_RankZeroPerGridPoint)
    ->Args({21, 41})
    ->Unit(benchmark::kSecond)
    ->Iterations(1);

}  // namespace
}  // namespace estimetrix

BENCHMARK_MAIN();
