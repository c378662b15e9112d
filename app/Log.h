// The message log: one small unit through which every part of the program
// reports progress and failures.
//
// Each writer takes a count followed by that many text pieces (const char*),
// joins them after a prefix into a line of at most 1,024 characters (what
// does not fit is cut), and hands the line to a replaceable output:
//   Log_Message  "%02d:%02d:%02d   " local-time stamp + pieces -> log output
//   Log_Level    stamp with a level tag, filtered by LogMask   -> log output
//   Log_Status   pieces only                                   -> status output
// With no output of a kind attached, lines of that kind go to standard output.
// Error texts begin with "*** " (or "** ") by convention of the callers.
#pragma once

namespace cz {
inline constexpr int kLogLineMax = 1024;  // characters per line, terminator excluded
}

// Levels of Log_Level and their tags.
enum LogLevelBits {
  LOG_INFO = 1,     // " i "
  LOG_WARNING = 2,  // " w "
  LOG_ERROR = 4,    // " e "
  LOG_SEVERE = 8    // " ! "
};

using LogSinkFn = void (*)(const char* text);
using LogSinkExFn = void (*)(int context, const char* text);

void Log_Message(int count, ...);
void Log_Status(int count, ...);
void Log_Level(int level, int count, ...);

// While on, Log_Message and Log_Level drop every line but those of failures
// (holding "***"): a computation made again says nothing it said before.
void Log_Quiet(int on);

// Mask of the levels that Log_Level writes; initial value 0xC.
void Log_SetMask(int mask);
int Log_GetMask();

// Plain outputs; nullptr detaches (standard output again).
void Log_SetLogSink(LogSinkFn output);
void Log_SetStatusSink(LogSinkFn output);
// Extended outputs with the shared context word.
void Log_SetLogSinkEx(int context, LogSinkExFn output);
void Log_SetStatusSinkEx(int context, LogSinkExFn output);

// The local-time source of the stamps, replaceable by tests (nullptr
// restores the system clock). Fills hour, minute, second.
using LogClockFn = void (*)(int* hour, int* minute, int* second);
void Log_SetClock(LogClockFn clock);
