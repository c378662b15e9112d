// The modulation frame: the data bit stream built from the 32 data rows, the
// symbol timing, the per-type parameter messages, and the plug-in path
// through a module table entry with fake entry points.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "app/DataSource.h"
#include "app/Keywords.h"
#include "app/PluginLoader.h"
#include "engine/Prbs.h"
#include "engine/SignalMath.h"
#include "tests/support/ModulationRun.h"

using namespace cz::test;

namespace {

class ModulationFrameTest : public ::testing::Test {
 protected:
  void SetUp() override { SetUserSources({}); }
  void TearDown() override {
    Log_SetLogSink(nullptr);
    SetUserSources({});
  }
};

std::string Stream() { return std::string(ModulationBitStream, static_cast<size_t>(ModulationBitCount)); }

}  // namespace

TEST_F(ModulationFrameTest, PatternRowsRepeatAndTruncateAtTheLimit) {
  PulseRecord& p = SetUpModPulse(MOD_NONE);
  // A 3-bit pattern asked for 7 bits: twice whole, then its first bit.
  SetDataRow(0, DSRC_PATTERN, 3, 7);  // Barker R3 "110"
  ASSERT_EQ(BuildModulationBitStream(p), 1);
  EXPECT_EQ(Stream(), "1101101");
  EXPECT_TRUE(ModLogHas(" Adding 7 bits from source 1."));

  // 32 rows of 1,000 bits: the eleventh is cut to one bit, the rest add
  // nothing but the warning.
  SetUpModPulse(MOD_NONE);
  for (int r = 0; r < kModDataRows; ++r) SetDataRow(r, DSRC_PATTERN, 9, 1000);  // Barker R13
  ASSERT_EQ(BuildModulationBitStream(PulseTable[0]), 1);
  EXPECT_EQ(ModulationBitCount, 10001);
  EXPECT_EQ(std::strlen(ModulationBitStream), 10001u);
  EXPECT_EQ(ModLogCount("Truncating!"), 22);
  EXPECT_TRUE(ModLogHas(" Adding 1000 bits from source 32."));
  const std::string barker = "1111100110101";
  for (int k : {0, 999, 1000, 5003, 9999})
    EXPECT_EQ(ModulationBitStream[k], barker[static_cast<size_t>((k % 1000) % 13)]) << k;
  EXPECT_EQ(ModulationBitStream[10000], '1');  // first bit of the eleventh row
}

TEST_F(ModulationFrameTest, OffRowsAreSkippedAndAllRowsWalked) {
  PulseRecord& p = SetUpModPulse(MOD_NONE);
  SetUserSources({{7, "/ header /\n1 0 0\n"}, {9, ""}});
  SetDataRow(0, DSRC_PATTERN, 1, 2);   // "11"
  SetDataRow(4, DSRC_USER, 7, 5);      // "10010"
  SetDataRow(31, DSRC_PATTERN, 0, 3);  // "000"
  ASSERT_EQ(BuildModulationBitStream(p), 1);
  EXPECT_EQ(Stream(), "1110010000");
  EXPECT_EQ(ModLogCount(" Adding "), 3);
  EXPECT_TRUE(ModLogHas(" Adding 3 bits from source 32."));
}

TEST_F(ModulationFrameTest, BadRowsFailWithTheirMessages) {
  struct Case {
    int kind, source, bits;
    const char* message;
  } cases[] = {
      {DSRC_PATTERN, 50, 4, "*** Error: Invalid pattern type specified for data source."},
      {DSRC_USER, 3, 4, "*** Error: Invalid user bit pattern specified for data source."},
      {DSRC_USER, 9, 4, "*** Error: The specified user data source does not contain data."},
      {DSRC_RANDOM, 8, 4, "*** Error: Invalid PRBS generator specified for data source."},
      {DSRC_RANDOM, 0, 10002, "*** Maximum number of bits exceeded for intra pulse modulation data."},
  };
  for (const Case& c : cases) {
    PulseRecord& p = SetUpModPulse(MOD_NONE);
    SetUserSources({{9, "/ only a comment /"}});
    SetDataRow(2, c.kind, c.source, c.bits);
    EXPECT_EQ(BuildModulationBitStream(p), 0) << c.message;
    EXPECT_TRUE(ModLogHas(c.message)) << c.message;
    EXPECT_FALSE(ModLogHas("Truncating!")) << c.message;
  }
}

TEST_F(ModulationFrameTest, RandomRowsContinueTheGeneratorAndNeverTruncate) {
  ASSERT_EQ(SetPrbsSeed(1), 1);
  char expected[201];
  ASSERT_EQ(GeneratePrbsBits(expected, 200, 3), 1);
  ReloadPrbsRegisters();

  PulseRecord& p = SetUpModPulse(MOD_NONE);
  SetDataRow(0, DSRC_RANDOM, 3, 100);
  ASSERT_EQ(BuildModulationBitStream(p), 1);
  EXPECT_EQ(Stream(), std::string(expected, 100));
  // The next repetition takes the following bits of the same generator.
  ASSERT_EQ(BuildModulationBitStream(p), 1);
  EXPECT_EQ(Stream(), std::string(expected + 100, 100));

  // 6,000 bits, then a random row of 5,000: refused, not cut.
  SetUpModPulse(MOD_NONE);
  SetDataRow(0, DSRC_PATTERN, 2, 6000);
  SetDataRow(1, DSRC_RANDOM, 0, 5000);
  EXPECT_EQ(BuildModulationBitStream(PulseTable[0]), 0);
  EXPECT_TRUE(ModLogHas("*** Maximum number of bits exceeded for intra pulse modulation data."));
  EXPECT_FALSE(ModLogHas("Truncating!"));
}

TEST_F(ModulationFrameTest, SymbolTiming) {
  // QPSK with 5 bits: two symbols, the fifth bit unused.
  SetUpModPulse(MOD_QPSK);
  UseBits("00111");
  ModRun run = RunModRepetition(0, 20, 0, 1e6);
  ASSERT_EQ(run.ok, 1);
  EXPECT_EQ(ModState.symbolCount, 2);
  EXPECT_DOUBLE_EQ(ModState.samplesPerSymbol, 10.0);
  EXPECT_TRUE(ModLogHas("Using intra pulse modulation."));
  EXPECT_TRUE(ModLogHas("  Data bits: 5, Bits/Symbol: 2"));
  EXPECT_NEAR(run.phase[9], PiConstant / 4.0, 1e-12);    // "00"
  EXPECT_NEAR(run.phase[20], -PiConstant / 4.0, 1e-12);  // "11", sample 20 kept in symbol 1

  // 101 samples and 10 symbols: S = 10, sample 100 in symbol 9.
  SetUpModPulse(MOD_BARKER);
  UseBits("0000000001");
  run = RunModRepetition(10, 80, 10, 1e6);
  ASSERT_EQ(run.ok, 1);
  EXPECT_DOUBLE_EQ(ModState.samplesPerSymbol, 10.0);
  EXPECT_EQ(run.phase[89], 0.0);
  EXPECT_NEAR(run.phase[90], PiConstant, 1e-15);
  EXPECT_NEAR(run.phase[100], PiConstant, 1e-15);

  // Without bits a data type fails; one that needs none runs.
  SetUpModPulse(MOD_BARKER);
  EXPECT_EQ(RunModRepetition(0, 10, 0, 1e6).failedAt, 0);
  EXPECT_TRUE(ModLogHas("*** No data bits provided."));
  SetUpModPulse(MOD_FM);
  EXPECT_EQ(RunModRepetition(0, 10, 0, 1e6).ok, 1);
  EXPECT_FALSE(ModLogHas("Using intra pulse modulation."));
  SetUpModPulse(MOD_VSB16);
  UseBits("101");
  EXPECT_EQ(RunModRepetition(0, 10, 0, 1e6).failedAt, 0);
  EXPECT_TRUE(ModLogHas("*** Not enough data bits provided for one single symbol."));
}

TEST_F(ModulationFrameTest, MissingLabelsEndTheFirstSampleWithTheTypeMessage) {
  struct Case {
    int code;
    const char* message;
  } cases[] = {
      {MOD_FMCHIRP, "*** Invalid FM chirp modulation parameter."},
      {MOD_FMCHIRPPOLY, "*** Invalid polynomial FM parameter."},
      {MOD_FM, "*** Invalid FM parameter."},
      {MOD_FMSTEREO, "*** Invalid FM Stereo parameter."},
      {MOD_FSK, "*** Invalid FSK modulation parameter."},
      {MOD_FSK2, "*** Invalid FSK2 modulation parameter."},
      {MOD_MULTI, "*** Invalid multi tone modulation parameter."},
      {MOD_FMMULTICW, "*** Invalid multi carrier modulation parameter."},
      {MOD_BARKER, "*** Invalid BPSK modulation parameter."},
      {MOD_POLYPHASE, "*** Invalid Polyphase modulation parameter."},
      {MOD_QPSK, "*** Invalid QPSK modulation parameter."},
      {MOD_MSK, "*** Invalid MSK modulation parameter."},
      {MOD_8PSK, "*** Invalid 8PSK modulation parameter."},
      {MOD_ASK, "*** Invalid ASK modulation parameter."},
      {MOD_AM, "*** Invalid AM modulation parameter."},
  };
  for (const Case& c : cases) {
    // The type's last label missing: everything before it is read, then the
    // message.
    PulseRecord& p = SetUpModPulse(c.code);
    const ModulationTypeInfo* type = FindModulationType(c.code);
    p.modParams.Mutable(type->definitionLength - 2)->Clear();
    UseBits("0110");
    ModRun run = RunModRepetition(0, 128, 0, 1e6, 1e6);
    EXPECT_EQ(run.failedAt, 0) << c.message;
    EXPECT_TRUE(ModLogHas(c.message)) << c.message;
    // With all labels present the same pulse runs.
    SetUpModPulse(c.code);
    UseBits("0110");
    EXPECT_EQ(RunModRepetition(0, 128, 0, 1e6, 1e6).ok, 1) << c.message;
  }
  // OFF, VSB and unknown codes read nothing and leave amplitude and phase.
  SetUpModPulse(MOD_NONE);
  ModRun run = RunModRepetition(0, 5, 0, 1e6, 0.0, 0.25);
  ASSERT_EQ(run.ok, 1);
  EXPECT_EQ(run.amp[3], 1.0);
  EXPECT_EQ(run.phase[5], 0.25);
  EXPECT_FALSE(ModLogHas("Requesting"));
}

// ---- plug-in path -------------------------------------------------------------

namespace {

struct FakePlugin {
  std::vector<std::string> calls;  // "key=value" per mod_setparam
  std::vector<std::string> setconf;
  size_t mbitsLength = 0;
  int failAt = -1;
  int engineCalls = 0;
};
FakePlugin g_fake;

int FakeSetParam(const char* key, void* value) {
  std::string k = key;
  std::string v;
  if (value == nullptr)
    v = "null";
  else if (k == CZ_KEY_TRISE || k == CZ_KEY_TON || k == CZ_KEY_TFALL)
    v = std::to_string(*static_cast<int*>(value));
  else if (k == CZ_KEY_MBITS)
    v = std::to_string(g_fake.mbitsLength = std::strlen(static_cast<char*>(value)));
  else
    v = std::to_string(*static_cast<double*>(value));
  g_fake.calls.push_back(k + "=" + v);
  return 1;
}

int FakeGetConf(int row, char* type, char* label, void* dflt, void*, void*) {
  if (row > 1) return 0;
  std::snprintf(type, CZ_CONF_TYPE_SIZE, "%s", row == 0 ? "DBL" : "INT");
  std::snprintf(label, CZ_CONF_LABEL_SIZE, "%s", row == 0 ? "Gain" : "Count");
  if (row == 0) {
    double d = 1.0;
    std::memcpy(dflt, &d, sizeof d);
  } else {
    int i = 3;
    std::memcpy(dflt, &i, sizeof i);
  }
  return 1;
}

int FakeBadConf(int, char* type, char* label, void*, void*, void*) {
  std::snprintf(type, CZ_CONF_TYPE_SIZE, "XYZ");
  std::snprintf(label, CZ_CONF_LABEL_SIZE, "odd");
  return 1;
}

int FakeSetConf(int row, void* value) {
  g_fake.setconf.push_back(row == 0 ? std::to_string(*static_cast<double*>(value))
                                    : std::to_string(*static_cast<int*>(value)));
  return 1;
}

int FakeEngine2(unsigned char* marker, double* amplitude, double* phase, int sample) {
  ++g_fake.engineCalls;
  if (sample == g_fake.failAt) return 0;
  *marker = 0x05;
  *amplitude = 0.5;
  *phase += 0.1;
  return 1;
}

int FakeEngine(double* amplitude, double* phase, int) {
  ++g_fake.engineCalls;
  *amplitude = 0.25;
  *phase = 1.5;
  return 1;
}

// Returns amplitude g_badAmp and phase g_badPhase from sample 5 on.
double g_badAmp = 1.0, g_badPhase = 0.0;
int BadValueEngine(double* amplitude, double* phase, int sample) {
  *amplitude = sample >= 5 ? g_badAmp : 1.0;
  *phase = sample >= 5 ? g_badPhase : 0.0;
  return 1;
}

void FakeError(char* text) { std::snprintf(text, CZ_MOD_ERROR_SIZE, "bad sample %d", g_fake.failAt); }

class ModulationPluginTest : public ModulationFrameTest {
 protected:
  void SetUp() override {
    ModulationFrameTest::SetUp();
    g_fake = FakePlugin();
    ModuleCount = 2;
    ModuleTable[0] = ModuleEntry();
    ModuleTable[0].Name = "other";
    ModuleTable[1] = ModuleEntry();
    ModuleTable[1].Name = "fake";
    ModuleTable[1].Type = "modulation";
    ModuleTable[1].SetParam = FakeSetParam;
    ModuleTable[1].GetConf = FakeGetConf;
    ModuleTable[1].SetConf = FakeSetConf;
    ModuleTable[1].Engine2 = FakeEngine2;
    ModuleTable[1].Error = FakeError;
    PulseRecord& p = SetUpModPulse(kModulationPluginCode);
    p.pluginName = "fake";
    p.attOn = 1.5;
    p.attOff = 90.0;
    p.droop = 0.25;
  }
  void TearDown() override {
    ModuleTable[0] = ModuleEntry();
    ModuleTable[1] = ModuleEntry();
    ModuleCount = 0;
    ModulationFrameTest::TearDown();
  }
};

}  // namespace

TEST_F(ModulationPluginTest, ConfiguredOnEveryFirstSampleThenRunPerSample) {
  PulseRecord& p = PulseTable[0];
  p.modParams.Set(0, "DOUBLE", "Gain", "2.5");  // overlays the plug-in's default
  for (int r = 0; r < 11; ++r) SetDataRow(r, DSRC_PATTERN, 2, 1000);

  ModRun run = RunModRepetition(3, 20, 4, 2e6, 0.0, 1.0);
  ASSERT_EQ(run.ok, 1);
  const std::vector<std::string> keys = {"trise=3", "ton=20", "tfall=4", "srate=2000000.000000",
                                         "levon=1.500000", "levoff=90.000000",
                                         "levdroop=0.250000", "mbits=10001", "done=null"};
  EXPECT_EQ(g_fake.calls, keys);
  // Rows read back with the pulse's stored value for "Gain"; "Count" is not
  // stored, so it keeps the plug-in's default.
  EXPECT_EQ(g_fake.setconf, (std::vector<std::string>{"2.500000", "3"}));
  EXPECT_EQ(ModState.module, 1);
  EXPECT_EQ(g_fake.engineCalls, 28);
  EXPECT_EQ(run.amp[27], 0.5);
  EXPECT_NEAR(run.phase[27], 1.0 + 28 * 0.1, 1e-12);
  EXPECT_EQ(run.marker[0], 0x05);

  // The next repetition configures the plug-in again.
  ASSERT_EQ(RunModRepetition(3, 20, 4, 2e6).ok, 1);
  EXPECT_EQ(g_fake.calls.size(), 18u);
  EXPECT_EQ(g_fake.calls[9], "trise=3");
}

TEST_F(ModulationPluginTest, EngineErrorsAndMissingModules) {
  g_fake.failAt = 17;
  ModRun run = RunModRepetition(0, 30, 0, 1e6);
  EXPECT_EQ(run.failedAt, 17);
  EXPECT_TRUE(ModLogHas("*** Module error: bad sample 17"));

  // mod_engine: amplitude and phase, no marker bits.
  ModuleTable[1].Engine2 = nullptr;
  ModuleTable[1].Engine = FakeEngine;
  run = RunModRepetition(0, 5, 0, 1e6);
  ASSERT_EQ(run.ok, 1);
  EXPECT_EQ(run.amp[2], 0.25);
  EXPECT_EQ(run.phase[2], 1.5);
  EXPECT_EQ(run.marker[2], 0);

  // The pulse's plug-in is not loaded, or only a module without an engine
  // carries its name.
  PulseTable[0].pluginName = "gone";
  g_fake.calls.clear();
  EXPECT_EQ(RunModRepetition(0, 5, 0, 1e6).failedAt, 0);
  EXPECT_TRUE(ModLogHas("*** No matching external module found."));
  EXPECT_TRUE(g_fake.calls.empty());
  PulseTable[0].pluginName = "other";
  ModLog().clear();
  EXPECT_EQ(RunModRepetition(0, 5, 0, 1e6).failedAt, 0);
  EXPECT_TRUE(ModLogHas("*** No matching external module found."));

  // A refused configuration row stops the pulse before any engine call.
  PulseTable[0].pluginName = "fake";
  ModuleTable[1].GetConf = FakeBadConf;
  g_fake.engineCalls = 0;
  EXPECT_EQ(RunModRepetition(0, 5, 0, 1e6).failedAt, 0);
  EXPECT_TRUE(ModLogHas("*** Cannot read configuration from plugin."));
  EXPECT_EQ(g_fake.engineCalls, 0);
  EXPECT_EQ(g_fake.calls.size(), 9u);
}

// Values no sample can carry: the pulse stops at the sample, the log names
// the module and the sample; a factor of full magnitude either way passes.
TEST_F(ModulationPluginTest, UnusableEngineValuesStopThePulse) {
  ModuleTable[1].Engine2 = nullptr;
  ModuleTable[1].Engine = BadValueEngine;
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  const struct {
    double amp, phase;
    const char* text;
  } bad[] = {{nan, 0.0, "amplitude (nan)"},   {1e300, 0.0, "amplitude (1e+300)"}, {-inf, 0.0, "amplitude (-inf)"},
             {1.0000001, 0.0, "amplitude (1.0000001)"}, {0.5, nan, "phase (nan)"},        {0.5, 1e300 * 1e10, "phase (inf)"}};
  for (const auto& b : bad) {
    g_badAmp = b.amp;
    g_badPhase = b.phase;
    ModLog().clear();
    EXPECT_EQ(RunModRepetition(0, 20, 0, 1e6).failedAt, 5) << b.text;
    EXPECT_TRUE(ModLogHas(std::string("*** Module 'fake' returned an unusable ") + b.text + " at sample 5."))
        << b.text;
  }
  for (double amp : {-1.0, 0.0, 1.0}) {
    g_badAmp = amp;
    g_badPhase = 1e6;
    EXPECT_EQ(RunModRepetition(0, 20, 0, 1e6).ok, 1) << amp;
  }
}
