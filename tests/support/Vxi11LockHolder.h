// A second VXI-11 client of the test's own, beside the program: it links
// to the simulator's core channel on 127.0.0.1, takes the device lock and
// gives it back after a while, as another user's program on the bench
// would. Its RPC calls are packed here by hand (record marking, call
// headers, XDR arguments), not with the program's client.
//
//   cz::test::Vxi11LockHolder other;
//   ASSERT_TRUE(other.Lock(sim.Vxi11Port())) << other.Error();
//   other.UnlockAfter(1500);   // or Unlock(), or the destructor
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace cz::test {

class Vxi11LockHolder {
 public:
  Vxi11LockHolder() = default;
  ~Vxi11LockHolder();  // unlocks and ends the link
  Vxi11LockHolder(const Vxi11LockHolder&) = delete;
  Vxi11LockHolder& operator=(const Vxi11LockHolder&) = delete;

  // create_link of "inst0" and device_lock without waiting; false with
  // Error() when either fails (error 11: another link holds the lock).
  bool Lock(uint16_t corePort);
  // device_unlock and destroy_link, at once or from a thread of its own
  // after ms milliseconds.
  void Unlock();
  void UnlockAfter(int ms);

  const std::string& Error() const { return error_; }

 private:
  // One call: procedure proc with the XDR arguments args; the words of the
  // reply's results in *results. False with error_ on any failure.
  bool Call(uint32_t proc, const std::vector<uint32_t>& args, std::vector<uint32_t>* results);
  void Close();

  int fd_ = -1;
  uint32_t xid_ = 1;
  int32_t lid_ = -1;
  std::atomic<bool> locked_{false};
  std::thread unlocker_;
  std::string error_;
};

}  // namespace cz::test
