#pragma once
// The results summary's tables and plots: per-instar statistics, the
// frequency table of a series, the increment table, and the X-Y plots of
// PlotModelSeries. Everything is worked out from the best-state snapshot;
// the random parts (simulated frequency samples and record increments) draw
// from the summary's one generator.

#include <string>
#include <vector>

#include "engine/base/array.h"
#include "engine/state/report_views.h"
#include "model/goodness_of_fit.h"
#include "model/results_summary.h"

namespace estimetrix {

class Desktop;

class SummaryTables {
 public:
  SummaryTables(const SummaryModel& model, UniformGenerator& uniform, Desktop& desktop);

  // The series' predictions with the best vector but %SE 0, for the "no ME"
  // simulated column. Returns `penalty` plus what that prediction adds.
  double PredictWithoutMeasurementError(double penalty);
  // Both simulated samples of every series (with and without measurement error).
  void DrawFrequencySamples();
  // One pass of the increment test's simulation: a conditional simulated
  // increment for every record. Gamma increments that cannot be drawn (a
  // mean of 0 or less) are reported once as invalid data and leave none.
  void SimulateRecordIncrements();

  // The per-instar proportion, size and variance lines for instars
  // 1..upTo and the largest instar.
  std::string InstarStatistics(int upTo);
  // "Size frequency results for series: s" and its table.
  std::string FrequencyTable(int series);
  // "Increment data:", the note and the table; `byInstar` adds the
  // conditional predicted increment of every increment instar.
  std::string IncrementTable(bool byInstar);

  // The series handed to the plot window.
  std::vector<XYPlot> IncrementPlots();
  XYPlot GrowthCurvePlot() const;
  XYPlot FrequencyPlot(int series);

  const ModelData& Data() const { return m_.data; }

 private:
  // Expected frequency of instar k in cell c of series s (best state).
  double InstarExpected(int s, int k, int c);
  void EnsureInstarTables();
  void EnsureRecords();

  const SummaryModel& m_;
  UniformGenerator& uniform_;
  Desktop& desktop_;

  // Frequencies.
  bool instarTablesReady_ = false;
  ModelState instarState_;  // best state with its series proportions
  ModelWork instarWork_;    // cell probabilities, selectivity, normalisers
  Matrix noMePrediction_;   // series by cell
  bool noMeReady_ = false;
  std::vector<IntArray> simulatedWithMe_;  // per series (index s - 1), cells 1..CellCount
  std::vector<IntArray> simulatedNoMe_;

  // Increments, per record.
  bool recordsReady_ = false;
  ModelWork recordWork_;
  IncrementRecordModel recordModel_;
  Vector expected_, measurementVariance_, standardized_;
  Vector simulated_;  // the last conditional simulation (empty before one)
  bool undrawableReported_ = false;  // gamma increments with a mean of 0 or less
};

// The plots a user asked for: the increment plots, then (after asking) the
// instar growth curve and each series' observed and predicted frequencies.
void PlotModelSeries(SummaryTables& tables, PlotView& plots, Desktop& desktop);

}  // namespace estimetrix
