#pragma once
// The algorithm data (parameters, steps, fuse codes, minimizer settings), the
// estimation state shared by the computations, and the two tables derived
// from the algorithm data before every run: fuse groups and free parameters.

#include <string>

#include "engine/array.h"

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
  int LoadFailed = 0;
};

struct EstimationState {
  int FunctionCallCount = 0;
  std::string PriorsActive = "off";
  double PriorTerm = 0.0;
  std::string BayesEvaluationActive = "off";
  std::string ProfileActive = "off";
  int EvaluatedParameter = 0;
  std::string CovarianceCurrent = "off";
  std::string CovarianceDerivatives;  // "A", "N" or empty
  std::string MarquardtDerivatives = "N";
  int ObservationCount = 0;
  int AICcSampleSize = 0;
  int SimplexRetained = 0;
  int InterruptRequested = 0;
  int MarquardtInterruptRequested = 0;
  int BayesInterruptRequested = 0;
  int ProfileInterruptRequested = 0;
  std::string EditorOpen = "off";
  std::string RankingOpen = "off";
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

// A work vector for the free space: Values, with entry FreeIndex[j] replaced by
// coordinates[j] for j = 1..p.
void BuildWorkVector(const AlgorithmData& alg, const FreeParameterList& free,
                     const Vector& coordinates, Vector& work);

}  // namespace estimetrix
