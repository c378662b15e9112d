// Pulse computation: expected samples from the pulse formulas at 100 MHz,
// taken through the temporary files and the writer's int16 conversion.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Shared/FileIO/FileIOBufferedIO.h"
#include "app/Keywords.h"
#include "app/Log.h"
#include "app/PluginLoader.h"
#include "app/PulseRecord.h"
#include "app/Settings.h"
#include "engine/EngineHost.h"
#include "engine/PulseCompute.h"
#include "engine/Random.h"
#include "engine/SignalMath.h"
#include "engine/Windows.h"
#include "tests/support/TempDir.h"
#include "wavelib/WaveLib.h"

namespace {

constexpr double kFs = 100e6;

std::vector<std::string> g_log;
void CaptureLog(const char* text) { g_log.emplace_back(text); }
bool Logged(const std::string& part) {
  for (const std::string& line : g_log)
    if (line.find(part) != std::string::npos) return true;
  return false;
}

struct Sample {
  int16_t i, q;
  float fi, fq;
  uint8_t marker;
};

class PulseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetBufferSlots();
    SetBufferUnitInitialized(1);
    iq_ = std::fopen(dir_.File("WV-DATA.TMP").c_str(), "w+b");
    mk_ = std::fopen(dir_.File("MKR-DATA.TMP").c_str(), "w+b");
    ASSERT_TRUE(iq_ && mk_);
    ASSERT_EQ(InitBuf(5, iq_, 1, 1), 1);
    ASSERT_EQ(InitBuf(6, mk_, 1, 1), 1);
    ASSERT_EQ(WriteBytes(5, 3, "IQF"), 3);
    PulseCount = 1;
    InitPulseRecord(&PulseTable[0]);
    p = &PulseTable[0];
    p->riseTime = 0.0;
    p->onTime = 1e-6;
    p->fallTime = 0.0;
    p->offTime = 0.0;
    p->attOff = 400.0;  // off level 1e-20: invisible in int16
    g_Settings.Project.swapIq = 0;
    SetEngineHost(nullptr);
    LastPulsePhase = 0.0;
    g_log.clear();
    Log_SetLogSink(CaptureLog);
  }
  void TearDown() override {
    Log_SetLogSink(nullptr);
    SetEngineHost(nullptr);
    ReleaseBuf(5);
    ReleaseBuf(6);
    std::fclose(iq_);
    std::fclose(mk_);
  }

  // One repetition into slots 5/6 at 100 MHz.
  int Run(int combine = 0, int32_t room = 0, uint8_t mask = 0xFF, int repetition = 1, int report = 0,
          int timingOnly = 0) {
    return ComputePulse(0, p, 5, 6, kFs, jitter, &samples, &duration, &peak, timingOnly, mask, report, 1,
                        repetition, 3, combine, room, 2e-6, 4, 0, -1, 0.5);
  }
  // Restarts both files at their first sample, as the builder does before
  // an overlaying entry.
  void Rewind() {
    char tag[3];
    ASSERT_EQ(RestartAtBegining(5), 1);
    ASSERT_EQ(RestartAtBegining(6), 1);
    ASSERT_EQ(ReadBytes(5, 3, tag), 3);
    ASSERT_EQ(WriteBytes(5, 3, tag), 3);
  }
  // Everything written so far (the slots are flushed and stay bound).
  std::vector<Sample> Samples() {
    EXPECT_EQ(ReleaseBuf(5), 1);
    EXPECT_EQ(ReleaseBuf(6), 1);
    std::fflush(iq_);
    std::fflush(mk_);
    const std::string iq = cz::test::ReadFileBytes(dir_.File("WV-DATA.TMP"));
    const std::string mk = cz::test::ReadFileBytes(dir_.File("MKR-DATA.TMP"));
    std::vector<Sample> out;
    EXPECT_EQ(iq.substr(0, 3), "IQF");
    EXPECT_EQ((iq.size() - 3) / 8, mk.size());
    for (size_t k = 0; k < mk.size(); ++k) {
      Sample s{};
      std::memcpy(&s.fi, iq.data() + 3 + 8 * k, 4);
      std::memcpy(&s.fq, iq.data() + 7 + 8 * k, 4);
      s.i = WaveLib_SampleToInt16(s.fi);
      s.q = WaveLib_SampleToInt16(s.fq);
      s.marker = static_cast<uint8_t>(mk[k]);
      out.push_back(s);
    }
    // Bind again at the end so that later runs append.
    EXPECT_EQ(InitBuf(5, iq_, 1, 1), 1);
    EXPECT_EQ(InitBuf(6, mk_, 1, 1), 1);
    EXPECT_EQ(RestartAtPosition(5, static_cast<off_t>(iq.size())), 1);
    EXPECT_EQ(RestartAtPosition(6, static_cast<off_t>(mk.size())), 1);
    return out;
  }

  void ClearMarkers() {
    for (auto& marker : p->markers)
      for (int32_t& flag : marker) flag = 0;
  }

  cz::test::TempDir dir_;
  FILE* iq_ = nullptr;
  FILE* mk_ = nullptr;
  PulseRecord* p = nullptr;
  double jitter[4] = {0.0, 0.0, 0.0, 0.0};
  int32_t samples = -1;
  double duration = -1.0;
  double peak = 1.0;
};

TEST_F(PulseTest, EdgeShapesGiveTheTabulatedRise) {
  p->attOff = 100.0;  // the default off level: the rise starts at 1e-5
  const double off = 1e-5;
  p->riseTime = 100e-9;  // 10 samples
  p->onTime = 20e-9;
  ASSERT_EQ(Run(), 1);
  p->riseEdge = EDGE_RCOS;
  ASSERT_EQ(Run(), 1);
  p->riseEdge = EDGE_RRCOS;
  p->fallTime = 50e-9;
  p->fallEdge = EDGE_SQROOT;
  ASSERT_EQ(Run(), 1);
  const std::vector<Sample> s = Samples();
  ASSERT_EQ(s.size(), 12u + 12u + 17u);
  const int linear[11] = {0, 3277, 6554, 9830, 13107, 16384, 19660, 22937, 26214, 29490, 32767};
  const int rcos[10] = {0, 802, 3129, 6754, 11321, 16384, 21446, 26014, 29638, 31965};
  for (int k = 0; k < 11; ++k) EXPECT_EQ(s[k].i, linear[k]) << k;
  for (int k = 0; k < 10; ++k) EXPECT_EQ(s[12 + k].i, rcos[k]) << k;
  for (int k = 0; k < 10; ++k) {
    const double r = 0.5 * std::sin(PiConstant * k / 10.0 - PiConstant / 2) + 0.5;
    EXPECT_EQ(s[24 + k].i, WaveLib_SampleToInt16(static_cast<float>(off + r * r * (1 - off)))) << k;
  }
  // The fall runs from x = 1 down to 1/nF and never reaches 0.
  for (int k = 0; k < 5; ++k)
    EXPECT_EQ(s[36 + k].i, WaveLib_SampleToInt16(static_cast<float>(off + std::sqrt(1.0 - k / 5.0) * (1 - off))))
        << k;
}

TEST_F(PulseTest, FrequencyOffsetAdvancesARunningPhaseFromTheFirstSample) {
  p->freqOffset = 1e6;
  ASSERT_EQ(Run(), 1);
  EXPECT_EQ(samples, 100);
  const std::vector<Sample> s = Samples();
  ASSERT_EQ(s.size(), 100u);
  EXPECT_EQ(s[0].i, 32702);
  EXPECT_EQ(s[0].q, 2057);
  EXPECT_EQ(s[24].i, 0);
  EXPECT_EQ(s[24].q, 32767);
  EXPECT_EQ(s[99].i, 32767);
  EXPECT_EQ(s[99].q, 0);
  // The running sum of 100 steps, not 100 times the step.
  double phi = 0.0;
  for (int k = 0; k < 100; ++k) phi += 2 * PiConstant * 1e6 / kFs;
  EXPECT_EQ(LastPulsePhase, phi);
  EXPECT_DOUBLE_EQ(peak, 1.0);

  // "continue" starts the next repetition where this one ended; a start
  // phase of 90 degrees is added.
  p->relativePhase = 1;
  p->startPhase = 90.0;
  p->onTime = 10e-9;
  ASSERT_EQ(Run(0, 0, 0xFF, 2), 1);
  const std::vector<Sample> t = Samples();
  const double expected = phi + PiConstant / 2 + 2 * PiConstant * 1e6 / kFs;
  EXPECT_EQ(t[100].i, WaveLib_SampleToInt16(static_cast<float>(std::cos(expected))));
  EXPECT_EQ(t[100].q, WaveLib_SampleToInt16(static_cast<float>(std::sin(expected))));
}

TEST_F(PulseTest, LevelsDroopAndJitterTargets) {
  p->delay = 20e-9;
  p->onTime = 100e-9;
  p->fallTime = 20e-9;
  p->offTime = 30e-9;
  p->attOn = 6.0;
  p->attOff = 20.0;
  p->droop = 3.0;
  ASSERT_EQ(Run(), 1);
  EXPECT_EQ(samples, 2 + 10 + 2 + 3);
  const std::vector<Sample> s = Samples();
  const double on = std::pow(10.0, -6.0 / 20.0);
  const double off = 0.1;
  EXPECT_EQ(s[0].i, 3277);
  EXPECT_EQ(s[16].i, 3277);
  double onNow = on;
  for (int k = 0; k < 10; ++k) {
    onNow = on * std::pow(10.0, -3.0 * k / (10 * 20.0));
    EXPECT_EQ(s[2 + k].i, WaveLib_SampleToInt16(static_cast<float>(onNow))) << k;
  }
  // The fall starts from the level the last on sample left.
  EXPECT_EQ(s[12].i, WaveLib_SampleToInt16(static_cast<float>(off + 1.0 * (onNow - off))));
  EXPECT_EQ(s[13].i, WaveLib_SampleToInt16(static_cast<float>(off + 0.5 * (onNow - off))));

  // Level and AttOff jitter multiply the factors; Delay and OnPeriod add.
  p->droop = 0.0;
  p->jitter[0].enabled = 1;
  p->jitter[0].target = JIT_LEVEL;
  p->jitter[1].enabled = 1;
  p->jitter[1].target = JIT_ATTOFF;
  p->jitter[2].enabled = 1;
  p->jitter[2].target = JIT_ONPERIOD;
  p->jitter[3].enabled = 1;
  p->jitter[3].target = JIT_DELAY;
  const double v[4] = {6.0, 20.0, 50e-9, 10e-9};
  std::memcpy(jitter, v, sizeof v);
  ASSERT_EQ(Run(), 1);
  EXPECT_EQ(samples, 3 + 15 + 2 + 3);
  const std::vector<Sample> t = Samples();
  EXPECT_EQ(t[17].i, 328);                                                       // delay at 0.01
  EXPECT_EQ(t[20].i, WaveLib_SampleToInt16(static_cast<float>(on * on)));        // on level
}

TEST_F(PulseTest, SwapIqAndMarkerBits) {
  g_Settings.Project.swapIq = 1;
  p->freqOffset = 1e6;
  p->delay = 20e-9;
  p->riseTime = 30e-9;
  p->onTime = 40e-9;
  p->fallTime = 20e-9;
  p->offTime = 10e-9;  // total 12: restart on sample 0 only
  ClearMarkers();
  p->markers[0][MARKER_DELAY] = 1;
  p->markers[0][MARKER_OFF] = 1;
  p->markers[1][MARKER_RISE] = 1;
  p->markers[2][MARKER_ON] = 3;    // bit 0 counts
  p->markers[2][MARKER_FALL] = 2;  // bit 0 clear: not raised
  p->markers[3][MARKER_RESTART] = 1;
  p->markers[3][MARKER_FALL] = 1;
  ASSERT_EQ(Run(0, 0, 0xFF), 1);
  ASSERT_EQ(Run(0, 0, 0x33), 1);  // markers 1 and 3 enabled only
  const std::vector<Sample> s = Samples();
  ASSERT_EQ(s.size(), 24u);
  const uint8_t all[12] = {0x09, 0x01, 0x02, 0x02, 0x02, 0x04, 0x04, 0x04, 0x04, 0x08, 0x08, 0x01};
  const uint8_t masked[12] = {0x01, 0x01, 0, 0, 0, 0x04, 0x04, 0x04, 0x04, 0, 0, 0x01};
  for (int k = 0; k < 12; ++k) {
    EXPECT_EQ(s[k].marker, all[k]) << k;
    EXPECT_EQ(s[12 + k].marker, masked[k]) << k;
  }
  // Stored as (Q, I): the first on sample's phase is 6 steps.
  const double phi = 6 * (2 * PiConstant * 1e6 / kFs);
  EXPECT_EQ(s[5].i, WaveLib_SampleToInt16(static_cast<float>(std::sin(phi))));
  EXPECT_EQ(s[5].q, WaveLib_SampleToInt16(static_cast<float>(std::cos(phi))));

  // With 9 samples, 9/10 = 0 samples carry the restart marker.
  p->delay = 0.0;
  p->riseTime = 0.0;
  p->fallTime = 0.0;
  p->offTime = 0.0;
  p->onTime = 90e-9;
  ClearMarkers();
  p->markers[3][MARKER_RESTART] = 1;
  ASSERT_EQ(Run(), 1);
  const std::vector<Sample> t = Samples();
  for (int k = 24; k < 33; ++k) EXPECT_EQ(t[k].marker & 0x08, 0) << k;
}

TEST_F(PulseTest, CombineModesWorkOnTheSamplesAlreadyThere) {
  // Base: 6 samples at 0.5 with marker 1, then 4 blank samples.
  p->onTime = 60e-9;
  p->offTime = 40e-9;
  p->attOn = 20.0 * std::log10(2.0);
  p->attOff = 400.0;
  ASSERT_EQ(Run(), 1);
  const std::vector<Sample> base = Samples();
  ASSERT_EQ(base.size(), 10u);

  // Overlay at full level with marker 2 only: 8 on and 2 blank samples.
  p->attOn = 0.0;
  p->onTime = 80e-9;
  p->offTime = 20e-9;
  ClearMarkers();
  p->markers[1][MARKER_ON] = 1;
  Rewind();
  ASSERT_EQ(Run(1, 7), 1);
  EXPECT_EQ(samples, 7);
  std::vector<Sample> s = Samples();
  ASSERT_EQ(s.size(), 10u);  // overwrote 7 in place, the rest unchanged
  EXPECT_FLOAT_EQ(s[0].fi, 1.5f);
  EXPECT_EQ(s[0].marker, 0x03);
  EXPECT_FLOAT_EQ(s[6].fi, 1.0f);
  EXPECT_EQ(s[6].marker, 0x02);
  EXPECT_EQ(s[7].marker, base[7].marker);
  EXPECT_GE(peak, 1.5);  // the peak follows the combined sample

  Rewind();
  ASSERT_EQ(Run(2, 10), 1);  // multiply: 1.5 * 1, blank 0 * 1, markers ANDed
  s = Samples();
  EXPECT_FLOAT_EQ(s[0].fi, 1.5f);
  EXPECT_EQ(s[0].marker, 0x02);
  EXPECT_EQ(s[8].i, 0);
  EXPECT_EQ(s[8].marker, 0x00);

  Rewind();
  ASSERT_EQ(Run(3, 10), 1);  // keep: nothing changes
  const std::vector<Sample> kept = Samples();
  for (int k = 0; k < 10; ++k) {
    EXPECT_EQ(kept[k].fi, s[k].fi);
    EXPECT_EQ(kept[k].marker, s[k].marker);
  }
}

TEST_F(PulseTest, TimingOnlyGivesTheCountsOfTheFullComputation) {
  struct Case {
    int prfMode, prfPri;
    double value;
    int target;
    double jitterValue;
  };
  const Case cases[] = {{0, 0, 0, JIT_BLANKPERIOD, 33e-9}, {1, 0, 2e6, JIT_PRF, 0.5e6},
                        {1, 1, 700e-9, JIT_PRI, -100e-9}, {1, 0, 1.5e6, JIT_RISE, 0.0}};
  p->riseTime = 25e-9;
  p->onTime = 200e-9;
  p->fallTime = 15e-9;
  p->offTime = 120e-9;
  int64_t written = 0;
  for (const Case& c : cases) {
    p->prfMode = c.prfMode;
    p->prfPri = static_cast<uint8_t>(c.prfPri);
    p->prfValue = c.value;
    p->jitter[0].enabled = 1;
    p->jitter[0].target = static_cast<uint8_t>(c.target);
    jitter[0] = c.jitterValue;
    ASSERT_EQ(Run(0, 0, 0xFF, 1, 0, 1), 1);
    const int32_t n = samples;
    const double d = duration;
    const PulseCounts timing = LastPulseCounts();
    ASSERT_EQ(Run(), 1);
    written += samples;
    EXPECT_EQ(samples, n);
    EXPECT_EQ(duration, d);
    EXPECT_EQ(LastPulseCounts().blank, timing.blank);
    EXPECT_EQ(LastPulseCounts().total, timing.total);
  }
  const PulseCounts& c = LastPulseCounts();
  EXPECT_EQ(c.blank, 67 - (c.delay + c.rise + c.on + c.fall));  // trunc(1e8/1.5e6 + 0.5) = 67
  EXPECT_EQ(static_cast<int64_t>(Samples().size()), written);
}

// Repetition r starts at the sample nearest to its exact time, the fraction
// carried from one repetition to the next, jitter included; checked against
// exact integer arithmetic (times in whole nanoseconds).
TEST_F(PulseTest, RepetitionsStartAtTheNearestSampleToTheirExactTime) {
  // Starts of reps repetitions at fs, jitterNs(r) set before repetition r.
  auto starts = [&](double fs, int reps, double (*jitterNs)(int)) {
    std::vector<int64_t> out;
    double fraction = 0.0, length = 0.0;
    int64_t at = 0;
    for (int r = 0; r < reps; ++r) {
      jitter[0] = jitterNs(r) * 1e-9;
      out.push_back(at);
      EXPECT_EQ(ComputePulse(0, p, -1, -1, fs, jitter, &samples, &duration, &peak, 1, 0, 0, 1, r + 1, reps, 0, 0,
                             0.0, 1, 0, -1, 0.0, fraction, &length),
                1);
      EXPECT_EQ(LastPulseCounts().on, static_cast<int32_t>(std::lround(p->onTime * fs))) << r;
      EXPECT_EQ(CarryRepetition(&fraction, length), samples) << r;
      at += samples;
    }
    out.push_back(at);
    return out;
  };
  // Nearest whole sample to ns nanoseconds at 100 ns per sample (ties later).
  auto nearest = [](int64_t ns) { return (ns + 50) / 100; };

  // PRI 1.04 us at 10 MHz: 10.4 samples; 100,000 repetitions.
  p->onTime = 0.5e-6;
  p->prfMode = 1;
  p->prfPri = 1;
  p->prfValue = 1.04e-6;
  p->jitter[0].enabled = 1;
  p->jitter[0].target = JIT_PRI;
  std::vector<int64_t> got = starts(10e6, 100000, [](int) { return 0.0; });
  for (int64_t r = 0; r <= 100000; ++r) ASSERT_EQ(got[static_cast<size_t>(r)], nearest(1040 * r)) << r;
  EXPECT_EQ(got[99999], 1039990);  // exact 1,039,989.6

  // With a PRI jitter of whole 20 ns steps (no exact time on a half sample).
  got = starts(10e6, 20000, [](int r) { return static_cast<double>((r * 7919) % 7 * 20 - 60); });
  int64_t ns = 0;
  for (int r = 0; r < 20000; ++r) {
    ASSERT_EQ(got[static_cast<size_t>(r)], nearest(ns)) << r;
    ns += 1040 + (r * 7919) % 7 * 20 - 60;
  }

  // Blank jitter without PRF: 10 us on, 1 us blank at 100 MHz (1,100
  // samples), jitter -20, +20, -50, -10 ns: 4,394 samples; a symmetric
  // jitter of 0.7 samples adds nothing.
  p->prfMode = 0;
  p->onTime = 10e-6;
  p->offTime = 1e-6;
  p->jitter[0].target = JIT_BLANKPERIOD;
  got = starts(100e6, 4, [](int r) { return std::vector<double>{-20, 20, -50, -10}[static_cast<size_t>(r)]; });
  EXPECT_EQ(got, (std::vector<int64_t>{0, 1098, 2200, 3295, 4394}));
  got = starts(100e6, 4, [](int r) { return r % 2 == 0 ? 7.0 : -7.0; });
  EXPECT_EQ(got, (std::vector<int64_t>{0, 1101, 2200, 3301, 4400}));
  got = starts(100e6, 4, [](int r) { return r % 2 == 0 ? -7.0 : 7.0; });
  EXPECT_EQ(got, (std::vector<int64_t>{0, 1099, 2200, 3299, 4400}));
}

TEST_F(PulseTest, RefusalsAndSkippedRepetitions) {
  p->onTime = 0.5e-8;
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(Logged("'Pulse time' is too short for the specified clock rate."));
  // A time that is one sample period up to a rounding error in its last bit
  // gives one sample.
  double fs = 0.0;
  for (double f = 1e6; f < 1e9 && fs == 0.0; f += 1e6)
    if ((1.0 / f) * f < 1.0) fs = f;
  ASSERT_GT(fs, 0.0);
  p->onTime = 1.0 / fs;
  ASSERT_EQ(ComputePulse(0, p, 5, 6, fs, jitter, &samples, &duration, &peak, 1, 0, 0, 1, 1, 1, 0, 0, 0, 1, 0,
                         -1, 0),
            1);
  EXPECT_EQ(samples, 1);

  p->onTime = 100e-9;
  p->prfMode = 1;
  p->prfValue = 0.0;
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(Logged(" *** PRF value is zero."));
  p->prfValue = 20e6;  // period of 5 samples, shorter than the on time
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(Logged(" *** Invalid pulse blank time. Double check parameters."));
  p->prfMode = 0;
  p->noiseOn = 1;
  p->noiseBw = 60e6;
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(Logged("Noise bandwidth"));
  p->noiseOn = 0;
  EXPECT_EQ(ComputePulse(0, p, 5, 6, kFs, jitter, &samples, &duration, &peak, 0, 0, 0, 1, 1, 1, 0, 0, 0, 1, 64,
                         -1, 0),
            0);
  EXPECT_TRUE(Logged(" *** Sequence index out of range."));

  // Skip: trunc(0.7) does not skip; 1.0 skips and leaves the peak alone.
  p->jitter[2].enabled = 1;
  p->jitter[2].target = JIT_SKIP;
  jitter[2] = 0.7;
  peak = 3.0;
  ASSERT_EQ(Run(), 1);
  EXPECT_EQ(samples, 10);
  jitter[2] = 1.0;
  ASSERT_EQ(Run(), 1);
  EXPECT_EQ(samples, 0);
  EXPECT_EQ(duration, 0.0);
  EXPECT_EQ(peak, 3.0);
  EXPECT_EQ(Samples().size(), 10u);

  // Stop is asked before the first sample.
  EngineHost host = ConsoleEngineHost();
  host.stopPressed = [] { return 1; };
  SetEngineHost(&host);
  jitter[2] = 0.0;
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(Logged("*** User break during waveform creation."));
}

TEST_F(PulseTest, CustomEnvelopeLevelsAndIqPoints) {
  p->riseTime = 20e-9;
  p->onTime = 50e-9;
  p->fallTime = 20e-9;  // 9 samples over 3 points: x = k/4
  p->customEnvelopeOn = 1;
  ASSERT_TRUE(p->envelope.SetLevels({0.0, 1.0, 0.5}));
  p->riseEdge = EDGE_LINEAR;
  p->attOff = 400.0;
  ASSERT_EQ(Run(), 1);
  // I/Q points: magnitude and angle of the interpolated point.
  ASSERT_TRUE(p->envelope.SetIq({0.0, 0.6}, {1.0, 0.8}));
  ASSERT_EQ(Run(), 1);
  // A span of one sample takes the first point.
  p->riseTime = 0.0;
  p->fallTime = 0.0;
  p->onTime = 10e-9;
  ASSERT_TRUE(p->envelope.SetLevels({0.25, 1.0}));
  ASSERT_EQ(Run(), 1);
  const std::vector<Sample> s = Samples();
  ASSERT_EQ(s.size(), 19u);
  for (int k = 0; k < 9; ++k) {
    const double x = k * 2.0 / 8.0;
    const int j = static_cast<int>(x);
    const double f = x - j;
    const double value = j >= 2 ? 0.5 : (1 - f) * (j == 0 ? 0.0 : 1.0) + f * (j == 0 ? 1.0 : 0.5);
    double level = 1.0;
    if (k < 2) level = k / 2.0;
    if (k >= 7) level = 1.0 - (k - 7) / 2.0;
    EXPECT_EQ(s[k].i, WaveLib_SampleToInt16(static_cast<float>(value * level))) << k;
  }
  // Half way between (0, 1) and (0.6, 0.8): (0.3, 0.9) of the on time.
  const double vi = 0.3, vq = 0.9;
  double mag = 0.0, angle = 0.0;
  IqToMagPhase(&vi, &vq, 1, &mag, &angle);
  EXPECT_EQ(s[9 + 4].i, WaveLib_SampleToInt16(static_cast<float>(mag * std::cos(angle))));
  EXPECT_EQ(s[9 + 4].q, WaveLib_SampleToInt16(static_cast<float>(mag * std::sin(angle))));
  EXPECT_EQ(s[18].i, WaveLib_SampleToInt16(0.25f));
}

// Test module: records the sample numbers, halves the amplitude, steps the
// phase and raises bit 4 of the marker on the first sample.
std::vector<int> g_modSamples;
int TestEngine2(unsigned char* marker, double* amplitude, double* phase, int sample) {
  g_modSamples.push_back(sample);
  if (sample == 0) *marker |= 0x10;
  *amplitude = 0.5;
  *phase += 0.25;
  return 1;
}

std::vector<ReportEntryValues> g_reports;
int RecordReport(char*, const ReportEntryValues& v) {
  g_reports.push_back(v);
  return 1;
}
int RefuseReport(char* errorText, const ReportEntryValues&) {
  std::snprintf(errorText, kReportErrorTextSize, "sheet is locked");
  return 0;
}

TEST_F(PulseTest, ModulationRunsFromTheFirstRiseToTheFirstBlankSample) {
  ModuleCount = 1;
  ModuleTable[0] = ModuleEntry{};
  ModuleTable[0].Name = "PulseTestModule";
  ModuleTable[0].Type = "modulation";
  ModuleTable[0].Engine2 = TestEngine2;
  p->modulation = static_cast<int8_t>(kModulationPlugin);
  p->pluginName = "PulseTestModule";
  p->delay = 20e-9;
  p->riseTime = 20e-9;
  p->onTime = 30e-9;
  p->fallTime = 10e-9;
  p->offTime = 20e-9;
  g_modSamples.clear();
  ASSERT_EQ(Run(), 1);
  ModuleCount = 0;
  const std::vector<int> expected = {0, 1, 2, 3, 4, 5, 6};
  EXPECT_EQ(g_modSamples, expected);
  const std::vector<Sample> s = Samples();
  ASSERT_EQ(s.size(), 10u);
  EXPECT_EQ(s[2].marker & 0x10, 0x10);  // the module's bit stays set
  // On sample 2 of the repetition: phase 5*0.25, amplitude 0.5 (plus the
  // blank sample, whose phase is 0 again).
  EXPECT_EQ(s[6].i, WaveLib_SampleToInt16(static_cast<float>(0.5 * std::cos(5 * 0.25))));
  EXPECT_EQ(s[9].q, 0);
  EXPECT_EQ(LastPulsePhase, 0.0);
}

TEST_F(PulseTest, ReportValuesGoThroughTheHost) {
  EngineHost host = ConsoleEngineHost();
  host.reportAddEntry = RecordReport;
  SetEngineHost(&host);
  g_reports.clear();
  p->delay = 30e-9;
  p->onTime = 400e-9;
  p->offTime = 570e-9;
  p->attOn = 3.0;
  p->droop = 1.5;
  p->freqOffset = 2e6;
  p->startPhase = 45.0;
  p->modulation = MOD_FMCHIRP;
  p->modParams.Set(0, "DOUBLE", "RF Bandwidth [MHz]", "5");
  p->modParams.Set(1, "LIST", "Ramp Type", "0");
  p->jitter[1].enabled = 1;
  p->jitter[1].target = JIT_CHIRPDEV;
  p->jitter[2].enabled = 1;
  p->jitter[2].target = JIT_PHASE;
  jitter[1] = 1e6;
  jitter[2] = 15.0;
  ASSERT_EQ(Run(0, 0, 0xFF, 2, 0), 1);
  EXPECT_TRUE(g_reports.empty());
  ASSERT_EQ(Run(0, 0, 0xFF, 2, 1), 1);
  ASSERT_EQ(g_reports.size(), 1u);
  const ReportEntryValues& v = g_reports[0];
  EXPECT_EQ(v.entryNumber, 4);
  EXPECT_EQ(v.repetition, 2);
  EXPECT_DOUBLE_EQ(v.delay, 3 / kFs);
  EXPECT_DOUBLE_EQ(v.off, 57 / kFs);
  EXPECT_DOUBLE_EQ(v.prfOrPri, 1e6);
  EXPECT_DOUBLE_EQ(v.phase, 60.0);
  EXPECT_NEAR(v.onLevel, 3.0, 1e-12);
  EXPECT_NEAR(v.droop, 1.5, 1e-12);
  EXPECT_DOUBLE_EQ(v.deviation, 6e6);
  EXPECT_DOUBLE_EQ(v.pulseStart, 2e-6 + 3 / kFs);

  host.reportAddEntry = RefuseReport;
  SetEngineHost(&host);
  EXPECT_EQ(Run(0, 0, 0xFF, 2, 1), 0);
  EXPECT_TRUE(Logged(" *** Report error. See details below:"));
  EXPECT_TRUE(Logged("sheet is locked"));
}

TEST_F(PulseTest, NoiseAddsThePairOfThePreviousStep) {
  p->noiseOn = 1;
  p->noiseAtt = 10.0;
  p->noiseBw = 5e6;
  p->onTime = 6e-6;  // 600 samples: several blocks
  RandomSeedRand(4321);
  ASSERT_EQ(Run(), 1);
  const std::vector<Sample> s = Samples();
  ASSERT_EQ(s.size(), 600u);
  RandomSeedRand(4321);
  const double gain = std::pow(10.0, -10.0 / 20.0);
  double ni = 0.0, nq = 0.0;
  ASSERT_EQ(FilteredNoise(&ni, &nq, 1, 5e6, kFs), 1);
  ni *= gain;
  nq *= gain;
  for (int k = 0; k < 600; ++k) {
    EXPECT_EQ(s[k].fi, static_cast<float>(1.0 + ni)) << k;
    EXPECT_EQ(s[k].fq, static_cast<float>(0.0 + nq)) << k;
    FilteredNoise(&ni, &nq, 0, 5e6, kFs);
    ni *= gain;
    nq *= gain;
  }
}

}  // namespace
