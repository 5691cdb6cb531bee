#pragma once
// The ranking window's commands (frmRank, "Model selection, ranking and
// averaging"). Each holds its checks, its dialogue through the Desktop, the
// change to the ranking session and the window's enabling rules, and returns
// an outcome; the window shows what the session then holds, and the headless
// runner prints it.

#include <optional>
#include <string>

#include "engine/commands/commands.h"
#include "ranking/ranked_models.h"

namespace estimetrix {

class Desktop;
class MenuView;
struct Workbench;

enum class RankButton {
  LoadAlg,            // cmdLoadAlg "&Load Algorithm Data"
  EditAlg,            // cmdEditAlg "&Edit Algorithm Data"
  SaveAlg,            // cmdSaveAlg "&Save Algorithm Data"
  Bayesian,           // cmdBayesian "Set &Bayesian priors"
  AddModel,           // cmdAddModel "Calculate model AICc"
  SetOverdispersion,  // cmdQAICc "Calculate QAICc"
  Rank,               // cmdRank "&Rank competing models"
  Average,            // cmdAverage "&Average across models"
  Save,               // cmdSave "&Save ranking and averaging results"
  Finish,             // cmdFinish "&Finish"
};

// What the window holds besides its controls.
struct RankingSession {
  RankedModelTable table;
  std::string averagingText;  // empty until averaging results exist
  std::string mmsPath;        // the last .mms saved, proposed next time
  bool rankEnabled = false;
  bool averageEnabled = false;
  bool saveEnabled = false;

  bool Enabled(RankButton button) const;
};

// The window as the commands see it.
class RankingView {
 public:
  virtual ~RankingView() = default;
  // Shows the grid, the C-hat box, the averaging text and the buttons as the
  // session now holds them.
  virtual void Refresh(const RankingSession& session) = 0;
  virtual void FocusButton(RankButton /*button*/) {}
  // The window hides while the first model's likelihood constant is asked for.
  virtual void SetWindowVisible(bool /*visible*/) {}
  // Opens the algorithm data editor in its restricted mode without blocking.
  virtual void OpenAlgorithmEditor() {}
};

struct RankingContext {
  Workbench& wb;
  Desktop& desktop;
  MenuView& menu;
  RankingSession& session;
  RankingView& view;
};

inline constexpr const char* kRankTip =
    "Ranks competing models in ascending order of their AICc values (Note: All AICc values must "
    "be positive)";

// "Calculate model AICc": evaluates the objective once at the current values
// and adds the model.
CommandOutcome AddModelCommand(RankingContext& ctx);
// "Calculate QAICc": asks for C-hat (1 or greater).
CommandOutcome SetOverdispersionCommand(RankingContext& ctx);
// C-hat without asking (the runner's --c-hat); Refused below 1.
CommandOutcome SetOverdispersion(RankingContext& ctx, double cHat);
// "&Rank competing models".
CommandOutcome RankModelsCommand(RankingContext& ctx);
// "&Average across models": reads every ranked model's covariance file.
CommandOutcome AverageModelsCommand(RankingContext& ctx);
// Why the ranked models cannot be averaged.
enum class AveragingObstacle {
  None,
  NoWeights,          // every model's criterion is undefined, so none has a weight
  MissingCovariance,  // a weighted model has no covariance file
};
AveragingObstacle FindAveragingObstacle(const RankedModelTable& table);
// "every AICc is undefined (...), so no model has a weight" (QAICc with C-hat).
std::string NoWeightsText(const RankedModelTable& table);
// "&Save ranking and averaging results": the .mms file.
CommandOutcome SaveRanksCommand(RankingContext& ctx);
// "&Load Algorithm Data": an algorithm file, then AddModelCommand.
CommandOutcome LoadAlgorithmForRanking(RankingContext& ctx);
// "&Edit Algorithm Data": the editor in its restricted mode.
CommandOutcome EditAlgorithmForRanking(RankingContext& ctx);
// "&Save Algorithm Data": the ranking window's algorithm file writer.
CommandOutcome SaveAlgorithmForRanking(RankingContext& ctx);
// "Set &Bayesian priors".
CommandOutcome BayesianPriorsForRanking(RankingContext& ctx);
// A double-click on grid row `row` (0-based) and `column`: delete the model
// (column 0), change its covariance file (7) or annotate it (9).
CommandOutcome GridDoubleClick(RankingContext& ctx, int row, int column);
// "&Finish" and closing the window: offers to save a ranking, then hands
// control back to the main menu.
CommandOutcome FinishRanking(RankingContext& ctx);

// The state of a freshly opened window.
void OpenRanking(RankingContext& ctx);

}  // namespace estimetrix
