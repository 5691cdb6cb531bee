#pragma once
// The numbering of the model's parameters: 21 structural parameters, then the
// increment-instar proportions (Zeta), then every series' identified-instar
// proportions (V), series outer and instars inner.

#include "engine/base/array.h"
#include "model/model_data.h"

namespace estimetrix {

// Positions of the structural parameters in the vector.
namespace param {
constexpr int kMu0 = 1;
constexpr int kBeta0 = 2;  // Beta j is kBeta0 + j
constexpr int kSigma1 = 11;
constexpr int kTau0 = 12;  // Tau l is kTau0 + l
constexpr int kOmega = 15;
constexpr int kR = 16;
constexpr int kPercentSE = 17;
constexpr int kSelectivityMean = 18;
constexpr int kSelectivitySD = 19;
constexpr int kPsi = 20;
constexpr int kPhi = 21;
}  // namespace param

// 21 + increment instars + series x identified instars.
int ModelParameterCount(int seriesCount, int identifiedCount, int incrementInstarCount);

// Writes entries 1..ParameterCount of `descriptions` (already sized) and raises
// FixedParameterCount to 21 + IncrementInstarCount.
void DescribeModelParameters(ModelData& data, StringArray& descriptions);

}  // namespace estimetrix
