// Whole waveform builds, from the sequence's entries to the waveform file,
// in one process on one core:
//   B1 FM-chirp pulse train, 1,000 repetitions of 100 us at 100 MHz
//      (10 million samples), filter off, markers on     >= 50 M samples/s
//   B2 B1 with band-limited noise on                     >=  6 M samples/s
//   B3 B1 at 400 MHz, resampled to 600 MHz               >= 10 M output samples/s
//      (one unmeasured build first: the steady state of repeated builds)
//   B1, B2 and B3 each >= 10 times its numpy peer (bench/numpy_peer_b1.py,
//   _b2.py, _b3.py), measured beside it in the same run (scripts/run-bench)
//   B4 10,000 repetitions of a 1 us BPSK Barker-13 pulse with 1 us blank
//      (2 million samples, about 70,000 log lines into a sink)   < 1 s
// The samples/s counters count the samples of the written file.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/Keywords.h"
#include "app/Log.h"
#include "app/PulseRecord.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "bench/BuildBench.h"
#include "engine/Tessera_GenerateWave.h"

namespace {

using cz::bench::g_lastError;

constexpr int kModBpsk = 1;
constexpr int kBarker13Pattern = 9;

cz::bench::BuildFolder g_folder;
long g_logLines = 0;
std::size_t g_logBytes = 0;

void CountingSink(const char* text) {
  ++g_logLines;
  g_logBytes += std::char_traits<char>::length(text);
  cz::bench::KeepLastError(text);
}

void Prepare() { g_folder.Prepare("bench-builder", CountingSink); }

// The pulse and sequence of B1 (clock and noise varied by the callers).
void SetUpChirpTrain(double clock, int noise) {
  PulseRecord& p = cz::bench::SetUpChirpTrain(clock, 1, 1000, g_folder.File("bench.wv"));
  p.noiseOn = noise;
  p.noiseAtt = 20.0;
  p.noiseBw = 10e6;
}

void SetUpBarkerTrain() {
  ResetProject();
  g_Settings.Project.pepLevel = 0;
  PulseRecord& p = PulseTable[0];
  InitPulseRecord(&p);
  PulseCount = 1;
  p.name = "barker";
  p.onTime = 1e-6;
  p.offTime = 1e-6;
  p.modulation = kModBpsk;
  p.modParams.Set(0, "LIST", "Type", "0");
  p.modParams.Set(1, "DOUBLE", "Phase [deg]", "180.00");
  p.modParams.Set(2, "DOUBLE", "Transition [%]", "10.0");
  p.modParams.Set(3, "LIST", "Trans. Shape", "0");
  p.modParams.Set(4, "LIST", "Coding", "0");
  p.dataRows[0].kind = DSRC_PATTERN;
  p.dataRows[0].source = kBarker13Pattern;
  p.dataRows[0].bits = 13;
  SequenceRecord& s = SequenceTable[0];
  InitSequenceRecord(&s);
  SequenceCount = 1;
  s.name = "B4";
  s.clock = 100e6;
  s.waveFile.AssignExact(g_folder.File("bench4.wv"));
  s.entries[0].pulseId = static_cast<int32_t>(p.id);
  s.entries[0].repetitions = 10000;
}

void RunBuilds(benchmark::State& state) {
  int64_t samples = 0;
  g_logLines = 0;
  for (auto _ : state) {
    if (!BuildWaveform(0, 0, 1, -1, 0, 0.0)) {
      state.SkipWithError(("build failed: " + g_lastError).c_str());
      return;
    }
    samples += LastBuildSamples;
  }
  state.SetItemsProcessed(samples);
  state.counters["samples"] = LastBuildSamples;
  state.counters["log_lines"] =
      benchmark::Counter(static_cast<double>(g_logLines), benchmark::Counter::kAvgIterations);
}

void BM_B1_ChirpTrain(benchmark::State& state) {
  Prepare();
  SetUpChirpTrain(100e6, 0);
  RunBuilds(state);
}

void BM_B2_ChirpTrainNoise(benchmark::State& state) {
  Prepare();
  SetUpChirpTrain(100e6, 1);
  RunBuilds(state);
}

void BM_B3_ChirpTrain400To600MHz(benchmark::State& state) {
  Prepare();
  SetUpChirpTrain(400e6, 0);
  RunBuilds(state);
}

void BM_B4_BarkerTrainWithLog(benchmark::State& state) {
  Prepare();
  SetUpBarkerTrain();
  RunBuilds(state);
}

}  // namespace

BENCHMARK(BM_B1_ChirpTrain)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_B2_ChirpTrainNoise)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_B3_ChirpTrain400To600MHz)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinWarmUpTime(0.1)
    ->MinTime(2.0);
BENCHMARK(BM_B4_BarkerTrainWithLog)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
