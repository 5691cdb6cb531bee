#pragma once
// What the posterior and the likelihood-profile commands share: the run that
// saves and restores the algorithm data around the dialogue, the preparation
// and the loop; the questions both ask; the evaluated parameter leaving the
// free list; the likelihood scale; the Interrupt question, the status texts
// and the summary of the points.

#include <optional>
#include <string>

#include "engine/base/array.h"
#include "engine/base/time_text.h"
#include "engine/minimizers/profile_text.h"
#include "engine/state/command_context.h"
#include "engine/state/distribution_summary.h"

namespace estimetrix {

class Desktop;
struct EstimationState;
struct InputRequest;
struct Workbench;

// The answer to "Base step sizes on SD's from covariance grid 1, 2, 3, No or
// Quit?", blanks around it ignored: the grid (1..3), No, Quit or neither.
enum class GridAnswer { Grid, No, Quit, Other };
GridAnswer ReadGridAnswer(const std::string& answer, int& grid);

inline constexpr const char* kInterruptQuestion = "Interrupt received.  Quit calculations?";
inline constexpr const char* kSetupProblemTitle = "Problem with setup";
inline constexpr const char* kZeroStepText =
    "The parameter chosen has a step size of zero; please try again";
inline constexpr const char* kReminderTitle = "A friendly reminder";
inline constexpr const char* kReminderText =
    "Your algorithm file may have been automatically edited";

// An answer read as a whole number: nullopt when it is no number.
std::optional<long long> WholeNumber(const std::string& answer);

// An odd point count of at least 3: 2 becomes 3, 24 becomes 25.
int OddPointCount(long long answer);

// Sets the step of every parameter with a non-zero step from its standard
// error on covariance grid `grid` (1..3): `spread` x SE. Parameters without a
// reliable standard error keep their steps.
void StepsFromCovarianceGrid(Workbench& wb, int grid, double spread);

// The evaluated parameter's step for P points over +-4 SE: 24 SE / (3 (P - 1)).
// False (step kept) when the parameter has no reliable standard error.
bool EvaluatedStepFromCovarianceGrid(Workbench& wb, int grid, int parameter, int points);

// The -ln value of a point for an objective that includes the prior term:
// (objective + PriorTerm) / LikelihoodScale.
double MinusLnValue(const Workbench& wb, double objective);

// When the model reports its observations the likelihood scale follows from
// the objective at the reference point: 2 x objective / (observations -
// free - 1), free counting the parameters still free beside the evaluated
// one. Sets wb.covariance.LikelihoodScale and returns true, or shows the
// constant's message and returns false when the degrees of freedom do not
// allow it. Without observations the scale is left as it is.
bool ScaleFromObservations(Workbench& wb, Desktop& desktop, double modelObjective);

// The message of a non-positive likelihood constant.
void ShowConstantProblem(Desktop& desktop);

// Reverses the point arrays (a negative step) and mirrors the best point.
void ReversePoints(DistributionPoints& points, int& best);

// The index of the smallest -ln value among points 1..count.
int BestPointOf(const DistributionPoints& points, int count);

// Keeps points 1..count of every column.
void TruncatePoints(DistributionPoints& points, int count);

class EvaluationRun {
 public:
  // Runs Dialogue, Prepare and Loop, each only after the one before it is
  // Done. A cancelled command gets Values and Steps back; any other run that
  // got as far as its points ends with the Values and Steps it started them
  // from (after the editor); the likelihood scale is always restored when
  // the run set it. The run's flags end
  // cleared, the fuse groups and free list are rebuilt, and a run that
  // opened the editor reminds the user that the algorithm file may differ.
  CommandOutcome Run();

 protected:
  using StateFlag = bool EstimationState::*;
  EvaluationRun(CommandContext& ctx, StateFlag active, StateFlag interrupt);
  virtual ~EvaluationRun() = default;

  virtual CommandOutcome Dialogue() = 0;
  virtual CommandOutcome Prepare() = 0;
  virtual CommandOutcome Loop() = 0;
  // Called at the end of every run, before the flags are cleared.
  virtual void Ending() {}

  // The last plot of `kind`, if there is one, shown again. True when shown.
  bool ShowPreviousPlot(DistributionKind kind);
  // The free list rebuilt: NothingToDo when every step is zero, Cancelled
  // when the likelihood constant a model without observations needs is
  // not given, else Done.
  CommandOutcome CheckFreeParameters();
  // Asks until the answer is a parameter number; false when cancelled.
  bool AskParameterNumber(const InputRequest& request);
  // The algorithm editor, then Refused when the evaluated parameter's step is zero.
  CommandOutcome EditAndCheckStep();
  // Keeps the values and steps of the run, sizes the points and takes the
  // evaluated parameter out of the free list (its step set to zero).
  void FixEvaluatedParameter();
  // The likelihood scale from the objective at the reference point when the
  // model reports observations (the old scale kept for the end of the run),
  // then the check that it is positive. False after the message.
  bool AdoptLikelihoodScale(double objective);
  // The objective without the prior term.
  double ModelPart(double objective) const;
  // True when an Interrupt arrived and the user chose to quit.
  bool QuitAfterInterrupt(const char* title);
  // The point's status text with the evaluated parameter at `value`.
  std::string PointText(int k, double value) const;
  // Reverses the points of a negative step, then the summary, the workbench's
  // evaluation and its plot.
  void Summarize(DistributionKind kind);

  CommandContext& ctx_;
  Workbench& wb_;
  Desktop& desktop_;

  int parameter_ = 0;                  // the evaluated parameter
  int P_ = 0;                          // its point count
  Vector valuesBefore_, stepsBefore_;  // at the start of the command
  Vector valuesRun_, stepsRun_;        // after the editor
  bool editorOpened_ = false;
  bool scaleChanged_ = false;
  double scaleBefore_ = 1.0;
  double x0_ = 0.0, h_ = 0.0;  // the evaluated parameter's value and step
  DistributionPoints points_;
  int best_ = 0;

 private:
  StateFlag active_;
  StateFlag interrupt_;
};

}  // namespace estimetrix
