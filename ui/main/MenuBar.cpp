// The main window's menu bar MBAR: File, Create, Project, Instrument,
// Options and Help. It holds no logic; every item runs a callback of the
// application core.
#include "app/LibraryCommands.h"
#include "app/LibraryTree.h"
#include "app/MainCommands.h"
#include "app/PanelIds.h"
#include "app/ProjectCommands.h"
#include "editors/DataSourceEditor.h"
#include "ui/main/MainPanel.h"
#include "ui/main/PanelBuild.h"

namespace {

enum MenuRowKind { kMenu, kItem, kSeparator };

// One row of the bar, in order: a menu starts a group, items and separators
// belong to the menu before them. "__" marks the mnemonic letter.
struct MenuRow {
  MenuRowKind kind;
  int* id;
  const char* constName;
  const char* label;
  MenuCallbackPtr callback;  // items only
  int checked;               // items only: check mark when built
};

const MenuRow kMenuBar[] = {
    {kMenu, &MBAR_FILE, "FILE", "__File", nullptr, 0},
    {kItem, &MBAR_FILE_NEWPRJ, "NEWPRJ", "New Project", NewProjectCb, 0},
    {kItem, &MBAR_FILE_LOADPRJ, "LOADPRJ", "Load Project...", LoadProjectCb, 0},
    {kSeparator, &MBAR_FILE_SEPARATOR, "SEPARATOR", nullptr, nullptr, 0},
    {kItem, &MBAR_FILE_SAVEPRJ, "SAVEPRJ", "Save Project", SaveProjectCb, 0},
    {kItem, &MBAR_FILE_SAVEPRJAS, "SAVEPRJAS", "Save Project As...", SaveProjectAsCb, 0},
    {kSeparator, &MBAR_FILE_SEPARATOR_2, "SEPARATOR_2", nullptr, nullptr, 0},
    {kItem, &MBAR_FILE_EXIT, "EXIT", "E__xit", ExitCb, 0},
    {kMenu, &MBAR_PULSE, "PULSE", "__Create", nullptr, 0},
    {kItem, &MBAR_PULSE_PNEW, "PNEW", "New __Pulse", NewPulseCb, 0},
    {kItem, &MBAR_PULSE_PIMPORT, "PIMPORT", "__Import Pulses From Project...", ImportPulsesCb, 0},
    {kSeparator, &MBAR_PULSE_SEPARATOR_3, "SEPARATOR_3", nullptr, nullptr, 0},
    {kItem, &MBAR_PULSE_SNEW, "SNEW", "New __Sequence", NewSequenceCb, 0},
    {kItem, &MBAR_PULSE_SEGNEW, "SEGNEW", "New __Multi Segment", NewMultiSegmentCb, 0},
    {kItem, &MBAR_PULSE_RFLISTNEW, "RFLISTNEW", "New __RF List", NewRfListCb, 0},
    {kMenu, &MBAR_PRJ, "PRJ", "__Project", nullptr, 0},
    {kItem, &MBAR_PRJ_DSRC, "DSRC", "__Data Sources...", ShowDataSourcesCb, 0},
    {kSeparator, &MBAR_PRJ_SEPARATOR_4, "SEPARATOR_4", nullptr, nullptr, 0},
    {kItem, &MBAR_PRJ_HIDE, "HIDE", "__Hide Tree Entries", HideTreeEntriesCb, 1},
    {kMenu, &MBAR_INSTR, "INSTR", "__Instrument", nullptr, 0},
    {kItem, &MBAR_INSTR_INSTRSETUP, "INSTRSETUP", "__Manager...", ShowInstrumentManagerCb, 0},
    {kMenu, &MBAR_OPT, "OPT", "__Options", nullptr, 0},
    {kItem, &MBAR_OPT_PREF, "PREF", "__Preferences...", ShowPreferencesCb, 0},
    {kMenu, &MBAR_HELP, "HELP", "__Help", nullptr, 0},
    {kItem, &MBAR_HELP_ABOUT, "ABOUT", "__About", ShowAboutCb, 0},
};

}  // namespace

int BuildMainMenuBar(int panel) {
  const int bar = NewMenuBar(panel);
  CZ_UI_TRY(bar);
  CZ_UI_TRY(SetMenuBarAttribute(bar, 0, ATTR_CONSTANT_NAME, "MBAR"));
  CZ_UI_TRY(SetMenuBarAttribute(bar, 0, ATTR_MENU_BAR_FONT, "Arial"));
  CZ_UI_TRY(SetMenuBarAttribute(bar, 0, ATTR_MENU_BAR_POINT_SIZE, 12));
  CZ_UI_TRY(SetMenuBarAttribute(bar, 0, ATTR_MENU_BAR_BOLD, 0));
  CZ_UI_TRY(SetMenuBarAttribute(bar, 0, ATTR_MENU_BAR_ITALIC, 0));
  CZ_UI_TRY(SetMenuBarAttribute(bar, 0, ATTR_MENU_BAR_UNDERLINE, 0));
  CZ_UI_TRY(SetMenuBarAttribute(bar, 0, ATTR_MENU_BAR_STRIKEOUT, 0));

  int menu = 0;
  for (const MenuRow& row : kMenuBar) {
    int id = 0;
    switch (row.kind) {
      case kMenu: id = menu = NewMenu(bar, row.label, -1); break;
      case kItem: id = NewMenuItem(bar, menu, row.label, -1, 0, row.callback, nullptr); break;
      case kSeparator: id = InsertSeparator(bar, menu, -1); break;
    }
    CZ_UI_TRY(id);
    *row.id = id;
    CZ_UI_TRY(SetMenuBarAttribute(bar, id, ATTR_CONSTANT_NAME, row.constName));
    if (row.kind == kItem && row.checked) CZ_UI_TRY(SetMenuBarAttribute(bar, id, ATTR_CHECKED, 1));
    // An item whose command is not part of the program cannot be chosen.
    if (row.kind == kItem && row.callback == nullptr) CZ_UI_TRY(SetMenuBarAttribute(bar, id, ATTR_DIMMED, 1));
  }
  return bar;
}
