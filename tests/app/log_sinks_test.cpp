// The log window and status line outputs on offscreen panels.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QPlainTextEdit>
#include <QTextBlock>

#include <cstdio>
#include <string>

#include "app/Log.h"
#include "app/LogSinks.h"
#include "app/PanelIds.h"
#include "app/Settings.h"
#include "platform/ui/TestDriver.h"
#include "tests/support/OffscreenApp.h"

namespace {

void FixedClock(int* h, int* m, int* s) { *h = 12; *m = 34; *s = 56; }

class LogSinksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cz::test::OffscreenApp();
    Log_SetClock(FixedClock);
    PANEL_MAIN = NewPanel(0, "Main", 0, 0, 300, 600);
    PANEL_MAIN_TXT_ERR = NewCtrl(PANEL_MAIN, CTRL_TEXT_MSG, "", 10, 10);
    SetCtrlAttribute(PANEL_MAIN, PANEL_MAIN_TXT_ERR, ATTR_TEXT_BGCOLOR, 0x123456);
    TAB_LOG = NewPanel(0, "Log", 0, 0, 300, 600);
    TAB_LOG_TEX_LOG = NewCtrl(TAB_LOG, CTRL_TEXT_BOX, "", 10, 10);
    SetCtrlAttribute(TAB_LOG, TAB_LOG_TEX_LOG, ATTR_HEIGHT, 120);
    SetCtrlAttribute(TAB_LOG, TAB_LOG_TEX_LOG, ATTR_WIDTH, 500);
    g_Settings.AllowTrace = 1;
    Log_SetLogSink(LogWindowSink);
    Log_SetStatusSink(StatusLineSink);
  }
  void TearDown() override {
    Log_SetLogSink(nullptr);
    Log_SetStatusSink(nullptr);
    Log_SetClock(nullptr);
  }
  int Lines() {
    int n = -1;
    GetNumTextBoxLines(TAB_LOG, TAB_LOG_TEX_LOG, &n);
    return n;
  }
};

TEST_F(LogSinksTest, LogWindowAppendsAndKeepsTheNewestLineInView) {
  const int before = Lines();
  for (int i = 0; i < 200; ++i) Log_Message(2, "line ", std::to_string(i).c_str());
  EXPECT_EQ(Lines(), before + 200);
  char last[128] = "";
  GetTextBoxLine(TAB_LOG, TAB_LOG_TEX_LOG, Lines() - 1, last, sizeof last);
  EXPECT_STREQ(last, "12:34:56   line 199");
  int first = -1, visible = -1;
  GetCtrlAttribute(TAB_LOG, TAB_LOG_TEX_LOG, ATTR_FIRST_VISIBLE_LINE, &first);
  GetCtrlAttribute(TAB_LOG, TAB_LOG_TEX_LOG, ATTR_TEXT_BOX_VISIBLE_LINES, &visible);
  ASSERT_GT(visible, 0);
  ASSERT_LT(visible, Lines());
  EXPECT_EQ(first, Lines() - visible);
}

// Resident size of this process, bytes.
long ResidentBytes() {
  long pages = 0, resident = 0;
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (f == nullptr) return -1;
  const int read = std::fscanf(f, "%ld %ld", &pages, &resident);
  std::fclose(f);
  return read == 2 ? resident * sysconf(_SC_PAGESIZE) : -1;
}

// A day of work logs a million lines. The log window keeps the newest of
// them under one line that says older lines were dropped: the program
// grows by less than 256 MB, the box and its widget end with the newest
// line, and no more lines than the bound are kept.
TEST_F(LogSinksTest, AMillionLinesKeepTheNewestInBoundedMemory) {
  DisplayPanel(TAB_LOG);
  ProcessDrawEvents();
  const long before = ResidentBytes();
  ASSERT_GT(before, 0);
  constexpr int kLines = 1000000;
  for (int i = 0; i < kLines; ++i) {
    Log_Message(3, "  Repetition ", std::to_string(i).c_str(),
                " of pulse 'Barker13': PRI 10.000 us, level -3.000 dB, phase 0.000 deg");
    // The window is redrawn every 20 ms while lines arrive.
    if (i % 1000 == 999) UiTest_AdvanceClock(0.02);
  }
  ProcessDrawEvents();
  const long grown = ResidentBytes() - before;
#if defined(__SANITIZE_ADDRESS__)
  (void)grown;  // AddressSanitizer holds freed blocks (256 MB by default): no measure of the program's
#else
  EXPECT_LT(grown, 256L << 20) << grown / (1 << 20) << " MB";
#endif

  const int lines = Lines();
  EXPECT_LE(lines, kLogWindowLines + 1);
  EXPECT_GT(lines, kLogWindowLines - 1000);
  char text[256] = "";
  GetTextBoxLine(TAB_LOG, TAB_LOG_TEX_LOG, 0, text, sizeof text);
  EXPECT_STREQ(text, kLogWindowDroppedNotice);
  const std::string newest =
      "12:34:56     Repetition 999999 of pulse 'Barker13': PRI 10.000 us, level -3.000 dB, phase 0.000 deg";
  GetTextBoxLine(TAB_LOG, TAB_LOG_TEX_LOG, lines - 1, text, sizeof text);
  EXPECT_EQ(text, newest);
  GetTextBoxLine(TAB_LOG, TAB_LOG_TEX_LOG, 1, text, sizeof text);
  EXPECT_EQ(text, "12:34:56     Repetition " + std::to_string(kLines - (lines - 1)) +
                      " of pulse 'Barker13': PRI 10.000 us, level -3.000 dB, phase 0.000 deg");
  // The widget shows the same lines.
  auto* box = qobject_cast<QPlainTextEdit*>(UiTest_Widget(TAB_LOG, TAB_LOG_TEX_LOG));
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->document()->blockCount(), lines);
  EXPECT_EQ(box->document()->firstBlock().text().toStdString(), kLogWindowDroppedNotice);
  EXPECT_EQ(box->document()->lastBlock().text().toStdString(), newest);
}

TEST_F(LogSinksTest, TraceOffDropsLogLinesButStatusStillShows) {
  g_Settings.AllowTrace = 0;
  const int before = Lines();
  testing::internal::CaptureStdout();
  Log_Message(1, "hidden");
  Log_Status(1, "Info: shown");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "an output is attached: nothing is printed";
  EXPECT_EQ(Lines(), before);
  char shown[64] = "";
  GetCtrlVal(PANEL_MAIN, PANEL_MAIN_TXT_ERR, shown, sizeof shown);
  EXPECT_STREQ(shown, "Info: shown");
}

TEST_F(LogSinksTest, StatusTextsWithErrorFlashRedAndRestoreTheBackground) {
  Log_Status(1, "Info: all good, no error here");
  EXPECT_EQ(UiTest_TotalDelay(), 0.0) << "lower-case error does not flash";
  Log_Status(2, "Generation", "Errors found");  // substring match
  EXPECT_DOUBLE_EQ(UiTest_TotalDelay(), 0.3);
  int background = 0;
  GetCtrlAttribute(PANEL_MAIN, PANEL_MAIN_TXT_ERR, ATTR_TEXT_BGCOLOR, &background);
  EXPECT_EQ(background, 0x123456);
  char shown[64] = "";
  GetCtrlVal(PANEL_MAIN, PANEL_MAIN_TXT_ERR, shown, sizeof shown);
  EXPECT_STREQ(shown, "GenerationErrors found");
  Log_Status(1, "");
  GetCtrlVal(PANEL_MAIN, PANEL_MAIN_TXT_ERR, shown, sizeof shown);
  EXPECT_STREQ(shown, "");
  EXPECT_DOUBLE_EQ(UiTest_TotalDelay(), 0.3);
}

}  // namespace
