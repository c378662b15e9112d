// Panel handles and control ids that the panel builders store and the
// application core uses. A builder sets each global when it creates the
// panel or control; until then a handle is 0 and a control id -1.
#pragma once

// Main window.
extern int PANEL_MAIN;
extern int PANEL_MAIN_PROG_TASK;
extern int PANEL_MAIN_PROG_TOTAL;
extern int PANEL_MAIN_TXT_ERR;

// Tab pages of the main window and their controls.
extern int TAB_SEDIT;
extern int TAB_SEDIT_CMD_STOP;
extern int TAB_MSEG;
extern int TAB_MSEG_CMD_STOP;
extern int TAB_LOG;
extern int TAB_LOG_TEX_LOG;

// Preferences dialog and its General page.
extern int PREFERENCE;
extern int GENERAL;
extern int GENERAL_STR_TEMPDIR;
extern int GENERAL_TREE_TMP;
extern int GENERAL_CHK_AUTOSAVE;
extern int GENERAL_CHK_TRACE;

// Instrument Manager dialog.
extern int INSTRMAN;
extern int INSTRMAN_NUM_BRD;
extern int INSTRMAN_STR_LAN_DOMAIN;
extern int INSTRMAN_RING_INT;
extern int INSTRMAN_STR_VISA_COMMENT;
extern int INSTRMAN_STR_2;
extern int INSTRMAN_RING_DEV;
extern int INSTRMAN_STR_1;
extern int INSTRMAN_NUM_SEL1;
extern int INSTRMAN_NUM_SEL2;

// Controls of later pages and dialogs that the library commands and the
// plug-in fillers reach.
extern int TAB_SEDIT_CMD_GENERATE;
extern int TAB_RFLIST_CMD_UPLOAD;
extern int DATALOG;
extern int DATALOG_RING_REPORTTYPE;
extern int FILTER;
extern int FILTER_TREE_FILTER;
// First control of each pulse editor sub-panel (input focus on a page change).
extern int P_TIM_RING_PREDELAY;
extern int P_JIT_RADIO_JITTER1;
extern int P_MISC_NUM_LEVEL;
extern int P_MARKER_R_M1_DELAY;
