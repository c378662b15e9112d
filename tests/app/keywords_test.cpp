// The keyword converters, read both ways from one expectation table each.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Keywords.h"

namespace {

struct Pair {
  int code;
  const char* keyword;
};

using FromFn = int (*)(const char*);
using ToFn = const char* (*)(int);

struct Vocabulary {
  const char* name;
  FromFn from;
  ToFn to;
  int fallback;                   // result of from() for an unknown keyword
  std::vector<Pair> pairs;        // every listed code
  std::vector<int> unlisted;      // codes without a keyword
  std::vector<std::string> unknown;  // texts that are no keyword
};

const std::vector<Vocabulary>& Vocabularies() {
  static const std::vector<Vocabulary> v = {
      {"EdgeType", EdgeTypeFromKeyword, EdgeTypeToKeyword, 0,
       {{0, "linear"}, {1, "rcos"}, {2, "rrcos"}, {3, "sqroot"}},
       {-1, 4, 100},
       {"", "Linear", "rcos ", "rrco"}},
      {"ModulationType", ModulationFromKeyword, ModulationToKeyword, 0,
       {{0, "none"}, {1, "barker"}, {2, "fmchirp"}, {3, "ask"}, {4, "qpsk"}, {5, "fsk"},
        {6, "fm"}, {7, "am"}, {8, "vsb"}, {9, "fsk2"}, {10, "multi"}, {11, "vsb16"},
        {12, "polyphase"}, {13, "fmchirppoly"}, {14, "fmmulticw"}, {15, "fmstereo"},
        {16, "8psk"}, {17, "msk"}, {100, "ext"}},
       {-1, 18, 99, 101},
       {"", "FM", "fmchirpp", "External"}},
      {"JitterParam", JitterParamFromKeyword, JitterParamToKeyword, 0,
       {{0, "OnPeriod"}, {1, "Level"}, {2, "Frequency"}, {3, "BlankPeriod"}, {4, "ChirpDev"},
        {5, "PRF"}, {6, "PRI"}, {7, "Delay"}, {8, "Rise"}, {9, "Fall"}, {10, "AttOff"},
        {11, "Phase"}, {12, "Skip"}},
       {-1, 13},
       {"", "skip", "prf", "Onperiod"}},
      {"JitterMode", JitterModeFromKeyword, JitterModeToKeyword, 0,
       {{0, "OFF"}, {1, "same"}, {2, "individual"}, {3, "next"}, {4, "reuse"}, {5, "MSeg"}},
       {-1, 6},
       {"", "Same", "mseg", "Off", "ONCE"}},
      {"JitterDist", JitterDistFromKeyword, JitterDistToKeyword, 0,
       {{0, "whitenoise"}, {1, "gaussnoise"}, {2, "ramp"}, {3, "sine"}, {4, "stair"},
        {5, "list"}, {6, "lfix"}, {7, "shape"}, {8, "rules"}},
       {-1, 9},
       {"", "Ramp", "rule"}},
      {"SyncType", SyncTypeFromKeyword, SyncTypeToKeyword, 0,
       {{0, "tsync"}, {1, "tsync-cw"}},
       {-1, 2},
       {"", "tsync-CW", "cw"}},
      {"WindowType", WindowFromKeyword, WindowToKeyword, 4,
       {{1, "rifevincent"}, {2, "hann"}, {3, "hamming"}, {4, "rect"}, {5, "blackmann"},
        {6, "blackharris"}, {7, "flattop"}},
       {0, -1, 8},
       {"", "Hann", "blackman"}},
      {"FilterType", FilterFromKeyword, FilterToKeyword, 1,
       {{1, "sinc"}, {2, "rrcos"}, {3, "rcos"}, {4, "gauss"}, {5, "cxsinc"}, {6, "cxrrcos"},
        {7, "cxrcos"}, {8, "cxgauss"}, {9, "user"}},
       {0, -1, 10},
       {"", "SINC", "cx"}},
  };
  return v;
}

}  // namespace

TEST(KeywordsTest, EveryListedCodeRoundTripsBothWays) {
  for (const Vocabulary& voc : Vocabularies()) {
    SCOPED_TRACE(voc.name);
    for (const Pair& p : voc.pairs) {
      EXPECT_STREQ(voc.to(p.code), p.keyword) << "code " << p.code;
      EXPECT_EQ(voc.from(p.keyword), p.code) << "keyword " << p.keyword;
      // Through a copy: the comparison is by content, not by pointer.
      std::string copy = p.keyword;
      EXPECT_EQ(voc.from(copy.c_str()), p.code);
    }
  }
}

TEST(KeywordsTest, UnknownTextsTakeTheDefaultAndUnlistedCodesGiveEmptyText) {
  for (const Vocabulary& voc : Vocabularies()) {
    SCOPED_TRACE(voc.name);
    for (const std::string& text : voc.unknown) EXPECT_EQ(voc.from(text.c_str()), voc.fallback) << "'" << text << "'";
    EXPECT_EQ(voc.from(nullptr), voc.fallback);
    for (int code : voc.unlisted) EXPECT_STREQ(voc.to(code), "") << "code " << code;
    // A code written and read back survives only when it is listed.
    for (int code : voc.unlisted) EXPECT_EQ(voc.from(voc.to(code)), voc.fallback);
  }
}

TEST(KeywordsTest, JitterModeReadsTheOlderSpellings) {
  const Pair aliases[] = {{0, "off"}, {1, "once"}, {2, "always"}, {3, "->once"}, {4, "prev"}};
  for (const Pair& p : aliases) EXPECT_EQ(JitterModeFromKeyword(p.keyword), p.code) << p.keyword;
  // Written back with the first spelling only.
  EXPECT_STREQ(JitterModeToKeyword(JitterModeFromKeyword("once")), "same");
}

TEST(KeywordsTest, ModulationDisplayNamesAndPnTexts) {
  const Pair names[] = {{0, "OFF"}, {1, "BPSK"}, {2, "FM chirp"}, {8, "VSB8"}, {9, "FSK(2)"},
                        {10, "Multi Tone"}, {13, "Polynomial FM"}, {14, "Multi Carrier"},
                        {15, "FM Stereo"}, {16, "8PSK"}, {17, "MSK"}};
  for (const Pair& p : names) EXPECT_STREQ(ModulationDisplayName(p.code), p.keyword);
  EXPECT_STREQ(ModulationDisplayName(100), "");
  EXPECT_STREQ(ModulationDisplayName(18), "");

  const Pair pn[] = {{0, "PN9"}, {1, "PN15"}, {2, "PN7"}, {3, "PN11"}, {4, "PN16"},
                     {5, "PN20"}, {6, "PN21"}, {7, "PN23"}, {10, "USER"}};
  for (const Pair& p : pn) EXPECT_STREQ(PnTypeToText(p.code), p.keyword);
  for (int code : {8, 9, -1, 11}) EXPECT_STREQ(PnTypeToText(code), "");
}
