// ResampleFile throughput, output samples per second on one core, through
// real temporary files and buffer slots as the waveform builder uses them:
//   - 400 -> 600 MHz with the 201-tap sinc / Rife-Vincent kernel, for an even
//     input length (three repeating phases) and an odd one (no two outputs
//     share a fractional position, every coefficient interpolated afresh);
//   - user filters at oversampling 2: 201 coefficients with different I and
//     Q sets (the longest the 201-tap window takes), and 64 equal ones.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "Shared/FileIO/FileIOBufferedIO.h"
#include "engine/Tessera_Resampler.h"
#include "engine/Windows.h"

namespace {

struct FileCloser {
  void operator()(FILE* f) const {
    if (f != nullptr) std::fclose(f);
  }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

int GoOn(double) { return 0; }

// An "IQF" temporary file of n samples of a two-tone signal.
FilePtr MakeSource(int64_t n) {
  FilePtr f(std::tmpfile());
  if (!f) return f;
  InitBuf(4, f.get(), 0, 1);
  WriteBytes(4, 3, "IQF");
  std::vector<float> block(2 * 4096);
  for (int64_t done = 0; done < n;) {
    const int64_t count = std::min<int64_t>(4096, n - done);
    for (int64_t s = 0; s < count; ++s) {
      const double i = static_cast<double>(done + s);
      block[2 * s] = static_cast<float>(0.5 * std::cos(0.0123 * i) + 0.3 * std::cos(0.71 * i));
      block[2 * s + 1] = static_cast<float>(0.5 * std::sin(0.0123 * i) - 0.3 * std::sin(0.71 * i));
    }
    WriteBytes(4, static_cast<int32_t>(count * 8), block.data());
    done += count;
  }
  ReleaseBuf(4);
  return f;
}

struct Case {
  int filter;
  int window;
  double cutoff, clock;
  std::vector<double> userI, userQ;
  int userOvs;
};

void RunCase(benchmark::State& state, int64_t n, int64_t m, const Case& c) {
  ResetBufferSlots();
  SetBufferUnitInitialized(1);
  FilePtr src = MakeSource(n);
  FilePtr dst(std::tmpfile());
  if (!src || !dst) {
    state.SkipWithError("temporary files");
    return;
  }
  double peak = 0.0, rms = 0.0;
  for (auto _ : state) {
    InitBuf(5, src.get(), 1, 0);
    char header[3];
    ReadBytes(5, 3, header);
    std::rewind(dst.get());
    InitBuf(7, dst.get(), 0, 1);
    WriteBytes(7, 3, "IQF");
    const int ok = ResampleFile(c.filter, c.window, 0.0, n, c.cutoff, c.clock, 201, m, 5, 7, &peak, &rms, GoOn,
                                c.userI.empty() ? nullptr : c.userI.data(), c.userQ.empty() ? nullptr : c.userQ.data(),
                                static_cast<int>(c.userI.size()), c.userOvs);
    ReleaseBuf(5);
    ReleaseBuf(7);
    if (!ok) {
      state.SkipWithError("ResampleFile failed");
      break;
    }
    benchmark::DoNotOptimize(peak);
  }
  state.SetItemsProcessed(state.iterations() * m);
}

void BM_Resample400To600MHzEven(benchmark::State& state) {
  RunCase(state, 2000000, 3000000, Case{FILTER_SINC, WINDOW_RIFEVINCENT, 264e6, 600e6, {}, {}, 1});
}

void BM_Resample400To600MHzOdd(benchmark::State& state) {
  RunCase(state, 2000001, 3000002, Case{FILTER_SINC, WINDOW_RIFEVINCENT, 264e6, 600e6, {}, {}, 1});
}

// A user filter of n sinc coefficients; Q scaled by qScale.
Case UserCase(int n, double qScale) {
  Case c{FILTER_USER, WINDOW_RECT, 0.0, 100e6, {}, {}, 1};
  for (int k = 0; k < n; ++k) {
    const double x = (k - (n - 1) / 2.0) / 8.0;
    const double v = x == 0.0 ? 1.0 : std::sin(x) / x;
    c.userI.push_back(v);
    c.userQ.push_back(qScale * v);
  }
  return c;
}

void BM_ResampleUserFilterOversampling2(benchmark::State& state) {
  RunCase(state, 2000000, 4000000, UserCase(201, 0.9));
}

void BM_ResampleUserFilter64Oversampling2(benchmark::State& state) {
  RunCase(state, 2000000, 4000000, UserCase(64, 1.0));
}

}  // namespace

BENCHMARK(BM_Resample400To600MHzEven)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Resample400To600MHzOdd)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResampleUserFilterOversampling2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResampleUserFilter64Oversampling2)->Unit(benchmark::kMillisecond);
