// The program's exit through its own entry (Entry_Run) and the real event
// loop, in this process: termination signals during a build and while a
// question is open, and the close box pressed at each step of the start-up.
// The exit only runs from the top of the event loop; whatever ran when it
// was asked for ends first, and the project file keeps every record.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/ExitRequest.h"
#include "app/LibraryTree.h"
#include "app/PanelIds.h"
#include "app/PluginLoader.h"
#include "app/ProjectFile.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "app/Startup.h"
#include "app/entry/Entry.h"
#include "instrument/VisaDev.h"
#include "platform/ui/TestDriver.h"
#include "tests/support/OffscreenApp.h"
#include "tests/support/ProgramSteps.h"
#include "tests/support/RecordBuilders.h"
#include "tests/support/SimFixture.h"
#include "tests/support/TempDir.h"
#include "ui/main/TransferPage.h"

namespace {

using cz::test::FileExists;
using cz::test::ReadFileBytes;
using cz::test::WriteFileBytes;

constexpr int kSafetyMs = 60000;  // a run that never ends fails the test

std::function<void()> g_inLoop;  // runs once from the event loop of a run

void StartedHook() {
  QTimer::singleShot(0, []() {
    if (g_inLoop) g_inLoop();
  });
}

class EntryExitTest : public cz::test::OffscreenAppTest, public cz::test::ProgramSteps {
 protected:
  void SetUp() override {
    OffscreenAppTest::SetUp();
    work_ = dir_.File("work");
    home_ = dir_.File("home");
    for (const std::string& d : {work_, home_, dir_.File("plugins")}) mkdir(d.c_str(), 0755);
    ASSERT_TRUE(WriteFileBytes(work_ + "/settings.ini", "[General]\r\nHomePath = \"" + home_ + "/\"\r\n"));
    ASSERT_EQ(chdir(work_.c_str()), 0);
    SetPluginFolder(dir_.File("plugins"));
    SkipScreenTest = 1;
    StartupEcho = 0;
    SkipProjectLoad = 0;
    project_ = dir_.File("project.prj");
    wave_ = dir_.File("train.wv");
    WriteProject();
  }
  void TearDown() override {
    g_inLoop = nullptr;
    SetPluginFolder("");
    OffscreenAppTest::TearDown();
  }

  // Two pulses and a sequence of 2,000 repetitions of the first (4 M samples).
  void WriteProject() {
    ClearProject();
    PulseRecord& a = cz::test::AddPulse("alpha", 5e-6, 15e-6);
    cz::test::AddPulse("beta", 2e-6, 8e-6);
    SequenceRecord& s = cz::test::AddSequence(100e6);
    s.name = "train";
    ASSERT_TRUE(s.waveFile.AssignExact(wave_));
    cz::test::SetPulseEntry(s, 0, a, 2000);
    ASSERT_EQ(SaveProject(PulseTable, SequenceTable, project_.c_str()), 1);
    ClearProject();
  }
  // instrument: a resource to select, or "" for none.
  void WriteSettings(bool saveOnExit, const std::string& instrument = "") {
    const std::string select = instrument.empty() ? ""
                                                  : "[INSTR]\r\nSelect = \"" + instrument + "\"\r\n[DEV]\r\nDevice1 = \"" +
                                                        instrument + "\"\r\n";
    ASSERT_TRUE(WriteFileBytes(home_ + "/settings.ini", select + "[PRG]\r\nTempDir = \"" + home_ +
                                                            "/Temp\"\r\nLastPrj = \"" + project_ +
                                                            "\"\r\nSavePrjOnExit = " +
                                                            (saveOnExit ? "True" : "False") + "\r\n"));
  }

  // One run of the program; inLoop runs from its event loop. The run must
  // end by itself (a signal, a close) within the safety time.
  int Run(std::function<void()> inLoop) {
    UiTest_UseFakeClock(true);  // the start-up's pauses take no time
    g_inLoop = std::move(inLoop);
    QTimer safety;
    safety.setSingleShot(true);
    QObject::connect(&safety, &QTimer::timeout, []() {
      ADD_FAILURE() << "the program did not end";
      QuitUserInterface(0);
    });
    safety.start(kSafetyMs);
    const int result = Entry_Run(&StartedHook);
    g_inLoop = nullptr;
    return result;
  }

  // The project file as the next start reads it.
  void ExpectWholeProjectFile(const char* when) {
    ClearProject();
    ASSERT_EQ(LoadProject(PulseTable, SequenceTable, project_.c_str(), 0), 1) << when;
    EXPECT_EQ(PulseCount, 2) << when;
    ASSERT_EQ(SequenceCount, 1) << when;
    EXPECT_EQ(SequenceTable[0].entries[0].repetitions, 2000) << when;
    ClearProject();
  }
  void ExpectCleanTearDown(const char* when) {
    EXPECT_FALSE(FileExists(home_ + "/Temp/WV-DATA.TMP")) << when;
    EXPECT_FALSE(FileExists(home_ + "/Temp/MKR-DATA.TMP")) << when;
    EXPECT_NE(ReadFileBytes(home_ + "/settings.ini").find(project_), std::string::npos) << when;
  }

  cz::test::TempDir dir_;
  std::string work_, home_, project_, wave_;
};

// The user's requests to end: a signal, or (0) the close box, (-1) File > Exit.
void RequestEnd(int request) {
  if (request > 0)
    kill(getpid(), request);
  else if (request == 0)
    UiTest_PressCloseBox(PANEL_MAIN);
  else
    UiTest_ChooseMenuItem(GetPanelMenuBar(PANEL_MAIN), MBAR_FILE_EXIT);
}

// Each run builds the sequence again and gets signals (or the close box, or
// File > Exit) during the build: the build stops through its user break,
// the old waveform file stays as it was, and the exit saves the whole
// project once. The next run starts clean.
TEST_F(EntryExitTest, SignalsDuringABuildStopItAndTheExitSavesTheWholeProject) {
  WriteSettings(true);
  const std::vector<std::vector<int>> runs = {{SIGTERM}, {SIGINT, SIGINT}, {SIGHUP}, {0}, {-1, SIGTERM}};
  std::string old;
  for (const std::vector<int>& signals : runs) {
    const std::string name = "signal " + std::to_string(signals.front()) + " x" + std::to_string(signals.size());
    std::string log, startLog, status;
    int pulses = -1, sequences = -1, failurePopups = 0;
    const int result = Run([&]() {
      pulses = PulseCount;
      sequences = SequenceCount;
      startLog = Log();
      UiTest_UseFakeClock(false);  // the build pumps the loop by the clock
      ClickLibraryItem(kSequenceLibraryTag, 0);
      if (old.empty()) {
        Click(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE);
        old = ReadFileBytes(wave_);
      }
      // Sent from the build's first pump of the event loop, each taken in
      // by the loop before the next is sent.
      QTimer::singleShot(0, [&signals]() {
        for (int request : signals) {
          RequestEnd(request);
          QCoreApplication::processEvents();
        }
      });
      // The build ends as the user's own break: no failure popup stands
      // before the exit's questions.
      Click(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE);
      log = Log();
      status = Status();
      for (const UiTest_PopupRecord& p : UiTest_Popups()) failurePopups += p.text.rfind("Waveform creation failed.", 0) == 0;
    });
    EXPECT_EQ(status, "User break") << name;
    EXPECT_EQ(failurePopups, 0) << name;
    EXPECT_EQ(result, 0) << name;
    EXPECT_EQ(pulses, 2) << name << ": the start-up loaded the whole project";
    EXPECT_EQ(sequences, 1) << name;
    EXPECT_EQ(startLog.find("FAILED"), std::string::npos) << name << startLog;
    ASSERT_GT(old.size(), 4000000u) << log;
    EXPECT_NE(log.find("User break"), std::string::npos) << name << log;
    EXPECT_EQ(ReadFileBytes(wave_), old) << name << ": the waveform file is untouched";
    ExpectWholeProjectFile(name.c_str());
    ExpectCleanTearDown(name.c_str());
  }
}

// A signal while a question is open answers it "No" (a real dialog here):
// the pulse stays, and the exit saves it.
TEST_F(EntryExitTest, ASignalWhileAQuestionIsOpenAnswersItNo) {
  WriteSettings(true);
  int pulses = -1;
  const int result = Run([&]() {
    ClickLibraryItem(kPulseLibraryTag, 1);  // "beta", which no sequence uses
    UiTest_SetScriptedPopups(false);
    QTimer::singleShot(200, []() { kill(getpid(), SIGTERM); });
    Click(PANEL_MAIN, PANEL_MAIN_CMD_DEL);
    UiTest_SetScriptedPopups(true);
    pulses = PulseCount;
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(pulses, 2);
  ASSERT_EQ(UiTest_Popups().size(), 1u);
  EXPECT_EQ(UiTest_Popups()[0].text, "Are you sure you want to delete the pulse 'beta' ?");
  EXPECT_EQ(UiTest_Popups()[0].answer, "no");
  ExpectWholeProjectFile("after the question");
  ExpectCleanTearDown("after the question");
}

// The close box pressed at each pump of the start-up: the exit waits for
// the start-up's end, the project is loaded whole and saved whole. Without
// save-on-exit the question comes after the start-up, and its "Yes" ends
// the program while its "No" keeps it.
TEST_F(EntryExitTest, TheCloseBoxDuringTheStartUpWaitsForItsEnd) {
  WriteSettings(true);
  // The pumps of one start-up, counted by a timer that fires in each.
  int pumps = 0;
  QTimer counter;
  QObject::connect(&counter, &QTimer::timeout, [&]() {
    if (Exit_StartupRunning()) ++pumps;
  });
  counter.start(0);
  Run([]() { kill(getpid(), SIGTERM); });
  counter.stop();
  ASSERT_GT(pumps, 3);

  // A timer that presses the close box in the step-th pump of the start-up.
  int step = 0, seen = 0;
  bool pressed = false;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&]() {
    if (!Exit_StartupRunning() || PANEL_MAIN <= 0 || ++seen != step) return;
    pressed = UiTest_PressCloseBox(PANEL_MAIN) == 1;
    closer.stop();
  });
  auto closeAt = [&](int at) {
    step = at;
    seen = 0;
    pressed = false;
    closer.start(0);
  };
  for (int at = 1; at <= pumps; ++at) {
    const std::string name = "close at pump " + std::to_string(at);
    int pulses = -1;
    closeAt(at);
    const int result = Run([&]() { pulses = PulseCount; });
    closer.stop();
    if (!pressed) continue;  // the main window was not shown yet
    EXPECT_EQ(result, 0) << name;
    EXPECT_EQ(pulses, 2) << name << ": nothing cleared the loaded project";
    EXPECT_TRUE(UiTest_Popups().empty()) << name << UiTest_Popups().front().text;
    ExpectWholeProjectFile(name.c_str());
  }

  WriteSettings(false);
  for (bool yes : {true, false}) {
    bool askedDuringStartUp = true;
    int pulses = -1;
    // "No" keeps the program: a signal ends it a little later.
    QTimer later;
    later.setSingleShot(true);
    QObject::connect(&later, &QTimer::timeout, [&]() {
      pulses = PulseCount;
      kill(getpid(), SIGTERM);
    });
    closeAt(pumps / 2);
    UiTest_ClearPopups();
    UiTest_QueueConfirm(yes);
    Run([&]() {
      askedDuringStartUp = !UiTest_Popups().empty();
      later.start(300);
    });
    closer.stop();
    EXPECT_TRUE(pressed);
    EXPECT_FALSE(askedDuringStartUp);
    ASSERT_EQ(UiTest_Popups().size(), 1u);
    EXPECT_EQ(UiTest_Popups()[0].text, "Do you want to exit Cadenza ?\nUnsaved changes will be lost.");
    EXPECT_EQ(pulses, yes ? -1 : 2) << (yes ? "Yes ends the program" : "No keeps it");
    ExpectWholeProjectFile(yes ? "yes" : "no");
  }
}

// Started with "--no-load-project", the project named by the settings was
// never loaded: neither a signal nor the close box saves the empty tables
// over it, and the next start still names it.
TEST_F(EntryExitTest, AProjectNeverLoadedIsNeverSavedOver) {
  WriteSettings(true);
  const std::string before = ReadFileBytes(project_);
  for (int request : {SIGTERM, 0}) {
    const std::string name = "request " + std::to_string(request);
    SkipProjectLoad = 1;
    UiTest_ClearPopups();
    int pulses = -1;
    const int result = Run([&]() {
      pulses = PulseCount;
      RequestEnd(request);
    });
    SkipProjectLoad = 0;
    EXPECT_EQ(result, 0) << name;
    EXPECT_EQ(pulses, 0) << name;
    EXPECT_TRUE(UiTest_Popups().empty()) << name << UiTest_Popups().front().text;
    EXPECT_EQ(ReadFileBytes(project_), before) << name;
    ExpectCleanTearDown(name.c_str());
  }
}

// A signal in the middle of an upload to the simulated generator: the file
// on the instrument is then the old one or the new one, whole.
TEST_F(EntryExitTest, ASignalDuringAnUploadLeavesTheOldOrTheNewFile) {
  cz::test::SimFixture sim;
  cz::test::SimOptions opt;
  opt.options = "KLD-M64,KLD-RFA30,KLD-M16";
  opt.vxi11 = false;
  ASSERT_TRUE(sim.Start(opt)) << sim.Error();
  WriteSettings(true, sim.SocketResource());
  std::string oldFile, newFile, remote, log;
  bool sentDuringUpload = false;
  // Sends the signal once the task bar shows the block under way.
  QTimer watcher;
  QObject::connect(&watcher, &QTimer::timeout, [&]() {
    double percent = 0.0;
    GetCtrlVal(PANEL_MAIN, PANEL_MAIN_PROG_TASK, &percent);
    if (percent <= 5.0 || percent >= 95.0) return;
    sentDuringUpload = true;
    watcher.stop();
    kill(getpid(), SIGTERM);
  });
  const int result = Run([&]() {
    UiTest_UseFakeClock(false);
    ClickLibraryItem(kSequenceLibraryTag, 0);
    Click(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE);
    oldFile = ReadFileBytes(wave_);
    Click(TAB_INSTR, TAB_INSTR_CMD_BBMODE_A);
    Click(TAB_INSTR, TAB_INSTR_CMD_BBMODE_A);
    if (!g_Settings.BBLinkFA) Click(TAB_INSTR, TAB_INSTR_CB_LINK_A);
    Click(TAB_INSTR, TAB_INSTR_CMD_UPLOAD);
    ASSERT_EQ(Status(), "Transfer Complete.") << Log();
    remote = g_Settings.RemoteFileA.str();
    // A shorter train, sent over the first one.
    SequenceTable[0].entries[0].repetitions = 1500;
    Click(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE);
    newFile = ReadFileBytes(wave_);
    ASSERT_NE(newFile.size(), oldFile.size());
    UiTest_QueueConfirm(true);  // "File exists on instrument. Delete ?"
    watcher.start(0);
    Click(TAB_INSTR, TAB_INSTR_CMD_UPLOAD);
    watcher.stop();
    log = Log();
  });
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(sentDuringUpload) << log;
  ASSERT_FALSE(remote.empty()) << log;
  ASSERT_EQ(VisaDev_Open(0, sim.SocketResource().c_str()), 1);
  std::string reply;
  ASSERT_EQ(VisaDev_QueryAll(0, (":MMEM:DATA? '" + remote + "'").c_str(), &reply), 1);
  VisaDev_Close(0);
  // "#<n><length>" before the bytes.
  ASSERT_GT(reply.size(), 2u);
  const std::size_t digits = static_cast<std::size_t>(reply[1] - '0');
  const std::string held = reply.substr(2 + digits);
  EXPECT_TRUE(held == oldFile || held == newFile)
      << held.size() << " bytes; old " << oldFile.size() << ", new " << newFile.size() << "\n" << log;
  ExpectCleanTearDown("after the upload");
}

}  // namespace
