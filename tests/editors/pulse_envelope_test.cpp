// Custom envelope import from text files: columns, skipped and ignored
// lines, I/Q against level data, and the failures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Log.h"
#include "editors/EnvelopeImport.h"
#include "tests/support/TempDir.h"
#include "ui/pulse/EnvelopePages.h"

namespace {

std::vector<std::string>& Logged() {
  static std::vector<std::string> lines;
  return lines;
}
void Collect(const char* line) { Logged().emplace_back(line); }

int CountEnding(const std::string& tail) {
  int n = 0;
  for (const std::string& line : Logged())
    if (line.size() >= tail.size() && line.compare(line.size() - tail.size(), tail.size(), tail) == 0) ++n;
  return n;
}

class EnvelopeReadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Logged().clear();
    Log_SetLogSink(&Collect);
  }
  void TearDown() override { Log_SetLogSink(nullptr); }
  std::string Write(const std::string& text) {
    const std::string path = dir_.File("envelope.txt");
    EXPECT_TRUE(cz::test::WriteFileBytes(path, text));
    return path;
  }
  cz::test::TempDir dir_;
};

TEST_F(EnvelopeReadTest, IqColumnsSkipEmptyLinesAndIgnoreBadOnes) {
  const std::string path = Write("1.0 0.5\n\n2.0 0.25\nabc\n");
  PulseEnvelope env;
  ASSERT_EQ(ENVELOPE_READ_OK, EnvelopeReadFile(path.c_str(), IMPORT_IQ, 1, 2, &env));
  ASSERT_EQ(2, env.Count());
  ASSERT_TRUE(env.HasQ());
  EXPECT_EQ((std::vector<double>{1.0, 2.0}), env.Values());
  EXPECT_EQ((std::vector<double>{0.5, 0.25}), env.QValues());
  // Line 4 once per pass; the empty line 2 says nothing.
  EXPECT_EQ(2, CountEnding("*** Line 4 ignored."));
  EXPECT_EQ(2u, Logged().size());
}

TEST_F(EnvelopeReadTest, LevelColumnAndLineEndsOfOtherSystems) {
  const std::string path = Write("1.0 0.5 trailing words\r\n\r\n2.0,0.25\r3 ; 4\r\n");
  PulseEnvelope env;
  ASSERT_EQ(ENVELOPE_READ_OK, EnvelopeReadFile(path.c_str(), IMPORT_LEVEL, 2, 0, &env));
  EXPECT_FALSE(env.HasQ());
  EXPECT_EQ((std::vector<double>{0.5, 0.25, 4.0}), env.Values());
  EXPECT_TRUE(Logged().empty());
}

TEST_F(EnvelopeReadTest, MissingColumnsKeepTheOldPoints) {
  const std::string path = Write("1 2\n3 4\nnan 1\n");
  PulseEnvelope env;
  ASSERT_TRUE(env.SetLevels({9.0, 9.0}));
  ASSERT_EQ(ENVELOPE_READ_NO_DATA, EnvelopeReadFile(path.c_str(), IMPORT_LEVEL, 3, 0, &env));
  EXPECT_EQ((std::vector<double>{9.0, 9.0}), env.Values());
  // Nothing usable after the counting pass: there is no second pass.
  EXPECT_EQ(1, CountEnding("*** Line 1 ignored."));
  EXPECT_EQ(1, CountEnding("*** Line 3 ignored."));
  EXPECT_EQ(1, CountEnding("*** No line holds the chosen columns. The envelope is unchanged."));
}

TEST_F(EnvelopeReadTest, UnreadableFileKeepsTheOldData) {
  PulseEnvelope env;
  ASSERT_TRUE(env.SetLevels({0.5}));
  EXPECT_EQ(ENVELOPE_READ_OPEN_FAILED, EnvelopeReadFile(dir_.File("missing.txt").c_str(), IMPORT_LEVEL, 1, 2, &env));
  EXPECT_EQ(1, env.Count());
}

// Progress over both passes by the bytes read, rising to 100 %; a stop in
// either pass keeps the old data.
std::vector<double> g_percents;
double g_stopAt = 1000.0;
int RecordProgress(double percent) {
  g_percents.push_back(percent);
  return percent >= g_stopAt ? 1 : 0;
}

TEST_F(EnvelopeReadTest, ProgressRisesOverBothPassesAndCanStopEither) {
  std::string text;
  for (int k = 0; k < 5000; ++k) text += std::to_string(k) + " 0.5\n";
  const std::string path = Write(text);
  for (const double stopAt : {1000.0, 20.0, 70.0}) {
    g_percents.clear();
    g_stopAt = stopAt;
    PulseEnvelope env;
    ASSERT_TRUE(env.SetLevels({9.0}));
    const int status = EnvelopeReadFile(path.c_str(), IMPORT_IQ, 1, 2, &env, &RecordProgress);
    ASSERT_FALSE(g_percents.empty());
    for (std::size_t k = 1; k < g_percents.size(); ++k) EXPECT_GE(g_percents[k], g_percents[k - 1]) << stopAt;
    if (stopAt > 100.0) {
      EXPECT_EQ(ENVELOPE_READ_OK, status);
      EXPECT_EQ(5000, env.Count());
      EXPECT_EQ(100.0, g_percents.back());
      EXPECT_GE(g_percents.size(), 8u);  // every 1,024 lines and each pass's end
    } else {
      EXPECT_EQ(ENVELOPE_READ_CANCELLED, status) << stopAt;
      EXPECT_EQ((std::vector<double>{9.0}), env.Values()) << stopAt;
      EXPECT_LT(g_percents.back(), stopAt + 30.0) << "stopped at once";
    }
  }
  EXPECT_EQ(2, CountEnding("*** Import cancelled. The envelope is unchanged."));
}

TEST(EnvelopeScan, NumbersFromTheFrontOfALine) {
  double v[4] = {};
  EXPECT_EQ(3, ScanLeadingNumbers("  1.5\t-2e-3, 7 x 8", v, 4));
  EXPECT_EQ(1.5, v[0]);
  EXPECT_EQ(-2e-3, v[1]);
  EXPECT_EQ(7.0, v[2]);
  EXPECT_EQ(0, ScanLeadingNumbers("abc 1", v, 4));
  EXPECT_EQ(2, ScanLeadingNumbers("1 2 3", v, 2));
  EXPECT_EQ(0, ScanLeadingNumbers("inf", v, 1));
}

}  // namespace
