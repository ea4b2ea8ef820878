// The random source of the link distribution.
//
// A small generator (splitmix64 feeding xoshiro256**) with an unbiased draw of
// a uniformly distributed integer from 0 to n - 1. Seeded from a clock by
// default; a fixed seed makes every run repeatable (tests, `--seed`).
#pragma once

#include <cstdint>

namespace orvana {

class TRandomSource {
 public:
  TRandomSource() { Seed(0); }

  void Seed(uint64_t seed);

  // A seed from the steady clock and the wall clock mixed together, so that
  // two generations in a row draw different words.
  static uint64_t ClockSeed();

  // A uniformly distributed integer from 0 to n - 1; n must be at least 1.
  uint64_t Uniform(uint64_t n);

 private:
  uint64_t Next();
  uint64_t s_[4];
};

}  // namespace orvana
