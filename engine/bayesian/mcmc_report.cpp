// The Markov chain report, the draws file and the plots of the draws.

#include "engine/bayesian/mcmc_report.h"

#include <algorithm>
#include <cmath>

#include "engine/base/format.h"
#include "platform/text_file.h"

namespace estimetrix {

namespace {

constexpr double kSqrtTwoPi = 2.50662827463100050242;
constexpr int kDensityPoints = 101;  // odd, as the distribution summary needs
constexpr int kDensityBins = 512;
constexpr int kPairsPoints = 41;
constexpr size_t kTracePoints = 2000;

// A figure the report cannot give reliably reads -1, as everywhere.
double Reliable(double value) {
  return std::isfinite(value) ? value : -1.0;
}

std::string E(double value) {
  return RightJustify(FormatNumber(Reliable(value), "0.0000E+000"), 14);
}

std::vector<double> Pooled(const ChainDrawTable& table, int j) {
  std::vector<double> pooled;
  pooled.reserve(static_cast<size_t>(table.chains) * static_cast<size_t>(table.draws));
  for (int c = 0; c < table.chains; ++c)
    for (int i = 0; i < table.draws; ++i) pooled.push_back(table.At(c, i, j));
  return pooled;
}

double Quantile(std::vector<double> sorted, double p) {
  const double h = (static_cast<double>(sorted.size()) - 1.0) * p;
  const size_t lo = static_cast<size_t>(std::floor(h));
  const size_t hi = std::min(lo + 1, sorted.size() - 1);
  return sorted[lo] + (h - static_cast<double>(lo)) * (sorted[hi] - sorted[lo]);
}

// Silverman's rule of thumb for the kernel's bandwidth.
double Bandwidth(const std::vector<double>& sorted) {
  const double n = static_cast<double>(sorted.size());
  double mean = 0.0, sq = 0.0;
  for (double v : sorted) mean += v;
  mean /= n;
  for (double v : sorted) sq += (v - mean) * (v - mean);
  const double sd = n > 1 ? std::sqrt(sq / (n - 1.0)) : 0.0;
  const double iqr = (Quantile(sorted, 0.75) - Quantile(sorted, 0.25)) / 1.34;
  double spread = iqr > 0.0 ? std::min(sd, iqr) : sd;
  if (!(spread > 0.0)) spread = std::max(std::fabs(mean) * 1E-3, 1E-12);
  return 0.9 * spread * std::pow(n, -0.2);
}

struct Axis {
  double lo = 0.0, hi = 0.0, bandwidth = 1.0;
};

Axis AxisOf(const std::vector<double>& values) {
  std::vector<double> sorted = values;
  std::sort(sorted.begin(), sorted.end());
  Axis axis;
  axis.bandwidth = Bandwidth(sorted);
  axis.lo = sorted.front() - 3.0 * axis.bandwidth;
  axis.hi = sorted.back() + 3.0 * axis.bandwidth;
  return axis;
}

// Counts in `bins` equal bins over the axis, each draw shared linearly
// between its two nearest bin centres.
std::vector<double> Binned(const std::vector<double>& values, const Axis& axis, int bins) {
  std::vector<double> counts(static_cast<size_t>(bins), 0.0);
  const double width = (axis.hi - axis.lo) / (bins - 1);
  for (double v : values) {
    const double u = (v - axis.lo) / width;
    const int lo = std::clamp(static_cast<int>(std::floor(u)), 0, bins - 2);
    const double w = std::clamp(u - lo, 0.0, 1.0);
    counts[static_cast<size_t>(lo)] += 1.0 - w;
    counts[static_cast<size_t>(lo) + 1] += w;
  }
  return counts;
}

double BinCentre(const Axis& axis, int bins, int b) {
  return axis.lo + (axis.hi - axis.lo) * b / (bins - 1);
}

// The kernel density at x from binned counts (total weight n).
double KernelDensity(const std::vector<double>& counts, const Axis& axis, double x, double n) {
  const int bins = static_cast<int>(counts.size());
  double sum = 0.0;
  for (int b = 0; b < bins; ++b) {
    const double u = (x - BinCentre(axis, bins, b)) / axis.bandwidth;
    if (std::fabs(u) < 8.0) sum += counts[static_cast<size_t>(b)] * std::exp(-0.5 * u * u);
  }
  return sum / (n * axis.bandwidth * kSqrtTwoPi);
}

std::string NumberList(const std::vector<int>& numbers) {
  std::string text;
  for (size_t i = 0; i < numbers.size(); ++i) text += (i ? ", " : "") + IntText(numbers[i]);
  return text;
}

}  // namespace

ChainDraws DrawsOf(const ChainDrawTable& table, int j) {
  ChainDraws chains(static_cast<size_t>(table.chains));
  for (int c = 0; c < table.chains; ++c) {
    chains[static_cast<size_t>(c)].resize(static_cast<size_t>(table.draws));
    for (int i = 0; i < table.draws; ++i)
      chains[static_cast<size_t>(c)][static_cast<size_t>(i)] = table.At(c, i, j);
  }
  return chains;
}

std::vector<int> UnsettledParameters(const McmcReportData& data) {
  std::vector<int> numbers;
  for (size_t j = 0; j < data.diagnostics.size(); ++j) {
    const ParameterDiagnostics& d = data.diagnostics[j];
    const bool settled = d.rhat <= kRhatLimit && d.essBulk >= kEssLimit && d.essTail >= kEssLimit;
    if (!settled) numbers.push_back(data.draws->parameters[static_cast<int>(j) + 1]);
  }
  return numbers;
}

std::string McmcReport(const McmcReportData& data) {
  const McmcSettings& s = data.settings;
  const ChainDrawTable& table = *data.draws;
  const int d = table.Dimension();
  std::string text = std::string(kMcmcReportTitle) + "\n\n";
  text +=
      "Random-walk Metropolis with a Gaussian proposal that adapts during the warm-up and is\n"
      "frozen afterwards: adaptive Metropolis (Haario, Saksman and Tamminen 2001, Bernoulli\n"
      "7:223-242) with its scale steered towards an acceptance of 0.234 (Roberts and Rosenthal\n"
      "2009, J. Comput. Graph. Stat. 18:349-367). R-hat is the rank-normalised split R-hat, and\n"
      "the bulk and tail effective sample sizes are rank-normalised too (Vehtari, Gelman,\n"
      "Simpson, Carpenter and Buerkner 2021, Bayesian Analysis 16:667-718).\n\n";
  text += "Target:         exp(-(objective / LikelihoodScale" +
          std::string(data.priorsActive ? " + PriorTerm" : "") + ")), LikelihoodScale " +
          FormatNumber(data.likelihoodScale, "0.0000E+000") +
          (data.priorsActive ? ", priors on\n" : ", priors off\n");
  text += "Free parameters: " + IntText(d) + "\n";
  text += "Chains:         " + IntText(s.chains) + "\n";
  text += "Kept draws:     " + IntText(table.draws) + " per chain (" +
          IntText(static_cast<long long>(table.draws) * table.chains) + " in all)\n";
  text += "Warm-up:        " + IntText(s.warmUp) + " draws per chain\n";
  text += "Thinning:       one draw kept in " + IntText(s.thin) + "\n";
  text += "Proposal:       " + data.proposal + "\n";
  text += "Seed:           " + std::to_string(s.seed) +
          (data.seedFromClock ? " (from the clock)\n" : "\n");
  if (data.interrupted)
    text += "\nInterrupted: the figures use the first " + IntText(table.draws) +
            " kept draws of each chain.\n";
  text +=
      "\n  Param      Estimate          Mean            SD         MC SE          2.5%"
      "           50%         97.5%   R-hat  Bulk ESS  Tail ESS\n";
  for (int j = 0; j < d; ++j) {
    const ParameterDiagnostics& p = data.diagnostics[static_cast<size_t>(j)];
    text += RightJustify(IntText(table.parameters[j + 1]), 7) +
            E(data.estimates[static_cast<size_t>(j)]) + E(p.mean) + E(p.sd) + E(p.mcse) +
            E(p.q025) + E(p.q50) + E(p.q975) +
            RightJustify(FormatNumber(Reliable(p.rhat), "0.000"), 8) +
            RightJustify(FormatNumber(Reliable(p.essBulk), "0"), 10) +
            RightJustify(FormatNumber(Reliable(p.essTail), "0"), 10) + "\n";
  }
  text += "\n  Param  Description\n";
  for (int j = 0; j < d; ++j)
    text += RightJustify(IntText(table.parameters[j + 1]), 7) + "  " +
            data.descriptions[static_cast<size_t>(j)] + "\n";
  text += "\nAcceptance rate after the warm-up\n";
  for (size_t c = 0; c < data.acceptance.size(); ++c)
    text += "  Chain " + RightJustify(IntText(static_cast<long long>(c) + 1), 3) + ": " +
            FormatNumber(data.acceptance[c], "0.000") + "\n";
  const std::vector<int> unsettled = UnsettledParameters(data);
  if (!unsettled.empty())
    text += "\nWarning: R-hat above 1.01 or effective sample size below 400 for parameter" +
            std::string(unsettled.size() > 1 ? "s " : " ") + NumberList(unsettled) +
            "; run longer chains before relying on these figures.\n";
  return text;
}

std::string ChainDrawsCsv(const ChainDrawTable& table) {
  const int d = table.Dimension();
  std::string text = "chain,draw";
  for (int j = 1; j <= d; ++j) text += ",p" + IntText(table.parameters[j]);
  text += ",objective\n";
  for (int c = 0; c < table.chains; ++c)
    for (int i = 0; i < table.draws; ++i) {
      text += IntText(c + 1) + "," + IntText(i + 1);
      for (int j = 0; j <= d; ++j) text += "," + GeneralNumber(table.At(c, i, j));
      text += "\n";
    }
  return text;
}

bool WriteChainDraws(const std::string& path, const ChainDrawTable& table, std::string& error) {
  return SaveTextFileAtomically(path, ToCrLf(ChainDrawsCsv(table)), error);
}

std::vector<XYPlot> TracePlots(const ChainDrawTable& table,
                               const std::vector<std::string>& descriptions) {
  std::vector<XYPlot> plots;
  const size_t every =
      std::max<size_t>(1, (static_cast<size_t>(table.draws) + kTracePoints - 1) / kTracePoints);
  for (int j = 0; j < table.Dimension(); ++j) {
    XYPlot plot;
    plot.title = "Markov chain trace of parameter " + IntText(table.parameters[j + 1]);
    plot.xLabel = "Kept draw";
    plot.yLabel = descriptions[static_cast<size_t>(j)];
    for (int c = 0; c < table.chains; ++c) {
      XYSeries series;
      series.label = "Chain " + IntText(c + 1);
      for (size_t i = 0; i < static_cast<size_t>(table.draws); i += every) {
        series.x.push_back(static_cast<double>(i + 1));
        series.y.push_back(table.At(c, static_cast<int>(i), j));
      }
      plot.series.push_back(std::move(series));
    }
    plots.push_back(std::move(plot));
  }
  return plots;
}

DistributionPlot MarginalDensity(const ChainDrawTable& table, int j, const std::string& description,
                                 double estimate, double posteriorMean) {
  const std::vector<double> values = Pooled(table, j);
  const Axis axis = AxisOf(values);
  const std::vector<double> counts = Binned(values, axis, kDensityBins);
  const double n = static_cast<double>(values.size());
  DistributionPoints points;
  points.Resize(kDensityPoints);
  points.EvaluatedParameter = table.parameters[j + 1];
  const double step = (axis.hi - axis.lo) / (kDensityPoints - 1);
  int best = 1;
  for (int k = 1; k <= kDensityPoints; ++k) {
    const double x = axis.lo + (k - 1) * step;
    const double density = std::max(KernelDensity(counts, axis, x, n), 1E-300);
    points.ProfileValues[k] = x;
    points.ProfileObjectives[k] = -std::log(density);
    if (points.ProfileObjectives[k] < points.ProfileObjectives[best]) best = k;
  }
  DistributionSummary(points, best, step > 0.0 ? step : 1.0);
  DistributionPlot plot = DistributionPlotOf(points, DistributionKind::Posterior, description);
  plot.maxLikelihoodValue = estimate;
  plot.expectedValue = posteriorMean;
  return plot;
}

BivariatePlot PairsDensity(const ChainDrawTable& table, int jx, int jy,
                           const std::vector<std::string>& descriptions) {
  const std::vector<double> xs = Pooled(table, jx), ys = Pooled(table, jy);
  const Axis ax = AxisOf(xs), ay = AxisOf(ys);
  const int bins = 128;
  // Two-dimensional linear binning, then a product Gaussian kernel.
  std::vector<double> counts(static_cast<size_t>(bins * bins), 0.0);
  const double wx = (ax.hi - ax.lo) / (bins - 1), wy = (ay.hi - ay.lo) / (bins - 1);
  for (size_t i = 0; i < xs.size(); ++i) {
    const double u = (xs[i] - ax.lo) / wx, v = (ys[i] - ay.lo) / wy;
    const int a = std::clamp(static_cast<int>(std::floor(u)), 0, bins - 2);
    const int b = std::clamp(static_cast<int>(std::floor(v)), 0, bins - 2);
    const double fu = std::clamp(u - a, 0.0, 1.0), fv = std::clamp(v - b, 0.0, 1.0);
    counts[static_cast<size_t>(a * bins + b)] += (1 - fu) * (1 - fv);
    counts[static_cast<size_t>((a + 1) * bins + b)] += fu * (1 - fv);
    counts[static_cast<size_t>(a * bins + b + 1)] += (1 - fu) * fv;
    counts[static_cast<size_t>((a + 1) * bins + b + 1)] += fu * fv;
  }
  BivariatePlot plot;
  plot.xParameter = table.parameters[jx + 1];
  plot.yParameter = table.parameters[jy + 1];
  plot.xDescription = descriptions[static_cast<size_t>(jx)];
  plot.yDescription = descriptions[static_cast<size_t>(jy)];
  const int G = kPairsPoints;
  for (int i = 0; i < G; ++i) {
    plot.x.push_back(ax.lo + (ax.hi - ax.lo) * i / (G - 1));
    plot.y.push_back(ay.lo + (ay.hi - ay.lo) * i / (G - 1));
  }
  // Kernel weights between output points and bin centres, per axis.
  auto weights = [&](const Axis& axis, const std::vector<double>& at) {
    std::vector<double> w(static_cast<size_t>(G * bins));
    for (int g = 0; g < G; ++g)
      for (int b = 0; b < bins; ++b) {
        const double u = (at[static_cast<size_t>(g)] - BinCentre(axis, bins, b)) / axis.bandwidth;
        w[static_cast<size_t>(g * bins + b)] = std::exp(-0.5 * u * u);
      }
    return w;
  };
  const std::vector<double> kx = weights(ax, plot.x), ky = weights(ay, plot.y);
  const double norm =
      static_cast<double>(xs.size()) * ax.bandwidth * ay.bandwidth * 2.0 * 3.14159265358979323846;
  // First along y for every x bin, then along x.
  std::vector<double> partial(static_cast<size_t>(bins * G), 0.0);
  for (int a = 0; a < bins; ++a)
    for (int g = 0; g < G; ++g) {
      double sum = 0.0;
      for (int b = 0; b < bins; ++b)
        sum += counts[static_cast<size_t>(a * bins + b)] * ky[static_cast<size_t>(g * bins + b)];
      partial[static_cast<size_t>(a * G + g)] = sum;
    }
  plot.density.assign(static_cast<size_t>(G * G), 0.0);
  plot.largest = -1.0;
  for (int i = 0; i < G; ++i)
    for (int g = 0; g < G; ++g) {
      double sum = 0.0;
      for (int a = 0; a < bins; ++a)
        sum += kx[static_cast<size_t>(i * bins + a)] * partial[static_cast<size_t>(a * G + g)];
      const double density = sum / norm;
      plot.density[static_cast<size_t>(i * G + g)] = density;
      if (density > plot.largest) {
        plot.largest = density;
        plot.largestX = plot.x[static_cast<size_t>(i)];
        plot.largestY = plot.y[static_cast<size_t>(g)];
      }
    }
  return plot;
}

}  // namespace estimetrix
