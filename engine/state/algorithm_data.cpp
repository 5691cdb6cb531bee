#include "engine/state/algorithm_data.h"

#include <algorithm>

namespace estimetrix {

namespace {

// The number of parameters the per-parameter arrays can all serve. They are
// sized together, so this is N; taking the smallest keeps a half-resized
// record from being indexed past its end.
int UsableCount(const AlgorithmData& alg) {
  return std::max(
      0, std::min({alg.ParameterCount, alg.Values.Size(), alg.Steps.Size(), alg.FuseCodes.Size()}));
}

// The table index of a fuse code, 0 when the table does not hold it.
int FindGroup(const FuseGroupTable& groups, const std::string& code) {
  for (int g = 1; g <= groups.FuseGroupCount; ++g)
    if (groups.FuseGroupCodes[g] == code) return g;
  return 0;
}

void AppendGroup(FuseGroupTable& groups, const std::string& code, double value) {
  // The table only grows while it is rebuilt; copying keeps the 1-based arrays simple.
  const int count = groups.FuseGroupCount + 1;
  StringArray codes(count);
  IntArray members(count);
  Vector values(count);
  for (int g = 1; g < count; ++g) {
    codes[g] = groups.FuseGroupCodes[g];
    members[g] = groups.FuseGroupMembers[g];
    values[g] = groups.FuseGroupValues[g];
  }
  codes[count] = code;
  members[count] = 1;
  values[count] = value;
  groups.FuseGroupCodes = std::move(codes);
  groups.FuseGroupMembers = std::move(members);
  groups.FuseGroupValues = std::move(values);
  groups.FuseGroupCount = count;
}

// The fuse expansion behind both forms of ExpandFusedParameters: the group
// values and the recorded marks go to the given arrays, and every follower
// given its group's value is passed to `onFollower`.
template <class OnFollower>
void ExpandFuseGroups(Vector& vector, const AlgorithmData& alg, const FuseGroupTable& groups,
                      const EstimationState& state, Vector& groupValues, IntArray& recorded,
                      OnFollower onFollower) {
  // Runs before every model call: with no fuse group (the usual case) there
  // is nothing to copy, and nothing is allocated either way.
  if (groups.FuseGroupCount == 0) return;
  const int n = std::min(UsableCount(alg), vector.Size());
  recorded.Resize(1, groups.FuseGroupCount, 0);  // 0 = not yet recorded
  const bool pinning = state.BayesEvaluationActive || state.ProfileActive;
  for (int i = 1; i <= n; ++i) {
    const std::string& code = alg.FuseCodes[i];
    if (code == kUnfused) continue;
    for (int g = 1; g <= groups.FuseGroupCount; ++g) {
      if (groups.FuseGroupCodes[g] != code) continue;
      // While an evaluation pins a parameter, the pinned follower is the
      // source of its group for the members after it.
      const bool pinned = pinning && alg.Steps[i] == 0.0 && i == state.EvaluatedParameter;
      if (pinned || recorded[g] == 0) {
        groupValues[g] = vector[i];
        recorded[g] = 1;
      } else {
        vector[i] = groupValues[g];
        onFollower(i);
      }
    }
  }
}

}  // namespace

void SetDefaultAlgorithmData(AlgorithmData& alg) {
  const int n = std::max(0, alg.ParameterCount);
  alg.Values.Resize(1, n, 0.0);
  alg.Steps.Resize(1, n, 0.0);
  alg.FuseCodes.Resize(1, n, kUnfused);
  alg.SimplexLimit = 1E-06;
  alg.TerminalOutputFrequency = 10;
  alg.FileOutputFrequency = 0;
  alg.MaxFunctionCalls = 9999;
  alg.StepReductionFraction = 0.1;
  alg.OutputFileName = "minimize.exl";
}

void NormalizeFuseGroups(AlgorithmData& alg, FuseGroupTable& groups) {
  groups = FuseGroupTable{};
  const int n = UsableCount(alg);
  for (int i = 1; i <= n; ++i) {
    const std::string& code = alg.FuseCodes[i];
    if (code == kUnfused) continue;
    int g = FindGroup(groups, code);
    if (g == 0) {
      AppendGroup(groups, code, alg.Values[i]);
    } else {
      ++groups.FuseGroupMembers[g];
      alg.Steps[i] = 0.0;
      alg.Values[i] = groups.FuseGroupValues[g];
    }
  }
  // A code that nobody shares fuses nothing. The group stays in the table,
  // but its one parameter no longer refers to it.
  for (int g = 1; g <= groups.FuseGroupCount; ++g) {
    if (groups.FuseGroupMembers[g] != 1) continue;
    for (int i = 1; i <= n; ++i) {
      if (alg.FuseCodes[i] == groups.FuseGroupCodes[g]) {
        alg.FuseCodes[i] = kUnfused;
        break;
      }
    }
  }
}

void ExpandFusedParameters(Vector& vector, AlgorithmData& alg, FuseGroupTable& groups,
                           const EstimationState& state) {
  ExpandFuseGroups(vector, alg, groups, state, groups.FuseGroupValues, groups.Recorded,
                   [&alg](int i) { alg.Steps[i] = 0.0; });
}

void ExpandFusedParameters(Vector& vector, const AlgorithmData& alg, const FuseGroupTable& groups,
                           const EstimationState& state, FuseScratch& scratch) {
  if (groups.FuseGroupCount == 0) return;
  scratch.values.Resize(1, groups.FuseGroupCount, 0.0);
  ExpandFuseGroups(vector, alg, groups, state, scratch.values, scratch.recorded, [](int) {});
}

void BuildFreeParameterList(const AlgorithmData& alg, FreeParameterList& free) {
  const int n = std::max(0, std::min({alg.ParameterCount, alg.Values.Size(), alg.Steps.Size()}));
  int p = 0;
  for (int i = 1; i <= n; ++i)
    if (alg.Steps[i] != 0.0) ++p;
  free.FreeCount = p;
  free.FreeValues.Resize(1, p, 0.0);
  free.FreeSteps.Resize(1, p, 0.0);
  free.FreeIndex.Resize(1, p, 0);
  int j = 0;
  for (int i = 1; i <= n; ++i) {
    if (alg.Steps[i] == 0.0) continue;
    ++j;
    free.FreeValues[j] = alg.Values[i];
    free.FreeSteps[j] = alg.Steps[i];
    free.FreeIndex[j] = i;
  }
}

void BuildWorkVector(const AlgorithmData& alg, const FreeParameterList& free,
                     const Vector& coordinates, Vector& work) {
  work = alg.Values;
  const int p = std::min({free.FreeCount, free.FreeIndex.Size(), coordinates.Size()});
  for (int j = 1; j <= p; ++j) {
    const int i = free.FreeIndex[j];
    if (i >= work.Lo() && i <= work.Hi()) work[i] = coordinates[j];
  }
}

}  // namespace estimetrix
