#include "plots/bivariate_plot_window.h"

#include <qcustomplot.h>

#include <cmath>

#include "engine/base/format.h"
#include "plots/contours.h"
#include "plots/distribution_curves.h"
#include "plots/plot_checks.h"

namespace estimetrix {

namespace {

QString Number(double value) {
  return QString::fromStdString(FormatNumber(value, "0.0000E+00"));
}

// Light for low density, dark for high, so the black contours read on both.
QCPColorGradient DensityGradient() {
  QCPColorGradient gradient;
  gradient.clearColorStops();
  gradient.setColorStopAt(0.0, QColor(255, 255, 255));
  gradient.setColorStopAt(0.25, QColor(255, 237, 160));
  gradient.setColorStopAt(0.5, QColor(254, 178, 76));
  gradient.setColorStopAt(0.75, QColor(240, 59, 32));
  gradient.setColorStopAt(1.0, QColor(128, 0, 38));
  gradient.setNanHandling(QCPColorGradient::nhTransparent);
  return gradient;
}

// A colour map spreads its cells evenly from the first coordinate to the
// last: a descending grid is filled back to front.
int CellIndex(const std::vector<double>& axis, size_t index) {
  bool ascending = axis.front() < axis.back();
  return static_cast<int>(ascending ? index : axis.size() - 1 - index);
}

}  // namespace

BivariatePlotWindow::BivariatePlotWindow(QWidget* parent) : PlotWindow(parent) {
  setWindowTitle(tr("Bivariate density plot"));
  QCustomPlot* plot = Plot();
  map_ = new QCPColorMap(plot->xAxis, plot->yAxis);
  map_->setName(tr("Density"));
  map_->removeFromLegend();
  map_->setInterpolate(false);
  scale_ = new QCPColorScale(plot);
  scale_->setType(QCPAxis::atRight);
  scale_->axis()->setLabel(tr("Density"));
  scale_->setBarWidth(14);
  plot->plotLayout()->addElement(1, 1, scale_);
  map_->setColorScale(scale_);
  // The scale's gradient is the map's.
  scale_->setGradient(DensityGradient());
  // The scale is as tall as the axes.
  auto* group = new QCPMarginGroup(plot);
  plot->axisRect()->setMarginGroup(QCP::msBottom | QCP::msTop, group);
  scale_->setMarginGroup(QCP::msBottom | QCP::msTop, group);
  // Grid lines would cut through the colours.
  plot->xAxis->grid()->setVisible(false);
  plot->yAxis->grid()->setVisible(false);
  SetStatusText(tr("No density yet."));
}

bool BivariatePlotWindow::SetPlot(const BivariatePlot& plot) {
  std::string problem = BivariateProblem(plot);
  if (!problem.empty()) {
    SetStatusText(tr("The bivariate density of parameters %1 and %2 cannot be drawn: %3.")
                      .arg(plot.xParameter)
                      .arg(plot.yParameter)
                      .arg(QString::fromStdString(problem)));
    return false;
  }
  plot_ = plot;
  hasPlot_ = true;
  Redraw();
  ResetView();
  return true;
}

void BivariatePlotWindow::Redraw() {
  QCustomPlot* plot = Plot();
  plot->clearGraphs();
  for (int i = plot->plottableCount() - 1; i >= 0; --i)
    if (plot->plottable(i) != map_) plot->removePlottable(i);

  const size_t p = plot_.x.size(), g = plot_.y.size();
  SetPlotTitle(
      tr("Bivariate density of parameters %1 and %2").arg(plot_.xParameter).arg(plot_.yParameter));
  plot->xAxis->setLabel(
      QString::fromStdString(ParameterAxisText(plot_.xParameter, plot_.xDescription)));
  plot->yAxis->setLabel(
      QString::fromStdString(ParameterAxisText(plot_.yParameter, plot_.yDescription)));

  QCPColorMapData* data = map_->data();
  data->setSize(static_cast<int>(p), static_cast<int>(g));
  data->setRange(QCPRange(plot_.x.front(), plot_.x.back()),
                 QCPRange(plot_.y.front(), plot_.y.back()));
  for (size_t i = 0; i < p; ++i)
    for (size_t j = 0; j < g; ++j) {
      double d = plot_.density[i * g + j];
      data->setCell(CellIndex(plot_.x, i), CellIndex(plot_.y, j), std::isfinite(d) ? d : NAN);
    }
  map_->rescaleDataRange(true);

  std::vector<double> shares(kHighestDensityShares.begin(), kHighestDensityShares.end());
  levels_ = HighestDensityLevels(plot_.density, shares);
  lineCounts_.assign(levels_.size(), 0);
  const Qt::PenStyle styles[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine};
  for (size_t l = 0; l < levels_.size(); ++l) {
    QPen pen(Qt::black, l == 0 ? 2.0 : 1.5, styles[l % 3]);
    QString name = tr("%1% highest density region").arg(std::lround(100 * shares[l]));
    bool named = false;
    for (const ContourLine& line : ContourLines(plot_.x, plot_.y, plot_.density, levels_[l])) {
      auto* curve = new QCPCurve(plot->xAxis, plot->yAxis);
      QVector<double> xs, ys;
      for (const ContourPoint& point : line) {
        xs.push_back(point.x);
        ys.push_back(point.y);
      }
      curve->setData(xs, ys);
      curve->setPen(pen);
      curve->setName(name);
      if (named) curve->removeFromLegend();
      named = true;
      ++lineCounts_[l];
    }
  }

  QCPGraph* largest = plot->addGraph();
  largest->setLineStyle(QCPGraph::lsNone);
  largest->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCrossCircle, QColor(31, 119, 180),
                                           QColor(255, 255, 255, 200), 11));
  largest->setPen(QPen(QColor(31, 119, 180), 2));
  largest->setName(tr("Largest density %1").arg(Number(plot_.largest)));
  largest->setData({plot_.largestX}, {plot_.largestY});
  ArrangeLegend(4);

  QString levels;
  for (size_t l = 0; l < levels_.size(); ++l)
    levels += tr("%1%: %2  ").arg(std::lround(100 * shares[l])).arg(Number(levels_[l]));
  SetStatusText(tr("Largest density %1 at (%2, %3).  Contour levels  %4")
                    .arg(Number(plot_.largest), Number(plot_.largestX), Number(plot_.largestY),
                         levels.trimmed()));
}

void BivariatePlotWindow::ResetView() {
  // The colour map fills the axes to its edges.
  Plot()->rescaleAxes();
  Plot()->replot();
}

std::vector<DataColumn> BivariatePlotWindow::DrawnData() const {
  if (!hasPlot_) return {};
  DataColumn x{ParameterAxisText(plot_.xParameter, plot_.xDescription), {}};
  DataColumn y{ParameterAxisText(plot_.yParameter, plot_.yDescription), {}};
  DataColumn density{"Density", plot_.density};
  for (double xi : plot_.x)
    for (double yj : plot_.y) {
      x.values.push_back(xi);
      y.values.push_back(yj);
    }
  return {x, y, density};
}

std::string BivariatePlotWindow::ExportStem() const {
  return "bivariate-" + IntText(plot_.xParameter) + "-" + IntText(plot_.yParameter);
}

}  // namespace estimetrix
