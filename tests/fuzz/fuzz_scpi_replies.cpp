// The instrument's SCPI replies as the device layer and its callers read them:
// the identity and options of an identification ("*IDN?", "*OPT?"), the
// error queue (":SYST:ERR?"), a catalogue (":MMEM:CAT?") and the
// definite-length block of a file download. An in-process fake connection
// answers every query at once with the input's next reply.
//
// Input: one byte choosing the operation, then the replies in the order the
// queries come, separated by lines "--" ("\n--\n"); an empty reply is no
// reply at all (a time-out). Once the input ends, "*OPC?" answers 1, the
// error queue is empty and "*IDN?" / "*OPT?" give a known model.
#include <cstring>
#include <string>
#include <string_view>

#include "instrument/Identify.h"
#include "instrument/InstrumentTransfer.h"
#include "instrument/VisaDev.h"
#include "platform/visa/VisaTransport.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

constexpr const char* kResource = "TCPIP0::127.0.0.1::5025::SOCKET";

std::string_view g_rest;  // replies not yet given
std::string g_reply;      // the reply being read
std::size_t g_at = 0;
bool g_pending = false;

std::string DefaultReply(const std::string& message) {
  if (message.find("*OPC?") != std::string::npos) return "1\n";
  if (message.find("SYST:ERR?") != std::string::npos) return "0,\"No error\"\n";
  if (message.find("*IDN?") != std::string::npos) return "Torvane,Kaldra,102030,4.20.1.5\n";
  if (message.find("*OPT?") != std::string::npos) return "KLD-M64,KLD-M16,OPT-RFA30\n";
  return "";
}

class FakeConnection : public VisaTransport {
 public:
  uint16_t InterfaceType() const override { return VISA_INTF_TCPIP; }

  VisaStatus Write(const uint8_t* data, uint32_t count, bool end, uint32_t, uint32_t* written) override {
    message_.append(reinterpret_cast<const char*>(data), count);
    *written = count;
    if (end) {
      // A query is answered at once; a new message drops an unread reply.
      if (message_.find('?') != std::string::npos) {
        g_reply = g_rest.empty() ? DefaultReply(message_) : std::string(cz::fuzz::NextPart(&g_rest));
        g_at = 0;
        g_pending = !g_reply.empty();
      }
      message_.clear();
    }
    return VISA_SUCCESS;
  }

  VisaStatus Read(uint8_t* buffer, uint32_t count, uint32_t, uint32_t* got) override {
    *got = 0;
    if (!g_pending) {
      SetDetail("no reply");
      return VISA_ERR_TMO;
    }
    const std::size_t n = std::min<std::size_t>(count, g_reply.size() - g_at);
    std::memcpy(buffer, g_reply.data() + g_at, n);
    g_at += n;
    *got = static_cast<uint32_t>(n);
    if (g_at < g_reply.size()) return VISA_SUCCESS_MAX_CNT;
    g_pending = false;
    return VISA_SUCCESS;
  }

  VisaStatus Clear(uint32_t) override {
    g_pending = false;
    message_.clear();
    return VISA_SUCCESS;
  }
  VisaStatus GoToLocal(uint32_t) override { return VISA_SUCCESS; }

 private:
  std::string message_;
};

VisaStatus OpenFake(const VisaResource&, std::unique_ptr<VisaTransport>* out, std::string*) {
  *out = std::make_unique<FakeConnection>();
  return VISA_SUCCESS;
}

// Instrument 1 stays open across inputs for the operations on an open
// session; instrument 0 is the one identification opens and closes.
void KeepOneOpen() {
  if (VisaDev_IsOpen(1)) return;
  g_rest = {};
  FUZZ_CHECK(VisaDev_Open(1, kResource) == 1);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  cz::fuzz::Setup(true);
  VisaTransport_SetFactory(&OpenFake);
  char error[256] = "";
  FUZZ_CHECK(VisaDev_Init(error, sizeof error) == 1);
  // A reply that does not come is waited for this long (the fake answers a
  // read without a reply at once, so the layer's waits turn into retries).
  VisaDev_SetReplyTimeLimit(20);
  KeepOneOpen();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  cz::fuzz::NextInput();
  KeepOneOpen();
  g_pending = false;
  g_rest = std::string_view(reinterpret_cast<const char*>(data + 1), size - 1);
  switch (data[0] % 5) {
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
    default: {
      std::string reply;
      VisaDev_QueryAll(1, ":MMEM:CAT? 'D:\\w\\*.wv'", &reply);
      FUZZ_CHECK(reply.size() <= kVisaLongReplyMax);
      char options[kVisaOptionsSize];
      VisaDev_Query(1, "*OPT?", options, sizeof options);
      FUZZ_CHECK(strnlen(options, sizeof options) < sizeof options);
      break;
    }
  }
  return 0;
}
