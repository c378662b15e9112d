// Another instrument at the address of the identified one: the simulator is
// restarted as another model on the same port while the program runs. Upload,
// RF list upload and multi-segment Generate send nothing to it and say that
// the instrument changed; once it is identified again, the Transfer page's
// linked file names take its path style and the upload uses them.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/PanelIds.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "app/Startup.h"
#include "instrument/Identify.h"
#include "platform/ui/TestDriver.h"
#include "tests/support/SimFixture.h"
#include "tests/support/ProgramSteps.h"
#include "tests/support/StartupHome.h"
#include "ui/dialogs/InstrumentManagerDialog.h"
#include "ui/main/MultiSegmentPage.h"
#include "ui/main/RfListPage.h"
#include "ui/main/SequenceEditorPage.h"
#include "ui/main/TransferPage.h"

namespace {

using cz::test::FileExists;
using cz::test::WriteFileBytes;

class InstrumentChangedTest : public cz::test::StartupHomeTest, public cz::test::ProgramSteps {
 protected:
  void SetUp() override {
    StartupHomeTest::SetUp();
    // A free port first, then the first model on it, so that the second can
    // be started on the same address later.
    cz::test::SimOptions probe;
    probe.vxi11 = false;
    ASSERT_TRUE(sim_.Start(probe)) << sim_.Error();
    port_ = sim_.Port();
    StartModel("Kaldra", "KLD-M64,KLD-RFA30,KLD-M16");
    ASSERT_TRUE(WriteFileBytes(home_ + "/settings.ini",
                               "[INSTR]\r\nSelect = \"" + sim_.SocketResource() + "\"\r\n[DEV]\r\nDevice1 = \"" +
                                   sim_.SocketResource() + "\"\r\n[PRG]\r\nTempDir = \"" + home_ +
                                   "/Temp\"\r\nLastPrj = \"\"\r\nSavePrjOnExit = False\r\n"));
  }
  void StartModel(const char* model, const char* options) {
    cz::test::SimOptions opt;
    opt.model = model;
    opt.options = options;
    opt.vxi11 = false;
    opt.port = port_;
    ASSERT_TRUE(sim_.Start(opt)) << sim_.Error();
    ASSERT_EQ(sim_.Port(), port_);
  }

  // Messages the simulator received beyond the open's own "*CLS", "*IDN?",
  // "*OPT?" and the error-queue reads that go with them.
  std::vector<std::string> Operations(std::size_t from) const {
    const std::vector<std::string> r = sim_.Received();
    std::vector<std::string> out;
    for (std::size_t k = from; k < r.size(); ++k)
      if (r[k] != "*CLS" && r[k] != "*IDN?" && r[k] != "*OPT?" && r[k] != ":SYST:ERR?") out.push_back(r[k]);
    return out;
  }
  // Deselects and selects the instrument again in the instrument manager,
  // which identifies what answers at its address.
  void IdentifyAgain() {
    Choose(MBAR_INSTR_INSTRSETUP);
    int group = -1, device = -1;
    GetTreeItemFromTag(INSTRMAN, INSTRMAN_TREE_INSTR, kManualBranchTag, &group);
    GetTreeItemChild(INSTRMAN, INSTRMAN_TREE_INSTR, group, 0, &device);
    ASSERT_GE(device, 0);
    ASSERT_EQ(UiTest_ClickTreeItem(INSTRMAN, INSTRMAN_TREE_INSTR, device, true), 1);
    ASSERT_EQ(UiTest_ClickTreeItem(INSTRMAN, INSTRMAN_TREE_INSTR, device, true), 1);
    Click(INSTRMAN, INSTRMAN_CMD_EXIT);
  }

  cz::test::SimFixture sim_;
  uint16_t port_ = 0;
};

TEST_F(InstrumentChangedTest, NothingIsSentToAnotherModelUntilItIsIdentified) {
  ASSERT_EQ(InitApplication(), 1);
  ASSERT_EQ(InstrumentCapabilities.Connected, 1);
  ASSERT_EQ(InstrumentCapabilities.UnixPaths, 0);
  Choose(MBAR_FILE_NEWPRJ);
  Choose(MBAR_PULSE_PNEW);
  Choose(MBAR_PULSE_SNEW);
  const std::string wave = dir_.File("m.wv");
  UiTest_QueueFile(wave.c_str());
  Click(TAB_SEDIT, TAB_SEDIT_CMD_FSEL);
  UiTest_ClearPopups();
  Click(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE);
  ASSERT_TRUE(FileExists(wave)) << Log();

  // Path A loads the linked file; its name is in the drive style.
  Click(TAB_INSTR, TAB_INSTR_CMD_BBMODE_A);
  if (!g_Settings.BBLinkFA) Click(TAB_INSTR, TAB_INSTR_CB_LINK_A);
  Click(TAB_INSTR, TAB_INSTR_CMD_UPLOAD);
  ASSERT_EQ(Text(TAB_INSTR, TAB_INSTR_STR_INSTRFILE_A).find("D:\\"), 0u) << Text(TAB_INSTR, TAB_INSTR_STR_INSTRFILE_A);

  // An RF list and a multi-segment waveform of the sequence.
  Choose(MBAR_PULSE_RFLISTNEW);
  ASSERT_EQ(UiTest_EnterValue(TAB_RFLIST, TAB_RFLIST_NUM_LEN, 3), 1);
  Click(TAB_RFLIST, TAB_RFLIST_CMD_SETLEN);
  ASSERT_EQ(UiTest_EnterValue(TAB_RFLIST, TAB_RFLIST_NUM_MIN, 1.0), 1);
  Click(TAB_RFLIST, TAB_RFLIST_CMD_FILLLIST);
  Choose(MBAR_PULSE_SEGNEW);
  Click(TAB_MSEG, TAB_MSEG_CMD_SENTRY_NEW);
  ASSERT_EQ(MultiSegmentTable[0].SegmentsInUse(), 1);

  // Another model takes the address.
  StartModel("Nerrin", "NRN-M32A,OPT-HDD");
  const std::string changed = "Error: Instrument Changed. Identify It Again.";
  UiTest_ClearPopups();
  Click(TAB_INSTR, TAB_INSTR_CMD_UPLOAD);
  EXPECT_TRUE(Operations(0).empty()) << Operations(0).front();
  EXPECT_EQ(Status(), changed);
  EXPECT_NE(Log().find("changed: 'Torvane,Nerrin' answers instead of the identified 'Torvane,Kaldra'. Identify the "
                       "instrument again."),
            std::string::npos)
      << Log();
  EXPECT_EQ(Dimmed(TAB_INSTR, TAB_INSTR_CMD_UPLOAD), 0);

  Choose(MBAR_PULSE_RFLISTNEW);
  ASSERT_EQ(UiTest_EnterValue(TAB_RFLIST, TAB_RFLIST_NUM_LEN, 3), 1);
  Click(TAB_RFLIST, TAB_RFLIST_CMD_SETLEN);
  Click(TAB_RFLIST, TAB_RFLIST_CMD_UPLOAD);
  EXPECT_TRUE(Operations(0).empty()) << Operations(0).front();
  EXPECT_EQ(Status(), changed);

  Choose(MBAR_PULSE_SEGNEW);
  Click(TAB_MSEG, TAB_MSEG_CMD_SENTRY_NEW);
  Click(TAB_MSEG, TAB_MSEG_CMD_GENERATE);
  EXPECT_TRUE(Operations(0).empty()) << Operations(0).front();
  EXPECT_EQ(Status(), changed);
  EXPECT_EQ(Dimmed(TAB_MSEG, TAB_MSEG_CMD_GENERATE), 0);
  EXPECT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text;

  // Identified again: the linked name takes the new model's path style at
  // once, and the upload sends the file under the name the page shows.
  IdentifyAgain();
  ASSERT_EQ(InstrumentCapabilities.Connected, 1);
  EXPECT_EQ(InstrumentCapabilities.UnixPaths, 1);
  const std::string shown = Text(TAB_INSTR, TAB_INSTR_STR_INSTRFILE_A);
  EXPECT_EQ(shown.find("/hdd/"), 0u) << shown;
  EXPECT_EQ(shown, g_Settings.RemoteFileA.str());
  const std::size_t before = sim_.Received().size();
  Click(TAB_INSTR, TAB_INSTR_CMD_UPLOAD);
  const std::vector<std::string> sent = Operations(before);
  EXPECT_TRUE(std::any_of(sent.begin(), sent.end(),
                          [&](const std::string& m) { return m.rfind(":MMEM:DATA '" + shown + "'", 0) == 0; }))
      << Log();
  EXPECT_EQ(Text(TAB_INSTR, TAB_INSTR_STR_INSTRFILE_A), shown);
}

}  // namespace
