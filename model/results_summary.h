#pragma once
// The Carapex results summary (MODEL with NF = -1): a long plain-text report
// on the model, its data, the -2 ln L minimum and AICc, every parameter and
// per-series, per-instar and per-record tables, built in the summary's report
// window while a few questions (plots, goodness of fit, instar details,
// simulation) are asked on the way. All values come from the best-state
// snapshot. When every parameter is 0 (an unedited default algorithm file)
// the report is written without any question, plot, test or simulation.

#include <cstdint>
#include <string>

#include "engine/base/array.h"
#include "engine/state/model.h"
#include "model/model_data.h"

namespace estimetrix {

class Desktop;

// The model's side of a summary: its data, the state the last evaluation
// left (for the penalty) and the best-state snapshot.
struct SummaryModel {
  const ModelData& data;
  const ModelState& state;
  const ModelState& best;
  const Vector& bestValues;
  double bestObjective = 0.0;
};

// The arguments of MODEL that the summary reads.
struct SummaryParameters {
  const Vector& values;
  const Vector& steps;
  const StringArray& fuseCodes;
  const StringArray& descriptions;
  int parameterCount = 0;
};

// Upper limits of the counts the user enters.
constexpr long long kMaxRandomizations = 1000000000;  // per goodness-of-fit test

// Writes the summary through context.reports (ReportKind::Summary) and
// context.plots, asking through `desktop`; the random draws start once from
// context.seed (or the clock) and run on from test to test. Returns the
// report text as last shown.
std::string WriteResultsSummary(const SummaryModel& model, const SummaryParameters& parameters,
                                const SummaryContext& context, Desktop& desktop);

// The sample size of AICc: every individual of the frequency series plus
// every increment record, without a 16-bit limit.
long long SummarySampleSize(const ModelData& data);

// The AICc line's value: BestObjective + 2k n/(n - k - 1), or the text
// "Undefined (too few degrees of freedom)" when n - k - 1 <= 0.
std::string AiccText(double bestObjective, long long k, long long n);

}  // namespace estimetrix
