#include "engine/Random.h"

#include <chrono>

namespace orvana {
namespace {

uint64_t SplitMix(uint64_t& x) {
  uint64_t z = (x += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

uint64_t Rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

}  // namespace

void TRandomSource::Seed(uint64_t seed) {
  for (auto& s : s_) s = SplitMix(seed);
}

uint64_t TRandomSource::ClockSeed() {
  auto steady = std::chrono::steady_clock::now().time_since_epoch().count();
  auto wall = std::chrono::system_clock::now().time_since_epoch().count();
  return static_cast<uint64_t>(steady) * 0x9E3779B97F4A7C15ull ^ static_cast<uint64_t>(wall);
}

uint64_t TRandomSource::Next() {
  const uint64_t result = Rotl(s_[1] * 5, 7) * 9;
  const uint64_t t = s_[1] << 17;
  s_[2] ^= s_[0];
  s_[3] ^= s_[1];
  s_[1] ^= s_[2];
  s_[0] ^= s_[3];
  s_[2] ^= t;
  s_[3] = Rotl(s_[3], 45);
  return result;
}

uint64_t TRandomSource::Uniform(uint64_t n) {
  // Rejection of the short last bucket keeps every value equally likely.
  const uint64_t limit = UINT64_MAX - UINT64_MAX % n;
  uint64_t x;
  do {
    x = Next();
  } while (x >= limit);
  return x % n;
}

}  // namespace orvana
