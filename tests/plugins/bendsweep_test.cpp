// Bendsweep through the host's call order: its rows, the non-linear phase
// law at two sample rates, the chirp window between V1 and V2, and the
// replacement of values out of range.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/plugins/ModHost.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;

const cz::test::ModLib& Lib() {
  static const cz::test::ModLib m = cz::test::OpenModLib("bendsweep");
  return m;
}

// Row values as the user enters them: f0 [kHz], R [kHz/us], Q [MHz], V1, V2.
cz::test::PulseRun Drive(double srate, int trise, int ton, int tfall, std::vector<double> conf) {
  cz::test::PulseSetup p;
  p.srate = srate;
  p.trise = trise;
  p.ton = ton;
  p.tfall = tfall;
  for (int r = 0; r < 5; ++r) p.conf[r] = conf[r];
  Lib().init();
  return cz::test::RunPulse(Lib(), p);
}

// Phase step of every sample, radians.
std::vector<double> Steps(const cz::test::PulseRun& run) {
  std::vector<double> d;
  for (std::size_t i = 0; i < run.samples.size(); ++i) d.push_back(run.samples[i].phase - (i ? run.samples[i - 1].phase : 0.0));
  return d;
}

TEST(Bendsweep, ConfigurationRows) {
  ASSERT_NE(Lib().handle, nullptr) << dlerror();
  Lib().init();
  const auto rows = cz::test::ReadConf(Lib());
  ASSERT_EQ(rows.size(), 5u);
  const char* labels[] = {"f0 [kHz]", "R [kHz/us]", "Q [MHz]", "V1 []", "V2 []"};
  const double limits[5][3] = {{100, -10000, 10000}, {500, 0, 1000}, {2.5, 0, 300}, {0.5, 0, 1}, {0.5, 0, 1}};
  for (int r = 0; r < 5; ++r) {
    EXPECT_EQ(rows[r].type, "DBL");
    EXPECT_EQ(rows[r].label, labels[r]);
    EXPECT_EQ((std::vector<double>{rows[r].dflt, rows[r].min, rows[r].max}),
              (std::vector<double>{limits[r][0], limits[r][1], limits[r][2]}));
  }
}

// f = f0 + R t + Q u - Q u^2 in [start, end), t = (i - start) / srate,
// u = (i - start) / (end - start); sqrt-shaped edges; all markers set.
TEST(Bendsweep, NonLinearPhaseLawAtTwoRates) {
  const double f0 = 250e3, rate = 300e9, dev = 4e6, v1 = 0.4, v2 = 0.7;
  for (double srate : {100e6, 40e6}) {
    SCOPED_TRACE(srate);
    const int trise = srate * 1e-6, ton = srate * 10e-6, tfall = srate * 2e-6, last = trise + ton + tfall;
    const cz::test::PulseRun run = Drive(srate, trise, ton, tfall, {250, 300, 4, v1, v2});
    ASSERT_EQ(run.failed_sample, -1) << run.error;
    ASSERT_EQ(static_cast<int>(run.samples.size()), last + 1);
    const int start = static_cast<int>(v1 * v1 * trise), end = last - static_cast<int>(v2 * v2 * tfall);
    double phase = 0.0;
    for (int i = 0; i <= last; ++i) {
      double amp = 1.0;
      if (i < trise) amp = std::sqrt(static_cast<double>(i) / trise);
      if (i >= trise + ton && i < last) amp = std::sqrt(1.0 - static_cast<double>(i - trise - ton) / tfall);
      const double u = static_cast<double>(i - start) / (end - start);
      if (i >= start && i < end) phase += kTwoPi * (f0 + rate * (i - start) / srate + dev * u * (1 - u)) / srate;
      ASSERT_NEAR(run.samples[i].amp, amp, 1e-15) << i;
      ASSERT_EQ(run.samples[i].marker, 15) << i;
      ASSERT_NEAR(run.samples[i].phase, phase, 1e-9 * (1 + std::fabs(phase))) << i;
    }
    // Over the window: 2 pi (f0 P + R P^2/2 + Q P/6), P = (end - start) / srate,
    // within one sample's worth of phase; mid-window the quadratic part is Q/4.
    const double P = (end - start) / srate;
    EXPECT_NEAR(run.samples[last].phase, kTwoPi * (f0 * P + rate * P * P / 2 + dev * P / 6), kTwoPi * (f0 + rate * P + dev) / srate);
    const int mid = start + (end - start) / 2;
    EXPECT_NEAR(Steps(run)[mid] * srate / kTwoPi, f0 + rate * (mid - start) / srate + dev / 4, 1e3);
  }
}

TEST(Bendsweep, ChirpWindowFollowsTheLevels) {
  const double srate = 50e6, step0 = kTwoPi * 1e5 / srate;  // f0 = 100 kHz at the window's start
  // V1 = V2 = 1: exactly the on time.
  std::vector<double> d = Steps(Drive(srate, 100, 200, 100, {100, 0, 0, 1, 1}));
  for (int i = 0; i <= 400; ++i) EXPECT_EQ(d[i] != 0.0, i >= 100 && i < 300) << i;
  EXPECT_DOUBLE_EQ(d[100], step0);
  // V1 = V2 = 0: the whole pulse; the last call lies behind the fall, with
  // full amplitude and no phase step.
  const cz::test::PulseRun all = Drive(srate, 100, 200, 100, {100, 0, 0, 0, 0});
  d = Steps(all);
  for (int i = 0; i < 400; ++i) EXPECT_NE(d[i], 0.0) << i;
  EXPECT_EQ(d[400], 0.0);
  EXPECT_EQ(all.samples[400].amp, 1.0);
  // No rise: full amplitude and the window open from sample 0.
  const cz::test::PulseRun flat = Drive(srate, 0, 200, 100, {100, 0, 0, 0.9, 0.5});
  EXPECT_EQ(flat.samples[0].amp, 1.0);
  EXPECT_DOUBLE_EQ(flat.samples[0].phase, step0);
}

// A value out of its row's range (NaN too) is replaced by the start value,
// so the pulse runs exactly as with that value; f0 may be negative down to
// the row's own minimum.
TEST(Bendsweep, ValuesOutOfRangeAreReplaced) {
  auto phases = [](std::vector<double> conf) {
    const cz::test::PulseRun run = Drive(20e6, 20, 100, 20, conf);
    EXPECT_EQ(run.setconf_results, std::vector<int>(5, 0));
    std::vector<double> out;
    for (const auto& s : run.samples) out.push_back(s.phase);
    return out;
  };
  const std::vector<double> ref = phases({100, 500, 2.5, 0.5, 0.5});
  EXPECT_EQ(phases({20000, 2000, 400, 1.5, -0.1}), ref);
  EXPECT_EQ(phases({std::nan(""), 1001, 300.5, std::nan(""), 2}), ref);
  const std::vector<double> down = phases({-300, 0, 0, 0, 0}), up = phases({300, 0, 0, 0, 0});
  for (std::size_t i = 0; i < up.size(); ++i) EXPECT_DOUBLE_EQ(down[i], -up[i]) << i;
}

}  // namespace
