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

}  // namespace cz::sim
