// TCP connect and deadline-bound send/receive waits.
#include "platform/visa/VisaNet.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/CLocale.h"

int VisaNet_Deadline::RemainingMs() const {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end_ - std::chrono::steady_clock::now());
  if (left.count() <= 0) return 0;
  return left.count() > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(left.count());
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
    pollfd p{fd, POLLOUT, 0};
    int r;
    do {
      r = ::poll(&p, 1, deadline.RemainingMs());
    } while (r < 0 && errno == EINTR);
    if (r == 0) {
      *detail = "no answer to the connection request";
      ::close(fd);
      return VISA_ERR_TMO;
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
      pollfd p{fd, POLLOUT, 0};
      int pr = ::poll(&p, 1, deadline.RemainingMs());
      if (pr == 0) {
        *detail = "the instrument does not take more data";
        return VISA_ERR_TMO;
      }
      if (pr < 0 && errno != EINTR) {
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
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    int r = ::poll(&p, 1, deadline.RemainingMs());
    if (r > 0) return VISA_SUCCESS;  // readable, hung up or failed: recv() tells which
    if (r == 0) {
      *detail = "no reply";
      return VISA_ERR_TMO;
    }
    if (errno != EINTR) {
      *detail = std::strerror(errno);
      return VISA_ERR_IO;
    }
  }
}
