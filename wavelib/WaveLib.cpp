// Frame of the waveform-file library and the helpers its writers share:
// initialisation with the version check, progress hook, DATE tag, the
// temporary output file and the marker run lists.
#include "wavelib/WaveLib.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "Shared/FileIO/FileIOBufferedIO.h"
#include "app/Log.h"
#include "app/Settings.h"
#include "engine/Random.h"
#include "platform/BoundedText.h"
#include "platform/CLocale.h"
#include "platform/Paths.h"

namespace {

WaveProgressHookFn g_progressHook = nullptr;

// Highest library version a caller may request.
constexpr double kHighestRequestableVersion = 2.2;

// Output passes through a stdio buffer of this size; sample blocks larger
// than it go to the file directly.
constexpr std::size_t kOutputBufferBytes = 1 << 20;

// Write-back of the output is started every this many bytes (see
// WavePartFile::StartWriteBack).
constexpr int64_t kWriteBackBytes = int64_t{16} << 20;

// A file that grows past two of these stretches is written back as it goes
// (a new file too), and every stretch but the last two, once on the disk,
// leaves the page cache: while the machine's memory is in demand, new
// page-cache memory costs several times the copy into it (a 4 GB file went
// in at 0.5-1.3 GB/s, at 1.3-4.3 GB/s with its written stretches dropped,
// the freed pages taking the next stretch); on an idle machine the two are
// alike.
constexpr int64_t kCachedStretchBytes = int64_t{256} << 20;

// Run-list text is collected up to this size before it is written.
constexpr std::size_t kRunTextFlushBytes = 1 << 20;

}  // namespace

int WaveLib_Init(char* errorText, double requestedVersion) {
  if (requestedVersion > kHighestRequestableVersion) {
    if (errorText) cz::CopyText(errorText, kWaveLibErrorTextBytes, "*** Init failed: E00010 (Incorrect version)");
    return 0;
  }
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  // The noise generator's start-up seed (CADENZA_RANDOM_SEED overrides it).
  RandomSeedRandAtStartup(static_cast<uint32_t>(5 * local.tm_sec + local.tm_hour));
  if (errorText) errorText[0] = '\0';
  g_progressHook = nullptr;
  ResetBufferSlots();
  SetBufferUnitInitialized(1);
  return 1;
}

void WaveLib_GetVersion(int* major, int* minor) {
  if (major) *major = kWaveLibVersionMajor;
  if (minor) *minor = kWaveLibVersionMinor;
}

void WaveLib_SetProgressHook(WaveProgressHookFn hook) { g_progressHook = hook; }
void WaveLib_ClearProgressHook() { g_progressHook = nullptr; }

namespace {
WaveIdleHookFn g_idleHook = nullptr;
}  // namespace

void WaveLib_SetIdleHook(WaveIdleHookFn hook) { g_idleHook = hook; }
void WaveLib_Idle() {
  if (g_idleHook) g_idleHook();
}

void WaveLib_Progress(int percent) {
  if (g_progressHook) g_progressHook(percent);
}

int WaveLib_FormatDateTag(char* buf, int size) {
  std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  const int n = cz::SnprintfC(buf, static_cast<std::size_t>(size), "{DATE:%04d-%02d-%02d;%02d:%02d:%02d}",
                              t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
  return n < size ? n : size - 1;
}

// ---- WavePartFile ---------------------------------------------------------------

WavePartFile::~WavePartFile() { Discard(); }

int WavePartFile::Open(const char* path) {
  Discard();
  destPath_ = ResolvedLocalPath(path);
  failed_ = false;
  writeError_ = 0;
  written_ = 0;
  writeBack_ = 0;
  struct stat st;
  replacing_ = stat(destPath_.c_str(), &st) == 0;
  file_ = out_.Begin(destPath_) ? out_.Stream() : nullptr;
  if (!file_) {
    Log_Message(5, "*** Cannot write '", destPath_.c_str(), "': ", out_.Reason().c_str(), ".");
    out_.Abandon();
    return 0;
  }
  // The buffer is given: without one, the C library keeps its own of a
  // disk block (4 KB), one system call per 4 KB.
  if (!buffer_) buffer_ = std::make_unique<char[]>(kOutputBufferBytes);
  std::setvbuf(file_, buffer_.get(), _IOFBF, kOutputBufferBytes);
  return 1;
}

int WavePartFile::Write(const void* data, std::size_t n) {
  if (!file_ || failed_) return 0;
  if (n == 0) return 1;
  if (std::fwrite(data, 1, n, file_) != n) {
    failed_ = true;
    writeError_ = errno;
  }
  written_ += static_cast<int64_t>(n);
  if ((replacing_ || written_ >= 2 * kCachedStretchBytes) && !failed_ && written_ - writeBack_ >= kWriteBackBytes)
    StartWriteBack();
  return failed_ ? 0 : 1;
}

// A file that replaces an existing one is written back to the disk in the
// background while the rest of it is still being made, one finished stretch
// at a time: renaming over an existing file makes some file systems (ext4)
// write the new file back first, and the rename would then wait for all of
// it. The bytes written are the same either way.
void WavePartFile::StartWriteBack() {
  if (std::fflush(file_) != 0) {
    failed_ = true;
    writeError_ = errno;
    return;
  }
  const int fd = fileno(file_);
  sync_file_range(fd, writeBack_, written_ - writeBack_, SYNC_FILE_RANGE_WRITE);
  // The stretch before the last one started, once it is on the disk, is
  // dropped (one written in a single larger call may stay cached).
  const int64_t stretch = written_ / kCachedStretchBytes;
  if (stretch >= 2 && stretch > writeBack_ / kCachedStretchBytes) {
    const off_t from = static_cast<off_t>((stretch - 2) * kCachedStretchBytes);
    const off_t length = static_cast<off_t>(kCachedStretchBytes);
    sync_file_range(fd, from, length,
                    SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
    posix_fadvise(fd, from, length, POSIX_FADV_DONTNEED);
  }
  writeBack_ = written_;
}

int WavePartFile::WriteText(const char* text) { return Write(text, std::strlen(text)); }

int WavePartFile::Commit() {
  if (!file_) return 0;
  if (failed_) {
    Log_Message(5, "*** Cannot write '", destPath_.c_str(), "': ",
                writeError_ != 0 ? std::strerror(writeError_) : "write failed", ".");
    Discard();
    return 0;
  }
  // The rest of a replacing file goes to the disk in the background too.
  if (replacing_ && written_ > writeBack_ && std::fflush(file_) == 0)
    sync_file_range(fileno(file_), writeBack_, 0, SYNC_FILE_RANGE_WRITE);
  file_ = nullptr;
  // A waveform is made again from its project: it is renamed into place at
  // once and flushed to the disk (with the replaced file let go of) on a
  // short-lived thread, so that the build does not wait for the disk. One
  // cut short by a power cut before that is refused by its readers.
  if (out_.Commit(cz::FlushTiming::AfterRename)) return 1;
  Log_Message(5, "*** Cannot write '", destPath_.c_str(), "': ", out_.Reason().c_str(), ".");
  return 0;
}

void WavePartFile::Discard() {
  file_ = nullptr;
  out_.Abandon();
}

// ---- WaveRunListWriter -----------------------------------------------------------

int WaveRunListWriter::Begin(const char* openTag, unsigned mask) {
  mask_ = mask;
  previous_ = -1;
  index_ = 0;
  text_.clear();
  text_.reserve(kRunTextFlushBytes + 64);
  text_ += openTag;
  return 1;
}

void WaveRunListWriter::Entry(int64_t index, int state) {
  // "%ld:%d" by hand: an index and a 0/1 state need no locale, and a busy
  // marker trace has one entry per change of state.
  char digits[24];
  int n = 0;
  uint64_t v = static_cast<uint64_t>(index);
  do {
    digits[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  if (previous_ != -1) text_ += ';';
  while (n > 0) text_ += digits[--n];
  text_ += ':';
  text_ += state ? '1' : '0';
  if (text_.size() >= kRunTextFlushBytes) FlushText();
}

void WaveRunListWriter::Feed(const unsigned char* bytes, std::size_t n) {
  const unsigned mask = mask_;
  std::size_t i = 0;
  if (previous_ == -1 && n > 0) {
    const int v = (bytes[0] & mask) ? 1 : 0;
    Entry(index_, v);
    previous_ = v;
    i = 1;
  }
  // Runs are skipped eight bytes at a time; the byte loop only looks at the
  // word in which the state changes.
  const uint64_t lanes = 0x0101010101010101ull * (mask & 0xFFu);
  while (i < n) {
    const uint64_t same = previous_ ? lanes : 0;
    while (i + 8 <= n) {
      uint64_t w;
      std::memcpy(&w, bytes + i, 8);
      if ((w & lanes) != same) break;
      i += 8;
    }
    const std::size_t end = (n - i < 8) ? n : i + 8;
    for (; i < end; ++i) {
      const int v = (bytes[i] & mask) ? 1 : 0;
      if (v != previous_) {
        Entry(index_ + static_cast<int64_t>(i), v);
        previous_ = v;
        ++i;
        break;
      }
    }
  }
  index_ += static_cast<int64_t>(n);
}

void WaveRunListWriter::Change(int64_t index, unsigned byte) {
  const int v = (byte & mask_) ? 1 : 0;
  if (v != previous_) {
    Entry(index, v);
    previous_ = v;
  }
}

int WaveRunListWriter::FlushText() {
  const int ok = out_.Write(text_.data(), text_.size());
  text_.clear();
  return ok;
}

int WaveRunListWriter::End() {
  text_ += '}';
  return FlushText();
}
