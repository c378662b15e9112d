// The Transfer tab's logic: the redraw of TAB_INSTR from the settings and
// the capability record, the callbacks of its controls, the instrument file
// names derived from the local waveform file, and TransferWaveform, which
// uploads one file to one baseband path and applies routing, RF frequency,
// level and output state by SCPI. Every value of the tab lives in
// g_Settings ([PRG] of settings.ini); the tab keeps no state of its own.
#pragma once

#include <cstddef>

// Dims (1) or undims (0) the library controls, CMD_UPLOAD and CMD_RESET.
void SetTransferBusy(int busy);

// Redraws the tab from g_Settings and InstrumentCapabilities; returns 1.
int RefreshTransferTab();

// Shows localFile in STR_LOCFILE and rebuilds the instrument file name of
// every path whose link ("Use Source File Name") is on: the project's
// instrument directory (PathLin for '/' instruments, PathWin for '\' ones,
// placed behind defaultDirectory when it is not absolute) and the local
// file's name with extension. Called with an empty defaultDirectory after a
// waveform was generated, and by the upload with the instrument's default
// directory. A name that would not fit its 256-byte field is refused
// (logged) and the field keeps its value; the result then has bit 0 (path
// A) or bit 1 (path B) set, and the upload must not use that field, which
// names another waveform.
int UpdateLinkedRemoteFiles(const char* localFile, const char* defaultDirectory);

// Room for a local waveform file's path resolved from the home path (a
// stored path of 255 bytes under a home path of as many), its ".wv"
// included.
inline constexpr std::size_t kTransferLocalPathSize = 1024;

// Transfers one file to one path of instrument id 0 (already open) and
// applies the settings. path 1 = A, 2 = B, 0 = the instrument's default
// path; bbMode 0 ignore, 1 load, 2 load and run; routing 0 "--> A",
// 1 "--> B", 2 "--> A+B"; freqGHz in GHz, levelDbm in dBm; rfState, setFreq
// and setLevel 0/1. remoteFile is a buffer of at least 256 bytes and
// localFile one of kTransferLocalPathSize bytes; each may be extended by
// ".wv". 1 = success, 0 = failure with its message on the status line.
int TransferWaveform(char* remoteFile, char* localFile, int routing, int path, int bbMode, double freqGHz,
                     double levelDbm, int rfState, int setFreq, int setLevel);

// Callbacks of TAB_INSTR; each acts on the commit event and returns 0.
int TransferControlsCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int TransferToInstrumentCb(int panel, int control, int event, void* callbackData, int eventData1,
                           int eventData2);
int ResetInstrumentCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int SelectInstrumentFileACb(int panel, int control, int event, void* callbackData, int eventData1,
                            int eventData2);
int SelectInstrumentFileBCb(int panel, int control, int event, void* callbackData, int eventData1,
                            int eventData2);
int ShowInstrumentManagerFromTransferCb(int panel, int control, int event, void* callbackData, int eventData1,
                                        int eventData2);

// The pure parts, kept apart from the controls.
// The source or target name as sent: ".wv" appended when the name with its
// extension has fewer than three characters or the path does not end in
// ".WV" (any case). False when the result would not fit size bytes.
bool TransferTab_WithWvExtension(char* path, std::size_t size);
// The instrument directory of a linked path: projectDir when it is
// absolute for the separator ('/' leading, or ":\" at the second and third
// characters), else defaultDirectory followed by projectDir; one trailing
// separator removed.
void TransferTab_LinkedDirectory(const char* projectDir, const char* defaultDirectory, bool unixPaths,
                                 char* out, std::size_t size);
