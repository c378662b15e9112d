// A waveform build of 10^9 samples beside one of 10^7, the same pulse train
// (B1's: 10 us FM chirp, PRI 100 us, 100 MHz, marker 1) in ten entries:
//   L1  10 x 100 repetitions      10^7 samples
//   L2  10 x 10,000 repetitions   10^9 samples (one build)
// Counters: the cost per sample (ns, wall and processor time of the
// building thread; target: L2 at most 1.5 times L1), the peak resident
// memory of the process so far (MB; target: under 200 MB at 10^9 samples)
// and the temporary disk the build left in use, its temporary sample files
// (MB, and as a fraction of the waveform file: target under 0.1).
//
// L2 writes a waveform file of 4 GB in the temporary folder ($TMPDIR, else
// /tmp) and runs only with CADENZA_BENCH_LARGE=1; `make bench` skips both
// cases otherwise.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "bench/BuildBench.h"
#include "engine/Tessera_GenerateWave.h"

namespace {

using cz::bench::g_lastError;

constexpr int kEntries = 10;

cz::bench::BuildFolder g_folder;

bool Wanted() {
  const char* on = std::getenv("CADENZA_BENCH_LARGE");
  return on != nullptr && std::strcmp(on, "1") == 0;
}

void Prepare() { g_folder.Prepare("bench-large", cz::bench::KeepLastError); }

void SetUpChirpTrain(int repetitionsPerEntry) {
  cz::bench::SetUpChirpTrain(100e6, kEntries, repetitionsPerEntry, g_folder.File("large.wv"));
}

// Bytes on disk of the files in folder and its sub-folders, but for the
// waveform file and its partial copies (the files it is written to before
// the rename, ".cz*.tmp").
double DiskBytes(const std::string& folder, const std::string& waveFile) {
  double bytes = 0.0;
  DIR* d = opendir(folder.c_str());
  if (d == nullptr) return 0.0;
  while (const dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == ".." || name.rfind(".cz", 0) == 0) continue;
    const std::string path = folder + "/" + name;
    struct stat st{};
    if (path == waveFile || lstat(path.c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) bytes += DiskBytes(path, waveFile);
    else if (S_ISREG(st.st_mode)) bytes += 512.0 * static_cast<double>(st.st_blocks);
  }
  closedir(d);
  return bytes;
}

double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

double SteadySeconds() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

void RunLarge(benchmark::State& state, int repetitionsPerEntry) {
  if (!Wanted()) {
    state.SkipWithError("set CADENZA_BENCH_LARGE=1 to run (10^9 samples need about 13 GB of temporary disk)");
    return;
  }
  Prepare();
  SetUpChirpTrain(repetitionsPerEntry);
  int64_t samples = 0;
  double wall = 0.0, cpu = 0.0, temporary = 0.0;
  const std::string waveFile = g_folder.File("large.wv");
  for (auto _ : state) {
    const double w0 = SteadySeconds(), c0 = ThreadSeconds();
    if (!BuildWaveform(0, 0, 1, -1, 0, 0.0)) {
      state.SkipWithError(("build failed: " + g_lastError).c_str());
      return;
    }
    wall += SteadySeconds() - w0;
    cpu += ThreadSeconds() - c0;
    samples += LastBuildSamples;
    state.PauseTiming();
    temporary = std::max(temporary, DiskBytes(g_folder.Dir(), waveFile));
    state.ResumeTiming();
  }
  struct stat wave{};
  const double waveBytes = stat(waveFile.c_str(), &wave) == 0 ? static_cast<double>(wave.st_size) : 0.0;
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.SetItemsProcessed(samples);
  state.counters["samples"] = LastBuildSamples;
  state.counters["wall_ns_per_sample"] = 1e9 * wall / static_cast<double>(samples);
  state.counters["cpu_ns_per_sample"] = 1e9 * cpu / static_cast<double>(samples);
  state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
  state.counters["temp_disk_MB"] = temporary / 1e6;
  state.counters["temp_disk_per_wave"] = waveBytes > 0.0 ? temporary / waveBytes : 0.0;
}

void BM_L1_TenMillionSamples(benchmark::State& state) { RunLarge(state, 100); }
void BM_L2_OneBillionSamples(benchmark::State& state) { RunLarge(state, 10000); }

}  // namespace

BENCHMARK(BM_L1_TenMillionSamples)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_L2_OneBillionSamples)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);
