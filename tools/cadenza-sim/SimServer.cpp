// Socket, VXI-11 and portmapper servers of the simulated instrument
// (loopback only).
//
// The VXI-11 server speaks ONC RPC (RFC 5531) over TCP with record marking:
// each message is sent as fragments behind a 4-byte big-endian header whose
// top bit marks the last fragment. Calls are decoded and replies encoded with
// the XDR routines generated from the VXI-11 core-channel definition.
// The portmapper answers GETPORT both as datagrams and over TCP (with the same
// record marking), as clients that find the core channel through either use.
#include "tools/cadenza-sim/SimServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <rpc/rpc.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <thread>

#include "platform/CLocale.h"
#include "platform/visa/Portmap.h"
#include "vxi11_core.h"

namespace cz::sim {

namespace {

using Clock = std::chrono::steady_clock;

// Largest RPC record accepted from a client (a device_write of 16 MiB).
constexpr uint32_t kMaxRecord = 16u << 20;
// Largest device_read reply sent at once; the client asks again for more.
constexpr uint32_t kMaxReadChunk = 1u << 20;

int Listen(uint16_t port, uint16_t* bound, std::string* why) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    *why = std::strerror(errno);
    return -1;
  }
  int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(port);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 16) != 0) {
    *why = FormatC("cannot listen on 127.0.0.1:%u: %s", unsigned(port), std::strerror(errno));
    ::close(fd);
    return -1;
  }
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  *bound = ntohs(a.sin_port);
  return fd;
}

// A UDP socket on 127.0.0.1 for the portmapper.
int BindDatagram(uint16_t port, uint16_t* bound, std::string* why) {
  int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    *why = std::strerror(errno);
    return -1;
  }
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(port);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    *why = FormatC("cannot bind UDP 127.0.0.1:%u: %s", unsigned(port), std::strerror(errno));
    ::close(fd);
    return -1;
  }
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  *bound = ntohs(a.sin_port);
  return fd;
}

bool SendAll(int fd, const char* data, std::size_t n) {
  while (n > 0) {
    ssize_t r = ::send(fd, data, n, MSG_NOSIGNAL);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    data += r;
    n -= static_cast<std::size_t>(r);
  }
  return true;
}

// A reply over a slow link: pieces of a twentieth of the rate every 50 ms.
// Ends early (false) when the server stops or the client has gone.
bool SendPaced(int fd, const std::string& data, uint64_t bytesPerSecond, const std::atomic<bool>& stopping) {
  const std::size_t piece = static_cast<std::size_t>(std::max<uint64_t>(1, bytesPerSecond / 20));
  for (std::size_t at = 0; at < data.size(); at += piece) {
    if (stopping) return false;
    if (!SendAll(fd, data.data() + at, std::min(piece, data.size() - at))) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

bool RecvAll(int fd, char* data, std::size_t n) {
  while (n > 0) {
    ssize_t r = ::recv(fd, data, n, 0);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    data += r;
    n -= static_cast<std::size_t>(r);
  }
  return true;
}

// Reads one RPC record (all fragments).
bool ReadRecord(int fd, std::string* record) {
  record->clear();
  for (;;) {
    unsigned char h[4];
    if (!RecvAll(fd, reinterpret_cast<char*>(h), 4)) return false;
    const uint32_t mark = (uint32_t(h[0]) << 24) | (uint32_t(h[1]) << 16) | (uint32_t(h[2]) << 8) | h[3];
    const uint32_t len = mark & 0x7FFFFFFFu;
    if (record->size() + len > kMaxRecord) return false;
    const std::size_t at = record->size();
    record->resize(at + len);
    if (len && !RecvAll(fd, record->data() + at, len)) return false;
    if (mark & 0x80000000u) return true;
  }
}

bool WriteRecord(int fd, const char* data, uint32_t len) {
  const uint32_t mark = 0x80000000u | len;
  const unsigned char h[4] = {static_cast<unsigned char>(mark >> 24), static_cast<unsigned char>(mark >> 16),
                              static_cast<unsigned char>(mark >> 8), static_cast<unsigned char>(mark)};
  return SendAll(fd, reinterpret_cast<const char*>(h), 4) && SendAll(fd, data, len);
}

// Reply header fields (RFC 5531): REPLY, MSG_ACCEPTED, AUTH_NONE verifier.
constexpr u_int kMsgReply = 1;
constexpr u_int kMsgAccepted = 0;
constexpr u_int kAcceptSuccess = 0;
constexpr u_int kAcceptProgUnavail = 1;
constexpr u_int kAcceptProgMismatch = 2;
constexpr u_int kAcceptProcUnavail = 3;
constexpr u_int kAcceptGarbageArgs = 4;

// Device_ErrorCode values (VXI-11 B.5.2).
constexpr int kErrInvalidLink = 4;
constexpr int kErrLocked = 11;
constexpr int kErrNotLocked = 12;
constexpr int kErrIoTimeout = 15;
constexpr int kReasonReqCnt = 0x01;
constexpr int kReasonTermChr = 0x02;
constexpr int kReasonEnd = 0x04;
constexpr int kFlagWaitLock = 0x01;
constexpr int kFlagEnd = 0x08;
constexpr int kFlagTermChrSet = 0x80;

// One link of a VXI-11 connection: its instrument connection and how far the
// front reply has been read.
struct Link {
  int conn = 0;
  std::size_t offset = 0;
  std::string reply;  // the reply being read out, kept while offset > 0
};

}  // namespace

bool SimServer::Start(const SimServerOptions& options, std::string* why) {
  options_ = options;
  if (options_.vxi11MaxRecv < 1024) options_.vxi11MaxRecv = 1024;
  stopping_ = false;
  socketFd_ = Listen(options.socketPort, &socketPort_, why);
  if (socketFd_ < 0) return false;
  if (options.vxi11) {
    vxi11Fd_ = Listen(options.vxi11Port, &vxi11Port_, why);
    if (vxi11Fd_ < 0) {
      ::close(socketFd_);
      socketFd_ = -1;
      return false;
    }
  }
  if (options.portmap && !BindPortmap(options.portmapPort, why)) {
    for (int* fd : {&socketFd_, &vxi11Fd_})
      if (*fd >= 0) {
        ::close(*fd);
        *fd = -1;
      }
    return false;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  threads_.emplace_back(&SimServer::AcceptLoop, this, socketFd_, Service::kSocket);
  if (vxi11Fd_ >= 0) threads_.emplace_back(&SimServer::AcceptLoop, this, vxi11Fd_, Service::kVxi11);
  if (portmapFd_ >= 0) threads_.emplace_back(&SimServer::ServePortmap, this, portmapFd_);
  if (portmapTcpFd_ >= 0) threads_.emplace_back(&SimServer::AcceptLoop, this, portmapTcpFd_, Service::kPortmap);
  return true;
}

// UDP and TCP on one port number. For port 0 the number the UDP socket got
// is tried for TCP, a few times over when TCP has it in use already.
bool SimServer::BindPortmap(uint16_t port, std::string* why) {
  for (int attempt = 0; attempt < 20; ++attempt) {
    portmapFd_ = BindDatagram(port, &portmapPort_, why);
    if (portmapFd_ < 0) return false;
    uint16_t bound = 0;
    portmapTcpFd_ = Listen(portmapPort_, &bound, why);
    if (portmapTcpFd_ >= 0) return true;
    ::close(portmapFd_);
    portmapFd_ = -1;
    if (port != 0) return false;
  }
  return false;
}

// GETPORT calls are journaled and answered: the VXI-11 core channel (TCP)
// with its port while VXI-11 is served, any other program with 0 (not
// registered). Other datagrams are journaled and ignored.
void SimServer::ServePortmap(int fd) {
  while (!stopping_) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    uint8_t buf[512];
    sockaddr_in peer{};
    socklen_t len = sizeof peer;
    const ssize_t n = ::recvfrom(fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&peer), &len);
    if (n < 0) continue;
    char host[INET_ADDRSTRLEN] = {0};
    ::inet_ntop(AF_INET, &peer.sin_addr, host, sizeof host);
    portmap::GetportCall call;
    if (!portmap::DecodeGetportCall(buf, static_cast<std::size_t>(n), &call)) {
      inst_.NotePortmap(FormatC("%s unknown datagram of %zd bytes", host, n));
      continue;
    }
    inst_.NotePortmap(FormatC("%s GETPORT 0x%X %u %u", host, call.program, call.version, call.protocol));
    const bool vxi11 = call.program == portmap::kVxi11CoreProgram && call.version == portmap::kVxi11CoreVersion &&
                       call.protocol == portmap::kProtoTcp && vxi11Fd_ >= 0;
    const std::vector<uint8_t> reply = portmap::EncodeGetportReply(call.xid, vxi11 ? vxi11Port_ : 0u);
    ::sendto(fd, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&peer), len);
  }
}

// GETPORT over TCP: one call per record, journaled as over UDP; anything
// else ends the connection.
void SimServer::ServePortmapStream(int fd, const std::string& peer) {
  const std::string host = peer.substr(0, peer.find(':'));
  std::string record;
  while (!stopping_ && ReadRecord(fd, &record)) {
    portmap::GetportCall call;
    if (!portmap::DecodeGetportCall(reinterpret_cast<const uint8_t*>(record.data()), record.size(), &call)) {
      inst_.NotePortmap(FormatC("%s unknown record of %zu bytes", host.c_str(), record.size()));
      break;
    }
    inst_.NotePortmap(FormatC("%s GETPORT 0x%X %u %u", host.c_str(), call.program, call.version, call.protocol));
    const bool vxi11 = call.program == portmap::kVxi11CoreProgram && call.version == portmap::kVxi11CoreVersion &&
                       call.protocol == portmap::kProtoTcp && vxi11Fd_ >= 0;
    const std::vector<uint8_t> reply = portmap::EncodeGetportReply(call.xid, vxi11 ? vxi11Port_ : 0u);
    if (!WriteRecord(fd, reinterpret_cast<const char*>(reply.data()), static_cast<uint32_t>(reply.size()))) break;
  }
  Track(fd, false);
}

int SimServer::AwaitLock(int lid, bool wait, uint32_t timeoutMs, bool take) {
  std::unique_lock<std::mutex> lock(lockMutex_);
  const auto free = [&] { return lockHolder_ == 0 || lockHolder_ == lid || stopping_; };
  if (!free() && wait)
    lockChanged_.wait_for(lock, std::chrono::milliseconds(timeoutMs), free);
  if (lockHolder_ != 0 && lockHolder_ != lid) return kErrLocked;
  if (take) lockHolder_ = lid;
  return 0;
}

int SimServer::Unlock(int lid) {
  {
    std::lock_guard<std::mutex> lock(lockMutex_);
    if (lockHolder_ != lid) return kErrNotLocked;
    lockHolder_ = 0;
  }
  lockChanged_.notify_all();
  return 0;
}

void SimServer::Stop() {
  if (stopping_.exchange(true)) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (int fd : {socketFd_, vxi11Fd_, portmapTcpFd_})
      if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
    // The portmapper's loop sees stopping_ within its poll interval.
    for (int fd : openFds_) ::shutdown(fd, SHUT_RDWR);
  }
  {
    std::lock_guard<std::mutex> lock(lockMutex_);  // wakes links waiting for the lock
  }
  lockChanged_.notify_all();
  // Threads may still add connection threads until the listeners are gone.
  for (;;) {
    std::vector<std::thread> batch;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      batch.swap(threads_);
    }
    if (batch.empty()) break;
    for (std::thread& t : batch) t.join();
  }
  for (int* fd : {&socketFd_, &vxi11Fd_, &portmapFd_, &portmapTcpFd_})
    if (*fd >= 0) {
      ::close(*fd);
      *fd = -1;
    }
}

std::vector<SimServer::Vxi11Write> SimServer::Vxi11Writes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return writes_;
}

void SimServer::Track(int fd, bool add) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (add) {
    openFds_.insert(fd);
  } else {
    openFds_.erase(fd);
    ::close(fd);
  }
}

void SimServer::AcceptLoop(int listenFd, Service service) {
  while (!stopping_) {
    pollfd p{listenFd, POLLIN, 0};
    int r = ::poll(&p, 1, 100);
    if (r <= 0) continue;
    sockaddr_in peer{};
    socklen_t len = sizeof peer;
    int fd = ::accept4(listenFd, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_CLOEXEC);
    if (fd < 0) continue;
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    char host[INET_ADDRSTRLEN] = {0};
    ::inet_ntop(AF_INET, &peer.sin_addr, host, sizeof host);
    std::string who = FormatC("%s:%u", host, unsigned(ntohs(peer.sin_port)));
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) {
      ::close(fd);
      break;
    }
    openFds_.insert(fd);
    if (service == Service::kVxi11)
      threads_.emplace_back(&SimServer::ServeVxi11, this, fd, who);
    else if (service == Service::kPortmap)
      threads_.emplace_back(&SimServer::ServePortmapStream, this, fd, who);
    else
      threads_.emplace_back(&SimServer::ServeSocket, this, fd, who);
  }
}

void SimServer::ServeSocket(int fd, const std::string& peer) {
  const int conn = inst_.Connect("socket " + peer, true);
  std::string chunk(65536, '\0');
  while (!stopping_) {
    std::string reply;
    Clock::time_point due;
    uint64_t pace = 0;
    int waitMs = 100;
    if (inst_.PeekReply(conn, nullptr, &due, &pace)) {
      const Clock::time_point now = Clock::now();
      if (due <= now && inst_.TakeReply(conn, &reply)) {
        if (pace > 0 ? !SendPaced(fd, reply, pace, stopping_) : !SendAll(fd, reply.data(), reply.size())) break;
        continue;
      }
      waitMs = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(due - now).count()) + 1;
      if (waitMs > 100) waitMs = 100;
    }
    pollfd p{fd, POLLIN, 0};
    int r = ::poll(&p, 1, waitMs);
    if (r <= 0) continue;
    ssize_t n = ::recv(fd, chunk.data(), chunk.size(), 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    if (!inst_.Feed(conn, reinterpret_cast<const uint8_t*>(chunk.data()), static_cast<std::size_t>(n), false)) break;
  }
  inst_.Disconnect(conn);
  Track(fd, false);
}

void SimServer::ServeVxi11(int fd, const std::string& peer) {
  std::map<int, Link> links;
  std::string record;
  std::vector<char> out;
  while (!stopping_ && ReadRecord(fd, &record)) {
    XDR in;
    xdrmem_create(&in, record.data(), static_cast<u_int>(record.size()), XDR_DECODE);
    u_int xid = 0, mtype = 0, rpcvers = 0, prog = 0, vers = 0, proc = 0, flavor = 0;
    char* body = nullptr;
    u_int bodyLen = 0;
    bool ok = xdr_u_int(&in, &xid) && xdr_u_int(&in, &mtype) && mtype == 0 && xdr_u_int(&in, &rpcvers) &&
              xdr_u_int(&in, &prog) && xdr_u_int(&in, &vers) && xdr_u_int(&in, &proc);
    for (int k = 0; ok && k < 2; ++k) {  // credential and verifier, both ignored
      body = nullptr;
      ok = xdr_u_int(&in, &flavor) && xdr_bytes(&in, &body, &bodyLen, 400);
      ::free(body);
    }
    if (!ok) break;

    // Results of the procedures; the encoder runs at the end.
    Create_LinkResp linkResp{};
    Device_WriteResp writeResp{};
    Device_ReadResp readResp{};
    Device_ReadStbResp stbResp{};
    Device_Error errResp{};
    std::string readData;
    xdrproc_t encode = nullptr;
    void* result = nullptr;
    u_int accept = kAcceptSuccess;
    bool dropNow = false;

    if (prog != DEVICE_CORE) {
      accept = kAcceptProgUnavail;
    } else if (vers != DEVICE_CORE_VERSION) {
      accept = kAcceptProgMismatch;
    } else if (proc == create_link) {
      Create_LinkParms p{};
      if (!xdr_Create_LinkParms(&in, &p)) {
        accept = kAcceptGarbageArgs;
      } else {
        const int conn = inst_.Connect(FormatC("vxi11 %s %s", peer.c_str(), p.device ? p.device : ""));
        linkResp.error = p.lockDevice ? AwaitLock(conn, true, p.lock_timeout, true) : 0;
        if (linkResp.error == 0) {
          links[conn] = Link{conn, 0, {}};
          linkResp.lid = conn;
        } else {
          inst_.Disconnect(conn);
        }
        linkResp.abortPort = 0;
        linkResp.maxRecvSize = options_.vxi11MaxRecv;
        encode = reinterpret_cast<xdrproc_t>(xdr_Create_LinkResp);
        result = &linkResp;
      }
      xdr_free(reinterpret_cast<xdrproc_t>(xdr_Create_LinkParms), reinterpret_cast<char*>(&p));
    } else if (proc == device_write) {
      Device_WriteParms p{};
      if (!xdr_Device_WriteParms(&in, &p)) {
        accept = kAcceptGarbageArgs;
      } else if (!links.count(p.lid)) {
        writeResp.error = kErrInvalidLink;
      } else if ((writeResp.error = AwaitLock(p.lid, p.flags & kFlagWaitLock, p.lock_timeout, false)) == 0) {
        // A reply left partly read is the instrument's to discard now.
        Link& l = links[p.lid];
        l.offset = 0;
        std::string().swap(l.reply);
        // Only the advertised maximum is taken; the client sends the rest again.
        u_int n = p.data.data_len > options_.vxi11MaxRecv ? options_.vxi11MaxRecv : p.data.data_len;
        const bool end = (p.flags & kFlagEnd) && n == p.data.data_len;
        {
          std::lock_guard<std::mutex> lock(mutex_);
          writes_.push_back(Vxi11Write{n, (p.flags & kFlagEnd) != 0});
        }
        dropNow = !inst_.Feed(p.lid, reinterpret_cast<const uint8_t*>(p.data.data_val), n, end);
        writeResp.size = n;
      }
      encode = reinterpret_cast<xdrproc_t>(xdr_Device_WriteResp);
      result = &writeResp;
      xdr_free(reinterpret_cast<xdrproc_t>(xdr_Device_WriteParms), reinterpret_cast<char*>(&p));
    } else if (proc == device_read) {
      Device_ReadParms p{};
      if (!xdr_Device_ReadParms(&in, &p)) {
        accept = kAcceptGarbageArgs;
      } else if (!links.count(p.lid)) {
        readResp.error = kErrInvalidLink;
      } else if ((readResp.error = AwaitLock(p.lid, p.flags & kFlagWaitLock, p.lock_timeout, false)) == 0) {
        Link& l = links[p.lid];
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(p.io_timeout);
        // A long reply is copied out of the instrument once, not once per read.
        std::string& reply = l.reply;
        Clock::time_point due;
        bool have = l.offset > 0;
        while (!have) {
          // The reply is copied out once it is due, not at every look.
          have = inst_.PeekReply(l.conn, nullptr, &due) && due <= Clock::now() && inst_.PeekReply(l.conn, &reply, &due);
          if (have || Clock::now() >= deadline || stopping_) break;
          std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        if (!have) {
          readResp.error = kErrIoTimeout;
        } else {
          uint32_t want = p.requestSize < kMaxReadChunk ? p.requestSize : kMaxReadChunk;
          const std::size_t left = reply.size() - l.offset;
          std::size_t n = left < want ? left : want;
          // With the flag set the read ends just after the first term character.
          readResp.reason = 0;
          if (p.flags & kFlagTermChrSet) {
            const std::size_t at = reply.find(p.termChar, l.offset);
            if (at != std::string::npos && at < l.offset + n) {
              n = at + 1 - l.offset;
              readResp.reason |= kReasonTermChr;
            }
          }
          readData = reply.substr(l.offset, n);
          l.offset += n;
          readResp.error = 0;
          if (l.offset == reply.size()) {
            inst_.PopReply(l.conn);
            l.offset = 0;
            std::string().swap(l.reply);
            readResp.reason |= kReasonEnd;
          }
          if (n == p.requestSize) readResp.reason |= kReasonReqCnt;
          readResp.data.data_len = static_cast<u_int>(readData.size());
          readResp.data.data_val = readData.data();
        }
      }
      encode = reinterpret_cast<xdrproc_t>(xdr_Device_ReadResp);
      result = &readResp;
    } else if (proc == device_readstb) {
      Device_GenericParms p{};
      if (!xdr_Device_GenericParms(&in, &p)) {
        accept = kAcceptGarbageArgs;
      } else if (!links.count(p.lid)) {
        stbResp.error = kErrInvalidLink;
      } else if ((stbResp.error = AwaitLock(p.lid, p.flags & kFlagWaitLock, p.lock_timeout, false)) == 0) {
        stbResp.stb = inst_.StatusByte(p.lid);
      }
      encode = reinterpret_cast<xdrproc_t>(xdr_Device_ReadStbResp);
      result = &stbResp;
    } else if (proc == device_lock) {
      Device_LockParms p{};
      if (!xdr_Device_LockParms(&in, &p)) {
        accept = kAcceptGarbageArgs;
      } else if (!links.count(p.lid)) {
        errResp.error = kErrInvalidLink;
      } else {
        errResp.error = AwaitLock(p.lid, p.flags & kFlagWaitLock, p.lock_timeout, true);
      }
      encode = reinterpret_cast<xdrproc_t>(xdr_Device_Error);
      result = &errResp;
    } else if (proc == device_unlock) {
      Device_Link lid = 0;
      if (!xdr_Device_Link(&in, &lid)) {
        accept = kAcceptGarbageArgs;
      } else {
        errResp.error = links.count(lid) ? Unlock(lid) : kErrInvalidLink;
      }
      encode = reinterpret_cast<xdrproc_t>(xdr_Device_Error);
      result = &errResp;
    } else if (proc == device_clear || proc == device_local || proc == device_remote || proc == device_trigger) {
      Device_GenericParms p{};
      if (!xdr_Device_GenericParms(&in, &p)) {
        accept = kAcceptGarbageArgs;
      } else if (!links.count(p.lid)) {
        errResp.error = kErrInvalidLink;
      } else if ((errResp.error = AwaitLock(p.lid, p.flags & kFlagWaitLock, p.lock_timeout, false)) == 0) {
        if (proc == device_clear) {
          inst_.DeviceClear(p.lid);
          links[p.lid].offset = 0;
        } else if (proc == device_local) {
          inst_.GoToLocal(p.lid);
        }
      }
      encode = reinterpret_cast<xdrproc_t>(xdr_Device_Error);
      result = &errResp;
    } else if (proc == destroy_link) {
      Device_Link lid = 0;
      if (!xdr_Device_Link(&in, &lid)) {
        accept = kAcceptGarbageArgs;
      } else if (!links.count(lid)) {
        errResp.error = kErrInvalidLink;
      } else {
        Unlock(lid);
        inst_.Disconnect(lid);
        links.erase(lid);
        errResp.error = 0;
      }
      encode = reinterpret_cast<xdrproc_t>(xdr_Device_Error);
      result = &errResp;
    } else {
      accept = kAcceptProcUnavail;
    }
    xdr_destroy(&in);

    out.assign(readData.size() + 1024, '\0');
    XDR x;
    xdrmem_create(&x, out.data(), static_cast<u_int>(out.size()), XDR_ENCODE);
    u_int reply = kMsgReply, accepted = kMsgAccepted, none = 0, zero = 0;
    bool enc = xdr_u_int(&x, &xid) && xdr_u_int(&x, &reply) && xdr_u_int(&x, &accepted) &&
               xdr_u_int(&x, &none) && xdr_u_int(&x, &zero) && xdr_u_int(&x, &accept);
    if (enc && accept == kAcceptProgMismatch) {
      u_int lo = DEVICE_CORE_VERSION, hi = DEVICE_CORE_VERSION;
      enc = xdr_u_int(&x, &lo) && xdr_u_int(&x, &hi);
    }
    if (enc && accept == kAcceptSuccess && encode) enc = encode(&x, result);
    const u_int used = xdr_getpos(&x);
    xdr_destroy(&x);
    if (!enc || dropNow || !WriteRecord(fd, out.data(), used)) break;
  }
  for (auto& l : links) {
    Unlock(l.first);
    inst_.Disconnect(l.first);
  }
  Track(fd, false);
}

}  // namespace cz::sim
