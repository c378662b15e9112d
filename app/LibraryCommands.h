// Commands that add, copy, delete and reorder the records of the project's
// tables: the Create menu's new-record items and the buttons beside the
// library tree. Each works on the static record tables, rebuilds the library
// tree and decides which editor pages are visible.
//
// The commands that act on the selected tree item find the record by the
// item's value (its ID; a pulse's page item stands for its pulse), so
// records of the same name are never mistaken for each other.
#pragma once

// Counters of the names "new-%d" (pulses, sequences) and "new%d"
// (multi-segment waveforms, RF lists): 1 at program start, one up per name
// given, never reset.
extern int NewPulseNameCounter;
extern int NewSequenceNameCounter;
extern int NewMultiSegmentNameCounter;
extern int NewRfListNameCounter;

// Create menu items; each acts only when menuItem is its own item.
void NewPulseCb(int menuBar, int menuItem, void* callbackData, int panel);
void NewSequenceCb(int menuBar, int menuItem, void* callbackData, int panel);
void NewMultiSegmentCb(int menuBar, int menuItem, void* callbackData, int panel);
void NewRfListCb(int menuBar, int menuItem, void* callbackData, int panel);

// Buttons beside the library tree; act on the commit event, return 0.
int AddPulseButtonCb(int panel, int control, int event, void* callbackData, int eventData1,
                     int eventData2);
int AddSequenceButtonCb(int panel, int control, int event, void* callbackData, int eventData1,
                        int eventData2);
int CopyLibraryItemCb(int panel, int control, int event, void* callbackData, int eventData1,
                      int eventData2);
int DeleteLibraryItemCb(int panel, int control, int event, void* callbackData, int eventData1,
                        int eventData2);
int MoveLibraryItemUpCb(int panel, int control, int event, void* callbackData, int eventData1,
                        int eventData2);
int MoveLibraryItemDownCb(int panel, int control, int event, void* callbackData, int eventData1,
                          int eventData2);

// The delete question, naming what goes ("Are you sure you want to delete
// the <kind> '<name>' ?", title "Delete Item"): the library's commands ask
// it, and so does the Delete key that removes a table's row. True for Yes.
bool ConfirmDelete(const char* kind, const char* name);
