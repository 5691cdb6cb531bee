#include "ranking/ranked_models.h"

#include <algorithm>
#include <cmath>

#include "engine/base/format.h"

namespace estimetrix {

namespace {

constexpr const char* kCriterionPattern = "0.0000E+00";

std::string CriterionText(const std::optional<double>& value) {
  return value ? FormatNumber(*value, kCriterionPattern) : std::string(kUndefined);
}

// The place of each model in the order shown: ranked order once ranked, else
// entry order with no difference or weight.
std::vector<RankPlace> ShownOrder(const RankedModelTable& table) {
  if (table.ranked) return table.order;
  std::vector<RankPlace> order;
  for (int m = 0; m < table.Count(); ++m) order.push_back({m, std::nullopt, std::nullopt});
  return order;
}

}  // namespace

std::optional<double> SmallSampleCriterion(const RankedModel& model, double cHat) {
  const double n = model.n, K = model.K;
  const double denominator = n - K - 1.0;
  if (denominator == 0.0) return std::nullopt;
  return 2.0 * K * n / denominator + 2.0 * model.negLnL / cHat;
}

std::optional<int> RankedModelTable::ModelAtRow(int row) const {
  if (row < 0 || row >= Count()) return std::nullopt;
  if (ranked && row < static_cast<int>(order.size())) return order[static_cast<size_t>(row)].model;
  return row;
}

RankingSummary RankTable(RankedModelTable& table) {
  RankingSummary summary;
  std::vector<int> placed;
  for (int m = 0; m < table.Count(); ++m) {
    const std::optional<double> criterion = table.Criterion(table.models[m]);
    if (!criterion) {
      summary.leftOut.push_back(table.models[m].entry);
      continue;
    }
    if (*criterion <= 0.0) summary.nonPositive = true;
    placed.push_back(m);
  }
  // Ascending; a stable sort keeps equal values in entry order.
  std::stable_sort(placed.begin(), placed.end(), [&table](int a, int b) {
    return *table.Criterion(table.models[a]) < *table.Criterion(table.models[b]);
  });

  table.order.clear();
  double total = 0.0;
  const double best = placed.empty() ? 0.0 : *table.Criterion(table.models[placed.front()]);
  for (int m : placed) {
    const double delta = *table.Criterion(table.models[m]) - best;
    const double relative = std::exp(-0.5 * delta);
    total += relative;
    table.order.push_back({m, delta, relative});
  }
  for (RankPlace& place : table.order) *place.weight /= total;
  for (int m = 0; m < table.Count(); ++m)
    if (!table.Criterion(table.models[m])) table.order.push_back({m, std::nullopt, std::nullopt});
  for (RankedModel& model : table.models) model.fresh = false;
  table.ranked = true;
  return summary;
}

bool DeleteModelAtRow(RankedModelTable& table, int row) {
  const std::optional<int> model = table.ModelAtRow(row);
  if (!model) return false;
  table.models.erase(table.models.begin() + *model);
  for (int m = 0; m < table.Count(); ++m) table.models[m].entry = m + 1;
  table.MarkUnranked();
  return true;
}

std::string RowLabel(int rank, int entry) {
  return std::string(rank > 9 ? " " : "   ") + IntText(rank) + ")" + (entry > 9 ? "  " : "    ") +
         IntText(entry);
}

std::vector<std::string> RankGridHeaders(const RankedModelTable& table) {
  const bool quasi = table.Quasi();
  return {table.ranked ? "Ranked" : "Random",
          "-ln[L]",
          "K",
          quasi ? "QAICc" : "AICc",
          quasi ? "dQAICc" : "dAICc",
          quasi ? "QAIC Wt" : "AIC Wt",
          "Algorithm file name",
          "Covariance file name",
          "Priors file name",
          "Notes:"};
}

std::vector<RankGridRow> RankGridRows(const RankedModelTable& table) {
  std::vector<RankGridRow> rows;
  const std::vector<RankPlace> order = ShownOrder(table);
  for (size_t r = 0; r < order.size(); ++r) {
    const RankPlace& place = order[r];
    const RankedModel& model = table.models[static_cast<size_t>(place.model)];
    const int position = table.ranked ? static_cast<int>(r) + 1 : model.entry;
    RankGridRow row;
    row.fresh = model.fresh;
    row.cells = {RowLabel(position, model.entry),
                 FormatNumber(model.negLnL, kCriterionPattern),
                 IntText(model.K),
                 CriterionText(table.Criterion(model)),
                 CriterionText(place.delta),
                 place.weight ? FormatNumber(*place.weight, "0.000000") : std::string(kUndefined),
                 model.algorithmFile,
                 model.covarianceFile,
                 model.priorsFile,
                 model.notes};
    rows.push_back(std::move(row));
  }
  return rows;
}

std::string CHatText(double cHat) {
  return "C-hat: " + FormatNumber(cHat, "0.000");
}

std::string MultiModelStatisticsText(const RankedModelTable& table,
                                     const std::string& averagingText) {
  const bool plain = table.cHat == 1.0;
  std::string text = RightJustify(FormatNumber(table.Count(), "####0"), 6) +
                     " < Number of models ranked";
  if (!plain) {
    text += "; C-hat for QAICc calculation: " + FormatNumber(table.cHat, "0.000");
  }
  text += "\r\n";
  text += plain ? " Model     -nln[L] #Prms        AICc       dAICc      AIC Wt"
                : " Model     -nln[L] #Prms       QAICc      dQAICc     QAIC Wt";
  text +=
      "                            Algorithm file                           Covariance file  "
      "Notes>\r\n";
  const std::vector<RankPlace> order = ShownOrder(table);
  for (size_t p = 0; p < order.size(); ++p) {
    const RankPlace& place = order[p];
    const RankedModel& model = table.models[static_cast<size_t>(place.model)];
    text += RightJustify(FormatNumber(static_cast<double>(p + 1), "####0"), 6) +
            RightJustify(FormatNumber(model.negLnL, kCriterionPattern), 12) +
            RightJustify(FormatNumber(model.K, "####0"), 6) +
            RightJustify(CriterionText(table.Criterion(model)), 12) +
            RightJustify(CriterionText(place.delta), 12) +
            RightJustify(place.weight ? FormatNumber(*place.weight, "0.00000") : kUndefined, 12) +
            "  " + RightJustify(model.algorithmFile, 40) + "  " +
            RightJustify(model.covarianceFile, 40) + "  " + model.notes + "\r\n";
  }
  if (!averagingText.empty()) text += "\r\n" + averagingText;
  return text;
}

}  // namespace estimetrix
