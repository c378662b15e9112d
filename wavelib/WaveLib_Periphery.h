// Helpers shared by the data-list and control-list writers, the importers
// and the full reader: slot binding that releases itself, the percentage
// progress of sample loops, temporary outputs started from scratch, and a
// bounded text-line reader over a buffer slot.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "Shared/FileIO/FileIOBufferedIO.h"
#include "wavelib/WaveLib.h"

namespace wavelib_detail {

// A bound buffer slot, released when the owner leaves.
struct BoundSlot {
  int slot = -1;
  BoundSlot() = default;
  BoundSlot(const BoundSlot&) = delete;
  BoundSlot& operator=(const BoundSlot&) = delete;
  ~BoundSlot() { Release(); }
  // Binds file to slot s; 0 when the slot refuses.
  int Bind(int s, FILE* file, int read, int write) {
    Release();
    if (!InitBuf(s, file, read, write)) return 0;
    slot = s;
    return 1;
  }
  // Flushes and frees the slot; 0 when the final flush failed.
  int Release() {
    if (slot < 0) return 1;
    const int ok = ReleaseBuf(slot);
    slot = -1;
    return ok;
  }
};

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// Progress trunc(100*i / total) reported for every sample index i at which
// the value changes; 0 counts as reported before the loop. Reach(upTo)
// covers the indexes below upTo.
struct PercentProgress {
  explicit PercentProgress(uint64_t total) : total(total) {}
  void Reach(uint64_t upTo) {
    if (upTo > total) upTo = total;
    for (;;) {
      // First index whose percentage exceeds the last one reported.
      const uint64_t next = ((last + 1) * total + 99) / 100;
      if (next >= upTo) return;
      last = 100 * next / total;
      WaveLib_Progress(static_cast<int>(last));
    }
  }
  uint64_t total;
  uint64_t last = 0;
};

// Empties a temporary output file the caller keeps open, so that after any
// failure it holds exactly what the import wrote. 0 when it cannot.
int StartTemporaryFile(FILE* file);

// Size of an open file in bytes, or -1.
int64_t OpenFileSize(FILE* file);

// Text lines read through a buffer slot. Lines end at LF; a CR before it is
// dropped. With crEnds a CR alone ends a line too (text files of any
// system); the header lines before binary data leave it off, so that no
// data byte is read ahead. A UTF-8 byte-order mark before the first line is
// skipped. Lines longer than kImportLineMax characters are refused, never
// cut: Next reports kLineTooLong and skips the rest of that line.
class SlotLineReader {
 public:
  enum Result { kLine, kEnd, kLineTooLong, kReadError };
  explicit SlotLineReader(int slot, bool crEnds = false) : slot_(slot), crEnds_(crEnds) {}
  Result Next();
  // The current line, NUL-terminated; valid until the next call.
  char* line() { return line_; }
  int length() const { return length_; }
  // Lines read so far, the current one included.
  int number() const { return number_; }
  // Bytes consumed from the slot so far.
  int64_t consumed() const { return consumed_; }

 private:
  int slot_;
  bool crEnds_;
  int pending_ = -1;  // a byte read ahead after a lone CR, -1 none
  // Room for the longest line, a CR behind it and the terminator.
  char line_[kImportLineMax + 2] = "";
  int length_ = 0;
  int number_ = 0;
  int64_t consumed_ = 0;
};

// Strips trailing blanks, tabs, CR and LF in place; returns the new length.
int StripLineEnd(char* line);

}  // namespace wavelib_detail
