// cadenza-sim as a program, through the shared fixture and the I/O layer:
// the printed ports, socket and VXI-11 access to one instrument state, the
// journal file and command-line faults.
#include <string>

#include <gtest/gtest.h>

#include "platform/CLocale.h"
#include "platform/visa/Visa.h"
#include "tests/support/SimFixture.h"

namespace {

std::string Query(VisaSession s, const char* cmd) {
  if (Visa_WriteText(s, cmd) != VISA_SUCCESS) return "<write failed>";
  char buf[512];
  uint32_t got = 0;
  VisaStatus st = Visa_Read(s, buf, sizeof buf, &got);
  if (st != VISA_SUCCESS) return "<read status " + std::to_string(st) + ">";
  return std::string(buf, got);
}

TEST(SimProcess, SocketAndVxi11ShareOneInstrumentAndJournal) {
  cz::test::SimFixture sim;
  cz::test::SimOptions opt;
  opt.model = "Ostrel";
  opt.options = "OST-X1,OST-X2";
  ASSERT_TRUE(sim.Start(opt)) << sim.Error();
  ASSERT_NE(sim.Port(), 0);
  ASSERT_NE(sim.Vxi11Port(), 0);

  VisaSession rm = VISA_NULL, sock = VISA_NULL, vxi = VISA_NULL;
  ASSERT_EQ(Visa_OpenDefaultRM(&rm), VISA_SUCCESS);
  ASSERT_EQ(Visa_Open(rm, sim.SocketResource().c_str(), 0, 2000, &sock), VISA_SUCCESS);
  Visa_SetVxi11CorePort(sim.Vxi11Port());
  ASSERT_EQ(Visa_Open(rm, sim.Vxi11Resource().c_str(), 0, 2000, &vxi), VISA_SUCCESS);
  Visa_SetVxi11CorePort(0);

  EXPECT_EQ(Query(sock, "*IDN?"), "Torvane,Ostrel,102030,4.20.1.5\n");
  EXPECT_EQ(Query(vxi, "*OPT?"), "OST-X1,OST-X2\n");
  const std::string up = ":MMEM:DATA '/var/user/t.wv',#15a\n#;b";
  ASSERT_EQ(Visa_Write(vxi, up.data(), static_cast<uint32_t>(up.size()), nullptr), VISA_SUCCESS);
  EXPECT_EQ(Query(sock, ":MMEM:DATA? '/var/user/t.wv'"), "#15a\n#;b\n");
  Visa_Close(rm);

  const std::vector<std::string> rx = sim.Received();
  ASSERT_GE(rx.size(), 4u);
  EXPECT_EQ(rx[0], "*IDN?");
  EXPECT_EQ(rx[2], ":MMEM:DATA '/var/user/t.wv',#15[5 bytes crc32 " +
                       cz::FormatC("%08X", cz::test::SimCrc32("a\n#;b")) + "]");
  int connects = 0;
  for (const std::string& l : sim.Journal()) connects += l.rfind("CONNECT ", 0) == 0;
  EXPECT_EQ(connects, 2);
  sim.Stop();
  EXPECT_FALSE(sim.Running());
}

TEST(SimProcess, CommandLineFaultsAndBadArguments) {
  cz::test::SimFixture sim;
  cz::test::SimOptions opt;
  opt.faults = {"opc0*1@SEL", "noreply@DIAG"};
  opt.vxi11 = false;
  ASSERT_TRUE(sim.Start(opt)) << sim.Error();
  VisaSession rm = VISA_NULL, s = VISA_NULL;
  ASSERT_EQ(Visa_OpenDefaultRM(&rm), VISA_SUCCESS);
  ASSERT_EQ(Visa_Open(rm, sim.SocketResource().c_str(), 0, 2000, &s), VISA_SUCCESS);
  Visa_SetAttribute(s, VISA_ATTR_TMO_VALUE, 300);
  EXPECT_EQ(Query(s, "SOUR:LIST:SEL 'D:\\a.lsw'; *OPC?"), "0\n");
  EXPECT_EQ(Query(s, "SOUR:LIST:SEL 'D:\\a.lsw'; *OPC?"), "1\n");
  EXPECT_EQ(Query(s, "DIAG:POIN? 'x'"), "<read status " + std::to_string(VISA_ERR_TMO) + ">");
  Visa_Close(rm);

  cz::test::SimFixture bad;
  opt.faults = {"explode"};
  EXPECT_FALSE(bad.Start(opt));
  EXPECT_NE(bad.Error().find("ended"), std::string::npos) << bad.Error();
}

}  // namespace
