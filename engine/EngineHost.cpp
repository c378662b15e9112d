// The host table behind the engine's Stop poll, progress and report calls.
#include "engine/EngineHost.h"

#include <chrono>

namespace {

int ConsoleStopPressed() { return 0; }
void ConsoleSetTaskProgress(double) {}
int ConsoleReportAddEntry(char* errorText, const ReportEntryValues&) {
  if (errorText != nullptr) errorText[0] = '\0';
  return 1;
}
double SteadySeconds() {
  using Clock = std::chrono::steady_clock;
  return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

EngineHost g_host = ConsoleEngineHost();

// Clock readings of the last call passed on; "never" lets the first pass.
struct PollGate {
  bool passed = false;
  double last = 0.0;
};
PollGate g_stopGate;
PollGate g_progressGate;

double HostNow() { return g_host.nowSeconds != nullptr ? g_host.nowSeconds() : SteadySeconds(); }

// True when the interval since the last pass has run out (or the clock went
// backwards, as an injected clock may); records the pass.
bool GateOpen(PollGate& gate) {
  const double now = HostNow();
  const double elapsedMs = (now - gate.last) * 1000.0;
  if (gate.passed && elapsedMs >= 0.0 && elapsedMs < kEngineHostPollIntervalMs) return false;
  gate.passed = true;
  gate.last = now;
  return true;
}

}  // namespace

EngineHost ConsoleEngineHost() {
  EngineHost host;
  host.stopPressed = ConsoleStopPressed;
  host.setTaskProgress = ConsoleSetTaskProgress;
  host.reportAddEntry = ConsoleReportAddEntry;
  host.nowSeconds = SteadySeconds;
  return host;
}

void SetEngineHost(const EngineHost* host) {
  g_host = host != nullptr ? *host : ConsoleEngineHost();
  g_stopGate = PollGate{};
  g_progressGate = PollGate{};
}

const EngineHost& GetEngineHost() { return g_host; }

int EngineHost_StopPressed() {
  if (g_host.stopPressed == nullptr || !GateOpen(g_stopGate)) return 0;
  return g_host.stopPressed() != 0 ? 1 : 0;
}

void EngineHost_SetTaskProgress(double percent) {
  if (g_host.setTaskProgress == nullptr || !GateOpen(g_progressGate)) return;
  g_host.setTaskProgress(percent);
}

namespace {
bool g_userBreak = false;
}  // namespace

void EngineHost_NoteUserBreak() { g_userBreak = true; }
int EngineHost_UserBreak() { return g_userBreak ? 1 : 0; }
void EngineHost_ForgetUserBreak() { g_userBreak = false; }

int EngineHost_ReportAddEntry(char* errorText, const ReportEntryValues& values) {
  if (errorText != nullptr) errorText[0] = '\0';
  if (g_host.reportAddEntry == nullptr) return 1;
  char local[kReportErrorTextSize] = {0};
  char* text = errorText != nullptr ? errorText : local;
  const int ok = g_host.reportAddEntry(text, values);
  text[kReportErrorTextSize - 1] = '\0';
  return ok != 0 ? 1 : 0;
}
