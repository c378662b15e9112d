// P_TIM, the timing and envelope sub-panel of the pulse editor: the five
// time inputs with their unit rings, the edge shapes, the choice between an
// off time and a PRF/PRI, the total period, the timing diagram and the tab
// control with the four custom-envelope pages.
#include "ui/pulse/TimingPanel.h"

#include <iterator>

#include "editors/EnvelopeImport.h"
#include "editors/PulseEditor.h"
#include "ui/main/Icons.h"
#include "ui/main/PanelBuild.h"
#include "ui/pulse/EnvelopePages.h"
#include "ui/pulse/PulsePanels.h"

int P_TIM_RADIO_ARBENVEL = -1;
int P_TIM_NUM_PREDELAY = -1;
int P_TIM_NUM_RISE = -1;
int P_TIM_RING_RISE = -1;
int P_TIM_RING_ERISE = -1;
int P_TIM_NUM_ON = -1;
int P_TIM_RING_ON = -1;
int P_TIM_NUM_FALL = -1;
int P_TIM_RING_FALL = -1;
int P_TIM_RING_EFALL = -1;
int P_TIM_NUM_BLANK = -1;
int P_TIM_RING_BLANK = -1;
int P_TIM_RADIO_BLANK = -1;
int P_TIM_RING_PRFPRI = -1;
int P_TIM_NUM_PRF = -1;
int P_TIM_TXT_UNIT = -1;
int P_TIM_RADIO_PRF = -1;
int P_TIM_STR_TOTAL = -1;
int P_TIM_TEXTMSG_4 = -1;
int P_TIM_GRAPH_BURST = -1;
int P_TIM_TEXTMSG_PTIME = -1;
int P_TIM_TEXTMSG = -1;
int P_TIM_TAB_IMPORT = -1;

namespace {

const PanelDef kTimingPanel = {
    "P_TIM", "", 0, 0, 460, 730, PulseTimingPanelCb,
    {AttrI(ATTR_BACKCOLOR, 0xE0E0E0), AttrI(ATTR_TITLEBAR_VISIBLE, 0)},
    {AttrI(ATTR_FRAME_THICKNESS, 0)}};

// Row places of the five time inputs (Delay, Rise, On, Fall, Off).
constexpr int kRowTop[] = {40, 72, 104, 136, 168};
constexpr int kNumLeft = 90, kUnitLeft = 190, kEdgeLeft = 250, kRadioLeft = 355;
constexpr int kPrfTop = 204;

// A time input: seconds after x 10^(unit ring), 0 to 1000 in its unit.
constexpr UiAttr kTimeNumeric[] = {
    AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrI(ATTR_DATA_TYPE, VAL_DOUBLE), AttrD(ATTR_MIN_VALUE, 0.0),
    AttrD(ATTR_MAX_VALUE, 1000.0), AttrD(ATTR_INCR_VALUE, 1.0), AttrI(ATTR_PRECISION, 3),
    AttrS(ATTR_LABEL_FONT, "Arial"), AttrI(ATTR_LABEL_BOLD, 1), UiAttr{}};
constexpr UiAttr kUnitRing[] = {
    AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrI(ATTR_DATA_TYPE, VAL_INTEGER), AttrI(ATTR_DFLT_VALUE, UNIT_US),
    AttrI(ATTR_LABEL_VISIBLE, 0), UiAttr{}};
constexpr UiAttr kEdgeRing[] = {
    AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrI(ATTR_DATA_TYPE, VAL_INTEGER), AttrI(ATTR_DFLT_VALUE, EDGE_LINEAR),
    AttrI(ATTR_LABEL_VISIBLE, 0), UiAttr{}};
constexpr UiAttr kText[] = {
    AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrS(ATTR_TEXT_FONT, "Arial"), AttrI(ATTR_TEXT_BGCOLOR, VAL_TRANSPARENT),
    AttrI(ATTR_TEXT_COLOR, 0x303030), UiAttr{}};
constexpr UiAttr kRadio[] = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrI(ATTR_DATA_TYPE, VAL_INTEGER), UiAttr{}};

#define CZ_NUM(p_idv, p_name, p_label, p_row, p_dflt)                                                              \
  {.id = &p_idv, .constName = p_name, .kind = CTRL_NUMERIC, .label = p_label, .top = kRowTop[p_row], .left = kNumLeft, \
   .callback = PulseTimingCb, .look = kTimeNumeric, .attrs = {AttrD(ATTR_DFLT_VALUE, p_dflt)}, .width = 90, \
   .labelTop = kRowTop[p_row] + 3, .labelLeft = 24}
#define CZ_UNIT(p_idv, p_name, p_row)                                                                           \
  {.id = &p_idv, .constName = p_name, .kind = CTRL_RING, .label = "", .top = kRowTop[p_row], .left = kUnitLeft,  \
   .callback = PulseTimingCb, .look = kUnitRing, .attrs = {}, .width = 50}
#define CZ_EDGE(p_idv, p_name, p_row)                                                                           \
  {.id = &p_idv, .constName = p_name, .kind = CTRL_RING, .label = "", .top = kRowTop[p_row], .left = kEdgeLeft,  \
   .callback = PulseEditCb, .look = kEdgeRing, .attrs = {}, .width = 95}

// Controls in creation order; the keyboard order follows it. Every
// interactive control is hot: PulseTimingCb derives the repetition from
// the times, PulseEditCb (edge rings) reads the page back.
const CtrlDef kTimingCtrls[] = {
    {.id = &P_TIM_RADIO_ARBENVEL, .constName = "RADIO_ARBENVEL", .kind = CTRL_RADIO_BUTTON,
     .label = "__Use Custom Envelope or I/Q Data", .top = 10, .left = 378, .callback = PulseTimingCb,
     .look = kRadio, .attrs = {AttrI(ATTR_DFLT_VALUE, 0), AttrS(ATTR_LABEL_FONT, "Arial")}, .width = 330},
    CZ_NUM(P_TIM_NUM_PREDELAY, "NUM_PREDELAY", "Delay", 0, 0.0),
    CZ_UNIT(P_TIM_RING_PREDELAY, "RING_PREDELAY", 0),
    CZ_NUM(P_TIM_NUM_RISE, "NUM_RISE", "Rise", 1, 0.0),
    CZ_UNIT(P_TIM_RING_RISE, "RING_RISE", 1),
    CZ_EDGE(P_TIM_RING_ERISE, "RING_ERISE", 1),
    CZ_NUM(P_TIM_NUM_ON, "NUM_ON", "On", 2, 10.0),
    CZ_UNIT(P_TIM_RING_ON, "RING_ON", 2),
    CZ_NUM(P_TIM_NUM_FALL, "NUM_FALL", "Fall", 3, 0.0),
    CZ_UNIT(P_TIM_RING_FALL, "RING_FALL", 3),
    CZ_EDGE(P_TIM_RING_EFALL, "RING_EFALL", 3),
    CZ_NUM(P_TIM_NUM_BLANK, "NUM_BLANK", "Off", 4, 50.0),
    CZ_UNIT(P_TIM_RING_BLANK, "RING_BLANK", 4),
    {.id = &P_TIM_RADIO_BLANK, .constName = "RADIO_BLANK", .kind = CTRL_RADIO_BUTTON, .label = "",
     .top = kRowTop[4], .left = kRadioLeft, .callback = PulseTimingCb, .look = kRadio,
     .attrs = {AttrI(ATTR_DFLT_VALUE, 1), AttrI(ATTR_LABEL_VISIBLE, 0)}},
    {.id = &P_TIM_RING_PRFPRI, .constName = "RING_PRFPRI", .kind = CTRL_RING, .label = "", .top = kPrfTop,
     .left = 20, .callback = PulseTimingCb, .look = kEdgeRing,
     .attrs = {AttrI(ATTR_DFLT_VALUE, 0), AttrI(ATTR_DIMMED, 1)}, .width = 60},
    {.id = &P_TIM_NUM_PRF, .constName = "NUM_PRF", .kind = CTRL_NUMERIC, .label = "", .top = kPrfTop,
     .left = kNumLeft, .callback = PulseTimingCb, .look = kTimeNumeric,
     .attrs = {AttrD(ATTR_MAX_VALUE, 10000000.0), AttrD(ATTR_DFLT_VALUE, 1000.0), AttrI(ATTR_DIMMED, 1),
               AttrI(ATTR_LABEL_VISIBLE, 0)},
     .width = 90},
    {.id = &P_TIM_TXT_UNIT, .constName = "TXT_UNIT", .kind = CTRL_TEXT_MSG, .label = "", .top = kPrfTop + 3,
     .left = kUnitLeft, .callback = nullptr, .look = kText, .attrs = {AttrS(ATTR_DFLT_VALUE, "Hz")}, .width = 40},
    {.id = &P_TIM_RADIO_PRF, .constName = "RADIO_PRF", .kind = CTRL_RADIO_BUTTON, .label = "", .top = kPrfTop,
     .left = kRadioLeft, .callback = PulseTimingCb, .look = kRadio,
     .attrs = {AttrI(ATTR_DFLT_VALUE, 0), AttrI(ATTR_LABEL_VISIBLE, 0)}},
    {.id = &P_TIM_STR_TOTAL, .constName = "STR_TOTAL", .kind = CTRL_TEXT_MSG, .label = "", .top = 256,
     .left = kNumLeft, .callback = nullptr, .look = kText,
     .attrs = {AttrS(ATTR_DFLT_VALUE, ""), AttrI(ATTR_TEXT_BOLD, 1), AttrI(ATTR_TEXT_JUSTIFY, VAL_RIGHT_JUSTIFIED)},
     .width = 90},
    {.id = &P_TIM_TEXTMSG_4, .constName = "TEXTMSG_4", .kind = CTRL_TEXT_MSG, .label = "", .top = 256,
     .left = kUnitLeft, .callback = nullptr, .look = kText, .attrs = {AttrS(ATTR_DFLT_VALUE, "\xC2\xB5s")},
     .width = 40},
    {.id = &P_TIM_GRAPH_BURST, .constName = "GRAPH_BURST", .kind = CTRL_GRAPH, .label = "", .top = 282,
     .left = 10, .callback = nullptr, .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrS(ATTR_XNAME, ""), AttrS(ATTR_YNAME, ""),
               AttrI(ATTR_XLABEL_VISIBLE, 0), AttrI(ATTR_YLABEL_VISIBLE, 0), AttrI(ATTR_PLOT_BGCOLOR, 0xF0F0F0),
               AttrI(ATTR_GRID_VISIBLE, 0)},
     .height = 170, .width = 355},
    {.id = &P_TIM_TEXTMSG_PTIME, .constName = "TEXTMSG_PTIME", .kind = CTRL_TEXT_MSG, .label = "", .top = 8,
     .left = 10, .callback = nullptr, .look = kText,
     .attrs = {AttrS(ATTR_DFLT_VALUE, "Envelope and Timing"), AttrI(ATTR_TEXT_BOLD, 1),
               AttrI(ATTR_TEXT_POINT_SIZE, 14)}},
    {.id = &P_TIM_TEXTMSG, .constName = "TEXTMSG", .kind = CTRL_TEXT_MSG, .label = "", .top = 236,
     .left = kNumLeft, .callback = nullptr, .look = kText, .attrs = {AttrS(ATTR_DFLT_VALUE, "___________________")}},
    {.id = &P_TIM_TAB_IMPORT, .constName = "TAB_IMPORT", .kind = CTRL_TAB, .label = "", .top = 36, .left = 372,
     .callback = nullptr, .look = nullptr, .attrs = {}, .height = 418, .width = 350},
};
#undef CZ_NUM
#undef CZ_UNIT
#undef CZ_EDGE

struct RingItem {
  const char* label;
  int value;
};
constexpr RingItem kUnitItems[] = {{"s", UNIT_S}, {"ms", UNIT_MS}, {"us", UNIT_US}, {"ns", UNIT_NS}};
constexpr RingItem kEdgeItems[] = {
    {"Linear", EDGE_LINEAR}, {"Cos", EDGE_RCOS}, {"Root Cos", EDGE_RRCOS}, {"Square Root", EDGE_SQROOT}};
constexpr RingItem kPrfItems[] = {{"PRF", UNIT_PRF}, {"PRI", UNIT_PRI}};

struct RingFill {
  const int* ring;
  const RingItem* items;
  int count;
};
const RingFill kRings[] = {
    {&P_TIM_RING_PREDELAY, kUnitItems, 4}, {&P_TIM_RING_RISE, kUnitItems, 4}, {&P_TIM_RING_ERISE, kEdgeItems, 4},
    {&P_TIM_RING_ON, kUnitItems, 4},       {&P_TIM_RING_FALL, kUnitItems, 4}, {&P_TIM_RING_EFALL, kEdgeItems, 4},
    {&P_TIM_RING_BLANK, kUnitItems, 4},    {&P_TIM_RING_PRFPRI, kPrfItems, 2},
};

// The four pages in their fixed order: the start-up finds them by index.
struct EnvelopePageRow {
  int (*builder)(int);
  TabPageDef look;
};
const EnvelopePageRow kPages[] = {
    {BuildEnvelopeImportPanel, {"Import", 0xE0E0E0, -1, nullptr, 0, kIconSettings}},
    {BuildEnvelopeAmplitudePanel, {"Amplitude data", 0xE0E0E0, -1, nullptr, 0, kImageList}},
    {BuildEnvelopeIqDataPanel, {"I/Q data", 0xE0E0E0, -1, nullptr, 0, kImageList}},
    {BuildEnvelopeViewPanel, {"View", 0xE0E0E0, -1, nullptr, 0, kImagePulse}},
};

// Keyboard order: rows 1 to 16 and RADIO_PRF of the control table.
const int* const kFocus[] = {&P_TIM_RADIO_ARBENVEL, &P_TIM_NUM_PREDELAY, &P_TIM_RING_PREDELAY, &P_TIM_NUM_RISE,
                             &P_TIM_RING_RISE,      &P_TIM_RING_ERISE,   &P_TIM_NUM_ON,        &P_TIM_RING_ON,
                             &P_TIM_NUM_FALL,       &P_TIM_RING_FALL,    &P_TIM_RING_EFALL,    &P_TIM_NUM_BLANK,
                             &P_TIM_RING_BLANK,     &P_TIM_RADIO_BLANK,  &P_TIM_RING_PRFPRI,   &P_TIM_NUM_PRF,
                             &P_TIM_RADIO_PRF};
const int* const kFront[] = {&P_TIM_TAB_IMPORT, &P_TIM_GRAPH_BURST, &P_TIM_TEXTMSG, &P_TIM_STR_TOTAL};

// Items are added after the rings exist, so each ring is reset to its
// default afterwards (the default names an item value).
int FillRings(int panel) {
  for (const RingFill& fill : kRings) {
    for (int i = 0; i < fill.count; ++i)
      CZ_UI_TRY(InsertListItem(panel, *fill.ring, -1, fill.items[i].label, fill.items[i].value));
    CZ_UI_TRY(DefaultCtrl(panel, *fill.ring));
  }
  return 0;
}

// The diagram's axes: 0..100 everywhere; bottom X and left Y fixed, the
// other two follow their plots.
int SetDiagramAxes(int panel, int graph) {
  CZ_UI_TRY(SetAxisScalingMode(panel, graph, VAL_BOTTOM_XAXIS, VAL_MANUAL, 0.0, 100.0));
  CZ_UI_TRY(SetAxisScalingMode(panel, graph, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, 100.0));
  CZ_UI_TRY(SetAxisScalingMode(panel, graph, VAL_TOP_XAXIS, VAL_AUTOSCALE, 0.0, 100.0));
  CZ_UI_TRY(SetAxisScalingMode(panel, graph, VAL_RIGHT_YAXIS, VAL_AUTOSCALE, 0.0, 100.0));
  return 0;
}

}  // namespace

// Panel, controls, ring items, diagram axes, the four pages, stacking and
// focus order, fit; the first failing call ends the build with its status.
int BuildPulseTimingPanel(int parent) {
  const int panel = PanelBuild_NewPanel(parent, kTimingPanel);
  CZ_UI_TRY(panel);
  CZ_UI_TRY(PanelBuild_Controls(panel, kTimingCtrls, static_cast<int>(std::size(kTimingCtrls))));
  CZ_UI_TRY(FillRings(panel));
  CZ_UI_TRY(SetDiagramAxes(panel, P_TIM_GRAPH_BURST));
  for (const EnvelopePageRow& page : kPages)
    CZ_UI_TRY(PanelBuild_InsertPage(panel, P_TIM_TAB_IMPORT, page.builder, page.look));
  CZ_UI_TRY(PanelBuild_Order(panel, kFront, static_cast<int>(std::size(kFront)), kFocus,
                             static_cast<int>(std::size(kFocus))));
  CZ_UI_TRY(PanelBuild_Fit(panel, kTimingPanel, 0));
  return panel;
}
