// VXI-11 discovery by portmapper broadcast.
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "app/Settings.h"
#include "instrument/LanDiscovery.h"
#include "platform/CLocale.h"
#include "platform/visa/Portmap.h"

namespace {

using Clock = std::chrono::steady_clock;

// Broadcast address of every up IPv4 interface that has one, port 111.
std::vector<sockaddr_in> InterfaceBroadcasts() {
  std::vector<sockaddr_in> out;
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return out;
  for (ifaddrs* i = list; i; i = i->ifa_next) {
    if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
    if (!(i->ifa_flags & IFF_UP) || !(i->ifa_flags & IFF_BROADCAST) || (i->ifa_flags & IFF_LOOPBACK)) continue;
    if (!i->ifa_broadaddr || i->ifa_broadaddr->sa_family != AF_INET) continue;
    sockaddr_in a;
    std::memcpy(&a, i->ifa_broadaddr, sizeof a);
    a.sin_port = htons(cz::portmap::kPort);
    bool known = false;
    for (const sockaddr_in& b : out) known = known || b.sin_addr.s_addr == a.sin_addr.s_addr;
    if (!known) out.push_back(a);
  }
  ::freeifaddrs(list);
  return out;
}

// The reverse lookup of one answering host. It runs on a thread of its own,
// since a resolver may take seconds; the scan takes the name only when it
// has come in time, else the address.
struct Lookup {
  std::string address;
  std::mutex mutex;
  std::string name;
  std::atomic<bool> done{false};
};

void StartLookup(const std::shared_ptr<Lookup>& lookup, in_addr address) {
  std::thread([lookup, address] {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr = address;
    char host[NI_MAXHOST] = "";
    if (::getnameinfo(reinterpret_cast<sockaddr*>(&a), sizeof a, host, sizeof host, nullptr, 0, NI_NAMEREQD) == 0) {
      std::lock_guard<std::mutex> lock(lookup->mutex);
      lookup->name = host;
    }
    lookup->done = true;
  }).detach();
}

class Vxi11Broadcast final : public LanDiscoveryProvider {
 public:
  explicit Vxi11Broadcast(std::vector<sockaddr_in> targets) : targets_(std::move(targets)) {}
  ~Vxi11Broadcast() override {
    if (fd_ >= 0) ::close(fd_);
  }

  const char* Name() const override { return "VXI-11 broadcast"; }

  bool Start(const std::string&, std::string* why) override {
    const bool broadcast = targets_.empty();
    if (broadcast) targets_ = InterfaceBroadcasts();
    if (targets_.empty()) {
      *why = "no IPv4 interface with a broadcast address is up";
      return false;
    }
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd_ < 0) {
      *why = cz::FormatC("cannot open a UDP socket: %s", std::strerror(errno));
      return false;
    }
    const int one = 1;
    if (broadcast) ::setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
    xid_ = static_cast<std::uint32_t>(Clock::now().time_since_epoch().count()) ^ static_cast<std::uint32_t>(::getpid());
    const std::vector<std::uint8_t> call = cz::portmap::EncodeGetportCall(
        {xid_, cz::portmap::kVxi11CoreProgram, cz::portmap::kVxi11CoreVersion, cz::portmap::kProtoTcp});
    int sent = 0;
    std::string lastError;
    for (const sockaddr_in& t : targets_) {
      if (::sendto(fd_, call.data(), call.size(), 0, reinterpret_cast<const sockaddr*>(&t), sizeof t) ==
          static_cast<ssize_t>(call.size())) {
        ++sent;
      } else {
        lastError = std::strerror(errno);
      }
    }
    start_ = Clock::now();
    if (sent == 0) {
      *why = "cannot send the portmapper call: " + lastError;
      return false;
    }
    return true;
  }

  void Poll(int waitMs) override {
    if (fd_ < 0) return;
    const int left = static_cast<int>(kVxi11CollectMs - ElapsedMs());
    const int wait = left <= 0 ? 0 : (waitMs < left ? waitMs : left);
    pollfd p{fd_, POLLIN, 0};
    if (wait > 0) {
      ::poll(&p, 1, wait);
    } else if (!Done() && waitMs > 0) {
      // Lookups still running: wait for them without spinning.
      std::this_thread::sleep_for(std::chrono::milliseconds(waitMs < 20 ? waitMs : 20));
    }
    for (;;) {
      std::uint8_t buf[512];
      sockaddr_in from{};
      socklen_t len = sizeof from;
      const ssize_t n = ::recvfrom(fd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
      if (n < 0) break;
      if (ElapsedMs() > kVxi11CollectMs) continue;  // too late: not collected
      std::uint32_t xid = 0, port = 0;
      if (!cz::portmap::DecodeGetportReply(buf, static_cast<std::size_t>(n), &xid, &port)) continue;
      if (xid != xid_ || port == 0) continue;  // another exchange, or no VXI-11 core channel
      AddCandidate(from.sin_addr);
    }
    Collect();
  }

  bool Done() const override {
    const long elapsed = ElapsedMs();
    if (elapsed < kVxi11CollectMs) return false;
    if (elapsed >= kVxi11CollectMs + kVxi11LookupGraceMs) return true;
    for (const auto& l : lookups_)
      if (!l->done) return false;
    return true;
  }

  bool Answered() const override { return !lookups_.empty(); }
  bool FindsDomain() const override { return false; }

  const std::vector<std::string>& Hosts() const override {
    Collect();
    return hosts_;
  }

  std::string Failure() const override { return std::string(); }

 private:
  long ElapsedMs() const {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count());
  }

  void AddCandidate(in_addr address) {
    char text[INET_ADDRSTRLEN] = "";
    ::inet_ntop(AF_INET, &address, text, sizeof text);
    for (const auto& l : lookups_)
      if (l->address == text) return;
    // A flood of answers starts no more lookups than the list can show.
    if (lookups_.size() >= static_cast<std::size_t>(cz::kScannedDevices)) return;
    auto lookup = std::make_shared<Lookup>();
    lookup->address = text;
    lookups_.push_back(lookup);
    StartLookup(lookup, address);
  }

  // Names in the order the hosts answered; an unfinished lookup holds its
  // place with the address once the collection time is over.
  void Collect() const {
    hosts_.clear();
    const bool final = Done();
    for (const auto& l : lookups_) {
      if (!l->done && !final) break;
      std::string name;
      if (l->done) {
        std::lock_guard<std::mutex> lock(l->mutex);
        name = l->name;
      }
      const std::string host = name.empty() ? l->address : name;
      bool known = false;
      for (const std::string& h : hosts_) known = known || h == host;
      if (!known) hosts_.push_back(host);
    }
  }

  std::vector<sockaddr_in> targets_;
  int fd_ = -1;
  std::uint32_t xid_ = 0;
  Clock::time_point start_ = Clock::now();
  std::vector<std::shared_ptr<Lookup>> lookups_;
  mutable std::vector<std::string> hosts_;
};

}  // namespace

std::unique_ptr<LanDiscoveryProvider> NewVxi11BroadcastDiscovery(std::vector<sockaddr_in> targets) {
  return std::make_unique<Vxi11Broadcast>(std::move(targets));
}
