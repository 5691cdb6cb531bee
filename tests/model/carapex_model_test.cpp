// Initialising the model: configuration from the form, parameter layout and
// descriptions, failures that leave the previous model intact, and the
// proportion checks of the first call of a run.

#include "model/carapex_model.h"

#include <gtest/gtest.h>

#include <cmath>

#include "carapex_fixture.h"
#include "model/parameter_layout.h"

namespace estimetrix {
namespace {

using testing::CarapexHarness;
using testing::FrequencySetup;
using testing::IncrementSetup;
using testing::ModelDataFile;

TEST(CarapexInitialize, AnalysisTypeCountsAndDescriptions) {
  CarapexHarness h;
  ASSERT_TRUE(h.Initialize(FrequencySetup("small_frequencies.dat", 2)));
  h.ExpectNoDialogues();
  const ModelData& data = h.model.Data();
  EXPECT_EQ(data.AnalysisType, "S");
  EXPECT_EQ(data.DataFileName, "small_frequencies.dat");
  EXPECT_EQ(h.parameterCount, 23);
  EXPECT_EQ(h.values.Size(), 23);
  EXPECT_EQ(h.descriptions[1], "Mean carapace size of virtual instar #0 (Mu_0) [0]");
  EXPECT_EQ(h.descriptions[21], "Value of Weibull mortality function power parameter Phi [1]");
  EXPECT_EQ(h.descriptions[22],
            "Proportion @ instar (V_s_i) for identified instar i= 1 of frequency series  1 [0]");
  EXPECT_EQ(h.model.SuggestedLikelihoodConstant(), 0.5);

  ASSERT_TRUE(h.Initialize(IncrementSetup("small_increments.dat", 4)));
  EXPECT_EQ(h.model.Data().AnalysisType, "I");
  EXPECT_EQ(h.parameterCount, 25);
  EXPECT_EQ(h.descriptions[24],
            "Proportion @ instar (Zeta_i) for instar i= 3 in growth increment data [0]");

  CarapexSetup both = FrequencySetup("two_series.dat", 3, 5);
  both.seriesText = "2";
  both.incrementPath = ModelDataFile("small_increments.dat");
  both.incrementInstarsText = "8";
  ASSERT_TRUE(h.Initialize(both));
  EXPECT_EQ(h.model.Data().AnalysisType, "B");
  EXPECT_EQ(h.model.Data().DataFileName, "");
  EXPECT_EQ(h.parameterCount, 35);  // 21 + 8 + 2 x 3
  EXPECT_EQ(h.model.Data().FixedParameterCount, 29);
  EXPECT_EQ(h.descriptions[33],
            "Proportion @ instar (V_s_i) for identified instar i= 1 of frequency series  2 [0]");
}

TEST(CarapexInitialize, InstarCountIsCappedAt99) {
  CarapexHarness h;
  ASSERT_TRUE(h.Initialize(FrequencySetup("small_frequencies.dat", 60, 50)));
  EXPECT_EQ(h.model.Data().BlendedInstarCount, 39);
  EXPECT_EQ(h.model.Data().InstarCount, 99);
  StringArray descriptions(1, 21 + 12, std::string());
  ModelData data;
  data.SeriesCount = 1;
  data.IdentifiedInstarCount = 12;
  DescribeModelParameters(data, descriptions);
  EXPECT_EQ(descriptions[31],
            "Proportion @ instar (V_s_i) for identified instar i=10 of frequency series  1 [0]");
}

// A failed initialisation shows its message and changes nothing: not the
// model's configuration and data, and not the caller's arrays.
TEST(CarapexInitialize, FailuresKeepThePreviousModel) {
  CarapexHarness h;
  ASSERT_TRUE(h.Initialize(FrequencySetup("small_frequencies.dat", 2)));
  h.values[1] = 1.25;
  const Vector valuesBefore = h.values;

  h.desktop.ExpectMessage("Fatal error - analysis stops");
  EXPECT_FALSE(h.Initialize(FrequencySetup("uneven_midpoints.dat", 4)));
  h.desktop.ExpectMessage("Data file cannot be read");
  EXPECT_FALSE(h.Initialize(IncrementSetup("missing.dat", 2)));
  CarapexSetup tooMany = FrequencySetup("small_frequencies.dat", 2);
  tooMany.incrementPath = ModelDataFile("small_increments.dat");
  tooMany.incrementInstarsText = "3";
  h.desktop.ExpectMessage("Initialize Carapex");
  EXPECT_FALSE(h.Initialize(tooMany));

  EXPECT_TRUE(h.desktop.Failures().empty());
  EXPECT_EQ(h.desktop.PendingSteps(), 0u);
  EXPECT_EQ(h.parameterCount, 23);
  EXPECT_EQ(h.values, valuesBefore);
  EXPECT_EQ(h.model.Data().AnalysisType, "S");
  EXPECT_EQ(h.model.Data().CellCount, 6);
  EXPECT_EQ(h.model.Data().IdentifiedInstarCount, 2);
  EXPECT_EQ(h.desktop.Transcript()[0].text,
            "Inconsistency in frequency midpoint interval near record 4. Tolerance is 0.1%.");
  // The model still evaluates its old data.
  h.values[22] = -1.0;
  EXPECT_TRUE(std::isfinite(h.Evaluate()));
}

// NF = 1 checks the -1 markers; later calls do not.
TEST(CarapexProportionChecks, MessagesAtTheFirstCallOnly) {
  const std::string title = "Error in proportion parameters";
  CarapexHarness h;
  CarapexSetup setup = FrequencySetup("small_frequencies.dat", 2);
  setup.incrementPath = ModelDataFile("small_increments.dat");
  setup.incrementInstarsText = "2";
  ASSERT_TRUE(h.Initialize(setup));
  h.values[1] = 1.0;
  h.values[3] = 0.2;
  h.values[11] = 1.0;
  h.values[12] = 0.5;
  h.values[22] = 0.4;  // no increment marker
  h.values[24] = 0.5;  // no series marker
  h.desktop.ExpectMessage(title);
  h.desktop.ExpectMessage(title);
  h.Evaluate(1);
  h.Evaluate(2);
  ASSERT_EQ(h.desktop.Transcript().size(), 2u);
  EXPECT_EQ(h.desktop.Transcript()[0].text,
            "At least one frequency series did not have an instar proportion fixed at -1; as "
            "required when there are no blended instars");
  EXPECT_EQ(h.desktop.Transcript()[0].icon, Icon::Critical);
  EXPECT_EQ(h.desktop.Transcript()[1].text,
            "No increment instar proportion was fixed at -1 as required");

  h.values[23] = -1.0;
  h.values[25] = -1.0;
  h.Evaluate(1);
  EXPECT_EQ(h.desktop.Transcript().size(), 2u);

  CarapexHarness blended;
  ASSERT_TRUE(blended.Initialize(FrequencySetup("small_frequencies.dat", 2, 5)));
  blended.values[23] = -1.0;
  blended.desktop.ExpectMessage(title);
  blended.Evaluate(1);
  ASSERT_EQ(blended.desktop.Transcript().size(), 1u);
  EXPECT_EQ(blended.desktop.Transcript()[0].text,
            "At least one frequency series has an instar proportion fixed at -1; as required "
            "only when there are no blended instars");
}

TEST(CarapexEvaluate, SnapshotAbsoluteValuesAndOtherFlags) {
  CarapexHarness h;
  ASSERT_TRUE(h.Initialize(FrequencySetup("small_frequencies.dat", 2)));
  h.values[1] = -1.0;  // Mu_0 is a magnitude
  h.values[2] = 1.5;
  h.values[11] = -0.6;  // so is Sigma_1
  h.values[12] = 0.5;
  h.values[22] = 0.4;
  h.values[23] = -1.0;  // the marker is left alone
  const double first = h.Evaluate(1);
  EXPECT_EQ(h.values[1], 1.0);
  EXPECT_EQ(h.values[11], 0.6);
  EXPECT_EQ(h.values[23], -1.0);
  EXPECT_EQ(h.model.BestObjective(), first);
  EXPECT_DOUBLE_EQ(h.model.Best().FrequencyTerm, 2.0 * h.model.State().FrequencyTerm);

  h.values[2] = 1.7;  // a worse fit: the snapshot stays
  const double worse = h.Evaluate(2);
  EXPECT_GT(worse, first);
  EXPECT_EQ(h.model.BestObjective(), first);
  EXPECT_EQ(h.model.BestValues()[2], 1.5);
  h.Evaluate(1);  // the first call of a run always takes it
  EXPECT_EQ(h.model.BestObjective(), worse);

  // The derivatives come with the objective they belong to; the results
  // summary leaves it alone.
  double untouched = 7.0;
  int n = h.parameterCount;
  h.model.MODEL(untouched, h.values, h.steps, h.descriptions, h.fuseCodes, n, -2, h.observations,
                h.gradient, h.second, h.sampleSize);
  EXPECT_NEAR(untouched, worse, 1e-12 * worse);
  untouched = 7.0;
  h.model.MODEL(untouched, h.values, h.steps, h.descriptions, h.fuseCodes, n, -1, h.observations,
                h.gradient, h.second, h.sampleSize);
  EXPECT_EQ(untouched, 7.0);
}

}  // namespace
}  // namespace estimetrix
