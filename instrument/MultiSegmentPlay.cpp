// Playback of a multi-segment waveform (apply the trigger settings, trigger,
// ask which segment plays) and the naming and counting rules of the build.
#include <cmath>
#include <cstdlib>

#include "app/Log.h"
#include "app/Records.h"
#include "engine/Jitter.h"
#include "instrument/InstrumentTransfer.h"
#include "instrument/MultiSegment.h"
#include "instrument/MultiSegmentInternal.h"
#include "instrument/VisaDev.h"
#include "platform/CLocale.h"
#include "platform/ui/UserInterface.h"

namespace {

constexpr int kMswId = 0;
constexpr double kArmSettleSeconds = 0.2;
constexpr double kRunPollSeconds = 0.1;
constexpr int kRunPolls = 20;
constexpr std::size_t kReplySize = 1024;

const char* const kTriggerModes[] = {"AUTO", "SING", "RETR", "AAUT", "ARET"};   // 1..5
const char* const kExtTriggerModes[] = {"SAME", "NEXT", "NSEAM"};               // 1..3
const char* const kTriggerSources[] = {"INT", "EXT", "BEXT", "OBAS"};           // 1..4

// The keyword of a 1-based enumeration value, or null outside the table.
template <std::size_t N>
const char* Keyword(const char* const (&table)[N], int value) {
  return value >= 1 && value <= static_cast<int>(N) ? table[value - 1] : nullptr;
}

int32_t PathOf(int index) {
  return index >= 0 && index < MultiSegmentCount ? MultiSegmentTable[index].bbPath : 1;
}

}  // namespace

namespace msw_detail {

int RequireInstrument() {
  if (VisaDev_IsOpen(kMswId)) return 1;
  Log_Message(1, "*** No instrument connection established.");
  Log_Status(1, "Error: No Instrument Connected.");
  return 0;
}

int Send(const std::string& command) { return VisaDev_Write(kMswId, command.c_str()); }

int Ask(const std::string& command, std::string* reply) {
  char buffer[kReplySize] = {};
  if (!VisaDev_Query(kMswId, command.c_str(), buffer, sizeof buffer)) return 0;
  *reply = buffer;
  return 1;
}

int ScpiFailure() {
  Log_Status(1, "Error: SCPI Error. See Log.");
  return 0;
}

}  // namespace msw_detail

using msw_detail::Ask;
using msw_detail::Send;

// ---- rules -------------------------------------------------------------------------

std::string MswPathSuffix(int32_t bbPath) { return bbPath >= 1 ? cz::FormatC("%d", bbPath) : std::string(); }

std::string MswInstrumentDirectory(int unixPaths, const char* defaultDir, const char* pathLin,
                                   const char* pathWin) {
  const std::string base = defaultDir ? defaultDir : "";
  std::string dir;
  if (unixPaths) {
    const std::string lin = pathLin ? pathLin : "";
    dir = !lin.empty() && lin[0] == '/' ? lin : base + lin;
  } else {
    const std::string win = pathWin ? pathWin : "";
    dir = win.size() >= 3 && win[1] == ':' && win[2] == '\\' ? win : base + win;
  }
  if (!dir.empty() && (dir.back() == '/' || dir.back() == '\\')) dir.pop_back();
  return dir;
}

std::string MswFileName(const std::string& directory, int unixPaths, const char* target, const char* extension) {
  return directory + (unixPaths ? "/" : "\\") + target + extension;
}

std::string MswSegmentName(const std::string& directory, int unixPaths, const char* target, int number) {
  return directory + (unixPaths ? "/" : "\\") + cz::FormatC("%s-seg%d.wv", target, number);
}

int32_t MswBlankRepetitions(int64_t n, int sequencerOn) {
  if (!sequencerOn || n <= 1000) return 1;
  for (int32_t r = kMswBlankRepetitionSearch; r >= 2; --r)
    if (n % r == 0 && n / r > kMswMinSegmentSamples) return r;
  return 1;
}

std::string MswSanitizeComment(const char* comment) {
  std::string out(comment ? comment : "");
  if (out.size() > 1023) out.resize(1023);
  for (char& c : out) {
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    else if (c == '{') c = '(';
    else if (c == '}') c = ')';
  }
  return out;
}

int MswRepetitionCount(const char* text, int32_t* count) {
  double value = 0.0;
  if (!EvalRuleNumber(text ? text : "", &value)) return 0;
  value = std::floor(value + 0.5);
  if (!(value >= 0.0 && value <= kMswMaxRepetitions)) return 0;
  *count = static_cast<int32_t>(value);
  return 1;
}

// ---- playback --------------------------------------------------------------------

int ApplyMswSettings(int index, int nextSegment, int trigMode, int extMode, int source, double delay,
                     int seqMode) {
  Log_Message(1, "===== Apply MSW settings =====");
  if (!msw_detail::RequireInstrument()) return 0;
  const std::string s = MswPathSuffix(PathOf(index));
  // The sequence is sent with the RF output off; it is switched on again at
  // the end when it was on.
  std::string reply;
  if (!Ask("OUTP" + s + ":STAT?", &reply)) return msw_detail::ScpiFailure();
  const bool rfWasOn = std::atoi(reply.c_str()) != 0;
  if (rfWasOn && !Send("OUTP" + s + ":STAT OFF; *OPC?")) return msw_detail::ScpiFailure();

  if (const char* k = Keyword(kTriggerModes, trigMode))
    if (!Send("SOUR" + s + ":BB:ARB:SEQ " + k + "; *OPC?")) return msw_detail::ScpiFailure();
  const char* mode = seqMode ? "SEQUENCER" : Keyword(kExtTriggerModes, extMode);
  if (mode != nullptr && !Send("SOUR" + s + ":BB:ARB:TRIG:SMOD " + mode + "; *OPC?"))
    return msw_detail::ScpiFailure();
  if (const char* k = Keyword(kTriggerSources, source))
    if (!Send("SOUR" + s + ":BB:ARB:TRIG:SOUR " + k + "; *OPC?")) return msw_detail::ScpiFailure();
  if (!Send("SOUR" + s + cz::FormatC(":BB:ARB:WSEG:NEXT %d; *OPC?", nextSegment)))
    return msw_detail::ScpiFailure();
  if (trigMode != 1) {
    if (!Send("SOUR" + s + ":BB:ARB:TRIG:ARM:EXEC; *OPC?")) return msw_detail::ScpiFailure();
    Delay(kArmSettleSeconds);
  }
  if (!Send("SOUR" + s + cz::FormatC(":BB:ARB:TRIG:EXT:DELAY %f; *OPC?", delay)))
    return msw_detail::ScpiFailure();

  if (rfWasOn) {
    if (trigMode != 1) {
      for (int k = 0; k < kRunPolls; ++k) {
        if (!Ask("SOUR" + s + ":BB:ARB:TRIG:RMOD?", &reply)) return msw_detail::ScpiFailure();
        if (reply.find("RUN") == std::string::npos) break;
        Delay(kRunPollSeconds);
      }
    }
    if (!Send("OUTP" + s + ":STAT ON; *OPC?")) {
      // An "ON" that failed leaves the output in no known state: off again.
      msw_detail::ScpiFailure();
      const RfAfterFailure rf = VisaDev_RfOffAfterFailure(0, "OUTP" + s + ":STAT OFF; *OPC?");
      Log_Status(1, TransferFailureStatus("Error: SCPI Error. See Log.", std::string(), rf).c_str());
      return 0;
    }
  }
  return 1;
}

int TriggerMsw(int index) {
  Log_Message(1, "===== Trigger Multi Segment =====");
  if (!msw_detail::RequireInstrument()) return 0;
  if (!Send("SOUR" + MswPathSuffix(PathOf(index)) + ":BB:ARB:TRIG:EXEC; *OPC?")) return msw_detail::ScpiFailure();
  return 1;
}

int QueryMswSegment(int index, int* segment) {
  int dummy = -1;
  if (segment == nullptr) segment = &dummy;
  *segment = -1;
  Log_Message(1, "===== Trigger Multi Segment =====");
  if (!msw_detail::RequireInstrument()) return 0;
  const std::string s = MswPathSuffix(PathOf(index));
  std::string reply;
  if (!Ask("SOUR" + s + ":BB:ARB:TRIG:RMOD?", &reply)) return msw_detail::ScpiFailure();
  if (reply.find("RUN") != std::string::npos)
    Log_Message(1, "ARB is still in running state. Segment may change if playback has stopped.");
  if (!Ask("SOUR" + s + ":BB:ARB:WSEG?", &reply)) return msw_detail::ScpiFailure();
  *segment = std::atoi(reply.c_str());
  return 1;
}
