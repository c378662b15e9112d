// Program settings, the home path and the settings file.
//
// One record, g_Settings, lives for the whole run: read from "settings.ini"
// in the home path at start-up (LoadSettings), edited in place by the
// Preferences dialog, the Instrument Manager and the Transfer tab, and
// written back after a project save and at exit (SaveSettings). The record
// also carries the project header, which is saved in the project file and
// never in settings.ini.
//
// settings.ini sections: [DEV] and [SDEV] (device lists), [INSTR] (instrument
// connection), [PRG] (program and transfer defaults). A [General] HomePath
// key in the settings.ini of the working directory moves the home path.
#pragma once

#include <cstddef>

#include "app/Records.h"  // ProjectHeader
#include "platform/BoundedText.h"

namespace cz {
inline constexpr std::size_t kHomePathSize = 260;  // home path capacity, terminator included
inline constexpr int kManualDevices = 32;
inline constexpr int kScannedDevices = 64;
inline constexpr const char* kSettingsFileName = "settings.ini";
}  // namespace cz

// A list of instruments: entry i is (Resource[i], Comment[i]); the first
// entry with an empty resource ends the list.
template <int N>
struct DeviceList {
  static constexpr int kEntries = N;
  cz::Text<256> Resource[N];
  cz::Text<256> Comment[N];
};

struct AppSettings {
  // [INSTR]
  cz::Text<256> Select;   // VISA resource of the selected instrument; empty = none
  int BrdScn = 0;         // GPIB board for scans
  cz::Text<256> LANScn;   // network domain for LAN scans
  DeviceList<cz::kManualDevices> ManualDeviceList;    // [DEV]
  DeviceList<cz::kScannedDevices> ScannedDeviceList;  // [SDEV]
  cz::Text<256> RscComm;  // device comment field of the Instrument Manager
  int If = 0;             // add-manually interface: 0 USB, 1 TCP/IP, 2 GPIB, 3 Other
  cz::Text<32> UsbSer;    // USB serial number, at most 31 characters
  int UsbId = 0;          // USB product id of the model
  cz::Text<256> Host;     // host name or address of a TCP/IP instrument
  int GpibBrd = 0;        // GPIB board of the instrument being added
  int GpibDev = 0;        // GPIB address, 0..30
  cz::Text<256> Other;    // free resource string for interface 3
  cz::Text<256> ComposedResource;  // composed from the add-manually fields; not stored

  // [PRG]
  cz::Text<256> TempDir;  // folder of the temporary sample files
  cz::Text<256> LastPrj;  // current project file; empty = not saved yet
  int SavePrjOnExit = 0;
  int AllowTrace = 0;     // "Log Program Messages to Log Window"
  int ViewMode = 3;       // I/Q plot view mode; travels with the project header
  cz::Text<256> RemoteFileA;
  cz::Text<256> RemoteFileB;
  int BBRoutingA = 0, BBRoutingB = 0;  // 0 "--> A", 1 "--> B", 2 "--> A+B"
  int BBModeA = 0, BBModeB = 0;        // 0 ignore, 1 load, 2 load and run
  int BBLinkFA = 0, BBLinkFB = 0;      // instrument file name follows the source file
  int RFSetFA = 0, RFSetFB = 0;        // set the RF frequency on transfer
  int RFSetLA = 0, RFSetLB = 0;        // set the RF level on transfer
  int RFStateA = 0, RFStateB = 0;      // RF output state
  double RFFreqA = 0.0, RFFreqB = 0.0; // GHz
  double RFLevA = 0.0, RFLevB = 0.0;   // dBm

  ProjectHeader Project;  // saved in the project file, never in settings.ini
};

// The one settings record of the program.
extern AppSettings g_Settings;

// Defaults of the fields that are not taken from the file.
inline constexpr const char* kDefaultUsbSer = "123123";
inline constexpr int kDefaultUsbId = 95;
inline constexpr const char* kDefaultHost = "127.0.0.1";
inline constexpr int kDefaultGpibDev = 28;
inline constexpr const char* kDefaultOther = "GPIB0::28::INSTR";
inline constexpr const char* kDefaultComposedResource = "TCPIP0::127.0.0.1::inst0::INSTR";
inline constexpr double kDefaultRfFreqGHz = 1.0;
inline constexpr double kDefaultRfLevelDbm = -30.0;

// The home path, always ending in '/': [General] HomePath of the settings.ini
// in the working directory, else $HOME/Cadenza/ (made when missing).
// out has room for capacity bytes (cz::kHomePathSize). 1 = success; 0 = no
// home path, out empty.
int GetHomePath(char* out, std::size_t capacity);

// out = path when it is absolute ("/x", "\x", "C:\x"); otherwise the home
// path followed directly by path, its '\' taken as '/'. 1 = success, 0 =
// the result does not fit (out empty, logged).
int MakeAbsolutePath(const char* path, char* out, std::size_t capacity);

// The host path of a local file named by the user or by a record, before
// anything checks, opens or sends it: a relative path is taken from the home
// path (not from the working directory), '\' becomes '/'. 1 = success; 0 =
// an empty path or a result that does not fit (out empty).
int ResolveLocalPath(const char* path, char* out, std::size_t capacity);
// The same as a string; empty when the path cannot be resolved (an open of
// it then fails as for a missing file).
std::string ResolvedLocalPath(const char* path);

// Sets the defaults, then reads home path + settings.ini. 1 = the file was
// read, 0 = defaults only.
int LoadSettings(AppSettings& settings);
// Writes home path + settings.ini anew (through a temporary file beside it).
// 1 = written, 0 = failed (popup shown, the file on disk unchanged).
int SaveSettings(const AppSettings& settings);

// Shows g_Settings in the Preferences and Instrument Manager dialogs; with
// createBrowser = 1 it first makes the folder browser of the Preferences
// dialog's General page.
void SetControls(int createBrowser);
// The folder browser control of the General page, or 0 when there is none.
int FindPanelControl();
// The browser control that SetControls made (0 before).
extern int g_TempDirBrowserCtrl;
// Callback of the folder browser: copies the chosen folder into the
// Preferences dialog (defined with the other menu and dialog callbacks).
int TempDirTreeCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
