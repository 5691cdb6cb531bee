#pragma once
// What the Carapex model knows: its configuration and loaded data
// (ModelData, fixed at initialisation), the state an evaluation derives from
// the parameter vector (ModelState, copied whole into the best-state
// snapshot), and the evaluation's scratch arrays (ModelWork). Every array is
// sized at initialisation, so an evaluation never allocates, and nothing here
// is shared between model copies.

#include <string>

#include "engine/base/array.h"
#include "model/data_layout.h"
#include "model/distributions.h"

namespace estimetrix {

constexpr int kStructuralParameterCount = 21;
constexpr int kMaxCells = 250;
constexpr int kMaxIncrementRecords = 1200;
constexpr int kMaxInstars = 99;
constexpr int kBetaCount = 9;  // Beta 0..8
constexpr int kTauCount = 3;   // Tau 0..2

struct ModelData {
  // Configuration.
  std::string AnalysisType;                // "S" sizes, "I" increments, "B" both
  std::string TruncationMode;              // "M" truncated, "0" zero beyond, "" neither
  std::string InstarDistribution;          // "N" Gaussian, "G" gamma, "" not chosen
  std::string IncrementErrorDistribution;  // "N" Gaussian, "G" gamma
  int SeriesCount = 0;
  int IdentifiedInstarCount = 0;
  int BlendedInstarCount = 0;
  int InstarCount = 0;
  int IncrementInstarCount = 0;
  int FirstCell = 1;
  int CellCount = 0;
  double CellWidth = 0.0;
  int MaxCells = kMaxCells;
  int MaxIncrementRecords = kMaxIncrementRecords;
  int FixedParameterCount = kStructuralParameterCount;
  int ParameterCount = 0;
  std::string FrequencyFilePath;
  std::string IncrementFilePath;
  std::string DataFileName;
  double Pi = 0.0;

  // Loaded data.
  Vector Midpoints;          // cells 1..250
  Matrix ObservedFrequency;  // series 0..SeriesCount by cell 0..250
  Vector SeriesTotal;        // series 1..SeriesCount
  double TotalCount = 0.0;   // whole number: each addition is rounded
  Vector InitialSize;        // records 1..1200
  Vector Increment;          // records 1..1200
  int IncrementRecordCount = 0;
  DataLayout FrequencyLayout = DataLayout::FixedColumns;  // as the readers found the files
  DataLayout IncrementLayout = DataLayout::FixedColumns;

  bool HasFrequencies() const { return AnalysisType == "S" || AnalysisType == "B"; }
  bool HasIncrements() const { return AnalysisType == "I" || AnalysisType == "B"; }
  // Instars whose means and SDs the growth model works out.
  int GrowthInstarCount() const { return AnalysisType == "I" ? IncrementInstarCount : InstarCount; }
  // Position in the vector of series s's proportion of identified instar i.
  int SeriesProportionIndex(int s, int i) const {
    return FixedParameterCount + (s - 1) * IdentifiedInstarCount + i;
  }
};

// Everything an evaluation derives from the vector that the results report
// reads back from the best-state snapshot.
struct ModelState {
  Vector InstarMean;               // instars 0..n
  Vector InstarSD;                 // instars 0..n
  Vector IncrementSD;              // instars 0..n: moult increment from k to k+1
  Vector SizeIncrementCovariance;  // instars 0..n
  Vector Beta;                     // 0..8
  Vector Tau;                      // 0..2
  double Omega = 0.0;
  double FrequencyCorrelation = 0.0;  // r
  double MeasurementVariance = 0.0;   // %SE squared
  double SelectivityMean = 0.0;
  double SelectivityVariance = 0.0;
  double WeibullScale = 0.0;  // Psi
  double WeibullPower = 0.0;  // Phi
  bool SelectivityInUse = false;
  Vector IncrementProportion;  // increment instars 1..K
  Matrix SeriesProportion;     // series 1..S by identified instar 1..I
  Matrix BlendedProportion;    // series 1..S by blended instar 1..B
  Matrix PredictedFrequency;   // series 0..S by cell 0..250
  Vector SeriesG;              // series 1..S
  double FrequencyTerm = 0.0;
  double IncrementTerm = 0.0;
  double Penalty = 0.0;

  void Resize(const ModelData& data);
};

// What the increment records of one initial size share under one increment
// instar. Worked out once per size; the records that repeat the size (sorted
// data have runs of them) only add their observed increment.
struct SizeComponent {
  double weight = 0.0;     // normalised instar weight
  double predicted = 0.0;  // conditional predicted increment
  double variance = 0.0;   // its variance, measurement error included
  double error = 0.0;      // measurement variance
  double penalty = 0.0;    // negative gamma scale
  // Gaussian increments: lower tail at zero, and the closed form's terms.
  double lowerTail = 0.0;      // P0
  double twoVariance = 0.0;    // 2V
  double densityFactor = 0.0;  // 1 / (sqrt(2 pi V) (1 - P0)), or without (1 - P0)
  bool closedForm = true;      // no measurement-error integral
  bool truncated = false;      // the truncation at zero counts
  // Gamma increments: shape, scale, alpha ln beta and ln Gamma(alpha).
  double alpha = 0.0;
  double beta = 0.0;
  double alphaLogBeta = 0.0;
  double logGammaAlpha = 0.0;
  // The record at hand: exp(-g), the component's density.
  double density = 0.0;
  int sameAs = 0;  // an earlier instar with the same prediction (0: none)
};

// Length of each array in the increment loop's scratch block (a multiple of
// 4, above the record count), and the doubles the block needs for this many
// records and increment instars.
constexpr int IncrementScratchStride(int records) {
  return (records + 4) / 4 * 4;
}
constexpr int IncrementScratchLength(int records, int instars) {
  return IncrementScratchStride(records) * (11 + 3 * instars);
}

// Scratch arrays of one evaluation and the per-record increment results that
// the goodness-of-fit test and the report read.
struct ModelWork {
  // Frequencies. Cell probabilities do not depend on the series, so one
  // table serves them all.
  Matrix CellProbability;   // instar 1..n by cell 1..250
  IntArray WindowFirst;     // instar 1..n: first cell inside the instar's window
  IntArray WindowLast;      // instar 1..n: last such cell (below WindowFirst when none)
  Vector Selectivity;       // cells 1..250
  Vector Mixture;           // cells 1..250: proportion-weighted sum over instars
  Vector InstarProportion;  // instars 1..n for the series at hand
  Vector WeibullWeight;     // blended instars 1..B
  Vector SeriesNormalizer;  // series 1..S

  // Increments, per record 1..1200 and per increment instar 1..K.
  Vector PredictedIncrement;
  Vector PredictedPostMoultSize;
  Vector IncrementVariance;
  Vector RecordTerm;
  Vector RecordPenalty;
  Matrix ConditionalIncrement;                  // record by increment instar
  Matrix ConditionalVariance;                   // record by increment instar
  Vector InstarWeight;                          // increment instars 1..K for the record at hand
  Array1<GammaDensity> IncrementInstarDensity;  // increment instars 1..K

  // Increments, per increment instar 1..max(K, 1) for the initial size at
  // hand (without instars, entry 1 is the record's single component).
  Array1<SizeComponent> SizeComponents;
  // Gaussian increments without measurement error: per-size and
  // per-(instar, size) arrays that the increment loop carves out of this
  // block (IncrementScratchLength(records, K) doubles).
  Vector IncrementScratch;

  void Resize(const ModelData& data);
};

}  // namespace estimetrix
