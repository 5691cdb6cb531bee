// The two data file readers: fixed columns, lenient numbers, the record
// limits and the two fatal conditions.

#include "model/data_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <optional>
#include <utility>

#include "carapex_fixture.h"
#include "tests/support/temporary_folder.h"

namespace estimetrix {
namespace {

using testing::ModelDataFile;
using testing::SizedModelData;

// Writes a generated file into this test program's own temporary folder.
std::string WriteTemporary(const std::string& name, const std::string& text) {
  static const testing::TemporaryFolder folder("estimetrix_model_test");
  const std::string path = folder.File(name);
  std::ofstream(path, std::ios::binary) << text;
  return path;
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
  ModelData data = SizedModelData(2);
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
  ModelData data = SizedModelData(1, 3);
  ASSERT_FALSE(ReadFrequencyFile(ModelDataFile("five_cells.dat"), data));
  EXPECT_EQ(data.CellCount, 5);
  EXPECT_DOUBLE_EQ(data.Midpoints[1], 0.5);
  EXPECT_DOUBLE_EQ(data.ObservedFrequency(1, 2), 0.0);
  EXPECT_DOUBLE_EQ(data.ObservedFrequency(1, 3), 3.0);
  EXPECT_DOUBLE_EQ(data.SeriesTotal[1], 12.0);
  EXPECT_DOUBLE_EQ(data.TotalCount, 12.0);
}

TEST(FrequencyFile, LenientFieldsLfLineEndsAndTrailingBlankLines) {
  ModelData data = SizedModelData(1);
  ASSERT_FALSE(ReadFrequencyFile(ModelDataFile("messy_frequencies_lf.dat"), data));
  EXPECT_EQ(data.CellCount, 4);  // the two blank lines at the end are not cells
  EXPECT_DOUBLE_EQ(data.ObservedFrequency(1, 2), 2.5);
  EXPECT_DOUBLE_EQ(data.ObservedFrequency(1, 3), 0.0);  // "xx"
  EXPECT_DOUBLE_EQ(data.SeriesTotal[1], 43.5);
  // Each addition to the grand total is rounded: 1, 3.5 -> 4, 4, 44.
  EXPECT_DOUBLE_EQ(data.TotalCount, 44.0);
}

TEST(FrequencyFile, FatalConditions) {
  ModelData uneven = SizedModelData(1);
  auto error = ReadFrequencyFile(ModelDataFile("uneven_midpoints.dat"), uneven);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->title, "Fatal error - analysis stops");
  EXPECT_EQ(error->text,
            "Inconsistency in frequency midpoint interval near record 4. Tolerance is 0.1%.");

  ModelData full = SizedModelData(1);
  EXPECT_FALSE(ReadFrequencyFile(WriteTemporary("250.dat", EvenCells(250)), full));
  EXPECT_EQ(full.CellCount, 250);
  ModelData over = SizedModelData(1);
  error = ReadFrequencyFile(WriteTemporary("251.dat", EvenCells(251)), over);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->title, "Fatal error - analysis stops");
  EXPECT_EQ(error->text, "Maximum number of 250 frequency cells exceeded");

  ModelData negative = SizedModelData(1);
  error = ReadFrequencyFile(WriteTemporary("negative.dat", "M,A\n    0.5,    1\n    1.5,   -2\n"),
                            negative);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->text,
            "Frequency    -2 in record 2, series 1 is negative; frequencies must be counts.");

  ModelData missing = SizedModelData(1);
  error = ReadFrequencyFile(ModelDataFile("no_such_file.dat"), missing);
  ASSERT_TRUE(error);
  EXPECT_NE(error->text.find("no_such_file.dat"), std::string::npos);
  EXPECT_TRUE(ReadFrequencyFile(ModelDataFile(""), missing));  // a folder
}

// A refused data file: the given title, and a text that names the file and
// holds each expected part.
void ExpectRefusal(const std::optional<DataFileError>& error, const std::string& title,
                   const std::string& path, std::initializer_list<std::string> parts) {
  ASSERT_TRUE(error) << path;
  EXPECT_EQ(error->title, title);
  EXPECT_NE(error->text.find(path), std::string::npos) << error->text;
  for (const std::string& part : parts) {
    EXPECT_NE(error->text.find(part), std::string::npos) << part << " not in: " << error->text;
  }
}

const char kFrequencyError[] = "Error in frequency data file";
const char kIncrementError[] = "Error in increment data file";

// Files that hold no data used to load as zero records and evaluate to an
// objective of 0.
TEST(DataFiles, FilesWithoutRecordsAreRefused) {
  const char noRecords[] = "holds no records";
  for (const auto& [name, text] : std::initializer_list<std::pair<std::string, std::string>>{
           {"empty.dat", ""},
           {"labels_only.dat", "Midpoint,A\r\n"},
           {"labels_then_blanks.dat", "Midpoint,A\r\n   \r\n\r\n"},
           {"one_long_line.dat", std::string(100000, '7')}}) {
    const std::string path = WriteTemporary(name, text);
    ModelData sizes = SizedModelData(1);
    ExpectRefusal(ReadFrequencyFile(path, sizes), kFrequencyError, path, {noRecords});
    ModelData growth = SizedModelData(0);
    ExpectRefusal(ReadIncrementFile(path, growth), kIncrementError, path, {noRecords});
  }
  // An empty device: refused, whether as no records or as not a file.
  ModelData device = SizedModelData(1);
  auto error = ReadFrequencyFile("/dev/null", device);
  ASSERT_TRUE(error);
  EXPECT_NE(error->text.find("/dev/null"), std::string::npos);
}

TEST(DataFiles, BinaryAndUtf16FilesAreRefused) {
  const std::string nuls = WriteTemporary("nuls.dat", std::string(300, '\0'));
  ModelData data = SizedModelData(1);
  ExpectRefusal(ReadFrequencyFile(nuls, data), kFrequencyError, nuls,
                {"NUL bytes in line 1 (the field labels)", "must be plain text"});

  const std::string utf16 = ModelDataFile("utf16_frequencies.dat");
  ExpectRefusal(ReadFrequencyFile(utf16, data), kFrequencyError, utf16, {"NUL bytes"});
  ModelData growth = SizedModelData(0);
  ExpectRefusal(ReadIncrementFile(utf16, growth), kIncrementError, utf16, {"NUL bytes"});

  // Noise further down names its record.
  using namespace std::string_literals;
  const std::string noisy =
      WriteTemporary("noisy.dat", "M,A\n    0.5,    1\n    1.5,    2\n  \x01\x00\x7f,  3\n"s);
  ExpectRefusal(ReadFrequencyFile(noisy, data), kFrequencyError, noisy,
                {"NUL bytes in record 3 (line 4)"});
}

TEST(FrequencyFile, SeriesAndCellsTheModelCannotFitAreRefused) {
  // More series asked for than the file has count columns.
  const std::string small = ModelDataFile("small_frequencies.dat");
  ModelData three = SizedModelData(3);
  ExpectRefusal(
      ReadFrequencyFile(small, three), kFrequencyError, small,
      {"Series 2 has no column", "columns 15-19", "asks for 3 series", "count columns for 1."});
  ModelData two = SizedModelData(2);
  EXPECT_FALSE(ReadFrequencyFile(ModelDataFile("two_series.dat"), two));

  // A series that counts nothing in the cells evaluated.
  const std::string quiet = WriteTemporary("quiet.dat",
                                           "M,A,B\n    0.5,    4,    0\n    1.5,    1,    0\n"
                                           "    2.5,    0,    0\n");
  ModelData data = SizedModelData(2);
  ExpectRefusal(ReadFrequencyFile(quiet, data), kFrequencyError, quiet,
                {"Series 2 has no count above 0 in records 1 to 3"});
  data = SizedModelData(1, 3);  // series 1 counts only before the first cell evaluated
  ExpectRefusal(ReadFrequencyFile(quiet, data), kFrequencyError, quiet,
                {"Series 1 has no count above 0 in record 3 (the cells evaluated)"});

  // A first cell beyond the last record.
  data = SizedModelData(1, 6);
  const std::string five = ModelDataFile("five_cells.dat");
  ExpectRefusal(ReadFrequencyFile(five, data), kFrequencyError, five,
                {"first cell evaluated is 6", "holds only 5 records"});
}

TEST(FrequencyFile, MidpointsMustRise) {
  for (const auto& [name, second] : std::initializer_list<std::pair<std::string, std::string>>{
           {"equal.dat", "    0.5"}, {"falling.dat", "   -0.5"}}) {
    const std::string path =
        WriteTemporary(name, "M,A\n    0.5,    1\n" + second + ",    2\n" + second + ",    3\n");
    ModelData data = SizedModelData(1);
    ExpectRefusal(ReadFrequencyFile(path, data), kFrequencyError, path,
                  {"Midpoint " + std::string(second.substr(second.find_first_not_of(' '))) +
                       " in record 2 (line 3) is not above midpoint 0.5 in record 1",
                   "midpoints must rise evenly"});
  }
  // One record gives no cell width at all.
  const std::string single = WriteTemporary("single.dat", "M,A\n    0.5,    1\n");
  ModelData data = SizedModelData(1);
  ExpectRefusal(ReadFrequencyFile(single, data), kFrequencyError, single,
                {"only 1 record", "at least 2 records"});
}

// Three cells of width 1 whose counts are given as 5-column fields.
std::string ThreeCells(const std::string& name, const std::string& first, const std::string& second,
                       const std::string& third) {
  return WriteTemporary(
      name, "M,A\n    0.5," + first + "\n    1.5," + second + "\n    2.5," + third + "\n");
}

TEST(FrequencyFile, CountsMustBeFiniteAndPlausible) {
  for (const std::string count : {"1E+10", "9E999"}) {
    const std::string path = ThreeCells("huge.dat", "    1", "    2", count);
    ModelData data = SizedModelData(1);
    ExpectRefusal(ReadFrequencyFile(path, data), kFrequencyError, path,
                  {"Frequency " + count + " in record 3 (line 4), series 1 is above 1000000000"});
  }
  ModelData limit = SizedModelData(1);
  ASSERT_FALSE(ReadFrequencyFile(ThreeCells("limit.dat", "    1", "    2", "1E+09"), limit));
  EXPECT_DOUBLE_EQ(limit.SeriesTotal[1], 1e9 + 3.0);
}

// Cells before the first cell evaluated take no part in the fit, so what
// they hold cannot stop it.
TEST(FrequencyFile, CountsBeforeTheFirstCellAreIgnored) {
  ModelData data = SizedModelData(1, 3);
  ASSERT_FALSE(ReadFrequencyFile(ThreeCells("ignored.dat", "   -3", "1E+20", "    4"), data));
  EXPECT_EQ(data.CellCount, 3);
  EXPECT_DOUBLE_EQ(data.ObservedFrequency(1, 1), 0.0);
  EXPECT_DOUBLE_EQ(data.ObservedFrequency(1, 2), 0.0);
  EXPECT_DOUBLE_EQ(data.SeriesTotal[1], 4.0);
  EXPECT_DOUBLE_EQ(data.TotalCount, 4.0);

  data = SizedModelData(1, 2);  // from the first cell evaluated on, a negative count is an error
  auto error = ReadFrequencyFile(ThreeCells("counted.dat", "    1", "   -3", "    4"), data);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->title, kFrequencyError);
  EXPECT_EQ(error->text,
            "Frequency    -3 in record 2, series 1 is negative; frequencies must be counts.");
}

TEST(IncrementFile, ReadsByColumnsWhateverTheLinesHold) {
  ModelData data = SizedModelData(0);
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
  ModelData data = SizedModelData(0);
  ASSERT_FALSE(ReadIncrementFile(WriteTemporary("1500.dat", text), data));
  EXPECT_EQ(data.IncrementRecordCount, 1200);
  EXPECT_DOUBLE_EQ(data.InitialSize[1200], 10.0 + 1200 % 90);
}

}  // namespace
}  // namespace estimetrix
