#pragma once
// The bivariate density plot window: the joint density of two parameters as
// a colour map with its scale, the contours of the highest-density regions
// holding 50%, 90% and 95% of the density, and the largest density marked.

#include <array>
#include <string>
#include <vector>

#include "engine/state/plot_data.h"
#include "plots/plot_window.h"

class QCPColorMap;
class QCPColorScale;

namespace estimetrix {

// The shares of the total density that the drawn contours enclose.
inline constexpr std::array<double, 3> kHighestDensityShares = {0.50, 0.90, 0.95};

class BivariatePlotWindow : public PlotWindow {
  Q_OBJECT

 public:
  explicit BivariatePlotWindow(QWidget* parent = nullptr);

  // Shows the density; a grid that cannot be drawn leaves the window as it
  // was with a note under the plot, and gives false.
  bool SetPlot(const BivariatePlot& plot);
  bool HasPlot() const { return hasPlot_; }
  // The density levels of the contours, in the order of kHighestDensityShares.
  const std::vector<double>& ContourLevels() const { return levels_; }
  // The number of separate lines drawn for each contour level.
  const std::vector<int>& ContourLineCounts() const { return lineCounts_; }

  std::vector<DataColumn> DrawnData() const override;
  std::string ExportStem() const override;
  void ResetView() override;

 private:
  void Redraw();

  BivariatePlot plot_;
  bool hasPlot_ = false;
  std::vector<double> levels_;
  std::vector<int> lineCounts_;
  QCPColorMap* map_;
  QCPColorScale* scale_;
};

}  // namespace estimetrix
