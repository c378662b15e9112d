// The report driver with the real report plug-in, loaded by the program's
// plug-in loader: a build reports into a template workbook that is read
// back from the saved file (also one written by another program, checked
// with openpyxl and xmllint), the plug-in's reasons reach the caller, and a
// failed start blocks no later build.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/Log.h"
#include "app/PluginLoader.h"
#include "app/PulseRecord.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "app/TempFiles.h"
#include "editors/ReportDriver.h"
#include "engine/EngineHost.h"
#include "engine/Tessera_GenerateWave.h"
#include "platform/sheet/Workbook.h"
#include "tests/support/OutsideReaders.h"
#include "tests/support/TempDir.h"
#include "wavelib/WaveLib.h"

namespace {

constexpr const char* kPlugin = "Fennick-EXCEL-1.0";

class ReportPluginTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    SetPluginFolder(cz::test::BuildDir() + "/Plugins");
    LoadPlugins();
  }
  static void TearDownTestSuite() { ShutdownPlugins(); }

  void SetUp() override {
    ASSERT_GE(FindModuleByName(kPlugin), 0);
    char error[kWaveLibErrorTextBytes];
    ASSERT_EQ(WaveLib_Init(error, 2.2), 1);
    ASSERT_TRUE(g_Settings.TempDir.AssignExact(dir_.path()));
    ResetProject();
    SetEngineHost(nullptr);
    SetEngineBuildHost(nullptr);
    Report_InstallEngineHooks();
    Log_SetLogSink([](const char*) {});

    // Template: data from row 2, column 1; tag "T7" runs routine 7 on sheet 2.
    cz::sheet::Workbook book;
    book.Sheet(1)->SetNumber(1, 1, 2);
    book.Sheet(1)->SetNumber(2, 1, 1);
    book.Sheet(1)->SetNumber(3, 1, 2);
    book.Sheet(1)->SetText(3, 2, "T7");
    book.Sheet(1)->SetNumber(3, 3, 7);
    book.AddSheet("Report");
    std::string why;
    ASSERT_TRUE(book.SaveAs(template_, &why)) << why;

    PulseRecord& p = PulseTable[PulseCount++];
    InitPulseRecord(&p);
    p.name = "P";
    p.onTime = 10e-6;
    p.offTime = 10e-6;
    SequenceRecord& s = SequenceTable[SequenceCount++];
    InitSequenceRecord(&s);
    s.name = "S";
    s.comment = "Radar {REPORT PLUGIN: T7}";
    s.clock = 100e6;
    ASSERT_TRUE(s.waveFile.AssignExact(dir_.File("out.wv")));
    s.entries[0].pulseId = static_cast<int32_t>(p.id);
    s.entries[0].repetitions = 3;
  }
  void TearDown() override {
    Report_OpenOrClose(0, "", "", nullptr, 0);
    ReportPluginIndex = -1;
    Log_SetLogSink(nullptr);
    SetEngineHost(nullptr);
    SetEngineBuildHost(nullptr);
    CloseTempFiles();
    ResetProject();
  }
  int Open(const std::string& path) { return Report_OpenOrClose(1, path.c_str(), kPlugin, error_, sizeof error_); }

  cz::test::TempDir dir_;
  std::string template_ = dir_.File("report.xlsx");
  char error_[kReportErrorTextSize] = "";
};

TEST_F(ReportPluginTest, BuildReportsIntoTheTemplate) {
  ASSERT_EQ(Open(template_), 1) << error_;
  Report_WriteHeader(0);
  ASSERT_EQ(BuildWaveform(0, 0, 1, -1, 1, 0.0), 1);
  EXPECT_EQ(ReportPluginIndex, -1);  // the build closed the report

  cz::sheet::Workbook book;
  std::string why;
  ASSERT_TRUE(book.Load(template_, &why)) << why;
  const cz::sheet::Worksheet& report = *book.Sheet(2);
  EXPECT_EQ(report.TextAt(2, 1), "1");      // segment number
  EXPECT_EQ(report.TextAt(2, 2), "3");      // repetitions
  EXPECT_EQ(report.TextAt(2, 3), "10");     // on time, us
  EXPECT_EQ(report.TextAt(2, 4), "50000");  // PRF of a 20 us repetition, Hz
}

TEST_F(ReportPluginTest, PluginReasonsReachTheCaller) {
  EXPECT_EQ(Open(dir_.File("absent.xlsx")), 0);
  EXPECT_EQ(std::string(error_).rfind("COM Error: Cannot open workbook", 0), 0u) << error_;

  ASSERT_EQ(Open(template_), 1) << error_;
  SequenceTable[0].comment = "no tag";
  ReportEntryValues v;
  v.repetition = 1;
  v.repetitions = 1;
  EXPECT_EQ(Report_AddEntry(error_, 0, -1, v), 0);
  EXPECT_STREQ(error_, "Empty or invalid tag in waveform comment. Use {REPORT PLUGIN: <type>}.");
  SequenceTable[0].comment = "{REPORT PLUGIN: Q9}";
  EXPECT_EQ(Report_AddEntry(error_, 0, -1, v), 0);
  EXPECT_STREQ(error_, "Tag from waveform comment was not found 'Q9'.");
  EXPECT_EQ(Report_OpenOrClose(0, "", "", error_, sizeof error_), 1) << error_;
}

TEST_F(ReportPluginTest, AnEmptyFileFieldIsRefusedBeforeAnythingIsOpened) {
  // The Report dialog's File field left empty (or blank), with the plug-in
  // and with the text report: no workbook is opened, no file is made.
  for (const char* plugin : {kPlugin, ""}) {
    for (const char* path : {"", "   "}) {
      error_[0] = '\0';
      EXPECT_EQ(Report_OpenOrClose(1, path, plugin, error_, sizeof error_), 0) << plugin;
      EXPECT_STREQ(error_, "No report file name given.") << plugin;
      EXPECT_EQ(ReportPluginIndex, -1);
      EXPECT_FALSE(Report_TextFileOpen());
      EXPECT_EQ(Report_OpenOrClose(0, "", "", error_, sizeof error_), 1) << error_;
    }
  }
  // The next report with a file name starts as usual.
  ASSERT_EQ(Open(template_), 1) << error_;
  EXPECT_EQ(Report_OpenOrClose(0, "", "", error_, sizeof error_), 1) << error_;
}

TEST_F(ReportPluginTest, ReportKeepsTheFormattingOfAnotherProgramsTemplate) {
  const std::string book = dir_.File("styled.xlsx"), original = dir_.File("original.xlsx");
  std::string out;
  ASSERT_EQ(cz::test::RunXlsxReaders("make-report-template " + cz::test::Quoted(book), &out), 0) << out;
  ASSERT_TRUE(cz::test::WriteFileBytes(original, cz::test::ReadFileBytes(book)));
  ASSERT_EQ(Open(book), 1) << error_;
  Report_WriteHeader(0);
  ASSERT_EQ(BuildWaveform(0, 0, 1, -1, 1, 0.0), 1);
  EXPECT_EQ(ReportPluginIndex, -1);
  EXPECT_EQ(cz::test::RunXlsxReaders("check-report " + cz::test::Quoted(book) + " " + cz::test::Quoted(original), &out),
            0)
      << out;
}

TEST_F(ReportPluginTest, AFailedStartBlocksNoLaterBuild) {
  // A missing template, then a template without definitions' offsets.
  cz::sheet::Workbook bad;
  bad.Sheet(1)->SetNumber(1, 1, -1);
  std::string why;
  ASSERT_TRUE(bad.SaveAs(dir_.File("bad.xlsx"), &why)) << why;
  for (const std::string& path : {dir_.File("absent.xlsx"), dir_.File("bad.xlsx")}) {
    ASSERT_EQ(Open(path), 0) << path;
    // The next Generate with the report off: its close succeeds, the build runs.
    EXPECT_EQ(Report_OpenOrClose(0, path.c_str(), kPlugin, error_, sizeof error_), 1) << error_;
    EXPECT_EQ(BuildWaveform(0, 0, 1, -1, 1, 0.0), 1);
    // The next report starts and reports.
    ASSERT_EQ(Open(template_), 1) << error_;
    Report_WriteHeader(0);
    ASSERT_EQ(BuildWaveform(0, 0, 1, -1, 1, 0.0), 1);
    EXPECT_EQ(ReportPluginIndex, -1);
  }
  cz::sheet::Workbook book;
  ASSERT_TRUE(book.Load(template_, &why)) << why;
  EXPECT_EQ(book.Sheet(2)->TextAt(2, 2), "3");
}

// Builds into the styled template of xlsx_readers.py (counting routine 1 on
// "Counts", the trial routines on "Trial 1" to "Trial 3"), read back with
// openpyxl. The pulse: 2.5 ms delay, 1 us edges, 10 us on, 40 us off.
class TrialReportTest : public ReportPluginTest {
 protected:
  void SetUp() override {
    ReportPluginTest::SetUp();
    std::string out;
    ASSERT_EQ(cz::test::RunXlsxReaders("make-trial-template " + cz::test::Quoted(book_), &out), 0) << out;
    ASSERT_TRUE(cz::test::WriteFileBytes(original_, cz::test::ReadFileBytes(book_)));
    PulseRecord& p = PulseTable[0];
    p.delay = 2.5e-3;
    p.riseTime = p.fallTime = 1e-6;
    p.onTime = 10e-6;
    p.offTime = 40e-6;
  }
  // One Generate with the report tag: open, header, build (which closes).
  void Generate(const char* tag, const std::string& waveFile) {
    SequenceRecord& s = SequenceTable[0];
    s.comment = std::string("Radar {REPORT PLUGIN: ") + tag + "}";
    ASSERT_TRUE(s.waveFile.AssignExact(waveFile));
    ASSERT_EQ(Open(book_), 1) << error_;
    Report_WriteHeader(0);
    ASSERT_EQ(BuildWaveform(0, 0, 1, -1, 1, 0.0), 1);
    EXPECT_EQ(ReportPluginIndex, -1);
  }
  // openpyxl's values of sheet, "REF VALUE ..." (None: empty).
  ::testing::AssertionResult Cells(const std::string& sheet, const std::string& checks) {
    std::string out;
    if (cz::test::RunXlsxReaders("report-cells " + cz::test::Quoted(book_) + " '" + sheet + "' " + checks, &out) == 0)
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << out;
  }
  ::testing::AssertionResult Kept() {
    std::string out;
    if (cz::test::RunXlsxReaders("check-trial-kept " + cz::test::Quoted(book_) + " " + cz::test::Quoted(original_),
                                 &out) == 0)
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << out;
  }
  std::string book_ = dir_.File("trials.xlsx");
  std::string original_ = dir_.File("trials-original.xlsx");
};

// An entry of three repetitions without jitter: routine 1 counts all three
// (the count cell is written at the third) and routine 2 writes the delay
// of each repetition on the trial sheet.
TEST_F(TrialReportTest, EveryRepetitionReachesTheWorkbook) {
  const std::string wave = dir_.File("TRIAL-1 pulses.wv");
  Generate("R1", wave);
  // Segment, count, on time (us), PRI (us).
  EXPECT_TRUE(Cells("Counts", "B3 1 C3 3 D3 10 E3 2552"));
  Generate("R2", wave);
  // The delay of each repetition in whole ms, in rows r .. r + 2 of column
  // c + 6; the rest of the column cleared; the file name below the block.
  EXPECT_TRUE(Cells("Trial 1", "H3 2 H4 2 H5 2 H6 None E25 '" + wave + "'"));
  EXPECT_TRUE(Kept());
}

// The trial number is the file name's own, in either path style: a folder
// that names another trial, or a year, is no trial number.
TEST_F(TrialReportTest, TheTrialNumberComesFromTheFileNameNotItsFolder) {
  for (const char* folder : {"trial-2", "Trial-2025 campaign"})
    ASSERT_TRUE(std::filesystem::create_directory(dir_.File(folder)));
  Generate("R2", dir_.File("trial-2/TRIAL-1 x.wv"));
  EXPECT_TRUE(Cells("Trial 1", "H3 2 H4 2 H5 2"));
  EXPECT_TRUE(Cells("Trial 2", "H4 stale E25 None"));
  std::string stored = dir_.File("trial-2/TRIAL-3 z.wv");
  std::replace(stored.begin(), stored.end(), '/', '\\');
  Generate("R2", stored);
  EXPECT_TRUE(Cells("Trial 3", "H3 2 H4 2 H5 2"));
  EXPECT_TRUE(Cells("Trial 2", "H4 stale E25 None"));
  const std::string year = dir_.File("Trial-2025 campaign/TRIAL-1 y.wv");
  Generate("R2", year);
  EXPECT_TRUE(Cells("Trial 1", "H3 2 H4 2 H5 2 E25 '" + year + "'"));
  EXPECT_TRUE(Kept());
}

// A waveform file chosen in the file dialog whose name holds a '\' (part of
// the name on this host): the trial number before it is the file's own, and
// the report lands on that trial's sheet; a '\' before "TRIAL-" in the name
// leaves the number as it is.
TEST_F(TrialReportTest, AFileNameHoldingABackslashKeepsItsTrialNumber) {
  const std::string wave = dir_.File("TRIAL-2 v1\\v2.wv");
  Generate("R2", wave);
  EXPECT_TRUE(Cells("Trial 2", "H3 2 H4 2 H5 2 E25 '" + wave + "'"));
  const std::string after = dir_.File("run\\TRIAL-3 v2.wv");
  Generate("R2", after);
  EXPECT_TRUE(Cells("Trial 3", "H3 2 H4 2 H5 2 E25 '" + after + "'"));
  EXPECT_TRUE(Cells("Trial 1", "E25 None"));
  EXPECT_TRUE(Kept());
}

// A workbook whose save cannot be written (the file was made read-only
// while the report ran): the failed close is reported once, ends the
// plug-in's session and drops the unsaved workbook. A Generate with the
// report off closes nothing, the next report starts and saves normally,
// and shutting the plug-in down writes nothing over the blocked file.
TEST_F(ReportPluginTest, AFailedSaveEndsTheReportAndBlocksNoLaterReport) {
  const std::string blocked = dir_.File("blocked.xlsx");
  ASSERT_TRUE(cz::test::WriteFileBytes(blocked, cz::test::ReadFileBytes(template_)));
  const std::string before = cz::test::ReadFileBytes(blocked);

  std::vector<std::string> log;
  static std::vector<std::string>* g_lines = nullptr;
  g_lines = &log;
  Log_SetLogSink([](const char* line) { g_lines->emplace_back(line); });
  ASSERT_EQ(Open(blocked), 1) << error_;
  ASSERT_EQ(chmod(blocked.c_str(), 0444), 0);
  Report_WriteHeader(0);
  EXPECT_EQ(BuildWaveform(0, 0, 1, -1, 1, 0.0), 0);
  EXPECT_EQ(ReportPluginIndex, -1);
  int reasons = 0;
  for (const std::string& l : log) reasons += l.find("Cannot write workbook") != std::string::npos;
  EXPECT_EQ(reasons, 1);
  EXPECT_EQ(cz::test::ReadFileBytes(blocked), before);

  // Generate with the report off: nothing to close, the build runs.
  EXPECT_EQ(Report_OpenOrClose(0, "", kPlugin, error_, sizeof error_), 1) << error_;
  EXPECT_EQ(BuildWaveform(0, 0, 1, -1, 1, 0.0), 1);

  // The next report starts (no "instance already created") and is saved.
  ASSERT_EQ(Open(template_), 1) << error_;
  Report_WriteHeader(0);
  ASSERT_EQ(BuildWaveform(0, 0, 1, -1, 1, 0.0), 1);
  EXPECT_EQ(ReportPluginIndex, -1);
  std::string out;
  EXPECT_EQ(cz::test::RunXlsxReaders("report-cells " + cz::test::Quoted(template_) + " Report B2 3", &out), 0)
      << out;
  Log_SetLogSink([](const char*) {});
  g_lines = nullptr;

  // The plug-in shut down and loaded again: the blocked file still holds
  // what it held, and the folder in its way is all that is there.
  std::filesystem::remove(blocked + ".part");
  ShutdownPlugins();
  LoadPlugins();
  EXPECT_EQ(cz::test::ReadFileBytes(blocked), before);
  ASSERT_GE(FindModuleByName(kPlugin), 0);
}

}  // namespace
