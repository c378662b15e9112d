// P_MISC, the level and noise sub-panel of the pulse editor: level
// attenuations and droop, additive noise, start phase and frequency offset,
// and the tree's hide flag. Every interactive control commits to
// PulseEditCb, which reads the whole editor back into the pulse.
#include "ui/pulse/LevelPanel.h"

#include <iterator>

#include "editors/PulseEditor.h"
#include "ui/main/PanelBuild.h"
#include "ui/pulse/PulsePanels.h"

int P_MISC_NUM_LEVELOFF = -1;
int P_MISC_NUM_AWGNLEV = -1;
int P_MISC_NUM_LEVELDROOP = -1;
int P_MISC_NUM_PHASE = -1;
int P_MISC_NUM_AWGNBW = -1;
int P_MISC_NUM_FREQ = -1;
int P_MISC_TEXTMSG_20 = -1;
int P_MISC_TEXTMSG = -1;
int P_MISC_TEXTMSG_2 = -1;
int P_MISC_TEXTMSG_14 = -1;
int P_MISC_TEXTMSG_19 = -1;
int P_MISC_TEXTMSG_10 = -1;
int P_MISC_TEXTMSG_17 = -1;
int P_MISC_TEXTMSG_18 = -1;
int P_MISC_TEXTMSG_16 = -1;
int P_MISC_TEXTMSG_15 = -1;
int P_MISC_TEXTMSG_3 = -1;
int P_MISC_CHK_AWGN = -1;
int P_MISC_CHK_CONTPHASE = -1;
int P_MISC_CMD_P_HIDE = -1;

namespace {

const PanelDef kMiscPanel = {
    "P_MISC", "", 0, 0, 460, 730, PulseMiscPanelCb,
    {AttrI(ATTR_BACKCOLOR, 0xE0E0E0), AttrI(ATTR_TITLEBAR_VISIBLE, 0)},
    {AttrI(ATTR_FRAME_THICKNESS, 0)}};

// Left column (Level, Phase and Frequency, Other Settings) and right column
// (Noise): numerics, their unit texts, and the group headings above them.
constexpr int kLeftNum = 150, kLeftUnit = 250, kRightNum = 520, kRightUnit = 620;

// Numerics hold doubles, step by 1 and show 2 decimals unless a row says
// otherwise; a typed value outside the range is coerced to it.
constexpr UiAttr kNumeric[] = {
    AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrI(ATTR_DATA_TYPE, VAL_DOUBLE), AttrD(ATTR_INCR_VALUE, 1.0),
    AttrI(ATTR_PRECISION, 2), AttrS(ATTR_LABEL_FONT, "Arial"), UiAttr{}};
constexpr UiAttr kText[] = {
    AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrS(ATTR_TEXT_FONT, "Arial"), AttrI(ATTR_TEXT_BGCOLOR, VAL_TRANSPARENT),
    AttrI(ATTR_TEXT_COLOR, 0x303030), UiAttr{}};
constexpr UiAttr kHeading[] = {
    AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrS(ATTR_TEXT_FONT, "Arial"), AttrI(ATTR_TEXT_BGCOLOR, VAL_TRANSPARENT),
    AttrI(ATTR_TEXT_COLOR, 0x303030), AttrI(ATTR_TEXT_BOLD, 1), AttrI(ATTR_TEXT_POINT_SIZE, 14), UiAttr{}};
constexpr UiAttr kCheck[] = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrI(ATTR_DATA_TYPE, VAL_INTEGER),
                             AttrI(ATTR_DFLT_VALUE, 0), AttrS(ATTR_LABEL_FONT, "Arial"), UiAttr{}};

#define CZ_NUM(p_idv, p_name, p_label, p_top, p_left, p_lo, p_hi, p_dflt, ...)                                             \
  {.id = &p_idv, .constName = p_name, .kind = CTRL_NUMERIC, .label = p_label, .top = p_top, .left = p_left,         \
   .callback = PulseEditCb, .look = kNumeric,                                                              \
   .attrs = {AttrD(ATTR_MIN_VALUE, p_lo), AttrD(ATTR_MAX_VALUE, p_hi), AttrD(ATTR_DFLT_VALUE, p_dflt), __VA_ARGS__}, \
   .width = 90, .labelTop = p_top + 3, .labelLeft = p_left - 130}
#define CZ_TEXT(p_idv, p_name, p_text, p_top, p_left, p_look)                                                          \
  {.id = &p_idv, .constName = p_name, .kind = CTRL_TEXT_MSG, .label = "", .top = p_top, .left = p_left,           \
   .callback = nullptr, .look = p_look, .attrs = {AttrS(ATTR_DFLT_VALUE, p_text)}}

// Controls in creation order: numerics (dB, degrees, MHz), their unit
// texts, the group headings, then the three check boxes.
const CtrlDef kMiscCtrls[] = {
    CZ_NUM(P_MISC_NUM_LEVEL, "NUM_LEVEL", "__Level Att (On)", 40, kLeftNum, 0.0, 160.0, 0.0),
    CZ_NUM(P_MISC_NUM_LEVELOFF, "NUM_LEVELOFF", "Level Att (Off)", 70, kLeftNum, 0.0, 160.0, 100.0),
    CZ_NUM(P_MISC_NUM_AWGNLEV, "NUM_AWGNLEV", "Level Att", 70, kRightNum, 0.0, 100.0, 20.0,
           AttrI(ATTR_PRECISION, 1)),
    CZ_NUM(P_MISC_NUM_LEVELDROOP, "NUM_LEVELDROOP", "Log __Droop", 100, kLeftNum, -80.0, 80.0, 0.0),
    CZ_NUM(P_MISC_NUM_PHASE, "NUM_PHASE", "Start __Phase", 200, kLeftNum, -360.0, 360.0, 0.0),
    CZ_NUM(P_MISC_NUM_AWGNBW, "NUM_AWGNBW", "__Bandwidth", 100, kRightNum, 0.0001, 300.0, 100.0,
           AttrI(ATTR_PRECISION, 4)),
    CZ_NUM(P_MISC_NUM_FREQ, "NUM_FREQ", "__Frequency Offset", 230, kLeftNum, -300.0, 300.0, 0.0,
           AttrI(ATTR_PRECISION, 6)),
    CZ_TEXT(P_MISC_TEXTMSG_20, "TEXTMSG_20", "MHz", 103, kRightUnit, kText),
    CZ_TEXT(P_MISC_TEXTMSG, "TEXTMSG", "MHz", 233, kLeftUnit, kText),
    CZ_TEXT(P_MISC_TEXTMSG_2, "TEXTMSG_2", "degrees", 203, kLeftUnit, kText),
    CZ_TEXT(P_MISC_TEXTMSG_14, "TEXTMSG_14", "dB", 73, kLeftUnit, kText),
    CZ_TEXT(P_MISC_TEXTMSG_19, "TEXTMSG_19", "dB", 73, kRightUnit, kText),
    CZ_TEXT(P_MISC_TEXTMSG_10, "TEXTMSG_10", "dB", 103, kLeftUnit, kText),
    CZ_TEXT(P_MISC_TEXTMSG_17, "TEXTMSG_17", "Other Settings", 280, 10, kHeading),
    CZ_TEXT(P_MISC_TEXTMSG_18, "TEXTMSG_18", "Noise", 10, 380, kHeading),
    CZ_TEXT(P_MISC_TEXTMSG_16, "TEXTMSG_16", "Phase and Frequency", 140, 10, kHeading),
    CZ_TEXT(P_MISC_TEXTMSG_15, "TEXTMSG_15", "Level", 10, 10, kHeading),
    CZ_TEXT(P_MISC_TEXTMSG_3, "TEXTMSG_3", "dB", 43, kLeftUnit, kText),
    {.id = &P_MISC_CHK_AWGN, .constName = "CHK_AWGN", .kind = CTRL_CHECK_BOX, .label = "AWGN", .top = 42,
     .left = kRightNum, .callback = PulseEditCb, .look = kCheck, .attrs = {}, .width = 170},
    {.id = &P_MISC_CHK_CONTPHASE, .constName = "CHK_CONTPHASE", .kind = CTRL_CHECK_BOX, .label = "Relative Phase",
     .top = 172, .left = kLeftNum, .callback = PulseEditCb, .look = kCheck, .attrs = {}, .width = 170},
    {.id = &P_MISC_CMD_P_HIDE, .constName = "CMD_P_HIDE", .kind = CTRL_CHECK_BOX, .label = "Hide Entry in Tree",
     .top = 312, .left = kLeftNum, .callback = PulseEditCb, .look = kCheck, .attrs = {}, .width = 170},
};
#undef CZ_NUM
#undef CZ_TEXT

const int* const kMiscFront[] = {&P_MISC_NUM_LEVEL, &P_MISC_NUM_LEVELOFF, &P_MISC_NUM_LEVELDROOP, &P_MISC_NUM_PHASE,
                                 &P_MISC_NUM_FREQ, &P_MISC_NUM_AWGNLEV, &P_MISC_NUM_AWGNBW};
// Keyboard order of the numerics: rows 1 to 7 of the control table.
const int* const kMiscFocus[] = {&P_MISC_NUM_LEVEL, &P_MISC_NUM_LEVELOFF, &P_MISC_NUM_AWGNLEV,
                                 &P_MISC_NUM_LEVELDROOP, &P_MISC_NUM_PHASE, &P_MISC_NUM_AWGNBW, &P_MISC_NUM_FREQ};

}  // namespace

int BuildPulseMiscPanel(int parent) {
  return PanelBuild_Table(parent, kMiscPanel, kMiscCtrls, kMiscFront, kMiscFocus, 0);
}
