#pragma once
// The algorithm data (parameters, steps, fuse codes, minimizer settings), the
// estimation state shared by the computations, and the two tables derived
// from the algorithm data before every run: fuse groups and free parameters.

#include <string>

#include "engine/base/array.h"

namespace estimetrix {

inline constexpr const char* kUnfused = "~~";

struct AlgorithmData {
  int ParameterCount = 0;  // N; 16-bit in files
  Vector Values;           // 1..N
  Vector Steps;            // 1..N; 0 = fixed
  StringArray FuseCodes;   // 1..N; "~~" = unfused
  StringArray Descriptions;  // 1..N; supplied by the model, never read from a file
  double SimplexLimit = 1E-06;  // > 0 absolute test, < 0 relative test
  int MaxFunctionCalls = 9999;
  int TerminalOutputFrequency = 10;
  int FileOutputFrequency = 0;
  std::string OutputFileName = "minimize.exl";
  double StepReductionFraction = 0.1;
  std::string AlgorithmFilePath;  // non-empty = algorithm data exists
  std::string AlgorithmFileName;
  bool LoadFailed = false;  // the last algorithm-file read failed
  // A failed read left part of a file in the data: no command may use them
  // until a load, default values or a new initialisation replaces them.
  bool PartlyRead = false;
};

// Analytical ("A", from MODEL with NF = -2) or numerical ("N") derivatives;
// None until the user has chosen.
enum class DerivativeChoice { None, Analytical, Numerical };

struct EstimationState {
  int FunctionCallCount = 0;
  bool PriorsActive = false;  // a priors table is in force
  double PriorTerm = 0.0;
  bool BayesEvaluationActive = false;
  bool ProfileActive = false;
  int EvaluatedParameter = 0;
  bool CovarianceCurrent = false;  // covariances belong to the current estimates
  DerivativeChoice CovarianceDerivatives = DerivativeChoice::None;
  DerivativeChoice MarquardtDerivatives = DerivativeChoice::Numerical;
  int ObservationCount = 0;
  int AICcSampleSize = 0;
  bool SimplexRetained = false;  // the next Simplex run continues the kept simplex
  // Interrupt requests, each set by its own Stop or Interrupt control.
  bool InterruptRequested = false;
  bool MarquardtInterruptRequested = false;
  bool BayesInterruptRequested = false;
  bool ProfileInterruptRequested = false;
  bool EditorOpen = false;
  bool RankingOpen = false;
};

struct FuseGroupTable {
  int FuseGroupCount = 0;
  StringArray FuseGroupCodes;
  IntArray FuseGroupMembers;
  Vector FuseGroupValues;
  IntArray Recorded;  // work space of ExpandFusedParameters, kept to avoid allocating per call
};

struct FreeParameterList {
  int FreeCount = 0;  // p
  Vector FreeValues;  // 1..p
  Vector FreeSteps;   // 1..p
  IntArray FreeIndex;  // 1..p, parameter index 1..N
};

// Sizes Values, Steps, FuseCodes to N (0, 0, "~~") and sets the default settings.
void SetDefaultAlgorithmData(AlgorithmData& alg);

// Rebuilds the fuse-group table; followers get their leader's value and step 0;
// a code carried by one parameter only becomes "~~".
void NormalizeFuseGroups(AlgorithmData& alg, FuseGroupTable& groups);

// Rebuilds the free-parameter list from the non-zero steps.
void BuildFreeParameterList(const AlgorithmData& alg, FreeParameterList& free);

// Gives every fuse follower in `vector` its group's value (and sets the
// follower's step to 0). While a Bayesian or profile evaluation pins a
// parameter, the pinned parameter is its group's source.
void ExpandFusedParameters(Vector& vector, AlgorithmData& alg, FuseGroupTable& groups,
                           const EstimationState& state);

// Work space of the expansion below, one per worker thread.
struct FuseScratch {
  Vector values;      // per fuse group
  IntArray recorded;  // per fuse group: 0 = not yet recorded
};

// The same expansion of `vector` for a worker thread: writes nothing shared
// (the group values go to `scratch`, and no step is touched: the serial
// expansion made before a batch already set the followers' steps to 0).
void ExpandFusedParameters(Vector& vector, const AlgorithmData& alg, const FuseGroupTable& groups,
                           const EstimationState& state, FuseScratch& scratch);

// A work vector for the free space: Values, with entry FreeIndex[j] replaced by
// coordinates[j] for j = 1..p.
void BuildWorkVector(const AlgorithmData& alg, const FreeParameterList& free,
                     const Vector& coordinates, Vector& work);

}  // namespace estimetrix
