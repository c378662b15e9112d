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

// Amplitude and marker by the squitter's layout in exact integer arithmetic:
// at a whole rate, sample n lies in half-microsecond cell n * 2,000,000 / rate
// (rounded down), and every edge of the burst is a cell boundary.
std::pair<double, int> Expected(const std::string& bits, int n, double srate) {
  const long long cell = static_cast<long long>(n) * 2000000 / static_cast<long long>(srate);
  if (cell == 0) return {1, 1};
  if (cell == 2 || cell == 7 || cell == 9) return {1, 0};
  if (cell < 16 || cell >= 240) return {0, 0};
  const long long d = (cell - 16) / 2;
  const bool first = (cell - 16) % 2 == 0;
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

// Each bit's first half starts exactly at 8 us + d us; at whole-MHz rates
// that sample belongs to bit d, whatever d, so with all ones every data pulse
// is 0.5 us long and with alternating bits a decoder reads the bits sent.
TEST(Skywhisk, EverySampleInItsBitAtWholeMegahertzRates) {
  std::string alternating(112, '0');
  for (int i = 0; i < 112; i += 2) alternating[i] = '1';
  for (double srate : {2e6, 10e6, 100e6, 1000e6}) {
    for (const std::string& bits : {std::string(112, '1'), alternating, TestBits()}) {
      SCOPED_TRACE(testing::Message() << srate << " Hz, bits " << bits.substr(0, 8));
      Lib().init();
      const cz::test::PulseRun run = cz::test::RunPulse(Lib(), Squitter(srate, bits));
      ASSERT_EQ(run.failed_sample, -1) << run.error;
      const long long per_us = static_cast<long long>(srate / 1e6);
      for (std::size_t n = 0; n < run.samples.size(); ++n) {
        const auto [amp, marker] = Expected(bits, static_cast<int>(n), srate);
        ASSERT_EQ(run.samples[n].amp, amp) << "sample " << n;
        ASSERT_EQ(run.samples[n].marker, marker) << "sample " << n;
      }
      // Every bit's pulse: exactly half a microsecond of samples.
      for (int d = 0; d < 112; ++d) {
        long long on = 0;
        for (long long n = (8 + d) * per_us; n < (9 + d) * per_us; ++n) on += run.samples[n].amp == 1.0;
        ASSERT_EQ(on, per_us / 2) << "bit " << d;
        const long long first = (8 + d) * per_us;
        ASSERT_EQ(run.samples[first].amp, bits[d] == '1' ? 1.0 : 0.0) << "first sample of bit " << d;
      }
    }
  }
  // The samples named by users: 26, 70 and 75 us at 10 MHz, all ones.
  Lib().init();
  const auto s = cz::test::RunPulse(Lib(), Squitter(10e6, std::string(112, '1'))).samples;
  for (int n : {260, 700, 750}) EXPECT_EQ(s[n].amp, 1.0) << n;
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
