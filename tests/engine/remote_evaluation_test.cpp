// Batches spread over other processes (Workbench::remote): the same
// objectives, stops, state and reports as in one process, with the other
// processes seeing nothing but fully expanded vectors.

#include "engine/state/remote_evaluation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "engine/objective/evaluation_batch.h"
#include "engine/objective/objective.h"
#include "engine/state/workbench.h"
#include "platform/scripted_desktop.h"
#include "tests/support/evaluation_session.h"
#include "tests/support/quadratic_model.h"

namespace estimetrix {
namespace {

using testing::InitializeQuadratic;
using testing::QuadraticModel;

// Other processes in this one: evaluates what it is sent with the model's
// evaluator, and lets the results arrive a few points per Receive call.
class InProcessRemote : public RemoteEvaluation {
 public:
  explicit InProcessRemote(const Model& model, int threads = 4)
      : model_(model), threads_(threads) {}

  int Threads() const override { return threads_; }
  bool Spreads(long long count) const override { return count >= smallest; }
  void Send(const std::vector<double>& vectors, int lo, int hi, int count) override {
    ++batches;
    sent.clear();
    results.clear();
    std::unique_ptr<ModelEvaluator> evaluator = model_.NewEvaluator();
    const size_t width = static_cast<size_t>(hi - lo + 1);
    for (int i = 0; i < count; ++i) {
      Vector vector(lo, hi, 0.0);
      std::copy_n(vectors.begin() + static_cast<std::ptrdiff_t>(i * width), width, vector.begin());
      sent.push_back(vector);
      results.push_back(evaluator->Evaluate(vector));
    }
    arrived_ = 0;
  }
  int Receive(std::vector<double>& models, std::chrono::milliseconds) override {
    if (failure) throw RemoteFailure("rank 2 failed: out of memory");
    models.resize(results.size());
    const int count = static_cast<int>(results.size());
    const int more = std::min(count - arrived_, perReceive);
    std::copy_n(results.begin() + arrived_, more, models.begin() + arrived_);
    arrived_ += more;
    return arrived_;
  }

  long long smallest = 1;
  int perReceive = 7;
  bool failure = false;
  int batches = 0;
  std::vector<Vector> sent;
  std::vector<double> results;

 private:
  const Model& model_;
  const int threads_;
  int arrived_ = 0;
};

class RemoteEvaluationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Prepare(wb);
    Prepare(local);
    remote = std::make_unique<InProcessRemote>(*wb.model);
    wb.remote = remote.get();
  }
  // Four parameters, 2 and 4 fused, a normal prior on parameter 1.
  static void Prepare(Workbench& bench) {
    InitializeQuadratic(bench, 4);
    static_cast<QuadraticModel&>(*bench.model).parallel = true;
    bench.ThreadCount = 2;
    for (int i = 1; i <= 4; ++i) bench.alg.Values[i] = 0.25 * i;
    bench.alg.FuseCodes[2] = bench.alg.FuseCodes[4] = "AA";
    bench.alg.Steps[2] = bench.alg.Steps[4] = 0.1;
    NormalizeFuseGroups(bench.alg, bench.fuse);
    bench.priors.Type[1] = PriorType::N;
    bench.priors.Term1[1] = 0.5;
    bench.priors.Term2[1] = 0.2;
    bench.state.PriorsActive = true;
    bench.covariance.LikelihoodScale = 2.0;
  }
  std::vector<BatchPoint> Points(int count) const {
    std::vector<BatchPoint> points;
    for (int p = 0; p < count; ++p) {
      BatchPoint point{wb.alg.Values, p + 2};
      point.vector[1 + p % 4] += 0.01 * (p + 1) * (p % 2 == 0 ? 1 : -1);
      points.push_back(point);
    }
    return points;
  }

  Workbench wb, local;
  ScriptedDesktop desktop;
  std::unique_ptr<InProcessRemote> remote;
};

TEST_F(RemoteEvaluationTest, SpreadBatchGivesTheOneProcessObjectivesStateAndStops) {
  std::vector<BatchPoint> points = Points(60);
  // A point without a finite value in the other processes' share: the
  // serial loop stops there, and so does the spread batch.
  points[50].vector[3] = std::numeric_limits<double>::quiet_NaN();

  const BatchResult spread = EvaluateBatch(wb, desktop, points, nullptr);
  const BatchResult alone = EvaluateBatch(local, desktop, points, nullptr);

  ASSERT_EQ(remote->batches, 1);
  EXPECT_GT(remote->sent.size(), 0u);
  EXPECT_EQ(spread.evaluated, alone.evaluated);
  EXPECT_EQ(spread.evaluated, 51);
  EXPECT_EQ(spread.firstNonFinite, 50);
  for (size_t p = 0; p < points.size(); ++p) {
    if (std::isnan(alone.objectives[p]))
      EXPECT_TRUE(std::isnan(spread.objectives[p])) << p;
    else
      EXPECT_EQ(spread.objectives[p], alone.objectives[p]) << p;
  }
  EXPECT_EQ(wb.state.PriorTerm, local.state.PriorTerm);
  EXPECT_EQ(wb.fuse.FuseGroupValues, local.fuse.FuseGroupValues);
  EXPECT_EQ(wb.alg.Steps, local.alg.Steps);
  // The other processes get the vectors as the model reads them: followers moved.
  for (const Vector& vector : remote->sent) EXPECT_EQ(vector[4], vector[2]);
}

TEST_F(RemoteEvaluationTest, ProgressCountsThePointsOfEveryProcessUpToTheWholeBatch) {
  const std::vector<BatchPoint> points = Points(300);
  remote->perReceive = 10;
  std::vector<int> progress;
  const BatchResult result = EvaluateBatch(wb, desktop, points, [&](int finished) {
    progress.push_back(finished);
    return true;
  });
  EXPECT_EQ(result.evaluated, 300);
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.back(), 300);
  for (size_t k = 1; k < progress.size(); ++k) EXPECT_GE(progress[k], progress[k - 1]);
  EXPECT_GT(desktop.YieldCount(), 0);
}

TEST_F(RemoteEvaluationTest, SmallBatchesStayHereAndFailuresEndTheBatch) {
  remote->smallest = 100;
  EvaluateBatch(wb, desktop, Points(99), nullptr);
  EXPECT_EQ(remote->batches, 0);

  remote->failure = true;
  EXPECT_THROW(EvaluateBatch(wb, desktop, Points(100), nullptr), RemoteFailure);
}

TEST_F(RemoteEvaluationTest, OtherProcessesMakeOneThreadParallelAndEnlargeGridBatches) {
  wb.ThreadCount = 1;
  EXPECT_TRUE(ParallelEvaluation(wb));
  EXPECT_EQ(AllEvaluationThreads(wb), 5);
  EXPECT_GT(BatchSizeFor(wb, 16), 16);
  local.ThreadCount = 1;
  EXPECT_FALSE(ParallelEvaluation(local));
  EXPECT_EQ(BatchSizeFor(local, 16), 16);
}

TEST(RemotePosterior, ReportPlotsAndGridMatchOneProcess) {
  // Three free parameters: a posterior of the first over a 9 x 9 grid of the others.
  std::string reports[2];
  std::vector<double> densities[2];
  for (int spread = 0; spread < 2; ++spread) {
    testing::EvaluationSession s(3);
    s.Model().parallel = true;
    s.wb.ThreadCount = 2;
    InProcessRemote remote(*s.wb.model, 3);
    if (spread) s.wb.remote = &remote;
    s.answers.points = "11";
    s.answers.gridPoints = "9";
    ASSERT_EQ(s.Posterior(), CommandOutcome::Done);
    if (spread) {
      EXPECT_GT(remote.batches, 0);
    }
    reports[spread] = s.views.Report(ReportKind::Posterior);
    ASSERT_FALSE(s.views.Distributions().empty());
    densities[spread] = s.views.Distributions().back().pdf;
  }
  EXPECT_FALSE(reports[0].empty());
  EXPECT_EQ(reports[0], reports[1]);
  EXPECT_EQ(densities[0], densities[1]);
}

}  // namespace
}  // namespace estimetrix
