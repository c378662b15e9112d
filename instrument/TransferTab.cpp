// The Transfer tab: redraw, callbacks, linked file names and the transfer
// of one waveform file to one baseband path.
#include "instrument/TransferTab.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/ExitRequest.h"
#include "app/Log.h"
#include "app/PanelIds.h"
#include "app/Progress.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "app/TypedText.h"
#include "instrument/FileBrowser.h"
#include "instrument/Identify.h"
#include "instrument/InstrumentTransfer.h"
#include "instrument/VisaDev.h"
#include "platform/BoundedText.h"
#include "platform/CLocale.h"
#include "platform/ui/UserInterface.h"
#include "ui/main/TransferPage.h"
#include "wavelib/WaveLib.h"

namespace {

constexpr int kLineColor = 0x808080;
constexpr int kBarHeight = 5;      // pixels
constexpr int kArrowLength = 20;   // pixels of the arrow head
constexpr std::uint32_t kResetTimeoutMs = 15000;
constexpr int kPollStep = 2;       // progress steps per status poll
constexpr double kPollWaitSeconds = 2.0;
constexpr const char* kNoLocalFile = "-";  // STR_LOCFILE before any waveform was built
constexpr const char* kTooLargeText = "Error: Waveform Too Large for One Transfer.";

// Captions and colours of the baseband-mode buttons by mode.
struct ModeLook {
  const char* caption;
  int color;
};
constexpr ModeLook kModeLooks[] = {{"ignore", 0xFFB0B0}, {"load", 0xFFFFB0}, {"load/run", 0xB0FFB0}};

// Models with an RF section behind their baseband: the transfer sets CW
// mode, frequency, level and output state on them.
bool HasRfSection(InstrumentType type) {
  return type == INSTR_TOVIK || type == INSTR_KALDRA || type == INSTR_HALVEX || type == INSTR_NERRIN ||
         type == INSTR_OSTREL;
}

// Every control addressed here lives on the Transfer page TAB_INSTR.
void SetDimmed(int control, bool dimmed) { SetCtrlAttribute(TAB_INSTR, control, ATTR_DIMMED, dimmed ? 1 : 0); }

// The routing diagram is drawn in canvas pixels: x to the right, y down;
// CANVA_BB is 248 wide, the row of path A at y 40, the row of path B at
// y 205, the inputs of modulators A and B at y 40/70 and 175/205.
// ---- routing diagram ----------------------------------------------------

void DrawBar(int canvas, Rect r) { CanvasDrawRect(TAB_INSTR, canvas, r, VAL_DRAW_FRAME_AND_INTERIOR); }

void HorizontalBar(int canvas, int x0, int x1, int y) {
  DrawBar(canvas, MakeRect(y - kBarHeight / 2, x0, kBarHeight, x1 - x0));
}

void VerticalBar(int canvas, int x, int y0, int y1) {
  const int top = y0 < y1 ? y0 : y1;
  const int height = y0 < y1 ? y1 - y0 : y0 - y1;
  DrawBar(canvas, MakeRect(top, x - kBarHeight / 2, height, kBarHeight));
}

// A bar ending 20 pixels before `end`, then a filled head pointing at it.
void Arrow(int canvas, int x0, int end, int y) {
  HorizontalBar(canvas, x0, end - kArrowLength, y);
  const Point head[] = {MakePoint(end - kArrowLength, y - 10), MakePoint(end, y), MakePoint(end - kArrowLength, y + 10)};
  CanvasDrawPoly(TAB_INSTR, canvas, 3, head, 1, VAL_DRAW_FRAME_AND_INTERIOR);
}

// Clears a canvas and sets the grey pen, one pixel wide, filled.
void PreparePen(int canvas) {
  CanvasClear(TAB_INSTR, canvas, MakeRect(0, 0, -1, -1));
  SetCtrlAttribute(TAB_INSTR, canvas, ATTR_PEN_COLOR, kLineColor);
  SetCtrlAttribute(TAB_INSTR, canvas, ATTR_PEN_FILL_COLOR, kLineColor);
  SetCtrlAttribute(TAB_INSTR, canvas, ATTR_PEN_WIDTH, 1);
}

// Routing value per path: 0 feeds modulator A, 1 modulator B, 2 both.
// The four connector canvases always show one arrow left to right.
void DrawRouting() {
  const int connectors[] = {TAB_INSTR_CANVA_A_1, TAB_INSTR_CANVA_A_2, TAB_INSTR_CANVA_B_1, TAB_INSTR_CANVA_B_2};
  for (int canvas : connectors) {
    PreparePen(canvas);
    Arrow(canvas, 0, 50, 42);
  }
  const int bb = TAB_INSTR_CANVA_BB;
  PreparePen(bb);
  const int a = g_Settings.BBRoutingA, b = g_Settings.BBRoutingB;
  if (a == 0 || a == 2) Arrow(bb, 0, 248, 40);
  if (a == 1 || a == 2) {
    HorizontalBar(bb, 0, 120, 40);
    VerticalBar(bb, 120, 40, 175);
    Arrow(bb, 120, 248, 175);
  }
  if (b == 1 || b == 2) Arrow(bb, 0, 248, 205);
  if (b == 0 || b == 2) {
    HorizontalBar(bb, 0, 100, 205);
    VerticalBar(bb, 100, 205, 70);
    Arrow(bb, 100, 248, 70);
  }
}

// ---- one path's controls --------------------------------------------------

// The settings fields and the controls of one baseband path, so that both
// paths share one redraw and one read-back.
struct PathControls {
  int* mode;
  int* link;
  int* setFreq;
  int* setLevel;
  int* rfState;
  double* freq;
  double* level;
  cz::Text<256>* remoteFile;
  const std::int32_t* arbSamples;
  const std::int32_t* rfPath;
  const int* modeButton;
  const int* instrFile;
  const int* browse;
  const int* linkButton;
  const int* noLinkButton;
  const int* setFreqBox;
  const int* setLevelBox;
  const int* freqNum;
  const int* levelNum;
  const int* stateSwitch;
};

PathControls PathA() {
  AppSettings& s = g_Settings;
  return {&s.BBModeA,          &s.BBLinkFA,           &s.RFSetFA,           &s.RFSetLA,
          &s.RFStateA,         &s.RFFreqA,            &s.RFLevA,            &s.RemoteFileA,
          &InstrumentCapabilities.ArbSamplesA, &InstrumentCapabilities.RfPathA,
          &TAB_INSTR_CMD_BBMODE_A, &TAB_INSTR_STR_INSTRFILE_A, &TAB_INSTR_CMD_FSEL_INSTR_A,
          &TAB_INSTR_CB_LINK_A, &TAB_INSTR_CB_NLINK_A, &TAB_INSTR_CB_SETFREQ_A, &TAB_INSTR_CB_SETLEV_A,
          &TAB_INSTR_NUM_F_A,  &TAB_INSTR_NUM_LEV_A, &TAB_INSTR_RFSTATE_A};
}

PathControls PathB() {
  AppSettings& s = g_Settings;
  return {&s.BBModeB,          &s.BBLinkFB,           &s.RFSetFB,           &s.RFSetLB,
          &s.RFStateB,         &s.RFFreqB,            &s.RFLevB,            &s.RemoteFileB,
          &InstrumentCapabilities.ArbSamplesB, &InstrumentCapabilities.RfPathB,
          &TAB_INSTR_CMD_BBMODE_B, &TAB_INSTR_STR_INSTRFILE_B, &TAB_INSTR_CMD_FSEL_INSTR_B,
          &TAB_INSTR_CB_LINK_B, &TAB_INSTR_CB_NLINK_B, &TAB_INSTR_CB_SETFREQ_B, &TAB_INSTR_CB_SETLEV_B,
          &TAB_INSTR_NUM_F_B,  &TAB_INSTR_NUM_LEV_B, &TAB_INSTR_RFSTATE_B};
}

// A path is idle without waveform memory or with mode 0 (ignore): its file
// name and link controls are dimmed. Without an RF section the frequency and
// level flags are cleared, so that an upload never sets RF on such a path.
// Steps 3 to 5 and 7 of the redraw for one path.
void RefreshPath(const PathControls& p) {
  const bool memory = *p.arbSamples != 0;
  if (!memory) *p.mode = 0;
  const int mode = (*p.mode >= 0 && *p.mode <= 2) ? *p.mode : 0;
  *p.mode = mode;
  SetCtrlAttribute(TAB_INSTR, *p.modeButton, ATTR_LABEL_TEXT, kModeLooks[mode].caption);
  SetCtrlAttribute(TAB_INSTR, *p.modeButton, ATTR_BACKCOLOR, kModeLooks[mode].color);
  SetCtrlVal(TAB_INSTR, *p.instrFile, p.remoteFile->c_str());

  const bool idle = !memory || mode == 0;
  SetCtrlVal(TAB_INSTR, *p.linkButton, *p.link ? 1 : 0);
  SetCtrlVal(TAB_INSTR, *p.noLinkButton, *p.link ? 0 : 1);
  SetDimmed(*p.instrFile, *p.link == 1 || idle);
  SetDimmed(*p.browse, *p.link == 1 || idle);
  SetDimmed(*p.linkButton, idle);
  SetDimmed(*p.noLinkButton, idle);

  const bool rf = *p.rfPath != 0;
  if (!rf) {
    *p.setFreq = 0;
    *p.setLevel = 0;
  }
  SetCtrlVal(TAB_INSTR, *p.setFreqBox, *p.setFreq);
  SetCtrlVal(TAB_INSTR, *p.setLevelBox, *p.setLevel);
  SetCtrlVal(TAB_INSTR, *p.stateSwitch, *p.rfState);
  SetCtrlVal(TAB_INSTR, *p.freqNum, *p.freq);
  SetCtrlVal(TAB_INSTR, *p.levelNum, *p.level);
  SetDimmed(*p.freqNum, !(rf && *p.setFreq));
  SetDimmed(*p.levelNum, !(rf && *p.setLevel));
  SetDimmed(*p.stateSwitch, !(rf && (*p.setFreq || *p.setLevel)));
  SetDimmed(*p.setFreqBox, !rf);
  SetDimmed(*p.setLevelBox, !rf);
  SetDimmed(*p.modeButton, !memory);
}

// The controls of one path back into the settings; the pressed mode button
// steps its mode 0 -> 1 -> 2 -> 0, the radio pair sets the link flag.
void ReadPath(const PathControls& p, int control) {
  if (control == *p.modeButton) *p.mode = (*p.mode + 1) % 3;
  // A file name on the instrument is never cut: a longer one keeps the
  // stored name, which the redraw shows again.
  TakeTypedText(p.remoteFile, TypedCtrlText(TAB_INSTR, *p.instrFile), "Instrument file name");
  if (control == *p.linkButton) *p.link = 1;
  if (control == *p.noLinkButton) *p.link = 0;
  GetCtrlVal(TAB_INSTR, *p.setFreqBox, p.setFreq);
  GetCtrlVal(TAB_INSTR, *p.setLevelBox, p.setLevel);
  GetCtrlVal(TAB_INSTR, *p.stateSwitch, p.rfState);
  GetCtrlVal(TAB_INSTR, *p.freqNum, p.freq);
  GetCtrlVal(TAB_INSTR, *p.levelNum, p.level);
}

// The linked name of one path; false when it does not fit its field.
bool LinkedName(const char* directory, bool unixPaths, const std::string& name, cz::Text<256>* out) {
  const std::string full = cz::FormatC(unixPaths ? "%s/%s" : "%s\\%s", directory, name.c_str());
  if (out->AssignExact(full)) return true;
  Log_Message(2, "*** Instrument file name too long: ", full.c_str());
  return false;
}

// ---- transfer steps -------------------------------------------------------

// VISA progress (percent 0..100) drives the main window's task bar.
void TaskProgress(int percent) { SetTaskProgress(percent); }

// The RF output the running transfer switched on ("OUTPn:STAT ON"): any
// failure after it switches the output off again, so that a path never
// radiates at the new frequency and level whatever waveform was loaded
// before.
struct RfSwitchedOn {
  bool on = false;
  std::string offCommand;  // "OUTPn:STAT OFF; *OPC?"
};
RfSwitchedOn g_rfOn;

// The output off again after a failure, when this transfer switched it on.
RfAfterFailure RfOffAgain() {
  if (!g_rfOn.on) return RfAfterFailure::kUntouched;
  g_rfOn.on = false;
  return VisaDev_RfOffAfterFailure(0, g_rfOn.offCommand);
}

// A failure in the transfer steps: message on the status line and, with
// the reason kept by the VISA layer beside it, in the log; an RF output the
// transfer switched on is switched off again and the status names the step
// (when given) and says so; progress callback removed, bars hidden.
int TransferFails(const char* message, const std::string& step = std::string()) {
  VisaDev_LogFailure(0, message);
  const RfAfterFailure rf = RfOffAgain();
  Log_Status(1, TransferFailureStatus(message, step, rf).c_str());
  VisaDev_ClearProgressCallback();
  ShowProgressBars(0);
  // A replacement agreed to for this transfer is not carried into another.
  VisaDev_ForgetConfirmations(0);
  return 0;
}

// The user kept the instrument's file: the status says so, and the
// instrument is as it was (the question came before any command).
int TransferCancelled() {
  const RfAfterFailure rf = RfOffAgain();
  Log_Status(1, TransferFailureStatus(kUploadCancelledText, std::string(), rf).c_str());
  VisaDev_ClearProgressCallback();
  ShowProgressBars(0);
  return 0;
}

// An upload call that returned 0: the user's No or a failure.
// A failure names the step of the upload, selection or start that failed.
int UploadEnded() {
  return VisaDev_UploadCancelled(0) ? TransferCancelled()
                                    : TransferFails("Error: Transfer Failed.", VisaDev_LastFailure(0).step);
}

// The I/Q modulator adjustment passed only when its reply reads whole as the
// integer 0 ("0", "+0"); "ERR", "garbage", "0x" or an empty reply failed.
bool AdjustmentPassed(const char* reply) {
  char* end = nullptr;
  const long value = cz::StrtolC(reply, &end, 10);
  if (end == reply) return false;
  while (*end == ' ' || *end == '\t') ++end;
  return *end == '\0' && value == 0;
}

// "; *OPC?" command with the path suffix in its "%s" places.
// The path suffix ("", "1" or "2") goes into the first "%s"; the
// VISA layer fails the write unless "*OPC?" is answered "1".
bool SendOpc(const char* format, const char* suffix, const char* argument = nullptr) {
  const std::string command = argument ? cz::FormatC(format, suffix, argument) : cz::FormatC(format, suffix);
  return VisaDev_Write(0, command.c_str()) == 1;
}

bool SendOpcValue(const char* format, const char* suffix, double value) {
  return VisaDev_Write(0, cz::FormatC(format, suffix, value).c_str()) == 1;
}

// Step 12: waits while bit 1 of "STAT:OPER:COND?" is set, at most 50 polls.
void WaitForInstrument() {
  Log_Status(1, "Waiting for instrument...");
  for (int i = 0; i < 100; i += kPollStep) {
    SetTaskProgress(i % 100);
    int panel = 0, control = 0;
    while (GetUserEvent(VAL_NO_WAIT, &panel, &control) != 0) {
    }
    // The file is on the instrument; an exit waiting to run does not wait
    // for the instrument to settle.
    if (Exit_Pending() != kExitNone) break;
    char reply[256] = "";
    if (VisaDev_Query(0, "STAT:OPER:COND?", reply, sizeof reply) != 1) {
      Log_Status(1, "Error: Cannot Read Instrument Status.");
      break;
    }
    if ((std::atoi(reply) & 2) == 0) break;
    Delay(kPollWaitSeconds);
  }
  Log_Status(1, "Transfer Complete.");
}

// A waveform file one upload cannot carry (the block's length has at most
// nine digits) is refused before anything reaches the instrument.
bool RefusedAsTooLarge(const char* localFile) {
  const std::int64_t size = GetFileSizeBytes(localFile);
  if (size <= VisaDev_MaxTransferBytes()) return false;
  Log_Message(1, cz::FormatC("*** Waveform file of %lld bytes is too large for one transfer of at most %lld bytes.",
                             static_cast<long long>(size), static_cast<long long>(VisaDev_MaxTransferBytes()))
                     .c_str());
  Log_Status(1, kTooLargeText);
  return true;
}

// Step 5: the file checks when a file is sent.
// The waveform's clock comes from its CLOCK tag (Hz); a clock equal to the
// generator's limit is accepted.
int CheckFiles(char* remoteFile, char* localFile) {
  if (FileNameWithExtension(localFile).empty()) {
    Log_Status(1, "Error: No Source File Specified.");
    return 0;
  }
  if (!TransferTab_WithWvExtension(localFile, kTransferLocalPathSize)) {
    Log_Status(1, "Error: Source File Name Too Long.");
    return 0;
  }
  WaveFileInfo info;
  if (!WaveLib_GetFileInfo(localFile, &info)) {
    Log_Status(1, "Error: Cannot Read Waveform Information.");
    return 0;
  }
  // A file cut short (a power cut while it was written) is never sent.
  const std::string cutShort = WaveLib_CutShortReason(info);
  if (!cutShort.empty()) {
    Log_Message(2, "*** ", WaveLib_CutShortText(localFile, cutShort).c_str());
    Log_Status(1, cz::FormatC("Error: Waveform File '%s' Cut Short.", info.fileName).c_str());
    return 0;
  }
  if (RefusedAsTooLarge(localFile)) return 0;
  // A CLOCK tag that is no number ("nan") is refused with the too-high ones.
  if (!(info.clock <= InstrumentCapabilities.MaxClock)) {
    Log_Message(1, cz::FormatC("*** Waveform Clock Rate %3.2f Hz", info.clock).c_str());
    Log_Message(1, cz::FormatC("*** ARB Clock Limit     %ld Hz", static_cast<long>(InstrumentCapabilities.MaxClock))
                       .c_str());
    Log_Status(1, "Error: Waveform Clock Rate Exceeds ARB Limit.");
    return 0;
  }
  if (FileNameWithExtension(remoteFile).empty()) {
    Log_Status(1, "Error: No Destination File Specified.");
    return 0;
  }
  if (!TransferTab_WithWvExtension(remoteFile, kFileBrowserPathSize)) {
    Log_Status(1, "Error: Destination File Name Too Long.");
    return 0;
  }
  return 1;
}

void LogTransfer(const char* remoteFile, const char* localFile, int path, int bbMode, bool rfActive, int rfState,
                 int setFreq, int setLevel, bool iqAdjust) {
  static const char* const kPaths[] = {"default", "A", "B"};
  static const char* const kModes[] = {"none", "load", "load and run"};
  Log_Message(3, "Source   : '", localFile, "'");
  Log_Message(3, "Target   : '", remoteFile, "'");
  Log_Message(2, "Path     :  ", kPaths[path >= 0 && path <= 2 ? path : 0]);
  Log_Message(2, "Baseband :  ", kModes[bbMode >= 0 && bbMode <= 2 ? bbMode : 0]);
  Log_Message(2, "Frequency:  ", setFreq ? "set" : "not set");
  Log_Message(2, "Level    :  ", setLevel ? "set" : "not set");
  Log_Message(2, "State    :  ", !rfActive ? "not set" : (rfState ? "on" : "off"));
  Log_Message(2, "IQ Adjust:  ", iqAdjust ? "yes" : "no");
}

// Opens the selected instrument as id 0; status line on failure.
// Instrument operations open the selected instrument as id 0 and close it
// before their callback returns.
// Another model than the one identified is refused with its own message.
bool OpenSelected() {
  const int opened = OpenIdentifiedInstrument(0);
  if (opened == 1) return true;
  if (opened == 0) Log_Status(1, OpenFailureStatus(0));
  return false;
}

// Browse button of a path: the instrument's "*.wv" files; OK with a chosen
// file sets the path's instrument file, Cancel keeps it.
void SelectInstrumentFile(int control, cz::Text<256>* remoteFile) {
  if (!OpenSelected()) return;
  char path[kFileBrowserPathSize] = "";
  char chosen[kFileBrowserPathSize] = "";
  GetCtrlVal(TAB_INSTR, control, path, sizeof path);
  if (FileBrowser_Run(0, path, chosen, "*.wv") == 0 && chosen[0] != '\0') {
    SetCtrlVal(TAB_INSTR, control, chosen);
    remoteFile->Assign(chosen);
  }
  VisaDev_Close(0);
}

}  // namespace

bool TransferTab_WithWvExtension(char* path, std::size_t size) {
  const std::string name = FileNameWithExtension(path);
  const std::size_t length = std::strlen(path);
  bool endsWv = length >= 3;
  if (endsWv) {
    const char* tail = path + length - 3;
    endsWv = tail[0] == '.' && std::toupper(static_cast<unsigned char>(tail[1])) == 'W' &&
             std::toupper(static_cast<unsigned char>(tail[2])) == 'V';
  }
  if (name.size() >= 3 && endsWv) return true;
  if (length + 3 >= size) return false;
  std::memcpy(path + length, ".wv", 4);
  return true;
}

void TransferTab_LinkedDirectory(const char* projectDir, const char* defaultDirectory, bool unixPaths, char* out,
                                 std::size_t size) {
  const std::string dir = projectDir ? projectDir : "";
  const bool absolute = unixPaths ? (!dir.empty() && dir[0] == '/') : (dir.size() >= 3 && dir.compare(1, 2, ":\\") == 0);
  std::string full = absolute ? dir : std::string(defaultDirectory ? defaultDirectory : "") + dir;
  const char separator = unixPaths ? '/' : '\\';
  if (!full.empty() && full.back() == separator) full.pop_back();
  cz::CopyText(out, size, full);
}

void SetTransferBusy(int busy) {
  DimLibraryControls(busy ? 1 : 0);
  if (TAB_INSTR <= 0) return;
  SetDimmed(TAB_INSTR_CMD_UPLOAD, busy != 0);
  SetDimmed(TAB_INSTR_CMD_RESET, busy != 0);
}

int RefreshTransferTab() {
  if (TAB_INSTR <= 0) return 1;
  SetCtrlVal(TAB_INSTR, TAB_INSTR_STR_DEVICE, g_Settings.Select.c_str());
  // An instrument identified since the linked file names were made may use
  // another path style and drive: the names are made again for it, as the
  // upload will make them.
  static int linkedFor = 0;
  if (linkedFor != InstrumentIdentification()) {
    linkedFor = InstrumentIdentification();
    char local[kFileBrowserPathSize] = "";
    GetCtrlVal(TAB_INSTR, TAB_INSTR_STR_LOCFILE, local, sizeof local);
    // The "-" shown before any build is no file name.
    if (local[0] != '\0' && std::strcmp(local, kNoLocalFile) != 0)
      UpdateLinkedRemoteFiles(local, IdentifiedDefaultDirectory());
  }
  // Without memory on one path the routing is fixed, so the diagram is
  // drawn after the routing rule below is applied.
  const bool bothPaths = InstrumentCapabilities.ArbSamplesA != 0 && InstrumentCapabilities.ArbSamplesB != 0;
  if (!bothPaths) {
    g_Settings.BBRoutingA = 0;
    g_Settings.BBRoutingB = 1;
  }
  DrawRouting();
  RefreshPath(PathA());
  RefreshPath(PathB());
  SetDimmed(TAB_INSTR_RING_BBR_A, !bothPaths);
  SetDimmed(TAB_INSTR_RING_BBR_B, !bothPaths);
  SetCtrlVal(TAB_INSTR, TAB_INSTR_RING_BBR_A, g_Settings.BBRoutingA);
  SetCtrlVal(TAB_INSTR, TAB_INSTR_RING_BBR_B, g_Settings.BBRoutingB);
  return 1;
}

int TransferControlsCb(int, int control, int event, void*, int, int) {
  if (event != EVENT_COMMIT) return 0;
  GetCtrlVal(TAB_INSTR, TAB_INSTR_RING_BBR_A, &g_Settings.BBRoutingA);
  GetCtrlVal(TAB_INSTR, TAB_INSTR_RING_BBR_B, &g_Settings.BBRoutingB);
  ReadPath(PathA(), control);
  ReadPath(PathB(), control);
  RefreshTransferTab();
  return 0;
}

int UpdateLinkedRemoteFiles(const char* localFile, const char* defaultDirectory) {
  const char* local = localFile ? localFile : "";
  if (TAB_INSTR > 0) SetCtrlVal(TAB_INSTR, TAB_INSTR_STR_LOCFILE, local[0] ? local : kNoLocalFile);
  char absolute[kTransferLocalPathSize] = "";
  if (!local[0] || !MakeAbsolutePath(local, absolute, sizeof absolute)) return 0;
  const std::string name = FileNameWithExtension(absolute);
  // Without a file name there is nothing to link: the instrument names stay.
  if (name.empty()) return 0;
  const bool unixPaths = InstrumentCapabilities.UnixPaths != 0;
  const char* projectDir = unixPaths ? g_Settings.Project.pathLin.c_str() : g_Settings.Project.pathWin.c_str();
  char directory[kFileBrowserPathSize] = "";
  TransferTab_LinkedDirectory(projectDir, defaultDirectory, unixPaths, directory, sizeof directory);

  const PathControls paths[] = {PathA(), PathB()};
  int unfit = 0;
  for (int k = 0; k < 2; ++k) {
    const PathControls& p = paths[k];
    int linked = *p.link;
    if (TAB_INSTR > 0) GetCtrlVal(TAB_INSTR, *p.linkButton, &linked);
    if (!linked) continue;
    if (!LinkedName(directory, unixPaths, name, p.remoteFile)) {
      unfit |= 1 << k;
    } else if (TAB_INSTR > 0) {
      SetCtrlVal(TAB_INSTR, *p.instrFile, p.remoteFile->c_str());
    }
  }
  return unfit;
}

namespace {

// Whether TransferWaveform uploads a file in baseband mode bbMode to the
// open instrument (the models without an upload route refuse the mode).
bool UploadsWaveform(int bbMode) {
  if (bbMode == 0) return false;
  InstrumentType type = InstrumentCapabilities.Type;
  VisaDev_GetType(0, &type);
  return type == INSTR_LUMBRA || type == INSTR_LUMBRIX || type == INSTR_PERNOT || HasRfSection(type);
}

// Asks about the instrument file one path will replace, under the name its
// transfer will use; true when the path may go on. A name the file checks
// refuse, or a missing source file, is left to the path's own transfer,
// which reports it without a question.
bool ConfirmPathTarget(const cz::Text<256>& name, int bbMode, const char* localFile) {
  if (!UploadsWaveform(bbMode) || FileNameWithExtension(localFile).empty()) return true;
  char remote[kFileBrowserPathSize] = "";
  cz::CopyText(remote, name.view());
  if (FileNameWithExtension(remote).empty() || !TransferTab_WithWvExtension(remote, sizeof remote)) return true;
  return VisaDev_ConfirmUpload(0, remote) == 1;
}

// A frequency (GHz) or level (dBm) the path's field would refuse (one
// brought in by settings.ini, say) is not sent: the log names it and the
// field's range. 1 when the values to set lie in their fields' ranges (or
// the page is not built).
int RfValuesInRange(int path, double freqGHz, double levelDbm, int setFreq, int setLevel) {
  const PathControls c = path == 2 ? PathB() : PathA();
  const auto inRange = [](int control, double value, const char* what, const char* unit) {
    if (TAB_INSTR <= 0 || control <= 0) return true;
    double low = 0.0, high = 0.0;
    GetCtrlAttribute(TAB_INSTR, control, ATTR_MIN_VALUE, &low);
    GetCtrlAttribute(TAB_INSTR, control, ATTR_MAX_VALUE, &high);
    if (value >= low && value <= high) return true;
    Log_Message(1, cz::FormatC("*** The %s %g %s lies outside %g .. %g %s: it is not sent.", what, value, unit, low,
                               high, unit).c_str());
    return false;
  };
  const bool freqOk = !setFreq || inRange(*c.freqNum, freqGHz, "frequency", "GHz");
  const bool levelOk = !setLevel || inRange(*c.levelNum, levelDbm, "level", "dBm");
  return freqOk && levelOk ? 1 : 0;
}

}  // namespace

// Order of the work: flags, log, interface check, file checks, upload per
// model family (Lumbra/Lumbrix: I/Q upload and select; Pernot: ARB upload,
// optional I/Q output; RF models: RF settings first, then the ARB upload),
// wait for the waveform to be assembled when it runs, routing, I/Q
// modulator adjustment, analog bias of the Lumbrix.
int TransferWaveform(char* remoteFile, char* localFile, int routing, int path, int bbMode, double freqGHz,
                     double levelDbm, int rfState, int setFreq, int setLevel) {
  InstrumentType type = InstrumentCapabilities.Type;
  VisaDev_GetType(0, &type);
  const bool rfSection = HasRfSection(type);
  const bool pathRf = (path == 1 && InstrumentCapabilities.RfPathA) || (path == 2 && InstrumentCapabilities.RfPathB);
  const bool rfActive = (setFreq == 1 || setLevel == 1) && pathRf;
  const bool iqAdjust = rfSection && bbMode == 2 && rfState && rfActive;
  const std::uint16_t run = bbMode == 2 ? 1 : 0;
  const std::uint16_t noPreset = g_Settings.Project.noArbPreset ? 1 : 0;
  g_rfOn = RfSwitchedOn{};

  Log_Message(1, "----------------------------------");
  Log_Message(1, "   File transfer to instrument    ");
  Log_Message(1, "----------------------------------");
  std::uint16_t interfaceType = 0;
  if (VisaDev_GetInterfaceType(0, &interfaceType) != 1) {
    Log_Status(1, "Error: Invalid VISA Interface Type.");
    return 0;
  }
  // The source as stored (the default "Waveforms\NewSequence.wv", say) is
  // taken from the home path, as Generate wrote it, whatever the working
  // folder; the log, the checks and the upload all see that one file.
  bool sourceFits = true;
  if (localFile[0] != '\0') {
    char resolved[kTransferLocalPathSize] = "";
    sourceFits = ResolveLocalPath(localFile, resolved, sizeof resolved) == 1;
    if (sourceFits) cz::CopyText(localFile, kTransferLocalPathSize, resolved);
  }
  LogTransfer(remoteFile, localFile, path, bbMode, rfActive, rfState, setFreq, setLevel, iqAdjust);
  if (bbMode != 0 && !sourceFits) {
    Log_Status(1, "Error: Source File Name Too Long.");
    return 0;
  }
  if (bbMode != 0 && !CheckFiles(remoteFile, localFile)) return 0;
  if (rfActive && rfSection && !RfValuesInRange(path, freqGHz, levelDbm, setFreq, setLevel)) {
    Log_Status(1, "Error: Frequency or Level Out of Range.");
    return 0;
  }
  // The question about an existing target comes before the first command
  // that changes the instrument (RF settings, presets, the upload itself).
  const bool uploads = UploadsWaveform(bbMode);
  if (uploads && !VisaDev_ConfirmUpload(0, remoteFile)) {
    return VisaDev_UploadCancelled(0) ? TransferCancelled() : TransferFails("Error: Transfer Failed.");
  }

  const char* suffix = (type == INSTR_NERRIN || path < 1 || path > 2) ? "" : (path == 1 ? "1" : "2");
  VisaDev_CheckError(0);
  {
    // What the check read is logged; a failing step below reports only its own reason.
    char earlier[kVisaLastErrorSize];
    VisaDev_GetLastError(0, earlier);
  }
  ShowProgressBars(1);
  SetTotalProgress(0);
  SetTaskProgress(0);
  VisaDev_SetProgressCallback(TaskProgress);

  if (type == INSTR_LUMBRA || type == INSTR_LUMBRIX) {
    if (bbMode != 0) {
      Log_Status(1, "Transferring Waveform File...");
      if (VisaDev_SendWaveformIq(0, localFile, remoteFile, run, noPreset) != 1) return UploadEnded();
      Log_Status(1, "Transfer Complete.");
    }
  } else if (type == INSTR_PERNOT) {
    if (bbMode != 0) {
      Log_Status(1, "Transferring Waveform File...");
      if (VisaDev_SendWaveformArb(0, localFile, remoteFile, path, run, noPreset) != 1) return UploadEnded();
    }
    if (rfState && !SendOpc("SOUR%s:IQ:OUTP:STATE ON; *OPC?", suffix)) return TransferFails("Error: Cannot Activate ARB.");
    Log_Status(1, "Transfer Complete.");
  } else if (rfSection) {
    if (rfActive) {
      if (!SendOpc("SOUR%s:FREQ:MODE CW; *OPC?", suffix)) return TransferFails("Error: Cannot Set CW Mode.");
      if (setFreq && !SendOpcValue("SOUR%s:FREQ %f GHz; *OPC?", suffix, freqGHz))
        return TransferFails("Error: Cannot Set Frequency or Level.");
      if (setLevel && !SendOpcValue("SOUR%s:POW %f dBm; *OPC?", suffix, levelDbm))
        return TransferFails("Error: Cannot Set Frequency or Level.");
      // The output counts as on from the command on: a failed "ON" is
      // answered with "OFF" as well.
      if (rfState) g_rfOn = RfSwitchedOn{true, cz::FormatC("OUTP%s:STAT OFF; *OPC?", suffix)};
      if (!SendOpc("OUTP%s:STAT %s; *OPC?", suffix, rfState ? "ON" : "OFF"))
        return TransferFails("Error: Cannot Activate RF Signal.");
    }
    if (bbMode != 0) {
      Log_Status(1, "Transferring Waveform File...");
      if (VisaDev_SendWaveformArb(0, localFile, remoteFile, path, run, noPreset) != 1) return UploadEnded();
    }
    Log_Status(1, "Transfer Complete.");
  } else if (bbMode != 0) {
    // No upload route for this model: the file was not sent.
    Log_Message(1, "*** Waveform upload is not supported for this instrument type.");
    return TransferFails("Error: Transfer Failed.");
  }

  VisaDev_ClearProgressCallback();
  SetTotalProgress(25);
  SetTaskProgress(0);
  if (bbMode == 2) WaitForInstrument();
  SetTotalProgress(50);
  SetTaskProgress(0);

  if (bbMode != 0 && (type == INSTR_KALDRA || type == INSTR_HALVEX || type == INSTR_PERNOT)) {
    static const char* const kRoutes[] = {"SOUR%s:BB:ROUTE A; *OPC?", "SOUR%s:BB:ROUTE B; *OPC?",
                                          "SOUR%s:BB:ROUTE AB; *OPC?"};
    if (routing >= 0 && routing <= 2 && !SendOpc(kRoutes[routing], suffix))
      return TransferFails("Error: Cannot Activate ARB.");
  }
  if (iqAdjust) {
    char reply[256] = "";
    const std::string query = cz::FormatC("CAL%s:IQM:LOC?", suffix);
    if (VisaDev_Query(0, query.c_str(), reply, sizeof reply) != 1) {
      return TransferFails("Error: IQ-Modulator Adjustment Failed.");
    }
    if (!AdjustmentPassed(reply)) {
      Log_Message(3, "*** I/Q modulator adjustment result '", reply, "' is not 0.");
      return TransferFails("Error: IQ-Modulator Adjustment Failed.");
    }
  }
  if (type == INSTR_LUMBRIX && bbMode != 0 && VisaDev_Write(0, "SOUR:OUTP:ANALOG:BAL:BIAS:STATE OFF; *OPC?") != 1)
    return TransferFails("Error: Bias Setting Failed.");
  g_rfOn.on = false;
  ShowProgressBars(0);
  return 1;
}

// Path A first; a failed path A leaves path B untouched. Each path works on
// copies of the settings' names, which TransferWaveform may extend.
int TransferToInstrumentCb(int, int, int event, void*, int, int) {
  if (event != EVENT_COMMIT) return 0;
  char localFile[kFileBrowserPathSize] = "";
  GetCtrlVal(TAB_INSTR, TAB_INSTR_STR_LOCFILE, localFile, sizeof localFile);
  // The "-" shown before any waveform was built is no file name.
  if (std::strcmp(localFile, kNoLocalFile) == 0) localFile[0] = '\0';
  SetTransferBusy(1);
  Log_Message(1, " ");
  VisaDev_ResetUploadQuestions(0);
  // A press with no path to load and no RF setting changes nothing: said
  // so, and the instrument is not opened.
  const AppSettings& set = g_Settings;
  if (set.BBModeA == 0 && set.RFSetFA == 0 && set.RFSetLA == 0 && set.BBModeB == 0 && set.RFSetFB == 0 &&
      set.RFSetLB == 0) {
    const bool memory = InstrumentCapabilities.ArbSamplesA != 0 || InstrumentCapabilities.ArbSamplesB != 0;
    Log_Message(1, memory ? "Nothing to upload: both baseband paths are set to ignore."
                          : "Nothing to upload: the selected instrument reports no baseband path with waveform memory.");
    Log_Status(1, "Info: Nothing to Upload. No Baseband Path Enabled.");
    SetTransferBusy(0);
    return 0;
  }
  // Refused before the instrument is opened: no question, no command.
  if (set.BBModeA != 0 || set.BBModeB != 0) {
    char host[kTransferLocalPathSize] = "";
    if (ResolveLocalPath(localFile, host, sizeof host) && TransferTab_WithWvExtension(host, sizeof host) &&
        RefusedAsTooLarge(host)) {
      SetTransferBusy(0);
      return 0;
    }
  }
  if (!OpenSelected()) {
    SetTransferBusy(0);
    return 0;
  }
  char directory[kFileBrowserPathSize] = "";
  VisaDev_GetDefaultDirectory(0, directory);
  const int unfit = UpdateLinkedRemoteFiles(localFile, directory);

  AppSettings& s = g_Settings;
  bool pathAOk = true;
  // The instrument file path A wrote, with its ".wv" (empty when none).
  char writtenA[kFileBrowserPathSize] = "";
  // A linked name that did not fit leaves the name of an earlier waveform in
  // the field: that file on the instrument is not the one to replace.
  const bool unfitA = (unfit & 1) != 0 && s.BBModeA != 0;
  const bool unfitB = (unfit & 2) != 0 && s.BBModeB != 0;
  if (unfitA || unfitB) {
    TransferFails("Error: Destination File Name Too Long.");
    pathAOk = false;
  } else if (!ConfirmPathTarget(s.RemoteFileA, s.BBModeA, localFile) ||
             !ConfirmPathTarget(s.RemoteFileB, s.BBModeB, localFile)) {
    // Both paths' questions come before either path changes the instrument:
    // a No for path B leaves path A's RF settings and file as they were.
    UploadEnded();
    pathAOk = false;
  } else if (s.BBModeA != 0 || s.RFSetFA != 0 || s.RFSetLA != 0) {
    char remote[kFileBrowserPathSize] = "";
    char local[kTransferLocalPathSize] = "";
    cz::CopyText(remote, s.RemoteFileA.view());
    cz::CopyText(local, localFile);
    pathAOk = TransferWaveform(remote, local, s.BBRoutingA, 1, s.BBModeA, s.RFFreqA, s.RFLevA, s.RFStateA, s.RFSetFA,
                               s.RFSetLA) == 1;
    if (pathAOk && s.BBModeA != 0) cz::CopyText(writtenA, remote);
  }
  // An exit asked for while path A was sent (a termination signal, say)
  // ends the transfer there: path B's RF settings and file are not started
  // on the way out of the program.
  const bool pathBDue = pathAOk && (s.BBModeB != 0 || s.RFSetFB != 0 || s.RFSetLB != 0);
  if (pathBDue && Exit_Pending() != kExitNone) {
    Log_Message(1, "*** Path B was not transferred: the program is ending.");
    Log_Status(1, "User break");
  } else if (pathBDue) {
    char remote[kFileBrowserPathSize] = "";
    char local[kTransferLocalPathSize] = "";
    cz::CopyText(remote, s.RemoteFileB.view());
    cz::CopyText(local, localFile);
    // Path B loading the file path A has just written (both linked to the
    // source file, say) is not asked about it: this upload made it.
    char target[kFileBrowserPathSize] = "";
    cz::CopyText(target, remote);
    if (writtenA[0] != '\0' && s.BBModeB != 0 && TransferTab_WithWvExtension(target, sizeof target) &&
        std::strcmp(target, writtenA) == 0)
      VisaDev_RememberConfirmation(0, writtenA);
    TransferWaveform(remote, local, s.BBRoutingB, 2, s.BBModeB, s.RFFreqB, s.RFLevB, s.RFStateB, s.RFSetFB, s.RFSetLB);
  }
  VisaDev_Close(0);
  SetTransferBusy(0);
  return 0;
}

// "*RST" can take several seconds: the session time-out is raised to 15 s
// for it and restored afterwards.
int ResetInstrumentCb(int, int, int event, void*, int, int) {
  if (event != EVENT_COMMIT) return 0;
  SetTransferBusy(1);
  if (!OpenSelected()) {
    SetTransferBusy(0);
    return 0;
  }
  Log_Status(1, "Resetting...");
  std::int32_t session = 0;
  std::uint32_t timeout = 0;
  if (VisaDev_GetSession(0, &session) != 1 || VisaDev_GetTimeout(0, &timeout) != 1) {
    Log_Status(1, "Error: Cannot Reset Instrument.");
  } else {
    VisaDev_SetTimeout(0, kResetTimeoutMs);
    const int ok = VisaDev_Write(0, "*RST");
    VisaDev_SetTimeout(0, timeout);
    Log_Status(1, ok == 1 ? "" : "Error: Cannot Reset Instrument.");
  }
  VisaDev_Close(0);
  SetTransferBusy(0);
  return 0;
}

int SelectInstrumentFileACb(int, int, int event, void*, int, int) {
  if (event == EVENT_COMMIT) SelectInstrumentFile(TAB_INSTR_STR_INSTRFILE_A, &g_Settings.RemoteFileA);
  return 0;
}

int SelectInstrumentFileBCb(int, int, int event, void*, int, int) {
  if (event == EVENT_COMMIT) SelectInstrumentFile(TAB_INSTR_STR_INSTRFILE_B, &g_Settings.RemoteFileB);
  return 0;
}

int ShowInstrumentManagerFromTransferCb(int, int, int event, void*, int, int) {
  if (event == EVENT_COMMIT && INSTRMAN > 0) DisplayPanel(INSTRMAN);
  return 0;
}
