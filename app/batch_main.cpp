// estimetrix-batch: the workbench without windows. See BatchUsage for the
// options and commands.

#include <iostream>
#include <string>
#include <vector>

#include "app/batch_runner.h"

#ifdef ESTIMETRIX_BATCH_PLOTS
#include <QApplication>
#include <cstdlib>

#include "plots/plot_windows.h"

namespace {

// Plots are drawn offscreen: the runner never needs a display. The
// application object is made only when --plots asks for files.
std::unique_ptr<estimetrix::PlotView> PlotFiles(const std::string& folder,
                                                std::ostream& errors) {
  static int argc = 1;
  static char name[] = "estimetrix-batch";
  static char* argv[] = {name, nullptr};
  static std::unique_ptr<QApplication> application;
  if (!application) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    application = std::make_unique<QApplication>(argc, argv);
  }
  return estimetrix::NewPlotFileWriter(folder, errors);
}

}  // namespace
#endif

int main(int argc, char** argv) {
  std::vector<std::string> words(argv + 1, argv + argc);
#ifdef ESTIMETRIX_BATCH_PLOTS
  return estimetrix::RunBatch(estimetrix::AllBatchAreas(), words, std::cout, std::cerr,
                              PlotFiles);
#else
  return estimetrix::RunBatch(estimetrix::AllBatchAreas(), words, std::cout, std::cerr);
#endif
}
