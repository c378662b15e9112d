// The uniform generator and the 15-bit linear congruential generator.
#include "engine/Random.h"

#include <cmath>
#include <cstdlib>
#include <ctime>

namespace {

// xorshift64* state; never 0 (the generator would stay at 0).
uint64_t g_uniformState = 0x9E3779B97F4A7C15ull;
// Linear congruential state; 1 is the state before any seeding, as with rand().
uint32_t g_randState = 1;

// One step of splitmix64: spreads a small seed over all 64 bits.
uint64_t SplitMix64(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

uint64_t NextUniformBits() {
  uint64_t x = g_uniformState;
  x ^= x >> 12;
  x ^= x << 25;
  x ^= x >> 27;
  g_uniformState = x;
  return x * 0x2545F4914F6CDD1Dull;
}

}  // namespace

double RandomInRange(double min, double max) {
  if (!(max > min)) return min;
  const double u = static_cast<double>(NextUniformBits() >> 11) * 0x1.0p-53;  // [0, 1)
  double value = min + u * (max - min);
  // Rounding of min + u*(max - min) can reach max for u close to 1.
  if (value >= max) value = std::nextafter(max, min);
  return value;
}

uint64_t RandomIndex(uint64_t count) {
  if (count < 2) return 0;
  if (count > kRandomIndexMax) count = kRandomIndexMax;
  // Accepts 2^53 - (2^53 mod count) of the 2^53 draws: at least half of them.
  const uint64_t limit = kRandomIndexMax - kRandomIndexMax % count;
  uint64_t x = 0;
  do {
    x = NextUniformBits() >> 11;
  } while (x >= limit);
  return x % count;
}

void RandomSeedUniform(uint64_t seed) {
  uint64_t state = SplitMix64(seed);
  g_uniformState = state != 0 ? state : 0x9E3779B97F4A7C15ull;
}

uint64_t RandomSeedUniformAtStartup() {
  uint64_t seed = 0;
  if (!RandomSeedFromEnvironment(&seed)) seed = static_cast<uint64_t>(std::time(nullptr));
  RandomSeedUniform(seed);
  return seed;
}

int RandomRand() {
  g_randState = g_randState * 214013u + 2531011u;
  return static_cast<int>((g_randState >> 16) & 0x7FFFu);
}

void RandomRandFill(int* out, int n) {
  // x_{+j} = a^j x + c (a^(j-1) + ... + 1) mod 2^32: four values wait on one
  // product each instead of on each other.
  constexpr uint32_t a = 214013u, c = 2531011u;
  constexpr uint32_t a2 = a * a, a3 = a2 * a, a4 = a3 * a;
  constexpr uint32_t c2 = c * (a + 1u), c3 = c * (a2 + a + 1u), c4 = c * (a3 + a2 + a + 1u);
  uint32_t x = g_randState;
  int k = 0;
  for (; k + 4 <= n; k += 4) {
    const uint32_t x1 = a * x + c, x2 = a2 * x + c2, x3 = a3 * x + c3, x4 = a4 * x + c4;
    out[k] = static_cast<int>((x1 >> 16) & 0x7FFFu);
    out[k + 1] = static_cast<int>((x2 >> 16) & 0x7FFFu);
    out[k + 2] = static_cast<int>((x3 >> 16) & 0x7FFFu);
    out[k + 3] = static_cast<int>((x4 >> 16) & 0x7FFFu);
    x = x4;
  }
  for (; k < n; ++k) {
    x = x * a + c;
    out[k] = static_cast<int>((x >> 16) & 0x7FFFu);
  }
  g_randState = x;
}

void RandomSeedRand(uint32_t seed) { g_randState = seed; }

uint32_t RandomSeedRandAtStartup(uint32_t clockSeed) {
  uint64_t seed = 0;
  const uint32_t used = RandomSeedFromEnvironment(&seed) ? static_cast<uint32_t>(seed) : clockSeed;
  RandomSeedRand(used);
  return used;
}

int RandomSeedFromEnvironment(uint64_t* seed) {
  const char* text = std::getenv(kRandomSeedVariable);
  if (text == nullptr || seed == nullptr) return 0;
  const char* p = text;
  while (*p == ' ' || *p == '\t') ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = (*p++ == '-');
  if (*p < '0' || *p > '9') return 0;
  uint64_t value = 0;
  while (*p >= '0' && *p <= '9') value = value * 10u + static_cast<uint64_t>(*p++ - '0');
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r') ++p;
  if (*p != '\0') return 0;
  *seed = negative ? 0u - value : value;
  return 1;
}

RandomState RandomGetState() { return RandomState{g_uniformState, g_randState}; }

void RandomSetState(const RandomState& state) {
  g_uniformState = state.uniform;
  g_randState = state.rand;
}
