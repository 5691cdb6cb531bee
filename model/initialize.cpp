#include "model/initialize.h"

#include <algorithm>
#include <filesystem>
#include <memory>

#include "engine/base/format.h"
#include "engine/state/algorithm_data.h"
#include "engine/state/workbench.h"
#include "model/carapex_model.h"
#include "platform/desktop.h"
#include "platform/text_file.h"

namespace estimetrix {

namespace {

// The model holds at most 99 instars and 250 cells; 99 series keep the
// parameter count (21 + 99 + 99 x 99) well inside the 16-bit field of the
// algorithm file. The form's lists offer less, but its boxes can be typed in.
constexpr int kInstarLimit = 99;
constexpr int kSeriesLimit = 99;
constexpr int kCellLimit = 250;
// The prior terms a fresh uniform prior carries.

std::string Trim(const std::string& text) {
  size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

std::optional<int> Count(const std::string& text, int lo, int hi) {
  long long value = 0;
  if (!StrictInteger(text, lo, hi, value)) return std::nullopt;
  return static_cast<int>(value);
}

bool IsZero(const std::string& text) {
  std::optional<int> value = Count(text, 0, 0);
  return value.has_value();
}

// --- the checks made before the model sees the choices --------------------

void MissingInput(Desktop& desktop, const std::string& text) {
  desktop.Inform("Missing input", text, Icon::Information);
}

void Refuse(Desktop& desktop, const std::string& text) {
  desktop.Inform("Initialize", text, Icon::Exclamation);
}

void EmptyCountsToZero(CarapexSetup& setup) {
  for (std::string* text : {&setup.seriesText, &setup.identifiedText, &setup.blendedText,
                            &setup.incrementInstarsText}) {
    if (Trim(*text).empty()) *text = "0";
  }
}

bool InputComplete(Desktop& desktop, const CarapexSetup& setup) {
  bool frequencies = !setup.frequencyPath.empty();
  if (!frequencies && setup.incrementPath.empty()) {
    MissingInput(desktop, "Please specify the frequency file and/or increment file");
    return false;
  }
  if (!frequencies) return true;
  if (Trim(setup.firstCellText).empty()) {
    MissingInput(desktop, "Please specify the 1st frequency cell to be evaluated");
    return false;
  }
  if (IsZero(setup.seriesText)) {
    MissingInput(desktop, "Please enter a non-zero value for the number of series");
    return false;
  }
  if (IsZero(setup.identifiedText) && IsZero(setup.blendedText)) {
    MissingInput(desktop,
                 "Please enter a non-zero value for either or both of the identified or "
                 "blended instars");
    return false;
  }
  return true;
}

bool CountInRange(Desktop& desktop, const std::string& text, const std::string& what, int lo,
                  int hi) {
  if (Count(text, lo, hi)) return true;
  Refuse(desktop, what + " must be a whole number from " + IntText(lo) + " to " + IntText(hi) +
                      " (not \"" + Trim(text) + "\")");
  return false;
}

// The boxes are editable, so anything can arrive here; the model reads 16-bit
// counts and sizes its arrays from them.
bool CountsUsable(Desktop& desktop, const CarapexSetup& setup) {
  if (!setup.frequencyPath.empty()) {
    if (!CountInRange(desktop, setup.seriesText, "Number of frequency series", 1, kSeriesLimit))
      return false;
    // A first cell of 0 reads as 1, as the model reads it.
    if (!CountInRange(desktop, setup.firstCellText, "First frequency cell evaluated", 0,
                      kCellLimit))
      return false;
  }
  return CountInRange(desktop, setup.identifiedText, "Number of smaller identifiable instars", 0,
                      kInstarLimit) &&
         CountInRange(desktop, setup.blendedText, "Number of blended instars", 0, kInstarLimit) &&
         CountInRange(desktop, setup.incrementInstarsText,
                      "Potential number of instars providing increment data", 0, kInstarLimit);
}

// In a combined analysis the increment instars index the instar arrays, so
// there cannot be more of them than instars.
bool IncrementInstarsFit(Desktop& desktop, const CarapexSetup& setup) {
  if (setup.frequencyPath.empty() || setup.incrementPath.empty()) return true;
  int instars = EffectiveInstarCount(setup.identifiedText, setup.blendedText).value_or(0);
  int incrementInstars = Count(setup.incrementInstarsText, 0, kInstarLimit).value_or(0);
  if (incrementInstars <= instars) return true;
  Refuse(desktop, "The potential number of instars providing increment data (" +
                      IntText(incrementInstars) +
                      ") cannot exceed the number of instars fitted to the frequencies (" +
                      IntText(instars) + ")");
  return false;
}

// --- the engine's reset for a new model ------------------------------------

// A separated-values file is named as such beside its path; the fixed
// columns are the described layout and need no word.
std::string LayoutSuffix(DataLayout layout) {
  return layout == DataLayout::FixedColumns ? std::string() : " (" + LayoutName(layout) + ")";
}

void ResetEngine(Workbench& wb, Desktop& desktop, const CarapexSetup& setup,
                 const ModelData& data) {
  const int n = wb.alg.ParameterCount;
  wb.state.PriorsActive = false;
  wb.priors.PriorsFilePath.clear();
  wb.state.CovarianceCurrent = false;
  wb.state.SimplexRetained = false;
  wb.alg.PartlyRead = false;
  wb.ResizeForModel(n);
  // "~~" is the unfused code; a lone "~" would read as a fuse group of its own.
  wb.alg.FuseCodes.Resize(1, n, kUnfused);
  // The old tables name parameters of the previous model.
  wb.fuse = FuseGroupTable{};
  wb.free = FreeParameterList{};
  // The previous algorithm data did not survive the new layout.
  wb.alg.AlgorithmFilePath.clear();
  wb.initialized = true;
  desktop.SetStatus(StatusBar::Files, 2, "Bayesian priors file: ");
  desktop.SetStatus(StatusBar::Files, 3,
                    "Frequency file: " + setup.frequencyPath +
                        (data.HasFrequencies() ? LayoutSuffix(data.FrequencyLayout) : ""));
  desktop.SetStatus(StatusBar::Files, 4,
                    "Increment file: " + setup.incrementPath +
                        (data.HasIncrements() ? LayoutSuffix(data.IncrementLayout) : ""));
}

}  // namespace

std::optional<int> EffectiveInstarCount(const std::string& identifiedText,
                                        const std::string& blendedText) {
  std::optional<int> identified = Count(identifiedText, 0, 1 << 30);
  std::optional<int> blended = Count(blendedText, 0, 1 << 30);
  if (!identified || !blended) return std::nullopt;
  int capped = std::min(*identified, kInstarLimit);
  return std::min(capped + std::min(*blended, kInstarLimit), kInstarLimit);
}

std::vector<std::string> DataLayoutNotes(const Workbench& wb, bool includeFixed) {
  std::vector<std::string> notes;
  const auto* carapex = dynamic_cast<const CarapexModel*>(wb.model.get());
  if (carapex == nullptr || !wb.initialized) return notes;
  const ModelData& data = carapex->Data();
  auto told = [includeFixed](DataLayout layout) {
    return includeFixed || layout != DataLayout::FixedColumns;
  };
  if (data.HasFrequencies() && told(data.FrequencyLayout)) {
    notes.push_back("Frequency file read as " + LayoutName(data.FrequencyLayout) + ": " +
                    data.FrequencyFilePath);
  }
  if (data.HasIncrements() && told(data.IncrementLayout)) {
    notes.push_back("Increment file read as " + LayoutName(data.IncrementLayout) + ": " +
                    data.IncrementFilePath);
  }
  return notes;
}

std::string DefaultIncrementInstars(const CarapexSetup& setup) {
  return IntText(EffectiveInstarCount(setup.identifiedText, setup.blendedText).value_or(0));
}

bool InitializeCarapex(Workbench& wb, Desktop& desktop, const CarapexSetup& input) {
  CarapexSetup setup = input;
  EmptyCountsToZero(setup);
  if (!InputComplete(desktop, setup) || !CountsUsable(desktop, setup) ||
      !IncrementInstarsFit(desktop, setup))
    return false;

  // A model that is not Carapex yet (or none) is replaced only on success.
  auto* carapex = dynamic_cast<CarapexModel*>(wb.model.get());
  std::unique_ptr<CarapexModel> fresh;
  if (carapex == nullptr) {
    fresh = std::make_unique<CarapexModel>(desktop);
    carapex = fresh.get();
  }
  carapex->SetSetup(setup);

  // The model re-sizes and fills what it is given; give it copies so that a
  // data file it refuses leaves the algorithm data as it was.
  AlgorithmData trial = wb.alg;
  FuseGroupTable groups = wb.fuse;
  ExpandFusedParameters(trial.Values, trial, groups, wb.state);
  double objective = 0.0;
  int parameterCount = trial.ParameterCount;
  int observationCount = wb.state.ObservationCount;
  int sampleSize = wb.state.AICcSampleSize;
  Vector gradient;
  Matrix secondDerivatives;
  carapex->MODEL(objective, trial.Values, trial.Steps, trial.Descriptions, trial.FuseCodes,
                 parameterCount, 0, observationCount, gradient, secondDerivatives, sampleSize);
  if (!carapex->InitializationSucceeded()) return false;

  if (fresh) wb.model = std::move(fresh);
  wb.alg.ParameterCount = parameterCount;
  wb.alg.Values = std::move(trial.Values);
  wb.alg.Steps = std::move(trial.Steps);
  wb.alg.Descriptions = std::move(trial.Descriptions);
  ResetEngine(wb, desktop, setup, carapex->Data());
  return true;
}

// --- set-up files --------------------------------------------------------

namespace {

bool IsPathKey(const std::string& key) {
  return key == "frequencies" || key == "increments" || key == "alg";
}

std::string ResolveBeside(const std::string& file, const std::string& value) {
  std::filesystem::path path(value);
  if (value.empty() || path.is_absolute()) return value;
  return (std::filesystem::path(file).parent_path() / path).lexically_normal().string();
}

bool Choose(const std::string& value, const char* first, const char* second, bool& isFirst) {
  if (value == first) {
    isFirst = true;
    return true;
  }
  if (value == second) {
    isFirst = false;
    return true;
  }
  return false;
}

}  // namespace

std::optional<std::vector<SetupEntry>> ReadSetupEntries(const std::string& path,
                                                        std::string& error) {
  std::optional<std::vector<std::string>> lines = ReadTextLines(path, error);
  if (!lines) return std::nullopt;
  DropByteOrderMark(*lines);
  std::vector<SetupEntry> entries;
  for (size_t i = 0; i < lines->size(); ++i) {
    std::string line = (*lines)[i];
    if (size_t hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    if (Trim(line).empty()) continue;
    size_t equals = line.find('=');
    if (equals == std::string::npos) {
      error = path + " line " + IntText(static_cast<long long>(i + 1)) +
              ": expected key=value, found \"" + EscapeControlCharacters(Trim(line)) + "\"";
      return std::nullopt;
    }
    std::string key = Trim(line.substr(0, equals));
    std::string value = Trim(line.substr(equals + 1));
    if (IsPathKey(key)) value = ResolveBeside(path, value);
    entries.emplace_back(key, value);
  }
  return entries;
}

bool ApplySetupEntry(CarapexSetup& setup, std::string& algorithmPath, const SetupEntry& entry,
                     std::string& error) {
  const auto& [key, value] = entry;
  bool first = false;
  auto badWord = [&](const char* words) {
    error = EscapeControlCharacters(key) + " must be " + words + ", not \"" +
            EscapeControlCharacters(value) + "\"";
    return false;
  };
  if (key == "frequencies") {
    setup.frequencyPath = value;
  } else if (key == "increments") {
    setup.incrementPath = value;
    // Loading an increment file on the form chooses Gaussian errors.
    if (setup.incrementErrors == IncrementErrors::NotChosen)
      setup.incrementErrors = IncrementErrors::Gaussian;
  } else if (key == "alg") {
    algorithmPath = value;
  } else if (key == "series") {
    setup.seriesText = value;
  } else if (key == "first-cell") {
    setup.firstCellText = value;
  } else if (key == "identified") {
    setup.identifiedText = value;
  } else if (key == "blended") {
    setup.blendedText = value;
  } else if (key == "increment-instars") {
    setup.incrementInstarsText = value;
  } else if (key == "instars") {
    if (!Choose(value, "gaussian", "gamma", first)) return badWord("gaussian or gamma");
    setup.instars = first ? InstarShape::Gaussian : InstarShape::Gamma;
  } else if (key == "truncation") {
    if (!Choose(value, "zero", "missing", first)) return badWord("zero or missing");
    setup.truncation = first ? FrequencyTruncation::ZeroBeyond : FrequencyTruncation::Truncated;
  } else if (key == "increment-errors") {
    if (!Choose(value, "gaussian", "gamma", first)) return badWord("gaussian or gamma");
    setup.incrementErrors = first ? IncrementErrors::Gaussian : IncrementErrors::Gamma;
  } else {
    error = "unknown set-up key \"" + EscapeControlCharacters(key) + "\"";
    return false;
  }
  return true;
}

std::optional<CarapexSetup> ReadSetupFile(const std::string& path, std::string& algorithmPath,
                                          std::string& error) {
  std::optional<std::vector<SetupEntry>> entries = ReadSetupEntries(path, error);
  if (!entries) return std::nullopt;
  CarapexSetup setup;
  std::string alg;
  bool incrementInstarsGiven = false;
  for (const SetupEntry& entry : *entries) {
    if (!ApplySetupEntry(setup, alg, entry, error)) {
      error = path + ": " + error;
      return std::nullopt;
    }
    incrementInstarsGiven = incrementInstarsGiven || entry.first == "increment-instars";
  }
  if (!incrementInstarsGiven && !setup.incrementPath.empty())
    setup.incrementInstarsText = DefaultIncrementInstars(setup);
  algorithmPath = alg;
  return setup;
}

}  // namespace estimetrix
