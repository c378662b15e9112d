// Per-sample cost of the intra-pulse modulation step: whole repetitions of a
// pulse run through ComputeModulation the way the pulse computation calls it
// (first sample prepares, every sample evaluates). Items are samples.
//   chirp   10 us linear FM chirp with 50 ns edges at 100 MHz
//   bpsk    Barker R13 over the same pulse
//   fsk2    FSK(2) over 2,000 PRBS bits (the bit cursor)
//   plugin  a modulation plug-in through mod_engine_2 (in-process engine)
#include <benchmark/benchmark.h>

#include "app/Keywords.h"
#include "app/Log.h"
#include "app/PluginLoader.h"
#include "app/PulseRecord.h"
#include "engine/Modulation.h"
#include "engine/ModulationTypes.h"

namespace {

void Quiet(const char*) {}

constexpr int kRise = 5, kOn = 1000, kFall = 5;
constexpr double kRate = 100e6;

void SetUpPulse(int code) {
  Log_SetLogSink(Quiet);
  PulseCount = 0;
  InitPulseRecord(&PulseTable[0]);
  PulseCount = 1;
  PulseRecord& p = PulseTable[0];
  p.modulation = static_cast<int8_t>(code);
  const ModulationTypeInfo* type = FindModulationType(code);
  for (int k = 0; type != nullptr && type->definitions[k].key != 0; ++k)
    p.modParams.Set(k, type->definitions[k].type, type->definitions[k].name, type->definitions[k].value);
}

void RunRepetitions(benchmark::State& state, int R, int N, int F) {
  const PulseRecord& pulse = PulseTable[0];
  double sink = 0.0;
  for (auto _ : state) {
    double phase = 0.0;
    for (int n = 0; n <= R + N + F; ++n) {
      double amp = 1.0;
      unsigned char marker = 0;
      ComputeModulation(0, &amp, &phase, n, R, N, F, kRate, pulse, 10e6, n == 0, &marker);
      sink += amp + marker;
    }
    benchmark::DoNotOptimize(phase);
  }
  benchmark::DoNotOptimize(sink);
  state.SetItemsProcessed(state.iterations() * (R + N + F + 1));
  Log_SetLogSink(nullptr);
}

void BM_ModulationChirp(benchmark::State& state) {
  SetUpPulse(MOD_FMCHIRP);
  RunRepetitions(state, kRise, kOn, kFall);
}
BENCHMARK(BM_ModulationChirp);

// The same chirp over 1 ms: the per-sample cost without the preparation.
void BM_ModulationChirpLong(benchmark::State& state) {
  SetUpPulse(MOD_FMCHIRP);
  RunRepetitions(state, kRise, 100000, kFall);
}
BENCHMARK(BM_ModulationChirpLong);

void BM_ModulationBpsk(benchmark::State& state) {
  SetUpPulse(MOD_BARKER);
  PulseTable[0].dataRows[0] = ModulationDataRow{DSRC_PATTERN, 9, 13};
  RunRepetitions(state, kRise, kOn, kFall);
}
BENCHMARK(BM_ModulationBpsk);

void BM_ModulationFsk2(benchmark::State& state) {
  SetUpPulse(MOD_FSK2);
  PulseTable[0].modParams.Set(2, "DOUBLE", "T1 [us]", "1");
  PulseTable[0].modParams.Set(3, "DOUBLE", "T2 [us]", "1");
  PulseTable[0].dataRows[0] = ModulationDataRow{DSRC_RANDOM, 3, 2000};
  RunRepetitions(state, 0, 200000, 0);
}
BENCHMARK(BM_ModulationFsk2);

int BenchSetParam(const char*, void*) { return 1; }
int BenchEngine2(unsigned char* marker, double* amplitude, double* phase, int sample) {
  *marker = static_cast<unsigned char>(sample & 1);
  *amplitude = 0.5;
  *phase += 0.001;
  return 1;
}
void BenchError(char* text) { text[0] = '\0'; }

void BM_ModulationPlugin(benchmark::State& state) {
  ModuleCount = 1;
  ModuleTable[0] = ModuleEntry();
  ModuleTable[0].Name = "bench";
  ModuleTable[0].Type = "modulation";
  ModuleTable[0].SetParam = BenchSetParam;
  ModuleTable[0].Engine2 = BenchEngine2;
  ModuleTable[0].Error = BenchError;
  SetUpPulse(kModulationPluginCode);
  PulseTable[0].pluginName = "bench";
  RunRepetitions(state, kRise, kOn, kFall);
  ModuleTable[0] = ModuleEntry();
  ModuleCount = 0;
}
BENCHMARK(BM_ModulationPlugin);

}  // namespace
