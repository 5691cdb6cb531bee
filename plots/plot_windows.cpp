#include "plots/plot_windows.h"

namespace estimetrix {

// Placeholders until the plot windows land.
std::unique_ptr<PlotView> NewWindowPlotView(QMdiArea*, QWidget*) {
  return std::make_unique<NullPlotView>();
}

std::unique_ptr<PlotView> NewPlotFileWriter(const std::string&, std::ostream&) {
  return std::make_unique<NullPlotView>();
}

}  // namespace estimetrix
