#include "tests/support/Vxi11LockHolder.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

namespace cz::test {

namespace {

// ONC RPC (RFC 5531) and the VXI-11 core channel's numbers.
constexpr uint32_t kCall = 0, kReply = 1, kRpcVersion = 2, kAccepted = 0, kSuccess = 0;
constexpr uint32_t kCoreProgram = 0x0607AF, kCoreVersion = 1;
constexpr uint32_t kCreateLink = 10, kDeviceLock = 18, kDeviceUnlock = 19, kDestroyLink = 23;
constexpr int kReplyWaitMs = 5000;

bool SendAll(int fd, const std::vector<uint8_t>& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

bool ReadExactly(int fd, uint8_t* out, std::size_t count) {
  std::size_t got = 0;
  while (got < count) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, kReplyWaitMs) <= 0) return false;
    const ssize_t n = ::recv(fd, out + got, count - got, 0);
    if (n <= 0) return false;
    got += static_cast<std::size_t>(n);
  }
  return true;
}

void PutWord(std::vector<uint8_t>* out, uint32_t w) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<uint8_t>(w >> shift));
}

}  // namespace

Vxi11LockHolder::~Vxi11LockHolder() {
  if (unlocker_.joinable()) unlocker_.join();
  Unlock();
}

bool Vxi11LockHolder::Call(uint32_t proc, const std::vector<uint32_t>& args, std::vector<uint32_t>* results) {
  std::vector<uint8_t> record;
  PutWord(&record, 0);  // the record mark, filled in below
  for (uint32_t w : {xid_, kCall, kRpcVersion, kCoreProgram, kCoreVersion, proc, 0u, 0u, 0u, 0u}) PutWord(&record, w);
  for (uint32_t w : args) PutWord(&record, w);
  const uint32_t mark = 0x80000000u | static_cast<uint32_t>(record.size() - 4);
  for (int k = 0; k < 4; ++k) record[static_cast<std::size_t>(k)] = static_cast<uint8_t>(mark >> (24 - 8 * k));
  if (!SendAll(fd_, record)) {
    error_ = "cannot send the call";
    return false;
  }
  uint8_t head[4];
  if (!ReadExactly(fd_, head, 4)) {
    error_ = "no reply";
    return false;
  }
  const uint32_t length = (static_cast<uint32_t>(head[0] & 0x7F) << 24) | (head[1] << 16) | (head[2] << 8) | head[3];
  std::vector<uint8_t> body(length);
  if (length % 4 != 0 || length < 24 || !ReadExactly(fd_, body.data(), length)) {
    error_ = "reply cut short";
    return false;
  }
  std::vector<uint32_t> words(length / 4);
  for (std::size_t k = 0; k < words.size(); ++k)
    words[k] = (static_cast<uint32_t>(body[4 * k]) << 24) | (body[4 * k + 1] << 16) | (body[4 * k + 2] << 8) | body[4 * k + 3];
  // xid, REPLY, MSG_ACCEPTED, verifier (flavor, empty body), SUCCESS, results.
  if (words[0] != xid_++ || words[1] != kReply || words[2] != kAccepted || words[4] != 0 || words[5] != kSuccess) {
    error_ = "call not accepted";
    return false;
  }
  results->assign(words.begin() + 6, words.end());
  return true;
}

bool Vxi11LockHolder::Lock(uint16_t corePort) {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(corePort);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd_ < 0 || ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    error_ = std::string("cannot connect: ") + std::strerror(errno);
    Close();
    return false;
  }
  // create_link: clientId, lockDevice false, lock_timeout, device "inst0".
  std::vector<uint32_t> r;
  if (!Call(kCreateLink, {4242u, 0u, 0u, 5u, 0x696E7374u, 0x30000000u}, &r) || r.size() < 4 || r[0] != 0) {
    if (error_.empty()) error_ = "create_link refused";
    Close();
    return false;
  }
  lid_ = static_cast<int32_t>(r[1]);
  // device_lock: lid, flags 0 (no wait), lock_timeout 0.
  if (!Call(kDeviceLock, {static_cast<uint32_t>(lid_), 0u, 0u}, &r) || r.empty() || r[0] != 0) {
    if (error_.empty()) error_ = "device_lock refused with VXI-11 error " + std::to_string(r.empty() ? -1 : int(r[0]));
    Close();
    return false;
  }
  locked_ = true;
  return true;
}

void Vxi11LockHolder::Unlock() {
  if (fd_ < 0) return;
  std::vector<uint32_t> r;
  if (locked_.exchange(false)) Call(kDeviceUnlock, {static_cast<uint32_t>(lid_)}, &r);
  Call(kDestroyLink, {static_cast<uint32_t>(lid_)}, &r);
  Close();
}

void Vxi11LockHolder::UnlockAfter(int ms) {
  unlocker_ = std::thread([this, ms] {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    Unlock();
  });
}

void Vxi11LockHolder::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace cz::test
