// Instrument file transfer: paths, catalogs, block uploads and downloads,
// waveform activation and RF lists.
#include "instrument/InstrumentTransfer.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <thread>
#include <vector>

#include "app/Log.h"
#include "app/Settings.h"
#include "instrument/Identify.h"
#include "instrument/InstrumentCatalog.h"
#include "instrument/TransferInternal.h"
#include "instrument/VisaDev.h"
#include "platform/CLocale.h"
#include "platform/FileReplace.h"
#include "platform/Paths.h"
#include "platform/ui/UserInterface.h"
#include "platform/visa/Visa.h"

namespace xfer {

constexpr std::uint32_t kDownloadPiece = 2048;
constexpr std::size_t kLocalPathSize = 4096;  // a resolved local path (PATH_MAX)
constexpr std::size_t kCatalogEntryMax = 1023;
// The error check after a block is answered only once the instrument has
// taken in and stored the whole block, which for a large file may take
// longer than one time-out: its reply is waited for at least this long.
constexpr std::uint32_t kBlockStoredWaitMs = 30000;
// Device-specific error the instrument queues for a catalog with no match.
constexpr int kEmptyCatalogError = 469;

std::string Fmt(const char* fmt, long long v) { return cz::FormatC(fmt, v); }

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

// Quotes a name for a command; logs and returns false for a refused name.
bool QuoteOrRefuse(const std::string& name, std::string* quoted) {
  if (ScpiQuoted(name, quoted)) return true;
  Log_Message(1, "*** Instrument file name holds a control character; refused.");
  return false;
}

// Digits of a block length: floor(log10(length)) + 1.
int LengthDigits(std::int64_t length) {
  int n = 1;
  for (std::int64_t v = length; v >= 10; v /= 10) ++n;
  return n;
}

std::string BlockPrefix(std::int64_t length) {
  return cz::FormatC("#%d%lld", LengthDigits(length), static_cast<long long>(length));
}

// The catalog entry scan: each entry is an SCPI string of the reply, its
// name the part before its last two commas (a name may hold commas and
// doubled quotes). Returns 1 when `name` is found, 0 when not, -1 for an
// entry of kCatalogEntryMax characters or more.
int CatalogHasName(std::string_view reply, std::string_view name) {
  for (const std::string& text : Catalog_Strings(reply)) {
    if (text.size() >= kCatalogEntryMax) return -1;
    CatalogEntry entry;
    Catalog_SplitEntry(text, &entry);
    if (entry.name == name) return 1;
  }
  return 0;
}

// ":MMEM:CAT?" that may fail with the empty-catalog error, which counts as
// an empty reply. Returns 0 for any other failure.
// The whole reply is read, however long: a file listed beyond any fixed
// buffer must still be found before it is overwritten.
int QueryCatalog(int id, const std::string& command, std::string* reply) {
  if (VisaDev_QueryAll(id, command.c_str(), reply)) return 1;
  if (VisaDev_LastErrorHasCode(id, kEmptyCatalogError)) {
    char scrap[kVisaLastErrorSize];
    VisaDev_GetLastError(id, scrap);
    reply->clear();
    return 1;
  }
  return 0;
}

// Per instrument id: the targets the user agreed to replace and whether the
// last upload ended with his No.
struct UploadQuestions {
  std::vector<std::string> confirmed;
  bool cancelled = false;
};
UploadQuestions g_questions[kVisaDevSlotCount];

UploadQuestions* Questions(int id) { return id >= 0 && id < kVisaDevSlotCount ? &g_questions[id] : nullptr; }

void StartQuestions(int id) {
  if (UploadQuestions* q = Questions(id)) q->cancelled = false;
}

void MarkCancelled(int id) {
  if (UploadQuestions* q = Questions(id)) q->cancelled = true;
  Log_Message(1, kUploadCancelledText);
}

// True (and the confirmation used up) when the user already agreed to
// replace this target.
bool TakeConfirmation(int id, const std::string& path) {
  UploadQuestions* q = Questions(id);
  if (!q) return false;
  for (auto it = q->confirmed.begin(); it != q->confirmed.end(); ++it) {
    if (*it == path) {
      q->confirmed.erase(it);
      return true;
    }
  }
  return false;
}

bool IsConfirmed(int id, const std::string& path) {
  const UploadQuestions* q = Questions(id);
  if (!q) return false;
  for (const std::string& c : q->confirmed)
    if (c == path) return true;
  return false;
}

// Sends END with each write (true) or only where asked; keeps the old value.
struct EndMode {
  std::int32_t session = VISA_NULL;
  std::uint64_t saved = 1;
};

EndMode SwitchEndOff(int id) {
  EndMode m;
  VisaDev_GetSession(id, &m.session);
  Visa_GetAttribute(m.session, VISA_ATTR_SEND_END_EN, &m.saved);
  Visa_SetAttribute(m.session, VISA_ATTR_SEND_END_EN, 0);
  return m;
}

void RestoreEnd(const EndMode& m) { Visa_SetAttribute(m.session, VISA_ATTR_SEND_END_EN, m.saved); }

// After a failed transfer: a clean session and an empty error queue, so that
// later replies keep in step with their commands.
void RecoverAfterFailure(int id) {
  VisaDev_ClearSession(id);
  VisaDev_CheckError(id);
}

void SetLastError(int id, const std::string& text) {
  if (id >= 0 && id < kVisaDevSlotCount) VisaDevSlotTable[id].lastError = text;
}

// Streams `size` bytes of `file` after `header` as one block, END with its
// last byte. Logs its own failures; the session is cleared after any
// failure once the header has gone out.
int StreamBlock(int id, const std::string& header, std::FILE* file, std::int64_t size, const BlockStyle& style) {
  std::int32_t session = VISA_NULL;
  VisaDev_GetSession(id, &session);
  std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[style.chunk]);
  if (!buffer) {
    Log_Message(1, "Could not allocate file buffer.");
    return 0;
  }
  std::uint16_t intf = 0;
  VisaDev_GetInterfaceType(id, &intf);
  const bool gpib = intf == VISA_INTF_GPIB;
  if (gpib) VisaDev_Write(id, ":SYST:COMM:GPIB:LTER EOI; *OPC?");
  EndMode end = SwitchEndOff(id);
  auto finish = [&](int ok) {
    RestoreEnd(end);
    if (gpib) VisaDev_Write(id, ":SYST:COMM:GPIB:LTER STAN; *OPC?");
    return ok;
  };

  VisaStatus st = Visa_Write(session, header.data(), static_cast<std::uint32_t>(header.size()), nullptr);
  if (st < 0) {
    Log_Message(1, "Error sending command header.");
    char d[VISA_DESC_SIZE];
    Visa_StatusDesc(session, st, d);
    SetLastError(id, std::string("ERROR : W ") + d);
    RestoreEnd(end);
    RecoverAfterFailure(id);
    if (gpib) VisaDev_Write(id, ":SYST:COMM:GPIB:LTER STAN; *OPC?");
    return 0;
  }

  std::int64_t remaining = size;
  int lastPercent = -1;
  bool fileShort = false;
  bool shortWrite = false;
  st = VISA_SUCCESS;
  while (remaining > 0) {
    std::size_t chunk = style.chunk;
    if (remaining <= static_cast<std::int64_t>(style.chunk)) {
      chunk = static_cast<std::size_t>(remaining);
      Visa_SetAttribute(session, VISA_ATTR_SEND_END_EN, 1);  // END with the last byte
    }
    std::size_t got = std::fread(buffer.get(), 1, chunk, file);
    if (got < chunk) {
      Log_Message(1, Fmt("Error: %lld bytes required from input file.", static_cast<long long>(chunk)).c_str());
      Log_Message(1, Fmt("       %lld bytes read from file.", static_cast<long long>(got)).c_str());
      Log_Message(1, Fmt("       %lld bytes remaining for transfer.", static_cast<long long>(remaining)).c_str());
      fileShort = true;
      break;
    }
    std::uint32_t written = 0;
    st = Visa_Write(session, buffer.get(), static_cast<std::uint32_t>(chunk), &written);
    if (st < 0) break;
    if (written < chunk) {
      shortWrite = true;
      break;
    }
    remaining -= static_cast<std::int64_t>(chunk);
    int percent = static_cast<int>((1.0 - static_cast<double>(remaining) / static_cast<double>(size)) * 100.0);
    if (style.progressEveryChunk || percent != lastPercent) VisaDev_ReportProgress(percent);
    lastPercent = percent;
  }
  RestoreEnd(end);
  if (st < 0 || shortWrite || fileShort) {
    if (st < 0) {
      char d[VISA_DESC_SIZE];
      Visa_StatusDesc(session, st, d);
      SetLastError(id, std::string("ERROR : W ") + d);
      Log_Message(2, "*** Block transfer failed: ", d);
    } else if (shortWrite) {
      SetLastError(id, "ERROR : W Incorrect number of bytes transferred.");
      Log_Message(1, "*** ERROR : W Incorrect number of bytes transferred.");
    }
    // The instrument still waits for the rest of the block.
    RecoverAfterFailure(id);
    return finish(0);
  }
  std::uint32_t timeout = 0;
  const bool raised = VisaDev_GetTimeout(id, &timeout) == 1 && timeout < kBlockStoredWaitMs &&
                      VisaDev_SetTimeout(id, kBlockStoredWaitMs) == 1;
  const int checked = VisaDev_CheckError(id);
  if (raised) VisaDev_SetTimeout(id, timeout);
  return finish(checked);
}

// Checks and opens a local file for an upload; size in *size.
FilePtr OpenUploadSource(const char* localPath, const char* instrumentPath, std::int64_t* size) {
  if (!localPath || !*localPath) {
    Log_Message(1, "File name cannot be empty.");
    return nullptr;
  }
  if (!instrumentPath || !*instrumentPath) {
    Log_Message(1, "File name on instrument cannot be empty.");
    return nullptr;
  }
  char host[kLocalPathSize];
  if (!ResolveLocalPath(localPath, host, sizeof host)) return nullptr;
  *size = GetFileSizeBytes(host);
  if (*size <= 0) {
    Log_Message(1, "Input file is empty.");
    return nullptr;
  }
  if (*size > VisaDev_MaxTransferBytes()) {
    Log_Message(1, cz::FormatC("*** Input file too large: %lld bytes; a block holds at most %lld bytes.",
                               static_cast<long long>(*size), static_cast<long long>(VisaDev_MaxTransferBytes()))
                       .c_str());
    return nullptr;
  }
  return FilePtr(std::fopen(host, "rb"));
}

const char* SourPrefix(int path) {
  switch (path) {
    case 1: return "SOUR1:";
    case 2: return "SOUR2:";
    default: return "";
  }
}
const char* OutpPrefix(int path) {
  switch (path) {
    case 1: return "OUTP1:";
    case 2: return "OUTP2:";
    default: return "";
  }
}

}  // namespace xfer

using namespace xfer;

// ---------------------------------------------------------------------------
// Utilities

void ShowInfoMessage(const char* title, const char* text) { MessagePopup(title, text); }

bool AskYesNo(const char* title, const char* text) { return ConfirmPopup(title, text) == 1; }

void SleepMs(double milliseconds) {
  if (milliseconds >= 1.0) std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<long long>(milliseconds)));
}

namespace {
std::int64_t g_maxTransferBytes = kMaxBlockBytes;
}  // namespace

std::int64_t VisaDev_MaxTransferBytes() { return g_maxTransferBytes; }

void VisaDev_SetMaxTransferBytes(std::int64_t bytes) {
  g_maxTransferBytes = bytes > 0 && bytes < kMaxBlockBytes ? bytes : kMaxBlockBytes;
}

std::int64_t GetFileSizeBytes(const char* path) {
  char host[kLocalPathSize];
  if (!ResolveLocalPath(path, host, sizeof host)) return 0;
  struct stat st {};
  if (::stat(host, &st) != 0 || !S_ISREG(st.st_mode)) return 0;
  return static_cast<std::int64_t>(st.st_size);
}

void SplitPathParts(const std::string& path, std::string* drive, std::string* directory, std::string* name,
                    std::string* extension) {
  std::string_view p(path);
  std::string_view d;
  if (p.size() >= 2 && p[1] == ':') {
    d = p.substr(0, 2);
    p.remove_prefix(2);
  }
  p = p.substr(0, p.find(':'));
  std::size_t sep = p.find_last_of("\\/");
  std::string_view dir = sep == std::string_view::npos ? std::string_view() : p.substr(0, sep + 1);
  std::string_view last = sep == std::string_view::npos ? p : p.substr(sep + 1);
  std::size_t dot = last.rfind('.');
  std::string_view base = dot == std::string_view::npos ? last : last.substr(0, dot);
  std::string_view ext = dot == std::string_view::npos ? std::string_view() : last.substr(dot);
  if (drive) *drive = d;
  if (directory) *directory = dir;
  if (name) *name = base;
  if (extension) *extension = ext;
}

std::string FileNameWithExtension(const std::string& path, std::string* drive, std::string* directory) {
  std::string name, ext;
  SplitPathParts(path, drive, directory, &name, &ext);
  return name + ext;
}

bool ScpiQuoted(const std::string& text, std::string* quoted) {
  std::string out = "'";
  for (unsigned char c : text) {
    if (IsControl(c)) {
      quoted->clear();
      return false;
    }
    out.push_back(static_cast<char>(c));
    if (c == '\'') out.push_back('\'');
  }
  out.push_back('\'');
  *quoted = std::move(out);
  return true;
}

// ---------------------------------------------------------------------------
// Paths and catalogs

int VisaDev_SetDefaultPath(int id, const char* drive, const char* directory) {
  std::string q;
  if (drive && *drive) {
    if (!QuoteOrRefuse(drive, &q)) return 0;
    if (!VisaDev_Write(id, (":MMEM:MSIS " + q + "; *OPC?").c_str())) {
      Log_Message(1, "Error setting default drive.");
      return 0;
    }
  }
  if (directory && *directory) {
    if (!QuoteOrRefuse(directory, &q)) return 0;
    const std::string cdir = ":MMEM:CDIR " + q + "; *OPC?";
    if (!VisaDev_Write(id, cdir.c_str())) {
      if (!VisaDev_Write(id, (":MMEM:MDIR " + q + "; *OPC?").c_str())) {
        Log_Message(1, "Error creating default path.");
        return 0;
      }
      if (!VisaDev_Write(id, cdir.c_str())) {
        Log_Message(1, "*** Error setting default path.");
        return 0;
      }
    }
  }
  return 1;
}

int VisaDev_UploadCancelled(int id) {
  const UploadQuestions* q = Questions(id);
  return q && q->cancelled ? 1 : 0;
}

void VisaDev_RememberConfirmation(int id, const char* instrumentPath) {
  UploadQuestions* q = Questions(id);
  if (q && instrumentPath && !IsConfirmed(id, instrumentPath)) q->confirmed.emplace_back(instrumentPath);
}

void VisaDev_ForgetConfirmations(int id) {
  if (UploadQuestions* q = Questions(id)) q->confirmed.clear();
}

void VisaDev_ResetUploadQuestions(int id) {
  if (UploadQuestions* q = Questions(id)) *q = UploadQuestions();
}

// The catalogue of the target's own directory, with the drive: a directory
// that does not exist yet (the SCPI "file name not found", -256) holds no
// file, as an empty match (469) does.
int VisaDev_FindFile(int id, const char* instrumentPath) {
  if (!instrumentPath || !*instrumentPath) return 0;
  std::string drive, directory, name, ext;
  SplitPathParts(instrumentPath, &drive, &directory, &name, &ext);
  std::string pattern;
  if (!QuoteOrRefuse(drive + directory + "*" + (ext.empty() ? std::string(".*") : ext), &pattern)) return -1;
  std::string reply;
  if (!VisaDev_QueryAll(id, (":MMEM:CAT? " + pattern).c_str(), &reply)) {
    if (!VisaDev_LastErrorHasCode(id, kEmptyCatalogError) && !VisaDev_LastErrorHasCode(id, -256)) {
      Log_Message(1, "Cannot read files from instrument.");
      return -1;
    }
    char scrap[kVisaLastErrorSize];
    VisaDev_GetLastError(id, scrap);
    return 0;
  }
  const int found = CatalogHasName(reply, name + ext);
  if (found < 0) {
    Log_Message(1, "Invalid directory entry. File name section too large.");
    return -1;
  }
  return found;
}

int VisaDev_ConfirmUpload(int id, const char* instrumentPath) {
  StartQuestions(id);
  const std::string path = instrumentPath ? instrumentPath : "";
  if (IsConfirmed(id, path)) return 1;
  const int found = VisaDev_FindFile(id, path.c_str());
  if (found < 0) return 0;
  if (found == 0) return 1;
  if (!AskYesNo("WARNING", "File exists on instrument. Delete ?")) {
    MarkCancelled(id);
    return 0;
  }
  if (UploadQuestions* q = Questions(id)) q->confirmed.push_back(path);
  return 1;
}

// A No leaves the file and returns 1, as the caller may only have wanted it
// gone; VisaDev_UploadCancelled tells an upload to stop there.
int VisaDev_DeleteFileIfExists(int id, const char* path, std::uint16_t ask) {
  if (!path) return 0;
  std::string directory, name, ext;
  SplitPathParts(path, nullptr, &directory, &name, &ext);
  std::string pattern;
  if (!QuoteOrRefuse(directory + "*" + (ext.empty() ? std::string(".*") : ext), &pattern)) return 0;
  std::string reply;
  if (!QueryCatalog(id, ":MMEM:CAT? " + pattern, &reply)) {
    Log_Message(1, "Cannot read files from instrument.");
    return 0;
  }
  int found = CatalogHasName(reply, name + ext);
  if (found < 0) {
    Log_Message(1, "Invalid directory entry. File name section too large.");
    return 0;
  }
  if (found == 0) return 1;
  if (ask && !AskYesNo("WARNING", "File exists on instrument. Delete ?")) {
    MarkCancelled(id);
    return 1;
  }
  std::string q;
  if (!QuoteOrRefuse(path, &q)) return 0;
  if (!VisaDev_Write(id, ("MMEM:DEL " + q + "; *OPC?").c_str())) {
    Log_Message(1, "*** Error deleting file on instrument.");
  }
  return 1;
}

// ---------------------------------------------------------------------------
// Upload and download

int VisaDev_UploadFile(int id, const char* localPath, const char* instrumentPath) {
  StartQuestions(id);
  // A target the user already agreed to replace is deleted without a second question.
  bool confirmed = TakeConfirmation(id, instrumentPath ? instrumentPath : "");
  std::int64_t size = 0;
  FilePtr in = OpenUploadSource(localPath, instrumentPath, &size);
  if (!in) {
    // The checks passed, so the file itself could not be opened.
    if (size > 0 && size <= VisaDev_MaxTransferBytes()) Log_Message(1, "Error opening input file.");
    return 0;
  }
  std::string target(instrumentPath), quotedTarget;
  if (!QuoteOrRefuse(target, &quotedTarget)) return 0;
  std::string drive, directory;
  const std::string file = FileNameWithExtension(target, &drive, &directory);
  // The question comes before the drive and directory are changed.
  if (!confirmed) {
    if (!VisaDev_ConfirmUpload(id, target.c_str())) return 0;
    confirmed = TakeConfirmation(id, target);
  }
  if (!VisaDev_SetDefaultPath(id, drive.c_str(), directory.c_str())) {
    Log_Message(1, "Error setting file path.");
    return 0;
  }
  if (!VisaDev_DeleteFileIfExists(id, file.c_str(), confirmed ? 0 : 1)) {
    Log_Message(1, "Error deleting file on instrument.");
    return 0;
  }
  // "No": the instrument's file stays, and nothing is sent.
  if (VisaDev_UploadCancelled(id)) return 0;
  VisaDev_ReportProgress(0);
  Log_Message(1, Fmt("Sending %lld bytes of binary data.", static_cast<long long>(size)).c_str());
  const std::string header = ":MMEM:DATA " + quotedTarget + "," + BlockPrefix(size);
  Log_Message(3, "VISA >> '", header.c_str(), "...'");
  int ok = StreamBlock(id, header, in.get(), size, BlockStyle{kUploadChunk, true});
  VisaDev_ReportProgress(100);
  Log_Message(1, ok ? "Transfer complete." : "Transfer FAILED.");
  return ok;
}

namespace {

// A Cancel the progress function passed on while a download runs, and per
// id whether the latest download ended by it.
bool g_downloadCancelRequest = false;
bool g_downloadCancelled[kVisaDevSlotCount] = {};

// The progress function is called at every new percent and at least this
// often, so that it sees a Cancel while a slow link moves less than 1 %.
constexpr auto kDownloadReportEvery = std::chrono::milliseconds(100);

// The pieces of a download are read without their per-read log lines.
struct QuietReads {
  QuietReads() { VisaDev_SetReadLogging(false); }
  ~QuietReads() { VisaDev_SetReadLogging(true); }
  QuietReads(const QuietReads&) = delete;
  QuietReads& operator=(const QuietReads&) = delete;
};

// While a download runs, every wait on the instrument (its first byte may
// come seconds late, as it reads a large file first) runs the program's pump
// and then the progress function with the percentage so far: the browser's
// dialog stays drawn and its Cancel ends the wait at once.
int (*g_downloadBaseHook)() = nullptr;
int g_downloadPercent = 0;

int DownloadWaitHook() {
  if (g_downloadBaseHook) g_downloadBaseHook();
  VisaDev_ReportProgress(g_downloadPercent);
  return g_downloadCancelRequest ? 1 : 0;
}

class DownloadWait {
 public:
  DownloadWait() {
    g_downloadBaseHook = VisaDev_WaitHook();
    g_downloadPercent = 0;
    VisaDev_SetWaitHook(&DownloadWaitHook);
  }
  ~DownloadWait() { End(); }
  DownloadWait(const DownloadWait&) = delete;
  DownloadWait& operator=(const DownloadWait&) = delete;
  // The program's own pump again (before the session is cleared, which must
  // not be ended by the Cancel).
  void End() {
    if (!active_) return;
    active_ = false;
    VisaDev_SetWaitHook(g_downloadBaseHook);
  }

 private:
  bool active_ = true;
};

}  // namespace

void VisaDev_CancelDownload() { g_downloadCancelRequest = true; }

int VisaDev_DownloadCancelled(int id) {
  return id >= 0 && id < kVisaDevSlotCount && g_downloadCancelled[id] ? 1 : 0;
}

int VisaDev_DownloadFile(int id, const char* localPath, const char* instrumentPath) {
  g_downloadCancelRequest = false;
  if (id >= 0 && id < kVisaDevSlotCount) g_downloadCancelled[id] = false;
  if (!localPath || !*localPath) {
    Log_Message(1, "File name cannot be empty.");
    return 0;
  }
  if (!instrumentPath || !*instrumentPath) {
    Log_Message(1, "File name on instrument cannot be empty.");
    return 0;
  }
  // A relative name is taken from the home path, as every local file is.
  char host[kLocalPathSize];
  if (!ResolveLocalPath(localPath, host, sizeof host)) {
    Log_Message(1, "Local file name too long.");
    return 0;
  }
  Log_Message(1, "Copy file from instrument to local file system.");
  Log_Message(2, "Source : ", instrumentPath);
  Log_Message(2, "Dest   : ", host);
  VisaDev_ReportProgress(0);
  std::string q;
  if (!QuoteOrRefuse(instrumentPath, &q)) return 0;
  if (!VisaDev_IsOpen(id)) {
    Log_Message(1, "Device is not open.");
    return 0;
  }
  DownloadWait wait;
  VisaDev_Write(id, (":MMEM:DATA? " + q).c_str());

  // The user's Cancel: the rest of the reply is never read, the session is
  // cleared of it, and the local file stays as it was.
  std::int64_t length = 0;
  std::int64_t done = 0;
  auto cancelled = [&]() {
    wait.End();
    g_downloadCancelRequest = false;
    g_downloadCancelled[id] = true;
    if (length > 0) {
      Log_Message(1, cz::FormatC("*** Download cancelled after %lld of %lld bytes; the partial file was removed.",
                                 static_cast<long long>(done), static_cast<long long>(length)).c_str());
    } else {
      Log_Message(1, "*** Download cancelled before any data came; the local file was left as it was.");
    }
    RecoverAfterFailure(id);
    return 0;
  };
  // Every failure from here on leaves part of a reply behind.
  auto fail = [&](const char* text) {
    if (g_downloadCancelRequest) return cancelled();
    wait.End();
    Log_Message(1, text);
    RecoverAfterFailure(id);
    return 0;
  };
  unsigned char c = 0;
  std::uint32_t got = 0;
  if (!VisaDev_ReadAsync(id, &c, 1, &got, true) || got != 1) return fail("No data received from instrument.");
  if (c != '#') return fail("Invalid character received from instrument. Expected #.");
  if (!VisaDev_ReadAsync(id, &c, 1, &got) || got != 1) return fail("No length information received from instrument.");
  if (c < '1' || c > '9') return fail("Invalid length character received from instrument. Expected number.");
  const std::uint32_t digits = static_cast<std::uint32_t>(c - '0');
  char lengthText[10] = {};
  if (!VisaDev_ReadAsync(id, lengthText, digits, &got)) return fail("No complete length information received from instrument.");
  if (got != digits) return fail("Invalid length data received from instrument.");
  for (std::uint32_t i = 0; i < digits; ++i) {
    if (lengthText[i] < '0' || lengthText[i] > '9') return fail("Invalid length data received from instrument.");
    length = length * 10 + (lengthText[i] - '0');
  }
  if (length == 0) return fail("Invalid length info received from instrument. Length is zero.");
  Log_Message(1, Fmt("Data length is : %lld bytes.", static_cast<long long>(length)).c_str());

  // Streamed to a temporary file beside the real target, renamed over it
  // only when the whole block arrived; a read-only file is not replaced.
  const std::string finalPath = host;
  cz::ReplacingFile part;
  FILE* out = part.Begin(finalPath) ? part.Stream() : nullptr;
  if (out == nullptr) {
    Log_Message(5, "*** Cannot write '", finalPath.c_str(), "': ", part.Reason().c_str(), ".");
    return fail("Error opening output file.");
  }
  auto failPart = [&](const char* text) {
    part.Abandon();
    return fail(text);
  };
  unsigned char piece[kDownloadPiece];
  int lastPercent = 0;
  int loggedTenths = 0;
  auto lastReport = std::chrono::steady_clock::now();
  // The log gets the progress at every tenth of the block, not two lines
  // per piece: at most ten lines however large the file.
  QuietReads quiet;
  while (done < length) {
    std::uint32_t want = length - done < kDownloadPiece ? static_cast<std::uint32_t>(length - done) : kDownloadPiece;
    if (!VisaDev_ReadAsync(id, piece, want, &got)) return failPart("Failed to read binary data.");
    if (got < want) return failPart("Binary transfer incomplete.");
    if (std::fwrite(piece, 1, got, out) != got) {
      const int error = errno != 0 ? errno : EIO;
      Log_Message(5, "*** Cannot write '", finalPath.c_str(), "': ", std::strerror(error), ".");
      return failPart("Failed to write to output file.");
    }
    done += got;
    int percent = static_cast<int>(static_cast<double>(done) * 100.0 / static_cast<double>(length));
    const auto now = std::chrono::steady_clock::now();
    g_downloadPercent = percent;
    if (percent != lastPercent || now - lastReport >= kDownloadReportEvery) {
      VisaDev_ReportProgress(percent);
      lastPercent = percent;
      lastReport = now;
    }
    if (percent / 10 > loggedTenths) {
      loggedTenths = percent / 10;
      Log_Message(1, cz::FormatC("Received %lld of %lld bytes.", static_cast<long long>(done),
                                 static_cast<long long>(length)).c_str());
    }
    // The user's Cancel: the rest of the block is never read, the session is
    // cleared of it and the partial file goes.
    if (g_downloadCancelRequest) {
      part.Abandon();
      return cancelled();
    }
  }
  VisaDev_ReportProgress(100);
  wait.End();  // all data came: a Cancel now changes nothing
  // The block's terminator (and anything up to END) is read here, so that
  // it is not taken for the reply of the next command.
  // Input that goes on past the reply bounds after the block is no reply
  // of this download: it fails, and the session is cleared.
  const long rest = VisaDevSlotTable[id].readEnded ? 0 : VisaDev_DrainToEnd(id);
  if (rest == kVisaDrainUnended) return failPart("*** No message end after the data block.");
  if (rest < 0) {
    Log_Message(1, "*** No message end after the data block.");
    VisaDev_ClearSession(id);
  }
  // The window stays painted while the file goes to the disk.
  if (!part.Commit(cz::FlushTiming::BeforeRename, VisaDev_WaitHook())) {
    Log_Message(5, "*** Cannot write '", finalPath.c_str(), "': ", part.Reason().c_str(), ".");
    Log_Message(1, "Failed to write to output file.");
    return 0;
  }
  Log_Message(1, "Data transfer complete.");
  return 1;
}
