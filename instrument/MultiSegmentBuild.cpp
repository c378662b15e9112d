// The multi-segment build: every segment's waveform file is computed on the
// PC (a sequence through the waveform builder, a blank stretch directly),
// uploaded as "<target>-seg<n>.wv", appended to the instrument's segment
// configuration "<target>.inf_mswv" and, in sequencer mode, to its sequencer
// list "<target>.wvs"; the instrument then assembles "<target>.wv" and the
// ARB is started.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/ExitRequest.h"
#include "app/Log.h"
#include "app/PanelIds.h"
#include "app/Progress.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "app/TempFiles.h"
#include "editors/MultiSegmentEditor.h"
#include "editors/ReportDriver.h"
#include "engine/EngineHost.h"
#include "engine/Tessera_GenerateWave.h"
#include "instrument/Identify.h"
#include "instrument/InstrumentTransfer.h"
#include "instrument/InstrumentTypes.h"
#include "instrument/MultiSegment.h"
#include "instrument/MultiSegmentInternal.h"
#include "instrument/TransferTab.h"
#include "instrument/VisaDev.h"
#include "platform/CLocale.h"
#include "platform/Paths.h"
#include "platform/PrivateFile.h"
#include "Shared/FileIO/FileIOBufferedIO.h"
#include "platform/ui/UserInterface.h"
#include "ui/main/MultiSegmentPage.h"
#include "wavelib/WaveLib.h"

using msw_detail::Ask;
using msw_detail::ScpiFailure;
using msw_detail::Send;

namespace {

constexpr int kMswId = 0;
constexpr int kPathBuffer = 1024;           // room for TransferWaveform's ".wv"
constexpr double kAssemblyFirstWait = 2.0;  // s before the first completion query
constexpr double kAssemblyPollWait = 0.5;
constexpr double kArbStartPause = 0.5;
constexpr double kArbPollWait = 2.0;
constexpr int kArbBusyBit = 2;              // STAT:OPER:COND? bit 1: the ARB is still starting

constexpr const char* kSegmentFailed = "Building Segment failed.";
constexpr const char* kReportCloseFailed = "Error: Report could not be closed. See log.";

void LogF(const std::string& line) { Log_Message(1, line.c_str()); }

std::string Quoted(const std::string& text) {
  std::string q;
  ScpiQuoted(text, &q);
  return q;
}

// The report of the build: opened for the first sequence segment, reopened
// when a later sequence reports elsewhere, closed on every exit once opened.
// A report plug-in reopened on a file it already wrote to in this build
// continues that report.
class MswReport {
 public:
  ~MswReport() {
    if (open_) CloseMswReport();
  }
  // The report of sequenceIndex is left out of this build (the user chose
  // to build without a report that cannot be written): its segments count
  // as segments without a report.
  void LeaveOut(int sequenceIndex) { leftOut_.push_back(sequenceIndex); }
  bool LeftOut() const { return !leftOut_.empty(); }

  // 1, or 0 with the failure logged.
  int Use(const SequenceRecord& record, int sequenceIndex) {
    Settings seq{record.reportOn, record.reportFile, record.reportPlugin};
    if (std::find(leftOut_.begin(), leftOut_.end(), sequenceIndex) != leftOut_.end()) seq.on = 0;
    if (open_ && Changed(seq)) {
      Log_Message(1, "The report settings have changed between segments. Closing report.");
      open_ = false;
      if (!CloseMswReport()) {
        Log_Message(1, "*** The report could not be closed.");
        Log_Status(1, kReportCloseFailed);
        return 0;
      }
    }
    if (!open_) {
      const bool plugin = seq.on != 0 && !seq.plugin.empty();
      const std::string key = std::string(seq.plugin.c_str()) + '\n' + seq.file.c_str();
      if (plugin && std::find(opened_.begin(), opened_.end(), key) != opened_.end()) Report_ContinueNextOpen();
      char error[kReportErrorTextSize] = {};
      if (!Report_OpenOrClose(seq.on, seq.file.c_str(), seq.plugin.c_str(), error, sizeof error)) {
        Log_Message(1, "*** An error ocured during report initialization.");
        Log_Message(1, error);
        Log_Status(1, "Error: Report Initialization Failed. See log.");
        return 0;
      }
      if (plugin) opened_.push_back(key);
      open_ = true;
      current_ = seq;
      // The banner goes once per build, at the top of the first report it
      // opens: a report reopened for a later segment continues the build.
      if (current_.on != 0 && !bannerWritten_) {
        Report_WriteLine("===== Multi Segment Waveform creation =====");
        bannerWritten_ = true;
      }
    }
    Report_WriteHeader(sequenceIndex);
    return 1;
  }
  // The regular close at the end of the segments; 1 when it succeeded.
  int Close() {
    if (!open_) return CloseMswReport();
    open_ = false;
    return CloseMswReport();
  }

 private:
  struct Settings {
    int32_t on = 0;
    cz::Text<256> file;
    cz::Text<256> plugin;
  };
  // Two segments without a report share the closed one, whatever file and
  // plug-in their sequences name.
  bool Changed(const Settings& seq) const {
    if (seq.on == 0 && current_.on == 0) return false;
    return seq.on != current_.on || seq.file != current_.file || seq.plugin != current_.plugin;
  }
  bool open_ = false;
  bool bannerWritten_ = false;
  Settings current_;
  std::vector<int> leftOut_;
  // Plug-in and file ("<plug-in>\n<file>") of every plug-in report opened.
  std::vector<std::string> opened_;
};

// Asks about the reports of the sequence segments that cannot be written,
// before anything is sent: 1 to go on (those reports left out), 0 when the
// user builds nothing, -1 when a report could not even be opened (its
// folder or template missing, say): the build fails as its open would,
// only before the instrument is changed rather than at its segment.
int CheckReports(const MultiSegmentRecord& rec, MswReport* report) {
  std::vector<std::string> reasons;
  std::vector<int> leftOut;
  for (int i = 0; i < kMaxSegments && !rec.segments[i].IsFree(); ++i) {
    if (rec.segments[i].type != SEGMENT_SEQUENCE) continue;
    const int sq = FindSequenceById(static_cast<uint32_t>(rec.segments[i].sequenceId));
    if (sq < 0 || std::find(leftOut.begin(), leftOut.end(), sq) != leftOut.end()) continue;
    const std::string why = Report_WhyNotWritable(sq);
    if (why.empty()) {
      const std::string fails = Report_WhyCannotOpen(sq);
      if (fails.empty()) continue;
      Log_Message(1, "*** An error ocured during report initialization.");
      Log_Message(1, fails.c_str());
      Log_Status(1, "Error: Report Initialization Failed. See log.");
      return -1;
    }
    leftOut.push_back(sq);
    if (std::find(reasons.begin(), reasons.end(), why) == reasons.end()) reasons.push_back(why);
  }
  if (reasons.empty()) return 1;
  if (!Report_AskBuildWithout(reasons)) return 0;
  for (int sq : leftOut) report->LeaveOut(sq);
  return 1;
}

int InvalidSequence() {
  Log_Message(1, "*** Invalid sequence in multi segment waveform.");
  Log_Status(1, "Error: Invalid Sequence Entry in MSW.");
  return 0;
}

// A failure with its reason logged: the status line says the build failed
// rather than keeping the step that was running. Returns 0.
int SegmentFailed(const char* status) {
  Log_Status(1, status);
  return 0;
}

int TooShort(int segment, const char* status) {
  LogF(cz::FormatC("*** Segment %d: The minimum segment length is %d samples.", segment, kMswMinSegmentSamples));
  Log_Status(1, status);
  return 0;
}

// Step 5: the configuration of the segment list on the instrument.
int Configure(MultiSegmentRecord& rec, int index, const std::string& conf, const std::string& seqFile,
              const std::string& output) {
  if (!VisaDev_DeleteFileIfExists(kMswId, conf.c_str(), 0)) {
    Log_Message(1, "*** Cannot delete configuration file on instrument.");
    return ScpiFailure();
  }
  if (!VisaDev_DeleteFileIfExists(kMswId, seqFile.c_str(), 0)) {
    Log_Message(1, "*** Cannot delete sequencer file on instrument.");
    return ScpiFailure();
  }
  if (!Send("SOUR:BB:ARB:WSEG:CONF:SEL " + Quoted(conf) + "; *OPC?")) return ScpiFailure();
  if (rec.sequencerMode && !Send("SOUR:BB:ARB:WSEG:SEQ:SEL " + Quoted(seqFile) + "; *OPC?")) return ScpiFailure();
  static const char* const kLevel[] = {"UNCH", "ERMS"};
  if (rec.levelMode >= 1 && rec.levelMode <= 2 &&
      !Send(std::string("SOUR:BB:ARB:WSEG:CONF:LEV:MODE ") + kLevel[rec.levelMode - 1] + "; *OPC?"))
    return ScpiFailure();
  static const char* const kClock[] = {"UNCH", "HIGH", "USER"};
  if (rec.clockMode >= 1 && rec.clockMode <= 3 &&
      !Send(std::string("SOUR:BB:ARB:WSEG:CONF:CLOC:MODE ") + kClock[rec.clockMode - 1] + "; *OPC?"))
    return ScpiFailure();

  // The user clock must reach the fastest sequence of the list.
  bool raised = false;
  for (int i = 0; i < kMaxSegments && !rec.segments[i].IsFree(); ++i) {
    if (rec.segments[i].type != SEGMENT_SEQUENCE) continue;
    const int s = FindSequenceById(static_cast<uint32_t>(rec.segments[i].sequenceId));
    if (s < 0) return InvalidSequence();
    if (rec.clock < SequenceTable[s].clock) {
      rec.clock = SequenceTable[s].clock;
      raised = true;
    }
  }
  if (raised) MessagePopup("Cadenza", "The MSW user clock rate was too low\nand got automatically updated.");

  if (!Send(cz::FormatC("SOUR:BB:ARB:WSEG:CONF:CLOC %f MHz; *OPC?", rec.clock / 1e6)) ||
      !Send("SOUR:BB:ARB:WSEG:CONF:OFIL " + Quoted(output) + "; *OPC?") ||
      !Send("SOUR:BB:ARB:WSEG:CONF:COMM " + Quoted(MswSanitizeComment(rec.comment.c_str())) + "; *OPC?"))
    return ScpiFailure();
  if (!ApplyMswSettings(index, 0, rec.triggerMode, rec.extTriggerMode, rec.triggerSource, rec.delay,
                        rec.sequencerMode))
    return ScpiFailure();
  return 1;
}

// A write to the temporary folder that the system refused with a reason
// (a full disk, a quota): the folder and the reason, once.
void LogTempFolderWriteFailure() {
  const int error = TakeBufferWriteError();
  if (error != 0) Log_Message(5, "*** Temporary folder '", TempDirInUse(), "': ", std::strerror(error), ".");
}

// Step 6d: n blank samples as "tmp_seg_blank.wv" in the temporary directory.
int WriteBlankSegment(const MultiSegmentRecord& rec, int32_t n, const std::string& path) {
  // The temporary folder may be one that other users write to: the name is
  // made anew as this user's own file first (no link under it followed, no
  // file of anyone else taken), so that the waveform writer replaces that
  // file and nothing a planted link names.
  std::string reason;
  FILE* own = cz::CreatePrivateFile(path, nullptr, &reason);
  if (own == nullptr) {
    Log_Message(5, "*** Temporary folder '", TempDirInUse(), "': ", reason.c_str(), ".");
    return 0;
  }
  std::fclose(own);
  // The Sequence View is told before the file it shows is recreated; it
  // shows nothing until the next sequence build.
  if (!ResetTempSampleFiles(TEMP_FILES_EMPTY)) {
    Log_Message(1, "*** Failed to initialize temporary file.");
    return 0;
  }
  if (!InitBuf(kSlotTempIq, TempIqFile, 0, 1)) {
    Log_Message(1, "*** Failed to initialize buffer.");
    return 0;
  }
  TakeBufferWriteError();  // a failure of an earlier write is not this one's
  if (WriteBytes(kSlotTempIq, 3, "IQF") != 3 || !WriteBlankFiller(kSlotTempIq, -1, n)) {
    Log_Message(1, "*** Cannot write to temporary waveform file.");
    ReleaseBuf(kSlotTempIq);
    LogTempFolderWriteFailure();
    return 0;
  }
  if (!ReleaseBuf(kSlotTempIq)) {
    Log_Message(1, "*** Failed to cleanup buffer.");
    LogTempFolderWriteFailure();
    return 0;
  }
  WaveDescriptor d;
  d.arbClock = d.markerClock = rec.clock;
  d.samples = n;
  d.comment = "BLANK";
  d.copyright = "Torvane";
  if (!WaveLib_WriteWaveform(&d, path.c_str(), TempIqFile, nullptr)) {
    Log_Message(1, "*** Wave file generation failed.");
    return 0;
  }
  return 1;
}

// Steps 8 and 10: polls that show their progress in the dialog; 1 on Cancel.
int DialogPoll(double value) { return ProgressDialogHook(value); }

void OpenDialog(const char* text) {
  Progress_Open(text);
  Progress_SetTotal(100.0);
  Progress_EnableCancel(1);
}

// The page's Stop pressed since the last poll, and the abort confirmed (an
// exit waiting to run needs no confirmation).
bool AbortConfirmed() {
  return MultiSegmentStopPressed() &&
         (Exit_Pending() != kExitNone ||
          ConfirmPopup("Abort MSW Creation ?", "Do you really want to abort\nthe pulse creation process ?") == 1);
}

int StopButtonDown() {
  int down = 0;
  if (TAB_MSEG > 0 && TAB_MSEG_CMD_STOP >= 0) GetCtrlVal(TAB_MSEG, TAB_MSEG_CMD_STOP, &down);
  return down != 0;
}

}  // namespace

int BuildMultiSegment(int index) {
  // A Stop press left over from before the build is no request to end this
  // one; a press from here on is kept until the segment loop answers it.
  MultiSegmentStopPressed();
  Log_Message(1, "------------------------------------");
  Log_Message(1, "   Multi Segment Waveform creation   ");
  Log_Message(1, "------------------------------------");
  VisaDev_ResetUploadQuestions(kMswId);
  if (index < 0 || index >= MultiSegmentCount) {
    Log_Message(1, "*** Invalid multi segment waveform selected.");
    Log_Status(1, "Error: Invalid Selection.");
    return 0;
  }
  if (!msw_detail::RequireInstrument()) return 0;
  MultiSegmentRecord& rec = MultiSegmentTable[index];
  const std::string s = MswPathSuffix(rec.bbPath);

  // Step 3: file names on the instrument.
  char defaultDir[256] = {};
  VisaDev_GetDefaultDirectory(kMswId, defaultDir);
  const int unix = InstrumentCapabilities.UnixPaths;
  const std::string dir = MswInstrumentDirectory(unix, defaultDir, g_Settings.Project.pathLin.c_str(),
                                                 g_Settings.Project.pathWin.c_str());
  const char* target = rec.targetName.c_str();
  const std::string conf = MswFileName(dir, unix, target, ".inf_mswv");
  const std::string seqFile = MswFileName(dir, unix, target, ".wvs");
  const std::string output = MswFileName(dir, unix, target, ".wv");

  // A report that cannot be written is said before anything is built or
  // sent; the user builds without it or not at all.
  MswReport report;
  const int reports = CheckReports(rec, &report);
  if (reports < 0) return 0;
  if (reports == 0) {
    Log_Status(1, "User break");
    return kMswBuildStopped;
  }

  // Every segment's question comes before the first command that changes
  // the instrument: a No ends the build with nothing sent.
  struct ForgetOnExit {
    ~ForgetOnExit() { VisaDev_ForgetConfirmations(kMswId); }
  } forget;
  for (int i = 0; i < kMaxSegments && !rec.segments[i].IsFree(); ++i) {
    if (VisaDev_ConfirmUpload(kMswId, MswSegmentName(dir, unix, target, i + 1).c_str())) continue;
    if (!VisaDev_UploadCancelled(kMswId)) return ScpiFailure();
    Log_Status(1, kUploadCancelledText);
    return 0;
  }

  Log_Message(1, "Presetting baseband...");
  if (!Send("SOUR" + s + ":BB:ARB:PRES; *OPC?")) return ScpiFailure();
  Log_Message(1, "Preparing Multi-Segment Waveform...");
  // Without the folder change the segments would be appended to whatever
  // configuration an earlier build left selected: the build ends here.
  if (!VisaDev_SetDefaultPath(kMswId, "", dir.c_str())) {
    Log_Message(1, "*** Error setting default drive.");
    return ScpiFailure();
  }
  if (!Configure(rec, index, conf, seqFile, output)) return 0;

  // Step 6: the segments.
  double t = 0.0;
  int built = 0;
  const std::string blankPath = cz::HostPath(cz::JoinPath(TempDirInUse(), "tmp_seg_blank.wv"));
  // The blank segments' scratch file goes on every way out of the build
  // (a long blank's holds gigabytes of the temporary folder); only this
  // user's own entry is removed.
  struct ScratchFile {
    const std::string& path;
    bool begun = false;
    ~ScratchFile() {
      if (begun) cz::RemoveOwnFile(path);
    }
  } scratch{blankPath};
  for (int i = 0; i < kMaxSegments; ++i) {
    if (AbortConfirmed()) {
      LogF(std::string(" *** User break for MSW '") + rec.name.c_str() + "'");
      // The user asked to abort: the segments sent so far stay on the
      // instrument, but nothing is assembled or started, whatever was
      // appended already; the stop is no failure.
      report.Close();
      HighlightMultiSegmentRow(-1);
      Log_Status(1, "User break");
      return kMswBuildStopped;
    }
    MultiSegmentEntry& seg = rec.segments[i];
    if (seg.IsFree()) break;
    const bool last = i == kMaxSegments - 1 || rec.segments[i + 1].IsFree();
    HighlightMultiSegmentRow(i + 1);

    char localFile[kPathBuffer] = {};
    const char* label = kMswBlankLabel;
    int32_t n = 0, r = 1;
    double duration = 0.0;
    if (seg.type == SEGMENT_BLANK) {
      Log_Message(1, "Building BLANK segment...");
      Log_Status(1, "Building BLANK segment");
      const double d = seg.stopTime - t;
      if (d < 0.0) {
        Log_Message(1, "*** Blank Segment duration is < 0.");
        Log_Status(1, "Building BLANK failed.");
        return 0;
      }
      const double samples = std::trunc(rec.clock * d + 0.5);
      if (samples < kMswMinSegmentSamples) return TooShort(i, "Building BLANK failed.");
      if (samples > 2147483647.0) {
        Log_Message(1, "*** Blank Segment is too long.");
        Log_Status(1, "Building BLANK failed.");
        return 0;
      }
      n = static_cast<int32_t>(samples);
      r = MswBlankRepetitions(n, rec.sequencerMode);
      n /= r;
      LogF(cz::FormatC("  Duration : %4.2f us", d * 1e6));
      LogF(cz::FormatC("  Samples  : %ld, Repetitions  : %d", static_cast<long>(n), r));
      LogF(cz::FormatC("  Clock    : %5.3f MHz", rec.clock / 1e6));
      scratch.begun = true;
      if (!WriteBlankSegment(rec, n, blankPath)) return SegmentFailed("Building BLANK failed.");
      seg.repetition = cz::FormatC("%d", r);
      cz::CopyText(localFile, blankPath);
      duration = d;
    } else if (seg.type == SEGMENT_SEQUENCE) {
      const int sq = FindSequenceById(static_cast<uint32_t>(seg.sequenceId));
      if (sq < 0) return InvalidSequence();
      const SequenceRecord& seq = SequenceTable[sq];
      if (!report.Use(seq, sq)) return 0;
      // A failed build has put its own error on the status line.
      if (!BuildWaveform(sq, 0, i + 1, index, 0, t)) {
        Log_Message(1, "*** Wave file generation failed.");
        return 0;
      }
      n = LastBuildSamples;
      if (n < kMswMinSegmentSamples) return TooShort(i, "Building Segment failed.");
      if (rec.sequencerMode && !MswRepetitionCount(seg.repetition.c_str(), &r)) {
        LogF(cz::FormatC("*** Invalid repetition count specified for MSW segment %i.", i));
        return SegmentFailed(kSegmentFailed);
      }
      if (!ResolveLocalPath(seq.waveFile.c_str(), localFile, sizeof localFile)) {
        Log_Message(1, "*** Wave file generation failed.");
        return SegmentFailed(kSegmentFailed);
      }
      label = seq.name.c_str();
      // The samples as written: a filter's oversampling or the resampling of
      // a high clock has changed their clock.
      duration = n / LastBuildClock * (rec.sequencerMode ? r : 1);
    } else {
      return InvalidSequence();
    }

    SetMultiSegmentRow(i + 1, n, label, seg.repetition.c_str(), t, t + duration, rec.sequencerMode);
    t += duration;

    char segmentName[kPathBuffer] = {};
    cz::CopyText(segmentName, MswSegmentName(dir, unix, target, i + 1));
    if (!TransferWaveform(segmentName, localFile, 0, 1, 1, 1.0, 0.0, 0, 0, 0)) {
      if (!VisaDev_UploadCancelled(kMswId)) Log_Message(1, "*** Wave file transfer failed.");
      return 0;
    }
    // Only the blank segment's scratch file goes; a sequence segment was built
    // into the sequence's own waveform file, which the user keeps.
    if (seg.type != SEGMENT_SEQUENCE && std::remove(localFile) != 0) {
      Log_Message(1, "*** Cannot delete local waveform file.");
      Log_Status(1, "Error: Cannot delete local file.");
      return 0;
    }
    if (!Send("SOUR:BB:ARB:WSEG:CONF:SEGM:APP " + Quoted(segmentName) + "; *OPC?")) return ScpiFailure();
    if (rec.sequencerMode) {
      static const char* const kEnd[] = {"NEXT", "ENDLESS", "BLANK"};
      const char* end = last && rec.nextSegment >= 1 && rec.nextSegment <= 3 ? kEnd[rec.nextSegment - 1] : "NEXT";
      if (!Send(cz::FormatC("SOUR:BB:ARB:WSEG:SEQ:APP ON,%i,%i,%s; *OPC?", i, r, end))) return ScpiFailure();
    }
    ++built;
    if (StopButtonDown()) {
      Log_Message(1, "*** User break.");
      return 0;
    }
  }

  // Step 7: the instrument puts the segments together.
  const int closed = report.Close();
  HighlightMultiSegmentRow(-1);
  if (!closed) return SegmentFailed(kReportCloseFailed);
  if (!Send("SOUR" + s + ":BB:ARB:WSEG:CLO " + Quoted(conf))) return ScpiFailure();

  Log_Status(1, "Assembling Waveform...");
  OpenDialog("Assembling Waveform...");
  Delay(kAssemblyFirstWait);
  std::string reply;
  int progress = 0;
  bool queried = Ask("SOUR:BB:PROG:MCOD:ARB:WSEG?", &reply);
  if (queried) progress = std::atoi(reply.c_str());
  while (queried && progress < 100) {
    // Cancel, the page's Stop (or an exit waiting to run): nothing
    // unfinished is started.
    if (DialogPoll(progress) || AbortConfirmed()) {
      Progress_Close();
      LogF(std::string(" *** User break for MSW '") + rec.name.c_str() + "'");
      Log_Status(1, "User break");
      return kMswBuildStopped;
    }
    Delay(kAssemblyPollWait);
    queried = Ask("SOUR:BB:PROG:MCOD:ARB:WSEG?", &reply);
    if (queried) progress = std::atoi(reply.c_str());
  }
  if (!queried) {
    Log_Status(1, "Error: SCPI Error. See Log.");
    Log_Message(1, "*** Cannot read completion state.");
  }
  Progress_Close();
  if (!queried) return 0;
  if (progress < 100) {
    Log_Status(1, "Failed to build Multi Segment Waveform");
    Log_Message(1, "*** Multi Segment Waveform assembly did not complete.");
    return 0;
  }

  // The page's Stop pressed while the instrument put the waveform together:
  // nothing more is done, the ARB is not started.
  if (AbortConfirmed()) {
    LogF(std::string(" *** User break for MSW '") + rec.name.c_str() + "'");
    Log_Status(1, "User break");
    return kMswBuildStopped;
  }

  // Step 9: the segment files are no longer needed on the instrument.
  if (g_Settings.Project.removeSegments) {
    for (int i = 0; i < built; ++i) {
      if (!Send("MMEM:DEL " + Quoted(MswSegmentName(dir, unix, target, i + 1)) + "; *OPC?")) {
        Log_Message(1, "*** Cannot delete MSW file segment on instrument.");
        return ScpiFailure();
      }
    }
  }

  // Step 10: start the ARB and wait while it reports busy.
  Delay(kArbStartPause);
  Log_Status(1, "Starting ARB...");
  OpenDialog("Starting ARB...");
  if (!Send("SOUR" + s + ":BB:ARB:STAT ON")) {
    Log_Status(1, "Error: SCPI Error. See Log.");
    Log_Message(1, "*** ARB could not be started.");
    Progress_Close();
    return 0;
  }
  // Cancel or Stop here ends only the wait: the ARB has been started.
  bool stopped = false;
  for (int k = 0; k < 100; k += 2) {
    if (DialogPoll(k) || AbortConfirmed()) {
      stopped = true;
      break;
    }
    if (!Ask("STAT:OPER:COND?", &reply)) {
      Log_Status(1, "Error: SCPI Error. See Log.");
      Log_Status(1, "Failed to read ARB status.");
      Log_Message(1, "*** ARB status could not be read.");
      Progress_Close();
      return 0;
    }
    if ((std::atoi(reply.c_str()) & kArbBusyBit) == 0) break;
    Delay(kArbPollWait);
  }
  Progress_Close();

  if (stopped) {
    LogF(std::string(" *** User break for MSW '") + rec.name.c_str() + "'");
    Log_Status(1, "User break");
  } else {
    // Built as chosen, but without a report that a sequence asks for.
    Log_Status(1, report.LeftOut() ? "Done without the report." : "Done.");
  }
  // The page's clock shows a raised user clock before the controls are read
  // back, so that the raise stays in the record.
  if (TAB_MSEG > 0) {
    SetCtrlVal(TAB_MSEG, TAB_MSEG_NUM_ARBCLK, rec.clock / 1e6);
    MultiSegmentSettingsCb(TAB_MSEG, TAB_MSEG_NUM_ARBCLK, EVENT_COMMIT, nullptr, 0, 0);
  }
  return stopped ? kMswBuildStopped : 1;
}
