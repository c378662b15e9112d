// The event-loop gap meter of the liveness tests: it sees a callback that
// stops pumping, passes one that pumps, and its action lands in the running
// callback's queue as a user's click does.
#include <time.h>

#include <gtest/gtest.h>

#include "tests/support/GapMeter.h"
#include "tests/support/OffscreenApp.h"

namespace {

struct Busy {
  int totalMs;   // how long the callback runs
  int pumpMs;    // ProcessSystemEvents every so many ms; 0 = never
  bool blocked = false;  // sleeps its time away, as a wait on a socket does
};
Busy g_busy;

// The UI thread's own computing time in ms: the busy callback computes for
// its times whatever else the machine runs (the meter leaves out the time
// the thread waits for a core).
double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) * 1e-6;
}

int BusyCb(int, int, int event, void*, int, int) {
  if (event != EVENT_COMMIT) return 0;
  if (g_busy.blocked) {
    const timespec t{g_busy.totalMs / 1000, (g_busy.totalMs % 1000) * 1000000L};
    nanosleep(&t, nullptr);
    return 0;
  }
  const double start = ThreadCpuMs();
  double lastPump = start;
  for (double now = start; now - start < g_busy.totalMs; now = ThreadCpuMs()) {
    if (g_busy.pumpMs > 0 && now - lastPump >= g_busy.pumpMs) {
      ProcessSystemEvents();
      lastPump = ThreadCpuMs();
    }
  }
  return 0;
}

class GapMeterTest : public cz::test::OffscreenAppTest {};

TEST_F(GapMeterTest, MeasuresTheLongestStretchWithoutTheEventLoop) {
  struct Row {
    Busy busy;
    double atLeastMs, below;
  } const rows[] = {
      {{300, 0}, 290.0, 1000.0},   // never pumps: the whole callback is one gap
      {{300, 5}, 0.0, 60.0},       // pumps often: only the timer's own interval
      {{400, 150}, 140.0, 260.0},  // pumps now and then: the longest stretch
      {{300, 0, true}, 290.0, 1000.0},  // blocked: counts whole, though the thread does not run
  };
  int panel = NewPanel(0, "Busy", 10, 10, 100, 200);
  int button = NewCtrl(panel, CTRL_COMMAND_BUTTON, "Run", 10, 10);
  InstallCtrlCallback(panel, button, BusyCb, nullptr);
  for (const Row& r : rows) {
    g_busy = r.busy;
    cz::test::GapMeter meter;
    ASSERT_EQ(UiTest_ClickCtrl(panel, button), 1);
    double gap = meter.LongestMs();
    EXPECT_GE(gap, r.atLeastMs) << r.busy.totalMs << "/" << r.busy.pumpMs;
    EXPECT_LT(gap, r.below) << r.busy.totalMs << "/" << r.busy.pumpMs;
  }
}

TEST_F(GapMeterTest, ItsActionIsQueuedForTheRunningCallback) {
  int panel = NewPanel(0, "Busy", 10, 10, 100, 200);
  int button = NewCtrl(panel, CTRL_COMMAND_BUTTON, "Run", 10, 10);
  int other = NewCtrl(panel, CTRL_COMMAND_BUTTON, "Stop", 40, 10);
  InstallCtrlCallback(panel, button, BusyCb, nullptr);
  g_busy = {300, 5};
  cz::test::GapMeter meter;
  meter.At(100, [&] { UiTest_ClickCtrl(panel, other); });
  ASSERT_EQ(UiTest_ClickCtrl(panel, button), 1);
  EXPECT_GE(meter.ActionMs(), 100.0);
  EXPECT_LT(meter.ActionMs(), 200.0);
  int p = 0, c = 0;
  EXPECT_EQ(GetUserEvent(VAL_NO_WAIT, &p, &c), EVENT_COMMIT);
  EXPECT_EQ(c, other);
}

}  // namespace
