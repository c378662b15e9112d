// Phase and amplitude modulations against hand values and their formulas:
// BPSK families, polyphase codes, QPSK families with the gain rule, MSK,
// 8PSK, VSB, ASK and AM.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <string>

#include "app/Keywords.h"
#include "tests/support/ModulationRun.h"

using namespace cz::test;

namespace {

constexpr double kPi = 3.141592653589793;

class ModulationPskTest : public ::testing::Test {
 protected:
  void TearDown() override {
    Log_SetLogSink(nullptr);
    SetUserSources({});
  }
};

// Difference of two angles folded into -pi .. pi.
double AngleDiff(double a, double b) { return std::remainder(a - b, 2 * kPi); }

}  // namespace

TEST_F(ModulationPskTest, BpskBarkerSignsAndCodings) {
  // Barker R13 at 10 samples per symbol: the sign of cos(phase) per symbol.
  SetUpModPulse(MOD_BARKER);
  SetDataRow(0, DSRC_PATTERN, 9, 13);
  ModRun run = RunModRepetition(0, 130, 0, 100e6);
  ASSERT_EQ(run.ok, 1);
  std::string signs;
  for (int s = 0; s < 13; ++s) {
    for (int k = 0; k < 10; ++k) {
      ASSERT_EQ(run.amp[static_cast<size_t>(10 * s + k)], 1.0);
      ASSERT_EQ(run.phase[static_cast<size_t>(10 * s + k)], run.phase[static_cast<size_t>(10 * s)]);
    }
    signs += std::cos(run.phase[static_cast<size_t>(10 * s + 5)]) < 0 ? '-' : '+';
  }
  EXPECT_EQ(signs, "-----++--+-+-");

  // Normal coding, 180 degrees, "10": pi then 0.
  SetUpModPulse(MOD_BARKER);
  UseBits("10");
  run = RunModRepetition(0, 20, 0, 1e6);
  EXPECT_EQ(run.phase[4], kPi);
  EXPECT_EQ(run.phase[15], 0.0);

  // Differential coding, 90 degrees, "1101": pi/2, 0, 0, pi/2.
  SetUpModPulse(MOD_BARKER, {{"Phase [deg]", "90"}, {"Coding", "1"}});
  UseBits("1101");
  run = RunModRepetition(0, 40, 0, 1e6);
  ASSERT_EQ(run.ok, 1);
  const double expected[4] = {kPi / 2, 0.0, 0.0, kPi / 2};
  for (int n = 0; n <= 40; ++n)
    ASSERT_EQ(run.phase[static_cast<size_t>(n)], expected[n / 10 < 4 ? n / 10 : 3]) << n;

  // A type beyond C-BPSK leaves amplitude and phase alone.
  SetUpModPulse(MOD_BARKER, {{"Type", "2"}});
  UseBits("10");
  run = RunModRepetition(0, 20, 0, 1e6, 0.0, 0.3);
  EXPECT_EQ(run.phase[4], 0.3);
}

TEST_F(ModulationPskTest, ContinuousBpskTransitions) {
  // No transition zone: plain BPSK.
  SetUpModPulse(MOD_BARKER, {{"Type", "1"}, {"Transition [%]", "0"}});
  UseBits("1001101");
  ModRun smooth = RunModRepetition(0, 70, 0, 1e6);
  SetUpModPulse(MOD_BARKER);
  UseBits("1001101");
  ModRun plain = RunModRepetition(0, 70, 0, 1e6);
  ASSERT_EQ(smooth.ok, 1);
  for (size_t n = 0; n < plain.phase.size(); ++n) ASSERT_EQ(smooth.phase[n], plain.phase[n]) << n;

  // "linear", stream starting with a one, 20 %: the first symbol rises from
  // Pr/2 at its start to Pr at u = h = 0.1 (S = 100).
  SetUpModPulse(MOD_BARKER, {{"Type", "1"}, {"Transition [%]", "20"}, {"Trans. Shape", "1"}});
  UseBits("11");
  ModRun run = RunModRepetition(0, 200, 0, 1e6);
  ASSERT_EQ(run.ok, 1);
  for (int n = 0; n < 10; ++n) EXPECT_NEAR(run.phase[static_cast<size_t>(n)], kPi * (0.5 + 0.05 * n), 1e-12) << n;
  EXPECT_EQ(run.phase[10], kPi);
  EXPECT_EQ(run.phase[150], kPi);  // equal neighbours: steady across the boundary
  // The last symbol's end zone swings half way down: 1 - x/2.
  EXPECT_NEAR(run.phase[195], kPi * (1 - 0.5 * 0.5), 1e-12);

  // 100 % "cos", bits "10" at S = 10: the change runs from the middle of the
  // first symbol (1) through 0.5 at the boundary to the middle of the second (0).
  SetUpModPulse(MOD_BARKER, {{"Type", "1"}, {"Transition [%]", "100"}});
  UseBits("10");
  run = RunModRepetition(0, 20, 0, 1e6);
  ASSERT_EQ(run.ok, 1);
  EXPECT_NEAR(run.phase[5], kPi, 1e-12);
  EXPECT_NEAR(run.phase[8], kPi * (0.5 + 0.5 * std::cos(kPi * 0.6 / 2)), 1e-12);
  EXPECT_NEAR(run.phase[10], kPi * 0.5, 1e-12);
  EXPECT_NEAR(run.phase[12], kPi * (0.5 - 0.5 * std::sin(kPi * 0.4 / 2)), 1e-12);
  EXPECT_NEAR(run.phase[15], 0.0, 1e-12);
  // The first symbol's start swings fully from 0 ("cos"): 0.5 - 0.5*cos(pi*x).
  EXPECT_NEAR(run.phase[2], kPi * (0.5 - 0.5 * std::cos(kPi * 0.4)), 1e-12);
}

TEST_F(ModulationPskTest, PolyphaseCodes) {
  // Frank M = 4 over 160 samples: c = 159/16; chip 5 (samples 50..59) has
  // q = 1, p = 1 and phase pi/2; every chip follows 2*pi*q*p/M.
  SetUpModPulse(MOD_POLYPHASE, {{"M (Length)", "4"}});
  ModRun run = RunModRepetition(10, 139, 10, 1e6);
  ASSERT_EQ(run.ok, 1);
  EXPECT_EQ(run.phase[49], run.phase[40]);
  for (int n = 50; n <= 59; ++n) EXPECT_NEAR(run.phase[static_cast<size_t>(n)], kPi / 2, 1e-15) << n;
  for (int n = 0; n <= 159; ++n) {
    int k = n * 16 / 159;  // chip of sample n, exact
    ASSERT_NEAR(run.phase[static_cast<size_t>(n)], 2 * kPi * (k / 4) * (k % 4) / 4, 1e-12) << n;
    ASSERT_EQ(run.amp[static_cast<size_t>(n)], 1.0);
  }

  // P1 and P2 at chip 5 of M = 4; P3 and P4 at chip 3 (K = M = 4, c = 10).
  struct Case {
    int type, samples, n;
    double phase;
  } cases[] = {
      {1, 160, 55, -5 * kPi / 4},
      {2, 160, 55, kPi / 8},
      {3, 40, 35, 9 * kPi / 4},
      {4, 40, 35, -3 * kPi / 4},
  };
  for (const Case& c : cases) {
    SetUpModPulse(MOD_POLYPHASE, {{"Type", std::to_string(c.type)}, {"M (Length)", "4"}});
    run = RunModRepetition(0, c.samples, 0, 1e6);
    ASSERT_EQ(run.ok, 1) << c.type;
    EXPECT_NEAR(run.phase[static_cast<size_t>(c.n)], c.phase, 1e-12) << c.type;
  }

  struct Failure {
    const char* type;
    const char* length;
    int samples;
    const char* message;
  } failures[] = {
      {"3", "200", 149, "*** Higher sample clock rate required."},
      {"0", "0", 100, "*** Invalid code length."},
      {"5", "4", 100, "*** Polyphase code type not supported."},
  };
  for (const Failure& f : failures) {
    SetUpModPulse(MOD_POLYPHASE, {{"Type", f.type}, {"M (Length)", f.length}});
    EXPECT_EQ(RunModRepetition(0, f.samples, 0, 1e6).failedAt, 0) << f.message;
    EXPECT_TRUE(ModLogHas(f.message)) << f.message;
  }
}

TEST_F(ModulationPskTest, QpskConstellationAndGainRule) {
  // Defaults: 00, 01, 10, 11 at 45, 135, -135, -45 degrees, amplitude 1.
  SetUpModPulse(MOD_QPSK);
  UseBits("00011011");
  ModRun run = RunModRepetition(0, 40, 0, 1e6);
  ASSERT_EQ(run.ok, 1);
  const double deg[4] = {45, 135, -135, -45};
  for (int s = 0; s < 4; ++s) {
    EXPECT_NEAR(run.phase[static_cast<size_t>(10 * s + 3)], deg[s] * kPi / 180, 1e-12) << s;
    EXPECT_NEAR(run.amp[static_cast<size_t>(10 * s + 3)], 1.0, 1e-15) << s;
  }

  // Rotation 90 per symbol, offset 10, angle 30: symbol s of "00" at
  // 30 + 10 + 90 s degrees.
  SetUpModPulse(MOD_QPSK, {{"Rotation [deg]", "90"}, {"Phase Ofs [deg]", "10"}, {"Angle [deg]", "30"}});
  UseBits("000000");
  run = RunModRepetition(0, 30, 0, 1e6);
  for (int s = 0; s < 3; ++s)
    EXPECT_NEAR(run.phase[static_cast<size_t>(10 * s)], (40.0 + 90 * s) * kPi / 180, 1e-12) << s;

  // Gain rule: the ellipse with semi-axis gI on I and gQ on Q; at 45 degrees
  // gI*gQ / sqrt((gI^2 + gQ^2) / 2), the same for either order.
  auto amplitudeAt45 = [&](const char* gi, const char* gq) {
    SetUpModPulse(MOD_QPSK, {{"Gain I", gi}, {"Gain Q", gq}});
    UseBits("00");
    ModRun r = RunModRepetition(0, 4, 0, 1e6);
    EXPECT_EQ(r.ok, 1);
    return r.amp[2];
  };
  EXPECT_NEAR(amplitudeAt45("0.5", "1"), 0.5 / std::sqrt(0.625), 1e-12);
  EXPECT_NEAR(amplitudeAt45("1", "0.5"), 0.6324555320336759, 1e-12);
  EXPECT_NEAR(amplitudeAt45("0.7", "0.7"), 0.7, 1e-12);
  // Gains below 0.01 are raised to 0.01; at 0 degrees (pure I) the amplitude
  // is gI.
  SetUpModPulse(MOD_QPSK, {{"Gain I", "0"}, {"Gain Q", "0.5"}, {"Angle [deg]", "0"}});
  UseBits("00");
  run = RunModRepetition(0, 4, 0, 1e6);
  EXPECT_NEAR(run.amp[1], 0.01, 1e-12);
  EXPECT_EQ(ModState.pskGainI, 0.01);
}

// Gain I scales the in-phase axis and Gain Q the quadrature axis, for every
// type that applies the gains: 8PSK "111" lies on I, "010" on Q.
TEST_F(ModulationPskTest, GainsActOnTheirOwnAxes) {
  SetUpModPulse(MOD_8PSK, {{"Gain I", "0.5"}, {"Gain Q", "1"}});
  UseBits("111010");
  ModRun run = RunModRepetition(0, 20, 0, 1e6);
  ASSERT_EQ(run.ok, 1);
  EXPECT_NEAR(std::fabs(run.amp[5] * std::cos(run.phase[5])), 0.5, 1e-12);  // I
  EXPECT_NEAR(run.amp[5] * std::sin(run.phase[5]), 0.0, 1e-12);
  EXPECT_NEAR(std::fabs(run.amp[15] * std::sin(run.phase[15])), 1.0, 1e-12);  // Q
  EXPECT_NEAR(run.amp[15] * std::cos(run.phase[15]), 0.0, 1e-12);
  // QPSK with the constellation turned onto the axes: "00" at 0 degrees.
  SetUpModPulse(MOD_QPSK, {{"Gain I", "1"}, {"Gain Q", "0.25"}, {"Angle [deg]", "0"}});
  UseBits("00");
  run = RunModRepetition(0, 4, 0, 1e6);
  EXPECT_NEAR(run.amp[1] * std::cos(run.phase[1]), 1.0, 1e-12);
}

// A symbol that starts exactly on a sample owns it: the symbol of sample n
// is floor(n * count / span) in integers (5.4, 2.2 and 1.2857 samples per
// symbol), for BPSK, 8PSK and ASK alike.
TEST_F(ModulationPskTest, SymbolBoundariesInExactArithmetic) {
  struct Case {
    int bits, span;
  } cases[] = {{20, 108}, {50, 110}, {112, 144}};
  for (const Case& c : cases) {
    std::string bits;
    for (int i = 0; i < c.bits; ++i) bits += (i % 2) ? '0' : '1';
    SCOPED_TRACE(testing::Message() << c.bits << " bits over " << c.span);
    SetUpModPulse(MOD_BARKER);
    UseBits(bits);
    ModRun run = RunModRepetition(0, c.span, 0, 1e6);
    ASSERT_EQ(run.ok, 1);
    SetUpModPulse(MOD_ASK, {{"Depth [%]", "50"}});
    UseBits(bits);
    ModRun ask = RunModRepetition(0, c.span, 0, 1e6);
    ASSERT_EQ(ask.ok, 1);
    for (int n = 0; n <= c.span; ++n) {
      const int sym = std::min(c.bits - 1, n * c.bits / c.span);
      ASSERT_EQ(run.phase[static_cast<size_t>(n)], sym % 2 ? 0.0 : kPi) << "BPSK sample " << n;
      ASSERT_EQ(ask.amp[static_cast<size_t>(n)], sym % 2 ? 0.5 : 1.0) << "ASK sample " << n;
    }
  }
  // 8PSK, 20 symbols ("111" and "000" alternating) over 108 samples.
  std::string tribits;
  for (int i = 0; i < 20; ++i) tribits += (i % 2) ? "000" : "111";
  SetUpModPulse(MOD_8PSK);
  UseBits(tribits);
  ModRun run = RunModRepetition(0, 108, 0, 1e6);
  ASSERT_EQ(run.ok, 1);
  for (int n = 0; n <= 108; ++n) {
    const int sym = std::min(19, n * 20 / 108);
    ASSERT_NEAR(AngleDiff(run.phase[static_cast<size_t>(n)], sym % 2 ? 3 * kPi / 4 : 0.0), 0.0, 1e-12) << n;
  }
  // Polyphase P4, M = 20 over 108 samples: each chip's samples share its
  // phase, first to last.
  SetUpModPulse(MOD_POLYPHASE, {{"Type", "4"}, {"M (Length)", "20"}});
  run = RunModRepetition(0, 108, 0, 1e6);
  ASSERT_EQ(run.ok, 1);
  for (int n = 0; n < 108; ++n) {
    const int chip = n * 20 / 108;
    const int last = ((chip + 1) * 108 + 19) / 20 - 1;  // ceil((chip + 1) * 108 / 20) - 1
    ASSERT_EQ(run.phase[static_cast<size_t>(n)], run.phase[static_cast<size_t>(last)]) << n;
  }
}

TEST_F(ModulationPskTest, OffsetContinuousAndDifferentialQpsk) {
  // O-QPSK "0011", S = 10: the first bit runs half a symbol ahead.
  SetUpModPulse(MOD_QPSK, {{"Type", "1"}});
  UseBits("0011");
  ModRun run = RunModRepetition(0, 20, 0, 1e6);
  ASSERT_EQ(run.ok, 1);
  for (int n = 0; n <= 20; ++n) {
    double want = n < 5 ? -3 * kPi / 4 : (n < 10 ? -kPi / 4 : kPi / 4);
    ASSERT_EQ(run.phase[static_cast<size_t>(n)], want) << n;
    ASSERT_EQ(run.amp[static_cast<size_t>(n)], 1.0);
  }

  // C-QPSK: each symbol's angle spread as a ramp over trunc(S) samples.
  SetUpModPulse(MOD_QPSK, {{"Type", "2"}});
  UseBits("0001");
  run = RunModRepetition(0, 20, 0, 1e6);
  ASSERT_EQ(run.ok, 1);
  EXPECT_NEAR(run.phase[9], 10 * (kPi / 4) / 10, 1e-12);
  EXPECT_NEAR(run.phase[19], kPi / 4 + 10 * (3 * kPi / 4) / 10, 1e-12);
  EXPECT_NEAR(run.amp[19], 1.0, 1e-12);
  // Fewer than one sample per symbol: each sample takes the whole angle.
  SetUpModPulse(MOD_QPSK, {{"Type", "2"}, {"Gain Q", "0.5"}});
  UseBits("00000000");
  run = RunModRepetition(0, 2, 0, 1e6);
  ASSERT_EQ(run.ok, 1);
  EXPECT_LT(ModState.samplesPerSymbol, 1.0);
  for (int n = 0; n <= 2; ++n) {
    EXPECT_NEAR(run.phase[static_cast<size_t>(n)], (n + 1) * kPi / 4, 1e-12) << n;
    EXPECT_TRUE(std::isfinite(run.amp[static_cast<size_t>(n)])) << n;
  }

  // D-QPSK "01", "01": +pi/2 at the start of each symbol, held between.
  SetUpModPulse(MOD_QPSK, {{"Type", "3"}});
  UseBits("0101");
  run = RunModRepetition(0, 20, 0, 1e6, 0.0, 0.2);
  ASSERT_EQ(run.ok, 1);
  EXPECT_NEAR(run.phase[0], 0.2 + kPi / 2, 1e-15);
  EXPECT_NEAR(run.phase[9], 0.2 + kPi / 2, 1e-15);
  EXPECT_NEAR(run.phase[10], 0.2 + kPi, 1e-15);
  EXPECT_NEAR(run.phase[20], 0.2 + kPi, 1e-15);
}

TEST_F(ModulationPskTest, MskTurnsEachBitByAQuarterCycle) {
  // 100 kHz at 1 MHz: S = 10; bits 1, 0, 1, 1 then the phase holds.
  SetUpModPulse(MOD_MSK, {{"Symbol Rate [kHz]", "100"}});
  UseBits("1011");
  ModRun run = RunModRepetition(0, 60, 0, 1e6);
  ASSERT_EQ(run.ok, 1);
  const double sign[4] = {1, -1, 1, 1};
  double completed = 0.0;
  for (int n = 0; n <= 60; ++n) {
    int k = n / 10;
    double want = k < 4 ? completed + sign[k] * (kPi / 2) * (n % 10 + 1) / 10 : completed;
    if (k < 4 && n % 10 == 9) completed += sign[k] * kPi / 2;
    ASSERT_NEAR(run.phase[static_cast<size_t>(n)], want, 1e-12) << n;
    ASSERT_EQ(run.amp[static_cast<size_t>(n)], 1.0);
  }
}

TEST_F(ModulationPskTest, EightPskAndVsb) {
  // The default Type text "8PSK" selects item 0 like a stored "0".
  SetUpModPulse(MOD_8PSK, {{"Rotation [deg]", "1"}});
  UseBits("000001010011100101110111");
  ModRun run = RunModRepetition(0, 80, 0, 1e6);
  ASSERT_EQ(run.ok, 1);
  const double deg[8] = {135, 180, 90, 45, -90, -135, -45, 0};
  for (int s = 0; s < 8; ++s) {
    EXPECT_NEAR(AngleDiff(run.phase[static_cast<size_t>(10 * s + 4)], (deg[s] + s) * kPi / 180), 0.0, 1e-12) << s;
    EXPECT_NEAR(run.amp[static_cast<size_t>(10 * s + 4)], 1.0, 1e-12);
  }
  SetUpModPulse(MOD_8PSK, {{"Type", "0"}});
  UseBits("000");
  run = RunModRepetition(0, 5, 0, 1e6);
  EXPECT_NEAR(run.phase[2], 3 * kPi / 4, 1e-12);
  SetUpModPulse(MOD_8PSK, {{"Type", "1"}});
  UseBits("000");
  run = RunModRepetition(0, 5, 0, 1e6, 0.0, 0.4);
  EXPECT_EQ(run.phase[2], 0.4);

  // VSB8: "011" at a = 0.2021 on the pi/4 diagonal; the upper half at -3pi/4.
  SetUpModPulse(MOD_VSB);
  UseBits("000001010011100101110111");
  run = RunModRepetition(0, 80, 0, 1e6);
  ASSERT_EQ(run.ok, 1);
  const double a8[8] = {1.4142, 1.0102, 0.6061, 0.2021, 0.2021, 0.6061, 1.0102, 1.4142};
  for (int v = 0; v < 8; ++v) {
    EXPECT_EQ(run.amp[static_cast<size_t>(10 * v + 4)], a8[v] / 1.4142) << v;
    EXPECT_EQ(run.phase[static_cast<size_t>(10 * v + 4)], v < 4 ? kPi / 4 : -3 * kPi / 4) << v;
  }
  SetUpModPulse(MOD_VSB16);
  UseBits("0111" "1000" "1101");
  run = RunModRepetition(0, 30, 0, 1e6);
  ASSERT_EQ(run.ok, 1);
  EXPECT_EQ(run.amp[5], 0.0943 / 1.4142);
  EXPECT_EQ(run.phase[5], kPi / 4);
  EXPECT_EQ(run.amp[15], 0.0943 / 1.4142);
  EXPECT_EQ(run.phase[15], -3 * kPi / 4);
  EXPECT_EQ(run.amp[25], 1.037 / 1.4142);
}

TEST_F(ModulationPskTest, AskAndAm) {
  SetUpModPulse(MOD_ASK, {{"Depth [%]", "30"}});
  UseBits("10");
  ModRun run = RunModRepetition(0, 20, 0, 1e6, 0.0, 0.7);
  ASSERT_EQ(run.ok, 1);
  EXPECT_EQ(run.amp[3], 1.0);
  EXPECT_NEAR(run.amp[13], 0.7, 1e-15);
  EXPECT_EQ(run.phase[3], 0.0);

  // Position coding, 100 %: a '1' is on in its first half, a '0' in its second.
  SetUpModPulse(MOD_ASK, {{"Coding", "1"}});
  UseBits("10");
  run = RunModRepetition(0, 20, 0, 1e6);
  const double want[20] = {1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1};
  for (int n = 0; n < 20; ++n) EXPECT_EQ(run.amp[static_cast<size_t>(n)], want[n]) << n;

  // AM Standard with no depth: 0.5 at pi/2 throughout.
  SetUpModPulse(MOD_AM, {{"Depth [%]", "0"}});
  run = RunModRepetition(0, 50, 0, 1e6);
  ASSERT_EQ(run.ok, 1);
  for (size_t n = 0; n < run.amp.size(); ++n) {
    ASSERT_EQ(run.amp[n], 0.5);
    ASSERT_EQ(run.phase[n], kPi / 2);
  }

  // LSB+USB: I = 0, Q = the difference of the two sidebands, as magnitude
  // and angle.
  SetUpModPulse(MOD_AM, {{"AM Type", "3.7"}, {"Mod Freq [kHz]", "20"}, {"Depth [%]", "60"}});
  run = RunModRepetition(0, 100, 0, 1e6);
  ASSERT_EQ(run.ok, 1);
  for (int n = 0; n <= 100; ++n) {
    double th = 2 * kPi * 0.02 * n;
    double q = 0.3 * std::sin(th - kPi / 2) - 0.3 * std::sin(th + kPi / 2);
    ASSERT_NEAR(run.amp[static_cast<size_t>(n)], std::fabs(q), 1e-6) << n;
    if (std::fabs(q) > 1e-3) {
      ASSERT_NEAR(AngleDiff(run.phase[static_cast<size_t>(n)], q > 0 ? kPi / 2 : -kPi / 2), 0.0, 1e-6) << n;
    }
  }
  // Single sidebands in I + jQ, where a positive frequency lies above the
  // carrier: "LSB" (1) has its line at -fm, "USB" (2) at +fm, each of
  // amplitude m/2 beside the carrier term. DFT over the first 100 samples,
  // two whole periods of 20 kHz at 1 MHz.
  for (int type : {1, 2}) {
    SetUpModPulse(MOD_AM, {{"AM Type", std::to_string(type)}, {"Mod Freq [kHz]", "20"}, {"Depth [%]", "100"}});
    run = RunModRepetition(0, 100, 0, 1e6);
    ASSERT_EQ(run.ok, 1);
    auto line = [&](int bin) {
      std::complex<double> sum = 0.0;
      for (int n = 0; n < 100; ++n)
        sum += std::polar(run.amp[static_cast<size_t>(n)], run.phase[static_cast<size_t>(n)]) *
               std::polar(1.0, -2 * kPi * bin * n / 100.0);
      return std::abs(sum) / 100.0;
    };
    EXPECT_NEAR(line(type == 1 ? -2 : 2), 0.5, 1e-6) << type;
    EXPECT_NEAR(line(type == 1 ? 2 : -2), 0.0, 1e-6) << type;
    EXPECT_NEAR(line(0), std::sqrt(0.5), 1e-6) << type;
  }
  // An AM type beyond the list leaves amplitude and phase as set.
  SetUpModPulse(MOD_AM, {{"AM Type", "4"}});
  run = RunModRepetition(0, 10, 0, 1e6, 0.0, 0.1);
  EXPECT_EQ(run.amp[5], 1.0);
  EXPECT_EQ(run.phase[5], 0.1);
}
