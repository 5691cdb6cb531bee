#include "model/carapex_model.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/base/format.h"
#include "model/carapex_derivatives.h"
#include "model/carapex_evaluator.h"
#include "model/data_files.h"
#include "model/likelihood.h"
#include "model/parameter_layout.h"
#include "model/results_summary.h"
#include "platform/desktop.h"
#include "platform/text_file.h"

namespace estimetrix {

namespace {

const char kSetupTitle[] = "Initialize Carapex";
const char kProportionTitle[] = "Error in proportion parameters";

// Largest count the model accepts in any of the form's boxes; the form offers
// far less, but typed entries and set-up files reach here too.
constexpr int kMaxSeries = 99;
constexpr int kMaxIncrementInstars = 99;
constexpr int kMaxFirstCell = kMaxCells;

// A count as the form's box holds it: its leading number, rounded. Texts
// that would not fit a count read as -1 so that the range checks refuse them.
int CountFromText(const std::string& text) {
  const double value = std::round(LenientNumber(text));
  if (!(std::fabs(value) <= 32767.0)) return -1;
  return static_cast<int>(value);
}

// The counts in the form's boxes, read as numbers.
struct FormCounts {
  int identified, blended, incrementInstars, series, firstCell;
};

FormCounts ReadCounts(const CarapexSetup& form) {
  const bool sizes = !form.frequencyPath.empty();
  FormCounts counts;
  counts.identified = CountFromText(form.identifiedText);
  counts.blended = CountFromText(form.blendedText);
  counts.incrementInstars = CountFromText(form.incrementInstarsText);
  counts.series = sizes ? CountFromText(form.seriesText) : 0;
  counts.firstCell = sizes ? CountFromText(form.firstCellText) : 1;
  if (counts.firstCell == 0) counts.firstCell = 1;
  return counts;
}

// What is wrong with the counts, or nothing. The form offers less than this;
// typed entries and set-up files still reach the model.
std::string CountProblem(const CarapexSetup& form, const FormCounts& counts) {
  const bool sizes = !form.frequencyPath.empty();
  if (!sizes && form.incrementPath.empty()) {
    return "Please specify the frequency file and/or increment file";
  }
  if (sizes && (counts.series < 1 || counts.series > kMaxSeries)) {
    return "The number of frequency series must be a whole number from 1 to " +
           IntText(kMaxSeries) + ".";
  }
  if (counts.identified < 0 || counts.blended < 0) {
    return "The numbers of identified and blended instars cannot be negative.";
  }
  if (counts.incrementInstars < 0 || counts.incrementInstars > kMaxIncrementInstars) {
    return "The number of instars providing increment data must be a whole number from 0 to " +
           IntText(kMaxIncrementInstars) + ".";
  }
  if (counts.firstCell < 1 || counts.firstCell > kMaxFirstCell) {
    return "The first frequency cell evaluated must be a whole number from 1 to " +
           IntText(kMaxFirstCell) + ".";
  }
  return {};
}

// At most 99 instars: the blended ones give way to the identified ones.
void ApplyCounts(const FormCounts& counts, ModelData& data) {
  data.IdentifiedInstarCount = std::min(counts.identified, kMaxInstars);
  data.BlendedInstarCount = counts.blended;
  data.InstarCount = data.IdentifiedInstarCount + counts.blended;
  if (data.InstarCount > kMaxInstars) {
    data.BlendedInstarCount = kMaxInstars - data.IdentifiedInstarCount;
    data.InstarCount = kMaxInstars;
  }
  data.IncrementInstarCount = counts.incrementInstars;
  data.SeriesCount = counts.series;
  data.FirstCell = counts.firstCell;
}

}  // namespace

CarapexModel::CarapexModel(Desktop& desktop) : desktop_(&desktop) {}

CarapexModel::~CarapexModel() = default;

void CarapexModel::SetSetup(const CarapexSetup& setup) {
  setup_ = setup;
}

double CarapexModel::SuggestedLikelihoodConstant() const {
  return likelihoodConstant_;
}

std::string CarapexModel::DataFileName() const {
  return data_.DataFileName;
}

bool CarapexModel::InitializationSucceeded() const {
  return lastInitializationSucceeded_;
}

void CarapexModel::MODEL(double& objective, Vector& parameters, Vector& steps,
                         StringArray& descriptions, StringArray& fuseCodes, int& parameterCount,
                         int NF, int& /*observationCount*/, Vector& gradient,
                         Matrix& secondDerivatives, int& sampleSize) {
  if (NF == 0) {
    Initialize(parameters, steps, descriptions, parameterCount);
  } else if (NF >= 1) {
    EvaluateModel(objective, parameters, NF);
  } else if (NF == -1 && initialized_) {
    WriteResultsSummary({data_, state_, best_, bestValues_, bestObjective_},
                        {parameters, steps, fuseCodes, descriptions, parameterCount},
                        summaryContext_, *desktop_);
  } else if (NF == -2 && initialized_) {
    // Exact derivatives with respect to the free parameters (and their fuse
    // followers); the caller's vector is left as it is.
    if (parameters.Lo() == 1 && parameters.Size() >= data_.ParameterCount) {
      objective = CarapexDerivatives(
          data_, parameters, ChooseDerivativeVariables(data_.ParameterCount, steps, fuseCodes),
          gradient, secondDerivatives);
    }
  }
  // The sample size of the small-sample criterion (AICc): every fish counted
  // in the frequency series plus every increment record. Reported on every
  // evaluation and at initialisation, so ranking and the results summary
  // use the same n.
  if (initialized_ && NF >= 0) {
    const double n = data_.TotalCount + data_.IncrementRecordCount;
    sampleSize = static_cast<int>(std::min(n, 2.0e9));
  }
}

// ---------------------------------------------------------------------------
// NF = 0. Everything is read into a fresh record first; the model's data and
// the caller's arrays change only once the whole initialisation succeeded.

void CarapexModel::Initialize(Vector& parameters, Vector& steps, StringArray& descriptions,
                              int& parameterCount) {
  lastInitializationSucceeded_ = false;
  ModelData fresh;
  if (!ReadConfiguration(fresh) || !ReadDataFiles(fresh)) return;

  data_ = std::move(fresh);
  state_.Resize(data_);
  best_.Resize(data_);
  work_.Resize(data_);
  bestValues_.Resize(1, data_.ParameterCount, 0.0);

  parameters.Resize(1, data_.ParameterCount, 0.0);
  steps.Resize(1, data_.ParameterCount, 0.0);
  descriptions.Resize(1, data_.ParameterCount, std::string());
  DescribeModelParameters(data_, descriptions);
  parameterCount = data_.ParameterCount;
  likelihoodConstant_ = 0.5;
  initialized_ = true;
  lastInitializationSucceeded_ = true;
}

bool CarapexModel::ReadConfiguration(ModelData& fresh) {
  const CarapexSetup& form = setup_;
  fresh.Pi = 4.0 * std::atan(1.0);
  fresh.TruncationMode = form.truncation == FrequencyTruncation::Truncated    ? "M"
                         : form.truncation == FrequencyTruncation::ZeroBeyond ? "0"
                                                                              : "";
  fresh.IncrementErrorDistribution = form.incrementErrors == IncrementErrors::Gamma    ? "G"
                                     : form.incrementErrors == IncrementErrors::Gaussian ? "N"
                                                                                         : "";
  fresh.InstarDistribution = form.instars == InstarShape::Gaussian ? "N"
                             : form.instars == InstarShape::Gamma  ? "G"
                                                                   : data_.InstarDistribution;
  fresh.FrequencyFilePath = form.frequencyPath;
  fresh.IncrementFilePath = form.incrementPath;
  const bool sizes = !form.frequencyPath.empty(), increments = !form.incrementPath.empty();
  fresh.AnalysisType = sizes && increments ? "B" : sizes ? "S" : "I";
  if (fresh.AnalysisType != "B") {
    fresh.DataFileName = BareFileName(sizes ? form.frequencyPath : form.incrementPath);
  }

  const FormCounts counts = ReadCounts(form);
  std::string problem = CountProblem(form, counts);
  if (problem.empty()) ApplyCounts(counts, fresh);
  // The increment instars are the model's first instars: there cannot be more
  // of them than the frequency side models.
  if (problem.empty() && fresh.AnalysisType == "B" &&
      fresh.IncrementInstarCount > fresh.InstarCount) {
    problem = "The number of instars providing increment data (" +
              IntText(fresh.IncrementInstarCount) +
              ") cannot exceed the number of identified and blended instars (" +
              IntText(fresh.InstarCount) + ").";
  }
  if (!problem.empty()) {
    desktop_->Inform(kSetupTitle, problem, Icon::Exclamation);
    return false;
  }
  fresh.ParameterCount = ModelParameterCount(fresh.SeriesCount, fresh.IdentifiedInstarCount,
                                             fresh.IncrementInstarCount);
  return true;
}

bool CarapexModel::ReadDataFiles(ModelData& fresh) {
  SizeDataArrays(fresh);
  std::optional<DataFileError> error;
  if (!fresh.IncrementFilePath.empty()) error = ReadIncrementFile(fresh.IncrementFilePath, fresh);
  if (!error && fresh.AnalysisType != "I") {
    error = ReadFrequencyFile(fresh.FrequencyFilePath, fresh);
  }
  if (error) {
    desktop_->Message({error->title, error->text, Buttons::Ok, Icon::None, 1});
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// NF >= 1.

void CarapexModel::EvaluateModel(double& objective, Vector& values, int NF) {
  if (!initialized_ || values.Lo() != 1 || values.Size() < data_.ParameterCount) {
    // Not a vector this model can read: never a usable objective.
    objective = std::numeric_limits<double>::quiet_NaN();
    return;
  }
  if (NF == 1) CheckProportions(values);
  objective = EvaluateCarapex(data_, values, state_, work_);
  if (NF == 1 || objective < bestObjective_) TakeSnapshot(objective, values);
}

std::unique_ptr<ModelEvaluator> CarapexModel::NewEvaluator() const {
  if (!initialized_) return nullptr;
  return std::make_unique<CarapexEvaluator>(data_);
}

int CarapexModel::SnapshotIndex(const std::vector<double>& objectives,
                                const std::vector<int>& NFs) const {
  double best = bestObjective_;
  int index = -1;
  const size_t count = std::min(objectives.size(), NFs.size());
  for (size_t i = 0; i < count; ++i) {
    if (NFs[i] == 1 || objectives[i] < best) {
      best = objectives[i];
      index = static_cast<int>(i);
    }
  }
  return index;
}

void CarapexModel::CheckProportions(const Vector& values) {
  const int identified = data_.IdentifiedInstarCount;
  const bool blended = data_.BlendedInstarCount >= 1;
  for (int s = 1; s <= data_.SeriesCount; ++s) {
    bool marker = false;
    for (int i = 1; i <= identified && !marker; ++i) {
      marker = values[data_.SeriesProportionIndex(s, i)] == -1.0;
    }
    if (marker && blended) {
      desktop_->Inform(kProportionTitle,
                       "At least one frequency series has an instar proportion fixed at -1; as "
                       "required only when there are no blended instars",
                       Icon::Critical);
      break;
    }
    if (marker) continue;
    if (!blended) {
      desktop_->Inform(kProportionTitle,
                       "At least one frequency series did not have an instar proportion fixed at "
                       "-1; as required when there are no blended instars",
                       Icon::Critical);
    }
    break;
  }
  if (data_.IncrementInstarCount >= 1) {
    bool marker = false;
    for (int i = 1; i <= data_.IncrementInstarCount; ++i) {
      marker = marker || values[kStructuralParameterCount + i] == -1.0;
    }
    if (!marker) {
      desktop_->Inform(kProportionTitle,
                       "No increment instar proportion was fixed at -1 as required",
                       Icon::Critical);
    }
  }
}

void CarapexModel::TakeSnapshot(double objective, const Vector& values) {
  bestObjective_ = objective;
  best_ = state_;
  best_.FrequencyTerm = 2.0 * state_.FrequencyTerm;
  best_.IncrementTerm = 2.0 * state_.IncrementTerm;
  for (int i = 1; i <= data_.ParameterCount; ++i) bestValues_[i] = values[i];
}

}  // namespace estimetrix
