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
#include "platform/TagText.h"
#include "wavelib/WaveLib.h"

namespace {

// Longest tag name and value kept (each value field of WaveFileInfo holds
// 1,023 characters behind a name of up to 64); the rest of a longer tag is
// read past to its end.
constexpr int kTagMax = 1023 + 64;
// A text tag's value holds braces in pairs; the "}" that pairs with the
// opening one ends the tag. A value longer than this, or one that meets a
// control byte (data, never text) before its end, is an older file's text
// with an unpaired "{": that tag ends at its first "}" instead.
constexpr std::size_t kNestedTagMax = 4096;

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
  // Bytes consumed so far (the file offset of the next byte, bytes put back
  // counted as not yet read).
  int64_t Offset() const {
    return loaded_ - static_cast<int64_t>(fill_ - pos_) - static_cast<int64_t>(back_.size());
  }
  // Next byte, or EOF.
  int Get() {
    if (!back_.empty()) {
      const int c = static_cast<unsigned char>(back_.back());
      back_.pop_back();
      return c;
    }
    if (pos_ == fill_ && !Load()) return EOF;
    return buf_[pos_++];
  }
  // Bytes to read again before the file's next ones, in order.
  void PutBack(std::string_view bytes) { back_.append(bytes.rbegin(), bytes.rend()); }
  // Consumes bytes up to and including the next c; false at end of file.
  bool SkipPast(unsigned char c) {
    while (!back_.empty()) {
      const char b = back_.back();
      back_.pop_back();
      if (static_cast<unsigned char>(b) == c) return true;
    }
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
  std::string back_;  // put back, last byte first
  int64_t loaded_ = 0;
  unsigned char buf_[1 << 16];
  std::size_t pos_ = 0;
  std::size_t fill_ = 0;
};

bool IsBlockName(std::string_view name) { return name.find("WAVEFORM") != std::string_view::npos; }

bool IsDataByte(int c) { return c < 0x20 && c != '\t' && c != '\n' && c != '\r'; }

// Reads the next tag's text into buf (without its braces, at most kTagMax
// bytes kept) and its file offset into *start; returns its length, or -1
// when the file ends before the next "{". A data block's tag ends at its first "}" (its samples are bytes,
// not text); any other tag at the "}" that pairs with its "{".
int ReadTag(ByteReader& in, char* buf, int64_t* start) {
  if (!in.SkipPast('{')) return -1;
  *start = in.Offset();
  std::string text;  // the tag's first bytes, kNestedTagMax at most
  std::size_t firstClose = std::string::npos;
  bool block = false, named = false;
  int depth = 1;
  for (int c; (c = in.Get()) != EOF;) {
    if (!named && c == ':') {
      named = true;
      block = IsBlockName(text);
    }
    if (c == '}') {
      if (firstClose == std::string::npos) firstClose = text.size();
      if (block || --depth == 0) break;
    } else if (c == '{' && named && !block) {
      ++depth;
    }
    if (block && text.size() >= static_cast<std::size_t>(kTagMax)) break;
    if (text.size() < kNestedTagMax) text.push_back(static_cast<char>(c));
    // An unpaired "{" of an older writer: the tag is what stands before its
    // first "}", and the bytes after that are read again as the header's.
    if (depth > 1 && (IsDataByte(c) || text.size() >= kNestedTagMax)) {
      if (firstClose < text.size()) {
        in.PutBack(std::string_view(text).substr(firstClose + 1));
        text.resize(firstClose);
        break;
      }
      depth = 1;  // no "}" within the text kept: the next one ends the tag
    }
  }
  const std::size_t n = cz::Utf8PrefixLength(text, kTagMax);
  std::memcpy(buf, text.data(), n);
  buf[n] = '\0';
  return static_cast<int>(n);
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

std::string WaveLib_TextTag(const char* name, const char* text) {
  std::size_t replaced = 0;
  const std::string paired = cz::WithPairedBraces(text ? text : "", &replaced);
  if (replaced > 0) {
    std::string tag(name);
    while (!tag.empty() && (tag.back() == ' ' || tag.back() == ':')) tag.pop_back();
    Log_Message(1, cz::FormatC("*** The %s tag's text holds %zu unpaired brace(s); written as parentheses.",
                               tag.c_str(), replaced)
                       .c_str());
  }
  return "{" + std::string(name) + paired + "}";
}

void WaveLib_TakeTagText(char* dst, std::size_t cap, const char* text, const char* what) {
  if (cap == 0) return;
  cz::CopyText(dst, cap, text ? text : "");
  std::size_t replaced = 0;
  const std::string paired = cz::WithPairedBraces(dst, &replaced);
  if (replaced == 0) return;
  cz::CopyText(dst, cap, paired);
  Log_Message(1, cz::FormatC("*** %s: %zu unpaired brace(s) taken as parentheses.", what, replaced).c_str());
}
