// The Marquardt part of the runner: the marquardt command, with numerical
// derivatives unless --derivatives analytical, without the derivative display.

#include "app/batch_runner.h"

namespace estimetrix {

namespace {

constexpr const char* kMarquardtTitle = "Marquardt minimization";

int Marquardt(BatchSession& session, const std::string&) {
  if (const int refused = RefuseAnalyticalWithPriors(session, "marquardt")) return refused;
  const Answer derivatives = AnalyticalDerivativesChosen(session) ? Answer::Yes : Answer::No;
  const int status = BatchStatus(session.Run(MenuButton::Marquardt, "marquardt", [&] {
    // The derivatives, acknowledged, without the derivative display.
    session.desktop.ExpectMessage(kMarquardtTitle, derivatives);
    session.desktop.ExpectMessage(kMarquardtTitle, Answer::Ok);
    session.desktop.ExpectMessage(kMarquardtTitle, Answer::No);
  }));
  if (status != kBatchSucceeded) return status;  // the message is on standard error
  session.out << session.views.MarquardtText() << ObjectiveLine(session.views.Objective())
              << "\n";
  return kBatchSucceeded;
}

}  // namespace

BatchArea MarquardtBatchArea() {
  BatchArea area;
  area.commands.push_back(
      {"marquardt", "",
       "Marquardt minimization from the current values (numerical derivatives unless "
       "--derivatives analytical): the final "
       "result text (the last progress text when the run stopped or gave up), then "
       "\"objective <value>\" at the best point.",
       Marquardt});
  return area;
}

}  // namespace estimetrix
