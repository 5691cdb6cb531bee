// The two data file readers: fixed columns, lenient numbers, the record
// limits and the two fatal conditions.

#include "model/data_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "carapex_fixture.h"

namespace estimetrix {
namespace {

using testing::ModelDataFile;

ModelData Configured(int series, int firstCell = 1) {
  ModelData data;
  data.SeriesCount = series;
  data.FirstCell = firstCell;
  SizeDataArrays(data);
  return data;
}

// Writes a generated file into the test's temporary folder.
std::string WriteTemporary(const std::string& name, const std::string& text) {
  const auto path = std::filesystem::temp_directory_path() / ("estimetrix_model_test_" + name);
  std::ofstream(path, std::ios::binary) << text;
  return path.string();
}

std::string EvenCells(int count) {
  std::string text = "Midpoint,A\r\n";
  char line[32];
  for (int c = 1; c <= count; ++c) {
    std::snprintf(line, sizeof line, "%7.1f,%5d\r\n", c - 0.5, c % 7);
    text += line;
  }
  return text;
}

TEST(FrequencyFile, ReadsColumnsTotalsAndCellWidth) {
  ModelData data = Configured(2);
  ASSERT_FALSE(ReadFrequencyFile(ModelDataFile("uneven_within_tolerance.dat"), data));
  EXPECT_EQ(data.CellCount, 4);
  EXPECT_DOUBLE_EQ(data.CellWidth, 1.0);
  EXPECT_DOUBLE_EQ(data.Midpoints[4], 3.5005);  // deviation 0.0005 is within 0.1%
  EXPECT_DOUBLE_EQ(data.ObservedFrequency(2, 3), 9.0);
  EXPECT_DOUBLE_EQ(data.ObservedFrequency(2, 4), 0.0);  // short line: no second count
  EXPECT_DOUBLE_EQ(data.SeriesTotal[1], 10.0);
  EXPECT_DOUBLE_EQ(data.SeriesTotal[2], 24.0);
  EXPECT_DOUBLE_EQ(data.TotalCount, 34.0);
}

TEST(FrequencyFile, CellsBeforeTheFirstCellCountForSpacingButStoreZero) {
  ModelData data = Configured(1, 3);
  ASSERT_FALSE(ReadFrequencyFile(ModelDataFile("five_cells.dat"), data));
  EXPECT_EQ(data.CellCount, 5);
  EXPECT_DOUBLE_EQ(data.Midpoints[1], 0.5);
  EXPECT_DOUBLE_EQ(data.ObservedFrequency(1, 2), 0.0);
  EXPECT_DOUBLE_EQ(data.ObservedFrequency(1, 3), 3.0);
  EXPECT_DOUBLE_EQ(data.SeriesTotal[1], 12.0);
  EXPECT_DOUBLE_EQ(data.TotalCount, 12.0);
}

TEST(FrequencyFile, LenientFieldsLfLineEndsAndTrailingBlankLines) {
  ModelData data = Configured(1);
  ASSERT_FALSE(ReadFrequencyFile(ModelDataFile("messy_frequencies_lf.dat"), data));
  EXPECT_EQ(data.CellCount, 4);  // the two blank lines at the end are not cells
  EXPECT_DOUBLE_EQ(data.ObservedFrequency(1, 2), 2.5);
  EXPECT_DOUBLE_EQ(data.ObservedFrequency(1, 3), 0.0);  // "xx"
  EXPECT_DOUBLE_EQ(data.SeriesTotal[1], 43.5);
  // Each addition to the grand total is rounded: 1, 3.5 -> 4, 4, 44.
  EXPECT_DOUBLE_EQ(data.TotalCount, 44.0);
}

TEST(FrequencyFile, FatalConditions) {
  ModelData uneven = Configured(1);
  auto error = ReadFrequencyFile(ModelDataFile("uneven_midpoints.dat"), uneven);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->title, "Fatal error - analysis stops");
  EXPECT_EQ(error->text,
            "Inconsistency in frequency midpoint interval near record 4. Tolerance is 0.1%.");

  ModelData full = Configured(1);
  EXPECT_FALSE(ReadFrequencyFile(WriteTemporary("250.dat", EvenCells(250)), full));
  EXPECT_EQ(full.CellCount, 250);
  ModelData over = Configured(1);
  error = ReadFrequencyFile(WriteTemporary("251.dat", EvenCells(251)), over);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->title, "Fatal error - analysis stops");
  EXPECT_EQ(error->text, "Maximum number of 250 frequency cells exceeded");

  ModelData negative = Configured(1);
  error = ReadFrequencyFile(WriteTemporary("negative.dat", "M,A\n    0.5,    1\n    1.5,   -2\n"),
                            negative);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->text,
            "Frequency    -2 in record 2, series 1 is negative; frequencies must be counts.");

  ModelData missing = Configured(1);
  error = ReadFrequencyFile(ModelDataFile("no_such_file.dat"), missing);
  ASSERT_TRUE(error);
  EXPECT_NE(error->text.find("no_such_file.dat"), std::string::npos);
  EXPECT_TRUE(ReadFrequencyFile(ModelDataFile(""), missing));  // a folder
}

TEST(IncrementFile, ReadsByColumnsWhateverTheLinesHold) {
  ModelData data = Configured(0);
  ASSERT_FALSE(ReadIncrementFile(ModelDataFile("messy_increments.dat"), data));
  // Records: 10/3, junk/junk, a short line, an empty line in the middle, a
  // long line; the blank lines at the end are not records.
  ASSERT_EQ(data.IncrementRecordCount, 5);
  EXPECT_DOUBLE_EQ(data.Increment[1], 3.0);
  EXPECT_DOUBLE_EQ(data.InitialSize[2], 0.0);
  EXPECT_DOUBLE_EQ(data.Increment[2], 0.0);
  EXPECT_DOUBLE_EQ(data.InitialSize[3], 1.0);
  EXPECT_DOUBLE_EQ(data.InitialSize[4], 0.0);
  EXPECT_DOUBLE_EQ(data.InitialSize[5], 20.5);
  EXPECT_DOUBLE_EQ(data.Increment[5], 4.25);
}

TEST(IncrementFile, ReadsAtMost1200RecordsSilently) {
  std::string text = "Initial,Increment\n";
  for (int r = 1; r <= 1500; ++r) text += "  " + std::to_string(10 + r % 90) + ".0,   5.0\n";
  ModelData data = Configured(0);
  ASSERT_FALSE(ReadIncrementFile(WriteTemporary("1500.dat", text), data));
  EXPECT_EQ(data.IncrementRecordCount, 1200);
  EXPECT_DOUBLE_EQ(data.InitialSize[1200], 10.0 + 1200 % 90);
}

}  // namespace
}  // namespace estimetrix
