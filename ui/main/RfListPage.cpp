// The "RF List" tab page, built from its table of controls. Places and
// sizes are design pixels (top, left; height x width).
#include "ui/main/RfListPage.h"

#include <iterator>
#include <vector>

#include "app/PanelIds.h"
#include "app/Records.h"
#include "editors/RfListEditor.h"
#include "ui/main/Icons.h"
#include "ui/main/PanelBuild.h"

int TAB_RFLIST_STR_NAME = -1;
int TAB_RFLIST_CMD_RFLIST_DEL = -1;
int TAB_RFLIST_NUM_DWELL = -1;
int TAB_RFLIST_NUM_LEN = -1;
int TAB_RFLIST_CMD_FSEL_RFLIST = -1;
int TAB_RFLIST_CMD_RFLIST_ADD = -1;
int TAB_RFLIST_NUM_LMIN_2 = -1;
int TAB_RFLIST_NUM_MIN_2 = -1;
int TAB_RFLIST_NUM_LMIN = -1;
int TAB_RFLIST_NUM_MIN = -1;
int TAB_RFLIST_NUM_LMAX_2 = -1;
int TAB_RFLIST_NUM_MAX_2 = -1;
int TAB_RFLIST_NUM_LMAX = -1;
int TAB_RFLIST_NUM_MAX = -1;
int TAB_RFLIST_NUM_STEP_2 = -1;
int TAB_RFLIST_NUM_STEP = -1;
int TAB_RFLIST_RING_BB = -1;
int TAB_RFLIST_CB_ACTIVATE = -1;
int TAB_RFLIST_TABLE_RFLIST = -1;
int TAB_RFLIST_CMD_PRINTLIST = -1;
int TAB_RFLIST_CMD_RFLIST_DOWN = -1;
int TAB_RFLIST_CMD_RFLIST_UP = -1;
int TAB_RFLIST_DECORATION_5 = -1;
int TAB_RFLIST_CMD_SETLEN = -1;
int TAB_RFLIST_CMD_IMPORT = -1;
int TAB_RFLIST_CMD_FILLLIST_2 = -1;
int TAB_RFLIST_CMD_FILLLIST = -1;
int TAB_RFLIST_CMD_RESET = -1;
int TAB_RFLIST_STR_FILE = -1;
int TAB_RFLIST_STR_COMMENT = -1;
int TAB_RFLIST_RING_DMODE_2 = -1;
int TAB_RFLIST_RING_DMODE = -1;
int TAB_RFLIST_TEXTMSG_4 = -1;
int TAB_RFLIST_TEXTMSG = -1;
int TAB_RFLIST_TEXTMSG_10 = -1;
int TAB_RFLIST_TEXTMSG_11 = -1;
int TAB_RFLIST_TEXTMSG_9 = -1;
int TAB_RFLIST_TEXTMSG_12 = -1;
int TAB_RFLIST_TEXTMSG_8 = -1;
int TAB_RFLIST_STR_TXT_6 = -1;
int TAB_RFLIST_STR_TXT_8 = -1;
int TAB_RFLIST_STR_TXT_7 = -1;
int TAB_RFLIST_STR_TXT_5 = -1;

namespace {

// 16 x 16 XPM icons, transparent background.
const char* const kIconAddRow = R"(/* XPM */
static const char* xpm[] = {
"16 16 2 1",
". c None",
"# c #208040",
"................",
"................",
".......##.......",
".......##.......",
".......##.......",
".......##.......",
"..############..",
"..############..",
".......##.......",
".......##.......",
".......##.......",
".......##.......",
"................",
"................",
"................",
"................"
};
)";

const char* const kIconRemoteFile = R"(/* XPM */
static const char* xpm[] = {
"16 16 2 1",
". c None",
"# c #C09020",
"................",
"................",
".#####..........",
"#.....#.........",
"#......#######..",
"#.............#.",
"#..##########.#.",
"#.#..........##.",
"#.#..........#..",
"##..........##..",
"##..........#...",
"#############...",
"................",
"................",
"................",
"................"
};
)";

const char* const kIconExport = R"(/* XPM */
static const char* xpm[] = {
"16 16 2 1",
". c None",
"# c #404040",
"................",
"...#########....",
"...#.......##...",
"...#.#####.#.#..",
"...#.......####.",
"...#.#######..#.",
"...#..........#.",
"...#.#######..#.",
"...#..........#.",
"...#.#######..#.",
"...#..........#.",
"...#.#####....#.",
"...#..........#.",
"...############.",
"................",
"................"
};
)";

const char* const kIconImportList = R"(/* XPM */
static const char* xpm[] = {
"16 16 2 1",
". c None",
"# c #2060C0",
"................",
"......##........",
"......##........",
"......##........",
"....######......",
".....####.......",
"......##........",
"................",
"..###########...",
"..#.........#...",
"..#.#######.#...",
"..#.........#...",
"..#.#######.#...",
"..#.........#...",
"..###########...",
"................"
};
)";

const char* const kIconSend = R"(/* XPM */
static const char* xpm[] = {
"16 16 2 1",
". c None",
"# c #20A040",
"................",
"................",
"........#.......",
"........##......",
"........###.....",
"..##########....",
"..###########...",
"..############..",
"..###########...",
"..##########....",
"........###.....",
"........##......",
"........#.......",
"................",
"................",
"................"
};
)";

const char* const kIconResetInstrument = R"(/* XPM */
static const char* xpm[] = {
"16 16 2 1",
". c None",
"# c #C03020",
"................",
".......##.......",
"...#...##...#...",
"..##...##...##..",
".##....##....##.",
".#.....##.....#.",
"##............##",
"##............##",
"##............##",
".#............#.",
".##..........##.",
"..###......###..",
"...##########...",
".....######.....",
"................",
"................"
};
)";

const PanelDef kRfListPanel = {
    "TAB_RFLIST", "", 15, 203, 607, 795, nullptr,
    {AttrI(ATTR_BACKCOLOR, 0xE0E0E0), AttrI(ATTR_TITLEBAR_VISIBLE, 0)},
    {}};

// Input fields: labels "Arial" 0x606060, text "Arial" 0x303030 on 0xF7F7F7.
constexpr const UiAttr* kFieldLook = kHotFieldLook;
// The eight generator and limit numerics: -140 .. 30, six digits.
constexpr UiAttr kBoundLook[] = {
    AttrI(ATTR_CTRL_MODE, VAL_HOT),     AttrS(ATTR_LABEL_FONT, "Arial"),
    AttrI(ATTR_LABEL_COLOR, 0x606060),  AttrI(ATTR_LABEL_BGCOLOR, VAL_TRANSPARENT),
    AttrS(ATTR_TEXT_FONT, "Arial"),     AttrI(ATTR_TEXT_COLOR, 0x303030),
    AttrI(ATTR_TEXT_BGCOLOR, 0xF7F7F7), AttrI(ATTR_DATA_TYPE, VAL_DOUBLE),
    AttrD(ATTR_MIN_VALUE, -140.0),      AttrD(ATTR_MAX_VALUE, 30.0),
    AttrD(ATTR_INCR_VALUE, 1.0),        AttrI(ATTR_PRECISION, 6),
    UiAttr{}};
// The two generator steps: 0.001 .. 10, six digits, 0.1 at the start.
constexpr UiAttr kStepLook[] = {
    AttrI(ATTR_CTRL_MODE, VAL_HOT),     AttrS(ATTR_LABEL_FONT, "Arial"),
    AttrI(ATTR_LABEL_COLOR, 0x606060),  AttrI(ATTR_LABEL_BGCOLOR, VAL_TRANSPARENT),
    AttrS(ATTR_TEXT_FONT, "Arial"),     AttrI(ATTR_TEXT_COLOR, 0x303030),
    AttrI(ATTR_TEXT_BGCOLOR, 0xF7F7F7), AttrI(ATTR_DATA_TYPE, VAL_DOUBLE),
    AttrD(ATTR_MIN_VALUE, 0.001),       AttrD(ATTR_MAX_VALUE, 10.0),
    AttrD(ATTR_INCR_VALUE, 1.0),        AttrI(ATTR_PRECISION, 6),
    AttrD(ATTR_DFLT_VALUE, 0.1),        UiAttr{}};
constexpr UiAttr kRingLook[] = {
    AttrI(ATTR_CTRL_MODE, VAL_HOT),    AttrI(ATTR_DATA_TYPE, VAL_INTEGER), AttrS(ATTR_TEXT_FONT, "Arial"),
    AttrI(ATTR_TEXT_COLOR, 0x303030),  AttrI(ATTR_FRAME_COLOR, 0xC0C0C0),  UiAttr{}};
constexpr UiAttr kPictureLook[] = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrI(ATTR_DFLT_VALUE, 0),
                                   AttrI(ATTR_LABEL_BGCOLOR, VAL_TRANSPARENT), UiAttr{}};
constexpr UiAttr kCommandLook[] = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrS(ATTR_LABEL_FONT, "Arial"),
                                   AttrI(ATTR_LABEL_COLOR, 0x303030), AttrI(ATTR_BACKCOLOR, 0xC0C0C0), UiAttr{}};
constexpr UiAttr kCaptionLook[] = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrS(ATTR_TEXT_FONT, "Arial"),
                                   AttrI(ATTR_TEXT_COLOR, 0x606060), AttrI(ATTR_TEXT_BGCOLOR, VAL_TRANSPARENT),
                                   AttrI(ATTR_SIZE_TO_TEXT, 1), UiAttr{}};
constexpr UiAttr kBoxLook[] = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrS(ATTR_DFLT_VALUE, ""),
                               AttrI(ATTR_TEXT_BGCOLOR, 0xC0C0C0), AttrI(ATTR_SIZE_TO_TEXT, 0), UiAttr{}};

#define RF_BOUND(ID, NAME, LABEL, TOP, LEFT, DEFAULT, LTOP, LLEFT)                                              \
  {.id = &ID, .constName = NAME, .kind = CTRL_NUMERIC, .label = LABEL, .top = TOP, .left = LEFT,             \
   .callback = RfListEditCb, .look = kBoundLook, .attrs = {AttrD(ATTR_DFLT_VALUE, DEFAULT)}, .width = 82,     \
   .labelTop = LTOP, .labelLeft = LLEFT}
#define RF_PICTURE(ID, NAME, CB, TOP, LEFT, H, W, ICON, TIP)                                                   \
  {.id = &ID, .constName = NAME, .kind = CTRL_PICTURE_BUTTON, .label = "", .top = TOP, .left = LEFT,         \
   .callback = CB, .look = kPictureLook, .attrs = {AttrS(ATTR_TOOLTIP_TEXT, TIP)}, .height = H, .width = W,   \
   .icon = ICON}
#define RF_CAPTION(ID, NAME, TEXT, TOP, LEFT, H, W)                                                            \
  {.id = &ID, .constName = NAME, .kind = CTRL_TEXT_MSG, .label = "", .top = TOP, .left = LEFT,               \
   .callback = nullptr, .look = kCaptionLook, .attrs = {AttrS(ATTR_DFLT_VALUE, TEXT)}, .height = H, .width = W}
#define RF_BOX(ID, NAME, TOP, LEFT, H, W)                                                                      \
  {.id = &ID, .constName = NAME, .kind = CTRL_TEXT_MSG, .label = "", .top = TOP, .left = LEFT,               \
   .callback = nullptr, .look = kBoxLook, .attrs = {}, .height = H, .width = W}

// The 44 controls in creation order.
const CtrlDef kRfListCtrls[] = {
    {.id = &TAB_RFLIST_STR_NAME, .constName = "STR_NAME", .kind = CTRL_STRING, .label = "Name", .top = 15,
     .left = 112, .callback = RfListEditCb, .look = kFieldLook,
     .attrs = {AttrI(ATTR_MAX_ENTRY_LENGTH, 255), AttrI(ATTR_LABEL_POINT_SIZE, 14), AttrI(ATTR_TEXT_POINT_SIZE, 14),
               AttrS(ATTR_DFLT_VALUE, ""), AttrS(ATTR_TOOLTIP_TEXT, "Unique RF list name")},
     .width = 600, .labelTop = 18, .labelLeft = 69},
    RF_PICTURE(TAB_RFLIST_CMD_RFLIST_DEL, "CMD_RFLIST_DEL", RfListDeleteRowCb, 125, 47, 26, 35, kIconDelete,
               "Delete selected entry from list"),
    {.id = &TAB_RFLIST_NUM_DWELL, .constName = "NUM_DWELL", .kind = CTRL_NUMERIC, .label = "", .top = 208,
     .left = 652, .callback = RfListEditCb, .look = kFieldLook,
     .attrs = {AttrI(ATTR_DATA_TYPE, VAL_DOUBLE), AttrD(ATTR_MIN_VALUE, 0.001), AttrD(ATTR_MAX_VALUE, 10000.0),
               AttrD(ATTR_INCR_VALUE, 1.0), AttrI(ATTR_PRECISION, 1), AttrD(ATTR_DFLT_VALUE, 1.0)},
     .width = 82},
    {.id = &TAB_RFLIST_NUM_LEN, .constName = "NUM_LEN", .kind = CTRL_NUMERIC, .label = "", .top = 176,
     .left = 652, .callback = RfListEditCb, .look = kFieldLook,
     .attrs = {AttrI(ATTR_DATA_TYPE, VAL_INTEGER), AttrI(ATTR_MIN_VALUE, 1), AttrI(ATTR_MAX_VALUE, 10000),
               AttrI(ATTR_INCR_VALUE, 1), AttrI(ATTR_PRECISION, 0), AttrI(ATTR_DFLT_VALUE, 1)},
     .width = 82},
    RF_PICTURE(TAB_RFLIST_CMD_FSEL_RFLIST, "CMD_FSEL_RFLIST", RfListSelectRemoteFileCb, 123, 565, 26, 35,
               kIconRemoteFile, "Select remote list file"),
    RF_PICTURE(TAB_RFLIST_CMD_RFLIST_ADD, "CMD_RFLIST_ADD", RfListInsertRowCb, 125, 7, 26, 35, kIconAddRow,
               "Add new entry to list"),
    RF_BOUND(TAB_RFLIST_NUM_LMIN_2, "NUM_LMIN_2", "", 467, 690, 0.0, -1, -1),
    RF_BOUND(TAB_RFLIST_NUM_MIN_2, "NUM_MIN_2", "Min", 317, 691, 0.0, 321, 625),
    RF_BOUND(TAB_RFLIST_NUM_LMIN, "NUM_LMIN", "Min", 467, 523, 0.0, 471, 457),
    RF_BOUND(TAB_RFLIST_NUM_MIN, "NUM_MIN", "Min", 318, 524, 0.0, 322, 458),
    RF_BOUND(TAB_RFLIST_NUM_LMAX_2, "NUM_LMAX_2", "", 499, 689, 1.0, -1, -1),
    RF_BOUND(TAB_RFLIST_NUM_MAX_2, "NUM_MAX_2", "Max", 340, 690, 1.0, 343, 625),
    RF_BOUND(TAB_RFLIST_NUM_LMAX, "NUM_LMAX", "Max", 499, 522, 1.0, 502, 457),
    RF_BOUND(TAB_RFLIST_NUM_MAX, "NUM_MAX", "Max", 341, 524, 1.0, 344, 458),
    {.id = &TAB_RFLIST_NUM_STEP_2, .constName = "NUM_STEP_2", .kind = CTRL_NUMERIC, .label = "Step", .top = 363,
     .left = 690, .callback = RfListEditCb, .look = kStepLook, .attrs = {}, .width = 82, .labelTop = 366,
     .labelLeft = 625},
    {.id = &TAB_RFLIST_NUM_STEP, .constName = "NUM_STEP", .kind = CTRL_NUMERIC, .label = "Step", .top = 364,
     .left = 524, .callback = RfListEditCb, .look = kStepLook, .attrs = {}, .width = 82, .labelTop = 367,
     .labelLeft = 459},
    {.id = &TAB_RFLIST_RING_BB, .constName = "RING_BB", .kind = CTRL_RING, .label = "", .top = 127, .left = 657,
     .callback = RfListEditCb, .look = kRingLook, .attrs = {AttrS(ATTR_TOOLTIP_TEXT, "Target path for RF list")},
     .width = 75},
    // The box draws its label to its right ("Activate", A underlined).
    {.id = &TAB_RFLIST_CB_ACTIVATE, .constName = "CB_ACTIVATE", .kind = CTRL_CHECK_BOX, .label = "__Activate",
     .top = 109, .left = 658, .callback = RfListEditCb, .look = kFieldLook,
     .attrs = {AttrI(ATTR_DFLT_VALUE, 0), AttrS(ATTR_TOOLTIP_TEXT, "Activate list mode after transfer")},
     .height = 16, .width = 80},
    {.id = &TAB_RFLIST_TABLE_RFLIST, .constName = "TABLE_RFLIST", .kind = CTRL_TABLE, .label = "", .top = 156,
     .left = 12, .callback = RfListEditCb, .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrS(ATTR_LABEL_FONT, "Arial"), AttrI(ATTR_LABEL_COLOR, 0x606060),
               AttrI(ATTR_ROW_LABELS_VISIBLE, 0)},
     .height = 430, .width = 428},
    RF_PICTURE(TAB_RFLIST_CMD_PRINTLIST, "CMD_PRINTLIST", RfListPrintCb, 122, 222, 26, 35, kIconExport,
               "Export list data to text file"),
    RF_PICTURE(TAB_RFLIST_CMD_RFLIST_DOWN, "CMD_RFLIST_DOWN", RfListMoveDownCb, 123, 131, 26, 35, kIconDown,
               "Move selected entry down"),
    RF_PICTURE(TAB_RFLIST_CMD_RFLIST_UP, "CMD_RFLIST_UP", RfListMoveUpCb, 123, 91, 26, 35, kIconUp,
               "Move selected entry up"),
    {.id = &TAB_RFLIST_DECORATION_5, .constName = "DECORATION_5", .kind = CTRL_DECORATION, .label = "", .top = 8,
     .left = 9, .callback = nullptr, .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrI(ATTR_BACKCOLOR, 0xE0E0E0),
               AttrI(ATTR_FRAME_COLOR, 0xE0E0E0)},
     .height = 89, .width = 772},
    {.id = &TAB_RFLIST_CMD_SETLEN, .constName = "CMD_SETLEN", .kind = CTRL_COMMAND_BUTTON, .label = "Set Length",
     .top = 174, .left = 492, .callback = RfListSetLengthCb, .look = kCommandLook, .attrs = {}, .height = 26,
     .width = 120},
    RF_PICTURE(TAB_RFLIST_CMD_IMPORT, "CMD_IMPORT", RfListImportCb, 122, 182, 26, 35, kIconImportList,
               "Import list data from text file"),
    {.id = &TAB_RFLIST_CMD_FILLLIST_2, .constName = "CMD_FILLLIST_2", .kind = CTRL_COMMAND_BUTTON, .label = "Fill",
     .top = 394, .left = 672, .callback = RfListFillCb, .look = kCommandLook, .attrs = {}, .height = 26,
     .width = 100},
    {.id = &TAB_RFLIST_CMD_FILLLIST, .constName = "CMD_FILLLIST", .kind = CTRL_COMMAND_BUTTON, .label = "Fill",
     .top = 395, .left = 507, .callback = RfListFillCb, .look = kCommandLook, .attrs = {}, .height = 26,
     .width = 100},
    RF_PICTURE(TAB_RFLIST_CMD_RESET, "CMD_RESET", RfListResetInstrumentCb, 113, 745, 36, 36, kIconResetInstrument,
               "Reset instrument"),
    RF_PICTURE(TAB_RFLIST_CMD_UPLOAD, "CMD_UPLOAD", RfListUploadCb, 114, 610, 36, 36, kIconSend,
               "Send RF list to instrument"),
    {.id = &TAB_RFLIST_STR_FILE, .constName = "STR_FILE", .kind = CTRL_STRING, .label = "Remote List File",
     .top = 127, .left = 272, .callback = RfListEditCb, .look = kFieldLook,
     .attrs = {AttrI(ATTR_MAX_ENTRY_LENGTH, kPathEntryLength), AttrI(ATTR_TEXT_POINT_SIZE, 12), AttrS(ATTR_DFLT_VALUE, ""),
               AttrS(ATTR_TOOLTIP_TEXT, "Remote list file")},
     .width = 291, .labelTop = 111, .labelLeft = 275},
    {.id = &TAB_RFLIST_STR_COMMENT, .constName = "STR_COMMENT", .kind = CTRL_TEXT_BOX, .label = "Comment",
     .top = 39, .left = 112, .callback = RfListEditCb, .look = kFieldLook,
     .attrs = {AttrI(ATTR_MAX_ENTRY_LENGTH, 1023), AttrI(ATTR_LABEL_POINT_SIZE, 14), AttrI(ATTR_TEXT_POINT_SIZE, 10),
               AttrS(ATTR_TOOLTIP_TEXT, "Optional comment")},
     .height = 47, .width = 600, .labelTop = 42, .labelLeft = 44},
    {.id = &TAB_RFLIST_RING_DMODE_2, .constName = "RING_DMODE_2", .kind = CTRL_RING, .label = "", .top = 287,
     .left = 673, .callback = RfListEditCb, .look = kRingLook, .attrs = {}, .width = 101},
    {.id = &TAB_RFLIST_RING_DMODE, .constName = "RING_DMODE", .kind = CTRL_RING, .label = "", .top = 288,
     .left = 504, .callback = RfListEditCb, .look = kRingLook, .attrs = {}, .width = 101},
    RF_CAPTION(TAB_RFLIST_TEXTMSG_4, "TEXTMSG_4", "Dwell Time", 211, 491, 16, 64),
    RF_CAPTION(TAB_RFLIST_TEXTMSG, "TEXTMSG", "ms", 211, 741, 16, 21),
    RF_CAPTION(TAB_RFLIST_TEXTMSG_10, "TEXTMSG_10", "Level", 259, 623, 16, 33),
    RF_CAPTION(TAB_RFLIST_TEXTMSG_11, "TEXTMSG_11", "Limits", 441, 456, 16, 38),
    RF_CAPTION(TAB_RFLIST_TEXTMSG_9, "TEXTMSG_9", "Frequency", 260, 456, 16, 61),
    RF_CAPTION(TAB_RFLIST_TEXTMSG_12, "TEXTMSG_12", "Mode", 290, 624, 16, 34),
    RF_CAPTION(TAB_RFLIST_TEXTMSG_8, "TEXTMSG_8", "Mode", 290, 457, 16, 34),
    RF_BOX(TAB_RFLIST_STR_TXT_6, "STR_TXT_6", 257, 620, 170, 160),
    RF_BOX(TAB_RFLIST_STR_TXT_8, "STR_TXT_8", 160, 453, 83, 327),
    RF_BOX(TAB_RFLIST_STR_TXT_7, "STR_TXT_7", 438, 453, 100, 328),
    RF_BOX(TAB_RFLIST_STR_TXT_5, "STR_TXT_5", 257, 453, 170, 160),
};
constexpr int kTableRow = 18;  // TABLE_RFLIST: its columns and row follow right after it

#undef RF_BOUND
#undef RF_PICTURE
#undef RF_CAPTION
#undef RF_BOX

struct RingItem {
  const int* ring;
  const char* label;
  int value;
};
const RingItem kRingItems[] = {
    {&TAB_RFLIST_RING_BB, "Path A", 1},           {&TAB_RFLIST_RING_BB, "Path B", 2},
    {&TAB_RFLIST_RING_DMODE_2, "All Same", 1},    {&TAB_RFLIST_RING_DMODE_2, "Uniform", 2},
    {&TAB_RFLIST_RING_DMODE_2, "Unique Rand", 3}, {&TAB_RFLIST_RING_DMODE, "All Same", 1},
    {&TAB_RFLIST_RING_DMODE, "Uniform", 2},       {&TAB_RFLIST_RING_DMODE, "Unique Rand", 3},
};

// Columns of TABLE_RFLIST: all numeric.
struct RfColumnDef {
  const char* label;
  int width;
  int dataType;
  double min, max, increment;
  int precision;
  int mode;        // VAL_INDICATOR or VAL_HOT
  int dimmed;
  const char* font;
  int pointSize;
  int textColor, background;
  int maxLength;   // characters typed; -1 none
};
const RfColumnDef kRfColumns[3] = {
    {"Entry", 50, VAL_UNSIGNED_SHORT_INTEGER, 0.0, 10000.0, 1.0, 0, VAL_INDICATOR, 1, "NIDialogMetaFont", 11,
     0x606060, 0xC0C0C0, -1},
    {"Frequency [GHz]", 120, VAL_DOUBLE, kRfListFrequencyMinGHz, kRfListFrequencyMaxGHz, 0.1, 6, VAL_HOT, 0, "Arial",
     12, 0x303030, 0xE0E0E0, 32},
    {"Level [dBm]", 120, VAL_DOUBLE, kRfListLevelMinDbm, kRfListLevelMaxDbm, 1.0, 2, VAL_HOT, 0, "Arial", 12, 0x303030,
     0xE0E0E0, 32},
};

// Cell settings of a column, given to the column or to one of its cells.
template <typename SetInt, typename SetDouble, typename SetText>
int ApplyColumnLook(const RfColumnDef& col, SetInt setInt, SetDouble setDouble, SetText setText) {
  CZ_UI_TRY(setInt(ATTR_DATA_TYPE, col.dataType));
  CZ_UI_TRY(setDouble(ATTR_MIN_VALUE, col.min));
  CZ_UI_TRY(setDouble(ATTR_MAX_VALUE, col.max));
  CZ_UI_TRY(setDouble(ATTR_INCR_VALUE, col.increment));
  CZ_UI_TRY(setInt(ATTR_PRECISION, col.precision));
  CZ_UI_TRY(setInt(ATTR_CELL_MODE, col.mode));
  CZ_UI_TRY(setInt(ATTR_CELL_DIMMED, col.dimmed));
  CZ_UI_TRY(setText(ATTR_TEXT_FONT, col.font));
  CZ_UI_TRY(setInt(ATTR_TEXT_POINT_SIZE, col.pointSize));
  CZ_UI_TRY(setInt(ATTR_TEXT_COLOR, col.textColor));
  CZ_UI_TRY(setInt(ATTR_TEXT_BGCOLOR, col.background));
  if (col.maxLength > 0) CZ_UI_TRY(setInt(ATTR_MAX_ENTRY_LENGTH, col.maxLength));
  return 0;
}

int AddTableColumns(int panel) {
  const int table = TAB_RFLIST_TABLE_RFLIST;
  for (int c = 0; c < 3; ++c) {
    const RfColumnDef& col = kRfColumns[c];
    const int column = c + 1;
    CZ_UI_TRY(InsertTableColumns(panel, table, -1, 1, VAL_CELL_NUMERIC));
    CZ_UI_TRY(SetTableColumnAttribute(panel, table, column, ATTR_LABEL_TEXT, col.label));
    CZ_UI_TRY(SetTableColumnAttribute(panel, table, column, ATTR_COLUMN_WIDTH, col.width));
    CZ_UI_TRY(SetTableColumnAttribute(panel, table, column, ATTR_LABEL_FONT, "Arial"));
    CZ_UI_TRY(SetTableColumnAttribute(panel, table, column, ATTR_LABEL_COLOR, 0x606060));
    CZ_UI_TRY(ApplyColumnLook(
        col, [&](int a, int v) { return SetTableColumnAttribute(panel, table, column, a, v); },
        [&](int a, double v) { return SetTableColumnAttribute(panel, table, column, a, v); },
        [&](int a, const char* v) { return SetTableColumnAttribute(panel, table, column, a, v); }));
  }
  // The one row of the built table, its cells set like their columns.
  CZ_UI_TRY(InsertTableRows(panel, table, -1, 1, VAL_USE_MASTER_CELL_TYPE));
  CZ_UI_TRY(SetTableRowAttribute(panel, table, 1, ATTR_CELL_TYPE, VAL_CELL_NUMERIC));
  for (int c = 0; c < 3; ++c) {
    const Point cell = Cell(c + 1, 1);
    CZ_UI_TRY(ApplyColumnLook(
        kRfColumns[c], [&](int a, int v) { return SetTableCellAttribute(panel, table, cell, a, v); },
        [&](int a, double v) { return SetTableCellAttribute(panel, table, cell, a, v); },
        [&](int a, const char* v) { return SetTableCellAttribute(panel, table, cell, a, v); }));
  }
  CZ_UI_TRY(SetActiveTableCell(panel, table, Cell(RFLIST_COL_FREQUENCY, 1)));
  return 0;
}

// Front-most first. The header's frame lies behind the name and comment it
// encloses (in front of them it would hide them and take their clicks).
const int* const kRfListFront[] = {
    &TAB_RFLIST_TEXTMSG_12,     &TAB_RFLIST_TEXTMSG_4,      &TAB_RFLIST_TEXTMSG,        &TAB_RFLIST_NUM_DWELL,
    &TAB_RFLIST_NUM_LEN,        &TAB_RFLIST_CMD_SETLEN,     &TAB_RFLIST_STR_TXT_8,
    &TAB_RFLIST_CMD_RFLIST_ADD, &TAB_RFLIST_CMD_RESET,      &TAB_RFLIST_CMD_PRINTLIST,  &TAB_RFLIST_CMD_RFLIST_DOWN,
    &TAB_RFLIST_TEXTMSG_11,     &TAB_RFLIST_NUM_LMAX_2,     &TAB_RFLIST_NUM_LMIN_2,     &TAB_RFLIST_NUM_LMAX,
    &TAB_RFLIST_NUM_LMIN,       &TAB_RFLIST_CMD_FILLLIST_2, &TAB_RFLIST_NUM_STEP_2,     &TAB_RFLIST_NUM_MAX_2,
    &TAB_RFLIST_TEXTMSG_10,     &TAB_RFLIST_NUM_MIN_2,      &TAB_RFLIST_RING_DMODE_2,   &TAB_RFLIST_STR_TXT_6,
    &TAB_RFLIST_TEXTMSG_9,      &TAB_RFLIST_CMD_RFLIST_DEL, &TAB_RFLIST_CMD_RFLIST_UP,  &TAB_RFLIST_TABLE_RFLIST,
    &TAB_RFLIST_CMD_FSEL_RFLIST, &TAB_RFLIST_CB_ACTIVATE,   &TAB_RFLIST_RING_BB,        &TAB_RFLIST_CMD_IMPORT,
    &TAB_RFLIST_NUM_STEP,       &TAB_RFLIST_NUM_MAX,        &TAB_RFLIST_NUM_MIN,        &TAB_RFLIST_RING_DMODE,
    &TAB_RFLIST_TEXTMSG_8,      &TAB_RFLIST_CMD_UPLOAD,     &TAB_RFLIST_CMD_FILLLIST,   &TAB_RFLIST_STR_FILE,
    &TAB_RFLIST_STR_COMMENT,    &TAB_RFLIST_STR_NAME,       &TAB_RFLIST_STR_TXT_5,      &TAB_RFLIST_STR_TXT_7,
    &TAB_RFLIST_DECORATION_5};
// Input controls in creation order, STR_NAME to RING_DMODE.
const int* const kRfListFocus[] = {
    &TAB_RFLIST_STR_NAME,       &TAB_RFLIST_CMD_RFLIST_DEL, &TAB_RFLIST_NUM_DWELL,      &TAB_RFLIST_NUM_LEN,
    &TAB_RFLIST_CMD_FSEL_RFLIST, &TAB_RFLIST_CMD_RFLIST_ADD, &TAB_RFLIST_NUM_LMIN_2,    &TAB_RFLIST_NUM_MIN_2,
    &TAB_RFLIST_NUM_LMIN,       &TAB_RFLIST_NUM_MIN,        &TAB_RFLIST_NUM_LMAX_2,     &TAB_RFLIST_NUM_MAX_2,
    &TAB_RFLIST_NUM_LMAX,       &TAB_RFLIST_NUM_MAX,        &TAB_RFLIST_NUM_STEP_2,     &TAB_RFLIST_NUM_STEP,
    &TAB_RFLIST_RING_BB,        &TAB_RFLIST_CB_ACTIVATE,    &TAB_RFLIST_TABLE_RFLIST,   &TAB_RFLIST_CMD_PRINTLIST,
    &TAB_RFLIST_CMD_RFLIST_DOWN, &TAB_RFLIST_CMD_RFLIST_UP, &TAB_RFLIST_CMD_SETLEN,     &TAB_RFLIST_CMD_IMPORT,
    &TAB_RFLIST_CMD_FILLLIST_2, &TAB_RFLIST_CMD_FILLLIST,   &TAB_RFLIST_CMD_RESET,      &TAB_RFLIST_CMD_UPLOAD,
    &TAB_RFLIST_STR_FILE,       &TAB_RFLIST_STR_COMMENT,    &TAB_RFLIST_RING_DMODE_2,   &TAB_RFLIST_RING_DMODE};

}  // namespace

int BuildRfListPanel(int parent) {
  const int panel = PanelBuild_NewPanel(parent, kRfListPanel);
  CZ_UI_TRY(panel);
  constexpr int count = static_cast<int>(std::size(kRfListCtrls));
  CZ_UI_TRY(PanelBuild_Controls(panel, kRfListCtrls, kTableRow + 1));
  CZ_UI_TRY(AddTableColumns(panel));
  CZ_UI_TRY(PanelBuild_Controls(panel, kRfListCtrls + kTableRow + 1, count - kTableRow - 1));
  for (const RingItem& item : kRingItems) CZ_UI_TRY(InsertListItem(panel, *item.ring, -1, item.label, item.value));
  CZ_UI_TRY(PanelBuild_Order(panel, kRfListFront, static_cast<int>(std::size(kRfListFront)), kRfListFocus,
                             static_cast<int>(std::size(kRfListFocus))));
  CZ_UI_TRY(PanelBuild_Fit(panel, kRfListPanel, 0));
  return panel;
}

int PrepareRfListPage() {
  const int panel = TAB_RFLIST;
  const int table = TAB_RFLIST_TABLE_RFLIST;
  CZ_UI_TRY(DeleteTableRows(panel, table, 1, -1));
  CZ_UI_TRY(InsertTableRows(panel, table, -1, kMaxRfListPoints, VAL_USE_MASTER_CELL_TYPE));
  std::vector<int> entries(kMaxRfListPoints);
  for (int i = 0; i < kMaxRfListPoints; ++i) entries[static_cast<std::size_t>(i)] = i + 1;
  CZ_UI_TRY(SetTableCellRangeVals(panel, table, MakeRect(1, RFLIST_COL_ENTRY, kMaxRfListPoints, 1), entries.data(),
                                  0));
  for (const int* ctrl : {&TAB_RFLIST_STR_NAME, &TAB_RFLIST_STR_COMMENT, &TAB_RFLIST_STR_FILE})
    CZ_UI_TRY(SetCtrlAttribute(panel, *ctrl, ATTR_FRAME_COLOR, VAL_TRANSPARENT));
  return 0;
}
