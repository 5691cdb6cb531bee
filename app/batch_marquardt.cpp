// The Marquardt part of the runner: the marquardt command, always with
// numerical derivatives and without the derivative display.

#include "app/batch_runner.h"

namespace estimetrix {

namespace {

constexpr const char* kMarquardtTitle = "Marquardt minimization";

int Marquardt(BatchSession& session, const std::string&) {
  const int status = BatchStatus(session.Run(MenuButton::Marquardt, "marquardt", [&session] {
    // Numerical derivatives, acknowledged, without the derivative display.
    session.desktop.ExpectMessage(kMarquardtTitle, Answer::No);
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
       "Marquardt minimization from the current values with numerical derivatives: the final "
       "result text (the last progress text when the run stopped or gave up), then "
       "\"objective <value>\" at the best point.",
       Marquardt});
  return area;
}

}  // namespace estimetrix
