#pragma once
// The runner's views of the commands: no windows, only the texts a command
// leaves, which the runner prints. The covariance log goes to standard error.

#include <map>
#include <ostream>
#include <string>

#include "engine/commands/commands.h"
#include "engine/covariance/covariance.h"
#include "engine/minimizers/marquardt.h"
#include "engine/minimizers/simplex.h"
#include "engine/objective/objective.h"

namespace estimetrix {

class BatchViews : public CommandViews {
 public:
  explicit BatchViews(std::ostream& err) : covariance_(err) {}

  OneFunctionView& OneFunction() override { return oneFunction_; }
  SimplexView& Simplex() override { return simplex_; }
  MarquardtView& Marquardt() override { return marquardt_; }
  CovarianceViews& Covariance() override { return covariance_; }
  void Finished(MenuButton, double objective) override { objective_ = objective; }
  ReportView& Reports() override { return reports_; }
  PlotView& Plots() override { return plots_ ? *plots_ : nullPlots_; }

  // Where plots go: files written by --plots DIR, or nowhere (nullptr).
  void SetPlots(PlotView* plots) { plots_ = plots; }
  // The last text each report window would show ("" when none).
  std::string ReportText(ReportKind kind) const {
    auto it = reports_.texts.find(kind);
    return it == reports_.texts.end() ? std::string() : it->second;
  }
  // Replaces a report's text (after a save put the header in front).
  void SetReportText(ReportKind kind, const std::string& text) { reports_.texts[kind] = text; }

  // What the last one-function call, Simplex or Marquardt run ended with.
  double Objective() const { return objective_; }
  const std::string& OneFunctionText() const { return oneFunction_.text; }
  const std::string& MarquardtText() const { return marquardt_.text; }

 private:
  struct TextOneFunctionView : OneFunctionView {
    void Show() override {}
    void SetText(const std::string& value) override { text = value; }
    std::string text;
  };
  struct TextMarquardtView : MarquardtView {
    void Show(int) override {}
    void Close() override {}
    void SetText(const std::string& value) override { text = value; }
    void SetInterruptEnabled(bool) override {}
    void SetInterruptCaption(const std::string&) override {}
    void SetDerivativeButtonsVisible(bool) override {}
    std::string text;
  };
  // The editor is never opened: the runner's options are its edits.
  struct LogCovarianceViews : CovarianceViews {
    explicit LogCovarianceViews(std::ostream& err) : err(err) {}
    void EditAlgorithmDataAndWait() override {}
    void ShowProgress() override {}
    void AppendLog(const std::string& text) override { err << text; }
    void EnableInterrupt() override {}
    void ShowDisplay() override {}
    std::ostream& err;
  };

  struct TextReportView : ReportView {
    void ShowReport(ReportKind kind, const std::string& text) override { texts[kind] = text; }
    std::map<ReportKind, std::string> texts;
  };

  TextOneFunctionView oneFunction_;
  SilentSimplexView simplex_;
  TextMarquardtView marquardt_;
  LogCovarianceViews covariance_;
  TextReportView reports_;
  NullPlotView nullPlots_;
  PlotView* plots_ = nullptr;
  double objective_ = 0.0;
};

}  // namespace estimetrix
