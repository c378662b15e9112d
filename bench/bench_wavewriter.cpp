// Waveform file writer throughput: 50 million samples from a temporary I/Q
// file and a temporary marker file (the builder's path), written to a
// waveform file with four marker lists. Target: >= 200 M samples/s.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/Log.h"
#include "wavelib/WaveLib.h"

namespace {

constexpr int32_t kSamples = 50'000'000;

std::string TempDir() {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir ? dir : "/tmp");
}

void QuietLog(const char*) {}

// A pulse train: 1 us pulses every 10 us at 100 MHz with a rotating phase;
// marker 1 follows the pulses, marker 2 toggles every 1,000 samples.
bool MakeTemporaryFiles(FILE* iq, FILE* markers) {
  std::vector<float> block(2 * 1'000'000);
  std::vector<unsigned char> mk(1'000'000);
  if (std::fwrite("IQF", 1, 3, iq) != 3) return false;
  for (int32_t base = 0; base < kSamples; base += 1'000'000) {
    for (int32_t k = 0; k < 1'000'000; ++k) {
      const int32_t i = base + k;
      const bool on = (i % 1000) < 100;
      block[2 * static_cast<size_t>(k)] = on ? std::cos(0.001f * static_cast<float>(k)) : 0.0f;
      block[2 * static_cast<size_t>(k) + 1] = on ? std::sin(0.001f * static_cast<float>(k)) : 0.0f;
      mk[static_cast<size_t>(k)] = static_cast<unsigned char>((on ? 1 : 0) | (((i / 1000) & 1) << 1));
    }
    if (std::fwrite(block.data(), sizeof(float), block.size(), iq) != block.size()) return false;
    if (std::fwrite(mk.data(), 1, mk.size(), markers) != mk.size()) return false;
  }
  return std::fflush(iq) == 0 && std::fflush(markers) == 0;
}

void WriteWaveformFromTemporaryFiles(benchmark::State& state) {
  char error[kWaveLibErrorTextBytes];
  WaveLib_Init(error, 2.2);
  Log_SetLogSink(QuietLog);
  const std::string dir = TempDir();
  const std::string iqPath = dir + "/cadenza-bench-WV-DATA.TMP";
  const std::string mkPath = dir + "/cadenza-bench-MKR-DATA.TMP";
  const std::string outPath = dir + "/cadenza-bench-out.wv";
  FILE* iq = std::fopen(iqPath.c_str(), "w+b");
  FILE* mk = std::fopen(mkPath.c_str(), "w+b");
  if (!iq || !mk || !MakeTemporaryFiles(iq, mk)) {
    state.SkipWithError("cannot create the temporary files");
  } else {
    WaveDescriptor d;
    d.arbClock = d.markerClock = 100e6;
    d.samples = kSamples;
    d.rmsOffset = 10.0;
    d.statisticsValid = 1;
    d.comment = "benchmark";
    for (auto _ : state) {
      if (!WaveLib_WriteWaveform(&d, outPath.c_str(), iq, mk)) {
        state.SkipWithError("WaveLib_WriteWaveform failed");
        break;
      }
    }
    state.SetItemsProcessed(state.iterations() * kSamples);
  }
  if (iq) std::fclose(iq);
  if (mk) std::fclose(mk);
  std::remove(iqPath.c_str());
  std::remove(mkPath.c_str());
  std::remove(outPath.c_str());
  Log_SetLogSink(nullptr);
}

}  // namespace

// One unmeasured call first: the steady state of repeated writes.
BENCHMARK(WriteWaveformFromTemporaryFiles)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinWarmUpTime(0.1)
    ->MinTime(1.0);
