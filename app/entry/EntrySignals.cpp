// SIGTERM, SIGINT and SIGHUP through a self-pipe: the handler writes one
// byte, a socket notifier in the event loop reads it and runs the program's
// reaction on the UI thread.
#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "app/entry/Entry.h"

namespace {

int g_pipe[2] = {-1, -1};
void (*g_onSignal)() = nullptr;
QSocketNotifier* g_notifier = nullptr;

extern "C" void OnTerminationSignal(int) {
  const int saved = errno;
  const char byte = 1;
  // Async-signal-safe: one write; a full pipe already holds a request.
  [[maybe_unused]] const ssize_t n = write(g_pipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

int Entry_WatchTerminationSignals(void (*onSignal)()) {
  g_onSignal = onSignal;
  if (g_notifier != nullptr) return 1;
  if (pipe(g_pipe) != 0) return 0;
  for (int fd : g_pipe) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  g_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read);
  QObject::connect(g_notifier, &QSocketNotifier::activated, []() {
    char buffer[16];
    while (read(g_pipe[0], buffer, sizeof buffer) > 0) {
    }
    if (g_onSignal) g_onSignal();
  });
  struct sigaction action = {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  // A closed terminal or remote session: the same orderly exit, so that the
  // project and settings are saved and the temporary files removed.
  sigaction(SIGHUP, &action, nullptr);
  return 1;
}
