// Bendsweep driven through the host's call order: its configuration rows,
// the non-linear phase law at two sample rates, the chirp window between the
// levels V1 and V2, and the replacement of values out of range.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/plugins/ModHost.h"

namespace {

using cz::test::ModLib;
using cz::test::PulseRun;
using cz::test::PulseSetup;

constexpr double kTwoPi = 6.283185307179586;

const ModLib& Lib() {
  static const ModLib m = cz::test::OpenModLib("bendsweep");
  return m;
}

struct Conf {
  double f0_khz, rate_khz_us, dev_mhz, v1, v2;
};

PulseSetup Pulse(double srate, double rise_us, double on_us, double fall_us, const Conf& c) {
  PulseSetup p;
  p.srate = srate;
  p.trise = static_cast<int>(std::lround(rise_us * 1e-6 * srate));
  p.ton = static_cast<int>(std::lround(on_us * 1e-6 * srate));
  p.tfall = static_cast<int>(std::lround(fall_us * 1e-6 * srate));
  p.conf = {{0, c.f0_khz}, {1, c.rate_khz_us}, {2, c.dev_mhz}, {3, c.v1}, {4, c.v2}};
  return p;
}

// Phase steps the host accumulates: step[i] = phase after sample i minus before.
std::vector<double> Steps(const PulseRun& run) {
  std::vector<double> d;
  double prev = 0.0;
  for (const auto& s : run.samples) {
    d.push_back(s.phase - prev);
    prev = s.phase;
  }
  return d;
}

TEST(Bendsweep, ConfigurationRows) {
  ASSERT_TRUE(Lib().handle) << Lib().load_error;
  Lib().init();
  const std::vector<cz::test::ConfRowSeen> rows = cz::test::ReadConf(Lib());
  struct Row {
    const char* label;
    double dflt, min, max;
  };
  const Row want[] = {{"f0 [kHz]", 100, -10000, 10000},
                      {"R [kHz/us]", 500, 0, 1000},
                      {"Q [MHz]", 2.5, 0, 300},
                      {"V1 []", 0.5, 0, 1},
                      {"V2 []", 0.5, 0, 1}};
  ASSERT_EQ(rows.size(), 5u);
  for (int r = 0; r < 5; ++r) {
    EXPECT_EQ(rows[r].type, "DBL");
    EXPECT_EQ(rows[r].label, want[r].label);
    EXPECT_EQ(rows[r].dflt, want[r].dflt);
    EXPECT_EQ(rows[r].min, want[r].min);
    EXPECT_EQ(rows[r].max, want[r].max);
  }
  double v = 1.0;
  EXPECT_EQ(Lib().setconf(0, &v), 0);
  EXPECT_EQ(Lib().setconf(5, &v), 0);
}

// f = f0 + R t + Q u - Q u^2 inside [start, end), t = (i - start) / srate,
// u = (i - start) / (end - start); sqrt-shaped edges; all markers set.
TEST(Bendsweep, NonLinearPhaseLawAtTwoRates) {
  const Conf c = {250.0, 300.0, 4.0, 0.4, 0.7};
  for (double srate : {100e6, 40e6}) {
    SCOPED_TRACE(srate);
    Lib().init();
    const PulseSetup p = Pulse(srate, 1.0, 10.0, 2.0, c);
    PulseRun run = cz::test::RunPulse(Lib(), p);
    ASSERT_EQ(run.failed_sample, -1) << run.error;
    const int last = p.trise + p.ton + p.tfall;
    ASSERT_EQ(static_cast<int>(run.samples.size()), last + 1);

    const int start = static_cast<int>(c.v1 * c.v1 * p.trise);
    const int end = last - static_cast<int>(c.v2 * c.v2 * p.tfall);
    const double f0 = c.f0_khz * 1e3, rate = c.rate_khz_us * 1e9, dev = c.dev_mhz * 1e6;
    const std::vector<double> step = Steps(run);
    double phase = 0.0;
    for (int i = 0; i <= last; ++i) {
      double amp = 1.0;
      if (i < p.trise) amp = std::sqrt(static_cast<double>(i) / p.trise);
      else if (i >= p.trise + p.ton && i < last) amp = std::sqrt(1.0 - static_cast<double>(i - p.trise - p.ton) / p.tfall);
      ASSERT_NEAR(run.samples[i].amp, amp, 1e-15) << i;
      ASSERT_EQ(run.samples[i].marker, 15) << i;
      if (i >= start && i < end) {
        const double u = static_cast<double>(i - start) / (end - start);
        const double f = f0 + rate * (i - start) / srate + dev * u * (1.0 - u);
        phase += kTwoPi * f / srate;
      } else {
        ASSERT_EQ(step[i], 0.0) << i;
      }
      ASSERT_NEAR(run.samples[i].phase, phase, 1e-9 * (1.0 + std::fabs(phase))) << i;
    }

    // The whole window against the integral of f over P = (end - start) / srate:
    // 2 pi (f0 P + R P^2 / 2 + Q P / 6), within one sample's worth of phase.
    const double P = (end - start) / srate;
    const double integral = kTwoPi * (f0 * P + rate * P * P / 2 + dev * P / 6);
    EXPECT_NEAR(run.samples[last].phase, integral, kTwoPi * (f0 + rate * P + dev) / srate);
    // Window middle: the quadratic part peaks at Q/4.
    const int mid = start + (end - start) / 2;
    const double f_mid = step[mid] * srate / kTwoPi;
    EXPECT_NEAR(f_mid, f0 + rate * (mid - start) / srate + dev / 4, dev * 1e-4);
  }
}

TEST(Bendsweep, ChirpWindowFollowsTheLevels) {
  const double srate = 50e6;
  {
    SCOPED_TRACE("V1 = V2 = 1: the on time exactly");
    Lib().init();
    const PulseSetup p = Pulse(srate, 2.0, 4.0, 2.0, {100, 0, 0, 1, 1});
    const std::vector<double> step = Steps(cz::test::RunPulse(Lib(), p));
    for (int i = 0; i < static_cast<int>(step.size()); ++i) {
      const bool inside = i >= p.trise && i < p.trise + p.ton;
      EXPECT_EQ(step[i] != 0.0, inside) << i;
    }
    EXPECT_DOUBLE_EQ(step[p.trise], kTwoPi * 1e5 / srate);
  }
  {
    SCOPED_TRACE("V1 = V2 = 0: the whole pulse");
    Lib().init();
    const PulseSetup p = Pulse(srate, 2.0, 4.0, 2.0, {100, 0, 0, 0, 0});
    PulseRun run = cz::test::RunPulse(Lib(), p);
    const std::vector<double> step = Steps(run);
    const int last = p.trise + p.ton + p.tfall;
    for (int i = 0; i < last; ++i) EXPECT_NE(step[i], 0.0) << i;
    // The last call is behind the fall: full amplitude, phase unchanged.
    EXPECT_EQ(step[last], 0.0);
    EXPECT_EQ(run.samples[last].amp, 1.0);
  }
  {
    SCOPED_TRACE("no rise: window and amplitude from the first sample");
    Lib().init();
    const PulseSetup p = Pulse(srate, 0.0, 4.0, 2.0, {100, 0, 0, 0.9, 0.5});
    PulseRun run = cz::test::RunPulse(Lib(), p);
    EXPECT_EQ(run.samples[0].amp, 1.0);
    EXPECT_DOUBLE_EQ(run.samples[0].phase, kTwoPi * 1e5 / srate);
  }
}

// A value out of its row's range is replaced by the start value; the host's
// pulse then runs exactly as with that value. f0 may be negative down to the
// row's minimum.
TEST(Bendsweep, ValuesOutOfRangeAreReplaced) {
  const double srate = 20e6;
  auto phases = [&](const Conf& c) {
    Lib().init();
    PulseRun run = cz::test::RunPulse(Lib(), Pulse(srate, 1.0, 5.0, 1.0, c));
    EXPECT_EQ(run.failed_sample, -1) << run.error;
    for (int r : run.setconf_results) EXPECT_EQ(r, 0);
    std::vector<double> out;
    for (const auto& s : run.samples) out.push_back(s.phase);
    return out;
  };
  EXPECT_EQ(phases({100, 2000, 3, 0.2, 0.3}), phases({100, 500, 3, 0.2, 0.3}));
  EXPECT_EQ(phases({100, 200, 400, 0.2, 0.3}), phases({100, 200, 2.5, 0.2, 0.3}));
  EXPECT_EQ(phases({100, 200, 3, 1.5, 0.3}), phases({100, 200, 3, 0.5, 0.3}));
  EXPECT_EQ(phases({100, 200, 3, 0.2, -0.1}), phases({100, 200, 3, 0.2, 0.5}));
  EXPECT_EQ(phases({20000, 200, 3, 0.2, 0.3}), phases({100, 200, 3, 0.2, 0.3}));
  EXPECT_EQ(phases({std::nan(""), 200, 3, 0.2, 0.3}), phases({100, 200, 3, 0.2, 0.3}));
  // A negative start offset is used as given: the sweep mirrors a positive one.
  const std::vector<double> down = phases({-300, 0, 0, 0, 0});
  const std::vector<double> up = phases({300, 0, 0, 0, 0});
  ASSERT_EQ(down.size(), up.size());
  for (std::size_t i = 0; i < up.size(); ++i) EXPECT_DOUBLE_EQ(down[i], -up[i]) << i;
}

// A sample rate not above 0 stops the pulse with a text instead of a phase
// of infinity or NaN.
TEST(Bendsweep, RefusesSampleRateNotAboveZero) {
  for (double srate : {0.0, -50e6}) {
    Lib().init();
    PulseSetup p = Pulse(1e6, 1.0, 4.0, 1.0, {100, 500, 2.5, 0.5, 0.5});
    p.srate = srate;
    PulseRun run = cz::test::RunPulse(Lib(), p);
    EXPECT_EQ(run.failed_sample, 0);
    EXPECT_EQ(run.error, "Invalid sample rate. Use a sample rate above 0.");
  }
}

}  // namespace
