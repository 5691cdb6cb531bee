#pragma once
// The one-parameter distribution plot window: the seven plots of the plot
// menu over the parameter's values, chosen in a list, with the maximum
// likelihood estimate and the expected value marked.

#include <string>
#include <vector>

#include "engine/state/plot_data.h"
#include "plots/distribution_curves.h"
#include "plots/plot_window.h"

class QComboBox;

namespace estimetrix {

class DistributionPlotWindow : public PlotWindow {
  Q_OBJECT

 public:
  // Each kind of distribution has a window of its own.
  explicit DistributionPlotWindow(DistributionKind kind, QWidget* parent = nullptr);

  DistributionKind Kind() const { return kind_; }
  // Shows the distribution; one that cannot be drawn leaves the window as
  // it was with a note under the plot, and gives false.
  bool SetPlot(const DistributionPlot& plot);
  bool HasPlot() const { return hasPlot_; }
  void ShowCurve(DistributionCurve curve);
  DistributionCurve Curve() const { return curve_; }

  std::vector<DataColumn> DrawnData() const override;
  std::string ExportStem() const override;

  // "Bayesian posterior distribution plot" and the like.
  static QString TitleFor(DistributionKind kind);

 private:
  void Redraw();
  void AddMark(double value, const std::string& text, const QPen& pen);

  DistributionKind kind_;
  DistributionPlot plot_;
  bool hasPlot_ = false;
  DistributionCurve curve_ = DistributionCurve::Density;
  XYPlot drawn_;
  QComboBox* curveBox_;
};

}  // namespace estimetrix
