// Buffered slots: boundary-spanning transfers with shrunken buffers, the
// in-place rewrite, repositioning, 64-bit offsets, refused calls, and random
// operation sequences compared with plain stdio.
#include "Shared/FileIO/FileIOBufferedIO.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "app/Log.h"
#include "tests/support/TempDir.h"

namespace {

std::vector<std::string> g_lines;
void CaptureLine(const char* text) { g_lines.emplace_back(text); }

bool Logged(const std::string& piece) {
  for (const std::string& l : g_lines)
    if (l.find(piece) != std::string::npos) return true;
  return false;
}

std::string Pattern(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(gen() & 0xFF);
  return s;
}

class BufferSlots : public ::testing::Test {
 protected:
  static constexpr int32_t kB = 64;  // shrunken buffer size

  void SetUp() override {
    g_lines.clear();
    Log_SetLogSink(CaptureLine);
    ResetBufferSlots();
    SetBufferUnitInitialized(1);
    ASSERT_EQ(SetBufferSlotBytes(kB), 1);
  }
  void TearDown() override {
    ResetBufferSlots();
    SetBufferSlotBytes(kBufferSlotBytes);
    Log_SetLogSink(nullptr);
    for (FILE* f : files_) std::fclose(f);
  }
  // A file opened "w+b" holding `content`.
  FILE* Open(const std::string& name, const std::string& content) {
    const std::string path = dir_.File(name);
    cz::test::WriteFileBytes(path, content);
    FILE* f = std::fopen(path.c_str(), "r+b");
    files_.push_back(f);
    return f;
  }
  std::string Content(const std::string& name) { return cz::test::ReadFileBytes(dir_.File(name)); }

  cz::test::TempDir dir_;
  std::vector<FILE*> files_;
};

TEST_F(BufferSlots, TransfersAcrossBufferBoundaries) {
  const std::string data = Pattern(3 * kB + 5, 1);
  FILE* w = Open("w.bin", "");
  ASSERT_EQ(InitBuf(7, w, 0, 1), 1);
  std::size_t at = 0;
  for (int32_t n : {kB - 1, kB + 1, 1, kB - 1, 5}) {
    ASSERT_EQ(WriteBytes(7, n, data.data() + at), n);
    at += static_cast<std::size_t>(n);
  }
  ASSERT_EQ(ReleaseBuf(7), 1);  // flushes the rest
  ASSERT_EQ(Content("w.bin"), data);

  FILE* r = Open("r.bin", data);
  ASSERT_EQ(InitBuf(7, r, 1, 0), 1);  // the released slot binds again
  std::string got(data.size() + 8, '\0');
  at = 0;
  for (int32_t n : {kB - 1, kB + 1, 1, kB - 1}) {
    ASSERT_EQ(ReadBytes(7, n, got.data() + at), n);
    at += static_cast<std::size_t>(n);
  }
  // Past the end: the smaller count, then 0, never -1.
  EXPECT_EQ(ReadBytes(7, 2 * kB, got.data() + at), 5);
  EXPECT_EQ(ReadBytes(7, 8, got.data()), 0);
  EXPECT_EQ(got.substr(0, data.size()), data);
  ASSERT_EQ(RestartAtBegining(7), 1);
  EXPECT_EQ(ReadBytes(7, static_cast<int32_t>(got.size()), got.data()), static_cast<int32_t>(data.size()));
  EXPECT_EQ(got.substr(0, data.size()), data);
  EXPECT_EQ(ReleaseBuf(7), 1);
  EXPECT_FALSE(Logged("***"));
}

// The builder's start-up self test: write a pattern byte by byte, rewrite
// each byte with its complement in place, read the complement back.
TEST_F(BufferSlots, InPlaceRewriteLandsWhereTheDataCameFrom) {
  const std::string data = Pattern(10 * kB + 7, 3);
  FILE* f = Open("t.bin", "");
  ASSERT_EQ(InitBuf(5, f, 1, 1), 1);
  for (char c : data) ASSERT_EQ(WriteBytes(5, 1, &c), 1);
  ASSERT_EQ(ReleaseBuf(5), 1);

  ASSERT_EQ(InitBuf(5, f, 1, 1), 1);
  for (char expected : data) {
    char c = 0;
    ASSERT_EQ(ReadBytes(5, 1, &c), 1);
    ASSERT_EQ(c, expected);
    c = static_cast<char>(~c);
    ASSERT_EQ(WriteBytes(5, 1, &c), 1);
  }
  ASSERT_EQ(ReleaseBuf(5), 1);

  ASSERT_EQ(InitBuf(5, f, 1, 1), 1);
  std::string back(data.size(), '\0');
  ASSERT_EQ(ReadBytes(5, static_cast<int32_t>(back.size()), back.data()), static_cast<int32_t>(data.size()));
  for (std::size_t i = 0; i < data.size(); ++i) ASSERT_EQ(back[i], static_cast<char>(~data[i])) << i;
  ASSERT_EQ(ReleaseBuf(5), 1);
  EXPECT_EQ(Content("t.bin").size(), data.size());
}

TEST_F(BufferSlots, RestartAtPositionReadsAndRewritesSampleK) {
  // "IQF" and 40 samples whose bytes count up.
  std::string file = "IQF";
  for (int k = 0; k < 40 * 8; ++k) file += static_cast<char>(k);
  FILE* f = Open("iq.bin", file);

  ASSERT_EQ(InitBuf(5, f, 1, 0), 1);
  for (int k : {0, 7, 8, 9, 39}) {
    ASSERT_EQ(RestartAtPosition(5, 3 + 8 * k), 1);
    char pair[8];
    ASSERT_EQ(ReadBytes(5, 8, pair), 8);
    EXPECT_EQ(std::string(pair, 8), file.substr(3 + 8 * k, 8)) << k;
  }
  ASSERT_EQ(ReleaseBuf(5), 1);

  // In place: new data lands exactly at pos, the bytes before pos within
  // the aligned block stay as they were, the read side continues behind.
  ASSERT_EQ(InitBuf(5, f, 1, 1), 1);
  const off_t pos = 3 + 8 * 20;
  ASSERT_EQ(RestartAtPosition(5, pos), 1);
  char pair[8];
  ASSERT_EQ(ReadBytes(5, 8, pair), 8);
  EXPECT_EQ(std::string(pair, 8), file.substr(pos, 8));
  ASSERT_EQ(WriteBytes(5, 8, "ABCDEFGH"), 8);
  ASSERT_EQ(ReadBytes(5, 8, pair), 8);
  EXPECT_EQ(std::string(pair, 8), file.substr(pos + 8, 8));
  ASSERT_EQ(ReleaseBuf(5), 1);
  std::string expected = file;
  expected.replace(static_cast<std::size_t>(pos), 8, "ABCDEFGH");
  EXPECT_EQ(Content("iq.bin"), expected);
  EXPECT_FALSE(Logged("***"));
}

// A slot that only reads a temporary sample file maps it and leaves the
// file's position behind the data it loaded, as a read would; the import
// source slot reads into memory, and so does any slot reading a pipe. Bytes reserved in the write buffer land between the
// bytes written around them; a reservation larger than the room left is
// refused and the bytes go through WriteBytes.
TEST_F(BufferSlots, MappedReadsPipesAndReservedWrites) {
  const std::string data = Pattern(2 * kB + 36, 5);
  FILE* f = Open("m.bin", data);
  ASSERT_EQ(InitBuf(0, f, 1, 0), 1);
  EXPECT_TRUE(GetBufferSlot(0)->readBuffer.mapped());
  std::string got(10, '\0');
  ASSERT_EQ(ReadBytes(0, 10, got.data()), 10);
  EXPECT_EQ(got, data.substr(0, 10));
  ASSERT_EQ(ReleaseBuf(0), 1);
  ASSERT_EQ(InitBuf(1, f, 1, 0), 1);
  EXPECT_FALSE(GetBufferSlot(1)->readBuffer.mapped());
  ASSERT_EQ(ReadBytes(1, 10, got.data()), 10);
  EXPECT_EQ(got, data.substr(0, 10));
  ASSERT_EQ(ReleaseBuf(1), 1);
  EXPECT_EQ(ftello(f), kB);
  std::string rest(data.size() - kB, '\0');
  ASSERT_EQ(std::fread(rest.data(), 1, rest.size(), f), rest.size());
  EXPECT_EQ(rest, data.substr(kB));

  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  ASSERT_EQ(write(fds[1], data.data(), 100), 100);
  close(fds[1]);
  FILE* p = fdopen(fds[0], "rb");
  ASSERT_NE(p, nullptr);
  files_.push_back(p);
  ASSERT_EQ(InitBuf(3, p, 1, 0), 1);
  std::string piped(100, '\0');
  ASSERT_EQ(ReadBytes(3, 100, piped.data()), 100);
  EXPECT_EQ(piped, data.substr(0, 100));
  ASSERT_EQ(ReleaseBuf(3), 1);

  FILE* w = Open("r.bin", "");
  ASSERT_EQ(InitBuf(7, w, 0, 1), 1);
  ASSERT_EQ(WriteBytes(7, 3, "IQF"), 3);
  unsigned char* room = WriteReserve(7, 8);
  ASSERT_NE(room, nullptr);
  std::memcpy(room, "pairpair", 8);
  EXPECT_EQ(WriteReserve(7, kB), nullptr);
  ASSERT_EQ(WriteBytes(7, 5, "tail."), 5);
  ASSERT_EQ(ReleaseBuf(7), 1);
  EXPECT_EQ(Content("r.bin"), "IQFpairpairtail.");
  EXPECT_FALSE(Logged("***"));
}

TEST_F(BufferSlots, OffsetsBeyondTwoGibibytes) {
  FILE* f = Open("big.bin", "IQF");
  const off_t far = (off_t{1} << 31) + 3 + 8 * 5;  // sample 268,435,461
  ASSERT_EQ(ftruncate(fileno(f), far + 64), 0);   // sparse
  ASSERT_EQ(InitBuf(5, f, 1, 1), 1);
  ASSERT_EQ(RestartAtPosition(5, far), 1);
  ASSERT_EQ(WriteBytes(5, 8, "12345678"), 8);
  ASSERT_EQ(ReleaseBuf(5), 1);
  char back[8] = {};
  ASSERT_EQ(pread(fileno(f), back, 8, far), 8);
  EXPECT_EQ(std::string(back, 8), "12345678");
  ASSERT_EQ(pread(fileno(f), back, 8, far - 8), 8);
  EXPECT_EQ(std::string(back, 8), std::string(8, '\0'));

  ASSERT_EQ(InitBuf(5, f, 1, 0), 1);
  ASSERT_EQ(RestartAtPosition(5, far + 4), 1);
  ASSERT_EQ(ReadBytes(5, 4, back), 4);
  EXPECT_EQ(std::string(back, 4), "5678");
  ASSERT_EQ(ReleaseBuf(5), 1);
}

TEST_F(BufferSlots, RefusedCallsLogAndChangeNothing) {
  FILE* f = Open("x.bin", "abcdefgh");
  char c;
  EXPECT_EQ(InitBuf(10, f, 1, 0), 0);
  EXPECT_TRUE(Logged("*** Error in file FileIOBufferedIO.cpp_InitBuf @ "));
  EXPECT_EQ(ReadBytes(10, 1, &c), -1);
  EXPECT_EQ(WriteBytes(-1, 1, &c), -1);
  EXPECT_EQ(InitBuf(2, nullptr, 1, 0), 0);
  EXPECT_EQ(InitBuf(2, f, 0, 0), 0);
  EXPECT_EQ(ReleaseBuf(2), 0);  // never bound
  for (int s = 0; s < kBufferSlotCount; ++s) EXPECT_EQ(GetBufferSlot(s)->file, nullptr) << s;

  // A slot in use refuses a second binding and keeps its position.
  ASSERT_EQ(InitBuf(2, f, 1, 0), 1);
  EXPECT_EQ(WriteBytes(2, 1, "z"), -1);  // bound for reading only
  ASSERT_EQ(ReadBytes(2, 1, &c), 1);
  EXPECT_EQ(InitBuf(2, f, 0, 1), 0);
  EXPECT_EQ(GetBufferSlot(2)->writeBuffer, nullptr);
  EXPECT_EQ(SetBufferSlotBytes(128), 0);  // no size change under a bound slot
  ASSERT_EQ(ReadBytes(2, 1, &c), 1);
  EXPECT_EQ(c, 'b');
  EXPECT_EQ(ReleaseBuf(2), 1);

  // Without the library's initialisation the unit warns and carries on.
  g_lines.clear();
  SetBufferUnitInitialized(0);
  EXPECT_EQ(InitBuf(1, f, 1, 0), 1);
  EXPECT_TRUE(Logged("*** Library not correctly initialized."));
  char three[3];
  EXPECT_EQ(ReadBytes(1, 3, three), 3);
  EXPECT_EQ(ReleaseBuf(1), 1);
}

// A release whose last flush fails reports it and still frees the slot, so
// that the next build can bind it again (the file stays the caller's).
TEST_F(BufferSlots, AFailedFinalFlushStillFreesTheSlot) {
  Open("ro.bin", "");
  FILE* readOnly = std::fopen(dir_.File("ro.bin").c_str(), "rb");
  ASSERT_NE(readOnly, nullptr);
  files_.push_back(readOnly);
  ASSERT_EQ(InitBuf(3, readOnly, 0, 1), 1);
  ASSERT_EQ(WriteBytes(3, 4, "mark"), 4);  // buffered
  g_lines.clear();
  EXPECT_EQ(ReleaseBuf(3), 0);
  EXPECT_TRUE(Logged("*** Error in file FileIOBufferedIO.cpp_ReleaseBuf @ "));
  EXPECT_EQ(GetBufferSlot(3)->writeBuffer, nullptr);
  EXPECT_EQ(InitBuf(3, Open("w.bin", ""), 0, 1), 1);
  EXPECT_EQ(ReleaseBuf(3), 1);
}

// ---- random operation sequences against plain stdio -------------------------------

// The reference keeps the two cursors of a slot explicitly and performs every
// transfer with fseeko + fread / fwrite on an unbuffered copy of the file.
struct Reference {
  FILE* f = nullptr;
  off_t readAt = 0;
  off_t writeAt = 0;
  off_t Size() {
    fseeko(f, 0, SEEK_END);
    return ftello(f);
  }
};

enum class Mode { Read, Write, ReadWrite };

void RunRandomSequence(FILE* f, Reference& ref, Mode mode, int32_t bufferBytes, unsigned seed) {
  std::mt19937 gen(seed);
  const int slot = 9;
  ASSERT_EQ(InitBuf(slot, f, mode != Mode::Write, mode != Mode::Read), 1);
  ref.readAt = ref.writeAt = 0;
  bool appending = false;  // writes ran ahead of the reads: no reads until a restart
  auto size = [&](void) {
    // Lengths around the buffer size and small ones.
    const int32_t choices[] = {1, 3, 8, bufferBytes - 1, bufferBytes, bufferBytes + 1, 2 * bufferBytes + 1};
    return choices[gen() % 7];
  };
  for (int op = 0; op < 400; ++op) {
    const unsigned what = gen() % 10;
    if (what < 4 && mode != Mode::Write && !appending) {
      const int32_t n = size();
      std::string got(static_cast<std::size_t>(n), '\0');
      std::string want(static_cast<std::size_t>(n), '\0');
      fseeko(ref.f, ref.readAt, SEEK_SET);
      const int32_t wantN = static_cast<int32_t>(std::fread(want.data(), 1, want.size(), ref.f));
      ref.readAt += wantN;
      ASSERT_EQ(ReadBytes(slot, n, got.data()), wantN) << "op " << op;
      ASSERT_EQ(got.substr(0, static_cast<std::size_t>(wantN)), want.substr(0, static_cast<std::size_t>(wantN)));
    } else if (what < 8 && mode != Mode::Read) {
      int32_t n = size();
      if (mode == Mode::ReadWrite && ref.writeAt + n > ref.readAt) {
        // In place the writes trail the reads; at the end of the file they
        // may run ahead, after which the slot only writes.
        if (ref.readAt < ref.Size()) n = static_cast<int32_t>(ref.readAt - ref.writeAt);
        else appending = true;
      }
      if (n <= 0) continue;
      const std::string data = Pattern(static_cast<std::size_t>(n), gen());
      fseeko(ref.f, ref.writeAt, SEEK_SET);
      std::fwrite(data.data(), 1, data.size(), ref.f);
      ref.writeAt += n;
      ASSERT_EQ(WriteBytes(slot, n, data.data()), n) << "op " << op;
    } else if (what == 8) {
      ASSERT_EQ(RestartAtBegining(slot), 1);
      ref.readAt = ref.writeAt = 0;
      appending = false;
    } else {
      const off_t pos = static_cast<off_t>(gen() % static_cast<unsigned>(ref.Size() + 1));
      ASSERT_EQ(RestartAtPosition(slot, pos), 1);
      ref.readAt = pos;
      // A write-only slot goes on at the 8-byte aligned base.
      ref.writeAt = mode == Mode::Write ? pos - pos % 8 : pos;
      appending = false;
    }
  }
  ASSERT_EQ(ReleaseBuf(slot), 1);
}

TEST_F(BufferSlots, RandomSequencesMatchPlainStdio) {
  for (int32_t bufferBytes : {kBufferSlotMinBytes, 63, 64, 65}) {
    ASSERT_EQ(SetBufferSlotBytes(bufferBytes), 1);
    for (Mode mode : {Mode::Read, Mode::Write, Mode::ReadWrite}) {
      for (unsigned seed = 1; seed <= 6; ++seed) {
        const std::string start = Pattern(static_cast<std::size_t>(bufferBytes) * 7 + seed, seed * 31);
        FILE* f = Open("slot.bin", start);
        Reference ref;
        ref.f = Open("ref.bin", start);
        std::setvbuf(ref.f, nullptr, _IONBF, 0);
        RunRandomSequence(f, ref, mode, bufferBytes, seed + 100 * bufferBytes);
        if (HasFatalFailure()) {
          ADD_FAILURE() << "buffer " << bufferBytes << " mode " << static_cast<int>(mode) << " seed " << seed;
          return;
        }
        std::fflush(f);
        std::fflush(ref.f);
        ASSERT_EQ(Content("slot.bin"), Content("ref.bin"))
            << "buffer " << bufferBytes << " mode " << static_cast<int>(mode) << " seed " << seed;
      }
    }
  }
  EXPECT_FALSE(Logged("***"));
}

}  // namespace
