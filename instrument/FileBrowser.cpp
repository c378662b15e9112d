// The instrument file browser: state, listings, callbacks and the modal
// event loop. The panel itself is built by FileBrowserPanel.cpp.
#include "instrument/FileBrowser.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/ExitRequest.h"
#include "app/Log.h"
#include "app/Progress.h"
#include "instrument/InstrumentCatalog.h"
#include "instrument/InstrumentTransfer.h"
#include "instrument/VisaDev.h"
#include "platform/BoundedText.h"
#include "platform/CLocale.h"
#include "platform/ui/UserInterface.h"
#include "ui/main/Icons.h"

namespace {

constexpr const char* kTitle = "Instrument File Browser";
constexpr int kMaxDirectoryEntries = 1024;
constexpr std::size_t kEntryBytes = 256;   // reply room of a count query
constexpr const char* kInvalidName = "Invalid file or directory name.";
constexpr double kLoopPauseSeconds = 0.02;

// State of the one browser: root ("/var", "/hdd" or "D:"), path below it
// ("/" or "\" at the top, no trailing separator below), extension filter
// (".wv" or ".*"), the chosen file (full instrument path), and the names
// shown in the two lists by item index.
struct BrowserState {
  int id = 0;
  bool unixStyle = false;
  cz::Text<kFileBrowserPathSize> root;
  cz::Text<kFileBrowserPathSize> path;
  cz::Text<kFileBrowserPathSize> filter;
  cz::Text<kFileBrowserPathSize> chosen;
  cz::Text<kFileBrowserPathSize> presetUnixRoot;
  cz::Text<kFileBrowserPathSize> presetWindowsRoot;
  std::vector<std::string> directories;  // names by list item
  std::vector<std::string> files;
  int lastDirectoryItem = -1;
  int lastFileItem = -1;
  int lastFocus = 0;  // control of the dialog that had the focus, 0 none
  bool done = false;
  int result = 1;
  int folderImage = -1;
};
BrowserState g;
FileBrowser_LoopHook g_loopHook = nullptr;

char Separator() { return g.unixStyle ? '/' : '\\'; }

// root + path without a trailing separator ("/var/" -> "/var", "D:\" -> "D:").
std::string CurrentDirectory() {
  std::string dir = g.root.str() + g.path.str();
  if (!dir.empty() && (dir.back() == '/' || dir.back() == '\\')) dir.pop_back();
  return dir;
}

// Failed commands show the slot's last error, as the VISA layer logged it.
void ShowLastError() {
  char text[kVisaLastErrorSize] = "";
  VisaDev_GetLastError(g.id, text);
  MessagePopup(kTitle, text[0] ? text : "Instrument command failed.");
}

// A command or query with one quoted path argument: format holds "%s"
// where the quoted text goes. Names holding control characters are refused.
bool Quoted(const std::string& text, std::string* quoted) {
  if (ScpiQuoted(text, quoted)) return true;
  MessagePopup(kTitle, kInvalidName);
  return false;
}

// A listed name that would address some other entry once joined to the
// directory: one holding a separator of either style ("a\..\b.wv",
// "../x.wv"), or a dot name. Such a name is shown but never acted upon.
bool AddressesAnotherEntry(const std::string& name) {
  return name.find_first_of("\\/") != std::string::npos || name == "." || name == "..";
}

// True, after the popup, when a listed name must not be acted upon.
bool RefusedName(const std::string& name) {
  if (!AddressesAnotherEntry(name)) return false;
  MessagePopup(kTitle, kInvalidName);
  return true;
}

// A catalogue name holding a control character (a NUL, a line feed) can
// be neither shown nor sent back: it is left out with a log line, so that
// the names after it are still listed.
bool Listable(const std::string& name) {
  const bool control =
      std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
  if (!control) return true;
  std::string shown = name;
  for (char& c : shown)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  Log_Message(2, "*** Instrument catalogue entry with a control character not listed: ", shown.c_str());
  return false;
}

bool WriteWithPath(const char* format, const std::string& path) {
  std::string quoted;
  if (!Quoted(path, &quoted)) return false;
  if (VisaDev_Write(g.id, cz::FormatC(format, quoted.c_str()).c_str()) == 1) return true;
  ShowLastError();
  return false;
}

// A count query (":MMEM:DCAT:LENG?", ":MMEM:CAT:LENG?"); an empty path
// sends the command without argument.
bool QueryCount(const char* format, const std::string& path, long* count) {
  std::string quoted;
  if (!Quoted(path, &quoted)) return false;
  char reply[kEntryBytes] = "";
  const std::string command = path.empty() ? std::string(format) : cz::FormatC(format, quoted.c_str());
  if (VisaDev_Query(g.id, command.c_str(), reply, sizeof reply) != 1) {
    ShowLastError();
    return false;
  }
  *count = std::strtol(reply, nullptr, 10);
  return true;
}

// Entries no user should enter: the current directory, the parent at the
// top of a Unix-style root, and the system folders of each kind.
bool SkippedDirectory(const std::string& name, bool atTop) {
  if (name == ".") return true;
  if (g.unixStyle) return name == "lost+found" || (name == ".." && atTop);
  return name == "RECYCLER" || name == "System Volume Information";
}

void SetOkDimmed() { SetCtrlAttribute(PANEL_FB, PANEL_FB_ARBFILEOK, ATTR_DIMMED, g.chosen.empty() ? 1 : 0); }

void ClearChosen() {
  g.chosen.Clear();
  SetCtrlVal(PANEL_FB, PANEL_FB_FILENAME, "");
  SetOkDimmed();
}

// The chosen file; a path that does not fit the callers' buffers is refused
// (said when tell is set), and no earlier choice stays in its place.
void SetChosen(const std::string& full, bool tell) {
  if (!g.chosen.AssignExact(full)) {
    ClearChosen();
    if (tell) MessagePopup(kTitle, "Path name too long.");
    return;
  }
  SetCtrlVal(PANEL_FB, PANEL_FB_FILENAME, g.chosen.c_str());
  SetOkDimmed();
}

void Relist() {
  const std::string dir = CurrentDirectory();
  FileBrowser_ListDirectories(dir.c_str());
  FileBrowser_ListFiles(dir.c_str(), g.filter.c_str());
}

// ".." one level up (never above a preset root's top), else one level down.
void Navigate(const std::string& name) {
  if (name == "." || name == "System Volume Information") return;
  std::string path = g.path.str();
  const char sep = Separator();
  if (name == "..") {
    const bool preset = g.unixStyle ? !g.presetUnixRoot.empty() : !g.presetWindowsRoot.empty();
    if (preset && path.size() <= 1) return;
    const std::size_t cut = path.find_last_of(sep);
    path = cut == std::string::npos || cut == 0 ? std::string(1, sep) : path.substr(0, cut);
  } else {
    if (RefusedName(name)) return;
    if (path.empty() || path.back() != sep) path += sep;
    path += name;
  }
  if (!g.path.AssignExact(path)) {
    MessagePopup(kTitle, "Path name too long.");
    return;
  }
  Relist();
  ClearChosen();
  SetCtrlVal(PANEL_FB, PANEL_FB_PATH, g.path.c_str());
}

// Active item of a list, -1 when none.
int ActiveItem(int control) {
  int item = -1;
  if (GetActiveTreeItem(PANEL_FB, control, &item) < 0) return -1;
  return item;
}

// Selecting a file makes it the chosen one and offers Delete and Transfer.
// A name that would address another file, or a path too long to hand back,
// is refused once per selection: the focus coming back to the list, or the
// several events of one click, say it no more.
void FileSelected() {
  const int item = ActiveItem(PANEL_FB_FILES);
  const bool moved = item != g.lastFileItem;
  g.lastFileItem = item;
  if (item < 0 || item >= static_cast<int>(g.files.size())) return;
  const std::string& name = g.files[item];
  if (AddressesAnotherEntry(name)) {
    ClearChosen();
    SetCtrlAttribute(PANEL_FB, PANEL_FB_ARBFILEDELETE, ATTR_DIMMED, 1);
    SetCtrlAttribute(PANEL_FB, PANEL_FB_ARBFILECOPY, ATTR_DIMMED, 1);
    if (moved) MessagePopup(kTitle, kInvalidName);
    return;
  }
  SetChosen(CurrentDirectory() + Separator() + name, moved);
  SetCtrlAttribute(PANEL_FB, PANEL_FB_ARBFILEDELETE, ATTR_DIMMED, 0);
  SetCtrlAttribute(PANEL_FB, PANEL_FB_ARBFILECOPY, ATTR_DIMMED, 0);
}

// Any directory item allows Create; Delete only for a real subdirectory.
void DirectorySelected() {
  const int item = ActiveItem(PANEL_FB_DIRECTORY);
  g.lastDirectoryItem = item;
  SetCtrlAttribute(PANEL_FB, PANEL_FB_ARBFILEMDIR, ATTR_DIMMED, 0);
  const bool removable =
      item >= 0 && item < static_cast<int>(g.directories.size()) && !AddressesAnotherEntry(g.directories[item]);
  SetCtrlAttribute(PANEL_FB, PANEL_FB_ARBFILERDIR, ATTR_DIMMED, removable ? 0 : 1);
}

// Each list offers its buttons while it has the focus: a list gaining the
// focus with a selection undims them, losing it dims them. The focus going
// from a list to one of its own buttons keeps them, or the press that moves
// it would dim the very button it is about to click; they are dimmed once
// the focus leaves both the list and its buttons.
void FocusMoved(int to) {
  const int from = g.lastFocus;
  if (from == to) return;
  g.lastFocus = to;
  const auto fileSide = [](int c) {
    return c > 0 && (c == PANEL_FB_FILES || c == PANEL_FB_ARBFILEDELETE || c == PANEL_FB_ARBFILECOPY);
  };
  const auto dirSide = [](int c) {
    return c > 0 && (c == PANEL_FB_DIRECTORY || c == PANEL_FB_ARBFILEMDIR || c == PANEL_FB_ARBFILERDIR);
  };
  if (fileSide(from) && !fileSide(to)) {
    SetCtrlAttribute(PANEL_FB, PANEL_FB_ARBFILEDELETE, ATTR_DIMMED, 1);
    SetCtrlAttribute(PANEL_FB, PANEL_FB_ARBFILECOPY, ATTR_DIMMED, 1);
  }
  if (dirSide(from) && !dirSide(to)) {
    SetCtrlAttribute(PANEL_FB, PANEL_FB_ARBFILEMDIR, ATTR_DIMMED, 1);
    SetCtrlAttribute(PANEL_FB, PANEL_FB_ARBFILERDIR, ATTR_DIMMED, 1);
  }
  if (to == PANEL_FB_FILES && !fileSide(from)) FileSelected();
  if (to == PANEL_FB_DIRECTORY && !dirSide(from)) DirectorySelected();
}

// While the dialog runs inside another callback, clicks raise no events:
// the selection and the focus are read on every turn of the loop.
void PollSelections() {
  const int focus = GetActiveCtrl(PANEL_FB);
  if (focus >= 0) FocusMoved(focus);
  if (ActiveItem(PANEL_FB_FILES) != g.lastFileItem) FileSelected();
  if (ActiveItem(PANEL_FB_DIRECTORY) != g.lastDirectoryItem) DirectorySelected();
}

std::string SelectedName(int control, const std::vector<std::string>& names) {
  const int item = ActiveItem(control);
  return item >= 0 && item < static_cast<int>(names.size()) ? names[item] : std::string();
}

int InsertItem(int control, const char* label) {
  return InsertTreeItem(PANEL_FB, control, VAL_SIBLING, -1, VAL_LAST, label, nullptr, nullptr, 0);
}

}  // namespace

// ---- callbacks (installed by the panel builder) --------------------------

int FileBrowserOkCb(int, int, int event, void*, int, int) {
  if (event != EVENT_COMMIT) return 0;
  g.result = 0;
  g.done = true;
  return 0;
}

int FileBrowserCancelCb(int, int, int event, void*, int, int) {
  if (event != EVENT_COMMIT) return 0;
  g.result = 1;
  g.done = true;
  return 0;
}

int FileBrowserPanelCb(int, int event, void*, int, int) {
  if (event == EVENT_CLOSE) FileBrowserCancelCb(PANEL_FB, PANEL_FB_ARBFILECANCEL, EVENT_COMMIT, nullptr, 0, 0);
  return 0;
}

int FileBrowserDriveCb(int panel, int control, int event, void*, int, int) {
  if (event != EVENT_COMMIT) return 0;
  char drive[kFileBrowserPathSize] = "";
  GetCtrlVal(panel, control, drive, sizeof drive);
  g.root.Assign(drive);
  g.path = std::string(1, Separator());
  SetCtrlVal(PANEL_FB, PANEL_FB_PATH, g.path.c_str());
  ClearChosen();
  Relist();
  return 0;
}

int FileBrowserFileNameCb(int panel, int control, int event, void*, int, int) {
  if (event != EVENT_COMMIT && event != EVENT_VAL_CHANGED) return 0;
  // A typed path the callers' buffers cannot hold is refused, never cut (a
  // cut path names another file): OK stays dimmed, and the commit says so.
  char text[UI_MAX_PATH] = "";
  GetCtrlVal(panel, control, text, sizeof text);
  if (!g.chosen.AssignExact(text)) {
    g.chosen.Clear();
    if (event == EVENT_COMMIT) MessagePopup(kTitle, "Path name too long.");
  }
  SetOkDimmed();
  return 0;
}

int FileBrowserFileListCb(int, int control, int event, void*, int eventData1, int) {
  if (event == EVENT_GOT_FOCUS) FocusMoved(control);
  if (event == EVENT_LOST_FOCUS) FocusMoved(eventData1);
  if (event == EVENT_SELECTION_CHANGE || event == EVENT_LEFT_CLICK || event == EVENT_COMMIT) FileSelected();
  return 0;
}

int FileBrowserDirectoryListCb(int, int control, int event, void*, int eventData1, int) {
  if (event == EVENT_GOT_FOCUS) FocusMoved(control);
  if (event == EVENT_LOST_FOCUS) FocusMoved(eventData1);
  if (event == EVENT_SELECTION_CHANGE || event == EVENT_LEFT_CLICK) DirectorySelected();
  if (event == EVENT_COMMIT) {
    const std::string name = SelectedName(PANEL_FB_DIRECTORY, g.directories);
    if (!name.empty()) Navigate(name);
  }
  return 0;
}

int FileBrowserMakeDirCb(int, int, int event, void*, int, int) {
  if (event != EVENT_COMMIT) return 0;
  char name[kFileBrowserPathSize] = "";
  if (PromptPopup("Create Directory", "Name of new directory:", name, 255) < 0 || name[0] == '\0') return 0;
  const std::string dir = CurrentDirectory();
  if (WriteWithPath(":MMEM:MDIR %s", dir + Separator() + name)) FileBrowser_ListDirectories(dir.c_str());
  return 0;
}

// A directory is removed only when both its subdirectory and its file
// counts show nothing but "." and ".."; the instrument removes it from
// its parent.
int FileBrowserRemoveDirCb(int, int, int event, void*, int, int) {
  if (event != EVENT_COMMIT) return 0;
  const std::string name = SelectedName(PANEL_FB_DIRECTORY, g.directories);
  if (name.empty() || name == "." || name == "..") return 0;
  if (RefusedName(name)) return 0;
  const std::string dir = CurrentDirectory();
  const std::string target = dir + Separator() + name;
  long count = 0;
  // Both counts include "." and "..".
  if (!QueryCount(":MMEM:DCAT:LENG? %s", target, &count)) return 0;
  if (count >= 3) return MessagePopup(kTitle, "Directory is not empty!"), 0;
  if (!QueryCount(":MMEM:CAT:LENG? %s", target, &count)) return 0;
  if (count >= 3) return MessagePopup(kTitle, "Directory is not empty!"), 0;
  if (!WriteWithPath(":MMEM:CDIR %s", g.unixStyle ? dir : dir + "\\")) return 0;
  if (WriteWithPath(":MMEM:RDIR %s", name)) FileBrowser_ListDirectories(dir.c_str());
  return 0;
}

int FileBrowserDeleteFileCb(int, int, int event, void*, int, int) {
  if (event != EVENT_COMMIT) return 0;
  const std::string name = SelectedName(PANEL_FB_FILES, g.files);
  if (name.empty() || RefusedName(name)) return 0;
  if (!ConfirmPopup("Confirm Delete", cz::FormatC("Do you realy want to delete\n%s?", name.c_str()).c_str()))
    return 0;
  const std::string dir = CurrentDirectory();
  if (WriteWithPath(":MMEM:DEL %s", dir + Separator() + name)) FileBrowser_ListFiles(dir.c_str(), g.filter.c_str());
  ClearChosen();
  return 0;
}

// "Transfer to PC": the selected file is read as a definite-length block
// into the local file the user names, with the progress dialog.
int FileBrowserCopyToPcCb(int, int, int event, void*, int, int) {
  if (event != EVENT_COMMIT) return 0;
  const std::string name = SelectedName(PANEL_FB_FILES, g.files);
  if (name.empty()) return MessagePopup(kTitle, "Invalid source file name."), 0;
  if (RefusedName(name)) return 0;
  const std::string spec = std::string("*") + g.filter.c_str();
  // A local path is not held to the instrument's name limit; one beyond
  // even this buffer is refused with a message, never cut.
  char local[UI_MAX_PATH] = "";
  const int picked = FileSelectPopup("", spec.c_str(), spec.c_str(), "Select File", VAL_SAVE_BUTTON, 0, 0, 1, 1, local,
                                     sizeof local);
  if (picked == UI_ERR_BUFFER_TOO_SMALL) return MessagePopup(kTitle, "The path of the chosen file is too long."), 0;
  if (picked <= 0) return 0;
  if (!Progress_Open("Transferring file...")) return MessagePopup(kTitle, "Failed to initialize progress bar."), 0;
  Progress_SetTotal(100);
  VisaDev_SetProgressCallback(FileBrowser_ProgressPump);
  const std::string remote = CurrentDirectory() + Separator() + name;
  const int ok = VisaDev_DownloadFile(g.id, local, remote.c_str());
  VisaDev_ClearProgressCallback();
  Progress_Close();
  if (ok != 1 && VisaDev_DownloadCancelled(g.id)) {
    MessagePopup(kTitle, "File transfer cancelled.");
  } else if (ok != 1) {
    MessagePopup(kTitle, "File transfer failed.");
  }
  return 0;
}

// ---- listings --------------------------------------------------------------

// ":MMEM:DCAT?" answers the names as a comma-separated list of quoted
// strings; at most 1,024 entries are taken. The reply is read whole and
// parsed by its length, however long its names are.
void FileBrowser_ListDirectories(const char* directory) {
  if (PANEL_FB <= 0) return;
  const std::string dir = directory ? directory : "";
  if (!WriteWithPath(":MMEM:CDIR %s", dir)) return;
  long n = 0;
  if (!QueryCount(":MMEM:DCAT:LENG?", "", &n)) return;
  if (n < 1 || n > kMaxDirectoryEntries) {
    MessagePopup(kTitle, "Number of directory entries invalid.");
    return;
  }
  std::string text;
  if (VisaDev_QueryAll(g.id, ":MMEM:DCAT?", &text) != 1) return ShowLastError();
  ClearTreeItems(PANEL_FB, PANEL_FB_DIRECTORY);
  g.directories.clear();
  g.lastDirectoryItem = -1;
  const bool atTop = g.path.size() <= 1;
  const std::vector<std::string> names = Catalog_Strings(text);
  for (long i = 0; i < n && i < static_cast<long>(names.size()); ++i) {
    const std::string& name = names[static_cast<std::size_t>(i)];
    if (SkippedDirectory(name, atTop) || !Listable(name)) continue;
    const int item = InsertItem(PANEL_FB_DIRECTORY, name.c_str());
    if (item < 0) break;
    if (g.folderImage >= 0) SetTreeItemAttribute(PANEL_FB, PANEL_FB_DIRECTORY, item, ATTR_IMAGE_INDEX, g.folderImage);
    g.directories.push_back(name);
  }
}

// Drive-style instruments filter the catalog themselves ("D:\dir\*.wv");
// the Unix-style catalog lists everything and is filtered here. The reply
// is read whole and every entry it holds is listed, however many.
void FileBrowser_ListFiles(const char* directory, const char* filter) {
  if (PANEL_FB <= 0) return;
  const std::string dir = directory ? directory : "";
  const std::string ext = filter ? filter : "";
  const std::string target = g.unixStyle ? dir : dir + "\\*" + ext;
  long n = 0;
  if (!QueryCount(":MMEM:CAT:LENG? %s", target, &n)) return;
  if (n <= 0) {
    ClearTreeItems(PANEL_FB, PANEL_FB_FILES);
    g.files.clear();
    g.lastFileItem = -1;
    SetCtrlVal(PANEL_FB, PANEL_FB_DIRSIZE, cz::FormatC("Directory Size: %2.1f kB", 0.0).c_str());
    return;
  }
  std::string quoted;
  ScpiQuoted(target, &quoted);
  std::string text;
  if (VisaDev_QueryAll(g.id, (":MMEM:CAT? " + quoted).c_str(), &text) != 1) return ShowLastError();

  // "<used>,<available>,"name,type,size",..."
  char* end = nullptr;
  const double used = cz::StrtodC(text.c_str(), &end);
  const double available = (end && *end == ',') ? cz::StrtodC(end + 1, nullptr) : 0.0;
  char usedText[64] = "", availableText[64] = "";
  FileBrowser_FormatSpace(used, available, usedText, sizeof usedText, availableText, sizeof availableText);
  SetCtrlVal(PANEL_FB, PANEL_FB_DIRSIZE, usedText);
  SetCtrlVal(PANEL_FB, PANEL_FB_HDFREE, availableText);

  ClearTreeItems(PANEL_FB, PANEL_FB_FILES);
  g.files.clear();
  g.lastFileItem = -1;
  for (const std::string& listed : Catalog_Strings(text)) {
    // "name,type,size": the name may hold commas, type and size do not.
    CatalogEntry entry;
    if (!Catalog_SplitEntry(listed, &entry) || !Listable(entry.name)) continue;
    const std::string& name = entry.name;
    const std::string& type = entry.type;
    const std::string& size = entry.size;
    if (type == "DIR") continue;
    // The Unix-style catalog is not filtered by the instrument.
    if (g.unixStyle && (name.size() < ext.size() || name.compare(name.size() - ext.size(), ext.size(), ext) != 0))
      continue;
    const int item = InsertItem(PANEL_FB_FILES, size.c_str());
    if (item < 0) break;
    SetTreeCellAttribute(PANEL_FB, PANEL_FB_FILES, item, 1, ATTR_LABEL_TEXT, name.c_str());
    g.files.push_back(name);
  }
}

// Used space in kB (1,024 bytes), shown in MB above 4,096 kB and in GB above
// 4,194,304 kB; available space in MB, shown in GB above 4,096 MB.
void FileBrowser_FormatSpace(double usedBytes, double availableBytes, char* used, std::size_t usedSize,
                             char* available, std::size_t availableSize) {
  const double u = usedBytes / 1024.0;  // kB
  if (u > 4194304.0)
    cz::SnprintfC(used, usedSize, "Total size : %2.1f GB", u / 1048576.0);
  else if (u > 4096.0)
    cz::SnprintfC(used, usedSize, "Total size : %2.1f MB", u / 1024.0);
  else
    cz::SnprintfC(used, usedSize, "Total size : %2.1f kB", u);
  const double a = availableBytes / 1048576.0;  // MB
  if (a > 4096.0)
    cz::SnprintfC(available, availableSize, "Available : %2.1f GB", a / 1024.0);
  else
    cz::SnprintfC(available, availableSize, "Available : %2.1f MB", a);
}

void FileBrowser_SetUnixRoot(const char* root) { g.presetUnixRoot.Assign(root ? root : ""); }
void FileBrowser_SetWindowsRoot(const char* root) { g.presetWindowsRoot.Assign(root ? root : ""); }
void FileBrowser_SetLoopHook(FileBrowser_LoopHook hook) { g_loopHook = hook; }

// Other controls do not act during the download: their events are dropped.
// The dialog's Cancel (or an exit waiting to run) stops the download.
void FileBrowser_ProgressPump(int percent) {
  if (ProgressDialogHook(percent) == 1) VisaDev_CancelDownload();
}

// ---- the dialog -------------------------------------------------------------

namespace {

// A commit taken from the user-event queue goes to the control's handler.
void DispatchCommit(int control) {
  struct Route {
    const int* control;
    CtrlCallbackPtr callback;
  };
  const Route routes[] = {{&PANEL_FB_ARBFILEOK, FileBrowserOkCb},          {&PANEL_FB_ARBFILECANCEL, FileBrowserCancelCb},
                          {&PANEL_FB_DRIVE, FileBrowserDriveCb},           {&PANEL_FB_FILENAME, FileBrowserFileNameCb},
                          {&PANEL_FB_ARBFILECOPY, FileBrowserCopyToPcCb},  {&PANEL_FB_ARBFILEDELETE, FileBrowserDeleteFileCb},
                          {&PANEL_FB_ARBFILEMDIR, FileBrowserMakeDirCb},   {&PANEL_FB_ARBFILERDIR, FileBrowserRemoveDirCb},
                          {&PANEL_FB_DIRECTORY, FileBrowserDirectoryListCb}, {&PANEL_FB_FILES, FileBrowserFileListCb}};
  PollSelections();
  for (const Route& r : routes)
    if (*r.control == control) r.callback(PANEL_FB, control, EVENT_COMMIT, nullptr, 0, 0);
}

// The dialog's own loop: the loop hook, then the next queued commit. Commits
// of other windows are dropped while the dialog is open; without events the
// lists are polled and the loop pauses 20 ms.
void RunLoop() {
  while (!g.done) {
    if (g_loopHook) g_loopHook(PANEL_FB);
    if (g.done) break;
    // An exit waiting to run answers the dialog with Cancel.
    if (Exit_Pending() != kExitNone) {
      FileBrowserCancelCb(PANEL_FB, PANEL_FB_ARBFILECANCEL, EVENT_COMMIT, nullptr, 0, 0);
      continue;
    }
    int panel = 0, control = 0;
    const int event = GetUserEvent(VAL_NO_WAIT, &panel, &control);
    if (event == EVENT_COMMIT && panel == PANEL_FB) {
      DispatchCommit(control);
      continue;
    }
    if (event != 0) continue;  // other windows wait while the dialog is open
    PollSelections();
    Delay(kLoopPauseSeconds);
  }
}

}  // namespace

int FileBrowser_Run(int id, char* path, char* chosen, const char* filter) {
  if (PANEL_FB > 0) return 0;  // one browser at a time
  const int panel = BuildFileBrowserPanel(0);
  if (panel < 0) return 0;
  PANEL_FB = panel;
  g.folderImage = -1;
  int bitmap = 0;
  if (GetUserBitmapFromText(kImageRoot, &bitmap) >= 0) {
    g.folderImage = AddTreeImage(panel, PANEL_FB_DIRECTORY, bitmap);
    DiscardBitmap(bitmap);
  }
  g.id = id;
  g.done = false;
  g.result = 1;
  g.directories.clear();
  g.files.clear();
  g.lastDirectoryItem = g.lastFileItem = -1;
  InstrumentType type = kInstrumentTypeNone;
  if (VisaDev_GetType(id, &type) != 1) {
    MessagePopup(kTitle, "Cannot determine instrument type.");
    DiscardPanel(panel);
    PANEL_FB = 0;
    return 0;
  }
  g.unixStyle = VisaDev_IsUnixStyle(id) == 1;

  // "*.wv" gives ".wv"; a filter without '.' is taken whole.
  const std::string f = filter && filter[0] ? filter : ".*";
  const std::size_t dot = f.find('.');
  g.filter.Assign(dot == std::string::npos ? f : f.substr(dot));
  SetCtrlAttribute(panel, PANEL_FB_FILES, ATTR_LABEL_TEXT, (std::string("*") + g.filter.c_str()).c_str());

  if (g.unixStyle) {
    InsertListItem(panel, PANEL_FB_DRIVE, -1, "/var", "/var");
    InsertListItem(panel, PANEL_FB_DRIVE, -1, "/hdd", "/hdd");
    g.root = g.presetUnixRoot.empty() ? "/var" : g.presetUnixRoot.c_str();
    g.path = "/";
  } else {
    InsertListItem(panel, PANEL_FB_DRIVE, -1, "D:", "D:");
    g.root = g.presetWindowsRoot.empty() ? "D:" : g.presetWindowsRoot.c_str();
    g.path = "\\";
  }
  g.chosen.Assign(path ? path : "");
  SetCtrlVal(panel, PANEL_FB_PATH, g.path.c_str());
  SetCtrlVal(panel, PANEL_FB_FILENAME, g.chosen.c_str());
  SetCtrlAttribute(panel, PANEL_FB_ARBFILEDELETE, ATTR_DIMMED, 1);
  SetCtrlAttribute(panel, PANEL_FB_ARBFILECOPY, ATTR_DIMMED, 1);
  DisplayPanel(panel);
  g.lastFocus = std::max(0, GetActiveCtrl(panel));
  Relist();
  RunLoop();

  if (path) cz::CopyText(path, kFileBrowserPathSize, g.chosen.view());
  if (chosen) cz::CopyText(chosen, kFileBrowserPathSize, g.chosen.view());
  DiscardPanel(panel);
  PANEL_FB = 0;
  return g.result;
}
