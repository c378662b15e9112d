// Replyrun through the host's call order: 56- and 112-bit replies at two
// sample rates, the closed preamble intervals, and the refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/plugins/ModHost.h"

namespace {

const cz::test::ModLib& Lib() {
  static const cz::test::ModLib m = cz::test::OpenModLib("replyrun");
  return m;
}

std::string TestBits(int count, char first) {
  std::string s(count, '0');
  unsigned x = 0x1234567u;
  for (char& c : s) c = ((x = x * 1664525u + 1013904223u) >> 20) & 1 ? '1' : '0';
  s[0] = first;
  return s;
}

// Amplitude and marker by the reply's layout in exact integer arithmetic:
// at a whole rate, sample n lies n * 2,000,000 / rate half-microsecond cells
// from the start; the preamble pulses are closed ([0, 0.5 us] ...), bit i
// takes [8 us + i us, 9 us + i us).
std::pair<double, int> Expected(const std::string& bits, int n, double srate) {
  const long long num = static_cast<long long>(n) * 2000000, rate = static_cast<long long>(srate);
  const long long cell = num / rate;
  const bool on_edge = num % rate == 0;
  for (long long begin : {0, 2, 7, 9}) {
    if (cell == begin || (cell == begin + 1 && on_edge)) return {1, begin == 0 ? 1 : 0};
  }
  if (cell < 16 || cell >= 16 + 2 * static_cast<long long>(bits.size())) return {0, 0};
  const long long i = (cell - 16) / 2;
  const bool first = (cell - 16) % 2 == 0;
  return {(bits[i] == '1') == first ? 1.0 : 0.0, (i == 0 && first) ? 2 : 0};
}

cz::test::PulseSetup Reply(double srate, const std::string& mbits, double on_us) {
  cz::test::PulseSetup p;
  p.srate = srate;
  p.ton = static_cast<int>(std::lround(on_us * 1e-6 * srate));
  p.mbits = mbits;
  return p;
}

TEST(Replyrun, RepliesOf56And112BitsAtTwoRates) {
  ASSERT_NE(Lib().handle, nullptr) << dlerror();
  Lib().init();  // each reply takes over at the host's "done"
  for (int nbits : {56, 112}) {
    for (double srate : {10e6, 6e6}) {
      SCOPED_TRACE(testing::Message() << nbits << " bits at " << srate << " Hz");
      const std::string bits = TestBits(nbits, srate > 8e6 ? '1' : '0');
      // 20 us longer than the reply, which stays off behind 8 + n us.
      const cz::test::PulseSetup p = Reply(srate, bits, nbits + 28);
      const cz::test::PulseRun run = cz::test::RunPulse(Lib(), p);
      ASSERT_EQ(run.failed_sample, -1) << run.error;
      EXPECT_TRUE(run.rows.empty());
      ASSERT_EQ(run.samples.size(), static_cast<std::size_t>(p.ton + 1));
      for (int n = 0; n <= p.ton; ++n) {
        const auto [amp, marker] = Expected(bits, n, srate);
        ASSERT_EQ(run.samples[n].amp, amp) << "sample " << n;
        ASSERT_EQ(run.samples[n].marker, marker) << "sample " << n;
        ASSERT_EQ(run.samples[n].phase, 0.0);
      }
    }
  }
}

// Bit i's first half starts exactly at 8 us + i us; at whole-MHz rates that
// sample belongs to bit i, and no sample between 8 us and the reply's end
// falls into no bit.
TEST(Replyrun, EverySampleInItsBitAtWholeMegahertzRates) {
  for (double srate : {2e6, 10e6, 100e6, 1000e6}) {
    for (int nbits : {56, 112}) {
      for (const std::string& bits : {std::string(nbits, '1'), TestBits(nbits, '0')}) {
        SCOPED_TRACE(testing::Message() << srate << " Hz, " << nbits << " bits " << bits.substr(0, 8));
        Lib().init();
        const cz::test::PulseRun run = cz::test::RunPulse(Lib(), Reply(srate, bits, nbits + 9));
        ASSERT_EQ(run.failed_sample, -1) << run.error;
        const long long per_us = static_cast<long long>(srate / 1e6);
        for (std::size_t n = 0; n < run.samples.size(); ++n) {
          const auto [amp, marker] = Expected(bits, static_cast<int>(n), srate);
          ASSERT_EQ(run.samples[n].amp, amp) << "sample " << n;
          ASSERT_EQ(run.samples[n].marker, marker) << "sample " << n;
        }
        for (int i = 0; i < nbits; ++i) {
          long long on = 0;
          for (long long n = (8 + i) * per_us; n < (9 + i) * per_us; ++n) on += run.samples[n].amp == 1.0;
          ASSERT_EQ(on, per_us / 2) << "bit " << i;
        }
      }
    }
  }
  Lib().init();
  const auto s = cz::test::RunPulse(Lib(), Reply(10e6, std::string(112, '1'), 120)).samples;
  for (int n : {130, 210, 260, 700, 750, 1040}) EXPECT_EQ(s[n].amp, 1.0) << n;
}

TEST(Replyrun, ClosedPreambleAndFirstBitMarker) {
  for (char first : {'0', '1'}) {
    SCOPED_TRACE(first);
    Lib().init();
    const auto s = cz::test::RunPulse(Lib(), Reply(10e6, TestBits(56, first), 64)).samples;  // 0.1 us each
    ASSERT_EQ(s.size(), 641u);
    EXPECT_EQ(s[5].amp, 1.0);  // 0.5 us and 1.5 us belong to their pulses
    EXPECT_EQ(s[5].marker, 1);
    EXPECT_EQ(s[6].amp, 0.0);
    EXPECT_EQ(s[15].amp, 1.0);
    // Marker 2 in [8.0, 8.5 us) only, whatever bit 0 is.
    for (int n = 75; n < 95; ++n) EXPECT_EQ(s[n].marker, (n >= 80 && n < 85) ? 2 : 0) << n;
    EXPECT_EQ(s[80].amp, first == '1' ? 1.0 : 0.0);
    EXPECT_EQ(s[85].amp, first == '1' ? 0.0 : 1.0);
  }
}

TEST(Replyrun, RefusesPulsesItCannotProduce) {
  const char* kBits = "Invalid number of bits. Use 56 or 112.";
  const char* kShort = "Minimum on-time too short.";
  std::vector<std::pair<cz::test::PulseSetup, const char*>> cases = {
      {Reply(10e6, "", 64), kBits},
      {Reply(10e6, TestBits(100, '1'), 120), kBits},
      {Reply(10e6, TestBits(56, '1'), 63), kShort},
      {Reply(6e6, TestBits(56, '1'), 63), kShort},
      {Reply(6e6, TestBits(112, '1'), 119), kShort},
      {Reply(0.0, TestBits(56, '1'), 64), "Invalid sample rate. Use a sample rate above 0."},
      {Reply(10e6, TestBits(56, '1'), 64), "Use zero rise and fall time with this plugin."}};
  cases.back().first.trise = 2;
  for (const auto& [p, error] : cases) {
    Lib().init();
    const cz::test::PulseRun run = cz::test::RunPulse(Lib(), p);
    EXPECT_EQ(run.failed_sample, 0) << error;
    EXPECT_EQ(run.error, error);
  }
  // 64 us for 56 bits and 120 us for 112 are enough; 120 digits give 112
  // bits; the whole text of 10,001 characters is read.
  for (double srate : {10e6, 6e6}) {
    Lib().init();
    EXPECT_EQ(cz::test::RunPulse(Lib(), Reply(srate, TestBits(56, '1'), 64)).failed_sample, -1);
    EXPECT_EQ(cz::test::RunPulse(Lib(), Reply(srate, TestBits(120, '1'), 120)).failed_sample, -1);
    const std::string tail = std::string(10001 - 56, ' ') + TestBits(56, '1');
    EXPECT_EQ(cz::test::RunPulse(Lib(), Reply(srate, tail, 64)).failed_sample, -1);
  }
}

}  // namespace
