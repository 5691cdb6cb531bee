#include "engine/state/algorithm_data.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/array_list.h"

namespace estimetrix {
namespace {

using testing::List;

AlgorithmData MakeData(const std::vector<double>& values, const std::vector<double>& steps,
                       const std::vector<std::string>& codes) {
  AlgorithmData alg;
  alg.ParameterCount = static_cast<int>(values.size());
  SetDefaultAlgorithmData(alg);
  for (int i = 1; i <= alg.ParameterCount; ++i) {
    alg.Values[i] = values[static_cast<size_t>(i - 1)];
    alg.Steps[i] = steps[static_cast<size_t>(i - 1)];
    alg.FuseCodes[i] = codes[static_cast<size_t>(i - 1)];
  }
  return alg;
}

TEST(NormalizeFuseGroups, FollowersTakeTheLeadersValueAndLoneCodesBecomeUnfused) {
  AlgorithmData alg = MakeData({5, 9, 1}, {0.5, 0.7, 0.1}, {"A", "A", "~~"});
  FuseGroupTable groups;
  NormalizeFuseGroups(alg, groups);
  EXPECT_EQ(List(alg.Values), (std::vector<double>{5, 5, 1}));
  EXPECT_EQ(List(alg.Steps), (std::vector<double>{0.5, 0, 0.1}));

  alg = MakeData({1, 2, 3, 4, 5, 6}, {1, 1, 1, 1, 1, 1}, {"BC", "A", "Z", "BC", "A", "BC"});
  NormalizeFuseGroups(alg, groups);  // a rebuild: the old group "A" must not linger
  EXPECT_EQ(List(alg.Values), (std::vector<double>{1, 2, 3, 1, 2, 1}));
  EXPECT_EQ(List(alg.Steps), (std::vector<double>{1, 1, 1, 0, 0, 0}));
  EXPECT_EQ(List(alg.FuseCodes), (std::vector<std::string>{"BC", "A", "~~", "BC", "A", "BC"}));
  EXPECT_EQ(List(groups.FuseGroupCodes), (std::vector<std::string>{"BC", "A", "Z"}));
  EXPECT_EQ(List(groups.FuseGroupMembers), (std::vector<int>{3, 2, 1}));
}

TEST(ExpandFusedParameters, MovingTheLeaderInAWorkVectorMovesItsFollowers) {
  AlgorithmData alg = MakeData({5, 9, 1, 2}, {0.5, 0.7, 0.1, 0.2}, {"A", "A", "~~", "A"});
  FuseGroupTable groups;
  NormalizeFuseGroups(alg, groups);
  FreeParameterList free;
  BuildFreeParameterList(alg, free);
  EXPECT_EQ(List(free.FreeIndex), (std::vector<int>{1, 3}));

  Vector coordinates(2);
  coordinates[1] = 7.5;
  coordinates[2] = -1;
  Vector work;
  BuildWorkVector(alg, free, coordinates, work);
  ExpandFusedParameters(work, alg, groups, EstimationState{});
  EXPECT_EQ(List(work), (std::vector<double>{7.5, 7.5, -1, 7.5}));
  EXPECT_EQ(List(alg.Values), (std::vector<double>{5, 5, 1, 5}));  // the data stays put

  alg.Steps[2] = 0.3;  // a follower step left behind by an edit
  ExpandFusedParameters(work, alg, groups, EstimationState{});
  EXPECT_EQ(alg.Steps[2], 0.0);
}

TEST(ExpandFusedParameters, APinnedFollowerFeedsTheMembersAfterIt) {
  AlgorithmData alg = MakeData({5, 5, 5}, {0.5, 0, 0}, {"A", "A", "A"});
  FuseGroupTable groups;
  NormalizeFuseGroups(alg, groups);
  EstimationState state;
  state.ProfileActive = true;
  state.EvaluatedParameter = 2;
  Vector v = alg.Values;
  v[2] = 8;
  ExpandFusedParameters(v, alg, groups, state);
  EXPECT_EQ(List(v), (std::vector<double>{5, 8, 8}));

  state.ProfileActive = false;
  ExpandFusedParameters(v, alg, groups, state);
  EXPECT_EQ(List(v), (std::vector<double>{5, 5, 5}));
}

TEST(BuildFreeParameterList, AllStepsZeroLeavesNothingFree) {
  AlgorithmData alg = MakeData({1, 2}, {0, 0}, {"~~", "~~"});
  FreeParameterList free;
  free.FreeCount = 9;
  BuildFreeParameterList(alg, free);
  EXPECT_EQ(free.FreeCount, 0);
  EXPECT_TRUE(free.FreeIndex.Empty());
}

}  // namespace
}  // namespace estimetrix
