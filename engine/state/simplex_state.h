#pragma once
// What the simplex computation keeps between runs and commands: the simplex
// itself (so that a second run continues from it), its vertex values and
// extremes, and the bookkeeping of the current run.

#include <string>

#include "engine/base/array.h"

namespace estimetrix {

struct SimplexState {
  // Column k (k = 1..p+1) is vertex k in free coordinates (rows 1..p);
  // column p+2 holds the centroid of all vertices but the highest.
  Matrix SimplexMatrix;  // 1..N x 1..N+2
  Vector VertexValues;   // 1..N+1
  int LowVertex = 1;
  int HighVertex = 1;
  int CentroidColumn = 0;  // p+2
  Vector TrialPoint;       // 1..N: reflection point; improved point of a failed verification
  Vector ExtensionPoint;   // 1..N

  int ImprovedCount = 0;  // vertices strictly above the reflection point's value
  std::string ActionText;
  long IterationCount = 0;
  int RestartCount = 0;
  bool StopFlag = false;
  bool ReportNow = false;  // one progress report at the end of the iteration
  long TerminalCountdown = 0;
  long FileCountdown = 0;
  std::string ProgressText;  // the text last shown in the lower pane

  // The free-parameter count the retained simplex was built for; a retained
  // simplex of another dimension is never continued.
  int RetainedFreeCount = 0;

  // Sizes the arrays for a model of n parameters (discarding any simplex).
  void Resize(int n) {
    SimplexMatrix.Resize(1, n, 1, n + 2, 0.0);
    VertexValues.Resize(1, n + 1, 0.0);
    TrialPoint.Resize(1, n, 0.0);
    ExtensionPoint.Resize(1, n, 0.0);
    LowVertex = HighVertex = 1;
    CentroidColumn = 0;
    RetainedFreeCount = 0;
  }
};

}  // namespace estimetrix
