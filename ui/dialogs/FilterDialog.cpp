// The Baseband Filter dialog: the enable box and the filter tree on the
// left, the general settings in the middle with Apply, Accept and Cancel
// under them, the user coefficient import with its graph on the right.
// Places and sizes are design pixels (top, left; height x width).
#include "ui/dialogs/FilterDialog.h"

#include <iterator>

#include "app/PanelIds.h"
#include "editors/BasebandFilter.h"
#include "ui/main/Icons.h"
#include "ui/main/PanelBuild.h"

int FILTER_STR_USRCMT = -1;
int FILTER_CMD_APPLY = -1;
int FILTER_CMD_FLT_IMPORT = -1;
int FILTER_CMD_ACCEPT = -1;
int FILTER_RING_WINDOW = -1;
int FILTER_NUM_FREQ = -1;
int FILTER_NUM_ALPHA = -1;
int FILTER_NUM_IMPULSEOVS = -1;
int FILTER_NUM_IMPULSE = -1;
int FILTER_NUM_OVS = -1;
int FILTER_CMD_CANCEL = -1;
int FILTER_CMD_BBFILTER = -1;
int FILTER_TEXTMSG_5 = -1;
int FILTER_DECORATION = -1;
int FILTER_TEXTMSG_7 = -1;
int FILTER_DECORATION_2 = -1;
int FILTER_GRAPH_FILTER = -1;
int FILTER_TEXTMSG_6 = -1;

namespace {

// 16 x 16 XPM icons, transparent background.
const char* const kIconApply = R"(/* XPM */
static const char* xpm[] = {
"16 16 2 1",
". c None",
"# c #2060C0",
"................",
"................",
"..##########....",
"..#........#....",
"..#........#....",
"..#.....#..#....",
"..#....##..#....",
"..#.#.##...#....",
"..#.###....#....",
"..#..#.....#....",
"..#........#....",
"..##########....",
"................",
"................",
"................",
"................"
};
)";

const char* const kIconCancel = R"(/* XPM */
static const char* xpm[] = {
"16 16 2 1",
". c None",
"# c #C03020",
"................",
"................",
"...##......##...",
"....##....##....",
".....##..##.....",
"......####......",
".......##.......",
"......####......",
".....##..##.....",
"....##....##....",
"...##......##...",
"................",
"................",
"................",
"................",
"................"
};
)";

const char* const kIconImport = R"(/* XPM */
static const char* xpm[] = {
"16 16 2 1",
". c None",
"# c #C09020",
"................",
".......##.......",
".......##.......",
".......##.......",
".......##.......",
"....########....",
".....######.....",
"......####......",
".......##.......",
"................",
".##..........##.",
".##..........##.",
".##############.",
".##############.",
"................",
"................"
};
)";

const PanelDef kFilterPanel = {
    "FILTER", "Baseband Filter", 100, 100, 383, 938, nullptr,
    {AttrI(ATTR_BACKCOLOR, 0xE0E0E0), AttrI(ATTR_SIZABLE, 0), AttrI(ATTR_CAN_MAXIMIZE, 0)},
    {}};

constexpr const UiAttr* kFieldLook = kHotFieldLook;
constexpr UiAttr kButtonLook[] = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrI(ATTR_DFLT_VALUE, 0),
                                  AttrI(ATTR_LABEL_BGCOLOR, VAL_TRANSPARENT), UiAttr{}};
constexpr UiAttr kCaptionLook[] = {
    AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrS(ATTR_TEXT_FONT, "Arial"), AttrI(ATTR_TEXT_COLOR, 0x606060),
    AttrI(ATTR_TEXT_BGCOLOR, VAL_TRANSPARENT), AttrI(ATTR_SIZE_TO_TEXT, 1), UiAttr{}};
constexpr UiAttr kFrameLook[] = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrI(ATTR_BACKCOLOR, 0xD8D8D8),
                                 AttrI(ATTR_FRAME_COLOR, 0xC0C0C0), UiAttr{}};

// The 19 controls in creation order.
const CtrlDef kFilterCtrls[] = {
    {.id = &FILTER_STR_USRCMT, .constName = "STR_USRCMT", .kind = CTRL_STRING, .label = "Comment", .top = 74,
     .left = 570, .callback = nullptr, .look = kFieldLook,
     .attrs = {AttrI(ATTR_MAX_ENTRY_LENGTH, 255), AttrS(ATTR_DFLT_VALUE, "")}, .width = 345, .labelTop = 77,
     .labelLeft = 505},
    {.id = &FILTER_CMD_APPLY, .constName = "CMD_APPLY", .kind = CTRL_PICTURE_BUTTON, .label = "", .top = 330,
     .left = 250, .callback = FilterApplyCb, .look = kButtonLook, .attrs = {}, .height = 32, .width = 52,
     .icon = kIconApply},
    {.id = &FILTER_CMD_FLT_IMPORT, .constName = "CMD_FLT_IMPORT", .kind = CTRL_PICTURE_BUTTON, .label = "",
     .top = 40, .left = 885, .callback = FilterImportCb, .look = kButtonLook,
     .attrs = {AttrS(ATTR_TOOLTIP_TEXT, "Import custom filter data from file")}, .height = 26,
     .width = 35, .icon = kIconImport},
    {.id = &FILTER_CMD_ACCEPT, .constName = "CMD_ACCEPT", .kind = CTRL_PICTURE_BUTTON, .label = "", .top = 330,
     .left = 318, .callback = FilterAcceptCb, .look = kButtonLook, .attrs = {}, .height = 32, .width = 52,
     .icon = kIconAccept},
    {.id = &FILTER_RING_WINDOW, .constName = "RING_WINDOW", .kind = CTRL_RING, .label = "Window", .top = 95,
     .left = 345, .callback = nullptr, .look = kFieldLook, .attrs = {AttrI(ATTR_DATA_TYPE, VAL_INTEGER)},
     .width = 120, .labelTop = 98, .labelLeft = 240},
    {.id = &FILTER_NUM_FREQ, .constName = "NUM_FREQ", .kind = CTRL_NUMERIC, .label = "Cutoff Frequency",
     .top = 130, .left = 345, .callback = nullptr, .look = kFieldLook,
     .attrs = {AttrI(ATTR_DATA_TYPE, VAL_DOUBLE), AttrD(ATTR_MIN_VALUE, 0.1), AttrD(ATTR_MAX_VALUE, 300.0),
               AttrD(ATTR_INCR_VALUE, 1.0), AttrI(ATTR_PRECISION, 3), AttrD(ATTR_DFLT_VALUE, 1.0)},
     .width = 90, .labelTop = 133, .labelLeft = 240},
    {.id = &FILTER_NUM_ALPHA, .constName = "NUM_ALPHA", .kind = CTRL_NUMERIC, .label = "Roll Off / BT",
     .top = 165, .left = 345, .callback = nullptr, .look = kFieldLook,
     .attrs = {AttrI(ATTR_DATA_TYPE, VAL_DOUBLE), AttrD(ATTR_MIN_VALUE, 0.0), AttrD(ATTR_MAX_VALUE, 1.0),
               AttrD(ATTR_INCR_VALUE, 0.1), AttrI(ATTR_PRECISION, 3), AttrD(ATTR_DFLT_VALUE, 1.0)},
     .width = 90, .labelTop = 168, .labelLeft = 240},
    {.id = &FILTER_TREE_FILTER, .constName = "TREE_FILTER", .kind = CTRL_TREE, .label = "", .top = 40,
     .left = 12, .callback = FilterTreeCb, .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrI(ATTR_SHOW_MARKS, 1), AttrS(ATTR_TEXT_FONT, "Arial")},
     .height = 330, .width = 200},
    {.id = &FILTER_NUM_IMPULSEOVS, .constName = "NUM_IMPULSEOVS", .kind = CTRL_NUMERIC, .label = "OVS", .top = 42,
     .left = 570, .callback = nullptr, .look = kFieldLook,
     .attrs = {AttrI(ATTR_DATA_TYPE, VAL_INTEGER), AttrI(ATTR_MIN_VALUE, 1), AttrI(ATTR_MAX_VALUE, 64),
               AttrI(ATTR_INCR_VALUE, 1), AttrI(ATTR_DFLT_VALUE, 1)},
     .width = 60, .labelTop = 45, .labelLeft = 505},
    // The count is shown as it is, even above 10,000.
    {.id = &FILTER_NUM_IMPULSE, .constName = "NUM_IMPULSE", .kind = CTRL_NUMERIC, .label = "Impulse Length",
     .top = 338, .left = 835, .callback = nullptr, .look = kFieldLook,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrI(ATTR_DATA_TYPE, VAL_INTEGER), AttrI(ATTR_MIN_VALUE, 0),
               AttrI(ATTR_MAX_VALUE, 10000), AttrI(ATTR_DFLT_VALUE, 0)},
     .width = 80, .labelTop = 341, .labelLeft = 740},
    {.id = &FILTER_NUM_OVS, .constName = "NUM_OVS", .kind = CTRL_NUMERIC, .label = "Oversampling", .top = 60,
     .left = 345, .callback = nullptr, .look = kFieldLook,
     .attrs = {AttrI(ATTR_DATA_TYPE, VAL_DOUBLE), AttrD(ATTR_MIN_VALUE, 1.0), AttrD(ATTR_MAX_VALUE, 100.0),
               AttrD(ATTR_INCR_VALUE, 0.1), AttrD(ATTR_DFLT_VALUE, 1.0)},
     .width = 90, .labelTop = 63, .labelLeft = 240},
    {.id = &FILTER_CMD_CANCEL, .constName = "CMD_CANCEL", .kind = CTRL_PICTURE_BUTTON, .label = "", .top = 330,
     .left = 386, .callback = FilterCancelCb, .look = kButtonLook, .attrs = {}, .height = 32, .width = 52,
     .icon = kIconCancel},
    {.id = &FILTER_CMD_BBFILTER, .constName = "CMD_BBFILTER", .kind = CTRL_CHECK_BOX,
     .label = "Enable Baseband Filter", .top = 14, .left = 12, .callback = nullptr, .look = kFieldLook,
     .attrs = {AttrI(ATTR_DFLT_VALUE, 0)}, .height = 18, .width = 200},
    {.id = &FILTER_TEXTMSG_5, .constName = "TEXTMSG_5", .kind = CTRL_TEXT_MSG, .label = "", .top = 133,
     .left = 440, .callback = nullptr, .look = kCaptionLook, .attrs = {AttrS(ATTR_DFLT_VALUE, "MHz")}},
    {.id = &FILTER_DECORATION, .constName = "DECORATION", .kind = CTRL_DECORATION, .label = "", .top = 40,
     .left = 228, .callback = nullptr, .look = kFrameLook, .attrs = {}, .height = 270, .width = 252},
    {.id = &FILTER_TEXTMSG_7, .constName = "TEXTMSG_7", .kind = CTRL_TEXT_MSG, .label = "", .top = 14,
     .left = 500, .callback = nullptr, .look = kCaptionLook,
     .attrs = {AttrS(ATTR_DFLT_VALUE, "Import Filter Coefficients"), AttrI(ATTR_TEXT_BOLD, 1)}},
    {.id = &FILTER_DECORATION_2, .constName = "DECORATION_2", .kind = CTRL_DECORATION, .label = "", .top = 34,
     .left = 492, .callback = nullptr, .look = kFrameLook, .attrs = {}, .height = 336, .width = 434},
    {.id = &FILTER_GRAPH_FILTER, .constName = "GRAPH_FILTER", .kind = CTRL_GRAPH, .label = "", .top = 104,
     .left = 505, .callback = nullptr, .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrS(ATTR_XNAME, "Coefficient index"),
               AttrS(ATTR_YNAME, "Coefficient value"),
               AttrI(ATTR_PLOT_BGCOLOR, 0xF7F7F7)},
     .height = 226, .width = 410},
    {.id = &FILTER_TEXTMSG_6, .constName = "TEXTMSG_6", .kind = CTRL_TEXT_MSG, .label = "", .top = 20,
     .left = 238, .callback = nullptr, .look = kCaptionLook,
     .attrs = {AttrS(ATTR_DFLT_VALUE, "General Filter Settings"), AttrI(ATTR_TEXT_BOLD, 1)}},
};

// RING_WINDOW: window codes of the engine, rectangular ("None", 4) first.
struct WindowItem {
  const char* label;
  int value;
};
const WindowItem kWindowItems[] = {{"None", 4},     {"Rife-Vincent", 1},    {"Hann", 2},    {"Hamming", 3},
                                   {"Blackmann", 5}, {"Blackman-Harris", 6}, {"Flat Top", 7}};

// TREE_FILTER: level 0 groups (bold), level 1 filters with check marks.
struct FilterTreeItem {
  int level;
  const char* label;
  const char* tag;  // null: the label becomes the tag
};
const FilterTreeItem kFilterTreeItems[] = {
    {0, "Standard", "_INT"},           {1, "Rectangular", "_FLT_RECT"},   {1, "Cosine", "_FLT_COS"},
    {1, "Root Cosine", "_FLT_RCOS"},   {1, "Gaussian", "_FLT_GAUSS"},     {1, "User Data", "_FLT_USER"},
    {0, "Upper Sideband", nullptr},    {1, "Rectangular", "_FLT_U_RECT"}, {1, "Cosine", "_FLT_U_COS"},
    {1, "Root Cosine", "_FLT_U_RCOS"}, {1, "Gaussian", "_FLT_U_GAUSS"},
};

int FillTree(int panel) {
  const int tree = FILTER_TREE_FILTER;
  int group = -1;
  for (const FilterTreeItem& row : kFilterTreeItems) {
    const int item = row.level == 0
                         ? InsertTreeItem(panel, tree, VAL_SIBLING, -1, VAL_LAST, row.label, row.tag, nullptr, 0)
                         : InsertTreeItem(panel, tree, VAL_CHILD, group, VAL_LAST, row.label, row.tag, nullptr, 0);
    CZ_UI_TRY(item);
    if (row.level == 0) {
      group = item;
      CZ_UI_TRY(SetTreeCellAttribute(panel, tree, item, 0, ATTR_TEXT_BOLD, 1));
      CZ_UI_TRY(SetTreeItemAttribute(panel, tree, item, ATTR_COLLAPSED, 0));
    } else {
      CZ_UI_TRY(SetTreeItemAttribute(panel, tree, item, ATTR_MARK_TYPE, VAL_MARK_CHECK));
    }
  }
  return 0;
}

int SetUpGraph(int panel) {
  const int graph = FILTER_GRAPH_FILTER;
  CZ_UI_TRY(SetAxisScalingMode(panel, graph, VAL_BOTTOM_XAXIS, VAL_MANUAL, 0.0, 500.0));
  CZ_UI_TRY(SetAxisScalingMode(panel, graph, VAL_BOTTOM_XAXIS, VAL_AUTOSCALE, 0.0, 0.0));
  CZ_UI_TRY(SetAxisScalingMode(panel, graph, VAL_TOP_XAXIS, VAL_MANUAL, 0.0, 100.0));
  CZ_UI_TRY(SetAxisScalingMode(panel, graph, VAL_LEFT_YAXIS, VAL_MANUAL, -1.1, 1.1));
  CZ_UI_TRY(SetAxisScalingMode(panel, graph, VAL_RIGHT_YAXIS, VAL_MANUAL, 0.0, 100.0));
  return 0;
}

const int* const kFilterFront[] = {
    &FILTER_STR_USRCMT,   &FILTER_CMD_APPLY,   &FILTER_CMD_FLT_IMPORT, &FILTER_CMD_ACCEPT,  &FILTER_RING_WINDOW,
    &FILTER_NUM_FREQ,     &FILTER_NUM_ALPHA,   &FILTER_TREE_FILTER,    &FILTER_NUM_IMPULSEOVS, &FILTER_NUM_IMPULSE,
    &FILTER_NUM_OVS,      &FILTER_CMD_CANCEL,  &FILTER_CMD_BBFILTER,   &FILTER_TEXTMSG_5,   &FILTER_TEXTMSG_7,
    &FILTER_TEXTMSG_6,    &FILTER_GRAPH_FILTER, &FILTER_DECORATION,    &FILTER_DECORATION_2};
const int* const kFilterFocus[] = {&FILTER_CMD_BBFILTER, &FILTER_TREE_FILTER, &FILTER_NUM_OVS,
                                   &FILTER_RING_WINDOW,  &FILTER_NUM_FREQ,    &FILTER_NUM_ALPHA,
                                   &FILTER_NUM_IMPULSEOVS, &FILTER_CMD_FLT_IMPORT, &FILTER_STR_USRCMT,
                                   &FILTER_CMD_APPLY,    &FILTER_CMD_ACCEPT,  &FILTER_CMD_CANCEL};

}  // namespace

int BuildBasebandFilterPanel(int parent) {
  const int panel = PanelBuild_NewPanel(parent, kFilterPanel);
  CZ_UI_TRY(panel);
  CZ_UI_TRY(PanelBuild_Controls(panel, kFilterCtrls, static_cast<int>(std::size(kFilterCtrls))));
  for (const WindowItem& w : kWindowItems)
    CZ_UI_TRY(InsertListItem(panel, FILTER_RING_WINDOW, -1, w.label, w.value));
  CZ_UI_TRY(SetCtrlAttribute(panel, FILTER_RING_WINDOW, ATTR_DFLT_VALUE, 4));
  CZ_UI_TRY(FillTree(panel));
  CZ_UI_TRY(SetUpGraph(panel));
  CZ_UI_TRY(PanelBuild_Order(panel, kFilterFront, static_cast<int>(std::size(kFilterFront)), kFilterFocus,
                             static_cast<int>(std::size(kFilterFocus))));
  CZ_UI_TRY(PanelBuild_Fit(panel, kFilterPanel, parent == 0 ? 1 : 0));
  // Closing the window acts as Cancel: nothing is stored.
  CZ_UI_TRY(PanelBuild_SetCloseCtrl(panel, FILTER_CMD_CANCEL, FilterCancelCb));
  CZ_UI_TRY(SetPanelAttribute(panel, ATTR_DEFAULT_CTRL, FILTER_CMD_ACCEPT));
  return panel;
}
