// Control ids of the pulse editor's jitter page P_JIT, written by
// BuildJitterPanel as each control is created (-1 before). RADIO_JITTER1's
// id lives with the other sub-panels' first controls in app/PanelIds.h.
#pragma once

#include "app/PanelIds.h"

extern int P_JIT_RING_JITTER1_MODE;
extern int P_JIT_RING_JITTER1_DTYPE;
extern int P_JIT_TABLE_JITVAL;
extern int P_JIT_NUM_JITTER_MIN;
extern int P_JIT_NUM_JITTER_MAX;
extern int P_JIT_NUM_JITTER_NCNT;
extern int P_JIT_NUM_JITTER_STEP;
extern int P_JIT_RADIO_JITTER2;
extern int P_JIT_RING_JITTER2_MODE;
extern int P_JIT_RING_JITTER2_DTYPE;
extern int P_JIT_DECORATION;
extern int P_JIT_RADIO_JITTER4;
extern int P_JIT_RADIO_JITTER3;
extern int P_JIT_TEXTMSG_59;
extern int P_JIT_TEXTMSG_58;
extern int P_JIT_TEXTMSG_57;
extern int P_JIT_RING_JITTER4_MODE;
extern int P_JIT_RING_JITTER4_DTYPE;
extern int P_JIT_TEXTMSG_19;
extern int P_JIT_RING_JITTER3_MODE;
extern int P_JIT_RING_JITTER3_DTYPE;
extern int P_JIT_TXT_UNIT_2;
extern int P_JIT_CMD_JIT4;
extern int P_JIT_GRAPH_JITSHAPE;
extern int P_JIT_CMD_JIT1;
extern int P_JIT_CMD_JIT2;
extern int P_JIT_CMD_JIT3;
extern int P_JIT_CMD_JITTER_IMP;
extern int P_JIT_CMD_JITTER_RESCALE;
extern int P_JIT_CMD_JITTER_CLEARALL;
extern int P_JIT_NUM_SCALE_OFFSET;
extern int P_JIT_NUM_SCALE_GAIN;
extern int P_JIT_NUM_IMP_COL;
extern int P_JIT_STR_JITMAX;
extern int P_JIT_STR_JITMIN;
extern int P_JIT_STR_JITPOINTS;
extern int P_JIT_TEXTMSG_13;
extern int P_JIT_TEXTMSG_56;
extern int P_JIT_TEXTMSG_55;
extern int P_JIT_TEXTMSG_54;
extern int P_JIT_STR_TXT_9;
extern int P_JIT_STR_TXT_8;
extern int P_JIT_STR_TXT_6;
extern int P_JIT_STR_TXT_7;
extern int P_JIT_STR_TXT_5;

// Target ring items in list order (label, JitterParam code); the list order
// is not the code order.
struct JitterRingItem {
  const char* label;
  int value;
};
inline constexpr int kJitterTargetItems = 13;
extern const JitterRingItem kJitterTargetRing[kJitterTargetItems];
// Distribution ring items, value = position (JitterDist code 0..8).
inline constexpr int kJitterDistItems = 9;
extern const JitterRingItem kJitterDistRing[kJitterDistItems];

// Builds P_JIT as a child of parent (TAB_PEDIT); the handle or the first
// negative run-time status.
int BuildJitterPanel(int parent);
