// Inside the instrument I/O layer: the parsed resource string and the one
// interface every transport (socket, VXI-11, usbtmc, GPIB) implements.
// Visa.cpp owns the handles and calls these; nothing outside platform/visa
// includes this header except the layer's own tests.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/visa/Visa.h"

enum class VisaResourceKind { kNone, kSocket, kVxi11, kUsb, kGpib };

// One resource string taken apart. Unused fields keep their defaults.
struct VisaResource {
  VisaResourceKind kind = VisaResourceKind::kNone;
  int board = 0;
  std::string host;           // TCPIP: host name or address
  uint16_t port = 0;          // SOCKET: TCP port 1..65535
  std::string deviceName;     // VXI-11: "inst0" unless given
  uint16_t vendorId = 0;      // USB
  uint16_t productId = 0;     // USB
  std::string serial;         // USB: empty matches any serial
  int primaryAddress = -1;    // GPIB: 0..30
  int secondaryAddress = -1;  // GPIB: 0..30 (shown as 96..126), -1 = none
};

// Parses "TCPIP[board]::host::port::SOCKET", "TCPIP[board]::host[::name]::INSTR",
// "USB[board]::vendor::product[::serial]::INSTR" and
// "GPIB[board]::primary[::secondary]::INSTR" (keywords in any case; the
// trailing "::INSTR" may be left out). Returns false for anything else.
bool VisaResource_Parse(const char* text, VisaResource* out);

// The canonical form of a parsed resource ("TCPIP0::127.0.0.1::5025::SOCKET").
std::string VisaResource_Format(const VisaResource& res);

// Case-insensitive match of text against a search expression where '?'
// matches one character and '*' any run ("?*": any non-empty run).
bool VisaResource_Match(const char* expr, const char* text);

// A connected transport. All calls block for at most timeoutMs.
class VisaTransport {
 public:
  virtual ~VisaTransport() = default;

  virtual uint16_t InterfaceType() const = 0;

  // Sends count bytes; end = END with the last byte. *written gets what the
  // peer accepted.
  virtual VisaStatus Write(const uint8_t* data, uint32_t count, bool end, uint32_t timeoutMs,
                           uint32_t* written) = 0;

  // Reads at most count (>= 1) bytes: VISA_SUCCESS when the message ended,
  // VISA_SUCCESS_MAX_CNT when count bytes came first, or an error; *got is
  // always set.
  virtual VisaStatus Read(uint8_t* buffer, uint32_t count, uint32_t timeoutMs, uint32_t* got) = 0;

  // Device clear (sockets reconnect).
  virtual VisaStatus Clear(uint32_t timeoutMs) = 0;

  virtual VisaStatus GoToLocal(uint32_t /*timeoutMs*/) { return VISA_ERR_NSUP_OPER; }

  // Largest piece one write call sends (VXI-11 link's maxRecvSize); 0 = any.
  virtual uint32_t MaxRecvSize() const { return 0; }

  // Detail of the last failure (operating-system or peer text), or empty.
  const std::string& Detail() const { return detail_; }
  void SetDetail(std::string text) { detail_ = std::move(text); }

 private:
  std::string detail_;
};

// Transport factories. Each returns VISA_SUCCESS with *out set, or an error
// with *detail saying why.
VisaStatus VisaSocket_Open(const VisaResource& res, uint32_t timeoutMs,
                           std::unique_ptr<VisaTransport>* out, std::string* detail);
VisaStatus VisaVxi11_Open(const VisaResource& res, uint32_t timeoutMs,
                          std::unique_ptr<VisaTransport>* out, std::string* detail);
VisaStatus VisaUsbtmc_Open(const VisaResource& res, uint32_t timeoutMs,
                           std::unique_ptr<VisaTransport>* out, std::string* detail);
VisaStatus VisaGpib_Open(const VisaResource& res, uint32_t timeoutMs,
                         std::unique_ptr<VisaTransport>* out, std::string* detail);

// For the fuzz harnesses: a raw-socket transport over a connected stream
// socket fd of their own (taken over and closed by the transport); its
// device clear takes the connection reconnect returns (a descriptor, or -1)
// instead of connecting to res, when reconnect is given.
using VisaSocketReconnect = int (*)();
std::unique_ptr<VisaTransport> VisaSocket_Adopt(int fd, const VisaResource& res,
                                                VisaSocketReconnect reconnect = nullptr);

// For the fuzz harnesses: while set, Visa_Open hands every resource it parses
// to this factory instead of the transport its form names (nullptr: the real
// transports again).
using VisaTransportFactory = VisaStatus (*)(const VisaResource& res, std::unique_ptr<VisaTransport>* out,
                                            std::string* detail);
void VisaTransport_SetFactory(VisaTransportFactory factory);

// Resource search helpers: append the resource strings found.
void VisaUsbtmc_List(std::vector<std::string>* found);
void VisaGpib_List(std::vector<std::string>* found);
// True when libgpib.so.0 could be loaded.
bool VisaGpib_Available();

// The VXI-11 core-channel port set for tests (0 = ask the portmapper).
uint16_t VisaVxi11_CorePortOverride();
