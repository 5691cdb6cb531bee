// estimetrix-mpi: the headless runner over MPI ranks. See RunMpi.

#include "app/mpi/mpi_runner.h"

#ifdef ESTIMETRIX_BATCH_PLOTS
#include <QApplication>
#include <cstdlib>

#include "plots/plot_windows.h"

namespace {

int argumentCount = 1;
char programName[] = "estimetrix-mpi";
char* arguments[] = {programName, nullptr};

}  // namespace

int main(int argc, char** argv) {
  // Plots are drawn offscreen on rank 0 only, as estimetrix-batch draws them.
  std::unique_ptr<QApplication> application;
  estimetrix::MpiRunSettings settings;
  settings.plotWriter = [&application](const std::string& folder, std::ostream& errors) {
    if (!application) {
      if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
      application = std::make_unique<QApplication>(argumentCount, arguments);
    }
    return estimetrix::NewPlotFileWriter(folder, errors);
  };
  return estimetrix::RunMpi(argc, argv, settings);
}
#else
int main(int argc, char** argv) {
  return estimetrix::RunMpi(argc, argv, {});
}
#endif
