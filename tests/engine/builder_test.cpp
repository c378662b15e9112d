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
#include "app/PluginLoader.h"
#include "app/PulseRecord.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "app/TempFiles.h"
#include "engine/EngineHost.h"
#include "engine/ModulationTypes.h"
#include "engine/Prbs.h"
#include "engine/Random.h"
#include "engine/Tessera_GenerateWave.h"
#include "platform/CLocale.h"
#include "tests/support/OutsideReaders.h"
#include "tests/support/RecordBuilders.h"
#include "tests/support/SmallDisk.h"
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
  // Built as Generate builds it, for the Sequence View: the temporary files
  // hold the samples it shows (a build without it leaves them empty).
  static int Build() { return BuildWaveform(0, 1, 1, -1, 0, 0.0); }

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

// A new sequence's stored file name ("Waveforms\NewSequence.wv") is taken
// from the home path: the log names the file written with one separator.
TEST_F(BuilderTest, TheLogNamesTheWaveformFileWithOneSeparator) {
  char saved[4096] = "";
  ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
  const std::string home = dir_.File("home") + "/";
  ASSERT_TRUE(cz::test::WriteFileBytes(dir_.File("settings.ini"), "[General]\r\nHomePath = \"" + home + "\"\r\n"));
  ASSERT_EQ(chdir(dir_.path().c_str()), 0);
  PulseRecord& p = AddPulse("Pulse", 1e-6, 1e-6);
  SequenceRecord& s = AddSequence(100e6);
  s.waveFile = "Waveforms\\NewSequence.wv";
  PulseEntry(s, 0, p, 1);
  const int built = Build();
  ASSERT_EQ(chdir(saved), 0);
  ASSERT_EQ(built, 1);
  EXPECT_TRUE(cz::test::FileExists(home + "Waveforms/NewSequence.wv"));
  EXPECT_TRUE(Logged("FILE    : '" + home + "Waveforms/NewSequence.wv'"));
  for (const std::string& line : g_log) {
    if (line.find(home) != std::string::npos) {
      EXPECT_EQ(line.find('\\'), std::string::npos) << line;
    }
  }
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

// The level tags and the Pk/Av of the info line state the samples as the
// file holds them, checked with numpy on the file: attenuated pulses, a
// blank-only and a marker-only sequence, full-scale I/Q; with "PEP" the RMS
// offset is the peak's, and Pk/Av stays the samples' crest factor (it once
// showed 0.0 dB with "PEP", a new project's default).
std::string g_info;
TEST_F(BuilderTest, LevelTagsAndPkAvAreThoseOfTheWrittenSamples) {
  EngineBuildHost host = ConsoleEngineBuildHost();
  host.setSequenceInfo = [](const char* text) { g_info = text; };
  SetEngineBuildHost(&host);
  struct Case {
    const char* name;
    double attOn, on, off, phase;  // dB, s, s, degrees
    int filler;                    // a blank filler instead of the pulse
    int pep;
    double crest, shown;           // crest factor of the samples, Pk/Av shown (dB)
  };
  const Case cases[] = {{"20 dB, no blank", 20.0, 10e-6, 0.0, 0.0, 0, 0, 0.0, 0.0},
                        {"6 dB, half blank", 6.0, 10e-6, 10e-6, 0.0, 0, 0, 3.0103, 3.0103},
                        {"full-scale I/Q", 0.0, 10e-6, 30e-6, 45.0, 0, 0, 6.0206, 6.0206},
                        {"blank only", 0.0, 0.0, 0.0, 0.0, 1, 0, 0.0, 0.0},
                        {"markers only", 300.0, 10e-6, 10e-6, 0.0, 0, 0, 0.0, 0.0},
                        {"20 dB with PEP", 20.0, 10e-6, 10e-6, 0.0, 0, 1, 3.0103, 3.0103},
                        {"on a third of the PRI with PEP", 0.0, 10e-6, 20e-6, 0.0, 0, 1, 4.7712, 4.7712},
                        {"a new pulse with PEP", 0.0, 1e-4, 5e-4, 0.0, 0, 1, 7.7815, 7.7815}};
  const int mask = Log_GetMask();
  Log_SetMask(mask | LOG_INFO);  // the writer's statistics are info lines
  for (const Case& c : cases) {
    ResetProject();
    g_Settings.Project.pepLevel = c.pep;
    SequenceRecord& s = AddSequence(100e6);
    if (c.filler) {
      Filler(s, 0, SYNC_BLANK, 10e-6);
    } else {
      PulseRecord& p = AddPulse("P", c.on, c.off);
      p.attOn = c.attOn;
      p.attOff = 300.0;
      p.startPhase = c.phase;
      PulseEntry(s, 0, p, 2);
    }
    g_info.clear();
    ASSERT_EQ(Build(), 1) << c.name;
    std::string out;
    ASSERT_EQ(cz::test::RunDspReference("wavestats " + cz::test::Quoted(WavePath()), &out), 0) << out;
    const double rms = cz::test::ReferenceValue(out, "rms"), peak = cz::test::ReferenceValue(out, "peak");
    EXPECT_NEAR(cz::test::ReferenceValue(out, "tagpeak"), peak, 0.01) << c.name << ": " << out;
    EXPECT_NEAR(cz::test::ReferenceValue(out, "tagrms"), c.pep ? peak : rms, 0.01) << c.name << ": " << out;
    EXPECT_NEAR(cz::test::ReferenceValue(out, "crest"), c.crest, 0.01) << c.name;
    char pkav[32];
    std::snprintf(pkav, sizeof pkav, "Pk/Av:%2.1f dB", c.shown);
    EXPECT_NE(g_info.find(pkav), std::string::npos) << c.name << ": " << g_info;
    // The writer's statistics in the log tell the same crest factor.
    std::snprintf(pkav, sizeof pkav, "Pk/Av     :%5.2f dB", c.crest);
    EXPECT_TRUE(Logged(pkav)) << c.name;
  }
  Log_SetMask(mask);
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

// A filter or a plug-in that gives nothing usable stops the build with its
// reason, and the destination stays as it was.
int NanAmplitudeEngine(double* amplitude, double*, int sample) {
  *amplitude = sample >= 7 ? std::nan("") : 1.0;
  return 1;
}

TEST_F(BuilderTest, UnusableFiltersAndPlugInsWriteNothing) {
  PulseRecord& p = AddPulse("P", 1e-6, 1e-6);
  SequenceRecord& s = AddSequence(100e6);
  PulseEntry(s, 0, p, 2);
  ASSERT_TRUE(cz::test::WriteFileBytes(WavePath(), "previous waveform"));
  s.filterOn = 1;
  s.filterType = FILT_GAUSS;
  s.alpha = 0.0;
  s.oversampling = 1.0;
  EXPECT_EQ(Build(), 0);
  EXPECT_TRUE(Logged("*** Gaussian filter BT 0 is invalid: it must be above 0."));
  EXPECT_EQ(cz::test::ReadFileBytes(WavePath()), "previous waveform");

  s.filterOn = 0;
  ModuleCount = 1;
  ModuleTable[0] = ModuleEntry();
  ModuleTable[0].Name = "nan";
  ModuleTable[0].Type = "modulation";
  ModuleTable[0].Engine = NanAmplitudeEngine;
  p.modulation = kModulationPluginCode;
  p.pluginName = "nan";
  g_log.clear();
  EXPECT_EQ(Build(), 0);
  EXPECT_TRUE(Logged("*** Module 'nan' returned an unusable amplitude (nan) at sample 7."));
  EXPECT_TRUE(Logged("*** Generation of pulse data failed. Check settings."));
  EXPECT_FALSE(Logged("Peak level is"));
  EXPECT_EQ(cz::test::ReadFileBytes(WavePath()), "previous waveform");
  ModuleTable[0] = ModuleEntry();
  ModuleCount = 0;
}

// Temporary files on a full disk: the build fails naming the folder and the
// system's reason, and the waveform file is left as it was.
TEST_F(BuilderTest, FullTemporaryFolderIsNamedWithTheSystemsReason) {
  cz::test::SmallDisk disk(256);
  CZ_SKIP_WITHOUT(disk);
  ASSERT_TRUE(g_Settings.TempDir.AssignExact(disk.path()));
  PulseRecord& p = AddPulse("P", 1e-3, 0.0);  // 100,000 samples: 800 kB of I/Q
  SequenceRecord& s = AddSequence(100e6);
  PulseEntry(s, 0, p, 1);
  ASSERT_TRUE(cz::test::WriteFileBytes(WavePath(), "previous waveform"));
  const std::string reason = "Temporary folder '" + disk.path() + "': No space left on device.";
  // The disk fills at the release of the slots, or while the pulse is
  // written with small buffers.
  // The reason is the build's one message about it: no internal error and
  // no source line of the buffered file unit (the program did nothing wrong).
  for (int32_t bytes : {kBufferSlotBytes, int32_t{4096}}) {
    ASSERT_EQ(SetBufferSlotBytes(bytes), 1);
    g_log.clear();
    EXPECT_EQ(Build(), 0);
    EXPECT_TRUE(Logged("*** " + reason)) << bytes;
    int reasons = 0;
    for (const auto& l : g_log) reasons += l.find("No space left on device") != std::string::npos;
    EXPECT_EQ(reasons, 1) << bytes;
    EXPECT_FALSE(Logged("Internal Error")) << bytes;
    EXPECT_FALSE(Logged("*** Error in file")) << bytes;
    EXPECT_EQ(BuildWaveform_TempFailure(), reason);
    EXPECT_FALSE(StatusWas("Waveform Creation Finished Successfully."));
    EXPECT_EQ(cz::test::ReadFileBytes(WavePath()), "previous waveform");
    EXPECT_FALSE(cz::test::FileExists(WavePath() + ".part"));
  }
  ASSERT_EQ(SetBufferSlotBytes(kBufferSlotBytes), 1);
  CloseTempFiles();

  // The next build in a folder with room says nothing of the old failure.
  ASSERT_TRUE(g_Settings.TempDir.AssignExact(dir_.path()));
  EXPECT_EQ(Build(), 1);
  EXPECT_STREQ(BuildWaveform_TempFailure(), "");
}

// A temporary folder every user can write: entries another user put under
// the names of the temporary files (a link to a file of this user) are
// neither followed nor written, and do not stop the build: its files are
// made in a folder of the user's own inside the shared one, private to
// this user.
TEST_F(BuilderTest, TemporaryFilesOfAnotherUserAreNeverWritten) {
  if (geteuid() != 0) GTEST_SKIP() << "not run: giving files to another user (65534) needs root";
  ASSERT_EQ(chmod(dir_.path().c_str(), 01777), 0);
  const std::string notes = dir_.File("notes.txt");
  ASSERT_TRUE(cz::test::WriteFileBytes(notes, "notes of this user"));
  PulseRecord& p = AddPulse("P", 1e-6, 1e-6);
  SequenceRecord& s = AddSequence(400e6);  // resampled: WV-DATA2.TMP and MKR-DATA2.TMP too
  PulseEntry(s, 0, p, 2);
  const char* const names[] = {"WV-DATA.TMP", "MKR-DATA.TMP", "WV-DATA2.TMP", "MKR-DATA2.TMP"};
  for (const char* name : names) {
    const std::string planted = dir_.File(name);
    ASSERT_EQ(symlink(notes.c_str(), planted.c_str()), 0) << name;
    ASSERT_EQ(lchown(planted.c_str(), 65534, 65534), 0) << name;
  }
  EXPECT_EQ(Build(), 1);
  EXPECT_STREQ(BuildWaveform_TempFailure(), "");
  EXPECT_EQ(cz::test::ReadFileBytes(notes), "notes of this user");
  EXPECT_TRUE(cz::test::FileExists(WavePath()));
  const std::string own = dir_.File("cadenza-" + std::to_string(geteuid()));
  EXPECT_EQ(TempDirInUse(), own);
  struct stat st {};
  ASSERT_EQ(lstat(own.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  for (const char* name : names) {
    ASSERT_EQ(lstat(dir_.File(name).c_str(), &st), 0) << name;
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << name << ": the other user's link stays";
    ASSERT_EQ(lstat((own + "/" + name).c_str(), &st), 0) << name;
    EXPECT_TRUE(S_ISREG(st.st_mode)) << name;
    EXPECT_EQ(st.st_mode & 0777, 0600u) << name;
  }
}

// The waveform file goes into a folder every user can write (sticky, as
// /tmp is), where another user put a link under its name to a file of this
// user: the link is not followed (as the system's protection of such
// folders has it), the build fails saying so, and the file stays as it
// was. A link of this user there is still followed.
TEST_F(BuilderTest, AWaveformFileInASharedFolderFollowsNoLinkOfAnotherUser) {
  if (geteuid() != 0) GTEST_SKIP() << "not run: giving a link to another user (65534) needs root";
  PulseRecord& p = AddPulse("P", 10e-6, 10e-6);
  SequenceRecord& s = AddSequence(10e6);
  PulseEntry(s, 0, p, 1);
  const std::string shared = dir_.File("shared");
  ASSERT_EQ(mkdir(shared.c_str(), 0777), 0);
  ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
  const std::string notes = dir_.File("notes.txt");
  ASSERT_TRUE(cz::test::WriteFileBytes(notes, "notes of this user"));
  const std::string planted = shared + "/pulses.wv";
  ASSERT_EQ(symlink(notes.c_str(), planted.c_str()), 0);
  ASSERT_EQ(lchown(planted.c_str(), 65534, 65534), 0);
  ASSERT_TRUE(s.waveFile.AssignExact(planted));
  g_log.clear();
  EXPECT_EQ(Build(), 0);
  EXPECT_TRUE(Logged("*** Cannot write '" + planted + "': Permission denied.")) << "no log line";
  EXPECT_EQ(cz::test::ReadFileBytes(notes), "notes of this user");
  struct stat st {};
  ASSERT_EQ(lstat(planted.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));

  // The user's own link in the same folder lands in the file it names.
  const std::string own = shared + "/own.wv";
  ASSERT_EQ(symlink(notes.c_str(), own.c_str()), 0);
  ASSERT_TRUE(s.waveFile.AssignExact(own));
  EXPECT_EQ(Build(), 1);
  EXPECT_TRUE(ParseWaveFile(notes).ok);
}

// A first entry that carries a stored overlay mode (a project built without
// the Sequence Editor having shown it) is played as a plain entry, and the
// size told before the build counts it: the warning of a file beyond one
// transfer is given.
TEST_F(BuilderTest, AFirstEntryWithAnOverlayModeCountsTowardsTheFileSize) {
  PulseRecord& p = AddPulse("P", 10e-6, 10e-6);
  SequenceRecord& s = AddSequence(100e6);
  PulseEntry(s, 0, p, 2, 1);
  BuildWaveform_SetTransferLimit(1000);
  EXPECT_EQ(Build(), 1);
  BuildWaveform_SetTransferLimit(0);
  EXPECT_TRUE(Logged("Warning: The waveform file will have about 16000 bytes"));
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
  // A modulation parameter read from a project as "nan" or "inf".
  const ModulationTypeInfo* am = FindModulationType(MOD_AM);
  ASSERT_NE(am, nullptr);
  for (const char* bad : {"nan", "-inf", "1e999"}) {
    p.modulation = MOD_AM;
    for (int k = 0; am->definitions[k].key != 0; ++k) {
      const ModulationParamDef& d = am->definitions[k];
      p.modParams.Set(k, d.type, d.name, std::string(d.name) == "Depth [%]" ? bad : d.value);
    }
    g_log.clear();
    EXPECT_EQ(Build(), 0) << bad;
    EXPECT_TRUE(Logged("'Depth [%]' is not a finite number")) << bad;
    EXPECT_FALSE(Logged("Peak level is")) << bad;
    EXPECT_FALSE(StatusWas("Waveform Creation Finished Successfully.")) << bad;
  }
  p.modulation = 0;
  p.modParams.Clear();
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

// PRI 1.04 us at 10 MHz (10.4 samples), 10,000 repetitions: marker 1 rises
// at the sample nearest to every exact start, the listing and the report
// show the times the build used.
std::vector<double> g_reportStarts;
TEST_F(BuilderTest, RepetitionsOfAFractionalPriStartAtTheirNearestSample) {
  EngineHost host = ConsoleEngineHost();
  host.reportAddEntry = [](char*, const ReportEntryValues& v) {
    g_reportStarts.push_back(v.pulseStart);
    return 1;
  };
  SetEngineHost(&host);
  EngineBuildHost build = ConsoleEngineBuildHost();
  build.fillSequenceTable = [](const SequenceTableRow& row) { g_rows.push_back(row); };
  SetEngineBuildHost(&build);
  g_rows.clear();
  g_reportStarts.clear();
  PulseRecord& p = AddPulse("P", 0.3e-6, 0.0);
  p.prfMode = 1;
  p.prfPri = 1;
  p.prfValue = 1.04e-6;
  p.jitter[0].enabled = 1;  // a ramp from 0 to 0: every repetition is reported
  p.jitter[0].target = JIT_PRI;
  p.jitter[0].distribution = JDIST_RAMP;
  SequenceRecord& s = AddSequence(10e6);
  PulseEntry(s, 0, p, 10000).jitterMode[0] = JMODE_INDIVIDUAL;
  ASSERT_EQ(Build(), 1) << g_log.back();
  EXPECT_EQ(LastBuildSamples, 104000);
  const std::vector<uint8_t> m = TempMarkers();
  ASSERT_EQ(m.size(), 104000u);
  std::vector<int64_t> rises;
  for (size_t k = 0; k < m.size(); ++k)
    if ((m[k] & 1) && (k == 0 || !(m[k - 1] & 1))) rises.push_back(static_cast<int64_t>(k));
  ASSERT_EQ(rises.size(), 10000u);
  for (int64_t r = 0; r < 10000; ++r) {
    ASSERT_EQ(rises[static_cast<size_t>(r)], (1040 * r + 50) / 100) << r;  // nearest to 10.4 r
    ASSERT_NEAR(g_reportStarts[static_cast<size_t>(r)], static_cast<double>((1040 * r + 50) / 100) / 10e6, 1e-12);
  }
  ASSERT_FALSE(g_rows.empty());
  EXPECT_EQ(g_rows.back().samples, 104000);
  EXPECT_NEAR(g_rows.back().duration, 10.4e-3, 1e-12);
}

// Times at and beside k + 0.5 sample periods: a pulse of them takes the
// nearest whole number of samples, a filler after it trunc(t*fs + 0.5).
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
    // The edges lie at the samples nearest to their exact times: the pulse
    // takes the whole number nearest to the sum of its times (either one on
    // an exact tie).
    ASSERT_EQ(Build(), 1) << trial;
    const int64_t pulseSamples = LastBuildSamples;
    const long double exact = static_cast<long double>(p.delay) * fs + static_cast<long double>(p.onTime) * fs +
                              static_cast<long double>(p.offTime) * fs;
    const long double miss = std::fabs(static_cast<long double>(pulseSamples) - exact);
    ASSERT_TRUE(miss < 0.5L || (miss < 0.5L + 1e-9L)) << "trial " << trial << " exact " << static_cast<double>(exact);
    const double fillerTime = static_cast<double>(pulseSamples) / fs + boundaryTime(fs);
    Filler(s, 1, SYNC_BLANK, fillerTime);
    const int64_t filler = count(fillerTime - static_cast<double>(pulseSamples) / fs, fs);
    ASSERT_EQ(Build(), 1) << trial;
    ASSERT_EQ(LastBuildSamples, pulseSamples + filler) << "trial " << trial << " fs " << fs;
  }
}

// The noise of a pulse train is one band-limited process through the build:
// across the start of every repetition its spectrum (scipy, segments centred
// on the starts) is that of the 12th-order low pass, as scipy's own noise
// through the same filter shows it. Each repetition once drew a fresh filter
// state: -41.7 dB at 10 MHz against the filter's -72.1.
TEST_F(BuilderTest, NoiseRunsOnAcrossRepetitionStarts) {
  const double clock = 100e6, bandwidth = 10e6;
  PulseRecord& p = AddPulse("N", 20e-6, 80e-6);  // 10,000 samples a repetition
  p.attOn = p.attOff = 160.0;                     // the carrier below one step of the file
  p.noiseOn = 1;
  p.noiseAtt = 20.0;
  p.noiseBw = bandwidth;
  PulseEntry(AddSequence(clock), 0, p, 300);
  ASSERT_EQ(Build(), 1);
  std::string out;
  ASSERT_EQ(cz::test::RunDspReference(cz::FormatC("noisestarts %s %.1f %.1f 10000 8e6,10e6,25e6",
                                                  cz::test::Quoted(WavePath()).c_str(), clock, bandwidth),
                                      &out),
            0)
      << out;
  for (const char* f : {"8", "10", "25"})
    EXPECT_NEAR(cz::test::ReferenceValue(out, std::string("across") + f),
                cz::test::ReferenceValue(out, std::string("ref") + f), 3.0)
        << f << " MHz: " << out;
}

// After the start-up seed 256 (the start-up then clocks generator 7 by 10 to
// 99), a BPSK pulse fed from "PRBS 7" plays its m-sequence: half its symbols
// at each phase, where the 7-bit register once sat at 0 and gave a carrier.
TEST_F(BuilderTest, BpskFromPrbs7PlaysTheSequenceAfterTheSeed256) {
  ASSERT_EQ(SetPrbsSeed(256), 1);
  ASSERT_EQ(AdvancePrbs(57, 7), 1);
  PulseRecord& p = AddPulse("B", 12.7e-6, 0.0);  // 127 symbols of 10 samples
  p.modulation = MOD_BARKER;
  p.modParams.Set(0, "LIST", "Type", "0");
  p.modParams.Set(1, "DOUBLE", "Phase [deg]", "180.00");
  p.modParams.Set(2, "DOUBLE", "Transition [%]", "0.0");
  p.modParams.Set(3, "LIST", "Trans. Shape", "0");
  p.modParams.Set(4, "LIST", "Coding", "0");
  p.dataRows[0].kind = DSRC_RANDOM;
  p.dataRows[0].source = 7;
  p.dataRows[0].bits = 127;
  SequenceRecord& s = AddSequence(100e6);
  PulseEntry(s, 0, p, 1);
  ASSERT_EQ(Build(), 1);
  const ParsedWave w = ParseWaveFile(WavePath());
  ASSERT_EQ(w.i.size(), 1270u);
  int positive = 0, negative = 0;
  for (int16_t v : w.i) {
    if (v > 30000) ++positive;
    if (v < -30000) ++negative;
  }
  // One period of the m-sequence: 64 ones and 63 zeros.
  EXPECT_EQ(positive + negative, 1270);
  EXPECT_TRUE((positive == 640 && negative == 630) || (positive == 630 && negative == 640))
      << positive << " / " << negative;
  EXPECT_NE(PrbsRegister(7), 0u);
}

// AWGN on a pulse whose carrier is off, checked with numpy and scipy on the
// file: the noise power (I and Q together) is the level set below full
// scale for every bandwidth, and the -3 dB width of its Welch spectrum the
// bandwidth set, from the narrowest (fs/1000) to fs/2. The power once grew
// by 11 dB from 50 to 1 MHz and no band came out narrower than about 2 MHz.
TEST_F(BuilderTest, NoisePowerFollowsItsLevelAndItsSpectrumTheBandwidth) {
  struct Case {
    double bandwidth, duration, att;  // Hz, s, dB
  };
  const double clock = 100e6;
  const Case cases[] = {{50e6, 2e-3, 20.0}, {10e6, 2e-3, 20.0}, {1e6, 2e-3, 20.0},
                        {0.1e6, 20e-3, 20.0}, {3e6, 2e-3, 33.0}};
  for (const Case& c : cases) {
    ResetProject();
    PulseRecord& p = AddPulse("N", c.duration, 0.0);
    p.attOn = p.attOff = 160.0;  // the carrier off: below one step of the file
    p.noiseOn = 1;
    p.noiseAtt = c.att;
    p.noiseBw = c.bandwidth;
    SequenceRecord& s = AddSequence(clock);
    PulseEntry(s, 0, p, 1);
    ASSERT_EQ(Build(), 1) << c.bandwidth;
    std::string out;
    ASSERT_EQ(cz::test::RunDspReference(cz::FormatC("noise %s %.1f %.1f", cz::test::Quoted(WavePath()).c_str(),
                                                    clock, c.bandwidth),
                                        &out),
              0)
        << out;
    const double bw = c.bandwidth / 1e6;
    EXPECT_NEAR(cz::test::ReferenceValue(out, "power"), -c.att, 0.5) << bw << " MHz: " << out;
    EXPECT_NEAR(cz::test::ReferenceValue(out, "width") / c.bandwidth, 1.0, 0.1) << bw << " MHz: " << out;
    EXPECT_LT(cz::test::ReferenceValue(out, "stop"), -60.0) << bw << " MHz: " << out;
    EXPECT_LT(std::fabs(cz::test::ReferenceValue(out, "iqcorr")), 0.05) << bw << " MHz: " << out;
    // No carrier at 0 Hz: the mean stays within the noise's own wander.
    EXPECT_LT(cz::test::ReferenceValue(out, "mean"), 0.1 * std::pow(10.0, -c.att / 20.0)) << bw << " MHz: " << out;
  }
  // Below the narrowest the build refuses, naming it at this clock.
  ResetProject();
  PulseRecord& p = AddPulse("N", 1e-3, 0.0);
  p.noiseOn = 1;
  p.noiseBw = 0.05e6;
  PulseEntry(AddSequence(clock), 0, p, 1);
  g_log.clear();
  g_status.clear();
  EXPECT_EQ(Build(), 0);
  EXPECT_TRUE(Logged(" *** Noise bandwidth 0.050000 MHz is narrower than the build can make at the sample clock of "
                     "100.000000 MHz: the narrowest is 0.100000 MHz."));
  EXPECT_FALSE(StatusWas("Waveform Creation Finished Successfully."));
}

}  // namespace
