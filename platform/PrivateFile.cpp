#include "platform/PrivateFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/Paths.h"

namespace cz {

namespace {

void SetReason(std::string* reason, const std::string& text) {
  if (reason != nullptr) *reason = text;
}

std::string Quoted(const std::string& hostPath) { return "'" + BaseName(hostPath) + "'"; }

// Why the entry under hostPath cannot be replaced, or "" when it is ours
// and may be removed.
std::string ForeignEntry(const std::string& hostPath, const struct stat& st) {
  if (st.st_uid != geteuid()) return Quoted(hostPath) + " belongs to another user";
  if (S_ISDIR(st.st_mode)) return Quoted(hostPath) + " is a folder";
  return std::string();
}

FILE* Adopt(int fd, const char* mode, PrivateFileId* id, std::string* reason) {
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    SetReason(reason, std::strerror(errno));
    ::close(fd);
    return nullptr;
  }
  FILE* file = fdopen(fd, mode);
  if (file == nullptr) {
    SetReason(reason, std::strerror(errno));
    ::close(fd);
    return nullptr;
  }
  if (id != nullptr) *id = PrivateFileId{st.st_dev, st.st_ino, true};
  return file;
}

}  // namespace

FILE* CreatePrivateFile(const std::string& hostPath, PrivateFileId* id, std::string* reason) {
  if (id != nullptr) *id = PrivateFileId();
  // Two tries: the second after our own leftover entry was removed. Someone
  // making the name again in between gets the name; the file is refused.
  for (int attempt = 0; attempt < 2; ++attempt) {
    const int fd = ::open(hostPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) return Adopt(fd, "w+b", id, reason);
    if (errno != EEXIST) {
      SetReason(reason, std::strerror(errno));
      return nullptr;
    }
    struct stat st {};
    if (::lstat(hostPath.c_str(), &st) != 0) {
      if (errno == ENOENT) continue;  // gone meanwhile
      SetReason(reason, std::strerror(errno));
      return nullptr;
    }
    const std::string foreign = ForeignEntry(hostPath, st);
    if (!foreign.empty()) {
      SetReason(reason, foreign);
      return nullptr;
    }
    if (::unlink(hostPath.c_str()) != 0 && errno != ENOENT) {
      SetReason(reason, std::strerror(errno));
      return nullptr;
    }
  }
  SetReason(reason, Quoted(hostPath) + " was made again by someone else");
  return nullptr;
}

FILE* ReopenPrivateFile(const std::string& hostPath, PrivateFileId* id, std::string* reason) {
  if (id != nullptr && id->valid) {
    // Non-blocking only for the open: whatever stands under the name is not
    // waited for (a FIFO, a device) before it is looked at.
    const int fd = ::open(hostPath.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) {
      struct stat st {};
      const bool same = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() &&
                        st.st_dev == id->device && st.st_ino == id->inode;
      const int flags = same ? fcntl(fd, F_GETFL) : -1;
      if (same && flags >= 0 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0) return Adopt(fd, "r+b", id, reason);
      ::close(fd);
    }
  }
  return CreatePrivateFile(hostPath, id, reason);
}

void RemoveOwnFile(const std::string& hostPath) {
  struct stat st {};
  if (::lstat(hostPath.c_str(), &st) != 0) return;
  if (ForeignEntry(hostPath, st).empty()) ::unlink(hostPath.c_str());
}

bool OthersMayWriteIn(const std::string& hostFolder) {
  struct stat st {};
  if (::stat(hostFolder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  return (st.st_mode & (S_IWGRP | S_IWOTH)) != 0 || st.st_uid != geteuid();
}

bool IsPrivateFolder(const std::string& hostPath) {
  struct stat st {};
  return ::lstat(hostPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() &&
         (st.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

std::string PrivateFolderIn(const std::string& hostFolder, const std::string& name, std::string* reason) {
  const std::string base = WithTrailingSlash(hostFolder);
  const std::string path = base + name;
  // mkdir never follows a link standing under the name (EEXIST).
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
    SetReason(reason, std::strerror(errno));
    return std::string();
  }
  if (IsPrivateFolder(path)) return path;

  // The name is taken by something this user cannot trust: one of the
  // user's own "<name>-XXXXXX" folders, the same one for every program of
  // the user (so that they still meet at the folder lock), or a new one.
  const std::string prefix = name + "-";
  std::string first;
  if (DIR* dir = ::opendir(hostFolder.c_str())) {
    while (const dirent* entry = ::readdir(dir)) {
      const std::string entryName = entry->d_name;
      if (entryName.size() != prefix.size() + 6 || entryName.compare(0, prefix.size(), prefix) != 0) continue;
      if ((first.empty() || entryName < first) && IsPrivateFolder(base + entryName)) first = entryName;
    }
    ::closedir(dir);
  }
  if (!first.empty()) return base + first;
  std::string made = path + "-XXXXXX";
  if (::mkdtemp(made.data()) == nullptr) {
    SetReason(reason, std::strerror(errno));
    return std::string();
  }
  return made;
}

}  // namespace cz
