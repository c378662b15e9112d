// The library tree of the main window: one item per pulse (with its five
// editor pages), sequence, multi-segment waveform and RF list under the
// fixed roots "_PULSELIB", "_SEQLIB", "_MULTISEG" and "_RFLIST", plus the
// loaded plug-ins under "_PLUGINS".
//
// The tree is a view of the record tables: every change to a table rebuilds
// all record items from the tables, and each record item carries the
// record's ID as its value, by which the record is found again. The plug-in
// items (value = module number) are made once at start-up and never rebuilt.
#pragma once

#include <cstdint>

// Tab pages of the main window's tab control, by index.
enum MainTabPage {
  PAGE_PULSE_EDITOR = 0,
  PAGE_SEQUENCE_EDITOR = 1,
  PAGE_SEQUENCE_VIEW = 2,
  PAGE_MULTI_SEGMENT = 3,
  PAGE_RF_LIST = 4,
  PAGE_TRANSFER = 5,
  PAGE_LOG = 6,
  PAGE_PLUGIN_INFO = 7
};

// Root tags of the library tree.
inline constexpr const char* kPulseLibraryTag = "_PULSELIB";
inline constexpr const char* kSequenceLibraryTag = "_SEQLIB";
inline constexpr const char* kMultiSegmentLibraryTag = "_MULTISEG";
inline constexpr const char* kRfListLibraryTag = "_RFLIST";
inline constexpr const char* kPluginLibraryTag = "_PLUGINS";

// Image indexes of the tree's image list.
enum LibraryTreeImage {
  IMAGE_PULSE = 0,
  IMAGE_ROOT = 1,
  IMAGE_SEQUENCE = 2,
  IMAGE_PLUGIN_PULSE = 3,  // a pulse modulated by a plug-in
  IMAGE_PULSE_PAGE = 4,
  IMAGE_PLUGIN = 5,
  IMAGE_LIST = 6           // multi-segment waveforms and RF lists
};

// Deletes every record item under the four record roots and builds them
// again from the tables in table order. While hide mode is on (the project
// header's hide flag), pulses and sequences whose hidden flag is 1 get no
// item. The marks and the active item follow their records by ID: a record
// still shown is marked again and its item (or its pulse page) is active
// again. Callers that worked on another record mark it with the
// Select...TreeItem functions afterwards.
void RebuildLibraryTree();
// Deletes every record item and with them the marks and the active item;
// for a project that replaces the records (IDs of the old project must not
// mark records of the new one). Rebuild afterwards.
void ClearLibraryTree();

// Control callback of the library tree; acts on a left click (eventData1 =
// y, eventData2 = x in the control) and on a selection change made with a
// key (eventData1 = item, eventData2 = 1) as on a click; returns 0.
int LibraryTreeCb(int panel, int control, int event, void* callbackData, int eventData1,
                  int eventData2);

// Project > Hide Tree Entries: inverts the check mark and the project's hide
// flag together and rebuilds the tree.
void HideTreeEntriesCb(int menuBar, int menuItem, void* callbackData, int panel);

// Tab page visibility of the editor pages (0, 1, 2, 3, 4 and 7); the
// Transfer and Log pages are never hidden. Pages are given by number and
// reach the tab control through MainTabIndex, so absent pages are skipped.
// Hides the editor pages 0, 1, 2, 7, 3 and 4; when one of them was the
// active page, the Log page becomes active.
void HideEditorPages();
// Page visible and active, the other editor pages hidden.
void ShowOnlyEditorPage(int page);
// Makes the page (any of the eight) the active tab page.
void ActivateMainPage(int page);
// Dims (1) or enables (0) the Sequence Editor's Generate button.
void DimGenerateButton(int dimmed);

// Displays the pulse editor sub-panel of the named page ("Timing",
// "Settings", "Jitter", "Modulation", "Marker") and hides the other four,
// then gives each sub-panel's first control the input focus.
void ShowPulseEditorPage(const char* page);

// The library tree's active item and what it stands for.
enum LibraryKind { LIBRARY_NONE = 0, LIBRARY_PULSE, LIBRARY_SEQUENCE, LIBRARY_MULTI_SEGMENT,
                   LIBRARY_RF_LIST, LIBRARY_PLUGIN };
struct LibrarySelection {
  LibraryKind kind = LIBRARY_NONE;  // NONE: no active item, or a root
  int item = -1;                    // the record's item (for a pulse page: its pulse item)
  int value = 0;                    // the record's ID (module number for a plug-in)
};
LibrarySelection GetLibrarySelection();
