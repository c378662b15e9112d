// Replacing a file the user keeps.
//
// Every writer that replaces a user's file goes through ReplacingFile:
//  - a target that is a symbolic link (or a chain of them) is followed first,
//    so the link stays a link and the file it names gets the new bytes; in a
//    sticky folder that everyone may write (/tmp), a link of another user
//    than this one or the folder's owner is not followed and the file is
//    refused ("Permission denied"), as the system's protection has it;
//  - the new bytes go to a short unique temporary file in the real target's
//    folder (".cz<pid>-<n>.tmp", always far below the name limit), which is
//    renamed over the target only when it is complete;
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

namespace cz {

// The file a host path names once symbolic links are followed, also when the
// last link points at a file that does not exist yet. A relative link target
// is taken from the link's folder. More than 40 links: the path as given. A
// link that is not followed (another user's in a shared folder) ends it.
std::string ResolveLinks(std::string_view hostPath);

// True when hostPath (links followed) is an existing file without any write
// permission bit, or one this process may not write.
bool IsReadOnlyFile(std::string_view hostPath);

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
  // Path of the temporary file, for a writer that opens it by name itself
  // (it may replace it; the permissions are set again on Commit).
  const std::string& TempPath() const { return temp_; }
  // The real target (links followed).
  const std::string& Target() const { return target_; }

  // Closes the stream, optionally syncs it to the disk, and renames the
  // temporary file over the target; false with Reason() set otherwise (the
  // temporary file is then removed and the target stays as it was).
  bool Commit(bool syncToDisk = false);
  // Closes and removes the temporary file.
  void Abandon();

  // Why the last step failed: "the file is read-only" or the system's text.
  const std::string& Reason() const { return reason_; }
  bool ReadOnly() const { return readOnly_; }

 private:
  bool Fail(int error);
  int fd_ = -1;
  FILE* stream_ = nullptr;
  std::string target_, temp_, reason_;
  bool readOnly_ = false;
  bool existed_ = false;
  unsigned mode_ = 0;
};

// Replaces hostPath with bytes through a ReplacingFile (synced to the disk
// before the rename); false with *reason set otherwise.
bool ReplaceFileContents(std::string_view hostPath, std::string_view bytes, std::string* reason,
                         bool* readOnly = nullptr);

// The text of a read-only refusal, shared by the writers' messages.
inline constexpr const char* kReadOnlyReason = "the file is read-only";

}  // namespace cz
