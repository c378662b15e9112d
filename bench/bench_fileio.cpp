// Buffered slot throughput: write a 512 MiB temporary file through a slot,
// then read it back, in per-sample calls of 8 bytes (the engine's pattern)
// and in 64 KiB calls. Bytes processed count the file size once per pass of
// write plus read-back.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Shared/FileIO/FileIOBufferedIO.h"
#include "wavelib/WaveLib.h"

namespace {

constexpr int64_t kFileBytes = int64_t{512} << 20;  // 512 MiB, 64 Mi samples
constexpr int kSlot = 5;

std::string TempPath() {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir ? dir : "/tmp") + "/cadenza-bench-fileio.tmp";
}

// One pass: write kFileBytes through the slot in calls of `call` bytes,
// restart, read them back in calls of the same size.
template <int32_t kCall>
void WriteThenReadBack(benchmark::State& state) {
  char error[kWaveLibErrorTextBytes];
  WaveLib_Init(error, 2.2);
  const std::string path = TempPath();
  FILE* f = std::fopen(path.c_str(), "w+b");
  if (!f) {
    state.SkipWithError("cannot create temporary file");
    return;
  }
  std::vector<unsigned char> chunk(static_cast<size_t>(kCall));
  for (int32_t k = 0; k < kCall; ++k) chunk[static_cast<size_t>(k)] = static_cast<unsigned char>(k * 7);
  const int64_t calls = kFileBytes / kCall;
  for (auto _ : state) {
    if (!InitBuf(kSlot, f, 1, 1)) {
      state.SkipWithError("InitBuf failed");
      break;
    }
    for (int64_t k = 0; k < calls; ++k) {
      if constexpr (kCall == 8) {
        // A computed I/Q pair, as the pulse computation writes one.
        const uint64_t pair = 0x3F8000003F000000ull ^ static_cast<uint64_t>(k);
        WriteBytes(kSlot, 8, &pair);
      } else {
        chunk[0] = static_cast<unsigned char>(k);
        WriteBytes(kSlot, kCall, chunk.data());
      }
    }
    RestartAtBegining(kSlot);
    int64_t sum = 0;
    for (int64_t k = 0; k < calls; ++k) {
      ReadBytes(kSlot, kCall, chunk.data());
      sum += chunk[0];
    }
    benchmark::DoNotOptimize(sum);
    ReleaseBuf(kSlot);
  }
  std::fclose(f);
  std::remove(path.c_str());
  state.SetBytesProcessed(state.iterations() * kFileBytes);
}

}  // namespace

// Per-sample calls as the engine makes them (one I/Q pair, 8 bytes).
BENCHMARK(WriteThenReadBack<8>)->Unit(benchmark::kMillisecond)->UseRealTime();
// Block transfers of 64 KiB.
BENCHMARK(WriteThenReadBack<64 * 1024>)->Unit(benchmark::kMillisecond)->UseRealTime();
