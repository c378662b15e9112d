// Project file speed with the largest pulse a project may hold: a custom
// I/Q envelope of 1,000,000 points, saved and loaded. Loading must stay
// linear in the point count (target: under 2 s per load on one core).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "app/Log.h"
#include "app/ProjectFile.h"
#include "app/Records.h"

namespace {

void Quiet(const char*) {}

// One pulse with an n-point I/Q envelope; returns the project's path.
std::string PrepareProject(std::size_t n) {
  Log_SetLogSink(Quiet);
  ClearProject();
  PulseRecord& p = PulseTable[0];
  InitPulseRecord(&p);
  p.name = "envelope";
  std::mt19937_64 rng(1);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> i(n), q(n);
  for (std::size_t k = 0; k < n; ++k) {
    i[k] = u(rng);
    q[k] = u(rng);
  }
  p.envelope.SetIq(std::move(i), std::move(q));
  p.customEnvelopeOn = 1;
  PulseCount = 1;
  char dir[] = "/tmp/cadenza-bench-XXXXXX";
  if (mkdtemp(dir) == nullptr) return {};
  return std::string(dir) + "/envelope.prj";
}

void Cleanup(const std::string& path) {
  std::remove(path.c_str());
  std::remove((path + ".bak").c_str());
  std::remove(path.substr(0, path.rfind('/')).c_str());
  ClearProject();
  Log_SetLogSink(nullptr);
}

void BM_SaveEnvelopeProject(benchmark::State& state) {
  std::string path = PrepareProject(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(SaveProject(PulseTable, SequenceTable, path.c_str()));
  state.SetItemsProcessed(state.iterations() * state.range(0));
  Cleanup(path);
}
BENCHMARK(BM_SaveEnvelopeProject)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// A load also writes the ".bak" copy, as it does in the program.
void BM_LoadEnvelopeProject(benchmark::State& state) {
  std::string path = PrepareProject(static_cast<std::size_t>(state.range(0)));
  SaveProject(PulseTable, SequenceTable, path.c_str());
  for (auto _ : state) {
    if (LoadProject(PulseTable, SequenceTable, path.c_str(), 0) != 1 || PulseTable[0].envelope.Count() != state.range(0))
      state.SkipWithError("load failed");
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  Cleanup(path);
}
BENCHMARK(BM_LoadEnvelopeProject)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace
