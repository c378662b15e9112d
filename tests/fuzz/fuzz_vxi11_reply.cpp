// VXI-11 core-channel replies (VXI-11 B.6) as the program's VXI-11 transport
// reads them: a fake RPC client handle answers each call at once from the
// input, decoding the reply with the transport's own XDR routine for it. The
// link is opened as the program opens one (create_link, whose reply gives
// the link id and the largest write), and a link lost on the way is made
// again over a new fake handle (its create_link reply from the input too).
//
// Input: the create_link reply, then a sequence of operations, each one byte
// (write, read of one of a few sizes, device clear, go-to-local) followed by
// the replies the operation's calls take, each [status byte][length, 2 bytes
// LE][XDR bytes]. A status byte of 0 mod 8 is a reply; others stand for the
// RPC failures a connection shows (time-out, lost connection, undecodable
// reply). Once the input ends, every call finds the connection lost.
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/visa/VisaTransport.h"
#include "platform/visa/VisaVxi11.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

std::string_view g_rest;

using ResultProc = bool_t (*)(XDR*, void*);

clnt_stat FakeCall(CLIENT*, rpcproc_t, xdrproc_t, void*, xdrproc_t results, void* out, timeval) {
  if (g_rest.size() < 3) {
    g_rest = {};
    return RPC_CANTRECV;
  }
  const auto status = static_cast<uint8_t>(g_rest[0]);
  std::size_t length = static_cast<uint8_t>(g_rest[1]) | (static_cast<std::size_t>(static_cast<uint8_t>(g_rest[2])) << 8);
  g_rest.remove_prefix(3);
  if (length > g_rest.size()) length = g_rest.size();
  // A copy of exactly the reply's bytes: a read past them is a finding.
  std::vector<char> reply(g_rest.begin(), g_rest.begin() + static_cast<std::ptrdiff_t>(length));
  g_rest.remove_prefix(length);
  switch (status % 8) {
    case 1: return RPC_TIMEDOUT;
    case 2: return RPC_CANTRECV;
    case 3: return RPC_CANTSEND;
    case 4: return RPC_PROCUNAVAIL;
    default: break;
  }
  XDR x;
  xdrmem_create(&x, reply.data(), static_cast<u_int>(reply.size()), XDR_DECODE);
  const bool_t ok = reinterpret_cast<ResultProc>(results)(&x, out);
  xdr_destroy(&x);
  return ok ? RPC_SUCCESS : RPC_CANTDECODERES;
}

void FakeAbort(CLIENT*) {}
void FakeGetErr(CLIENT*, rpc_err* e) { std::memset(e, 0, sizeof *e); }
bool_t FakeFreeRes(CLIENT*, xdrproc_t, void*) { return TRUE; }
void FakeDestroy(CLIENT* c) { delete c; }
bool_t FakeControl(CLIENT*, u_int, void*) { return TRUE; }

CLIENT::clnt_ops g_ops = {&FakeCall, &FakeAbort, &FakeGetErr, &FakeFreeRes, &FakeDestroy, &FakeControl};

// Every core channel the transport opens is a fake handle on the input.
CLIENT* FakeConnect(const VisaResource&, uint32_t, std::string*) {
  auto* client = new CLIENT{};
  client->cl_ops = &g_ops;
  return client;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  cz::fuzz::Setup();
  VisaVxi11_SetConnector(&FakeConnect);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  g_rest = std::string_view(reinterpret_cast<const char*>(data), size);
  VisaResource res;
  res.kind = VisaResourceKind::kVxi11;
  res.host = "instrument";
  res.deviceName = "inst0";
  std::unique_ptr<VisaTransport> link;
  std::string detail;
  if (VisaVxi11_Open(res, 1000, &link, &detail) != VISA_SUCCESS) {
    FUZZ_CHECK(!link && !detail.empty());
    return 0;
  }
  FUZZ_CHECK(link->MaxRecvSize() >= 1024);
  static const uint32_t kReadSizes[] = {1, 2, 7, 64, 1024, 4097};
  while (!g_rest.empty()) {
    const auto op = static_cast<uint8_t>(g_rest[0]);
    g_rest.remove_prefix(1);
    switch (op % 4) {
      case 0: {
        const char command[] = "*IDN?\n";
        uint32_t written = 0;
        const VisaStatus st = link->Write(reinterpret_cast<const uint8_t*>(command), sizeof command - 1, true, 1000,
                                          &written);
        FUZZ_CHECK(written <= sizeof command - 1);
        FUZZ_CHECK(st <= VISA_SUCCESS_MAX_CNT);
        break;
      }
      case 1: {
        const uint32_t count = kReadSizes[(op >> 2) % 6];
        std::vector<uint8_t> buffer(count);
        uint32_t got = 0;
        const VisaStatus st = link->Read(buffer.data(), count, 1000, &got);
        FUZZ_CHECK(got <= count);
        FUZZ_CHECK(st <= VISA_SUCCESS_MAX_CNT);
        break;
      }
      case 2: link->Clear(1000); break;
      default: link->GoToLocal(1000); break;
    }
  }
  return 0;
}
