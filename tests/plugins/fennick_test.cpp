// Fennick report plug-in, loaded as the host loads it: its identity, the
// report protocol against a template workbook written by the test and read
// back from the saved file, the report routines' cells, and the error texts
// of a missing template, bad tags and unknown routines.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/sheet/Workbook.h"
#include "plugins/include/cadenza_plugin.h"
#include "tests/support/TempDir.h"

namespace {

using cz::sheet::Workbook;

struct Fennick {
  void* handle = nullptr;
  mod_text_fn type = nullptr, ver = nullptr, name = nullptr, author = nullptr;
  mod_init_fn init = nullptr;
  mod_shutdown_fn shutdown = nullptr;
  mod_error_fn error = nullptr;
  mod_setparam_fn setparam = nullptr;
  mod_setvalue_fn setvalue = nullptr;
};

// Loaded once for the whole program, as in the host; every test starts
// with mod_init and ends with mod_shutdown.
const Fennick& Lib() {
  static Fennick f = [] {
    Fennick m;
    m.handle = dlopen((cz::test::BuildDir() + "/Plugins/fennick.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    if (m.handle == nullptr) return m;
    auto bind = [&](auto& fn, const char* sym) { fn = reinterpret_cast<std::decay_t<decltype(fn)>>(dlsym(m.handle, sym)); };
    bind(m.type, "mod_type");
    bind(m.ver, "mod_ver");
    bind(m.name, "mod_name");
    bind(m.author, "mod_author");
    bind(m.init, "mod_init");
    bind(m.shutdown, "mod_shutdown");
    bind(m.error, "mod_error");
    bind(m.setparam, "mod_setparam");
    bind(m.setvalue, "mod_setvalue");
    return m;
  }();
  return f;
}

// One reported repetition's values, sent as the host sends them.
struct Entry {
  std::string comment = "{REPORT PLUGIN: T7}";
  std::string filename = "wave.wv";
  std::string msegFilename = "ms.wv";
  double pdelay = 0.0, pon = 10e-6, poff = 0.0, pprfpri = 1000.0, fmdev = 0.0, absstartt = 0.0;
  int seqno = 1, repcnt = 1, repno = 1, msegno = 1;
  int pprfmode = -1;  // sent when 0 (PRF in Hz) or 1 (PRI in s)
};

class FennickTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(Lib().handle, nullptr) << dlerror();
    ASSERT_EQ(Lib().init(), 1);
    Error();  // no text left from an earlier test
  }
  void TearDown() override { Lib().shutdown(); }

  static int Value(const char* key, const void* value = "") { return Lib().setvalue(key, value); }
  static std::string Error() {
    char buf[CZ_MOD_ERROR_SIZE];
    Lib().error(buf);
    return buf;
  }
  int InitReport(const std::string& path) {
    Lib().setparam("filename", const_cast<char*>(path.c_str()));
    return Value("initreport");
  }
  static int Send(const Entry& e) {
    if (!Value("initentry")) return 0;
    int ok = Value("set_comment", e.comment.c_str()) & Value("set_filename", e.filename.c_str()) &
             Value("set_mseg_filename", e.msegFilename.c_str()) & Value("set_pdelay", &e.pdelay) &
             Value("set_pon", &e.pon) & Value("set_poff", &e.poff) & Value("set_pprfpri", &e.pprfpri) &
             Value("set_fmdev", &e.fmdev) & Value("set_absstartt", &e.absstartt) & Value("set_seqno", &e.seqno) &
             Value("set_repcnt", &e.repcnt) & Value("set_repno", &e.repno) & Value("set_msegno", &e.msegno);
    if (e.pprfmode >= 0) ok &= Value("set_pprfmode", &e.pprfmode);
    return ok & Value("finishentry");
  }

  // Template: data from row 3, column 2; definitions in rows 3..12 of sheet 1.
  std::string Template(int firstRow = 3, int sheets = 4) {
    Workbook book;
    auto& defs = *book.Sheet(1);
    defs.SetNumber(1, 1, firstRow);
    defs.SetText(2, 1, "002");
    struct Def { int sheet; const char* tag; int routine; };
    const Def rows[] = {{0, "T7", 1}, {2, "T7", 7}, {2, "T7", 4}, {3, "T1", 1}, {4, "T8", 8},
                        {2, "T4", 4}, {3, "BAD", 12}, {2, "TR", 2}, {2, "AB", 7}, {2, "XY", 7}};
    for (int i = 0; i < 10; ++i) {
      defs.SetNumber(3 + i, 1, rows[i].sheet);
      defs.SetText(3 + i, 2, rows[i].tag);
      defs.SetNumber(3 + i, 3, rows[i].routine);
    }
    for (int s = 2; s <= sheets; ++s) book.AddSheet("Sheet" + std::to_string(s));
    std::string error;
    EXPECT_TRUE(book.SaveAs(path_, &error)) << error;
    return path_;
  }
  Workbook Saved() {
    Workbook book;
    std::string error;
    EXPECT_TRUE(book.Load(path_, &error)) << error;
    return book;
  }

  cz::test::TempDir dir_;
  std::string path_ = dir_.File("report.xlsx");
};

TEST_F(FennickTest, Identity) {
  char text[CZ_MOD_TEXT_SIZE];
  Lib().type(text);
  EXPECT_STREQ(text, "report");
  Lib().name(text);
  EXPECT_STREQ(text, "Fennick-EXCEL-1.0");
  Lib().ver(text);
  EXPECT_STREQ(text, "1.4.0");
  Lib().author(text);
  EXPECT_STREQ(text, "Torvane");
}

TEST_F(FennickTest, ReportWrittenIntoTheTemplateAndReadBack) {
  ASSERT_EQ(InitReport(Template()), 1) << Error();
  // Routine 7 on sheet 2: one row per segment at its first repetition.
  Entry e;
  e.msegno = 2;
  e.repcnt = 3;
  e.pon = 12.34e-6;
  e.pprfpri = 999.6;
  ASSERT_EQ(Send(e), 1) << Error();
  e.repno = 2;
  e.pon = 1.0;  // later repetitions write nothing
  ASSERT_EQ(Send(e), 1);
  // Routine 4 on sheet 2: a pause at exactly 1 ns of on time.
  Entry pause;
  pause.comment = "{REPORT PLUGIN: T4}";
  pause.msegno = 3;
  pause.pon = 0.000000001;
  pause.poff = 0.0125;
  ASSERT_EQ(Send(pause), 1) << Error();
  ASSERT_EQ(Value("closereport"), 1) << Error();

  const Workbook book = Saved();
  const auto& s2 = *book.Sheet(2);
  EXPECT_EQ(s2.TextAt(4, 2), "2");     // row r + msegno - 1, column c
  EXPECT_EQ(s2.TextAt(4, 3), "3");     // repetition count
  EXPECT_EQ(s2.TextAt(4, 4), "12.3");  // on time, us
  EXPECT_EQ(s2.TextAt(4, 5), "1000");  // rounded PRF
  EXPECT_EQ(s2.TextAt(5, 6), "12.5");  // pause "12.50" ms, stored as a number
  EXPECT_EQ(s2.TextAt(5, 2), "");
  EXPECT_EQ(book.Sheet(1)->TextAt(3, 2), "T7");  // the definitions stay
}

TEST_F(FennickTest, RoutinesGroupRepetitionsAndSegments) {
  ASSERT_EQ(InitReport(Template(1)), 1) << Error();
  // Routine 1 on sheet 3: three repetitions in segment 2 make row r + 1.
  for (int rep = 1; rep <= 3; ++rep) {
    Entry e;
    e.comment = "{REPORT PLUGIN: T1}";
    e.msegno = 2;
    e.repcnt = 3;
    e.repno = rep;
    e.pprfpri = 0.0012345;  // x 1e6, rounded: 1235
    ASSERT_EQ(Send(e), 1) << Error();
  }
  // Routine 8 on sheet 4: segments 1, 2, 3 give the groups 1, 2, 2.
  const int reps[] = {2, 1, 3};
  for (int seg = 1; seg <= 3; ++seg)
    for (int rep = 1; rep <= reps[seg - 1]; ++rep) {
      Entry e;
      e.comment = "{REPORT PLUGIN: T8}";
      e.msegno = seg;
      e.repcnt = reps[seg - 1];
      e.repno = rep;
      e.pprfpri = 0.001;
      ASSERT_EQ(Send(e), 1) << Error();
    }
  ASSERT_EQ(Value("closereport"), 1) << Error();

  const Workbook book = Saved();
  const auto& s3 = *book.Sheet(3);
  EXPECT_EQ(s3.TextAt(2, 2), "2");
  EXPECT_EQ(s3.TextAt(2, 3), "3");
  EXPECT_EQ(s3.TextAt(2, 4), "10");  // "10.0" us, stored as a number
  EXPECT_EQ(s3.TextAt(2, 5), "1235");
  const auto& s4 = *book.Sheet(4);
  EXPECT_EQ(s4.TextAt(1, 2), "1");
  EXPECT_EQ(s4.TextAt(1, 3), "2");
  EXPECT_EQ(s4.TextAt(1, 5), "1000");
  EXPECT_EQ(s4.TextAt(2, 2), "2");
  EXPECT_EQ(s4.TextAt(2, 3), "3");  // the counter restarted when segment 3 began
}

// Told whether the value is a PRF or a PRI, the routines write the PRI in us
// (routine 1) and the PRF in Hz (routines 7 and 8) for either: a 52 us period
// given as 19230.769 Hz in segment 1 and as 52e-6 s in segment 2.
TEST_F(FennickTest, PrfAndPriColumnsForEitherForm) {
  ASSERT_EQ(InitReport(Template(1)), 1) << Error();
  for (const char* tag : {"T1", "T7", "T8"})
    for (int seg = 1; seg <= 2; ++seg) {
      Entry e;
      e.comment = std::string("{REPORT PLUGIN: ") + tag + "}";
      e.msegno = seg;
      e.pprfmode = seg == 1 ? 0 : 1;
      e.pprfpri = seg == 1 ? 19230.769 : 52e-6;
      ASSERT_EQ(Send(e), 1) << Error();
    }
  ASSERT_EQ(Value("closereport"), 1) << Error();
  const Workbook book = Saved();
  for (int row : {1, 2}) {
    EXPECT_EQ(book.Sheet(3)->TextAt(row, 5), "52") << "routine 1, segment " << row;
    EXPECT_EQ(book.Sheet(2)->TextAt(row, 5), "19231") << "routine 7, segment " << row;
  }
  EXPECT_EQ(book.Sheet(4)->TextAt(1, 5), "19231") << "routine 8";
}

TEST_F(FennickTest, TagsInTheComment) {
  ASSERT_EQ(InitReport(Template()), 1) << Error();
  const std::string invalid = "Empty or invalid tag in waveform comment. Use {REPORT PLUGIN: <type>}.";
  Entry e;
  e.comment = "{REPORT PLUGIN:   AB  }";
  EXPECT_EQ(Send(e), 1) << Error();
  e.comment = "{x} more REPORT PLUGIN: XY}";
  EXPECT_EQ(Send(e), 1) << Error();
  for (const char* bad : {"", "{REPORT PLUGIN: A}", "{REPORT PLUGIN: AB", "REPORT PLUGIN: AB}", "{REPORT PLUGIN AB}"}) {
    e.comment = bad;
    EXPECT_EQ(Send(e), 0) << bad;
    EXPECT_EQ(Error(), invalid) << bad;
  }
  e.comment = "{REPORT PLUGIN: ab}";
  EXPECT_EQ(Send(e), 0);
  EXPECT_EQ(Error(), "Tag from waveform comment was not found 'ab'.");
  e.comment = "{REPORT PLUGIN: BAD}";
  EXPECT_EQ(Send(e), 0);
  EXPECT_EQ(Error(), "Invalid routine ID specified (12) for tag 'BAD'.");
  EXPECT_EQ(Error(), "");  // handed out once
  // "finishentry" straight after "initentry": no comment.
  ASSERT_EQ(Value("initentry"), 1);
  EXPECT_EQ(Value("finishentry"), 0);
  EXPECT_EQ(Error(), invalid);
  // Trial sheets: a file name without a trial number fails before any write.
  e.comment = "{REPORT PLUGIN: TR}";
  e.filename = "wave.wv";
  EXPECT_EQ(Send(e), 0);
  EXPECT_EQ(Error(), "Missing trial number in file name. Append TRIAL-<no> to 'WAVE.WV'.");
  e.filename = "x_trial-31.wv";
  EXPECT_EQ(Send(e), 0);
  EXPECT_EQ(Error(), "Invalid trial number set in file name. Use range 1-30.");
  e.filename = "x_trial-b.wv";
  EXPECT_EQ(Send(e), 0);
  EXPECT_EQ(Error(), "Invalid trial number in file name. Append TRIAL-<no> to 'X_TRIAL-B.WV'.");
  // Trial 7 names sheet 2 + 7 - 1 = 8, which this workbook lacks.
  e.filename = "x_trial-7b.wv";
  EXPECT_EQ(Send(e), 0);
  EXPECT_EQ(Error().rfind("COM Error: Sheet 8 does not exist", 0), 0u);
  EXPECT_EQ(Value("closereport"), 1);
}

TEST_F(FennickTest, TemplateAndSessionErrors) {
  // A missing template fails with the server's reason; the next report starts afresh.
  EXPECT_EQ(InitReport(dir_.File("absent.xlsx")), 0);
  EXPECT_EQ(Error().rfind("COM Error: Cannot open workbook", 0), 0u);
  ASSERT_EQ(InitReport(Template()), 1) << Error();
  EXPECT_EQ(InitReport(Template()), 0);
  EXPECT_EQ(Error(), "COM EXCEL instance already created.");
  EXPECT_EQ(Value("InitReport"), 1);   // tags are case-sensitive: nothing happens
  EXPECT_EQ(Value("endreport"), 1);
  // After "endreport" a new session starts. A start that fails leaves
  // nothing open and the template untouched; the next start succeeds.
  const std::string bad = Template(-1);
  const std::string before = cz::test::ReadFileBytes(bad);
  ASSERT_EQ(InitReport(bad), 0);
  EXPECT_EQ(Error(), "Invalid data offset specified on first sheet.");
  EXPECT_EQ(Value("closereport"), 0);
  EXPECT_EQ(Error(), "EXCEL instance not created.");
  EXPECT_EQ(cz::test::ReadFileBytes(bad), before);
  ASSERT_EQ(InitReport(Template()), 1) << Error();
  EXPECT_EQ(Value("closereport"), 1) << Error();
  // A report without a file name could never be saved: refused at the start.
  EXPECT_EQ(InitReport(""), 0);
  EXPECT_EQ(Error(), "No report file name given.");
  EXPECT_EQ(Value("closereport"), 0);
  EXPECT_EQ(Error(), "EXCEL instance not created.");
  ASSERT_EQ(InitReport(Template()), 1) << Error();
  EXPECT_EQ(Value("closereport"), 1) << Error();
  // Without the session object every key fails.
  Lib().shutdown();
  EXPECT_EQ(Value("initentry"), 0);
  EXPECT_EQ(Error(), "COM EXCEL interface class not created.");
  ASSERT_EQ(Lib().init(), 1);
}

TEST_F(FennickTest, BurstsOfThreeOnTheTrialSheet) {
  Workbook book;
  auto& defs = *book.Sheet(1);
  defs.SetNumber(1, 1, 3);
  defs.SetNumber(2, 1, 1);
  defs.SetNumber(3, 1, 2);
  defs.SetText(3, 2, "R6");
  defs.SetNumber(3, 3, 6);
  book.AddSheet("Trial 1");
  book.AddSheet("Trial 2");
  std::string why;
  ASSERT_TRUE(book.SaveAs(path_, &why)) << why;
  ASSERT_EQ(InitReport(path_), 1) << Error();

  Entry e;
  e.comment = "{REPORT PLUGIN: R6}";
  e.filename = "radar_TRIAL-2.wv";  // sheet 2 + 2 - 1
  e.pon = 0.0;                       // entry 1: a pause
  e.pdelay = 0.0051;
  ASSERT_EQ(Send(e), 1) << Error();
  // Entries 3, 4 and 5 (three pulses each) share row r + 1.
  for (int seq = 3; seq <= 5; ++seq)
    for (int rep = 1; rep <= 3; ++rep) {
      Entry b;
      b.comment = e.comment;
      b.filename = e.filename;
      b.seqno = seq;
      b.repcnt = 3;
      b.repno = rep;
      b.fmdev = 2.5e6;
      b.poff = rep * 10e-6;
      ASSERT_EQ(Send(b), 1) << Error();
    }
  ASSERT_EQ(Value("closereport"), 1) << Error();

  const Workbook saved = Saved();
  const auto& trial = *saved.Sheet(3);
  EXPECT_EQ(trial.TextAt(3, 7), "5");                    // pause delay, ms
  EXPECT_EQ(trial.TextAt(24, 4), "radar_TRIAL-2.wv");    // file name below the block
  EXPECT_EQ(trial.TextAt(1, 1), "Bursts in Trial: 3");
  EXPECT_EQ(trial.TextAt(4, 2), "3");
  EXPECT_EQ(trial.TextAt(4, 4), "2");                    // deviation, whole MHz
  EXPECT_EQ(trial.TextAt(4, 5), "10");                   // gap after pulse 1, us
  EXPECT_EQ(trial.TextAt(4, 6), "20");                   // gap after pulse 2, us
  EXPECT_EQ(trial.TextAt(5, 2), "");
}

// Data from row 3, column 2; R2, R3, R5 and R9 run routines 2, 3, 5 and 9
// on sheet 2 (trial n: sheet n + 1), R8 routine 8 on sheet 5. Every data sheet holds stale values
// inside and around the blocks that the trial routines clear.
class FennickRoutineTest : public FennickTest {
 protected:
  void SetUp() override {
    FennickTest::SetUp();
    Workbook book;
    auto& defs = *book.Sheet(1);
    defs.SetNumber(1, 1, 3);
    defs.SetNumber(2, 1, 2);
    const char* tags[] = {"R2", "R3", "R5", "R9", "R8"};
    const int routines[] = {2, 3, 5, 9, 8};
    for (int i = 0; i < 5; ++i) {
      defs.SetNumber(3 + i, 1, i < 4 ? 2 : 5);
      defs.SetText(3 + i, 2, tags[i]);
      defs.SetNumber(3 + i, 3, routines[i]);
    }
    for (int s = 2; s <= 5; ++s) {
      auto& sheet = book.AddSheet("Trial " + std::to_string(s - 1));
      for (int row = 3; row <= 23; ++row)
        for (int col = 2; col <= 9; ++col) sheet.SetText(row, col, "stale");
    }
    std::string error;
    ASSERT_TRUE(book.SaveAs(path_, &error)) << error;
    ASSERT_EQ(InitReport(path_), 1) << Error();
  }
  static Entry Of(const char* tag, int seg, int seq, int reps, int rep) {
    Entry e;
    e.comment = std::string("{REPORT PLUGIN: ") + tag + "}";
    e.msegno = seg;
    e.seqno = seq;
    e.repcnt = reps;
    e.repno = rep;
    return e;
  }
  // Row of a sheet from column 2 (c) to column 9 (c + 7), "|"-joined.
  static std::string Row(const cz::sheet::Worksheet& s, int row) {
    std::string out;
    for (int col = 2; col <= 9; ++col) out += (col > 2 ? "|" : "") + s.TextAt(row, col);
    return out;
  }
};

TEST_F(FennickRoutineTest, Routine2WritesTheDelayOfEveryRepetition) {
  // A single repetition selects the trial sheet and writes nothing.
  Entry one = Of("R2", 1, 1, 1, 1);
  one.filename = "radar_trial-2.wv";
  ASSERT_EQ(Send(one), 1) << Error();
  const double delays[] = {0.0051, 0.0102, 0.0999};  // whole ms: 5, 10, 99
  for (int rep = 1; rep <= 3; ++rep) {
    Entry e = Of("R2", 1, 2, 3, rep);
    e.filename = "radar_trial-2.wv";
    e.pdelay = delays[rep - 1];
    ASSERT_EQ(Send(e), 1) << Error();
  }
  ASSERT_EQ(Value("closereport"), 1) << Error();
  const Workbook book = Saved();
  const auto& trial = *book.Sheet(3);  // sheet 2 + trial 2 - 1
  EXPECT_EQ(trial.TextAt(3, 8), "5");  // row r + repno - 1, column c + 6
  EXPECT_EQ(trial.TextAt(4, 8), "10");
  EXPECT_EQ(trial.TextAt(5, 8), "99");
  for (int row = 6; row <= 22; ++row) EXPECT_EQ(trial.TextAt(row, 8), "") << row;  // rows r .. r + 19 cleared
  EXPECT_EQ(trial.TextAt(23, 8), "stale");
  EXPECT_EQ(trial.TextAt(3, 7), "stale");
  EXPECT_EQ(trial.TextAt(25, 5), "radar_trial-2.wv");  // (r + 22, c + 3)
  EXPECT_EQ(book.Sheet(2)->TextAt(3, 8), "stale");
}

TEST_F(FennickRoutineTest, Routine3WritesOneBurstRowPerSegment) {
  const double gaps[] = {10.5e-6, 20.5e-6, 30.5e-6};
  for (int seg = 1; seg <= 2; ++seg)
    for (int rep = 1; rep <= 4 - seg; ++rep) {  // three pulses in segment 1, two in segment 2
      Entry e = Of("R3", seg, 1, 4 - seg, rep);
      e.msegFilename = "MSW_Trial-1.wv";
      e.pon = seg * 12.34e-6;
      e.fmdev = seg * 2.5e6;
      e.poff = gaps[rep - 1] + (seg - 1) * 30e-6;
      ASSERT_EQ(Send(e), 1) << Error();
    }
  ASSERT_EQ(Value("closereport"), 1) << Error();
  const Workbook book = Saved();
  const auto& trial = *book.Sheet(2);
  // Segment number, pulse number, on time, deviation, gaps after pulses 1 and 2.
  EXPECT_EQ(Row(trial, 3), "1|3|12.3|2|10|20|stale|stale");
  EXPECT_EQ(Row(trial, 4), "2|2|24.7|5|40||stale|stale");
  for (int row = 5; row <= 22; ++row) EXPECT_EQ(Row(trial, row), "stale||||||stale|stale") << row;
  EXPECT_EQ(Row(trial, 23), "stale|stale|stale|stale|stale|stale|stale|stale");
  EXPECT_EQ(trial.TextAt(1, 2), "Bursts in Trial: 2");  // (r - 2, c)
  EXPECT_EQ(trial.TextAt(24, 5), "MSW_Trial-1.wv");     // (r + 21, c + 3)
}

TEST_F(FennickRoutineTest, Routine5CountsPulsesAndShowsTheFirstMultiPulseEntry) {
  // Segment 1: entries 1 (one pulse), 2 (three) and 3 (two); segment 2
  // restarts the entry numbers with entry 1 of two pulses.
  struct Step { int seg, seq, reps; double prf; };
  const Step steps[] = {{1, 1, 1, 10.0}, {1, 2, 3, 1000.4}, {1, 3, 2, 7.0}, {2, 1, 2, 499.5}};
  for (const Step& st : steps)
    for (int rep = 1; rep <= st.reps; ++rep) {
      Entry e = Of("R5", st.seg, st.seq, st.reps, rep);
      e.pon = 2.5e-6;
      e.pprfpri = st.prf + (rep - 1) * 1000.0;
      ASSERT_EQ(Send(e), 1) << Error();
    }
  ASSERT_EQ(Value("closereport"), 1) << Error();
  const Workbook book = Saved();
  const auto& sheet = *book.Sheet(2);
  // Segment, running total of the multi-pulse entries, on time, then the
  // rounded PRF/PRI of each repetition of the first of them over "---".
  EXPECT_EQ(Row(sheet, 3), "1|5|2.5|1000|2000|3000|stale|stale");
  EXPECT_EQ(Row(sheet, 4), "2|2|2.5|500|1500|---|stale|stale");
  EXPECT_EQ(Row(sheet, 5), "stale|stale|stale|stale|stale|stale|stale|stale");
}

TEST_F(FennickRoutineTest, Routine9TimesBurstsFromTheTrialStart) {
  struct Step { int seg, reps; double start; };
  // Segment 1: one pulse starts the trial at 0.5 s; segments 2 and 3 are
  // bursts of three, in rows r + 2 / 3 and r + 3 / 3.
  const Step steps[] = {{1, 1, 0.5}, {2, 3, 0.5123}, {3, 3, 0.75}};
  for (const Step& st : steps)
    for (int rep = 1; rep <= st.reps; ++rep) {
      Entry e = Of("R9", st.seg, 1, st.reps, rep);
      e.msegFilename = "msw_TRIAL-3.wv";
      e.absstartt = st.start + (rep - 1) * 0.001;
      e.pon = 1.25e-6;
      e.fmdev = st.seg * 1e6;
      e.poff = rep * 10.5e-6;
      ASSERT_EQ(Send(e), 1) << Error();
    }
  ASSERT_EQ(Value("closereport"), 1) << Error();
  const Workbook book = Saved();
  const auto& trial = *book.Sheet(4);  // sheet 2 + trial 3 - 1
  // Pulse number, on time, deviation, gaps (us), ms since the trial start.
  EXPECT_EQ(Row(trial, 3), "stale|3|1.2|2|10|21|12|stale");
  EXPECT_EQ(Row(trial, 4), "stale|3|1.2|3|10|21|250|stale");
  for (int row = 5; row <= 22; ++row) EXPECT_EQ(Row(trial, row), "stale|||||||stale") << row;
  EXPECT_EQ(Row(trial, 23), "stale|stale|stale|stale|stale|stale|stale|stale");
  EXPECT_EQ(trial.TextAt(1, 2), "Bursts in Trial: 2");
  EXPECT_EQ(trial.TextAt(24, 5), "msw_TRIAL-3.wv");
  // A trial number outside 1-30 fails before any write.
  ASSERT_EQ(InitReport(path_), 1) << Error();
  Entry e = Of("R9", 2, 1, 3, 1);
  e.msegFilename = "msw_trial-0.wv";
  EXPECT_EQ(Send(e), 0);
  EXPECT_EQ(Error(), "Invalid trial number set in file name. Use range 1-30.");
  EXPECT_EQ(Value("closereport"), 1) << Error();
}

// A burst of three in segment 1 keeps its row: the trial starts afresh at
// the first repetition that segment 1 reports (here a single pulse, entry 1,
// which sets the trial's start), never at a later one.
TEST_F(FennickRoutineTest, Routine9KeepsTheBurstOfSegmentOne) {
  struct Step { int seg, seq, reps; double start; };
  const Step steps[] = {{1, 1, 1, 0.5}, {1, 2, 3, 0.505}, {2, 1, 1, 0.75}};
  for (const Step& st : steps)
    for (int rep = 1; rep <= st.reps; ++rep) {
      Entry e = Of("R9", st.seg, st.seq, st.reps, rep);
      e.msegFilename = "msw_TRIAL-1.wv";
      e.absstartt = st.start + (rep - 1) * 52e-6;
      e.pon = 10e-6;
      e.fmdev = 3e6;
      e.poff = rep == 1 ? 40e-6 : 50e-6;
      ASSERT_EQ(Send(e), 1) << Error();
    }
  ASSERT_EQ(Value("closereport"), 1) << Error();
  const Workbook book = Saved();
  const auto& trial = *book.Sheet(2);
  // Pulse number, on time, deviation, gaps after pulses 1 and 2 (us), ms
  // since the trial start.
  EXPECT_EQ(Row(trial, 3), "stale|3|10|3|40|50|5|stale");
  EXPECT_EQ(trial.TextAt(1, 2), "Bursts in Trial: 1");
}

// Every report starts with every routine's state as at load: routine 8's
// second report of the same sequence into a fresh template writes its group
// row again and counts from 1, routine 5 after another sequence's report
// totals only its own bursts. A report continued within one build (told by
// "continuereport") carries on from where it was closed.
TEST_F(FennickRoutineTest, EachReportStartsAfreshAndAContinuedOneCarriesOn) {
  const std::string fresh = cz::test::ReadFileBytes(path_);
  const auto report = [&](const char* tag, const std::vector<std::pair<int, int>>& entries, int segment) {
    for (const auto& [seq, reps] : entries)
      for (int rep = 1; rep <= reps; ++rep) {
        Entry e = Of(tag, segment, seq, reps, rep);
        e.pon = 2.5e-6;
        e.pprfmode = 0;
        e.pprfpri = 1000.0 * rep;
        ASSERT_EQ(Send(e), 1) << Error();
      }
    ASSERT_EQ(Value("closereport"), 1) << Error();
  };
  report("R8", {{1, 3}}, 1);
  ASSERT_TRUE(cz::test::WriteFileBytes(path_, fresh));
  ASSERT_EQ(InitReport(path_), 1) << Error();
  report("R8", {{1, 3}}, 1);
  // Group, count, on time, rate of the first repetition.
  EXPECT_EQ(Row(*Saved().Sheet(5), 3), "1|3|2.5|1000|stale|stale|stale|stale");

  ASSERT_EQ(InitReport(path_), 1) << Error();
  report("R5", {{1, 3}}, 1);
  ASSERT_TRUE(cz::test::WriteFileBytes(path_, fresh));
  ASSERT_EQ(InitReport(path_), 1) << Error();
  report("R5", {{1, 1}, {2, 3}}, 1);
  // Segment, total, on time, then the rates of entry 2 (the first burst).
  EXPECT_EQ(Row(*Saved().Sheet(2), 3), "1|3|2.5|1000|2000|3000|stale|stale");

  // Segment 1 reported, segment 2 not, segment 3 again into the same
  // template within one build: the reopened report keeps segment 1's group.
  ASSERT_TRUE(cz::test::WriteFileBytes(path_, fresh));
  ASSERT_EQ(InitReport(path_), 1) << Error();
  report("R8", {{1, 2}}, 1);
  int on = 1;
  Lib().setparam("continuereport", &on);
  ASSERT_EQ(InitReport(path_), 1) << Error();
  report("R8", {{1, 1}}, 3);
  EXPECT_EQ(Row(*Saved().Sheet(5), 3), "1|2|2.5|1000|stale|stale|stale|stale");
  EXPECT_EQ(Row(*Saved().Sheet(5), 4), "2|1|2.5|1000|stale|stale|stale|stale");
  // The next report, not continued, starts afresh: its first entry clears.
  ASSERT_EQ(InitReport(path_), 1) << Error();
  report("R8", {{1, 1}}, 3);
  EXPECT_EQ(Row(*Saved().Sheet(5), 3), "||||stale|stale|stale|stale");
  EXPECT_EQ(Row(*Saved().Sheet(5), 4), "2|1|2.5|1000|stale|stale|stale|stale");
}

}  // namespace
