// The ranking part of the runner: competing algorithm files are added one by
// one (rank-add), ranked and averaged (rank), and the multi-model statistics
// saved (save-mms), through the ranking window's commands.

#include <cmath>
#include <memory>

#include "app/batch_runner.h"
#include "engine/base/format.h"
#include "ranking/ranking_commands.h"

namespace estimetrix {

namespace {

constexpr const char* kCHat = "--c-hat";

// The runner's ranking window: it shows nothing; the commands print.
struct SilentRankingView : RankingView {
  void Refresh(const RankingSession&) override {}
};

struct RankRun {
  RankingSession session;
  SilentRankingView view;
  bool open = false;
  int constantAsked = 0;
};

RankingContext Context(BatchSession& session, RankRun& run) {
  return RankingContext{session.wb, session.desktop, session.menu, run.session, run.view};
}

bool ReadCHat(BatchSession& session, double& cHat) {
  cHat = 1.0;
  if (!session.Has(kCHat)) return true;
  return StrictReal(session.Option(kCHat), cHat) && cHat >= 1.0 && cHat < 1E+300;
}

// Opens the ranking through the main menu's "&Multi-model statistics", once.
int OpenRankingOnce(BatchSession& session, RankRun& run, const std::string& name) {
  if (run.open) return kBatchSucceeded;
  const int status = BatchStatus(session.Run(MenuButton::Rank, name));
  if (status != kBatchSucceeded) return status;
  run.open = true;
  RankingContext ctx = Context(session, run);
  OpenRanking(ctx);
  double cHat = 1.0;
  ReadCHat(session, cHat);  // checked before the first command
  if (cHat != 1.0) SetOverdispersion(ctx, cHat);
  return kBatchSucceeded;
}

int RankAdd(BatchSession& session, RankRun& run, const std::string& path) {
  if (session.Has(kLikelihoodConstantOption)) {
    double q = 0.0;
    const std::string text = session.Option(kLikelihoodConstantOption);
    if (!StrictReal(text, q) || !std::isfinite(q) || q <= 0.0)
      return BatchFail(session, std::string(kLikelihoodConstantOption) +
                                    " needs a positive number, not \"" + text + "\"");
  }
  int status = OpenRankingOnce(session, run, "rank-add");
  if (status != kBatchSucceeded) return status;
  RankingContext ctx = Context(session, run);
  run.constantAsked = 0;
  session.desktop.ExpectOpenFile("Open algorithm data file", path);
  status = BatchStatus(LoadAlgorithmForRanking(ctx));
  if (status != kBatchSucceeded) return status;
  const RankedModelTable& table = run.session.table;
  const RankedModel& model = table.models.back();
  const std::optional<double> criterion = table.Criterion(model);
  session.err << "rank-add: model " << model.entry << " " << model.algorithmFile << ": -ln[L] "
              << GeneralNumber(model.negLnL) << ", K " << model.K << ", n " << model.n << ", "
              << (table.Quasi() ? "QAICc " : "AICc ")
              << (criterion ? GeneralNumber(*criterion) : std::string(kUndefined)) << ", "
              << model.covarianceFile << "\n";
  return kBatchSucceeded;
}

int Rank(BatchSession& session, RankRun& run) {
  if (!run.open || !run.session.rankEnabled)
    return BatchFail(session, "rank: add at least two models first (rank-add FILE.alg)");
  RankingContext ctx = Context(session, run);
  int status = BatchStatus(RankModelsCommand(ctx));
  if (status != kBatchSucceeded) return status;
  if (run.session.averageEnabled) {
    status = BatchStatus(AverageModelsCommand(ctx));
  } else if (FindAveragingObstacle(run.session.table) == AveragingObstacle::NoWeights) {
    session.err << "rank: no averages: " << NoWeightsText(run.session.table) << "\n";
  } else {
    session.err << "rank: no averages: the covariance file is missing for at least one ranked "
                   "model\n";
  }
  session.out << MultiModelStatisticsText(run.session.table, run.session.averagingText);
  return status;
}

int SaveMms(BatchSession& session, RankRun& run, const std::string& path) {
  if (!run.open || !run.session.table.ranked)
    return BatchFail(session, "save-mms: no ranking to save (run rank first)");
  RankingContext ctx = Context(session, run);
  session.desktop.ExpectSaveFile("Save model ranking results in...", path);
  return BatchStatus(SaveRanksCommand(ctx));
}

// The likelihood constant asked for with the first model, once per rank-add.
std::optional<DialogReply> AnswerConstant(const DialogRecord& record, BatchSession& session,
                                          RankRun& run) {
  if (record.title != "Enter constant" || record.kind != DialogKind::Input) return {};
  if (!session.wb.state.RankingOpen || ++run.constantAsked > 1) return {};
  double q = 0.0;
  if (session.Has(kLikelihoodConstantOption)) {
    const std::string text = session.Option(kLikelihoodConstantOption);
    if (!StrictReal(text, q) || !(q > 0.0)) return {};
    return DialogReply{Answer::Ok, text};
  }
  q = session.wb.model ? session.wb.model->SuggestedLikelihoodConstant() : 0.0;
  if (q > 0.0) return DialogReply{Answer::Ok, GeneralNumber(q)};
  if (!record.defaultText.empty()) return DialogReply{Answer::Ok, record.defaultText};
  return {};
}

}  // namespace

BatchArea RankBatchArea() {
  auto run = std::make_shared<RankRun>();
  BatchArea area;
  area.options.push_back({kCHat, "X",
                          "Ranking: the overdispersion factor C-hat (1 or greater; default 1). "
                          "Above 1 the models are ranked by QAICc."});
  area.commands.push_back(
      {"rank-add", "FILE",
       "Load the algorithm file FILE and add its model to the ranking (its covariance file is "
       "the same name with .cov, beside it). The first model takes the likelihood constant "
       "from --likelihood-constant or the model's suggestion.",
       [run](BatchSession& session, const std::string& path) {
         return RankAdd(session, *run, path);
       }});
  area.commands.push_back(
      {"rank", "",
       "Rank the added models by AICc (QAICc with --c-hat above 1), average them when every "
       "covariance file exists, and print the ranking table and the averages.",
       [run](BatchSession& session, const std::string&) { return Rank(session, *run); }});
  area.commands.push_back({"save-mms", "FILE",
                           "Save the ranking (and the averages) as a multi-model statistics "
                           "file (.mms).",
                           [run](BatchSession& session, const std::string& path) {
                             return SaveMms(session, *run, path);
                           }});
  area.prepare = [](BatchSession& session) {
    double cHat = 1.0;
    if (!ReadCHat(session, cHat))
      return BatchFail(session, std::string(kCHat) + " needs a number of 1 or greater, not \"" +
                                    session.Option(kCHat) + "\"");
    return kBatchSucceeded;
  };
  area.answerers.push_back([run](const DialogRecord& record, BatchSession& session) {
    return AnswerConstant(record, session, *run);
  });
  return area;
}

}  // namespace estimetrix
