// The message log: joining, the 1,024-character limit, levels and outputs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Log.h"

namespace {
std::vector<std::string> g_lines;
std::vector<std::string> g_status;
void LogSink(const char* t) { g_lines.emplace_back(t); }
void StatusSink(const char* t) { g_status.emplace_back(t); }
void FixedClock(int* h, int* m, int* s) { *h = 7; *m = 5; *s = 9; }

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_lines.clear();
    g_status.clear();
    Log_SetClock(FixedClock);
    Log_SetLogSink(LogSink);
    Log_SetStatusSink(StatusSink);
  }
  void TearDown() override {
    Log_SetLogSink(nullptr);
    Log_SetStatusSink(nullptr);
    Log_SetClock(nullptr);
    Log_SetMask(0xC);
  }
};
}  // namespace

TEST_F(LogTest, StampAndPieces) {
  Log_Message(0);
  Log_Message(3, "Creating temporary files in '", "/tmp", "'...");
  ASSERT_EQ(g_lines.size(), 2u);
  EXPECT_EQ(g_lines[0], "07:05:09   ");
  EXPECT_EQ(g_lines[1], "07:05:09   Creating temporary files in '/tmp'...");
  Log_Status(2, "Info: ", "done");
  Log_Status(1, "");
  ASSERT_EQ(g_status.size(), 2u);
  EXPECT_EQ(g_status[0], "Info: done");
  EXPECT_EQ(g_status[1], "");
}

TEST_F(LogTest, LinesEndAfterExactly1024Characters) {
  std::string a(1000, 'a'), b(100, 'b');
  Log_Message(3, a.c_str(), b.c_str(), "never");
  ASSERT_EQ(g_lines.size(), 1u);
  EXPECT_EQ(g_lines[0].size(), 1024u);
  EXPECT_EQ(g_lines[0].back(), 'b');
}

TEST_F(LogTest, LevelsFollowTheMask) {
  Log_Level(LOG_INFO, 1, "x");
  Log_Level(LOG_WARNING, 1, "x");
  EXPECT_TRUE(g_lines.empty());
  Log_Level(LOG_ERROR, 1, "x");
  Log_Level(LOG_SEVERE, 1, "y");
  ASSERT_EQ(g_lines.size(), 2u);
  EXPECT_EQ(g_lines[0], "07:05:09   e x");
  EXPECT_EQ(g_lines[1], "07:05:09   ! y");
  Log_SetMask(0xF);
  Log_Level(3, 1, "z");  // no single level: no tag
  EXPECT_EQ(g_lines.back(), "07:05:09  z");
}

TEST_F(LogTest, NoOutputMeansStandardOutput) {
  Log_SetLogSink(nullptr);
  testing::internal::CaptureStdout();
  Log_Message(1, "after tear-down");
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out, "07:05:09   after tear-down\n");
  EXPECT_TRUE(g_lines.empty());
}
