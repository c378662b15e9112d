// The Report Generation dialog DATALOG and the current sequence: its
// control ids, the Accept and Cancel callbacks and the loading of a
// sequence's file and column boxes. The panel builder (ui/dialogs) writes
// the ids; DATALOG and DATALOG_RING_REPORTTYPE live in app/PanelIds.h.
#pragma once

#include "app/Records.h"

// Control ids, -1 until the builder creates the controls.
extern int DATALOG_STR_REPORTFILE;
extern int DATALOG_CMD_ACCEPT;
extern int DATALOG_CMD_CANCEL;
extern int DATALOG_CHK_REP_DELAY;
extern int DATALOG_CHK_REP_RISE;
extern int DATALOG_CHK_REP_ON;
extern int DATALOG_CHK_REP_FALL;
extern int DATALOG_CHK_REP_OFF;
extern int DATALOG_CHK_REP_PRFPRI;
extern int DATALOG_CHK_REP_FREQ;
extern int DATALOG_CHK_REP_PHASE;
extern int DATALOG_CHK_REP_LEVON;
extern int DATALOG_CHK_REP_LEVOFF;
extern int DATALOG_CHK_REP_DROOP;
extern int DATALOG_CHK_REP_RNO;
extern int DATALOG_CHK_REP_RCNT;
extern int DATALOG_CHK_REP_MSEG;
extern int DATALOG_CHK_REP_FMDEV;
extern int DATALOG_CHK_REP_TSTART;
extern int DATALOG_CHK_REP_FILLERS;
extern int DATALOG_CHK_REP_SENTRY;
extern int DATALOG_TEXTMSG_2;
extern int DATALOG_TEXTMSG_3;
extern int DATALOG_TEXTMSG_4;
extern int DATALOG_STR_TXT_5;
extern int DATALOG_STR_TXT_6;
extern int DATALOG_STR_TXT_7;

// The check box of each report flag, in the record's order
// (SequenceRecord::reportColumns, ReportColumn).
extern int* const kReportFlagBoxes[kReportColumns];

// What Accept stores, without the dialog: ring value 0 ("OFF") switches the
// report off and keeps the plug-in name; 1 ("Text") switches it on with no
// plug-in; any other value switches it on with pluginLabel (the label of
// the ring item with that value) as the plug-in name. file and the
// eighteen flags are stored in every case.
void ApplyReportSettings(SequenceRecord* seq, int ringValue, const char* pluginLabel, const char* file,
                         const int (&flags)[kReportColumns]);

// Writes seq's report file and its eighteen flags into DATALOG (the format
// ring is the sequence editor's, LoadSequenceReportSettings).
void ReportDialog_ShowSettings(const SequenceRecord& seq);

// CMD_ACCEPT: with a current sequence, stores the dialog into it, shows the
// report state in TAB_SEDIT LED_LOG and hides DATALOG. Returns 0.
int ReportAcceptCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
// CMD_CANCEL and the window's close box: hides DATALOG. Returns 0.
int ReportCancelCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
