#pragma once
// Random deviates for the goodness-of-fit tests and the increment
// simulation: a seeded uniform generator owned by the caller, and normal,
// exponential and gamma deviates drawn from it.

#include <cstdint>
#include <random>
#include <utility>

namespace estimetrix {

// Uniform deviates on [0, 1) from the standard library's 64-bit Mersenne
// Twister (std::mt19937_64) seeded with the seed itself, 53 random bits per
// deviate. The caller owns and seeds it; tests seed it with a constant, the
// results summary once per summary with the user's seed or ClockSeed, and the
// draws then run on from test to test.
class UniformGenerator {
 public:
  explicit UniformGenerator(std::uint64_t seed = 0) : engine_(seed), seed_(seed) {}
  void Reseed(std::uint64_t seed) {
    engine_.seed(seed);
    seed_ = seed;
  }
  // The seed of the last (re)seeding: reports state it so a run can be repeated.
  std::uint64_t Seed() const { return seed_; }
  double Next() { return std::generate_canonical<double, 53>(engine_); }

 private:
  std::mt19937_64 engine_;
  std::uint64_t seed_;
};

// A seed from the seconds-since-midnight clock (fractions included).
std::uint64_t ClockSeed(double secondsSinceMidnight);

// Two independent standard normal deviates (polar method).
std::pair<double, double> NormalDeviatePair(UniformGenerator& uniform);
// One standard normal deviate: the first of a pair.
double NormalDeviate(UniformGenerator& uniform);
// A standard exponential deviate.
double ExponentialDeviate(UniformGenerator& uniform);
// A gamma deviate of the given mean and variance (GS below shape 1, GD from
// shape 1 up, however large). Nothing is drawn, and the mean itself comes
// back, when the variance is 0 or when there is no gamma of these moments:
// a mean of 0 or less, a negative variance or a non-finite shape.
double GammaDeviate(UniformGenerator& uniform, double mean, double variance);

}  // namespace estimetrix
