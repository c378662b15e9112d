// The samples of a build kept in memory until they go to the waveform file
// as int16 once (the builder's units only).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/BuildInternal.h"
#include "engine/PulseSamples.h"
#include "engine/SampleSums.h"
#include "engine/Tessera_Resampler.h"
#include "wavelib/WaveLib.h"

namespace build_detail {

// The samples of a build that nothing overlays or shows, kept in memory as
// the entries make them: blocks of float32 pairs as the temporary I/Q file
// would hold them, blocks at the off level as the pulse computation
// describes them (their pairs formed only when needed: they convert to int16
// zero and their squares are known well enough for the sums), and the
// fillers' constant pairs; the marker bytes as their changes. Statistics are
// taken as the blocks come, for a peak at full scale.
//
// A second store takes the resampled samples (the first one is the
// resampler's source): the outputs computed, and those over a stretch at the
// off level left uncomputed with bounds of their magnitudes.
//
// Beyond kStoreSamplesMax formed pairs, kStoreSegmentsMax blocks or
// kPreparedChangesMax marker changes the entries' store overflows: a store
// that may tally goes on taking only the statistics (the builder makes the
// samples again to write them); one that may not spills: what it holds goes
// to the temporary files (slots 5 and 6, bound by the builder) and every
// later block follows it there, as a build without the store writes them.
// The buffers are kept for the next build.
inline constexpr int64_t kStoreSamplesMax = int64_t{1} << 24;
inline constexpr int64_t kStoreSegmentsMax = int64_t{1} << 20;

// A level block whose pairs convert to int16 zero for certain, their
// magnitudes below the running peak in front of it.
bool LevelBlockIsZero(const PulseLevelBlock& block);
// The range of I^2 + Q^2 of the pairs of a level block divided by peak:
// level^2 times the float32 rounding of both values (and of the division,
// with a peak), whatever the phase.
void LevelSquares(double level, double peak, double* lo, double* hi);

class SampleStore final : public PulseSampleSink, public ResampleSource, public ResampleSink {
 public:
  ~SampleStore() override;
  // mayTally: an overflow goes on with the statistics alone (the build can
  // make its samples again); tally: from the start.
  void Begin(bool mayTally = false, bool tally = false);
  // Drops what it holds (a failed or finished build).
  void Stop();
  int Samples(const unsigned char* iq, const unsigned char* markers, int32_t count, double peak) override;
  bool TakeLevel(const PulseLevelBlock& block, const unsigned char* markers) override;
  int Constant(float i, float q, int32_t count) override;

  // The entries' store as the resampler's source.
  int64_t Pairs(int64_t first, int32_t count, float* out) override;
  bool RandomAccess() const override { return true; }
  bool Level(int64_t first, ResampleLevel* stretch) override;
  // The resampled store as its sink (0 without a message when full).
  int Outputs(const float* iq, int32_t count) override;
  bool Skip(int64_t first, int32_t count, double level, double peak,
            const std::shared_ptr<const ResampleSkipBounds>& bounds) override;
  void SetMarkers(const MarkerChangeList& markers) { markers_ = markers; }

  // Other limits than kStoreSamplesMax and kStoreSegmentsMax, and whether a
  // store that may tally does (tests).
  void SetLimits(int64_t formedPairs, int64_t segments, bool tallies = true);
  bool spilled() const { return spilled_; }
  // Only the statistics and the marker changes are held.
  bool tallied() const { return tallying_; }
  const SquareSum& sums() const { return sum_; }
  bool overflowed() const { return overflowed_; }
  int64_t samples() const { return samples_; }
  const MarkerChangeList& markers() const { return markers_; }
  // The statistics of the samples divided by peak (as the rescaling divides
  // them; a peak at full scale leaves them as they are) into state; the
  // formed pairs are divided in place. False where the sums of uncomputed
  // outputs are not certain (the build is then made without the store).
  bool Finish(double peak, PostState& state);
  // The int16 samples after Finish, in order, to the writer. 1 / 0.
  int Write(WaveFileWriter& out);

 private:
  struct Segment;
  bool Room(int64_t pairs);
  bool AddSegment(const Segment& s);
  // Writes everything held to slots 5/6 and follows it there. 1 / 0.
  int Spill();
  // Full: spills, or tallies where it may. 1 / 0.
  int Overflow();
  // The marker changes of count more samples fit.
  bool MarkerRoom(int64_t count) const;
  // The segment holding sample i.
  const Segment* Find(int64_t i);
  unsigned char* pairs_ = nullptr;  // formed pairs, 8 bytes each
  int64_t capacity_ = 0;            // pairs
  int64_t formed_ = 0;
  int64_t formedMax_ = kStoreSamplesMax;
  int64_t segmentsMax_ = kStoreSegmentsMax;
  std::vector<Segment> segments_;
  size_t found_ = 0;  // the segment Find found last
  MarkerChangeList markers_;
  SquareSum sum_;
  int64_t samples_ = 0;
  double peak_ = 1.0;  // the peak Finish divided by
  bool spilled_ = false;
  bool overflowed_ = false;
  bool mayTally_ = false;
  bool tallying_ = false;
  bool tallies_ = true;
};
// The entries' store, and the resampled one.
SampleStore& Store();
SampleStore& ResampledStore();

// The samples of a build made a second time from the same engine state,
// after a store that only tallied them: straight into the waveform file as
// int16 (the header already written from the first time), and checked
// against what the store found the first time (the count, the sums, the
// marker changes).
class SampleStream final : public PulseSampleSink {
 public:
  explicit SampleStream(WaveFileWriter& out) : out_(out) { markers_.Begin(0xFF); }
  int Samples(const unsigned char* iq, const unsigned char* markers, int32_t count, double peak) override;
  bool TakeLevel(const PulseLevelBlock& block, const unsigned char* markers) override;
  int Constant(float i, float q, int32_t count) override;
  // The last samples to the writer; 1 when everything matched, else 0
  // after an internal-error line.
  int Finish(const SampleStore& first);

 private:
  // Room for count more int16 pairs in block_, the full block written
  // first. Null after a failed write.
  int16_t* Room(int32_t count);
  WaveFileWriter& out_;
  std::vector<int16_t> block_;
  int32_t fill_ = 0;  // pairs in block_
  SquareSum sum_;
  MarkerChangeList markers_;
  int64_t samples_ = 0;
  bool failed_ = false;
};

}  // namespace build_detail
