// Instrument manager: labels of resources, the dialog as built, the device
// lists behind the tree, selection against the simulator (and a lost
// instrument), and the scans. Nothing leaves 127.0.0.1: the LAN scan gets a
// fake DNS-SD provider and a VXI-11 broadcast provider whose only
// "broadcast" address is the simulator's portmapper on 127.0.0.1.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/PanelIds.h"
#include "app/Settings.h"
#include "instrument/Identify.h"
#include "instrument/InstrumentManager.h"
#include "instrument/LanDiscovery.h"
#include "instrument/TransferTab.h"
#include "platform/CLocale.h"
#include "platform/visa/Visa.h"
#include "platform/ui/TestDriver.h"
#include "tests/instrument/InstrumentTestSupport.h"
#include "tests/support/PanelFind.h"
#include "tests/support/SimFixture.h"
#include "tests/support/TempDir.h"
#include "tests/support/TransferSettings.h"
#include "tests/support/Vxi11LockHolder.h"
#include "ui/dialogs/InstrumentManagerDialog.h"
#include "ui/main/TransferPage.h"

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
    InstrumentManager_SetLanProviders(nullptr);
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
  // The simulator (two options) reached over VXI-11, and the Transfer page built.
  void StartVxi11SimWithTransferPage() {
    SimOptions opt;
    opt.options = "KLD-M64,KLD-M16";
    ASSERT_TRUE(sim_.Start(opt)) << sim_.Error();
    Visa_SetVxi11CorePort(sim_.Vxi11Port());
    TAB_INSTR = BuildTransferPanel(0);
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

// A device added by hand shows in its opened group, selected; a resource
// string its column cuts shows whole as the tooltip.
TEST_F(InstrumentManagerTest, AddedDeviceShowsSelectedAndCutResourcesWhole) {
  DisplayPanel(INSTRMAN);
  SetTreeItemAttribute(INSTRMAN, INSTRMAN_TREE_INSTR, Branch(kManualBranchTag), ATTR_COLLAPSED, 1);
  AddOther("ASRL1::INSTR");
  const std::string longer = "TCPIP0::instrument-with-a-long-name.laboratory.example::40867::SOCKET";
  AddOther(longer.c_str());
  int collapsed = -1, active = -1;
  GetTreeItemAttribute(INSTRMAN, INSTRMAN_TREE_INSTR, Branch(kManualBranchTag), ATTR_COLLAPSED, &collapsed);
  EXPECT_EQ(collapsed, 0);
  GetActiveTreeItem(INSTRMAN, INSTRMAN_TREE_INSTR, &active);
  EXPECT_EQ(active, Child(kManualBranchTag, 1));
  EXPECT_EQ(g_Settings.ComposedResource.str(), longer);
  int dimmed = -1;
  GetCtrlAttribute(INSTRMAN, INSTRMAN_CMD_DEL, ATTR_DIMMED, &dimmed);
  EXPECT_EQ(dimmed, 0);
  EXPECT_EQ(UiTest_TreeCellToolTip(INSTRMAN, INSTRMAN_TREE_INSTR, Child(kManualBranchTag, 1), 0), longer);
  EXPECT_EQ(UiTest_TreeCellToolTip(INSTRMAN, INSTRMAN_TREE_INSTR, Child(kManualBranchTag, 0), 0), "");
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

// Another VXI-11 client holding the instrument's lock: a lock held a moment
// is waited for within the instrument's time-out (identification and the
// Transfer page's Reset go through); one held longer is named, and the
// instrument stays selected, so that the next command identifies it and
// works once the lock is free.
TEST_F(InstrumentManagerTest, AnotherClientsLockIsWaitedForNamedAndKeepsTheSelection) {
  ASSERT_NO_FATAL_FAILURE(StartVxi11SimWithTransferPage());
  const std::string resource = sim_.Vxi11Resource();
  g_Settings.ManualDeviceList.Resource[0] = resource;
  RebuildInstrumentTree();
  const int item = Child(kManualBranchTag, 0);
  using Clock = std::chrono::steady_clock;
  const auto seconds = [](Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); };
  const auto resets = [&] {
    const std::vector<std::string> r = sim_.Received();
    return std::count(r.begin(), r.end(), "*RST");
  };

  cz::test::Vxi11LockHolder brief;
  ASSERT_TRUE(brief.Lock(sim_.Vxi11Port())) << brief.Error();
  brief.UnlockAfter(700);
  Clock::time_point start = Clock::now();
  ASSERT_EQ(UiTest_ClickTreeItem(INSTRMAN, INSTRMAN_TREE_INSTR, item, true), 1);
  EXPECT_GE(seconds(start), 0.6);
  EXPECT_TRUE(Log().HasStatus("Instrument Selected."));
  cz::test::Vxi11LockHolder again;
  ASSERT_TRUE(again.Lock(sim_.Vxi11Port())) << again.Error();
  again.UnlockAfter(700);
  ASSERT_EQ(UiTest_ClickCtrl(TAB_INSTR, TAB_INSTR_CMD_RESET), 1);
  EXPECT_EQ(resets(), 1);
  UiTest_ClickTreeItem(INSTRMAN, INSTRMAN_TREE_INSTR, item, true);  // deselected
  ASSERT_TRUE(g_Settings.Select.empty());

  cz::test::Vxi11LockHolder other;
  ASSERT_TRUE(other.Lock(sim_.Vxi11Port())) << other.Error();
  Log().Clear();
  start = Clock::now();
  UiTest_ClickTreeItem(INSTRMAN, INSTRMAN_TREE_INSTR, item, true);
  EXPECT_GE(seconds(start), 4.5);
  EXPECT_LT(seconds(start), 9.0) << "waited within the instrument's time-out";
  EXPECT_EQ(Log().status.back(), "Error: Another Client Holds the Instrument's Lock.");
  EXPECT_TRUE(std::any_of(Log().lines.begin(), Log().lines.end(), [](const std::string& l) {
    return l.find("*CLS: Another client holds the instrument's lock") != std::string::npos;
  })) << ::testing::PrintToString(Log().lines) << ::testing::PrintToString(Log().status);
  EXPECT_EQ(Image(item), INSTR_IMAGE_FAILED);
  EXPECT_EQ(InstrumentCapabilities.Connected, 0);
  EXPECT_EQ(g_Settings.Select.str(), resource) << "the instrument stays selected";

  other.Unlock();
  Log().Clear();
  ASSERT_EQ(UiTest_ClickCtrl(TAB_INSTR, TAB_INSTR_CMD_RESET), 1);
  EXPECT_EQ(resets(), 2);
  EXPECT_EQ(InstrumentCapabilities.Connected, 1);
  EXPECT_EQ(Image(Child(kManualBranchTag, 0)), INSTR_IMAGE_SELECTED);
  EXPECT_FALSE(Log().HasStatus("Error: Failed to Open VISA Device.")) << Log().status.back();
  DiscardPanel(TAB_INSTR);
  TAB_INSTR = 0;
  Visa_SetVxi11CorePort(0);
}

// The Transfer page's Upload of path A (a file, the frequency, the output
// on in the later rows) beside another VXI-11 client's lock: a lock held a
// moment is waited for and the file arrives whole; one held past the
// instrument's time-out ends the Upload within it, names the lock and leaves
// the instrument as it was (no file, the output off) and selected; once the
// lock is free the next Upload works.
TEST_F(InstrumentManagerTest, UploadWaitsForAnotherClientsLockOrNamesIt) {
  ASSERT_NO_FATAL_FAILURE(StartVxi11SimWithTransferPage());
  const std::string resource = sim_.Vxi11Resource();
  g_Settings.Select = resource;
  char info[kIdentifyInfoSize] = "";
  ASSERT_EQ(IdentifyInstrument(resource.c_str(), info, sizeof info), 1);
  cz::test::SetPathAUpload(1, 1.0, false);
  TempDir dir;
  // The instrument's reply over the raw socket, which the lock does not hold up.
  const auto held = [&](const std::string& query) {
    std::string reply = "<not open>";
    if (VisaDev_Open(1, sim_.SocketResource().c_str()) == 1 && VisaDev_QueryAll(1, query.c_str(), &reply) != 1)
      reply = "<failed>";
    VisaDev_Close(1);
    return reply;
  };
  constexpr int kHeld = -1;  // held through the Upload, freed after it
#if defined(__SANITIZE_ADDRESS__)
  constexpr double kMargin = 10.0;
#else
  constexpr double kMargin = 3.0;
#endif
  struct Row {
    const char* file;
    int unlockAfterMs;  // 0: no lock
    int rfState;
    double minSeconds, maxSeconds;
    const char* status;
  };
  const Row rows[] = {
      {"brief.wv", 400, 0, 0.35, 5.0 + kMargin, "Transfer Complete."},
      {"held.wv", kHeld, 1, 4.5, 5.0 + kMargin, "Error: Another Client Holds the Instrument's Lock."},
      {"held.wv", 0, 1, 0.0, 5.0 + kMargin, "Transfer Complete."},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.file + std::string(" ") + row.status);
    const std::string local = dir.File(row.file);
    std::string samples(16384, '\0');
    for (std::size_t k = 0; k < samples.size(); ++k) samples[k] = static_cast<char>(k * 7 % 251);
    ASSERT_TRUE(cz::test::WriteFileBytes(local, cz::FormatC("{TYPE: Kaldra-WV,0}{CLOCK: 1e6}{SAMPLES: %zu}{WAVEFORM-%zu:#",
                                                            samples.size() / 4, samples.size() + 1) +
                                                    samples + "}"));
    UpdateLinkedRemoteFiles(local.c_str(), "");
    g_Settings.RFStateA = row.rfState;
    cz::test::Vxi11LockHolder other;
    if (row.unlockAfterMs != 0) {
      ASSERT_TRUE(other.Lock(sim_.Vxi11Port())) << other.Error();
    }
    if (row.unlockAfterMs > 0) other.UnlockAfter(row.unlockAfterMs);
    Log().Clear();
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(UiTest_ClickCtrl(TAB_INSTR, TAB_INSTR_CMD_UPLOAD), 1);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(seconds, row.minSeconds);
    EXPECT_LT(seconds, row.maxSeconds);
    EXPECT_EQ(Log().status.back(), row.status) << ::testing::PrintToString(Log().status);
    const bool sent = row.unlockAfterMs != kHeld;
    if (sent) {
      // "#<n><length>" before the bytes.
      const std::string block = held(cz::FormatC(":MMEM:DATA? 'D:\\%s'", row.file));
      const std::size_t digits = block.size() > 2 && block[0] == '#' ? std::size_t(block[1] - '0') : 0;
      EXPECT_EQ(digits > 0 && block.size() >= 2 + digits ? block.substr(2 + digits) : block,
                cz::test::ReadFileBytes(local));
    }
    EXPECT_EQ(held(":MMEM:CAT? 'D:\\'").find(row.file) != std::string::npos, sent);
    EXPECT_EQ(held("OUTP1:STAT?"), sent && row.rfState ? "1" : "0");
    EXPECT_EQ(g_Settings.Select.str(), resource);
    EXPECT_EQ(InstrumentCapabilities.Connected, 1);
    EXPECT_EQ(VisaDev_IsOpen(0), 0);
  }
  DiscardPanel(TAB_INSTR);
  TAB_INSTR = 0;
  Visa_SetVxi11CorePort(0);
}

// The keys work the tree as the mouse does: a key that moves onto a device
// offers Delete and takes its resource, as a click does; Return on a device
// selects it, as a double click does, and on a group opens or closes it; the
// manager never closes on Return from the tree.
TEST_F(InstrumentManagerTest, KeysPickDevicesAndReturnSelectsWithoutClosing) {
  SimOptions opt;
  opt.model = "Kaldra";
  opt.options = "KLD-M64,KLD-M16";
  opt.vxi11 = false;
  ASSERT_TRUE(sim_.Start(opt)) << sim_.Error();
  g_Settings.ManualDeviceList.Resource[0] = sim_.SocketResource();
  RebuildInstrumentTree();
  DisplayPanel(INSTRMAN);
  const int tree = INSTRMAN_TREE_INSTR, device = Child(kManualBranchTag, 0);
  const auto visible = [] {
    int v = -1;
    GetPanelAttribute(INSTRMAN, ATTR_VISIBLE, &v);
    return v;
  };
  ASSERT_EQ(UiTest_ExpandTreeItem(INSTRMAN, tree, Branch(kManualBranchTag), true), 1);
  ASSERT_EQ(UiTest_ClickTreeItem(INSTRMAN, tree, Branch(kManualBranchTag), false), 1);
  ASSERT_EQ(UiTest_PressKey(INSTRMAN, tree, UITEST_KEY_DOWN), 1);
  int active = -1, dimmed = -1;
  GetActiveTreeItem(INSTRMAN, tree, &active);
  ASSERT_EQ(active, device);
  GetCtrlAttribute(INSTRMAN, INSTRMAN_CMD_DEL, ATTR_DIMMED, &dimmed);
  EXPECT_EQ(dimmed, 0);
  EXPECT_EQ(g_Settings.ComposedResource.str(), sim_.SocketResource());

  ASSERT_EQ(UiTest_PressKey(INSTRMAN, tree, UITEST_KEY_RETURN), 1);
  EXPECT_EQ(visible(), 1);
  EXPECT_TRUE(Log().HasStatus("Instrument Selected."));
  EXPECT_EQ(Image(device), INSTR_IMAGE_SELECTED);
  EXPECT_EQ(g_Settings.Select.str(), sim_.SocketResource());
  ASSERT_EQ(UiTest_PressKey(INSTRMAN, tree, UITEST_KEY_RETURN), 1);
  EXPECT_TRUE(Log().HasStatus("Instrument Deselected."));
  EXPECT_TRUE(g_Settings.Select.empty());

  // Up onto the group: Delete is dimmed again; Return closes the group.
  ASSERT_EQ(UiTest_PressKey(INSTRMAN, tree, UITEST_KEY_UP), 1);
  GetCtrlAttribute(INSTRMAN, INSTRMAN_CMD_DEL, ATTR_DIMMED, &dimmed);
  EXPECT_EQ(dimmed, 1);
  ASSERT_EQ(UiTest_PressKey(INSTRMAN, tree, UITEST_KEY_RETURN), 1);
  int collapsed = -1;
  GetTreeItemAttribute(INSTRMAN, tree, Branch(kManualBranchTag), ATTR_COLLAPSED, &collapsed);
  EXPECT_EQ(collapsed, 1);
  EXPECT_EQ(visible(), 1);
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

// A DNS-SD provider of the test: its hosts after a few polls.
class FakeDnsSd final : public LanDiscoveryProvider {
 public:
  FakeDnsSd(std::vector<std::string> hosts, bool answers, std::function<void()> onPoll = nullptr)
      : hosts_(std::move(hosts)), answers_(answers), onPoll_(std::move(onPoll)) {}
  const char* Name() const override { return "Avahi"; }
  bool Start(const std::string& domain, std::string*) override {
    domain_ = domain;
    return true;
  }
  void Poll(int) override {
    ++polls_;
    if (onPoll_) onPoll_();
  }
  bool Done() const override { return polls_ >= 3; }
  bool Answered() const override { return answers_ && Done(); }
  const std::vector<std::string>& Hosts() const override { return Done() ? hosts_ : none_; }
  std::string Failure() const override { return answers_ ? "" : "browsing _lxi._tcp failed: Not found"; }
  static std::string domain_;

 private:
  std::vector<std::string> hosts_, none_;
  bool answers_;
  std::function<void()> onPoll_;
  int polls_ = 0;
};
std::string FakeDnsSd::domain_;

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(port);
  return a;
}

// What a reverse lookup makes of 127.0.0.1 here (the address when none).
std::string LoopbackName() {
  sockaddr_in a = Loopback(0);
  char host[NI_MAXHOST] = "";
  if (getnameinfo(reinterpret_cast<sockaddr*>(&a), sizeof a, host, sizeof host, nullptr, 0, NI_NAMEREQD) != 0)
    return "127.0.0.1";
  return host;
}

class LanScanTest : public InstrumentManagerTest {
 protected:
  void StartPortmapper() {
    SimOptions opt;
    opt.portmap = true;
    ASSERT_TRUE(sim_.Start(opt)) << sim_.Error();
    ASSERT_GT(sim_.PortmapPort(), 0);
  }
  // The scan's providers: the fake DNS-SD one, then the broadcast to the simulator.
  void UseProviders(std::vector<std::string> dnsSd, bool dnsSdAnswers = true, std::function<void()> onPoll = nullptr) {
    const uint16_t port = sim_.PortmapPort();
    InstrumentManager_SetLanProviders([=] {
      std::vector<std::unique_ptr<LanDiscoveryProvider>> p;
      p.push_back(std::make_unique<FakeDnsSd>(dnsSd, dnsSdAnswers, onPoll));
      if (port) p.push_back(NewVxi11BroadcastDiscovery({Loopback(port)}));
      return p;
    });
  }
  std::vector<std::string> PortmapCalls() const {
    std::vector<std::string> calls;
    for (const std::string& line : sim_.Journal())
      if (line.rfind("PORTMAP ", 0) == 0) calls.push_back(line);
    return calls;
  }
  void Scan(const char* domain) {
    UiTest_EnterValue(INSTRMAN, INSTRMAN_STR_LAN_DOMAIN, domain);
    ASSERT_EQ(UiTest_ClickCtrl(INSTRMAN, INSTRMAN_CMD_SCAN_LAN), 1);
  }
};

TEST_F(LanScanTest, ListsTheDnsSdHostsAndTheInstrumentFoundByBroadcast) {
  StartPortmapper();
  UseProviders({"gen1.local", "gen2.local"});
  g_Settings.ScannedDeviceList.Resource[0] = "GPIB0::1::INSTR";
  Scan("local");
  EXPECT_EQ(FakeDnsSd::domain_, "local");
  const std::string sim = LoopbackName();
  const DeviceList<cz::kScannedDevices>& list = g_Settings.ScannedDeviceList;
  EXPECT_EQ(list.Resource[0].str(), "TCPIP::gen1.local::INSTR");
  EXPECT_EQ(list.Comment[0].str(), "gen1.local");
  EXPECT_EQ(list.Resource[1].str(), "TCPIP::gen2.local::INSTR");
  EXPECT_EQ(list.Resource[2].str(), "TCPIP::" + sim + "::INSTR");
  EXPECT_EQ(list.Comment[2].str(), sim);
  EXPECT_TRUE(list.Resource[3].empty());
  EXPECT_EQ(Children(kScannedBranchTag), 3);
  const std::vector<std::string> expected = {" - Avahi", "  - LOCAL", "     gen1.local", "     gen2.local",
                                             " - VXI-11 broadcast", "     " + sim};
  EXPECT_EQ(Log().lines, expected);
  EXPECT_EQ(Log().status, (std::vector<std::string>{"Scanning LAN...", "Scanning Complete."}));
  // One GETPORT call for the VXI-11 core channel over TCP, to the one address given.
  EXPECT_EQ(PortmapCalls(), std::vector<std::string>{"PORTMAP 127.0.0.1 GETPORT 0x607AF 1 6"});
  int dimmed = -1;
  GetCtrlAttribute(INSTRMAN, INSTRMAN_CMD_SCAN_LAN, ATTR_DIMMED, &dimmed);
  EXPECT_EQ(dimmed, 0);
}

TEST_F(LanScanTest, AtMostSixtyFourHostsEachOnce) {
  StartPortmapper();
  std::vector<std::string> many;
  for (int i = 0; i < 70; ++i) many.push_back("gen" + std::to_string(i) + ".lab");
  many.insert(many.begin() + 1, "GEN0.lab");  // the same host in other case
  UseProviders(many);
  Scan("lab");
  const DeviceList<cz::kScannedDevices>& list = g_Settings.ScannedDeviceList;
  EXPECT_EQ(list.Resource[1].str(), "TCPIP::gen1.lab::INSTR");
  EXPECT_EQ(list.Resource[63].str(), "TCPIP::gen63.lab::INSTR");
  EXPECT_EQ(Children(kScannedBranchTag), 64);
  EXPECT_TRUE(Log().Has("  - LAB"));
}

// The list is emptied only when the domain answered; a scan with no
// provider that can search fails, one whose providers all fail too.
TEST_F(LanScanTest, ListKeptUnlessTheDomainAnswered) {
  g_Settings.ScannedDeviceList.Resource[0] = "TCPIP::kept::INSTR";
  RebuildInstrumentTree();
  UseProviders({"x.nowhere"}, false);  // no simulator: the DNS-SD provider alone
  Scan("nowhere");
  EXPECT_EQ(Log().status.back(), "Error: Failed to Search Entire Network.");
  EXPECT_TRUE(Log().Has("   *** Avahi: browsing _lxi._tcp failed: Not found"));
  EXPECT_FALSE(Log().Has("  - NOWHERE"));
  EXPECT_EQ(g_Settings.ScannedDeviceList.Resource[0].str(), "TCPIP::kept::INSTR");

  Log().Clear();
  Scan("");
  EXPECT_EQ(Log().status.back(), "Error: Invalid Domain Name.");
  EXPECT_TRUE(Log().Has("Error: Invalid Domain Name."));

  Log().Clear();
  InstrumentManager_SetLanProviders([] { return std::vector<std::unique_ptr<LanDiscoveryProvider>>(); });
  Scan("local");
  EXPECT_EQ(Log().status.back(), "Error: Failed to Search Network Containers.");
  EXPECT_EQ(Children(kScannedBranchTag), 1);

  // A broadcast that nobody answers: no answer, the list stays.
  StartPortmapper();
  sim_.Stop();
  UseProviders({}, false);
  Log().Clear();
  InstrumentManager_SetLanProviders([] {
    std::vector<std::unique_ptr<LanDiscoveryProvider>> p;
    p.push_back(NewVxi11BroadcastDiscovery({Loopback(9)}));  // discard port: nothing answers
    return p;
  });
  Scan("local");
  EXPECT_EQ(Log().status.back(), "Scanning Complete.");
  EXPECT_EQ(Log().lines, std::vector<std::string>{" - VXI-11 broadcast"});
  EXPECT_EQ(g_Settings.ScannedDeviceList.Resource[0].str(), "TCPIP::kept::INSTR");
}

// A made-up domain: DNS-SD finds no such domain, the simulator answers the
// broadcast. The list keeps its entries and gains the simulator once, however
// often the user scans; nothing is logged under the domain.
TEST_F(LanScanTest, BroadcastAnswersDoNotProveTheDomain) {
  StartPortmapper();
  UseProviders({"ghost.madeup"}, false);
  g_Settings.ScannedDeviceList.Resource[0] = "TCPIP::kept::INSTR";
  g_Settings.ScannedDeviceList.Comment[0] = "kept";
  RebuildInstrumentTree();
  const std::string sim = "TCPIP::" + LoopbackName() + "::INSTR";
  for (int scan = 0; scan < 2; ++scan) {
    Log().Clear();
    Scan("madeup");
    EXPECT_EQ(Log().status.back(), "Scanning Complete.");
    const DeviceList<cz::kScannedDevices>& list = g_Settings.ScannedDeviceList;
    EXPECT_EQ(list.Resource[0].str(), "TCPIP::kept::INSTR");
    EXPECT_EQ(list.Comment[0].str(), "kept");
    EXPECT_EQ(list.Resource[1].str(), sim);
    EXPECT_TRUE(list.Resource[2].empty()) << list.Resource[2].str();
    EXPECT_EQ(Children(kScannedBranchTag), 2);
    EXPECT_FALSE(Log().Has("  - MADEUP"));
    EXPECT_TRUE(Log().Has("     " + LoopbackName()));
  }

  // The same instrument found again, now in a domain that DNS-SD answers:
  // the list is the scan's finds alone.
  UseProviders({"gen1.lab"});
  Scan("lab");
  const DeviceList<cz::kScannedDevices>& list = g_Settings.ScannedDeviceList;
  EXPECT_EQ(list.Resource[0].str(), "TCPIP::gen1.lab::INSTR");
  EXPECT_EQ(list.Resource[1].str(), sim);
  EXPECT_TRUE(list.Resource[2].empty());
  EXPECT_TRUE(Log().Has("  - LAB"));
}

// Without its daemon the DNS-SD provider says so and the broadcast still finds the simulator.
TEST_F(LanScanTest, AvahiWithoutDaemonIsReportedAndTheScanGoesOn) {
  StartPortmapper();
  TempDir dir;
  const char* saved = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
  const std::string savedValue = saved ? saved : "";
  setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + dir.File("no-bus")).c_str(), 1);
  const uint16_t port = sim_.PortmapPort();
  InstrumentManager_SetLanProviders([port] {
    std::vector<std::unique_ptr<LanDiscoveryProvider>> p;
    p.push_back(NewAvahiDiscovery());
    p.push_back(NewVxi11BroadcastDiscovery({Loopback(port)}));
    return p;
  });
  Scan("local");
  if (saved)
    setenv("DBUS_SYSTEM_BUS_ADDRESS", savedValue.c_str(), 1);
  else
    unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
  ASSERT_GE(Log().lines.size(), 2u);
  EXPECT_EQ(Log().lines[0], " - Avahi");
  EXPECT_EQ(Log().lines[1].rfind("   *** Avahi: service not available (", 0), 0u) << Log().lines[1];
  EXPECT_TRUE(Log().Has(" - VXI-11 broadcast"));
  EXPECT_EQ(g_Settings.ScannedDeviceList.Resource[0].str(), "TCPIP::" + LoopbackName() + "::INSTR");
  EXPECT_EQ(Log().status.back(), "Scanning Complete.");
}

// Cancel in the progress dialog ends the scan with the list as it was;
// clicks queued meanwhile are dropped, as in the other long operations.
TEST_F(LanScanTest, CancelEndsTheScanAndQueuedClicksAreDropped) {
  g_Settings.ScannedDeviceList.Resource[0] = "TCPIP::kept::INSTR";
  RebuildInstrumentTree();
  bool clicked = false;
  UseProviders({"late.local"}, true, [&clicked] {
    if (clicked) return;
    clicked = true;
    UiTest_ClickCtrl(INSTRMAN, INSTRMAN_CMD_SCAN);
    const int dialog = cz::test::FindProgressPanel();
    UiTest_ClickCtrl(dialog, cz::test::FindCtrlByName(dialog, "BT_CANCEL"));
  });
  Scan("local");
  EXPECT_TRUE(clicked);
  EXPECT_EQ(Log().status.back(), "User break");
  EXPECT_FALSE(Log().HasStatus("Scanning...")) << "the queued GPIB scan click did not run";
  EXPECT_EQ(g_Settings.ScannedDeviceList.Resource[0].str(), "TCPIP::kept::INSTR");
  EXPECT_EQ(cz::test::FindProgressPanel(), 0);
  int dimmed = -1;
  GetCtrlAttribute(INSTRMAN, INSTRMAN_CMD_SCAN_LAN, ATTR_DIMMED, &dimmed);
  EXPECT_EQ(dimmed, 0);
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
