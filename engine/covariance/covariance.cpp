// The covariance calculator's dialogue and the order of its steps. The grids
// themselves are in covariance_grids.cpp.

#include "engine/covariance/covariance.h"

#include <cmath>

#include "engine/base/format.h"
#include "engine/objective/objective.h"
#include "engine/state/algorithm_data.h"
#include "engine/state/workbench.h"
#include "platform/desktop.h"

namespace estimetrix {

namespace {

const char* const kFactorPattern = "0.000E+00";

// Everything the dialogue gathers before the calculation starts. Nothing of it
// reaches the stored covariance state until the user has answered every
// question, so a cancelled dialogue leaves the last results intact.
struct CovarianceSetup {
  DerivativeChoice derivatives = DerivativeChoice::None;
  Vector factors;           // 1..3
  Vector baseValues;
  Vector baseSteps;
  double baseObjective = 0.0;
  double constant = 1.0;  // q
  int optimistic = 0;
};

std::string DerivativeQuestion() {
  return "Do you want to calculate covariances analytically or numerically?"
         "  Numerical covariances are provided automatically, whereas for analytical "
         "covariances you must have provided analytical"
         " derivatives in your model code (i.e., in that section of Sub MODEL() accessed "
         "when NF=-2).\n"
         "\n"
         "WARNING: Analytical covariances will fail if Bayesian prior probabilities "
         "contribute to the likelihood function.\n"
         "\n"
         "DO NOT USE ANALYTICAL COVARIANCES IN CONJUNCTION WITH BAYESIAN PRIOR DISTRIBUTIONS!\n"
         "               THE PRIOR DISTRIBUTION FOR ALL PARAMETERS MUST BE UNIFORM-UNBOUNDED!\n"
         "\n"
         "Choose 'Yes' if you have provided ANALYTICAL derivatives; else 'No' to calculate "
         "covariances NUMERICALLY";
}

std::string GridExplanation() {
  return "A covariance matrix is calculated by inverting the numerically calculated"
         " Hessian matrix of second partial derivatives of the likelihood function."
         "  Three grids are used to calculate the derivatives.  Each grid is formed"
         " using the current parameter values and (non-zero) step sizes. Three scale"
         " factors are required. The initial steps will be multiplied by these scale"
         " factors to adjust the size of the grid.\n"
         "\n"
         "When interpreting the three grid results under the multinormal assumption,"
         " the standard deviations of the -ln[likelihood] should span a range from"
         " near zero for the smallest step to about 5 for the largest step."
         "  This should reassure the user that the multinormal assumption holds over"
         " the entire posterior distributions of the parameters if the model is parsimonious,"
         " 'close-to linear', and there are no extraordinarily high correlations.\n"
         "\n"
         "You can now edit the parameter values and step sizes (if so desired);"
         " realizing that for meaningful results you might have to carefully choose step "
         "sizes.";
}

std::string FactorList(const Vector& g, const std::string& lead) {
  return lead + "1) " + FormatNumber(g[1], kFactorPattern) + "     2) " +
         FormatNumber(g[2], kFactorPattern) + "     3) " + FormatNumber(g[3], kFactorPattern);
}

// The three factor input boxes and the confirmation, repeated until the
// user accepts. A factor that is not a positive number is kept silently.
// False when the user cancelled.
bool AskGridFactors(Desktop& desktop, Vector& factors) {
  for (;;) {
    for (int k = 1; k <= kCovarianceGrids; ++k) {
      InputRequest request;
      request.title = kCovarianceTitle;
      request.prompt = "Default grid factor for Grid " + IntText(k) + " :\n\n" +
                       FactorList(factors, " Currently:   ") +
                       "\n\nValue must be positive for all factors";
      request.defaultText = GeneralNumber(factors[k]);
      std::optional<std::string> answer = desktop.Input(request);
      if (!answer || answer->empty()) return false;
      double value = 0.0;
      if (StrictReal(*answer, value) && std::isfinite(value) && value > 0.0) factors[k] = value;
    }
    Answer ok = desktop.Ask(kCovarianceTitle,
                            "Are these default grid factors OK?\n\n" + FactorList(factors, " "),
                            Buttons::YesNo);
    if (ok == Answer::Yes) return true;
  }
}

// The derivative question: "A", "N", or empty when cancelled.
DerivativeChoice AskDerivatives(Desktop& desktop) {
  Answer answer =
      desktop.Ask(kCovarianceTitle, DerivativeQuestion(), Buttons::YesNoCancel, Icon::Question);
  if (answer == Answer::Yes) return DerivativeChoice::Analytical;
  if (answer == Answer::No) return DerivativeChoice::Numerical;
  return DerivativeChoice::None;
}

// The base copies, taken once the user can no longer edit the data.
void TakeBaseCopies(Workbench& wb, CovarianceSetup& setup) {
  NormalizeFuseGroups(wb.alg, wb.fuse);
  setup.baseValues = wb.alg.Values;
  setup.baseSteps = wb.alg.Steps;
}

int CountFree(const Vector& steps) {
  int n = 0;
  for (int i = steps.Lo(); i <= steps.Hi(); ++i)
    if (steps[i] != 0.0) ++n;
  return n;
}

// F0 at the base point. A point where the objective cannot be computed has no
// Hessian, so the calculation stops there with a message.
bool EvaluateBase(Workbench& wb, Desktop& desktop, CovarianceSetup& setup) {
  setup.baseObjective = EvaluateObjective(wb, setup.baseValues, 1);
  if (std::isfinite(setup.baseObjective)) return true;
  desktop.Inform(kCovarianceTitle,
                 "The objective function is not a finite number at the current parameter "
                 "values, so no covariances can be calculated there.",
                 Icon::Exclamation);
  return false;
}

bool NothingToDo(Desktop& desktop, const CovarianceSetup& setup) {
  if (CountFree(setup.baseSteps) > 0) return false;
  desktop.Inform("There is nothing to do!", "All step sizes are zero", Icon::Exclamation);
  return true;
}

// The two questions asked once per calculation, after the base evaluation.
bool AskConstants(Workbench& wb, Desktop& desktop, CovarianceSetup& setup) {
  desktop.SetStatus(StatusBar::Progress, 1, "");
  desktop.Yield();
  std::optional<double> q =
      LikelihoodConstantPrompt(desktop, *wb.model, wb.state.ObservationCount,
                               CountFree(setup.baseSteps), setup.baseObjective);
  if (!q) return false;
  setup.constant = *q;
  setup.optimistic = OptimisticSEPrompt(desktop);
  return true;
}

// Replaces the stored covariance state by the new calculation's starting point.
void CommitSetup(Workbench& wb, const CovarianceSetup& setup) {
  CovarianceState& cov = wb.covariance;
  cov.Resize(wb.alg.ParameterCount, CountFree(setup.baseSteps));
  cov.BaseValues = setup.baseValues;
  cov.BaseSteps = setup.baseSteps;
  cov.BaseObjective = setup.baseObjective;
  cov.GridFactors = setup.factors;
  cov.LikelihoodScale = 1.0 / setup.constant;
  cov.OptimisticSEs = setup.optimistic;
  cov.CovarianceInterruptRequested = false;
  wb.state.CovarianceDerivatives = setup.derivatives;
  SetCovarianceRows(wb);
  // The matrix routines name failing parameters through the free list.
  BuildFreeParameterList(wb.alg, wb.free);
}

void NumericalGrids(Workbench& wb, Desktop& desktop, CovarianceViews& views) {
  for (int k = 1; k <= kCovarianceGrids; ++k) {
    wb.covariance.GridCancelled = false;
    if (!GridEvaluation(wb, desktop, views, k)) continue;
    GridHessian(wb, k);
    GridInversion(wb, desktop, views, k);
  }
}

// The model's second derivatives at the base point, three times over (the
// report shows three identical grids). Nothing checks that the model supplied
// any: all-zero derivatives fail the positive-definiteness test.
void AnalyticalGrids(Workbench& wb, Desktop& desktop, CovarianceViews& views) {
  CovarianceState& cov = wb.covariance;
  const int N = wb.alg.ParameterCount;
  const int n = cov.CovarianceCount;
  for (int k = 1; k <= kCovarianceGrids; ++k) {
    cov.GridFactors[k] = 0.0;
    wb.gradient.Resize(1, N, 0.0);
    wb.secondDerivatives.Resize(1, N, 1, N, 0.0);
    ExpandFusedParameters(cov.BaseValues, wb.alg, wb.fuse, wb.state);
    Vector steps = cov.BaseSteps;
    wb.model->MODEL(cov.BaseObjective, cov.BaseValues, steps, wb.alg.Descriptions, wb.alg.FuseCodes,
                    wb.alg.ParameterCount, -2, wb.state.ObservationCount, wb.gradient,
                    wb.secondDerivatives, wb.state.AICcSampleSize);
    ResetHessian(wb);
    cov.FreeGradient.Resize(1, n, 0.0);
    for (int r = 1; r <= n; ++r) {
      for (int s = 1; s <= n; ++s)
        wb.matrix.HessianMatrix(r, s) =
            wb.secondDerivatives(cov.CovarianceIndex[r], cov.CovarianceIndex[s]);
      cov.FreeGradient[r] = wb.gradient[cov.CovarianceIndex[r]];
    }
    GridInversion(wb, desktop, views, k);
  }
}

// Steps 1 and 2 of the numerical path and the base point; false when the
// user left the dialogue.
bool PrepareNumerical(Workbench& wb, Desktop& desktop, CovarianceViews& views,
                      CovarianceSetup& setup) {
  Answer go =
      desktop.Ask(kCovarianceTitle, GridExplanation(), Buttons::OkCancel, Icon::Information);
  if (go != Answer::Ok) return false;
  views.EditAlgorithmDataAndWait();
  wb.covariance.CovarianceActive = true;  // the editor turned it off when it closed
  setup.factors.Resize(1, kCovarianceGrids, 0.0);
  setup.factors[1] = 1.0;
  setup.factors[2] = 0.1;
  setup.factors[3] = 0.01;
  TakeBaseCopies(wb, setup);
  if (!AskGridFactors(desktop, setup.factors)) return false;
  desktop.SetStatus(StatusBar::Progress, 1, "One moment please...");
  desktop.Yield();
  if (NothingToDo(desktop, setup)) return false;
  return EvaluateBase(wb, desktop, setup);
}

bool PrepareAnalytical(Workbench& wb, Desktop& desktop, CovarianceSetup& setup) {
  setup.factors.Resize(1, kCovarianceGrids, 0.0);
  TakeBaseCopies(wb, setup);
  if (NothingToDo(desktop, setup)) return false;
  desktop.SetStatus(StatusBar::Progress, 1,
                    "One moment please while one function call is executed");
  desktop.Yield();
  bool ok = EvaluateBase(wb, desktop, setup);
  desktop.SetStatus(StatusBar::Progress, 1, "");
  return ok;
}

bool RunCalculation(Workbench& wb, Desktop& desktop, CovarianceViews& views) {
  CovarianceSetup setup;
  setup.derivatives = AskDerivatives(desktop);
  if (setup.derivatives == DerivativeChoice::None) return false;
  bool analytical = setup.derivatives == DerivativeChoice::Analytical;
  bool prepared = analytical ? PrepareAnalytical(wb, desktop, setup)
                             : PrepareNumerical(wb, desktop, views, setup);
  if (!prepared || !AskConstants(wb, desktop, setup)) return false;

  CommitSetup(wb, setup);
  views.ShowProgress();
  if (analytical) {
    desktop.SetStatus(StatusBar::Progress, 1, "Calculating covariances, one moment please...");
    desktop.Yield();
    AnalyticalGrids(wb, desktop, views);
  } else {
    NumericalGrids(wb, desktop, views);
  }
  desktop.SetStatus(StatusBar::Progress, 1, "");
  desktop.SetStatus(StatusBar::Progress, 2, "");
  return true;
}

}  // namespace

bool CovarianceCalculator(Workbench& wb, Desktop& desktop, CovarianceViews& views) {
  wb.covariance.CovarianceActive = true;
  bool calculated = RunCalculation(wb, desktop, views);
  if (calculated) {
    wb.covariance.CovarianceDisplayMode = CovarianceState::DisplayMode::Fresh;
    views.ShowDisplay();
  } else {
    desktop.SetStatus(StatusBar::Progress, 1, "");
  }
  wb.covariance.CovarianceActive = false;
  return calculated;
}

std::optional<double> LikelihoodConstantPrompt(Desktop& desktop, const Model& model,
                                               int observationCount, int n, double f0) {
  InputRequest request;
  request.title = "Enter constant";
  request.prompt =
      "Enter the constant WHICH WILL MAKE the objective function the -ln[likelihood]\n";
  double suggested = model.SuggestedLikelihoodConstant();
  if (suggested > 0.0) {
    request.prompt += "\nYour model suggests you use this constant: ";
    request.defaultText = FormatNumber(suggested, "0.000");
  } else if (observationCount >= 1) {
    // For a sum-of-squares objective: -ln[L] = SS (n - p) / (2 SS at the minimum).
    double sumOfSquares = (observationCount - n) / (2.0 * f0);
    request.prompt +=
        "\nIf your objective function is the sum of squares, then use this constant: ";
    request.defaultText = FormatNumber(sumOfSquares, "0.0000000E+00");
  }
  for (;;) {
    std::optional<std::string> answer = desktop.Input(request);
    // Cancel leaves the calculation; an empty answer asks again.
    if (!answer) return std::nullopt;
    if (answer->empty()) continue;
    double q = 0.0;
    if (StrictReal(*answer, q) && std::isfinite(q) && q > 0.0) return q;
    desktop.Inform("Insufficient degrees of freedom",
                   "Cannot accept a negative or zero constant; perhaps the degrees of freedom "
                   "are zero or fewer",
                   Icon::Exclamation);
  }
}

int OptimisticSEPrompt(Desktop& desktop) {
  Answer answer =
      desktop.Ask("Calculate optimistic SEs only?",
                  "(This is not recommended for final analyses, but can be a time-efficient way "
                  "to rapidly assess relative parameter uncertainty in preliminary analyses).\n"
                  "Each SE estimate assumes the SE of all other parameters to be zero (0).\n"
                  "Choose the quicker option to calculate under-estimated conditional SEs?",
                  Buttons::YesNo, Icon::Question, 2);
  return answer == Answer::Yes ? -1 : 0;
}

void SetCovarianceRows(Workbench& wb) {
  CovarianceState& cov = wb.covariance;
  const int N = cov.BaseSteps.Size();
  cov.CovarianceCount = CountFree(cov.BaseSteps);
  cov.CovarianceIndex.Resize(1, cov.CovarianceCount, 0);
  cov.CovariancePosition.Resize(1, N, 0);
  int r = 0;
  for (int i = 1; i <= N; ++i) {
    if (cov.BaseSteps[i] == 0.0) continue;
    cov.CovarianceIndex[++r] = i;
    cov.CovariancePosition[i] = r;
  }
}

}  // namespace estimetrix
