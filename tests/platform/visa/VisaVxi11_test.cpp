// VXI-11 client against the simulator's VXI-11 server: writes split at the
// link's maximum receive size, END only where asked, replies, time-outs,
// device clear and go-to-local; and against a misbehaving core-channel server
// written here from the standard (replies longer than asked, empty chunks).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/visa/Visa.h"
#include "tools/cadenza-sim/SimInstrument.h"
#include "tools/cadenza-sim/SimServer.h"

namespace {

using cz::sim::SimFaultKind;
using cz::sim::SimInstrument;
using cz::sim::SimServer;

class Vxi11Fixture : public ::testing::Test {
 protected:
  void SetUp() override {
    cz::sim::SimServerOptions opt;
    opt.vxi11 = true;
    opt.vxi11MaxRecv = 1024;
    std::string why;
    ASSERT_TRUE(server_.Start(opt, &why)) << why;
    Visa_SetVxi11CorePort(server_.Vxi11Port());
    ASSERT_EQ(Visa_OpenDefaultRM(&rm_), VISA_SUCCESS);
    ASSERT_EQ(Visa_Open(rm_, "TCPIP0::127.0.0.1::inst0::INSTR", 0, 2000, &s_), VISA_SUCCESS);
  }
  void TearDown() override {
    Visa_Close(rm_);
    Visa_SetVxi11CorePort(0);
  }

  std::string Query(const char* cmd) {
    EXPECT_EQ(Visa_WriteText(s_, cmd), VISA_SUCCESS);
    char buf[512];
    uint32_t got = 0;
    EXPECT_EQ(Visa_Read(s_, buf, sizeof buf, &got), VISA_SUCCESS);
    return std::string(buf, got);
  }

  SimInstrument inst_{cz::sim::SimConfig{}};
  SimServer server_{inst_};
  VisaSession rm_ = VISA_NULL;
  VisaSession s_ = VISA_NULL;
};

TEST_F(Vxi11Fixture, LinkAttributesAndQuery) {
  uint64_t v = 0;
  ASSERT_EQ(Visa_GetAttribute(s_, VISA_ATTR_INTF_TYPE, &v), VISA_SUCCESS);
  EXPECT_EQ(v, VISA_INTF_TCPIP);
  ASSERT_EQ(Visa_GetAttribute(s_, VISA_ATTR_MAX_RECV_SIZE, &v), VISA_SUCCESS);
  EXPECT_EQ(v, 1024u);
  EXPECT_EQ(Query("*IDN?"), "Torvane,Kaldra,102030,4.20.1.5\n");
  // A reply read in small pieces reports count reached until its last byte.
  ASSERT_EQ(Visa_WriteText(s_, "*OPC?"), VISA_SUCCESS);
  char c[2];
  uint32_t got = 0;
  EXPECT_EQ(Visa_Read(s_, c, 1, &got), VISA_SUCCESS_MAX_CNT);
  EXPECT_EQ(Visa_Read(s_, c, 1, &got), VISA_SUCCESS);
  EXPECT_EQ(c[0], '\n');
}

TEST_F(Vxi11Fixture, WritesSplitWithEndOnlyOnTheLastPiece) {
  const std::string data(5000, 'z');
  const std::string header = ":MMEM:DATA 'D:\\big.bin',#45000";
  ASSERT_EQ(Visa_SetAttribute(s_, VISA_ATTR_SEND_END_EN, 0), VISA_SUCCESS);
  ASSERT_EQ(Visa_Write(s_, header.data(), static_cast<uint32_t>(header.size()), nullptr), VISA_SUCCESS);
  ASSERT_EQ(Visa_SetAttribute(s_, VISA_ATTR_SEND_END_EN, 1), VISA_SUCCESS);
  uint32_t n = 0;
  ASSERT_EQ(Visa_Write(s_, data.data(), static_cast<uint32_t>(data.size()), &n), VISA_SUCCESS);
  EXPECT_EQ(n, 5000u);

  std::vector<SimServer::Vxi11Write> w = server_.Vxi11Writes();
  ASSERT_EQ(w.size(), 6u);  // header, then 1024 x 4 + 904
  EXPECT_FALSE(w[0].end);
  for (std::size_t i = 1; i < 5; ++i) {
    EXPECT_EQ(w[i].size, 1024u);
    EXPECT_FALSE(w[i].end);
  }
  EXPECT_EQ(w[5].size, 904u);
  EXPECT_TRUE(w[5].end);

  std::string file;
  ASSERT_TRUE(inst_.FileData("D:\\big.bin", &file));
  EXPECT_EQ(file, data);
  EXPECT_EQ(Query(":SYST:ERR?"), "0,\"No error\"\n");
}

TEST_F(Vxi11Fixture, NoReplyTimesOutAndClearDropsStaleReplies) {
  ASSERT_EQ(Visa_SetAttribute(s_, VISA_ATTR_TMO_VALUE, 300), VISA_SUCCESS);
  char buf[64];
  uint32_t got = 0;
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(Visa_Read(s_, buf, sizeof buf, &got), VISA_ERR_TMO);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
  EXPECT_LT(ms, 2000);

  // A reply left unread is gone after device clear, and so is a half block.
  ASSERT_EQ(Visa_WriteText(s_, "*IDN?"), VISA_SUCCESS);
  ASSERT_EQ(Visa_SetAttribute(s_, VISA_ATTR_SEND_END_EN, 0), VISA_SUCCESS);
  ASSERT_EQ(Visa_WriteText(s_, ":MMEM:DATA 'D:\\half.bin',#3100abc"), VISA_SUCCESS);
  ASSERT_EQ(Visa_SetAttribute(s_, VISA_ATTR_SEND_END_EN, 1), VISA_SUCCESS);
  ASSERT_EQ(Visa_Clear(s_), VISA_SUCCESS);
  EXPECT_EQ(Query("*OPC?"), "1\n");
  std::string file;
  EXPECT_FALSE(inst_.FileData("D:\\half.bin", &file));

  EXPECT_EQ(Visa_GpibControlREN(s_, VISA_GPIB_REN_DEASSERT_GTL), VISA_SUCCESS);
  bool clear = false, local = false;
  for (const std::string& l : inst_.Journal()) {
    clear |= l.rfind("CLEAR", 0) == 0;
    local |= l.rfind("LOCAL", 0) == 0;
  }
  EXPECT_TRUE(clear);
  EXPECT_TRUE(local);
}

// A wait hook that says stop ends a VXI-11 call waiting for its answer;
// after a clear the link answers again.
int StopAtOnce() { return 1; }

TEST_F(Vxi11Fixture, WaitHookEndsACallAndTheLinkRecovers) {
  ASSERT_EQ(Visa_SetAttribute(s_, VISA_ATTR_TMO_VALUE, 3000), VISA_SUCCESS);
  Visa_SetWaitHook(&StopAtOnce);
  char buf[64];
  uint32_t got = 0;
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(Visa_Read(s_, buf, sizeof buf, &got), VISA_ERR_ABORT);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
  EXPECT_LT(ms, 500);
  Visa_SetWaitHook(nullptr);
  ASSERT_EQ(Visa_Clear(s_), VISA_SUCCESS);
  EXPECT_EQ(Query("*OPC?"), "1\n");
}

TEST_F(Vxi11Fixture, DroppedLinkIsReportedAndCloseIsClean) {
  inst_.AddFault({SimFaultKind::kDrop, "*RST", 0, "", 1});
  // The server closes while taking the write, so the write reports it.
  EXPECT_EQ(Visa_WriteText(s_, "*RST"), VISA_ERR_CONN_LOST);
  EXPECT_EQ(Visa_Close(s_), VISA_SUCCESS);
  // A new link works again.
  ASSERT_EQ(Visa_Open(rm_, "TCPIP0::127.0.0.1::INSTR", 0, 2000, &s_), VISA_SUCCESS);
  EXPECT_EQ(Query("*OPC?"), "1\n");
}

// A VXI-11 core channel (ONC RPC over TCP with record marking, RFC 5531;
// VXI-11 B.6) that answers create_link, device_write and the generic calls as
// an instrument does, and device_read as the test sets it.
class RogueVxi11 {
 public:
  enum class ReadAnswer {
    kOverlong,   // the first read: END and `overlongBytes` of data, whatever was asked; then "1\n"
    kHugeClaim,  // the first read: a stated length of 0xFFFFFFF0 and no data; then "1\n"
    kEmpty,      // every read at once: no data, neither END nor the request-count reason
    // The first read's reply, "1\n" with END, comes only after kStallMs:
    kTrickle,        // a byte at a time
    kOtherCalls,     // after replies to other calls (other transaction ids), one every 20 ms
    kEndlessRecord,  // at once, but further fragments go on continuing its record
  };
  static constexpr int kStallMs = 12000;

  explicit RogueVxi11(ReadAnswer answer, uint32_t overlongBytes = 0)
      : answer_(answer), overlongBytes_(overlongBytes) {
    listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listen_, 4) != 0) return;
    socklen_t len = sizeof a;
    ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    acceptor_ = std::thread([this] { Accept(); });
  }
  ~RogueVxi11() {
    stop_ = true;
    ::shutdown(listen_, SHUT_RDWR);
    acceptor_.join();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (int fd : fds_) ::shutdown(fd, SHUT_RDWR);
    }
    for (std::thread& t : served_) t.join();
    ::close(listen_);
  }
  uint16_t Port() const { return port_; }
  int Links() const { return links_; }

 private:
  void Accept() {
    while (!stop_) {
      pollfd p{listen_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      int fd = ::accept(listen_, nullptr, nullptr);
      if (fd < 0) continue;
      std::lock_guard<std::mutex> lock(mutex_);
      fds_.push_back(fd);
      served_.emplace_back([this, fd] { Serve(fd); });
    }
  }

  static void Put(std::string* out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<char>(v >> shift));
  }
  static uint32_t Word(const std::string& in, std::size_t at) {
    if (at + 4 > in.size()) return 0;
    const auto* b = reinterpret_cast<const unsigned char*>(in.data() + at);
    return (uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) | b[3];
  }
  static bool RecvAll(int fd, char* data, std::size_t n) {
    while (n > 0) {
      ssize_t r = ::recv(fd, data, n, 0);
      if (r <= 0) return false;
      data += r;
      n -= static_cast<std::size_t>(r);
    }
    return true;
  }
  static bool SendAll(int fd, const char* data, std::size_t n) {
    while (n > 0) {
      ssize_t r = ::send(fd, data, n, MSG_NOSIGNAL);
      if (r <= 0) return false;
      data += r;
      n -= static_cast<std::size_t>(r);
    }
    return true;
  }
  // One whole record (the client sends single fragments).
  static bool ReadRecord(int fd, std::string* record) {
    char h[4];
    if (!RecvAll(fd, h, 4)) return false;
    const uint32_t len = Word(std::string(h, 4), 0) & 0x7FFFFFFFu;
    if (len > (1u << 20)) return false;
    record->assign(len, '\0');
    return RecvAll(fd, record->data(), len);
  }
  // The accepted, successful reply of xid carrying results, as one fragment
  // that announces `extra` further bytes sent by the caller; the record's
  // last fragment unless more follow.
  static std::string Reply(uint32_t xid, const std::string& results, uint32_t extra = 0, bool last = true) {
    std::string body;
    for (uint32_t v : {xid, 1u, 0u, 0u, 0u, 0u}) Put(&body, v);
    body += results;
    std::string out;
    Put(&out, (last ? 0x80000000u : 0u) | static_cast<uint32_t>(body.size() + extra));
    return out + body;
  }
  // Sends reply after kStallMs as the answer asks; false when the client went.
  bool Stalled(int fd, uint32_t xid, const std::string& results) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStallMs);
    const auto pause = [this](int ms) {
      for (int k = 0; k < ms / 10 && !stop_; ++k) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      return !stop_;
    };
    const std::string reply = Reply(xid, results);
    if (answer_ == ReadAnswer::kTrickle) {
      const int gap = kStallMs / static_cast<int>(reply.size());
      for (char c : reply)
        if (!pause(gap) || !SendAll(fd, &c, 1)) return false;
      return true;
    }
    if (answer_ == ReadAnswer::kOtherCalls) {
      for (uint32_t other = xid + 1; std::chrono::steady_clock::now() < end; ++other) {
        const std::string late = Reply(other, results);
        if (!SendAll(fd, late.data(), late.size()) || !pause(20)) return false;
      }
      return SendAll(fd, reply.data(), reply.size());
    }
    const std::string opening = Reply(xid, results, 0, false);
    if (!SendAll(fd, opening.data(), opening.size())) return false;
    std::string more;
    Put(&more, 4);
    more += "more";
    while (std::chrono::steady_clock::now() < end)
      if (!SendAll(fd, more.data(), more.size()) || !pause(20)) return false;
    std::string last;
    Put(&last, 0x80000000u);
    return SendAll(fd, last.data(), last.size());
  }

  void Serve(int fd) {
    std::string call;
    int reads = 0;
    while (!stop_ && ReadRecord(fd, &call)) {
      const uint32_t xid = Word(call, 0), proc = Word(call, 20);
      // Past the credential and the verifier (flavour, length, body).
      std::size_t at = 24;
      for (int k = 0; k < 2; ++k) at += 8 + ((Word(call, at + 4) + 3u) & ~3u);
      std::string results;
      if (proc == 10) {  // create_link: no error, link 1, no abort port, maxRecvSize 1024
        ++links_;
        for (uint32_t v : {0u, 1u, 0u, 1024u}) Put(&results, v);
      } else if (proc == 11) {  // device_write: all of it taken
        Put(&results, 0);
        Put(&results, Word(call, at + 16));
      } else if (proc == 12) {  // device_read
        const bool first = reads++ == 0 && links_ == 1;
        if (answer_ == ReadAnswer::kEmpty) {
          for (uint32_t v : {0u, 0u, 0u}) Put(&results, v);
        } else if (first && (answer_ == ReadAnswer::kTrickle || answer_ == ReadAnswer::kOtherCalls ||
                             answer_ == ReadAnswer::kEndlessRecord)) {
          for (uint32_t v : {0u, 4u, 2u}) Put(&results, v);
          results += std::string("1\n\0\0", 4);
          if (!Stalled(fd, xid, results)) break;
          continue;
        } else if (first && answer_ == ReadAnswer::kHugeClaim) {
          for (uint32_t v : {0u, 4u, 0xFFFFFFF0u}) Put(&results, v);
        } else if (first) {
          // The data goes out in pieces after the header, as a long reply does.
          for (uint32_t v : {0u, 4u, overlongBytes_}) Put(&results, v);
          if (!SendAll(fd, Reply(xid, results, overlongBytes_).data(), Reply(xid, results).size())) break;
          const std::string piece(65536, 'x');
          for (uint32_t sent = 0; sent < overlongBytes_ && !stop_; sent += piece.size())
            if (!SendAll(fd, piece.data(), std::min<std::size_t>(piece.size(), overlongBytes_ - sent))) break;
          continue;
        } else {
          for (uint32_t v : {0u, 4u, 2u}) Put(&results, v);
          results += std::string("1\n\0\0", 4);
        }
      } else {  // device_clear, device_local, destroy_link, ...: no error
        Put(&results, 0);
      }
      const std::string reply = Reply(xid, results);
      if (!SendAll(fd, reply.data(), reply.size())) break;
    }
    ::shutdown(fd, SHUT_RDWR);
  }

  ReadAnswer answer_;
  uint32_t overlongBytes_;
  int listen_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> links_{0};
  std::thread acceptor_;
  std::mutex mutex_;
  std::vector<int> fds_;
  std::vector<std::thread> served_;
};

// Opens the rogue server's instrument with the given time-out.
VisaSession OpenRogue(const RogueVxi11& rogue, VisaSession rm, uint32_t timeoutMs) {
  Visa_SetVxi11CorePort(rogue.Port());
  VisaSession s = VISA_NULL;
  EXPECT_EQ(Visa_Open(rm, "TCPIP0::127.0.0.1::inst0::INSTR", 0, 2000, &s), VISA_SUCCESS);
  EXPECT_EQ(Visa_SetAttribute(s, VISA_ATTR_TMO_VALUE, timeoutMs), VISA_SUCCESS);
  return s;
}

long PeakResidentKiB() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

// A reply that states more data than the read asked is an error of that read,
// never a success with the rest dropped, and is not taken into memory: the
// rest is never read, the link is created anew and the next query gets its
// own reply.
TEST(Vxi11Rogue, ReplyLongerThanAskedFailsTheReadWithoutTakingIt) {
  VisaSession rm = VISA_NULL;
  ASSERT_EQ(Visa_OpenDefaultRM(&rm), VISA_SUCCESS);
  for (auto answer : {RogueVxi11::ReadAnswer::kOverlong, RogueVxi11::ReadAnswer::kHugeClaim}) {
    RogueVxi11 rogue(answer, 96u << 20);
    VisaSession s = OpenRogue(rogue, rm, 5000);
    const long before = PeakResidentKiB();
    ASSERT_EQ(Visa_WriteText(s, "*IDN?"), VISA_SUCCESS);
    char buf[1024];
    uint32_t got = 7;
    EXPECT_EQ(Visa_Read(s, buf, sizeof buf, &got), VISA_ERR_IO);
    EXPECT_EQ(got, 0u);
    char desc[VISA_DESC_SIZE];
    Visa_StatusDesc(s, VISA_ERR_IO, desc);
    EXPECT_NE(std::string(desc).find("exceeds the 1024 bytes asked"), std::string::npos) << desc;
    EXPECT_LT(PeakResidentKiB() - before, 32L * 1024) << "the 96 MiB reply was taken into memory";
    EXPECT_EQ(rogue.Links(), 2);
    ASSERT_EQ(Visa_WriteText(s, "*OPC?"), VISA_SUCCESS);
    EXPECT_EQ(Visa_Read(s, buf, sizeof buf, &got), VISA_SUCCESS);
    EXPECT_EQ(std::string(buf, got), "1\n");
    Visa_Close(s);
  }
  Visa_SetVxi11CorePort(0);
  Visa_Close(rm);
}

// A device that answers every device_read at once with nothing: the read
// ends in the session's time-out, counted over the whole read, for a plain
// read and for an asynchronous one.
TEST(Vxi11Rogue, EmptyChunksEndInTheTimeOut) {
  RogueVxi11 rogue(RogueVxi11::ReadAnswer::kEmpty);
  VisaSession rm = VISA_NULL;
  ASSERT_EQ(Visa_OpenDefaultRM(&rm), VISA_SUCCESS);
  VisaSession s = OpenRogue(rogue, rm, 200);
  char buf[64];
  uint32_t got = 7;
  EXPECT_EQ(Visa_Read(s, buf, sizeof buf, &got), VISA_ERR_TMO);
  EXPECT_EQ(got, 0u);
  ASSERT_EQ(Visa_EnableEvent(s, VISA_EVENT_IO_COMPLETION, VISA_QUEUE, 0), VISA_SUCCESS);
  uint32_t job = 0;
  ASSERT_EQ(Visa_ReadAsync(s, buf, sizeof buf, &job), VISA_SUCCESS);
  uint32_t type = 0;
  VisaSession ev = VISA_NULL;
  ASSERT_EQ(Visa_WaitOnEvent(s, VISA_EVENT_IO_COMPLETION, 5000, &type, &ev), VISA_SUCCESS);
  uint64_t status = 0;
  ASSERT_EQ(Visa_GetAttribute(ev, VISA_ATTR_STATUS, &status), VISA_SUCCESS);
  EXPECT_EQ(static_cast<VisaStatus>(static_cast<int32_t>(status)), VISA_ERR_TMO);
  Visa_Close(ev);
  Visa_SetVxi11CorePort(0);
  Visa_Close(rm);
}

// A reply that does not end within the time-out (one that trickles, one that
// comes after endless replies to other calls, one whose record goes on) ends
// its call in the time-out, however long the device keeps on: each call on
// the link is bounded as a whole, not each read from the socket. A device
// clear then makes a new link, and the next query gets its own reply.
TEST(Vxi11Rogue, RepliesThatNeverEndEndInTheTimeOut) {
  VisaSession rm = VISA_NULL;
  ASSERT_EQ(Visa_OpenDefaultRM(&rm), VISA_SUCCESS);
  for (auto answer : {RogueVxi11::ReadAnswer::kTrickle, RogueVxi11::ReadAnswer::kOtherCalls,
                      RogueVxi11::ReadAnswer::kEndlessRecord}) {
    RogueVxi11 rogue(answer);
    VisaSession s = OpenRogue(rogue, rm, 200);
    ASSERT_EQ(Visa_WriteText(s, "*OPC?"), VISA_SUCCESS);
    char buf[64];
    uint32_t got = 0;
    VisaStatus st = Visa_Read(s, buf, sizeof buf, &got);
    // The endless record holds its reply: the call after it waits on the rest.
    if (answer == RogueVxi11::ReadAnswer::kEndlessRecord) {
      EXPECT_EQ(st, VISA_SUCCESS);
      st = Visa_WriteText(s, "*OPC?");
    }
    EXPECT_EQ(st, VISA_ERR_TMO) << static_cast<int>(answer);
    EXPECT_EQ(Visa_Clear(s), VISA_SUCCESS);
    EXPECT_EQ(rogue.Links(), 2);
    ASSERT_EQ(Visa_WriteText(s, "*OPC?"), VISA_SUCCESS);
    ASSERT_EQ(Visa_Read(s, buf, sizeof buf, &got), VISA_SUCCESS);
    EXPECT_EQ(std::string(buf, got), "1\n");
    Visa_Close(s);
  }
  Visa_SetVxi11CorePort(0);
  Visa_Close(rm);
}

// The core channel's port comes from the host's portmapper (GETPORT over
// TCP), asked within the open's time-out: the simulator's portmapper leads to
// its VXI-11 server; one that takes the call and then trickles a reply that
// never ends is given up when the time is out (it once held the open for a
// minute a read, for ever with a trickle), and the failure names it.
TEST(Vxi11Open, ThePortmapperIsAskedWithinTheTimeout) {
  VisaSession rm = VISA_NULL, s = VISA_NULL;
  ASSERT_EQ(Visa_OpenDefaultRM(&rm), VISA_SUCCESS);
  Visa_SetVxi11CorePort(0);
  {
    SimInstrument inst{cz::sim::SimConfig{}};
    SimServer server{inst};
    cz::sim::SimServerOptions opt;
    opt.vxi11 = true;
    opt.portmap = true;
    std::string why;
    ASSERT_TRUE(server.Start(opt, &why)) << why;
    Visa_SetVxi11PortmapperPort(server.PortmapPort());
    ASSERT_EQ(Visa_Open(rm, "TCPIP0::127.0.0.1::inst0::INSTR", 0, 2000, &s), VISA_SUCCESS);
    ASSERT_EQ(Visa_WriteText(s, "*OPC?"), VISA_SUCCESS);
    char buf[16];
    uint32_t got = 0;
    ASSERT_EQ(Visa_Read(s, buf, sizeof buf, &got), VISA_SUCCESS);
    EXPECT_EQ(std::string(buf, got), "1\n");
    Visa_Close(s);
  }

  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(::listen(listener, 1), 0);
  socklen_t len = sizeof a;
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
  std::atomic<bool> stop{false};
  std::thread mapper([&] {
    pollfd p{listener, POLLIN, 0};
    if (::poll(&p, 1, 5000) <= 0) return;
    const int fd = ::accept(listener, nullptr, nullptr);
    char call[512];
    if (::recv(fd, call, sizeof call, 0) > 0)
      while (!stop && ::send(fd, "\0", 1, MSG_NOSIGNAL) == 1) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ::close(fd);
  });
  Visa_SetVxi11PortmapperPort(ntohs(a.sin_port));
  s = VISA_NULL;
  EXPECT_EQ(Visa_Open(rm, "TCPIP0::127.0.0.1::inst0::INSTR", 0, 300, &s), VISA_ERR_RSRC_NFOUND);
  EXPECT_EQ(s, VISA_NULL);
  char desc[VISA_DESC_SIZE];
  Visa_StatusDesc(rm, VISA_ERR_RSRC_NFOUND, desc);
  EXPECT_NE(std::string(desc).find("no answer from the portmapper of '127.0.0.1' within 300 ms"), std::string::npos)
      << desc;
  stop = true;
  mapper.join();
  ::close(listener);
  Visa_SetVxi11PortmapperPort(0);
  Visa_Close(rm);
}

TEST(Vxi11Open, NoServerFailsWithinTheTimeout) {
  VisaSession rm = VISA_NULL, s = VISA_NULL;
  Visa_OpenDefaultRM(&rm);
  Visa_SetVxi11CorePort(1);
  EXPECT_EQ(Visa_Open(rm, "TCPIP::127.0.0.1::INSTR", 0, 500, &s), VISA_ERR_RSRC_NFOUND);
  EXPECT_EQ(s, VISA_NULL);
  Visa_SetVxi11CorePort(0);
  Visa_Close(rm);
}

}  // namespace
