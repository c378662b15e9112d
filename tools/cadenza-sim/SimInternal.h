// Shared by the simulator's dispatcher and its command handlers.
#pragma once

#include <string>

#include "tools/cadenza-sim/SimInstrument.h"

namespace cz::sim {

// What a handler sees of one program message unit.
struct SimInstrument::Context {
  Connection& conn;
  const Message& msg;
  std::string args;          // text after the header, trimmed
  bool query;
  int suffix;                // numeric suffix of SOURce/OUTPut/CALibration, -1 when none
  std::size_t* blockCursor;  // next unused block of msg
  std::string reply;
  bool hasReply;
};

// Parameter helpers of the command handlers (SimCommands.cpp): the first
// parameter (quoted string or bare token, *rest the text after its comma),
// upper case, and a frequency with an optional unit ("1.5 MHz").
bool SimFirstParam(const std::string& args, std::string* value, std::string* rest = nullptr);
std::string SimUpper(std::string s);
bool SimParseFrequency(const std::string& args, double* hz);

// Error-queue entries the command handlers push ("<code>,\"<text>\"").
inline constexpr char kErrMissing[] = "-109,\"Missing parameter\"";
inline constexpr char kErrIllegal[] = "-224,\"Illegal parameter value\"";
inline constexpr char kErrRange[] = "-222,\"Data out of range\"";
inline constexpr char kErrConflict[] = "-221,\"Settings conflict\"";
inline constexpr char kErrBlock[] = "-161,\"Invalid block data\"";
inline constexpr char kErrNotFound[] = "-256,\"File name not found\"";
inline constexpr char kErrStorage[] = "-250,\"Mass storage error\"";
inline constexpr char kErrNoMatch[] = "469,\"No file matches the pattern\"";

}  // namespace cz::sim
