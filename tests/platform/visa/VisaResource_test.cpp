// Resource strings, search expressions and the interfaces that need hardware
// (GPIB without linux-gpib, USB without a device).
#include <dlfcn.h>

#include <string>

#include <gtest/gtest.h>

#include "platform/visa/Visa.h"
#include "platform/visa/VisaTransport.h"

namespace {

TEST(VisaResource, ParsesEachFormAndRefusesMalformedOnes) {
  VisaResource r;
  ASSERT_TRUE(VisaResource_Parse("TCPIP0::127.0.0.1::5025::SOCKET", &r));
  EXPECT_EQ(r.kind, VisaResourceKind::kSocket);
  EXPECT_EQ(r.host, "127.0.0.1");
  EXPECT_EQ(r.port, 5025);
  ASSERT_TRUE(VisaResource_Parse("tcpip::gen7::INSTR", &r));
  EXPECT_EQ(r.kind, VisaResourceKind::kVxi11);
  EXPECT_EQ(r.deviceName, "inst0");
  ASSERT_TRUE(VisaResource_Parse("TCPIP1::10.0.0.2::inst1::INSTR", &r));
  EXPECT_EQ(r.board, 1);
  EXPECT_EQ(r.deviceName, "inst1");
  // The instrument manager writes the product id in decimal.
  ASSERT_TRUE(VisaResource_Parse("USB::0x2B17::70::100123::INSTR", &r));
  EXPECT_EQ(r.kind, VisaResourceKind::kUsb);
  EXPECT_EQ(r.vendorId, 0x2B17);
  EXPECT_EQ(r.productId, 70);
  EXPECT_EQ(r.serial, "100123");
  EXPECT_EQ(VisaResource_Format(r), "USB0::0x2B17::0x0046::100123::INSTR");
  ASSERT_TRUE(VisaResource_Parse("GPIB2::28::INSTR", &r));
  EXPECT_EQ(r.board, 2);
  EXPECT_EQ(r.primaryAddress, 28);
  ASSERT_TRUE(VisaResource_Parse("GPIB0::5::97::INSTR", &r));
  EXPECT_EQ(r.secondaryAddress, 1);

  for (const char* bad : {"", "TCPIP0::::5025::SOCKET", "TCPIP0::h::70000::SOCKET", "TCPIP0::h::x::SOCKET",
                          "GPIB0::31::INSTR", "USB0::0x1::INSTR", "ASRL1::INSTR", "TCPIPX::h::INSTR",
                          "GPIB0::5::INSTR::extra::INSTR"})
    EXPECT_FALSE(VisaResource_Parse(bad, &r)) << bad;
}

TEST(VisaResource, SearchExpressions) {
  EXPECT_TRUE(VisaResource_Match("GPIB0::?*INSTR", "GPIB0::12::INSTR"));
  EXPECT_TRUE(VisaResource_Match("gpib0::?*instr", "GPIB0::12::INSTR"));
  EXPECT_FALSE(VisaResource_Match("GPIB0::?*INSTR", "GPIB1::12::INSTR"));
  EXPECT_TRUE(VisaResource_Match("USB?::*", "USB0::0x1::0x2::S::INSTR"));
  EXPECT_FALSE(VisaResource_Match("GPIB0::?::INSTR", "GPIB0::12::INSTR"));
}

TEST(VisaInterfaces, GpibWithoutLinuxGpibFailsWithItsDescription) {
  if (void* h = ::dlopen("libgpib.so.0", RTLD_NOW)) {
    ::dlclose(h);
    GTEST_SKIP() << "linux-gpib is installed here";
  }
  VisaSession rm = VISA_NULL, s = 5;
  ASSERT_EQ(Visa_OpenDefaultRM(&rm), VISA_SUCCESS);
  EXPECT_EQ(Visa_Open(rm, "GPIB0::20::INSTR", 0, 1000, &s), VISA_ERR_GPIB_MISSING);
  EXPECT_EQ(s, VISA_NULL);
  char desc[VISA_DESC_SIZE];
  Visa_StatusDesc(rm, VISA_ERR_GPIB_MISSING, desc);
  EXPECT_STREQ(desc, "GPIB support (linux-gpib) is not installed");
  VisaSession list = 9;
  uint32_t count = 7;
  char first[VISA_RSRC_SIZE] = "x";
  EXPECT_EQ(Visa_FindRsrc(rm, "GPIB0::?*INSTR", &list, &count, first), VISA_ERR_RSRC_NFOUND);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(list, VISA_NULL);
  Visa_Close(rm);
}

TEST(VisaInterfaces, MissingUsbDeviceIsNotFound) {
  VisaSession rm = VISA_NULL, s = VISA_NULL;
  ASSERT_EQ(Visa_OpenDefaultRM(&rm), VISA_SUCCESS);
  EXPECT_EQ(Visa_Open(rm, "USB0::0xFFFE::0xFFFD::NOSUCH::INSTR", 0, 1000, &s), VISA_ERR_RSRC_NFOUND);
  char desc[VISA_DESC_SIZE];
  Visa_StatusDesc(rm, VISA_ERR_RSRC_NFOUND, desc);
  EXPECT_NE(std::string(desc).find("0xFFFE:0xFFFD"), std::string::npos) << desc;
  Visa_Close(rm);
}

}  // namespace
