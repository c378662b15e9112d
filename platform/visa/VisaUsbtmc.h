// Inside the instrument I/O layer: a usbtmc transport over a device the
// layer's tests make themselves, with the driver calls the transport makes
// on the device node (read(2), write(2), ioctl(2)) in their hands.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <memory>

#include "platform/visa/VisaTransport.h"

struct VisaUsbtmc_Driver {
  // One read(2): at most size bytes of one transfer of the device's message.
  ssize_t (*read)(int fd, void* buffer, std::size_t size);
  // One write(2) of a message or part of one.
  ssize_t (*write)(int fd, const void* data, std::size_t size);
  // One ioctl(2) with a USBTMC_IOCTL_* request.
  int (*control)(int fd, unsigned long request, void* argument);
};

// The transport over fd, an open device (closed with the transport), through
// driver.
std::unique_ptr<VisaTransport> VisaUsbtmc_Adopt(int fd, const VisaUsbtmc_Driver& driver);
