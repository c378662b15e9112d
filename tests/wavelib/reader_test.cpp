// Full waveform reader: files of our own writers read back into the
// temporary files (samples within the int16 step, markers exact), the
// decoding of each family, and the refusals of damaged headers and blocks.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "tests/wavelib/WaveLibTestSupport.h"

namespace {

using namespace wavelib_test;

class Reader : public WaveLibTest {
 protected:
  int Read(const std::string& path) {
    iq_ = iq_ ? iq_ : Temp("iq.tmp");
    marker_ = marker_ ? marker_ : Temp("m.tmp");
    d_ = WaveDescriptor{};
    const int ok = WaveLib_ReadWaveform(path.c_str(), &d_, &texts_, iq_, marker_);
    values_ = IqValues(Content(iq_));
    markers_ = Content(marker_);
    return ok;
  }
  int ReadBytes(const std::string& bytes) { return Read(Write("in.wv", bytes)); }
  static std::string Pairs(std::initializer_list<int> raw) {
    std::string s;
    for (int v : raw) {
      const uint16_t u = static_cast<uint16_t>(v);
      s.append(reinterpret_cast<const char*>(&u), 2);
    }
    return s;
  }

  FILE* iq_ = nullptr;
  FILE* marker_ = nullptr;
  WaveDescriptor d_;
  WaveImportTexts texts_;
  std::vector<float> values_;
  std::string markers_;
};

TEST_F(Reader, WaveformOfTheWriterRoundTrips) {
  const int n = 1000;
  std::vector<float> i(n), q(n);
  std::vector<unsigned char> markers(n);
  for (int k = 0; k < n; ++k) {
    i[k] = static_cast<float>(0.9 * std::cos(0.031 * k));
    q[k] = static_cast<float>(0.9 * std::sin(0.031 * k));
    markers[k] = static_cast<unsigned char>((k / 7) & 0x0F);
  }
  i[0] = 1.0f;
  q[0] = -1.0f;
  WaveDescriptor w;
  w.arbClock = 100e6;
  w.markerClock = 100e6;
  w.samples = n;
  w.comment = "round trip";
  w.copyright = "test";
  w.iData = i.data();
  w.qData = q.data();
  w.markers = markers.data();
  const std::string path = dir_.File("rt.wv");
  ASSERT_EQ(WaveLib_WriteWaveform(&w, path.c_str(), nullptr, nullptr), 1);

  WaveLib_SetProgressHook(CaptureProgress);
  ASSERT_EQ(Read(path), 1);
  EXPECT_TRUE(Logged("Reading waveform file '" + path + "'..."));
  EXPECT_TRUE(Logged("Format is Kaldra waveform."));
  EXPECT_TRUE(Logged("Samples : 1000, 16-bit"));
  EXPECT_EQ(d_.samples, n);
  EXPECT_EQ(d_.arbClock, 100e6);
  EXPECT_EQ(d_.markerClock, 100e6);
  EXPECT_STREQ(d_.comment, "round trip");
  EXPECT_STREQ(d_.copyright, "test");
  // The offsets of the LEVEL OFFS tag, as the writer computed them.
  EXPECT_EQ(d_.statisticsValid, 1);
  EXPECT_NEAR(d_.rmsOffset, w.rmsOffset, 1e-5);
  EXPECT_NEAR(d_.peakOffset, w.peakOffset, 1e-5);
  // Samples within one step of the int16 quantisation, no level change.
  ASSERT_EQ(values_.size(), 2u * n);
  double worst = 0.0;
  for (int k = 0; k < n; ++k) {
    worst = std::fmax(worst, std::fabs(values_[2 * k] - i[k]));
    worst = std::fmax(worst, std::fabs(values_[2 * k + 1] - q[k]));
  }
  EXPECT_LE(worst, 1.0 / 32767 + 1e-7);
  EXPECT_EQ(markers_, std::string(markers.begin(), markers.end()));
  EXPECT_EQ(g_progress.front(), 0);
  EXPECT_EQ(g_progress.back(), 99);
  EXPECT_TRUE(SlotsFree());
}

TEST_F(Reader, MarkersFromATemporaryMarkerFileAndTheSecondFamily) {
  const std::vector<float> i = {0.1f, 0.2f, 0.3f, 0.4f}, q = {0.0f, -0.1f, -0.2f, -0.3f};
  const std::string m = Bytes({0x0F, 0x00, 0x05, 0x05});
  WaveDescriptor w;
  w.arbClock = w.markerClock = 1e6;
  w.samples = 4;
  w.statisticsValid = 1;
  const std::string path = dir_.File("b.wv");
  ASSERT_EQ(WaveLib_WriteWaveformB(&w, path.c_str(), Temp("i.tmp", IqFile(i, q)), Temp("mk.tmp", m)), 1);
  ASSERT_EQ(Read(path), 1);
  EXPECT_EQ(markers_, m);
  for (int k = 0; k < 4; ++k) EXPECT_NEAR(values_[2 * k], i[k], 1.0 / 32767 + 1e-7);
}

TEST_F(Reader, UntypedWriterIsReadAsTheOlderLayout) {
  const std::vector<float> i = {0.0f, 1.0f, -1.0f, 0.5f}, q = {0.25f, -0.75f, 0.0f, -0.5f};
  WaveDescriptor w;
  w.arbClock = 2e6;
  w.samples = 4;
  w.iData = i.data();
  w.qData = q.data();
  const std::string path = dir_.File("old.wv");
  ASSERT_EQ(WaveLib_WriteLegacyWaveform(&w, path.c_str()), 1);
  ASSERT_EQ(Read(path), 1);
  EXPECT_TRUE(Logged("Format is Ettrin waveform."));
  EXPECT_TRUE(Logged("Samples : 4, 14-bit"));
  for (int k = 0; k < 4; ++k) {
    EXPECT_NEAR(values_[2 * k], i[k], 4.0 / 32000) << k;
    EXPECT_NEAR(values_[2 * k + 1], q[k], 4.0 / 32000) << k;
  }
  EXPECT_EQ(markers_, std::string(4, '\0'));
}

TEST_F(Reader, EachFamilyDecodesItsBlock) {
  // Older layout: marker bits in the two low bits of I and Q.
  ASSERT_EQ(ReadBytes("{TYPE:WV,0}{CLOCK:1000}{WAVEFORM-9: #" + Pairs({0x8001, 0x8002, 0xFD03, 0x0300}) + "}"), 1);
  EXPECT_EQ(values_, (std::vector<float>{0.0f, 0.0f, 1.0f, -1.0f}));
  EXPECT_EQ(markers_, Bytes({0x09, 0x03}));
  // 16-bit offset binary.
  ASSERT_EQ(ReadBytes("{TYPE:WV,0}{RESOLUTION:16}{WAVEFORM-5: #" + Pairs({0xFFFF, 0x0001}) + "}"), 1);
  EXPECT_TRUE(Logged("Samples : 1, 16-bit"));
  EXPECT_EQ(values_, (std::vector<float>{1.0f, -1.0f}));
  // Signed without the half-step offset.
  ASSERT_EQ(ReadBytes("{TYPE: Fendal-WV,0}{WAVEFORM-5: #" + Pairs({32767, -16384}) + "}"), 1);
  EXPECT_TRUE(Logged("Format is Fendal waveform."));
  EXPECT_EQ(values_, (std::vector<float>{1.0f, static_cast<float>(-16384 / 32767.0)}));
  // An IWAVEFORM block has four bytes ahead of its samples.
  ASSERT_EQ(ReadBytes("{TYPE: Kaldra-WV,0}{IWAVEFORM-9: #abcd" + Pairs({100, -100}) + "}"), 1);
  EXPECT_EQ(values_, (std::vector<float>{static_cast<float>(99.5 / 32767), static_cast<float>(-100.5 / 32767)}));
}

// A temporary marker file that takes no bytes: emptying it succeeds, every
// write fails (a memory file sealed against growth).
FILE* UnwritableTemporaryFile() {
  const int fd = memfd_create("markers", MFD_ALLOW_SEALING);
  if (fd < 0) return nullptr;
  if (fcntl(fd, F_ADD_SEALS, F_SEAL_GROW) != 0) {
    close(fd);
    return nullptr;
  }
  return fdopen(fd, "w+b");
}

TEST_F(Reader, MarkerStreamIsFilledRestartedAndItsWriteFailuresLocated) {
  const std::string block = "{WAVEFORM-25: #" + Pairs({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}) + "}";
  const std::string head = "{TYPE: Kaldra-WV,0}{MARKER LIST 1: 0:1;1:0}{MARKER LIST 2: 0:0;2:1;4:0}";
  // The stream is filled up to every change of state and to its end; a
  // second list for marker 1 starts again at 0 and replaces the first.
  ASSERT_EQ(ReadBytes(head + "{MARKER LIST 1: 0:0;3:1}" + block), 1);
  EXPECT_EQ(markers_, Bytes({0x00, 0x00, 0x02, 0x03, 0x01, 0x01}));
  EXPECT_TRUE(Logged("Restarting marker data stream ..."));
  std::vector<std::string> fills;
  for (const std::string& l : g_lines)
    if (l.find("Filling marker stream") != std::string::npos) fills.push_back(l.substr(l.find("Filling")));
  EXPECT_EQ(fills, (std::vector<std::string>{"Filling marker stream up to position 2",
                                             "Filling marker stream up to position 3",
                                             "Filling marker stream up to position 4",
                                             "Filling marker stream up to position 6"}));
  // Without lists there is nothing to fill.
  g_lines.clear();
  ASSERT_EQ(ReadBytes("{TYPE: Kaldra-WV,0}" + block), 1);
  EXPECT_FALSE(Logged("Filling marker stream"));
  EXPECT_FALSE(Logged("Restarting marker data stream"));

  // A write that fails while the samples go on names the position of the
  // marker byte; one that fails in the final flush names the first byte not
  // written.
  for (int32_t bufferBytes : {16, kBufferSlotBytes}) {
    SCOPED_TRACE(bufferBytes);
    FILE* unwritable = UnwritableTemporaryFile();
    ASSERT_NE(unwritable, nullptr);
    ASSERT_EQ(SetBufferSlotBytes(bufferBytes), 1);
    const std::string long40 = "{TYPE: Kaldra-WV,0}{MARKER LIST 3: 0:1}{WAVEFORM-161: #" + std::string(160, '\x01') + "}";
    g_lines.clear();
    EXPECT_EQ(WaveLib_ReadWaveform(Write("long.wv", long40).c_str(), &d_, nullptr, Temp("iq40.tmp"), unwritable), 0);
    EXPECT_TRUE(Logged(bufferBytes == 16 ? "*** Error: Cannot write to marker file at position 16!"
                                         : "*** Error: Failed to write to marker stream at position 0!"));
    EXPECT_TRUE(SlotsFree());
    std::fclose(unwritable);
  }
}

TEST_F(Reader, DamagedFilesAreRefusedWithTheirMessages) {
  const std::string head = "{TYPE: Kaldra-WV,0}";
  const std::string block = "{WAVEFORM-9: #" + Pairs({1, 2, 3, 4}) + "}";
  struct Case {
    std::string bytes;
    const char* message;
  } cases[] = {
      {"TYPE: Kaldra-WV,0}" + block, "*** Error: No tag mark found! Probably incorrect format."},
      {"{TYPE: Other-XY,0}" + block, "*** Error: Invalid TYPE tag."},
      {"{TYPE: Kaldra-DL,0}" + block, "*** Error: Unsupported waveform file type!"},
      {head + "{" + std::string(200, 'N') + ":1}" + block, "*** Error: Tag name ("},
      {head + "{CLOCK:0.5}" + block, "*** Error: Invalid clock rate! Range is 0.001-600MHz"},
      {head + "{CLOCK:600000001}" + block, "*** Error: Invalid clock rate! Range is 0.001-600MHz"},
      {head + "{CLOCK:nan}" + block, "*** Error: Invalid clock rate! Range is 0.001-600MHz"},
      {head + "{SAMPLES:0}" + block, "*** Error: Invalid number of samples! Use number > 0."},
      {head + "{LEVEL OFFS:abc}" + block, "*** Error: LEVEL OFFS tag is invalid ('abc')"},
      {head + "{LEVEL OFFS:nan, 0}" + block, "*** Error: LEVEL OFFS tag is invalid ('nan, 0')"},
      {head + "{MARKER LIST 1: 0;1;0}" + block, "*** Error: Unsupported MARKER LIST format. Use transition format."},
      {head + "{MARKER LIST 5: 0:1}" + block, "*** Error: Invalid MARKER LIST tag."},
      {head + "{MARKER LIST 1: 0:x}" + block, "*** Error: Invalid MARKER LIST tag data."},
      {head + "{MARKER LIST 1: 1:1;0:0}" + block, "*** Error: Invalid marker position"},
      {head + "{CONTROL LENGTH:2}{MARKER LIST 1: 0:1;5:0}" + block, "*** Error: Invalid marker position"},
      {head + "{WAVEFORM-x: #}", "*** Error: Invalid WAVEFORM tag format (samples count)."},
      {head + "{WAVEFORM-8: #" + Pairs({1, 2}) + "}", "*** Error: Invalid number of samples in WAVEFORM tag."},
      {head + "{WAVEFORM-17: #" + Pairs({1, 2, 3, 4}) + "}", "*** Error: Cannot read enough data from xWAVEFORM tag!"},
      {"{COMMENT:no type}" + block, "*** Error: Invalid waveform format!"},
      {head + "{COMMENT:cut", "*** Error: Invalid tag data"},
      {head, "*** Error: Cannot read WAVEFORM tag"},
  };
  for (const Case& c : cases) {
    g_lines.clear();
    EXPECT_EQ(ReadBytes(c.bytes), 0) << c.bytes.substr(0, 60);
    EXPECT_TRUE(Logged(c.message)) << c.message;
    EXPECT_EQ(Content(iq_).substr(0, 3), "IQF") << c.message;
    EXPECT_TRUE(SlotsFree()) << c.message;
  }
  // A file cut short, as a power cut while it was written leaves it, is
  // named as such after the reader's own message.
  for (const std::string& cut : {std::string(), head + "{WAVEFORM-17: #" + Pairs({1, 2, 3, 4})}) {
    g_lines.clear();
    EXPECT_EQ(ReadBytes(cut), 0);
    EXPECT_TRUE(Logged("*** Waveform file '" + dir_.File("in.wv") + "' is cut short (")) << cut.size();
  }
  // A header announcing another sample count is read with a warning.
  g_lines.clear();
  EXPECT_EQ(ReadBytes(head + "{SAMPLES:5}" + block), 1);
  EXPECT_TRUE(Logged("*** Warning: Suspicious number of samples (WAVEFORM tag:2, SAMPLES tag:5)"));
  // Text tags end at the brace that pairs with their own.
  EXPECT_EQ(ReadBytes(head + "{COMMENT:{REPORT PLUGIN: T1} radar burst}{COPYRIGHT:ACME {lab}}{SAMPLES:2}" + block), 1);
  EXPECT_STREQ(texts_.comment, "{REPORT PLUGIN: T1} radar burst");
  EXPECT_STREQ(texts_.copyright, "ACME {lab}");

  g_lines.clear();
  EXPECT_EQ(Read(dir_.File("none.wv")), 0);
  EXPECT_TRUE(Logged("*** Error: Cannot open input file."));
  EXPECT_EQ(WaveLib_ReadWaveform("x", nullptr, nullptr, iq_, marker_), 0);
  EXPECT_TRUE(Logged("*** No wave data structure provided."));
  const std::string good = Write("good.wv", head + block);
  EXPECT_EQ(WaveLib_ReadWaveform(good.c_str(), &d_, nullptr, nullptr, marker_), 0);
  EXPECT_TRUE(Logged("*** Temporary file for waveform not open."));
  EXPECT_EQ(WaveLib_ReadWaveform(good.c_str(), &d_, nullptr, iq_, nullptr), 0);
  EXPECT_TRUE(Logged("*** Temporary file for marker data not open."));
}

}  // namespace
