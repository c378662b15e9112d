// Raw socket transport: END on writes, reply ends, definite-length blocks with
// line feeds inside, time-outs, asynchronous reads and device clear.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "platform/visa/Visa.h"
#include "tools/cadenza-sim/SimInstrument.h"
#include "tools/cadenza-sim/SimServer.h"

namespace {

using cz::sim::SimConfig;
using cz::sim::SimInstrument;
using cz::sim::SimServer;
using cz::sim::SimServerOptions;

// A loopback listener that records every byte a client sends, to see exactly
// what goes on the wire.
class CaptureServer {
 public:
  CaptureServer() {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(fd_, 1);
    socklen_t len = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
  }
  ~CaptureServer() {
    if (peer_ >= 0) ::close(peer_);
    ::close(fd_);
  }
  uint16_t port() const { return port_; }
  // Everything received within ms after the last byte.
  std::string Take(int ms = 150) {
    if (peer_ < 0) peer_ = ::accept(fd_, nullptr, nullptr);
    std::string got;
    for (;;) {
      pollfd p{peer_, POLLIN, 0};
      if (::poll(&p, 1, ms) <= 0) return got;
      char buf[4096];
      ssize_t n = ::recv(peer_, buf, sizeof buf, 0);
      if (n <= 0) return got;
      got.append(buf, static_cast<std::size_t>(n));
    }
  }
  void Send(const std::string& bytes) { ::send(peer_, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
  // Closes the connection with a reset, as a peer does that closes with
  // unread input.
  void Reset() {
    linger l{1, 0};
    ::setsockopt(peer_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    ::close(peer_);
    peer_ = -1;
  }

 private:
  int fd_ = -1;
  int peer_ = -1;
  uint16_t port_ = 0;
};

std::string SocketResource(uint16_t port) { return "TCPIP0::127.0.0.1::" + std::to_string(port) + "::SOCKET"; }

class SocketFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Visa_OpenDefaultRM(&rm_), VISA_SUCCESS);
  }
  void TearDown() override { Visa_Close(rm_); }

  VisaSession Open(uint16_t port) {
    VisaSession s = VISA_NULL;
    EXPECT_EQ(Visa_Open(rm_, SocketResource(port).c_str(), 0, 2000, &s), VISA_SUCCESS);
    return s;
  }

  VisaSession rm_ = VISA_NULL;
};

TEST_F(SocketFixture, EndOnWriteIsOneTrailingLineFeed) {
  CaptureServer cap;
  VisaSession s = Open(cap.port());
  ASSERT_EQ(Visa_WriteText(s, "*IDN?"), VISA_SUCCESS);
  EXPECT_EQ(cap.Take(), "*IDN?\n");
  ASSERT_EQ(Visa_WriteText(s, "*RST\n"), VISA_SUCCESS);
  EXPECT_EQ(cap.Take(), "*RST\n") << "a line feed already there is not doubled";

  // Without END the bytes go out unchanged, '%' included.
  ASSERT_EQ(Visa_SetAttribute(s, VISA_ATTR_SEND_END_EN, 0), VISA_SUCCESS);
  uint32_t n = 0;
  ASSERT_EQ(Visa_Write(s, ":MMEM:DATA '50%duty.wv',#13", 27, &n), VISA_SUCCESS);
  EXPECT_EQ(n, 27u);
  ASSERT_EQ(Visa_SetAttribute(s, VISA_ATTR_SEND_END_EN, 1), VISA_SUCCESS);
  ASSERT_EQ(Visa_Write(s, "a\nb", 3, &n), VISA_SUCCESS);
  EXPECT_EQ(cap.Take(), ":MMEM:DATA '50%duty.wv',#13a\nb\n");

  // A line feed that is a block's last data byte is data: END still adds
  // the terminator, after a block sent in pieces and after a list block
  // that follows its header's blank.
  ASSERT_EQ(Visa_SetAttribute(s, VISA_ATTR_SEND_END_EN, 0), VISA_SUCCESS);
  ASSERT_EQ(Visa_Write(s, ":MMEM:DATA 'a,#1.wv',#12a", 25, &n), VISA_SUCCESS);
  ASSERT_EQ(Visa_SetAttribute(s, VISA_ATTR_SEND_END_EN, 1), VISA_SUCCESS);
  ASSERT_EQ(Visa_Write(s, "\n", 1, &n), VISA_SUCCESS);
  EXPECT_EQ(cap.Take(), ":MMEM:DATA 'a,#1.wv',#12a\n\n");
  ASSERT_EQ(Visa_WriteText(s, "SOUR1:LIST:FREQ #13ab\n"), VISA_SUCCESS);
  EXPECT_EQ(cap.Take(), "SOUR1:LIST:FREQ #13ab\n\n");
  ASSERT_EQ(Visa_WriteText(s, "*RST\n"), VISA_SUCCESS);
  EXPECT_EQ(cap.Take(), "*RST\n") << "the next message starts afresh";

  uint64_t type = 0;
  ASSERT_EQ(Visa_GetAttribute(s, VISA_ATTR_INTF_TYPE, &type), VISA_SUCCESS);
  EXPECT_EQ(type, VISA_INTF_TCPIP);
  EXPECT_EQ(Visa_GpibControlREN(s, VISA_GPIB_REN_DEASSERT_GTL), VISA_ERR_NSUP_OPER);
}

TEST_F(SocketFixture, ReplyEndsAtLineFeedButNotInsideBlocks) {
  CaptureServer cap;
  VisaSession s = Open(cap.port());
  ASSERT_EQ(Visa_WriteText(s, "Q?"), VISA_SUCCESS);
  cap.Take();
  // One plain reply, then a block whose data holds line feeds and '#', then
  // a reply with a quoted comma and a block as its second element.
  const std::string data = "ab\ncd#1\n\n";
  cap.Send("0,\"No error\"\n#19" + data + "\n\"x,#\",#13a\nb\n");

  char buf[64] = {0};
  uint32_t got = 0;
  EXPECT_EQ(Visa_Read(s, buf, sizeof buf, &got), VISA_SUCCESS);
  EXPECT_EQ(std::string(buf, got), "0,\"No error\"\n");

  // Read like the download does: '#', the digit count, the length, the data.
  EXPECT_EQ(Visa_Read(s, buf, 1, &got), VISA_SUCCESS_MAX_CNT);
  EXPECT_EQ(buf[0], '#');
  EXPECT_EQ(Visa_Read(s, buf, 1, &got), VISA_SUCCESS_MAX_CNT);
  EXPECT_EQ(buf[0], '1');
  EXPECT_EQ(Visa_Read(s, buf, 1, &got), VISA_SUCCESS_MAX_CNT);
  EXPECT_EQ(buf[0], '9');
  EXPECT_EQ(Visa_Read(s, buf, 9, &got), VISA_SUCCESS_MAX_CNT);
  EXPECT_EQ(std::string(buf, got), data);
  EXPECT_EQ(Visa_Read(s, buf, sizeof buf, &got), VISA_SUCCESS) << "the terminator after the block is END";
  EXPECT_EQ(std::string(buf, got), "\n");

  EXPECT_EQ(Visa_Read(s, buf, sizeof buf, &got), VISA_SUCCESS);
  EXPECT_EQ(std::string(buf, got), "\"x,#\",#13a\nb\n");
}

TEST_F(SocketFixture, SilentPeerTimesOutAndCountsWhatCame) {
  CaptureServer cap;
  VisaSession s = Open(cap.port());
  ASSERT_EQ(Visa_SetAttribute(s, VISA_ATTR_TMO_VALUE, 200), VISA_SUCCESS);
  Visa_WriteText(s, "Q?");
  cap.Take(20);
  cap.Send("par");
  char buf[16];
  uint32_t got = 99;
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(Visa_Read(s, buf, sizeof buf, &got), VISA_ERR_TMO);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
  EXPECT_EQ(got, 3u);
  EXPECT_GE(ms, 150);
  EXPECT_LT(ms, 1500);
  char desc[VISA_DESC_SIZE];
  Visa_StatusDesc(s, VISA_ERR_TMO, desc);
  EXPECT_NE(std::string(desc).find("Timeout"), std::string::npos);
}

TEST_F(SocketFixture, AsyncReadCompletesTimesOutAndAborts) {
  CaptureServer cap;
  VisaSession s = Open(cap.port());
  Visa_WriteText(s, "Q?");
  cap.Take(20);
  char buf[8] = {0};
  uint32_t job = 0;
  VisaSession ev = VISA_NULL;
  uint32_t type = 0;
  // Without queueing enabled no completion can be waited for.
  ASSERT_EQ(Visa_ReadAsync(s, buf, 4, &job), VISA_SUCCESS);
  EXPECT_EQ(Visa_WaitOnEvent(s, VISA_EVENT_IO_COMPLETION, 100, &type, &ev), VISA_ERR_NOT_ENABLED);
  ASSERT_EQ(Visa_EnableEvent(s, VISA_EVENT_IO_COMPLETION, VISA_QUEUE, 0), VISA_SUCCESS);
  EXPECT_EQ(Visa_ReadAsync(s, buf, 4, &job), VISA_ERR_IN_PROGRESS);

  cap.Send("abcdef");
  ASSERT_EQ(Visa_WaitOnEvent(s, VISA_EVENT_IO_COMPLETION, 1000, &type, &ev), VISA_SUCCESS);
  uint64_t count = 0, status = 1, id = 0;
  ASSERT_EQ(Visa_GetAttribute(ev, VISA_ATTR_RET_COUNT, &count), VISA_SUCCESS);
  Visa_GetAttribute(ev, VISA_ATTR_STATUS, &status);
  Visa_GetAttribute(ev, VISA_ATTR_JOB_ID, &id);
  EXPECT_EQ(count, 4u) << "never more than asked";
  EXPECT_EQ(static_cast<VisaStatus>(status), VISA_SUCCESS_MAX_CNT);
  EXPECT_EQ(id, job);
  EXPECT_EQ(std::string(buf, 4), "abcd");
  EXPECT_EQ(Visa_Close(ev), VISA_SUCCESS);

  // A wait shorter than the session time-out leaves the read pending; it is
  // aborted and the next read starts clean.
  ASSERT_EQ(Visa_ReadAsync(s, buf, 8, &job), VISA_SUCCESS);
  EXPECT_EQ(Visa_WaitOnEvent(s, VISA_EVENT_IO_COMPLETION, 100, &type, &ev), VISA_ERR_TMO);
  EXPECT_EQ(ev, VISA_NULL);
  EXPECT_EQ(Visa_Terminate(s, VISA_NORMAL, job + 1), VISA_ERR_INV_PARAMETER);
  EXPECT_EQ(Visa_Terminate(s, VISA_NORMAL, job), VISA_SUCCESS);
  EXPECT_EQ(Visa_WaitOnEvent(s, VISA_EVENT_IO_COMPLETION, 10, &type, &ev), VISA_ERR_TMO);
  EXPECT_EQ(Visa_ReadAsync(s, buf, 8, &job), VISA_SUCCESS);
}

// The wait hook: called while a reply is waited for (never for one already
// there), the time-out kept; a hook that says stop ends the wait with
// VISA_ERR_ABORT, the bytes that came kept.
int g_hookCalls = 0;
int g_hookStopAt = 0;  // 0: never
int CountingHook() { return ++g_hookCalls == g_hookStopAt ? 1 : 0; }

TEST_F(SocketFixture, WaitHookRunsWhileWaitingAndCanEndTheWait) {
  CaptureServer cap;
  VisaSession s = Open(cap.port());
  ASSERT_EQ(Visa_SetAttribute(s, VISA_ATTR_TMO_VALUE, 300), VISA_SUCCESS);
  Visa_WriteText(s, "Q?");
  cap.Take(20);
  Visa_SetWaitHook(&CountingHook);
  struct Row {
    const char* sent;
    int stopAt;
    VisaStatus status;
    uint32_t got;
    int minCalls, maxCalls;
    long maxMs;
  } const rows[] = {
      {"1\n", 0, VISA_SUCCESS, 2, 0, 0, 100},  // already there: no wait
      {"par", 0, VISA_ERR_TMO, 3, 6, 13, 1500},
      {"", 3, VISA_ERR_ABORT, 0, 3, 3, 200},
  };
  for (const Row& r : rows) {
    if (*r.sent) cap.Send(r.sent);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    g_hookCalls = 0;
    g_hookStopAt = r.stopAt;
    char buf[16];
    uint32_t got = 99;
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(Visa_Read(s, buf, sizeof buf, &got), r.status) << r.sent;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_EQ(got, r.got) << r.sent;
    EXPECT_GE(g_hookCalls, r.minCalls) << r.sent;
    EXPECT_LE(g_hookCalls, r.maxCalls) << r.sent;
    EXPECT_LT(ms, r.maxMs) << r.sent;
  }
  Visa_SetWaitHook(nullptr);
}

TEST_F(SocketFixture, OpenFailuresAreDescribed) {
  CaptureServer cap;
  const uint16_t port = cap.port();
  VisaSession s = 77;
  EXPECT_EQ(Visa_Open(rm_, "TCPIP0::127.0.0.1::1::SOCKET", 0, 500, &s), VISA_ERR_RSRC_NFOUND);
  EXPECT_EQ(s, VISA_NULL);
  char desc[VISA_DESC_SIZE];
  Visa_StatusDesc(rm_, VISA_ERR_RSRC_NFOUND, desc);
  EXPECT_NE(std::string(desc).find("refused"), std::string::npos) << desc;
  EXPECT_EQ(Visa_Open(rm_, "TCPIP0::127.0.0.1::0::SOCKET", 0, 500, &s), VISA_ERR_INV_RSRC_NAME);
  EXPECT_EQ(Visa_Open(rm_, SocketResource(port).c_str(), 1, 500, &s), VISA_ERR_INV_PARAMETER);
  // Closing the manager closes its sessions.
  VisaSession open = Open(port);
  VisaSession rm2 = VISA_NULL;
  Visa_OpenDefaultRM(&rm2);
  VisaSession s2 = VISA_NULL;
  ASSERT_EQ(Visa_Open(rm2, SocketResource(port).c_str(), 0, 500, &s2), VISA_SUCCESS);
  EXPECT_EQ(Visa_Close(rm2), VISA_SUCCESS);
  EXPECT_EQ(Visa_WriteText(s2, "X"), VISA_ERR_INV_OBJECT);
  EXPECT_EQ(Visa_Close(rm2), VISA_ERR_INV_OBJECT);
  EXPECT_EQ(Visa_WriteText(open, "X"), VISA_SUCCESS);
}

// A connection that the instrument resets is a lost connection, as one it
// closes in order is.
TEST_F(SocketFixture, ResetByThePeerIsALostConnection) {
  CaptureServer cap;
  VisaSession s = Open(cap.port());
  ASSERT_EQ(Visa_WriteText(s, "*IDN?"), VISA_SUCCESS);
  cap.Take();
  cap.Reset();
  char buf[64];
  uint32_t got = 0;
  EXPECT_EQ(Visa_Read(s, buf, sizeof buf, &got), VISA_ERR_CONN_LOST);
}

// Against the simulator: a query round trip, the lost connection after an
// injected drop, and device clear reconnecting so that the next command works.
TEST_F(SocketFixture, SimulatorDropAndClearReconnects) {
  SimConfig cfg;
  SimInstrument inst(cfg);
  inst.AddFault({cz::sim::SimFaultKind::kDropInBlock, "MMEM:DATA", 10, "", 1});
  SimServer server(inst);
  std::string why;
  ASSERT_TRUE(server.Start(SimServerOptions{}, &why)) << why;
  VisaSession s = Open(server.SocketPort());
  char buf[256];
  uint32_t got = 0;
  ASSERT_EQ(Visa_WriteText(s, "*IDN?"), VISA_SUCCESS);
  ASSERT_EQ(Visa_Read(s, buf, sizeof buf, &got), VISA_SUCCESS);
  EXPECT_EQ(std::string(buf, got), "Torvane,Kaldra,102030,4.20.1.5\n");

  const std::string block = ":MMEM:DATA 'D:\\a.bin',#220" + std::string(20, 'x');
  Visa_Write(s, block.data(), static_cast<uint32_t>(block.size()), nullptr);
  Visa_WriteText(s, "*OPC?");
  EXPECT_EQ(Visa_Read(s, buf, sizeof buf, &got), VISA_ERR_CONN_LOST);

  ASSERT_EQ(Visa_Clear(s), VISA_SUCCESS);
  ASSERT_EQ(Visa_Write(s, block.data(), static_cast<uint32_t>(block.size()), nullptr), VISA_SUCCESS);
  ASSERT_EQ(Visa_WriteText(s, "*OPC?"), VISA_SUCCESS);
  ASSERT_EQ(Visa_Read(s, buf, sizeof buf, &got), VISA_SUCCESS);
  EXPECT_EQ(std::string(buf, got), "1\n");
  std::string file;
  ASSERT_TRUE(inst.FileData("D:\\a.bin", &file));
  EXPECT_EQ(file, std::string(20, 'x'));
  int connects = 0;
  for (const std::string& l : inst.Journal()) connects += l.rfind("CONNECT", 0) == 0;
  EXPECT_EQ(connects, 2);
}

}  // namespace
