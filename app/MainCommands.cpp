// Main window commands: project header fields, Save / Save As / Exit, the
// close box, and the buttons and folder browser of the Preferences and
// About dialogs.
#include "app/MainCommands.h"

#include <sys/stat.h>

#include <cstring>
#include <string>

#include "app/ExitRequest.h"
#include "app/Log.h"
#include "app/PanelIds.h"
#include "app/ProjectCommands.h"
#include "app/ProjectFile.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "app/Startup.h"
#include "app/TempFiles.h"
#include "app/TypedText.h"
#include "editors/SequenceViewIds.h"
#include "platform/BoundedText.h"
#include "platform/CLocale.h"
#include "platform/Paths.h"
#include "platform/ProgramInfo.h"
#include "platform/ui/UserInterface.h"

namespace {

// Result of the Save As dialog flow. kSaveDeclined: the user answered "no"
// to saving over a file whose load left records out.
enum SaveOutcome { kSaveFailed = 0, kSaved = 1, kSaveCancelled = 2, kSaveDeclined = 3 };

// Text of a control into a bounded text; false when it does not fit.
template <std::size_t N>
bool ReadText(int panel, int control, cz::Text<N>* out) {
  char buffer[N + 1] = {};
  if (GetCtrlVal(panel, control, buffer, sizeof buffer) < 0) return false;
  return out->AssignExact(buffer);
}

int ReadFlag(int panel, int control, int fallback) {
  int value = 0;
  return GetCtrlVal(panel, control, &value) < 0 ? fallback : (value != 0 ? 1 : 0);
}

// The project file's path as the start-up resolves LastPrj; false (logged)
// when it does not fit.
bool ProjectPath(std::string* path) {
  char resolved[UI_MAX_PATH] = "";
  if (!ResolveProjectPath(g_Settings.LastPrj.c_str(), resolved, sizeof resolved)) return false;
  *path = resolved;
  return true;
}

// After a successful save to LastPrj: the file now holds this session,
// whatever it held before; the settings name it for the next start.
void ProjectSaved() {
  LastProjectLoadFailed = 0;
  LastProjectRecordsLost = 0;
  SaveSettings(g_Settings);
  Log_Status(1, "Project saved.");
}

// A save that failed: the popup names the cause where the save found one,
// and the status line no longer shows an earlier save as the latest.
void ProjectSaveFailed(const std::string& why) {
  Log_Status(1, "Error: Failed to Save Project File.");
  const std::string text = "Failed to save project file." + (why.empty() ? "" : "\n" + why);
  MessagePopup("Error", text.c_str());
}

// Whether two paths name one file: the same text, or (for files that
// exist) the same device and inode, so that a link or another spelling of
// the path is the file itself.
bool SameFile(const std::string& a, const std::string& b) {
  if (a == b) return true;
  struct stat sa {}, sb {};
  if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// Whether the project file's last load left anything of it out.
bool SourceIncomplete() { return LastProjectRecordsLost > 0 || LastProjectLoadFailed; }

// A save over the file whose load failed or left records out asks first;
// true to go on. Answered "no", the file keeps what it holds.
bool ConfirmOverwriteIncomplete(const std::string& path) {
  if (!SourceIncomplete()) return true;
  const std::string text =
      LastProjectLoadFailed
          ? cz::FormatC("The project file\n'%s'\n%s. "
                        "Saving writes the current project over it.\nSave anyway ?",
                        path.c_str(), SkipProjectLoad ? "was not loaded" : "could not be loaded")
          : cz::FormatC("%d record(s), sequence entries or parts of records of the project file\n'%s'\n"
                        "could not be loaded. Saving writes the file without them.\nSave anyway ?",
                        LastProjectRecordsLost, path.c_str());
  if (ConfirmPopup("Warning", text.c_str()) == 1) return true;
  Log_Message(3, "** Project file '", path.c_str(), "' was not saved over.");
  return false;
}

// File > Save Project As: the dialog in the project folder, then the save.
SaveOutcome SaveProjectAs() {
  char folder[cz::kHomePathSize + 16] = "";
  GetProjectFolder(folder, sizeof folder);
  Log_Message(3, "Saving projects to path '", folder, "'");
  char chosen[UI_MAX_PATH] = "";
  const int result = FileSelectPopup(folder, "*.prj", "*.prj", "Save Project File", VAL_SAVE_BUTTON, 0, 0, 1, 1,
                                     chosen, sizeof chosen);
  // A path that LastPrj cannot hold is refused: cut, it would name another file.
  cz::Text<256> path;
  if (result == UI_ERR_BUFFER_TOO_SMALL || (result > 0 && !path.AssignExact(chosen))) {
    Log_Message(1, "*** Project file path too long.");
    MessagePopup("Error", PathTooLongText("the chosen project file", result == UI_ERR_BUFFER_TOO_SMALL ? nullptr : chosen,
                                          decltype(path)::kMaxLength)
                              .c_str());
    return kSaveCancelled;
  }
  if (result <= 0) return kSaveCancelled;
  std::string current;
  if (SourceIncomplete() && ProjectPath(&current) && SameFile(current, path.str()) &&
      !ConfirmOverwriteIncomplete(current))
    return kSaveDeclined;
  Log_Message(3, "Saving project as '", path.c_str(), "'...");
  // The project changes its file only once the new one is written: after a
  // failed Save As, LastPrj, the title and the settings still name the file
  // the project had, so the next Save and the save at exit reach it.
  if (!::SaveProject(PulseTable, SequenceTable, path.c_str())) {
    ProjectSaveFailed(LastProjectSaveFailure());
    return kSaveFailed;
  }
  g_Settings.LastPrj = path;
  ProjectSaved();
  return kSaved;
}

// File > Save Project: to LastPrj, or Save As when there is none.
SaveOutcome SaveCurrentProject() {
  if (g_Settings.LastPrj.empty()) return SaveProjectAs();
  Log_Message(1, "Saving project...");
  std::string path;
  if (!ProjectPath(&path)) {
    ProjectSaveFailed("");
    return kSaveFailed;
  }
  // An example of the installed program is saved as a new file of the user's.
  if (cz::InsideInstallFolders(path)) {
    Log_Message(5, "Project file '", path.c_str(), "': ", cz::kInstallFolderReason, "; choose a file of your own.");
    return SaveProjectAs();
  }
  if (!ConfirmOverwriteIncomplete(path)) return kSaveDeclined;
  return SaveProjectToFile(path.c_str()) ? kSaved : kSaveFailed;
}

// The event loop ends; from here on no exit request is taken, so that
// nothing saves the cleared project over its file.
void EndProgram() {
  Exit_MarkDone();
  ClearProject();
  QuitUserInterface(0);
}

}  // namespace

int ResolveProjectPath(const char* lastPrj, char* out, std::size_t capacity) {
  if (out == nullptr || capacity == 0) return 0;
  out[0] = '\0';
  const std::string_view p = lastPrj ? lastPrj : "";
  // Absolute: "X:..." (second character ':'), a leading '\' or '/'.
  const bool absolute = (p.size() > 2 && p[1] == ':') || (!p.empty() && (p[0] == '\\' || p[0] == '/'));
  std::string path(p);
  if (!absolute) {
    char home[cz::kHomePathSize] = "";
    GetHomePath(home, sizeof home);
    path = std::string(home) + cz::RelativeHostPath(p);
  }
  if (!cz::CopyTextExact(out, capacity, path)) {
    Log_Message(3, "*** Path '", path.c_str(), "' is too long. Not used.");
    return 0;
  }
  return 1;
}

int SaveProjectToFile(const char* path) {
  if (!::SaveProject(PulseTable, SequenceTable, path)) {
    ProjectSaveFailed(LastProjectSaveFailure());
    return 0;
  }
  ProjectSaved();
  return 1;
}

int ProjectInfoCb(int panel, int control, int event, void*, int, int) {
  (void)control;
  if (event != EVENT_COMMIT) return 0;
  ProjectHeader& h = g_Settings.Project;
  // A text the header cannot hold whole is refused with the reason on the
  // status line, and the fields show what is stored.
  bool taken = TakeTypedText(&h.projectName, TypedCtrlText(panel, PANEL_MAIN_STR_PROJECT), "Project name");
  taken = TakeTypedText(&h.author, TypedCtrlText(panel, PANEL_MAIN_STR_NAME), "Author") && taken;
  taken = TakeTypedText(&h.date, TypedCtrlText(panel, PANEL_MAIN_STR_DATE), "Date") && taken;
  taken = TakeTypedText(&h.version, TypedCtrlText(panel, PANEL_MAIN_STR_VERSION), "Version") && taken;
  if (!taken) ShowProjectHeader();
  return 0;
}

void ShowProjectHeader() {
  const ProjectHeader& h = g_Settings.Project;
  SetCtrlVal(PANEL_MAIN, PANEL_MAIN_STR_PROJECT, h.projectName.c_str());
  SetCtrlVal(PANEL_MAIN, PANEL_MAIN_STR_NAME, h.author.c_str());
  SetCtrlVal(PANEL_MAIN, PANEL_MAIN_STR_DATE, h.date.c_str());
  SetCtrlVal(PANEL_MAIN, PANEL_MAIN_STR_VERSION, h.version.c_str());
  const int bar = GetPanelMenuBar(PANEL_MAIN);
  if (bar > 0) SetMenuBarAttribute(bar, MBAR_PRJ_HIDE, ATTR_CHECKED, h.hideEntries ? 1 : 0);
  ShowProjectSettingsPage();
  SetCtrlVal(TAB_VIEW, TAB_VIEW_RING_IQVIEW, g_Settings.ViewMode);
}

void ShowProjectSettingsPage() {
  const ProjectHeader& h = g_Settings.Project;
  SetCtrlVal(GENWV, GENWV_CHK_ZEROCRF, h.pepLevel);
  SetCtrlVal(GENWV, GENWV_CHK_MARKERS, h.allowMarkers);
  SetCtrlVal(GENWV, GENWV_CHK_IQSWAP, h.swapIq);
  SetCtrlVal(GENWV, GENWV_CHK_REMMSEG, h.removeSegments);
  SetCtrlVal(GENWV, GENWV_CHK_NOPRES, h.noArbPreset);
  SetCtrlVal(GENWV, GENWV_STR_DEF_WIN, h.pathWin.c_str());
  SetCtrlVal(GENWV, GENWV_STR_DEF_LIN, h.pathLin.c_str());
}

int MainPanelCb(int panel, int event, void*, int, int) {
  if (event == EVENT_CLOSE) ExitCb(GetPanelMenuBar(panel), MBAR_FILE_EXIT, nullptr, panel);
  return 0;
}

void SaveProjectAsCb(int, int menuItem, void*, int) {
  if (menuItem != MBAR_FILE_SAVEPRJAS) return;
  SaveProjectAs();
}

void SaveProjectCb(int, int menuItem, void*, int) {
  if (menuItem != MBAR_FILE_SAVEPRJ) return;
  SaveCurrentProject();
}

void ExitCb(int, int menuItem, void*, int) {
  if (menuItem != MBAR_FILE_EXIT) return;
  // During the start-up the project may not be loaded yet: the exit waits
  // for the start-up's end and then runs from the event loop.
  if (Exit_StartupRunning()) {
    Exit_Request(kExitAsked);
    return;
  }
  ExitWithQuestions();
}

void ExitWithQuestions() {
  if (!g_Settings.SavePrjOnExit) {
    if (ConfirmPopup("Warning", "Do you want to exit Cadenza ?\nUnsaved changes will be lost.") == 1) EndProgram();
    return;
  }
  if (LastProjectLoadFailed && !ProjectHoldsWork()) {
    // The file that failed to load may be one the user wants back intact.
    Log_Message(3, "** Project file '", g_Settings.LastPrj.c_str(), "' was not loaded; it is not saved over.");
    EndProgram();
    return;
  }
  // Work done since a start-up whose load failed is not dropped without a
  // word: the save below asks before it writes over that file.
  // Cancel in the save dialog keeps the session; a failed save asks, so
  // that the session is not lost without a word.
  const SaveOutcome saved = SaveCurrentProject();
  if (saved == kSaveCancelled) return;
  if (saved == kSaveFailed &&
      ConfirmPopup("Warning", "The project could not be saved.\nDo you want to exit Cadenza anyway ?") != 1)
    return;
  // "No" to saving over a file that lost records keeps the file; the user
  // still chooses between leaving without a save and going on (to save
  // elsewhere), rather than being asked the same at every Exit.
  if (saved == kSaveDeclined &&
      ConfirmPopup("Warning", "The project was not saved.\nDo you want to exit Cadenza anyway ?\n"
                              "Unsaved changes will be lost.") != 1)
    return;
  EndProgram();
}

void QuitWithoutQuestions() {
  std::string path;
  if (g_Settings.SavePrjOnExit && LastProjectRecordsLost > 0)
    Log_Message(3, "** Project file '", g_Settings.LastPrj.c_str(), "' lost records on load; it is not saved over.");
  else if (g_Settings.SavePrjOnExit && !g_Settings.LastPrj.empty() && ProjectPath(&path) &&
           cz::InsideInstallFolders(path))
    Log_Message(5, "** Project file '", path.c_str(), "': ", cz::kInstallFolderReason, "; it is not saved over.");
  else if (g_Settings.SavePrjOnExit && !LastProjectLoadFailed && !g_Settings.LastPrj.empty()) {
    if (ProjectPath(&path) && ::SaveProject(PulseTable, SequenceTable, path.c_str()))
      Log_Message(1, "Project saved.");
    else
      Log_Message(1, "*** Failed to save project file.");
  }
  EndProgram();
}

void ShowPreferencesCb(int, int menuItem, void*, int) {
  if (menuItem != MBAR_OPT_PREF) return;
  // Folders made or removed since the tree was last read show as they are now.
  if (g_TempDirBrowserCtrl > 0) RefreshFolderBrowser(GENERAL, g_TempDirBrowserCtrl);
  DisplayPanel(PREFERENCE);
}

void ShowInstrumentManagerCb(int, int menuItem, void*, int) {
  if (menuItem != MBAR_INSTR_INSTRSETUP) return;
  DisplayPanel(INSTRMAN);
}

int PreferencesCancelCb(int, int, int event, void*, int, int) {
  if (event != EVENT_COMMIT) return 0;
  HidePanel(PREFERENCE);
  // Both pages show again what was last accepted: the settings (and the
  // folder in use for temporary files) and the project header.
  SetControls(0);
  ShowProjectSettingsPage();
  return 0;
}

int PreferencesAcceptCb(int, int, int event, void*, int, int) {
  if (event != EVENT_COMMIT) return 0;
  AppSettings& s = g_Settings;
  ProjectHeader& h = s.Project;
  // A default path on the instrument is never cut (a cut path names another
  // folder): one the project cannot hold is refused before anything is
  // taken, and the dialog stays open with it.
  for (int control : {GENWV_STR_DEF_WIN, GENWV_STR_DEF_LIN}) {
    char path[UI_MAX_PATH] = "";
    if (GetCtrlVal(GENWV, control, path, sizeof path) >= 0 && std::strlen(path) > decltype(h.pathWin)::kMaxLength) {
      MessagePopup("Error", PathTooLongText("the default folder on the instrument", path,
                                            decltype(h.pathWin)::kMaxLength)
                                .c_str());
      return 0;
    }
  }
  ReadText(GENERAL, GENERAL_STR_TEMPDIR, &s.TempDir);
  s.SavePrjOnExit = ReadFlag(GENERAL, GENERAL_CHK_AUTOSAVE, s.SavePrjOnExit);
  h.pepLevel = ReadFlag(GENWV, GENWV_CHK_ZEROCRF, h.pepLevel);
  h.allowMarkers = ReadFlag(GENWV, GENWV_CHK_MARKERS, h.allowMarkers);
  h.swapIq = ReadFlag(GENWV, GENWV_CHK_IQSWAP, h.swapIq);
  h.removeSegments = ReadFlag(GENWV, GENWV_CHK_REMMSEG, h.removeSegments);
  s.AllowTrace = ReadFlag(GENERAL, GENERAL_CHK_TRACE, s.AllowTrace);
  h.noArbPreset = ReadFlag(GENWV, GENWV_CHK_NOPRES, h.noArbPreset);
  ReadText(GENWV, GENWV_STR_DEF_WIN, &h.pathWin);
  ReadText(GENWV, GENWV_STR_DEF_LIN, &h.pathLin);
  HidePanel(PREFERENCE);
  if (!(s.TempDir == ActiveTempDir.view()))
    MessagePopup("Info", "The new settings are effective after restarting the application.");
  return 0;
}

int TempDirTreeCb(int panel, int control, int event, void*, int eventData1, int) {
  if (event != EVENT_SELECTION_CHANGE) return 0;
  int item = eventData1;
  if (item < 0 && (GetActiveTreeItem(panel, control, &item) < 0 || item < 0)) return 0;
  // The browser's item tag is the folder's full path. It only fills the
  // field: Accept takes it into the settings, Cancel drops it.
  char folder[UI_MAX_PATH] = "";
  if (GetTreeItemTag(panel, control, item, folder, sizeof folder) < 0) return 0;
  decltype(g_Settings.TempDir) chosen;
  if (!chosen.AssignExact(folder)) {
    Log_Message(3, "*** Folder path '", folder, "' is too long.");
    MessagePopup("Error", PathTooLongText("the chosen folder", folder, decltype(chosen)::kMaxLength).c_str());
    return 0;
  }
  SetCtrlVal(GENERAL, GENERAL_STR_TEMPDIR, chosen.c_str());
  return 0;
}

int CloseAboutCb(int, int, int event, void*, int, int) {
  if (event == EVENT_COMMIT) HidePanel(ABOUT);
  return 0;
}
