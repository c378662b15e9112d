// The "RF List" tab page TAB_RFLIST: name, comment, remote file, dwell time
// and baseband path of one RF list, its 10,000-point table, the frequency
// and level generators, the limits of the report, and the buttons of the
// RF list editor (editors/RfListEditor.h), which fills the page.
#pragma once

// Builds the page as a top-level panel (parent 0 when BuildMainPanel calls
// it). The table has one row when built. Returns the panel handle or the
// first negative status of a run-time call.
int BuildRfListPanel(int parent);

// Start-up preparation of the inserted page TAB_RFLIST: the table gets its
// 10,000 rows (one per point) with the entry numbers 1..10,000, and the
// frames of the name, comment and remote-file fields become transparent.
// Returns 0 or the first negative status.
int PrepareRfListPage();

// Columns of TABLE_RFLIST (1-based).
enum RfListColumn { RFLIST_COL_ENTRY = 1, RFLIST_COL_FREQUENCY = 2, RFLIST_COL_LEVEL = 3 };

// Control ids of the page (TAB_RFLIST_CMD_UPLOAD is in app/PanelIds.h);
// -1 until the page is built.
extern int TAB_RFLIST_STR_NAME;
extern int TAB_RFLIST_CMD_RFLIST_DEL;
extern int TAB_RFLIST_NUM_DWELL;
extern int TAB_RFLIST_NUM_LEN;
extern int TAB_RFLIST_CMD_FSEL_RFLIST;
extern int TAB_RFLIST_CMD_RFLIST_ADD;
extern int TAB_RFLIST_NUM_LMIN_2;
extern int TAB_RFLIST_NUM_MIN_2;
extern int TAB_RFLIST_NUM_LMIN;
extern int TAB_RFLIST_NUM_MIN;
extern int TAB_RFLIST_NUM_LMAX_2;
extern int TAB_RFLIST_NUM_MAX_2;
extern int TAB_RFLIST_NUM_LMAX;
extern int TAB_RFLIST_NUM_MAX;
extern int TAB_RFLIST_NUM_STEP_2;
extern int TAB_RFLIST_NUM_STEP;
extern int TAB_RFLIST_RING_BB;
extern int TAB_RFLIST_CB_ACTIVATE;
extern int TAB_RFLIST_TABLE_RFLIST;
extern int TAB_RFLIST_CMD_PRINTLIST;
extern int TAB_RFLIST_CMD_RFLIST_DOWN;
extern int TAB_RFLIST_CMD_RFLIST_UP;
extern int TAB_RFLIST_DECORATION_5;
extern int TAB_RFLIST_CMD_SETLEN;
extern int TAB_RFLIST_CMD_IMPORT;
extern int TAB_RFLIST_CMD_FILLLIST_2;
extern int TAB_RFLIST_CMD_FILLLIST;
extern int TAB_RFLIST_CMD_RESET;
extern int TAB_RFLIST_STR_FILE;
extern int TAB_RFLIST_STR_COMMENT;
extern int TAB_RFLIST_RING_DMODE_2;
extern int TAB_RFLIST_RING_DMODE;
extern int TAB_RFLIST_TEXTMSG_4;
extern int TAB_RFLIST_TEXTMSG;
extern int TAB_RFLIST_TEXTMSG_10;
extern int TAB_RFLIST_TEXTMSG_11;
extern int TAB_RFLIST_TEXTMSG_9;
extern int TAB_RFLIST_TEXTMSG_12;
extern int TAB_RFLIST_TEXTMSG_8;
extern int TAB_RFLIST_STR_TXT_6;
extern int TAB_RFLIST_STR_TXT_8;
extern int TAB_RFLIST_STR_TXT_7;
extern int TAB_RFLIST_STR_TXT_5;
