// Commands of the main window: the project header fields, the close box,
// File > Save Project / Save Project As / Exit, the menu items that open the
// Preferences and Instrument Manager dialogs, and the buttons of the
// Preferences and About dialogs.
//
// Control callbacks act on the commit event and return 0; menu callbacks
// act only when menuItem is the id of their own item global, so that other
// callbacks can run them by passing that id (the close box runs ExitCb with
// MBAR_FILE_EXIT).
#pragma once

#include <cstddef>

// PANEL_MAIN STR_PROJECT, STR_NAME, STR_DATE, STR_VERSION: copies all four
// fields into the project header.
int ProjectInfoCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
// The project header into the window: the four fields, the check mark of
// Project > Hide Tree Entries and the Project Settings page of Preferences.
void ShowProjectHeader();
// The Project Settings page of Preferences from the project header.
void ShowProjectSettingsPage();

// Panel callback of PANEL_MAIN: the close box runs File > Exit.
int MainPanelCb(int panel, int event, void* callbackData, int eventData1, int eventData2);

void SaveProjectAsCb(int menuBar, int menuItem, void* callbackData, int panel);
void SaveProjectCb(int menuBar, int menuItem, void* callbackData, int panel);
// File > Exit; during the start-up it only records the request, which runs
// once the start-up is over (app/ExitRequest.h).
void ExitCb(int menuBar, int menuItem, void* callbackData, int panel);
void ShowPreferencesCb(int menuBar, int menuItem, void* callbackData, int panel);
void ShowInstrumentManagerCb(int menuBar, int menuItem, void* callbackData, int panel);

// Preferences dialog buttons.
int PreferencesAcceptCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int PreferencesCancelCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
// About dialog's close button (and close box): hides the dialog.
int CloseAboutCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);

// The project save shared by Save and Save As: saves to path, and on
// success writes the settings and shows "Project saved."; on failure shows
// "Failed to save project file." (title "Error"). 1 saved, 0 not.
int SaveProjectToFile(const char* path);

// The project file named by LastPrj: the text itself when it is absolute
// ("X:..." with ':' as second character, or a leading '\\' or '/'), else
// the home path followed directly by it (its '\' taken as '/'). 1, or 0
// (logged, out empty) when the result does not fit capacity bytes.
int ResolveProjectPath(const char* lastPrj, char* out, std::size_t capacity);

// File > Exit without the start-up check: with save-on-exit on, the save
// (which may ask), else the question whether to exit; then, unless a
// question kept the program, the project is cleared and the event loop ends.
void ExitWithQuestions();

// Ends the program as File > Exit does, without asking anything: with
// save-on-exit on, the project is saved to its file when it has one (a
// failure is logged); then the project is cleared and the event loop ends.
// For the termination signals.
void QuitWithoutQuestions();

// Attaches the tooltip texts to every control of the main window, its
// pages, the pulse editor's sub-panels and the dialogs that carry them
// (the controls that exist; a missing panel's rows are skipped).
void SetupToolTips();
// The same for the Instrument Manager, the Log page and the data-source
// editor, which the start-up attaches after SetupToolTips.
void SetupDialogToolTips();
