// Runs build/tools/cadenza-sim as a child process on free loopback ports for
// one test (or one test suite) and stops it again.
//
//   cz::test::SimFixture sim;
//   cz::test::SimOptions opt;
//   opt.model = "Nerrin";
//   opt.options = "NRN-M32A,OPT-HDD";
//   ASSERT_TRUE(sim.Start(opt)) << sim.Error();
//   VisaDev_Open(0, sim.SocketResource().c_str());
//
// For VXI-11 the test tells the I/O layer the core channel's port first:
//   Visa_SetVxi11CorePort(sim.Vxi11Port());  then open sim.Vxi11Resource().
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace cz::test {

struct SimOptions {
  std::string model = "Kaldra";
  std::string options;              // "*OPT?" reply
  bool modelOptions = false;        // no --options: the model fully equipped
  std::vector<std::string> faults;  // cadenza-sim --fault specs, e.g. "opc0*1@WAV:SEL"
  bool vxi11 = true;                // also serve VXI-11
  bool portmap = false;             // also answer portmapper GETPORT calls (UDP)
  uint16_t port = 0;                // raw-socket port; 0 = a free one (another
                                    // model at an address already in use)
};

class SimFixture {
 public:
  SimFixture() = default;
  ~SimFixture();  // stops the simulator and removes its journal
  SimFixture(const SimFixture&) = delete;
  SimFixture& operator=(const SimFixture&) = delete;

  // Starts the simulator; false with Error() when it cannot be started or does
  // not report its ports within 5 s. A running simulator is stopped first.
  bool Start(const SimOptions& options = SimOptions());
  // Stops the simulator (SIGTERM, then SIGKILL after 2 s). Harmless when stopped.
  void Stop();
  bool Running() const { return pid_ > 0; }
  // Process ID of the running simulator, -1 when stopped.
  pid_t Pid() const { return pid_; }

  uint16_t Port() const { return port_; }
  uint16_t Vxi11Port() const { return vxi11Port_; }
  uint16_t PortmapPort() const { return portmapPort_; }
  // "TCPIP0::127.0.0.1::<port>::SOCKET" and "TCPIP0::127.0.0.1::inst0::INSTR".
  std::string SocketResource() const;
  std::string Vxi11Resource() const;

  // Lines the simulator journaled so far: "CONNECT <n> ...", "RECV <n> <message>"
  // (blocks as "[<len> bytes crc32 <hex>]"), "CLEAR <n>", "DISCONNECT <n>" ...
  std::vector<std::string> Journal() const;
  // Only the received messages, without the "RECV <n> " prefix.
  std::vector<std::string> Received() const;
  const std::string& JournalPath() const { return journal_; }

  const std::string& Error() const { return error_; }

 private:
  pid_t pid_ = -1;
  uint16_t port_ = 0;
  uint16_t vxi11Port_ = 0;
  uint16_t portmapPort_ = 0;
  std::string journal_;
  std::string error_;
};

// For a child between fork and exec: the child gets SIGTERM when the
// process that forked it ends, so that a test that dies leaves no simulator
// behind holding its output pipe. Ends the child at once when that process
// is already gone.
void EndWithParent(pid_t parent);

// Path of the simulator program in the build folder (empty when not built).
std::string SimExecutablePath();

// CRC-32 as the journal shows it for blocks ("%08X").
uint32_t SimCrc32(const std::string& data);

}  // namespace cz::test
