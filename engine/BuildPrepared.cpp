// The waveform file's data formed while a build writes its temporary files
// (PreparedWave, see BuildInternal.h).
#include <sys/mman.h>

#include <climits>
#include <cstring>

#include "engine/BuildInternal.h"

namespace build_detail {

namespace {

// The int16 buffer grows in steps of 2 MiB (the size of a huge page, which
// the buffer may use: fewer faults for the first build).
constexpr int64_t kGrowSamples = (int64_t{2} << 20) / 4;

}  // namespace

PreparedWave::~PreparedWave() {
  if (int16_ != nullptr) munmap(int16_, static_cast<size_t>(4 * capacity_));
}

bool PreparedWave::Reserve(int64_t samples) {
  if (samples <= capacity_) return true;
  if (samples > kPreparedSamplesMax) return false;
  const int64_t capacity = (samples + kGrowSamples - 1) / kGrowSamples * kGrowSamples;
  void* p = int16_ == nullptr
                ? mmap(nullptr, static_cast<size_t>(4 * capacity), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                       -1, 0)
                : mremap(int16_, static_cast<size_t>(4 * capacity_), static_cast<size_t>(4 * capacity), MREMAP_MAYMOVE);
  if (p == MAP_FAILED) return false;
  madvise(p, static_cast<size_t>(4 * capacity), MADV_HUGEPAGE);
  int16_ = static_cast<int16_t*>(p);
  capacity_ = capacity;
  return true;
}

void PreparedWave::Begin(int64_t planned, bool markers, bool samples) {
  taken_ = 0;
  sum_ = SquareSum{};
  changes_.Begin(0x0F);
  open_ = markers || samples;
  markersOn_ = markers;
  samplesOn_ = samples && Reserve(planned);
}

void PreparedWave::Close() { open_ = false; }

void PreparedWave::Stop() {
  open_ = markersOn_ = samplesOn_ = false;
  taken_ = 0;
  changes_.Begin(0x0F);
}

void PreparedWave::Add(const unsigned char* iq, const unsigned char* markers, int32_t count, double peak) {
  if (!open_ || count <= 0) return;
  if (taken_ + count > INT32_MAX) markersOn_ = samplesOn_ = false;
  if (markersOn_) {
    changes_.Add(markers, count);
    if (changes_.overflowed()) markersOn_ = false;
  }
  if (samplesOn_) {
    if (!PeakAtFullScale(peak) || !Reserve(taken_ + count)) {
      samplesOn_ = false;
    } else {
      WaveLib_PairsToInt16(iq, int16_ + 2 * taken_, count);
      sum_.Add(iq, count);
    }
  }
  taken_ += count;
}

const SquareSum* PreparedWave::Sums(int64_t samples) const {
  return samplesOn_ && taken_ == samples ? &sum_ : nullptr;
}

const int16_t* PreparedWave::Samples(int64_t samples) const {
  return samplesOn_ && taken_ == samples ? int16_ : nullptr;
}

const std::vector<WaveMarkerChange>* PreparedWave::MarkerChanges(int64_t samples) const {
  return markersOn_ && taken_ == samples && samples > 0 ? &changes_.changes() : nullptr;
}

// ---- MarkerChangeList ------------------------------------------------------------

void MarkerChangeList::Begin(unsigned mask) {
  changes_.clear();
  mask_ = mask;
  current_ = 0;
  fed_ = 0;
  overflow_ = false;
}

void MarkerChangeList::Note(int64_t index, unsigned value) {
  current_ = value;
  if (overflow_) return;
  if (static_cast<int64_t>(changes_.size()) >= kPreparedChangesMax || index > INT32_MAX) {
    overflow_ = true;
    changes_.clear();
    return;
  }
  changes_.push_back(WaveMarkerChange{static_cast<int32_t>(index), static_cast<uint8_t>(value)});
}

void MarkerChangeList::Add(const unsigned char* markers, int32_t count) {
  if (count <= 0) return;
  // Runs are skipped eight bytes at a time, as the writer's run lists do.
  const uint64_t lanes = 0x0101010101010101ull * (mask_ & 0xFFu);
  int32_t j = 0;
  if (fed_ == 0) {
    Note(0, markers[0] & mask_);
    j = 1;
  }
  while (j < count) {
    const uint64_t same = 0x0101010101010101ull * current_;
    while (j + 8 <= count) {
      uint64_t w;
      std::memcpy(&w, markers + j, 8);
      if ((w & lanes) != same) break;
      j += 8;
    }
    const int32_t end = count - j < 8 ? count : j + 8;
    for (; j < end; ++j) {
      const unsigned v = markers[j] & mask_;
      if (v != current_) Note(fed_ + j, v);
    }
  }
  fed_ += count;
}

void MarkerChangeList::AddRun(unsigned byte, int64_t count) {
  if (count <= 0) return;
  const unsigned v = byte & mask_;
  if (fed_ == 0 || v != current_) Note(fed_, v);
  fed_ += count;
}

PreparedWave& Prepared() {
  static PreparedWave prepared;
  return prepared;
}

}  // namespace build_detail
