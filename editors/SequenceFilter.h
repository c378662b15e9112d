// The shown sequence's settings in its two dialogs: the Baseband Filter
// dialog FILTER (SequenceFilterCb, also run by every refresh of the
// Sequence Editor without showing the dialog) and the Report Generation
// dialog DATALOG (LoadSequenceReportSettings, SequenceReportCb).
#pragma once

#include "app/Records.h"

// Item of RING_REPORTTYPE for a sequence: 0 "OFF" while its report is off,
// 1 "Text" for the text report (no plug-in name), else the index of the
// first item from 2 on whose label is the plug-in name. -1 when no item
// carries that name. labels[k] is item k's label.
int ReportRingIndex(const SequenceRecord& seq, const char* const* labels, int labelCount);

// Control callback of CMD_FILTER on TAB_SEDIT; RefreshSequenceEditor calls
// it with panel 0, control 0 and EVENT_COMMIT. Loads the current
// sequence's filter settings into FILTER and shows the dialog only when
// the event came from CMD_FILTER. Returns 0.
int SequenceFilterCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);

// DATALOG from seq: the format ring, the report file and the 18 column
// boxes. A report plug-in that is not loaded shows "OFF"; the record is not
// changed. Returns the ring's item shown (0 "OFF").
int LoadSequenceReportSettings(const SequenceRecord& seq);

// Control callback of CMD_LOG: shows DATALOG on commit. Returns 0.
int SequenceReportCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
