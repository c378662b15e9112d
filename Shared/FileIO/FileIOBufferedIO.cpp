// Buffered temporary sample files: ten slots of read and write buffers in
// front of caller-owned stdio files (see FileIOBufferedIO.h).
#include "Shared/FileIO/FileIOBufferedIO.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <string>

#include "app/Log.h"

namespace fileio_detail {
BufferSlot slots[kBufferSlotCount];
bool initialized = false;
}  // namespace fileio_detail

namespace {

// Freed memory buffers waiting for the next binding, with their sizes.
struct SpareBuffer {
  unsigned char* data = nullptr;
  int32_t bytes = 0;
};
SpareBuffer g_spare[kSpareSlotBuffers];

size_t PageBytes() {
  static const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  return page;
}

// The mapped windows of the slots, for the SIGBUS handler. A window whose
// file is cut below its end (by the program or by anyone else) raises
// SIGBUS on a read past the new end; the handler puts zero pages in place
// of the rest of the window, marks the slot's read as lost and lets the
// read go on, so that the reader fails with its read error rather than the
// program with a signal. Written only outside the handler (one thread).
struct MappedWindow {
  char* volatile start = nullptr;  // page-aligned
  volatile size_t length = 0;
  volatile sig_atomic_t* volatile lost = nullptr;
};
MappedWindow g_windows[2 * kBufferSlotCount];
size_t g_page = 0;
struct sigaction g_previousBusAction;

void OnBusError(int sig, siginfo_t* info, void* context) {
  char* at = static_cast<char*>(info->si_addr);
  for (MappedWindow& w : g_windows) {
    char* start = w.start;
    const size_t length = w.length;
    if (start == nullptr || at < start || at >= start + length) continue;
    char* page = start + static_cast<size_t>(at - start) / g_page * g_page;
    const size_t rest = static_cast<size_t>(start + length - page);
    if (mmap(page, rest, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) == MAP_FAILED) break;
    if (w.lost != nullptr) *w.lost = 1;
    return;
  }
  // Not a window of ours: whoever handled SIGBUS before, else the default.
  if ((g_previousBusAction.sa_flags & SA_SIGINFO) != 0 && g_previousBusAction.sa_sigaction != nullptr) {
    g_previousBusAction.sa_sigaction(sig, info, context);
  } else if (g_previousBusAction.sa_handler != SIG_DFL && g_previousBusAction.sa_handler != SIG_IGN) {
    g_previousBusAction.sa_handler(sig);
  } else {
    signal(SIGBUS, SIG_DFL);  // the faulting read runs again and ends the program
  }
}

void InstallBusHandler() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  g_page = PageBytes();
  struct sigaction action {};
  action.sa_sigaction = OnBusError;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  sigaction(SIGBUS, &action, &g_previousBusAction);
}

void RegisterWindow(void* start, size_t length, volatile sig_atomic_t* lost) {
  for (MappedWindow& w : g_windows)
    if (w.start == nullptr) {
      w.lost = lost;
      w.length = length;
      w.start = static_cast<char*>(start);
      return;
    }
}

void UnregisterWindow(void* start) {
  for (MappedWindow& w : g_windows)
    if (w.start == start) {
      w.start = nullptr;
      w.length = 0;
      w.lost = nullptr;
    }
}

}  // namespace

bool SlotBuffer::Allocate(int32_t bytes) {
  reset();
  for (SpareBuffer& spare : g_spare) {
    if (spare.data != nullptr && spare.bytes == bytes) {
      data_ = spare.data;
      spare.data = nullptr;
      break;
    }
  }
  if (data_ == nullptr) data_ = new (std::nothrow) unsigned char[static_cast<size_t>(bytes)];
  if (data_ == nullptr) return false;
  kind_ = Kind::Memory;
  bytes_ = bytes;
  return true;
}

void SlotBuffer::BeginMapped(int fd, volatile sig_atomic_t* lost) {
  reset();
  InstallBusHandler();
  kind_ = Kind::Mapped;
  fd_ = fd;
  lost_ = lost;
}

bool SlotBuffer::MapWindow(off_t offset, size_t length) {
  Unmap();
  if (length == 0) return true;
  // mmap takes page-aligned offsets; the window starts inside its first page.
  const off_t aligned = offset - offset % static_cast<off_t>(PageBytes());
  const size_t lead = static_cast<size_t>(offset - aligned);
  void* map = mmap(nullptr, lead + length, PROT_READ, MAP_SHARED | MAP_POPULATE, fd_, aligned);
  if (map == MAP_FAILED) return false;
  RegisterWindow(map, lead + length, lost_);
  map_ = map;
  mapLength_ = lead + length;
  data_ = static_cast<unsigned char*>(map) + lead;
  return true;
}

void SlotBuffer::Unmap() {
  if (map_ != nullptr) {
    UnregisterWindow(map_);
    munmap(map_, mapLength_);
  }
  map_ = nullptr;
  mapLength_ = 0;
  data_ = nullptr;
}

void SlotBuffer::reset() {
  if (kind_ == Kind::Memory) {
    SpareBuffer* keep = nullptr;
    for (SpareBuffer& spare : g_spare)
      if (spare.data == nullptr) keep = &spare;
    if (keep != nullptr) {
      keep->data = data_;
      keep->bytes = bytes_;
    } else {
      delete[] data_;
    }
    data_ = nullptr;
  } else if (kind_ == Kind::Mapped) {
    Unmap();
  }
  kind_ = Kind::None;
  bytes_ = 0;
  fd_ = -1;
  lost_ = nullptr;
}

namespace {

bool g_trace = false;
int32_t g_bufferBytes = kBufferSlotBytes;
int g_lastWriteErrno = 0;  // see TakeBufferWriteError

// The source file's name behind the last path separator.
const char* UnitFileName() {
  const char* name = __FILE__;
  for (const char* p = __FILE__; *p; ++p)
    if (*p == '/' || *p == '\\') name = p + 1;
  return name;
}

// "*** Error in file <unit><function> @ <line>".
void LogFailure(const char* function, int line) {
  const std::string number = std::to_string(line);
  Log_Message(5, "*** Error in file ", UnitFileName(), function, " @ ", number.c_str());
}

void Trace(const char* function, int slot) {
  if (!g_trace) return;
  const std::string number = std::to_string(slot);
  Log_Message(4, "FileIO trace: ", function, " slot ", number.c_str());
}

inline void CheckInitialized() {
  if (!fileio_detail::initialized) Log_Message(1, "*** Library not correctly initialized.");
}

#define FILEIO_FAIL(result)        \
  do {                             \
    LogFailure(__func__, __LINE__); \
    return (result);               \
  } while (0)

// Whether the latest failed flush failed for a reason of the disk that the
// system gave (full, over quota, beyond the file size limit, I/O error,
// read-only): such a failure is no fault of the program and is named by the
// caller with the system's reason (BufferSlotWriteError); the source line
// is not logged. Any other flush failure (a seek, a stream not open for
// writing) is logged with it.
bool g_flushExplained = false;

bool ExplainedWriteError(int error) {
  return error == ENOSPC || error == EDQUOT || error == EFBIG || error == EIO || error == EROFS;
}

#define FILEIO_FLUSH_FAIL(result)                       \
  do {                                                  \
    if (!g_flushExplained) LogFailure(__func__, __LINE__); \
    return (result);                                    \
  } while (0)

inline bool InUse(const BufferSlot& s) { return s.readBuffer || s.writeBuffer; }

// Loads the read buffer with the data from file offset `at`, where the
// file's position stands: a memory buffer reads up to bufferBytes from the
// position; a mapped buffer maps the same window and moves the position
// behind it, as the read would. Bytes loaded, or -1 on an error.
int32_t LoadReadBuffer(BufferSlot& s, off_t at) {
  if (s.readBuffer.mapped()) {
    struct stat st;
    if (fstat(fileno(s.file), &st) != 0) return -1;
    const off_t left = st.st_size > at ? st.st_size - at : 0;
    const int32_t length = left < s.bufferBytes ? static_cast<int32_t>(left) : s.bufferBytes;
    if (!s.readBuffer.MapWindow(at, static_cast<size_t>(length))) {
      // A file system that cannot map the file: it is read into memory.
      if (!s.readBuffer.Allocate(s.bufferBytes) || fseeko(s.file, at, SEEK_SET) != 0) return -1;
      return LoadReadBuffer(s, at);
    }
    if (fseeko(s.file, at + length, SEEK_SET) != 0) return -1;
    s.readFill = length;
    s.readPos = 0;
    return length;
  }
  const size_t got = std::fread(s.readBuffer.get(), 1, static_cast<size_t>(s.bufferBytes), s.file);
  if (got < static_cast<size_t>(s.bufferBytes) && std::ferror(s.file)) {
    std::clearerr(s.file);
    return -1;
  }
  // End of file is not sticky for a file that keeps growing through the
  // write side of the slot.
  std::clearerr(s.file);
  s.readFill = static_cast<int32_t>(got);
  s.readPos = 0;
  return s.readFill;
}

// A slot that only reads one of the program's temporary sample files maps
// it instead of copying it. Files of other slots (an import source, say)
// may belong to someone who cuts them while they are read: a mapping would
// then fault where a read comes back short.
bool CanMap(int slot, FILE* file) {
  if (((kMappedSlots >> slot) & 1u) == 0) return false;
  struct stat st;
  return fstat(fileno(file), &st) == 0 && S_ISREG(st.st_mode);
}

// Writes `count` bytes of the write buffer at the slot's write position: a
// slot that also reads (or was repositioned) seeks to writeFilePos first
// (-1 counting as 0); a write-only slot writes at the file's own position.
bool FlushWriteBuffer(BufferSlot& s, int32_t count) {
  g_flushExplained = false;
  if (count <= 0) return true;
  if (s.readFilePos != -1) {
    if (s.writeFilePos == -1) s.writeFilePos = 0;
    if (fseeko(s.file, s.writeFilePos, SEEK_SET) != 0) return false;
  }
  errno = 0;
  if (std::fwrite(s.writeBuffer.get(), 1, static_cast<size_t>(count), s.file) != static_cast<size_t>(count)) {
    // The system's reason stays with the slot (and the unit) for the
    // caller's message; a short write without one counts as an I/O error.
    s.writeErrno = errno != 0 ? errno : EIO;
    g_lastWriteErrno = s.writeErrno;
    g_flushExplained = ExplainedWriteError(s.writeErrno);
    return false;
  }
  if (s.writeFilePos != -1) s.writeFilePos += count;
  s.writeFill = 0;
  return true;
}

void ClearSlot(BufferSlot& s, bool forgetFile) {
  s.readBuffer.reset();
  s.writeBuffer.reset();
  if (forgetFile) s.file = nullptr;
  s.bufferBytes = 0;
  s.writeBytes = 0;
  s.readPos = 0;
  s.readFill = 0;
  s.readFilePos = -1;
  s.writeFill = 0;
  s.writeFilePos = -1;
}

}  // namespace

int _InitBuf(int slot, FILE* file, int read, int write) {
  CheckInitialized();
  if (slot < 0 || slot >= kBufferSlotCount) FILEIO_FAIL(0);
  if (file == nullptr) FILEIO_FAIL(0);
  BufferSlot& s = fileio_detail::slots[slot];
  if (InUse(s)) FILEIO_FAIL(0);
  if (!read && !write) FILEIO_FAIL(0);

  const int32_t bytes = g_bufferBytes;
  const int32_t writeBytes = bytes < kBufferSlotWriteBytes ? bytes : kBufferSlotWriteBytes;
  SlotBuffer& readBuffer = s.readBuffer;
  SlotBuffer& writeBuffer = s.writeBuffer;
  if (read && !write && CanMap(slot, file)) {
    readBuffer.BeginMapped(fileno(file), &s.readLost);
  } else if (read && !readBuffer.Allocate(bytes)) {
    FILEIO_FAIL(0);
  }
  if (write && !writeBuffer.Allocate(writeBytes)) {
    readBuffer.reset();
    FILEIO_FAIL(0);
  }

  // Data passes through our buffers only: the stream's own buffer is
  // flushed by the rewind and then switched off.
  std::fflush(file);
  std::rewind(file);
  std::setvbuf(file, nullptr, _IONBF, 0);

  s.file = file;
  s.bufferBytes = bytes;
  s.writeBytes = writeBytes;
  s.readPos = 0;
  s.readFill = 0;
  s.writeFill = 0;
  s.writeFilePos = -1;
  s.readFilePos = -1;
  s.readLost = 0;
  s.writeErrno = 0;
  if (s.readBuffer && s.writeBuffer) {
    // A slot bound both ways is mostly written first (a file made anew, or
    // rewritten in place): its read buffer is loaded by the first read.
    s.readFilePos = 0;
  } else if (s.readBuffer) {
    const int32_t got = LoadReadBuffer(s, 0);
    if (got < 0) {
      ClearSlot(s, false);
      FILEIO_FAIL(0);
    }
    s.readFilePos = got;
  }
  Trace("_InitBuf", slot);
  return 1;
}

int32_t _ReadBytes(int slot, int32_t n, void* dest) {
  CheckInitialized();
  if (slot < 0 || slot >= kBufferSlotCount) FILEIO_FAIL(-1);
  BufferSlot& s = fileio_detail::slots[slot];
  if (s.file == nullptr || !InUse(s)) FILEIO_FAIL(-1);
  if (!s.readBuffer) FILEIO_FAIL(-1);
  if (n <= 0) return 0;
  if (s.readLost) FILEIO_FAIL(-1);

  unsigned char* out = static_cast<unsigned char*>(dest);
  int32_t done = 0;
  for (;;) {
    const int32_t available = s.readFill - s.readPos;
    const int32_t want = n - done;
    if (want <= available) {
      std::memcpy(out + done, s.readBuffer.get() + s.readPos, static_cast<size_t>(want));
      if (s.readLost) FILEIO_FAIL(-1);
      s.readPos += want;
      return n;
    }
    if (available > 0) {
      std::memcpy(out + done, s.readBuffer.get() + s.readPos, static_cast<size_t>(available));
      if (s.readLost) FILEIO_FAIL(-1);
      s.readPos += available;
      done += available;
    }
    // Refill. Flushes of the write side move the file position, so a slot
    // with a write position seeks back to where the reads continue.
    if (s.writeFilePos != -1 && fseeko(s.file, s.readFilePos, SEEK_SET) != 0) FILEIO_FAIL(-1);
    const int32_t got = LoadReadBuffer(s, s.readFilePos);
    if (got < 0) FILEIO_FAIL(-1);
    if (got == 0) return done;
    s.readFilePos += got;
  }
}

int32_t _ReadBytesInPlace(int slot, int32_t n, const unsigned char** data) {
  CheckInitialized();
  if (slot < 0 || slot >= kBufferSlotCount) FILEIO_FAIL(-1);
  BufferSlot& s = fileio_detail::slots[slot];
  if (s.file == nullptr || !InUse(s)) FILEIO_FAIL(-1);
  if (!s.readBuffer || data == nullptr) FILEIO_FAIL(-1);
  if (n <= 0) return 0;
  if (s.readLost) FILEIO_FAIL(-1);
  if (s.readFill == s.readPos) {
    if (s.writeFilePos != -1 && fseeko(s.file, s.readFilePos, SEEK_SET) != 0) FILEIO_FAIL(-1);
    const int32_t got = LoadReadBuffer(s, s.readFilePos);
    if (got < 0) FILEIO_FAIL(-1);
    if (got == 0) return 0;
    s.readFilePos += got;
  }
  const int32_t available = s.readFill - s.readPos;
  const int32_t m = n < available ? n : available;
  *data = s.readBuffer.get() + s.readPos;
  if (s.readBuffer.mapped()) {
    // One read per page brings any page lost to a cut file to light now,
    // while the caller has not used the data yet.
    const volatile unsigned char* p = *data;
    unsigned char sink = 0;
    for (int32_t k = 0; k < m; k += static_cast<int32_t>(PageBytes())) sink = static_cast<unsigned char>(sink ^ p[k]);
    sink = static_cast<unsigned char>(sink ^ p[m - 1]);
    (void)sink;
    if (s.readLost) FILEIO_FAIL(-1);
  }
  s.readPos += m;
  return m;
}

int ReadBufIntact(int slot) {
  if (slot < 0 || slot >= kBufferSlotCount) return 0;
  BufferSlot& s = fileio_detail::slots[slot];
  if (s.file == nullptr || !s.readBuffer || s.readLost) return 0;
  // A cut inside the window's last page raises no signal (the rest of a
  // file's last page reads as zeros): the file's length tells.
  struct stat st;
  if (s.readBuffer.mapped() && (fstat(fileno(s.file), &st) != 0 || st.st_size < s.readFilePos)) s.readLost = 1;
  return s.readLost ? 0 : 1;
}

int32_t _WriteBytes(int slot, int32_t n, const void* src) {
  CheckInitialized();
  if (slot < 0 || slot >= kBufferSlotCount) FILEIO_FAIL(-1);
  BufferSlot& s = fileio_detail::slots[slot];
  if (s.file == nullptr || !InUse(s)) FILEIO_FAIL(-1);
  if (!s.writeBuffer) FILEIO_FAIL(-1);
  if (n <= 0) return 0;

  const unsigned char* in = static_cast<const unsigned char*>(src);
  int32_t done = 0;
  for (;;) {
    const int32_t space = s.writeBytes - s.writeFill;
    const int32_t want = n - done;
    if (want <= space) {
      std::memcpy(s.writeBuffer.get() + s.writeFill, in + done, static_cast<size_t>(want));
      s.writeFill += want;
      return n;
    }
    std::memcpy(s.writeBuffer.get() + s.writeFill, in + done, static_cast<size_t>(space));
    s.writeFill += space;
    done += space;
    if (!FlushWriteBuffer(s, s.writeFill)) FILEIO_FLUSH_FAIL(-1);
  }
}

int _ReleaseBuf(int slot) {
  CheckInitialized();
  if (slot < 0 || slot >= kBufferSlotCount) FILEIO_FAIL(0);
  BufferSlot& s = fileio_detail::slots[slot];
  if (s.file == nullptr || !InUse(s)) FILEIO_FAIL(0);
  // The slot is freed even when the last flush fails: the caller reports the
  // failure and may close the file, which must not stay bound.
  const bool flushed = !s.writeBuffer || FlushWriteBuffer(s, s.writeFill);
  ClearSlot(s, false);
  if (!flushed) FILEIO_FLUSH_FAIL(0);
  Trace("_ReleaseBuf", slot);
  return 1;
}

int _RestartAtBegining(int slot) {
  CheckInitialized();
  if (slot < 0 || slot >= kBufferSlotCount) FILEIO_FAIL(0);
  BufferSlot& s = fileio_detail::slots[slot];
  if (s.file == nullptr || !InUse(s)) FILEIO_FAIL(0);
  if (s.writeBuffer && !FlushWriteBuffer(s, s.writeFill)) FILEIO_FLUSH_FAIL(0);
  if (fseeko(s.file, 0, SEEK_SET) != 0) FILEIO_FAIL(0);
  s.readPos = 0;
  s.readFill = 0;
  s.writeFill = 0;
  s.writeFilePos = -1;
  if (s.readBuffer) {
    const int32_t got = LoadReadBuffer(s, 0);
    if (got < 0) FILEIO_FAIL(0);
    s.readFilePos = got;
  }
  Trace("_RestartAtBegining", slot);
  return 1;
}

int _RestartAtPosition(int slot, off_t pos) {
  CheckInitialized();
  if (slot < 0 || slot >= kBufferSlotCount) FILEIO_FAIL(0);
  BufferSlot& s = fileio_detail::slots[slot];
  if (s.file == nullptr || !InUse(s)) FILEIO_FAIL(0);
  if (pos < 0) FILEIO_FAIL(0);
  if (s.writeBuffer && !FlushWriteBuffer(s, s.writeFill)) FILEIO_FLUSH_FAIL(0);

  // Positions are realigned to 8 bytes; the r bytes between the aligned
  // base and pos are skipped on the read side and, for an in-place slot,
  // written back unchanged by the next flush.
  const off_t base = pos - pos % 8;
  const int32_t r = static_cast<int32_t>(pos - base);
  if (fseeko(s.file, base, SEEK_SET) != 0) FILEIO_FAIL(0);
  s.writeFill = 0;
  s.readPos = 0;
  s.readFill = 0;
  s.writeFilePos = base;
  s.readFilePos = base;
  if (s.readBuffer) {
    const int32_t got = LoadReadBuffer(s, base);
    if (got < 0) FILEIO_FAIL(0);
    s.readFilePos += got;
    if (s.writeBuffer && r > 0) {
      // Behind the end of the file the skipped bytes are the hole's zeros.
      const int32_t have = got < r ? got : r;
      std::memcpy(s.writeBuffer.get(), s.readBuffer.get(), static_cast<size_t>(have));
      std::memset(s.writeBuffer.get() + have, 0, static_cast<size_t>(r - have));
      s.writeFill = r;
    }
    if (got >= r) {
      s.readPos = r;
    } else {
      // pos lies behind the end of the file: reading continues at pos.
      s.readPos = 0;
      s.readFill = 0;
      s.readFilePos = pos;
    }
  }
  Trace("_RestartAtPosition", slot);
  return 1;
}

int InitBuf(int slot, FILE* file, int read, int write) { return _InitBuf(slot, file, read, write); }
int ReleaseBuf(int slot) { return _ReleaseBuf(slot); }
int RestartAtBegining(int slot) { return _RestartAtBegining(slot); }
int RestartAtPosition(int slot, off_t pos) { return _RestartAtPosition(slot, pos); }

void ResetBufferSlots() {
  for (BufferSlot& s : fileio_detail::slots) {
    ClearSlot(s, true);
    s.writeErrno = 0;
  }
  g_lastWriteErrno = 0;
}

int BufferSlotWriteError(int slot) {
  if (slot < 0 || slot >= kBufferSlotCount) return 0;
  return fileio_detail::slots[slot].writeErrno;
}

int TakeBufferWriteError() {
  const int error = g_lastWriteErrno;
  g_lastWriteErrno = 0;
  return error;
}

void SetBufferTrace(int on) { g_trace = on != 0; }

void SetBufferUnitInitialized(int on) { fileio_detail::initialized = on != 0; }
int BufferUnitInitialized() { return fileio_detail::initialized ? 1 : 0; }

int SetBufferSlotBytes(int32_t bytes) {
  if (bytes < kBufferSlotMinBytes || bytes > kBufferSlotBytes) return 0;
  for (const BufferSlot& s : fileio_detail::slots)
    if (InUse(s)) return 0;
  g_bufferBytes = bytes;
  return 1;
}

int32_t BufferSlotBytes() { return g_bufferBytes; }

const BufferSlot* GetBufferSlot(int slot) {
  if (slot < 0 || slot >= kBufferSlotCount) return nullptr;
  return &fileio_detail::slots[slot];
}
