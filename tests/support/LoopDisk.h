// A small disk of a given file system (ext4, xfs) in an image file, attached
// to a loop device and mounted on a fresh folder for one test, for the
// power-cut tests: the file system's shutdown call (the same request number
// for both, "going down") stops it as a power cut would, and a remount
// replays its journal. Where the machine does not allow it (no privilege,
// no loop devices, no mkfs for the file system) Ready() is false and Why()
// says so; the test skips with that message.
#pragma once

#include <fcntl.h>
#include <linux/loop.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/support/OutsideReaders.h"

namespace cz::test {

class LoopDisk {
 public:
  LoopDisk(const std::string& type, unsigned mib) : type_(type) {
    if (::geteuid() != 0) {
      why_ = "loop devices and mounts need the privileged user";
      return;
    }
    std::string out;
    if (RunShell("command -v mkfs." + type_ + " >/dev/null 2>&1", &out) != 0) {
      why_ = "mkfs." + type_ + " not found (scripts/install-deps installs it)";
      return;
    }
    char image[] = "/tmp/cadenza-loop-XXXXXX";
    const int fd = ::mkstemp(image);
    if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(mib) << 20) != 0) {
      why_ = std::string("cannot make the disk image: ") + std::strerror(errno);
      if (fd >= 0) ::close(fd);
      return;
    }
    ::close(fd);
    image_ = image;
    if (RunShell("mkfs." + type_ + (type_ == "xfs" ? " -f -q '" : " -F -q '") + image_ + "' >/dev/null 2>&1", &out) !=
        0) {
      why_ = "mkfs." + type_ + " failed";
      return;
    }
    char folder[] = "/tmp/cadenza-mnt-XXXXXX";
    if (::mkdtemp(folder) == nullptr) {
      why_ = std::string("cannot make a folder: ") + std::strerror(errno);
      return;
    }
    path_ = folder;
    if (Attach() && Mount()) ready_ = true;
  }
  ~LoopDisk() {
    if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
    if (loop_ >= 0) {
      ::ioctl(loop_, LOOP_CLR_FD, 0);
      ::close(loop_);
    }
    if (!path_.empty()) ::rmdir(path_.c_str());
    if (!image_.empty()) ::unlink(image_.c_str());
  }
  LoopDisk(const LoopDisk&) = delete;
  LoopDisk& operator=(const LoopDisk&) = delete;

  bool Ready() const { return ready_; }
  const std::string& Why() const { return why_; }
  const std::string& path() const { return path_; }

  // Writes everything out, as a disk that has been idle for a while.
  bool Settle() {
    const int fd = ::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool ok = fd >= 0 && ::syncfs(fd) == 0;
    if (fd >= 0) ::close(fd);
    return ok;
  }
  // The power cut: the file system stops at once. With flushLog its journal
  // (names, sizes) is written first, as when a later flush of anything on
  // the disk committed it, but no data that was not flushed; without, the
  // journal is lost too.
  bool PowerCut(bool flushLog) {
    // The shutdown request of ext4 and xfs: _IOR('X', 125, __u32); flags
    // 1 = flush the journal, 2 = do not.
    const unsigned long kGoingDown = _IOR('X', 125, std::uint32_t);
    std::uint32_t flags = flushLog ? 1 : 2;
    const int fd = ::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool ok = fd >= 0 && ::ioctl(fd, kGoingDown, &flags) == 0;
    if (fd >= 0) ::close(fd);
    return ok;
  }
  // Unmounts and mounts again: the state a restart after the cut finds.
  bool Remount() {
    if (mounted_ && ::umount2(path_.c_str(), 0) != 0) return false;
    mounted_ = false;
    return Mount();
  }

 private:
  bool Attach() {
    const int control = ::open("/dev/loop-control", O_RDWR | O_CLOEXEC);
    if (control < 0) {
      why_ = std::string("no loop devices: ") + std::strerror(errno);
      return false;
    }
    const int backing = ::open(image_.c_str(), O_RDWR | O_CLOEXEC);
    // Another test may take the free device first: a few tries.
    for (int attempt = 0; attempt < 8 && loop_ < 0 && backing >= 0; ++attempt) {
      const int n = ::ioctl(control, LOOP_CTL_GET_FREE);
      if (n < 0) break;
      device_ = "/dev/loop" + std::to_string(n);
      const int loop = ::open(device_.c_str(), O_RDWR | O_CLOEXEC);
      if (loop < 0) break;
      if (::ioctl(loop, LOOP_SET_FD, backing) == 0) {
        loop_ = loop;
      } else {
        ::close(loop);
        if (errno != EBUSY) break;
      }
    }
    if (loop_ < 0) why_ = "cannot attach a loop device: " + std::string(std::strerror(errno));
    if (backing >= 0) ::close(backing);
    ::close(control);
    return loop_ >= 0;
  }
  bool Mount() {
    if (::mount(device_.c_str(), path_.c_str(), type_.c_str(), 0, nullptr) != 0) {
      why_ = "cannot mount " + type_ + ": " + std::strerror(errno);
      return false;
    }
    mounted_ = true;
    return true;
  }

  std::string type_, image_, path_, device_, why_;
  int loop_ = -1;
  bool mounted_ = false;
  bool ready_ = false;
};

}  // namespace cz::test
