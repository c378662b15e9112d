// The Multi Segment tab page TAB_MSEG: the name, comment and target name of
// one multi-segment waveform, its segment table TABLE_SETTINGS, the play
// settings (sequencing mode, clock, level, baseband path, last segment), the
// trigger group with Apply, Trigger and Query, and the Generate and Stop
// buttons. The page holds no logic: the multi-segment editor
// (editors/MultiSegmentEditor.h) fills it and stores the user's changes.
#pragma once

// Builds the page as a top-level panel (parent 0 when BuildMainPanel calls
// it, which then inserts it as tab page 3 "Multi Segment"). Returns the
// panel handle or the first negative status of a run-time call.
int BuildMultiSegmentPanel(int parent);

// Columns of TABLE_SETTINGS (1-based).
enum MultiSegmentColumn {
  MSW_COL_NO = 1,
  MSW_COL_REP = 2,
  MSW_COL_SEQUENCE = 3,
  MSW_COL_SAMPLES = 4,
  MSW_COL_TSTART = 5,
  MSW_COL_TSTOP = 6,
  MSW_COLUMNS = 6
};

// Control ids of the page (TAB_MSEG and TAB_MSEG_CMD_STOP are in
// app/PanelIds.h); -1 until the page is built.
extern int TAB_MSEG_NUM_DELAY;
extern int TAB_MSEG_NUM_NEXTSEG;
extern int TAB_MSEG_CMD_SENTRY_DEL;
extern int TAB_MSEG_NUM_ARBCLK;
extern int TAB_MSEG_STR_COMMENT;
extern int TAB_MSEG_CMD_SENTRY_NEW;
extern int TAB_MSEG_STR_MSNAME;
extern int TAB_MSEG_TABLE_SETTINGS;
extern int TAB_MSEG_CMD_QUERY;
extern int TAB_MSEG_CMD_TRIG;
extern int TAB_MSEG_CMD_SET;
extern int TAB_MSEG_CMD_GENERATE;
extern int TAB_MSEG_RING_TSRC;
extern int TAB_MSEG_RING_BB;
extern int TAB_MSEG_CMD_SENTRY_DOWN;
extern int TAB_MSEG_RING_ETRGMODE;
extern int TAB_MSEG_CMD_SENTRY_UP;
extern int TAB_MSEG_RING_TRGMODE;
extern int TAB_MSEG_RING_ARBLEV;
extern int TAB_MSEG_RING_SEQLAST;
extern int TAB_MSEG_RING_SEQMODE;
extern int TAB_MSEG_RING_ARBCLK;
extern int TAB_MSEG_STR_NAME;
extern int TAB_MSEG_DECORATION_2;
extern int TAB_MSEG_TEXTMSG_9;
extern int TAB_MSEG_TEXTMSG_8;
extern int TAB_MSEG_TEXTMSG_7;
extern int TAB_MSEG_TEXTMSG_5;
extern int TAB_MSEG_TEXTMSG_10;
extern int TAB_MSEG_TEXTMSG_4;
extern int TAB_MSEG_TEXTMSG_11;
extern int TAB_MSEG_TEXTMSG;
extern int TAB_MSEG_STR_TXT_6;
extern int TAB_MSEG_STR_TXT_5;
