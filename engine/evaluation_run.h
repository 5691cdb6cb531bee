#pragma once
// What the posterior and the likelihood-profile commands share: the run that
// saves and restores the algorithm data around the dialogue, the preparation
// and the loop; the questions both ask; the evaluated parameter leaving the
// free list; the likelihood scale; the Interrupt question, the status texts
// and the summary of the points.

#include <optional>
#include <string>

#include "engine/array.h"
#include "engine/commands.h"
#include "engine/distribution_summary.h"

namespace estimetrix {

class Desktop;
struct EstimationState;
struct InputRequest;
struct Workbench;

// The answer to "Base step sizes on SD's from covariance grid 1, 2, 3, No or
// Quit?", blanks around it ignored: the grid (1..3), No, Quit or neither.
enum class GridAnswer { Grid, No, Quit, Other };
GridAnswer ReadGridAnswer(const std::string& answer, int& grid);

// "Calculating profile point k of P," and, with a parameter, " Value of
// parameter # i which is being profiled is: v" in `valuePattern`.
std::string ProfilePointText(int point, int count);
std::string ProfilePointText(int point, int count, int parameter, double value,
                             const char* valuePattern = "0.0000E+00");

// The minimizers' status line during a profile: the point and, when other
// parameters are free, the profiled parameter (EvaluatedParameter) at its
// value in Values (0 outside them).
std::string ProfileMinimizerText(const Workbench& wb, int point, int count, bool withValue,
                                 const char* valuePattern);

// "Estimated time remaining (m:s): " for `remaining` more of what took the
// time since `start` for `done`.
std::string TimeRemainingText(Desktop& desktop, double start, double done, double remaining);

class EvaluationRun {
 public:
  // Runs Dialogue, Prepare and Loop, each only after the one before it is
  // Done. A cancelled command gets Values and Steps back; the likelihood
  // scale is always restored when the run set it. The run's flags end
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
