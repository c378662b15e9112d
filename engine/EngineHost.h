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
  double prfOrPri = 0.0;
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

// A host whose Stop poll and task bar are the main window's (the Sequence
// Editor's Stop button and the task progress bar), reporting like the
// console host. Defined apart so that programs without a window do not link
// the window run-time.
EngineHost MainWindowEngineHost();
