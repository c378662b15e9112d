// The handle table and the transport-independent part of the I/O layer:
// resource managers, sessions, attributes, reads and writes, asynchronous
// reads with completion events, resource search and status texts.
#include "platform/visa/Visa.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/BoundedText.h"
#include "platform/visa/VisaTransport.h"

namespace {

enum class Kind { kRm, kSession, kFindList, kEvent };

// An asynchronous read that Visa_WaitOnEvent carries out.
struct PendingRead {
  bool active = false;
  uint8_t* buffer = nullptr;
  uint32_t count = 0;
  uint32_t done = 0;
  uint32_t jobId = 0;
};

struct Object {
  Kind kind = Kind::kRm;
  VisaSession owner = VISA_NULL;  // sessions and find lists: their resource manager
  // Last failure seen on this handle, for Visa_StatusDesc.
  VisaStatus lastStatus = VISA_SUCCESS;
  std::string lastDetail;
  // Sessions.
  std::unique_ptr<VisaTransport> transport;
  uint32_t timeoutMs = 2000;
  bool sendEnd = true;
  uint64_t wrMode = VISA_FLUSH_WHEN_FULL;
  uint64_t rdMode = VISA_FLUSH_WHEN_FULL;
  uint32_t wrBufSize = 4096;
  uint32_t rdBufSize = 4096;
  bool eventQueueing = false;
  PendingRead pending;
  uint32_t nextJobId = 1;
  // Find lists.
  std::vector<std::string> found;
  std::size_t nextFound = 0;
  // Event contexts.
  VisaStatus eventStatus = VISA_SUCCESS;
  uint32_t retCount = 0;
  uint32_t eventJobId = 0;
};

std::mutex g_mutex;
std::map<VisaSession, std::unique_ptr<Object>> g_objects;
std::atomic<VisaTransportFactory> g_factory{nullptr};
VisaSession g_nextHandle = 1;

VisaSession AddObject(std::unique_ptr<Object> obj) {
  std::lock_guard<std::mutex> lock(g_mutex);
  // Handles count up and wrap before INT32_MAX; a handle in use is skipped.
  for (;;) {
    VisaSession h = g_nextHandle;
    g_nextHandle = g_nextHandle >= 0x3FFFFFFF ? 1 : g_nextHandle + 1;
    if (g_objects.find(h) == g_objects.end()) {
      g_objects.emplace(h, std::move(obj));
      return h;
    }
  }
}

Object* Find(VisaSession h, Kind kind) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto it = g_objects.find(h);
  if (it == g_objects.end() || it->second->kind != kind) return nullptr;
  return it->second.get();
}

// Records the outcome of a transport call on the session and passes it on.
VisaStatus Note(Object* s, VisaStatus status) {
  if (status < 0) {
    s->lastStatus = status;
    s->lastDetail = s->transport ? s->transport->Detail() : std::string();
  }
  return status;
}

void AbortPending(Object* s) { s->pending = PendingRead(); }

const char* BaseDescription(VisaStatus status) {
  switch (status) {
    case VISA_SUCCESS: return "Operation completed successfully.";
    case VISA_SUCCESS_MAX_CNT: return "The number of bytes transferred is equal to the requested input count.";
    case VISA_ERR_SYSTEM: return "Unknown system error.";
    case VISA_ERR_INV_OBJECT: return "The given session or object reference is invalid.";
    case VISA_ERR_INV_RSRC_NAME: return "Invalid resource reference specified. Parsing error.";
    case VISA_ERR_RSRC_NFOUND: return "Insufficient location information or the requested device or resource is not present in the system.";
    case VISA_ERR_TMO: return "Timeout expired before operation completed.";
    case VISA_ERR_IO: return "Could not perform operation because of I/O error.";
    case VISA_ERR_CONN_LOST: return "The connection for the given session has been lost.";
    case VISA_ERR_NSUP_ATTR: return "The specified attribute is not defined or supported by the referenced object.";
    case VISA_ERR_NSUP_ATTR_STATE: return "The specified state of the attribute is not valid, or is not supported as defined by the object.";
    case VISA_ERR_NSUP_OPER: return "The given session or object reference does not support this operation.";
    case VISA_ERR_INV_PARAMETER: return "The value of some parameter is invalid.";
    case VISA_ERR_ALLOC: return "Insufficient system resources to perform necessary memory allocation.";
    case VISA_ERR_ABORT: return "User abort occurred during transfer.";
    case VISA_ERR_IN_PROGRESS: return "Unable to queue the asynchronous operation because there is already an operation in progress.";
    case VISA_ERR_NOT_ENABLED: return "The session must be enabled for events of the specified type in order to receive them.";
    case VISA_ERR_GPIB_MISSING: return "GPIB support (linux-gpib) is not installed";
    case VISA_ERR_RPC: return "The VXI-11 remote procedure call failed.";
    case VISA_ERR_DEVICE: return "The instrument's VXI-11 server reported an error.";
    case VISA_ERR_INV_SETUP: return "Unable to start operation because setup is invalid (device node not usable).";
    case VISA_ERR_RSRC_LOCKED: return "Another client holds the instrument's lock.";
    default: break;
  }
  return status < 0 ? "Unknown error." : "Operation completed with a completion code.";
}

// Writes through the transport in pieces of at most its MaxRecvSize, END only
// with the last piece when asked.
VisaStatus WriteAll(Object* s, const uint8_t* data, uint32_t count, bool end, uint32_t* retCount) {
  uint32_t total = 0;
  const uint32_t piece = s->transport->MaxRecvSize();
  VisaStatus st = VISA_SUCCESS;
  do {
    uint32_t n = count - total;
    if (piece > 0 && n > piece) n = piece;
    const bool last = total + n == count;
    uint32_t written = 0;
    st = s->transport->Write(data + total, n, end && last, s->timeoutMs, &written);
    total += std::min(written, n);
    if (st < 0) break;
    if (written < n) {
      st = VISA_ERR_IO;
      s->transport->SetDetail("short write");
      break;
    }
  } while (total < count);
  if (retCount) *retCount = total;
  return Note(s, st);
}

}  // namespace

void VisaTransport_SetFactory(VisaTransportFactory factory) { g_factory = factory; }

VisaStatus Visa_OpenDefaultRM(VisaSession* rm) {
  if (!rm) return VISA_ERR_INV_PARAMETER;
  // A peer that closes its end must show up as a failed write, never as a
  // SIGPIPE that ends the program: the RPC library writes to its socket with
  // plain write(), which MSG_NOSIGNAL cannot reach.
  static const bool sigpipeIgnored = [] {
    std::signal(SIGPIPE, SIG_IGN);
    return true;
  }();
  (void)sigpipeIgnored;
  auto obj = std::make_unique<Object>();
  obj->kind = Kind::kRm;
  *rm = AddObject(std::move(obj));
  return VISA_SUCCESS;
}

VisaStatus Visa_Open(VisaSession rm, const char* resource, uint32_t accessMode, uint32_t openTimeoutMs,
                     VisaSession* session) {
  if (session) *session = VISA_NULL;
  Object* r = Find(rm, Kind::kRm);
  if (!r) return VISA_ERR_INV_OBJECT;
  if (!session || !resource || accessMode != 0) return VISA_ERR_INV_PARAMETER;
  VisaResource res;
  if (!VisaResource_Parse(resource, &res)) {
    r->lastStatus = VISA_ERR_INV_RSRC_NAME;
    r->lastDetail = resource;
    return VISA_ERR_INV_RSRC_NAME;
  }
  const uint32_t tmo = openTimeoutMs ? openTimeoutMs : 5000;
  std::unique_ptr<VisaTransport> transport;
  std::string detail;
  VisaStatus st = VISA_ERR_INV_RSRC_NAME;
  const VisaTransportFactory factory = g_factory;
  switch (factory ? VisaResourceKind::kNone : res.kind) {
    case VisaResourceKind::kSocket: st = VisaSocket_Open(res, tmo, &transport, &detail); break;
    case VisaResourceKind::kVxi11: st = VisaVxi11_Open(res, tmo, &transport, &detail); break;
    case VisaResourceKind::kUsb: st = VisaUsbtmc_Open(res, tmo, &transport, &detail); break;
    case VisaResourceKind::kGpib: st = VisaGpib_Open(res, tmo, &transport, &detail); break;
    case VisaResourceKind::kNone:
      if (factory) st = factory(res, &transport, &detail);
      break;
  }
  if (st < 0 || !transport) {
    r->lastStatus = st < 0 ? st : VISA_ERR_SYSTEM;
    r->lastDetail = detail;
    return r->lastStatus;
  }
  auto obj = std::make_unique<Object>();
  obj->kind = Kind::kSession;
  obj->owner = rm;
  obj->transport = std::move(transport);
  *session = AddObject(std::move(obj));
  return VISA_SUCCESS;
}

VisaStatus Visa_Close(VisaSession handle) {
  std::vector<std::unique_ptr<Object>> doomed;  // destroyed outside the lock
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_objects.find(handle);
    if (it == g_objects.end()) return VISA_ERR_INV_OBJECT;
    if (it->second->kind == Kind::kRm) {
      for (auto c = g_objects.begin(); c != g_objects.end();) {
        if (c->second->owner == handle && c->first != handle) {
          doomed.push_back(std::move(c->second));
          c = g_objects.erase(c);
        } else {
          ++c;
        }
      }
      it = g_objects.find(handle);
    }
    doomed.push_back(std::move(it->second));
    g_objects.erase(it);
  }
  return VISA_SUCCESS;
}

VisaStatus Visa_SetAttribute(VisaSession handle, uint32_t attribute, uint64_t value) {
  Object* s = Find(handle, Kind::kSession);
  if (!s) return Find(handle, Kind::kEvent) || Find(handle, Kind::kRm) ? VISA_ERR_NSUP_ATTR : VISA_ERR_INV_OBJECT;
  switch (attribute) {
    case VISA_ATTR_TMO_VALUE:
      if (value > 0xFFFFFFFEull) return VISA_ERR_NSUP_ATTR_STATE;
      s->timeoutMs = static_cast<uint32_t>(value);
      return VISA_SUCCESS;
    case VISA_ATTR_SEND_END_EN:
      if (value > 1) return VISA_ERR_NSUP_ATTR_STATE;
      s->sendEnd = value == 1;
      return VISA_SUCCESS;
    case VISA_ATTR_WR_BUF_OPER_MODE:
    case VISA_ATTR_RD_BUF_OPER_MODE:
      if (value != VISA_FLUSH_ON_ACCESS && value != VISA_FLUSH_WHEN_FULL) return VISA_ERR_NSUP_ATTR_STATE;
      (attribute == VISA_ATTR_WR_BUF_OPER_MODE ? s->wrMode : s->rdMode) = value;
      return VISA_SUCCESS;
    default:
      return VISA_ERR_NSUP_ATTR;
  }
}

VisaStatus Visa_GetAttribute(VisaSession handle, uint32_t attribute, uint64_t* value) {
  if (!value) return VISA_ERR_INV_PARAMETER;
  if (Object* e = Find(handle, Kind::kEvent)) {
    switch (attribute) {
      case VISA_ATTR_EVENT_TYPE: *value = VISA_EVENT_IO_COMPLETION; return VISA_SUCCESS;
      case VISA_ATTR_STATUS: *value = static_cast<uint32_t>(e->eventStatus); return VISA_SUCCESS;
      case VISA_ATTR_RET_COUNT: *value = e->retCount; return VISA_SUCCESS;
      case VISA_ATTR_JOB_ID: *value = e->eventJobId; return VISA_SUCCESS;
      default: return VISA_ERR_NSUP_ATTR;
    }
  }
  Object* s = Find(handle, Kind::kSession);
  if (!s) return Find(handle, Kind::kRm) ? VISA_ERR_NSUP_ATTR : VISA_ERR_INV_OBJECT;
  switch (attribute) {
    case VISA_ATTR_TMO_VALUE: *value = s->timeoutMs; return VISA_SUCCESS;
    case VISA_ATTR_SEND_END_EN: *value = s->sendEnd ? 1 : 0; return VISA_SUCCESS;
    case VISA_ATTR_INTF_TYPE: *value = s->transport->InterfaceType(); return VISA_SUCCESS;
    case VISA_ATTR_WR_BUF_OPER_MODE: *value = s->wrMode; return VISA_SUCCESS;
    case VISA_ATTR_RD_BUF_OPER_MODE: *value = s->rdMode; return VISA_SUCCESS;
    case VISA_ATTR_WR_BUF_SIZE: *value = s->wrBufSize; return VISA_SUCCESS;
    case VISA_ATTR_RD_BUF_SIZE: *value = s->rdBufSize; return VISA_SUCCESS;
    case VISA_ATTR_MAX_RECV_SIZE: *value = s->transport->MaxRecvSize(); return VISA_SUCCESS;
    default: return VISA_ERR_NSUP_ATTR;
  }
}

VisaStatus Visa_SetBuf(VisaSession session, uint16_t mask, uint32_t size) {
  Object* s = Find(session, Kind::kSession);
  if (!s) return VISA_ERR_INV_OBJECT;
  if (mask == 0 || (mask & ~(VISA_READ_BUF | VISA_WRITE_BUF)) || size == 0 || size > (1u << 20))
    return VISA_ERR_INV_PARAMETER;
  if (mask & VISA_READ_BUF) s->rdBufSize = size;
  if (mask & VISA_WRITE_BUF) s->wrBufSize = size;
  return VISA_SUCCESS;
}

VisaStatus Visa_Write(VisaSession session, const void* data, uint32_t count, uint32_t* retCount) {
  if (retCount) *retCount = 0;
  Object* s = Find(session, Kind::kSession);
  if (!s) return VISA_ERR_INV_OBJECT;
  if (!data && count > 0) return VISA_ERR_INV_PARAMETER;
  return WriteAll(s, static_cast<const uint8_t*>(data), count, s->sendEnd, retCount);
}

VisaStatus Visa_WriteText(VisaSession session, const char* text) {
  if (!text) return VISA_ERR_INV_PARAMETER;
  const std::size_t n = std::strlen(text);
  if (n > 0xFFFFFFFFu) return VISA_ERR_INV_PARAMETER;
  return Visa_Write(session, text, static_cast<uint32_t>(n), nullptr);
}

VisaStatus Visa_Read(VisaSession session, void* buffer, uint32_t count, uint32_t* retCount) {
  if (retCount) *retCount = 0;
  Object* s = Find(session, Kind::kSession);
  if (!s) return VISA_ERR_INV_OBJECT;
  if (!buffer || count == 0) return VISA_ERR_INV_PARAMETER;
  uint32_t got = 0;
  VisaStatus st = s->transport->Read(static_cast<uint8_t*>(buffer), count, s->timeoutMs, &got);
  if (retCount) *retCount = std::min(got, count);
  return Note(s, st);
}

VisaStatus Visa_Clear(VisaSession session) {
  Object* s = Find(session, Kind::kSession);
  if (!s) return VISA_ERR_INV_OBJECT;
  AbortPending(s);
  return Note(s, s->transport->Clear(s->timeoutMs));
}

VisaStatus Visa_GpibControlREN(VisaSession session, uint16_t mode) {
  Object* s = Find(session, Kind::kSession);
  if (!s) return VISA_ERR_INV_OBJECT;
  if (mode != VISA_GPIB_REN_DEASSERT_GTL) return VISA_ERR_INV_PARAMETER;
  return Note(s, s->transport->GoToLocal(s->timeoutMs));
}

VisaStatus Visa_EnableEvent(VisaSession session, uint32_t eventType, uint16_t mechanism, uint32_t context) {
  Object* s = Find(session, Kind::kSession);
  if (!s) return VISA_ERR_INV_OBJECT;
  if (eventType != VISA_EVENT_IO_COMPLETION || mechanism != VISA_QUEUE || context != 0)
    return VISA_ERR_INV_PARAMETER;
  s->eventQueueing = true;
  return VISA_SUCCESS;
}

VisaStatus Visa_DisableEvent(VisaSession session, uint32_t eventType, uint16_t mechanism) {
  Object* s = Find(session, Kind::kSession);
  if (!s) return VISA_ERR_INV_OBJECT;
  if (eventType != VISA_EVENT_IO_COMPLETION || mechanism != VISA_QUEUE) return VISA_ERR_INV_PARAMETER;
  s->eventQueueing = false;
  return VISA_SUCCESS;
}

VisaStatus Visa_ReadAsync(VisaSession session, void* buffer, uint32_t count, uint32_t* jobId) {
  Object* s = Find(session, Kind::kSession);
  if (!s) return VISA_ERR_INV_OBJECT;
  if (!buffer || count == 0) return VISA_ERR_INV_PARAMETER;
  if (s->pending.active) return VISA_ERR_IN_PROGRESS;
  s->pending.active = true;
  s->pending.buffer = static_cast<uint8_t*>(buffer);
  s->pending.count = count;
  s->pending.done = 0;
  s->pending.jobId = s->nextJobId++;
  if (s->nextJobId == 0) s->nextJobId = 1;
  if (jobId) *jobId = s->pending.jobId;
  return VISA_SUCCESS;
}

VisaStatus Visa_WaitOnEvent(VisaSession session, uint32_t eventType, uint32_t timeoutMs,
                            uint32_t* outEventType, VisaSession* eventContext) {
  if (eventContext) *eventContext = VISA_NULL;
  Object* s = Find(session, Kind::kSession);
  if (!s) return VISA_ERR_INV_OBJECT;
  if (eventType != VISA_EVENT_IO_COMPLETION) return VISA_ERR_INV_PARAMETER;
  if (!s->eventQueueing) return VISA_ERR_NOT_ENABLED;
  PendingRead& p = s->pending;
  if (!p.active) return VISA_ERR_TMO;
  // The transfer runs now, bounded by the shorter of the two time-outs. When
  // only the wait ran out, the read stays pending with what it holds.
  const bool waitShorter = timeoutMs < s->timeoutMs;
  uint32_t got = 0;
  VisaStatus st = s->transport->Read(p.buffer + p.done, p.count - p.done,
                                     waitShorter ? timeoutMs : s->timeoutMs, &got);
  p.done += std::min(got, p.count - p.done);
  Note(s, st);
  if (st == VISA_ERR_TMO && waitShorter) return VISA_ERR_TMO;
  auto ev = std::make_unique<Object>();
  ev->kind = Kind::kEvent;
  ev->owner = s->owner;
  ev->eventStatus = st;
  ev->retCount = p.done;
  ev->eventJobId = p.jobId;
  AbortPending(s);
  VisaSession h = AddObject(std::move(ev));
  if (outEventType) *outEventType = VISA_EVENT_IO_COMPLETION;
  if (eventContext) {
    *eventContext = h;
  } else {
    Visa_Close(h);
  }
  return VISA_SUCCESS;
}

VisaStatus Visa_Terminate(VisaSession session, uint16_t degree, uint32_t jobId) {
  Object* s = Find(session, Kind::kSession);
  if (!s) return VISA_ERR_INV_OBJECT;
  if (degree != VISA_NORMAL || !s->pending.active || s->pending.jobId != jobId) return VISA_ERR_INV_PARAMETER;
  AbortPending(s);
  return VISA_SUCCESS;
}

VisaStatus Visa_FindRsrc(VisaSession rm, const char* expr, VisaSession* findList, uint32_t* count,
                         char desc[VISA_RSRC_SIZE]) {
  if (findList) *findList = VISA_NULL;
  if (count) *count = 0;
  Object* r = Find(rm, Kind::kRm);
  if (!r) return VISA_ERR_INV_OBJECT;
  if (!expr) return VISA_ERR_INV_PARAMETER;
  std::vector<std::string> all;
  VisaUsbtmc_List(&all);
  VisaGpib_List(&all);
  auto list = std::make_unique<Object>();
  list->kind = Kind::kFindList;
  list->owner = rm;
  for (const std::string& name : all)
    if (VisaResource_Match(expr, name.c_str())) list->found.push_back(name);
  if (list->found.empty()) {
    r->lastStatus = VISA_ERR_RSRC_NFOUND;
    r->lastDetail.clear();
    return VISA_ERR_RSRC_NFOUND;
  }
  if (count) *count = static_cast<uint32_t>(list->found.size());
  if (desc) cz::CopyText(desc, VISA_RSRC_SIZE, list->found[0]);
  list->nextFound = 1;
  VisaSession h = AddObject(std::move(list));
  if (findList) {
    *findList = h;
  } else {
    Visa_Close(h);
  }
  return VISA_SUCCESS;
}

VisaStatus Visa_FindNext(VisaSession findList, char desc[VISA_RSRC_SIZE]) {
  Object* l = Find(findList, Kind::kFindList);
  if (!l) return VISA_ERR_INV_OBJECT;
  if (l->nextFound >= l->found.size()) return VISA_ERR_RSRC_NFOUND;
  if (desc) cz::CopyText(desc, VISA_RSRC_SIZE, l->found[l->nextFound]);
  ++l->nextFound;
  return VISA_SUCCESS;
}

VisaStatus Visa_StatusDesc(VisaSession handle, VisaStatus status, char desc[VISA_DESC_SIZE]) {
  if (!desc) return VISA_ERR_INV_PARAMETER;
  std::string text = BaseDescription(status);
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_objects.find(handle);
    if (it != g_objects.end() && status < 0 && it->second->lastStatus == status &&
        !it->second->lastDetail.empty()) {
      if (!text.empty() && text.back() == '.') text.pop_back();
      text += " (" + it->second->lastDetail + ").";
    }
  }
  cz::CopyText(desc, VISA_DESC_SIZE, text);
  return VISA_SUCCESS;
}
