// The Transfer tab page, built from its control table. Places are design
// pixels (top, left; height x width), colours 0xRRGGBB.
#include "ui/main/TransferPage.h"

#include <iterator>

#include "instrument/TransferTab.h"
#include "ui/main/Icons.h"
#include "ui/main/PanelBuild.h"

int TAB_INSTR_STR_TXT_19 = -1;
int TAB_INSTR_STR_TXT_18 = -1;
int TAB_INSTR_STR_TXT_15 = -1;
int TAB_INSTR_STR_TXT_17 = -1;
int TAB_INSTR_STR_TXT_16 = -1;
int TAB_INSTR_STR_TXT_14 = -1;
int TAB_INSTR_RING_BBR_B = -1;
int TAB_INSTR_RING_BBR_A = -1;
int TAB_INSTR_CMD_SELINSTR = -1;
int TAB_INSTR_CMD_BBMODE_A = -1;
int TAB_INSTR_CMD_BBMODE_B = -1;
int TAB_INSTR_CMD_FSEL_INSTR_A = -1;
int TAB_INSTR_CMD_FSEL_INSTR_B = -1;
int TAB_INSTR_CMD_RESET = -1;
int TAB_INSTR_CMD_UPLOAD = -1;
int TAB_INSTR_TEXTMSG_67 = -1;
int TAB_INSTR_TEXTMSG_12 = -1;
int TAB_INSTR_TEXTMSG_56 = -1;
int TAB_INSTR_TEXTMSG_11 = -1;
int TAB_INSTR_NUM_F_A = -1;
int TAB_INSTR_TEXTMSG_57 = -1;
int TAB_INSTR_CB_SETFREQ_B = -1;
int TAB_INSTR_TEXTMSG_14 = -1;
int TAB_INSTR_CB_SETFREQ_A = -1;
int TAB_INSTR_TEXTMSG_13 = -1;
int TAB_INSTR_NUM_LEV_A = -1;
int TAB_INSTR_CB_NLINK_B = -1;
int TAB_INSTR_CB_LINK_B = -1;
int TAB_INSTR_CB_NLINK_A = -1;
int TAB_INSTR_CB_LINK_A = -1;
int TAB_INSTR_TEXTMSG_69 = -1;
int TAB_INSTR_CB_SETLEV_B = -1;
int TAB_INSTR_TEXTMSG_73 = -1;
int TAB_INSTR_CB_SETLEV_A = -1;
int TAB_INSTR_TEXTMSG_72 = -1;
int TAB_INSTR_TEXTMSG_55 = -1;
int TAB_INSTR_STR_INSTRFILE_A = -1;
int TAB_INSTR_STR_INSTRFILE_B = -1;
int TAB_INSTR_TEXTMSG_68 = -1;
int TAB_INSTR_NUM_F_B = -1;
int TAB_INSTR_STR_DEVICE = -1;
int TAB_INSTR_NUM_LEV_B = -1;
int TAB_INSTR_RFSTATE_B = -1;
int TAB_INSTR_RFSTATE_A = -1;
int TAB_INSTR_CANVA_B_1 = -1;
int TAB_INSTR_CANVA_B_2 = -1;
int TAB_INSTR_CANVA_A_2 = -1;
int TAB_INSTR_CANVA_BB = -1;
int TAB_INSTR_CANVA_A_1 = -1;
int TAB_INSTR_TEXTMSG_85 = -1;
int TAB_INSTR_TEXTMSG_2 = -1;
int TAB_INSTR_TEXTMSG = -1;
int TAB_INSTR_STR_LOCFILE = -1;

namespace {

const PanelDef kTransferPanel = {
    "TAB_INSTR", "", 15, 203, 607, 795, nullptr,
    {AttrI(ATTR_BACKCOLOR, 0xE0E0E0), AttrI(ATTR_TITLEBAR_VISIBLE, 0)},
    {}};

// Blocks and bands: text messages without text on a colour.
constexpr UiAttr kBlockLook[] = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrS(ATTR_DFLT_VALUE, ""),
                                 AttrI(ATTR_TEXT_BGCOLOR, 0x6B8EE7), AttrI(ATTR_SIZE_TO_TEXT, 0), UiAttr{}};
constexpr UiAttr kBandLook[] = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrS(ATTR_DFLT_VALUE, ""),
                                AttrI(ATTR_SIZE_TO_TEXT, 0), UiAttr{}};
// Captions inside the blocks and on the bands.
constexpr UiAttr kBlockCaption[] = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrS(ATTR_TEXT_FONT, "Arial"),
                                    AttrI(ATTR_TEXT_BOLD, 1), AttrI(ATTR_TEXT_COLOR, 0x202020),
                                    AttrI(ATTR_TEXT_BGCOLOR, VAL_TRANSPARENT), AttrI(ATTR_SIZE_TO_TEXT, 1), UiAttr{}};
constexpr UiAttr kBandCaption[] = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrS(ATTR_TEXT_FONT, "Arial"),
                                   AttrI(ATTR_TEXT_BOLD, 1), AttrI(ATTR_TEXT_COLOR, 0x606060),
                                   AttrI(ATTR_TEXT_BGCOLOR, VAL_TRANSPARENT), AttrI(ATTR_SIZE_TO_TEXT, 1), UiAttr{}};
constexpr UiAttr kRingLook[] = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrI(ATTR_DATA_TYPE, VAL_INTEGER),
                                AttrS(ATTR_TEXT_FONT, "Arial"), AttrI(ATTR_TEXT_BOLD, 1),
                                AttrI(ATTR_TEXT_COLOR, 0x303030), AttrI(ATTR_FRAME_COLOR, 0xE0E0E0), UiAttr{}};
constexpr UiAttr kPictureLook[] = {AttrI(ATTR_LABEL_BGCOLOR, VAL_TRANSPARENT), AttrI(ATTR_DFLT_VALUE, 0), UiAttr{}};
constexpr UiAttr kModeLook[] = {AttrS(ATTR_LABEL_FONT, "Arial"), AttrI(ATTR_LABEL_BOLD, 1),
                                AttrI(ATTR_LABEL_COLOR, 0x606060), AttrI(ATTR_BACKCOLOR, 0xC0C0C0), UiAttr{}};
// The 13 x 13 check boxes and radio buttons.
constexpr UiAttr kMarkLook[] = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrI(ATTR_ON_COLOR, 0xFFFFFF),
                                AttrI(ATTR_OFF_COLOR, 0xFFFFFF), AttrS(ATTR_LABEL_FONT, "Arial"),
                                AttrI(ATTR_LABEL_BOLD, 1), AttrI(ATTR_LABEL_COLOR, 0x606060),
                                AttrI(ATTR_LABEL_BGCOLOR, VAL_TRANSPARENT), UiAttr{}};
// Frequency in GHz: 0.0001 .. 6.0, six digits; level in dBm: -130 .. 13, two.
constexpr UiAttr kFreqLook[] = {
    AttrI(ATTR_CTRL_MODE, VAL_HOT),       AttrI(ATTR_DATA_TYPE, VAL_DOUBLE), AttrD(ATTR_MIN_VALUE, 0.0001),
    AttrD(ATTR_MAX_VALUE, 6.0),           AttrD(ATTR_INCR_VALUE, 0.1),       AttrI(ATTR_PRECISION, 6),
    AttrD(ATTR_DFLT_VALUE, 1.0),          AttrI(ATTR_DIMMED, 1),             AttrS(ATTR_TEXT_FONT, "Arial"),
    AttrI(ATTR_TEXT_POINT_SIZE, 14),      AttrI(ATTR_TEXT_BGCOLOR, 0xF7F7F7), AttrI(ATTR_FRAME_COLOR, 0xD4D0C8),
    AttrS(ATTR_LABEL_FONT, "Arial"),      AttrI(ATTR_LABEL_BOLD, 1),         AttrI(ATTR_LABEL_COLOR, 0x202020),
    AttrI(ATTR_LABEL_BGCOLOR, VAL_TRANSPARENT), UiAttr{}};
constexpr UiAttr kLevelLook[] = {
    AttrI(ATTR_CTRL_MODE, VAL_HOT),       AttrI(ATTR_DATA_TYPE, VAL_DOUBLE), AttrD(ATTR_MIN_VALUE, -130.0),
    AttrD(ATTR_MAX_VALUE, 13.0),          AttrD(ATTR_INCR_VALUE, 0.1),       AttrI(ATTR_PRECISION, 2),
    AttrD(ATTR_DFLT_VALUE, -30.0),        AttrI(ATTR_DIMMED, 1),             AttrS(ATTR_TEXT_FONT, "Arial"),
    AttrI(ATTR_TEXT_POINT_SIZE, 14),      AttrI(ATTR_TEXT_BGCOLOR, 0xF7F7F7), AttrI(ATTR_FRAME_COLOR, 0xD4D0C8),
    AttrS(ATTR_LABEL_FONT, "Arial"),      AttrI(ATTR_LABEL_BOLD, 1),         AttrI(ATTR_LABEL_COLOR, 0x202020),
    AttrI(ATTR_LABEL_BGCOLOR, VAL_TRANSPARENT), UiAttr{}};
constexpr UiAttr kRemoteFileLook[] = {
    AttrI(ATTR_CTRL_MODE, VAL_HOT),  AttrI(ATTR_MAX_ENTRY_LENGTH, kPathEntryLength), AttrS(ATTR_DFLT_VALUE, ""),
    AttrS(ATTR_TEXT_FONT, "Arial"),  AttrI(ATTR_TEXT_POINT_SIZE, 12),   AttrI(ATTR_TEXT_COLOR, 0x303030),
    AttrI(ATTR_TEXT_BGCOLOR, 0xF7F7F7), AttrI(ATTR_FRAME_COLOR, 0xD4D0C8), AttrI(ATTR_DIMMED, 1), UiAttr{}};
constexpr UiAttr kRfStateLook[] = {
    AttrI(ATTR_CTRL_MODE, VAL_HOT),    AttrI(ATTR_DFLT_VALUE, 0),        AttrS(ATTR_ON_TEXT, "ON"),
    AttrS(ATTR_OFF_TEXT, "OFF"),       AttrI(ATTR_ON_COLOR, 0x00CC66),   AttrI(ATTR_OFF_COLOR, 0xE88486),
    AttrS(ATTR_TEXT_FONT, "Arial"),    AttrI(ATTR_TEXT_BOLD, 1),         AttrI(ATTR_TEXT_COLOR, 0x606060), UiAttr{}};
constexpr UiAttr kIndicatorTextLook[] = {
    AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrS(ATTR_DFLT_VALUE, "-"), AttrS(ATTR_TEXT_FONT, "Arial"),
    AttrI(ATTR_TEXT_POINT_SIZE, 14),      AttrI(ATTR_TEXT_BOLD, 1),    AttrI(ATTR_TEXT_COLOR, 0x303030),
    AttrI(ATTR_TEXT_BGCOLOR, 0xDEE3EF),   AttrI(ATTR_SIZE_TO_TEXT, 0), UiAttr{}};
constexpr UiAttr kCanvasLook[] = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrI(ATTR_BACKCOLOR, 0xDEE3EF), UiAttr{}};

#define CZ_TI(name) .id = &TAB_INSTR_##name, .constName = #name

const CtrlDef kTransferCtrls[] = {
    {CZ_TI(STR_TXT_19), .kind = CTRL_TEXT_MSG, .label = "", .top = 325, .left = 495, .callback = nullptr,
     .look = kBlockLook, .attrs = {}, .height = 84, .width = 195},
    {CZ_TI(STR_TXT_18), .kind = CTRL_TEXT_MSG, .label = "", .top = 164, .left = 495, .callback = nullptr,
     .look = kBlockLook, .attrs = {}, .height = 84, .width = 195},
    {CZ_TI(STR_TXT_15), .kind = CTRL_TEXT_MSG, .label = "", .top = 164, .left = 359, .callback = nullptr,
     .look = kBlockLook, .attrs = {}, .height = 84, .width = 84},
    {CZ_TI(STR_TXT_17), .kind = CTRL_TEXT_MSG, .label = "", .top = 325, .left = 359, .callback = nullptr,
     .look = kBlockLook, .attrs = {}, .height = 84, .width = 84},
    {CZ_TI(STR_TXT_16), .kind = CTRL_TEXT_MSG, .label = "", .top = 325, .left = 25, .callback = nullptr,
     .look = kBlockLook, .attrs = {}, .height = 84, .width = 84},
    {CZ_TI(STR_TXT_14), .kind = CTRL_TEXT_MSG, .label = "", .top = 164, .left = 25, .callback = nullptr,
     .look = kBlockLook, .attrs = {}, .height = 84, .width = 84},
    {CZ_TI(RING_BBR_B), .kind = CTRL_RING, .label = "", .top = 333, .left = 128, .callback = TransferControlsCb,
     .look = kRingLook, .attrs = {AttrS(ATTR_TOOLTIP_TEXT, "Baseband routing of path B")}, .width = 70},
    {CZ_TI(RING_BBR_A), .kind = CTRL_RING, .label = "", .top = 174, .left = 128, .callback = TransferControlsCb,
     .look = kRingLook, .attrs = {AttrS(ATTR_TOOLTIP_TEXT, "Baseband routing of path A")}, .width = 70},
    {CZ_TI(CMD_SELINSTR), .kind = CTRL_PICTURE_BUTTON, .label = "", .top = 56, .left = 535,
     .callback = ShowInstrumentManagerFromTransferCb, .look = kPictureLook,
     .attrs = {AttrS(ATTR_TOOLTIP_TEXT, "Instrument manager dialog")}, .height = 26, .width = 35,
     .icon = kIconSettings},
    {CZ_TI(CMD_BBMODE_A), .kind = CTRL_COMMAND_BUTTON, .label = "Ignore", .top = 220, .left = 32,
     .callback = TransferControlsCb, .look = kModeLook,
     .attrs = {AttrS(ATTR_TOOLTIP_TEXT, "Configuration of baseband A")}, .height = 22, .width = 70},
    {CZ_TI(CMD_BBMODE_B), .kind = CTRL_COMMAND_BUTTON, .label = "Ignore", .top = 381, .left = 32,
     .callback = TransferControlsCb, .look = kModeLook,
     .attrs = {AttrS(ATTR_TOOLTIP_TEXT, "Configuration of baseband B")}, .height = 22, .width = 70},
    {CZ_TI(CMD_FSEL_INSTR_A), .kind = CTRL_PICTURE_BUTTON, .label = "", .top = 131, .left = 315,
     .callback = SelectInstrumentFileACb, .look = kPictureLook,
     .attrs = {AttrI(ATTR_DIMMED, 1), AttrS(ATTR_TOOLTIP_TEXT, "Remote file system browser")}, .height = 26,
     .width = 35, .icon = kImageList},
    {CZ_TI(CMD_FSEL_INSTR_B), .kind = CTRL_PICTURE_BUTTON, .label = "", .top = 439, .left = 314,
     .callback = SelectInstrumentFileBCb, .look = kPictureLook,
     .attrs = {AttrI(ATTR_DIMMED, 1), AttrS(ATTR_TOOLTIP_TEXT, "Remote file system browser")}, .height = 26,
     .width = 35, .icon = kImageList},
    {CZ_TI(CMD_RESET), .kind = CTRL_PICTURE_BUTTON, .label = "", .top = 524, .left = 412,
     .callback = ResetInstrumentCb, .look = kPictureLook, .attrs = {AttrS(ATTR_TOOLTIP_TEXT, "Reset instrument")},
     .height = 36, .width = 36, .icon = kIconClear},
    {CZ_TI(CMD_UPLOAD), .kind = CTRL_PICTURE_BUTTON, .label = "", .top = 523, .left = 287,
     .callback = TransferToInstrumentCb, .look = kPictureLook,
     .attrs = {AttrS(ATTR_TOOLTIP_TEXT, "Configure instrument according to settings")}, .height = 36, .width = 36,
     .icon = kIconAccept},
    {CZ_TI(TEXTMSG_67), .kind = CTRL_TEXT_MSG, .label = "", .top = 355, .left = 31, .callback = nullptr,
     .look = kBlockCaption, .attrs = {AttrS(ATTR_DFLT_VALUE, "ARB")}},
    {CZ_TI(TEXTMSG_12), .kind = CTRL_TEXT_MSG, .label = "", .top = 195, .left = 31, .callback = nullptr,
     .look = kBlockCaption, .attrs = {AttrS(ATTR_DFLT_VALUE, "ARB")}},
    {CZ_TI(TEXTMSG_56), .kind = CTRL_TEXT_MSG, .label = "", .top = 329, .left = 505, .callback = nullptr,
     .look = kBlockCaption, .attrs = {AttrS(ATTR_DFLT_VALUE, "RF/A Mod B")}},
    {CZ_TI(TEXTMSG_11), .kind = CTRL_TEXT_MSG, .label = "", .top = 178, .left = 31, .callback = nullptr,
     .look = kBlockCaption, .attrs = {AttrS(ATTR_DFLT_VALUE, "Baseband A")}},
    {CZ_TI(NUM_F_A), .kind = CTRL_NUMERIC, .label = "GHz", .top = 188, .left = 525,
     .callback = TransferControlsCb, .look = kFreqLook, .attrs = {}, .width = 75, .labelTop = 192,
     .labelLeft = 607},
    {CZ_TI(TEXTMSG_57), .kind = CTRL_TEXT_MSG, .label = "", .top = 360, .left = 370, .callback = nullptr,
     .look = kBlockCaption, .attrs = {AttrS(ATTR_DFLT_VALUE, "I/Q Mod B")}},
    {CZ_TI(CB_SETFREQ_B), .kind = CTRL_CHECK_BOX, .label = "", .top = 354, .left = 505,
     .callback = TransferControlsCb, .look = kMarkLook, .attrs = {AttrI(ATTR_DFLT_VALUE, 0)}, .height = 13,
     .width = 13},
    {CZ_TI(TEXTMSG_14), .kind = CTRL_TEXT_MSG, .label = "", .top = 168, .left = 505, .callback = nullptr,
     .look = kBlockCaption, .attrs = {AttrS(ATTR_DFLT_VALUE, "RF/A Mod A")}},
    {CZ_TI(CB_SETFREQ_A), .kind = CTRL_CHECK_BOX, .label = "", .top = 194, .left = 505,
     .callback = TransferControlsCb, .look = kMarkLook, .attrs = {AttrI(ATTR_DFLT_VALUE, 1)}, .height = 13,
     .width = 13},
    {CZ_TI(TEXTMSG_13), .kind = CTRL_TEXT_MSG, .label = "", .top = 197, .left = 370, .callback = nullptr,
     .look = kBlockCaption, .attrs = {AttrS(ATTR_DFLT_VALUE, "I/Q Mod A")}},
    {CZ_TI(NUM_LEV_A), .kind = CTRL_NUMERIC, .label = "dBm", .top = 214, .left = 525,
     .callback = TransferControlsCb, .look = kLevelLook, .attrs = {}, .width = 75, .labelTop = 218,
     .labelLeft = 603},
    {CZ_TI(CB_NLINK_B), .kind = CTRL_RADIO_BUTTON, .label = "", .top = 445, .left = 24,
     .callback = TransferControlsCb, .look = kMarkLook, .attrs = {AttrI(ATTR_DFLT_VALUE, 0)}, .height = 13,
     .width = 13},
    {CZ_TI(CB_LINK_B), .kind = CTRL_RADIO_BUTTON, .label = "Use Source File Name", .top = 424, .left = 25,
     .callback = TransferControlsCb, .look = kMarkLook, .attrs = {AttrI(ATTR_DFLT_VALUE, 1)}, .width = 180,
     .labelTop = 422, .labelLeft = 41},
    {CZ_TI(CB_NLINK_A), .kind = CTRL_RADIO_BUTTON, .label = "", .top = 136, .left = 26,
     .callback = TransferControlsCb, .look = kMarkLook, .attrs = {AttrI(ATTR_DFLT_VALUE, 0)}, .height = 13,
     .width = 13},
    {CZ_TI(CB_LINK_A), .kind = CTRL_RADIO_BUTTON, .label = "Use Source File Name", .top = 116, .left = 26,
     .callback = TransferControlsCb, .look = kMarkLook, .attrs = {AttrI(ATTR_DFLT_VALUE, 1)}, .width = 180,
     .labelTop = 114, .labelLeft = 42},
    {CZ_TI(TEXTMSG_69), .kind = CTRL_TEXT_MSG, .label = "", .top = 60, .left = 10, .callback = nullptr,
     .look = kBandCaption, .attrs = {AttrS(ATTR_DFLT_VALUE, "Target Instrument")}},
    {CZ_TI(CB_SETLEV_B), .kind = CTRL_CHECK_BOX, .label = "", .top = 379, .left = 505,
     .callback = TransferControlsCb, .look = kMarkLook, .attrs = {AttrI(ATTR_DFLT_VALUE, 0)}, .height = 13,
     .width = 13},
    {CZ_TI(TEXTMSG_73), .kind = CTRL_TEXT_MSG, .label = "", .top = 198, .left = 750, .callback = nullptr,
     .look = kBandCaption, .attrs = {AttrS(ATTR_DFLT_VALUE, "RF")}},
    {CZ_TI(CB_SETLEV_A), .kind = CTRL_CHECK_BOX, .label = "", .top = 219, .left = 505,
     .callback = TransferControlsCb, .look = kMarkLook, .attrs = {AttrI(ATTR_DFLT_VALUE, 1)}, .height = 13,
     .width = 13},
    {CZ_TI(TEXTMSG_72), .kind = CTRL_TEXT_MSG, .label = "", .top = 360, .left = 750, .callback = nullptr,
     .look = kBandCaption, .attrs = {AttrS(ATTR_DFLT_VALUE, "RF")}},
    {CZ_TI(TEXTMSG_55), .kind = CTRL_TEXT_MSG, .label = "", .top = 28, .left = 12, .callback = nullptr,
     .look = kBandCaption, .attrs = {AttrS(ATTR_DFLT_VALUE, "Local Waveform")}},
    {CZ_TI(STR_INSTRFILE_A), .kind = CTRL_STRING, .label = "", .top = 132, .left = 42,
     .callback = TransferControlsCb, .look = kRemoteFileLook,
     .attrs = {AttrS(ATTR_TOOLTIP_TEXT, "Use this file name for path A waveform")}, .width = 273},
    {CZ_TI(STR_INSTRFILE_B), .kind = CTRL_STRING, .label = "", .top = 441, .left = 41,
     .callback = TransferControlsCb, .look = kRemoteFileLook,
     .attrs = {AttrS(ATTR_TOOLTIP_TEXT, "Use this file name for path B waveform")}, .width = 272},
    {CZ_TI(TEXTMSG_68), .kind = CTRL_TEXT_MSG, .label = "", .top = 338, .left = 31, .callback = nullptr,
     .look = kBlockCaption, .attrs = {AttrS(ATTR_DFLT_VALUE, "Baseband B")}},
    {CZ_TI(NUM_F_B), .kind = CTRL_NUMERIC, .label = "GHz", .top = 349, .left = 525,
     .callback = TransferControlsCb, .look = kFreqLook, .attrs = {}, .width = 75, .labelTop = 353,
     .labelLeft = 607},
    {CZ_TI(STR_DEVICE), .kind = CTRL_TEXT_MSG, .label = "", .top = 58, .left = 120, .callback = nullptr,
     .look = kIndicatorTextLook, .attrs = {AttrS(ATTR_TOOLTIP_TEXT, "Selected instrument resource string")},
     .height = 20, .width = 406},
    {CZ_TI(NUM_LEV_B), .kind = CTRL_NUMERIC, .label = "dBm", .top = 375, .left = 525,
     .callback = TransferControlsCb, .look = kLevelLook, .attrs = {}, .width = 75, .labelTop = 379,
     .labelLeft = 603},
    {CZ_TI(RFSTATE_B), .kind = CTRL_TOGGLE_BUTTON, .label = "", .top = 350, .left = 643,
     .callback = TransferControlsCb, .look = kRfStateLook, .attrs = {}, .height = 24, .width = 40},
    {CZ_TI(RFSTATE_A), .kind = CTRL_TOGGLE_BUTTON, .label = "", .top = 190, .left = 643,
     .callback = TransferControlsCb, .look = kRfStateLook, .attrs = {}, .height = 24, .width = 40},
    {CZ_TI(CANVA_B_1), .kind = CTRL_CANVAS, .label = "", .top = 325, .left = 444, .callback = nullptr,
     .look = kCanvasLook, .attrs = {}, .height = 84, .width = 50},
    {CZ_TI(CANVA_B_2), .kind = CTRL_CANVAS, .label = "", .top = 325, .left = 691, .callback = nullptr,
     .look = kCanvasLook, .attrs = {}, .height = 84, .width = 50},
    {CZ_TI(CANVA_A_2), .kind = CTRL_CANVAS, .label = "", .top = 164, .left = 691, .callback = nullptr,
     .look = kCanvasLook, .attrs = {}, .height = 84, .width = 50},
    {CZ_TI(CANVA_BB), .kind = CTRL_CANVAS, .label = "", .top = 164, .left = 110, .callback = nullptr,
     .look = kCanvasLook, .attrs = {}, .height = 245, .width = 248},
    {CZ_TI(CANVA_A_1), .kind = CTRL_CANVAS, .label = "", .top = 164, .left = 444, .callback = nullptr,
     .look = kCanvasLook, .attrs = {}, .height = 84, .width = 50},
    {CZ_TI(TEXTMSG_85), .kind = CTRL_TEXT_MSG, .label = "", .top = 484, .left = 0, .callback = nullptr,
     .look = kBandLook, .attrs = {AttrI(ATTR_TEXT_BGCOLOR, 0xBDBED6)}, .height = 125, .width = 795},
    {CZ_TI(TEXTMSG_2), .kind = CTRL_TEXT_MSG, .label = "", .top = 3, .left = 0, .callback = nullptr,
     .look = kBandLook, .attrs = {AttrI(ATTR_TEXT_BGCOLOR, 0xBDBED6)}, .height = 88, .width = 795},
    {CZ_TI(TEXTMSG), .kind = CTRL_TEXT_MSG, .label = "", .top = 92, .left = 0, .callback = nullptr,
     .look = kBandLook, .attrs = {AttrI(ATTR_TEXT_BGCOLOR, 0xDEE3EF)}, .height = 391, .width = 795},
    {CZ_TI(STR_LOCFILE), .kind = CTRL_TEXT_MSG, .label = "", .top = 26, .left = 120, .callback = nullptr,
     .look = kIndicatorTextLook, .attrs = {AttrS(ATTR_TOOLTIP_TEXT, "Local waveform file used for transfer")},
     .height = 20, .width = 450},
};
#undef CZ_TI

// Front-most first: captions and controls before their blocks, the rings
// before the routing canvas, the three bands behind everything.
const int* const kTransferFront[] = {
    &TAB_INSTR_CB_NLINK_B,     &TAB_INSTR_CB_NLINK_A,      &TAB_INSTR_CMD_BBMODE_B,    &TAB_INSTR_CMD_BBMODE_A,
    &TAB_INSTR_CANVA_B_2,      &TAB_INSTR_CANVA_A_2,       &TAB_INSTR_CANVA_B_1,       &TAB_INSTR_CANVA_A_1,
    &TAB_INSTR_RFSTATE_B,      &TAB_INSTR_RFSTATE_A,       &TAB_INSTR_CMD_RESET,       &TAB_INSTR_CB_SETLEV_B,
    &TAB_INSTR_CB_SETFREQ_B,   &TAB_INSTR_NUM_LEV_B,       &TAB_INSTR_NUM_F_B,         &TAB_INSTR_TEXTMSG_56,
    &TAB_INSTR_STR_TXT_19,     &TAB_INSTR_CB_SETLEV_A,     &TAB_INSTR_CB_SETFREQ_A,    &TAB_INSTR_NUM_LEV_A,
    &TAB_INSTR_NUM_F_A,        &TAB_INSTR_TEXTMSG_14,      &TAB_INSTR_STR_TXT_18,      &TAB_INSTR_TEXTMSG_57,
    &TAB_INSTR_STR_TXT_17,     &TAB_INSTR_TEXTMSG_67,      &TAB_INSTR_TEXTMSG_68,      &TAB_INSTR_STR_TXT_16,
    &TAB_INSTR_TEXTMSG_13,     &TAB_INSTR_STR_TXT_15,      &TAB_INSTR_TEXTMSG_12,      &TAB_INSTR_TEXTMSG_11,
    &TAB_INSTR_STR_TXT_14,     &TAB_INSTR_CMD_UPLOAD,      &TAB_INSTR_TEXTMSG_55,      &TAB_INSTR_STR_LOCFILE,
    &TAB_INSTR_CB_LINK_B,      &TAB_INSTR_TEXTMSG_69,      &TAB_INSTR_STR_DEVICE,      &TAB_INSTR_CMD_SELINSTR,
    &TAB_INSTR_RING_BBR_B,     &TAB_INSTR_RING_BBR_A,      &TAB_INSTR_TEXTMSG_73,      &TAB_INSTR_TEXTMSG_72,
    &TAB_INSTR_CMD_FSEL_INSTR_A, &TAB_INSTR_STR_INSTRFILE_A, &TAB_INSTR_CMD_FSEL_INSTR_B, &TAB_INSTR_CB_LINK_A,
    &TAB_INSTR_STR_INSTRFILE_B, &TAB_INSTR_CANVA_BB,       &TAB_INSTR_TEXTMSG,         &TAB_INSTR_TEXTMSG_2,
    &TAB_INSTR_TEXTMSG_85};

// Starting picture of the five canvases: the diagram band's colour, drawn
// over the whole canvas until RefreshTransferTab draws the routing lines.
const char* const kCanvasPicture =
    "/* XPM */\n"
    "static const char* xpm[] = {\n"
    "\"2 2 1 1\",\n"
    "\". c #DEE3EF\",\n"
    "\"..\",\n"
    "\"..\"\n"
    "};\n";

int DrawStartingPicture(int panel, int canvas) {
  int bitmap = 0;
  CZ_UI_TRY(GetUserBitmapFromText(kCanvasPicture, &bitmap));
  int height = 0, width = 0;
  GetCtrlAttribute(panel, canvas, ATTR_HEIGHT, &height);
  GetCtrlAttribute(panel, canvas, ATTR_WIDTH, &width);
  const int status = CanvasDrawBitmap(panel, canvas, bitmap, MakeRect(0, 0, 2, 2), MakeRect(0, 0, height, width));
  DiscardBitmap(bitmap);
  return status < 0 ? status : 0;
}

struct RoutingItem {
  const char* label;
  int value;
};
constexpr RoutingItem kRoutingItems[] = {{"--> A", 0}, {"--> B", 1}, {"--> A+B", 2}};

// The three routing items, then the ring's default index (A: "--> A",
// B: "--> B").
int FillRoutingRing(int panel, int ring, int defaultIndex) {
  for (const RoutingItem& item : kRoutingItems) CZ_UI_TRY(InsertListItem(panel, ring, -1, item.label, item.value));
  CZ_UI_TRY(SetCtrlAttribute(panel, ring, ATTR_DFLT_VALUE, kRoutingItems[defaultIndex].value));
  return SetCtrlIndex(panel, ring, defaultIndex);
}

}  // namespace

int BuildTransferPanel(int parent) {
  const int panel = PanelBuild_NewPanel(parent, kTransferPanel);
  CZ_UI_TRY(panel);
  CZ_UI_TRY(PanelBuild_Controls(panel, kTransferCtrls, static_cast<int>(std::size(kTransferCtrls))));
  CZ_UI_TRY(FillRoutingRing(panel, TAB_INSTR_RING_BBR_A, 0));
  CZ_UI_TRY(FillRoutingRing(panel, TAB_INSTR_RING_BBR_B, 1));
  const int canvases[] = {TAB_INSTR_CANVA_B_1, TAB_INSTR_CANVA_B_2, TAB_INSTR_CANVA_A_2, TAB_INSTR_CANVA_BB,
                          TAB_INSTR_CANVA_A_1};
  for (int canvas : canvases) CZ_UI_TRY(DrawStartingPicture(panel, canvas));
  CZ_UI_TRY(PanelBuild_Order(panel, kTransferFront, static_cast<int>(std::size(kTransferFront)), nullptr, 0));
  CZ_UI_TRY(PanelBuild_Fit(panel, kTransferPanel, 0));
  return panel;
}
