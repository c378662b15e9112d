// Every writer of a file the user keeps, under a recorder of its system
// calls: the new bytes flushed before the rename over the old file and the
// folder flushed after it (a waveform, made again from its project, renamed
// first and flushed after); an appended text report flushed before the
// build says it is done. And the temporary files of runs that are gone,
// removed without touching anything of a live run or of another user.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "platform/CLocale.h"
#include "platform/DeadTemps.h"
#include "tests/support/KeptFileWriters.h"

namespace cz::test {
namespace {

std::string RealPath(const std::string& path) {
  char real[PATH_MAX];
  return ::realpath(path.c_str(), real) != nullptr ? real : path;
}

int64_t SizeOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

// The process ID of a child that has ended: no live process has it.
pid_t DeadPid() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  int status = 0;
  ::waitpid(child, &status, 0);
  return child;
}

TEST_F(KeptFilesTest, EveryWriterFlushesItsBytesAroundTheRenameAndFlushesTheFolder) {
  const std::string folder = RealPath(dir_.path()) + "/kept";
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  const std::string log = dir_.File("calls.log");
  genwaveEnvironment_ = std::string("LD_PRELOAD='") + CZ_SYSCALL_PRELOAD +
                        "' ASAN_OPTIONS=\"${ASAN_OPTIONS}:verify_asan_link_order=0\"";
  for (const KeptFileWriter& w : Writers()) {
    // Round 0 makes the file, round 1 replaces it.
    for (int round = 0; round < 2; ++round) {
      SCOPED_TRACE(std::string(w.name) + ", round " + std::to_string(round));
      ::unlink(log.c_str());
      ::setenv("CZ_SYSCALL_LOG", log.c_str(), 1);
      const bool written = w.write(folder, round);
      // A waveform's flush runs on after the writer returns.
      const std::vector<FlushFailure> failures = FinishPendingFlushes(20000);
      ::unsetenv("CZ_SYSCALL_LOG");
      ASSERT_TRUE(written) << LastLine() << ReadFileBytes(dir_.File("genwave.err"));
      EXPECT_TRUE(failures.empty());
      const std::string target = folder + "/" + w.file;
      EXPECT_EQ(DiskOrderFault(ReadSyscallLog(log), target, SizeOf(target), w.order), "");
    }
  }
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    EXPECT_NE(entry.path().filename().string().rfind(".cz", 0), 0u) << entry.path();
}

// One entry a run may have left, and whether it goes.
struct LeftEntry {
  const char* what;
  std::function<void(const std::string& path)> make;  // made under a dead run's name
  bool removed;
};

TEST_F(KeptFilesTest, OnlyTheUsersOwnTemporaryFilesOfRunsThatAreGoneAreRemoved) {
  const std::string folder = dir_.File("left");
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  const pid_t dead = DeadPid();
  int heldLock = -1;
  const LeftEntry entries[] = {
      {"a file of a run that is gone", [](const std::string& p) { WriteFileBytes(p, "part"); }, true},
      {"a write-only file of a run that is gone",
       [](const std::string& p) { WriteFileBytes(p, "part"), ::chmod(p.c_str(), 0200); }, true},
      {"a file still locked by its writer (another machine, another process-ID space)",
       [&heldLock](const std::string& p) {
         WriteFileBytes(p, "part");
         heldLock = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
         ::flock(heldLock, LOCK_EX);
       },
       false},
      {"a link", [this](const std::string& p) { (void)!::symlink(dir_.File("linked").c_str(), p.c_str()); }, false},
      {"a file with a second name",
       [this](const std::string& p) { WriteFileBytes(p, "part"), (void)!::link(p.c_str(), dir_.File("second").c_str()); },
       false},
      {"another user's file",
       [](const std::string& p) { WriteFileBytes(p, "part"), (void)!::chown(p.c_str(), 4321, 4321); },
       ::geteuid() != 0},
      {"a folder", [](const std::string& p) { ::mkdir(p.c_str(), 0700); }, false},
  };
  ASSERT_TRUE(WriteFileBytes(dir_.File("linked"), "kept"));
  std::vector<std::string> names;
  for (std::size_t i = 0; i < std::size(entries); ++i) {
    names.push_back(cz::FormatC(".cz%x-%zx.tmp", static_cast<unsigned>(dead), i + 1));
    entries[i].make(folder + "/" + names.back());
  }
  // Not of a dead run: this live process's, and names of no replacing file.
  const std::string live = cz::FormatC(".cz%x-1.tmp", static_cast<unsigned>(::getpid()));
  for (const std::string& other : {live, std::string(".cz.tmp"), cz::FormatC(".cz%x-1.tmp~", dead)}) {
    ASSERT_TRUE(WriteFileBytes(folder + "/" + other, "x"));
  }
  RemoveDeadReplaceTemps(folder);
  for (std::size_t i = 0; i < std::size(entries); ++i) {
    struct stat st {};
    EXPECT_EQ(::lstat((folder + "/" + names[i]).c_str(), &st) != 0, entries[i].removed) << entries[i].what;
  }
  EXPECT_TRUE(FileExists(folder + "/" + live));
  EXPECT_TRUE(FileExists(folder + "/.cz.tmp"));
  EXPECT_EQ(ReadFileBytes(dir_.File("linked")), "kept");
  ::close(heldLock);

  // Run folders "<prefix><pid>-XXXXXX": one of a run gone with its lock
  // free, one whose run died before it took the lock; one locked, one of
  // this run, one reached through a link.
  const std::string lockName = "RUN.LCK";
  auto runFolder = [&](pid_t pid, const char* tail, bool lockFile) {
    const std::string path = folder + "/run-" + std::to_string(pid) + "-" + tail;
    ::mkdir(path.c_str(), 0700);
    WriteFileBytes(path + "/WV-DATA.TMP", "samples");
    if (lockFile) WriteFileBytes(path + "/" + lockName, "");
    return path;
  };
  const std::string gone = runFolder(dead, "AAAAAA", true), early = runFolder(dead, "BBBBBB", false);
  const std::string locked = runFolder(dead, "CCCCCC", true), ours = runFolder(::getpid(), "DDDDDD", true);
  const int lock = ::open((locked + "/" + lockName).c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(lock, LOCK_EX), 0);
  ASSERT_EQ(::symlink(ours.c_str(), (folder + "/run-" + std::to_string(dead) + "-EEEEEE").c_str()), 0);
  EXPECT_EQ(RemoveDeadRunFolders(folder, "run-", lockName), 2);
  EXPECT_FALSE(FileExists(gone));
  EXPECT_FALSE(FileExists(early));
  EXPECT_TRUE(FileExists(locked + "/WV-DATA.TMP"));
  EXPECT_TRUE(FileExists(ours + "/WV-DATA.TMP"));
  ::close(lock);
}

}  // namespace
}  // namespace cz::test
