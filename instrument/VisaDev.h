// The VISA device layer: the only code that talks to instruments.
//
// Up to 32 instrument connections live in VisaDevSlotTable, addressed by the
// instrument id 0..31. Commands and replies are logged as "VISA >> '...'" and
// "VISA << '...'"; every command containing "*OPC?" must be answered "1"; the
// instrument's error queue (":SYST:ERR?") is read after each write. Results
// are 1 for success and 0 for failure; the reason is logged where it is
// detected and kept in the slot's lastError for the caller to show.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "instrument/InstrumentTypes.h"
#include "platform/BoundedText.h"

inline constexpr int kVisaDevSlotCount = 32;
inline constexpr int kVisaDevClosed = -1;

inline constexpr std::size_t kVisaLastErrorSize = 4096;
inline constexpr std::size_t kVisaResourceSize = 1024;
inline constexpr std::size_t kVisaIdnSize = 1024;
inline constexpr std::size_t kVisaOptionsSize = 8000;
// Largest reply VisaDev_QueryAll takes (a catalog of many thousand files).
inline constexpr std::size_t kVisaLongReplyMax = 16u << 20;
// Error-queue entries read by one check at most.
inline constexpr int kVisaErrorRounds = 20;

struct VisaDevSlot {
  std::int32_t session;          // instrument session, -1 when closed
  std::int32_t resourceManager;  // resource manager of this slot, -1 when closed
  cz::Text<kVisaLastErrorSize> lastError;
  cz::Text<kVisaResourceSize> resource;
  cz::Text<kVisaIdnSize> idn;
  cz::Text<kVisaOptionsSize> options;
  InstrumentType type;
  // Codes read from the error queue by the latest check, in order.
  int errorCodes[kVisaErrorRounds];
  int errorCodeCount;
  // The latest VisaDev_ReadAsync ended with the message's END.
  bool readEnded;
  // Status of the I/O failure behind the latest error of the slot (a
  // failed open included), 0 when there was none.
  std::int32_t failureStatus;
};

extern VisaDevSlot VisaDevSlotTable[kVisaDevSlotCount];

// Progress in percent 0..100, called from inside long transfers.
using VisaDev_ProgressFn = void (*)(int percent);
extern VisaDev_ProgressFn VisaDev_ProgressCallback;

// Result of a GPIB scan.
inline constexpr int kGpibScanMax = 33;
struct GpibScanEntry {
  cz::Text<1024> resource;
  cz::Text<1024> idn;
  cz::Text<8000> options;
  cz::Text<1024> maker;
  cz::Text<1024> model;
  cz::Text<1024> serial;
  cz::Text<1024> firmware;
  InstrumentType type;
};
struct GpibScanResult {
  GpibScanEntry entries[kGpibScanMax];
  std::uint8_t count;
};

// Interface types of VisaDev_GetInterfaceType.
enum VisaDevInterface : std::uint16_t {
  VISADEV_INTF_GPIB = 1,
  VISADEV_INTF_VXI = 2,
  VISADEV_INTF_GPIB_VXI = 3,
  VISADEV_INTF_ASRL = 4,
  VISADEV_INTF_PXI = 5,
  VISADEV_INTF_TCPIP = 6,
  VISADEV_INTF_USB = 7,
};

// Marks every slot closed and probes the VISA installation. On failure the
// reason goes to errorText (errorSize bytes) and 0 is returned.
int VisaDev_Init(char* errorText, std::size_t errorSize);
void VisaDev_SetProgressCallback(VisaDev_ProgressFn fn);
void VisaDev_ClearProgressCallback();
void VisaDev_ReportProgress(int percent);
void VisaDev_GetVersion(int* major, int* minor);

// The program's pump for every wait on an instrument (a reply, a block the
// instrument stores, a late first byte): called about every 25 ms inside
// the wait, so that the window repaints; its result 0 lets the wait go on
// within its time-out. nullptr removes it.
void VisaDev_SetWaitHook(int (*hook)());
// The pump installed, nullptr when none.
int (*VisaDev_WaitHook())();

int VisaDev_IsOpen(int id);
int VisaDev_GetSession(int id, std::int32_t* session);
int VisaDev_Open(int id, const char* resource);
int VisaDev_Close(int id);
int VisaDev_CloseAll();

// Sends one command; a command containing "*OPC?" must be answered '1'.
int VisaDev_Write(int id, const char* command);
// Sends a query (an empty command only reads) and reads the reply into
// reply (size bytes, terminated, trailing CR/LF stripped).
int VisaDev_Query(int id, const char* command, char* reply, std::size_t size);
// VisaDev_Query for a reply of any length up to kVisaLongReplyMax bytes:
// reads up to END, strips the terminator. A longer reply is read to its end,
// discarded and fails the query.
int VisaDev_QueryAll(int id, const char* command, std::string* reply);
// Reads the error queue; 1 when it was empty.
int VisaDev_CheckError(int id);
// True when the latest error-queue check read the given code.
bool VisaDev_LastErrorHasCode(int id, int code);
// Hands out the slot's last error (text of kVisaLastErrorSize bytes) and
// empties it. Also yields the error of a failed VisaDev_Open.
int VisaDev_GetLastError(int id, char* text);
// The I/O status behind the slot's latest failure (kept after a failed
// VisaDev_Open; 0 when none): VISA_ERR_RSRC_LOCKED when another client held
// the instrument's lock beyond the time-out, VISA_ERR_TMO when it did not
// answer in time. 0 for an id out of range.
std::int32_t VisaDev_FailureStatus(int id);
// Logs message with the slot's last error beside it on one line (the
// message alone when there is none) and empties the last error.
void VisaDev_LogFailure(int id, const char* message);
int VisaDev_GetInterfaceType(int id, std::uint16_t* type);

// Session time-out in ms.
int VisaDev_GetTimeout(int id, std::uint32_t* ms);
int VisaDev_SetTimeout(int id, std::uint32_t ms);

// Sends raw bytes in 2,048-byte chunks, END with the last byte.
int VisaDev_WriteBinary(int id, const void* data, std::size_t length);
// Reads up to maximum bytes in 1,024-byte pieces; *received never exceeds
// maximum. A piece that times out fails the read and aborts it. With
// replyStart the first byte (the start of a reply) is waited for within the
// reply time limit rather than one piece's wait.
int VisaDev_ReadAsync(int id, void* buffer, std::uint32_t maximum, std::uint32_t* received,
                      bool replyStart = false);
// false: VisaDev_ReadAsync leaves out its two log lines per call (its
// failures are still logged), so that a download of many pieces logs its
// progress in a few lines of its own; true again when it ends.
void VisaDev_SetReadLogging(bool on);
// Brings the session back to a clean state after a broken block transfer:
// device clear, or a new connection where the transport has no clear.
int VisaDev_ClearSession(int id);
// Reads and discards input up to the next END (the terminator after a block,
// the rest of an over-long reply), at most kVisaLongReplyMax bytes within the
// reply time limit. Returns the number of bytes discarded, kVisaDrainFailed
// when the read failed, kVisaDrainUnended when the input went on past a bound.
inline constexpr long kVisaDrainFailed = -1;
inline constexpr long kVisaDrainUnended = -2;
long VisaDev_DrainToEnd(int id);
// Every reply is read whole within a limit of four session time-outs; a read
// that passes it fails. ms != 0 sets a fixed limit instead (tests), 0 goes
// back to the derived one.
void VisaDev_SetReplyTimeLimit(std::uint32_t ms);

int VisaDev_ScanGpib(GpibScanResult* result, int board);
