// Multi-segment build and playback against the simulated instrument
// (127.0.0.1): two small sequences and a blank built, uploaded, listed and
// assembled with the exact SCPI in the simulator's journal; the trigger
// settings, trigger and segment query; a lost instrument; reports across
// segments, and those that cannot be opened or written; and the counting
// and naming rules of the build.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/ExitRequest.h"
#include "app/PluginLoader.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "app/TempFiles.h"
#include "editors/ReportDriver.h"
#include "engine/EngineHost.h"
#include "engine/Random.h"
#include "instrument/Identify.h"
#include "instrument/MultiSegment.h"
#include "instrument/VisaDev.h"
#include "tests/instrument/InstrumentTestSupport.h"
#include "tests/support/OutsideReaders.h"
#include "tests/support/SimFixture.h"
#include "tests/support/SmallDisk.h"
#include "tests/support/TempDir.h"
#include "wavelib/WaveLib.h"

namespace cz::test {
namespace {

bool Exists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

// True when `expected` occurs in `lines` in this order (other lines between).
::testing::AssertionResult InOrder(const std::vector<std::string>& lines, const std::vector<std::string>& expected) {
  std::size_t k = 0;
  for (const std::string& l : lines)
    if (k < expected.size() && l == expected[k]) ++k;
  if (k == expected.size()) return ::testing::AssertionSuccess();
  std::string all;
  for (const std::string& l : lines) all += "  " + l + "\n";
  return ::testing::AssertionFailure() << "missing in order: '" << expected[k] << "'\nreceived:\n" << all;
}

class MultiSegmentTest : public InstrumentTest {
 protected:
  void SetUp() override {
    InstrumentTest::SetUp();
    char error[kWaveLibErrorTextBytes];
    ASSERT_EQ(WaveLib_Init(error, 2.2), 1);
    ResetProject();
    ASSERT_TRUE(g_Settings.TempDir.AssignExact(dir.path()));
    g_Settings.Project.pepLevel = 0;
    SetEngineHost(nullptr);
    SetEngineBuildHost(nullptr);
    RandomSeedUniform(3);
    RandomSeedRand(3);
    ResetInstrumentCapabilities();
    InstrumentCapabilities.Type = INSTR_KALDRA;
    InstrumentCapabilities.Connected = 1;
    InstrumentCapabilities.MaxClock = 600000000;
    InstrumentCapabilities.MultiSegment = 1;
    InstrumentCapabilities.UnixPaths = 0;
    ASSERT_TRUE(sim.Start()) << sim.Error();
    ASSERT_EQ(VisaDev_Open(0, sim.SocketResource().c_str()), 1);
  }
  void TearDown() override {
    VisaDev_Close(0);
    ResetProject();
    InstrumentTest::TearDown();
  }

  // A sequence of `reps` pulses of 2 us on and 4 us off at `clock`, written to `file`.
  SequenceRecord& AddSequence(const char* name, double clock, int reps, const char* file) {
    PulseRecord& p = PulseTable[PulseCount];
    InitPulseRecord(&p);
    ++PulseCount;
    p.name = name;
    p.onTime = 2e-6;
    p.offTime = 4e-6;
    SequenceRecord& s = SequenceTable[SequenceCount];
    InitSequenceRecord(&s);
    ++SequenceCount;
    s.name = name;
    s.clock = clock;
    EXPECT_TRUE(s.waveFile.AssignExact(dir.File(file)));
    s.entries[0].pulseId = static_cast<int32_t>(p.id);
    s.entries[0].repetitions = reps;
    return s;
  }
  MultiSegmentRecord& AddWaveform() {
    MultiSegmentRecord& m = MultiSegmentTable[MultiSegmentCount];
    InitMultiSegmentRecord(&m);
    ++MultiSegmentCount;
    m.name = "Radar MSW";
    m.clock = 100e6;
    return m;
  }
  static void SequenceSegment(MultiSegmentRecord& m, int slot, const SequenceRecord& s, const char* reps) {
    m.segments[slot].type = SEGMENT_SEQUENCE;
    m.segments[slot].sequenceId = static_cast<int32_t>(s.id);
    m.segments[slot].repetition = reps;
  }
  static void BlankSegment(MultiSegmentRecord& m, int slot, double stopTime) {
    m.segments[slot].type = SEGMENT_BLANK;
    m.segments[slot].sequenceId = 0;
    m.segments[slot].stopTime = stopTime;
  }

  SimFixture sim;
  TempDir dir;
};

TEST_F(MultiSegmentTest, SequencerBuildUploadsListsAndAssemblesEverySegment) {
  SequenceRecord& a = AddSequence("Search", 100e6, 200, "search.wv");
  SequenceRecord& b = AddSequence("Track", 50e6, 100, "track.wv");
  MultiSegmentRecord& m = AddWaveform();
  m.sequencerMode = 1;
  m.clockMode = 3;
  m.clock = 10e6;  // below the sequences' clocks: raised to 100 MHz
  m.nextSegment = 3;
  m.comment = "two {parts}\nx";
  SequenceSegment(m, 0, a, "2");
  BlankSegment(m, 1, 3e-3);
  SequenceSegment(m, 2, b, "rand(4,4,1)");
  UiTest_QueueMessageOk();

  ASSERT_EQ(BuildMultiSegment(0), 1) << Log().lines.back();
  EXPECT_DOUBLE_EQ(m.clock, 100e6);
  ASSERT_EQ(UiTest_Popups().size(), 1u);
  EXPECT_EQ(UiTest_Popups()[0].title, "Cadenza");
  EXPECT_EQ(UiTest_Popups()[0].text, "The MSW user clock rate was too low\nand got automatically updated.");
  // The blank of 3 ms minus the first segment is played as a repeated part.
  int32_t blankReps = 0;
  ASSERT_TRUE(MswRepetitionCount(m.segments[1].repetition.c_str(), &blankReps));
  EXPECT_GT(blankReps, 1);

  const std::vector<std::string> rx = sim.Received();
  EXPECT_TRUE(InOrder(rx, {
      "SOUR1:BB:ARB:PRES; *OPC?",
      "SOUR:BB:ARB:WSEG:CONF:SEL 'D:\\MSWaveFile.inf_mswv'; *OPC?",
      "SOUR:BB:ARB:WSEG:SEQ:SEL 'D:\\MSWaveFile.wvs'; *OPC?",
      "SOUR:BB:ARB:WSEG:CONF:LEV:MODE UNCH; *OPC?",
      "SOUR:BB:ARB:WSEG:CONF:CLOC:MODE USER; *OPC?",
      "SOUR:BB:ARB:WSEG:CONF:CLOC 100.000000 MHz; *OPC?",
      "SOUR:BB:ARB:WSEG:CONF:OFIL 'D:\\MSWaveFile.wv'; *OPC?",
      "SOUR:BB:ARB:WSEG:CONF:COMM 'two (parts) x'; *OPC?",
      "OUTP1:STAT?",
      "SOUR1:BB:ARB:SEQ SING; *OPC?",
      "SOUR1:BB:ARB:TRIG:SMOD SEQUENCER; *OPC?",
      "SOUR1:BB:ARB:TRIG:SOUR EXT; *OPC?",
      "SOUR1:BB:ARB:WSEG:NEXT 0; *OPC?",
      "SOUR1:BB:ARB:TRIG:ARM:EXEC; *OPC?",
      "SOUR1:BB:ARB:TRIG:EXT:DELAY 0.000000; *OPC?",
      "SOUR:BB:ARB:WSEG:CONF:SEGM:APP 'D:\\MSWaveFile-seg1.wv'; *OPC?",
      "SOUR:BB:ARB:WSEG:SEQ:APP ON,0,2,NEXT; *OPC?",
      "SOUR:BB:ARB:WSEG:CONF:SEGM:APP 'D:\\MSWaveFile-seg2.wv'; *OPC?",
      "SOUR:BB:ARB:WSEG:SEQ:APP ON,1," + std::to_string(blankReps) + ",NEXT; *OPC?",
      "SOUR:BB:ARB:WSEG:CONF:SEGM:APP 'D:\\MSWaveFile-seg3.wv'; *OPC?",
      "SOUR:BB:ARB:WSEG:SEQ:APP ON,2,4,BLANK; *OPC?",
      "SOUR1:BB:ARB:WSEG:CLO 'D:\\MSWaveFile.inf_mswv'",
      "SOUR:BB:PROG:MCOD:ARB:WSEG?",
      "MMEM:DEL 'D:\\MSWaveFile-seg1.wv'; *OPC?",
      "MMEM:DEL 'D:\\MSWaveFile-seg2.wv'; *OPC?",
      "MMEM:DEL 'D:\\MSWaveFile-seg3.wv'; *OPC?",
      "SOUR1:BB:ARB:STAT ON",
      "STAT:OPER:COND?",
  }));
  EXPECT_TRUE(Log().HasStatus("Done."));
  // The sequences' own waveform files stay, the blank's scratch file is gone;
  // on the instrument only the assembled waveform and its lists remain.
  EXPECT_TRUE(Exists(dir.File("search.wv")));
  EXPECT_TRUE(Exists(dir.File("track.wv")));
  EXPECT_FALSE(Exists(dir.File("tmp_seg_blank.wv")));
  std::vector<std::string> catalog;
  char reply[4096] = {};
  ASSERT_EQ(VisaDev_Query(0, "MMEM:CAT? 'D:\\'", reply, sizeof reply), 1);
  const std::string cat = reply;
  EXPECT_NE(cat.find("\"MSWaveFile.wv,BIN,"), std::string::npos) << cat;
  EXPECT_NE(cat.find("\"MSWaveFile.wvs,BIN,"), std::string::npos) << cat;
  EXPECT_EQ(cat.find("-seg"), std::string::npos) << cat;
}

TEST_F(MultiSegmentTest, RegularModeSendsNoSequencerListAndKeepsSegmentsWhenAsked) {
  SequenceRecord& a = AddSequence("Search", 100e6, 200, "search.wv");
  MultiSegmentRecord& m = AddWaveform();
  m.bbPath = 2;
  m.levelMode = 2;
  m.clockMode = 2;
  m.triggerMode = 1;
  m.extTriggerMode = 3;
  m.triggerSource = 4;
  m.targetName = "Scan";
  SequenceSegment(m, 0, a, "99999");  // not read outside sequencer mode
  BlankSegment(m, 1, 2e-3);
  g_Settings.Project.removeSegments = 0;
  ASSERT_EQ(BuildMultiSegment(0), 1);
  EXPECT_EQ(std::string(m.segments[1].repetition.c_str()), "1");
  const std::vector<std::string> rx = sim.Received();
  EXPECT_TRUE(InOrder(rx, {"SOUR2:BB:ARB:PRES; *OPC?", "SOUR:BB:ARB:WSEG:CONF:SEL 'D:\\Scan.inf_mswv'; *OPC?",
                           "SOUR:BB:ARB:WSEG:CONF:LEV:MODE ERMS; *OPC?",
                           "SOUR:BB:ARB:WSEG:CONF:CLOC:MODE HIGH; *OPC?", "SOUR2:BB:ARB:SEQ AUTO; *OPC?",
                           "SOUR2:BB:ARB:TRIG:SMOD NSEAM; *OPC?", "SOUR2:BB:ARB:TRIG:SOUR OBAS; *OPC?",
                           "SOUR2:BB:ARB:WSEG:CLO 'D:\\Scan.inf_mswv'", "SOUR2:BB:ARB:STAT ON"}));
  for (const std::string& l : rx) {
    EXPECT_EQ(l.find(":SEQ:"), std::string::npos) << l;
    EXPECT_EQ(l.find("ARM:EXEC"), std::string::npos) << l;  // auto mode is not armed
    EXPECT_EQ(l.find("MMEM:DEL 'D:\\Scan-seg"), std::string::npos) << l;
  }
}

// A sequence written through the filter's oversampling lasts its samples at
// the written clock: the blank after it fills the rest up to its stop time.
TEST_F(MultiSegmentTest, AnOversampledSegmentLastsItsSamplesAtTheWrittenClock) {
  SequenceRecord& a = AddSequence("Filtered", 100e6, 200, "filtered.wv");  // 1.2 ms
  a.filterOn = 1;
  a.cutoff = 40e6;
  a.oversampling = 2.0;
  MultiSegmentRecord& m = AddWaveform();
  SequenceSegment(m, 0, a, "1");
  BlankSegment(m, 1, 1.5e-3);
  ASSERT_EQ(BuildMultiSegment(0), 1) << Log().lines.back();
  EXPECT_TRUE(Log().Has("  Duration : 300.00 us"));
}

TEST_F(MultiSegmentTest, SegmentsThatCannotBeBuiltEndTheBuildWithTheirMessages) {
  SequenceRecord& a = AddSequence("Short", 100e6, 10, "short.wv");
  MultiSegmentRecord& m = AddWaveform();
  // A blank whose stop time is the running time has no samples.
  BlankSegment(m, 0, 0.0);
  EXPECT_EQ(BuildMultiSegment(0), 0);
  EXPECT_TRUE(Log().Has("*** Segment 0: The minimum segment length is 512 samples."));
  EXPECT_TRUE(Log().HasStatus("Building BLANK failed."));

  // A blank that ends before the running time.
  SequenceSegment(m, 0, a, "1");
  BlankSegment(m, 1, 1e-6);
  Log().Clear();
  EXPECT_EQ(BuildMultiSegment(0), 0);
  EXPECT_TRUE(Log().Has("*** Blank Segment duration is < 0."));

  // A repetition count above 65,535 in sequencer mode.
  m.sequencerMode = 1;
  m.segments[1] = MultiSegmentEntry{};
  m.segments[0].repetition = "65536";
  Log().Clear();
  // The segment file of the build before is on the instrument: the question
  // about it comes before the segment is built.
  UiTest_QueueConfirm(true);
  EXPECT_EQ(BuildMultiSegment(0), 0);
  EXPECT_TRUE(Log().Has("*** Invalid repetition count specified for MSW segment 0."));

  // A sequence that is no longer in the library.
  m.segments[0].sequenceId = 77;
  Log().Clear();
  UiTest_QueueConfirm(true);
  EXPECT_EQ(BuildMultiSegment(0), 0);
  EXPECT_TRUE(Log().Has("*** Invalid sequence in multi segment waveform."));
  EXPECT_TRUE(Log().HasStatus("Error: Invalid Sequence Entry in MSW."));

  Log().Clear();
  EXPECT_EQ(BuildMultiSegment(5), 0);
  EXPECT_TRUE(Log().Has("*** Invalid multi segment waveform selected."));
}

// A temporary folder every user can write: a link another user put under
// the blank's scratch name, to a file of this user, is neither followed
// nor written, and does not stop the build: the scratch file is made in a
// folder of the user's own inside the shared one. A link of this user left
// there under the name is replaced by a file of the build's own, and the
// user's file is untouched again.
TEST_F(MultiSegmentTest, TheBlanksScratchFileFollowsNoLinkInTheTemporaryFolder) {
  if (geteuid() != 0) GTEST_SKIP() << "not run: giving a link to another user (65534) needs root";
  ASSERT_EQ(chmod(dir.path().c_str(), 01777), 0);
  TempDir home;
  const std::string notes = home.File("notes.txt");
  ASSERT_TRUE(WriteFileBytes(notes, "notes of this user"));
  const std::string planted = dir.File("tmp_seg_blank.wv");
  ASSERT_EQ(symlink(notes.c_str(), planted.c_str()), 0);
  ASSERT_EQ(lchown(planted.c_str(), 65534, 65534), 0);
  MultiSegmentRecord& m = AddWaveform();
  m.sequencerMode = 1;
  BlankSegment(m, 0, 100e-6);

  EXPECT_EQ(BuildMultiSegment(0), 1) << Log().lines.back();
  EXPECT_EQ(ReadFileBytes(notes), "notes of this user");
  struct stat st {};
  ASSERT_EQ(lstat(planted.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the other user's link stays";
  const std::string own = dir.File("cadenza-" + std::to_string(geteuid()));
  ASSERT_EQ(lstat(own.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  const std::string scratch = own + "/tmp_seg_blank.wv";
  ASSERT_EQ(symlink(notes.c_str(), scratch.c_str()), 0);
  Log().Clear();
  UiTest_QueueConfirm(true);  // the segment file of the build before is on the instrument
  EXPECT_EQ(BuildMultiSegment(0), 1) << Log().lines.back();
  EXPECT_EQ(ReadFileBytes(notes), "notes of this user");
  EXPECT_NE(lstat(scratch.c_str(), &st), 0) << "the scratch file is removed after its upload";
  ASSERT_EQ(lstat(planted.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
}

// A blank segment with the temporary folder on a full disk: the log names
// the folder and the system's reason, so that the user knows what to free.
TEST_F(MultiSegmentTest, ABlankOnAFullTemporaryFolderSaysWhy) {
  SmallDisk disk(64);
  CZ_SKIP_WITHOUT(disk);
  ASSERT_TRUE(g_Settings.TempDir.AssignExact(disk.path()));
  ASSERT_TRUE(disk.Fill());
  MultiSegmentRecord& m = AddWaveform();
  m.sequencerMode = 1;
  BlankSegment(m, 0, 3e-3);
  EXPECT_EQ(BuildMultiSegment(0), 0);
  EXPECT_TRUE(Log().Has("*** Temporary folder '" + disk.path() + "': No space left on device."));
  EXPECT_TRUE(Log().HasStatus("Building BLANK failed."));
  // The next build with room works.
  disk.Empty();
  Log().Clear();
  EXPECT_EQ(BuildMultiSegment(0), 1) << Log().lines.back();
}

// A build that fails after the blank segment's scratch file was begun (the
// upload lost, the temporary folder full) leaves no scratch file behind: a
// long blank's would hold gigabytes of the temporary folder until the next
// blank segment, and the exit does not remove it.
TEST_F(MultiSegmentTest, AFailedBuildLeavesNoBlankScratchFile) {
  MultiSegmentRecord& m = AddWaveform();
  BlankSegment(m, 0, 1e-3);  // 100,000 samples: 400 kB
  const std::string scratch = dir.File("tmp_seg_blank.wv");
  VisaDev_Close(0);
  SimOptions opt;
  opt.faults = {"drop@:MMEM:DATA"};
  ASSERT_TRUE(sim.Start(opt)) << sim.Error();
  ASSERT_EQ(VisaDev_Open(0, sim.SocketResource().c_str()), 1);
  EXPECT_EQ(BuildMultiSegment(0), 0);
  EXPECT_TRUE(Log().Has("*** Wave file transfer failed.")) << Log().lines.back();
  struct stat st {};
  EXPECT_NE(lstat(scratch.c_str(), &st), 0);

  cz::test::SmallDisk disk(256);
  CZ_SKIP_WITHOUT(disk);
  ASSERT_TRUE(g_Settings.TempDir.AssignExact(disk.path()));
  VisaDev_Close(0);
  ASSERT_TRUE(sim.Start()) << sim.Error();
  ASSERT_EQ(VisaDev_Open(0, sim.SocketResource().c_str()), 1);
  Log().Clear();
  EXPECT_EQ(BuildMultiSegment(0), 0);
  EXPECT_EQ(Log().status.back(), "Building BLANK failed.");
  EXPECT_NE(lstat(disk.File("tmp_seg_blank.wv").c_str(), &st), 0);
  CloseTempFiles();
}

// ---- the report across segments ------------------------------------------------

// What the report saw, in order: the plug-in's open, header and close keys
// ("filename", "initreport", "en_pdelay", "closereport") and every close of
// the build as "close:text", "close:plugin" or "close:none" (what was open).
std::vector<std::string> g_reportEvents;
int (*g_driverClose)(char*, int) = nullptr;
bool g_closeFails = false;  // the next close of an open report fails

int RecordingClose(char* errorText, int errorSize) {
  const bool open = Report_TextFileOpen() || ReportPluginIndex >= 0;
  g_reportEvents.push_back(Report_TextFileOpen() ? "close:text" : ReportPluginIndex >= 0 ? "close:plugin" : "close:none");
  const int closed = g_driverClose(errorText, errorSize);
  if (!open || !g_closeFails) return closed;
  g_closeFails = false;
  return 0;
}
int PluginSetValue(const char* key, const void*) {
  const std::string k = key;
  if (k == "initreport" || k == "closereport") g_reportEvents.push_back(k);
  return 1;
}
int PluginSetParam(const char* key, void*) {
  const std::string k = key;
  if (k == "filename" || k == "en_pdelay") g_reportEvents.push_back(k);
  return 1;
}
void PluginError(char* text) { text[0] = '\0'; }

class MultiSegmentReportTest : public MultiSegmentTest {
 protected:
  void SetUp() override {
    MultiSegmentTest::SetUp();
    Report_InstallEngineHooks();
    EngineBuildHost host = GetEngineBuildHost();
    g_driverClose = host.reportClose;
    host.reportClose = RecordingClose;
    SetEngineBuildHost(&host);
    ModuleCount = 1;
    ModuleTable[0] = ModuleEntry{};
    ModuleTable[0].Name = "Sheet";
    ModuleTable[0].Type = "report";
    ModuleTable[0].SetValue = PluginSetValue;
    ModuleTable[0].ReportSetParam = PluginSetParam;
    ModuleTable[0].Error = PluginError;
    g_reportEvents.clear();
    g_closeFails = false;
  }
  void TearDown() override {
    Report_OpenOrClose(0, "", "", nullptr, 0);
    ReportPluginIndex = -1;
    ModuleCount = 0;
    SetEngineBuildHost(nullptr);
    SetEngineHost(nullptr);
    MultiSegmentTest::TearDown();
  }
  SequenceRecord& Reported(const char* name, int on, const std::string& file, const char* plugin) {
    SequenceRecord& s = AddSequence(name, 100e6, 2, (std::string(name) + ".wv").c_str());
    s.reportOn = on;
    EXPECT_TRUE(s.reportFile.AssignExact(file));
    s.reportPlugin = plugin;
    s.reportColumns[REPORT_DELAY] = 1;
    return s;
  }
  int Changes() const {
    return static_cast<int>(std::count(Log().lines.begin(), Log().lines.end(),
                                       "The report settings have changed between segments. Closing report."));
  }
  // Title lines of a text report that holds entry lines.
  static int Titles(const std::string& path) {
    const std::string text = cz::test::ReadFileBytes(path);
    int titles = 0;
    for (std::size_t at = text.find("Delay"); at != std::string::npos; at = text.find("Delay", at + 1)) ++titles;
    EXPECT_GT(static_cast<int>(std::count(text.begin(), text.end(), '\n')), titles) << text;
    return titles;
  }
};

TEST_F(MultiSegmentReportTest, ReportReopensOnlyWhereTheSettingsDifferAndClosesAfterTheLastSegment) {
  // Text report, then the plug-in twice with the same settings.
  const std::string textA = dir.File("a.txt");
  SequenceRecord& text = Reported("Text", 1, textA, "");
  SequenceRecord& sheet = Reported("Sheet", 1, dir.File("r.xlsx"), "Sheet");
  MultiSegmentRecord& m = AddWaveform();
  SequenceSegment(m, 0, text, "1");
  SequenceSegment(m, 1, sheet, "1");
  SequenceSegment(m, 2, sheet, "1");
  ASSERT_EQ(BuildMultiSegment(0), 1) << Log().lines.back();
  EXPECT_EQ(Changes(), 1);
  EXPECT_EQ(g_reportEvents, (std::vector<std::string>{"close:text", "filename", "initreport", "en_pdelay",
                                                      "en_pdelay", "close:plugin", "closereport"}));
  EXPECT_EQ(Titles(textA), 1);
  EXPECT_EQ(ReportPluginIndex, -1);

  // Two segments without a report share it, whatever they name; the text
  // report of the third is opened for it and closed after it.
  const std::string textB = dir.File("b.txt");
  SequenceRecord& offX = Reported("OffX", 0, dir.File("x.txt"), "");
  SequenceRecord& offY = Reported("OffY", 0, dir.File("y.xlsx"), "Sheet");
  SequenceRecord& textEnd = Reported("TextEnd", 1, textB, "");
  SequenceSegment(m, 0, offX, "1");
  SequenceSegment(m, 1, offY, "1");
  SequenceSegment(m, 2, textEnd, "1");
  g_reportEvents.clear();
  Log().Clear();
  ASSERT_EQ(BuildMultiSegment(0), 1) << Log().lines.back();
  EXPECT_EQ(Changes(), 1);
  EXPECT_EQ(g_reportEvents, (std::vector<std::string>{"close:none", "close:text"}));
  EXPECT_FALSE(Report_TextFileOpen());
  EXPECT_EQ(Titles(textB), 1);
  EXPECT_FALSE(cz::test::FileExists(dir.File("x.txt")));
}

// A report that cannot be closed fails the build before the waveform is
// put together, and the status says so.
TEST_F(MultiSegmentReportTest, AReportThatCannotBeClosedFailsTheBuild) {
  SequenceRecord& text = Reported("Text", 1, dir.File("a.txt"), "");
  SequenceRecord& off = Reported("Off", 0, dir.File("x.txt"), "");
  MultiSegmentRecord& m = AddWaveform();
  SequenceSegment(m, 0, text, "1");
  for (int reopen = 0; reopen < 2; ++reopen) {
    SCOPED_TRACE(reopen ? "closed for the next segment" : "closed after the last segment");
    if (reopen) SequenceSegment(m, 1, off, "1");
    Log().Clear();
    g_closeFails = true;
    const std::size_t sent = sim.Received().size();
    if (reopen) UiTest_QueueConfirm(true);  // the segment file of the build before
    EXPECT_EQ(BuildMultiSegment(0), 0);
    EXPECT_TRUE(Log().HasPrefix("*** An error ocured during report cleanup."));
    ASSERT_FALSE(Log().status.empty());
    EXPECT_EQ(Log().status.back(), "Error: Report could not be closed. See log.");
    const std::vector<std::string> rx = sim.Received();
    for (std::size_t i = sent; i < rx.size(); ++i) EXPECT_EQ(rx[i].find("WSEG:CLO"), std::string::npos) << rx[i];
  }
}

// A report of a later segment that could not be opened (a text report in a
// folder that is not there, a folder in place of its file, a plug-in's file
// in a folder that is not there) fails the build before the baseband is
// preset or any segment is built or sent, as Generate fails before it
// builds. With the folder made, the next build writes the report.
TEST_F(MultiSegmentReportTest, AReportThatCannotBeOpenedFailsTheBuildBeforeAnythingIsSent) {
  SequenceRecord& plain = Reported("Plain", 0, dir.File("x.txt"), "");
  ASSERT_EQ(mkdir(dir.File("a folder.txt").c_str(), 0755), 0);
  struct Case {
    const char* file;
    const char* plugin;
    const char* reason;
  };
  const Case cases[] = {
      {"missing/r.txt", "", "No such file or directory"},
      {"a folder.txt", "", "Is a directory"},
      {"missing/r.xlsx", "Sheet", "No such file or directory"},
  };
  MultiSegmentRecord& m = AddWaveform();
  SequenceSegment(m, 0, plain, "1");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    SequenceRecord& late = Reported(c.plugin[0] ? "LateSheet" : "LateText", 1, dir.File(c.file), c.plugin);
    SequenceSegment(m, 1, late, "1");
    Log().Clear();
    g_reportEvents.clear();
    const std::size_t sent = sim.Received().size();
    EXPECT_EQ(BuildMultiSegment(0), 0);
    ASSERT_FALSE(Log().status.empty());
    EXPECT_EQ(Log().status.back(), "Error: Report Initialization Failed. See log.");
    EXPECT_TRUE(Log().Has("*** An error ocured during report initialization."));
    EXPECT_TRUE(Log().HasPrefix("Cannot open report file '" + dir.File(c.file) + "': " + c.reason));
    const std::vector<std::string> rx = sim.Received();
    for (std::size_t i = sent; i < rx.size(); ++i)
      for (const char* change : {"PRES", "WSEG", ":MMEM:DATA", "MMEM:DEL", "OUTP"})
        EXPECT_EQ(rx[i].find(change), std::string::npos) << rx[i];
    EXPECT_FALSE(Exists(dir.File("Plain.wv")));
    EXPECT_TRUE(g_reportEvents.empty());
  }

  // The folder made: the text report is written, the build done.
  ASSERT_EQ(mkdir(dir.File("missing").c_str(), 0755), 0);
  SequenceSegment(m, 1, Reported("Text", 1, dir.File("missing/r.txt"), ""), "1");
  Log().Clear();
  ASSERT_EQ(BuildMultiSegment(0), 1) << Log().lines.back();
  EXPECT_EQ(Titles(dir.File("missing/r.txt")), 1);
}

// ---- reports into a workbook through the real report plug-in ------------------

// The styled template of xlsx_readers.py ("Counts", "Trial 1" to "Trial 3",
// "Groups"; data from row 3, column B), read back with openpyxl. Sequences
// of a pulse of 10 us on, 1 us edges and 40 us off.
class MultiSegmentWorkbookTest : public MultiSegmentTest {
 protected:
  static constexpr const char* kPlugin = "Fennick-EXCEL-1.0";
  void SetUp() override {
    MultiSegmentTest::SetUp();
    SetPluginFolder(BuildDir() + "/Plugins");
    LoadPlugins();
    ASSERT_GE(FindModuleByName(kPlugin), 0);
    Report_InstallEngineHooks();
    std::string out;
    ASSERT_EQ(RunXlsxReaders("make-trial-template " + Quoted(book_), &out), 0) << out;
    ASSERT_TRUE(WriteFileBytes(original_, ReadFileBytes(book_)));
  }
  void TearDown() override {
    Report_OpenOrClose(0, "", "", nullptr, 0);
    ShutdownPlugins();
    ModuleCount = 0;
    SetPluginFolder("");
    SetEngineHost(nullptr);
    SetEngineBuildHost(nullptr);
    MultiSegmentTest::TearDown();
  }
  // A sequence of `reps` pulses after a blank filler up to `fillerEnd` (none
  // at 0), reporting with `tag` into the template.
  SequenceRecord& Reported(const char* name, const char* tag, int reps, double fillerEnd = 0.0) {
    SequenceRecord& s = AddSequence(name, 100e6, reps, (std::string(name) + ".wv").c_str());
    PulseRecord& p = PulseTable[PulseCount - 1];
    p.onTime = 10e-6;
    p.riseTime = p.fallTime = 1e-6;
    p.offTime = 40e-6;
    if (fillerEnd > 0.0) {
      s.entries[1] = s.entries[0];
      s.entries[0] = SequenceEntry{};
      s.entries[0].fillerType = 0;
      s.entries[0].fillerTime = fillerEnd;
    }
    s.comment = std::string("{REPORT PLUGIN: ") + tag + "}";
    s.reportOn = 1;
    EXPECT_TRUE(s.reportFile.AssignExact(book_));
    s.reportPlugin = kPlugin;
    return s;
  }
  ::testing::AssertionResult Cells(const std::string& sheet, const std::string& checks) {
    std::string out;
    if (RunXlsxReaders("report-cells " + Quoted(book_) + " '" + sheet + "' " + checks, &out) == 0)
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << out;
  }
  ::testing::AssertionResult Kept() {
    std::string out;
    if (RunXlsxReaders("check-trial-kept " + Quoted(book_) + " " + Quoted(original_), &out) == 0)
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << out;
  }
  std::string book_ = dir.File("trials.xlsx");
  std::string original_ = dir.File("trials-original.xlsx");
};

// Routine 9 on the trial sheet of the waveform "TRIAL-1 ...": segment 1 one
// pulse (the trial's start), segments 2 and 3 a blank filler to 5 ms, then a
// burst of three. Each burst's row shows its time since the trial start:
// 5.052 ms for segment 2 (after segment 1's 52 us) and 10.208 ms for
// segment 3 (after segment 2's 5.156 ms).
TEST_F(MultiSegmentWorkbookTest, Routine9WritesEachBurstsOwnTimeInTheTrial) {
  SequenceRecord& single = Reported("Single", "R9", 1);
  SequenceRecord& burst = Reported("Burst", "R9", 3, 5e-3);
  MultiSegmentRecord& m = AddWaveform();
  m.targetName = "TRIAL-1 bursts";
  SequenceSegment(m, 0, single, "1");
  SequenceSegment(m, 1, burst, "1");
  SequenceSegment(m, 2, burst, "1");
  ASSERT_EQ(BuildMultiSegment(0), 1) << Log().lines.back();
  // Rows r + msegno / 3: pulse number, on time, deviation, the gaps after
  // pulses 1 and 2 (us), ms since the trial start.
  EXPECT_TRUE(Cells("Trial 1", "B1 'Bursts in Trial: 2' C3 3 D3 10 E3 0 F3 40 G3 40 H3 5 "
                               "C4 3 D4 10 F4 40 G4 40 H4 10 E24 'TRIAL-1 bursts'"));
  EXPECT_TRUE(Kept());
}

// Routine 8 (one row per pair of segments): segment 1 reports, segment 2
// does not, segment 3 reports again into the same template. The reopened
// report continues: segment 1's group stays, segment 3 starts group 2.
TEST_F(MultiSegmentWorkbookTest, AReportReopenedWithinTheBuildContinues) {
  SequenceRecord& counted = Reported("Counted", "R8", 2);
  SequenceRecord& quiet = Reported("Quiet", "R8", 2);
  quiet.reportOn = 0;
  MultiSegmentRecord& m = AddWaveform();
  m.targetName = "groups";
  SequenceSegment(m, 0, counted, "1");
  SequenceSegment(m, 1, quiet, "1");
  SequenceSegment(m, 2, counted, "1");
  ASSERT_EQ(BuildMultiSegment(0), 1) << Log().lines.back();
  EXPECT_EQ(std::count(Log().lines.begin(), Log().lines.end(),
                       "The report settings have changed between segments. Closing report."),
            2);
  // Group, count, on time (us), rate (Hz).
  EXPECT_TRUE(Cells("Groups", "B3 1 C3 2 D3 10 E3 19231 B4 2 C4 2 D4 10 E4 19231"));
  EXPECT_TRUE(Kept());
}

// Reports that cannot be written are said before anything is built or
// sent, all in one question: a report plug-in that is not loaded and a
// template that another program holds open. No builds nothing; Yes builds
// without those reports and leaves the template as it was.
TEST_F(MultiSegmentWorkbookTest, AReportThatCannotBeWrittenIsSaidBeforeTheBuild) {
  SequenceRecord& elsewhere = Reported("Elsewhere", "R8", 2);
  elsewhere.reportPlugin = "Fennick-EXCEL-2.0";
  SequenceRecord& locked = Reported("Locked", "R8", 2);
  MultiSegmentRecord& m = AddWaveform();
  m.targetName = "guarded";
  SequenceSegment(m, 0, elsewhere, "1");
  SequenceSegment(m, 1, locked, "1");
  ASSERT_TRUE(WriteFileBytes(dir.File(".~lock.trials.xlsx#"), "someone,host,1;"));

  const std::size_t sent = sim.Received().size();
  UiTest_ClearPopups();
  UiTest_QueueConfirm(false);
  EXPECT_EQ(BuildMultiSegment(0), kMswBuildStopped);
  ASSERT_EQ(UiTest_Popups().size(), 1u);
  const std::string question = UiTest_Popups()[0].text;
  EXPECT_NE(question.find("'Fennick-EXCEL-2.0' is not loaded"), std::string::npos) << question;
  EXPECT_NE(question.find(".~lock.trials.xlsx#"), std::string::npos) << question;
  EXPECT_EQ(Log().status.back(), "User break");
  const std::vector<std::string> rx = sim.Received();
  for (std::size_t i = sent; i < rx.size(); ++i) EXPECT_EQ(rx[i].find("ARB"), std::string::npos) << rx[i];
  EXPECT_FALSE(FileExists(dir.File("Elsewhere.wv")));

  UiTest_ClearPopups();
  UiTest_QueueConfirm(true);
  ASSERT_EQ(BuildMultiSegment(0), 1) << Log().lines.back();
  EXPECT_EQ(UiTest_Popups().size(), 1u);
  EXPECT_EQ(Log().status.back(), "Done without the report.");
  EXPECT_EQ(ReadFileBytes(book_), ReadFileBytes(original_));
}

TEST_F(MultiSegmentTest, PlaybackCommandsAddressTheRecordsPath) {
  MultiSegmentRecord& m = AddWaveform();
  m.bbPath = 2;
  ASSERT_EQ(VisaDev_Write(0, "OUTP2:STAT ON; *OPC?"), 1);
  ASSERT_EQ(ApplyMswSettings(0, 5, 3, 2, 1, 16.0, 0), 1);
  ASSERT_EQ(TriggerMsw(0), 1);
  int segment = -1;
  ASSERT_EQ(QueryMswSegment(0, &segment), 1);
  EXPECT_EQ(segment, 5);
  EXPECT_TRUE(InOrder(sim.Received(), {
      "OUTP2:STAT?", "OUTP2:STAT OFF; *OPC?", "SOUR2:BB:ARB:SEQ RETR; *OPC?", "SOUR2:BB:ARB:TRIG:SMOD NEXT; *OPC?",
      "SOUR2:BB:ARB:TRIG:SOUR INT; *OPC?", "SOUR2:BB:ARB:WSEG:NEXT 5; *OPC?", "SOUR2:BB:ARB:TRIG:ARM:EXEC; *OPC?",
      "SOUR2:BB:ARB:TRIG:EXT:DELAY 16.000000; *OPC?", "SOUR2:BB:ARB:TRIG:RMOD?", "OUTP2:STAT ON; *OPC?",
      "SOUR2:BB:ARB:TRIG:EXEC; *OPC?", "SOUR2:BB:ARB:TRIG:RMOD?", "SOUR2:BB:ARB:WSEG?"}));
}

// The trigger settings go out with the RF output off; when switching it on
// again fails, it is left off and the status says so.
TEST_F(MultiSegmentTest, AFailedRfOnAfterTheSettingsLeavesTheOutputOff) {
  AddWaveform();
  VisaDev_Close(0);
  SimOptions opt;
  opt.faults = {"opc0@OUTP1:STAT ON"};
  ASSERT_TRUE(sim.Start(opt)) << sim.Error();
  ASSERT_EQ(VisaDev_Open(0, sim.SocketResource().c_str()), 1);
  ASSERT_EQ(VisaDev_Write(0, "OUTP1:STAT ON"), 1);
  EXPECT_EQ(ApplyMswSettings(0, 0, 1, 1, 1, 0.0, 0), 0);
  EXPECT_EQ(Log().status.back(), "Error: SCPI Error. See Log. RF Output Is Off.");
  char state[32] = "";
  ASSERT_EQ(VisaDev_Query(0, "OUTP1:STAT?", state, sizeof state), 1);
  EXPECT_STREQ(state, "0");
}

TEST_F(MultiSegmentTest, ALostInstrumentFailsEveryOperation) {
  SequenceRecord& a = AddSequence("Search", 100e6, 200, "search.wv");
  MultiSegmentRecord& m = AddWaveform();
  SequenceSegment(m, 0, a, "1");
  sim.Stop();
  EXPECT_EQ(BuildMultiSegment(0), 0);
  EXPECT_TRUE(Log().HasStatus("Error: SCPI Error. See Log."));
  int segment = 7;
  EXPECT_EQ(QueryMswSegment(0, &segment), 0);
  EXPECT_EQ(segment, -1);
  EXPECT_EQ(TriggerMsw(0), 0);
  EXPECT_EQ(ApplyMswSettings(0, 0, 2, 2, 1, 0.0, 0), 0);

  VisaDev_Close(0);
  Log().Clear();
  EXPECT_EQ(TriggerMsw(0), 0);
  EXPECT_TRUE(Log().Has("*** No instrument connection established."));
  EXPECT_TRUE(Log().HasStatus("Error: No Instrument Connected."));
}

// A step that fails ends the build with an error on the status line rather
// than the step that was running.
TEST_F(MultiSegmentTest, FailedStepsEndTheBuildWithAnErrorStatus) {
  SequenceRecord& a = AddSequence("Search", 100e6, 200, "search.wv");
  MultiSegmentRecord& m = AddWaveform();
  SequenceSegment(m, 0, a, "1");
  BlankSegment(m, 1, 2e-3);
  auto restart = [&](const std::string& fault) {
    VisaDev_Close(0);
    SimOptions opt;
    opt.faults = {fault};
    ASSERT_TRUE(sim.Start(opt)) << sim.Error();
    ASSERT_EQ(VisaDev_Open(0, sim.SocketResource().c_str()), 1);
    Log().Clear();
  };
  // The link lost while the segment files are deleted, after the assembly.
  restart("drop@MMEM:DEL 'D:\\MSWaveFile-seg1.wv'");
  EXPECT_EQ(BuildMultiSegment(0), 0);
  EXPECT_TRUE(Log().Has("*** Cannot delete MSW file segment on instrument."));
  EXPECT_TRUE(Log().HasStatus("Assembling Waveform..."));
  EXPECT_EQ(Log().status.back(), "Error: SCPI Error. See Log.");

  // A repetition count no sequencer takes, read after the segment was built
  // (whose build ended in its own success text).
  restart("late=0");
  m.sequencerMode = 1;
  m.segments[0].repetition = "65536";
  EXPECT_EQ(BuildMultiSegment(0), 0);
  EXPECT_TRUE(Log().Has("*** Invalid repetition count specified for MSW segment 0."));
  EXPECT_EQ(Log().status.back(), "Building Segment failed.");
}

// A stop asked for (here by a termination request) while the instrument
// assembles, or while the ARB starts: the build ends as a user break, with
// no ARB started after an assembly that never finished, and never "Done.".
const char* g_stopOnStatus = nullptr;
void StopOnStatus(const char* text) {
  CapturedLog::OnStatus(text);
  if (g_stopOnStatus && std::string(text) == g_stopOnStatus) Exit_Request(kExitQuiet);
}

TEST_F(MultiSegmentTest, AStopWhileAssemblingOrStartingIsAUserBreak) {
  SequenceRecord& a = AddSequence("Search", 100e6, 200, "search.wv");
  MultiSegmentRecord& m = AddWaveform();
  SequenceSegment(m, 0, a, "1");
  Log_SetStatusSink(&StopOnStatus);
  for (const char* at : {"Assembling Waveform...", "Starting ARB..."}) {
    VisaDev_Close(0);
    SimOptions opt;
    if (std::string(at) == "Assembling Waveform...") opt.faults = {"reply=40@BB:PROG:MCOD:ARB:WSEG?"};
    ASSERT_TRUE(sim.Start(opt)) << sim.Error();
    ASSERT_EQ(VisaDev_Open(0, sim.SocketResource().c_str()), 1);
    Log().Clear();
    Exit_Reset();
    g_stopOnStatus = at;
    EXPECT_EQ(BuildMultiSegment(0), kMswBuildStopped) << at;
    g_stopOnStatus = nullptr;
    Exit_Reset();
    EXPECT_TRUE(Log().Has(" *** User break for MSW 'Radar MSW'")) << at;
    EXPECT_EQ(Log().status.back(), "User break") << at;
    if (std::string(at) == "Assembling Waveform...") {
      const std::vector<std::string> got = sim.Received();
      EXPECT_EQ(std::count(got.begin(), got.end(), "SOUR1:BB:ARB:STAT ON"), 0) << "no ARB after an unfinished assembly";
    }
  }
  Log_SetStatusSink(&CapturedLog::OnStatus);
}

TEST(MultiSegmentRules, BlankRepetitionsRepetitionCountsNamesAndComments) {
  EXPECT_EQ(MswBlankRepetitions(1000000, 1), 1600);  // 625 samples played 1,600 times
  EXPECT_EQ(MswBlankRepetitions(1000, 1), 1);
  EXPECT_EQ(MswBlankRepetitions(1000000, 0), 1);
  EXPECT_EQ(MswBlankRepetitions(1031, 1), 1);        // a prime: no divisor
  EXPECT_EQ(MswBlankRepetitions(1026, 1), 2);        // 513 x 2
  // Blanks of 65,536 k samples, k > 512: the count stays within the
  // sequencer's 65,535 and still divides the blank into parts above 512.
  EXPECT_EQ(MswBlankRepetitions(393216000, 1), 64000);  // 6,144 samples played 64,000 times
  for (int64_t k : {513, 600, 1000, 6000, 32767}) {
    const int64_t blank = 65536 * k;
    const int32_t r = MswBlankRepetitions(blank, 1);
    EXPECT_LE(r, kMswMaxRepetitions) << k;
    EXPECT_GT(r, 1) << k;
    EXPECT_EQ(blank % r, 0) << k;
    EXPECT_GT(blank / r, kMswMinSegmentSamples) << k;
  }

  int32_t n = -1;
  EXPECT_TRUE(MswRepetitionCount("65535", &n));
  EXPECT_EQ(n, 65535);
  EXPECT_TRUE(MswRepetitionCount(" rand(7, 7, 1)", &n));
  EXPECT_EQ(n, 7);
  EXPECT_FALSE(MswRepetitionCount("65536", &n));
  EXPECT_FALSE(MswRepetitionCount("-1", &n));
  EXPECT_FALSE(MswRepetitionCount("stagger(1,2,1)", &n));
  EXPECT_FALSE(MswRepetitionCount("many", &n));

  EXPECT_EQ(MswInstrumentDirectory(0, "D:\\", "/hdd/", "D:\\"), "D:");
  EXPECT_EQ(MswInstrumentDirectory(0, "D:\\", "/hdd/", "waves\\"), "D:\\waves");
  EXPECT_EQ(MswInstrumentDirectory(1, "/var/user/", "/hdd/", "D:\\"), "/hdd");
  EXPECT_EQ(MswInstrumentDirectory(1, "/var/user/", "msw/", "D:\\"), "/var/user/msw");
  EXPECT_EQ(MswSegmentName("/hdd", 1, "T", 3), "/hdd/T-seg3.wv");
  EXPECT_EQ(MswFileName("D:", 0, "T", ".wvs"), "D:\\T.wvs");
  EXPECT_EQ(MswPathSuffix(0), "");
  EXPECT_EQ(MswPathSuffix(2), "2");

  EXPECT_EQ(MswSanitizeComment("a{b}\tc\n"), "a(b) c ");
  EXPECT_EQ(MswSanitizeComment(std::string(1500, 'x').c_str()).size(), 1023u);
}

}  // namespace
}  // namespace cz::test
