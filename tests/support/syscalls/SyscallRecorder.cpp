// A recorder of the system calls that decide what a file on the disk holds
// after a power cut: fsync and fdatasync of a file or a folder, and rename.
// Linked into a test program (its definitions then stand in for the C
// library's, for the program and the libraries it loads) or preloaded into
// a program the test runs (LD_PRELOAD), it appends one line per call to the
// file that $CZ_SYSCALL_LOG names, while that variable is set:
//   "S <kind> <size> <path>"  a flush: kind "file" or "dir", the file's size
//                             in bytes at that moment, the path it has then
//   "R <from>\t<to>"          a rename that succeeded, both paths absolute
// and then calls the C library's own function. tests/support/SyscallLog.h
// reads the lines back.
#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>
#include <string>

namespace {

std::mutex g_mutex;

template <typename Fn>
Fn Real(const char* name) {
  return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

void Append(const std::string& line) {
  const char* log = getenv("CZ_SYSCALL_LOG");
  if (log == nullptr || log[0] == '\0') return;
  std::lock_guard<std::mutex> lock(g_mutex);
  const int fd = open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0) return;
  const std::string text = line + "\n";
  (void)!write(fd, text.data(), text.size());
  close(fd);
}

std::string FdPath(int fd) {
  char link[64], path[PATH_MAX];
  snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  const ssize_t n = readlink(link, path, sizeof path - 1);
  return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string("?");
}

// The absolute path of `path` taken from the folder dirfd (or the working
// folder), its folder part with links resolved.
std::string Absolute(int dirfd, const char* path) {
  std::string full = path;
  if (full.empty() || full[0] != '/') {
    std::string base;
    if (dirfd == AT_FDCWD) {
      char cwd[PATH_MAX];
      base = getcwd(cwd, sizeof cwd) != nullptr ? cwd : "?";
    } else {
      base = FdPath(dirfd);
    }
    full = base + "/" + full;
  }
  const std::size_t slash = full.rfind('/');
  char real[PATH_MAX];
  const std::string folder = slash == 0 ? "/" : full.substr(0, slash);
  if (realpath(folder.c_str(), real) == nullptr) return full;
  return std::string(real) + (std::string(real) == "/" ? "" : "/") + full.substr(slash + 1);
}

void RecordFlush(int fd) {
  if (getenv("CZ_SYSCALL_LOG") == nullptr) return;
  struct stat st;
  if (fstat(fd, &st) != 0) return;
  Append(std::string("S ") + (S_ISDIR(st.st_mode) ? "dir " : "file ") + std::to_string(st.st_size) + " " +
         FdPath(fd));
}

void RecordRename(int fromDir, const char* from, int toDir, const char* to) {
  if (getenv("CZ_SYSCALL_LOG") == nullptr) return;
  Append("R " + Absolute(fromDir, from) + "\t" + Absolute(toDir, to));
}

}  // namespace

extern "C" {

// Flushes are recorded as they start, with the size they find.
int fsync(int fd) {
  RecordFlush(fd);
  static auto real = Real<int (*)(int)>("fsync");
  return real(fd);
}

int fdatasync(int fd) {
  RecordFlush(fd);
  static auto real = Real<int (*)(int)>("fdatasync");
  return real(fd);
}

// Renames are recorded when they succeeded.
int rename(const char* from, const char* to) {
  static auto real = Real<int (*)(const char*, const char*)>("rename");
  const int result = real(from, to);
  if (result == 0) RecordRename(AT_FDCWD, from, AT_FDCWD, to);
  return result;
}

int renameat(int fromDir, const char* from, int toDir, const char* to) {
  static auto real = Real<int (*)(int, const char*, int, const char*)>("renameat");
  const int result = real(fromDir, from, toDir, to);
  if (result == 0) RecordRename(fromDir, from, toDir, to);
  return result;
}

int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
  static auto real = Real<int (*)(int, const char*, int, const char*, unsigned)>("renameat2");
  const int result = real(fromDir, from, toDir, to, flags);
  if (result == 0) RecordRename(fromDir, from, toDir, to);
  return result;
}

}  // extern "C"
