// Control ids of the pulse editor's marker page P_MARKER, written by
// BuildPulseMarkerPanel as each control is created (-1 before).
// R_M1_DELAY's id lives with the other sub-panels' first controls in
// app/PanelIds.h.
#pragma once

#include "app/PanelIds.h"
#include "app/PulseRecord.h"

extern int P_MARKER_R_M1_RESTART;
extern int P_MARKER_R_M1_RISE;
extern int P_MARKER_R_M1_ON;
extern int P_MARKER_R_M1_FALL;
extern int P_MARKER_R_M1_OFF;
extern int P_MARKER_R_M2_RESTART;
extern int P_MARKER_R_M2_DELAY;
extern int P_MARKER_R_M2_RISE;
extern int P_MARKER_R_M2_ON;
extern int P_MARKER_R_M2_FALL;
extern int P_MARKER_R_M2_OFF;
extern int P_MARKER_R_M3_RESTART;
extern int P_MARKER_R_M3_DELAY;
extern int P_MARKER_R_M3_RISE;
extern int P_MARKER_R_M3_ON;
extern int P_MARKER_R_M3_FALL;
extern int P_MARKER_R_M3_OFF;
extern int P_MARKER_R_M4_RESTART;
extern int P_MARKER_R_M4_DELAY;
extern int P_MARKER_R_M4_RISE;
extern int P_MARKER_R_M4_ON;
extern int P_MARKER_R_M4_FALL;
extern int P_MARKER_R_M4_OFF;
extern int P_MARKER_TEXTMSG_17;
extern int P_MARKER_TEXTMSG_11;
extern int P_MARKER_TEXTMSG_9;
extern int P_MARKER_TEXTMSG_8;
extern int P_MARKER_TEXTMSG_7;
extern int P_MARKER_TEXTMSG_6;
extern int P_MARKER_TEXTMSG_18;
extern int P_MARKER_TEXTMSG_16;
extern int P_MARKER_TEXTMSG_15;
extern int P_MARKER_TEXTMSG_14;
extern int P_MARKER_TEXTMSG_4;
extern int P_MARKER_GRAPH_BURST;
extern int P_MARKER_TEXTMSG_13;
extern int P_MARKER_STR_TXT_10;
extern int P_MARKER_STR_TXT_8;
extern int P_MARKER_STR_TXT_6;
extern int P_MARKER_STR_TXT_9;
extern int P_MARKER_STR_TXT_7;
extern int P_MARKER_STR_TXT_5;

// The grid buttons by marker (0..3) and part (MarkerPart: delay, rise, on,
// fall, off, restart): the ids' globals.
extern int* const kMarkerGrid[kMarkers][kMarkerParts];

// Builds P_MARKER as a child of parent (TAB_PEDIT); the handle or the first
// negative run-time status.
int BuildPulseMarkerPanel(int parent);
