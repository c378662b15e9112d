// Temporary sample files of the run and the buffer self test.
#include "app/TempFiles.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "Shared/FileIO/FileIOBufferedIO.h"
#include "app/Log.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "engine/EngineHost.h"
#include "engine/Random.h"
#include "platform/CLocale.h"
#include "platform/DeadTemps.h"
#include "platform/FileReplace.h"
#include "platform/Paths.h"
#include "platform/PrivateFile.h"
#include "platform/ProgramInfo.h"

// The two file handles and the buffer self test belong to the waveform
// builder, which writes and reads these files.
cz::Text<256> ActiveTempDir;

namespace {

constexpr const char* kTempFileNames[] = {"WV-DATA.TMP", "WV-DATA2.TMP", "MKR-DATA.TMP", "MKR-DATA2.TMP"};

std::string TempPath(const char* dir, const char* name) { return cz::HostPath(cz::JoinPath(dir, name)); }

// The lock on the temporary directory of this run: the open lock file and
// the directory it was taken in.
int g_lockFd = -1;
std::string g_lockedDir;

// The user's own folder inside a chosen temporary folder that others can
// write to, and that chosen folder (host paths; both empty when none).
std::string g_privateFolder;
std::string g_privateChosen;
// TempDirInUse's text while it names the private folder; a fixed array, so
// that a name handed out earlier stays readable.
char g_inUse[PATH_MAX];

// The folder the temporary files of the chosen temporary folder tempDir go
// into (a host path). A folder this user alone can write to is used as it
// is. In one that others can write to (/tmp, a group's folder) another
// user could hold any fixed name, and every name of ours, the folder lock
// among them, would be refused there: the files go into a folder of the
// user's own inside it, "cadenza-<user ID>" (or a "cadenza-<user ID>-XXXXXX"
// when someone else holds that name), kept for the run. "" with *reason
// when no such folder can be made.
std::string FilesFolderFor(const char* tempDir, std::string* reason) {
  const std::string chosen = cz::HostPath(tempDir);
  if (!cz::OthersMayWriteIn(chosen)) return chosen;
  if (chosen == g_privateChosen && cz::IsPrivateFolder(g_privateFolder)) return g_privateFolder;
  const std::string name = cz::FormatC("cadenza-%u", static_cast<unsigned>(geteuid()));
  const std::string folder = cz::PrivateFolderIn(chosen, name, reason);
  if (folder.empty()) return folder;
  g_privateFolder = folder;
  g_privateChosen = chosen;
  return folder;
}

// The folder lock's name: the user's own in a folder others share.
std::string LockName() { return TempFolderLockName(); }

// A folder reached under two names is one key.
std::string FolderKey(const std::string& hostFolder) {
  std::error_code ec;
  const std::filesystem::path real = std::filesystem::weakly_canonical(hostFolder, ec);
  return ec ? hostFolder : real.string();
}

// A temporary folder inside the installed program's folders is not used
// (nor made); logged.
bool InInstallFolders(const std::filesystem::path& dir) {
  if (!cz::InsideInstallFolders(dir.string())) return false;
  Log_Message(5, "*** Temporary folder '", dir.c_str(), "': ", cz::kInstallFolderReason, ".");
  return true;
}

}  // namespace

int LockTempFolder(const char* tempDir) {
  if (tempDir == nullptr || tempDir[0] == '\0') return -1;
  std::error_code ec;
  const std::filesystem::path dir(cz::HostPath(tempDir));
  if (InInstallFolders(dir)) return -1;
  std::filesystem::create_directories(dir, ec);
  std::string reason;
  const std::string folder = FilesFolderFor(tempDir, &reason);
  if (folder.empty()) {
    Log_Message(5, "*** Cannot lock the temporary folder '", dir.c_str(), "': ", reason.c_str(), ".");
    return -1;
  }
  // One folder reached under two names is locked once.
  const std::string key = FolderKey(folder);
  if (g_lockFd >= 0 && key == g_lockedDir) return 1;
  // The lock is the user's own: its name holds the user ID, it is never
  // reached through a link, and a file of another user under the name is
  // not taken (the folder then cannot be used).
  const std::string lockName = LockName();
  const std::string lockPath = (std::filesystem::path(key) / lockName).string();
  const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
  if (fd < 0) {
    Log_Message(5, "*** Cannot lock the temporary folder '", dir.c_str(), "': ", std::strerror(errno), ".");
    return -1;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid()) {
    ::close(fd);
    Log_Message(5, "*** Cannot lock the temporary folder '", tempDir, "': '", lockName.c_str(),
                "' belongs to another user.");
    return -1;
  }
  // flock: held by the open file, released when the program ends however it
  // ends; a lock left by a crashed run is no lock.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    if (error == EWOULDBLOCK) {
      Log_Message(3, "*** The temporary folder '", dir.c_str(), "' is in use by another program.");
      return 0;
    }
    Log_Message(5, "*** Cannot lock the temporary folder '", dir.c_str(), "': ", std::strerror(error), ".");
    return -1;
  }
  if (g_lockFd >= 0) ::close(g_lockFd);
  g_lockFd = fd;
  g_lockedDir = key;
  return 1;
}
const char* TempDirInUse() {
  const char* chosen = !ActiveTempDir.empty() ? ActiveTempDir.c_str() : g_Settings.TempDir.c_str();
  // Without a folder of the user's own the files go into the chosen one,
  // where they are still made without following a link (and refused where
  // another user's entry stands).
  const std::string folder = FilesFolderFor(chosen, nullptr);
  if (folder.empty() || folder == cz::HostPath(chosen) || folder.size() >= sizeof g_inUse) return chosen;
  std::memcpy(g_inUse, folder.c_str(), folder.size() + 1);
  return g_inUse;
}

int CreateTempFiles(const char* tempDir) {
  ActiveTempDir.Clear();
  if (tempDir == nullptr || tempDir[0] == '\0') return 0;
  std::error_code ec;
  const std::filesystem::path dir(cz::HostPath(tempDir));
  if (InInstallFolders(dir)) return 0;
  std::filesystem::create_directories(dir, ec);
  if (!std::filesystem::is_directory(dir, ec)) {
    Log_Message(3, "*** Cannot create directory '", dir.c_str(), "'.");
    return 0;
  }
  std::string reason;
  const std::string folder = FilesFolderFor(tempDir, &reason);
  if (folder.empty()) {
    Log_Message(5, "*** Temporary folder '", dir.c_str(), "': ", reason.c_str(), ".");
    return 0;
  }
  ActiveTempDir = tempDir;
  Log_Message(3, "Creating temporary files in '", folder.c_str(), "'...");
  return ResetTempSampleFiles(TEMP_FILES_EMPTY, folder.c_str());
}

void CloseTempFiles() { ResetTempSampleFiles(TEMP_FILES_CLOSE); }

void DeleteTempFiles() {
  // Without a directory of this run there is nothing of ours to delete.
  if (ActiveTempDir.empty()) return;
  const std::string chosen = cz::HostPath(ActiveTempDir.c_str());
  const bool ownFolder = chosen == g_privateChosen && !g_privateFolder.empty();
  const std::string folder = ownFolder ? g_privateFolder : chosen;
  // Only entries of this user: a file another user put under one of the
  // names in a shared folder stays his.
  for (const char* name : kTempFileNames) cz::RemoveOwnFile(TempPath(folder.c_str(), name));
  // The blank's scratch file of a run that ended inside a multi-segment
  // build (a crash, a kill) goes too: it may hold gigabytes.
  cz::RemoveOwnFile(TempPath(folder.c_str(), "tmp_seg_blank.wv"));
  if (!ownFolder) return;
  // The user's own folder goes too when nothing else is left in it, with
  // the lock, which this run gives up here.
  if (g_lockFd >= 0 && g_lockedDir == FolderKey(folder)) {
    cz::RemoveOwnFile(TempPath(folder.c_str(), LockName().c_str()));
    ::close(g_lockFd);
    g_lockFd = -1;
    g_lockedDir.clear();
  }
  ::rmdir(folder.c_str());
  g_privateFolder.clear();
  g_privateChosen.clear();
}

std::string TempFolderLockName() { return cz::FormatC("CADENZA-%u.LCK", static_cast<unsigned>(geteuid())); }

void RemoveTempsOfDeadRuns(const std::string& projectPath) {
  std::vector<std::string> folders;
  auto add = [&folders](const std::string& hostPath) {
    const std::string folder = cz::DirName(hostPath);
    if (!folder.empty() && std::find(folders.begin(), folders.end(), folder) == folders.end()) folders.push_back(folder);
  };
  add(ResolvedLocalPath("settings.ini"));
  if (!projectPath.empty()) add(projectPath);
  for (int i = 0; i < SequenceCount; ++i) {
    const SequenceRecord& s = SequenceTable[i];
    if (!s.waveFile.empty()) add(ResolvedLocalPath(s.waveFile.c_str()));
    if (!s.reportFile.empty()) add(ResolvedLocalPath(s.reportFile.c_str()));
  }
  for (const std::string& folder : folders) cz::RemoveDeadReplaceTempsOnce(folder);
}

void FinishFileFlushes(int timeoutMs) {
  for (const cz::FlushFailure& f : cz::FinishPendingFlushes(timeoutMs))
    Log_Message(5, "*** Cannot flush '", f.target.c_str(), "' to the disk: ", f.reason.c_str(), ".");
}
