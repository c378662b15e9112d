// Waveform builder: the exact bytes of the files a build writes. A set of
// varied sequences is built and every waveform file, with the temporary I/Q
// and marker files it leaves behind, is compared with a 64-bit FNV-1a hash
// taken from the builder as it was before its speed work (those with noise
// since the noise runs on as one process through a build). The DATE tag is
// the only part of a waveform file that depends on the hour of the build; it
// is cut out before hashing. The carrier kernel takes the AVX2 vector path
// on the machines that build Cadenza; a machine without AVX2 computes the
// carrier a few units in the last place apart and would need its own hashes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/Keywords.h"
#include "app/Log.h"
#include "app/ProjectFile.h"
#include "app/PulseRecord.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "app/TempFiles.h"
#include "engine/BuildStore.h"
#include "engine/EngineHost.h"
#include "engine/EngineState.h"
#include "engine/Random.h"
#include "engine/Tessera_GenerateWave.h"
#include "tests/support/RecordBuilders.h"
#include "tests/support/TempDir.h"
#include "wavelib/WaveLib.h"

namespace {

constexpr int kBarker13Pattern = 9;

uint64_t Fnv1a(const std::string& bytes) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (unsigned char c : bytes) {
    h ^= c;
    h *= 0x100000001b3ull;
  }
  return h;
}

std::string WithoutDateTag(std::string bytes) {
  const auto at = bytes.find("{DATE:");
  if (at != std::string::npos) bytes.erase(at, bytes.find('}', at) - at + 1);
  return bytes;
}

struct Hashes {
  uint64_t wave;
  uint64_t tempIq;
  uint64_t tempMarkers;
};

std::string HashText(const Hashes& h) {
  char text[96];
  std::snprintf(text, sizeof text, "{0x%016llxull, 0x%016llxull, 0x%016llxull}",
                static_cast<unsigned long long>(h.wave), static_cast<unsigned long long>(h.tempIq),
                static_cast<unsigned long long>(h.tempMarkers));
  return text;
}

std::string g_lastError;
void KeepErrors(const char* text) {
  if (std::string(text).find("***") != std::string::npos) g_lastError = text;
}

class BuilderBytesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!__builtin_cpu_supports("avx2")) GTEST_SKIP() << "the stored hashes are those of the AVX2 carrier kernel";
    char error[kWaveLibErrorTextBytes];
    ASSERT_EQ(WaveLib_Init(error, 2.2), 1);
    ASSERT_TRUE(g_Settings.TempDir.AssignExact(dir_.path()));
    ResetProject();
    g_Settings.Project.pepLevel = 0;
    g_Settings.Project.allowMarkers = 1;
    g_Settings.Project.swapIq = 0;
    SetEngineHost(nullptr);
    SetEngineBuildHost(nullptr);
    Log_SetLogSink(KeepErrors);
    Log_SetStatusSink(nullptr);
    RandomSeedUniform(11);
    RandomSeedRand(11);
  }
  void TearDown() override {
    Log_SetLogSink(nullptr);
    CloseTempFiles();
    ResetProject();
  }

  static PulseRecord& AddPulse(const char* name, double on, double off) { return cz::test::AddPulse(name, on, off); }
  SequenceRecord& AddSequence(double clock) {
    SequenceRecord& s = cz::test::AddSequence(clock);
    s.name = "S";
    EXPECT_TRUE(s.waveFile.AssignExact(dir_.File("out.wv")));
    return s;
  }
  static SequenceEntry& PulseEntry(SequenceRecord& s, int slot, const PulseRecord& p, int reps, int overlay = 0) {
    return cz::test::SetPulseEntry(s, slot, p, reps, overlay);
  }
  static void Filler(SequenceRecord& s, int slot, int type, double time) { cz::test::SetFillerEntry(s, slot, type, time); }
  static PulseRecord& Chirp(PulseRecord& p) {
    p.riseTime = p.fallTime = 50e-9;
    p.riseEdge = p.fallEdge = EDGE_RCOS;
    p.prfMode = 1;
    p.prfPri = 1;
    p.prfValue = 10e-6;
    p.freqOffset = 1e6;
    p.modulation = MOD_FMCHIRP;
    p.modParams.Set(0, "DOUBLE", "RF Bandwidth [MHz]", "20.000000");
    p.modParams.Set(1, "LIST", "Ramp Type", "0");
    return p;
  }

  // Builds sequence 0 and returns the hashes of the three files.
  Hashes Build(int drawPlots) {
    g_lastError.clear();
    EXPECT_EQ(BuildWaveform(0, drawPlots, 1, -1, 0, 0.0), 1) << g_lastError;
    return Hashes{Fnv1a(WithoutDateTag(cz::test::ReadFileBytes(dir_.File("out.wv")))),
                  Fnv1a(cz::test::ReadFileBytes(dir_.File("WV-DATA.TMP"))),
                  Fnv1a(cz::test::ReadFileBytes(dir_.File("MKR-DATA.TMP")))};
  }
  // Built for the Sequence View (the temporary files hold the samples it
  // shows), and twice without it from the same engine state: the same
  // waveform file, the temporary files empty where nothing reads them
  // afterwards; and once more with a store too small for the samples, which
  // writes them to the temporary files after all.
  void ExpectBytes(const char* what, const Hashes& expected) {
    EngineStateSnapshot state;
    state.Save();
    EXPECT_EQ(HashText(Build(1)), HashText(expected)) << what;
    EngineStateSnapshot after;
    after.Save();
    state.Restore();
    const SequenceRecord& s = SequenceTable[0];
    bool overlays = false;
    for (int e = 1; e < kMaxSequenceEntries; ++e) overlays = overlays || (s.entries[e].pulseId != -1 && s.entries[e].overlay);
    const Hashes h = Build(0);
    EXPECT_EQ(HashText(overlays ? h : Hashes{h.wave, Fnv1a("IQF"), Fnv1a("")}),
              HashText(overlays ? expected : Hashes{expected.wave, Fnv1a("IQF"), Fnv1a("")}))
        << what << ", no view";
    // Beyond the store: spilled to the temporary files, or tallied and
    // made again (straight into the file, else through the files).
    build_detail::SampleStore& store = build_detail::Store();
    state.Restore();
    store.SetLimits(300, 5, false);
    const Hashes spilled = Build(0);
    EXPECT_EQ(HashText(spilled), HashText(expected)) << what << ", spilled";
    state.Restore();
    store.SetLimits(300, 5, true);
    const Hashes tallied = Build(0);
    store.SetLimits(build_detail::kStoreSamplesMax, build_detail::kStoreSegmentsMax);
    EXPECT_EQ(HashText(tallied),
              HashText(tallied.tempIq == expected.tempIq ? expected : Hashes{expected.wave, Fnv1a("IQF"), Fnv1a("")}))
        << what << ", tallied";
    if (s.filterOn == 1 || s.clock > kResampleClockLimit) {
      // Resampled samples beyond their store: made again through the files.
      state.Restore();
      build_detail::ResampledStore().SetLimits(300, 5);
      const Hashes again = Build(0);
      build_detail::ResampledStore().SetLimits(build_detail::kStoreSamplesMax, build_detail::kStoreSegmentsMax);
      EXPECT_EQ(HashText(again), HashText(expected)) << what << ", made again";
    }
    // The next case goes on from the state this one left.
    after.Restore();
  }

  // The pulse train of the builder benchmark (bench/bench_builder.cpp): 10 us
  // linear FM chirp of 20 MHz with 50 ns raised-cosine edges, 1 MHz offset,
  // PRI 100 us, marker 1 on every repetition.
  SequenceRecord& BenchChirpTrain(double clock, int noise, int repetitions) {
    ResetProject();
    g_Settings.Project.pepLevel = 0;
    g_Settings.Project.allowMarkers = 1;
    g_Settings.Project.swapIq = 0;
    PulseRecord& p = AddPulse("chirp", 10e-6, 0.0);
    p.riseTime = p.fallTime = 50e-9;
    p.riseEdge = p.fallEdge = EDGE_RCOS;
    p.prfMode = 1;
    p.prfPri = 1;
    p.prfValue = 100e-6;
    p.freqOffset = 1e6;
    p.modulation = MOD_FMCHIRP;
    p.modParams.Set(0, "DOUBLE", "RF Bandwidth [MHz]", "20.000000");
    p.modParams.Set(1, "LIST", "Ramp Type", "0");
    p.noiseOn = noise;
    p.noiseAtt = 20.0;
    p.noiseBw = 10e6;
    SequenceRecord& s = AddSequence(clock);
    PulseEntry(s, 0, p, repetitions).markerMask = 3;
    return s;
  }

  cz::test::TempDir dir_;
};

// Pulse trains, fillers and the project options.
TEST_F(BuilderBytesTest, PulseTrainsFillersAndOptions) {
  PulseRecord& chirp = Chirp(AddPulse("chirp", 2e-6, 0.0));
  SequenceRecord& s = AddSequence(100e6);
  PulseEntry(s, 0, chirp, 40).markerMask = 3;
  ExpectBytes("chirp train", {0x55b16e20ce364ad1ull, 0x8d9357b2a2f5bf1bull, 0x45be7ac614290cb5ull});

  // Blank and CW fillers around the train, one filler skipped; comment and
  // copyright tags.
  s.comment = "bytes {test}";
  s.copyright = "nobody";
  Filler(s, 1, SYNC_BLANK, 410e-6);
  Filler(s, 2, SYNC_CW, 430.5e-6);
  Filler(s, 3, SYNC_BLANK, 100e-6);
  PulseEntry(s, 4, chirp, 3).markerMask = 0x0C;
  ExpectBytes("fillers", {0xa187f5a8980654cfull, 0x3344064b832667daull, 0x2a1d0d6c84c02c7dull});

  // I and Q exchanged, RMS offset forced, no marker lists.
  g_Settings.Project.swapIq = 1;
  g_Settings.Project.pepLevel = 1;
  g_Settings.Project.allowMarkers = 0;
  ExpectBytes("swap, PEP, no markers", {0x6d85a1ce7f1bc0e3ull, 0x741276b6f2d77f2eull, 0x2a1d0d6c84c02c7dull});
}

// Overlays of every combine mode, shorter and longer than their base, with
// a peak above full scale; pulse shapes, levels, droop, envelopes.
TEST_F(BuilderBytesTest, OverlaysShapesAndEnvelopes) {
  PulseRecord& a = AddPulse("A", 20e-6, 30e-6);
  a.attOff = 20.0;
  a.delay = 3e-6;
  a.riseTime = 1e-6;
  a.riseEdge = EDGE_RRCOS;
  a.fallTime = 2e-6;
  a.fallEdge = EDGE_SQROOT;
  a.droop = 3.0;
  a.freqOffset = -2.5e6;
  a.startPhase = 30.0;
  for (int part = 0; part < kMarkerParts; ++part) a.markers[1][part] = part % 2;
  a.markers[3][MARKER_RESTART] = 1;
  PulseRecord& b = AddPulse("B", 8e-6, 1e-6);
  b.attOn = 3.0;
  b.freqOffset = 4e6;
  b.markers[2][MARKER_ON] = 1;
  PulseRecord& c = AddPulse("C", 70e-6, 0.0);
  c.riseTime = 0.5e-6;
  c.relativePhase = 1;
  c.freqOffset = 0.7e6;
  ASSERT_TRUE(c.envelope.SetIq({0.0, 0.5, 1.0, 0.8, 0.2}, {0.0, 0.3, -0.2, 0.4, 0.0}));
  c.customEnvelopeOn = 1;
  PulseRecord& d = AddPulse("D", 5e-6, 5e-6);
  ASSERT_TRUE(d.envelope.SetLevels({1.0, 0.25, 0.75}));
  d.customEnvelopeOn = 1;
  d.riseTime = d.fallTime = 1e-6;

  SequenceRecord& s = AddSequence(50e6);
  PulseEntry(s, 0, a, 2).markerMask = 0xFF;
  PulseEntry(s, 1, b, 3, 1).markerMask = 0x70;  // add, shorter than the base
  PulseEntry(s, 2, c, 1, 2);                    // multiply, longer: cut
  PulseEntry(s, 3, d, 2);
  PulseEntry(s, 4, a, 1, 3);                    // keep
  PulseEntry(s, 5, c, 2);
  // The samples stay below full scale: the file states their peak (LEVEL
  // OFFS 9.983646,4.452366).
  ExpectBytes("overlays", {0xdec33cd1f64c773cull, 0x5c116858124e7ecaull, 0x91501dffc4d8b977ull});
}

// Jitter of every kind of draw, with fixed seeds; BPSK with a Barker code;
// band-limited noise.
TEST_F(BuilderBytesTest, JitterModulationAndNoise) {
  PulseRecord& p = Chirp(AddPulse("J", 3e-6, 0.0));
  p.prfValue = 12e-6;
  JitterBlock* j = p.jitter;
  j[0] = JitterBlock{};
  j[0].enabled = 1;
  j[0].target = JIT_ONPERIOD;
  j[0].distribution = JDIST_WHITENOISE;
  j[0].p1 = -0.5e-6;
  j[0].p2 = 0.5e-6;
  j[0].p3 = 0.01e-6;
  j[1].enabled = 1;
  j[1].target = JIT_LEVEL;
  j[1].distribution = JDIST_GAUSSNOISE;
  j[1].p1 = 0.0;
  j[1].p2 = 1.0;
  j[1].p3 = 3.0;
  j[2].enabled = 1;
  j[2].target = JIT_PRI;
  j[2].distribution = JDIST_RAMP;
  j[2].p1 = 0.0;
  j[2].p2 = 4e-6;
  j[3].enabled = 1;
  j[3].target = JIT_PHASE;
  j[3].distribution = JDIST_SINE;
  j[3].p1 = 45.0;
  j[3].p2 = 10.0;
  PulseRecord& bpsk = AddPulse("barker", 1.3e-6, 0.7e-6);
  bpsk.modulation = MOD_BARKER;
  bpsk.modParams.Set(0, "LIST", "Type", "0");
  bpsk.modParams.Set(1, "DOUBLE", "Phase [deg]", "180.00");
  bpsk.modParams.Set(2, "DOUBLE", "Transition [%]", "10.0");
  bpsk.modParams.Set(3, "LIST", "Trans. Shape", "0");
  bpsk.modParams.Set(4, "LIST", "Coding", "0");
  bpsk.dataRows[0].kind = DSRC_PATTERN;
  bpsk.dataRows[0].source = kBarker13Pattern;
  bpsk.dataRows[0].bits = 13;
  PulseRecord& noisy = AddPulse("noise", 6e-6, 4e-6);
  noisy.noiseOn = 1;
  noisy.noiseAtt = 12.0;
  noisy.noiseBw = 5e6;
  noisy.freqOffset = 3e6;

  SequenceRecord& s = AddSequence(100e6);
  SequenceEntry& e = PulseEntry(s, 0, p, 12);
  e.jitterMode[0] = JMODE_INDIVIDUAL;
  e.jitterMode[1] = JMODE_INDIVIDUAL;
  e.jitterMode[2] = JMODE_INDIVIDUAL;
  e.jitterMode[3] = JMODE_INDIVIDUAL;
  e.markerMask = 0x9;  // marker 1 on the first, marker 2 on the last repetition
  PulseEntry(s, 1, p, 5).jitterMode[0] = JMODE_REUSE;
  PulseEntry(s, 2, bpsk, 20);
  PulseEntry(s, 3, noisy, 6);
  PulseEntry(s, 4, noisy, 1, 1);
  // The ramp moves the PRI in steps of 36.36 samples: each repetition
  // starts at the sample nearest to its exact time.
  ExpectBytes("jitter, BPSK, noise", {0x59c1ad4a471f540dull, 0xedbab4bc4270d42dull, 0xf4c219130a02b853ull});
}

// Post-processing: the 600 MHz conversion, a filter with oversampling, a
// clock far above 600 MHz.
TEST_F(BuilderBytesTest, Resampling) {
  PulseRecord& p = Chirp(AddPulse("R", 2e-6, 0.0));
  p.markers[0][MARKER_OFF] = 1;
  SequenceRecord& s = AddSequence(400e6);
  PulseEntry(s, 0, p, 6);
  Filler(s, 1, SYNC_CW, 63e-6);
  ExpectBytes("400 to 600 MHz", {0x09a09b13cb20e5feull, 0xef00ef40befa6b87ull, 0x218ffca562520ee5ull});

  s.clock = 1.2e9;
  ExpectBytes("1.2 GHz to 600 MHz", {0x92032e007be0996eull, 0x39781f3ce55ece04ull, 0x218ffca562520ee5ull});

  s.clock = 100e6;
  s.filterOn = 1;
  s.filterType = FILT_RRCOS;
  s.window = WIN_HAMMING;
  s.alpha = 0.35;
  s.cutoff = 30e6;
  s.oversampling = 2.0;
  ExpectBytes("filter, oversampling 2", {0x35ca4980532e9d45ull, 0xf4ad909cb43c9ad2ull, 0x96368f39c020e445ull});
}

}  // namespace

namespace {

// The benchmark's builds: B1 whole (10 million samples, beyond several slot
// buffers, the peak at full scale); B2's noise takes the peak above full
// scale, so every sample is divided by it; B3 goes through the 600 MHz
// conversion. Each build reuses the temporary files of the one before.
TEST_F(BuilderBytesTest, BenchmarkBuilds) {
  BenchChirpTrain(100e6, 0, 1000);
  ExpectBytes("B1", {0xcd39b606b0a2552bull, 0xd760e43845e6966bull, 0x97d6154d4ced6135ull});

  BenchChirpTrain(100e6, 1, 300);
  ExpectBytes("B2, 300 repetitions", {0x120869fbcda0a25aull, 0x7121a58672f6444dull, 0x00c1bed3e45c6b5dull});

  BenchChirpTrain(400e6, 0, 60);
  ExpectBytes("B3, 60 repetitions", {0x49eb13afff5ec29aull, 0x9124a2478d8bc63bull, 0x4205c53aad249bf5ull});
}

// The demo project's sequences, as a user first builds them.
TEST_F(BuilderBytesTest, DemoProjectSequences) {
  const std::string path = dir_.File("Demo.prj");
  ASSERT_TRUE(cz::test::WriteFileBytes(
      path, cz::test::ReadFileBytes(cz::test::SourceDir() + "/examples/demo/Projects/Demo.prj")));
  ResetProject();
  ASSERT_EQ(LoadProject(PulseTable, SequenceTable, path.c_str(), 0), 1);
  ASSERT_EQ(SequenceCount, 2);
  const uint64_t expected[2][3] = {{0x03f7aee57b582ed3ull, 0x6d50cf71ad037edbull, 0x87ca66aa9bd8dbddull},
                                   {0x56c57c4469d50571ull, 0x9350c358956962efull, 0x043ec04d83e59bf5ull}};
  for (int k = 0; k < 2; ++k) {
    std::swap(SequenceTable[0], SequenceTable[k]);
    ASSERT_TRUE(SequenceTable[0].waveFile.AssignExact(dir_.File("out.wv")));
    ExpectBytes(SequenceTable[0].name.c_str(), {expected[k][0], expected[k][1], expected[k][2]});
    std::swap(SequenceTable[0], SequenceTable[k]);
  }
}

// Every option at once: I/Q swapped, PEP, markers, comment and copyright,
// fillers listed in the report, a pulse with delay, shaped edges, droop, an
// I/Q envelope, noise, a continued phase, jitter, every marker part and the
// restart marker, an overlay; once with the sequence's user filter and
// oversampling, once without a filter.
TEST_F(BuilderBytesTest, EveryOptionOn) {
  g_Settings.Project.swapIq = 1;
  g_Settings.Project.pepLevel = 1;
  g_Settings.Project.allowMarkers = 1;
  PulseRecord& p = Chirp(AddPulse("all", 4e-6, 0.0));
  p.prfValue = 9e-6;
  p.delay = 0.4e-6;
  p.riseEdge = EDGE_RRCOS;
  p.fallEdge = EDGE_SQROOT;
  p.attOn = 1.0;
  p.attOff = 40.0;
  p.droop = 2.0;
  p.startPhase = 20.0;
  p.relativePhase = 1;
  p.noiseOn = 1;
  p.noiseAtt = 15.0;
  p.noiseBw = 20e6;
  ASSERT_TRUE(p.envelope.SetIq({0.2, 1.0, 0.9, 0.6}, {0.0, 0.1, -0.3, 0.2}));
  p.customEnvelopeOn = 1;
  for (int m = 0; m < kMarkers; ++m)
    for (int part = 0; part < kMarkerParts; ++part) p.markers[m][part] = (m + part) % 2;
  p.jitter[0] = JitterBlock{};
  p.jitter[0].enabled = 1;
  p.jitter[0].target = JIT_FREQUENCY;
  p.jitter[0].distribution = JDIST_RAMP;
  p.jitter[0].p1 = 0.0;
  p.jitter[0].p2 = 2e5;
  PulseRecord& b = AddPulse("base", 30e-6, 0.0);
  b.attOn = 6.0;
  b.freqOffset = -3e6;

  SequenceRecord& s = AddSequence(100e6);
  s.comment = "every option";
  s.copyright = "nobody";
  s.reportColumns[REPORT_FILLERS] = 1;
  Filler(s, 0, SYNC_CW, 2e-6);
  SequenceEntry& e = PulseEntry(s, 1, p, 7);
  e.markerMask = 0xE7;
  e.jitterMode[0] = JMODE_INDIVIDUAL;
  Filler(s, 2, SYNC_BLANK, 70e-6);
  PulseEntry(s, 3, b, 1);
  PulseEntry(s, 4, p, 2, 1).markerMask = 0xFF;
  s.filterOn = 1;
  s.filterType = FILT_USER;
  s.window = WIN_HANN;
  s.cutoff = 20e6;
  s.oversampling = 2.0;
  ASSERT_TRUE(s.userFilter.Set({0.05, 0.2, 0.5, 0.2, 0.05}, {0.0, 0.01, 0.0, -0.01, 0.0}));
  s.userOversampling = 1;
  ExpectBytes("every option, user filter", {0x2c4f0f8ac58f0cc9ull, 0xebe6ebe6383e3ee0ull, 0x753d285e5a1a5217ull});

  s.filterOn = 0;
  ExpectBytes("every option, no filter", {0x3e363c6fdb47c117ull, 0x06639548171cba04ull, 0x070ae7c53bc767b8ull});
}

}  // namespace

namespace {

// Repetitions made longer and shorter by jitter than the build planned,
// with fillers between them, and a pulse whose off level is full scale (its
// blank samples may set the peak).
TEST_F(BuilderBytesTest, JitteredLengthsAndAnOffLevelAtFullScale) {
  PulseRecord& p = Chirp(AddPulse("P", 3e-6, 0.0));
  p.prfValue = 20e-6;
  p.jitter[0] = JitterBlock{};
  p.jitter[0].enabled = 1;
  p.jitter[0].target = JIT_PRI;
  p.jitter[0].distribution = JDIST_RAMP;
  p.jitter[0].p1 = -5e-6;
  p.jitter[0].p2 = 30e-6;
  p.markers[1][MARKER_OFF] = 1;
  PulseRecord& full = AddPulse("F", 2e-6, 7e-6);
  full.attOff = 0.0;
  full.freqOffset = 2.2e6;
  SequenceRecord& s = AddSequence(100e6);
  SequenceEntry& e = PulseEntry(s, 0, p, 30);
  e.jitterMode[0] = JMODE_INDIVIDUAL;
  e.markerMask = 0x0F;
  Filler(s, 1, SYNC_CW, 1.2e-3);
  PulseEntry(s, 2, full, 4);
  ExpectBytes("jittered lengths, off level at full scale",
              {0xdc8a4c66586f4f45ull, 0x8220310169e9fd74ull, 0xe92ed587201f4a99ull});
}

}  // namespace
