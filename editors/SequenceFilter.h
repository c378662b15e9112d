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

// Called by every refresh of the Sequence Editor: both dialogs show seq,
// except an open dialog that holds seq already, which keeps the choices
// the user has not accepted yet. Returns the report ring's item of seq's
// report (0 "OFF").
int ShowSequenceInDialogs(const SequenceRecord& seq);

// Control callback of CMD_LOG: fills DATALOG from the shown sequence and
// shows it on commit. Returns 0.
int SequenceReportCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);

// ID of the sequence whose settings each dialog holds (the one it was last
// filled from); 0 when it holds none. Accept and Apply write only into that
// record, so that a dialog left open never writes into another one.
extern uint32_t ReportDialogSequenceId;
extern uint32_t FilterDialogSequenceId;
// Slot of the sequence a dialog holds (id as above); -1 when it holds none
// or that sequence is gone.
int SequenceDialogSlot(uint32_t id);
// Hides both dialogs and forgets their sequences: the project was replaced
// or extended, or the sequence they show was deleted.
void CloseSequenceDialogs();
