// Busy state, waveform file choice and information, and Generate of the
// Sequence Editor.
//
// Generate runs the whole build inside its callback on the UI thread. While
// it runs, everything a user could change is dimmed and only Stop is
// enabled; the builder polls Stop through the engine host, which drains the
// queued user events. Every way out of Generate (report failure, build
// failure, success) makes the editor idle again.
#include "editors/SequenceGenerate.h"

#include <cmath>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <string>

#include "app/ExitRequest.h"
#include "app/LibraryTree.h"
#include "app/Log.h"
#include "app/PanelIds.h"
#include "app/Progress.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "app/TypedText.h"
#include "editors/ReportDriver.h"
#include "editors/SequenceTable.h"
#include "engine/EngineHost.h"
#include "engine/Tessera_GenerateWave.h"
#include "instrument/InstrumentTransfer.h"
#include "instrument/TransferTab.h"
#include "platform/CLocale.h"
#include "platform/Paths.h"
#include "platform/ui/UserInterface.h"
#include "ui/dialogs/InfoDialog.h"
#include "ui/main/SequenceEditorPage.h"
#include "ui/main/TransferPage.h"

namespace {

constexpr int kReportErrorSize = 1024;  // bytes of the report driver's error text
// The builder's attribute for the filler rows' Rep., jitter and marker cells.
constexpr int kBuilderDimAttribute = 1581;

// The page writes only into the sequence it shows.
bool CurrentValid() { return ShownSequence() != nullptr; }

// What tells one version of a waveform file from the next: the builder
// writes a new file and renames it over the old one.
struct WaveFileStamp {
  bool exists = false;
  ino_t inode = 0;
  off_t size = 0;
  int64_t modifiedNs = 0;
  bool operator==(const WaveFileStamp&) const = default;
};

WaveFileStamp StampOf(const char* waveFile) {
  WaveFileStamp stamp;
  char absolute[UI_MAX_PATH] = "";
  struct stat st {};
  if (!MakeAbsolutePath(waveFile, absolute, sizeof absolute) || stat(cz::HostPath(absolute).c_str(), &st) != 0)
    return stamp;
  stamp.exists = true;
  stamp.inode = st.st_ino;
  stamp.size = st.st_size;
  stamp.modifiedNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return stamp;
}

std::string StatusText() {
  char text[1024] = "";
  if (PANEL_MAIN <= 0 || GetCtrlVal(PANEL_MAIN, PANEL_MAIN_TXT_ERR, text, sizeof text) < 0) return std::string();
  return text;
}

// Controls dimmed while a build runs, in this order.
int* const kBusyDimmed[] = {
    &TAB_SEDIT_CMD_GENERATE,   &TAB_SEDIT_CMD_WVINFO,      &TAB_SEDIT_CMD_FSEL,         &TAB_SEDIT_STR_FILE,
    &TAB_SEDIT_NUM_ARBCLK,     &TAB_SEDIT_CMD_FILTER,      &TAB_SEDIT_CMD_LOG,          &TAB_SEDIT_CMD_SENTRY_DEL,
    &TAB_SEDIT_CMD_SENTRY_NEW, &TAB_SEDIT_CMD_SENTRY_UP,   &TAB_SEDIT_CMD_SENTRY_DOWN,  &TAB_SEDIT_CMD_S_HIDE,
    &TAB_SEDIT_TABLE_SETTINGS, &TAB_SEDIT_STR_NAME,        &TAB_SEDIT_STR_COPYRIGHT,    &TAB_SEDIT_STR_COMMENT};

// ---- waveform builder host: rows and summary of the build on this page

// The builder rewrites each entry's row with the real times and counts as
// it goes. Its row has no filler flag: the two filler labels tell fillers.
// The table is painted after each row, so the user sees the build advance.
void HostFillRow(const SequenceTableRow& r) {
  const bool filler = std::strcmp(r.name, kBlankFillerLabel) == 0 || std::strcmp(r.name, kCwFillerLabel) == 0;
  const int row = r.row + 1;
  const int32_t samples = static_cast<int32_t>(std::clamp<int64_t>(r.samples, 0, INT32_MAX));
  FillSequenceTable(row, r.startTime, r.startTime + r.duration, samples, r.name, r.repetitions, r.jitterModes[0],
                    r.jitterModes[1], r.jitterModes[2], r.jitterModes[3], filler ? 1 : 0, r.markerWord,
                    r.combineMode);
  if (filler)
    SetTableCellAttribute(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS, Cell(SEQ_COL_MODE, row), ATTR_CELL_DIMMED, 1);
  ProcessDrawEvents();
}

// The builder dims the Rep., jitter and marker cells of a filler row;
// other attributes are none of this page's.
void HostRowAttribute(int32_t row, int firstColumn, int lastColumn, int attribute, int value) {
  if (attribute != kBuilderDimAttribute || lastColumn < firstColumn) return;
  SetTableCellRangeAttribute(TAB_SEDIT, TAB_SEDIT_TABLE_SETTINGS,
                             MakeRect(row + 1, firstColumn, 1, lastColumn - firstColumn + 1), ATTR_CELL_DIMMED, value);
}

void HostSequenceInfo(const char* text) { SetCtrlVal(TAB_SEDIT, TAB_SEDIT_STR_WVINFO, text != nullptr ? text : ""); }
void HostStatus(const char* text) { Log_Status(1, text != nullptr ? text : ""); }
// The builder asks only after a Stop whether to abort; an exit waiting to
// run has answered that already.
int HostConfirm(const char* title, const char* message) {
  if (Exit_Pending() != kExitNone) return 1;
  return ConfirmPopup(title, message) == 1 ? 1 : 0;
}
void HostTabPageDimmed(int page, int dimmed) {
  if (MainTabIndex(page) >= 0)
    SetTabPageAttribute(PANEL_MAIN, PANEL_MAIN_TAB, MainTabIndex(page), ATTR_DIMMED, dimmed);
}

}  // namespace

void SetSequenceEditorBusy(int busy) {
  const int dimmed = busy != 0 ? 1 : 0;
  DimLibraryControls(dimmed);
  SetCtrlAttribute(TAB_SEDIT, TAB_SEDIT_CMD_STOP, ATTR_DIMMED, dimmed != 0 ? 0 : 1);
  for (int* control : kBusyDimmed) SetCtrlAttribute(TAB_SEDIT, *control, ATTR_DIMMED, dimmed);
}

// Values the tag reader did not find show its defaults (-1, 0.0 or "").
// "Torvane" marks a file whose data block is not the plain WAVEFORM one.
// A value the header does not give (its tag is missing, or holds no usable
// number) reads "unknown" rather than a figure made from the reader's -1.
std::vector<std::string> SequenceWaveInfoLines(const WaveFileInfo& info) {
  const auto known = [](bool given, const std::string& text) { return given ? text : std::string("unknown"); };
  // A CLOCK past the largest double ("1e999") reads as infinite: no rate,
  // and no play time of 0 s made from it.
  const bool clockKnown = std::isfinite(info.clock) && info.clock >= 0.0;
  return {
      "Wave File Data",
      " ",
      " ",
      cz::FormatC("File Name: %s", info.fileName),
      cz::FormatC("File Date: %s", info.fileDate),
      cz::FormatC("File Size: %lld bytes", static_cast<long long>(info.fileSize)),
      " ",
      cz::FormatC("File Type: %s (%s)", info.typeText, info.blockKind != 0 ? "Torvane" : "user"),
      cz::FormatC("Comment: %s", info.comment),
      cz::FormatC("Copyright: %s", info.copyright),
      cz::FormatC("Date: %s", info.date),
      cz::FormatC("Peak offset: %4.3f dBc", info.peakOffset),
      cz::FormatC("RMS offset: %4.3f dBc", info.rmsOffset),
      "Clock rate: " + known(clockKnown, cz::FormatC("%4.3f Hz", info.clock)),
      "Samples: " + known(info.samples >= 0, cz::FormatC("%lld", static_cast<long long>(info.samples))),
      "Wave Tag Length: " + known(info.blockLength >= 0, cz::FormatC("%lld", static_cast<long long>(info.blockLength))),
      "Play Time: " + known(clockKnown && info.playTime >= 0.0, cz::FormatC("%4.6f s", info.playTime)),
  };
}

void SequenceEditor_InstallBuildHost() {
  EngineBuildHost host = GetEngineBuildHost();
  host.confirm = HostConfirm;
  host.showProgressBars = ShowProgressBars;
  host.setTotalProgress = SetTotalProgress;
  host.setStatus = HostStatus;
  host.fillSequenceTable = HostFillRow;
  host.setTableRowAttribute = HostRowAttribute;
  host.setSequenceInfo = HostSequenceInfo;
  host.setTabPageDimmed = HostTabPageDimmed;
  SetEngineBuildHost(&host);
}

int SequenceSelectWaveFileCb(int panel, int control, int event, void* callbackData, int eventData1,
                             int eventData2) {
  (void)panel, (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
  if (event != EVENT_COMMIT || !CurrentValid()) return 0;
  SequenceRecord& seq = SequenceTable[CurrentSequence];
  // The dialog opens in the folder of the current file; a relative stored
  // name is taken from the home path, as the builder takes it.
  char absolute[UI_MAX_PATH] = "";
  if (!MakeAbsolutePath(seq.waveFile.c_str(), absolute, sizeof absolute)) absolute[0] = '\0';
  const std::string folder = cz::HostPath(cz::DirName(absolute));
  char chosen[UI_MAX_PATH] = "";
  const int result = FileSelectPopup(folder.c_str(), "*.wv", "*.wv", "Select Local Wave File", VAL_OK_BUTTON, 0, 0,
                                     1, 1, chosen, sizeof chosen);
  if (result == UI_ERR_BUFFER_TOO_SMALL ||
      (result > 0 && std::strlen(chosen) > decltype(seq.waveFile)::kMaxLength)) {
    // The record holds 255 characters; a longer path is refused, not cut.
    Log_Message(1, "*** Waveform file path too long.");
    MessagePopup("Error", PathTooLongText("the chosen waveform file", result == UI_ERR_BUFFER_TOO_SMALL ? nullptr : chosen,
                                          decltype(seq.waveFile)::kMaxLength)
                              .c_str());
    return 0;
  }
  if (result != VAL_EXISTING_FILE_SELECTED && result != VAL_NEW_FILE_SELECTED) return 0;
  SetCtrlVal(TAB_SEDIT, TAB_SEDIT_STR_FILE, chosen);
  seq.waveFile.AssignExact(chosen);
  DimGenerateButton(0);
  return 0;
}

int SequenceWaveInfoCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
  if (event != EVENT_COMMIT) return 0;
  char file[UI_MAX_PATH] = "", path[UI_MAX_PATH] = "";
  GetCtrlVal(panel, TAB_SEDIT_STR_FILE, file, sizeof file);
  WaveFileInfo info{};
  if (!MakeAbsolutePath(file, path, sizeof path) || !WaveLib_GetFileInfo(cz::HostPath(path).c_str(), &info)) {
    Log_Status(1, "Failed to read waveform information.");
    return 0;
  }
  // A second request refills the open dialog.
  ResetTextBox(INFO, INFO_TEXTBOX, "");
  for (const std::string& line : SequenceWaveInfoLines(info)) InsertTextBoxLine(INFO, INFO_TEXTBOX, -1, line.c_str());
  DisplayPanel(INFO);
  // The dialog shows what the header gives; a file cut short (a power cut
  // while it was written) is said to be no waveform to use.
  const std::string cutShort = WaveLib_CutShortReason(info);
  if (!cutShort.empty()) {
    Log_Message(2, "*** ", WaveLib_CutShortText(cz::HostPath(path).c_str(), cutShort).c_str());
    Log_Status(1, cz::FormatC("Error: Waveform file '%s' is cut short. See log.", info.fileName).c_str());
  }
  return 0;
}

int SequenceGenerateCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)panel, (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
  if (event != EVENT_COMMIT || !CurrentValid()) return 0;
  const int index = CurrentSequence;
  const SequenceRecord& seq = SequenceTable[index];
  // A report that cannot be written is said before anything is built; the
  // user builds without it or not at all.
  const std::string why = Report_WhyNotWritable(index);
  if (!why.empty() && !Report_AskBuildWithout({why})) {
    Log_Status(1, "User break");
    return 0;
  }
  const int32_t reportOn = why.empty() ? seq.reportOn : 0;
  SetSequenceEditorBusy(1);
  // The Transfer page keeps its file until a new one is written.
  const WaveFileStamp before = StampOf(seq.waveFile.c_str());

  char error[kReportErrorSize] = "";
  if (!Report_OpenOrClose(reportOn, seq.reportFile.c_str(), seq.reportPlugin.c_str(), error, kReportErrorSize)) {
    Log_Message(1, "*** An error ocured during report initialization.");
    Log_Message(1, error);
    Log_Status(1, "Error: Report Initialization Failed. See log.");
    const std::string reason = error[0] != '\0' ? std::string("\n") + error : std::string();
    MessagePopup("ERROR", ("Waveform creation failed." + reason).c_str());
    SetSequenceEditorBusy(0);
    return 0;
  }
  Report_WriteHeader(index);
  SequenceEditor_InstallBuildHost();
  // Draw the view, segment 1 of no multi-segment build, the build closes
  // the report at its end, start time 0 s.
  BuildWaveform_SetTransferLimit(VisaDev_MaxTransferBytes());
  if (!BuildWaveform(index, 1, 1, -1, 1, 0.0)) {
    // The build ended for an exit the user asked for (File > Exit, the close
    // box, a termination signal): his own request, no failure to report,
    // and the exit goes on without a popup to dismiss.
    if (EngineHost_UserBreak() && Exit_Pending() != kExitNone) {
      Log_Status(1, "User break");
      SetSequenceEditorBusy(0);
      return 0;
    }
    // The builder's own error status stays; a failure it left without one
    // must not read as the earlier success.
    if (StatusText().rfind("Error", 0) != 0) Log_Status(1, "Error: Waveform Creation Failed. See Log.");
    // A file written before the failure (the report's close, say) is the
    // one the Transfer page sends from now on.
    if (!(StampOf(SequenceTable[index].waveFile.c_str()) == before))
      UpdateLinkedRemoteFiles(SequenceTable[index].waveFile.c_str(), "");
    // A report or temporary file lost on the way (a full disk) says why.
    std::string reason;
    for (const char* why : {BuildWaveform_TempFailure(), Report_TextFailure()}) {
      if (why[0] != '\0') reason += std::string("\n") + why;
    }
    MessagePopup("ERROR", ("Waveform creation failed." + reason).c_str());
    SetSequenceEditorBusy(0);
    return 0;
  }
  // Built as chosen, but without the report the sequence asks for.
  if (reportOn != seq.reportOn) Log_Status(1, "Waveform Creation Finished without the report.");
  if (MainTabIndex(PAGE_SEQUENCE_VIEW) >= 0)
    SetTabPageAttribute(PANEL_MAIN, PANEL_MAIN_TAB, MainTabIndex(PAGE_SEQUENCE_VIEW), ATTR_VISIBLE, 1);
  // The file is kept, but one upload cannot carry it: said now, not after
  // the user has waited for a transfer.
  const std::int64_t bytes = StampOf(SequenceTable[index].waveFile.c_str()).size;
  if (bytes > VisaDev_MaxTransferBytes())
    Log_Message(1, cz::FormatC("Warning: The waveform file has %lld bytes; one transfer to the instrument carries at "
                               "most %lld bytes. Upload will refuse it.",
                               static_cast<long long>(bytes), static_cast<long long>(VisaDev_MaxTransferBytes()))
                       .c_str());
  UpdateLinkedRemoteFiles(SequenceTable[index].waveFile.c_str(), "");
  SetSequenceEditorBusy(0);
  return 0;
}
