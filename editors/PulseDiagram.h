// The explanatory diagrams of one pulse period on P_TIM's and P_MARKER's
// GRAPH_BURST (a fixed schematic in the graphs' 0..100 axis square), and
// the engineering-unit helpers that the editors use to show times.
#pragma once

// One labelled two-headed arrow from x1 to x2 at height y (graph units).
void DrawTimingArrow(int x1, int x2, int y, const char* label);  // P_TIM GRAPH_BURST
void DrawMarkerArrow(int x1, int x2, int y, const char* label);  // P_MARKER GRAPH_BURST

// Clears the graph and draws the pulse outline, the period boundaries and
// the arrows: the timing diagram has a "PRF/PRI" arrow, the marker diagram
// does not. A graph that is not built (handle or id not positive) is left.
void DrawTimingDiagram();
void DrawMarkerDiagram();
// The diagram on any graph; prfArrow adds the "PRF/PRI" arrow.
void PulseDiagram_Draw(int panel, int graph, bool prfArrow);

// Splits a time in seconds into a mantissa and one of the exponents 0, -3,
// -6, -9 (by its magnitude; 0 gives 0 and -6).
void ToEngineeringUnits(double seconds, double* mantissa, int* exponent);
// "s", "ms", "µs", "ns" for 0, -3, -6, -9; " " for anything else.
const char* TimeUnitText(int exponent);
