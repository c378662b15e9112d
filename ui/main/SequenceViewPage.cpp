// The Sequence View tab page: a dark page (a backdrop text message behind
// every control) with four graphs drawn light on dark, their scale and
// readout texts, eight picture buttons, a slide, two rings and two toggles.
// The axis value labels are hidden: the view writes its scale values into
// the text messages beside each graph.
#include "app/PanelIds.h"
#include "editors/SequenceView.h"
#include "editors/SequenceViewIds.h"
#include "ui/main/PanelBuild.h"
#include "ui/main/SequenceViewPage.h"

namespace {

// ---- Icons (XPM, 16 x 16, light grey on transparent)
const char* const kIconViewBegin =
    "/* XPM */\n"
    "static const char* xpm[] = {\n"
    "\"16 16 2 1\",\n"
    "\". c None\",\n"
    "\"# c #C0C0C0\",\n"
    "\"................\",\n"
    "\"..##.......##...\",\n"
    "\"..##......###...\",\n"
    "\"..##.....####...\",\n"
    "\"..##....#####...\",\n"
    "\"..##...######...\",\n"
    "\"..##..#######...\",\n"
    "\"..##.########...\",\n"
    "\"..##.########...\",\n"
    "\"..##..#######...\",\n"
    "\"..##...######...\",\n"
    "\"..##....#####...\",\n"
    "\"..##.....####...\",\n"
    "\"..##......###...\",\n"
    "\"..##.......##...\",\n"
    "\"................\"\n"
    "};\n";

const char* const kIconViewBack =
    "/* XPM */\n"
    "static const char* xpm[] = {\n"
    "\"16 16 2 1\",\n"
    "\". c None\",\n"
    "\"# c #C0C0C0\",\n"
    "\"................\",\n"
    "\".......#......#.\",\n"
    "\"......##.....##.\",\n"
    "\".....###....###.\",\n"
    "\"....####...####.\",\n"
    "\"...#####..#####.\",\n"
    "\"..######.######.\",\n"
    "\"..######.######.\",\n"
    "\"...#####..#####.\",\n"
    "\"....####...####.\",\n"
    "\".....###....###.\",\n"
    "\"......##.....##.\",\n"
    "\".......#......#.\",\n"
    "\"................\",\n"
    "\"................\",\n"
    "\"................\"\n"
    "};\n";

const char* const kIconViewForward =
    "/* XPM */\n"
    "static const char* xpm[] = {\n"
    "\"16 16 2 1\",\n"
    "\". c None\",\n"
    "\"# c #C0C0C0\",\n"
    "\"................\",\n"
    "\".#......#.......\",\n"
    "\".##.....##......\",\n"
    "\".###....###.....\",\n"
    "\".####...####....\",\n"
    "\".#####..#####...\",\n"
    "\".######.######..\",\n"
    "\".######.######..\",\n"
    "\".#####..#####...\",\n"
    "\".####...####....\",\n"
    "\".###....###.....\",\n"
    "\".##.....##......\",\n"
    "\".#......#.......\",\n"
    "\"................\",\n"
    "\"................\",\n"
    "\"................\"\n"
    "};\n";

const char* const kIconViewZoomIn =
    "/* XPM */\n"
    "static const char* xpm[] = {\n"
    "\"16 16 2 1\",\n"
    "\". c None\",\n"
    "\"# c #C0C0C0\",\n"
    "\"................\",\n"
    "\"....#####.......\",\n"
    "\"...#.....#......\",\n"
    "\"..#...#...#.....\",\n"
    "\"..#...#...#.....\",\n"
    "\"..#.#####.#.....\",\n"
    "\"..#...#...#.....\",\n"
    "\"..#...#...#.....\",\n"
    "\"...#.....#......\",\n"
    "\"....######......\",\n"
    "\"..........##....\",\n"
    "\"...........##...\",\n"
    "\"............##..\",\n"
    "\".............##.\",\n"
    "\"................\",\n"
    "\"................\"\n"
    "};\n";

const char* const kIconViewZoomOut =
    "/* XPM */\n"
    "static const char* xpm[] = {\n"
    "\"16 16 2 1\",\n"
    "\". c None\",\n"
    "\"# c #C0C0C0\",\n"
    "\"................\",\n"
    "\"....#####.......\",\n"
    "\"...#.....#......\",\n"
    "\"..#.......#.....\",\n"
    "\"..#.......#.....\",\n"
    "\"..#.#####.#.....\",\n"
    "\"..#.......#.....\",\n"
    "\"..#.......#.....\",\n"
    "\"...#.....#......\",\n"
    "\"....######......\",\n"
    "\"..........##....\",\n"
    "\"...........##...\",\n"
    "\"............##..\",\n"
    "\".............##.\",\n"
    "\"................\",\n"
    "\"................\"\n"
    "};\n";

const char* const kIconViewZoomCursor =
    "/* XPM */\n"
    "static const char* xpm[] = {\n"
    "\"16 16 2 1\",\n"
    "\". c None\",\n"
    "\"# c #C0C0C0\",\n"
    "\"................\",\n"
    "\"..#.........#...\",\n"
    "\"..#.........#...\",\n"
    "\"..#..#...#..#...\",\n"
    "\"..#.##...##.#...\",\n"
    "\"..####...####...\",\n"
    "\"..#.##...##.#...\",\n"
    "\"..#..#...#..#...\",\n"
    "\"..#.........#...\",\n"
    "\"..#.........#...\",\n"
    "\"..#.........#...\",\n"
    "\"..#.........#...\",\n"
    "\"..#.........#...\",\n"
    "\"..#.........#...\",\n"
    "\"................\",\n"
    "\"................\"\n"
    "};\n";

const char* const kIconViewZoomInY =
    "/* XPM */\n"
    "static const char* xpm[] = {\n"
    "\"16 16 2 1\",\n"
    "\". c None\",\n"
    "\"# c #C0C0C0\",\n"
    "\"................\",\n"
    "\".......#........\",\n"
    "\"......###.......\",\n"
    "\".....#####......\",\n"
    "\"....#######.....\",\n"
    "\".......#........\",\n"
    "\".......#........\",\n"
    "\"..###########...\",\n"
    "\".......#........\",\n"
    "\".......#........\",\n"
    "\"....#######.....\",\n"
    "\".....#####......\",\n"
    "\"......###.......\",\n"
    "\".......#........\",\n"
    "\"................\",\n"
    "\"................\"\n"
    "};\n";

const char* const kIconViewZoomOutY =
    "/* XPM */\n"
    "static const char* xpm[] = {\n"
    "\"16 16 2 1\",\n"
    "\". c None\",\n"
    "\"# c #C0C0C0\",\n"
    "\"................\",\n"
    "\"....#######.....\",\n"
    "\".....#####......\",\n"
    "\"......###.......\",\n"
    "\".......#........\",\n"
    "\"................\",\n"
    "\"................\",\n"
    "\"..###########...\",\n"
    "\"................\",\n"
    "\"................\",\n"
    "\".......#........\",\n"
    "\"......###.......\",\n"
    "\".....#####......\",\n"
    "\"....#######.....\",\n"
    "\"................\",\n"
    "\"................\"\n"
    "};\n";

const PanelDef kViewPanel = {
    "TAB_VIEW", "", 15, 203, 607, 795, nullptr,
    {AttrI(ATTR_BACKCOLOR, 0xE0E0E0), AttrI(ATTR_TITLEBAR_VISIBLE, 0)},
    {}};

// Shared looks.
constexpr UiAttr kGraphLook[] = {
    AttrI(ATTR_CTRL_MODE, VAL_HOT),         AttrI(ATTR_BACKCOLOR, 0x3A3A3A),
    AttrI(ATTR_PLOT_BGCOLOR, 0x202020),     AttrI(ATTR_XLABEL_VISIBLE, 0),
    AttrI(ATTR_YLABEL_VISIBLE, 0),          UiAttr{}};
// Grey texts on transparent ground; sized by the row unless noted.
constexpr UiAttr kGreyText[] = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrI(ATTR_TEXT_COLOR, 0xA0A0A0),
                                AttrI(ATTR_TEXT_BGCOLOR, VAL_TRANSPARENT), AttrI(ATTR_SIZE_TO_TEXT, 0), UiAttr{}};
constexpr UiAttr kGreyArial12[] = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR),      AttrI(ATTR_TEXT_COLOR, 0xA0A0A0),
                                   AttrI(ATTR_TEXT_BGCOLOR, VAL_TRANSPARENT), AttrI(ATTR_SIZE_TO_TEXT, 0),
                                   AttrS(ATTR_TEXT_FONT, "Arial"),            AttrI(ATTR_TEXT_POINT_SIZE, 12),
                                   UiAttr{}};
// Scale values: grey on a dark box.
constexpr UiAttr kScaleText[] = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrI(ATTR_TEXT_COLOR, 0xA0A0A0),
                                 AttrI(ATTR_TEXT_BGCOLOR, 0x303030), AttrI(ATTR_SIZE_TO_TEXT, 0), UiAttr{}};
// Captions and unit words.
constexpr UiAttr kCaption[] = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrI(ATTR_TEXT_COLOR, 0x808080),
                               AttrI(ATTR_TEXT_BGCOLOR, VAL_TRANSPARENT), AttrI(ATTR_SIZE_TO_TEXT, 0), UiAttr{}};
constexpr UiAttr kFreeCaption[] = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrI(ATTR_TEXT_COLOR, 0x808080),
                                   AttrI(ATTR_TEXT_BGCOLOR, VAL_TRANSPARENT), AttrI(ATTR_SIZE_TO_TEXT, 1),
                                   UiAttr{}};
constexpr UiAttr kDensityLabel[] = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrI(ATTR_TEXT_COLOR, 0xA0A0A0),
                                    AttrI(ATTR_TEXT_BGCOLOR, VAL_TRANSPARENT), AttrI(ATTR_SIZE_TO_TEXT, 1),
                                    UiAttr{}};
// Cursor readouts: yellow Courier New on a dark box, right-aligned.
constexpr UiAttr kReadout[] = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR),  AttrS(ATTR_TEXT_FONT, "Courier New"),
                               AttrI(ATTR_TEXT_COLOR, 0xFFFF66),      AttrI(ATTR_TEXT_BGCOLOR, 0x303030),
                               AttrI(ATTR_TEXT_JUSTIFY, VAL_RIGHT_JUSTIFIED), AttrI(ATTR_SIZE_TO_TEXT, 0),
                               AttrS(ATTR_DFLT_VALUE, "xxx"),         UiAttr{}};
constexpr UiAttr kRingLook[] = {AttrI(ATTR_CTRL_MODE, VAL_HOT),       AttrI(ATTR_DATA_TYPE, VAL_INTEGER),
                                AttrI(ATTR_TEXT_BOLD, 1),             AttrI(ATTR_TEXT_COLOR, 0xB0B0B0),
                                AttrI(ATTR_TEXT_BGCOLOR, 0x3C3C3C),   AttrI(ATTR_TEXT_JUSTIFY, VAL_CENTER_JUSTIFIED),
                                AttrI(ATTR_FRAME_COLOR, 0x3C3C3C),    UiAttr{}};
constexpr UiAttr kButtonLook[] = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrI(ATTR_DFLT_VALUE, 0),
                                  AttrI(ATTR_LABEL_BGCOLOR, VAL_TRANSPARENT), UiAttr{}};
constexpr UiAttr kToggleLook[] = {AttrI(ATTR_CTRL_MODE, VAL_HOT),   AttrI(ATTR_DFLT_VALUE, 0),
                                  AttrS(ATTR_ON_TEXT, "Mkr ON"),    AttrS(ATTR_OFF_TEXT, "Mkr OFF"),
                                  AttrI(ATTR_ON_COLOR, 0x006600),   AttrI(ATTR_OFF_COLOR, 0x3C3C3C),
                                  AttrI(ATTR_TEXT_BOLD, 1),         AttrI(ATTR_TEXT_COLOR, 0xB0B0B0),
                                  UiAttr{}};

#define VIEW_ID(name) .id = &TAB_VIEW_##name, .constName = #name
#define VIEW_TEXT(name, look_, text_, t_, l_, h_, w_)                                                   \
  {VIEW_ID(name), .kind = CTRL_TEXT_MSG, .label = "", .top = t_, .left = l_, .callback = nullptr, .look = look_, \
   .attrs = {AttrS(ATTR_DFLT_VALUE, text_)}, .height = h_, .width = w_}
#define VIEW_BUTTON(name, cb_, icon_, t_, l_)                                                              \
  {VIEW_ID(name), .kind = CTRL_PICTURE_BUTTON, .label = "", .top = t_, .left = l_, .callback = cb_,     \
   .look = kButtonLook, .attrs = {}, .height = 26, .width = 35, .icon = icon_}

// The 51 controls in creation order (places top,left; sizes height x width).
const CtrlDef kViewCtrls[] = {
    {VIEW_ID(GRAPH_SCALE), .kind = CTRL_GRAPH, .label = "", .top = 391, .left = 211, .callback = nullptr,
     .look = kGraphLook, .attrs = {AttrI(ATTR_XDIVISIONS, 1), AttrI(ATTR_YDIVISIONS, 4), AttrI(ATTR_NUM_CURSORS, 0),
                                   AttrI(ATTR_CTRL_MODE, VAL_INDICATOR)},
     .height = 200, .width = 20},
    {VIEW_ID(GRAPH_SPECTRUM), .kind = CTRL_GRAPH, .label = "", .top = 391, .left = 274,
     .callback = SpectrumGraphCb, .look = kGraphLook,
     .attrs = {AttrI(ATTR_XDIVISIONS, 10), AttrI(ATTR_YDIVISIONS, 10), AttrI(ATTR_NUM_CURSORS, 2),
               AttrI(ATTR_XLABEL_VISIBLE, 1), AttrI(ATTR_YLABEL_VISIBLE, 1), AttrS(ATTR_XNAME, "Frequency [MHz]"),
               AttrS(ATTR_YNAME, "Level [dB]")},
     .height = 200, .width = 440},
    {VIEW_ID(GRAPH_IQ), .kind = CTRL_GRAPH, .label = "", .top = 391, .left = 9, .callback = IqGraphCb,
     .look = kGraphLook,
     .attrs = {AttrS(ATTR_XNAME, "I [V]"), AttrS(ATTR_YNAME, "Q [V]"), AttrI(ATTR_XDIVISIONS, 12),
               AttrI(ATTR_YDIVISIONS, 12), AttrI(ATTR_NUM_CURSORS, 1)},
     .height = 200, .width = 200},
    {VIEW_ID(GRAPH_IQPT), .kind = CTRL_GRAPH, .label = "", .top = 42, .left = 8, .callback = IqPointGraphCb,
     .look = kGraphLook,
     .attrs = {AttrI(ATTR_XDIVISIONS, 10), AttrI(ATTR_YDIVISIONS, 23), AttrI(ATTR_NUM_CURSORS, 2)},
     .height = 305, .width = 707},
    {VIEW_ID(STR_TSTOP), .kind = CTRL_TEXT_MSG, .label = "", .top = 348, .left = 514, .callback = nullptr,
     .look = kGreyArial12, .attrs = {AttrS(ATTR_DFLT_VALUE, "-"), AttrI(ATTR_TEXT_JUSTIFY, VAL_RIGHT_JUSTIFIED)},
     .height = 17, .width = 200},
    {VIEW_ID(STR_FFTSPAN), .kind = CTRL_TEXT_MSG, .label = "", .top = 592, .left = 424, .callback = nullptr,
     .look = kGreyText, .attrs = {AttrS(ATTR_DFLT_VALUE, "0"), AttrI(ATTR_TEXT_JUSTIFY, VAL_CENTER_JUSTIFIED)},
     .height = 16, .width = 120},
    {VIEW_ID(STR_TDIV), .kind = CTRL_TEXT_MSG, .label = "", .top = 348, .left = 303, .callback = nullptr,
     .look = kGreyArial12, .attrs = {AttrS(ATTR_DFLT_VALUE, "0"), AttrI(ATTR_TEXT_JUSTIFY, VAL_CENTER_JUSTIFIED)},
     .height = 17, .width = 120},
    {VIEW_ID(RING_IQVIEW), .kind = CTRL_RING, .label = "", .top = 18, .left = 551,
     .callback = SequenceViewModeCb, .look = kRingLook, .attrs = {}, .width = 100},
    {VIEW_ID(RING_FFTVIEW), .kind = CTRL_RING, .label = "", .top = 367, .left = 579,
     .callback = SequenceViewModeCb, .look = kRingLook, .attrs = {}, .width = 70},
    {VIEW_ID(STR_CSR_DELTA), .kind = CTRL_TEXT_MSG, .label = "", .top = 83, .left = 509, .callback = nullptr,
     .look = kReadout, .attrs = {}, .height = 17, .width = 200},
    {VIEW_ID(STR_CSR2), .kind = CTRL_TEXT_MSG, .label = "", .top = 66, .left = 509, .callback = nullptr,
     .look = kReadout, .attrs = {}, .height = 17, .width = 200},
    VIEW_TEXT(STR_IQMARKER2, kGreyArial12, "-", 393, 12, 17, 120),
    VIEW_TEXT(STR_IQMARKER1, kGreyArial12, "-", 573, 12, 17, 120),
    VIEW_BUTTON(CMD_GRAPHZOOM_CSR, SequenceViewZoomCursorCb, kIconViewZoomCursor, 13, 362),
    VIEW_BUTTON(CMD_GRAPHZOOMIN_Y, SequenceViewZoomInYCb, kIconViewZoomInY, 261, 748),
    VIEW_BUTTON(CMD_GRAPHZOOMIN, SequenceViewZoomInCb, kIconViewZoomIn, 13, 327),
    VIEW_BUTTON(CMD_GRAPHZOOMOUT_Y, SequenceViewZoomOutYCb, kIconViewZoomOutY, 291, 727),
    VIEW_BUTTON(CMD_GRAPHZOOMOUT, SequenceViewZoomOutCb, kIconViewZoomOut, 13, 292),
    VIEW_BUTTON(CMD_GRAPHFWD, SequenceViewForwardCb, kIconViewForward, 13, 235),
    VIEW_BUTTON(CMD_GRAPHBEGIN, SequenceViewBeginCb, kIconViewBegin, 13, 8),
    VIEW_BUTTON(CMD_GRAPHREV, SequenceViewBackCb, kIconViewBack, 13, 43),
    {VIEW_ID(STR_FFTMARKER2), .kind = CTRL_TEXT_MSG, .label = "", .top = 412, .left = 560,
     .callback = nullptr, .look = kReadout, .attrs = {}, .height = 17, .width = 150},
    {VIEW_ID(STR_FFTBP), .kind = CTRL_TEXT_MSG, .label = "", .top = 429, .left = 560, .callback = nullptr,
     .look = kReadout, .attrs = {}, .height = 17, .width = 150},
    {VIEW_ID(STR_FFTMARKER1), .kind = CTRL_TEXT_MSG, .label = "", .top = 395, .left = 560,
     .callback = nullptr, .look = kReadout, .attrs = {}, .height = 17, .width = 150},
    {VIEW_ID(STR_CSR1), .kind = CTRL_TEXT_MSG, .label = "", .top = 49, .left = 509, .callback = nullptr,
     .look = kReadout, .attrs = {}, .height = 17, .width = 200},
    {VIEW_ID(STR_TSTART), .kind = CTRL_TEXT_MSG, .label = "", .top = 348, .left = 9, .callback = nullptr,
     .look = kGreyArial12, .attrs = {AttrS(ATTR_DFLT_VALUE, "-"), AttrI(ATTR_TEXT_JUSTIFY, VAL_LEFT_JUSTIFIED)},
     .height = 17, .width = 200},
    VIEW_TEXT(TXT_MIN2, kScaleText, "-1.0", 323, 719, 16, 70),
    VIEW_TEXT(TXT_MAX2, kScaleText, "1.0", 193, 719, 16, 70),
    VIEW_TEXT(TXT_MIN1, kScaleText, "-1.0", 177, 719, 16, 70),
    {VIEW_ID(TXT_X1), .kind = CTRL_TEXT_MSG, .label = "", .top = 1, .left = 136, .callback = nullptr,
     .look = kGreyText, .attrs = {AttrS(ATTR_DFLT_VALUE, "Position"), AttrI(ATTR_TEXT_BGCOLOR, 0x3C3C3C)},
     .height = 16, .width = 40},
    VIEW_TEXT(TXT_MAX1, kScaleText, "1.0", 47, 720, 16, 70),
    VIEW_TEXT(TXT_MID_6, kCaption, "Range", 369, 541, 16, 34),
    VIEW_TEXT(TXT_XXX2, kCaption, "Mag", 236, 759, 16, 30),
    VIEW_TEXT(TXT_LINLOG2, kCaption, "Lin", 236, 720, 16, 30),
    VIEW_TEXT(TXT_XXX1, kCaption, "Mag", 87, 758, 16, 30),
    VIEW_TEXT(TXT_LINLOG1, kCaption, "Lin", 87, 719, 16, 30),
    VIEW_TEXT(TEXT_TRC2, kCaption, "Trace2", 217, 719, 16, 40),
    VIEW_TEXT(TEXT_TRC1, kCaption, "Trace1", 70, 719, 16, 40),
    {VIEW_ID(SLIDE_POS), .kind = CTRL_NUMERIC_HSLIDE, .label = "", .top = 31, .left = 82,
     .callback = SequenceViewPositionCb, .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrI(ATTR_DATA_TYPE, VAL_DOUBLE), AttrD(ATTR_MIN_VALUE, 0.0),
               AttrD(ATTR_MAX_VALUE, 1.0), AttrD(ATTR_INCR_VALUE, 0.02), AttrD(ATTR_DFLT_VALUE, 0.5),
               AttrI(ATTR_SHOW_DIG_DISP, 0), AttrI(ATTR_FRAME_COLOR, 0x3C3C3C)},
     .height = 6, .width = 148},
    {VIEW_ID(STR_TXT_4), .kind = CTRL_TEXT_MSG, .label = "", .top = 0, .left = 0, .callback = nullptr,
     .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrS(ATTR_DFLT_VALUE, ""), AttrI(ATTR_TEXT_BGCOLOR, 0x3C3C3C),
               AttrI(ATTR_SIZE_TO_TEXT, 0)},
     .height = 697, .width = 798},
    VIEW_TEXT(TEXTMSG_69, kDensityLabel, "1e-4", 577, 233, -1, -1),
    VIEW_TEXT(TEXTMSG_68, kDensityLabel, "1e-3", 531, 234, -1, -1),
    VIEW_TEXT(TEXTMSG_67, kDensityLabel, "1e-2", 482, 233, -1, -1),
    VIEW_TEXT(TXT_FFTMIN, kScaleText, "-100 dB", 575, 718, 16, 70),
    VIEW_TEXT(TXT_FFTMAX, kScaleText, "0 dB", 391, 719, 16, 70),
    VIEW_TEXT(TEXTMSG_66, kDensityLabel, "0.1", 432, 233, -1, -1),
    VIEW_TEXT(TEXTMSG_65, kDensityLabel, "1", 388, 234, -1, -1),
    VIEW_TEXT(TXT_FFT, kFreeCaption, "FFT Spectrum     MAX PK", 371, 274, -1, -1),
    VIEW_TEXT(TXT_CONSTELL, kFreeCaption, "I/Q Plane", 372, 8, -1, -1),
    {VIEW_ID(CHK_MKRON_2), .kind = CTRL_TOGGLE_BUTTON, .label = "", .top = 365, .left = 654,
     .callback = SequenceViewMarkersCb, .look = kToggleLook, .attrs = {}, .height = 24, .width = 60},
    {VIEW_ID(CHK_MKRON), .kind = CTRL_TOGGLE_BUTTON, .label = "", .top = 16, .left = 656,
     .callback = SequenceViewMarkersCb, .look = kToggleLook, .attrs = {}, .height = 24, .width = 60},
};
#undef VIEW_BUTTON
#undef VIEW_TEXT
#undef VIEW_ID

// Ring items: labels with their values (not their positions).
struct RingItem {
  const char* label;
  int value;
};
constexpr RingItem kIqViewItems[] = {{"I / Q", VIEW_IQ}, {"Log Mag", VIEW_LOG_MAG}, {"Phase", VIEW_PHASE},
                                     {"Frequency", VIEW_FREQUENCY}};
constexpr RingItem kFftViewItems[] = {{"All", FFT_RING_ALL}, {"Viewport", FFT_RING_VIEWPORT}};

// Axis ranges per graph: bottom X and left Y; the top X and right Y axes
// keep 0 .. 100 and carry no plot.
struct GraphAxes {
  const int* graph;
  double xMin, xMax, yMin, yMax;
};
const GraphAxes kGraphAxes[] = {
    {&TAB_VIEW_GRAPH_SCALE, 0.0, 1.0, 1.0, 1000.0},
    {&TAB_VIEW_GRAPH_SPECTRUM, 0.0, 500.0, -100.0, 0.0},
    {&TAB_VIEW_GRAPH_IQ, -1.2, 1.2, -1.2, 1.2},
    {&TAB_VIEW_GRAPH_IQPT, 0.0, 100.0, 0.0, 23.0},
};

// Cursors: graph, cursor number, colour, snap-to-point, initial place.
struct GraphCursor {
  const int* graph;
  int cursor;
  int color;
  int snap;
  double x, y;
};
const GraphCursor kCursors[] = {
    {&TAB_VIEW_GRAPH_IQPT, 1, 0xFFFF99, 0, 33.333333, 15.333333},
    {&TAB_VIEW_GRAPH_IQPT, 2, 0xFF6600, 0, 66.666667, 7.666667},
    {&TAB_VIEW_GRAPH_SPECTRUM, 1, 0x3D5676, 0, 166.666667, -33.333333},
    {&TAB_VIEW_GRAPH_SPECTRUM, 2, 0x2F6A63, 0, 333.333333, -66.666667},
    {&TAB_VIEW_GRAPH_IQ, 1, 0x3D5676, 1, 0.0, 0.0},
};

template <int N>
int FillRing(int panel, int ring, const RingItem (&items)[N], int initial) {
  for (const RingItem& item : items) CZ_UI_TRY(InsertListItem(panel, ring, -1, item.label, item.value));
  CZ_UI_TRY(SetCtrlAttribute(panel, ring, ATTR_DFLT_VALUE, initial));
  return SetCtrlVal(panel, ring, initial);
}

int SetUpGraphs(int panel) {
  for (const GraphAxes& a : kGraphAxes) {
    CZ_UI_TRY(SetAxisScalingMode(panel, *a.graph, VAL_BOTTOM_XAXIS, VAL_MANUAL, a.xMin, a.xMax));
    CZ_UI_TRY(SetAxisScalingMode(panel, *a.graph, VAL_LEFT_YAXIS, VAL_MANUAL, a.yMin, a.yMax));
    CZ_UI_TRY(SetAxisScalingMode(panel, *a.graph, VAL_TOP_XAXIS, VAL_MANUAL, 0.0, 100.0));
    CZ_UI_TRY(SetAxisScalingMode(panel, *a.graph, VAL_RIGHT_YAXIS, VAL_MANUAL, 0.0, 100.0));
  }
  for (const GraphCursor& c : kCursors) {
    const int graph = *c.graph;
    CZ_UI_TRY(SetCursorAttribute(panel, graph, c.cursor, ATTR_CURSOR_COLOR, c.color));
    CZ_UI_TRY(SetCursorAttribute(panel, graph, c.cursor, ATTR_CURSOR_MODE, c.snap ? VAL_SNAP_TO_POINT : VAL_FREE_FORM));
    CZ_UI_TRY(SetCursorAttribute(panel, graph, c.cursor, ATTR_CROSS_HAIR_STYLE, c.snap ? VAL_NO_CROSS : VAL_VERTICAL_LINE));
    if (c.snap) CZ_UI_TRY(SetCursorAttribute(panel, graph, c.cursor, ATTR_CURSOR_POINT_STYLE, VAL_EMPTY_SQUARE));
    CZ_UI_TRY(SetGraphCursor(panel, graph, c.cursor, c.x, c.y));
  }
  return 0;
}

// Stacking, front-most first: the buttons, the texts that lie over the
// graphs, the other controls, the graphs, and the backdrop last.
const int* const kViewFront[] = {
    &TAB_VIEW_CMD_GRAPHZOOM_CSR, &TAB_VIEW_CMD_GRAPHZOOMIN_Y, &TAB_VIEW_CMD_GRAPHZOOMIN,
    &TAB_VIEW_CMD_GRAPHZOOMOUT_Y, &TAB_VIEW_CMD_GRAPHZOOMOUT, &TAB_VIEW_CMD_GRAPHFWD,
    &TAB_VIEW_CMD_GRAPHBEGIN, &TAB_VIEW_CMD_GRAPHREV, &TAB_VIEW_STR_CSR_DELTA, &TAB_VIEW_STR_CSR2,
    &TAB_VIEW_STR_CSR1, &TAB_VIEW_STR_IQMARKER2, &TAB_VIEW_STR_IQMARKER1, &TAB_VIEW_STR_FFTMARKER2,
    &TAB_VIEW_STR_FFTBP, &TAB_VIEW_STR_FFTMARKER1, &TAB_VIEW_STR_TSTOP, &TAB_VIEW_STR_FFTSPAN,
    &TAB_VIEW_STR_TDIV, &TAB_VIEW_STR_TSTART, &TAB_VIEW_TXT_MIN2, &TAB_VIEW_TXT_MAX2, &TAB_VIEW_TXT_MIN1,
    &TAB_VIEW_TXT_X1, &TAB_VIEW_TXT_MAX1, &TAB_VIEW_TXT_MID_6, &TAB_VIEW_TXT_XXX2, &TAB_VIEW_TXT_LINLOG2,
    &TAB_VIEW_TXT_XXX1, &TAB_VIEW_TXT_LINLOG1, &TAB_VIEW_TEXT_TRC2, &TAB_VIEW_TEXT_TRC1,
    &TAB_VIEW_TEXTMSG_69, &TAB_VIEW_TEXTMSG_68, &TAB_VIEW_TEXTMSG_67, &TAB_VIEW_TXT_FFTMIN,
    &TAB_VIEW_TXT_FFTMAX, &TAB_VIEW_TEXTMSG_66, &TAB_VIEW_TEXTMSG_65, &TAB_VIEW_TXT_FFT,
    &TAB_VIEW_TXT_CONSTELL, &TAB_VIEW_RING_IQVIEW, &TAB_VIEW_RING_FFTVIEW, &TAB_VIEW_SLIDE_POS,
    &TAB_VIEW_CHK_MKRON_2, &TAB_VIEW_CHK_MKRON, &TAB_VIEW_GRAPH_SCALE, &TAB_VIEW_GRAPH_SPECTRUM,
    &TAB_VIEW_GRAPH_IQ, &TAB_VIEW_GRAPH_IQPT, &TAB_VIEW_STR_TXT_4};
static_assert(sizeof kViewFront / sizeof kViewFront[0] == sizeof kViewCtrls / sizeof kViewCtrls[0]);

}  // namespace

int BuildSequenceViewPanel(int parent) {
  const int panel = PanelBuild_NewPanel(parent, kViewPanel);
  CZ_UI_TRY(panel);
  CZ_UI_TRY(PanelBuild_Controls(panel, kViewCtrls, static_cast<int>(sizeof kViewCtrls / sizeof kViewCtrls[0])));
  CZ_UI_TRY(FillRing(panel, TAB_VIEW_RING_IQVIEW, kIqViewItems, VIEW_IQ));
  CZ_UI_TRY(FillRing(panel, TAB_VIEW_RING_FFTVIEW, kFftViewItems, FFT_RING_ALL));
  CZ_UI_TRY(SetUpGraphs(panel));
  // The graphs take the first focus positions; creation order starts with them.
  int focus = 0;
  for (const CtrlDef& c : kViewCtrls) CZ_UI_TRY(SetCtrlAttribute(panel, *c.id, ATTR_CTRL_TAB_POSITION, focus++));
  CZ_UI_TRY(PanelBuild_Order(panel, kViewFront, static_cast<int>(sizeof kViewFront / sizeof kViewFront[0]), nullptr, 0));
  CZ_UI_TRY(PanelBuild_Fit(panel, kViewPanel, 0));
  return panel;
}
