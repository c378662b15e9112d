// TCP helpers shared by the socket and VXI-11 transports: connecting with a
// time-out and moving bytes against a deadline.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "platform/visa/Visa.h"

// A point in time a blocking operation must not pass.
class VisaNet_Deadline {
 public:
  explicit VisaNet_Deadline(uint32_t timeoutMs)
      : end_(std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs)) {}
  // Milliseconds left, 0 when passed (for poll()).
  int RemainingMs() const;

 private:
  std::chrono::steady_clock::time_point end_;
};

// poll() on one descriptor until one of its events, the deadline or the end
// of the wait by the wait hook (Visa_SetWaitHook), which runs between slices
// of VISA_WAIT_SLICE_MS. Returns > 0 for an event, 0 when the deadline
// passed, kVisaNetAborted when the hook ended the wait, -1 (errno set) when
// poll() failed.
inline constexpr int kVisaNetAborted = -2;
int VisaNet_Poll(int fd, short events, const VisaNet_Deadline& deadline);

// Resolves host (name or address) and connects to port within timeoutMs.
// On success *fd is a connected, non-blocking socket with TCP_NODELAY set.
VisaStatus VisaNet_Connect(const std::string& host, uint16_t port, uint32_t timeoutMs, int* fd,
                           std::string* detail);

// Sends count bytes on a non-blocking socket before the deadline.
VisaStatus VisaNet_SendAll(int fd, const uint8_t* data, uint32_t count, const VisaNet_Deadline& deadline,
                           uint32_t* sent, std::string* detail);

// Waits until fd is readable (or has hung up) before the deadline.
VisaStatus VisaNet_WaitReadable(int fd, const VisaNet_Deadline& deadline, std::string* detail);

// Switches a socket between blocking and non-blocking mode.
bool VisaNet_SetBlocking(int fd, bool blocking);
