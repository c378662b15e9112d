// Replyrun driven through the host's call order: 56- and 112-bit replies at
// two sample rates, the closed preamble intervals, and the refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/plugins/ModHost.h"

namespace {

using cz::test::ModLib;
using cz::test::PulseRun;
using cz::test::PulseSetup;

const ModLib& Lib() {
  static const ModLib m = cz::test::OpenModLib("replyrun");
  return m;
}

std::vector<int> TestBits(int count, int first) {
  std::vector<int> b(count);
  unsigned x = 0x1234567u;
  for (int i = 0; i < count; ++i) {
    x = x * 1664525u + 1013904223u;
    b[i] = (x >> 20) & 1;
  }
  b[0] = first;
  return b;
}

std::string BitText(const std::vector<int>& b) {
  std::string s;
  for (int v : b) s += v ? '1' : '0';
  return s;
}

struct Expect {
  double amp;
  int marker;
};

// The reply as the sample times compute in double precision.
Expect ByFormula(const std::vector<int>& bits, int n, double srate) {
  const double t = n / srate;
  if (t >= 0 && t <= 0.5e-6) return {1, 1};
  if ((t >= 1.0e-6 && t <= 1.5e-6) || (t >= 3.5e-6 && t <= 4.0e-6) || (t >= 4.5e-6 && t <= 5.0e-6))
    return {1, 0};
  if (t < 8e-6) return {0, 0};
  for (std::size_t i = 0; i < bits.size(); ++i) {
    const double start = 8e-6 + i * 1e-6;
    if (t >= start && t < 9e-6 + i * 1e-6) {
      const bool first = t < start + 0.5e-6;
      return {(bits[i] == 1) == first ? 1.0 : 0.0, (i == 0 && first) ? 2 : 0};
    }
  }
  return {0, 0};
}

// The ideal reply in exact integer arithmetic, x = 2 n 1e6 / srate counting
// half microseconds; on_edge flags samples exactly on a half-microsecond.
Expect Ideal(const std::vector<int>& bits, long long n, long long srate, bool* on_edge) {
  const long long num = 2 * n * 1000000;
  auto within = [&](long long a, long long b) { return num >= a * srate && num <= b * srate; };
  *on_edge = num % srate == 0;
  if (within(0, 1)) return {1, 1};
  if (within(2, 3) || within(7, 8) || within(9, 10)) return {1, 0};
  const long long k = num / srate;
  if (k < 16 || k >= 16 + 2 * static_cast<long long>(bits.size())) return {0, 0};
  const long long i = (k - 16) / 2;
  const bool first = (k - 16) % 2 == 0;
  return {(bits[i] == 1) == first ? 1.0 : 0.0, (i == 0 && first) ? 2 : 0};
}

PulseSetup Reply(double srate, int nbits, const std::string& mbits) {
  PulseSetup p;
  p.srate = srate;
  p.ton = static_cast<int>(std::ceil((nbits + 8) * 1e-6 * srate));
  p.mbits = mbits;
  return p;
}

TEST(Replyrun, RepliesOf56And112BitsAtTwoRates) {
  ASSERT_TRUE(Lib().handle) << Lib().load_error;
  for (int nbits : {56, 112}) {
    for (long long srate : {10000000LL, 6000000LL}) {
      SCOPED_TRACE(testing::Message() << nbits << " bits at " << srate << " Hz");
      const std::vector<int> bits = TestBits(nbits, 1);
      Lib().init();
      PulseSetup p = Reply(static_cast<double>(srate), nbits, BitText(bits));
      p.ton += static_cast<int>(20e-6 * srate);  // 20 us behind the reply stay off
      PulseRun run = cz::test::RunPulse(Lib(), p);
      ASSERT_EQ(run.failed_sample, -1) << run.error;
      EXPECT_TRUE(run.rows.empty());
      ASSERT_EQ(run.samples.size(), static_cast<std::size_t>(p.ton + 1));
      int off_grid = 0;
      for (int n = 0; n <= p.ton; ++n) {
        const auto& s = run.samples[n];
        const Expect f = ByFormula(bits, n, static_cast<double>(srate));
        bool on_edge = false;
        const Expect ideal = Ideal(bits, n, srate, &on_edge);
        ASSERT_EQ(s.amp, f.amp) << "sample " << n;
        ASSERT_EQ(s.marker, f.marker) << "sample " << n;
        ASSERT_EQ(s.phase, 0.0);
        if (!on_edge) {
          ASSERT_EQ(s.amp, ideal.amp) << "sample " << n;
          ASSERT_EQ(s.marker, ideal.marker) << "sample " << n;
        } else if (s.amp != ideal.amp) {
          ++off_grid;
        }
        if (n / static_cast<double>(srate) >= (nbits + 8) * 1e-6) {
          ASSERT_EQ(s.amp, 0.0) << n;
        }
      }
      EXPECT_LE(off_grid, 4);
    }
  }
}

TEST(Replyrun, ClosedPreambleAndFirstBitMarker) {
  for (int first : {0, 1}) {
    SCOPED_TRACE(first);
    Lib().init();
    PulseRun run = cz::test::RunPulse(Lib(), Reply(10e6, 56, BitText(TestBits(56, first))));
    ASSERT_EQ(run.failed_sample, -1) << run.error;
    const auto& s = run.samples;  // 0.1 us per sample
    EXPECT_EQ(s[5].amp, 1.0);     // 0.5 us, end of the first pulse included
    EXPECT_EQ(s[5].marker, 1);
    EXPECT_EQ(s[6].amp, 0.0);
    EXPECT_EQ(s[15].amp, 1.0);  // 1.5 us
    EXPECT_EQ(s[15].marker, 0);
    EXPECT_EQ(s[51].amp, 0.0);  // between 5.0 and 8.0 us
    // Marker 2 only in [8.0, 8.5 us), whatever bit 0 is.
    for (int n = 75; n < 95; ++n) EXPECT_EQ(s[n].marker, (n >= 80 && n < 85) ? 2 : 0) << n;
    for (int n = 80; n < 85; ++n) EXPECT_EQ(s[n].amp, first ? 1.0 : 0.0) << n;
    for (int n = 85; n < 90; ++n) EXPECT_EQ(s[n].amp, first ? 0.0 : 1.0) << n;
  }
}

TEST(Replyrun, RefusesPulsesItCannotProduce) {
  struct Case {
    const char* what;
    PulseSetup p;
    const char* error;
  };
  const char* kBits = "Invalid number of bits. Use 56 or 112.";
  const char* kShort = "Minimum on-time too short.";
  std::vector<Case> cases;
  cases.push_back({"empty", Reply(10e6, 56, ""), kBits});
  cases.push_back({"100 bits", Reply(10e6, 112, BitText(TestBits(100, 1))), kBits});
  PulseSetup rise = Reply(10e6, 56, BitText(TestBits(56, 1)));
  rise.trise = 2;
  cases.push_back({"rise", rise, "Use zero rise and fall time with this plugin."});
  for (double srate : {10e6, 6e6}) {
    PulseSetup p = Reply(srate, 56, BitText(TestBits(56, 1)));
    p.ton = static_cast<int>(std::lround(63e-6 * srate));
    cases.push_back({"63 us", p, kShort});
    PulseSetup q = Reply(srate, 112, BitText(TestBits(112, 1)));
    q.ton = static_cast<int>(std::lround(119e-6 * srate));
    cases.push_back({"119 us", q, kShort});
  }
  for (double srate : {0.0, -1.0}) {
    PulseSetup p = Reply(10e6, 56, BitText(TestBits(56, 1)));
    p.srate = srate;
    cases.push_back({"sample rate", p, "Invalid sample rate. Use a sample rate above 0."});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Lib().init();
    PulseRun run = cz::test::RunPulse(Lib(), c.p);
    EXPECT_EQ(run.failed_sample, 0);
    EXPECT_EQ(run.error, c.error);
  }

  // Exactly 64 us (56 bits) and 120 us (112 bits) are enough; 120 digits
  // give 112 bits.
  for (double srate : {10e6, 6e6}) {
    Lib().init();
    PulseSetup p = Reply(srate, 56, BitText(TestBits(56, 1)));
    p.ton = static_cast<int>(std::lround(64e-6 * srate));
    EXPECT_EQ(cz::test::RunPulse(Lib(), p).failed_sample, -1);
    PulseSetup q = Reply(srate, 112, BitText(TestBits(120, 1)));
    q.ton = static_cast<int>(std::lround(120e-6 * srate));
    EXPECT_EQ(cz::test::RunPulse(Lib(), q).failed_sample, -1);
  }
}

// The whole bit text of up to 10,001 characters is kept.
TEST(Replyrun, LongBitTextIsKeptWhole) {
  const std::vector<int> bits = TestBits(56, 0);
  std::string text(10001 - 56, ' ');
  text += BitText(bits);
  Lib().init();
  PulseRun run = cz::test::RunPulse(Lib(), Reply(10e6, 56, text));
  ASSERT_EQ(run.failed_sample, -1) << run.error;
  for (int n = 0; n < static_cast<int>(run.samples.size()); ++n)
    ASSERT_EQ(run.samples[n].amp, ByFormula(bits, n, 10e6).amp) << n;
}

}  // namespace
