// Control ids of the pulse editor's timing and envelope sub-panel P_TIM,
// written by BuildPulseTimingPanel as it creates each control.
// P_TIM_RING_PREDELAY (the panel's first control) is declared with the
// other sub-panels' first controls in app/PanelIds.h.
#pragma once

#include "app/Keywords.h"
#include "app/PanelIds.h"

extern int P_TIM_RADIO_ARBENVEL;
extern int P_TIM_NUM_PREDELAY;
extern int P_TIM_NUM_RISE;
extern int P_TIM_RING_RISE;
extern int P_TIM_RING_ERISE;
extern int P_TIM_NUM_ON;
extern int P_TIM_RING_ON;
extern int P_TIM_NUM_FALL;
extern int P_TIM_RING_FALL;
extern int P_TIM_RING_EFALL;
extern int P_TIM_NUM_BLANK;
extern int P_TIM_RING_BLANK;
extern int P_TIM_RADIO_BLANK;
extern int P_TIM_RING_PRFPRI;
extern int P_TIM_NUM_PRF;
extern int P_TIM_TXT_UNIT;
extern int P_TIM_RADIO_PRF;
extern int P_TIM_STR_TOTAL;
extern int P_TIM_TEXTMSG_4;
extern int P_TIM_GRAPH_BURST;
extern int P_TIM_TEXTMSG_PTIME;
extern int P_TIM_TEXTMSG;
extern int P_TIM_TAB_IMPORT;

// Items of the unit rings: the value is the power of ten that turns the
// number beside the ring into seconds.
enum TimeUnitExponent { UNIT_S = 0, UNIT_MS = -3, UNIT_US = -6, UNIT_NS = -9 };
// Items of the edge rings carry the pulse's edge shape codes (EdgeType).
// Items of RING_PRFPRI.
enum PrfPriItem { UNIT_PRF = 0, UNIT_PRI = 1 };
