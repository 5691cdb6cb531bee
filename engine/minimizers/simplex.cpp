#include "engine/minimizers/simplex.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/base/format.h"
#include "engine/minimizers/profile_text.h"
#include "engine/minimizers/simplex_text.h"
#include "engine/objective/objective.h"
#include "engine/state/workbench.h"
#include "platform/desktop.h"

namespace estimetrix {
namespace {

// The accepted action of an iteration, each padded to 22 characters so the
// report columns line up.
const char* const kReflection = "Reflection            ";
const char* const kExtension = "Extension             ";
const char* const kContraction = "Contraction           ";
const char* const kReflectionContraction = "Reflection-Contraction";
const char* const kReduction = "Reduction             ";
const char* const kReflectionReduction = "Reflection-Reduction  ";

const char* const kMinimizationTitle = "Simplex minimization";
const char* const kInterruptTitle = "Simplex interrupt";
const char* const kOneMoment = "One moment please...";

void SetPanel(Desktop& desktop, int panel, const std::string& text) {
  desktop.SetStatus(StatusBar::Progress, panel, text);
}

class SimplexRun {
 public:
  SimplexRun(Workbench& wb, Desktop& desktop, SimplexView& view, const SimplexProfilePoint* profile)
      : wb_(wb),
        s_(wb.simplex),
        desktop_(desktop),
        view_(view),
        profile_(profile),
        p_(wb.free.FreeCount) {}

  SimplexResult Run();

 private:
  // Why the run ended before its loop finished normally.
  enum class Abort { None, ZeroValue, NonFinite };

  bool ProfileOn() const { return wb_.state.ProfileActive; }
  double& X(int coordinate, int vertex) { return s_.SimplexMatrix(coordinate, vertex); }
  double& F(int vertex) { return s_.VertexValues[vertex]; }

  void PrepareArrays();
  bool CanContinueRetained() const;
  SimplexResult RunWithoutFreeParameters();

  bool Evaluate(const Vector& point, double& value);
  bool EvaluateVertex(int vertex);
  void CopyVertex(int vertex, Vector& point);
  void KeepIfBest(const Vector& point, double value);
  void CountKeptVertices();
  void ReplaceHighestVertex(const Vector& point, double value);

  bool BuildInitialSimplex();
  void FindExtremesAndCentroid();
  bool SimplexStep();
  bool Reduce();
  bool TestConvergence();
  bool VerifyConvergence();
  bool AxialSearch(int& failingParameter, bool& failed);
  bool AxialCall(double& value);
  void ShowAxialCall(int call);
  void AcceptMinimum();

  void AskToContinuePastMaximum();
  void PollInterrupt();
  void RequestStop();

  void ShowInitialSimplex();
  void ScheduledOutput();
  void ShowProgress(bool force);
  void ShowProfileStatus();
  void LogProgress();
  void SetLowerText(const std::string& text);

  void CopyLowestIntoValues();
  SimplexResult Finish(SimplexOutcome outcome);
  SimplexResult FailNonFinite();
  SimplexResult FailZeroValue();

  Workbench& wb_;
  SimplexState& s_;
  Desktop& desktop_;
  SimplexView& view_;
  const SimplexProfilePoint* profile_;
  const int p_;

  Vector point_;  // scratch free-space point
  Vector work_;   // the full parameter vector handed to the model
  Abort abort_ = Abort::None;
  SimplexOutcome outcome_ = SimplexOutcome::Stopped;
  double profileAbscissa_ = 0.0;
  bool reportSkipped_ = false;

  // The best finite point evaluated in this run: where a non-finite
  // objective leaves the parameter values.
  Vector bestPoint_;
  double bestValue_ = std::numeric_limits<double>::infinity();
  bool haveBest_ = false;
};

// ---------------------------------------------------------------------------
// Evaluation

bool SimplexRun::Evaluate(const Vector& point, double& value) {
  ++wb_.state.FunctionCallCount;
  work_ = wb_.alg.Values;
  for (int j = 1; j <= p_; ++j) work_[wb_.free.FreeIndex[j]] = point[j];
  value = EvaluateObjective(wb_, work_, wb_.state.FunctionCallCount);
  if (!std::isfinite(value)) {
    abort_ = Abort::NonFinite;
    return false;
  }
  KeepIfBest(point, value);
  return true;
}

void SimplexRun::KeepIfBest(const Vector& point, double value) {
  if (haveBest_ && !(value < bestValue_)) return;
  haveBest_ = true;
  bestValue_ = value;
  for (int j = 1; j <= p_; ++j) bestPoint_[j] = point[j];
}

// A continued run starts from the kept simplex: its vertices were evaluated
// by earlier runs and are candidates for the best finite point too, so a
// non-finite value never leaves the parameters worse than the kept minimum.
void SimplexRun::CountKeptVertices() {
  for (int k = 1; k <= p_ + 1; ++k) {
    if (!std::isfinite(F(k))) continue;
    CopyVertex(k, point_);
    KeepIfBest(point_, F(k));
  }
}

void SimplexRun::CopyVertex(int vertex, Vector& point) {
  for (int j = 1; j <= p_; ++j) point[j] = X(j, vertex);
}

bool SimplexRun::EvaluateVertex(int vertex) {
  CopyVertex(vertex, point_);
  double value = 0.0;
  if (!Evaluate(point_, value)) return false;
  F(vertex) = value;
  return true;
}

void SimplexRun::ReplaceHighestVertex(const Vector& point, double value) {
  const int h = s_.HighVertex;
  for (int j = 1; j <= p_; ++j) X(j, h) = point[j];
  F(h) = value;
}

// ---------------------------------------------------------------------------
// The simplex

bool SimplexRun::BuildInitialSimplex() {
  if (!EvaluateVertex(1)) return false;
  for (int k = 2; k <= p_ + 1; ++k)
    for (int j = 1; j <= p_; ++j) X(j, k) = X(j, 1);
  for (int k = 2; k <= p_ + 1; ++k) {
    X(k - 1, k) += wb_.free.FreeSteps[k - 1];
    if (!EvaluateVertex(k)) return false;
  }
  FindExtremesAndCentroid();
  return true;
}

void SimplexRun::FindExtremesAndCentroid() {
  int low = 1, high = 1;
  for (int k = 2; k <= p_ + 1; ++k) {
    if (F(k) >= F(low)) {
      if (F(k) > F(high)) high = k;
    } else {
      low = k;
    }
  }
  s_.LowVertex = low;
  s_.HighVertex = high;
  const int centroid = s_.CentroidColumn;
  for (int j = 1; j <= p_; ++j) {
    double sum = 0.0;
    for (int k = 1; k <= p_ + 1; ++k) sum += X(j, k);
    X(j, centroid) = (sum - X(j, high)) / p_;
  }
}

bool SimplexRun::SimplexStep() {
  const int m = s_.CentroidColumn;
  Vector& reflection = s_.TrialPoint;
  for (int j = 1; j <= p_; ++j) reflection[j] = 2.0 * X(j, m) - X(j, s_.HighVertex);
  double fr = 0.0;
  if (!Evaluate(reflection, fr)) return false;

  s_.ImprovedCount = 0;
  for (int k = 1; k <= p_ + 1; ++k)
    if (fr < F(k)) ++s_.ImprovedCount;
  s_.ActionText = kReflection;

  if (s_.ImprovedCount == p_ + 1) {
    Vector& extension = s_.ExtensionPoint;
    for (int j = 1; j <= p_; ++j) extension[j] = 2.0 * reflection[j] - X(j, m);
    double fe = 0.0;
    if (!Evaluate(extension, fe)) return false;
    if (fe >= fr) {
      ReplaceHighestVertex(reflection, fr);
    } else {
      ReplaceHighestVertex(extension, fe);
      s_.ActionText = kExtension;
    }
    return true;
  }
  if (s_.ImprovedCount > 1) {
    ReplaceHighestVertex(reflection, fr);
    return true;
  }
  if (s_.ImprovedCount == 1) {
    ReplaceHighestVertex(reflection, fr);
  } else {
    s_.ActionText.clear();
  }

  // Contraction toward the centroid from the (possibly just reflected) highest vertex.
  const int h = s_.HighVertex;
  for (int j = 1; j <= p_; ++j) point_[j] = 0.5 * X(j, h) + 0.5 * X(j, m);
  double fk = 0.0;
  if (!Evaluate(point_, fk)) return false;
  const bool reflected = s_.ActionText == kReflection;
  if (fk < F(h)) {
    ReplaceHighestVertex(point_, fk);
    s_.ActionText = reflected ? kReflectionContraction : kContraction;
    return true;
  }
  s_.ActionText = reflected ? kReflectionReduction : kReduction;
  return Reduce();
}

// Every vertex but the lowest moves halfway toward it.
bool SimplexRun::Reduce() {
  const int low = s_.LowVertex;
  for (int k = 1; k <= p_ + 1; ++k) {
    if (k == low) continue;
    for (int j = 1; j <= p_; ++j) X(j, k) = (X(j, k) - X(j, low)) * 0.5 + X(j, low);
    if (!EvaluateVertex(k)) return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Convergence

bool SimplexRun::TestConvergence() {
  const double lowest = F(s_.LowVertex);
  const double gap = std::fabs(F(s_.HighVertex) - lowest);
  const double limit = wb_.alg.SimplexLimit;
  if (limit >= 0) {
    if (gap < limit) return VerifyConvergence();
    return true;
  }
  if (lowest == 0.0) {
    abort_ = Abort::ZeroValue;
    return false;
  }
  if (gap / std::fabs(lowest) < std::fabs(limit)) return VerifyConvergence();
  return true;
}

bool SimplexRun::VerifyConvergence() {
  SetPanel(desktop_, 1, "Verifying convergence by performing an axial search");
  int failingParameter = 0;
  bool failed = false;
  if (!AxialSearch(failingParameter, failed)) return false;
  SetPanel(desktop_, 1, "");

  if (failed) {
    if (s_.RestartCount >= 1) SetPanel(desktop_, 4, "Multiple restarts indicate a tuning problem!");
    ++s_.RestartCount;
    SetPanel(desktop_, 3,
             "Last failure of convergence verification caused by parameter # " +
                 IntText(failingParameter));
    // Restart around the improved point with reduced steps.
    for (int j = 1; j <= p_; ++j) X(j, 1) = s_.TrialPoint[j];
    if (!EvaluateVertex(1)) return false;
    for (int k = 2; k <= p_ + 1; ++k) {
      X(k - 1, k) += wb_.alg.StepReductionFraction * wb_.free.FreeSteps[k - 1];
      if (!EvaluateVertex(k)) return false;
    }
    FindExtremesAndCentroid();
    return true;
  }

  if (ProfileOn()) {
    outcome_ = SimplexOutcome::ProfilePointDone;
    const int pinned = wb_.state.EvaluatedParameter;
    const Vector& values = wb_.alg.Values;
    profileAbscissa_ = pinned >= values.Lo() && pinned <= values.Hi() ? values[pinned] : 0.0;
    s_.StopFlag = true;
    return true;
  }
  AcceptMinimum();
  return true;
}

void SimplexRun::AcceptMinimum() {
  SetLowerText(SimplexResultText(wb_));
  if (wb_.alg.FileOutputFrequency != 0 && wb_.log.IsOpen())
    wb_.log.Write(SimplexFinalLogBlock(wb_));
  desktop_.Inform("Simplex minimum", "Minimum found using Simplex!");
  wb_.state.InterruptRequested = false;
  desktop_.ClearProgressPanels();
  s_.StopFlag = true;
  outcome_ = SimplexOutcome::Converged;
  if (wb_.state.PriorsActive) view_.ShowPriorReview();
}

// Moves each coordinate of the lowest vertex by a reduced step both ways; a
// clearly better point fails the verification. Returns false only when the
// objective was not finite.
bool SimplexRun::AxialSearch(int& failingParameter, bool& failed) {
  SetPanel(desktop_, 3, "");
  const int low = s_.LowVertex;
  const double fl = F(low);
  const double limit = wb_.alg.SimplexLimit;
  const double threshold = limit > 0 ? limit : limit == 0 ? 0.0 : std::fabs(limit * fl);
  failed = false;
  for (int j = 1; j <= p_; ++j) {
    const double step = wb_.alg.StepReductionFraction * wb_.free.FreeSteps[j];
    for (int side = 0; side < 2; ++side) {
      X(j, low) += side == 0 ? step : -2.0 * step;
      double f = 0.0;
      if (!AxialCall(f)) return false;
      if (f < fl - threshold) {
        CopyVertex(low, s_.TrialPoint);
        failingParameter = wb_.free.FreeIndex[j];
        failed = true;
        return true;
      }
      ShowAxialCall(2 * j - 1 + side);
    }
    X(j, low) += step;
  }
  SetPanel(desktop_, 2, " ");
  return true;
}

bool SimplexRun::AxialCall(double& value) {
  CopyVertex(s_.LowVertex, point_);
  return Evaluate(point_, value);
}

void SimplexRun::ShowAxialCall(int call) {
  SetPanel(
      desktop_, 2,
      "Axial function call " + FormatNumber(call, "###0") + " of " + FormatNumber(2 * p_, "###0"));
}

// ---------------------------------------------------------------------------
// Questions

void SimplexRun::RequestStop() {
  s_.StopFlag = true;
  s_.ReportNow = true;
  SetPanel(desktop_, 1, kOneMoment);
  for (int panel = 2; panel <= 4; ++panel) SetPanel(desktop_, panel, "");
}

void SimplexRun::AskToContinuePastMaximum() {
  const Answer answer = desktop_.Ask(
      kMinimizationTitle, "Maximum number of function calls reached, do you want to continue?",
      Buttons::YesNo, Icon::Question);
  if (answer == Answer::Yes) {
    wb_.state.FunctionCallCount = 0;
  } else {
    RequestStop();
  }
}

void SimplexRun::PollInterrupt() {
  desktop_.Yield();
  if (!wb_.state.InterruptRequested) return;
  wb_.state.InterruptRequested = false;
  view_.SetInterruptEnabled(true);
  SetPanel(desktop_, 1, "");
  if (!ProfileOn()) {
    const Answer answer =
        desktop_.Ask(kInterruptTitle, "Interrupt received. Do you want to quit minimizing?",
                     Buttons::YesNo, Icon::Question);
    if (answer == Answer::Yes) {
      RequestStop();
    } else {
      s_.ReportNow = false;
    }
    return;
  }
  const Answer quit =
      desktop_.Ask(kInterruptTitle, "Interrupt received. Do you want to quit the ML procedure?",
                   Buttons::YesNo, Icon::Question);
  if (quit == Answer::Yes) {
    s_.StopFlag = true;
    s_.ReportNow = true;
    outcome_ = SimplexOutcome::ProfileQuit;
    return;
  }
  const Answer next =
      desktop_.Ask(kInterruptTitle, "Do you want to continue starting with the NEXT point?",
                   Buttons::YesNo, Icon::Question, 2);
  if (next == Answer::Yes) {
    s_.StopFlag = true;
    s_.ReportNow = false;
    outcome_ = SimplexOutcome::ProfileNextPoint;
  } else {
    s_.ReportNow = true;
  }
}

// ---------------------------------------------------------------------------
// Output

void SimplexRun::SetLowerText(const std::string& text) {
  s_.ProgressText = text;
  view_.SetLowerText(text);
  reportSkipped_ = false;
}

void SimplexRun::ShowInitialSimplex() {
  SetPanel(desktop_, 1, "");
  desktop_.Yield();
  if (wb_.alg.FileOutputFrequency != 0 && wb_.log.IsOpen())
    wb_.log.Write(SimplexInitialLogBlock(wb_));
  if (wb_.alg.TerminalOutputFrequency != 0) view_.SetUpperText(SimplexInitialPaneText(wb_));
}

void SimplexRun::ShowProgress(bool force) {
  if (!force && !view_.ReadyForText()) {
    // Too soon after the last repaint: the run shows the latest state at its end.
    reportSkipped_ = true;
    return;
  }
  SetLowerText(SimplexProgressPaneText(wb_, F(s_.LowVertex), F(s_.HighVertex)));
  if (ProfileOn()) ShowProfileStatus();
}

void SimplexRun::ShowProfileStatus() {
  const int point = profile_ ? profile_->point : 0;
  const int count = profile_ ? profile_->pointCount : 0;
  SetPanel(desktop_, 1, ProfileMinimizerText(wb_, point, count, p_ != 0, "0.00000E+00"));
  desktop_.Yield();
}

void SimplexRun::LogProgress() {
  if (!wb_.log.IsOpen()) return;
  wb_.log.Write(SimplexProgressLogBlock(wb_, F(s_.LowVertex), F(s_.HighVertex)));
}

// ---------------------------------------------------------------------------
// The run

void SimplexRun::PrepareArrays() {
  const Matrix& simplex = s_.SimplexMatrix;
  if (simplex.Rows() < p_ || simplex.Cols() < p_ + 2 || s_.VertexValues.Size() < p_ + 1 ||
      s_.TrialPoint.Size() < p_ || s_.ExtensionPoint.Size() < p_) {
    s_.Resize(p_);
  }
  point_.Resize(1, p_, 0.0);
  bestPoint_.Resize(1, p_, 0.0);
}

bool SimplexRun::CanContinueRetained() const {
  return wb_.state.SimplexRetained && s_.RetainedFreeCount == p_;
}

SimplexResult SimplexRun::RunWithoutFreeParameters() {
  // Nothing to move: the point is its own minimum (a profile point with every
  // other parameter fixed still needs its objective).
  double value = 0.0;
  if (!Evaluate(point_, value)) return FailNonFinite();
  s_.VertexValues[1] = value;
  s_.LowVertex = s_.HighVertex = 1;
  outcome_ = ProfileOn() ? SimplexOutcome::ProfilePointDone : SimplexOutcome::Stopped;
  if (ProfileOn()) {
    const int pinned = wb_.state.EvaluatedParameter;
    const Vector& values = wb_.alg.Values;
    profileAbscissa_ = pinned >= values.Lo() && pinned <= values.Hi() ? values[pinned] : 0.0;
  }
  return Finish(outcome_);
}

SimplexResult SimplexRun::Run() {
  view_.Open();  // both panes empty
  s_.ProgressText.clear();
  PrepareArrays();
  s_.CentroidColumn = p_ + 2;
  wb_.state.FunctionCallCount = 0;
  if (p_ == 0) return RunWithoutFreeParameters();

  if (!CanContinueRetained()) {
    view_.SetInterruptCaption("&Interrupt this minimization");
    view_.SetInterruptEnabled(true);
    for (int j = 1; j <= p_; ++j) X(j, 1) = wb_.free.FreeValues[j];
    SetPanel(desktop_, 1, "Building initial simplex...");
    SetPanel(desktop_, 2, "");
    desktop_.Yield();
    wb_.state.SimplexRetained = true;
    s_.RetainedFreeCount = p_;
    if (!BuildInitialSimplex()) return FailNonFinite();
    s_.ReportNow = false;
  } else {
    CountKeptVertices();
  }
  ShowInitialSimplex();

  const AlgorithmData& alg = wb_.alg;
  s_.TerminalCountdown = alg.TerminalOutputFrequency;
  s_.FileCountdown = alg.FileOutputFrequency;
  s_.IterationCount = 0;
  s_.RestartCount = 0;
  do {
    if (!SimplexStep()) return FailNonFinite();
    FindExtremesAndCentroid();
    ++s_.IterationCount;

    ScheduledOutput();

    s_.StopFlag = false;
    if (wb_.state.FunctionCallCount > alg.MaxFunctionCalls) AskToContinuePastMaximum();
    if (!s_.StopFlag && !TestConvergence()) {
      return abort_ == Abort::ZeroValue ? FailZeroValue() : FailNonFinite();
    }

    PollInterrupt();
    if (s_.ReportNow) {
      if (s_.TerminalCountdown > 1 && alg.TerminalOutputFrequency != 0) ShowProgress(true);
      s_.ReportNow = false;
    }
  } while (!s_.StopFlag);

  const bool quietEnd = outcome_ == SimplexOutcome::ProfileNextPoint;
  if (reportSkipped_ && alg.TerminalOutputFrequency != 0 && !quietEnd) ShowProgress(true);
  return Finish(outcome_);
}

// Reports come at iterations 1, f+1, 2f+1, ... of each frequency f (0 = never).
void SimplexRun::ScheduledOutput() {
  const AlgorithmData& alg = wb_.alg;
  if (s_.TerminalCountdown == alg.TerminalOutputFrequency && alg.TerminalOutputFrequency != 0) {
    s_.TerminalCountdown = 1;
    ShowProgress(false);
  } else if (s_.TerminalCountdown > 0) {
    ++s_.TerminalCountdown;
  }
  if (s_.FileCountdown == alg.FileOutputFrequency && alg.FileOutputFrequency != 0) {
    s_.FileCountdown = 1;
    LogProgress();
  } else if (s_.FileCountdown > 0) {
    ++s_.FileCountdown;
  }
}

void SimplexRun::CopyLowestIntoValues() {
  for (int j = 1; j <= p_; ++j) wb_.alg.Values[wb_.free.FreeIndex[j]] = X(j, s_.LowVertex);
}

SimplexResult SimplexRun::Finish(SimplexOutcome outcome) {
  CopyLowestIntoValues();
  desktop_.ClearProgressPanels();
  SimplexResult result;
  result.outcome = outcome;
  result.minimum = F(s_.LowVertex);
  result.profileAbscissa = profileAbscissa_;
  result.finalText = s_.ProgressText;
  return result;
}

SimplexResult SimplexRun::FailZeroValue() {
  desktop_.Inform("Simplex error",
                  "A function value of zero has caused a division by zero error.\n"
                  "Reset the tolerance to ABSolute or otherwise correct model",
                  Icon::Exclamation);
  desktop_.ClearProgressPanels();
  SimplexResult result;
  result.outcome = SimplexOutcome::ZeroValueError;
  result.minimum = F(s_.LowVertex);
  result.finalText = s_.ProgressText;
  return result;
}

// A NaN or infinite objective must never become a vertex: the run stops,
// the parameters take the best finite point seen (kept vertices included),
// and the simplex is dropped so the next run starts afresh from there: a
// reduction or restart cut short leaves vertices whose values are stale, and
// a kept simplex would step onto the same non-finite point again.
SimplexResult SimplexRun::FailNonFinite() {
  std::string text =
      "The objective function is not a finite number (NaN or infinity) at "
      "function call " +
      IntText(wb_.state.FunctionCallCount) + ".\n";
  if (haveBest_) {
    for (int j = 1; j <= p_; ++j) wb_.alg.Values[wb_.free.FreeIndex[j]] = bestPoint_[j];
    text +=
        "Simplex minimization stops; the parameter values are those of the best finite "
        "point found.";
  } else {
    text += "Simplex minimization stops; the parameter values are unchanged.";
  }
  desktop_.Inform("Simplex error", text, Icon::Exclamation);
  wb_.state.SimplexRetained = false;
  desktop_.ClearProgressPanels();
  SimplexResult result;
  result.outcome = SimplexOutcome::NonFinite;
  result.minimum = haveBest_ ? bestValue_ : std::numeric_limits<double>::quiet_NaN();
  result.finalText = s_.ProgressText;
  return result;
}

}  // namespace

SimplexResult RunSimplex(Workbench& wb, Desktop& desktop, SimplexView& view,
                         const SimplexProfilePoint* profile) {
  SimplexRun run(wb, desktop, view, profile);
  return run.Run();
}

}  // namespace estimetrix
