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

// A second run only when the first was over the bound; the lesser counts.
TEST_F(GapMeterTest, LiveRunMeasuresASecondRunOnlyAfterAGapOverTheBound) {
  struct Row {
    Busy first, second;
    int runs;
    double below;
  } const rows[] = {
      {{100, 5}, {300, 0}, 1, 60.0},    // live: the second never runs
      {{300, 0}, {100, 5}, 2, 60.0},    // a stall the second run does not have
      {{300, 0}, {300, 0}, 2, 1000.0},  // held on both: over the bound
  };
  int panel = NewPanel(0, "Busy", 10, 10, 100, 200);
  int button = NewCtrl(panel, CTRL_COMMAND_BUTTON, "Run", 10, 10);
  InstallCtrlCallback(panel, button, BusyCb, nullptr);
  for (const Row& r : rows) {
    int runs = 0, reports = 0;
    const cz::test::LiveMeasure m = cz::test::LiveRun(
        150.0,
        [&](int run) {
          g_busy = run == 0 ? r.first : r.second;
          runs = run + 1;
          ASSERT_EQ(UiTest_ClickCtrl(panel, button), 1);
        },
        [&](const cz::test::LiveMeasure&) { ++reports; });
    EXPECT_EQ(runs, r.runs);
    EXPECT_EQ(reports, r.runs);
    EXPECT_LT(m.gap, r.below) << r.runs;
    EXPECT_EQ(m.gap >= 150.0, r.below > 150.0) << r.runs;
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
