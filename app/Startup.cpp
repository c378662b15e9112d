// The start-up sequence and the tear-down.
#include "app/Startup.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/ExitRequest.h"
#include "app/LibraryTree.h"
#include "app/Log.h"
#include "app/LogSinks.h"
#include "app/MainCommands.h"
#include "app/PanelIds.h"
#include "app/PluginLoader.h"
#include "app/Progress.h"
#include "app/ProjectCommands.h"
#include "app/ProjectFile.h"
#include "app/PulsePanelIds.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "app/TempFiles.h"
#include "editors/DataSourceEditor.h"
#include "editors/JitterPage.h"
#include "editors/ModDataTable.h"
#include "editors/MultiSegmentEditor.h"
#include "editors/PluginTrees.h"
#include "editors/PulseEditor.h"
#include "editors/ReportDriver.h"
#include "editors/SequenceGenerate.h"
#include "editors/SequenceTable.h"
#include "editors/SequenceView.h"
#include "engine/EngineHost.h"
#include "engine/Prbs.h"
#include "engine/Random.h"
#include "instrument/Identify.h"
#include "instrument/InstrumentManager.h"
#include "instrument/TransferTab.h"
#include "instrument/VisaDev.h"
#include "platform/CLocale.h"
#include "platform/Paths.h"
#include "platform/ui/UserInterface.h"
#include "ui/dialogs/DataSourceDialog.h"
#include "ui/dialogs/DialogPanels.h"
#include "ui/dialogs/FilterDialog.h"
#include "ui/dialogs/InfoDialog.h"
#include "ui/dialogs/InstrumentManagerDialog.h"
#include "ui/dialogs/ReportDialog.h"
#include "ui/main/MainPanel.h"
#include "ui/main/TransferPage.h"
#include "ui/pulse/EnvelopePages.h"
#include "ui/pulse/PulsePanels.h"
#include "ui/main/RfListPage.h"
#include "ui/main/SequenceEditorPage.h"
#include "wavelib/WaveLib.h"

int StartupEcho = 0;
int SkipProjectLoad = 0;
int SkipScreenTest = 0;

namespace {

constexpr const char* kTitle = "Torvane Q7 Cadenza";
constexpr double kStepPause = 0.5;      // s, after the steps that talk to files and devices
constexpr int kSelfTestSlot = 5;        // buffer slot of WV-DATA.TMP
constexpr double kWaveLibVersion = 2.2;
// ms the exit waits at most for waveform files still being flushed to the disk.
constexpr int kExitFlushWaitMs = 30000;

void Echo(const char* text) {
  if (!StartupEcho) return;
  std::fputs(text, stdout);
  std::fflush(stdout);
}

// A pause of the start-up; an exit asked for meanwhile skips it.
void Pause() {
  if (Exit_Pending() == kExitNone) Delay(kStepPause);
}

// Marks the start-up as running for its whole extent: an exit asked for
// meanwhile waits for its end.
struct StartupRunning {
  StartupRunning() { Exit_SetStartupRunning(1); }
  ~StartupRunning() { Exit_SetStartupRunning(0); }
  StartupRunning(const StartupRunning&) = delete;
  StartupRunning& operator=(const StartupRunning&) = delete;
};

// "Fail": the popup, and the start-up ends.
int Fail(const char* message) {
  MessagePopup(kTitle, message);
  return 0;
}

// Page handles fetched from the tab control, in the order of the fetch.
struct PageHandle {
  int page;
  int* handle;
};
const PageHandle kPageHandles[] = {
    {PAGE_PULSE_EDITOR, &TAB_PEDIT}, {PAGE_SEQUENCE_EDITOR, &TAB_SEDIT}, {PAGE_SEQUENCE_VIEW, &TAB_VIEW},
    {PAGE_RF_LIST, &TAB_RFLIST},     {PAGE_TRANSFER, &TAB_INSTR},        {PAGE_LOG, &TAB_LOG},
    {PAGE_PLUGIN_INFO, &TAB_INFO},   {PAGE_MULTI_SEGMENT, &TAB_MSEG},
};

// Pages hidden until the library tree selects something, in this order.
const int kHiddenAtStart[] = {PAGE_PULSE_EDITOR, PAGE_SEQUENCE_VIEW, PAGE_SEQUENCE_EDITOR,
                              PAGE_PLUGIN_INFO,  PAGE_MULTI_SEGMENT, PAGE_RF_LIST};

// Controls whose frame is made transparent.
struct FrameCtrl {
  const int* panel;
  const int* control;
};
const FrameCtrl kFramelessCtrls[] = {
    {&PANEL_MAIN, &PANEL_MAIN_STR_PROJECT}, {&PANEL_MAIN, &PANEL_MAIN_STR_NAME},
    {&PANEL_MAIN, &PANEL_MAIN_STR_DATE},    {&PANEL_MAIN, &PANEL_MAIN_STR_VERSION},
    {&PANEL_MAIN, &PANEL_MAIN_TAB},         {&TAB_PEDIT, &TAB_PEDIT_STR_NAME},
    {&TAB_PEDIT, &TAB_PEDIT_STR_COMMENT},   {&TAB_SEDIT, &TAB_SEDIT_STR_NAME},
    {&TAB_SEDIT, &TAB_SEDIT_STR_COMMENT},   {&TAB_SEDIT, &TAB_SEDIT_STR_COPYRIGHT},
    {&TAB_SEDIT, &TAB_SEDIT_STR_FILE},      {&TAB_INFO, &TAB_INFO_STR_NAME},
    {&TAB_INFO, &TAB_INFO_STR_VERSION},     {&TAB_INFO, &TAB_INFO_STR_AUTHOR},
    {&TAB_INFO, &TAB_INFO_TXT_COMMENT},     {&TAB_LOG, &TAB_LOG_TEX_LOG},
    {&INSTRMAN, &INSTRMAN_STR_1},           {&INSTRMAN, &INSTRMAN_STR_2},
    {&INSTRMAN, &INSTRMAN_STR_VISA_COMMENT}, {&INSTRMAN, &INSTRMAN_STR_LAN_DOMAIN},
    {&TAB_INSTR, &TAB_INSTR_STR_INSTRFILE_A}, {&TAB_INSTR, &TAB_INSTR_STR_INSTRFILE_B},
};

// Sub-panels of the Pulse Editor page, built into TAB_PEDIT in this order
// and placed at top 120, left 30; the library tree shows one at a time.
struct PulseSubPanel {
  int* handle;
  int (*builder)(int);
};
const PulseSubPanel kPulseSubPanels[] = {
    {&P_TIM, BuildPulseTimingPanel},
    {&P_JIT, BuildJitterPanel},
    {&P_MOD, BuildPulseModulationPanel},
    {&P_MISC, BuildPulseMiscPanel},
    {&P_MARKER, BuildPulseMarkerPanel},
};
constexpr int kSubPanelTop = 120, kSubPanelLeft = 30;

// Panels discarded at exit, in this order (the pages go with the main window).
int* const kDiscardedPanels[] = {&P_TIM, &P_JIT, &P_MOD, &P_MISC, &P_MARKER, &PREFERENCE,
                                 &ABOUT, &INFO, &FILTER, &DATALOG, &DATAEDIT, &PANEL_MAIN};

// Step 2: the maximised client width and the height of the screen that the
// main window is centred on.
void CheckScreen() {
  Echo("Checking system metrics...");
  QScreen* screen = QGuiApplication::primaryScreen();
  const QRect all = screen ? screen->geometry() : QRect();
  const QRect client = screen ? screen->availableGeometry() : QRect();
  const int width = client.width(), height = all.height();
  Echo(cz::FormatC(" Resolution is %dx%d\n", width, height).c_str());
  if (LowScreenResolution(width, height))
    MessagePopup(kTitle, cz::FormatC("Your system reports a low screen resolution of %dx%d.\n"
                                     "It is suggested to use at least 1024x768 to operate this software.",
                                     width, height)
                             .c_str());
}

// Steps 3 to 5: the main window, its page handles and the pulse editor's
// sub-panels.
int BuildMainWindow() {
  Echo("Loading main application panel...\n");
  PANEL_MAIN = BuildMainPanel(0);
  if (PANEL_MAIN < 0) {
    PANEL_MAIN = 0;
    return Fail("Failed to load main window.");
  }
  DisplayPanel(PANEL_MAIN);

  Echo("Loading sub panels...\n");
  for (const PageHandle& p : kPageHandles) {
    const int index = MainTabIndex(p.page);
    if (index < 0) continue;  // the page is not part of the program
    if (GetPanelHandleFromTabPage(PANEL_MAIN, PANEL_MAIN_TAB, index, p.handle) < 0)
      return Fail("Failed to load dialog panel.");
  }
  if (MainTabIndex(PAGE_LOG) >= 0) SetActiveTabPage(PANEL_MAIN, PANEL_MAIN_TAB, MainTabIndex(PAGE_LOG));

  // The pulse editor's sub-panels are the first of the application dialogs.
  Echo("Loading application dialogs...\n");
  if (TAB_PEDIT > 0) {
    for (const PulseSubPanel& sub : kPulseSubPanels) {
      *sub.handle = sub.builder(TAB_PEDIT);
      if (*sub.handle < 0) {
        *sub.handle = 0;
        return Fail("Failed to load pulse editor panel.");
      }
      SetPanelAttribute(*sub.handle, ATTR_TOP, kSubPanelTop);
      SetPanelAttribute(*sub.handle, ATTR_LEFT, kSubPanelLeft);
    }
    InitJitterControlTable();
    // The custom-envelope pages of P_TIM's tab control, by page index.
    const int page = P_TIM > 0 ? EnvelopePages_FetchHandles(P_TIM) : 0;
    if (page != 0) return Fail(cz::FormatC("Failed to load custom envelope panel (%d).", page).c_str());
    AttachPulseEditorPage();
  }
  return 1;
}

// Steps 6 and 7: the pages' contents and the dialogs.
int BuildDialogs() {
  Echo("Configuring controls...\n");
  for (int page : kHiddenAtStart)
    if (MainTabIndex(page) >= 0) SetTabPageAttribute(PANEL_MAIN, PANEL_MAIN_TAB, MainTabIndex(page), ATTR_VISIBLE, 0);
  if (TAB_RFLIST > 0 && PrepareRfListPage() < 0) return Fail("Failed to load dialog panel.");

  Echo("Loading additional dialogs...\n");
  PREFERENCE = BuildPreferencesPanel(0);
  if (PREFERENCE < 0 || GetPanelHandleFromTabPage(PREFERENCE, PREFERENCE_TAB_SETTINGS, 0, &GENERAL) < 0 ||
      GetPanelHandleFromTabPage(PREFERENCE, PREFERENCE_TAB_SETTINGS, 1, &GENWV) < 0) {
    if (PREFERENCE < 0) PREFERENCE = 0;
    return Fail("Failed to load preferences panel.");
  }
  ABOUT = BuildAboutPanel(0);
  if (ABOUT < 0) {
    ABOUT = 0;
    return Fail("Failed to load about panel.");
  }
  INFO = BuildInfoPanel(0);
  if (INFO < 0) {
    INFO = 0;
    return Fail("Failed to load info panel.");
  }
  FILTER = BuildBasebandFilterPanel(0);
  if (FILTER < 0) {
    FILTER = 0;
    return Fail("Failed to load filter panel.");
  }
  DATALOG = BuildReportGenerationPanel(0);
  if (DATALOG < 0) {
    DATALOG = 0;
    return Fail("Failed to load data logging panel.");
  }
  INSTRMAN = BuildInstrumentManagerPanel(0);
  if (INSTRMAN < 0) {
    INSTRMAN = 0;
    return Fail("Failed to load instrument manager panel.");
  }
  DATAEDIT = BuildDataSourceEditorPanel(0);
  if (DATAEDIT < 0) {
    DATAEDIT = 0;
    return Fail("Failed to load data source editor panel.");
  }
  // A menu item whose dialog is not part of the program cannot be chosen.
  const int bar = GetPanelMenuBar(PANEL_MAIN);
  if (bar > 0) SetMenuBarAttribute(bar, MBAR_INSTR_INSTRSETUP, ATTR_DIMMED, INSTRMAN > 0 ? 0 : 1);
  return 1;
}

// Steps 8 and 9.
void PrepareControls() {
  ResetTextBox(ABOUT, ABOUT_TEXTBOX_ABOUT, AboutText());
  SetCtrlAttribute(ABOUT, ABOUT_TEXTBOX_ABOUT, ATTR_FRAME_COLOR, VAL_TRANSPARENT);
  SetCtrlAttribute(ABOUT, ABOUT_TEXTBOX_ABOUT, ATTR_FIRST_VISIBLE_LINE, 0);
  SetPanelAttribute(PANEL_MAIN, ATTR_TITLE, kTitle);

  Echo("Initializing controls...\n");
  for (const FrameCtrl& f : kFramelessCtrls)
    if (*f.panel > 0 && *f.control > 0) SetCtrlAttribute(*f.panel, *f.control, ATTR_FRAME_COLOR, VAL_TRANSPARENT);
  SetupToolTips();
  SetupDialogToolTips();
  ResetSequenceTableRows();
}

// Step 16: a random seed in [1, 511), then each generator clocked a random
// number of times (0 and 7: [10, 100), 1 .. 6: [100, 1000)).
void SetUpPrbs() {
  Echo("Setting up PRBS generators...\n");
  SetPrbsSeed(static_cast<int32_t>(RandomInRange(1.0, 511.0)));
  for (int generator = 0; generator <= 7; ++generator) {
    const bool shortRun = generator == 0 || generator == 7;
    const double count = shortRun ? RandomInRange(10.0, 100.0) : RandomInRange(100.0, 1000.0);
    AdvancePrbs(static_cast<int32_t>(count), generator);
  }
}

// Step 17: the last project, unless skipped; the host path of the project
// loaded (empty when none was).
std::string g_loadedProject;

void LoadLastProject() {
  g_loadedProject.clear();
  LastProjectLoadFailed = 0;
  LastProjectRecordsLost = 0;
  if (g_Settings.LastPrj.empty()) return;
  if (SkipProjectLoad) {
    // The file keeps its name for the next start, but a project never
    // loaded is never saved over it.
    LastProjectLoadFailed = 1;
    return;
  }
  Echo("Loading project...\n");
  char path[UI_MAX_PATH] = "";
  if (ResolveProjectPath(g_Settings.LastPrj.c_str(), path, sizeof path) &&
      LoadProject(PulseTable, SequenceTable, path, 0)) {
    ReportProjectLoad(0);
    g_loadedProject = cz::HostPath(path);
    return;
  }
  Log_Message(1, "** Failed to load project file.");
  // The file keeps its name as the project's, but no automatic save may
  // write the empty project over it.
  LastProjectLoadFailed = 1;
  ClearProject();
}

// The records of the loaded project that name a plug-in this run has not
// loaded: one warning per plug-in, naming the records that use it. The
// records themselves are left as they are, for a run that has it again.
void WarnAboutMissingPlugins() {
  struct Missing {
    std::string plugin;
    std::string users;
  };
  std::vector<Missing> missing;
  auto note = [&missing](const char* plugin, const std::string& user) {
    for (Missing& m : missing)
      if (m.plugin == plugin) {
        m.users += ", " + user;
        return;
      }
    missing.push_back({plugin, user});
  };
  for (int i = 0; i < PulseCount; ++i) {
    const PulseRecord& p = PulseTable[i];
    if (p.modulation == kModulationPlugin && FindModuleByName(p.pluginName.c_str()) < 0)
      note(p.pluginName.c_str(), "pulse '" + p.name.str() + "'");
  }
  for (int i = 0; i < SequenceCount; ++i) {
    const SequenceRecord& s = SequenceTable[i];
    if (s.reportOn == 0 || s.reportPlugin.empty()) continue;
    bool loaded = false;
    for (int m = 0; m < ModuleCount && !loaded; ++m)
      loaded = ModuleTable[m].Type == "report" && ModuleTable[m].Name == s.reportPlugin.view();
    if (!loaded) note(s.reportPlugin.c_str(), "sequence '" + s.name.str() + "'");
  }
  for (const Missing& m : missing)
    Log_Message(4, "** Plug-in '", m.plugin.c_str(), "' is not loaded; used by ", m.users.c_str());
}

// Steps 19 and 20. tempFolderLocked: the user's lock on the folder is held;
// without it the folder is not used.
void SetUpTempFiles(bool tempFolderLocked) {
  Echo("Setting up temporary directories...\n");
  if (!tempFolderLocked) ActiveTempDir.Clear();  // this run has no folder of its own
  const bool open = tempFolderLocked && CreateTempFiles(g_Settings.TempDir.c_str()) == 1;
  if (open && TestTempBuffers(kSelfTestSlot)) {
    Log_Message(1, "===== Startup complete =====");
    Log_Message(1, "");
  } else if (open) {
    MessagePopup(kTitle, "Buffer test failed !");
    Log_Message(1, "**** Startup FAILED *****");
  } else {
    MessagePopup(kTitle, "Failed to open temporary files. Verify path settings in preferences and restart !");
    Log_Message(1, "**** Startup FAILED *****");
  }
  Pause();
}

// Step 21: the selected instrument answers, or no instrument is selected.
void CheckInstrumentLink(char* info, std::size_t infoSize) {
  if (g_Settings.Select.empty()) return;
  Echo("Checking instrument link...\n");
  Log_Status(1, "Testing instrument link...");
  // A model without support selects nothing, like an instrument that is gone;
  // one locked by another client or slow to answer stays selected and is
  // identified when it is next used.
  const std::string resource = g_Settings.Select.str();
  const int identified = IdentifyInstrument(resource.c_str(), info, infoSize);
  if (!identified && IdentifyFailurePasses()) {
    KeepSelectionUnidentified(resource.c_str());
    Log_Message(3, "** Instrument '", resource.c_str(),
                "' stays selected; it is identified again when it is next used.");
  } else if (!identified || !InstrumentCapabilities.Connected) {
    g_Settings.Select.Clear();
  } else if (INSTRMAN > 0) {
    SetCtrlVal(INSTRMAN, INSTRMAN_STR_INSTR, info);
  }
}

}  // namespace

int LowScreenResolution(int clientWidth, int screenHeight) {
  return screenHeight < 720 || clientWidth < 1000 ? 1 : 0;
}

void ReadCommandLine(int argc, char** argv) {
  std::string line;
  for (int i = 1; i < argc; ++i) {
    if (argv[i] == nullptr) continue;
    if (!line.empty()) line += ' ';
    line += argv[i];
  }
  StartupEcho = line.find("--dstartup") != std::string::npos ? 1 : 0;
  SkipProjectLoad = line.find("--no-load-project") != std::string::npos ? 1 : 0;
  SkipScreenTest = line.find("--no-screen-test") != std::string::npos ? 1 : 0;
}

int InitApplication() {
  Exit_Reset();
  const StartupRunning running;
  // The close box and File > Exit pressed while a command runs are noted.
  SetDeferredEventHook(&Exit_NoteDeferredEvent);
  char info[kIdentifyInfoSize] = "";
  RandomSeedUniformAtStartup();

  if (!SkipScreenTest) CheckScreen();
  if (!BuildMainWindow()) return 0;
  if (!BuildDialogs()) return 0;
  PrepareControls();

  Log_SetLogSink(LogWindowSink);
  Log_SetStatusSink(StatusLineSink);
  SetUserCommandHook(&ClearStatusLineError);
  // Long computations poll the Sequence Editor's Stop button and drive the
  // task bar of the main window from now on.
  const EngineHost windowHost = MainWindowEngineHost();
  SetEngineHost(&windowHost);
  // A build hands its temporary I/Q file to the Sequence View and draws it.
  SequenceView_InstallBuildHost();
  // Report entries, the report close and filler lines go to the report driver.
  Report_InstallEngineHooks();
  // The build's entry rows and summary line go to the Sequence Editor.
  SequenceEditor_InstallBuildHost();

  Echo("Initializing low level file I/O driver...\n");
  Log_Status(1, "Initializing...");
  char error[256] = "";
  if (!WaveLib_Init(error, kWaveLibVersion)) return Fail(error);

  Echo("Initializing VISA interface...\n");
  if (!VisaDev_Init(error, sizeof error)) return Fail(error);
  // Waits on an instrument and the waveform writer's blocks keep the window
  // painted.
  EnableWindowLive(1);
  VisaDev_SetWaitHook(&KeepWindowLive);
  WaveLib_SetIdleHook(&KeepWindowLive);
  Pause();

  Echo("Loading program settings...\n");
  Log_Status(1, "Loading settings...");
  LoadSettings(g_Settings);
  // The temporary files are one program's: a second program on the same
  // temporary folder stops here, before it touches them or the project.
  const int tempLock = LockTempFolder(g_Settings.TempDir.c_str());
  if (tempLock == 0) {
    MessagePopup(kTitle, "Another instance of this application is already running.");
    return 0;
  }
  SetControls(1);
  ResetProject();
  Pause();

  Echo("Loading plugins...\n");
  Log_Status(1, "Loading plugins...");
  LoadPlugins();

  Echo("Initializing user interface...\n");
  FillPluginTree();
  FillModulationTypeTree();
  FillReportTypeRing();
  FillFilterTree();
  ResetPulseDataTable();
  ResetInstrumentCapabilities();

  SetUpPrbs();
  LoadLastProject();
  // What runs that are gone left beside the files the program keeps.
  RemoveTempsOfDeadRuns(g_loadedProject);
  WarnAboutMissingPlugins();
  ShowProjectHeader();
  RebuildLibraryTree();
  CloseTempFiles();
  CurrentSequence = -1;

  SetUpTempFiles(tempLock == 1);
  CheckInstrumentLink(info, sizeof info);
  // The editors' idle state follows here, in this order: instrument tree,
  // Transfer tab, Sequence Editor, Transfer busy flag, Multi Segment page,
  // Instrument Manager; each as its page or dialog is part of the program.
  RebuildInstrumentTree();
  RefreshTransferTab();
  SetSequenceEditorBusy(0);
  SetTransferBusy(0);
  InitMultiSegmentPage();
  DimInstrumentManagerControls(0);
  InstrumentManager_ShowInterfaceFields(g_Settings.If);
  Pause();

  Echo("--- Startup complete ---\n");
  Log_Status(1, "");
  return 1;
}

void TearDownApplication() {
  SetDeferredEventHook(nullptr);
  SetUserCommandHook(nullptr);
  VisaDev_CloseAll();
  VisaDev_SetWaitHook(nullptr);
  WaveLib_SetIdleHook(nullptr);
  EnableWindowLive(0);
  CloseTempFiles();
  SaveSettings(g_Settings);
  // The waveform files written last reach the disk before the program ends.
  FinishFileFlushes(kExitFlushWaitMs);
  ShutdownPlugins();
  Log_SetLogSink(nullptr);
  Log_SetStatusSink(nullptr);
  SetEngineHost(nullptr);  // the window's Stop button and bars go with the panels
  for (int* panel : kDiscardedPanels) {
    if (*panel > 0) DiscardPanel(*panel);
    *panel = 0;
  }
  // The pages and the Preferences pages went with their panels.
  for (const PageHandle& p : kPageHandles) *p.handle = 0;
  GENERAL = 0;
  GENWV = 0;
  T_IMP = T_ENV = T_IQ = T_VIEW = 0;  // the custom-envelope pages went with P_TIM
  DeleteTempFiles();
}
