#pragma once
// What a Markov chain run shows and saves: the report ("Markov chain
// posterior"), the draws as CSV, the trace plots, the marginal densities
// and the pairs density of two parameters.

#include <string>
#include <vector>

#include "engine/bayesian/mcmc.h"
#include "engine/bayesian/mcmc_diagnostics.h"
#include "engine/state/chain_draws.h"
#include "engine/state/distribution_summary.h"
#include "engine/state/plot_data.h"

namespace estimetrix {

inline constexpr const char* kMcmcReportTitle = "Markov chain posterior";

// An R-hat above this, or an effective size below the next, earns the warning.
inline constexpr double kRhatLimit = 1.01;
inline constexpr double kEssLimit = 400.0;

struct McmcReportData {
  McmcSettings settings;
  bool seedFromClock = false;
  std::string proposal;  // how the proposal was made, as the report says it
  bool priorsActive = false;
  double likelihoodScale = 1.0;
  bool interrupted = false;
  const ChainDrawTable* draws = nullptr;
  std::vector<std::string> descriptions;          // per free parameter (0-based)
  std::vector<double> estimates;                  // per free parameter (0-based)
  std::vector<ParameterDiagnostics> diagnostics;  // per free parameter (0-based)
  std::vector<double> acceptance;                 // per chain
};

// The draws of free parameter j (0-based) or, with j = d, of the objective,
// one vector per chain.
ChainDraws DrawsOf(const ChainDrawTable& table, int j);

// The report text, "\n" line ends.
std::string McmcReport(const McmcReportData& data);

// The parameters (numbers) whose R-hat or effective sizes call for the warning.
std::vector<int> UnsettledParameters(const McmcReportData& data);

// The CSV text: "chain,draw,p<i>...,objective" then one line per kept draw,
// chains and draws numbered from 1, numbers in the shortest text that reads
// back to the same double. "\n" line ends.
std::string ChainDrawsCsv(const ChainDrawTable& table);

// Writes the CSV safely (CR LF line ends). False with `error` set on failure.
bool WriteChainDraws(const std::string& path, const ChainDrawTable& table, std::string& error);

// One trace plot per free parameter: one series per chain (at most about
// 2,000 points each: every k-th draw of a longer chain).
std::vector<XYPlot> TracePlots(const ChainDrawTable& table,
                               const std::vector<std::string>& descriptions);

// The marginal density of free parameter j (0-based) by a Gaussian kernel,
// as a posterior distribution plot whose mode mark is the estimate and whose
// expected value is the posterior mean of the draws.
DistributionPlot MarginalDensity(const ChainDrawTable& table, int j, const std::string& description,
                                 double estimate, double posteriorMean);

// The joint density of free parameters jx and jy (0-based) on a regular
// grid by a Gaussian kernel.
BivariatePlot PairsDensity(const ChainDrawTable& table, int jx, int jy,
                           const std::vector<std::string>& descriptions);

}  // namespace estimetrix
