// The set-up form's OK sequence without the window: refusals, the engine's
// reset for a new model, set-up files, and that a refused data file leaves
// the session exactly as it was. (The "Missing input" order is tested on the form.)

#include "model/initialize.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "engine/state/workbench.h"
#include "model/carapex_model.h"
#include "platform/scripted_desktop.h"
#include "tests/support/quadratic_model.h"
#include "tests/support/temporary_folder.h"

namespace estimetrix {
namespace {

namespace fs = std::filesystem;

class InitializeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = folder_.Path();
    desktop_.SetResponder([](const DialogRecord&) { return DialogReply{}; });
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Write(const std::string& name, const std::string& text) {
    std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

  // Cells of width 1 from 0.5, one count column per series.
  std::string Sizes(int cells, int series) {
    std::string text = "Midpoint,Counts\r\n";
    for (int c = 1; c <= cells; ++c) {
      char line[16];
      std::snprintf(line, sizeof line, "%7.1f", c - 0.5);
      text += line;
      for (int s = 1; s <= series; ++s) text += "," + std::string(4, ' ') + std::to_string(s);
      text += "\r\n";
    }
    return Write("sizes" + std::to_string(cells) + ".dat", text);
  }

  CarapexSetup Setup(int series, int identified) {
    CarapexSetup setup;
    setup.frequencyPath = Sizes(30, series);
    setup.seriesText = std::to_string(series);
    setup.identifiedText = std::to_string(identified);
    return setup;
  }

  const DialogRecord& Shown() const { return desktop_.Transcript().back(); }

  testing::TemporaryFolder folder_{"estimetrix_init"};
  fs::path dir_;
  Workbench wb_;
  ScriptedDesktop desktop_;
};

// The boxes are editable: whatever is typed must be refused with a message,
// never wrap a 16-bit count or size an array from it.
TEST_F(InitializeTest, CountsTheModelCannotTakeAreRefused) {
  const std::pair<std::string CarapexSetup::*, const char*> cases[] = {
      {&CarapexSetup::identifiedText, "5000"},
      {&CarapexSetup::seriesText, "-1"},
      {&CarapexSetup::blendedText, "many"},
      {&CarapexSetup::firstCellText, "251"},
      {&CarapexSetup::incrementInstarsText, "1.5"}};
  for (const auto& [box, typed] : cases) {
    CarapexSetup setup = Setup(1, 3);
    setup.*box = typed;
    EXPECT_FALSE(InitializeCarapex(wb_, desktop_, setup)) << typed;
    EXPECT_EQ(Shown().title, "Initialize");
    EXPECT_EQ(Shown().icon, Icon::Exclamation);
    EXPECT_NE(Shown().text.find(std::string("(not \"") + typed + "\")"), std::string::npos);
  }
  EXPECT_EQ(Shown().text,
            "Potential number of instars providing increment data must be a whole number "
            "from 0 to 99 (not \"1.5\")");
  EXPECT_EQ(wb_.model, nullptr);

  // A first cell of 0 is read as 1, not refused.
  CarapexSetup setup = Setup(1, 3);
  setup.firstCellText = "0";
  EXPECT_TRUE(InitializeCarapex(wb_, desktop_, setup)) << Shown().text;
}

TEST_F(InitializeTest, CombinedAnalysisRefusesMoreIncrementInstarsThanInstars) {
  CarapexSetup setup = Setup(1, 2);
  setup.blendedText = "1";
  setup.incrementPath = Write("growth.dat", "Initial,Increment\r\n  10.0,   2.0\r\n");
  setup.incrementErrors = IncrementErrors::Gaussian;
  setup.incrementInstarsText = "4";
  EXPECT_FALSE(InitializeCarapex(wb_, desktop_, setup));
  EXPECT_EQ(Shown().text,
            "The potential number of instars providing increment data (4) cannot exceed the "
            "number of instars fitted to the frequencies (3)");
  setup.incrementInstarsText = "3";
  EXPECT_TRUE(InitializeCarapex(wb_, desktop_, setup));
  setup.frequencyPath.clear();  // increments alone have no instar arrays to overrun
  setup.incrementInstarsText = "6";
  EXPECT_TRUE(InitializeCarapex(wb_, desktop_, setup));
  EXPECT_EQ(desktop_.Transcript().size(), 1u);
}

TEST_F(InitializeTest, SuccessResetsTheEngineForTheNewModel) {
  wb_.state.PriorsActive = true;
  wb_.priors.PriorsFilePath = "old.pri";
  wb_.state.CovarianceCurrent = true;
  wb_.state.SimplexRetained = true;
  wb_.alg.AlgorithmFilePath = "old.alg";
  CarapexSetup setup = Setup(2, 3);
  setup.blendedText = "5";
  setup.incrementPath = Write("growth.dat", "Initial,Increment\r\n  10.0,   2.0\r\n");
  setup.incrementErrors = IncrementErrors::Gaussian;
  setup.incrementInstarsText = "8";
  ASSERT_TRUE(InitializeCarapex(wb_, desktop_, setup));

  const int n = 21 + 8 + 2 * 3;
  EXPECT_EQ(wb_.model->Name(), "Carapex");
  EXPECT_TRUE(wb_.initialized);
  EXPECT_EQ(wb_.alg.ParameterCount, n);
  EXPECT_EQ(wb_.alg.Values.Size(), n);
  EXPECT_FALSE(wb_.alg.Descriptions[n].empty());
  EXPECT_EQ(wb_.alg.FuseCodes, StringArray(1, n, "~~"));
  EXPECT_TRUE(wb_.alg.AlgorithmFilePath.empty());
  EXPECT_FALSE(wb_.state.PriorsActive);
  EXPECT_TRUE(wb_.priors.PriorsFilePath.empty());
  EXPECT_FALSE(wb_.state.CovarianceCurrent);
  EXPECT_FALSE(wb_.state.SimplexRetained);
  EXPECT_EQ(wb_.priors.Type, Array1<PriorType>(1, n, PriorType::U));
  EXPECT_EQ(wb_.priors.Term1, Vector(1, n, 1e-100));
  EXPECT_EQ(wb_.priors.Term2, Vector(1, n, 1e-100));
  EXPECT_EQ(wb_.priors.Term3, StringArray(1, n, "Unused"));
  EXPECT_EQ(desktop_.Status(StatusBar::Files, 2), "Bayesian priors file: ");
  EXPECT_EQ(desktop_.Status(StatusBar::Files, 3), "Frequency file: " + setup.frequencyPath);
  EXPECT_EQ(desktop_.Status(StatusBar::Files, 4), "Increment file: " + setup.incrementPath);
  EXPECT_TRUE(desktop_.Transcript().empty());
}

// A refused data file must not cost the user the model, data or algorithm
// data they were working with.
TEST_F(InitializeTest, RefusedDataFileLeavesTheSessionAsItWas) {
  wb_.model = std::make_unique<testing::QuadraticModel>(2);
  CarapexSetup absent = Setup(1, 2);
  absent.frequencyPath = (dir_ / "absent.dat").string();
  EXPECT_FALSE(InitializeCarapex(wb_, desktop_, absent));
  EXPECT_EQ(wb_.model->Name(), "Quadratic");

  ASSERT_TRUE(InitializeCarapex(wb_, desktop_, Setup(1, 3)));
  for (int i = 1; i <= wb_.alg.ParameterCount; ++i) wb_.alg.Values[i] = wb_.alg.Steps[i] = i;
  wb_.alg.FuseCodes[3] = "A";
  wb_.alg.AlgorithmFilePath = "mine.alg";
  const AlgorithmData before = wb_.alg;
  const Model* model = wb_.model.get();
  const int cells = dynamic_cast<CarapexModel&>(*wb_.model).Data().CellCount;

  std::string uneven =
      Write("uneven.dat", "M,C\r\n    0.5,1\r\n    1.5,2\r\n    2.5,3\r\n    3.6,4\r\n");
  for (const std::string& bad : {Sizes(251, 2), uneven, absent.frequencyPath}) {
    CarapexSetup setup = Setup(2, 4);
    setup.frequencyPath = bad;
    size_t shown = desktop_.Transcript().size();
    EXPECT_FALSE(InitializeCarapex(wb_, desktop_, setup)) << bad;
    EXPECT_EQ(desktop_.Transcript().size(), shown + 1) << bad << ": the model said nothing";
    EXPECT_EQ(wb_.model.get(), model);
    EXPECT_EQ(dynamic_cast<CarapexModel&>(*wb_.model).Data().CellCount, cells);
    EXPECT_EQ(wb_.alg.ParameterCount, before.ParameterCount);
    EXPECT_EQ(wb_.alg.Values, before.Values);
    EXPECT_EQ(wb_.alg.Steps, before.Steps);
    EXPECT_EQ(wb_.alg.FuseCodes, before.FuseCodes);
    EXPECT_EQ(wb_.alg.Descriptions, before.Descriptions);
    EXPECT_EQ(wb_.alg.AlgorithmFilePath, "mine.alg");
  }
}

TEST_F(InitializeTest, SetupFilesReadEveryKeyWithPathsBesideTheFile) {
  fs::create_directories(dir_ / "ex");
  std::string path = Write("ex/crab.setup",
                           "# an example\r\nfrequencies = data/sizes.dat   # three years\r\n"
                           "series=3\nfirst-cell=2\nidentified=4\nblended=10\ninstars=gamma\n"
                           "truncation=missing\n\nincrements=/abs/growth.dat\n"
                           "increment-errors=gamma\nalg=crab.alg\n");
  std::string alg, error;
  std::optional<CarapexSetup> setup = ReadSetupFile(path, alg, error);
  ASSERT_TRUE(setup) << error;
  EXPECT_EQ(setup->frequencyPath, (dir_ / "ex/data/sizes.dat").string());
  EXPECT_EQ(setup->incrementPath, "/abs/growth.dat");
  EXPECT_EQ(alg, (dir_ / "ex/crab.alg").string());
  EXPECT_EQ(setup->seriesText + setup->firstCellText + setup->identifiedText, "324");
  EXPECT_EQ(setup->blendedText, "10");
  EXPECT_EQ(setup->instars, InstarShape::Gamma);
  EXPECT_EQ(setup->truncation, FrequencyTruncation::Truncated);
  EXPECT_EQ(setup->incrementErrors, IncrementErrors::Gamma);
  EXPECT_EQ(setup->incrementInstarsText, "14");  // not given: identified + blended

  const std::pair<const char*, const char*> mistakes[] = {
      {"series 3\n", "line 1: expected key=value"},
      {"series=1\ncolour=red\n", "unknown set-up key \"colour\""},
      {"instars=normal\n", "instars must be gaussian or gamma, not \"normal\""}};
  for (const auto& [text, message] : mistakes) {
    EXPECT_FALSE(ReadSetupFile(Write("bad.setup", text), alg, error));
    EXPECT_NE(error.find(message), std::string::npos) << error;
  }
  EXPECT_FALSE(ReadSetupFile((dir_ / "none.setup").string(), alg, error));
  EXPECT_NE(error.find("none.setup"), std::string::npos) << error;
}

}  // namespace
}  // namespace estimetrix
