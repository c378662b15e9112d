// The Instrument Manager dialog (658 x 809): the tree on the left, the scan
// frame, the add-manually frame and the device information on the right.
#include "ui/dialogs/InstrumentManagerDialog.h"

#include <iterator>

#include "app/PanelIds.h"
#include "instrument/InstrumentManager.h"
#include "ui/main/Icons.h"
#include "ui/main/PanelBuild.h"

int INSTRMAN_STR_INSTR = -1;
int INSTRMAN_TEXTMSG_51 = -1;
int INSTRMAN_CMD_DEL = -1;
int INSTRMAN_CMD_ADD = -1;
int INSTRMAN_CMD_SCAN_LAN = -1;
int INSTRMAN_CMD_SCAN = -1;
int INSTRMAN_STR_INSTR_2 = -1;
int INSTRMAN_CMD_EXIT = -1;
int INSTRMAN_TREE_INSTR = -1;
int INSTRMAN_DECORATION_3 = -1;
int INSTRMAN_DECORATION = -1;

namespace {

const PanelDef kManagerPanel = {"INSTRMAN", "Instrument Manager", 100, 100, 658, 809, nullptr,
                                {AttrI(ATTR_BACKCOLOR, 0xE0E0E0), AttrI(ATTR_SIZABLE, 0),
                                 AttrI(ATTR_CAN_MAXIMIZE, 0)},
                                {}};

constexpr UiAttr kFieldLook[] = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrI(ATTR_LABEL_BGCOLOR, VAL_TRANSPARENT),
                                 UiAttr{}};
constexpr UiAttr kIntLook[] = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrI(ATTR_DATA_TYPE, VAL_INTEGER),
                               AttrI(ATTR_MIN_VALUE, 0),       AttrI(ATTR_INCR_VALUE, 1),
                               AttrI(ATTR_DFLT_VALUE, 0),      AttrI(ATTR_LABEL_BGCOLOR, VAL_TRANSPARENT),
                               UiAttr{}};

// The fields of the chosen interface share one row.
constexpr int kFieldRow = 250, kFieldLabelRow = 232;

#define CZ_IM(name) .id = &INSTRMAN_##name, .constName = #name

const CtrlDef kManagerCtrls[] = {
    {CZ_IM(STR_INSTR), .kind = CTRL_TEXT_MSG, .label = "", .top = 402, .left = 452, .callback = nullptr,
     .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrS(ATTR_DFLT_VALUE, ""), AttrS(ATTR_TEXT_FONT, "Courier New"),
               AttrI(ATTR_TEXT_BGCOLOR, 0xF7F7F7), AttrI(ATTR_SIZE_TO_TEXT, 0)},
     .height = 200, .width = 345},
    {CZ_IM(TEXTMSG_51), .kind = CTRL_TEXT_MSG, .label = "", .top = 622, .left = 12, .callback = nullptr,
     .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrS(ATTR_DFLT_VALUE, "Double Click to Select the Target Device"),
               AttrI(ATTR_TEXT_BGCOLOR, VAL_TRANSPARENT), AttrI(ATTR_SIZE_TO_TEXT, 1)}},
    {CZ_IM(STR_2), .kind = CTRL_STRING, .label = "Serial", .top = kFieldRow, .left = 640,
     .callback = AddDeviceFieldsCb, .look = kFieldLook,
     .attrs = {AttrI(ATTR_MAX_ENTRY_LENGTH, 32), AttrS(ATTR_DFLT_VALUE, "123123")}, .width = 140,
     .labelTop = kFieldLabelRow, .labelLeft = 640},
    {CZ_IM(STR_LAN_DOMAIN), .kind = CTRL_STRING, .label = "Domain", .top = 92, .left = 640,
     .callback = AddDeviceFieldsCb, .look = kFieldLook,
     .attrs = {AttrI(ATTR_MAX_ENTRY_LENGTH, 255), AttrS(ATTR_DFLT_VALUE, "Instrument"),
               AttrS(ATTR_TOOLTIP_TEXT, "Domain name for LAN scanning")},
     .width = 140, .labelTop = 94, .labelLeft = 590},
    {CZ_IM(STR_VISA_COMMENT), .kind = CTRL_STRING, .label = "Comment", .top = 310, .left = 470,
     .callback = AddDeviceFieldsCb, .look = kFieldLook,
     .attrs = {AttrI(ATTR_MAX_ENTRY_LENGTH, 255), AttrS(ATTR_DFLT_VALUE, "")}, .width = 310, .labelTop = 292,
     .labelLeft = 470},
    {CZ_IM(STR_1), .kind = CTRL_STRING, .label = "STR1", .top = kFieldRow, .left = 470,
     .callback = AddDeviceFieldsCb, .look = kFieldLook,
     .attrs = {AttrI(ATTR_MAX_ENTRY_LENGTH, 255), AttrS(ATTR_DFLT_VALUE, "")}, .width = 310,
     .labelTop = kFieldLabelRow, .labelLeft = 470},
    {CZ_IM(CMD_DEL), .kind = CTRL_PICTURE_BUTTON, .label = "", .top = 8, .left = 12, .callback = DeleteDeviceCb,
     .look = nullptr,
     .attrs = {AttrI(ATTR_DIMMED, 1), AttrI(ATTR_LABEL_BGCOLOR, VAL_TRANSPARENT),
               AttrS(ATTR_TOOLTIP_TEXT, "Delete selected entry from tree")},
     .height = 26, .width = 26, .icon = kIconDelete},
    {CZ_IM(CMD_ADD), .kind = CTRL_COMMAND_BUTTON, .label = "Add Manually", .top = 160, .left = 470,
     .callback = AddDeviceCb, .look = nullptr, .attrs = {}, .height = 24, .width = 110},
    {CZ_IM(RING_DEV), .kind = CTRL_RING, .label = "Device", .top = kFieldRow, .left = 470,
     .callback = AddDeviceFieldsCb, .look = kFieldLook, .attrs = {AttrI(ATTR_DATA_TYPE, VAL_INTEGER)}, .width = 150,
     .labelTop = kFieldLabelRow, .labelLeft = 470},
    {CZ_IM(RING_INT), .kind = CTRL_RING, .label = "", .top = 196, .left = 470, .callback = AddDeviceFieldsCb,
     .look = kFieldLook, .attrs = {AttrI(ATTR_DATA_TYPE, VAL_INTEGER)}, .width = 110},
    {CZ_IM(NUM_SEL2), .kind = CTRL_NUMERIC, .label = "Address", .top = kFieldRow, .left = 570,
     .callback = AddDeviceFieldsCb, .look = kIntLook, .attrs = {AttrI(ATTR_MAX_VALUE, 31)}, .width = 70,
     .labelTop = kFieldLabelRow, .labelLeft = 570},
    {CZ_IM(NUM_SEL1), .kind = CTRL_NUMERIC, .label = "Board", .top = kFieldRow, .left = 470,
     .callback = AddDeviceFieldsCb, .look = kIntLook, .attrs = {AttrI(ATTR_MAX_VALUE, 8)}, .width = 70,
     .labelTop = kFieldLabelRow, .labelLeft = 470},
    {CZ_IM(NUM_BRD), .kind = CTRL_NUMERIC, .label = "Board", .top = 56, .left = 640,
     .callback = AddDeviceFieldsCb, .look = kIntLook,
     .attrs = {AttrI(ATTR_MAX_VALUE, 8), AttrS(ATTR_TOOLTIP_TEXT, "Local GPIB board number")}, .width = 70,
     .labelTop = 58, .labelLeft = 596},
    {CZ_IM(CMD_SCAN_LAN), .kind = CTRL_COMMAND_BUTTON, .label = "Scan LAN", .top = 90, .left = 470,
     .callback = ScanLanCb, .look = nullptr, .attrs = {}, .height = 24, .width = 100},
    {CZ_IM(CMD_SCAN), .kind = CTRL_COMMAND_BUTTON, .label = "Scan GPIB", .top = 54, .left = 470,
     .callback = ScanGpibCb, .look = nullptr, .attrs = {}, .height = 24, .width = 100},
    {CZ_IM(STR_INSTR_2), .kind = CTRL_TEXT_MSG, .label = "", .top = 380, .left = 452, .callback = nullptr,
     .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrS(ATTR_DFLT_VALUE, "Device Information"),
               AttrI(ATTR_TEXT_BOLD, 1), AttrI(ATTR_TEXT_BGCOLOR, VAL_TRANSPARENT), AttrI(ATTR_SIZE_TO_TEXT, 1)}},
    {CZ_IM(CMD_EXIT), .kind = CTRL_PICTURE_BUTTON, .label = "", .top = 614, .left = 745,
     .callback = CloseInstrumentManagerCb, .look = nullptr, .attrs = {AttrI(ATTR_LABEL_BGCOLOR, VAL_TRANSPARENT)},
     .height = 32, .width = 52, .icon = kIconAccept},
    {CZ_IM(TREE_INSTR), .kind = CTRL_TREE, .label = "", .top = 38, .left = 12, .callback = InstrumentTreeCb,
     .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrI(ATTR_TREE_COLUMNS, 2), AttrI(ATTR_COLUMN_LABELS_VISIBLE, 1)},
     .height = 578, .width = 425},
    {CZ_IM(DECORATION_3), .kind = CTRL_DECORATION, .label = "", .top = 148, .left = 452, .callback = nullptr,
     .look = nullptr, .attrs = {}, .height = 200, .width = 345},
    {CZ_IM(DECORATION), .kind = CTRL_DECORATION, .label = "", .top = 40, .left = 452, .callback = nullptr,
     .look = nullptr, .attrs = {}, .height = 90, .width = 345},
};
#undef CZ_IM

struct RingItem {
  const char* label;
  int value;
};
constexpr RingItem kDeviceItems[] = {{"Halvex", 70}, {"Pernot", 85}, {"Lumbra/Lumbrix", 75}, {"Nerrin", 95}};
constexpr RingItem kInterfaceItems[] = {{"USB", 0}, {"TCP/IP", 1}, {"GPIB", 2}, {"Other", 3}};

// Tree images 0..3: group, device, device that failed to open, selected.
const char* const* const kTreeImages[] = {&kImageRoot, &kImageList, &kIconDelete, &kIconAccept};

const int* const kManagerFront[] = {&INSTRMAN_CMD_DEL,   &INSTRMAN_CMD_ADD,     &INSTRMAN_CMD_SCAN,
                                    &INSTRMAN_CMD_SCAN_LAN, &INSTRMAN_STR_2,    &INSTRMAN_RING_DEV,
                                    &INSTRMAN_STR_1,     &INSTRMAN_NUM_SEL1,    &INSTRMAN_NUM_SEL2,
                                    &INSTRMAN_RING_INT,  &INSTRMAN_STR_VISA_COMMENT, &INSTRMAN_NUM_BRD,
                                    &INSTRMAN_STR_LAN_DOMAIN, &INSTRMAN_DECORATION_3, &INSTRMAN_DECORATION};
const int* const kManagerFocus[] = {&INSTRMAN_RING_DEV, &INSTRMAN_STR_2,         &INSTRMAN_RING_INT,
                                    &INSTRMAN_STR_1,    &INSTRMAN_NUM_SEL1,      &INSTRMAN_NUM_SEL2,
                                    &INSTRMAN_STR_VISA_COMMENT, &INSTRMAN_CMD_ADD, &INSTRMAN_CMD_SCAN,
                                    &INSTRMAN_NUM_BRD,  &INSTRMAN_CMD_SCAN_LAN,  &INSTRMAN_STR_LAN_DOMAIN,
                                    &INSTRMAN_TREE_INSTR, &INSTRMAN_CMD_DEL,     &INSTRMAN_CMD_EXIT};

int FillRing(int panel, int ring, const RingItem* items, int count) {
  for (int i = 0; i < count; ++i) CZ_UI_TRY(InsertListItem(panel, ring, -1, items[i].label, items[i].value));
  CZ_UI_TRY(SetCtrlAttribute(panel, ring, ATTR_DFLT_VALUE, items[0].value));
  return SetCtrlIndex(panel, ring, 0);
}

int FillTree(int panel) {
  const int tree = INSTRMAN_TREE_INSTR;
  for (const char* const* image : kTreeImages) CZ_UI_TRY(PanelBuild_TreeImage(panel, tree, *image));
  // Wide enough for a socket resource string with a numeric address.
  CZ_UI_TRY(SetTreeColumnAttribute(panel, tree, 0, ATTR_COLUMN_WIDTH, 290));
  CZ_UI_TRY(SetTreeColumnAttribute(panel, tree, 1, ATTR_COLUMN_WIDTH, 130));
  CZ_UI_TRY(SetTreeColumnAttribute(panel, tree, 1, ATTR_LABEL_TEXT, "Column"));
  const struct {
    const char* label;
    const char* tag;
  } kGroups[] = {{"Discovered During Scan", kScannedBranchTag}, {"Manually Added Instruments", kManualBranchTag}};
  for (const auto& group : kGroups) {
    const int item = InsertTreeItem(panel, tree, VAL_SIBLING, -1, VAL_LAST, group.label, group.tag, nullptr, 0);
    CZ_UI_TRY(item);
    CZ_UI_TRY(SetTreeItemAttribute(panel, tree, item, ATTR_IMAGE_INDEX, INSTR_IMAGE_BRANCH));
    CZ_UI_TRY(SetTreeItemAttribute(panel, tree, item, ATTR_COLLAPSED_IMAGE_INDEX, INSTR_IMAGE_BRANCH));
  }
  return 0;
}

}  // namespace

int BuildInstrumentManagerPanel(int parent) {
  const int panel = PanelBuild_NewPanel(parent, kManagerPanel);
  CZ_UI_TRY(panel);
  CZ_UI_TRY(PanelBuild_Controls(panel, kManagerCtrls, static_cast<int>(std::size(kManagerCtrls))));
  CZ_UI_TRY(FillRing(panel, INSTRMAN_RING_DEV, kDeviceItems, static_cast<int>(std::size(kDeviceItems))));
  CZ_UI_TRY(FillRing(panel, INSTRMAN_RING_INT, kInterfaceItems, static_cast<int>(std::size(kInterfaceItems))));
  CZ_UI_TRY(FillTree(panel));
  CZ_UI_TRY(PanelBuild_Order(panel, kManagerFront, static_cast<int>(std::size(kManagerFront)), kManagerFocus,
                             static_cast<int>(std::size(kManagerFocus))));
  CZ_UI_TRY(PanelBuild_Fit(panel, kManagerPanel, 1));
  // Closing the window acts exactly like the close button.
  CZ_UI_TRY(PanelBuild_SetCloseCtrl(panel, INSTRMAN_CMD_EXIT, CloseInstrumentManagerCb));
  CZ_UI_TRY(SetPanelAttribute(panel, ATTR_DEFAULT_CTRL, INSTRMAN_CMD_EXIT));
  CZ_UI_TRY(SetCtrlAttribute(panel, INSTRMAN_TREE_INSTR, ATTR_DELETE_KEY_CTRL, INSTRMAN_CMD_DEL));
  return panel;
}
