// The Marquardt part of the runner: the marquardt command, always with
// numerical derivatives and without the derivative display.

#include "app/batch_runner.h"
#include "engine/algorithm_data.h"
#include "engine/marquardt.h"

namespace estimetrix {

namespace {

// No window: keeps the last text the run showed.
class HeadlessMarquardtView : public MarquardtView {
 public:
  void Show(int) override {}
  void Close() override {}
  void SetText(const std::string& value) override { text = value; }
  void SetInterruptEnabled(bool) override {}
  void SetInterruptCaption(const std::string&) override {}
  void SetDerivativeButtonsVisible(bool) override {}

  std::string text;
};

int Marquardt(BatchSession& session, const std::string&) {
  Workbench& wb = session.wb;
  if (!PrepareFreeParameters(session)) return kBatchFailed;
  wb.state.MarquardtDerivatives = DerivativeChoice::Numerical;
  wb.marquardt.ShowDerivatives = false;
  SizeMarquardtDerivatives(wb);
  wb.state.CovarianceCurrent = false;
  const int terminalOutputFrequency = wb.alg.TerminalOutputFrequency;
  HeadlessMarquardtView view;
  const MarquardtResult result = MarquardtMinimize(wb, session.desktop, view);
  wb.alg.TerminalOutputFrequency = terminalOutputFrequency;
  wb.state.SimplexRetained = false;
  switch (result.outcome) {
    case MarquardtOutcome::Converged:
    case MarquardtOutcome::Stopped:
    case MarquardtOutcome::Frustrated:
    case MarquardtOutcome::Interrupted: break;
    default: return kBatchFailed;  // the message is on standard error
  }
  session.out << view.text << ObjectiveLine(result.objective) << "\n";
  return kBatchSucceeded;
}

}  // namespace

BatchArea MarquardtBatchArea() {
  BatchArea area;
  area.commands.push_back(
      {"marquardt", "",
       "Marquardt minimization from the current values with numerical derivatives: the final "
       "result text (the last progress text when the run stopped or gave up), then "
       "\"objective <value>\" at the best point.",
       Marquardt});
  return area;
}

}  // namespace estimetrix
