// usbtmc transport over a device played here through the driver calls: the
// device answers each request for data with one transfer of its message, as
// the Linux driver hands them over one per read(2), and tells the EOM bit of
// the last one through USBTMC_IOCTL_MSG_IN_ATTR (USBTMC 1.0, 3.3).
#include <fcntl.h>
#include <linux/usb/tmc.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <string>

#include <gtest/gtest.h>

#include "platform/visa/Visa.h"
#include "platform/visa/VisaUsbtmc.h"

namespace {

struct Transfer {
  std::string data;
  bool eom = false;
};

// The device: the transfers it sends in turn; once they are gone, empty
// transfers without EOM for ever. A driver without MSG_IN_ATTR refuses it.
std::deque<Transfer> g_transfers;
uint8_t g_lastAttributes = 0;
bool g_attributesKnown = true;

ssize_t DeviceRead(int, void* buffer, std::size_t size) {
  Transfer t;
  if (!g_transfers.empty()) {
    t = g_transfers.front();
    g_transfers.pop_front();
  }
  // The driver asks for size bytes; a device never sends more.
  EXPECT_LE(t.data.size(), size);
  std::memcpy(buffer, t.data.data(), std::min(size, t.data.size()));
  g_lastAttributes = t.eom ? 1 : 0;
  return static_cast<ssize_t>(std::min(size, t.data.size()));
}

ssize_t DeviceWrite(int, const void*, std::size_t size) { return static_cast<ssize_t>(size); }

int DeviceControl(int, unsigned long request, void* argument) {
  if (request == USBTMC_IOCTL_MSG_IN_ATTR) {
    if (!g_attributesKnown) {
      errno = ENOTTY;
      return -1;
    }
    *static_cast<uint8_t*>(argument) = g_lastAttributes;
  }
  return 0;
}

VisaStatus OpenDevice(const VisaResource&, std::unique_ptr<VisaTransport>* out, std::string*) {
  *out = VisaUsbtmc_Adopt(::open("/dev/null", O_RDWR | O_CLOEXEC), {&DeviceRead, &DeviceWrite, &DeviceControl});
  return VISA_SUCCESS;
}

class UsbtmcTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_transfers.clear();
    g_attributesKnown = true;
    VisaTransport_SetFactory(&OpenDevice);
    ASSERT_EQ(Visa_OpenDefaultRM(&rm_), VISA_SUCCESS);
    ASSERT_EQ(Visa_Open(rm_, "USB0::0x1234::0x5678::INSTR", 0, 2000, &s_), VISA_SUCCESS);
    ASSERT_EQ(Visa_SetAttribute(s_, VISA_ATTR_TMO_VALUE, 200), VISA_SUCCESS);
  }
  void TearDown() override {
    Visa_Close(rm_);
    VisaTransport_SetFactory(nullptr);
  }
  VisaStatus Read(uint32_t count, std::string* text) {
    std::string buffer(count, '\0');
    uint32_t got = 0;
    const VisaStatus st = Visa_Read(s_, buffer.data(), count, &got);
    *text = buffer.substr(0, got);
    return st;
  }
  VisaSession rm_ = VISA_NULL;
  VisaSession s_ = VISA_NULL;
};

// A reply in several transfers, one of them empty, is read whole up to the
// transfer with EOM; one that ends exactly at the count asked ends there;
// transfers without EOM that never end the message end in the time-out
// instead of passing for an empty reply. A driver that cannot tell EOM ends
// the read at a short transfer, as it ends its own reads only there.
TEST_F(UsbtmcTest, AReplyInTransfersIsReadUpToItsEom) {
  g_transfers = {{"Torvane,", false}, {"", false}, {"Kaldra\n", true}};
  std::string text;
  EXPECT_EQ(Read(64, &text), VISA_SUCCESS);
  EXPECT_EQ(text, "Torvane,Kaldra\n");

  g_transfers = {{"1234", true}};
  EXPECT_EQ(Read(4, &text), VISA_SUCCESS);
  EXPECT_EQ(text, "1234");
  g_transfers = {{"12", false}, {"34", false}, {"5\n", true}};
  EXPECT_EQ(Read(4, &text), VISA_SUCCESS_MAX_CNT);
  EXPECT_EQ(text, "1234");
  EXPECT_EQ(Read(4, &text), VISA_SUCCESS);
  EXPECT_EQ(text, "5\n");

  g_transfers = {{"1", false}};
  EXPECT_EQ(Read(64, &text), VISA_ERR_TMO);
  EXPECT_EQ(text, "1");

  g_attributesKnown = false;
  g_transfers = {{"1\n", false}};
  EXPECT_EQ(Read(64, &text), VISA_SUCCESS);
  EXPECT_EQ(text, "1\n");
}

}  // namespace
