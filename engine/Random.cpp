// The uniform generator and the 15-bit linear congruential generator.
#include "engine/Random.h"

#include <cmath>
#include <cstdlib>
#include <ctime>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

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

namespace {

// x_{+j} = a^j x + c (a^(j-1) + ... + 1) mod 2^32, for j = 1..8.
constexpr uint32_t kRandA = 214013u, kRandC = 2531011u;
struct RandJumps {
  uint32_t a[9], c[9];
  constexpr RandJumps() : a{}, c{} {
    a[0] = 1u;
    c[0] = 0u;
    for (int j = 1; j <= 8; ++j) {
      a[j] = a[j - 1] * kRandA;
      c[j] = c[j - 1] * kRandA + kRandC;
    }
  }
};
constexpr RandJumps kJumps;

#if defined(__x86_64__) && defined(__GNUC__)
#define RANDOM_AVX2 1
// Eight values per step, each lane jumping eight steps at once.
__attribute__((target("avx2"))) int FillAvx2(int* out, int n, uint32_t* state) {
  const __m256i jump = _mm256_set1_epi32(static_cast<int>(kJumps.a[8]));
  const __m256i add = _mm256_set1_epi32(static_cast<int>(kJumps.c[8]));
  const __m256i mask = _mm256_set1_epi32(0x7FFF);
  const __m256i s = _mm256_set1_epi32(static_cast<int>(*state));
  __m256i x = _mm256_add_epi32(
      _mm256_mullo_epi32(s, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kJumps.a + 1))),
      _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kJumps.c + 1)));
  int k = 0;
  uint32_t last = *state;
  for (; k + 8 <= n; k += 8) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k), _mm256_and_si256(_mm256_srli_epi32(x, 16), mask));
    last = static_cast<uint32_t>(_mm256_extract_epi32(x, 7));
    x = _mm256_add_epi32(_mm256_mullo_epi32(x, jump), add);
  }
  *state = last;
  return k;
}

bool HaveAvx2() {
  static const bool have = (__builtin_cpu_init(), __builtin_cpu_supports("avx2") != 0);
  return have;
}
#endif

}  // namespace

void RandomRandFill(int* out, int n) {
  uint32_t x = g_randState;
  int k = 0;
#if defined(RANDOM_AVX2)
  if (n >= 8 && HaveAvx2()) k = FillAvx2(out, n, &x);
#endif
  // Four values wait on one product each instead of on each other.
  for (; k + 4 <= n; k += 4) {
    const uint32_t x1 = kJumps.a[1] * x + kJumps.c[1], x2 = kJumps.a[2] * x + kJumps.c[2];
    const uint32_t x3 = kJumps.a[3] * x + kJumps.c[3], x4 = kJumps.a[4] * x + kJumps.c[4];
    out[k] = static_cast<int>((x1 >> 16) & 0x7FFFu);
    out[k + 1] = static_cast<int>((x2 >> 16) & 0x7FFFu);
    out[k + 2] = static_cast<int>((x3 >> 16) & 0x7FFFu);
    out[k + 3] = static_cast<int>((x4 >> 16) & 0x7FFFu);
    x = x4;
  }
  for (; k < n; ++k) {
    x = x * kRandA + kRandC;
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
