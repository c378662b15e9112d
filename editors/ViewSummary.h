// The Sequence View's summary of one temporary I/Q file: the extremes of
// every block of samples at several block sizes, and the density grid of
// every larger block, so that a viewport of any width is drawn from a few
// thousand records instead of all its samples.
//
// Level 0 holds one ViewExtent per kSummaryBlock samples; each level above
// one per kSummaryFanOut records of the level below. The density levels
// hold an 81 x 81 grid of counts per kDensityBlock samples, and above one
// per kDensityFanOut grids; below them, for each piece of kViewPieceSamples
// samples, the list of its occupied cells with their counts (a pulse train
// occupies a few hundred cells, noise some thousands; once the lists hold
// kDensityListCap entries, later pieces keep none and are counted from
// their samples when a viewport cuts them). A file's last block at each
// level may be short. About 50 bytes per 1,024 samples plus 26 kB per 2^20
// and the lists: 8 MB for 10^8 samples of a pulse train.
//
// The summary is made on the first draw that needs it, in one pass over the
// file that can be stopped and taken up again where it stopped.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <utility>
#include <vector>

#include "editors/SequenceView.h"

inline constexpr int64_t kSummaryBlock = 1024;
inline constexpr int64_t kSummaryFanOut = 8;
inline constexpr int64_t kDensityBlock = int64_t{1} << 20;
inline constexpr int64_t kDensityFanOut = 16;
inline constexpr int kDensityGridCells = kViewDensityCells * kViewDensityCells;
// Samples of one read; a multiple of kSummaryBlock that divides
// kDensityBlock, so that a piece lies inside one density block.
inline constexpr int64_t kViewPieceSamples = int64_t{1} << 16;
// Entries of the pieces' cell lists at most (4 bytes each).
inline constexpr size_t kDensityListCap = size_t{1} << 23;

// A file as the view knows it: device, inode, size and modification time
// (ns). A file rewritten in place has another size or time.
struct ViewFileId {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = -1;
  int64_t modified = 0;
  friend bool operator==(const ViewFileId&, const ViewFileId&) = default;
};
// 1 and *id filled for an open file, else 0.
int ViewFileId_Of(FILE* file, ViewFileId* id);

struct ViewSummary {
  ViewFileId file;
  int64_t total = 0;  // samples of the file
  int64_t done = 0;   // samples summarised from sample 0, a multiple of kSummaryBlock or total
  std::vector<std::vector<ViewExtent>> levels;
  std::vector<std::vector<uint32_t>> density;
  // Piece p's cells are listStart[p] .. listStart[p + 1] - 1 of lists, each
  // cell * 2^17 + count; a piece without a list has listStart[p] =
  // kNoList.
  std::vector<uint32_t> listStart;
  std::vector<uint32_t> lists;
  static constexpr uint32_t kNoList = UINT32_MAX;
  bool Complete() const { return total > 0 && done == total && !levels.empty(); }
};

// Empties the summary and sizes it for a file of total samples. 0 when the
// memory cannot be had (the summary stays empty).
int ViewSummary_Start(ViewSummary* summary, const ViewFileId& file, int64_t total);
// Samples first .. first + count - 1 of the file into dest (I, Q pairs),
// read where they lie without moving the file's position: 1, or 0 when the
// file holds fewer.
int ViewFile_Read(FILE* file, int64_t first, int64_t count, float* dest);
// Summarises from summary->done to the end of the file. tick runs between
// pieces of 64k samples (half a megabyte: the reads keep the window live
// also where the file's pages are not yet in memory) with the fraction of
// the whole file done. 1 complete, 0 stopped by tick (taken up again by
// the next call), -1 short read.
int ViewSummary_Extend(ViewSummary* summary, FILE* file, ViewTick tick, void* context);
// The extent of samples a .. b - 1 of a complete summary; a and b are
// multiples of kSummaryBlock or the file's end, a < b.
ViewExtent ViewSummary_Extent(const ViewSummary& summary, int64_t a, int64_t b);
// Adds the counts of samples a .. b - 1 to grid; a and b multiples of
// kViewPieceSamples or the file's end. The pieces it holds no list of are
// left out and named in *unlisted (first sample, count), for the caller to
// count from their samples.
void ViewSummary_AddDensity(const ViewSummary& summary, int64_t a, int64_t b,
                            double grid[kViewDensityCells][kViewDensityCells],
                            std::vector<std::pair<int64_t, int64_t>>* unlisted);
