// estimetrix-batch: the workbench without windows. See BatchUsage for the
// options and commands.

#include <iostream>
#include <string>
#include <vector>

#include "app/batch_runner.h"
#include "estimetrix_version.h"

namespace {

bool AsksForVersion(const std::vector<std::string>& words) {
  for (const std::string& word : words)
    if (word == "--version") {
      std::cout << "estimetrix-batch (Estimetrix) " ESTIMETRIX_VERSION "\n";
      return true;
    }
  return false;
}

}  // namespace

#ifdef ESTIMETRIX_BATCH_PLOTS
#include <QApplication>
#include <cstdlib>

#include "plots/plot_windows.h"

namespace {

int argumentCount = 1;
char programName[] = "estimetrix-batch";
char* arguments[] = {programName, nullptr};

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> words(argv + 1, argv + argc);
  if (AsksForVersion(words)) return 0;
  // Plots are drawn offscreen: the runner never needs a display. The
  // application object is made only when --plots asks for files, and ends
  // with main(), before Qt's own statics go.
  std::unique_ptr<QApplication> application;
  auto plotFiles = [&application](const std::string& folder, std::ostream& errors) {
    if (!application) {
      if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
      application = std::make_unique<QApplication>(argumentCount, arguments);
    }
    return estimetrix::NewPlotFileWriter(folder, errors);
  };
  return estimetrix::RunBatch(estimetrix::AllBatchAreas(), words, std::cout, std::cerr,
                              plotFiles);
}
#else
int main(int argc, char** argv) {
  std::vector<std::string> words(argv + 1, argv + argc);
  if (AsksForVersion(words)) return 0;
  return estimetrix::RunBatch(estimetrix::AllBatchAreas(), words, std::cout, std::cerr);
}
#endif
