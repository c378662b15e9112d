// RF list operations without the page: row edits and the list end, Set
// Length, the three generator modes, the limit test, the text import and
// report, the remote path and the transfer-button rule.
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "editors/RfListEdit.h"
#include "engine/Random.h"
#include "instrument/InstrumentTypes.h"
#include "tests/support/TempDir.h"

namespace {

// Points 1..n of GHz values f0, f0 + 1, ... and levels -1, -2, ...
void MakeList(RfListPoints* p, int n, double f0 = 1.0) {
  for (int i = 0; i < n; ++i) p->Set(i, f0 + i, -1.0 - i);
}

// A random source that walks through fractions of the range in turn.
double g_fraction = 0.0;
double Stepping(double min, double max) {
  if (max < min) return min;
  const double v = min + (max - min) * g_fraction;
  g_fraction = g_fraction + 0.37 >= 1.0 ? g_fraction + 0.37 - 1.0 : g_fraction + 0.37;
  return v;
}
double Lowest(double min, double) { return min; }

TEST(RfListRows, DeleteInsertAndMoveKeepTheListEnd) {
  RfListPoints p;
  MakeList(&p, 1);
  ASSERT_TRUE(RfList_DeleteRow(&p, 1));
  EXPECT_EQ(p.InUse(), 0) << "deleting the only point empties the list";
  EXPECT_EQ(p.Get(kMaxRfListPoints - 1).level, 0.0);
  EXPECT_FALSE(RfList_DeleteRow(&p, 0));
  EXPECT_FALSE(RfList_DeleteRow(&p, kMaxRfListPoints + 1));

  RfListPoints q;
  MakeList(&q, 3);
  ASSERT_TRUE(RfList_InsertRow(&q, 3));
  EXPECT_EQ(q.InUse(), 4) << "insert on the last point duplicates it";
  EXPECT_EQ(q.Frequency(3), 3.0);
  EXPECT_EQ(q.Level(3), -3.0);
  EXPECT_FALSE(RfList_InsertRow(&q, kMaxRfListPoints));

  EXPECT_FALSE(RfList_MoveUp(&q, 1));
  EXPECT_FALSE(RfList_MoveDown(&q, kMaxRfListPoints));
  EXPECT_FALSE(RfList_MoveDown(&q, 4)) << "the entry below the last point ends the list";
  ASSERT_TRUE(RfList_MoveDown(&q, 1));
  EXPECT_EQ(q.Frequency(0), 2.0);
  EXPECT_EQ(q.Level(1), -1.0);
  ASSERT_TRUE(RfList_MoveUp(&q, 2));
  EXPECT_EQ(q.Frequency(0), 1.0);
  EXPECT_EQ(q.InUse(), 4);
}

TEST(RfListRows, SetLengthOverwritesAndEndsTheList) {
  RfListPoints p;
  MakeList(&p, 5);
  ASSERT_TRUE(RfList_SetLength(&p, 3));
  EXPECT_EQ(p.InUse(), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(p.Frequency(i), 1.0);
    EXPECT_EQ(p.Level(i), -30.0);
  }
  EXPECT_EQ(p.Frequency(3), 0.0);
  EXPECT_EQ(p.Level(3), -4.0) << "levels after the list stay";
  EXPECT_EQ(p.Level(4), -5.0);
  EXPECT_FALSE(RfList_SetLength(&p, kMaxRfListPoints + 1));
  EXPECT_EQ(p.InUse(), 3);
  ASSERT_TRUE(RfList_SetLength(&p, kMaxRfListPoints));
  EXPECT_EQ(p.InUse(), kMaxRfListPoints);
}

TEST(RfListFill, ModesStayOnTheGridAndWithinTheList) {
  RfListRecord r;
  MakeList(&r.points, 50);
  r.mode2 = 1;
  r.min2 = -12.5;
  EXPECT_EQ(RfList_Fill(&r, RFLIST_LEVEL, Stepping), RFLIST_FILL_DONE);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(r.points.Level(i), -12.5);
  EXPECT_EQ(r.points.Level(50), -100.0) << "the fill stops at the first frequency 0";

  r.mode2 = 2;
  r.min2 = -20.0;
  r.max2 = -10.0;
  r.step2 = 2.5;
  g_fraction = 0.0;
  EXPECT_EQ(RfList_Fill(&r, RFLIST_LEVEL, Stepping), RFLIST_FILL_DONE);
  for (int i = 0; i < 50; ++i) {
    const double k = (r.points.Level(i) + 20.0) / 2.5;
    EXPECT_EQ(k, static_cast<int>(k));
    EXPECT_GE(k, 0.0);
    EXPECT_LT(k, 4.0) << "the maximum itself is never produced";
  }
  // Step 0 (the record's default) must not divide by zero.
  r.step2 = 0.0;
  EXPECT_EQ(RfList_Fill(&r, RFLIST_LEVEL, Stepping), RFLIST_FILL_DONE);
  EXPECT_EQ(r.points.Level(7), -20.0);

  r.mode = 4;
  EXPECT_EQ(RfList_Fill(&r, RFLIST_FREQUENCY, Stepping), RFLIST_FILL_DONE);
  EXPECT_EQ(r.points.InUse(), 0) << "an unknown mode writes 0, which ends the list";
}

TEST(RfListFill, UniqueRandomUsesEachPoolValueOnce) {
  RfListRecord r;
  MakeList(&r.points, 5);
  r.mode = 3;
  r.min = 1.0;
  r.max = 2.0;
  r.step = 0.25;
  g_fraction = 0.1;
  ASSERT_EQ(RfList_Fill(&r, RFLIST_FREQUENCY, Stepping), RFLIST_FILL_DONE);
  std::multiset<double> got;
  for (int i = 0; i < 5; ++i) got.insert(r.points.Frequency(i));
  EXPECT_EQ(got, (std::multiset<double>{1.0, 1.25, 1.5, 1.75, 2.0}));

  RfListRecord six;
  MakeList(&six.points, 6, 10.0);
  six.mode = 3;
  six.min = 1.0;
  six.max = 2.0;
  six.step = 0.25;
  EXPECT_EQ(RfList_Fill(&six, RFLIST_FREQUENCY, Lowest), RFLIST_FILL_POOL_SHORT);
  for (int i = 0; i < 5; ++i) EXPECT_LE(six.points.Frequency(i), 2.0);
  EXPECT_EQ(six.points.Frequency(5), 15.0) << "the sixth entry keeps its value";

  // A pool larger than the list: the values come from the whole grid.
  RfListRecord wide;
  MakeList(&wide.points, 3);
  wide.mode2 = 3;
  wide.min2 = -140.0;
  wide.max2 = 30.0;
  wide.step2 = 0.001;
  RandomSeedUniform(12345);
  ASSERT_EQ(RfList_Fill(&wide, RFLIST_LEVEL, RandomInRange), RFLIST_FILL_DONE);
  EXPECT_TRUE(wide.points.Level(0) > -130.0 || wide.points.Level(1) > -130.0 || wide.points.Level(2) > -130.0);

  six.step = 0.0;
  RfListPoints before = six.points;
  EXPECT_EQ(RfList_Fill(&six, RFLIST_FREQUENCY, Lowest), RFLIST_FILL_NOTHING);
  six.step = 0.25;
  six.min = 2.0;
  EXPECT_EQ(RfList_Fill(&six, RFLIST_FREQUENCY, Lowest), RFLIST_FILL_NOTHING);
  EXPECT_TRUE(six.points == before);
}

// Grids whose quotient (b - a) / s falls a rounding below a whole number,
// (1.7 - 1.1) / 0.1 = 5.999999999999998: the pool still holds b, and a list
// as long as the grid is filled without "Not Enough Random Numbers".
TEST(RfListFill, UniqueRandomGridsHoldTheirMaximum) {
  struct Case {
    int set;
    double a, b, s;
    int points;
  };
  const Case cases[] = {{RFLIST_FREQUENCY, 1.1, 1.7, 0.1, 7},
                        {RFLIST_FREQUENCY, 0.1, 0.7, 0.1, 7},
                        {RFLIST_LEVEL, 0.1, 0.7, 0.1, 7},
                        {RFLIST_LEVEL, -30.3, -29.7, 0.1, 7},
                        {RFLIST_LEVEL, 1.0, 2.0, 0.3, 4}};  // 1.0 .. 1.9: no grid point at 2.0
  for (const Case& c : cases) {
    RfListRecord r;
    MakeList(&r.points, c.points, 10.0);
    int& mode = c.set == RFLIST_FREQUENCY ? r.mode : r.mode2;
    double& a = c.set == RFLIST_FREQUENCY ? r.min : r.min2;
    double& b = c.set == RFLIST_FREQUENCY ? r.max : r.max2;
    double& s = c.set == RFLIST_FREQUENCY ? r.step : r.step2;
    mode = 3, a = c.a, b = c.b, s = c.s;
    g_fraction = 0.2;
    ASSERT_EQ(RfList_Fill(&r, c.set, Stepping), RFLIST_FILL_DONE) << c.a << ".." << c.b;
    std::vector<double> got;
    for (int i = 0; i < c.points; ++i)
      got.push_back(c.set == RFLIST_FREQUENCY ? r.points.Frequency(i) : r.points.Level(i));
    std::sort(got.begin(), got.end());
    for (int i = 0; i < c.points; ++i) EXPECT_NEAR(got[static_cast<size_t>(i)], c.a + i * c.s, 1e-12) << c.a;
    if (c.points == 7) {
      EXPECT_EQ(got.back(), c.b) << "the maximum itself, " << c.a << ".." << c.b;
    }
    // One point more than the grid holds is still refused.
    MakeList(&r.points, c.points + 1, 10.0);
    EXPECT_EQ(RfList_Fill(&r, c.set, Stepping), RFLIST_FILL_POOL_SHORT) << c.a;
  }
  // A negative step (from a project file) makes no grid: nothing changes.
  RfListRecord r;
  MakeList(&r.points, 3, 10.0);
  r.mode = 3, r.min = 1.1, r.max = 1.7, r.step = -0.1;
  const RfListPoints before = r.points;
  EXPECT_EQ(RfList_Fill(&r, RFLIST_FREQUENCY, Stepping), RFLIST_FILL_NOTHING);
  EXPECT_TRUE(r.points == before);
}

TEST(RfListLimits, BoundsAreInclusiveAndDefaultsMatchNothing) {
  RfListRecord r;
  r.points.Set(0, 1.0, -10.0);
  EXPECT_FALSE(RfList_InLimits(r, 0));
  r.limMin = 1.0;
  r.limMax = 1.0;
  r.limMin2 = -10.0;
  r.limMax2 = -10.0;
  EXPECT_TRUE(RfList_InLimits(r, 0));
  r.limMax2 = -10.5;
  EXPECT_FALSE(RfList_InLimits(r, 0));
}

class RfListFileTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& text) {
    const std::string path = dir_.File(name);
    cz::test::WriteFileBytes(path, text);
    return path;
  }
  cz::test::TempDir dir_;
};

TEST_F(RfListFileTest, ImportReadsPairsSkipsBlankLinesAndKeepsLaterPoints) {
  RfListPoints p;
  MakeList(&p, 6, 5.0);
  int imported = 0, bad = 0;
  const std::string path = Write("ok.txt", "  1.5  -10 comment\r\n\r\n2.25\t-20.5\n3,-30\n4; 5.5e0\n");
  ASSERT_EQ(RfList_ImportText(path.c_str(), &p, &imported, &bad), RFLIST_IMPORT_DONE);
  EXPECT_EQ(imported, 4);
  EXPECT_EQ(p.Get(0).frequency, 1.5);
  EXPECT_EQ(p.Get(0).level, -10.0);
  EXPECT_EQ(p.Get(1).level, -20.5);
  EXPECT_EQ(p.Get(2).frequency, 3.0);
  EXPECT_EQ(p.Get(3).level, 5.5);
  EXPECT_EQ(p.Get(4).frequency, 9.0) << "points after the imported ones stay";

  EXPECT_EQ(RfList_ImportText(dir_.File("missing.txt").c_str(), &p, &imported, &bad), RFLIST_IMPORT_OPEN_FAILED);
}

TEST_F(RfListFileTest, ImportStopsAtABadLineWithItsNumber) {
  struct Case {
    const char* text;
    int line;
  };
  // Blank lines count; CR LF is one line end.
  const Case cases[] = {{"1 -10\r\n\r\n7\r\n2 -20\r\n", 3},
                        {"1 -10\nabc def\n", 2},
                        {"6.5 -10\n", 1},       // above 6 GHz
                        {"1 -131\n", 1},        // below -130 dBm
                        {"1 nan\n", 1},
                        {"0x1 -10\n", 1},
                        {"1.0x -10\n", 1},
                        // The report's form: a heading without its table, a
                        // plain line among report lines and the other way
                        // round, anything after the mark.
                        {"Project : p\nAuthor  : a\n", 1},
                        {"Project : p\n\n=====\n    1    1.5    -10.00    P\n2.5 -3\n", 5},
                        {"    1    1.5    -10.00    P\n2.5 -3\n", 2},
                        {"1.5 -10\n    2    2.25    -20.50    F\n", 2},
                        {"=====\n    1    1.5    -10.00    P x\n", 2},
                        {"=====\n    0    1.5    -10.00    P\n", 2}};
  for (const Case& c : cases) {
    RfListPoints p;
    int imported = 0, bad = 0;
    const std::string path = Write("bad.txt", c.text);
    EXPECT_EQ(RfList_ImportText(path.c_str(), &p, &imported, &bad), RFLIST_IMPORT_BAD_LINE) << c.text;
    EXPECT_EQ(bad, c.line) << c.text;
    EXPECT_EQ(imported, 0) << c.text;
    EXPECT_EQ(p.StoredCount(), 0) << "the points stay as they were: " << c.text;
  }
}

TEST_F(RfListFileTest, ImportTakesAtMostTheListSize) {
  std::string text;
  for (int i = 0; i < kMaxRfListPoints + 20; ++i) text += "1.0 -10\n";
  text += "bad line\n";
  RfListPoints p;
  int imported = 0, bad = 0;
  EXPECT_EQ(RfList_ImportText(Write("big.txt", text).c_str(), &p, &imported, &bad), RFLIST_IMPORT_DONE);
  EXPECT_EQ(imported, kMaxRfListPoints);
}

TEST_F(RfListFileTest, ReportMarksEachPointAndIsWrittenWhole) {
  RfListRecord r;
  r.name = "Hop";
  r.points.Set(0, 1.0, -10.0);
  r.points.Set(1, 2.5, -40.0);
  r.limMin = 0.5;
  r.limMax = 2.0;
  r.limMin2 = -20.0;
  r.limMax2 = 0.0;
  const RfListReportHeader h{"Proj", "Ann", "2026-12-09", "1.0"};
  const std::string expected =
      "Project : Proj\nAuthor  : Ann\nDate    : 2026-12-09\nVersion : 1.0\n\n"
      "RF List : Hop\n\n"
      "Lev min : -20.00\nLev max : 0.00\nF   min : 0.500000\nF   max : 2.000000\n\n"
      "Entry    Frequency [GHz]        Level [dBm]     Limit\n"
      "=====================================================\n"
      "    1           1.000000             -10.00        P\n"
      "    2           2.500000             -40.00         F\n";
  EXPECT_EQ(RfList_ReportText(r, h), expected);
  const std::string path = dir_.File("report.txt");
  ASSERT_TRUE(RfList_WriteReport(path.c_str(), r, h));
  EXPECT_EQ(cz::test::ReadFileBytes(path), expected);
  EXPECT_TRUE(cz::test::ReadFileBytes(path + ".part").empty());
  EXPECT_FALSE(RfList_WriteReport(dir_.File("no/such/dir/r.txt").c_str(), r, h));

  RfListRecord empty;
  const std::string text = RfList_ReportText(empty, h);
  EXPECT_EQ(text.substr(text.size() - 54), "=====================================================\n");
}

TEST(RfListRemote, PathsFollowTheInstrumentsFileSystem) {
  EXPECT_EQ(RfList_RemotePath("list.lsw", false, "/hdd/", "D:\\lists\\"), "D:\\lists\\list.lsw");
  EXPECT_EQ(RfList_RemotePath("list.lsw", false, "/hdd/", "D:"), "D:\\list.lsw");
  EXPECT_EQ(RfList_RemotePath("E:x.lsw", false, "/hdd/", "D:\\"), "E:x.lsw");
  EXPECT_EQ(RfList_RemotePath("\\l.lsw", false, "/hdd/", "D:\\"), "\\l.lsw");
  EXPECT_EQ(RfList_RemotePath("ab", false, "/hdd/", "D:\\"), "ab");
  EXPECT_EQ(RfList_RemotePath("l.lsw", true, "/hdd/", "D:\\"), "/hdd/l.lsw");
  EXPECT_EQ(RfList_RemotePath("/var/l.lsw", true, "/hdd/", "D:\\"), "/var/l.lsw");
  EXPECT_EQ(RfList_RemotePath("l.lsw", true, "/hdd", "D:\\"), "/hdd/l.lsw");
}

TEST(RfListRemote, TransferButtonsNeedAFileAndASuitableInstrument) {
  RfListRecord r;
  EXPECT_FALSE(RfList_TransferDimmed(r, INSTR_KALDRA));
  EXPECT_TRUE(RfList_TransferDimmed(r, INSTR_LUMBRA));
  EXPECT_TRUE(RfList_TransferDimmed(r, INSTR_LUMBRIX));
  r.remoteFile = "";
  EXPECT_TRUE(RfList_TransferDimmed(r, INSTR_KALDRA));
}

}  // namespace
