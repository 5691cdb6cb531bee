#pragma once
// The covariance calculator: the Hessian of the objective on three grids of
// different size around the estimates (or the model's analytical second
// derivatives), scaled to a -ln[likelihood], tested for positive
// definiteness and inverted. Similar results on the three grids mean the
// likelihood surface is close to quadratic around the estimates.

#include <optional>
#include <string>

#include "engine/base/array.h"

namespace estimetrix {

class Desktop;
class Model;
struct Workbench;

// What the calculation needs from the windows: the restricted algorithm
// editor, the progress window frmCovData and the display window
// frmCovDisplay. The desktop application implements it with its windows, the
// headless runner with a log collector.
class CovarianceViews {
 public:
  virtual ~CovarianceViews() = default;
  // Opens the algorithm data editor in its restricted mode and returns once
  // the user has closed it.
  virtual void EditAlgorithmDataAndWait() = 0;
  // Shows the progress window with an empty log (when the grids start).
  virtual void ShowProgress() = 0;
  // Appends to the progress log; "\n" is a line break.
  virtual void AppendLog(const std::string& text) = 0;
  // Re-enables the Interrupt button after an interrupt has been answered.
  virtual void EnableInterrupt() = 0;
  // Opens the covariance display window without blocking, in front.
  virtual void ShowDisplay() = 0;
};

inline constexpr const char* kCovarianceTitle = "Covariance calculator";

// The whole calculation behind "&Single model covariances": the dialogue, the
// three grids and the display. True when results were calculated; false when
// the user cancelled or nothing could be calculated (earlier results are then
// left as they were).
bool CovarianceCalculator(Workbench& wb, Desktop& desktop, CovarianceViews& views);

// Asks for the constant q that turns the objective into -ln[likelihood],
// until a positive one is entered. n is the number of covariance rows, f0 the
// objective at the base point. nullopt when the user cancelled.
std::optional<double> LikelihoodConstantPrompt(Desktop& desktop, const Model& model,
                                               int observationCount, int n, double f0);

// Asks whether only optimistic conditional SEs are wanted: -1 for yes, else 0.
int OptimisticSEPrompt(Desktop& desktop);

// Fills CovarianceCount, CovarianceIndex and CovariancePosition from BaseSteps.
void SetCovarianceRows(Workbench& wb);

// The objective values of grid k, their summary and the progress log. False
// when the grid was quit by the user or failed (its results are then all -1
// and the Hessian must not be built).
bool GridEvaluation(Workbench& wb, Desktop& desktop, CovarianceViews& views, int k);

// Sizes HessianMatrix for the covariance rows and fills it with zeros.
void ResetHessian(Workbench& wb);

// Grid k's Hessian from the values of GridEvaluation(k).
void GridHessian(Workbench& wb, int k);

// Test, inversion and results of grid k from the Hessian in HessianMatrix.
void GridInversion(Workbench& wb, Desktop& desktop, CovarianceViews& views, int k);

// Sets every result of grid k (summary included) to -1.
void MarkGridFailed(Workbench& wb, int k);

// "Estimated time remaining for all three grids (m:s): 2:05".
std::string RemainingTimeText(double seconds);

}  // namespace estimetrix
