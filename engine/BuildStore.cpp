// The samples of a build kept in memory until they go to the waveform file
// (SampleStore, see BuildInternal.h).
#include <sys/mman.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#include "Shared/FileIO/FileIOBufferedIO.h"
#include "app/Log.h"
#include "engine/BuildInternal.h"
#include "engine/Tessera_GenerateWave.h"

namespace build_detail {

namespace {

// The formed pairs grow in steps of 2 MiB (a huge page's size).
constexpr int64_t kGrowPairs = (int64_t{2} << 20) / 8;
// Samples per block of the int16 conversion and of a spill.
constexpr int32_t kBlockPairs = 1 << 16;

// A float32 value whose int16 sample is zero for certain: |x| * 32767 + 0.5
// stays below 1 with room for the float rounding of the level's products.
constexpr double kZeroLevel = 0.5 / 32767.0 * (1.0 - 0x1p-20);

// x / peak as the rescaling forms it (the division in double, then float32).
inline float Divided(float x, double peak) { return static_cast<float>(static_cast<double>(x) / peak); }

#if defined(__x86_64__) && defined(__GNUC__)
#define BUILD_STORE_AVX2 1
// Eight values per step: the division in double is exact IEEE arithmetic
// whatever the width.
__attribute__((target("avx2"))) int64_t DivideAvx2(unsigned char* iq, int64_t values, double peak) {
  const __m256d p = _mm256_set1_pd(peak);
  int64_t k = 0;
  for (; k + 8 <= values; k += 8) {
    float* at = reinterpret_cast<float*>(iq + 4 * k);
    const __m256 x = _mm256_loadu_ps(at);
    const __m128 lo = _mm256_cvtpd_ps(_mm256_div_pd(_mm256_cvtps_pd(_mm256_castps256_ps128(x)), p));
    const __m128 hi = _mm256_cvtpd_ps(_mm256_div_pd(_mm256_cvtps_pd(_mm256_extractf128_ps(x, 1)), p));
    _mm256_storeu_ps(at, _mm256_set_m128(hi, lo));
  }
  return k;
}

bool HaveAvx2() {
  static const bool have = (__builtin_cpu_init(), __builtin_cpu_supports("avx2") != 0);
  return have;
}
#endif

void DividePairs(unsigned char* iq, int64_t count, double peak) {
  int64_t k = 0;
#if defined(BUILD_STORE_AVX2)
  if (HaveAvx2()) k = DivideAvx2(iq, 2 * count, peak);
#endif
  for (; k < 2 * count; ++k) {
    float x;
    std::memcpy(&x, iq + 4 * k, 4);
    x = Divided(x, peak);
    std::memcpy(iq + 4 * k, &x, 4);
  }
}

// The range of I^2 + Q^2 of the pairs of a level block divided by peak:
// level^2 times the float32 rounding of both values (and of the division,
// with a peak), whatever the phase.
void LevelSquares(double level, double peak, double* lo, double* hi) {
  const double square = level * level / (peak * peak);
  *lo = square * (1.0 - 0x1p-20);
  *hi = square * (1.0 + 0x1p-20);
}

}  // namespace

struct SampleStore::Segment {
  enum Kind : uint8_t { kFormed, kLevel, kConstant };
  int64_t count = 0;
  Kind kind = kFormed;
  int64_t offset = 0;         // kFormed: the first pair's index in pairs_
  PulseLevelBlock level{};    // kLevel (count in level.count as well)
  float i = 0.0f, q = 0.0f;   // kConstant
};

SampleStore::~SampleStore() {
  if (pairs_ != nullptr) munmap(pairs_, static_cast<size_t>(8 * capacity_));
}

SampleStore& Store() {
  static SampleStore store;
  return store;
}

void SampleStore::SetLimits(int64_t formedPairs, int64_t segments) {
  formedMax_ = formedPairs;
  segmentsMax_ = segments;
}

void SampleStore::Begin() {
  formed_ = 0;
  segments_.clear();
  markers_.Begin(0xFF);
  sum_ = SquareSum{};
  samples_ = 0;
  peak_ = 1.0;
  spilled_ = false;
}

void SampleStore::Stop() {
  segments_.clear();
  markers_.Begin(0xFF);
  formed_ = samples_ = 0;
  spilled_ = false;
}

bool SampleStore::Room(int64_t pairs) {
  const int64_t need = formed_ + pairs;
  if (need > formedMax_) return false;
  if (need <= capacity_) return true;
  const int64_t capacity = (need + kGrowPairs - 1) / kGrowPairs * kGrowPairs;
  void* p = pairs_ == nullptr ? mmap(nullptr, static_cast<size_t>(8 * capacity), PROT_READ | PROT_WRITE,
                                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)
                              : mremap(pairs_, static_cast<size_t>(8 * capacity_), static_cast<size_t>(8 * capacity),
                                       MREMAP_MAYMOVE);
  if (p == MAP_FAILED) return false;
  madvise(p, static_cast<size_t>(8 * capacity), MADV_HUGEPAGE);
  pairs_ = static_cast<unsigned char*>(p);
  capacity_ = capacity;
  return true;
}

// Appends s, joined to the last segment where it continues it.
bool SampleStore::AddSegment(const Segment& s) {
  if (!segments_.empty()) {
    Segment& last = segments_.back();
    if (last.kind == s.kind) {
      if (s.kind == Segment::kFormed && last.offset + last.count == s.offset) {
        last.count += s.count;
        return true;
      }
      if (s.kind == Segment::kConstant && std::memcmp(&last.i, &s.i, 4) == 0 && std::memcmp(&last.q, &s.q, 4) == 0) {
        last.count += s.count;
        return true;
      }
      // Blocks of one repetition, one after the other: their phases run on.
      const PulseLevelBlock& a = last.level;
      const PulseLevelBlock& b = s.level;
      if (s.kind == Segment::kLevel && a.first + a.count == b.first && a.step == b.step && a.level == b.level &&
          a.swapIq == b.swapIq && a.count + b.count <= INT32_MAX) {
        last.level.count += b.count;
        last.count += s.count;
        return true;
      }
    }
  }
  if (static_cast<int64_t>(segments_.size()) >= segmentsMax_) return false;
  segments_.push_back(s);
  return true;
}

int SampleStore::Samples(const unsigned char* iq, const unsigned char* markers, int32_t count, double peak) {
  if (count <= 0) return 1;
  if (spilled_) {
    if (WriteBytes(kSlotTempIq, 8 * count, iq) != 8 * count || WriteBytes(kSlotTempMarker, count, markers) != count) {
      Log_Message(1, "*** Cannot write temporary waveform data.");
      return 0;
    }
    return 1;
  }
  Segment s;
  s.kind = Segment::kFormed;
  s.count = count;
  s.offset = formed_;
  if (!Room(count) || !AddSegment(s)) {
    if (!Spill()) return 0;
    return Samples(iq, markers, count, peak);
  }
  std::memcpy(pairs_ + 8 * formed_, iq, 8 * static_cast<size_t>(count));
  formed_ += count;
  // Below a peak above full scale Finish takes the sums again.
  if (PeakAtFullScale(peak)) sum_.Add(iq, count);
  markers_.Add(markers, count);
  samples_ += count;
  return 1;
}

bool SampleStore::TakeLevel(const PulseLevelBlock& block, const unsigned char* markers) {
  if (spilled_ || block.count <= 0) return false;
  const double level = std::fabs(block.level);
  // Values certain to convert to int16 zero, magnitudes below the running
  // peak (so that it stays), squares within the range of sums.
  if (!(level >= 0x1p-60 && level < kZeroLevel && level * (1.0 + 1e-9) < block.peak)) return false;
  double lo = 0.0, hi = 0.0;
  LevelSquares(level, 1.0, &lo, &hi);
  SquareSum trial = sum_;
  if (PeakAtFullScale(block.peak) && !trial.AddBounded(block.count, lo, hi)) return false;
  Segment s;
  s.kind = Segment::kLevel;
  s.count = block.count;
  s.level = block;
  if (!AddSegment(s)) return false;  // the caller forms the pairs, which then spill
  sum_ = trial;
  markers_.Add(markers, block.count);
  samples_ += block.count;
  return true;
}

int SampleStore::Constant(float i, float q, int32_t count) {
  if (count <= 0) return 1;
  if (spilled_) {
    static float pairs[2 * kBlockPairs];
    static unsigned char zeros[kBlockPairs];
    for (int32_t done = 0; done < count;) {
      const int32_t n = std::min(count - done, kBlockPairs);
      for (int32_t k = 0; k < n; ++k) pairs[2 * k] = i, pairs[2 * k + 1] = q;
      if (WriteBytes(kSlotTempIq, 8 * n, pairs) != 8 * n || WriteBytes(kSlotTempMarker, n, zeros) != n) {
        Log_Message(1, "*** Cannot write temporary waveform data.");
        return 0;
      }
      done += n;
    }
    return 1;
  }
  Segment s;
  s.kind = Segment::kConstant;
  s.count = count;
  s.i = i;
  s.q = q;
  if (!AddSegment(s)) {
    if (!Spill()) return 0;
    return Constant(i, q, count);
  }
  sum_.AddConstant(i, q, count);
  markers_.AddRun(0, count);
  samples_ += count;
  return 1;
}

int SampleStore::Spill() {
  static unsigned char block[8 * kBlockPairs];
  static unsigned char bytes[kBlockPairs];
  const std::vector<WaveMarkerChange>& changes = markers_.changes();
  if (markers_.overflowed()) {
    // The bytes are gone: nothing can be written in their place.
    LogInternalError(kErrEntrySlots);
    return 0;
  }
  size_t change = 0;
  unsigned byte = 0;
  int64_t at = 0;  // samples written
  // The next n pairs of block (or iq) and their marker bytes to slots 5/6.
  const auto write = [&](const unsigned char* iq, int32_t n) -> bool {
    for (int32_t j = 0; j < n; ++j, ++at) {
      while (change < changes.size() && changes[change].index <= at) byte = changes[change++].byte;
      bytes[j] = static_cast<unsigned char>(byte);
    }
    if (WriteBytes(kSlotTempIq, 8 * n, iq) == 8 * n && WriteBytes(kSlotTempMarker, n, bytes) == n) return true;
    Log_Message(1, "*** Cannot write temporary waveform data.");
    return false;
  };
  for (const Segment& s : segments_) {
    if (s.kind == Segment::kLevel) {
      PulseLevelBlock run = s.level;
      while (run.count > 0)
        if (!write(block, PulseLevelSamples(&run, block, kBlockPairs))) return 0;
      continue;
    }
    for (int64_t done = 0; done < s.count;) {
      const int32_t n = static_cast<int32_t>(std::min<int64_t>(s.count - done, kBlockPairs));
      if (s.kind == Segment::kConstant)
        for (int32_t k = 0; k < n; ++k) std::memcpy(block + 8 * k, &s.i, 4), std::memcpy(block + 8 * k + 4, &s.q, 4);
      if (!write(s.kind == Segment::kFormed ? pairs_ + 8 * (s.offset + done) : block, n)) return 0;
      done += n;
    }
  }
  spilled_ = true;
  segments_.clear();
  formed_ = 0;
  return 1;
}

void SampleStore::Finish(double peak, PostState& state) {
  peak_ = PeakAtFullScale(peak) ? 1.0 : peak;
  if (peak_ != 1.0) {
    // Every sample divided by the peak, as the rescaling divides them.
    sum_ = SquareSum{};
    for (Segment& s : segments_) {
      if (s.kind == Segment::kFormed) {
        unsigned char* iq = pairs_ + 8 * s.offset;
        DividePairs(iq, s.count, peak_);
        sum_.Add(iq, s.count);
      } else if (s.kind == Segment::kConstant) {
        s.i = Divided(s.i, peak_);
        s.q = Divided(s.q, peak_);
        sum_.AddConstant(s.i, s.q, s.count);
      } else {
        double lo = 0.0, hi = 0.0;
        LevelSquares(std::fabs(s.level.level), peak_, &lo, &hi);
        if (sum_.AddBounded(s.count, lo, hi)) continue;
        // The pairs themselves (they still convert to int16 zero).
        static unsigned char block[8 * kBlockPairs];
        PulseLevelBlock run = s.level;
        while (run.count > 0) {
          const int32_t n = PulseLevelSamples(&run, block, kBlockPairs);
          DividePairs(block, n, peak_);
          sum_.Add(block, n);
        }
      }
    }
  }
  state.sumSquares = sum_.Total();
  state.writtenPeak = sum_.Peak();
  state.silent = sum_.Silent();
}

int SampleStore::Write(WaveFileWriter& out) {
  static int16_t block[2 * kBlockPairs];
  for (const Segment& s : segments_) {
    for (int64_t done = 0; done < s.count;) {
      const int32_t n = static_cast<int32_t>(std::min<int64_t>(s.count - done, kBlockPairs));
      if (s.kind == Segment::kFormed) {
        WaveLib_PairsToInt16(pairs_ + 8 * (s.offset + done), block, n);
      } else if (s.kind == Segment::kLevel) {
        std::memset(block, 0, 4 * static_cast<size_t>(n));
      } else {
        const int16_t i = WaveLib_SampleToInt16(s.i), q = WaveLib_SampleToInt16(s.q);
        for (int32_t k = 0; k < n; ++k) block[2 * k] = i, block[2 * k + 1] = q;
      }
      if (!out.Append(block, n)) return 0;
      done += n;
    }
  }
  return 1;
}

}  // namespace build_detail
