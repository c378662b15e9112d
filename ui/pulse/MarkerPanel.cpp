// The pulse editor's marker page P_MARKER: a grid of 24 independent radio
// buttons, one column per marker output and one row per pulse section
// ("Delay", "Rise", "On", "Fall", "Off", "Restart"), each row on a stripe,
// and the marker diagram below the grid.
#include "ui/pulse/MarkerPanel.h"

#include <iterator>

#include "app/PulsePanelIds.h"
#include "editors/PulseEditor.h"
#include "ui/main/PanelBuild.h"

int P_MARKER_R_M1_RESTART = -1;
int P_MARKER_R_M1_RISE = -1;
int P_MARKER_R_M1_ON = -1;
int P_MARKER_R_M1_FALL = -1;
int P_MARKER_R_M1_OFF = -1;
int P_MARKER_R_M2_RESTART = -1;
int P_MARKER_R_M2_DELAY = -1;
int P_MARKER_R_M2_RISE = -1;
int P_MARKER_R_M2_ON = -1;
int P_MARKER_R_M2_FALL = -1;
int P_MARKER_R_M2_OFF = -1;
int P_MARKER_R_M3_RESTART = -1;
int P_MARKER_R_M3_DELAY = -1;
int P_MARKER_R_M3_RISE = -1;
int P_MARKER_R_M3_ON = -1;
int P_MARKER_R_M3_FALL = -1;
int P_MARKER_R_M3_OFF = -1;
int P_MARKER_R_M4_RESTART = -1;
int P_MARKER_R_M4_DELAY = -1;
int P_MARKER_R_M4_RISE = -1;
int P_MARKER_R_M4_ON = -1;
int P_MARKER_R_M4_FALL = -1;
int P_MARKER_R_M4_OFF = -1;
int P_MARKER_TEXTMSG_17 = -1;
int P_MARKER_TEXTMSG_11 = -1;
int P_MARKER_TEXTMSG_9 = -1;
int P_MARKER_TEXTMSG_8 = -1;
int P_MARKER_TEXTMSG_7 = -1;
int P_MARKER_TEXTMSG_6 = -1;
int P_MARKER_TEXTMSG_18 = -1;
int P_MARKER_TEXTMSG_16 = -1;
int P_MARKER_TEXTMSG_15 = -1;
int P_MARKER_TEXTMSG_14 = -1;
int P_MARKER_TEXTMSG_4 = -1;
int P_MARKER_GRAPH_BURST = -1;
int P_MARKER_TEXTMSG_13 = -1;
int P_MARKER_STR_TXT_10 = -1;
int P_MARKER_STR_TXT_8 = -1;
int P_MARKER_STR_TXT_6 = -1;
int P_MARKER_STR_TXT_9 = -1;
int P_MARKER_STR_TXT_7 = -1;
int P_MARKER_STR_TXT_5 = -1;

int* const kMarkerGrid[kMarkers][kMarkerParts] = {
    {&P_MARKER_R_M1_DELAY, &P_MARKER_R_M1_RISE, &P_MARKER_R_M1_ON, &P_MARKER_R_M1_FALL, &P_MARKER_R_M1_OFF,
     &P_MARKER_R_M1_RESTART},
    {&P_MARKER_R_M2_DELAY, &P_MARKER_R_M2_RISE, &P_MARKER_R_M2_ON, &P_MARKER_R_M2_FALL, &P_MARKER_R_M2_OFF,
     &P_MARKER_R_M2_RESTART},
    {&P_MARKER_R_M3_DELAY, &P_MARKER_R_M3_RISE, &P_MARKER_R_M3_ON, &P_MARKER_R_M3_FALL, &P_MARKER_R_M3_OFF,
     &P_MARKER_R_M3_RESTART},
    {&P_MARKER_R_M4_DELAY, &P_MARKER_R_M4_RISE, &P_MARKER_R_M4_ON, &P_MARKER_R_M4_FALL, &P_MARKER_R_M4_OFF,
     &P_MARKER_R_M4_RESTART},
};

namespace {

const PanelDef kMarkerPanel = {
    "P_MARKER", "", 0, 0, 460, 730, PulseMarkerPanelCb,
    {AttrI(ATTR_BACKCOLOR, 0xE0E0E0), AttrI(ATTR_TITLEBAR_VISIBLE, 0)},
    {AttrI(ATTR_FRAME_THICKNESS, 0)}};

// Grid geometry: row r (MarkerPart order) and marker column m.
constexpr int kRowTop[kMarkerParts] = {60, 84, 108, 132, 156, 180};
constexpr int kRowHeight = 22;
constexpr int kColumnLeft[kMarkers] = {130, 200, 270, 340};
constexpr int kStripeLeft = 20, kStripeWidth = 380;
constexpr int kButtonOffset = 3;  // radio button inside its stripe
constexpr int kLight = 0xD8D8D8, kDark = 0xB8B8B8, kRestartShade = 0xB0B8D0;

constexpr UiAttr kGridButton[] = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrI(ATTR_DATA_TYPE, VAL_INTEGER),
                                  AttrI(ATTR_DFLT_VALUE, 0), AttrI(ATTR_LABEL_VISIBLE, 0), UiAttr{}};
constexpr UiAttr kCaption[] = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrS(ATTR_TEXT_FONT, "Arial"),
                               AttrI(ATTR_TEXT_BOLD, 1), AttrI(ATTR_TEXT_BGCOLOR, VAL_TRANSPARENT),
                               AttrI(ATTR_TEXT_COLOR, 0x303030), UiAttr{}};
constexpr UiAttr kStripe[] = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrI(ATTR_SIZE_TO_TEXT, 0),
                              AttrS(ATTR_DFLT_VALUE, ""), UiAttr{}};

#define CZ_GRID(p_idv, p_name, p_marker, p_part)                                                                 \
  {.id = &p_idv, .constName = p_name, .kind = CTRL_RADIO_BUTTON, .label = "",                                   \
   .top = kRowTop[p_part] + kButtonOffset, .left = kColumnLeft[p_marker] + 20, .callback = PulseMarkerCb,        \
   .look = kGridButton, .attrs = {}}
#define CZ_CAPTION(p_idv, p_name, p_text, p_top, p_left)                                                          \
  {.id = &p_idv, .constName = p_name, .kind = CTRL_TEXT_MSG, .label = "", .top = p_top, .left = p_left,         \
   .callback = nullptr, .look = kCaption, .attrs = {AttrS(ATTR_DFLT_VALUE, p_text)}}
#define CZ_ROW_CAPTION(p_idv, p_name, p_text, p_part) \
  CZ_CAPTION(p_idv, p_name, p_text, kRowTop[p_part] + kButtonOffset, kStripeLeft + 10)
#define CZ_STRIPE(p_idv, p_name, p_part, p_color)                                                                 \
  {.id = &p_idv, .constName = p_name, .kind = CTRL_TEXT_MSG, .label = "", .top = kRowTop[p_part],               \
   .left = kStripeLeft, .callback = nullptr, .look = kStripe, .attrs = {AttrI(ATTR_TEXT_BGCOLOR, p_color)},      \
   .height = kRowHeight, .width = kStripeWidth}

// Creation order of the page (the ids above are written in this order).
const CtrlDef kMarkerCtrls[] = {
    CZ_GRID(P_MARKER_R_M1_RESTART, "R_M1_RESTART", 0, MARKER_RESTART),
    CZ_GRID(P_MARKER_R_M1_DELAY, "R_M1_DELAY", 0, MARKER_DELAY),
    CZ_GRID(P_MARKER_R_M1_RISE, "R_M1_RISE", 0, MARKER_RISE),
    CZ_GRID(P_MARKER_R_M1_ON, "R_M1_ON", 0, MARKER_ON),
    CZ_GRID(P_MARKER_R_M1_FALL, "R_M1_FALL", 0, MARKER_FALL),
    CZ_GRID(P_MARKER_R_M2_RESTART, "R_M2_RESTART", 1, MARKER_RESTART),
    CZ_GRID(P_MARKER_R_M1_OFF, "R_M1_OFF", 0, MARKER_OFF),
    CZ_GRID(P_MARKER_R_M2_DELAY, "R_M2_DELAY", 1, MARKER_DELAY),
    CZ_GRID(P_MARKER_R_M2_RISE, "R_M2_RISE", 1, MARKER_RISE),
    CZ_GRID(P_MARKER_R_M2_ON, "R_M2_ON", 1, MARKER_ON),
    CZ_GRID(P_MARKER_R_M3_RESTART, "R_M3_RESTART", 2, MARKER_RESTART),
    CZ_GRID(P_MARKER_R_M2_FALL, "R_M2_FALL", 1, MARKER_FALL),
    CZ_GRID(P_MARKER_R_M2_OFF, "R_M2_OFF", 1, MARKER_OFF),
    CZ_GRID(P_MARKER_R_M3_DELAY, "R_M3_DELAY", 2, MARKER_DELAY),
    CZ_GRID(P_MARKER_R_M3_RISE, "R_M3_RISE", 2, MARKER_RISE),
    CZ_GRID(P_MARKER_R_M4_RESTART, "R_M4_RESTART", 3, MARKER_RESTART),
    CZ_GRID(P_MARKER_R_M3_ON, "R_M3_ON", 2, MARKER_ON),
    CZ_GRID(P_MARKER_R_M3_FALL, "R_M3_FALL", 2, MARKER_FALL),
    CZ_GRID(P_MARKER_R_M3_OFF, "R_M3_OFF", 2, MARKER_OFF),
    CZ_GRID(P_MARKER_R_M4_DELAY, "R_M4_DELAY", 3, MARKER_DELAY),
    CZ_GRID(P_MARKER_R_M4_RISE, "R_M4_RISE", 3, MARKER_RISE),
    CZ_GRID(P_MARKER_R_M4_ON, "R_M4_ON", 3, MARKER_ON),
    CZ_GRID(P_MARKER_R_M4_FALL, "R_M4_FALL", 3, MARKER_FALL),
    CZ_GRID(P_MARKER_R_M4_OFF, "R_M4_OFF", 3, MARKER_OFF),
    CZ_ROW_CAPTION(P_MARKER_TEXTMSG_17, "TEXTMSG_17", "Restart", MARKER_RESTART),
    CZ_ROW_CAPTION(P_MARKER_TEXTMSG_11, "TEXTMSG_11", "Delay", MARKER_DELAY),
    CZ_ROW_CAPTION(P_MARKER_TEXTMSG_9, "TEXTMSG_9", "Rise", MARKER_RISE),
    CZ_ROW_CAPTION(P_MARKER_TEXTMSG_8, "TEXTMSG_8", "Fall", MARKER_FALL),
    CZ_ROW_CAPTION(P_MARKER_TEXTMSG_7, "TEXTMSG_7", "On", MARKER_ON),
    CZ_ROW_CAPTION(P_MARKER_TEXTMSG_6, "TEXTMSG_6", "Off", MARKER_OFF),
    CZ_CAPTION(P_MARKER_TEXTMSG_18, "TEXTMSG_18", "(10% of PRI)", kRowTop[MARKER_RESTART] + kButtonOffset,
               kStripeLeft + kStripeWidth + 8),
    CZ_CAPTION(P_MARKER_TEXTMSG_16, "TEXTMSG_16", "Marker 4", 38, kColumnLeft[3]),
    CZ_CAPTION(P_MARKER_TEXTMSG_15, "TEXTMSG_15", "Marker 3", 38, kColumnLeft[2]),
    CZ_CAPTION(P_MARKER_TEXTMSG_14, "TEXTMSG_14", "Marker 2", 38, kColumnLeft[1]),
    CZ_CAPTION(P_MARKER_TEXTMSG_4, "TEXTMSG_4", "Marker 1", 38, kColumnLeft[0]),
    {.id = &P_MARKER_GRAPH_BURST, .constName = "GRAPH_BURST", .kind = CTRL_GRAPH, .label = "", .top = 222,
     .left = 20, .callback = nullptr, .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrS(ATTR_XNAME, ""), AttrS(ATTR_YNAME, "")},
     .height = 180, .width = 380},
    {.id = &P_MARKER_TEXTMSG_13, .constName = "TEXTMSG_13", .kind = CTRL_TEXT_MSG, .label = "", .top = 8,
     .left = 10, .callback = nullptr, .look = kCaption,
     .attrs = {AttrS(ATTR_DFLT_VALUE, "Marker Settings"), AttrI(ATTR_TEXT_POINT_SIZE, 14)}},
    CZ_STRIPE(P_MARKER_STR_TXT_10, "STR_TXT_10", MARKER_RESTART, kRestartShade),
    CZ_STRIPE(P_MARKER_STR_TXT_8, "STR_TXT_8", MARKER_FALL, kDark),
    CZ_STRIPE(P_MARKER_STR_TXT_6, "STR_TXT_6", MARKER_RISE, kDark),
    CZ_STRIPE(P_MARKER_STR_TXT_9, "STR_TXT_9", MARKER_OFF, kLight),
    CZ_STRIPE(P_MARKER_STR_TXT_7, "STR_TXT_7", MARKER_ON, kLight),
    CZ_STRIPE(P_MARKER_STR_TXT_5, "STR_TXT_5", MARKER_DELAY, kLight),
};
#undef CZ_GRID
#undef CZ_CAPTION
#undef CZ_ROW_CAPTION
#undef CZ_STRIPE

// Stripes behind everything else.
const int* const kStripes[] = {&P_MARKER_STR_TXT_5, &P_MARKER_STR_TXT_6, &P_MARKER_STR_TXT_7,
                               &P_MARKER_STR_TXT_8, &P_MARKER_STR_TXT_9, &P_MARKER_STR_TXT_10};

// The diagram's bottom X and left Y axes stay at 0..100 whatever is drawn;
// the top X and right Y axes follow their plots.
int SetDiagramAxes(int panel, int graph) {
  CZ_UI_TRY(SetAxisScalingMode(panel, graph, VAL_BOTTOM_XAXIS, VAL_MANUAL, 0.0, 100.0));
  CZ_UI_TRY(SetAxisScalingMode(panel, graph, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, 100.0));
  CZ_UI_TRY(SetAxisScalingMode(panel, graph, VAL_TOP_XAXIS, VAL_AUTOSCALE, 0.0, 100.0));
  return SetAxisScalingMode(panel, graph, VAL_RIGHT_YAXIS, VAL_AUTOSCALE, 0.0, 100.0);
}

bool IsStripe(const int* id) {
  for (const int* stripe : kStripes)
    if (stripe == id) return true;
  return false;
}

// Front to back: every other control over the stripes, in creation order;
// keyboard order marker by marker, top to bottom.
int OrderControls(int panel) {
  int z = 0;
  for (const CtrlDef& def : kMarkerCtrls)
    if (!IsStripe(def.id)) CZ_UI_TRY(SetCtrlAttribute(panel, *def.id, ATTR_ZPLANE_POSITION, z++));
  for (const int* stripe : kStripes) CZ_UI_TRY(SetCtrlAttribute(panel, *stripe, ATTR_ZPLANE_POSITION, z++));
  int tab = 0;
  for (int m = 0; m < kMarkers; ++m)
    for (int p = 0; p < kMarkerParts; ++p)
      CZ_UI_TRY(SetCtrlAttribute(panel, *kMarkerGrid[m][p], ATTR_CTRL_TAB_POSITION, tab++));
  return 0;
}

}  // namespace

int BuildPulseMarkerPanel(int parent) {
  const int panel = PanelBuild_NewPanel(parent, kMarkerPanel);
  CZ_UI_TRY(panel);
  CZ_UI_TRY(PanelBuild_Controls(panel, kMarkerCtrls, static_cast<int>(std::size(kMarkerCtrls))));
  CZ_UI_TRY(SetDiagramAxes(panel, P_MARKER_GRAPH_BURST));
  CZ_UI_TRY(OrderControls(panel));
  CZ_UI_TRY(PanelBuild_Fit(panel, kMarkerPanel, 0));
  return panel;
}
