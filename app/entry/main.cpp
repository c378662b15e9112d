// The program's entry: unattended runs, one instance per user and the
// command-line switches; Entry_Run does the start-up, the event loop and
// the tear-down.
//
// "--help" and "--version" are answered before anything else runs.
// Two environment variables serve runs without a user:
//   CADENZA_UNATTENDED=1     popups are not shown but written to standard
//                            error (title and text); questions count as "no";
//                            the log's lines go to standard error as well.
//   CADENZA_SCREENSHOT=path  once start-up has completed, the main window is
//                            written to path as a PNG.
#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/LogSinks.h"
#include "app/PanelIds.h"
#include "app/Startup.h"
#include "app/entry/Entry.h"
#include "platform/ProgramInfo.h"
#include "platform/ui/TestDriver.h"
#include "platform/ui/UserInterface.h"

namespace {

constexpr int kScreenshotDelayMs = 500;  // lets the window paint once

// The help text; its layout is the one the manual page is made from
// (cmake/manpage.py): usage lines, a description, then sections.
constexpr const char* kUsage =
    "usage: cadenza [--dstartup] [--no-load-project] [--no-screen-test]\n"
    "       cadenza --help | --version\n"
    "\n"
    "Designs RF pulses, arranges them into sequences and multi-segment waveforms,\n"
    "builds their baseband I/Q waveform files and sends them to a vector signal\n"
    "generator. The switches are looked for anywhere on the command line, also\n"
    "inside one argument; other arguments are ignored.\n"
    "\n"
    "Options:\n"
    "  --dstartup          print each step of the start-up on standard output\n"
    "  --no-load-project   start with an empty project, not the last one\n"
    "  --no-screen-test    skip the check of the screen resolution\n"
    "  -h, --help          print this help and exit\n"
    "  --version           print the version and exit\n"
    "\n"
    "Files:\n"
    "  ~/Cadenza/          the home path: settings.ini, Projects/, Waveforms/ and\n"
    "                      Temp/ (the temporary sample files); a settings.ini in\n"
    "                      the working folder may name another one in its\n"
    "                      [General] section (HomePath = \"/path/\")\n"
    "  /usr/share/cadenza/examples/demo/\n"
    "                      the demo project, Projects/Demo.prj, to open with\n"
    "                      File > Load Project (under the install prefix)\n"
    "\n"
    "Environment:\n"
    "  HOME                the user's folder, which holds the home path\n"
    "  CADENZA_UNATTENDED  1: no popup is shown; popups and the log's lines are\n"
    "                      written to standard error, questions count as \"No\"\n"
    "  CADENZA_SCREENSHOT  a file that the main window is saved to as a PNG once\n"
    "                      the start-up has completed\n";

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
  // Help and version need no window.
  if (cz::AnswerHelpOrVersion(argc, argv, "cadenza", kUsage)) return 0;
  InitUserInterface(argc, argv);
  // The desktop's menu entry (share/applications/cadenza.desktop) and the
  // icon it names stand for the program's windows too.
  QGuiApplication::setDesktopFileName(QStringLiteral("cadenza"));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("cadenza")));
  const char* unattended = std::getenv("CADENZA_UNATTENDED");
  if (unattended != nullptr && unattended[0] != '\0' && unattended[0] != '0') {
    UiTest_SetScriptedPopups(true);
    UiTest_SetUnansweredPopupHandler(&ReportPopup);
    LogWindowSink_CopyToStandardError(1);
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
