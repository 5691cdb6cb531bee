// Plots that read at a glance: a frequency plot draws observed counts,
// the prediction, its instars and the simulations each their own way and in
// that order in the legend; no two series of a window share a look; whole-
// number axes have whole-number ticks; the X-Y window fits a small screen.

#include <qcustomplot.h>

#include <QMdiArea>
#include <QMdiSubWindow>
#include "tests/support/qtest_entry.h"
#include <set>
#include <tuple>

#include "plots/distribution_plot_window.h"
#include "plots/plot_windows.h"
#include "plots/xy_plot_window.h"

using namespace estimetrix;

namespace {

// As the results summary hands it over: observed, predicted, two simulated
// series, then one series per instar.
XYPlot FrequencyPlot(int instars) {
  XYPlot plot;
  plot.title = "Frequency data series # 1";
  plot.xLabel = "Frequency Cell MidPoint";
  std::vector<double> x;
  for (int c = 0; c < 30; ++c) x.push_back(0.5 + c);
  auto values = [&](double scale) {
    std::vector<double> y;
    for (double v : x) y.push_back(scale * (1.0 + std::sin(v / 3.0)));
    return y;
  };
  plot.series = {{"Observed", x, values(10), SeriesRole::Observed},
                 {"Predicted", x, values(9.5), SeriesRole::Predicted},
                 {"Simulated with error", x, values(9), SeriesRole::Simulated},
                 {"Simulated without error", x, values(8), SeriesRole::Simulated}};
  for (int k = 1; k <= instars; ++k)
    plot.series.push_back({"Predicted frequencies for instar " + std::to_string(k), x,
                           values(1.0 / k), SeriesRole::Component});
  return plot;
}

// What tells two graphs apart: colour, dash, line style and point shape.
using Look = std::tuple<QRgb, int, int, int>;

Look LookOf(const QCPGraph* graph) {
  return {graph->pen().color().rgb(), static_cast<int>(graph->pen().style()),
          static_cast<int>(graph->lineStyle()), static_cast<int>(graph->scatterStyle().shape())};
}

// The tick values of an axis as drawn now.
QVector<double> Ticks(QCPAxis* axis) {
  QVector<double> ticks;
  QVector<QString> labels;
  axis->ticker()->generate(axis->range(), QLocale(), 'g', 6, ticks, nullptr, &labels);
  return ticks;
}

bool AllWhole(const QVector<double>& ticks) {
  for (double t : ticks)
    if (std::fabs(t - std::round(t)) > 1e-9) return false;
  return !ticks.isEmpty();
}

}  // namespace

class PlotReadabilityTest : public QObject {
  Q_OBJECT

 private slots:
  void frequencyPlotDrawsEachRoleItsOwnWayInLegendOrder() {
    XYPlotWindow window;
    window.AddPage(FrequencyPlot(3));
    QCustomPlot* plot = window.Plot();
    QCOMPARE(plot->graphCount(), 7);
    QStringList legend;
    for (int i = 0; i < plot->graphCount(); ++i) legend << plot->graph(i)->name();
    QCOMPARE(legend, QStringList({"Observed", "Predicted", "Predicted frequencies for instar 1",
                                  "Predicted frequencies for instar 2",
                                  "Predicted frequencies for instar 3", "Simulated with error",
                                  "Simulated without error"}));
    const QCPGraph* observed = plot->graph(0);
    QCOMPARE(observed->lineStyle(), QCPGraph::lsNone);
    QCOMPARE(observed->scatterStyle().shape(), QCPScatterStyle::ssDisc);
    const QCPGraph* predicted = plot->graph(1);
    QCOMPARE(predicted->lineStyle(), QCPGraph::lsLine);
    const QCPGraph* instar = plot->graph(2);
    QCOMPARE(instar->lineStyle(), QCPGraph::lsLine);
    QVERIFY(instar->pen().widthF() < predicted->pen().widthF());
    const QCPGraph* simulated = plot->graph(5);
    QCOMPARE(simulated->lineStyle(), QCPGraph::lsNone);
    QCOMPARE(simulated->scatterStyle().shape(), QCPScatterStyle::ssCircle);
    QCOMPARE(simulated->scatterStyle().brush().style(), Qt::NoBrush);  // open symbols

    // As drop lines the observed counts become bars; the rest stay as they are.
    window.SetStyle(XYStyle::DropLines);
    QCOMPARE(plot->graph(0)->lineStyle(), QCPGraph::lsImpulse);
    QVERIFY(plot->graph(0)->pen().widthF() >= 4.0);
    QCOMPARE(plot->graph(1)->lineStyle(), QCPGraph::lsLine);
  }

  void everySeriesOfAWindowLooksDifferent() {
    for (int instars : {3, 12, 60}) {
      XYPlotWindow window;
      window.AddPage(FrequencyPlot(instars));
      QCustomPlot* plot = window.Plot();
      std::set<Look> looks;
      std::set<QRgb> colours;
      for (int i = 0; i < plot->graphCount(); ++i) {
        looks.insert(LookOf(plot->graph(i)));
        colours.insert(plot->graph(i)->pen().color().rgb());
      }
      QCOMPARE(static_cast<int>(looks.size()), plot->graphCount());
      QVERIFY(colours.size() >= std::min<size_t>(12, static_cast<size_t>(plot->graphCount())));
    }
    // The first twelve series: twelve colours.
    XYPlotWindow window;
    window.AddPage(FrequencyPlot(8));
    std::set<QRgb> colours;
    for (int i = 0; i < window.Plot()->graphCount(); ++i)
      colours.insert(window.Plot()->graph(i)->pen().color().rgb());
    QCOMPARE(static_cast<int>(colours.size()), 12);
  }

  void distributionCurvesAndMarksHaveTheirOwnColours() {
    DistributionPlot plot;
    plot.kind = DistributionKind::Posterior;
    plot.parameter = 2;
    plot.description = "Beta 0";
    for (int k = 0; k < 21; ++k) {
      const double x = k * 0.1, z = (x - 1.0) / 0.3;
      plot.values.push_back(x);
      plot.minusLn.push_back(z * z / 2);
      plot.pdf.push_back(std::exp(-z * z / 2));
      plot.cumulative.push_back(k / 20.0);
      plot.modeCI.push_back(std::fabs(k - 10) / 10.0);
      plot.meanCI.push_back(std::fabs(k - 10) / 10.5);
      plot.normalReference.push_back(0.9 * std::exp(-z * z / 2));
    }
    plot.maxLikelihoodValue = 1.0;
    plot.expectedValue = 1.05;
    DistributionPlotWindow window(DistributionKind::Posterior);
    window.SetPlot(plot);
    std::set<QRgb> colours;
    for (int i = 0; i < window.Plot()->graphCount(); ++i)
      colours.insert(window.Plot()->graph(i)->pen().color().rgb());
    QCOMPARE(static_cast<int>(colours.size()), window.Plot()->graphCount());
  }

  void wholeNumberAxesHaveWholeNumberTicks() {
    XYPlot growth;
    growth.title = "Instar growth curve";
    growth.xLabel = "Instar";
    growth.series = {{"Pre-moult mean", {0, 1, 2, 3}, {10.2, 14.1, 19.8, 27.5}},
                     {"Post-moult mean", {0, 1, 2, 3}, {14.1, 19.8, 27.5, 36.0}}};
    XYPlotWindow window;
    window.resize(900, 600);
    window.AddPage(growth);
    window.Plot()->replot();
    QVERIFY2(AllWhole(Ticks(window.Plot()->xAxis)), "instar axis");
    QVERIFY(!AllWhole(Ticks(window.Plot()->yAxis)) || window.Plot()->yAxis->range().size() > 10);

    // A long record index: whole steps, not a tick per record.
    XYPlot records;
    records.title = "Increment data";
    records.xLabel = "Data Record Index";
    XYSeries increments{"Observed", {}, {}};
    for (int r = 1; r <= 472; ++r) {
      increments.x.push_back(r);
      increments.y.push_back(10.0 + 0.01 * r);
    }
    records.series = {increments};
    window.AddPage(records);
    const QVector<double> ticks = Ticks(window.Plot()->xAxis);
    QVERIFY(AllWhole(ticks));
    QVERIFY2(ticks.size() >= 5 && ticks.size() <= 16, qPrintable(QString::number(ticks.size())));
    QVERIFY(ticks[1] - ticks[0] >= 10.0);

    // Sizes with fractions keep the usual ticks (a step of 0.5 is fine there).
    XYPlot sizes = records;
    sizes.title = "Sizes";
    sizes.series[0].x = {0.25, 0.5, 0.75, 1.0, 1.25};
    sizes.series[0].y = {1, 2, 3, 4, 5};
    window.AddPage(sizes);
    QVERIFY(!AllWhole(Ticks(window.Plot()->xAxis)));
  }

  void xyWindowOpensWholeOnASmallScreen() {
    // The workspace of a maximised main window on a 1366 x 768 screen.
    QMdiArea mdi;
    mdi.resize(1366, 600);
    mdi.show();
    std::unique_ptr<PlotView> view = NewWindowPlotView(&mdi, nullptr);
    view->ShowXY(FrequencyPlot(7));
    QMdiSubWindow* frame = mdi.subWindowList().front();
    const QRect room(QPoint(0, 0), mdi.viewport()->size());
    QVERIFY2(room.contains(frame->geometry()), "the X-Y window lies inside the workspace");
  }
};

ESTIMETRIX_QTEST_MAIN(PlotReadabilityTest)
#include "plot_readability_test.moc"
