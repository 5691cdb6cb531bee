#include "engine/minimizers/marquardt.h"

#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <vector>

#include "engine/base/format.h"
#include "engine/minimizers/marquardt_report.h"
#include "engine/minimizers/matrix.h"
#include "engine/minimizers/profile_text.h"
#include "engine/objective/evaluation_batch.h"
#include "engine/objective/objective.h"
#include "engine/state/workbench.h"
#include "platform/desktop.h"

namespace estimetrix {

namespace {

// Fixed in the code; none is a user setting.
constexpr double kInitialDamping = 0.001;
constexpr double kDampingUp = 10.0;
constexpr double kDampingDown = 0.1;
constexpr double kDampingLimit = 1E20;
constexpr int kLastTrial = 25;
constexpr int kMaxVerifications = 5;
constexpr double kDerivativeStep = 0.001;

constexpr const char* kMarquardtTitle = "Marquardt minimization";
constexpr const char* kVerifying = "Verifying convergence by performing an axial search";
constexpr const char* kCalculatingDerivatives = "Calculating derivatives, one moment please...";

std::string Lines(std::initializer_list<const char*> lines) {
  std::string text;
  for (const char* line : lines) {
    if (!text.empty()) text += "\n";
    text += line;
  }
  return text;
}

class MarquardtRun {
 public:
  MarquardtRun(Workbench& wb, Desktop& desktop, MarquardtView& view,
               const MarquardtProfilePoint* profile)
      : wb_(wb),
        m_(wb.marquardt),
        desktop_(desktop),
        view_(view),
        profile_(profile),
        p_(wb.free.FreeCount) {}

  MarquardtResult Run();

 private:
  // What a step of the run decided.
  enum class Flow { Continue, Exit };

  void Panel(int panel, const std::string& text) {
    desktop_.SetStatus(StatusBar::Progress, panel, text);
  }

  Flow Start();
  Flow PollInterrupt();
  Flow PollProfileInterrupt();
  void ShowProfileStatus();
  Flow Trial();
  Flow Accept();
  Flow Solve();
  Flow Verify();
  Flow RejectConvergence();
  bool ConvergenceTestPassed() const;
  bool Improves(double f, double f0) const;

  Flow Derivatives(bool firstOfRun);
  Flow NumericalDerivatives();
  Flow ParallelDerivativeValues(const Vector& h);
  Flow AnalyticalDerivatives(bool checkSupplied);
  Flow AxialSearch(double& f0, bool& rejected);

  bool BuildAndSolveSystem();
  void CopyDisplayDerivatives();
  void TakeTrialIntoValues();
  bool Evaluate(Vector& vector, int nf, double& f, const char* where);
  bool Finite(double f, const char* where);

  Flow Converged();
  Flow Frustrated();
  Flow Stopped();
  Flow End(MarquardtOutcome outcome);

  Workbench& wb_;
  MarquardtState& m_;
  Desktop& desktop_;
  MarquardtView& view_;
  const MarquardtProfilePoint* profile_;
  const int p_;

  double fOld_ = 0.0, fNew_ = 0.0;
  double fBest_ = 0.0;  // objective of the point held in Values
  double lambda_ = kInitialDamping;
  int k_ = 0;
  int verifications_ = 0;
  bool stopRequest_ = false;  // the user chose to quit
  Vector axialWork_;
  MarquardtResult result_;
};

MarquardtResult MarquardtRun::Run() {
  if (Start() == Flow::Exit) return result_;
  k_ = 0;
  for (;;) {
    Panel(3, "Working to improve estimates. Objective function for trial # " + IntText(k_) +
                 ", is : " + FormatNumber(fNew_, " 0.00000E+00"));
    if (PollInterrupt() == Flow::Exit) return result_;
    if (Trial() == Flow::Exit) return result_;
    if (Solve() == Flow::Exit) return result_;
  }
}

MarquardtRun::Flow MarquardtRun::Start() {
  const int n = wb_.alg.ParameterCount;
  if (m_.TrialVector.Size() != n || m_.IterationHessian.Rows() < p_) m_.Resize(n, p_);
  if (wb_.matrix.HessianMatrix.Rows() < p_) wb_.matrix.Resize(p_);
  view_.Show(p_);
  view_.SetInterruptEnabled(false);
  view_.SetText("");
  Panel(1, "Initial function call, one moment please...");
  desktop_.Yield();
  wb_.state.FunctionCallCount = 0;
  m_.IterationCount = 0;
  verifications_ = 0;
  m_.TrialVector = wb_.alg.Values;
  axialWork_ = wb_.alg.Values;
  ++wb_.state.FunctionCallCount;
  if (!Evaluate(m_.TrialVector, wb_.state.FunctionCallCount, fNew_, "at the starting point"))
    return Flow::Exit;
  fOld_ = fBest_ = fNew_;
  stopRequest_ = false;
  wb_.state.MarquardtInterruptRequested = false;
  view_.SetInterruptCaption("&Interrupt this minimization");
  view_.SetInterruptEnabled(true);
  Panel(2, "");
  Panel(1, "");
  return Flow::Continue;
}

// The interrupt request is acted on once per trial, so a long derivative
// computation finishes before the question is asked.
MarquardtRun::Flow MarquardtRun::PollInterrupt() {
  if (!wb_.state.MarquardtInterruptRequested) return Flow::Continue;
  wb_.state.MarquardtInterruptRequested = false;
  view_.SetInterruptEnabled(true);
  Panel(2, "");
  if (wb_.state.ProfileActive) return PollProfileInterrupt();
  const Answer answer =
      desktop_.Ask("Marquardt interrupt", "Interrupt received. Do you want to quit minimizing?",
                   Buttons::YesNo, Icon::Question);
  if (answer == Answer::Yes) {
    stopRequest_ = true;
    Panel(1, "Interrupt will occur once this iteration is complete");
  } else {
    stopRequest_ = false;
  }
  return Flow::Continue;
}

// During a likelihood profile an Interrupt ends this point at once: either
// the whole profile ends after it, or the profile goes on with the next point.
MarquardtRun::Flow MarquardtRun::PollProfileInterrupt() {
  const Answer quit =
      desktop_.Ask("Marquardt interrupt", "Interrupt received. Do you want to quit the ML procedure?",
                   Buttons::YesNo, Icon::Question);
  if (quit == Answer::Yes) {
    result_.profile = ProfileRequest::Quit;
    return End(MarquardtOutcome::Interrupted);
  }
  const Answer next =
      desktop_.Ask("Marquardt interrupt", "Do you want to continue starting with the NEXT point?",
                   Buttons::YesNo, Icon::Question, 2);
  if (next == Answer::Yes) {
    result_.profile = ProfileRequest::NextPoint;
    return End(MarquardtOutcome::Interrupted);
  }
  stopRequest_ = false;
  return Flow::Continue;
}

// The status line of a profile point after each accepted iteration.
void MarquardtRun::ShowProfileStatus() {
  const int point = profile_ ? profile_->point : 0;
  const int count = profile_ ? profile_->pointCount : 0;
  Panel(1, ProfileMinimizerText(wb_, point, count, p_ != 0, "0.0000E+00"));
  desktop_.Yield();
}

// Trial k: k = 0 starts the run with fresh derivatives; k > 0 evaluates the
// point the last solve proposed.
MarquardtRun::Flow MarquardtRun::Trial() {
  if (k_ == 0) {
    lambda_ = kInitialDamping;
    Panel(3, kCalculatingDerivatives);
    return Derivatives(true);
  }
  ++wb_.state.FunctionCallCount;
  if (!Evaluate(m_.TrialVector, wb_.state.FunctionCallCount, fNew_, "at a trial point"))
    return Flow::Exit;
  if (fNew_ > fOld_) {
    lambda_ *= kDampingUp;
    return Flow::Continue;
  }
  return Accept();
}

// A trial no worse than the current point becomes the current point.
MarquardtRun::Flow MarquardtRun::Accept() {
  k_ = 0;
  ++m_.IterationCount;
  TakeTrialIntoValues();
  fBest_ = fNew_;
  MarquardtProgressReport(wb_, desktop_, view_, fNew_, fOld_);
  if (wb_.state.ProfileActive) ShowProfileStatus();
  desktop_.Yield();
  if (wb_.alg.FileOutputFrequency > 0) MarquardtProgressLog(wb_, fNew_, fOld_);
  if (ConvergenceTestPassed()) return Verify();
  // A maximum of 0 or less stops the run after its first accepted iteration,
  // just as the Simplex asks after its first iteration when its count already
  // exceeds such a maximum; so a run with a tolerance of 0 always ends.
  if (stopRequest_ || m_.IterationCount >= wb_.alg.MaxFunctionCalls) return Stopped();
  fOld_ = fNew_;
  Panel(3, kCalculatingDerivatives);
  if (Derivatives(false) == Flow::Exit) return Flow::Exit;
  lambda_ *= kDampingDown;
  return Flow::Continue;
}

bool MarquardtRun::ConvergenceTestPassed() const {
  const double tc = wb_.alg.SimplexLimit;
  if (tc > 0) return std::fabs(fOld_ - fNew_) < tc;
  if (tc < 0) {
    // The relative change from a zero objective is undefined: only no change
    // at all counts as converged then.
    if (fOld_ == 0.0) return fNew_ == 0.0;
    return std::fabs((fOld_ - fNew_) / fOld_) <= std::fabs(tc);
  }
  return false;
}

// An axial point improves on f0 only by more than the tolerance.
bool MarquardtRun::Improves(double f, double f0) const {
  const double tc = wb_.alg.SimplexLimit;
  if (!(f < f0)) return false;
  if (tc > 0) return std::fabs(f0 - f) > tc;
  if (tc < 0) return f0 == 0.0 || std::fabs((f0 - f) / f0) > std::fabs(tc);
  return false;
}

// Solves the damped system for the next trial. After the last trial of an
// iteration the point is checked by an axial search instead.
MarquardtRun::Flow MarquardtRun::Solve() {
  for (;;) {
    if (k_ == 0) CopyDisplayDerivatives();
    if (lambda_ > kDampingLimit) return Frustrated();
    if (!BuildAndSolveSystem()) {
      view_.Close();
      return End(MarquardtOutcome::DecompositionFailed);
    }
    for (int j = 1; j <= p_; ++j)
      m_.TrialVector[wb_.free.FreeIndex[j]] = wb_.free.FreeValues[j] - m_.StepColumn(j, 1);
    if (k_ != kLastTrial) {
      ++k_;
      return Flow::Continue;
    }
    m_.TrialVector = wb_.alg.Values;
    Panel(1, kVerifying);
    bool rejected = false;
    if (AxialSearch(fOld_, rejected) == Flow::Exit) return Flow::Exit;
    ++verifications_;
    if (!rejected || verifications_ == kMaxVerifications) return Frustrated();
    if (stopRequest_) {
      view_.Close();
      return End(MarquardtOutcome::Interrupted);
    }
    if (RejectConvergence() == Flow::Exit) return Flow::Exit;
  }
}

// The system A d = b with A the iteration Hessian whose diagonal is replaced
// by |H(i,i)| (1 + lambda), and b the gradient; decomposed in HessianMatrix so
// the iteration Hessian stays intact for the next trial.
bool MarquardtRun::BuildAndSolveSystem() {
  Matrix& a = wb_.matrix.HessianMatrix;
  for (int i = 1; i <= p_; ++i) {
    for (int j = 1; j <= p_; ++j) a(i, j) = m_.IterationHessian(i, j);
    a(i, i) = std::fabs(m_.IterationHessian(i, i)) * (1.0 + lambda_);
    m_.StepColumn(i, 1) = m_.FreeGradient[i];
  }
  wb_.matrix.DecompositionFailed = false;
  LuDecompose(wb_, desktop_, p_);
  if (wb_.matrix.DecompositionFailed) return false;
  LuSolve(wb_, desktop_, p_, 1, m_.StepColumn);
  return true;
}

void MarquardtRun::CopyDisplayDerivatives() {
  m_.DisplayGradient.Resize(1, p_, 0.0);
  m_.DisplayHessian.Resize(1, p_, 1, p_, 0.0);
  for (int i = 1; i <= p_; ++i) {
    m_.DisplayGradient[i] = m_.FreeGradient[i];
    for (int j = i; j <= p_; ++j) m_.DisplayHessian(i, j) = m_.IterationHessian(i, j);
  }
}

void MarquardtRun::TakeTrialIntoValues() {
  for (int j = 1; j <= p_; ++j) {
    const int i = wb_.free.FreeIndex[j];
    wb_.alg.Values[i] = m_.TrialVector[i];
    wb_.free.FreeValues[j] = m_.TrialVector[i];
  }
  // Keep the stored followers in step with their leaders.
  ExpandFusedParameters(wb_.alg.Values, wb_.alg, wb_.fuse, wb_.state);
}

MarquardtRun::Flow MarquardtRun::Verify() {
  Panel(1, kVerifying);
  bool rejected = false;
  // The reference is still the objective of the point accepted before this
  // iteration's step.
  if (AxialSearch(fOld_, rejected) == Flow::Exit) return Flow::Exit;
  ++verifications_;
  if (!rejected) return Converged();
  if (verifications_ == kMaxVerifications) return Frustrated();
  if (stopRequest_) return End(MarquardtOutcome::Interrupted);
  return RejectConvergence();
}

// The axial search moved the point: start afresh from there.
MarquardtRun::Flow MarquardtRun::RejectConvergence() {
  Panel(1, "Convergence rejected");
  Panel(3, kCalculatingDerivatives);
  lambda_ = kInitialDamping;
  k_ = 0;
  TakeTrialIntoValues();
  fBest_ = fOld_;
  return Derivatives(false);
}

MarquardtRun::Flow MarquardtRun::Derivatives(bool firstOfRun) {
  if (wb_.state.MarquardtDerivatives == DerivativeChoice::Analytical) return AnalyticalDerivatives(firstOfRun);
  return NumericalDerivatives();
}

// Central differences with relative steps: p(p+1) counted evaluations.
MarquardtRun::Flow MarquardtRun::NumericalDerivatives() {
  const auto& free = wb_.free;
  if (m_.DerivativeValues.Size() != 2 || m_.DerivativeValues[1].Rows() < p_)
    wb_.marquardt.ResizeNumericalDerivatives(p_);
  Vector h(1, p_, 0.0);
  for (int i = 1; i <= p_; ++i)
    h[i] = free.FreeValues[i] == 0.0 ? kDerivativeStep : free.FreeValues[i] * kDerivativeStep;

  const bool profiling = wb_.state.ProfileActive;
  const std::string total = FormatNumber(p_ * (p_ + 1), "###0");
  int count = 0;
  const bool parallel = ParallelEvaluation(wb_);
  if (parallel && ParallelDerivativeValues(h) == Flow::Exit) return Flow::Exit;
  for (int i = 1; i <= p_ && !parallel; ++i) {
    for (int j = i; j <= p_; ++j) {
      for (int pass = 1; pass <= 2; ++pass) {
        const double sign = pass == 1 ? 1.0 : -1.0;
        m_.DerivativeWork = wb_.alg.Values;
        for (int q = 1; q <= p_; ++q) m_.DerivativeWork[free.FreeIndex[q]] = free.FreeValues[q];
        m_.DerivativeWork[free.FreeIndex[i]] += sign * h[i];
        if (j != i) m_.DerivativeWork[free.FreeIndex[j]] += sign * h[j];
        ++wb_.state.FunctionCallCount;
        ++count;
        if (!profiling) {
          Panel(1, "Hessian function call " + FormatNumber(count, "###0") + " of " + total);
          desktop_.Yield();
        }
        double f = 0.0;
        if (!Evaluate(m_.DerivativeWork, wb_.state.FunctionCallCount, f,
                      "while calculating derivatives"))
          return Flow::Exit;
        m_.DerivativeValues[pass](i, j) = f;
      }
      if (j == i)
        m_.FreeGradient[i] =
            (m_.DerivativeValues[1](i, i) - m_.DerivativeValues[2](i, i)) / (2.0 * h[i]);
    }
  }

  const Matrix& plus = m_.DerivativeValues[1];
  const Matrix& minus = m_.DerivativeValues[2];
  const double f0 = fOld_;
  for (int i = 1; i <= p_; ++i) {
    m_.IterationHessian(i, i) = (plus(i, i) + minus(i, i) - 2.0 * f0) / (h[i] * h[i]);
    for (int j = i + 1; j <= p_; ++j) {
      const double hij = (plus(i, j) + minus(i, j) - plus(i, i) - minus(i, i) - plus(j, j) -
                          minus(j, j) + 2.0 * f0) /
                         (2.0 * h[i] * h[j]);
      m_.IterationHessian(i, j) = m_.IterationHessian(j, i) = hij;
    }
    desktop_.Yield();
  }
  return Flow::Continue;
}

// The derivative points of NumericalDerivatives evaluated side by side, each
// with the call number the serial loop gives it. The values, the gradient and
// FunctionCallCount are then taken in the serial order, so a value that is
// not a finite number stops the run where the serial loop would have.
MarquardtRun::Flow MarquardtRun::ParallelDerivativeValues(const Vector& h) {
  const auto& free = wb_.free;
  Vector centre = wb_.alg.Values;
  for (int q = 1; q <= p_; ++q) centre[free.FreeIndex[q]] = free.FreeValues[q];
  std::vector<BatchPoint> points;
  points.reserve(static_cast<size_t>(p_ * (p_ + 1)));
  int nf = wb_.state.FunctionCallCount;
  for (int i = 1; i <= p_; ++i) {
    for (int j = i; j <= p_; ++j) {
      for (int pass = 1; pass <= 2; ++pass) {
        const double sign = pass == 1 ? 1.0 : -1.0;
        BatchPoint point{centre, ++nf};
        point.vector[free.FreeIndex[i]] += sign * h[i];
        if (j != i) point.vector[free.FreeIndex[j]] += sign * h[j];
        points.push_back(std::move(point));
      }
    }
  }

  const bool profiling = wb_.state.ProfileActive;
  const std::string total = FormatNumber(p_ * (p_ + 1), "###0");
  const BatchResult result = EvaluateBatch(wb_, desktop_, points, [&](int finished) {
    if (!profiling && finished > 0)
      Panel(1, "Hessian function call " + FormatNumber(finished, "###0") + " of " + total);
    return true;  // an interrupt is acted on once per trial, after the derivatives
  });

  wb_.state.FunctionCallCount += result.evaluated;
  size_t index = 0;
  for (int i = 1; i <= p_; ++i) {
    for (int j = i; j <= p_; ++j) {
      for (int pass = 1; pass <= 2; ++pass, ++index) {
        const double f = result.objectives[index];
        if (!Finite(f, "while calculating derivatives")) return Flow::Exit;
        m_.DerivativeValues[pass](i, j) = f;
      }
      if (j == i)
        m_.FreeGradient[i] =
            (m_.DerivativeValues[1](i, i) - m_.DerivativeValues[2](i, i)) / (2.0 * h[i]);
    }
  }
  return Flow::Continue;
}

// From MODEL with NF = -2 at Values (no prior term). Only the first
// computation of a run checks that the model supplied anything.
MarquardtRun::Flow MarquardtRun::AnalyticalDerivatives(bool checkSupplied) {
  auto& alg = wb_.alg;
  const int n = alg.ParameterCount;
  if (wb_.gradient.Size() != n) wb_.gradient.Resize(1, n, 0.0);
  if (wb_.secondDerivatives.Rows() != n || wb_.secondDerivatives.Cols() != n)
    wb_.secondDerivatives.Resize(1, n, 1, n, 0.0);
  ExpandFusedParameters(alg.Values, alg, wb_.fuse, wb_.state);
  double scratch = 0.0;
  wb_.model->MODEL(scratch, alg.Values, alg.Steps, alg.Descriptions, alg.FuseCodes,
                   alg.ParameterCount, -2, wb_.state.ObservationCount, wb_.gradient,
                   wb_.secondDerivatives, wb_.state.AICcSampleSize);
  desktop_.Yield();
  const auto& index = wb_.free.FreeIndex;
  if (checkSupplied) {
    bool supplied = false;
    for (int i = 1; i <= p_ && !supplied; ++i)
      for (int j = i; j <= p_ && !supplied; ++j)
        supplied = wb_.secondDerivatives(index[i], index[j]) != 0.0;
    if (!supplied) {
      desktop_.Inform("Analytical derivatives missing",
                      "Sorry, analytical derivatives seem not to have been provided");
      End(MarquardtOutcome::DerivativesMissing);
      return Flow::Exit;
    }
  }
  for (int i = 1; i <= p_; ++i) {
    m_.FreeGradient[i] = wb_.gradient[index[i]];
    for (int j = 1; j <= p_; ++j)
      m_.IterationHessian(i, j) = wb_.secondDerivatives(index[i], index[j]);
  }
  return Flow::Continue;
}

// Verification: one step up and down each free parameter's axis from the
// trial point. Rejects the convergence when any of them improves on f0 by
// more than the tolerance, and moves the point to the best of them.
MarquardtRun::Flow MarquardtRun::AxialSearch(double& f0, bool& rejected) {
  auto& alg = wb_.alg;
  Panel(4, "");
  double fMin = f0;
  rejected = false;
  int best = 0;
  int calls = 0;
  const std::string total = FormatNumber(2 * p_, "###0");
  for (int a = 1; a <= alg.ParameterCount; ++a) {
    if (alg.Steps[a] == 0.0) continue;
    for (int sigma : {1, -1}) {
      axialWork_ = alg.Values;
      axialWork_[a] = m_.TrialVector[a] + sigma * alg.StepReductionFraction * alg.Steps[a];
      double f = 0.0;
      if (!Evaluate(axialWork_, 1, f, "during the axial search")) return Flow::Exit;
      ++calls;
      Panel(3, "Axial function call " + FormatNumber(calls, "###0") + " of " + total);
      if (Improves(f, f0)) {
        if (f < fMin) {
          fMin = f;
          best = sigma * a;
        }
        rejected = true;
        Panel(4, "Last failure of convergence verification caused by parameter # " +
                     IntText(std::abs(best)));
      }
      desktop_.Yield();
    }
  }
  Panel(3, "");
  if (rejected) {
    const int a = std::abs(best);
    const double sign = best > 0 ? 1.0 : -1.0;
    m_.TrialVector[a] += sign * alg.StepReductionFraction * alg.Steps[a];
    alg.Values[a] = m_.TrialVector[a];
    f0 = fMin;
    fBest_ = fMin;
  }
  ExpandFusedParameters(m_.TrialVector, alg, wb_.fuse, wb_.state);
  return Flow::Continue;
}

// Every objective goes through here: a value that is not a finite number is
// never taken as a trial's value or a minimum; the run stops instead and
// Values keeps the best finite point.
bool MarquardtRun::Evaluate(Vector& vector, int nf, double& f, const char* where) {
  f = EvaluateObjective(wb_, vector, nf);
  return Finite(f, where);
}

// False, with the message and the end of the run, for a value that is not a
// finite number.
bool MarquardtRun::Finite(double f, const char* where) {
  if (std::isfinite(f)) return true;
  const std::string what = std::isnan(f) ? "NaN" : "infinity";
  std::string text =
      "Marquardt stopped: the objective function returned " + what + " " + where + ".";
  if (m_.IterationCount > 0 || where != std::string("at the starting point")) {
    text +=
        "\n\nThe parameter values are those of the best point found, whose objective "
        "function is " +
        FormatNumber(fBest_, "####0.#####") + ".";
  } else {
    text += "\n\nThe parameter values are unchanged.";
  }
  Panel(1, "");
  Panel(3, "");
  desktop_.Inform(kMarquardtNonFiniteTitle, text, Icon::Exclamation);
  End(MarquardtOutcome::NonFiniteObjective);
  return false;
}

MarquardtRun::Flow MarquardtRun::Converged() {
  // Re-evaluated with NF = 1 and not counted.
  if (!Evaluate(m_.TrialVector, 1, fOld_, "at the minimum")) return Flow::Exit;
  fBest_ = fOld_;
  view_.SetInterruptEnabled(false);
  if (!wb_.state.ProfileActive) {
    MarquardtResultReport(wb_, desktop_, view_, fOld_);
    if (wb_.alg.FileOutputFrequency > 0) MarquardtResultLog(wb_, fOld_);
  }
  return End(MarquardtOutcome::Converged);
}

MarquardtRun::Flow MarquardtRun::Frustrated() {
  Panel(1, "");
  Panel(3, "");
  desktop_.Inform("Marquardt quits in frustration",
                  Lines({"Consider that:", "      (1) you're already at an acceptable minimum,",
                         "      (2) at least one parameter is too near a boundary,",
                         "      (3) at least one parameter is dead wrt the likelihood function,",
                         "      (4) a penalty function is affecting performance of the "
                         "derivatives or parameter improvements,",
                         "      (5) there are numerical inaccuracies near the current minimum, or",
                         "      (6) the model, or its implementation, is flawed"}));
  view_.Close();
  return End(MarquardtOutcome::Frustrated);
}

MarquardtRun::Flow MarquardtRun::Stopped() {
  view_.SetInterruptEnabled(true);
  Panel(2, "");
  Panel(3, "");
  desktop_.Inform("Marquart minimization stopped",
                  "Maximum number of iterations reached or an interrupt was received");
  return End(MarquardtOutcome::Stopped);
}

MarquardtRun::Flow MarquardtRun::End(MarquardtOutcome outcome) {
  desktop_.ClearProgressPanels();
  desktop_.Yield();
  result_.outcome = outcome;
  result_.objective = fBest_;
  return Flow::Exit;
}

}  // namespace

void MarquardtSetup(Workbench& wb, Desktop& desktop) {
  wb.state.MarquardtDerivatives = DerivativeChoice::None;
  const std::string question = Lines(
      {"Note: You must provide derivatives for calculating gradients and building the Hessian "
       "matrix.",
       "",
       "Numerical derivatives are provided automatically, whereas you must have provided "
       "analytical",
       "derivatives in your model code (i.e., in that section of Sub MODEL() accessed when "
       "NF=-2).",
       "",
       "WARNING: Analytical derivatives will fail if Bayesian prior probabilities contribute to "
       "the likelihood function.",
       "", "DO NOT USE ANALYTICAL DERIVATIVES IN CONJUNCTION WITH BAYESIAN PRIOR DISTRIBUTIONS!",
       "            THE PRIOR DISTRIBUTION FOR ALL PARAMETERS MUST BE UNIFORM-UNBOUNDED!", "",
       "Choose 'Yes' if you have provided ANALYTICAL derivatives; else 'No' to calculate "
       "NUMERICAL derivatives"});
  const Answer kind = desktop.Ask(kMarquardtTitle, question, Buttons::YesNoCancel, Icon::Question);
  if (kind == Answer::Yes) {
    wb.state.MarquardtDerivatives = DerivativeChoice::Analytical;
  } else if (kind == Answer::No) {
    wb.state.MarquardtDerivatives = DerivativeChoice::Numerical;
  } else {
    return;
  }
  desktop.Message({kMarquardtTitle,
                   kind == Answer::No
                       ? "You have chosen NUMERICAL derivatives - it's like choosing Pepsi"
                       : "You have chosen ANALYTICAL derivatives - it's like choosing Coke",
                   Buttons::Ok, Icon::None, 1});
  const std::string display = Lines(
      {"Do you want to see the partial derivatives of the likelihood function wrt the "
       "parameters at each iteration?",
       "",
       "If 'Yes', they will be displayed; then later choose 'Next iteration' to see the "
       "derivatives after the next iteration,",
       "           or 'Continue' to skip over the derivatives output.",
       "If 'No', then partial derivatives will not be displayed.", "",
       "Note: This is recommended and practical only for models with fewer than about a dozen "
       "parameters!",
       "           It is intended for use mainly during model building to verify the analytical "
       "derivative formulations."});
  const Answer show = desktop.Ask(kMarquardtTitle, display, Buttons::YesNo, Icon::Question);
  wb.marquardt.ShowDerivatives = show == Answer::Yes;
}

MarquardtResult MarquardtMinimize(Workbench& wb, Desktop& desktop, MarquardtView& view,
                                  const MarquardtProfilePoint* profile) {
  MarquardtRun run(wb, desktop, view, profile);
  return run.Run();
}

void SizeMarquardtDerivatives(Workbench& wb) {
  const int n = wb.alg.ParameterCount;
  const int p = wb.free.FreeCount;
  wb.marquardt.Resize(n, p);
  if (wb.state.MarquardtDerivatives == DerivativeChoice::Analytical) {
    wb.gradient.Resize(1, n, 0.0);
    wb.secondDerivatives.Resize(1, n, 1, n, 0.0);
  } else {
    wb.marquardt.ResizeNumericalDerivatives(p);
  }
}

}  // namespace estimetrix
