// Data-list, control-list, second-family, untyped and raw float writers: the
// exact tags and blocks, both data sources, the refusals, and the ".part"
// output that leaves an existing file alone on failure.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "tests/wavelib/WaveLibTestSupport.h"

namespace {

using namespace wavelib_test;
using cz::test::FileExists;
using cz::test::ReadFileBytes;

class OtherWriters : public WaveLibTest {};

TEST_F(OtherWriters, DataListFromMemoryAndFromTheTemporaryFile) {
  const unsigned char bytes[] = {0xAB, 0xC0, 0x00};
  DataListDescriptor d;
  d.bitLength = 20;
  d.byteCount = 3;
  d.comment = "symbols";
  d.data = bytes;
  const std::string path = dir_.File("a.dl");
  ASSERT_EQ(WaveLib_WriteDataList(&d, path.c_str(), nullptr), 1);
  const std::string expected = "{TYPE: Kaldra-DL,0}{COMMENT: symbols}{COPYRIGHT: }{DATE}{DATA BITLENGTH: 20}"
                               "{DATA LIST-4: #" + Bytes({0xAB, 0xC0, 0x00}) + "}";
  EXPECT_EQ(WithoutDate(ReadFileBytes(path)), expected);
  EXPECT_TRUE(Logged("Creating data list file " + path + " ..."));
  EXPECT_FALSE(FileExists(path + ".part"));

  // The same bytes through a "DLB" temporary file, with progress per byte.
  g_progress.clear();
  WaveLib_SetProgressHook(CaptureProgress);
  d.data = nullptr;
  FILE* temp = Temp("data.tmp", "DLB" + Bytes({0xAB, 0xC0, 0x00}));
  const std::string fromFile = dir_.File("b.dl");
  ASSERT_EQ(WaveLib_WriteDataList(&d, fromFile.c_str(), temp), 1);
  EXPECT_EQ(WithoutDate(ReadFileBytes(fromFile)), expected);
  EXPECT_EQ(g_progress, (std::vector<int>{0, 33, 66, 100}));
  EXPECT_TRUE(SlotsFree());

  // Both sources: the list is written empty.
  d.data = bytes;
  ASSERT_EQ(WaveLib_WriteDataList(&d, fromFile.c_str(), Temp("both.tmp", "DLB" + Bytes({1, 2, 3}))), 1);
  EXPECT_NE(ReadFileBytes(fromFile).find("{DATA LIST-4: #}"), std::string::npos);
}

TEST_F(OtherWriters, DataListRefusals) {
  const std::string path = dir_.File("keep.dl");
  cz::test::WriteFileBytes(path, "previous");
  DataListDescriptor d;
  d.byteCount = 2;
  struct Case {
    const char* temp;
    const char* message;
  } cases[] = {
      {"DLX\x01\x02", "*** Error: Temporary data list file has wrong format."},
      {"DL", "*** Error reading from temporary data list file."},
      {"DLB\x01", "*** Error reading data list entry from temporary file."},
  };
  for (const Case& c : cases) {
    g_lines.clear();
    EXPECT_EQ(WaveLib_WriteDataList(&d, path.c_str(), Temp("t.tmp", c.temp)), 0) << c.temp;
    EXPECT_TRUE(Logged(c.message)) << c.temp;
    EXPECT_EQ(ReadFileBytes(path), "previous");
    EXPECT_FALSE(FileExists(path + ".part"));
    EXPECT_TRUE(SlotsFree());
  }
  d.byteCount = 0;
  EXPECT_EQ(WaveLib_WriteDataList(&d, path.c_str(), nullptr), 0);
  EXPECT_TRUE(Logged("*** Error: Number of points cannot be zero."));
  d.byteCount = 2;
  EXPECT_EQ(WaveLib_WriteDataList(&d, "", nullptr), 0);
  EXPECT_TRUE(Logged("*** Error: Destination file name cannot be empty."));
  EXPECT_EQ(WaveLib_WriteDataList(&d, dir_.File("no/such/folder.dl").c_str(), nullptr), 0);
  EXPECT_TRUE(Logged("*** Error opening output file."));
}

TEST_F(OtherWriters, ControlListWithoutSourceHoldsOnlyTheBurst) {
  ControlListDescriptor d;
  d.length = 5;
  WaveLib_SetProgressHook(CaptureProgress);
  const std::string path = dir_.File("c.cl");
  ASSERT_EQ(WaveLib_WriteControlList(&d, path.c_str(), nullptr), 1);
  EXPECT_EQ(WithoutDate(ReadFileBytes(path)),
            "{TYPE: Kaldra-CL,0}{COMMENT: }{COPYRIGHT: }{DATE}{CONTROL LENGTH: 5}"
            "{MARKER LIST 1: }{MARKER LIST 2: }{MARKER LIST 3: }{MARKER LIST 4: }"
            "{BURST LIST: 0:1;5:0}{LEVATT LIST 1: }{CW MODE LIST: }{HOP LIST: }");
  // 100 after the last list and once more when the file is closed.
  EXPECT_EQ(g_progress, (std::vector<int>{0, 12, 25, 37, 50, 62, 75, 87, 100, 100}));
}

TEST_F(OtherWriters, ControlListFromMemoryEqualsTheMarkerFile) {
  // Bit k of each byte feeds list k.
  const std::string control = Bytes({0x01, 0x03, 0x82, 0x10, 0x50, 0x20});
  ControlListDescriptor d;
  d.length = static_cast<uint32_t>(control.size());
  d.comment = "c";
  d.copyright = "r";
  d.control = reinterpret_cast<const unsigned char*>(control.data());
  const std::string a = dir_.File("a.cl"), b = dir_.File("b.cl");
  ASSERT_EQ(WaveLib_WriteControlList(&d, a.c_str(), nullptr), 1);
  d.control = nullptr;
  ASSERT_EQ(WaveLib_WriteControlList(&d, b.c_str(), Temp("m.tmp", control)), 1);
  const std::string text = WithoutDate(ReadFileBytes(a));
  EXPECT_EQ(text, WithoutDate(ReadFileBytes(b)));
  EXPECT_NE(text.find("{COMMENT: c}{COPYRIGHT: r}"), std::string::npos);
  EXPECT_NE(text.find("{MARKER LIST 1: 0:1;2:0}"), std::string::npos) << text;
  EXPECT_NE(text.find("{MARKER LIST 2: 0:0;1:1;3:0}"), std::string::npos) << text;
  EXPECT_NE(text.find("{BURST LIST: 0:0;3:1;5:0}"), std::string::npos) << text;
  EXPECT_NE(text.find("{CW MODE LIST: 0:0;4:1;5:0}"), std::string::npos) << text;
  EXPECT_NE(text.find("{HOP LIST: 0:0;2:1;3:0}"), std::string::npos) << text;

  // A marker file shorter than the length fails with the Part's text.
  g_lines.clear();
  d.length = 10;
  EXPECT_EQ(WaveLib_WriteControlList(&d, b.c_str(), Temp("short.tmp", control)), 0);
  EXPECT_TRUE(Logged("*** Error reading marker entry from temporary file."));
  EXPECT_TRUE(SlotsFree());
}

TEST_F(OtherWriters, SecondFamilyWaveform) {
  const std::vector<float> i = {0.5f, -0.25f}, q = {0.0f, 1.0f};
  WaveDescriptor d;
  d.arbClock = d.markerClock = 1e6;
  d.samples = 2;
  d.statisticsValid = 1;
  const std::string path = dir_.File("b.wv");
  ASSERT_EQ(WaveLib_WriteWaveformB(&d, path.c_str(), Temp("iq.tmp", IqFile(i, q)), Temp("m.tmp", Bytes({1, 0}))), 1);
  const std::string text = ReadFileBytes(path);
  EXPECT_EQ(text.rfind("{TYPE: Lumbra-WV,0}", 0), 0u);
  EXPECT_NE(text.find("{CONTROL LENGTH: 2}"), std::string::npos);
  // The block is the first family's.
  const std::string kaldra = dir_.File("a.wv");
  ASSERT_EQ(WaveLib_WriteWaveform(&d, kaldra.c_str(), Temp("iq2.tmp", IqFile(i, q)), nullptr), 1);
  const std::string a = ReadFileBytes(kaldra);
  EXPECT_EQ(text.substr(text.find("{WAVEFORM-")), a.substr(a.find("{WAVEFORM-")));

  // Statistics from in-memory samples, with this family's log line.
  d.statisticsValid = 0;
  d.iData = i.data();
  d.qData = q.data();
  ASSERT_EQ(WaveLib_WriteWaveformB(&d, path.c_str(), nullptr, nullptr), 1);
  EXPECT_TRUE(Logged("Calculating Peak and RMS data from waveform..."));

  d.samples = 0;
  EXPECT_EQ(WaveLib_WriteWaveformB(&d, path.c_str(), nullptr, nullptr), 0);
  EXPECT_TRUE(Logged("Error: Number of points cannot be zero."));
  EXPECT_FALSE(Logged("*** Error: Number of points"));
}

TEST_F(OtherWriters, LegacyOffsetBinarySamples) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const std::vector<float> i = {0.0f, 1.0f, -1.0f, -3.0f}, q = {2.0f, nan, 0.5f, -0.5f};
  WaveDescriptor d;
  d.arbClock = 1234.5;
  d.samples = 4;
  d.iData = i.data();
  d.qData = q.data();
  const std::string path = dir_.File("old.wv");
  ASSERT_EQ(WaveLib_WriteLegacyWaveform(&d, path.c_str()), 1);
  // 0.5 -> trunc(16000 + 32768.5) = 48768 = 0xBE80; -0.5 -> 16768 = 0x4180.
  const std::string block = Bytes({0x00, 0x80, 0x00, 0xFD, 0x00, 0xFD, 0x00, 0xFD, 0x00, 0x03, 0x80, 0xBE,
                                   0x00, 0x03, 0x80, 0x41});
  EXPECT_EQ(WithoutDate(ReadFileBytes(path)),
            "{TYPE:WV,0}{COMMENT:}{COPYRIGHT:}{DATE}{CLOCK:1234.500}{SAMPLES:4}{WAVEFORM-17: #" + block + "}");
  EXPECT_TRUE(Logged("Clock rate is 1234.500 Hz"));
  EXPECT_TRUE(Logged("File generated."));
  EXPECT_EQ(WaveLib_SampleToLegacy(0.0f), 0x8000);
  EXPECT_EQ(WaveLib_SampleToLegacy(1.0f), 0xFD00);
  EXPECT_EQ(WaveLib_SampleToLegacy(-1.0f), 0x0300);

  EXPECT_EQ(WaveLib_WriteLegacyWaveform(&d, ""), 0);
  EXPECT_TRUE(Logged("File name cannot be empty."));
}

TEST_F(OtherWriters, FloatFileHeaderAndPlanarValues) {
  const std::vector<float> i = {0.25f, -1.0f, 3.5f}, q = {1.0f, 0.0f, -0.125f};
  const std::string path = dir_.File("s.flt");
  ASSERT_EQ(WaveLib_WriteFloatFile(path.c_str(), i.data(), q.data(), 3, 250000, 0xA5u), 1);
  const std::string bytes = ReadFileBytes(path);
  ASSERT_EQ(bytes.size(), 40u + 24u);
  uint32_t header = 0, flags = 0;
  int32_t count = 0;
  double zero = -1.0, rate = 0.0;
  std::memcpy(&header, bytes.data(), 4);
  std::memcpy(&count, bytes.data() + 4, 4);
  std::memcpy(&zero, bytes.data() + 12, 8);
  std::memcpy(&flags, bytes.data() + 20, 4);
  std::memcpy(&rate, bytes.data() + 28, 8);
  EXPECT_EQ(header, 40u);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(std::memcmp(bytes.data() + 8, kFloatFileSignature, 4), 0);
  EXPECT_EQ(zero, 0.0);
  EXPECT_EQ(flags, 0xA5u);
  EXPECT_EQ(rate, 250000.0);
  float values[6];
  std::memcpy(values, bytes.data() + 40, 24);
  EXPECT_EQ(std::vector<float>(values, values + 3), i);
  EXPECT_EQ(std::vector<float>(values + 3, values + 6), q);
  EXPECT_EQ(WaveLib_WriteFloatFile(dir_.File("no/dir/s.flt").c_str(), i.data(), q.data(), 3, 1, 0), 0);
}

}  // namespace
