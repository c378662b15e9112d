// Files between the PC and the instrument's file system: current drive and
// directory, delete, upload and download as IEEE 488.2 definite-length
// blocks ("#", n, n length digits, the bytes), waveform select and start,
// RF lists built on the instrument, diagnostic test points.
//
// Instrument file names travel inside single-quoted SCPI strings: a quote in
// a name is doubled, and a name holding a control character is refused.
#pragma once

#include <cstdint>
#include <string>

// Block lengths have at most nine digits.
inline constexpr std::int64_t kMaxBlockBytes = 999999999;

// The largest file one upload carries: kMaxBlockBytes unless a test set a
// smaller limit (0 restores kMaxBlockBytes).
std::int64_t VisaDev_MaxTransferBytes();
void VisaDev_SetMaxTransferBytes(std::int64_t bytes);

// What VisaDev_CreateRfList is given. Frequencies in GHz, levels in dBm,
// dwell in ms; the arrays are read, never changed.
struct RfListUpload {
  std::int32_t points;
  const double* frequenciesGHz;
  const double* levelsDbm;
  double dwellMs;
};

// Utilities.
void ShowInfoMessage(const char* title, const char* text);
bool AskYesNo(const char* title, const char* text);
void SleepMs(double milliseconds);
// Size of a local file in bytes; 0 when it cannot be opened.
std::int64_t GetFileSizeBytes(const char* path);
// drive ("D:" or empty), directory (with its trailing separator), name and
// extension (with its dot) of an instrument or stored path; each optional.
void SplitPathParts(const std::string& path, std::string* drive, std::string* directory, std::string* name,
                    std::string* extension);
// Name with extension; drive and directory optional outputs.
std::string FileNameWithExtension(const std::string& path, std::string* drive = nullptr,
                                  std::string* directory = nullptr);
// "'" + text with every quote doubled + "'"; false for a text holding a
// control character (the result is then empty).
bool ScpiQuoted(const std::string& text, std::string* quoted);

// The questions before an upload. An upload that finds its target on the
// instrument asks before it sends anything that changes the instrument's
// state; "No" keeps the file, logs kUploadCancelledText and ends the
// operation with 0, and VisaDev_UploadCancelled then tells the caller that
// the user, not a fault, ended it.
inline constexpr const char* kUploadCancelledText = "Upload cancelled: the file on the instrument was kept.";
// 1 when the last upload operation on id ended because the user answered No.
int VisaDev_UploadCancelled(int id);
// Looks for instrumentPath in the catalogue of its own directory (nothing is
// changed on the instrument) and asks "File exists on instrument. Delete ?"
// when it is there. 1: absent, already confirmed, or Yes (a later upload of
// that path on id replaces it without asking again); 0: the catalogue could
// not be read, or No.
int VisaDev_ConfirmUpload(int id, const char* instrumentPath);
// Counts instrumentPath as confirmed for the next upload of it on id: a
// file the same user command has just written is not asked about again.
void VisaDev_RememberConfirmation(int id, const char* instrumentPath);
// Drops the confirmations (when an operation ends) or the confirmations and
// the cancelled mark (when a user command starts).
void VisaDev_ForgetConfirmations(int id);
void VisaDev_ResetUploadQuestions(int id);
// Looks for instrumentPath in the catalogue of its directory: 1 found, 0 not
// there (a missing directory included), -1 the catalogue could not be read
// or holds an entry too long (logged).
int VisaDev_FindFile(int id, const char* instrumentPath);

// What a failed operation did about an RF output it had switched on: an
// operation that sends "OUTPn:STAT ON" and then fails sends "OUTPn:STAT
// OFF" again, so that the instrument is not left radiating a signal the
// user never finished setting up.
enum class RfAfterFailure { kUntouched, kSwitchedOff, kMayBeOn };

// How the latest VisaDev_SendWaveformIq, VisaDev_SendWaveformArb or
// VisaDev_CreateRfList on id failed: the step in the status line's words
// ("Dwell Time", "Waveform Selection"; empty when none is named) and the RF
// output. Cleared when the next of these operations on id starts.
struct TransferFailure {
  std::string step;
  RfAfterFailure rf = RfAfterFailure::kUntouched;
};
TransferFailure VisaDev_LastFailure(int id);

// Sends offCommand ("OUTP1:STAT OFF; *OPC?") after a failure that followed
// the RF output's "ON", logging the outcome.
RfAfterFailure VisaDev_RfOffAfterFailure(int id, const std::string& offCommand);

// The status text of a failure. With the RF output untouched, message as
// it is; otherwise message with " at <step>" before its final full stop
// (when a step is named) and then " RF Output Is Off." or " RF Output May
// Still Be On.": "Error: Transfer Failed at Dwell Time. RF Output Is Off."
std::string TransferFailureStatus(const char* message, const std::string& step, RfAfterFailure rf);

// Transfer operations on an open instrument id; 1 success, 0 failure.
int VisaDev_SetDefaultPath(int id, const char* drive, const char* directory);
int VisaDev_DeleteFileIfExists(int id, const char* path, std::uint16_t ask);
int VisaDev_UploadFile(int id, const char* localPath, const char* instrumentPath);
int VisaDev_DownloadFile(int id, const char* localPath, const char* instrumentPath);
// Cancel during a download: the progress function calls
// VisaDev_CancelDownload; the download stops after its current piece,
// removes the partial file (a file it was to replace stays as it was),
// clears the session of the rest of the block and returns 0, and
// VisaDev_DownloadCancelled(id) then says that the user ended it.
void VisaDev_CancelDownload();
int VisaDev_DownloadCancelled(int id);
int VisaDev_SendWaveformIq(int id, const char* localPath, const char* instrumentPath, std::uint16_t run,
                           std::uint16_t noPreset);
int VisaDev_SendWaveformArb(int id, const char* localPath, const char* instrumentPath, int path,
                            std::uint16_t run, std::uint16_t noPreset);
int VisaDev_CreateRfList(int id, const RfListUpload* list, const char* instrumentPath, int path,
                         std::uint16_t activate);
int VisaDev_ReadTestPoint(int id, const char* name, double* value, int block);

// Further file kinds. kind 0: file (":MMEM:DATA"), 1: data list, 2: control list.
int VisaDev_UploadList(int id, const char* localPath, const char* instrumentPath, int kind);
int VisaDev_UploadListWaveAndSelect(int id, const char* localPath, const char* instrumentPath,
                                    std::uint16_t run);
int VisaDev_UploadDataList(int id, const char* localPath, const char* instrumentPath);
int VisaDev_UploadControlList(int id, const char* localPath, const char* instrumentPath);
// pathMask bit 0: path 1, bit 1: path 2.
int VisaDev_UploadDataListToPaths(int id, const char* localPath, const char* instrumentPath, int pathMask,
                                  std::uint16_t select);
int VisaDev_UploadControlListToPaths(int id, const char* localPath, const char* instrumentPath, int pathMask,
                                     std::uint16_t select);
