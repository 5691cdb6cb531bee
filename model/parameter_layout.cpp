#include "model/parameter_layout.h"

#include "engine/base/format.h"

namespace estimetrix {

namespace {

const char* const kStructuralDescriptions[kStructuralParameterCount] = {
    "Mean carapace size of virtual instar #0 (Mu_0) [0]",
    "Coefficient Beta (0) (intercept) for the polynomial means model [0]",
    "Coefficient Beta (1) for the polynomial means model [0]",
    "Coefficient Beta (2) for the polynomial means model [0]",
    "Coefficient Beta (3) for the polynomial means model [0]",
    "Coefficient Beta (4) for the polynomial means model [0]",
    "Coefficient Beta (5) for the polynomial means model [0]",
    "Coefficient Beta (6) for the polynomial means model [0]",
    "Coefficient Beta (7) for the polynomial means model [0]",
    "Coefficient Beta (8) for the polynomial means model [0]",
    "SD of carapace size of instar #1 (Sigma_1) [0]",
    "Coefficient Tau (0) (intercept) for the polynomial SDs model [0]",
    "Coefficient Tau (1) for the polynomial SDs model [0]",
    "Coefficient Tau (2) for the polynomial SDs model [0]",
    "Growth increment data correlation coefficient Omega [0]",
    "Size frequency data correlation coefficient r [0]",
    "SE of measurement @ 100 units (%SE) [0]",
    "Mean size for Gaussian selectivity [0]",
    "SD of size for Gaussian selectivity [0]",
    "Value of Weibull mortality function scale parameter Psi [0]",
    "Value of Weibull mortality function power parameter Phi [1]",
};

std::string TwoColumns(int number) {
  return RightJustify(IntText(number), 2);
}

}  // namespace

int ModelParameterCount(int seriesCount, int identifiedCount, int incrementInstarCount) {
  return kStructuralParameterCount + incrementInstarCount + seriesCount * identifiedCount;
}

void DescribeModelParameters(ModelData& data, StringArray& descriptions) {
  for (int i = 1; i <= kStructuralParameterCount; ++i) {
    descriptions[i] = kStructuralDescriptions[i - 1];
  }
  for (int i = 1; i <= data.IncrementInstarCount; ++i) {
    descriptions[kStructuralParameterCount + i] =
        "Proportion @ instar (Zeta_i) for instar i=" + TwoColumns(i) +
        " in growth increment data [0]";
  }
  data.FixedParameterCount = kStructuralParameterCount + data.IncrementInstarCount;
  for (int s = 1; s <= data.SeriesCount; ++s) {
    for (int i = 1; i <= data.IdentifiedInstarCount; ++i) {
      descriptions[data.SeriesProportionIndex(s, i)] =
          "Proportion @ instar (V_s_i) for identified instar i=" + TwoColumns(i) +
          " of frequency series " + TwoColumns(s) + " [0]";
    }
  }
}

}  // namespace estimetrix
