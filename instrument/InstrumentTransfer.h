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

// Transfer operations on an open instrument id; 1 success, 0 failure.
int VisaDev_SetDefaultPath(int id, const char* drive, const char* directory);
int VisaDev_DeleteFileIfExists(int id, const char* path, std::uint16_t ask);
int VisaDev_UploadFile(int id, const char* localPath, const char* instrumentPath);
int VisaDev_DownloadFile(int id, const char* localPath, const char* instrumentPath);
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
