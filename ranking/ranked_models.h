#pragma once
// The competing models of a ranking exercise: each model's -ln[L], parameter
// count and sample size, its small-sample criterion (AICc, or QAICc while an
// overdispersion factor C-hat above 1 is in force), its files and notes; the
// ranked order with differences and Akaike weights; and the texts the window
// shows and the multi-model statistics file (.mms) holds.

#include <optional>
#include <string>
#include <vector>

namespace estimetrix {

// No more than 99 models are ranked.
inline constexpr int kMaxRankedModels = 99;

inline constexpr const char* kNoCovarianceFound = "No covariance file found";
inline constexpr const char* kNoSuchFile = "No such file exists";
inline constexpr const char* kNoPriorsLoaded = "No Priors loaded";
inline constexpr const char* kUndefined = "undefined";

struct RankedModel {
  int entry = 0;          // 1-based order of addition
  double negLnL = 0.0;    // objective x likelihood constant
  int K = 0;              // parameters with a non-zero step
  int n = 0;              // sample size reported by the model
  std::string algorithmFile;   // bare name
  std::string algorithmFolder;  // where the algorithm file is; bare covariance names are looked for there
  std::string covarianceFile;  // bare name, or kNoCovarianceFound / kNoSuchFile
  std::string covariancePath;  // where the file was found; empty when it was not
  std::string priorsFile;      // bare name, or kNoPriorsLoaded
  std::string notes;
  bool fresh = true;  // added since the last ranking (shown in red)

  bool CovarianceMissing() const {
    return covarianceFile == kNoCovarianceFound || covarianceFile == kNoSuchFile;
  }
};

// 2Kn/(n - K - 1) + 2(-ln L)/cHat; nullopt when n - K - 1 = 0.
std::optional<double> SmallSampleCriterion(const RankedModel& model, double cHat);

// One place of the ranked order.
struct RankPlace {
  int model = 0;  // index into RankedModelTable::models
  // nullopt for a model left out of the ranking (criterion undefined).
  std::optional<double> delta, weight;
};

struct RankedModelTable {
  std::vector<RankedModel> models;  // in entry order
  double cHat = 1.0;
  double likelihoodConstant = 0.0;  // asked for with the first model
  bool ranked = false;              // the column-0 header reads "Ranked"
  std::vector<RankPlace> order;     // the ranked order, valid while `ranked`

  int Count() const { return static_cast<int>(models.size()); }
  // QAICc figures replace the AICc figures while C-hat is above 1.
  bool Quasi() const { return cHat > 1.0; }
  std::optional<double> Criterion(const RankedModel& model) const {
    return SmallSampleCriterion(model, cHat);
  }
  // Differences and weights become "undefined" again.
  void MarkUnranked() {
    ranked = false;
    order.clear();
  }
  // The model shown in grid row `row` (0-based): ranked order once ranked,
  // else entry order. nullopt for a row that holds no model.
  std::optional<int> ModelAtRow(int row) const;
};

struct RankingSummary {
  std::vector<int> leftOut;  // entry numbers whose criterion is undefined
  bool nonPositive = false;  // some criterion is zero or negative
};

// Orders the models by ascending criterion, equal values in entry order, and
// fills the differences from the first-ranked model and the Akaike weights.
// Models whose criterion is undefined follow the ranked ones, with no
// difference and no weight. Marks every model as no longer new.
RankingSummary RankTable(RankedModelTable& table);

// Deletes the model of grid row `row`; the later models move up and are
// numbered anew, and the table becomes unranked. False for a row without model.
bool DeleteModelAtRow(RankedModelTable& table, int row);

// Column 0 of a row: three blanks, r, ")", four blanks, e; one blank before
// an r above 9 and two blanks before an e above 9.
std::string RowLabel(int rank, int entry);

// The grid grdRank: ten column headers and one row of ten cells per model.
inline constexpr int kRankColumns = 10;
enum RankColumn {
  kLabelColumn = 0,
  kNegLnLColumn,
  kKColumn,
  kCriterionColumn,
  kDeltaColumn,
  kWeightColumn,
  kAlgorithmColumn,
  kCovarianceColumn,
  kPriorsColumn,
  kNotesColumn,
};
struct RankGridRow {
  std::vector<std::string> cells;  // kRankColumns texts
  bool fresh = false;              // red text
};
std::vector<std::string> RankGridHeaders(const RankedModelTable& table);
std::vector<RankGridRow> RankGridRows(const RankedModelTable& table);

// The C-hat box: "C-hat: " and the value in "0.000".
std::string CHatText(double cHat);

// The .mms text (CR LF line ends): the count line, the header, one line per
// model in ranked order and, when `averagingText` is not empty, a line break
// and the averaging text. For a ranked table.
std::string MultiModelStatisticsText(const RankedModelTable& table,
                                     const std::string& averagingText);

}  // namespace estimetrix
