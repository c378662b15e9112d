#include "platform/FileReplace.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <cstring>
#include <future>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/DeadTemps.h"
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

// One flush left by a commit with FlushTiming::AfterRename: the new file
// (open, the flush's to close), the replaced one held over the rename (an
// O_PATH descriptor, -1 for none) and the target.
struct Flush {
  int fd;
  int replaced;
  std::string target;
};

// The flushes waiting and the one under way, done one at a time by a
// short-lived thread that ends when none is left. Made once and never
// destroyed: a flush may still be running while the process ends.
struct PendingFlushes {
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<Flush> waiting;
  std::string current;  // the target being flushed; empty when none
  bool working = false;
  std::vector<FlushFailure> failures;
};

PendingFlushes& Pending() {
  static PendingFlushes* pending = new PendingFlushes;
  return *pending;
}

// True when target is still the file fd holds: one replaced again since
// (the next build of the same waveform) is no file anyone keeps, and its
// flush is left to that of the file now there.
bool StillTheTarget(int fd, const std::string& target) {
  struct stat held, now;
  return ::fstat(fd, &held) == 0 && ::stat(target.c_str(), &now) == 0 && held.st_dev == now.st_dev &&
         held.st_ino == now.st_ino;
}

// Flushes the file and its folder, then lets go of the replaced file:
// freeing its disk space may wait for the disk too (file systems that
// discard freed blocks at once), and nothing needs to wait for that.
int RunFlush(const Flush& f) {
  int error = StillTheTarget(f.fd, f.target) ? FlushFileToDisk(f.fd) : -1;
  if (::close(f.fd) != 0 && error == 0) error = errno;
  if (error == 0) error = FlushFolderOf(f.target);
  if (f.replaced >= 0) ::close(f.replaced);
  return error < 0 ? 0 : error;
}

void FlushWorker() {
  PendingFlushes& p = Pending();
  std::unique_lock<std::mutex> lock(p.mutex);
  while (!p.waiting.empty()) {
    const Flush f = p.waiting.front();
    p.waiting.pop_front();
    p.current = f.target;
    lock.unlock();
    const int error = RunFlush(f);
    lock.lock();
    p.current.clear();
    if (error != 0) p.failures.push_back({f.target, SystemText(error)});
    p.changed.notify_all();
  }
  p.working = false;
  p.changed.notify_all();
}

// Queues the flush of a file just renamed into place; the build goes on at
// once.
void FlushLater(int fd, int replaced, const std::string& target) {
  PendingFlushes& p = Pending();
  std::unique_lock<std::mutex> lock(p.mutex);
  p.waiting.push_back({fd, replaced, target});
  if (p.working) return;
  p.working = true;
  try {
    std::thread(FlushWorker).detach();
  } catch (const std::system_error&) {
    lock.unlock();
    FlushWorker();  // no thread to be had: flushed here
  }
}

// Flushes fd; with whileWaiting, on a short-lived thread while whileWaiting
// is called about every kWaitSliceMs. 0, or errno.
constexpr int kWaitSliceMs = 25;

int FlushWhileWaiting(int fd, int (*whileWaiting)()) {
  if (whileWaiting == nullptr) return FlushFileToDisk(fd);
  try {
    std::packaged_task<int()> task([fd] { return FlushFileToDisk(fd); });
    std::future<int> done = task.get_future();
    std::thread worker(std::move(task));
    while (done.wait_for(std::chrono::milliseconds(kWaitSliceMs)) != std::future_status::ready) whileWaiting();
    worker.join();
    return done.get();
  } catch (const std::system_error&) {
    return FlushFileToDisk(fd);  // no thread to be had: flushed here
  }
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

std::vector<FlushFailure> FinishPendingFlushes(int timeoutMs) {
  PendingFlushes& p = Pending();
  std::unique_lock<std::mutex> lock(p.mutex);
  p.changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return !p.working; });
  std::vector<FlushFailure> failures;
  failures.swap(p.failures);
  if (!p.current.empty()) failures.push_back({p.current, "still being written to the disk"});
  for (const Flush& f : p.waiting) failures.push_back({f.target, "still being written to the disk"});
  return failures;
}

int FlushFileToDisk(int fd) {
  // fdatasync: the bytes and what reading them back needs (the size), not
  // the times.
  while (::fdatasync(fd) != 0) {
    if (errno != EINTR) return errno;
  }
  return 0;
}

int FlushFolderOf(const std::string& hostPath) {
  const int dir = ::open(FolderOf(hostPath).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return errno;
  int error = 0;
  while (::fsync(dir) != 0) {
    if (errno == EINTR) continue;
    // Some file systems cannot flush a folder (they keep no folder data of
    // their own to flush).
    if (errno != EINVAL && errno != ENOTSUP && errno != EROFS) error = errno;
    break;
  }
  ::close(dir);
  return error;
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
  // What a run that is gone left here goes first, once in a run.
  RemoveDeadReplaceTempsOnce(folder);
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
  // Held until the file is complete: a later run leaves a locked one alone.
  // A file system without these locks leaves the file unlocked (and the
  // process ID in its name still keeps a live run's file).
  (void)::flock(fd_, LOCK_EX | LOCK_NB);
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

bool ReplacingFile::Commit(FlushTiming timing, int (*whileFlushing)()) {
  if (temp_.empty()) {
    if (reason_.empty()) reason_ = SystemText(EBADF);
    return false;
  }
  if (timing == FlushTiming::AfterRename) return CommitFlushedLater();
  int error = 0;
  if (stream_ != nullptr) {
    if (std::fflush(stream_) != 0 || std::ferror(stream_)) error = errno != 0 ? errno : EIO;
    if (error == 0) error = FlushWhileWaiting(fileno(stream_), whileFlushing);
    if (std::fclose(stream_) != 0 && error == 0) error = errno;
    stream_ = nullptr;
    fd_ = -1;
  } else if (fd_ >= 0) {
    error = FlushWhileWaiting(fd_, whileFlushing);
    if (::close(fd_) != 0 && error == 0) error = errno;
    fd_ = -1;
  }
  if (error != 0) return Fail(error);
  if (existed_ && ::chmod(temp_.c_str(), static_cast<mode_t>(mode_)) != 0) return Fail(errno);
  // rename() replaces the target in one step: readers see either the old
  // file or the complete new one.
  if (::rename(temp_.c_str(), target_.c_str()) != 0) return Fail(errno);
  temp_.clear();
  // The rename itself reaches the disk with the folder. Should that fail,
  // the new file is in place but may not outlive a power cut: the save is
  // not reported as done.
  const int folderError = FlushFolderOf(target_);
  if (folderError != 0) {
    reason_ = SystemText(folderError);
    return false;
  }
  return true;
}

// The rename first, the flushes on their thread (FlushLater). A power cut
// before they end may leave the target cut short: its readers refuse such
// a file (a waveform's data block runs past its end).
bool ReplacingFile::CommitFlushedLater() {
  int error = 0;
  int fd = fd_;
  if (stream_ != nullptr) {
    if (std::fflush(stream_) != 0 || std::ferror(stream_)) error = errno != 0 ? errno : EIO;
    fd = fileno(stream_);
  }
  // The flush's own descriptor outlives the stream.
  const int kept = error == 0 ? ::fcntl(fd, F_DUPFD_CLOEXEC, 0) : -1;
  if (error == 0 && kept < 0) error = errno;
  if (stream_ != nullptr) {
    if (std::fclose(stream_) != 0 && error == 0) error = errno;
    stream_ = nullptr;
  } else if (fd_ >= 0 && ::close(fd_) != 0 && error == 0) {
    error = errno;
  }
  fd_ = -1;
  if (error == 0 && existed_ && ::chmod(temp_.c_str(), static_cast<mode_t>(mode_)) != 0) error = errno;
  // The replaced file is held open over the rename and let go of by the
  // flush's thread.
  const int replaced = error == 0 && existed_ ? ::open(target_.c_str(), O_PATH | O_CLOEXEC | O_NOFOLLOW) : -1;
  if (error == 0 && ::rename(temp_.c_str(), target_.c_str()) != 0) error = errno;
  if (error != 0) {
    if (kept >= 0) ::close(kept);
    if (replaced >= 0) ::close(replaced);
    return Fail(error);
  }
  temp_.clear();
  FlushLater(kept, replaced, target_);
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

bool ReplaceFileContents(std::string_view hostPath, std::string_view bytes, std::string* reason, bool* readOnly,
                         int (*between)()) {
  ReplacingFile file;
  bool ok = file.Begin(hostPath);
  FILE* f = ok ? file.Stream() : nullptr;
  if (ok && f == nullptr) ok = false;
  const std::size_t piece = between != nullptr ? kReplacePieceBytes : bytes.size();
  bool written = true;
  for (std::size_t at = 0; ok && written && at < bytes.size(); at += piece) {
    const std::size_t n = std::min(piece, bytes.size() - at);
    written = std::fwrite(bytes.data() + at, 1, n, f) == n;
    if (written && between != nullptr) {
      // The write-back of this piece starts now, without waiting for it.
      if (std::fflush(f) == 0) ::sync_file_range(fileno(f), static_cast<off_t>(at), static_cast<off_t>(n),
                                                 SYNC_FILE_RANGE_WRITE);
      between();
    }
  }
  if (ok && !written) {
    const int error = errno;
    file.Abandon();
    if (reason) *reason = SystemText(error != 0 ? error : EIO);
    if (readOnly) *readOnly = false;
    return false;
  }
  if (ok) ok = file.Commit(FlushTiming::BeforeRename, between);
  if (reason) *reason = ok ? std::string() : file.Reason();
  if (readOnly) *readOnly = file.ReadOnly();
  return ok;
}

}  // namespace cz
