// The numbers under and behind the plots: series statistics, highest-density
// levels and contour lines, the CSV table and the plot file names.

#include "tests/support/qtest_entry.h"
#include <cmath>
#include <string>
#include <vector>

#include "plots/contours.h"
#include "plots/plot_tables.h"
#include "plots/series_statistics.h"

using namespace estimetrix;

class PlotMathTest : public QObject {
  Q_OBJECT

 private slots:
  void StatisticsMatchHandValues();
  void StatisticsSkipPointsThatAreNotNumbers();
  void HighestDensityLevelsOfAGaussianBump();
  void ContoursOfAGaussianBumpAreClosedCircles();
  void ContourThatLeavesTheGridIsOneOpenLine();
  void CsvTableHasHeaderAndRows();
  void FileNamesFromTitlesAreUniqueInARun();
};

void PlotMathTest::StatisticsMatchHandValues() {
  // y about its mean 4: deviations -2 0 1 0 1; sums of powers 6, -6, 18.
  SeriesStatistics s = DescribeSeries({1, 2, 3, 4, 5}, {2, 4, 5, 4, 5});
  QCOMPARE(s.count, 5);
  QVERIFY(std::fabs(s.mean - 4.0) < 1E-12);
  QVERIFY(std::fabs(s.sd - std::sqrt(6.0 / 4.0)) < 1E-12);
  QVERIFY(std::fabs(s.correlation - 6.0 / std::sqrt(60.0)) < 1E-12);
  QVERIFY(std::fabs(s.skewness - (-1.2 / std::pow(1.2, 1.5))) < 1E-12);
  QVERIFY(std::fabs(s.kurtosis - (-0.5)) < 1E-12);

  // Constant y: a mean and an SD of 0, but no correlation nor shape.
  SeriesStatistics flat = DescribeSeries({1, 2, 3}, {7, 7, 7});
  QCOMPARE(flat.mean, 7.0);
  QCOMPARE(flat.sd, 0.0);
  QVERIFY(std::isnan(flat.correlation));
  QVERIFY(std::isnan(flat.skewness));

  SeriesStatistics none = DescribeSeries({}, {});
  QCOMPARE(none.count, 0);
  QVERIFY(std::isnan(none.mean));
}

void PlotMathTest::StatisticsSkipPointsThatAreNotNumbers() {
  // The NaN and infinite pairs drop out; a longer y is cut to x's length.
  SeriesStatistics s = DescribeSeries({1, NAN, 2, 3, INFINITY, 4, 5}, {2, 9, 4, 5, 9, 4, 5, 100});
  SeriesStatistics clean = DescribeSeries({1, 2, 3, 4, 5}, {2, 4, 5, 4, 5});
  QCOMPARE(s.count, 5);
  QCOMPARE(s.mean, clean.mean);
  QCOMPARE(s.kurtosis, clean.kurtosis);
  QCOMPARE(s.correlation, clean.correlation);
}

namespace {

// exp(-r^2/2) on [-4, 4] x [-4, 4]: the region above density d encloses
// 1 - d of the mass, with its edge at r = sqrt(-2 ln d).
struct Bump {
  std::vector<double> x, y, density;
  Bump() {
    for (int k = 0; k <= 160; ++k) x.push_back(-4.0 + 0.05 * k);
    y = x;
    for (double xi : x)
      for (double yj : y) density.push_back(std::exp(-(xi * xi + yj * yj) / 2));
  }
};

}  // namespace

void PlotMathTest::HighestDensityLevelsOfAGaussianBump() {
  Bump bump;
  std::vector<double> levels = HighestDensityLevels(bump.density, {0.5, 0.9, 0.95});
  QCOMPARE(levels.size(), size_t(3));
  QVERIFY2(std::fabs(levels[0] - 0.50) < 0.005, std::to_string(levels[0]).c_str());
  QVERIFY2(std::fabs(levels[1] - 0.10) < 0.002, std::to_string(levels[1]).c_str());
  QVERIFY2(std::fabs(levels[2] - 0.05) < 0.001, std::to_string(levels[2]).c_str());

  // Nothing to enclose: no levels, and no lines drawn at them.
  std::vector<double> none = HighestDensityLevels(std::vector<double>(9, 0.0), {0.5});
  QVERIFY(std::isnan(none[0]));
  QVERIFY(ContourLines(bump.x, bump.y, bump.density, none[0]).empty());
}

void PlotMathTest::ContoursOfAGaussianBumpAreClosedCircles() {
  Bump bump;
  for (double share : {0.5, 0.9, 0.95}) {
    double level = 1.0 - share;
    double radius = std::sqrt(-2.0 * std::log(level));
    std::vector<ContourLine> lines = ContourLines(bump.x, bump.y, bump.density, level);
    QCOMPARE(lines.size(), size_t(1));
    const ContourLine& line = lines.front();
    QVERIFY(line.size() > 50);
    QCOMPARE(line.front().x, line.back().x);
    QCOMPARE(line.front().y, line.back().y);
    for (const ContourPoint& point : line)
      QVERIFY2(
          std::fabs(std::hypot(point.x, point.y) - radius) < 0.01,
          (std::to_string(share) + " at " + std::to_string(point.x) + "," + std::to_string(point.y))
              .c_str());
  }
  // Above the peak there is nothing to draw; a grid of the wrong size gives no lines.
  QVERIFY(ContourLines(bump.x, bump.y, bump.density, 1.5).empty());
  QVERIFY(ContourLines(bump.x, {0.0, 1.0}, bump.density, 0.5).empty());
}

void PlotMathTest::ContourThatLeavesTheGridIsOneOpenLine() {
  // Density equal to x: the 0.5 contour is the line x = 0.5 from the bottom
  // edge to the top edge, in one piece.
  std::vector<double> x = {0, 0.25, 0.75, 1}, y = {0, 1, 2, 3, 4}, density;
  for (double xi : x)
    for (size_t j = 0; j < y.size(); ++j) density.push_back(xi);
  std::vector<ContourLine> lines = ContourLines(x, y, density, 0.5);
  QCOMPARE(lines.size(), size_t(1));
  QCOMPARE(lines.front().size(), y.size());
  for (const ContourPoint& point : lines.front()) QCOMPARE(point.x, 0.5);
  double ends[] = {lines.front().front().y, lines.front().back().y};
  QCOMPARE(std::min(ends[0], ends[1]), 0.0);
  QCOMPARE(std::max(ends[0], ends[1]), 4.0);
}

void PlotMathTest::CsvTableHasHeaderAndRows() {
  std::string text = CsvText({{"Observed initial carapace size", {10.5, 12, 1E-7}},
                              {"Predicted, with \"ME\"", {0.25, -3}}});
  QCOMPARE(QString::fromStdString(text),
           QString("Observed initial carapace size,\"Predicted, with \"\"ME\"\"\"\r\n"
                   "10.5,0.25\r\n"
                   "12,-3\r\n"
                   "1E-07,\r\n"));
}

void PlotMathTest::FileNamesFromTitlesAreUniqueInARun() {
  QCOMPARE(QString::fromStdString(PlotFileStem("Frequency data series # 1")),
           QString("frequency-data-series-1"));
  QCOMPARE(QString::fromStdString(PlotFileStem("  Instar growth curve ")),
           QString("instar-growth-curve"));
  QCOMPARE(QString::fromStdString(PlotFileStem("###")), QString("plot"));

  UniqueStems stems;
  QCOMPARE(QString::fromStdString(stems.Take("increment-data")), QString("increment-data"));
  QCOMPARE(QString::fromStdString(stems.Take("increment-data")), QString("increment-data-2"));
  QCOMPARE(QString::fromStdString(stems.Take("increment-data")), QString("increment-data-3"));
  // A title that itself reads like a repeat never overwrites one.
  QCOMPARE(QString::fromStdString(stems.Take("increment-data-2")), QString("increment-data-2-2"));
}

ESTIMETRIX_QTEST_APPLESS_MAIN(PlotMathTest)
#include "plot_math_test.moc"
