// The program's entry: unattended runs, one instance per user and the
// command-line switches; Entry_Run does the start-up, the event loop and
// the tear-down.
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

#include "app/PanelIds.h"
#include "app/Startup.h"
#include "app/entry/Entry.h"
#include "platform/ui/TestDriver.h"
#include "platform/ui/UserInterface.h"

namespace {

constexpr int kScreenshotDelayMs = 500;  // lets the window paint once

std::string g_screenshot;  // CADENZA_SCREENSHOT

void ReportPopup(const char* kind, const char* title, const char* text) {
  std::fprintf(stderr, "[%s] %s: %s\n", kind, title ? title : "", text ? text : "");
  std::fflush(stderr);
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

void ArmScreenshot() {
  QTimer::singleShot(kScreenshotDelayMs, []() { SaveScreenshot(g_screenshot); });
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

  ReadCommandLine(argc, argv);
  const char* screenshot = std::getenv("CADENZA_SCREENSHOT");
  if (screenshot != nullptr && screenshot[0] != '\0') g_screenshot = screenshot;
  return Entry_Run(g_screenshot.empty() ? nullptr : &ArmScreenshot);
}
