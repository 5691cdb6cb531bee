#include "plots/distribution_plot_window.h"

#include <qcustomplot.h>

#include <QComboBox>
#include <QLabel>
#include <QToolBar>
#include <algorithm>
#include <cmath>

#include "plots/plot_checks.h"

namespace estimetrix {

QString DistributionPlotWindow::TitleFor(DistributionKind kind) {
  return QString::fromStdString(DistributionName(kind)) + tr(" plot");
}

DistributionPlotWindow::DistributionPlotWindow(DistributionKind kind, QWidget* parent)
    : PlotWindow(parent), kind_(kind) {
  setWindowTitle(TitleFor(kind));
  plot_.kind = kind;
  auto* label = new QLabel(tr("Plot: "), this);
  label->setContentsMargins(6, 0, 0, 0);
  ToolBar()->addWidget(label);
  curveBox_ = new QComboBox(this);
  curveBox_->setObjectName("curve");
  for (DistributionCurve curve : kDistributionCurves)
    curveBox_->addItem(QString("%1  ").arg(static_cast<int>(curve)) +
                       QString::fromStdString(CurveName(kind, curve)));
  curveBox_->setCurrentIndex(static_cast<int>(curve_) - 1);
  ToolBar()->addWidget(curveBox_);
  connect(curveBox_, qOverload<int>(&QComboBox::currentIndexChanged), this,
          [this](int index) { ShowCurve(static_cast<DistributionCurve>(index + 1)); });
  SetStatusText(tr("No distribution yet."));
}

bool DistributionPlotWindow::SetPlot(const DistributionPlot& plot) {
  std::string problem = DistributionProblem(plot);
  if (!problem.empty()) {
    SetStatusText(tr("The distribution of parameter %1 cannot be drawn: %2.")
                      .arg(plot.parameter)
                      .arg(QString::fromStdString(problem)));
    return false;
  }
  plot_ = plot;
  plot_.kind = kind_;
  hasPlot_ = true;
  Redraw();
  ResetView();
  return true;
}

void DistributionPlotWindow::ShowCurve(DistributionCurve curve) {
  curve_ = curve;
  if (curveBox_->currentIndex() != static_cast<int>(curve) - 1) {
    QSignalBlocker block(curveBox_);
    curveBox_->setCurrentIndex(static_cast<int>(curve) - 1);
  }
  if (!hasPlot_) return;
  Redraw();
  ResetView();
}

void DistributionPlotWindow::AddMark(double value, const std::string& text, const QPen& pen) {
  if (!std::isfinite(value)) return;
  QCustomPlot* plot = Plot();
  auto* line = new QCPItemStraightLine(plot);
  line->point1->setCoords(value, 0.0);
  line->point2->setCoords(value, 1.0);
  line->setPen(pen);
  // The line itself is an item, which a legend does not list: an empty graph
  // with the same pen stands for it there.
  QCPGraph* entry = plot->addGraph();
  entry->setPen(pen);
  entry->setName(QString::fromStdString(text));
}

void DistributionPlotWindow::Redraw() {
  QCustomPlot* plot = Plot();
  plot->clearGraphs();
  plot->clearItems();
  drawn_ = DistributionCurves(plot_, curve_);
  SetPlotTitle(QString::fromStdString(drawn_.title) + tr(", parameter %1").arg(plot_.parameter));
  plot->xAxis->setLabel(QString::fromStdString(drawn_.xLabel));
  plot->yAxis->setLabel(QString::fromStdString(drawn_.yLabel));
  for (size_t s = 0; s < drawn_.series.size(); ++s) {
    const XYSeries& series = drawn_.series[s];
    QCPGraph* graph = plot->addGraph();
    graph->setName(QString::fromStdString(series.label));
    // Colours 1 and 2 are the two marks'; every curve has its own.
    QColor colour = SeriesColour(s == 0 ? 0 : static_cast<int>(s) + 2);
    graph->setPen(QPen(colour, s == 0 ? 2.0 : 1.5, s == 0 ? Qt::SolidLine : Qt::DashLine));
    QVector<double> keys(series.x.begin(), series.x.end());
    QVector<double> values;
    for (double y : series.y) values.push_back(std::isfinite(y) ? y : std::nan(""));
    graph->setData(keys, values, true);
    // Few points: show where they are.
    if (series.x.size() <= 41)
      graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, colour, 4));
  }
  AddMark(plot_.maxLikelihoodValue, MaxLikelihoodMarkText(plot_),
          QPen(SeriesColour(1), 1.5, Qt::DashLine));
  AddMark(plot_.expectedValue, ExpectedValueMarkText(plot_),
          QPen(SeriesColour(2), 1.5, Qt::DashDotLine));
  ArrangeLegend(2);
  SetStatusText(QString::fromStdString(DistributionName(kind_)) + tr(" of ") +
                QString::fromStdString(drawn_.xLabel) +
                tr(", %1 points.").arg(plot_.values.size()));
}

std::vector<DataColumn> DistributionPlotWindow::DrawnData() const {
  std::vector<DataColumn> columns;
  if (!hasPlot_ || drawn_.series.empty()) return columns;
  // The curves share the parameter's values; one array may stop short.
  size_t rows = 0;
  for (const XYSeries& series : drawn_.series) rows = std::max(rows, series.x.size());
  columns.push_back(
      {drawn_.xLabel, std::vector<double>(plot_.values.begin(), plot_.values.begin() + rows)});
  for (const XYSeries& series : drawn_.series) columns.push_back({series.label, series.y});
  return columns;
}

std::string DistributionPlotWindow::ExportStem() const {
  return DistributionFileStem(plot_, curve_);
}

}  // namespace estimetrix
