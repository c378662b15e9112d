// The instrument's SCPI replies as the device layer and its callers read them,
// through the raw-socket transport (its reply scanner: line ends, quoted
// texts, definite-length blocks) over a socket pair whose far end plays the
// instrument: the identity and options of an identification ("*IDN?",
// "*OPT?"), the error queue (":SYST:ERR?"), a catalogue (":MMEM:CAT?"), the
// definite-length block of a file download, test points ("DIAG:POIN?"), the
// ARB's state polled while an RF list starts ("STAT:OPER:COND?") and the
// replies of multi-segment playback.
//
// Input: one byte choosing the operation, then the replies in the order the
// queries come, separated by lines "--" ("\n--\n"); each reply goes out with
// a line feed after it, and an empty one is no reply at all (a time-out).
// Once the input ends, "*OPC?" answers 1, the error queue is empty,
// "*IDN?" / "*OPT?" give a known model and other queries "0".
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/Records.h"
#include "instrument/Identify.h"
#include "instrument/InstrumentTransfer.h"
#include "instrument/MultiSegment.h"
#include "instrument/VisaDev.h"
#include "platform/visa/VisaTransport.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

constexpr const char* kResource = "TCPIP0::127.0.0.1::5025::SOCKET";
// A reply that does not come is waited for this long (ms) under the input's
// replies, and this long while instruments are opened with the defaults.
constexpr std::uint32_t kReplyWaitMs = 10;
constexpr std::uint32_t kPatientMs = 5000;

std::mutex g_mutex;
std::string_view g_rest;  // replies not yet given (guarded by g_mutex)

std::string DefaultReply(const std::string& message) {
  if (message.find("*OPC?") != std::string::npos) return "1";
  if (message.find("SYST:ERR?") != std::string::npos) return "0,\"No error\"";
  if (message.find("*IDN?") != std::string::npos) return "Torvane,Kaldra,102030,4.20.1.5";
  if (message.find("*OPT?") != std::string::npos) return "KLD-M64,KLD-M16,OPT-RFA30";
  return "0";
}

// The next reply: the input's next part, or the default once it has ended.
// Empty: none.
std::string NextReply(const std::string& message) {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::string reply = g_rest.empty() ? DefaultReply(message) : std::string(cz::fuzz::NextPart(&g_rest));
  if (!reply.empty()) reply += '\n';
  return reply;
}

// Finds the ends of the program's messages in the bytes it sends: a line
// feed outside a definite-length block ("#<n><length><data>").
class MessageEnds {
 public:
  // True when c ends a message (held in *message without its line feed).
  bool Take(char c, std::string* message) {
    if (skip_ > 0) {
      --skip_;
      return false;
    }
    if (digits_ > 0) {
      if (c >= '0' && c <= '9') {
        length_ = length_ * 10 + static_cast<std::size_t>(c - '0');
        if (--digits_ == 0) skip_ = length_;
        return false;
      }
      digits_ = 0;
    }
    if (hash_) {
      hash_ = false;
      if (c >= '1' && c <= '9') {
        digits_ = c - '0';
        length_ = 0;
        return false;
      }
    }
    if (c == '#') hash_ = true;
    if (c == '\n') {
      *message = std::move(text_);
      text_.clear();
      return true;
    }
    text_ += c;
    return false;
  }

 private:
  std::string text_;
  bool hash_ = false;
  int digits_ = 0;
  std::size_t length_ = 0, skip_ = 0;
};

// The instrument at the far end of one connection: answers each query
// message until the program closes its end.
void Serve(int fd) {
  MessageEnds ends;
  std::string message;
  char buf[65536];
  for (;;) {
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    for (ssize_t k = 0; k < n; ++k) {
      if (!ends.Take(buf[k], &message) || message.find('?') == std::string::npos) continue;
      const std::string reply = NextReply(message);
      if (!reply.empty() && ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL) < 0) break;
    }
  }
  ::close(fd);
}

std::vector<std::thread> g_instruments;  // one per connection made

// A new connection: the program's end, with the instrument serving the other.
int Connect() {
  int pair[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) return -1;
  g_instruments.emplace_back(&Serve, pair[1]);
  return pair[0];
}

VisaStatus OpenPair(const VisaResource& res, std::unique_ptr<VisaTransport>* out, std::string* detail) {
  const int fd = Connect();
  if (fd < 0) {
    *detail = "no socket pair";
    return VISA_ERR_SYSTEM;
  }
  *out = VisaSocket_Adopt(fd, res, &Connect);
  return VISA_SUCCESS;
}

// Instrument 1 stays open across inputs for the operations on an open
// session; instrument 0 is the one identification and the multi-segment
// playback open and close. Before each input, instrument 1 gets a new
// connection, so that nothing an earlier input left unread reaches it, and
// the instruments of closed connections are gone.
void FreshConnection() {
  if (!VisaDev_IsOpen(1) && VisaDev_Open(1, kResource) != 1) {
    char why[kVisaLastErrorSize];
    VisaDev_GetLastError(1, why);
    std::fprintf(stderr, "instrument 1 does not open: %s\n", why);
    FUZZ_CHECK(!"instrument 1 opens");
  }
  std::int32_t session = 0;
  VisaDev_GetSession(1, &session);
  FUZZ_CHECK(Visa_Clear(session) == VISA_SUCCESS);
  std::thread current = std::move(g_instruments.back());
  g_instruments.pop_back();
  for (std::thread& t : g_instruments) t.join();
  g_instruments.clear();
  g_instruments.push_back(std::move(current));
}

// At exit: the program's ends closed, so that every instrument ends.
void EndInstruments() {
  for (int id : {0, 1})
    if (VisaDev_IsOpen(id)) VisaDev_Close(id);
  for (std::thread& t : g_instruments) t.join();
  g_instruments.clear();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  cz::fuzz::Setup(true);
  std::atexit(&EndInstruments);
  VisaTransport_SetFactory(&OpenPair);
  char error[256] = "";
  FUZZ_CHECK(VisaDev_Init(error, sizeof error) == 1);
  InstrumentCapabilities.RfListMax = 10000;
  ClearProject();
  MultiSegmentCount = 1;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  cz::fuzz::NextInput();
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_rest = {};
  }
  // The opens with the default replies may wait as long as a loaded machine
  // keeps the instrument's thread from answering.
  VisaDev_SetReplyTimeLimit(kPatientMs);
  FreshConnection();
  const int op = data[0] % 8;
  // Multi-segment playback runs on instrument 0, opened (with the default
  // replies) before the input's replies are given.
  if (op == 7) FUZZ_CHECK(VisaDev_Open(0, kResource) == 1);
  VisaDev_SetReplyTimeLimit(kReplyWaitMs);
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_rest = std::string_view(reinterpret_cast<const char*>(data + 1), size - 1);
  }
  switch (op) {
    case 0: {
      char info[kIdentifyInfoSize];
      std::memset(info, 'x', sizeof info);
      const int ok = IdentifyInstrument(kResource, info, sizeof info);
      FUZZ_CHECK(ok == 0 || ok == 1);
      FUZZ_CHECK(!VisaDev_IsOpen(0));
      if (ok) {
        FUZZ_CHECK(strnlen(info, sizeof info) < sizeof info);
        FUZZ_CHECK(InstrumentCapabilities.MinClock <= InstrumentCapabilities.MaxClock);
      }
      InstrumentCapabilities.RfListMax = 10000;
      break;
    }
    case 1: {
      VisaDev_CheckError(1);
      char text[kVisaLastErrorSize];
      VisaDev_GetLastError(1, text);
      FUZZ_CHECK(strnlen(text, sizeof text) < sizeof text);
      break;
    }
    case 2: {
      const int found = VisaDev_FindFile(1, "D:\\w\\b.wv");
      FUZZ_CHECK(found >= -1 && found <= 1);
      break;
    }
    case 3: {
      const std::string local = cz::fuzz::WriteScratch("keep.wv", "the user's own file");
      const int ok = VisaDev_DownloadFile(1, local.c_str(), "D:/block.wv");
      FUZZ_CHECK(ok == 0 || ok == 1);
      if (!ok) FUZZ_CHECK(cz::fuzz::ReadScratch("keep.wv") == "the user's own file");
      FUZZ_CHECK(cz::fuzz::ReadScratch("keep.wv.part").empty());
      break;
    }
    case 4: {
      std::string reply;
      VisaDev_QueryAll(1, ":MMEM:CAT? 'D:\\w\\*.wv'", &reply);
      FUZZ_CHECK(reply.size() <= kVisaLongReplyMax);
      char options[kVisaOptionsSize];
      VisaDev_Query(1, "*OPT?", options, sizeof options);
      FUZZ_CHECK(strnlen(options, sizeof options) < sizeof options);
      break;
    }
    case 5: {
      double value = -1.0;
      const int ok = VisaDev_ReadTestPoint(1, "BB:ARB:TEMP", &value, (data[0] >> 3) % 2 + 1);
      FUZZ_CHECK(ok == 0 || ok == 1);
      if (!ok) FUZZ_CHECK(value == 0.0);
      break;
    }
    case 6: {
      // An RF list started on the instrument: its ARB's state is polled.
      const double frequencies[2] = {1.0, 2.5}, levels[2] = {-10.0, -20.0};
      const RfListUpload list{2, frequencies, levels, 100.0};
      const int ok = VisaDev_CreateRfList(1, &list, "D:\\RfList.lsw", 1, 1);
      FUZZ_CHECK(ok == 0 || ok == 1);
      break;
    }
    default: {
      // Multi-segment playback on instrument 0: settings, trigger, segment.
      MultiSegmentTable[0].bbPath = (data[0] >> 3) % 3;
      ApplyMswSettings(0, 2, (data[0] >> 5) % 3 + 1, 1, 1, 0.5, (data[0] >> 7) & 1);
      int segment = -2;
      TriggerMsw(0);
      QueryMswSegment(0, &segment);
      VisaDev_Close(0);
      break;
    }
  }
  // A query still on its way (its read gave up) gets a default reply: the
  // input's bytes are libFuzzer's again.
  std::lock_guard<std::mutex> lock(g_mutex);
  g_rest = {};
  return 0;
}
