// The samples of a build made again, straight into the waveform file
// (SampleStream, see BuildStore.h).
#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/BuildStore.h"
#include "engine/Tessera_GenerateWave.h"

namespace build_detail {

namespace {

// Pairs per write to the waveform file (1 MiB).
constexpr int32_t kStreamPairs = 1 << 18;

}  // namespace

int16_t* SampleStream::Room(int32_t count) {
  if (block_.empty()) block_.resize(2 * static_cast<size_t>(kStreamPairs));
  if (fill_ + count > kStreamPairs) {
    if (!failed_ && !out_.Append(block_.data(), fill_)) failed_ = true;
    fill_ = 0;
  }
  if (failed_) return nullptr;
  int16_t* at = block_.data() + 2 * static_cast<size_t>(fill_);
  fill_ += count;
  return at;
}

int SampleStream::Samples(const unsigned char* iq, const unsigned char* markers, int32_t count, double peak) {
  for (int32_t done = 0; done < count;) {
    const int32_t n = std::min(count - done, kStreamPairs);
    int16_t* to = Room(n);
    if (to == nullptr) return 0;
    WaveLib_PairsToInt16(iq + 8 * static_cast<size_t>(done), to, n);
    done += n;
  }
  if (PeakAtFullScale(peak)) sum_.Add(iq, count);
  markers_.Add(markers, count);
  samples_ += count;
  return 1;
}

bool SampleStream::TakeLevel(const PulseLevelBlock& block, const unsigned char* markers) {
  if (!LevelBlockIsZero(block)) return false;
  double lo = 0.0, hi = 0.0;
  LevelSquares(std::fabs(block.level), 1.0, &lo, &hi);
  if (PeakAtFullScale(block.peak) && !sum_.AddBounded(block.count, lo, hi)) return false;
  for (int32_t done = 0; done < block.count;) {
    const int32_t n = std::min(block.count - done, kStreamPairs);
    int16_t* to = Room(n);
    if (to == nullptr) return true;  // the failed write is Finish's to report
    std::memset(to, 0, 4 * static_cast<size_t>(n));
    done += n;
  }
  markers_.Add(markers, block.count);
  samples_ += block.count;
  return true;
}

int SampleStream::Constant(float i, float q, int32_t count) {
  const int16_t vi = WaveLib_SampleToInt16(i), vq = WaveLib_SampleToInt16(q);
  for (int32_t done = 0; done < count;) {
    const int32_t n = std::min(count - done, kStreamPairs);
    int16_t* to = Room(n);
    if (to == nullptr) return 0;
    for (int32_t k = 0; k < n; ++k) to[2 * k] = vi, to[2 * k + 1] = vq;
    done += n;
  }
  sum_.AddConstant(i, q, count);
  markers_.AddRun(0, count);
  samples_ += count;
  return 1;
}

int SampleStream::Finish(const SampleStore& first) {
  if (!failed_ && fill_ > 0 && !out_.Append(block_.data(), fill_)) failed_ = true;
  fill_ = 0;
  if (failed_) return 0;  // the writer's Finish says why
  const SquareSum& a = sum_;
  const SquareSum& b = first.sums();
  const std::vector<WaveMarkerChange>& x = markers_.changes();
  const std::vector<WaveMarkerChange>& y = first.markers().changes();
  bool same = samples_ == first.samples() && a.Total() == b.Total() && a.Peak() == b.Peak() && a.Silent() == b.Silent() &&
              x.size() == y.size();
  for (size_t k = 0; same && k < x.size(); ++k) same = x[k].index == y[k].index && x[k].byte == y[k].byte;
  if (!same) LogInternalError(kErrEntrySlots);
  return same ? 1 : 0;
}

}  // namespace build_detail
