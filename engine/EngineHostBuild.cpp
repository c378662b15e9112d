// The waveform builder's host table and its console defaults.
#include <cstring>

#include "app/Log.h"
#include "engine/EngineHost.h"

namespace {

// Nobody to ask on a console: a Stop that reached the builder was meant.
int ConsoleConfirm(const char*, const char*) { return 1; }
void ConsoleStatus(const char* text) { Log_Status(1, text != nullptr ? text : ""); }
int ConsoleReportClose(char* errorText, int errorSize) {
  if (errorText != nullptr && errorSize > 0) errorText[0] = '\0';
  return 1;
}

EngineBuildHost g_buildHost = ConsoleEngineBuildHost();

}  // namespace

EngineBuildHost ConsoleEngineBuildHost() {
  EngineBuildHost host;
  host.confirm = ConsoleConfirm;
  host.setStatus = ConsoleStatus;
  host.reportClose = ConsoleReportClose;
  return host;
}

void SetEngineBuildHost(const EngineBuildHost* host) {
  g_buildHost = host != nullptr ? *host : ConsoleEngineBuildHost();
}

const EngineBuildHost& GetEngineBuildHost() { return g_buildHost; }

int EngineHost_Confirm(const char* title, const char* message) {
  const auto fn = g_buildHost.confirm != nullptr ? g_buildHost.confirm : ConsoleConfirm;
  return fn(title, message) != 0 ? 1 : 0;
}

void EngineHost_ShowProgressBars(int visible) {
  if (g_buildHost.showProgressBars != nullptr) g_buildHost.showProgressBars(visible);
}

void EngineHost_SetTotalProgress(double percent) {
  if (g_buildHost.setTotalProgress != nullptr) g_buildHost.setTotalProgress(percent);
}

void EngineHost_SetStatus(const char* text) {
  (g_buildHost.setStatus != nullptr ? g_buildHost.setStatus : ConsoleStatus)(text != nullptr ? text : "");
}

void EngineHost_FillSequenceTable(const SequenceTableRow& row) {
  if (g_buildHost.fillSequenceTable != nullptr) g_buildHost.fillSequenceTable(row);
}

void EngineHost_SetTableRowAttribute(int32_t row, int firstColumn, int lastColumn, int attribute, int value) {
  if (g_buildHost.setTableRowAttribute != nullptr)
    g_buildHost.setTableRowAttribute(row, firstColumn, lastColumn, attribute, value);
}

void EngineHost_SetSequenceInfo(const char* text) {
  if (g_buildHost.setSequenceInfo != nullptr) g_buildHost.setSequenceInfo(text != nullptr ? text : "");
}

void EngineHost_SetSequenceViewData(int64_t first, int64_t last, double sampleRate, FILE* iqFile,
                                    int64_t sampleCount) {
  if (g_buildHost.setSequenceViewData != nullptr)
    g_buildHost.setSequenceViewData(first, last, sampleRate, iqFile, sampleCount);
}

int EngineHost_DrawSequenceView() {
  return g_buildHost.drawSequenceView != nullptr ? (g_buildHost.drawSequenceView() != 0 ? 1 : 0) : 1;
}

void EngineHost_TempFilesClosed() {
  if (g_buildHost.tempFilesClosed != nullptr) g_buildHost.tempFilesClosed();
}

void EngineHost_SetTabPageDimmed(int page, int dimmed) {
  if (g_buildHost.setTabPageDimmed != nullptr) g_buildHost.setTabPageDimmed(page, dimmed);
}

int EngineHost_ReportClose(char* errorText, int errorSize) {
  if (errorText != nullptr && errorSize > 0) errorText[0] = '\0';
  const auto fn = g_buildHost.reportClose != nullptr ? g_buildHost.reportClose : ConsoleReportClose;
  const int ok = fn(errorText, errorSize);
  if (errorText != nullptr && errorSize > 0) errorText[errorSize - 1] = '\0';
  return ok != 0 ? 1 : 0;
}

void EngineHost_ReportWriteLine(const char* text) {
  if (g_buildHost.reportWriteLine != nullptr) g_buildHost.reportWriteLine(text != nullptr ? text : "");
}
