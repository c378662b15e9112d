// The VXI-11 core channel's byte stream as the program's RPC client reads
// it (record marking, reply headers, transaction ids, then the results)
// under the transport's calls: the link is opened as the program opens one
// (create_link first), and every core channel it opens (the first, and one
// made again after a lost connection) is a local socket holding the next
// part of the input, all the instrument sends on it, whose far end is
// closed after it, so every call ends once the part does.
//
// Input: the parts for the first and later connections, separated by lines
// "--" ("\n--\n"). The calls, in turn: create_link, write "*IDN?", read 64
// bytes, read 1024 bytes, device clear, write, read 4097 bytes. On each
// connection the transaction ids count from 0 (create_link).
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/visa/VisaRpc.h"
#include "platform/visa/VisaTransport.h"
#include "platform/visa/VisaVxi11.h"
#include "tests/fuzz/FuzzSupport.h"
#include "vxi11_core.h"

namespace {

std::string_view g_rest;  // the parts for connections not made yet
std::vector<int> g_farEnds;

// A connection whose far end has sent the next part and closed.
CLIENT* Connect(const VisaResource&, uint32_t, std::string* detail) {
  const std::string_view part = cz::fuzz::NextPart(&g_rest);
  int pair[2];
  FUZZ_CHECK(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair) == 0);
  // Room for the whole part: the far end writes it before the calls start.
  const int room = static_cast<int>(part.size()) + 65536;
  ::setsockopt(pair[1], SOL_SOCKET, SO_SNDBUF, &room, sizeof room);
  ::setsockopt(pair[0], SOL_SOCKET, SO_RCVBUF, &room, sizeof room);
  for (size_t sent = 0; sent < part.size();) {
    const ssize_t n = ::send(pair[1], part.data() + sent, part.size() - sent, MSG_NOSIGNAL);
    FUZZ_CHECK(n > 0);
    sent += static_cast<size_t>(n);
  }
  ::shutdown(pair[1], SHUT_WR);
  g_farEnds.push_back(pair[1]);
  CLIENT* client = VisaRpc_CreateTcp(pair[0], DEVICE_CORE, DEVICE_CORE_VERSION);
  FUZZ_CHECK(client != nullptr);
  uint32_t xid = 0;
  clnt_control(client, CLSET_XID, reinterpret_cast<char*>(&xid));
  (void)detail;
  return client;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  cz::fuzz::Setup();
  VisaVxi11_SetConnector(&Connect);
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
  if (VisaVxi11_Open(res, 1000, &link, &detail) == VISA_SUCCESS) {
    FUZZ_CHECK(link->MaxRecvSize() >= 1024);
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
  }
  link.reset();
  for (int fd : g_farEnds) ::close(fd);
  g_farEnds.clear();
  return 0;
}
