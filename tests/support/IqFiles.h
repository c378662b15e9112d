// Temporary I/Q files as the waveform builder leaves them ("IQF", then
// float32 I, Q per sample, the file positioned at its end), small ones
// written whole and long ones sparse: zeros everywhere but the samples
// named, so that 10^8 samples cost a few pages of disk.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace cz::test {

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using IqFile = std::unique_ptr<FILE, FileCloser>;

// n samples, sample k = sample(k).
inline IqFile WriteIqFile(const std::string& path, int64_t n,
                          const std::function<std::pair<double, double>(int64_t)>& sample) {
  IqFile f(std::fopen(path.c_str(), "w+b"));
  if (!f) return f;
  std::fwrite("IQF", 1, 3, f.get());
  std::vector<float> block;
  for (int64_t k = 0; k < n; ++k) {
    const auto [i, q] = sample(k);
    block.push_back(static_cast<float>(i));
    block.push_back(static_cast<float>(q));
    if (block.size() >= 1 << 16 || k == n - 1) {
      std::fwrite(block.data(), sizeof(float), block.size(), f.get());
      block.clear();
    }
  }
  std::fflush(f.get());
  return f;
}

// n samples of 0 but those listed (index, I, Q).
struct IqSample {
  int64_t index;
  float i, q;
};
inline IqFile SparseIqFile(const std::string& path, int64_t n, const std::vector<IqSample>& samples) {
  IqFile f(std::fopen(path.c_str(), "w+b"));
  if (!f) return f;
  std::fwrite("IQF", 1, 3, f.get());
  std::fflush(f.get());
  if (ftruncate(fileno(f.get()), static_cast<off_t>(3 + 8 * n)) != 0) return IqFile();
  for (const IqSample& s : samples) {
    const float v[2] = {s.i, s.q};
    if (pwrite(fileno(f.get()), v, sizeof v, static_cast<off_t>(3 + 8 * s.index)) != sizeof v) return IqFile();
  }
  std::fseek(f.get(), 0, SEEK_END);
  return f;
}

}  // namespace cz::test
