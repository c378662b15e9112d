// Report driver: the text report of a real build line by line, and the
// key-by-key protocol against a fake report module (order, values, the
// combined result, one mod_error per failure, the close retry).
#include "editors/ReportDriver.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "app/Log.h"
#include "app/PluginLoader.h"
#include "app/PulseRecord.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "app/TempFiles.h"
#include "engine/EngineHost.h"
#include "engine/Tessera_GenerateWave.h"
#include "platform/CLocale.h"
#include "tests/support/SmallDisk.h"
#include "tests/support/TempDir.h"
#include "wavelib/WaveLib.h"

namespace {

// ---- a fake report module -------------------------------------------------

struct FakeReport {
  std::vector<std::string> calls;  // "key=value" in calling order
  std::set<std::string> failing;   // keys answered with 0
  std::string reason = "fake reason";
  int errorCalls = 0;
} g_fake;

int FakeSetValue(const char* tag, const void* value) {
  std::string call = tag;
  const std::string t = tag;
  if (t == "set_clock" || (t.rfind("set_", 0) == 0 && t.find("name") == std::string::npos &&
                           t.find("comment") == std::string::npos && t.find("filename") == std::string::npos &&
                           t != "set_seqno" && t != "set_repcnt" && t != "set_repno" && t != "set_msegno" &&
                           t != "set_pprfmode"))
    call += "=" + cz::FormatC("%g", *static_cast<const double*>(value));
  else if (t == "set_seqno" || t == "set_repcnt" || t == "set_repno" || t == "set_msegno" || t == "set_pprfmode")
    call += "=" + std::to_string(*static_cast<const int*>(value));
  else
    call += "=" + std::string(static_cast<const char*>(value));
  g_fake.calls.push_back(call);
  return g_fake.failing.count(t) ? 0 : 1;
}

int FakeSetParam(const char* key, void* value) {
  const std::string k = key;
  g_fake.calls.push_back(k + "=" + (k == "filename" ? std::string(static_cast<const char*>(value))
                                                    : std::to_string(*static_cast<int*>(value))));
  return 1;
}

void FakeError(char* text) {
  ++g_fake.errorCalls;
  std::snprintf(text, CZ_MOD_ERROR_SIZE, "%s", g_fake.reason.c_str());
}

class ReportDriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProject();
    Report_OpenOrClose(0, "", "", nullptr, 0);
    ReportPluginIndex = -1;
    g_fake = FakeReport{};
    ModuleCount = 2;
    ModuleTable[0] = ModuleEntry{};
    ModuleTable[0].Name = "Fake";
    ModuleTable[0].Type = "report-x";  // contains "report", but is not exactly it
    ModuleTable[0].SetValue = FakeSetValue;
    ModuleTable[1] = ModuleEntry{};
    ModuleTable[1].Name = "Fake";
    ModuleTable[1].Type = "report";
    ModuleTable[1].SetValue = FakeSetValue;
    ModuleTable[1].ReportSetParam = FakeSetParam;
    ModuleTable[1].Error = FakeError;
    SequenceRecord& s = SequenceTable[0];
    InitSequenceRecord(&s);
    s.name = "Seq";
    s.comment = "{REPORT PLUGIN: T1}";
    s.waveFile = "out.wv";
    s.clock = 1e8;
    SequenceCount = 1;
  }
  void TearDown() override {
    ReportPluginIndex = -1;
    Report_OpenOrClose(0, "", "", nullptr, 0);
    ModuleCount = 0;
    ResetProject();
  }
  int Open(const std::string& path) {
    return Report_OpenOrClose(1, path.c_str(), "Fake", error_, sizeof error_);
  }
  static ReportEntryValues Values() {
    ReportEntryValues v;
    v.entryNumber = 3;
    v.segmentNumber = 1;
    v.repetition = 2;
    v.repetitions = 4;
    v.delay = 1e-6;
    v.on = 2e-6;
    v.prfOrPri = 1000.0;
    v.pulseStart = 5e-6;
    v.timeOffset = 0.25;
    return v;
  }
  cz::test::TempDir dir_;
  char error_[kReportErrorTextSize] = "";
};

TEST_F(ReportDriverTest, OpenHeaderEntryCloseInProtocolOrder) {
  SequenceTable[0].reportColumns[REPORT_DELAY] = 1;
  SequenceTable[0].reportColumns[REPORT_FILLERS] = 1;
  ASSERT_EQ(Open(dir_.File("r.xlsx")), 1);
  EXPECT_EQ(ReportPluginIndex, 1);  // the "report-x" module is never chosen
  Report_WriteHeader(0);
  ReportEntryValues v = Values();
  v.droop = -20.0 * std::log10(1.0);  // a negative zero travels as 0
  ASSERT_EQ(Report_AddEntry(error_, 0, -1, v), 1);
  ASSERT_EQ(Report_OpenOrClose(0, "", "", error_, sizeof error_), 1);
  EXPECT_EQ(ReportPluginIndex, -1);

  const std::vector<std::string> expected = {
      "filename=" + dir_.File("r.xlsx"), "initreport=",
      "en_pdelay=1", "en_prise=0", "en_pon=0", "en_pfall=0", "en_poff=0", "en_pprfpri=0", "en_fofs=0",
      "en_phofs=0", "en_levon=0", "en_levoff=0", "en_levdroop=0", "en_fmdev=0", "en_startt=0", "en_seqno=0",
      "en_repcnt=0", "en_repno=0", "en_msegno=0",
      "initentry=", "set_seqname=Seq", "set_comment={REPORT PLUGIN: T1}", "set_filename=out.wv",
      "set_clock=1e+08", "set_pdelay=1e-06", "set_prise=0", "set_pon=2e-06", "set_pfall=0", "set_poff=0",
      "set_pprfpri=1000", "set_fofs=0", "set_phofs=0", "set_levon=0", "set_levoff=0", "set_levdroop=0",
      "set_fmdev=0", "set_startt=5e-06", "set_absstartt=0.250005", "set_seqno=3", "set_repcnt=4", "set_repno=2",
      "set_msegno=1", "set_pprfmode=0", "finishentry=", "closereport="};
  EXPECT_EQ(g_fake.calls, expected);
  EXPECT_EQ(g_fake.errorCalls, 0);
}

TEST_F(ReportDriverTest, MultiSegmentKeysOnlyWithAValidSegment) {
  MultiSegmentRecord& m = MultiSegmentTable[0];
  m.name = "MS";
  m.comment = "c";
  m.targetName = "TRIAL-2";
  MultiSegmentCount = 1;
  ASSERT_EQ(Open(dir_.File("r.xlsx")), 1);
  ASSERT_EQ(Report_AddEntry(error_, 0, 0, Values()), 1);
  const auto at = std::find(g_fake.calls.begin(), g_fake.calls.end(), "set_clock=1e+08");
  ASSERT_NE(at, g_fake.calls.end());
  EXPECT_EQ(*(at + 1), "set_mseg_name=MS");
  EXPECT_EQ(*(at + 3), "set_mseg_filename=TRIAL-2");
  g_fake.calls.clear();
  ASSERT_EQ(Report_AddEntry(error_, 0, 1, Values()), 1);  // index beyond the table
  for (const std::string& c : g_fake.calls) EXPECT_EQ(c.find("set_mseg_"), std::string::npos) << c;
  // An unknown sequence reports nothing and fails.
  g_fake.calls.clear();
  EXPECT_EQ(Report_AddEntry(error_, 1, -1, Values()), 0);
  EXPECT_TRUE(g_fake.calls.empty());
}

TEST_F(ReportDriverTest, FailuresFetchTheReasonOnce) {
  ASSERT_EQ(Open(dir_.File("r.xlsx")), 1);
  // A failing key mid-entry: every later key is still sent, the entry fails.
  g_fake.failing = {"set_pon"};
  g_fake.calls.clear();
  EXPECT_EQ(Report_AddEntry(error_, 0, -1, Values()), 0);
  EXPECT_EQ(g_fake.calls.back(), "finishentry=");
  EXPECT_EQ(g_fake.errorCalls, 1);
  EXPECT_STREQ(error_, "fake reason");

  // A failing "initentry" ends the entry at once.
  g_fake.failing = {"initentry"};
  g_fake.calls.clear();
  EXPECT_EQ(Report_AddEntry(error_, 0, -1, Values()), 0);
  EXPECT_EQ(g_fake.calls.size(), 1u);
  EXPECT_EQ(g_fake.errorCalls, 2);

  // A failing close ends the report all the same: its reason is reported
  // once, and the next close has nothing left to call.
  g_fake.failing = {"closereport"};
  g_fake.reason = std::string(2000, 'x');
  EXPECT_EQ(Report_OpenOrClose(0, "", "", error_, 8), 0);
  EXPECT_STREQ(error_, "xxxxxxx");
  EXPECT_EQ(ReportPluginIndex, -1);
  g_fake.failing.clear();
  g_fake.calls.clear();
  EXPECT_EQ(Report_OpenOrClose(0, "", "", error_, sizeof error_), 1);
  EXPECT_TRUE(g_fake.calls.empty());
  EXPECT_EQ(ReportPluginIndex, -1);

  // A failing "initreport" fails the open and leaves nothing to close: the
  // next build with the report off closes without a call to the plug-in,
  // and the next report starts it again.
  g_fake.failing = {"initreport"};
  g_fake.reason = "COM Error: no template";
  EXPECT_EQ(Open(dir_.File("r.xlsx")), 0);
  EXPECT_STREQ(error_, "COM Error: no template");
  EXPECT_EQ(ReportPluginIndex, -1);
  g_fake.failing.clear();
  g_fake.calls.clear();
  EXPECT_EQ(Report_OpenOrClose(0, "", "Fake", error_, sizeof error_), 1) << error_;
  EXPECT_TRUE(g_fake.calls.empty());
  EXPECT_EQ(Open(dir_.File("r.xlsx")), 1);
  EXPECT_EQ(g_fake.calls.back(), "initreport=");
  EXPECT_EQ(ReportPluginIndex, 1);
}

TEST_F(ReportDriverTest, UnknownPluginOpensNothingAndPathsAreKept) {
  EXPECT_EQ(Report_OpenOrClose(1, "/tmp/x.xlsx", "fake", error_, sizeof error_), 1);  // names are exact
  EXPECT_EQ(ReportPluginIndex, -1);
  EXPECT_TRUE(g_fake.calls.empty());
  EXPECT_EQ(Report_CurrentSwitch(), 1);
  EXPECT_STREQ(Report_CurrentPluginName(), "fake");
  // Close with nothing open succeeds and only stores its arguments.
  EXPECT_EQ(Report_OpenOrClose(0, "", "", error_, sizeof error_), 1);
  EXPECT_EQ(Report_CurrentSwitch(), 0);
  EXPECT_TRUE(g_fake.calls.empty());
  // Stored "\" and drive paths are absolute and stay as they are.
  EXPECT_EQ(Report_OpenOrClose(1, "\\server\\share\\r.xls", "Nothing", error_, sizeof error_), 1);
  EXPECT_STREQ(Report_CurrentPath(), "\\server\\share\\r.xls");
  EXPECT_EQ(Report_OpenOrClose(1, "E:\\r.xls", "Nothing", error_, sizeof error_), 1);
  EXPECT_STREQ(Report_CurrentPath(), "E:\\r.xls");
}

TEST_F(ReportDriverTest, TextReportThatCannotBeOpenedFails) {
  EXPECT_EQ(Report_OpenOrClose(1, dir_.File("no/such/dir/r.txt").c_str(), "", error_, sizeof error_), 0);
  EXPECT_NE(std::string(error_).find("Cannot open report file"), std::string::npos);
  EXPECT_FALSE(Report_TextFileOpen());
  EXPECT_EQ(Report_OpenOrClose(1, std::string(300, 'a').c_str(), "", error_, sizeof error_), 0);
  EXPECT_NE(std::string(error_).find("too long"), std::string::npos);

  // A report file the user made read-only is not added to, and the message
  // says why; one behind a link is added to where the link points.
  const std::string locked = dir_.File("locked.txt");
  ASSERT_TRUE(cz::test::WriteFileBytes(locked, "old lines\n"));
  ASSERT_EQ(chmod(locked.c_str(), 0444), 0);
  EXPECT_EQ(Report_OpenOrClose(1, locked.c_str(), "", error_, sizeof error_), 0);
  EXPECT_NE(std::string(error_).find("read-only"), std::string::npos) << error_;
  EXPECT_FALSE(Report_TextFileOpen());
  EXPECT_EQ(cz::test::ReadFileBytes(locked), "old lines\n");
  ASSERT_TRUE(cz::test::WriteFileBytes(dir_.File("real.txt"), "old lines\n"));
  ASSERT_EQ(symlink("real.txt", dir_.File("link.txt").c_str()), 0);
  EXPECT_EQ(Report_OpenOrClose(1, dir_.File("link.txt").c_str(), "", error_, sizeof error_), 1) << error_;
  EXPECT_TRUE(Report_TextFileOpen());
  EXPECT_EQ(Report_OpenOrClose(0, "", "", error_, sizeof error_), 1) << error_;
  struct stat st {};
  ASSERT_EQ(lstat(dir_.File("link.txt").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
}

// ---- the text report of a real build --------------------------------------

class TextReportBuildTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char error[kWaveLibErrorTextBytes];
    ASSERT_EQ(WaveLib_Init(error, 2.2), 1);
    ASSERT_TRUE(g_Settings.TempDir.AssignExact(dir_.path()));
    ResetProject();
    ModuleCount = 0;
    ReportPluginIndex = -1;
    SetEngineHost(nullptr);
    SetEngineBuildHost(nullptr);
    Report_InstallEngineHooks();
    Log_SetLogSink([](const char*) {});
  }
  void TearDown() override {
    Report_OpenOrClose(0, "", "", nullptr, 0);
    Log_SetLogSink(nullptr);
    SetEngineHost(nullptr);
    SetEngineBuildHost(nullptr);
    CloseTempFiles();
    ResetProject();
  }
  cz::test::TempDir dir_;
};

// One sequence of a pulse repeated twice and a filler, with a text report.
void MakeReportedSequence(const std::string& waveFile) {
  PulseRecord& p = PulseTable[PulseCount++];
  InitPulseRecord(&p);
  p.name = "P";
  p.onTime = 10e-6;
  p.offTime = 10e-6;
  SequenceRecord& s = SequenceTable[SequenceCount++];
  InitSequenceRecord(&s);
  s.name = "S";
  s.clock = 100e6;
  s.waveFile = waveFile;
  s.entries[0].pulseId = static_cast<int32_t>(p.id);
  s.entries[0].repetitions = 2;
  s.entries[1].fillerType = 0;
  s.entries[1].fillerTime = 50e-6;
  s.reportOn = 1;
  for (int flag : {REPORT_ENTRY_NUMBER, REPORT_REP_NUMBER, REPORT_DELAY, REPORT_ON, REPORT_START_TIME,
                   REPORT_FILLERS})
    s.reportColumns[flag] = 1;
}

TEST_F(TextReportBuildTest, TitleEntryAndFillerLines) {
  MakeReportedSequence(dir_.File("out.wv"));
  const std::string report = dir_.File("report.txt");
  ASSERT_TRUE(cz::test::WriteFileBytes(report, "earlier\n"));  // a report is appended to

  char error[kReportErrorTextSize] = "";
  ASSERT_EQ(Report_OpenOrClose(1, report.c_str(), "", error, sizeof error), 1) << error;
  Report_WriteHeader(0);
  ASSERT_EQ(BuildWaveform(0, 0, 1, -1, 1, 0.0), 1);
  EXPECT_FALSE(Report_TextFileOpen());  // the build closed the report

  // Every repetition is reported, with or without jitter, each with its
  // own start.
  EXPECT_EQ(cz::test::ReadFileBytes(report),
            "earlier\n"
            "   Entry     Pulse     Delay        On        Tstart  \n"
            "       1         1     0.000    10.000         0.000  \n"
            "       1         2     0.000    10.000        20.000  \n"
            "#  2  BLANK FILLER 10.000 us\n");
}

// The default pulse's on level of 0 dB and droop of 0 dB (each -20 log10
// of 1.0, a negative zero) read 0.000, and so does any value that rounds to
// zero in its column.
TEST_F(TextReportBuildTest, ZeroLevelsReadZeroWithoutASign) {
  MakeReportedSequence(dir_.File("out.wv"));
  SequenceRecord& s = SequenceTable[0];
  std::fill(std::begin(s.reportColumns), std::end(s.reportColumns), 0);
  for (int flag : {REPORT_REP_NUMBER, REPORT_PHASE, REPORT_LEVEL_ON, REPORT_DROOP}) s.reportColumns[flag] = 1;
  PulseTable[0].startPhase = -0.0004;  // degrees
  const std::string report = dir_.File("levels.txt");
  char error[kReportErrorTextSize] = "";
  ASSERT_EQ(Report_OpenOrClose(1, report.c_str(), "", error, sizeof error), 1) << error;
  Report_WriteHeader(0);
  ASSERT_EQ(BuildWaveform(0, 0, 1, -1, 1, 0.0), 1);
  EXPECT_EQ(cz::test::ReadFileBytes(report),
            "   Pulse     Phase    Lev On     Droop  \n"
            "       1     0.000     0.000     0.000  \n"
            "       2     0.000     0.000     0.000  \n");
}

// A text report on a full disk: the first entry fails the build with the
// system's reason, logged and kept for the build's message; a failing
// close fails the same way.
TEST_F(TextReportBuildTest, FullDiskFailsTheBuildWithTheSystemsReason) {
  cz::test::SmallDisk disk;
  CZ_SKIP_WITHOUT(disk);
  static std::vector<std::string> lines;
  lines.clear();
  Log_SetLogSink([](const char* line) { lines.push_back(line); });
  MakeReportedSequence(dir_.File("out.wv"));
  const std::string report = disk.File("report.txt");
  ASSERT_TRUE(disk.Fill());
  const std::string reason = "Cannot write report file '" + report + "': No space left on device.";

  char error[kReportErrorTextSize] = "";
  ASSERT_EQ(Report_OpenOrClose(1, report.c_str(), "", error, sizeof error), 1) << error;
  Report_WriteHeader(0);
  EXPECT_EQ(BuildWaveform(0, 0, 1, -1, 1, 0.0), 0);
  EXPECT_FALSE(Report_TextFileOpen());
  EXPECT_EQ(Report_TextFailure(), reason);
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                          [&](const std::string& l) { return l.find("*** " + reason) != std::string::npos; }));
  EXPECT_EQ(cz::test::ReadFileBytes(report), "");

  // Buffered text that only the close can write.
  ASSERT_EQ(Report_OpenOrClose(1, report.c_str(), "", error, sizeof error), 1) << error;
  EXPECT_STREQ(Report_TextFailure(), "") << "a new report starts clean";
  Report_WriteColumn(8, "Entry");
  EXPECT_EQ(Report_OpenOrClose(0, "", "", error, sizeof error), 0);
  EXPECT_EQ(std::string(error), reason);
  disk.Empty();
}

}  // namespace
