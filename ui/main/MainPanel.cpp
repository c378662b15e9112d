// The main window PANEL_MAIN: library tree and its buttons on the left, the
// project header fields above them, the tab control with the editor and
// view pages on the right, the status line and the two progress bars at the
// bottom, and the menu bar.
#include "app/LibraryCommands.h"
#include "app/LibraryTree.h"
#include "app/MainCommands.h"
#include "app/PanelIds.h"
#include "ui/main/Icons.h"
#include "ui/main/MainPanel.h"
#include "ui/main/MultiSegmentPage.h"
#include "ui/main/PanelBuild.h"
#include "ui/main/RfListPage.h"
#include "ui/main/SequenceEditorPage.h"
#include "ui/main/SequenceViewPage.h"
#include "ui/main/TransferPage.h"

namespace {

const PanelDef kMainPanel = {
    "PANEL_MAIN", "", 29, 17, 675, 1000, MainPanelCb,
    {AttrI(ATTR_BACKCOLOR, 0xE0E0E0), AttrI(ATTR_SCROLL_BAR_COLOR, 0xC0C0C0), AttrI(ATTR_CAN_MINIMIZE, 1),
     AttrI(ATTR_CAN_MAXIMIZE, 0), AttrI(ATTR_SIZABLE, 0)},
    {}};

// The six library buttons: 26 x 26 pictures.
constexpr UiAttr kLibraryButtonLook[] = {AttrI(ATTR_LABEL_BGCOLOR, VAL_TRANSPARENT), AttrI(ATTR_DFLT_VALUE, 0),
                                         UiAttr{}};
// The four project header fields.
constexpr UiAttr kProjectFieldLook[] = {
    AttrI(ATTR_CTRL_MODE, VAL_HOT),      AttrS(ATTR_LABEL_FONT, "Arial"),
    AttrI(ATTR_LABEL_POINT_SIZE, 10),    AttrI(ATTR_LABEL_COLOR, 0x606060),
    AttrI(ATTR_LABEL_BGCOLOR, VAL_TRANSPARENT), AttrS(ATTR_TEXT_FONT, "Arial"),
    AttrI(ATTR_TEXT_POINT_SIZE, 10),     AttrI(ATTR_TEXT_COLOR, 0x303030),
    AttrI(ATTR_TEXT_BGCOLOR, 0xF7F7F7),  AttrI(ATTR_FRAME_COLOR, 0xD4D0C8),
    UiAttr{}};
// The two progress bars: hidden until a long operation shows them.
constexpr UiAttr kProgressLook[] = {
    AttrI(ATTR_VISIBLE, 0),           AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrI(ATTR_DATA_TYPE, VAL_DOUBLE),
    AttrI(ATTR_FRAME_COLOR, 0xE0DFE3), AttrD(ATTR_DFLT_VALUE, 50.0),        AttrD(ATTR_MIN_VALUE, 0.0),
    AttrD(ATTR_MAX_VALUE, 100.0),     AttrD(ATTR_INCR_VALUE, 1.0),          UiAttr{}};

// Controls in creation order; the tab control's pages are inserted right
// after it, the tree's images and roots right after the tree.
const CtrlDef kMainCtrls[] = {
    {.id = &PANEL_MAIN_CMD_COPY, .constName = "CMD_COPY", .kind = CTRL_PICTURE_BUTTON, .label = "",
     .top = 97, .left = 63, .callback = CopyLibraryItemCb, .look = kLibraryButtonLook, .attrs = {},
     .height = 26, .width = 26, .icon = kIconCopy},
    {.id = &PANEL_MAIN_CMD_DEL, .constName = "CMD_DEL", .kind = CTRL_PICTURE_BUTTON, .label = "",
     .top = 97, .left = 102, .callback = DeleteLibraryItemCb, .look = kLibraryButtonLook, .attrs = {},
     .height = 26, .width = 26, .icon = kIconDelete},
    {.id = &PANEL_MAIN_STR_VERSION, .constName = "STR_VERSION", .kind = CTRL_STRING, .label = "Version",
     .top = 73, .left = 48, .callback = ProjectInfoCb, .look = kProjectFieldLook,
     .attrs = {AttrI(ATTR_MAX_ENTRY_LENGTH, 63)}, .width = 150, .labelTop = 75, .labelLeft = 6},
    {.id = &PANEL_MAIN_CMD_ADD_P, .constName = "CMD_ADD_P", .kind = CTRL_PICTURE_BUTTON, .label = "",
     .top = 97, .left = 0, .callback = AddPulseButtonCb, .look = kLibraryButtonLook, .attrs = {},
     .height = 26, .width = 26, .icon = kIconAddPulse},
    {.id = &PANEL_MAIN_CMD_ADD, .constName = "CMD_ADD", .kind = CTRL_PICTURE_BUTTON, .label = "",
     .top = 97, .left = 27, .callback = AddSequenceButtonCb, .look = kLibraryButtonLook, .attrs = {},
     .height = 26, .width = 26, .icon = kIconAddSequence},
    {.id = &PANEL_MAIN_STR_DATE, .constName = "STR_DATE", .kind = CTRL_STRING, .label = "Date",
     .top = 56, .left = 48, .callback = ProjectInfoCb, .look = kProjectFieldLook,
     .attrs = {AttrI(ATTR_MAX_ENTRY_LENGTH, 63)}, .width = 150, .labelTop = 58, .labelLeft = 18},
    {.id = &PANEL_MAIN_STR_NAME, .constName = "STR_NAME", .kind = CTRL_STRING, .label = "Author",
     .top = 39, .left = 48, .callback = ProjectInfoCb, .look = kProjectFieldLook,
     .attrs = {AttrI(ATTR_MAX_ENTRY_LENGTH, 255)}, .width = 150, .labelTop = 41, .labelLeft = 10},
    {.id = &PANEL_MAIN_STR_PROJECT, .constName = "STR_PROJECT", .kind = CTRL_STRING, .label = "Project",
     .top = 22, .left = 48, .callback = ProjectInfoCb, .look = kProjectFieldLook,
     .attrs = {AttrI(ATTR_MAX_ENTRY_LENGTH, 255)}, .width = 150, .labelTop = 24, .labelLeft = 8},
    {.id = &PANEL_MAIN_TXT_ERR, .constName = "TXT_ERR", .kind = CTRL_TEXT_MSG, .label = "",
     .top = 655, .left = 0, .callback = nullptr, .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrS(ATTR_DFLT_VALUE, "..."), AttrS(ATTR_TEXT_FONT, "Arial"),
               AttrI(ATTR_TEXT_POINT_SIZE, 15), AttrI(ATTR_TEXT_COLOR, 0x303030),
               AttrI(ATTR_TEXT_BGCOLOR, 0xC0C0C0), AttrI(ATTR_SIZE_TO_TEXT, 0)},
     .height = 22, .width = 1000},
    {.id = &PANEL_MAIN_CMD_SENTRY_DOWN, .constName = "CMD_SENTRY_DOWN", .kind = CTRL_PICTURE_BUTTON, .label = "",
     .top = 97, .left = 171, .callback = MoveLibraryItemDownCb, .look = kLibraryButtonLook, .attrs = {},
     .height = 26, .width = 26, .icon = kIconDown},
    {.id = &PANEL_MAIN_CMD_SENTRY_UP, .constName = "CMD_SENTRY_UP", .kind = CTRL_PICTURE_BUTTON, .label = "",
     .top = 97, .left = 144, .callback = MoveLibraryItemUpCb, .look = kLibraryButtonLook, .attrs = {},
     .height = 26, .width = 26, .icon = kIconUp},
    {.id = &PANEL_MAIN_TAB, .constName = "TAB", .kind = CTRL_TAB, .label = "", .top = 21, .left = 201,
     .callback = nullptr, .look = nullptr, .attrs = {}},
    {.id = &PANEL_MAIN_TREE_PULSES, .constName = "TREE_PULSES", .kind = CTRL_TREE, .label = "", .top = 124,
     .left = 0, .callback = LibraryTreeCb, .look = nullptr,
     .attrs = {AttrS(ATTR_HEADER_FONT, "NIDialogMetaFont")}},
    {.id = &PANEL_MAIN_PROG_TASK, .constName = "PROG_TASK", .kind = CTRL_NUMERIC_HSLIDE, .label = "",
     .top = 666, .left = 1, .callback = nullptr, .look = kProgressLook, .attrs = {}, .height = 10, .width = 200},
    {.id = &PANEL_MAIN_PROG_TOTAL, .constName = "PROG_TOTAL", .kind = CTRL_NUMERIC_HSLIDE, .label = "",
     .top = 656, .left = 1, .callback = nullptr, .look = kProgressLook, .attrs = {}, .height = 10, .width = 200},
};
constexpr int kCtrlsThroughTab = 12;   // rows 0..11, the tab control last
constexpr int kTreeRow = 12;
constexpr int kProgressRows = 13;

// Pages in index order. A page whose builder is not part of the program has
// no row; PANEL_MAIN_TAB_PAGE_INDEX records where each present page went.
struct MainPage {
  int page;  // MainTabPage
  int (*builder)(int);
  TabPageDef look;
};
const MainPage kPages[] = {
    {PAGE_PULSE_EDITOR, BuildPulseEditorPanel, {"Pulse Editor", 0xE0E0E0, 0x303030, "Arial", 14, kImagePulse}},
    {PAGE_SEQUENCE_EDITOR, BuildSequenceEditorPanel,
     {"Sequence Editor", 0xE0E0E0, 0x303030, "Arial", 14, kImageSequence}},
    {PAGE_SEQUENCE_VIEW, BuildSequenceViewPanel, {"Sequence View", 0xE0E0E0, 0x303030, "Arial", 14, kImagePage}},
    {PAGE_MULTI_SEGMENT, BuildMultiSegmentPanel, {"Multi Segment", 0xE0E0E0, 0x303030, "Arial", 14, kImageList}},
    {PAGE_RF_LIST, BuildRfListPanel, {"RF List", 0xE0E0E0, 0x303030, "Arial", 14, kImageList}},
    {PAGE_TRANSFER, BuildTransferPanel, {"Transfer", 0xE0E0E0, 0x303030, "Arial", 14, kIconSettings}},
    {PAGE_LOG, BuildLogPanel, {" Log ", 0xE0E0E0, 0x303030, "Arial", 14, kIconLog}},
    {PAGE_PLUGIN_INFO, BuildPluginInfoPanel, {"Plugin Info", 0xE0E0E0, 0x303030, "Arial", 14, kImagePlugin}},
};

// The tree's image list, images 0 .. 6 (LibraryTreeImage).
const char* const* const kTreeImages[] = {&kImagePulse,       &kImageRoot, &kImageSequence, &kImagePluginPulse,
                                          &kImagePage,        &kImagePlugin, &kImageList};

struct TreeRoot {
  const char* tag;
  const char* label;
};
const TreeRoot kTreeRoots[] = {
    {kPulseLibraryTag, "Pulse Library"},
    {kSequenceLibraryTag, "Sequence Library"},
    {kMultiSegmentLibraryTag, "Multi Segment Waveform"},
    {kRfListLibraryTag, "RF List"},
    {kPluginLibraryTag, "Plug-in"},
};

const int* const kMainFront[] = {&PANEL_MAIN_CMD_ADD,    &PANEL_MAIN_CMD_SENTRY_DOWN, &PANEL_MAIN_PROG_TOTAL,
                                 &PANEL_MAIN_PROG_TASK,  &PANEL_MAIN_CMD_SENTRY_UP,   &PANEL_MAIN_CMD_ADD_P,
                                 &PANEL_MAIN_TREE_PULSES, &PANEL_MAIN_CMD_COPY,       &PANEL_MAIN_CMD_DEL,
                                 &PANEL_MAIN_STR_NAME,   &PANEL_MAIN_STR_VERSION,     &PANEL_MAIN_STR_DATE,
                                 &PANEL_MAIN_STR_PROJECT, &PANEL_MAIN_TXT_ERR,        &PANEL_MAIN_TAB};
const int* const kMainFocus[] = {&PANEL_MAIN_CMD_COPY, &PANEL_MAIN_CMD_DEL,  &PANEL_MAIN_STR_VERSION,
                                 &PANEL_MAIN_CMD_ADD_P, &PANEL_MAIN_CMD_ADD, &PANEL_MAIN_STR_DATE,
                                 &PANEL_MAIN_STR_NAME, &PANEL_MAIN_STR_PROJECT};

int InsertPages(int panel) {
  for (int& index : PANEL_MAIN_TAB_PAGE_INDEX) index = -1;
  for (const MainPage& p : kPages) {
    const int index = PanelBuild_InsertPage(panel, PANEL_MAIN_TAB, p.builder, p.look);
    CZ_UI_TRY(index);
    PANEL_MAIN_TAB_PAGE_INDEX[p.page] = index;
  }
  CZ_UI_TRY(SetCtrlAttribute(panel, PANEL_MAIN_TAB, ATTR_CTRL_MODE, VAL_HOT));
  // The default page is " Log ".
  if (MainTabIndex(PAGE_LOG) >= 0) CZ_UI_TRY(SetActiveTabPage(panel, PANEL_MAIN_TAB, MainTabIndex(PAGE_LOG)));
  CZ_UI_TRY(SetCtrlAttribute(panel, PANEL_MAIN_TAB, ATTR_HEIGHT, 633));
  CZ_UI_TRY(SetCtrlAttribute(panel, PANEL_MAIN_TAB, ATTR_WIDTH, 799));
  return 0;
}

int FillTree(int panel) {
  const int tree = PANEL_MAIN_TREE_PULSES;
  for (const char* const* image : kTreeImages) CZ_UI_TRY(PanelBuild_TreeImage(panel, tree, *image));
  for (const TreeRoot& root : kTreeRoots) {
    const int item = InsertTreeItem(panel, tree, VAL_SIBLING, -1, VAL_LAST, root.label, root.tag, nullptr, 0);
    CZ_UI_TRY(item);
    CZ_UI_TRY(SetTreeItemAttribute(panel, tree, item, ATTR_IMAGE_INDEX, IMAGE_ROOT));
    CZ_UI_TRY(SetTreeItemAttribute(panel, tree, item, ATTR_COLLAPSED_IMAGE_INDEX, IMAGE_ROOT));
    CZ_UI_TRY(SetTreeCellAttribute(panel, tree, item, 0, ATTR_TEXT_FONT, "Arial"));
  }
  CZ_UI_TRY(SetCtrlAttribute(panel, tree, ATTR_CTRL_MODE, VAL_HOT));
  CZ_UI_TRY(SetCtrlAttribute(panel, tree, ATTR_DATA_TYPE, VAL_INTEGER));
  CZ_UI_TRY(SetCtrlAttribute(panel, tree, ATTR_FRAME_COLOR, 0xE0DFE3));
  CZ_UI_TRY(SetCtrlAttribute(panel, tree, ATTR_HEIGHT, 530));
  CZ_UI_TRY(SetCtrlAttribute(panel, tree, ATTR_WIDTH, 200));
  return 0;
}

}  // namespace

int BuildMainPanel(int parent) {
  const int panel = PanelBuild_NewPanel(parent, kMainPanel);
  CZ_UI_TRY(panel);
  CZ_UI_TRY(PanelBuild_Controls(panel, kMainCtrls, kCtrlsThroughTab));
  CZ_UI_TRY(InsertPages(panel));
  CZ_UI_TRY(PanelBuild_Ctrl(panel, kMainCtrls[kTreeRow]));
  CZ_UI_TRY(FillTree(panel));
  CZ_UI_TRY(PanelBuild_Controls(panel, kMainCtrls + kProgressRows, 2));
  // An empty ramp draws the bars in the high colour; the call is not tested.
  SetNumericColorRamp(panel, PANEL_MAIN_PROG_TASK, nullptr, 0xFF0000, 0);
  SetNumericColorRamp(panel, PANEL_MAIN_PROG_TOTAL, nullptr, 0xFF0000, 0);
  CZ_UI_TRY(PanelBuild_Order(panel, kMainFront, 15, kMainFocus, 8));
  CZ_UI_TRY(SetCtrlAttribute(panel, PANEL_MAIN_TREE_PULSES, ATTR_DELETE_KEY_CTRL, PANEL_MAIN_CMD_DEL));
  CZ_UI_TRY(PanelBuild_Fit(panel, kMainPanel, 1));
  CZ_UI_TRY(BuildMainMenuBar(panel));
  // The window makes room for the bar's height with its menus in it: the
  // panel's own height is set again once the menus exist.
  int height = 0;
  CZ_UI_TRY(GetPanelAttribute(panel, ATTR_HEIGHT, &height));
  CZ_UI_TRY(SetPanelAttribute(panel, ATTR_HEIGHT, height));
  return panel;
}
