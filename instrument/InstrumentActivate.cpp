// Waveform upload with select and start, RF lists on the instrument, list
// uploads and diagnostic test points.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "app/Log.h"
#include "instrument/Identify.h"
#include "instrument/InstrumentTransfer.h"
#include "instrument/TransferInternal.h"
#include "instrument/VisaDev.h"
#include "platform/CLocale.h"
#include "platform/ui/UserInterface.h"

using namespace xfer;

namespace {

constexpr std::uint32_t kActivationTimeoutMs = 10000;
constexpr int kArbPolls = 10;
constexpr double kArbPollWaitS = 0.1;
const char* const kDashes36 = "------------------------------------";

bool LogFail(const char* text) {
  Log_Message(1, text);
  return false;
}

// Per instrument id: how its latest select-and-start or RF list operation
// failed (VisaDev_LastFailure).
TransferFailure g_failures[kVisaDevSlotCount];

TransferFailure* FailureOf(int id) { return id >= 0 && id < kVisaDevSlotCount ? &g_failures[id] : nullptr; }

void StartFailureRecord(int id) {
  if (TransferFailure* f = FailureOf(id)) *f = TransferFailure{};
}

// Logs text (when given), names the failed step and returns 0.
int FailAt(int id, const char* step, const char* text) {
  if (text) Log_Message(1, text);
  if (TransferFailure* f = FailureOf(id)) f->step = step;
  return 0;
}

// An upload that returned 0: a failure logs its line; the user's No was
// logged where it was given.
bool UploadEnded(int id, const char* failure) {
  if (!VisaDev_UploadCancelled(id)) Log_Message(1, failure);
  return false;
}

// Sends prefix + body + quoted name + tail; refuses a name with a control
// character before anything is sent.
bool WriteNamed(int id, const std::string& head, const char* name, const char* tail) {
  std::string q;
  if (!QuoteOrRefuse(name ? name : "", &q)) return false;
  return VisaDev_Write(id, (head + q + tail).c_str()) == 1;
}

// Bit 1 (value 2) of "STAT:OPER:COND?" is set while the ARB is still
// getting ready. 1: clear within the polls; 0: the query failed or the bit
// stayed set, each with its own log line.
int WaitArbReady(int id) {
  for (int poll = 0; poll < kArbPolls; ++poll) {
    char reply[4096];
    if (!VisaDev_Query(id, "STAT:OPER:COND?", reply, sizeof reply)) {
      Log_Message(1, "Error checking ARB state");
      return 0;
    }
    Delay(kArbPollWaitS);
    long cond = cz::StrtolC(reply, nullptr, 10);
    if ((cond & 2) == 0) return 1;
  }
  Log_Message(1, "Timeout waiting for ARB to become active");
  return 0;
}

// Raises the session time-out for an activation step and restores it on
// every path after it was raised.
class RaisedTimeout {
 public:
  explicit RaisedTimeout(int id) : id_(id) {}
  ~RaisedTimeout() {
    if (raised_) VisaDev_SetTimeout(id_, saved_);
  }
  int Read() { return VisaDev_GetTimeout(id_, &saved_); }
  int Raise(std::uint32_t ms) {
    raised_ = VisaDev_SetTimeout(id_, ms) == 1;
    return raised_ ? 1 : 0;
  }
  int Restore() {
    raised_ = false;
    return VisaDev_SetTimeout(id_, saved_);
  }

 private:
  int id_;
  std::uint32_t saved_ = 0;
  bool raised_ = false;
};

// Selects the uploaded file and starts it with the I/Q generator commands;
// `preset` sends "SOUR:PRES" first.
int SelectAndStartIq(int id, const char* target, const char* selHead, const char* stateCmd, bool preset) {
  if (preset && !VisaDev_Write(id, "SOUR:PRES")) return LogFail("Error pressetting instrument.");
  if (!WriteNamed(id, selHead, target, "; *OPC?")) return LogFail("Error selecting waveform.");
  RaisedTimeout timeout(id);
  if (!timeout.Read()) return LogFail("Error requesting timeout.");
  if (!timeout.Raise(kActivationTimeoutMs)) return LogFail("Error setting timeout.");
  if (!VisaDev_Write(id, stateCmd)) return LogFail("Error activating BB.");
  if (!timeout.Restore()) return LogFail("Error restoring timeout.");
  return 1;
}

// Sends "<head>#<n><len>" followed by the values as little-endian float64.
int SendDoubleBlock(int id, const std::string& head, const std::vector<double>& values) {
  const std::size_t bytes = 8 * values.size();
  std::vector<unsigned char> buffer;
  buffer.reserve(bytes + 256);
  std::string prefix = head + BlockPrefix(static_cast<std::int64_t>(bytes));
  buffer.assign(prefix.begin(), prefix.end());
  for (double v : values) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    for (int b = 0; b < 8; ++b) buffer.push_back(static_cast<unsigned char>(bits >> (8 * b)));
  }
  return VisaDev_WriteBinary(id, buffer.data(), buffer.size());
}

const char* ListHeader(int kind) {
  switch (kind) {
    case 1: return "SOUR:DM:DLIS:DATA ";
    case 2: return "SOUR:DM:CLIS:DATA ";
    default: return "MMEM:DATA ";
  }
}

int UploadListToPaths(int id, const char* localPath, const char* instrumentPath, int pathMask, std::uint16_t select,
                      bool data) {
  Log_Message(1, "-----------------------------------");
  Log_Message(3, data ? "Transferring data list file " : "Transferring control list file ", localPath ? localPath : "",
              ".");
  if (!VisaDev_UploadFile(id, localPath, instrumentPath)) return UploadEnded(id, "Upload failed.");
  if (select) {
    for (int path = 1; path <= 2; ++path) {
      if (!(pathMask & (1 << (path - 1)))) continue;
      std::string head = std::string(path == 1 ? "SOUR1:" : "SOUR2:") + (data ? "BB:DM:DLIS:SEL " : "BB:DM:CLIS:SEL ");
      if (!WriteNamed(id, head, instrumentPath, "; *OPC?")) {
        return LogFail(data ? "Error selecting data list." : "Error selecting control list.");
      }
    }
  }
  Log_Message(1, "Transfer complete.");
  return 1;
}

int UploadSelectedList(int id, const char* localPath, const char* instrumentPath, bool data) {
  Log_Message(1, "-----------------------------------");
  Log_Message(3, data ? "Transferring data list file " : "Transferring control list file ", localPath ? localPath : "",
              ".");
  // Selecting the list changes the instrument: the question comes first.
  if (!VisaDev_ConfirmUpload(id, instrumentPath)) return UploadEnded(id, "Upload failed.");
  if (!WriteNamed(id, data ? "SOUR:DM:DLIS:SEL " : "SOUR:DM:CLIS:SEL ", instrumentPath, "; *OPC?")) {
    VisaDev_ForgetConfirmations(id);
    return LogFail(data ? "Error selecting data list." : "Error selecting control list.");
  }
  if (!VisaDev_UploadList(id, localPath, instrumentPath, data ? 1 : 2)) return UploadEnded(id, "Upload failed.");
  Log_Message(1, "Transfer complete.");
  return 1;
}

}  // namespace

int VisaDev_SendWaveformIq(int id, const char* localPath, const char* instrumentPath, std::uint16_t run,
                           std::uint16_t noPreset) {
  Log_Message(1, "-----------------------------------");
  Log_Message(3, "Transferring wave file ", localPath ? localPath : "", ".");
  StartFailureRecord(id);
  if (!VisaDev_IsOpen(id)) return LogFail("Device is not open.");
  if (!VisaDev_UploadFile(id, localPath, instrumentPath)) {
    FailAt(id, "File Upload", nullptr);
    return UploadEnded(id, "Upload failed.");
  }
  if (run && !SelectAndStartIq(id, instrumentPath, "SOUR:WAV:SEL ", "SOUR:STAT ON", !noPreset)) {
    return FailAt(id, "Waveform Start", nullptr);
  }
  Log_Message(1, "Upload complete.");
  return 1;
}

int VisaDev_SendWaveformArb(int id, const char* localPath, const char* instrumentPath, int path, std::uint16_t run,
                            std::uint16_t noPreset) {
  const std::string prefix = path == 0 ? "SOUR:" : SourPrefix(path);
  Log_Message(3, "Sending waveform file ", localPath ? localPath : "", "...");
  StartFailureRecord(id);
  if (!VisaDev_IsOpen(id)) return LogFail("Device is not open.");
  if (!VisaDev_UploadFile(id, localPath, instrumentPath)) {
    FailAt(id, "File Upload", nullptr);
    return UploadEnded(id, "Transfer failed.");
  }
  if (run) {
    if (!noPreset && !VisaDev_Write(id, (prefix + "BB:ARB:PRES").c_str())) {
      return FailAt(id, "ARB Preset", "*** Error presetting instrument.");
    }
    if (!WriteNamed(id, prefix + "BB:ARB:WAV:SEL ", instrumentPath, "; *OPC?")) {
      return FailAt(id, "Waveform Selection", "*** Error selecting waveform.");
    }
    if (!VisaDev_Write(id, (prefix + "BB:ARB:STAT ON").c_str())) {
      return FailAt(id, "ARB Start", "*** Error activating ARB.");
    }
  }
  return 1;
}

int VisaDev_CreateRfList(int id, const RfListUpload* list, const char* instrumentPath, int path,
                         std::uint16_t activate) {
  Log_Message(1, kDashes36);
  Log_Message(1, "   Creating RF List on Instrument   ");
  Log_Message(1, kDashes36);
  StartQuestions(id);
  StartFailureRecord(id);
  if (!VisaDev_IsOpen(id)) return LogFail("Wrong Instrument ID specified");
  if (!list || !instrumentPath) return 0;
  // Refused before anything reaches the instrument.
  const std::int32_t maxPoints = InstrumentCapabilities.RfListMax;
  if (list->points < 1 || list->points > maxPoints || !list->frequenciesGHz || !list->levelsDbm) {
    Log_Message(1, cz::FormatC("*** RF list of %d points refused: the instrument takes 1 to %d points.",
                               list->points, maxPoints).c_str());
    return 0;
  }
  // The dwell time goes out as stored ("0.04 ms" stays 0.04 ms); one no
  // instrument takes is refused here, before anything is sent.
  if (activate && !(std::isfinite(list->dwellMs) && list->dwellMs > 0.0)) {
    Log_Message(1, cz::FormatC("*** RF list dwell time of %g ms refused: it must be a positive number of ms.",
                               list->dwellMs).c_str());
    return 0;
  }
  std::string quotedTarget;
  if (!QuoteOrRefuse(instrumentPath, &quotedTarget)) return 0;
  const std::string sour = SourPrefix(path);
  const std::string outp = OutpPrefix(path);

  std::string drive, directory;
  const std::string file = FileNameWithExtension(instrumentPath, &drive, &directory);

  // Both questions come before anything that changes the instrument: the
  // playing signal stays as it is until the user has agreed.
  const int found = VisaDev_FindFile(id, instrumentPath);
  if (found < 0) return 0;
  if (found > 0) {
    Log_Message(1, "Destination file already exists on instrument.");
    if (!AskYesNo("WARNING", "File already exists on instrument. Proceed ?")) {
      MarkCancelled(id);
      return 0;
    }
  }
  const bool activating =
      activate &&
      AskYesNo("RF List Activation",
               "Activating RF list resets the ARB and     \nswitches on the RF signal.                \n"
               "                                          \nDo you want to continue?                ");

  if (!VisaDev_SetDefaultPath(id, drive.c_str(), directory.c_str())) return 0;
  if (activating) {
    if (!VisaDev_Write(id, (sour + "FREQ:MODE CW; *OPC?").c_str())) return LogFail("Error setting CW mode");
    if (!VisaDev_Write(id, (outp + "STAT OFF; *OPC?").c_str())) return LogFail("*** Error switching RF output off.");
    if (!VisaDev_Write(id, (sour + "BB:ARB:PRESET; *OPC?").c_str())) return LogFail("Error presetting ARB.");
  }
  if (found > 0 && !WriteNamed(id, ":MMEM:DEL ", (drive + directory + file).c_str(), "; *OPC?")) {
    return LogFail("Error deleting file on instrument");
  }
  if (!VisaDev_Write(id, (sour + "LIST:SEL " + quotedTarget + "; *OPC?").c_str())) {
    return LogFail("Error creating new RF list");
  }

  std::vector<double> values(static_cast<std::size_t>(list->points));
  for (std::int32_t i = 0; i < list->points; ++i) values[i] = list->frequenciesGHz[i] * 1000000000.0;
  if (!SendDoubleBlock(id, sour + "LIST:FREQ ", values)) return LogFail("Error adding frequency points");
  for (std::int32_t i = 0; i < list->points; ++i) values[i] = list->levelsDbm[i];
  if (!SendDoubleBlock(id, sour + "LIST:POW ", values)) return LogFail("*** Error adding level points.");

  if (!activate) {
    Log_Message(1, "RF List creation finished");
    Log_Message(1, kDashes36);
    return 1;
  }
  if (!activating) {
    Log_Message(1, "Upload complete but list not activated");
    return 1;
  }
  // From the output's "ON" on, a failing step switches it off again: the
  // instrument is never left radiating a CW carrier without its list. The
  // ARB's test signal, which only the list learning needs, is stopped again
  // as well: left running, it would modulate the next carrier switched on.
  bool arbOn = false;
  auto send = [&](const std::string& command) { return VisaDev_Write(id, command.c_str()) == 1; };
  auto fail = [&](const char* step, const char* text) {
    FailAt(id, step, text);
    if (TransferFailure* f = FailureOf(id)) f->rf = VisaDev_RfOffAfterFailure(id, outp + "STAT OFF; *OPC?");
    if (arbOn && send(sour + "BB:ARB:STATE OFF; *OPC?")) Log_Message(1, "ARB switched off after the failure.");
    else if (arbOn) Log_Message(1, "*** The ARB could not be switched off after the failure.");
    return 0;
  };
  if (!send(outp + "STAT ON; *OPC?")) return fail("RF Output On", "*** Error switching RF output on.");
  if (!send(sour + "LIST:DWEL " + cz::ExactRealC(list->dwellMs) + " ms; *OPC?")) {
    return fail("Dwell Time", "Error setting dwell time");
  }
  if (!send(sour + "LIST:MODE AUTO; *OPC?")) return fail("List Mode", "Error setting list mode");
  if (!send(sour + "LIST:TRIG:SOUR AUTO; *OPC?")) return fail("Trigger Source", "Error setting trigger source");
  for (const char* tsig : {"BB:ARB:TSIG:SINE:FREQ 1MHZ; *OPC?", "BB:ARB:TSIG:SINE:SAMP 100; *OPC?",
                           "BB:ARB:TSIG:SINE:CREATE; *OPC?"}) {
    if (!send(sour + tsig)) return fail("ARB Test Signal", "Error presetting ARB");
  }
  // The ARB counts as running from the command on: a failed "ON" is
  // answered with "OFF" as well.
  arbOn = true;
  if (!send(sour + "BB:ARB:STATE ON; *OPC?")) return fail("ARB Start", "Error activating ARB");
  if (!WaitArbReady(id)) return fail("ARB Start", nullptr);
  if (!send(sour + "LIST:LEAR; *OPC?")) return fail("List Learning", "Error learning list mode.");
  Delay(0.5);
  if (!send(sour + "BB:ARB:STATE OFF; *OPC?")) return fail("ARB Stop", "Error deactivating ARB");
  arbOn = false;
  if (!send(sour + "FREQ:MODE LIST; *OPC?")) return fail("List Mode Activation", "Error activating list mode");
  if (!send(sour + "LIST:TRIG:EXEC; *OPC?")) return fail("List Trigger", "Error triggering list");
  Log_Message(1, "RF List creation finished");
  Log_Message(1, kDashes36);
  return 1;
}

int VisaDev_ReadTestPoint(int id, const char* name, double* value, int block) {
  if (value) *value = 0.0;
  if (!VisaDev_IsOpen(id)) return LogFail("Device is not open.");
  if (!name || std::strlen(name) > 128) return LogFail("VisaDev_ReadTestPoint(): String argument too large.");
  std::string q;
  if (!QuoteOrRefuse(name, &q)) return 0;
  char reply[256];
  if (!VisaDev_Query(id, ((block == 2 ? "DIAG2:POIN? " : "DIAG:POIN? ") + q).c_str(), reply, sizeof reply)) {
    return LogFail("Error resding test point.");
  }
  if (value) *value = cz::StrtodC(reply, nullptr);
  return 1;
}

int VisaDev_UploadList(int id, const char* localPath, const char* instrumentPath, int kind) {
  StartQuestions(id);
  const bool confirmed = TakeConfirmation(id, instrumentPath ? instrumentPath : "");
  std::int64_t size = 0;
  FilePtr probe = OpenUploadSource(localPath, instrumentPath, &size);
  if (!probe) return 0;
  probe.reset();
  std::string quotedTarget;
  if (!QuoteOrRefuse(instrumentPath, &quotedTarget)) return 0;

  // The target is looked for in its own directory; a target the user
  // already agreed to replace is not asked about again.
  const int found = VisaDev_FindFile(id, instrumentPath);
  if (found < 0) return 0;
  if (found > 0) {
    Log_Message(1, "Destination file already exists on instrument.");
    if (!confirmed && !AskYesNo("WARNING", "File already exists on instrument. Proceed ?")) {
      MarkCancelled(id);
      return 0;
    }
  }
  VisaDev_ReportProgress(0);
  Log_Message(3, "Opening input file ", localPath, ".");
  FilePtr in = OpenUploadSource(localPath, instrumentPath, &size);
  if (!in) return LogFail("Error opening input file.");
  std::string header = ListHeader(kind);
  if (kind == 0) header += quotedTarget + ",";
  header += BlockPrefix(size);
  Log_Message(3, "Starting transfer: ", header.c_str(), " ...");
  Log_Message(1, Fmt("GPIB >> %lld bytes of binary data.", static_cast<long long>(size)).c_str());
  int ok = StreamBlock(id, header, in.get(), size, BlockStyle{kListChunk, false});
  VisaDev_ReportProgress(100);
  Log_Message(1, ok ? "Data transfer complete." : "Data transfer FAILED.");
  return ok;
}

int VisaDev_UploadListWaveAndSelect(int id, const char* localPath, const char* instrumentPath, std::uint16_t run) {
  Log_Message(1, "-----------------------------------");
  Log_Message(3, "Transferring wave file ", localPath ? localPath : "", ".");
  if (!VisaDev_IsOpen(id)) return LogFail("Device is not open.");
  if (!VisaDev_UploadList(id, localPath, instrumentPath, 0)) return UploadEnded(id, "Upload failed.");
  if (run && !SelectAndStartIq(id, instrumentPath, "ARB:WAV:SEL ", "ARB:STAT ON; *OPC?", false)) return 0;
  Log_Message(1, "Upload complete.");
  return 1;
}

int VisaDev_UploadDataList(int id, const char* localPath, const char* instrumentPath) {
  return UploadSelectedList(id, localPath, instrumentPath, true);
}

int VisaDev_UploadControlList(int id, const char* localPath, const char* instrumentPath) {
  return UploadSelectedList(id, localPath, instrumentPath, false);
}

int VisaDev_UploadDataListToPaths(int id, const char* localPath, const char* instrumentPath, int pathMask,
                                  std::uint16_t select) {
  return UploadListToPaths(id, localPath, instrumentPath, pathMask, select, true);
}

int VisaDev_UploadControlListToPaths(int id, const char* localPath, const char* instrumentPath, int pathMask,
                                     std::uint16_t select) {
  return UploadListToPaths(id, localPath, instrumentPath, pathMask, select, false);
}

TransferFailure VisaDev_LastFailure(int id) {
  const TransferFailure* f = FailureOf(id);
  return f ? *f : TransferFailure{};
}

RfAfterFailure VisaDev_RfOffAfterFailure(int id, const std::string& offCommand) {
  if (VisaDev_Write(id, offCommand.c_str()) == 1) {
    Log_Message(1, "RF output switched off after the failure.");
    return RfAfterFailure::kSwitchedOff;
  }
  Log_Message(1, "*** The RF output could not be switched off after the failure; it may still be on.");
  return RfAfterFailure::kMayBeOn;
}

std::string TransferFailureStatus(const char* message, const std::string& step, RfAfterFailure rf) {
  std::string text = message ? message : "";
  if (rf == RfAfterFailure::kUntouched) return text;
  if (!step.empty()) {
    const bool stop = !text.empty() && text.back() == '.';
    if (stop) text.pop_back();
    text += " at " + step + ".";
  }
  return text + (rf == RfAfterFailure::kSwitchedOff ? " RF Output Is Off." : " RF Output May Still Be On.");
}
