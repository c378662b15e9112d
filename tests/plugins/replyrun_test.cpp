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

// Amplitude and marker by the reply's formulas in double precision: closed
// preamble intervals, bit i in [8 us + i us, 9 us + i us).
std::pair<double, int> Expected(const std::string& bits, int n, double srate) {
  const double t = n / srate;
  if (t <= 0.5e-6) return {1, 1};
  if ((t >= 1.0e-6 && t <= 1.5e-6) || (t >= 3.5e-6 && t <= 4.0e-6) || (t >= 4.5e-6 && t <= 5.0e-6)) return {1, 0};
  for (std::size_t i = 0; t >= 8e-6 && i < bits.size(); ++i) {
    const double start = 8e-6 + i * 1e-6;
    if (t >= start && t < 9e-6 + i * 1e-6) {
      const bool first = t < start + 0.5e-6;
      return {(bits[i] == '1') == first ? 1.0 : 0.0, (i == 0 && first) ? 2 : 0};
    }
  }
  return {0, 0};
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
