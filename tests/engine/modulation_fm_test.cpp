// Frequency modulations against their formulas: the phase step of every
// sample is 2*pi*f/r with f from a small model here; multi tone and multi
// carrier against the magnitude and angle of their phasor sums.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "app/Keywords.h"
#include "engine/Random.h"
#include "engine/SignalMath.h"
#include "tests/support/ModulationRun.h"

using namespace cz::test;

namespace {

constexpr double kPi = 3.141592653589793;

class ModulationFmTest : public ::testing::Test {
 protected:
  void TearDown() override {
    Log_SetLogSink(nullptr);
    SetUserSources({});
  }
};

// Frequency of sample n recovered from the phase steps.
double StepFrequency(const ModRun& run, int n, double rate, double start = 0.0) {
  double before = n == 0 ? start : run.phase[static_cast<size_t>(n - 1)];
  return (run.phase[static_cast<size_t>(n)] - before) * rate / (2.0 * kPi);
}

// Checks every sample's frequency against model(n) within tol Hz, and that
// the amplitude is 1.
void ExpectFrequencies(const ModRun& run, double rate, const std::function<double(int)>& model,
                       double tol, const char* what) {
  ASSERT_EQ(run.ok, 1) << what;
  for (size_t n = 0; n < run.phase.size(); ++n) {
    ASSERT_NEAR(StepFrequency(run, static_cast<int>(n), rate), model(static_cast<int>(n)), tol)
        << what << " sample " << n;
    ASSERT_EQ(run.amp[n], 1.0) << what << " sample " << n;
  }
}

}  // namespace

TEST_F(ModulationFmTest, ChirpRampTypes) {
  const int R = 10, N = 100, F = 10;
  const double r = 100e6, W = 10e6;
  auto phaseOf = [&](int n) { return n < R ? -1 : (n > R + N ? 1 : 0); };  // rise, on, fall
  struct Ramp {
    const char* name;
    std::function<double(int)> f;
  } ramps[] = {
      {"ramp up", [&](int n) { int s = phaseOf(n); return s ? s * W / 2 : -W / 2 + W * (n - R) / N; }},
      {"ramp dn", [&](int n) { int s = phaseOf(n); return s ? -s * W / 2 : W / 2 - W * (n - R) / N; }},
      {"sine", [&](int n) { return phaseOf(n) ? 0.0 : W / 2 * std::sin(2 * kPi * (n - R) / N); }},
      {"exp", [&](int n) { int s = phaseOf(n); return s ? s * W / 2 : std::pow(W + 1, double(n - R) / N) - 1 - W / 2; }},
      {"exp 10", [&](int n) { int s = phaseOf(n); return s ? s * W / 2 : std::pow(W + 1, double(n - R) / N) - 1 - W / 2; }},
      {"triangular", [&](int n) {
         if (phaseOf(n)) return -W / 2;
         double m = n - R;
         return 2 * m < N ? -W / 2 + 2 * W * m / N : W / 2 - 2 * W * (m - N / 2.0) / N; }},
      {"inv trian", [&](int n) {
         if (phaseOf(n)) return W / 2;
         double m = n - R;
         return 2 * m < N ? W / 2 - 2 * W * m / N : -W / 2 + 2 * W * (m - N / 2.0) / N; }},
      {"no such item", [&](int) { return 0.0; }},
  };
  for (int item = 0; item < 8; ++item) {
    SetUpModPulse(MOD_FMCHIRP, {{"Ramp Type", std::to_string(item)}});
    ModRun run = RunModRepetition(R, N, F, r, W);
    // The exponential forms are exact only to the rounding of pow/exp at 10 MHz.
    ExpectFrequencies(run, r, ramps[item].f, item == 3 || item == 4 ? 1e-3 : 1e-6, ramps[item].name);
  }
  EXPECT_TRUE(ModLogHas(" - Chirp Dev:10.000000 MHz"));

  // Odd on times: the sweep turns at the exact half (2m < N rises), so the
  // middle sample is still on the rising slope and no sample leaves +-W/2
  // (N = 5: 3 MHz at m = 2, not 7 MHz; N = 1: -5 MHz, not 15 MHz).
  for (int odd : {1, 5, 101}) {
    for (int item : {5, 6}) {
      SCOPED_TRACE(testing::Message() << "N " << odd << " item " << item);
      SetUpModPulse(MOD_FMCHIRP, {{"Ramp Type", std::to_string(item)}});
      ModRun run = RunModRepetition(0, odd, 0, r, W);
      ASSERT_EQ(run.ok, 1);
      for (size_t n = 0; n < run.phase.size(); ++n)
        ASSERT_LE(std::fabs(StepFrequency(run, static_cast<int>(n), r)), W / 2 + 1e-6) << n;
      const int mid = (odd - 1) / 2;
      const double rising = -W / 2 + 2 * W * mid / odd;
      EXPECT_NEAR(StepFrequency(run, mid, r), item == 5 ? rising : -rising, 1e-6);
    }
  }

  // Hand values of "ramp up": -5 MHz on the rise, 0 at sample 60, +5 MHz at
  // the last on sample and in the fall.
  SetUpModPulse(MOD_FMCHIRP);
  ModRun run = RunModRepetition(R, N, F, r, W);
  EXPECT_NEAR(StepFrequency(run, 9, r), -5e6, 1e-6);
  EXPECT_NEAR(StepFrequency(run, 60, r), 0.0, 1e-6);
  EXPECT_NEAR(StepFrequency(run, 110, r), 5e6, 1e-6);
  EXPECT_NEAR(StepFrequency(run, 111, r), 5e6, 1e-6);
  EXPECT_NEAR(run.phase[0], 2 * kPi * -5e6 / r, 1e-15);  // the first sample already steps

  // No on time: the chirp has no width to run over.
  SetUpModPulse(MOD_FMCHIRP);
  EXPECT_EQ(RunModRepetition(5, 0, 5, r, W).failedAt, 0);
  EXPECT_TRUE(ModLogHas("*** Error: Chirp width is zero !"));
}

TEST_F(ModulationFmTest, PolynomialFmAndFm) {
  const int R = 4, N = 50, F = 6;
  const double r = 1e9;
  // Defaults: linear from -1 GHz to +1 GHz over the on time.
  SetUpModPulse(MOD_FMCHIRPPOLY);
  ModRun run = RunModRepetition(R, N, F, r);
  ExpectFrequencies(run, r, [&](int n) {
    double x = n < R ? -1.0 : (n > R + N ? 1.0 : 2.0 * (n - R) / N - 1.0);
    return 1e9 * x;
  }, 1e-3, "linear");

  SetUpModPulse(MOD_FMCHIRPPOLY, {{"Multiplier", "1e6"}, {"Term 0", "3"}, {"Term 1", "0"},
                                  {"Term 2", "-2"}, {"Term 5", "0.5"}, {"Term 6", "1"}});
  run = RunModRepetition(R, N, F, r);
  ExpectFrequencies(run, r, [&](int n) {
    double x = n < R ? -1.0 : (n > R + N ? 1.0 : 2.0 * (n - R) / N - 1.0);
    return 1e6 * (3 - 2 * x * x + 0.5 * std::pow(x, 5) + std::pow(x, 6));
  }, 1e-3, "polynomial");

  SetUpModPulse(MOD_FMCHIRPPOLY);
  EXPECT_EQ(RunModRepetition(R, 0, F, r).failedAt, 0);
  EXPECT_TRUE(ModLogHas("*** Error: Chirp width is zero !"));

  // FM: f = d*sin(2*pi*fm*n/r), 20 kHz tone, 300 kHz deviation.
  SetUpModPulse(MOD_FM, {{"Mod Freq [kHz]", "20"}, {"Deviation [kHz]", "300"}});
  run = RunModRepetition(0, 400, 0, 1e6);
  ExpectFrequencies(run, 1e6, [](int n) { return 300e3 * std::sin(2 * kPi * 20e3 * n / 1e6); },
                    1e-6, "fm");
}

TEST_F(ModulationFmTest, FmStereoMultiplex) {
  const double r = 1e6;
  SetUpModPulse(MOD_FMSTEREO, {{"Right Tone [kHz]", "1"}, {"Left Tone [kHz]", "3"},
                               {"Right Audio Level", "0.5"}, {"Left Audio Level", "-0.8"}});
  ModRun run = RunModRepetition(0, 300, 0, r);
  ExpectFrequencies(run, r, [&](int n) {
    double R = 0.5 * std::sin(2 * kPi * 1e3 * n / r), L = -0.8 * std::sin(2 * kPi * 3e3 * n / r);
    double mux = 0.8 * ((L + R) / 2 + (L - R) / 2 * std::sin(2 * kPi * 38e3 * n / r)) +
                 0.08 * std::sin(2 * kPi * 19e3 * n / r);
    return mux * 75e3;
  }, 1e-6, "stereo");

  // Silent audio: the pilot alone.
  SetUpModPulse(MOD_FMSTEREO, {{"Right Audio Level", "0"}, {"Left Audio Level", "0"}});
  run = RunModRepetition(0, 100, 0, r);
  ExpectFrequencies(run, r, [&](int n) { return 0.08 * std::sin(2 * kPi * 19e3 * n / r) * 75e3; },
                    1e-6, "pilot");
}

TEST_F(ModulationFmTest, FskAndFsk2) {
  // FSK: +d for '1', -d for '0', one bit per symbol of 10 samples.
  SetUpModPulse(MOD_FSK, {{"Deviation [MHz]", "2"}});
  UseBits("1101");
  ModRun run = RunModRepetition(0, 40, 0, 100e6);
  ExpectFrequencies(run, 100e6, [](int n) { return (n / 10 == 2 && n < 40) ? -2e6 : 2e6; }, 1e-6,
                    "fsk");

  // FSK(2) "01" with 1 us bits at 10 MHz: samples 0..10 at f1, then f2.
  SetUpModPulse(MOD_FSK2, {{"f1 [MHz]", "1"}, {"f2 [MHz]", "3"}, {"T1 [us]", "1"}, {"T2 [us]", "1"}});
  UseBits("01");
  run = RunModRepetition(0, 40, 0, 10e6);
  ExpectFrequencies(run, 10e6, [](int n) { return n <= 10 ? 1e6 : 3e6; }, 1e-6, "fsk2");

  // Durations are cut to whole microseconds: 2.9 us lasts 2 us.
  SetUpModPulse(MOD_FSK2, {{"f1 [MHz]", "1"}, {"f2 [MHz]", "3"}, {"T1 [us]", "2.9"}, {"T2 [us]", "1"}});
  UseBits("01");
  run = RunModRepetition(0, 40, 0, 10e6);
  ExpectFrequencies(run, 10e6, [](int n) { return n <= 20 ? 1e6 : 3e6; }, 1e-6, "fsk2 cut");

  // A long stream with fractional durations: the same phases as walking the
  // bit list from its first bit on every sample.
  SetUpModPulse(MOD_FSK2, {{"f1 [MHz]", "0.7"}, {"f2 [MHz]", "-1.3"}, {"T1 [us]", "3"},
                           {"T2 [us]", "7"}});
  SetDataRow(0, DSRC_RANDOM, 4, 400);
  const double r = 3.3e6;
  run = RunModRepetition(10, 5000, 10, r);
  ASSERT_EQ(run.ok, 1);
  const std::string bits(ModulationBitStream, static_cast<size_t>(ModulationBitCount));
  const double s1 = 3.0 * 1e-6 * r, s2 = 7.0 * 1e-6 * r;
  double phase = 0.0;
  for (int n = 0; n <= 5020; ++n) {
    double end = 0.0;
    size_t k = 0;
    for (; k < bits.size(); ++k) {
      end += bits[k] == '1' ? s2 : s1;
      if (std::trunc(end) >= n) break;
    }
    if (k == bits.size()) k = bits.size() - 1;
    phase = phase + 2.0 * kPi * ((bits[k] == '1' ? -1.3 : 0.7) * 1e6) / r;
    ASSERT_EQ(run.phase[static_cast<size_t>(n)], phase) << n;
  }
}

TEST_F(ModulationFmTest, MultiToneAndMultiCarrier) {
  const double r = 20e6;
  auto expectSum = [&](const ModRun& run, const std::function<void(int, double*, double*)>& sum,
                       const char* what) {
    ASSERT_EQ(run.ok, 1) << what;
    for (size_t n = 0; n < run.amp.size(); ++n) {
      double i = 0, q = 0;
      sum(static_cast<int>(n), &i, &q);
      ASSERT_NEAR(run.amp[n], std::hypot(i, q), 1e-6 * (1 + std::hypot(i, q))) << what << " " << n;
      if (std::hypot(i, q) > 1e-3) {
        double d = std::remainder(run.phase[n] - std::atan2(q, i), 2 * kPi);
        ASSERT_NEAR(d, 0.0, 1e-6) << what << " " << n;
      }
    }
  };
  // Defaults: tones at 1 and 1.5 MHz; a tone below 1 Hz counts as off.
  SetUpModPulse(MOD_MULTI, {{"f3 [MHz]", "-2.25"}, {"f4 [MHz]", "0.0000005"}});
  expectSum(RunModRepetition(0, 200, 0, r), [&](int n, double* i, double* q) {
    for (double f : {1e6, 1.5e6, -2.25e6}) {
      *i += std::cos(2 * kPi * f / r * n);
      *q += std::sin(2 * kPi * f / r * n);
    }
  }, "tones");
  // Five tones at 0 Hz are all off: amplitude 0.
  SetUpModPulse(MOD_MULTI, {{"f1 [MHz]", "0"}, {"f2 [MHz]", "0"}});
  ModRun run = RunModRepetition(0, 10, 0, r);
  ASSERT_EQ(run.ok, 1);
  EXPECT_EQ(run.amp[5], 0.0);

  // Two carriers 100 kHz apart, no random phase: at -50 and +50 kHz.
  SetUpModPulse(MOD_FMMULTICW, {{"Spacing [kHz]", "100"}, {"Carriers", "2"}, {"Random phase", "1"}});
  expectSum(RunModRepetition(0, 400, 0, r), [&](int n, double* i, double* q) {
    *i = 2 * std::cos(2 * kPi * 50e3 / r * n);
    *q = 0;
  }, "two carriers");

  // 70 carriers with random start phases: 2*pi*(rand mod 365)/365 from the
  // 15-bit generator, reused cyclically beyond 64.
  RandomSeedRand(4711);
  double start[64];
  for (double& phi : start) phi = 2 * kPi * (RandomRand() % 365) / 365.0;
  RandomSeedRand(4711);
  SetUpModPulse(MOD_FMMULTICW, {{"Spacing [kHz]", "10"}, {"Carriers", "70"}, {"Random phase", "0"}});
  expectSum(RunModRepetition(0, 50, 0, r), [&](int n, double* i, double* q) {
    for (int k = 0; k < 70; ++k) {
      double theta = 2 * kPi * (10e3 * (k - 34.5)) / r * n + start[k % 64];
      *i += std::cos(theta);
      *q += std::sin(theta);
    }
  }, "random phases");
}
