// Roundtone driven through the host's call order (mod_engine, no markers):
// its configuration rows, the circular frequency law at two sample rates,
// the +/-Fmax limit, and the refusal of pulses it cannot compute.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/plugins/ModHost.h"

namespace {

using cz::test::ModLib;
using cz::test::PulseRun;
using cz::test::PulseSetup;

// Radians per second for one MHz.
constexpr double kTwoPiMega = 2.0 * 3.141592653589793 * 1e6;

const ModLib& Lib() {
  static const ModLib m = cz::test::OpenModLib("roundtone");
  return m;
}

PulseSetup Pulse(double srate, int trise, int ton, int tfall) {
  PulseSetup p;
  p.srate = srate;
  p.trise = trise;
  p.ton = ton;
  p.tfall = tfall;
  return p;
}

// Instantaneous frequency of sample i in MHz, from the host's phase steps.
std::vector<double> Frequencies(const PulseRun& run, double srate) {
  std::vector<double> f;
  double prev = 0.0;
  for (const auto& s : run.samples) {
    f.push_back((s.phase - prev) * srate / kTwoPiMega);
    prev = s.phase;
  }
  return f;
}

TEST(Roundtone, ConfigurationRows) {
  ASSERT_TRUE(Lib().handle) << Lib().load_error;
  ASSERT_NE(Lib().engine, nullptr);
  Lib().init();
  const auto rows = cz::test::ReadConf(Lib());
  ASSERT_EQ(rows.size(), 3u);
  const char* labels[] = {"Bc [MHz]", "Bl [MHz]", "Fmax [MHz]"};
  const double dflt[] = {1.8, 5.5, 10};
  for (int r = 0; r < 3; ++r) {
    EXPECT_EQ(rows[r].type, "DBL");
    EXPECT_EQ(rows[r].label, labels[r]);
    EXPECT_EQ(rows[r].dflt, dflt[r]);
    EXPECT_EQ(rows[r].min, 0.1);
    EXPECT_EQ(rows[r].max, 100.0);
  }
  // Kept: 1; replaced by 0.1 or unknown row: 0. Fmax = 0 is kept.
  struct Set {
    int row;
    double v;
    int result;
  };
  for (const Set& s : {Set{0, 50, 1}, Set{0, 0, 0}, Set{1, 100.5, 0}, Set{1, 0.1, 1}, Set{2, 0, 1},
                       Set{2, -1, 0}, Set{2, std::nan(""), 0}, Set{3, 1, 0}}) {
    double v = s.v;
    EXPECT_EQ(Lib().setconf(s.row, &v), s.result) << s.row << " " << s.v;
  }
}

// f(v) = Bc v / (2 sqrt(1 - v^2)) + Bl v / 2, v = 2i/N - 1, limited to
// +/-Fmax; the host adds f * 2 pi 1e6 / srate per sample.
TEST(Roundtone, CircularPhaseAtTwoRates) {
  const double bc = 1.8, bl = 5.5, fmax = 10.0;  // the rows' defaults
  for (double srate : {100e6, 30e6}) {
    SCOPED_TRACE(srate);
    Lib().init();
    const PulseSetup p = Pulse(srate, 100, 1800, 100);  // N = 2000
    PulseRun run = cz::test::RunPulse(Lib(), p);
    ASSERT_EQ(run.failed_sample, -1) << run.error;
    const int n = 2000;
    ASSERT_EQ(static_cast<int>(run.samples.size()), n + 1);

    const std::vector<double> f = Frequencies(run, srate);
    double phase = 0.0;
    for (int i = 0; i <= n; ++i) {
      const double v = 2.0 * i / n - 1.0;
      double want = v <= -1 ? -fmax : (v >= 1 ? fmax : bc * v / (2 * std::sqrt(1 - v * v)) + bl * v / 2);
      want = std::fmin(fmax, std::fmax(-fmax, want));
      phase += want * kTwoPiMega / srate;
      ASSERT_EQ(run.samples[i].amp, 1.0);
      ASSERT_NEAR(run.samples[i].phase, phase, 1e-9 * (1 + std::fabs(phase))) << i;
      // An odd law: sample N - i sweeps back what sample i swept.
      ASSERT_NEAR(f[i], -f[n - i], 1e-6) << i;
    }
    EXPECT_NEAR(f[0], -fmax, 1e-9);
    EXPECT_NEAR(f[n], fmax, 1e-9);
    EXPECT_EQ(f[n / 2], 0.0);
    EXPECT_NEAR(f[1500], 1.894, 0.005);  // v = 0.5
    EXPECT_NEAR(f[1990], 9.04, 0.01);    // v = 0.99
    EXPECT_NEAR(f[1999], fmax, 1e-9);    // v = 0.999 would give 22.9 MHz
    EXPECT_NEAR(run.samples[n].phase, 0.0, 1e-9);
  }
}

TEST(Roundtone, ZeroFmaxLeavesThePulseUnmodulated) {
  Lib().init();
  PulseSetup p = Pulse(10e6, 0, 500, 0);
  p.conf = {{2, 0.0}};
  PulseRun run = cz::test::RunPulse(Lib(), p);
  ASSERT_EQ(run.failed_sample, -1) << run.error;
  EXPECT_EQ(run.setconf_results, (std::vector<int>{1, 1, 1}));
  for (const auto& s : run.samples) ASSERT_EQ(s.phase, 0.0);
}

// A pulse of no samples (on time 0 without edges) or a sample rate not above
// 0 stops the pulse with a text instead of a NaN or infinite phase.
TEST(Roundtone, RefusesPulsesItCannotCompute) {
  struct Case {
    PulseSetup p;
    const char* error;
  };
  const Case cases[] = {
      {Pulse(10e6, 0, 0, 0), "Invalid pulse length. Use a pulse of at least 1 sample."},
      {Pulse(0.0, 0, 100, 0), "Invalid sample rate. Use a sample rate above 0."},
      {Pulse(-1e6, 0, 100, 0), "Invalid sample rate. Use a sample rate above 0."},
  };
  for (const Case& c : cases) {
    Lib().init();
    PulseRun run = cz::test::RunPulse(Lib(), c.p);
    EXPECT_EQ(run.failed_sample, 0);
    EXPECT_EQ(run.error, c.error);
  }
  // An on time of 0 between two edges is a pulse of its own.
  Lib().init();
  PulseRun run = cz::test::RunPulse(Lib(), Pulse(10e6, 10, 0, 10));
  ASSERT_EQ(run.failed_sample, -1) << run.error;
  for (const auto& s : run.samples) ASSERT_TRUE(std::isfinite(s.phase));
}

}  // namespace
