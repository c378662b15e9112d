// Host discovery for the Instrument Manager's LAN search. Each provider
// searches in its own way and yields host names; the manager runs them side
// by side on the user-interface thread, giving each time through Poll, and
// stores the hosts as "TCPIP::<host>::INSTR".
//
//   Avahi             DNS-SD: browses "_lxi._tcp", "_vxi-11._tcp" and
//                     "_scpi-raw._tcp" in the domain ("local" is the link, any
//                     other name a unicast DNS-SD domain) and resolves each
//                     service to its host name. The client library is loaded
//                     at run time; without it or its daemon the provider is
//                     not available and the search goes on without it.
//   VXI-11 broadcast  one portmapper GETPORT call for the VXI-11 core channel
//                     (TCP) to the broadcast address of every up IPv4
//                     interface; every host that answers with a port within
//                     the collection time is a candidate, named by reverse
//                     lookup where one exists, else by its address.
#pragma once

#include <netinet/in.h>

#include <memory>
#include <string>
#include <vector>

class LanDiscoveryProvider {
 public:
  virtual ~LanDiscoveryProvider() = default;
  // "Avahi", "VXI-11 broadcast", ...: the provider's log line.
  virtual const char* Name() const = 0;
  // Starts searching the domain. False, with the reason in *why, when the
  // provider cannot search here (library or service missing, no socket).
  virtual bool Start(const std::string& domain, std::string* why) = 0;
  // Handles what has arrived, waiting at most waitMs for it.
  virtual void Poll(int waitMs) = 0;
  // Nothing more is expected: every answer is in or the collection time is over.
  virtual bool Done() const = 0;
  // The search got an answer (possibly without hosts).
  virtual bool Answered() const = 0;
  // An answer of this provider is an answer for the domain itself, which
  // then exists (DNS-SD). A broadcast's answers come from whatever hosts
  // hear it, whatever domain was typed, and prove no domain.
  virtual bool FindsDomain() const { return true; }
  // The host names found so far, in the order found, each once.
  virtual const std::vector<std::string>& Hosts() const = 0;
  // What went wrong during the search ("" when nothing did).
  virtual std::string Failure() const = 0;
};

// Collection times (ms): VXI-11 answers are collected for this long; name
// lookups of the answering hosts may take the grace time on top. DNS-SD ends
// when every browser has reported its services and every resolver its host,
// at the latest after its limit.
inline constexpr int kVxi11CollectMs = 1000;
inline constexpr int kVxi11LookupGraceMs = 500;
inline constexpr int kDnsSdCollectMaxMs = 3000;

std::unique_ptr<LanDiscoveryProvider> NewAvahiDiscovery();

// targets: where the GETPORT call goes. Empty: port 111 at the broadcast
// address of each up IPv4 interface (the program's use). Tests pass
// 127.0.0.1 with the port of a simulated portmapper.
std::unique_ptr<LanDiscoveryProvider> NewVxi11BroadcastDiscovery(std::vector<sockaddr_in> targets = {});
