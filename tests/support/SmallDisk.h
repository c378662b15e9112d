// A small tmpfs for the full-disk tests, mounted on a fresh folder and
// unmounted when the object goes, also when a test ends early. Where the
// machine does not allow the mount (no privilege) Mounted() is false and
// Why() says so; the test skips with that message.
#pragma once

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace cz::test {

class SmallDisk {
 public:
  explicit SmallDisk(unsigned kib = 64) {
    char pattern[] = "/tmp/cadenza-disk-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
      why_ = std::string("cannot make a folder: ") + std::strerror(errno);
      return;
    }
    path_ = pattern;
    // A folder of the user's own (mode 0700), as a temporary folder in the
    // home is: the program then keeps its files in it directly.
    const std::string options = "size=" + std::to_string(kib) + "k,mode=0700";
    if (::mount("tmpfs", path_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
      why_ = std::string("cannot mount a tmpfs: ") + std::strerror(errno);
      ::rmdir(path_.c_str());
      return;
    }
    mounted_ = true;
  }
  ~SmallDisk() {
    if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
    if (!path_.empty()) ::rmdir(path_.c_str());
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;

  bool Mounted() const { return mounted_; }
  const std::string& Why() const { return why_; }
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

  // Fills the disk to its last byte with one file; true when it is full.
  bool Fill() {
    FILE* f = std::fopen(File(".filler").c_str(), "wb");
    if (f == nullptr) return false;
    static const char block[4096] = {};
    while (std::fwrite(block, 1, sizeof block, f) == sizeof block) {
    }
    std::clearerr(f);
    while (std::fwrite(block, 1, 1, f) == 1 && std::fflush(f) == 0) {
    }
    const bool full = errno == ENOSPC;
    std::fclose(f);
    return full;
  }
  // Gives the filler's space back.
  void Empty() { ::unlink(File(".filler").c_str()); }

 private:
  std::string path_, why_;
  bool mounted_ = false;
};

}  // namespace cz::test

// Skips the running test where no small disk can be mounted.
#define CZ_SKIP_WITHOUT(disk)                                                                  \
  if (!(disk).Mounted()) GTEST_SKIP() << "full-disk case not run: " << (disk).Why()
