// Builders of the program's dialogs. Each takes the parent panel handle (0 =
// a top-level window) and returns the new panel's handle, or the first
// negative status of a run-time call. The dialogs are hidden when built.
#pragma once

// ABOUT: the product's name, version and notices beside a picture.
int BuildAboutPanel(int parent);
// The text that the start-up writes into ABOUT TEXTBOX_ABOUT (28 lines); its
// version line names this build's version and release date.
const char* AboutText();

// PREFERENCE with its tab control TAB_SETTINGS: page 0 " General " (the
// GENERAL panel) and page 1 "Project Settings" (GENWV).
int BuildPreferencesPanel(int parent);
int BuildGeneralSettingsPanel(int parent);
int BuildProjectSettingsPanel(int parent);
