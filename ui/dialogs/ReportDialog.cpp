// The Report Generation dialog: what a build reports, in which format and to
// which file.
#include "ui/dialogs/ReportDialog.h"

#include "app/PanelIds.h"
#include "editors/ReportDialog.h"
#include "ui/main/Icons.h"
#include "ui/main/PanelBuild.h"

namespace {

// Cancel: a red cross.
const char* const kIconCancelReport = R"(/* XPM */
static const char * cancel_xpm[] = {
"16 16 2 1",
". c None",
"# c #C03030",
"................",
".##..........##.",
".###........###.",
"..###......###..",
"...###....###...",
"....###..###....",
".....######.....",
"......####......",
"......####......",
".....######.....",
"....###..###....",
"...###....###...",
"..###......###..",
".###........###.",
".##..........##.",
"................"
};
)";

const PanelDef kReportPanel = {
    "DATALOG", "Report Generation", 100, 100, 383, 487, nullptr,
    {AttrI(ATTR_BACKCOLOR, 0xE0E0E0), AttrI(ATTR_SIZABLE, 0), AttrI(ATTR_CAN_MAXIMIZE, 0)},
    {}};

constexpr const UiAttr* kFieldLook = kHotFieldLook;
constexpr UiAttr kCheckLook[] = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrI(ATTR_DATA_TYPE, VAL_INTEGER),
                                 AttrI(ATTR_DFLT_VALUE, 0), AttrS(ATTR_LABEL_FONT, "Arial"),
                                 AttrI(ATTR_LABEL_COLOR, 0x303030), AttrI(ATTR_LABEL_BGCOLOR, VAL_TRANSPARENT),
                                 UiAttr{}};
constexpr UiAttr kButtonLook[] = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrI(ATTR_DFLT_VALUE, 0),
                                  AttrI(ATTR_LABEL_BGCOLOR, VAL_TRANSPARENT), UiAttr{}};
constexpr UiAttr kHeadingLook[] = {
    AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrS(ATTR_TEXT_FONT, "Arial"), AttrI(ATTR_TEXT_COLOR, 0x303030),
    AttrI(ATTR_TEXT_BGCOLOR, VAL_TRANSPARENT), AttrI(ATTR_TEXT_BOLD, 1), AttrI(ATTR_SIZE_TO_TEXT, 1), UiAttr{}};
constexpr UiAttr kGroupLook[] = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrS(ATTR_DFLT_VALUE, ""),
                                 AttrI(ATTR_TEXT_BGCOLOR, 0xD0D0D0), AttrI(ATTR_SIZE_TO_TEXT, 0), UiAttr{}};

// Group columns and check box rows (design pixels).
constexpr int kGroupTop = 112, kGroupHeight = 196, kGroupWidth = 150;
constexpr int kCol1 = 12, kCol2 = 168, kCol3 = 324;
constexpr int kRow0 = 122, kRowStep = 26;
constexpr int Row(int n) { return kRow0 + n * kRowStep; }

// The controls in creation order.
const CtrlDef kReportCtrls[] = {
    {.id = &DATALOG_STR_REPORTFILE, .constName = "STR_REPORTFILE", .kind = CTRL_STRING, .label = "__File",
     .top = 52, .left = 70, .callback = nullptr, .look = kFieldLook,
     .attrs = {AttrI(ATTR_MAX_ENTRY_LENGTH, kPathEntryLength), AttrS(ATTR_DFLT_VALUE, "c:\\report.txt")}, .width = 405,
     .labelTop = 55, .labelLeft = 12},
    {.id = &DATALOG_CMD_ACCEPT, .constName = "CMD_ACCEPT", .kind = CTRL_PICTURE_BUTTON, .label = "", .top = 340,
     .left = 355, .callback = ReportAcceptCb, .look = kButtonLook, .attrs = {}, .height = 32, .width = 52,
     .icon = kIconAccept},
    {.id = &DATALOG_CHK_REP_DROOP, .constName = "CHK_REP_DROOP", .kind = CTRL_CHECK_BOX, .label = "Droop",
     .top = Row(4), .left = kCol2 + 8, .callback = nullptr, .look = kCheckLook, .attrs = {}},
    {.id = &DATALOG_CHK_REP_LEVOFF, .constName = "CHK_REP_LEVOFF", .kind = CTRL_CHECK_BOX, .label = "Level (off)",
     .top = Row(3), .left = kCol2 + 8, .callback = nullptr, .look = kCheckLook, .attrs = {}},
    {.id = &DATALOG_RING_REPORTTYPE, .constName = "RING_REPORTTYPE", .kind = CTRL_RING, .label = "Format",
     .top = 20, .left = 70, .callback = nullptr, .look = kFieldLook, .attrs = {AttrI(ATTR_DATA_TYPE, VAL_INTEGER)},
     .width = 405, .labelTop = 23, .labelLeft = 12},
    {.id = &DATALOG_CHK_REP_LEVON, .constName = "CHK_REP_LEVON", .kind = CTRL_CHECK_BOX, .label = "Level (on)",
     .top = Row(2), .left = kCol2 + 8, .callback = nullptr, .look = kCheckLook, .attrs = {}},
    {.id = &DATALOG_CHK_REP_PHASE, .constName = "CHK_REP_PHASE", .kind = CTRL_CHECK_BOX, .label = "Phase",
     .top = Row(1), .left = kCol2 + 8, .callback = nullptr, .look = kCheckLook, .attrs = {}},
    {.id = &DATALOG_CHK_REP_TSTART, .constName = "CHK_REP_TSTART", .kind = CTRL_CHECK_BOX, .label = "Start Time",
     .top = Row(6), .left = kCol2 + 8, .callback = nullptr, .look = kCheckLook, .attrs = {}},
    {.id = &DATALOG_CHK_REP_FMDEV, .constName = "CHK_REP_FMDEV", .kind = CTRL_CHECK_BOX, .label = "FM Deviation",
     .top = Row(5), .left = kCol2 + 8, .callback = nullptr, .look = kCheckLook, .attrs = {}},
    {.id = &DATALOG_CHK_REP_RNO, .constName = "CHK_REP_RNO", .kind = CTRL_CHECK_BOX, .label = "Repetition No.",
     .top = Row(3), .left = kCol3 + 8, .callback = nullptr, .look = kCheckLook, .attrs = {}},
    {.id = &DATALOG_CHK_REP_RCNT, .constName = "CHK_REP_RCNT", .kind = CTRL_CHECK_BOX,
     .label = "Repetition Count", .top = Row(2), .left = kCol3 + 8, .callback = nullptr, .look = kCheckLook,
     .attrs = {}},
    {.id = &DATALOG_CHK_REP_SENTRY, .constName = "CHK_REP_SENTRY", .kind = CTRL_CHECK_BOX,
     .label = "Sequence Entry No.", .top = Row(0), .left = kCol3 + 8, .callback = nullptr, .look = kCheckLook,
     .attrs = {}},
    {.id = &DATALOG_CHK_REP_FILLERS, .constName = "CHK_REP_FILLERS", .kind = CTRL_CHECK_BOX, .label = "Fillers",
     .top = Row(1), .left = kCol3 + 8, .callback = nullptr, .look = kCheckLook, .attrs = {}},
    {.id = &DATALOG_CHK_REP_MSEG, .constName = "CHK_REP_MSEG", .kind = CTRL_CHECK_BOX,
     .label = "Multi-Segment No.", .top = Row(6), .left = kCol3 + 8, .callback = nullptr, .look = kCheckLook,
     .attrs = {}},
    {.id = &DATALOG_CHK_REP_FREQ, .constName = "CHK_REP_FREQ", .kind = CTRL_CHECK_BOX, .label = "Frequency",
     .top = Row(0), .left = kCol2 + 8, .callback = nullptr, .look = kCheckLook, .attrs = {}},
    {.id = &DATALOG_CHK_REP_PRFPRI, .constName = "CHK_REP_PRFPRI", .kind = CTRL_CHECK_BOX, .label = "PRF/PRI",
     .top = Row(5), .left = kCol1 + 8, .callback = nullptr, .look = kCheckLook, .attrs = {}},
    {.id = &DATALOG_CHK_REP_OFF, .constName = "CHK_REP_OFF", .kind = CTRL_CHECK_BOX, .label = "Off",
     .top = Row(4), .left = kCol1 + 8, .callback = nullptr, .look = kCheckLook, .attrs = {}},
    {.id = &DATALOG_CHK_REP_FALL, .constName = "CHK_REP_FALL", .kind = CTRL_CHECK_BOX, .label = "Fall",
     .top = Row(3), .left = kCol1 + 8, .callback = nullptr, .look = kCheckLook, .attrs = {}},
    {.id = &DATALOG_CHK_REP_ON, .constName = "CHK_REP_ON", .kind = CTRL_CHECK_BOX, .label = "On",
     .top = Row(2), .left = kCol1 + 8, .callback = nullptr, .look = kCheckLook, .attrs = {}},
    {.id = &DATALOG_CHK_REP_RISE, .constName = "CHK_REP_RISE", .kind = CTRL_CHECK_BOX, .label = "Rise",
     .top = Row(1), .left = kCol1 + 8, .callback = nullptr, .look = kCheckLook, .attrs = {}},
    {.id = &DATALOG_CHK_REP_DELAY, .constName = "CHK_REP_DELAY", .kind = CTRL_CHECK_BOX, .label = "Delay",
     .top = Row(0), .left = kCol1 + 8, .callback = nullptr, .look = kCheckLook, .attrs = {}},
    {.id = &DATALOG_CMD_CANCEL, .constName = "CMD_CANCEL", .kind = CTRL_PICTURE_BUTTON, .label = "", .top = 340,
     .left = 423, .callback = ReportCancelCb, .look = kButtonLook, .attrs = {}, .height = 32, .width = 52,
     .icon = kIconCancelReport},
    {.id = &DATALOG_TEXTMSG_4, .constName = "TEXTMSG_4", .kind = CTRL_TEXT_MSG, .label = "", .top = 92,
     .left = kCol3, .callback = nullptr, .look = kHeadingLook, .attrs = {AttrS(ATTR_DFLT_VALUE, "Sequence")}},
    {.id = &DATALOG_TEXTMSG_3, .constName = "TEXTMSG_3", .kind = CTRL_TEXT_MSG, .label = "", .top = 92,
     .left = kCol2, .callback = nullptr, .look = kHeadingLook, .attrs = {AttrS(ATTR_DFLT_VALUE, "Pulse Settings")}},
    {.id = &DATALOG_TEXTMSG_2, .constName = "TEXTMSG_2", .kind = CTRL_TEXT_MSG, .label = "", .top = 92,
     .left = kCol1, .callback = nullptr, .look = kHeadingLook, .attrs = {AttrS(ATTR_DFLT_VALUE, "Pulse Timing")}},
    {.id = &DATALOG_STR_TXT_7, .constName = "STR_TXT_7", .kind = CTRL_TEXT_MSG, .label = "", .top = kGroupTop,
     .left = kCol3, .callback = nullptr, .look = kGroupLook, .attrs = {}, .height = kGroupHeight,
     .width = kGroupWidth},
    {.id = &DATALOG_STR_TXT_6, .constName = "STR_TXT_6", .kind = CTRL_TEXT_MSG, .label = "", .top = kGroupTop,
     .left = kCol2, .callback = nullptr, .look = kGroupLook, .attrs = {}, .height = kGroupHeight,
     .width = kGroupWidth},
    {.id = &DATALOG_STR_TXT_5, .constName = "STR_TXT_5", .kind = CTRL_TEXT_MSG, .label = "", .top = kGroupTop,
     .left = kCol1, .callback = nullptr, .look = kGroupLook, .attrs = {}, .height = kGroupHeight,
     .width = kGroupWidth},
};

// Check boxes and headings in front of the grey group backgrounds.
const int* const kReportFront[] = {
    &DATALOG_RING_REPORTTYPE, &DATALOG_STR_REPORTFILE, &DATALOG_CHK_REP_DELAY, &DATALOG_CHK_REP_RISE,
    &DATALOG_CHK_REP_ON,      &DATALOG_CHK_REP_FALL,   &DATALOG_CHK_REP_OFF,   &DATALOG_CHK_REP_PRFPRI,
    &DATALOG_CHK_REP_FREQ,    &DATALOG_CHK_REP_PHASE,  &DATALOG_CHK_REP_LEVON, &DATALOG_CHK_REP_LEVOFF,
    &DATALOG_CHK_REP_DROOP,   &DATALOG_CHK_REP_FMDEV,  &DATALOG_CHK_REP_TSTART, &DATALOG_CHK_REP_SENTRY,
    &DATALOG_CHK_REP_FILLERS, &DATALOG_CHK_REP_RCNT,   &DATALOG_CHK_REP_RNO,   &DATALOG_CHK_REP_MSEG,
    &DATALOG_CMD_ACCEPT,      &DATALOG_CMD_CANCEL,     &DATALOG_TEXTMSG_2,     &DATALOG_TEXTMSG_3,
    &DATALOG_TEXTMSG_4,       &DATALOG_STR_TXT_5,      &DATALOG_STR_TXT_6,     &DATALOG_STR_TXT_7};
// Keyboard order: format, file, then the groups top to bottom, the buttons.
const int* const kReportFocus[] = {
    &DATALOG_RING_REPORTTYPE, &DATALOG_STR_REPORTFILE, &DATALOG_CHK_REP_DELAY, &DATALOG_CHK_REP_RISE,
    &DATALOG_CHK_REP_ON,      &DATALOG_CHK_REP_FALL,   &DATALOG_CHK_REP_OFF,   &DATALOG_CHK_REP_PRFPRI,
    &DATALOG_CHK_REP_FREQ,    &DATALOG_CHK_REP_PHASE,  &DATALOG_CHK_REP_LEVON, &DATALOG_CHK_REP_LEVOFF,
    &DATALOG_CHK_REP_DROOP,   &DATALOG_CHK_REP_FMDEV,  &DATALOG_CHK_REP_TSTART, &DATALOG_CHK_REP_SENTRY,
    &DATALOG_CHK_REP_FILLERS, &DATALOG_CHK_REP_RCNT,   &DATALOG_CHK_REP_RNO,   &DATALOG_CHK_REP_MSEG,
    &DATALOG_CMD_ACCEPT,      &DATALOG_CMD_CANCEL};

}  // namespace

int BuildReportGenerationPanel(int parent) {
  const int panel = PanelBuild_NewPanel(parent, kReportPanel);
  CZ_UI_TRY(panel);
  CZ_UI_TRY(PanelBuild_Controls(panel, kReportCtrls, static_cast<int>(sizeof kReportCtrls / sizeof kReportCtrls[0])));
  CZ_UI_TRY(InsertListItem(panel, DATALOG_RING_REPORTTYPE, -1, "OFF", 0));
  CZ_UI_TRY(InsertListItem(panel, DATALOG_RING_REPORTTYPE, -1, "Text", 1));
  CZ_UI_TRY(SetCtrlAttribute(panel, DATALOG_RING_REPORTTYPE, ATTR_DFLT_VALUE, 0));
  CZ_UI_TRY(DefaultCtrl(panel, DATALOG_RING_REPORTTYPE));
  CZ_UI_TRY(PanelBuild_Order(panel, kReportFront, static_cast<int>(sizeof kReportFront / sizeof kReportFront[0]),
                             kReportFocus, static_cast<int>(sizeof kReportFocus / sizeof kReportFocus[0])));
  CZ_UI_TRY(PanelBuild_Fit(panel, kReportPanel, parent == 0 ? 1 : 0));
  // Closing the window acts exactly like Cancel.
  CZ_UI_TRY(PanelBuild_SetCloseCtrl(panel, DATALOG_CMD_CANCEL, ReportCancelCb));
  CZ_UI_TRY(SetPanelAttribute(panel, ATTR_DEFAULT_CTRL, DATALOG_CMD_ACCEPT));
  return panel;
}
