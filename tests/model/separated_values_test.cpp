// Data files written as separated values (as spreadsheets and R write them):
// read by their fields, never by columns they do not keep to, and a file that
// mixes layouts or holds a record of neither is refused with the record named.

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "carapex_fixture.h"
#include "engine/state/workbench.h"
#include "model/data_files.h"
#include "model/initialize.h"
#include "tests/support/temporary_folder.h"

namespace estimetrix {
namespace {

using testing::SizedModelData;

std::string Write(const std::string& name, const std::string& text) {
  static const testing::TemporaryFolder folder("estimetrix_separated_values_test");
  const std::string path = folder.File(name);
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

TEST(SeparatedValues, EachSeparatorReadsTheSameIncrements) {
  for (const auto& [separator, layout] :
       {std::pair<std::string, DataLayout>{",", DataLayout::Comma},
        {";", DataLayout::Semicolon},
        {"\t", DataLayout::Tab},
        {" ", DataLayout::Blank}}) {
    // These are the lines that used to be read by columns as 31.1 / 7 and
    // 140.5 / 1: the increment was taken from the wrong characters.
    const std::string path =
        Write("increments.txt", "\"Initial\"" + separator + "\"Increment\"\n" + "31.1" + separator +
                                    "7.7\r\n" + "140.5" + separator + "11.25\n" + "-2" + separator +
                                    "1e1\n");
    ModelData data = SizedModelData(0);
    ASSERT_FALSE(ReadIncrementFile(path, data)) << separator;
    EXPECT_EQ(data.IncrementLayout, layout);
    ASSERT_EQ(data.IncrementRecordCount, 3);
    EXPECT_EQ(data.InitialSize[1], 31.1);
    EXPECT_EQ(data.Increment[1], 7.7);
    EXPECT_EQ(data.InitialSize[2], 140.5);
    EXPECT_EQ(data.Increment[2], 11.25);
    EXPECT_EQ(data.InitialSize[3], -2.0);
    EXPECT_EQ(data.Increment[3], 10.0);
  }
}

TEST(SeparatedValues, FrequencyFieldsAreMidpointThenOneCountPerSeries) {
  // A one-series file written as "12.5,3" used to read as an empty series.
  const std::string path = Write("two.csv", "mid,a,b\n12.5,3,0\n13.5,10,4\n14.5,0,1\n");
  ModelData data = SizedModelData(2);
  ASSERT_FALSE(ReadFrequencyFile(path, data));
  EXPECT_EQ(data.FrequencyLayout, DataLayout::Comma);
  EXPECT_EQ(data.CellCount, 3);
  EXPECT_EQ(data.CellWidth, 1.0);
  EXPECT_EQ(data.ObservedFrequency(1, 2), 10.0);
  EXPECT_EQ(data.ObservedFrequency(2, 3), 1.0);
  EXPECT_EQ(data.SeriesTotal[1], 13.0);
  EXPECT_EQ(data.TotalCount, 18.0);

  // Fewer series asked for than the file holds: the first ones, as the
  // fixed layout reads them.
  ModelData one = SizedModelData(1);
  ASSERT_FALSE(ReadFrequencyFile(path, one));
  EXPECT_EQ(one.SeriesTotal[1], 13.0);

  // The count checks and messages of the fixed layout hold here too.
  const std::string negative = Write("negative.csv", "m,a\n0.5,1\n1.5,-2\n");
  ModelData bad = SizedModelData(1);
  auto error = ReadFrequencyFile(negative, bad);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->text,
            "Frequency -2 in record 2, series 1 is negative; frequencies must be counts.");
}

TEST(SeparatedValues, FixedColumnFilesKeepTheirLayout) {
  for (const char* name : {"two_series.dat", "messy_frequencies_lf.dat", "five_cells.dat"}) {
    ModelData data = SizedModelData(1);
    ASSERT_FALSE(ReadFrequencyFile(testing::ModelDataFile(name), data)) << name;
    EXPECT_EQ(data.FrequencyLayout, DataLayout::FixedColumns) << name;
  }
  ModelData growth = SizedModelData(0);
  ASSERT_FALSE(ReadIncrementFile(testing::ModelDataFile("messy_increments.dat"), growth));
  EXPECT_EQ(growth.IncrementLayout, DataLayout::FixedColumns);
  // Blank-padded numbers that stand in their columns are the fixed layout.
  const std::string padded = Write("padded.txt", "a b\n  31.1   7.7\n 140.5  11.3\n");
  ASSERT_FALSE(ReadIncrementFile(padded, growth));
  EXPECT_EQ(growth.IncrementLayout, DataLayout::FixedColumns);
  EXPECT_EQ(growth.Increment[2], 11.3);
}

// Records in the fixed columns that also split at their commas into the same
// numbers may stand beside plain comma-separated ones: every number is read
// as written, including one that runs past its columns.
TEST(SeparatedValues, CommaRecordsThatAlsoFitTheColumnsReadAlike) {
  const std::string path =
      Write("both.dat", "I,D\n  31.1,   7.7\n100.22,18.78\n  10.0,   3.05\n71.4,20.1\n");
  ModelData data = SizedModelData(0);
  ASSERT_FALSE(ReadIncrementFile(path, data));
  EXPECT_EQ(data.IncrementLayout, DataLayout::Comma);
  EXPECT_EQ(data.Increment[1], 7.7);
  EXPECT_EQ(data.InitialSize[2], 100.22);
  EXPECT_EQ(data.Increment[3], 3.05);  // columns 8-13 alone would give 3.0
  EXPECT_EQ(data.Increment[4], 20.1);
  // Every record of this file fits the columns: it stays in the fixed layout.
  const std::string fixed = Write("fixed.dat", "I,D\n  31.1,   7.7\n100.22,18.78\n");
  ASSERT_FALSE(ReadIncrementFile(fixed, data));
  EXPECT_EQ(data.IncrementLayout, DataLayout::FixedColumns);
  EXPECT_EQ(data.Increment[2], 18.78);
}

struct Refusal {
  const char* name;
  int series;  // 0: an increment file
  const char* text;
  std::vector<std::string> parts;
};

TEST(SeparatedValues, MixedFilesAndRecordsOfNeitherLayoutAreRefusedWithTheLineNamed) {
  const std::vector<Refusal> cases = {
      {"fixed_then_tab.dat",
       0,
       "I,D\n  31.1,   7.7\n  40.5,  11.3\n71.4\t20.1\n",
       {"Record 1 (line 2), \"  31.1,   7.7\", is in fixed columns, but record 3 (line 4), "
        "\"71.4\t20.1\", is tab-separated values; a data file must keep to one layout",
        "Expected an initial size then an increment in columns 1-6 and 8-13, or an initial size "
        "then an increment separated by commas, semicolons, tabs or blanks."}},
      {"semicolon_then_fixed.csv",
       0,
       "I;D\n31.1;7.7\n  40.5,  11.3\n",
       {"Record 1 (line 2), \"31.1;7.7\", is semicolon-separated values, but record 2 (line 3), "
        "\"  40.5,  11.3\", is in fixed columns"}},
      {"not_a_number.csv",
       0,
       "I,D\n31.1,7.7\n40.1,NA\n",
       {"Record 2 (line 3), \"40.1,NA\", is not a record of comma-separated values: its field 2, "
        "\"NA\", is not a number. Expected an initial size then an increment, separated by "
        "commas."}},
      {"three_fields.csv",
       0,
       "I,D\n31.1,7.7\n40.1,2,3\n",
       {"Record 2 (line 3)", "it has 3 fields"}},
      {"tab_then_comma.tsv",
       0,
       "I\tD\n31.1\t7.7\n40.1,2\n",
       {"Record 2 (line 3)", "not a record of tab-separated values"}},
      {"blank_inside.csv",
       0,
       "I,D\n31.1,7.7\n\n40.1,2\n",
       {"Record 2 (line 3), \"\", is not a record of comma-separated values: it is blank"}},
      {"neither.dat",
       0,
       "I,D\n1234567,x\n",
       {"Record 1 (line 2), \"1234567,x\", fits no layout this program reads",
        "the number \"1234567\" stands in columns 1-7",
        "read as comma-separated values its field 2, \"x\", is not a number"}},
      {"too_few_counts.csv",
       3,
       "M,A,B,C\n0.5,1,2,3\n1.5,4,5\n",
       {"Record 2 (line 3), \"1.5,4,5\", is not a record of comma-separated values: it has 3 "
        "fields. Expected a midpoint then 3 counts (one per series), separated by commas."}},
      {"fixed_then_blank.dat",
       1,
       "M,A\n    0.5,    1\n1.5 2\n",
       {"Record 1 (line 2), \"    0.5,    1\", is in fixed columns, but record 2 (line 3), "
        "\"1.5 2\", is blank-separated values",
        "Expected a midpoint then a count in columns 1-7 and 9-13, or"}},
  };
  for (const Refusal& refusal : cases) {
    const std::string path = Write(refusal.name, refusal.text);
    ModelData data = SizedModelData(refusal.series);
    auto error =
        refusal.series == 0 ? ReadIncrementFile(path, data) : ReadFrequencyFile(path, data);
    ASSERT_TRUE(error) << refusal.name;
    EXPECT_EQ(error->title, refusal.series == 0 ? "Error in increment data file"
                                                : "Error in frequency data file");
    EXPECT_NE(error->text.find("File: " + path), std::string::npos) << error->text;
    for (const std::string& part : refusal.parts)
      EXPECT_NE(error->text.find(part), std::string::npos) << part << "\nnot in: " << error->text;
  }
}

// A refused file leaves the initialised model, its data and the status bar
// as they were; an accepted one names its layout beside its path.
TEST(SeparatedValues, ARefusedFileLeavesTheWorkbenchAsItWas) {
  Workbench wb;
  ScriptedDesktop desktop;
  CarapexSetup setup;
  setup.incrementPath = Write("good.csv", "I,D\n31.1,7.7\n40.5,11.3\n62.7,19.6\n");
  setup.incrementInstarsText = "0";
  ASSERT_TRUE(InitializeCarapex(wb, desktop, setup));
  EXPECT_EQ(desktop.Status(StatusBar::Files, 4),
            "Increment file: " + setup.incrementPath + " (comma-separated values)");
  EXPECT_EQ(DataLayoutNotes(wb, true),
            std::vector<std::string>{"Increment file read as comma-separated values: " +
                                     setup.incrementPath});
  const Vector before = wb.alg.Values;

  CarapexSetup broken = setup;
  broken.incrementPath = Write("broken.csv", "I,D\n31.1,7.7\n40.5;11.3\n");
  desktop.ExpectMessage("Error in increment data file");
  EXPECT_FALSE(InitializeCarapex(wb, desktop, broken));
  EXPECT_EQ(desktop.Status(StatusBar::Files, 4),
            "Increment file: " + setup.incrementPath + " (comma-separated values)");
  const auto* model = dynamic_cast<const CarapexModel*>(wb.model.get());
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(model->Data().IncrementFilePath, setup.incrementPath);
  EXPECT_EQ(model->Data().IncrementRecordCount, 3);
  EXPECT_EQ(wb.alg.Values.Size(), before.Size());
}

}  // namespace
}  // namespace estimetrix
