// The two random generators: the 15-bit congruential generator against the
// classic reference sequence, the uniform generator's range, uniformity and
// reproducibility, and the CADENZA_RANDOM_SEED override of both start-up
// seedings.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "engine/Random.h"

namespace {

TEST(RandomRandTest, ClassicSequence) {
  // x = x*214013 + 2531011, (x >> 16) & 0x7FFF from seed 1: the well-known
  // first values of this generator.
  RandomSeedRand(1);
  const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
  for (int v : expected) EXPECT_EQ(RandomRand(), v);
  RandomSeedRand(12345);
  int lo = kRandomRandMax, hi = 0;
  for (int k = 0; k < 200000; ++k) {
    const int v = RandomRand();
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
  EXPECT_EQ(lo, 0);
  EXPECT_EQ(hi, kRandomRandMax);

  // A block of values (four steps at once) is the same run, at any length,
  // and the generator continues behind it.
  RandomSeedRand(1);
  int block[10];
  RandomRandFill(block, 10);
  for (int k = 0; k < 10; ++k) EXPECT_EQ(block[k], expected[k]);
  for (int n : {0, 1, 3, 4, 7, 1021}) {
    RandomSeedRand(777u + static_cast<uint32_t>(n));
    std::vector<int> one(static_cast<size_t>(n) + 1);
    for (int& v : one) v = RandomRand();
    RandomSeedRand(777u + static_cast<uint32_t>(n));
    std::vector<int> many(static_cast<size_t>(n));
    RandomRandFill(many.data(), n);
    EXPECT_TRUE(std::equal(many.begin(), many.end(), one.begin())) << n;
    EXPECT_EQ(RandomRand(), one.back()) << n;
  }
}

TEST(RandomInRangeTest, RangeUniformityAndSeeds) {
  RandomSeedUniform(7);
  std::vector<int> bins(10, 0);
  const int n = 200000;
  for (int k = 0; k < n; ++k) {
    const double v = RandomInRange(-2.0, 3.0);
    ASSERT_GE(v, -2.0);
    ASSERT_LT(v, 3.0);
    ++bins[static_cast<int>((v + 2.0) * 2.0)];
  }
  for (int b : bins) EXPECT_NEAR(b, n / 10, 5 * 141);  // ~5 standard deviations
  // A narrow range near the top never reaches its end.
  for (int k = 0; k < 100000; ++k) ASSERT_LT(RandomInRange(0.0, 1e-300), 1e-300);

  EXPECT_EQ(RandomInRange(5.0, 5.0), 5.0);
  EXPECT_EQ(RandomInRange(5.0, 1.0), 5.0);  // min when max < min

  RandomSeedUniform(99);
  const double a = RandomInRange(0.0, 1.0), b = RandomInRange(0.0, 1.0);
  RandomSeedUniform(99);
  EXPECT_EQ(RandomInRange(0.0, 1.0), a);
  EXPECT_EQ(RandomInRange(0.0, 1.0), b);
  RandomSeedUniform(100);
  EXPECT_NE(RandomInRange(0.0, 1.0), a);
  RandomSeedUniform(0);  // zero is a valid seed
  EXPECT_NE(RandomInRange(0.0, 1.0), RandomInRange(0.0, 1.0));
}

TEST(RandomSeedTest, EnvironmentOverridesBothStartupSeeds) {
  uint64_t seed = 0;
  ASSERT_EQ(setenv(kRandomSeedVariable, " 4242 ", 1), 0);
  ASSERT_EQ(RandomSeedFromEnvironment(&seed), 1);
  EXPECT_EQ(seed, 4242u);

  EXPECT_EQ(RandomSeedRandAtStartup(31), 4242u);
  const int first = RandomRand();
  RandomSeedRand(4242);
  EXPECT_EQ(RandomRand(), first);

  EXPECT_EQ(RandomSeedUniformAtStartup(), 4242u);
  const double u = RandomInRange(0.0, 1.0);
  RandomSeedUniform(4242);
  EXPECT_EQ(RandomInRange(0.0, 1.0), u);

  ASSERT_EQ(setenv(kRandomSeedVariable, "-1", 1), 0);
  ASSERT_EQ(RandomSeedFromEnvironment(&seed), 1);
  EXPECT_EQ(seed, UINT64_MAX);

  for (const char* bad : {"", "abc", "12x", "1.5", "+"}) {
    ASSERT_EQ(setenv(kRandomSeedVariable, bad, 1), 0);
    EXPECT_EQ(RandomSeedFromEnvironment(&seed), 0) << bad;
    EXPECT_EQ(RandomSeedRandAtStartup(31), 31u) << bad;  // the clock seed is used
  }
  ASSERT_EQ(unsetenv(kRandomSeedVariable), 0);
  EXPECT_EQ(RandomSeedRandAtStartup(57), 57u);
}

// Whole numbers below a count, without the bias of a modulo: with
// count = 3 * 2^51 a plain 53-bit modulo would give the values below 2^51
// half of the time instead of a third.
TEST(RandomIndexTest, EveryValueEquallyLikely) {
  RandomSeedUniform(11);
  EXPECT_EQ(RandomIndex(0), 0u);
  EXPECT_EQ(RandomIndex(1), 0u);
  const uint64_t count = 3ull << 51;
  const int n = 60000;
  int low = 0;
  for (int k = 0; k < n; ++k) {
    const uint64_t v = RandomIndex(count);
    ASSERT_LT(v, count);
    if (v < (1ull << 51)) ++low;
  }
  EXPECT_NEAR(low, n / 3.0, 6 * std::sqrt(n * (1.0 / 3) * (2.0 / 3)));
  std::vector<int> bins(7, 0);
  for (int k = 0; k < 70000; ++k) ++bins[RandomIndex(7)];
  for (int b : bins) EXPECT_NEAR(b, 10000, 6 * std::sqrt(70000 * (1.0 / 7) * (6.0 / 7)));
}

}  // namespace
