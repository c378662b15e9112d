// Control ids of the pulse editor's level, noise, phase and frequency
// sub-panel P_MISC, written by BuildPulseMiscPanel. P_MISC_NUM_LEVEL (the
// panel's first control) is declared in app/PanelIds.h.
#pragma once

#include "app/PanelIds.h"

extern int P_MISC_NUM_LEVELOFF;
extern int P_MISC_NUM_AWGNLEV;
extern int P_MISC_NUM_LEVELDROOP;
extern int P_MISC_NUM_PHASE;
extern int P_MISC_NUM_AWGNBW;
extern int P_MISC_NUM_FREQ;
extern int P_MISC_TEXTMSG_20;
extern int P_MISC_TEXTMSG;
extern int P_MISC_TEXTMSG_2;
extern int P_MISC_TEXTMSG_14;
extern int P_MISC_TEXTMSG_19;
extern int P_MISC_TEXTMSG_10;
extern int P_MISC_TEXTMSG_17;
extern int P_MISC_TEXTMSG_18;
extern int P_MISC_TEXTMSG_16;
extern int P_MISC_TEXTMSG_15;
extern int P_MISC_TEXTMSG_3;
extern int P_MISC_CHK_AWGN;
extern int P_MISC_CHK_CONTPHASE;
extern int P_MISC_CMD_P_HIDE;
