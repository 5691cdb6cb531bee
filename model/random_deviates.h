#pragma once
// Random deviates for the goodness-of-fit tests and the increment
// simulation: a seeded uniform generator owned by the caller, and normal,
// exponential and gamma deviates drawn from it.

#include <cstdint>
#include <random>
#include <utility>

namespace estimetrix {

// Uniform deviates on [0, 1). The caller owns and seeds it; tests seed it
// with a constant, the results summary with ClockSeed before each test.
class UniformGenerator {
 public:
  explicit UniformGenerator(std::uint64_t seed = 0) : engine_(seed) {}
  void Reseed(std::uint64_t seed) { engine_.seed(seed); }
  double Next() { return std::generate_canonical<double, 53>(engine_); }

 private:
  std::mt19937_64 engine_;
};

// A seed from the seconds-since-midnight clock (fractions included).
std::uint64_t ClockSeed(double secondsSinceMidnight);

// Two independent standard normal deviates (polar method).
std::pair<double, double> NormalDeviatePair(UniformGenerator& uniform);
// One standard normal deviate: the first of a pair.
double NormalDeviate(UniformGenerator& uniform);
// A standard exponential deviate.
double ExponentialDeviate(UniformGenerator& uniform);
// A gamma deviate of the given mean and variance; the mean itself when the
// variance is 0. Shapes above 25 use a normal deviate redrawn until positive.
double GammaDeviate(UniformGenerator& uniform, double mean, double variance);

}  // namespace estimetrix
