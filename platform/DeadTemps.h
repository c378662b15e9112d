// Temporary files and folders that runs of this program left behind when
// they ended without cleaning up (a crash, a kill, a power cut).
//
// A temporary entry goes with its run only when all of these hold:
//  - it is this user's and is reached without following a link (a regular
//    file with one name, or a real folder);
//  - the process ID in its name is no live process on this machine;
//  - nobody holds the advisory lock (flock) that its run held on it (a
//    replacing file's own, a run folder's lock file): such a lock ends with
//    its process however it ends, also for a program on another machine
//    sharing the disk, or in another process-ID space, whose number means
//    nothing here.
// Anything else is left as it is.
#pragma once

#include <string>

namespace cz {

// True when pid is a live process on this machine (another user's too).
// Numbers that cannot be a process count as alive: nothing is removed for
// them.
bool ProcessAlive(long pid);

// Removes from hostFolder the replacing files (".cz<pid>-<n>.tmp",
// FileReplace.h) of runs that are gone; the number removed.
int RemoveDeadReplaceTemps(const std::string& hostFolder);
// The same once in a run for each folder; later calls for it do nothing.
void RemoveDeadReplaceTempsOnce(const std::string& hostFolder);

// Removes from hostFolder the run folders "<prefix><pid>-XXXXXX" of runs
// that are gone, each with what is in it (a link in it is removed, never
// followed). A folder's lock is its file lockName; a folder whose run died
// before it took the lock has none. The number removed.
int RemoveDeadRunFolders(const std::string& hostFolder, const std::string& prefix, const std::string& lockName);

}  // namespace cz
