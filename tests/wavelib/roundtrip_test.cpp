// Every writer of the library read back by the full reader and by the tag
// reader: a descriptor with its defaults and edge descriptors (one sample,
// clamped and NaN samples, the ends of the clock range, no marker clock, a
// comment holding "}", texts longer than a tag buffer, temporary-file
// sources). Files that are no waveform are refused by the full reader with
// its message and still described by the tag reader.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <regex>
#include <string>
#include <vector>

#include "platform/TagText.h"
#include "tests/wavelib/WaveLibTestSupport.h"

namespace {

using namespace wavelib_test;

using WaveWriter = int (*)(WaveDescriptor*, const char*, FILE*, FILE*);

int WriteLegacy(WaveDescriptor* d, const char* path, FILE*, FILE*) { return WaveLib_WriteLegacyWaveform(d, path); }

struct Family {
  const char* name;
  WaveWriter write;
  const char* typeText;  // the tag reader's display text
  double step;           // largest read-back error of an in-range sample
};
const Family kKaldra{"Kaldra", WaveLib_WriteWaveform, "Kaldra waveform file", 1.0 / 32767 + 1e-7};
const Family kLumbra{"Lumbra", WaveLib_WriteWaveformB, "Ettrin, Ravell waveform file", 1.0 / 32767 + 1e-7};
const Family kLegacy{"untyped", WriteLegacy, "Ettrin, Ravell waveform file", 4.0 / 32000 + 1e-7};

// What a sample becomes at the writers' clamps: below -1 is -1, above 1 and
// NaN are 1.
float Clamped(float x) {
  if (x < -1.0f) return -1.0f;
  return x <= 1.0f ? x : 1.0f;
}

// A source of n samples (with a NaN and values beyond full scale when
// `clamps`) and markers toggling on all four bits.
struct Signal {
  std::vector<float> i, q;
  std::vector<unsigned char> markers;
  Signal(int n, bool clamps) : i(n), q(n), markers(n) {
    for (int k = 0; k < n; ++k) {
      i[k] = static_cast<float>(0.8 * std::cos(0.05 * k));
      q[k] = static_cast<float>(-0.8 * std::sin(0.05 * k));
      markers[k] = static_cast<unsigned char>((k / 3 + k / 5) & 0x0F);
    }
    i[0] = 1.0f;
    q[0] = -1.0f;
    if (clamps && n >= 4) {
      i[1] = 1.5f;
      q[1] = -2.0f;
      i[2] = std::numeric_limits<float>::quiet_NaN();
      q[3] = std::numeric_limits<float>::infinity();
    }
  }
};

class RoundTrip : public WaveLibTest {
 protected:
  // Writes d with the family's writer, then reads the file back with both
  // readers and checks both against d and the source.
  void Check(const Family& f, WaveDescriptor d, const Signal& s, bool markersWritten, FILE* iqFile = nullptr,
             FILE* markerFile = nullptr) {
    SCOPED_TRACE(f.name);
    const std::string path = dir_.File("rt.wv");
    ASSERT_EQ(f.write(&d, path.c_str(), iqFile, markerFile), 1) << LastLine();

    // Full reader.
    FILE* iq = ReadIq();
    FILE* mk = ReadMarkers();
    WaveDescriptor r;
    WaveImportTexts texts;
    g_lines.clear();
    ASSERT_EQ(WaveLib_ReadWaveform(path.c_str(), &r, &texts, iq, mk), 1) << LastLine();
    EXPECT_EQ(r.samples, d.samples);
    EXPECT_NEAR(r.arbClock, d.arbClock, 5e-4);
    const bool legacy = f.write == WriteLegacy;
    // Without a marker clock (or in a file without the tag) the marker
    // clock follows the sample clock.
    EXPECT_NEAR(r.markerClock, !legacy && d.markerClock > 0.0 ? d.markerClock : d.arbClock, 5e-4);
    EXPECT_EQ(r.statisticsValid, legacy ? 0 : 1);
    if (!legacy) {
      EXPECT_NEAR(r.rmsOffset, d.rmsOffset, 1e-6);
      EXPECT_NEAR(r.peakOffset, d.peakOffset, 1e-6);
    }
    EXPECT_EQ(std::string(texts.comment), ReadBackText(d.comment));
    EXPECT_EQ(std::string(texts.copyright), ReadBackText(d.copyright));
    const std::vector<float> v = IqValues(Content(iq));
    ASSERT_EQ(v.size(), 2u * static_cast<std::size_t>(d.samples));
    for (int k = 0; k < d.samples; ++k) {
      EXPECT_NEAR(v[2 * k], Clamped(s.i[k]), f.step) << k;
      EXPECT_NEAR(v[2 * k + 1], Clamped(s.q[k]), f.step) << k;
    }
    const std::string m = Content(mk);
    EXPECT_EQ(m, markersWritten ? std::string(s.markers.begin(), s.markers.begin() + d.samples)
                                : std::string(static_cast<std::size_t>(d.samples), '\0'));
    EXPECT_TRUE(SlotsFree());

    // Tag reader.
    WaveFileInfo info;
    ASSERT_EQ(WaveLib_GetFileInfo(path.c_str(), &info), 1);
    EXPECT_STREQ(info.typeText, f.typeText);
    EXPECT_EQ(std::string(info.comment), ReadBackText(d.comment));
    EXPECT_EQ(std::string(info.copyright), ReadBackText(d.copyright));
    EXPECT_TRUE(std::regex_match(info.date, std::regex(R"(\d{4}-\d\d-\d\d;\d\d:\d\d:\d\d)"))) << info.date;
    EXPECT_NEAR(info.clock, d.arbClock, 5e-4);
    EXPECT_EQ(info.samples, d.samples);
    EXPECT_EQ(info.blockLength, 4 * d.samples + 1);
    EXPECT_EQ(info.blockKind, 0);
    if (!legacy) {
      EXPECT_NEAR(info.rmsOffset, d.rmsOffset, 1e-6);
      EXPECT_NEAR(info.peakOffset, d.peakOffset, 1e-6);
    }
  }

  // A text as both readers return it: as written (a brace without its
  // partner becomes a parenthesis) and cut at 1,023 characters.
  static std::string ReadBackText(const char* text) {
    return cz::WithPairedBraces(text ? text : "").substr(0, kWaveInfoTextBytes - 1);
  }
  FILE* ReadIq() { return iq_ ? iq_ : (iq_ = Temp("read-iq.tmp")); }
  FILE* ReadMarkers() { return mk_ ? mk_ : (mk_ = Temp("read-mk.tmp")); }
  static std::string LastLine() { return g_lines.empty() ? std::string() : g_lines.back(); }

  FILE* iq_ = nullptr;
  FILE* mk_ = nullptr;
};

// Every field at its default but the samples and the sample clock: no
// marker clock ("{CLOCK MARKER:0.000}"), no texts, offsets computed.
TEST_F(RoundTrip, WaveformWritersWithADefaultDescriptor) {
  for (const Family* f : {&kKaldra, &kLumbra, &kLegacy}) {
    const Signal s(600, false);
    WaveDescriptor d;
    d.samples = 600;
    d.arbClock = 100e6;
    d.iData = s.i.data();
    d.qData = s.q.data();
    Check(*f, d, s, false);
  }
}

TEST_F(RoundTrip, WaveformWritersWithEdgeDescriptors) {
  const std::string longText(1500, 'c');
  for (const Family* f : {&kKaldra, &kLumbra, &kLegacy}) {
    // One sample at full scale, the lowest clock, a comment holding "}".
    const Signal one(1, false);
    WaveDescriptor d;
    d.samples = 1;
    d.arbClock = 1e3;
    d.comment = "a}b";
    d.copyright = "";
    d.iData = one.i.data();
    d.qData = one.q.data();
    d.markers = one.markers.data();
    Check(*f, d, one, true);

    // Clamped and NaN samples, the highest clock, a marker clock beyond any
    // sample clock, given (negative) offsets, texts longer than a tag buffer.
    const Signal clamps(1000, true);
    d = WaveDescriptor{};
    d.samples = 1000;
    d.arbClock = 600e6;
    d.markerClock = 1e12;
    d.statisticsValid = 1;
    d.rmsOffset = -3.5;
    d.peakOffset = 0.25;
    d.comment = longText.c_str();
    d.copyright = "(c) {bench";
    d.iData = clamps.i.data();
    d.qData = clamps.q.data();
    d.markers = clamps.markers.data();
    Check(*f, d, clamps, true);
  }
  // The builder's sources: temporary I/Q and marker files, no marker clock.
  for (const Family* f : {&kKaldra, &kLumbra}) {
    const Signal s(700, true);
    WaveDescriptor d;
    d.samples = 700;
    d.arbClock = 2.5e6;
    d.statisticsValid = 1;
    Check(*f, d, s, true, Temp("src-iq.tmp", IqFile(s.i, s.q)),
          Temp("src-mk.tmp", std::string(s.markers.begin(), s.markers.end())));
  }
}

// Data lists, control lists and raw float files hold no waveform: the full
// reader refuses them with its message, the tag reader describes them.
TEST_F(RoundTrip, FilesWithoutAWaveformAreRefusedByTheFullReader) {
  auto fullReader = [&](const std::string& path, const char* message) {
    g_lines.clear();
    WaveDescriptor r;
    EXPECT_EQ(WaveLib_ReadWaveform(path.c_str(), &r, nullptr, ReadIq(), ReadMarkers()), 0) << path;
    EXPECT_TRUE(Logged(message)) << path;
    EXPECT_TRUE(SlotsFree());
  };
  auto tagReader = [&](const std::string& path) {
    WaveFileInfo info;
    EXPECT_EQ(WaveLib_GetFileInfo(path.c_str(), &info), 1) << path;
    return info;
  };
  const std::string dl = dir_.File("a.dl"), cl = dir_.File("a.cl"), ff = dir_.File("a.flt");
  const unsigned char data[] = {0x7B, 0x7D, 0xFF, 0x00};

  // Data list: a default descriptor (no texts), then one from a temporary file.
  DataListDescriptor l;
  l.byteCount = 4;
  l.bitLength = 31;
  l.data = data;
  ASSERT_EQ(WaveLib_WriteDataList(&l, dl.c_str(), nullptr), 1);
  fullReader(dl, "*** Error: Unsupported waveform file type!");
  WaveFileInfo info = tagReader(dl);
  EXPECT_STREQ(info.typeText, "Kaldra data list");
  EXPECT_STREQ(info.comment, " ");  // "{COMMENT: }", the blank as written
  EXPECT_EQ(info.samples, -1);
  l.data = nullptr;
  l.comment = "symbols";
  ASSERT_EQ(WaveLib_WriteDataList(&l, dl.c_str(), Temp("d.tmp", "DLB" + Bytes({1, 2, 3, 4}))), 1);
  fullReader(dl, "*** Error: Unsupported waveform file type!");
  EXPECT_STREQ(tagReader(dl).comment, " symbols");

  // Control list: without a source (the burst list alone), then every bit set.
  ControlListDescriptor c;
  c.length = 1;
  ASSERT_EQ(WaveLib_WriteControlList(&c, cl.c_str(), nullptr), 1);
  fullReader(cl, "*** Error: Unsupported waveform file type!");
  EXPECT_STREQ(tagReader(cl).typeText, "Kaldra control list");
  const unsigned char all[] = {0xFF, 0x00};
  c.length = 2;
  c.control = all;
  c.copyright = "x";
  ASSERT_EQ(WaveLib_WriteControlList(&c, cl.c_str(), nullptr), 1);
  fullReader(cl, "*** Error: Unsupported waveform file type!");
  EXPECT_STREQ(tagReader(cl).copyright, " x");

  // Raw float file: no tags at all, also with no samples.
  const float fi[] = {0.5f, -0.25f}, fq[] = {0.0f, 1.0f};
  for (int32_t count : {2, 0}) {
    ASSERT_EQ(WaveLib_WriteFloatFile(ff.c_str(), fi, fq, count, 1000000, 0), 1);
    fullReader(ff, "*** Error: No tag mark found! Probably incorrect format.");
    info = tagReader(ff);
    EXPECT_STREQ(info.typeText, "");
    EXPECT_EQ(info.samples, -1);
    EXPECT_EQ(info.fileSize, static_cast<int64_t>(kFloatFileHeaderBytes) + 8 * count);
  }
}

}  // namespace
