// User data sources: the bit-text parser, the look-ups and the IDs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "app/DataSource.h"
#include "tests/support/Mutate.h"

namespace {

struct Parsed {
  int result;
  int count;
  std::string bits;
};

Parsed Parse(const std::string& text) {
  char bits[kDataBitsBufferSize];
  std::memset(bits, 'z', sizeof bits);
  int count = -1;
  Parsed p;
  p.result = ParseDataBits(text.c_str(), &count, bits);
  p.count = count;
  p.bits = std::string(bits, strnlen(bits, sizeof bits));
  return p;
}

class DataSourceTest : public ::testing::Test {
 protected:
  void SetUp() override { DataSourceCount = 0; }
  void TearDown() override { DataSourceCount = 0; }
  void Add(const char* bits) {
    InitDataSource(&DataSourceTable[DataSourceCount]);
    DataSourceTable[DataSourceCount].data = bits;
    ++DataSourceCount;
  }
};

}  // namespace

TEST(ParseDataBitsTest, NotationOfBlanksHexGroupsLineEndsAndComments) {
  struct Case {
    const char* text;
    const char* bits;
  } cases[] = {
      {"1 0 1", "101"},
      {"#xA5", "10100101"},
      {"#xa /comment/ 1", "10100001"},  // hex lasts to the line end, so 1 is a hex digit
      {"#x1\n1", "00011"},
      {"#X1\r1", "00011"},
      {"/#x/F", "1111"},                 // "#x" acts inside a comment
      {"1\t0", "10"},                    // tab skipped
      {"10a2b1", "101"},                 // letters and other digits outside hex mode skipped
      {"#1", "1"},                       // '#' without 'x' is skipped
      {"#xG1", "0001"},                  // non-hex character in hex mode skipped
      {"1/0\n1", "11"},                  // a line end ends the comment
      {"", ""},
  };
  for (const Case& c : cases) {
    Parsed p = Parse(c.text);
    EXPECT_EQ(p.result, 1) << c.text;
    EXPECT_EQ(p.bits, c.bits) << c.text;
    EXPECT_EQ(p.count, static_cast<int>(std::strlen(c.bits))) << c.text;
  }
}

TEST(ParseDataBitsTest, StopsAtExactly4096BitsAndRefusesNullArguments) {
  Parsed hex = Parse("#x" + std::string(1100, 'F'));
  EXPECT_EQ(hex.count, 4096);
  EXPECT_EQ(hex.bits, std::string(4096, '1'));

  // A hex digit that straddles the limit stops after the bit that reaches it.
  Parsed straddle = Parse(std::string(4094, '0') + "#xF");
  EXPECT_EQ(straddle.count, 4096);
  EXPECT_EQ(straddle.bits.substr(4094), "11");

  Parsed plain = Parse(std::string(5000, '1'));
  EXPECT_EQ(plain.count, 4096);

  char bits[kDataBitsBufferSize] = "unchanged";
  int count = 7;
  EXPECT_EQ(ParseDataBits(nullptr, &count, bits), 0);
  EXPECT_EQ(ParseDataBits("1", nullptr, bits), 0);
  EXPECT_EQ(ParseDataBits("1", &count, nullptr), 0);
  EXPECT_EQ(count, 7);
  EXPECT_STREQ(bits, "unchanged");
}

// Damaged bit texts, as a project file may carry them: whatever the text,
// the result holds only '0' and '1', as many as counted, within the buffer.
TEST(ParseDataBitsTest, MutatedTextsGiveOnlyCountedBits) {
  const std::string seed = "0101 1100 #xA5F0\r\n/ preamble 1 /11 #xff 0\n#x 0F\n1";
  std::mt19937 rng(4097);
  cz::test::MutateOptions bitText;
  bitText.syntax = "01#xX/ \r\nAFaf9";
  bitText.maxRun = 5000;
  for (int round = 0; round < 400; ++round) {
    const Parsed p = Parse(cz::test::Mutate(seed, rng, bitText));
    ASSERT_EQ(p.result, 1) << round;
    ASSERT_LE(p.count, kDataBitsMax) << round;
    ASSERT_EQ(static_cast<int>(p.bits.size()), p.count) << round;
    ASSERT_EQ(p.bits.find_first_not_of("01"), std::string::npos) << round;
  }
}

TEST(BuiltinPatternTest, EveryRowAndUnknownIds) {
  const char* expected[] = {"0", "1", "10", "110", "1011", "1110", "11101", "1110010",
                            "11100010010", "1111100110101"};
  for (int id = 0; id < 10; ++id) {
    char out[kDataBitsBufferSize] = {};
    ASSERT_EQ(FindBuiltinDataSource(id, out), 1) << id;
    EXPECT_STREQ(out, expected[id]);
  }
  char out[8] = "keep";
  EXPECT_EQ(FindBuiltinDataSource(10, out), 0);
  EXPECT_EQ(FindBuiltinDataSource(-1, out), 0);
  EXPECT_STREQ(out, "keep");
  EXPECT_EQ(FindBuiltinDataSource(0, nullptr), 0);
}

// Every Barker pattern (ids 3 to 9) is a Barker code: as +-1 chips, no
// aperiodic autocorrelation sidelobe exceeds 1 in magnitude.
TEST(BuiltinPatternTest, BarkerPatternsHaveSidelobesOfAtMostOne) {
  for (int id = 3; id <= 9; ++id) {
    char out[kDataBitsBufferSize] = {};
    ASSERT_EQ(FindBuiltinDataSource(id, out), 1) << id;
    const std::string code = out;
    for (std::size_t lag = 1; lag < code.size(); ++lag) {
      int sum = 0;
      for (std::size_t i = 0; i + lag < code.size(); ++i)
        sum += (code[i] == '1' ? 1 : -1) * (code[i + lag] == '1' ? 1 : -1);
      EXPECT_LE(std::abs(sum), 1) << "id " << id << " (" << code << ") lag " << lag;
    }
  }
}

TEST_F(DataSourceTest, IdsAreTheSmallestFreeAndNamesFollowThem) {
  Add("1");
  Add("0");
  EXPECT_EQ(DataSourceTable[0].id, 1u);
  EXPECT_EQ(DataSourceTable[1].id, 2u);
  EXPECT_EQ(DataSourceTable[1].name, "new_2");
  EXPECT_TRUE(DataSourceTable[1].comment.empty());

  // Delete ID 1 by closing the gap: the next source takes ID 1 and is appended.
  DataSourceTable[0] = DataSourceTable[1];
  DataSourceCount = 1;
  Add("11");
  EXPECT_EQ(DataSourceTable[1].id, 1u);
  EXPECT_EQ(DataSourceTable[1].name, "new_1");

  // A slot beyond the count does not block its own ID.
  DataSourceTable[5].id = 3;
  EXPECT_EQ(NextFreeDataSourceId(), 3u);

  DataSourceCount = 0;
  for (int i = 0; i < kMaxDataSources; ++i) Add("1");
  EXPECT_EQ(NextFreeDataSourceId(), 65u);
}

TEST_F(DataSourceTest, GetDataSourceBitsCopiesTheTextOfTheIdInUse) {
  Add("#xA5 /x/");
  Add(std::string(4096, '1').c_str());
  char out[kDataBitsBufferSize];
  ASSERT_EQ(GetDataSourceBits(1, out), 1);
  EXPECT_STREQ(out, "#xA5 /x/");  // the text, not the parsed bits
  ASSERT_EQ(GetDataSourceBits(2, out), 1);
  EXPECT_EQ(std::strlen(out), 4096u);

  EXPECT_EQ(GetDataSourceBits(3, out), 0);
  EXPECT_EQ(GetDataSourceBits(0, out), 0);
  EXPECT_EQ(GetDataSourceBits(1, nullptr), 0);
  DataSourceCount = 1;  // ID 2 is beyond the count now
  EXPECT_EQ(GetDataSourceBits(2, out), 0);
}
