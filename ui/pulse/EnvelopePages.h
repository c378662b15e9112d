// The four custom-envelope pages of P_TIM's tab control TAB_IMPORT and the
// ids of their controls. The builders make top-level panels that
// BuildPulseTimingPanel inserts as pages 0 to 3 and then discards; the page
// handles T_IMP, T_ENV, T_IQ and T_VIEW are fetched from the tab control by
// the start-up (EnvelopePages_FetchHandles). The control ids stay valid on
// the pages.
#pragma once

// Page handles (0 until fetched).
extern int T_IMP;
extern int T_ENV;
extern int T_IQ;
extern int T_VIEW;

extern int T_VIEW_GRAPH_ENVSHAPE;
extern int T_VIEW_STR_ENVMIN;
extern int T_VIEW_STR_ENVPOINTS;
extern int T_VIEW_TEXTMSG_56;
extern int T_VIEW_TEXTMSG_55;
extern int T_VIEW_TEXTMSG_54;
extern int T_VIEW_STR_ENVMAX;
extern int T_IQ_TABLE_ARBENVEL;
extern int T_ENV_TABLE_ARBENVEL;
extern int T_IMP_CMD_IMPORTARBENV;
extern int T_IMP_RING_IMPORTMODE;
extern int T_IMP_NUM_IMP_COL_ENV_2;
extern int T_IMP_NUM_IMP_COL_ENV;
extern int T_IMP_CMD_ENV_CLEARALL;
extern int T_IMP_TEXTMSG_59;

// Items of RING_IMPORTMODE.
enum EnvelopeImportMode { IMPORT_LEVEL = 0, IMPORT_IQ = 1 };

// Page order of TAB_IMPORT.
enum EnvelopePage { ENV_PAGE_IMPORT = 0, ENV_PAGE_AMPLITUDE = 1, ENV_PAGE_IQ = 2, ENV_PAGE_VIEW = 3 };

int BuildEnvelopeImportPanel(int parent);     // T_IMP
int BuildEnvelopeAmplitudePanel(int parent);  // T_ENV
int BuildEnvelopeIqDataPanel(int parent);     // T_IQ
int BuildEnvelopeViewPanel(int parent);       // T_VIEW

// Takes the four page handles from P_TIM's TAB_IMPORT by page index. 0 on
// success, else the 1-based number of the first page whose handle could not
// be had (the start-up's "Failed to load custom envelope panel (n).").
int EnvelopePages_FetchHandles(int timingPanel);
