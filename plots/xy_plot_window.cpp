#include "plots/xy_plot_window.h"

#include <qcustomplot.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QToolBar>
#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/base/format.h"
#include "plots/series_statistics.h"

namespace estimetrix {

namespace {

// A statistic as the line under the plot shows it.
QString StatisticText(double value) {
  if (std::isnan(value)) return "n/a";
  double magnitude = std::fabs(value);
  const char* pattern =
      magnitude == 0.0 || (magnitude >= 1E-3 && magnitude < 1E5) ? "0.0###" : "0.000E+00";
  return QString::fromStdString(FormatNumber(value, pattern));
}

QIcon Swatch(const QColor& colour) {
  QPixmap pixmap(12, 12);
  pixmap.fill(colour);
  return QIcon(pixmap);
}

std::string Trimmed(const std::string& text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Ticks at whole numbers only: the usual tidy steps, but never below 1 and
// never a fraction (2.5 becomes 2).
class WholeNumberTicker : public QCPAxisTicker {
 protected:
  double getTickStep(const QCPRange& range) override {
    const double step = QCPAxisTicker::getTickStep(range);
    return step <= 1.0 ? 1.0 : std::floor(step + 1e-9);
  }
  // No marks between whole numbers when the step is 1.
  int getSubTickCount(double tickStep) override {
    return tickStep <= 1.0 ? 0 : QCPAxisTicker::getSubTickCount(tickStep);
  }
};

// Where a series' role puts it in the legend.
int RoleRank(SeriesRole role) {
  switch (role) {
    case SeriesRole::Observed: return 0;
    case SeriesRole::Plain: return 1;
    case SeriesRole::Predicted: return 2;
    case SeriesRole::Component: return 3;
    case SeriesRole::Simulated: return 4;
  }
  return 1;
}

bool WholeOrGap(double value) {
  return !std::isfinite(value) || (std::fabs(value) < 1e15 && value == std::round(value));
}

QCPScatterStyle::ScatterShape Shape(int variant, bool filled) {
  static const QCPScatterStyle::ScatterShape open[] = {
      QCPScatterStyle::ssCircle, QCPScatterStyle::ssSquare, QCPScatterStyle::ssTriangle,
      QCPScatterStyle::ssDiamond};
  if (filled && variant == 0) return QCPScatterStyle::ssDisc;
  return open[variant % 4];
}

QCPScatterStyle Points(int variant, const QColor& colour, bool filled, double size) {
  QCPScatterStyle points(Shape(variant, filled), size);
  points.setPen(QPen(colour, 1.2));
  points.setBrush(filled ? QBrush(colour) : QBrush(Qt::NoBrush));
  return points;
}

// Observed counts as points (bars when drop lines are chosen), the total
// prediction as a line, each part of it as a thin line, simulations as open
// symbols; plain series in the window's style.
void StyleGraph(QCPGraph& graph, SeriesRole role, XYStyle style, const QColor& colour,
                Qt::PenStyle dash, int variant) {
  graph.setBrush(Qt::NoBrush);
  switch (role) {
    case SeriesRole::Observed:
      if (style == XYStyle::DropLines) {
        QColor bar = colour;
        bar.setAlpha(150);
        graph.setPen(QPen(bar, 5.0, Qt::SolidLine, Qt::FlatCap));
        graph.setLineStyle(QCPGraph::lsImpulse);
        graph.setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssNone));
      } else {
        graph.setPen(QPen(colour, 1.5, dash));
        graph.setLineStyle(QCPGraph::lsNone);
        graph.setScatterStyle(Points(variant, colour, true, 6));
      }
      return;
    case SeriesRole::Predicted:
      graph.setPen(QPen(colour, 2.2, dash));
      graph.setLineStyle(QCPGraph::lsLine);
      graph.setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssNone));
      return;
    case SeriesRole::Component:
      graph.setPen(QPen(colour, 1.0, dash));
      graph.setLineStyle(QCPGraph::lsLine);
      graph.setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssNone));
      return;
    case SeriesRole::Simulated:
      graph.setPen(QPen(colour, 1.2, dash));
      graph.setLineStyle(QCPGraph::lsNone);
      graph.setScatterStyle(Points(variant, colour, false, 7));
      return;
    case SeriesRole::Plain: break;
  }
  graph.setPen(QPen(colour, 1.5, dash));
  switch (style) {
    case XYStyle::Scatter:
      graph.setLineStyle(QCPGraph::lsNone);
      graph.setScatterStyle(Points(variant, colour, false, 6));
      break;
    case XYStyle::Line:
      graph.setLineStyle(QCPGraph::lsLine);
      graph.setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssNone));
      break;
    case XYStyle::DropLines:
      graph.setLineStyle(QCPGraph::lsImpulse);
      graph.setScatterStyle(Points(variant, colour, true, 5));
      break;
  }
}

}  // namespace

XYPlotWindow::XYPlotWindow(QWidget* parent) : PlotWindow(parent) {
  setWindowTitle(tr("X-Y plot"));
  QToolBar* bar = ToolBar();
  previous_ = bar->addAction(tr("< Previous"));
  previous_->setObjectName("previousPage");
  connect(previous_, &QAction::triggered, this, [this] { ShowPage(current_ - 1); });
  pageLabel_ = new QLabel(this);
  pageLabel_->setObjectName("pageLabel");
  pageLabel_->setContentsMargins(6, 0, 6, 0);
  bar->addWidget(pageLabel_);
  next_ = bar->addAction(tr("Next >"));
  next_->setObjectName("nextPage");
  connect(next_, &QAction::triggered, this, [this] { ShowPage(current_ + 1); });
  bar->addSeparator();

  styleBox_ = new QComboBox(this);
  styleBox_->setObjectName("style");
  styleBox_->addItems({tr("Scatter"), tr("Line"), tr("Drop lines")});
  styleBox_->setToolTip(tr("How the points are drawn"));
  bar->addWidget(styleBox_);
  connect(styleBox_, qOverload<int>(&QComboBox::currentIndexChanged), this,
          [this](int index) { SetStyle(static_cast<XYStyle>(index)); });
  gridBox_ = new QComboBox(this);
  gridBox_->setObjectName("grid");
  gridBox_->addItems({tr("8 x 8 grid"), tr("10 x 10 grid")});
  gridBox_->setCurrentIndex(1);
  bar->addWidget(gridBox_);
  connect(gridBox_, qOverload<int>(&QComboBox::currentIndexChanged), this,
          [this](int index) { SetGrid(index == 0 ? XYGrid::EightByEight : XYGrid::TenByTen); });

  seriesList_ = new QListWidget(this);
  seriesList_->setObjectName("series");
  seriesList_->setMinimumWidth(180);
  seriesList_->setToolTip(
      tr("Tick the series to draw; the selected one's statistics are shown "
         "under the plot"));
  seriesList_->setTextElideMode(Qt::ElideRight);
  AddSidePanel(seriesList_);
  connect(seriesList_, &QListWidget::itemChanged, this, &XYPlotWindow::SeriesItemChanged);
  connect(seriesList_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (!filling_ && row >= 0) ChooseStatisticsSeries(row);
  });

  SetGrid(grid_);
  UpdatePaging();
}

void XYPlotWindow::AddPage(const XYPlot& plot) {
  Page page{plot, std::vector<bool>(plot.series.size(), true), 0};
  for (size_t p = 0; p < pages_.size(); ++p) {
    if (pages_[p].plot.title == plot.title && pages_[p].plot.xLabel == plot.xLabel) {
      pages_[p] = std::move(page);
      ShowPage(static_cast<int>(p));
      return;
    }
  }
  pages_.push_back(std::move(page));
  ShowPage(PageCount() - 1);
}

void XYPlotWindow::ShowPage(int page) {
  if (page < 0 || page >= PageCount()) return;
  current_ = page;
  FillSeriesList();
  Redraw();
  ResetView();
  UpdatePaging();
}

const XYPlot& XYPlotWindow::CurrentPlot() const {
  static const XYPlot none;
  return current_ >= 0 ? pages_[current_].plot : none;
}

void XYPlotWindow::SetSeriesShown(int series, bool shown) {
  if (current_ < 0 || series < 0 || series >= static_cast<int>(pages_[current_].shown.size()))
    return;
  pages_[current_].shown[series] = shown;
  filling_ = true;
  seriesList_->item(series)->setCheckState(shown ? Qt::Checked : Qt::Unchecked);
  filling_ = false;
  Redraw();
  Plot()->replot();
}

bool XYPlotWindow::SeriesShown(int series) const {
  if (current_ < 0 || series < 0 || series >= static_cast<int>(pages_[current_].shown.size()))
    return false;
  return pages_[current_].shown[series];
}

void XYPlotWindow::ChooseStatisticsSeries(int series) {
  if (current_ < 0 || series < 0 || series >= static_cast<int>(pages_[current_].shown.size()))
    return;
  pages_[current_].statisticsSeries = series;
  if (seriesList_->currentRow() != series) {
    filling_ = true;
    seriesList_->setCurrentRow(series);
    filling_ = false;
  }
  UpdateStatistics();
}

void XYPlotWindow::SetStyle(XYStyle style) {
  style_ = style;
  if (styleBox_->currentIndex() != static_cast<int>(style)) {
    QSignalBlocker block(styleBox_);
    styleBox_->setCurrentIndex(static_cast<int>(style));
  }
  Redraw();
  ResetView();
}

void XYPlotWindow::ResetView() {
  FitAxesToData();
  // Drop lines end at y = 0, which must then be in view.
  if (style_ == XYStyle::DropLines && Plot()->graphCount() > 0) {
    QCPRange range = Plot()->yAxis->range();
    double room = 0.04 * range.size();
    if (range.lower > 0) Plot()->yAxis->setRangeLower(-room);
    if (range.upper < 0) Plot()->yAxis->setRangeUpper(room);
  }
  Plot()->replot();
}

void XYPlotWindow::SetGrid(XYGrid grid) {
  grid_ = grid;
  int ticks = grid == XYGrid::EightByEight ? 8 : 10;
  if (gridBox_->currentIndex() != (grid == XYGrid::EightByEight ? 0 : 1)) {
    QSignalBlocker block(gridBox_);
    gridBox_->setCurrentIndex(grid == XYGrid::EightByEight ? 0 : 1);
  }
  for (QCPAxis* axis : {Plot()->xAxis, Plot()->yAxis}) {
    axis->ticker()->setTickStepStrategy(QCPAxisTicker::tssMeetTickCount);
    axis->ticker()->setTickCount(ticks);
  }
  Plot()->replot();
}

void XYPlotWindow::SetWholeNumberTicks(QCPAxis* axis, bool whole) {
  const bool fixed = dynamic_cast<WholeNumberTicker*>(axis->ticker().data()) != nullptr;
  if (whole != fixed) {
    if (whole) {
      axis->setTicker(QSharedPointer<WholeNumberTicker>::create());
    } else {
      axis->setTicker(QSharedPointer<QCPAxisTicker>::create());
    }
  }
  axis->ticker()->setTickStepStrategy(QCPAxisTicker::tssMeetTickCount);
  axis->ticker()->setTickCount(grid_ == XYGrid::EightByEight ? 8 : 10);
}

void XYPlotWindow::SeriesItemChanged(QListWidgetItem* item) {
  if (filling_ || current_ < 0) return;
  int series = seriesList_->row(item);
  if (series < 0 || series >= static_cast<int>(pages_[current_].shown.size())) return;
  pages_[current_].shown[series] = item->checkState() == Qt::Checked;
  Redraw();
  Plot()->replot();
}

void XYPlotWindow::FillSeriesList() {
  filling_ = true;
  seriesList_->clear();
  const Page& page = pages_[current_];
  for (size_t s = 0; s < page.plot.series.size(); ++s) {
    const std::string& label = page.plot.series[s].label;
    auto* item = new QListWidgetItem(Swatch(SeriesColour(static_cast<int>(s))),
                                     QString::fromStdString(label), seriesList_);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(page.shown[s] ? Qt::Checked : Qt::Unchecked);
    item->setToolTip(QString::fromStdString(label));
  }
  seriesList_->setCurrentRow(page.plot.series.empty() ? -1 : page.statisticsSeries);
  filling_ = false;
}

void XYPlotWindow::Redraw() {
  QCustomPlot* plot = Plot();
  plot->clearGraphs();
  if (current_ < 0) return;
  const Page& page = pages_[current_];
  SetPlotTitle(QString::fromStdString(page.plot.title));
  setWindowTitle(tr("X-Y plot") + " - " + QString::fromStdString(page.plot.title));
  plot->xAxis->setLabel(QString::fromStdString(page.plot.xLabel));
  plot->yAxis->setLabel(QString::fromStdString(page.plot.yLabel));

  // The legend reads: observed, the prediction in total, its parts, then
  // the simulations; plain series keep their order after the observed.
  std::vector<size_t> order;
  for (size_t s = 0; s < page.plot.series.size(); ++s)
    if (page.shown[s]) order.push_back(s);
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return RoleRank(page.plot.series[a].role) < RoleRank(page.plot.series[b].role);
  });
  bool wholeX = !order.empty(), wholeY = !order.empty();
  for (size_t s : order) {
    const XYSeries& series = page.plot.series[s];
    QCPGraph* graph = plot->addGraph();
    graph->setName(QString::fromStdString(series.label));
    const int index = static_cast<int>(s);
    const QColor colour = SeriesColour(index);
    size_t n = std::min(series.x.size(), series.y.size());
    QVector<double> keys, values;
    keys.reserve(static_cast<qsizetype>(n));
    values.reserve(static_cast<qsizetype>(n));
    // Infinite values are left out like NaN: they have no place on an axis.
    constexpr double gap = std::numeric_limits<double>::quiet_NaN();
    for (size_t i = 0; i < n; ++i) {
      keys.push_back(std::isfinite(series.x[i]) ? series.x[i] : gap);
      values.push_back(std::isfinite(series.y[i]) ? series.y[i] : gap);
      wholeX = wholeX && WholeOrGap(series.x[i]);
      wholeY = wholeY && WholeOrGap(series.y[i]);
    }
    graph->setData(keys, values);
    StyleGraph(*graph, series.role, style_, colour, SeriesDash(index), SeriesVariant(index));
  }
  SetWholeNumberTicks(plot->xAxis, wholeX);
  SetWholeNumberTicks(plot->yAxis, wholeY);
  plot->legend->setVisible(plot->graphCount() > 0);
  // Two columns keep a legend of many short labels low; long labels need
  // the whole width.
  bool longLabels = false;
  for (size_t s = 0; s < page.plot.series.size(); ++s)
    if (page.shown[s] && Trimmed(page.plot.series[s].label).size() > 45) longLabels = true;
  ArrangeLegend(plot->graphCount() > 3 && !longLabels ? 2 : 1);
  UpdateStatistics();
}

void XYPlotWindow::UpdateStatistics() {
  if (current_ < 0 || pages_[current_].plot.series.empty()) {
    SetStatusText(QString());
    return;
  }
  const Page& page = pages_[current_];
  const XYSeries& series = page.plot.series[page.statisticsSeries];
  SeriesStatistics stats = DescribeSeries(series.x, series.y);
  SetStatusText(QString::fromStdString(Trimmed(series.label)) +
                tr(":  n = %1,  correlation of x and y = %2,  y: mean = %3,  SD = %4,  "
                   "skewness = %5,  kurtosis = %6")
                    .arg(stats.count)
                    .arg(StatisticText(stats.correlation), StatisticText(stats.mean),
                         StatisticText(stats.sd), StatisticText(stats.skewness),
                         StatisticText(stats.kurtosis)));
}

void XYPlotWindow::UpdatePaging() {
  previous_->setEnabled(current_ > 0);
  next_->setEnabled(current_ + 1 < PageCount());
  pageLabel_->setText(PageCount() == 0 ? tr("No plot")
                                       : tr("Page %1 of %2").arg(current_ + 1).arg(PageCount()));
}

std::vector<DataColumn> XYPlotWindow::DrawnData() const {
  std::vector<DataColumn> columns;
  if (current_ < 0) return columns;
  const Page& page = pages_[current_];
  std::string xName = Trimmed(page.plot.xLabel).empty() ? "x" : Trimmed(page.plot.xLabel);
  for (size_t s = 0; s < page.plot.series.size(); ++s) {
    if (!page.shown[s]) continue;
    const XYSeries& series = page.plot.series[s];
    size_t n = std::min(series.x.size(), series.y.size());
    std::string label = Trimmed(series.label);
    columns.push_back(
        {xName + " (" + label + ")", std::vector<double>(series.x.begin(), series.x.begin() + n)});
    columns.push_back({label, std::vector<double>(series.y.begin(), series.y.begin() + n)});
  }
  return columns;
}

std::string XYPlotWindow::ExportStem() const {
  return PlotFileStem(CurrentPlot().title);
}

}  // namespace estimetrix
