#include "platform/FileReplace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/Paths.h"
#include "platform/ProgramInfo.h"

namespace cz {

namespace {

// Links followed before giving up (the kernel's own limit for one lookup).
constexpr int kMaxLinks = 40;

// Numbers the temporary files of this process.
std::atomic<unsigned> g_tempCounter{0};

std::string SystemText(int error) {
  // strerror_r (GNU form) returns a pointer that may or may not be buf.
  char buf[256];
  const char* text = strerror_r(error, buf, sizeof buf);
  return text != nullptr ? text : "unknown error";
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool HasWriteBit(const struct stat& st) { return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0; }

// Whether the link at path (st its lstat) may be followed. In a folder that
// everyone may write and that keeps its entries to their owners (sticky,
// as /tmp), a link is followed only when it is this user's or the folder
// owner's, as the system's own protection of such folders has it: anyone
// else's link there may have been planted to make this user write a file
// of his own.
bool MayFollow(const std::string& path, const struct stat& st) {
  struct stat folder;
  if (::stat(FolderOf(path).c_str(), &folder) != 0) return false;
  const bool shared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
  return !shared || st.st_uid == ::geteuid() || st.st_uid == folder.st_uid;
}

// A link under path that is not followed (see MayFollow).
bool ForeignLink(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && !MayFollow(path, st);
}

}  // namespace

std::string ResolveLinks(std::string_view hostPath) {
  std::string path(hostPath);
  for (int i = 0; i < kMaxLinks; ++i) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode) || !MayFollow(path, st)) return path;
    std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
    const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= target.size()) return path;
    target.resize(static_cast<std::size_t>(n));
    path = target[0] == '/' ? target : FolderOf(path) + "/" + target;
  }
  return std::string(hostPath);
}

bool IsReadOnlyFile(std::string_view hostPath) {
  const std::string target = ResolveLinks(hostPath);
  struct stat st;
  if (::stat(target.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  // The privileged user may write anything; a file without write bits is
  // still one its owner marked read-only.
  return !HasWriteBit(st) || ::access(target.c_str(), W_OK) != 0;
}

ReplacingFile::~ReplacingFile() { Abandon(); }

bool ReplacingFile::Fail(int error) {
  reason_ = SystemText(error);
  Abandon();
  return false;
}

bool ReplacingFile::Begin(std::string_view hostPath) {
  Abandon();
  reason_.clear();
  readOnly_ = false;
  target_ = ResolveLinks(hostPath);
  // Another user's link in a shared folder is neither followed nor replaced.
  if (ForeignLink(target_)) return Fail(EACCES);
  // An installed program leaves its own folders as they were installed.
  if (InsideInstallFolders(target_)) {
    reason_ = kInstallFolderReason;
    return false;
  }
  struct stat st;
  existed_ = ::stat(target_.c_str(), &st) == 0;
  if (existed_ && S_ISDIR(st.st_mode)) return Fail(EISDIR);
  if (existed_ && S_ISREG(st.st_mode) && (!HasWriteBit(st) || ::access(target_.c_str(), W_OK) != 0)) {
    readOnly_ = true;
    reason_ = kReadOnlyReason;
    return false;
  }
  mode_ = existed_ ? static_cast<unsigned>(st.st_mode & 07777) : 0;
  const std::string folder = FolderOf(target_);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const unsigned n = ++g_tempCounter;
    char name[48];
    std::snprintf(name, sizeof name, ".cz%x-%x.tmp", static_cast<unsigned>(::getpid()), n);
    temp_ = folder + "/" + name;
    // 0666 less the umask, as any new file; an existing target's bits follow.
    fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ >= 0) break;
    const int error = errno;
    temp_.clear();
    if (error != EEXIST) return Fail(error);
  }
  if (fd_ < 0) return Fail(EEXIST);
  if (existed_) {
    // Owner and group first: changing them may clear set-id bits.
    if (::fchown(fd_, st.st_uid, st.st_gid) != 0) {
      // Only the privileged user may give a file away; the bits still follow.
    }
    if (::fchmod(fd_, static_cast<mode_t>(mode_)) != 0) return Fail(errno);
  }
  return true;
}

FILE* ReplacingFile::Stream() {
  if (stream_ == nullptr && fd_ >= 0) {
    stream_ = ::fdopen(fd_, "wb");
    if (stream_ == nullptr) reason_ = SystemText(errno);
  }
  return stream_;
}

bool ReplacingFile::Commit(bool syncToDisk) {
  if (temp_.empty()) {
    if (reason_.empty()) reason_ = SystemText(EBADF);
    return false;
  }
  int error = 0;
  if (stream_ != nullptr) {
    if (std::fflush(stream_) != 0 || std::ferror(stream_)) error = errno != 0 ? errno : EIO;
    if (error == 0 && syncToDisk && ::fsync(fileno(stream_)) != 0) error = errno;
    if (std::fclose(stream_) != 0 && error == 0) error = errno;
    stream_ = nullptr;
    fd_ = -1;
  } else if (fd_ >= 0) {
    if (syncToDisk && ::fsync(fd_) != 0) error = errno;
    if (::close(fd_) != 0 && error == 0) error = errno;
    fd_ = -1;
  }
  if (error != 0) return Fail(error);
  // A writer that made the file again by name gave it its own bits.
  if (existed_ && ::chmod(temp_.c_str(), static_cast<mode_t>(mode_)) != 0) return Fail(errno);
  // rename() replaces the target in one step: readers see either the old
  // file or the complete new one.
  if (::rename(temp_.c_str(), target_.c_str()) != 0) return Fail(errno);
  temp_.clear();
  return true;
}

void ReplacingFile::Abandon() {
  if (stream_ != nullptr) {
    std::fclose(stream_);
    stream_ = nullptr;
    fd_ = -1;
  }
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    temp_.clear();
  }
}

bool ReplaceFileContents(std::string_view hostPath, std::string_view bytes, std::string* reason, bool* readOnly) {
  ReplacingFile file;
  bool ok = file.Begin(hostPath);
  FILE* f = ok ? file.Stream() : nullptr;
  if (ok && f == nullptr) ok = false;
  if (ok && !bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
    const int error = errno;
    file.Abandon();
    if (reason) *reason = SystemText(error != 0 ? error : EIO);
    if (readOnly) *readOnly = false;
    return false;
  }
  if (ok) ok = file.Commit(true);
  if (reason) *reason = ok ? std::string() : file.Reason();
  if (readOnly) *readOnly = file.ReadOnly();
  return ok;
}

}  // namespace cz
