// The portmapper GETPORT datagrams: the call as RFC 1833 lays it out, and
// replies and calls that are cut short or of another kind are refused, as
// any datagram from the network may be.
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "platform/visa/Portmap.h"

namespace {

using namespace cz::portmap;

TEST(Portmap, GetportCallAndReplyRoundTrip) {
  const std::vector<std::uint8_t> call = EncodeGetportCall({0x01020304u, kVxi11CoreProgram, kVxi11CoreVersion, kProtoTcp});
  ASSERT_EQ(call.size(), 56u);
  // xid, CALL, RPC 2, program 100000, version 2, procedure 3 (GETPORT).
  const std::vector<std::uint8_t> head = {1, 2, 3, 4, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0x86, 0xA0, 0, 0, 0, 2, 0, 0, 0, 3};
  EXPECT_EQ(std::vector<std::uint8_t>(call.begin(), call.begin() + 24), head);
  // Arguments after the two empty AUTH_NULL blocks: 0x0607AF, 1, TCP, port 0.
  const std::vector<std::uint8_t> args = {0, 6, 7, 0xAF, 0, 0, 0, 1, 0, 0, 0, 6, 0, 0, 0, 0};
  EXPECT_EQ(std::vector<std::uint8_t>(call.begin() + 40, call.end()), args);

  GetportCall back;
  ASSERT_TRUE(DecodeGetportCall(call.data(), call.size(), &back));
  EXPECT_EQ(back.xid, 0x01020304u);
  EXPECT_EQ(back.program, kVxi11CoreProgram);
  EXPECT_EQ(back.protocol, kProtoTcp);

  const std::vector<std::uint8_t> reply = EncodeGetportReply(77, 40123);
  std::uint32_t xid = 0, port = 0;
  ASSERT_TRUE(DecodeGetportReply(reply.data(), reply.size(), &xid, &port));
  EXPECT_EQ(xid, 77u);
  EXPECT_EQ(port, 40123u);
}

TEST(Portmap, ShortForeignAndRejectedDatagramsAreRefused) {
  const std::vector<std::uint8_t> call = EncodeGetportCall({1, kVxi11CoreProgram, 1, kProtoTcp});
  const std::vector<std::uint8_t> reply = EncodeGetportReply(1, 111);
  for (std::size_t n = 0; n < call.size(); n += 3) EXPECT_FALSE(DecodeGetportCall(call.data(), n, nullptr)) << n;
  for (std::size_t n = 0; n < reply.size(); ++n) EXPECT_FALSE(DecodeGetportReply(reply.data(), n, nullptr, nullptr));
  EXPECT_FALSE(DecodeGetportCall(nullptr, 56, nullptr));
  // A reply is no call and a call no reply.
  EXPECT_FALSE(DecodeGetportCall(reply.data(), reply.size(), nullptr));
  EXPECT_FALSE(DecodeGetportReply(call.data(), call.size(), nullptr, nullptr));
  // Another procedure (DUMP, 4) is no GETPORT.
  std::vector<std::uint8_t> dump = call;
  dump[23] = 4;
  EXPECT_FALSE(DecodeGetportCall(dump.data(), dump.size(), nullptr));
  // A denied reply (reply_stat 1) and one with PROG_UNAVAIL (accept_stat 1).
  std::vector<std::uint8_t> denied = reply;
  denied[11] = 1;
  EXPECT_FALSE(DecodeGetportReply(denied.data(), denied.size(), nullptr, nullptr));
  std::vector<std::uint8_t> unavailable = reply;
  unavailable[23] = 1;
  EXPECT_FALSE(DecodeGetportReply(unavailable.data(), unavailable.size(), nullptr, nullptr));
  // A verifier that claims more bytes than the datagram holds.
  std::vector<std::uint8_t> longVerifier = reply;
  longVerifier[19] = 200;
  EXPECT_FALSE(DecodeGetportReply(longVerifier.data(), longVerifier.size(), nullptr, nullptr));
}

}  // namespace
