// Pulse computation into the temporary files: a 10 us linear FM chirp with
// 50 ns raised-cosine edges and a 1 MHz offset at 100 MHz, the same with
// noise, the same without modulation, and a plug-in modulation through
// mod_engine_2. Items are samples.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "Shared/FileIO/FileIOBufferedIO.h"
#include "app/Keywords.h"
#include "app/Log.h"
#include "app/PluginLoader.h"
#include "app/PulseRecord.h"
#include "engine/EngineHost.h"
#include "engine/PulseCompute.h"

namespace {

constexpr double kFs = 100e6;
// Samples written before both files are rewound, so that they stay at a
// size the page cache holds (about 32 MiB of I/Q data).
constexpr int64_t kRewindSamples = 4 << 20;

void DiscardLog(const char*) {}

// A plug-in engine of the usual kind: a phase step and a constant envelope.
int BenchEngine2(unsigned char* marker, double* amplitude, double* phase, int sample) {
  *amplitude = 0.9;
  *phase += 0.001 * (sample & 1023);
  if (sample == 0) *marker |= 0x01;
  return 1;
}

class TempFiles {
 public:
  TempFiles() {
    char pattern[] = "/tmp/bench_pulse_XXXXXX";
    dir_ = mkdtemp(pattern) != nullptr ? pattern : "/tmp";
    iq_ = std::fopen((dir_ + "/WV-DATA.TMP").c_str(), "w+b");
    mk_ = std::fopen((dir_ + "/MKR-DATA.TMP").c_str(), "w+b");
    ResetBufferSlots();
    SetBufferUnitInitialized(1);
    ok_ = iq_ != nullptr && mk_ != nullptr && InitBuf(5, iq_, 0, 1) && InitBuf(6, mk_, 0, 1) &&
          WriteBytes(5, 3, "IQF") == 3;
  }
  ~TempFiles() {
    ReleaseBuf(5);
    ReleaseBuf(6);
    if (iq_) std::fclose(iq_);
    if (mk_) std::fclose(mk_);
    std::remove((dir_ + "/WV-DATA.TMP").c_str());
    std::remove((dir_ + "/MKR-DATA.TMP").c_str());
    rmdir(dir_.c_str());
  }
  bool ok() const { return ok_; }
  // Rewinds both files once they hold kRewindSamples.
  bool Account(int64_t samples) {
    written_ += samples;
    if (written_ < kRewindSamples) return true;
    written_ = 0;
    return RestartAtBegining(5) && RestartAtBegining(6) && WriteBytes(5, 3, "IQF") == 3;
  }

 private:
  std::string dir_;
  FILE* iq_ = nullptr;
  FILE* mk_ = nullptr;
  bool ok_ = false;
  int64_t written_ = 0;
};

void SetUpChirp(PulseRecord* p) {
  InitPulseRecord(p);
  p->riseTime = 50e-9;
  p->riseEdge = EDGE_RCOS;
  p->onTime = 10e-6;
  p->fallTime = 50e-9;
  p->fallEdge = EDGE_RCOS;
  p->offTime = 0.0;
  p->freqOffset = 1e6;
  p->modulation = MOD_FMCHIRP;
  p->modParams.Set(0, "DOUBLE", "RF Bandwidth [MHz]", "20");
  p->modParams.Set(1, "LIST", "Ramp Type", "0");
}

void RunPulses(benchmark::State& state, PulseRecord* p) {
  Log_SetLogSink(DiscardLog);
  SetEngineHost(nullptr);
  TempFiles files;
  if (!files.ok()) {
    state.SkipWithError("temporary files");
    return;
  }
  const double jitter[4] = {0.0, 0.0, 0.0, 0.0};
  int64_t total = 0;
  int repetition = 1;
  for (auto _ : state) {
    int32_t samples = 0;
    double duration = 0.0;
    double peak = 1.0;
    if (!ComputePulse(0, p, 5, 6, kFs, jitter, &samples, &duration, &peak, 0, 0xFF, 0, 1, repetition, 1000000, 0,
                      0, 0.0, 1, 0, -1, 0.0) ||
        !files.Account(samples)) {
      state.SkipWithError("pulse computation failed");
      break;
    }
    repetition = repetition % 1000000 + 1;
    total += samples;
  }
  state.SetItemsProcessed(total);
  Log_SetLogSink(nullptr);
}

void BM_PulseChirp(benchmark::State& state) {
  PulseCount = 1;
  SetUpChirp(&PulseTable[0]);
  RunPulses(state, &PulseTable[0]);
}
BENCHMARK(BM_PulseChirp)->Unit(benchmark::kMicrosecond);

void BM_PulseChirpNoise(benchmark::State& state) {
  PulseCount = 1;
  SetUpChirp(&PulseTable[0]);
  PulseTable[0].noiseOn = 1;
  PulseTable[0].noiseAtt = 20.0;
  PulseTable[0].noiseBw = 20e6;
  RunPulses(state, &PulseTable[0]);
}
BENCHMARK(BM_PulseChirpNoise)->Unit(benchmark::kMicrosecond);

// The same pulse without intra-pulse modulation: the cost of the pulse
// computation's own steps.
void BM_PulseOffsetOnly(benchmark::State& state) {
  PulseCount = 1;
  SetUpChirp(&PulseTable[0]);
  PulseTable[0].modulation = MOD_NONE;
  RunPulses(state, &PulseTable[0]);
}
BENCHMARK(BM_PulseOffsetOnly)->Unit(benchmark::kMicrosecond);

void BM_PulsePlugin(benchmark::State& state) {
  PulseCount = 1;
  SetUpChirp(&PulseTable[0]);
  PulseRecord& p = PulseTable[0];
  p.modulation = static_cast<int8_t>(kModulationPlugin);
  p.pluginName = "BenchModule";
  ModuleTable[0] = ModuleEntry{};
  ModuleTable[0].Name = "BenchModule";
  ModuleTable[0].Type = "modulation";
  ModuleTable[0].Engine2 = BenchEngine2;
  ModuleCount = 1;
  RunPulses(state, &p);
  ModuleCount = 0;
}
BENCHMARK(BM_PulsePlugin)->Unit(benchmark::kMicrosecond);

}  // namespace
