#include "app/Log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

int g_mask = 0xC;
bool g_quiet = false;  // Log_Quiet
LogSinkFn g_log_sink = nullptr;
LogSinkFn g_status_sink = nullptr;
LogSinkExFn g_log_sink_ex = nullptr;
LogSinkExFn g_status_sink_ex = nullptr;
int g_context = 0;  // shared by both extended outputs
LogClockFn g_clock = nullptr;

// One line: up to kLogLineMax characters and the terminator. No allocation.
struct LineBuffer {
  char text[cz::kLogLineMax + 1];
  std::size_t len = 0;

  LineBuffer() { text[0] = '\0'; }
  void Append(const char* piece) {
    if (piece == nullptr) return;
    std::size_t room = cz::kLogLineMax - len;
    if (room == 0) return;
    std::size_t n = strnlen(piece, room);
    std::memcpy(text + len, piece, n);
    len += n;
    text[len] = '\0';
  }
  void AppendPieces(int count, va_list ap) {
    for (int i = 0; i < count; ++i) Append(va_arg(ap, const char*));
  }
};

void LocalTime(int* h, int* m, int* s) {
  if (g_clock != nullptr) {
    g_clock(h, m, s);
    return;
  }
  std::time_t now = std::time(nullptr);
  std::tm tmv{};
  localtime_r(&now, &tmv);
  *h = tmv.tm_hour;
  *m = tmv.tm_min;
  *s = tmv.tm_sec;
}

void Stamp(LineBuffer& line, const char* tag) {
  int h = 0, m = 0, s = 0;
  LocalTime(&h, &m, &s);
  char prefix[32];
  if (tag == nullptr)
    std::snprintf(prefix, sizeof prefix, "%02d:%02d:%02d   ", h, m, s);
  else
    std::snprintf(prefix, sizeof prefix, "%02d:%02d:%02d  %s", h, m, s, tag);
  line.Append(prefix);
}

void Deliver(const LineBuffer& line, LogSinkFn plain, LogSinkExFn extended) {
  if (plain == nullptr && extended == nullptr) {
    std::fputs(line.text, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
  } else if (g_context != 0 && extended != nullptr) {
    extended(g_context, line.text);
  } else if (plain != nullptr) {
    plain(line.text);
  }
}

const char* LevelTag(int level) {
  switch (level) {
    case LOG_INFO: return " i ";
    case LOG_WARNING: return " w ";
    case LOG_ERROR: return " e ";
    case LOG_SEVERE: return " ! ";
    default: return "";
  }
}

// A line that a quiet log drops: any but a failure's.
bool Dropped(const LineBuffer& line) { return g_quiet && std::strstr(line.text, "***") == nullptr; }

}  // namespace

void Log_Message(int count, ...) {
  LineBuffer line;
  Stamp(line, nullptr);
  va_list ap;
  va_start(ap, count);
  line.AppendPieces(count, ap);
  va_end(ap);
  if (!Dropped(line)) Deliver(line, g_log_sink, g_log_sink_ex);
}

void Log_Status(int count, ...) {
  LineBuffer line;
  va_list ap;
  va_start(ap, count);
  line.AppendPieces(count, ap);
  va_end(ap);
  Deliver(line, g_status_sink, g_status_sink_ex);
}

void Log_Level(int level, int count, ...) {
  if ((level & g_mask) == 0) return;
  LineBuffer line;
  Stamp(line, LevelTag(level));
  va_list ap;
  va_start(ap, count);
  line.AppendPieces(count, ap);
  va_end(ap);
  if (!Dropped(line)) Deliver(line, g_log_sink, g_log_sink_ex);
}

void Log_Quiet(int on) { g_quiet = on != 0; }

void Log_SetMask(int mask) { g_mask = mask; }
int Log_GetMask() { return g_mask; }
void Log_SetLogSink(LogSinkFn output) { g_log_sink = output; }
void Log_SetStatusSink(LogSinkFn output) { g_status_sink = output; }
void Log_SetLogSinkEx(int context, LogSinkExFn output) {
  g_context = context;
  g_log_sink_ex = output;
}
void Log_SetStatusSinkEx(int context, LogSinkExFn output) {
  g_context = context;
  g_status_sink_ex = output;
}
void Log_SetClock(LogClockFn clock) { g_clock = clock; }
