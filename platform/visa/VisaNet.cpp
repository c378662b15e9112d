// TCP connect and deadline-bound send/receive waits.
#include "platform/visa/VisaNet.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/CLocale.h"

int VisaNet_Deadline::RemainingMs() const {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end_ - std::chrono::steady_clock::now());
  if (left.count() <= 0) return 0;
  return left.count() > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(left.count());
}

namespace {

// The wait hook and the thread it belongs to: waits on other threads (there
// are none in the program, but the layer allows them) never call it.
std::mutex g_hookMutex;
std::atomic<VisaWaitHook> g_hook{nullptr};
std::thread::id g_hookThread;

VisaWaitHook HookForThisThread() {
  VisaWaitHook hook = g_hook.load();
  if (hook == nullptr) return nullptr;
  std::lock_guard<std::mutex> lock(g_hookMutex);
  return std::this_thread::get_id() == g_hookThread ? hook : nullptr;
}

}  // namespace

void Visa_SetWaitHook(VisaWaitHook hook) {
  std::lock_guard<std::mutex> lock(g_hookMutex);
  g_hookThread = std::this_thread::get_id();
  g_hook = hook;
}

VisaWaitHook Visa_GetWaitHook() { return g_hook.load(); }

int VisaNet_Poll(int fd, short events, const VisaNet_Deadline& deadline) {
  const VisaWaitHook hook = HookForThisThread();
  for (;;) {
    const int left = deadline.RemainingMs();
    if (left <= 0) return 0;
    const int slice = hook ? std::min<int>(left, static_cast<int>(VISA_WAIT_SLICE_MS)) : left;
    pollfd p{fd, events, 0};
    const int r = ::poll(&p, 1, slice);
    if (r > 0) return r;
    if (r < 0 && errno != EINTR) return -1;
    if (r == 0 && hook && deadline.RemainingMs() > 0 && hook() != 0) return kVisaNetAborted;
  }
}

bool VisaNet_SetBlocking(int fd, bool blocking) {
  int flags = ::fcntl(fd, F_GETFL, 0);
  if (flags < 0) return false;
  flags = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
  return ::fcntl(fd, F_SETFL, flags) == 0;
}

namespace {

// One connection attempt to one resolved address.
VisaStatus ConnectOne(const addrinfo* ai, const VisaNet_Deadline& deadline, int* out, std::string* detail) {
  int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC, ai->ai_protocol);
  if (fd < 0) {
    *detail = std::strerror(errno);
    return VISA_ERR_SYSTEM;
  }
  VisaNet_SetBlocking(fd, false);
  if (::connect(fd, ai->ai_addr, ai->ai_addrlen) != 0) {
    if (errno != EINPROGRESS) {
      *detail = std::strerror(errno);
      ::close(fd);
      return errno == ECONNREFUSED ? VISA_ERR_RSRC_NFOUND : VISA_ERR_IO;
    }
    const int r = VisaNet_Poll(fd, POLLOUT, deadline);
    if (r == 0) {
      *detail = "no answer to the connection request";
      ::close(fd);
      return VISA_ERR_TMO;
    }
    if (r == kVisaNetAborted) {
      *detail = "the wait for the connection was ended";
      ::close(fd);
      return VISA_ERR_ABORT;
    }
    int err = 0;
    socklen_t len = sizeof err;
    if (r < 0 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0) {
      *detail = std::strerror(err ? err : errno);
      ::close(fd);
      return err == ECONNREFUSED ? VISA_ERR_RSRC_NFOUND : VISA_ERR_IO;
    }
  }
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  *out = fd;
  return VISA_SUCCESS;
}

}  // namespace

VisaStatus VisaNet_Connect(const std::string& host, uint16_t port, uint32_t timeoutMs, int* fd,
                           std::string* detail) {
  *fd = -1;
  VisaNet_Deadline deadline(timeoutMs);
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  const std::string service = cz::FormatC("%u", unsigned(port));
  int gai = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &list);
  if (gai != 0 || !list) {
    *detail = cz::FormatC("host '%s' not found: %s", host.c_str(), ::gai_strerror(gai));
    return VISA_ERR_RSRC_NFOUND;
  }
  VisaStatus st = VISA_ERR_RSRC_NFOUND;
  for (const addrinfo* ai = list; ai; ai = ai->ai_next) {
    st = ConnectOne(ai, deadline, fd, detail);
    if (st == VISA_SUCCESS || st == VISA_ERR_TMO) break;
  }
  ::freeaddrinfo(list);
  return st;
}

VisaStatus VisaNet_SendAll(int fd, const uint8_t* data, uint32_t count, const VisaNet_Deadline& deadline,
                           uint32_t* sent, std::string* detail) {
  *sent = 0;
  while (*sent < count) {
    ssize_t r = ::send(fd, data + *sent, count - *sent, MSG_NOSIGNAL);
    if (r > 0) {
      *sent += static_cast<uint32_t>(r);
      continue;
    }
    if (r < 0 && errno == EINTR) continue;
    if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      const int pr = VisaNet_Poll(fd, POLLOUT, deadline);
      if (pr == 0) {
        *detail = "the instrument does not take more data";
        return VISA_ERR_TMO;
      }
      if (pr == kVisaNetAborted) {
        *detail = "the wait for the instrument was ended";
        return VISA_ERR_ABORT;
      }
      if (pr < 0) {
        *detail = std::strerror(errno);
        return VISA_ERR_IO;
      }
      continue;
    }
    *detail = r < 0 ? std::strerror(errno) : "connection closed";
    return (r < 0 && errno != EPIPE && errno != ECONNRESET) ? VISA_ERR_IO : VISA_ERR_CONN_LOST;
  }
  return VISA_SUCCESS;
}

VisaStatus VisaNet_WaitReadable(int fd, const VisaNet_Deadline& deadline, std::string* detail) {
  const int r = VisaNet_Poll(fd, POLLIN, deadline);
  if (r > 0) return VISA_SUCCESS;  // readable, hung up or failed: recv() tells which
  if (r == 0) {
    *detail = "no reply";
    return VISA_ERR_TMO;
  }
  if (r == kVisaNetAborted) {
    *detail = "the wait for the reply was ended";
    return VISA_ERR_ABORT;
  }
  *detail = std::strerror(errno);
  return VISA_ERR_IO;
}
