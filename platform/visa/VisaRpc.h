// ONC RPC calls over a connected TCP socket (RFC 5531, record marking of
// section 11) in which each call is bounded as a whole by its time-out: the
// send, the skip of what is left of an earlier reply, replies to other calls
// (another transaction id) and its own reply together. A server that trickles
// its reply, never ends a record or keeps answering with other transaction
// ids cannot hold a call past it. (libtirpc's TCP client bounds each single
// read only, and blocks every signal for the whole call.)
//
// The handle is an ordinary CLIENT for clnt_call and the client routines
// that rpcgen makes; clnt_control takes CLSET_TIMEOUT (which then replaces
// the routines' fixed time-out), CLGET_TIMEOUT, CLGET_FD, CLGET_XID and
// CLSET_XID (the transaction id of the next call).
#pragma once

#include <rpc/rpc.h>

// A client of program/version over fd, a connected stream socket that the
// handle owns from here on (clnt_destroy closes it; on failure it is closed
// at once). Null when no handle could be made.
//
// A call that fails in the middle of a record (a reply cut short by its
// time-out or by the connection, a request not sent whole) leaves the stream
// out of step: that call reports its failure, and every later call on the
// handle fails with RPC_CANTRECV at once, so the caller makes a new one.
CLIENT* VisaRpc_CreateTcp(int fd, rpcprog_t program, rpcvers_t version);
