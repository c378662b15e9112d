// The Multi Segment tab page, built by the table-driven panel rules: 35
// controls in creation order, the ring items, the six table columns, the
// stacking and focus order and the closing size adjustment.
#include "ui/main/MultiSegmentPage.h"

#include "app/PanelIds.h"
#include "editors/MultiSegmentEditor.h"
#include "ui/main/Icons.h"
#include "ui/main/PanelBuild.h"

int TAB_MSEG_NUM_DELAY = -1;
int TAB_MSEG_NUM_NEXTSEG = -1;
int TAB_MSEG_CMD_SENTRY_DEL = -1;
int TAB_MSEG_NUM_ARBCLK = -1;
int TAB_MSEG_STR_COMMENT = -1;
int TAB_MSEG_CMD_SENTRY_NEW = -1;
int TAB_MSEG_STR_MSNAME = -1;
int TAB_MSEG_TABLE_SETTINGS = -1;
int TAB_MSEG_CMD_QUERY = -1;
int TAB_MSEG_CMD_TRIG = -1;
int TAB_MSEG_CMD_SET = -1;
int TAB_MSEG_CMD_GENERATE = -1;
int TAB_MSEG_RING_TSRC = -1;
int TAB_MSEG_RING_BB = -1;
int TAB_MSEG_CMD_SENTRY_DOWN = -1;
int TAB_MSEG_RING_ETRGMODE = -1;
int TAB_MSEG_CMD_SENTRY_UP = -1;
int TAB_MSEG_RING_TRGMODE = -1;
int TAB_MSEG_RING_ARBLEV = -1;
int TAB_MSEG_RING_SEQLAST = -1;
int TAB_MSEG_RING_SEQMODE = -1;
int TAB_MSEG_RING_ARBCLK = -1;
int TAB_MSEG_STR_NAME = -1;
int TAB_MSEG_DECORATION_2 = -1;
int TAB_MSEG_TEXTMSG_9 = -1;
int TAB_MSEG_TEXTMSG_8 = -1;
int TAB_MSEG_TEXTMSG_7 = -1;
int TAB_MSEG_TEXTMSG_5 = -1;
int TAB_MSEG_TEXTMSG_10 = -1;
int TAB_MSEG_TEXTMSG_4 = -1;
int TAB_MSEG_TEXTMSG_11 = -1;
int TAB_MSEG_TEXTMSG = -1;
int TAB_MSEG_STR_TXT_6 = -1;
int TAB_MSEG_STR_TXT_5 = -1;

namespace {

// 16 x 16 XPM images of the page's own buttons.
const char* const kIconNewSegment =
    "/* XPM */\nstatic const char* xpm[] = {\n\"16 16 3 1\",\n\". c None\",\n\"# c #2060C0\",\n\"o c #80A0E0\",\n"
    "\"................\",\n\"................\",\n\"..oooooooooooo..\",\n\"..o..........o..\",\n"
    "\"..oooooooooooo..\",\n\"................\",\n\".......##.......\",\n\".......##.......\",\n"
    "\"....########....\",\n\"....########....\",\n\".......##.......\",\n\".......##.......\",\n"
    "\"................\",\n\"..oooooooooooo..\",\n\"..oooooooooooo..\",\n\"................\"\n};\n";
const char* const kIconBuild =
    "/* XPM */\nstatic const char* xpm[] = {\n\"16 16 2 1\",\n\". c None\",\n\"# c #20A040\",\n"
    "\"................\",\n\"...##...........\",\n\"...####.........\",\n\"...######.......\",\n"
    "\"...########.....\",\n\"...##########...\",\n\"...###########..\",\n\"...############.\",\n"
    "\"...############.\",\n\"...###########..\",\n\"...##########...\",\n\"...########.....\",\n"
    "\"...######.......\",\n\"...####.........\",\n\"...##...........\",\n\"................\"\n};\n";
const char* const kIconHalt =
    "/* XPM */\nstatic const char* xpm[] = {\n\"16 16 2 1\",\n\". c None\",\n\"# c #C02020\",\n"
    "\"................\",\n\"................\",\n\"..############..\",\n\"..############..\",\n"
    "\"..############..\",\n\"..############..\",\n\"..############..\",\n\"..############..\",\n"
    "\"..############..\",\n\"..############..\",\n\"..############..\",\n\"..############..\",\n"
    "\"..############..\",\n\"..############..\",\n\"................\",\n\"................\"\n};\n";

const PanelDef kMultiSegmentPanel = {
    "TAB_MSEG", "", 15, 203, 607, 795, nullptr,
    {AttrI(ATTR_BACKCOLOR, 0xE0E0E0), AttrI(ATTR_SCROLL_BAR_COLOR, 0xECE9D8), AttrI(ATTR_TITLEBAR_VISIBLE, 0)},
    {}};

// Input fields: hot, labels Arial 0x606060, text Arial 0x303030 on 0xF7F7F7.
constexpr const UiAttr* kFieldLook = kHotFieldLook;
constexpr UiAttr kRingLook[] = {
    AttrI(ATTR_CTRL_MODE, VAL_HOT),    AttrI(ATTR_DATA_TYPE, VAL_INTEGER), AttrS(ATTR_LABEL_FONT, "Arial"),
    AttrI(ATTR_LABEL_COLOR, 0x606060), AttrI(ATTR_LABEL_BGCOLOR, VAL_TRANSPARENT),
    AttrS(ATTR_TEXT_FONT, "Arial"),    AttrI(ATTR_TEXT_COLOR, 0x303030),
    AttrI(ATTR_FRAME_COLOR, 0xC0C0C0), UiAttr{}};
constexpr UiAttr kPictureLook[] = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrI(ATTR_DFLT_VALUE, 0),
                                   AttrI(ATTR_LABEL_BGCOLOR, VAL_TRANSPARENT), UiAttr{}};
constexpr UiAttr kCommandLook[] = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrS(ATTR_LABEL_FONT, "Arial"),
                                   AttrI(ATTR_LABEL_COLOR, 0x303030), AttrI(ATTR_BACKCOLOR, 0xB9B7D7),
                                   UiAttr{}};
// Captions and units beside the settings controls.
constexpr UiAttr kCaptionLook[] = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrS(ATTR_TEXT_FONT, "Arial"),
                                   AttrI(ATTR_TEXT_COLOR, 0x606060), AttrI(ATTR_TEXT_BGCOLOR, VAL_TRANSPARENT),
                                   AttrI(ATTR_SIZE_TO_TEXT, 1), UiAttr{}};
// The two grey group boxes behind the settings groups.
constexpr UiAttr kGroupLook[] = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrS(ATTR_DFLT_VALUE, ""),
                                 AttrI(ATTR_TEXT_BGCOLOR, 0xC0C0C0), AttrI(ATTR_SIZE_TO_TEXT, 0), UiAttr{}};

#define MSW_CAPTION(ID, NAME, TEXT, TOP, LEFT, H, W)                                                     \
  {.id = &ID, .constName = NAME, .kind = CTRL_TEXT_MSG, .label = "", .top = TOP, .left = LEFT,          \
   .callback = nullptr, .look = kCaptionLook, .attrs = {AttrS(ATTR_DFLT_VALUE, TEXT)}, .height = H, .width = W}

const CtrlDef kMultiSegmentCtrls[] = {
    {.id = &TAB_MSEG_NUM_DELAY, .constName = "NUM_DELAY", .kind = CTRL_NUMERIC, .label = "Delay [samples]",
     .top = 466, .left = 661, .callback = MultiSegmentSettingsCb, .look = kFieldLook,
     .attrs = {AttrI(ATTR_DATA_TYPE, VAL_DOUBLE), AttrD(ATTR_MIN_VALUE, 0.0), AttrD(ATTR_MAX_VALUE, 65535.0),
               AttrD(ATTR_INCR_VALUE, 1.0), AttrD(ATTR_DFLT_VALUE, 0.0)},
     .width = 100, .labelTop = 469, .labelLeft = 564},
    {.id = &TAB_MSEG_NUM_NEXTSEG, .constName = "NUM_NEXTSEG", .kind = CTRL_NUMERIC, .label = "Next Segment",
     .top = 436, .left = 661, .callback = MultiSegmentSettingsCb, .look = kFieldLook,
     .attrs = {AttrI(ATTR_DATA_TYPE, VAL_INTEGER), AttrI(ATTR_MIN_VALUE, 0), AttrI(ATTR_MAX_VALUE, 2048),
               AttrI(ATTR_INCR_VALUE, 1), AttrI(ATTR_PRECISION, 0), AttrI(ATTR_DFLT_VALUE, 0)},
     .width = 100, .labelTop = 440, .labelLeft = 564},
    {.id = &TAB_MSEG_CMD_SENTRY_DEL, .constName = "CMD_SENTRY_DEL", .kind = CTRL_PICTURE_BUTTON, .label = "",
     .top = 119, .left = 57, .callback = DeleteMultiSegmentEntryCb, .look = kPictureLook,
     .attrs = {AttrS(ATTR_TOOLTIP_TEXT, "Remove selected entry from MSW editor")}, .height = 26, .width = 35,
     .icon = kIconDelete},
    {.id = &TAB_MSEG_NUM_ARBCLK, .constName = "NUM_ARBCLK", .kind = CTRL_NUMERIC, .label = "",
     .top = 215, .left = 661, .callback = MultiSegmentSettingsCb, .look = kFieldLook,
     .attrs = {AttrI(ATTR_DIMMED, 1), AttrI(ATTR_DATA_TYPE, VAL_DOUBLE), AttrD(ATTR_MIN_VALUE, 0.001),
               AttrD(ATTR_MAX_VALUE, 300.0), AttrD(ATTR_INCR_VALUE, 1.0), AttrI(ATTR_PRECISION, 6),
               AttrD(ATTR_DFLT_VALUE, 100.0)},
     .width = 101},
    {.id = &TAB_MSEG_STR_COMMENT, .constName = "STR_COMMENT", .kind = CTRL_TEXT_BOX, .label = "Comment",
     .top = 40, .left = 112, .callback = MultiSegmentSettingsCb, .look = kFieldLook,
     .attrs = {AttrI(ATTR_MAX_ENTRY_LENGTH, 1023), AttrI(ATTR_LABEL_POINT_SIZE, 10), AttrI(ATTR_TEXT_POINT_SIZE, 10),
               AttrI(ATTR_SCROLL_BARS, 2), AttrS(ATTR_TOOLTIP_TEXT, "Optional MSW comment (added to waveform)")},
     .height = 47, .width = 600, .labelTop = 43, .labelLeft = 57},
    {.id = &TAB_MSEG_CMD_SENTRY_NEW, .constName = "CMD_SENTRY_NEW", .kind = CTRL_PICTURE_BUTTON, .label = "",
     .top = 119, .left = 16, .callback = NewMultiSegmentEntryCb, .look = kPictureLook,
     .attrs = {AttrS(ATTR_TOOLTIP_TEXT, "Create new entry in MSW editor")}, .height = 26, .width = 35,
     .icon = kIconNewSegment},
    {.id = &TAB_MSEG_STR_MSNAME, .constName = "STR_MSNAME", .kind = CTRL_STRING, .label = "Target Name",
     .top = 122, .left = 188, .callback = MultiSegmentSettingsCb, .look = kFieldLook,
     .attrs = {AttrI(ATTR_MAX_ENTRY_LENGTH, kPathEntryLength), AttrI(ATTR_TEXT_POINT_SIZE, 12), AttrS(ATTR_DFLT_VALUE, ""),
               AttrS(ATTR_TOOLTIP_TEXT, "Name of MSW files on instrument")},
     .width = 329, .labelTop = 106, .labelLeft = 192},
    {.id = &TAB_MSEG_TABLE_SETTINGS, .constName = "TABLE_SETTINGS", .kind = CTRL_TABLE, .label = "",
     .top = 154, .left = 9, .callback = MultiSegmentTableCb, .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrS(ATTR_LABEL_FONT, "Arial"), AttrI(ATTR_LABEL_COLOR, 0x606060),
               AttrI(ATTR_ROW_LABELS_VISIBLE, 0)},
     .height = 434, .width = 542},
    {.id = &TAB_MSEG_CMD_QUERY, .constName = "CMD_QUERY", .kind = CTRL_COMMAND_BUTTON, .label = "Query Seg.",
     .top = 552, .left = 661, .callback = MultiSegmentQueryCb, .look = kCommandLook,
     .attrs = {AttrS(ATTR_TOOLTIP_TEXT, "Query the current segment number")}, .height = 23, .width = 100},
    {.id = &TAB_MSEG_CMD_TRIG, .constName = "CMD_TRIG", .kind = CTRL_COMMAND_BUTTON, .label = "Trigger",
     .top = 526, .left = 661, .callback = MultiSegmentTriggerCb, .look = kCommandLook,
     .attrs = {AttrS(ATTR_TOOLTIP_TEXT, "Execute internal trigger via SCPI command")}, .height = 23, .width = 100},
    {.id = &TAB_MSEG_CMD_SET, .constName = "CMD_SET", .kind = CTRL_COMMAND_BUTTON, .label = "Apply",
     .top = 500, .left = 661, .callback = MultiSegmentApplyCb, .look = kCommandLook,
     .attrs = {AttrS(ATTR_TOOLTIP_TEXT, "Apply all MSW settings")}, .height = 23, .width = 100},
    // Stop has no callback: the build drains the event queue for its commit,
    // so the button raises one.
    {.id = &TAB_MSEG_CMD_STOP, .constName = "CMD_STOP", .kind = CTRL_PICTURE_BUTTON, .label = "",
     .top = 108, .left = 591, .callback = nullptr, .look = kPictureLook,
     .attrs = {AttrI(ATTR_DIMMED, 1), AttrS(ATTR_TOOLTIP_TEXT, "Stop MSW build process")}, .height = 36,
     .width = 36, .icon = kIconHalt},
    {.id = &TAB_MSEG_CMD_GENERATE, .constName = "CMD_GENERATE", .kind = CTRL_PICTURE_BUTTON, .label = "",
     .top = 108, .left = 536, .callback = MultiSegmentGenerateCb, .look = kPictureLook,
     .attrs = {AttrS(ATTR_TOOLTIP_TEXT, "Start MSW build process")}, .height = 36, .width = 36,
     .icon = kIconBuild},
    {.id = &TAB_MSEG_RING_TSRC, .constName = "RING_TSRC", .kind = CTRL_RING, .label = "", .top = 407,
     .left = 661, .callback = MultiSegmentSettingsCb, .look = kRingLook, .attrs = {}, .width = 100},
    {.id = &TAB_MSEG_RING_BB, .constName = "RING_BB", .kind = CTRL_RING, .label = "BB Path", .top = 271,
     .left = 661, .callback = MultiSegmentSettingsCb, .look = kRingLook, .attrs = {}, .width = 101,
     .labelTop = 273, .labelLeft = 576},
    {.id = &TAB_MSEG_CMD_SENTRY_DOWN, .constName = "CMD_SENTRY_DOWN", .kind = CTRL_PICTURE_BUTTON, .label = "",
     .top = 119, .left = 140, .callback = MoveMultiSegmentEntryDownCb, .look = kPictureLook,
     .attrs = {AttrS(ATTR_TOOLTIP_TEXT, "Move selected entry down")}, .height = 26, .width = 35,
     .icon = kIconDown},
    {.id = &TAB_MSEG_RING_ETRGMODE, .constName = "RING_ETRGMODE", .kind = CTRL_RING, .label = "", .top = 380,
     .left = 661, .callback = MultiSegmentSettingsCb, .look = kRingLook, .attrs = {}, .width = 100},
    {.id = &TAB_MSEG_CMD_SENTRY_UP, .constName = "CMD_SENTRY_UP", .kind = CTRL_PICTURE_BUTTON, .label = "",
     .top = 119, .left = 100, .callback = MoveMultiSegmentEntryUpCb, .look = kPictureLook,
     .attrs = {AttrS(ATTR_TOOLTIP_TEXT, "Move selected entry up")}, .height = 26, .width = 35, .icon = kIconUp},
    {.id = &TAB_MSEG_RING_TRGMODE, .constName = "RING_TRGMODE", .kind = CTRL_RING, .label = "", .top = 353,
     .left = 661, .callback = MultiSegmentSettingsCb, .look = kRingLook, .attrs = {}, .width = 100},
    {.id = &TAB_MSEG_RING_ARBLEV, .constName = "RING_ARBLEV", .kind = CTRL_RING, .label = "", .top = 245,
     .left = 661, .callback = MultiSegmentSettingsCb, .look = kRingLook, .attrs = {}, .width = 101},
    {.id = &TAB_MSEG_RING_SEQLAST, .constName = "RING_SEQLAST", .kind = CTRL_RING, .label = "", .top = 297,
     .left = 661, .callback = MultiSegmentSettingsCb, .look = kRingLook, .attrs = {}, .width = 101},
    {.id = &TAB_MSEG_RING_SEQMODE, .constName = "RING_SEQMODE", .kind = CTRL_RING, .label = "", .top = 164,
     .left = 661, .callback = MultiSegmentModeCb, .look = kRingLook, .attrs = {}, .width = 101},
    {.id = &TAB_MSEG_RING_ARBCLK, .constName = "RING_ARBCLK", .kind = CTRL_RING, .label = "", .top = 190,
     .left = 661, .callback = MultiSegmentSettingsCb, .look = kRingLook, .attrs = {}, .width = 101},
    {.id = &TAB_MSEG_STR_NAME, .constName = "STR_NAME", .kind = CTRL_STRING, .label = "Name", .top = 16,
     .left = 112, .callback = MultiSegmentSettingsCb, .look = kFieldLook,
     .attrs = {AttrI(ATTR_MAX_ENTRY_LENGTH, 255), AttrI(ATTR_LABEL_POINT_SIZE, 14), AttrI(ATTR_TEXT_POINT_SIZE, 14),
               AttrS(ATTR_DFLT_VALUE, ""), AttrS(ATTR_TOOLTIP_TEXT, "Unique MSW name")},
     .width = 600, .labelTop = 19, .labelLeft = 69},
    {.id = &TAB_MSEG_DECORATION_2, .constName = "DECORATION_2", .kind = CTRL_DECORATION, .label = "", .top = 8,
     .left = 9, .callback = nullptr, .look = nullptr,
     .attrs = {AttrI(ATTR_BACKCOLOR, 0xE0E0E0), AttrI(ATTR_FRAME_COLOR, 0xE0E0E0)}, .height = 89, .width = 772},
    MSW_CAPTION(TAB_MSEG_TEXTMSG_9, "TEXTMSG_9", "Trigger Source", 410, 564, 16, 86),
    MSW_CAPTION(TAB_MSEG_TEXTMSG_8, "TEXTMSG_8", "Ext. Trigger\nMode", 376, 564, 30, 66),
    MSW_CAPTION(TAB_MSEG_TEXTMSG_7, "TEXTMSG_7", "Trigger Mode", 355, 564, 16, 78),
    MSW_CAPTION(TAB_MSEG_TEXTMSG_5, "TEXTMSG_5", "Level", 246, 576, 16, 33),
    MSW_CAPTION(TAB_MSEG_TEXTMSG_10, "TEXTMSG_10", "Mode", 166, 576, 16, 34),
    MSW_CAPTION(TAB_MSEG_TEXTMSG_4, "TEXTMSG_4", "Clock Rate", 191, 576, 16, 61),
    MSW_CAPTION(TAB_MSEG_TEXTMSG_11, "TEXTMSG_11", "Last Seg.", 299, 576, 16, 54),
    MSW_CAPTION(TAB_MSEG_TEXTMSG, "TEXTMSG", "MHz", 217, 576, 16, 26),
    {.id = &TAB_MSEG_STR_TXT_6, .constName = "STR_TXT_6", .kind = CTRL_TEXT_MSG, .label = "", .top = 338,
     .left = 557, .callback = nullptr, .look = kGroupLook, .attrs = {}, .height = 250, .width = 220},
    {.id = &TAB_MSEG_STR_TXT_5, .constName = "STR_TXT_5", .kind = CTRL_TEXT_MSG, .label = "", .top = 156,
     .left = 557, .callback = nullptr, .look = kGroupLook, .attrs = {}, .height = 170, .width = 220},
};
#undef MSW_CAPTION
constexpr int kTableRow = 7;  // TABLE_SETTINGS: its columns follow right after it
constexpr int kCtrlCount = static_cast<int>(sizeof kMultiSegmentCtrls / sizeof kMultiSegmentCtrls[0]);
static_assert(kCtrlCount == 35, "the page has 35 controls");

// Ring items with values from 1 in this order; the ring's start item.
struct RingDef {
  int* id;
  const char* items[5];
  int startIndex;
};
const RingDef kRings[] = {
    {&TAB_MSEG_RING_TSRC, {"Internal", "Ext 1", "Ext 2", "Path 2"}, 0},
    {&TAB_MSEG_RING_BB, {"Path A", "Path B"}, 0},
    {&TAB_MSEG_RING_ETRGMODE, {"Same", "Next", "Seamless"}, 0},
    {&TAB_MSEG_RING_TRGMODE, {"Auto", "Single", "Retrigger", "Armed Auto", "Armed Retr."}, 1},
    {&TAB_MSEG_RING_ARBLEV, {"Unchanged", "Equal RMS"}, 0},
    {&TAB_MSEG_RING_SEQLAST, {"Back 1st", "Endless", "Blank"}, 0},
    {&TAB_MSEG_RING_SEQMODE, {"Regular", "Sequencer"}, 0},
    {&TAB_MSEG_RING_ARBCLK, {"Unchanged", "Highest", "User"}, 0},
};

// Columns of TABLE_SETTINGS. Labels keep their trailing blanks.
struct ColumnDef {
  const char* label;
  int width;
  int mode;
  int textColor;
  int maxLength;  // -1: none
};
const ColumnDef kColumns[MSW_COLUMNS] = {
    {"No  ", 30, VAL_HOT, 0x303030, -1},        {"Rep  ", 80, VAL_HOT, 0x000000, 255},
    {"Sequence   ", 190, VAL_HOT, 0x303030, -1}, {"Samples   ", 80, VAL_INDICATOR, 0x303030, -1},
    {"Tstart  ", 70, VAL_INDICATOR, 0x000000, -1}, {"Tstop  ", 70, VAL_INDICATOR, 0x000000, -1},
};

int FillRings(int panel) {
  for (const RingDef& ring : kRings) {
    for (int k = 0; k < 5 && ring.items[k] != nullptr; ++k)
      CZ_UI_TRY(InsertListItem(panel, *ring.id, -1, ring.items[k], k + 1));
    CZ_UI_TRY(SetCtrlAttribute(panel, *ring.id, ATTR_CTRL_INDEX, ring.startIndex));
    CZ_UI_TRY(SetCtrlAttribute(panel, *ring.id, ATTR_DFLT_VALUE, ring.startIndex + 1));
  }
  return 0;
}

int AddTableColumns(int panel) {
  const int table = TAB_MSEG_TABLE_SETTINGS;
  for (int c = 0; c < MSW_COLUMNS; ++c) {
    const ColumnDef& col = kColumns[c];
    const int column = c + 1;
    CZ_UI_TRY(InsertTableColumns(panel, table, -1, 1, VAL_CELL_STRING));
    CZ_UI_TRY(SetTableColumnAttribute(panel, table, column, ATTR_LABEL_TEXT, col.label));
    CZ_UI_TRY(SetTableColumnAttribute(panel, table, column, ATTR_HEADER_FONT, "Arial"));
    CZ_UI_TRY(SetTableColumnAttribute(panel, table, column, ATTR_COLUMN_WIDTH, col.width));
    CZ_UI_TRY(SetTableColumnAttribute(panel, table, column, ATTR_CELL_MODE, col.mode));
    CZ_UI_TRY(SetTableColumnAttribute(panel, table, column, ATTR_TEXT_BGCOLOR, 0xD8D0C8));
    CZ_UI_TRY(SetTableColumnAttribute(panel, table, column, ATTR_TEXT_FONT, "Arial Narrow"));
    CZ_UI_TRY(SetTableColumnAttribute(panel, table, column, ATTR_TEXT_POINT_SIZE, 13));
    CZ_UI_TRY(SetTableColumnAttribute(panel, table, column, ATTR_TEXT_COLOR, col.textColor));
    if (col.maxLength >= 0)
      CZ_UI_TRY(SetTableColumnAttribute(panel, table, column, ATTR_MAX_ENTRY_LENGTH, col.maxLength));
  }
  return 0;
}

// The header frame DECORATION_2 lies behind the Name and Comment fields it
// frames, with the two group boxes: a filled frame in front of them would
// hide the fields while they still take clicks and typing.
const int* const kFront[] = {
    &TAB_MSEG_RING_SEQLAST,  &TAB_MSEG_TEXTMSG_11,     &TAB_MSEG_RING_SEQMODE,   &TAB_MSEG_TEXTMSG_10,
    &TAB_MSEG_CMD_QUERY,     &TAB_MSEG_CMD_SENTRY_DEL, &TAB_MSEG_CMD_SENTRY_DOWN,
    &TAB_MSEG_CMD_STOP,      &TAB_MSEG_NUM_DELAY,      &TAB_MSEG_CMD_SENTRY_NEW, &TAB_MSEG_CMD_SENTRY_UP,
    &TAB_MSEG_TABLE_SETTINGS, &TAB_MSEG_RING_BB,       &TAB_MSEG_CMD_TRIG,       &TAB_MSEG_NUM_NEXTSEG,
    &TAB_MSEG_CMD_SET,       &TAB_MSEG_RING_TSRC,      &TAB_MSEG_TEXTMSG_9,      &TAB_MSEG_RING_ETRGMODE,
    &TAB_MSEG_TEXTMSG_8,     &TAB_MSEG_RING_TRGMODE,   &TAB_MSEG_TEXTMSG_7,      &TAB_MSEG_STR_COMMENT,
    &TAB_MSEG_STR_MSNAME,    &TAB_MSEG_RING_ARBLEV,    &TAB_MSEG_TEXTMSG_5,      &TAB_MSEG_RING_ARBCLK,
    &TAB_MSEG_TEXTMSG_4,     &TAB_MSEG_TEXTMSG,        &TAB_MSEG_NUM_ARBCLK,     &TAB_MSEG_CMD_GENERATE,
    &TAB_MSEG_STR_NAME,      &TAB_MSEG_DECORATION_2,   &TAB_MSEG_STR_TXT_5,      &TAB_MSEG_STR_TXT_6};
// The 24 input controls in creation order.
const int* const kFocus[] = {
    &TAB_MSEG_NUM_DELAY,      &TAB_MSEG_NUM_NEXTSEG,     &TAB_MSEG_CMD_SENTRY_DEL, &TAB_MSEG_NUM_ARBCLK,
    &TAB_MSEG_STR_COMMENT,    &TAB_MSEG_CMD_SENTRY_NEW,  &TAB_MSEG_STR_MSNAME,     &TAB_MSEG_TABLE_SETTINGS,
    &TAB_MSEG_CMD_QUERY,      &TAB_MSEG_CMD_TRIG,        &TAB_MSEG_CMD_SET,        &TAB_MSEG_CMD_STOP,
    &TAB_MSEG_CMD_GENERATE,   &TAB_MSEG_RING_TSRC,       &TAB_MSEG_RING_BB,        &TAB_MSEG_CMD_SENTRY_DOWN,
    &TAB_MSEG_RING_ETRGMODE,  &TAB_MSEG_CMD_SENTRY_UP,   &TAB_MSEG_RING_TRGMODE,   &TAB_MSEG_RING_ARBLEV,
    &TAB_MSEG_RING_SEQLAST,   &TAB_MSEG_RING_SEQMODE,    &TAB_MSEG_RING_ARBCLK,    &TAB_MSEG_STR_NAME};

}  // namespace

int BuildMultiSegmentPanel(int parent) {
  const int panel = PanelBuild_NewPanel(parent, kMultiSegmentPanel);
  CZ_UI_TRY(panel);
  CZ_UI_TRY(PanelBuild_Controls(panel, kMultiSegmentCtrls, kTableRow + 1));
  CZ_UI_TRY(AddTableColumns(panel));
  CZ_UI_TRY(PanelBuild_Controls(panel, kMultiSegmentCtrls + kTableRow + 1, kCtrlCount - kTableRow - 1));
  CZ_UI_TRY(FillRings(panel));
  CZ_UI_TRY(PanelBuild_Order(panel, kFront, 35, kFocus, 24));
  CZ_UI_TRY(SetCtrlAttribute(panel, TAB_MSEG_TABLE_SETTINGS, ATTR_DELETE_KEY_CTRL, TAB_MSEG_CMD_SENTRY_DEL));
  CZ_UI_TRY(PanelBuild_Fit(panel, kMultiSegmentPanel, 0));
  return panel;
}
