#pragma once
// The Marquardt minimizer: a damped Newton iteration on the free parameters
// with numerical (central-difference) or analytical derivatives, an axial
// search that must confirm every apparent convergence, and a progress window
// seen through MarquardtView.

#include <string>

namespace estimetrix {

class Desktop;
struct Workbench;

// The progress window as the run sees it. The Qt window implements it; tests
// implement it with strings.
class MarquardtView {
 public:
  virtual ~MarquardtView() = default;
  // Shows the window without blocking (the text font depends on freeCount).
  virtual void Show(int freeCount) = 0;
  // Closes the window (the run does so on frustration and decomposition failure).
  virtual void Close() = 0;
  virtual void SetText(const std::string& text) = 0;
  virtual void SetInterruptEnabled(bool enabled) = 0;
  virtual void SetInterruptCaption(const std::string& caption) = 0;
  // Shows and enables, or hides and disables, "&Next iteration" and "&Continue".
  virtual void SetDerivativeButtonsVisible(bool visible) = 0;
  // Called between yields while the derivative display waits for a button, so
  // a window can sleep briefly instead of spinning.
  virtual void Idle() {}
};

// How a run ended.
enum class MarquardtOutcome {
  Converged,            // the axial search confirmed the minimum
  Frustrated,           // damping above 1E20, 25 failed trials, or the fifth verification
  Stopped,              // iteration limit reached, or the user chose to quit
  Interrupted,          // the user chose to quit and the run ended at a verification
  DerivativesMissing,   // analytical derivatives chosen but the model supplied none
  DecompositionFailed,  // an all-zero row in the damped system
  NonFiniteObjective,   // the model returned NaN or infinity; Values holds the best finite point
};

// What an Interrupt during a likelihood profile asked for (the run's outcome
// is then Interrupted).
enum class ProfileRequest {
  None,
  Quit,       // the profile ends after this point
  NextPoint,  // this point ends here; the profile goes on with the next one
};

// When the likelihood-profile procedure runs the minimizer once per point.
struct MarquardtProfilePoint {
  int point = 0;       // 1-based number of the profile point
  int pointCount = 0;  // number of profile points
};

struct MarquardtResult {
  MarquardtOutcome outcome = MarquardtOutcome::Stopped;
  double objective = 0.0;  // at the point left in Values
  ProfileRequest profile = ProfileRequest::None;
};

// The questions before a run: analytical or numerical derivatives, the
// acknowledgement, and whether to show derivatives after each iteration.
// Leaves MarquardtDerivatives empty when the user cancels.
void MarquardtSetup(Workbench& wb, Desktop& desktop);

// One run from Values. Preconditions: NormalizeFuseGroups and
// BuildFreeParameterList done, FreeCount >= 1, the derivative arrays sized for
// the chosen derivatives. On return Values and FreeValues hold the best point
// accepted, whatever the way the run ended.
// While a likelihood profile runs (ProfileActive), `profile` names the point
// for the status line, and an Interrupt asks whether to quit the profile.
MarquardtResult MarquardtMinimize(Workbench& wb, Desktop& desktop, MarquardtView& view,
                                  const MarquardtProfilePoint* profile = nullptr);

// Sizes the work arrays a run needs for the chosen derivatives ("A" or "N"):
// the 2 x N x N array for numerical ones, the zeroed model gradient and
// second-derivative arrays for analytical ones.
void SizeMarquardtDerivatives(Workbench& wb);

// The message shown when the model returns a value that is not a finite number.
inline constexpr const char* kMarquardtNonFiniteTitle = "Marquardt minimization stopped";

}  // namespace estimetrix
