#pragma once
// What the Marquardt minimizer keeps between runs and commands: its work
// arrays, the derivatives shown by the progress window, and the flags the
// window's buttons set while a run polls them.

#include <string>

#include "engine/base/array.h"

namespace estimetrix {

struct MarquardtState {
  // Progress window and derivative display.
  std::string MarquardtText;           // text of the progress window
  bool ShowDerivatives = false;        // stop after each iteration to list derivatives
  bool DerivativeWaitReleased = true;  // false while the derivative display waits for the user
  bool CommandInProgress = false;      // a Marquardt command is running

  int IterationCount = 0;  // accepted iterations of the current run

  Vector TrialVector;       // 1..N, the full vector the run evaluates
  Vector FreeGradient;      // 1..p (sized N)
  Matrix IterationHessian;  // 1..p x 1..p (sized N x N), kept for every trial of an iteration
  Vector DisplayGradient;   // copies taken at the start of every iteration for the display
  Matrix DisplayHessian;    // upper triangle (j >= i) only
  Matrix StepColumn;        // 1..N x 1..1: the right-hand side, then the step
  Vector DerivativeWork;    // 1..N, the vector of one numerical-derivative evaluation
  // Objective at the plus (1) and minus (2) derivative points of each free
  // pair (i, j), j >= i. Sized only when numerical derivatives are chosen.
  Array1<Matrix> DerivativeValues;

  // Sizes the arrays for a model of n parameters of which p are free: the
  // full vectors to n, the free-space arrays to p.
  void Resize(int n, int p) {
    TrialVector.Resize(1, n, 0.0);
    FreeGradient.Resize(1, p, 0.0);
    IterationHessian.Resize(1, p, 1, p, 0.0);
    DisplayGradient.Resize(1, p, 0.0);
    DisplayHessian.Resize(1, p, 1, p, 0.0);
    StepColumn.Resize(1, p, 1, 1, 0.0);
    DerivativeWork.Resize(1, n, 0.0);
    DerivativeValues.Resize(1, 0);
  }
  void Resize(int n) { Resize(n, n); }

  // The 2 x p x p work array of numerical derivatives.
  void ResizeNumericalDerivatives(int p) { DerivativeValues.Resize(1, 2, Matrix(p, p, 0.0)); }
};

}  // namespace estimetrix
