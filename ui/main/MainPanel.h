// Builders of the main window, its menu bar and its small tab pages. Each
// takes the parent panel handle (0 = top level) and returns the panel (or
// menu bar) handle, or the first negative status of a run-time call.
#pragma once

// PANEL_MAIN with its controls, the tab pages whose builders are part of the
// program (PANEL_MAIN_TAB_PAGE_INDEX tells which tab index each got) and
// the menu bar.
int BuildMainPanel(int parent);
// MBAR on the given panel.
int BuildMainMenuBar(int panel);

// Tab pages, inserted by BuildMainPanel.
int BuildPulseEditorPanel(int parent);  // TAB_PEDIT
int BuildLogPanel(int parent);          // TAB_LOG
int BuildPluginInfoPanel(int parent);   // TAB_INFO
