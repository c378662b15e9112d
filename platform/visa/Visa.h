// Cadenza's instrument I/O layer: a small procedural interface in the shape of
// the usual instrument-I/O libraries (resource manager, sessions, attributes,
// message-based read and write, asynchronous reads with completion events),
// implemented over our own transports:
//
//   "TCPIP[board]::host::port::SOCKET"          raw SCPI over TCP
//   "TCPIP[board]::host[::inst0]::INSTR"         VXI-11 core channel (ONC RPC)
//   "USB[board]::vendor::product::serial::INSTR" Linux usbtmc driver
//   "GPIB[board]::address[::secondary]::INSTR"   linux-gpib, loaded at run time
//
// Keywords are case-insensitive; vendor and product ids are decimal or 0x-hex.
//
// Every function returns a VisaStatus: 0 = success, a positive value = success
// with a completion code, a negative value = error. Visa_StatusDesc turns any
// status into a text. Handles (resource managers, sessions, find lists, event
// contexts) are small positive integers; VISA_NULL (0) is never a valid one.
//
// All calls of one session must come from one thread; different sessions are
// independent.
#pragma once

#include <cstdint>

using VisaStatus = int32_t;
using VisaSession = int32_t;

constexpr VisaSession VISA_NULL = 0;

// Text sizes (terminator included) of the fixed-size outputs.
constexpr int VISA_DESC_SIZE = 256;   // Visa_StatusDesc
constexpr int VISA_RSRC_SIZE = 256;   // Visa_FindRsrc / Visa_FindNext

// ---- completion codes (>= 0) ---------------------------------------------
constexpr VisaStatus VISA_SUCCESS = 0;          // read: the message ended (END)
constexpr VisaStatus VISA_SUCCESS_MAX_CNT = 1;  // read: count filled before END

// ---- errors (< 0) --------------------------------------------------------
constexpr VisaStatus VISA_ERR_SYSTEM = -1;          // unexpected operating-system failure
constexpr VisaStatus VISA_ERR_INV_OBJECT = -2;      // handle not open or of the wrong kind
constexpr VisaStatus VISA_ERR_INV_RSRC_NAME = -3;   // resource string not understood
constexpr VisaStatus VISA_ERR_RSRC_NFOUND = -4;     // no such device / host / nothing found
constexpr VisaStatus VISA_ERR_TMO = -5;             // time-out before the operation completed
constexpr VisaStatus VISA_ERR_IO = -6;              // transfer failed
constexpr VisaStatus VISA_ERR_CONN_LOST = -7;       // peer closed the connection
constexpr VisaStatus VISA_ERR_NSUP_ATTR = -8;       // attribute not known for this object
constexpr VisaStatus VISA_ERR_NSUP_ATTR_STATE = -9; // attribute value out of range
constexpr VisaStatus VISA_ERR_NSUP_OPER = -10;      // operation not available on this interface
constexpr VisaStatus VISA_ERR_INV_PARAMETER = -11;  // missing pointer, bad mask, bad job id
constexpr VisaStatus VISA_ERR_ALLOC = -12;          // out of memory or handles
constexpr VisaStatus VISA_ERR_ABORT = -13;          // operation aborted (Visa_Terminate)
constexpr VisaStatus VISA_ERR_IN_PROGRESS = -14;    // an asynchronous read is already pending
constexpr VisaStatus VISA_ERR_NOT_ENABLED = -15;    // event not enabled for queueing
constexpr VisaStatus VISA_ERR_GPIB_MISSING = -16;   // "GPIB support (linux-gpib) is not installed"
constexpr VisaStatus VISA_ERR_RPC = -17;            // VXI-11 RPC call failed
constexpr VisaStatus VISA_ERR_DEVICE = -18;         // the instrument's VXI-11 server reported an error
constexpr VisaStatus VISA_ERR_INV_SETUP = -19;      // usbtmc/GPIB device node could not be used
constexpr VisaStatus VISA_ERR_RSRC_LOCKED = -20;    // another client holds the instrument's lock

// ---- attributes ------------------------------------------------------------
// Session attributes.
constexpr uint32_t VISA_ATTR_TMO_VALUE = 1;        // ms, 0 .. 4,294,967,294; default 2,000
constexpr uint32_t VISA_ATTR_SEND_END_EN = 2;      // 1: END with the last byte of each write; default 1
constexpr uint32_t VISA_ATTR_INTF_TYPE = 3;        // read-only, one of VISA_INTF_*
constexpr uint32_t VISA_ATTR_WR_BUF_OPER_MODE = 4; // VISA_FLUSH_ON_ACCESS / VISA_FLUSH_WHEN_FULL
constexpr uint32_t VISA_ATTR_RD_BUF_OPER_MODE = 5; // VISA_FLUSH_ON_ACCESS / VISA_FLUSH_WHEN_FULL
constexpr uint32_t VISA_ATTR_WR_BUF_SIZE = 6;      // read-only, set by Visa_SetBuf
constexpr uint32_t VISA_ATTR_RD_BUF_SIZE = 7;      // read-only, set by Visa_SetBuf
constexpr uint32_t VISA_ATTR_MAX_RECV_SIZE = 8;    // read-only: VXI-11 link's largest write piece
// Event-context attributes (I/O completion).
constexpr uint32_t VISA_ATTR_EVENT_TYPE = 20;      // VISA_EVENT_IO_COMPLETION
constexpr uint32_t VISA_ATTR_STATUS = 21;          // the read's VisaStatus (as int32 in the value)
constexpr uint32_t VISA_ATTR_RET_COUNT = 22;       // bytes the read transferred
constexpr uint32_t VISA_ATTR_JOB_ID = 23;          // job id from Visa_ReadAsync

constexpr uint64_t VISA_FLUSH_ON_ACCESS = 1;
constexpr uint64_t VISA_FLUSH_WHEN_FULL = 2;

// Interface types (VISA_ATTR_INTF_TYPE).
constexpr uint16_t VISA_INTF_GPIB = 1;
constexpr uint16_t VISA_INTF_VXI = 2;
constexpr uint16_t VISA_INTF_GPIB_VXI = 3;
constexpr uint16_t VISA_INTF_ASRL = 4;
constexpr uint16_t VISA_INTF_PXI = 5;
constexpr uint16_t VISA_INTF_TCPIP = 6;
constexpr uint16_t VISA_INTF_USB = 7;

// Buffer masks for Visa_SetBuf.
constexpr uint16_t VISA_READ_BUF = 1;
constexpr uint16_t VISA_WRITE_BUF = 2;

// Events and mechanisms.
constexpr uint32_t VISA_EVENT_IO_COMPLETION = 1;
constexpr uint16_t VISA_QUEUE = 1;

// Visa_GpibControlREN modes.
constexpr uint16_t VISA_GPIB_REN_DEASSERT_GTL = 1;  // send go-to-local to the device

// Visa_Terminate degree.
constexpr uint16_t VISA_NORMAL = 0;

// ---- resource manager ----------------------------------------------------
// Opens a resource manager. Every session opened through it is closed with it.
VisaStatus Visa_OpenDefaultRM(VisaSession* rm);

// Opens the resource. accessMode must be 0; openTimeoutMs bounds connection
// set-up (0 = the transport's own default of 5,000 ms). On failure *session is
// set to VISA_NULL and Visa_StatusDesc(rm, status) gives the reason (with the
// operating system's or peer's detail where there is one).
VisaStatus Visa_Open(VisaSession rm, const char* resource, uint32_t accessMode,
                     uint32_t openTimeoutMs, VisaSession* session);

// Closes a session, a resource manager (with all its sessions and find lists),
// a find list or an event context. Closing VISA_NULL or a closed handle
// returns VISA_ERR_INV_OBJECT and does nothing else.
VisaStatus Visa_Close(VisaSession handle);

// ---- attributes and buffers -------------------------------------------------
VisaStatus Visa_SetAttribute(VisaSession handle, uint32_t attribute, uint64_t value);
VisaStatus Visa_GetAttribute(VisaSession handle, uint32_t attribute, uint64_t* value);

// Records the buffer sizes (1 .. 1 MiB) of the masked buffers. Data always
// goes out at the end of each write call and replies are never held back, so
// the sizes only show in VISA_ATTR_WR_BUF_SIZE / VISA_ATTR_RD_BUF_SIZE.
VisaStatus Visa_SetBuf(VisaSession session, uint16_t mask, uint32_t size);

// ---- message I/O -----------------------------------------------------------
// Writes count bytes exactly as given (no formatting, '%' is an ordinary
// byte). END goes with the last byte when VISA_ATTR_SEND_END_EN is 1: on
// sockets END is a trailing line feed, added unless the data already ends
// with one; VXI-11 sets the END flag of the last piece; usbtmc its EOM bit;
// GPIB asserts EOI. *retCount (optional) receives the bytes accepted.
VisaStatus Visa_Write(VisaSession session, const void* data, uint32_t count, uint32_t* retCount);

// Writes a NUL-terminated text as Visa_Write does (no terminator added beyond
// the END rule above).
VisaStatus Visa_WriteText(VisaSession session, const char* text);

// Reads at most count bytes. Returns VISA_SUCCESS when the message ended
// (sockets: a line feed outside any definite-length block "#<n><len>...", which
// is delivered as the last byte), VISA_SUCCESS_MAX_CNT when count bytes came
// first, VISA_ERR_TMO after VISA_ATTR_TMO_VALUE ms. *retCount (optional)
// always receives the bytes stored, also on errors.
VisaStatus Visa_Read(VisaSession session, void* buffer, uint32_t count, uint32_t* retCount);

// Device clear: VXI-11 device_clear, usbtmc clear, GPIB selected device
// clear. On sockets the connection is closed and opened again and everything
// not yet read is dropped. A pending asynchronous read is aborted.
VisaStatus Visa_Clear(VisaSession session);

// With VISA_GPIB_REN_DEASSERT_GTL: go-to-local (VXI-11 device_local, usbtmc
// go-to-local, GPIB GTL). Sockets return VISA_ERR_NSUP_OPER.
VisaStatus Visa_GpibControlREN(VisaSession session, uint16_t mode);

// ---- asynchronous reads ------------------------------------------------------
// Event queueing must be enabled before Visa_WaitOnEvent can deliver
// completions; enabling twice is harmless. context must be 0.
VisaStatus Visa_EnableEvent(VisaSession session, uint32_t eventType, uint16_t mechanism,
                            uint32_t context);
VisaStatus Visa_DisableEvent(VisaSession session, uint32_t eventType, uint16_t mechanism);

// Starts a read of at most count bytes into buffer (which must stay valid
// until the read completes or is terminated). One read may be pending per
// session. The transfer itself runs while Visa_WaitOnEvent waits, on the
// caller's thread.
VisaStatus Visa_ReadAsync(VisaSession session, void* buffer, uint32_t count, uint32_t* jobId);

// Waits up to timeoutMs for the pending read to complete (the session's own
// time-out still bounds the transfer). On completion *eventContext receives an
// event context with VISA_ATTR_STATUS, VISA_ATTR_RET_COUNT (never more than the
// count asked) and VISA_ATTR_JOB_ID; close it with Visa_Close. Returns
// VISA_ERR_TMO when the wait ends first: the read stays pending, holding what
// arrived so far, until another wait completes it or Visa_Terminate aborts it.
// Without a pending read it returns VISA_ERR_TMO at once.
VisaStatus Visa_WaitOnEvent(VisaSession session, uint32_t eventType, uint32_t timeoutMs,
                            uint32_t* outEventType, VisaSession* eventContext);

// Aborts the pending read with that job id; the bytes it held are dropped and
// no completion event is queued.
VisaStatus Visa_Terminate(VisaSession session, uint16_t degree, uint32_t jobId);

// ---- resource search ---------------------------------------------------------
// Finds resources matching expr, where '?' matches one character, '*' any run
// of characters ("?*" any non-empty run) and the comparison ignores case.
// Searched: usbtmc devices (sysfs) and, when linux-gpib is installed, the
// listeners on each GPIB board; nothing is broadcast on networks. Returns
// VISA_ERR_RSRC_NFOUND when nothing matches. *findList (optional) receives a
// list for Visa_FindNext, *count the number found, desc the first resource.
VisaStatus Visa_FindRsrc(VisaSession rm, const char* expr, VisaSession* findList, uint32_t* count,
                         char desc[VISA_RSRC_SIZE]);
VisaStatus Visa_FindNext(VisaSession findList, char desc[VISA_RSRC_SIZE]);

// ---- status texts ------------------------------------------------------------
// Describes status; when handle is the session (or the resource manager, for a
// failed open) where that status last occurred, the detail is appended
// ("... (Connection refused)"). Always fills desc and returns VISA_SUCCESS.
VisaStatus Visa_StatusDesc(VisaSession handle, VisaStatus status, char desc[VISA_DESC_SIZE]);

// ---- waiting -----------------------------------------------------------------
// Called on the thread that installed it, about every VISA_WAIT_SLICE_MS,
// while a call on a network resource (raw socket, VXI-11) waits for the
// instrument: a reply, a write it does not take yet, a VXI-11 call's answer,
// a connection. A user interface keeps its windows painted there. The
// waits keep their time-outs. A non-zero result ends the wait: the call fails
// with VISA_ERR_ABORT, and the session should be cleared before its next
// command (part of a message may have gone or stayed). The hook must not call
// this layer. nullptr removes it. usbtmc and GPIB calls wait in their
// drivers and do not call it.
using VisaWaitHook = int (*)();
constexpr uint32_t VISA_WAIT_SLICE_MS = 25;
void Visa_SetWaitHook(VisaWaitHook hook);
VisaWaitHook Visa_GetWaitHook();

// ---- tests -------------------------------------------------------------------
// For tests on loopback: VXI-11 opens connect to this TCP port for the core
// channel instead of asking the host's portmapper. 0 restores the portmapper.
void Visa_SetVxi11CorePort(uint16_t port);
// For tests on loopback: VXI-11 opens ask the portmapper at this TCP port
// instead of 111. 0 restores 111.
void Visa_SetVxi11PortmapperPort(uint16_t port);
