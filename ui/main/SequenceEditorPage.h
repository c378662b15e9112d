// The Sequence Editor tab page TAB_SEDIT: the header fields of one sequence
// (name, comment, copyright, waveform file, sample rate), the entry table
// TABLE_SETTINGS, the report and baseband-filter buttons with their LEDs,
// and the Generate and Stop buttons. The page holds no logic: the sequence
// editor (editors/Sequence*.h) writes it and installs nothing else.
#pragma once

// Builds the page as a top-level panel (parent 0 when BuildMainPanel calls
// it, which then inserts it as tab page 1 "Sequence Editor"). Returns the
// panel handle or the first negative status of a run-time call.
int BuildSequenceEditorPanel(int parent);

// Columns of TABLE_SETTINGS (1-based).
enum SequenceTableColumn {
  SEQ_COL_ITEM = 1,
  SEQ_COL_MODE = 2,
  SEQ_COL_TSTART = 3,
  SEQ_COL_TSTOP = 4,
  SEQ_COL_SAMPLES = 5,
  SEQ_COL_OBJECT = 6,
  SEQ_COL_REPS = 7,
  SEQ_COL_JITTER1 = 8,   // .. SEQ_COL_JITTER1 + 3 = "Jitter 4"
  SEQ_COL_MARKER1 = 12,  // .. SEQ_COL_MARKER1 + 3 = "M 4"
  SEQ_COLUMNS = 15
};

// Design widths in pixels of the time and sample columns and of the pulse
// object column; the editor widens the first for the longest sequence its
// clock allows and takes the room from the pulse object column.
inline constexpr int kSequenceCountColumnWidth = 65;
inline constexpr int kSequenceObjectColumnWidth = 140;

// Images of CMD_S_HIDE: a hidden sequence shows the lock (the picture of
// PIC_LOCK), any other the open lock (PIC_UNLOCK). XPM texts.
extern const char* const kIconSequenceLocked;
extern const char* const kIconSequenceUnlocked;

// Control ids of the page (TAB_SEDIT_CMD_STOP and TAB_SEDIT_CMD_GENERATE are
// in app/PanelIds.h); -1 until the page is built.
extern int TAB_SEDIT_CMD_FSEL;
extern int TAB_SEDIT_CMD_SENTRY_DEL;
extern int TAB_SEDIT_NUM_ARBCLK;
extern int TAB_SEDIT_CMD_SENTRY_NEW;
extern int TAB_SEDIT_CMD_WVINFO;
extern int TAB_SEDIT_STR_FILE;
extern int TAB_SEDIT_TABLE_SETTINGS;
extern int TAB_SEDIT_CMD_LOG;
extern int TAB_SEDIT_CMD_FILTER;
extern int TAB_SEDIT_CMD_SENTRY_DOWN;
extern int TAB_SEDIT_STR_NAME;
extern int TAB_SEDIT_CMD_SENTRY_UP;
extern int TAB_SEDIT_STR_COPYRIGHT;
extern int TAB_SEDIT_STR_COMMENT;
extern int TAB_SEDIT_CMD_S_HIDE;
extern int TAB_SEDIT_LED_FILTER;
extern int TAB_SEDIT_LED_LOG;
extern int TAB_SEDIT_TEXTMSG;
extern int TAB_SEDIT_STR_WVINFO;
extern int TAB_SEDIT_DECORATION;
extern int TAB_SEDIT_DECORATION_2;
extern int TAB_SEDIT_PIC_UNLOCK;
extern int TAB_SEDIT_PIC_LOCK;
