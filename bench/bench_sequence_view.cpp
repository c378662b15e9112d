// The Sequence View on long waveforms, offscreen with the page's graphs:
// the first draw of the whole file (which makes the file's summary), a
// draw of any viewport once the file is shown (every zoom width from the
// whole file down to 500 samples, at several places), and the spectrum of
// a 5,000,000-sample viewport (read, transform, 500 points).
//
// The temporary I/Q file is a pulse train as a build leaves it: a 2 us
// chirp every 20 us at 100 MHz, zeros between; written once per size into
// a folder of the benchmark's own ($TMPDIR, else /tmp), removed at the end.
// 10^8 samples take 800 MB; the 10^9-sample cases (8 GB) run only with
// CADENZA_BENCH_LARGE=1.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Shared/FileIO/FileIOBufferedIO.h"
#include "app/Log.h"
#include "app/PanelIds.h"
#include "editors/SequenceView.h"
#include "platform/ui/TestDriver.h"
#include "platform/ui/UserInterface.h"
#include "ui/main/SequenceViewPage.h"

namespace {

constexpr double kRate = 100e6;

void Quiet(const char*) {}

struct Folder {
  std::string dir;
  std::map<int64_t, FILE*> files;
  ~Folder() {
    for (auto& [n, f] : files) std::fclose(f);
    for (auto& [n, f] : files) unlink(Path(n).c_str());
    if (!dir.empty()) rmdir(dir.c_str());
  }
  std::string Path(int64_t n) const { return dir + "/WV-DATA-" + std::to_string(n) + ".TMP"; }
};
Folder g_folder;

bool LargeWanted() {
  const char* on = std::getenv("CADENZA_BENCH_LARGE");
  return on != nullptr && std::strcmp(on, "1") == 0;
}

// The page built once, the file unit ready.
void Page() {
  static bool built = false;
  if (built) return;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  InitUserInterface(0, nullptr);
  UiTest_Reset();
  TAB_VIEW = BuildSequenceViewPanel(0);
  DisplayPanel(TAB_VIEW);
  ResetBufferSlots();
  SetBufferUnitInitialized(1);
  Log_SetLogSink(Quiet);
  built = true;
}

// The pulse train of n samples, written once.
FILE* Train(int64_t n) {
  if (g_folder.dir.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") + "/bench-view-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    g_folder.dir = pattern;
  }
  if (auto it = g_folder.files.find(n); it != g_folder.files.end()) return it->second;
  FILE* f = std::fopen(g_folder.Path(n).c_str(), "w+b");
  if (f == nullptr) std::abort();
  std::fwrite("IQF", 1, 3, f);
  const int64_t period = 2000, pulse = 200;
  std::vector<float> one(2 * period, 0.0f);
  for (int64_t k = 0; k < pulse; ++k) {
    const double t = static_cast<double>(k) / pulse, phase = 3.141592653589793 * 40.0 * t * t;
    one[2 * k] = static_cast<float>(0.9 * std::cos(phase));
    one[2 * k + 1] = static_cast<float>(0.9 * std::sin(phase));
  }
  for (int64_t at = 0; at < n; at += period)
    if (std::fwrite(one.data(), 8, static_cast<size_t>(std::min(period, n - at)), f) == 0) std::abort();
  std::fflush(f);
  g_folder.files[n] = f;
  return f;
}

double Millis(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

// The whole file drawn as after a zoom out, its summary made anew.
void FirstShow(benchmark::State& state, int64_t n) {
  Page();
  FILE* f = Train(n);
  for (auto _ : state) {
    SetSequenceViewData(0, n - 1, kRate, f, n);
    if (DrawSequenceView() != 1) state.SkipWithError("draw failed");
  }
  state.counters["samples/s"] = benchmark::Counter(static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate);
}

// Every zoom width from the whole file down to 500 samples, each at five
// places, the file already shown: the longest and the mean draw.
void AnyViewport(benchmark::State& state, int64_t n) {
  Page();
  FILE* f = Train(n);
  SetSequenceViewData(0, n - 1, kRate, f, n);
  DrawSequenceView();
  double longest = 0.0, sum = 0.0;
  int draws = 0;
  for (auto _ : state) {
    for (int64_t w = n;; w = std::max<int64_t>(w / 2, kViewMinZoomWidth)) {
      for (double at : {0.0, 0.13, 0.5, 0.77, 1.0}) {
        g_SequenceView.width = w;
        ViewNav_Position(&g_SequenceView, at);
        const auto t0 = std::chrono::steady_clock::now();
        if (DrawSequenceView() != 1) state.SkipWithError("draw failed");
        const double ms = Millis(t0);
        longest = std::max(longest, ms);
        sum += ms;
        ++draws;
      }
      if (w == kViewMinZoomWidth) break;
    }
  }
  state.counters["longest_ms"] = longest;
  state.counters["mean_ms"] = sum / std::max(draws, 1);
}

void BM_ViewFirstShow1e8(benchmark::State& state) { FirstShow(state, 100000000); }
BENCHMARK(BM_ViewFirstShow1e8)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_ViewAnyViewport1e8(benchmark::State& state) { AnyViewport(state, 100000000); }
BENCHMARK(BM_ViewAnyViewport1e8)->Unit(benchmark::kMillisecond)->Iterations(1);

// The 10^9-sample cases, when wanted.
void Large(benchmark::State& state, void (*run)(benchmark::State&, int64_t)) {
  if (!LargeWanted()) {
    state.SkipWithError("set CADENZA_BENCH_LARGE=1 to run (10^9 samples need 8 GB of temporary disk)");
    return;
  }
  run(state, 1000000000);
}

void BM_ViewFirstShow1e9(benchmark::State& state) { Large(state, FirstShow); }
BENCHMARK(BM_ViewFirstShow1e9)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_ViewAnyViewport1e9(benchmark::State& state) { Large(state, AnyViewport); }
BENCHMARK(BM_ViewAnyViewport1e9)->Unit(benchmark::kMillisecond)->Iterations(1);

// The spectrum of a viewport of 5,000,000 samples (the file shown, its
// summary made), range "Viewport".
void BM_ViewSpectrum5M(benchmark::State& state) {
  Page();
  const int64_t n = 5000000;
  FILE* f = Train(n);
  SetSequenceViewData(0, n - 1, kRate, f, n);
  g_SequenceView.fftScope = 1;
  DrawSequenceView();
  for (auto _ : state)
    if (DrawSequenceView() != 1 || !g_SequenceView.spectrumShown) state.SkipWithError("no spectrum");
  g_SequenceView.fftScope = 0;
}
BENCHMARK(BM_ViewSpectrum5M)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
