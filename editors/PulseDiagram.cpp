// The timing and marker diagrams: a fixed schematic of one pulse period in
// graph units (both graphs are scaled 0..100 on every axis), and the
// engineering-unit split of times for the editors' number + unit-ring pairs.
#include "editors/PulseDiagram.h"

#include <cmath>

#include "app/PulsePanelIds.h"
#include "platform/ui/UserInterface.h"
#include "ui/pulse/MarkerPanel.h"
#include "ui/pulse/TimingPanel.h"

namespace {

constexpr int kOutlineColor = 0x505080;
constexpr int kBoundaryColor = 0x505050;
constexpr int kArrowColor = 0x406090;
constexpr int kHead = 3;        // arrow head length and half width, graph units
constexpr int kLabelRise = 5;   // label above the shaft's left end

// Shaft, two heads of 3 units, and the label 5 units above the left end.
void DrawArrow(int panel, int graph, int x1, int x2, int y, const char* label) {
  PlotLine(panel, graph, x1, y, x2, y, kArrowColor);
  PlotLine(panel, graph, x1, y, x1 + kHead, y + kHead, kArrowColor);
  PlotLine(panel, graph, x1, y, x1 + kHead, y - kHead, kArrowColor);
  PlotLine(panel, graph, x2, y, x2 - kHead, y + kHead, kArrowColor);
  PlotLine(panel, graph, x2, y, x2 - kHead, y - kHead, kArrowColor);
  PlotText(panel, graph, x1, y + kLabelRise, label, "Arial", kArrowColor, VAL_TRANSPARENT);
}

// The trapezoid: delay, rise, on, fall, off.
struct Segment {
  int x1, y1, x2, y2;
};
constexpr Segment kOutline[] = {{0, 30, 30, 30}, {30, 30, 40, 60}, {40, 60, 60, 60}, {60, 60, 70, 30}, {70, 30, 100, 30}};
constexpr Segment kBoundaries[] = {{10, 5, 10, 95}, {90, 5, 90, 95}};

struct Arrow {
  int x1, x2, y;
  const char* label;
};
constexpr Arrow kPhaseArrows[] = {
    {10, 30, 70, "Delay"}, {30, 40, 70, "Rise"}, {40, 60, 70, "On"}, {60, 70, 70, "Fall"}, {70, 90, 70, "Off"}};
constexpr Arrow kPeriodArrow = {10, 90, 10, "PRF/PRI"};

}  // namespace

void DrawTimingArrow(int x1, int x2, int y, const char* label) {
  DrawArrow(P_TIM, P_TIM_GRAPH_BURST, x1, x2, y, label);
}

void DrawMarkerArrow(int x1, int x2, int y, const char* label) {
  DrawArrow(P_MARKER, P_MARKER_GRAPH_BURST, x1, x2, y, label);
}

void PulseDiagram_Draw(int panel, int graph, bool prfArrow) {
  if (panel <= 0 || graph <= 0) return;
  // Cleared first, so repeated draws leave exactly one diagram.
  DeleteGraphPlot(panel, graph, VAL_ALL_PLOTS, VAL_IMMEDIATE_DRAW);
  for (const Segment& s : kOutline) PlotLine(panel, graph, s.x1, s.y1, s.x2, s.y2, kOutlineColor);
  for (const Segment& s : kBoundaries) PlotLine(panel, graph, s.x1, s.y1, s.x2, s.y2, kBoundaryColor);
  if (prfArrow) DrawArrow(panel, graph, kPeriodArrow.x1, kPeriodArrow.x2, kPeriodArrow.y, kPeriodArrow.label);
  for (const Arrow& a : kPhaseArrows) DrawArrow(panel, graph, a.x1, a.x2, a.y, a.label);
}

void DrawTimingDiagram() { PulseDiagram_Draw(P_TIM, P_TIM_GRAPH_BURST, true); }

void DrawMarkerDiagram() { PulseDiagram_Draw(P_MARKER, P_MARKER_GRAPH_BURST, false); }

// The decision uses the magnitude; a negative time keeps its sign in the
// mantissa. The exponents are the unit rings' item values.
void ToEngineeringUnits(double seconds, double* mantissa, int* exponent) {
  const double a = std::fabs(seconds);
  double m = 0.0;
  int e = -6;  // a zero time shows as 0 us
  if (a == 0.0) {
    m = 0.0;
  } else if (a >= 1.0) {
    m = seconds, e = 0;
  } else if (a >= 0.001) {
    m = seconds * 1000.0, e = -3;
  } else if (a >= 1e-6) {
    m = seconds * 1e6, e = -6;
  } else {
    m = seconds * 1e9, e = -9;
  }
  if (mantissa != nullptr) *mantissa = m;
  if (exponent != nullptr) *exponent = e;
}

const char* TimeUnitText(int exponent) {
  switch (exponent) {
    case 0: return "s";
    case -3: return "ms";
    case -6: return "\xC2\xB5s";  // micro sign, UTF-8
    case -9: return "ns";
    default: return " ";
  }
}
