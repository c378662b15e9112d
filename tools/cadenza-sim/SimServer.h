// Network front of the simulated instrument: a raw SCPI socket server, a
// VXI-11 core-channel server and a portmapper that answers GETPORT over UDP,
// all bound to 127.0.0.1 only. Each connection is served on a thread of its
// own; the instrument state is shared.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tools/cadenza-sim/SimInstrument.h"

namespace cz::sim {

struct SimServerOptions {
  uint16_t socketPort = 0;       // 0: pick a free port
  bool vxi11 = false;            // also serve VXI-11
  uint16_t vxi11Port = 0;        // 0: pick a free port
  uint32_t vxi11MaxRecv = 65536; // maxRecvSize announced by create_link, >= 1024
  bool portmap = false;          // also answer portmapper GETPORT calls (UDP and TCP)
  uint16_t portmapPort = 0;      // 0: pick a free port
};

class SimServer {
 public:
  explicit SimServer(SimInstrument& instrument) : inst_(instrument) {}
  ~SimServer() { Stop(); }
  SimServer(const SimServer&) = delete;
  SimServer& operator=(const SimServer&) = delete;

  // Binds and starts listening. False (with *why) when a port cannot be bound.
  // The portmapper takes the same port number for UDP and TCP.
  bool Start(const SimServerOptions& options, std::string* why);
  // Closes the listeners and every connection and joins all threads.
  void Stop();

  uint16_t SocketPort() const { return socketPort_; }
  uint16_t Vxi11Port() const { return vxi11Port_; }
  uint16_t PortmapPort() const { return portmapPort_; }

  // Every device_write taken so far: its byte count and END flag (tests).
  struct Vxi11Write {
    uint32_t size;
    bool end;
  };
  std::vector<Vxi11Write> Vxi11Writes() const;

 private:
  enum class Service { kSocket, kVxi11, kPortmap };
  void AcceptLoop(int listenFd, Service service);
  void ServeSocket(int fd, const std::string& peer);
  void ServeVxi11(int fd, const std::string& peer);
  void Track(int fd, bool add);
  void ServePortmap(int fd);
  void ServePortmapStream(int fd, const std::string& peer);
  bool BindPortmap(uint16_t port, std::string* why);

  // The VXI-11 device lock: one for the instrument, held by at most one
  // link. With `wait` a caller waits up to timeoutMs for another link's lock
  // to go. Results are Device_ErrorCode values (0, 11 locked by another
  // link, 12 no lock held by this link).
  int AwaitLock(int lid, bool wait, uint32_t timeoutMs, bool take);
  int Unlock(int lid);

  SimInstrument& inst_;
  SimServerOptions options_;
  std::atomic<bool> stopping_{false};
  int socketFd_ = -1;
  int vxi11Fd_ = -1;
  int portmapFd_ = -1;
  int portmapTcpFd_ = -1;
  uint16_t socketPort_ = 0;
  uint16_t vxi11Port_ = 0;
  uint16_t portmapPort_ = 0;
  mutable std::mutex mutex_;
  std::set<int> openFds_;
  std::vector<Vxi11Write> writes_;
  std::vector<std::thread> threads_;
  std::mutex lockMutex_;
  std::condition_variable lockChanged_;
  int lockHolder_ = 0;  // link holding the device lock, 0 = none
};

}  // namespace cz::sim
