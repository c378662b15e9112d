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
  for (int g = 0; g < kPrbsGeneratorCount; ++g) EXPECT_EQ(PrbsRegister(g), 511u);

  EXPECT_EQ(SetPrbsSeed(77), 1);
  for (int g = 0; g < kPrbsGeneratorCount; ++g) EXPECT_EQ(PrbsRegister(g), 77u);
  const std::string from77 = Bits(40, 5);
  char out[41];
  AdvancePrbs(3, 5);
  EXPECT_EQ(PrbsBits(out, 40, 5, 1, 77), 1);  // reseeds first
  EXPECT_EQ(std::string(out), from77);
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
