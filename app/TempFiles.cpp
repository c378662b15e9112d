// Temporary sample files of the run and the buffer self test.
#include "app/TempFiles.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "Shared/FileIO/FileIOBufferedIO.h"
#include "app/Log.h"
#include "app/Settings.h"
#include "engine/EngineHost.h"
#include "engine/Random.h"
#include "platform/CLocale.h"
#include "platform/Paths.h"
#include "platform/PrivateFile.h"

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

}  // namespace

int LockTempFolder(const char* tempDir) {
  if (tempDir == nullptr || tempDir[0] == '\0') return -1;
  std::error_code ec;
  const std::filesystem::path dir(cz::HostPath(tempDir));
  std::filesystem::create_directories(dir, ec);
  // One folder reached under two names is locked once.
  const std::filesystem::path real = std::filesystem::weakly_canonical(dir, ec);
  const std::string key = ec ? dir.string() : real.string();
  if (g_lockFd >= 0 && key == g_lockedDir) return 1;
  // The lock is the user's own: its name holds the user ID, it is never
  // reached through a link, and a file of another user under the name is
  // not taken (the folder then cannot be used).
  const std::string lockName = cz::FormatC("CADENZA-%u.LCK", static_cast<unsigned>(geteuid()));
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
const char* TempDirInUse() { return !ActiveTempDir.empty() ? ActiveTempDir.c_str() : g_Settings.TempDir.c_str(); }

int CreateTempFiles(const char* tempDir) {
  ActiveTempDir.Clear();
  if (tempDir == nullptr || tempDir[0] == '\0') return 0;
  std::error_code ec;
  const std::filesystem::path dir(cz::HostPath(tempDir));
  std::filesystem::create_directories(dir, ec);
  if (!std::filesystem::is_directory(dir, ec)) {
    Log_Message(3, "*** Cannot create directory '", dir.c_str(), "'.");
    return 0;
  }
  ActiveTempDir = tempDir;
  Log_Message(3, "Creating temporary files in '", dir.c_str(), "'...");
  return ResetTempSampleFiles(TEMP_FILES_EMPTY, tempDir);
}

void CloseTempFiles() { ResetTempSampleFiles(TEMP_FILES_CLOSE); }

void DeleteTempFiles() {
  // Without a directory of this run there is nothing of ours to delete.
  if (ActiveTempDir.empty()) return;
  // Only entries of this user: a file another user put under one of the
  // names in a shared folder stays his.
  for (const char* name : kTempFileNames) cz::RemoveOwnFile(TempPath(ActiveTempDir.c_str(), name));
}
