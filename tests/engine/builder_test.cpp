// Waveform builder: whole builds of small sequences into waveform files,
// read back through the file's tags and data block and the temporary files.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "Shared/FileIO/FileIOBufferedIO.h"
#include "app/Keywords.h"
#include "app/Log.h"
#include "app/PulseRecord.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "app/TempFiles.h"
#include "engine/EngineHost.h"
#include "engine/Random.h"
#include "engine/Tessera_GenerateWave.h"
#include "tests/support/RecordBuilders.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaveFileCheck.h"
#include "wavelib/WaveLib.h"

namespace {

using cz::test::ParsedWave;
using cz::test::ParseWaveFile;
using cz::test::WaveTag;

std::vector<std::string> g_log;
std::vector<std::string> g_status;
void CaptureLog(const char* text) { g_log.emplace_back(text); }
void CaptureStatus(const char* text) { g_status.emplace_back(text); }

class BuilderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char error[kWaveLibErrorTextBytes];
    ASSERT_EQ(WaveLib_Init(error, 2.2), 1);
    ASSERT_TRUE(g_Settings.TempDir.AssignExact(dir_.path()));
    ResetProject();
    g_Settings.Project.pepLevel = 0;
    SetEngineHost(nullptr);
    SetEngineBuildHost(nullptr);
    g_log.clear();
    g_status.clear();
    Log_SetLogSink(CaptureLog);
    Log_SetStatusSink(CaptureStatus);
    RandomSeedUniform(7);
    RandomSeedRand(7);
  }
  void TearDown() override {
    Log_SetLogSink(nullptr);
    Log_SetStatusSink(nullptr);
    SetEngineHost(nullptr);
    SetEngineBuildHost(nullptr);
    CloseTempFiles();
    ResetProject();
  }

  static PulseRecord& AddPulse(const char* name, double on, double off) { return cz::test::AddPulse(name, on, off); }
  SequenceRecord& AddSequence(double clock) {
    SequenceRecord& s = cz::test::AddSequence(clock);
    s.name = "S";
    EXPECT_TRUE(s.waveFile.AssignExact(WavePath()));
    return s;
  }
  static SequenceEntry& PulseEntry(SequenceRecord& s, int slot, const PulseRecord& p, int reps, int overlay = 0) {
    return cz::test::SetPulseEntry(s, slot, p, reps, overlay);
  }
  static void Filler(SequenceRecord& s, int slot, int type, double time) { cz::test::SetFillerEntry(s, slot, type, time); }

  std::string WavePath() const { return dir_.File("out.wv"); }
  std::vector<float> TempIq() const { return cz::test::ReadTempIq(dir_.File("WV-DATA.TMP")); }
  std::vector<uint8_t> TempMarkers() const { return cz::test::ReadTempMarkers(dir_.File("MKR-DATA.TMP")); }
  static bool Logged(const std::string& text) {
    for (const auto& l : g_log)
      if (l.find(text) != std::string::npos) return true;
    return false;
  }
  static bool StatusWas(const std::string& text) {
    for (const auto& s : g_status)
      if (s == text) return true;
    return false;
  }
  static int Build() { return BuildWaveform(0, 0, 1, -1, 0, 0.0); }

  cz::test::TempDir dir_;
};

// ---- the file as written ---------------------------------------------------------

TEST_F(BuilderTest, DefaultPulseWritesTheExactFile) {
  PulseRecord& p = AddPulse("Pulse", 0.0001, 0.0005);  // the defaults of a new pulse
  SequenceRecord& s = AddSequence(100e6);
  PulseEntry(s, 0, p, 1);
  ASSERT_EQ(Build(), 1);

  const ParsedWave w = ParseWaveFile(WavePath());
  ASSERT_TRUE(w.ok);
  EXPECT_TRUE(std::regex_match(w.dateTag, std::regex(R"(\{DATE:\d{4}-\d{2}-\d{2};\d{2}:\d{2}:\d{2}\})")));
  EXPECT_EQ(w.header, "{TYPE: Kaldra-WV,0}" + w.dateTag +
                          "{CLOCK:100000000.000}{CLOCK MARKER:100000000.000}{LEVEL OFFS:7.781513,0.000000}"
                          "{SAMPLES:60000}{CONTROL LENGTH:60000}{MARKER LIST 1: 0:1;10000:0}"
                          "{MARKER LIST 2: 0:0}{MARKER LIST 3: 0:0}{MARKER LIST 4: 0:0}{WAVEFORM-240001: #");
  EXPECT_EQ(w.dataBytes, 240000u);
  EXPECT_TRUE(w.closed);
  ASSERT_EQ(w.i.size(), 60000u);
  EXPECT_EQ(w.i[0], 32767);
  EXPECT_EQ(w.i[9999], 32767);
  EXPECT_EQ(w.i[10000], 0);  // off level 100 dB down rounds to 0
  EXPECT_EQ(LastBuildSamples, 60000);
  EXPECT_NEAR(LastBuildRmsOffset, 7.781513, 1e-6);
  EXPECT_TRUE(StatusWas("Waveform Creation Finished Successfully."));
  // No resampling: no second pair of temporary files, none left beside the output.
  EXPECT_FALSE(cz::test::FileExists(dir_.File("WV-DATA2.TMP")));
  EXPECT_FALSE(cz::test::FileExists(WavePath() + ".part"));
}

// The waveform file the user chose is a link to a file in another folder:
// the build lands in the linked file and the link stays. A read-only file
// is not built over, and the log says why.
TEST_F(BuilderTest, AWaveformFileBehindALinkOrReadOnlyLandsWhereTheUserPointed) {
  PulseRecord& p = AddPulse("Pulse", 10e-6, 10e-6);
  SequenceRecord& s = AddSequence(10e6);
  PulseEntry(s, 0, p, 1);
  ASSERT_EQ(mkdir(dir_.File("store").c_str(), 0755), 0);
  const std::string real = dir_.File("store/real.wv");
  ASSERT_TRUE(cz::test::WriteFileBytes(real, "old bytes"));
  ASSERT_EQ(symlink(real.c_str(), dir_.File("link.wv").c_str()), 0);
  ASSERT_TRUE(s.waveFile.AssignExact(dir_.File("link.wv")));
  ASSERT_EQ(Build(), 1);
  EXPECT_TRUE(StatusWas("Waveform Creation Finished Successfully."));
  EXPECT_TRUE(ParseWaveFile(real).ok) << "the linked file holds the waveform";
  struct stat st {};
  ASSERT_EQ(lstat(dir_.File("link.wv").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));

  ASSERT_TRUE(cz::test::WriteFileBytes(dir_.File("locked.wv"), "keep"));
  ASSERT_EQ(chmod(dir_.File("locked.wv").c_str(), 0444), 0);
  ASSERT_TRUE(s.waveFile.AssignExact(dir_.File("locked.wv")));
  g_status.clear();
  EXPECT_EQ(Build(), 0);
  EXPECT_TRUE(StatusWas("Error: Cannot Open Destination File."));
  EXPECT_TRUE(Logged("the file is read-only"));
  EXPECT_EQ(cz::test::ReadFileBytes(dir_.File("locked.wv")), "keep");
}

TEST_F(BuilderTest, ProjectOptionsPepAndMarkers) {
  PulseRecord& p = AddPulse("P", 10e-6, 10e-6);
  SequenceRecord& s = AddSequence(100e6);
  PulseEntry(s, 0, p, 1);
  g_Settings.Project.pepLevel = 1;
  g_Settings.Project.allowMarkers = 0;
  ASSERT_EQ(Build(), 1);
  const ParsedWave w = ParseWaveFile(WavePath());
  EXPECT_EQ(WaveTag(w.header, "LEVEL OFFS"), "0.000000,0.000000");
  EXPECT_TRUE(Logged("RMS offset forced to 0 dB."));
  EXPECT_EQ(LastBuildRmsOffset, 0.0);
  EXPECT_EQ(w.header.find("MARKER LIST"), std::string::npos);
  EXPECT_EQ(w.header.find("CONTROL LENGTH"), std::string::npos);
}

// ---- fillers ---------------------------------------------------------------------

std::vector<SequenceTableRow> g_rows;
std::vector<int> g_attributeRows;
std::vector<std::string> g_reportLines;
int64_t g_viewLast = -1, g_viewCount = -1;
int g_undimmedPage = -1;

TEST_F(BuilderTest, BlankThenCwFillerAndASkippedOne) {
  SequenceRecord& s = AddSequence(100e6);
  Filler(s, 0, SYNC_BLANK, 10e-6);
  Filler(s, 1, SYNC_CW, 20e-6);
  Filler(s, 2, SYNC_BLANK, 15e-6);
  s.reportColumns[REPORT_FILLERS] = 1;
  g_rows.clear();
  g_attributeRows.clear();
  g_reportLines.clear();
  EngineBuildHost host = ConsoleEngineBuildHost();
  host.fillSequenceTable = [](const SequenceTableRow& r) { g_rows.push_back(r); };
  host.setTableRowAttribute = [](int32_t row, int first, int last, int attribute, int value) {
    if (first == 7 && last == 15 && attribute == 1581 && value == 1) g_attributeRows.push_back(row);
  };
  host.reportWriteLine = [](const char* text) { g_reportLines.emplace_back(text); };
  host.setSequenceViewData = [](int64_t first, int64_t last, double rate, FILE* iq, int64_t count) {
    if (first == 0 && rate == 100e6 && iq == TempIqFile) g_viewLast = last, g_viewCount = count;
  };
  host.setTabPageDimmed = [](int page, int dimmed) { g_undimmedPage = dimmed ? -1 : page; };
  SetEngineBuildHost(&host);
  ASSERT_EQ(BuildWaveform(0, 1, 1, -1, 0, 0.0), 1);  // with the Sequence View
  EXPECT_EQ(g_viewLast, 1999);
  EXPECT_EQ(g_viewCount, 2000);
  EXPECT_EQ(g_undimmedPage, 2);

  const ParsedWave w = ParseWaveFile(WavePath());
  ASSERT_EQ(w.i.size(), 2000u);
  for (int k = 0; k < 2000; ++k) {
    ASSERT_EQ(w.i[k], k < 1000 ? 0 : 32767) << k;
    ASSERT_EQ(w.q[k], 0) << k;
  }
  EXPECT_TRUE(Logged("#  1  BLANK FILLER 10.000 us"));
  EXPECT_TRUE(Logged("#  2  CW FILLER 10.000 us"));
  EXPECT_TRUE(Logged("  BLANK skipped, Time line is already at 20.000 us."));
  ASSERT_EQ(g_reportLines.size(), 2u);
  EXPECT_EQ(g_reportLines[1], "#  2  CW FILLER 10.000 us");
  ASSERT_EQ(g_rows.size(), 3u);
  EXPECT_STREQ(g_rows[1].name, "T   -->|  (CW filler)");
  EXPECT_EQ(g_rows[1].samples, 1000);
  EXPECT_EQ(g_rows[2].samples, 0);
  EXPECT_EQ(g_attributeRows, (std::vector<int>{0, 1, 2}));
}

TEST_F(BuilderTest, CwFillerFollowsTheSwapOption) {
  SequenceRecord& s = AddSequence(100e6);
  Filler(s, 0, SYNC_CW, 1e-6);
  g_Settings.Project.swapIq = 1;
  ASSERT_EQ(Build(), 1);
  const std::vector<float> iq = TempIq();
  ASSERT_EQ(iq.size(), 200u);
  EXPECT_EQ(iq[0], 0.0f);
  EXPECT_EQ(iq[1], 1.0f);
  EXPECT_EQ(WriteBlankFiller(kSlotTempIq, kSlotTempMarker, -1), 0);
}

// ---- entries ---------------------------------------------------------------------

TEST_F(BuilderTest, OverlayAddKeepsTheTimeLineAndTheBaseTail) {
  PulseRecord& a = AddPulse("A", 20e-6, 80e-6);
  a.attOn = 20.0 * std::log10(2.0);  // amplitude 0.5
  PulseRecord& b = AddPulse("B", 10e-6, 0.0);
  b.attOn = 20.0 * std::log10(4.0);  // amplitude 0.25
  b.markers[1][MARKER_ON] = 1;
  SequenceRecord& s = AddSequence(100e6);
  PulseEntry(s, 0, a, 1);
  ASSERT_EQ(Build(), 1);
  const std::vector<float> alone = TempIq();
  const std::vector<uint8_t> aloneMarkers = TempMarkers();
  ASSERT_EQ(alone.size(), 2u * 10000);

  PulseEntry(s, 1, b, 1, 1);
  ASSERT_EQ(Build(), 1);
  EXPECT_EQ(LastBuildSamples, 10000);
  const std::vector<float> both = TempIq();
  const std::vector<uint8_t> bothMarkers = TempMarkers();
  ASSERT_EQ(both.size(), alone.size());
  for (int k = 0; k < 1000; ++k) {
    ASSERT_NEAR(both[2 * k], 0.75f, 1e-6) << k;
    ASSERT_EQ(bothMarkers[k], aloneMarkers[k] | 0x02) << k;
  }
  for (std::size_t k = 2000; k < both.size(); ++k) ASSERT_EQ(both[k], alone[k]) << k;
  for (std::size_t k = 1000; k < bothMarkers.size(); ++k) ASSERT_EQ(bothMarkers[k], aloneMarkers[k]) << k;

  // A longer overlay is cut at its base entry's end.
  b.onTime = 200e-6;
  ASSERT_EQ(Build(), 1);
  EXPECT_EQ(LastBuildSamples, 10000);

  // An overlay on the first entry (as a stored project may hold it) has
  // nothing to lie on: it builds as a plain entry.
  s.entries[0] = s.entries[1];
  s.entries[1] = SequenceEntry{};
  ASSERT_EQ(s.entries[0].overlay, 1);
  ASSERT_EQ(Build(), 1);
  EXPECT_EQ(LastBuildSamples, 20000);
}

// The temporary files are rewritten in place from build to build: each
// build leaves them exactly as long as its own samples, the resampling pair
// as long as the resampled samples, and a failed build ends them behind the
// entries it finished.
TEST_F(BuilderTest, TemporaryFilesEndWithTheirBuild) {
  PulseRecord& p = AddPulse("P", 10e-6, 40e-6);
  SequenceRecord& s = AddSequence(400e6);
  PulseEntry(s, 0, p, 3);
  ASSERT_EQ(Build(), 1);  // 60,000 samples at 400 MHz, 90,000 at 600 MHz
  s.entries[0].repetitions = 1;
  ASSERT_EQ(Build(), 1);
  EXPECT_EQ(LastBuildSamples, 30000);
  EXPECT_EQ(TempIq().size(), 2u * 30000);
  EXPECT_EQ(TempMarkers().size(), 30000u);
  EXPECT_EQ(cz::test::ReadFileBytes(dir_.File("WV-DATA2.TMP")).size(), 3u + 8 * 30000);
  EXPECT_EQ(cz::test::ReadFileBytes(dir_.File("MKR-DATA2.TMP")).size(), 30000u);

  s.clock = 100e6;
  s.entries[0].repetitions = 4;
  ASSERT_EQ(Build(), 1);
  const std::vector<float> four = TempIq();
  ASSERT_EQ(four.size(), 2u * 20000);
  PulseRecord& bad = AddPulse("Bad", 10e-6, 0.0);
  bad.riseTime = 1e-9;  // shorter than one sample
  s.entries[0].repetitions = 1;
  PulseEntry(s, 1, p, 1);
  PulseEntry(s, 2, bad, 1);
  ASSERT_EQ(Build(), 0);
  const std::vector<float> two = TempIq();
  ASSERT_EQ(two.size(), 2u * 10000);
  EXPECT_TRUE(std::equal(two.begin(), two.end(), four.begin()));
  EXPECT_EQ(TempMarkers().size(), 10000u);
}

TEST_F(BuilderTest, PeakAboveFullScaleIsNormalised) {
  PulseRecord& a = AddPulse("A", 20e-6, 20e-6);
  PulseRecord& b = AddPulse("B", 10e-6, 0.0);
  SequenceRecord& s = AddSequence(100e6);
  PulseEntry(s, 0, a, 1);
  PulseEntry(s, 1, b, 1, 1);  // adds a second full-scale carrier: peak 2
  ASSERT_EQ(Build(), 1);
  EXPECT_TRUE(Logged("Peak level is 2.000000"));
  const ParsedWave w = ParseWaveFile(WavePath());
  ASSERT_EQ(w.i.size(), 4000u);
  EXPECT_EQ(w.i[0], 32767);
  EXPECT_EQ(w.i[999], 32767);
  EXPECT_EQ(w.i[1000], 16384);
  EXPECT_EQ(w.i[1999], 16384);
  EXPECT_EQ(w.i[2000], 0);
  const double off = 0.5e-5;
  const double rms = std::sqrt((1000 * 1.0 + 1000 * 0.25 + 2000 * off * off) / 4000);
  EXPECT_NEAR(LastBuildRmsOffset, 20.0 * std::log10(1.0 / rms), 1e-6);
}

TEST_F(BuilderTest, MarkerWordSelectsRepetitions) {
  PulseRecord& p = AddPulse("P", 10e-6, 10e-6);  // marker 1 on the pulse top
  SequenceRecord& s = AddSequence(100e6);
  PulseEntry(s, 0, p, 3).markerMask = 1;  // marker 1 on the first repetition only
  ASSERT_EQ(Build(), 1);
  EXPECT_EQ(WaveTag(ParseWaveFile(WavePath()).header, "MARKER LIST 1"), " 0:1;1000:0");
  s.entries[0].markerMask = 2;  // last repetition only
  ASSERT_EQ(Build(), 1);
  EXPECT_EQ(WaveTag(ParseWaveFile(WavePath()).header, "MARKER LIST 1"), " 0:0;4000:1;5000:0");
}

TEST_F(BuilderTest, RampJitterOverIndividualRepetitionsAndReuse) {
  PulseRecord& p = AddPulse("J", 10e-6, 10e-6);
  JitterBlock& j = p.jitter[0];
  j.enabled = 1;
  j.target = JIT_ONPERIOD;
  j.distribution = JDIST_RAMP;
  j.p1 = 0.0;
  j.p2 = 2e-6;
  SequenceRecord& s = AddSequence(100e6);
  PulseEntry(s, 0, p, 3).jitterMode[0] = JMODE_INDIVIDUAL;
  ASSERT_EQ(Build(), 1);
  EXPECT_EQ(LastBuildSamples, 1000 + 1100 + 1200 + 3000);  // on 10, 11, 12 us

  s.entries[0].jitterMode[0] = JMODE_SAME;  // drawn once: the ramp's start
  ASSERT_EQ(Build(), 1);
  EXPECT_EQ(LastBuildSamples, 6000);

  // Reuse replays the last drawing entry's values cyclically.
  s.entries[0].jitterMode[0] = JMODE_INDIVIDUAL;
  PulseEntry(s, 1, p, 4).jitterMode[0] = JMODE_REUSE;
  ASSERT_EQ(Build(), 1);
  EXPECT_EQ(LastBuildSamples, 6300 + 1000 + 1100 + 1200 + 1000 + 4000);
  EXPECT_TRUE(Logged("  Rep. 4, Jit. 1: reusing #1 -> 0.000000"));

  // On the first entry the history was just reset: nothing to reuse.
  s.entries[0].jitterMode[0] = JMODE_REUSE;
  g_log.clear();
  EXPECT_EQ(Build(), 0);
  EXPECT_TRUE(Logged("*** No previous jitter data available for jitter 1"));
  EXPECT_TRUE(Logged(" *** Error setting up jitter for pulse 'J'"));
  EXPECT_TRUE(StatusWas("Error: Waveform Creation Failed. See Log."));
}

// ---- resampling and filtering -----------------------------------------------------

TEST_F(BuilderTest, ClockAbove300MHzIsResampledTo600MHz) {
  SequenceRecord& s = AddSequence(400e6);
  Filler(s, 0, SYNC_CW, 1001 / 400e6);
  ASSERT_EQ(Build(), 1);  // no instrument selected
  const ParsedWave w = ParseWaveFile(WavePath());
  EXPECT_EQ(WaveTag(w.header, "CLOCK"), "600000000.000");
  EXPECT_EQ(WaveTag(w.header, "SAMPLES"), "1502");
  EXPECT_EQ(WaveTag(w.header, "CONTROL LENGTH"), "1502");
  ASSERT_EQ(w.i.size(), 1502u);
  // A constant carrier stays constant, normalised to its peak.
  int16_t low = 32767;
  for (int16_t v : w.i) low = std::min(low, v);
  EXPECT_GT(low, 0.9 * 32767);
  EXPECT_EQ(*std::max_element(w.i.begin(), w.i.end()), 32767);
  EXPECT_EQ(TempIq().size(), 2u * 1502);
  EXPECT_EQ(TempMarkers().size(), 1502u);
  EXPECT_TRUE(Logged("Lumbrix 600MHz resampling"));
  EXPECT_TRUE(Logged("  target samples   1502"));

  // A clock of exactly 300 MHz is left alone.
  s.clock = 300e6;
  s.entries[0].fillerTime = 1001 / 300e6;
  ASSERT_EQ(Build(), 1);
  EXPECT_EQ(LastBuildSamples, 1001);
}

TEST_F(BuilderTest, DownsampledMarkersStayAligned) {
  PulseRecord& p = AddPulse("P", 1e-6, 1e-6);
  SequenceRecord& s = AddSequence(1.2e9);  // 2,400 samples down to 1,200
  PulseEntry(s, 0, p, 1);
  ASSERT_EQ(Build(), 1);
  const ParsedWave w = ParseWaveFile(WavePath());
  EXPECT_EQ(WaveTag(w.header, "SAMPLES"), "1200");
  EXPECT_EQ(WaveTag(w.header, "MARKER LIST 1"), " 0:1;600:0");
}

TEST_F(BuilderTest, FilterWithOversamplingTwoDoublesClockAndHoldsMarkers) {
  PulseRecord& p = AddPulse("P", 1e-6, 1e-6);
  p.markers[2][MARKER_OFF] = 1;
  SequenceRecord& s = AddSequence(100e6);
  PulseEntry(s, 0, p, 1).markerMask = 0x3F;
  ASSERT_EQ(Build(), 1);
  const std::vector<uint8_t> plain = TempMarkers();
  ASSERT_EQ(plain.size(), 200u);

  s.filterOn = 1;
  s.filterType = FILT_SINC;
  s.window = WIN_RIFEVINCENT;
  s.cutoff = 40e6;
  s.oversampling = 2.0;
  ASSERT_EQ(Build(), 1);
  const ParsedWave w = ParseWaveFile(WavePath());
  EXPECT_EQ(WaveTag(w.header, "CLOCK"), "200000000.000");
  EXPECT_EQ(WaveTag(w.header, "SAMPLES"), "400");
  // Output k sits at input k/2 and takes the nearest input's byte (half up,
  // periodic): the last output, at 199.5, takes input 0's.
  EXPECT_EQ(WaveTag(w.header, "MARKER LIST 1"), " 0:1;199:0;399:1");
  const std::vector<uint8_t> held = TempMarkers();
  ASSERT_EQ(held.size(), 400u);
  for (int k = 0; k < 400; ++k) ASSERT_EQ(held[k], plain[((k + 1) / 2) % 200]) << k;
  EXPECT_TRUE(Logged("User resampling/filtering..."));
  EXPECT_TRUE(Logged("  target clock     200000000.000000 Hz"));
}

// Markers after the filter's oversampling follow the filtered pulse: each
// edge lies within a tenth of an input sample (plus the half output sample
// that whole samples allow) of where the envelope crosses half its level,
// for whole and fractional factors and for a factor whose sample count
// rounds back to the input's.
TEST_F(BuilderTest, OversampledMarkersFollowTheFilteredEdges) {
  PulseRecord& p = AddPulse("P", 10e-6, 10e-6);
  p.delay = 5e-6;
  p.markers[0][MARKER_ON] = 1;
  SequenceRecord& s = AddSequence(7e6);  // 35 + 70 + 70 = 175 input samples
  PulseEntry(s, 0, p, 1).markerMask = 0x3;
  s.filterOn = 1;
  s.filterType = FILT_SINC;
  s.window = WIN_RIFEVINCENT;
  s.cutoff = 3e6;
  for (double factor : {100.0, 10.0, 1.1, 1.0000001}) {
    s.oversampling = factor;
    ASSERT_EQ(Build(), 1) << factor;
    const std::vector<float> iq = TempIq();
    const std::vector<uint8_t> markers = TempMarkers();
    const size_t m = markers.size();
    ASSERT_EQ(iq.size(), 2 * m);
    ASSERT_EQ(m, static_cast<size_t>(175 * factor)) << factor;
    const double ratio = static_cast<double>(m) / 175.0;  // output samples per input sample
    std::vector<double> mag(m);
    for (size_t k = 0; k < m; ++k) mag[k] = std::hypot(iq[2 * k], iq[2 * k + 1]);
    const double half = 0.5 * mag[static_cast<size_t>(70 * ratio)];  // mid-pulse level
    // Fractional output positions where the envelope crosses half its level.
    std::vector<double> crossings;
    for (size_t k = 1; k < m; ++k)
      if ((mag[k - 1] < half) != (mag[k] < half))
        crossings.push_back(static_cast<double>(k - 1) + (half - mag[k - 1]) / (mag[k] - mag[k - 1]));
    std::vector<double> edges;  // first output sample of each new marker state
    for (size_t k = 1; k < m; ++k)
      if ((markers[k] & 1) != (markers[k - 1] & 1)) edges.push_back(static_cast<double>(k));
    ASSERT_EQ(crossings.size(), 2u) << factor;
    ASSERT_EQ(edges.size(), 2u) << factor;
    for (int e = 0; e < 2; ++e)
      EXPECT_LE(std::fabs(edges[e] - crossings[e]), 0.1 * ratio + 0.5)
          << "factor " << factor << " edge " << e << " marker " << edges[e] << " envelope " << crossings[e];
  }
}

// ---- report ----------------------------------------------------------------------

bool g_closedBeforeResampling = false;
int g_closeCalls = 0;

TEST_F(BuilderTest, ReportClosesAfterTheLastEntryBeforeResampling) {
  SequenceRecord& s = AddSequence(400e6);
  Filler(s, 0, SYNC_CW, 1e-6);
  g_closeCalls = 0;
  EngineBuildHost host = ConsoleEngineBuildHost();
  host.reportClose = [](char* error, int size) {
    ++g_closeCalls;
    g_closedBeforeResampling = !Logged("Lumbrix 600MHz resampling");
    std::snprintf(error, static_cast<std::size_t>(size), "sheet locked");
    return 1;
  };
  SetEngineBuildHost(&host);
  ASSERT_EQ(BuildWaveform(0, 0, 1, -1, 1, 0.0), 1);
  EXPECT_EQ(g_closeCalls, 1);
  EXPECT_TRUE(g_closedBeforeResampling);

  host.reportClose = [](char* error, int size) {
    std::snprintf(error, static_cast<std::size_t>(size), "sheet locked");
    return 0;
  };
  SetEngineBuildHost(&host);
  EXPECT_EQ(BuildWaveform(0, 0, 1, -1, 1, 0.0), 0);
  EXPECT_TRUE(Logged("*** An error ocured during report cleanup."));
  EXPECT_TRUE(Logged("sheet locked"));
}

// ---- refusals and failures ----------------------------------------------------------

TEST_F(BuilderTest, RefusedBuildsLeaveTheDestinationAlone) {
  PulseRecord& p = AddPulse("P", 10e-6, 10e-6);
  SequenceRecord& s = AddSequence(100e6);
  ASSERT_TRUE(cz::test::WriteFileBytes(WavePath(), "previous waveform"));

  EXPECT_EQ(BuildWaveform(5, 0, 1, -1, 0, 0.0), 0);
  EXPECT_TRUE(Logged("*** No sequence selected."));

  EXPECT_EQ(Build(), 0);
  EXPECT_TRUE(Logged("*** No entries in sequence."));

  // A pulse ID that names no pulse fails the build.
  PulseEntry(s, 0, p, 1);
  s.entries[1].pulseId = 99;
  s.entries[1].repetitions = 1;
  EXPECT_EQ(Build(), 0);
  EXPECT_TRUE(Logged("*** Invalid pulse entry"));

  // More repetitions than the jitter history holds: refused up front.
  s.entries[1].pulseId = static_cast<int32_t>(p.id);
  s.entries[1].repetitions = 10002;
  g_log.clear();
  EXPECT_EQ(Build(), 0);
  EXPECT_TRUE(Logged("*** Entry 2: 10002 repetitions exceed the limit of 10001."));
  EXPECT_FALSE(Logged("#  1  'P'"));
  EXPECT_EQ(cz::test::ReadFileBytes(WavePath()), "previous waveform");

  s.entries[1].repetitions = 1;
  s.waveFile = "";
  EXPECT_EQ(Build(), 0);
  EXPECT_TRUE(StatusWas("Error: Waveform File Name is Empty."));
  // A folder that cannot be made (its parent is a file) is refused.
  ASSERT_TRUE(s.waveFile.AssignExact(WavePath() + "/out.wv"));
  EXPECT_EQ(Build(), 0);
  EXPECT_TRUE(StatusWas("Error: Cannot Open Destination File."));
  EXPECT_EQ(cz::test::ReadFileBytes(WavePath()), "previous waveform");
  // A missing folder is made.
  ASSERT_TRUE(s.waveFile.AssignExact(dir_.File("Waveforms/new/out.wv")));
  EXPECT_EQ(Build(), 1);
  EXPECT_TRUE(Logged("Created folder '" + dir_.File("Waveforms/new") + "'."));
  EXPECT_TRUE(cz::test::FileExists(dir_.File("Waveforms/new/out.wv")));
}

// Values no build can use stop the build with one message about them and
// leave the old file: a clock that is no finite number or beyond the
// highest clock (only the clock is reported), a level, phase or frequency
// that is none (the 10 us pulse train would be a full-scale carrier).
TEST_F(BuilderTest, NonFiniteParametersAreRefused) {
  PulseRecord& p = AddPulse("P", 10e-6, 10e-6);
  SequenceRecord& s = AddSequence(100e6);
  PulseEntry(s, 0, p, 2);
  ASSERT_TRUE(cz::test::WriteFileBytes(WavePath(), "previous waveform"));
  for (double clock : {HUGE_VAL, 1e308, std::nan("")}) {
    s.clock = clock;
    g_log.clear();
    EXPECT_EQ(Build(), 0) << clock;
    int stars = 0;
    for (const auto& l : g_log) stars += l.find("***") != std::string::npos;
    EXPECT_EQ(stars, 1) << clock;
    EXPECT_FALSE(Logged("samples the waveform file can hold")) << clock;
  }
  EXPECT_TRUE(Logged("*** Sample clock must be greater than zero."));  // NaN
  s.clock = 1e308;
  g_log.clear();
  EXPECT_EQ(Build(), 0);
  EXPECT_TRUE(Logged("*** Sample clock 1e+308 Hz is out of range: at most 100000 MHz."));
  s.clock = 100e6;

  const struct {
    double PulseRecord::*field;
    double value;
    const char* message;
  } kBad[] = {{&PulseRecord::attOn, std::nan(""), "'On level' is not a finite number"},
              {&PulseRecord::attOff, -HUGE_VAL, "'Off level' is not a finite number"},
              {&PulseRecord::attOn, -1e6, "'On level' is not a finite number"},  // 10^50000 overflows
              {&PulseRecord::droop, std::nan(""), "'Droop' is not a finite number"},
              {&PulseRecord::startPhase, HUGE_VAL, "'Start phase' is not a finite number"},
              {&PulseRecord::freqOffset, -HUGE_VAL, "'Frequency offset' is not a finite number"}};
  for (const auto& b : kBad) {
    const double kept = p.*b.field;
    p.*b.field = b.value;
    g_log.clear();
    EXPECT_EQ(Build(), 0) << b.message;
    EXPECT_TRUE(Logged(b.message)) << b.message;
    EXPECT_FALSE(StatusWas("Waveform Creation Finished Successfully."));
    p.*b.field = kept;
  }
  EXPECT_EQ(cz::test::ReadFileBytes(WavePath()), "previous waveform");
  ASSERT_EQ(Build(), 1);
}

// Stop after a number of host polls; every poll passes the host's interval.
int g_pollsBeforeStop = 0;
double g_fakeClock = 0.0;
int g_confirmAnswer = 1;

TEST_F(BuilderTest, StopDuringALongBuildKeepsTheOldFile) {
  PulseRecord& p = AddPulse("Long", 0.1, 0.0);  // 10 million samples at 100 MHz
  SequenceRecord& s = AddSequence(100e6);
  PulseEntry(s, 0, p, 1);
  ASSERT_TRUE(cz::test::WriteFileBytes(WavePath(), "previous waveform"));
  EngineHost host = ConsoleEngineHost();
  host.nowSeconds = [] { return g_fakeClock += 1.0; };
  host.stopPressed = [] { return --g_pollsBeforeStop == 0 ? 1 : 0; };
  g_pollsBeforeStop = 200;
  SetEngineHost(&host);
  EXPECT_EQ(Build(), 0);
  EXPECT_TRUE(Logged("*** User break during waveform creation."));
  EXPECT_TRUE(StatusWas("Error: Waveform Creation Failed. See Log."));
  EXPECT_EQ(cz::test::ReadFileBytes(WavePath()), "previous waveform");
  EXPECT_FALSE(cz::test::FileExists(WavePath() + ".part"));

  SetEngineHost(nullptr);
  ASSERT_EQ(Build(), 1);
  EXPECT_EQ(LastBuildSamples, 10000000);
  EXPECT_EQ(ParseWaveFile(WavePath()).dataBytes, 40000000u);
}

TEST_F(BuilderTest, StopBetweenRepetitionsAsksFirst) {
  PulseRecord& p = AddPulse("Short", 5e-6, 5e-6);
  SequenceRecord& s = AddSequence(100e6);
  PulseEntry(s, 0, p, 20);
  EngineHost host = ConsoleEngineHost();
  host.nowSeconds = [] { return g_fakeClock += 1.0; };
  host.stopPressed = [] { return --g_pollsBeforeStop == 0 ? 1 : 0; };
  EngineBuildHost build = ConsoleEngineBuildHost();
  build.confirm = [](const char* title, const char*) { return std::string(title) == "Abort Pulse Creation ?" ? g_confirmAnswer : 1; };
  SetEngineHost(&host);
  SetEngineBuildHost(&build);
  g_pollsBeforeStop = 1;  // the first poll of a build: before its first repetition
  g_confirmAnswer = 0;
  EXPECT_EQ(Build(), 1);
  EXPECT_EQ(LastBuildSamples, 20000);
  g_pollsBeforeStop = 1;
  g_confirmAnswer = 1;
  EXPECT_EQ(Build(), 0);
  EXPECT_TRUE(Logged(" *** User break during 'Short'"));
}

// ---- timing ----------------------------------------------------------------------

// Times at and beside k + 0.5 sample periods: counts follow trunc(t*fs + 0.5)
// for the pulse times and for a filler after them.
TEST_F(BuilderTest, RandomisedTimingSweepsFollowTheCountsRule) {
  std::mt19937_64 rng(20240613);
  const double clocks[] = {1e6, 10e6, 100e6, 122.88e6, 250e6};
  auto boundaryTime = [&](double fs) {
    double t = (static_cast<double>(rng() % 3000 + 1) + 0.5) / fs;
    switch (rng() % 3) {
      case 0: t = std::nextafter(t, 0.0); break;
      case 1: t = std::nextafter(t, 1.0); break;
      default: break;
    }
    return t;
  };
  auto count = [](double t, double fs) { return static_cast<int64_t>(t * fs + 0.5); };
  for (int trial = 0; trial < 40; ++trial) {
    ResetProject();
    g_Settings.Project.pepLevel = 0;
    const double fs = clocks[rng() % 5];
    PulseRecord& p = AddPulse("T", boundaryTime(fs), boundaryTime(fs));
    p.delay = rng() % 2 ? boundaryTime(fs) : 0.0;
    SequenceRecord& s = AddSequence(fs);
    PulseEntry(s, 0, p, 1);
    const int64_t pulseSamples = count(p.delay, fs) + count(p.onTime, fs) + count(p.offTime, fs);
    const double fillerTime = static_cast<double>(pulseSamples) / fs + boundaryTime(fs);
    Filler(s, 1, SYNC_BLANK, fillerTime);
    const int64_t filler = count(fillerTime - static_cast<double>(pulseSamples) / fs, fs);
    ASSERT_EQ(Build(), 1) << trial;
    ASSERT_EQ(LastBuildSamples, pulseSamples + filler) << "trial " << trial << " fs " << fs;
  }
}

}  // namespace
