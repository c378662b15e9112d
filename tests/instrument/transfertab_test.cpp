// Transfer tab: the file-name rules, the redraw of the page by the
// instrument's capabilities, and transfers against the simulator.
#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "app/ExitRequest.h"
#include "app/PanelIds.h"
#include "app/Settings.h"
#include "instrument/Identify.h"
#include "instrument/InstrumentTransfer.h"
#include "instrument/TransferTab.h"
#include "platform/ui/TestDriver.h"
#include "tests/instrument/InstrumentTestSupport.h"
#include "tests/support/SimFixture.h"
#include "tests/support/TempDir.h"
#include "tests/support/TransferSettings.h"
#include "ui/main/TransferPage.h"

namespace {

using cz::test::SimFixture;
using cz::test::SimOptions;
using cz::test::TempDir;

std::string WithWv(const std::string& path) {
  char buffer[256] = "";
  std::snprintf(buffer, sizeof buffer, "%s", path.c_str());
  return TransferTab_WithWvExtension(buffer, sizeof buffer) ? std::string(buffer) : std::string("<refused>");
}

std::string Linked(const char* projectDir, const char* defaultDir, bool unixPaths) {
  char out[256] = "";
  TransferTab_LinkedDirectory(projectDir, defaultDir, unixPaths, out, sizeof out);
  return out;
}

TEST(TransferNames, WvExtensionRule) {
  EXPECT_EQ(WithWv("/tmp/wave"), "/tmp/wave.wv");
  EXPECT_EQ(WithWv("/tmp/wave.WV"), "/tmp/wave.WV");
  EXPECT_EQ(WithWv("/tmp/Wave.Wv"), "/tmp/Wave.Wv");
  EXPECT_EQ(WithWv("x"), "x.wv");
  EXPECT_EQ(WithWv("D:\\waves\\x"), "D:\\waves\\x.wv");
  EXPECT_EQ(WithWv("/tmp/a.bin"), "/tmp/a.bin.wv");
  // Extending past the 256-byte field is refused, never cut.
  EXPECT_EQ(WithWv(std::string(253, 'a')), "<refused>");
  EXPECT_EQ(WithWv(std::string(252, 'a')), std::string(252, 'a') + ".wv");
}

TEST(TransferNames, LinkedDirectory) {
  EXPECT_EQ(Linked("/hdd/waves/", "/var/user/", true), "/hdd/waves");
  EXPECT_EQ(Linked("waves/", "/var/user/", true), "/var/user/waves");
  EXPECT_EQ(Linked("D:\\waves\\", "D:\\", false), "D:\\waves");
  EXPECT_EQ(Linked("waves", "D:\\", false), "D:\\waves");
  EXPECT_EQ(Linked("", "", false), "");
}

// A minimal waveform file whose header gives the clock.
std::string WaveFile(const TempDir& dir, const char* name, double clock) {
  const std::string path = dir.File(name);
  char header[128];
  std::snprintf(header, sizeof header, "{TYPE: Kaldra-WV,0}{CLOCK: %.1f}{SAMPLES: 2}{WAVEFORM-9:#", clock);
  EXPECT_TRUE(cz::test::WriteFileBytes(path, std::string(header) + std::string(8, '\x10') + "}"));
  return path;
}

class TransferTabTest : public cz::test::InstrumentTest {
 protected:
  void SetUp() override {
    InstrumentTest::SetUp();
    TAB_INSTR = BuildTransferPanel(0);
    ASSERT_GT(TAB_INSTR, 0);
    ResetInstrumentCapabilities();
    AppSettings fresh;
    g_Settings = fresh;
  }
  void TearDown() override {
    TAB_INSTR = 0;
    InstrumentTest::TearDown();
  }
  static int Dimmed(int control) {
    int dimmed = -1;
    GetCtrlAttribute(TAB_INSTR, control, ATTR_DIMMED, &dimmed);
    return dimmed;
  }
  static std::string Caption(int control) {
    char text[64] = "";
    GetCtrlAttribute(TAB_INSTR, control, ATTR_LABEL_TEXT, text, sizeof text);
    return text;
  }
  void StartSim(const char* model, const char* options = "", std::vector<std::string> faults = {}) {
    SimOptions opt;
    opt.model = model;
    opt.options = options;
    opt.faults = std::move(faults);
    opt.vxi11 = false;
    ASSERT_TRUE(sim_.Start(opt)) << sim_.Error();
    g_Settings.Select = sim_.SocketResource();
  }
  // Path A "load/run" of `local` into its linked name under D:\, with
  // frequency, level and RF ON set, on the simulator identified anew.
  void SetPathALoadRunWithRf(const std::string& local) {
    char info[kIdentifyInfoSize] = "";
    ASSERT_EQ(IdentifyInstrument(g_Settings.Select.c_str(), info, sizeof info), 1);
    InstrumentCapabilities.RfPathA = 1;
    g_Settings.BBModeA = 2;
    g_Settings.BBLinkFA = 1;
    g_Settings.RFSetFA = 1;
    g_Settings.RFSetLA = 1;
    g_Settings.RFStateA = 1;
    g_Settings.RFFreqA = 1.0;
    g_Settings.RFLevA = -20.0;
    g_Settings.Project.pathWin = "D:\\";
    RefreshTransferTab();
    UpdateLinkedRemoteFiles(local.c_str(), "");
  }
  // "OUTP1:STAT?" asked over a session of its own.
  std::string RfStateA() const {
    if (VisaDev_Open(1, sim_.SocketResource().c_str()) != 1) return "<not open>";
    char state[32] = "";
    if (VisaDev_Query(1, "OUTP1:STAT?", state, sizeof state) != 1) std::snprintf(state, sizeof state, "<failed>");
    VisaDev_Close(1);
    return state;
  }
  std::vector<std::string> Received() const { return sim_.Received(); }
  bool Sent(const std::string& prefix) const {
    const std::vector<std::string> r = Received();
    return std::any_of(r.begin(), r.end(), [&](const std::string& m) { return m.rfind(prefix, 0) == 0; });
  }
  SimFixture sim_;
  TempDir dir_;
};

TEST_F(TransferTabTest, OnePathInstrumentFixesRoutingAndDimsPathB) {
  InstrumentCapabilities.ArbSamplesB = 0;
  g_Settings.BBRoutingA = 2;
  g_Settings.BBRoutingB = 0;
  g_Settings.BBModeB = 2;
  RefreshTransferTab();
  int a = -1, b = -1;
  GetCtrlVal(TAB_INSTR, TAB_INSTR_RING_BBR_A, &a);
  GetCtrlVal(TAB_INSTR, TAB_INSTR_RING_BBR_B, &b);
  EXPECT_EQ(a, 0);
  EXPECT_EQ(b, 1);
  EXPECT_EQ(Dimmed(TAB_INSTR_RING_BBR_A), 1);
  EXPECT_EQ(Dimmed(TAB_INSTR_RING_BBR_B), 1);
  EXPECT_EQ(Dimmed(TAB_INSTR_CMD_BBMODE_B), 1);
  EXPECT_EQ(g_Settings.BBModeB, 0);
  EXPECT_EQ(Caption(TAB_INSTR_CMD_BBMODE_B), "ignore");
  // Without RF sections the frequency and level flags are cleared.
  EXPECT_EQ(g_Settings.RFSetFA, 0);
  EXPECT_EQ(Dimmed(TAB_INSTR_CB_SETFREQ_A), 1);
}

TEST_F(TransferTabTest, ModeButtonStepsAndLinkPairSetsTheFlag) {
  RefreshTransferTab();
  EXPECT_EQ(Caption(TAB_INSTR_CMD_BBMODE_A), "ignore");
  EXPECT_EQ(Dimmed(TAB_INSTR_CB_LINK_A), 1);  // idle path
  const char* expected[] = {"load", "load/run", "ignore"};
  for (const char* caption : expected) {
    ASSERT_EQ(UiTest_ClickCtrl(TAB_INSTR, TAB_INSTR_CMD_BBMODE_A), 1);
    EXPECT_EQ(Caption(TAB_INSTR_CMD_BBMODE_A), caption);
  }
  UiTest_ClickCtrl(TAB_INSTR, TAB_INSTR_CMD_BBMODE_A);
  ASSERT_EQ(UiTest_ClickCtrl(TAB_INSTR, TAB_INSTR_CB_LINK_A), 1);
  EXPECT_EQ(g_Settings.BBLinkFA, 1);
  EXPECT_EQ(Dimmed(TAB_INSTR_STR_INSTRFILE_A), 1);
  ASSERT_EQ(UiTest_ClickCtrl(TAB_INSTR, TAB_INSTR_CB_NLINK_A), 1);
  EXPECT_EQ(g_Settings.BBLinkFA, 0);
  EXPECT_EQ(Dimmed(TAB_INSTR_STR_INSTRFILE_A), 0);
  ASSERT_EQ(UiTest_EnterValue(TAB_INSTR, TAB_INSTR_STR_INSTRFILE_A, "D:\\typed.wv"), 1);
  EXPECT_EQ(g_Settings.RemoteFileA.str(), "D:\\typed.wv");
}

TEST_F(TransferTabTest, LinkedNamesFollowTheLocalFile) {
  g_Settings.BBLinkFA = 1;
  g_Settings.BBLinkFB = 0;
  g_Settings.RemoteFileB = "kept";
  RefreshTransferTab();
  InstrumentCapabilities.UnixPaths = 1;
  g_Settings.Project.pathLin = "/hdd/waves/";
  UpdateLinkedRemoteFiles("/data/out/pulse.wv", "");
  EXPECT_EQ(g_Settings.RemoteFileA.str(), "/hdd/waves/pulse.wv");
  EXPECT_EQ(g_Settings.RemoteFileB.str(), "kept");
  g_Settings.Project.pathLin = "waves";
  UpdateLinkedRemoteFiles("/data/out/pulse.wv", "/var/user/");
  EXPECT_EQ(g_Settings.RemoteFileA.str(), "/var/user/waves/pulse.wv");
  char shown[256] = "";
  GetCtrlVal(TAB_INSTR, TAB_INSTR_STR_LOCFILE, shown, sizeof shown);
  EXPECT_STREQ(shown, "/data/out/pulse.wv");
  InstrumentCapabilities.UnixPaths = 0;
  g_Settings.Project.pathWin = "D:\\waves\\";
  UpdateLinkedRemoteFiles("/data/out/pulse.wv", "");
  EXPECT_EQ(g_Settings.RemoteFileA.str(), "D:\\waves\\pulse.wv");
}

TEST_F(TransferTabTest, ClockLimitIsCheckedBeforeAnythingIsSent) {
  StartSim("Kaldra");
  InstrumentCapabilities.Type = 1;
  InstrumentCapabilities.MaxClock = 100000000;
  ASSERT_EQ(VisaDev_Open(0, g_Settings.Select.c_str()), 1);
  char remote[256] = "D:\\fast";
  char local[256] = "";
  std::snprintf(local, sizeof local, "%s", WaveFile(dir_, "fast.wv", 100000001.0).c_str());
  EXPECT_EQ(TransferWaveform(remote, local, 0, 1, 1, 1.0, 0.0, 0, 0, 0), 0);
  EXPECT_TRUE(Log().HasStatus("Error: Waveform Clock Rate Exceeds ARB Limit."));
  EXPECT_FALSE(Sent(":MMEM:DATA"));
  // A CLOCK tag that is no number is no clock within the limit.
  std::snprintf(local, sizeof local, "%s", WaveFile(dir_, "nanclock.wv", std::nan("")).c_str());
  Log().Clear();
  EXPECT_EQ(TransferWaveform(remote, local, 0, 1, 1, 1.0, 0.0, 0, 0, 0), 0);
  EXPECT_TRUE(Log().HasStatus("Error: Waveform Clock Rate Exceeds ARB Limit."));
  EXPECT_FALSE(Sent(":MMEM:DATA"));

  std::snprintf(local, sizeof local, "%s", WaveFile(dir_, "edge", 100000000.0).c_str());
  std::snprintf(local, sizeof local, "%s", dir_.File("edge").c_str());  // sent as edge.wv
  EXPECT_EQ(TransferWaveform(remote, local, 2, 1, 1, 1.0, 0.0, 0, 0, 0), 0);
  EXPECT_TRUE(Log().HasStatus("Error: Cannot Read Waveform Information."));
  WaveFile(dir_, "edge.wv", 100000000.0);
  Log().Clear();
  EXPECT_EQ(TransferWaveform(remote, local, 2, 1, 1, 1.0, 0.0, 0, 0, 0), 1) << Log().status.back();
  EXPECT_STREQ(remote, "D:\\fast.wv");
  EXPECT_TRUE(Log().HasStatus("Transfer Complete."));
  EXPECT_TRUE(Sent("SOUR1:BB:ROUTE AB"));

  // The same file when one transfer carries fewer bytes than it holds.
  const std::size_t before = Received().size();
  VisaDev_SetMaxTransferBytes(16);
  EXPECT_EQ(TransferWaveform(remote, local, 2, 1, 1, 1.0, 0.0, 0, 0, 0), 0);
  VisaDev_SetMaxTransferBytes(0);
  EXPECT_EQ(Log().status.back(), "Error: Waveform Too Large for One Transfer.");
  EXPECT_EQ(Received().size(), before);

  // A file cut short (a power cut while it was written) is never sent: an
  // empty one, one cut inside its header, one cut inside its block.
  const std::string whole = cz::test::ReadFileBytes(WaveFile(dir_, "cut.wv", 1e6));
  for (std::size_t keep : {std::size_t{0}, std::size_t{20}, whole.size() - 3}) {
    ASSERT_TRUE(cz::test::WriteFileBytes(dir_.File("cut.wv"), whole.substr(0, keep)));
    std::snprintf(local, sizeof local, "%s", dir_.File("cut.wv").c_str());
    Log().Clear();
    EXPECT_EQ(TransferWaveform(remote, local, 2, 1, 1, 1.0, 0.0, 0, 0, 0), 0);
    EXPECT_EQ(Log().status.back(), "Error: Waveform File 'cut.wv' Cut Short.") << keep;
    EXPECT_TRUE(Log().HasPrefix("*** Waveform file '" + dir_.File("cut.wv") + "' is cut short (")) << keep;
    EXPECT_EQ(Received().size(), before) << keep;
  }
}

TEST_F(TransferTabTest, FrequencyOnlySendsRfCommandsAndNoFile) {
  StartSim("Kaldra");
  InstrumentCapabilities.Type = 1;
  InstrumentCapabilities.RfPathA = 1;
  ASSERT_EQ(VisaDev_Open(0, g_Settings.Select.c_str()), 1);
  char remote[256] = "";
  char local[256] = "";
  EXPECT_EQ(TransferWaveform(remote, local, 0, 1, 0, 2.5, -10.0, 1, 1, 0), 1);
  EXPECT_TRUE(Sent("SOUR1:FREQ:MODE CW"));
  EXPECT_TRUE(Sent("SOUR1:FREQ 2.500000 GHz"));
  EXPECT_FALSE(Sent("SOUR1:POW"));
  EXPECT_TRUE(Sent("OUTP1:STAT ON"));
  EXPECT_FALSE(Sent(":MMEM:DATA"));
}

// A failed step names itself on the status line and logs the reason the
// VISA layer kept beside its message.
TEST_F(TransferTabTest, FailedStepLogsItsReason) {
  char remote[256] = "";
  char local[256] = "";
  InstrumentCapabilities.Type = 1;
  InstrumentCapabilities.RfPathA = 1;
  StartSim("Kaldra", "", {"opc0@FREQ:MODE"});
  ASSERT_EQ(VisaDev_Open(0, g_Settings.Select.c_str()), 1);
  EXPECT_EQ(TransferWaveform(remote, local, 0, 1, 0, 2.5, -10.0, 1, 1, 0), 0);
  EXPECT_EQ(Log().status.back(), "Error: Cannot Set CW Mode.");
  EXPECT_TRUE(Log().Has("Error: Cannot Set CW Mode. ERROR : R Unexpected Result '0'"));
  VisaDev_Close(0);

  Log().Clear();
  StartSim("Kaldra", "", {"drop@OUTP1:STAT"});
  ASSERT_EQ(VisaDev_Open(0, g_Settings.Select.c_str()), 1);
  EXPECT_EQ(TransferWaveform(remote, local, 0, 1, 0, 2.5, -10.0, 1, 1, 0), 0);
  // The "OFF" that follows the failed "ON" is lost the same way: the status
  // does not claim the output is off.
  EXPECT_EQ(Log().status.back(), "Error: Cannot Activate RF Signal. RF Output May Still Be On.");
  EXPECT_TRUE(Log().HasPrefix("Error: Cannot Activate RF Signal. ERROR : R ")) << Log().lines.back();
  EXPECT_TRUE(Sent("OUTP1:STAT OFF"));
}

TEST_F(TransferTabTest, NerrinCommandsCarryNoPathDigit) {
  StartSim("Nerrin");
  InstrumentCapabilities.Type = 11;
  InstrumentCapabilities.RfPathA = 1;
  ASSERT_EQ(VisaDev_Open(0, g_Settings.Select.c_str()), 1);
  char remote[256] = "";
  char local[256] = "";
  EXPECT_EQ(TransferWaveform(remote, local, 0, 1, 0, 1.0, -20.0, 0, 1, 1), 1);
  EXPECT_TRUE(Sent("SOUR:FREQ:MODE CW"));
  EXPECT_TRUE(Sent("SOUR:POW -20.000000 dBm"));
  EXPECT_TRUE(Sent("OUTP:STAT OFF"));
}

TEST_F(TransferTabTest, ModelWithoutUploadRouteReportsTheFailure) {
  StartSim("Quorra");
  ASSERT_EQ(VisaDev_Open(0, g_Settings.Select.c_str()), 1);
  char remote[256] = "/var/quorra/q.wv";
  char local[256] = "";
  std::snprintf(local, sizeof local, "%s", WaveFile(dir_, "q.wv", 1e6).c_str());
  EXPECT_EQ(TransferWaveform(remote, local, 0, 1, 1, 1.0, 0.0, 0, 0, 0), 0);
  EXPECT_EQ(Log().status.back(), "Error: Transfer Failed.");
  EXPECT_FALSE(Sent(":MMEM:DATA"));
}

TEST_F(TransferTabTest, UploadButtonSendsTheLocalFileToLinkedPathA) {
  StartSim("Kaldra", "KLD-M64,KLD-M16");
  char info[kIdentifyInfoSize] = "";
  ASSERT_EQ(IdentifyInstrument(g_Settings.Select.c_str(), info, sizeof info), 1);
  g_Settings.BBModeA = 1;
  g_Settings.BBLinkFA = 1;
  g_Settings.Project.pathWin = "D:\\";
  RefreshTransferTab();
  UpdateLinkedRemoteFiles(WaveFile(dir_, "up.wv", 1e6).c_str(), "");
  ASSERT_EQ(UiTest_ClickCtrl(TAB_INSTR, TAB_INSTR_CMD_UPLOAD), 1);
  EXPECT_TRUE(Log().HasStatus("Transfer Complete."));
  EXPECT_EQ(g_Settings.RemoteFileA.str(), "D:\\up.wv");
  EXPECT_TRUE(Sent(":MMEM:DATA 'D:\\up.wv'"));
  // Path B had nothing to do and was not touched.
  EXPECT_FALSE(Sent("SOUR2:"));
  EXPECT_EQ(VisaDev_IsOpen(0), 0);
  EXPECT_EQ(Dimmed(TAB_INSTR_CMD_UPLOAD), 0);
}

TEST_F(TransferTabTest, UploadBeforeAnyBuildSaysNoSourceFile) {
  StartSim("Kaldra", "KLD-M64,KLD-M16");
  char info[kIdentifyInfoSize] = "";
  ASSERT_EQ(IdentifyInstrument(g_Settings.Select.c_str(), info, sizeof info), 1);
  g_Settings.BBModeA = 1;
  g_Settings.BBLinkFA = 1;
  g_Settings.RemoteFileA = "D:\\kept.wv";
  RefreshTransferTab();
  char shown[64] = "";
  GetCtrlVal(TAB_INSTR, TAB_INSTR_STR_LOCFILE, shown, sizeof shown);
  ASSERT_STREQ(shown, "-");  // no waveform built yet
  ASSERT_EQ(UiTest_ClickCtrl(TAB_INSTR, TAB_INSTR_CMD_UPLOAD), 1);
  EXPECT_EQ(Log().status.back(), "Error: No Source File Specified.");
  EXPECT_FALSE(Log().HasStatus("Error: Cannot Read Waveform Information."));
  // The "-" named no instrument file either, and nothing was sent.
  EXPECT_EQ(g_Settings.RemoteFileA.str(), "D:\\kept.wv");
  EXPECT_FALSE(Sent(":MMEM:DATA"));
  GetCtrlVal(TAB_INSTR, TAB_INSTR_STR_LOCFILE, shown, sizeof shown);
  EXPECT_STREQ(shown, "-");
  EXPECT_EQ(Dimmed(TAB_INSTR_CMD_UPLOAD), 0);
}

// An instrument whose option list names no waveform memory (the simulator
// without options): Upload has nothing to do and says so, sending nothing.
TEST_F(TransferTabTest, UploadWithoutABasebandPathSaysSo) {
  StartSim("Kaldra");
  char info[kIdentifyInfoSize] = "";
  ASSERT_EQ(IdentifyInstrument(g_Settings.Select.c_str(), info, sizeof info), 1);
  g_Settings.BBModeA = 1;
  RefreshTransferTab();
  ASSERT_EQ(g_Settings.BBModeA, 0) << "no memory, no mode";
  const std::size_t before = Received().size();
  ASSERT_EQ(UiTest_ClickCtrl(TAB_INSTR, TAB_INSTR_CMD_UPLOAD), 1);
  EXPECT_EQ(Log().status.back(), "Info: Nothing to Upload. No Baseband Path Enabled.");
  EXPECT_TRUE(Log().Has("Nothing to upload: the selected instrument reports no baseband path with waveform memory."));
  EXPECT_EQ(Received().size(), before);
  EXPECT_EQ(Dimmed(TAB_INSTR_CMD_UPLOAD), 0);
}

TEST_F(TransferTabTest, LostInstrumentEndsUploadAndResetWithStatus) {
  g_Settings.Select = "TCPIP0::127.0.0.1::1::SOCKET";
  g_Settings.BBModeA = 1;
  ASSERT_EQ(UiTest_ClickCtrl(TAB_INSTR, TAB_INSTR_CMD_UPLOAD), 1);
  EXPECT_TRUE(Log().HasStatus("Error: Failed to Open VISA Device."));
  EXPECT_EQ(Dimmed(TAB_INSTR_CMD_UPLOAD), 0);
  Log().Clear();
  ASSERT_EQ(UiTest_ClickCtrl(TAB_INSTR, TAB_INSTR_CMD_RESET), 1);
  EXPECT_TRUE(Log().HasStatus("Error: Failed to Open VISA Device."));
}

TEST_F(TransferTabTest, ResetSendsRstAndRestoresTheTimeout) {
  StartSim("Kaldra");
  ASSERT_EQ(UiTest_ClickCtrl(TAB_INSTR, TAB_INSTR_CMD_RESET), 1);
  EXPECT_TRUE(Sent("*RST"));
  ASSERT_FALSE(Log().status.empty());
  EXPECT_EQ(Log().status.back(), "");
  EXPECT_EQ(VisaDev_IsOpen(0), 0);
}

}  // namespace

namespace {

// "No" to the question about the instrument's file ends the upload as
// cancelled before any command that changes the instrument: no RF
// settings, no preset, no data; the file keeps its bytes. "Yes" replaces
// it with one question only.
TEST_F(TransferTabTest, NoKeepsTheInstrumentsFileAndChangesNothing) {
  StartSim("Kaldra", "KLD-M64,KLD-M16");
  char info[kIdentifyInfoSize] = "";
  ASSERT_EQ(IdentifyInstrument(g_Settings.Select.c_str(), info, sizeof info), 1);
  cz::test::SetPathAUpload(2, 2.0, true);
  const std::string local = WaveFile(dir_, "keep.wv", 1e6);
  UpdateLinkedRemoteFiles(local.c_str(), "");
  ASSERT_EQ(UiTest_ClickCtrl(TAB_INSTR, TAB_INSTR_CMD_UPLOAD), 1);
  ASSERT_TRUE(Log().HasStatus("Transfer Complete."));
  ASSERT_EQ(VisaDev_Open(1, g_Settings.Select.c_str()), 1);
  auto remoteBytes = [&] {
    const std::string back = dir_.File("back.wv");
    return VisaDev_DownloadFile(1, back.c_str(), "D:\\keep.wv") == 1 ? cz::test::ReadFileBytes(back)
                                                                     : std::string("<missing>");
  };
  const std::string first = remoteBytes();
  ASSERT_EQ(first, cz::test::ReadFileBytes(local));

  ASSERT_TRUE(cz::test::WriteFileBytes(local, first + "more"));
  std::size_t from = Received().size();
  Log().Clear();
  UiTest_ClearPopups();
  UiTest_QueueConfirm(false);
  ASSERT_EQ(UiTest_ClickCtrl(TAB_INSTR, TAB_INSTR_CMD_UPLOAD), 1);
  ASSERT_EQ(UiTest_Popups().size(), 1u);
  EXPECT_EQ(UiTest_Popups()[0].text, "File exists on instrument. Delete ?");
  EXPECT_EQ(Log().status.back(), "Upload cancelled: the file on the instrument was kept.");
  EXPECT_FALSE(Log().HasStatus("Error: Transfer Failed."));
  EXPECT_TRUE(Log().Has("Upload cancelled: the file on the instrument was kept."));
  EXPECT_FALSE(Log().Has("Transfer failed."));
  const std::vector<std::string> after = Received();
  for (std::size_t i = from; i < after.size(); ++i) {
    for (const char* changing : {"MMEM:DATA", "MMEM:DEL", "FREQ", "OUTP", "PRES", "ARB", "ROUTE", "MDIR"})
      EXPECT_EQ(after[i].find(changing), std::string::npos) << after[i];
  }
  EXPECT_EQ(remoteBytes(), first);
  EXPECT_EQ(Dimmed(TAB_INSTR_CMD_UPLOAD), 0);

  from = Received().size();
  Log().Clear();
  UiTest_ClearPopups();
  UiTest_QueueConfirm(true);
  ASSERT_EQ(UiTest_ClickCtrl(TAB_INSTR, TAB_INSTR_CMD_UPLOAD), 1);
  EXPECT_EQ(UiTest_Popups().size(), 1u) << "asked once";
  EXPECT_TRUE(Log().HasStatus("Transfer Complete."));
  EXPECT_EQ(remoteBytes(), first + "more");
  VisaDev_Close(1);
}

}  // namespace

namespace {

// Path A "load/run" with frequency, level and RF ON: the RF settings go out
// first, so an upload that fails after them (an error after the file block,
// after the selection, after the start) switches the output off again and
// the status names the step.
TEST_F(TransferTabTest, AFailedUploadLeavesTheRfOutputOff) {
  struct Case {
    const char* fault;
    const char* status;
  };
  const Case cases[] = {
      {"error=-250,\"Mass storage error\"@:MMEM:DATA", "Error: Transfer Failed at File Upload. RF Output Is Off."},
      {"error=-256,\"File name not found\"@BB:ARB:WAV:SEL",
       "Error: Transfer Failed at Waveform Selection. RF Output Is Off."},
      {"error=-221,\"Settings conflict\"@BB:ARB:STAT ON", "Error: Transfer Failed at ARB Start. RF Output Is Off."},
  };
  const std::string local = WaveFile(dir_, "radar.wv", 1e6);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    StartSim("Kaldra", "KLD-M64,KLD-M16", {c.fault});
    SetPathALoadRunWithRf(local);
    Log().Clear();
    ASSERT_EQ(UiTest_ClickCtrl(TAB_INSTR, TAB_INSTR_CMD_UPLOAD), 1);
    EXPECT_EQ(Log().status.back(), c.status);
    EXPECT_FALSE(Log().HasStatus("Transfer Complete."));
    EXPECT_TRUE(Log().Has("RF output switched off after the failure."));
    EXPECT_TRUE(Sent("OUTP1:STAT ON"));
    EXPECT_EQ(RfStateA(), "0");
    EXPECT_EQ(VisaDev_IsOpen(0), 0);
    EXPECT_EQ(Dimmed(TAB_INSTR_CMD_UPLOAD), 0);
  }
  // Without a failure the output stays on.
  StartSim("Kaldra", "KLD-M64,KLD-M16");
  SetPathALoadRunWithRf(local);
  ASSERT_EQ(UiTest_ClickCtrl(TAB_INSTR, TAB_INSTR_CMD_UPLOAD), 1);
  EXPECT_EQ(Log().status.back(), "Transfer Complete.");
  EXPECT_EQ(RfStateA(), "1");
}

// A termination request while path A's file is sent (both paths "load/run",
// path B with its frequency and RF ON): path A's upload ends as it runs,
// path B is left as it was (no RF setting, no file, its output off) and the
// status says the transfer was broken off.
void ExitWhileSending(const char* text) {
  cz::test::CapturedLog::OnStatus(text);
  if (std::string(text) == "Transferring Waveform File...") Exit_Request(kExitQuiet);
}

TEST_F(TransferTabTest, AnExitDuringPathAsUploadLeavesPathBAlone) {
  StartSim("Kaldra", "KLD-M64,KLD-M16,KLD-RFA30,KLD-RFB30");
  const std::string local = WaveFile(dir_, "pair.wv", 1e6);
  SetPathALoadRunWithRf(local);
  ASSERT_EQ(InstrumentCapabilities.RfPathB, 1);
  g_Settings.BBModeB = 2;
  g_Settings.BBLinkFB = 1;
  g_Settings.RFSetFB = 1;
  g_Settings.RFStateB = 1;
  g_Settings.RFFreqB = 2.0;
  RefreshTransferTab();
  UpdateLinkedRemoteFiles(local.c_str(), "");
  Log_SetStatusSink(ExitWhileSending);
  struct Reset {
    ~Reset() {
      Log_SetStatusSink(&cz::test::CapturedLog::OnStatus);
      Exit_Reset();
    }
  } reset;
  ASSERT_EQ(UiTest_ClickCtrl(TAB_INSTR, TAB_INSTR_CMD_UPLOAD), 1);
  EXPECT_TRUE(Sent("SOUR1:BB:ARB:STAT ON"));
  EXPECT_FALSE(Sent("SOUR2:"));
  EXPECT_FALSE(Sent("OUTP2:"));
  EXPECT_EQ(Log().status.back(), "User break");
  EXPECT_TRUE(Log().Has("*** Path B was not transferred: the program is ending."));
  ASSERT_EQ(VisaDev_Open(1, sim_.SocketResource().c_str()), 1);
  char state[32] = "";
  ASSERT_EQ(VisaDev_Query(1, "OUTP2:STAT?", state, sizeof state), 1);
  EXPECT_STREQ(state, "0");
  VisaDev_Close(1);
  EXPECT_EQ(VisaDev_IsOpen(0), 0);
  EXPECT_EQ(Dimmed(TAB_INSTR_CMD_UPLOAD), 0);
}

// The I/Q modulator adjustment after a "load/run" upload with RF ON passes
// only when its reply reads whole as the integer 0.
TEST_F(TransferTabTest, AnAdjustmentReplyOtherThanZeroFailsTheUpload) {
  const std::string local = WaveFile(dir_, "iq.wv", 1e6);
  struct Case {
    const char* reply;
    bool passes;
  };
  for (const Case& c : {Case{"garbage", false}, Case{"ERR", false}, Case{"1garbage", false}, Case{"0x", false},
                        Case{"1", false}, Case{"+0", true}, Case{"0", true}}) {
    SCOPED_TRACE(c.reply);
    StartSim("Kaldra", "KLD-M64,KLD-M16", {std::string("reply=") + c.reply + "@IQM:LOC?"});
    SetPathALoadRunWithRf(local);
    Log().Clear();
    ASSERT_EQ(UiTest_ClickCtrl(TAB_INSTR, TAB_INSTR_CMD_UPLOAD), 1);
    EXPECT_TRUE(Sent("CAL1:IQM:LOC?"));
    if (c.passes) {
      EXPECT_EQ(Log().status.back(), "Transfer Complete.");
      EXPECT_EQ(RfStateA(), "1");
    } else {
      EXPECT_EQ(Log().status.back(), "Error: IQ-Modulator Adjustment Failed. RF Output Is Off.");
      EXPECT_TRUE(Log().Has(std::string("*** I/Q modulator adjustment result '") + c.reply + "' is not 0."));
      EXPECT_EQ(RfStateA(), "0");
    }
  }
}

}  // namespace
