#include "engine/bayesian/prior_profile.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "engine/base/format.h"
#include "engine/objective/priors.h"
#include "engine/state/report_views.h"
#include "engine/state/workbench.h"
#include "platform/desktop.h"

namespace estimetrix {

namespace {

const char* const kPriorProfileTitle = "Evaluation of prior distributions";
constexpr int kDefaultPoints = 101;
constexpr int kMostPoints = 1001;

const char* const kPriorProfileExplanation =
    "This routine will create a series of plots to evaluate prior distributions.\n"
    "If the prior distribution is uniform-unbounded (U) no plots will be generated.\n"
    "First choose the parameter to be profiled, then the number of data points.\n"
    "This routine uses the moments (mean and SD) to set the domain of the parameter.";

const char* const kPlotMenu =
    "Choose plot 1 to get a likelihood profile plot. \n"
    "Choose plot 2 to get a Bayesian prior distribution. \n"
    "Choose plot 3 to get a mode-centered confidence region plot. \n"
    "Choose plot 4 to get a mean-centered confidence region plot. \n"
    "Choose plot 5 to get a left to right ascending cumulative plot. \n"
    "Choose plot 6 to get a left to right descending cumulative plot. \n"
    "Choose plot 7 to get a mode-centered Gaussian distribution plot. ";

// Asks until the answer is a whole number within [lo, hi]; nullopt for an
// empty answer or Cancel, which take the dialogue back to its start.
std::optional<int> AskWhole(Desktop& desktop, const std::string& prompt,
                            const std::string& defaultText, int lo, int hi) {
  for (;;) {
    const std::optional<std::string> answer = desktop.Input({kPriorProfileTitle, prompt, defaultText});
    if (!answer) return std::nullopt;
    if (answer->find_first_not_of(" \t") == std::string::npos) return std::nullopt;
    long long value = 0;
    if (StrictInteger(*answer, lo, hi, value)) return static_cast<int>(value);
  }
}

// 0 asks for the usual 101; fewer than 3 become 3; an even count one more,
// so that a middle point exists.
int OddPointCount(int asked) {
  int n = asked == 0 ? kDefaultPoints : std::max(asked, 3);
  if (n % 2 == 0) ++n;
  return n;
}

double TermOrZero(const std::string& text) {
  double value = 0.0;
  return StrictReal(text, value) ? value : 0.0;
}

// The family's domain on n points, ascending, and their spacing.
void PriorGrid(const PriorTable& priors, int i, int n, Vector& x, double& h) {
  const int middle = (n - 1) / 2 + 1;
  const double m = priors.Term1[i];
  const double s = std::fabs(priors.Term2[i]);
  x.Resize(1, n, 0.0);
  double centre = m;
  switch (priors.Type[i]) {
    case PriorType::E:
      h = 10.0 * std::fabs(m) / (n - 1);
      for (int j = 1; j <= n; ++j) x[j] = (j - 1) * h;
      return;
    case PriorType::B:
      h = 1.0 / (n - 1);
      for (int j = 1; j <= n; ++j) x[j] = 0.5 + (j - middle) * h;
      x[1] = kPriorSupportLow;
      x[n] = kPriorSupportHigh;
      return;
    case PriorType::S:
    case PriorType::D:
      h = std::fabs((s > 0.0 ? 3.0 * s : m) / ((n - 1) / 2));
      if (h == 0.0) h = 0.1;
      break;
    case PriorType::T: {
      const double left = m - 3.0 * s;
      const double right = TermOrZero(priors.Term3[i]) + 3.0 * std::fabs(TermOrZero(priors.Term4[i]));
      centre = (left + right) / 2.0;
      h = std::fabs(right - left) / (n - 1);
      if (h == 0.0) h = 0.1;
      break;
    }
    default:  // N, G, L: the mean +- 5 SD
      // A gamma's terms enter by their squares and its mean is |m|.
      if (priors.Type[i] == PriorType::G) centre = std::fabs(m);
      h = 10.0 * s / (n - 1);
      break;
  }
  for (int j = 1; j <= n; ++j) x[j] = centre + (j - middle) * h;

  // Gamma and ln-normal live above 0: a grid that would reach below their
  // support is spread from 1E-6 to the same right end instead, and its
  // spacing is the spread one.
  const PriorType type = priors.Type[i];
  const double lowest = x[1];
  if ((type == PriorType::G || type == PriorType::L) && lowest < kPriorSupportLow) {
    const double right = x[n];
    const double spread = h * right / (right - lowest);
    for (int j = 1; j <= n; ++j) x[j] = (j - 1) * spread + kPriorSupportLow;
    h = spread;
  }
}

std::string ProgressText(int j, int n, int i, double x) {
  return "Calculating profile point " + FormatNumber(j, "###0") + " of " +
         FormatNumber(n, "###0") + "," + " Value of parameter # " + IntText(i) +
         " which is being profiled is: " + FormatNumber(x, "0.0000E+00");
}

// Evaluates parameter i's prior over the grid into wb.priorProfile and
// summarises it.
void EvaluateProfile(Workbench& wb, Desktop& desktop, int i, int n) {
  DistributionPoints& points = wb.priorProfile;
  points.Resize(n);
  points.EvaluatedParameter = i;
  double h = 0.0;
  PriorGrid(wb.priors, i, n, points.ProfileValues, h);
  int best = 1;
  for (int j = 1; j <= n; ++j) {
    const double x = points.ProfileValues[j];
    desktop.SetStatus(StatusBar::Progress, 1, ProgressText(j, n, i, x));
    desktop.Yield();
    points.ProfileObjectives[j] = PriorParameterTerm(wb.priors, i, x);
    if (points.ProfileObjectives[j] < points.ProfileObjectives[best]) best = j;
  }
  DistributionSummary(points, best, h);
  desktop.SetStatus(StatusBar::Progress, 1, "");
}

}  // namespace

bool ProfilePriorDistribution(Workbench& wb, Desktop& desktop, int selectedParameter,
                              ReportView& reports, PlotView& plots) {
  const int parameterCount = wb.priors.Count();
  if (parameterCount < 1) {
    desktop.Inform(kPriorProfileTitle, "There is no parameter to profile until the model is initialised.",
                   Icon::Exclamation);
    return false;
  }
  for (;;) {
    if (desktop.Ask(kPriorProfileTitle, kPriorProfileExplanation, Buttons::OkCancel, Icon::Information) != Answer::Ok)
      return false;
    desktop.Inform(kPriorProfileTitle, kPlotMenu);

    const bool selectable = selectedParameter >= 1 && selectedParameter <= parameterCount;
    const std::optional<int> parameter = AskWhole(
        desktop,
        "Choose the parameter number to be profiled.\n(0 < parameter # <= " +
            IntText(parameterCount) + ")",
        IntText(selectable ? selectedParameter : 1), 1, parameterCount);
    if (!parameter) continue;
    const int i = *parameter;
    if (wb.priors.Type[i] == PriorType::U) {
      desktop.Inform(kPriorProfileTitle,
                     "There is nothing to plot when the prior distribution is uniform-unbounded",
                     Icon::Exclamation);
      continue;
    }
    const std::string problem = PriorProblem(wb.priors, i);
    if (!problem.empty()) {
      desktop.Inform(kPriorProfileTitle, problem + "\nCorrect it in the editor before profiling it.",
                     Icon::Exclamation);
      continue;
    }

    const std::optional<int> asked =
        AskWhole(desktop, "Choose the number of x-y data points per plot.\n(0 <= # points <= 1001)",
                 IntText(kDefaultPoints), 0, kMostPoints);
    if (!asked) continue;

    EvaluateProfile(wb, desktop, i, OddPointCount(*asked));
    const std::string description =
        i <= wb.alg.Descriptions.Hi() && i >= wb.alg.Descriptions.Lo() ? wb.alg.Descriptions[i]
                                                                        : std::string();
    plots.ShowDistribution(DistributionPlotOf(wb.priorProfile, DistributionKind::Prior, description));
    reports.ShowReport(ReportKind::PriorDistributions, PriorDistributionsText(wb.priorProfile));
    return true;
  }
}

std::string PriorDistributionsText(const DistributionPoints& points) {
  return PointTableReport("Bayesian prior distribution data", points, PointTableColumns::Prior);
}

}  // namespace estimetrix
