// Instrument manager: labels of resources, the dialog as built, the device
// lists behind the tree, selection against the simulator (and a lost
// instrument), and the scans. Nothing leaves 127.0.0.1: the LAN scan reads
// a hosts table of the test and only lists names.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/PanelIds.h"
#include "app/Settings.h"
#include "instrument/Identify.h"
#include "instrument/InstrumentManager.h"
#include "platform/ui/TestDriver.h"
#include "tests/instrument/InstrumentTestSupport.h"
#include "tests/support/SimFixture.h"
#include "tests/support/TempDir.h"
#include "ui/dialogs/InstrumentManagerDialog.h"

namespace {

using cz::test::SimFixture;
using cz::test::SimOptions;
using cz::test::TempDir;

TEST(InstrumentLabels, ResourceLabelsAndUsbModels) {
  EXPECT_STREQ(ModelNameFromUsbId("70"), "Halvex");
  EXPECT_STREQ(ModelNameFromUsbId("146"), "Ostrel");
  EXPECT_STREQ(ModelNameFromUsbId("71"), "");
  EXPECT_STREQ(ModelNameFromUsbId(""), "");
  EXPECT_STREQ(ModelNameFromUsbId(nullptr), "");
  EXPECT_EQ(InstrumentDeviceLabel("USB::0x2B7A::95::100200::INSTR"), "USB   Nerrin,100200");
  EXPECT_EQ(InstrumentDeviceLabel("usb::0x2B7A::99::7::INSTR"), "USB   ,7");
  EXPECT_EQ(InstrumentDeviceLabel("TCPIP::gen1.lab::INSTR"), "TCPIP gen1.lab");
  EXPECT_EQ(InstrumentDeviceLabel("GPIB1::28::INSTR"), "GPIB  1:28");
  EXPECT_EQ(InstrumentDeviceLabel("TCPIP0::127.0.0.1::5025::SOCKET"), "TCPIP0::127.0.0.1::5025::SOCKET");
  EXPECT_EQ(InstrumentDeviceLabel(""), "");
}

class InstrumentManagerTest : public cz::test::InstrumentTest {
 protected:
  void SetUp() override {
    InstrumentTest::SetUp();
    AppSettings fresh;
    g_Settings = fresh;
    ResetInstrumentCapabilities();
    INSTRMAN = BuildInstrumentManagerPanel(0);
    ASSERT_GT(INSTRMAN, 0);
  }
  void TearDown() override {
    INSTRMAN = 0;
    InstrumentManager_SetHostsFile(nullptr);
    ResetInstrumentCapabilities();
    InstrumentTest::TearDown();
  }
  static int Branch(const char* tag) {
    int item = -1;
    GetTreeItemFromTag(INSTRMAN, INSTRMAN_TREE_INSTR, tag, &item);
    return item;
  }
  static int Child(const char* tag, int n) {
    int child = -1;
    GetTreeItemChild(INSTRMAN, INSTRMAN_TREE_INSTR, Branch(tag), n, &child);
    return child;
  }
  static int Children(const char* tag) {
    int count = -1;
    GetTreeItemNumChildren(INSTRMAN, INSTRMAN_TREE_INSTR, Branch(tag), &count);
    return count;
  }
  static int Image(int item) {
    int image = -1;
    GetTreeItemAttribute(INSTRMAN, INSTRMAN_TREE_INSTR, item, ATTR_IMAGE_INDEX, &image);
    return image;
  }
  static void AddOther(const char* resource) {
    g_Settings.If = 3;
    SetCtrlVal(INSTRMAN, INSTRMAN_RING_INT, 3);
    SetCtrlVal(INSTRMAN, INSTRMAN_STR_1, resource);
    ASSERT_EQ(UiTest_ClickCtrl(INSTRMAN, INSTRMAN_CMD_ADD), 1);
  }
  SimFixture sim_;
};

TEST_F(InstrumentManagerTest, DialogAsBuilt) {
  int value = -1;
  char text[64] = "";
  GetCtrlVal(INSTRMAN, INSTRMAN_RING_INT, &value);
  EXPECT_EQ(value, 0);
  GetCtrlVal(INSTRMAN, INSTRMAN_RING_DEV, &value);
  EXPECT_EQ(value, 70);
  GetCtrlVal(INSTRMAN, INSTRMAN_STR_2, text, sizeof text);
  EXPECT_STREQ(text, "123123");
  GetCtrlVal(INSTRMAN, INSTRMAN_STR_LAN_DOMAIN, text, sizeof text);
  EXPECT_STREQ(text, "Instrument");
  GetCtrlAttribute(INSTRMAN, INSTRMAN_CMD_DEL, ATTR_DIMMED, &value);
  EXPECT_EQ(value, 1);
  int items = -1;
  GetNumTreeItems(INSTRMAN, INSTRMAN_TREE_INSTR, &items);
  EXPECT_EQ(items, 2);
  EXPECT_EQ(Children(kScannedBranchTag), 0);
  EXPECT_EQ(Children(kManualBranchTag), 0);
  // Entries outside the ranges are brought to the nearest limit.
  UiTest_EnterValue(INSTRMAN, INSTRMAN_NUM_SEL2, 40);
  GetCtrlVal(INSTRMAN, INSTRMAN_NUM_SEL2, &value);
  EXPECT_EQ(value, 31);
  UiTest_EnterValue(INSTRMAN, INSTRMAN_STR_2, std::string(40, '9').c_str());
  GetCtrlVal(INSTRMAN, INSTRMAN_STR_2, text, sizeof text);
  EXPECT_EQ(std::string(text).size(), 32u);
  // The close box hides the dialog like the close button.
  DisplayPanel(INSTRMAN);
  UiTest_PressCloseBox(INSTRMAN);
  GetPanelAttribute(INSTRMAN, ATTR_VISIBLE, &value);
  EXPECT_EQ(value, 0);
}

TEST_F(InstrumentManagerTest, FieldsFollowTheInterfaceAndComposeTheResource) {
  UiTest_ChooseRingIndex(INSTRMAN, INSTRMAN_RING_INT, 2);
  int visible = -1;
  GetCtrlAttribute(INSTRMAN, INSTRMAN_STR_1, ATTR_VISIBLE, &visible);
  EXPECT_EQ(visible, 0);
  UiTest_EnterValue(INSTRMAN, INSTRMAN_NUM_SEL1, 1);
  UiTest_EnterValue(INSTRMAN, INSTRMAN_NUM_SEL2, 7);
  EXPECT_EQ(g_Settings.ComposedResource.str(), "GPIB1::7::INSTR");
  UiTest_ChooseRingIndex(INSTRMAN, INSTRMAN_RING_INT, 0);
  EXPECT_EQ(g_Settings.ComposedResource.str(), "USB::0x2B7A::70::123123::INSTR");
  GetCtrlAttribute(INSTRMAN, INSTRMAN_RING_DEV, ATTR_VISIBLE, &visible);
  EXPECT_EQ(visible, 1);
  UiTest_ChooseRingIndex(INSTRMAN, INSTRMAN_RING_INT, 1);
  char label[64] = "";
  GetCtrlAttribute(INSTRMAN, INSTRMAN_STR_1, ATTR_LABEL_TEXT, label, sizeof label);
  EXPECT_STREQ(label, "Host or IP");
  EXPECT_EQ(g_Settings.If, 1);
}

TEST_F(InstrumentManagerTest, AddKeepsLabelsUniqueAndTheListHoldsThirtyTwo) {
  AddOther("TCPIP0::127.0.0.1::1::SOCKET");
  AddOther("TCPIP0::127.0.0.1::1::SOCKET");
  EXPECT_EQ(Children(kManualBranchTag), 1);
  EXPECT_EQ(std::count(Log().status.begin(), Log().status.end(), "Device Added."), 2);
  for (int i = 2; i <= 33; ++i) AddOther(("TCPIP0::127.0.0.1::" + std::to_string(i) + "::SOCKET").c_str());
  EXPECT_EQ(Children(kManualBranchTag), 33);
  EXPECT_EQ(g_Settings.ManualDeviceList.Resource[31].str(), "TCPIP0::127.0.0.1::32::SOCKET");
  // Rebuilding from the list shows the 32 that were stored.
  RebuildInstrumentTree();
  EXPECT_EQ(Children(kManualBranchTag), 32);

  // Delete takes the active device item; groups are never deleted.
  SetActiveTreeItem(INSTRMAN, INSTRMAN_TREE_INSTR, Branch(kManualBranchTag));
  SetCtrlAttribute(INSTRMAN, INSTRMAN_CMD_DEL, ATTR_DIMMED, 0);
  UiTest_ClickCtrl(INSTRMAN, INSTRMAN_CMD_DEL);
  EXPECT_EQ(Children(kManualBranchTag), 32);
  SetActiveTreeItem(INSTRMAN, INSTRMAN_TREE_INSTR, Child(kManualBranchTag, 0));
  UiTest_ClickCtrl(INSTRMAN, INSTRMAN_CMD_DEL);
  EXPECT_EQ(Children(kManualBranchTag), 31);
  EXPECT_EQ(g_Settings.ManualDeviceList.Resource[0].str(), "TCPIP0::127.0.0.1::2::SOCKET");
  EXPECT_TRUE(Log().HasStatus("Device Deleted."));
}

TEST_F(InstrumentManagerTest, SelectDeselectAndALostInstrument) {
  SimOptions opt;
  opt.model = "Kaldra";
  opt.options = "KLD-M64,KLD-M16";
  opt.vxi11 = false;
  ASSERT_TRUE(sim_.Start(opt)) << sim_.Error();
  g_Settings.ManualDeviceList.Resource[0] = sim_.SocketResource();
  g_Settings.ManualDeviceList.Comment[0] = "bench";
  g_Settings.ManualDeviceList.Resource[1] = "TCPIP0::127.0.0.1::1::SOCKET";
  RebuildInstrumentTree();
  const int good = Child(kManualBranchTag, 0), lost = Child(kManualBranchTag, 1);
  char comment[64] = "";
  GetTreeCellAttribute(INSTRMAN, INSTRMAN_TREE_INSTR, good, 1, ATTR_LABEL_TEXT, comment, sizeof comment);
  EXPECT_STREQ(comment, "bench");

  // A single click enables Delete and takes the item's resource.
  ASSERT_EQ(UiTest_ClickTreeItem(INSTRMAN, INSTRMAN_TREE_INSTR, good, false), 1);
  int dimmed = -1;
  GetCtrlAttribute(INSTRMAN, INSTRMAN_CMD_DEL, ATTR_DIMMED, &dimmed);
  EXPECT_EQ(dimmed, 0);
  EXPECT_EQ(g_Settings.ComposedResource.str(), sim_.SocketResource());

  ASSERT_EQ(UiTest_ClickTreeItem(INSTRMAN, INSTRMAN_TREE_INSTR, good, true), 1);
  EXPECT_TRUE(Log().HasStatus("Instrument Selected."));
  EXPECT_EQ(Image(good), INSTR_IMAGE_SELECTED);
  EXPECT_EQ(InstrumentCapabilities.Connected, 1);
  EXPECT_EQ(g_Settings.Select.str(), sim_.SocketResource());
  char info[kIdentifyInfoSize] = "";
  GetCtrlVal(INSTRMAN, INSTRMAN_STR_INSTR, info, sizeof info);
  EXPECT_NE(std::string(info).find("Kaldra"), std::string::npos);

  Log().Clear();
  UiTest_ClickTreeItem(INSTRMAN, INSTRMAN_TREE_INSTR, lost, true);
  EXPECT_TRUE(Log().HasStatus("Error: Close Other Connection First."));
  EXPECT_EQ(Image(lost), INSTR_IMAGE_DEVICE);

  // The selected instrument cannot be deleted.
  SetActiveTreeItem(INSTRMAN, INSTRMAN_TREE_INSTR, good);
  UiTest_ClickCtrl(INSTRMAN, INSTRMAN_CMD_DEL);
  EXPECT_EQ(Children(kManualBranchTag), 2);

  UiTest_ClickTreeItem(INSTRMAN, INSTRMAN_TREE_INSTR, good, true);
  EXPECT_TRUE(Log().HasStatus("Instrument Deselected."));
  EXPECT_EQ(InstrumentCapabilities.Connected, 0);
  EXPECT_TRUE(g_Settings.Select.empty());
  EXPECT_EQ(Image(good), INSTR_IMAGE_DEVICE);

  // An instrument that no longer answers is marked and nothing is selected.
  sim_.Stop();
  Log().Clear();
  UiTest_ClickTreeItem(INSTRMAN, INSTRMAN_TREE_INSTR, good, true);
  EXPECT_EQ(Log().status.back(), "Error: Failed to Open VISA Device.");
  EXPECT_EQ(Image(good), INSTR_IMAGE_FAILED);
  EXPECT_EQ(InstrumentCapabilities.Connected, 0);
  EXPECT_TRUE(g_Settings.Select.empty());
  GetCtrlAttribute(INSTRMAN, INSTRMAN_TREE_INSTR, ATTR_DIMMED, &dimmed);
  EXPECT_EQ(dimmed, 0);
}

// A model without support opens and identifies: its message stays on the
// status line, the item is an opened device (not a failed one) and nothing
// is selected.
TEST_F(InstrumentManagerTest, UnsupportedModelIsOpenedButNotSelected) {
  SimOptions opt;
  opt.model = "Quorra";
  opt.vxi11 = false;
  ASSERT_TRUE(sim_.Start(opt)) << sim_.Error();
  g_Settings.ManualDeviceList.Resource[0] = sim_.SocketResource();
  RebuildInstrumentTree();
  const int item = Child(kManualBranchTag, 0);
  ASSERT_EQ(UiTest_ClickTreeItem(INSTRMAN, INSTRMAN_TREE_INSTR, item, true), 1);
  EXPECT_EQ(Log().status.back(), "Error: Instrument Type Not Supported.");
  EXPECT_FALSE(Log().HasStatus("Error: Failed to Open VISA Device."));
  EXPECT_EQ(Image(item), INSTR_IMAGE_DEVICE);
  EXPECT_EQ(InstrumentCapabilities.Connected, 0);
  EXPECT_TRUE(g_Settings.Select.empty());
  char info[kIdentifyInfoSize] = "";
  GetCtrlVal(INSTRMAN, INSTRMAN_STR_INSTR, info, sizeof info);
  EXPECT_NE(std::string(info).find("Serial No  : "), std::string::npos) << info;
  int dimmed = -1;
  GetCtrlAttribute(INSTRMAN, INSTRMAN_TREE_INSTR, ATTR_DIMMED, &dimmed);
  EXPECT_EQ(dimmed, 0);
}

TEST_F(InstrumentManagerTest, LanScanListsTheDomainsHostsFromTheHostsTable) {
  TempDir dir;
  const std::string hosts = dir.File("hosts");
  ASSERT_TRUE(cz::test::WriteFileBytes(hosts,
                                       "127.0.0.1 localhost\n"
                                       "127.0.0.1 gen1.instrument gen1  # bench\n"
                                       "127.0.0.1 GEN2.Instrument\n"
                                       "127.0.0.1 other.lab\n"));
  InstrumentManager_SetHostsFile(hosts.c_str());
  g_Settings.ScannedDeviceList.Resource[0] = "GPIB0::1::INSTR";
  ASSERT_EQ(UiTest_ClickCtrl(INSTRMAN, INSTRMAN_CMD_SCAN_LAN), 1);
  EXPECT_EQ(g_Settings.ScannedDeviceList.Resource[0].str(), "TCPIP::gen1.instrument::INSTR");
  EXPECT_EQ(g_Settings.ScannedDeviceList.Comment[0].str(), "gen1.instrument");
  EXPECT_EQ(g_Settings.ScannedDeviceList.Resource[1].str(), "TCPIP::GEN2.Instrument::INSTR");
  EXPECT_TRUE(g_Settings.ScannedDeviceList.Resource[2].empty());
  EXPECT_EQ(Children(kScannedBranchTag), 2);
  EXPECT_TRUE(Log().HasStatus("Scanning Complete."));

  // A domain without hosts leaves the list as it was.
  UiTest_EnterValue(INSTRMAN, INSTRMAN_STR_LAN_DOMAIN, "nowhere");
  UiTest_ClickCtrl(INSTRMAN, INSTRMAN_CMD_SCAN_LAN);
  EXPECT_EQ(Children(kScannedBranchTag), 2);
  UiTest_EnterValue(INSTRMAN, INSTRMAN_STR_LAN_DOMAIN, "");
  UiTest_ClickCtrl(INSTRMAN, INSTRMAN_CMD_SCAN_LAN);
  EXPECT_TRUE(Log().HasStatus("Error: Invalid Domain Name."));
  UiTest_EnterValue(INSTRMAN, INSTRMAN_STR_LAN_DOMAIN, "instrument");
  InstrumentManager_SetHostsFile(dir.File("missing").c_str());
  UiTest_ClickCtrl(INSTRMAN, INSTRMAN_CMD_SCAN_LAN);
  EXPECT_TRUE(Log().HasStatus("Error: Failed to Search Network Containers."));
  EXPECT_EQ(Children(kScannedBranchTag), 2);
}

TEST_F(InstrumentManagerTest, FailedGpibScanKeepsTheScannedList) {
  g_Settings.ScannedDeviceList.Resource[0] = "TCPIP::kept::INSTR";
  RebuildInstrumentTree();
  UiTest_EnterValue(INSTRMAN, INSTRMAN_NUM_BRD, 7);
  ASSERT_EQ(UiTest_ClickCtrl(INSTRMAN, INSTRMAN_CMD_SCAN), 1);
  EXPECT_TRUE(Log().HasStatus("Scanning..."));
  EXPECT_TRUE(Log().HasStatus("Scanning Complete."));
  EXPECT_EQ(g_Settings.ScannedDeviceList.Resource[0].str(), "TCPIP::kept::INSTR");
  EXPECT_EQ(Children(kScannedBranchTag), 1);
  int dimmed = -1;
  GetCtrlAttribute(INSTRMAN, INSTRMAN_CMD_SCAN, ATTR_DIMMED, &dimmed);
  EXPECT_EQ(dimmed, 0);
}

}  // namespace
