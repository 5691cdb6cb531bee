#pragma once
// The arithmetic of the prior distributions: each parameter's -ln prior,
// shifted to 0 at the family's mode, and their total on the objective's
// scale. Everything here is const over the workbench, so the worker threads
// that evaluate independent points call it too.

#include <optional>
#include <string>

#include "engine/base/array.h"
#include "engine/state/prior_table.h"

namespace estimetrix {

struct Workbench;

// The support the priors of G and L (low end) and B (both ends) keep to.
inline constexpr double kPriorSupportLow = 1E-6;
inline constexpr double kPriorSupportHigh = 0.999999;

// The standard normal distribution function by the rational erfc fit
// (absolute error below about 1.2E-7).
double NormalCdf(double x);

// The family's display name ("Uniform - unbounded", "Gaussian or Normal", ...).
const char* DistributionName(PriorType type);

// The family whose letter this is, upper or lower case; nullopt otherwise.
std::optional<PriorType> PriorTypeFromLetter(char letter);

// The -ln prior of parameter i at x (0 for U). A value where the family's
// density is zero (outside the support of E, G, L or B, beyond a hard wall)
// gets the penalty (distance)^2 x 1E+20.
double PriorParameterTerm(const PriorTable& priors, int i, double x);

// The scaled total that is added to the objective: LikelihoodScale times the
// sum of the per-parameter terms of x[1..N], support penalties included, so
// that every minimizer, grid and profile keeps to the priors' supports.
// Writes nothing.
double ComputePriorTerm(const Workbench& wb, const Vector& x);

// The same, also filling parameterTerms[1..N] with every parameter's term.
double ComputePriorTerm(const Workbench& wb, const Vector& x, Vector& parameterTerms);

// A term as the editor grid shows it: "0.000E+000", or "*" when unset.
std::string PriorTermText(double term);

// Empty when parameter i's prior can be evaluated; otherwise a message that
// names the parameter and what is wrong (a zero SD for N, G or B; a zero mean
// for E, G or L; a negative exponential mean; a beta mean outside (0, 1) or
// an SD that leaves a or b at 0 or below; an unset term that the family
// uses; a uniform-bounded right foot or SD that is no number). Such a prior
// has no proper density: its -ln prior can fall without bound.
std::string PriorProblem(const PriorTable& priors, int i);

}  // namespace estimetrix
