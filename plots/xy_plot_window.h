#pragma once
// The X-Y plot window for model series: one page per plot handed over, with
// Previous and Next, a check list of the page's series, three styles
// (scatter, line, drop lines), an 8 x 8 or 10 x 10 grid, and the correlation
// and moments of the chosen series under the plot.

#include <string>
#include <vector>

#include "engine/state/plot_data.h"
#include "plots/plot_window.h"

class QAction;
class QCPAxis;
class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;

namespace estimetrix {

enum class XYStyle { Scatter, Line, DropLines };
enum class XYGrid { EightByEight, TenByTen };

class XYPlotWindow : public PlotWindow {
  Q_OBJECT

 public:
  explicit XYPlotWindow(QWidget* parent = nullptr);

  // Shows `plot` as a new last page, or in place of the page with the same
  // title and x axis text (a summary run again replaces its pages instead of
  // adding more; its two increment plots differ only in their x axis).
  void AddPage(const XYPlot& plot);
  int PageCount() const { return static_cast<int>(pages_.size()); }
  int CurrentPage() const { return current_; }  // 0-based; -1 before any plot
  void ShowPage(int page);
  // The page shown; an empty plot before any.
  const XYPlot& CurrentPlot() const;

  // Series are counted from 0 in the order the plot lists them.
  void SetSeriesShown(int series, bool shown);
  bool SeriesShown(int series) const;
  // The series whose statistics are shown under the plot.
  void ChooseStatisticsSeries(int series);
  void SetStyle(XYStyle style);
  XYStyle Style() const { return style_; }
  void SetGrid(XYGrid grid);

  std::vector<DataColumn> DrawnData() const override;
  std::string ExportStem() const override;
  void ResetView() override;

 private:
  struct Page {
    XYPlot plot;
    std::vector<bool> shown;
    int statisticsSeries = 0;
  };

  void Redraw();
  // Whole-number ticks for an axis whose values are all whole numbers
  // (instar number, record index), the usual ticks otherwise.
  void SetWholeNumberTicks(QCPAxis* axis, bool whole);
  void FillSeriesList();
  void UpdateStatistics();
  void UpdatePaging();
  void SeriesItemChanged(QListWidgetItem* item);

  std::vector<Page> pages_;
  int current_ = -1;
  XYStyle style_ = XYStyle::Scatter;
  XYGrid grid_ = XYGrid::TenByTen;
  bool filling_ = false;

  QAction* previous_;
  QAction* next_;
  QLabel* pageLabel_;
  QComboBox* styleBox_;
  QComboBox* gridBox_;
  QListWidget* seriesList_;
};

}  // namespace estimetrix
