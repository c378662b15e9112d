// The instrument file browser: a modal dialog over the file system of an
// open instrument, driven by the SCPI mass-memory commands (":MMEM:CDIR",
// ":MMEM:DCAT?", ":MMEM:CAT?", ":MMEM:MDIR", ":MMEM:RDIR", ":MMEM:DEL",
// file download). It lists the directories and the files that match an
// extension filter with their sizes and the used and available space, and
// hands back the full instrument path of the file the user picked.
//
// Instruments with a Unix-style file system ('/') start at "/var" (drives
// "/var" and "/hdd"), the others at "D:". One browser runs at a time.
#pragma once

#include <cstddef>

inline constexpr std::size_t kFileBrowserPathSize = 256;

// Runs the dialog on the open instrument id. path (in/out) and chosen (out)
// are buffers of kFileBrowserPathSize bytes; path's text is shown as the
// chosen file at the start. filter "*.wv" lists names ending in ".wv"; null
// or empty lists every file (".*"). Returns 0 after OK and 1 after Cancel;
// both buffers then receive the chosen file (empty when none). Returns 0
// without touching the buffers when the dialog cannot be built, and 0 after
// the popup "Cannot determine instrument type." when the type is unknown.
int FileBrowser_Run(int id, char* path, char* chosen, const char* filter);

// Fill the two lists from the instrument (the browser must be open).
void FileBrowser_ListDirectories(const char* directory);
void FileBrowser_ListFiles(const char* directory, const char* filter);

// Preset roots (at most 255 characters); a non-empty root also keeps ".."
// from leaving it.
void FileBrowser_SetUnixRoot(const char* root);
void FileBrowser_SetWindowsRoot(const char* root);

// VISA progress function of downloads: updates the progress dialog, drops
// pending user events and passes the dialog's Cancel on to the download.
void FileBrowser_ProgressPump(int percent);

// The dialog's panel while it runs (0 otherwise) and its controls.
int BuildFileBrowserPanel(int parent);
extern int PANEL_FB;
extern int PANEL_FB_ARBFILEOK;
extern int PANEL_FB_ARBFILECANCEL;
extern int PANEL_FB_DRIVE;
extern int PANEL_FB_PATH;
extern int PANEL_FB_FILENAME;
extern int PANEL_FB_ARBFILECOPY;
extern int PANEL_FB_ARBFILEDELETE;
extern int PANEL_FB_ARBFILEMDIR;
extern int PANEL_FB_ARBFILERDIR;
extern int PANEL_FB_DIRECTORY;
extern int PANEL_FB_FILES;
extern int PANEL_FB_DIRSIZE;
extern int PANEL_FB_HDFREE;
extern int PANEL_FB_STR_TXT_5;
extern int PANEL_FB_STR_TXT_4;

// Callbacks of the dialog's controls (and its close box, which cancels).
int FileBrowserOkCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int FileBrowserCancelCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int FileBrowserDriveCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int FileBrowserFileNameCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int FileBrowserCopyToPcCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int FileBrowserDeleteFileCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int FileBrowserMakeDirCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int FileBrowserRemoveDirCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int FileBrowserDirectoryListCb(int panel, int control, int event, void* callbackData, int eventData1,
                               int eventData2);
int FileBrowserFileListCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int FileBrowserPanelCb(int panel, int event, void* callbackData, int eventData1, int eventData2);

// Called once per turn of the dialog's event loop with the panel handle;
// lets tests act in the user's place while the dialog is modal.
using FileBrowser_LoopHook = void (*)(int panel);
void FileBrowser_SetLoopHook(FileBrowser_LoopHook hook);

// The size texts of a catalog: "Total size : %2.1f kB|MB|GB" of the used
// bytes and "Available : %2.1f MB|GB" of the available bytes.
void FileBrowser_FormatSpace(double usedBytes, double availableBytes, char* used, std::size_t usedSize,
                             char* available, std::size_t availableSize);
