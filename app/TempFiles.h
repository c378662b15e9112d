// The two temporary sample files of a run, "WV-DATA.TMP" (I/Q: "IQF" tag,
// then float32 I, float32 Q per sample) and "MKR-DATA.TMP" (one marker byte
// per sample), in the temporary directory. They are made at start-up, stay
// open for the whole run and are deleted at exit together with the two
// files of the resampling pass, "WV-DATA2.TMP" and "MKR-DATA2.TMP".
#pragma once

#include <cstdio>

#include "platform/BoundedText.h"

// Open files, or null when not open.
extern FILE* TempIqFile;
extern FILE* TempMarkerFile;
// The temporary directory in use for this run: a copy of TempDir taken when
// the directory was made; empty when that failed.
extern cz::Text<256> ActiveTempDir;

// Makes the directory (with missing parents) and, when it exists, takes it
// as ActiveTempDir and creates both files anew for reading and writing.
// 1 when both files are open, 0 otherwise (logged).
int CreateTempFiles(const char* tempDir);
// Closes both files, each only if open.
void CloseTempFiles();
// Deletes the four temporary files in ActiveTempDir; nothing when no
// directory was made. A missing file is no error.
void DeleteTempFiles();

// The start-up self test of the buffered file unit on TempIqFile through the
// given buffer slot: 24,003 random bytes written one at a time, each read
// back and rewritten as its complement in place, then all read back and
// compared. 1 = passed, 0 = failed (logged, slot released).
int TestTempBuffers(int slot);
