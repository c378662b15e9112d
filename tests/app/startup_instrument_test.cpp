// Start-up with a selected instrument: the link check identifies it, the
// Instrument Manager shows it selected with its identity text, the Transfer
// page shows its resource; an instrument that no longer answers leaves no
// instrument selected. Only 127.0.0.1 is used.
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "app/MainCommands.h"
#include "app/PanelIds.h"
#include "app/PluginLoader.h"
#include "app/Settings.h"
#include "app/Startup.h"
#include "instrument/Identify.h"
#include "instrument/InstrumentManager.h"
#include "platform/ui/TestDriver.h"
#include "tests/support/OffscreenApp.h"
#include "tests/support/SimFixture.h"
#include "tests/support/StartupHome.h"
#include "tests/support/TempDir.h"
#include "ui/dialogs/InstrumentManagerDialog.h"
#include "ui/main/TransferPage.h"

namespace {

using cz::test::WriteFileBytes;

class StartupInstrumentTest : public cz::test::StartupHomeTest {
 protected:
  void WriteSettings(const std::string& select) {
    ASSERT_TRUE(WriteFileBytes(home_ + "/settings.ini",
                               "[INSTR]\r\nSelect = \"" + select + "\"\r\n[DEV]\r\nDevice1 = \"" + select +
                                   "\"\r\nComment1 = \"bench\"\r\n[PRG]\r\nTempDir = \"" + home_ +
                                   "/Temp\"\r\nLastPrj = \"\"\r\nSavePrjOnExit = False\r\n"));
  }
  static std::string Text(int panel, int control) {
    char text[2048] = "";
    GetCtrlVal(panel, control, text, sizeof text);
    return text;
  }
};

TEST_F(StartupInstrumentTest, SelectedInstrumentIsIdentifiedAndShown) {
  cz::test::SimFixture sim;
  cz::test::SimOptions opt;
  opt.model = "Kaldra";
  opt.options = "KLD-M64,KLD-M16";
  opt.vxi11 = false;
  ASSERT_TRUE(sim.Start(opt)) << sim.Error();
  WriteSettings(sim.SocketResource());
  ASSERT_EQ(InitApplication(), 1);

  ASSERT_GT(INSTRMAN, 0);
  EXPECT_NE(Text(INSTRMAN, INSTRMAN_STR_INSTR).find("Instrument : Torvane Kaldra"), std::string::npos);
  EXPECT_EQ(Text(TAB_INSTR, TAB_INSTR_STR_DEVICE), sim.SocketResource());
  EXPECT_EQ(InstrumentCapabilities.Connected, 1);
  int group = -1, item = -1, image = -1;
  GetTreeItemFromTag(INSTRMAN, INSTRMAN_TREE_INSTR, kManualBranchTag, &group);
  GetTreeItemChild(INSTRMAN, INSTRMAN_TREE_INSTR, group, 0, &item);
  GetTreeItemAttribute(INSTRMAN, INSTRMAN_TREE_INSTR, item, ATTR_IMAGE_INDEX, &image);
  EXPECT_EQ(image, INSTR_IMAGE_SELECTED);

  // Instrument > Manager and the Transfer page's button show the dialog.
  int visible = -1;
  ASSERT_EQ(UiTest_ChooseMenuItem(GetPanelMenuBar(PANEL_MAIN), MBAR_INSTR_INSTRSETUP), 1);
  GetPanelAttribute(INSTRMAN, ATTR_VISIBLE, &visible);
  EXPECT_EQ(visible, 1);
  HidePanel(INSTRMAN);
  ASSERT_EQ(UiTest_ClickCtrl(TAB_INSTR, TAB_INSTR_CMD_SELINSTR), 1);
  GetPanelAttribute(INSTRMAN, ATTR_VISIBLE, &visible);
  EXPECT_EQ(visible, 1);
}

TEST_F(StartupInstrumentTest, LostInstrumentLeavesNoneSelected) {
  WriteSettings("TCPIP0::127.0.0.1::1::SOCKET");
  ASSERT_EQ(InitApplication(), 1);
  EXPECT_TRUE(g_Settings.Select.empty());
  EXPECT_EQ(InstrumentCapabilities.Connected, 0);
  EXPECT_EQ(Text(INSTRMAN, INSTRMAN_STR_INSTR), "");
  EXPECT_EQ(Text(TAB_INSTR, TAB_INSTR_STR_DEVICE), "");
}

}  // namespace
