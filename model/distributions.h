#pragma once
// The model's numerical helpers: interval probabilities of the instar size
// distributions and the -ln densities of an increment measured with error.
// They are the program's own approximations (a five-term normal tail, a
// three-point Simpson gamma interval, a 101-step Simpson integral), not
// library-exact functions: fitted results depend on them.

namespace estimetrix {

// Standard normal probability between z1 and z2.
double NormalIntervalProbability(double z1, double z2);

// The normal distribution function behind NormalIntervalProbability.
double NormalDistribution(double z);

// Gamma probability of [lower, upper] for a gamma of the given mean and SD,
// by Simpson's rule on lower, middle, upper.
double GammaIntervalProbability(double lower, double middle, double upper, double mean, double sd);

// A gamma density with its shape, scale and log normalising constant worked
// out once, for loops that evaluate the same instar at many points.
struct GammaDensity {
  GammaDensity() = default;
  GammaDensity(double mean, double sd);
  double operator()(double y) const;
  // Same result as GammaIntervalProbability(lower, middle, upper, mean, sd).
  double Interval(double lower, double middle, double upper) const;

  double alpha = 1.0;
  double beta = 1.0;
  double logNormaliser = 0.0;  // alpha ln beta + ln Gamma(alpha)
};

// -ln of the density of an observed increment `delta` when the true increment
// is normal (mean `predicted`, variance `v`, truncated at zero with lower tail
// `p0`) and is measured with normal error of variance `e`.
double GaussianIncrementWithError(double p0, double delta, double predicted, double v, double e);

// The same for a gamma true increment of shape `alpha` and scale `beta`.
double GammaIncrementWithError(double delta, double predicted, double v, double alpha, double beta,
                               double e);

}  // namespace estimetrix
