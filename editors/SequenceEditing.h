// Editing the shown sequence in place on the Sequence Editor page: the
// cells of TABLE_SETTINGS (SequenceTableCb) and the header fields
// (SequenceEditCb). Both act only while CurrentSequence is a valid index.
//
// Clicks cycle the overlay mode ("Mode") and the marker modes ("M 1".."M 4")
// and open a ring in the "Pulse Object  " cell (fillers and pulse names)
// or a "Jitter n" cell (the six jitter modes); commits store what the user
// chose or typed: the ring choices, "Rep." (0..10,000) and a filler's
// "Tstop [us]  " (its end time, microseconds on screen, seconds stored).
#pragma once

// The table cell last clicked (not dimmed); an open ring lives only there.
// Both -1 at start and after every refresh of the page (which rewrites all
// rows as text). Marker clicks leave it unchanged.
struct SequenceCellRef {
  int column = -1;
  int row = -1;
};
extern SequenceCellRef SequenceEditCell;

// The next overlay mode after a click on "Mode" of row (1-based):
// 0 -> 1 (row 1 stays 0), 1 -> 2, 2 and any other value -> 0.
int NextOverlayMode(int mode, int row);
// Marker field cycle OFF -> 1ST -> LAST -> ALL -> OFF.
int NextMarkerField(int field);
// "Rep." as stored: the value limited to 0..10,000.
int LimitRepetitions(double value);

int SequenceTableCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int SequenceEditCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
