// Replacing a file the user keeps.
//
// Every writer that replaces a user's file goes through ReplacingFile:
//  - a target that is a symbolic link (or a chain of them) is followed first,
//    so the link stays a link and the file it names gets the new bytes; in a
//    sticky folder that everyone may write (/tmp), a link of another user
//    than this one or the folder's owner is not followed and the file is
//    refused ("Permission denied"), as the system's protection has it;
//  - the new bytes go to a short unique temporary file in the real target's
//    folder (".cz<pid>-<n>.tmp", pid and n in hex, always far below the name
//    limit), which is renamed over the target only when it is complete;
//  - the bytes are flushed to the disk (fdatasync) before the rename and the
//    folder is flushed after it, so that after a power cut the target is the
//    old file or the whole new one, and a save that succeeded stays done;
//    a file derived from others (a waveform, made again from its project)
//    may be flushed after the rename instead, on a short-lived thread, so
//    that the build does not wait for the disk;
//  - the temporary file carries an advisory lock (flock) while it is being
//    made, so that a later run can tell one of a run that is gone (see
//    DeadTemps.h) from one still being written;
//  - an existing target that is read-only is refused and left as it was;
//  - a target inside the installed program's own folders is refused
//    (platform/ProgramInfo.h);
//  - a replaced file keeps its permission bits (and, where the process may
//    set them, its owner and group).
// Failures keep the reason the system gave (strerror text, C locale) for the
// caller's log line.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace cz {

// The file a host path names once symbolic links are followed, also when the
// last link points at a file that does not exist yet. A relative link target
// is taken from the link's folder. More than 40 links: the path as given. A
// link that is not followed (another user's in a shared folder) ends it.
std::string ResolveLinks(std::string_view hostPath);

// True when hostPath (links followed) is an existing file without any write
// permission bit, or one this process may not write.
bool IsReadOnlyFile(std::string_view hostPath);

// When a replacing file's bytes are flushed to the disk.
enum class FlushTiming {
  BeforeRename,  // flushed, renamed, the folder flushed: the target is old or new
  AfterRename,   // renamed at once; file and folder flushed on a thread of their own
};

// A flush left to its thread that failed: the file and the system's text.
struct FlushFailure {
  std::string target;
  std::string reason;
};

// Waits at most timeoutMs for the flushes that commits with AfterRename left
// running; the failures since the last call, a flush still running at the
// timeout among them ("still being written to the disk").
std::vector<FlushFailure> FinishPendingFlushes(int timeoutMs);

// Flushes the bytes of an open file to the disk (fdatasync); 0, or errno.
int FlushFileToDisk(int fd);
// Flushes the folder of hostPath (its entries: a file made, renamed or
// removed there); 0, or errno. A file system that cannot flush a folder
// counts as flushed.
int FlushFolderOf(const std::string& hostPath);

class ReplacingFile {
 public:
  ReplacingFile() = default;
  ~ReplacingFile();  // a file not committed is removed
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  // Resolves the target and creates the temporary file beside it; false with
  // Reason() set when the target is read-only or the file cannot be made.
  bool Begin(std::string_view hostPath);
  // The temporary file opened for binary writing ("wb"); null before Begin
  // or when the stream cannot be made.
  FILE* Stream();
  // The real target (links followed).
  const std::string& Target() const { return target_; }

  // Flushes the stream, renames the temporary file over the target and
  // flushes the folder, the file's bytes flushed as `timing` says; false
  // with Reason() set otherwise (the temporary file is then removed and the
  // target stays as it was). With AfterRename the result is that of the
  // rename; the flush's own failure is told by FinishPendingFlushes. With
  // BeforeRename and whileFlushing given, the bytes are flushed on a thread
  // of their own and whileFlushing is called about every 25 ms until that
  // ends (a window kept painted while hundreds of MB go to the disk).
  bool Commit(FlushTiming timing = FlushTiming::BeforeRename, int (*whileFlushing)() = nullptr);
  // Closes and removes the temporary file.
  void Abandon();

  // Why the last step failed: "the file is read-only" or the system's text.
  const std::string& Reason() const { return reason_; }
  bool ReadOnly() const { return readOnly_; }

 private:
  bool Fail(int error);
  bool CommitFlushedLater();
  int fd_ = -1;
  FILE* stream_ = nullptr;
  std::string target_, temp_, reason_;
  bool readOnly_ = false;
  bool existed_ = false;
  unsigned mode_ = 0;
};

// Replaces hostPath with bytes through a ReplacingFile (flushed before the
// rename); false with *reason set otherwise. With `between`, the bytes go
// out in pieces of kReplacePieceBytes, each handed on to the disk as soon as
// it is written, and between is called after each piece and while the
// flush before the rename waits (a user interface keeps its windows painted
// there; its result is not used).
inline constexpr std::size_t kReplacePieceBytes = 1u << 20;
bool ReplaceFileContents(std::string_view hostPath, std::string_view bytes, std::string* reason,
                         bool* readOnly = nullptr, int (*between)() = nullptr);

// The text of a read-only refusal, shared by the writers' messages.
inline constexpr const char* kReadOnlyReason = "the file is read-only";

}  // namespace cz
