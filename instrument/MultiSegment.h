// Multi-segment waveforms on the instrument: the build (every segment is
// computed on the PC, uploaded, appended to the instrument's segment
// configuration and, in sequencer mode, to its sequencer list; the
// instrument then assembles the output waveform) and the three playback
// operations of the Multi Segment tab (apply the trigger settings, trigger,
// ask which segment plays).
//
// Every operation works on instrument id 0, which the caller opens before
// and closes after. Results are 1 for success and 0 for failure; the reason
// is logged with a "*** " line and the status line says "Error: ...".
//
// The commands address the baseband path of the record: "SOUR1:", "SOUR2:"
// and "OUTP1:", "OUTP2:" for path 1 and 2, "SOUR:" / "OUTP:" for a path
// below 1.
#pragma once

#include <cstdint>
#include <string>

inline constexpr int32_t kMswMinSegmentSamples = 512;
inline constexpr int32_t kMswMaxRepetitions = 65535;
// The blank search starts at the sequencer's own limit: a count above it
// is refused by the instrument.
inline constexpr int32_t kMswBlankRepetitionSearch = kMswMaxRepetitions;
// Label of a blank filler row in the segment table.
inline constexpr const char* kMswBlankLabel = "T   -->|  (blank filler)";

// Builds multi-segment waveform `index` of MultiSegmentTable on instrument 0.
// 1 on success; kMswBuildStopped when the user confirmed Stop (no failure:
// the segments sent stay, nothing is assembled or started) or cancelled the
// wait for the assembly (nothing started) or for the started ARB; 0 on a
// failure.
inline constexpr int kMswBuildStopped = 2;
int BuildMultiSegment(int index);
// Sends the play settings of waveform `index` (only its baseband path is read
// from the record) with the given trigger values; nextSegment is the segment
// to switch to.
int ApplyMswSettings(int index, int nextSegment, int trigMode, int extMode, int source, double delay,
                     int seqMode);
// Triggers the waveform generator of the record's path.
int TriggerMsw(int index);
// *segment: the number of the segment that plays, -1 until known.
int QueryMswSegment(int index, int* segment);

// ---- rules of the build, without an instrument -------------------------------

// "%d" of the path when it is 1 or more, else "".
std::string MswPathSuffix(int32_t bbPath);

// The directory of the multi-segment files on the instrument: with Unix paths
// pathLin when it begins with '/', else defaultDir + pathLin; otherwise
// pathWin when its second and third characters are ":\", else defaultDir +
// pathWin. One trailing separator is removed.
std::string MswInstrumentDirectory(int unixPaths, const char* defaultDir, const char* pathLin,
                                   const char* pathWin);
// directory + separator + target + extension (".inf_mswv", ".wvs", ".wv").
std::string MswFileName(const std::string& directory, int unixPaths, const char* target, const char* extension);
// The instrument name of segment number (1-based).
std::string MswSegmentName(const std::string& directory, int unixPaths, const char* target, int number);

// A blank of n samples in sequencer mode: the largest r from 65,535 down to 2
// with n % r == 0 and n / r > 512 (1 when none, or when n <= 1,000), so that
// the instrument plays n / r samples r times. Outside sequencer mode 1.
int32_t MswBlankRepetitions(int64_t n, int sequencerOn);

// The comment as the instrument takes it: at most 1,023 characters, every
// character below 0x20 a blank, '{' as '(' and '}' as ')'.
std::string MswSanitizeComment(const char* comment);

// The repetition count of a sequence segment in sequencer mode: a plain
// number or a "rand(min,max,step)" rule, rounded to the nearest
// integer. 1 and *count in 0 .. 65,535, else 0.
int MswRepetitionCount(const char* text, int32_t* count);
