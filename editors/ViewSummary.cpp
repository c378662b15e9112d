// The summary of a temporary I/Q file for the Sequence View: made in one
// pass (level 0 and the finest density grids), the coarser levels joined
// from them at the end.
#include "editors/ViewSummary.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <new>


namespace {

constexpr int kTagBytes = 3;
constexpr int kSampleBytes = 8;

int64_t Blocks(int64_t samples, int64_t block) { return (samples + block - 1) / block; }

template <typename T>
void SizeLevels(std::vector<std::vector<T>>* levels, int64_t count, int64_t fanOut, int64_t width) {
  levels->emplace_back(static_cast<size_t>(count * width));
  while (count > 1) {
    count = Blocks(count, fanOut);
    levels->emplace_back(static_cast<size_t>(count * width));
  }
}

// The coarser levels of both pyramids from the finest.
void JoinLevels(ViewSummary* s) {
  for (size_t k = 1; k < s->levels.size(); ++k) {
    const std::vector<ViewExtent>& below = s->levels[k - 1];
    std::vector<ViewExtent>& level = s->levels[k];
    for (size_t j = 0; j < level.size(); ++j) {
      const size_t from = j * kSummaryFanOut, to = std::min(below.size(), from + kSummaryFanOut);
      level[j] = below[from];
      for (size_t c = from + 1; c < to; ++c) ViewExtent_Join(&level[j], below[c]);
    }
  }
  for (size_t k = 1; k < s->density.size(); ++k) {
    const std::vector<uint32_t>& below = s->density[k - 1];
    std::vector<uint32_t>& level = s->density[k];
    const size_t grids = below.size() / kDensityGridCells;
    for (size_t g = 0; g < grids; ++g) {
      const uint32_t* from = &below[g * kDensityGridCells];
      uint32_t* to = &level[g / kDensityFanOut * kDensityGridCells];
      // Saturating: a coarse grid of more than 2^32 samples in one cell
      // keeps the largest count (the plot is relative to it).
      for (int c = 0; c < kDensityGridCells; ++c) to[c] = to[c] > UINT32_MAX - from[c] ? UINT32_MAX : to[c] + from[c];
    }
  }
}

// The cell list of the piece just counted (the cells it touched, in
// order), unless the lists are full.
void ListPiece(ViewSummary* s, const uint32_t* counts, std::vector<uint16_t>* touched) {
  const size_t piece = static_cast<size_t>(s->done / kViewPieceSamples);
  const size_t before = s->lists.size();
  s->listStart[piece] = ViewSummary::kNoList;
  if (before + touched->size() <= kDensityListCap) {
    try {
      for (uint16_t cell : *touched) s->lists.push_back(uint32_t{cell} << 17 | counts[cell]);
      s->listStart[piece] = static_cast<uint32_t>(before);
    } catch (const std::bad_alloc&) {
      s->lists.resize(before);
    }
  }
  s->listStart[piece + 1] = static_cast<uint32_t>(s->lists.size());
  touched->clear();
}

// The coarsest block of a pyramid that starts at p and ends (at the latest
// at the file's end) no later than b: its level.
size_t LevelAt(size_t levels, int64_t block, int64_t fanOut, int64_t p, int64_t b, int64_t total) {
  size_t k = 0;
  for (int64_t size = block * fanOut; k + 1 < levels && p % size == 0 && std::min(p + size, total) <= b;
       size *= fanOut)
    ++k;
  return k;
}

}  // namespace

int ViewFileId_Of(FILE* file, ViewFileId* id) {
  struct stat st;
  if (file == nullptr || fstat(fileno(file), &st) != 0) return 0;
  id->device = st.st_dev;
  id->inode = st.st_ino;
  id->size = st.st_size;
  id->modified = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return 1;
}

int ViewSummary_Start(ViewSummary* s, const ViewFileId& file, int64_t total) {
  *s = ViewSummary{};
  if (total <= 0) return 0;
  try {
    SizeLevels(&s->levels, Blocks(total, kSummaryBlock), kSummaryFanOut, 1);
    SizeLevels(&s->density, Blocks(total, kDensityBlock), kDensityFanOut, kDensityGridCells);
    s->listStart.assign(static_cast<size_t>(Blocks(total, kViewPieceSamples) + 1), 0);
  } catch (const std::bad_alloc&) {
    *s = ViewSummary{};
    return 0;
  }
  s->file = file;
  s->total = total;
  return 1;
}

int ViewFile_Read(FILE* file, int64_t first, int64_t count, float* dest) {
  if (file == nullptr || first < 0 || count < 0) return 0;
  const int fd = fileno(file);
  auto* bytes = reinterpret_cast<unsigned char*>(dest);
  size_t left = static_cast<size_t>(count) * kSampleBytes;
  off_t at = static_cast<off_t>(kTagBytes + kSampleBytes * first);
  while (left > 0) {
    const ssize_t got = pread(fd, bytes, left, at);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return 0;
    bytes += got;
    left -= static_cast<size_t>(got);
    at += got;
  }
  return 1;
}

int ViewSummary_Extend(ViewSummary* s, FILE* file, ViewTick tick, void* context) {
  if (s->levels.empty()) return -1;
  const std::unique_ptr<float[]> piece(new float[2 * kViewPieceSamples]);
  const std::unique_ptr<int32_t[]> cells(new int32_t[kViewPieceSamples]);
  const std::unique_ptr<uint32_t[]> counts(new uint32_t[kDensityGridCells]);
  std::vector<uint16_t> touched;
  touched.reserve(kDensityGridCells);
  while (s->done < s->total) {
    const int64_t n = std::min(kViewPieceSamples, s->total - s->done);
    if (!ViewFile_Read(file, s->done, n, piece.get())) return -1;
    ViewExtent* record = &s->levels[0][static_cast<size_t>(s->done / kSummaryBlock)];
    for (int64_t at = 0; at < n; at += kSummaryBlock)
      ViewExtent_Run(piece.get() + 2 * at, std::min(kSummaryBlock, n - at), record++);
    uint32_t* grid = &s->density[0][static_cast<size_t>(s->done / kDensityBlock * kDensityGridCells)];
    ViewDensity_Cells(piece.get(), n, cells.get());
    std::fill(counts.get(), counts.get() + kDensityGridCells, 0u);
    for (int64_t k = 0; k < n; ++k) {
      ++grid[cells[k]];
      if (counts[cells[k]]++ == 0) touched.push_back(static_cast<uint16_t>(cells[k]));
    }
    ListPiece(s, counts.get(), &touched);
    s->done += n;
    if (s->done < s->total && tick != nullptr &&
        tick(context, static_cast<double>(s->done) / static_cast<double>(s->total)) != 0)
      return 0;
  }
  JoinLevels(s);
  return 1;
}

ViewExtent ViewSummary_Extent(const ViewSummary& s, int64_t a, int64_t b) {
  ViewExtent sum{};
  bool any = false;
  for (int64_t p = a; p < std::min(b, s.total);) {
    const size_t k = LevelAt(s.levels.size(), kSummaryBlock, kSummaryFanOut, p, b, s.total);
    int64_t size = kSummaryBlock;
    for (size_t j = 0; j < k; ++j) size *= kSummaryFanOut;
    const ViewExtent& record = s.levels[k][static_cast<size_t>(p / size)];
    if (any) ViewExtent_Join(&sum, record);
    else sum = record;
    any = true;
    p = std::min(p + size, s.total);
  }
  return sum;
}

void ViewSummary_AddDensity(const ViewSummary& s, int64_t a, int64_t b,
                            double grid[kViewDensityCells][kViewDensityCells],
                            std::vector<std::pair<int64_t, int64_t>>* unlisted) {
  double* cells = &grid[0][0];
  b = std::min(b, s.total);
  for (int64_t p = a; p < b;) {
    if (p % kDensityBlock != 0 || std::min(p + kDensityBlock, s.total) > b) {
      // A piece of a grid the range cuts: its list, or its samples.
      const size_t piece = static_cast<size_t>(p / kViewPieceSamples);
      const int64_t end = std::min(p + kViewPieceSamples, s.total);
      if (s.listStart[piece] == ViewSummary::kNoList) {
        if (!unlisted->empty() && unlisted->back().first + unlisted->back().second == p)
          unlisted->back().second += end - p;
        else
          unlisted->emplace_back(p, end - p);
      } else {
        for (uint32_t e = s.listStart[piece]; e < s.listStart[piece + 1]; ++e)
          cells[s.lists[e] >> 17] += static_cast<double>(s.lists[e] & 0x1FFFFu);
      }
      p = end;
      continue;
    }
    const size_t k = LevelAt(s.density.size(), kDensityBlock, kDensityFanOut, p, b, s.total);
    int64_t size = kDensityBlock;
    for (size_t j = 0; j < k; ++j) size *= kDensityFanOut;
    const uint32_t* counts = &s.density[k][static_cast<size_t>(p / size * kDensityGridCells)];
    for (int c = 0; c < kDensityGridCells; ++c) cells[c] += counts[c];
    p = std::min(p + size, s.total);
  }
}
