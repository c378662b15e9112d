// Instrument types, option interpretation and identification into the
// capability record.
#include <string>

#include <gtest/gtest.h>

#include "app/Settings.h"
#include "instrument/Identify.h"
#include "instrument/InstrumentTypes.h"
#include "instrument/VisaDev.h"
#include "tests/instrument/FakeInstrument.h"
#include "tests/instrument/InstrumentTestSupport.h"

namespace cz::test {
namespace {

TEST(InstrumentTypes, ModelFieldRule) {
  EXPECT_EQ(InstrumentTypeFromIdn("Torvane,Kaldra,1,2"), INSTR_KALDRA);
  EXPECT_EQ(InstrumentTypeFromIdn("Torvane,Lumbrix,1,2"), INSTR_LUMBRIX);
  EXPECT_EQ(InstrumentTypeFromIdn("Torvane,Lumbra,1,2"), INSTR_LUMBRA);
  EXPECT_EQ(InstrumentTypeFromIdn("Torvane,Zeppo,1,2"), kInstrumentTypeNone);
  EXPECT_EQ(InstrumentTypeFromIdn("Kaldra without commas"), kInstrumentTypeNone);
  EXPECT_EQ(InstrumentTypeFromIdn("Kaldra,Zeppo"), kInstrumentTypeNone) << "only the model field counts";
  char name[8];
  VisaDev_GetModelName(INSTR_OSTREL, name, sizeof name);
  EXPECT_STREQ(name, "Ostrel");
  VisaDev_GetModelName(kInstrumentTypeNone, name, sizeof name);
  EXPECT_STREQ(name, "");
  VisaDev_GetModelName(INSTR_LUMBRIX, name, 5);
  EXPECT_STREQ(name, "Lumb");
}

TEST(InstrumentTypes, OptionSearches) {
  EXPECT_TRUE(OptionListHas("A,B,OPT-RFA22", "-RFA22,")) << "the last option is found";
  EXPECT_FALSE(OptionListHas("OPT-RFA220", "-RFA22,"));
  std::size_t at = 0;
  EXPECT_EQ(FindMemoryOption("X,KLD-M16,KLD-M64,", 0, &at), 4);  // KLD-M16 row
  EXPECT_EQ(at, 2u);
  EXPECT_EQ(FindMemoryOption("KLD-M16,", 500, &at), -1) << "a start past the end is clamped";
  char d[16];
  OptionDesignation("-RFA22,", d, sizeof d);
  EXPECT_STREQ(d, "RFA22");
}

class IdentifyTest : public InstrumentTest {
 protected:
  void SetUp() override {
    InstrumentTest::SetUp();
    ResetInstrumentCapabilities();
    g_Settings.Select.Clear();
  }
  int Identify(const std::string& idn, const std::string& options, std::string* info) {
    FakeInstrument fake(idn, options);
    resource = fake.Resource();
    char text[kIdentifyInfoSize] = "";
    int ok = IdentifyInstrument(resource.c_str(), text, sizeof text);
    *info = text;
    EXPECT_FALSE(VisaDev_IsOpen(0)) << "closed on every path";
    return ok;
  }
  std::string resource;
};

TEST_F(IdentifyTest, TwoPathFamilyWithMemoryAndRfOptions) {
  std::string info;
  ASSERT_EQ(Identify("Torvane,Kaldra,100123,4.20.1", "KLD-M64,KLD-M16,OPT-RFA30,OPT-RFB60", &info), 1);
  const auto& c = InstrumentCapabilities;
  EXPECT_EQ(c.Type, INSTR_KALDRA);
  EXPECT_EQ(c.Connected, 1);
  EXPECT_EQ(c.MaxClock, 100000000);
  EXPECT_EQ(c.MinClock, 100000);
  EXPECT_EQ(c.RfListMax, 10000);
  EXPECT_EQ(c.ArbSamplesA, 67108864);
  EXPECT_EQ(c.ArbSamplesB, 16777216);
  EXPECT_EQ(c.RfPathA, 1);
  EXPECT_EQ(c.RfPathB, 1) << "RF option listed last";
  EXPECT_EQ(c.MultiSegment, 1);
  EXPECT_EQ(c.UnixPaths, 0);
  EXPECT_EQ(info,
            "\nInstrument : Torvane Kaldra\n"
            "Serial No  : 100123\n"
            "Firmware   : 4.20.1\n"
            "ARB (A)    : KLD-M64, 64 MSamples\n"
            "ARB (B)    : KLD-M16, 16 MSamples\n"
            "RF (A)     : 100 kHz - 3.0 GHz\n"
            "RF (B)     : 100 kHz - 6.0 GHz\n");
  EXPECT_EQ(g_Settings.Select.str(), resource);
}

TEST_F(IdentifyTest, OnePathAndFixedTypes) {
  struct Case {
    const char* idn;
    const char* options;
    int maxClock, rfListMax, arbA, arbB, rfA, rfB, multi, unix;
    const char* memoryLine;
  };
  const Case cases[] = {
      {"Torvane,Lumbra,1,1", "OPT-X", 300000000, 0, 0, 0, 0, 0, 0, 0, nullptr},
      {"Torvane,Lumbrix,1,1", "LMB-M1G", 600000000, 0, 1073741824, 0, 0, 0, 0, 0, "ARB        : LMB-M1G, 1 GSample\n"},
      {"Torvane,Pernot,1,1", "PRN-M128", 100000000, 0, 134217728, 0, 0, 0, 1, 0, "ARB (A)    : PRN-M128, 128 MSamples\n"},
      {"Torvane,Nerrin,1,1", "NRN-M32A,NRN-M256,OPT-CLK200,OPT-RF60", 200000000, 2000, 268435456, 0, 1, 0, 1, 1,
       "ARB        : NRN-M32A, 32 MSamples\nARB        : NRN-M256, 256 MSamples\n"},
      {"Torvane,Nerrin,1,1", "NRN-M32C", 90000000, 2000, 33554432, 0, 0, 0, 1, 1, "ARB        : NRN-M32C, 32 MSamples\n"},
      {"Torvane,Ostrel,1,1", "", 200000000, 10000, 536870912, 536870912, 1, 1, 1, 1, nullptr},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(std::string(k.idn) + " / " + k.options);
    std::string info;
    ASSERT_EQ(Identify(k.idn, k.options, &info), 1);
    const auto& c = InstrumentCapabilities;
    EXPECT_EQ(c.MaxClock, k.maxClock);
    EXPECT_EQ(c.RfListMax, k.rfListMax);
    EXPECT_EQ(c.ArbSamplesA, k.arbA);
    EXPECT_EQ(c.ArbSamplesB, k.arbB);
    EXPECT_EQ(c.RfPathA, k.rfA);
    EXPECT_EQ(c.RfPathB, k.rfB);
    EXPECT_EQ(c.MultiSegment, k.multi);
    EXPECT_EQ(c.UnixPaths, k.unix);
    if (k.memoryLine) {
      EXPECT_NE(info.find(k.memoryLine), std::string::npos) << info;
    } else {
      EXPECT_EQ(info.find("ARB"), std::string::npos) << info;
    }
  }
  // No option list at all is no failure.
  EXPECT_TRUE(Log().Has("Info: Instrument Has No Baseband Options."));
  // A reset keeps the path style of the last identified instrument.
  ResetInstrumentCapabilities();
  EXPECT_EQ(InstrumentCapabilities.Connected, 0);
  EXPECT_EQ(InstrumentCapabilities.Type, INSTR_LUMBRIX);
  EXPECT_EQ(InstrumentCapabilities.ArbSamplesA, 1073741824);
  EXPECT_EQ(InstrumentCapabilities.UnixPaths, 1);
}

TEST_F(IdentifyTest, UnsupportedOrUnreachableSelectsNothing) {
  std::string info;
  ASSERT_EQ(Identify("Torvane,Ostrel,1,1", "", &info), 1);
  const std::string selected = g_Settings.Select.str();
  const InstrumentCapabilitiesRecord before = InstrumentCapabilities;
  for (const char* idn : {"Torvane,Quorra,7,1.0", "Acme,Widget,1,1"}) {
    Log().Clear();
    EXPECT_EQ(Identify(idn, "", &info), 1) << "identified, nothing selected";
    EXPECT_TRUE(Log().HasStatus("Error: Instrument Type Not Supported."));
    EXPECT_EQ(g_Settings.Select.str(), selected);
    EXPECT_EQ(std::memcmp(&before, &InstrumentCapabilities, sizeof before), 0);
  }
  EXPECT_NE(info.find("Serial No  : 1\n"), std::string::npos);

  FakeInstrument* gone = new FakeInstrument("x", "");
  const std::string dead = gone->Resource();
  delete gone;
  Log().Clear();
  char text[kIdentifyInfoSize] = "";
  EXPECT_EQ(IdentifyInstrument(dead.c_str(), text, sizeof text), 0);
  ASSERT_EQ(Log().status.size(), 2u);
  EXPECT_NE(Log().status[0].find("ERROR : Failed to open instrument session"), std::string::npos);
  EXPECT_EQ(Log().status[1], "Error: Failed to Open VISA Device.");
}

TEST_F(IdentifyTest, InstrumentThatNeverStopsTalkingIsNotOpened) {
  FakeInstrument fake("Torvane,Kaldra,1,1", "KLD-M64");
  VisaDev_SetReplyTimeLimit(500);
  for (const char* query : {"*IDN?", "*OPT?"}) {
    fake.BabbleAfter(query, std::string(query) == "*OPT?" ? 1 : 0);
    Log().Clear();
    char text[kIdentifyInfoSize] = "";
    EXPECT_EQ(IdentifyInstrument(fake.Resource().c_str(), text, sizeof text), 0) << query;
    EXPECT_FALSE(VisaDev_IsOpen(0));
    EXPECT_TRUE(Log().HasStatus("Error: Failed to Open VISA Device.")) << query;
  }
  char text[kIdentifyInfoSize] = "";
  EXPECT_EQ(IdentifyInstrument(fake.Resource().c_str(), text, sizeof text), 1) << "the next try works";
}

TEST_F(IdentifyTest, DefaultDirectoryAndArbMemoryOfASlot) {
  {
    FakeInstrument fake("Torvane,Nerrin,1,1", "NRN-M32A,OPT-HDD");
    ASSERT_EQ(VisaDev_Open(0, fake.Resource().c_str()), 1);
    char dir[256];
    ASSERT_EQ(VisaDev_GetDefaultDirectory(0, dir), 1);
    EXPECT_STREQ(dir, "/hdd/");
    EXPECT_EQ(VisaDev_IsUnixStyle(0), 1);
    VisaDev_Close(0);
  }
  {
    FakeInstrument fake("Torvane,Nerrin,1,1", "NRN-M32A,OPT-HDD2");
    ASSERT_EQ(VisaDev_Open(0, fake.Resource().c_str()), 1);
    char dir[256];
    ASSERT_EQ(VisaDev_GetDefaultDirectory(0, dir), 1);
    EXPECT_STREQ(dir, "/var/nerrin/");
    VisaDev_Close(0);
  }
  {
    FakeInstrument fake("Torvane,Kaldra,1,1", "OPT-RFA22,KLD-M64,KLD-M16");
    ASSERT_EQ(VisaDev_Open(0, fake.Resource().c_str()), 1);
    int a = -1, b = -1;
    std::int64_t memA = 0, memB = 0, bw = 0, clk = 0;
    char text[256];
    ASSERT_EQ(VisaDev_GetArbMemory(0, &a, &b, &memA, &memB, &bw, &clk, text, sizeof text), 1);
    EXPECT_EQ(a, 2);
    EXPECT_EQ(b, 1);
    EXPECT_EQ(memA, 67108864);
    EXPECT_EQ(memB, 16777216);
    EXPECT_EQ(bw, 40000000);
    EXPECT_EQ(clk, 100000000);
    EXPECT_STREQ(text, "1. KLD-M64 [64 MSamples]\n2. KLD-M16 [16 MSamples]\n");
    VisaDev_Close(0);
  }
  {
    FakeInstrument fake("Torvane,Lumbra,1,1", "OPT-RFA22");
    ASSERT_EQ(VisaDev_Open(0, fake.Resource().c_str()), 1);
    int a = -1, b = -1;
    char text[64] = "x";
    EXPECT_EQ(VisaDev_GetArbMemory(0, &a, &b, nullptr, nullptr, nullptr, nullptr, text, sizeof text), 0);
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 0);
    EXPECT_STREQ(text, "");
    VisaDev_Close(0);
  }
}

}  // namespace
}  // namespace cz::test
