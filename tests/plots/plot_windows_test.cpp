// The plot windows as a user meets them: what each window draws, the series
// chooser, paging, the seven distribution plots, exports, and the runner's
// plot files.

#include "plots/plot_windows.h"

#include <qcustomplot.h>

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include "tests/support/qtest_entry.h"
#include <cmath>
#include <filesystem>
#include <sstream>

#include "plots/bivariate_plot_window.h"
#include "plots/distribution_plot_window.h"
#include "plots/xy_plot_window.h"
#include "tests/support/temporary_folder.h"

using namespace estimetrix;

namespace {

XYPlot IncrementPlot(const std::string& title = "Increment data") {
  XYPlot plot;
  plot.title = title;
  plot.xLabel = "Observed initial carapace size";
  plot.series.push_back({"Observed increment-at-initial-size", {1, 2, 3, 4, 5}, {2, 4, 5, 4, 5}});
  plot.series.push_back({"Predicted SD of an increment", {1, 2, 3}, {0.5, 0.6, 0.7}});
  return plot;
}

DistributionPlot Posterior() {
  DistributionPlot plot;
  plot.kind = DistributionKind::Posterior;
  plot.parameter = 3;
  plot.description = "Mean size of instar 1 (mm)";
  for (int k = 0; k < 9; ++k) {
    double x = 10.0 + 0.5 * k, z = (x - 12.0) / 0.8;
    plot.values.push_back(x);
    plot.minusLn.push_back(z * z / 2);
    plot.pdf.push_back(std::exp(-z * z / 2) / (0.8 * std::sqrt(2 * M_PI)));
    plot.cumulative.push_back(0.1 * (k + 1));
    plot.modeCI.push_back(std::fabs(k - 4) / 4.0);
    plot.meanCI.push_back(std::fabs(k - 4) / 4.5);
    plot.normalReference.push_back(0.9 * plot.pdf.back());
  }
  plot.maxLikelihoodValue = 12.0;
  plot.expectedValue = 12.1;
  return plot;
}

// exp(-((x - 1)^2 + (y + 2)^2) / 2) on a 81 x 61 grid around its peak.
BivariatePlot GaussianBump() {
  BivariatePlot plot;
  plot.xParameter = 2;
  plot.yParameter = 5;
  plot.xDescription = "Growth slope";
  plot.yDescription = "Measurement error (%)";
  for (int i = 0; i <= 80; ++i) plot.x.push_back(1.0 - 4.0 + 0.1 * i);
  for (int j = 0; j <= 60; ++j) plot.y.push_back(-2.0 - 4.0 + 8.0 / 60 * j);
  for (double x : plot.x)
    for (double y : plot.y)
      plot.density.push_back(std::exp(-((x - 1) * (x - 1) + (y + 2) * (y + 2)) / 2));
  plot.largest = 1.0;
  plot.largestX = 1.0;
  plot.largestY = -2.0;
  return plot;
}

QString Title(QCustomPlot* plot) {
  auto* title = qobject_cast<QCPTextElement*>(plot->plotLayout()->element(0, 0));
  return title ? title->text() : QString();
}

QStringList LegendNames(QCustomPlot* plot) {
  QStringList names;
  for (int i = 0; i < plot->legend->itemCount(); ++i)
    if (auto* item = qobject_cast<QCPPlottableLegendItem*>(plot->legend->item(i)))
      names << item->plottable()->name();
  return names;
}

QVector<double> Values(QCPGraph* graph) {
  QVector<double> values;
  for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
    values << it->value;
  return values;
}

QByteArray Contents(const std::string& path) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) return QByteArray();
  return file.readAll();
}

}  // namespace

class PlotWindowsTest : public QObject {
  Q_OBJECT

 private slots:
  void XYWindowShowsSeriesAndLabelsAsReceived();
  void XYSeriesCanBeHiddenAndShownAgain();
  void XYPagesGoBackAndForthAndAPlotSeenAgainReplacesItsPage();
  void XYStatisticsFollowTheChosenSeries();
  void DistributionWindowDrawsEachOfTheSevenPlots();
  void DistributionThatCannotBeDrawnKeepsThePreviousOne();
  void ExportsWriteImagesAndTheDrawnNumbers();
  void BivariateWindowDrawsTheHighestDensityContours();
  void WindowViewShowsEachKindInItsOwnMdiWindow();
  void FileWriterWritesSvgAndPngForEveryPlot();
  void FileWriterReportsFilesItCannotWrite();
};

void PlotWindowsTest::XYWindowShowsSeriesAndLabelsAsReceived() {
  XYPlotWindow window;
  XYPlot plot = IncrementPlot();
  plot.series[0].label = "Observed distribution frequencies                          ";
  window.AddPage(plot);
  QCustomPlot* p = window.Plot();
  QCOMPARE(Title(p), QString("Increment data"));
  QCOMPARE(p->xAxis->label(), QString("Observed initial carapace size"));
  QCOMPARE(p->graphCount(), 2);
  QCOMPARE(LegendNames(p),
           QStringList({"Observed distribution frequencies                          ",
                        "Predicted SD of an increment"}));
  QCOMPARE(Values(p->graph(0)), QVector<double>({2, 4, 5, 4, 5}));
  QVERIFY(window.windowTitle().contains("Increment data"));

  // The three styles: points, a line, lines dropped to zero.
  auto* style = window.findChild<QComboBox*>("style");
  QCOMPARE(p->graph(0)->lineStyle(), QCPGraph::lsNone);
  style->setCurrentIndex(1);
  QCOMPARE(p->graph(0)->lineStyle(), QCPGraph::lsLine);
  style->setCurrentIndex(2);
  QCOMPARE(p->graph(0)->lineStyle(), QCPGraph::lsImpulse);
  QVERIFY(p->yAxis->range().contains(0.0));  // the lines reach y = 0 in view
  QCOMPARE(window.Style(), XYStyle::DropLines);

  auto* grid = window.findChild<QComboBox*>("grid");
  grid->setCurrentIndex(0);
  QCOMPARE(p->xAxis->ticker()->tickCount(), 8);
  QCOMPARE(p->yAxis->ticker()->tickCount(), 8);
  grid->setCurrentIndex(1);
  QCOMPARE(p->xAxis->ticker()->tickCount(), 10);
}

void PlotWindowsTest::XYSeriesCanBeHiddenAndShownAgain() {
  XYPlotWindow window;
  window.AddPage(IncrementPlot());
  auto* list = window.findChild<QListWidget*>("series");
  QCOMPARE(list->count(), 2);
  list->item(0)->setCheckState(Qt::Unchecked);
  QCOMPARE(window.Plot()->graphCount(), 1);
  QCOMPARE(window.Plot()->graph(0)->name(), QString("Predicted SD of an increment"));
  QVERIFY(!window.SeriesShown(0));
  // Exported data holds what is drawn, nothing more.
  std::vector<DataColumn> drawn = window.DrawnData();
  QCOMPARE(drawn.size(), size_t(2));
  QCOMPARE(QString::fromStdString(drawn[1].name), QString("Predicted SD of an increment"));
  list->item(0)->setCheckState(Qt::Checked);
  QCOMPARE(window.Plot()->graphCount(), 2);
  QCOMPARE(window.DrawnData().size(), size_t(4));
}

void PlotWindowsTest::XYPagesGoBackAndForthAndAPlotSeenAgainReplacesItsPage() {
  XYPlotWindow window;
  auto* previous = window.findChild<QAction*>("previousPage");
  auto* next = window.findChild<QAction*>("nextPage");
  auto* label = window.findChild<QLabel*>("pageLabel");
  QVERIFY(!previous->isEnabled() && !next->isEnabled());

  window.AddPage(IncrementPlot("Increment data"));
  window.AddPage(IncrementPlot("Instar growth curve"));
  window.AddPage(IncrementPlot("Frequency data series # 1"));
  QCOMPARE(label->text(), QString("Page 3 of 3"));
  QVERIFY(previous->isEnabled() && !next->isEnabled());
  previous->trigger();
  previous->trigger();
  QCOMPARE(Title(window.Plot()), QString("Increment data"));
  QVERIFY(!previous->isEnabled());
  next->trigger();
  QCOMPARE(Title(window.Plot()), QString("Instar growth curve"));

  // A hidden series stays hidden when the user pages away and back.
  window.SetSeriesShown(1, false);
  next->trigger();
  previous->trigger();
  QCOMPARE(window.Plot()->graphCount(), 1);

  // A summary run again hands over the same titles: pages are replaced.
  XYPlot again = IncrementPlot("Increment data");
  again.series.resize(1);
  window.AddPage(again);
  QCOMPARE(window.PageCount(), 3);
  QCOMPARE(window.CurrentPage(), 0);
  QCOMPARE(window.Plot()->graphCount(), 1);
  // The same title over another x axis is a page of its own.
  again.xLabel = "Data Record Index";
  window.AddPage(again);
  QCOMPARE(window.PageCount(), 4);
  QCOMPARE(label->text(), QString("Page 4 of 4"));
}

void PlotWindowsTest::XYStatisticsFollowTheChosenSeries() {
  XYPlotWindow window;
  window.AddPage(IncrementPlot());
  QString text = window.StatusText();
  QVERIFY2(text.startsWith("Observed increment-at-initial-size:"), qPrintable(text));
  QVERIFY2(text.contains("n = 5"), qPrintable(text));
  QVERIFY2(text.contains("correlation of x and y = 0.7746"), qPrintable(text));
  QVERIFY2(text.contains("mean = 4.0,"), qPrintable(text));
  QVERIFY2(text.contains("SD = 1.2247"), qPrintable(text));
  QVERIFY2(text.contains("skewness = -0.9129"), qPrintable(text));
  QVERIFY2(text.contains("kurtosis = -0.5"), qPrintable(text));
  window.findChild<QListWidget*>("series")->setCurrentRow(1);
  text = window.StatusText();
  QVERIFY2(text.startsWith("Predicted SD of an increment:"), qPrintable(text));
  QVERIFY2(text.contains("correlation of x and y = 1.0"), qPrintable(text));
}

void PlotWindowsTest::DistributionWindowDrawsEachOfTheSevenPlots() {
  DistributionPlotWindow window(DistributionKind::Posterior);
  QCOMPARE(window.windowTitle(), QString("Bayesian posterior distribution plot"));
  QCOMPARE(DistributionPlotWindow(DistributionKind::Confidence).windowTitle(),
           QString("Confidence distribution plot"));
  QCOMPARE(DistributionPlotWindow(DistributionKind::Prior).windowTitle(),
           QString("Bayesian prior distribution plot"));

  DistributionPlot plot = Posterior();
  QVERIFY(window.SetPlot(plot));
  auto* chooser = window.findChild<QComboBox*>("curve");
  QCOMPARE(chooser->count(), 7);
  QCustomPlot* p = window.Plot();
  QCOMPARE(p->xAxis->label(), QString("Parameter 3: Mean size of instar 1 (mm)"));

  struct Expected {
    const char* title;
    std::vector<double> values;
  };
  std::vector<double> attenuated;
  for (double c : plot.cumulative) attenuated.push_back(1.0 - c);
  const Expected expected[] = {{"Likelihood profile", plot.minusLn},
                               {"Bayesian posterior distribution", plot.pdf},
                               {"Mode-centered confidence region", plot.modeCI},
                               {"Mean-centered confidence region", plot.meanCI},
                               {"Ascending cumulative probability", plot.cumulative},
                               {"Descending cumulative probability", attenuated},
                               {"Mode-centered Gaussian distribution", plot.normalReference}};
  for (int i = 0; i < 7; ++i) {
    chooser->setCurrentIndex(i);
    QCOMPARE(static_cast<int>(window.Curve()), i + 1);
    QVERIFY2(Title(p).startsWith(expected[i].title), qPrintable(Title(p)));
    QVector<double> drawn = Values(p->graph(0));
    QCOMPARE(drawn.size(), 9);
    for (int k = 0; k < 9; ++k) QVERIFY(std::fabs(drawn[k] - expected[i].values[k]) < 1E-12);
    QStringList legend = LegendNames(p);
    QVERIFY2(legend.contains("Maximum likelihood: 1.2000E+01"), qPrintable(legend.join('|')));
    QVERIFY2(legend.contains("Expected value: 1.2100E+01"), qPrintable(legend.join('|')));
  }
  // Plot 7 draws the distribution beside its Gaussian reference.
  QVERIFY(LegendNames(p).contains("PDF"));
  // Two vertical marks, at the estimate and the expected value.
  QCOMPARE(p->itemCount(), 2);
  auto* mark = qobject_cast<QCPItemStraightLine*>(p->item(0));
  QCOMPARE(mark->point1->coords().x(), 12.0);
  QCOMPARE(mark->point2->coords().x(), 12.0);
}

void PlotWindowsTest::DistributionThatCannotBeDrawnKeepsThePreviousOne() {
  DistributionPlotWindow window(DistributionKind::Confidence);
  QVERIFY(window.SetPlot(Posterior()));
  DistributionPlot empty;
  empty.parameter = 4;
  QVERIFY(!window.SetPlot(empty));
  QVERIFY(window.StatusText().contains("cannot be drawn"));
  QCOMPARE(window.Plot()->xAxis->label(), QString("Parameter 3: Mean size of instar 1 (mm)"));
  QCOMPARE(window.Plot()->graph(0)->dataCount(), 9);

  // Arrays that stop short are drawn as far as they go.
  DistributionPlot shortPdf = Posterior();
  shortPdf.pdf.resize(5);
  QVERIFY(window.SetPlot(shortPdf));
  window.ShowCurve(DistributionCurve::Density);
  QCOMPARE(window.Plot()->graph(0)->dataCount(), 5);
}

void PlotWindowsTest::ExportsWriteImagesAndTheDrawnNumbers() {
  testing::TemporaryFolder folder("plots_export");
  DistributionPlotWindow window(DistributionKind::Posterior);
  window.SetPlot(Posterior());
  window.ShowCurve(DistributionCurve::AscendingCumulative);
  QString error;
  for (const char* name : {"plot.png", "plot.PDF", "plot.svg"})
    QVERIFY2(window.ExportPlotTo(QString::fromStdString(folder.File(name)), &error),
             qPrintable(error));
  QVERIFY(Contents(folder.File("plot.png")).startsWith("\x89PNG"));
  QVERIFY(Contents(folder.File("plot.PDF")).startsWith("%PDF"));
  QByteArray svg = Contents(folder.File("plot.svg"));
  QVERIFY(svg.contains("<svg"));
  QVERIFY(svg.size() > 2000);

  QVERIFY(window.ExportDataTo(QString::fromStdString(folder.File("plot.csv")), &error));
  QList<QByteArray> rows = Contents(folder.File("plot.csv")).split('\n');
  QCOMPARE(rows.value(0), QByteArray("Parameter 3: Mean size of instar 1 (mm),Cumulative\r"));
  QCOMPARE(rows.value(1), QByteArray("10,0.1\r"));
  QCOMPARE(rows.value(9), QByteArray("14,0.9\r"));
  QCOMPARE(rows.size(), 11);  // header, nine points, and the empty text after the last break

  // A name the formats do not know, or a folder that is not there: a reason,
  // and nothing left behind.
  QVERIFY(!window.ExportPlotTo(QString::fromStdString(folder.File("plot.gif")), &error));
  QVERIFY(error.contains(".png"));
  QVERIFY(!window.ExportPlotTo(QString::fromStdString(folder.File("missing/plot.png")), &error));
  QVERIFY(!error.isEmpty());
  QVERIFY(!window.ExportDataTo(QString::fromStdString(folder.File("missing/plot.csv")), &error));
  QVERIFY(!std::filesystem::exists(folder.File("plot.gif")));
}

void PlotWindowsTest::BivariateWindowDrawsTheHighestDensityContours() {
  BivariatePlotWindow window;
  QVERIFY(window.SetPlot(GaussianBump()));
  const std::vector<double>& levels = window.ContourLevels();
  QCOMPARE(levels.size(), size_t(3));
  QVERIFY2(std::fabs(levels[0] - 0.50) < 0.01, qPrintable(QString::number(levels[0])));
  QVERIFY2(std::fabs(levels[1] - 0.10) < 0.005, qPrintable(QString::number(levels[1])));
  QVERIFY2(std::fabs(levels[2] - 0.05) < 0.003, qPrintable(QString::number(levels[2])));
  QCOMPARE(window.ContourLineCounts(), std::vector<int>({1, 1, 1}));

  QCustomPlot* p = window.Plot();
  QCOMPARE(p->xAxis->label(), QString("Parameter 2: Growth slope"));
  QCOMPARE(p->yAxis->label(), QString("Parameter 5: Measurement error (%)"));
  QStringList legend = LegendNames(p);
  for (const char* name : {"50% highest density region", "90% highest density region",
                           "95% highest density region", "Largest density 1.0000E+00"})
    QVERIFY2(legend.contains(name), qPrintable(legend.join('|')));

  // x, y and density rows, the grid point by point.
  std::vector<DataColumn> data = window.DrawnData();
  QCOMPARE(data.size(), size_t(3));
  QCOMPARE(data[2].values.size(), size_t(81 * 61));
  QCOMPARE(data[0].values[61], GaussianBump().x[1]);
  QCOMPARE(data[1].values[61], GaussianBump().y[0]);

  // A grid of the wrong size is refused and the drawn one stays.
  BivariatePlot broken = GaussianBump();
  broken.density.pop_back();
  QVERIFY(!window.SetPlot(broken));
  QVERIFY(window.StatusText().contains("cannot be drawn"));
  QCOMPARE(window.DrawnData()[2].values.size(), size_t(81 * 61));
}

void PlotWindowsTest::WindowViewShowsEachKindInItsOwnMdiWindow() {
  QMdiArea mdi;
  std::unique_ptr<PlotView> view = NewWindowPlotView(&mdi, nullptr);
  view->ShowXY(IncrementPlot("Increment data"));
  view->ShowXY(IncrementPlot("Instar growth curve"));
  view->ShowDistribution(Posterior());
  DistributionPlot prior = Posterior();
  prior.kind = DistributionKind::Prior;
  view->ShowDistribution(prior);
  view->ShowDistribution(Posterior());
  view->ShowBivariate(GaussianBump());
  QStringList titles;
  for (QMdiSubWindow* child : mdi.subWindowList()) titles << child->widget()->windowTitle();
  titles.sort();
  QCOMPARE(titles,
           QStringList({"Bayesian posterior distribution plot", "Bayesian prior distribution plot",
                        "Bivariate density plot", "X-Y plot - Instar growth curve"}));
  auto* xy = mdi.findChild<XYPlotWindow*>();
  QCOMPARE(xy->PageCount(), 2);

  // Closing a plot window hides it; the next plot shows it again.
  QMdiSubWindow* frame = mdi.subWindowList().front();
  frame->close();
  QCOMPARE(mdi.subWindowList().size(), 4);
  view->ShowXY(IncrementPlot("Increment data"));
  QCOMPARE(mdi.subWindowList().size(), 4);
}

void PlotWindowsTest::FileWriterWritesSvgAndPngForEveryPlot() {
  testing::TemporaryFolder folder("plots_writer");
  std::string target = folder.File("figures/run1");  // made when missing
  std::ostringstream errors;
  std::unique_ptr<PlotView> writer = NewPlotFileWriter(target, errors);
  writer->ShowXY(IncrementPlot("Frequency data series # 1"));
  writer->ShowXY(IncrementPlot("Frequency data series # 1"));
  writer->ShowDistribution(Posterior());
  writer->ShowBivariate(GaussianBump());
  QCOMPARE(QString::fromStdString(errors.str()), QString());

  std::vector<std::string> stems = {"frequency-data-series-1", "frequency-data-series-1-2",
                                    "bivariate-2-5"};
  for (const char* plot : {"likelihood-profile", "density", "mode-confidence", "mean-confidence",
                           "ascending-cumulative", "descending-cumulative", "gaussian-reference"})
    stems.push_back(std::string("posterior-parameter-3-") + plot);
  for (const std::string& stem : stems) {
    QVERIFY2(Contents(target + "/" + stem + ".png").startsWith("\x89PNG"), stem.c_str());
    QVERIFY2(Contents(target + "/" + stem + ".svg").contains("<svg"), stem.c_str());
  }
  size_t files = 0;
  for (auto& entry : std::filesystem::directory_iterator(target)) files += entry.is_regular_file();
  QCOMPARE(files, 2 * stems.size());
}

void PlotWindowsTest::FileWriterReportsFilesItCannotWrite() {
  testing::TemporaryFolder folder("plots_writer_errors");
  // The "folder" is a file: nothing can be written, each failure is a line.
  std::string blocked = folder.File("not-a-folder");
  QFile(QString::fromStdString(blocked)).open(QIODevice::WriteOnly);
  std::ostringstream errors;
  std::unique_ptr<PlotView> writer = NewPlotFileWriter(blocked, errors);
  writer->ShowXY(IncrementPlot());
  std::string lines = errors.str();
  QVERIFY2(lines.find("Could not make the plot folder " + blocked) == 0, lines.c_str());

  // Data that cannot be drawn is named, not written.
  std::ostringstream refused;
  std::unique_ptr<PlotView> fine = NewPlotFileWriter(folder.File("ok"), refused);
  BivariatePlot broken = GaussianBump();
  broken.density.clear();
  fine->ShowBivariate(broken);
  fine->ShowDistribution(DistributionPlot{});
  QVERIFY2(refused.str().find("bivariate plot of parameters 2 and 5 was not written") !=
               std::string::npos,
           refused.str().c_str());
  QVERIFY(refused.str().find("distribution plot of parameter 0 was not written") !=
          std::string::npos);
}

ESTIMETRIX_QTEST_MAIN(PlotWindowsTest)
#include "plot_windows_test.moc"
