// Skywhisk through the host's call order: the 112-bit squitter's pulse
// positions at two sample rates, the grid edges, and the refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "tests/plugins/ModHost.h"

namespace {

const cz::test::ModLib& Lib() {
  static const cz::test::ModLib m = cz::test::OpenModLib("skywhisk");
  return m;
}

// 112 fixed pseudo-random bits with bit 0 = 1, as '0'/'1' text.
std::string TestBits() {
  std::string s(112, '0');
  unsigned x = 0x2545F491u;
  for (char& c : s) c = ((x = x * 1103515245u + 12345u) >> 16) & 1 ? '1' : '0';
  s[0] = '1';
  return s;
}

// Amplitude and marker by the squitter's formulas in double precision; the
// bit index is the truncated (t - 8 us) / 1 us.
std::pair<double, int> Expected(const std::string& bits, int n, double srate) {
  const double t = n / srate;
  if (t < 0.5e-6) return {1, 1};
  if ((t >= 1.0e-6 && t < 1.5e-6) || (t >= 3.5e-6 && t < 4.0e-6) || (t >= 4.5e-6 && t < 5.0e-6)) return {1, 0};
  if (t < 8e-6 || t >= 120e-6) return {0, 0};
  const int d = std::min(111, static_cast<int>((t - 8e-6) / 1e-6));
  const bool first = t < 8e-6 + d * 1e-6 + 0.5e-6;
  return {(bits[d] == '1') == first ? 1.0 : 0.0, d == 0 ? 2 : 0};
}

cz::test::PulseSetup Squitter(double srate, const std::string& mbits, double on_us = 120) {
  cz::test::PulseSetup p;
  p.srate = srate;
  p.ton = static_cast<int>(std::lround(on_us * 1e-6 * srate));
  p.mbits = mbits;
  return p;
}

TEST(Skywhisk, SquitterPulsePositionsAtTwoRates) {
  ASSERT_NE(Lib().handle, nullptr) << dlerror();
  // At 10 MHz the bits come behind 9,889 other characters (the host's longest
  // text, kept whole); at 7 MHz the inverted bits, each byte followed by a
  // blank, take over at the next "done".
  const std::string bits = TestBits();
  std::string inverted, spaced;
  for (int i = 0; i < 112; ++i) {
    inverted += bits[i] == '1' ? '0' : '1';
    spaced += inverted.substr(i, 1) + (i % 8 == 7 ? " " : "");
  }
  Lib().init();
  for (const auto& [srate, text, want] : {std::tuple{10e6, std::string(10001 - 112, '-') + bits, bits},
                                          std::tuple{7e6, spaced, inverted}}) {
    SCOPED_TRACE(srate);
    const cz::test::PulseSetup p = Squitter(srate, text, 125);  // longer than the burst
    const cz::test::PulseRun run = cz::test::RunPulse(Lib(), p);
    ASSERT_EQ(run.failed_sample, -1) << run.error;
    EXPECT_TRUE(run.rows.empty());
    ASSERT_EQ(run.samples.size(), static_cast<std::size_t>(p.ton + 1));
    for (int n = 0; n <= p.ton; ++n) {
      const auto [amp, marker] = Expected(want, n, srate);
      ASSERT_EQ(run.samples[n].amp, amp) << "sample " << n;
      ASSERT_EQ(run.samples[n].marker, marker) << "sample " << n;
      ASSERT_EQ(run.samples[n].phase, 0.0);
    }
  }
}

TEST(Skywhisk, GridEdges) {
  Lib().init();
  const auto s = cz::test::RunPulse(Lib(), Squitter(10e6, TestBits())).samples;  // 0.1 us per sample
  ASSERT_EQ(s.size(), 1201u);
  EXPECT_EQ(s[4].marker, 1);
  EXPECT_EQ(s[5].amp, 0.0);  // 0.5 us: the first pulse is over
  EXPECT_EQ(s[10].amp, 1.0);  // 1.0 us: the second begins
  // Bit 0 = 1: on in [8.0, 8.5 us), off in [8.5, 9.0 us), marker 2 throughout.
  for (int n = 80; n < 90; ++n) {
    EXPECT_EQ(s[n].amp, n < 85 ? 1.0 : 0.0) << n;
    EXPECT_EQ(s[n].marker, 2) << n;
  }
  EXPECT_EQ(s[1200].amp, 0.0);  // 120 us
}

// Each refusal stops the first sample with its text, and leaves the bits
// unparsed, so the next call checks again.
TEST(Skywhisk, RefusesPulsesItCannotProduce) {
  const std::string bits = TestBits();
  std::vector<std::pair<cz::test::PulseSetup, const char*>> cases = {
      {Squitter(10e6, bits.substr(0, 111)), "Invalid number of bits. Use 112."},
      {Squitter(10e6, std::string(10001, ' ')), "Invalid number of bits. Use 112."},
      {Squitter(10e6, bits, 119), "Minimum on-time too short. Use 120us."},
      {Squitter(7e6, bits, 119), "Minimum on-time too short. Use 120us."}};
  for (double srate : {0.0, -10e6, std::nan("")}) {
    cases.push_back({Squitter(10e6, bits), "Invalid sample rate. Use a sample rate above 0."});
    cases.back().first.srate = srate;
  }
  cases.push_back({Squitter(10e6, bits), "Use zero rise and fall time with this plugin."});
  cases.back().first.tfall = 3;
  for (const auto& [p, error] : cases) {
    Lib().init();
    const cz::test::PulseRun run = cz::test::RunPulse(Lib(), p);
    EXPECT_EQ(run.failed_sample, 0) << error;
    EXPECT_EQ(run.error, error);
  }
  // A fall time mended without "done" is taken on the next call.
  int zero = 0;
  Lib().setparam(CZ_KEY_TFALL, &zero);
  double amp = 1.0, phase = 0.0;
  unsigned char marker = 0;
  EXPECT_EQ(Lib().engine2(&marker, &amp, &phase, 0), 1);
  EXPECT_EQ(marker, 1);

  // 120 us exactly is enough at both rates; 113 digits use the first 112.
  for (double srate : {10e6, 7e6}) {
    Lib().init();
    EXPECT_EQ(cz::test::RunPulse(Lib(), Squitter(srate, bits + "0")).failed_sample, -1);
  }
}

}  // namespace
