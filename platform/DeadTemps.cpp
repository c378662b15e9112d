#include "platform/DeadTemps.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>
#include <system_error>

namespace cz {

namespace {

// Digits of `base` from text on; the value, or -1 when there are none or
// too many. *end is set behind them.
long ReadNumber(const char* text, int base, const char** end) {
  long value = 0;
  const char* p = text;
  for (; *p != '\0'; ++p) {
    int digit;
    if (*p >= '0' && *p <= '9') digit = *p - '0';
    else if (base == 16 && *p >= 'a' && *p <= 'f') digit = *p - 'a' + 10;
    else break;
    if (value > (LONG_MAX - digit) / base) return -1;
    value = value * base + digit;
  }
  *end = p;
  return p == text ? -1 : value;
}

// The process ID of a replacing file's name ".cz<pid>-<n>.tmp" (both hex),
// or -1 for any other name.
long ReplaceTempPid(const char* name) {
  if (std::strncmp(name, ".cz", 3) != 0) return -1;
  const char* p = nullptr;
  const long pid = ReadNumber(name + 3, 16, &p);
  if (pid < 0 || *p != '-') return -1;
  const char* q = nullptr;
  if (ReadNumber(p + 1, 16, &q) < 0 || std::strcmp(q, ".tmp") != 0) return -1;
  return pid;
}

// The process ID of a run folder's name "<prefix><pid>-XXXXXX", or -1.
long RunFolderPid(const char* name, const std::string& prefix) {
  if (std::strncmp(name, prefix.c_str(), prefix.size()) != 0) return -1;
  const char* p = nullptr;
  const long pid = ReadNumber(name + prefix.size(), 10, &p);
  if (pid < 0 || *p != '-' || std::strlen(p + 1) != 6) return -1;
  return pid;
}

// Opens the entry `name` of the folder dir without following a link, as a
// file this user may lock; -1 when it is none.
int OpenOwnEntry(int dir, const char* name, struct stat* st) {
  int fd = ::openat(dir, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  // A file whose mode gives its owner writing only (a replaced file's bits).
  if (fd < 0 && errno == EACCES) fd = ::openat(dir, name, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return -1;
  if (::fstat(fd, st) != 0 || !S_ISREG(st->st_mode) || st->st_uid != ::geteuid() || st->st_nlink != 1) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// True when nobody holds the lock on fd. The lock taken here ends with the
// descriptor.
bool LockFree(int fd) { return ::flock(fd, LOCK_EX | LOCK_NB) == 0; }

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

std::mutex g_sweptMutex;
std::set<std::string> g_swept;

}  // namespace

bool ProcessAlive(long pid) {
  if (pid <= 0 || pid > INT_MAX) return true;
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
}

int RemoveDeadReplaceTemps(const std::string& hostFolder) {
  DIR* listing = ::opendir(hostFolder.c_str());
  if (listing == nullptr) return 0;
  const int dir = ::dirfd(listing);
  int removed = 0;
  while (const dirent* entry = ::readdir(listing)) {
    const long pid = ReplaceTempPid(entry->d_name);
    if (pid < 0 || ProcessAlive(pid)) continue;
    struct stat st;
    const int fd = OpenOwnEntry(dir, entry->d_name, &st);
    if (fd < 0) continue;
    // Removed only while it is still the file that was looked at.
    struct stat now;
    if (LockFree(fd) && ::fstatat(dir, entry->d_name, &now, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(st, now) &&
        ::unlinkat(dir, entry->d_name, 0) == 0)
      ++removed;
    ::close(fd);
  }
  ::closedir(listing);
  return removed;
}

void RemoveDeadReplaceTempsOnce(const std::string& hostFolder) {
  {
    std::lock_guard<std::mutex> lock(g_sweptMutex);
    if (!g_swept.insert(hostFolder).second) return;
  }
  RemoveDeadReplaceTemps(hostFolder);
}

int RemoveDeadRunFolders(const std::string& hostFolder, const std::string& prefix, const std::string& lockName) {
  DIR* listing = ::opendir(hostFolder.c_str());
  if (listing == nullptr) return 0;
  const int dir = ::dirfd(listing);
  int removed = 0;
  while (const dirent* entry = ::readdir(listing)) {
    const long pid = RunFolderPid(entry->d_name, prefix);
    if (pid < 0 || ProcessAlive(pid)) continue;
    const int folder = ::openat(dir, entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0) continue;
    struct stat st;
    bool gone = ::fstat(folder, &st) == 0 && st.st_uid == ::geteuid();
    int lock = -1;
    if (gone) {
      struct stat lockSt;
      lock = OpenOwnEntry(folder, lockName.c_str(), &lockSt);
      // No lock file: the run died before it took its lock (or someone
      // else's entry stands under the name, and the folder stays).
      if (lock >= 0) gone = LockFree(lock);
      else gone = ::fstatat(folder, lockName.c_str(), &lockSt, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT;
    }
    struct stat now;
    if (gone && ::fstatat(dir, entry->d_name, &now, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(now.st_mode) &&
        SameFile(st, now)) {
      // remove_all removes a link, never what it names.
      std::error_code ec;
      const std::filesystem::path path = std::filesystem::path(hostFolder) / entry->d_name;
      if (std::filesystem::remove_all(path, ec) > 0 && !ec) ++removed;
    }
    if (lock >= 0) ::close(lock);
    ::close(folder);
  }
  ::closedir(listing);
  return removed;
}

}  // namespace cz
