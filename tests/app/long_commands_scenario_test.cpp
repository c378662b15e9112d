// Scenarios around the long commands, through the started program's own
// callbacks offscreen (the simulated generator on 127.0.0.1 where one is
// needed): the Sequence View across builds of other sizes and a project
// load, a cancelled envelope import followed by a save, and Transfer to PC
// cancelled while the instrument has not yet answered, then tried again.
// What is checked is what the user checks afterwards: the view against the
// samples of the file, the project file, the local file and the status;
// and RF settings from settings.ini beyond the Transfer page's fields.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
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
#include "editors/SequenceView.h"
#include "editors/SequenceViewIds.h"
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
#include "ui/main/SequenceEditorPage.h"
#include "ui/main/TransferPage.h"
#include "ui/pulse/EnvelopePages.h"
#include "ui/pulse/TimingPanel.h"

namespace {

using cz::test::FileExists;
using cz::test::GapMeter;
using cz::test::ReadFileBytes;
using cz::test::WriteFileBytes;

class LongCommandsScenarioTest : public cz::test::StartupHomeTest, public cz::test::ProgramSteps {
 protected:
  void TearDown() override {
    cz::test::ClearBrowserStep();
    StartupHomeTest::TearDown();
    Visa_SetVxi11CorePort(0);
  }

  // The program started with the simulated generator selected (socket or
  // VXI-11), or with none.
  void Start(int transport, const std::vector<std::string>& faults = {}) {
    std::string resource;
    if (transport != kNoInstrument) {
      cz::test::SimOptions opt;
      opt.modelOptions = true;
      opt.vxi11 = transport == kVxi11;
      opt.faults = faults;
      ASSERT_TRUE(sim_.Start(opt)) << sim_.Error();
      if (opt.vxi11) Visa_SetVxi11CorePort(sim_.Vxi11Port());
      resource = opt.vxi11 ? sim_.Vxi11Resource() : sim_.SocketResource();
    }
    ASSERT_TRUE(WriteFileBytes(home_ + "/settings.ini", StartSettings(home_, resource)));
    ASSERT_EQ(InitApplication(), 1);
    Choose(MBAR_FILE_NEWPRJ);
  }

  void Generate() {
    UiTest_ClearPopups();
    Click(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE);
    ASSERT_EQ(Status(), "Waveform Creation Finished Successfully.") << Log();
  }

  // Every display point of the view holds the extremes of its own samples,
  // read from the file the view names, and the points cover the viewport.
  static void ExpectViewShowsTheFile(const char* when) {
    const SequenceViewState& s = g_SequenceView;
    ASSERT_NE(s.iqFile, nullptr) << when;
    ASSERT_GT(s.pointCount, 0) << when;
    EXPECT_EQ(s.pointStart[0], s.firstSample) << when;
    EXPECT_EQ(s.pointStart[s.pointCount], s.lastSample + 1) << when;
    const int64_t span = s.lastSample - s.firstSample + 1;
    std::vector<float> iq(static_cast<std::size_t>(2 * span));
    const ssize_t bytes = static_cast<ssize_t>(iq.size() * sizeof(float));
    ASSERT_EQ(pread(fileno(s.iqFile), iq.data(), static_cast<std::size_t>(bytes), 3 + 8 * s.firstSample), bytes)
        << when;
    int wrong = 0;
    for (int p = 0; p < s.pointCount; ++p) {
      float hiI = -1e30f, loI = 1e30f;
      for (int64_t k = s.pointStart[p]; k < s.pointStart[p + 1]; ++k) {
        hiI = std::max(hiI, iq[static_cast<std::size_t>(2 * (k - s.firstSample))]);
        loI = std::min(loI, iq[static_cast<std::size_t>(2 * (k - s.firstSample))]);
      }
      if (s.maxI[p] != hiI || s.minI[p] != loI) ++wrong;
    }
    EXPECT_EQ(wrong, 0) << when << ": points of " << s.pointCount << " that are not their samples' extremes";
  }
  static void ZoomOutWhole() {
    while (g_SequenceView.width < g_SequenceView.totalSamples) Click(TAB_VIEW, TAB_VIEW_CMD_GRAPHZOOMOUT);
  }

  // The file browser of path A; each turn of its loop takes the next step,
  // and Cancel ends it after the last.
  void Browse(std::vector<std::function<void(int)>> steps) {
    cz::test::BrowseWith(TAB_INSTR, TAB_INSTR_CMD_FSEL_INSTR_A, std::move(steps));
  }
  static std::function<void(int)> Pick(const char* name) {
    return [name](int p) {
      int count = 0, found = -1;
      GetNumTreeItems(p, PANEL_FB_FILES, &count);
      for (int i = 0; i < count; ++i) {
        char text[256] = "";
        GetTreeCellAttribute(p, PANEL_FB_FILES, i, 1, ATTR_LABEL_TEXT, text, sizeof text);
        if (std::string(text) == name) found = i;
      }
      ASSERT_GE(found, 0) << name;
      UiTest_ClickTreeItem(p, PANEL_FB_FILES, found, false);
    };
  }
  static void PressProgressCancel() {
    const int dialog = cz::test::FindProgressPanel();
    UiTest_ClickCtrl(dialog, cz::test::FindCtrlByName(dialog, "BT_CANCEL"));
  }

  static constexpr int kNoInstrument = 0, kSocket = 1, kVxi11 = 2;
  cz::test::SimFixture sim_;
};

// The view opened on a 3 M-sample build and zoomed out whole (its summary
// made), then builds of 0.5 M and 3 M samples again, zoomed out, and a
// project loaded over it all: at every step the points are the samples of
// the file now built.
TEST_F(LongCommandsScenarioTest, TheViewFollowsBuildsOfOtherSizesAndALoad) {
  Start(kNoInstrument);
  const std::string wave = dir_.File("train.wv");
  PulseTrain(300, wave);
  Generate();
  ZoomOutWhole();
  ExpectViewShowsTheFile("3 M samples, whole");
  Repetitions(50);
  Generate();
  ExpectViewShowsTheFile("0.5 M samples, as built");
  ZoomOutWhole();
  ExpectViewShowsTheFile("0.5 M samples, whole");
  ASSERT_EQ(UiTest_EnterValue(P_TIM, P_TIM_NUM_ON, 40.0), 1);
  Repetitions(300);
  Generate();
  ZoomOutWhole();
  ExpectViewShowsTheFile("3 M samples of a longer pulse, whole");

  const std::string project = dir_.File("train.prj");
  UiTest_QueueFile(project.c_str());
  Choose(MBAR_FILE_SAVEPRJAS);
  UiTest_QueueFile(project.c_str());
  UiTest_QueueConfirm(true);
  Choose(MBAR_FILE_LOADPRJ);
  ASSERT_EQ(SequenceCount, 1) << Log();
  ExpectViewShowsTheFile("after the load");
  Click(TAB_VIEW, TAB_VIEW_CMD_GRAPHZOOMIN);
  ExpectViewShowsTheFile("zoomed in after the load");
}

// A pulse with a 1,000-point envelope saved; an import of a million
// points cancelled on that pulse, then Save: the project file is the one
// saved before, and loads back with the 1,000 points.
TEST_F(LongCommandsScenarioTest, ACancelledEnvelopeImportThenSaveKeepsTheProject) {
  Start(kNoInstrument);
  const std::string small = dir_.File("small.txt"), large = dir_.File("large.txt");
  ASSERT_TRUE(cz::test::WriteIqTextFile(small, 1000));
  ASSERT_TRUE(cz::test::WriteIqTextFile(large, 1000000));
  Choose(MBAR_PULSE_PNEW);
  Click(P_TIM, P_TIM_RADIO_ARBENVEL);
  ASSERT_EQ(UiTest_ChooseRingIndex(T_IMP, T_IMP_RING_IMPORTMODE, 1), 1);  // "I and Q"
  UiTest_QueueFile(small.c_str());
  Click(T_IMP, T_IMP_CMD_IMPORTARBENV);
  ASSERT_EQ(PulseTable[0].envelope.Count(), 1000) << Log();
  const std::string project = dir_.File("envelope.prj");
  UiTest_QueueFile(project.c_str());
  Choose(MBAR_FILE_SAVEPRJAS);
  const std::string saved = ReadFileBytes(project);
  ASSERT_FALSE(saved.empty()) << Log();

  UiTest_QueueFile(large.c_str());
  GapMeter meter;
  meter.At(200, &PressProgressCancel);
  Click(T_IMP, T_IMP_CMD_IMPORTARBENV);
  ASSERT_GE(meter.ActionMs(), 0.0) << "Cancel was never pressed";
  EXPECT_EQ(Status(), "User break");
  EXPECT_EQ(PulseTable[0].envelope.Count(), 1000);
  // The pulse shown again from the library, then saved: unchanged too.
  ClickLibraryItem(kPulseLibraryTag, 0);
  Choose(MBAR_FILE_SAVEPRJ);
  const std::string again = ReadFileBytes(project);
  const auto differ = std::mismatch(saved.begin(), saved.end(), again.begin(), again.end());
  EXPECT_TRUE(again == saved) << "the project differs from byte " << (differ.first - saved.begin()) << ": "
                              << again.substr(static_cast<std::size_t>(differ.second - again.begin()), 80);
  UiTest_QueueFile(project.c_str());
  UiTest_QueueConfirm(true);
  Choose(MBAR_FILE_LOADPRJ);
  ASSERT_EQ(PulseCount, 1) << Log();
  EXPECT_EQ(PulseTable[0].envelope.Count(), 1000);
}

// Transfer to PC of a file the instrument answers 3 s late, cancelled
// 0.3 s into the wait: the local file stays, and the next Transfer to PC
// into it, of another file, brings that file's bytes, over either link.
TEST_F(LongCommandsScenarioTest, TransferToPcCancelledThenAgainBringsTheRightFile) {
  for (const int transport : {kSocket, kVxi11}) {
    SCOPED_TRACE(transport == kSocket ? "socket" : "VXI-11");
    Start(transport, {"late=3000*1@MMEM:DATA? 'D:\\late.wv'"});
    const std::string late = dir_.File("late.wv"), other = dir_.File("other.wv");
    ASSERT_TRUE(cz::test::WriteLargeWaveFile(late, 1000));
    ASSERT_TRUE(cz::test::WriteLargeWaveFile(other, 3000));
    ASSERT_TRUE(sim_.Running());
    for (const auto& [local, remote] : {std::pair{late, "D:\\late.wv"}, std::pair{other, "D:\\other.wv"}}) {
      if (g_Settings.BBModeA != 1) Click(TAB_INSTR, TAB_INSTR_CMD_BBMODE_A);
      if (g_Settings.BBLinkFA) Click(TAB_INSTR, TAB_INSTR_CB_NLINK_A);
      ASSERT_EQ(UiTest_EnterValue(TAB_INSTR, TAB_INSTR_STR_INSTRFILE_A, remote), 1);
      ASSERT_EQ(UiTest_CommitCtrl(TAB_INSTR, TAB_INSTR_STR_INSTRFILE_A), 1);
      UpdateLinkedRemoteFiles(local.c_str(), "");
      Click(TAB_INSTR, TAB_INSTR_CMD_UPLOAD);
      ASSERT_EQ(Status(), "Transfer Complete.") << Log();
    }
    const std::string kept = dir_.File("kept.wv");
    ASSERT_TRUE(WriteFileBytes(kept, "the user's own file"));
    GapMeter meter;
    std::string afterCancel;
    Browse({Pick("late.wv"),
            [&](int p) {
              UiTest_QueueFile(kept.c_str());
              UiTest_QueueMessageOk();  // "File transfer cancelled."
              meter.Restart();
              meter.At(300, &PressProgressCancel);
              ASSERT_EQ(UiTest_ClickCtrl(p, PANEL_FB_ARBFILECOPY), 1);
            },
            [&](int) { afterCancel = ReadFileBytes(kept); }, Pick("other.wv"),
            [&](int p) {
              UiTest_QueueFile(kept.c_str());
              ASSERT_EQ(UiTest_ClickCtrl(p, PANEL_FB_ARBFILECOPY), 1);
            }});
    ASSERT_GE(meter.ActionMs(), 0.0) << "Cancel was never pressed";
    EXPECT_EQ(afterCancel, "the user's own file");
    EXPECT_EQ(ReadFileBytes(kept), ReadFileBytes(other)) << Log().substr(Log().size() > 4000 ? Log().size() - 4000 : 0);
    TearDownApplication();
    sim_.Stop();
    Visa_SetVxi11CorePort(0);
  }
}

}  // namespace
namespace {

// RF settings that settings.ini brings in beyond the Transfer page's fields
// (0.0001 .. 6 GHz, -130 .. 13 dBm): Upload sends none of them and leaves
// the RF output as it was; values inside are sent.
TEST_F(LongCommandsScenarioTest, RfSettingsOutsideTheirFieldsAreNotSent) {
  const struct Row {
    const char *frequency, *level, *status;
  } rows[] = {{"2", "30", "Error: Frequency or Level Out of Range."},
              {"50", "-10", "Error: Frequency or Level Out of Range."},
              {"2", "-10", "Transfer Complete."}};
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.frequency) + " GHz, " + row.level + " dBm");
    cz::test::SimOptions opt;
    opt.modelOptions = true;
    opt.vxi11 = false;
    ASSERT_TRUE(sim_.Start(opt)) << sim_.Error();
    const std::string resource = sim_.SocketResource();
    ASSERT_TRUE(WriteFileBytes(home_ + "/settings.ini",
                               StartSettings(home_, resource,
                                             "BBModeA = 0\r\nBBModeB = 0\r\nRFSetFA = True\r\nRFSetLA = True\r\n"
                                             "RFStateA = True\r\nRFSetFB = False\r\nRFSetLB = False\r\nRFFreqA = " +
                                                 std::string(row.frequency) + "\r\nRFLevA = " + row.level + "\r\n")));
    ASSERT_EQ(InitApplication(), 1);
    Click(TAB_INSTR, TAB_INSTR_CMD_UPLOAD);
    EXPECT_EQ(Status(), row.status);
    const std::vector<std::string> sent = sim_.Received();
    const bool levelSent = std::any_of(sent.begin(), sent.end(), [&](const std::string& m) {
      return m.rfind(std::string("SOUR1:POW ") + row.level, 0) == 0;
    });
    const bool rfOn = std::find(sent.begin(), sent.end(), "OUTP1:STAT ON; *OPC?") != sent.end();
    const bool inRange = std::string(row.status) == "Transfer Complete.";
    EXPECT_EQ(levelSent, inRange);
    EXPECT_EQ(rfOn, inRange);
    TearDownApplication();
    sim_.Stop();
  }
}

}  // namespace
