// The waveform builder's frame: checks, temporary files, the entry loop over
// fillers and pulse repetitions, statistics, the Sequence View and the
// waveform file. Resampling and normalisation are in BuildResample.cpp, the
// fillers and clean-up routines in BuildFillers.cpp.
#include "engine/Tessera_GenerateWave.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>

#include "Shared/FileIO/FileIOBufferedIO.h"
#include "app/Keywords.h"
#include "app/Log.h"
#include "app/PulseRecord.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "engine/BuildInternal.h"
#include "engine/BuildStore.h"
#include "engine/EngineHost.h"
#include "engine/EngineState.h"
#include "engine/Jitter.h"
#include "engine/ModulationTypes.h"
#include "engine/PulseCompute.h"
#include "engine/PulseSamples.h"
#include "platform/CLocale.h"
#include "platform/FileReplace.h"
#include "platform/Paths.h"
#include "platform/ProgramInfo.h"
#include "wavelib/WaveLib.h"

int32_t LastBuildSamples = 0;
double LastBuildRmsOffset = 0.0;
double LastBuildClock = 0.0;

using namespace build_detail;

namespace {

// Tab page of the Sequence View in the main window's tab control.
constexpr int kSequenceViewPage = 2;
// Sequence Editor table: attribute and columns marked on filler rows.
constexpr int kFillerRowAttribute = 1581;
constexpr int kFillerRowFirstColumn = 7;
constexpr int kFillerRowLastColumn = 15;
// Samples the Sequence View shows after a build.
constexpr int64_t kViewSamples = 100000;

const char* const kNoJitter = "---";

// Destination check that never opens the file for writing: links are
// followed, an existing destination must be a regular file that is not
// read-only, and its folder must let the writer create a temporary file
// beside it and rename it over the file. A refusal is logged with its reason.
bool DestinationWritable(const std::string& givenPath) {
  const std::string hostPath = cz::ResolveLinks(givenPath);
  // Nothing is made inside the installed program's folders, not even a folder.
  if (cz::InsideInstallFolders(hostPath)) {
    Log_Message(5, "*** Cannot write '", givenPath.c_str(), "': ", cz::kInstallFolderReason, ".");
    return false;
  }
  struct stat st;
  if (stat(hostPath.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) {
      Log_Message(3, "*** Cannot write '", givenPath.c_str(), "': not a regular file.");
      return false;
    }
    if (cz::IsReadOnlyFile(hostPath)) {
      Log_Message(5, "*** Cannot write '", givenPath.c_str(), "': ", cz::kReadOnlyReason, ".");
      return false;
    }
  }
  const std::string folder = cz::DirName(hostPath);
  const char* dir = !folder.empty() ? folder.c_str() : (!hostPath.empty() && hostPath[0] == '/' ? "/" : ".");
  // A missing folder (the default "Waveforms" of a new home, say) is made.
  std::error_code ec;
  if (stat(dir, &st) != 0 && errno == ENOENT && std::filesystem::create_directories(dir, ec))
    Log_Message(3, "Created folder '", dir, "'.");
  return stat(dir, &st) == 0 && S_ISDIR(st.st_mode) && access(dir, W_OK | X_OK) == 0;
}

// Marker mask of repetition r (0-based) of rep: two bits per marker in the
// entry's word, 0 never, 1 first repetition, 2 last repetition, 3 always;
// an enabled marker gets both of its bits set.
uint8_t MarkerMaskFor(int32_t word, int32_t r, int32_t rep) {
  uint8_t mask = 0;
  for (int m = 0; m < 4; ++m) {
    const int rule = (word >> (2 * m)) & 3;
    const bool on = rule == 3 || (rule == 1 && r == 0) || (rule == 2 && r == rep - 1);
    if (on) mask = static_cast<uint8_t>(mask | (3u << (2 * m)));
  }
  return mask;
}

// New values are drawn every repetition for individual, reuse and MSeg, on
// the first only for same and next, never for OFF.
int32_t UpdateFlag(int mode, int32_t r) {
  switch (mode) {
    case JMODE_SAME:
    case JMODE_NEXT:
      return r == 0 ? 1 : 0;
    case JMODE_INDIVIDUAL:
    case JMODE_REUSE:
    case JMODE_MSEG:
      return 1;
    default:
      return 0;
  }
}

// The build's own view of what is bound, for the failure clean-up.
struct Build {
  int32_t reportOpen = 0;
  bool slot5 = false;
  bool slot6 = false;
  // While the entries are written: the temporary files end behind the
  // samples of the finished entries once the build fails.
  bool trim = false;
  int64_t finished = 0;

  // The samples go to the store rather than the temporary files.
  bool direct = false;

  int Fail() {
    SetPulseSamplesTap(nullptr);
    SetPulseSampleSink(nullptr);
    SetPulseSamplesStart(-1);
    Prepared().Stop();
    LogTempFolderFailure();
    ReleaseWaveBuffers(slot5 ? TempIqFile : nullptr, slot6 ? TempMarkerFile : nullptr, nullptr, nullptr);
    slot5 = slot6 = false;
    // A store that did not spill wrote nothing behind the header.
    if (trim) TrimTempSampleFiles(direct && !Store().spilled() ? 0 : finished);
    Store().Stop();
    trim = false;
    return CloseSequenceReport(reportOpen, 0);
  }
};

// Position and length of the entry that overlaying entries combine with.
struct EntryBase {
  int64_t startSample = 0;
  double startTime = 0.0;
  int64_t samples = 0;
};

void FillFillerRow(int slot, bool cw, int64_t samples, double startTime, double duration) {
  SequenceTableRow row;
  row.row = slot;
  row.entryNumber = slot + 1;
  row.name = cw ? "T   -->|  (CW filler)" : "T   -->|  (blank filler)";
  row.startTime = startTime;
  row.duration = duration;
  row.samples = samples;
  EngineHost_FillSequenceTable(row);
  EngineHost_SetTableRowAttribute(slot, kFillerRowFirstColumn, kFillerRowLastColumn, kFillerRowAttribute, 1);
}

// The most samples the waveform file can hold (its SAMPLES tag and block
// length are 32-bit), counted before resampling: a clock above the resampling
// limit goes to kResampleTargetClock, a filter that is on multiplies by its
// oversampling.
int64_t EntrySampleLimit(const SequenceRecord& seq) {
  double growth = 1.0;
  if (seq.clock > kResampleClockLimit) growth = kResampleTargetClock / seq.clock;
  else if (seq.filterOn == 1 && seq.oversampling > 1.0) growth = seq.oversampling;
  const double limit = static_cast<double>(INT32_MAX) / growth;
  // A clock the build refuses (infinite, NaN) gives a growth of 0 or NaN
  // and so an infinite or NaN limit: neither may reach the conversion,
  // which is undefined outside the int64 range.
  if (!(limit >= 0.0)) return 0;
  return limit < 0x1p62 ? static_cast<int64_t>(limit) : INT64_C(0x4000000000000000);
}

void LogEntryTooLong(int slot, const char* name, int64_t limit) {
  LogF("*** Entry %d ('%s'): the waveform would exceed the %lld samples the waveform file can hold.", slot + 1,
       name, static_cast<long long>(limit));
}

// The samples the entries need without jitter, counted as the build counts
// them (into *planned); the first entry that takes the total beyond the
// file's limit is named and the build refused before anything is written.
// 1 fits / 0.
int64_t g_transferLimitBytes = 0;

int SequenceFitsFile(const SequenceRecord& seq, int64_t* planned) {
  const double clock = seq.clock;
  const int64_t limit = EntrySampleLimit(seq);
  double timeLine = 0.0;
  int64_t total = 0;
  for (int s = 0; s < kMaxSequenceEntries; ++s) {
    const SequenceEntry& e = seq.entries[s];
    if (e.pulseId == -1 && e.fillerType == -1) continue;
    const char* name = "";
    if (e.pulseId == -1) {
      if (e.fillerType != SYNC_BLANK && e.fillerType != SYNC_CW) continue;
      const int64_t m = FillerSampleCount(e.fillerTime, timeLine, clock);
      timeLine += static_cast<double>(m) / clock;
      total += m;
      name = e.fillerType == SYNC_CW ? "CW filler" : "blank filler";
    } else {
      const int p = FindPulseById(static_cast<uint32_t>(e.pulseId));
      // The first entry's overlay mode counts as none, as the build plays it.
      if (p < 0 || (s != 0 && e.overlay != 0)) continue;
      name = PulseTable[p].name.c_str();
      int32_t n = 0;
      double duration = 0.0, peak = 1.0, length = 0.0;
      // Errors of the pulse's settings are the build's to report.
      if (!ComputePulse(p, &PulseTable[p], -1, -1, clock, nullptr, &n, &duration, &peak, 1, 0, 0, 1, 1, 1, 0, 0,
                        0.0, s + 1, 0, -1, 0.0, 0.0, &length))
        continue;
      const int64_t m = RepeatedSamples(length, std::max(e.repetitions, 0));
      total += m;
      timeLine += static_cast<double>(m) / clock;
    }
    if (total > limit) {
      LogEntryTooLong(s, name, limit);
      return 0;
    }
  }
  // I/Q of 4 bytes a sample after resampling; said before the user waits for
  // the build, the exact size follows once the file is written.
  const double growth = static_cast<double>(INT32_MAX) / static_cast<double>(std::max<int64_t>(limit, 1));
  const double bytes = 4.0 * static_cast<double>(total) * growth;
  if (g_transferLimitBytes > 0 && bytes > static_cast<double>(g_transferLimitBytes))
    LogF("Warning: The waveform file will have about %.0f bytes; one transfer to the instrument carries at most "
         "%lld bytes. Upload will refuse it.",
         bytes, static_cast<long long>(g_transferLimitBytes));
  *planned = total;
  return 1;
}

// About how many pairs a build of seq forms (jitter aside): every sample of
// a repetition with noise or an off level above one step of the file, else
// its rise, on time and fall (and the first blank sample).
int64_t PlannedPairs(const SequenceRecord& seq) {
  int64_t pairs = 0;
  for (int s = 0; s < kMaxSequenceEntries; ++s) {
    const SequenceEntry& e = seq.entries[s];
    const int p = e.pulseId == -1 ? -1 : FindPulseById(static_cast<uint32_t>(e.pulseId));
    if (p < 0 || e.repetitions <= 0) continue;
    int32_t n = 0;
    double duration = 0.0, peak = 1.0;
    if (!ComputePulse(p, &PulseTable[p], -1, -1, seq.clock, nullptr, &n, &duration, &peak, 1, 0, 0, 1, 1, 1, 0, 0,
                      0.0, s + 1, 0, -1, 0.0, 0.0))
      continue;
    const PulseCounts& c = LastPulseCounts();
    const PulseRecord& pulse = PulseTable[p];
    const bool everySample = pulse.noiseOn != 0 || pulse.attOff < 96.0;
    const int64_t perRepetition = everySample ? c.total : static_cast<int64_t>(c.rise) + c.on + c.fall + 1;
    pairs += perRepetition * e.repetitions;
  }
  return pairs;
}

// An entry combines with the samples of an earlier one.
bool OverlaysEntries(const SequenceRecord& seq) {
  for (int s = 1; s < kMaxSequenceEntries; ++s)
    if (seq.entries[s].pulseId != -1 && seq.entries[s].overlay != 0) return true;
  return false;
}

// The waveform file's data is formed while the entries are written when
// nothing rewrites the temporary files afterwards: no resampling, and no
// entry combined with the samples of an earlier one.
bool FilesKeepEntries(const SequenceRecord& seq) {
  return seq.filterOn != 1 && seq.clock <= kResampleClockLimit && !OverlaysEntries(seq);
}

void TakeBlock(const unsigned char* iq, const unsigned char* markers, int32_t count, double peak) {
  Prepared().Add(iq, markers, count, peak);
}

// One filler entry: samples up to its time, or the "skipped" line when the
// time line is already there. 1 / 0.
int RunFiller(const SequenceRecord& seq, int slot, const SequenceEntry& e, double clock, bool quiet, double& timeLine,
              int64_t& totalSamples, EntryBase& base) {
  const bool cw = e.fillerType == SYNC_CW;
  const double startTime = timeLine;
  int64_t m = 0;
  if (e.fillerTime > timeLine) {
    m = FillerSampleCount(e.fillerTime, timeLine, clock);
    if (totalSamples + m > EntrySampleLimit(seq)) {
      LogEntryTooLong(slot, cw ? "CW filler" : "blank filler", EntrySampleLimit(seq));
      return 0;
    }
    char line[160];
    cz::SnprintfC(line, sizeof line, cw ? "#%3d  CW FILLER %4.3f us" : "#%3d  BLANK FILLER %4.3f us", slot + 1,
                  static_cast<double>(m) / clock * 1e6);
    Log_Message(1, line);
    if (seq.reportColumns[REPORT_FILLERS] && !quiet) EngineHost_ReportWriteLine(line);
    base.startSample = totalSamples;
    base.startTime = timeLine;
    base.samples = m;
    timeLine += static_cast<double>(m) / clock;
    totalSamples += m;
    const int32_t n = m > INT32_MAX ? -1 : static_cast<int32_t>(m);
    const int ok = cw ? WriteCwFiller(kSlotTempIq, kSlotTempMarker, n) : WriteBlankFiller(kSlotTempIq, kSlotTempMarker, n);
    if (!ok) {
      Log_Message(1, cw ? "*** Generation of CW data failed. Check settings."
                        : "*** Generation of blank data failed. Check settings.");
      return 0;
    }
  } else {
    LogF(cw ? "  CW skipped, Time line is already at %4.3f us." : "  BLANK skipped, Time line is already at %4.3f us.",
         timeLine * 1e6);
  }
  if (!quiet) FillFillerRow(slot, cw, m, startTime, static_cast<double>(m) / clock);
  return 1;
}

struct PulseEntryArgs {
  int32_t sequenceIndex;
  int32_t segmentNumber;
  int32_t multiSegmentIndex;
  double timeOffset;
  double clock;
  JitterPool* pool;
  int64_t sampleLimit;  // samples the waveform file can take, before resampling
  // The entries made again from the same engine state: nothing is reported
  // and no table row filled a second time.
  bool quiet = false;
};

// One pulse entry with all its repetitions. 1 / 0 (logged).
int RunPulseEntry(const PulseEntryArgs& a, int slot, const SequenceEntry& e, double& timeLine,
                  int64_t& totalSamples, EntryBase& base, double& peak) {
  const int pulseIndex = FindPulseById(static_cast<uint32_t>(e.pulseId));
  if (pulseIndex < 0) {
    Log_Message(1, "*** Invalid pulse entry");
    return 0;
  }
  const PulseRecord& pulse = PulseTable[pulseIndex];
  // The first entry has nothing to lie on: its overlay mode counts as none,
  // as the Sequence Editor shows it.
  const int combine = slot == 0 ? 0 : e.overlay;
  if (combine != 0) {
    if (!SeekSequenceStart(kSlotTempIq, kSlotTempMarker, static_cast<int32_t>(base.startSample))) return 0;
  } else {
    base.startSample = totalSamples;
    base.startTime = timeLine;
  }
  LogF("#%3d  '%s' (START:%5.3fus  REP:%d)", slot + 1, pulse.name.c_str(),
       static_cast<double>(base.startSample) / a.clock * 1e6, e.repetitions);

  double jitter[kJitterBlocks] = {0.0, 0.0, 0.0, 0.0};
  // The entry's exact time, carried from repetition to repetition: each one
  // starts at the sample nearest to it.
  double fraction = 0.0;
  double entryDuration = 0.0;
  int64_t entryCount = 0;
  const int* modes = nullptr;
  int modeCodes[kJitterBlocks];
  for (int k = 0; k < kJitterBlocks; ++k) modeCodes[k] = e.jitterMode[k];
  modes = modeCodes;

  for (int32_t r = 0; r < e.repetitions; ++r) {
    if (EngineHost_StopPressed() &&
        EngineHost_Confirm("Abort Pulse Creation ?", "Do you really want to abort\nthe pulse creation process ?")) {
      Log_Message(3, " *** User break during '", pulse.name.c_str(), "'");
      EngineHost_NoteUserBreak();
      return 0;
    }
    int32_t update[kJitterBlocks];
    for (int k = 0; k < kJitterBlocks; ++k) update[k] = UpdateFlag(modes[k], r);
    if (!ComputeJitter(&pulse, jitter, a.pool, update, r, e.repetitions, modes[0], modes[1], modes[2], modes[3],
                       slot == 0 && r == 0, r == 0, a.segmentNumber - 1)) {
      Log_Message(3, " *** Error setting up jitter for pulse '", pulse.name.c_str(), "'");
      return 0;
    }
    const int64_t roomLeft = std::clamp<int64_t>(base.samples - entryCount, 0, INT32_MAX);
    int32_t samples = 0;
    double duration = 0.0, length = 0.0;
    if (combine == 0) {
      // Jitter can make a repetition longer than planned: its length is
      // checked against what the file can still take before it is written.
      double plannedPeak = peak;
      if (!ComputePulse(pulseIndex, &pulse, -1, -1, a.clock, jitter, &samples, &duration, &plannedPeak, 1, 0, 0,
                        a.segmentNumber, r + 1, e.repetitions, 0, 0, 0.0, slot + 1, a.sequenceIndex,
                        a.multiSegmentIndex, a.timeOffset, fraction)) {
        Log_Message(1, "*** Generation of pulse data failed. Check settings.");
        LogTempFolderFailure();
        return 0;
      }
      if (totalSamples + entryCount + samples > a.sampleLimit) {
        LogEntryTooLong(slot, pulse.name.c_str(), a.sampleLimit);
        return 0;
      }
    }
    // Every repetition is reported (a skipped one reports nothing): the
    // report routines count repetitions and write their cells by repetition
    // number, and the text report lists each pulse with its own start.
    SetPulseSamplesStart((combine == 0 ? totalSamples : base.startSample) + entryCount);
    if (!ComputePulse(pulseIndex, &pulse, kSlotTempIq, kSlotTempMarker, a.clock, jitter, &samples, &duration, &peak, 0,
                      MarkerMaskFor(e.markerMask, r, e.repetitions), a.quiet ? 0 : 1,
                      a.segmentNumber, r + 1, e.repetitions, combine, static_cast<int32_t>(roomLeft),
                      base.startTime + entryDuration, slot + 1, a.sequenceIndex, a.multiSegmentIndex,
                      a.timeOffset, fraction, &length)) {
      EngineHost_ShowProgressBars(0);
      Log_Message(1, "*** Generation of pulse data failed. Check settings.");
      LogTempFolderFailure();
      return 0;
    }
    CarryRepetition(&fraction, length);
    entryDuration += duration;
    entryCount += samples;
  }

  if (combine == 0) {
    timeLine += entryDuration;
    totalSamples += entryCount;
    base.samples = entryCount;
  } else if (!RestartAtPosition(kSlotTempIq, 3 + 8 * static_cast<off_t>(totalSamples)) ||
             !RestartAtPosition(kSlotTempMarker, static_cast<off_t>(totalSamples))) {
    // The base entry's samples behind the overlay stay as they are; both
    // files continue at their end again.
    LogInternalError(kErrOverlayTail);
    return 0;
  }

  SequenceTableRow row;
  row.row = slot;
  row.entryNumber = slot + 1;
  row.name = pulse.name.c_str();
  for (int k = 0; k < kJitterBlocks; ++k) {
    const char* kw = JitterModeToKeyword(modes[k]);
    row.jitterModes[k] = kw != nullptr ? kw : kNoJitter;
  }
  row.startTime = base.startTime;
  row.duration = entryDuration;
  row.samples = entryCount;
  row.repetitions = e.repetitions;
  row.markerWord = e.markerMask;
  row.combineMode = combine;
  if (!a.quiet) EngineHost_FillSequenceTable(row);
  return 1;
}

// The result of one pass over the entries.
struct EntryRun {
  int64_t totalSamples = 0;
  double peak = 1.0;
};

// Steps 3 to 6 but the report's close: the temporary files, the entries
// into the store (b.direct) or the files, the slots released. 1, or 0 to
// be ended through b.Fail().
int RunEntries(Build& b, const SequenceRecord& seq, const PulseEntryArgs& args, int64_t planned, int entryTotal,
               PulseSampleSink* sink, EntryRun* run) {
  // Step 3: temporary files.
  if (!RecreateTempSampleFiles()) return 0;
  b.trim = true;
  if (!InitBuf(kSlotTempIq, TempIqFile, 1, 1)) return 0;
  b.slot5 = true;
  if (WriteBytes(kSlotTempIq, 3, "IQF") != 3) {
    Log_Message(1, "*** Cannot write to temporary waveform file.");
    return 0;
  }
  if (!InitBuf(kSlotTempMarker, TempMarkerFile, 1, 1)) {
    Log_Message(1, "*** Error initializing temporary marker file buffer.");
    return 0;
  }
  b.slot6 = true;

  // Step 4.
  EngineHost_ShowProgressBars(1);
  EngineHost_SetTotalProgress(0);
  EngineHost_SetTaskProgress(0);
  EngineHost_SetStatus("Building Waveform...");
  if (entryTotal == 0) {
    Log_Message(1, "*** No entries in sequence.");
    return 0;
  }

  // Step 5: the entries. The work pool (and with it the list and rule
  // positions of the jitter engine) starts cleared with every pass.
  std::memset(args.pool, 0, sizeof *args.pool);
  double timeLine = 0.0;
  int64_t totalSamples = 0;
  EntryBase base;
  double peak = 1.0;
  ResetPulseNoise();
  const bool keep = FilesKeepEntries(seq);
  SampleStore& store = Store();
  if (sink != nullptr) {
    Prepared().Begin(planned, false, false);
    SetPulseSampleSink(sink);
  } else {
    Prepared().Begin(planned, keep, keep);
    SetPulseSamplesTap(TakeBlock);
  }
  int k = 0;
  for (int s = 0; s < kMaxSequenceEntries; ++s) {
    const SequenceEntry& e = seq.entries[s];
    if (e.pulseId == -1 && e.fillerType == -1) continue;
    ++k;
    EngineHost_SetTotalProgress(static_cast<int>(25.0 * k / entryTotal));
    if (e.pulseId == -1) {
      if (e.fillerType != SYNC_BLANK && e.fillerType != SYNC_CW) continue;
      if (!RunFiller(seq, s, e, args.clock, args.quiet, timeLine, totalSamples, base)) return 0;
    } else if (!RunPulseEntry(args, s, e, timeLine, totalSamples, base, peak)) {
      return 0;
    }
    b.finished = totalSamples;
  }

  // Step 6: the entries are done; the report closes before post-processing.
  SetPulseSamplesTap(nullptr);
  SetPulseSampleSink(nullptr);
  SetPulseSamplesStart(-1);
  Prepared().Close();
  const bool stored = sink == &store && !store.spilled();
  EngineHost_SetStatus("");
  b.slot5 = b.slot6 = false;
  const int released5 = ReleaseBuf(kSlotTempIq);
  const int released6 = ReleaseBuf(kSlotTempMarker);
  if (!released5 || !released6 || !TrimTempSampleFiles(sink != nullptr && (stored || sink != &store) ? 0 : totalSamples) ||
      (stored && store.samples() != totalSamples)) {
    LogInternalError(kErrEntrySlots);
    return 0;
  }
  b.trim = false;
  run->totalSamples = totalSamples;
  run->peak = peak;
  return 1;
}

}  // namespace

void BuildWaveform_SetTransferLimit(int64_t bytes) { g_transferLimitBytes = bytes > 0 ? bytes : 0; }

int BuildWaveform(int32_t sequenceIndex, int32_t drawPlots, int32_t segmentNumber, int32_t multiSegmentIndex,
                  int32_t reportOpen, double timeOffset) {
  Build b;
  b.reportOpen = reportOpen;
  ForgetTempFolderFailure();
  EngineHost_ForgetUserBreak();
  Log_Message(1, " ");
  Log_Message(1, "===== Building Waveform =====");
  if (sequenceIndex < 0 || sequenceIndex >= SequenceCount) {
    Log_Message(1, "*** No sequence selected.");
    return CloseSequenceReport(reportOpen, 0);
  }
  const SequenceRecord& seq = SequenceTable[sequenceIndex];

  // Step 2: destination.
  Log_Message(3, "SEQUENCE: '", seq.name.c_str(), "'");
  if (seq.waveFile.empty()) {
    EngineHost_SetStatus("Error: Waveform File Name is Empty.");
    return CloseSequenceReport(reportOpen, 0);
  }
  char wavePath[cz::kHomePathSize + 512];
  if (!MakeAbsolutePath(seq.waveFile.c_str(), wavePath, sizeof wavePath)) {
    EngineHost_SetStatus("Error: Cannot Open Destination File.");
    return CloseSequenceReport(reportOpen, 0);
  }
  // The log names the file as it is written, with this host's separators.
  const std::string hostWavePath = cz::HostPath(wavePath);
  Log_Message(3, "FILE    : '", hostWavePath.c_str(), "'");
  if (!DestinationWritable(hostWavePath)) {
    EngineHost_SetStatus("Error: Cannot Open Destination File.");
    return CloseSequenceReport(reportOpen, 0);
  }
  double clock = seq.clock;
  if (!(clock > 0.0)) {
    Log_Message(1, "*** Sample clock must be greater than zero.");
    return CloseSequenceReport(reportOpen, 0);
  }
  if (!(clock <= kMaxBuildClock)) {
    LogF("*** Sample clock %g Hz is out of range: at most %.0f MHz.", clock, kMaxBuildClock / 1e6);
    return CloseSequenceReport(reportOpen, 0);
  }

  // Refused before anything is written: repetition counts the jitter
  // history cannot follow.
  int entryTotal = 0;
  for (int s = 0; s < kMaxSequenceEntries; ++s) {
    const SequenceEntry& e = seq.entries[s];
    if (e.pulseId == -1 && e.fillerType == -1) continue;
    ++entryTotal;
    if (e.pulseId != -1 && e.repetitions > kJitterHistorySize) {
      LogF("*** Entry %d: %d repetitions exceed the limit of %d.", s + 1, e.repetitions, kJitterHistorySize);
      return CloseSequenceReport(reportOpen, 0);
    }
  }
  int64_t planned = 0;
  if (!SequenceFitsFile(seq, &planned)) {
    EngineHost_SetStatus("Error: Waveform Creation Failed. See Log.");
    return CloseSequenceReport(reportOpen, 0);
  }

  // A build that is not to write the temporary files may have to be made
  // again through them (resampled samples that do not fit the store, or sums
  // that are not certain): that needs the engine's state as it was, which
  // modulation plug-ins keep to themselves.
  static EngineStateSnapshot start;
  bool replayable = true;
  for (int s = 0; s < kMaxSequenceEntries; ++s) {
    const int p = seq.entries[s].pulseId == -1 ? -1 : FindPulseById(static_cast<uint32_t>(seq.entries[s].pulseId));
    if (p >= 0 && PulseTable[p].modulation == kModulationPluginCode) replayable = false;
  }
  if (replayable) start.Save();
  const bool resampling = seq.filterOn == 1 || clock > kResampleClockLimit;
  // Nothing reads the temporary files after a build that nothing overlays
  // and that draws no Sequence View: its samples are kept in the store and
  // go to the waveform file as int16 once.
  b.direct = drawPlots == 0 && !OverlaysEntries(seq) &&
             (!resampling || (replayable && StoreCanResample(seq, planned)));
  static JitterPool pool;
  PulseEntryArgs args{sequenceIndex, segmentNumber, multiSegmentIndex, timeOffset, clock, &pool,
                      EntrySampleLimit(seq)};
  SampleStore& store = Store();
  // Samples too many for the store are tallied and made again to be written
  // (from the start when that is foreseen), rather than written to the
  // temporary files and read back.
  const bool mayTally = replayable && !resampling;
  store.Begin(mayTally, mayTally && PlannedPairs(seq) > kStoreSamplesMax);
  EntryRun run;
  if (!RunEntries(b, seq, args, planned, entryTotal, b.direct ? &store : nullptr, &run)) return b.Fail();
  bool stored = b.direct && !store.spilled();
  // Tallied samples are written in a second pass when the peak stayed at
  // full scale and the marker changes were all kept; otherwise the build is
  // made again through the temporary files.
  const bool streamed = stored && store.tallied() && PeakAtFullScale(run.peak) && !store.markers().overflowed();
  bool again = stored && store.tallied() && !streamed;
  if (reportOpen) {
    b.reportOpen = 0;
    if (!CloseSequenceReport(1, 1)) {
      ReleaseWaveBuffers(nullptr, nullptr, nullptr, nullptr);
      return 0;
    }
  }

  // Steps 7-9: resampling / filtering and normalisation.
  PostState post;
  post.sequence = &seq;
  post.samples = run.totalSamples;
  post.clock = clock;
  post.peak = run.peak;
  post.sums = Prepared().Sums(run.totalSamples);
  // Where the file's samples come from when no temporary file holds them.
  SampleStore* source = nullptr;
  if (streamed) {
    EngineHost_SetStatus("Rescaling...");
    EngineHost_SetTotalProgress(50);
    EngineHost_SetTaskProgress(0);
    Log_Message(1, "  ");
    LogF("Peak level is %7.6f", run.peak);
    store.Finish(run.peak, post);
  } else if (stored && !resampling && !again) {
    EngineHost_SetStatus("Rescaling...");
    EngineHost_SetTotalProgress(50);
    EngineHost_SetTaskProgress(0);
    Log_Message(1, "  ");
    LogF("Peak level is %7.6f", run.peak);
    store.Finish(run.peak, post);  // certain: the entries' store holds no uncomputed outputs
    source = &store;
  } else if (stored && !again) {
    const int resampled = ResampleStored(post);
    if (resampled == 0) {
      store.Stop();
      return 0;
    }
    if (resampled > 0) source = &ResampledStore();
    again = resampled < 0;
  }
  if (again) {
    // Made again from the start, through the temporary files, saying
    // nothing it said already.
    start.Restore();
    b.direct = false;
    args.quiet = true;
    Log_Quiet(1);
    const int made = RunEntries(b, seq, args, planned, entryTotal, nullptr, &run);
    Log_Quiet(0);
    if (!made) return b.Fail();
    post = PostState{};
    post.sequence = &seq;
    post.samples = run.totalSamples;
    post.clock = clock;
    post.peak = run.peak;
    stored = false;
  }
  if (!stored && !streamed && !PostProcessSamples(post)) {
    Prepared().Stop();
    store.Stop();
    return 0;
  }
  const int64_t n = post.samples;
  clock = post.clock;
  if (n > INT32_MAX) {
    LogF("*** The waveform of %lld samples exceeds the file format's limit of %d samples.",
         static_cast<long long>(n), INT32_MAX);
    ReleaseWaveBuffers(nullptr, nullptr, nullptr, nullptr);
    store.Stop();
    return 0;
  }

  // Step 10: statistics. Both level offsets are those of the samples as
  // written: a waveform that stays below full scale (attenuated pulses)
  // states its real peak, and Pk/Av is its crest factor. A file whose
  // samples are all zero (blank, or levels below one step) has neither.
  const double rms = n > 0 ? std::sqrt(post.sumSquares / static_cast<double>(n)) : 1.0;
  LogF("RMS  level is %7.6f", rms);
  const bool silent = n > 0 && (post.silent || rms == 0.0);
  double rmsOffset = !silent && rms != 0.0 ? 20.0 * std::log10(1.0 / rms) : 0.0;
  // A waveform normalised to its peak reaches full scale up to the float
  // rounding of the division (a few 1e-8): that is full scale, 0 dB.
  const double peakOffset = !silent && post.writtenPeak > 0.0 && post.writtenPeak < 1.0 - 0x1p-20
                                ? 20.0 * std::log10(1.0 / post.writtenPeak)
                                : 0.0;
  // Crest factor of the samples written, whatever "PEP" makes of the RMS
  // tag; one a rounding error below 0 dB shows as 0.0 dB, never -0.0.
  const double crest = rmsOffset - peakOffset;
  if (g_Settings.Project.pepLevel) {
    // The level set on the generator is that of the peak: the RMS offset
    // takes the peak's (0 dB for a waveform normalised to full scale).
    if (peakOffset == 0.0) Log_Message(1, "RMS offset forced to 0 dB.");
    else LogF("RMS offset forced to the peak offset, %.6f dB.", peakOffset);
    rmsOffset = peakOffset;
  }
  const double shownOffset = crest < 0.0 && crest > -0.05 ? 0.0 : crest;
  char info[160];
  cz::SnprintfC(info, sizeof info, "S:%d  Clk:%4.3f MHz  T:%4.3f \xC2\xB5s   Pk/Av:%2.1f dB", static_cast<int>(n),
                clock / 1e6, static_cast<double>(n) / clock * 1e6, shownOffset);
  EngineHost_SetSequenceInfo(info);
  LastBuildRmsOffset = rmsOffset;
  LastBuildSamples = static_cast<int32_t>(n);
  LastBuildClock = clock;

  // Step 11: the Sequence View.
  if (drawPlots) {
    EngineHost_SetStatus("Drawing...");
    EngineHost_SetTotalProgress(70);
    EngineHost_SetTaskProgress(0);
    EngineHost_SetSequenceViewData(0, std::min<int64_t>(n - 1, kViewSamples - 1), clock, TempIqFile, n);
    EngineHost_DrawSequenceView();
    EngineHost_SetTabPageDimmed(kSequenceViewPage, 0);
  }

  // Step 12: the waveform file.
  EngineHost_SetStatus("Saving...");
  EngineHost_SetTotalProgress(80);
  EngineHost_SetTaskProgress(0);
  WaveLib_SetProgressHook(WriterProgress);
  WaveDescriptor d;
  d.arbClock = d.markerClock = clock;
  d.samples = static_cast<int32_t>(n);
  d.rmsOffset = rmsOffset;
  d.peakOffset = peakOffset;
  d.crestFactor = shownOffset;
  d.comment = seq.comment.empty() ? nullptr : seq.comment.c_str();
  d.copyright = seq.copyright.empty() ? nullptr : seq.copyright.c_str();
  d.statisticsValid = 1;
  const bool markers = g_Settings.Project.allowMarkers != 0;
  // What the entries formed of the file's data: the files stayed as written.
  d.iqInt16 = Prepared().Samples(n);
  if (const auto* changes = Prepared().MarkerChanges(n)) {
    d.markerChanges = changes->data();
    d.markerChangeCount = static_cast<int64_t>(changes->size());
  }
  int written = 0;
  if (streamed) {
    // The samples made a second time from the same state, into the file.
    const std::vector<WaveMarkerChange>& changes = store.markers().changes();
    d.markerChanges = changes.data();
    d.markerChangeCount = static_cast<int64_t>(changes.size());
    WaveFileWriter out;
    if (out.Begin(&d, wavePath, markers ? TempMarkerFile : nullptr)) {
      SampleStream stream(out);
      start.Restore();
      args.quiet = true;
      Log_Quiet(1);
      EntryRun second;
      const int made = RunEntries(b, seq, args, planned, entryTotal, &stream, &second);
      Log_Quiet(0);
      if (!made) {
        SetPulseSampleSink(nullptr);
        ReleaseWaveBuffers(b.slot5 ? TempIqFile : nullptr, b.slot6 ? TempMarkerFile : nullptr, nullptr, nullptr);
        b.slot5 = b.slot6 = false;
      }
      written = made && stream.Finish(store) && out.Finish();
    }
  } else if (source != nullptr) {
    // The store's samples as int16, in order, behind the header.
    const std::vector<WaveMarkerChange>& changes = source->markers().changes();
    d.markerChanges = changes.data();
    d.markerChangeCount = static_cast<int64_t>(changes.size());
    WaveFileWriter out;
    written = out.Begin(&d, wavePath, markers ? TempMarkerFile : nullptr) && source->Write(out) && out.Finish();
  } else {
    written = WaveLib_WriteWaveform(&d, wavePath, TempIqFile, markers ? TempMarkerFile : nullptr);
  }
  Prepared().Stop();
  store.Stop();
  ResampledStore().Stop();
  if (!written) {
    ReleaseWaveBuffers(nullptr, nullptr, nullptr, nullptr);
    WaveLib_ClearProgressHook();
    EngineHost_SetStatus("Error: Generation of Waveform Failed. See Log.");
    return 0;
  }

  // Step 13.
  EngineHost_ShowProgressBars(0);
  WaveLib_ClearProgressHook();
  EngineHost_SetStatus("Waveform Creation Finished Successfully.");
  return CloseSequenceReport(0, 1);
}
