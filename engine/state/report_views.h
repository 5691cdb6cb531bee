#pragma once
// The report windows and plot windows as a computation sees them. The
// workbench shows each report in its own window (with its save button) and
// each plot in a plot window; the runner keeps the texts and writes the plots
// to files; tests record them.

#include <string>

#include "engine/state/plot_data.h"

namespace estimetrix {

// The text reports that are saved as files. Each has its window caption, save
// button and save dialogue (engine/report_file.h).
enum class ReportKind {
  Summary,             // frmSummary: the model's results summary (.exo)
  PriorReview,         // frmReviewPriors: the prior review (.rvp)
  PriorDistributions,  // frmPriorDists: a prior distribution table (.pdp)
  Posterior,           // frmBayesian: a Bayesian posterior (.pos)
  Profile,             // frmMaxLike: a likelihood profile (.mlc)
  Chains,              // frmMarkovChains: a Markov chain posterior (.mcp)
};

class ReportView {
 public:
  virtual ~ReportView() = default;
  // Opens the report's window (if closed) and shows `text` as its whole
  // text. A report that grows while questions are asked is shown again with
  // the longer text.
  virtual void ShowReport(ReportKind kind, const std::string& text) = 0;
};

class PlotView {
 public:
  virtual ~PlotView() = default;
  virtual void ShowXY(const XYPlot& plot) = 0;
  virtual void ShowDistribution(const DistributionPlot& plot) = 0;
  virtual void ShowBivariate(const BivariatePlot& plot) = 0;
};

// Views that show nothing: for callers that have no windows.
class NullReportView : public ReportView {
 public:
  void ShowReport(ReportKind, const std::string&) override {}
};
class NullPlotView : public PlotView {
 public:
  void ShowXY(const XYPlot&) override {}
  void ShowDistribution(const DistributionPlot&) override {}
  void ShowBivariate(const BivariatePlot&) override {}
};

}  // namespace estimetrix
