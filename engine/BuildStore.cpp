// The samples of a build kept in memory until they go to the waveform file
// (SampleStore, see BuildStore.h).
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
#include "engine/BuildStore.h"
#include "engine/PulseKernels.h"
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

}  // namespace

void LevelSquares(double level, double peak, double* lo, double* hi) {
  const double square = level * level / (peak * peak);
  *lo = square * (1.0 - 0x1p-20);
  *hi = square * (1.0 + 0x1p-20);
}

bool LevelBlockIsZero(const PulseLevelBlock& block) {
  const double level = std::fabs(block.level);
  return block.count > 0 && level >= 0x1p-60 && level < kZeroLevel && level * (1.0 + 1e-9) < block.peak;
}

struct SampleStore::Segment {
  enum Kind : uint8_t { kFormed, kLevel, kConstant, kSkipped };
  int64_t start = 0;          // index of its first sample
  int64_t count = 0;
  Kind kind = kFormed;
  int64_t offset = 0;         // kFormed: the first pair's index in pairs_
  PulseLevelBlock level{};    // kLevel
  float i = 0.0f, q = 0.0f;   // kConstant
  double magnitude = 0.0;     // kSkipped: the stretch's level
  std::shared_ptr<const ResampleSkipBounds> bounds;  // kSkipped
};

SampleStore::~SampleStore() {
  if (pairs_ != nullptr) munmap(pairs_, static_cast<size_t>(8 * capacity_));
}

SampleStore& Store() {
  static SampleStore store;
  return store;
}

SampleStore& ResampledStore() {
  static SampleStore store;
  return store;
}

void SampleStore::SetLimits(int64_t formedPairs, int64_t segments, bool tallies) {
  formedMax_ = formedPairs;
  segmentsMax_ = segments;
  tallies_ = tallies;
}

void SampleStore::Begin(bool mayTally, bool tally) {
  Stop();
  sum_ = SquareSum{};
  peak_ = 1.0;
  mayTally_ = tallies_ && (mayTally || tally);
  tallying_ = tallies_ && tally;
}

void SampleStore::Stop() {
  segments_.clear();
  markers_.Begin(0xFF);
  formed_ = samples_ = 0;
  found_ = 0;
  spilled_ = overflowed_ = tallying_ = false;
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

// Appends s (at the end of what is held), joined to the last segment where
// it continues it.
bool SampleStore::AddSegment(const Segment& add) {
  Segment s = add;
  s.start = samples_;
  if (!segments_.empty()) {
    Segment& last = segments_.back();
    if (last.kind == s.kind) {
      bool joins = false;
      if (s.kind == Segment::kFormed) {
        joins = last.offset + last.count == s.offset;
      } else if (s.kind == Segment::kConstant) {
        joins = std::memcmp(&last.i, &s.i, 4) == 0 && std::memcmp(&last.q, &s.q, 4) == 0;
      } else if (s.kind == Segment::kSkipped) {
        joins = last.bounds == s.bounds && last.magnitude == s.magnitude;
      } else {
        // Blocks of one repetition, one after the other: their phases run on.
        const PulseLevelBlock& a = last.level;
        const PulseLevelBlock& b = s.level;
        joins = a.first + a.count == b.first && a.step == b.step && a.level == b.level && a.swapIq == b.swapIq &&
                a.count + b.count <= INT32_MAX;
        if (joins) last.level.count += b.count;
      }
      if (joins) {
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
  if (!tallying_) {
    Segment s;
    s.kind = Segment::kFormed;
    s.count = count;
    s.offset = formed_;
    if (!Room(count) || !AddSegment(s) || !MarkerRoom(count)) {
      if (!Overflow()) return 0;
      return Samples(iq, markers, count, peak);
    }
    std::memcpy(pairs_ + 8 * formed_, iq, 8 * static_cast<size_t>(count));
    formed_ += count;
  }
  // Below a peak above full scale Finish takes the sums again.
  if (PeakAtFullScale(peak)) sum_.Add(iq, count);
  markers_.Add(markers, count);
  samples_ += count;
  return 1;
}

bool SampleStore::MarkerRoom(int64_t count) const {
  return static_cast<int64_t>(markers_.changes().size()) + count <= kPreparedChangesMax;
}

int SampleStore::Overflow() {
  if (!mayTally_) return Spill();
  // Only the statistics from here on: the samples are made again to be
  // written.
  tallying_ = true;
  segments_.clear();
  formed_ = 0;
  return 1;
}

bool SampleStore::TakeLevel(const PulseLevelBlock& block, const unsigned char* markers) {
  // Values certain to convert to int16 zero, magnitudes below the running
  // peak (so that it stays), squares within the range of sums.
  if (spilled_ || !LevelBlockIsZero(block)) return false;
  const double level = std::fabs(block.level);
  double lo = 0.0, hi = 0.0;
  LevelSquares(level, 1.0, &lo, &hi);
  SquareSum trial = sum_;
  if (PeakAtFullScale(block.peak) && !trial.AddBounded(block.count, lo, hi)) return false;
  if (!tallying_) {
    Segment s;
    s.kind = Segment::kLevel;
    s.count = block.count;
    s.level = block;
    // Otherwise the caller forms the pairs, which then overflow.
    if (!MarkerRoom(block.count) || !AddSegment(s)) return false;
  }
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
  if (!tallying_) {
    Segment s;
    s.kind = Segment::kConstant;
    s.count = count;
    s.i = i;
    s.q = q;
    if (!MarkerRoom(1) || !AddSegment(s)) {
      if (!Overflow()) return 0;
      return Constant(i, q, count);
    }
  }
  sum_.AddConstant(i, q, count);
  markers_.AddRun(0, count);
  samples_ += count;
  return 1;
}

int SampleStore::Outputs(const float* iq, int32_t count) {
  if (count <= 0) return 1;
  Segment s;
  s.kind = Segment::kFormed;
  s.count = count;
  s.offset = formed_;
  if (!Room(count) || !AddSegment(s)) {
    overflowed_ = true;
    return 0;
  }
  std::memcpy(pairs_ + 8 * formed_, iq, 8 * static_cast<size_t>(count));
  formed_ += count;
  samples_ += count;
  return 1;
}

bool SampleStore::Skip(int64_t first, int32_t count, double level, double peak,
                       const std::shared_ptr<const ResampleSkipBounds>& bounds) {
  (void)peak;
  if (count <= 0 || first != samples_ || bounds == nullptr) return false;
  if (!segments_.empty()) {
    Segment& last = segments_.back();
    if (last.kind == Segment::kSkipped && last.bounds == bounds && last.magnitude == level) {
      last.count += count;
      samples_ += count;
      return true;
    }
  }
  Segment s;
  s.kind = Segment::kSkipped;
  s.count = count;
  s.magnitude = level;
  s.bounds = bounds;
  if (!AddSegment(s)) return false;
  samples_ += count;
  return true;
}

const SampleStore::Segment* SampleStore::Find(int64_t i) {
  if (segments_.empty() || i < 0 || i >= samples_) return nullptr;
  // Mostly the one found last, or the next.
  for (size_t k = found_; k < segments_.size() && k <= found_ + 1; ++k) {
    if (segments_[k].start <= i && i < segments_[k].start + segments_[k].count) return &segments_[found_ = k];
  }
  const auto at = std::upper_bound(segments_.begin(), segments_.end(), i,
                                   [](int64_t v, const Segment& s) { return v < s.start; });
  found_ = static_cast<size_t>(at - segments_.begin()) - 1;
  return &segments_[found_];
}

int64_t SampleStore::Pairs(int64_t first, int32_t count, float* out) {
  static unsigned char block[8 * kPulseBlockSamples];
  int64_t done = 0;
  while (done < count) {
    const int64_t i = first + done;
    const Segment* s = Find(i);
    if (s == nullptr) break;
    const int64_t inSegment = i - s->start;
    const int64_t n = std::min<int64_t>(count - done, s->count - inSegment);
    float* to = out + 2 * done;
    if (s->kind == Segment::kFormed) {
      std::memcpy(to, pairs_ + 8 * (s->offset + inSegment), 8 * static_cast<size_t>(n));
    } else if (s->kind == Segment::kConstant) {
      for (int64_t k = 0; k < n; ++k) to[2 * k] = s->i, to[2 * k + 1] = s->q;
    } else if (s->kind == Segment::kLevel) {
      // Its blocks from the segment's first: those in front only move the
      // phase on.
      PulseLevelBlock run = s->level;
      int64_t at = 0;  // samples of the segment behind run.first
      while (at < inSegment + n) {
        const int32_t end = PulseBlockEnd(run.first, s->level.first + s->level.count, 0);
        const int32_t m = end - run.first;
        if (at + m <= inSegment) {
          PulseKernel_AdvancePhase(&run.phi, run.step, m);
          run.first = end;
          run.count -= m;
        } else {
          PulseLevelSamples(&run, block, m);
          const int64_t from = std::max<int64_t>(inSegment, at), upTo = std::min<int64_t>(inSegment + n, at + m);
          std::memcpy(to + 2 * (from - inSegment), block + 8 * (from - at), 8 * static_cast<size_t>(upTo - from));
        }
        at += m;
      }
    } else {
      return -1;  // uncomputed outputs are no source
    }
    done += n;
  }
  return done;
}

bool SampleStore::Level(int64_t first, ResampleLevel* stretch) {
  const Segment* s = Find(first);
  if (s == nullptr) return false;
  const int64_t end = s->start + s->count - 1;  // its last sample
  if (s->kind == Segment::kConstant) {
    if (s->i != 0.0f || s->q != 0.0f) return false;
    *stretch = ResampleLevel{};
    stretch->last = end;
    return true;
  }
  if (s->kind != Segment::kLevel) return false;
  // The phase of sample `first` (the running phase after its step), and the
  // exact step of the run of phases from it.
  double phase = s->level.phi;
  PulseKernel_AdvancePhase(&phase, s->level.step, first - s->start + 1);
  double delta = 0.0;
  const int64_t run = PulseKernel_PhaseRun(phase, s->level.step, &delta);
  stretch->level = std::fabs(s->level.level);
  stretch->phi = phase;
  stretch->delta = delta;
  stretch->last = first + std::min(run, end - first);
  return true;
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

bool SampleStore::Finish(double peak, PostState& state) {
  // A peak of zero (silent resampled samples) leaves them as they are too.
  peak_ = PeakAtFullScale(peak) || peak == 0.0 ? 1.0 : peak;
  bool resampled = false;
  for (const Segment& seg : segments_) resampled = resampled || seg.kind == Segment::kSkipped;
  if (peak_ != 1.0 || resampled) {
    // Every sample divided by the peak, as the rescaling divides them.
    sum_ = SquareSum{};
    std::vector<double> lo, hi;
    for (Segment& seg : segments_) {
      if (seg.kind == Segment::kFormed) {
        unsigned char* iq = pairs_ + 8 * seg.offset;
        if (peak_ != 1.0) DividePairs(iq, seg.count, peak_);
        sum_.Add(iq, seg.count);
      } else if (seg.kind == Segment::kConstant) {
        if (peak_ != 1.0) seg.i = Divided(seg.i, peak_), seg.q = Divided(seg.q, peak_);
        sum_.AddConstant(seg.i, seg.q, seg.count);
      } else if (seg.kind == Segment::kSkipped) {
        // Outputs left uncomputed: within their magnitudes' bounds, divided
        // by the peak and rounded to float32 twice; zero in int16 for sure.
        const ResampleSkipBounds& b = *seg.bounds;
        lo.resize(static_cast<size_t>(b.classes));
        hi.resize(static_cast<size_t>(b.classes));
        for (int64_t c = 0; c < b.classes; ++c) {
          const double top = seg.magnitude * b.hi[c] / peak_;
          const double bottom = seg.magnitude * b.lo[c] / peak_;
          if (!(top * (1.0 + 0x1p-22) < kZeroLevel)) return false;
          lo[c] = bottom * bottom * (1.0 - 0x1p-20);
          hi[c] = top * top * (1.0 + 0x1p-20);
        }
        if (!sum_.AddBoundedClasses(seg.count, b.classes, seg.start % b.classes, lo.data(), hi.data())) return false;
      } else {
        double pLo = 0.0, pHi = 0.0;
        LevelSquares(std::fabs(seg.level.level), peak_, &pLo, &pHi);
        if (sum_.AddBounded(seg.count, pLo, pHi)) continue;
        // The pairs themselves (they still convert to int16 zero).
        static unsigned char block[8 * kBlockPairs];
        PulseLevelBlock run = seg.level;
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
  return true;
}

int SampleStore::Write(WaveFileWriter& out) {
  static int16_t block[2 * kBlockPairs];
  for (const Segment& s : segments_) {
    for (int64_t done = 0; done < s.count;) {
      const int32_t n = static_cast<int32_t>(std::min<int64_t>(s.count - done, kBlockPairs));
      if (s.kind == Segment::kFormed) {
        WaveLib_PairsToInt16(pairs_ + 8 * (s.offset + done), block, n);
      } else if (s.kind == Segment::kLevel || s.kind == Segment::kSkipped) {
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
