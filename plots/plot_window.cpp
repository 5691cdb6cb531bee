#include "plots/plot_window.h"

#include <qcustomplot.h>

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QSplitter>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "plots/plot_export.h"

namespace estimetrix {

PlotWindow::PlotWindow(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->setSpacing(4);

  toolBar_ = new QToolBar(this);
  toolBar_->setToolButtonStyle(Qt::ToolButtonTextOnly);
  QAction* reset = toolBar_->addAction(tr("Reset view"));
  reset->setObjectName("resetView");
  reset->setToolTip(tr("Show all the data again after zooming or panning"));
  connect(reset, &QAction::triggered, this, &PlotWindow::ResetView);
  QAction* exportPlot = toolBar_->addAction(tr("Export plot..."));
  exportPlot->setObjectName("exportPlot");
  exportPlot->setToolTip(tr("Save the plot as a PNG image, a PDF document or an SVG drawing"));
  connect(exportPlot, &QAction::triggered, this, &PlotWindow::ChooseAndExportPlot);
  QAction* exportData = toolBar_->addAction(tr("Export data..."));
  exportData->setObjectName("exportData");
  exportData->setToolTip(tr("Save the plotted numbers as a CSV table"));
  connect(exportData, &QAction::triggered, this, &PlotWindow::ChooseAndExportData);
  toolBar_->addSeparator();
  layout->addWidget(toolBar_);

  plot_ = new QCustomPlot(this);
  plot_->setObjectName("plot");
  plot_->setMinimumSize(320, 240);
  plot_->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
  plot_->setNoAntialiasingOnDrag(true);

  // Title above the axes, legend below them: long series labels then never
  // cover the data.
  plot_->plotLayout()->insertRow(0);
  title_ = new QCPTextElement(plot_, QString(), QFont(font().family(), 11, QFont::Bold));
  plot_->plotLayout()->addElement(0, 0, title_);
  auto* legendRow = new QCPLayoutGrid;
  plot_->plotLayout()->addElement(2, 0, legendRow);
  legendRow->setMargins(QMargins(8, 0, 8, 6));
  legendRow->addElement(0, 0, plot_->legend);
  plot_->legend->setVisible(true);
  plot_->legend->setFillOrder(QCPLegend::foColumnsFirst);
  plot_->legend->setBorderPen(QPen(QColor(160, 160, 160)));
  plot_->plotLayout()->setRowStretchFactor(0, 0.001);
  plot_->plotLayout()->setRowStretchFactor(2, 0.001);

  for (QCPAxis* axis : {plot_->xAxis, plot_->yAxis, plot_->xAxis2, plot_->yAxis2})
    axis->grid()->setPen(QPen(QColor(215, 215, 215), 0, Qt::DotLine));
  // A closed box around the data, as printed figures have.
  plot_->xAxis2->setVisible(true);
  plot_->yAxis2->setVisible(true);
  plot_->xAxis2->setTickLabels(false);
  plot_->yAxis2->setTickLabels(false);
  plot_->xAxis2->setTicker(plot_->xAxis->ticker());
  plot_->yAxis2->setTicker(plot_->yAxis->ticker());
  connect(plot_->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), plot_->xAxis2,
          qOverload<const QCPRange&>(&QCPAxis::setRange));
  connect(plot_->yAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), plot_->yAxis2,
          qOverload<const QCPRange&>(&QCPAxis::setRange));

  splitter_ = new QSplitter(Qt::Horizontal, this);
  splitter_->addWidget(plot_);
  splitter_->setStretchFactor(0, 1);
  layout->addWidget(splitter_, 1);

  status_ = new QLabel(this);
  status_->setObjectName("status");
  status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  status_->setWordWrap(true);
  layout->addWidget(status_);
}

QString PlotWindow::StatusText() const {
  return status_->text();
}

void PlotWindow::AddSidePanel(QWidget* panel) {
  splitter_->addWidget(panel);
  splitter_->setStretchFactor(splitter_->indexOf(panel), 0);
}

void PlotWindow::SetStatusText(const QString& text) {
  status_->setText(text);
}

void PlotWindow::SetPlotTitle(const QString& title) {
  title_->setText(title);
}

void PlotWindow::FitAxesToData() {
  plot_->rescaleAxes(true);
  for (QCPAxis* axis : {plot_->xAxis, plot_->yAxis}) {
    QCPRange range = axis->range();
    double room = range.size() > 0 ? 0.04 * range.size() : 0.5;
    if (range.size() <= 0 && range.lower != 0) room = 0.05 * std::abs(range.lower);
    axis->setRange(range.lower - room, range.upper + room);
  }
}

void PlotWindow::ArrangeLegend(int columns) {
  plot_->legend->setWrap(columns);
  // Entries already in the legend are moved only when the order is set anew.
  plot_->legend->setFillOrder(QCPLegend::foColumnsFirst, true);
}

void PlotWindow::ResetView() {
  FitAxesToData();
  plot_->replot();
}

namespace {

// A qualitative palette: twelve colours that stay apart in print and for most
// colour vision, then the same twelve with dashes (points: other shapes).
const QColor kPalette[] = {
    QColor(31, 119, 180),  QColor(214, 39, 40), QColor(44, 160, 44),   QColor(255, 127, 14),
    QColor(148, 103, 189), QColor(140, 86, 75), QColor(227, 119, 194), QColor(127, 127, 127),
    QColor(188, 189, 34),  QColor(23, 190, 207), QColor(0, 0, 0),      QColor(0, 45, 120)};
constexpr int kPaletteSize = sizeof kPalette / sizeof kPalette[0];
constexpr int kVariants = 4;

}  // namespace

QColor PlotWindow::SeriesColour(int index) {
  index = std::max(index, 0);
  if (index < kPaletteSize * kVariants) return kPalette[index % kPaletteSize];
  // Beyond the palette's variants: hues a golden angle apart, never a
  // colour met before in the same window.
  const double hue = std::fmod(0.13 + 0.618033988749895 * index, 1.0);
  return QColor::fromHsvF(static_cast<float>(hue), 0.85f, 0.75f);
}

Qt::PenStyle PlotWindow::SeriesDash(int index) {
  static const Qt::PenStyle styles[kVariants] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine,
                                                 Qt::DashDotLine};
  index = std::max(index, 0);
  return index < kPaletteSize * kVariants ? styles[index / kPaletteSize] : Qt::SolidLine;
}

int PlotWindow::SeriesVariant(int index) {
  index = std::max(index, 0);
  return index < kPaletteSize * kVariants ? index / kPaletteSize : 0;
}

int PlotWindow::PaletteSize() {
  return kPaletteSize;
}

QSize PlotWindow::ExportSize() const {
  if (plot_->isVisible() && plot_->width() >= 320 && plot_->height() >= 240) return plot_->size();
  // Off screen: a page-sized plot, taller by the legend rows beyond three
  // so that a long legend does not squeeze the axes.
  int legendRows = plot_->legend->visible() ? plot_->legend->rowCount() : 0;
  return QSize(1000, 700 + 22 * std::max(0, legendRows - 3));
}

bool PlotWindow::ExportPlotTo(const QString& path, QString* error) {
  QSize size = ExportSize();
  return RenderPlot(*plot_, path, size.width(), size.height(), error);
}

bool PlotWindow::ExportDataTo(const QString& path, QString* error) {
  return WriteTextFile(path, CsvText(DrawnData()), error);
}

namespace {

// The chosen name, with the extension of the chosen filter when it has none.
QString WithExtension(const QString& path, const QString& filter, const QString& fallback) {
  if (!QFileInfo(path).suffix().isEmpty()) return path;
  int star = filter.indexOf("*.");
  QString extension =
      star >= 0 ? filter.mid(star + 2, filter.indexOf(')', star) - star - 2) : fallback;
  return path + "." + extension;
}

}  // namespace

void PlotWindow::ChooseAndExportPlot() {
  const QString filters = tr("PNG image (*.png);;PDF document (*.pdf);;SVG drawing (*.svg)");
  QString filter = tr("PNG image (*.png)");
  QString path = QFileDialog::getSaveFileName(
      this, tr("Export plot"), QString::fromStdString(ExportStem()) + ".png", filters, &filter);
  if (path.isEmpty()) return;
  path = WithExtension(path, filter, "png");
  QString error;
  if (!ExportPlotTo(path, &error))
    QMessageBox::warning(this, tr("Export plot"),
                         tr("The plot could not be written to %1:\n%2").arg(path, error));
}

void PlotWindow::ChooseAndExportData() {
  QString filter = tr("CSV table (*.csv)");
  QString path = QFileDialog::getSaveFileName(this, tr("Export data"),
                                              QString::fromStdString(ExportStem()) + ".csv",
                                              tr("CSV table (*.csv);;All files (*)"), &filter);
  if (path.isEmpty()) return;
  if (filter.contains("*.csv")) path = WithExtension(path, filter, "csv");
  QString error;
  if (!ExportDataTo(path, &error))
    QMessageBox::warning(this, tr("Export data"),
                         tr("The data could not be written to %1:\n%2").arg(path, error));
}

}  // namespace estimetrix
