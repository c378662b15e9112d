// VXI-11 client against the simulator's VXI-11 server: writes split at the
// link's maximum receive size, END only where asked, replies, time-outs,
// device clear and go-to-local.
#include <chrono>
#include <string>

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

TEST_F(Vxi11Fixture, DroppedLinkIsReportedAndCloseIsClean) {
  inst_.AddFault({SimFaultKind::kDrop, "*RST", 0, "", 1});
  // The server closes while taking the write, so the write reports it.
  EXPECT_EQ(Visa_WriteText(s_, "*RST"), VISA_ERR_CONN_LOST);
  EXPECT_EQ(Visa_Close(s_), VISA_SUCCESS);
  // A new link works again.
  ASSERT_EQ(Visa_Open(rm_, "TCPIP0::127.0.0.1::INSTR", 0, 2000, &s_), VISA_SUCCESS);
  EXPECT_EQ(Query("*OPC?"), "1\n");
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
