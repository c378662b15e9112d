// The engine's one way to the user interface: a small table of host
// functions for the Stop poll, the task progress bar and the report driver.
//
// The engine never calls the window or the report driver directly; it calls
// the EngineHost_* functions below, which forward to the installed host. The
// console host (installed until SetEngineHost is called) works without a
// window: it never stops, shows no progress and accepts every report entry.
// A host member left null behaves like the console host's.
//
// Long sample loops ask for the Stop button every 2,000 samples, which at
// tens of millions of samples per second would be thousands of event-queue
// drains per second. EngineHost_StopPressed and EngineHost_SetTaskProgress
// therefore pass a call on to the host at most once per
// kEngineHostPollIntervalMs of the host's clock; calls in between return at
// once (the Stop press stays latched by the host until it is polled).
#pragma once

#include <cstdint>

// Shortest wall-clock time between two calls passed on to the host, ms.
inline constexpr double kEngineHostPollIntervalMs = 15.0;
// Size of the error text buffer handed to the report function, bytes.
inline constexpr int kReportErrorTextSize = 1024;

// The values of one reported pulse repetition, in the order of the report
// driver's entry call. Times in s (as realised by the sample counts), PRF in
// Hz or PRI in s, frequency offset and chirp deviation in Hz, phase in
// degrees, levels in dB of attenuation.
struct ReportEntryValues {
  int32_t sequenceIndex = 0;
  int32_t multiSegmentIndex = -1;  // -1 outside a multi-segment build
  int32_t entryNumber = 0;
  int32_t segmentNumber = 0;
  int32_t repetition = 0;          // 1-based
  int32_t repetitions = 0;
  double delay = 0.0;
  double rise = 0.0;
  double on = 0.0;
  double fall = 0.0;
  double off = 0.0;
  double prfOrPri = 0.0;          // PRF in Hz, or PRI in s when prfIsPri is 1
  int32_t prfIsPri = 0;
  double frequency = 0.0;
  double phase = 0.0;
  double onLevel = 0.0;
  double offLevel = 0.0;
  double droop = 0.0;
  double deviation = 0.0;
  double pulseStart = 0.0;
  double timeOffset = 0.0;
};

struct EngineHost {
  // 1 when the user pressed Stop since the last poll, else 0.
  int (*stopPressed)() = nullptr;
  // Task progress bar, percent 0..100.
  void (*setTaskProgress)(double percent) = nullptr;
  // Reports one pulse repetition: 1 accepted, 0 refused with the reason in
  // errorText (kReportErrorTextSize bytes, NUL-terminated).
  int (*reportAddEntry)(char* errorText, const ReportEntryValues& values) = nullptr;
  // Monotonic clock in seconds for the poll interval.
  double (*nowSeconds)() = nullptr;
};

// The console host: never stops, no progress, every report accepted,
// std::chrono::steady_clock.
EngineHost ConsoleEngineHost();
// Installs a copy of host (nullptr: the console host) and restarts the poll
// interval, so that the next Stop poll and progress update pass at once.
void SetEngineHost(const EngineHost* host);
// The installed host.
const EngineHost& GetEngineHost();

// Stop poll, passed on at most once per poll interval; 0 in between.
int EngineHost_StopPressed();
// Task progress, passed on at most once per poll interval.
void EngineHost_SetTaskProgress(double percent);
// Reports one repetition (never throttled). errorText receives the reason of
// a refusal; it is emptied first.
int EngineHost_ReportAddEntry(char* errorText, const ReportEntryValues& values);
// A long loop that ends because a Stop poll said so (the user's Stop, or an
// exit waiting to run) notes it, so that its caller can tell the user's own
// break from a failure. EngineHost_UserBreak: 1 when one was noted since
// EngineHost_ForgetUserBreak (which a build calls at its start).
void EngineHost_NoteUserBreak();
int EngineHost_UserBreak();
void EngineHost_ForgetUserBreak();

// A host whose Stop poll and task bar are the main window's (the Sequence
// Editor's Stop button and the task progress bar), reporting like the
// console host. Defined apart so that programs without a window do not link
// the window run-time.
EngineHost MainWindowEngineHost();

// ---- Waveform builder host -----------------------------------------------
// What the waveform builder (engine/Tessera_GenerateWave.h) needs of the user
// interface besides the Stop poll, task bar and report entries above: the
// abort question, the total bar, the status line, the Sequence Editor's
// entry table and summary text, the Sequence View, the tab dimming and the
// report's close and text lines. A second table of its own, installed with
// SetEngineBuildHost; its console defaults (engine/EngineHostBuild.cpp) answer
// the abort question with yes, send the status line to Log_Status, close
// the report successfully and draw nothing. A member left null behaves like
// the console default.

#include <cstdio>

// One row of the Sequence Editor's entry table.
struct SequenceTableRow {
  int32_t row = 0;                 // entry slot, 0-based
  int32_t entryNumber = 0;         // 1-based
  const char* name = "";           // pulse name or filler text
  const char* jitterModes[4] = {"---", "---", "---", "---"};
  double startTime = 0.0;          // s
  double duration = 0.0;           // s
  int64_t samples = 0;
  int32_t repetitions = 0;
  int32_t markerWord = 0;
  int32_t combineMode = 0;         // 0 "---", 1 "ADD", 2 "MULT", other "???"
};

struct EngineBuildHost {
  // Yes/No question; 1 = yes.
  int (*confirm)(const char* title, const char* message) = nullptr;
  void (*showProgressBars)(int visible) = nullptr;
  // Total progress bar, percent 0..100.
  void (*setTotalProgress)(double percent) = nullptr;
  // Status line text.
  void (*setStatus)(const char* text) = nullptr;
  void (*fillSequenceTable)(const SequenceTableRow& row) = nullptr;
  // Attribute of a cell range of one table row (columns 1-based, inclusive).
  void (*setTableRowAttribute)(int32_t row, int firstColumn, int lastColumn, int attribute,
                               int value) = nullptr;
  // The Sequence Editor's build summary (STR_WVINFO).
  void (*setSequenceInfo)(const char* text) = nullptr;
  // Samples first..last of the temporary I/Q file for the Sequence View.
  void (*setSequenceViewData)(int64_t first, int64_t last, double sampleRate, FILE* iqFile,
                              int64_t sampleCount) = nullptr;
  int (*drawSequenceView)() = nullptr;  // 1 drawn, 0 failed
  // TempIqFile and TempMarkerFile are about to be closed (a build creates
  // them again, the program ends): a holder of either handle drops it.
  void (*tempFilesClosed)() = nullptr;
  // Dims (1) or undims (0) a page of the main window's tab control.
  void (*setTabPageDimmed)(int page, int dimmed) = nullptr;
  // Closes the open report (report type 0): 1, or 0 with the reason in
  // errorText (errorSize bytes).
  int (*reportClose)(char* errorText, int errorSize) = nullptr;
  // A text line for the open text report.
  void (*reportWriteLine)(const char* text) = nullptr;
};

// The console defaults described above.
EngineBuildHost ConsoleEngineBuildHost();
// Installs a copy of host (nullptr: the console defaults).
void SetEngineBuildHost(const EngineBuildHost* host);
const EngineBuildHost& GetEngineBuildHost();

// Forwarders used by the builder (console behaviour for null members).
int EngineHost_Confirm(const char* title, const char* message);
void EngineHost_ShowProgressBars(int visible);
void EngineHost_SetTotalProgress(double percent);
void EngineHost_SetStatus(const char* text);
void EngineHost_FillSequenceTable(const SequenceTableRow& row);
void EngineHost_SetTableRowAttribute(int32_t row, int firstColumn, int lastColumn, int attribute,
                                     int value);
void EngineHost_SetSequenceInfo(const char* text);
void EngineHost_SetSequenceViewData(int64_t first, int64_t last, double sampleRate, FILE* iqFile,
                                    int64_t sampleCount);
int EngineHost_DrawSequenceView();
void EngineHost_TempFilesClosed();
void EngineHost_SetTabPageDimmed(int page, int dimmed);
int EngineHost_ReportClose(char* errorText, int errorSize);
void EngineHost_ReportWriteLine(const char* text);
// ---- end of the waveform builder host ------------------------------------
