// The program's entry: one instance per user, the command-line switches,
// the start-up, the event loop and the tear-down.
//
// Two environment variables serve runs without a user:
//   CADENZA_UNATTENDED=1     popups are not shown but written to standard
//                            error (title and text); questions count as "no".
//   CADENZA_SCREENSHOT=path  once start-up has completed, the main window is
//                            written to path as a PNG.
#include <QApplication>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/MainCommands.h"
#include "app/PanelIds.h"
#include "app/Startup.h"
#include "app/entry/Entry.h"
#include "platform/ui/TestDriver.h"
#include "platform/ui/UserInterface.h"

namespace {

constexpr int kScreenshotDelayMs = 500;  // lets the window paint once

bool g_inEventLoop = false;
bool g_quitRequested = false;

void ReportPopup(const char* kind, const char* title, const char* text) {
  std::fprintf(stderr, "[%s] %s: %s\n", kind, title ? title : "", text ? text : "");
  std::fflush(stderr);
}

// SIGTERM / SIGINT: as File > Exit, without questions. Before the event loop
// runs, the start-up finishes first and the loop is skipped.
void OnTerminationRequest() {
  if (!g_inEventLoop) {
    g_quitRequested = true;
    return;
  }
  QuitWithoutQuestions();
}

void RaiseMainWindow() {
  if (PANEL_MAIN <= 0) return;
  DisplayPanel(PANEL_MAIN);
  SetPanelAttribute(PANEL_MAIN, ATTR_ACTIVE, 1);
}

// The visible top-level window titled as the main window.
QWidget* MainWindowWidget() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && w->windowTitle().startsWith(QStringLiteral("Torvane Q7 Cadenza"))) return w;
  return nullptr;
}

void SaveScreenshot(const std::string& path) {
  ProcessDrawEvents();
  QWidget* window = MainWindowWidget();
  const bool saved = window != nullptr && window->grab().save(QString::fromStdString(path), "PNG");
  std::fprintf(stderr, saved ? "Screenshot saved to %s\n" : "Screenshot to %s failed\n", path.c_str());
  std::fflush(stderr);
}

}  // namespace

int main(int argc, char** argv) {
  InitUserInterface(argc, argv);
  const char* unattended = std::getenv("CADENZA_UNATTENDED");
  if (unattended != nullptr && unattended[0] != '\0' && unattended[0] != '0') {
    UiTest_SetScriptedPopups(true);
    UiTest_SetUnansweredPopupHandler(&ReportPopup);
  }

  if (!Entry_AcquireInstance()) {
    MessagePopup("Torvane Q7 Cadenza", "Another instance of this application is already running.");
    return 1;
  }
  Entry_ListenForRaise(&RaiseMainWindow);
  Entry_WatchTerminationSignals(&OnTerminationRequest);

  ReadCommandLine(argc, argv);
  if (!InitApplication()) {
    if (StartupEcho) {
      std::fputs("Initialization of application failed.\n", stdout);
      std::fflush(stdout);
    }
    return 1;
  }

  const char* screenshot = std::getenv("CADENZA_SCREENSHOT");
  if (screenshot != nullptr && screenshot[0] != '\0') {
    const std::string path = screenshot;
    QTimer::singleShot(kScreenshotDelayMs, [path]() { SaveScreenshot(path); });
  }

  if (!g_quitRequested) {
    g_inEventLoop = true;
    RunUserInterface();
    g_inEventLoop = false;
  }
  TearDownApplication();
  return 0;
}
