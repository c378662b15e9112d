// Inside the instrument I/O layer: the VXI-11 pieces that its tests and fuzz
// harnesses reach without a network, the device_read reply decoder and a
// transport over an RPC client handle they made themselves.
#pragma once

#include <rpc/rpc.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/visa/VisaTransport.h"

// Device_ReadResp (VXI-11 B.6.4) decoded straight into the reader's buffer:
// error, reason, then the opaque data, whose stated length may be at most
// `room` (the requestSize of the call). A longer one is refused before any
// of its bytes is taken, so a reply never makes the program allocate.
struct VisaVxi11_ReadReply {
  int error = 0;
  int reason = 0;
  uint8_t* buffer = nullptr;  // room bytes
  uint32_t room = 0;
  uint32_t length = 0;        // data bytes stored
  uint32_t stated = 0;        // data length the reply gave (may exceed room)
};

// XDR routine for clnt_call (reply is a VisaVxi11_ReadReply*). FALSE when the
// reply is cut short or states more than reply->room bytes.
bool_t VisaVxi11_DecodeReadResp(XDR* xdrs, void* reply);

// A VXI-11 transport over an open client handle and link (the transport owns
// and destroys the handle). A link lost later is created again for res.
std::unique_ptr<VisaTransport> VisaVxi11_Adopt(CLIENT* client, int linkId, uint32_t maxRecvSize,
                                               const VisaResource& res);

// For the fuzz harnesses: while set, every VXI-11 open (and the link made
// again after a lost connection) takes its core channel from connector,
// which returns an RPC client handle (owned by the link) or nullptr with
// *detail; create_link then goes over that handle. nullptr: the network.
using VisaVxi11_Connector = CLIENT* (*)(const VisaResource& res, uint32_t timeoutMs, std::string* detail);
void VisaVxi11_SetConnector(VisaVxi11_Connector connector);
