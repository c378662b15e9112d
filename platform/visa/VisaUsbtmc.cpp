// USB instruments through the Linux usbtmc driver
// ("USB[board]::vendor::product[::serial]::INSTR").
//
// Devices are found under /sys/class/usbmisc/usbtmc<N>; the USB device's
// idVendor, idProduct and serial attributes sit one level above the
// interface that "device" points to. Data goes through /dev/usbtmc<N>; the
// time-out, the EOM bit of the last transfer, device clear and go-to-local
// are the driver's ioctls.
//
// A device may send its message in several transfers (USBTMC 1.0, 3.3: a
// Bulk-IN transfer shorter than asked, even an empty one, with EOM clear),
// and the driver hands over one transfer per read(2): a read goes on until
// the transfer that carries EOM (USBTMC_IOCTL_MSG_IN_ATTR) or count bytes,
// within the time-out as a whole. A driver without that ioctl ends a read
// only at the message's end itself.
#include <dirent.h>
#include <fcntl.h>
#include <linux/usb/tmc.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/CLocale.h"
#include "platform/visa/VisaNet.h"
#include "platform/visa/VisaTransport.h"
#include "platform/visa/VisaUsbtmc.h"

namespace {

const char kSysClass[] = "/sys/class/usbmisc";

// The driver refuses time-outs below 100 ms.
constexpr uint32_t kMinTimeoutMs = 100;
// bmTransferAttributes of a DEV_DEP_MSG_IN header: the message's last transfer.
constexpr uint8_t kAttributeEom = 0x01;

ssize_t SystemRead(int fd, void* buffer, std::size_t size) { return ::read(fd, buffer, size); }
ssize_t SystemWrite(int fd, const void* data, std::size_t size) { return ::write(fd, data, size); }
int SystemControl(int fd, unsigned long request, void* argument) { return ::ioctl(fd, request, argument); }
const VisaUsbtmc_Driver kSystemDriver = {&SystemRead, &SystemWrite, &SystemControl};

struct UsbDevice {
  std::string node;  // "usbtmc0"
  uint16_t vendor = 0;
  uint16_t product = 0;
  std::string serial;
};

std::string ReadAttribute(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  if (!in || !std::getline(in, line)) return std::string();
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) line.pop_back();
  return line;
}

std::vector<UsbDevice> ListDevices() {
  std::vector<UsbDevice> list;
  DIR* dir = ::opendir(kSysClass);
  if (!dir) return list;
  while (dirent* e = ::readdir(dir)) {
    if (std::strncmp(e->d_name, "usbtmc", 6) != 0) continue;
    const std::string base = std::string(kSysClass) + "/" + e->d_name + "/device/../";
    UsbDevice d;
    d.node = e->d_name;
    const std::string vid = ReadAttribute(base + "idVendor");
    const std::string pid = ReadAttribute(base + "idProduct");
    if (vid.empty() || pid.empty()) continue;
    d.vendor = static_cast<uint16_t>(std::strtoul(vid.c_str(), nullptr, 16));
    d.product = static_cast<uint16_t>(std::strtoul(pid.c_str(), nullptr, 16));
    d.serial = ReadAttribute(base + "serial");
    list.push_back(d);
  }
  ::closedir(dir);
  return list;
}

bool SameText(const std::string& a, const std::string& b) {
  return a.size() == b.size() && ::strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

class UsbtmcTransport : public VisaTransport {
 public:
  UsbtmcTransport(int fd, const VisaUsbtmc_Driver& driver) : fd_(fd), driver_(driver) {}
  ~UsbtmcTransport() override { ::close(fd_); }

  uint16_t InterfaceType() const override { return VISA_INTF_USB; }

  VisaStatus Write(const uint8_t* data, uint32_t count, bool end, uint32_t timeoutMs,
                   uint32_t* written) override {
    *written = 0;
    VisaStatus st = Prepare(timeoutMs);
    if (st < 0) return st;
    uint8_t eom = end ? 1 : 0;
    if (eom != eom_) {
      if (driver_.control(fd_, USBTMC_IOCTL_EOM_ENABLE, &eom) != 0) return Errno(VISA_ERR_IO);
      eom_ = eom;
    }
    while (*written < count) {
      ssize_t r = driver_.write(fd_, data + *written, count - *written);
      if (r > 0) {
        *written += static_cast<uint32_t>(r);
        continue;
      }
      if (r < 0 && errno == EINTR) continue;
      return Errno(r < 0 && errno == ETIMEDOUT ? VISA_ERR_TMO : VISA_ERR_IO);
    }
    return VISA_SUCCESS;
  }

  VisaStatus Read(uint8_t* buffer, uint32_t count, uint32_t timeoutMs, uint32_t* got) override {
    *got = 0;
    const VisaNet_Deadline deadline(timeoutMs);
    uint32_t waitMs = timeoutMs;
    for (;;) {
      VisaStatus st = Prepare(waitMs);
      if (st < 0) return st;
      ssize_t r;
      do {
        r = driver_.read(fd_, buffer + *got, count - *got);
      } while (r < 0 && errno == EINTR);
      if (r < 0) return Errno(errno == ETIMEDOUT ? VISA_ERR_TMO : VISA_ERR_IO);
      *got += static_cast<uint32_t>(r) < count - *got ? static_cast<uint32_t>(r) : count - *got;
      uint8_t attributes = 0;
      if (driver_.control(fd_, USBTMC_IOCTL_MSG_IN_ATTR, &attributes) != 0)
        return *got < count ? VISA_SUCCESS : VISA_SUCCESS_MAX_CNT;
      if (attributes & kAttributeEom) return VISA_SUCCESS;
      if (*got == count) return VISA_SUCCESS_MAX_CNT;
      waitMs = static_cast<uint32_t>(deadline.RemainingMs());
      if (waitMs == 0) {
        SetDetail(cz::FormatC("the reply did not end within %u ms", timeoutMs));
        return VISA_ERR_TMO;
      }
    }
  }

  VisaStatus Clear(uint32_t timeoutMs) override {
    VisaStatus st = Prepare(timeoutMs);
    if (st < 0) return st;
    return driver_.control(fd_, USBTMC_IOCTL_CLEAR, nullptr) == 0 ? VISA_SUCCESS : Errno(VISA_ERR_IO);
  }

  VisaStatus GoToLocal(uint32_t timeoutMs) override {
    VisaStatus st = Prepare(timeoutMs);
    if (st < 0) return st;
    return driver_.control(fd_, USBTMC488_IOCTL_GOTO_LOCAL, nullptr) == 0 ? VISA_SUCCESS : Errno(VISA_ERR_NSUP_OPER);
  }

 private:
  VisaStatus Prepare(uint32_t timeoutMs) {
    uint32_t t = timeoutMs < kMinTimeoutMs ? kMinTimeoutMs : timeoutMs;
    if (t != timeout_) {
      if (driver_.control(fd_, USBTMC_IOCTL_SET_TIMEOUT, &t) != 0) return Errno(VISA_ERR_IO);
      timeout_ = t;
    }
    return VISA_SUCCESS;
  }
  VisaStatus Errno(VisaStatus st) {
    SetDetail(std::strerror(errno));
    return st;
  }

  int fd_;
  VisaUsbtmc_Driver driver_;
  uint32_t timeout_ = 0;
  uint8_t eom_ = 1;  // the driver's default
};

}  // namespace

void VisaUsbtmc_List(std::vector<std::string>* found) {
  for (const UsbDevice& d : ListDevices()) {
    VisaResource res;
    res.kind = VisaResourceKind::kUsb;
    res.vendorId = d.vendor;
    res.productId = d.product;
    res.serial = d.serial;
    found->push_back(VisaResource_Format(res));
  }
}

std::unique_ptr<VisaTransport> VisaUsbtmc_Adopt(int fd, const VisaUsbtmc_Driver& driver) {
  return std::make_unique<UsbtmcTransport>(fd, driver);
}

VisaStatus VisaUsbtmc_Open(const VisaResource& res, uint32_t /*timeoutMs*/, std::unique_ptr<VisaTransport>* out,
                           std::string* detail) {
  for (const UsbDevice& d : ListDevices()) {
    if (d.vendor != res.vendorId || d.product != res.productId) continue;
    if (!res.serial.empty() && !SameText(d.serial, res.serial)) continue;
    const std::string path = "/dev/" + d.node;
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
      *detail = path + ": " + std::strerror(errno);
      return VISA_ERR_INV_SETUP;
    }
    *out = std::make_unique<UsbtmcTransport>(fd, kSystemDriver);
    return VISA_SUCCESS;
  }
  *detail = cz::FormatC("no usbtmc device 0x%04X:0x%04X%s%s", unsigned(res.vendorId), unsigned(res.productId),
                        res.serial.empty() ? "" : " with serial ", res.serial.c_str());
  return VISA_ERR_RSRC_NFOUND;
}
