#include "platform/visa/Portmap.h"

namespace cz::portmap {

namespace {

constexpr std::uint32_t kMsgCall = 0;
constexpr std::uint32_t kMsgReply = 1;
constexpr std::uint32_t kRpcVersion = 2;
constexpr std::uint32_t kMsgAccepted = 0;
constexpr std::uint32_t kAcceptSuccess = 0;
constexpr std::uint32_t kAuthNull = 0;
constexpr std::uint32_t kMaxAuthBody = 400;  // RFC 5531 opaque_auth limit

void Put(std::vector<std::uint8_t>* out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<std::uint8_t>(v >> shift));
}

// Big-endian XDR words read in order; any read past the end fails the reader.
class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool Word(std::uint32_t* v) {
    if (!data_ || at_ + 4 > size_) return false;
    *v = (std::uint32_t(data_[at_]) << 24) | (std::uint32_t(data_[at_ + 1]) << 16) |
         (std::uint32_t(data_[at_ + 2]) << 8) | std::uint32_t(data_[at_ + 3]);
    at_ += 4;
    return true;
  }
  bool Expect(std::uint32_t want) {
    std::uint32_t v = 0;
    return Word(&v) && v == want;
  }
  // An opaque_auth: flavour, length, body padded to four bytes.
  bool SkipAuth() {
    std::uint32_t flavour = 0, length = 0;
    if (!Word(&flavour) || !Word(&length) || length > kMaxAuthBody) return false;
    const std::size_t padded = (length + 3u) & ~3u;
    if (at_ + padded > size_) return false;
    at_ += padded;
    return true;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

}  // namespace

std::vector<std::uint8_t> EncodeGetportCall(const GetportCall& call) {
  std::vector<std::uint8_t> out;
  out.reserve(56);
  for (std::uint32_t v : {call.xid, kMsgCall, kRpcVersion, kProgram, kVersion, kProcGetport, kAuthNull, 0u, kAuthNull,
                          0u, call.program, call.version, call.protocol, 0u})
    Put(&out, v);
  return out;
}

bool DecodeGetportCall(const std::uint8_t* data, std::size_t size, GetportCall* call) {
  Reader r(data, size);
  GetportCall c;
  std::uint32_t port = 0;
  if (!r.Word(&c.xid) || !r.Expect(kMsgCall) || !r.Expect(kRpcVersion) || !r.Expect(kProgram) ||
      !r.Expect(kVersion) || !r.Expect(kProcGetport) || !r.SkipAuth() || !r.SkipAuth() || !r.Word(&c.program) ||
      !r.Word(&c.version) || !r.Word(&c.protocol) || !r.Word(&port))
    return false;
  if (call) *call = c;
  return true;
}

std::vector<std::uint8_t> EncodeGetportReply(std::uint32_t xid, std::uint32_t port) {
  std::vector<std::uint8_t> out;
  out.reserve(28);
  for (std::uint32_t v : {xid, kMsgReply, kMsgAccepted, kAuthNull, 0u, kAcceptSuccess, port}) Put(&out, v);
  return out;
}

bool DecodeGetportReply(const std::uint8_t* data, std::size_t size, std::uint32_t* xid, std::uint32_t* port) {
  Reader r(data, size);
  std::uint32_t x = 0, p = 0;
  if (!r.Word(&x) || !r.Expect(kMsgReply) || !r.Expect(kMsgAccepted) || !r.SkipAuth() || !r.Expect(kAcceptSuccess) ||
      !r.Word(&p))
    return false;
  if (xid) *xid = x;
  if (port) *port = p;
  return true;
}

}  // namespace cz::portmap
