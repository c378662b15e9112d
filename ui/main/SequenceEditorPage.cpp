// The Sequence Editor tab page TAB_SEDIT, built from its table of controls.
// Places and sizes are design pixels (top, left; height x width) for the
// 1920 x 1160 design monitor; the closing adjustment scales them.
//
// The page is a top-level panel while it is built; BuildMainPanel copies
// it into tab page 1 and discards it. Every column of TABLE_SETTINGS gets
// the same cell mode here; which cells are editable, dimmed, coloured or
// rings is decided each time the table is filled.
#include "ui/main/SequenceEditorPage.h"

#include "app/PanelIds.h"
#include "editors/SequenceEditing.h"
#include "editors/SequenceEntries.h"
#include "editors/SequenceFilter.h"
#include "editors/SequenceGenerate.h"
#include "ui/main/Icons.h"
#include "ui/main/PanelBuild.h"

int TAB_SEDIT_CMD_FSEL = -1;
int TAB_SEDIT_CMD_SENTRY_DEL = -1;
int TAB_SEDIT_NUM_ARBCLK = -1;
int TAB_SEDIT_CMD_SENTRY_NEW = -1;
int TAB_SEDIT_CMD_WVINFO = -1;
int TAB_SEDIT_STR_FILE = -1;
int TAB_SEDIT_TABLE_SETTINGS = -1;
int TAB_SEDIT_CMD_LOG = -1;
int TAB_SEDIT_CMD_FILTER = -1;
int TAB_SEDIT_CMD_SENTRY_DOWN = -1;
int TAB_SEDIT_STR_NAME = -1;
int TAB_SEDIT_CMD_SENTRY_UP = -1;
int TAB_SEDIT_STR_COPYRIGHT = -1;
int TAB_SEDIT_STR_COMMENT = -1;
int TAB_SEDIT_CMD_S_HIDE = -1;
int TAB_SEDIT_LED_FILTER = -1;
int TAB_SEDIT_LED_LOG = -1;
int TAB_SEDIT_TEXTMSG = -1;
int TAB_SEDIT_STR_WVINFO = -1;
int TAB_SEDIT_DECORATION = -1;
int TAB_SEDIT_DECORATION_2 = -1;
int TAB_SEDIT_PIC_UNLOCK = -1;
int TAB_SEDIT_PIC_LOCK = -1;

// Icon images: 16 x 16 XPM texts, transparent background.
static const char* const kIconSelectFile =
    "/* XPM */\n"
    "static const char* xpm[] = {\n"
    "\"16 16 2 1\",\n"
    "\". c None\",\n"
    "\"# c #C09020\",\n"
    "\"................\",\n"
    "\"................\",\n"
    "\".#####..........\",\n"
    "\"#.....#.........\",\n"
    "\"#......#######..\",\n"
    "\"#.............#.\",\n"
    "\"#..##########.#.\",\n"
    "\"#.#..........##.\",\n"
    "\"#.#..........#..\",\n"
    "\"##..........##..\",\n"
    "\"##..........#...\",\n"
    "\"#############...\",\n"
    "\"................\",\n"
    "\"................\",\n"
    "\"................\",\n"
    "\"................\"\n"
    "};\n";

static const char* const kIconFileInfo =
    "/* XPM */\n"
    "static const char* xpm[] = {\n"
    "\"16 16 2 1\",\n"
    "\". c None\",\n"
    "\"# c #2060C0\",\n"
    "\"................\",\n"
    "\".......##.......\",\n"
    "\".......##.......\",\n"
    "\"................\",\n"
    "\"......###.......\",\n"
    "\".......##.......\",\n"
    "\".......##.......\",\n"
    "\".......##.......\",\n"
    "\".......##.......\",\n"
    "\".......##.......\",\n"
    "\".......##.......\",\n"
    "\"......####......\",\n"
    "\"................\",\n"
    "\"................\",\n"
    "\"................\",\n"
    "\"................\"\n"
    "};\n";

static const char* const kIconNewEntry =
    "/* XPM */\n"
    "static const char* xpm[] = {\n"
    "\"16 16 2 1\",\n"
    "\". c None\",\n"
    "\"# c #208040\",\n"
    "\"................\",\n"
    "\"................\",\n"
    "\".......##.......\",\n"
    "\".......##.......\",\n"
    "\".......##.......\",\n"
    "\".......##.......\",\n"
    "\"..############..\",\n"
    "\"..############..\",\n"
    "\".......##.......\",\n"
    "\".......##.......\",\n"
    "\".......##.......\",\n"
    "\".......##.......\",\n"
    "\"................\",\n"
    "\"................\",\n"
    "\"................\",\n"
    "\"................\"\n"
    "};\n";

static const char* const kIconGenerate =
    "/* XPM */\n"
    "static const char* xpm[] = {\n"
    "\"16 16 2 1\",\n"
    "\". c None\",\n"
    "\"# c #20A040\",\n"
    "\"................\",\n"
    "\"...##...........\",\n"
    "\"...####.........\",\n"
    "\"...######.......\",\n"
    "\"...########.....\",\n"
    "\"...##########...\",\n"
    "\"...###########..\",\n"
    "\"...############.\",\n"
    "\"...############.\",\n"
    "\"...###########..\",\n"
    "\"...##########...\",\n"
    "\"...########.....\",\n"
    "\"...######.......\",\n"
    "\"...####.........\",\n"
    "\"...##...........\",\n"
    "\"................\"\n"
    "};\n";

static const char* const kIconStop =
    "/* XPM */\n"
    "static const char* xpm[] = {\n"
    "\"16 16 2 1\",\n"
    "\". c None\",\n"
    "\"# c #C02020\",\n"
    "\"................\",\n"
    "\"................\",\n"
    "\"..############..\",\n"
    "\"..############..\",\n"
    "\"..############..\",\n"
    "\"..############..\",\n"
    "\"..############..\",\n"
    "\"..############..\",\n"
    "\"..############..\",\n"
    "\"..############..\",\n"
    "\"..############..\",\n"
    "\"..############..\",\n"
    "\"..############..\",\n"
    "\"..############..\",\n"
    "\"................\",\n"
    "\"................\"\n"
    "};\n";

const char* const kIconSequenceLocked =
    "/* XPM */\n"
    "static const char* xpm[] = {\n"
    "\"16 16 2 1\",\n"
    "\". c None\",\n"
    "\"# c #606060\",\n"
    "\"................\",\n"
    "\".....######.....\",\n"
    "\"....##....##....\",\n"
    "\"....#......#....\",\n"
    "\"....#......#....\",\n"
    "\"....#......#....\",\n"
    "\"..############..\",\n"
    "\"..############..\",\n"
    "\"..#####..#####..\",\n"
    "\"..####....####..\",\n"
    "\"..#####..#####..\",\n"
    "\"..#####..#####..\",\n"
    "\"..############..\",\n"
    "\"..############..\",\n"
    "\"................\",\n"
    "\"................\"\n"
    "};\n";

const char* const kIconSequenceUnlocked =
    "/* XPM */\n"
    "static const char* xpm[] = {\n"
    "\"16 16 2 1\",\n"
    "\". c None\",\n"
    "\"# c #606060\",\n"
    "\"................\",\n"
    "\".....######.....\",\n"
    "\"....##....##....\",\n"
    "\"....#......#....\",\n"
    "\"...........#....\",\n"
    "\"...........#....\",\n"
    "\"..############..\",\n"
    "\"..############..\",\n"
    "\"..#####..#####..\",\n"
    "\"..####....####..\",\n"
    "\"..#####..#####..\",\n"
    "\"..#####..#####..\",\n"
    "\"..############..\",\n"
    "\"..############..\",\n"
    "\"................\",\n"
    "\"................\"\n"
    "};\n";

namespace {

const PanelDef kSequenceEditorPanel = {
    "TAB_SEDIT", "", 15, 203, 607, 795, nullptr,
    {AttrI(ATTR_BACKCOLOR, 0xE0E0E0), AttrI(ATTR_SCROLL_BAR_COLOR, 0xECE9D8), AttrI(ATTR_TITLEBAR_VISIBLE, 0)},
    {}};

// Picture buttons: the icon on the page colour.
constexpr UiAttr kPictureButtonLook[] = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrI(ATTR_DFLT_VALUE, 0),
                                         AttrI(ATTR_LABEL_BGCOLOR, VAL_TRANSPARENT), UiAttr{}};
// Entry fields: labels 0x606060, entered text 0x303030 on 0xF7F7F7, Arial.
constexpr const UiAttr* kFieldLook = kHotFieldLook;
constexpr UiAttr kCommandLook[] = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrS(ATTR_LABEL_FONT, "Arial"),
                                   AttrI(ATTR_LABEL_COLOR, 0x303030), UiAttr{}};
constexpr UiAttr kLedLook[] = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrI(ATTR_ON_COLOR, 0x60B553),
                               AttrI(ATTR_OFF_COLOR, 0xA0A0A0), AttrI(ATTR_DFLT_VALUE, 0), UiAttr{}};
constexpr UiAttr kDecorationLook[] = {AttrI(ATTR_BACKCOLOR, 0xE0E0E0), AttrI(ATTR_FRAME_COLOR, 0xE0E0E0),
                                      UiAttr{}};
constexpr UiAttr kHiddenPictureLook[] = {AttrI(ATTR_VISIBLE, 0), AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), UiAttr{}};

// The 25 controls in creation order. "Sample Rate" is in MHz (0.001 to
// 600, six decimals); the record keeps Hz. The two hidden pictures only
// hold the images that CMD_S_HIDE shows.
const CtrlDef kSequenceEditorCtrls[] = {
    {.id = &TAB_SEDIT_CMD_FSEL, .constName = "CMD_FSEL", .kind = CTRL_PICTURE_BUTTON, .label = "",
     .top = 152, .left = 552, .callback = SequenceSelectWaveFileCb, .look = kPictureButtonLook, .attrs = {},
     .height = 26, .width = 35, .icon = kIconSelectFile},
    {.id = &TAB_SEDIT_CMD_SENTRY_DEL, .constName = "CMD_SENTRY_DEL", .kind = CTRL_PICTURE_BUTTON, .label = "",
     .top = 154, .left = 47, .callback = SequenceEntryDeleteCb, .look = kPictureButtonLook, .attrs = {},
     .height = 26, .width = 35, .icon = kIconDelete},
    {.id = &TAB_SEDIT_NUM_ARBCLK, .constName = "NUM_ARBCLK", .kind = CTRL_NUMERIC, .label = "Sample Rate",
     .top = 98, .left = 612, .callback = SequenceEditCb, .look = kFieldLook,
     .attrs = {AttrI(ATTR_DATA_TYPE, VAL_DOUBLE), AttrD(ATTR_MIN_VALUE, 0.001), AttrD(ATTR_MAX_VALUE, 600.0),
               AttrD(ATTR_INCR_VALUE, 1.0), AttrI(ATTR_PRECISION, 6), AttrD(ATTR_DFLT_VALUE, 100.0)},
     .width = 119, .labelTop = 101, .labelLeft = 535},
    {.id = &TAB_SEDIT_CMD_SENTRY_NEW, .constName = "CMD_SENTRY_NEW", .kind = CTRL_PICTURE_BUTTON, .label = "",
     .top = 154, .left = 11, .callback = SequenceEntryNewCb, .look = kPictureButtonLook, .attrs = {},
     .height = 26, .width = 35, .icon = kIconNewEntry},
    {.id = &TAB_SEDIT_CMD_WVINFO, .constName = "CMD_WVINFO", .kind = CTRL_PICTURE_BUTTON, .label = "",
     .top = 152, .left = 592, .callback = SequenceWaveInfoCb, .look = kPictureButtonLook, .attrs = {},
     .height = 26, .width = 35, .icon = kIconFileInfo},
    {.id = &TAB_SEDIT_STR_FILE, .constName = "STR_FILE", .kind = CTRL_STRING, .label = "Waveform File",
     .top = 154, .left = 172, .callback = SequenceEditCb, .look = kFieldLook,
     .attrs = {AttrI(ATTR_MAX_ENTRY_LENGTH, kPathEntryLength), AttrI(ATTR_TEXT_POINT_SIZE, 12), AttrS(ATTR_DFLT_VALUE, "")},
     .width = 375, .labelTop = 137, .labelLeft = 172},
    {.id = &TAB_SEDIT_TABLE_SETTINGS, .constName = "TABLE_SETTINGS", .kind = CTRL_TABLE, .label = "",
     .top = 183, .left = 0, .callback = SequenceTableCb, .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrS(ATTR_LABEL_FONT, "Arial"),
               AttrI(ATTR_LABEL_COLOR, 0x606060), AttrI(ATTR_ROW_LABELS_VISIBLE, 0)},
     .height = 393, .width = 800},
    {.id = &TAB_SEDIT_CMD_LOG, .constName = "CMD_LOG", .kind = CTRL_COMMAND_BUTTON, .label = "Report ...",
     .top = 48, .left = 612, .callback = SequenceReportCb, .look = kCommandLook, .attrs = {},
     .height = 23, .width = 120},
    {.id = &TAB_SEDIT_CMD_FILTER, .constName = "CMD_FILTER", .kind = CTRL_COMMAND_BUTTON,
     .label = "Baseband Filter ...", .top = 18, .left = 612, .callback = SequenceFilterCb, .look = kCommandLook,
     .attrs = {}, .height = 23, .width = 120},
    {.id = &TAB_SEDIT_CMD_STOP, .constName = "CMD_STOP", .kind = CTRL_PICTURE_BUTTON, .label = "",
     .top = 141, .left = 687, .callback = nullptr, .look = kPictureButtonLook, .attrs = {},
     .height = 36, .width = 36, .icon = kIconStop},
    {.id = &TAB_SEDIT_CMD_GENERATE, .constName = "CMD_GENERATE", .kind = CTRL_PICTURE_BUTTON, .label = "",
     .top = 142, .left = 642, .callback = SequenceGenerateCb, .look = kPictureButtonLook, .attrs = {},
     .height = 36, .width = 36, .icon = kIconGenerate},
    {.id = &TAB_SEDIT_CMD_SENTRY_DOWN, .constName = "CMD_SENTRY_DOWN", .kind = CTRL_PICTURE_BUTTON, .label = "",
     .top = 153, .left = 125, .callback = SequenceEntryDownCb, .look = kPictureButtonLook, .attrs = {},
     .height = 26, .width = 35, .icon = kIconDown},
    {.id = &TAB_SEDIT_STR_NAME, .constName = "STR_NAME", .kind = CTRL_STRING, .label = "Name",
     .top = 17, .left = 65, .callback = SequenceEditCb, .look = kFieldLook,
     .attrs = {AttrI(ATTR_MAX_ENTRY_LENGTH, 255), AttrI(ATTR_LABEL_POINT_SIZE, 14),
               AttrI(ATTR_TEXT_POINT_SIZE, 14), AttrS(ATTR_DFLT_VALUE, "")},
     .width = 430, .labelTop = 20, .labelLeft = 20},
    {.id = &TAB_SEDIT_CMD_SENTRY_UP, .constName = "CMD_SENTRY_UP", .kind = CTRL_PICTURE_BUTTON, .label = "",
     .top = 153, .left = 89, .callback = SequenceEntryUpCb, .look = kPictureButtonLook, .attrs = {},
     .height = 26, .width = 35, .icon = kIconUp},
    {.id = &TAB_SEDIT_STR_COPYRIGHT, .constName = "STR_COPYRIGHT", .kind = CTRL_STRING, .label = "Copyright",
     .top = 99, .left = 65, .callback = SequenceEditCb, .look = kFieldLook,
     .attrs = {AttrI(ATTR_MAX_ENTRY_LENGTH, 255), AttrI(ATTR_LABEL_POINT_SIZE, 10),
               AttrI(ATTR_TEXT_POINT_SIZE, 10), AttrS(ATTR_DFLT_VALUE, "")},
     .width = 430, .labelTop = 101, .labelLeft = 13},
    {.id = &TAB_SEDIT_STR_COMMENT, .constName = "STR_COMMENT", .kind = CTRL_TEXT_BOX, .label = "Comment",
     .top = 40, .left = 65, .callback = SequenceEditCb, .look = kFieldLook,
     .attrs = {AttrI(ATTR_MAX_ENTRY_LENGTH, 1023), AttrI(ATTR_LABEL_POINT_SIZE, 10),
               AttrI(ATTR_TEXT_POINT_SIZE, 10)},
     .height = 60, .width = 430, .labelTop = 42, .labelLeft = 15},
    {.id = &TAB_SEDIT_CMD_S_HIDE, .constName = "CMD_S_HIDE", .kind = CTRL_PICTURE_BUTTON, .label = "",
     .top = 151, .left = 752, .callback = SequenceEditCb, .look = kPictureButtonLook, .attrs = {},
     .height = 26, .width = 35, .icon = kIconSequenceUnlocked},
    {.id = &TAB_SEDIT_LED_FILTER, .constName = "LED_FILTER", .kind = CTRL_LED, .label = "",
     .top = 17, .left = 741, .callback = nullptr, .look = kLedLook, .attrs = {}, .height = 24, .width = 15},
    {.id = &TAB_SEDIT_LED_LOG, .constName = "LED_LOG", .kind = CTRL_LED, .label = "",
     .top = 48, .left = 741, .callback = nullptr, .look = kLedLook, .attrs = {}, .height = 24, .width = 15},
    {.id = &TAB_SEDIT_TEXTMSG, .constName = "TEXTMSG", .kind = CTRL_TEXT_MSG, .label = "",
     .top = 102, .left = 740, .callback = nullptr, .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrS(ATTR_DFLT_VALUE, "MHz"), AttrS(ATTR_TEXT_FONT, "Arial"),
               AttrI(ATTR_TEXT_BOLD, 1), AttrI(ATTR_TEXT_COLOR, 0x606060),
               AttrI(ATTR_TEXT_BGCOLOR, VAL_TRANSPARENT), AttrI(ATTR_SIZE_TO_TEXT, 0)},
     .height = 16, .width = 26},
    {.id = &TAB_SEDIT_STR_WVINFO, .constName = "STR_WVINFO", .kind = CTRL_TEXT_MSG, .label = "",
     .top = 583, .left = 7, .callback = nullptr, .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrS(ATTR_DFLT_VALUE, ""), AttrS(ATTR_TEXT_FONT, "Arial"),
               AttrI(ATTR_TEXT_POINT_SIZE, 12), AttrI(ATTR_TEXT_COLOR, 0x303030),
               AttrI(ATTR_TEXT_BGCOLOR, VAL_TRANSPARENT), AttrI(ATTR_SIZE_TO_TEXT, 0)},
     .height = 18, .width = 783},
    {.id = &TAB_SEDIT_DECORATION, .constName = "DECORATION", .kind = CTRL_DECORATION, .label = "",
     .top = 8, .left = 521, .callback = nullptr, .look = kDecorationLook, .attrs = {}, .height = 125, .width = 262},
    {.id = &TAB_SEDIT_DECORATION_2, .constName = "DECORATION_2", .kind = CTRL_DECORATION, .label = "",
     .top = 8, .left = 9, .callback = nullptr, .look = kDecorationLook, .attrs = {}, .height = 125, .width = 500},
    {.id = &TAB_SEDIT_PIC_UNLOCK, .constName = "PIC_UNLOCK", .kind = CTRL_PICTURE, .label = "",
     .top = 22, .left = 531, .callback = nullptr, .look = kHiddenPictureLook, .attrs = {},
     .height = 28, .width = 28, .icon = kIconSequenceUnlocked},
    {.id = &TAB_SEDIT_PIC_LOCK, .constName = "PIC_LOCK", .kind = CTRL_PICTURE, .label = "",
     .top = 54, .left = 531, .callback = nullptr, .look = kHiddenPictureLook, .attrs = {},
     .height = 28, .width = 28, .icon = kIconSequenceLocked},
};
constexpr int kTableRow = 6;  // TABLE_SETTINGS: its columns follow right after it

// Columns of TABLE_SETTINGS, in order. Labels keep their trailing blanks.
struct SequenceColumnDef {
  const char* label;
  int width;
  int cellType;
  const char* font;
  int pointSize;
  int bold;
  int textColor;      // -1: the run-time's
  int maxLength;
};
const SequenceColumnDef kSequenceColumns[SEQ_COLUMNS] = {
    {"Item ", 30, VAL_CELL_STRING, "Arial", 12, 0, 0x606060, 12},
    {"Mode", 40, VAL_CELL_STRING, "Arial", 12, 0, -1, 32},
    {"Tstart [us]  ", kSequenceCountColumnWidth, VAL_CELL_STRING, "Arial", 12, 0, -1, 32},
    {"Tstop [us]  ", kSequenceCountColumnWidth, VAL_CELL_STRING, "Arial", 12, 0, -1, 32},
    {"Samples  ", kSequenceCountColumnWidth, VAL_CELL_STRING, "Arial", 12, 0, -1, 32},
    {"Pulse Object  ", kSequenceObjectColumnWidth, VAL_CELL_STRING, "NIDialog", 11, 1, -1, 256},
    {"Rep.", 40, VAL_CELL_NUMERIC, "Arial", 12, 0, -1, 12},
    {"Jitter 1 ", 50, VAL_CELL_STRING, "NIDialogMetaFont", 11, 0, -1, 12},
    {"Jitter 2 ", 50, VAL_CELL_STRING, "NIDialogMetaFont", 11, 0, -1, 12},
    {"Jitter 3 ", 50, VAL_CELL_STRING, "NIDialogMetaFont", 11, 0, -1, 12},
    {"Jitter 4", 50, VAL_CELL_STRING, "NIDialogMetaFont", 11, 0, 0x000000, 12},
    {"M 1", 35, VAL_CELL_STRING, "NIDialog", 11, 1, -1, 12},
    {"M 2", 35, VAL_CELL_STRING, "NIDialog", 11, 1, -1, 12},
    {"M 3", 35, VAL_CELL_STRING, "NIDialog", 11, 1, -1, 12},
    {"M 4", 35, VAL_CELL_STRING, "NIDialog", 11, 1, -1, 12},
};

// All fifteen columns, each with its label (trailing blanks kept), width,
// cell type, font and the common cell background 0xD8D0C8.
int AddTableColumns(int panel) {
  const int table = TAB_SEDIT_TABLE_SETTINGS;
  for (int c = 0; c < SEQ_COLUMNS; ++c) {
    const SequenceColumnDef& col = kSequenceColumns[c];
    const int column = c + 1;
    CZ_UI_TRY(InsertTableColumns(panel, table, -1, 1, col.cellType));
    CZ_UI_TRY(SetTableColumnAttribute(panel, table, column, ATTR_LABEL_TEXT, col.label));
    CZ_UI_TRY(SetTableColumnAttribute(panel, table, column, ATTR_COLUMN_WIDTH, col.width));
    CZ_UI_TRY(SetTableColumnAttribute(panel, table, column, ATTR_CELL_MODE, VAL_HOT));
    CZ_UI_TRY(SetTableColumnAttribute(panel, table, column, ATTR_TEXT_BGCOLOR, 0xD8D0C8));
    CZ_UI_TRY(SetTableColumnAttribute(panel, table, column, ATTR_TEXT_FONT, col.font));
    CZ_UI_TRY(SetTableColumnAttribute(panel, table, column, ATTR_TEXT_POINT_SIZE, col.pointSize));
    CZ_UI_TRY(SetTableColumnAttribute(panel, table, column, ATTR_TEXT_BOLD, col.bold));
    if (col.textColor >= 0) CZ_UI_TRY(SetTableColumnAttribute(panel, table, column, ATTR_TEXT_COLOR, col.textColor));
    if (col.cellType == VAL_CELL_NUMERIC) {
      // "Rep.": integer 0 .. 10,000 in steps of 1.
      CZ_UI_TRY(SetTableColumnAttribute(panel, table, column, ATTR_DATA_TYPE, VAL_INTEGER));
      CZ_UI_TRY(SetTableColumnAttribute(panel, table, column, ATTR_MIN_VALUE, 0.0));
      CZ_UI_TRY(SetTableColumnAttribute(panel, table, column, ATTR_MAX_VALUE, 10000.0));
      CZ_UI_TRY(SetTableColumnAttribute(panel, table, column, ATTR_INCR_VALUE, 1.0));
      CZ_UI_TRY(SetTableColumnAttribute(panel, table, column, ATTR_PRECISION, 0));
    } else {
      CZ_UI_TRY(SetTableColumnAttribute(panel, table, column, ATTR_MAX_ENTRY_LENGTH, col.maxLength));
    }
  }
  return 0;
}

// Decorations at the back; the framed controls stay in front of them.
const int* const kSequenceEditorFront[] = {
    &TAB_SEDIT_CMD_FSEL,       &TAB_SEDIT_CMD_SENTRY_DEL, &TAB_SEDIT_NUM_ARBCLK,    &TAB_SEDIT_CMD_SENTRY_NEW,
    &TAB_SEDIT_CMD_WVINFO,     &TAB_SEDIT_STR_FILE,       &TAB_SEDIT_TABLE_SETTINGS, &TAB_SEDIT_CMD_LOG,
    &TAB_SEDIT_CMD_FILTER,     &TAB_SEDIT_CMD_STOP,       &TAB_SEDIT_CMD_GENERATE,  &TAB_SEDIT_CMD_SENTRY_DOWN,
    &TAB_SEDIT_STR_NAME,       &TAB_SEDIT_CMD_SENTRY_UP,  &TAB_SEDIT_STR_COPYRIGHT, &TAB_SEDIT_STR_COMMENT,
    &TAB_SEDIT_CMD_S_HIDE,     &TAB_SEDIT_LED_FILTER,     &TAB_SEDIT_LED_LOG,       &TAB_SEDIT_TEXTMSG,
    &TAB_SEDIT_STR_WVINFO,     &TAB_SEDIT_PIC_UNLOCK,     &TAB_SEDIT_PIC_LOCK,      &TAB_SEDIT_DECORATION,
    &TAB_SEDIT_DECORATION_2};
const int* const kSequenceEditorFocus[] = {
    &TAB_SEDIT_CMD_FSEL,      &TAB_SEDIT_CMD_SENTRY_DEL, &TAB_SEDIT_NUM_ARBCLK,      &TAB_SEDIT_CMD_SENTRY_NEW,
    &TAB_SEDIT_CMD_WVINFO,    &TAB_SEDIT_STR_FILE,       &TAB_SEDIT_TABLE_SETTINGS,  &TAB_SEDIT_CMD_LOG,
    &TAB_SEDIT_CMD_FILTER,    &TAB_SEDIT_CMD_STOP,       &TAB_SEDIT_CMD_GENERATE,    &TAB_SEDIT_CMD_SENTRY_DOWN,
    &TAB_SEDIT_STR_NAME,      &TAB_SEDIT_CMD_SENTRY_UP,  &TAB_SEDIT_STR_COPYRIGHT,   &TAB_SEDIT_STR_COMMENT,
    &TAB_SEDIT_CMD_S_HIDE,    &TAB_SEDIT_LED_FILTER,     &TAB_SEDIT_LED_LOG};

}  // namespace

int BuildSequenceEditorPanel(int parent) {
  const int panel = PanelBuild_NewPanel(parent, kSequenceEditorPanel);
  CZ_UI_TRY(panel);
  constexpr int count = static_cast<int>(sizeof kSequenceEditorCtrls / sizeof kSequenceEditorCtrls[0]);
  CZ_UI_TRY(PanelBuild_Controls(panel, kSequenceEditorCtrls, kTableRow + 1));
  CZ_UI_TRY(AddTableColumns(panel));
  CZ_UI_TRY(PanelBuild_Controls(panel, kSequenceEditorCtrls + kTableRow + 1, count - kTableRow - 1));
  CZ_UI_TRY(PanelBuild_Order(panel, kSequenceEditorFront, 25, kSequenceEditorFocus, 19));
  CZ_UI_TRY(SetCtrlAttribute(panel, TAB_SEDIT_TABLE_SETTINGS, ATTR_DELETE_KEY_CTRL, TAB_SEDIT_CMD_SENTRY_DEL));
  CZ_UI_TRY(PanelBuild_Fit(panel, kSequenceEditorPanel, 0));
  return panel;
}
