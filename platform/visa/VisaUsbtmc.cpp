// USB instruments through the Linux usbtmc driver
// ("USB[board]::vendor::product[::serial]::INSTR").
//
// Devices are found under /sys/class/usbmisc/usbtmc<N>; the USB device's
// idVendor, idProduct and serial attributes sit one level above the
// interface that "device" points to. Data goes through /dev/usbtmc<N>; the
// time-out, the EOM bit of the last transfer, device clear and go-to-local
// are the driver's ioctls.
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
#include "platform/visa/VisaTransport.h"

namespace {

const char kSysClass[] = "/sys/class/usbmisc";

// The driver refuses time-outs below 100 ms.
constexpr uint32_t kMinTimeoutMs = 100;

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
  explicit UsbtmcTransport(int fd) : fd_(fd) {}
  ~UsbtmcTransport() override { ::close(fd_); }

  uint16_t InterfaceType() const override { return VISA_INTF_USB; }

  VisaStatus Write(const uint8_t* data, uint32_t count, bool end, uint32_t timeoutMs,
                   uint32_t* written) override {
    *written = 0;
    VisaStatus st = Prepare(timeoutMs);
    if (st < 0) return st;
    const uint8_t eom = end ? 1 : 0;
    if (eom != eom_) {
      if (::ioctl(fd_, USBTMC_IOCTL_EOM_ENABLE, &eom) != 0) return Errno(VISA_ERR_IO);
      eom_ = eom;
    }
    while (*written < count) {
      ssize_t r = ::write(fd_, data + *written, count - *written);
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
    VisaStatus st = Prepare(timeoutMs);
    if (st < 0) return st;
    ssize_t r;
    do {
      r = ::read(fd_, buffer, count);
    } while (r < 0 && errno == EINTR);
    if (r < 0) return Errno(errno == ETIMEDOUT ? VISA_ERR_TMO : VISA_ERR_IO);
    *got = static_cast<uint32_t>(r);
    // The driver stops early only at the end of the device's message.
    return *got < count ? VISA_SUCCESS : VISA_SUCCESS_MAX_CNT;
  }

  VisaStatus Clear(uint32_t timeoutMs) override {
    VisaStatus st = Prepare(timeoutMs);
    if (st < 0) return st;
    return ::ioctl(fd_, USBTMC_IOCTL_CLEAR) == 0 ? VISA_SUCCESS : Errno(VISA_ERR_IO);
  }

  VisaStatus GoToLocal(uint32_t timeoutMs) override {
    VisaStatus st = Prepare(timeoutMs);
    if (st < 0) return st;
    return ::ioctl(fd_, USBTMC488_IOCTL_GOTO_LOCAL) == 0 ? VISA_SUCCESS : Errno(VISA_ERR_NSUP_OPER);
  }

 private:
  VisaStatus Prepare(uint32_t timeoutMs) {
    uint32_t t = timeoutMs < kMinTimeoutMs ? kMinTimeoutMs : timeoutMs;
    if (t != timeout_) {
      if (::ioctl(fd_, USBTMC_IOCTL_SET_TIMEOUT, &t) != 0) return Errno(VISA_ERR_IO);
      timeout_ = t;
    }
    return VISA_SUCCESS;
  }
  VisaStatus Errno(VisaStatus st) {
    SetDetail(std::strerror(errno));
    return st;
  }

  int fd_;
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
    *out = std::make_unique<UsbtmcTransport>(fd);
    return VISA_SUCCESS;
  }
  *detail = cz::FormatC("no usbtmc device 0x%04X:0x%04X%s%s", unsigned(res.vendorId), unsigned(res.productId),
                        res.serial.empty() ? "" : " with serial ", res.serial.c_str());
  return VISA_ERR_RSRC_NFOUND;
}
