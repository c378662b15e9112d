// The VXI-11 core channel's byte stream as the program's RPC client reads
// it (record marking, reply headers, transaction ids, then the results)
// under the transport's calls: the input is all the instrument ever sends,
// waiting on a local socket whose far end is closed after it, so every call
// ends once the input does.
//
// The calls, in turn: write "*IDN?", read 64 bytes, read 1024 bytes, device
// clear, write, read 4097 bytes. The transaction ids count from 1.
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "platform/visa/VisaRpc.h"
#include "platform/visa/VisaTransport.h"
#include "platform/visa/VisaVxi11.h"
#include "tests/fuzz/FuzzSupport.h"
#include "vxi11_core.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  cz::fuzz::Setup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int pair[2];
  FUZZ_CHECK(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair) == 0);
  // Room for the whole input: the far end writes it before the calls start.
  const int room = static_cast<int>(size) + 65536;
  ::setsockopt(pair[1], SOL_SOCKET, SO_SNDBUF, &room, sizeof room);
  ::setsockopt(pair[0], SOL_SOCKET, SO_RCVBUF, &room, sizeof room);
  for (size_t sent = 0; sent < size;) {
    const ssize_t n = ::send(pair[1], data + sent, size - sent, MSG_NOSIGNAL);
    FUZZ_CHECK(n > 0);
    sent += static_cast<size_t>(n);
  }
  ::shutdown(pair[1], SHUT_WR);

  CLIENT* client = VisaRpc_CreateTcp(pair[0], DEVICE_CORE, DEVICE_CORE_VERSION);
  FUZZ_CHECK(client != nullptr);
  uint32_t xid = 1;
  clnt_control(client, CLSET_XID, reinterpret_cast<char*>(&xid));
  // No host: a link lost on the way is not created again.
  VisaResource res;
  res.kind = VisaResourceKind::kVxi11;
  res.deviceName = "inst0";
  std::unique_ptr<VisaTransport> link = VisaVxi11_Adopt(client, 1, 1024, res);
  const char command[] = "*IDN?\n";
  for (int round = 0; round < 2; ++round) {
    uint32_t written = 0;
    VisaStatus st = link->Write(reinterpret_cast<const uint8_t*>(command), sizeof command - 1, true, 1000, &written);
    FUZZ_CHECK(written <= sizeof command - 1);
    FUZZ_CHECK(st <= VISA_SUCCESS_MAX_CNT);
    for (uint32_t count : {round == 0 ? 64u : 4097u, round == 0 ? 1024u : 0u}) {
      if (count == 0) continue;
      std::vector<uint8_t> buffer(count);
      uint32_t got = 0;
      st = link->Read(buffer.data(), count, 1000, &got);
      FUZZ_CHECK(got <= count);
      FUZZ_CHECK(st <= VISA_SUCCESS_MAX_CNT);
    }
    if (round == 0) link->Clear(1000);
  }
  link.reset();
  ::close(pair[1]);
  return 0;
}
