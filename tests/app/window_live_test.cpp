// The window keeps repainting and taking clicks through the long commands:
// a 10 ms timer of the test's own (GapMeter) measures the longest stretch
// without the event loop while each command runs through its page's
// callbacks in the started program, against the simulated instrument on
// 127.0.0.1 where one is needed. Bound: 250 ms of the program's own (the
// time other processes held every core left out; the wall-clock gap is
// printed beside it), on the lesser gap of two runs when the first was
// over it (GapMeter.h says why). The files are large (as users have them)
// and live in the test's temporary folder.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "app/LibraryTree.h"
#include "app/PanelIds.h"
#include "app/PulsePanelIds.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "app/Startup.h"
#include "instrument/FileBrowser.h"
#include "instrument/TransferTab.h"
#include "platform/ui/TestDriver.h"
#include "platform/visa/Visa.h"
#include "tests/support/BrowserSteps.h"
#include "tests/support/GapMeter.h"
#include "tests/support/LargeFiles.h"
#include "tests/support/PanelFind.h"
#include "tests/support/ProgramSteps.h"
#include "tests/support/SimFixture.h"
#include "tests/support/StartupHome.h"
#include "engine/Tessera_GenerateWave.h"
#include "editors/BasebandFilter.h"
#include "ui/main/SequenceEditorPage.h"
#include "ui/pulse/EnvelopePages.h"
#include "ui/pulse/TimingPanel.h"
#include "ui/main/TransferPage.h"

namespace {

using cz::test::FileExists;
using cz::test::GapMeter;
using cz::test::LiveMeasure;
using cz::test::ReadFileBytes;
using cz::test::WriteFileBytes;

#if defined(__SANITIZE_ADDRESS__)
// The instrumented build runs the program's code about three times slower.
constexpr double kLiveBoundMs = 750.0;
#else
constexpr double kLiveBoundMs = 250.0;
#endif

// Each measured command's longest gap (by the wall clock too, with the
// time the machine gave other work), and how long the command took,
// printed for the benchmark record.
void Report(const char* command, double gapMs, double wallGapMs, double tookMs) {
  std::printf("[ longest gap ] %s: %.0f ms (wall clock %.0f ms; the command %.0f ms)\n", command, gapMs, wallGapMs,
              tookMs);
  ::testing::Test::RecordProperty(command, static_cast<int>(gapMs + 0.5));
}

// The command under the meter, and again when over the bound (see above).
LiveMeasure LiveRun(const char* command, const std::function<void(int)>& run) {
  return cz::test::LiveRun(kLiveBoundMs, run,
                           [command](const LiveMeasure& m) { Report(command, m.gap, m.wall, m.ms); });
}

class WindowLiveTest : public cz::test::StartupHomeTest, public cz::test::ProgramSteps {
 protected:
  void TearDown() override {
    cz::test::ClearBrowserStep();
    StartupHomeTest::TearDown();
    Visa_SetVxi11CorePort(0);
  }

  // The program started with the simulated two-path generator selected,
  // over the raw socket or VXI-11.
  void StartWithInstrument(bool vxi11, const std::vector<std::string>& faults = {}) {
    cz::test::SimOptions opt;
    opt.model = "Kaldra";
    opt.modelOptions = true;
    opt.vxi11 = vxi11;
    opt.faults = faults;
    ASSERT_TRUE(sim_.Start(opt)) << sim_.Error();
    if (vxi11) Visa_SetVxi11CorePort(sim_.Vxi11Port());
    const std::string resource = vxi11 ? sim_.Vxi11Resource() : sim_.SocketResource();
    ASSERT_TRUE(WriteFileBytes(home_ + "/settings.ini", StartSettings(home_, resource)));
    ASSERT_EQ(InitApplication(), 1);
  }

  // Path A loads `local` into the instrument file `remote` (not linked).
  void UploadThroughThePage(const std::string& local, const char* remote) {
    if (g_Settings.BBModeA != 1) Click(TAB_INSTR, TAB_INSTR_CMD_BBMODE_A);
    Click(TAB_INSTR, TAB_INSTR_CB_NLINK_A);
    ASSERT_EQ(UiTest_EnterValue(TAB_INSTR, TAB_INSTR_STR_INSTRFILE_A, remote), 1);
    ASSERT_EQ(UiTest_CommitCtrl(TAB_INSTR, TAB_INSTR_STR_INSTRFILE_A), 1);
    UpdateLinkedRemoteFiles(local.c_str(), "");
    Click(TAB_INSTR, TAB_INSTR_CMD_UPLOAD);
    ASSERT_EQ(Status(), "Transfer Complete.") << Log().substr(Log().size() > 3000 ? Log().size() - 3000 : 0);
  }

  // The file browser of path A; each turn of its loop takes the next step,
  // and Cancel ends it after the last.
  void Browse(std::vector<std::function<void(int)>> steps) {
    cz::test::BrowseWith(TAB_INSTR, TAB_INSTR_CMD_FSEL_INSTR_A, std::move(steps));
  }

  static int FileIndex(int panel, const char* name) {
    int count = 0;
    GetNumTreeItems(panel, PANEL_FB_FILES, &count);
    for (int i = 0; i < count; ++i) {
      char text[256] = "";
      GetTreeCellAttribute(panel, PANEL_FB_FILES, i, 1, ATTR_LABEL_TEXT, text, sizeof text);
      if (std::string(text) == name) return i;
    }
    return -1;
  }

  // Upload of a 499 MB waveform (124.8 M samples): the instrument stores
  // the block before it answers the error check after it.
  void LargeUpload(bool vxi11, const char* command) {
    StartWithInstrument(vxi11);
    const std::string wave = dir_.File("large.wv");
    ASSERT_TRUE(cz::test::WriteLargeWaveFile(wave, 124800000));
    // A second run loads a file of a new name: the first is not replaced.
    const LiveMeasure upload =
        LiveRun(command, [&](int run) { UploadThroughThePage(wave, run == 0 ? "D:\\large.wv" : "D:\\large2.wv"); });
    EXPECT_LT(upload.gap, kLiveBoundMs);
    std::remove(wave.c_str());
  }

  // The program started without an instrument.
  void StartAlone() {
    ASSERT_TRUE(WriteFileBytes(home_ + "/settings.ini", StartSettings(home_)));
    ASSERT_EQ(InitApplication(), 1);
    Choose(MBAR_FILE_NEWPRJ);
  }

  cz::test::SimFixture sim_;
};

TEST_F(WindowLiveTest, UploadOf500MegabytesOverTheSocket) { LargeUpload(false, "upload 500 MB, socket"); }
TEST_F(WindowLiveTest, UploadOf500MegabytesOverVxi11) { LargeUpload(true, "upload 500 MB, VXI-11"); }

// Transfer to PC of 200 MB, and one whose reply starts 3 s late (the
// instrument reads its file first): Cancel 0.5 s into the wait ends it
// within a second, and the local file of that name stays as it was. A
// second run of either (see above) copies the large file to a new name and
// cancels the late one again.
TEST_F(WindowLiveTest, TransferToPcOf200MegabytesAndOneThatStartsLate) {
  StartWithInstrument(false, {"late=3000*2@MMEM:DATA? 'D:\\late.wv'"});
  const std::string wave = dir_.File("big.wv");
  ASSERT_TRUE(cz::test::WriteLargeWaveFile(wave, 50000000));
  UploadThroughThePage(wave, "D:\\big.wv");
  const std::string small = dir_.File("small.wv");
  ASSERT_TRUE(cz::test::WriteLargeWaveFile(small, 1000));
  UploadThroughThePage(small, "D:\\late.wv");

  const std::string copies[] = {dir_.File("copy.wv"), dir_.File("copy2.wv")};
  const std::string kept = dir_.File("kept.wv");
  ASSERT_TRUE(WriteFileBytes(kept, "the user's own file"));
  GapMeter meter;
  LiveMeasure big, late;
  double cancelTakenMs = -1;
  int bigRuns = 0, lateRuns = 0;
  // A file picked in the list is taken by the dialog's next turn.
  auto pick = [](const char* name) {
    return [name](int p) {
      ASSERT_GE(FileIndex(p, name), 0) << name;
      UiTest_ClickTreeItem(p, PANEL_FB_FILES, FileIndex(p, name), false);
    };
  };
  // Three turns for each run of a copy: pick the file, start the copy, read
  // the meter. A second run only when the first was over the bound; the
  // lesser gap is kept in *best, the Cancel's time (where one was pressed)
  // in cancelTakenMs.
  std::vector<std::function<void(int)>> steps;
  auto addRuns = [&](const char* name, const char* command, LiveMeasure* best, int* runs,
                     std::function<void(int)> before) {
    for (int run = 0; run < 2; ++run) {
      steps.push_back([&, name, best, runs, run](int p) {
        if (run > 0 && (best->gap < kLiveBoundMs || ::testing::Test::HasFailure())) return;
        *runs = run + 1;
        pick(name)(p);
      });
      steps.push_back([&, runs, before, run](int p) {
        if (*runs != run + 1) return;
        before(run);
        meter.Restart();
        ASSERT_EQ(UiTest_ClickCtrl(p, PANEL_FB_ARBFILECOPY), 1);
      });
      steps.push_back([&, command, best, runs, run](int) {
        if (*runs != run + 1) return;
        LiveMeasure m;
        m.Read(meter);
        Report(command, m.gap, m.wall, m.ms);
        if (best->gap < 0.0 || m.gap < best->gap) *best = m;
        if (meter.ActionMs() >= 0.0) cancelTakenMs = m.ms - meter.ActionMs();
      });
    }
  };
  addRuns("big.wv", "Transfer to PC 200 MB", &big, &bigRuns, [&](int run) { UiTest_QueueFile(copies[run].c_str()); });
  addRuns("late.wv", "Transfer to PC, reply 3 s late", &late, &lateRuns, [&](int) {
    UiTest_QueueFile(kept.c_str());
    UiTest_QueueMessageOk();  // "File transfer cancelled."
    meter.At(500, [] {
      const int dialog = cz::test::FindProgressPanel();
      UiTest_ClickCtrl(dialog, cz::test::FindCtrlByName(dialog, "BT_CANCEL"));
    });
  });
  Browse(std::move(steps));
  EXPECT_LT(big.gap, kLiveBoundMs);
  const std::string& copy = copies[bigRuns > 0 ? bigRuns - 1 : 0];
  ASSERT_TRUE(FileExists(copy)) << Log().substr(Log().size() > 3000 ? Log().size() - 3000 : 0);
  EXPECT_EQ(std::filesystem::file_size(copy), std::filesystem::file_size(wave));
  EXPECT_LT(late.gap, kLiveBoundMs);
  ASSERT_GE(cancelTakenMs, 0.0) << "Cancel was never pressed";
  EXPECT_LT(cancelTakenMs, 1000.0);
  EXPECT_EQ(ReadFileBytes(kept), "the user's own file");
  bool told = false;
  for (const auto& popup : UiTest_Popups()) told = told || popup.text == "File transfer cancelled.";
  EXPECT_TRUE(told);
  std::remove(wave.c_str());
  for (const std::string& c : copies) std::remove(c.c_str());
}

// Generate of 10^8 samples with the Baseband Filter on: the samples' and
// the markers' resampling both keep the window live.
TEST_F(WindowLiveTest, FilteredGenerateOf100MillionSamples) {
  StartAlone();
  const std::string wave = dir_.File("filtered.wv");
  PulseTrain(10000, wave);
  if (HasFatalFailure()) return;
  Click(TAB_SEDIT, TAB_SEDIT_CMD_FILTER);
  ASSERT_EQ(UiTest_EnterValue(FILTER, FILTER_CMD_BBFILTER, 1), 1);
  Click(FILTER, FILTER_CMD_ACCEPT);
  ASSERT_EQ(SequenceTable[CurrentSequence].filterOn, 1);
  UiTest_ClearPopups();
  const LiveMeasure generate = LiveRun("filtered Generate 10^8 samples", [&](int) {
    Click(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE);
    EXPECT_EQ(Status(), "Waveform Creation Finished Successfully.") << Log();
    EXPECT_GE(LastBuildSamples, 100000000);
  });
  EXPECT_LT(generate.gap, kLiveBoundMs);
  std::remove(wave.c_str());
}

// Import of a 10^6-point I/Q envelope on the Pulse Editor: the progress
// dialog shows the two passes and the tables are filled in pieces; Cancel
// 0.2 s into a second import stops it, the envelope as it was.
TEST_F(WindowLiveTest, ImportOfAMillionPointIqEnvelopeAndItsCancel) {
  StartAlone();
  const std::string file = dir_.File("envelope.txt");
  ASSERT_TRUE(cz::test::WriteIqTextFile(file, 1000000));
  Choose(MBAR_PULSE_PNEW);
  Click(P_TIM, P_TIM_RADIO_ARBENVEL);
  ASSERT_EQ(UiTest_ChooseRingIndex(T_IMP, T_IMP_RING_IMPORTMODE, 1), 1);  // "I and Q"
  const LiveMeasure import = LiveRun("import of a 10^6-point I/Q envelope", [&](int) {
    UiTest_QueueFile(file.c_str());
    Click(T_IMP, T_IMP_CMD_IMPORTARBENV);
    EXPECT_EQ(PulseTable[0].envelope.Count(), 1000000) << Log();
  });
  EXPECT_TRUE(PulseTable[0].envelope.HasQ());
  int rows = 0;
  GetNumTableRows(T_IQ, T_IQ_TABLE_ARBENVEL, &rows);
  EXPECT_EQ(rows, 1000000);
  EXPECT_LT(import.gap, kLiveBoundMs);
  // The shape, plotted in pieces, shows every I and every Q value once, in order.
  std::vector<double> shownI, shownQ;
  for (const UiTest_Plot& plot : UiTest_GetPlots(T_VIEW, T_VIEW_GRAPH_ENVSHAPE)) {
    std::vector<double>& to = plot.color == 0x5050FF ? shownI : shownQ;
    ASSERT_TRUE(!plot.x.empty() && plot.x.front() == static_cast<double>(to.size()));
    to.insert(to.end(), plot.y.begin(), plot.y.end());
  }
  EXPECT_EQ(shownI, PulseTable[0].envelope.Values());
  EXPECT_EQ(shownQ, PulseTable[0].envelope.QValues());

  Choose(MBAR_PULSE_PNEW);
  ASSERT_EQ(PulseCount, 2);
  Click(P_TIM, P_TIM_RADIO_ARBENVEL);
  UiTest_QueueFile(file.c_str());
  GapMeter meter;
  meter.At(200, [] {
    const int dialog = cz::test::FindProgressPanel();
    UiTest_ClickCtrl(dialog, cz::test::FindCtrlByName(dialog, "BT_CANCEL"));
  });
  Click(T_IMP, T_IMP_CMD_IMPORTARBENV);
  ASSERT_GE(meter.ActionMs(), 0.0) << "Cancel was never pressed";
  EXPECT_LT(meter.ElapsedMs() - meter.ActionMs(), 250.0);
  EXPECT_TRUE(PulseTable[1].envelope.Empty());
  EXPECT_EQ(Status(), "User break");
  EXPECT_EQ(PulseTable[0].envelope.Count(), 1000000);
}

// Save As, Save and Load of a 30 MB project (a pulse with a 560,000-point
// I/Q envelope, as users keep them).
TEST_F(WindowLiveTest, SaveSaveAsAndLoadOfA30MegabyteProject) {
  StartAlone();
  Choose(MBAR_PULSE_PNEW);
  const int points = 560000;
  std::vector<double> i(points), q(points);
  for (int k = 0; k < points; ++k) {
    i[static_cast<std::size_t>(k)] = 0.5 * std::cos(0.001 * k);
    q[static_cast<std::size_t>(k)] = 0.5 * std::sin(0.001 * k);
  }
  ASSERT_TRUE(PulseTable[0].envelope.SetIq(std::move(i), std::move(q)));
  const std::string project = dir_.File("large.prj");
  struct Step {
    const char* command;
    int item;
    bool chooseFile, confirm;
  } const steps[] = {
      {"Save As of a 30 MB project", MBAR_FILE_SAVEPRJAS, true, false},
      {"Save of a 30 MB project", MBAR_FILE_SAVEPRJ, false, false},
      {"Load of a 30 MB project", MBAR_FILE_LOADPRJ, true, true},
  };
  for (const Step& step : steps) {
    const LiveMeasure m = LiveRun(step.command, [&](int) {
      if (step.chooseFile) UiTest_QueueFile(project.c_str());
      if (step.confirm) UiTest_QueueConfirm(true);  // the project in memory goes
      Choose(step.item);
    });
    EXPECT_LT(m.gap, kLiveBoundMs) << step.command;
    EXPECT_GE(std::filesystem::file_size(project), 30000000u);
  }
  ASSERT_EQ(PulseCount, 1);
  EXPECT_EQ(PulseTable[0].envelope.Count(), points);
}

}  // namespace
