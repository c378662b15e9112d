// The Baseband Filter dialog FILTER: its control ids, its callbacks and the
// pure parts behind them (filter types by tree tag, the dimming of the
// fields a type does not use, the user coefficient import).
//
// The dialog edits the filter fields of the current sequence
// (SequenceTable[CurrentSequence]); the Sequence Editor fills it from the
// sequence and shows it. Cut-off frequencies are shown in MHz and stored
// in Hz.
#pragma once

#include <cstddef>
#include <vector>

// Control ids of FILTER (FILTER and FILTER_TREE_FILTER are in
// app/PanelIds.h); -1 until BuildBasebandFilterPanel creates them.
extern int FILTER_STR_USRCMT;
extern int FILTER_CMD_APPLY;
extern int FILTER_CMD_FLT_IMPORT;
extern int FILTER_CMD_ACCEPT;
extern int FILTER_RING_WINDOW;
extern int FILTER_NUM_FREQ;
extern int FILTER_NUM_ALPHA;
extern int FILTER_NUM_IMPULSEOVS;
extern int FILTER_NUM_IMPULSE;
extern int FILTER_NUM_OVS;
extern int FILTER_CMD_CANCEL;
extern int FILTER_CMD_BBFILTER;
extern int FILTER_TEXTMSG_5;
extern int FILTER_DECORATION;
extern int FILTER_TEXTMSG_7;
extern int FILTER_DECORATION_2;
extern int FILTER_GRAPH_FILTER;
extern int FILTER_TEXTMSG_6;

// Filter type codes of SequenceRecord::filterType.
enum BasebandFilterType {
  FILTER_TYPE_RECT = 1,
  FILTER_TYPE_RCOS = 2,
  FILTER_TYPE_COS = 3,
  FILTER_TYPE_GAUSS = 4,
  FILTER_TYPE_U_RECT = 5,
  FILTER_TYPE_U_RCOS = 6,
  FILTER_TYPE_U_COS = 7,
  FILTER_TYPE_U_GAUSS = 8,
  FILTER_TYPE_USER = 9
};

// Tree tag of a filter type 1..9 ("_FLT_RECT" .. "_FLT_USER"), null outside;
// the type of an exactly matching tag, 0 for any other tag (or null).
const char* BasebandFilter_TagOfType(int filterType);
int BasebandFilter_TypeOfTag(const char* tag);

// Which fields a checked filter item leaves in use, decided by substring
// tests on its tag: "_FLT_USER" uses neither cut-off nor roll-off, a
// Gaussian uses BT only (the cut-off field then shows the bandwidth that BT
// gives at the sequence clock), a rectangular one the cut-off only.
struct FilterFieldState {
  bool freqDimmed = false;
  bool alphaDimmed = false;
  bool freqFromAlpha = false;  // Gaussian: NUM_FREQ := BT x clock in MHz
};
FilterFieldState BasebandFilter_FieldState(const char* tag);

// User coefficients: one pair per line. The first number starts at the first
// digit, '-', '+' or '.'; the second at the next such character after the
// first number (digits, signs, '.', 'e', 'E'); without a second number both
// columns take the first, without any number the pair is 0, 0.
void BasebandFilter_ParseLine(const char* line, double* column1, double* column2);

// Reads up to kMaxUserFilterLength lines (CR, LF or CR LF; a UTF-8
// byte-order mark at the start skipped), one pair per line from its first
// 510 characters. Returns the number of pairs read (0 when no line holds a
// number), -1 when the file cannot be opened, -2 when it cannot be read
// to its end and -3 when a number lies beyond the range of a double (the
// vectors are then left empty; *badLine, when given, is its 1-based line).
int BasebandFilter_ReadCoefficients(const char* path, std::vector<double>* column1,
                                    std::vector<double>* column2, int* badLine = nullptr);

// Plots the coefficient columns on GRAPH_FILTER as line segments over the
// coefficient index (column 1 in 0xA93326, column 2 in 0x285291), all
// earlier plots deleted, and sets the y axis to their range (fewer than two
// coefficients: nothing plotted, -1.1 .. 1.1). Automatic redrawing is off
// while plotting.
void BasebandFilter_PlotCoefficients(const std::vector<double>& column1, const std::vector<double>& column2);
// That y range: from the smallest to the largest finite coefficient, 0
// included, 5 % of the span beyond each extreme on its side of 0; -1.1 ..
// 1.1 when the span is 0.
void BasebandFilter_CoefficientRange(const std::vector<double>& column1, const std::vector<double>& column2,
                                     double* low, double* high);

// Dims NUM_FREQ and NUM_ALPHA for the filter item (level 1) of TREE_FILTER
// as BasebandFilter_FieldState says; a Gaussian item also sets NUM_FREQ to
// NUM_ALPHA x the current sequence's clock in MHz. A group item changes
// nothing.
void BasebandFilter_DimFieldsForItem(int item);

// Coefficients imported into the dialog wait there until Apply or Accept
// stores them into the sequence they were imported for. Cancel and every
// fill of the dialog from a sequence (SequenceFilterCb) discard them.
void BasebandFilter_DiscardImport();
// Number of coefficient pairs waiting in the dialog; -1 when none.
int BasebandFilter_PendingImportLength();

// Callbacks of FILTER (control-callback form). Apply, Accept, Cancel and
// Import act on EVENT_COMMIT, FilterTreeCb on EVENT_MARK_STATE_CHANGE
// (eventData1 = item, eventData2 = the new mark state); it returns 1 to
// refuse unchecking the checked item, 0 otherwise. The others return 0.
int FilterApplyCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int FilterAcceptCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int FilterCancelCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int FilterTreeCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int FilterImportCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
