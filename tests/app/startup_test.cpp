// Start-up, the main window's commands and the tear-down: in this process
// (offscreen, scripted popups, the test plug-ins) and as the program binary
// in a child process with its own home and runtime folder.
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "app/Log.h"
#include "app/MainCommands.h"
#include "app/PanelIds.h"
#include "app/PluginLoader.h"
#include "app/PulsePanelIds.h"
#include "app/PulseRecord.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "app/Startup.h"
#include "app/TempFiles.h"
#include "app/LibraryTree.h"
#include "platform/Paths.h"
#include "platform/PrivateFile.h"
#include "ui/main/MainPanel.h"
#include "ui/main/SequenceEditorPage.h"
#include "ui/dialogs/DataSourceDialog.h"
#include "tests/support/OffscreenApp.h"
#include "tests/support/TempDir.h"
#include "tests/support/SmallDisk.h"

extern char** environ;

namespace {

using cz::test::FileExists;
using cz::test::ReadFileBytes;
using cz::test::WriteFileBytes;

// The names in a folder (a link to a folder followed), sorted.
std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> out;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec)) out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

// A working folder whose settings.ini names a home with a settings file
// (temporary folder inside the home, no project, save on exit off).
struct Home {
  cz::test::TempDir dir;
  std::string work = dir.File("work");
  std::string home = dir.File("home");
  std::string temp = dir.File("home") + "/Temp";
  Home() {
    mkdir(work.c_str(), 0755);
    mkdir(home.c_str(), 0755);
    WriteFileBytes(work + "/settings.ini", "[General]\r\nHomePath = \"" + home + "/\"\r\n");
    WriteFileBytes(home + "/settings.ini",
                   "[PRG]\r\nTempDir = \"" + temp + "\"\r\nLastPrj = \"\"\r\nSavePrjOnExit = False\r\n"
                   "AllowTrace = True\r\n");
  }
};

// ---------------------------------------------------------------- pure rules

TEST(StartupRules, SwitchesScreenCheckAndProjectPath) {
  char prog[] = "cadenza", both[] = "x--no-screen-test--dstartup", other[] = "--no-load-project";
  char* one[] = {prog, both};
  ReadCommandLine(2, one);
  EXPECT_EQ(StartupEcho, 1);
  EXPECT_EQ(SkipScreenTest, 1);
  EXPECT_EQ(SkipProjectLoad, 0);
  char* two[] = {prog, other};
  ReadCommandLine(2, two);
  EXPECT_EQ(StartupEcho, 0);
  EXPECT_EQ(SkipProjectLoad, 1);
  ReadCommandLine(1, one);
  EXPECT_EQ(StartupEcho + SkipProjectLoad + SkipScreenTest, 0);

  EXPECT_EQ(LowScreenResolution(1000, 720), 0);
  EXPECT_EQ(LowScreenResolution(999, 768), 1);  // a 1024 x 768 screen's maximised client area
  EXPECT_EQ(LowScreenResolution(1920, 719), 1);

  Home h;
  ASSERT_EQ(chdir(h.work.c_str()), 0);
  char out[512];
  ASSERT_EQ(ResolveProjectPath("C:proj.prj", out, sizeof out), 1);
  EXPECT_STREQ(out, "C:proj.prj");
  ASSERT_EQ(ResolveProjectPath("/data/p.prj", out, sizeof out), 1);
  EXPECT_STREQ(out, "/data/p.prj");
  ASSERT_EQ(ResolveProjectPath("proj.prj", out, sizeof out), 1);
  EXPECT_EQ(std::string(out), h.home + "/proj.prj");
  EXPECT_EQ(ResolveProjectPath("proj.prj", out, 8), 0) << "a path that does not fit is refused, not cut";
}

// ---------------------------------------------------------------- in process

class StartupInProcess : public cz::test::OffscreenAppTest {
 protected:
  void SetUp() override {
    OffscreenAppTest::SetUp();
    ASSERT_EQ(chdir(home_.work.c_str()), 0);
    journal_ = home_.dir.File("journal.txt");
    setenv("CADENZA_PLUGIN_JOURNAL", journal_.c_str(), 1);
    SetPluginFolder(cz::test::BuildDir() + "/tests/app/Plugins");
    SkipScreenTest = 1;  // the offscreen screen is small
    StartupEcho = 0;
    SkipProjectLoad = 0;
  }
  void TearDown() override {
    unsetenv("CADENZA_PLUGIN_JOURNAL");
    SetPluginFolder("");
    OffscreenAppTest::TearDown();
  }
  int Bar() const { return GetPanelMenuBar(PANEL_MAIN); }
  std::string Tooltip(int panel, int control) {
    char text[256] = "";
    GetCtrlAttribute(panel, control, ATTR_TOOLTIP_TEXT, text, sizeof text);
    return text;
  }

  Home home_;
  std::string journal_;
};

TEST_F(StartupInProcess, PagesCommandsAndTearDown) {
  ASSERT_EQ(InitApplication(), 1);
  EXPECT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text;

  // Only "Transfer" and " Log " are visible (of the pages present); " Log " is active.
  char title[128] = "";
  GetPanelAttribute(PANEL_MAIN, ATTR_TITLE, title, sizeof title);
  EXPECT_STREQ(title, "Torvane Q7 Cadenza");
  int pages = 0;
  GetNumTabPages(PANEL_MAIN, PANEL_MAIN_TAB, &pages);
  std::vector<std::string> visible;
  for (int i = 0; i < pages; ++i) {
    int on = 0;
    char label[64] = "";
    GetTabPageAttribute(PANEL_MAIN, PANEL_MAIN_TAB, i, ATTR_VISIBLE, &on);
    GetTabPageAttribute(PANEL_MAIN, PANEL_MAIN_TAB, i, ATTR_LABEL_TEXT, label, sizeof label);
    if (on) visible.push_back(label);
  }
  std::vector<std::string> expected;
  if (MainTabIndex(PAGE_TRANSFER) >= 0) expected.push_back("Transfer");
  expected.push_back(" Log ");
  EXPECT_EQ(visible, expected);
  int active = -1;
  GetActiveTabPage(PANEL_MAIN, PANEL_MAIN_TAB, &active);
  EXPECT_EQ(active, MainTabIndex(PAGE_LOG));
  EXPECT_GT(TAB_PEDIT, 0);
  EXPECT_GT(TAB_LOG, 0);
  EXPECT_GT(TAB_INFO, 0);

  // The temporary files exist and passed the self test.
  EXPECT_STREQ(ActiveTempDir.c_str(), home_.temp.c_str());
  EXPECT_TRUE(FileExists(home_.temp + "/WV-DATA.TMP"));
  EXPECT_TRUE(FileExists(home_.temp + "/MKR-DATA.TMP"));
  char log[65536] = "";
  GetCtrlVal(TAB_LOG, TAB_LOG_TEX_LOG, log, sizeof log);
  EXPECT_NE(std::strstr(log, "===== Startup complete ====="), nullptr);
  EXPECT_EQ(std::strstr(log, "**** Startup FAILED *****"), nullptr);

  // The main window as a PNG.
  const std::string png = home_.dir.File("main.png");
  ASSERT_EQ(UiTest_GrabPanelPng(PANEL_MAIN, png.c_str()), 1);
  EXPECT_EQ(ReadFileBytes(png).substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));

  // Save As: a path too long for LastPrj is refused; a good one is saved
  // and the settings are written.
  UiTest_ClearPopups();
  const std::string longPath = home_.dir.path() + "/" + std::string(300, 'p') + ".prj";
  UiTest_QueueFile(longPath.c_str());
  UiTest_QueueMessageOk();
  ASSERT_EQ(UiTest_ChooseMenuItem(Bar(), MBAR_FILE_SAVEPRJAS), 1);
  EXPECT_TRUE(g_Settings.LastPrj.empty());
  EXPECT_EQ(UiTest_Popups().at(0).title, "Save Project File");
  EXPECT_EQ(UiTest_Popups().at(0).text, home_.home + "/Projects|*.prj");
  const std::string saved = home_.dir.File("saved.prj");
  UiTest_QueueFile(saved.c_str());
  ASSERT_EQ(UiTest_ChooseMenuItem(Bar(), MBAR_FILE_SAVEPRJAS), 1);
  EXPECT_TRUE(FileExists(saved));
  EXPECT_EQ(g_Settings.LastPrj, saved);
  EXPECT_NE(ReadFileBytes(home_.home + "/settings.ini").find(saved), std::string::npos);
  char status[256] = "";
  GetCtrlVal(PANEL_MAIN, PANEL_MAIN_TXT_ERR, status, sizeof status);
  EXPECT_STREQ(status, "Project saved.");

  // Preferences: Accept with the folder in use asks nothing; another
  // folder is announced for the next start.
  UiTest_ClearPopups();
  ASSERT_EQ(UiTest_ChooseMenuItem(Bar(), MBAR_OPT_PREF), 1);
  ASSERT_EQ(UiTest_ClickCtrl(PREFERENCE, PREFERENCE_CMD_ACCEPT), 1);
  EXPECT_TRUE(UiTest_Popups().empty());
  SetCtrlVal(GENERAL, GENERAL_STR_TEMPDIR, "/somewhere/else");
  UiTest_QueueMessageOk();
  ASSERT_EQ(UiTest_ClickCtrl(PREFERENCE, PREFERENCE_CMD_ACCEPT), 1);
  ASSERT_EQ(UiTest_Popups().size(), 1u);
  EXPECT_EQ(UiTest_Popups()[0].title, "Info");
  g_Settings.TempDir = home_.temp;

  // The folder browser writes the chosen folder into the field only; a
  // path longer than TempDir holds is refused, never cut.
  ASSERT_GT(g_TempDirBrowserCtrl, 0);
  const std::string deep = "/" + std::string(300, 'd');
  const int tooLong = InsertTreeItem(GENERAL, g_TempDirBrowserCtrl, VAL_SIBLING, -1, VAL_LAST, "deep", deep.c_str(),
                                     nullptr, 0);
  UiTest_ClearPopups();
  UiTest_QueueMessageOk();
  TempDirTreeCb(GENERAL, g_TempDirBrowserCtrl, EVENT_SELECTION_CHANGE, nullptr, tooLong, 0);
  EXPECT_EQ(g_Settings.TempDir, home_.temp);
  ASSERT_EQ(UiTest_Popups().size(), 1u);
  EXPECT_EQ(UiTest_Popups()[0].title, "Error");
  const int chosen = InsertTreeItem(GENERAL, g_TempDirBrowserCtrl, VAL_SIBLING, -1, VAL_LAST, "picked",
                                    home_.dir.File("picked").c_str(), nullptr, 0);
  TempDirTreeCb(GENERAL, g_TempDirBrowserCtrl, EVENT_SELECTION_CHANGE, nullptr, chosen, 0);
  EXPECT_EQ(g_Settings.TempDir, home_.temp);
  char field[256] = "";
  GetCtrlVal(GENERAL, GENERAL_STR_TEMPDIR, field, sizeof field);
  EXPECT_EQ(std::string(field), home_.dir.File("picked"));
  // Cancel shows the stored settings again and drops the browser's choice.
  ASSERT_EQ(UiTest_ClickCtrl(PREFERENCE, PREFERENCE_CMD_CANCEL), 1);
  EXPECT_EQ(g_Settings.TempDir, home_.temp);
  GetCtrlVal(GENERAL, GENERAL_STR_TEMPDIR, field, sizeof field);
  EXPECT_EQ(std::string(field), home_.temp);

  // Exit with save-on-exit: a failed save asks whether to exit anyway; "no"
  // keeps the program and its project.
  PulseCount = 1;
  g_Settings.SavePrjOnExit = 1;
  g_Settings.LastPrj = "/no/such/folder/p.prj";
  UiTest_ClearPopups();
  UiTest_QueueMessageOk();
  UiTest_QueueConfirm(false);
  ASSERT_EQ(UiTest_ChooseMenuItem(Bar(), MBAR_FILE_EXIT), 1);
  ASSERT_EQ(UiTest_Popups().size(), 2u);
  EXPECT_EQ(UiTest_Popups()[0].text, "Failed to save project file.\n'/no/such/folder/p.prj': No such file or directory.");
  EXPECT_EQ(UiTest_Popups()[1].kind, "confirm");
  EXPECT_EQ(PulseCount, 1);

  // Without save-on-exit: "no" keeps running, "yes" ends with the project cleared.
  g_Settings.SavePrjOnExit = 0;
  g_Settings.LastPrj = saved;
  UiTest_ClearPopups();
  UiTest_QueueConfirm(false);
  ASSERT_EQ(UiTest_PressCloseBox(PANEL_MAIN), 1);
  ASSERT_EQ(UiTest_Popups().size(), 1u);
  EXPECT_EQ(UiTest_Popups()[0].title, "Warning");
  EXPECT_EQ(UiTest_Popups()[0].text, "Do you want to exit Cadenza ?\nUnsaved changes will be lost.");
  EXPECT_EQ(PulseCount, 1);
  UiTest_QueueConfirm(true);
  ASSERT_EQ(UiTest_ChooseMenuItem(Bar(), MBAR_FILE_EXIT), 1);
  EXPECT_EQ(PulseCount, 0);

  const int modules = ModuleCount;
  ASSERT_GT(modules, 0);
  TearDownApplication();

  for (const char* name : {"WV-DATA.TMP", "WV-DATA2.TMP", "MKR-DATA.TMP", "MKR-DATA2.TMP"})
    EXPECT_FALSE(FileExists(home_.temp + "/" + name)) << name;
  const std::string ini = ReadFileBytes(home_.home + "/settings.ini");
  EXPECT_NE(ini.find("[PRG]"), std::string::npos);
  EXPECT_NE(ini.find("TempDir = \"" + home_.temp + "\""), std::string::npos);
  EXPECT_NE(ini.find("LastPrj = \"" + saved + "\""), std::string::npos);
  std::map<std::string, int> shutdowns;
  for (const std::string& line : Lines(ReadFileBytes(journal_)))
    if (line.size() > 13 && line.compare(line.size() - 13, 13, " mod_shutdown") == 0) ++shutdowns[line];
  int total = 0;
  for (const auto& [line, n] : shutdowns) {
    EXPECT_EQ(n, 1) << line;
    total += n;
  }
  EXPECT_EQ(total, modules) << "each loaded module is shut down once";
  EXPECT_EQ(PANEL_MAIN, 0);
}

// The tooltip table: panel and control constant names with the exact text.
// One control constant carries different texts on different panels.
struct TooltipRow {
  const char* panel;
  const char* control;
  const char* text;
};
const TooltipRow kTooltipTable[] = {
    {"PANEL_MAIN", "CMD_ADD_P", "Add new pulse to project"},
    {"PANEL_MAIN", "CMD_ADD", "Add new sequence to project"},
    {"PANEL_MAIN", "CMD_DEL", "Delete selected entry from project"},
    {"PANEL_MAIN", "CMD_COPY", "Create copy of selected item"},
    {"PANEL_MAIN", "CMD_SENTRY_UP", "Move entry up"},
    {"PANEL_MAIN", "CMD_SENTRY_DOWN", "Move entry down"},
    {"PANEL_MAIN", "TXT_ERR", "Status information"},
    {"PANEL_MAIN", "STR_PROJECT", "Project name"},
    {"PANEL_MAIN", "STR_NAME", "Author name"},
    {"PANEL_MAIN", "STR_DATE", "Project creation date"},
    {"PANEL_MAIN", "STR_VERSION", "Version information"},
    {"TAB_PEDIT", "STR_NAME", "Unique name of pulse entry"},
    {"TAB_PEDIT", "STR_COMMENT", "Optional comment"},
    {"TAB_PEDIT", "STR_PMSG", "Warning message if this entry is used in a sequence"},
    {"TAB_PEDIT", "RING_USEDPULSE", "Display which sequences use this pulse"},
    {"P_TIM", "NUM_PREDELAY", "Delay time prior to the rising edge"},
    {"P_TIM", "NUM_RISE", "Time of the rising edge"},
    {"P_TIM", "NUM_ON", "Pulse on-time"},
    {"P_TIM", "NUM_FALL", "Time of falling edge"},
    {"P_TIM", "NUM_BLANK", "Off-time after falling edge"},
    {"P_TIM", "NUM_PRF", "Pulse Repetition Interval (PRI) or Frequency (PRF)"},
    {"P_TIM", "STR_TOTAL", "Total pulse time"},
    {"P_TIM", "RING_ERISE", "Rising edge type"},
    {"P_TIM", "RING_EFALL", "Falling edge type"},
    {"P_TIM", "RING_PRFPRI", "Select between PRI or PRF mode"},
    {"P_TIM", "RADIO_BLANK", "Use off-time instead of PRI/PRF"},
    {"P_TIM", "RADIO_PRF", "Use PRI/PRF instead of off-time"},
    {"P_TIM", "RADIO_ARBENVEL", "Use arbirary pulse eenvelope"},
    {"P_MISC", "NUM_LEVEL", "Attenuation during rise-, on-, and fall-time"},
    {"P_MISC", "NUM_LEVELOFF", "Attenuation during off-time"},
    {"P_MISC", "NUM_LEVELDROOP", "Level droop during on-time"},
    {"P_MISC", "NUM_PHASE", "Phase shift at the pulse beginning"},
    {"P_MISC", "NUM_FREQ", "Frequency deviation from carrier"},
    {"P_MISC", "CHK_CONTPHASE", "Use relative phase instead of absolute phase"},
    {"P_MISC", "CMD_P_HIDE", "Hide this pulse in project tree if 'Hide Tree Entries' is enabled"},
    {"P_MISC", "CHK_AWGN", "Add white gaussian noise to pulse"},
    {"P_MISC", "NUM_AWGNBW", "Noise bandwidth"},
    {"P_MISC", "NUM_AWGNLEV", "Noise level supression"},
    {"P_JIT", "TABLE_JITVAL", "Jitter value or rules table"},
    {"P_JIT", "NUM_JITTER_MIN", "Minimum value or location"},
    {"P_JIT", "NUM_JITTER_MAX", "Maximum value or variance"},
    {"P_JIT", "NUM_JITTER_STEP", "Step value or range limit"},
    {"P_JIT", "CMD_JIT1", "Display details for this jitter"},
    {"P_JIT", "CMD_JIT2", "Display details for this jitter"},
    {"P_JIT", "CMD_JIT3", "Display details for this jitter"},
    {"P_JIT", "CMD_JIT4", "Display details for this jitter"},
    {"P_JIT", "RADIO_JITTER1", "Use this jitter profile"},
    {"P_JIT", "RING_JITTER1_MODE", "Jitter parameter"},
    {"P_JIT", "RING_JITTER1_DTYPE", "Distribution type"},
    {"P_JIT", "RADIO_JITTER2", "Use this jitter profile"},
    {"P_JIT", "RING_JITTER2_MODE", "Jitter parameter"},
    {"P_JIT", "RING_JITTER2_DTYPE", "Distribution type"},
    {"P_JIT", "RADIO_JITTER3", "Use this jitter profile"},
    {"P_JIT", "RING_JITTER3_MODE", "Jitter parameter"},
    {"P_JIT", "RING_JITTER3_DTYPE", "Distribution type"},
    {"P_JIT", "RADIO_JITTER4", "Use this jitter profile"},
    {"P_JIT", "RING_JITTER4_MODE", "Jitter parameter"},
    {"P_JIT", "RING_JITTER4_DTYPE", "Distribution type"},
    {"P_MOD", "TREE_MOD", "Modulation type (intra-pulse)"},
    {"P_MOD", "CMD_RESET", "Reset to default values"},
    {"P_MOD", "TABLE_CONF", "Modulation specific settings"},
    {"P_MOD", "TABLE_DATA", "Data sources table"},
    {"P_MOD", "CMD_ADD", "Add new line to data sources"},
    {"P_MOD", "CMD_DEL", "Delete line from data sources"},
    {"P_MOD", "CMD_RESET_2", "Custom data sources editor"},
    {"TAB_SEDIT", "STR_NAME", "Unique sequence name"},
    {"TAB_SEDIT", "STR_COMMENT", "Optional sequence comment (added to waveform)"},
    {"TAB_SEDIT", "STR_COPYRIGHT", "Optional sequence copyright (added to waveform)"},
    {"TAB_SEDIT", "STR_FILE", "Output waveform file"},
    {"TAB_SEDIT", "NUM_ARBCLK", "ARB sample rate used for this sequence"},
    {"TAB_SEDIT", "CMD_LOG", "Report settings dialog"},
    {"TAB_SEDIT", "CMD_FILTER", "Baseband filter dialog"},
    {"TAB_SEDIT", "CMD_FSEL", "Select local file by browsing file system"},
    {"TAB_SEDIT", "CMD_WVINFO", "Read waveform information from file"},
    {"TAB_SEDIT", "CMD_GENERATE", "Start waveform creation"},
    {"TAB_SEDIT", "CMD_STOP", "Abort waveform creation"},
    {"TAB_SEDIT", "CMD_S_HIDE", "Hide this sequence in project tree if 'Hide Tree Entries' is enabled"},
    {"TAB_SEDIT", "STR_WVINFO", "Sequence information (available after creation)"},
    {"TAB_SEDIT", "CMD_SENTRY_NEW", "Create new sequence entry"},
    {"TAB_SEDIT", "CMD_SENTRY_DEL", "Delete selected sequence entry"},
    {"TAB_SEDIT", "CMD_SENTRY_UP", "Move selected item up"},
    {"TAB_SEDIT", "CMD_SENTRY_DOWN", "Move selected item down"},
    {"TAB_VIEW", "CMD_GRAPHBEGIN", "Move back to beginning"},
    {"TAB_VIEW", "CMD_GRAPHREV", "Move backward"},
    {"TAB_VIEW", "CMD_GRAPHFWD", "Move forward"},
    {"TAB_VIEW", "SLIDE_POS", "Move to position"},
    {"TAB_VIEW", "CMD_GRAPHZOOMOUT", "Zoom out"},
    {"TAB_VIEW", "CMD_GRAPHZOOMIN", "Zoom in"},
    {"TAB_VIEW", "CMD_GRAPHZOOM_CSR", "Zoom to cursors"},
    {"TAB_VIEW", "RING_IQVIEW", "Set view mode for time domain display"},
    {"TAB_VIEW", "CHK_MKRON", "Set cursor (marker) state"},
    {"TAB_VIEW", "RING_FFTVIEW", "FFT evaluation range"},
    {"TAB_VIEW", "CHK_MKRON_2", "Set cursor (marker) state"},
    {"TAB_VIEW", "GRAPH_SCALE", "Scale used in density plot"},
    {"TAB_VIEW", "GRAPH_IQ", "I/Q constellation diagram"},
    {"TAB_INSTR", "CMD_UPLOAD", "Configure instrument according to settings"},
    {"TAB_INSTR", "CMD_RESET", "Reset instrument"},
    {"TAB_INSTR", "CMD_SELINSTR", "Instrument manager dialog"},
    {"TAB_INSTR", "RING_BBR_A", "Baseband routing of path A"},
    {"TAB_INSTR", "RING_BBR_B", "Baseband routing of path B"},
    {"TAB_INSTR", "CMD_BBMODE_A", "Configuration of baseband A"},
    {"TAB_INSTR", "CMD_BBMODE_B", "Configuration of baseband B"},
    {"TAB_INSTR", "CMD_FSEL_INSTR_A", "Remote file system browser"},
    {"TAB_INSTR", "CMD_FSEL_INSTR_B", "Remote file system browser"},
    {"TAB_INSTR", "STR_INSTRFILE_A", "Use this file name for path A waveform"},
    {"TAB_INSTR", "STR_INSTRFILE_B", "Use this file name for path B waveform"},
    {"TAB_INSTR", "STR_DEVICE", "Selected instrument resource string"},
    {"TAB_INSTR", "STR_LOCFILE", "Local waveform file used for transfer"},
    {"TAB_MSEG", "STR_NAME", "Unique MSW name"},
    {"TAB_MSEG", "STR_COMMENT", "Optional MSW comment (added to waveform)"},
    {"TAB_MSEG", "STR_MSNAME", "Name of MSW files on instrument"},
    {"TAB_MSEG", "CMD_SENTRY_NEW", "Create new entry in MSW editor"},
    {"TAB_MSEG", "CMD_SENTRY_DEL", "Remove selected entry from MSW editor"},
    {"TAB_MSEG", "CMD_SENTRY_UP", "Move selected entry up"},
    {"TAB_MSEG", "CMD_SENTRY_DOWN", "Move selected entry down"},
    {"TAB_MSEG", "CMD_GENERATE", "Start MSW build process"},
    {"TAB_MSEG", "CMD_STOP", "Stop MSW build process"},
    {"TAB_MSEG", "CMD_SET", "Apply all MSW settings"},
    {"TAB_MSEG", "CMD_TRIG", "Execute internal trigger via SCPI command"},
    {"TAB_MSEG", "CMD_QUERY", "Query the current segment number"},
    {"TAB_RFLIST", "STR_NAME", "Unique RF list name"},
    {"TAB_RFLIST", "STR_COMMENT", "Optional comment"},
    {"TAB_RFLIST", "CMD_UPLOAD", "Send RF list to instrument"},
    {"TAB_RFLIST", "CMD_RESET", "Reset instrument"},
    {"TAB_RFLIST", "CB_ACTIVATE", "Activate list mode after transfer"},
    {"TAB_RFLIST", "RING_BB", "Target path for RF list"},
    {"TAB_RFLIST", "CMD_RFLIST_ADD", "Add new entry to list"},
    {"TAB_RFLIST", "CMD_RFLIST_DEL", "Delete selected entry from list"},
    {"TAB_RFLIST", "CMD_RFLIST_UP", "Move selected entry up"},
    {"TAB_RFLIST", "CMD_RFLIST_DOWN", "Move selected entry down"},
    {"TAB_RFLIST", "CMD_IMPORT", "Import list data from text file"},
    {"TAB_RFLIST", "CMD_PRINTLIST", "Export list data to text file"},
    {"TAB_RFLIST", "STR_FILE", "Remote list file"},
    {"TAB_RFLIST", "CMD_FSEL_RFLIST", "Select remote list file"},
    {"FILTER", "CMD_FLT_IMPORT", "Import custom filter data from file"},
    {"INSTRMAN", "CMD_DEL", "Delete selected entry from tree"},
    {"INSTRMAN", "NUM_BRD", "Local GPIB board number"},
    {"INSTRMAN", "STR_LAN_DOMAIN", "Domain name for LAN scanning"},
    {"TAB_LOG", "CMD_CLR", "Clear message log"},
    {"DATAEDIT", "CMD_ADD", "Create a new data source"},
    {"DATAEDIT", "CMD_DEL", "Delete selected data source"},
    {"DATAEDIT", "TREE_DATA", "Data sources in project"},
    {"DATAEDIT", "STR_NAME", "Unique data source name"},
    {"DATAEDIT", "STR_COMMENT", "Optional comment"},
    {"DATAEDIT", "STR_DATA", "Data editor. '1' and '0' is evaluated"},
    {"DATAEDIT", "STR_BITS", "Number of bits in data source"},
};

// The control of a panel with the given constant name; 0 when none, -1
// when more than one control carries it.
int ControlNamed(int panel, const char* name) {
  int found = 0;
  for (int c = GetNextCtrl(panel, 0); c > 0; c = GetNextCtrl(panel, c)) {
    char constName[64] = "";
    GetCtrlAttribute(panel, c, ATTR_CONSTANT_NAME, constName, sizeof constName);
    if (std::strcmp(constName, name) != 0) continue;
    if (found != 0) return -1;
    found = c;
  }
  return found;
}

TEST_F(StartupInProcess, EveryControlCarriesItsTooltip) {
  ASSERT_EQ(InitApplication(), 1);
  ASSERT_EQ(std::size(kTooltipTable), 146u);
  const std::map<std::string, int> panels = {
      {"PANEL_MAIN", PANEL_MAIN}, {"TAB_PEDIT", TAB_PEDIT},   {"P_TIM", P_TIM},       {"P_MISC", P_MISC},
      {"P_JIT", P_JIT},           {"P_MOD", P_MOD},           {"TAB_SEDIT", TAB_SEDIT}, {"TAB_VIEW", TAB_VIEW},
      {"TAB_INSTR", TAB_INSTR},   {"TAB_MSEG", TAB_MSEG},     {"TAB_RFLIST", TAB_RFLIST}, {"FILTER", FILTER},
      {"INSTRMAN", INSTRMAN},     {"TAB_LOG", TAB_LOG},       {"DATAEDIT", DATAEDIT}};
  for (const auto& [name, handle] : panels) {
    ASSERT_GT(handle, 0) << name;
    char constName[64] = "";
    GetPanelAttribute(handle, ATTR_CONSTANT_NAME, constName, sizeof constName);
    EXPECT_EQ(name, constName);
  }
  for (const TooltipRow& row : kTooltipTable) {
    const int panel = panels.at(row.panel);
    const int control = ControlNamed(panel, row.control);
    if (control <= 0) {
      ADD_FAILURE() << row.panel << " " << row.control << (control < 0 ? ": not unique" : ": no such control");
      continue;
    }
    EXPECT_EQ(Tooltip(panel, control), row.text) << row.panel << " " << row.control;
    int disabled = -1;
    GetCtrlAttribute(panel, control, ATTR_DISABLE_TOOLTIP, &disabled);
    EXPECT_EQ(disabled, 0) << row.panel << " " << row.control;
  }
  TearDownApplication();
}

TEST_F(StartupInProcess, NameAndFileFieldsDrawNoFrame) {
  ASSERT_EQ(InitApplication(), 1);
  struct Frameless {
    int panel;
    const char* names[5];
  };
  const Frameless fields[] = {
      {PANEL_MAIN, {"STR_PROJECT", "STR_NAME", "STR_DATE", "STR_VERSION", "TAB"}},
      {TAB_PEDIT, {"STR_NAME", "STR_COMMENT"}},
      {TAB_SEDIT, {"STR_NAME", "STR_COMMENT", "STR_COPYRIGHT", "STR_FILE"}},
      {TAB_INFO, {"STR_NAME", "STR_VERSION", "STR_AUTHOR", "TXT_COMMENT"}},
      {TAB_LOG, {"TEX_LOG"}},
      {TAB_MSEG, {"STR_NAME", "STR_COMMENT", "STR_MSNAME"}},
      {TAB_RFLIST, {"STR_NAME", "STR_COMMENT", "STR_FILE"}},
      {TAB_INSTR, {"STR_INSTRFILE_A", "STR_INSTRFILE_B"}},
      {INSTRMAN, {"STR_1", "STR_2", "STR_VISA_COMMENT", "STR_LAN_DOMAIN"}},
  };
  for (const Frameless& f : fields) {
    if (f.panel <= 0) continue;  // a page that is not part of the program
    for (const char* name : f.names) {
      if (name == nullptr) break;
      const int control = ControlNamed(f.panel, name);
      ASSERT_GT(control, 0) << name;
      int frame = 0;
      GetCtrlAttribute(f.panel, control, ATTR_FRAME_COLOR, &frame);
      EXPECT_EQ(frame, VAL_TRANSPARENT) << f.panel << " " << name;
      if (f.panel == TAB_SEDIT) {
        int visible = 0;
        GetCtrlAttribute(f.panel, control, ATTR_VISIBLE, &visible);
        EXPECT_EQ(visible, 1) << name;  // the field itself still shows
      }
    }
  }
  TearDownApplication();
}

// The echo "Loading application dialogs..." comes before the pulse editor's
// sub-panels are built: a start-up that fails in the first of them has
// echoed it, and nothing of the steps after it.
TEST_F(StartupInProcess, ApplicationDialogsEchoComesBeforeThePulseEditorPanels) {
  // The run-time calls that building the main window takes: the sub-panels
  // are built a few calls after them.
  const long before = UiTest_CallCount();
  const int main = BuildMainPanel(0);
  ASSERT_GT(main, 0);
  const long mainCalls = UiTest_CallCount() - before;
  UiTest_Reset();
  StartupEcho = 1;
  const std::string out = home_.dir.File("echo.txt");
  bool found = false;
  for (long n = mainCalls + 1; n <= mainCalls + 40 && !found; ++n) {
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    FILE* f = std::fopen(out.c_str(), "w");
    ASSERT_NE(f, nullptr);
    dup2(fileno(f), STDOUT_FILENO);
    UiTest_FailNthCall(static_cast<int>(n), UI_ERR_INJECTED);
    UiTest_QueueMessageOk();
    const int started = InitApplication();
    UiTest_FailNthCall(0, 0);
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    std::fclose(f);
    const bool pulsePanels = !UiTest_Popups().empty() && UiTest_Popups()[0].text == "Failed to load pulse editor panel.";
    if (pulsePanels) {
      found = true;
      EXPECT_EQ(started, 0);
      const std::string echoed = ReadFileBytes(out);
      EXPECT_NE(echoed.find("Loading sub panels...\nLoading application dialogs...\n"), std::string::npos) << echoed;
      EXPECT_EQ(echoed.find("Configuring controls..."), std::string::npos) << echoed;
    }
    if (started) TearDownApplication();
    UiTest_Reset();
  }
  StartupEcho = 0;
  EXPECT_TRUE(found) << "no failing call ended the start-up in the pulse editor's panels";
}

TEST_F(StartupInProcess, FailedBuildEndsStartUpAndTearDownKeepsForeignFiles) {
  UiTest_FailNthCall(1, UI_ERR_INJECTED);
  UiTest_QueueMessageOk();
  EXPECT_EQ(InitApplication(), 0);
  UiTest_FailNthCall(0, 0);
  ASSERT_EQ(UiTest_Popups().size(), 1u);
  EXPECT_EQ(UiTest_Popups()[0].text, "Failed to load main window.");

  // No directory of this run: a WV-DATA.TMP elsewhere is not ours to delete.
  ActiveTempDir.Clear();
  WriteFileBytes(home_.work + "/WV-DATA.TMP", "keep");
  DeleteTempFiles();
  EXPECT_TRUE(FileExists(home_.work + "/WV-DATA.TMP"));
}

// A folder made beside the temporary folder while the program runs shows in
// the Preferences folder tree when the dialog opens, and can be chosen; one
// made or removed inside a folder of the tree shows the next time that
// folder is expanded.
TEST_F(StartupInProcess, AFolderMadeWhileRunningCanBeChosenForTemporaryFiles) {
  ASSERT_EQ(InitApplication(), 1);
  ASSERT_GT(g_TempDirBrowserCtrl, 0);
  const int tree = g_TempDirBrowserCtrl;
  auto item = [&](const std::string& folder) {
    int index = -1;
    GetTreeItemFromTag(GENERAL, tree, folder.c_str(), &index);
    return index;
  };
  ASSERT_GE(item(home_.temp), 0) << "the levels down to the folder in use are read at start-up";
  const std::string made = home_.home + "/Made later";
  ASSERT_EQ(item(made), -1);
  ASSERT_EQ(mkdir(made.c_str(), 0755), 0);

  ASSERT_EQ(UiTest_ChooseMenuItem(Bar(), MBAR_OPT_PREF), 1);
  const int chosen = item(made);
  ASSERT_GE(chosen, 0);
  ASSERT_EQ(UiTest_ClickTreeItem(GENERAL, tree, chosen, false), 1);
  char field[256] = "";
  GetCtrlVal(GENERAL, GENERAL_STR_TEMPDIR, field, sizeof field);
  EXPECT_EQ(std::string(field), made);

  // Inside it, while the dialog is open: made, then removed again.
  const std::string inner = made + "/inner";
  ASSERT_EQ(mkdir(inner.c_str(), 0755), 0);
  ASSERT_EQ(UiTest_ExpandTreeItem(GENERAL, tree, item(made), true), 1);
  EXPECT_GE(item(inner), 0);
  ASSERT_EQ(UiTest_ExpandTreeItem(GENERAL, tree, item(made), false), 1);
  ASSERT_EQ(rmdir(inner.c_str()), 0);
  ASSERT_EQ(UiTest_ExpandTreeItem(GENERAL, tree, item(made), true), 1);
  EXPECT_EQ(item(inner), -1);
  int active = -1;
  GetActiveTreeItem(GENERAL, tree, &active);
  EXPECT_EQ(active, item(made)) << "the choice keeps its folder";

  UiTest_ClearPopups();
  UiTest_QueueMessageOk();
  ASSERT_EQ(UiTest_ClickCtrl(PREFERENCE, PREFERENCE_CMD_ACCEPT), 1);
  EXPECT_EQ(g_Settings.TempDir, made);
  g_Settings.TempDir = home_.temp;
  TearDownApplication();
}

// ---------------------------------------------------------------- recoverable start-up failures

// The home's settings with the given temporary folder and last project.
class StartupRecovers : public StartupInProcess {
 protected:
  void WriteSettings(const std::string& tempDir, const std::string& lastPrj, bool saveOnExit) {
    WriteFileBytes(home_.home + "/settings.ini", "[PRG]\r\nTempDir = \"" + tempDir + "\"\r\nLastPrj = \"" + lastPrj +
                                                     "\"\r\nSavePrjOnExit = " + (saveOnExit ? "True" : "False") +
                                                     "\r\nAllowTrace = True\r\n");
  }
  std::string LogText() {
    static char log[1 << 16];
    log[0] = '\0';
    GetCtrlVal(TAB_LOG, TAB_LOG_TEX_LOG, log, sizeof log);
    return log;
  }
  // A new pulse in a new sequence generated into wave through the Sequence
  // Editor, as the user does it: the build completes without a popup.
  void GenerateInto(const std::string& wave) {
    ASSERT_EQ(UiTest_ChooseMenuItem(Bar(), MBAR_PULSE_PNEW), 1);
    ASSERT_EQ(UiTest_ChooseMenuItem(Bar(), MBAR_PULSE_SNEW), 1);
    UiTest_QueueFile(wave.c_str());
    ASSERT_EQ(UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_FSEL), 1);
    UiTest_ClearPopups();
    ASSERT_EQ(UiTest_ClickCtrl(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE), 1);
    EXPECT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text << LogText();
    EXPECT_TRUE(FileExists(wave)) << LogText();
  }
  // The start-up completed with the temporary-file failure on record.
  void ExpectStartupFailedButRunning(const char* popup) {
    ASSERT_EQ(UiTest_Popups().size(), 1u);
    EXPECT_EQ(UiTest_Popups()[0].text, popup);
    const std::string log = LogText();
    EXPECT_NE(log.find("**** Startup FAILED *****"), std::string::npos) << log;
    EXPECT_EQ(log.find("===== Startup complete ====="), std::string::npos) << log;
    // Still running: the main window answers its menu.
    UiTest_ClearPopups();
    ASSERT_EQ(UiTest_ChooseMenuItem(GetPanelMenuBar(PANEL_MAIN), MBAR_PULSE_PNEW), 1);
    EXPECT_EQ(PulseCount, 1);
  }
};

TEST_F(StartupRecovers, TemporaryFilesThatCannotBeOpened) {
  // The folder cannot be made: its parent is a file.
  WriteFileBytes(home_.dir.File("plain"), "x");
  WriteSettings(home_.dir.File("plain") + "/Temp", "", false);
  UiTest_QueueMessageOk();
  ASSERT_EQ(InitApplication(), 1);
  ExpectStartupFailedButRunning("Failed to open temporary files. Verify path settings in preferences and restart !");
  EXPECT_TRUE(ActiveTempDir.empty());
  TearDownApplication();

  // The folder exists, but WV-DATA.TMP in it is a folder.
  mkdir(home_.temp.c_str(), 0755);
  mkdir((home_.temp + "/WV-DATA.TMP").c_str(), 0755);
  WriteSettings(home_.temp, "", false);
  UiTest_ClearPopups();
  UiTest_QueueMessageOk();
  ASSERT_EQ(InitApplication(), 1);
  ExpectStartupFailedButRunning("Failed to open temporary files. Verify path settings in preferences and restart !");
  TearDownApplication();
}

// The temporary folder is on a full disk: the self test fails, and the log
// names the folder and the system's reason rather than a failed read.
TEST_F(StartupRecovers, BufferSelfTestOnAFullDiskSaysWhy) {
  cz::test::SmallDisk disk(64);
  CZ_SKIP_WITHOUT(disk);
  ASSERT_TRUE(disk.Fill());
  WriteSettings(disk.path(), "", false);
  UiTest_QueueMessageOk();
  ASSERT_EQ(InitApplication(), 1);
  const std::string log = LogText();
  EXPECT_NE(log.find("*** Temporary folder '" + disk.path() + "': No space left on device."), std::string::npos)
      << log;
  EXPECT_EQ(log.find("Failed to read temporary file buffer"), std::string::npos) << log;
  ExpectStartupFailedButRunning("Buffer test failed !");
  TearDownApplication();
}

TEST_F(StartupRecovers, BufferSelfTestThatFails) {
  // WV-DATA.TMP opens, but the system refuses its self-test pattern: files
  // of this process may not grow beyond 8 KiB during the start-up.
  WriteSettings(home_.temp, "", false);
  UiTest_QueueMessageOk();
  struct rlimit kept {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &kept), 0);
  struct rlimit small = kept;
  small.rlim_cur = 8192;
  void (*previous)(int) = signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const int started = InitApplication();
  setrlimit(RLIMIT_FSIZE, &kept);
  signal(SIGXFSZ, previous);
  ASSERT_EQ(started, 1);
  ExpectStartupFailedButRunning("Buffer test failed !");
  TearDownApplication();
}

// A run that ended inside a multi-segment build (a crash, a kill) left the
// blank's scratch file, which may hold gigabytes, beside the temporary
// files: the next run's exit removes it with them, in the chosen folder as in
// the user's own folder inside a shared one. In the chosen folder it once
// stayed for good.
TEST_F(StartupRecovers, TheBlanksScratchFileOfARunThatEndedInABuildGoesAtTheNextExit) {
  const std::string shared = home_.dir.File("shared");
  ASSERT_EQ(mkdir(shared.c_str(), 0777), 0);
  ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
  const std::string own = shared + "/cadenza-" + std::to_string(geteuid());
  ASSERT_EQ(mkdir(own.c_str(), 0700), 0);
  ASSERT_EQ(mkdir(home_.temp.c_str(), 0700), 0);
  for (const auto& [chosen, files] : {std::pair{home_.temp, home_.temp}, std::pair{shared, own}}) {
    SCOPED_TRACE(chosen);
    for (const char* name : {"WV-DATA.TMP", "MKR-DATA.TMP", "tmp_seg_blank.wv"})
      ASSERT_TRUE(WriteFileBytes(files + "/" + name, "left by the run before"));
    WriteSettings(chosen, "", false);
    UiTest_ClearPopups();
    ASSERT_EQ(InitApplication(), 1);
    EXPECT_EQ(std::string(TempDirInUse()), files);
    TearDownApplication();
    EXPECT_FALSE(FileExists(files + "/tmp_seg_blank.wv"));
    EXPECT_FALSE(FileExists(files + "/WV-DATA.TMP"));
  }
  EXPECT_FALSE(std::filesystem::exists(own)) << "the user's own folder goes when it is empty";
}

// The temporary folder is one that every user can write. Another user put
// a link WV-DATA.TMP there to a notes file of this user, and a
// world-writable MKR-DATA.TMP of his own: the start-up keeps its files in a
// folder of the user's own inside it and touches neither; at exit that
// folder goes and both entries stay his. Whatever stands under the own
// folder's name and cannot be trusted (another user's link to a folder of
// this user, another user's folder, a folder of this user open to others)
// is neither followed nor used: a fresh private folder is made beside it.
// A file of this user left in the own folder by an earlier run is replaced
// by a new private one.
TEST_F(StartupRecovers, TemporaryFilesOfOtherUsersAreNeitherFollowedNorReused) {
  if (geteuid() != 0) GTEST_SKIP() << "not run: giving files to another user (65534) needs root";
  const std::string shared = home_.dir.File("shared");
  ASSERT_EQ(mkdir(shared.c_str(), 0777), 0);
  ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
  const std::string notes = home_.dir.File("notes.txt");
  const std::string notesText = "notes of this user, forty bytes long....";
  ASSERT_EQ(notesText.size(), 40u);
  WriteFileBytes(notes, notesText);
  const std::string link = shared + "/WV-DATA.TMP", markers = shared + "/MKR-DATA.TMP";
  ASSERT_EQ(symlink(notes.c_str(), link.c_str()), 0);
  ASSERT_EQ(lchown(link.c_str(), 65534, 65534), 0);
  WriteFileBytes(markers, "his markers");
  ASSERT_EQ(chown(markers.c_str(), 65534, 65534), 0);
  ASSERT_EQ(chmod(markers.c_str(), 0666), 0);
  const std::string own = shared + "/cadenza-" + std::to_string(geteuid());
  struct stat st {};
  // A start-up that completes with its files, private, in the folder it
  // names in *folder.
  auto starts = [&](std::string* folder) {
    UiTest_ClearPopups();
    ASSERT_EQ(InitApplication(), 1);
    EXPECT_TRUE(UiTest_Popups().empty()) << (UiTest_Popups().empty() ? "" : UiTest_Popups()[0].text);
    *folder = TempDirInUse();
    const std::string log = LogText();
    EXPECT_NE(log.find("===== Startup complete ====="), std::string::npos) << log;
    EXPECT_NE(log.find("Creating temporary files in '" + *folder + "'..."), std::string::npos) << log;
    EXPECT_EQ(ActiveTempDir.str(), shared) << "the folder the user chose stays the one in use";
    ASSERT_EQ(lstat(folder->c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    for (const char* name : {"WV-DATA.TMP", "MKR-DATA.TMP"}) {
      ASSERT_EQ(lstat((*folder + "/" + name).c_str(), &st), 0) << name;
      EXPECT_TRUE(S_ISREG(st.st_mode)) << name;
      EXPECT_EQ(st.st_mode & 0777, 0600u) << name;
      EXPECT_EQ(st.st_uid, geteuid()) << name;
    }
    EXPECT_TRUE(FileExists(*folder + "/CADENZA-" + std::to_string(geteuid()) + ".LCK"));
  };
  auto hisEntriesStay = [&] {
    EXPECT_EQ(ReadFileBytes(notes), notesText);
    ASSERT_EQ(lstat(link.c_str(), &st), 0) << "the other user's link stays";
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadFileBytes(markers), "his markers");
    ASSERT_EQ(stat(markers.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);
  };

  WriteSettings(shared, "", false);
  std::string inUse;
  starts(&inUse);
  EXPECT_EQ(inUse, own);
  hisEntriesStay();
  TearDownApplication();
  hisEntriesStay();
  EXPECT_FALSE(FileExists(own)) << "the own folder goes at exit";

  // Under the own folder's name: a link of the other user to a folder of
  // this user, a folder of his, a folder of this user others may write to.
  // Each stays as it is, empty; the files go into a fresh private folder.
  const std::string mine = home_.dir.File("mine");
  ASSERT_EQ(mkdir(mine.c_str(), 0700), 0);
  for (const char* kind : {"his link", "his folder", "an open folder"}) {
    const std::string what = kind;
    if (what == "his link") {
      ASSERT_EQ(symlink(mine.c_str(), own.c_str()), 0);
      ASSERT_EQ(lchown(own.c_str(), 65534, 65534), 0);
    } else {
      ASSERT_EQ(mkdir(own.c_str(), 0700), 0);
      ASSERT_EQ(chmod(own.c_str(), 0777), 0);
      if (what == "his folder") {
        ASSERT_EQ(chown(own.c_str(), 65534, 65534), 0);
      }
    }
    const std::string fresh = own + "-";
    starts(&inUse);
    EXPECT_EQ(inUse.compare(0, fresh.size(), fresh), 0) << kind << ": " << inUse;
    EXPECT_EQ(inUse.size(), fresh.size() + 6) << kind << ": " << inUse;
    EXPECT_EQ(cz::PrivateFolderIn(shared, cz::BaseName(own), nullptr), inUse)
        << kind << ": a second program of the user comes to the same folder and meets the lock";
    const std::vector<std::string> nothing;
    EXPECT_EQ(Entries(mine), nothing) << kind << ": nothing reached through his link";
    EXPECT_EQ(Entries(own), nothing) << kind;
    ASSERT_EQ(lstat(own.c_str(), &st), 0) << kind;
    EXPECT_EQ(S_ISLNK(st.st_mode), what == "his link") << kind;
    EXPECT_EQ(st.st_uid, what == "his link" || what == "his folder" ? 65534u : geteuid()) << kind;
    TearDownApplication();
    EXPECT_FALSE(FileExists(inUse)) << kind;
    hisEntriesStay();
    ASSERT_EQ(what == "his link" ? unlink(own.c_str()) : rmdir(own.c_str()), 0) << kind;
  }

  // A file of this user left in the own folder by an earlier run is made anew, private.
  ASSERT_EQ(mkdir(own.c_str(), 0700), 0);
  WriteFileBytes(own + "/WV-DATA.TMP", "left by a crashed run");
  ASSERT_EQ(chmod((own + "/WV-DATA.TMP").c_str(), 0666), 0);
  starts(&inUse);
  EXPECT_EQ(inUse, own);
  TearDownApplication();
  EXPECT_FALSE(FileExists(own));
}

// Two users whose temporary folder is the same shared one (sticky and
// writable by all, as /tmp), each running the program at once: this test
// as this user and, as user 65534 (setpriv), this test program running
// SecondUserInASharedFolder. Both start and generate while the other holds
// its files; each keeps them in a folder of its own that the other never
// touches, and one program per user on the folder still holds.
constexpr const char* kSharedTempEnv = "CADENZA_TEST_SHARED_TEMP";
constexpr const char* kSignalsEnv = "CADENZA_TEST_SIGNALS";

bool WaitForFile(const std::string& path, double seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!FileExists(path)) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

// Each entry of folder with its owner, sorted by name.
std::vector<std::pair<std::string, uid_t>> Owners(const std::string& folder) {
  std::vector<std::pair<std::string, uid_t>> out;
  for (const std::string& name : Entries(folder)) {
    struct stat st {};
    out.emplace_back(name, lstat((folder + "/" + name).c_str(), &st) == 0 ? st.st_uid : static_cast<uid_t>(-1));
  }
  return out;
}

TEST_F(StartupRecovers, TwoUsersStartAndBuildInOneSharedFolderAtOnce) {
  const char* const setpriv = "/usr/bin/setpriv";
  if (geteuid() != 0 || access(setpriv, X_OK) != 0)
    GTEST_SKIP() << "not run: needs root and " << setpriv << " to run this test program as a second user (65534)";
  ASSERT_EQ(chmod(home_.dir.path().c_str(), 0755), 0);  // the second user reaches the shared folder
  const std::string shared = home_.dir.File("shared"), signals = home_.dir.File("signals");
  const std::string otherHome = home_.dir.File("other");
  ASSERT_EQ(mkdir(shared.c_str(), 0700), 0);
  ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
  ASSERT_EQ(mkdir(signals.c_str(), 0700), 0);
  ASSERT_EQ(chmod(signals.c_str(), 0777), 0);
  ASSERT_EQ(mkdir(otherHome.c_str(), 0700), 0);
  ASSERT_EQ(chown(otherHome.c_str(), 65534, 65534), 0);
  const std::string mine = shared + "/cadenza-" + std::to_string(geteuid()), theirs = shared + "/cadenza-65534";

  WriteSettings(shared, "", false);
  ASSERT_EQ(InitApplication(), 1);
  EXPECT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text;
  EXPECT_EQ(TempDirInUse(), mine);
  GenerateInto(home_.dir.File("mine.wv"));

  // The second user's program starts and generates while this one runs.
  char self[PATH_MAX] = "";
  const ssize_t selfBytes = readlink("/proc/self/exe", self, sizeof self - 1);
  ASSERT_GT(selfBytes, 0);
  const std::vector<std::string> words = {setpriv, "--reuid=65534", "--regid=65534", "--clear-groups", "--", self,
                                          "--gtest_also_run_disabled_tests",
                                          "--gtest_filter=StartupRecovers.DISABLED_SecondUserInASharedFolder"};
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string v = *e;
    if (v.rfind("HOME=", 0) != 0 && v.rfind("TMPDIR=", 0) != 0 && v.rfind("XDG_RUNTIME_DIR=", 0) != 0)
      env.push_back(v);
  }
  env.push_back("HOME=" + otherHome);
  env.push_back("TMPDIR=" + otherHome);
  env.push_back(std::string(kSharedTempEnv) + "=" + shared);
  env.push_back(std::string(kSignalsEnv) + "=" + signals);
  std::vector<char*> argv, envp;
  for (const std::string& w : words) argv.push_back(const_cast<char*>(w.c_str()));
  argv.push_back(nullptr);
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  const std::string outPath = signals + "/other.out";
  const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  ASSERT_GE(out, 0);
  const pid_t other = fork();
  if (other == 0) {
    if (dup2(out, STDOUT_FILENO) < 0 || dup2(out, STDERR_FILENO) < 0 || chdir(otherHome.c_str()) != 0) _exit(126);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  close(out);
  ASSERT_GT(other, 0);
  auto otherEnds = [&](double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    int status = 0;
    while (waitpid(other, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > end) {
        kill(other, SIGKILL);
        waitpid(other, &status, 0);
        return -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  };
  if (!WaitForFile(signals + "/built", 120.0)) {
    WriteFileBytes(signals + "/stop", "");
    otherEnds(30.0);
    FAIL() << "the second user's program did not build: " << ReadFileBytes(outPath);
  }
  EXPECT_EQ(ReadFileBytes(signals + "/built"), theirs);

  // Both run: a folder each in the shared folder and nothing else there,
  // every entry in it the user's own. This user generates again; the
  // second user's samples stay as they were.
  const std::vector<std::pair<std::string, uid_t>> folders = {{"cadenza-" + std::to_string(geteuid()), geteuid()},
                                                                       {"cadenza-65534", 65534}};
  EXPECT_EQ(Owners(shared), folders);
  const std::string theirSamples = ReadFileBytes(theirs + "/WV-DATA.TMP");
  EXPECT_GT(theirSamples.size(), 3u);
  GenerateInto(home_.dir.File("mine2.wv"));
  EXPECT_EQ(ReadFileBytes(theirs + "/WV-DATA.TMP"), theirSamples);
  for (const auto& [folder, user] : {std::pair<std::string, uid_t>{mine, geteuid()}, {theirs, 65534}}) {
    struct stat st {};
    ASSERT_EQ(lstat(folder.c_str(), &st), 0) << folder;
    EXPECT_EQ(st.st_mode & 07777, 0700u) << folder;
    const auto entries = Owners(folder);
    EXPECT_GE(entries.size(), 3u) << folder;  // the samples, the markers, the lock
    for (const auto& [name, owner] : entries) EXPECT_EQ(owner, user) << folder << "/" << name;
  }
  // A second program of this user comes to the same folder and finds its
  // lock held.
  const int lock = open((mine + "/CADENZA-" + std::to_string(geteuid()) + ".LCK").c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(lock, 0);
  EXPECT_NE(flock(lock, LOCK_EX | LOCK_NB), 0);
  EXPECT_EQ(errno, EWOULDBLOCK);
  close(lock);

  // Each exits and takes its own folder with it.
  WriteFileBytes(signals + "/stop", "");
  EXPECT_EQ(otherEnds(120.0), 0) << ReadFileBytes(outPath);
  EXPECT_NE(ReadFileBytes(outPath).find("[  PASSED  ] 1 test"), std::string::npos) << ReadFileBytes(outPath);
  EXPECT_FALSE(FileExists(theirs));
  EXPECT_TRUE(FileExists(mine + "/WV-DATA.TMP"));
  TearDownApplication();
  EXPECT_TRUE(Entries(shared).empty());
}

// The second user's side of TwoUsersStartAndBuildInOneSharedFolderAtOnce,
// run only by it (as user 65534, with the shared folder and a folder for
// the two sides' signals in the environment).
TEST_F(StartupRecovers, DISABLED_SecondUserInASharedFolder) {
  const char* shared = std::getenv(kSharedTempEnv);
  const char* signals = std::getenv(kSignalsEnv);
  if (shared == nullptr || signals == nullptr) GTEST_SKIP() << "run by TwoUsersStartAndBuildInOneSharedFolderAtOnce";
  WriteSettings(shared, "", false);
  ASSERT_EQ(InitApplication(), 1);
  EXPECT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text;
  EXPECT_NE(LogText().find("===== Startup complete ====="), std::string::npos) << LogText();
  GenerateInto(home_.dir.File("theirs.wv"));
  const std::string inUse = TempDirInUse();
  ASSERT_FALSE(HasFailure());
  ASSERT_TRUE(WriteFileBytes(std::string(signals) + "/built.part", inUse));
  ASSERT_EQ(rename((std::string(signals) + "/built.part").c_str(), (std::string(signals) + "/built").c_str()), 0);
  ASSERT_TRUE(WaitForFile(std::string(signals) + "/stop", 120.0));
  TearDownApplication();
  EXPECT_FALSE(FileExists(inUse));
}

TEST_F(StartupRecovers, LastProjectThatFailsToLoadIsNotSavedOver) {
  const std::string project = home_.dir.File("broken.prj");
  const std::string bytes = "<?xml version=\"1.0\"?>\n<PROJECT><PULSE id=\"1\"";
  WriteFileBytes(project, bytes);
  WriteSettings(home_.temp, project, true);
  ASSERT_EQ(InitApplication(), 1);
  EXPECT_TRUE(UiTest_Popups().empty());
  const std::string log = LogText();
  EXPECT_NE(log.find("** Failed to load project file."), std::string::npos) << log;
  EXPECT_NE(log.find("===== Startup complete ====="), std::string::npos) << log;
  EXPECT_EQ(PulseCount, 0);

  // Work done in the empty project does not go over the file at exit,
  // neither on a termination signal nor on File > Exit, which asks first:
  // "no" to the save, "yes" to leaving without it.
  ASSERT_EQ(UiTest_ChooseMenuItem(Bar(), MBAR_PULSE_PNEW), 1);
  ASSERT_EQ(PulseCount, 1);
  QuitWithoutQuestions();
  EXPECT_EQ(ReadFileBytes(project), bytes);
  ASSERT_EQ(UiTest_ChooseMenuItem(Bar(), MBAR_PULSE_PNEW), 1);
  UiTest_QueueConfirm(false);
  UiTest_QueueConfirm(true);
  ASSERT_EQ(UiTest_ChooseMenuItem(Bar(), MBAR_FILE_EXIT), 1);
  EXPECT_EQ(UiTest_Popups().size(), 2u);
  EXPECT_EQ(PulseCount, 0);
  TearDownApplication();
  EXPECT_EQ(ReadFileBytes(project), bytes);
}

// ---------------------------------------------------------------- child process

class ProgramRun : public ::testing::Test {
 protected:
  static constexpr const char* kSetpriv = "/usr/bin/setpriv";

  void SetUp() override {
    runtime_ = home_.dir.File("run");
    mkdir(runtime_.c_str(), 0700);
    program_ = cz::test::BuildDir() + "/cadenza";
    ASSERT_TRUE(FileExists(program_)) << program_;
  }
  void TearDown() override {
    for (pid_t pid : children_) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }

  // Starts the program in the working folder with stdout/stderr to files.
  // extraEnv entries replace the variables of their names; with runtime_
  // empty, XDG_RUNTIME_DIR is not set. work: another working folder; asOther:
  // run as the second user (setpriv, user and group 65534).
  pid_t Start(const std::vector<std::string>& args, const std::string& tag,
              const std::vector<std::string>& extraEnv = {}, const std::string& work = "", bool asOther = false) {
    auto named = [](const std::string& v, const std::string& entry) {
      return v.compare(0, entry.find('=') + 1, entry, 0, entry.find('=') + 1) == 0;
    };
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
      const std::string v = *e;
      if (v.rfind("XDG_RUNTIME_DIR=", 0) == 0 || v.rfind("QT_QPA_PLATFORM=", 0) == 0) continue;
      if (std::any_of(extraEnv.begin(), extraEnv.end(), [&](const std::string& x) { return named(v, x); })) continue;
      env.push_back(v);
    }
    if (!runtime_.empty()) env.push_back("XDG_RUNTIME_DIR=" + runtime_);
    env.push_back("QT_QPA_PLATFORM=offscreen");
    env.push_back("CADENZA_UNATTENDED=1");
    for (const std::string& e : extraEnv) env.push_back(e);
    const std::string out = home_.dir.File(tag + ".out"), err = home_.dir.File(tag + ".err");
    const std::string folder = work.empty() ? home_.work : work;
    const pid_t pid = fork();
    if (pid == 0) {
      if (chdir(folder.c_str()) != 0) _exit(126);
      if (!freopen(out.c_str(), "w", stdout) || !freopen(err.c_str(), "w", stderr)) _exit(126);
      std::vector<std::string> words;
      if (asOther) words = {kSetpriv, "--reuid=65534", "--regid=65534", "--clear-groups", "--"};
      words.push_back(program_);
      words.insert(words.end(), args.begin(), args.end());
      std::vector<char*> argv;
      for (const std::string& w : words) argv.push_back(const_cast<char*>(w.c_str()));
      argv.push_back(nullptr);
      std::vector<char*> envp;
      for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
      envp.push_back(nullptr);
      execve(argv[0], argv.data(), envp.data());
      _exit(127);
    }
    children_.push_back(pid);
    return pid;
  }
  std::string Output(const std::string& tag, const char* kind) { return ReadFileBytes(home_.dir.File(tag + kind)); }
  bool WaitFor(const std::string& path, const std::string& text, double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
      if (ReadFileBytes(path).find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }
  // Exit status, or -1 when the process did not end in time (then killed).
  int WaitExit(pid_t pid, double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
      int status = 0;
      if (waitpid(pid, &status, WNOHANG) == pid) {
        children_.erase(std::remove(children_.begin(), children_.end(), pid), children_.end());
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return -1;
  }

  Home home_;
  std::string runtime_, program_;
  std::vector<pid_t> children_;
};

TEST_F(ProgramRun, StartupLinesScreenshotSecondInstanceAndTermination) {
  const std::string png = home_.dir.File("run.png");
  const pid_t first = Start({"--dstartup", "--no-screen-test"}, "first", {"CADENZA_SCREENSHOT=" + png});
  ASSERT_TRUE(WaitFor(home_.dir.File("first.out"), "--- Startup complete ---", 60.0)) << Output("first", ".err");

  // The echo lines in order, and no screen check.
  const char* const steps[] = {
      "Loading main application panel...", "Loading sub panels...", "Loading application dialogs...",
      "Configuring controls...", "Loading additional dialogs...", "Initializing controls...",
      "Initializing low level file I/O driver...", "Initializing VISA interface...", "Loading program settings...",
      "Loading plugins...", "Initializing user interface...", "Setting up PRBS generators...",
      "Setting up temporary directories...", "--- Startup complete ---"};
  const std::vector<std::string> lines = Lines(Output("first", ".out"));
  std::size_t at = 0;
  for (const std::string& line : lines)
    if (at < std::size(steps) && line == steps[at]) ++at;
  EXPECT_EQ(at, std::size(steps)) << Output("first", ".out");
  EXPECT_EQ(Output("first", ".out").find("Resolution"), std::string::npos);
  EXPECT_EQ(Output("first", ".out").find("Loading project..."), std::string::npos);
  EXPECT_EQ(Output("first", ".err").find("[message]"), std::string::npos) << Output("first", ".err");

  ASSERT_TRUE(WaitFor(home_.dir.File("first.err"), "Screenshot saved", 20.0)) << Output("first", ".err");
  EXPECT_EQ(ReadFileBytes(png).substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  EXPECT_TRUE(FileExists(home_.temp + "/WV-DATA.TMP"));

  // A second instance is refused with its message and status 1.
  const pid_t second = Start({}, "second");
  EXPECT_EQ(WaitExit(second, 30.0), 1);
  EXPECT_NE(Output("second", ".err").find("Torvane Q7 Cadenza: Another instance of this application is already running."),
            std::string::npos)
      << Output("second", ".err");

  // SIGTERM ends the first as File > Exit would, without asking, once nothing runs.
  std::remove((home_.home + "/settings.ini").c_str());
  ASSERT_EQ(kill(first, SIGTERM), 0);
  EXPECT_EQ(WaitExit(first, 30.0), 0) << Output("first", ".err");
  EXPECT_FALSE(FileExists(home_.temp + "/WV-DATA.TMP"));
  EXPECT_FALSE(FileExists(home_.temp + "/MKR-DATA.TMP"));
  const std::string ini = ReadFileBytes(home_.home + "/settings.ini");
  EXPECT_NE(ini.find("TempDir = \"" + home_.temp + "\""), std::string::npos) << ini;

  // With the first gone, the lock is free again.
  // SIGINT during the start-up: the start-up completes, then the program ends.
  const pid_t third = Start({"--dstartup", "--no-screen-test"}, "third");
  ASSERT_TRUE(WaitFor(home_.dir.File("third.out"), "Loading main application panel...", 30.0));
  kill(third, SIGINT);
  EXPECT_EQ(WaitExit(third, 60.0), 0) << Output("third", ".err");
}

// Two programs on one home with runtime folders of their own: the second
// would share the first's temporary files, so it is refused like a second
// instance, and the first's files stay where they are.
TEST_F(ProgramRun, ASecondProgramOnTheSameTemporaryFolderIsRefused) {
  const pid_t first = Start({"--dstartup", "--no-screen-test"}, "first");
  ASSERT_TRUE(WaitFor(home_.dir.File("first.out"), "--- Startup complete ---", 60.0)) << Output("first", ".err");
  ASSERT_TRUE(FileExists(home_.temp + "/WV-DATA.TMP"));

  const std::string ownRuntime = runtime_;
  runtime_ = home_.dir.File("runtime2");
  ASSERT_EQ(mkdir(runtime_.c_str(), 0700), 0);
  const pid_t second = Start({"--dstartup", "--no-screen-test"}, "second");
  runtime_ = ownRuntime;
  EXPECT_EQ(WaitExit(second, 60.0), 1);
  EXPECT_NE(Output("second", ".err").find("Torvane Q7 Cadenza: Another instance of this application is already running."),
            std::string::npos)
      << Output("second", ".err");
  EXPECT_EQ(Output("second", ".out").find("Setting up temporary directories..."), std::string::npos);
  EXPECT_TRUE(FileExists(home_.temp + "/WV-DATA.TMP")) << "the first program's files are kept";

  ASSERT_EQ(kill(first, SIGTERM), 0);
  EXPECT_EQ(WaitExit(first, 30.0), 0) << Output("first", ".err");

  // With the first gone, a program on another runtime folder starts.
  runtime_ = home_.dir.File("runtime2");
  const pid_t third = Start({"--dstartup", "--no-screen-test"}, "third");
  runtime_ = ownRuntime;
  ASSERT_TRUE(WaitFor(home_.dir.File("third.out"), "--- Startup complete ---", 60.0)) << Output("third", ".err");
  ASSERT_EQ(kill(third, SIGTERM), 0);
  EXPECT_EQ(WaitExit(third, 30.0), 0) << Output("third", ".err");
}

// Two users without a runtime folder setting, whose default runtime folders
// in the shared temporary folder belong to someone else (a stale or hostile
// folder anyone can make): each user's program keeps its instance lock in a
// folder of its own inside its home, so neither locks the other out, while
// a user's second program is still refused.
TEST_F(ProgramRun, OneUsersProgramNeverLocksOutAnother) {
  if (geteuid() != 0 || access(kSetpriv, X_OK) != 0)
    GTEST_SKIP() << "not run: needs root and " << kSetpriv << " to run the program as a second user (65534)";
  const passwd* entry = getpwuid(65534);
  ASSERT_NE(entry, nullptr);
  const std::string otherName = entry->pw_name;
  entry = getpwuid(geteuid());
  ASSERT_NE(entry, nullptr);
  const std::string selfName = entry->pw_name;
  ASSERT_EQ(chmod(home_.dir.path().c_str(), 0755), 0);  // the second user reaches his folders
  const std::string shared = home_.dir.File("shared");
  ASSERT_EQ(mkdir(shared.c_str(), 0700), 0);
  ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
  // Each user's default runtime folder, made by the other one.
  const std::string mine = shared + "/runtime-" + selfName, theirs = shared + "/runtime-" + otherName;
  ASSERT_EQ(mkdir(mine.c_str(), 0700), 0);
  ASSERT_EQ(chown(mine.c_str(), 65534, 65534), 0);
  ASSERT_EQ(mkdir(theirs.c_str(), 0700), 0);

  // The second user's working folder names his home; his temporary folder is in it.
  const std::string base = home_.dir.File("other"), work = base + "/work", home = base + "/home";
  for (const std::string& d : {base, work, home}) {
    ASSERT_EQ(mkdir(d.c_str(), 0755), 0);
    ASSERT_EQ(chown(d.c_str(), 65534, 65534), 0);
  }
  WriteFileBytes(work + "/settings.ini", "[General]\r\nHomePath = \"" + home + "/\"\r\n");
  WriteFileBytes(home + "/settings.ini", "[PRG]\r\nTempDir = \"" + home + "/Temp\"\r\nSavePrjOnExit = False\r\n");
  ASSERT_EQ(chown((home + "/settings.ini").c_str(), 65534, 65534), 0);
  const std::string myHome = home_.dir.File("myhome");
  ASSERT_EQ(mkdir(myHome.c_str(), 0700), 0);

  runtime_.clear();
  const std::vector<std::string> args = {"--dstartup", "--no-screen-test"};
  const pid_t first = Start(args, "mine", {"TMPDIR=" + shared, "HOME=" + myHome});
  ASSERT_TRUE(WaitFor(home_.dir.File("mine.out"), "--- Startup complete ---", 60.0)) << Output("mine", ".err");
  const std::vector<std::string> otherEnv = {"TMPDIR=" + shared, "HOME=" + home};
  const pid_t second = Start(args, "theirs", otherEnv, work, true);
  ASSERT_TRUE(WaitFor(home_.dir.File("theirs.out"), "--- Startup complete ---", 60.0)) << Output("theirs", ".err");
  EXPECT_EQ(Output("theirs", ".err").find("Another instance"), std::string::npos) << Output("theirs", ".err");
  EXPECT_TRUE(FileExists(myHome + "/.cache/cadenza/cadenza.lock"));
  EXPECT_TRUE(FileExists(home + "/.cache/cadenza/cadenza.lock"));
  EXPECT_FALSE(FileExists(shared + "/cadenza.lock"));

  // The second user's second program is refused as before.
  const pid_t again = Start(args, "again", otherEnv, work, true);
  EXPECT_EQ(WaitExit(again, 60.0), 1);
  EXPECT_NE(Output("again", ".err").find("Torvane Q7 Cadenza: Another instance of this application is already running."),
            std::string::npos)
      << Output("again", ".err");

  ASSERT_EQ(kill(second, SIGTERM), 0);
  EXPECT_EQ(WaitExit(second, 30.0), 0) << Output("theirs", ".err");
  ASSERT_EQ(kill(first, SIGTERM), 0);
  EXPECT_EQ(WaitExit(first, 30.0), 0) << Output("mine", ".err");
}

}  // namespace
