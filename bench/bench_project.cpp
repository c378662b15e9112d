// Project file speed with the largest pulse a project may hold: a custom
// I/Q envelope of 1,000,000 points, saved and loaded. Loading must stay
// linear in the point count (target: under 2 s per load on one core).
// And the memory a large load leaves held: a file of 10,000 pulses (about
// 350 MB, of which the table keeps 256) loaded; the process's resident
// memory after the load is reported beside the one before and the peak.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

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

// Resident memory of this process, MB (/proc/self/statm).
double ResidentMb() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1e6;
}

// Peak resident memory of this process so far, MB (VmHWM).
double PeakMb() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == "VmHWM:") {
      double kb = 0;
      status >> kb;
      return kb / 1e3;
    }
  }
  return 0;
}

// 10,000 pulses, each with a 1,500-value envelope written as a program
// saves one: about 350 MB.
std::string WriteLargeProject() {
  char dir[] = "/tmp/cadenza-bench-XXXXXX";
  if (mkdtemp(dir) == nullptr) return {};
  const std::string path = std::string(dir) + "/large.prj";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return {};
  std::fputs("<?xml version=\"1.0\"?>\r\n<TV_CZ_DB>\r\n<PROJECT/>\r\n<PULSE_DB>\r\n", f);
  for (int k = 1; k <= 10000; ++k) {
    std::fprintf(f, "<PULSE name=\"p%d\" id=\"%d\">\r\n<Env state=\"on\" count=\"1500\"", k, k);
    for (int v = 0; v < 1500; ++v) std::fprintf(f, " val%d=\"%12.11f\"", v, 0.5 + v * 1e-4);
    std::fputs("/>\r\n</PULSE>\r\n", f);
  }
  std::fputs("</PULSE_DB>\r\n<SEQUENCE_DB/>\r\n<MULTISEG_DB/>\r\n<RFLIST_DB/>\r\n<DATASRC_DB/>\r\n</TV_CZ_DB>\r\n", f);
  std::fclose(f);
  return path;
}

void BM_LoadLargeProjectMemory(benchmark::State& state) {
  Log_SetLogSink(Quiet);
  const std::string path = WriteLargeProject();
  if (path.empty()) {
    state.SkipWithError("cannot write the project");
    return;
  }
  const double before = ResidentMb();
  double after = 0;
  for (auto _ : state) {
    if (LoadProject(PulseTable, SequenceTable, path.c_str(), 0) != 1 || PulseCount != kMaxPulses)
      state.SkipWithError("load failed");
    after = ResidentMb();
  }
  state.counters["resident_before_MB"] = before;
  state.counters["resident_after_MB"] = after;
  state.counters["peak_MB"] = PeakMb();
  Cleanup(path);
}
BENCHMARK(BM_LoadLargeProjectMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
