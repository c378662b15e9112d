// Waveform tag reader: a file of the writer read back, the type table order,
// samples derived from the block tag, cut tags, 64-bit sizes and missing files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <ctime>
#include <string>
#include <vector>

#include "app/Log.h"
#include "tests/support/TempDir.h"
#include "wavelib/WaveLib.h"

namespace {

std::vector<std::string> g_lines;
void CaptureLine(const char* text) { g_lines.emplace_back(text); }

class TagReader : public ::testing::Test {
 protected:
  void SetUp() override {
    g_lines.clear();
    Log_SetLogSink(CaptureLine);
    char error[kWaveLibErrorTextBytes];
    ASSERT_EQ(WaveLib_Init(error, 2.2), 1);
  }
  void TearDown() override { Log_SetLogSink(nullptr); }

  // Writes `bytes` to a file and reads its tags.
  WaveFileInfo Read(const std::string& bytes, const char* name = "h.wv") {
    const std::string path = dir_.File(name);
    cz::test::WriteFileBytes(path, bytes);
    WaveFileInfo info;
    EXPECT_EQ(WaveLib_GetFileInfo(path.c_str(), &info), 1);
    return info;
  }

  cz::test::TempDir dir_;
};

TEST_F(TagReader, ReadsBackWhatTheWriterWrote) {
  const int32_t n = 1000;
  std::vector<float> i(n, 0.25f), q(n, -0.25f);
  std::vector<unsigned char> m(n, 0);
  m[500] = 1;
  WaveDescriptor d;
  d.arbClock = 250e6;
  d.markerClock = 250e6;
  d.samples = n;
  d.rmsOffset = 6.5;
  d.peakOffset = 1.25;
  d.statisticsValid = 1;
  d.comment = "first pulse train";
  d.copyright = "(c) test bench";
  d.iData = i.data();
  d.qData = q.data();
  d.markers = m.data();
  const std::string path = dir_.File("back.wv");
  ASSERT_EQ(WaveLib_WriteWaveform(&d, path.c_str(), nullptr, nullptr), 1);

  WaveFileInfo info;
  ASSERT_EQ(WaveLib_GetFileInfo(path.c_str(), &info), 1);
  EXPECT_STREQ(info.typeText, "Kaldra waveform file");
  EXPECT_STREQ(info.fileName, "back.wv");
  EXPECT_EQ(info.fileSize, static_cast<int64_t>(cz::test::ReadFileBytes(path).size()));
  EXPECT_EQ(info.samples, n);
  EXPECT_EQ(info.blockLength, 4 * n + 1);
  EXPECT_EQ(info.blockKind, 0);
  EXPECT_DOUBLE_EQ(info.clock, 250e6);
  EXPECT_DOUBLE_EQ(info.playTime, 4e-6);
  EXPECT_DOUBLE_EQ(info.rmsOffset, 6.5);
  EXPECT_DOUBLE_EQ(info.peakOffset, 1.25);
  EXPECT_STREQ(info.comment, "first pulse train");
  EXPECT_STREQ(info.copyright, "(c) test bench");
  const std::string file = cz::test::ReadFileBytes(path);
  const std::size_t at = file.find("{DATE:");
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(std::string(info.date), file.substr(at + 6, 19));
  // Created just now: the file date is today's local date.
  std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  char today[64];
  std::snprintf(today, sizeof today, "%04d-%02d-%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
  EXPECT_STREQ(info.fileDate, today);
}

TEST_F(TagReader, TypeTableOrder) {
  const struct {
    const char* type;
    const char* text;
  } rows[] = {
      {"{TYPE: Kaldra-WV,0}", "Kaldra waveform file"},
      {"{TYPE: Kaldra-DL,0}", "Kaldra data list"},
      {"{TYPE: Kaldra-CL,0}", "Kaldra control list"},
      {"{TYPE: WV-ADD,0}", "Ettrin, Ravell additional waveform file"},
      {"{TYPE: Fendal-WV,0}", "Fendal waveform file"},
      {"{TYPE:WV,0}", "Ettrin, Ravell waveform file"},
      {"{TYPE: SMU-XY}", "unknown file format"},
  };
  for (const auto& row : rows) EXPECT_STREQ(Read(row.type).typeText, row.text) << row.type;
  // No tags at all: every field keeps its start value.
  const WaveFileInfo none = Read("plain text without tags");
  EXPECT_STREQ(none.typeText, "");
  EXPECT_EQ(none.samples, -1);
  EXPECT_EQ(none.blockLength, -1);
  EXPECT_EQ(none.clock, -1.0);
  EXPECT_EQ(none.playTime, -1.0);  // neither samples nor clock known
  // A block length past 32 bits is a file past 4 GB; one beyond 64 bits is
  // no length, never one wrapped into the range.
  const std::pair<const char*, int64_t> lengths[] = {{"{WAVEFORM-4294967301:#", 4294967301},
                                                     {"{IWAVEFORM-18446744073709551621:#", -1},
                                                     {"{UWAVEFORM-4294967313:#", 4294967313}};
  for (const auto& [tag, length] : lengths) {
    const WaveFileInfo wide = Read(std::string("{TYPE:WV,0}") + tag + std::string(16, '\0') + "}");
    EXPECT_EQ(wide.blockLength, length) << tag;
  }
}

TEST_F(TagReader, SamplesFromTheBlockTag) {
  const std::string data(400, '\x7D');  // '}' bytes in the data do not matter
  WaveFileInfo a = Read("{TYPE: Kaldra-WV,0}{CLOCK:1000}{WAVEFORM-401:#" + data + "}");
  EXPECT_EQ(a.samples, 100);
  EXPECT_EQ(a.blockLength, 401);
  EXPECT_DOUBLE_EQ(a.playTime, 0.1);
  WaveFileInfo b = Read("{TYPE: Kaldra-WV,0}{WAVEFORM-401: #" + data + "}");
  EXPECT_EQ(b.samples, 99);
  // Without a CLOCK tag: clock -1 and no play time.
  EXPECT_EQ(b.clock, -1.0);
  EXPECT_DOUBLE_EQ(b.playTime, -1.0);
  WaveFileInfo c = Read("{TYPE:WV,0}{IWAVEFORM-405:#" + std::string(404, '\0') + "}");
  EXPECT_EQ(c.blockKind, 1);
  EXPECT_EQ(c.blockLength, 405);
  EXPECT_EQ(c.samples, 100);
  WaveFileInfo u = Read("{TYPE:WV,0}{SAMPLES:7}{UWAVEFORM-417:#" + std::string(416, '\0') + "}{COMMENT:late}");
  EXPECT_EQ(u.blockKind, 1);
  EXPECT_EQ(u.samples, 7);  // the SAMPLES tag wins
  EXPECT_STREQ(u.comment, "");  // nothing behind the block is read
}

TEST_F(TagReader, LongTagsEmptyTagsAndOffsets) {
  const std::string longComment(2000, 'a');
  WaveFileInfo a = Read("{COMMENT:" + longComment + "}{CLOCK:5}{LEVEL OFFS:3.25, -1.5}{CLOCK MARKER:9}");
  EXPECT_EQ(std::string(a.comment), std::string(1023, 'a'));
  EXPECT_EQ(a.clock, 5.0);
  EXPECT_EQ(a.rmsOffset, 3.25);
  EXPECT_EQ(a.peakOffset, -1.5);
  WaveFileInfo b = Read("{CLOCK:7}{}{COMMENT:after}");
  EXPECT_EQ(b.clock, 7.0);
  EXPECT_STREQ(b.comment, "");
}

// A text tag's value runs to the "}" that pairs with its "{"; an older
// file's unpaired "{" ends its tag at the first "}" again once the value
// meets data or grows past any text, and the tags after it are read.
TEST_F(TagReader, TextTagsEndAtTheirPairingBrace) {
  const std::string block = "{WAVEFORM-13: #" + std::string("\x00\x7D\x7B\x00\x01\x02\x7D\x7D\x00\x00\x00\x00", 12) + "}";
  const std::string paired(1000, 'p');
  const struct {
    std::string header;
    std::string comment;
    const char* copyright;
  } rows[] = {
      {"{COMMENT:{REPORT PLUGIN: T1} radar burst}{COPYRIGHT:ACME {lab}}", "{REPORT PLUGIN: T1} radar burst",
       "ACME {lab}"},
      {"{COMMENT:a{b}{COPYRIGHT:c}", "a{b", "c"},
      {"{COMMENT:{" + paired + "}}{COPYRIGHT:{{}}}", "{" + paired + "}", "{{}}"},
      {"{COMMENT:x{" + std::string(5000, 'q') + "}{COPYRIGHT:c}", "x{" + std::string(1021, 'q'), "c"},
      {"{COMMENT:x{y}", "x{y", ""},  // open until the block's data
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.header.substr(0, 40));
    const WaveFileInfo info = Read("{TYPE: Kaldra-WV,0}" + row.header + "{CLOCK:5}{SAMPLES:3}" + block);
    EXPECT_EQ(std::string(info.comment), row.comment);
    EXPECT_STREQ(info.copyright, row.copyright);
    EXPECT_EQ(info.clock, 5.0);
    EXPECT_EQ(info.samples, 3);
  }
}

TEST_F(TagReader, SizesBeyondFourGibibytes) {
  const std::string path = dir_.File("big.wv");
  cz::test::WriteFileBytes(path, "{TYPE: Kaldra-WV,0}{SAMPLES:10}{WAVEFORM-41: #");
  const int64_t size = (int64_t{5} << 30) + 17;
  ASSERT_EQ(truncate(path.c_str(), size), 0);  // sparse
  WaveFileInfo info;
  ASSERT_EQ(WaveLib_GetFileInfo(path.c_str(), &info), 1);
  EXPECT_EQ(info.fileSize, size);
  EXPECT_EQ(info.samples, 10);
}

TEST_F(TagReader, MissingFileOrFolderFails) {
  WaveFileInfo info;
  EXPECT_EQ(WaveLib_GetFileInfo(dir_.File("none.wv").c_str(), &info), 0);
  EXPECT_EQ(info.samples, -1);
  ASSERT_EQ(g_lines.size(), 1u);
  EXPECT_NE(g_lines[0].find("*** File I/O error."), std::string::npos);
  EXPECT_EQ(WaveLib_GetFileInfo(dir_.path().c_str(), &info), 0);
}

}  // namespace
