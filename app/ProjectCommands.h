// Commands that replace or extend the whole project (New Project, Load
// Project, Import Pulses From Project) and two small callbacks of the main
// window (Clear Log, About).
#pragma once

// File menu and Create menu items; each acts only when menuItem is its own.
void NewProjectCb(int menuBar, int menuItem, void* callbackData, int panel);
void LoadProjectCb(int menuBar, int menuItem, void* callbackData, int panel);
void ImportPulsesCb(int menuBar, int menuItem, void* callbackData, int panel);
// Help > About: displays the About dialog.
void ShowAboutCb(int menuBar, int menuItem, void* callbackData, int panel);

// Log page's clear button: empties the log window on commit; returns 0.
int ClearLogCb(int panel, int control, int event, void* callbackData, int eventData1,
               int eventData2);

// 1 while the file named by LastPrj failed to load at start-up (or was not
// loaded, as "--no-load-project" asks): the file is
// kept as the project's name, but the exit's automatic save must not write
// over it (it may be a damaged file the user wants back): an empty project
// exits without a save, one holding work asks first. The start-up sets
// it after a failed or skipped load; New Project, Load Project and any save to a newly
// chosen path clear it.
extern int LastProjectLoadFailed;

// Records and sequence entries of the file named by LastPrj that its load
// left out, and records it kept only in part (0 when none). While it is not 0, no save writes over that file
// without a question ("Save anyway ?"); the exit's save asks too, and the
// save of a termination signal is skipped. Set by the loads (start-up and
// Load Project); New Project, Load Project and a completed save clear it.
extern int LastProjectRecordsLost;

// 1 when the project holds anything the user made: a record, or a header
// or options that differ from a new project's (the file name not counted).
int ProjectHoldsWork();

// After LoadProject: shows what the file could not give as stored (the
// report of the reader) in a popup titled "Warning", nothing when all was
// taken. importMode 0 (a load) also sets LastProjectRecordsLost; 1 (an
// import) tells how many of the file's pulses were not imported.
void ReportProjectLoad(int importMode);

// The project folder: the home path followed by "Projects". 1, or 0 when no
// home path is known (out empty). out holds capacity bytes.
int GetProjectFolder(char* out, int capacity);
