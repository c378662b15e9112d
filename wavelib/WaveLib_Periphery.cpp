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
  for (;;) {
    unsigned char c;
    const int32_t got = ReadBytes(slot_, 1, &c);
    if (got < 0) return kReadError;
    if (got == 0) {
      if (!any) return kEnd;
      break;
    }
    any = true;
    ++consumed_;
    if (c == '\n') break;
    // One character beyond the limit is kept for a CR before the LF.
    if (length_ < kImportLineMax + 1) {
      line_[length_++] = static_cast<char>(c);
    } else {
      tooLong = true;
    }
  }
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
