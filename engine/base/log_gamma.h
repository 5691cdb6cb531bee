#pragma once
// ln Gamma(x) for x > 0, by the series approximation this program has always
// used (the growth model's gamma densities and the covariance report's
// t-probabilities both rely on it, so they must agree).

namespace estimetrix {

double LogGamma(double x);

}  // namespace estimetrix
