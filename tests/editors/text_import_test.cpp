// The editors' text importers side by side (custom envelope, RF list, jitter
// values, filter coefficients) over the files users bring from other
// systems: a byte-order mark, CR-only and CR LF line ends, tabs, lines of
// 1,023, 1,024 and 3,000 characters, a file with no usable row and a file
// that cannot be read. Each physical line gives at most one value; an import
// that fails leaves the record as it was. Then the envelope and jitter
// imports through the pulse editor's buttons.
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/Log.h"
#include "app/Records.h"
#include "editors/BasebandFilter.h"
#include "editors/EnvelopeImport.h"
#include "editors/JitterPage.h"
#include "editors/RfListEdit.h"
#include "platform/ui/TestDriver.h"
#include "tests/support/PulseEditorFixture.h"
#include "tests/support/TempDir.h"
#include "ui/pulse/EnvelopePages.h"
#include "ui/pulse/JitterPanel.h"
#include "ui/pulse/TimingPanel.h"

namespace {

// One importer run on a file, starting from a record that holds old data.
struct Outcome {
  bool imported = false;       // the import reported success
  std::vector<double> values;  // the record's values afterwards (first column)
  bool oldKept = false;        // the record still holds exactly its old data
};

struct Importer {
  const char* name;
  std::function<Outcome(const std::string& path)> run;
};

const std::vector<double> kOld = {9.0, 8.0, 7.0, 6.0};

Outcome Envelope(const std::string& path) {
  PulseEnvelope env;
  EXPECT_TRUE(env.SetLevels(kOld));
  Outcome o;
  o.imported = EnvelopeReadFile(path.c_str(), IMPORT_LEVEL, 1, 0, &env) == ENVELOPE_READ_OK;
  o.values = env.Values();
  o.oldKept = env.Values() == kOld && !env.HasQ();
  return o;
}

Outcome RfList(const std::string& path) {
  RfListPoints points;
  for (std::size_t i = 0; i < kOld.size(); ++i) points.Set(static_cast<int>(i), kOld[i] / 2, -1.0);
  const RfListPoints before = points;
  int imported = 0, bad = 0;
  Outcome o;
  o.imported = RfList_ImportText(path.c_str(), &points, &imported, &bad) == RFLIST_IMPORT_DONE;
  for (int i = 0; i < imported; ++i) o.values.push_back(points.Frequency(i));
  o.oldKept = points == before;
  return o;
}

Outcome Jitter(const std::string& path) {
  JitterBlock block;
  EXPECT_TRUE(block.values.Assign(std::span<const double>(kOld)));
  Outcome o;
  o.imported = JitterImportBlock(&block, path.c_str(), 1) == JITTER_IMPORT_OK;
  o.values = block.values.vec();
  o.oldKept = block.values.vec() == kOld;
  return o;
}

// The reader hands back new columns; the dialog keeps the old ones unless
// it returns at least one pair.
Outcome Coefficients(const std::string& path) {
  std::vector<double> c1, c2;
  Outcome o;
  o.imported = BasebandFilter_ReadCoefficients(path.c_str(), &c1, &c2) > 0;
  o.values = o.imported ? c1 : kOld;
  o.oldKept = !o.imported;
  return o;
}

const Importer kImporters[] = {
    {"envelope", Envelope}, {"rf list", RfList}, {"jitter", Jitter}, {"coefficients", Coefficients}};

// "1.5 -10" padded with blanks and a second point to `length` characters:
// whatever its length, the line gives the one point 1.5.
std::string WideLine(std::size_t length) {
  const std::string head = "1.5 -10", tail = "4.0 -40.0";
  return head + std::string(length - head.size() - tail.size(), ' ') + tail;
}

TEST(TextImport, FilesOfEverySystemAndLength) {
  cz::test::TempDir dir;
  struct Case {
    const char* what;
    std::string text;
  };
  const Case good[] = {
      {"plain", "1.5 -10\n2.5 -20\n"},
      {"byte-order mark", "\xEF\xBB\xBF" "1.5 -10\n2.5 -20\n"},
      {"mark and CR LF", "\xEF\xBB\xBF" "1.5 -10\r\n2.5 -20\r\n"},
      {"CR only", "1.5 -10\r2.5 -20\r"},
      {"CR LF", "1.5 -10\r\n2.5 -20\r\n"},
      {"tabs", "\t1.5\t-10\r\n2.5\t\t-20"},
      {"1,023 characters", WideLine(1023) + "\n2.5 -20\n"},
      {"1,024 characters", WideLine(1024) + "\r\n2.5 -20\r\n"},
      {"3,000 characters", WideLine(3000) + "\r2.5 -20\r"},
  };
  for (const Importer& im : kImporters) {
    for (const Case& c : good) {
      const std::string path = dir.File("in.txt");
      ASSERT_TRUE(cz::test::WriteFileBytes(path, c.text));
      const Outcome o = im.run(path);
      EXPECT_TRUE(o.imported) << im.name << ": " << c.what;
      ASSERT_GE(o.values.size(), 2u) << im.name << ": " << c.what;
      EXPECT_EQ(o.values[0], 1.5) << im.name << ": " << c.what;
      EXPECT_EQ(o.values[1], 2.5) << im.name << ": " << c.what;
      if (std::string(im.name) != "rf list") {
        EXPECT_EQ(o.values.size(), 2u) << im.name << ": " << c.what;
      }
    }
    // No usable row, and a file that opens but cannot be read (a folder):
    // the record keeps its old data.
    const std::string none = dir.File("none.txt");
    ASSERT_TRUE(cz::test::WriteFileBytes(none, "\xEF\xBB\xBF" "abc def\r\n\r\n"));
    const Outcome noRow = im.run(none);
    EXPECT_FALSE(noRow.imported) << im.name;
    EXPECT_TRUE(noRow.oldKept) << im.name;
    const Outcome unreadable = im.run(dir.path());
    EXPECT_FALSE(unreadable.imported) << im.name;
    EXPECT_TRUE(unreadable.oldKept) << im.name;
  }
}

// The long line of a list written by another tool gives one point, and the
// import goes on with the real second line.
TEST(TextImport, RfListLongLinesGiveOnePointEach) {
  cz::test::TempDir dir;
  const std::string path = dir.File("wide.txt");
  ASSERT_TRUE(cz::test::WriteFileBytes(path, "1.5 -10" + std::string(1016, ' ') + "4.0 -40.0\n" + "2.0 0.25" +
                                                 std::string(2492, '\t') + "\n3.0 -30\n"));
  RfListPoints points;
  int imported = 0, bad = 0;
  ASSERT_EQ(RfList_ImportText(path.c_str(), &points, &imported, &bad), RFLIST_IMPORT_DONE);
  ASSERT_EQ(imported, 3);
  EXPECT_EQ(points.Get(0).frequency, 1.5);
  EXPECT_EQ(points.Get(0).level, -10.0);
  EXPECT_EQ(points.Get(1).frequency, 2.0);
  EXPECT_EQ(points.Get(1).level, 0.25);
  EXPECT_EQ(points.Get(2).frequency, 3.0);
}

// An envelope file with one point more than an envelope holds is refused
// with its reason; the old envelope stays.
TEST(TextImport, OverSizeEnvelopeKeepsTheOldOne) {
  cz::test::TempDir dir;
  std::string text;
  text.reserve(2 * (kEnvelopeMaxPoints + 1));
  for (std::size_t i = 0; i <= kEnvelopeMaxPoints; ++i) text += "1\n";
  const std::string path = dir.File("big.txt");
  ASSERT_TRUE(cz::test::WriteFileBytes(path, text));
  std::vector<std::string> lines;
  static std::vector<std::string>* sink = nullptr;
  sink = &lines;
  Log_SetLogSink([](const char* line) { sink->emplace_back(line); });
  PulseEnvelope env;
  ASSERT_TRUE(env.SetLevels(kOld));
  EXPECT_EQ(EnvelopeReadFile(path.c_str(), IMPORT_LEVEL, 1, 0, &env), ENVELOPE_READ_TOO_LARGE);
  Log_SetLogSink(nullptr);
  EXPECT_EQ(env.Values(), kOld);
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines.back().find("*** 1000001 points: an envelope holds at most 1000000. The envelope is unchanged."),
            std::string::npos)
      << lines.back();
}

class PulseImportTest : public cz::test::PulseEditorTest {};

// A 4-point envelope survives an import that finds no usable row, a wrong
// column and an unreadable file, each with its reason; a file with a mark
// before its first value gives every value, the first one included.
TEST_F(PulseImportTest, EnvelopeImportKeepsTheEnvelopeUnlessPointsWereRead) {
  PulseRecord& p = ShowNewPulse("p1");
  ASSERT_TRUE(p.envelope.SetLevels({0.1, 0.2, 0.3, 0.4}));
  ShowPulseInEditor();
  ASSERT_EQ(1, UiTest_ClickCtrl(P_TIM, P_TIM_RADIO_ARBENVEL));
  cz::test::TempDir dir;
  const std::string words = dir.File("words.txt");
  ASSERT_TRUE(cz::test::WriteFileBytes(words, "time level\nn/a\n"));
  UiTest_QueueFile(words.c_str());
  ASSERT_EQ(1, UiTest_ClickCtrl(T_IMP, T_IMP_CMD_IMPORTARBENV));
  EXPECT_EQ(4, p.envelope.Count());
  EXPECT_EQ("4", Text(T_VIEW, T_VIEW_STR_ENVPOINTS));
  EXPECT_EQ(1, Logged("*** No line holds the chosen columns. The envelope is unchanged."));
  EXPECT_EQ("Import Failed - See Log For Details.", Status().back());

  const std::string one = dir.File("one.txt");
  ASSERT_TRUE(cz::test::WriteFileBytes(one, "0.5\n0.6\n"));
  UiTest_EnterValue(T_IMP, T_IMP_NUM_IMP_COL_ENV, 2);  // a column the file lacks
  UiTest_QueueFile(one.c_str());
  ASSERT_EQ(1, UiTest_ClickCtrl(T_IMP, T_IMP_CMD_IMPORTARBENV));
  EXPECT_EQ((std::vector<double>{0.1, 0.2, 0.3, 0.4}), p.envelope.Values());

  UiTest_QueueFile(dir.path().c_str());
  ASSERT_EQ(1, UiTest_ClickCtrl(T_IMP, T_IMP_CMD_IMPORTARBENV));
  EXPECT_EQ(4, p.envelope.Count());
  EXPECT_EQ(1, Logged("*** Error reading input file. The envelope is unchanged."));

  const std::string marked = dir.File("marked.txt");
  ASSERT_TRUE(cz::test::WriteFileBytes(marked, "\xEF\xBB\xBF" "0.5\r\n0.75\r\n1.0\r\n"));
  UiTest_EnterValue(T_IMP, T_IMP_NUM_IMP_COL_ENV, 1);
  UiTest_QueueFile(marked.c_str());
  ASSERT_EQ(1, UiTest_ClickCtrl(T_IMP, T_IMP_CMD_IMPORTARBENV));
  EXPECT_EQ((std::vector<double>{0.5, 0.75, 1.0}), p.envelope.Values());
  EXPECT_EQ("3", Text(T_VIEW, T_VIEW_STR_ENVPOINTS));
}

// The jitter page's import keeps the block's list after a file with no
// value or one that cannot be read, and reads a marked file whole.
TEST_F(PulseImportTest, JitterImportKeepsTheListAfterAFailure) {
  PulseRecord& p = ShowNewPulse("p1");
  JitterBlock& block = p.jitter[0];
  block.enabled = 1;
  block.distribution = 5;  // a value list
  ASSERT_TRUE(block.values.Assign(std::span<const double>(kOld)));
  ShowPulseInEditor();
  cz::test::TempDir dir;
  const std::string blank = dir.File("blank.txt");
  ASSERT_TRUE(cz::test::WriteFileBytes(blank, "\xEF\xBB\xBF\r\n\r\n"));
  UiTest_QueueFile(blank.c_str());
  ASSERT_EQ(1, UiTest_ClickCtrl(P_JIT, P_JIT_CMD_JITTER_IMP));
  EXPECT_EQ(kOld, block.values.vec());
  EXPECT_EQ(1, Logged("** No values in the file."));
  UiTest_QueueFile(dir.path().c_str());
  ASSERT_EQ(1, UiTest_ClickCtrl(P_JIT, P_JIT_CMD_JITTER_IMP));
  EXPECT_EQ(kOld, block.values.vec());
  EXPECT_EQ(1, Logged("*** Error reading input file."));
  const std::string marked = dir.File("marked.txt");
  ASSERT_TRUE(cz::test::WriteFileBytes(marked, "\xEF\xBB\xBF" "1e-6\r2e-6\r"));
  UiTest_QueueFile(marked.c_str());
  ASSERT_EQ(1, UiTest_ClickCtrl(P_JIT, P_JIT_CMD_JITTER_IMP));
  EXPECT_EQ((std::vector<double>{1e-6, 2e-6}), block.values.vec());
}

}  // namespace
