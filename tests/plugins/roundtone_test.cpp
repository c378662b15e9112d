// Roundtone through the host's call order (mod_engine, no markers): its
// rows, the circular frequency law at two sample rates, the +/-Fmax limit,
// and the refusal of pulses it cannot compute.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/plugins/ModHost.h"

namespace {

constexpr double kTwoPiMega = 2.0 * 3.141592653589793 * 1e6;  // rad/s per MHz

const cz::test::ModLib& Lib() {
  static const cz::test::ModLib m = cz::test::OpenModLib("roundtone");
  return m;
}

cz::test::PulseRun Drive(double srate, int trise, int ton, int tfall, std::map<int, double> conf = {}) {
  cz::test::PulseSetup p;
  p.srate = srate;
  p.trise = trise;
  p.ton = ton;
  p.tfall = tfall;
  p.conf = conf;
  Lib().init();
  return cz::test::RunPulse(Lib(), p);
}

TEST(Roundtone, ConfigurationRows) {
  ASSERT_NE(Lib().handle, nullptr) << dlerror();
  ASSERT_NE(Lib().engine, nullptr);
  Lib().init();
  const auto rows = cz::test::ReadConf(Lib());
  ASSERT_EQ(rows.size(), 3u);
  const char* labels[] = {"Bc [MHz]", "Bl [MHz]", "Fmax [MHz]"};
  const double dflt[] = {1.8, 5.5, 10};
  for (int r = 0; r < 3; ++r) {
    EXPECT_EQ(rows[r].type, "DBL");
    EXPECT_EQ(rows[r].label, labels[r]);
    EXPECT_EQ((std::vector<double>{rows[r].dflt, rows[r].min, rows[r].max}), (std::vector<double>{dflt[r], 0.1, 100}));
  }
  // 1 = kept, 0 = replaced by 0.1 or unknown row; Fmax = 0 is kept.
  const double sets[][3] = {{0, 50, 1}, {0, 0, 0}, {1, 100.5, 0}, {1, 0.1, 1}, {2, 0, 1}, {2, -1, 0}, {2, NAN, 0}, {3, 1, 0}};
  for (const auto& s : sets) {
    double v = s[1];
    EXPECT_EQ(Lib().setconf(static_cast<int>(s[0]), &v), s[2]) << s[0] << " " << s[1];
  }
}

// f(v) = Bc v / (2 sqrt(1 - v^2)) + Bl v / 2 in MHz, v = 2i/N - 1, limited to
// +/-Fmax; the host adds f * 2 pi 1e6 / srate per sample.
TEST(Roundtone, CircularPhaseAtTwoRates) {
  const double bc = 1.8, bl = 5.5, fmax = 10.0;  // the rows' defaults
  const int n = 2000;
  for (double srate : {100e6, 30e6}) {
    SCOPED_TRACE(srate);
    const cz::test::PulseRun run = Drive(srate, 100, 1800, 100);
    ASSERT_EQ(run.failed_sample, -1) << run.error;
    ASSERT_EQ(static_cast<int>(run.samples.size()), n + 1);
    std::vector<double> f;  // MHz, from the phase steps
    double phase = 0.0;
    for (int i = 0; i <= n; ++i) {
      const double v = 2.0 * i / n - 1.0;
      const double law = std::fabs(v) >= 1 ? v * fmax : bc * v / (2 * std::sqrt(1 - v * v)) + bl * v / 2;
      phase += std::fmin(fmax, std::fmax(-fmax, law)) * kTwoPiMega / srate;
      ASSERT_EQ(run.samples[i].amp, 1.0);
      ASSERT_NEAR(run.samples[i].phase, phase, 1e-9 * (1 + std::fabs(phase))) << i;
      f.push_back((run.samples[i].phase - (i ? run.samples[i - 1].phase : 0.0)) * srate / kTwoPiMega);
    }
    EXPECT_NEAR(f[0], -fmax, 1e-9);
    EXPECT_EQ(f[n / 2], 0.0);
    EXPECT_NEAR(f[1500], 1.894, 0.005);  // v = 0.5
    EXPECT_NEAR(f[1990], 9.04, 0.01);    // v = 0.99
    EXPECT_NEAR(f[1999], fmax, 1e-9);    // v = 0.999 would be 22.9 MHz
    EXPECT_NEAR(f[n], fmax, 1e-9);
    // An odd law: the pulse sweeps back to the phase it started from.
    for (int i = 0; i <= n; ++i) ASSERT_NEAR(f[i], -f[n - i], 1e-6) << i;
    EXPECT_NEAR(run.samples[n].phase, 0.0, 1e-9);
  }
}

TEST(Roundtone, ZeroFmaxLeavesThePulseUnmodulated) {
  const cz::test::PulseRun run = Drive(10e6, 0, 500, 0, {{2, 0.0}});
  ASSERT_EQ(run.failed_sample, -1) << run.error;
  EXPECT_EQ(run.setconf_results, (std::vector<int>{1, 1, 1}));
  for (const auto& s : run.samples) ASSERT_EQ(s.phase, 0.0);
}

// A pulse of no samples or a sample rate not above 0 stops the pulse with a
// text instead of a NaN or infinite phase; an on time of 0 between two edges
// is still a pulse.
TEST(Roundtone, RefusesPulsesItCannotCompute) {
  EXPECT_EQ(Drive(10e6, 0, 0, 0).error, "Invalid pulse length. Use a pulse of at least 1 sample.");
  EXPECT_EQ(Drive(-1e6, 0, 100, 0).error, "Invalid sample rate. Use a sample rate above 0.");
  const cz::test::PulseRun edges = Drive(10e6, 10, 0, 10);
  ASSERT_EQ(edges.failed_sample, -1) << edges.error;
  for (const auto& s : edges.samples) ASSERT_TRUE(std::isfinite(s.phase));
}

}  // namespace
