// PRBS generators: bit-exact start from register 1, maximal periods and
// balance, seeding rules, continuation across calls.
//
// The 64-bit prefixes below were produced by a separate Python 3 model of
// the eight right-shifting registers (parity of the tap bits fed in at the
// top bit, output = lowest bit before the shift, inverted for 2 and 6).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/Prbs.h"

namespace {

const char* const kPrefixFromOne[kPrbsGeneratorCount] = {
    "1000000001000010001100001001110010101011000011011110100110111001",
    "1000000000010000000010100000010001000010101010010000000110100000",
    "0111111111111110111111111111100111111111111010111111111110000111",
    "1000000000000000100000000001011010000010001010001101111011010110",
    "1000000000000000000010000000000000000100100000000000001000001000",
    "1000000000000000000001000000000000000000101000000000000000010001",
    "0111111111111111111111101111111111111111101111011111111111101111",
    "1000000100000110000101000111100100010110011101010011111010000111",
};

const uint32_t kPeriods[kPrbsGeneratorCount] = {511, 2047, 32767, 65535, 1048575, 2097151, 8388607, 127};

std::string Bits(int32_t n, int generator) {
  std::string out(static_cast<size_t>(n) + 1, 'x');
  EXPECT_EQ(GeneratePrbsBits(out.data(), n, generator), 1);
  EXPECT_EQ(out[n], '\0');
  out.resize(n);
  return out;
}

class PrbsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(SetPrbsSeed(1), 1); }
};

TEST_F(PrbsTest, BitExactFromRegisterOne) {
  for (int g = 0; g < kPrbsGeneratorCount; ++g) EXPECT_EQ(Bits(64, g), kPrefixFromOne[g]) << "generator " << g;
}

TEST_F(PrbsTest, MaximalLengthAndBalance) {
  for (int g = 0; g < kPrbsGeneratorCount; ++g) {
    const uint32_t period = kPeriods[g];
    const int length = PrbsGenerator(g)->length;
    EXPECT_EQ(period, (1u << length) - 1u);
    // The register first returns to 1 after exactly one period.
    uint32_t steps = 0;
    do {
      AdvancePrbs(1, g);
      ++steps;
    } while (PrbsRegister(g) != 1u && steps <= period);
    EXPECT_EQ(steps, period) << "generator " << g;
    // One period holds 2^(length-1) ones (one fewer for the inverted outputs).
    const std::string bits = Bits(static_cast<int32_t>(period), g);
    const long ones = static_cast<long>(std::count(bits.begin(), bits.end(), '1'));
    const long expected = (1L << (length - 1)) - (PrbsGenerator(g)->inverted ? 1 : 0);
    EXPECT_EQ(ones, expected) << "generator " << g;
  }
}

TEST_F(PrbsTest, SequencesContinueAcrossCalls) {
  const std::string whole = Bits(300, 3);
  ASSERT_EQ(SetPrbsSeed(1), 1);
  const std::string a = Bits(100, 3);
  ASSERT_EQ(AdvancePrbs(50, 3), 1);
  const std::string b = Bits(150, 3);
  EXPECT_EQ(a, whole.substr(0, 100));
  EXPECT_EQ(b, whole.substr(150, 150));
  EXPECT_EQ(Bits(0, 3), "");
  // Other generators are not disturbed.
  EXPECT_EQ(PrbsRegister(0), 1u);
}

TEST_F(PrbsTest, SeedingRules) {
  AdvancePrbs(10, 0);
  const uint32_t before = PrbsRegister(0);
  EXPECT_EQ(SetPrbsSeed(0), 0);
  EXPECT_EQ(PrbsRegister(0), before);  // registers keep their state
  EXPECT_EQ(GetPrbsSeed(), 1);
  EXPECT_EQ(SetPrbsSeed(512), 0);
  EXPECT_EQ(GetPrbsSeed(), 511);
  EXPECT_EQ(PrbsRegister(0), before);
  ReloadPrbsRegisters();
  // 511 fits every register but the 7-bit one, which takes it as 3.
  for (int g = 0; g < kPrbsGeneratorCount - 1; ++g) EXPECT_EQ(PrbsRegister(g), 511u);
  EXPECT_EQ(PrbsRegister(7), 3u);

  EXPECT_EQ(SetPrbsSeed(77), 1);
  for (int g = 0; g < kPrbsGeneratorCount; ++g) EXPECT_EQ(PrbsRegister(g), 77u);
  const std::string from77 = Bits(40, 5);
  char out[41];
  AdvancePrbs(3, 5);
  EXPECT_EQ(PrbsBits(out, 40, 5, 1, 77), 1);  // reseeds first
  EXPECT_EQ(std::string(out), from77);
}

// Every start-up seed (1..510, and 511) starts every generator on its full
// m-sequence: the seeds 128, 256 and 384 once loaded the 7-bit register
// with bits wholly above it, which the first clock shifted out to 0, and
// every "PRBS 7" row then gave only zeros for the whole session.
TEST_F(PrbsTest, EverySeedStartsTheFullSequenceOfEveryGenerator) {
  for (int g = 0; g < kPrbsGeneratorCount; ++g) {
    const int length = PrbsGenerator(g)->length;
    const uint32_t period = kPeriods[g];
    // One period from 1 visits each of the 2^length - 1 non-zero states once,
    // so a generator started on any of them gives the full sequence.
    ASSERT_EQ(SetPrbsSeed(1), 1);
    std::vector<bool> seen(static_cast<size_t>(period) + 1, false);
    for (uint32_t k = 0; k < period; ++k) {
      const uint32_t r = PrbsRegister(g);
      ASSERT_TRUE(r >= 1u && r <= period && !seen[r]) << "generator " << g << " step " << k;
      seen[r] = true;
      AdvancePrbs(1, g);
    }
    EXPECT_EQ(PrbsRegister(g), 1u);
    for (int32_t seed = kPrbsSeedMin; seed <= kPrbsSeedMax; ++seed) {
      ASSERT_EQ(SetPrbsSeed(seed), 1);
      const uint32_t start = PrbsRegister(g);
      ASSERT_TRUE(start >= 1u && start <= period) << "generator " << g << " seed " << seed;
      // A seed the register can hold is loaded as it stands.
      if (seed <= static_cast<int32_t>(period)) {
        EXPECT_EQ(start, static_cast<uint32_t>(seed));
      }
      if (length > 11) continue;
      // The short registers are clocked through a whole period from every
      // seed, after the start-up's advance of 10..99 clocks.
      ASSERT_EQ(AdvancePrbs(10 + seed % 90, g), 1);
      const uint32_t from = PrbsRegister(g);
      const std::string bits = Bits(static_cast<int32_t>(period), g);
      EXPECT_EQ(PrbsRegister(g), from) << "generator " << g << " seed " << seed;
      const long ones = static_cast<long>(std::count(bits.begin(), bits.end(), '1'));
      EXPECT_EQ(ones, 1L << (length - 1)) << "generator " << g << " seed " << seed;
    }
  }
  EXPECT_EQ(PrbsStartState(7, 128), 1u);
  EXPECT_EQ(PrbsStartState(7, 256), 2u);
  EXPECT_EQ(PrbsStartState(7, 384), 3u);
  EXPECT_EQ(PrbsStartState(0, 511), 511u);
  EXPECT_EQ(PrbsStartState(8, 5), 0u);
}

TEST_F(PrbsTest, RefusesBadArguments) {
  char out[8] = "keep";
  EXPECT_EQ(GeneratePrbsBits(out, 4, 8), 0);
  EXPECT_EQ(GeneratePrbsBits(out, 4, -1), 0);
  EXPECT_EQ(GeneratePrbsBits(nullptr, 4, 0), 0);
  EXPECT_EQ(GeneratePrbsBits(out, -1, 0), 0);
  EXPECT_STREQ(out, "keep");
  EXPECT_EQ(AdvancePrbs(5, 9), 0);
  EXPECT_EQ(PrbsGenerator(8), nullptr);
  EXPECT_EQ(UnsignedMod(17u, 5u), 2u);
  EXPECT_EQ(UnsignedMod(17u, 0u), 0u);
}

}  // namespace
