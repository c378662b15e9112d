// Waveform file writer: the exact header and block bytes, int16 conversion at
// the clamps, statistics, the temporary-file sources, progress, and failures
// that must leave an existing file untouched.
#include <unistd.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <regex>
#include <string>
#include <vector>

#include "Shared/FileIO/FileIOBufferedIO.h"
#include "app/Log.h"
#include "tests/support/TempDir.h"
#include "tests/wavelib/WaveLibTestSupport.h"
#include "wavelib/WaveLib.h"

namespace {

using namespace wavelib_test;
using Writer = WaveLibTest;

TEST(WaveLibFrame, VersionCheckAndVersion) {
  char error[kWaveLibErrorTextBytes];
  EXPECT_EQ(WaveLib_Init(error, 2.3), 0);
  EXPECT_STREQ(error, "*** Init failed: E00010 (Incorrect version)");
  EXPECT_EQ(WaveLib_Init(error, 2.2), 1);
  EXPECT_STREQ(error, "");
  EXPECT_EQ(BufferUnitInitialized(), 1);
  int major = 0, minor = 0;
  WaveLib_GetVersion(&major, &minor);
  EXPECT_EQ(major, 2);
  EXPECT_EQ(minor, 20);
}

TEST(WaveLibFrame, SampleConversionAtTheClamps) {
  EXPECT_EQ(WaveLib_SampleToInt16(1.0f), 32767);
  EXPECT_EQ(WaveLib_SampleToInt16(-1.0f), -32766);
  EXPECT_EQ(WaveLib_SampleToInt16(0.0f), 0);
  EXPECT_EQ(WaveLib_SampleToInt16(0.5f), 16384);    // 16383.5 + 0.5
  EXPECT_EQ(WaveLib_SampleToInt16(-0.5f), -16383);  // -16383.5 + 0.5, toward zero
  EXPECT_EQ(WaveLib_SampleToInt16(-1e-6f), 0);
  EXPECT_EQ(WaveLib_SampleToInt16(1.0000001f), 32767);
  EXPECT_EQ(WaveLib_SampleToInt16(-1.0000001f), -32767);
  EXPECT_EQ(WaveLib_SampleToInt16(std::numeric_limits<float>::quiet_NaN()), 32767);
  EXPECT_EQ(WaveLib_SampleToInt16(std::numeric_limits<float>::infinity()), 32767);
  EXPECT_EQ(WaveLib_SampleToInt16(-std::numeric_limits<float>::infinity()), -32767);
}

// The block conversion (vectorised) against the direct formula in long
// double, over values near the rounding steps and the clamps.
TEST_F(Writer, BlockValuesFollowTheFormula) {
  std::vector<float> i, q;
  for (int k = -40000; k <= 40000; k += 7) {
    const float step = (static_cast<float>(k) - 0.5f) / 32767.0f;  // near t + 0.5 = integer
    i.push_back(step);
    q.push_back(std::nextafter(step, 2.0f));
  }
  const float specials[] = {1.0f, -1.0f, std::nextafter(1.0f, 2.0f), std::nextafter(-1.0f, -2.0f),
                            std::nanf(""), -std::numeric_limits<float>::infinity(), 0.0f, -0.0f};
  for (float v : specials) {
    i.push_back(v);
    q.push_back(-v);
  }
  // Runs of values around the off level of a pulse (1e-5) and the edges of
  // int16 zero (0.5/32767, -1.5/32767), whole blocks of them and mixed.
  const float small[] = {1e-5f, -1e-5f, 1.4999e-5f, -1.4999e-5f, 1.5e-5f, 1.526e-5f, -4.5e-5f, -4.58e-5f, -0.0f};
  for (int run = 0; run < 9; ++run)
    for (int k = 0; k < 24; ++k) {
      i.push_back(small[(run + k) % 9] * (k < 3 * run ? 1.0f : 0.3f));
      q.push_back(-small[(2 * run + k) % 9] * (k < 2 * run ? 1.0f : 0.25f));
    }
  WaveDescriptor d;
  d.arbClock = d.markerClock = 1e6;
  d.samples = static_cast<int32_t>(i.size());
  d.statisticsValid = 1;
  d.iData = i.data();
  d.qData = q.data();
  const std::string path = dir_.File("values.wv");
  ASSERT_EQ(WaveLib_WriteWaveform(&d, path.c_str(), nullptr, nullptr), 1);
  const std::string file = cz::test::ReadFileBytes(path);
  const std::size_t at = file.find(": #") + 3;
  ASSERT_EQ(file.size(), at + 4 * i.size() + 1);
  auto expected = [](float x) -> int {
    if (x < -1.0f) return -32767;
    if (!(x <= 1.0f)) return 32767;
    return static_cast<int>(std::trunc(static_cast<long double>(x) * 32767.0L + 0.5L));
  };
  for (std::size_t k = 0; k < i.size(); ++k) {
    int16_t iv, qv;
    std::memcpy(&iv, file.data() + at + 4 * k, 2);
    std::memcpy(&qv, file.data() + at + 4 * k + 2, 2);
    ASSERT_EQ(iv, expected(i[k])) << k << " x=" << i[k];
    ASSERT_EQ(qv, expected(q[k])) << k << " x=" << q[k];
  }
}

TEST_F(Writer, ExactFileForAKnownDescriptor) {
  const std::vector<float> i = {1.0f, -1.0f, 0.0f, 0.5f, 2.0f};
  const std::vector<float> q = {-1.0f, 0.0f, -0.5f, std::nanf(""), -3.0f};
  const unsigned char markers[] = {0, 0, 1, 1, 0};
  WaveDescriptor d;
  d.arbClock = 100e6;
  d.markerClock = 50e6;
  d.samples = 5;
  d.rmsOffset = 3.5;
  d.peakOffset = 0.25;
  d.comment = "seq {REPORT PLUGIN: x} a}b";
  d.copyright = "(c) lab";
  d.statisticsValid = 1;
  d.iData = i.data();
  d.qData = q.data();
  d.markers = markers;
  const std::string path = dir_.File("known.wv");
  ASSERT_EQ(WaveLib_WriteWaveform(&d, path.c_str(), nullptr, nullptr), 1);

  const std::string expected =
      "{TYPE: Kaldra-WV,0}{COMMENT:seq {REPORT PLUGIN: x} a)b}{COPYRIGHT:(c) lab}{DATE}"
      "{CLOCK:100000000.000}{CLOCK MARKER:50000000.000}{LEVEL OFFS:3.500000,0.250000}{SAMPLES:5}"
      "{CONTROL LENGTH:5}{MARKER LIST 1: 0:0;2:1;4:0}{MARKER LIST 2: 0:0}{MARKER LIST 3: 0:0}"
      "{MARKER LIST 4: 0:0}{WAVEFORM-21: #" +
      Bytes({0xFF, 0x7F, 0x02, 0x80,    // 32767, -32766
             0x02, 0x80, 0x00, 0x00,    // -32766, 0
             0x00, 0x00, 0x01, 0xC0,    // 0, -16383
             0x00, 0x40, 0xFF, 0x7F,    // 16384, NaN -> 32767
             0xFF, 0x7F, 0x01, 0x80}) + // 32767, -32767
      "}";
  const std::string file = cz::test::ReadFileBytes(path);
  EXPECT_EQ(WithoutDate(file), expected);
  EXPECT_NE(file, WithoutDate(file)) << "DATE tag missing";
  EXPECT_FALSE(cz::test::FileExists(path + ".part"));
  EXPECT_TRUE(Logged("Creating wave file " + path + "..."));
  EXPECT_TRUE(Logged("*** The COMMENT tag's text holds 1 unpaired brace(s); written as parentheses."));
  EXPECT_TRUE(Logged("Waveform file generated."));
}

TEST_F(Writer, OneSampleBlockAndOmittedTags) {
  const float i = 1.0f, q = -1.0f;
  WaveDescriptor d;
  d.arbClock = d.markerClock = 1e6;
  d.samples = 1;
  d.comment = "";  // empty and null both omit the tag
  d.statisticsValid = 1;
  d.iData = &i;
  d.qData = &q;
  const unsigned char marker = 1;
  d.markers = &marker;
  const std::string path = dir_.File("one.wv");
  FILE* markerFile = Temp("m.tmp", Bytes({1}));
  // Both marker sources: no marker lists.
  ASSERT_EQ(WaveLib_WriteWaveform(&d, path.c_str(), nullptr, markerFile), 1);
  const std::string file = cz::test::ReadFileBytes(path);
  EXPECT_EQ(file.find("{COMMENT:"), std::string::npos);
  EXPECT_EQ(file.find("{COPYRIGHT:"), std::string::npos);
  EXPECT_EQ(file.find("CONTROL LENGTH"), std::string::npos);
  EXPECT_EQ(file.find("MARKER LIST"), std::string::npos);
  const std::string tail = "{WAVEFORM-5: #" + Bytes({0xFF, 0x7F, 0x02, 0x80}) + "}";
  ASSERT_GE(file.size(), tail.size());
  EXPECT_EQ(file.substr(file.size() - tail.size()), tail);
}

TEST_F(Writer, StatisticsFromMemoryOnly) {
  std::vector<float> zeros(16, 0.0f);
  WaveDescriptor d;
  d.arbClock = d.markerClock = 1e6;
  d.samples = 16;
  d.iData = zeros.data();
  d.qData = zeros.data();
  ASSERT_EQ(WaveLib_WriteWaveform(&d, dir_.File("z.wv").c_str(), nullptr, nullptr), 1);
  EXPECT_NEAR(d.rmsOffset, 100.0, 1e-9);
  EXPECT_NEAR(d.peakOffset, 100.0, 1e-9);
  EXPECT_NE(cz::test::ReadFileBytes(dir_.File("z.wv")).find("{LEVEL OFFS:100.000000,100.000000}"),
            std::string::npos);

  const std::vector<float> i = {0.6f, 0.0f}, q = {0.8f, 0.0f};  // |s| = 1, 0
  d.samples = 2;
  d.iData = i.data();
  d.qData = q.data();
  ASSERT_EQ(WaveLib_WriteWaveform(&d, dir_.File("s.wv").c_str(), nullptr, nullptr), 1);
  EXPECT_NEAR(d.rmsOffset, 10.0 * std::log10(2.0), 1e-6);
  EXPECT_NEAR(d.peakOffset, 0.0, 1e-6);
  EXPECT_TRUE(Logged("Calculating Peak, RMS from wave data..."));
  EXPECT_TRUE(Logged("Pk/Av     : 3.01 dB"));

  // From a temporary file the given offsets are kept, even when not marked valid.
  g_lines.clear();
  d.rmsOffset = 7.0;
  d.peakOffset = 1.0;
  d.iData = d.qData = nullptr;
  FILE* iq = Temp("iq.tmp", IqFile(i, q));
  ASSERT_EQ(WaveLib_WriteWaveform(&d, dir_.File("t.wv").c_str(), iq, nullptr), 1);
  EXPECT_EQ(d.rmsOffset, 7.0);
  EXPECT_EQ(d.peakOffset, 1.0);
  EXPECT_FALSE(Logged("Calculating Peak"));
}

// A level a rounding error above full scale: the offset that prints as zero
// is written without a minus sign, in both families' files; a real negative
// offset keeps its sign.
TEST_F(Writer, OffsetsThatPrintAsZeroCarryNoSign) {
  std::vector<float> i(10, 1.0f), q(10, 0.0f);
  i[3] = std::nextafter(1.0f, 2.0f);  // rms 1 + 1.2e-8: -1.0e-7 dB
  WaveDescriptor d;
  d.arbClock = d.markerClock = 1e6;
  d.samples = 10;
  d.iData = i.data();
  d.qData = q.data();
  ASSERT_EQ(WaveLib_WriteWaveform(&d, dir_.File("hair.wv").c_str(), nullptr, nullptr), 1);
  ASSERT_LT(d.rmsOffset, 0.0);
  EXPECT_NE(cz::test::ReadFileBytes(dir_.File("hair.wv")).find("{LEVEL OFFS:0.000000,-0.000001}"), std::string::npos);

  d.statisticsValid = 1;
  d.rmsOffset = -4e-7;
  d.peakOffset = -1e-12;
  ASSERT_EQ(WaveLib_WriteWaveform(&d, dir_.File("given.wv").c_str(), nullptr, nullptr), 1);
  EXPECT_NE(cz::test::ReadFileBytes(dir_.File("given.wv")).find("{LEVEL OFFS:0.000000,0.000000}"), std::string::npos);
  ASSERT_EQ(WaveLib_WriteWaveformB(&d, dir_.File("b.wv").c_str(), nullptr, nullptr), 1);
  EXPECT_NE(cz::test::ReadFileBytes(dir_.File("b.wv")).find("{LEVEL OFFS:0.000000,0.000000}"), std::string::npos);
  EXPECT_EQ(WaveLib_LevelOffsTag(-0.0, -2.5), "{LEVEL OFFS:0.000000,-2.500000}");
}

// The builder's way: both sources are temporary files. With shrunken slot
// buffers the samples and the four marker passes cross many buffer refills.
TEST_F(Writer, TemporaryFilesGiveTheSameFileAsMemory) {
  const int32_t n = 1000;
  std::vector<float> i(n), q(n);
  std::vector<unsigned char> markers(n);
  for (int32_t k = 0; k < n; ++k) {
    i[k] = std::sin(0.01f * k) * 1.1f;
    q[k] = std::cos(0.013f * k);
    markers[k] = static_cast<unsigned char>(((k / 7) % 16) ^ (k % 50 == 0 ? 8 : 0));
  }
  WaveDescriptor d;
  d.arbClock = d.markerClock = 123456789.5;
  d.samples = n;
  d.rmsOffset = 2.0;
  d.statisticsValid = 1;
  d.comment = "c";
  d.iData = i.data();
  d.qData = q.data();
  d.markers = markers.data();
  ASSERT_EQ(WaveLib_WriteWaveform(&d, dir_.File("mem.wv").c_str(), nullptr, nullptr), 1);

  ASSERT_EQ(SetBufferSlotBytes(97), 1);
  FILE* iq = Temp("WV-DATA.TMP", IqFile(i, q));
  FILE* mk = Temp("MKR-DATA.TMP", std::string(markers.begin(), markers.end()));
  WaveDescriptor f = d;
  f.iData = f.qData = nullptr;
  f.markers = nullptr;
  WaveLib_SetProgressHook(CaptureProgress);
  ASSERT_EQ(WaveLib_WriteWaveform(&f, dir_.File("tmp.wv").c_str(), iq, mk), 1);
  EXPECT_EQ(g_progress, (std::vector<int>{0, 10, 10, 20, 30, 40, 50, 50, 62, 74, 86, 98, 100}));
  EXPECT_EQ(WithoutDate(cz::test::ReadFileBytes(dir_.File("tmp.wv"))),
            WithoutDate(cz::test::ReadFileBytes(dir_.File("mem.wv"))));
  EXPECT_TRUE(SlotsFree());
  EXPECT_TRUE(Logged("Creating marker trace from temporary marker file ..."));

  // The same data handed over ready (as a build forms it while it writes
  // the files): the samples converted, the marker bytes as their changes.
  std::vector<int16_t> ready(2 * static_cast<size_t>(n));
  const std::string pairs = IqFile(i, q).substr(3);
  WaveLib_PairsToInt16(reinterpret_cast<const unsigned char*>(pairs.data()), ready.data(), n);
  std::vector<WaveMarkerChange> changes;
  for (int32_t k = 0; k < n; ++k)
    if (k == 0 || (markers[k] & 15) != (markers[k - 1] & 15))
      changes.push_back(WaveMarkerChange{k, static_cast<uint8_t>(markers[k] & 15)});
  f.iqInt16 = ready.data();
  f.markerChanges = changes.data();
  f.markerChangeCount = static_cast<int64_t>(changes.size());
  g_progress.clear();
  ASSERT_EQ(WaveLib_WriteWaveform(&f, dir_.File("ready.wv").c_str(), iq, mk), 1);
  EXPECT_EQ(g_progress, (std::vector<int>{0, 10, 10, 20, 30, 40, 50, 50, 62, 74, 86, 98, 100}));
  EXPECT_EQ(WithoutDate(cz::test::ReadFileBytes(dir_.File("ready.wv"))),
            WithoutDate(cz::test::ReadFileBytes(dir_.File("mem.wv"))));
  EXPECT_TRUE(SlotsFree());
}

// A file of several write-back stretches written over an existing file
// (its parts go to the disk while the rest is made) holds the same bytes
// as the same file written where none was.
TEST_F(Writer, ReplacingALargeFileWritesTheSameBytes) {
  const int32_t n = 9'000'000;  // 36 MB of samples
  std::vector<float> i(n), q(n);
  for (int32_t k = 0; k < n; ++k) {
    i[k] = static_cast<float>((k * 37) % 1001) / 1000.0f - 0.5f;
    q[k] = static_cast<float>((k * 11) % 997) / 997.0f;
  }
  WaveDescriptor d;
  d.arbClock = d.markerClock = 1e8;
  d.samples = n;
  d.statisticsValid = 1;
  d.iData = i.data();
  d.qData = q.data();
  const std::string path = dir_.File("big.wv");
  ASSERT_EQ(WaveLib_WriteWaveform(&d, path.c_str(), nullptr, nullptr), 1);
  const std::string first = WithoutDate(cz::test::ReadFileBytes(path));
  ASSERT_EQ(first.size(), 4u * n + first.find(": #") + 4);
  i[n - 1] = 1.0f;
  ASSERT_EQ(WaveLib_WriteWaveform(&d, path.c_str(), nullptr, nullptr), 1);
  const std::string second = WithoutDate(cz::test::ReadFileBytes(path));
  ASSERT_EQ(second.size(), first.size());
  const std::size_t last = second.size() - 5;  // the last I/Q pair and "}"
  EXPECT_EQ(second.compare(0, last, first, 0, last), 0);
  EXPECT_EQ(second.substr(last, 2), std::string("\xFF\x7F", 2));
  EXPECT_EQ(second.substr(last + 2), first.substr(last + 2));
  EXPECT_FALSE(cz::test::FileExists(path + ".part"));
}

TEST_F(Writer, RefusedInputsLeaveNoFileAndNoBoundSlot) {
  const float s = 0.0f;
  WaveDescriptor d;
  d.iData = d.qData = &s;
  const std::string path = dir_.File("a.wv");
  EXPECT_EQ(WaveLib_WriteWaveform(&d, path.c_str(), nullptr, nullptr), 0);
  EXPECT_TRUE(Logged("*** Error: Number of points cannot be zero."));
  d.samples = 1;
  EXPECT_EQ(WaveLib_WriteWaveform(&d, "", nullptr, nullptr), 0);
  EXPECT_TRUE(Logged("*** Error: Destination file name cannot be empty."));
  d.qData = nullptr;
  EXPECT_EQ(WaveLib_WriteWaveform(&d, path.c_str(), nullptr, nullptr), 0);
  EXPECT_TRUE(Logged("*** Error: No data input for function."));

  WaveDescriptor t;
  t.samples = 1;
  EXPECT_EQ(WaveLib_WriteWaveform(&t, path.c_str(), Temp("w.tmp", "IQX" + std::string(8, '\0')), nullptr), 0);
  EXPECT_TRUE(Logged("*** Error: Temporary waveform file has wrong format."));
  EXPECT_EQ(WaveLib_WriteWaveform(&t, path.c_str(), Temp("t.tmp", "IQ"), nullptr), 0);
  EXPECT_TRUE(Logged("*** Error reading from temporary waveform file."));
  FILE* iq = Temp("ok.tmp", "IQF" + std::string(8, '\0'));
  EXPECT_EQ(WaveLib_WriteWaveform(&t, dir_.File("no/such/dir/a.wv").c_str(), iq, nullptr), 0);
  EXPECT_TRUE(Logged("*** Error opening output file."));
  EXPECT_FALSE(cz::test::FileExists(path));
  EXPECT_TRUE(SlotsFree());
}

TEST_F(Writer, FailedWriteLeavesTheExistingFileUntouched) {
  const std::string path = dir_.File("keep.wv");
  const std::string old = "{TYPE: Kaldra-WV,0}{SAMPLES:1}{WAVEFORM-5: #" + Bytes({1, 2, 3, 4}) + "}";
  ASSERT_TRUE(cz::test::WriteFileBytes(path, old));

  // The temporary I/Q file holds 3 of the 4 samples asked for.
  WaveDescriptor d;
  d.arbClock = d.markerClock = 1e6;
  d.samples = 4;
  d.statisticsValid = 1;
  const std::vector<float> v = {0.1f, 0.2f, 0.3f};
  FILE* iq = Temp("short.tmp", IqFile(v, v));
  EXPECT_EQ(WaveLib_WriteWaveform(&d, path.c_str(), iq, nullptr), 0);
  EXPECT_TRUE(Logged("*** Error reading waveform data from temporary file."));
  EXPECT_EQ(cz::test::ReadFileBytes(path), old);
  EXPECT_FALSE(cz::test::FileExists(path + ".part"));

  // A marker file shorter than the samples fails in the marker lists.
  g_lines.clear();
  const std::vector<float> w = {0.1f, 0.2f, 0.3f, 0.4f};
  FILE* iq4 = Temp("four.tmp", IqFile(w, w));
  FILE* mk = Temp("mk.tmp", Bytes({1, 0}));
  EXPECT_EQ(WaveLib_WriteWaveform(&d, path.c_str(), iq4, mk), 0);
  EXPECT_TRUE(Logged("*** Error reading marker data from temporary file."));
  EXPECT_EQ(cz::test::ReadFileBytes(path), old);
  EXPECT_FALSE(cz::test::FileExists(path + ".part"));
  EXPECT_TRUE(SlotsFree());

  // A successful write then replaces it.
  FILE* ok = Temp("ok.tmp", IqFile(w, w));
  EXPECT_EQ(WaveLib_WriteWaveform(&d, path.c_str(), ok, nullptr), 1);
  EXPECT_NE(cz::test::ReadFileBytes(path), old);
}

// A temporary file cut while a mapped slot reads it (by anyone: here from
// the progress hook, between the load of a block and its conversion) ends
// in the read error, never in SIGBUS; the old waveform file stays.
FILE* g_cutFile = nullptr;
off_t g_cutTo = 0;
void CutTheFile(int) {
  if (g_cutFile != nullptr && ftruncate(fileno(g_cutFile), g_cutTo) == 0) g_cutFile = nullptr;
}

TEST_F(Writer, TemporaryFileCutWhileItIsReadGivesTheReadError) {
  const std::string path = dir_.File("keep.wv");
  const std::string old = "{TYPE: Kaldra-WV,0}{SAMPLES:1}{WAVEFORM-5: #" + Bytes({1, 2, 3, 4}) + "}";
  ASSERT_TRUE(cz::test::WriteFileBytes(path, old));
  const int32_t n = 300000;  // 2.4 MB: one mapped window of many pages
  std::vector<float> v(static_cast<std::size_t>(n), 0.25f);
  WaveDescriptor d;
  d.arbClock = d.markerClock = 1e6;
  d.samples = n;
  d.statisticsValid = 1;

  // Cut to a few samples, or to a length inside the last page of the data.
  for (off_t cutTo : {off_t{3 + 8 * 10}, off_t{3 + 8 * static_cast<off_t>(n) - 100}}) {
    g_lines.clear();
    FILE* iq = Temp("cut.tmp", IqFile(v, v));
    g_cutFile = iq;
    g_cutTo = cutTo;
    WaveLib_SetProgressHook(CutTheFile);
    EXPECT_EQ(WaveLib_WriteWaveform(&d, path.c_str(), iq, nullptr), 0) << cutTo;
    WaveLib_ClearProgressHook();
    EXPECT_EQ(g_cutFile, nullptr) << "the hook ran";
    EXPECT_TRUE(Logged("*** Error reading waveform data from temporary file.")) << cutTo;
    EXPECT_TRUE(cz::test::ReadFileBytes(path) == old) << cutTo;
    EXPECT_FALSE(cz::test::FileExists(path + ".part"));
    EXPECT_TRUE(SlotsFree());
  }

  // Per-sample reads of a mapped slot (as the Sequence View reads slot 5):
  // the read after the cut fails, and so does every later one.
  FILE* iq = Temp("view.tmp", IqFile(v, v));
  ASSERT_EQ(InitBuf(5, iq, 1, 0), 1);
  ASSERT_TRUE(GetBufferSlot(5)->readBuffer.mapped());
  unsigned char sample[8];
  ASSERT_EQ(ReadBytes(5, 3, sample), 3);
  ASSERT_EQ(ReadBytes(5, 8, sample), 8);
  ASSERT_EQ(ftruncate(fileno(iq), 4096 * 2), 0);
  int32_t got = 8;
  int reads = 0;
  while (got == 8 && reads < n) {
    got = ReadBytes(5, 8, sample);
    ++reads;
  }
  EXPECT_EQ(got, -1);
  EXPECT_LE(reads, 4096 * 2 / 8);
  EXPECT_EQ(ReadBytes(5, 8, sample), -1);
  EXPECT_EQ(ReadBufIntact(5), 0);
  EXPECT_EQ(ReleaseBuf(5), 1);
  // Bound again, the slot reads what the file now holds.
  ASSERT_EQ(InitBuf(5, iq, 1, 0), 1);
  EXPECT_EQ(ReadBufIntact(5), 1);
  std::vector<unsigned char> all(4096 * 2);
  EXPECT_EQ(ReadBytes(5, static_cast<int32_t>(all.size()), all.data()), 4096 * 2);
  EXPECT_EQ(ReadBytes(5, 1, sample), 0);
  EXPECT_EQ(ReleaseBuf(5), 1);
}

}  // namespace
