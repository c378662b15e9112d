// Helpers of the importers and the full reader (see WaveLib_Periphery.h).
#include "wavelib/WaveLib_Periphery.h"

#include <sys/stat.h>
#include <unistd.h>

namespace wavelib_detail {

int StartTemporaryFile(FILE* file) {
  if (file == nullptr) return 0;
  if (std::fflush(file) != 0) return 0;
  if (ftruncate(fileno(file), 0) != 0) return 0;
  std::rewind(file);
  return 1;
}

int64_t OpenFileSize(FILE* file) {
  struct stat st;
  if (file == nullptr || fstat(fileno(file), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return static_cast<int64_t>(st.st_size);
}

SlotLineReader::Result SlotLineReader::Next() {
  length_ = 0;
  line_[0] = '\0';
  bool tooLong = false;
  bool any = false;
  // A byte-order mark opening the file is no part of its first line.
  const bool fileStart = number_ == 0 && consumed_ == 0;
  const auto dropMark = [&] {
    if (fileStart && length_ == 3 && static_cast<unsigned char>(line_[0]) == 0xEF &&
        static_cast<unsigned char>(line_[1]) == 0xBB && static_cast<unsigned char>(line_[2]) == 0xBF)
      length_ = 0;
  };
  for (;;) {
    unsigned char c;
    if (pending_ >= 0) {
      c = static_cast<unsigned char>(pending_);
      pending_ = -1;
    } else {
      const int32_t got = ReadBytes(slot_, 1, &c);
      if (got < 0) return kReadError;
      if (got == 0) {
        if (!any) return kEnd;
        break;
      }
      ++consumed_;
    }
    any = true;
    if (c == '\n') break;
    if (c == '\r' && crEnds_) {
      unsigned char next;
      const int32_t got = ReadBytes(slot_, 1, &next);
      if (got < 0) return kReadError;
      if (got == 1) {
        ++consumed_;
        if (next != '\n') pending_ = next;
      }
      break;
    }
    if (length_ == 3) dropMark();
    // One character beyond the limit is kept for a CR before the LF.
    if (length_ < kImportLineMax + 1) {
      line_[length_++] = static_cast<char>(c);
    } else {
      tooLong = true;
    }
  }
  if (length_ == 3) dropMark();
  ++number_;
  if (length_ > 0 && line_[length_ - 1] == '\r') --length_;
  line_[length_] = '\0';
  if (tooLong || length_ > kImportLineMax) {
    length_ = 0;
    line_[0] = '\0';
    return kLineTooLong;
  }
  return kLine;
}

int StripLineEnd(char* line) {
  int n = 0;
  while (line[n] != '\0') ++n;
  while (n > 0 && (line[n - 1] == ' ' || line[n - 1] == '\t' || line[n - 1] == '\r' || line[n - 1] == '\n')) --n;
  line[n] = '\0';
  return n;
}

}  // namespace wavelib_detail
