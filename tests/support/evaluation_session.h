#pragma once
// A workbench session for the evaluation tests: a quadratic model, a
// scripted desktop whose responder answers the posterior's and the profile's
// questions from plain fields, and views that record the reports, plots,
// editor openings and interrupt items.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/bayesian/likelihood_profile.h"
#include "engine/bayesian/posterior.h"
#include "engine/commands/commands.h"
#include "engine/commands/evaluation_commands.h"
#include "engine/covariance/covariance.h"
#include "engine/minimizers/simplex.h"
#include "engine/objective/objective.h"
#include "engine/state/workbench.h"
#include "platform/scripted_desktop.h"
#include "tests/support/fake_menu_view.h"
#include "tests/support/quadratic_model.h"
#include "tests/support/recording_marquardt_view.h"
#include "tests/support/silent_views.h"

namespace estimetrix::testing {

class EvaluationViews : public CommandViews {
 public:
  OneFunctionView& OneFunction() override { return oneFunction_; }
  SimplexView& Simplex() override { return simplex_; }
  MarquardtView& Marquardt() override { return marquardt; }
  CovarianceViews& Covariance() override { return covariance_; }
  ReportView& Reports() override { return reports_; }
  PlotView& Plots() override { return plots_; }
  void OpenEvaluationChooser() override { ++choosersOpened; }
  void EditAlgorithmDataAndWait() override {
    ++editorOpened;
    if (onEditor) onEditor();
  }
  void SetInterruptItemVisible(bool bayes, bool visible) override {
    interruptItems.push_back(std::string(bayes ? "bayes " : "profile ") +
                             (visible ? "shown" : "hidden"));
  }

  std::string Report(ReportKind kind) const {
    auto it = reports_.texts.find(kind);
    return it == reports_.texts.end() ? std::string() : it->second;
  }
  const std::vector<DistributionPlot>& Distributions() const { return plots_.distributions; }
  const std::vector<BivariatePlot>& Bivariates() const { return plots_.bivariates; }

  int choosersOpened = 0;
  int editorOpened = 0;
  std::function<void()> onEditor;  // the user's edits while the editor is open
  std::vector<std::string> interruptItems;
  RecordingMarquardtView marquardt;

 private:
  struct RecordedReports : ReportView {
    void ShowReport(ReportKind kind, const std::string& text) override { texts[kind] = text; }
    std::map<ReportKind, std::string> texts;
  };
  struct RecordedPlots : PlotView {
    void ShowXY(const XYPlot&) override {}
    void ShowDistribution(const DistributionPlot& plot) override { distributions.push_back(plot); }
    void ShowBivariate(const BivariatePlot& plot) override { bivariates.push_back(plot); }
    std::vector<DistributionPlot> distributions;
    std::vector<BivariatePlot> bivariates;
  };
  SilentOneFunctionView oneFunction_;
  SilentSimplexView simplex_;
  SilentCovarianceViews covariance_;
  RecordedReports reports_;
  RecordedPlots plots_;
};

// The answers a user gives; an empty optional answers with Cancel.
struct EvaluationAnswers {
  std::string constant = "0.5";
  std::string parameter = "1";
  std::string points = "25";
  std::string gridPoints = "25";
  std::string covarianceSteps = "N";
  bool goOn = true;            // the first Yes/No question
  bool simplex = true;         // the profile's minimizer
  bool manyCalls = true;       // go on with more than 32767 calls
  bool bivariate = false;      // view the bivariate plot
  bool alignedGrid = false;    // lay the grid along the covariance
  std::optional<std::string> gridFile;  // the grid file's path; none: Cancel
  bool quitOnInterrupt = true;
  // Asked first: a reply here overrides the fields above.
  std::function<std::optional<DialogReply>(const DialogRecord&)> first;
};

class EvaluationSession {
 public:
  explicit EvaluationSession(int parameters) {
    InitializeQuadratic(wb, parameters);
    LoadQuadraticStart(wb);
    desktop.SetResponder([this](const DialogRecord& record) { return Respond(record); });
  }

  QuadraticModel& Model() { return static_cast<QuadraticModel&>(*wb.model); }

  CommandOutcome Posterior() { return RunEvaluationChoice(ctx, EvaluationChoice::Posterior); }
  CommandOutcome Profile() { return RunEvaluationChoice(ctx, EvaluationChoice::Profile); }

  // The titles of every dialogue shown, in order.
  std::vector<std::string> Titles() const {
    std::vector<std::string> titles;
    for (const DialogRecord& record : desktop.Transcript()) titles.push_back(record.title);
    return titles;
  }
  bool Asked(const std::string& title) const {
    for (const DialogRecord& record : desktop.Transcript())
      if (record.title == title) return true;
    return false;
  }

  Workbench wb;
  ScriptedDesktop desktop;
  FakeMenuView menu;
  EvaluationViews views;
  EvaluationAnswers answers;
  CommandContext ctx{wb, desktop, menu, views};

 private:
  static std::optional<DialogReply> Text(const std::optional<std::string>& text) {
    return DialogReply{text ? Answer::Ok : Answer::Cancel, text};
  }
  static std::optional<DialogReply> Button(bool yes) {
    return DialogReply{yes ? Answer::Yes : Answer::No, std::nullopt};
  }

  std::optional<DialogReply> Respond(const DialogRecord& record) {
    if (answers.first)
      if (std::optional<DialogReply> reply = answers.first(record)) return reply;
    const std::string& text = record.text;
    auto has = [&text](const char* part) { return text.find(part) != std::string::npos; };
    if (record.kind == DialogKind::Message && record.buttons == Buttons::Ok)
      return DialogReply{Answer::Ok, std::nullopt};
    if (record.kind == DialogKind::SaveFile) return Text(answers.gridFile);
    if (record.kind == DialogKind::Input) {
      if (record.title == "Enter constant") return Text(answers.constant);
      if (has("parameter #")) return Text(answers.parameter);
      if (has("profile parameter") || has("x-y data points")) return Text(answers.points);
      if (has("grid parameter")) return Text(answers.gridPoints);
      if (has("covariance grid")) return Text(answers.covarianceSteps);
      return std::nullopt;
    }
    if (record.title == kCallCountTitle) return Button(answers.manyCalls);
    if (record.title == kBivariateTitle) return Button(answers.bivariate);
    if (record.title == kAlignedGridTitle) return Button(answers.alignedGrid);
    if (record.title == kBayesInterruptTitle || record.title == kProfileInterruptTitle)
      return Button(answers.quitOnInterrupt);
    if (has("SIMPLEX")) return Button(answers.simplex);
    if (record.title == kPosteriorTitle || record.title == kProfileTitle)
      return Button(answers.goOn);
    return std::nullopt;
  }
};

}  // namespace estimetrix::testing
