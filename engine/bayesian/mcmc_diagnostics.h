#pragma once
// Convergence and precision of Markov chain draws: split R-hat and the bulk
// and tail effective sample sizes after rank normalisation (Vehtari, Gelman,
// Simpson, Carpenter and Buerkner 2021, Bayesian Analysis 16:667-718), the
// Monte Carlo standard error of the mean and the quantiles of the pooled
// draws. Every function takes the draws of one parameter, one vector per
// chain, all of one length.

#include <vector>

namespace estimetrix {

using ChainDraws = std::vector<std::vector<double>>;

struct ParameterDiagnostics {
  double mean = 0.0;
  double sd = 0.0;
  double mcse = 0.0;  // Monte Carlo standard error of the mean
  double q025 = 0.0, q50 = 0.0, q975 = 0.0;
  double rhat = 0.0;     // rank-normalised split R-hat (the larger of bulk and folded)
  double essBulk = 0.0;  // rank-normalised split bulk ESS
  double essTail = 0.0;  // the smaller ESS of the 5 % and 95 % quantile indicators
};

// Everything above for one parameter. Fewer than 4 draws per chain give
// NaN for R-hat and the effective sizes.
ParameterDiagnostics Diagnose(const ChainDraws& chains);

// The classic potential scale reduction of the chains as given (not split).
double Rhat(const ChainDraws& chains);

// The effective sample size of the chains as given (Geyer's initial
// monotone sequence over the autocorrelations the chains share).
double EffectiveSampleSize(const ChainDraws& chains);

// Each chain cut into its first and second halves (the middle draw of an
// odd length dropped).
ChainDraws SplitChains(const ChainDraws& chains);

// The draws replaced by normal scores of their pooled ranks (ties averaged):
// Phi^-1((rank - 3/8) / (S + 1/4)).
ChainDraws RankNormalize(const ChainDraws& chains);

// The p quantile of the pooled draws (linear between order statistics).
double PooledQuantile(const ChainDraws& chains, double p);

// The standard normal quantile function (Acklam's rational fit, refined).
double NormalQuantile(double p);

}  // namespace estimetrix
