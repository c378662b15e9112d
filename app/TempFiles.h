// The two temporary sample files of a run, "WV-DATA.TMP" (I/Q: "IQF" tag,
// then float32 I, float32 Q per sample) and "MKR-DATA.TMP" (one marker byte
// per sample), in the temporary directory. They are made at start-up, stay
// open for the whole run and are deleted at exit together with the two
// files of the resampling pass, "WV-DATA2.TMP" and "MKR-DATA2.TMP".
#pragma once

#include <cstdio>
#include <string>

#include "platform/BoundedText.h"

// TempIqFile, TempMarkerFile and TestTempBuffers (the start-up self test
// of the buffered file unit) are the waveform builder's.
#include "engine/Tessera_GenerateWave.h"

// The temporary directory in use for this run: a copy of TempDir taken when
// the directory was made; empty when that failed.
extern cz::Text<256> ActiveTempDir;

// The directory the builders keep their temporary files in during this run:
// that of ActiveTempDir, or of TempDir when no directory was made at
// start-up. A TempDir accepted in Preferences later is the next run's.
// A directory this user alone can write to holds the files itself; in one
// that others can write to (sticky or not, as /tmp) they are kept in a
// folder of the user's own inside it, "cadenza-<user ID>" (mode 0700, never
// reached through a link; "cadenza-<user ID>-XXXXXX" when that name is
// someone else's or open to others), so that nothing another user leaves
// there stops this user's program. The text stays valid for the run.
const char* TempDirInUse();

// Makes the directory (with missing parents) and, when it exists, takes it
// as ActiveTempDir and creates both files anew for reading and writing as
// the user's private files (no link followed, no existing file reused) in
// the folder TempDirInUse names. 1 when both files are open, 0 otherwise
// (logged).
int CreateTempFiles(const char* tempDir);
// Closes both files, each only if open.
void CloseTempFiles();
// Deletes the four temporary files of ActiveTempDir and the blank's scratch
// file that a run ended inside a multi-segment build left, each only when it
// is this user's; nothing when no directory was made. A missing file is no
// error. A folder of the user's own in a shared directory goes as well when
// it is empty then, with the folder lock, which is given up.
void DeleteTempFiles();

// Takes an advisory lock on "CADENZA-<user ID>.LCK" in the folder of the
// temporary files (the directory made when missing) and holds it for the
// rest of the run, so that two programs of one user never share the
// temporary files; programs of other users in the same directory keep their
// files and locks in folders of their own. 1 when this run holds it (also
// again), 0 when another program of the user holds it, -1 when the
// directory, the user's folder or the lock file cannot be made, or the name
// belongs to another user (logged; the folder is not used). Locking another
// directory releases the earlier one.
int LockTempFolder(const char* tempDir);

// The name of the lock file LockTempFolder takes in a folder.
std::string TempFolderLockName();

// Removes the temporary files of replaced files (".cz<pid>-<n>.tmp") that
// runs now gone left beside the files this program keeps: in the home folder
// (settings.ini), the folder of projectPath (a host path; may be empty) and
// the folders of the waveform and report files the project's sequences name.
// Only this user's files of runs that are gone (platform/DeadTemps.h).
void RemoveTempsOfDeadRuns(const std::string& projectPath);

// Waits at most timeoutMs for the waveform files whose flush to the disk is
// still running and logs each that failed.
void FinishFileFlushes(int timeoutMs);
