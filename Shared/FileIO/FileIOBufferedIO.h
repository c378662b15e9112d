// Buffered sequential access to the large temporary sample files.
//
// Ten numbered slots (0..9), each with a read buffer and a write buffer in
// front of a stdio file that the caller opened and keeps owning: a slot only
// borrows the FILE* between InitBuf and ReleaseBuf, and never opens, closes
// or deletes it. File offsets are 64-bit (off_t, fseeko), so temporary files
// may grow beyond 2 GiB (268 million I/Q samples).
//
// Temporary sample file layouts:
//   I/Q file     "IQF" (0x49 0x51 0x46), then per sample float32 I, float32 Q,
//                little-endian, full scale 1.0; sample k at byte 3 + 8k;
//                sample count = (file length - 3) / 8.
//   marker file  one marker byte per sample, no header (bit 0 = marker 1 ..
//                bit 3 = marker 4).
//
// Slot numbers used by the program: 0 temporary I/Q file read by the waveform
// writers; 1, 2 I/Q importer; 3 temporary marker file read by the writers;
// 5 WV-DATA.TMP and 6 MKR-DATA.TMP (builder, buffer self test, Sequence
// View); 7 WV-DATA2.TMP and 8 MKR-DATA2.TMP (builder after resampling).
//
// A slot bound for reading and writing serves in-place rewrites: reads go on
// at readFilePos while flushes land at writeFilePos, which starts at 0 and
// trails the reads. Data read and written back in the same order returns to
// where it came from. Its read buffer is loaded by the first read, not by
// InitBuf (such a slot is mostly written first). Reads of bytes written after
// they were loaded into the read buffer are not coherent; callers restart the
// slot before re-reading.
//
// Results: 1 success / 0 failure for InitBuf, ReleaseBuf and the restarts;
// byte counts or -1 for ReadBytes and WriteBytes. Every failure is logged as
// "*** Error in file FileIOBufferedIO.cpp<function> @ <line>", except a
// write the disk refused with a reason (full, over quota, file too large,
// I/O error, read-only): that one is the caller's to name, with the
// system's reason from BufferSlotWriteError / TakeBufferWriteError.
#pragma once

#include <sys/types.h>

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

static_assert(sizeof(off_t) == 8, "the temporary files need 64-bit file offsets");

// Number of slots.
inline constexpr int kBufferSlotCount = 10;
// Size of each read buffer, bytes (16 MiB).
inline constexpr int32_t kBufferSlotBytes = 16 * 1024 * 1024;
// Size of each write buffer, bytes (1 MiB, or the read buffer's size when
// that is smaller): the data goes to the file while the processor's cache
// still holds it, which copies it into the page cache faster than a buffer
// of 16 MiB that has left the cache.
inline constexpr int32_t kBufferSlotWriteBytes = 1024 * 1024;
// Smallest buffer size accepted by SetBufferSlotBytes: a repositioned
// in-place slot keeps up to 7 bytes of the aligned sample in its write buffer.
inline constexpr int32_t kBufferSlotMinBytes = 16;

// The read or write buffer of a slot: either memory of the binding's size, or, for
// a slot that only reads a regular temporary sample file (kMappedSlots), a
// read-only mapping of the window
// of the file that is "loaded" (the data is read where the page cache holds
// it instead of being copied). Freed memory buffers of the full size are
// kept for the next binding (at most kSpareSlotBuffers of them), so that a
// build does not fault in fresh pages for every binding.
class SlotBuffer {
 public:
  SlotBuffer() = default;
  ~SlotBuffer() { reset(); }
  SlotBuffer(const SlotBuffer&) = delete;
  SlotBuffer& operator=(const SlotBuffer&) = delete;

  // Memory of `bytes`; false when it cannot be had.
  bool Allocate(int32_t bytes);
  // Marks the buffer as a mapped view of file descriptor fd (no window yet).
  // When the file is cut below a mapped window while it is read, the pages
  // past its new end read as zeros instead of raising SIGBUS, and *lost is
  // set: the reader reports a read error.
  void BeginMapped(int fd, volatile sig_atomic_t* lost);
  // Maps `length` bytes of the file from `offset` (replacing the previous
  // window); length 0 leaves no window. False when mmap fails.
  bool MapWindow(off_t offset, size_t length);
  void reset();

  explicit operator bool() const { return kind_ != Kind::None; }
  friend bool operator==(const SlotBuffer& b, std::nullptr_t) { return !b; }
  unsigned char* get() const { return data_; }
  bool mapped() const { return kind_ == Kind::Mapped; }

 private:
  enum class Kind { None, Memory, Mapped };
  void Unmap();
  Kind kind_ = Kind::None;
  unsigned char* data_ = nullptr;  // memory buffer, or the window's first byte
  int32_t bytes_ = 0;              // size of a memory buffer
  int fd_ = -1;                    // file of a mapped buffer
  volatile sig_atomic_t* lost_ = nullptr;  // set when a window page went missing
  void* map_ = nullptr;            // page-aligned start of the window's mapping
  size_t mapLength_ = 0;
};

// Slots whose read-only bindings map their file: those of the temporary
// sample files (0, 3, 5, 6, 7, 8).
inline constexpr unsigned kMappedSlots = 0x1E9u;

// Spare memory buffers kept between bindings.
inline constexpr int kSpareSlotBuffers = 4;

struct BufferSlot {
  FILE* file = nullptr;  // caller's file; kept by ReleaseBuf
  SlotBuffer readBuffer;   // present while the slot reads
  SlotBuffer writeBuffer;  // present while the slot writes
  int32_t bufferBytes = 0;    // size of the read buffer of this binding
  int32_t writeBytes = 0;     // size of its write buffer
  int32_t readPos = 0;        // next unread byte in readBuffer
  int32_t readFill = 0;       // valid bytes in readBuffer
  off_t readFilePos = -1;     // file offset behind the loaded data; -1 = not reading
  int32_t writeFill = 0;      // bytes waiting in writeBuffer
  off_t writeFilePos = -1;    // offset of the next flush; -1 = not positioned yet
  // 1 when the file was cut under a mapped read since the binding: every
  // later read of the slot fails.
  volatile sig_atomic_t readLost = 0;
  // errno of the slot's latest failed write (ENOSPC on a full disk); kept
  // after ReleaseBuf, cleared by the next InitBuf.
  int writeErrno = 0;
};

// The slot functions. All take the slot index (0..9) first.
int _InitBuf(int slot, FILE* file, int read, int write);
int32_t _ReadBytes(int slot, int32_t n, void* dest);
int32_t _WriteBytes(int slot, int32_t n, const void* src);
int _ReleaseBuf(int slot);
int _RestartAtBegining(int slot);
int _RestartAtPosition(int slot, off_t pos);

// Zero-copy read for the writers of the waveform-file library: consumes up
// to n of the next bytes and points *data at them inside the read buffer
// (valid until the next call on the slot). Returns the count, which is
// smaller than n at the end of the loaded data and 0 at the end of the file,
// or -1 on failure.
int32_t _ReadBytesInPlace(int slot, int32_t n, const unsigned char** data);
// 1 while every byte the slot has read came from its file; 0 when the file
// was cut under a mapped read (the lost bytes read as zeros), or for a slot
// not bound. A reader of in-place data checks it after its last block.
int ReadBufIntact(int slot);

namespace fileio_detail {
extern BufferSlot slots[kBufferSlotCount];
extern bool initialized;
}  // namespace fileio_detail

// Public entries used by the engine and the Sequence View; they forward to
// the functions above. ReadBytes and WriteBytes serve a transfer that fits
// the loaded data or the free buffer space inline (per-sample calls of 1 to
// 8 bytes are the common case).
int InitBuf(int slot, FILE* file, int read, int write);
inline int32_t ReadBytes(int slot, int32_t n, void* dest) {
  if (static_cast<unsigned>(slot) < static_cast<unsigned>(kBufferSlotCount) && fileio_detail::initialized) {
    BufferSlot& s = fileio_detail::slots[slot];
    if (n > 0 && s.readBuffer && n <= s.readFill - s.readPos && !s.readLost) {
      std::memcpy(dest, s.readBuffer.get() + s.readPos, static_cast<size_t>(n));
      if (!s.readLost) {
        s.readPos += n;
        return n;
      }
    }
  }
  return _ReadBytes(slot, n, dest);
}
inline int32_t WriteBytes(int slot, int32_t n, const void* src) {
  if (static_cast<unsigned>(slot) < static_cast<unsigned>(kBufferSlotCount) && fileio_detail::initialized) {
    BufferSlot& s = fileio_detail::slots[slot];
    if (n > 0 && s.writeBuffer && n <= s.writeBytes - s.writeFill) {
      std::memcpy(s.writeBuffer.get() + s.writeFill, src, static_cast<size_t>(n));
      s.writeFill += n;
      return n;
    }
  }
  return _WriteBytes(slot, n, src);
}
// Room for the next n bytes of the slot's writes, for the caller to fill
// in place of a WriteBytes call: a pointer into the write buffer (any
// alignment), or nullptr when the buffer has not that much room left; then
// the bytes go through WriteBytes.
inline unsigned char* WriteReserve(int slot, int32_t n) {
  if (static_cast<unsigned>(slot) < static_cast<unsigned>(kBufferSlotCount) && fileio_detail::initialized) {
    BufferSlot& s = fileio_detail::slots[slot];
    if (n > 0 && s.writeBuffer && n <= s.writeBytes - s.writeFill) {
      unsigned char* room = s.writeBuffer.get() + s.writeFill;
      s.writeFill += n;
      return room;
    }
  }
  return nullptr;
}
int ReleaseBuf(int slot);
int RestartAtBegining(int slot);
int RestartAtPosition(int slot, off_t pos);

// Marks all ten slots empty (frees buffers still held, forgets the files).
void ResetBufferSlots();
// errno of the slot's latest failed write, 0 when none failed since its
// binding.
int BufferSlotWriteError(int slot);
// errno of the latest failed write of any slot, 0 when none; the value is
// handed out once (the next call returns 0 until another write fails).
int TakeBufferWriteError();
// Trace lines for binding, release and restarts (off by default).
void SetBufferTrace(int on);

// The initialised flag that the slot functions check; set by WaveLib_Init
// after ResetBufferSlots.
void SetBufferUnitInitialized(int on);
int BufferUnitInitialized();

// Buffer size for the next bindings, bytes (kBufferSlotMinBytes ..
// kBufferSlotBytes). Tests
// shrink it to exercise buffer boundaries with small files. Refused (0)
// while any slot is in use.
int SetBufferSlotBytes(int32_t bytes);
int32_t BufferSlotBytes();

// Read-only view of a slot for inspection; nullptr for an index outside 0..9.
const BufferSlot* GetBufferSlot(int slot);
