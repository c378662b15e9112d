// Block kernels, block noise source and engine host of the pulse computation.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "engine/EngineHost.h"
#include "engine/PulseKernels.h"
#include "engine/PulseNoise.h"
#include "engine/Random.h"
#include "engine/SignalMath.h"
#include "engine/Windows.h"

namespace {

TEST(PulseKernels, CarrierMatchesTheScalarFunctionsFarBelowFloatRounding) {
  std::vector<double> phase(kPulseBlockSamples), amp(kPulseBlockSamples), i(kPulseBlockSamples),
      q(kPulseBlockSamples);
  double worst = 0.0;
  // Running phases as long pulses reach them, up to 10^5 rad, and odd block
  // lengths that leave a scalar tail.
  for (int block = 0; block < 400; ++block) {
    const int m = kPulseBlockSamples - (block % 7);
    for (int j = 0; j < m; ++j) {
      phase[j] = (block * 997.0 + j) * 0.2513 - 3000.0 + block * 250.0;
      amp[j] = 0.25 + 0.001 * j;
    }
    PulseKernel_Carrier(phase.data(), amp.data(), i.data(), q.data(), m);
    for (int j = 0; j < m; ++j) {
      worst = std::fmax(worst, std::fabs(i[j] - amp[j] * std::cos(phase[j])));
      worst = std::fmax(worst, std::fabs(q[j] - amp[j] * std::sin(phase[j])));
    }
  }
  EXPECT_LT(worst, 1e-15);

  // The peak passes over NaN magnitudes.
  const double pi[5] = {0.3, -0.6, NAN, 0.0, 0.0};
  const double pq[5] = {0.4, 0.8, 0.0, -1.5, 0.0};
  EXPECT_DOUBLE_EQ(PulseKernel_Peak(pi, pq, 3, 0.0), 1.0);
  EXPECT_DOUBLE_EQ(PulseKernel_Peak(pi, pq, 5, 1.2), 1.5);
}

// The off-level pass gives bit for bit what the phase loop, the carrier and
// the packing give step by step, the running phase included: starts of every
// size and sign, at and near powers of two, steps that fall exactly between
// two last places, that round to nothing, that go up and down, and every
// block length up to a full block.
TEST(PulseKernels, LevelPassIsBitForBitTheStepByStepSamples) {
  if (!PulseKernel_LevelBlockAvailable()) GTEST_SKIP() << "no AVX2";
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const int B = kPulseBlockSamples;
  std::vector<double> phase(B), amp(B), ri(B), rq(B), i(B), q(B);
  std::vector<unsigned char> ref(8 * B), out(8 * B);
  for (int c = 0; c < 20000; ++c) {
    const double scale = std::ldexp(1.0, static_cast<int>(unit(random) * 40) - 20);
    double phi = (unit(random) - 0.3) * scale;
    if (c % 5 == 0) phi = std::ldexp(c % 2 ? 1.0 : -1.0, c % 23 - 8);  // a power of two
    if (c % 7 == 0) phi = std::nextafter(phi, 0.0);
    if (c % 31 == 0) phi = 0.0;
    double step = (unit(random) - 0.4) * scale * 1e-3 * (c % 3 + 1);
    if (c % 9 == 0) {
      // A few last places off a power of two, steps of a few last places.
      const double edge = std::ldexp(c % 2 ? 1.0 : -1.0, c % 29 - 10);
      int f = 0;
      std::frexp(edge, &f);
      const double v = std::ldexp(1.0, f - 53);
      phi = edge + v * static_cast<double>(static_cast<int>(unit(random) * 9) - 4);
      step = v * (unit(random) * 6.0 - 3.0);
    }
    int e = 0;
    std::frexp(phi, &e);
    const double u = std::ldexp(1.0, e - 53);
    if (c % 11 == 0) step = (std::floor(step / u) + 0.5) * u;  // between two last places
    if (c % 13 == 0) step = 0.3 * u;                             // rounds to nothing
    if (c % 17 == 0) step = -0.7 * u;
    if (c % 19 == 0) phi = (unit(random) - 0.5) * 0x1p22;  // phases around and beyond 2^20
    const int m = 1 + c % B;
    const double levels[] = {1e-5, 1.0, 0.5 + unit(random), 1e-30, 0.0, 1e-300};
    const double level = levels[c % 6];
    const bool swap = c % 2 == 1;

    double p = phi;
    for (int j = 0; j < m; ++j) {
      p += step;
      phase[j] = p + 0.0 + 0.0;
      amp[j] = level;
    }
    PulseKernel_Carrier(phase.data(), amp.data(), ri.data(), rq.data(), m);
    PulseKernel_PackIq(swap ? rq.data() : ri.data(), swap ? ri.data() : rq.data(), ref.data(), m);

    double phiOut = phi;
    PulseKernel_LevelBlock(&phiOut, step, level, m, swap, i.data(), q.data(), out.data());
    ASSERT_EQ(std::memcmp(&phiOut, &p, sizeof p), 0) << c << " phi " << phi << " step " << step;
    for (int j = 0; j < m; ++j) {
      ASSERT_EQ(std::memcmp(&i[j], &ri[j], 8), 0) << c << " sample " << j;
      ASSERT_EQ(std::memcmp(&q[j], &rq[j], 8), 0) << c << " sample " << j;
    }
    ASSERT_EQ(std::memcmp(out.data(), ref.data(), 8 * static_cast<size_t>(m)), 0) << c;

    // Without the doubles: the same float32 pairs, the faster cosine and
    // sine taking part.
    phiOut = phi;
    PulseKernel_LevelBlock(&phiOut, step, level, m, swap, nullptr, nullptr, out.data());
    ASSERT_EQ(std::memcmp(&phiOut, &p, sizeof p), 0) << c;
    ASSERT_EQ(std::memcmp(out.data(), ref.data(), 8 * static_cast<size_t>(m)), 0) << c << " level " << level;
  }
}

TEST(PulseNoise, BlocksGiveExactlyTheSingleStepNoiseSource) {
  const double fs = 100e6, bw = 7e6, gain = 0.5;
  RandomSeedRand(99);
  std::vector<double> refI, refQ;
  double a = 0.0, b = 0.0;
  ASSERT_EQ(FilteredNoise(&a, &b, 1, bw, fs), 1);
  refI.push_back(a * gain);
  refQ.push_back(b * gain);
  for (int k = 1; k < 1500; ++k) {
    FilteredNoise(&a, &b, 0, bw, fs);
    refI.push_back(a * gain);
    refQ.push_back(b * gain);
  }
  const int nextRef = RandomRand();

  RandomSeedRand(99);
  PulseNoise noise;
  ASSERT_EQ(PulseNoise_Init(&noise, bw, fs, gain), 1);
  std::vector<double> outI(kPulseBlockSamples), outQ(kPulseBlockSamples);
  int k = 0;
  for (int block = 1; k < 1500; ++block) {
    const int m = std::min(1500 - k, block * 37 % kPulseBlockSamples + 1);
    PulseNoise_Run(&noise, m, outI.data(), outQ.data());
    for (int j = 0; j < m; ++j, ++k) {
      ASSERT_EQ(outI[j], refI[k]) << k;
      ASSERT_EQ(outQ[j], refQ[k]) << k;
    }
  }
  // The same numbers were drawn from the generator.
  EXPECT_EQ(RandomRand(), nextRef);

  EXPECT_EQ(PulseNoise_Init(&noise, fs / 2, fs, 1.0), 1);
  EXPECT_EQ(PulseNoise_Init(&noise, fs / 2 * 1.000001, fs, 1.0), 0);
  EXPECT_EQ(PulseNoise_Init(&noise, 0.0, fs, 1.0), 0);
}

int g_polls = 0;
double g_now = 0.0;
std::vector<double> g_progress;
int CountPoll() {
  ++g_polls;
  return 1;
}
void RecordProgress(double percent) { g_progress.push_back(percent); }
double Now() { return g_now; }

TEST(EngineHost, PollsPassAtMostOncePerIntervalAndNullMembersActLikeTheConsole) {
  EngineHost host{};
  host.stopPressed = CountPoll;
  host.setTaskProgress = RecordProgress;
  host.nowSeconds = Now;
  SetEngineHost(&host);
  g_polls = 0;
  g_now = 100.0;
  EXPECT_EQ(EngineHost_StopPressed(), 1);  // the first poll passes at once
  g_now += 0.005;
  EXPECT_EQ(EngineHost_StopPressed(), 0);
  g_now += 0.0099;
  EXPECT_EQ(EngineHost_StopPressed(), 0);
  g_now += 0.0002;
  EXPECT_EQ(EngineHost_StopPressed(), 1);
  EXPECT_EQ(g_polls, 2);
  g_now -= 1.0;  // a clock that went back does not block the polls
  EXPECT_EQ(EngineHost_StopPressed(), 1);

  g_progress.clear();
  EngineHost_SetTaskProgress(10);
  EngineHost_SetTaskProgress(20);
  g_now += 0.02;
  EngineHost_SetTaskProgress(30);
  EXPECT_EQ(g_progress, (std::vector<double>{10, 30}));

  // No report function: every entry is accepted with an empty error text.
  char text[kReportErrorTextSize] = "stale";
  EXPECT_EQ(EngineHost_ReportAddEntry(text, ReportEntryValues{}), 1);
  EXPECT_EQ(text[0], '\0');

  SetEngineHost(nullptr);
  EXPECT_EQ(EngineHost_StopPressed(), 0);
  EXPECT_EQ(GetEngineHost().stopPressed, ConsoleEngineHost().stopPressed);
}

}  // namespace
