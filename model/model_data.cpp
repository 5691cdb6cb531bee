#include "model/model_data.h"

namespace estimetrix {

void ModelState::Resize(const ModelData& data) {
  const int n = data.GrowthInstarCount();
  const int series = data.SeriesCount;
  InstarMean.Resize(0, n, 0.0);
  InstarSD.Resize(0, n, 0.0);
  IncrementSD.Resize(0, n, 0.0);
  SizeIncrementCovariance.Resize(0, n, 0.0);
  Beta.Resize(0, kBetaCount - 1, 0.0);
  Tau.Resize(0, kTauCount - 1, 0.0);
  IncrementProportion.Resize(1, data.IncrementInstarCount, 0.0);
  SeriesProportion.Resize(1, series, 1, data.IdentifiedInstarCount, 0.0);
  BlendedProportion.Resize(1, series, 1, data.BlendedInstarCount, 0.0);
  PredictedFrequency.Resize(0, series, 0, kMaxCells, 0.0);
  SeriesG.Resize(1, series, 0.0);
  Omega = FrequencyCorrelation = MeasurementVariance = 0.0;
  SelectivityMean = SelectivityVariance = WeibullScale = WeibullPower = 0.0;
  SelectivityInUse = false;
  FrequencyTerm = IncrementTerm = Penalty = 0.0;
}

void ModelWork::Resize(const ModelData& data) {
  const int n = data.GrowthInstarCount();
  const int records = kMaxIncrementRecords;
  const int k = data.IncrementInstarCount;
  CellProbability.Resize(1, n, 1, kMaxCells, 0.0);
  WindowFirst.Resize(1, n, 1);
  WindowLast.Resize(1, n, 0);
  Selectivity.Resize(1, kMaxCells, 1.0);
  Mixture.Resize(1, kMaxCells, 0.0);
  InstarProportion.Resize(1, n, 0.0);
  WeibullWeight.Resize(1, data.BlendedInstarCount, 0.0);
  SeriesNormalizer.Resize(1, data.SeriesCount, 0.0);
  PredictedIncrement.Resize(1, records, 0.0);
  PredictedPostMoultSize.Resize(1, records, 0.0);
  IncrementVariance.Resize(1, records, 0.0);
  RecordTerm.Resize(1, records, 0.0);
  RecordPenalty.Resize(1, records, 0.0);
  ConditionalIncrement.Resize(1, records, 1, k, 0.0);
  ConditionalVariance.Resize(1, records, 1, k, 0.0);
  InstarWeight.Resize(1, k, 0.0);
  IncrementInstarDensity.Resize(1, k, GammaDensity());
  SizeComponents.Resize(1, k > 0 ? k : 1, SizeComponent());
  IncrementScratch.Resize(1, k > 0 ? IncrementScratchLength(data.IncrementRecordCount, k) : 0, 0.0);
}

}  // namespace estimetrix
