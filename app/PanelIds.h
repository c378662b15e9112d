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

// ---- main window: library tree, buttons, project fields, tab control
extern int PANEL_MAIN_TREE_PULSES;
extern int PANEL_MAIN_CMD_COPY;
extern int PANEL_MAIN_CMD_DEL;
extern int PANEL_MAIN_CMD_SENTRY_UP;
extern int PANEL_MAIN_CMD_SENTRY_DOWN;
extern int PANEL_MAIN_CMD_ADD;
extern int PANEL_MAIN_CMD_ADD_P;
extern int PANEL_MAIN_STR_PROJECT;
extern int PANEL_MAIN_STR_NAME;
extern int PANEL_MAIN_STR_DATE;
extern int PANEL_MAIN_STR_VERSION;
extern int PANEL_MAIN_TAB;

// Pages of PANEL_MAIN_TAB by page number (the MainTabPage values 0..7 of
// app/LibraryTree.h). A page is inserted only when its builder is part of
// the program, so the tab index of a page can differ from its number while
// pages are missing: every call that addresses a page by index goes through
// MainTabIndex. -1 for a page that is not in the tab control.
inline constexpr int kMainTabPages = 8;
extern int PANEL_MAIN_TAB_PAGE_INDEX[kMainTabPages];
int MainTabIndex(int page);

// Menu bar of the main window: menus and items (separators included).
extern int MBAR_FILE;
extern int MBAR_FILE_NEWPRJ;
extern int MBAR_FILE_LOADPRJ;
extern int MBAR_FILE_SEPARATOR;
extern int MBAR_FILE_SAVEPRJ;
extern int MBAR_FILE_SAVEPRJAS;
extern int MBAR_FILE_SEPARATOR_2;
extern int MBAR_FILE_EXIT;
extern int MBAR_PULSE;
extern int MBAR_PULSE_PNEW;
extern int MBAR_PULSE_PIMPORT;
extern int MBAR_PULSE_SEPARATOR_3;
extern int MBAR_PULSE_SNEW;
extern int MBAR_PULSE_SEGNEW;
extern int MBAR_PULSE_RFLISTNEW;
extern int MBAR_PRJ;
extern int MBAR_PRJ_DSRC;
extern int MBAR_PRJ_SEPARATOR_4;
extern int MBAR_PRJ_HIDE;
extern int MBAR_INSTR;
extern int MBAR_INSTR_INSTRSETUP;
extern int MBAR_OPT;
extern int MBAR_OPT_PREF;
extern int MBAR_HELP;
extern int MBAR_HELP_ABOUT;

// Page handles fetched from PANEL_MAIN_TAB at start-up (0 while absent).
extern int TAB_PEDIT;
extern int TAB_VIEW;
extern int TAB_RFLIST;
extern int TAB_INSTR;
extern int TAB_INFO;

// Pulse Editor page.
extern int TAB_PEDIT_STR_COMMENT;
extern int TAB_PEDIT_STR_NAME;
extern int TAB_PEDIT_STR_PMSG;
extern int TAB_PEDIT_STR_TXT_6;
extern int TAB_PEDIT_RING_USEDPULSE;

// Log page.
extern int TAB_LOG_CMD_CLR;
extern int TAB_LOG_TEXTMSG;

// Plugin Info page.
extern int TAB_INFO_STR_AUTHOR;
extern int TAB_INFO_STR_VERSION;
extern int TAB_INFO_STR_NAME;
extern int TAB_INFO_TXT_COMMENT;

// About dialog.
extern int ABOUT;
extern int ABOUT_PICTURE;
extern int ABOUT_CMD_CLOSEABOUT;
extern int ABOUT_TEXTBOX_ABOUT;

// Preferences dialog: buttons, tab control and the Project Settings page.
extern int PREFERENCE_CMD_ACCEPT;
extern int PREFERENCE_CMD_CANCEL;
extern int PREFERENCE_TAB_SETTINGS;
extern int GENWV;
extern int GENWV_STR_DEF_LIN;
extern int GENWV_STR_DEF_WIN;
extern int GENWV_CHK_NOPRES;
extern int GENWV_CHK_REMMSEG;
extern int GENWV_CHK_IQSWAP;
extern int GENWV_CHK_MARKERS;
extern int GENWV_CHK_ZEROCRF;
