// The waveform builder: turns one sequence of the project into a waveform
// file.
//
// The entries are walked in order: blank and CW fillers up to their times,
// and for every pulse repetition the jitter engine followed by the pulse
// computation, which append one float32 I/Q pair and one marker byte per
// sample to the temporary files WV-DATA.TMP (buffer slot 5) and MKR-DATA.TMP
// (slot 6). A clock above 300 MHz is then resampled to 600 MHz, otherwise
// the sequence's own filter resamples and filters when it is on (into
// WV-DATA2.TMP / MKR-DATA2.TMP, slots 7 and 8). The samples are normalised
// to their peak into WV-DATA.TMP, their RMS measured, and the waveform file
// is written through WaveLib_WriteWaveform (write-and-rename, so a failed or
// stopped build leaves an existing file byte for byte).
//
// The builder reaches the user interface only through the host tables of
// engine/EngineHost.h. Internal errors are logged as "*** Internal Error: "
// and ".\Tessera_GenerateWave <step>" with the step numbers below.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// The temporary sample files WV-DATA.TMP and MKR-DATA.TMP (also declared by
// app/TempFiles.h, whose start-up code makes them first): created again by
// every build in the settings' TempDir, open ("w+b") between builds, holding
// the last build's final samples for the Sequence View and the multi-segment
// upload; nullptr while not open.
extern FILE* TempIqFile;
extern FILE* TempMarkerFile;

// What ResetTempSampleFiles leaves open. The files are the user's own: made
// with O_CREAT | O_EXCL | O_NOFOLLOW and mode 0600 (cz::CreatePrivateFile),
// so that no link is followed and nobody else's file is reused.
enum TempFilesAction {
  TEMP_FILES_CLOSE,  // nothing: both handles null
  TEMP_FILES_REUSE,  // both, the files this run made rewritten from their start ("r+b"), else made anew
  TEMP_FILES_EMPTY,  // both, made anew and empty
};
// The only place that closes or reopens TempIqFile and TempMarkerFile.
// Whoever holds either handle (the Sequence View) is told first
// (EngineHost_TempFilesClosed), then both are closed and, unless the action
// is TEMP_FILES_CLOSE, opened again in dir (the folder of this run's
// temporary files, TempDirInUse, when dir is null or empty). 1 when the
// action's files are open, 0 otherwise; a file that cannot be made is
// logged with its reason ("*** Temporary folder '<dir>': <reason>."), the
// caller logs what failed.
int ResetTempSampleFiles(TempFilesAction action, const char* dir = nullptr);

// Why the latest build could not write or make its temporary files
// ("Temporary folder '<folder>': No space left on device."); empty when they
// were written.
const char* BuildWaveform_TempFailure();

// The most bytes one transfer to the instrument carries (0: no limit). A
// build whose waveform file would exceed it, as counted before anything is
// written (jitter aside), logs a warning naming both sizes.
void BuildWaveform_SetTransferLimit(int64_t bytes);

// Samples, RMS offset (dB, as written) and sample clock of the file (Hz,
// after any resampling) of the last successful build.
extern int32_t LastBuildSamples;
extern double LastBuildRmsOffset;
extern double LastBuildClock;

// Buffer slots of the temporary files.
inline constexpr int kSlotTempIq = 5;
inline constexpr int kSlotTempMarker = 6;
inline constexpr int kSlotResampledIq = 7;
inline constexpr int kSlotResampledMarker = 8;

// Clocks above this are resampled to kResampleTargetClock (Hz).
inline constexpr double kResampleClockLimit = 300000000.0;
inline constexpr double kResampleTargetClock = 600000000.0;
// The highest clock a build takes (Hz): stored times keep 10 ps, so a
// shorter sample period could not be set. Above it, and for a clock that is
// no finite number, the build stops before anything else is checked.
inline constexpr double kMaxBuildClock = 100e9;

// Steps named in the internal-error lines.
enum BuildInternalStep {
  kErrOverlayTail = 673,      // copying the rest of an overlaid base entry
  kErrEntrySlots = 691,       // releasing slots 5/6 after the entries
  kErrResampleFiles = 741,    // creating WV-DATA2.TMP / MKR-DATA2.TMP
  kErrSlot7 = 749,
  kErrSlot7Header = 757,
  kErrSlot8 = 766,
  kErrSlot5Read = 774,
  kErrSlot5Header = 782,
  kErrSlot6Read = 790,
  kErrResample600 = 860,
  kErrMarker600Read = 879,
  kErrMarker600Write = 888,
  kErrResampleUser = 930,
  kErrMarkerUserRead = 949,
  kErrMarkerUserWrite = 958,
  kErrReleaseResampled = 971,
  kErrReleaseSource = 979,
  kErrRescaleSlot5 = 998,
  kErrRescaleSlot6 = 1005,
  kErrRescaleSlot7 = 1030,
  kErrRescaleSlot8 = 1038,
  kErrHeaderRead = 1046,
  kErrHeaderWrite = 1054,
  kErrRescaleRead = 1097,
  kErrRescaleWrite = 1114,
  kErrMarkerRead = 1121,
  kErrMarkerWrite = 1127
};

// Builds sequence sequenceIndex (0 .. SequenceCount-1) into its waveform
// file. drawPlots: update the Sequence View afterwards. segmentNumber
// (1-based) and multiSegmentIndex (-1 outside a multi-segment build) go to
// the jitter engine and the report values; reportOpen: a report opened by
// the caller, closed by the build after the last entry; timeOffset (s) is
// added to each entry's start time in the report values. 1 success, 0
// failure (logged, status line set).
int BuildWaveform(int32_t sequenceIndex, int32_t drawPlots, int32_t segmentNumber, int32_t multiSegmentIndex,
                  int32_t reportOpen, double timeOffset);

// Samples of a blank or CW filler that ends at endTime (s) while the time
// line stands at timeLine (s): (endTime - timeLine) x clock (Hz) rounded to
// the nearest integer; 0 when the end is not beyond the time line or the
// clock is not positive. The time line then moves on by samples / clock.
// The Sequence Editor's table counts fillers with this function as well.
int64_t FillerSampleCount(double endTime, double timeLine, double clock);
// n blank samples (I = Q = 0.0) on iqSlot and, when markerSlot >= 0, n
// marker bytes 0. Stop polls and the task bar every 2,000 samples. 1 / 0;
// n < 0 gives 0.
int WriteBlankFiller(int iqSlot, int markerSlot, int32_t n);
// n CW samples (I = 1.0, Q = 0.0; exchanged with the swap-I/Q option) and n
// marker bytes 0.
int WriteCwFiller(int iqSlot, int markerSlot, int32_t n);
// Positions both slots (bound for reading and writing) at sample n with
// their contents unchanged, so that an overlaying entry combines with the
// samples from n on. 1 / 0; n < 0 gives 0.
int SeekSequenceStart(int iqSlot, int markerSlot, int32_t n);
// Failure clean-up: hides the bars, releases slot 5 / 6 / 7 / 8 for each
// file given (closing the two resampling files), and sets the status line
// to "Error: Waveform Creation Failed. See Log.".
void ReleaseWaveBuffers(FILE* iqFile, FILE* markerFile, FILE* iq2File, FILE* marker2File);
// Closes the report when reportOpen is non-zero; result, or 0 when the
// close failed (logged).
int CloseSequenceReport(int32_t reportOpen, int result);
// The same close, unconditionally, for the multi-segment build.
int CloseMswReport();
// Start-up self test of the buffered file unit on slot (bound to
// TempIqFile): write a random pattern, rewrite it complemented in place,
// read it back. 1 passed, 0 failed (logged).
int TestTempBuffers(int slot);
