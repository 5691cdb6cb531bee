#pragma once
// The Nelder-Mead simplex search over the free parameters, with axial
// verification of a converged simplex and restarts around a better point.
// The search talks to its progress window through SimplexView and to the
// user through the Desktop.

#include <string>

namespace estimetrix {

class Desktop;
struct Workbench;

inline constexpr const char* kSimplexWindowCaption =
    "Simplex minimization (uses geometry; works best for models whose behaviour is markedly "
    "non-linear; initial progress is sensitive to step sizes)";

// The progress window (frmSimplex) as the search sees it.
class SimplexView {
 public:
  virtual ~SimplexView() = default;
  // Shows the window with both panes empty and Interrupt enabled.
  virtual void Open() = 0;
  virtual void SetUpperText(const std::string& text) = 0;
  virtual void SetLowerText(const std::string& text) = 0;
  virtual void SetInterruptCaption(const std::string& caption) = 0;
  virtual void SetInterruptEnabled(bool enabled) = 0;
  // False while the window repainted too recently; the search then skips an
  // intermediate progress report (it still shows the last one of a run).
  virtual bool ReadyForText() { return true; }
  // Called after a minimum was found while priors are in force.
  virtual void ShowPriorReview() {}
};

// A Simplex view with no window (the headless runner, benchmarks, tests): it
// declines every intermediate report, so only a run's final text is built.
class SilentSimplexView : public SimplexView {
 public:
  void Open() override {}
  void SetUpperText(const std::string&) override {}
  void SetLowerText(const std::string&) override {}
  void SetInterruptCaption(const std::string&) override {}
  void SetInterruptEnabled(bool) override {}
  bool ReadyForText() override { return false; }
};

// When the likelihood-profile procedure runs the search once per point.
struct SimplexProfilePoint {
  int point = 0;       // 1-based number of the profile point
  int pointCount = 0;  // number of profile points
};

enum class SimplexOutcome {
  Converged,         // verified minimum; "Minimum found using Simplex!" was shown
  Stopped,           // maximum of function calls or interrupt; best vertex in Values
  ZeroValueError,    // relative test with a lowest value of 0; Values untouched
  NonFinite,         // the objective was NaN or infinite; best finite point in Values
  ProfilePointDone,  // profile point verified (no report, no message)
  ProfileQuit,       // profile procedure is to end after this point
  ProfileNextPoint,  // this point ends without a final report
};

struct SimplexResult {
  SimplexOutcome outcome = SimplexOutcome::Stopped;
  double minimum = 0.0;          // lowest vertex value (best finite value for NonFinite)
  double profileAbscissa = 0.0;  // Values[EvaluatedParameter] at a verified profile point
  std::string finalText;         // the lower pane's text at the end of the run
};

// One run of the search (SimplexMinimize). Expects NormalizeFuseGroups and
// BuildFreeParameterList to have run and the simplex arrays to be sized.
SimplexResult RunSimplex(Workbench& wb, Desktop& desktop, SimplexView& view,
                         const SimplexProfilePoint* profile = nullptr);

}  // namespace estimetrix
