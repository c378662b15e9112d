// Project commands: New Project, Load Project, Import Pulses From Project,
// Clear Log and About.
#include "app/ProjectCommands.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "app/LibraryTree.h"
#include "app/Log.h"
#include "app/MainCommands.h"
#include "app/PanelIds.h"
#include "app/ProjectFile.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "app/TypedText.h"
#include "editors/BasebandFilter.h"
#include "editors/DataSourceEditor.h"
#include "editors/PulseEditor.h"
#include "editors/SequenceFilter.h"
#include "editors/ReportDialog.h"
#include "editors/SequenceView.h"
#include "engine/ModulationTypes.h"
#include "platform/CLocale.h"
#include "platform/ui/UserInterface.h"
#include "ui/dialogs/DataSourceDialog.h"

int LastProjectLoadFailed = 0;
int LastProjectRecordsLost = 0;

namespace {

constexpr const char* kProgramTitle = "Torvane Q7 Cadenza";
constexpr const char* kDiscardQuestion = "Unsaved changes will be lost.\nContinue ?";

// Whether the header (name, author, date, version) and the project options
// are those of a new project.
bool HeaderIsNew(const ProjectHeader& h) {
  const ProjectHeader n;
  return h.projectName == n.projectName && h.author == n.author && h.date == n.date && h.version == n.version &&
         h.hideEntries == n.hideEntries && h.pepLevel == n.pepLevel && h.allowMarkers == n.allowMarkers &&
         h.swapIq == n.swapIq && h.removeSegments == n.removeSegments && h.noArbPreset == n.noArbPreset &&
         h.pathWin == n.pathWin && h.pathLin == n.pathLin;
}

// Whether the project holds anything that a replacement would discard: any
// record, a header or options the user set, or a project file in use. A
// project never saved counts too, so it is not lost without a question.
bool ProjectHoldsData() { return ProjectHoldsWork() || !g_Settings.LastPrj.empty(); }

// Asks before the project is discarded; true to go on.
bool ConfirmDiscard(const char* title) {
  if (!ProjectHoldsData()) return true;
  return ConfirmPopup(title, kDiscardQuestion) == 1;
}

// The project file dialog in the project folder. True with path filled when
// a file was chosen whose path fits LastPrj; a longer path is refused with a
// message, never cut into the name of another file.
bool ChooseProjectFile(const char* title, const std::string& folder, std::string* path) {
  char chosen[UI_MAX_PATH] = "";
  const int result = FileSelectPopup(folder.c_str(), "*.prj", "*.prj", title, VAL_LOAD_BUTTON, 0, 0, 1, 1,
                                     chosen, sizeof chosen);
  if (result == UI_ERR_BUFFER_TOO_SMALL ||
      (result > 0 && std::string(chosen).size() > decltype(g_Settings.LastPrj)::kMaxLength)) {
    Log_Message(1, "*** Project file path too long.");
    MessagePopup("Error", PathTooLongText("the chosen project file", result == UI_ERR_BUFFER_TOO_SMALL ? nullptr : chosen,
                                          decltype(g_Settings.LastPrj)::kMaxLength)
                              .c_str());
    return false;
  }
  if (result <= 0) return false;
  *path = chosen;
  return true;
}

// Home path + "Projects"; empty when no home path is known (the dialog then
// opens in its own default folder).
std::string ProjectFolder() {
  char folder[cz::kHomePathSize + 16] = "";
  GetProjectFolder(folder, sizeof folder);
  return folder;
}

// The neutral state after the project was replaced: editor pages hidden,
// Generate dimmed, the Log page in front, the tree and header redrawn.
void ShowReplacedProject() {
  HideEditorPages();
  // No record is shown any more: the editors hold the old project's records,
  // and no edit may reach a record that now has their place. The dialogs of
  // the old project's sequence close, and none of their buttons can reach
  // the sequence that now has its place.
  SetCurrentPulse(-1);
  CurrentSequence = -1;
  CurrentMultiSegment = -1;
  CurrentRfList = -1;
  if (DATALOG > 0) HidePanel(DATALOG);
  if (FILTER > 0) HidePanel(FILTER);
  DimGenerateButton(1);
  ActivateMainPage(PAGE_LOG);
  ClearLibraryTree();
  RebuildLibraryTree();
  ShowProjectHeader();
  ClearSequenceView();
  // The Report and Baseband Filter dialogs held a sequence of the old project.
  CloseSequenceDialogs();
  // An open Data Source Editor must not keep showing a record of the old project.
  if (DATAEDIT > 0) {
    RebuildDataSourceTree();
    SelectDataSource(DATAEDIT, DATAEDIT_TREE_DATA, -1);
  }
}

}  // namespace

int ProjectHoldsWork() {
  return PulseCount > 0 || SequenceCount > 0 || MultiSegmentCount > 0 || RfListCount > 0 || DataSourceCount > 0 ||
         !HeaderIsNew(g_Settings.Project);
}

void ReportProjectLoad(int importMode) {
  const ProjectLoadReport& r = LastProjectLoadReport;
  const std::string values =
      cz::FormatC("\n%d value(s) that are no finite numbers were refused; their fields keep the defaults.",
                  r.valuesRefused);
  if (importMode != 0) {
    if (r.refused == 0 && r.valuesRefused == 0) return;
    std::string text = r.refused > 0 ? cz::FormatC("%d pulse(s) of the file were not imported.", r.refused)
                                     : std::string("Not every pulse of the file could be imported as stored:");
    if (r.refused > 0 && PulseCount >= kMaxPulses)
      text += cz::FormatC("\nThe project holds the maximum of %d pulses.", kMaxPulses);
    if (r.valuesRefused > 0) text += values;
    text += "\nSee log window for details.";
    MessagePopup("Warning", text.c_str());
    return;
  }
  LastProjectRecordsLost = r.refused + r.entriesRefused + r.recordsCut;
  if (r.renumbered == 0 && r.valuesRefused == 0 && r.pathsRefused == 0 && !r.Lost()) return;
  std::string text = "Not every record of the project file could be loaded as stored:";
  if (r.renumbered > 0)
    text += cz::FormatC("\n%d record(s) got a new ID (their ID was in use or out of range).", r.renumbered);
  if (r.refused > 0) text += cz::FormatC("\n%d record(s) were refused.", r.refused);
  if (r.entriesRefused > 0) text += cz::FormatC("\n%d sequence entries were refused.", r.entriesRefused);
  // Each record that kept only part of itself, by name (the first few).
  constexpr std::size_t kCutLines = 8;
  for (std::size_t k = 0; k < r.cuts.size() && k < kCutLines; ++k) text += "\n" + r.cuts[k];
  if (r.cuts.size() > kCutLines)
    text += cz::FormatC("\n... and %zu more record(s) that were not loaded whole.", r.cuts.size() - kCutLines);
  if (r.valuesRefused > 0) text += values;
  if (r.pathsRefused > 0)
    text += cz::FormatC("\n%d path(s) too long for their fields were not taken; a file named by one must be "
                        "chosen again.", r.pathsRefused);
  if (r.Lost()) text += "\nThe project file is not saved over without a question.";
  text += "\nSee log window for details.";
  MessagePopup("Warning", text.c_str());
}

int GetProjectFolder(char* out, int capacity) {
  if (out == nullptr || capacity <= 0) return 0;
  out[0] = '\0';
  char home[cz::kHomePathSize] = "";
  if (!GetHomePath(home, sizeof home)) return 0;
  const std::string folder = std::string(home) + "Projects";
  if (!cz::CopyTextExact(out, static_cast<std::size_t>(capacity), folder)) return 0;
  return 1;
}

void NewProjectCb(int menuBar, int menuItem, void* callbackData, int panel) {
  (void)menuBar;
  (void)callbackData;
  (void)panel;
  if (menuItem != MBAR_FILE_NEWPRJ) return;
  if (!ConfirmDiscard("New Project")) return;
  Log_Message(1, "Setting up new project...");
  ResetProject();
  g_Settings.LastPrj.Clear();
  LastProjectLoadFailed = 0;
  LastProjectRecordsLost = 0;
  SetPanelAttribute(PANEL_MAIN, ATTR_TITLE, kProgramTitle);

  SetCurrentPulse(0);
  InitModParams(0);
  if (!LoadPulseModParams(0)) Log_Status(1, "Error: Cannot update pulse parameters.");
  if (!ShowModParamTable()) Log_Status(1, "Error: Cannot update parameter table.");
  ShowPulseInEditor();
  InitSequenceRecord(&SequenceTable[0]);
  ShowReplacedProject();
}

void LoadProjectCb(int menuBar, int menuItem, void* callbackData, int panel) {
  (void)menuBar;
  (void)callbackData;
  (void)panel;
  if (menuItem != MBAR_FILE_LOADPRJ) return;
  const std::string folder = ProjectFolder();
  Log_Message(3, "Loading projects from path '", folder.c_str(), "'");
  std::string path;
  if (!ChooseProjectFile("Load Project File", folder, &path)) return;
  if (!ConfirmDiscard("Load Project")) return;

  Log_Message(1, "Loading new project...");
  ResetProject();
  g_Settings.LastPrj.AssignExact(path);
  LastProjectLoadFailed = 0;
  LastProjectRecordsLost = 0;
  if (!LoadProject(PulseTable, SequenceTable, path.c_str(), 0)) {
    MessagePopup("Error", "Failed to load project file.");
    // The file is not taken as the project's file, so that no save writes
    // an empty project over it; the project starts afresh.
    g_Settings.LastPrj.Clear();
    SetPanelAttribute(PANEL_MAIN, ATTR_TITLE, kProgramTitle);
    ShowReplacedProject();
    return;
  }
  ShowReplacedProject();
  ReportProjectLoad(0);
}

void ImportPulsesCb(int menuBar, int menuItem, void* callbackData, int panel) {
  (void)menuBar;
  (void)callbackData;
  (void)panel;
  if (menuItem != MBAR_PULSE_PIMPORT) return;
  const std::string folder = ProjectFolder();
  Log_Message(3, "Importing projects from path '", folder.c_str(), "'");
  std::string path;
  if (!ChooseProjectFile("Import pulses from project file", folder, &path)) return;
  Log_Message(3, "Reading '", path.c_str(), "'...");
  // Reading a plug-in pulse lets its plug-in describe its parameters in the
  // working parameter table, which belongs to the pulse the editor shows:
  // that pulse keeps its table.
  const std::vector<ModulationParamRow> working(std::begin(ModulationParamTable), std::end(ModulationParamTable));
  const int loaded = LoadProject(PulseTable, SequenceTable, path.c_str(), 1);
  std::copy(working.begin(), working.end(), std::begin(ModulationParamTable));
  if (!loaded) {
    MessagePopup("Error", "Failed to load project file.");
    return;
  }
  CloseSequenceDialogs();
  RebuildLibraryTree();
  ReportProjectLoad(1);
  // The data sources the pulses brought along appear in an open editor.
  if (DATAEDIT > 0) RebuildDataSourceTree();
}

void ShowAboutCb(int menuBar, int menuItem, void* callbackData, int panel) {
  (void)menuBar;
  (void)callbackData;
  (void)panel;
  if (menuItem != MBAR_HELP_ABOUT) return;
  DisplayPanel(ABOUT);
}

int ClearLogCb(int panel, int control, int event, void* callbackData, int eventData1,
               int eventData2) {
  (void)panel;
  (void)control;
  (void)callbackData;
  (void)eventData1;
  (void)eventData2;
  if (event == EVENT_COMMIT) ResetTextBox(TAB_LOG, TAB_LOG_TEX_LOG, "");
  return 0;
}
