#pragma once
// The base of the plot windows: a plot with zoom and pan (wheel and drag),
// a tool bar with "Reset view", "Export plot..." and "Export data...", room
// for a window's own controls beside the plot, and a line of text below it.

#include <QString>
#include <QWidget>
#include <string>
#include <vector>

#include "plots/plot_tables.h"

class QCustomPlot;
class QCPTextElement;
class QLabel;
class QSplitter;
class QToolBar;

namespace estimetrix {

class PlotWindow : public QWidget {
  Q_OBJECT

 public:
  explicit PlotWindow(QWidget* parent = nullptr);

  QCustomPlot* Plot() const { return plot_; }
  // The text under the plot (statistics, or what could not be drawn).
  QString StatusText() const;

  // The arrays drawn now, one column each, as "Export data..." writes them.
  virtual std::vector<DataColumn> DrawnData() const = 0;
  // A file name stem for the export dialogues.
  virtual std::string ExportStem() const = 0;

  // What the export buttons do after their dialogue: false, with the
  // reason in `error`, when the file could not be written.
  bool ExportPlotTo(const QString& path, QString* error);
  bool ExportDataTo(const QString& path, QString* error);

  // The size at which the plot is exported: the size on screen when shown,
  // otherwise a size fit for a page.
  QSize ExportSize() const;

 public slots:
  // Shows all the data drawn again after zooming or panning.
  virtual void ResetView();

 protected:
  QToolBar* ToolBar() const { return toolBar_; }
  // Puts a panel (such as a series chooser) to the right of the plot.
  void AddSidePanel(QWidget* panel);
  void SetStatusText(const QString& text);
  void SetPlotTitle(const QString& title);
  // Scales both axes to the data with a little room at the edges.
  void FitAxesToData();
  // Lays the legend's entries out in rows of `columns`.
  void ArrangeLegend(int columns);

  // Series `index` of a window (from 0): its colour, and the dash of its
  // line. The first PaletteSize() series have solid lines in distinct
  // colours; the next ones repeat the colours dashed (variant 1 to 3, which
  // points show as other shapes), and beyond those the colours are new.
  static QColor SeriesColour(int index);
  static Qt::PenStyle SeriesDash(int index);
  static int SeriesVariant(int index);
  static int PaletteSize();

 private slots:
  void ChooseAndExportPlot();
  void ChooseAndExportData();

 private:
  QCustomPlot* plot_;
  QCPTextElement* title_;
  QToolBar* toolBar_;
  QSplitter* splitter_;
  QLabel* status_;
};

}  // namespace estimetrix
