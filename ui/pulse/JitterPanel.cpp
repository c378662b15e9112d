// The pulse editor's jitter page P_JIT: four jitter blocks stacked in the
// left column and one detail area for the selected block on the right
// (value table, Min/Max/Step/Count, clear, import, rescale, statistics and
// a preview graph).
#include "ui/pulse/JitterPanel.h"

#include <climits>
#include <iterator>

#include "app/PulsePanelIds.h"
#include "editors/JitterPage.h"
#include "editors/PulseEditor.h"
#include "ui/main/Icons.h"
#include "ui/main/PanelBuild.h"
#include "ui/pulse/PulsePanels.h"

int P_JIT_RING_JITTER1_MODE = -1;
int P_JIT_RING_JITTER1_DTYPE = -1;
int P_JIT_TABLE_JITVAL = -1;
int P_JIT_NUM_JITTER_MIN = -1;
int P_JIT_NUM_JITTER_MAX = -1;
int P_JIT_NUM_JITTER_NCNT = -1;
int P_JIT_NUM_JITTER_STEP = -1;
int P_JIT_RADIO_JITTER2 = -1;
int P_JIT_RING_JITTER2_MODE = -1;
int P_JIT_RING_JITTER2_DTYPE = -1;
int P_JIT_DECORATION = -1;
int P_JIT_RADIO_JITTER4 = -1;
int P_JIT_RADIO_JITTER3 = -1;
int P_JIT_TEXTMSG_59 = -1;
int P_JIT_TEXTMSG_58 = -1;
int P_JIT_TEXTMSG_57 = -1;
int P_JIT_RING_JITTER4_MODE = -1;
int P_JIT_RING_JITTER4_DTYPE = -1;
int P_JIT_TEXTMSG_19 = -1;
int P_JIT_RING_JITTER3_MODE = -1;
int P_JIT_RING_JITTER3_DTYPE = -1;
int P_JIT_TXT_UNIT_2 = -1;
int P_JIT_CMD_JIT4 = -1;
int P_JIT_GRAPH_JITSHAPE = -1;
int P_JIT_CMD_JIT1 = -1;
int P_JIT_CMD_JIT2 = -1;
int P_JIT_CMD_JIT3 = -1;
int P_JIT_CMD_JITTER_IMP = -1;
int P_JIT_CMD_JITTER_RESCALE = -1;
int P_JIT_CMD_JITTER_CLEARALL = -1;
int P_JIT_NUM_SCALE_OFFSET = -1;
int P_JIT_NUM_SCALE_GAIN = -1;
int P_JIT_NUM_IMP_COL = -1;
int P_JIT_STR_JITMAX = -1;
int P_JIT_STR_JITMIN = -1;
int P_JIT_STR_JITPOINTS = -1;
int P_JIT_TEXTMSG_13 = -1;
int P_JIT_TEXTMSG_56 = -1;
int P_JIT_TEXTMSG_55 = -1;
int P_JIT_TEXTMSG_54 = -1;
int P_JIT_STR_TXT_9 = -1;
int P_JIT_STR_TXT_8 = -1;
int P_JIT_STR_TXT_6 = -1;
int P_JIT_STR_TXT_7 = -1;
int P_JIT_STR_TXT_5 = -1;

const JitterRingItem kJitterTargetRing[kJitterTargetItems] = {
    {"Delay Time [us]", 7},      {"Rise Time [us]", 8},        {"On Time [us]", 0},
    {"Fall Time [us]", 9},       {"Off Time [us]", 3},         {"PRF [Hz]", 5},
    {"PRI [us]", 6},             {"Level Att (On) [dB]", 1},   {"Level Att (Off) [dB]", 10},
    {"Freq Offset [MHz]", 2},    {"Phase [degrees]", 11},      {"FM Deviation [MHz]", 4},
    {"Skip Entry [bool]", 12}};
const JitterRingItem kJitterDistRing[kJitterDistItems] = {
    {"Uniform Distribution", 0}, {"Normal Distribution", 1},  {"Linear Ramp", 2},
    {"Sine", 3},                 {"Staircase", 4},            {"Value List (Uniform)", 5},
    {"Value List (Ordered)", 6}, {"Shape (Interpolated)", 7}, {"Rules List", 8}};

namespace {

const PanelDef kJitterPanel = {
    "P_JIT", "", 0, 0, 460, 730, JitterPanelCb,
    {AttrI(ATTR_BACKCOLOR, 0xE0E0E0), AttrI(ATTR_TITLEBAR_VISIBLE, 0)},
    {AttrI(ATTR_FRAME_THICKNESS, 0)}};

// Places of the blocks (block n is the n-th from the top) and of the right part.
constexpr int kBlockTop[] = {40, 140, 240, 340};
constexpr int kBlockLeft = 10, kRingLeft = 30, kRingWidth = 190, kToggleLeft = 150;
constexpr int kBoxLeft = 495, kBoxWidth = 220;
constexpr int kBoxColor = 0xD0D0D0;
constexpr int kToggleOn = 0x00CC66, kToggleOff = 0xC0C0C0;

constexpr UiAttr kRadio[] = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrI(ATTR_DATA_TYPE, VAL_INTEGER),
                             AttrI(ATTR_DFLT_VALUE, 0), AttrS(ATTR_LABEL_FONT, "Arial"), AttrI(ATTR_LABEL_BOLD, 1),
                             UiAttr{}};
// Target and distribution rings; their items and defaults follow the table.
constexpr UiAttr kRing[] = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrI(ATTR_DATA_TYPE, VAL_INTEGER),
                            AttrI(ATTR_LABEL_VISIBLE, 0), AttrI(ATTR_DIMMED, 1), UiAttr{}};
constexpr UiAttr kToggle[] = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrI(ATTR_DATA_TYPE, VAL_INTEGER),
                              AttrS(ATTR_ON_TEXT, "More..."), AttrS(ATTR_OFF_TEXT, "More..."),
                              AttrI(ATTR_ON_COLOR, kToggleOn), AttrI(ATTR_OFF_COLOR, kToggleOff), UiAttr{}};
constexpr UiAttr kText[] = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrS(ATTR_TEXT_FONT, "Arial"),
                            AttrI(ATTR_TEXT_BGCOLOR, VAL_TRANSPARENT), AttrI(ATTR_TEXT_COLOR, 0x303030), UiAttr{}};
constexpr UiAttr kBoxText[] = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrS(ATTR_TEXT_FONT, "Arial"),
                               AttrI(ATTR_TEXT_BOLD, 1), AttrI(ATTR_TEXT_BGCOLOR, kBoxColor),
                               AttrI(ATTR_TEXT_COLOR, 0x303030), UiAttr{}};
// Grey boxes behind the right part's groups: empty text messages.
constexpr UiAttr kBox[] = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrI(ATTR_SIZE_TO_TEXT, 0),
                           AttrI(ATTR_TEXT_BGCOLOR, kBoxColor), AttrS(ATTR_DFLT_VALUE, ""), UiAttr{}};
// Min / Max / Step / Count of the parametric distributions.
constexpr UiAttr kParamNumeric[] = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrI(ATTR_DIMMED, 1),
                                    AttrS(ATTR_LABEL_FONT, "Arial"), UiAttr{}};
constexpr UiAttr kToolNumeric[] = {AttrI(ATTR_CTRL_MODE, VAL_VALIDATE), AttrS(ATTR_LABEL_FONT, "Arial"),
                                   AttrI(ATTR_LABEL_BGCOLOR, kBoxColor), UiAttr{}};
constexpr UiAttr kButton[] = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrS(ATTR_LABEL_FONT, "Arial"), UiAttr{}};

#define CZ_RADIO(p_idv, p_name, p_label, p_block)                                                                 \
  {.id = &p_idv, .constName = p_name, .kind = CTRL_RADIO_BUTTON, .label = p_label, .top = kBlockTop[p_block],     \
   .left = kBlockLeft, .callback = JitterEnableCb, .look = kRadio, .attrs = {}}
#define CZ_MODE(p_idv, p_name, p_block)                                                                            \
  {.id = &p_idv, .constName = p_name, .kind = CTRL_RING, .label = "", .top = kBlockTop[p_block] + 22,             \
   .left = kRingLeft, .callback = PulseEditCb, .look = kRing, .attrs = {}, .width = kRingWidth}
#define CZ_DTYPE(p_idv, p_name, p_block)                                                                           \
  {.id = &p_idv, .constName = p_name, .kind = CTRL_RING, .label = "", .top = kBlockTop[p_block] + 46,             \
   .left = kRingLeft, .callback = JitterEnableCb, .look = kRing, .attrs = {}, .width = kRingWidth}
#define CZ_TOGGLE(p_idv, p_name, p_block, p_on)                                                                    \
  {.id = &p_idv, .constName = p_name, .kind = CTRL_TOGGLE_BUTTON, .label = "", .top = kBlockTop[p_block] + 70,    \
   .left = kToggleLeft, .callback = JitterSelectCb, .look = kToggle, .attrs = {AttrI(ATTR_DFLT_VALUE, p_on)},     \
   .height = 22, .width = 70}
#define CZ_TEXT(p_idv, p_name, p_text, p_top, p_left, p_look)                                                      \
  {.id = &p_idv, .constName = p_name, .kind = CTRL_TEXT_MSG, .label = "", .top = p_top, .left = p_left,           \
   .callback = nullptr, .look = p_look, .attrs = {AttrS(ATTR_DFLT_VALUE, p_text)}}
#define CZ_BOX(p_idv, p_name, p_top, p_height)                                                                     \
  {.id = &p_idv, .constName = p_name, .kind = CTRL_TEXT_MSG, .label = "", .top = p_top, .left = kBoxLeft,         \
   .callback = nullptr, .look = kBox, .attrs = {}, .height = p_height, .width = kBoxWidth}

// Creation order of the page (the ids above are written in this order).
const CtrlDef kJitterCtrls[] = {
    CZ_RADIO(P_JIT_RADIO_JITTER1, "RADIO_JITTER1", "Enable Jitter __1", 0),
    CZ_MODE(P_JIT_RING_JITTER1_MODE, "RING_JITTER1_MODE", 0),
    CZ_DTYPE(P_JIT_RING_JITTER1_DTYPE, "RING_JITTER1_DTYPE", 0),
    {.id = &P_JIT_TABLE_JITVAL, .constName = "TABLE_JITVAL", .kind = CTRL_TABLE, .label = "", .top = 62,
     .left = 262, .callback = PulseEditCb, .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrI(ATTR_ROW_LABELS_VISIBLE, 0)}, .height = 380, .width = 220},
    {.id = &P_JIT_NUM_JITTER_MIN, .constName = "NUM_JITTER_MIN", .kind = CTRL_NUMERIC, .label = "Min", .top = 92,
     .left = 310, .callback = PulseEditCb, .look = kParamNumeric,
     .attrs = {AttrI(ATTR_DATA_TYPE, VAL_DOUBLE), AttrD(ATTR_MIN_VALUE, -10000000.0),
               AttrD(ATTR_MAX_VALUE, 10000000.0), AttrD(ATTR_INCR_VALUE, 1.0), AttrI(ATTR_PRECISION, 3),
               AttrD(ATTR_DFLT_VALUE, -1.0)},
     .width = 120, .labelTop = 94, .labelLeft = 264},
    {.id = &P_JIT_NUM_JITTER_MAX, .constName = "NUM_JITTER_MAX", .kind = CTRL_NUMERIC, .label = "Max", .top = 120,
     .left = 310, .callback = PulseEditCb, .look = kParamNumeric,
     .attrs = {AttrI(ATTR_DATA_TYPE, VAL_DOUBLE), AttrD(ATTR_MIN_VALUE, -10000000.0),
               AttrD(ATTR_MAX_VALUE, 10000000.0), AttrD(ATTR_INCR_VALUE, 1.0), AttrI(ATTR_PRECISION, 3),
               AttrD(ATTR_DFLT_VALUE, 1.0)},
     .width = 120, .labelTop = 122, .labelLeft = 264},
    {.id = &P_JIT_NUM_JITTER_NCNT, .constName = "NUM_JITTER_NCNT", .kind = CTRL_NUMERIC, .label = "Count",
     .top = 176, .left = 310, .callback = PulseEditCb, .look = kParamNumeric,
     .attrs = {AttrI(ATTR_DATA_TYPE, VAL_INTEGER), AttrI(ATTR_MIN_VALUE, 1), AttrI(ATTR_MAX_VALUE, 10000),
               AttrI(ATTR_INCR_VALUE, 1), AttrI(ATTR_DFLT_VALUE, 1)},
     .width = 120, .labelTop = 178, .labelLeft = 264},
    {.id = &P_JIT_NUM_JITTER_STEP, .constName = "NUM_JITTER_STEP", .kind = CTRL_NUMERIC, .label = "Step",
     .top = 148, .left = 310, .callback = PulseEditCb, .look = kParamNumeric,
     .attrs = {AttrI(ATTR_DATA_TYPE, VAL_DOUBLE), AttrD(ATTR_MIN_VALUE, -1000000.0),
               AttrD(ATTR_MAX_VALUE, 1000000.0), AttrD(ATTR_INCR_VALUE, 1.0), AttrI(ATTR_PRECISION, 3),
               AttrD(ATTR_DFLT_VALUE, 0.1)},
     .width = 120, .labelTop = 150, .labelLeft = 264},
    CZ_RADIO(P_JIT_RADIO_JITTER2, "RADIO_JITTER2", "Enable Jitter __2", 1),
    CZ_MODE(P_JIT_RING_JITTER2_MODE, "RING_JITTER2_MODE", 1),
    CZ_DTYPE(P_JIT_RING_JITTER2_DTYPE, "RING_JITTER2_DTYPE", 1),
    {.id = &P_JIT_DECORATION, .constName = "DECORATION", .kind = CTRL_DECORATION, .label = "", .top = 30,
     .left = 250, .callback = nullptr, .look = nullptr, .attrs = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR)},
     .height = 422, .width = 472},
    CZ_RADIO(P_JIT_RADIO_JITTER4, "RADIO_JITTER4", "Enable Jitter __4", 3),
    CZ_RADIO(P_JIT_RADIO_JITTER3, "RADIO_JITTER3", "Enable Jitter __3", 2),
    CZ_TEXT(P_JIT_TEXTMSG_59, "TEXTMSG_59", "Data", 45, 262, kText),
    CZ_TEXT(P_JIT_TEXTMSG_58, "TEXTMSG_58", "Import", 92, 503, kBoxText),
    CZ_TEXT(P_JIT_TEXTMSG_57, "TEXTMSG_57", "Rescale", 160, 503, kBoxText),
    CZ_MODE(P_JIT_RING_JITTER4_MODE, "RING_JITTER4_MODE", 3),
    CZ_DTYPE(P_JIT_RING_JITTER4_DTYPE, "RING_JITTER4_DTYPE", 3),
    CZ_TEXT(P_JIT_TEXTMSG_19, "TEXTMSG_19", "Statistics", 248, 503, kBoxText),
    CZ_MODE(P_JIT_RING_JITTER3_MODE, "RING_JITTER3_MODE", 2),
    CZ_DTYPE(P_JIT_RING_JITTER3_DTYPE, "RING_JITTER3_DTYPE", 2),
    CZ_TEXT(P_JIT_TXT_UNIT_2, "TXT_UNIT_2", "  Jitter Details  ", 22, 264, kText),
    CZ_TOGGLE(P_JIT_CMD_JIT4, "CMD_JIT4", 3, 0),
    {.id = &P_JIT_GRAPH_JITSHAPE, .constName = "GRAPH_JITSHAPE", .kind = CTRL_GRAPH, .label = "Data Preview",
     .top = 342, .left = 500, .callback = nullptr, .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrS(ATTR_LABEL_FONT, "Arial"), AttrS(ATTR_YNAME, "dB"),
               AttrS(ATTR_XNAME, "")},
     .height = 104, .width = 210},
    CZ_TOGGLE(P_JIT_CMD_JIT1, "CMD_JIT1", 0, 1),
    CZ_TOGGLE(P_JIT_CMD_JIT2, "CMD_JIT2", 1, 0),
    CZ_TOGGLE(P_JIT_CMD_JIT3, "CMD_JIT3", 2, 0),
    {.id = &P_JIT_CMD_JITTER_IMP, .constName = "CMD_JITTER_IMP", .kind = CTRL_COMMAND_BUTTON,
     .label = "__File...", .top = 113, .left = 640, .callback = JitterImportCb, .look = kButton, .attrs = {},
     .height = 24, .width = 65},
    {.id = &P_JIT_CMD_JITTER_RESCALE, .constName = "CMD_JITTER_RESCALE", .kind = CTRL_COMMAND_BUTTON,
     .label = "__Apply", .top = 193, .left = 640, .callback = JitterRescaleCb, .look = kButton, .attrs = {},
     .height = 24, .width = 65},
    {.id = &P_JIT_CMD_JITTER_CLEARALL, .constName = "CMD_JITTER_CLEARALL", .kind = CTRL_COMMAND_BUTTON,
     .label = "__Clear", .top = 48, .left = 505, .callback = JitterClearAllCb, .look = kButton, .attrs = {},
     .height = 24, .width = 200},
    {.id = &P_JIT_NUM_SCALE_OFFSET, .constName = "NUM_SCALE_OFFSET", .kind = CTRL_NUMERIC, .label = "__Offset",
     .top = 206, .left = 560, .callback = nullptr, .look = kToolNumeric,
     .attrs = {AttrI(ATTR_DATA_TYPE, VAL_DOUBLE), AttrD(ATTR_MIN_VALUE, -100.0), AttrD(ATTR_MAX_VALUE, 100.0),
               AttrD(ATTR_INCR_VALUE, 1.0), AttrI(ATTR_PRECISION, 3), AttrD(ATTR_DFLT_VALUE, 0.0)},
     .width = 70, .labelTop = 208, .labelLeft = 505},
    {.id = &P_JIT_NUM_SCALE_GAIN, .constName = "NUM_SCALE_GAIN", .kind = CTRL_NUMERIC, .label = "__Gain",
     .top = 180, .left = 560, .callback = nullptr, .look = kToolNumeric,
     .attrs = {AttrI(ATTR_DATA_TYPE, VAL_DOUBLE), AttrD(ATTR_MIN_VALUE, 0.001), AttrD(ATTR_MAX_VALUE, 100.0),
               AttrD(ATTR_INCR_VALUE, 1.0), AttrI(ATTR_PRECISION, 3), AttrD(ATTR_DFLT_VALUE, 1.0)},
     .width = 70, .labelTop = 182, .labelLeft = 505},
    {.id = &P_JIT_NUM_IMP_COL, .constName = "NUM_IMP_COL", .kind = CTRL_NUMERIC, .label = "Column", .top = 114,
     .left = 560, .callback = nullptr, .look = kToolNumeric,
     .attrs = {AttrI(ATTR_DATA_TYPE, VAL_INTEGER), AttrI(ATTR_MIN_VALUE, 1), AttrI(ATTR_MAX_VALUE, 100),
               AttrI(ATTR_INCR_VALUE, 1), AttrI(ATTR_DFLT_VALUE, 1)},
     .width = 60, .labelTop = 116, .labelLeft = 505},
    CZ_TEXT(P_JIT_STR_JITMAX, "STR_JITMAX", "0", 304, 580, kBoxText),
    CZ_TEXT(P_JIT_STR_JITMIN, "STR_JITMIN", "0", 286, 580, kBoxText),
    CZ_TEXT(P_JIT_STR_JITPOINTS, "STR_JITPOINTS", "0", 268, 580, kBoxText),
    {.id = &P_JIT_TEXTMSG_13, .constName = "TEXTMSG_13", .kind = CTRL_TEXT_MSG, .label = "", .top = 8,
     .left = 10, .callback = nullptr, .look = kText,
     .attrs = {AttrS(ATTR_DFLT_VALUE, "Jitter settings"), AttrI(ATTR_TEXT_POINT_SIZE, 14), AttrI(ATTR_TEXT_BOLD, 1)}},
    CZ_TEXT(P_JIT_TEXTMSG_56, "TEXTMSG_56", "Max", 304, 505, kBoxText),
    CZ_TEXT(P_JIT_TEXTMSG_55, "TEXTMSG_55", "Min", 286, 505, kBoxText),
    CZ_TEXT(P_JIT_TEXTMSG_54, "TEXTMSG_54", "Points", 268, 505, kBoxText),
    CZ_BOX(P_JIT_STR_TXT_9, "STR_TXT_9", 330, 120),
    CZ_BOX(P_JIT_STR_TXT_8, "STR_TXT_8", 244, 80),
    CZ_BOX(P_JIT_STR_TXT_6, "STR_TXT_6", 156, 80),
    CZ_BOX(P_JIT_STR_TXT_7, "STR_TXT_7", 40, 40),
    CZ_BOX(P_JIT_STR_TXT_5, "STR_TXT_5", 88, 60),
};
#undef CZ_RADIO
#undef CZ_MODE
#undef CZ_DTYPE
#undef CZ_TOGGLE
#undef CZ_TEXT
#undef CZ_BOX

constexpr int kTargetDefault = 0;  // "On Time [us]"
constexpr int kDistDefault = 0;    // "Uniform Distribution"

int FillRing(int panel, int ring, const JitterRingItem* items, int count, int dflt) {
  for (int i = 0; i < count; ++i) CZ_UI_TRY(InsertListItem(panel, ring, -1, items[i].label, items[i].value));
  CZ_UI_TRY(SetCtrlAttribute(panel, ring, ATTR_DFLT_VALUE, dflt));
  return DefaultCtrl(panel, ring);
}

// "Entry": row numbers in indicator cells; "Value": number or rule texts of
// at most 63 characters, each commit reaching PulseEditCb.
int BuildValueTable(int panel, int table) {
  CZ_UI_TRY(InsertTableColumns(panel, table, -1, 1, VAL_CELL_NUMERIC));
  CZ_UI_TRY(SetTableColumnAttribute(panel, table, 1, ATTR_LABEL_TEXT, "Entry"));
  CZ_UI_TRY(SetTableColumnAttribute(panel, table, 1, ATTR_DATA_TYPE, VAL_INTEGER));
  CZ_UI_TRY(SetTableColumnAttribute(panel, table, 1, ATTR_MIN_VALUE, 0));
  CZ_UI_TRY(SetTableColumnAttribute(panel, table, 1, ATTR_MAX_VALUE, INT_MAX));
  CZ_UI_TRY(SetTableColumnAttribute(panel, table, 1, ATTR_INCR_VALUE, 1));
  CZ_UI_TRY(SetTableColumnAttribute(panel, table, 1, ATTR_PRECISION, 0));
  CZ_UI_TRY(SetTableColumnAttribute(panel, table, 1, ATTR_CELL_MODE, VAL_INDICATOR));
  CZ_UI_TRY(SetTableColumnAttribute(panel, table, 1, ATTR_COLUMN_WIDTH, 30));
  CZ_UI_TRY(InsertTableColumns(panel, table, -1, 1, VAL_CELL_STRING));
  CZ_UI_TRY(SetTableColumnAttribute(panel, table, 2, ATTR_LABEL_TEXT, "Value"));
  CZ_UI_TRY(SetTableColumnAttribute(panel, table, 2, ATTR_MAX_ENTRY_LENGTH, 63));
  CZ_UI_TRY(SetTableColumnAttribute(panel, table, 2, ATTR_CELL_MODE, VAL_HOT));
  CZ_UI_TRY(SetTableColumnAttribute(panel, table, 2, ATTR_COLUMN_WIDTH, 160));
  CZ_UI_TRY(InsertTableRows(panel, table, -1, 1, VAL_USE_MASTER_CELL_TYPE));
  CZ_UI_TRY(PanelBuild_CellIcon(panel, table, Cell(1, 1), kImageList));
  CZ_UI_TRY(PanelBuild_CellIcon(panel, table, Cell(2, 1), kImageList));
  return SetActiveTableCell(panel, table, Cell(2, 1));
}

// Preview: bottom X and left Y follow the data; top X and right Y stay 0..100.
int SetPreviewAxes(int panel, int graph) {
  CZ_UI_TRY(SetAxisScalingMode(panel, graph, VAL_BOTTOM_XAXIS, VAL_AUTOSCALE, 0.0, 0.0));
  CZ_UI_TRY(SetAxisScalingMode(panel, graph, VAL_LEFT_YAXIS, VAL_AUTOSCALE, 0.0, 0.0));
  CZ_UI_TRY(SetAxisScalingMode(panel, graph, VAL_TOP_XAXIS, VAL_MANUAL, 0.0, 100.0));
  CZ_UI_TRY(SetAxisScalingMode(panel, graph, VAL_RIGHT_YAXIS, VAL_MANUAL, 0.0, 100.0));
  return 0;
}

const int* const kTargetRings[] = {&P_JIT_RING_JITTER1_MODE, &P_JIT_RING_JITTER2_MODE, &P_JIT_RING_JITTER3_MODE,
                                   &P_JIT_RING_JITTER4_MODE};
const int* const kDistRings[] = {&P_JIT_RING_JITTER1_DTYPE, &P_JIT_RING_JITTER2_DTYPE, &P_JIT_RING_JITTER3_DTYPE,
                                 &P_JIT_RING_JITTER4_DTYPE};

// Front-most first: the detail controls lie over their grey boxes and frame.
const int* const kJitterFront[] = {
    &P_JIT_NUM_JITTER_MIN, &P_JIT_NUM_JITTER_MAX,  &P_JIT_NUM_JITTER_STEP,     &P_JIT_NUM_JITTER_NCNT,
    &P_JIT_TABLE_JITVAL,   &P_JIT_CMD_JITTER_IMP,  &P_JIT_CMD_JITTER_RESCALE,  &P_JIT_CMD_JITTER_CLEARALL,
    &P_JIT_NUM_IMP_COL,    &P_JIT_NUM_SCALE_GAIN,  &P_JIT_NUM_SCALE_OFFSET,    &P_JIT_GRAPH_JITSHAPE,
    &P_JIT_TEXTMSG_58,     &P_JIT_TEXTMSG_57,      &P_JIT_TEXTMSG_19,          &P_JIT_TEXTMSG_54,
    &P_JIT_TEXTMSG_55,     &P_JIT_TEXTMSG_56,      &P_JIT_STR_JITPOINTS,       &P_JIT_STR_JITMIN,
    &P_JIT_STR_JITMAX,     &P_JIT_STR_TXT_9,       &P_JIT_STR_TXT_8,           &P_JIT_STR_TXT_6,
    &P_JIT_STR_TXT_7,      &P_JIT_STR_TXT_5,       &P_JIT_TXT_UNIT_2,          &P_JIT_TEXTMSG_59,
    &P_JIT_DECORATION};
// Keyboard order: the blocks top to bottom, then the detail area.
const int* const kJitterFocus[] = {
    &P_JIT_RADIO_JITTER1,     &P_JIT_RING_JITTER1_MODE, &P_JIT_RING_JITTER1_DTYPE, &P_JIT_CMD_JIT1,
    &P_JIT_RADIO_JITTER2,     &P_JIT_RING_JITTER2_MODE, &P_JIT_RING_JITTER2_DTYPE, &P_JIT_CMD_JIT2,
    &P_JIT_RADIO_JITTER3,     &P_JIT_RING_JITTER3_MODE, &P_JIT_RING_JITTER3_DTYPE, &P_JIT_CMD_JIT3,
    &P_JIT_RADIO_JITTER4,     &P_JIT_RING_JITTER4_MODE, &P_JIT_RING_JITTER4_DTYPE, &P_JIT_CMD_JIT4,
    &P_JIT_TABLE_JITVAL,      &P_JIT_NUM_JITTER_MIN,    &P_JIT_NUM_JITTER_MAX,     &P_JIT_NUM_JITTER_STEP,
    &P_JIT_NUM_JITTER_NCNT,   &P_JIT_CMD_JITTER_CLEARALL, &P_JIT_NUM_IMP_COL,      &P_JIT_CMD_JITTER_IMP,
    &P_JIT_NUM_SCALE_GAIN,    &P_JIT_NUM_SCALE_OFFSET,  &P_JIT_CMD_JITTER_RESCALE};

}  // namespace

int BuildJitterPanel(int parent) {
  const int panel = PanelBuild_NewPanel(parent, kJitterPanel);
  CZ_UI_TRY(panel);
  CZ_UI_TRY(PanelBuild_Controls(panel, kJitterCtrls, static_cast<int>(std::size(kJitterCtrls))));
  for (int n = 0; n < kJitterBlocks; ++n) {
    CZ_UI_TRY(FillRing(panel, *kTargetRings[n], kJitterTargetRing, kJitterTargetItems, kTargetDefault));
    CZ_UI_TRY(FillRing(panel, *kDistRings[n], kJitterDistRing, kJitterDistItems, kDistDefault));
  }
  CZ_UI_TRY(BuildValueTable(panel, P_JIT_TABLE_JITVAL));
  CZ_UI_TRY(SetPreviewAxes(panel, P_JIT_GRAPH_JITSHAPE));
  CZ_UI_TRY(PanelBuild_Order(panel, kJitterFront, static_cast<int>(std::size(kJitterFront)), kJitterFocus,
                             static_cast<int>(std::size(kJitterFocus))));
  CZ_UI_TRY(PanelBuild_Fit(panel, kJitterPanel, 0));
  return panel;
}
