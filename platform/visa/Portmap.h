// The one portmapper exchange the program uses: GETPORT (ONC RPC, RFC 5531;
// portmapper version 2, RFC 1833) over UDP, as XDR-encoded datagrams. The
// VXI-11 discovery sends the call; the simulator answers it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace cz::portmap {

inline constexpr std::uint16_t kPort = 111;
inline constexpr std::uint32_t kProgram = 100000;
inline constexpr std::uint32_t kVersion = 2;
inline constexpr std::uint32_t kProcGetport = 3;
inline constexpr std::uint32_t kProtoTcp = 6;

// The VXI-11 core channel's program and version.
inline constexpr std::uint32_t kVxi11CoreProgram = 0x0607AF;
inline constexpr std::uint32_t kVxi11CoreVersion = 1;

struct GetportCall {
  std::uint32_t xid = 0;
  std::uint32_t program = 0;
  std::uint32_t version = 0;
  std::uint32_t protocol = 0;
};

// CALL with AUTH_NULL credential and verifier; 56 bytes.
std::vector<std::uint8_t> EncodeGetportCall(const GetportCall& call);
// False for anything but a portmapper v2 GETPORT call.
bool DecodeGetportCall(const std::uint8_t* data, std::size_t size, GetportCall* call);

// Accepted, successful REPLY carrying the port (0 = program not registered).
std::vector<std::uint8_t> EncodeGetportReply(std::uint32_t xid, std::uint32_t port);
// False for anything but an accepted, successful reply.
bool DecodeGetportReply(const std::uint8_t* data, std::size_t size, std::uint32_t* xid, std::uint32_t* port);

}  // namespace cz::portmap
