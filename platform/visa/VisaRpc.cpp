// ONC RPC over TCP with one deadline per call (see VisaRpc.h).
//
// The messages go through libtirpc's record stream (xdrrec) and its XDR
// routines for the call and reply headers; only the socket reads and writes
// are ours, each waiting no longer than what is left of the call's time.
#include "platform/visa/VisaRpc.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <new>
#include <optional>

#include "platform/visa/VisaNet.h"

namespace {

// Record fragments of up to 64 KiB each way, as libtirpc's TCP client uses.
constexpr u_int kFragmentBytes = 64 * 1024;

struct RpcTcp {
  CLIENT client{};  // first: a CLIENT* is an RpcTcp*
  int fd = -1;
  XDR xdrs{};
  rpcprog_t program = 0;
  rpcvers_t version = 0;
  uint32_t xid = 0;
  std::optional<timeval> timeout;  // CLSET_TIMEOUT; else each call's own
  rpc_err error{};
  // The call under way: its deadline and what went wrong on the socket.
  std::optional<VisaNet_Deadline> deadline;
  clnt_stat io = RPC_SUCCESS;
  int ioErrno = 0;
  bool received = false;  // bytes of any record came in during the call
  bool broken = false;    // the stream is out of step for good
};

RpcTcp* Of(CLIENT* c) { return reinterpret_cast<RpcTcp*>(c); }

uint32_t Milliseconds(const timeval& tv) {
  if (tv.tv_sec < 0 || tv.tv_usec < 0) return 0;
  const uint64_t ms = static_cast<uint64_t>(tv.tv_sec) * 1000u + static_cast<uint64_t>(tv.tv_usec) / 1000u;
  return ms > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(ms);
}

// Waits for events on the socket until the call's deadline; false (status
// set) when it passed or the wait failed.
bool Wait(RpcTcp* r, short events, clnt_stat failure) {
  if (!r->deadline) {
    r->io = RPC_TIMEDOUT;
    return false;
  }
  const int n = VisaNet_Poll(r->fd, events, *r->deadline);
  if (n > 0) return true;
  if (n == 0) {
    r->io = RPC_TIMEDOUT;
  } else if (n == kVisaNetAborted) {
    r->io = RPC_INTR;  // the wait hook ended the call
  } else {
    r->io = failure;
    r->ioErrno = errno;
  }
  return false;
}

// xdrrec's input: at least one byte, or -1 (never 0: the record stream
// would ask again at once).
int ReadSome(void* handle, void* buffer, int length) {
  auto* r = static_cast<RpcTcp*>(handle);
  if (length <= 0) return 0;
  for (;;) {
    if (!Wait(r, POLLIN, RPC_CANTRECV)) return -1;
    const ssize_t n = ::recv(r->fd, buffer, static_cast<size_t>(length), 0);
    if (n > 0) {
      r->received = true;
      return static_cast<int>(n);
    }
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
    r->io = RPC_CANTRECV;
    r->ioErrno = n == 0 ? ECONNRESET : errno;
    return -1;
  }
}

// xdrrec's output: all of it, or -1.
int WriteAll(void* handle, void* buffer, int length) {
  auto* r = static_cast<RpcTcp*>(handle);
  const auto* data = static_cast<const char*>(buffer);
  int sent = 0;
  while (sent < length) {
    if (!Wait(r, POLLOUT, RPC_CANTSEND)) {
      if (r->io == RPC_TIMEDOUT) r->io = RPC_CANTSEND;  // half a request is as good as none
      return -1;
    }
    const ssize_t n = ::send(r->fd, data + sent, static_cast<size_t>(length - sent), MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<int>(n);
      continue;
    }
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
    r->io = RPC_CANTSEND;
    r->ioErrno = errno;
    return -1;
  }
  return length;
}

// The call's outcome; a failure part-way through a record breaks the stream.
clnt_stat Finish(RpcTcp* r, clnt_stat status, bool midRecord) {
  if (status != RPC_SUCCESS && midRecord) r->broken = true;
  r->deadline.reset();
  r->error = rpc_err{};
  r->error.re_status = status;
  if (status == RPC_CANTRECV || status == RPC_CANTSEND) r->error.re_errno = r->ioErrno;
  return status;
}

// An XDR routine as the rpcgen routines and ours are defined, (XDR*, object*),
// rather than through the variadic xdrproc_t.
bool_t Run(xdrproc_t proc, XDR* x, void* object) {
  return reinterpret_cast<bool_t (*)(XDR*, void*)>(proc)(x, object);
}

// Results of a reply header read before its transaction id is known.
bool_t NoResults(XDR*, void*) { return TRUE; }

// The verifier that xdr_replymsg allocates for an accepted reply (in a
// denied one the same bytes hold the reason). The status is read as the
// number it came as: a damaged header leaves any value there.
void FreeVerifier(rpc_msg* reply) {
  int status = 0;
  static_assert(sizeof status == sizeof reply->rm_reply.rp_stat);
  std::memcpy(&status, &reply->rm_reply.rp_stat, sizeof status);
  if (status != MSG_ACCEPTED) return;
  opaque_auth& verf = reply->acpted_rply.ar_verf;
  if (verf.oa_base == nullptr) return;
  XDR x{};
  x.x_op = XDR_FREE;
  xdr_opaque_auth(&x, &verf);
  verf.oa_base = nullptr;
}

clnt_stat Call(CLIENT* c, rpcproc_t procedure, xdrproc_t encodeArgs, void* args, xdrproc_t decodeResults,
               void* results, timeval timeout) {
  RpcTcp* r = Of(c);
  r->io = RPC_SUCCESS;
  r->ioErrno = 0;
  r->received = false;
  if (r->broken) {
    r->ioErrno = EPIPE;
    return Finish(r, RPC_CANTRECV, false);
  }
  r->deadline.emplace(Milliseconds(r->timeout ? *r->timeout : timeout));

  // The request: one record.
  rpc_msg call{};
  call.rm_xid = ++r->xid;
  call.rm_direction = CALL;
  call.rm_call.cb_rpcvers = RPC_MSG_VERSION;
  call.rm_call.cb_prog = r->program;
  call.rm_call.cb_vers = r->version;
  call.rm_call.cb_proc = procedure;
  call.rm_call.cb_cred = _null_auth;
  call.rm_call.cb_verf = _null_auth;
  XDR* x = &r->xdrs;
  x->x_op = XDR_ENCODE;
  if (!xdr_callmsg(x, &call) || !Run(encodeArgs, x, args)) {
    // Nothing of a request that failed to encode may go out later.
    return Finish(r, r->io != RPC_SUCCESS ? r->io : RPC_CANTENCODEARGS, true);
  }
  if (!xdrrec_endofrecord(x, TRUE)) return Finish(r, r->io != RPC_SUCCESS ? r->io : RPC_CANTSEND, true);

  // Replies until the one to this call: the rest of the record before, and
  // whole replies to other calls, are skipped.
  x->x_op = XDR_DECODE;
  for (;;) {
    if (!xdrrec_skiprecord(x)) return Finish(r, r->io != RPC_SUCCESS ? r->io : RPC_CANTRECV, r->received);
    rpc_msg reply{};
    reply.acpted_rply.ar_verf = _null_auth;
    reply.acpted_rply.ar_results.where = nullptr;
    reply.acpted_rply.ar_results.proc = reinterpret_cast<xdrproc_t>(&NoResults);
    const bool_t header = xdr_replymsg(x, &reply);
    const bool ours = header && reply.rm_xid == call.rm_xid;
    if (!ours) FreeVerifier(&reply);
    if (r->io != RPC_SUCCESS) return Finish(r, r->io, true);
    if (!ours) continue;  // a damaged record or another call's reply

    rpc_err outcome{};
    _seterr_reply(&reply, &outcome);
    clnt_stat status = outcome.re_status;
    if (status == RPC_SUCCESS && !Run(decodeResults, x, results))
      status = r->io != RPC_SUCCESS ? r->io : RPC_CANTDECODERES;
    FreeVerifier(&reply);
    if (status != RPC_SUCCESS && status != RPC_CANTDECODERES && r->io == RPC_SUCCESS) {
      // Refused by the server (version, procedure, authentication): the
      // details of outcome are the caller's to read.
      Finish(r, status, false);
      r->error = outcome;
      return status;
    }
    return Finish(r, status, r->io != RPC_SUCCESS);
  }
}

void Abort(CLIENT*) {}

void GetError(CLIENT* c, rpc_err* error) { *error = Of(c)->error; }

bool_t FreeResults(CLIENT*, xdrproc_t proc, void* results) {
  XDR x{};
  x.x_op = XDR_FREE;
  return Run(proc, &x, results);
}

void Destroy(CLIENT* c) {
  RpcTcp* r = Of(c);
  XDR_DESTROY(&r->xdrs);
  if (r->fd >= 0) ::close(r->fd);
  delete r;
}

bool_t Control(CLIENT* c, u_int request, void* info) {
  RpcTcp* r = Of(c);
  switch (request) {
    case CLSET_FD_CLOSE: return TRUE;  // the handle owns its socket in any case
    case CLSET_TIMEOUT:
      if (info == nullptr) return FALSE;
      r->timeout = *static_cast<const timeval*>(info);
      return TRUE;
    case CLGET_TIMEOUT:
      if (info == nullptr || !r->timeout) return FALSE;
      *static_cast<timeval*>(info) = *r->timeout;
      return TRUE;
    case CLGET_FD:
      if (info == nullptr) return FALSE;
      *static_cast<int*>(info) = r->fd;
      return TRUE;
    case CLGET_XID:
      if (info == nullptr) return FALSE;
      *static_cast<uint32_t*>(info) = r->xid;
      return TRUE;
    case CLSET_XID:  // the transaction id of the next call
      if (info == nullptr) return FALSE;
      r->xid = *static_cast<const uint32_t*>(info) - 1u;
      return TRUE;
    default: return FALSE;
  }
}

CLIENT::clnt_ops g_ops = {&Call, &Abort, &GetError, &FreeResults, &Destroy, &Control};

}  // namespace

CLIENT* VisaRpc_CreateTcp(int fd, rpcprog_t program, rpcvers_t version) {
  if (fd < 0) return nullptr;
  auto* r = new (std::nothrow) RpcTcp;
  if (r == nullptr) {
    ::close(fd);
    return nullptr;
  }
  VisaNet_SetBlocking(fd, false);
  r->client.cl_ops = &g_ops;
  r->client.cl_auth = nullptr;  // AUTH_NONE is written into every call
  r->fd = fd;
  r->program = program;
  r->version = version;
  // Transaction ids start somewhere else for every handle, so that a late
  // reply on a reused port is not taken for another handle's.
  r->xid = static_cast<uint32_t>(::getpid()) ^
           static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  xdrrec_create(&r->xdrs, kFragmentBytes, kFragmentBytes, r, &ReadSome, &WriteAll);
  return &r->client;
}
