// The waveform tag reader: file name, size and date from the file system,
// then the "{NAME:value}" tags from the start of the file up to the first
// data block, without loading the data.
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>

#include "app/Log.h"
#include "app/Settings.h"
#include "platform/BoundedText.h"
#include "platform/CLocale.h"
#include "platform/Paths.h"
#include "wavelib/WaveLib.h"

namespace {

// Longest tag text kept; the rest of a longer tag is skipped like bytes
// between tags.
constexpr int kTagMax = 1023;

struct TypeRow {
  const char* contains;  // searched for in the TYPE value, first match wins
  const char* text;      // typeText
};

// Order matters: the specific family tags before the general "WV".
const TypeRow kTypeTable[] = {
    {"Kaldra-WV", "Kaldra waveform file"},
    {"Kaldra-DL", "Kaldra data list"},
    {"Kaldra-CL", "Kaldra control list"},
    {"WV-ADD", "Ettrin, Ravell additional waveform file"},
    {"Fendal-WV", "Fendal waveform file"},
    {"WV", "Ettrin, Ravell waveform file"},
};

struct BlockRow {
  const char* name;    // contained in the tag name
  const char* format;  // "<name>-", followed by blockLength in the name
  int kind;            // blockKind
  int headBytes;       // bytes of the block counted in blockLength before the samples
};

// UWAVEFORM and IWAVEFORM before WAVEFORM, which both contain.
const BlockRow kBlockTable[] = {
    {"UWAVEFORM", "UWAVEFORM-", 1, 17},
    {"IWAVEFORM", "IWAVEFORM-", 1, 5},
    {"WAVEFORM", "WAVEFORM-", 0, 1},
};

// The block length after "<name>-": a decimal number within the int64
// range (a file past 2 GB has a length past int32), else -1 (no valid
// length), never a value wrapped into the range.
int64_t ReadBlockLength(const char* text) {
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(text, &end, 10);
  if (end == text || errno == ERANGE || v < 0) return -1;
  return static_cast<int64_t>(v);
}

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

void SetStartValues(WaveFileInfo* info) {
  std::memset(info, 0, sizeof *info);
  info->fileSize = 0;
  info->samples = -1;
  info->blockLength = -1;
  info->clock = -1.0;
  info->playTime = -1.0;
  info->peakOffset = 0.0;
  info->rmsOffset = 0.0;
  info->blockKind = 0;
  info->blockStart = -1;
}

// Size, and the birth time where the file system records it, else the
// modification time.
bool StatFile(const std::string& path, int64_t* size, std::time_t* date) {
  struct statx sx;
  if (statx(AT_FDCWD, path.c_str(), 0, STATX_SIZE | STATX_TYPE | STATX_BTIME | STATX_MTIME, &sx) != 0) return false;
  if (!S_ISREG(sx.stx_mode)) return false;
  *size = static_cast<int64_t>(sx.stx_size);
  *date = (sx.stx_mask & STATX_BTIME) ? static_cast<std::time_t>(sx.stx_btime.tv_sec)
                                      : static_cast<std::time_t>(sx.stx_mtime.tv_sec);
  return true;
}

// Reads the file in blocks; the search for the next "{" runs over whole
// blocks, which matters for files whose data is not a block tag (data lists).
class ByteReader {
 public:
  explicit ByteReader(FILE* f) : f_(f) {}
  // Bytes consumed so far (the file offset of the next byte).
  int64_t Offset() const { return loaded_ - static_cast<int64_t>(fill_ - pos_); }
  // Next byte, or EOF.
  int Get() {
    if (pos_ == fill_ && !Load()) return EOF;
    return buf_[pos_++];
  }
  // Consumes bytes up to and including the next c; false at end of file.
  bool SkipPast(unsigned char c) {
    for (;;) {
      if (pos_ == fill_ && !Load()) return false;
      const void* hit = std::memchr(buf_ + pos_, c, fill_ - pos_);
      if (hit) {
        pos_ = static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - buf_) + 1;
        return true;
      }
      pos_ = fill_;
    }
  }

 private:
  bool Load() {
    fill_ = std::fread(buf_, 1, sizeof buf_, f_);
    pos_ = 0;
    loaded_ += static_cast<int64_t>(fill_);
    return fill_ > 0;
  }
  FILE* f_;
  int64_t loaded_ = 0;
  unsigned char buf_[1 << 16];
  std::size_t pos_ = 0;
  std::size_t fill_ = 0;
};

// Reads the next tag's text into buf (without the braces) and its file
// offset into *start; returns its length, or -1 when the file ends before
// the next "{".
int ReadTag(ByteReader& in, char* buf, int64_t* start) {
  if (!in.SkipPast('{')) return -1;
  *start = in.Offset();
  int n = 0;
  int c;
  while (n < kTagMax && (c = in.Get()) != EOF && c != '}') buf[n++] = static_cast<char>(c);
  buf[n] = '\0';
  return n;
}

// Handles one tag, whose text starts at file offset `offset`; returns false
// when it was a data-block tag (the end of the header).
bool TakeTag(WaveFileInfo* info, const char* tag, int length, int64_t offset) {
  const char* colon = static_cast<const char*>(std::memchr(tag, ':', static_cast<std::size_t>(length)));
  if (!colon) return true;
  const std::string name(tag, static_cast<std::size_t>(colon - tag + 1));
  const char* value = colon + 1;
  const int valueLength = length - static_cast<int>(colon - tag + 1);
  const std::string_view valueText(value, std::strlen(value));

  if (name.find("TYPE:") != std::string::npos) {
    cz::CopyText(info->typeText, "unknown file format");
    for (const TypeRow& row : kTypeTable) {
      if (valueText.find(row.contains) != std::string_view::npos) {
        cz::CopyText(info->typeText, row.text);
        break;
      }
    }
  } else if (name.find("COMMENT:") != std::string::npos) {
    cz::CopyText(info->comment, valueText);
  } else if (name.find("COPYRIGHT:") != std::string::npos) {
    cz::CopyText(info->copyright, valueText);
  } else if (name.find("DATE:") != std::string::npos) {
    cz::CopyText(info->date, valueText);
  } else if (name.find("CLOCK:") != std::string::npos) {
    info->clock = cz::StrtodC(value, nullptr);
  } else if (name.find("SAMPLES:") != std::string::npos) {
    info->samples = cz::StrtolC(value, nullptr, 10);
  } else if (name.find("LEVEL OFFS:") != std::string::npos) {
    cz::SscanfC(value, "%lf%*[^0-9-]%lf", &info->rmsOffset, &info->peakOffset);
  } else {
    for (const BlockRow& row : kBlockTable) {
      const std::size_t at = name.find(row.name);
      if (at == std::string::npos) continue;
      info->blockKind = row.kind;
      const std::size_t prefix = std::strlen(row.format);
      if (name.compare(at, prefix, row.format) == 0) {
        const int64_t blockLength = ReadBlockLength(name.c_str() + at + prefix);
        if (blockLength != -1) info->blockLength = blockLength;
      }
      // The data block may hold NUL bytes: look for "#" over the bytes read.
      const char* hash = static_cast<const char*>(std::memchr(value, '#', static_cast<std::size_t>(valueLength)));
      if (hash) info->blockStart = offset + (hash - tag);
      if (hash && info->samples == -1 && info->blockLength >= 0) {
        const int64_t h = hash - value;
        info->samples = std::max<int64_t>((info->blockLength - h - row.headBytes) / 4, 0);
      }
      return false;
    }
  }
  return true;
}

}  // namespace

int WaveLib_GetFileInfo(const char* path, WaveFileInfo* info) {
  if (info == nullptr) return 0;
  SetStartValues(info);
  const std::string host = ResolvedLocalPath(path);
  int64_t size = 0;
  std::time_t date = 0;
  if (host.empty() || !StatFile(host, &size, &date)) {
    Log_Message(1, "*** File I/O error.");
    return 0;
  }
  info->fileSize = size;
  cz::CopyText(info->fileName, cz::BaseName(host));
  std::tm local{};
  localtime_r(&date, &local);
  cz::SnprintfC(info->fileDate, sizeof info->fileDate, "%04d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday);

  std::unique_ptr<FILE, FileCloser> f(std::fopen(host.c_str(), "rb"));
  if (!f) {
    Log_Message(1, "*** File I/O error.");
    return 0;
  }
  auto in = std::make_unique<ByteReader>(f.get());
  char tag[kTagMax + 1];
  for (;;) {
    int64_t start = 0;
    const int length = ReadTag(*in, tag, &start);
    if (length <= 0) break;  // end of file, or an empty tag
    if (!TakeTag(info, tag, length, start)) break;
  }
  f.reset();
  // Only a known sample count at a known, positive clock has a play time.
  if (info->samples >= 0 && info->clock > 0.0) info->playTime = static_cast<double>(info->samples) / info->clock;
  return 1;
}

std::string WaveLib_CutShortReason(const WaveFileInfo& info) {
  if (info.fileSize == 0) return "it is empty";
  if (info.blockStart < 0) return "it holds no data block";
  // The block's length counts its "#" and the bytes behind it.
  const int64_t end = info.blockStart + (info.blockLength > 0 ? info.blockLength : 0);
  if (end > info.fileSize)
    return cz::FormatC("its data block ends at byte %lld, past its end at byte %lld", static_cast<long long>(end),
                       static_cast<long long>(info.fileSize));
  return std::string();
}

std::string WaveLib_CutShortText(const char* path, const std::string& reason) {
  return "Waveform file '" + std::string(path != nullptr ? path : "") + "' is cut short (" + reason +
         "): generate it again.";
}

std::string WaveLib_LevelOffsTag(double rmsOffset, double peakOffset) {
  auto offset = [](double value) {
    std::string text = cz::FormatC("%f", value);
    if (text.size() > 1 && text[0] == '-' && text.find_first_not_of("0.", 1) == std::string::npos) text.erase(0, 1);
    return text;
  };
  return "{LEVEL OFFS:" + offset(rmsOffset) + "," + offset(peakOffset) + "}";
}
