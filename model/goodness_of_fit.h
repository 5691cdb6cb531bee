#pragma once
// Goodness of fit of the best parameter vector by a parametric bootstrap of
// the Pearson chi-square statistic ("Pearson deviates"), per frequency series
// and for the increment records, and the unconditional increment simulation.
// Every procedure draws from the caller's generator (the results summary
// seeds it once and lets the draws run on from test to test), shows its progress in the
// progress status bar, yields once per randomisation and appends its block
// to the report text.

#include <cstdint>
#include <string>

#include "engine/base/array.h"
#include "model/model_data.h"
#include "model/random_deviates.h"

namespace estimetrix {

class Desktop;

// The outcome of one Pearson-deviates test.
struct PearsonDeviates {
  int randomizations = 0;  // R
  double observed = 0.0;   // X
  double sum = 0.0;        // of the simulated statistics
  double sumOfSquares = 0.0;
  double minimum = 1e100;
  double maximum = 0.0;
  int exceedCount = 0;        // simulated statistics above X
  bool veryUnlikely = false;  // an occupied cell with no expected frequency
  std::uint64_t seed = 0;     // the generator's seed, stated in the block

  // Counts one simulated statistic.
  void Add(double statistic) {
    sum += statistic;
    sumOfSquares += statistic * statistic;
    if (statistic < minimum) minimum = statistic;
    if (statistic > maximum) maximum = statistic;
    if (statistic > observed) ++exceedCount;
  }
};

// The report block of a test: a leading new line, no trailing one. The line
// after the citation states the generator's seed.
std::string PearsonDeviatesBlock(const PearsonDeviates& test);

// What the increment test draws from, per record r and increment instar k
// (column 1 alone without increment instars): the record's cumulative
// normalised instar weights, the instar's conditional prediction and the
// increment variance plus the measurement-error variance.
struct IncrementRecordModel {
  Matrix cumulativeWeight;
  Matrix mean;
  Matrix variance;
};
IncrementRecordModel BuildIncrementRecordModel(const ModelData& data, const ModelState& best,
                                               const Vector& bestValues);

// With gamma increments, the first record that could draw an increment
// instar (or its single column) whose mean is 0 or less: no gamma increment
// exists for it. 0 when every record can be drawn, and always with Gaussian
// increments.
int FirstUndrawableRecord(const ModelData& data, const IncrementRecordModel& model);
// "The predicted increment of record r is zero or less, so no gamma
// increment can be drawn for it".
std::string UndrawableIncrementText(int record);

// A record's two-cell Pearson deviate (1 - q)^2/q + (1 - q), q being half the
// record's likelihood exp(-recordTerm).
double RecordPearsonDeviate(double recordTerm);

// The test for one series: cells firstCell..lastCell of `observed` and
// `expected` (indexed by cell), N = seriesTotal. Each randomisation is a
// multinomial sample of N over the cells expected above 0, in proportion to
// their expected values. A cell observed above 0 but expected at 0 or less is
// left out of the statistic and shows the very-unlikely message. Appends the
// block to `report`.
PearsonDeviates FrequencyGoodnessOfFit(int lastCell, int firstCell, const Vector& observed,
                                       const Vector& expected, double seriesTotal,
                                       int randomizations, UniformGenerator& uniform,
                                       Desktop& desktop, std::string& report);
// The best vector's predicted frequencies (series by cell) before the
// evaluation's floors: a cell the model cannot reach reads 0 here, where the
// best-state snapshot holds 1E-6 or 1E-20 in its place.
Matrix UnflooredPredictions(const ModelData& data, const ModelState& best,
                            const Vector& bestValues);
// The test for series `series` of the data against `predicted` (series by
// cell; the unfloored predictions, so that an observation in a cell the
// model cannot reach is seen, left out and warned of).
PearsonDeviates FrequencyGoodnessOfFit(const ModelData& data, const Matrix& predicted, int series,
                                       int randomizations, UniformGenerator& uniform,
                                       Desktop& desktop, std::string& report);

// The test for the increment records under the best state and vector. With
// gamma increments and a record FirstUndrawableRecord names, no randomisation
// runs: an invalid-data warning is shown, a line says why and the block
// follows with its statistics undefined.
// `lastSimulated`, when given, receives the last randomisation's simulated
// increments (records 1..IncrementRecordCount; empty when R = 0).
PearsonDeviates IncrementGoodnessOfFit(const ModelData& data, const ModelState& best,
                                       const Vector& bestValues, int randomizations,
                                       UniformGenerator& uniform, Desktop& desktop,
                                       std::string& report, Vector* lastSimulated = nullptr);

// Draws round(seriesTotal) individuals from the expected frequencies of cells
// firstCell..lastCell, normalised to sum 1, into `counts` (sized to
// 1..lastCell, zero elsewhere; all zero when no cell is expected above 0).
void SimulateFrequencySample(int lastCell, int firstCell, double seriesTotal,
                             const Vector& expected, UniformGenerator& uniform, IntArray& counts);
// Row `series` of a series-by-cell matrix (such as PredictedFrequency or
// ObservedFrequency) as a vector over cells 1..lastCell.
Vector SeriesRow(const Matrix& bySeriesAndCell, int series, int lastCell);

constexpr int kMaxSimulatedIncrements = 10000;

// Simulates `count` (at most 10000) unconditional increments from the best
// state and vector and appends the table to `report`; warns about negative
// pre-moult sizes or increments. With gamma errors, a drawn instar whose mean
// size, or a simulated size whose predicted increment, is 0 or less ends the
// simulation with an invalid-data warning and a line instead of the table.
// Needs increment instars; without them nothing happens.
void SimulateIncrements(const ModelData& data, const ModelState& best, const Vector& bestValues,
                        int count, UniformGenerator& uniform, Desktop& desktop,
                        std::string& report);

}  // namespace estimetrix
