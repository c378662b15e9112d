// Portmapper GETPORT datagrams (ONC RPC, RFC 5531 / RFC 1833): the replies
// the VXI-11 discovery reads from every host that answers its broadcast, and
// the calls the simulator's portmapper reads.
#include "platform/visa/Portmap.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  cz::fuzz::Setup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::uint32_t xid = 0, port = 0;
  if (cz::portmap::DecodeGetportReply(data, size, &xid, &port)) {
    // An accepted reply is at least its seven words.
    FUZZ_CHECK(size >= 28);
    const auto again = cz::portmap::EncodeGetportReply(xid, port);
    std::uint32_t x2 = 0, p2 = 0;
    FUZZ_CHECK(cz::portmap::DecodeGetportReply(again.data(), again.size(), &x2, &p2) && x2 == xid && p2 == port);
  }
  cz::portmap::GetportCall call;
  if (cz::portmap::DecodeGetportCall(data, size, &call)) FUZZ_CHECK(size >= 56);
  return 0;
}
