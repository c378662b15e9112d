// VISA device layer: slots, open and close, command and query with logging,
// "*OPC?" and error-queue checks, binary blocks, asynchronous reads and the
// GPIB scan.
#include "instrument/VisaDev.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>

#include "app/Log.h"
#include "platform/CLocale.h"
#include "platform/visa/Visa.h"

VisaDevSlot VisaDevSlotTable[kVisaDevSlotCount];
VisaDev_ProgressFn VisaDev_ProgressCallback = nullptr;

namespace {

constexpr std::uint32_t kOpenTimeoutMs = 5000;
constexpr std::uint32_t kWriteBufSize = 2048;
constexpr std::uint32_t kReadBufSize = 4096;
constexpr std::size_t kShortReplySize = 1024;  // "*OPC?" and ":SYST:ERR?" replies
constexpr std::size_t kBinaryChunk = 2048;
constexpr std::uint32_t kAsyncPiece = 1024;
constexpr std::uint32_t kAsyncWaitMs = 2000;
constexpr std::size_t kLogPiece = 200;  // replies are logged in pieces of this many characters

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool IdInRange(int id) { return id >= 0 && id < kVisaDevSlotCount; }

bool SlotOpen(const VisaDevSlot& s) { return s.session != kVisaDevClosed && s.resourceManager != kVisaDevClosed; }

// VisaDev_IsOpen with the caller's "Device is not open." line.
bool RequireOpen(int id) {
  if (VisaDev_IsOpen(id)) return true;
  Log_Message(1, "Device is not open.");
  return false;
}

std::string Desc(VisaSession handle, VisaStatus status) {
  char text[VISA_DESC_SIZE];
  Visa_StatusDesc(handle, status, text);
  return text;
}

std::string IdText(int id) { return std::to_string(id); }

// Trailing line feeds and carriage returns go; the first character stays.
void StripTrailing(char* text, std::size_t length) {
  while (length > 1 && (text[length - 1] == '\n' || text[length - 1] == '\r')) text[--length] = '\0';
}

// A reply as it is logged: without any line end at its end, so that an
// empty reply ("\n") is logged as '' and every exchange stays one line.
std::string_view Unterminated(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

// "VISA << '<reply>'", in pieces of kLogPiece characters for a long reply.
void LogReply(std::string_view reply) {
  const std::string_view text = Unterminated(reply);
  if (text.size() < kLogPiece) {
    Log_Message(3, "VISA << '", std::string(text).c_str(), "'");
    return;
  }
  for (std::size_t at = 0; at < text.size(); at += kLogPiece) {
    std::string piece(text.substr(at, kLogPiece));
    Log_Message(3, "VISA << '", piece.c_str(), "'...");
  }
}

void ResetSlot(VisaDevSlot& s) {
  s.session = kVisaDevClosed;
  s.resourceManager = kVisaDevClosed;
  s.lastError.Clear();
  s.resource.Clear();
  s.idn.Clear();
  s.options.Clear();
  s.errorCodeCount = 0;
  s.readEnded = false;
  s.failureStatus = VISA_SUCCESS;
}

void CloseSessions(VisaDevSlot& s) {
  if (s.session != kVisaDevClosed) Visa_Close(s.session);
  if (s.resourceManager != kVisaDevClosed) Visa_Close(s.resourceManager);
  s.session = kVisaDevClosed;
  s.resourceManager = kVisaDevClosed;
}

// A reply is read whole within kReplyTimeFactor session time-outs (or the
// limit a test sets); an instrument that never stops talking, or trickles
// its reply a byte at a time, cannot hold the program beyond it.
constexpr std::uint32_t kReplyTimeFactor = 4;
std::uint32_t g_replyTimeLimitMs = 0;  // 0: derived from the session's time-out
bool g_logReads = true;                // VisaDev_SetReadLogging

// The time left for one reply. Each read under it runs with the session's
// time-out cut to what is left; the destructor puts the time-out back.
class ReplyClock {
 public:
  explicit ReplyClock(VisaSession session) : session_(session) {
    std::uint64_t value = kOpenTimeoutMs;
    if (Visa_GetAttribute(session, VISA_ATTR_TMO_VALUE, &value) >= 0) saved_ = static_cast<std::uint32_t>(value);
    const std::uint64_t limit = g_replyTimeLimitMs != 0 ? g_replyTimeLimitMs
                                                         : static_cast<std::uint64_t>(saved_) * kReplyTimeFactor;
    limitMs_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(limit, 0xFFFFFFFFu));
    end_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs_);
  }
  ~ReplyClock() {
    if (cut_) Visa_SetAttribute(session_, VISA_ATTR_TMO_VALUE, saved_);
  }
  ReplyClock(const ReplyClock&) = delete;
  ReplyClock& operator=(const ReplyClock&) = delete;

  // Prepares the next read; false when the time is up.
  bool Arm() {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end_ - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    const auto ms = static_cast<std::uint32_t>(std::min<long long>(left.count(), saved_));
    lastCut_ = ms < saved_;
    if (ms != saved_ || cut_) {
      Visa_SetAttribute(session_, VISA_ATTR_TMO_VALUE, ms);
      cut_ = true;
    }
    return true;
  }
  // A read that timed out under Arm: true when it ran out of the reply's
  // time rather than the session's own time-out.
  bool RanOut(VisaStatus st) const { return st == VISA_ERR_TMO && (lastCut_ || std::chrono::steady_clock::now() >= end_); }
  std::uint32_t LimitMs() const { return limitMs_; }

 private:
  VisaSession session_;
  std::uint32_t saved_ = kOpenTimeoutMs;
  std::uint32_t limitMs_ = 0;
  bool cut_ = false;
  bool lastCut_ = false;
  std::chrono::steady_clock::time_point end_;
};

// Why a read gave up on a reply that did not end in time or in size.
std::string UnendedReason(const ReplyClock& clock, std::size_t bytes) {
  if (bytes > kVisaLongReplyMax) return cz::FormatC("*** Reply not ended after %zu bytes.", kVisaLongReplyMax);
  return cz::FormatC("*** Reply not ended within %u ms.", clock.LimitMs());
}

// Reads and discards input up to END, at most kVisaLongReplyMax bytes
// within the clock's time. Returns the bytes discarded; kVisaDrainFailed
// when a read failed first, kVisaDrainUnended (logged) when the reply went on
// past either bound.
long Drain(VisaSession session, ReplyClock& clock) {
  char scrap[1024];
  std::size_t total = 0;
  for (;;) {
    if (total > kVisaLongReplyMax || !clock.Arm()) {
      Log_Message(1, UnendedReason(clock, total).c_str());
      return kVisaDrainUnended;
    }
    std::uint32_t got = 0;
    VisaStatus st = Visa_Read(session, scrap, sizeof scrap, &got);
    total += std::min<std::size_t>(got, sizeof scrap);
    if (st == VISA_SUCCESS) return static_cast<long>(total);
    if (clock.RanOut(st)) {
      Log_Message(1, UnendedReason(clock, total).c_str());
      return kVisaDrainUnended;
    }
    if (st < 0) return kVisaDrainFailed;
  }
}

// Reads one reply of at most cap - 1 bytes into a zeroed buffer. A reply
// that does not fit is drained to its END and logged, so that its rest can
// never be taken for the reply of a later command; one that does not end
// within the reply bounds fails (VISA_ERR_TMO), and the caller clears the
// session.
VisaStatus ReadReply(VisaSession session, char* buffer, std::size_t cap, std::uint32_t* length) {
  std::memset(buffer, 0, cap);
  ReplyClock clock(session);
  clock.Arm();
  std::uint32_t got = 0;
  VisaStatus st = Visa_Read(session, buffer, static_cast<std::uint32_t>(cap - 1), &got);
  if (got > cap - 1) got = static_cast<std::uint32_t>(cap - 1);
  buffer[got] = '\0';
  *length = got;
  if (clock.RanOut(st)) Log_Message(1, UnendedReason(clock, got).c_str());
  if (st == VISA_SUCCESS_MAX_CNT) {
    long rest = Drain(session, clock);
    if (rest == kVisaDrainUnended) return VISA_ERR_TMO;
    char line[160];
    if (rest >= 0) {
      cz::SnprintfC(line, sizeof line, "*** Reply longer than %zu bytes: %ld further bytes discarded.", cap - 1, rest);
    } else {
      cz::SnprintfC(line, sizeof line, "*** Reply longer than %zu bytes: its rest could not be read.", cap - 1);
    }
    Log_Message(1, line);
  }
  return st;
}

// [+-]digits, nothing else: the code field of a ":SYST:ERR?" reply.
bool ParseErrorCode(std::string_view field, int* code) {
  if (field.empty()) return false;
  std::size_t i = (field[0] == '+' || field[0] == '-') ? 1 : 0;
  if (i == field.size() || field.size() - i > 9) return false;
  for (std::size_t k = i; k < field.size(); ++k) {
    if (field[k] < '0' || field[k] > '9') return false;
  }
  long v = cz::StrtolC(std::string(field).c_str(), nullptr, 10);
  *code = static_cast<int>(v);
  return true;
}

const char* InterfaceName(std::uint16_t type) {
  switch (type) {
    case VISA_INTF_GPIB: return "interface type is 'GPIB'";
    case VISA_INTF_VXI: return "interface type is 'VXI'";
    case VISA_INTF_GPIB_VXI: return "interface type is 'GPIB-VXI'";
    case VISA_INTF_ASRL: return "interface type is 'ASRL'";
    case VISA_INTF_PXI: return "interface type is 'PXI'";
    case VISA_INTF_TCPIP: return "interface type is 'TCPIP'";
    case VISA_INTF_USB: return "interface type is 'USB'";
    default: return "interface type is unknown";
  }
}

// A reply that comes after its read timed out would be taken for the reply
// of the next command, and a lost connection takes every later command with
// it: clear the session (a socket connects anew) so that the next command
// starts afresh.
void DropLateReply(VisaSession session, VisaStatus status) {
  if (status == VISA_ERR_TMO || status == VISA_ERR_CONN_LOST || status == VISA_ERR_IO) Visa_Clear(session);
}

void LogOpenFailure(int id, const VisaDevSlot& s) {
  Log_Message(4, "*** Opening device #", IdText(id).c_str(), " failed: ", s.lastError.c_str());
}

}  // namespace

int VisaDev_Init(char* errorText, std::size_t errorSize) {
  if (errorText && errorSize) errorText[0] = '\0';
  VisaDev_ProgressCallback = nullptr;
  for (VisaDevSlot& s : VisaDevSlotTable) {
    ResetSlot(s);
    s.type = kInstrumentTypeNone;
  }
  VisaSession rm = VISA_NULL;
  if (Visa_OpenDefaultRM(&rm) < 0) {
    if (errorText && errorSize) {
      cz::CopyText(errorText, errorSize, "Failed to open VISA session. Please verify your driver installation.");
    }
    return 0;
  }
  Visa_Close(rm);
  return 1;
}

void VisaDev_SetProgressCallback(VisaDev_ProgressFn fn) { VisaDev_ProgressCallback = fn; }
void VisaDev_ClearProgressCallback() { VisaDev_ProgressCallback = nullptr; }
void VisaDev_ReportProgress(int percent) {
  if (VisaDev_ProgressCallback) VisaDev_ProgressCallback(percent);
}

void VisaDev_SetWaitHook(int (*hook)()) { Visa_SetWaitHook(hook); }
int (*VisaDev_WaitHook())() { return Visa_GetWaitHook(); }

void VisaDev_GetVersion(int* major, int* minor) {
  if (major) *major = 5;
  if (minor) *minor = 7;
}

int VisaDev_IsOpen(int id) {
  if (!IdInRange(id)) {
    Log_Message(1, "Wrong Instrument ID specified.");
    return 0;
  }
  return SlotOpen(VisaDevSlotTable[id]) ? 1 : 0;
}

int VisaDev_GetSession(int id, std::int32_t* session) {
  if (!IdInRange(id)) {
    Log_Message(1, "Wrong Instrument ID specified.");
    return 0;
  }
  if (session) *session = VisaDevSlotTable[id].session;
  return 1;
}

int VisaDev_Open(int id, const char* resource) {
  if (!IdInRange(id)) {
    Log_Message(1, "Wrong Instrument ID specified.");
    return 0;
  }
  VisaDevSlot& s = VisaDevSlotTable[id];
  if (SlotOpen(s)) {
    Log_Message(1, "Device is already open.");
    return 0;
  }
  if (!resource) resource = "";
  Log_Message(4, "Opening VISA '", resource, "' as device #", IdText(id).c_str());
  s.lastError.Clear();
  s.failureStatus = VISA_SUCCESS;

  VisaSession rm = VISA_NULL;
  if (Visa_OpenDefaultRM(&rm) < 0) {
    s.lastError = "ERROR : Failed to open remote session.";
    LogOpenFailure(id, s);
    return 0;
  }
  s.resourceManager = rm;

  VisaSession session = VISA_NULL;
  VisaStatus st = Visa_Open(rm, resource, 0, 0, &session);
  if (st != VISA_SUCCESS) {
    // A positive completion code counts as failure too.
    s.lastError = "ERROR : Failed to open instrument session ( viOpen() ): ";
    s.lastError.Append(Desc(rm, st));
    s.failureStatus = st < 0 ? st : VISA_ERR_IO;
    if (session != VISA_NULL) Visa_Close(session);
    Visa_Close(rm);
    s.session = kVisaDevClosed;
    s.resourceManager = kVisaDevClosed;
    LogOpenFailure(id, s);
    return 0;
  }
  s.session = session;

  bool ok = Visa_SetAttribute(session, VISA_ATTR_TMO_VALUE, kOpenTimeoutMs) >= 0 &&
            Visa_SetBuf(session, VISA_WRITE_BUF, kWriteBufSize) >= 0 &&
            Visa_SetBuf(session, VISA_READ_BUF, kReadBufSize) >= 0 &&
            Visa_SetAttribute(session, VISA_ATTR_WR_BUF_OPER_MODE, VISA_FLUSH_ON_ACCESS) >= 0 &&
            Visa_SetAttribute(session, VISA_ATTR_RD_BUF_OPER_MODE, VISA_FLUSH_ON_ACCESS) >= 0;
  VisaStatus cls = VISA_SUCCESS;
  if (ok) {
    SleepMs(20);
    cls = Visa_WriteText(session, "*CLS");
    ok = cls >= 0;
  }
  if (!ok) {
    // A "*CLS" that failed says why (another client's lock, a time-out).
    s.lastError = "ERROR : Failed to set VISA parameter.";
    if (cls < 0) s.lastError.Append(" *CLS: " + Desc(session, cls));
    s.failureStatus = cls < 0 ? cls : VISA_ERR_IO;
    CloseSessions(s);
    Log_Message(1, "FAILED");
    LogOpenFailure(id, s);
    return 0;
  }
  SleepMs(20);
  s.resource = resource;

  if (!VisaDev_Query(id, "*IDN?", s.idn.data(), kVisaIdnSize)) {
    s.idn.Clear();
    CloseSessions(s);
    LogOpenFailure(id, s);
    return 0;
  }
  if (!VisaDev_Query(id, "*OPT?", s.options.data(), kVisaOptionsSize)) {
    s.options.Clear();
    s.idn.Clear();
    CloseSessions(s);
    LogOpenFailure(id, s);
    return 0;
  }
  s.type = InstrumentTypeFromIdn(s.idn.c_str());
  return 1;
}

std::int32_t VisaDev_FailureStatus(int id) { return IdInRange(id) ? VisaDevSlotTable[id].failureStatus : 0; }

int VisaDev_Close(int id) {
  if (!RequireOpen(id)) return 0;
  VisaDevSlot& s = VisaDevSlotTable[id];
  // Fails harmlessly on sockets, which have no remote/local state.
  Visa_GpibControlREN(s.session, VISA_GPIB_REN_DEASSERT_GTL);
  CloseSessions(s);
  s.lastError.Clear();
  s.resource.Clear();
  s.idn.Clear();
  s.options.Clear();
  Log_Message(3, "Device ", IdText(id).c_str(), " closed.");
  return 1;
}

int VisaDev_CloseAll() {
  for (int id = 0; id < kVisaDevSlotCount; ++id) {
    if (!VisaDev_Close(id)) break;
  }
  return 1;
}

int VisaDev_Write(int id, const char* command) {
  if (!RequireOpen(id)) return 0;
  VisaDevSlot& s = VisaDevSlotTable[id];
  if (!command) command = "";
  Log_Message(3, "VISA >> '", command, "'");
  if (command[0] != '\0') {
    VisaStatus st = Visa_WriteText(s.session, command);
    if (st < 0) {
      s.lastError = "ERROR : W ";
      s.lastError.Append(Desc(s.session, st));
      s.failureStatus = st;
      DropLateReply(s.session, st);
      return 0;
    }
  }
  const bool opc = std::strstr(command, "*OPC?") != nullptr;
  if (opc) {
    char reply[kShortReplySize];
    std::uint32_t got = 0;
    VisaStatus st = ReadReply(s.session, reply, sizeof reply, &got);
    if (st < 0) {
      s.lastError = "ERROR : R ";
      s.lastError.Append(Desc(s.session, st));
      s.failureStatus = st;
      DropLateReply(s.session, st);
      return 0;
    }
    StripTrailing(reply, got);
    if (reply[0] != '1') {
      s.lastError = "ERROR : R Unexpected Result '" + std::string(Unterminated(reply)) + "'";
      return 0;
    }
    LogReply(reply);
  }
  // Other queries leave their reply for a later read (a block download
  // reads the ":MMEM:DATA?" reply itself).
  if (opc || std::strchr(command, '?') == nullptr) {
    if (!VisaDev_CheckError(id)) return 0;
  }
  return 1;
}

namespace {

// The command of a query with its log line; false (last error set) when it
// cannot be sent. An empty command sends nothing.
bool SendQuery(VisaDevSlot& s, const char* command) {
  if (!command || command[0] == '\0') return true;
  Log_Message(3, "VISA >> '", command, "'");
  VisaStatus st = Visa_WriteText(s.session, command);
  if (st >= 0) return true;
  s.lastError = "ERROR : W ";
  s.lastError.Append(Desc(s.session, st));
  s.failureStatus = st;
  DropLateReply(s.session, st);
  return false;
}

void ReadFailed(VisaDevSlot& s, VisaStatus st) {
  s.lastError = "ERROR : R ";
  s.lastError.Append(Desc(s.session, st));
  s.failureStatus = st;
  DropLateReply(s.session, st);
}

}  // namespace

int VisaDev_Query(int id, const char* command, char* reply, std::size_t size) {
  if (!RequireOpen(id)) return 0;
  if (!reply || size < 2) {
    Log_Message(1, "ERROR : Invalid receive buffer!");
    return 0;
  }
  VisaDevSlot& s = VisaDevSlotTable[id];
  if (!SendQuery(s, command)) return 0;
  std::uint32_t got = 0;
  VisaStatus st = ReadReply(s.session, reply, size, &got);
  if (st < 0) {
    ReadFailed(s, st);
    return 0;
  }
  StripTrailing(reply, got);
  LogReply(reply);
  return VisaDev_CheckError(id);
}

int VisaDev_QueryAll(int id, const char* command, std::string* reply) {
  if (!RequireOpen(id)) return 0;
  if (!reply) {
    Log_Message(1, "ERROR : Invalid receive buffer!");
    return 0;
  }
  reply->clear();
  VisaDevSlot& s = VisaDevSlotTable[id];
  if (!SendQuery(s, command)) return 0;
  char piece[kReadBufSize];
  ReplyClock clock(s.session);
  for (;;) {
    // Nothing bounds a reply but these limits: past them the reply is
    // refused rather than acted on in part, and the session is cleared.
    if (reply->size() > kVisaLongReplyMax || !clock.Arm()) {
      const bool tooLong = reply->size() > kVisaLongReplyMax;
      Log_Message(1, UnendedReason(clock, reply->size()).c_str());
      s.lastError = tooLong ? cz::FormatC("ERROR : R Reply longer than %zu bytes.", kVisaLongReplyMax)
                            : cz::FormatC("ERROR : R Reply not ended within %u ms.", clock.LimitMs());
      Visa_Clear(s.session);
      return 0;
    }
    std::uint32_t got = 0;
    VisaStatus st = Visa_Read(s.session, piece, sizeof piece, &got);
    if (st < 0) {
      if (clock.RanOut(st)) Log_Message(1, UnendedReason(clock, reply->size()).c_str());
      ReadFailed(s, st);
      return 0;
    }
    reply->append(piece, std::min<std::size_t>(got, sizeof piece));
    if (st != VISA_SUCCESS_MAX_CNT) break;  // END came with this piece
  }
  reply->resize(Unterminated(*reply).size());
  LogReply(*reply);
  return VisaDev_CheckError(id);
}

int VisaDev_CheckError(int id) {
  if (!IdInRange(id)) {
    Log_Message(1, "Wrong Instrument ID specified.");
    return 0;
  }
  VisaDevSlot& s = VisaDevSlotTable[id];
  s.errorCodeCount = 0;
  int result = 1;
  for (int round = 0; round < kVisaErrorRounds; ++round) {
    VisaStatus st = Visa_WriteText(s.session, ":SYST:ERR?");
    if (st != VISA_SUCCESS) {
      Log_Message(1, ":SYST:ERR? Command failed.");
      s.lastError = "ERROR : W :SYST:ERR? " + Desc(s.session, st);
      DropLateReply(s.session, st);
      return 0;
    }
    char reply[kShortReplySize];
    std::uint32_t got = 0;
    st = ReadReply(s.session, reply, sizeof reply, &got);
    if (st != VISA_SUCCESS) {
      Log_Message(1, "No response from :SYST:ERR?");
      s.lastError = "ERROR : R :SYST:ERR? " + Desc(s.session, st);
      DropLateReply(s.session, st);
      return 0;
    }
    StripTrailing(reply, got);
    std::string_view text(reply);
    int code = 0;
    if (!ParseErrorCode(text.substr(0, text.find(',')), &code)) {
      // Out of step with the instrument (a stray reply, a block): clear the
      // session so that the next command starts afresh.
      const std::string shown(Unterminated(reply));
      Log_Message(3, "*** Unexpected reply to :SYST:ERR? '", shown.c_str(), "'");
      s.lastError = "ERROR : R Unexpected reply to :SYST:ERR? '" + shown + "'";
      Visa_Clear(s.session);
      return 0;
    }
    if (code == 0) return result;
    Log_Message(3, ":SYST:ERR? resports '", std::string(Unterminated(reply)).c_str(), "'");
    if (s.lastError.size() + text.size() < kVisaLastErrorSize - 1) s.lastError.Append(text);
    s.errorCodes[s.errorCodeCount++] = code;
    result = 0;
  }
  return 0;
}

bool VisaDev_LastErrorHasCode(int id, int code) {
  if (!IdInRange(id)) return false;
  const VisaDevSlot& s = VisaDevSlotTable[id];
  for (int i = 0; i < s.errorCodeCount; ++i) {
    if (s.errorCodes[i] == code) return true;
  }
  return false;
}

int VisaDev_GetLastError(int id, char* text) {
  if (!text) return 0;
  cz::CopyText(text, kVisaLastErrorSize, "Undefined error.");
  if (!IdInRange(id)) {
    Log_Message(1, "Wrong Instrument ID specified.");
    Log_Message(1, "Wrong Instrument ID specified.");
    return 0;
  }
  VisaDevSlot& s = VisaDevSlotTable[id];
  // A failed open leaves the slot closed but keeps its reason readable.
  if (!SlotOpen(s) && s.lastError.empty()) {
    Log_Message(1, "Wrong Instrument ID specified.");
    return 0;
  }
  cz::CopyText(text, kVisaLastErrorSize, s.lastError.view());
  s.lastError.Clear();
  return 1;
}

void VisaDev_LogFailure(int id, const char* message) {
  if (!message) message = "";
  if (!IdInRange(id) || VisaDevSlotTable[id].lastError.empty()) {
    Log_Message(1, message);
    return;
  }
  VisaDevSlot& s = VisaDevSlotTable[id];
  Log_Message(3, message, " ", s.lastError.c_str());
  s.lastError.Clear();
}

int VisaDev_GetInterfaceType(int id, std::uint16_t* type) {
  if (!RequireOpen(id)) return 0;
  std::uint64_t value = 0;
  if (Visa_GetAttribute(VisaDevSlotTable[id].session, VISA_ATTR_INTF_TYPE, &value) != VISA_SUCCESS) return 0;
  if (type) *type = static_cast<std::uint16_t>(value);
  return 1;
}

int VisaDev_GetTimeout(int id, std::uint32_t* ms) {
  if (!RequireOpen(id)) return 0;
  std::uint64_t value = 0;
  if (Visa_GetAttribute(VisaDevSlotTable[id].session, VISA_ATTR_TMO_VALUE, &value) < 0) return 0;
  if (ms) *ms = static_cast<std::uint32_t>(value);
  return 1;
}

int VisaDev_SetTimeout(int id, std::uint32_t ms) {
  if (!RequireOpen(id)) return 0;
  return Visa_SetAttribute(VisaDevSlotTable[id].session, VISA_ATTR_TMO_VALUE, ms) < 0 ? 0 : 1;
}

int VisaDev_WriteBinary(int id, const void* data, std::size_t length) {
  if (!RequireOpen(id)) return 0;
  VisaDevSlot& s = VisaDevSlotTable[id];
  VisaDev_ReportProgress(0);
  char line[96];
  cz::SnprintfC(line, sizeof line, "sending binary (%4.3f kB)", static_cast<double>(length) / 1024.0);
  Log_Message(1, line);
  if (length == 0 || !data) {
    VisaDev_ReportProgress(100);
    return 1;
  }
  std::uint16_t intf = 0;
  VisaDev_GetInterfaceType(id, &intf);
  Log_Message(1, InterfaceName(intf));
  if (intf == VISA_INTF_GPIB) VisaDev_Write(id, ":SYST:COMM:GPIB:LTER EOI; *OPC?");

  std::uint64_t savedEnd = 1;
  Visa_GetAttribute(s.session, VISA_ATTR_SEND_END_EN, &savedEnd);
  Visa_SetAttribute(s.session, VISA_ATTR_SEND_END_EN, 0);

  const auto* bytes = static_cast<const unsigned char*>(data);
  std::size_t remaining = length;
  int blocks = 0;
  int lastPercent = 0;
  VisaStatus st = VISA_SUCCESS;
  bool shortWrite = false;
  while (remaining > 0) {
    std::size_t chunk = kBinaryChunk;
    if (remaining <= kBinaryChunk) {
      chunk = remaining;
      Visa_SetAttribute(s.session, VISA_ATTR_SEND_END_EN, 1);  // END with the last byte
    }
    std::uint32_t written = 0;
    st = Visa_Write(s.session, bytes + (length - remaining), static_cast<std::uint32_t>(chunk), &written);
    if (st < 0) break;
    if (written < chunk) {
      shortWrite = true;
      break;
    }
    ++blocks;
    remaining -= chunk;
    int percent = static_cast<int>((1.0 - static_cast<double>(remaining) / static_cast<double>(length)) * 100.0);
    if (percent != lastPercent) {
      VisaDev_ReportProgress(percent);
      lastPercent = percent;
    }
  }
  Visa_SetAttribute(s.session, VISA_ATTR_SEND_END_EN, savedEnd);
  cz::SnprintfC(line, sizeof line, "%d blocks sent", blocks);
  Log_Message(1, line);
  if (intf == VISA_INTF_GPIB) VisaDev_Write(id, ":SYST:COMM:GPIB:LTER STAN; *OPC?");

  if (st < 0 || shortWrite) {
    s.lastError = st < 0 ? "*** " + Desc(s.session, st) : std::string("*** Incorrect number of bytes transferred.");
    Log_Message(1, s.lastError.c_str());
    // The instrument is waiting for the rest of a block: start afresh.
    VisaDev_ClearSession(id);
    return 0;
  }
  if (!VisaDev_CheckError(id)) return 0;
  VisaDev_ReportProgress(100);
  return 1;
}

int VisaDev_ReadAsync(int id, void* buffer, std::uint32_t maximum, std::uint32_t* received, bool replyStart) {
  if (!RequireOpen(id)) return 0;
  VisaDevSlot& s = VisaDevSlotTable[id];
  // The first byte of a reply may come late (the instrument reads a large
  // file first): it is waited for within the reply's time bound.
  const auto firstEnd =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(replyStart ? ReplyClock(s.session).LimitMs() : 0);
  char line[96];
  cz::SnprintfC(line, sizeof line, "async read (max %4.3f kB)", static_cast<double>(maximum) / 1024.0);
  if (g_logReads) Log_Message(1, line);
  Visa_EnableEvent(s.session, VISA_EVENT_IO_COMPLETION, VISA_QUEUE, 0);
  std::uint32_t total = 0;
  if (received) *received = 0;
  s.readEnded = false;
  auto* bytes = static_cast<unsigned char*>(buffer);
  while (total < maximum) {
    std::uint32_t ask = maximum - total < kAsyncPiece ? maximum - total : kAsyncPiece;
    std::uint32_t job = 0;
    VisaStatus st = Visa_ReadAsync(s.session, bytes + total, ask, &job);
    if (st < 0) {
      Log_Message(1, "ERROR : viReadAsync failed.");
      s.lastError = "ERROR : R " + Desc(s.session, st);
      if (received) *received = total;
      return 0;
    }
    std::uint32_t eventType = 0;
    VisaSession context = VISA_NULL;
    st = Visa_WaitOnEvent(s.session, VISA_EVENT_IO_COMPLETION, kAsyncWaitMs, &eventType, &context);
    while (st == VISA_ERR_TMO && total == 0 && std::chrono::steady_clock::now() < firstEnd)
      st = Visa_WaitOnEvent(s.session, VISA_EVENT_IO_COMPLETION, kAsyncWaitMs, &eventType, &context);
    if (st < 0) {
      // No count for this piece: abort the pending read so that its buffer
      // is released and nothing arrives behind the caller's back.
      Visa_Terminate(s.session, VISA_NORMAL, job);
      cz::SnprintfC(line, sizeof line, "*** Asynchronous read timed out after %u bytes.", total);
      Log_Message(1, line);
      s.lastError = line;
      if (received) *received = total;
      return 0;
    }
    std::uint64_t count = 0;
    std::uint64_t status = 0;
    Visa_GetAttribute(context, VISA_ATTR_RET_COUNT, &count);
    Visa_GetAttribute(context, VISA_ATTR_STATUS, &status);
    Visa_Close(context);
    if (count > ask) count = ask;
    total += static_cast<std::uint32_t>(count);
    const auto readStatus = static_cast<VisaStatus>(static_cast<std::int32_t>(status));
    if (readStatus < 0) {
      s.lastError = "ERROR : R " + Desc(s.session, readStatus);
      Log_Message(1, s.lastError.c_str());
      if (received) *received = total;
      return 0;
    }
    // END before the count: the message is over, a further read could only
    // time out.
    s.readEnded = readStatus == VISA_SUCCESS;
    if (count == 0 || (readStatus == VISA_SUCCESS && count < ask)) break;
  }
  if (received) *received = total;
  cz::SnprintfC(line, sizeof line, "Read %ld Bytes", static_cast<long>(total));
  if (g_logReads) Log_Message(1, line);
  return 1;
}

void VisaDev_SetReadLogging(bool on) { g_logReads = on; }

int VisaDev_ClearSession(int id) {
  if (!RequireOpen(id)) return 0;
  VisaDevSlot& s = VisaDevSlotTable[id];
  VisaStatus st = Visa_Clear(s.session);
  if (st < 0) {
    Log_Message(2, "*** Cannot clear the instrument session: ", Desc(s.session, st).c_str());
    return 0;
  }
  Log_Message(1, "Instrument session cleared.");
  return 1;
}

long VisaDev_DrainToEnd(int id) {
  if (!RequireOpen(id)) return kVisaDrainFailed;
  ReplyClock clock(VisaDevSlotTable[id].session);
  return Drain(VisaDevSlotTable[id].session, clock);
}

void VisaDev_SetReplyTimeLimit(std::uint32_t ms) { g_replyTimeLimitMs = ms; }

int VisaDev_ScanGpib(GpibScanResult* result, int board) {
  if (!result) return 0;
  Log_Message(1, "Scanning for local devices...");
  VisaDev_ReportProgress(0);
  for (GpibScanEntry& e : result->entries) {
    e.resource.Clear();
    e.idn.Clear();
    e.options.Clear();
    e.maker.Clear();
    e.model.Clear();
    e.serial.Clear();
    e.firmware.Clear();
    e.type = kInstrumentTypeNone;
  }
  result->count = 0;

  VisaSession rm = VISA_NULL;
  if (Visa_OpenDefaultRM(&rm) < 0) return 0;
  char expr[64];
  cz::SnprintfC(expr, sizeof expr, "GPIB%d::?*INSTR", board);
  VisaSession list = VISA_NULL;
  std::uint32_t found = 0;
  char desc[VISA_RSRC_SIZE] = "";
  VisaStatus found_st = Visa_FindRsrc(rm, expr, &list, &found, desc);
  if (found_st != VISA_SUCCESS) {
    Log_Message(2, "*** GPIB scan: ", Desc(rm, found_st).c_str());
    Visa_Close(rm);
    return 0;
  }
  VisaDev_ReportProgress(10);
  Log_Message(1, "Resources found. Evaluating...");

  int filled = 0;
  bool haveDesc = true;
  for (std::uint32_t n = 0; haveDesc && n < found && filled < kGpibScanMax; ++n) {
    if (n > 0) haveDesc = Visa_FindNext(list, desc) == VISA_SUCCESS;
    if (!haveDesc) break;
    int p = 100 * (filled + 1) / static_cast<int>(found) + 10;
    VisaDev_ReportProgress(p < 100 ? p : 100);
    VisaSession dev = VISA_NULL;
    if (Visa_Open(rm, desc, 0, 0, &dev) != VISA_SUCCESS) continue;
    Visa_SetAttribute(dev, VISA_ATTR_TMO_VALUE, 1000);
    Visa_SetBuf(dev, VISA_WRITE_BUF, kWriteBufSize);
    Visa_SetBuf(dev, VISA_READ_BUF, kReadBufSize);
    Visa_SetAttribute(dev, VISA_ATTR_WR_BUF_OPER_MODE, VISA_FLUSH_ON_ACCESS);
    Visa_SetAttribute(dev, VISA_ATTR_RD_BUF_OPER_MODE, VISA_FLUSH_ON_ACCESS);
    char reply[4096];
    std::uint32_t got = 0;
    if (Visa_WriteText(dev, "*CLS") < 0 || Visa_WriteText(dev, "*IDN?") < 0 ||
        ReadReply(dev, reply, sizeof reply, &got) < 0) {
      Visa_Close(dev);
      continue;
    }
    StripTrailing(reply, got);
    Log_Message(2, "Device: ", desc);
    GpibScanEntry& e = result->entries[filled];
    e.idn = reply;
    cz::Text<1024>* fields[4] = {&e.maker, &e.model, &e.serial, &e.firmware};
    std::string_view idn = e.idn.view();
    std::size_t start = 0;
    for (int f = 0; f < 4 && start <= idn.size(); ++f) {
      std::size_t comma = idn.find(',', start);
      *fields[f] = idn.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
      if (comma == std::string_view::npos) break;
      start = comma + 1;
    }
    e.type = InstrumentTypeFromIdn(e.idn.c_str());
    e.options.Clear();
    if (Visa_WriteText(dev, "*OPT?") >= 0 && ReadReply(dev, reply, sizeof reply, &got) >= 0) {
      StripTrailing(reply, got);
      e.options = reply;
    }
    Visa_GpibControlREN(dev, VISA_GPIB_REN_DEASSERT_GTL);
    Visa_Close(dev);
    e.resource = desc;
    ++filled;
  }
  result->count = static_cast<std::uint8_t>(filled);
  Visa_Close(list);
  Visa_Close(rm);
  VisaDev_ReportProgress(100);
  return 1;
}
