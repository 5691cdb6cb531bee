// The ranking window's commands.

#include "ranking/ranking_commands.h"

#include <cmath>

#include "engine/base/format.h"
#include "engine/commands/prior_commands.h"
#include "engine/covariance/covariance.h"
#include "engine/objective/objective.h"
#include "engine/state/algorithm_file.h"
#include "engine/state/menu_view.h"
#include "engine/state/workbench.h"
#include "platform/desktop.h"
#include "platform/text_file.h"
#include "ranking/model_averaging.h"

namespace estimetrix {

namespace {

constexpr const char* kAddTitle = "Calculate model AICc";
constexpr const char* kAverageTitle = "Can't average models";
constexpr const char* kMissingCovariance =
    "Sorry, the covariance file is missing for at least one ranked model";

// The ranking as it stood is stale: differences, weights and averages go,
// and only ranking again brings saving and averaging back.
void Unrank(RankingSession& session) {
  session.table.MarkUnranked();
  session.averagingText.clear();
  session.saveEnabled = false;
  session.averageEnabled = false;
  session.rankEnabled = session.table.Count() >= 2;
}

// Averaging needs the covariance file of every model that took part in the ranking.
bool CovarianceFilesComplete(const RankedModelTable& table) {
  bool any = false;
  for (const RankPlace& place : table.order) {
    if (!place.weight) continue;
    if (table.models[static_cast<size_t>(place.model)].CovarianceMissing()) return false;
    any = true;
  }
  return any;
}

std::string EntryList(const std::vector<int>& entries) {
  std::string text;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (i > 0) text += i + 1 == entries.size() ? " and " : ", ";
    text += IntText(entries[i]);
  }
  return text;
}

std::string ModelName(const RankedModel& model) {
  return "model " + IntText(model.entry) + " (" + model.algorithmFile + ")";
}

// Whether the current algorithm data can be added, with the reason shown when not.
bool CanAddCurrentModel(RankingContext& ctx) {
  const Workbench& wb = ctx.wb;
  if (ctx.session.table.Count() >= kMaxRankedModels) {
    ctx.desktop.Inform("Model limit reached", "Sorry, no more than 99 models can be ranked",
                       Icon::Exclamation);
    return false;
  }
  if (!wb.model || !wb.initialized) {
    ctx.desktop.Inform(kAddTitle, "Initialize the model before adding it to the ranking",
                       Icon::Exclamation);
    return false;
  }
  if (BareFileName(wb.alg.AlgorithmFilePath).empty()) {
    ctx.desktop.Inform(kAddTitle, "Save the algorithm data to a file before adding the model",
                       Icon::Exclamation);
    return false;
  }
  if (wb.alg.PartlyRead) {
    ctx.desktop.Inform(kAddTitle,
                       "The algorithm data were only partly read from their file; load a whole "
                       "algorithm file before adding the model",
                       Icon::Exclamation);
    return false;
  }
  return true;
}

// The objective once at the current values, through the one evaluation path.
double EvaluateCurrentModel(RankingContext& ctx) {
  Workbench& wb = ctx.wb;
  ctx.desktop.SetStatus(StatusBar::Progress, 1,
                        "One moment please while one function is executed...");
  ctx.desktop.Yield();
  NormalizeFuseGroups(wb.alg, wb.fuse);
  BuildFreeParameterList(wb.alg, wb.free);
  const double objective = EvaluateObjective(wb, wb.alg.Values, 1);
  ctx.desktop.SetStatus(StatusBar::Progress, 1, "");
  return objective;
}

RankedModel DescribeCurrentModel(const Workbench& wb) {
  RankedModel model;
  model.algorithmFile = BareFileName(wb.alg.AlgorithmFilePath);
  model.algorithmFolder = FolderOf(wb.alg.AlgorithmFilePath);
  const std::string& name = model.algorithmFile;
  model.covarianceFile = name.substr(0, name.size() >= 4 ? name.size() - 4 : 0) + ".cov";
  if (std::optional<std::string> path =
          CheckCovFileName(model.covarianceFile, CovarianceCheck::OnAdding, model.algorithmFolder))
    model.covariancePath = *path;
  const std::string priors = BareFileName(wb.priors.PriorsFilePath);
  model.priorsFile = wb.state.PriorsActive && !priors.empty() ? priors : kNoPriorsLoaded;
  for (int i = 1; i <= wb.alg.Steps.Size(); ++i)
    if (wb.alg.Steps[i] != 0.0) ++model.K;
  model.n = wb.state.AICcSampleSize;
  return model;
}

CommandOutcome Done(RankingContext& ctx) {
  ctx.view.Refresh(ctx.session);
  return CommandOutcome::Done;
}

CommandOutcome DeleteModel(RankingContext& ctx, int row) {
  if (!DeleteModelAtRow(ctx.session.table, row)) return CommandOutcome::NothingToDo;
  Unrank(ctx.session);
  return Done(ctx);
}

CommandOutcome ChangeCovarianceFile(RankingContext& ctx, RankedModel& model) {
  std::optional<std::string> answer = ctx.desktop.Input(
      {"Choose an associated covariance file", "Please input the desired covariance file name",
       model.covarianceFile});
  if (!answer) return CommandOutcome::Cancelled;
  std::string name = *answer;
  std::optional<std::string> path =
      CheckCovFileName(name, CovarianceCheck::OnChange, model.algorithmFolder);
  model.covarianceFile = name;
  model.covariancePath = path.value_or(std::string());
  // Averages taken from the former file no longer hold.
  RankingSession& session = ctx.session;
  session.averagingText.clear();
  session.averageEnabled = session.table.ranked && CovarianceFilesComplete(session.table);
  return Done(ctx);
}

CommandOutcome AnnotateModel(RankingContext& ctx, RankedModel& model) {
  std::optional<std::string> answer =
      ctx.desktop.Input({"Model notes", "Enter your annotations concerning the selected model",
                         "Add your notation here"});
  if (!answer) return CommandOutcome::Cancelled;
  model.notes = *answer;
  return Done(ctx);
}

}  // namespace

bool RankingSession::Enabled(RankButton button) const {
  switch (button) {
    case RankButton::Rank: return rankEnabled;
    case RankButton::Average: return averageEnabled;
    case RankButton::Save: return saveEnabled;
    default: return true;
  }
}

void OpenRanking(RankingContext& ctx) {
  ctx.wb.state.RankingOpen = true;
  ctx.view.Refresh(ctx.session);
  ctx.view.FocusButton(RankButton::LoadAlg);
}

CommandOutcome AddModelCommand(RankingContext& ctx) {
  if (!CanAddCurrentModel(ctx)) return CommandOutcome::Refused;
  Workbench& wb = ctx.wb;
  RankedModelTable& table = ctx.session.table;
  const double objective = EvaluateCurrentModel(ctx);
  if (!std::isfinite(objective)) {
    ctx.desktop.Inform(kAddTitle,
                       "The model gave no finite objective (" + FormatNumber(objective, "0") +
                           ") at the current parameter values, so it was not added.",
                       Icon::Exclamation);
    return CommandOutcome::Failed;
  }
  if (table.Count() == 0) {
    ctx.view.SetWindowVisible(false);
    std::optional<double> q = LikelihoodConstantPrompt(
        ctx.desktop, *wb.model, wb.state.ObservationCount, wb.free.FreeCount, objective);
    ctx.view.SetWindowVisible(true);
    if (!q) return CommandOutcome::Cancelled;
    table.likelihoodConstant = *q;
  }

  RankedModel model = DescribeCurrentModel(wb);
  model.entry = table.Count() + 1;
  model.negLnL = objective * table.likelihoodConstant;
  table.models.push_back(model);
  Unrank(ctx.session);
  ctx.view.Refresh(ctx.session);
  if (!table.Criterion(model)) {
    ctx.desktop.Inform(kAddTitle,
                       "The AICc of " + ModelName(model) + " is undefined: its sample size (" +
                           IntText(model.n) + ") less its " + IntText(model.K) +
                           " free parameters less 1 is 0.\n\nThe model is listed but left out "
                           "of the ranking.",
                       Icon::Exclamation);
  }
  ctx.view.FocusButton(RankButton::LoadAlg);
  return CommandOutcome::Done;
}

CommandOutcome SetOverdispersion(RankingContext& ctx, double cHat) {
  if (!(cHat >= 1.0) || !std::isfinite(cHat)) return CommandOutcome::Refused;
  ctx.session.table.cHat = cHat;
  Unrank(ctx.session);
  return Done(ctx);
}

CommandOutcome SetOverdispersionCommand(RankingContext& ctx) {
  for (;;) {
    std::optional<std::string> answer = ctx.desktop.Input(
        {"Overdispersion correction",
         "Input a value for C-hat (1 or greater) to correct for unexplained overdispersion:",
         GeneralNumber(ctx.session.table.cHat)});
    if (!answer) return CommandOutcome::Cancelled;
    double cHat = 1.0;
    if (!answer->empty() && !StrictReal(*answer, cHat)) continue;
    if (SetOverdispersion(ctx, cHat) == CommandOutcome::Done) return CommandOutcome::Done;
  }
}

CommandOutcome RankModelsCommand(RankingContext& ctx) {
  RankingSession& session = ctx.session;
  if (session.table.Count() == 0) return CommandOutcome::NothingToDo;
  const RankingSummary summary = RankTable(session.table);
  session.saveEnabled = true;
  session.averageEnabled = CovarianceFilesComplete(session.table);
  session.averagingText.clear();
  ctx.view.Refresh(session);
  const char* criterion = session.table.Quasi() ? "QAICc" : "AICc";
  if (!summary.leftOut.empty()) {
    ctx.desktop.Inform("Rank competing models",
                       std::string(summary.leftOut.size() == 1 ? "Model " : "Models ") +
                           EntryList(summary.leftOut) + " (entry order) " +
                           (summary.leftOut.size() == 1 ? "has" : "have") + " an undefined " +
                           criterion +
                           " (sample size less free parameters less 1 is 0) and " +
                           (summary.leftOut.size() == 1 ? "is" : "are") +
                           " left out of the ranking.",
                       Icon::Exclamation);
  }
  if (summary.nonPositive) {
    ctx.desktop.Inform("Rank competing models",
                       std::string(kRankTip) + "\n\nAt least one " + criterion +
                           " value is zero or negative; the models are ranked in plain ascending "
                           "order, but check the likelihood constant and the sample size.",
                       Icon::Exclamation);
  }
  return CommandOutcome::Done;
}

AveragingObstacle FindAveragingObstacle(const RankedModelTable& table) {
  if (CovarianceFilesComplete(table)) return AveragingObstacle::None;
  for (const RankPlace& place : table.order)
    if (place.weight) return AveragingObstacle::MissingCovariance;
  return AveragingObstacle::NoWeights;
}

std::string NoWeightsText(const RankedModelTable& table) {
  return std::string("every ") + (table.Quasi() ? "QAICc" : "AICc") +
         " is undefined (sample size less free parameters less 1 is 0), so no model has a "
         "weight";
}

CommandOutcome AverageModelsCommand(RankingContext& ctx) {
  RankingSession& session = ctx.session;
  const RankedModelTable& table = session.table;
  if (!table.ranked) return CommandOutcome::Refused;
  if (!CovarianceFilesComplete(table)) {
    ctx.desktop.Inform(kAverageTitle,
                       FindAveragingObstacle(table) == AveragingObstacle::NoWeights
                           ? "No averages can be made: " + NoWeightsText(table) + "."
                           : std::string(kMissingCovariance));
    session.averageEnabled = false;
    ctx.view.Refresh(session);
    return CommandOutcome::Refused;
  }
  const int N = ctx.wb.alg.ParameterCount;
  std::vector<CovarianceEstimates> estimates;
  std::vector<double> weights;
  for (const RankPlace& place : table.order) {
    if (!place.weight) continue;
    const RankedModel& model = table.models[static_cast<size_t>(place.model)];
    std::string reason;
    std::optional<std::vector<std::string>> lines = ReadTextLines(model.covariancePath, reason);
    std::optional<CovarianceEstimates> read;
    if (lines) read = ReadCovarianceEstimates(*lines, N, model.K, reason);
    if (!read) {
      ctx.desktop.Inform(kAverageTitle,
                         "The covariance file " + model.covarianceFile + " of " +
                             ModelName(model) + " cannot be read: " + reason +
                             ".\n\nNo averages were calculated.",
                         Icon::Exclamation);
      return CommandOutcome::Failed;
    }
    estimates.push_back(std::move(*read));
    weights.push_back(*place.weight);
  }
  session.averagingText = AveragingText(AverageEstimates(estimates, weights, table.cHat, N));
  ctx.view.Refresh(session);
  ctx.view.FocusButton(RankButton::AddModel);
  return CommandOutcome::Done;
}

CommandOutcome SaveRanksCommand(RankingContext& ctx) {
  RankingSession& session = ctx.session;
  if (!session.table.ranked) return CommandOutcome::Refused;
  FileDialogRequest request;
  request.title = "Save model ranking results in...";
  request.filter = "Multi-model statistics files (*.mms)|*.mms|All files (*.*)|*.*|";
  request.filterIndex = 1;
  request.proposedName =
      session.mmsPath.empty() ? DateTimeName(ctx.desktop.Now()) + ".mms" : session.mmsPath;
  request.confirmOverwrite = true;
  std::optional<std::string> path = ctx.desktop.SaveFileName(request);
  if (!path || path->empty()) return CommandOutcome::Cancelled;
  std::string error;
  if (!SaveTextFileAtomically(*path, MultiModelStatisticsText(session.table, session.averagingText),
                              error)) {
    ctx.desktop.Inform("Ranking results not saved",
                       "The ranking results could not be saved:\n" + error +
                           "\n\nAny file already of that name has been left as it was.",
                       Icon::Exclamation);
    return CommandOutcome::Failed;
  }
  session.mmsPath = *path;
  return CommandOutcome::Done;
}

CommandOutcome LoadAlgorithmForRanking(RankingContext& ctx) {
  Workbench& wb = ctx.wb;
  const CommandOutcome read = ChooseAndReadAlgorithmFile(wb, ctx.desktop, nullptr);
  if (read != CommandOutcome::Done) return read;
  wb.alg.PartlyRead = false;
  wb.state.SimplexRetained = false;
  ctx.desktop.SetStatus(StatusBar::Files, 1, "Algorithm file: " + wb.alg.AlgorithmFileName);
  return AddModelCommand(ctx);
}

CommandOutcome EditAlgorithmForRanking(RankingContext& ctx) {
  ctx.view.OpenAlgorithmEditor();
  return CommandOutcome::Done;
}

CommandOutcome SaveAlgorithmForRanking(RankingContext& ctx) {
  return Save_Alg(ctx.wb, ctx.desktop, AlgorithmFileWriter::Ranking) ? CommandOutcome::Done
                                                                     : CommandOutcome::Cancelled;
}

CommandOutcome BayesianPriorsForRanking(RankingContext& ctx) {
  // The priors chooser takes over; it shows this window again when it (or the
  // editor opened from it) closes.
  BeginPriorsChooser(ctx.wb);
  ctx.view.SetWindowVisible(false);
  return CommandOutcome::Done;
}

CommandOutcome GridDoubleClick(RankingContext& ctx, int row, int column) {
  RankedModelTable& table = ctx.session.table;
  const std::optional<int> index = table.ModelAtRow(row);
  if (!index) return CommandOutcome::NothingToDo;
  RankedModel& model = table.models[static_cast<size_t>(*index)];
  switch (column) {
    case kLabelColumn: return DeleteModel(ctx, row);
    case kCovarianceColumn: return ChangeCovarianceFile(ctx, model);
    case kNotesColumn: return AnnotateModel(ctx, model);
    default: return CommandOutcome::NothingToDo;
  }
}

CommandOutcome FinishRanking(RankingContext& ctx) {
  if (ctx.session.table.ranked &&
      ctx.desktop.Ask("What about ranking results!", "Do you want to save ranking results?",
                      Buttons::YesNo, Icon::Question, 2) == Answer::Yes) {
    SaveRanksCommand(ctx);
  }
  ctx.wb.state.RankingOpen = false;
  ctx.menu.ShowMenu();
  ctx.menu.SetApplicationMenuEnabled(true);
  return CommandOutcome::Done;
}

}  // namespace estimetrix
