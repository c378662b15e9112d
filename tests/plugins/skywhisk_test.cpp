// Skywhisk driven through the host's call order: the 112-bit squitter's pulse
// positions at two sample rates, the refusals, and the bit text kept whole.
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
  static const ModLib m = cz::test::OpenModLib("skywhisk");
  return m;
}

// 112 fixed pseudo-random bits, bit 0 = 1.
std::vector<int> TestBits() {
  std::vector<int> b(112);
  unsigned x = 0x2545F491u;
  for (int i = 0; i < 112; ++i) {
    x = x * 1103515245u + 12345u;
    b[i] = (x >> 16) & 1;
  }
  b[0] = 1;
  return b;
}

std::string BitText(const std::vector<int>& b, const std::string& sep = "") {
  std::string s;
  for (std::size_t i = 0; i < b.size(); ++i) {
    if (i > 0 && i % 8 == 0) s += sep;
    s += b[i] ? '1' : '0';
  }
  return s;
}

struct Expect {
  double amp;
  int marker;
};

// The squitter as the sample times compute in double precision: the bit
// index is the truncated offset (t - 8 us) / 1 us.
Expect ByFormula(const std::vector<int>& bits, int n, double srate) {
  const double t = n / srate;
  if (t >= 0 && t < 0.5e-6) return {1, 1};
  if ((t >= 1.0e-6 && t < 1.5e-6) || (t >= 3.5e-6 && t < 4.0e-6) || (t >= 4.5e-6 && t < 5.0e-6))
    return {1, 0};
  if (t < 8e-6 || t >= 120e-6) return {0, 0};
  int d = static_cast<int>((t - 8e-6) / 1e-6);
  d = d < 0 ? 0 : (d > 111 ? 111 : d);
  const bool first = t < 8e-6 + d * 1e-6 + 0.5e-6;
  return {(bits[d] == 1) == first ? 1.0 : 0.0, d == 0 ? 2 : 0};
}

// The ideal grid in exact integer arithmetic, in half-microsecond slots:
// slot k = floor(2 n 1e6 / srate). Samples exactly on a slot edge are the
// ones where double-precision times may fall either way; onEdge tells.
Expect Ideal(const std::vector<int>& bits, long long n, long long srate, bool* on_edge) {
  const long long num = 2 * n * 1000000;
  const long long k = num / srate;
  *on_edge = num % srate == 0;
  if (k == 0) return {1, 1};
  if (k == 2 || k == 7 || k == 9) return {1, 0};
  if (k < 16 || k >= 240) return {0, 0};
  const long long d = (k - 16) / 2;
  const bool first = (k - 16) % 2 == 0;
  return {(bits[d] == 1) == first ? 1.0 : 0.0, d == 0 ? 2 : 0};
}

PulseSetup Squitter(double srate, const std::string& mbits) {
  PulseSetup p;
  p.srate = srate;
  p.ton = static_cast<int>(std::ceil(120e-6 * srate));
  p.mbits = mbits;
  return p;
}

TEST(Skywhisk, SquitterPulsePositionsAtTwoRates) {
  ASSERT_TRUE(Lib().handle) << Lib().load_error;
  const std::vector<int> bits = TestBits();
  for (long long srate : {10000000LL, 7000000LL}) {
    SCOPED_TRACE(srate);
    Lib().init();
    // Separators between the bytes are skipped.
    PulseSetup p = Squitter(static_cast<double>(srate), BitText(bits, " "));
    p.ton += 40;  // longer than the burst: the tail stays off
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
    }
    // Only a few samples on a bit edge move by the truncated bit index.
    EXPECT_LE(off_grid, 4);
  }
}

TEST(Skywhisk, GridEdgesAndMarkers) {
  Lib().init();
  PulseRun run = cz::test::RunPulse(Lib(), Squitter(10e6, BitText(TestBits())));
  ASSERT_EQ(run.failed_sample, -1) << run.error;
  const auto& s = run.samples;  // 0.1 us per sample
  EXPECT_EQ(s[4].amp, 1.0);
  EXPECT_EQ(s[4].marker, 1);
  EXPECT_EQ(s[5].amp, 0.0);  // 0.5 us: first pulse is over
  EXPECT_EQ(s[10].amp, 1.0);  // 1.0 us: second pulse starts
  EXPECT_EQ(s[10].marker, 0);
  // Bit 0 = 1: on in [8.0, 8.5 us), off in [8.5, 9.0 us), marker 2 throughout.
  for (int n = 80; n < 85; ++n) EXPECT_EQ(s[n].amp, 1.0) << n;
  for (int n = 85; n < 90; ++n) EXPECT_EQ(s[n].amp, 0.0) << n;
  for (int n = 80; n < 90; ++n) EXPECT_EQ(s[n].marker, 2) << n;
  EXPECT_EQ(s[91].marker, 0);
  EXPECT_EQ(s[1200].amp, 0.0);  // 120 us
}

// Each refusal returns 0 with its text before any output is computed, and
// leaves the bits unparsed so that the next call checks again.
TEST(Skywhisk, RefusesPulsesItCannotProduce) {
  const std::string bits112 = BitText(TestBits());
  struct Case {
    const char* what;
    PulseSetup p;
    const char* error;
  };
  std::vector<Case> cases;
  cases.push_back({"111 bits", Squitter(10e6, bits112.substr(0, 111)), "Invalid number of bits. Use 112."});
  PulseSetup rise = Squitter(10e6, bits112);
  rise.trise = 1;
  cases.push_back({"rise", rise, "Use zero rise and fall time with this plugin."});
  PulseSetup fall = Squitter(10e6, bits112);
  fall.tfall = 3;
  cases.push_back({"fall", fall, "Use zero rise and fall time with this plugin."});
  for (double srate : {10e6, 7e6}) {
    PulseSetup shorter = Squitter(srate, bits112);
    shorter.ton = static_cast<int>(std::lround(119e-6 * srate));
    cases.push_back({"119 us", shorter, "Minimum on-time too short. Use 120us."});
  }
  for (double srate : {0.0, -10e6, std::nan("")}) {
    PulseSetup bad = Squitter(10e6, bits112);
    bad.srate = srate;
    cases.push_back({"sample rate", bad, "Invalid sample rate. Use a sample rate above 0."});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Lib().init();
    PulseRun run = cz::test::RunPulse(Lib(), c.p);
    EXPECT_EQ(run.failed_sample, 0);
    EXPECT_EQ(run.error, c.error);
  }

  // 120 us exactly is enough at both rates; 113 digits use the first 112.
  for (double srate : {10e6, 7e6}) {
    Lib().init();
    PulseSetup p = Squitter(srate, bits112 + "0");
    p.ton = static_cast<int>(std::lround(120e-6 * srate));
    PulseRun run = cz::test::RunPulse(Lib(), p);
    EXPECT_EQ(run.failed_sample, -1) << run.error;
  }

  // A refused rise time mended without "done" is taken on the next call.
  Lib().init();
  PulseRun run = cz::test::RunPulse(Lib(), rise);
  ASSERT_EQ(run.failed_sample, 0);
  int zero = 0;
  Lib().setparam(CZ_KEY_TRISE, &zero);
  double amp = 1.0, phase = 0.0;
  unsigned char marker = 0;
  EXPECT_EQ(Lib().engine2(&marker, &amp, &phase, 0), 1);
  EXPECT_EQ(amp, 1.0);
  EXPECT_EQ(marker, 1);
}

// The host passes up to 10,001 characters; the whole text is kept, so bits
// at its very end still count.
TEST(Skywhisk, LongBitTextIsKeptWhole) {
  const std::vector<int> bits = TestBits();
  std::string text(10001 - 112, '-');
  text += BitText(bits);
  ASSERT_EQ(text.size(), 10001u);
  Lib().init();
  PulseRun run = cz::test::RunPulse(Lib(), Squitter(10e6, text));
  ASSERT_EQ(run.failed_sample, -1) << run.error;
  for (int n = 0; n < static_cast<int>(run.samples.size()); ++n)
    ASSERT_EQ(run.samples[n].amp, ByFormula(bits, n, 10e6).amp) << n;

  // A text without a single bit is refused however long it is.
  Lib().init();
  run = cz::test::RunPulse(Lib(), Squitter(10e6, std::string(10001, ' ')));
  EXPECT_EQ(run.error, "Invalid number of bits. Use 112.");
}

}  // namespace
