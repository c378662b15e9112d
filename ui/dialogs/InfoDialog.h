// The Info dialog INFO: the header of a sequence's waveform file as lines
// of text. The Sequence Editor fills TEXTBOX and shows the panel.
#pragma once

// Panel handle (0 until the start-up builds it) and control ids (-1 until
// built).
extern int INFO;
extern int INFO_CMD_CLOSEINFO;
extern int INFO_TEXTBOX;

// Creates INFO (title "Info"), hidden, with the text box above the close
// button. Returns the panel handle or the first negative status.
int BuildInfoPanel(int parent);

// CMD_CLOSEINFO and the window's close box: hides INFO on commit. Returns 0.
int CloseInfoCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
