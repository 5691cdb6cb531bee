#include "engine/state/report_file.h"

#include "engine/state/workbench.h"
#include "platform/text_file.h"

namespace estimetrix {

namespace {

FileDialogRequest SaveDialog(std::string title, std::string filter, int filterIndex,
                             std::string proposedName) {
  FileDialogRequest request;
  request.title = std::move(title);
  request.filter = std::move(filter);
  request.filterIndex = filterIndex;
  request.proposedName = std::move(proposedName);
  request.confirmOverwrite = true;
  return request;
}

}  // namespace

ReportWindowSettings ReportSettings(ReportKind kind, const Workbench& wb, const DateTime& now) {
  const std::string stamp = DateTimeName(now);
  switch (kind) {
    case ReportKind::Summary: {
      const std::string model = wb.model ? wb.model->Name() : std::string("Model");
      const std::string name = wb.alg.AlgorithmFileName;
      return {model + " output", "Save summary as...",
              SaveDialog("Save summary in...",
                         "Named for algorithm file (" + name + ".*)|" + name +
                             ".*|Output files (*.exo)|*.exo|All files (*.*)|*.*|",
                         3, model + "_Results.exo"),
              "Summary not saved"};
    }
    case ReportKind::PriorReview:
      return {"Review priors ", "Save review of prior distribution likelihoods as...",
              SaveDialog("Save review in...",
                         "All files (*.*)|*.*|Review priors files (*.rvp)|*.rvp", 2,
                         stamp + ".rvp"),
              "Review not saved"};
    case ReportKind::PriorDistributions:
      return {"Prior distribution statistics", "&Save Bayesian prior distribution data as...",
              SaveDialog("Save Bayesian prior values in...",
                         "All files (*.*)|*.*|Bayesian prior distribution files (*.pdp)|*.pdp",
                         2, stamp + ".pdp"),
              "Prior distribution data not saved"};
    case ReportKind::Posterior:
      return {"Bayesian statistics", "&Save Bayesian posterior distribution data as...",
              SaveDialog("Save Bayesian posterior values in...",
                         "All files (*.*)|*.*|Bayesian posterior files (*.pos)|*.pos", 2,
                         stamp + ".pos"),
              "Posterior data not saved"};
    case ReportKind::Profile:
      return {"Maximum likelihood statistics", "&Save maximum-likelihood data as...",
              SaveDialog("Save maximum-likelihood values in...",
                         "All files (*.*)|*.*|Max-like files (*.mlc)|*.mlc", 2,
                         stamp + ".mlc"),
              "Maximum-likelihood data not saved"};
    case ReportKind::Chains:
      return {"Markov chain posterior", "&Save Markov chain posterior as...",
              SaveDialog("Save Markov chain posterior in...",
                         "All files (*.*)|*.*|Markov chain posterior files (*.mcp)|*.mcp", 2,
                         stamp + ".mcp"),
              "Markov chain posterior not saved"};
  }
  return {};
}

std::string SavedReportHeader(const std::string& path) {
  return "Originally saved with the file name: " + path + "\n\n";
}

bool WriteReportFile(const std::string& path, std::string& windowText, std::string& error) {
  std::string text = SavedReportHeader(path) + windowText;
  if (!SaveTextFileAtomically(path, ToCrLf(text), error)) return false;
  windowText = std::move(text);
  return true;
}

std::optional<std::string> SaveReportFile(Desktop& desktop, const FileDialogRequest& request,
                                          const std::string& failureTitle,
                                          std::string& windowText) {
  std::optional<std::string> path = desktop.SaveFileName(request);
  if (!path || path->empty()) return std::nullopt;
  std::string error;
  if (!WriteReportFile(*path, windowText, error)) {
    desktop.Inform(failureTitle, error, Icon::Exclamation);
    return std::nullopt;
  }
  return path;
}

std::optional<std::string> SaveReport(ReportKind kind, const Workbench& wb, Desktop& desktop,
                                      std::string& windowText) {
  const ReportWindowSettings settings = ReportSettings(kind, wb, desktop.Now());
  return SaveReportFile(desktop, settings.dialog, settings.failureTitle, windowText);
}

}  // namespace estimetrix
